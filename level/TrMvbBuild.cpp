// A moveable built from a level's records: meshes with their own page, the mesh tree, the
// animations decoded from the frame words, state changes, dispatches and commands numbered
// relative to the moveable's first animation, and the sounds its commands play. Damaged
// records are repaired or skipped and reported in the level log; every index taken from
// the level is checked before it is used.
#include <algorithm>
#include <functional>
#include <set>

#include "level/LevelLog.h"
#include "level/ObjectModel.h"
#include "level/TrLevel.h"
#include "level/TrMvb.h"
#include "platform/Messages.h"

namespace lithoscope {

namespace {

constexpr float kTrackRate = 30.0f;
constexpr int kMeshTreeWords = 4;
// Words of a frame before its rotations: a box, the root offset (and for Tomb Raider I
// the rotation count).
constexpr size_t kFrameHeadWords = 9;
constexpr size_t kTr1FrameHeadWords = 10;
// A track without its keys, as measured.
constexpr uint64_t kTrackBytes = 256;
// Commands a list may hold before it is taken for garbage.
constexpr uint32_t kMaxCommands = 256;

void LogError(const std::string& line) { AppendLogLine(line, true); }

// The moveable's place in the level's moveable array: the builder's current index, else
// the record's own position, else -1.
int MoveablePosition(const TrMoveableRecord& record, const CTrLevel& level) {
    if (LevelLog().currentMoveable >= 0) return LevelLog().currentMoveable;
    const std::less<const TrMoveableRecord*> before;
    const TrMoveableRecord* begin = level.moveables.data();
    if (!level.moveables.empty() && !before(&record, begin) &&
        before(&record, begin + level.moveables.size()))
        return int(&record - begin);
    return -1;
}

BoundingBox FrameBox(const int16_t* w) {
    BoundingBox box;
    box.min.Set(float(w[0]), -float(w[3]), -float(w[5]));
    box.max.Set(float(w[1]), -float(w[2]), -float(w[4]));
    return box;
}

std::unique_ptr<CTRAnimTrack> OneKeyTrack(uint32_t frameRate, size_t meshCount) {
    // A frame rate of 0 would divide playback times: one frame per key serves.
    auto track = std::make_unique<CTRAnimTrack>(1, 1, frameRate ? frameRate : 1, kTrackRate);
    CAnimKey key(0, int(meshCount), BoundingBox());
    key.bones.resize(meshCount);
    for (size_t m = 0; m < meshCount; ++m) BoneKeyFromEuler(key.bones[m], 0, 0, 0, CVector3(), 0, 0);
    track->AddKey(std::move(key));
    return track;
}

// What one animation's frames are, as the level describes them.
struct FrameLayout {
    uint64_t offsetWords = 0;  // first word of frame 0
    uint32_t strideWords = 0;  // words from one frame to the next
    uint64_t keyCount = 0;
};

// Decodes keyCount frames into track; false (track untouched past what it held) when a
// frame runs past the frame words.
bool DecodeFrames(const CTrLevel& level, const FrameLayout& layout, uint32_t frameRate,
                  size_t meshCount, CTRAnimTrack& track, uint64_t* badKey) {
    const bool tr1 = level.version == TrVersion1;
    const size_t total = level.frames.size();
    // int16 and uint16 may alias: the rotation decoder reads the same words unsigned.
    const uint16_t* words = reinterpret_cast<const uint16_t*>(level.frames.data());
    const uint16_t* end = words + total;
    std::vector<CAnimKey> keys;
    keys.reserve(size_t(layout.keyCount));
    for (uint64_t k = 0; k < layout.keyCount; ++k) {
        const uint64_t start = layout.offsetWords + k * layout.strideWords;
        const size_t head = tr1 ? kTr1FrameHeadWords : kFrameHeadWords;
        if (start > total || total - start < head) {
            *badKey = k;
            return false;
        }
        const int16_t* w = level.frames.data() + start;
        CVector3 root;
        root.Set(float(w[6]), -float(w[7]), -float(w[8]));
        const uint32_t rotations = tr1 ? uint16_t(w[9]) : uint32_t(meshCount);
        const uint16_t* cursor = words + start + head;
        CAnimKey key(int(uint64_t(frameRate) * k), int(meshCount), FrameBox(w));
        // The bones stay in the level's words; their poses are made when read.
        std::vector<BoneWords> bones(meshCount);
        for (size_t m = 0; m < meshCount && m < rotations; ++m) {
            uint16_t w0 = 0, w1 = 0, packed = 0;
            if (!DecodeTrRotation(level.version, &cursor, end, nullptr, nullptr, nullptr, &w0, &w1,
                                  &packed)) {
                *badKey = k;
                return false;
            }
            bones[m].word0 = int16_t(w0);
            bones[m].word1 = int16_t(w1);
            bones[m].packed = packed;
        }
        key.bones.SetLevelBones(level.version, root, std::move(bones));
        keys.push_back(std::move(key));
    }
    track.keys.reserve(track.keys.size() + keys.size());
    for (CAnimKey& key : keys) track.AddKey(std::move(key));
    return true;
}

}  // namespace

bool KeepsZeroMesh(int32_t gameVersion, int32_t objectId, size_t meshIndex) {
    return gameVersion < TrVersion3 ? objectId == 0 : (objectId == 1 && meshIndex == 1);
}

namespace {

// Words a key takes as a level frame (but Tomb Raider I's).
size_t FrameWords(int32_t gameVersion, const CAnimKey& key, size_t meshCount) {
    size_t words = kFrameHeadWords;
    for (size_t m = 0; m < meshCount; ++m) {
        uint16_t w[2];
        words += m < key.bones.size() ? size_t(TrRotationFileForm(gameVersion, key.bones.Words(m), w)) : 2;
    }
    return words;
}

}  // namespace

size_t LongestFrameWords(int32_t gameVersion, const CTrMvb& moveable, size_t meshCount) {
    size_t longest = 0;
    if (gameVersion == TrVersion1 || !moveable.animations) return longest;
    for (const AnimTrackEntry& entry : moveable.animations->entries)
        if (entry.track)
            for (const CAnimKey& key : entry.track->keys)
                longest = std::max(longest, FrameWords(gameVersion, key, meshCount));
    return longest;
}

CTrMvb::CTrMvb(const TrMoveableRecord& record, CTrLevel& level, CGameCatalog* catalog) {
    format = kFormat;
    kind = TrKindMoveable;
    gameVersion = level.version;
    extra = 0;
    ResetDisplayState();
    BuildFromLevel(record, level);
    if (catalog) AttachCatalogEntry(*catalog, level.version, level.name);
}

void CTrMvb::BuildFromLevel(const TrMoveableRecord& record, CTrLevel& level) {
    const int position = MoveablePosition(record, level);
    const int32_t id = record.objectId();
    const uint32_t meshTotal = record.meshCount();
    const uint32_t first = record.firstMesh();
    TallyForSave(level.objectTally.meshes, meshTotal, 0x10000, "mesh pointers");

    // Meshes. A slot whose pointer holds 0 is a dummy (the games fill it from another
    // moveable), except where KeepsZeroMesh says the slot really shows that mesh.
    std::vector<const TrMeshRecord*> sources(meshTotal, nullptr);
    for (uint32_t i = 0; i < meshTotal; ++i) {
        const uint32_t p = first + i;
        if (p >= level.meshPointerCount() || level.meshPointers[p] >= level.meshes.size() ||
            !level.meshes[level.meshPointers[p]]) {
            // A save writes the dummy as pointer 0, which this slot reads back as the mesh
            // of pointer 0: it shows that mesh now.
            const bool zero = KeepsZeroMesh(gameVersion, id, i) &&
                              level.zeroMeshEntry < level.meshes.size() &&
                              level.meshes[level.zeroMeshEntry];
            LogError(StrFormat("ERROR: Moveable[%d] Slot=%d:\r\n\t\tMesh %u uses mesh pointer "
                               "%u, past the %u mesh pointers. It is made %s.",
                               position, id, i, p, level.meshPointerCount(),
                               zero ? "the mesh of pointer 0" : "a dummy"));
            if (zero) sources[i] = level.meshes[level.zeroMeshEntry].get();
            continue;
        }
        if (!level.IsZeroPointer(p) || KeepsZeroMesh(gameVersion, id, i))
            sources[i] = level.meshes[level.meshPointers[p]].get();
    }
    SetMeshesFromLevel(level, sources, 0, 0);
    TallyBytes(level, ObjectBytes(*this) + meshTotal * sizeof(TrMeshTreeEntry));

    objectId = id;
    firstMesh = int32_t(first);

    // Mesh tree: meshCount - 1 entries of four words from the record's word index.
    const size_t treeEntries = meshTotal ? meshTotal - 1 : 0;
    meshTree.assign(treeEntries, TrMeshTreeEntry());
    const uint64_t treeStart = record.meshTreeIndex();
    const uint64_t treeWords = level.meshTrees.size();
    size_t fitting = 0;
    if (treeStart <= treeWords)
        fitting = size_t(std::min<uint64_t>(treeEntries, (treeWords - treeStart) / kMeshTreeWords));
    for (size_t e = 0; e < fitting; ++e) {
        const int32_t* w = level.meshTrees.data() + treeStart + e * kMeshTreeWords;
        meshTree[e] = {w[0], w[1], w[2], w[3]};
    }
    if (fitting < treeEntries)
        LogError(StrFormat("ERROR: Moveable[%d] Slot=%d:\r\n\t\tMesh tree words [%llu - %llu] "
                           "run past the %llu mesh tree words. %zu entries set to 0.",
                           position, id, static_cast<unsigned long long>(treeStart),
                           static_cast<unsigned long long>(treeStart + treeEntries * kMeshTreeWords) - 1,
                           static_cast<unsigned long long>(treeWords), treeEntries - fitting));

    animations = std::make_unique<CAnimMgr>();
    sounds = std::make_unique<CTrSoundList>();
    if (record.firstAnimation() == 0xFFFF) {
        noAnimations = 1;
        return;
    }
    noAnimations = 0;
    BuildAnimations(record, level, position);
    CollectSounds(level, position);
}

void CTrMvb::BuildAnimations(const TrMoveableRecord& record, CTrLevel& level, int position) {
    const int32_t id = record.objectId();
    const bool tr1 = level.version == TrVersion1;
    const size_t meshTotal = meshes.size();
    const uint32_t first = record.firstAnimation();
    const uint32_t end = first + level.GetMoveableAnimCount(record);
    const uint32_t levelAnims = level.animationCount();
    const uint64_t frameBytes = uint64_t(level.frames.size()) * 2;
    if (end > levelAnims)
        LogError(StrFormat("ERROR: Moveable[%d] Slot=%d:\r\n\t\tHas anim indices[%d - %d] greater "
                           "than highest anim index[%d].",
                           position, id, int(first), int(end) - 1, int(levelAnims) - 1));
    // A save numbers the animations of all moveables, their frames within each moveable.
    uint64_t frameTotal = 0;
    ObjectModelTally& tally = level.objectTally;
    const uint64_t keyBytes = sizeof(CAnimKey) + meshTotal * sizeof(BoneWords);

    for (uint32_t g = first; g < end && g < levelAnims; ++g) {
        TrAnimationRecord& a = level.animations[g];
        const int rel = int(g - first);
        if (a.frameStart() > a.frameEnd()) {
            LogError(StrFormat("ERROR: inverted framestart / framend in moveable index=%d  Slot=%d",
                               position, id));
            const uint16_t s = a.frameStart();
            a.setU16(24, a.frameEnd());
            a.setU16(26, s);
        }
        if (a.frameStart() > 0x7FFF || a.frameEnd() > 0x7FFF || a.frameStart() > a.frameEnd()) {
            LogError(StrFormat("ERROR: Moveable[%d] Slot=%d Animation=%d (AbsAnimation=%d):\r\n\t\t"
                               "Abnormal values FrameStart (0x%x) ; FrameEnd (0x%x)\r\n\tThis "
                               "problem has been fixed.",
                               position, id, rel, int(g), unsigned(a.frameStart()),
                               unsigned(a.frameEnd())));
            a.setU16(24, 0);
            a.setU16(26, 0);
        }

        // Frame size in words. Tomb Raider I frames carry their rotation count in word 9,
        // and its levels hold 0 in the size byte: the real size counts the keys then.
        const uint32_t frameOffset = a.frameOffset();
        const uint8_t sizeByte = a.frameSize();
        uint32_t strideWords = sizeByte;
        uint32_t keyDivisor = sizeByte;
        if (tr1) {
            const uint64_t word9 = uint64_t(frameOffset / 2) + 9;
            if (word9 < level.frames.size()) {
                strideWords = 2u * uint16_t(level.frames[size_t(word9)]) + 10u;
                if (sizeByte == 0) keyDivisor = strideWords;
            }
        }
        const uint32_t frameCount = uint32_t(a.frameEnd()) - a.frameStart() + 1;
        const uint32_t frameRate = a.frameRate();
        if (frameRate == 0)
            LogError(StrFormat("ERROR: Moveable[%d] Slot=%d Animation=%d (AbsAnimation=%d):\r\n\t"
                               "FrameRate = %d.",
                               position, id, rel + 1, int(g), 0));

        uint64_t keyCount = 0;
        if (keyDivisor != 0) {
            if (g == levelAnims - 1) {
                keyCount = frameBytes > frameOffset ? (frameBytes - frameOffset) / (2ull * keyDivisor) : 0;
            } else {
                // Unsigned, as the level stores them: a next offset below this one gives a
                // key count that the data check below refuses.
                keyCount = uint32_t(level.animations[g + 1].frameOffset() - frameOffset) / 2u / keyDivisor;
            }
        }
        if (keyCount == 0)
            AppendLogLine(StrFormat("ATTENTION: Moveable[%d] Slot=%d Animation=%d (AbsAnimation=%d):"
                                    "\r\n\t\tThis animation has no keyframes. 1 keyframe animation "
                                    "created.",
                                    position, id, rel + 1, int(g)));
        const bool fits = uint64_t(frameOffset) + 2 * keyCount * keyDivisor <= frameBytes;
        if (!fits) {
            ShowMessage(StrFormat("Moveable ID %ld, anim #%ld:\nThis animation will try to read data "
                                  "beyond end of keyframe data.\nLithoscope may crash!",
                                  long(id), long(rel + 1)),
                        "Lithoscope", MsgButtons::Ok);
            LogError(StrFormat("ERROR: Moveable[%d] Slot=%d Animation=%d (AbsAnimation=%d):\r\n\t\t"
                               "This animation will try to read data beyond end of keyframe data. "
                               "Lithoscope may crash!",
                               position, id, rel + 1, int(g)));
        }

        TallyForSave(tally.tracks, 1, 0xFFFE, "animations");
        TallyBytes(level, kTrackBytes);
        TallyForSave(frameTotal, frameCount, 0x8000, "frames in the animations of a moveable");
        std::unique_ptr<CTRAnimTrack> track;
        if (keyCount > 0 && frameRate != 0 && keyDivisor != 0 && fits) {
            // More bones than the frame words could describe is damage, not animation.
            const uint64_t bones = keyCount * std::max<uint64_t>(meshTotal, 1);
            if (bones > 2 * uint64_t(level.frames.size()) + 65536) {
                LogError(StrFormat("ERROR: Moveable[%d] Slot=%d Animation=%d (AbsAnimation=%d):"
                                   "\r\n\t\t%llu keyframes do not fit the keyframe data. 1 "
                                   "keyframe animation created.",
                                   position, id, rel + 1, int(g),
                                   static_cast<unsigned long long>(keyCount)));
            } else {
                TallyBytes(level, keyCount * keyBytes);
                track = std::make_unique<CTRAnimTrack>(int(keyCount), frameCount, frameRate, kTrackRate);
                FrameLayout layout;
                layout.offsetWords = frameOffset / 2;
                layout.strideWords = strideWords;
                layout.keyCount = keyCount;
                uint64_t badKey = 0;
                if (!DecodeFrames(level, layout, frameRate, meshTotal, *track, &badKey)) {
                    LogError(StrFormat("ERROR: Moveable[%d] Slot=%d Animation=%d (AbsAnimation=%d):"
                                       "\r\n\t\tKeyframe %llu runs past the end of the keyframe "
                                       "data. 1 keyframe animation created.",
                                       position, id, rel + 1, int(g),
                                       static_cast<unsigned long long>(badKey)));
                    track.reset();
                }
            }
        }
        if (!track && sizeByte == 0 && !tr1 && frameRate != 0) {
            // Frame size 0: the game shows the frame at the offset on every frame. The
            // animation keeps its length, with that pose on each key it plays.
            auto still = std::make_unique<CTRAnimTrack>(1, frameCount, frameRate, kTrackRate);
            FrameLayout layout;
            layout.offsetWords = frameOffset / 2;
            layout.keyCount = 1;
            uint64_t badKey = 0;
            if (DecodeFrames(level, layout, frameRate, meshTotal, *still, &badKey)) {
                const uint32_t keys = (frameCount - 1) / frameRate + 1 + ((frameCount - 1) % frameRate ? 1 : 0);
                TallyBytes(level, keys * keyBytes);
                for (uint32_t k = 1; k < keys; ++k) {
                    CAnimKey key = still->keys[0];
                    key.frame = int32_t(k * frameRate);
                    still->AddKey(std::move(key));
                }
                track = std::move(still);
            }
        }
        if (!track) {
            TallyBytes(level, sizeof(CAnimKey) + meshTotal * sizeof(BoneKey));
            track = OneKeyTrack(frameRate, meshTotal);
        }

        // A frame's size is a byte: a key of more words could not be saved again. Frames of
        // up to 123 meshes always fit; more fit while their rotations take one word each.
        if (!tr1 && meshTotal > (kMaxFrameWords - kFrameHeadWords) / 2) {
            for (const CAnimKey& key : track->keys) {
                const size_t words = FrameWords(level.version, key, meshTotal);
                if (words > kMaxFrameWords)
                    throw LevelError(StrFormat("moveable %d (slot %d) has %zu meshes: a frame of "
                                               "its animation %d takes %zu words, more than a "
                                               "frame holds (at most %zu)",
                                               position, id, meshTotal, rel, words, kMaxFrameWords));
            }
        }

        track->stateId = a.stateId();
        track->speedLow = a.s16(8);
        track->speedHigh = a.s16(10);
        track->acceleration = float(a.u16(12)) / 65536.0f + float(a.s16(14));
        track->commandCount = int16_t(a.animCommandCount());
        std::copy(a.b.begin() + 16, a.b.begin() + 24, track->lateral);

        // State changes and their dispatches, numbered from the moveable's first animation.
        const uint32_t stateFirst = a.stateChangeOffset();
        for (uint32_t s = 0; s < a.stateChangeCount(); ++s) {
            const uint32_t si = stateFirst + s;
            if (si >= level.stateChangeCount()) {
                LogError(StrFormat("ERROR: Moveable[%d] Slot=%d Animation=%d (AbsAnimation=%d):"
                                   "\r\n\t\tState changes [%u - %u] run past the %u state changes. "
                                   "The remaining state changes are skipped.",
                                   position, id, rel, int(g), stateFirst,
                                   stateFirst + a.stateChangeCount() - 1, level.stateChangeCount()));
                break;
            }
            const TrStateChangeRecord& sc = level.stateChanges[si];
            TallyForSave(tally.stateChanges, 1, 0x10000, "state changes");
            CTRStateChange change(sc.stateId());
            for (uint32_t d = 0; d < sc.dispatchCount(); ++d) {
                const uint32_t di = uint32_t(sc.dispatchOffset()) + d;
                if (di >= level.animDispatchCount()) {
                    LogError(StrFormat("ERROR: Moveable[%d] Slot=%d Animation=%d (AbsAnimation=%d):"
                                       "\r\n\t\tDispatches [%u - %u] of state %u run past the %u "
                                       "dispatches. The remaining dispatches are skipped.",
                                       position, id, rel, int(g), unsigned(sc.dispatchOffset()),
                                       unsigned(sc.dispatchOffset()) + sc.dispatchCount() - 1,
                                       unsigned(sc.stateId()), level.animDispatchCount()));
                    break;
                }
                TallyForSave(tally.ranges, 1, 0x10000, "state change ranges");
                const TrAnimDispatchRecord& disp = level.animDispatches[di];
                const int32_t target = disp.nextAnimation();
                // The frame counts from the first frame of the target's record; a target
                // without one keeps the file's frame, and the save writes both back.
                const long base = LinkFrameBase(target, first, levelAnims);
                int32_t nextFrame = disp.nextFrame();
                if (base >= 0)
                    nextFrame -= level.animations[size_t(base)].frameStart();
                else
                    AppendLogLine(StrFormat("ATTENTION: Moveable[%d] Slot=%d Animation=%d "
                                            "(AbsAnimation=%d):\r\n\t\tDispatch %u of state %u "
                                            "goes to animation %d, not one of the %u animations. "
                                            "It is kept as it stands.",
                                            position, id, rel, int(g), di, unsigned(sc.stateId()),
                                            int(target), levelAnims));
                change.AddRange(disp.low() - a.frameStart(), disp.high() - a.frameStart() - 1,
                                target - int32_t(first), nextFrame);
            }
            track->AddStateChange(change);
        }

        // Commands, frame operands relative to the first frame.
        const uint32_t commandTotal = a.animCommandCount();
        if (commandTotal >= kMaxCommands)
            LogError(StrFormat("ERROR: Moveable[%d] Slot=%d Animation=%d (AbsAnimation=%d):\r\n\t\t"
                               "%u animation commands, more than an animation holds (the level "
                               "has %u command words). No command is taken.",
                               position, id, rel + 1, int(g), commandTotal,
                               unsigned(level.animCommandCount())));
        else
            ReadTrAnimCommandList(level.animCommands, a.animCommandOffset(), commandTotal,
                                  a.frameStart(), rel, track->commands);
        for (const TrAnimCommand& c : track->commands)
            if (c.operandCount <= 4)
                TallyForSave(tally.commandWords, 1 + c.operandCount, 0x10000, "command words");

        animations->AddTrack(std::move(track));
        // The next animation as the game reads it, relative to the first animation.
        const uint32_t next = a.nextAnimation();
        const int nextAnim = uint16_t(next - first);
        int nextFrame = a.nextFrame();
        const long nextBase = LinkFrameBase(int32_t(next), first, levelAnims);
        if (nextBase >= 0)
            nextFrame -= int(level.animations[size_t(nextBase)].frameStart());
        else
            AppendLogLine(StrFormat("ATTENTION: Moveable[%d] Slot=%d Animation=%d "
                                    "(AbsAnimation=%d):\r\n\t\tNext animation %u is not one of "
                                    "the %u animations. It is kept as it stands.",
                                    position, id, rel, int(g), next, levelAnims));
        animations->SetNext(uint32_t(rel), nextAnim, nextFrame);
    }
}

void CTrMvb::CollectSounds(const CTrLevel& level, int position) {
    if (level.version == TrVersion1) return;  // Tomb Raider I sounds stay with the level
    const int slots = CTrSoundList::MapSlots(level);
    std::set<int> refused;  // each broken sound is reported once
    for (int t = 0; t < animationCount(); ++t) {
        const CTRAnimTrack* track = GetTrack(t);
        if (!track) continue;
        for (const TrAnimCommand& c : track->commands) {
            if (c.code != 5) continue;
            const int soundId = c.operands[1] & 0x3FFF;
            if (refused.count(soundId)) continue;
            if (soundId >= slots) {
                refused.insert(soundId);
                LogError(StrFormat("ERROR: Moveable[%d] Slot=%d Animation=%d:\r\n\t\tSound %d is "
                                   "not in the %d-entry sound map. The sound is skipped.",
                                   position, objectId, t, soundId, slots));
                continue;
            }
            const int16_t s = level.soundMap[soundId];
            if (s == -1 || sounds->Contains(soundId)) continue;
            if (s < 0 || uint32_t(s) >= level.soundDetailCount()) {
                refused.insert(soundId);
                LogError(StrFormat("ERROR: Moveable[%d] Slot=%d Animation=%d:\r\n\t\tSound %d uses "
                                   "sound detail %d, not one of the %u details. The sound is skipped.",
                                   position, objectId, t, soundId, int(s), level.soundDetailCount()));
                continue;
            }
            const TrSoundDetailRecord& detail = level.soundDetails[size_t(s)];
            if (detail.sample() >= level.sampleIndexCount()) {
                refused.insert(soundId);
                LogError(StrFormat("ERROR: Moveable[%d] Slot=%d Animation=%d:\r\n\t\tSound %d starts "
                                   "at sample index %u, past the %u sample indices. The sound is "
                                   "skipped.",
                                   position, objectId, t, soundId, unsigned(detail.sample()),
                                   level.sampleIndexCount()));
                continue;
            }
            sounds->InsertFromDetail(soundId, detail, level.sampleIndices[detail.sample()],
                                     level.version);
        }
    }
}

}  // namespace lithoscope
