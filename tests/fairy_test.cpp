// Animation keys of a moveable as flat arrays, and the .fkeys file written from them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "TestSupport.h"
#include "level/FairyExport.h"
#include "level/TrMvb.h"
#include "platform/Files.h"

using namespace lithoscope;

namespace {

constexpr float kScale = 0.0022435898f;
const float kHalf = std::sqrt(0.5f);

CQuaternion Quat(float x, float y, float z, float w) {
    CQuaternion q;
    q.Set(x, y, z, w);
    return q;
}

CVector3 Vec(float x, float y, float z) {
    CVector3 v;
    v.Set(x, y, z);
    return v;
}

TrMeshRecord Mesh(bool dummy) {
    TrMeshRecord m;
    if (!dummy) {
        m.vertices = {{0, 0, 0}};
        m.lights = {0};
    }
    m.dummy = dummy ? 1 : 0;
    return m;
}

// Mesh 0 real, mesh 1 a dummy; one track of frameCount 15, 10 frames per key and two keys:
// the rest pose, then mesh 0 at (100, 200, 300) turned 90 degrees about x and mesh 1 turned
// 90 degrees about y.
std::unique_ptr<CTrMvb> TwoKeyMoveable() {
    auto m = std::make_unique<CTrMvb>();
    m->meshes.push_back(Mesh(false));
    m->meshes.push_back(Mesh(true));
    m->meshTree = {{0, 5, 0, 0}};
    auto track = std::make_unique<CTRAnimTrack>(2, 15, 10, 30.0f);
    CAnimKey k0(0, 2, BoundingBox());
    k0.bones = {BoneKey(Quat(0, 0, 0, 1), Vec(0, 0, 0), 0, 0), BoneKey(Quat(0, 0, 0, 1), Vec(0, 0, 0), 0, 0)};
    CAnimKey k1(10, 2, BoundingBox());
    k1.bones = {BoneKey(Quat(kHalf, 0, 0, kHalf), Vec(100, 200, 300), 0, 0),
                BoneKey(Quat(0, kHalf, 0, kHalf), Vec(0, 0, 0), 0, 0)};
    track->AddKey(k0);
    track->AddKey(k1);
    m->animations->AddTrack(std::move(track));
    return m;
}

void ExpectQuat(const CQuaternion& q, float x, float y, float z, float w) {
    EXPECT_NEAR(q.x, x, 1e-6f);
    EXPECT_NEAR(q.y, y, 1e-6f);
    EXPECT_NEAR(q.z, z, 1e-6f);
    EXPECT_NEAR(q.w, w, 1e-6f);
}

std::string Name(ByteReader& in) {
    char name[32];
    in.bytes(name, 32);
    EXPECT_EQ(name[31], 0);
    for (size_t i = std::strlen(name); i < 32; ++i) EXPECT_EQ(name[i], 0) << i;
    return name;
}

void ExpectRotationRecord(ByteReader& in, float time, float x, float y, float z, float w) {
    EXPECT_FLOAT_EQ(in.f32(), time);
    EXPECT_NEAR(in.f32(), x, 1e-6f);
    EXPECT_NEAR(in.f32(), y, 1e-6f);
    EXPECT_NEAR(in.f32(), z, 1e-6f);
    EXPECT_NEAR(in.f32(), w, 1e-6f);
}

}  // namespace

TEST(FairyKeys, ExtractionAddsTheClosingKeyAndTakesTheShorterWay) {
    std::unique_ptr<CTrMvb> m = TwoKeyMoveable();
    int meshes = 0, frames = 0, keys = 0, perKey = 0;
    std::vector<CVector3> roots;
    std::vector<CQuaternion> rotations;
    ASSERT_TRUE(ExtractAnimationKeys(m.get(), 0, &meshes, &frames, &keys, &perKey, &roots, &rotations));
    EXPECT_EQ(meshes, 2);
    EXPECT_EQ(frames, 15);
    EXPECT_EQ(keys, 2);
    EXPECT_EQ(perKey, 10);
    ASSERT_EQ(roots.size(), 3u);
    ASSERT_EQ(rotations.size(), 6u);
    EXPECT_EQ(roots[1].y, 200);
    EXPECT_EQ(roots[2].x, 0);  // the closing key repeats key 0
    ExpectQuat(rotations[2], kHalf, 0, 0, kHalf);  // key 1, mesh 0
    ExpectQuat(rotations[3], 0, kHalf, 0, kHalf);  // key 1, mesh 1
    ExpectQuat(rotations[4], 0, 0, 0, 1);

    // 0, 120 and 240 degrees about x: no flip between the keys, but key 0 taken again
    // after 240 degrees is nearer negated.
    auto three = std::make_unique<CTrMvb>();
    three->meshes.push_back(Mesh(false));
    auto track = std::make_unique<CTRAnimTrack>(3, 3, 1, 30.0f);
    const float s60 = std::sin(kPi / 3), c60 = std::cos(kPi / 3);
    const CQuaternion qs[3] = {Quat(0, 0, 0, 1), Quat(s60, 0, 0, c60), Quat(s60, 0, 0, -c60)};
    for (int k = 0; k < 3; ++k) {
        CAnimKey key(k, 1, BoundingBox());
        key.bones = {BoneKey(qs[k], Vec(float(k), 0, 0), 0, 0)};
        track->AddKey(key);
    }
    three->animations->AddTrack(std::move(track));
    ASSERT_TRUE(ExtractAnimationKeys(three.get(), 0, &meshes, &frames, &keys, &perKey, &roots, &rotations));
    ASSERT_EQ(rotations.size(), 4u);
    ExpectQuat(rotations[1], s60, 0, 0, c60);
    ExpectQuat(rotations[2], s60, 0, 0, -c60);
    ExpectQuat(rotations[3], 0, 0, 0, -1);
    EXPECT_EQ(roots[3].x, 0);

    // A key that is the negated rest pose is flipped back.
    three->GetTrack(0)->keys[1].bones[0].rotation = Quat(0, 0, 0, -1);
    ASSERT_TRUE(ExtractAnimationKeys(three.get(), 0, &meshes, &frames, &keys, &perKey, &roots, &rotations));
    ExpectQuat(rotations[1], 0, 0, 0, 1);

    // No such animation: false and empty arrays.
    EXPECT_FALSE(ExtractAnimationKeys(m.get(), 1, &meshes, &frames, &keys, &perKey, &roots, &rotations));
    EXPECT_TRUE(roots.empty());
    EXPECT_TRUE(rotations.empty());
    EXPECT_FALSE(ExtractAnimationKeys(m.get(), -1, &meshes, &frames, &keys, &perKey, &roots, &rotations));
    m->animations.reset();
    EXPECT_FALSE(ExtractAnimationKeys(m.get(), 0, &meshes, &frames, &keys, &perKey, &roots, &rotations));
}

TEST(FairyKeys, FileOfAKnownAnimation) {
    std::unique_ptr<CTrMvb> m = TwoKeyMoveable();
    test::TempDir dir;
    const std::string path = dir.file("walk.fkeys");
    std::string error;
    ASSERT_TRUE(ExportMoveableFkeys(m.get(), path, nullptr, 0, &error)) << error;
    const std::vector<uint8_t> bytes = test::ReadFileBytes(path);
    // Header 24; mesh 0: node 48, positions 8 + 3 x 16, rotations 8 + 3 x 20; mesh 1: node
    // 48, rotations 8 + 3 x 20.
    ASSERT_EQ(bytes.size(), 24u + 48 + 56 + 68 + 48 + 68);
    ByteReader in(bytes);
    EXPECT_EQ(in.s32(), 256);
    EXPECT_EQ(in.s32(), 0);
    EXPECT_EQ(in.s32(), 15);
    EXPECT_EQ(in.s32(), 30);
    EXPECT_EQ(in.s32(), 160);
    EXPECT_EQ(in.s32(), 2);

    EXPECT_EQ(in.s32(), 0);
    EXPECT_EQ(Name(in), "M000");
    EXPECT_EQ(in.s32(), 3);  // keyCount + 1 on mesh 0
    EXPECT_EQ(in.s32(), 3);
    EXPECT_EQ(in.s32(), 0);
    // Positions at 0, 10/30 and 15/30 seconds as (x s, -z s, y s - 0.95).
    EXPECT_EQ(in.s32(), 1);
    EXPECT_EQ(in.s32(), 3);
    const float times[3] = {0.0f, 10.0f / 30.0f, 15.0f / 30.0f};
    const float positions[3][3] = {{0, 0, -0.95f},
                                   {100 * kScale, -300 * kScale, 200 * kScale - 0.95f},
                                   {0, 0, -0.95f}};
    for (int k = 0; k < 3; ++k) {
        EXPECT_FLOAT_EQ(in.f32(), times[k]);
        for (int c = 0; c < 3; ++c) EXPECT_FLOAT_EQ(in.f32(), positions[k][c]) << k << " " << c;
    }
    // Rotations: angle 0 is (0, 0, 0, 1); 90 degrees about x has the axis (1, 0, 0) and
    // the angle negated.
    EXPECT_EQ(in.s32(), 1);
    EXPECT_EQ(in.s32(), 3);
    ExpectRotationRecord(in, times[0], 0, 0, 0, 1);
    ExpectRotationRecord(in, times[1], -kHalf, 0, 0, kHalf);
    ExpectRotationRecord(in, times[2], 0, 0, 0, 1);

    EXPECT_EQ(in.s32(), 0);
    EXPECT_EQ(Name(in), "dummy001");
    EXPECT_EQ(in.s32(), 0);  // other meshes: 0
    EXPECT_EQ(in.s32(), 3);
    EXPECT_EQ(in.s32(), 0);
    EXPECT_EQ(in.s32(), 1);
    EXPECT_EQ(in.s32(), 3);
    // 90 degrees about y: the axis (0, 1, 0) becomes (0, 0, 1).
    ExpectRotationRecord(in, times[0], 0, 0, 0, 1);
    ExpectRotationRecord(in, times[1], 0, 0, -kHalf, kHalf);
    ExpectRotationRecord(in, times[2], 0, 0, 0, 1);
    EXPECT_EQ(in.left(), 0u);
}

TEST(FairyKeys, NodesOnlyKeysPastTheEndAndFailures) {
    std::unique_ptr<CTrMvb> m = TwoKeyMoveable();
    test::TempDir dir;
    const std::string path = dir.file("nodes.fkeys");
    ASSERT_TRUE(ExportMoveableFkeys(m.get(), path, nullptr, -1));
    std::vector<uint8_t> bytes = test::ReadFileBytes(path);
    ASSERT_EQ(bytes.size(), 24u + 48 * 2);
    EXPECT_EQ(GetS32(&bytes[8]), 1);  // frame count without an animation
    EXPECT_EQ(GetS32(&bytes[24 + 36]), 0);
    EXPECT_EQ(GetS32(&bytes[24 + 40]), 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[24 + 48 + 4])), "dummy001");

    // Keys that start at or after the frame count are not written: 3 keys of 10 frames in
    // a 15-frame animation write keys 0, 1 and the closing key.
    CAnimKey extra = m->GetTrack(0)->keys[1];
    extra.frame = 20;
    m->GetTrack(0)->AddKey(extra);
    std::vector<uint8_t> image;
    ASSERT_TRUE(BuildMoveableFkeys(m.get(), 0, &image));
    EXPECT_EQ(image.size(), 24u + 48 + 56 + 68 + 48 + 68);
    EXPECT_EQ(GetS32(&image[24 + 36]), 4);  // keyCount + 1 all the same
    EXPECT_EQ(GetS32(&image[24 + 48 + 4]), 3);

    // No such animation, or a folder that does not exist: false, and no file.
    EXPECT_FALSE(ExportMoveableFkeys(m.get(), dir.file("none.fkeys"), nullptr, 3));
    EXPECT_FALSE(FileExists(dir.file("none.fkeys")));
    EXPECT_FALSE(ExportMoveableFkeys(m.get(), dir.file("missing/x.fkeys"), nullptr, 0));
    EXPECT_FALSE(ExportMoveableFkeys(nullptr, path, nullptr, -1));
    // The earlier file is untouched by the failures.
    EXPECT_EQ(test::ReadFileBytes(path), bytes);
}
