#include <gtest/gtest.h>

#include "TestSupport.h"
#include "level/LevelLog.h"
#include "level/TrLevel.h"
#include "level/TrLstMsh.h"
#include "level/TrLstSpr.h"
#include "platform/Files.h"
#include "platform/Messages.h"
#include "platform/System.h"

using namespace lithoscope;

namespace {
TrObjectTextureRecord Tex(int tile, int x0, int y0, int x1, int y1) {
    TrObjectTextureRecord t;
    t.setU16(2, uint16_t(tile));
    const int xs[4] = {x0, x1, x1, x0}, ys[4] = {y0, y0, y1, y1};
    const uint8_t xc[4] = {1, 255, 255, 1}, yc[4] = {1, 1, 255, 255};
    for (int k = 0; k < 4; ++k) {
        uint8_t* c = t.corner(k);
        c[0] = xc[k];
        c[1] = uint8_t(xs[k]);
        c[2] = yc[k];
        c[3] = uint8_t(ys[k]);
    }
    return t;
}

// A quad of four vertices using texture `texture`, with lights.
TrMeshRecord Quad(int texture, int16_t z = 0) {
    TrMeshRecord m;
    m.vertices = {{0, 0, z}, {100, 0, z}, {100, -100, z}, {0, -100, z}};
    m.hasNormals = 0;
    m.lights = {1000, 2000, 3000, 4000};
    m.texturedRectangles.resize(1);
    for (int k = 0; k < 4; ++k) m.texturedRectangles[0].setVertex(k, uint16_t(k));
    m.texturedRectangles[0].setTexture(uint16_t(texture));
    return m;
}

// A level of `version` with two pages of distinct pixels, two object textures and meshes.
void SmallLevel(CTrLevel& level, int version) {
    level.version = version;
    level.pages.assign(2, TrPage(kPagePixels));
    for (size_t p = 0; p < 2; ++p)
        for (size_t i = 0; i < kPagePixels; ++i) level.pages[p][i] = uint16_t(0x8000 | ((i + p * 7) & 0x7FFF));
    level.objectTextures = {Tex(0, 16, 16, 47, 47), Tex(1, 0, 0, 63, 31)};
    level.meshes.push_back(std::make_unique<TrMeshRecord>(Quad(0)));
    level.meshes.push_back(std::make_unique<TrMeshRecord>(Quad(1, 50)));
    level.meshPointers = {0, 1};
}

TrStaticMeshRecord StaticRecord(int id, int meshPointer) {
    TrStaticMeshRecord r;
    r.setS32(0, id);
    r.setU16(4, uint16_t(meshPointer));
    const int16_t vis[6] = {-10, 20, -30, 40, -50, 60};
    const int16_t col[6] = {-1, 2, -3, 4, -5, 6};
    for (int k = 0; k < 6; ++k) {
        r.setS16(6 + 2 * k, vis[k]);
        r.setS16(18 + 2 * k, col[k]);
    }
    r.setU16(30, 0x1234);
    return r;
}

template <class T>
void ExpectRoundTrip(const T& object) {
    int size = 0;
    std::vector<uint8_t> image = object.Serialize(&size);
    EXPECT_EQ(size, object.GetSize());
    EXPECT_EQ(image.size(), size_t(size));
    T back(image);
    EXPECT_EQ(back.Serialize(), image);
}

// Every prefix of a valid image is refused cleanly.
template <class T>
void ExpectTruncationsFail(const std::vector<uint8_t>& image) {
    for (size_t n = 0; n < image.size(); n += (n < 64 ? 1 : 7)) {
        std::vector<uint8_t> cut(image.begin(), image.begin() + ptrdiff_t(n));
        EXPECT_THROW(T{cut}, LevelError) << "prefix " << n;
    }
}
}  // namespace

TEST(StaticMesh, BuiltFromALevelWithBoxesPageAndLights) {
    CTrLevel level;
    SmallLevel(level, TrVersion2);
    CTrStatMsh s(StaticRecord(7, 1), level);
    EXPECT_EQ(s.format, 2);
    EXPECT_EQ(s.kind, TrKindStaticMesh);
    EXPECT_EQ(s.gameVersion, TrVersion2);
    EXPECT_EQ(s.objectId, 7);
    EXPECT_EQ(s.flags, 0x1234);
    // visibility (min x, -max y, -max z) .. (max x, -min y, -min z)
    EXPECT_EQ(s.visibilityBox.min.x, -10);
    EXPECT_EQ(s.visibilityBox.min.y, -40);
    EXPECT_EQ(s.visibilityBox.min.z, -60);
    EXPECT_EQ(s.visibilityBox.max.x, 20);
    EXPECT_EQ(s.visibilityBox.max.y, 30);
    EXPECT_EQ(s.visibilityBox.max.z, 50);
    EXPECT_EQ(s.collisionBox.max.z, 5);
    ASSERT_EQ(s.meshCount(), 1u);
    // The page holds the one texture used: 64 x 32 from page 1, its pixels copied.
    EXPECT_EQ(s.textureCount(), 1u);
    EXPECT_EQ(s.width, 64u);
    EXPECT_EQ(s.height, 32u);
    EXPECT_EQ(s.meshes[0].texturedRectangles[0].texture() & 0x7FFF, 0);
    EXPECT_EQ(GetU16(&s.pixels[0]), level.pages[1][0]);
    // TR1 and TR2 lights are held as 8192 minus the level's value.
    EXPECT_EQ(s.meshes[0].lights[0], 8192 - 1000);
    // The level's own mesh is untouched.
    EXPECT_EQ(level.meshes[1]->texturedRectangles[0].texture(), 1);
    ExpectRoundTrip(s);

    CTrLevel level3;
    SmallLevel(level3, TrVersion3);
    CTrStatMsh s3(StaticRecord(8, 1), level3);
    EXPECT_EQ(s3.meshes[0].lights[0], 1000);
}

TEST(StaticMesh, DummyWhenItsPointerHoldsZero) {
    CTrLevel level;
    SmallLevel(level, TrVersion4);
    // A pointer to a mesh elsewhere than at offset 0: a real static mesh.
    CTrStatMsh real(StaticRecord(1, 0), level);
    EXPECT_EQ(real.meshes[0].dummy, 0);
    EXPECT_EQ(real.meshes[0].vertexCount(), 4);
    // A pointer holding 0 gives the dummy, whatever the mesh at offset 0 holds.
    level.zeroMeshEntry = level.meshPointers[0];
    CTrStatMsh dummy(StaticRecord(2, 0), level);
    ASSERT_EQ(dummy.meshCount(), 1u);
    EXPECT_EQ(dummy.meshes[0].dummy, 1);
    BoundingBox box;
    dummy.GetBoundingBox(&box, -1, nullptr);
    EXPECT_EQ(box.min.x, 0);
    EXPECT_EQ(box.max.z, 0);
    ExpectRoundTrip(dummy);
    // A pointer index past the table: a logged error and a dummy, nothing read.
    test::TempDir dir;
    StartLevelLog(dir.file("l.tr4"));
    CTrStatMsh bad(StaticRecord(3, 99), level);
    EXPECT_EQ(bad.meshes[0].dummy, 1);
    EXPECT_EQ(LevelLog().errorCount, 1);
}

TEST(StaticMesh, FilesLoadOnlyWithFormatTwoAndFailCleanlyWhenDamaged) {
    CTrLevel level;
    SmallLevel(level, TrVersion3);
    CTrStatMsh s(StaticRecord(7, 1), level);
    test::TempDir dir;
    const std::string path = dir.file("a.trsmh");
    ASSERT_TRUE(s.SaveFile(path));
    std::unique_ptr<CTrStatMsh> back = CTrStatMsh::LoadFile(path);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->Serialize(), s.Serialize());
    EXPECT_EQ(back->collisionBox.min.y, -4);

    std::vector<uint8_t> image = s.Serialize();
    image[1] = 6;  // the kind byte is not checked
    test::WriteFileBytes(path, image);
    EXPECT_NE(CTrStatMsh::LoadFile(path), nullptr);
    image[0] = 3;
    test::WriteFileBytes(path, image);
    EXPECT_EQ(CTrStatMsh::LoadFile(path), nullptr);
    EXPECT_EQ(CTrStatMsh::LoadFile(dir.file("missing.trsmh")), nullptr);

    ExpectTruncationsFail<CTrStatMsh>(s.Serialize());
    // Counts that lie: textures, page size, meshes.
    std::vector<uint8_t> lie = s.Serialize();
    PutU32(&lie[12], 0x7FFFFFFF);
    EXPECT_THROW(CTrStatMsh{lie}, FormatError);
    lie = s.Serialize();
    const size_t pageAt = 16 + 38 * s.textureCount();
    PutU32(&lie[pageAt], 0xFFFFFFFF);
    PutU32(&lie[pageAt + 4], 0xFFFFFFFF);
    EXPECT_THROW(CTrStatMsh{lie}, FormatError);
    lie = s.Serialize();
    PutU32(&lie[pageAt + 12 + s.pixels.size()], 0x40000000);
    EXPECT_THROW(CTrStatMsh{lie}, FormatError);

    // An empty static mesh still writes a header that reads back as a static mesh.
    CTrStatMsh made;
    made.CTrObjBase::Clear(true);
    std::vector<uint8_t> own = made.Serialize();
    EXPECT_EQ(own[0], 2);
    EXPECT_EQ(own[1], TrKindStaticMesh);
    EXPECT_NO_THROW(CTrStatMsh{own});
}

TEST(MeshList, BoxesCopiesDummiesAndTakeOver) {
    CTrLstMsh list;
    TrMeshRecord one;
    one.vertices = {{1, 2, 3}};
    list.SetMeshes({&one, nullptr});
    BoundingBox box;
    list.ComputeBoundingBox(0, &box, nullptr);
    EXPECT_EQ(box.min.x, 1);
    EXPECT_EQ(box.min.y, -2);
    EXPECT_EQ(box.min.z, -3);
    EXPECT_EQ(box.max.y, -2);
    list.ComputeBoundingBox(2, &box, nullptr);  // index == meshCount: the empty box
    EXPECT_EQ(box.min.x, 1e20f);
    EXPECT_EQ(box.max.x, -1e20f);
    list.ComputeBoundingBox(-1, &box, nullptr);  // the dummy adds the origin
    EXPECT_EQ(box.max.x, 1);
    EXPECT_EQ(box.min.x, 0);
    CMatrix4 shift;
    CVector3 by;
    by.Set(10, 0, 0);
    MatTranslation(shift, by);
    list.ComputeBoundingBox(0, &box, &shift);  // (1,-2,-3,-1) -> x = 1 - 10
    EXPECT_EQ(box.min.x, -9);

    EXPECT_EQ(list.meshes[1].dummy, 1);
    CTrLstMsh copy(list);
    EXPECT_EQ(copy.meshes[1].dummy, 0);  // copies are never dummies
    copy.CopyDummyMeshes(list);
    EXPECT_EQ(copy.meshes[1].dummy, 1);
    EXPECT_EQ(copy.meshes[0].dummy, 0);

    copy.objectId = 42;
    CTrLstMsh taker;
    taker.TakeOver(copy);
    EXPECT_EQ(taker.objectId, 42);
    EXPECT_EQ(taker.meshCount(), 2u);
    EXPECT_EQ(copy.meshCount(), 0u);
    EXPECT_EQ(copy.objectId, 0);
    taker.ClearMesh(5);  // out of range: nothing
    taker.ClearMesh(0);
    EXPECT_EQ(taker.meshes[0].vertexCount(), 0);
    ExpectRoundTrip(taker);
    ExpectTruncationsFail<CTrLstMsh>(taker.Serialize());
}

TEST(MeshList, OneMeshCutOutAndReplacedKeepsOnlyWhatItUses) {
    CTrLevel level;
    SmallLevel(level, TrVersion4);
    CTrLstMsh both;
    both.format = 3;
    both.kind = 3;
    both.gameVersion = 4;
    both.SetMeshesFromLevel(level, {level.meshes[0].get(), level.meshes[1].get()}, 0, 0);
    EXPECT_EQ(both.textureCount(), 2u);

    CTrLstMsh one(both, 1, 0, 0);
    EXPECT_EQ(one.format, 0);
    EXPECT_EQ(one.kind, 0);
    EXPECT_EQ(one.gameVersion, 0);
    ASSERT_EQ(one.meshCount(), 1u);
    EXPECT_EQ(one.textureCount(), 1u);
    EXPECT_EQ(one.width, 64u);
    EXPECT_EQ(one.height, 32u);
    EXPECT_EQ(one.meshes[0].texturedRectangles[0].texture() & 0x7FFF, 0);
    std::vector<uint8_t> image = one.Serialize();
    EXPECT_EQ(image[0], 0);
    EXPECT_EQ(GetU32(&image[4]), 0u);
    EXPECT_EQ(CTrLstMsh(both, 9, 0, 0).meshCount(), 0u);

    // Replace mesh 0 of `both` with the cut-out mesh: both meshes now use the same picture.
    both.objectId = 77;
    EXPECT_FALSE(both.ReplaceMesh(one, 3, 0));
    EXPECT_FALSE(both.ReplaceMesh(one, 0, 2));
    ASSERT_TRUE(both.ReplaceMesh(one, 0, 0));
    EXPECT_EQ(both.objectId, 77);
    EXPECT_EQ(both.format, 3);
    EXPECT_EQ(both.textureCount(), 1u);  // identical pixels merged
    EXPECT_EQ(both.meshes[0].texturedRectangles[0].texture() & 0x7FFF,
              both.meshes[1].texturedRectangles[0].texture() & 0x7FFF);
    EXPECT_EQ(both.meshes[0].vertices[0].z, 50);
}

TEST(ObjectPage, ExportAndReplaceTexture) {
    CTrLstMsh list;
    list.width = 100;
    list.height = 300;
    list.bitsPerPixel = 16;
    list.pixels.assign(size_t(100) * 300 * 2, 0);
    for (size_t i = 0; i < 100u * 300u; ++i) PutU16(&list.pixels[2 * i], 0xFC00);  // opaque red
    test::TempDir dir;
    ASSERT_TRUE(list.ExportTga(dir.file("pad.tga"), true));
    std::vector<uint8_t> tga = test::ReadFileBytes(dir.file("pad.tga"));
    EXPECT_EQ(GetU16(&tga[12]), 256);
    EXPECT_EQ(GetU16(&tga[14]), 512);
    EXPECT_EQ(tga.size(), 18u + 256u * 512u * 4u);
    // Last row first: the file's first row is the image's row 511, empty.
    EXPECT_EQ(tga[18 + 3], 0);
    const size_t topLeft = 18 + size_t(511) * 256 * 4;
    EXPECT_EQ(tga[topLeft + 2], 0xF8);
    EXPECT_EQ(tga[topLeft + 3], 255);

    ASSERT_TRUE(list.ExportTga(dir.file("plain.tga"), false));
    EXPECT_TRUE(list.ReplaceTexture(dir.file("plain.tga")));
    EXPECT_EQ(GetU16(&list.pixels[0]), 0xFC00);
    EXPECT_FALSE(list.ReplaceTexture(dir.file("pad.tga")));  // another size
    EXPECT_FALSE(list.ReplaceTexture(dir.file("none.tga")));
    EXPECT_FALSE(list.ExportTga(dir.file("missing/x.tga"), false));
    EXPECT_FALSE(CTrLstMsh().ExportTga(dir.file("empty.tga"), true));
    EXPECT_FALSE(list.SaveFile(dir.file("missing/x.trmsh")));
}

TEST(SpriteList, BuiltFromSequencesOfEachVersion) {
    CTrLevel level;
    SmallLevel(level, TrVersion4);
    auto sprite = [](int tile, int x, int y, int w, int h, int l, int t, int r, int b) {
        TrSpriteTextureRecord s;
        s.setU16(0, uint16_t(tile));
        s.setU8(2, uint8_t(x));
        s.setU8(3, uint8_t(y));
        s.setU16(4, uint16_t(w));
        s.setU16(6, uint16_t(h));
        s.setS16(8, int16_t(l));
        s.setS16(10, int16_t(t));
        s.setS16(12, int16_t(r));
        s.setS16(14, int16_t(b));
        return s;
    };
    level.spriteTextures = {sprite(1, 10, 0, 0, 0, 10, 0, 43, 20),
                            sprite(9, 3, 4, 0, 0, 0, 0, 8, 8),       // tile past the pages
                            sprite(1, 10, 0, 0, 0, 10, 0, 43, 20)};  // shares the first frame
    TrSpriteSequenceRecord seq;
    seq.setS32(0, 200);
    seq.setS16(4, -3);
    seq.setS16(6, 0);
    CTrLstSpr list(seq, level);
    EXPECT_EQ(list.objectId, 200);
    EXPECT_EQ(list.format, 2);
    EXPECT_EQ(list.kind, TrKindSprite);
    // Every sprite keeps a texture and a record of its own.
    ASSERT_EQ(list.textureCount(), 3u);
    ASSERT_EQ(list.sprites.size(), 3u);
    EXPECT_EQ(list.sprites[0].left(), -32);
    EXPECT_EQ(list.sprites[0].top(), -20);
    EXPECT_EQ(list.sprites[0].right(), 32);
    EXPECT_EQ(list.sprites[0].bottom(), 20);
    EXPECT_EQ(list.sprites[0].sourceX(), 10);
    EXPECT_EQ(list.sprites[2].right(), 32);
    EXPECT_NE(list.sprites[0].textureIndex(), list.sprites[2].textureIndex());
    // The sprite of a missing page came from page 0.
    const TrObjectTextureRecord& t1 = list.textures[size_t(list.sprites[1].textureIndex())];
    int px = t1.corner(0)[1], py = t1.corner(0)[3] + 256 * (t1.page() & 0x7FFF);
    EXPECT_EQ(GetU16(&list.pixels[2 * (size_t(py) * list.width + px)]), level.pages[0][0]);
    ExpectRoundTrip(list);
    ExpectTruncationsFail<CTrLstSpr>(list.Serialize());

    // TR1: width and height 255 cover one pixel; left..bottom copied as they are.
    CTrLevel level1;
    SmallLevel(level1, TrVersion1);
    level1.spriteTextures = {sprite(0, 5, 6, 255, 255, -7, -8, 9, 10)};
    seq.setS16(4, -1);
    CTrLstSpr one(seq, level1);
    ASSERT_EQ(one.sprites.size(), 1u);
    EXPECT_EQ(one.sprites[0].left(), -7);
    EXPECT_EQ(one.sprites[0].bottom(), 10);
    EXPECT_EQ(one.sprites[0].sourceX(), 0);

    // A sequence running past the sprite textures is clipped and logged.
    test::TempDir dir;
    StartLevelLog(dir.file("l.phd"));
    seq.setS16(4, -5);
    CTrLstSpr clipped(seq, level1);
    EXPECT_EQ(clipped.sprites.size(), 1u);
    EXPECT_EQ(LevelLog().errorCount, 1);

    std::vector<uint8_t> image = list.Serialize();
    image[0] = 0;
    EXPECT_THROW(CTrLstSpr{image}, RejectedObjectBuffer);
    const std::string path = dir.file("s.trspr");
    test::WriteFileBytes(path, image);
    EXPECT_EQ(CTrLstSpr::LoadFile(path), nullptr);
}

TEST(ObjectFiles, RealLevelObjectsExportAndLoadBackUnchanged) {
    auto files = test::RealLevelFiles();
    if (files.empty()) GTEST_SKIP() << "no real levels";
    ScriptedMessageBackend quiet;
    ScopedMessageBackend scope(&quiet);
    test::ScopedConfigDir config;
    test::TempDir dir;
    size_t objects = 0;
    for (const test::RealLevel& f : files) {
        if (f.unsupported) continue;
        SCOPED_TRACE(f.path);
        CTrLevel level;
        ASSERT_TRUE(level.Load(f.path, false, false));
        for (const auto& s : level.staticMeshList) {
            const std::string path = dir.file("s.trsmh");
            ASSERT_TRUE(s->SaveFile(path));
            std::unique_ptr<CTrStatMsh> back = CTrStatMsh::LoadFile(path);
            ASSERT_NE(back, nullptr);
            EXPECT_EQ(back->Serialize(), s->Serialize());
            ++objects;
        }
        for (const auto& s : level.spriteList) {
            const std::string path = dir.file("s.trspr");
            ASSERT_TRUE(s->SaveFile(path));
            std::unique_ptr<CTrLstSpr> back = CTrLstSpr::LoadFile(path);
            ASSERT_NE(back, nullptr);
            EXPECT_EQ(back->Serialize(), s->Serialize());
            EXPECT_EQ(back->sprites.size(), s->textureCount());
            ++objects;
        }
    }
    EXPECT_GT(objects, 0u);
}
