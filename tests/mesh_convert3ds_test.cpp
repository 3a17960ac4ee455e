// Export glue: creating a mesh-file database and saving it.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <iterator>
#include <vector>

#include "TestSupport.h"
#include "fixtures/Db3dsBytes.h"
#include "interchange3ds/Errors3ds.h"
#include "interchange3ds/Files3ds.h"
#include "interchange3ds/Material3ds.h"
#include "interchange3ds/MeshConvert3ds.h"
#include "level/Pixels.h"
#include "level/TrLstMsh.h"
#include "platform/Files.h"
#include "platform/Messages.h"

namespace lithoscope {
namespace {

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

TEST(MeshConvert3ds, ExportDatabaseIsSavedAsMeshFile) {
    test::TempDir dir;
    const std::string path = dir.file("scene.3ds");
    Database3ds* db = nullptr;
    std::string error;
    ASSERT_TRUE(CreateExportDatabase3ds(&db, &error)) << error;
    ASSERT_NE(db, nullptr);
    EXPECT_TRUE(SaveExportDatabase3ds(&db, path.c_str(), &error)) << error;
    EXPECT_EQ(db, nullptr);  // released by the save

    // A mesh file: main chunk 0x4D4D (little endian) whose length is the file's size.
    std::vector<uint8_t> bytes = ReadBytes(path);
    ASSERT_GE(bytes.size(), 6u);
    EXPECT_EQ(bytes[0], 0x4D);
    EXPECT_EQ(bytes[1], 0x4D);
    uint32_t length = bytes[2] | bytes[3] << 8 | bytes[4] << 16 | uint32_t(bytes[5]) << 24;
    EXPECT_EQ(length, bytes.size());
    auto contains = [&](std::vector<uint8_t> pattern) {
        return std::search(bytes.begin(), bytes.end(), pattern.begin(), pattern.end()) !=
               bytes.end();
    };
    // Ambient light chunk 0x2100 with a float colour of 0.15 (0x3E19999A) each.
    EXPECT_TRUE(contains({0x00, 0x21}));
    EXPECT_TRUE(contains({0x9A, 0x99, 0x19, 0x3E, 0x9A, 0x99, 0x19, 0x3E, 0x9A, 0x99, 0x19, 0x3E}));
    // The vertical gradient is in use: empty chunk 0x1301 (header only, length 6).
    EXPECT_TRUE(contains({0x01, 0x13, 0x06, 0x00, 0x00, 0x00}));

    // It reads back without a toolkit error.
    ClearErrorList3ds();
    File3ds* file = OpenFile3ds(path.c_str(), "r");
    ASSERT_NE(file, nullptr);
    Database3ds* back = nullptr;
    InitDatabase3ds(&back);
    ReadDatabase3ds(file, back);
    EXPECT_FALSE(IsErrorPending3ds());
    ReleaseDatabase3ds(&back);
    CloseAllFiles3ds();
    ClearErrorList3ds();
}

TEST(MeshConvert3ds, FailedSaveReturnsFalseWithErrorText) {
    test::TempDir dir;
    const std::string path = dir.file("missing-folder/scene.3ds");
    Database3ds* db = nullptr;
    std::string error;
    ASSERT_TRUE(CreateExportDatabase3ds(&db, &error));
    // The process goes on: false, the list's text, and the database released.
    EXPECT_FALSE(SaveExportDatabase3ds(&db, path.c_str(), &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(db, nullptr);
    EXPECT_TRUE(ReadBytes(path).empty());

    // A new export starts from a cleared error list.
    ASSERT_TRUE(CreateExportDatabase3ds(&db, &error)) << error;
    EXPECT_TRUE(SaveExportDatabase3ds(&db, dir.file("ok.3ds").c_str(), &error)) << error;
    EXPECT_FALSE(ReadBytes(dir.file("ok.3ds")).empty());

    // A null database is refused.
    EXPECT_FALSE(SaveExportDatabase3ds(nullptr, path.c_str(), &error));
    EXPECT_FALSE(CreateExportDatabase3ds(nullptr, &error));
    EXPECT_FALSE(error.empty());
    ClearErrorList3ds();
}

// A mesh list of one mesh on a 64 x 768 page (three bands), every pixel showing its place.
CTrLstMsh ThreeBandList() {
    CTrLstMsh list;
    list.width = 64;
    list.height = 768;
    list.bitsPerPixel = 16;
    list.pixels.resize(64 * 768 * 2);
    for (uint32_t y = 0; y < 768; ++y)
        for (uint32_t x = 0; x < 64; ++x)
            PutU16(&list.pixels[2 * (y * 64 + x)], uint16_t(0x8000 | ((y * 64 + x) & 0x7FFF)));
    // Texture 0: tile 2, corners (10, 10) [adjustments 1, 255 -> -1], (20, 10), (20, 30), (10, 30).
    TrObjectTextureRecord t;
    t.setU16(2, 2);
    const uint8_t corners[4][4] = {{1, 10, 255, 10}, {255, 20, 1, 10}, {255, 20, 255, 30}, {1, 10, 255, 30}};
    for (int k = 0; k < 4; ++k) std::memcpy(t.corner(k), corners[k], 4);
    list.textures.push_back(t);
    // Texture 1: the top right pixel of band 0, its settled bytes pointing off it.
    TrObjectTextureRecord dot;
    const std::array<uint8_t, 4> corner = {255, 63, 255, 0};
    for (int k = 0; k < 3; ++k) std::memcpy(dot.corner(k), corner.data(), 4);
    list.textures.push_back(dot);
    list.meshes.resize(1);
    TrMeshRecord& m = list.meshes[0];
    m.Init(5, 1, 2, false, true);
    for (int i = 0; i < 5; ++i) m.vertices[size_t(i)] = {int16_t(i * 10), int16_t(-i), int16_t(i + 100)};
    for (int r = 0; r < 2; ++r)
        for (int k = 0; k < 4; ++k) m.texturedRectangles[size_t(r)].setVertex(k, uint16_t((k + r) % 5));
    for (int k = 0; k < 3; ++k) m.texturedTriangles[0].setVertex(k, uint16_t(k + 2));
    m.texturedTriangles[0].setTexture(1);
    return list;
}

TEST(MeshConvert3ds, MeshExportWritesFacesCornersAndPicture) {
    test::TempDir dir;
    CTrLstMsh list = ThreeBandList();
    const std::string path = dir.file("mesh.3ds");
    std::string error;
    ASSERT_TRUE(ExportMeshTo3ds(&list, 0, path.c_str(), "pic", &error)) << error;
    EXPECT_TRUE(FileExists(dir.file("pic.tga")));

    test::ReadDatabase3dsFixture in(ReadBytes(path));
    ASSERT_FALSE(IsErrorPending3ds());
    Mesh3ds* mesh = nullptr;
    GetMeshByName3ds(in.db(), "M", &mesh);
    ASSERT_NE(mesh, nullptr);
    // 2 rectangles and 1 triangle: 5 faces of their own 3 vertices each.
    EXPECT_EQ(mesh->faceCount(), 5u);
    EXPECT_EQ(mesh->vertexCount(), 15u);
    // The last rectangle first: its corners 2, 1, 0 in level axes (x, z, -y).
    const TrMeshVertex v = list.meshes[0].vertices[list.meshes[0].texturedRectangles[1].vertex(2)];
    EXPECT_EQ(mesh->vertices[0].x, float(v.x));
    EXPECT_EQ(mesh->vertices[0].y, float(v.z));
    EXPECT_EQ(mesh->vertices[0].z, -float(v.y));
    // Corner 2 of the texture: pixel (20, 30) of band 2 on the 64 x 768 page, whatever its
    // coordinate bytes.
    EXPECT_FLOAT_EQ(mesh->textureVertices[0].u, 20.0f / 63.0f);
    EXPECT_FLOAT_EQ(mesh->textureVertices[0].v, 1.0f - (30.0f + 512.0f) / 767.0f);
    // The triangle's one-pixel texture: on its pixel, the page's corner.
    for (size_t k = 12; k < 15; ++k) {
        EXPECT_EQ(mesh->textureVertices[k].u, 1.0f);
        EXPECT_EQ(mesh->textureVertices[k].v, 1.0f);
    }
    ASSERT_EQ(mesh->materialGroupCount(), 1u);
    EXPECT_STREQ(mesh->materialGroups[0].name, "tile0");
    ReleaseMesh3ds(&mesh);
    Material3ds* material = nullptr;
    GetMaterialByIndex3ds(in.db(), 0, &material);
    ASSERT_NE(material, nullptr);
    EXPECT_STREQ(material->texture1().name, "pic.tga");
    ReleaseMaterial3ds(&material);

    // Imported again, the triangle shows that pixel, and the first face (corners 2, 1, 0 of
    // the last rectangle) its three pixels, each corner's bytes telling the edge of the face
    // it lies on: 1 low, 255 high.
    ScriptedMessageBackend messages;
    ScopedMessageBackend scoped(&messages);
    CTrLstMsh back;
    ASSERT_TRUE(ImportMeshFrom3ds(nullptr, &back, path.c_str(), false, false));
    ASSERT_EQ(back.meshes[0].texturedTriangles.size(), 5u);
    const std::vector<uint16_t> page = back.Page16();
    auto texel = [&](const TrObjectTextureRecord& t, int k) {
        const size_t y = t.corner(k)[3] + 256u * (t.page() & 0xFF);
        return page[y * back.width + t.corner(k)[1]];
    };
    const TrObjectTextureRecord& dotBack = back.textures[back.meshes[0].texturedTriangles[4].texture() & 0x7FFF];
    for (int k = 0; k < 3; ++k) EXPECT_EQ(texel(dotBack, k), 0x8000 | 63);
    const TrObjectTextureRecord& first = back.textures[back.meshes[0].texturedTriangles[0].texture() & 0x7FFF];
    const int place[3][2] = {{10, 10}, {20, 10}, {20, 30}};
    const uint8_t bytes[3][2] = {{1, 1}, {255, 1}, {255, 255}};
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(texel(first, k), 0x8000 | (((place[k][1] + 512) * 64 + place[k][0]) & 0x7FFF));
        EXPECT_EQ(first.corner(k)[0], bytes[k][0]);
        EXPECT_EQ(first.corner(k)[2], bytes[k][1]);
    }

    // A mesh with nothing to draw, or whose faces name no vertex of its own: refused with
    // the reason, no file and no picture written.
    CTrLstMsh astray = list;
    for (TrMeshTriangle& t : astray.meshes[0].texturedTriangles) t.setVertex(0, 999);
    for (TrMeshRectangle& r : astray.meshes[0].texturedRectangles) r.setVertex(0, 999);
    list.ClearMesh(0);
    for (CTrLstMsh* nothing : {&list, &astray}) {
        error.clear();
        EXPECT_FALSE(ExportMeshTo3ds(nothing, 0, dir.file("empty.3ds").c_str(), "nopic", &error));
        EXPECT_EQ(error, kNothingToExport3ds);
        EXPECT_FALSE(FileExists(dir.file("empty.3ds")));
        EXPECT_FALSE(FileExists(dir.file("nopic.tga")));
    }
}

TEST(MeshConvert3ds, AFailedWriteChangesNothingAndAMissingPictureDropsItsFaces) {
    test::TempDir dir;
    ScriptedMessageBackend messages;
    ScopedMessageBackend scoped(&messages);
    CTrLstMsh list = ThreeBandList();
    const std::string path = dir.file("mesh.3ds");
    ASSERT_TRUE(ExportMeshTo3ds(&list, 0, path.c_str(), "mesh"));
    const std::vector<uint8_t> oldFile = ReadBytes(path), oldPicture = ReadBytes(dir.file("mesh.tga"));
    list.meshes[0].vertices[0].x = 1234;
    for (SafeWriteFault fault : {SafeWriteFault::Create, SafeWriteFault::Rename}) {
        SetSafeWriteFault(fault);
        std::string error;
        EXPECT_FALSE(ExportMeshTo3ds(&list, 0, path.c_str(), "mesh", &error));
        SetSafeWriteFault(SafeWriteFault::None);
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(ReadBytes(path), oldFile);
        EXPECT_EQ(ReadBytes(dir.file("mesh.tga")), oldPicture);
    }
    std::remove(dir.file("mesh.tga").c_str());
    CTrLstMsh bare;
    ASSERT_TRUE(ImportMeshFrom3ds(nullptr, &bare, path.c_str(), false, false));
    EXPECT_TRUE(messages.Saw("Error loading the texture '" + dir.file("mesh.tga") + "' for material 'tile0'"));
    EXPECT_TRUE(bare.meshes[0].texturedTriangles.empty());
    EXPECT_FALSE(bare.meshes[0].vertices.empty());
}

}  // namespace
}  // namespace lithoscope
