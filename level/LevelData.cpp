// The level data: every section after the texture pages, in file order. Each section has
// its reader and its writer side by side; the size of each is counted in GetLevelDataSize
// in the same order.
#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "level/LevelProgress.h"
#include "level/Pixels.h"
#include "level/TrLevel.h"
#include "platform/Messages.h"

namespace lithoscope {

namespace {

// File sizes of the records whose form depends on the version.
size_t VertexSize(int v) { return v == TrVersion1 ? 8 : 12; }
size_t LightSize(int v) { return v == TrVersion1 ? 18 : v == TrVersion4 ? 46 : 24; }
size_t RoomStaticSize(int v) { return v == TrVersion1 ? 18 : 20; }
size_t AnimationSize(int v) { return v == TrVersion4 ? 40 : 32; }
size_t ObjectTextureSize(int v) { return v == TrVersion4 ? 38 : 20; }
size_t BoxSize(int v) { return v == TrVersion1 ? 20 : 8; }
size_t ZoneSize(int v) { return v == TrVersion1 ? 12 : 20; }
size_t ItemSize(int v) { return v == TrVersion1 ? 22 : 24; }
size_t AIObjectSize(int v) { return v == TrVersion4 ? 24 : 16; }

constexpr uint16_t kLongSoundMapMarker = 2048;  // V4 demo-data count that marks it
constexpr int32_t kLongSoundMapMode = 130;
constexpr size_t kLightMapBytes = 8192;
constexpr size_t kPaletteBytes = 768;
constexpr size_t kTr4Padding = 6;
constexpr int32_t kTr3HorizonObject = 355;
constexpr size_t kHorizonOwnColours = 16;
// Bytes of mesh copies that pointers sharing meshes may add beyond the mesh data.
constexpr uint64_t kMaxSharedMeshBytes = uint64_t(16) << 20;

bool LongSoundMap(const CTrLevel& level) {
    return level.version == TrVersion4 && level.soundMapMode == kLongSoundMapMode;
}
size_t SoundMapEntries(const CTrLevel& level) {
    if (level.version == TrVersion1) return 256;
    return LongSoundMap(level) ? 2048 : 370;
}
size_t Align4(size_t n) { return (n + 3) & ~size_t(3); }

// Counts that must fit their file field; a level that outgrew one is not written.
uint16_t Fit16(size_t n, const char* what) {
    if (n > 0xFFFF)
        throw OverflowError(StrFormat("%zu %s do not fit a 16-bit count", n, what));
    return uint16_t(n);
}
uint32_t Fit32(size_t n, const char* what) {
    if (n > 0xFFFFFFFFu)
        throw OverflowError(StrFormat("%zu %s do not fit a 32-bit count", n, what));
    return uint32_t(n);
}

// Reports the bytes done to the main bar.
struct MainBar {
    ILevelProgress* progress;
    size_t base;   // added to every position
    size_t start;  // position of the first byte of the level data
    void at(size_t pos) const {
        if (progress) progress->SetMainPos(uint32_t(std::min<size_t>(base + pos - start, UINT32_MAX)));
    }
};

// Every array read is charged to the level's memory before it is allocated, under the name
// of its section.
void Charge(ByteReader& in, LevelMemory& memory, uint64_t bytes) {
    memory.Charge(bytes, in.section().c_str());
}
std::vector<uint8_t> Take(ByteReader& in, LevelMemory& memory, size_t n) {
    in.need(n, 1);
    Charge(in, memory, n);
    return in.take(n);
}

// Records carried byte for byte: the file bytes fill the start of each zeroed slot.
template <class Rec>
void ReadSlots(ByteReader& in, LevelMemory& memory, std::vector<Rec>& out, uint64_t count,
               size_t fileSize) {
    in.need(count, fileSize);
    Charge(in, memory, count * sizeof(Rec));
    out.assign(size_t(count), Rec{});
    for (Rec& r : out) in.bytes(r.b.data(), fileSize);
}
template <class Rec>
void WriteSlots(ByteWriter& out, const std::vector<Rec>& v, size_t fileSize) {
    for (const Rec& r : v) out.bytes(r.b.data(), fileSize);
}
template <class Rec>
void ReadCounted(ByteReader& in, LevelMemory& memory, std::vector<Rec>& out, size_t fileSize) {
    ReadSlots(in, memory, out, in.u32(), fileSize);
}
template <class Rec>
void WriteCounted(ByteWriter& out, const std::vector<Rec>& v, size_t fileSize, const char* what) {
    out.u32(Fit32(v.size(), what));
    WriteSlots(out, v, fileSize);
}

// Arrays of 16- or 32-bit values with a count32.
template <class T>
void ReadValues(ByteReader& in, LevelMemory& memory, std::vector<T>& out) {
    static_assert(sizeof(T) == 2 || sizeof(T) == 4, "16 or 32-bit values");
    const uint32_t count = in.u32();
    in.need(count, sizeof(T));
    Charge(in, memory, uint64_t(count) * sizeof(T));
    out.resize(count);
    for (T& v : out) v = sizeof(T) == 2 ? T(in.u16()) : T(in.u32());
}
template <class T>
void WriteValues(ByteWriter& out, const std::vector<T>& v, const char* what) {
    out.u32(Fit32(v.size(), what));
    for (T x : v) {
        if (sizeof(T) == 2)
            out.u16(uint16_t(x));
        else
            out.u32(uint32_t(x));
    }
}

// ---- Rooms -------------------------------------------------------------------------

void ReadRoom(ByteReader& in, LevelMemory& memory, int v, TrRoomRecord& room) {
    for (int32_t& i : room.info) i = in.s32();
    in.u32();  // data word count: computed when written
    ReadSlots(in, memory, room.vertices, in.u16(), VertexSize(v));
    ReadSlots(in, memory, room.rectangles, in.u16(), 10);
    ReadSlots(in, memory, room.triangles, in.u16(), 8);
    ReadSlots(in, memory, room.sprites, in.u16(), 4);
    ReadSlots(in, memory, room.portals, in.u16(), 32);
    room.sectorCountZ = in.u16();
    room.sectorCountX = in.u16();
    ReadSlots(in, memory, room.sectors, uint64_t(room.sectorCountZ) * room.sectorCountX, 8);
    room.ambient = in.s16();
    room.ambient2 = v >= TrVersion2 ? in.s16() : 0;
    room.lightMode = v == TrVersion2 ? in.s16() : 0;
    ReadSlots(in, memory, room.lights, in.u16(), LightSize(v));
    ReadSlots(in, memory, room.statics, in.u16(), RoomStaticSize(v));
    room.alternateRoom = in.s16();
    room.flags = in.s16();
    if (v >= TrVersion3) {
        room.extraWord = in.u16();
        room.extraByte = in.u8();
    } else {
        room.extraWord = 0;
        room.extraByte = 0;
    }
}

void WriteRoom(ByteWriter& out, int v, const TrRoomRecord& room) {
    for (int32_t i : room.info) out.s32(i);
    const size_t wordsAt = out.pos();
    out.u32(0);
    const size_t dataStart = out.pos();
    out.u16(Fit16(room.vertices.size(), "room vertices"));
    WriteSlots(out, room.vertices, VertexSize(v));
    out.u16(Fit16(room.rectangles.size(), "room rectangles"));
    WriteSlots(out, room.rectangles, 10);
    out.u16(Fit16(room.triangles.size(), "room triangles"));
    WriteSlots(out, room.triangles, 8);
    out.u16(Fit16(room.sprites.size(), "room sprites"));
    WriteSlots(out, room.sprites, 4);
    // 16-bit words from the vertex count through the last sprite.
    out.patchU32(wordsAt, uint32_t((out.pos() - dataStart) / 2));
    out.u16(Fit16(room.portals.size(), "room portals"));
    WriteSlots(out, room.portals, 32);
    if (size_t(room.sectorCountZ) * room.sectorCountX != room.sectors.size())
        throw OverflowError(StrFormat("a room has %zu sectors for %u x %u", room.sectors.size(),
                                      unsigned(room.sectorCountZ), unsigned(room.sectorCountX)));
    out.u16(room.sectorCountZ);
    out.u16(room.sectorCountX);
    WriteSlots(out, room.sectors, 8);
    out.s16(room.ambient);
    if (v >= TrVersion2) out.s16(room.ambient2);
    if (v == TrVersion2) out.s16(room.lightMode);
    out.u16(Fit16(room.lights.size(), "room lights"));
    WriteSlots(out, room.lights, LightSize(v));
    out.u16(Fit16(room.statics.size(), "room static meshes"));
    WriteSlots(out, room.statics, RoomStaticSize(v));
    out.s16(room.alternateRoom);
    out.s16(room.flags);
    if (v >= TrVersion3) {
        out.u16(room.extraWord);
        out.u8(room.extraByte);
    }
}

void ReadRooms(ByteReader& in, LevelMemory& memory, int v, std::vector<TrRoomRecord>& rooms) {
    const uint16_t count = in.u16();
    // The games start in a room: a level without one has lost what it held.
    if (count == 0) in.fail("no room: a level holds at least one");
    in.need(count, 44);  // the smallest room
    Charge(in, memory, count * sizeof(TrRoomRecord));
    rooms.clear();
    rooms.resize(count);
    for (TrRoomRecord& room : rooms) ReadRoom(in, memory, v, room);
}

void WriteRooms(ByteWriter& out, int v, const std::vector<TrRoomRecord>& rooms) {
    out.u16(Fit16(rooms.size(), "rooms"));
    for (const TrRoomRecord& room : rooms) WriteRoom(out, v, room);
}

// ---- Meshes and mesh pointers ----------------------------------------------------------

// What the pointers of a level make a load take for their meshes (for each pointer with an
// entry of its own, its mesh's bytes in the file and a record) against the bytes of the
// mesh data: copies of shared meshes may come to kMaxSharedMeshBytes more, as in every
// level, where hardly any mesh but that of offset 0 is shared.
void CheckMeshBudget(uint64_t taken, uint64_t bytes, uint32_t count, size_t at) {
    const uint64_t budget = bytes + kMaxSharedMeshBytes;
    if (taken > budget)
        throw FormatError("mesh pointers", at,
                          StrFormat("the %u mesh pointers name more than %llu bytes of meshes",
                                    count, static_cast<unsigned long long>(budget)));
}

// Every pointer gets its own copy of the mesh at its offset, except the pointers at offset
// 0: they share one entry (the first such pointer's, which is entry 0 in every real level),
// and the entries of the others stay empty. Each mesh is read where its pointer says, as
// the games read it: bytes between meshes (padding, a mesh no pointer uses) are passed
// over, and the save leaves them out.
void ReadMeshes(ByteReader& in, int v, CTrLevel& level) {
    in.setSection("mesh data");
    const uint32_t words = in.u32();
    in.need(words, 2);
    const size_t bytes = size_t(words) * 2;
    // The padding after the last mesh may run into the next section.
    ByteReader block(in.cursor(), std::min(Align4(bytes), in.left()), "mesh data");
    in.skip(bytes);

    in.setSection("mesh pointers");
    const uint32_t count = in.u32();
    in.need(count, 4);
    // The offsets, which entry each names, the pointers and the entries.
    Charge(in, level.memory, uint64_t(count) * (2 * sizeof(uint32_t) + 2 * sizeof(size_t)));
    std::vector<uint32_t> offsets(count);
    for (uint32_t& o : offsets) o = in.u32();

    // One parse per offset; a mesh shared by pointers at other offsets than 0 is copied
    // for each (and each copy written by the save). Pointers into one another's bytes or at
    // one offset can't make the level grow without end in memory.
    uint64_t taken = 0;
    std::unordered_map<uint32_t, size_t> parsedAt;
    std::vector<TrMeshRecord> parsed;
    std::vector<size_t> parsedBytes;
    std::vector<size_t> which(count);
    std::vector<uint32_t> uses;
    size_t firstAtZero = count;
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t at = offsets[i];
        if (at >= bytes)
            throw FormatError("mesh pointers", size_t(at),
                              StrFormat("pointer %u is past the %zu bytes of mesh data", i, bytes));
        auto found = parsedAt.emplace(at, parsed.size());
        if (found.second) {
            block.seek(at);
            parsed.emplace_back();
            if (v == TrVersion4)
                parsed.back().ParseTr4(block, 0);
            else
                parsed.back().Parse(block, 0, false);
            parsedBytes.push_back(block.pos() - at);
            uses.push_back(0);
        }
        which[i] = found.first->second;
        if (at == 0 && firstAtZero < count) continue;  // no entry of its own
        if (at == 0) firstAtZero = i;
        ++uses[which[i]];
        taken += parsedBytes[which[i]] + sizeof(TrMeshRecord);
        CheckMeshBudget(taken, bytes, count, size_t(at));
        level.memory.Charge(parsed[which[i]].HeldBytes(), "meshes");
    }
    level.meshes.clear();
    level.meshes.resize(count);
    level.meshPointers.assign(count, 0);
    for (uint32_t i = 0; i < count; ++i) {
        const size_t k = which[i];
        level.meshPointers[i] = offsets[i] == 0 ? uint32_t(firstAtZero) : i;
        if (offsets[i] == 0 && i != firstAtZero) continue;
        // The last user of a parsed mesh takes it; earlier ones get copies.
        if (--uses[k] == 0)
            level.meshes[i] = std::make_unique<TrMeshRecord>(std::move(parsed[k]));
        else
            level.meshes[i] = std::make_unique<TrMeshRecord>(parsed[k]);
    }
    level.zeroMeshEntry = firstAtZero < count ? uint32_t(firstAtZero) : CTrLevel::kNoZeroMesh;
}

void WriteMeshes(ByteWriter& out, int v, const CTrLevel& level) {
    const size_t wordsAt = out.pos();
    out.u32(0);
    const size_t base = out.pos();
    // An entry without a mesh (that of a pointer sharing the mesh at offset 0) is not
    // written; no pointer may name it.
    std::vector<uint32_t> offsets(level.meshes.size(), UINT32_MAX);
    for (size_t i = 0; i < level.meshes.size(); ++i) {
        const TrMeshRecord* mesh = level.meshes[i].get();
        if (!mesh) continue;
        offsets[i] = Fit32(out.pos() - base, "bytes of mesh data");
        if (v == TrVersion4)
            mesh->WriteTr4(out, base);
        else
            mesh->Write(out, base, false);
    }
    out.patchU32(wordsAt, Fit32((out.pos() - base) / 2, "words of mesh data"));
    out.u32(Fit32(level.meshPointers.size(), "mesh pointers"));
    for (uint32_t index : level.meshPointers) {
        if (index >= offsets.size() || offsets[index] == UINT32_MAX)
            throw OverflowError(StrFormat("mesh pointer %u names no mesh", index));
        out.u32(offsets[index]);
    }
}

size_t MeshSectionSize(int v, const CTrLevel& level) {
    size_t offset = 0;
    for (const auto& mesh : level.meshes) {
        if (!mesh) continue;  // not written
        offset += v == TrVersion4 ? mesh->GetFileSizeTr4(offset) : mesh->GetFileSize(offset, false);
    }
    return 4 + offset + 4 + 4 * level.meshPointers.size();
}

// ---- Animations and object textures (converted between file and slot) -----------------

// V1-V3: file bytes 0-15 -> slot 0-15, 16-31 -> 24-39; V4 whole.
void ReadAnimations(ByteReader& in, LevelMemory& memory, int v,
                    std::vector<TrAnimationRecord>& out) {
    const uint32_t count = in.u32();
    in.need(count, AnimationSize(v));
    Charge(in, memory, uint64_t(count) * sizeof(TrAnimationRecord));
    out.assign(count, TrAnimationRecord{});
    for (TrAnimationRecord& a : out) {
        if (v == TrVersion4) {
            in.bytes(a.b.data(), 40);
        } else {
            in.bytes(a.b.data(), 16);
            in.bytes(a.b.data() + 24, 16);
        }
    }
}

void WriteAnimations(ByteWriter& out, int v, const std::vector<TrAnimationRecord>& anims) {
    out.u32(Fit32(anims.size(), "animations"));
    for (const TrAnimationRecord& a : anims) {
        if (v == TrVersion4) {
            out.bytes(a.b.data(), 40);
        } else {
            out.bytes(a.b.data(), 16);
            out.bytes(a.b.data() + 24, 16);
        }
    }
}

// V1-V3: file bytes 0-3 -> slot 0-3, 4-19 -> 6-21; V4 whole.
void ReadObjectTextures(ByteReader& in, LevelMemory& memory, int v,
                        std::vector<TrObjectTextureRecord>& out) {
    in.setSection("object textures");
    const uint32_t count = in.u32();
    in.need(count, ObjectTextureSize(v));
    Charge(in, memory, uint64_t(count) * sizeof(TrObjectTextureRecord));
    out.assign(count, TrObjectTextureRecord{});
    for (TrObjectTextureRecord& t : out) {
        if (v == TrVersion4) {
            in.bytes(t.b.data(), 38);
        } else {
            in.bytes(t.b.data(), 4);
            in.bytes(t.b.data() + 6, 16);
        }
    }
}

void WriteObjectTextures(ByteWriter& out, int v, const std::vector<TrObjectTextureRecord>& tex) {
    out.u32(Fit32(tex.size(), "object textures"));
    for (const TrObjectTextureRecord& t : tex) {
        if (v == TrVersion4) {
            out.bytes(t.b.data(), 38);
        } else {
            out.bytes(t.b.data(), 4);
            out.bytes(t.b.data() + 6, 16);
        }
    }
}

// ---- Boxes and zones -------------------------------------------------------------------

void ReadBoxesAndOverlaps(ByteReader& in, int v, CTrLevel& level) {
    in.setSection("boxes");
    ReadCounted(in, level.memory, level.boxes, BoxSize(v));
    in.setSection("overlaps");
    ReadValues(in, level.memory, level.overlaps);
    in.setSection("zones");
    level.zones = Take(in, level.memory, level.boxes.size() * ZoneSize(v));
}

void WriteBoxesAndOverlaps(ByteWriter& out, int v, const CTrLevel& level) {
    WriteCounted(out, level.boxes, BoxSize(v), "boxes");
    WriteValues(out, level.overlaps, "overlaps");
    if (level.zones.size() != level.boxes.size() * ZoneSize(v))
        throw OverflowError(StrFormat("%zu bytes of zones for %zu boxes", level.zones.size(),
                                      level.boxes.size()));
    out.bytes(level.zones.data(), level.zones.size());
}

// ---- AI objects (V4) or cinematic frames (V1-V3) ----------------------------------------

void ReadAIObjects(ByteReader& in, LevelMemory& memory, int v, std::vector<TrAIObjectRecord>& out) {
    in.setSection(v == TrVersion4 ? "AI objects" : "cinematic frames");
    const uint32_t count = v == TrVersion4 ? in.u32() : in.u16();
    ReadSlots(in, memory, out, count, AIObjectSize(v));
}

void WriteAIObjects(ByteWriter& out, int v, const std::vector<TrAIObjectRecord>& ai) {
    if (v == TrVersion4)
        out.u32(Fit32(ai.size(), "AI objects"));
    else
        out.u16(Fit16(ai.size(), "cinematic frames"));
    WriteSlots(out, ai, AIObjectSize(v));
}

// ---- Demo data and sound map ------------------------------------------------------------

// A V4 demo-data count of 2048 means no demo data and the 2048-entry sound map.
void ReadDemoAndSoundMap(ByteReader& in, CTrLevel& level, const MainBar& bar) {
    in.setSection("demo data");
    const uint16_t count = in.u16();
    if (level.version == TrVersion4 && count == kLongSoundMapMarker) {
        level.soundMapMode = kLongSoundMapMode;
        level.demoData.clear();
    } else {
        level.soundMapMode = 0;
        level.demoData = Take(in, level.memory, count);
        bar.at(in.pos());
    }
    in.setSection("sound map");
    const size_t entries = SoundMapEntries(level);
    in.need(entries, 2);
    std::memset(level.soundMap, 0, sizeof level.soundMap);
    for (size_t i = 0; i < entries; ++i) level.soundMap[i] = in.s16();
}

void WriteDemoAndSoundMap(ByteWriter& out, const CTrLevel& level, const MainBar& bar) {
    if (LongSoundMap(level)) {
        if (!level.demoData.empty())
            throw OverflowError("demo data can't be kept with the 2048-entry sound map");
        out.u16(kLongSoundMapMarker);
    } else {
        if (level.version == TrVersion4 && level.demoData.size() == kLongSoundMapMarker)
            throw OverflowError("2048 bytes of demo data would read as the long sound map");
        out.u16(Fit16(level.demoData.size(), "bytes of demo data"));
        out.bytes(level.demoData.data(), level.demoData.size());
    }
    bar.at(out.pos());
    const size_t entries = SoundMapEntries(level);
    for (size_t i = 0; i < entries; ++i) out.s16(level.soundMap[i]);
}

// ---- Markers ----------------------------------------------------------------------------

void WriteMarker(ByteWriter& out, const char* text) { out.bytes(text, 3); }

// ---- Tomb Raider III: the horizon ---------------------------------------------------------

// The game draws the coloured triangles of the horizon's first mesh from the seventeenth on
// in the colour nearest to black: they get the colour word of the palettes' darkest entries.
// Only the palettes decide it, so a saved level reads back unchanged.
void DarkenHorizonTriangles(CTrLevel& level) {
    int dark16 = 0, best = 4 * 256;
    for (int i = 0; i < 256; ++i) {
        const int d = level.palette16[i][0] + level.palette16[i][1] + level.palette16[i][2];
        if (d < best) {
            best = d;
            dark16 = i;
        }
    }
    const int dark8 = FindNearestPaletteEntry(level.palette, 0, 0, 0);
    const uint16_t word = uint16_t(dark16 << 8 | dark8);
    for (const TrMoveableRecord& m : level.moveables) {
        if (m.objectId() != kTr3HorizonObject) continue;
        const size_t pointer = m.firstMesh();
        if (pointer >= level.meshPointers.size()) continue;
        const size_t index = level.meshPointers[pointer];
        if (index >= level.meshes.size() || !level.meshes[index]) continue;
        auto& triangles = level.meshes[index]->colouredTriangles;
        for (size_t k = kHorizonOwnColours; k < triangles.size(); ++k)
            triangles[k].setTexture(word);
    }
}

}  // namespace

// ---- Whole level data --------------------------------------------------------------------

void CTrLevel::ParseLevelData(ByteReader& in, size_t progressBase, ILevelProgress* progress) {
    const int v = version;
    if (v < TrVersion1 || v > TrVersion4) throw LevelError("no level version to read");
    const MainBar bar{progress, progressBase, in.pos()};
    bar.at(in.pos());

    in.setSection("level data");
    in.u32();  // reserved
    in.setSection("rooms");
    ReadRooms(in, memory, v, rooms);
    bar.at(in.pos());
    in.setSection("floor data");
    ReadValues(in, memory, floorData);
    ReadMeshes(in, v, *this);
    bar.at(in.pos());

    in.setSection("animations");
    ReadAnimations(in, memory, v, animations);
    in.setSection("state changes");
    ReadCounted(in, memory, stateChanges, 6);
    in.setSection("animation dispatches");
    ReadCounted(in, memory, animDispatches, 8);
    in.setSection("animation commands");
    ReadValues(in, memory, animCommands);
    in.setSection("mesh trees");
    ReadValues(in, memory, meshTrees);
    in.setSection("frames");
    ReadValues(in, memory, frames);
    bar.at(in.pos());
    in.setSection("moveables");
    ReadCounted(in, memory, moveables, 18);
    in.setSection("static meshes");
    ReadCounted(in, memory, staticMeshes, 32);

    if (v == TrVersion1 || v == TrVersion2) {
        ReadObjectTextures(in, memory, v, objectTextures);
        bar.at(in.pos());
    }
    if (v == TrVersion4) {
        in.setSection("sprite marker");
        in.skip(3);  // "SPR"
    }
    in.setSection("sprite textures");
    ReadCounted(in, memory, spriteTextures, 16);
    in.setSection("sprite sequences");
    ReadCounted(in, memory, spriteSequences, 8);
    bar.at(in.pos());
    if (v == TrVersion1 && isTub) {
        in.setSection("palette");
        in.bytes(palette, kPaletteBytes);
    }
    in.setSection("cameras");
    ReadCounted(in, memory, cameras, 16);
    if (v == TrVersion4) {
        in.setSection("flyby cameras");
        ReadCounted(in, memory, flybyCameras, 40);
    }
    in.setSection("sound sources");
    ReadCounted(in, memory, soundSources, 16);
    bar.at(in.pos());
    ReadBoxesAndOverlaps(in, v, *this);
    in.setSection("animated textures");
    ReadValues(in, memory, animatedTextures);
    if (v == TrVersion3) {
        ReadObjectTextures(in, memory, v, objectTextures);
        bar.at(in.pos());
    }
    if (v == TrVersion4) {
        in.setSection("texture marker");
        texMarkerByte = in.u8();
        in.skip(3);  // "TEX"
        ReadObjectTextures(in, memory, v, objectTextures);
        bar.at(in.pos());
    }
    in.setSection("items");
    ReadCounted(in, memory, items, ItemSize(v));
    if (v != TrVersion4) {
        in.setSection("light map");
        in.bytes(lightMap, kLightMapBytes);
    }
    if (v == TrVersion1 && !isTub) {
        in.setSection("palette");
        in.bytes(palette, kPaletteBytes);
    }
    ReadAIObjects(in, memory, v, aiObjects);
    ReadDemoAndSoundMap(in, *this, bar);
    in.setSection("sound details");
    ReadCounted(in, memory, soundDetails, 8);
    if (v == TrVersion1) {
        in.setSection("samples");
        const uint32_t bytes = in.u32();
        sampleData = Take(in, memory, bytes);
    }
    in.setSection("sample indices");
    ReadValues(in, memory, sampleIndices);
    // V4: six bytes of padding follow; not read.
    bar.at(in.pos());

    if (v == TrVersion3) DarkenHorizonTriangles(*this);
    // What a save of these arrays writes must read back: mesh copies can make it larger
    // than what was read.
    CheckLevelDataBounds();
}

void CTrLevel::CheckLevelDataBounds() const {
    const size_t size = GetLevelDataSize();
    if (size > kMaxLevelBytes) throw OverflowError(MoreThanALevelHolds(size, "level data"));
    // The meshes as WriteMeshes places them, read back as ReadMeshes reads them.
    const int v = version;
    std::vector<uint64_t> at(meshes.size(), 0), sizes(meshes.size(), 0);
    uint64_t bytes = 0;
    for (size_t i = 0; i < meshes.size(); ++i) {
        if (!meshes[i]) continue;
        at[i] = bytes;
        sizes[i] = v == TrVersion4 ? meshes[i]->GetFileSizeTr4(bytes) : meshes[i]->GetFileSize(bytes, false);
        bytes += sizes[i];
    }
    uint64_t taken = 0;
    bool zeroTaken = false;
    for (uint32_t index : meshPointers) {
        if (index >= meshes.size() || !meshes[index]) continue;  // the writer refuses it
        if (at[index] == 0) {
            if (zeroTaken) continue;
            zeroTaken = true;
        }
        taken += sizes[index] + sizeof(TrMeshRecord);
    }
    CheckMeshBudget(taken, bytes, meshPointerCount(), 0);
}

void CTrLevel::WriteLevelData(ByteWriter& out, ILevelProgress* progress,
                              size_t progressBase) const {
    const int v = version;
    if (v < TrVersion1 || v > TrVersion4) throw LevelError("no level version to write");
    const MainBar bar{progress, progressBase, out.pos()};
    bar.at(out.pos());

    out.u32(0);  // reserved
    WriteRooms(out, v, rooms);
    bar.at(out.pos());
    WriteValues(out, floorData, "floor data words");
    bar.at(out.pos());
    WriteMeshes(out, v, *this);
    bar.at(out.pos());

    WriteAnimations(out, v, animations);
    WriteCounted(out, stateChanges, 6, "state changes");
    WriteCounted(out, animDispatches, 8, "animation dispatches");
    WriteValues(out, animCommands, "animation command words");
    WriteValues(out, meshTrees, "mesh tree words");
    WriteValues(out, frames, "frame words");
    bar.at(out.pos());
    WriteCounted(out, moveables, 18, "moveables");
    WriteCounted(out, staticMeshes, 32, "static meshes");

    if (v == TrVersion1 || v == TrVersion2) {
        WriteObjectTextures(out, v, objectTextures);
        bar.at(out.pos());
    }
    if (v == TrVersion4) WriteMarker(out, "SPR");
    WriteCounted(out, spriteTextures, 16, "sprite textures");
    WriteCounted(out, spriteSequences, 8, "sprite sequences");
    bar.at(out.pos());
    if (v == TrVersion1 && isTub) out.bytes(palette, kPaletteBytes);
    WriteCounted(out, cameras, 16, "cameras");
    if (v == TrVersion4) WriteCounted(out, flybyCameras, 40, "flyby cameras");
    WriteCounted(out, soundSources, 16, "sound sources");
    bar.at(out.pos());
    WriteBoxesAndOverlaps(out, v, *this);
    bar.at(out.pos());
    WriteValues(out, animatedTextures, "animated texture words");
    if (v == TrVersion3) {
        WriteObjectTextures(out, v, objectTextures);
        bar.at(out.pos());
    }
    if (v == TrVersion4) {
        out.u8(texMarkerByte);
        WriteMarker(out, "TEX");
        WriteObjectTextures(out, v, objectTextures);
        bar.at(out.pos());
    }
    WriteCounted(out, items, ItemSize(v), "items");
    if (v != TrVersion4) out.bytes(lightMap, kLightMapBytes);
    if (v == TrVersion1 && !isTub) out.bytes(palette, kPaletteBytes);
    WriteAIObjects(out, v, aiObjects);
    WriteDemoAndSoundMap(out, *this, bar);
    WriteCounted(out, soundDetails, 8, "sound details");
    if (v == TrVersion1) {
        out.u32(Fit32(sampleData.size(), "bytes of samples"));
        out.bytes(sampleData.data(), sampleData.size());
    }
    WriteValues(out, sampleIndices, "sample indices");
    if (v == TrVersion4) out.zeros(kTr4Padding);
    bar.at(out.pos());
}

size_t CTrLevel::GetRoomFileSize(const TrRoomRecord& room, int v) {
    size_t size = 44 + room.vertices.size() * VertexSize(v) + room.rectangles.size() * 10 +
                  room.triangles.size() * 8 + room.sprites.size() * 4 + room.portals.size() * 32 +
                  size_t(room.sectorCountZ) * room.sectorCountX * 8 +
                  room.lights.size() * LightSize(v) + room.statics.size() * RoomStaticSize(v);
    if (v >= TrVersion2) size += 2;
    if (v == TrVersion2) size += 2;
    if (v >= TrVersion3) size += 3;
    return size;
}

// The sections in file order; the same terms as the writer.
size_t CTrLevel::GetLevelDataSize() const {
    const int v = version;
    size_t s = 4 + 2;  // reserved word, room count
    for (const TrRoomRecord& room : rooms) s += GetRoomFileSize(room, v);
    s += 4 + 2 * floorData.size();
    s += MeshSectionSize(v, *this);
    s += 4 + AnimationSize(v) * animations.size();
    s += 4 + 6 * stateChanges.size();
    s += 4 + 8 * animDispatches.size();
    s += 4 + 2 * animCommands.size();
    s += 4 + 4 * meshTrees.size();
    s += 4 + 2 * frames.size();
    s += 4 + 18 * moveables.size();
    s += 4 + 32 * staticMeshes.size();
    s += 4 + ObjectTextureSize(v) * objectTextures.size();
    if (v == TrVersion4) s += 3 + 1 + 3;  // "SPR", marker byte, "TEX"
    s += 4 + 16 * spriteTextures.size();
    s += 4 + 8 * spriteSequences.size();
    if (v == TrVersion1) s += kPaletteBytes;  // before the cameras or after the light map
    s += 4 + 16 * cameras.size();
    if (v == TrVersion4) s += 4 + 40 * flybyCameras.size();
    s += 4 + 16 * soundSources.size();
    s += 4 + (BoxSize(v) + ZoneSize(v)) * boxes.size();
    s += 4 + 2 * overlaps.size();
    s += 4 + 2 * animatedTextures.size();
    s += 4 + ItemSize(v) * items.size();
    if (v != TrVersion4) s += kLightMapBytes;
    s += (v == TrVersion4 ? 4 : 2) + AIObjectSize(v) * aiObjects.size();
    s += 2 + (LongSoundMap(*this) ? 0 : demoData.size()) + 2 * SoundMapEntries(*this);
    s += 4 + 8 * soundDetails.size();
    if (v == TrVersion1) s += 4 + sampleData.size();
    s += 4 + 4 * sampleIndices.size();
    if (v == TrVersion4) s += kTr4Padding;
    return s;
}

}  // namespace lithoscope
