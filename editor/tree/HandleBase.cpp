// The node protocol's base behaviour and the tree as the nodes see it.
#include "editor/tree/HandleBase.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include <wx/menu.h>

#include "editor/common/CommandIds.h"
#include "editor/common/EditorHost.h"
#include "editor/common/LevelDocument.h"
#include "editor/common/PaneInterfaces.h"
#include "level/GameCatalog.h"
#include "level/TrLevel.h"
#include "level/TrLstMsh.h"
#include "level/TrLstSpr.h"
#include "level/TrMvb.h"

namespace lithoscope {

void AppendCommand(wxMenu& menu, int resourceId, const char* text) {
    menu.Append(WxCommand(resourceId), wxString::FromUTF8(text));
}

wxMenu* BuildCatalogMenu(const CatalogMenu& menu) {
    auto* result = new wxMenu;
    for (const CatalogMenuEntry& entry : menu.entries) {
        wxString caption = wxString::FromUTF8(entry.caption.c_str());
        if (entry.submenu) result->AppendSubMenu(BuildCatalogMenu(*entry.submenu), caption);
        else if (entry.command >= 0) result->Append(entry.command, caption);
    }
    return result;
}

CHandleBase* CNodeTree::GetCollection(int32_t collectionType) const {
    switch (collectionType) {
    case HandleTypeMoveables: return m_pMoveablesNode;
    case HandleTypeStaticMeshes: return m_pStaticMeshesNode;
    case HandleTypeSprites: return m_pSpritesNode;
    default: return nullptr;
    }
}

CHandleBase::CHandleBase(CNodeTree* tree, void* object, int paneKind)
    : m_pTree(tree),
      m_pLevel(tree ? tree->GetLevel() : nullptr),
      m_szName(),
      m_pFrame(tree ? tree->GetFrame() : nullptr),
      m_pObject(object),
      m_bExpanded(false),
      m_nPaneKind(paneKind) {}

CHandleBase::~CHandleBase() = default;

void CHandleBase::SetModified() {
    if (m_pTree) m_pTree->SetDocumentModified();
}

void CHandleBase::SetName(const std::string& text) {
    size_t n = std::min(text.size(), sizeof(m_szName) - 1);
    std::memcpy(m_szName, text.data(), n);
    m_szName[n] = 0;
}

IEditPane* CHandleBase::GetEditPane() const {
    if (!m_pFrame) return nullptr;
    return m_pFrame->GetEditPaneKind() == m_nPaneKind ? m_pFrame->GetCurrentEditPane() : nullptr;
}

void CHandleBase::ObjectChangedInPlace() {
    if (IEditPane* pane = GetEditPane()) pane->ReleaseTextures();
    std::vector<IChildFrame*> frames{m_pFrame};
    if (ILevelDocument* doc = GetDocument())
        for (ILevelTree* tree : doc->GetLevelTrees())
            if (IChildFrame* frame = tree ? ChildFrameOf(tree->GetWindow()) : nullptr)
                if (std::find(frames.begin(), frames.end(), frame) == frames.end()) frames.push_back(frame);
    for (IChildFrame* frame : frames) ObjectChangedInFrame(frame, m_pObject);
}

void CHandleBase::ObjectIdChanged() {
    std::vector<CNodeTree*> trees{m_pTree};
    if (ILevelDocument* doc = GetDocument())
        for (ILevelTree* tree : doc->GetLevelTrees())
            if (auto* t = tree ? dynamic_cast<CNodeTree*>(tree->GetWindow()) : nullptr)
                if (std::find(trees.begin(), trees.end(), t) == trees.end()) trees.push_back(t);
    const void* object = m_pObject;
    for (CNodeTree* tree : trees) {
        if (!tree) continue;
        // The node of a moveable, static mesh or sprite is a child of its collection.
        for (CHandleBase* collection : {tree->m_pMoveablesNode, tree->m_pStaticMeshesNode, tree->m_pSpritesNode}) {
            if (!collection || !collection->m_hItem.IsOk()) continue;
            wxTreeItemIdValue cookie;
            for (wxTreeItemId c = tree->GetFirstChild(collection->m_hItem, cookie); c.IsOk();
                 c = tree->GetNextChild(collection->m_hItem, cookie)) {
                CHandleBase* node = tree->GetNode(c);
                if (node && node->GetObject() == object) node->ShowCatalogName();
            }
        }
    }
}

void CHandleBase::SetLabel(const std::string& text, int icon) {
    SetName(text);
    if (!m_pTree || !m_hItem.IsOk()) return;
    m_pTree->SetItemText(m_hItem, wxString::FromUTF8(text.c_str()));
    m_pTree->SetItemImage(m_hItem, icon);
    m_pTree->SetItemImage(m_hItem, icon, wxTreeItemIcon_Selected);
}

void CHandleBase::SwitchEditPane() {
    if (m_pFrame) m_pFrame->SetEditPane(m_nPaneKind);
}

// Object id of a child of a collection (the collection's type tells the object's class).
namespace {
int32_t ObjectIdOf(int32_t collectionType, const CHandleBase& node) {
    if (!node.m_pObject) return -1;
    switch (collectionType) {
    case HandleTypeMoveables: return static_cast<CTrMvb*>(node.m_pObject)->objectId;
    case HandleTypeStaticMeshes: return static_cast<CTrStatMsh*>(node.m_pObject)->objectId;
    case HandleTypeSprites: return static_cast<CTrLstSpr*>(node.m_pObject)->objectId;
    default: return -1;
    }
}
}  // namespace

CHandleBase* CHandleBase::FindChildNode(int32_t objectId) const {
    if (!m_pTree || !m_hItem.IsOk()) return nullptr;
    const int32_t type = GetType();
    if (type != HandleTypeMoveables && type != HandleTypeStaticMeshes && type != HandleTypeSprites)
        return nullptr;
    wxTreeItemIdValue cookie;
    for (wxTreeItemId c = m_pTree->GetFirstChild(m_hItem, cookie); c.IsOk();
         c = m_pTree->GetNextChild(m_hItem, cookie)) {
        CHandleBase* node = m_pTree->GetNode(c);
        if (node && node->GetType() != HandleTypeEmpty && ObjectIdOf(type, *node) == objectId)
            return node;
    }
    return nullptr;
}

void CHandleBase::Expand(const wxTreeItemId& item) {
    if (!m_pTree || !item.IsOk()) return;
    bool previous = m_bExpanded;
    if (!m_bExpanded) {
        m_bExpanded = true;
        m_hItem = item;
        wxTreeItemIdValue cookie;
        wxTreeItemId first = m_pTree->GetFirstChild(item, cookie);
        if (first.IsOk() && m_pTree->GetNode(first) &&
            m_pTree->GetNode(first)->GetType() == HandleTypeEmpty) {
            m_pTree->DeleteNodes(first, true, false);
            m_pTree->Delete(first);
        }
    }
    SetName(m_pTree->GetItemText(item).utf8_str().data());
    Populate(previous);
}

void CHandleBase::Select(bool kindChanged, const std::string& text) {
    SetName(text);
    if (kindChanged) SwitchEditPane();
    ShowInPane(text);
    if (IMainWindow* main = MainWindow()) main->ShowToolbox(false, false);
    if (m_pFrame) m_pFrame->FocusLevelView();
}

ILevelDocument* CHandleBase::GetDocument() const {
    return m_pTree ? m_pTree->GetDocument() : nullptr;
}

CGameCatalog& CHandleBase::GetCatalog() const { return EditorCatalog(); }

int CHandleBase::GetGameIndex() const {
    return m_pLevel ? CGameCatalog::GameIndexFromVersion(m_pLevel->version) : kCatalogNoGame;
}

std::string CHandleBase::GetLevelName() const { return m_pLevel ? m_pLevel->name : std::string(); }

wxTreeItemId CHandleBase::InsertChild(CHandleBase* child, const std::string& text, int icon,
                                      bool withPlaceholder) {
    if (!child) return wxTreeItemId();
    if (!m_pTree || !m_hItem.IsOk()) {
        delete child;
        return wxTreeItemId();
    }
    wxTreeItemId item = m_pTree->InsertNode(m_hItem, child, text, icon);
    if (withPlaceholder) m_pTree->InsertNode(item, new CHandleEmpty(m_pTree), "", 0);
    return item;
}

void CHandleBase::DeleteChildren() {
    if (!m_pTree || !m_hItem.IsOk()) return;
    bool suppress = m_pTree->m_bSuppressSelChange;
    m_pTree->m_bSuppressSelChange = true;
    m_pTree->DeleteNodes(m_hItem, true, true);
    m_pTree->m_bSuppressSelChange = suppress;
}

void CHandleBase::RepopulateCollection(int32_t collectionType) {
    if (m_pTree) m_pTree->RepopulateCollection(collectionType);
}

}  // namespace lithoscope
