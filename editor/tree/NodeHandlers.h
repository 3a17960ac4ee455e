#pragma once
// The object nodes of the level tree: meshes (of a moveable, or a whole static mesh),
// moveables, sprite sequences and texture tiles, with their context-menu commands.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "editor/tree/HandleBase.h"

namespace lithoscope {

class CTrLstMsh;

// The open-file chooser of the node commands: returns the chosen path, "" for Cancel.
// Tests install one so nothing blocks.
using NodeOpenFileChooser = std::function<std::string(const std::string& filter)>;
NodeOpenFileChooser SetNodeOpenFileChooser(NodeOpenFileChooser chooser);
std::string ChooseNodeOpenFile(const std::string& filter);

// Makes the node classes' makers the ones the tree links (called once at start).
void RegisterNodeHandlers();

class CHandleMesh : public CHandleBase {
public:
    // A mesh of a moveable (meshIndex) or, isStatic, the static mesh itself (index 0).
    CHandleMesh(CFileTree* tree, void* object, bool isStatic, int32_t meshIndex);
    ~CHandleMesh() override;
    int32_t GetType() const override { return HandleTypeMesh; }
    wxMenu* CreateContextMenu() override;
    void ReleaseContextMenu() override;
    void OnCommand(int id) override;
    void ShowInPane(const std::string& text) override;
    void OnModified(bool refreshPane) override;
    void ImportMeshFile(CTrStatMsh* source) override;

    void ClearMesh();
    // "" path: ask for it. Return true when the file was written.
    bool ExportMeshFile(const std::string& chosenPath = "");
    bool ExportMeshTexture(const std::string& chosenPath = "");
    bool ReplaceMeshTexture(const std::string& chosenPath = "");
    void ImportMeshFileFrom(const std::string& path);
    void DeleteStaticMesh();
    // 3D Studio files (Node3dsCommands.cpp); "" path: ask for it. True when done.
    bool ExportMesh3ds(const std::string& chosenPath = "");
    bool ImportMesh3ds(const std::string& chosenPath = "");

    CTrStatMsh* StaticMesh() const;
    CTrMvb* Moveable() const;

    wxMenu* m_pMenu = nullptr;
    bool m_bStatic;
    int32_t m_nMeshIndex;

private:
    std::unique_ptr<CTrLstMsh> OneMeshList() const;
};

class CHandleMoveable : public CHandleBase {
public:
    CHandleMoveable(CFileTree* tree, CTrMvb* moveable);
    ~CHandleMoveable() override;
    int32_t GetType() const override { return HandleTypeMoveable; }
    wxMenu* CreateContextMenu() override;
    void ReleaseContextMenu() override;
    void OnCommand(int id) override;
    void Populate(bool repopulate) override;
    void ShowInPane(const std::string& text) override;
    void OnModified(bool refreshPane) override;
    void ImportMoveableFile(CTrMvb* source) override;

    void ClearMoveableMeshes();
    void RemoveMoveableSounds();
    void DeleteMoveable();
    bool ExportMoveableFile(const std::string& chosenPath = "");
    // Without a source, from a file: both meshes and animations taken.
    void ImportMoveableFileFrom(const std::string& path, bool meshes = true,
                                bool animations = true, bool keepDummies = false);
    // 3D Studio files (Node3dsCommands.cpp): the animation picker or the import dialog
    // first, then the file ("" path: ask for it). True when done.
    bool ExportMoveable3ds(const std::string& chosenPath = "");
    bool ImportMoveable3ds(const std::string& chosenPath = "");
    CTrMvb* Moveable() const;

    wxMenu* m_pMenu = nullptr;

private:
    void FinishImport(int32_t oldId, bool animationsTaken);
};

class CHandleSprite : public CHandleBase {
public:
    CHandleSprite(CFileTree* tree, CTrLstSpr* sprite, bool animated, float zoom);
    ~CHandleSprite() override;
    int32_t GetType() const override { return HandleTypeSprite; }
    wxMenu* CreateContextMenu() override;
    void ReleaseContextMenu() override;
    void OnCommand(int id) override;
    void ShowInPane(const std::string& text) override;
    void OnModified(bool refreshPane) override;
    void ImportSpriteFile(CTrLstSpr* source) override;

    bool ExportSpriteFile(const std::string& chosenPath = "");
    void ImportSpriteFileFrom(const std::string& path);
    void DeleteSprite();
    CTrLstSpr* Sprite() const;

    wxMenu* m_pMenu = nullptr;
    int32_t m_bAnimated;
    float m_fZoom;
};

class CHandleTile : public CHandleBase {
public:
    // object: a 131072-byte ARGB1555 page (kind 0) or a TrPackedChunk (kinds 1 and 2).
    CHandleTile(CFileTree* tree, void* object, int tileKind);
    ~CHandleTile() override;
    int32_t GetType() const override { return HandleTypeTile; }
    wxMenu* CreateContextMenu() override;
    void ReleaseContextMenu() override;
    void OnCommand(int id) override;
    void ShowInPane(const std::string& text) override;
    void DropOnto(CHandleBase* target, bool sameTree) override;

    void CopyTileTo(CHandleBase* target);
    bool ExportTileTga(const std::string& chosenPath = "");
    bool ReplaceTile(const std::string& chosenPath = "");

    int32_t m_nTileKind;
    wxMenu* m_pMenu = nullptr;
};

// Shared by the moveable and sprite nodes: export and replace of the object's own page.
bool ExportObjectTexture(CHandleBase& node, const std::string& chosenPath = "");
bool ReplaceObjectTexture(CHandleBase& node, const std::string& chosenPath = "");

}  // namespace lithoscope
