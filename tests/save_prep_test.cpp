// Save preparation: the object model written back into the arrays, the repacked object
// pages, the moveable layout, refused overflows, a failed save leaving the level as it
// was, and load / save / load of the real levels.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <set>

#include "TestSupport.h"
#include "fixtures/LevelBuilder.h"
#include "fixtures/LevelDecode.h"
#include "fixtures/ObjectModelFixtures.h"
#include "interchange3ds/MoveableConvert3ds.h"
#include "level/Fragment.h"
#include "level/LevelLog.h"
#include "level/LevelProgress.h"
#include "level/ObjectModel.h"
#include "level/SoundList.h"
#include "level/TrLevel.h"
#include "level/TrLstMsh.h"
#include "level/TrLstSpr.h"
#include "level/TrMvb.h"
#include "platform/Files.h"
#include "platform/Messages.h"

using namespace lithoscope;
using namespace lithoscope::test;

namespace {

struct Quiet {
    ScriptedMessageBackend messages;
    ScopedMessageBackend scope{&messages};
    ScopedConfigDir config;
};

// Every call the preparation makes on the repack bar.
class RecordingProgress : public ILevelProgress {
public:
    void SetMainRange(uint32_t) override {}
    void SetMainPos(uint32_t) override {}
    void SetBuildRange(uint32_t) override {}
    void SetBuildPos(uint32_t) override {}
    void SetRepackRange(uint32_t max) override { repackRange = max; }
    void SetRepackPos(uint32_t pos) override { repackPos = pos; }
    void SetTileCounts(uint32_t o, uint32_t n) override {
        oldTiles = o;
        newTiles = n;
    }
    void Close() override {}
    uint32_t repackRange = 0, repackPos = 0, oldTiles = 0, newTiles = 0;
};

TrMoveableRecord MoveableRecord(int32_t id, uint16_t meshCount, uint16_t firstMesh) {
    TrMoveableRecord r;
    r.setS32(0, id);
    r.setU16(4, meshCount);
    r.setU16(6, firstMesh);
    r.setU16(16, 0xFFFF);
    return r;
}

// A level with one two-mesh moveable (id 5, its second mesh a dummy) built into objects.
void BuildMoveableLevel(CTrLevel& level, int version) {
    InitTestLevel(level, version, 1);
    level.rooms.resize(1);  // saved and loaded again: a level holds a room
    level.objectTextures.push_back(TestTexture(0, 0, 0, 16, 16, false));
    level.meshes.push_back(std::make_unique<TrMeshRecord>(TestMesh({0}, {})));
    level.meshes.push_back(std::make_unique<TrMeshRecord>(TestMesh({0}, {})));
    level.meshes.push_back(std::make_unique<TrMeshRecord>());
    level.meshPointers = {0, 1, 2};
    level.zeroMeshEntry = 2;  // pointer 2 holds 0: its slot is a dummy
    level.moveables.push_back(MoveableRecord(5, 2, 1));
    level.meshTrees = {2, 100, 0, 0};
    level.BuildObjects(nullptr);
}

// Two tracks: 5 frames with one key, a state change and a sound command, then 4 frames
// with an effect command.
void AddTracks(CTrMvb& mv) {
    mv.noAnimations = 0;
    auto first = std::make_unique<CTRAnimTrack>(1, 5, 2, 30.0f);
    first->stateId = 3;
    first->speedLow = 10;
    first->speedHigh = -2;
    first->acceleration = -1.5f;
    for (int i = 0; i < 8; ++i) first->lateral[i] = uint8_t(i + 1);
    CAnimKey key(0, 2, BoundingBox(CVector3{-10, -20, -30}, CVector3{10, 20, 30}));
    key.bones.push_back(BoneKey(CQuaternion(), CVector3{1, 2, 3}, 0x1234, 0x5678));
    key.bones.push_back(BoneKey(CQuaternion(), CVector3{}, 0x1111, 0x2222));
    first->AddKey(key);
    CTRStateChange change(7);
    change.AddRange(1, 3, 1, 2);
    first->AddStateChange(change);
    TrAnimCommand sound;
    sound.SetCode(5);
    sound.operands[0] = 2;
    sound.operands[1] = 99;
    first->commands.push_back(sound);
    auto second = std::make_unique<CTRAnimTrack>(1, 4, 1, 30.0f);
    second->AddKey(CAnimKey(0, 2, BoundingBox()));
    second->keys[0].bones.resize(2);
    TrAnimCommand effect;
    effect.SetCode(6);
    effect.operands[0] = 1;
    effect.operands[1] = 12;
    second->commands.push_back(effect);
    mv.animations->AddTrack(std::move(first));
    mv.animations->AddTrack(std::move(second));
    mv.animations->SetNext(0, 1, 3);
    mv.animations->SetNext(1, 0, 0);
}

}  // namespace

TEST(SavePrep, PackedRowsMakeObjectPagesWithZerosBelow) {
    Quiet quiet;
    CTrLevel level;
    InitTestLevel(level, TrVersion2, 2);
    const std::vector<TrPage> original = level.pages;
    level.objectTextures.push_back(TestTexture(0, 0, 0, 256, 256, false));
    level.objectTextures.push_back(TestTexture(1, 0, 10, 256, 44, false));
    level.rooms.push_back(TestRoom({0, 1}, {}));
    level.BuildObjects(nullptr);

    RecordingProgress progress;
    level.PrepareForSave(&progress, false);
    // 256 + 44 = 300 packed rows: two object pages.
    ASSERT_EQ(level.pages.size(), 2u);
    EXPECT_EQ(level.objectPageCount, 2);
    EXPECT_TRUE(level.pages[0] == original[0]);
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; x += 51) {
            const uint16_t expected = y < 44 ? original[1][size_t(y + 10) * 256 + size_t(x)] : 0;
            ASSERT_EQ(level.pages[1][size_t(y) * 256 + size_t(x)], expected) << x << "," << y;
        }
    }
    ASSERT_EQ(level.objectTextures.size(), 2u);
    EXPECT_EQ(level.rooms[0].rectangles[0].u16(8), 0);
    EXPECT_EQ(level.rooms[0].rectangles[1].u16(8), 1);
    EXPECT_EQ(level.objectTextures[1].page(), 1);
    EXPECT_EQ(level.objectTextures[1].corner(0)[3], 0);
    EXPECT_EQ(level.objectTextures[1].corner(2)[3], 43);
    EXPECT_EQ(progress.repackRange, 6u);
    EXPECT_EQ(progress.repackPos, 6u);
    EXPECT_EQ(progress.oldTiles, 2u);
    EXPECT_EQ(progress.newTiles, 2u);
    // The object model is consumed.
    EXPECT_TRUE(level.soundList == nullptr);
    EXPECT_TRUE(level.moveableList.empty());
}

TEST(SavePrep, MoveableRecordsTreesMeshesAndAnimations) {
    for (int version : {TrVersion2, TrVersion1}) {
        SCOPED_TRACE(version);
        Quiet quiet;
        CTrLevel level;
        BuildMoveableLevel(level, version);
        ASSERT_EQ(level.moveableList.size(), 1u);
        CTrMvb& mv = *level.moveableList[0];
        ASSERT_EQ(mv.meshes.size(), 2u);
        ASSERT_EQ(mv.meshes[1].dummy, 1);
        EXPECT_EQ(mv.meshes[0].lights[0], 8192 - 1000);  // as the object holds them
        AddTracks(mv);
        level.PrepareForSave(nullptr, false);

        // A dummy is not stored and gets pointer 0, which names a mesh holding nothing;
        // the lights are the level's again.
        ASSERT_EQ(level.meshPointers, (std::vector<uint32_t>{1, 0}));
        ASSERT_EQ(level.meshes.size(), 2u);
        EXPECT_TRUE(level.meshes[0]->vertices.empty());
        EXPECT_EQ(level.meshes[1]->lights, (std::vector<int16_t>{1000, 2000, 3000, 4000}));
        EXPECT_EQ(level.meshTrees, (std::vector<int32_t>{2, 100, 0, 0}));

        ASSERT_EQ(level.moveables.size(), 1u);
        const TrMoveableRecord& r = level.moveables[0];
        EXPECT_EQ(r.objectId(), 5);
        EXPECT_EQ(r.meshCount(), 2);
        EXPECT_EQ(r.firstMesh(), 0);
        EXPECT_EQ(r.meshTreeIndex(), 0u);
        EXPECT_EQ(r.frameOffset(), 0u);
        EXPECT_EQ(r.firstAnimation(), 0);

        const bool tr1 = version == TrVersion1;
        const uint32_t frameWords = tr1 ? 14 : 13;  // 2 x 2 meshes + 9, one more for TR1
        ASSERT_EQ(level.animations.size(), 2u);
        const TrAnimationRecord& a = level.animations[0];
        EXPECT_EQ(a.frameOffset(), 0u);
        EXPECT_EQ(a.frameRate(), 2);
        EXPECT_EQ(a.frameSize(), tr1 ? 0 : 13);
        EXPECT_EQ(a.stateId(), 3);
        EXPECT_EQ(a.s16(8), 10);
        EXPECT_EQ(a.s16(10), -2);
        EXPECT_EQ(a.u16(12), 0x8000);  // -1.5 = -2 + 0.5
        EXPECT_EQ(a.s16(14), -2);
        for (int i = 0; i < 8; ++i) EXPECT_EQ(a.u8(16 + size_t(i)), i + 1);
        EXPECT_EQ(a.frameStart(), 0);
        EXPECT_EQ(a.frameEnd(), 4);
        EXPECT_EQ(a.nextAnimation(), 1);
        EXPECT_EQ(a.nextFrame(), 3 + 5);  // absolute: + first frame of animation 1
        EXPECT_EQ(a.stateChangeCount(), 1);
        EXPECT_EQ(a.stateChangeOffset(), 0);
        EXPECT_EQ(a.animCommandCount(), 1);
        EXPECT_EQ(a.animCommandOffset(), 0);
        const TrAnimationRecord& b = level.animations[1];
        EXPECT_EQ(b.frameOffset(), 2 * frameWords);
        EXPECT_EQ(b.frameStart(), 5);
        EXPECT_EQ(b.frameEnd(), 8);
        EXPECT_EQ(b.nextAnimation(), 0);
        EXPECT_EQ(b.nextFrame(), 0);
        EXPECT_EQ(b.stateChangeCount(), 0);
        EXPECT_EQ(b.animCommandCount(), 1);
        EXPECT_EQ(b.animCommandOffset(), 3);

        ASSERT_EQ(level.stateChanges.size(), 1u);
        EXPECT_EQ(level.stateChanges[0].stateId(), 7);
        EXPECT_EQ(level.stateChanges[0].dispatchCount(), 1);
        ASSERT_EQ(level.animDispatches.size(), 1u);
        EXPECT_EQ(level.animDispatches[0].low(), 1);
        EXPECT_EQ(level.animDispatches[0].high(), 4);
        EXPECT_EQ(level.animDispatches[0].nextAnimation(), 1);
        EXPECT_EQ(level.animDispatches[0].nextFrame(), 2 + 5);
        // Frame operands absolute: 2 in animation 0, 1 + 5 in animation 1.
        EXPECT_EQ(level.animCommands, (std::vector<int16_t>{5, 2, 99, 6, 6, 12}));

        std::vector<int16_t> key = {-10, 10, -20, 20, -30, 30, 1, -2, -3};
        if (tr1) key.push_back(2);
        const std::vector<int16_t> words =
            tr1 ? std::vector<int16_t>{0x5678, 0x1234, 0x2222, 0x1111}
                : std::vector<int16_t>{0x1234, 0x5678, 0x1111, 0x2222};
        key.insert(key.end(), words.begin(), words.end());
        ASSERT_EQ(level.frames.size(), 2 * frameWords);
        EXPECT_EQ(std::vector<int16_t>(level.frames.begin(), level.frames.begin() + frameWords), key);
        std::vector<int16_t> zeroKey(frameWords, 0);
        if (tr1) zeroKey[9] = 2;
        EXPECT_EQ(std::vector<int16_t>(level.frames.begin() + frameWords, level.frames.end()), zeroKey);
    }
}

TEST(SavePrep, UnusedTexturesDroppedOrKeptButNeverThePaletteTile) {
    auto make = [](CTrLevel& level, bool paletteTile) {
        InitTestLevel(level, TrVersion2, 1);
        level.objectTextures.push_back(TestTexture(0, 0, 0, 16, 16, false));
        level.objectTextures.push_back(TestTexture(0, 100, 100, 8, 8, false));
        level.rooms.push_back(TestRoom({0}, {}));
        if (paletteTile) level.AddPaletteTile(level.palette, level.palette16);
        level.BuildObjects(nullptr);
    };
    Quiet quiet;
    CTrLevel dropped, kept, withTile;
    make(dropped, false);
    make(kept, false);
    make(withTile, true);
    const TrPage source = kept.pages[0];
    ASSERT_EQ(kept.unusedObjectTextures.size(), 1u);
    ASSERT_EQ(withTile.unusedObjectTextures.size(), 1u);

    dropped.PrepareForSave(nullptr, false);
    EXPECT_EQ(dropped.objectTextures.size(), 1u);
    kept.PrepareForSave(nullptr, true);
    withTile.PrepareForSave(nullptr, true);
    EXPECT_EQ(withTile.objectTextures.size(), 2u);
    EXPECT_EQ(withTile.pages.size(), 1u);
    ASSERT_EQ(kept.objectTextures.size(), 2u);
    // The kept texture shows the pixels it showed before.
    const TrObjectTextureRecord& t = kept.objectTextures[1];
    const int x0 = t.corner(0)[1], y0 = t.corner(0)[3];
    EXPECT_EQ(int(t.corner(2)[1]) - x0, 7);
    EXPECT_EQ(int(t.corner(2)[3]) - y0, 7);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(kept.pages[t.page()][size_t(y0 + y) * 256 + size_t(x0 + x)],
                      source[size_t(100 + y) * 256 + size_t(100 + x)]);
}

TEST(SavePrep, OverflowRefusesTheSaveAndLeavesTheLevelAsItWas) {
    Quiet quiet;
    TempDir dir;
    CTrLevel level;
    BuildMoveableLevel(level, TrVersion2);
    CTrMvb* mv = level.moveableList[0].get();
    AddTracks(*mv);
    mv->animations->GetTrack(1)->frameCount = 40000;  // last frame past 0x7FFF
    const size_t meshes = level.meshes.size();
    const std::vector<TrObjectTextureRecord> textures = level.objectTextures;
    const std::vector<TrPage> pages = level.pages;
    const ObjectModelView before = ViewObjectModel(level);

    EXPECT_THROW(level.PrepareForSave(nullptr, false), OverflowError);
    EXPECT_EQ(DiffObjectModels(before, ViewObjectModel(level)), "");

    const std::string path = dir.file("level.tr2");
    EXPECT_FALSE(level.Save(path, 0, false, true));
    EXPECT_TRUE(quiet.messages.Saw("last frame of an animation"));
    EXPECT_FALSE(FileExists(path));
    // Object model and arrays as before the save: the editor goes on with them.
    ASSERT_EQ(level.moveableList.size(), 1u);
    EXPECT_EQ(level.moveableList[0].get(), mv);
    EXPECT_EQ(mv->animationCount(), 2);
    EXPECT_TRUE(level.soundList != nullptr);
    EXPECT_EQ(level.meshes.size(), meshes);
    EXPECT_TRUE(level.objectTextures == textures);
    EXPECT_TRUE(level.pages == pages);
    EXPECT_EQ(DiffObjectModels(before, ViewObjectModel(level)), "");

    mv->animations->GetTrack(1)->frameCount = 4;
    ASSERT_TRUE(level.Save(path, 0, false, true));
    CTrLevel again;
    ASSERT_TRUE(again.Load(path, false, false));
    ASSERT_EQ(again.moveableList.size(), 1u);
    EXPECT_EQ(again.moveableList[0]->animationCount(), 2);
    EXPECT_EQ(again.moveableList[0]->meshes.size(), 2u);
}

TEST(SavePrep, Tr4RoomTexturesFollowThePackedOnes) {
    Quiet quiet;
    CTrLevel level;
    InitTestLevel(level, TrVersion4, 3);
    level.roomPageCount = level.objectPageCount = level.bumpPageCount = 1;
    const std::vector<TrPage> original = level.pages;
    // 0: a static mesh's, on the object page; 1: room texture on the room page; 2: room
    // texture on the bump page; 3: animated, on the object page.
    level.objectTextures.push_back(TestTexture(1, 0, 0, 16, 16, false));
    level.objectTextures.push_back(TestTexture(0, 0, 0, 32, 32, false));
    level.objectTextures.push_back(TestTexture(2, 0, 0, 32, 32, true));
    level.objectTextures.push_back(TestTexture(1, 32, 0, 8, 8, false));
    for (int i = 1; i < 4; ++i) level.objectTextures[size_t(i)].setU16(4, 0x8000);
    level.objectTextures[2].setU16(2, 0x8002);  // a triangle
    level.meshes.push_back(std::make_unique<TrMeshRecord>(TestMesh({0}, {})));
    level.meshPointers.push_back(0);
    TrStaticMeshRecord st;
    st.setS32(0, 9);
    level.staticMeshes.push_back(st);
    level.rooms.push_back(TestRoom({1}, {2}));
    level.animatedTextures = {1, 0, 3};
    level.BuildObjects(nullptr);
    ASSERT_EQ(level.roomTextures.size(), 3u);

    level.PrepareForSave(nullptr, false);
    // Packed: the static mesh's 16 x 16, then the animated 8 x 8; the room textures after
    // them, but for the animated one on the object page, which went with its page.
    ASSERT_EQ(level.objectTextures.size(), 4u);
    EXPECT_EQ(level.objectTextures[0].page(), 1);  // first object page
    EXPECT_EQ(level.objectTextures[1].page(), 1);
    EXPECT_EQ(level.objectTextures[2].page(), 0);
    EXPECT_EQ(level.objectTextures[3].page(), 0x8002);  // bump page, triangle bit kept
    EXPECT_EQ(level.rooms[0].rectangles[0].u16(8), 2);
    EXPECT_EQ(level.rooms[0].triangles[0].u16(6), 3);
    EXPECT_EQ(level.animatedTextures, (std::vector<uint16_t>{1, 0, 1}));
    EXPECT_TRUE(level.roomTextures.empty());
    ASSERT_EQ(level.pages.size(), 3u);
    EXPECT_TRUE(level.pages[0] == original[0]);
    EXPECT_TRUE(level.pages[2] == original[2]);
    EXPECT_EQ(level.objectPageCount, 1);
    // Corner coordinate bytes 1 go back to 0; 255 stays.
    EXPECT_EQ(level.objectTextures[0].corner(0)[0], 0);
    EXPECT_EQ(level.objectTextures[0].corner(0)[2], 0);
    EXPECT_EQ(level.objectTextures[0].corner(2)[0], 255);
    ASSERT_EQ(level.staticMeshes.size(), 1u);
    EXPECT_EQ(level.staticMeshes[0].objectId(), 9);
    const uint16_t word = level.meshes[level.meshPointers[level.staticMeshes[0].meshIndex()]]
                              ->texturedRectangles[0].texture();
    EXPECT_EQ(word, 0);
}

// An animated range [A, B, A', C] whose A and A' look alike (other places of a page): the
// faces of A and A' keep showing their own place in the range, whatever merges their pixels.
TEST(SavePrep, AnimatedRangesKeepTheirOrderWhenTwoMembersLookAlike) {
    for (int version = TrVersion1; version <= TrVersion4; ++version) {
        SCOPED_TRACE(version);
        Quiet quiet;
        CTrLevel level;
        const bool tr4 = version == TrVersion4;
        InitTestLevel(level, version, tr4 ? 2 : 1);
        if (tr4) level.roomPageCount = level.objectPageCount = 1;
        const int page = tr4 ? 1 : 0;
        // The test pages repeat every 32 rows: A at row 0 and A' at row 32 look alike.
        for (const auto& at : {std::pair{0, 0}, std::pair{8, 0}, std::pair{0, 32}, std::pair{16, 0}}) {
            level.objectTextures.push_back(TestTexture(page, at.first, at.second, 8, 8, false));
            if (tr4) level.objectTextures.back().setU16(4, 0x8000);
        }
        level.rooms.push_back(TestRoom({0, 2, 1}, {}));
        level.animatedTextures = {1, 3, 0, 1, 2, 3};
        level.BuildObjects(nullptr);
        level.PrepareForSave(nullptr, false);

        const std::vector<uint16_t>& animated = level.animatedTextures;
        ASSERT_EQ(animated.size(), 6u);
        const std::vector<uint16_t> range(animated.begin() + 2, animated.end());
        const auto& faces = level.rooms[0].rectangles;
        EXPECT_EQ(faces[0].u16(8) & 0x7FFF, range[0]);
        EXPECT_EQ(faces[1].u16(8) & 0x7FFF, range[2]);
        EXPECT_EQ(faces[2].u16(8) & 0x7FFF, range[1]);
        EXPECT_NE(range[0], range[2]);
        for (uint16_t member : range) ASSERT_LT(member, level.objectTextures.size());
    }
}

// ---- Real levels ----------------------------------------------------------------------

// The objects exactly as they stand: each object's page (size, pixels, file pixels) and
// texture records, and per mesh its textured and coloured faces, bytes and all; the level's
// pages and texture count beside them.
std::vector<std::string> ExactObjects(const CTrLevel& level) {
    auto hash = [](const void* data, size_t bytes) {
        uint64_t h = 1469598103934665603ull;
        for (size_t i = 0; i < bytes; ++i) h = (h ^ static_cast<const uint8_t*>(data)[i]) * 1099511628211ull;
        return std::to_string(bytes) + ":" + std::to_string(h);
    };
    auto faces = [&](const auto& list) {
        return list.empty() ? std::string("0") : hash(list.data(), list.size() * sizeof list[0]);
    };
    std::vector<std::string> out{"pages " + std::to_string(level.pages.size()) + " textures " +
                                 std::to_string(level.objectTextures.size())};
    for (size_t p = 0; p < level.pages.size(); ++p)
        out.push_back("page " + std::to_string(p) + " " + hash(level.pages[p].data(), level.pages[p].size() * 2));
    auto object = [&](const char* kind, const CTrObjGfx& o, const std::vector<TrMeshRecord>* meshes) {
        const std::string name = std::string(kind) + " " + std::to_string(o.objectId);
        out.push_back(name + " page " + std::to_string(o.width) + "x" + std::to_string(o.height) + "x" +
                      std::to_string(o.bitsPerPixel) + " " + hash(o.pixels.data(), o.pixels.size()) +
                      " file " + hash(o.filePixels.data(), o.filePixels.size() * 4));
        for (size_t t = 0; t < o.textures.size(); ++t)
            out.push_back(name + " texture " + std::to_string(t) + " " + hash(o.textures[t].b.data(), 38));
        for (size_t m = 0; meshes && m < meshes->size(); ++m) {
            const TrMeshRecord& mesh = (*meshes)[m];
            out.push_back(name + " mesh " + std::to_string(m) + " dummy " + std::to_string(mesh.dummy) +
                          " textured " + std::to_string(mesh.texturedRectangles.size()) + "/" +
                          std::to_string(mesh.texturedTriangles.size()) + " coloured " +
                          std::to_string(mesh.colouredRectangles.size()) + "/" +
                          std::to_string(mesh.colouredTriangles.size()) + " " +
                          faces(mesh.texturedRectangles) + " " + faces(mesh.texturedTriangles) + " " +
                          faces(mesh.colouredRectangles) + " " + faces(mesh.colouredTriangles));
        }
    };
    for (const auto& m : level.moveableList) object("moveable", *m, &m->meshes);
    for (const auto& m : level.staticMeshList) object("static", *m, &m->meshes);
    for (const auto& s : level.spriteList) object("sprites", *s, nullptr);
    return out;
}

// One real level: load (with the build), save twice, load the save, save that, load it.
// The objects after each save are those of the saved file loaded. The first save shows what the file showed, read from the files alone: every face's
// texels, every animation's keyframes, links and commands, the sound tables.
void RoundTrip(const std::string& path, const TempDir& dir, ScriptedMessageBackend& messages) {
    const std::string ext = ExtensionOf(path);
    DecodeOptions decode;
    CTrLevel first;
    ASSERT_TRUE(first.Load(path, false, false));
    decode.tub = first.isTub;
    const DecodedLevel input = DecodeLevelFile(ReadFileBytes(path), decode);
    // Pages are compared exactly, Tomb Raider I's (written through the palette) too.
    const ObjectModelView before = ViewObjectModel(first, true);

    const std::string a = dir.file("a" + ext), a2 = dir.file("a2" + ext), b = dir.file("b" + ext);
    messages.clear();
    ASSERT_TRUE(first.Save(a, 1, false, true))
        << (messages.shown().empty() ? std::string() : messages.shown().back().text);
    // The model built again after the save saves to the same bytes.
    ASSERT_TRUE(first.Save(a2, 1, false, false));
    EXPECT_TRUE(ReadFileBytes(a) == ReadFileBytes(a2)) << "second save differs";
    const DecodedLevel output = DecodeLevelFile(ReadFileBytes(a), decode);
    EXPECT_EQ(DiffDecoded(input, output), "");
    // The saved file holds the reader's repairs (frame ranges, the Tomb Raider III horizon's
    // colours): read as it stands, it shows the same.
    DecodeOptions asWritten = decode;
    asWritten.asRepaired = false;
    EXPECT_EQ(DiffDecoded(DecodeLevelFile(ReadFileBytes(a), asWritten), output), "");

    CTrLevel second;
    ASSERT_TRUE(second.Load(a, false, false));
    EXPECT_EQ(DiffObjectModels(before, ViewObjectModel(second, true)), "");
    // The objects the save left are those a load of the saved file gives.
    EXPECT_EQ(DiffObjectModels(ExactObjects(first), ExactObjects(second)), "");

    ASSERT_TRUE(second.Save(b, 1, false, false));
    CTrLevel again, third;
    ASSERT_TRUE(again.Load(a, false, false));
    ASSERT_TRUE(third.Load(b, false, false));
    EXPECT_EQ(DiffLevels(again, third, true), "");
    EXPECT_TRUE(ReadFileBytes(a) == ReadFileBytes(b)) << "saving the reloaded level differs";
}

TEST(SavePrepRealLevels, LoadSaveLoadKeepsEveryObjectAndSavesStable) {
    const std::vector<RealLevel> files = RealLevelFiles();
    if (files.empty()) GTEST_SKIP() << "no real levels";
    Quiet quiet;
    TempDir dir;
    int checked = 0;
    for (const RealLevel& file : files) {
        if (file.unsupported) continue;
        SCOPED_TRACE(file.path);
        RoundTrip(file.path, dir, quiet.messages);
        ++checked;
    }
    EXPECT_GT(checked, 0);
}

// Half the meshes of every moveable get a picture of their page touched up in a paint
// program (blue one step off, colours the palette lacks) through "Load & replace texture":
// the save picks their file pixels, and the level loaded from it saves to the same bytes.
TEST(SavePrepRealLevels, RepaintedMeshPagesSaveToAFixedPoint) {
    const std::vector<RealLevel> files = RealLevelFiles();
    if (files.empty()) GTEST_SKIP() << "no real levels";
    Quiet quiet;
    TempDir dir;
    const std::string picture = dir.file("page.tga");
    for (const RealLevel& file : files) {
        if (file.unsupported) continue;
        SCOPED_TRACE(file.path);
        CTrLevel level;
        ASSERT_TRUE(level.Load(file.path, false, false));
        for (auto& mvb : level.moveableList) {
            for (uint32_t m = 0; m < mvb->meshCount(); m += 2) {
                CTrLstMsh one(*mvb, int(m), 0, 0);
                if (mvb->meshes[m].dummy || one.width == 0) continue;
                ASSERT_TRUE(one.ExportTga(picture, false));
                std::vector<uint8_t> tga = ReadFileBytes(picture);
                for (size_t i = 18; i + 3 < tga.size(); i += 4)
                    if (tga[i + 3] == 255) tga[i] ^= 8;
                WriteFileBytes(picture, tga);
                ASSERT_TRUE(one.ReplaceTexture(picture));
                ASSERT_TRUE(mvb->ReplaceMesh(one, 0, m));
            }
        }
        const std::string ext = ExtensionOf(file.path);
        const std::string a = dir.file("a" + ext), b = dir.file("b" + ext);
        ASSERT_TRUE(level.Save(a, 1, false, false));
        CTrLevel again;
        ASSERT_TRUE(again.Load(a, false, false));
        ASSERT_TRUE(again.Save(b, 1, false, false));
        EXPECT_TRUE(ReadFileBytes(a) == ReadFileBytes(b)) << "saving the saved level changed it";
    }
}

// Textured faces of the object for which holds(effects, texture or null).
template <class F>
size_t CountFaces(const CTrLstMsh& object, F holds) {
    size_t n = 0;
    auto count = [&](const auto& faces) {
        for (const auto& f : faces) {
            const size_t t = f.texture() & 0x7FFF;
            n += holds(f.effects(), t < object.textures.size() ? &object.textures[t] : nullptr);
        }
    };
    for (const TrMeshRecord& m : object.meshes) {
        count(m.texturedRectangles);
        count(m.texturedTriangles);
    }
    return n;
}

// The moveables of the Tomb Raider I to III levels with faces coloured in the file go into a
// Tomb Raider IV level as moveable files, through a 3D Studio file and handed over as "Add
// resource" does (static meshes too): there their faces have effects 0 and no object texture
// keeps the palette tile's marks; the sounds whose samples the level lacks are left out and
// named in one warning. Back into their own level through moveable files, their coloured
// faces are written with the colour words of the file.
TEST(SavePrepRealLevels, PaletteTileMarksStayOutOfTheFilesOfOtherEditions) {
    const std::vector<RealLevel> files = RealLevelFiles();
    std::string tr4;
    for (const RealLevel& file : files)
        if (!file.unsupported && tr4.empty() && ReadFileBytes(file.path).at(0) == 'T') tr4 = file.path;
    if (tr4.empty()) GTEST_SKIP() << "no real Tomb Raider IV level";
    Quiet quiet;
    TempDir dir;
    auto onTile = [](uint16_t, const TrObjectTextureRecord* t) { return t && PaletteTileEntry(*t) >= 0; };
    int sources = 0;
    for (const RealLevel& file : files) {
        if (file.unsupported || file.path == tr4) continue;
        SCOPED_TRACE(file.path);
        CTrLevel source, target;
        ASSERT_TRUE(source.Load(file.path, false, false));
        if (source.version == TrVersion4) continue;
        std::vector<size_t> marked;
        std::vector<std::vector<uint8_t>> images;
        for (size_t i = 0; i < source.moveableList.size(); ++i)
            if (CountFaces(*source.moveableList[i], onTile) > 0) {
                marked.push_back(i);
                images.push_back(source.moveableList[i]->Serialize());
            }
        if (marked.empty()) continue;
        ++sources;

        ASSERT_TRUE(target.Load(tr4, false, false));
        const size_t ownMoveables = target.moveableList.size(), ownStatics = target.staticMeshList.size();
        for (const std::vector<uint8_t>& image : images) target.moveableList.emplace_back(new CTrMvb(image));
        const std::string threeDs = dir.file("marked.3ds");
        ASSERT_TRUE(ExportMoveableTo3ds(source.moveableList[marked[0]].get(), threeDs.c_str(), "marked", &source, -1));
        target.moveableList.emplace_back(new CTrMvb);
        ASSERT_TRUE(ImportMoveableFrom3ds(target.moveableList.back().get(), threeDs.c_str(), false, true));
        for (size_t i : marked) {
            target.moveableList.emplace_back(new CTrMvb);
            target.moveableList.back()->TakeOver(*source.moveableList[i], true, true);
        }
        for (auto& s : source.staticMeshList) {
            target.staticMeshList.emplace_back(new CTrStatMsh);
            target.staticMeshList.back()->TakeOver(*s);
        }
        std::set<int32_t> foreign;
        for (size_t i = ownMoveables; i < target.moveableList.size(); ++i)
            if (const CTrSoundList* sounds = MoveableSoundList(*target.moveableList[i])) {
                for (const auto& [index, r] : *sounds)
                    if (!target.soundList->Contains(index)) foreign.insert(index);
                target.soundList->Merge(*sounds, false);
            }
        const std::string saved = dir.file("target.tr4");
        quiet.messages.clear();
        ASSERT_TRUE(target.Save(saved, 1, false, false));
        std::set<int32_t> leftOut;
        for (const TrSoundLeftOut& s : target.soundsLeftOut) leftOut.insert(s.internalIndex);
        EXPECT_EQ(leftOut, foreign);
        ASSERT_EQ(quiet.messages.shown().size(), foreign.empty() ? 0u : 1u);
        for (int32_t index : foreign) {
            const std::string& text = quiet.messages.shown()[0].text;
            const std::string id = "#" + std::to_string(index);
            EXPECT_TRUE(text.find(id + ",") != std::string::npos || text.find(id + ":") != std::string::npos)
                << text;
        }

        CTrLevel written;
        ASSERT_TRUE(written.Load(saved, false, false));
        for (int32_t index : foreign) EXPECT_FALSE(written.soundList->Contains(index)) << index;
        for (const TrObjectTextureRecord& t : written.objectTextures) ASSERT_LT(PaletteTileEntry(t), 0);
        ASSERT_EQ(written.moveableList.size(), ownMoveables + 2 * marked.size() + 1);
        auto withEffects = [](uint16_t effects, const TrObjectTextureRecord*) { return effects != 0; };
        for (size_t i = ownMoveables; i < written.moveableList.size(); ++i)
            EXPECT_EQ(CountFaces(*written.moveableList[i], withEffects), 0u) << "moveable " << i;
        for (size_t i = ownStatics; i < written.staticMeshList.size(); ++i)
            EXPECT_EQ(CountFaces(*written.staticMeshList[i], withEffects), 0u) << "static mesh " << i;

        CTrLevel own, before, after;
        ASSERT_TRUE(own.Load(file.path, false, false));
        for (size_t k = 0; k < marked.size(); ++k) {
            CTrMvb loaded(images[k]);
            own.moveableList[marked[k]]->ClearParts(true, true, false);
            own.moveableList[marked[k]]->TakeOver(loaded, true, false);
        }
        const std::string back = dir.file("own" + ExtensionOf(file.path));
        ASSERT_TRUE(own.Save(back, 1, false, false));
        ASSERT_TRUE(before.Load(file.path, true, false));
        ASSERT_TRUE(after.Load(back, true, false));
        for (size_t i : marked) {
            const TrMoveableRecord &a = before.moveables.at(i), &b = after.moveables.at(i);
            for (uint32_t m = 0; m < a.meshCount(); ++m) {
                const TrMeshRecord* x = before.MeshForPointer(a.firstMesh() + m);
                const TrMeshRecord* y = after.MeshForPointer(b.firstMesh() + m);
                if (x && y) {
                    EXPECT_TRUE(x->colouredRectangles == y->colouredRectangles &&
                                x->colouredTriangles == y->colouredTriangles)
                        << "moveable " << i << " mesh " << m;
                }
            }
        }
    }
    EXPECT_GT(sources, 0);
}

// A moveable of more meshes than two-word rotations fit in a frame saves and loads again
// while its rotations take one word each, and so does one without animations.
TEST(SavePrep, MoveablesOfManyMeshesSaveWhileTheirFramesHoldThem) {
    Quiet quiet;
    TempDir dir;
    constexpr uint16_t kMeshes = 200;
    CTrLevel level;
    InitTestLevel(level, TrVersion3, 1);
    level.rooms.resize(1);
    level.objectTextures.push_back(TestTexture(0, 0, 0, 16, 16, false));
    for (uint32_t i = 0; i < kMeshes; ++i) {
        level.meshes.push_back(std::make_unique<TrMeshRecord>(TestMesh({0}, {})));
        level.meshes.back()->vertices[0].x = int16_t(i);
        level.meshPointers.push_back(i);
    }
    TrMoveableRecord still = MoveableRecord(5, kMeshes, 0), moving = MoveableRecord(6, kMeshes, 0);
    moving.setU16(16, 0);
    level.moveables = {still, moving};
    level.meshTrees.assign(4 * (kMeshes - 1), 0);
    // Two keys of 9 + 200 words: every rotation one word about one axis.
    const size_t frameWords = 9 + kMeshes;
    level.frames.assign(2 * frameWords, 0);
    for (size_t k = 0; k < 2; ++k)
        for (size_t m = 0; m < kMeshes; ++m)
            level.frames[k * frameWords + 9 + m] = int16_t(0x4000 | (k * 100 + m));
    TrAnimationRecord a;
    a.setU8(4, 1);
    a.setU8(5, uint8_t(frameWords));
    a.setU16(26, 1);
    level.animations = {a};
    const std::vector<int16_t> frames = level.frames;
    level.BuildObjects(nullptr);
    ASSERT_EQ(level.moveableList.size(), 2u);
    ASSERT_EQ(level.moveableList[1]->GetTrack(0)->keyCount(), 2);

    const std::string path = dir.file("many.tr2");
    ASSERT_TRUE(level.Save(path, 1, false, false));
    CTrLevel back;
    ASSERT_TRUE(back.Load(path, false, false)) << LevelLog().refusal;
    ASSERT_EQ(back.moveables.size(), 2u);
    EXPECT_EQ(back.moveables[0].meshCount(), kMeshes);
    EXPECT_EQ(back.moveables[0].firstAnimation(), 0xFFFF);
    ASSERT_EQ(back.animations.size(), 1u);
    EXPECT_EQ(back.animations[0].frameSize(), frameWords);
    EXPECT_EQ(back.frames, frames);
    EXPECT_EQ(back.moveableList[1]->meshes[kMeshes - 1].vertices[0].x, kMeshes - 1);
}

TEST(SavePrep, DummyMeshesSurviveASaveAndReload) {
    Quiet quiet;
    TempDir dir;
    CTrLevel level;
    BuildMoveableLevel(level, TrVersion2);
    AddTracks(*level.moveableList[0]);
    const std::string path = dir.file("dummy.tr2");
    ASSERT_TRUE(level.Save(path, 0, false, false));
    CTrLevel back;
    ASSERT_TRUE(back.Load(path, false, false));
    ASSERT_EQ(back.moveableList.size(), 1u);
    const CTrMvb& mv = *back.moveableList[0];
    ASSERT_EQ(mv.meshes.size(), 2u);
    EXPECT_EQ(mv.meshes[0].dummy, 0);
    EXPECT_EQ(mv.meshes[0].vertexCount(), level.moveableList[0]->meshes[0].vertexCount());
    EXPECT_EQ(mv.meshes[1].dummy, 1);
}
