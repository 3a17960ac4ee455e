#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "fixtures/Db3dsBytes.h"
#include "interchange3ds/Keyframer3ds.h"
#include "interchange3ds/Material3ds.h"
#include "interchange3ds/Mesh3ds.h"
#include "interchange3ds/Scene3ds.h"

using namespace lithoscope;
using namespace lithoscope::test;

namespace {

uint32_t FloatBits(float f) {
    uint32_t u;
    std::memcpy(&u, &f, 4);
    return u;
}

struct Scene3dsTest : ::testing::Test {
    void SetUp() override { ClearErrorList3ds(); }
    void TearDown() override { ClearErrorList3ds(); }
};

TEST_F(Scene3dsTest, InitialisersSetTheDefaults) {
    MeshSettings3ds* s = nullptr;
    InitMeshSettings3ds(&s);
    ASSERT_NE(s, nullptr);
    EXPECT_FALSE(g_bErrorPending3ds);
    EXPECT_EQ(s->masterScale, 1.0f);
    EXPECT_EQ(s->shadowBias, 1.0f);
    EXPECT_EQ(s->rayTraceBias, 1.0f);
    EXPECT_EQ(s->shadowMapSize, 512);
    EXPECT_EQ(s->shadowFilter, 3.0f);
    EXPECT_EQ(FloatBits(s->ambientLight.r), 0x3EC8C932u);
    EXPECT_EQ(FloatBits(s->ambientLight.b), 0x3EC8C932u);
    // An existing record is reset in place.
    s->masterScale = 7.0f;
    MeshSettings3ds* same = s;
    InitMeshSettings3ds(&s);
    EXPECT_EQ(s, same);
    EXPECT_EQ(s->masterScale, 1.0f);
    ReleaseMeshSettings3ds(&s);
    EXPECT_EQ(s, nullptr);

    Atmosphere3ds* a = nullptr;
    InitAtmosphere3ds(&a);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->fog.farPlane, 1000.0f);
    EXPECT_EQ(a->fog.farDensity, 100.0f);
    EXPECT_EQ(a->fog.fogBackground, 1);
    EXPECT_EQ(a->layerFog.top, 100.0f);
    EXPECT_EQ(a->layerFog.density, 50.0f);
    EXPECT_EQ(a->layerFog.fallOff, 0);
    EXPECT_EQ(a->distanceCue.farDimming, 100.0f);
    EXPECT_EQ(a->activeEffect, 0);
    ReleaseMeshSettings3ds(&a);
    EXPECT_EQ(a, nullptr);

    Background3ds* b = nullptr;
    InitBackground3ds(&b);
    ASSERT_NE(b, nullptr);
    EXPECT_TRUE(b->bitmap.empty());
    EXPECT_EQ(b->gradient.midpoint, 0.5f);
    EXPECT_EQ(b->backgroundInUse, 0);
    ReleaseBackground3ds(&b);
    EXPECT_EQ(b, nullptr);
    EXPECT_FALSE(g_bErrorPending3ds);

    // Null outer pointers.
    InitMeshSettings3ds(nullptr);
    EXPECT_TRUE(g_bErrorPending3ds);
    EXPECT_EQ(g_ErrorList3ds[0].code, ERR_INVALID_ARG);
    ClearErrorList3ds();
    ReleaseMeshSettings3ds(static_cast<MeshSettings3ds**>(nullptr));
    EXPECT_EQ(g_ErrorList3ds[0].code, ERR_INVALID_ARG);
    ClearErrorList3ds();
    ReleaseBackground3ds(nullptr);
    EXPECT_EQ(g_ErrorList3ds[0].code, ERR_INVALID_ARG);
    ClearErrorList3ds();
    Background3ds* none = nullptr;
    ReleaseBackground3ds(&none);  // a null record does nothing
    EXPECT_FALSE(g_bErrorPending3ds);
}

TEST_F(Scene3dsTest, MeshSettingsAreWrittenInRankOrderAndReadBack) {
    Database3ds* db = NewMeshDatabase3ds();
    MeshSettings3ds* s = nullptr;
    InitMeshSettings3ds(&s);
    s->masterScale = 2.5f;
    s->shadowMapSize = 1024;
    s->ambientLight = {0.15f, 0.25f, 0.35f};
    s->constantPlane = {1, 2, 3};
    PutMeshSettings3ds(db, s);
    ASSERT_FALSE(g_bErrorPending3ds);
    // Putting it again changes nothing in the shape of the tree.
    PutMeshSettings3ds(db, s);
    ReleaseMeshSettings3ds(&s);
    std::vector<uint8_t> bytes = WriteDatabaseBytes3ds(db);
    ReleaseDatabase3ds(&db);
    ASSERT_FALSE(g_bErrorPending3ds);

    ReadDatabase3dsFixture in(bytes);
    ASSERT_FALSE(g_bErrorPending3ds);
    Chunk3ds* mdata = Find3ds(in.db()->topChunk.get(), 0x3D3D);
    ASSERT_NE(mdata, nullptr);
    EXPECT_EQ(ChildTags3ds(mdata), (std::vector<uint32_t>{0x3D3E, 0x0100, 0x1400, 0x1420, 0x1450,
                                                           0x1460, 0x1500, 0x2100}));
    EXPECT_EQ(ReadChunkDataAs3ds<UInt32Data3ds>(Find3ds(mdata, 0x3D3E))->value, 3u);
    EXPECT_EQ(ReadChunkDataAs3ds<FloatData3ds>(Find3ds(mdata, 0x0100))->value, 2.5f);
    EXPECT_EQ(ReadChunkDataAs3ds<UInt16Data3ds>(Find3ds(mdata, 0x1420))->value, 1024);
    EXPECT_EQ(ReadChunkDataAs3ds<FloatData3ds>(Find3ds(mdata, 0x1450))->value, 3.0f);
    PointData3ds* plane = ReadChunkDataAs3ds<PointData3ds>(Find3ds(mdata, 0x1500));
    EXPECT_EQ(plane->value.z, 3.0f);
    Chunk3ds* ambient = Find3ds(mdata, 0x2100);
    EXPECT_EQ(ChildTags3ds(ambient), (std::vector<uint32_t>{0x0010, 0x0013}));
    ColorFData3ds* lin = ReadChunkDataAs3ds<ColorFData3ds>(Find3ds(ambient, 0x0013));
    EXPECT_EQ(lin->green, 0.25f);
    EXPECT_FALSE(g_bErrorPending3ds);
}

TEST_F(Scene3dsTest, BackgroundPutTwiceKeepsOneOfEachAndItsColourOrder) {
    Database3ds* db = NewMeshDatabase3ds();
    Background3ds* b = nullptr;
    InitBackground3ds(&b);
    b->solid = {0.5f, 0.5f, 0.5f};
    b->gradient.top = {0.5f, 0, 0};
    b->gradient.middle = {1.0f, 0, 0.5f};
    b->gradient.bottom = {0, 0, 0};
    b->backgroundInUse = USE_GRADIENT_BACKGROUND3DS;
    PutBackground3ds(db, b);
    PutBackground3ds(db, b);
    ASSERT_FALSE(g_bErrorPending3ds);
    std::vector<uint8_t> bytes = WriteDatabaseBytes3ds(db);
    ASSERT_FALSE(g_bErrorPending3ds);
    {
        ReadDatabase3dsFixture in(bytes);
        Chunk3ds* mdata = Find3ds(in.db()->topChunk.get(), 0x3D3D);
        ASSERT_NE(mdata, nullptr);
        std::vector<uint32_t> tags = ChildTags3ds(mdata);
        EXPECT_EQ(std::count(tags.begin(), tags.end(), 0x1100u), 1);
        EXPECT_EQ(std::count(tags.begin(), tags.end(), 0x1200u), 1);
        EXPECT_EQ(std::count(tags.begin(), tags.end(), 0x1300u), 1);
        EXPECT_EQ(std::count(tags.begin(), tags.end(), 0x1301u), 1);
        // No bitmap: the name is one NUL byte.
        EXPECT_EQ(Find3ds(mdata, 0x1100)->size, 7u);
        EXPECT_EQ(ChildTags3ds(Find3ds(mdata, 0x1200)), (std::vector<uint32_t>{0x0010, 0x0013}));
        Chunk3ds* grad = Find3ds(mdata, 0x1300);
        EXPECT_EQ(ChildTags3ds(grad),
                  (std::vector<uint32_t>{0x0010, 0x0013, 0x0010, 0x0013, 0x0010, 0x0013}));
        // Third colour chunk is the middle colour.
        Chunk3ds* c = grad->Child()->Next()->Next();
        ColorFData3ds* middle = ReadChunkDataAs3ds<ColorFData3ds>(c);
        EXPECT_EQ(middle->red, 1.0f);
        EXPECT_EQ(middle->blue, 0.5f);
        EXPECT_EQ(ReadChunkDataAs3ds<FloatData3ds>(grad)->value, 0.5f);
    }

    // Use 3 (the bitmap) replaces the gradient choice; use 0 removes any choice.
    b->bitmap = "sky.tga";
    b->backgroundInUse = USE_BITMAP_BACKGROUND3DS;
    PutBackground3ds(db, b);
    Chunk3ds* mdata = Find3ds(db->topChunk.get(), 0x3D3D);
    EXPECT_NE(Find3ds(mdata, 0x1101), nullptr);
    EXPECT_EQ(Find3ds(mdata, 0x1301), nullptr);
    b->backgroundInUse = USE_NO_BACKGROUND3DS;
    PutBackground3ds(db, b);
    bytes = WriteDatabaseBytes3ds(db);
    ASSERT_FALSE(g_bErrorPending3ds);
    {
        ReadDatabase3dsFixture in(bytes);
        Chunk3ds* m = Find3ds(in.db()->topChunk.get(), 0x3D3D);
        EXPECT_EQ(Find3ds(m, 0x1101), nullptr);
        EXPECT_EQ(Find3ds(m, 0x1201), nullptr);
        EXPECT_EQ(Find3ds(m, 0x1301), nullptr);
        EXPECT_EQ(ReadChunkDataAs3ds<StringData3ds>(Find3ds(m, 0x1100))->value, "sky.tga");
    }
    ReleaseBackground3ds(&b);
    ReleaseDatabase3ds(&db);
}

TEST_F(Scene3dsTest, AtmosphereKeepsOneActiveEffectInItsPlace) {
    Database3ds* db = NewMeshDatabase3ds();
    Atmosphere3ds* a = nullptr;
    InitAtmosphere3ds(&a);
    a->activeEffect = USE_FOG3DS;
    a->fog.color = {0.8f, 0, 0};
    a->layerFog.fallOff = FALLOFF_TOP3DS;
    a->distanceCue.dimBackground = 0;
    PutAtmosphere3ds(db, a);
    ASSERT_FALSE(g_bErrorPending3ds);
    Chunk3ds* mdata = Find3ds(db->topChunk.get(), 0x3D3D);
    std::vector<uint32_t> before = ChildTags3ds(mdata);
    auto at = std::find(before.begin(), before.end(), 0x2201u);
    ASSERT_NE(at, before.end());
    const auto place = at - before.begin();

    a->activeEffect = USE_LAYER_FOG3DS;
    PutAtmosphere3ds(db, a);
    ASSERT_FALSE(g_bErrorPending3ds);
    std::vector<uint8_t> bytes = WriteDatabaseBytes3ds(db);
    ASSERT_FALSE(g_bErrorPending3ds);
    ReadDatabase3dsFixture in(bytes);
    Chunk3ds* m = Find3ds(in.db()->topChunk.get(), 0x3D3D);
    std::vector<uint32_t> after = ChildTags3ds(m);
    EXPECT_EQ(std::count(after.begin(), after.end(), 0x2201u), 0);
    EXPECT_EQ(std::count(after.begin(), after.end(), 0x2301u), 0);
    ASSERT_EQ(std::count(after.begin(), after.end(), 0x2303u), 1);
    EXPECT_EQ(std::find(after.begin(), after.end(), 0x2303u) - after.begin(), place);

    // Fog with its colour and background flag; layered fog fall-off 1 gives 2, plus the
    // background bit; distance cue without the dim flag has no children.
    Chunk3ds* fog = Find3ds(m, 0x2200);
    EXPECT_EQ(ChildTags3ds(fog), (std::vector<uint32_t>{0x0010, 0x2210}));
    EXPECT_EQ(ReadChunkDataAs3ds<FogData3ds>(fog)->farPlane, 1000.0f);
    EXPECT_EQ(ReadChunkDataAs3ds<ColorFData3ds>(Find3ds(fog, 0x0010))->red, 0.8f);
    EXPECT_EQ(ReadChunkDataAs3ds<LayerFogData3ds>(Find3ds(m, 0x2302))->flags, 0x100002u);
    EXPECT_TRUE(ChildTags3ds(Find3ds(m, 0x2300)).empty());
    ReleaseMeshSettings3ds(&a);
    ReleaseDatabase3ds(&db);
}

TEST_F(Scene3dsTest, PutsRefuseBadArgumentsAndValuesBeforeChangingAnything) {
    MeshSettings3ds* s = nullptr;
    InitMeshSettings3ds(&s);
    PutMeshSettings3ds(nullptr, s);
    EXPECT_EQ(g_ErrorList3ds[0].code, ERR_INVALID_ARG);
    ClearErrorList3ds();

    Database3ds* empty = nullptr;
    InitDatabase3ds(&empty);
    PutMeshSettings3ds(empty, s);
    EXPECT_EQ(g_ErrorList3ds[0].code, ERR_INVALID_DATABASE);
    ClearErrorList3ds();
    ReleaseDatabase3ds(&empty);

    Database3ds* lib = nullptr;
    InitDatabase3ds(&lib);
    CreateNewDatabase3ds(lib, 3);
    PutMeshSettings3ds(lib, s);
    EXPECT_EQ(g_ErrorList3ds[0].code, ERR_WRONG_DATABASE);
    ClearErrorList3ds();
    ReleaseDatabase3ds(&lib);
    ReleaseMeshSettings3ds(&s);

    Database3ds* db = NewMeshDatabase3ds();
    Atmosphere3ds* a = nullptr;
    InitAtmosphere3ds(&a);
    a->activeEffect = 7;
    PutAtmosphere3ds(db, a);
    EXPECT_EQ(g_ErrorList3ds[0].code, ERR_INVALID_DATA);
    EXPECT_EQ(Find3ds(db->topChunk.get(), 0x2200), nullptr);
    ClearErrorList3ds();
    a->activeEffect = 0;
    a->layerFog.fallOff = 3;
    PutAtmosphere3ds(db, a);
    EXPECT_EQ(g_ErrorList3ds[0].code, ERR_INVALID_DATA);
    ClearErrorList3ds();
    ReleaseMeshSettings3ds(&a);

    Background3ds* b = nullptr;
    InitBackground3ds(&b);
    b->bitmap = "thirteen_char";  // 13 characters: 0x1100 holds 12
    PutBackground3ds(db, b);
    EXPECT_EQ(g_ErrorList3ds[0].code, ERR_STRING_TOO_LONG);
    EXPECT_EQ(Find3ds(db->topChunk.get(), 0x1100), nullptr);
    ClearErrorList3ds();
    // A pending error stops the put at once.
    b->bitmap.clear();
    PushError3ds(ERR_NO_MEM);
    PutBackground3ds(db, b);
    EXPECT_EQ(Find3ds(db->topChunk.get(), 0x1100), nullptr);
    ClearErrorList3ds();
    ReleaseBackground3ds(&b);
    ReleaseDatabase3ds(&db);
}

// The whole of an export: settings, a material, a mesh and a keyframer node in one file.
TEST_F(Scene3dsTest, ExportDatabaseKeepsItsSectionsInRankOrder) {
    Database3ds* db = NewMeshDatabase3ds();
    ObjectMotion3ds* om = nullptr;
    InitObjectMotion3ds(&om, 1, 1, 1, 0, 0);
    std::strcpy(om->name, "M");
    PutObjectMotion3ds(db, om);
    ReleaseObjectMotion3ds(&om);
    Mesh3ds* mesh = nullptr;
    InitMesh3ds(&mesh, 3, 1, MESH_TEXTURE_VERTICES3DS);
    std::strcpy(mesh->name, "M");
    mesh->materialGroups.resize(1);
    std::strcpy(mesh->materialGroups[0].name, "tile0");
    mesh->materialGroups[0].faces = {0};
    PutMesh3ds(db, mesh);
    ReleaseMesh3ds(&mesh);
    MeshSettings3ds* s = nullptr;
    InitMeshSettings3ds(&s);
    s->ambientLight = {0.15f, 0.15f, 0.15f};
    PutMeshSettings3ds(db, s);
    ReleaseMeshSettings3ds(&s);
    Material3ds* mat = nullptr;
    InitMaterial3ds(&mat);
    std::strcpy(mat->name, "tile0");
    std::strcpy(mat->texture1().name, "M.tga");
    PutMaterial3ds(db, mat);
    ReleaseMaterial3ds(&mat);
    Background3ds* b = nullptr;
    InitBackground3ds(&b);
    b->backgroundInUse = USE_GRADIENT_BACKGROUND3DS;
    PutBackground3ds(db, b);
    ReleaseBackground3ds(&b);
    ASSERT_FALSE(g_bErrorPending3ds);
    std::vector<uint8_t> bytes = WriteDatabaseBytes3ds(db);
    ReleaseDatabase3ds(&db);
    ASSERT_FALSE(g_bErrorPending3ds);

    ReadDatabase3dsFixture in(bytes);
    ASSERT_FALSE(g_bErrorPending3ds);
    EXPECT_EQ(ChildTags3ds(in.db()->topChunk.get()), (std::vector<uint32_t>{0x0002, 0x3D3D, 0xB000}));
    EXPECT_EQ(ChildTags3ds(Find3ds(in.db()->topChunk.get(), 0x3D3D)),
              (std::vector<uint32_t>{0x3D3E, 0xAFFF, 0x0100, 0x1400, 0x1420, 0x1450, 0x1460, 0x1500,
                                     0x2100, 0x1200, 0x1100, 0x1300, 0x1301, 0x4000}));
    EXPECT_EQ(GetMaterialCount3ds(in.db()), 1u);
    EXPECT_EQ(GetMeshCount3ds(in.db()), 1u);
    EXPECT_EQ(GetObjectNodeCount3ds(in.db()), 1u);
    Material3ds* rm = nullptr;
    GetMaterialByIndex3ds(in.db(), 0, &rm);
    ASSERT_NE(rm, nullptr);
    EXPECT_STREQ(rm->texture1().name, "M.tga");
    ReleaseMaterial3ds(&rm);
    Mesh3ds* r = nullptr;
    GetMeshByName3ds(in.db(), "M", &r);
    ASSERT_NE(r, nullptr);
    ASSERT_EQ(r->materialGroupCount(), 1u);
    EXPECT_STREQ(r->materialGroups[0].name, "tile0");
    EXPECT_EQ(r->textureVertexCount(), 3u);
    ReleaseMesh3ds(&r);
    EXPECT_FALSE(g_bErrorPending3ds);
}

// Every record read of a database, as an import does it; errors are allowed, faults not.
void ReadEverything(Database3ds* db) {
    for (uint32_t i = 0, n = GetMaterialCount3ds(db); i < n && !g_bErrorPending3ds; ++i) {
        Material3ds* m = nullptr;
        GetMaterialByIndex3ds(db, i, &m);
        ReleaseMaterial3ds(&m);
    }
    for (uint32_t i = 0, n = GetMeshCount3ds(db); i < n && !g_bErrorPending3ds; ++i) {
        Mesh3ds* m = nullptr;
        GetMeshByIndex3ds(db, i, &m);
        if (m && !g_bErrorPending3ds) {
            // What an importer relies on: every index inside the mesh.
            for (const Face3ds& f : m->faces) {
                EXPECT_LT(f.a, m->vertexCount());
                EXPECT_LT(f.c, m->vertexCount());
            }
            for (const MaterialGroup3ds& g : m->materialGroups)
                for (uint16_t k : g.faces) EXPECT_LT(k, m->faceCount());
        }
        ReleaseMesh3ds(&m);
    }
    KeyframeSettings3ds* kf = nullptr;
    GetKeyframeSettings3ds(db, &kf);
    ReleaseKeyframeSettings3ds(&kf);
    StringList3ds* names = nullptr;
    GetObjectNodeNames3ds(db, &names);
    ReleaseStringList3ds(&names);
    for (uint32_t i = 0, n = GetObjectNodeCount3ds(db); i < n && !g_bErrorPending3ds; ++i) {
        ObjectMotion3ds* om = nullptr;
        GetObjectMotionByIndex3ds(db, int(i), &om);
        if (om && !g_bErrorPending3ds) {
            EXPECT_EQ(om->position.values.size(), om->position.keys.size());
            EXPECT_EQ(om->rotation.values.size(), om->rotation.keys.size());
        }
        ReleaseObjectMotion3ds(&om);
    }
}

TEST_F(Scene3dsTest, TruncatedAndCorruptedFilesNeverFault) {
    Database3ds* db = NewMeshDatabase3ds();
    Material3ds* mat = nullptr;
    InitMaterial3ds(&mat);
    std::strcpy(mat->name, "tile0");
    std::strcpy(mat->texture1().name, "M.tga");
    PutMaterial3ds(db, mat);
    ReleaseMaterial3ds(&mat);
    Mesh3ds* mesh = nullptr;
    InitMesh3ds(&mesh, 3, 1, MESH_TEXTURE_VERTICES3DS | MESH_SMOOTHING3DS);
    std::strcpy(mesh->name, "M");
    mesh->materialGroups.resize(1);
    std::strcpy(mesh->materialGroups[0].name, "tile0");
    mesh->materialGroups[0].faces = {0};
    PutMesh3ds(db, mesh);
    ReleaseMesh3ds(&mesh);
    ObjectMotion3ds* om = nullptr;
    InitObjectMotion3ds(&om, 2, 2, 1, 0, 1);
    std::strcpy(om->name, "M");
    PutObjectMotion3ds(db, om);
    ReleaseObjectMotion3ds(&om);
    KeyframeSettings3ds* kf = nullptr;
    InitKeyframeSettings3ds(&kf);
    kf->segmentInUse = 1;
    PutKeyframeSettings3ds(db, kf);
    ReleaseKeyframeSettings3ds(&kf);
    ASSERT_FALSE(g_bErrorPending3ds);
    const std::vector<uint8_t> bytes = WriteDatabaseBytes3ds(db);
    ReleaseDatabase3ds(&db);
    ASSERT_FALSE(g_bErrorPending3ds);
    ASSERT_GT(bytes.size(), 100u);

    {
        // The intact file reads without an error.
        ReadDatabase3dsFixture in(bytes);
        ReadEverything(in.db());
        EXPECT_FALSE(g_bErrorPending3ds);
    }
    for (size_t n = 0; n < bytes.size(); ++n) {
        ClearErrorList3ds();
        std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + n);
        ReadDatabase3dsFixture in(cut);
        ClearErrorList3ds();  // read what there is, as far as it goes
        ReadEverything(in.db());
    }
    for (size_t i = 0; i < bytes.size(); ++i) {
        for (uint8_t v : {uint8_t(0xFF), uint8_t(0x00), uint8_t(bytes[i] ^ 0x01)}) {
            ClearErrorList3ds();
            std::vector<uint8_t> bad = bytes;
            bad[i] = v;
            ReadDatabase3dsFixture in(bad);
            ClearErrorList3ds();
            ReadEverything(in.db());
        }
    }
    ClearErrorList3ds();
}

}  // namespace
