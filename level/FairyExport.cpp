#include "level/FairyExport.h"

#include <cstdio>
#include <cstring>

#include "level/ByteIO.h"
#include "level/TrMvb.h"
#include "platform/Files.h"

namespace lithoscope {

namespace {

constexpr size_t kHeaderBytes = 24;
constexpr size_t kNodeBytes = 48;
constexpr size_t kNameBytes = 32;
constexpr size_t kPositionRecordBytes = 16;
constexpr size_t kRotationRecordBytes = 20;
constexpr size_t kBlockHeadBytes = 8;
constexpr float kFairyScale = 0.0022435898f;
constexpr float kFairyLift = 0.95f;
constexpr float kSecondsPerFrame = 30.0f;

}  // namespace

bool ExtractAnimationKeys(const CTrMvb* moveable, int anim, int* meshCount, int* frameCount,
                          int* keyCount, int* framesPerKey, std::vector<CVector3>* roots,
                          std::vector<CQuaternion>* rotations) {
    if (roots) roots->clear();
    if (rotations) rotations->clear();
    if (!moveable || !moveable->animations) return false;
    const CAnimTrack* track = moveable->animations->GetTrack(anim);
    if (!track) return false;

    const size_t meshes = moveable->meshes.size();
    const size_t keys = track->keys.size();
    if (meshCount) *meshCount = int(meshes);
    if (frameCount) *frameCount = int(track->frameCount);
    if (keyCount) *keyCount = int(keys);
    if (framesPerKey) *framesPerKey = int(track->interval);

    const BoneKey neutral = NeutralBoneKey();
    std::vector<CVector3> r(keys + 1);
    std::vector<CQuaternion> q((keys + 1) * meshes);
    for (size_t k = 0; k < keys; ++k) {
        const CAnimKey& key = track->keys[k];
        if (!key.bones.empty()) r[k] = key.bones[0].offset;
        for (size_t m = 0; m < meshes; ++m)
            q[k * meshes + m] = (m < key.bones.size() ? key.bones[m] : neutral).rotation;
    }
    // The closing key repeats key 0 (a track without keys closes on the rest pose).
    r[keys] = keys ? r[0] : CVector3();
    for (size_t m = 0; m < meshes; ++m) q[keys * meshes + m] = keys ? q[m] : neutral.rotation;

    for (size_t m = 0; m < meshes; ++m) {
        for (size_t k = 0; k < keys; ++k) {
            const CQuaternion& a = q[k * meshes + m];
            CQuaternion& b = q[(k + 1) * meshes + m];
            CQuaternion diff, sum;
            QuatSub(diff, a, b);
            QuatAdd(sum, a, b);
            if (QuatDot(diff, diff) > QuatDot(sum, sum)) QuatNegate(b, b);
        }
    }
    if (roots) *roots = std::move(r);
    if (rotations) *rotations = std::move(q);
    return true;
}

bool BuildMoveableFkeys(const CTrMvb* moveable, int anim, std::vector<uint8_t>* image) {
    if (!moveable || !image) return false;
    const bool withAnimation = anim != -1;
    int meshes = int(moveable->meshes.size());
    int frames = 1, keys = 0, perKey = 0;
    std::vector<CVector3> roots;
    std::vector<CQuaternion> rotations;
    if (withAnimation &&
        !ExtractAnimationKeys(moveable, anim, &meshes, &frames, &keys, &perKey, &roots, &rotations))
        return false;

    // Written keys: those that start before the end, then the closing key.
    std::vector<size_t> written;
    std::vector<float> times;
    if (withAnimation) {
        for (int k = 0; k < keys; ++k) {
            if (int64_t(k) * perKey < frames) {
                written.push_back(size_t(k));
                times.push_back(float(int64_t(k) * perKey) / kSecondsPerFrame);
            }
        }
        written.push_back(size_t(keys));
        times.push_back(float(frames) / kSecondsPerFrame);
    }
    const size_t w = written.size();

    size_t size = kHeaderBytes + kNodeBytes * size_t(meshes);
    if (withAnimation)
        size += kBlockHeadBytes + kPositionRecordBytes * w +
                size_t(meshes) * (kBlockHeadBytes + kRotationRecordBytes * w);
    image->assign(size, 0);
    ByteWriter out(*image);
    out.s32(256);
    out.s32(0);
    out.s32(frames);
    out.s32(30);
    out.s32(160);
    out.s32(meshes);
    for (int m = 0; m < meshes; ++m) {
        out.s32(0);
        char name[kNameBytes] = {};
        std::snprintf(name, sizeof name, moveable->meshes[size_t(m)].dummy ? "dummy%.3d" : "M%.3d", m);
        out.bytes(name, sizeof name);
        out.s32(withAnimation && m == 0 ? keys + 1 : 0);
        out.s32(withAnimation ? keys + 1 : 0);
        out.s32(0);
        if (!withAnimation) continue;
        if (m == 0) {
            out.s32(1);
            out.s32(int32_t(w));
            for (size_t i = 0; i < w; ++i) {
                const CVector3& p = roots[written[i]];
                out.f32(times[i]);
                out.f32(p.x * kFairyScale);
                out.f32(-p.z * kFairyScale);
                out.f32(p.y * kFairyScale - kFairyLift);
            }
        }
        out.s32(1);
        out.s32(int32_t(w));
        for (size_t i = 0; i < w; ++i) {
            const CQuaternion& q = rotations[written[i] * size_t(meshes) + size_t(m)];
            CVector3 axis;
            float angle = 0;
            q.GetAxisAngle(axis, angle);
            axis.Normalize();
            CVector3 turned;
            turned.Set(axis.x, -axis.z, axis.y);
            CQuaternion result;
            result.SetAxisAngle(turned, -angle);
            out.f32(times[i]);
            out.f32(result.x);
            out.f32(result.y);
            out.f32(result.z);
            out.f32(result.w);
        }
    }
    return true;
}

bool ExportMoveableFkeys(const CTrMvb* moveable, const std::string& path, CTrLevel*, int anim,
                         std::string* error) {
    std::vector<uint8_t> image;
    if (!BuildMoveableFkeys(moveable, anim, &image)) {
        if (error) *error = "the moveable has no such animation";
        return false;
    }
    return WriteFileSafely(path, image.data(), image.size(), error);
}

}  // namespace lithoscope
