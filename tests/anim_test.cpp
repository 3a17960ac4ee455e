#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

#include "level/Anim.h"

using namespace lithoscope;

namespace {

const float kH = std::sqrt(0.5f);

// A key of one bone: offset (x, 0, 0), box min (x, 0, 0) max (x + 1, 1, 1).
CAnimKey OffsetKey(int frame, float x) {
    CAnimKey k(frame, 1, BoundingBox(CVector3().Set(x, 0, 0), CVector3().Set(x + 1, 1, 1)));
    BoneKey b;
    b.rotation.Set(0, 0, 0, 1);
    b.offset.Set(x, 0, 0);
    k.bones.push_back(b);
    return k;
}

// Keys every interval frames with offsets base, base + step, ...
std::unique_ptr<CAnimTrack> MakeTrack(int keys, uint32_t frames, uint32_t interval,
                                      float base = 0, float step = 10) {
    auto t = std::make_unique<CAnimTrack>(keys, frames, interval, 30.0f);
    for (int k = 0; k < keys; ++k) t->AddKey(OffsetKey(k * int(interval), base + step * k));
    return t;
}

float PoseX(const CAnimTrack& t, int bone = 0) {
    BoneKey out;
    t.GetBonePose(bone, &out, false);
    return out.offset.x;
}

}  // namespace

TEST(AnimTrack, ConstructionDefaults) {
    CAnimTrack t(3, 11, 5, 30.0f);
    EXPECT_EQ(t.frameCount, 11u);
    EXPECT_EQ(t.interval, 5u);
    EXPECT_EQ(t.lastInterval, 1u);
    EXPECT_EQ(t.rate, 30.0f);
    EXPECT_EQ(t.speed, 1.0f);
    EXPECT_EQ(t.nextTrack, nullptr);
    EXPECT_EQ(t.nextFrame, 0u);
    EXPECT_TRUE(t.interpolate);
    EXPECT_TRUE(t.hasNextKey);
    EXPECT_EQ(t.key, 0u);
    EXPECT_EQ(t.time, 0.0f);
    EXPECT_EQ(t.keyCount(), 0);
    t.AddKey(OffsetKey(0, 0));
    EXPECT_EQ(t.keyCount(), 1);
    EXPECT_EQ(CAnimTrack(1, 10, 5, 30).lastInterval, 5u);
    EXPECT_EQ(CAnimTrack(1, 12, 5, 30).lastInterval, 2u);
}

TEST(AnimTrack, SetTimeKeysAndFractions) {
    // 11 frames of 5: keys at 0, 5, 10; the last key covers one frame.
    CAnimTrack a(3, 11, 5, 30);
    EXPECT_TRUE(a.SetTime(10.5f));
    EXPECT_EQ(a.key, 2u);
    EXPECT_FALSE(a.hasNextKey);
    EXPECT_NEAR(a.fraction, 0.5f, 1e-5f);
    EXPECT_TRUE(a.SetTime(7.5f));
    EXPECT_EQ(a.key, 1u);
    EXPECT_TRUE(a.hasNextKey);
    EXPECT_NEAR(a.fraction, 0.5f, 1e-5f);

    // 10 frames of 5: the last key spans the full interval.
    CAnimTrack b(2, 10, 5, 30);
    EXPECT_TRUE(b.SetTime(9.99f));
    EXPECT_EQ(b.key, 1u);
    EXPECT_FALSE(b.hasNextKey);
    EXPECT_NEAR(b.fraction, 0.998f, 1e-4f);

    // Without interpolation the fraction stays 0.
    a.interpolate = false;
    EXPECT_TRUE(a.SetTime(10.5f));
    EXPECT_EQ(a.fraction, 0.0f);
    EXPECT_TRUE(a.SetTime(3.2f));
    EXPECT_EQ(a.key, 0u);
    EXPECT_EQ(a.fraction, 0.0f);
}

TEST(AnimTrack, LoopingWrapsAndClamps) {
    CAnimTrack t(20, 20, 1, 30);
    t.SetNextTrack(&t, 0);
    EXPECT_TRUE(t.SetTime(23));
    EXPECT_FLOAT_EQ(t.time, 3);
    EXPECT_EQ(t.key, 3u);
    EXPECT_TRUE(t.SetTime(45));
    EXPECT_FLOAT_EQ(t.time, 19);
    EXPECT_EQ(t.key, 19u);
    // Looping onto a later frame of itself.
    t.SetNextTrack(&t, 5);
    EXPECT_TRUE(t.SetTime(22));
    EXPECT_FLOAT_EQ(t.time, 7);
    // A continue frame outside the track becomes 0.
    t.SetNextTrack(&t, 20);
    EXPECT_EQ(t.nextFrame, 0u);
}

TEST(AnimTrack, ChainedTrackEndsWithTheOvershoot) {
    CAnimTrack a(20, 20, 1, 30), b(10, 10, 1, 30);
    a.SetNextTrack(&b, 3);
    EXPECT_EQ(a.nextFrame, 3u);
    ASSERT_TRUE(a.SetTime(12));
    EXPECT_FALSE(a.SetTime(20.25f));
    EXPECT_NEAR(a.fraction, 0.25f, 1e-5f);
    EXPECT_FLOAT_EQ(a.time, 20.25f);
    EXPECT_EQ(a.key, 12u);  // kept from the last time inside the track
    // Interval 5: the fraction is that of the interval.
    CAnimTrack c(4, 20, 5, 30);
    c.SetNextTrack(&b, 0);
    EXPECT_FALSE(c.SetTime(21));
    EXPECT_NEAR(c.fraction, 0.2f, 1e-5f);
    a.interpolate = false;
    EXPECT_FALSE(a.SetTime(20.25f));
    EXPECT_EQ(a.fraction, 0.0f);
}

TEST(AnimTrack, AdvanceUsesRateAndSpeed) {
    CAnimTrack t(20, 20, 1, 30);
    t.SetNextTrack(&t, 0);
    t.speed = 2;
    EXPECT_TRUE(t.Advance(0.1f));
    EXPECT_NEAR(t.time, 6, 1e-4f);
    EXPECT_TRUE(t.Advance(0.25f));  // 6 + 15 = 21 -> 1
    EXPECT_NEAR(t.time, 1, 1e-4f);
}

TEST(AnimTrack, DegenerateTimesAndSizesStaySafe) {
    // Frames per key 0 is used as 1.
    CAnimTrack z(10, 10, 0, 30);
    EXPECT_EQ(z.lastInterval, 1u);
    EXPECT_TRUE(z.SetTime(5.5f));
    EXPECT_EQ(z.key, 5u);
    EXPECT_NEAR(z.fraction, 0.5f, 1e-5f);

    // A frame count of 0 behaves as 1.
    CAnimTrack f(1, 0, 5, 30);
    f.SetNextTrack(&f, 0);
    EXPECT_TRUE(f.SetTime(0.5f));
    EXPECT_EQ(f.key, 0u);
    EXPECT_NEAR(f.fraction, 0.5f, 1e-5f);  // 0.1 of a key, stretched by 5 / 1
    EXPECT_TRUE(f.SetTime(3));
    EXPECT_FLOAT_EQ(f.time, 0);

    // Negative and non-number times start at 0; huge ones are held.
    CAnimTrack t(20, 20, 1, 30);
    t.SetNextTrack(&t, 0);
    EXPECT_TRUE(t.SetTime(-4));
    EXPECT_FLOAT_EQ(t.time, 0);
    EXPECT_EQ(t.key, 0u);
    EXPECT_TRUE(t.SetTime(std::numeric_limits<float>::quiet_NaN()));
    EXPECT_FLOAT_EQ(t.time, 0);
    EXPECT_TRUE(t.SetTime(std::numeric_limits<float>::infinity()));
    EXPECT_FLOAT_EQ(t.time, 19);
    CAnimTrack u(20, 20, 1, 30);
    EXPECT_FALSE(u.SetTime(3e38f));  // not looping: ends, the fraction stays finite
    EXPECT_TRUE(std::isfinite(u.fraction));
}

TEST(AnimTrack, SamplingBlendsKeysAndNextTrack) {
    // Offsets 0, 10, 20 at frames 0, 5, 10 of 11.
    auto t = MakeTrack(3, 11, 5);
    t->SetNextTrack(t.get(), 0);
    t->SetTime(2.5f);
    EXPECT_NEAR(PoseX(*t), 5, 1e-4f);
    BoundingBox box;
    t->GetBoundingBox(&box, false);
    EXPECT_NEAR(box.min.x, 5, 1e-4f);
    EXPECT_NEAR(box.max.x, 6, 1e-4f);
    t->SetTime(7.5f);
    EXPECT_NEAR(PoseX(*t), 15, 1e-4f);

    // Last key of a looping track blends into its own frame 0, and its state comes back.
    t->SetTime(10.5f);
    EXPECT_NEAR(PoseX(*t), 10, 1e-4f);
    EXPECT_EQ(t->key, 2u);
    EXPECT_FALSE(t->hasNextKey);
    EXPECT_NEAR(t->fraction, 0.5f, 1e-5f);
    EXPECT_FLOAT_EQ(t->time, 10.5f);
    t->GetBoundingBox(&box, false);
    EXPECT_NEAR(box.min.x, 10, 1e-4f);
    // lastKeyOnly blends into the last key itself.
    BoneKey last;
    t->GetBonePose(0, &last, true);
    EXPECT_NEAR(last.offset.x, 20, 1e-4f);

    // Chained: blends into the successor at its next frame (offsets 100, 200, 300, 400).
    auto n = MakeTrack(4, 20, 5, 100, 100);
    ASSERT_TRUE(n->SetTime(17));
    t->SetNextTrack(n.get(), 5);  // key 1, fraction 0 -> 200
    EXPECT_NEAR(PoseX(*t), 20 * 0.5f + 200 * 0.5f, 1e-3f);
    t->SetNextTrack(n.get(), 6);  // key 1, fraction 0.2 -> 220
    EXPECT_NEAR(PoseX(*t), 20 * 0.5f + 220 * 0.5f, 1e-3f);
    // The successor's own playback is untouched.
    EXPECT_FLOAT_EQ(n->time, 17);
    EXPECT_EQ(n->key, 3u);
    EXPECT_NEAR(n->fraction, 0.4f, 1e-5f);

    // Not interpolating: exactly the current key.
    t->interpolate = false;
    t->SetTime(9);
    EXPECT_EQ(PoseX(*t), 10);
}

TEST(AnimTrack, SamplingNeverReadsPastTheKeys) {
    // One key: the same key on both sides.
    auto one = MakeTrack(1, 1, 5, 42);
    one->SetNextTrack(one.get(), 0);
    one->SetTime(0.5f);
    EXPECT_EQ(PoseX(*one), 42);

    // Two keys where 20 frames of 5 imply four: key 1 wraps to key 0, later keys hold.
    auto few = MakeTrack(2, 20, 5);
    few->SetNextTrack(few.get(), 0);
    few->SetTime(7.5f);
    EXPECT_NEAR(PoseX(*few), 5, 1e-4f);
    few->SetTime(17.5f);
    EXPECT_EQ(few->key, 3u);
    EXPECT_EQ(PoseX(*few), 10);
    BoundingBox box;
    few->GetBoundingBox(&box, false);
    EXPECT_EQ(box.min.x, 10);

    // No keys: a neutral pose and an empty box.
    CAnimTrack empty(0, 10, 1, 30);
    empty.SetTime(4);
    BoneKey pose;
    pose.offset.Set(9, 9, 9);
    empty.GetBonePose(0, &pose, false);
    EXPECT_EQ(pose.rotation.w, 1);
    EXPECT_EQ(pose.offset.x, 0);
    empty.GetBoundingBox(&box, false);
    EXPECT_EQ(box.max.x, 0);

    // A bone the key does not have: neutral.
    auto t = MakeTrack(3, 11, 5);
    t->GetBonePose(5, &pose, false);
    EXPECT_EQ(pose.rotation.w, 1);
    t->GetBonePose(-1, &pose, false);
    EXPECT_EQ(pose.offset.x, 0);

    // Never linked: the last key holds instead of following a null track.
    t->SetTime(10.5f);
    EXPECT_EQ(PoseX(*t), 20);
    t->GetBonePose(0, nullptr, false);
    t->GetBoundingBox(nullptr, false);
}

TEST(AnimInterpolation, BoxesPosesAndEuler) {
    BoundingBox a(CVector3().Set(0, 0, 0), CVector3().Set(4, 4, 4));
    BoundingBox b(CVector3().Set(-4, 8, 0), CVector3().Set(8, 4, 0));
    BoundingBox out;
    InterpolateBoundingBox(a, b, out, 0.25f);
    EXPECT_FLOAT_EQ(out.min.x, -1);
    EXPECT_FLOAT_EQ(out.min.y, 2);
    EXPECT_FLOAT_EQ(out.max.x, 5);
    EXPECT_FLOAT_EQ(out.max.z, 3);

    // -q is the same rotation: the shorter arc stays at it.
    BoneKey id(CQuaternion().Set(0, 0, 0, 1), CVector3().Set(0, 0, 0), 0, 0);
    BoneKey neg(CQuaternion().Set(0, 0, 0, -1), CVector3().Set(8, 0, 0), 0, 0);
    BoneKey r(CQuaternion(), CVector3(), 7, 9);
    InterpolateBoneKey(id, neg, r, 0.5f);
    EXPECT_NEAR(r.rotation.w, 1, 1e-5f);
    EXPECT_NEAR(r.rotation.x, 0, 1e-5f);
    EXPECT_FLOAT_EQ(r.offset.x, 4);
    EXPECT_EQ(r.word0, 7);  // words are not written
    EXPECT_EQ(r.word1, 9);
    // 90 degrees about z given negated: halfway is 45 degrees about +z.
    BoneKey z90(CQuaternion().Set(0, 0, -kH, -kH), CVector3(), 0, 0);
    InterpolateBoneKey(id, z90, r, 0.5f);
    EXPECT_NEAR(r.rotation.z, std::sin(kPi / 8), 1e-5f);
    EXPECT_NEAR(r.rotation.w, std::cos(kPi / 8), 1e-5f);

    BoneKey e;
    BoneKeyFromEuler(e, kPi / 2, 0, 0, CVector3().Set(1, 2, 3), 0x1000, -2);
    EXPECT_NEAR(e.rotation.x, kH, 1e-6f);
    EXPECT_NEAR(e.rotation.w, kH, 1e-6f);
    EXPECT_EQ(e.offset.z, 3);
    EXPECT_EQ(e.word0, 0x1000);
    EXPECT_EQ(e.word1, -2);
    // (qy qx): the z component is -0.5 (qx qy would give +0.5).
    BoneKeyFromEuler(e, kPi / 2, kPi / 2, 0, CVector3(), 0, 0);
    EXPECT_NEAR(e.rotation.x, 0.5f, 1e-6f);
    EXPECT_NEAR(e.rotation.y, 0.5f, 1e-6f);
    EXPECT_NEAR(e.rotation.z, -0.5f, 1e-6f);
    EXPECT_NEAR(e.rotation.w, 0.5f, 1e-6f);
    // Then qz on the right: (qy qx) qz for 90 degrees on each axis is 90 degrees about x.
    BoneKeyFromEuler(e, kPi / 2, kPi / 2, kPi / 2, CVector3(), 0, 0);
    EXPECT_NEAR(e.rotation.x, kH, 1e-6f);
    EXPECT_NEAR(e.rotation.y, 0, 1e-6f);
    EXPECT_NEAR(e.rotation.z, 0, 1e-6f);
    EXPECT_NEAR(e.rotation.w, kH, 1e-6f);
}

TEST(AnimMgr, AddSetAndAdvanceThroughAChain) {
    CAnimMgr m;
    EXPECT_EQ(m.current, -1);
    EXPECT_TRUE(m.Advance(1));  // nothing playing
    EXPECT_TRUE(m.SetTime(3));
    m.SwitchToNext();
    EXPECT_EQ(m.current, -1);
    m.AddTrack(MakeTrack(20, 20, 1));
    m.AddTrack(MakeTrack(10, 10, 1, 100));
    ASSERT_EQ(m.count(), 2);
    EXPECT_EQ(m.entries[1].index, 1);
    EXPECT_EQ(m.entries[1].nextAnim, 1);
    EXPECT_EQ(m.entries[1].nextFrame, 0);

    m.SetAnimation(2, 0);  // index equal to count: nothing
    EXPECT_EQ(m.current, -1);

    m.SetNext(0, 1, 4);
    m.SetNext(0, -1, 5);  // only the frame
    int na = -9, nf = -9;
    m.GetNext(&na, &nf, 0);
    EXPECT_EQ(na, 1);
    EXPECT_EQ(nf, 5);
    m.GetNext(&na, &nf, -1);  // none current
    EXPECT_EQ(na, 0);
    EXPECT_EQ(nf, 0);
    m.SetNext(0, -1, 4);

    // Not chained: the animation loops.
    m.SetSpeed(1);
    m.SetAnimation(0, 19);
    CAnimTrack* a = m.GetTrack(0);
    CAnimTrack* b = m.GetTrack(1);
    EXPECT_EQ(a->nextTrack, a);
    EXPECT_TRUE(m.Advance(1.25f / 30));
    EXPECT_NEAR(a->time, 0.25f, 1e-4f);

    // Chained: the overshoot carries into the next animation.
    m.SetChain(true);
    EXPECT_EQ(a->nextTrack, b);
    EXPECT_EQ(a->nextFrame, 4u);
    m.SetTime(19);
    EXPECT_FALSE(m.Advance(1.25f / 30));
    EXPECT_EQ(m.current, 1);
    EXPECT_NEAR(b->time, 4.25f, 1e-4f);
    EXPECT_EQ(b->key, 4u);
    EXPECT_NEAR(b->fraction, 0.25f, 1e-4f);
    m.GetNext(&na, &nf, -1);
    EXPECT_EQ(na, 1);  // entry 1 follows itself
    EXPECT_EQ(nf, 0);

    // Speed reaches the current track and the next one started.
    m.SetSpeed(2);
    EXPECT_EQ(b->speed, 2);
    m.SetAnimation(0, 0);
    EXPECT_EQ(a->speed, 2);
    m.SetChain(false);
    EXPECT_EQ(a->nextTrack, a);
}

TEST(AnimMgr, NextAnimationOutsideTheTracksLoops) {
    CAnimMgr m;
    m.AddTrack(MakeTrack(20, 20, 1));
    m.AddTrack(MakeTrack(10, 10, 1));
    m.SetChain(true);
    m.SetNext(0, 65535, 3);  // "none" as files store it
    m.SetAnimation(0, 19);
    CAnimTrack* a = m.GetTrack(0);
    EXPECT_EQ(a->nextTrack, a);
    EXPECT_TRUE(m.Advance(1.25f / 30));
    EXPECT_EQ(m.current, 0);
    EXPECT_NEAR(a->time, 0.25f, 1e-4f);
    // Sampling at the last key stays inside the track.
    m.SetAnimation(0, 19.5f);
    BoneKey pose;
    a->GetBonePose(0, &pose, false);
    EXPECT_NEAR(pose.offset.x, 190 * 0.5f, 1e-3f);

    // The entry changed after linking: the switch still lands on an existing track.
    m.SetNext(0, 1, 0);
    m.SetAnimation(0, 19);  // linked to track 1
    m.SetNext(0, -7, -1);
    EXPECT_FALSE(m.Advance(1.5f / 30));
    EXPECT_EQ(m.current, 0);
    EXPECT_NEAR(a->time, 0.5f, 1e-4f);

    // Negative next frame: continues at 0.
    m.SetNext(0, 1, -3);
    m.SetAnimation(0, 0);
    EXPECT_EQ(a->nextFrame, 0u);
    EXPECT_EQ(m.GetTrack(-1), nullptr);
    EXPECT_EQ(m.GetTrack(2), nullptr);
}

TEST(AnimMgr, TakeTrackKeepsBothManagersConsistent) {
    // Appending: the source is left empty with nothing current.
    CAnimMgr to, from;
    to.AddTrack(MakeTrack(5, 5, 1));
    to.AddTrack(MakeTrack(5, 5, 1));
    from.AddTrack(MakeTrack(3, 3, 1, 500));
    from.SetAnimation(0, 1);
    CAnimTrack* moved = from.GetTrack(0);
    EXPECT_EQ(to.TakeTrack(from, 0, -1), nullptr);
    ASSERT_EQ(to.count(), 3);
    EXPECT_EQ(to.GetTrack(2), moved);
    EXPECT_EQ(to.entries[2].index, 2);
    EXPECT_EQ(to.entries[2].nextAnim, 2);
    EXPECT_EQ(from.count(), 0);
    EXPECT_EQ(from.current, -1);
    EXPECT_TRUE(from.Advance(1));
    EXPECT_EQ(moved->nextTrack, moved);

    // Replacing: the displaced track comes back to the caller, links point at the new one.
    CAnimMgr dst, src;
    dst.AddTrack(MakeTrack(5, 5, 1));
    dst.AddTrack(MakeTrack(5, 5, 1));
    dst.SetNext(0, 1, 2);
    dst.SetChain(true);
    dst.SetAnimation(0, 0);
    CAnimTrack* old = dst.GetTrack(1);
    ASSERT_EQ(dst.GetTrack(0)->nextTrack, old);
    src.AddTrack(MakeTrack(4, 4, 1));
    src.AddTrack(MakeTrack(4, 4, 1));
    src.SetNext(1, 0, 3);
    CAnimTrack* incoming = src.GetTrack(1);
    std::unique_ptr<CAnimTrack> displaced = dst.TakeTrack(src, 1, 1);
    ASSERT_EQ(displaced.get(), old);
    EXPECT_EQ(displaced->nextTrack, old);  // no link left into dst
    EXPECT_EQ(dst.GetTrack(1), incoming);
    EXPECT_EQ(dst.entries[1].index, 1);  // copied from the source entry
    EXPECT_EQ(dst.entries[1].nextAnim, 0);
    EXPECT_EQ(dst.entries[1].nextFrame, 3);
    EXPECT_EQ(dst.GetTrack(0)->nextTrack, incoming);
    EXPECT_EQ(incoming->nextTrack, dst.GetTrack(0));
    EXPECT_EQ(src.count(), 1);
    EXPECT_EQ(src.current, 0);

    // Taking from the middle: no track of the source still links to the one that left.
    CAnimMgr three, sink;
    for (int i = 0; i < 3; ++i) three.AddTrack(MakeTrack(4, 4, 1));
    three.SetChain(true);
    three.SetNext(0, 1, 0);
    three.SetNext(1, 2, 0);
    three.SetNext(2, 0, 0);
    for (uint32_t i = 0; i < 3; ++i) three.SetAnimation(i, 0);
    CAnimTrack* middle = three.GetTrack(1);
    sink.TakeTrack(three, 1, -1);
    ASSERT_EQ(three.count(), 2);
    for (int i = 0; i < three.count(); ++i) {
        CAnimTrack* n = three.GetTrack(i)->nextTrack;
        EXPECT_TRUE(n == three.GetTrack(0) || n == three.GetTrack(1)) << i;
        EXPECT_NE(n, middle);
    }
    BoneKey pose;
    three.SetAnimation(0, 3.5f);
    three.GetTrack(0)->GetBonePose(0, &pose, false);

    // Bad indices change nothing.
    EXPECT_EQ(sink.TakeTrack(three, 2, -1), nullptr);
    EXPECT_EQ(sink.TakeTrack(three, -1, -1), nullptr);
    EXPECT_EQ(sink.TakeTrack(three, 0, 5), nullptr);
    EXPECT_EQ(sink.TakeTrack(sink, 0, -1), nullptr);
    EXPECT_EQ(three.count(), 2);
    EXPECT_EQ(sink.count(), 1);
}

TEST(TrRotation, DecodesEachFormAndVersion) {
    float x = -1, y = -1, z = -1;
    uint16_t w0 = 9, w1 = 9;
    auto decode = [&](int version, std::initializer_list<uint16_t> words, size_t expectRead) {
        std::vector<uint16_t> v(words);
        const uint16_t* p = v.data();
        EXPECT_TRUE(DecodeTrRotation(version, &p, v.data() + v.size(), &x, &y, &z, &w0, &w1));
        EXPECT_EQ(size_t(p - v.data()), expectRead);
    };
    const float u = kTrAngleUnitDegrees;

    decode(2, {0x4100, 0xFFFF}, 1);
    EXPECT_FLOAT_EQ(x, 90);
    EXPECT_EQ(y, 0);
    EXPECT_EQ(z, 0);
    EXPECT_EQ(w0, 0x1000);
    EXPECT_EQ(w1, 0);

    decode(2, {0x0010, 0x0400}, 2);
    EXPECT_FLOAT_EQ(x, u);
    EXPECT_FLOAT_EQ(y, u);
    EXPECT_EQ(z, 0);
    EXPECT_EQ(w0, 0x0010);
    EXPECT_EQ(w1, 0x0400);

    decode(4, {0xC400}, 1);
    EXPECT_FLOAT_EQ(z, 90);
    EXPECT_EQ(w0, 0);
    EXPECT_EQ(w1, 256);
    decode(2, {0xC400}, 1);
    EXPECT_EQ(z, 0);
    EXPECT_EQ(w1, 0);
    decode(4, {0x4400}, 1);
    EXPECT_FLOAT_EQ(x, 90);

    // y only: word0 gets the top four bits, word1 the low six in its top bits (16-bit).
    decode(3, {0x81FF}, 1);
    EXPECT_FLOAT_EQ(y, 511 * u);
    EXPECT_EQ(w0, 7);
    EXPECT_EQ(w1, 0xFC00);
    decode(3, {0x8100}, 1);
    EXPECT_EQ(w0, 4);
    EXPECT_EQ(w1, 0);  // 256 << 10 keeps no bit in 16

    // Tomb Raider I: always two words, stored swapped.
    decode(1, {0x0400, 0x0010}, 2);
    EXPECT_FLOAT_EQ(x, u);
    EXPECT_FLOAT_EQ(y, u);
    EXPECT_EQ(w0, 0x0010);
    EXPECT_EQ(w1, 0x0400);
    decode(1, {0x4100, 0x0000}, 2);
    EXPECT_EQ(x, 0);
    EXPECT_FLOAT_EQ(y, 16 * u);
    EXPECT_FLOAT_EQ(z, 256 * u);

    // The cursor form without an end.
    const uint16_t two[2] = {0x0000, 0x0005};
    const uint16_t* p = two;
    DecodeTrRotation(2, &p, &x, &y, &z, &w0, &w1);
    EXPECT_EQ(p, two + 2);
    EXPECT_FLOAT_EQ(z, 5 * u);
}

TEST(TrRotation, OneAxisWordsDecodeAgainAsThreeAxis) {
    const std::vector<std::pair<int, uint16_t>> cases = {
        {2, 0x4155}, {2, 0x83FF}, {2, 0x8040}, {2, 0xC2AA}, {4, 0x4FFC}, {4, 0x8ABC}, {4, 0xC004}};
    for (const auto& c : cases) {
        const uint16_t one[1] = {c.second};
        const uint16_t* p = one;
        float x, y, z;
        uint16_t w0, w1;
        ASSERT_TRUE(DecodeTrRotation(c.first, &p, one + 1, &x, &y, &z, &w0, &w1));
        uint16_t file[2];
        TrRotationFileWords(c.first, int16_t(w0), int16_t(w1), file);
        const uint16_t* q = file;
        float x2, y2, z2;
        uint16_t v0, v1;
        ASSERT_TRUE(DecodeTrRotation(c.first, &q, file + 2, &x2, &y2, &z2, &v0, &v1));
        EXPECT_EQ(q, file + 2) << std::hex << c.second;
        EXPECT_EQ(x2, x) << std::hex << c.second;
        EXPECT_EQ(y2, y) << std::hex << c.second;
        EXPECT_EQ(z2, z) << std::hex << c.second;
    }
    // Tomb Raider I writes the pair back in its own order.
    uint16_t file[2];
    TrRotationFileWords(1, 0x0010, 0x0400, file);
    EXPECT_EQ(file[0], 0x0400);
    EXPECT_EQ(file[1], 0x0010);
    TrRotationFileWords(3, 0x0010, -1, file);
    EXPECT_EQ(file[0], 0x0010);
    EXPECT_EQ(file[1], 0xFFFF);
}

TEST(TrRotation, WordsRunningOutAreRefused) {
    float x = 1, y = 1, z = 1;
    uint16_t w0 = 1, w1 = 1;
    const uint16_t words[1] = {0x0010};  // three-axis form needs a second word
    const uint16_t* p = words;
    EXPECT_FALSE(DecodeTrRotation(2, &p, words + 1, &x, &y, &z, &w0, &w1));
    EXPECT_EQ(p, words);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(w0, 0);
    const uint16_t tr1[1] = {0x4100};  // Tomb Raider I always needs two
    p = tr1;
    EXPECT_FALSE(DecodeTrRotation(1, &p, tr1 + 1, &x, &y, &z, &w0, &w1));
    EXPECT_EQ(p, tr1);
    p = tr1;
    EXPECT_FALSE(DecodeTrRotation(2, &p, tr1, &x, &y, &z, &w0, &w1));  // nothing left
    const uint16_t* none = nullptr;
    EXPECT_FALSE(DecodeTrRotation(2, &none, nullptr, &x, &y, &z, &w0, &w1));
}

TEST(BoneList, LevelWordsReadAsPosesAndBecomePosesWhenWritten) {
    // Two bones as a Tomb Raider IV level stores them: a three-axis rotation and a 12-bit
    // one-axis one; the root offset on bone 0 only.
    std::vector<BoneWords> words(2);
    words[0].word0 = 0x0010;
    words[0].word1 = 0x0400;
    words[1].word0 = 0x3FF0;  // x: the top ten bits of the packed angle
    words[1].packed = 0x4FFF;
    CAnimKey key(0, 2, BoundingBox());
    key.bones.SetLevelBones(4, CVector3().Set(1, -2, -3), std::move(words));
    EXPECT_TRUE(key.bones.HeldAsLevelWords());
    ASSERT_EQ(key.bones.size(), 2u);
    const CAnimKey& held = key;
    // Each pose is the builder's pose of the same words.
    const BoneKey root = held.bones[0];
    BoneKey expected;
    BoneKeyFromEuler(expected, 1 * kTrAngleUnitDegrees * kDegreesToRadians,
                     -(1 * kTrAngleUnitDegrees) * kDegreesToRadians, -0.0f * kDegreesToRadians,
                     CVector3().Set(1, -2, -3), 0x0010, 0x0400);
    EXPECT_EQ(root.rotation.x, expected.rotation.x);
    EXPECT_EQ(root.rotation.w, expected.rotation.w);
    EXPECT_EQ(root.offset.y, -2);
    const BoneKey arm = held.bones[1];
    EXPECT_FLOAT_EQ(arm.rotation.x, std::sin(0xFFF * kTrAngleUnitDegrees / 4 * kDegreesToRadians / 2));
    EXPECT_EQ(arm.offset.x, 0);
    EXPECT_EQ(arm.packed, 0x4FFF);
    EXPECT_EQ(held.bones.Words(1).packed, 0x4FFF);
    uint16_t file[2];
    EXPECT_EQ(TrRotationFileForm(4, held.bones.Words(1), file), 1);
    EXPECT_EQ(file[0], 0x4FFF);
    // Iterating gives the same poses; writing a bone makes full poses of them all.
    size_t n = 0;
    for (const BoneKey& b : held.bones) EXPECT_EQ(b.rotation.z, held.bones[n++].rotation.z);
    key.bones[1].offset.Set(5, 0, 0);
    EXPECT_FALSE(key.bones.HeldAsLevelWords());
    EXPECT_EQ(held.bones[0].rotation.x, root.rotation.x);
    EXPECT_EQ(held.bones.Offset(1).x, 5);
    EXPECT_EQ(held.bones.Words(0).word1, 0x0400);
    key.bones.push_back(NeutralBoneKey());
    EXPECT_EQ(key.bones.size(), 3u);
    key.bones = {NeutralBoneKey()};
    EXPECT_EQ(key.bones.size(), 1u);
}
