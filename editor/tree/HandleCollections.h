#pragma once
// The root of a level and its collection nodes: moveables, static meshes, sprites, sounds.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "editor/tree/HandleBase.h"

class wxMenu;

namespace lithoscope {

// Command ids of the collections' menus.
enum CollectionCommand : int {
    CmdMoveablesImport3ds = 32829,
    CmdMoveablesImportFile = 32830,
    CmdMoveablesExportAll = 32801,
    CmdStaticMeshesImport3ds = 32826,
    CmdStaticMeshesImportFile = 32827,
    CmdStaticMeshesExportAll = 32794,
    CmdSpritesImportFile = 32831,
    CmdSpritesExportAll = 32807,
};

// The root node of a level: creates the collections, carries "Add resource".
class CHandleRootTR123 : public CHandleBase {
public:
    explicit CHandleRootTR123(CNodeTree* tree) : CHandleBase(tree, nullptr, 0) {}
    ~CHandleRootTR123() override;
    int32_t GetType() const override { return HandleTypeRoot; }
    void Populate(bool repopulate) override;
    wxMenu* CreateContextMenu() override;
    void ReleaseContextMenu() override;
    void OnCommand(int id) override;
    // Copies the objects of the game's "Add resource" item number id into the level.
    void AddResourcesFromLevel(int id);

    wxMenu* m_pMenu = nullptr;
};

// What the three object collections share: their menu and repopulation.
class CHandleCollection : public CHandleBase {
public:
    explicit CHandleCollection(CNodeTree* tree) : CHandleBase(tree, nullptr, 0) {}
    ~CHandleCollection() override;
    void Populate(bool repopulate) override;
    void ReleaseContextMenu() override;

    wxMenu* m_pMenu = nullptr;

protected:
    // Inserts one child per object of the level's list.
    virtual void AddChildren() = 0;
    // The objects of the level's list, in order.
    virtual std::vector<void*> CurrentObjects() const = 0;

private:
    std::vector<void*> m_shown;  // the objects of the children, in order
};

class CHandleMoveables : public CHandleCollection {
public:
    using CHandleCollection::CHandleCollection;
    int32_t GetType() const override { return HandleTypeMoveables; }
    wxMenu* CreateContextMenu() override;
    void OnCommand(int id) override;
    // With a source the new moveable takes it over; without one, asks for a .trmvb file.
    void ImportNewMoveableFile(CTrMvb* source);
    // The collection takes the source in as a new moveable.
    void ImportMoveableFile(CTrMvb* source) override { ImportNewMoveableFile(source); }
    void ImportNewMoveableFrom3ds();
    // Writes every moveable to folder (asked for when empty); false on Cancel.
    bool ExportAllMoveables(const std::string& folder = std::string());

protected:
    void AddChildren() override;
    std::vector<void*> CurrentObjects() const override;
};

class CHandleStaticMeshes : public CHandleCollection {
public:
    using CHandleCollection::CHandleCollection;
    int32_t GetType() const override { return HandleTypeStaticMeshes; }
    wxMenu* CreateContextMenu() override;
    void OnCommand(int id) override;
    void ImportNewStaticMeshFile(CTrStatMsh* source);
    void ImportMeshFile(CTrStatMsh* source) override { ImportNewStaticMeshFile(source); }
    void ImportNewStaticMeshFrom3ds();
    bool ExportAllStaticMeshes(const std::string& folder = std::string());

protected:
    void AddChildren() override;
    std::vector<void*> CurrentObjects() const override;
};

class CHandleSprites : public CHandleCollection {
public:
    using CHandleCollection::CHandleCollection;
    int32_t GetType() const override { return HandleTypeSprites; }
    wxMenu* CreateContextMenu() override;
    void OnCommand(int id) override;
    void ImportNewSpriteFile(CTrLstSpr* source);
    void ImportSpriteFile(CTrLstSpr* source) override { ImportNewSpriteFile(source); }
    bool ExportAllSprites(const std::string& folder = std::string());

protected:
    void AddChildren() override;
    std::vector<void*> CurrentObjects() const override;
};

// The sounds node: no children; its pane is the sounds pane (kind 5).
class CHandleSounds : public CHandleBase {
public:
    explicit CHandleSounds(CNodeTree* tree) : CHandleBase(tree, nullptr, 5) {}
    int32_t GetType() const override { return HandleTypeSounds; }
    // Hands the node to the sounds pane.
    void ShowInPane(const std::string& text) override;
};

CHandleBase* CreateRootNode(CNodeTree* tree);

// Export-all file names: folder, level name cut to 20 (moveables) or 19 characters, the
// object's number n.
std::string ExportAllFileName(const std::string& folder, const std::string& levelName,
                              int32_t kind, int n);

}  // namespace lithoscope
