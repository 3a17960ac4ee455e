#pragma once
// Key-frame animation of a moveable: a pose per key (CAnimKey, one BoneKey per mesh), a
// track of keys played in time (CAnimTrack) and the manager of a moveable's tracks
// (CAnimMgr). Times are frames (float), advanced by seconds x rate x speed.
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <utility>
#include <vector>

#include "level/Maths.h"

namespace lithoscope {

// Pose of one mesh in one key.
struct BoneKey {
    CQuaternion rotation;
    CVector3 offset;
    // The packed rotation as the level stores it, in the three-axis layout; 0 when the key
    // did not come from a level.
    int16_t word0 = 0;
    int16_t word1 = 0;
    // The one-word form the level stored the rotation in (Tomb Raider II to IV; Tomb
    // Raider IV keeps 12 bits there); 0 for none. It is written back while it still gives
    // word0 and word1.
    uint16_t packed = 0;

    BoneKey() = default;  // all zero
    BoneKey(const CQuaternion& r, CVector3 o, short w0, short w1)
        : rotation(r), offset(o), word0(w0), word1(w1) {}
};

// Identity rotation, no offset: what a track without data samples.
BoneKey NeutralBoneKey();

// A bone's rotation as a level stores it: the words of the three-axis layout and the
// one-word form it came in (0 for none), as in BoneKey.
struct BoneWords {
    int16_t word0 = 0;
    int16_t word1 = 0;
    uint16_t packed = 0;
};

// The bones of a key, one pose per mesh in mesh order, used like a vector of BoneKey. A
// key read from a level keeps them as the level stores them (each bone's rotation words,
// bone 0's offset) and makes a pose from them when one is read, the same pose the level's
// words give; writing to a bone first turns them into full poses.
class BoneList {
public:
    class const_iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = BoneKey;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = BoneKey;
        const_iterator(const BoneList* list, size_t i) : list_(list), i_(i) {}
        BoneKey operator*() const { return (*list_)[i_]; }
        const_iterator& operator++() {
            ++i_;
            return *this;
        }
        bool operator==(const const_iterator& o) const { return i_ == o.i_; }
        bool operator!=(const const_iterator& o) const { return i_ != o.i_; }

    private:
        const BoneList* list_;
        size_t i_;
    };

    BoneList() = default;
    BoneList(std::initializer_list<BoneKey> bones) : full_(bones) {}
    BoneList& operator=(std::initializer_list<BoneKey> bones);

    size_t size() const { return level_.empty() ? full_.size() : level_.size(); }
    bool empty() const { return size() == 0; }
    // The pose of bone i; a reference for writing (full poses from then on).
    BoneKey operator[](size_t i) const;
    BoneKey& operator[](size_t i);
    const_iterator begin() const { return const_iterator(this, 0); }
    const_iterator end() const { return const_iterator(this, size()); }
    void push_back(const BoneKey& bone);
    template <class... A>
    BoneKey& emplace_back(A&&... args) {
        MakeFull();
        return full_.emplace_back(std::forward<A>(args)...);
    }
    void resize(size_t n);
    void reserve(size_t n);
    void clear();

    // Bone i's rotation words and offset, without making its pose.
    BoneWords Words(size_t i) const;
    CVector3 Offset(size_t i) const;
    // The bones as a level of that version stores them: the rotation words of each, and the
    // root offset that bone 0 carries.
    void SetLevelBones(int gameVersion, const CVector3& root, std::vector<BoneWords>&& words);
    // Whether the bones are held as the level stores them.
    bool HeldAsLevelWords() const { return !level_.empty(); }

private:
    void MakeFull();
    std::vector<BoneKey> full_;
    std::vector<BoneWords> level_;
    CVector3 root_;
    int8_t version_ = 0;
};

class CAnimKey {
public:
    CAnimKey() = default;  // box zero, no bones
    CAnimKey(const CAnimKey&) = default;
    CAnimKey& operator=(const CAnimKey&) = default;
    CAnimKey(CAnimKey&&) = default;
    CAnimKey& operator=(CAnimKey&&) = default;
    CAnimKey(int frameNumber, int bonesBuilt, BoundingBox b)
        : frame(frameNumber), boneCount(bonesBuilt), box(b) {}
    virtual ~CAnimKey() = default;

    int32_t frame = 0;      // frame of the key within its animation
    int32_t boneCount = 0;  // bones the key was built for (the moveable's mesh count)
    BoundingBox box;
    BoneList bones;  // one per mesh, in mesh order
};

class CAnimTrack {
public:
    CAnimTrack(int keyCount, uint32_t frameCount, uint32_t interval, float rate);
    virtual ~CAnimTrack() = default;

    void AddKey(const CAnimKey& key);
    void AddKey(CAnimKey&& key);
    // Goes to a frame. False when the time is past the end of a track that hands over to
    // another one (fraction then holds the overshoot within the last interval).
    virtual bool SetTime(float frame);
    // Moves on by rate x seconds x speed frames; the result is that of SetTime.
    virtual bool Advance(float seconds);
    // Links the track that follows; a frame outside it continues at 0.
    void SetNextTrack(CAnimTrack* track, uint32_t frame);
    // Box or pose of one bone at the current time, interpolated towards the next key (or,
    // after the last key, towards nextTrack at nextFrame). Callers pass lastKeyOnly false.
    void GetBoundingBox(BoundingBox* out, bool lastKeyOnly) const;
    void GetBonePose(int bone, BoneKey* out, bool lastKeyOnly) const;

    int32_t keyCount() const { return int32_t(keys.size()); }
    // frameCount and interval as playback uses them: 0 counts as 1.
    uint32_t PlayFrameCount() const { return frameCount ? frameCount : 1; }
    uint32_t PlayInterval() const { return interval ? interval : 1; }

    uint32_t frameCount = 0;  // length in frames
    float rate = 30.0f;       // frames per second
    float speed = 1.0f;       // replay speed factor
    CAnimTrack* nextTrack = nullptr;  // not owned; this track itself when it loops
    uint32_t nextFrame = 0;
    bool interpolate = true;  // false: key-to-key stepping (fraction 0)
    std::vector<CAnimKey> keys;
    uint32_t interval = 1;      // frames per key
    uint32_t lastInterval = 1;  // frames of the last key, 1..interval
    uint32_t key = 0;           // current key
    float time = 0;             // current time in frames
    float fraction = 0;         // between the current key and the next, 0..1
    bool hasNextKey = true;

private:
    struct SavedState {
        uint32_t key;
        float time;
        float fraction;
        bool hasNextKey;
    };
    SavedState Save() const { return {key, time, fraction, hasNextKey}; }
    void Restore(const SavedState& s) {
        key = s.key;
        time = s.time;
        fraction = s.fraction;
        hasNextKey = s.hasNextKey;
    }
    // The current key and the one it blends into; null when the track has no key. For the
    // next track, *viaNext is set and the caller samples it at nextFrame instead.
    const CAnimKey* CurrentKey() const;
    const CAnimKey* NextKey(bool lastKeyOnly, bool* viaNext) const;
};

void InterpolateBoundingBox(const BoundingBox& a, const BoundingBox& b, BoundingBox& out, float t);
// Shorter-arc slerp of the rotation, linear offset; out's words are not written.
void InterpolateBoneKey(const BoneKey& a, const BoneKey& b, BoneKey& out, float t);
// rotation = (qy qx) qz from three angles in radians; offset and words stored as given.
BoneKey& BoneKeyFromEuler(BoneKey& key, float ex, float ey, float ez, CVector3 offset,
                          int16_t word0, int16_t word1);

struct AnimTrackEntry {
    std::unique_ptr<CAnimTrack> track;  // owned by the manager
    int32_t index = 0;     // the entry's own position when added
    int32_t nextAnim = 0;  // entry index of the following animation
    int32_t nextFrame = 0;
};

class CAnimMgr {
public:
    CAnimMgr() = default;
    CAnimMgr(const CAnimMgr&) = delete;
    CAnimMgr& operator=(const CAnimMgr&) = delete;
    virtual ~CAnimMgr() = default;

    int32_t count() const { return int32_t(entries.size()); }
    CAnimTrack* GetTrack(int i) const;  // null outside the entries
    CAnimTrack* CurrentTrack() const { return GetTrack(current); }

    // Appends an entry that follows itself; the manager owns the track from then on.
    void AddTrack(std::unique_ptr<CAnimTrack> track);
    void SetAnimation(uint32_t i, float frame);
    bool Advance(float seconds);
    bool SetTime(float frame);
    void SwitchToNext();
    void SetChain(bool flag);
    // -1 keeps the old value.
    void SetNext(uint32_t i, int nextAnim, int nextFrame);
    void SetSpeed(float s);
    // i = -1: the current entry. Both outputs 0 when there is no such entry.
    void GetNext(int* nextAnim, int* nextFrame, int i) const;
    // Moves entry j of from here: appended (dest -1) or in place of entry dest, whose track
    // is handed back to the caller. from loses the entry; both managers are relinked.
    std::unique_ptr<CAnimTrack> TakeTrack(CAnimMgr& from, int j, int dest);

    float speed = 1.0f;
    bool chain = false;  // false: each animation loops on itself
    std::vector<AnimTrackEntry> entries;
    int32_t current = -1;  // playing entry, -1 for none

private:
    // Links entry i's track as playback wants it: its nextAnim when chaining to an entry
    // that exists, else itself.
    void LinkTrack(int i);
    void RelinkAll();
};

// One bone's packed rotation of a level frame. Reads one word (one-axis form) or two
// (three-axis form; Tomb Raider I always) at *cursor and moves the cursor past them. The
// angles come out in degrees (1024 units a turn); word0 and word1 get the rotation in the
// three-axis layout. Returns false, with everything zero and the cursor unmoved, when the
// words run past end.
bool DecodeTrRotation(int gameVersion, const uint16_t** cursor, const uint16_t* end, float* x,
                      float* y, float* z, uint16_t* word0, uint16_t* word1,
                      uint16_t* packed = nullptr);
// The same for a caller that knows two words remain.
void DecodeTrRotation(int gameVersion, const uint16_t** cursor, float* x, float* y, float* z,
                      uint16_t* word0, uint16_t* word1);
// The words of a bone's rotation as the level file holds them: its one-word form when it
// has one that still gives its words, else two (Tomb Raider I stores them swapped).
// Returns the number of words (1 or 2).
int TrRotationFileForm(int gameVersion, const BoneKey& bone, uint16_t out[2]);
int TrRotationFileForm(int gameVersion, const BoneWords& bone, uint16_t out[2]);
// The pose a level's rotation words give (the builder's pose of a level bone).
BoneKey TrBonePose(int gameVersion, const BoneWords& bone, const CVector3& offset);
// The two words of a bone's rotation in the order the level file holds them (Tomb Raider I
// stores them swapped).
void TrRotationFileWords(int gameVersion, int16_t word0, int16_t word1, uint16_t out[2]);

constexpr float kTrAngleUnitDegrees = 0.3515625f;  // 360 / 1024
constexpr float kDegreesToRadians = 0.017453292f;

}  // namespace lithoscope
