#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "fixtures/Db3dsBytes.h"
#include "interchange3ds/Keyframer3ds.h"

using namespace lithoscope;
using namespace lithoscope::test;

namespace {

struct Keyframer3dsTest : ::testing::Test {
    void SetUp() override { ClearErrorList3ds(); }
    void TearDown() override { ClearErrorList3ds(); }
};

ObjectMotion3ds* NewMotion(const char* name, const char* parent, uint32_t posKeys) {
    ObjectMotion3ds* om = nullptr;
    InitObjectMotion3ds(&om, posKeys, 1, 1, 0, 0);
    std::strcpy(om->name, name);
    std::strcpy(om->parent, parent);
    return om;
}

TEST_F(Keyframer3dsTest, InitGivesDefaultKeys) {
    ObjectMotion3ds* om = nullptr;
    InitObjectMotion3ds(&om, 1, 1, 1, 0, 0);
    ASSERT_NE(om, nullptr);
    EXPECT_FALSE(g_bErrorPending3ds);
    ASSERT_EQ(om->position.keyCount(), 1u);
    EXPECT_EQ(om->position.values[0].x, 0.0f);
    EXPECT_EQ(om->position.keys[0].frame, 0);
    ASSERT_EQ(om->rotation.values.size(), 1u);
    EXPECT_EQ(om->rotation.values[0].angle, 0.0f);
    EXPECT_EQ(om->rotation.values[0].z, 1.0f);
    EXPECT_EQ(om->scale.values[0].y, 1.0f);
    EXPECT_EQ(om->morph.keyCount(), 0u);
    EXPECT_EQ(om->hide.keyCount(), 0u);
    EXPECT_EQ(om->morphSmooth, 24.0f);
    // An existing record keeps the tracks whose count is 0.
    std::strcpy(om->name, "keep");
    InitObjectMotion3ds(&om, 0, 3, 0, 2, 4);
    EXPECT_STREQ(om->name, "keep");
    EXPECT_EQ(om->position.keyCount(), 1u);
    EXPECT_EQ(om->rotation.keyCount(), 3u);
    EXPECT_EQ(om->morph.values[1].name[0], ' ');
    EXPECT_EQ(om->morph.values[1].name[1], 0);
    EXPECT_EQ(om->hide.keyCount(), 4u);
    ReleaseObjectMotion3ds(&om);
    EXPECT_EQ(om, nullptr);

    KeyframeSettings3ds* s = nullptr;
    InitKeyframeSettings3ds(&s);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->length, 30);
    EXPECT_EQ(s->segmentEnd, 30);
    EXPECT_EQ(s->segmentInUse, 0);
    ReleaseKeyframeSettings3ds(&s);
    EXPECT_EQ(s, nullptr);
}

TEST_F(Keyframer3dsTest, SettingsRoundTripAndSegmentRemoval) {
    Database3ds* db = NewMeshDatabase3ds();
    KeyframeSettings3ds* s = nullptr;
    InitKeyframeSettings3ds(&s);
    s->length = 49;
    s->currentFrame = 3;
    s->segmentInUse = 1;
    s->segmentBegin = 0;
    s->segmentEnd = 49;
    PutKeyframeSettings3ds(db, s);
    ASSERT_FALSE(g_bErrorPending3ds);
    std::vector<uint8_t> bytes = WriteDatabaseBytes3ds(db);
    ASSERT_FALSE(g_bErrorPending3ds);
    {
        ReadDatabase3dsFixture in(bytes);
        KeyframeSettings3ds* r = nullptr;
        GetKeyframeSettings3ds(in.db(), &r);
        ASSERT_FALSE(g_bErrorPending3ds);
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(r->length, 49);
        EXPECT_EQ(r->currentFrame, 3);
        EXPECT_EQ(r->segmentInUse, 1);
        EXPECT_EQ(r->segmentEnd, 49);
        // One header, written with revision 5.
        Chunk3ds* kf = Find3ds(in.db()->topChunk.get(), 0xB000);
        std::vector<uint32_t> tags = ChildTags3ds(kf);
        EXPECT_EQ(std::count(tags.begin(), tags.end(), 0xB00Au), 1);
        EXPECT_EQ(ReadChunkDataAs3ds<KfHeaderData3ds>(Find3ds(kf, 0xB00A))->revision, 5);
        ReleaseKeyframeSettings3ds(&r);
    }
    s->segmentInUse = 0;
    PutKeyframeSettings3ds(db, s);
    bytes = WriteDatabaseBytes3ds(db);
    ASSERT_FALSE(g_bErrorPending3ds);
    {
        ReadDatabase3dsFixture in(bytes);
        EXPECT_EQ(Find3ds(in.db()->topChunk.get(), 0xB008), nullptr);
        KeyframeSettings3ds* r = nullptr;
        GetKeyframeSettings3ds(in.db(), &r);
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(r->segmentInUse, 0);
        EXPECT_EQ(r->segmentEnd, 30);
        EXPECT_EQ(r->length, 49);
        ReleaseKeyframeSettings3ds(&r);
    }
    ReleaseKeyframeSettings3ds(&s);
    ReleaseDatabase3ds(&db);

    Database3ds* lib = nullptr;
    InitDatabase3ds(&lib);
    CreateNewDatabase3ds(lib, 3);
    KeyframeSettings3ds* r = nullptr;
    GetKeyframeSettings3ds(lib, &r);
    EXPECT_EQ(g_ErrorList3ds[0].code, ERR_WRONG_DATABASE);
    EXPECT_EQ(r, nullptr);
    ReleaseDatabase3ds(&lib);
}

TEST_F(Keyframer3dsTest, ObjectNodesRoundTripWithTracksAndParents) {
    Database3ds* db = NewMeshDatabase3ds();
    ObjectMotion3ds* root = NewMotion("Box01", "", 3);
    for (int i = 0; i < 3; ++i) {
        root->position.keys[i].frame = i * 10;
        root->position.keys[i].flags = 0x0005;
        root->position.keys[i].tension = 0.5f;
        root->position.keys[i].bias = -0.5f;
        root->position.keys[i].continuity = 9.0f;  // flag clear: not written
        root->position.values[i] = {float(i), 2.0f * i, -1.0f};
    }
    root->rotation.values[0] = {1.5f, 0, 1, 0};
    root->pivot = {1, 2, 3};
    root->boundMin = {-1, -1, -1};
    root->boundMax = {1, 1, 1};
    PutObjectMotion3ds(db, root);
    ObjectMotion3ds* child = NewMotion("Box02", "Box01", 1);
    child->flags2 = 1;
    child->morphSmooth = 30.0f;
    PutObjectMotion3ds(db, child);
    ObjectMotion3ds* dummy = NewMotion(kDummyNodeName3ds, "Box02", 1);
    PutObjectMotion3ds(db, dummy);
    ASSERT_FALSE(g_bErrorPending3ds);
    std::vector<uint8_t> bytes = WriteDatabaseBytes3ds(db);
    ASSERT_FALSE(g_bErrorPending3ds);

    ReadDatabase3dsFixture in(bytes);
    ASSERT_FALSE(g_bErrorPending3ds);
    EXPECT_EQ(GetObjectNodeCount3ds(in.db()), 3u);
    StringList3ds* names = nullptr;
    GetObjectNodeNames3ds(in.db(), &names);
    ASSERT_NE(names, nullptr);
    EXPECT_EQ(names->list, (std::vector<std::string>{"Box01", "Box02", "$$$DUMMY"}));
    ReleaseStringList3ds(&names);

    // Position track: header 14 bytes, each key 4 + 2 + 2 floats + a point = 26 bytes.
    Chunk3ds* firstNode = GetNodeByIndex3ds(in.db(), 0, 0xB002);
    ASSERT_NE(firstNode, nullptr);
    EXPECT_EQ(Find3ds(firstNode, 0xB020)->size, 6u + 14u + 3u * 26u);
    Chunk3ds* dummyNode = GetNodeByIndex3ds(in.db(), 2, 0xB002);
    ASSERT_NE(dummyNode, nullptr);
    EXPECT_EQ(Find3ds(dummyNode, 0xB014), nullptr);
    EXPECT_NE(Find3ds(dummyNode, 0xB013), nullptr);

    ObjectMotion3ds* r = nullptr;
    GetObjectMotionByIndex3ds(in.db(), 0, &r);
    ASSERT_FALSE(g_bErrorPending3ds);
    ASSERT_NE(r, nullptr);
    EXPECT_STREQ(r->name, "Box01");
    EXPECT_STREQ(r->parent, "");
    ASSERT_EQ(r->position.keyCount(), 3u);
    EXPECT_EQ(r->position.keys[2].frame, 20);
    EXPECT_EQ(r->position.keys[1].flags, 0x0005);
    EXPECT_EQ(r->position.keys[1].tension, 0.5f);
    EXPECT_EQ(r->position.keys[1].bias, -0.5f);
    EXPECT_EQ(r->position.keys[1].continuity, 0.0f);
    EXPECT_EQ(r->position.values[2].y, 4.0f);
    EXPECT_EQ(r->rotation.values[0].angle, 1.5f);
    EXPECT_EQ(r->rotation.values[0].y, 1.0f);
    EXPECT_EQ(r->scale.values[0].x, 1.0f);
    EXPECT_EQ(r->pivot.z, 3.0f);
    EXPECT_EQ(r->boundMax.y, 1.0f);
    EXPECT_EQ(r->morphSmooth, 0.0f);  // no 0xB015 in the node
    GetObjectMotionByIndex3ds(in.db(), 1, &r);
    EXPECT_STREQ(r->name, "Box02");
    EXPECT_STREQ(r->parent, "Box01");
    EXPECT_EQ(r->morphSmooth, 30.0f);
    GetObjectMotionByIndex3ds(in.db(), 2, &r);
    EXPECT_STREQ(r->parent, "Box02");
    ReleaseObjectMotion3ds(&r);
    // Past the last node, or negative: the pointer stays as it is.
    GetObjectMotionByIndex3ds(in.db(), 3, &r);
    EXPECT_EQ(r, nullptr);
    GetObjectMotionByIndex3ds(in.db(), -1, &r);
    EXPECT_EQ(r, nullptr);
    EXPECT_FALSE(g_bErrorPending3ds);

    // Putting a node of the same name again leaves one such node.
    root->position.values[0].x = 42.0f;
    PutObjectMotion3ds(db, root);
    ASSERT_FALSE(g_bErrorPending3ds);
    EXPECT_EQ(GetObjectNodeCount3ds(db), 3u);
    Chunk3ds* again = FindNodeByName3ds(db, "Box01", 0xB002);
    ASSERT_NE(again, nullptr);
    ReadObjectMotion3ds(again, &r);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->position.values[0].x, 42.0f);
    ReleaseObjectMotion3ds(&r);
    ReleaseObjectMotion3ds(&root);
    ReleaseObjectMotion3ds(&child);
    ReleaseObjectMotion3ds(&dummy);
    ReleaseDatabase3ds(&db);
}

TEST_F(Keyframer3dsTest, DamagedNodesFailCleanly) {
    // A node header, then a position track that claims more keys than it holds.
    Body3ds header = Body3ds().str("Box01").u16(0).u16(0).u16(0xFFFF);
    Body3ds track = Body3ds().u16(0).u32(0).u32(0).u32(1000000).u32(0).u16(0).f32(1).f32(2).f32(3);
    std::vector<uint8_t> node = Chunk3dsBytes(
        0xB002, {}, {Chunk3dsBytes(0xB010, header), Chunk3dsBytes(0xB020, track)});
    std::vector<uint8_t> file = Chunk3dsBytes(0x4D4D, {}, {Chunk3dsBytes(0xB000, {}, {node})});
    {
        ReadDatabase3dsFixture in(file);
        ObjectMotion3ds* r = nullptr;
        if (!g_bErrorPending3ds) GetObjectMotionByIndex3ds(in.db(), 0, &r);
        EXPECT_TRUE(g_bErrorPending3ds);
        ReleaseObjectMotion3ds(&r);
    }
    ClearErrorList3ds();

    // A node without its header.
    Chunk3ds* bare = nullptr;
    NewChunkTag3ds(&bare, 0xB002);
    ObjectMotion3ds* r = nullptr;
    ReadObjectMotion3ds(bare, &r);
    EXPECT_EQ(g_ErrorList3ds[0].code, ERR_UNFOUND_CHUNK);
    EXPECT_EQ(r, nullptr);
    ClearErrorList3ds();
    bare->tag = 0xB003;
    ReadObjectMotion3ds(bare, &r);
    EXPECT_EQ(g_ErrorList3ds[0].code, ERR_WRONG_OBJECT);
    ReleaseChunk3ds(&bare);
    ClearErrorList3ds();

    // Values that do not match the keys are refused by the put.
    Database3ds* db = NewMeshDatabase3ds();
    ObjectMotion3ds* om = NewMotion("Box01", "", 2);
    om->position.values.pop_back();
    PutObjectMotion3ds(db, om);
    EXPECT_EQ(g_ErrorList3ds[0].code, ERR_INVALID_DATA);
    EXPECT_EQ(Find3ds(db->topChunk.get(), 0xB002), nullptr);
    ClearErrorList3ds();
    std::strcpy(om->instance, "elevenchars");
    om->position.values.resize(2);
    PutObjectMotion3ds(db, om);
    EXPECT_EQ(g_ErrorList3ds[0].code, ERR_STRING_TOO_LONG);
    ReleaseObjectMotion3ds(&om);
    ReleaseDatabase3ds(&db);
}

}  // namespace
