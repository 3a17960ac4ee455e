#pragma once
// The node protocol of the level tree: every tree item carries a node handler derived from
// CHandleBase. The tree owns the handlers; a handler belongs to exactly one item.
#include <cstdint>
#include <string>

#include <wx/treebase.h>

class wxMenu;

namespace lithoscope {

class CChildFrame;
class CEditPaneBase;
class CFileTree;
class CGameCatalog;
class CLithoscopeDoc;
class CTrLevel;
class CTrLstSpr;
class CTrMvb;
class CTrStatMsh;
struct TrPackedChunk;

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

class CHandleBase {
public:
    // object: the level object the node stands for (CTrMvb, CTrStatMsh, CTrLstSpr,
    // TrPackedChunk) or null; paneKind: the EditPaneKind that shows the node.
    CHandleBase(CFileTree* tree, void* object, int paneKind);
    virtual ~CHandleBase();
    CHandleBase(const CHandleBase&) = delete;
    CHandleBase& operator=(const CHandleBase&) = delete;

    // The protocol, in slot order.
    virtual int32_t GetType() const = 0;
    // Marks the document modified.
    virtual void SetModified();
    // This node was dropped on target (same type code, another node); move: Shift was held.
    virtual void DropOnto(CHandleBase* target, bool sameTree, bool move) {}
    virtual void Populate(bool repopulate) {}
    // The popup to show, or null for none; the node keeps it until ReleaseContextMenu.
    virtual wxMenu* CreateContextMenu() { return nullptr; }
    virtual void ReleaseContextMenu() {}
    virtual void OnCommand(int id) {}
    virtual void ShowInPane(const std::string& text) {}
    virtual void OnModified(bool refreshPane) {}

    // Take-over commands of "Add resource": the node's object takes over the source's
    // contents, leaving the source empty (the mesh, moveable and sprite nodes override
    // the one of their kind; with a null source they ask for an object file).
    virtual void ImportMeshFile(CTrStatMsh* source) {}
    virtual void ImportMoveableFile(CTrMvb* source) {}
    virtual void ImportSpriteFile(CTrLstSpr* source) {}

    // The child frame's current edit pane when it is of this node's kind, else null.
    CEditPaneBase* GetEditPane() const;
    void SwitchEditPane();
    // First child whose object has that object id (moveable, static mesh, sprite nodes).
    CHandleBase* FindChildNode(int32_t objectId) const;
    // Expansion notification: the first one drops the placeholder, then Populate.
    void Expand(const wxTreeItemId& item);
    void Select(bool kindChanged, const std::string& text);

    // What the handlers need from the tree.
    CFileTree* GetTree() const { return m_pTree; }
    CTrLevel* GetLevel() const { return m_pLevel; }
    CChildFrame* GetFrame() const { return m_pFrame; }
    CLithoscopeDoc* GetDocument() const;
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
    CFileTree* m_pTree;
    CTrLevel* m_pLevel;
    char m_szName[256];
    CChildFrame* m_pFrame;
    void* m_pObject;
    wxTreeItemId m_hItem;
    bool m_bExpanded;
    int m_nPaneKind;
};

// The placeholder child of a node that can have children.
class CHandleEmpty : public CHandleBase {
public:
    explicit CHandleEmpty(CFileTree* tree) : CHandleBase(tree, nullptr, 0) {}
    int32_t GetType() const override { return HandleTypeEmpty; }
};

// Makers of the object nodes. The level tree links weak stand-ins (plain nodes of the
// right type and pane) that the node classes replace.
// A moveable node (pane 3) of a level moveable.
CHandleBase* CreateMoveableNode(CFileTree* tree, CTrMvb* moveable);
// A static mesh node (mesh node with m_bStatic true, m_nMeshIndex 0, pane 2).
CHandleBase* CreateStaticMeshNode(CFileTree* tree, CTrStatMsh* mesh);
// A sprite node (pane 4) with the catalog's animated flag and zoom.
CHandleBase* CreateSpriteNode(CFileTree* tree, CTrLstSpr* sprite, bool animated, int32_t zoom);
// A tile node (pane 1) on a packed page chunk; tileKind 1 is the TR4 "Font & sky".
CHandleBase* CreateTileNode(CFileTree* tree, TrPackedChunk* chunk, int tileKind);

}  // namespace lithoscope
