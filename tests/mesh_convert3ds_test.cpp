// Export glue: creating a mesh-file database and saving it.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <vector>

#include "TestSupport.h"
#include "interchange3ds/Errors3ds.h"
#include "interchange3ds/Files3ds.h"
#include "interchange3ds/MeshConvert3ds.h"

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

}  // namespace
}  // namespace lithoscope
