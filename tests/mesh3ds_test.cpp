#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "fixtures/Db3dsBytes.h"
#include "interchange3ds/Mesh3ds.h"

using namespace lithoscope;
using namespace lithoscope::test;

namespace {

struct Mesh3dsTest : ::testing::Test {
    void SetUp() override { ClearErrorList3ds(); }
    void TearDown() override { ClearErrorList3ds(); }
};

// A mesh file with one named object "obj" whose 0x4100 holds the given children.
std::vector<uint8_t> MeshFile(std::initializer_list<std::vector<uint8_t>> triChildren) {
    std::vector<uint8_t> tri = Chunk3dsBytes(0x4100, {}, triChildren);
    std::vector<uint8_t> obj = Chunk3dsBytes(0x4000, Body3ds().str("obj"), {tri});
    return Chunk3dsBytes(0x4D4D, {}, {Chunk3dsBytes(0x3D3D, {}, {obj})});
}

std::vector<uint8_t> ThreeVertices() {
    return Chunk3dsBytes(0x4110, Body3ds().u16(3).f32(0).f32(0).f32(0).f32(1).f32(0).f32(0).f32(0).f32(1).f32(0));
}

Body3ds OneFace(uint16_t a, uint16_t b, uint16_t c) {
    return Body3ds().u16(1).u16(a).u16(b).u16(c).u16(7);
}

TEST_F(Mesh3dsTest, InitSizesArraysAndBoundsSetTheOrigin) {
    Mesh3ds* m = nullptr;
    InitMesh3ds(&m, 3, 1, 0);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->vertexCount(), 3u);
    EXPECT_EQ(m->vertices[2].x, 0.0f);
    ASSERT_EQ(m->faceCount(), 1u);
    EXPECT_EQ(m->faces[0].a, 0);
    EXPECT_EQ(m->faces[0].b, 1);
    EXPECT_EQ(m->faces[0].c, 2);
    EXPECT_EQ(m->faces[0].flags, 0);
    EXPECT_EQ(m->textureVertexCount(), 0u);
    EXPECT_TRUE(m->smoothing.empty());
    EXPECT_EQ(m->mapInfo.matrix[0], 1.0f);
    EXPECT_EQ(m->mapInfo.matrix[4], 1.0f);
    EXPECT_EQ(m->mapInfo.tileX, 1.0f);

    InitMesh3ds(&m, 2, 4, MESH_TEXTURE_VERTICES3DS | MESH_SMOOTHING3DS | MESH_VERTEX_FLAGS3DS);
    EXPECT_EQ(m->textureVertexCount(), 2u);
    EXPECT_EQ(m->vertexFlagCount(), 2u);
    EXPECT_EQ(m->smoothing.size(), 4u);
    m->faces.resize(6, Face3ds{0, 1, 2, 0});
    InitMeshArrays3ds(m, MESH_SMOOTHING3DS);
    EXPECT_EQ(m->smoothing.size(), 6u);
    FreeMeshArrays3ds(m, MESH_TEXTURE_VERTICES3DS | MESH_FACES3DS);
    EXPECT_EQ(m->textureVertexCount(), 0u);
    EXPECT_EQ(m->faceCount(), 0u);
    EXPECT_EQ(m->vertexCount(), 2u);

    m->vertices = {{0, 0, 0}, {2, 4, -6}};
    ComputeMeshBounds3ds(m);
    EXPECT_FALSE(g_bErrorPending3ds);
    EXPECT_EQ(m->localMatrix[0], 1.0f);
    EXPECT_EQ(m->localMatrix[4], 1.0f);
    EXPECT_EQ(m->localMatrix[8], 1.0f);
    EXPECT_EQ(m->localMatrix[1], 0.0f);
    EXPECT_EQ(m->localMatrix[9], 1.0f);
    EXPECT_EQ(m->localMatrix[10], 2.0f);
    EXPECT_EQ(m->localMatrix[11], -3.0f);
    EXPECT_EQ(m->vertices[1].z, -6.0f);  // vertices unchanged

    m->vertices.clear();
    ComputeMeshBounds3ds(m);
    EXPECT_EQ(g_ErrorList3ds[0].code, ERR_INVALID_DATA);
    ClearErrorList3ds();
    ReleaseMesh3ds(&m);
    EXPECT_EQ(m, nullptr);
    InitMesh3ds(nullptr, 1, 1, 0);
    EXPECT_EQ(g_ErrorList3ds[0].code, ERR_INVALID_ARG);
}

TEST_F(Mesh3dsTest, MeshRoundTripsWithTextureVerticesFacesAndGroups) {
    Database3ds* db = NewMeshDatabase3ds();
    Mesh3ds* m = nullptr;
    InitMesh3ds(&m, 4, 2, MESH_TEXTURE_VERTICES3DS);
    std::strcpy(m->name, "M");
    m->vertices = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0.5f}};
    m->textureVertices = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    m->faces = {{0, 1, 2, 7}, {2, 3, 0, 7}};
    m->smoothing = {1, 2};
    m->materialGroups.resize(2);
    std::strcpy(m->materialGroups[0].name, "tile0");
    m->materialGroups[0].faces = {1, 0};
    std::strcpy(m->materialGroups[1].name, "empty");
    m->hidden = 1;
    m->frozen = 1;
    m->meshColor = 5;
    m->useMapInfo = 1;
    m->mapInfo.mapType = 2;
    m->mapInfo.planarWidth = 3.0f;
    m->useBoxMap = 1;
    std::strcpy(m->boxMap[3], "side");
    ComputeMeshBounds3ds(m);
    PutMesh3ds(db, m);
    ASSERT_FALSE(g_bErrorPending3ds);
    std::vector<uint8_t> bytes = WriteDatabaseBytes3ds(db);
    ASSERT_FALSE(g_bErrorPending3ds);
    ReleaseDatabase3ds(&db);

    ReadDatabase3dsFixture in(bytes);
    ASSERT_FALSE(g_bErrorPending3ds);
    Chunk3ds* obj = Find3ds(in.db()->topChunk.get(), 0x4000);
    ASSERT_NE(obj, nullptr);
    EXPECT_EQ(ChildTags3ds(obj), (std::vector<uint32_t>{0x4100, 0x4010, 0x4016}));
    EXPECT_EQ(ChildTags3ds(Find3ds(obj, 0x4100)),
              (std::vector<uint32_t>{0x4110, 0x4140, 0x4170, 0x4160, 0x4165, 0x4120}));
    EXPECT_EQ(ChildTags3ds(Find3ds(obj, 0x4120)), (std::vector<uint32_t>{0x4130, 0x4130, 0x4150, 0x4190}));
    // The empty group: its name and a count of 0, nothing more.
    Chunk3ds* second = Find3ds(obj, 0x4120)->Child()->Next();
    EXPECT_EQ(second->size, 6u + 6u + 2u);

    EXPECT_EQ(GetMeshCount3ds(in.db()), 1u);
    Mesh3ds* r = nullptr;
    GetMeshByIndex3ds(in.db(), 0, &r);
    ASSERT_FALSE(g_bErrorPending3ds);
    ASSERT_NE(r, nullptr);
    EXPECT_STREQ(r->name, "M");
    ASSERT_EQ(r->vertexCount(), 4u);
    EXPECT_EQ(r->vertices[3].z, 0.5f);
    ASSERT_EQ(r->textureVertexCount(), 4u);
    EXPECT_EQ(r->textureVertices[2].v, 1.0f);
    ASSERT_EQ(r->faceCount(), 2u);
    EXPECT_EQ(r->faces[1].b, 3);
    EXPECT_EQ(r->faces[1].flags, 7);
    EXPECT_EQ(r->smoothing, (std::vector<uint32_t>{1, 2}));
    ASSERT_EQ(r->materialGroupCount(), 2u);
    EXPECT_STREQ(r->materialGroups[0].name, "tile0");
    EXPECT_EQ(r->materialGroups[0].faces, (std::vector<uint16_t>{1, 0}));
    EXPECT_EQ(r->materialGroups[1].faceCount(), 0);
    EXPECT_EQ(r->hidden, 1);
    EXPECT_EQ(r->frozen, 1);
    EXPECT_EQ(r->matte, 0);
    EXPECT_EQ(r->meshColor, 5);
    EXPECT_EQ(r->useMapInfo, 1);
    EXPECT_EQ(r->mapInfo.mapType, 2);
    EXPECT_EQ(r->mapInfo.planarWidth, 3.0f);
    EXPECT_EQ(r->useBoxMap, 1);
    EXPECT_STREQ(r->boxMap[3], "side");
    EXPECT_EQ(r->localMatrix[9], 0.5f);
    EXPECT_EQ(r->localMatrix[11], 0.25f);
    // Reading again gives the same arrays: the database kept its own.
    Mesh3ds* again = nullptr;
    GetMeshByName3ds(in.db(), "M", &again);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->vertexCount(), 4u);
    EXPECT_EQ(again->materialGroups[0].faces.size(), 2u);
    ReleaseMesh3ds(&again);
    ReleaseMesh3ds(&r);
    ReleaseMesh3ds(&m);
}

TEST_F(Mesh3dsTest, CountsSkipOtherObjectsAndSameNameReplacesInPlace) {
    // A camera object, then two meshes.
    std::vector<uint8_t> camera = Chunk3dsBytes(
        0x4000, Body3ds().str("cam"),
        {Chunk3dsBytes(0x4700, Body3ds().f32(0).f32(0).f32(0).f32(1).f32(1).f32(1).f32(0).f32(45))});
    std::vector<uint8_t> meshA = Chunk3dsBytes(0x4000, Body3ds().str("A"), {Chunk3dsBytes(0x4100, {}, {ThreeVertices()})});
    std::vector<uint8_t> meshB = Chunk3dsBytes(
        0x4000, Body3ds().str("B"),
        {Chunk3dsBytes(0x4100, {}, {ThreeVertices(), Chunk3dsBytes(0x4120, OneFace(0, 1, 2))})});
    std::vector<uint8_t> file = Chunk3dsBytes(0x4D4D, {}, {Chunk3dsBytes(0x3D3D, {}, {camera, meshA, meshB})});
    ReadDatabase3dsFixture in(file);
    ASSERT_FALSE(g_bErrorPending3ds);
    EXPECT_EQ(GetMeshCount3ds(in.db()), 2u);
    Mesh3ds* r = nullptr;
    GetMeshByIndex3ds(in.db(), 1, &r);
    ASSERT_NE(r, nullptr);
    EXPECT_STREQ(r->name, "B");
    EXPECT_EQ(r->faceCount(), 1u);
    ReleaseMesh3ds(&r);
    GetMeshByIndex3ds(in.db(), 2, &r);
    EXPECT_EQ(r, nullptr);
    GetMeshByName3ds(in.db(), "cam", &r);
    EXPECT_EQ(r, nullptr);
    GetMeshByName3ds(in.db(), "b", &r);  // case-sensitive
    EXPECT_EQ(r, nullptr);
    EXPECT_FALSE(g_bErrorPending3ds);

    // Replacing "A" keeps it first among the objects; a mesh without faces has no 0x4120.
    Mesh3ds* m = nullptr;
    InitMesh3ds(&m, 2, 0, 0);
    std::strcpy(m->name, "A");
    PutMesh3ds(in.db(), m);
    ASSERT_FALSE(g_bErrorPending3ds);
    Chunk3ds* mdata = Find3ds(in.db()->topChunk.get(), 0x3D3D);
    std::vector<std::string> names;
    for (Chunk3ds* c = mdata->Child(); c; c = c->Next())
        if (c->tag == 0x4000) names.push_back(ReadChunkDataAs3ds<StringData3ds>(c)->value);
    EXPECT_EQ(names, (std::vector<std::string>{"cam", "A", "B"}));
    Chunk3ds* objA = nullptr;
    FindNamedObject3ds(in.db(), "A", &objA);
    ASSERT_NE(objA, nullptr);
    EXPECT_EQ(Find3ds(objA, 0x4120), nullptr);
    EXPECT_EQ(GetMeshCount3ds(in.db()), 2u);
    GetMeshByName3ds(in.db(), "A", &r);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->vertexCount(), 2u);
    ReleaseMesh3ds(&r);
    ReleaseMesh3ds(&m);
}

TEST_F(Mesh3dsTest, DamagedMeshesFailWithAnError) {
    struct Case {
        const char* what;
        std::vector<uint8_t> file;
    };
    std::vector<Case> cases = {
        {"face corner past the vertices", MeshFile({ThreeVertices(), Chunk3dsBytes(0x4120, OneFace(0, 1, 3))})},
        {"faces without vertices", MeshFile({Chunk3dsBytes(0x4120, OneFace(0, 1, 2))})},
        {"group face past the faces",
         MeshFile({ThreeVertices(),
                   Chunk3dsBytes(0x4120, OneFace(0, 1, 2),
                                 {Chunk3dsBytes(0x4130, Body3ds().str("mat").u16(1).u16(1))})})},
        {"smoothing count not the face count",
         MeshFile({ThreeVertices(),
                   Chunk3dsBytes(0x4120, OneFace(0, 1, 2), {Chunk3dsBytes(0x4150, Body3ds().u32(1).u32(2))})})},
        {"vertex count past the chunk", MeshFile({Chunk3dsBytes(0x4110, Body3ds().u16(60000).f32(1))})},
        {"group count past the chunk",
         MeshFile({ThreeVertices(),
                   Chunk3dsBytes(0x4120, OneFace(0, 1, 2),
                                 {Chunk3dsBytes(0x4130, Body3ds().str("mat").u16(40000))})})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ClearErrorList3ds();
        ReadDatabase3dsFixture in(c.file);
        Mesh3ds* r = nullptr;
        if (!g_bErrorPending3ds) GetMeshByIndex3ds(in.db(), 0, &r);
        EXPECT_TRUE(g_bErrorPending3ds);
        ReleaseMesh3ds(&r);
    }
    ClearErrorList3ds();
    {
        ReadDatabase3dsFixture in(cases[0].file);
        Mesh3ds* r = nullptr;
        GetMeshByIndex3ds(in.db(), 0, &r);
        EXPECT_EQ(g_ErrorList3ds[0].code, ERR_INVALID_CHUNK);
        ReleaseMesh3ds(&r);
    }
    ClearErrorList3ds();

    // A named object without a 0x4100 is not a mesh.
    Chunk3ds* obj = nullptr;
    NewChunkTag3ds(&obj, 0x4000);
    Mesh3ds* r = nullptr;
    ReadMesh3ds(obj, &r);
    EXPECT_EQ(g_ErrorList3ds[0].code, ERR_WRONG_OBJECT);
    ReleaseChunk3ds(&obj);
    ClearErrorList3ds();

    // A put refuses indices outside the mesh, with code 21 on top.
    Database3ds* db = NewMeshDatabase3ds();
    Mesh3ds* m = nullptr;
    InitMesh3ds(&m, 3, 1, 0);
    std::strcpy(m->name, "bad");
    m->faces[0].c = 3;
    PutMesh3ds(db, m);
    EXPECT_EQ(g_ErrorList3ds[0].code, ERR_INVALID_DATA);
    EXPECT_EQ(g_ErrorList3ds[1].code, 21);
    EXPECT_EQ(Find3ds(db->topChunk.get(), 0x4000), nullptr);
    ClearErrorList3ds();
    m->faces[0].c = 2;
    m->materialGroups.resize(1);
    m->materialGroups[0].faces = {1};
    PutMesh3ds(db, m);
    EXPECT_EQ(g_ErrorList3ds[0].code, ERR_INVALID_DATA);
    ClearErrorList3ds();
    m->materialGroups.clear();
    m->smoothing = {1, 2};
    PutMesh3ds(db, m);
    EXPECT_EQ(g_ErrorList3ds[0].code, ERR_INVALID_DATA);
    ClearErrorList3ds();
    ReleaseMesh3ds(&m);
    ReleaseDatabase3ds(&db);
}

TEST_F(Mesh3dsTest, ReplacingAnObjectKeepsItsExtendedData) {
    std::vector<uint8_t> xdata = Chunk3dsBytes(
        0x8000, {}, {Chunk3dsBytes(0x8001, {}, {Chunk3dsBytes(0x8002, Body3ds().str("app"))})});
    std::vector<uint8_t> obj = Chunk3dsBytes(
        0x4000, Body3ds().str("A"), {Chunk3dsBytes(0x4100, {}, {ThreeVertices()}), xdata});
    std::vector<uint8_t> file = Chunk3dsBytes(0x4D4D, {}, {Chunk3dsBytes(0x3D3D, {}, {obj})});
    std::vector<uint8_t> bytes;
    {
        ReadDatabase3dsFixture in(file);
        ASSERT_FALSE(g_bErrorPending3ds);
        Mesh3ds* m = nullptr;
        InitMesh3ds(&m, 3, 1, 0);
        std::strcpy(m->name, "A");
        PutMesh3ds(in.db(), m);
        ReleaseMesh3ds(&m);
        ASSERT_FALSE(g_bErrorPending3ds);
        bytes = WriteDatabaseBytes3ds(in.db());
        ASSERT_FALSE(g_bErrorPending3ds);
    }
    ReadDatabase3dsFixture in(bytes);
    ASSERT_FALSE(g_bErrorPending3ds);
    Chunk3ds* tri = Find3ds(in.db()->topChunk.get(), 0x4100);
    ASSERT_NE(tri, nullptr);
    Chunk3ds* x = Find3ds(tri, 0x8000);
    ASSERT_NE(x, nullptr);
    StringData3ds* app = ReadChunkDataAs3ds<StringData3ds>(Find3ds(x, 0x8002));
    ASSERT_NE(app, nullptr);
    EXPECT_EQ(app->value, "app");
    EXPECT_EQ(ChildTags3ds(tri).back(), 0x8000u);
    Mesh3ds* r = nullptr;
    GetMeshByIndex3ds(in.db(), 0, &r);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->faceCount(), 1u);
    EXPECT_FALSE(g_bErrorPending3ds);
    ReleaseMesh3ds(&r);
}

}  // namespace
