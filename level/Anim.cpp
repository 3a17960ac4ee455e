#include "level/Anim.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace lithoscope {

namespace {

// Keys reserved up front at most; more are still accepted one by one.
constexpr int kMaxReservedKeys = 4096;
// Times beyond this are held there, so float-to-integer steps stay defined.
constexpr float kMaxTime = 1.0e9f;

uint32_t LastInterval(uint32_t frames, uint32_t interval) { return (frames - 1) % interval + 1; }

// The pose of one bone of a key; neutral when the key has no such bone.
BoneKey BoneAt(const CAnimKey& key, int bone, const BoneKey& neutral) {
    if (bone < 0 || size_t(bone) >= key.bones.size()) return neutral;
    return key.bones[size_t(bone)];
}

}  // namespace

BoneKey NeutralBoneKey() {
    BoneKey k;
    k.rotation.Set(0, 0, 0, 1);
    return k;
}

// ---- BoneList ----

BoneList& BoneList::operator=(std::initializer_list<BoneKey> bones) {
    level_.clear();
    full_ = bones;
    return *this;
}

BoneKey BoneList::operator[](size_t i) const {
    if (level_.empty()) return full_[i];
    return TrBonePose(version_, level_[i], Offset(i));
}

BoneKey& BoneList::operator[](size_t i) {
    MakeFull();
    return full_[i];
}

void BoneList::push_back(const BoneKey& bone) {
    MakeFull();
    full_.push_back(bone);
}

void BoneList::resize(size_t n) {
    MakeFull();
    full_.resize(n);
}

void BoneList::reserve(size_t n) {
    if (level_.empty()) full_.reserve(n);
}

void BoneList::clear() {
    std::vector<BoneKey>().swap(full_);
    std::vector<BoneWords>().swap(level_);
}

BoneWords BoneList::Words(size_t i) const {
    if (!level_.empty()) return level_[i];
    const BoneKey& b = full_[i];
    BoneWords w;
    w.word0 = b.word0;
    w.word1 = b.word1;
    w.packed = b.packed;
    return w;
}

CVector3 BoneList::Offset(size_t i) const {
    if (level_.empty()) return full_[i].offset;
    return i == 0 ? root_ : CVector3();
}

void BoneList::SetLevelBones(int gameVersion, const CVector3& root, std::vector<BoneWords>&& words) {
    std::vector<BoneKey>().swap(full_);
    level_ = std::move(words);
    level_.shrink_to_fit();
    root_ = root;
    version_ = int8_t(gameVersion);
}

void BoneList::MakeFull() {
    if (level_.empty()) return;
    std::vector<BoneKey> poses;
    poses.reserve(level_.size());
    for (size_t i = 0; i < level_.size(); ++i) poses.push_back(TrBonePose(version_, level_[i], Offset(i)));
    std::vector<BoneWords>().swap(level_);
    full_ = std::move(poses);
}

// ---- CAnimTrack ----

CAnimTrack::CAnimTrack(int keyCount, uint32_t frames, uint32_t framesPerKey, float framesPerSecond)
    : frameCount(frames), rate(framesPerSecond), interval(framesPerKey) {
    lastInterval = LastInterval(PlayFrameCount(), PlayInterval());
    if (keyCount > 0) keys.reserve(size_t(std::min(keyCount, kMaxReservedKeys)));
}

void CAnimTrack::AddKey(const CAnimKey& k) { keys.push_back(k); }

void CAnimTrack::AddKey(CAnimKey&& k) { keys.push_back(std::move(k)); }

bool CAnimTrack::SetTime(float t) {
    if (!(t >= 0)) t = 0;  // negative times, and NaN, start the track
    if (t > kMaxTime) t = kMaxTime;
    const uint32_t frames = PlayFrameCount();
    const uint32_t step = PlayInterval();
    lastInterval = LastInterval(frames, step);
    time = t;
    // t >= frames is the same test as its integer part >= frames.
    if (double(t) >= double(frames)) {
        if (nextTrack != this) {
            const float d = t / float(step);
            fraction = interpolate ? d - std::floor(d) : 0.0f;
            return false;
        }
        time = t - float(frames) + float(nextFrame);
        if (time >= float(frames)) time = float(frames - 1);
    }
    const float d = time / float(step);
    key = uint32_t(d);
    float stretch;
    if ((uint64_t(key) + 1) * step < frames) {
        hasNextKey = true;
        stretch = 1.0f;
    } else {
        // The last key spans only lastInterval frames: its fraction runs faster.
        hasNextKey = false;
        stretch = float(step) / float(lastInterval);
    }
    fraction = interpolate ? (d - float(key)) * stretch : 0.0f;
    return true;
}

bool CAnimTrack::Advance(float seconds) {
    time = rate * seconds * speed + time;
    return SetTime(time);
}

void CAnimTrack::SetNextTrack(CAnimTrack* track, uint32_t frame) {
    nextTrack = track;
    nextFrame = track && frame < track->frameCount ? frame : 0;
}

const CAnimKey* CAnimTrack::CurrentKey() const {
    if (keys.empty()) return nullptr;
    return &keys[std::min<size_t>(key, keys.size() - 1)];
}

const CAnimKey* CAnimTrack::NextKey(bool lastKeyOnly, bool* viaNext) const {
    *viaNext = false;
    const size_t n = keys.size();
    if (n == 0) return nullptr;
    // A key past the keys there are (fewer keys than frames imply) holds the last one.
    if (key >= n) return &keys[n - 1];
    if (hasNextKey) return key + 1 < n ? &keys[key + 1] : &keys[0];
    if (n == 1) return &keys[key];
    if (lastKeyOnly) return &keys[n - 1];
    if (!nextTrack) return &keys[key];  // nothing linked yet: hold the key
    *viaNext = true;
    return nullptr;
}

void CAnimTrack::GetBoundingBox(BoundingBox* out, bool lastKeyOnly) const {
    if (!out) return;
    const CAnimKey* cur = CurrentKey();
    if (!cur) {
        *out = BoundingBox();
        return;
    }
    bool viaNext;
    const CAnimKey* next = NextKey(lastKeyOnly, &viaNext);
    BoundingBox nextBox;
    if (viaNext) {
        // nextTrack may be this track: sample it at nextFrame, then put its state back.
        CAnimTrack* nt = nextTrack;
        const SavedState saved = nt->Save();
        nt->SetTime(float(nextFrame));
        nt->GetBoundingBox(&nextBox, true);
        nt->Restore(saved);
    } else {
        nextBox = next->box;
    }
    InterpolateBoundingBox(cur->box, nextBox, *out, fraction);
}

void CAnimTrack::GetBonePose(int bone, BoneKey* out, bool lastKeyOnly) const {
    if (!out) return;
    const BoneKey neutral = NeutralBoneKey();
    const CAnimKey* cur = CurrentKey();
    if (!cur) {
        *out = neutral;
        return;
    }
    const BoneKey a = BoneAt(*cur, bone, neutral);
    bool viaNext;
    const CAnimKey* next = NextKey(lastKeyOnly, &viaNext);
    BoneKey nextPose;  // zero-filled
    if (viaNext) {
        CAnimTrack* nt = nextTrack;
        const SavedState saved = nt->Save();
        nt->SetTime(float(nextFrame));
        nt->GetBonePose(bone, &nextPose, true);
        nt->Restore(saved);
    } else {
        nextPose = BoneAt(*next, bone, neutral);
    }
    InterpolateBoneKey(a, nextPose, *out, fraction);
}

// ---- interpolation ----

void InterpolateBoundingBox(const BoundingBox& a, const BoundingBox& b, BoundingBox& out, float t) {
    const BoundingBox pa = a, pb = b;
    const float u = 1 - t;
    out.min.Set(pa.min.x * u + pb.min.x * t, pa.min.y * u + pb.min.y * t,
                pa.min.z * u + pb.min.z * t);
    out.max.Set(pa.max.x * u + pb.max.x * t, pa.max.y * u + pb.max.y * t,
                pa.max.z * u + pb.max.z * t);
}

void InterpolateBoneKey(const BoneKey& a, const BoneKey& b, BoneKey& out, float t) {
    const CQuaternion ra = a.rotation;
    const CVector3 oa = a.offset, ob = b.offset;
    CQuaternion q = b.rotation, diff, sum;
    QuatSub(diff, ra, q);
    QuatAdd(sum, ra, q);
    if (QuatDot(diff, diff) > QuatDot(sum, sum)) QuatNegate(q, q);  // shorter arc
    QuatSlerp(out.rotation, ra, q, t);
    CVector3 pb, pa;
    VecScale(pb, ob, t);
    VecScale(pa, oa, 1 - t);
    VecAdd(out.offset, pb, pa);
}

BoneKey& BoneKeyFromEuler(BoneKey& key, float ex, float ey, float ez, CVector3 offset,
                          int16_t word0, int16_t word1) {
    key.offset = offset;
    key.word0 = word0;
    key.word1 = word1;
    CQuaternion qx, qy, qz, yx;
    qx.Set(std::sin(ex / 2), 0, 0, std::cos(ex / 2));
    qy.Set(0, std::sin(ey / 2), 0, std::cos(ey / 2));
    qz.Set(0, 0, std::sin(ez / 2), std::cos(ez / 2));
    QuatMultiply(yx, qy, qx);
    QuatMultiply(key.rotation, yx, qz);
    return key;
}

// ---- CAnimMgr ----

CAnimTrack* CAnimMgr::GetTrack(int i) const {
    if (i < 0 || i >= count()) return nullptr;
    return entries[size_t(i)].track.get();
}

void CAnimMgr::AddTrack(std::unique_ptr<CAnimTrack> track) {
    if (!track) return;
    AnimTrackEntry e;
    e.track = std::move(track);
    e.index = count();
    e.nextAnim = count();
    e.nextFrame = 0;
    entries.push_back(std::move(e));
}

void CAnimMgr::LinkTrack(int i) {
    AnimTrackEntry& e = entries[size_t(i)];
    CAnimTrack* next = chain ? GetTrack(e.nextAnim) : nullptr;
    if (next)
        e.track->SetNextTrack(next, uint32_t(e.nextFrame));
    else
        e.track->SetNextTrack(e.track.get(), 0);  // loops on itself
}

void CAnimMgr::RelinkAll() {
    for (int i = 0; i < count(); ++i) LinkTrack(i);
}

void CAnimMgr::SetAnimation(uint32_t i, float frame) {
    if (i >= uint32_t(count())) return;
    current = int32_t(i);
    CAnimTrack* t = entries[i].track.get();
    t->speed = speed;
    LinkTrack(int(i));
    t->SetTime(frame);
}

bool CAnimMgr::Advance(float seconds) {
    CAnimTrack* t = CurrentTrack();
    if (!t) return true;
    if (t->Advance(seconds)) return true;
    SwitchToNext();
    return false;
}

bool CAnimMgr::SetTime(float frame) {
    CAnimTrack* t = CurrentTrack();
    if (!t) return true;
    if (t->SetTime(frame)) return true;
    SwitchToNext();
    return false;
}

void CAnimMgr::SwitchToNext() {
    CAnimTrack* t = CurrentTrack();
    if (!t) return;
    const AnimTrackEntry& e = entries[size_t(current)];
    // A next animation outside the entries restarts the track itself.
    const bool valid = GetTrack(e.nextAnim) != nullptr;
    const int target = valid ? e.nextAnim : current;
    const float base = valid ? float(e.nextFrame) : 0.0f;
    SetAnimation(uint32_t(target), base + t->fraction);
}

void CAnimMgr::SetChain(bool flag) {
    chain = flag;
    if (CurrentTrack()) LinkTrack(current);
}

void CAnimMgr::SetNext(uint32_t i, int nextAnim, int nextFrame) {
    if (i >= uint32_t(count())) return;
    AnimTrackEntry& e = entries[i];
    if (nextAnim != -1) e.nextAnim = nextAnim;
    if (nextFrame != -1) e.nextFrame = nextFrame;
}

void CAnimMgr::SetSpeed(float s) {
    speed = s;
    if (CAnimTrack* t = CurrentTrack()) t->speed = s;
}

void CAnimMgr::GetNext(int* nextAnim, int* nextFrame, int i) const {
    if (nextAnim) *nextAnim = 0;
    if (nextFrame) *nextFrame = 0;
    const int which = i == -1 ? current : i;
    if (which < 0 || which >= count()) return;
    const AnimTrackEntry& e = entries[size_t(which)];
    if (nextAnim) *nextAnim = e.nextAnim;
    if (nextFrame) *nextFrame = e.nextFrame;
}

std::unique_ptr<CAnimTrack> CAnimMgr::TakeTrack(CAnimMgr& from, int j, int dest) {
    if (&from == this || j < 0 || j >= from.count()) return nullptr;
    if (dest != -1 && (dest < 0 || dest >= count())) return nullptr;

    AnimTrackEntry taken = std::move(from.entries[size_t(j)]);
    from.entries.erase(from.entries.begin() + j);
    from.current = from.entries.empty() ? -1 : 0;
    from.RelinkAll();

    std::unique_ptr<CAnimTrack> displaced;
    if (dest == -1) {
        AddTrack(std::move(taken.track));
    } else {
        displaced = std::move(entries[size_t(dest)].track);
        entries[size_t(dest)] = std::move(taken);
    }
    RelinkAll();
    if (displaced) displaced->SetNextTrack(displaced.get(), 0);  // no link into this manager
    return displaced;
}

// ---- packed rotations ----

bool DecodeTrRotation(int gameVersion, const uint16_t** cursor, const uint16_t* end, float* x,
                      float* y, float* z, uint16_t* word0, uint16_t* word1, uint16_t* packed) {
    if (packed) *packed = 0;
    float ax = 0, ay = 0, az = 0;
    uint16_t w0 = 0, w1 = 0;
    bool ok = false;
    const uint16_t* p = cursor ? *cursor : nullptr;
    if (p && (!end || p < end)) {
        uint16_t w = p[0];
        if (w < 0x4000 || gameVersion == 1) {
            if (!end || end - p >= 2) {
                uint16_t v = p[1];
                if (gameVersion == 1) std::swap(w, v);  // Tomb Raider I stores them swapped
                w0 = w;
                w1 = v;
                ax = float((w >> 4) & 0x3FF) * kTrAngleUnitDegrees;
                ay = float(((w & 0x0F) << 6) + (v >> 10)) * kTrAngleUnitDegrees;
                az = float(v & 0x3FF) * kTrAngleUnitDegrees;
                *cursor = p + 2;
                ok = true;
            }
        } else {
            // One axis; Tomb Raider IV keeps 12-bit angles: the words hold their top ten
            // bits, the angle all twelve.
            const uint16_t a = uint16_t((gameVersion == 4 ? w >> 2 : w) & 0x3FF);
            const float angle = gameVersion == 4 ? float(w & 0xFFF) * (kTrAngleUnitDegrees / 4)
                                                 : float(a) * kTrAngleUnitDegrees;
            if (packed) *packed = w;
            switch (w & 0xC000) {
                case 0x4000:
                    ax = angle;
                    w0 = uint16_t(a * 16);
                    break;
                case 0x8000:
                    ay = angle;
                    w0 = uint16_t(a >> 6);
                    w1 = uint16_t(a << 10);
                    break;
                default:
                    az = angle;
                    w1 = a;
                    break;
            }
            *cursor = p + 1;
            ok = true;
        }
    }
    if (x) *x = ax;
    if (y) *y = ay;
    if (z) *z = az;
    if (word0) *word0 = w0;
    if (word1) *word1 = w1;
    return ok;
}

void DecodeTrRotation(int gameVersion, const uint16_t** cursor, float* x, float* y, float* z,
                      uint16_t* word0, uint16_t* word1) {
    DecodeTrRotation(gameVersion, cursor, nullptr, x, y, z, word0, word1);
}

int TrRotationFileForm(int gameVersion, const BoneKey& bone, uint16_t out[2]) {
    BoneWords w;
    w.word0 = bone.word0;
    w.word1 = bone.word1;
    w.packed = bone.packed;
    return TrRotationFileForm(gameVersion, w, out);
}

BoneKey TrBonePose(int gameVersion, const BoneWords& bone, const CVector3& offset) {
    // The words as the level held them, decoded as the builder decoded them.
    uint16_t file[2];
    const uint16_t* end = file + 1;
    if (gameVersion != 1 && bone.packed) {
        file[0] = bone.packed;
        file[1] = 0;
    } else {
        TrRotationFileWords(gameVersion, bone.word0, bone.word1, file);
        end = file + 2;
    }
    const uint16_t* cursor = file;
    float x = 0, y = 0, z = 0;
    uint16_t w0 = 0, w1 = 0, packed = 0;
    DecodeTrRotation(gameVersion, &cursor, end, &x, &y, &z, &w0, &w1, &packed);
    x *= kDegreesToRadians;
    y *= kDegreesToRadians;
    z *= kDegreesToRadians;
    BoneKey pose;
    BoneKeyFromEuler(pose, x, -y, -z, offset, bone.word0, bone.word1);
    pose.packed = bone.packed;
    return pose;
}

int TrRotationFileForm(int gameVersion, const BoneWords& bone, uint16_t out[2]) {
    if (gameVersion != 1 && bone.packed) {
        const uint16_t* cursor = &bone.packed;
        uint16_t w0 = 0, w1 = 0;
        if (DecodeTrRotation(gameVersion, &cursor, &bone.packed + 1, nullptr, nullptr, nullptr, &w0,
                             &w1) &&
            cursor == &bone.packed + 1 && int16_t(w0) == bone.word0 && int16_t(w1) == bone.word1) {
            out[0] = bone.packed;
            out[1] = 0;
            return 1;
        }
    }
    TrRotationFileWords(gameVersion, bone.word0, bone.word1, out);
    return 2;
}

void TrRotationFileWords(int gameVersion, int16_t word0, int16_t word1, uint16_t out[2]) {
    const uint16_t a = uint16_t(word0), b = uint16_t(word1);
    out[0] = gameVersion == 1 ? b : a;
    out[1] = gameVersion == 1 ? a : b;
}

}  // namespace lithoscope
