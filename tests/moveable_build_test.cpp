// Moveables built from a level's records: meshes and dummies, tree, the frame decode of each
// version, the one-key fallback, relative numbering, sounds, and the damaged-index repairs.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <iostream>

#include "TestSupport.h"
#include "level/LevelLog.h"
#include "level/TrLevel.h"
#include "level/TrMvb.h"
#include "platform/Files.h"
#include "platform/Messages.h"

using namespace lithoscope;

namespace {

constexpr float kUnit = 0.3515625f * 0.017453292f;  // one packed angle unit in radians

TrMoveableRecord Moveable(int32_t id, uint16_t meshCount, uint16_t firstMesh, uint32_t tree,
                          uint16_t firstAnim) {
    TrMoveableRecord r;
    r.setS32(0, id);
    r.setU16(4, meshCount);
    r.setU16(6, firstMesh);
    r.setU32(8, tree);
    r.setU16(16, firstAnim);
    return r;
}

struct AnimFields {
    uint32_t offset = 0;
    uint8_t rate = 1;
    uint8_t size = 0;
    uint16_t state = 0;
    uint16_t start = 0, end = 0;
    uint16_t next = 0, nextFrame = 0;
    uint16_t states = 0, stateFirst = 0;
    uint16_t commands = 0, commandFirst = 0;
};

TrAnimationRecord Anim(const AnimFields& s) {
    TrAnimationRecord a;
    a.setU32(0, s.offset);
    a.setU8(4, s.rate);
    a.setU8(5, s.size);
    a.setU16(6, s.state);
    a.setU16(24, s.start);
    a.setU16(26, s.end);
    a.setU16(28, s.next);
    a.setU16(30, s.nextFrame);
    a.setU16(32, s.states);
    a.setU16(34, s.stateFirst);
    a.setU16(36, s.commands);
    a.setU16(38, s.commandFirst);
    return a;
}

TrStateChangeRecord State(uint16_t id, uint16_t count, uint16_t first) {
    TrStateChangeRecord r;
    r.setU16(0, id);
    r.setU16(2, count);
    r.setU16(4, first);
    return r;
}

TrAnimDispatchRecord Dispatch(int16_t low, int16_t high, int16_t next, int16_t frame) {
    TrAnimDispatchRecord r;
    r.setS16(0, low);
    r.setS16(2, high);
    r.setS16(4, next);
    r.setS16(6, frame);
    return r;
}

TrMeshRecord PointMesh(int16_t x, int16_t y, int16_t z) {
    TrMeshRecord m;
    m.vertices = {{x, y, z}};
    m.lights = {1000};
    return m;
}

// Reads the level log written so far.
std::string LogText() {
    std::vector<uint8_t> bytes;
    ReadWholeFile(LevelLog().logPath, bytes);
    return std::string(bytes.begin(), bytes.end());
}

int Count(const std::string& text, const std::string& part) {
    int n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

// A log in a temporary folder for one test, and a moveable index for its lines.
class LogScope {
public:
    LogScope() {
        StartLevelLog(dir_.file("level.tr2"));
        LevelLog().currentMoveable = -1;
    }
    ~LogScope() {
        LevelLog().logPath.clear();
        LevelLog().currentMoveable = -1;
    }
    int errors() const { return LevelLog().errorCount; }

private:
    test::TempDir dir_;
};

// Tomb Raider II: three moveables. Moveable 0 (id 5): four meshes (mesh 2 a dummy, an
// empty mesh), three animations; moveable 1 (id 7): no animations; moveable 2 (id 9):
// animation 3.
void Tr2Level(CTrLevel& level) {
    level.version = TrVersion2;
    level.meshes.push_back(std::make_unique<TrMeshRecord>(PointMesh(1, 2, 3)));
    level.meshes.push_back(std::make_unique<TrMeshRecord>(PointMesh(5, 6, 7)));
    level.meshes.push_back(std::make_unique<TrMeshRecord>());
    level.meshes.push_back(std::make_unique<TrMeshRecord>(PointMesh(-1, -2, -3)));
    level.meshPointers = {0, 1, 2, 3};
    level.zeroMeshEntry = 2;  // pointer 2 holds 0
    level.meshTrees = {0, 10, 20, 30, 2, 0, -5, 0, 1, 7, 0, 0};
    level.moveables = {Moveable(5, 4, 0, 0, 0), Moveable(7, 1, 3, 0, 0xFFFF),
                       Moveable(9, 1, 1, 0, 3)};

    // Frames of 14 words: box, root offset, then mesh 0 in the three-axis form and meshes
    // 1 to 3 in the one-axis forms (x, y, z).
    level.frames = {-10, 20, -30, 40, -50, 60, 1, 2, 3, 0x0010, 0x0400, 0x4100,
                    int16_t(0x8080), int16_t(0xC040),
                    0, 0, 0, 0, 0, 0, 4, 5, 6, 0, 0, 0x4000, int16_t(0x8000), int16_t(0xC000)};
    level.frames.resize(56, 0);

    AnimFields a0;
    a0.offset = 0;
    a0.rate = 2;
    a0.size = 14;
    a0.state = 0x22;
    a0.start = 100;
    a0.end = 103;
    a0.next = 1;
    a0.states = 2;
    a0.commands = 3;
    TrAnimationRecord r0 = Anim(a0);
    r0.setU16(8, 0x1111);
    r0.setS16(10, -2);
    r0.setU16(12, 0x8000);
    r0.setS16(14, 3);
    for (int i = 0; i < 8; ++i) r0.setU8(16 + size_t(i), uint8_t(i + 1));

    AnimFields a1;  // no frame size: one key; last frame past 0x7FFF; an unknown command
    a1.offset = 56;
    a1.end = 0x8000;
    a1.next = 0;
    a1.nextFrame = 101;
    a1.commands = 1;
    a1.commandFirst = 8;

    AnimFields a2;  // inverted frames
    a2.offset = 56;
    a2.size = 14;
    a2.start = 10;
    a2.end = 5;
    a2.next = 50;

    AnimFields a3;  // moveable 2: the level's last animation
    a3.offset = 84;
    a3.size = 14;
    a3.next = 3;
    a3.states = 1;
    a3.stateFirst = 2;
    level.animations = {r0, Anim(a1), Anim(a2), Anim(a3)};

    level.stateChanges = {State(7, 1, 0), State(3, 2, 1), State(4, 2, 3)};
    level.animDispatches = {Dispatch(101, 103, 0, 101), Dispatch(100, 102, 1, 0),
                            Dispatch(102, 104, 0, 103), Dispatch(0, 1, 5, 7),
                            Dispatch(0, 1, 100, 0)};
    level.animCommands = {5, 102, 0x400C, 1, 10, -256, 20, 3, 9};

    std::fill(level.soundMap, level.soundMap + 2048, int16_t(-1));
    level.soundMap[12] = 1;
    TrSoundDetailRecord d;
    d.setU16(0, 2);
    d.setU16(2, 0x1234);
    d.setS16(4, 5);
    d.setS16(6, 0x0014);
    level.soundDetails = {TrSoundDetailRecord(), d};
    level.sampleIndices = {0, 10, 20, 30, 40, 50, 60};
}

void ExpectQuat(const CQuaternion& q, float x, float y, float z, float w) {
    EXPECT_NEAR(q.x, x, 1e-5f);
    EXPECT_NEAR(q.y, y, 1e-5f);
    EXPECT_NEAR(q.z, z, 1e-5f);
    EXPECT_NEAR(q.w, w, 1e-5f);
}

void ExpectRange(const TrStateChangeRange& r, int low, int high, int anim, int frame, int key) {
    EXPECT_EQ(r.lowFrame, low);
    EXPECT_EQ(r.highFrame, high);
    EXPECT_EQ(r.nextAnim, anim);
    EXPECT_EQ(r.nextFrame, frame);
    EXPECT_EQ(r.key, key);
}

void ExpectImageRoundTrip(const CTrMvb& m) {
    int size = 0;
    const std::vector<uint8_t> image = m.Serialize(&size);
    EXPECT_EQ(size, m.GetSize());
    CTrMvb back(image);
    // A moveable read from a file reports game version 4.
    std::vector<uint8_t> expected = image;
    expected[2] = 4;
    EXPECT_EQ(back.Serialize(), expected);
}

}  // namespace

TEST(MoveableBuild, Tr2MoveableHasTheHandWorkedParts) {
    LogScope log;
    ScriptedMessageBackend messages;
    ScopedMessageBackend scoped(&messages);
    CTrLevel level;
    Tr2Level(level);

    LevelLog().currentMoveable = 0;
    CTrMvb m(level.moveables[0], level);
    EXPECT_EQ(m.format, 3);
    EXPECT_EQ(m.kind, 3);
    EXPECT_EQ(m.gameVersion, TrVersion2);
    EXPECT_EQ(m.extra, 0);
    EXPECT_EQ(m.objectId, 5);
    EXPECT_EQ(m.firstMesh, 0);
    EXPECT_EQ(m.noAnimations, 0);

    // Mesh 2, whose pointer holds 0, is the dummy.
    ASSERT_EQ(m.meshCount(), 4u);
    EXPECT_EQ(m.meshes[0].dummy, 0);
    EXPECT_EQ(m.meshes[0].vertices.size(), 1u);
    EXPECT_EQ(m.meshes[1].dummy, 0);
    EXPECT_EQ(m.meshes[2].dummy, 1);
    EXPECT_EQ(m.meshes[3].vertices[0].x, -1);
    // TR2 lights are held inverted.
    EXPECT_EQ(m.meshes[1].lights[0], 8192 - 1000);
    ASSERT_EQ(m.meshTree.size(), 3u);
    EXPECT_TRUE(m.meshTree[0] == (TrMeshTreeEntry{0, 10, 20, 30}));
    EXPECT_TRUE(m.meshTree[1] == (TrMeshTreeEntry{2, 0, -5, 0}));
    EXPECT_TRUE(m.meshTree[2] == (TrMeshTreeEntry{1, 7, 0, 0}));

    ASSERT_EQ(m.animationCount(), 3);
    const CTRAnimTrack* t = m.GetTrack(0);
    ASSERT_NE(t, nullptr);
    ASSERT_EQ(t->keyCount(), 2);  // 56 bytes to the next animation / 2 / 14 words
    EXPECT_EQ(t->frameCount, 4u);
    EXPECT_EQ(t->interval, 2u);
    EXPECT_EQ(t->rate, 30.0f);
    const CAnimKey& k0 = t->keys[0];
    EXPECT_EQ(k0.frame, 0);
    EXPECT_EQ(t->keys[1].frame, 2);
    EXPECT_EQ(k0.boneCount, 4);
    // Box (min x, -max y, -max z) .. (max x, -min y, -min z); root (x, -y, -z).
    EXPECT_EQ(k0.box.min.x, -10);
    EXPECT_EQ(k0.box.min.y, -40);
    EXPECT_EQ(k0.box.min.z, -60);
    EXPECT_EQ(k0.box.max.x, 20);
    EXPECT_EQ(k0.box.max.y, 30);
    EXPECT_EQ(k0.box.max.z, 50);
    ASSERT_EQ(k0.bones.size(), 4u);
    EXPECT_EQ(k0.bones[0].offset.x, 1);
    EXPECT_EQ(k0.bones[0].offset.y, -2);
    EXPECT_EQ(k0.bones[0].offset.z, -3);
    EXPECT_EQ(k0.bones[1].offset.x, 0);
    EXPECT_EQ(t->keys[1].bones[0].offset.z, -6);
    // Mesh 0: x = 1 unit, y = 1 unit, taken as (x, -y, 0): (qy qx).
    const float sx = std::sin(kUnit / 2), cx = std::cos(kUnit / 2);
    const float sy = std::sin(-kUnit / 2), cy = std::cos(-kUnit / 2);
    ExpectQuat(k0.bones[0].rotation, cy * sx, sy * cx, -sy * sx, cy * cx);
    EXPECT_EQ(k0.bones[0].word0, 0x0010);
    EXPECT_EQ(k0.bones[0].word1, 0x0400);
    // Mesh 1: 0x4100 is 90 degrees about x.
    ExpectQuat(k0.bones[1].rotation, std::sqrt(0.5f), 0, 0, std::sqrt(0.5f));
    EXPECT_EQ(k0.bones[1].word0, 0x1000);
    // Mesh 2: 0x8080 is 45 degrees about y, stored as -45.
    ExpectQuat(k0.bones[2].rotation, 0, -std::sin(kPi / 8), 0, std::cos(kPi / 8));
    EXPECT_EQ(k0.bones[2].word0, 2);
    // Mesh 3: 0xC040 is 22.5 degrees about z, stored as -22.5.
    ExpectQuat(k0.bones[3].rotation, 0, 0, -std::sin(kPi / 16), std::cos(kPi / 16));
    EXPECT_EQ(k0.bones[3].word1, 64);
    ExpectQuat(t->keys[1].bones[2].rotation, 0, 0, 0, 1);

    EXPECT_EQ(t->stateId, 0x22);
    EXPECT_EQ(t->speedLow, 0x1111);
    EXPECT_EQ(t->speedHigh, -2);
    EXPECT_EQ(t->acceleration, 3.5f);
    EXPECT_EQ(t->commandCount, 3);
    EXPECT_EQ(t->lateral[0], 1);
    EXPECT_EQ(t->lateral[7], 8);

    // State changes sorted by id, ranges relative to the first frame 100, dispatch
    // targets relative to the first animation 0.
    ASSERT_EQ(t->stateCount(), 2);
    EXPECT_EQ(t->stateChanges[0].stateId, 3);
    ASSERT_EQ(t->stateChanges[0].rangeCount(), 2);
    ExpectRange(t->stateChanges[0].ranges[0], 0, 1, 1, 0, 0);
    ExpectRange(t->stateChanges[0].ranges[1], 2, 3, 0, 3, 1);
    EXPECT_EQ(t->stateChanges[1].stateId, 7);
    ExpectRange(t->stateChanges[1].ranges[0], 1, 2, 0, 1, 0);

    // Commands: sound at frame 102 -> 2, three values, a code without operands.
    ASSERT_EQ(t->commandTotal(), 3);
    EXPECT_EQ(t->commands[0].code, 5);
    EXPECT_EQ(t->commands[0].operands[0], 2);
    EXPECT_EQ(t->commands[0].operands[1], 0x400C);
    EXPECT_EQ(t->commands[1].code, 1);
    EXPECT_EQ(t->commands[1].operands[1], -256);
    EXPECT_EQ(t->commands[2].code, 3);
    EXPECT_EQ(t->commands[2].operandCount, 0);
    int nextAnim = -1, nextFrame = -1;
    m.animations->GetNext(&nextAnim, &nextFrame, 0);
    EXPECT_EQ(nextAnim, 1);
    EXPECT_EQ(nextFrame, 0);

    // Animation 1: frame size 0 gives one key; the abnormal last frame sets both to 0.
    const CTRAnimTrack* t1 = m.GetTrack(1);
    ASSERT_NE(t1, nullptr);
    EXPECT_EQ(t1->keyCount(), 1);
    EXPECT_EQ(t1->frameCount, 1u);
    ASSERT_EQ(t1->keys[0].bones.size(), 4u);
    ExpectQuat(t1->keys[0].bones[3].rotation, 0, 0, 0, 1);
    EXPECT_EQ(t1->keys[0].box.max.x, 0);
    EXPECT_EQ(level.animations[1].frameStart(), 0);
    EXPECT_EQ(level.animations[1].frameEnd(), 0);
    EXPECT_TRUE(t1->commands.empty());  // the unknown code 9 ends the list
    m.animations->GetNext(&nextAnim, &nextFrame, 1);
    EXPECT_EQ(nextAnim, 0);
    EXPECT_EQ(nextFrame, 1);  // 101 - first frame 100

    // Animation 2: frames 10 and 5 swapped in the level, 6 frames, one key of data.
    const CTRAnimTrack* t2 = m.GetTrack(2);
    EXPECT_EQ(level.animations[2].frameStart(), 5);
    EXPECT_EQ(level.animations[2].frameEnd(), 10);
    EXPECT_EQ(t2->frameCount, 6u);
    EXPECT_EQ(t2->keyCount(), 1);
    m.animations->GetNext(&nextAnim, &nextFrame, 2);
    EXPECT_EQ(nextAnim, 50);  // no animation of the level: kept as the file has it
    EXPECT_EQ(nextFrame, 0);

    // Sounds: id 0x400C & 0x3FFF = 12 -> detail 1 -> sample index 2 -> 20.
    ASSERT_EQ(m.sounds->size(), 1u);
    const TrSoundRecord* s = m.sounds->Find(12);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->firstSample, 20u);
    EXPECT_EQ(s->sampleCount, 5);
    EXPECT_EQ(s->volume, 0x1234);
    EXPECT_EQ(s->chance, 5);

    // Log: abnormal frames, the unknown command, the inverted frames count as errors; the
    // one-key notice does not.
    const std::string text = LogText();
    EXPECT_EQ(log.errors(), 3) << text;
    EXPECT_NE(text.find("ERROR: Moveable[0] Slot=5 Animation=1 (AbsAnimation=1):\r\n\t\tAbnormal "
                        "values FrameStart (0x0) ; FrameEnd (0x8000)\r\n\tThis problem has been "
                        "fixed."),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("ATTENTION: Moveable[0] Slot=5 Animation=2 (AbsAnimation=1):\r\n\t\tThis "
                        "animation has no keyframes. 1 keyframe animation created."),
              std::string::npos);
    EXPECT_NE(text.find("ERROR: inverted framestart / framend in moveable index=0  Slot=5"),
              std::string::npos);
    EXPECT_TRUE(messages.shown().empty());
    ExpectImageRoundTrip(m);

    // Moveable 1: no animations.
    LevelLog().currentMoveable = 1;
    CTrMvb none(level.moveables[1], level);
    EXPECT_EQ(none.noAnimations, 1);
    ASSERT_TRUE(none.animations);
    EXPECT_EQ(none.animationCount(), 0);
    ASSERT_TRUE(none.sounds);
    EXPECT_TRUE(none.sounds->empty());
    EXPECT_TRUE(none.meshTree.empty());
    ExpectImageRoundTrip(none);

    // Moveable 2: a dispatch to 5 with first animation 3 stores nextAnim 2, its frame
    // relative to animation 2 (first frame 5 since the repair); a target that is no
    // animation either way is kept as it stands, with a note in the log.
    LevelLog().currentMoveable = 2;
    const int before = log.errors();
    CTrMvb third(level.moveables[2], level);
    ASSERT_EQ(third.animationCount(), 1);
    const CTRAnimTrack* t3 = third.GetTrack(0);
    EXPECT_EQ(t3->keyCount(), 1);  // the level's last: (112 - 84) / 28
    ASSERT_EQ(t3->stateCount(), 1);
    ASSERT_EQ(t3->stateChanges[0].rangeCount(), 2);
    ExpectRange(t3->stateChanges[0].ranges[0], 0, 0, 2, 2, 0);
    EXPECT_EQ(t3->stateChanges[0].ranges[1].nextAnim, 100 - 3);
    EXPECT_EQ(log.errors(), before);
    EXPECT_NE(LogText().find("goes to animation 100"), std::string::npos);
}

TEST(MoveableBuild, DummyExceptionsByVersion) {
    LogScope log;
    // Object 0 before TR3 keeps every mesh.
    CTrLevel lara;
    Tr2Level(lara);
    lara.moveables[0].setS32(0, 0);
    CTrMvb m(lara.moveables[0], lara);
    EXPECT_EQ(m.meshes[2].dummy, 0);

    // TR3: mesh 1 of object 1 is kept, mesh 2 is still a dummy (both pointers hold 0).
    CTrLevel tr3;
    Tr2Level(tr3);
    tr3.version = TrVersion3;
    tr3.meshPointers[1] = tr3.zeroMeshEntry;
    tr3.moveables[0].setS32(0, 1);
    CTrMvb one(tr3.moveables[0], tr3);
    EXPECT_EQ(one.meshes[1].dummy, 0);
    EXPECT_EQ(one.meshes[2].dummy, 1);
    // TR3 lights stay as they are.
    EXPECT_EQ(one.meshes[0].lights[0], 1000);
    // Another id: both are dummies.
    tr3.moveables[0].setS32(0, 2);
    CTrMvb two(tr3.moveables[0], tr3);
    EXPECT_EQ(two.meshes[1].dummy, 1);
    EXPECT_EQ(two.meshes[2].dummy, 1);
}

TEST(MoveableBuild, Tr1FramesCountTheirRotationsAndSwapTheirWords) {
    LogScope log;
    CTrLevel level;
    level.version = TrVersion1;
    for (int i = 0; i < 5; ++i) level.meshes.push_back(std::make_unique<TrMeshRecord>(PointMesh(1, 1, 1)));
    level.meshPointers = {0, 1, 2, 3, 4};
    level.meshTrees.assign(16, 0);
    level.moveables = {Moveable(0, 5, 0, 0, 0)};
    // Frames of 16 words (2 x 3 rotations + 10): the size byte is 0 as in the game's
    // levels. Rotation words come in the other order: (v, w).
    level.frames = {0, 0, 0, 0, 0, 0, 7, 8, 9, 3, 0x0400, 0x0010, 0, 0x4100, 0, 0,
                    0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0};
    AnimFields a;
    a.rate = 3;
    a.end = 5;
    a.commands = 1;
    level.animations = {Anim(a)};
    level.animCommands = {5, 0, 12};
    std::fill(level.soundMap, level.soundMap + 2048, int16_t(-1));
    level.soundMap[12] = 0;
    level.soundDetails = {TrSoundDetailRecord()};
    level.sampleIndices = {4};

    LevelLog().currentMoveable = 0;
    CTrMvb m(level.moveables[0], level);
    const CTRAnimTrack* t = m.GetTrack(0);
    ASSERT_NE(t, nullptr);
    ASSERT_EQ(t->keyCount(), 2);  // 64 bytes / (2 x 16)
    EXPECT_EQ(t->frameCount, 6u);
    EXPECT_EQ(t->interval, 3u);
    EXPECT_EQ(t->keys[1].frame, 3);
    const CAnimKey& k0 = t->keys[0];
    ASSERT_EQ(k0.bones.size(), 5u);
    EXPECT_EQ(k0.bones[0].offset.y, -8);
    // Mesh 0: swapped to w = 0x0010, v = 0x0400: x = 1 unit, y = 1 unit.
    const float sx = std::sin(kUnit / 2), cx = std::cos(kUnit / 2);
    const float sy = std::sin(-kUnit / 2), cy = std::cos(-kUnit / 2);
    ExpectQuat(k0.bones[0].rotation, cy * sx, sy * cx, -sy * sx, cy * cx);
    EXPECT_EQ(k0.bones[0].word0, 0x0010);
    EXPECT_EQ(k0.bones[0].word1, 0x0400);
    // Mesh 1: (0, 0x4100) swapped to w = 0x4100, v = 0, always the three-axis form in
    // TR1: x = (0x410 & 0x3FF) = 16 units, y = z = 0.
    ExpectQuat(k0.bones[1].rotation, std::sin(8 * kUnit), 0, 0, std::cos(8 * kUnit));
    EXPECT_EQ(k0.bones[1].word0, 0x4100);
    EXPECT_EQ(k0.bones[1].word1, 0);
    // Three rotations for five meshes: bones 3 and 4 hold no rotation.
    ExpectQuat(k0.bones[3].rotation, 0, 0, 0, 1);
    ExpectQuat(k0.bones[4].rotation, 0, 0, 0, 1);
    EXPECT_EQ(k0.bones[4].word0, 0);
    // Tomb Raider I moveables keep no sounds of their own.
    EXPECT_TRUE(m.sounds->empty());
    EXPECT_EQ(log.errors(), 0) << LogText();
    EXPECT_EQ(LogText().find("ATTENTION"), std::string::npos);
    ExpectImageRoundTrip(m);
}

TEST(MoveableBuild, DamagedIndicesAreLoggedAndMadeSafe) {
    LogScope log;
    ScriptedMessageBackend messages;
    ScopedMessageBackend scoped(&messages);

    // Mesh pointers and mesh-tree words past their tables.
    {
        CTrLevel level;
        Tr2Level(level);
        level.moveables[0].setU16(6, 2);  // meshes 2..5 of a 4-pointer table
        level.moveables[0].setU32(8, 8);  // 3 entries from word 8 of 12
        const int before = log.errors();
        CTrMvb m(level.moveables[0], level);
        ASSERT_EQ(m.meshCount(), 4u);
        EXPECT_EQ(m.meshes[0].dummy, 1);  // pointer 2 holds 0
        EXPECT_EQ(m.meshes[1].dummy, 0);
        EXPECT_EQ(m.meshes[2].dummy, 1);
        EXPECT_EQ(m.meshes[3].dummy, 1);
        ASSERT_EQ(m.meshTree.size(), 3u);
        EXPECT_TRUE(m.meshTree[0] == (TrMeshTreeEntry{1, 7, 0, 0}));
        EXPECT_TRUE(m.meshTree[1] == TrMeshTreeEntry());
        const std::string text = LogText();
        EXPECT_EQ(Count(text, "past the 4 mesh pointers"), 2) << text;
        EXPECT_NE(text.find("run past the 12 mesh tree words. 2 entries set to 0."),
                  std::string::npos);
        EXPECT_EQ(log.errors(), before + 3 + 3);  // and the three animation repairs
    }

    // Frame data: an offset past the end, and frames that run past it.
    {
        CTrLevel level;
        Tr2Level(level);
        level.animations[0].setU32(0, 1000);  // past the 112 bytes
        level.animations[2].setU8(5, 9);      // 9-word frames: 28 / 18 = 1 key, rotations past
        level.animations[2].setU32(0, 94);
        level.animations[3].setU32(0, 112);
        messages.clear();
        const int before = log.errors();
        CTrMvb m(level.moveables[0], level);
        ASSERT_EQ(m.animationCount(), 3);
        EXPECT_EQ(m.GetTrack(0)->keyCount(), 1);
        EXPECT_EQ(m.GetTrack(2)->keyCount(), 1);
        ASSERT_EQ(messages.shown().size(), 1u);
        EXPECT_EQ(messages.shown()[0].text,
                  "Moveable ID 5, anim #1:\nThis animation will try to read data beyond end of "
                  "keyframe data.\nLithoscope may crash!");
        const std::string text = LogText();
        EXPECT_NE(text.find("ERROR: Moveable[0] Slot=5 Animation=1 (AbsAnimation=0):\r\n\t\tThis "
                            "animation will try to read data beyond end of keyframe data. "
                            "Lithoscope may crash!"),
                  std::string::npos)
            << text;
        EXPECT_NE(text.find("Keyframe 0 runs past the end of the keyframe data"), std::string::npos);
        EXPECT_EQ(log.errors(), before + 2 + 3);
    }

    // TR1: a rotation count that makes the frames larger than the data.
    {
        CTrLevel level;
        level.version = TrVersion1;
        level.meshes.push_back(std::make_unique<TrMeshRecord>(PointMesh(0, 0, 0)));
        level.meshPointers = {0};
        level.moveables = {Moveable(3, 1, 0, 0, 0)};
        level.frames = {0, 0, 0, 0, 0, 0, 0, 0, 0, -1, 0, 0};
        level.animations = {Anim(AnimFields())};
        CTrMvb m(level.moveables[0], level);
        ASSERT_EQ(m.animationCount(), 1);
        EXPECT_EQ(m.GetTrack(0)->keyCount(), 1);
        EXPECT_NE(LogText().find("ATTENTION: Moveable[0] Slot=3"), std::string::npos);
    }

    // State changes, dispatches and commands past their tables; sounds past the map,
    // the details and the sample indices.
    {
        CTrLevel level;
        Tr2Level(level);
        level.animations[0].setU16(32, 5);     // state changes 0..4 of 3
        level.stateChanges[1].setU16(4, 4);    // dispatches 4..5 of 5
        level.animations[2].setU16(36, 2);     // commands from word 8: the unknown code 9
        level.animations[2].setU16(38, 200);   // ... now from word 200 of 9
        level.animCommands = {5, 102, 0x3FFF, 5, 100, 13, 5, 100, 14, 5, 100, 15};
        level.animations[0].setU16(36, 4);
        level.soundMap[13] = 7;                // detail 7 of 2
        level.soundMap[14] = 0;                // detail 0: sample 0 of 7, fine
        level.soundMap[15] = 1;
        level.soundDetails[1].setU16(0, 99);   // sample index 99 of 7
        const int before = log.errors();
        CTrMvb m(level.moveables[0], level);
        const CTRAnimTrack* t = m.GetTrack(0);
        ASSERT_NE(t, nullptr);
        // State 7 (its dispatch fine); state 3: dispatch 4 goes to no animation (100) and
        // is kept, dispatch 5 is past the table; state 4: dispatches 3 (5: no animation 5
        // or 5 - 0) and 4 kept; then the state-change table ends.
        ASSERT_EQ(t->stateCount(), 3);
        EXPECT_EQ(t->stateChanges[0].stateId, 3);
        EXPECT_EQ(t->stateChanges[0].rangeCount(), 1);
        EXPECT_EQ(t->stateChanges[1].stateId, 4);
        EXPECT_EQ(t->stateChanges[1].rangeCount(), 2);
        EXPECT_EQ(t->stateChanges[2].stateId, 7);
        ASSERT_EQ(t->stateChanges[2].rangeCount(), 1);
        ExpectRange(t->stateChanges[2].ranges[0], 1, 2, 0, 1, 0);
        EXPECT_EQ(t->commandTotal(), 4);
        EXPECT_TRUE(m.GetTrack(2)->commands.empty());
        // Only sound 14 is usable.
        EXPECT_EQ(m.sounds->size(), 1u);
        EXPECT_TRUE(m.sounds->Contains(14));
        const std::string text = LogText();
        EXPECT_NE(text.find("State changes [0 - 4] run past the 3 state changes"), std::string::npos)
            << text;
        EXPECT_NE(text.find("Dispatches [4 - 5] of state 3 run past the 5 dispatches"),
                  std::string::npos);
        EXPECT_NE(text.find("Sound 16383 is not in the 370-entry sound map"), std::string::npos);
        EXPECT_NE(text.find("Sound 13 uses sound detail 7, not one of the 2 details"),
                  std::string::npos);
        EXPECT_NE(text.find("Sound 15 starts at sample index 99, past the 7 sample indices"),
                  std::string::npos);
        EXPECT_NE(text.find("Animation commands run past the end of the command data"),
                  std::string::npos);
        // 3 sounds; states past, dispatches past; animation 1's unknown code 14 and
        // animation 2's commands past the words; the 2 frame repairs.
        EXPECT_EQ(log.errors(), before + 3 + 2 + 2 + 2);
    }

    // Command counts no animation holds (as in a retail title level): logged as errors, no
    // command taken, nothing on the standard error stream.
    {
        CTrLevel level, none;
        Tr2Level(level);
        Tr2Level(none);  // the construction repairs its level's records: one level each
        none.animations[1].setU16(36, 0);
        none.animations[2].setU16(36, 0);
        int before = log.errors();
        CTrMvb plain(none.moveables[0], none);
        const int repairs = log.errors() - before;
        level.animations[1].setU16(36, 0xFFFF);
        level.animations[2].setU16(36, 0xAAAA);
        before = log.errors();
        testing::internal::CaptureStderr();
        CTrMvb m(level.moveables[0], level);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        EXPECT_TRUE(m.GetTrack(1)->commands.empty());
        EXPECT_TRUE(m.GetTrack(2)->commands.empty());
        EXPECT_EQ(log.errors(), before + repairs + 2);
        EXPECT_NE(LogText().find("ERROR: Moveable[0] Slot=5 Animation=2 (AbsAnimation=1):\r\n\t\t"
                                 "65535 animation commands, more than an animation holds (the level "
                                 "has 9 command words). No command is taken."),
                  std::string::npos)
            << LogText();
        EXPECT_NE(LogText().find("43690 animation commands"), std::string::npos);
    }

    // No animations in the level, and a first animation past them.
    {
        CTrLevel level;
        Tr2Level(level);
        level.animations.clear();
        level.moveables[2].setU16(16, 0xFFFF);
        const int before = log.errors();
        CTrMvb zero(level.moveables[0], level);
        EXPECT_EQ(zero.animationCount(), 0);
        EXPECT_EQ(log.errors(), before);
        level.moveables[0].setU16(16, 5);
        CTrMvb past(level.moveables[0], level);
        EXPECT_EQ(past.animationCount(), 0);
        EXPECT_EQ(log.errors(), before + 1);
        EXPECT_NE(LogText().find("Has anim indices[5 - 65535] greater than highest anim index[-1]."),
                  std::string::npos);
    }

    // Many keys of tiny frames for many meshes: refused, not allocated.
    {
        CTrLevel level;
        Tr2Level(level);
        level.moveables[0].setU16(4, 123);
        level.animations[0].setU8(5, 1);
        level.frames.resize(4000, 0);
        level.animations[1].setU32(0, 7000);
        level.animations[2].setU32(0, 7000);
        level.animations[3].setU32(0, 7500);
        const int before = log.errors();
        CTrMvb m(level.moveables[0], level);
        EXPECT_EQ(m.meshCount(), 123u);
        EXPECT_EQ(m.GetTrack(0)->keyCount(), 1);
        EXPECT_NE(LogText().find("keyframes do not fit the keyframe data"), std::string::npos);
        EXPECT_GT(log.errors(), before);
        // 124 meshes: the one key made for the animation takes 9 + 2 x 124 words, more
        // than a frame's size byte can say. The reason names the frame, not the meshes.
        level.moveables[0].setU16(4, 124);
        try {
            CTrMvb tooLong(level.moveables[0], level);
            ADD_FAILURE() << "a key of 257 words was taken";
        } catch (const LevelError& e) {
            EXPECT_STREQ(e.what(), "moveable 0 (slot 5) has 124 meshes: a frame of its animation 0 "
                                   "takes 257 words, more than a frame holds (at most 255)");
        }
        // Without animations, or in Tomb Raider I (its frames count their rotations in a
        // word), the meshes are no matter.
        level.moveables[0].setU16(16, 0xFFFF);
        EXPECT_EQ(CTrMvb(level.moveables[0], level).meshCount(), 124u);
        level.moveables[0].setU16(16, 0);
        level.version = TrVersion1;
        level.moveables[0].setU16(4, 300);
        EXPECT_EQ(CTrMvb(level.moveables[0], level).meshCount(), 300u);
    }
}

// What a save could not number again refuses the level at its build, saying what: the
// frames of one moveable's animations, the state changes of all of them.
TEST(MoveableBuild, CountsASaveCannotWriteAreRefused) {
    LogScope log;
    ScriptedMessageBackend messages;
    ScopedMessageBackend scoped(&messages);
    auto refusal = [](CTrLevel& level) -> std::string {
        try {
            level.BuildObjects(nullptr);
        } catch (const LevelError& e) {
            return e.what();
        }
        return "";
    };
    CTrLevel level;
    Tr2Level(level);
    EXPECT_EQ(refusal(level), "");
    for (int a = 0; a < 2; ++a) {
        level.animations[size_t(a)].setU16(24, 0);
        level.animations[size_t(a)].setU16(26, 0x4000);
    }
    EXPECT_EQ(refusal(level),
              "32770 frames in the animations of a moveable, more than a level holds (at most 32768)");

    Tr2Level(level);
    level.stateChanges.resize(40000);
    for (int a = 0; a < 2; ++a) level.animations[size_t(a)].setU16(32, 40000);
    EXPECT_EQ(refusal(level), "65537 state changes, more than a level holds (at most 65536)");
}

TEST(MoveableBuild, LevelMergesTheMoveablesSounds) {
    LogScope log;
    CTrLevel level;
    Tr2Level(level);
    level.moveableList.emplace_back(new CTrMvb(level.moveables[0], level));
    level.MergeMoveableSounds();
    ASSERT_TRUE(level.soundList);
    EXPECT_EQ(level.soundList->size(), 1u);
    const TrSoundRecord* s = level.soundList->Find(12);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->firstSample, 20u);
}

TEST(MoveableBuild, CatalogEntryIsAttachedWhenACatalogIsGiven) {
    LogScope log;
    CTrLevel level;
    Tr2Level(level);
    level.name = "nowhere";
    CGameCatalog catalog;
    CTrMvb with(level.moveables[0], level, &catalog);
    ASSERT_TRUE(with.catalogEntry);
    EXPECT_EQ(with.catalogEntry->id, 5);
    EXPECT_EQ(with.catalogEntry->name, "Moveable #005");
    CTrMvb without(level.moveables[0], level);
    EXPECT_FALSE(without.catalogEntry);
}

// Every moveable of every real level builds, and its .trmvb image reads back the same.
TEST(MoveableBuild, RealLevels) {
    const std::vector<test::RealLevel> files = test::RealLevelFiles();
    if (files.empty()) GTEST_SKIP() << "no real levels";
    ScriptedMessageBackend messages;
    ScopedMessageBackend scoped(&messages);
    test::TempDir dir;
    int built = 0, allTracks = 0, allMultiKey = 0;
    for (const test::RealLevel& file : files) {
        SCOPED_TRACE(file.path);
        const std::string& copy = file.path;  // already a copy of the shared level
        CTrLevel level;
        if (file.unsupported) {
            EXPECT_FALSE(level.Load(copy, true, false));
            continue;
        }
        if (!level.Load(copy, true, false)) {
            std::cout << "not loaded, not checked: " << file.path << "\n";
            continue;
        }
        int multiKey = 0, tracks = 0;
        const int errorsBefore = LevelLog().errorCount;
        for (size_t i = 0; i < level.moveables.size(); ++i) {
            LevelLog().currentMoveable = int(i);
            CTrMvb m(level.moveables[i], level);
            LevelLog().currentMoveable = -1;
            EXPECT_EQ(m.meshCount(), level.moveables[i].meshCount());
            for (int a = 0; a < m.animationCount(); ++a) {
                ++tracks;
                const CTRAnimTrack* t = m.GetTrack(a);
                if (t->keyCount() > 1) {
                    ++multiKey;
                    // Keys read from frames keep the level's words; their poses, made when
                    // read, are those the key holds once a bone is written.
                    for (const CAnimKey& key : t->keys) {
                        ASSERT_TRUE(key.bones.HeldAsLevelWords());
                        CAnimKey full = key;
                        if (!full.bones.empty()) full.bones[0] = full.bones[0];
                        EXPECT_FALSE(full.bones.HeldAsLevelWords());
                        const CAnimKey& held = full;
                        for (size_t b = 0; b < key.bones.size(); ++b) {
                            const BoneKey x = key.bones[b], y = held.bones[b];
                            ASSERT_EQ(std::memcmp(&x.rotation, &y.rotation, sizeof x.rotation), 0);
                            ASSERT_EQ(std::memcmp(&x.offset, &y.offset, sizeof x.offset), 0);
                            ASSERT_EQ(x.word0, key.bones.Words(b).word0);
                            ASSERT_EQ(y.packed, key.bones.Words(b).packed);
                        }
                    }
                }
            }
            const std::vector<uint8_t> image = m.Serialize();
            ASSERT_EQ(image.size(), size_t(m.GetSize()));
            CTrMvb back(image);
            std::vector<uint8_t> expected = image;
            expected[2] = 4;  // read from a file: game version 4
            EXPECT_EQ(back.Serialize(), expected) << "moveable " << i;
            ++built;
        }
        std::cout << FileNameOf(file.path) << ": " << tracks << " tracks, " << multiKey
                  << " with several keys, " << LevelLog().errorCount - errorsBefore
                  << " errors logged\n";
        // Tomb Raider I levels hold 0 in the frame-size byte: their keys still count.
        if (level.version == TrVersion1 && tracks > 0) {
            EXPECT_GT(multiKey, tracks / 2);
        }
        allTracks += tracks;
        allMultiKey += multiKey;
    }
    std::cout << built << " moveables built\n";
    // The game's animations have many keys, Tomb Raider I ones included.
    EXPECT_GT(allMultiKey, allTracks / 2);
}
