#pragma once
// The whole in-memory level: every array of a level file, the texture pages, the
// Tomb Raider IV packed chunks and samples, and the object model built after loading.
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "level/LevelBounds.h"
#include "level/MeshRecord.h"
#include "level/TrRecords.h"

namespace lithoscope {

class CTrLstMsh;
class CTrMvb;
class CTrStatMsh;
class CTrLstSpr;
class CTrSoundList;
class CGameCatalog;
class ILevelProgress;

enum TrGameVersion : int32_t {
    TrVersionUnknown = 0,
    TrVersion1 = 1,
    TrVersion2 = 2,
    TrVersion3 = 3,
    TrVersion4 = 4,
    TrVersion4Encrypted = 99,
};

constexpr int kPageSide = 256;
constexpr size_t kPagePixels = 256 * 256;
constexpr size_t kPage16Bytes = kPagePixels * 2;  // 131072
constexpr size_t kPage8Bytes = kPagePixels;       // 65536
constexpr size_t kPage32Bytes = kPagePixels * 4;  // 262144

// One 16-bit ARGB1555 page, rows top first.
using TrPage = std::vector<uint16_t>;

// Object-model lists. Their element types are complete in the files that build them.
template <class T>
struct ObjDeleter {
    void operator()(T* p) const;
};
template <class T>
using ObjPtr = std::unique_ptr<T, ObjDeleter<T>>;

// A sound that a save left out of the level (or wrote with fewer samples), and why.
struct TrSoundLeftOut {
    int32_t internalIndex = 0;
    std::string why;
};

// What a build of the object model holds so far, counted as it goes: the records a save
// writes behind 16-bit indices, and the bytes taken (charged to the level's memory). The
// build refuses a level whose objects would need more than a save can write or more
// memory than any level takes.
struct ObjectModelTally {
    uint64_t bytes = 0;
    uint64_t meshes = 0;  // mesh pointers of the moveables and static meshes
    uint64_t tracks = 0;
    uint64_t stateChanges = 0;
    uint64_t ranges = 0;
    uint64_t commandWords = 0;
    uint64_t sprites = 0;
    // Of the bytes, those held for the object pages that a save packs anew beside the old
    // ones; the packing takes them over.
    uint64_t packedPages = 0;
};

class CTrLevel {
public:
    CTrLevel();
    ~CTrLevel();
    CTrLevel(const CTrLevel&) = delete;
    CTrLevel& operator=(const CTrLevel&) = delete;

    // Frees everything and resets the level as at construction; harmless when empty.
    void Free();

    // First object of the list with that object id, or null.
    CTrMvb* FindMoveable(int id) const;
    CTrStatMsh* FindStaticMesh(int id) const;
    CTrLstSpr* FindSpriteSequence(int id) const;
    // The mesh of mesh pointer p, or null for pointer 0 (its slot is a dummy) and for an
    // index past the table.
    const TrMeshRecord* MeshForPointer(uint32_t p) const;
    // Whether mesh pointer p holds 0: it names the mesh at offset 0 of the mesh data.
    bool IsZeroPointer(uint32_t p) const {
        return p < meshPointers.size() && meshPointers[p] == zeroMeshEntry;
    }
    // Merges every moveable's own sound list into the level's.
    void MergeMoveableSounds();
    // Animations of a moveable record of this level: up to the first animation of the next
    // moveable that has any, else up to the level's animation count; 0 for none (0xFFFF).
    uint16_t GetMoveableAnimCount(const TrMoveableRecord& moveable) const;

    // Appends the palette tile page and its 512 textures; coloured faces become textured.
    void AddPaletteTile(const uint8_t palette[256][3], const uint8_t palette16[256][4]);
    // Object model (ObjectModelBuild.cpp, SavePrep.cpp): builds the objects from the flat
    // arrays (the lists replace any earlier ones), and writes them back into the arrays
    // before a save, consuming them. A failed preparation leaves the level as it was.
    // The catalog (may be null) gives each moveable its catalog entry.
    void BuildObjects(ILevelProgress* progress, CGameCatalog* catalog = nullptr);
    // The object model of the arrays as a load makes it (Tomb Raider I to III: the palette
    // tile first, then BuildObjects): a load and a save with rebuilding both end here, so
    // the objects after a save are those a load of the saved file gives.
    void BuildObjectModel(ILevelProgress* progress, CGameCatalog* catalog = nullptr);
    void PrepareForSave(ILevelProgress* progress, bool keepUnused);
    // Sets or clears intensity alpha on every textured face of the mesh.
    void ApplyIntensityAlpha(TrMeshRecord& mesh, std::vector<TrObjectTextureRecord>& textures,
                             bool on) const;

    // Level files (LevelFile.cpp). Load reads the whole file; a failed recognition or
    // reader leaves the level freed. With showMessages failures are shown to the user.
    // The catalog (may be null) describes the moveables of the object model.
    bool Load(const std::string& path, bool noBuild, bool showMessages,
              CGameCatalog* catalog = nullptr);
    bool ReadFileImage(const uint8_t* image, size_t size, const std::string& path,
                       bool noBuild, bool showMessages, CGameCatalog* catalog = nullptr);
    // The same; the image (*owner's bytes) is freed once read, before the objects are built.
    bool ReadFileImage(std::vector<uint8_t>& owner, const std::string& path, bool noBuild,
                       bool showMessages, CGameCatalog* catalog = nullptr);
    // The containers; the cursor stands after the magic. Throw LevelError on bad data.
    void ReadImageTr123(ByteReader& cursor, ILevelProgress* progress);
    void ReadImageTr4(ByteReader& cursor, size_t size, ILevelProgress* progress);
    // unusedTextureMode: 0 drops the unused object textures, 1 keeps them, 2 asks.
    // The file is replaced only when the whole image could be built and written.
    bool Save(const std::string& path, int unusedTextureMode, bool noRebuild,
              bool showMessages, CGameCatalog* catalog = nullptr);
    // The complete file image; throw LevelError when the level can't be written.
    std::vector<uint8_t> BuildImageTr123(size_t* sizeOut, bool rebuild, int unusedTextureMode,
                                         bool showDialog, CGameCatalog* catalog = nullptr);
    std::vector<uint8_t> BuildImageTr4(size_t* sizeOut, bool rebuild, int unusedTextureMode,
                                       bool showDialog, CGameCatalog* catalog = nullptr);
    size_t GetImageSizeTr123() const;
    // Upper bound when samples are saved uncompressed (4 x a converted sample's size).
    size_t GetImageSizeTr4(bool withLevelData) const;
    // Whether the unused object textures go into the saved level (mode 2 asks).
    bool DecideKeepUnusedTextures(int unusedTextureMode) const;

    // Level data (LevelData.cpp): the sections after the textures. Needs version and
    // isTub. Positions reported to the main bar are offset by progressBase.
    void ParseLevelData(ByteReader& data, size_t progressBase, ILevelProgress* progress);
    // Writes exactly GetLevelDataSize bytes; throws OverflowError when a count no longer
    // fits its field. For Tomb Raider I the size includes the palette held in the data.
    void WriteLevelData(ByteWriter& out, ILevelProgress* progress, size_t progressBase) const;
    size_t GetLevelDataSize() const;
    // Throws LevelError when a load would refuse the level data these arrays are written
    // as: more bytes than a level holds, or pointers that name more mesh bytes than their
    // mesh data allows (LevelBounds.h). The load checks what it read, the save what it
    // writes.
    void CheckLevelDataBounds() const;
    static size_t GetRoomFileSize(const TrRoomRecord& room, int version);

    // Counts, always those of their arrays.
    uint32_t pageCount() const { return uint32_t(pages.size()); }
    uint16_t roomCount() const { return uint16_t(rooms.size()); }
    uint32_t floorDataCount() const { return uint32_t(floorData.size()); }
    uint32_t meshCount() const { return uint32_t(meshes.size()); }
    uint32_t meshPointerCount() const { return uint32_t(meshPointers.size()); }
    uint32_t animationCount() const { return uint32_t(animations.size()); }
    uint32_t stateChangeCount() const { return uint32_t(stateChanges.size()); }
    uint32_t animDispatchCount() const { return uint32_t(animDispatches.size()); }
    uint32_t animCommandCount() const { return uint32_t(animCommands.size()); }
    uint32_t meshTreeCount() const { return uint32_t(meshTrees.size()); }
    uint32_t frameCount() const { return uint32_t(frames.size()); }
    uint32_t moveableCount() const { return uint32_t(moveables.size()); }
    uint32_t staticMeshCount() const { return uint32_t(staticMeshes.size()); }
    uint32_t spriteSequenceCount() const { return uint32_t(spriteSequences.size()); }
    uint32_t itemCount() const { return uint32_t(items.size()); }
    uint32_t spriteTextureCount() const { return uint32_t(spriteTextures.size()); }
    uint32_t animatedTextureCount() const { return uint32_t(animatedTextures.size()); }
    uint32_t objectTextureCount() const { return uint32_t(objectTextures.size()); }
    uint32_t sampleCount() const { return uint32_t(samples.size()); }
    uint32_t roomTextureCount() const { return uint32_t(roomTextures.size()); }
    uint32_t soundSourceCount() const { return uint32_t(soundSources.size()); }
    uint32_t soundDetailCount() const { return uint32_t(soundDetails.size()); }
    uint32_t sampleIndexCount() const { return uint32_t(sampleIndices.size()); }
    uint32_t sampleDataSize() const { return uint32_t(sampleData.size()); }
    uint32_t cameraCount() const { return uint32_t(cameras.size()); }
    uint32_t flybyCameraCount() const { return uint32_t(flybyCameras.size()); }
    uint32_t boxCount() const { return uint32_t(boxes.size()); }
    uint32_t overlapCount() const { return uint32_t(overlaps.size()); }
    uint32_t aiObjectCount() const { return uint32_t(aiObjects.size()); }
    uint16_t demoDataSize() const { return uint16_t(demoData.size()); }
    uint32_t trailingSize() const { return uint32_t(trailing.size()); }

    int32_t version = TrVersionUnknown;
    uint8_t palette[256][3] = {};
    uint8_t palette16[256][4] = {};
    std::vector<TrPage> pages;
    // Each page's pixels as the file held them (see FilePixelPlanes), 65536 a page, or none
    // for a page that never came from the file.
    std::vector<std::vector<uint32_t>> pageFilePixels;
    // The file pixels of the pages, by page.
    std::unordered_map<const uint16_t*, const uint32_t*> FilePlanes() const;
    // Tomb Raider I to III: the 8-bit index that each opaque 15-bit colour of the pages had
    // in the file (-1: none), so that a save gives every unchanged texel its index back.
    std::vector<int16_t> colourIndices;
    std::vector<TrRoomRecord> rooms;
    std::vector<uint16_t> floorData;
    std::vector<std::unique_ptr<TrMeshRecord>> meshes;
    std::vector<uint32_t> meshPointers;  // indices into meshes
    // The entry of meshes that the pointers holding 0 name (the mesh at offset 0 of the
    // mesh data, a placeholder the games show for slots that take their body from another
    // moveable); kNoZeroMesh when no pointer holds 0.
    static constexpr uint32_t kNoZeroMesh = 0xFFFFFFFF;
    uint32_t zeroMeshEntry = kNoZeroMesh;
    std::vector<TrAnimationRecord> animations;
    std::vector<TrStateChangeRecord> stateChanges;
    std::vector<TrAnimDispatchRecord> animDispatches;
    std::vector<int16_t> animCommands;
    std::vector<int32_t> meshTrees;
    std::vector<int16_t> frames;
    std::vector<TrMoveableRecord> moveables;
    std::vector<TrStaticMeshRecord> staticMeshes;
    std::vector<TrSpriteSequenceRecord> spriteSequences;
    std::vector<TrItemRecord> items;
    std::vector<ObjPtr<CTrMvb>> moveableList;
    std::vector<ObjPtr<CTrStatMsh>> staticMeshList;
    std::vector<ObjPtr<CTrLstSpr>> spriteList;
    std::vector<TrItemRecord> itemList;  // item copies of the object model
    // The mesh of pointer 0 with a page of its own, kept for the save while every slot
    // that uses it is a dummy; null when no pointer holds 0.
    ObjPtr<CTrLstMsh> zeroMesh;
    std::vector<TrSpriteTextureRecord> spriteTextures;
    std::vector<uint16_t> animatedTextures;
    std::vector<TrObjectTextureRecord> objectTextures;
    uint16_t roomPageCount = 0;
    uint16_t objectPageCount = 0;
    uint16_t bumpPageCount = 0;
    TrPackedChunk pages32Chunk;
    TrPackedChunk pages16Chunk;
    TrPackedChunk miscChunk;
    std::vector<TrPackedChunk> samples;
    uint8_t texMarkerByte = 0;
    std::vector<TrObjectTextureRecord> roomTextures;
    std::vector<TrObjectTextureRecord> unusedObjectTextures;
    std::vector<TrSoundSourceRecord> soundSources;
    int16_t soundMap[2048] = {};
    std::vector<TrSoundDetailRecord> soundDetails;
    std::vector<uint32_t> sampleIndices;
    std::vector<uint8_t> sampleData;
    ObjPtr<CTrSoundList> soundList;
    // What the last save's write-back of soundList left out; the save tells the user.
    std::vector<TrSoundLeftOut> soundsLeftOut;
    std::vector<TrCameraRecord> cameras;
    std::vector<TrFlybyCameraRecord> flybyCameras;
    std::vector<TrBoxRecord> boxes;
    std::vector<uint16_t> overlaps;
    std::vector<uint8_t> zones;  // boxCount records of 12 (V1) or 20 bytes
    uint8_t lightMap[8192] = {};
    std::vector<TrAIObjectRecord> aiObjects;
    std::vector<uint8_t> demoData;
    std::vector<uint8_t> trailing;
    int32_t soundMapMode = 0;  // 130: TR4 level with the 2048-entry sound map
    std::string path;
    std::string name;
    uint8_t isTub = 0;
    // A save builds the object model again afterwards; a caller that frees the level right
    // after saving (the batch run) turns that off, and the save then lets go of each part of
    // the object model as soon as it is written: such a level is only good for freeing.
    bool rebuildAfterSave = true;
    // With messages, the box of a level refused as "Unknown file type !" also gives the
    // log's line of why (the editor); the batch run prints that line itself.
    bool sayWhyRefused = false;
    // Started anew by each BuildObjects.
    ObjectModelTally objectTally;
    // What the level's own bytes made it take in memory (LevelBounds.h); started anew by
    // each load.
    LevelMemory memory;

private:
    // ReadFileImage; a given owner of the image is emptied once the image is read.
    bool ReadImage(const uint8_t* image, size_t size, const std::string& path, bool noBuild,
                   bool showMessages, CGameCatalog* catalog, std::vector<uint8_t>* owner);
};

// Tomb Raider I: the opaque 16-bit colour of each palette entry (entry 0 too, for the
// palette tile): the 6-bit colour halved, moved to a free neighbouring colour where an
// earlier entry has it already, so that every entry has a colour of its own.
void Tr1EntryColours(const uint8_t palette[256][3], uint16_t out[256]);

// The 8-bit index a save gives a 16-bit pixel that has none of its own: 0 for a transparent
// pixel; else the index the file gave its colour (known, -1: none), else with exactColours
// (Tomb Raider I, whose 16-bit pages are made from the palette) the entry of that colour,
// else the first nearest entry among 1 to 255. Worked out per colour the first time a pixel
// asks: the whole table costs more than converting a level's pages.
class CPage8Indexer {
public:
    CPage8Indexer(const uint8_t palette[256][3], bool exactColours,
                  const std::vector<int16_t>& known);
    uint8_t operator()(uint16_t pixel);

private:
    int16_t pr_[256], pg_[256], pb_[256];  // the palette scaled to 8 bits
    std::vector<uint8_t> table_;           // 0: not worked out yet (never an answer)
};

// The first word of a level file of that version (0 for none).
uint32_t MagicForVersion(int version);
// A sample (a RIFF WAVE file) as a 16-bit PCM WAVE at 22050 Hz; empty when it can't be
// converted.
std::vector<uint8_t> ConvertSampleToPcm(const TrPackedChunk& sample);

}  // namespace lithoscope
