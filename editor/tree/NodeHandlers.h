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
struct TrPackedChunk;

// Makers of the object nodes.
// A moveable node (pane 3) of a level moveable.
CHandleBase* CreateMoveableNode(CNodeTree* tree, CTrMvb* moveable);
// A static mesh node (mesh node with m_bStatic true, m_nMeshIndex 0, pane 2).
CHandleBase* CreateStaticMeshNode(CNodeTree* tree, CTrStatMsh* mesh);
// A sprite node (pane 4) with the catalog's animated flag and zoom.
CHandleBase* CreateSpriteNode(CNodeTree* tree, CTrLstSpr* sprite, bool animated, int32_t zoom);
// A tile node (pane 1) on a packed page chunk; tileKind 1 is the TR4 "Font & sky".
CHandleBase* CreateTileNode(CNodeTree* tree, TrPackedChunk* chunk, int tileKind);

class CHandleMesh : public CHandleBase {
public:
    // A mesh of a moveable (meshIndex) or, isStatic, the static mesh itself (index 0).
    CHandleMesh(CNodeTree* tree, void* object, bool isStatic, int32_t meshIndex);
    ~CHandleMesh() override;
    int32_t GetType() const override { return HandleTypeMesh; }
    wxMenu* CreateContextMenu() override;
    void ReleaseContextMenu() override;
    void OnCommand(int id) override;
    void ShowInPane(const std::string& text) override;
    void OnModified(bool refreshPane) override;
    void ShowCatalogName() override;
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
    CHandleMoveable(CNodeTree* tree, CTrMvb* moveable);
    ~CHandleMoveable() override;
    int32_t GetType() const override { return HandleTypeMoveable; }
    wxMenu* CreateContextMenu() override;
    void ReleaseContextMenu() override;
    void OnCommand(int id) override;
    void Populate(bool repopulate) override;
    void ShowInPane(const std::string& text) override;
    void OnModified(bool refreshPane) override;
    void ShowCatalogName() override;
    void ImportMoveableFile(CTrMvb* source) override;

    void ClearMoveableMeshes();
    void RemoveMoveableSounds();
    // After the question, the moveable leaves the level: its sounds, and in a Tomb Raider
    // I level its items, go with it; the collection repopulates.
    void DeleteMoveable();
    bool ExportMoveableFile(const std::string& chosenPath = "");
    // The animation picker, then the .fkeys file of the chosen animation (or of the nodes
    // only). chosenPath "" asks for it; true when the file was written.
    bool ExportMoveableFairy(const std::string& chosenPath = "");
    // Without a source: the "Importing data" choices, then a file.
    void ImportMoveableFileFrom(const std::string& path, bool meshes = true,
                                bool animations = true, bool keepDummies = false);
    // 3D Studio files (Node3dsCommands.cpp): the animation picker or the import dialog
    // first, then the file ("" path: ask for it). True when done.
    bool ExportMoveable3ds(const std::string& chosenPath = "");
    bool ImportMoveable3ds(const std::string& chosenPath = "");
    CTrMvb* Moveable() const;
    // The animation the moveable toolbox shows, from 0; 0 when none.
    int CurrentAnimation() const;

    wxMenu* m_pMenu = nullptr;

private:
    void FinishImport(int32_t oldId, bool animationsTaken);
    // The mesh children are made again from the moveable's meshes (when expanded).
    void RebuildMeshChildren();
};

// The moveable toolbox's current animation (1-based, 0 for none) of a child frame; the
// toolbox installs the query. Without one, 0.
using CurrentAnimationQuery = std::function<int(IChildFrame* frame)>;
CurrentAnimationQuery SetCurrentAnimationQuery(CurrentAnimationQuery query);

class CHandleSprite : public CHandleBase {
public:
    CHandleSprite(CNodeTree* tree, CTrLstSpr* sprite, bool animated, float zoom);
    ~CHandleSprite() override;
    int32_t GetType() const override { return HandleTypeSprite; }
    wxMenu* CreateContextMenu() override;
    void ReleaseContextMenu() override;
    void OnCommand(int id) override;
    void ShowInPane(const std::string& text) override;
    void OnModified(bool refreshPane) override;
    void ShowCatalogName() override;
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
    CHandleTile(CNodeTree* tree, void* object, int tileKind);
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

// After a moveable came in: names the sounds its animations play that the level will not
// play (not in its sound list, or in a Tomb Raider IV level without samples there).
void ReportSilentSounds(const CTrLevel& level, const CTrMvb& moveable);

// The save chooser of the node commands: the node's text ("/" made "-") with ext proposed,
// filter in either form; ext is added to a chosen name without one. "" for Cancel.
std::string AskSavePath(const CHandleBase& node, const std::string& filter, const std::string& ext);

}  // namespace lithoscope
