#include <gtest/gtest.h>

#include "level/TrLevel.h"

using namespace lithoscope;

namespace {
void FillSome(CTrLevel& level) {
    level.version = TrVersion4;
    level.soundMapMode = 130;
    level.isTub = 1;
    level.path = "/x/level.tr4";
    level.name = "level";
    level.pages.assign(3, TrPage(kPagePixels, 0x8000));
    level.rooms.resize(2);
    level.rooms[0].vertices.resize(5);
    level.meshes.push_back(std::make_unique<TrMeshRecord>());
    level.meshPointers.push_back(0);
    level.pages32Chunk.unpackedSize = 10;
    level.pages32Chunk.data.assign(4, 1);
    level.miscChunk.data.assign(4, 2);
    level.samples.resize(2);
    level.samples[0].data.assign(8, 3);
    level.flybyCameras.resize(1);
    level.roomTextures.resize(4);
    level.unusedObjectTextures.resize(2);
    level.trailing.assign(7, 0);
    level.soundMap[2047] = 5;
    level.palette[255][2] = 63;
    level.lightMap[8191] = 1;
    level.roomPageCount = 1;
}

void ExpectEmpty(const CTrLevel& level) {
    EXPECT_EQ(level.version, TrVersionUnknown);
    EXPECT_EQ(level.soundMapMode, 0);
    EXPECT_EQ(level.isTub, 0);
    EXPECT_TRUE(level.path.empty());
    EXPECT_TRUE(level.name.empty());
    EXPECT_EQ(level.pageCount(), 0u);
    EXPECT_EQ(level.roomCount(), 0u);
    EXPECT_EQ(level.meshCount(), 0u);
    EXPECT_EQ(level.meshPointerCount(), 0u);
    EXPECT_EQ(level.sampleCount(), 0u);
    EXPECT_EQ(level.flybyCameraCount(), 0u);
    EXPECT_EQ(level.roomTextureCount(), 0u);
    EXPECT_EQ(level.trailingSize(), 0u);
    EXPECT_TRUE(level.unusedObjectTextures.empty());
    EXPECT_EQ(level.pages32Chunk.packedSize(), 0u);
    EXPECT_EQ(level.pages32Chunk.unpackedSize, 0u);
    EXPECT_EQ(level.miscChunk.packedSize(), 0u);
    EXPECT_EQ(level.soundMap[2047], 0);
    EXPECT_EQ(level.palette[255][2], 0);
    EXPECT_EQ(level.lightMap[8191], 0);
    EXPECT_EQ(level.roomPageCount, 0);
    EXPECT_EQ(level.soundList, nullptr);
}
}  // namespace

TEST(LevelRecord, FreeResetsEverythingAndIsHarmlessTwice) {
    CTrLevel level;
    ExpectEmpty(level);
    level.Free();  // on an empty level
    ExpectEmpty(level);
    FillSome(level);
    EXPECT_EQ(level.pageCount(), 3u);
    EXPECT_EQ(level.rooms[0].vertexCount(), 5u);
    level.Free();
    ExpectEmpty(level);
    level.Free();
    ExpectEmpty(level);
    // A freed level can be filled again.
    FillSome(level);
    EXPECT_EQ(level.sampleCount(), 2u);
}

TEST(LevelRecord, LookupsOnAnEmptyObjectModelFindNothing) {
    CTrLevel level;
    EXPECT_EQ(level.FindMoveable(0), nullptr);
    EXPECT_EQ(level.FindStaticMesh(-1), nullptr);
    EXPECT_EQ(level.FindSpriteSequence(355), nullptr);
}

TEST(LevelRecord, RecordSlotsReadAndWriteLittleEndianFields) {
    TrMoveableRecord m;
    m.setS32(0, 355);
    m.setU16(4, 12);
    m.setU16(6, 40);
    m.setU32(8, 0x01020304);
    m.setU32(12, 96);
    m.setU16(16, 0xFFFF);
    EXPECT_EQ(m.objectId(), 355);
    EXPECT_EQ(m.meshCount(), 12);
    EXPECT_EQ(m.firstMesh(), 40);
    EXPECT_EQ(m.meshTreeIndex(), 0x01020304u);
    EXPECT_EQ(m.frameOffset(), 96u);
    EXPECT_EQ(m.firstAnimation(), 0xFFFF);
    EXPECT_EQ(m.b[8], 0x04);
    EXPECT_EQ(m.b[11], 0x01);
    TrItemRecord item;
    item.setS16(0, -2);
    EXPECT_EQ(item.objectId(), -2);
    EXPECT_EQ(item.b[0], 0xFE);
    EXPECT_EQ(item.b[1], 0xFF);
}
