#pragma once
// The object model of a level: the catalog its moveables are described by, and the undo
// record of a save preparation.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "level/TrLevel.h"

namespace lithoscope {

class CGameCatalog;
class CTrObjGfx;
class ILevelProgress;

// Index of the first of the 512 palette-tile textures that a load appends (the last 512
// object textures, on the last page, in the tile's layout), or npos when the level has
// none. They are never counted as unused.
size_t PaletteTileTextureStart(const CTrLevel& level);
// The palette tile's swatch colour of every entry (Tomb Raider I to III).
void PaletteTileColours(const CTrLevel& level, uint16_t out[256]);
// A palette tile texture carries its entry in the bytes after its corners (never written
// to a Tomb Raider I to III file); -1 for any other texture.
int PaletteTileEntry(const TrObjectTextureRecord& texture);
// Tomb Raider I to III, before a save: every face that shows a palette tile swatch of this
// level's palette becomes a coloured face again, with the colour word it was loaded with.
void RestoreColouredFaces(CTrLevel& level);
// Tomb Raider IV, before a save: the faces of objects from the other editions that show a
// palette tile texture lose what the tile keeps in their effects word (the game reads it
// as blending and shine), as their textures lose its mark (ClearPaletteTileMark).
void ClearPaletteTileFaceMarks(CTrLevel& level);
void ClearPaletteTileMark(TrObjectTextureRecord& texture);

// Adds n to the tally's count of what, which may reach at most max (what a save can number):
// else LevelError, the level's counts being damaged.
void TallyForSave(uint64_t& count, uint64_t n, uint64_t max, const char* what);
// Adds the bytes an object of the build takes (or is about to take) to the tally and the
// level's memory: LevelError when the level would take more than any level takes.
void TallyBytes(CTrLevel& level, uint64_t bytes);
// The bytes a built object holds: meshes, textures and page.
uint64_t ObjectBytes(const CTrObjGfx& object);

// What a save preparation changed, kept so that the level can be put back as it was, the
// object model included. Dropping it frees the consumed objects.
class LevelSaveRollback {
public:
    // keepCopy false: nothing is copied and Restore puts nothing back (for a level that is
    // dropped whatever the save gives).
    explicit LevelSaveRollback(CTrLevel& level, bool keepCopy = true);
    ~LevelSaveRollback();
    LevelSaveRollback(const LevelSaveRollback&) = delete;
    LevelSaveRollback& operator=(const LevelSaveRollback&) = delete;

    // Moves the object model out of the level (the preparation's end); without a copy to
    // go back to, it is freed at once.
    void RetireObjectModel();
    bool KeepsCopy() const { return keepCopy_; }
    // The level as it was when this was made; does nothing a second time.
    void Restore();

private:
    struct MeshFaces {
        std::vector<TrMeshRectangle> rectangles;
        std::vector<TrMeshTriangle> triangles;
        std::vector<TrMeshRectangle> colouredRectangles;
        std::vector<TrMeshTriangle> colouredTriangles;
    };
    CTrLevel& level_;
    bool keepCopy_ = true;
    bool restored_ = false;
    bool retired_ = false;
    uint64_t retiredBytes_ = 0;  // what the retired objects were counted as

    // Arrays the preparation replaces.
    std::vector<TrPage> pages_;
    std::vector<TrRoomRecord> rooms_;
    std::vector<std::unique_ptr<TrMeshRecord>> meshes_;
    std::vector<uint32_t> meshPointers_;
    uint32_t zeroMeshEntry_ = 0;
    std::vector<TrAnimationRecord> animations_;
    std::vector<TrStateChangeRecord> stateChanges_;
    std::vector<TrAnimDispatchRecord> animDispatches_;
    std::vector<int16_t> animCommands_;
    std::vector<int32_t> meshTrees_;
    std::vector<int16_t> frames_;
    std::vector<TrMoveableRecord> moveables_;
    std::vector<TrStaticMeshRecord> staticMeshes_;
    std::vector<TrSpriteSequenceRecord> spriteSequences_;
    std::vector<TrItemRecord> items_;
    std::vector<TrSpriteTextureRecord> spriteTextures_;
    std::vector<uint16_t> animatedTextures_;
    std::vector<TrObjectTextureRecord> objectTextures_;
    std::vector<TrObjectTextureRecord> roomTextures_;
    std::vector<TrObjectTextureRecord> unusedObjectTextures_;
    std::vector<int16_t> soundMap_;
    std::vector<std::vector<uint32_t>> pageFilePixels_;
    std::vector<TrSoundDetailRecord> soundDetails_;
    std::vector<uint32_t> sampleIndices_;
    uint16_t objectPageCount_ = 0;

    // The object model, and the parts of it that the repacking rewrites.
    std::vector<ObjPtr<CTrMvb>> moveableList_;
    std::vector<ObjPtr<CTrStatMsh>> staticMeshList_;
    std::vector<ObjPtr<CTrLstSpr>> spriteList_;
    std::vector<TrItemRecord> itemList_;
    ObjPtr<CTrSoundList> soundList_;
    ObjPtr<CTrLstMsh> zeroMesh_;
    std::vector<std::vector<MeshFaces>> moveableFaces_;
    std::vector<MeshFaces> staticFaces_;
    std::vector<std::vector<TrObjectTextureRecord>> spriteTextureRecords_;
    std::vector<MeshFaces> zeroMeshFaces_;
};

// Writes the object model back into the arrays (CTrLevel::PrepareForSave). The result
// undoes it until it is dropped; when the preparation throws, the level has already been
// put back. A level whose object model was never built is left as it is.
std::unique_ptr<LevelSaveRollback> PrepareLevelForSave(CTrLevel& level, ILevelProgress* progress,
                                                       bool keepUnused);

}  // namespace lithoscope
