// The level tree control: items, handlers, selection, expansion, menu routing and the drop
// target.
#include "editor/tree/LevelTree.h"

#include <algorithm>
#include <vector>

#include <wx/app.h>
#include <wx/dataobj.h>
#include <wx/dnd.h>
#include <wx/menu.h>
#include <wx/time.h>
#include <wx/utils.h>

#include <wx/weakref.h>

#include "batch/AppSettings.h"
#include "editor/common/CommandIds.h"
#include "editor/common/EditorHost.h"
#include "editor/common/PaneInterfaces.h"
#include "editor/tree/HandleCollections.h"
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

CFileTree::CFileTree(wxWindow* parent, IChildFrame* frame, CTrLevel& level, ILevelDocument* doc)
    : CNodeTree(parent, kLevelTreeControlId, wxTR_HAS_BUTTONS | wxTR_LINES_AT_ROOT | wxTR_SINGLE, frame,
                &level, doc),
      m_imageList(16, 16, true, 0) {
    if (IEditorHost* host = EditorHost()) {
        if (const CatalogIconStrip* strip = host->GetGameCatalog().IconStrip())
            AddIconStrip(m_imageList, *strip);
        ShowIcons(host->GetSettings().m_bShowIconInFrontOfItemInTreeview != 0);
    }
    Bind(wxEVT_TREE_ITEM_EXPANDING, [this](wxTreeEvent& e) {
        OnExpanding(e.GetItem());
        e.Skip();
    });
    Bind(wxEVT_TREE_SEL_CHANGED, [this](wxTreeEvent& e) {
        OnSelectionChanged(e.GetItem());
        e.Skip();
    });
    // A right click selects the item (the control's own handling) and goes on to the
    // toolkit, which then sends the context-menu event, as the Menu key and Shift+F10 do.
    Bind(wxEVT_CONTEXT_MENU, &CFileTree::OnContextMenu, this);
    Bind(wxEVT_KEY_DOWN, &CFileTree::OnKeyDown, this);
    Bind(wxEVT_LEFT_DOWN, &CFileTree::OnLeftDown, this);
    Bind(wxEVT_TREE_BEGIN_DRAG, &CFileTree::OnBeginDrag, this);
    SetDropTarget(new CTreeDropTarget(this));
    m_dragTimer.Bind(wxEVT_TIMER, [this](wxTimerEvent&) {
        // The drag is over (or elsewhere) once no tree drags.
        if (!g_hDragSourceTree) DragLeave();
        else DragTick(true);
    });
}

CFileTree::~CFileTree() {
    m_bDestroying = true;
    m_dragTimer.Stop();
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
    int icon = 0;
    const std::string text = RootText(&icon);
    CHandleBase* root = CreateRootNode(this);
    m_hRootItem = InsertNode(wxTreeItemId(), root, text, icon);
    // The node is not expanded yet: its item is set by the first expansion.
    root->m_hItem = wxTreeItemId();
    InsertNode(m_hRootItem, new CHandleEmpty(this), "", 0);
    root->Expand(m_hRootItem);
}

std::string CFileTree::RootText(int* icon) const {
    const int game = CGameCatalog::GameIndexFromVersion(m_pLevel->version);
    const CatalogLevelEntry entry = EditorCatalog().GetLevelEntry(game, m_pLevel->name);
    if (icon) *icon = entry.icon;
    return entry.displayName.empty() ? m_pLevel->name : entry.displayName;
}

void CFileTree::ShowLevelName() {
    if (!m_pLevel || !m_hRootItem.IsOk()) return;
    int icon = 0;
    const std::string text = RootText(&icon);
    SetItemText(m_hRootItem, wxString::FromUTF8(text.c_str()));
    SetItemImage(m_hRootItem, icon);
    SetItemImage(m_hRootItem, icon, wxTreeItemIcon_Selected);
    if (CHandleBase* root = GetNode(m_hRootItem)) root->SetName(text);
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

void CFileTree::RepopulateCollection(int32_t collectionType) {
    if (m_nCommandDepth > 0) {
        m_pendingRepopulate.insert(collectionType);
        return;
    }
    // Every window of the document shows the same lists: none keeps a node of an object
    // that is gone.
    std::vector<CFileTree*> trees{this};
    if (m_pDocument)
        for (ILevelTree* other : m_pDocument->GetLevelTrees())
            if (auto* tree = dynamic_cast<CFileTree*>(other))
                if (tree != this) trees.push_back(tree);
    for (CFileTree* tree : trees) tree->RepopulateHere(collectionType);
}

void CFileTree::RepopulateHere(int32_t collectionType) {
    if (m_nCommandDepth > 0) {
        m_pendingRepopulate.insert(collectionType);
        return;
    }
    CHandleBase* node = GetCollection(collectionType);
    if (node && node->IsExpanded()) node->Populate(true);
}

CFileTree::CommandScope::CommandScope(CFileTree* tree) : tree_(tree) {
    if (tree_) ++tree_->m_nCommandDepth;
}

CFileTree::CommandScope::~CommandScope() {
    if (tree_) tree_->EndCommand();
}

void CFileTree::EndCommand() {
    if (--m_nCommandDepth > 0 || m_pendingRepopulate.empty()) return;
    std::set<int32_t> pending;
    pending.swap(m_pendingRepopulate);
    for (int32_t type : pending) RepopulateCollection(type);
}

void CFileTree::SetDocumentModified() {
    if (m_pDocument) m_pDocument->SetModifiedFlag(true);
}

void CFileTree::ForgetNode(CHandleBase* node) {
    // Nor does a pane's or a toolbox's (not while the frame itself goes).
    if (!m_bDestroying) ForgetHandleInFrame(m_pFrame, node);
    if (node == m_pLastNode) m_pLastNode = nullptr;
    // No pointer of the tree outlives its node, and no pane shows a node that is gone.
    if (node == m_pCurrentNode) {
        m_pCurrentNode = nullptr;
        if (!m_bDestroying && m_pFrame && node->GetEditPane()) m_pFrame->SetEditPane(EditPaneEmpty);
    }
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
    m_bShowSelectionOnClick = false;
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
    const int command = GetPopupMenuSelectionFromUser(*menu, point);
    node->ReleaseContextMenu();
    if (command != wxID_NONE) OnCommand(ResourceCommand(command));
    return true;
}

void CFileTree::OnCommand(int command) {
    if (!m_pMenuNode) return;
    CommandScope scope(this);
    m_pMenuNode->OnCommand(command & 0xFFFF);
}

void CFileTree::OnContextMenu(wxContextMenuEvent& event) {
    wxTreeItemId item;
    wxPoint point;
    if (event.GetPosition() == wxDefaultPosition) {
        // From the keyboard: the menu of the selected item, beside its text.
        item = GetSelection();
        wxRect rect;
        if (item.IsOk() && GetBoundingRect(item, rect, true))
            point = wxPoint(rect.GetLeft() + 8, rect.GetBottom());
    } else {
        point = ScreenToClient(event.GetPosition());
        int flags = 0;
        item = HitTest(point, flags);
        if (!(flags & wxTREE_HITTEST_ONITEM)) item = wxTreeItemId();
    }
    if (!item.IsOk()) {
        event.Skip();
        return;
    }
    if (GetSelection() != item) SelectItem(item);
    ShowContextMenu(point, item);
}

void CFileTree::OnLeftDown(wxMouseEvent& event) {
    event.Skip();
    if (!m_bShowSelectionOnClick) return;
    int flags = 0;
    const wxTreeItemId item = HitTest(event.GetPosition(), flags);
    if (!item.IsOk() || !(flags & wxTREE_HITTEST_ONITEM) || item != GetSelection()) return;
    // After the control's own handling of the click; the pane is of another kind by now.
    CallAfter([this, item] {
        if (!m_bShowSelectionOnClick || m_bDestroying || GetSelection() != item) return;
        m_pLastNode = nullptr;
        OnSelectionChanged(item);
    });
}

void CFileTree::OnKeyDown(wxKeyEvent& event) {
    // The Menu key and Shift+F10 also reach the control as keys; the menu opens once,
    // through the context-menu event.
    const bool menuKey = event.GetKeyCode() == WXK_MENU ||
                         (event.GetKeyCode() == WXK_F10 && event.GetModifiers() == wxMOD_SHIFT);
    if (!menuKey) {
        event.Skip();
        return;
    }
    wxContextMenuEvent menu(wxEVT_CONTEXT_MENU, GetId(), wxDefaultPosition);
    menu.SetEventObject(this);
    GetEventHandler()->ProcessEvent(menu);
}

void CFileTree::SetDropItem(const wxTreeItemId& item) {
    if (m_hDropItem == item) return;
    if (m_hDropItem.IsOk()) SetItemDropHighlight(m_hDropItem, false);
    m_hDropItem = item;
    if (m_hDropItem.IsOk()) SetItemDropHighlight(m_hDropItem, true);
}

void CFileTree::DragOver(const wxPoint& point) {
    int flags = 0;
    wxTreeItemId item = HitTest(point, flags);
    if (item.IsOk() && (flags & wxTREE_HITTEST_ONITEM)) {
        if (item != m_hDropItem) m_hoverStart = wxGetLocalTimeMillis();
        SetDropItem(item);
    }
    m_dragPoint = point;
    // The toolkit sends nothing while the pointer rests: the timer goes on expanding and
    // scrolling meanwhile.
    if (!m_dragTimer.IsRunning()) {
        int y = 0;
        GetViewStart(&m_nDragViewX, &y);
        m_dragTimer.Start(kDragTickMs);
    }
    DragTick(false);
}

void CFileTree::DragTick(bool timer) {
    // A node opens once the pointer has rested on it a moment, so passing over nodes on
    // the way to another does not unfold them.
    if (m_hDropItem.IsOk() && wxGetLocalTimeMillis() - m_hoverStart >= kDragExpandDelayMs &&
        ItemHasChildren(m_hDropItem) && !IsExpanded(m_hDropItem))
        Expand(m_hDropItem);
    if (timer || m_nDragScrollTicks++ % 4 == 0) {
        const wxPoint step =
            DragScrollStep(m_dragPoint, wxRect(wxPoint(0, 0), GetClientSize()), kDragScrollMargin);
        if (step.x || step.y) {
            int x = 0, y = 0;
            GetViewStart(&x, &y);
            Scroll(std::max(0, x + step.x), std::max(0, y + step.y));
        }
    }
}

void CFileTree::DragLeave() {
    m_dragTimer.Stop();
    SetDropItem(wxTreeItemId());
    // The sideways scroll of the drag goes back, so the tree shows its expanders again.
    if (m_nDragViewX >= 0) {
        int x = 0, y = 0;
        GetViewStart(&x, &y);
        if (x != m_nDragViewX) Scroll(m_nDragViewX, y);
        m_nDragViewX = -1;
    }
}

void CFileTree::DropFrom(CFileTree* source, const wxTreeItemId& target) {
    DragLeave();
    if (!source || !target.IsOk()) return;
    CHandleBase* from = source->GetNode(source->GetSelection());
    CHandleBase* to = GetNode(target);
    DropNodeOnto(from, to, source == this);
}

void CFileTree::OnBeginDrag(wxTreeEvent& event) {
    wxTreeItemId item = event.GetItem();
    if (!item.IsOk() || !GetNode(item)) return;
    SelectItem(item);
    SetItemDropHighlight(item, true);
    // The drag carries no object: the receiving tree finds the source through the global.
    CTreeDragData data;
    g_hDragSourceTree = this;
    wxDropSource source(data, this);
    source.DoDragDrop(wxDrag_AllowMove);
    g_hDragSourceTree = nullptr;
    // A drop may have rebuilt this tree: only live items lose their highlight.
    if (m_bDestroying) return;
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
    m_hDropItem = wxTreeItemId();
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

// ---- drop target ----

CTreeDropTarget::CTreeDropTarget(CFileTree* tree) : wxDropTarget(new CTreeDragData), tree_(tree) {}

wxDragResult CTreeDropTarget::OnEnter(wxCoord x, wxCoord y, wxDragResult def) {
    return OnDragOver(x, y, def);
}

wxDragResult CTreeDropTarget::OnDragOver(wxCoord x, wxCoord y, wxDragResult) {
    // Only drags of a level tree of this program are taken.
    if (!g_hDragSourceTree) return wxDragNone;
    tree_->DragOver(wxPoint(x, y));
    hovered_ = tree_->m_hDropItem;
    return DragEffect(wxGetKeyState(WXK_SHIFT));
}

void CTreeDropTarget::OnLeave() { tree_->DragLeave(); }

bool CTreeDropTarget::OnDrop(wxCoord, wxCoord) { return g_hDragSourceTree != nullptr; }

wxDragResult CTreeDropTarget::OnData(wxCoord, wxCoord, wxDragResult def) {
    CFileTree* source = g_hDragSourceTree;
    if (!source) return wxDragNone;
    // The toolkit says "leave" before "drop": the item hovered last is the target.
    const wxTreeItemId target = hovered_;
    hovered_ = wxTreeItemId();
    // The drop may ask questions: it runs once the toolkit has finished the drag.
    wxWeakRef<CFileTree> from(source);
    tree_->CallAfter([tree = tree_, from, target] {
        if (from) tree->DropFrom(from, target);
        else tree->DragLeave();
    });
    return def == wxDragNone ? DragEffect(wxGetKeyState(WXK_SHIFT)) : def;
}

}  // namespace lithoscope
