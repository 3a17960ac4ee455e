#pragma once
// The level tree: the tree control of a level view. Every item carries a node handler
// (CHandleBase); the tree turns the control's notifications into handler calls.
#include <cstdint>
#include <set>
#include <string>

#include <wx/imaglist.h>
#include <wx/timer.h>
#include <wx/treectrl.h>

#include "editor/tree/HandleBase.h"
#include "editor/shell/LithoscopeView.h"

class wxMenu;

namespace lithoscope {

struct CatalogMenu;
struct CatalogIconStrip;

class CFileTree : public wxTreeCtrl, public ILevelTree {
public:
    // Creates the control in parent (a level view's form) with the has-buttons, has-lines
    // and lines-at-root styles, and its image list from the catalog's icon strip.
    CFileTree(wxWindow* parent, CChildFrame* frame, CTrLevel& level, CLithoscopeDoc* doc);
    ~CFileTree() override;

    // ILevelTree
    wxWindow* GetWindow() override { return this; }
    void BuildRoot() override;
    bool SaveLevel(const std::string& path) override;
    void ShowIcons(bool show) override;
    void RepopulateExpandedCollections() override;
    void ShowLevelName() override;

    void SetDocumentModified();
    // Deletes the handlers under item (and item's own unless keepHandle); deleteItems also
    // removes the child items from the control.
    void DeleteNodes(const wxTreeItemId& item, bool deleteItems, bool keepHandle);
    // Shows the node's context menu at point (client coordinates); false when it has none.
    // The chosen command runs once the popup has closed and the node has released its
    // menu, so a command that deletes its own node never touches the menu.
    bool ShowContextMenu(const wxPoint& point, const wxTreeItemId& item);
    // Routes a menu command to the node whose menu was shown last.
    void OnCommand(int command);
    // Collection repopulations asked for while a scope lives run when the outermost one
    // ends: a command or a drop may still touch its own node meanwhile.
    class CommandScope {
    public:
        explicit CommandScope(CFileTree* tree);
        ~CommandScope();
        CommandScope(const CommandScope&) = delete;
        CommandScope& operator=(const CommandScope&) = delete;

    private:
        CFileTree* tree_;
    };

    // The handler of an item, or null.
    CHandleBase* GetNode(const wxTreeItemId& item) const;
    // Inserts node as the last child of parent (invalid parent: the root item).
    wxTreeItemId InsertNode(const wxTreeItemId& parent, CHandleBase* node, const std::string& text,
                            int icon);
    // The selection step of the control's selection-changed notification.
    void OnSelectionChanged(const wxTreeItemId& item);
    // The expansion step of the control's expanding notification.
    void OnExpanding(const wxTreeItemId& item);
    // Collection repopulation, in every tree of the document; deferred while a menu
    // command runs.
    void RepopulateCollection(int32_t collectionType);
    // Drop target side of a drag: the item under point (client coordinates) is expanded
    // and becomes the drop-highlighted one, the tree scrolls near its edges.
    void DragOver(const wxPoint& point);
    void DragLeave();
    // The drop: the source tree's selected node onto target, an item of this tree.
    void DropFrom(CFileTree* source, const wxTreeItemId& target, bool move);

    // True while the control's expansion notification runs.
    bool IsExpanding() const { return m_nExpanding > 0; }
    CChildFrame* GetFrame() const { return m_pFrame; }
    CTrLevel* GetLevel() const { return m_pLevel; }
    CLithoscopeDoc* GetDocument() const { return m_pDocument; }
    wxTreeItemId GetRootItem() const { return m_hRootItem; }
    CHandleBase* GetCollection(int32_t collectionType) const;
    CHandleBase* GetCurrentNode() const { return m_pCurrentNode; }
    CHandleBase* GetMenuNode() const { return m_pMenuNode; }
    // The image list (present whether attached or not).
    wxImageList& GetImages() { return m_imageList; }

    CHandleBase* m_pMoveablesNode = nullptr;
    CHandleBase* m_pStaticMeshesNode = nullptr;
    CHandleBase* m_pSpritesNode = nullptr;
    bool m_bSuppressSelChange = false;
    wxTreeItemId m_hRootItem;
    CHandleBase* m_pCurrentNode = nullptr;
    CHandleBase* m_pLastNode = nullptr;
    CChildFrame* m_pFrame = nullptr;
    CTrLevel* m_pLevel = nullptr;
    wxTreeItemId m_hDropItem;
    CHandleBase* m_pMenuNode = nullptr;
    CLithoscopeDoc* m_pDocument = nullptr;
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
    void OnBeginDrag(wxTreeEvent& event);

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

// A wxMenu of the catalog's plain menu tree: items get their command number as id.
wxMenu* BuildCatalogMenu(const CatalogMenu& menu);
// Adds the strip's 16-pixel cells to the list (black pixels transparent).
void AddIconStrip(wxImageList& list, const CatalogIconStrip& strip);

// Installs the level tree factory of the level views.
void RegisterLevelTree();

}  // namespace lithoscope
