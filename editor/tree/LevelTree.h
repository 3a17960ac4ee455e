#pragma once
// The level tree: the tree control of a level view. Every item carries a node handler
// (CHandleBase); the tree turns the control's notifications into handler calls.
#include <cstdint>
#include <set>
#include <string>

#include <wx/dnd.h>
#include <wx/imaglist.h>
#include <wx/timer.h>
#include <wx/treectrl.h>

#include "editor/common/LevelDocument.h"
#include "editor/tree/HandleBase.h"
#include "editor/tree/TreeDrag.h"

class wxMenu;

namespace lithoscope {

struct CatalogIconStrip;

class CFileTree : public CNodeTree, public ILevelTree {
public:
    // Creates the control in parent (a level view's form) with the has-buttons, has-lines
    // and lines-at-root styles, and its image list from the catalog's icon strip.
    CFileTree(wxWindow* parent, IChildFrame* frame, CTrLevel& level, ILevelDocument* doc);
    ~CFileTree() override;

    // ILevelTree
    wxWindow* GetWindow() override { return this; }
    void BuildRoot() override;
    bool SaveLevel(const std::string& path) override;
    void ShowIcons(bool show) override;
    void RepopulateExpandedCollections() override;
    void ShowLevelName() override;
    void SelectionNotShown() override { m_bShowSelectionOnClick = true; }

    // CNodeTree
    CHandleBase* GetNode(const wxTreeItemId& item) const override;
    wxTreeItemId InsertNode(const wxTreeItemId& parent, CHandleBase* node, const std::string& text,
                            int icon) override;
    void DeleteNodes(const wxTreeItemId& item, bool deleteItems, bool keepHandle) override;
    void RepopulateCollection(int32_t collectionType) override;
    void SetDocumentModified() override;
    bool IsExpanding() const override { return m_nExpanding > 0; }

    // Shows the node's context menu at point (client coordinates); false when it has none.
    // The chosen command runs once the popup has closed and the node has released its
    // menu, so a command that deletes its own node never touches the menu.
    bool ShowContextMenu(const wxPoint& point, const wxTreeItemId& item);
    // Routes a menu command to the node whose menu was shown last.
    void OnCommand(int command);
    // Collection repopulations asked for while a scope lives run when the outermost one
    // ends: a command may still touch its own node meanwhile.
    class CommandScope {
    public:
        explicit CommandScope(CFileTree* tree);
        ~CommandScope();
        CommandScope(const CommandScope&) = delete;
        CommandScope& operator=(const CommandScope&) = delete;

    private:
        CFileTree* tree_;
    };

    // The selection step of the control's selection-changed notification.
    void OnSelectionChanged(const wxTreeItemId& item);
    // The expansion step of the control's expanding notification.
    void OnExpanding(const wxTreeItemId& item);
    // Drop target side of a drag: the item under point (client coordinates) is expanded
    // and becomes the drop-highlighted one, the tree scrolls near its edges.
    void DragOver(const wxPoint& point);
    void DragLeave();
    // The drop: the source tree's selected node onto target, an item of this tree.
    void DropFrom(CFileTree* source, const wxTreeItemId& target);

    wxTreeItemId GetRootItem() const override { return m_hRootItem; }
    CHandleBase* GetCurrentNode() const { return m_pCurrentNode; }
    CHandleBase* GetMenuNode() const { return m_pMenuNode; }
    // The image list (present whether attached or not).
    wxImageList& GetImages() { return m_imageList; }

    wxTreeItemId m_hRootItem;
    CHandleBase* m_pCurrentNode = nullptr;
    CHandleBase* m_pLastNode = nullptr;
    wxTreeItemId m_hDropItem;
    CHandleBase* m_pMenuNode = nullptr;
    wxImageList m_imageList;

private:
    // The root's text: the catalog's name of the level, else the level's name.
    std::string RootText(int* icon) const;
    void ForgetNode(CHandleBase* node);
    void RepopulateHere(int32_t collectionType);
    void EndCommand();
    void SetDropItem(const wxTreeItemId& item);
    void DragTick(bool timer);
    void OnContextMenu(wxContextMenuEvent& event);
    void OnKeyDown(wxKeyEvent& event);
    // A click on the selected item while the pane does not show it shows it again.
    void OnLeftDown(wxMouseEvent& event);
    void OnBeginDrag(wxTreeEvent& event);

    bool m_bShowSelectionOnClick = false;
    int m_nCommandDepth = 0;
    int m_nExpanding = 0;
    std::set<int32_t> m_pendingRepopulate;
    bool m_bDestroying = false;
    // Drag hover: the point, since when the highlighted item is hovered, the ticks.
    wxTimer m_dragTimer;
    wxPoint m_dragPoint;
    wxLongLong m_hoverStart;
    unsigned m_nDragScrollTicks = 0;
    int m_nDragViewX = -1;  // sideways scroll when the drag came over the tree; -1: none
    static constexpr int kDragTickMs = 100;
    static constexpr int kDragExpandDelayMs = 500;
};

// The tree a drag started from, for the drop target of the receiving tree; null when no
// drag runs.
extern CFileTree* g_hDragSourceTree;

// Adds the strip's 16-pixel cells to the list (black pixels transparent).
void AddIconStrip(wxImageList& list, const CatalogIconStrip& strip);

// The drop target of a level tree: effect, hover highlight and expansion, auto-scroll,
// and the drop handed to the tree.
class CTreeDropTarget : public wxDropTarget {
public:
    explicit CTreeDropTarget(CFileTree* tree);
    wxDragResult OnEnter(wxCoord x, wxCoord y, wxDragResult def) override;
    wxDragResult OnDragOver(wxCoord x, wxCoord y, wxDragResult def) override;
    void OnLeave() override;
    bool OnDrop(wxCoord x, wxCoord y) override;
    wxDragResult OnData(wxCoord x, wxCoord y, wxDragResult def) override;

private:
    CFileTree* tree_;  // the window owns the target
    wxTreeItemId hovered_;
};

}  // namespace lithoscope
