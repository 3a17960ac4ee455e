#pragma once
// The level tree: the tree control of a level view. Every item carries a node handler
// (CHandleBase); the tree turns the control's notifications into handler calls.
#include <cstdint>
#include <set>
#include <string>

#include <wx/imaglist.h>
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

    void SetDocumentModified();
    // Deletes the handlers under item (and item's own unless keepHandle); deleteItems also
    // removes the child items from the control.
    void DeleteNodes(const wxTreeItemId& item, bool deleteItems, bool keepHandle);
    // Shows the node's context menu at point (client coordinates); false when it has none.
    bool ShowContextMenu(const wxPoint& point, const wxTreeItemId& item);
    // Routes a menu command to the node whose menu was shown last.
    void OnCommand(int command);

    // The handler of an item, or null.
    CHandleBase* GetNode(const wxTreeItemId& item) const;
    // Inserts node as the last child of parent (invalid parent: the root item).
    wxTreeItemId InsertNode(const wxTreeItemId& parent, CHandleBase* node, const std::string& text,
                            int icon);
    // The selection step of the control's selection-changed notification.
    void OnSelectionChanged(const wxTreeItemId& item);
    // The expansion step of the control's expanding notification.
    void OnExpanding(const wxTreeItemId& item);
    // Collection repopulation; deferred while a menu command runs.
    void RepopulateCollection(int32_t collectionType);

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
    void ForgetNode(CHandleBase* node);
    void OnRightDown(wxMouseEvent& event);
    void OnLeftDown(wxMouseEvent& event);
    void OnContextMenu(wxContextMenuEvent& event);
    void OnMenu(wxCommandEvent& event);
    void OnBeginDrag(wxTreeEvent& event);

    int m_nCommandDepth = 0;
    int m_nExpanding = 0;
    std::set<int32_t> m_pendingRepopulate;
    bool m_bDestroying = false;
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
