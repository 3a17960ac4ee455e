#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "fixtures/Db3dsBytes.h"
#include "interchange3ds/Material3ds.h"

using namespace lithoscope;
using namespace lithoscope::test;

namespace {

struct Material3dsTest : ::testing::Test {
    void SetUp() override { ClearErrorList3ds(); }
    void TearDown() override { ClearErrorList3ds(); }
};

// A mesh file holding one material entry built from the given children.
std::vector<uint8_t> MaterialFile(std::initializer_list<std::vector<uint8_t>> children) {
    std::vector<uint8_t> entry = Chunk3dsBytes(0xAFFF, {}, children);
    return Chunk3dsBytes(0x4D4D, {}, {Chunk3dsBytes(0x3D3D, {}, {entry})});
}

TEST_F(Material3dsTest, DefaultsOfMaterialAndMapSlots) {
    Material3ds* m = nullptr;
    InitMaterial3ds(&m);
    ASSERT_NE(m, nullptr);
    EXPECT_STREQ(m->name, "");
    EXPECT_EQ(m->shading, 3);
    EXPECT_EQ(m->wireSize, 1.0f);
    EXPECT_EQ(m->autoReflect.mapSize, 100);
    EXPECT_EQ(m->autoReflect.frameStep, 1);
    for (const TextureMap3ds& map : m->maps) {
        EXPECT_EQ(map.tiling, 1);
        EXPECT_EQ(map.uScale, 1.0f);
        EXPECT_EQ(map.tint2.g, 1.0f);
        EXPECT_EQ(map.redTint.r, 1.0f);
        EXPECT_EQ(map.blueTint.b, 1.0f);
        EXPECT_EQ(map.procLength(), 0u);
    }
    m->maps[MAP_BUMP3DS].procData = {1, 2, 3};
    m->maps[MAP_BUMP3DS].uScale = 4;
    InitTextureMap3ds(&m->maps[MAP_BUMP3DS]);
    EXPECT_EQ(m->maps[MAP_BUMP3DS].uScale, 1.0f);
    EXPECT_EQ(m->maps[MAP_BUMP3DS].procLength(), 0u);
    InitTextureMap3ds(nullptr);
    EXPECT_EQ(g_ErrorList3ds[0].code, ERR_INVALID_ARG);
    ReleaseMaterial3ds(&m);
    EXPECT_EQ(m, nullptr);
}

TEST_F(Material3dsTest, MaterialWithMapsRoundTripsThroughAFile) {
    Database3ds* db = NewMeshDatabase3ds();
    Material3ds* m = nullptr;
    InitMaterial3ds(&m);
    std::strcpy(m->name, "tile0");
    m->diffuse = {0.2f, 0.4f, 1.0f};  // bytes 51, 102, 255
    m->ambient = {1.0f, 0, 0};
    m->shininess = 0.556f;           // written truncated: 55
    m->transparency = 0.5f;
    m->transFalloff = -0.25f;
    m->twoSided = 1;
    m->soft = 1;
    m->wireSize = 2.0f;
    TextureMap3ds& t = m->texture1();
    std::strcpy(t.name, "tile0.tga");
    t.percent = 0.556f;  // map percentages are rounded: 56
    t.tiling = TILING_DECAL3DS;
    t.mirror = 1;
    t.tint = TINT_RGB3DS;
    t.redTint = {0.2f, 0, 0};
    t.uScale = 2.0f;
    t.vOffset = 0.5f;
    t.rotation = 90.0f;
    t.blur = 0.25f;
    TextureMap3ds& bump = m->maps[MAP_BUMP3DS];
    std::strcpy(bump.name, "bump.tga");
    bump.percent = 0.3f;
    bump.procData = {9, 8, 7, 6};
    std::strcpy(m->maps[MAP_REFLECTION3DS].name, "refl.tga");
    m->autoReflect.on = 1;
    m->autoReflect.firstFrameOnly = 1;
    m->autoReflect.mapSize = 256;
    PutMaterial3ds(db, m);
    ASSERT_FALSE(g_bErrorPending3ds);
    std::vector<uint8_t> bytes = WriteDatabaseBytes3ds(db);
    ASSERT_FALSE(g_bErrorPending3ds);
    ReleaseDatabase3ds(&db);

    ReadDatabase3dsFixture in(bytes);
    ASSERT_FALSE(g_bErrorPending3ds);
    EXPECT_EQ(GetMaterialCount3ds(in.db()), 1u);
    Chunk3ds* entry = Find3ds(in.db()->topChunk.get(), 0xAFFF);
    ASSERT_NE(entry, nullptr);
    // The fall-off magnitude with the inward flag after it.
    Chunk3ds* falloff = Find3ds(entry, 0xA052);
    EXPECT_EQ(ReadChunkDataAs3ds<Int16Data3ds>(Find3ds(falloff, 0x0030))->value, 25);
    std::vector<uint32_t> tags = ChildTags3ds(entry);
    auto f = std::find(tags.begin(), tags.end(), 0xA052u);
    ASSERT_NE(f, tags.end());
    EXPECT_EQ(*(f + 1), 0xA08Au);
    EXPECT_EQ(ReadChunkDataAs3ds<Int16Data3ds>(Find3ds(Find3ds(entry, 0xA040), 0x0030))->value, 55);
    Chunk3ds* map = Find3ds(entry, 0xA200);
    EXPECT_EQ(ReadChunkDataAs3ds<Int16Data3ds>(Find3ds(map, 0x0030))->value, 56);
    EXPECT_EQ(ReadChunkDataAs3ds<UInt16Data3ds>(Find3ds(map, 0xA351))->value, 0x11 | 0x02 | 0x200);
    // The reflection map has only its percentage and name.
    EXPECT_EQ(ChildTags3ds(Find3ds(entry, 0xA220)), (std::vector<uint32_t>{0x0030, 0xA300}));
    EXPECT_EQ(ReadChunkDataAs3ds<AutoReflectData3ds>(Find3ds(entry, 0xA310))->flags, 0x09);
    EXPECT_EQ(tags.back(), 0xA310u);

    Material3ds* r = nullptr;
    GetMaterialByIndex3ds(in.db(), 0, &r);
    ASSERT_FALSE(g_bErrorPending3ds);
    ASSERT_NE(r, nullptr);
    EXPECT_STREQ(r->name, "tile0");
    EXPECT_NEAR(r->diffuse.r, 0.2f, 1e-6);
    EXPECT_NEAR(r->diffuse.g, 0.4f, 1e-6);
    EXPECT_EQ(r->diffuse.b, 1.0f);
    EXPECT_EQ(r->ambient.r, 1.0f);
    EXPECT_FLOAT_EQ(r->shininess, 0.55f);
    EXPECT_FLOAT_EQ(r->transparency, 0.5f);
    EXPECT_FLOAT_EQ(r->transFalloff, -0.25f);
    EXPECT_EQ(r->twoSided, 1);
    EXPECT_EQ(r->soft, 1);
    EXPECT_EQ(r->decal, 0);
    EXPECT_EQ(r->wireSize, 2.0f);
    EXPECT_EQ(r->shading, 3);
    const TextureMap3ds& rt = r->texture1();
    EXPECT_STREQ(rt.name, "tile0.tga");
    EXPECT_FLOAT_EQ(rt.percent, 0.56f);
    EXPECT_EQ(rt.tiling, TILING_DECAL3DS);
    EXPECT_EQ(rt.mirror, 1);
    EXPECT_EQ(rt.negative, 0);
    EXPECT_EQ(rt.tint, TINT_RGB3DS);
    EXPECT_NEAR(rt.redTint.r, 0.2f, 1e-6);
    EXPECT_EQ(rt.uScale, 2.0f);
    EXPECT_EQ(rt.vScale, 1.0f);
    EXPECT_EQ(rt.vOffset, 0.5f);
    EXPECT_EQ(rt.rotation, 90.0f);
    EXPECT_EQ(rt.blur, 0.25f);
    const TextureMap3ds& rb = r->maps[MAP_BUMP3DS];
    EXPECT_STREQ(rb.name, "bump.tga");
    EXPECT_FLOAT_EQ(rb.percent, 0.3f);  // from 0xA252
    EXPECT_EQ(rb.procData, (std::vector<uint8_t>{9, 8, 7, 6}));
    EXPECT_STREQ(r->maps[MAP_REFLECTION3DS].name, "refl.tga");
    EXPECT_EQ(r->autoReflect.on, 1);
    EXPECT_EQ(r->autoReflect.firstFrameOnly, 1);
    EXPECT_EQ(r->autoReflect.flatMirror, 0);
    EXPECT_EQ(r->autoReflect.mapSize, 256);
    EXPECT_STREQ(r->maps[MAP_OPACITY3DS].name, "");

    // An index past the end leaves the record untouched.
    Material3ds* none = nullptr;
    GetMaterialByIndex3ds(in.db(), 1, &none);
    EXPECT_EQ(none, nullptr);
    EXPECT_FALSE(g_bErrorPending3ds);
    ReleaseMaterial3ds(&r);
    ReleaseMaterial3ds(&m);
}

TEST_F(Material3dsTest, PlainMapWritesOnlyPercentNameAndFlags) {
    Database3ds* db = NewMeshDatabase3ds();
    Material3ds* m = nullptr;
    InitMaterial3ds(&m);
    std::strcpy(m->name, "plain");
    std::strcpy(m->texture1().name, "a.tga");
    m->texture1().percent = 1.0f;
    m->wire = 1;
    PutMaterial3ds(db, m);
    ASSERT_FALSE(g_bErrorPending3ds);
    Chunk3ds* entry = Find3ds(db->topChunk.get(), 0xAFFF);
    EXPECT_EQ(ChildTags3ds(Find3ds(entry, 0xA200)), (std::vector<uint32_t>{0x0030, 0xA300, 0xA351}));
    EXPECT_EQ(ReadChunkDataAs3ds<Int16Data3ds>(Find3ds(Find3ds(entry, 0xA200), 0x0030))->value, 100);
    EXPECT_NE(Find3ds(entry, 0xA085), nullptr);
    // Colours have both byte children.
    EXPECT_EQ(ChildTags3ds(Find3ds(entry, 0xA020)), (std::vector<uint32_t>{0x0011, 0x0012}));

    // Wire read back: shading 0, wire flag clear.
    std::vector<uint8_t> bytes = WriteDatabaseBytes3ds(db);
    ReadDatabase3dsFixture in(bytes);
    Material3ds* r = nullptr;
    GetMaterialByIndex3ds(in.db(), 0, &r);
    ASSERT_NE(r, nullptr);
    EXPECT_FALSE(g_bErrorPending3ds);
    EXPECT_EQ(r->shading, 0);
    EXPECT_EQ(r->wire, 0);
    ReleaseMaterial3ds(&r);
    ReleaseMaterial3ds(&m);
    ReleaseDatabase3ds(&db);
}

TEST_F(Material3dsTest, PuttingTheSameNameTwiceReplacesTheEntryInItsPlace) {
    Database3ds* db = NewMeshDatabase3ds();
    Material3ds* m = nullptr;
    InitMaterial3ds(&m);
    std::strcpy(m->name, "a");
    PutMaterial3ds(db, m);
    std::strcpy(m->name, "b");
    PutMaterial3ds(db, m);
    std::strcpy(m->name, "a");
    m->specular = {0, 1.0f, 0};
    PutMaterial3ds(db, m);
    ASSERT_FALSE(g_bErrorPending3ds);
    EXPECT_EQ(GetMaterialCount3ds(db), 2u);
    Material3ds* r = nullptr;
    GetMaterialByIndex3ds(db, 0, &r);
    ASSERT_NE(r, nullptr);
    EXPECT_STREQ(r->name, "a");
    EXPECT_EQ(r->specular.g, 1.0f);
    GetMaterialByIndex3ds(db, 1, &r);
    EXPECT_STREQ(r->name, "b");
    EXPECT_EQ(r->specular.g, 0.0f);
    EXPECT_FALSE(g_bErrorPending3ds);
    ReleaseMaterial3ds(&r);

    // A material library keeps its entries under the top chunk.
    Database3ds* lib = nullptr;
    InitDatabase3ds(&lib);
    CreateNewDatabase3ds(lib, 3);
    PutMaterial3ds(lib, m);
    ASSERT_FALSE(g_bErrorPending3ds);
    EXPECT_EQ(ChildTags3ds(lib->topChunk.get()), (std::vector<uint32_t>{0xAFFF}));
    EXPECT_EQ(GetMaterialCount3ds(lib), 1u);
    ReleaseDatabase3ds(&lib);

    // A name of 17 bytes without a NUL does not fit.
    std::memset(m->name, 'x', sizeof m->name);
    PutMaterial3ds(db, m);
    EXPECT_EQ(g_ErrorList3ds[0].code, ERR_STRING_TOO_LONG);
    ReleaseMaterial3ds(&m);
    ReleaseDatabase3ds(&db);
}

TEST_F(Material3dsTest, HandMadeEntriesReadOrFailCleanly) {
    // Diffuse with only a 0x0011 child (255, 128, 0).
    std::vector<uint8_t> good = MaterialFile({
        Chunk3dsBytes(0xA000, Body3ds().str("m1")),
        Chunk3dsBytes(0xA020, {}, {Chunk3dsBytes(0x0011, Body3ds().u8(255).u8(128).u8(0))}),
        Chunk3dsBytes(0xA040, {}, {Chunk3dsBytes(0x0031, Body3ds().f32(0.75f))}),
    });
    {
        ReadDatabase3dsFixture in(good);
        Material3ds* r = nullptr;
        GetMaterialByIndex3ds(in.db(), 0, &r);
        ASSERT_FALSE(g_bErrorPending3ds);
        ASSERT_NE(r, nullptr);
        EXPECT_STREQ(r->name, "m1");
        EXPECT_EQ(r->diffuse.r, 1.0f);
        EXPECT_NEAR(r->diffuse.g, 0.50196f, 1e-5);
        EXPECT_EQ(r->diffuse.b, 0.0f);
        EXPECT_EQ(r->shininess, 0.75f);
        ReleaseMaterial3ds(&r);
    }
    // An unknown child tag.
    std::vector<uint8_t> unknown = MaterialFile({
        Chunk3dsBytes(0xA000, Body3ds().str("m2")),
        Chunk3dsBytes(0xA0FF, Body3ds().u32(0)),
    });
    {
        ReadDatabase3dsFixture in(unknown);
        ASSERT_FALSE(g_bErrorPending3ds);
        Material3ds* r = nullptr;
        GetMaterialByIndex3ds(in.db(), 0, &r);
        EXPECT_TRUE(g_bErrorPending3ds);
        EXPECT_EQ(g_ErrorList3ds[0].code, ERR_INVALID_CHUNK);
        ASSERT_NE(r, nullptr);
        EXPECT_STREQ(r->name, "m2");  // filled as far as it got
        ReleaseMaterial3ds(&r);
        ClearErrorList3ds();
    }
    // Colours as other tools write them: floats (0x0010), or only the gamma-corrected
    // bytes (0x0012), read like byte colours.
    std::vector<uint8_t> floats = MaterialFile({
        Chunk3dsBytes(0xA000, Body3ds().str("m4")),
        Chunk3dsBytes(0xA010, {}, {Chunk3dsBytes(0x0010, Body3ds().f32(1.0f).f32(0.5f).f32(2.0f))}),
        Chunk3dsBytes(0xA020, {}, {Chunk3dsBytes(0x0012, Body3ds().u8(255).u8(0).u8(51))}),
    });
    {
        ReadDatabase3dsFixture in(floats);
        Material3ds* r = nullptr;
        GetMaterialByIndex3ds(in.db(), 0, &r);
        ASSERT_FALSE(g_bErrorPending3ds);
        EXPECT_EQ(r->ambient.r, 1.0f);
        EXPECT_EQ(r->ambient.g, 0.5f);
        EXPECT_EQ(r->ambient.b, 1.0f);  // kept within 0..1
        EXPECT_EQ(r->diffuse.r, 1.0f);
        EXPECT_NEAR(r->diffuse.b, 0.2f, 1e-6);
        ReleaseMaterial3ds(&r);
    }
    // A colour chunk without any colour.
    std::vector<uint8_t> noColor = MaterialFile({
        Chunk3dsBytes(0xA000, Body3ds().str("m3")),
        Chunk3dsBytes(0xA010, {}, {Chunk3dsBytes(0x0030, Body3ds().u16(5))}),
    });
    {
        ReadDatabase3dsFixture in(noColor);
        Material3ds* r = nullptr;
        GetMaterialByIndex3ds(in.db(), 0, &r);
        EXPECT_EQ(g_ErrorList3ds[0].code, ERR_UNFOUND_CHUNK);
        ReleaseMaterial3ds(&r);
        ClearErrorList3ds();
    }
    // A map name chunk whose string runs past its chunk.
    std::vector<uint8_t> cut = MaterialFile({
        Chunk3dsBytes(0xA200, {}, {Chunk3dsBytes(0xA300, Body3ds().u8('a').u8('b'))}),
    });
    {
        ReadDatabase3dsFixture in(cut);
        Material3ds* r = nullptr;
        if (!g_bErrorPending3ds) GetMaterialByIndex3ds(in.db(), 0, &r);
        EXPECT_TRUE(g_bErrorPending3ds);
        ReleaseMaterial3ds(&r);
        ClearErrorList3ds();
    }
    // Not an entry; wrong database kinds.
    Chunk3ds* chunk = nullptr;
    NewChunkTag3ds(&chunk, 0x4000);
    Material3ds* r = nullptr;
    ReadMaterial3ds(chunk, &r);
    EXPECT_EQ(g_ErrorList3ds[0].code, ERR_INVALID_CHUNK);
    EXPECT_EQ(r, nullptr);
    ReleaseChunk3ds(&chunk);
    ClearErrorList3ds();
    Database3ds* empty = nullptr;
    InitDatabase3ds(&empty);
    EXPECT_EQ(GetMaterialCount3ds(empty), 0u);
    EXPECT_EQ(g_ErrorList3ds[0].code, ERR_INVALID_DATABASE);
    ReleaseDatabase3ds(&empty);
}

}  // namespace
