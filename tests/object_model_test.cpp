// The object model builder: texture use and unused textures, animated textures flagged
// once, the Tomb Raider IV room-texture split, the palette tile, the objects and their log
// lines, and the injected catalog.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "TestSupport.h"
#include "fixtures/ObjectModelFixtures.h"
#include "level/GameCatalog.h"
#include "level/LevelLog.h"
#include "level/ObjectModel.h"
#include "level/SoundList.h"
#include "level/TrLevel.h"
#include "level/TrLstMsh.h"
#include "level/TrLstSpr.h"
#include "level/TrMvb.h"
#include "platform/Messages.h"

using namespace lithoscope;
using namespace lithoscope::test;

namespace {

// A fresh level log in a temporary folder, read back as text.
class LogFile {
public:
    LogFile() : path_(dir_.file("level.tr2")) { StartLevelLog(path_); }
    std::string Text() const {
        std::vector<uint8_t> bytes = ReadFileBytes(LevelLog().logPath);
        return std::string(bytes.begin(), bytes.end());
    }
    static size_t Count(const std::string& text, const std::string& part) {
        size_t n = 0;
        for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
        return n;
    }

private:
    TempDir dir_;
    std::string path_;
};

// Animated textures: one range of the given members.
std::vector<uint16_t> OneRange(const std::vector<uint16_t>& members) {
    std::vector<uint16_t> words = {1, uint16_t(members.size() - 1)};
    words.insert(words.end(), members.begin(), members.end());
    return words;
}

TrMoveableRecord MoveableRecord(int32_t id, uint16_t meshCount, uint16_t firstMesh) {
    TrMoveableRecord r;
    r.setS32(0, id);
    r.setU16(4, meshCount);
    r.setU16(6, firstMesh);
    r.setU16(16, 0xFFFF);
    return r;
}

}  // namespace

TEST(ObjectModelBuild, TextureUseAndUnusedTextures) {
    ScriptedMessageBackend messages;
    ScopedMessageBackend scope(&messages);
    LogFile log;
    CTrLevel level;
    InitTestLevel(level, TrVersion2, 1);
    for (int i = 0; i < 5; ++i) level.objectTextures.push_back(TestTexture(0, 20 * i, 0, 16, 16, false));
    // Texture 0 by three hundred mesh faces, 1 by a room, 2 animated; a 0xFFFF room face
    // counts as texture 0; a face past the table counts nowhere.
    std::vector<uint16_t> many(300, 0);
    many.push_back(9);
    level.meshes.push_back(std::make_unique<TrMeshRecord>(TestMesh(many, {})));
    level.meshPointers.push_back(0);
    level.rooms.push_back(TestRoom({1, 0xFFFF}, {}));
    level.animatedTextures = OneRange({2});

    level.BuildObjects(nullptr);
    ASSERT_EQ(level.unusedObjectTextures.size(), 2u);
    EXPECT_TRUE(level.unusedObjectTextures[0] == level.objectTextures[3]);
    EXPECT_TRUE(level.unusedObjectTextures[1] == level.objectTextures[4]);
    EXPECT_EQ(level.rooms[0].rectangles[1].u16(8), 0);
    EXPECT_EQ(LevelLog().errorCount, 1);  // the face past the table
    EXPECT_NE(log.Text().find("\r\nLevel contains 2 unused object textures.\r\n"), std::string::npos);

    // Animated member 2 is flagged once and logged once, however often the model is built.
    EXPECT_TRUE(level.objectTextures[2].flags() & 0x8000);
    level.BuildObjects(nullptr);
    EXPECT_EQ(LogFile::Count(log.Text(), "Animating texture 2 has now been flagged as a room texture"), 1u);
    EXPECT_TRUE(level.soundList != nullptr);
    EXPECT_EQ(level.moveableList.size(), 0u);
}

TEST(ObjectModelBuild, EveryTextureUsedAndPaletteTileNeverUnused) {
    ScriptedMessageBackend messages;
    ScopedMessageBackend scope(&messages);
    LogFile log;
    CTrLevel level;
    InitTestLevel(level, TrVersion2, 1);
    level.objectTextures.push_back(TestTexture(0, 0, 0, 8, 8, true));
    level.rooms.push_back(TestRoom({}, {0}));
    EXPECT_EQ(PaletteTileTextureStart(level), size_t(-1));
    level.AddPaletteTile(level.palette, level.palette16);
    ASSERT_EQ(level.objectTextures.size(), 513u);
    EXPECT_EQ(PaletteTileTextureStart(level), 1u);

    level.BuildObjects(nullptr);
    EXPECT_TRUE(level.unusedObjectTextures.empty());
    EXPECT_NE(log.Text().find("No unused object textures.\r\n"), std::string::npos);
    EXPECT_EQ(log.Text().find("Level contains"), std::string::npos);
}

TEST(ObjectModelBuild, Tr4RoomTexturesSplitOff) {
    ScriptedMessageBackend messages;
    ScopedMessageBackend scope(&messages);
    LogFile log;
    CTrLevel level;
    InitTestLevel(level, TrVersion4, 3);
    level.roomPageCount = level.objectPageCount = level.bumpPageCount = 1;
    // 0: object texture; 1: room texture on the bump page; 2: room texture; 3: an object
    // texture that a room face uses; 4: animated, not yet flagged.
    for (int i = 0; i < 5; ++i) level.objectTextures.push_back(TestTexture(i == 1 ? 2 : 0, 10 * i, 0, 8, 8, false));
    level.objectTextures[1].setU16(4, 0x8000);
    level.objectTextures[2].setU16(4, 0x8000);
    uint8_t* c = level.objectTextures[0].corner(1);
    c[0] = 0;  // x coordinate byte 0
    c[2] = 0;
    level.meshes.push_back(std::make_unique<TrMeshRecord>(TestMesh({0}, {})));
    level.meshPointers.push_back(0);
    level.rooms.push_back(TestRoom({0x8002, 1}, {3}));
    level.animatedTextures = OneRange({4});

    level.BuildObjects(nullptr);
    // Room textures in order: 1, 2, 3 (flagged for its room face), 4 (animated).
    ASSERT_EQ(level.roomTextures.size(), 4u);
    EXPECT_EQ(level.roomTextures[0].page(), 0x4001);  // bump page 2 - 1 object page + 0x4000
    EXPECT_EQ(level.roomTextures[1].page(), 0);
    EXPECT_EQ(level.rooms[0].rectangles[0].u16(8), 0x8001);  // bit 15 kept, texture 2 -> 1
    EXPECT_EQ(level.rooms[0].rectangles[1].u16(8), 0);
    EXPECT_EQ(level.rooms[0].triangles[0].u16(6), 2);  // a valid room texture, not 0x7FFF
    EXPECT_EQ(level.animatedTextures[2], 3);
    // Corner coordinate bytes 0 become 1, then settle: corner 1 lies on the high x side.
    EXPECT_EQ(level.objectTextures[0].corner(1)[0], 255);
    EXPECT_EQ(level.objectTextures[0].corner(1)[2], 1);
    EXPECT_TRUE(level.unusedObjectTextures.empty());
    const std::string text = log.Text();
    EXPECT_NE(text.find("\nBefore compute for room texture (5)"), std::string::npos);
    EXPECT_NE(text.find("End of compute for room textures."), std::string::npos);
}

TEST(ObjectModelBuild, ObjectsItemsAndCatalog) {
    ScriptedMessageBackend messages;
    ScopedMessageBackend scope(&messages);
    LogFile log;
    CTrLevel level;
    InitTestLevel(level, TrVersion2, 1);
    level.objectTextures.push_back(TestTexture(0, 0, 0, 16, 16, false));
    level.meshes.push_back(std::make_unique<TrMeshRecord>(TestMesh({0}, {})));
    level.meshPointers.push_back(0);
    level.moveables.push_back(MoveableRecord(12, 1, 0));
    TrStaticMeshRecord st;
    st.setS32(0, 7);
    level.staticMeshes.push_back(st);
    TrSpriteTextureRecord sprite;
    sprite.setU16(4, 255);
    sprite.setU16(6, 255);
    level.spriteTextures.push_back(sprite);
    TrSpriteSequenceRecord seq;
    seq.setS32(0, 180);
    seq.setS16(4, -1);
    level.spriteSequences.push_back(seq);
    TrItemRecord item;
    item.setS16(0, 12);
    item.setU8(20, 0x5A);
    level.items.push_back(item);

    level.BuildObjects(nullptr);
    ASSERT_EQ(level.moveableList.size(), 1u);
    EXPECT_EQ(level.moveableList[0]->objectId, 12);
    EXPECT_EQ(level.moveableList[0]->catalogEntry, nullptr);
    EXPECT_EQ(LevelLog().currentMoveable, -1);
    ASSERT_EQ(level.staticMeshList.size(), 1u);
    EXPECT_EQ(level.staticMeshList[0]->objectId, 7);
    ASSERT_EQ(level.spriteList.size(), 1u);
    EXPECT_EQ(level.spriteList[0]->objectId, 180);
    ASSERT_EQ(level.itemList.size(), 1u);
    EXPECT_TRUE(level.itemList[0] == item);
    EXPECT_TRUE(level.meshes[0]->intensityAlpha == 0);
    const std::string text = log.Text();
    EXPECT_NE(text.find("Check first of creation of slot moveable index=0 with slot=12"), std::string::npos);
    EXPECT_NE(text.find("Check: end of creating slot moveables\r\n\r\n"), std::string::npos);
    EXPECT_NE(text.find("Check first of creation of static mesh index=0 with slot=7"), std::string::npos);
    EXPECT_NE(text.find("Check: start of creating sprite sequences"), std::string::npos);
    EXPECT_NE(text.find("Check: before creating item moveable index=0 slot=12"), std::string::npos);
    EXPECT_NE(text.find("After creation of all item moveables\n"), std::string::npos);

    // With a catalog (here one without files) every moveable gets its entry; a second
    // build replaces the lists.
    CGameCatalog catalog;
    level.BuildObjects(nullptr, &catalog);
    ASSERT_EQ(level.moveableList.size(), 1u);
    ASSERT_NE(level.moveableList[0]->catalogEntry, nullptr);
    EXPECT_EQ(level.moveableList[0]->catalogEntry->name, "Moveable #012");
    EXPECT_EQ(level.staticMeshList.size(), 1u);
    EXPECT_EQ(level.itemList.size(), 1u);
}
