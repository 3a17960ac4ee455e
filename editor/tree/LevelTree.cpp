// The level tree control: items, handlers, selection, expansion and menu routing.
#include "editor/tree/LevelTree.h"

#include <vector>

#include <wx/app.h>
#include <wx/dataobj.h>
#include <wx/dnd.h>
#include <wx/menu.h>
#include <wx/utils.h>

#include "editor/shell/ChildFrame.h"
#include "editor/tree/HandleCollections.h"
#include "editor/shell/LithoscopeApp.h"
#include "editor/shell/LithoscopeDoc.h"
#include "level/GameCatalog.h"
#include "level/TrLevel.h"

namespace lithoscope {

CFileTree* g_hDragSourceTree = nullptr;

namespace {
// Item data: a link to the handler, which the tree owns.
class CNodeLink : public wxTreeItemData {
public:
    explicit CNodeLink(CHandleBase* node) : node_(node) {}
    CHandleBase* node_;
};
}  // namespace

CFileTree::CFileTree(wxWindow* parent, CChildFrame* frame, CTrLevel& level, CLithoscopeDoc* doc)
    : wxTreeCtrl(parent, kLevelTreeControlId, wxDefaultPosition, wxDefaultSize,
                 wxTR_HAS_BUTTONS | wxTR_LINES_AT_ROOT | wxTR_SINGLE),
      m_pFrame(frame),
      m_pLevel(&level),
      m_pDocument(doc),
      m_imageList(16, 16, true, 0) {
    if (wxTheApp) {
        CLithoscopeApp& app = CLithoscopeApp::Get();
        if (const CatalogIconStrip* strip = app.m_catalog.IconStrip())
            AddIconStrip(m_imageList, *strip);
        ShowIcons(app.m_bShowIconInFrontOfItemInTreeview != 0);
    }
    Bind(wxEVT_TREE_ITEM_EXPANDING, [this](wxTreeEvent& e) {
        OnExpanding(e.GetItem());
        e.Skip();
    });
    Bind(wxEVT_TREE_SEL_CHANGED, [this](wxTreeEvent& e) {
        OnSelectionChanged(e.GetItem());
        e.Skip();
    });
    Bind(wxEVT_RIGHT_DOWN, &CFileTree::OnRightDown, this);
    Bind(wxEVT_LEFT_DOWN, &CFileTree::OnLeftDown, this);
    Bind(wxEVT_CONTEXT_MENU, &CFileTree::OnContextMenu, this);
    Bind(wxEVT_MENU, &CFileTree::OnMenu, this);
    Bind(wxEVT_TREE_BEGIN_DRAG, &CFileTree::OnBeginDrag, this);
}

CFileTree::~CFileTree() {
    m_bDestroying = true;
    if (g_hDragSourceTree == this) g_hDragSourceTree = nullptr;
    m_bSuppressSelChange = true;
    if (m_hRootItem.IsOk()) DeleteNodes(m_hRootItem, false, false);
    m_pCurrentNode = m_pLastNode = m_pMenuNode = nullptr;
    m_pMoveablesNode = m_pStaticMeshesNode = m_pSpritesNode = nullptr;
}

CHandleBase* CFileTree::GetNode(const wxTreeItemId& item) const {
    if (!item.IsOk()) return nullptr;
    auto* link = static_cast<CNodeLink*>(GetItemData(item));
    return link ? link->node_ : nullptr;
}

wxTreeItemId CFileTree::InsertNode(const wxTreeItemId& parent, CHandleBase* node,
                                   const std::string& text, int icon) {
    wxString label = wxString::FromUTF8(text.c_str());
    wxTreeItemId item = parent.IsOk() ? AppendItem(parent, label, icon, icon, new CNodeLink(node))
                                      : AddRoot(label, icon, icon, new CNodeLink(node));
    if (node) {
        node->m_hItem = item;
        node->SetName(text);
    }
    return item;
}

void CFileTree::BuildRoot() {
    m_hRootItem = wxTreeItemId();
    if (!m_pLevel) return;
    const int version = m_pLevel->version;
    if (version < 1 || version > 4) return;
    const int game = CGameCatalog::GameIndexFromVersion(version);
    CatalogLevelEntry entry = CLithoscopeApp::Get().m_catalog.GetLevelEntry(game, m_pLevel->name);
    std::string text = entry.displayName.empty() ? m_pLevel->name : entry.displayName;
    CHandleBase* root = CreateRootNode(this);
    m_hRootItem = InsertNode(wxTreeItemId(), root, text, entry.icon);
    // The node is not expanded yet: its item is set by the first expansion.
    root->m_hItem = wxTreeItemId();
    InsertNode(m_hRootItem, new CHandleEmpty(this), "", 0);
    root->Expand(m_hRootItem);
}

bool CFileTree::SaveLevel(const std::string& path) {
    if (!m_pLevel) return false;
    return SaveLevelFile(*m_pLevel, path);
}

void CFileTree::ShowIcons(bool show) { SetImageList(show ? &m_imageList : nullptr); }

void CFileTree::RepopulateExpandedCollections() {
    for (CHandleBase* node : {m_pMoveablesNode, m_pStaticMeshesNode, m_pSpritesNode})
        if (node && node->IsExpanded()) node->Populate(true);
}

CHandleBase* CFileTree::GetCollection(int32_t collectionType) const {
    switch (collectionType) {
    case HandleTypeMoveables: return m_pMoveablesNode;
    case HandleTypeStaticMeshes: return m_pStaticMeshesNode;
    case HandleTypeSprites: return m_pSpritesNode;
    default: return nullptr;
    }
}

void CFileTree::RepopulateCollection(int32_t collectionType) {
    if (m_nCommandDepth > 0) {
        m_pendingRepopulate.insert(collectionType);
        return;
    }
    CHandleBase* node = GetCollection(collectionType);
    if (node && node->IsExpanded()) node->Populate(true);
}

void CFileTree::SetDocumentModified() {
    if (m_pDocument) m_pDocument->SetModifiedFlag(true);
}

void CFileTree::ForgetNode(CHandleBase* node) {
    if (node == m_pLastNode) m_pLastNode = nullptr;
    // No pointer of the tree outlives its node.
    if (node == m_pCurrentNode) m_pCurrentNode = nullptr;
    if (node == m_pMenuNode) m_pMenuNode = nullptr;
    if (node == m_pMoveablesNode) m_pMoveablesNode = nullptr;
    if (node == m_pStaticMeshesNode) m_pStaticMeshesNode = nullptr;
    if (node == m_pSpritesNode) m_pSpritesNode = nullptr;
}

void CFileTree::DeleteNodes(const wxTreeItemId& item, bool deleteItems, bool keepHandle) {
    if (!item.IsOk()) return;
    if (!keepHandle) {
        auto* link = static_cast<CNodeLink*>(GetItemData(item));
        if (link && link->node_) {
            CHandleBase* node = link->node_;
            link->node_ = nullptr;
            ForgetNode(node);
            delete node;
        }
    }
    wxTreeItemIdValue cookie;
    wxTreeItemId child = GetFirstChild(item, cookie);
    while (child.IsOk()) {
        wxTreeItemId next = GetNextSibling(child);
        DeleteNodes(child, deleteItems, false);
        if (deleteItems) Delete(child);
        child = next;
    }
}

void CFileTree::OnExpanding(const wxTreeItemId& item) {
    if (m_bDestroying) return;
    ++m_nExpanding;
    if (CHandleBase* node = GetNode(item)) node->Expand(item);
    --m_nExpanding;
}

void CFileTree::OnSelectionChanged(const wxTreeItemId& item) {
    if (m_bDestroying) return;
    m_pCurrentNode = GetNode(item);
    bool kindChanged = !m_pLastNode || !m_pCurrentNode ||
                       m_pLastNode->GetType() != m_pCurrentNode->GetType();
    if (m_pCurrentNode && !m_bSuppressSelChange)
        m_pCurrentNode->Select(kindChanged, GetItemText(item).utf8_str().data());
    m_pLastNode = m_pCurrentNode;
}

bool CFileTree::ShowContextMenu(const wxPoint& point, const wxTreeItemId& item) {
    CHandleBase* node = GetNode(item);
    if (!node) return false;
    wxMenu* menu = node->CreateContextMenu();
    if (!menu) return false;
    m_pMenuNode = node;
    PopupMenu(menu, point);
    // The command may have deleted the node.
    if (m_pMenuNode == node) node->ReleaseContextMenu();
    return true;
}

void CFileTree::OnCommand(int command) {
    if (!m_pMenuNode) return;
    ++m_nCommandDepth;
    m_pMenuNode->OnCommand(command & 0xFFFF);
    --m_nCommandDepth;
    if (m_nCommandDepth == 0 && !m_pendingRepopulate.empty()) {
        std::set<int32_t> pending;
        pending.swap(m_pendingRepopulate);
        for (int32_t type : pending) RepopulateCollection(type);
    }
}

void CFileTree::OnMenu(wxCommandEvent& event) {
    if (m_pMenuNode) OnCommand(event.GetId());
    else event.Skip();
}

void CFileTree::OnLeftDown(wxMouseEvent& event) {
    int flags = 0;
    wxTreeItemId item = HitTest(event.GetPosition(), flags);
    if (item.IsOk() && (flags & (wxTREE_HITTEST_ONITEMLABEL | wxTREE_HITTEST_ONITEMICON |
                                 wxTREE_HITTEST_ONITEMSTATEICON)))
        SetItemDropHighlight(item, true);
    event.Skip();
}

void CFileTree::OnRightDown(wxMouseEvent& event) {
    int flags = 0;
    wxTreeItemId item = HitTest(event.GetPosition(), flags);
    if (item.IsOk()) SelectItem(item);
    event.Skip();  // the context-menu event follows an unhandled right click
}

void CFileTree::OnContextMenu(wxContextMenuEvent& event) {
    wxPoint point = ScreenToClient(event.GetPosition());
    int flags = 0;
    wxTreeItemId item = HitTest(point, flags);
    if (item.IsOk() && (flags & wxTREE_HITTEST_ONITEM)) {
        ShowContextMenu(point, item);
        if (item.IsOk()) SetItemDropHighlight(item, false);
    } else {
        event.Skip();
    }
    if (m_hDropItem.IsOk()) {
        SetItemDropHighlight(m_hDropItem, true);
        m_hDropItem = wxTreeItemId();
    }
}

void CFileTree::OnBeginDrag(wxTreeEvent& event) {
    wxTreeItemId item = event.GetItem();
    if (!item.IsOk()) return;
    SelectItem(item);
    if (!item.IsOk() || !GetNode(item)) return;
    SetItemDropHighlight(item, true);
    // An empty data object: the receiving tree finds the source through the global.
    wxTextDataObject data;
    g_hDragSourceTree = this;
    wxDropSource source(data, this);
    source.DoDragDrop(wxDrag_AllowMove);
    g_hDragSourceTree = nullptr;
    // Every item loses its drop highlight.
    std::vector<wxTreeItemId> todo;
    if (m_hRootItem.IsOk()) todo.push_back(m_hRootItem);
    while (!todo.empty()) {
        wxTreeItemId it = todo.back();
        todo.pop_back();
        SetItemDropHighlight(it, false);
        wxTreeItemIdValue cookie;
        for (wxTreeItemId c = GetFirstChild(it, cookie); c.IsOk(); c = GetNextChild(it, cookie))
            todo.push_back(c);
    }
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

void AddIconStrip(wxImageList& list, const CatalogIconStrip& strip) {
    const int cell = CatalogIconStrip::kCell;
    if (strip.height < cell || strip.width < cell) return;
    if (strip.pixels.size() < size_t(strip.width) * size_t(strip.height) * 4) return;
    const int cells = std::min(strip.cellCount, strip.width / cell);
    for (int n = 0; n < cells; ++n) {
        wxImage image(cell, cell);
        image.InitAlpha();
        for (int y = 0; y < cell; ++y)
            for (int x = 0; x < cell; ++x) {
                const uint8_t* p = &strip.pixels[(size_t(y) * strip.width + n * cell + x) * 4];
                image.SetRGB(x, y, p[0], p[1], p[2]);
                // Black is the mask colour.
                bool black = p[0] == 0 && p[1] == 0 && p[2] == 0;
                image.SetAlpha(x, y, black ? 0 : p[3]);
            }
        list.Add(wxBitmap(image));
    }
}

void RegisterLevelTree() {
    SetLevelTreeFactory([](wxWindow* parent, CChildFrame* frame, CTrLevel& level,
                           CLithoscopeDoc* doc) -> ILevelTree* {
        return new CFileTree(parent, frame, level, doc);
    });
}

}  // namespace lithoscope
