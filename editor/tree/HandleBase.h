#pragma once
// The node protocol of the level tree: every tree item carries a node handler derived from
// CHandleBase. The tree owns the handlers; a handler belongs to exactly one item.
#include <cstdint>
#include <string>

#include <wx/treectrl.h>

class wxMenu;

namespace lithoscope {

class CGameCatalog;
class CHandleBase;
class CTrLevel;
class CTrLstSpr;
class CTrMvb;
class CTrStatMsh;
class IChildFrame;
class IEditPane;
class ILevelDocument;
struct CatalogMenu;

// Node type codes: nodes of the same code share their edit pane, and a drop needs the
// same code on both sides.
enum HandleType : int32_t {
    HandleTypeRoot = -1,
    HandleTypeEmpty = 0,
    HandleTypeTile = 2,
    HandleTypeMesh = 5,
    HandleTypeMoveables = 6,
    HandleTypeMoveable = 7,
    HandleTypeStaticMeshes = 9,
    HandleTypeSprites = 10,
    HandleTypeSprite = 11,
    HandleTypeSounds = 12,
};

// Appends the node command resourceId (32768 and up) to a node menu under its menu id.
void AppendCommand(wxMenu& menu, int resourceId, const char* text);
// A wxMenu of the catalog's plain menu tree: items get their command number as id.
wxMenu* BuildCatalogMenu(const CatalogMenu& menu);

// The tree control as its nodes see it: the items that carry them, the three collections,
// the level, its document and the window that shows it. The level tree is the one there
// is; the nodes know no more of it than this.
class CNodeTree : public wxTreeCtrl {
public:
    CNodeTree(wxWindow* parent, wxWindowID id, long style, IChildFrame* frame, CTrLevel* level,
              ILevelDocument* doc)
        : wxTreeCtrl(parent, id, wxDefaultPosition, wxDefaultSize, style),
          m_pFrame(frame),
          m_pLevel(level),
          m_pDocument(doc) {}

    // The handler of an item, or null.
    virtual CHandleBase* GetNode(const wxTreeItemId& item) const = 0;
    // Inserts node as the last child of parent (invalid parent: the root item).
    virtual wxTreeItemId InsertNode(const wxTreeItemId& parent, CHandleBase* node,
                                    const std::string& text, int icon) = 0;
    // Deletes the handlers under item (and item's own unless keepHandle); deleteItems also
    // removes the child items from the control.
    virtual void DeleteNodes(const wxTreeItemId& item, bool deleteItems, bool keepHandle) = 0;
    // Collection repopulation, in every tree of the document; deferred while a menu
    // command runs.
    virtual void RepopulateCollection(int32_t collectionType) = 0;
    virtual void SetDocumentModified() = 0;
    // True while the control's expansion notification runs.
    virtual bool IsExpanding() const = 0;

    CTrLevel* GetLevel() const { return m_pLevel; }
    IChildFrame* GetFrame() const { return m_pFrame; }
    ILevelDocument* GetDocument() const { return m_pDocument; }
    // The collection node of that type (HandleTypeMoveables, HandleTypeStaticMeshes,
    // HandleTypeSprites), null when there is none.
    CHandleBase* GetCollection(int32_t collectionType) const;

    CHandleBase* m_pMoveablesNode = nullptr;
    CHandleBase* m_pStaticMeshesNode = nullptr;
    CHandleBase* m_pSpritesNode = nullptr;
    bool m_bSuppressSelChange = false;
    IChildFrame* m_pFrame;
    CTrLevel* m_pLevel;
    ILevelDocument* m_pDocument;
};

class CHandleBase {
public:
    // object: the level object the node stands for (CTrMvb, CTrStatMsh, CTrLstSpr,
    // TrPackedChunk) or null; paneKind: the EditPaneKind that shows the node.
    CHandleBase(CNodeTree* tree, void* object, int paneKind);
    virtual ~CHandleBase();
    CHandleBase(const CHandleBase&) = delete;
    CHandleBase& operator=(const CHandleBase&) = delete;

    // The protocol, in slot order.
    virtual int32_t GetType() const = 0;
    // Marks the document modified.
    virtual void SetModified();
    // This node was dropped on target (same type code, another node). Only the tile does
    // something (it copies its pixels); every other node ignores the drop.
    virtual void DropOnto(CHandleBase* target, bool sameTree) {}
    virtual void Populate(bool repopulate) {}
    // The popup to show, or null for none; the node keeps it until ReleaseContextMenu.
    virtual wxMenu* CreateContextMenu() { return nullptr; }
    virtual void ReleaseContextMenu() {}
    virtual void OnCommand(int id) {}
    virtual void ShowInPane(const std::string& text) {}
    virtual void OnModified(bool refreshPane) {}
    // The item shows the catalog's name and icon for the object's id (the moveable, static
    // mesh and sprite nodes; the others keep theirs).
    virtual void ShowCatalogName() {}

    // Take-over commands of "Add resource": the node's object takes over the source's
    // contents, leaving the source empty (the mesh, moveable and sprite nodes override
    // the one of their kind; with a null source they ask for an object file). A
    // collection node takes the source in as a new object of its list.
    virtual void ImportMeshFile(CTrStatMsh* source) {}
    virtual void ImportMoveableFile(CTrMvb* source) {}
    virtual void ImportSpriteFile(CTrLstSpr* source) {}

    // The child frame's current edit pane when it is of this node's kind, else null.
    IEditPane* GetEditPane() const;
    // A command changed the node's object in place (the modified notification with
    // refreshPane): the pane gives back its textures and every toolbox bound to the object,
    // in each window of the document, rebuilds its pages at its next binding.
    void ObjectChangedInPlace();
    // The object took another id: its node in each window of the document shows the
    // catalog's name and icon for it at once.
    void ObjectIdChanged();
    // The item's text (and the node's name) and its icon.
    void SetLabel(const std::string& text, int icon);
    void SwitchEditPane();
    // First child whose object has that object id (moveable, static mesh, sprite nodes).
    CHandleBase* FindChildNode(int32_t objectId) const;
    // Expansion notification: the first one drops the placeholder, then Populate.
    void Expand(const wxTreeItemId& item);
    void Select(bool kindChanged, const std::string& text);

    // What the handlers need from the tree.
    CNodeTree* GetTree() const { return m_pTree; }
    CTrLevel* GetLevel() const { return m_pLevel; }
    IChildFrame* GetFrame() const { return m_pFrame; }
    ILevelDocument* GetDocument() const;
    CGameCatalog& GetCatalog() const;
    // CGameCatalog::GameIndexFromVersion of the level's version.
    int GetGameIndex() const;
    // The level's file name as the catalog lookups want it.
    std::string GetLevelName() const;
    void* GetObject() const { return m_pObject; }
    void SetObject(void* object) { m_pObject = object; }
    const wxTreeItemId& GetItem() const { return m_hItem; }
    bool IsExpanded() const { return m_bExpanded; }
    int GetPaneKind() const { return m_nPaneKind; }
    const char* GetName() const { return m_szName; }
    void SetName(const std::string& text);

    // Inserts child (the tree takes it over) as this node's last child with text and icon
    // (image and selected image); withPlaceholder adds a CHandleEmpty under it so it has
    // an expand button. Returns the new item (invalid when this node has no item: the
    // child is then deleted).
    wxTreeItemId InsertChild(CHandleBase* child, const std::string& text, int icon,
                             bool withPlaceholder);
    // Deletes every child item and handler of this node (the node stays).
    void DeleteChildren();
    // The collection of that type (HandleTypeMoveables, HandleTypeStaticMeshes,
    // HandleTypeSprites) repopulates when it has been expanded. Inside a context-menu
    // command this runs after the command returns, so a handler may ask for it and
    // still touch its own fields; its own handler may be gone afterwards.
    void RepopulateCollection(int32_t collectionType);

    // Public as the level tree and the drop target use them directly.
    CNodeTree* m_pTree;
    CTrLevel* m_pLevel;
    char m_szName[256];
    IChildFrame* m_pFrame;
    void* m_pObject;
    wxTreeItemId m_hItem;
    bool m_bExpanded;
    int m_nPaneKind;
};

// The placeholder child of a node that can have children.
class CHandleEmpty : public CHandleBase {
public:
    explicit CHandleEmpty(CNodeTree* tree) : CHandleBase(tree, nullptr, 0) {}
    int32_t GetType() const override { return HandleTypeEmpty; }
};

}  // namespace lithoscope
