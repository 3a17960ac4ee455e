#pragma once
// 3D Studio toolkit: keyframer records. The keyframe settings of the keyframer section
// 0xB000, and the object-motion record of one object node 0xB002 with its key tracks.
// Parent names link the nodes; the database read and write turn them into parent indices
// and back (Chunk3ds.h).
#include <cstdint>
#include <vector>

#include "interchange3ds/Scene3ds.h"

namespace lithoscope {

struct KeyframeSettings3ds {
    int32_t length = 30;        // animation length in frames
    int32_t currentFrame = 0;
    uint8_t segmentInUse = 0;
    int32_t segmentBegin = 0;
    int32_t segmentEnd = 30;
};

// A key track: one header per key and one value per key (keys.size() is the key count).
template <class V>
struct KeyTrack3ds {
    uint16_t flags = 0;
    std::vector<KeyHeader3ds> keys;
    std::vector<V> values;
    uint32_t keyCount() const { return uint32_t(keys.size()); }
};
using PositionTrack3ds = KeyTrack3ds<Point3ds>;
using RotationTrack3ds = KeyTrack3ds<RotKey3ds>;  // angle, then axis x, y, z
using ScaleTrack3ds = KeyTrack3ds<Point3ds>;
using MorphTrack3ds = KeyTrack3ds<MorphName3ds>;
// The hide track has key headers only.
struct HideTrack3ds {
    uint16_t flags = 0;
    std::vector<KeyHeader3ds> keys;
    uint32_t keyCount() const { return uint32_t(keys.size()); }
};

struct ObjectMotion3ds {
    char name[11] = {};     // the node's object name
    char parent[23] = {};   // the parent's name, "name.instance" for an instance
    uint16_t flags1 = 0, flags2 = 0;
    Point3ds pivot{0, 0, 0};
    char instance[12] = {};  // instance name (10 characters at most), empty for none
    Point3ds boundMin{0, 0, 0}, boundMax{0, 0, 0};
    PositionTrack3ds position;
    RotationTrack3ds rotation;
    ScaleTrack3ds scale;
    MorphTrack3ds morph;
    HideTrack3ds hide;
    float morphSmooth = 24.0f;
};

// Instance names hold 10 characters at most (the record's field has room for 11).
constexpr size_t kInstanceField3ds = 11;

// The name of an object node that carries no bounding box.
constexpr const char* kDummyNodeName3ds = "$$$DUMMY";

void InitKeyframeSettings3ds(KeyframeSettings3ds** settings);
void ReleaseKeyframeSettings3ds(KeyframeSettings3ds** settings);
void GetKeyframeSettings3ds(Database3ds* db, KeyframeSettings3ds** settings);
void PutKeyframeSettings3ds(Database3ds* db, const KeyframeSettings3ds* settings);

// Allocates the record when null (empty names, no keys, morph smoothing 24). Then each track
// with a non-zero count gets flags 0 and count default keys and values; the others are left
// as they are.
void InitObjectMotion3ds(ObjectMotion3ds** motion, uint32_t positionKeys, uint32_t rotationKeys,
                         uint32_t scaleKeys, uint32_t morphKeys, uint32_t hideKeys);
void ReleaseObjectMotion3ds(ObjectMotion3ds** motion);

uint32_t GetObjectNodeCount3ds(Database3ds* db);
// A new list (or the given one, refilled) with the name of each object node, in list order.
void GetObjectNodeNames3ds(Database3ds* db, StringList3ds** names);
// The index-th object node; nothing happens when there is none.
void GetObjectMotionByIndex3ds(Database3ds* db, int index, ObjectMotion3ds** motion);
// Decodes an object node; its header 0xB010 is required (ERR_UNFOUND_CHUNK), a track whose
// values do not match its keys gives ERR_INVALID_CHUNK.
void ReadObjectMotion3ds(Chunk3ds* node, ObjectMotion3ds** motion);
// Adds a new object node; an existing node of the same name (and instance) is emptied and
// its extended data moves to the new node.
void PutObjectMotion3ds(Database3ds* db, const ObjectMotion3ds* motion);

}  // namespace lithoscope
