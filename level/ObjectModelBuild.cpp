// The object model built from a level's flat arrays: texture use and the unused textures,
// the Tomb Raider IV room textures, and one object per moveable, static mesh and sprite
// sequence, the item copies and the level's sound list.
#include <algorithm>
#include <cstring>

#include "level/Fragment.h"
#include "level/GameCatalog.h"
#include "level/LevelLog.h"
#include "level/LevelProgress.h"
#include "level/ObjectModel.h"
#include "level/Pixels.h"
#include "level/SoundList.h"
#include "level/TrLevel.h"
#include "level/TrLstMsh.h"
#include "level/TrLstSpr.h"
#include "level/TrMvb.h"
#include "platform/Messages.h"

namespace lithoscope {

namespace {

constexpr uint16_t kRoomTextureFlag = 0x8000;
constexpr size_t kRoomRectangleWord = 8;
constexpr size_t kRoomTriangleWord = 6;
constexpr size_t kMeshRectangleWord = 8;
constexpr size_t kMeshTriangleWord = 6;
constexpr size_t kPaletteTextures = 512;
// What the save's packing takes for each texture use: its reference (72 bytes), which the
// merging of fragments may hold up to three times over, as measured.
constexpr uint64_t kSaveBytesPerTextureUse = 3 * sizeof(FragmentRef);

void Log(const std::string& line) { AppendLogLine(line, false, false); }
void LogError(const std::string& line) { AppendLogLine(line, true, false); }

// The builder's current moveable, -1 again however the construction ends.
class CurrentMoveable {
public:
    explicit CurrentMoveable(int index) { LevelLog().currentMoveable = index; }
    ~CurrentMoveable() { LevelLog().currentMoveable = -1; }
};

// Marks the texture of one texture word (a face's or an animated-texture member's). An
// index past the table names nothing a save could keep, and would name another texture
// once the save has numbered them anew: it becomes texture 0, its other bits kept.
void Mark(std::vector<uint8_t>& marks, uint8_t* word, uint16_t indexBits, const char* what,
          unsigned owner) {
    const uint16_t w = GetU16(word);
    unsigned index = w & indexBits;
    if (index >= marks.size()) {
        if (marks.empty())
            throw LevelError(StrFormat("%s %u uses object texture %u, and the level has no object "
                                       "texture",
                                       what, owner, index));
        LogError(StrFormat("ERROR: %s %u uses object texture %u, past the %u object textures; "
                           "texture 0 used",
                           what, owner, index, unsigned(marks.size())));
        PutU16(word, uint16_t(w & ~indexBits));
        index = 0;
    }
    marks[index] = 1;
}

// A texture on a page past the pages takes page 0, as a sprite does: the save could not
// copy its pixels, and would leave it naming a page that it has numbered anew.
void RepairTexturePages(CTrLevel& level) {
    const size_t pages = level.pages.size();
    for (size_t i = 0; i < level.objectTextures.size(); ++i) {
        TrObjectTextureRecord& t = level.objectTextures[i];
        const unsigned tile = t.page() & 0x7FFF;
        if (tile < pages) continue;
        if (pages == 0)
            throw LevelError(StrFormat("%zu object textures and no texture page",
                                       level.objectTextures.size()));
        LogError(StrFormat("ERROR: object texture %zu on page %u past the %zu pages; page 0 used",
                           i, tile, pages));
        t.setU16(2, uint16_t(t.page() & 0x8000));
    }
}

// Calls f(entry) for every member entry of the animated-texture ranges; a list that runs
// past its words is logged and its walk ends.
template <class F>
void ForEachAnimatedMember(std::vector<uint16_t>& words, F f) {
    if (words.empty()) return;
    const size_t ranges = words[0];
    size_t pos = 1;
    for (size_t r = 0; r < ranges; ++r) {
        if (pos >= words.size()) {
            LogError(StrFormat("ERROR: animated textures: range %zu of %zu past the %zu words",
                               r, ranges, words.size()));
            return;
        }
        const size_t members = size_t(words[pos++]) + 1;
        for (size_t j = 0; j < members; ++j) {
            if (pos >= words.size()) {
                LogError(StrFormat("ERROR: animated textures: range %zu runs past the %zu words",
                                   r, words.size()));
                return;
            }
            f(words[pos++]);
        }
    }
}

bool IsTriangle(const TrObjectTextureRecord& t) {
    const uint8_t* c = t.corner(3);
    return c[0] == 0 && c[1] == 0 && c[2] == 0 && c[3] == 0;
}

bool CornerIs(const TrObjectTextureRecord& t, int k, uint8_t xc, int x, uint8_t yc, int y) {
    const uint8_t* c = t.corner(k);
    return c[0] == xc && c[1] == uint8_t(x) && c[2] == yc && c[3] == uint8_t(y);
}

}  // namespace


size_t PaletteTileTextureStart(const CTrLevel& level) {
    if (level.version == TrVersion4 || level.pages.empty() ||
        level.objectTextures.size() < kPaletteTextures)
        return size_t(-1);
    const size_t base = level.objectTextures.size() - kPaletteTextures;
    const uint16_t page = uint16_t(level.pages.size() - 1);
    for (size_t i = 0; i < kPaletteTextures; ++i) {
        const TrObjectTextureRecord& t = level.objectTextures[base + i];
        const int k = int(i % 256);
        const int x = 3 * (k % 85), y = 3 * (k / 85);
        const bool rectangle = i >= 256;
        if (t.page() != page || t.attributes() != 0 || t.flags() & ~kRoomTextureFlag) return size_t(-1);
        if (!CornerIs(t, 0, 1, x, 1, y) || !CornerIs(t, 1, 255, x + 2, 1, y) ||
            !CornerIs(t, 2, 255, x + 2, 255, y + 2))
            return size_t(-1);
        if (rectangle ? !CornerIs(t, 3, 1, x, 255, y + 2) : !IsTriangle(t)) return size_t(-1);
    }
    return base;
}

void TallyForSave(uint64_t& count, uint64_t n, uint64_t max, const char* what) {
    if (n > max || count > max - n)
        throw LevelError(StrFormat("%llu %s, more than a level holds (at most %llu)",
                                   static_cast<unsigned long long>(count + n), what,
                                   static_cast<unsigned long long>(max)));
    count += n;
}

void TallyBytes(CTrLevel& level, uint64_t bytes) {
    // The object model of the largest real level takes about 25 MB.
    level.memory.Charge(bytes, "the objects");
    level.objectTally.bytes += bytes;
}

uint64_t ObjectBytes(const CTrObjGfx& object) {
    // The object with what it allocates beside its arrays, as measured.
    constexpr uint64_t kObject = 512;
    uint64_t n = kObject + object.pixels.size() + 4 * uint64_t(object.filePixels.size()) +
                 sizeof(TrObjectTextureRecord) * uint64_t(object.textures.size());
    if (const CTrLstMsh* list = dynamic_cast<const CTrLstMsh*>(&object))
        for (const TrMeshRecord& m : list->meshes) n += m.HeldBytes();
    return n;
}

void CTrLevel::BuildObjectModel(ILevelProgress* progress, CGameCatalog* catalog) {
    if (version != TrVersion4) AddPaletteTile(palette, palette16);
    BuildObjects(progress, catalog);
}

void CTrLevel::BuildObjects(ILevelProgress* progress, CGameCatalog* catalog) {
    // The objects that this build replaces stay counted until they go; a build that fails
    // gives back what it counted.
    struct TallyScope {
        CTrLevel& level;
        ObjectModelTally before;
        bool done = false;
        ~TallyScope() {
            if (done) return;
            level.memory.Refund(level.objectTally.bytes);
            level.objectTally = before;
        }
    } tallyScope{*this, objectTally};
    objectTally = ObjectModelTally();
    const uint32_t buildRange = staticMeshCount() + moveableCount() + meshCount() +
                                spriteSequenceCount() + itemCount();
    if (progress) progress->SetBuildRange(buildRange);
    const bool tr4 = version == TrVersion4;
    const unsigned textureCount = objectTextureCount();

    // Corner bytes, normalised once here: every later cut of a texture is the same
    // rectangle. Tomb Raider IV coordinate bytes of 0 are 1 in memory (0 again when saved).
    for (TrObjectTextureRecord& t : objectTextures) {
        if (tr4) ReplaceCoordinateBytes(t, 0, 1);
        const bool triangle = tr4 ? (t.page() & 0x8000) != 0 : IsTriangle(t);
        NormaliseTextureCorners(t, triangle ? 3 : 4);
    }

    RepairTexturePages(*this);

    // Texture use: mesh faces, room faces, animated textures.
    std::vector<uint8_t> marks(textureCount, 0);
    for (size_t m = 0; m < meshes.size(); ++m) {
        if (!meshes[m]) continue;
        for (TrMeshRectangle& r : meshes[m]->texturedRectangles)
            Mark(marks, &r.b[kMeshRectangleWord], 0x7FFF, "mesh", unsigned(m));
        for (TrMeshTriangle& t : meshes[m]->texturedTriangles)
            Mark(marks, &t.b[kMeshTriangleWord], 0x7FFF, "mesh", unsigned(m));
    }
    auto roomFaceWords = [this](auto f) {
        for (size_t r = 0; r < rooms.size(); ++r) {
            for (TrRoomRectangle& q : rooms[r].rectangles) f(r, &q.b[kRoomRectangleWord]);
            for (TrRoomTriangle& t : rooms[r].triangles) f(r, &t.b[kRoomTriangleWord]);
        }
    };
    roomFaceWords([&](size_t r, uint8_t* word) {
        if (GetU16(word) == 0xFFFF) PutU16(word, 0);
        Mark(marks, word, 0x7FFF, "room", unsigned(r));
    });
    unsigned memberNumber = 0;
    ForEachAnimatedMember(animatedTextures, [&](uint16_t& member) {
        uint8_t word[2];
        PutU16(word, member);
        Mark(marks, word, 0xFFFF, "animated texture member", memberNumber++);
        member = GetU16(word);
        TrObjectTextureRecord& t = objectTextures[member];
        if (!(t.flags() & kRoomTextureFlag)) {
            t.setU16(4, uint16_t(t.flags() | kRoomTextureFlag));
            Log(StrFormat("Animating texture %d has now been flagged as a room texture", int(member)));
        }
    });

    // Unused textures; the palette tile's are there for coloured faces to come.
    const size_t paletteStart = PaletteTileTextureStart(*this);
    std::vector<TrObjectTextureRecord> unused;
    for (size_t i = 0; i < textureCount; ++i) {
        if (marks[i]) continue;
        if (tr4 && (objectTextures[i].flags() & kRoomTextureFlag)) continue;
        if (i >= paletteStart) continue;
        unused.push_back(objectTextures[i]);
    }
    if (unused.empty())
        Log("No unused object textures.\r\n");
    else
        Log(StrFormat("\r\nLevel contains %d unused object textures.\r\n", int(unused.size())));
    unusedObjectTextures = std::move(unused);

    if (tr4) {
        Log("");
        Log(StrFormat("\nBefore compute for room texture (%d)", int(textureCount)));
        // A room face must keep a room texture: one that is not yet is flagged as one.
        roomFaceWords([&](size_t r, uint8_t* word) {
            const unsigned index = GetU16(word) & 0x7FFF;
            if (index >= textureCount) return;
            TrObjectTextureRecord& t = objectTextures[index];
            if (t.flags() & kRoomTextureFlag) return;
            t.setU16(4, uint16_t(t.flags() | kRoomTextureFlag));
            Log(StrFormat("Room %u: texture %u has now been flagged as a room texture",
                          unsigned(r), index));
        });
        std::vector<int32_t> map(textureCount, -1);
        std::vector<TrObjectTextureRecord> split;
        for (size_t i = 0; i < textureCount; ++i) {
            const TrObjectTextureRecord& t = objectTextures[i];
            if (t.flags() & kRoomTextureFlag) {
                map[i] = int32_t(split.size());
                split.push_back(t);
            }
        }
        const unsigned objectEnd = unsigned(roomPageCount) + objectPageCount;
        for (TrObjectTextureRecord& t : split) {
            const unsigned page = t.page() & 0x7FFF;
            if (page >= objectEnd)
                t.setU16(2, uint16_t((t.page() & 0x8000) | ((page - objectPageCount + 0x4000) & 0x7FFF)));
        }
        roomTextures = std::move(split);
        // Faces and members that pointed outside the table take room texture 0.
        auto mapped = [&](unsigned index) -> unsigned {
            if (index < textureCount && map[index] >= 0) return unsigned(map[index]);
            LogError(StrFormat("ERROR: texture %u is not a room texture; room texture 0 used",
                               index));
            return 0;
        };
        roomFaceWords([&](size_t, uint8_t* word) {
            const uint16_t w = GetU16(word);
            PutU16(word, uint16_t((w & 0x8000) | (mapped(w & 0x7FFF) & 0x7FFF)));
        });
        ForEachAnimatedMember(animatedTextures,
                              [&](uint16_t& member) { member = uint16_t(mapped(member)); });
    }
    Log("End of compute for room textures.");
    Log("");

    uint32_t done = 0;
    for (auto& mesh : meshes) {
        if (mesh) mesh->intensityAlpha = mesh->UsesIntensityAlpha(objectTextures) ? 1 : 0;
        if (progress) progress->SetBuildPos(++done);
    }

    std::vector<ObjPtr<CTrMvb>> newMoveables;
    newMoveables.reserve(moveables.size());
    for (size_t i = 0; i < moveables.size(); ++i) {
        const TrMoveableRecord& record = moveables[i];
        Log(StrFormat("Check first of creation of slot moveable index=%d with slot=%d", int(i),
                      int(record.objectId())));
        ObjPtr<CTrMvb> moveable;
        {
            const CurrentMoveable current{int(i)};
            moveable.reset(new CTrMvb(record, *this, nullptr));
        }
        if (catalog)
            moveable->SetCatalogEntry(catalog->GetMoveableEntry(
                CGameCatalog::GameIndexFromVersion(version), name, record.objectId()));
        newMoveables.push_back(std::move(moveable));
        if (progress) progress->SetBuildPos(++done);
    }
    Log("Check: end of creating slot moveables\r\n\r\n");

    std::vector<ObjPtr<CTrStatMsh>> newStatics;
    newStatics.reserve(staticMeshes.size());
    for (size_t i = 0; i < staticMeshes.size(); ++i) {
        Log(StrFormat("Check first of creation of static mesh index=%d with slot=%d", int(i),
                      int(staticMeshes[i].objectId())));
        // The save gives each its mesh pointer after those of the moveables.
        TallyForSave(objectTally.meshes, 1, 0x10000, "mesh pointers");
        newStatics.emplace_back(new CTrStatMsh(staticMeshes[i], *this));
        TallyBytes(*this, ObjectBytes(*newStatics.back()));
        if (progress) progress->SetBuildPos(++done);
    }
    Log("Check: end of creating static meshes\r\n\r\n");

    // The mesh of pointer 0 keeps its data (and its page) for the save.
    ObjPtr<CTrLstMsh> newZeroMesh;
    if (zeroMeshEntry < meshes.size() && meshes[zeroMeshEntry]) {
        newZeroMesh.reset(new CTrLstMsh);
        newZeroMesh->gameVersion = version;
        newZeroMesh->SetMeshesFromLevel(*this, {meshes[zeroMeshEntry].get()}, 0, 0);
        TallyBytes(*this, ObjectBytes(*newZeroMesh));
    }

    Log("Check: start of creating sprite sequences");
    std::vector<ObjPtr<CTrLstSpr>> newSprites;
    newSprites.reserve(spriteSequences.size());
    for (const TrSpriteSequenceRecord& sequence : spriteSequences) {
        newSprites.emplace_back(new CTrLstSpr(sequence, *this));
        TallyBytes(*this, ObjectBytes(*newSprites.back()) +
                              newSprites.back()->sprites.size() * sizeof(TrSpriteFrameRecord));
        if (progress) progress->SetBuildPos(++done);
    }
    Log("Check: end of creating sprite sequences\r\n\r\n");

    // A save repacks every texture use (room and object faces, sprites, the textures kept
    // unused) through a reference of its own: counted here, so that a level which loads
    // can be saved within the same bound.
    uint64_t uses = objectTextures.size() + spriteTextures.size();
    for (const TrRoomRecord& room : rooms) uses += room.rectangles.size() + room.triangles.size();
    auto faces = [&uses](const CTrLstMsh* list) {
        if (!list) return;
        for (const TrMeshRecord& m : list->meshes)
            uses += m.texturedRectangles.size() + m.texturedTriangles.size() +
                    m.colouredRectangles.size() + m.colouredTriangles.size();
    };
    for (const auto& m : newMoveables) faces(m.get());
    for (const auto& s : newStatics) faces(s.get());
    faces(newZeroMesh.get());

    // The save writes a mesh for every slot of the objects that is no dummy: objects that
    // share pointers (or show the mesh of offset 0) write theirs more than once, and the
    // level data must still read back.
    auto fileBytes = [tr4](const TrMeshRecord& m) {
        return uint64_t(tr4 ? m.GetFileSizeTr4(0) : m.GetFileSize(0, false)) + 2;  // padding
    };
    uint64_t meshBytesNow = 0, meshBytesSaved = 0;
    for (const auto& m : meshes)
        if (m) meshBytesNow += fileBytes(*m);
    auto saved = [&](const CTrLstMsh* list) {
        if (!list) return;
        for (const TrMeshRecord& m : list->meshes)
            if (!m.dummy) meshBytesSaved += fileBytes(m);
    };
    for (const auto& m : newMoveables) saved(m.get());
    for (const auto& s : newStatics) saved(s.get());
    saved(newZeroMesh.get());
    const uint64_t levelData = GetLevelDataSize();
    const uint64_t others = levelData > meshBytesNow ? levelData - meshBytesNow : 0;
    if (others + meshBytesSaved > kMaxLevelBytes)
        throw LevelError(MoreThanALevelHolds(others + meshBytesSaved,
                                             "the level data a save writes for these objects"));
    memory.Charge(uses * kSaveBytesPerTextureUse, "the texture uses");
    objectTally.bytes += uses * kSaveBytesPerTextureUse;
    const uint64_t objectPages = tr4 ? objectPageCount : pages.size();
    objectTally.packedPages = objectPages * (kPage16Bytes + kPage32Bytes);
    memory.Charge(objectTally.packedPages, "the texture pages a save packs");
    objectTally.bytes += objectTally.packedPages;

    std::vector<TrItemRecord> newItems;
    newItems.reserve(items.size());
    for (size_t i = 0; i < items.size(); ++i) {
        newItems.push_back(items[i]);
        Log(StrFormat("Check: before creating item moveable index=%d slot=%d", int(i),
                      int(items[i].objectId())));
        if (progress) progress->SetBuildPos(++done);
    }
    Log("After creation of all item moveables\n");

    ObjPtr<CTrSoundList> newSounds(new CTrSoundList(*this));

    // The new lists replace any earlier ones, which go with their objects.
    moveableList = std::move(newMoveables);
    staticMeshList = std::move(newStatics);
    zeroMesh = std::move(newZeroMesh);
    spriteList = std::move(newSprites);
    itemList = std::move(newItems);
    soundList = std::move(newSounds);
    memory.Refund(tallyScope.before.bytes);
    tallyScope.done = true;
    if (progress) progress->SetBuildPos(buildRange);
}

}  // namespace lithoscope
