// Moveables: the .trmvb image, the mesh-tree box, the part operations, and construction
// from a level's records (see moveable_build_test.cpp for the damaged-index cases).
#include <gtest/gtest.h>

#include <cmath>

#include "TestSupport.h"
#include "level/LevelLog.h"
#include "level/TrLevel.h"
#include "level/TrMvb.h"
#include "platform/Files.h"
#include "platform/Messages.h"

using namespace lithoscope;

namespace {

TrMeshRecord PointMesh(int16_t x, int16_t y, int16_t z) {
    TrMeshRecord m;
    m.vertices = {{x, y, z}};
    m.hasNormals = 0;
    m.lights = {100};
    m.ComputeBoundingBox();
    return m;
}

TrMeshRecord DummyMesh() {
    TrMeshRecord m;
    m.Init(0, 0, 0, false, true);
    m.ComputeCentreAndRadius();
    m.dummy = 1;
    return m;
}

BoundingBox Box(float a, float b, float c, float d, float e, float f) {
    BoundingBox box;
    box.min.Set(a, b, c);
    box.max.Set(d, e, f);
    return box;
}

CQuaternion Quat(float x, float y, float z, float w) {
    CQuaternion q;
    q.Set(x, y, z, w);
    return q;
}

// A moveable of three meshes (one a dummy), a tree, two tracks with keys, state changes,
// commands (one of an unknown code) and two sounds.
std::unique_ptr<CTrMvb> SampleMoveable() {
    auto m = std::make_unique<CTrMvb>();
    m->objectId = 42;
    m->extra = 0x01020304;
    m->meshes = {PointMesh(1, 2, 3), DummyMesh(), PointMesh(-4, 5, -6)};
    m->meshTree = {{2, 10, -20, 30}, {1, 0, 5, 0}};

    auto t0 = std::make_unique<CTRAnimTrack>(2, 7, 4, 30.0f);
    for (int k = 0; k < 2; ++k) {
        CAnimKey key(k * 4, 3, Box(-1.5f - k, -2, -3, 4, 5.25f, 6));
        for (int b = 0; b < 3; ++b) {
            CVector3 offset;
            if (b == 0) offset.Set(10.0f + k, -20, 30.5f);
            key.bones.emplace_back(Quat(0.1f * b, 0.2f, -0.3f * k, 0.9f), offset, int16_t(100 + b),
                                   int16_t(-200 - k));
        }
        t0->AddKey(key);
    }
    t0->stateId = 0xFFFE;
    t0->speedLow = -7;
    t0->speedHigh = -123456;
    t0->acceleration = 2.75f;
    for (int i = 0; i < 8; ++i) t0->lateral[i] = uint8_t(0xA0 + i);
    t0->commandCount = 4;
    CTRStateChange s9(9);
    s9.AddRange(0, 3, 1, 2);
    s9.AddRange(4, 6, 0, 0);
    t0->AddStateChange(s9);
    CTRStateChange s2(2);
    s2.AddRange(-1, 5, 1, 65535);
    t0->AddStateChange(s2);
    TrAnimCommand c;
    c.SetCode(5);
    c.operands[0] = 3;
    c.operands[1] = 0x4010;
    t0->commands.push_back(c);
    c = TrAnimCommand();
    c.SetCode(1);
    c.operands[0] = 10;
    c.operands[1] = -256;
    c.operands[2] = 20;
    t0->commands.push_back(c);
    c = TrAnimCommand();
    c.SetCode(3);
    t0->commands.push_back(c);
    c = TrAnimCommand();
    c.SetCode(42);  // unknown: no operand count
    t0->commands.push_back(c);
    m->animations->AddTrack(std::move(t0));

    auto t1 = std::make_unique<CTRAnimTrack>(1, 1, 1, 30.0f);
    CAnimKey key(0, 3, BoundingBox());
    key.bones.resize(3);
    t1->AddKey(key);
    m->animations->AddTrack(std::move(t1));
    m->animations->SetNext(0, 1, 0);
    m->animations->SetNext(1, 0, 3);

    TrSoundDetailRecord d;
    d.setU16(0, 3);
    d.setU16(2, 0x7FFF);
    d.setS16(4, 9);
    d.setS16(6, 0x0014);
    m->sounds->InsertFromDetail(16, d, 77);
    d.setS16(6, 0x0004);
    m->sounds->InsertFromDetail(3, d, 5);
    return m;
}

void ExpectSameBox(const BoundingBox& a, const BoundingBox& b) {
    EXPECT_EQ(a.min.x, b.min.x);
    EXPECT_EQ(a.min.y, b.min.y);
    EXPECT_EQ(a.min.z, b.min.z);
    EXPECT_EQ(a.max.x, b.max.x);
    EXPECT_EQ(a.max.y, b.max.y);
    EXPECT_EQ(a.max.z, b.max.z);
}

bool Loads(const std::vector<uint8_t>& image) {
    try {
        CTrMvb m(image);
        return true;
    } catch (const LevelError&) {
        return false;
    }
}

}  // namespace

TEST(Moveable, EmptyMoveableHeaderAndImage) {
    CTrMvb m;
    EXPECT_EQ(m.format, 3);
    EXPECT_EQ(m.kind, 3);
    EXPECT_EQ(m.gameVersion, 4);
    ASSERT_TRUE(m.animations);
    ASSERT_TRUE(m.sounds);
    EXPECT_EQ(m.animationCount(), 0);
    EXPECT_EQ(m.useBodyFrom, -1);
    EXPECT_EQ(m.showWith, -1);
    EXPECT_EQ(m.firstMesh, -1);
    // Header 8, graphic part 20, mesh count 4, no tree, animCount 4, empty sound list 4.
    EXPECT_EQ(m.GetSize(), 8 + 20 + 4 + 4 + 4);
    int size = 0;
    std::vector<uint8_t> image = m.Serialize(&size);
    ASSERT_EQ(size, 40);
    EXPECT_EQ(image[0], 3);
    EXPECT_EQ(image[1], 3);
    EXPECT_EQ(image[2], 4);
    CTrMvb back(image);
    EXPECT_EQ(back.Serialize(), image);
}

TEST(Moveable, ImageRoundTripKeepsEveryPart) {
    std::unique_ptr<CTrMvb> m = SampleMoveable();
    int size = 0;
    const std::vector<uint8_t> image = m->Serialize(&size);
    // Worked from the layout: mesh list part, then tree 2 x 16, animCount 4, animation 0
    // = 44 + 2 keys x (36 + 60) + 2 states (4 + 16, 4 + 8) + 4 commands (4 + 4, 4 + 6, 4, 4),
    // animation 1 = 44 + 96, sounds 4 + 2 x 18.
    const int meshPart = m->CTrLstMsh::GetSize();
    const int expected = meshPart + 32 + 4 + (44 + 192 + 20 + 12 + 8 + 10 + 4 + 4) + (44 + 96) + 40;
    EXPECT_EQ(size, expected);
    EXPECT_EQ(m->GetSize(), expected);

    // The first animation block, field by field.
    const size_t at = size_t(meshPart) + 32 + 4;
    EXPECT_EQ(GetU32(&image[size_t(meshPart) + 32]), 2u);
    EXPECT_EQ(GetU32(&image[size_t(meshPart)]), 2u);          // tree entry 0 flags
    EXPECT_EQ(GetS32(&image[size_t(meshPart) + 8]), -20);     // its dy
    EXPECT_EQ(GetU16(&image[at]), 7);                        // frameCount
    EXPECT_EQ(GetU16(&image[at + 2]), 4);                    // interval
    EXPECT_EQ(GetU16(&image[at + 4]), 1);                    // nextAnim
    EXPECT_EQ(GetU16(&image[at + 6]), 0);                    // nextFrame
    EXPECT_EQ(GetU16(&image[at + 8]), 0xFFFE);               // stateId
    EXPECT_EQ(GetS16(&image[at + 10]), -7);                  // speedLow
    EXPECT_EQ(GetS32(&image[at + 12]), -123456);             // speedHigh
    EXPECT_EQ(image[at + 20], 0xA0);                         // lateral
    EXPECT_EQ(GetU32(&image[at + 28]), 4u);                  // commandCount
    EXPECT_EQ(GetU32(&image[at + 32]), 2u);                  // keys
    EXPECT_EQ(GetS16(&image[at + 36 + 36 + 16]), 100);       // key 0, bone 0, word0
    const size_t states = at + 36 + 192;
    EXPECT_EQ(GetU32(&image[states]), 2u);
    EXPECT_EQ(GetU16(&image[states + 4]), 2);                // sorted: state 2 first
    EXPECT_EQ(GetU16(&image[states + 6]), 1);
    EXPECT_EQ(GetS16(&image[states + 8]), -1);
    const size_t commands = states + 4 + 12 + 20;
    EXPECT_EQ(GetU32(&image[commands]), 4u);
    EXPECT_EQ(GetU16(&image[commands + 4]), 5);
    EXPECT_EQ(GetU16(&image[commands + 6]), 2);
    EXPECT_EQ(GetU16(&image[commands + 10]), 0x4010);
    // The unknown code keeps its marker and stores no operand.
    EXPECT_EQ(GetU16(&image[commands + 4 + 8 + 10 + 4]), 42);
    EXPECT_EQ(GetU16(&image[commands + 4 + 8 + 10 + 4 + 2]), 0xFFFF);

    CTrMvb back(image);
    EXPECT_EQ(back.Serialize(), image);
    EXPECT_EQ(back.format, 3);
    EXPECT_EQ(back.kind, 3);
    EXPECT_EQ(back.gameVersion, 4);
    EXPECT_EQ(back.extra, 0x01020304);
    EXPECT_EQ(back.objectId, 42);
    ASSERT_EQ(back.meshCount(), 3u);
    EXPECT_EQ(back.meshes[1].dummy, 1);
    EXPECT_EQ(back.meshes[2].vertices[0].x, -4);
    ASSERT_EQ(back.meshTree.size(), 2u);
    EXPECT_TRUE(back.meshTree[0] == (TrMeshTreeEntry{2, 10, -20, 30}));
    EXPECT_TRUE(back.meshTree[1] == (TrMeshTreeEntry{1, 0, 5, 0}));

    ASSERT_EQ(back.animationCount(), 2);
    const CTRAnimTrack* t = back.GetTrack(0);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->frameCount, 7u);
    EXPECT_EQ(t->interval, 4u);
    EXPECT_EQ(t->stateId, 0xFFFE);
    EXPECT_EQ(t->speedLow, -7);
    EXPECT_EQ(t->speedHigh, -123456);
    EXPECT_EQ(t->acceleration, 2.75f);
    EXPECT_EQ(t->lateral[7], 0xA7);
    EXPECT_EQ(t->commandCount, 4);
    ASSERT_EQ(t->keyCount(), 2);
    const CAnimKey& k1 = t->keys[1];
    EXPECT_EQ(k1.frame, 4);  // key k at k x interval
    EXPECT_EQ(k1.boneCount, 3);
    ExpectSameBox(k1.box, Box(-2.5f, -2, -3, 4, 5.25f, 6));
    ASSERT_EQ(k1.bones.size(), 3u);
    EXPECT_EQ(k1.bones[0].offset.x, 11.0f);
    EXPECT_EQ(k1.bones[0].offset.z, 30.5f);
    EXPECT_EQ(k1.bones[2].offset.x, 0.0f);
    EXPECT_EQ(k1.bones[2].rotation.x, 0.2f);
    EXPECT_EQ(k1.bones[2].rotation.z, -0.3f);
    EXPECT_EQ(k1.bones[2].word0, 102);
    EXPECT_EQ(k1.bones[2].word1, -201);
    ASSERT_EQ(t->stateCount(), 2);
    EXPECT_EQ(t->stateChanges[0].stateId, 2);
    // A stored -1 comes back zero-extended.
    EXPECT_EQ(t->stateChanges[0].ranges[0].lowFrame, 65535);
    EXPECT_EQ(t->stateChanges[0].ranges[0].nextFrame, 65535);
    ASSERT_EQ(t->stateChanges[1].rangeCount(), 2);
    EXPECT_EQ(t->stateChanges[1].ranges[1].lowFrame, 4);
    EXPECT_EQ(t->stateChanges[1].ranges[1].key, 1);
    ASSERT_EQ(t->commandTotal(), 4);
    EXPECT_EQ(t->commands[1].operandCount, 3);
    EXPECT_EQ(t->commands[1].operands[1], -256);
    EXPECT_EQ(t->commands[3].code, 42);
    EXPECT_EQ(t->commands[3].operandCount, TrAnimCommand::kNoOperandCount);
    int nextAnim = -1, nextFrame = -1;
    back.animations->GetNext(&nextAnim, &nextFrame, 1);
    EXPECT_EQ(nextAnim, 0);
    EXPECT_EQ(nextFrame, 3);
    ASSERT_EQ(back.sounds->size(), 2u);
    const TrSoundRecord* s = back.sounds->Find(16);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->firstSample, 77u);
    EXPECT_EQ(s->sampleCount, 5);
    EXPECT_EQ(s->volume, 0x7FFF);
    EXPECT_EQ(s->sampleVersion, image[2]);  // entries of the samples of the file's level
    EXPECT_EQ(back.PlayedSounds(), (std::vector<int32_t>{16}));  // operand 0x4010

    // Whatever the header says, the moveable is format 3, kind 3, version 4.
    std::vector<uint8_t> other = image;
    other[0] = 9;
    other[1] = 0;
    other[2] = 1;
    other[3] = 77;
    CTrMvb relabelled(other);
    EXPECT_EQ(relabelled.format, 3);
    EXPECT_EQ(relabelled.kind, 3);
    EXPECT_EQ(relabelled.gameVersion, 4);
    EXPECT_EQ(relabelled.sounds->Find(3)->sampleVersion, 1);  // still those of its level
    EXPECT_EQ(relabelled.Serialize(), image);
}

TEST(Moveable, IntervalsAndOperandsOutsideTheFields) {
    std::unique_ptr<CTrMvb> m = SampleMoveable();
    m->GetTrack(0)->interval = 300;
    std::vector<uint8_t> image = m->Serialize();
    CTrMvb back(image);
    // Only the low byte of the interval is read back: 300 -> 44.
    EXPECT_EQ(back.GetTrack(0)->interval, 44u);
    EXPECT_EQ(back.GetTrack(0)->keys[1].frame, 44);

    // An interval whose low byte is 0 would divide by zero: it becomes 1.
    m->GetTrack(0)->interval = 256;
    CTrMvb one(m->Serialize());
    EXPECT_EQ(one.GetTrack(0)->interval, 1u);

    // A command with six operands in a file keeps the first four and skips the rest.
    std::unique_ptr<CTrMvb> c = std::make_unique<CTrMvb>();
    auto t = std::make_unique<CTRAnimTrack>(0, 1, 1, 30.0f);
    TrAnimCommand command;
    command.SetCode(1);
    command.operands[0] = 11;
    command.operands[1] = 12;
    command.operands[2] = 13;
    t->commands.push_back(command);
    c->animations->AddTrack(std::move(t));
    image = c->Serialize();
    // The command ends 4 bytes before the end (the empty sound list).
    const size_t countAt = image.size() - 4 - 6 - 2;
    ASSERT_EQ(GetU16(&image[countAt]), 3);
    PutU16(&image[countAt], 6);
    const uint8_t more[6] = {14, 0, 15, 0, 16, 0};
    image.insert(image.end() - 4, more, more + 6);
    CTrMvb wide(image);
    const TrAnimCommand& read = wide.GetTrack(0)->commands.at(0);
    EXPECT_EQ(read.operandCount, 4);
    EXPECT_EQ(read.operands[0], 11);
    EXPECT_EQ(read.operands[3], 14);
    ASSERT_TRUE(wide.sounds);
    EXPECT_TRUE(wide.sounds->empty());
}

TEST(Moveable, DamagedImagesAreRefused) {
    const std::vector<uint8_t> image = SampleMoveable()->Serialize();
    ASSERT_TRUE(Loads(image));
    // Every prefix fails cleanly.
    for (size_t n = 0; n < image.size(); ++n) {
        std::vector<uint8_t> cut(image.begin(), image.begin() + ptrdiff_t(n));
        EXPECT_FALSE(Loads(cut)) << "prefix " << n;
    }
    // A byte after the sound list is a count that lied.
    std::vector<uint8_t> longer = image;
    longer.push_back(0);
    EXPECT_FALSE(Loads(longer));

    // Every count of the moveable part, made large, small or negative, is refused or read
    // within the buffer (ASan watches the reads).
    std::unique_ptr<CTrMvb> m = SampleMoveable();
    const size_t meshPart = size_t(m->CTrLstMsh::GetSize());
    const size_t animCount = meshPart + 32;
    const size_t block = animCount + 4;
    const size_t keys = block + 32;
    const size_t states = block + 36 + 192;
    const size_t ranges = states + 4 + 2;
    const size_t commands = states + 4 + 12 + 20;
    const size_t operands = commands + 4 + 2;
    const size_t soundCount = image.size() - 40;
    // Counts past the bytes left must fail; small lies misread the bytes that follow,
    // which must stay within the buffer whatever they give.
    for (size_t at : {animCount, keys, states, commands, soundCount}) {
        for (uint32_t v : {0xFFFFFFFFu, 0x7FFFFFFFu, 0x10000000u, 1000u}) {
            std::vector<uint8_t> bad = image;
            PutU32(&bad[at], v);
            EXPECT_FALSE(Loads(bad)) << "count at " << at << " = " << v;
        }
        for (uint32_t v : {0u, 1u, 3u}) {
            std::vector<uint8_t> bad = image;
            PutU32(&bad[at], v);
            if (v != GetU32(&image[at])) Loads(bad);
        }
    }
    for (size_t at : {ranges, operands}) {
        for (uint16_t v : {uint16_t(0xFFFE), uint16_t(0x8000), uint16_t(100)}) {
            std::vector<uint8_t> bad = image;
            PutU16(&bad[at], v);
            EXPECT_FALSE(Loads(bad)) << "count at " << at << " = " << v;
        }
        std::vector<uint8_t> bad = image;
        PutU16(&bad[at], 0);
        Loads(bad);
    }
    // The sound list's count is the last count: any other value lies.
    for (uint32_t v : {0u, 1u, 3u}) {
        std::vector<uint8_t> bad = image;
        PutU32(&bad[soundCount], v);
        EXPECT_FALSE(Loads(bad)) << "sound count " << v;
    }
    // Mesh count of the mesh part past the bytes there.
    std::vector<uint8_t> bad = image;
    const size_t meshCountAt = 8 + 20 + 38 * m->textureCount() + m->PixelBytes();
    PutU32(&bad[meshCountAt], 0x40000000);
    EXPECT_FALSE(Loads(bad));

    test::TempDir dir;
    const std::string path = dir.file("bad.trmvb");
    test::WriteFileBytes(path, std::vector<uint8_t>(image.begin(), image.end() - 3));
    EXPECT_EQ(CTrMvb::LoadFile(path), nullptr);
    EXPECT_EQ(CTrMvb::LoadFile(dir.file("missing.trmvb")), nullptr);
    ASSERT_TRUE(m->SaveFile(dir.file("good.trmvb")));
    std::unique_ptr<CTrMvb> loaded = CTrMvb::LoadFile(dir.file("good.trmvb"));
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->Serialize(), image);
}

TEST(Moveable, BoundingBoxWalksTheMeshTree) {
    ScriptedMessageBackend messages;
    ScopedMessageBackend scoped(&messages);
    // Two single points at the origin, the second 100 along x.
    CTrMvb two;
    two.meshes = {PointMesh(0, 0, 0), PointMesh(0, 0, 0)};
    two.meshTree = {{0, 100, 0, 0}};
    BoundingBox box;
    two.GetBoundingBox(&box, -1, nullptr);
    ExpectSameBox(box, Box(0, 0, 0, 100, 0, 0));
    // One mesh: its own box, not moved by the tree.
    two.GetBoundingBox(&box, 1, nullptr);
    ExpectSameBox(box, Box(0, 0, 0, 0, 0, 0));
    two.GetBoundingBox(&box, 2, nullptr);
    ExpectSameBox(box, Box(1e20f, 1e20f, 1e20f, -1e20f, -1e20f, -1e20f));
    // Level y and z are drawn negated.
    two.meshTree = {{0, 0, 10, 20}};
    two.GetBoundingBox(&box, -1, nullptr);
    ExpectSameBox(box, Box(0, -10, -20, 0, 0, 0));

    // Four pushes: the fourth overflows once and is lost; pops then walk back to 20, 10
    // and 0 (then +3), and a pop on the empty stack keeps (3, 0, 0): mesh 8 at -97.
    CTrMvb tree;
    tree.meshes.assign(9, PointMesh(0, 0, 0));
    tree.meshTree = {{2, 10, 0, 0}, {2, 10, 0, 0}, {2, 10, 0, 0}, {2, 10, 0, 0},
                     {1, 0, 0, 0},  {1, 0, 5, 0},  {1, 3, 0, 0},  {1, -100, 0, 0}};
    tree.GetBoundingBox(&box, -1, nullptr);
    EXPECT_EQ(messages.shown().size(), 1u);
    EXPECT_TRUE(messages.Saw("Moveable bounding box calculation: stack overflow !"));
    EXPECT_EQ(messages.shown()[0].icon, MsgIcon::Error);
    ExpectSameBox(box, Box(-97, -5, 0, 40, 0, 0));

    // No meshes: the empty box; a dummy root contributes its origin.
    CTrMvb none;
    none.GetBoundingBox(&box, -1, nullptr);
    EXPECT_EQ(box.min.x, 1e20f);
    CTrMvb dummyRoot;
    dummyRoot.meshes = {DummyMesh(), PointMesh(0, 0, 0)};
    dummyRoot.meshTree = {{0, -50, 0, 0}};
    dummyRoot.GetBoundingBox(&box, -1, nullptr);
    ExpectSameBox(box, Box(-50, 0, 0, 0, 0, 0));
}

TEST(Moveable, PartOperations) {
    std::unique_ptr<CTrMvb> target = SampleMoveable();
    std::unique_ptr<CTrMvb> donor = SampleMoveable();
    target->meshes.resize(1);
    target->objectId = 1;
    donor->firstMesh = 12;
    donor->noAnimations = 1;
    donor->useBodyFrom = 7;
    auto entry = std::make_unique<CatalogMoveableEntry>();
    entry->name = "Lara";
    donor->SetCatalogEntry(std::move(entry));
    donor->GetTrack(0)->stateId = 77;

    // Animations only: both mesh lists stay, tree, animations and sounds move.
    target->TakeOver(*donor, false, true);
    EXPECT_EQ(target->meshCount(), 1u);
    EXPECT_EQ(donor->meshCount(), 3u);
    EXPECT_EQ(target->objectId, 1);
    EXPECT_EQ(target->meshTree.size(), 2u);
    EXPECT_EQ(target->GetTrack(0)->stateId, 77);
    EXPECT_EQ(target->sounds->size(), 2u);
    EXPECT_EQ(target->useBodyFrom, 7);
    EXPECT_EQ(target->firstMesh, 12);
    EXPECT_EQ(target->noAnimations, 1);
    ASSERT_TRUE(target->catalogEntry);
    EXPECT_EQ(target->catalogEntry->name, "Lara");
    EXPECT_TRUE(donor->meshTree.empty());
    EXPECT_FALSE(donor->animations);
    EXPECT_FALSE(donor->sounds);
    EXPECT_FALSE(donor->catalogEntry);
    EXPECT_EQ(donor->useBodyFrom, -1);
    EXPECT_EQ(donor->firstMesh, -1);
    // A donor without parts still serialises as an empty moveable part.
    EXPECT_EQ(donor->Serialize().size(), size_t(donor->GetSize()));

    // Meshes only: the animations stay.
    std::unique_ptr<CTrMvb> meshDonor = SampleMoveable();
    target->TakeOver(*meshDonor, true, false);
    EXPECT_EQ(target->meshCount(), 3u);
    EXPECT_EQ(target->objectId, 42);
    EXPECT_EQ(target->GetTrack(0)->stateId, 77);
    EXPECT_EQ(meshDonor->meshCount(), 0u);
    EXPECT_EQ(meshDonor->animationCount(), 2);

    // ResetAnimations keeps the tree; ClearParts without animations keeps them all.
    target->ResetAnimations();
    EXPECT_EQ(target->animationCount(), 0);
    EXPECT_TRUE(target->sounds->empty());
    EXPECT_EQ(target->meshTree.size(), 2u);
    target->SetCatalogEntry(std::make_unique<CatalogMoveableEntry>());
    target->ClearParts(false, true, false);
    EXPECT_EQ(target->meshCount(), 3u);
    EXPECT_EQ(target->meshTree.size(), 2u);
    EXPECT_FALSE(target->catalogEntry);
    EXPECT_EQ(target->firstMesh, -1);
    target->ClearParts(true, true, false);
    EXPECT_EQ(target->meshCount(), 0u);
    EXPECT_EQ(target->meshTree.size(), 2u);
    EXPECT_EQ(target->animationCount(), 0);
    ASSERT_TRUE(target->animations);
    target->Clear(true);
    EXPECT_EQ(target->meshCount(), 0u);
    EXPECT_TRUE(target->meshTree.empty());
    EXPECT_FALSE(target->animations);
    EXPECT_EQ(target->format, 0);

    // SetMeshTree: 0 means the current mesh count.
    CTrMvb m;
    m.meshes.assign(4, PointMesh(0, 0, 0));
    const TrMeshTreeEntry entries[3] = {{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 12}};
    m.SetMeshTree(entries, 0);
    ASSERT_EQ(m.meshTree.size(), 3u);
    EXPECT_EQ(m.meshTree[2].dz, 12);
    m.SetMeshTree(entries, 2);
    ASSERT_EQ(m.meshTree.size(), 1u);
    // A tree shorter than the meshes is written with zero entries for the rest.
    std::vector<uint8_t> image = m.Serialize();
    CTrMvb back(image);
    ASSERT_EQ(back.meshTree.size(), 3u);
    EXPECT_TRUE(back.meshTree[1] == TrMeshTreeEntry());
}
