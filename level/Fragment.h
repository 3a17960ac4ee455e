#pragma once
// The one texture re-packer: gathers the texel rectangles that texture records use,
// joins contained rectangles of one source, merges identical ones, packs them into pages
// and rewrites every user to the new place and numbering.
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "level/LevelErrors.h"
#include "level/TrRecords.h"

namespace lithoscope {

class CTrLevel;
class CTrLstMsh;
class LevelMemory;
struct MaterialTextureMap;
struct TrMeshRecord;

// Kinds of texture users.
enum FragmentRefKind : int32_t {
    FragFace = 1,           // owner: the face's 16-bit texture word
    FragSprite = 2,         // owner: a TrSpriteTextureRecord
    FragTextureRecord = 3,  // owner: a TrObjectTextureRecord
    FragAnimatedEntry = 4,  // owner: one 16-bit entry of an animated-texture list
};

struct FragmentRef {
    TrObjectTextureRecord texture;  // copy of the user's record, moved by the build
    uint8_t isQuad = 0;
    void* owner = nullptr;
    int32_t kind = 0;
    uint8_t done = 0;
    // When the use was collected: a fragment keeps its references in this order, however
    // they came to it (joined or merged), so the numbering does not depend on where the
    // pixels were.
    uint64_t order = 0;
    // 1 + the level texture of an animated range that this use stands for, 0 for none:
    // uses of two such textures never share a number, so each range keeps its order.
    uint32_t animated = 0;
};

struct FreeRect {
    int32_t width, height, x, y, page;
};

// A packing that can't go on (an invalid fragment, a count past its field): the caller
// fails as a whole and uses no partial page.
class FragmentPackError : public LevelError {
public:
    explicit FragmentPackError(const std::string& what) : LevelError(what) {}
};

class CFragment;

// The pixels of a source image as the level file held them, by the source's first 16-bit
// pixel: one a pixel, at the same places. Tomb Raider IV: the 32-bit B, G, R, A pixel (0:
// none); Tomb Raider I to III: bit 31 set, the 8-bit index in bits 16 to 23 and the 16-bit
// pixel it went with below. A file pixel counts only while the 16-bit pixel beside it is
// still the one it went with (FilePixelFits).
using FilePixelPlanes = std::unordered_map<const uint16_t*, const uint32_t*>;
inline uint32_t IndexFilePixel(uint16_t pixel, uint8_t index) {
    return 0x80000000u | uint32_t(index) << 16 | pixel;
}
// Tomb Raider IV pages hold 16-bit pixels rounded in more than one way from the 32-bit
// ones: a 32-bit pixel fits when each colour is within one step of the 16-bit one and both
// agree on transparency (the colour of a transparent pixel does not count).
inline bool FilePixelFits(int version, uint32_t filePixel, uint16_t pixel) {
    if (version != 4) return (filePixel >> 31) && uint16_t(filePixel) == pixel;
    if (filePixel == 0) return false;
    const bool opaque = (filePixel >> 24) >= 128;
    if (opaque != ((pixel & 0x8000) != 0)) return false;
    if (!opaque) return true;
    for (int c = 0; c < 3; ++c) {
        const int file = int((filePixel >> (8 * c)) & 0xFF) >> 3;
        const int held = (pixel >> (5 * c)) & 31;
        if (file - held > 1 || held - file > 1) return false;
    }
    return true;
}

// Fragments by source image, in index order: the join search looks only at fragments of
// the same source.
//
// An index made on an empty list also knows each fragment's exact rectangle. While every
// fragment is added through it with joins, no fragment of a source lies inside another
// (a new one lies inside none and holds none, a grown one takes in those it holds): a
// rectangle that equals a fragment's then joins that fragment and no other.
class FragmentSourceIndex {
public:
    explicit FragmentSourceIndex(const std::vector<CFragment>& fragments);
    const std::vector<size_t>* Find(const uint16_t* pixels) const {
        auto it = bySource_.find(pixels);
        return it == bySource_.end() ? nullptr : &it->second;
    }
    void Note(const uint16_t* pixels, size_t index) { bySource_[pixels].push_back(index); }

    // The fragment with exactly this rectangle, or -1 (always -1 once a fragment was added
    // without joins).
    long FindExact(const uint16_t* pixels, int left, int top, int right, int bottom) const;
    void SetExact(const uint16_t* pixels, int left, int top, int right, int bottom, size_t index);
    void EraseExact(const uint16_t* pixels, int left, int top, int right, int bottom);
    void StopExact() {
        exactKnown_ = false;
        exact_.clear();
    }

private:
    struct Rect {
        const uint16_t* pixels;
        int16_t left, top, right, bottom;
        bool operator==(const Rect& o) const {
            return pixels == o.pixels && left == o.left && top == o.top && right == o.right &&
                   bottom == o.bottom;
        }
    };
    struct RectHash {
        size_t operator()(const Rect& r) const {
            uint64_t h = uint64_t(reinterpret_cast<uintptr_t>(r.pixels)) * 0x9E3779B97F4A7C15ull;
            h ^= (uint64_t(uint16_t(r.left)) | uint64_t(uint16_t(r.top)) << 16 |
                  uint64_t(uint16_t(r.right)) << 32 | uint64_t(uint16_t(r.bottom)) << 48) *
                 0xFF51AFD7ED558CCDull;
            return size_t(h ^ (h >> 31));
        }
    };
    std::unordered_map<const uint16_t*, std::vector<size_t>> bySource_;
    std::unordered_map<Rect, size_t, RectHash> exact_;
    bool exactKnown_ = false;
};

class CFragment {
public:
    std::vector<FragmentRef> references;  // empty: an unused or merged slot
    const uint16_t* pixels = nullptr;     // the source image (ARGB1555)
    int32_t stride = 0;                   // pixels per source row
    int32_t sourceRows = 0;               // rows the source holds
    int16_t width = 0, height = 0;
    int32_t area = 0;
    int16_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;  // inclusive; y counts stacked pages
    int16_t placedX = 0, placedY = 0;
    int32_t page = 0;

    // Adds one texture use. The rectangle comes from the texture's corners; with
    // stackedPages its rows are offset by (tile & 0xFF) x 256. A rectangle that contains
    // or lies inside an existing one of the same source joins it.
    static void Add(std::vector<CFragment>& fragments, const TrObjectTextureRecord& texture,
                    int cornerCount, int kind, void* owner, bool noJoin,
                    const uint16_t* pixels, int stride, int sourceRows, bool stackedPages);

    // Add with a source index kept up to date (null: search every fragment).
    static void AddIndexed(std::vector<CFragment>& fragments, FragmentSourceIndex* index,
                           const TrObjectTextureRecord& texture, int cornerCount, int kind,
                           void* owner, bool noJoin, const uint16_t* pixels, int stride,
                           int sourceRows, bool stackedPages, uint32_t animated = 0);

    // Faces of a mesh or room against a texture table and one stacked source image.
    // Faces whose texture index is out of range are skipped and logged. index: the source
    // index of fragments, kept up to date (null: one is made for the call).
    template <class Face>
    static void AddFaces(const uint16_t* pixels, int stride, int sourceRows,
                         const std::vector<TrObjectTextureRecord>& textures,
                         std::vector<Face>& faces, int cornerCount,
                         std::vector<CFragment>& fragments, bool stackedPages,
                         FragmentSourceIndex* index = nullptr);

    // Faces against the level's pages (source = the page of the texture's tile). In
    // tr4RoomMode only faces on object pages are added, and their words get 0x4000.
    // animatedMembers: the textures that animated ranges hold (FragmentRef::animated).
    template <class Face>
    static void AddLevelFaces(CTrLevel& level, const std::vector<TrObjectTextureRecord>& textures,
                              std::vector<Face>& faces, int cornerCount,
                              std::vector<CFragment>& fragments, bool tr4RoomMode,
                              FragmentSourceIndex* index = nullptr,
                              const std::vector<bool>* animatedMembers = nullptr);

    // Faces of an object's meshes (last first, dummies skipped) against its textures and
    // its page given as 16-bit pixels; meshIndex -1: every mesh; else only that one, or
    // with allButIt every other one.
    static void AddObjectMeshFaces(CTrLstMsh& object, const std::vector<uint16_t>& page,
                                   std::vector<CFragment>& fragments, int meshIndex,
                                   bool allButIt);

    // Every rectangle and triangle of the given level meshes (last first, dummies skipped).
    static std::vector<CFragment> CollectMeshFragments(CTrLevel& level,
                                                       const std::vector<TrMeshRecord*>& meshes);

    // Every face of imported meshes that takes its texels from a material's picture (the
    // uses of the map's records), cut from that picture taken as stacked 256-row bands.
    static std::vector<CFragment> CollectMaterialFragments(MaterialTextureMap& map,
                                                           std::vector<TrMeshRecord>& meshes);

    // Every texture use of the level's object model (moveable and static-mesh faces,
    // sprite-list textures), its animated-texture entries and room faces, for the save. The
    // mesh of pointer 0 comes where a load of the saved level has it first: in the first
    // dummy that shows it (KeepsZeroMesh), else after the static meshes.
    // sourcePages receives the objects' pages that the fragments are cut from: keep it
    // while the fragments are used.
    // With planes, the file pixels of the objects' pages are added to it under their
    // sources (sourcePlanes keeps the copies that need it).
    static std::vector<CFragment> CollectLevelFragments(
        CTrLevel& level, std::vector<std::vector<uint16_t>>& sourcePages,
        FilePixelPlanes* planes = nullptr, std::vector<std::vector<uint32_t>>* sourcePlanes = nullptr);

    // The mesh faces of one object of the level's object model, as CollectLevelFragments
    // adds them (index null: one is made for the call).
    static void AddObjectFaces(CTrLstMsh& object, std::vector<CFragment>& fragments,
                               FragmentSourceIndex* index,
                               std::vector<std::vector<uint16_t>>& sourcePages,
                               FilePixelPlanes* planes = nullptr,
                               std::vector<std::vector<uint32_t>>* sourcePlanes = nullptr);

    // Height descending, then width descending.
    static void SortBySize(std::vector<CFragment>& fragments, int first, int last);
    // Merges fragments of equal size and pixels; returns the bytes saved.
    // With planes, fragments merge only when their file pixels are equal too.
    static int MergeDuplicates(std::vector<CFragment>& fragments,
                               const FilePixelPlanes* planes = nullptr);
    // Places every fragment with references; returns the number of pages opened.
    static int PackFragments(std::vector<CFragment>& fragments, std::vector<FreeRect>& freeList,
                             std::vector<int>& usedWidths, std::vector<int>& usedHeights,
                             int pageWidth);
    // Packs, builds the new page image (width 0: automatic) and writes every user back;
    // returns the number of new object textures (the representatives).
    // With planes and filePixelsOut, the file pixels of every source that has a plane are
    // placed with the 16-bit ones (0 elsewhere).
    static uint32_t dwBuildTextureFromFragments(std::vector<CFragment>& fragments,
                                                std::vector<uint16_t>& pixelsOut, int* width,
                                                int* height, const FilePixelPlanes* planes = nullptr,
                                                std::vector<uint32_t>* filePixelsOut = nullptr);
    // The same into an object page's bytes (little-endian pixels, bytesOut), and into
    // 256 x 256 pages (the rows past the packed height 0) with one file-pixel plane each.
    static uint32_t BuildBytesFromFragments(std::vector<CFragment>& fragments,
                                            std::vector<uint8_t>& bytesOut, int* width, int* height,
                                            const FilePixelPlanes* planes = nullptr,
                                            std::vector<uint32_t>* filePixelsOut = nullptr);
    // The free places inside the packed height get freePixel, and freeFilePixel in the
    // file-pixel plane. More pages than a level holds are refused (OverflowError) before
    // they are made; the pages made are charged to memory when one is given.
    static uint32_t BuildPagesFromFragments(std::vector<CFragment>& fragments,
                                            std::vector<std::vector<uint16_t>>& pagesOut,
                                            std::vector<std::vector<uint32_t>>& filePagesOut,
                                            const FilePixelPlanes* planes,
                                            uint16_t freePixel = 0xFFFF, uint32_t freeFilePixel = 0,
                                            LevelMemory* memory = nullptr);
    // The number each face of the fragments would take from the packing, by its texture
    // word, without placing or writing anything: faces of one number show one texture.
    static std::unordered_map<const void*, uint32_t> FaceNumbers(std::vector<CFragment>& fragments);
    // The representatives' texture copies, in fragment and list order: texture k of the
    // new numbering.
    static std::vector<TrObjectTextureRecord> Representatives(const std::vector<CFragment>& fragments);

    static bool RefsDiffer(const FragmentRef& a, const FragmentRef& b);
};

}  // namespace lithoscope

#include "level/FragmentFaces.inl"
