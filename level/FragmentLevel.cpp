// The fragments of a whole level for its save: every texture use of the object model,
// the animated-texture entries and the room faces.
#include "level/Fragment.h"

#include <algorithm>
#include <cstring>

#include "level/LevelLog.h"
#include "level/TrLevel.h"
#include "level/TrLstMsh.h"
#include "level/TrLstSpr.h"
#include "level/TrMvb.h"
#include "platform/Messages.h"

namespace lithoscope {

namespace {

bool FourthCornerEmpty(const TrObjectTextureRecord& t) {
    const uint8_t* c = t.corner(3);
    return c[0] == 0 && c[1] == 0 && c[2] == 0 && c[3] == 0;
}

// The member entries of the animated-texture ranges, in order; the walk stops at the end
// of the words.
std::vector<uint16_t*> AnimatedMembers(std::vector<uint16_t>& words) {
    std::vector<uint16_t*> members;
    if (words.empty()) return members;
    const size_t ranges = words[0];
    size_t pos = 1;
    for (size_t r = 0; r < ranges && pos < words.size(); ++r) {
        const size_t count = size_t(words[pos++]) + 1;
        for (size_t j = 0; j < count && pos < words.size(); ++j) members.push_back(&words[pos++]);
    }
    return members;
}

// An object's page as 16-bit pixels 256 wide, in whole bands of 256 rows (at least as many
// as its textures name), the rest 0xFFFF: a texture's rectangle, whose sides may lie a
// pixel or two beyond what the object's own page holds, is always inside it.
std::vector<uint16_t> PaddedPage(const CTrObjGfx& object, int* rows) {
    size_t bands = (size_t(object.height) + 255) / 256;
    for (const TrObjectTextureRecord& t : object.textures)
        bands = std::max<size_t>(bands, size_t(t.page() & 0xFF) + 1);
    std::vector<uint16_t> page(bands * 256 * 256, 0xFFFF);
    const size_t w = std::min<size_t>(object.width, 256);
    const size_t bytesPerPixel = object.bitsPerPixel / 8;
    if (object.bitsPerPixel == 16 || object.bitsPerPixel == 32) {
        for (size_t y = 0; y < object.height && y < bands * 256; ++y)
            for (size_t x = 0; x < w; ++x) {
                const size_t i = (y * object.width + x) * bytesPerPixel;
                if (i + bytesPerPixel > object.pixels.size()) continue;
                const uint8_t* p = &object.pixels[i];
                page[y * 256 + x] =
                    bytesPerPixel == 2
                        ? GetU16(p)
                        : uint16_t(((p[2] >> 3) << 10) | ((p[1] >> 3) << 5) | (p[0] >> 3) |
                                   (p[3] >= 128 ? 0x8000 : 0));
            }
    }
    *rows = int(bands * 256);
    return page;
}

// An object's own 16-bit page when every texture's corners lie on it (no copy), else the
// padded copy above, kept in sourcePages; its file pixels, when it has them, go into
// planes under the same source (a padded copy's in sourcePlanes).
struct ObjectSource {
    const uint16_t* pixels;
    int stride, rows;
};
ObjectSource SourceOf(const CTrObjGfx& object, std::vector<std::vector<uint16_t>>& sourcePages,
                      FilePixelPlanes* planes, std::vector<std::vector<uint32_t>>* sourcePlanes) {
    const int width = int(object.width), height = int(object.height);
    const bool hasFilePixels = object.filePixels.size() == size_t(width) * size_t(height) && width > 0;
    bool inside = object.bitsPerPixel == 16 && width > 0 && width <= 256 &&
                  object.pixels.size() >= size_t(width) * size_t(height) * 2;
    for (size_t i = 0; inside && i < object.textures.size(); ++i) {
        const TrObjectTextureRecord& t = object.textures[i];
        const int band = (t.page() & 0xFF) * 256;
        for (int k = 0; k < 4 && inside; ++k) {
            const uint8_t* c = t.corner(k);
            if (k == 3 && FourthCornerEmpty(t)) break;
            inside = c[1] < width && band + c[3] < height;
        }
    }
    if (inside) {
        const uint16_t* pixels = reinterpret_cast<const uint16_t*>(object.pixels.data());
        if (planes && hasFilePixels) (*planes)[pixels] = object.filePixels.data();
        return {pixels, width, height};
    }
    int rows = 0;
    sourcePages.push_back(PaddedPage(object, &rows));
    if (planes && sourcePlanes && hasFilePixels && width <= 256) {
        std::vector<uint32_t> plane(sourcePages.back().size(), 0);
        for (int y = 0; y < height && y < rows; ++y)
            std::memcpy(&plane[size_t(y) * 256], &object.filePixels[size_t(y) * size_t(width)],
                        size_t(width) * 4);
        sourcePlanes->push_back(std::move(plane));
        (*planes)[sourcePages.back().data()] = sourcePlanes->back().data();
    }
    return {sourcePages.back().data(), 256, rows};
}

// Faces of meshes [begin, end) of an object, last mesh first, dummies skipped.
void AddMeshFaces(CTrLstMsh& object, const ObjectSource& page, size_t begin, size_t end,
                  std::vector<CFragment>& fragments, FragmentSourceIndex* index) {
    for (size_t i = std::min(end, object.meshes.size()); i-- > begin;) {
        TrMeshRecord& m = object.meshes[i];
        if (m.dummy) continue;
        CFragment::AddFaces(page.pixels, page.stride, page.rows, object.textures,
                            m.texturedRectangles, 4, fragments, true, index);
        CFragment::AddFaces(page.pixels, page.stride, page.rows, object.textures,
                            m.texturedTriangles, 3, fragments, true, index);
    }
}

// The last dummy of a moveable that shows the mesh of pointer 0 (KeepsZeroMesh), or -1: a
// save writes it as pointer 0, and a load of the file fills it with that mesh.
long LastZeroDummy(int version, const CTrMvb& moveable) {
    for (size_t i = moveable.meshes.size(); i-- > 0;)
        if (moveable.meshes[i].dummy && KeepsZeroMesh(version, moveable.objectId, i)) return long(i);
    return -1;
}

}  // namespace

void CFragment::AddObjectFaces(CTrLstMsh& object, std::vector<CFragment>& fragments,
                               FragmentSourceIndex* index,
                               std::vector<std::vector<uint16_t>>& sourcePages,
                               FilePixelPlanes* planes,
                               std::vector<std::vector<uint32_t>>* sourcePlanes) {
    if (!index) {
        FragmentSourceIndex own(fragments);
        AddObjectFaces(object, fragments, &own, sourcePages, planes, sourcePlanes);
        return;
    }
    const ObjectSource page = SourceOf(object, sourcePages, planes, sourcePlanes);
    AddMeshFaces(object, page, 0, object.meshes.size(), fragments, index);
}

std::vector<CFragment> CFragment::CollectLevelFragments(
    CTrLevel& level, std::vector<std::vector<uint16_t>>& sourcePages, FilePixelPlanes* planes,
    std::vector<std::vector<uint32_t>>* sourcePlanes) {
    const bool tr4 = level.version == TrVersion4;
    std::vector<uint16_t*> members = AnimatedMembers(level.animatedTextures);

    size_t slots = members.size();
    size_t objects = 0;
    for (const auto& m : level.moveableList)
        if (m) slots += m->textures.size(), ++objects;
    for (const auto& s : level.staticMeshList)
        if (s) slots += s->textures.size(), ++objects;
    if (level.zeroMesh) slots += level.zeroMesh->textures.size(), ++objects;
    for (const auto& s : level.spriteList)
        if (s) slots += s->textures.size(), ++objects;
    for (const TrRoomRecord& room : level.rooms)
        slots += room.rectangles.size() + room.triangles.size();
    std::vector<CFragment> fragments;
    fragments.reserve(slots);
    sourcePages.reserve(sourcePages.size() + objects);
    if (sourcePlanes) sourcePlanes->reserve(sourcePlanes->size() + objects);
    if (planes)
        for (const auto& plane : level.FilePlanes()) planes->insert(plane);
    FragmentSourceIndex index(fragments);  // every addition below keeps it up to date

    auto addMeshes = [&](CTrLstMsh& object) {
        AddObjectFaces(object, fragments, &index, sourcePages, planes, sourcePlanes);
    };
    // The mesh of pointer 0 is collected where the packing of a load of the saved file
    // meets it first: in the first dummy slot that shows it, else after the static meshes.
    CTrLstMsh* zero = level.zeroMesh.get();
    for (auto& m : level.moveableList) {
        if (!m) continue;
        const long slot = zero ? LastZeroDummy(level.version, *m) : -1;
        if (slot < 0) {
            addMeshes(*m);
            continue;
        }
        const ObjectSource page = SourceOf(*m, sourcePages, planes, sourcePlanes);
        AddMeshFaces(*m, page, size_t(slot) + 1, m->meshes.size(), fragments, &index);
        addMeshes(*zero);
        zero = nullptr;
        AddMeshFaces(*m, page, 0, size_t(slot), fragments, &index);
    }
    for (auto& s : level.staticMeshList)
        if (s) addMeshes(*s);
    if (zero) addMeshes(*zero);

    // Sprite-list textures: the list's page is a stack of 256-row bands.
    for (auto& list : level.spriteList) {
        if (!list) continue;
        const ObjectSource source = SourceOf(*list, sourcePages, planes, sourcePlanes);
        for (TrObjectTextureRecord& t : list->textures)
            AddIndexed(fragments, &index, t, 4, FragTextureRecord, &t, false, source.pixels,
                       source.stride, source.rows, true);
    }

    // Animated-texture entries: room textures of a Tomb Raider IV level (those on object
    // pages only), else object textures. Room faces that use one stand for it.
    std::vector<bool> animatedMembers;
    {
        const std::vector<TrObjectTextureRecord>& table = tr4 ? level.roomTextures : level.objectTextures;
        animatedMembers.assign(table.size(), false);
        const unsigned firstObjectPage = level.roomPageCount;
        const unsigned endObjectPage = unsigned(level.roomPageCount) + level.objectPageCount;
        for (uint16_t* entry : members) {
            const unsigned i = *entry & 0x3FFF;
            if (i >= table.size()) {
                AppendLogLine(StrFormat("ERROR: animated texture %u past the %u textures, skipped",
                                        i, unsigned(table.size())),
                              true);
                continue;
            }
            const TrObjectTextureRecord& t = table[i];
            const unsigned tile = t.page() & 0x7FFF;
            if (tr4 && (tile < firstObjectPage || tile >= endObjectPage)) continue;
            if (tile >= level.pages.size()) {
                AppendLogLine(StrFormat("ERROR: animated texture %u on page %u past the %u pages, "
                                        "skipped",
                                        i, tile, unsigned(level.pages.size())),
                              true);
                continue;
            }
            const bool triangle = tr4 ? (t.page() & 0x8000) != 0 : FourthCornerEmpty(t);
            AddIndexed(fragments, &index, t, triangle ? 3 : 4, FragAnimatedEntry, entry, false,
                       level.pages[tile].data(), 256, 256, false, i + 1);
            animatedMembers[i] = true;
            if (tr4) *entry = uint16_t(*entry | 0x4000);
        }
    }

    // Room faces.
    const std::vector<TrObjectTextureRecord>& roomTable = tr4 ? level.roomTextures : level.objectTextures;
    for (TrRoomRecord& room : level.rooms) {
        AddLevelFaces(level, roomTable, room.rectangles, 4, fragments, tr4, &index, &animatedMembers);
        AddLevelFaces(level, roomTable, room.triangles, 3, fragments, tr4, &index, &animatedMembers);
    }
    fragments.shrink_to_fit();  // room was made for one fragment a use
    return fragments;
}

}  // namespace lithoscope
