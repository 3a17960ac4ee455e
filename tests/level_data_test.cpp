// The level-data sections: record slots and conversions, mesh pointers, the writer's
// sizes, counts that don't fit, and damaged data.
#include <gtest/gtest.h>

#include <memory>

#include "fixtures/LevelBuilder.h"
#include "level/TrLevel.h"

using namespace lithoscope;
using namespace lithoscope::test;

namespace {

std::unique_ptr<CTrLevel> Parse(const FixtureOptions& o, const std::vector<uint8_t>& data) {
    auto level = std::make_unique<CTrLevel>();
    level->version = o.version;
    level->isTub = o.tub;
    if (o.version == 2 || o.version == 3)  // TR2/III palettes stand in the container
        FixturePalette(level->palette, level->palette16);
    ByteReader in(data, "level data");
    level->ParseLevelData(in, 0, nullptr);
    return level;
}

std::vector<uint8_t> Write(const CTrLevel& level) {
    std::vector<uint8_t> out(level.GetLevelDataSize());
    ByteWriter w(out);
    level.WriteLevelData(w, nullptr, 0);
    EXPECT_EQ(w.pos(), out.size());
    return out;
}

std::vector<uint8_t> SlotStart(const uint8_t* p, size_t n) { return {p, p + n}; }

FixtureOptions Opts(int version, bool tub = false) {
    FixtureOptions o;
    o.version = version;
    o.tub = tub;
    return o;
}

}  // namespace

TEST(LevelData, Tr1RecordsFillTheStartOfTheirSlots) {
    FixtureOptions o = Opts(1);
    FixtureLevel f = BuildFixtureLevel(o);
    auto l = Parse(o, f.levelData);

    ASSERT_EQ(l->rooms.size(), 2u);
    const TrRoomRecord& r = l->rooms[1];
    EXPECT_EQ(r.info[0], 1001);
    EXPECT_EQ(r.info[2], -3);
    ASSERT_EQ(r.vertices.size(), 3u);
    // An 8-byte V1 vertex in the first 8 bytes of its 12-byte slot.
    EXPECT_EQ(SlotStart(r.vertices[2].b.data(), 8), PatternBytes(112, 8));
    EXPECT_EQ(SlotStart(r.vertices[2].b.data() + 8, 4), std::vector<uint8_t>(4, 0));
    // Rectangles and triangles: zero-filled slots.
    EXPECT_EQ(SlotStart(r.rectangles[1].b.data(), 10), PatternBytes(121, 10));
    EXPECT_EQ(r.rectangles[1].u16(10), 0);
    EXPECT_EQ(r.triangles[0].u16(8), 0);
    EXPECT_EQ(r.sectorCountZ, 2);
    EXPECT_EQ(r.sectorCountX, 3);
    EXPECT_EQ(r.sectors.size(), 6u);
    EXPECT_EQ(r.ambient, 0x1111);
    EXPECT_EQ(r.ambient2, 0);
    EXPECT_EQ(r.lightMode, 0);
    EXPECT_EQ(SlotStart(r.lights[1].b.data(), 18), PatternBytes(181, 18));
    EXPECT_EQ(r.lights[1].b[18], 0);
    EXPECT_EQ(SlotStart(r.statics[0].b.data(), 18), PatternBytes(191, 18));
    EXPECT_EQ(r.statics[0].u16(18), 0);
    EXPECT_EQ(r.alternateRoom, -1);
    EXPECT_EQ(r.flags, 0x40);
    EXPECT_EQ(r.extraWord, 0);

    EXPECT_EQ(l->floorData, (std::vector<uint16_t>{0x100, 0x101, 0x102, 0x103, 0x104}));

    // Animations: file 0-15 -> 0-15, 8 zero bytes, file 16-31 -> 24-39.
    ASSERT_EQ(l->animations.size(), 2u);
    const std::vector<uint8_t> anim = PatternBytes(201, 32);
    EXPECT_EQ(SlotStart(l->animations[1].b.data(), 16), SlotStart(anim.data(), 16));
    EXPECT_EQ(SlotStart(l->animations[1].b.data() + 16, 8), std::vector<uint8_t>(8, 0));
    EXPECT_EQ(SlotStart(l->animations[1].b.data() + 24, 16), SlotStart(anim.data() + 16, 16));

    // Object textures: file 0-3 -> 0-3, 4-19 -> 6-21, the rest 0.
    ASSERT_EQ(l->objectTextures.size(), 3u);
    const std::vector<uint8_t> tex = PatternBytes(252, 20);
    const TrObjectTextureRecord& t = l->objectTextures[2];
    EXPECT_EQ(SlotStart(t.b.data(), 4), SlotStart(tex.data(), 4));
    EXPECT_EQ(t.u16(4), 0);
    EXPECT_EQ(SlotStart(t.b.data() + 6, 16), SlotStart(tex.data() + 4, 16));
    EXPECT_EQ(SlotStart(t.b.data() + 22, 16), std::vector<uint8_t>(16, 0));

    // Moveables: id and first mesh pointer where the record has them.
    ASSERT_EQ(l->moveables.size(), 2u);
    EXPECT_EQ(l->moveables[1].objectId(), 7);
    EXPECT_EQ(l->moveables[1].firstMesh(), 1);

    // Items keep 22 bytes, boxes 20, zones 12 per box.
    ASSERT_EQ(l->items.size(), 2u);
    EXPECT_EQ(SlotStart(l->items[1].b.data(), 22), PatternBytes(331, 22));
    EXPECT_EQ(l->items[1].u16(22), 0);
    EXPECT_EQ(SlotStart(l->boxes[1].b.data(), 20), PatternBytes(311, 20));
    EXPECT_EQ(l->zones, PatternBytes(320, 24));
    EXPECT_EQ(l->overlaps, (std::vector<uint16_t>{0x8000, 0x8001, 0x8002}));
    EXPECT_EQ(l->animatedTextures, (std::vector<uint16_t>{1, 1, 0, 2}));

    // Cinematic frame: 16 bytes and 8 zeros.
    ASSERT_EQ(l->aiObjects.size(), 1u);
    EXPECT_EQ(SlotStart(l->aiObjects[0].b.data(), 16), PatternBytes(350, 16));
    EXPECT_EQ(SlotStart(l->aiObjects[0].b.data() + 16, 8), std::vector<uint8_t>(8, 0));

    // Palette after the light map, sound map of 256 entries, samples.
    uint8_t pal[256][3], pal16[256][4];
    FixturePalette(pal, pal16);
    EXPECT_EQ(std::memcmp(l->palette, pal, 768), 0);
    EXPECT_EQ(l->lightMap[0], PatternBytes(340, 1)[0]);
    EXPECT_EQ(l->demoData, PatternBytes(370, 5));
    EXPECT_EQ(l->soundMap[0], -100);
    EXPECT_EQ(l->soundMap[255], 665);
    EXPECT_EQ(l->soundMap[256], 0);
    EXPECT_EQ(l->soundMapMode, 0);
    EXPECT_EQ(l->sampleData, PatternBytes(390, 10));
    EXPECT_EQ(l->sampleIndices, (std::vector<uint32_t>{0, 10}));
}

TEST(LevelData, VersionSpecificFields) {
    {
        FixtureOptions o = Opts(2);
        auto l = Parse(o, BuildFixtureLevel(o).levelData);
        EXPECT_EQ(l->rooms[0].ambient2, 0x2222);
        EXPECT_EQ(l->rooms[0].lightMode, 0x3333);
        EXPECT_EQ(l->rooms[0].extraWord, 0);
        EXPECT_EQ(SlotStart(l->rooms[0].lights[0].b.data(), 24), PatternBytes(170, 24));
        EXPECT_EQ(l->rooms[0].lights[0].b[24], 0);
        EXPECT_EQ(SlotStart(l->boxes[0].b.data(), 8), PatternBytes(310, 8));
        EXPECT_EQ(l->boxes[0].b[8], 0);
        EXPECT_EQ(l->zones.size(), 40u);
        EXPECT_EQ(SlotStart(l->items[0].b.data(), 24), PatternBytes(330, 24));
        EXPECT_EQ(l->soundMap[369], 1007);
        EXPECT_EQ(l->soundMap[370], 0);
        EXPECT_TRUE(l->sampleData.empty());
    }
    {
        FixtureOptions o = Opts(3);
        auto l = Parse(o, BuildFixtureLevel(o).levelData);
        EXPECT_EQ(l->rooms[1].ambient2, 0x2222);
        EXPECT_EQ(l->rooms[1].lightMode, 0);
        EXPECT_EQ(l->rooms[1].extraWord, 0x4444);
        EXPECT_EQ(l->rooms[1].extraByte, 0x55);
        EXPECT_EQ(l->objectTextures.size(), 3u);  // after the animated textures
    }
    {
        FixtureOptions o = Opts(4);
        auto l = Parse(o, BuildFixtureLevel(o).levelData);
        const std::vector<uint8_t> light = PatternBytes(171, 46);
        EXPECT_EQ(SlotStart(l->rooms[0].lights[1].b.data(), 46), light);
        EXPECT_EQ(l->animations[0].b[16], PatternBytes(200, 40)[16]);  // V4: whole
        EXPECT_EQ(l->objectTextures[0].b[37], PatternBytes(250, 38)[37]);
        EXPECT_EQ(l->flybyCameras.size(), 1u);
        EXPECT_EQ(l->texMarkerByte, 0x5A);
        ASSERT_EQ(l->aiObjects.size(), 2u);
        EXPECT_EQ(SlotStart(l->aiObjects[1].b.data(), 24), PatternBytes(361, 24));
        EXPECT_EQ(l->demoData.size(), 5u);
        EXPECT_EQ(l->soundMapMode, 0);
    }
    {
        // Demo count 2048: no demo data and the 2048-entry sound map.
        FixtureOptions o = Opts(4);
        o.longSoundMap = true;
        o.sharedMeshes = false;
        FixtureLevel f = BuildFixtureLevel(o);
        auto l = Parse(o, f.levelData);
        EXPECT_EQ(l->soundMapMode, 130);
        EXPECT_TRUE(l->demoData.empty());
        EXPECT_EQ(l->soundMap[2047], 2047 * 3 - 100);
        EXPECT_EQ(Write(*l), f.levelData);
    }
}

TEST(LevelData, WriterGivesTheFileBackForEveryVersion) {
    for (int v = 1; v <= 4; ++v) {
        for (bool tub : {false, true}) {
            if (tub && v != 1) continue;
            FixtureOptions o = Opts(v, tub);
            o.sharedMeshes = false;
            FixtureLevel f = BuildFixtureLevel(o);
            auto l = Parse(o, f.levelData);
            SCOPED_TRACE(testing::Message() << "version " << v << " tub " << tub);
            EXPECT_EQ(l->GetLevelDataSize(), f.levelData.size());
            EXPECT_EQ(Write(*l), f.levelData);
        }
    }
}

TEST(LevelData, TubPaletteStandsAfterTheSpriteSequences) {
    FixtureOptions phd = Opts(1, false), tub = Opts(1, true);
    FixtureLevel a = BuildFixtureLevel(phd), b = BuildFixtureLevel(tub);
    EXPECT_EQ(a.levelData.size(), b.levelData.size());
    auto la = Parse(phd, a.levelData);
    auto lb = Parse(tub, b.levelData);
    EXPECT_EQ(std::memcmp(la->palette, lb->palette, 768), 0);
    EXPECT_EQ(la->cameras, lb->cameras);
    // Read with the wrong flag, the palette bytes are taken for the cameras.
    FixtureOptions wrong = Opts(1, false);
    EXPECT_THROW(Parse(wrong, b.levelData), LevelError);
}

TEST(LevelData, MeshPointersGiveEachPointerItsOwnCopy) {
    for (int v : {1, 3, 4}) {
        SCOPED_TRACE(v);
        FixtureOptions o = Opts(v);
        FixtureLevel f = BuildFixtureLevel(o);  // pointers [0, B, B, 0]
        auto l = Parse(o, f.levelData);
        ASSERT_EQ(l->meshes.size(), 4u);
        EXPECT_EQ(l->meshPointers, (std::vector<uint32_t>{0, 1, 2, 0}));
        EXPECT_NE(l->meshes[1].get(), l->meshes[2].get());
        EXPECT_TRUE(*l->meshes[1] == *l->meshes[2]);
        // The pointers at offset 0 share the first one's mesh, as in the games: no copy.
        EXPECT_EQ(l->meshes[3], nullptr);
        EXPECT_EQ(l->meshes[1]->radius, 50);
        EXPECT_EQ(l->meshes[0]->radius, 100);
        EXPECT_EQ(l->meshes[1]->hasNormals, 0);
        EXPECT_EQ(l->meshes[1]->lights.size(), 4u);

        // Written: A B B, each on a 4-byte boundary; pointers at the records they name.
        const std::vector<uint8_t> out = Write(*l);
        const size_t a = f.meshASize, b = f.meshBSize;
        EXPECT_EQ(a, v == 4 ? 76u : 96u);
        EXPECT_EQ(b, v == 4 ? 60u : 64u);
        const size_t at = f.meshDataOffset;
        EXPECT_EQ(Le32(out, at), uint32_t((a + 2 * b) / 2));
        const size_t ptrs = at + 4 + a + 2 * b;
        EXPECT_EQ(Le32(out, ptrs), 4u);
        EXPECT_EQ(Le32(out, ptrs + 4), 0u);
        EXPECT_EQ(Le32(out, ptrs + 8), uint32_t(a));
        EXPECT_EQ(Le32(out, ptrs + 12), uint32_t(a + b));
        EXPECT_EQ(Le32(out, ptrs + 16), 0u);
        EXPECT_EQ(out.size(), f.levelData.size() + b);

        // Read back: the same mesh behind every pointer.
        FixtureOptions again = o;
        auto l2 = Parse(again, out);
        EXPECT_EQ(DiffLevels(*l, *l2, false), "");
    }
}

TEST(LevelData, PointersAtOffsetZeroKeepTheMeshAtOffsetZero) {
    // Pointer 0 names mesh A further on; pointer 1 is at offset 0, where mesh B stands.
    FixtureOptions o = Opts(2);
    o.sharedMeshes = false;
    o.firstPointerNotZero = true;
    FixtureLevel f = BuildFixtureLevel(o);
    auto l = Parse(o, f.levelData);
    ASSERT_EQ(l->meshPointers.size(), 2u);
    EXPECT_EQ(l->meshes[l->meshPointers[0]]->radius, 100);
    EXPECT_EQ(l->meshes[l->meshPointers[1]]->radius, 50);
    auto l2 = Parse(o, Write(*l));
    EXPECT_EQ(l2->meshes[l2->meshPointers[0]]->radius, 100);
    EXPECT_EQ(l2->meshes[l2->meshPointers[1]]->radius, 50);
}

// Tomb Raider III moveable 355 (the horizon): the coloured triangles of its first mesh from
// the seventeenth on take the colour word of the palettes' entries nearest to black; written
// and read again they stay so. A mesh of 16 triangles, and other versions, keep their words.
TEST(LevelData, Tr3Moveable355GetsTheDarkestColourFromTheSeventeenthTriangle) {
    for (int n : {16, 17, 20}) {
        SCOPED_TRACE(n);
        FixtureOptions o = Opts(3);
        o.moveable355Triangles = n;
        auto l = Parse(o, BuildFixtureLevel(o).levelData);
        const TrMoveableRecord& m = l->moveables.at(2);
        ASSERT_EQ(m.objectId(), 355);
        auto again = Parse(o, Write(*l));
        for (const CTrLevel* level : {l.get(), again.get()}) {
            const TrMeshRecord& mesh = *level->meshes.at(level->meshPointers.at(m.firstMesh()));
            ASSERT_EQ(mesh.colouredTriangles.size(), size_t(n));
            // Nearest to black: 16-bit entry 7 (1, 1, 1), 8-bit entry 9 (0, 0, 0).
            for (int k = 0; k < n; ++k)
                EXPECT_EQ(mesh.colouredTriangles[k].texture(), k >= 16 ? 0x0709 : 0x0101 * k) << k;
        }
    }
    FixtureOptions o = Opts(2);
    o.moveable355Triangles = 20;
    auto l = Parse(o, BuildFixtureLevel(o).levelData);
    EXPECT_EQ(l->meshes.at(l->meshPointers.back())->colouredTriangles[19].texture(), 0x0101 * 19);
}

TEST(LevelData, RoomFileSizes) {
    TrRoomRecord room;
    room.vertices.resize(3);
    room.rectangles.resize(2);
    room.triangles.resize(1);
    room.sprites.resize(1);
    room.portals.resize(1);
    room.sectorCountZ = 2;
    room.sectorCountX = 3;
    room.sectors.resize(6);
    room.lights.resize(2);
    room.statics.resize(1);
    // 44 + 3 vertices + 20 + 8 + 4 + 32 + 48 + lights + statics, plus the version's words.
    EXPECT_EQ(CTrLevel::GetRoomFileSize(room, 1), 44u + 24 + 20 + 8 + 4 + 32 + 48 + 36 + 18);
    EXPECT_EQ(CTrLevel::GetRoomFileSize(room, 2), 44u + 36 + 20 + 8 + 4 + 32 + 48 + 48 + 20 + 4);
    EXPECT_EQ(CTrLevel::GetRoomFileSize(room, 3), 44u + 36 + 20 + 8 + 4 + 32 + 48 + 48 + 20 + 5);
    EXPECT_EQ(CTrLevel::GetRoomFileSize(room, 4), 44u + 36 + 20 + 8 + 4 + 32 + 48 + 92 + 20 + 5);
}

TEST(LevelData, WriterRefusesCountsThatNoLongerFit) {
    FixtureOptions o = Opts(4);
    o.sharedMeshes = false;
    FixtureLevel f = BuildFixtureLevel(o);
    auto expectRefused = [&](const char* what, auto change) {
        auto l = Parse(o, f.levelData);
        change(*l);
        std::vector<uint8_t> out(l->GetLevelDataSize());
        ByteWriter w(out);
        EXPECT_THROW(l->WriteLevelData(w, nullptr, 0), LevelError) << what;
    };
    expectRefused("room vertices", [](CTrLevel& l) { l.rooms[0].vertices.resize(70000); });
    expectRefused("rooms", [](CTrLevel& l) { l.rooms.resize(65536); });
    expectRefused("sectors", [](CTrLevel& l) { l.rooms[1].sectors.pop_back(); });
    expectRefused("zones", [](CTrLevel& l) { l.boxes.emplace_back(); });
    expectRefused("mesh pointer", [](CTrLevel& l) { l.meshPointers.push_back(9); });
    expectRefused("missing mesh", [](CTrLevel& l) { l.meshes[1].reset(); });
    expectRefused("demo data 2048", [](CTrLevel& l) { l.demoData.assign(2048, 1); });
    expectRefused("demo data 65536", [](CTrLevel& l) { l.demoData.assign(65536, 1); });
    expectRefused("demo data with long map", [](CTrLevel& l) { l.soundMapMode = 130; });
    FixtureOptions o1 = Opts(1);
    auto l1 = Parse(o1, BuildFixtureLevel(o1).levelData);
    l1->aiObjects.resize(65536);
    std::vector<uint8_t> out(l1->GetLevelDataSize());
    ByteWriter w(out);
    EXPECT_THROW(l1->WriteLevelData(w, nullptr, 0), OverflowError);
}

TEST(LevelData, DamagedDataFailsCleanly) {
    for (int v = 1; v <= 4; ++v) {
        SCOPED_TRACE(v);
        FixtureOptions o = Opts(v);
        FixtureLevel f = BuildFixtureLevel(o);
        // Cut at every section start and at a stride of offsets.
        std::vector<size_t> cuts = f.sectionStarts;
        for (size_t c = 0; c < f.levelData.size(); c += 37) cuts.push_back(c);
        for (size_t cut : cuts) {
            std::vector<uint8_t> d(f.levelData.begin(), f.levelData.begin() + cut);
            if (v == 4 && cut + 6 >= f.levelData.size()) continue;  // only padding cut
            EXPECT_THROW(Parse(o, d), LevelError) << "cut at " << cut;
        }
        // Counts that run past the end.
        for (const CountField& c : f.counts) {
            for (uint32_t lie : {0xFFFFFFFFu, 0x7FFFFFFFu, 0x10000u, 0xFFFFu}) {
                if (c.width == 2 && lie > 0xFFFF) continue;
                if (c.name == "demo data" && v == 4 && lie == 2048) continue;
                std::vector<uint8_t> d = f.levelData;
                if (c.width == 2)
                    SetLe16(d, c.offset, uint16_t(lie));
                else
                    SetLe32(d, c.offset, lie);
                EXPECT_THROW(Parse(o, d), LevelError) << c.name << " = " << lie;
            }
        }
    }
}

TEST(LevelData, MeshPointersOffTheMeshesFail) {
    FixtureOptions o = Opts(2);
    FixtureLevel f = BuildFixtureLevel(o);
    const size_t ptrs = f.meshDataOffset + 4 + f.meshASize + f.meshBSize + 4;
    // At the end or past it, or a mesh that runs past it.
    const uint32_t bad[] = {uint32_t(f.meshASize + f.meshBSize - 4), uint32_t(f.meshASize + f.meshBSize),
                            0x7FFFFFFF, 0xFFFFFFFF};
    for (uint32_t off : bad) {
        std::vector<uint8_t> d = f.levelData;
        SetLe32(d, ptrs + 4, off);
        EXPECT_THROW(Parse(o, d), FormatError) << off;
    }
    // A mesh word count that cuts the last mesh.
    std::vector<uint8_t> d = f.levelData;
    SetLe32(d, f.meshDataOffset, uint32_t((f.meshASize + f.meshBSize) / 2 - 4));
    EXPECT_THROW(Parse(o, d), LevelError);
}
