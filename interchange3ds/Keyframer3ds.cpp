#include "interchange3ds/Keyframer3ds.h"

#include <cstring>
#include <new>
#include <stdexcept>

namespace lithoscope {

namespace {

bool KeyframerDatabase(Database3ds* db) {
    return CheckDatabaseTop3ds(db, {Tag3ds::MeshFile, Tag3ds::ProjectFile});
}

// The keyframer section, made under the top chunk when missing (make false: null then).
Chunk3ds* KeyframerSection(Database3ds* db, bool make) {
    Chunk3ds* kf = nullptr;
    FindChunk3ds(db->topChunk.get(), Tag3ds::KeyframerData, &kf);
    if (kf || !make || IsErrorPending3ds()) return kf;
    return AddChildChunk3ds(db->topChunk.get(), Tag3ds::KeyframerData);
}

MorphName3ds DefaultMorphName() {
    MorphName3ds m{};
    m.name[0] = ' ';
    return m;
}

template <class V>
void SizeTrack(KeyTrack3ds<V>& track, uint32_t count, const V& value) {
    if (count == 0) return;
    track.flags = 0;
    track.keys.assign(count, KeyHeader3ds{});
    track.values.assign(count, value);
}

// Track data taken over from a chunk; the values must match the keys one for one.
template <class V, class Data>
void TakeTrack(Chunk3ds* chunk, KeyTrack3ds<V>& track) {
    Data* d = ChunkDataOrError3ds<Data>(chunk);
    if (!d) return;
    if (d->values.size() != d->keys.size()) {
        PushError3ds(ERR_INVALID_CHUNK);
        return;
    }
    track.flags = d->flags;
    track.keys = std::move(d->keys);
    track.values = std::move(d->values);
}

void ReadNodeChild(Chunk3ds* c, ObjectMotion3ds* om) {
    switch (c->tag) {
    case Tag3ds::NodeHeader:
        if (NodeHeaderData3ds* d = ChunkDataOrError3ds<NodeHeaderData3ds>(c)) {
            CopyName3ds(om->name, sizeof om->name, d->objName);
            om->flags1 = d->flags1;
            om->flags2 = d->flags2;
            if (Chunk3ds* parent = FindDirectChild3ds(c, Tag3ds::ParentName))
                if (StringData3ds* p = ChunkDataOrError3ds<StringData3ds>(parent))
                    CopyName3ds(om->parent, sizeof om->parent, p->value);
        }
        break;
    case Tag3ds::InstanceName:
        if (StringData3ds* d = ChunkDataOrError3ds<StringData3ds>(c))
            CopyName3ds(om->instance, kInstanceField3ds, d->value);
        break;
    case Tag3ds::Pivot:
        if (PointData3ds* d = ChunkDataOrError3ds<PointData3ds>(c)) om->pivot = d->value;
        break;
    case Tag3ds::BoundBox:
        if (BoundBoxData3ds* d = ChunkDataOrError3ds<BoundBoxData3ds>(c)) {
            om->boundMin = d->min;
            om->boundMax = d->max;
        }
        break;
    case Tag3ds::MorphSmooth:
        if (FloatData3ds* d = ChunkDataOrError3ds<FloatData3ds>(c)) om->morphSmooth = d->value;
        break;
    case Tag3ds::PositionTrack: TakeTrack<Point3ds, PointTrackData3ds>(c, om->position); break;
    case Tag3ds::RotationTrack: TakeTrack<RotKey3ds, RotTrackData3ds>(c, om->rotation); break;
    case Tag3ds::ScaleTrack: TakeTrack<Point3ds, PointTrackData3ds>(c, om->scale); break;
    case Tag3ds::MorphTrack: TakeTrack<MorphName3ds, MorphTrackData3ds>(c, om->morph); break;
    case Tag3ds::HideTrack:
        if (HideTrackData3ds* d = ChunkDataOrError3ds<HideTrackData3ds>(c)) {
            om->hide.flags = d->flags;
            om->hide.keys = std::move(d->keys);
        }
        break;
    default: break;
    }
}

// A track is written when it has keys; values that do not match them are refused.
template <class V>
bool TrackFits(const KeyTrack3ds<V>& track) {
    return track.keys.empty() || track.values.size() == track.keys.size();
}

template <class Data, class V>
void WriteTrack(Chunk3ds* node, uint32_t tag, const KeyTrack3ds<V>& track) {
    if (track.keys.empty()) return;
    Data* d = AddChildData3ds<Data>(node, tag);
    if (!d) return;
    d->flags = track.flags;
    d->reserved1 = 0;
    d->reserved2 = 0;
    d->keys = track.keys;
    d->values = track.values;
}

bool MotionFits(const ObjectMotion3ds& om) {
    FieldText3ds(om.name, sizeof om.name);
    FieldText3ds(om.parent, sizeof om.parent);
    // The instance chunk holds 10 characters at most.
    const std::string instance = FieldText3ds(om.instance, sizeof om.instance);
    if (IsErrorPending3ds() || !CheckNameLength3ds(instance, 10)) return false;
    if (!TrackFits(om.position) || !TrackFits(om.rotation) || !TrackFits(om.scale) ||
        !TrackFits(om.morph)) {
        PushError3ds(ERR_INVALID_DATA);
        return false;
    }
    return true;
}

void WriteNodeChildren(Chunk3ds* node, const ObjectMotion3ds& om) {
    // Node ids are numbered when the database is written.
    if (UInt16Data3ds* id = AddChildData3ds<UInt16Data3ds>(node, Tag3ds::NodeId)) id->value = 0xFFFF;
    if (IsErrorPending3ds()) return;
    Chunk3ds* header = nullptr;
    NodeHeaderData3ds* h = AddChildData3ds<NodeHeaderData3ds>(node, Tag3ds::NodeHeader, false, &header);
    if (!h) return;
    const std::string name = FieldText3ds(om.name, sizeof om.name);
    h->objName = name;
    h->flags1 = om.flags1;
    h->flags2 = om.flags2;
    h->parentIndex = -1;
    if (StringData3ds* p = AddChildData3ds<StringData3ds>(header, Tag3ds::ParentName))
        p->value = FieldText3ds(om.parent, sizeof om.parent);
    if (IsErrorPending3ds()) return;
    if (om.instance[0]) {
        if (StringData3ds* d = AddChildData3ds<StringData3ds>(node, Tag3ds::InstanceName))
            d->value = FieldText3ds(om.instance, sizeof om.instance);
        if (IsErrorPending3ds()) return;
    }
    if (name != kDummyNodeName3ds) {
        if (BoundBoxData3ds* d = AddChildData3ds<BoundBoxData3ds>(node, Tag3ds::BoundBox)) {
            d->min = om.boundMin;
            d->max = om.boundMax;
        }
        if (IsErrorPending3ds()) return;
    }
    if (om.flags2 & 1) {
        if (FloatData3ds* d = AddChildData3ds<FloatData3ds>(node, Tag3ds::MorphSmooth)) d->value = om.morphSmooth;
        if (IsErrorPending3ds()) return;
    }
    if (PointData3ds* d = AddChildData3ds<PointData3ds>(node, Tag3ds::Pivot)) d->value = om.pivot;
    if (IsErrorPending3ds()) return;
    WriteTrack<PointTrackData3ds>(node, Tag3ds::PositionTrack, om.position);
    if (IsErrorPending3ds()) return;
    WriteTrack<RotTrackData3ds>(node, Tag3ds::RotationTrack, om.rotation);
    if (IsErrorPending3ds()) return;
    WriteTrack<PointTrackData3ds>(node, Tag3ds::ScaleTrack, om.scale);
    if (IsErrorPending3ds()) return;
    WriteTrack<MorphTrackData3ds>(node, Tag3ds::MorphTrack, om.morph);
    if (IsErrorPending3ds()) return;
    if (!om.hide.keys.empty()) {
        if (HideTrackData3ds* d = AddChildData3ds<HideTrackData3ds>(node, Tag3ds::HideTrack)) {
            d->flags = om.hide.flags;
            d->keys = om.hide.keys;
        }
    }
}

}  // namespace

// ---- Keyframe settings ----

void InitKeyframeSettings3ds(KeyframeSettings3ds** settings) { InitRecord3ds(settings); }

void ReleaseKeyframeSettings3ds(KeyframeSettings3ds** settings) {
    if (!settings) {
        PushError3ds(ERR_INVALID_ARG);
        return;
    }
    FreeRecord3ds(settings);
}

void GetKeyframeSettings3ds(Database3ds* db, KeyframeSettings3ds** settings) {
    if (!settings) {
        PushError3ds(ERR_INVALID_ARG);
        return;
    }
    if (!KeyframerDatabase(db)) return;
    if (!InitRecord3ds(settings)) return;
    KeyframeSettings3ds* s = *settings;
    Chunk3ds* kf = KeyframerSection(db, false);
    if (IsErrorPending3ds() || !kf) return;
    if (Chunk3ds* c = FindDirectChild3ds(kf, Tag3ds::KeyframeHeader)) {
        KfHeaderData3ds* d = ChunkDataOrError3ds<KfHeaderData3ds>(c);
        if (!d) return;
        s->length = int32_t(d->animLength);
    }
    if (Chunk3ds* c = FindDirectChild3ds(kf, Tag3ds::KeyframeCurrent)) {
        UInt32Data3ds* d = ChunkDataOrError3ds<UInt32Data3ds>(c);
        if (!d) return;
        s->currentFrame = int32_t(d->value);
    }
    if (Chunk3ds* c = FindDirectChild3ds(kf, Tag3ds::KeyframeSegment)) {
        SegmentData3ds* d = ChunkDataOrError3ds<SegmentData3ds>(c);
        if (!d) return;
        s->segmentInUse = 1;
        s->segmentBegin = int32_t(d->begin);
        s->segmentEnd = int32_t(d->end);
    }
}

void PutKeyframeSettings3ds(Database3ds* db, const KeyframeSettings3ds* settings) {
    if (!db || !settings) {
        PushError3ds(ERR_INVALID_ARG);
        return;
    }
    if (!KeyframerDatabase(db)) return;
    Chunk3ds* kf = KeyframerSection(db, true);
    if (IsErrorPending3ds() || !kf) return;

    // The header keeps its revision and file name; a new one gets revision 5.
    uint16_t revision = 5;
    std::string fileName;
    if (Chunk3ds* old = FindDirectChild3ds(kf, Tag3ds::KeyframeHeader)) {
        KfHeaderData3ds* d = ChunkDataOrError3ds<KfHeaderData3ds>(old);
        if (!d) return;
        revision = d->revision;
        fileName = d->fileName;
    }
    KfHeaderData3ds* header = PutChildData3ds<KfHeaderData3ds>(kf, Tag3ds::KeyframeHeader);
    if (!header) return;
    header->revision = revision;
    header->fileName = fileName;
    header->animLength = uint32_t(settings->length);

    UInt32Data3ds* current = PutChildData3ds<UInt32Data3ds>(kf, Tag3ds::KeyframeCurrent);
    if (!current) return;
    current->value = uint32_t(settings->currentFrame);

    if (settings->segmentInUse) {
        SegmentData3ds* seg = PutChildData3ds<SegmentData3ds>(kf, Tag3ds::KeyframeSegment);
        if (!seg) return;
        seg->begin = uint32_t(settings->segmentBegin);
        seg->end = uint32_t(settings->segmentEnd);
    } else if (Chunk3ds* seg = FindDirectChild3ds(kf, Tag3ds::KeyframeSegment)) {
        ClearChunk3ds(seg);
    }
}

// ---- Object motion ----

void InitObjectMotion3ds(ObjectMotion3ds** motion, uint32_t positionKeys, uint32_t rotationKeys,
                         uint32_t scaleKeys, uint32_t morphKeys, uint32_t hideKeys) {
    if (!motion) {
        PushError3ds(ERR_INVALID_ARG);
        return;
    }
    if (!*motion && !InitRecord3ds(motion)) return;
    ObjectMotion3ds* om = *motion;
    try {
        SizeTrack(om->position, positionKeys, Point3ds{0, 0, 0});
        SizeTrack(om->rotation, rotationKeys, RotKey3ds{0, 0, 0, 1.0f});
        SizeTrack(om->scale, scaleKeys, Point3ds{1.0f, 1.0f, 1.0f});
        SizeTrack(om->morph, morphKeys, DefaultMorphName());
        if (hideKeys) {
            om->hide.flags = 0;
            om->hide.keys.assign(hideKeys, KeyHeader3ds{});
        }
    } catch (const std::bad_alloc&) {
        PushError3ds(ERR_NO_MEM);
    } catch (const std::length_error&) {
        PushError3ds(ERR_NO_MEM);
    }
}

void ReleaseObjectMotion3ds(ObjectMotion3ds** motion) { FreeRecord3ds(motion); }

uint32_t GetObjectNodeCount3ds(Database3ds* db) {
    if (!KeyframerDatabase(db)) return 0;
    UpdateNodeList3ds(db);
    if (IsErrorPending3ds() || !db->nodeList) return 0;
    uint32_t count = 0;
    for (const NameListEntry3ds& e : db->nodeList->list)
        if (e.chunk && e.chunk->tag == Tag3ds::ObjectNode) ++count;
    return count;
}

void GetObjectNodeNames3ds(Database3ds* db, StringList3ds** names) {
    if (!names) {
        PushError3ds(ERR_INVALID_ARG);
        return;
    }
    if (!KeyframerDatabase(db)) return;
    UpdateNodeList3ds(db);
    if (IsErrorPending3ds()) return;
    InitStringList3ds(names, 0);
    if (IsErrorPending3ds() || !*names) return;
    (*names)->list.clear();
    if (!db->nodeList) return;
    for (const NameListEntry3ds& e : db->nodeList->list)
        if (e.chunk && e.chunk->tag == Tag3ds::ObjectNode) (*names)->list.push_back(e.name);
}

void GetObjectMotionByIndex3ds(Database3ds* db, int index, ObjectMotion3ds** motion) {
    if (!motion) {
        PushError3ds(ERR_INVALID_ARG);
        return;
    }
    if (!KeyframerDatabase(db) || index < 0) return;
    Chunk3ds* node = GetNodeByIndex3ds(db, uint32_t(index), Tag3ds::ObjectNode);
    if (IsErrorPending3ds() || !node) return;
    ReadObjectMotion3ds(node, motion);
}

void ReadObjectMotion3ds(Chunk3ds* node, ObjectMotion3ds** motion) {
    if (!node || !motion) {
        PushError3ds(ERR_INVALID_ARG);
        return;
    }
    if (node->tag != Tag3ds::ObjectNode) {
        PushError3ds(ERR_WRONG_OBJECT);
        return;
    }
    if (!FindDirectChild3ds(node, Tag3ds::NodeHeader)) {
        PushError3ds(ERR_UNFOUND_CHUNK);
        return;
    }
    if (!InitRecord3ds(motion)) return;
    ObjectMotion3ds* om = *motion;
    om->morphSmooth = 0;  // absent in the node: 0

    Chunk3ds* copy = nullptr;
    CopyChunk3ds(node, &copy);
    if (IsErrorPending3ds() || !copy) {
        ReleaseChunk3ds(&copy);
        return;
    }
    for (Chunk3ds* c = copy->Child(); c && !IsErrorPending3ds(); c = c->Next()) ReadNodeChild(c, om);
    ReleaseChunk3ds(&copy);
}

void PutObjectMotion3ds(Database3ds* db, const ObjectMotion3ds* motion) {
    if (!db || !motion) {
        PushError3ds(ERR_INVALID_ARG);
        return;
    }
    if (!KeyframerDatabase(db) || !MotionFits(*motion)) return;
    Chunk3ds* kf = KeyframerSection(db, true);
    if (IsErrorPending3ds() || !kf) return;

    // The node list names an instance node "name.instance".
    std::string listName = FieldText3ds(motion->name, sizeof motion->name);
    if (motion->instance[0]) listName += "." + FieldText3ds(motion->instance, sizeof motion->instance);
    Chunk3ds* old = FindNodeByName3ds(db, listName.c_str(), Tag3ds::ObjectNode);
    if (IsErrorPending3ds()) return;
    Chunk3ds* xdata = nullptr;
    if (old) {
        if (Chunk3ds* found = FindDirectChild3ds(old, Tag3ds::ExtendedData)) CopyChunk3ds(found, &xdata);
        if (IsErrorPending3ds()) {
            ReleaseChunk3ds(&xdata);
            return;
        }
        ClearChunk3ds(old);
    }

    Chunk3ds* node = AddChildChunk3ds(kf, Tag3ds::ObjectNode);
    MarkNodeListStale3ds(db);
    if (node) WriteNodeChildren(node, *motion);
    if (IsErrorPending3ds() || !node) {
        ReleaseChunk3ds(&xdata);
        return;
    }
    if (xdata) InsertChildChunk3ds(node, xdata);
}

}  // namespace lithoscope
