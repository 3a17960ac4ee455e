// Saving a level nobody edited: the first save shows what the file showed, and saving the
// saved level changes nothing more. Small levels written by the fixture builder, each with
// the records that once moved on every save.
#include <gtest/gtest.h>

#include <algorithm>

#include "TestSupport.h"
#include "fixtures/ByteOut.h"
#include "fixtures/LevelBuilder.h"
#include "fixtures/LevelDecode.h"
#include "level/LevelLog.h"
#include "level/TrLevel.h"
#include "platform/Messages.h"

using namespace lithoscope;
using namespace lithoscope::test;

namespace {

struct Saves {
    std::vector<uint8_t> a, b;
    std::string pathA;
};

// Loads the file, saves it (A), loads A and saves it (B). The first save must show what the
// file showed and the second must be the first.
Saves SaveTwice(const std::vector<uint8_t>& file, const std::string& ext, int unusedMode = 1) {
    ScriptedMessageBackend messages;
    ScopedMessageBackend scope(&messages);
    ScopedConfigDir config;
    static TempDir dir;
    static int n = 0;
    const std::string in = dir.file("in" + std::to_string(++n) + ext);
    Saves s;
    s.pathA = dir.file("a" + std::to_string(n) + ext);
    const std::string b = dir.file("b" + std::to_string(n) + ext);
    WriteFileBytes(in, file);
    CTrLevel first, second;
    EXPECT_TRUE(first.Load(in, false, false));
    EXPECT_TRUE(first.Save(s.pathA, unusedMode, false, false));
    EXPECT_TRUE(second.Load(s.pathA, false, false));
    EXPECT_TRUE(second.Save(b, unusedMode, false, false));
    s.a = ReadFileBytes(s.pathA);
    s.b = ReadFileBytes(b);
    EXPECT_TRUE(s.a == s.b) << "saving the saved level changed it";
    EXPECT_EQ(DiffDecoded(DecodeLevelFile(file), DecodeLevelFile(s.a)), "");
    return s;
}

// The arrays of a saved file, without the object model.
void LoadArrays(const std::string& path, CTrLevel& level) {
    ScriptedMessageBackend messages;
    ScopedMessageBackend scope(&messages);
    ASSERT_TRUE(level.Load(path, true, false));
}

// An object texture of the file: page, attributes, corners (x, y) in order, coordinate
// bytes 1 on the low and 255 on the high side (0 with zeroCoords); TR4 adds flags.
void Texture(ByteOut& out, int version, int page, int attr, int x, int y, int w, int h,
             bool zeroCoords = false, uint16_t flags = 0) {
    out.u16(uint16_t(attr));
    out.u16(uint16_t(page));
    if (version == 4) out.u16(flags);
    const int xs[4] = {x, x + w - 1, x + w - 1, x}, ys[4] = {y, y, y + h - 1, y + h - 1};
    for (int k = 0; k < 4; ++k) {
        out.u8(zeroCoords ? 0 : k == 1 || k == 2 ? 255 : 1);
        out.u8(uint8_t(xs[k]));
        out.u8(zeroCoords ? 0 : k >= 2 ? 255 : 1);
        out.u8(uint8_t(ys[k]));
    }
    if (version == 4) out.zeros(16);
}

// Room faces over the room's three vertices with these texture words.
std::vector<uint8_t> RoomRectangles(const std::vector<uint16_t>& words) {
    ByteOut out;
    for (uint16_t w : words) {
        for (uint16_t v : {0, 1, 2, 0}) out.u16(v);
        out.u16(w);
    }
    return out.b;
}

// A small mesh: three lit vertices, the given textured rectangles and coloured faces
// (TR1-III) or none.
void Mesh(ByteOut& out, int version, const std::vector<uint16_t>& colouredRects,
          const std::vector<uint16_t>& colouredTris,
          const std::vector<uint16_t>& texturedRects = {}) {
    const size_t base = out.pos();
    for (int i = 0; i < 3; ++i) out.s16(0);
    out.s32(100);
    out.s16(3);
    for (int16_t c : {0, 0, 0, 100, 0, 0, 0, 100, 0}) out.s16(c);
    out.s16(-3);
    for (int i = 0; i < 3; ++i) out.s16(4000);
    out.s16(int16_t(texturedRects.size()));
    for (uint16_t w : texturedRects) {
        for (uint16_t v : {0, 1, 2, 0}) out.u16(v);
        out.u16(w);
    }
    out.s16(0);  // textured triangles
    if (version != 4) {
        out.s16(int16_t(colouredRects.size()));
        for (uint16_t w : colouredRects) {
            for (uint16_t v : {0, 1, 2, 0}) out.u16(v);
            out.u16(w);
        }
        out.s16(int16_t(colouredTris.size()));
        for (uint16_t w : colouredTris) {
            for (uint16_t v : {0, 1, 2}) out.u16(v);
            out.u16(w);
        }
    }
    out.pad4(base);
}

// Two copies of the mesh (pointer 1 names the second: pointer 0 would make a dummy) and
// one moveable of that id on it.
void MeshesAndMoveables(FixtureOptions& o, const std::vector<uint16_t>& rects,
                        const std::vector<uint16_t>& tris,
                        const std::vector<std::pair<int32_t, uint16_t>>& moveables) {
    ByteOut meshes, pointers, records;
    Mesh(meshes, o.version, rects, tris);
    pointers.u32(0);
    pointers.u32(uint32_t(meshes.pos()));
    Mesh(meshes, o.version, rects, tris);
    for (const auto& [id, firstAnimation] : moveables) {
        records.s32(id);
        records.u16(1);
        records.u16(1);
        records.u32(0);
        records.u32(0);
        records.u16(firstAnimation);
    }
    o.content["meshes"] = meshes.b;
    o.content["mesh pointers"] = pointers.b;
    o.content["moveables"] = records.b;
    for (const char* none : {"static meshes", "sprite textures", "sprite sequences", "mesh trees",
                             "animation commands", "room triangles", "sound map", "sound details",
                             "sample indices"})
        o.content[none] = {};
}

}  // namespace

// Links of a moveable's animations into and past the table, frames of size 0, one-word
// rotations of Tomb Raider IV with their 12 bits.
TEST(SaveFixedPoint, AnimationsKeepTheirLinksFramesAndPrecision) {
    FixtureOptions o;
    o.version = 4;
    MeshesAndMoveables(o, {}, {}, {{1, 0}, {2, 3}});
    o.content["room rectangles"] = {};
    o.content["animated textures"] = {0, 0};
    // Animations 0-2 of moveable 1 over frames 0-9, 10-19, 20-29 (rate 5: three keys of
    // ten words); animation 1 has frame size 0, one frame at its offset. Animation 3
    // (moveable 2) goes on to animation 7, past the table, and has a dispatch to
    // animation 4: past the table, but animation 1 counted from its first animation.
    ByteOut anims, frames;
    struct A { uint32_t offset; uint8_t size; uint16_t start, next, nextFrame, changes; };
    const A list[4] = {{0, 10, 0, 1, 12, 0}, {60, 0, 10, 2, 20, 0}, {80, 10, 20, 0, 0, 0}, {140, 10, 0, 7, 99, 1}};
    for (const A& a : list) {
        anims.u32(a.offset);
        anims.u8(5);
        anims.u8(a.size);
        anims.u16(3);
        anims.zeros(16);
        anims.u16(a.start);
        anims.u16(uint16_t(a.start + 9));
        anims.u16(a.next);
        anims.u16(a.nextFrame);
        anims.u16(a.changes);
        anims.u16(0);
        anims.zeros(4);
    }
    for (int key = 0; key < 10; ++key) {
        for (int16_t w : {-10, 10, -20, 20, -30, 30, 1, 2, 3}) frames.s16(w);
        // x, y or z alone, 12 bits whose low two the two-word form has no room for.
        frames.u16(uint16_t(0x4000 * (1 + key % 3) + 0x123 + key));
    }
    ByteOut change, dispatch;
    change.u16(2);
    change.u16(1);
    change.u16(0);
    for (int16_t w : {0, 10, 4, 25}) dispatch.s16(w);
    o.content["animations"] = anims.b;
    o.content["frames"] = frames.b;
    o.content["state changes"] = change.b;
    o.content["animation dispatches"] = dispatch.b;

    const Saves s = SaveTwice(BuildFixtureLevel(o).file, ".tr4");
    CTrLevel saved;
    LoadArrays(s.pathA, saved);
    ASSERT_EQ(saved.animations.size(), 4u);
    ASSERT_EQ(saved.animDispatches.size(), 1u);
    EXPECT_EQ(saved.animDispatches[0].nextAnimation(), 4);
    EXPECT_EQ(saved.animDispatches[0].nextFrame(), 25);
    EXPECT_EQ(saved.animations[3].nextAnimation(), 7);
    EXPECT_EQ(saved.animations[3].nextFrame(), 99);
    EXPECT_EQ(saved.animations[0].nextFrame(), 12);
    // Animation 1 still plays ten frames; its keys hold the frame the game showed.
    EXPECT_EQ(saved.animations[1].frameEnd() - saved.animations[1].frameStart(), 9);
    EXPECT_EQ(saved.animations[0].frameSize(), 10);
    const size_t key0 = saved.animations[0].frameOffset() / 2;
    EXPECT_EQ(uint16_t(saved.frames[key0 + 9]), 0x4123);
}

// Texture corners with coordinate bytes 0, identical pixels on two pages, and an
// animated texture that a double-sided face uses inside a larger texture's rectangle.
TEST(SaveFixedPoint, TexturesAreCutAndNumberedOnce) {
    FixtureOptions o;
    o.version = 3;
    MeshesAndMoveables(o, {}, {}, {{7, 0xFFFF}});
    // Both pages the same picture, so that X and Y hold the same pixels.
    std::vector<uint8_t> pages8, pages16;
    for (int p = 0; p < 2; ++p)
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 256; ++x) {
                pages8.push_back(uint8_t(1 + (x + 3 * y) % 200));
                Put16(pages16, uint16_t(0x8000 | ((x * 7 + y * 13) & 0x7FFF)));
            }
    o.content["pages8"] = pages8;
    o.content["pages16"] = pages16;
    ByteOut textures;
    Texture(textures, 3, 0, 0, 0, 0, 16, 16, true);  // 0: X, coordinate bytes 0
    Texture(textures, 3, 1, 1, 0, 0, 16, 16);        // 1: Y, X's pixels on page 1
    Texture(textures, 3, 0, 2, 0, 0, 16, 16);        // 2: Z, X's rectangle, other attributes
    Texture(textures, 3, 0, 0, 160, 192, 32, 32);    // 3: A, animated
    Texture(textures, 3, 0, 0, 128, 192, 32, 32);    // 4: T, animated beside A
    Texture(textures, 3, 0, 0, 128, 192, 64, 64);    // 5: holds A and T
    o.content["object textures"] = textures.b;
    o.content["animated textures"] = {1, 0, 1, 0, 3, 0, 4, 0};
    o.content["room rectangles"] = RoomRectangles({0, 1, 2, 5, 0x8004});

    const Saves s = SaveTwice(BuildFixtureLevel(o).file, ".tr2");
    CTrLevel saved;
    LoadArrays(s.pathA, saved);
    ASSERT_EQ(saved.rooms.size(), 2u);
    const std::vector<TrRoomRectangle>& faces = saved.rooms[0].rectangles;
    ASSERT_EQ(faces.size(), 5u);
    // X is cut 16 pixels wide, not 17.
    const TrObjectTextureRecord& x = saved.objectTextures[faces[0].u16(8) & 0x7FFF];
    EXPECT_EQ(x.corner(1)[1] - x.corner(0)[1], 15);
    // The double-sided face is still double-sided and animated.
    const uint16_t word = faces[4].u16(8);
    EXPECT_TRUE(word & 0x8000);
    const std::vector<uint16_t>& animated = saved.animatedTextures;
    ASSERT_EQ(animated.size(), 4u);
    EXPECT_TRUE(animated[2] == (word & 0x7FFF) || animated[3] == (word & 0x7FFF));
}

// Tomb Raider IV room textures on object pages are repacked with them: their records do
// not stay behind. The 32-bit pages, finer than the 16-bit ones, keep every pixel.
TEST(SaveFixedPoint, Tr4RoomTexturesOnObjectPagesLeaveNoRecordBehind) {
    FixtureOptions o;
    o.version = 4;
    MeshesAndMoveables(o, {}, {}, {{7, 0xFFFF}});
    std::vector<uint8_t> pages16, pages32;
    for (int p = 0; p < 2; ++p)
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 256; ++x) {
                const uint8_t b = uint8_t(x * 3 + p), g = uint8_t(y * 5 + 1), r = uint8_t(x ^ y);
                // Rounded, not cut: the 16-bit pixel is no plain shift of the 32-bit one.
                Put16(pages16, uint16_t(0x8000 | std::min(31, (r + 4) >> 3) << 10 |
                                        std::min(31, (g + 4) >> 3) << 5 | std::min(31, (b + 4) >> 3)));
                for (uint8_t c : {b, g, r, uint8_t(255)}) pages32.push_back(c);
            }
    o.content["pages16"] = pages16;
    o.content["pages32"] = pages32;
    ByteOut textures;
    Texture(textures, 4, 1, 0, 0, 0, 32, 32, false, 0x8000);  // on the object page
    Texture(textures, 4, 0, 0, 0, 0, 32, 32, false, 0x8000);  // on the room page
    o.content["object textures"] = textures.b;
    o.content["animated textures"] = {0, 0};
    o.content["room rectangles"] = RoomRectangles({0, 1});
    const std::vector<uint8_t> file = BuildFixtureLevel(o).file;
    const Saves s = SaveTwice(file, ".tr4");
    CTrLevel saved;
    LoadArrays(s.pathA, saved);
    EXPECT_EQ(saved.objectTextures.size(), 2u);

    // Damaged 32-bit pages: the level still loads (an error in the log), and the save
    // makes them again from the 16-bit ones.
    std::vector<uint8_t> damaged = file;
    for (size_t i = 0; i < 64; ++i) damaged[18 + 40 + i] ^= 0x5A;
    const std::string path = s.pathA + ".damaged.tr4";
    WriteFileBytes(path, damaged);
    ScriptedMessageBackend messages;
    ScopedMessageBackend scope(&messages);
    CTrLevel level;
    ASSERT_TRUE(level.Load(path, false, false));
    EXPECT_TRUE(level.pageFilePixels.empty());
    EXPECT_GT(LevelLog().errorCount, 0);
    EXPECT_TRUE(level.Save(path, 1, false, false));
}

// Tomb Raider I: two palette entries of one 15-bit colour keep their texels apart, and a
// coloured face of entry 0 keeps its colour.
TEST(SaveFixedPoint, Tr1TexelsAndColouredFacesKeepTheirEntries) {
    FixtureOptions o;
    o.version = 1;
    MeshesAndMoveables(o, {6}, {0}, {{7, 0xFFFF}});
    std::vector<uint8_t> palette(768);
    for (int i = 0; i < 256; ++i) {
        palette[3 * i] = uint8_t(i % 64);
        palette[3 * i + 1] = uint8_t(i / 4);
        palette[3 * i + 2] = uint8_t(63 - i / 4);
    }
    const uint8_t same[2][3] = {{20, 40, 10}, {21, 41, 11}};  // entries 5 and 6: one 15-bit colour
    for (int e = 0; e < 2; ++e)
        for (int c = 0; c < 3; ++c) palette[3 * (5 + e) + c] = same[e][c];
    for (int c = 0; c < 3; ++c) palette[size_t(c)] = 50;  // entry 0: a grey no other entry has
    o.content["palette"] = palette;
    std::vector<uint8_t> pages8(2 * 65536, 9);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) pages8[size_t(y) * 256 + size_t(x)] = x < 8 ? 5 : 6;
    o.content["pages8"] = pages8;
    ByteOut textures;
    Texture(textures, 1, 0, 0, 0, 0, 16, 16);
    o.content["object textures"] = textures.b;
    o.content["animated textures"] = {0, 0};
    o.content["room rectangles"] = RoomRectangles({0});

    const Saves s = SaveTwice(BuildFixtureLevel(o).file, ".phd");
    CTrLevel saved;
    LoadArrays(s.pathA, saved);
    ASSERT_EQ(saved.moveables.size(), 1u);
    const TrMeshRecord& mesh = *saved.meshes[saved.meshPointers[saved.moveables[0].firstMesh()]];
    ASSERT_EQ(mesh.colouredTriangles.size(), 1u);
    EXPECT_EQ(mesh.colouredTriangles[0].texture(), 0);
    ASSERT_EQ(mesh.colouredRectangles.size(), 1u);
    EXPECT_EQ(mesh.colouredRectangles[0].texture(), 6);
    EXPECT_TRUE(mesh.texturedTriangles.empty());
}

// Damage the load repairs is saved repaired, in one step: room faces and an animated
// texture naming no texture, a texture on a page past the pages, a mesh at offset 0 that no
// slot shows, and (Tomb Raider IV) a header that counts no room page. The saved level loads
// without an error, and saves again to the same bytes.
TEST(SaveFixedPoint, RepairsAreSavedInOneStep) {
    ScriptedMessageBackend messages;
    ScopedMessageBackend scope(&messages);
    ScopedConfigDir config;
    TempDir dir;
    auto savedOnce = [&](const std::vector<uint8_t>& file, const std::string& ext,
                         bool damaged = true, int unusedMode = 1) {
        const std::string in = dir.file("in" + ext), a = dir.file("a" + ext), b = dir.file("b" + ext);
        WriteFileBytes(in, file);
        CTrLevel first, second;
        ASSERT_TRUE(first.Load(in, false, false)) << LevelLog().refusal;
        EXPECT_EQ(LevelLog().errorCount > 0, damaged);
        ASSERT_TRUE(first.Save(a, unusedMode, false, false));
        ASSERT_TRUE(second.Load(a, false, false)) << LevelLog().refusal;
        EXPECT_EQ(LevelLog().errorCount, 0);
        ASSERT_TRUE(second.Save(b, unusedMode, false, false));
        EXPECT_TRUE(ReadFileBytes(a) == ReadFileBytes(b)) << "saving the saved level changed it";
    };
    for (int version : {2, 4}) {
        SCOPED_TRACE(version);
        FixtureOptions o;
        o.version = version;
        MeshesAndMoveables(o, {}, {}, {{7, 0xFFFF}});  // pointer 0 names a mesh no slot shows
        ByteOut textures;
        Texture(textures, version, 0, 0, 0, 0, 16, 16, false, 0x8000);
        Texture(textures, version, 9, 0, 16, 0, 16, 16, false, 0x8000);  // page 9 of 2
        o.content["object textures"] = textures.b;
        // Past the textures of the file and the 512 the palette tile adds to them.
        o.content["animated textures"] = {1, 0, 0, 0, 0x00, 0x70};  // one range of 0x7000
        o.content["room rectangles"] = RoomRectangles({0, 1, 0x7000, 0xF000});
        const std::vector<uint8_t> file = BuildFixtureLevel(o).file;
        savedOnce(file, version == 4 ? ".tr4" : ".tr2");
        if (version == 4) {
            // No room page: the room page is read as the object page, and the texture of
            // the object page is past the pages.
            std::vector<uint8_t> noRoomPage = file;
            SetLe16(noRoomPage, 4, 0);
            savedOnce(noRoomPage, ".tr4");
        }
    }
    // Lara (who shows the mesh of pointer 0 in her slots) on a copy of that mesh, and on
    // another mesh: the mesh of pointer 0 is written, and packed, in the first case only
    // (unused textures dropped: what is packed for nothing is lost on the next save).
    for (const bool same : {true, false}) {
        SCOPED_TRACE(same);
        FixtureOptions o;
        o.version = 2;
        MeshesAndMoveables(o, {}, {}, {{0, 0xFFFF}});
        ByteOut meshes;
        Mesh(meshes, 2, {}, {}, {0});
        const uint32_t second = uint32_t(meshes.pos());
        Mesh(meshes, 2, {}, {}, {uint16_t(same ? 0 : 1)});
        o.content["meshes"] = meshes.b;
        ByteOut pointers;
        pointers.u32(0);
        pointers.u32(second);
        o.content["mesh pointers"] = pointers.b;
        ByteOut textures;
        Texture(textures, 2, 0, 0, 0, 0, 16, 16);
        Texture(textures, 2, 0, 0, 32, 0, 16, 16);
        o.content["object textures"] = textures.b;
        o.content["animated textures"] = {0, 0};
        o.content["room rectangles"] = RoomRectangles({1});
        savedOnce(BuildFixtureLevel(o).file, ".tr2", false, 0);
        CTrLevel saved;
        LoadArrays(dir.file("a.tr2"), saved);
        EXPECT_EQ(saved.IsZeroPointer(saved.moveables[0].firstMesh()), same);
    }
}
