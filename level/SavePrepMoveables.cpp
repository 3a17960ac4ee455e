// Moveables and static meshes written back into a level's arrays for its save: records,
// mesh trees, meshes, animations with their state changes, dispatches, commands and
// frames in each version's form.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "level/LevelLog.h"
#include "level/SavePrepInternal.h"
#include "level/TrLstMsh.h"
#include "level/TrMvb.h"

namespace lithoscope {

namespace {

void PutBox(TrSlot<32>& record, size_t at, const BoundingBox& box) {
    const float values[6] = {box.min.x, box.max.x, -box.max.y, -box.min.y, -box.max.z, -box.min.z};
    for (int i = 0; i < 6; ++i) record.setS16(at + 2 * size_t(i), TruncS16(values[i]));
}

// 16.16 fixed point: the integer part (rounded down) high, the fraction x 65536 low.
void PutAcceleration(TrAnimationRecord& a, float acceleration) {
    const double v = std::isfinite(acceleration) ? double(acceleration) : 0.0;
    double whole = std::floor(v);
    whole = std::max(-32768.0, std::min(32767.0, whole));
    const double fraction = std::max(0.0, std::min(65535.0, (v - whole) * 65536.0));
    a.setU16(12, uint16_t(fraction));
    a.setS16(14, int16_t(whole));
}

}  // namespace

bool SaveArrays::SameOnceNumbered(const TrMeshRecord& a, const TrMeshRecord& b,
                                  const std::unordered_map<const void*, uint32_t>& numbers) const {
    std::unique_ptr<TrMeshRecord> la = LevelForm(a), lb = LevelForm(b);
    // Each face's word as the packing will write it: its number beside its top bits.
    auto number = [&](auto& copies, const auto& faces, size_t word) {
        for (size_t k = 0; k < copies.size() && k < faces.size(); ++k) {
            auto found = numbers.find(&faces[k].b[word]);
            if (found == numbers.end()) continue;
            uint8_t* w = &copies[k].b[word];
            PutU16(w, uint16_t((GetU16(w) & 0xC000) | found->second));
        }
    };
    number(la->texturedRectangles, a.texturedRectangles, 8);
    number(la->texturedTriangles, a.texturedTriangles, 6);
    number(lb->texturedRectangles, b.texturedRectangles, 8);
    number(lb->texturedTriangles, b.texturedTriangles, 6);
    return *la == *lb;
}

std::unique_ptr<TrMeshRecord> SaveArrays::LevelForm(const TrMeshRecord& mesh) const {
    auto copy = std::make_unique<TrMeshRecord>();
    TrMeshRecord::Copy(mesh, *copy);
    // As a level mesh reads: no display box, intensity alpha left to the builder.
    copy->dummy = 0;
    copy->intensityAlpha = 0;
    std::fill(copy->boundingBox, copy->boundingBox + 6, 0.0f);
    if ((version == TrVersion1 || version == TrVersion2) && !copy->hasNormals) copy->InvertLights();
    return copy;
}

uint32_t SaveArrays::StoreMesh(const TrMeshRecord& mesh) {
    if (mesh.dummy) return 0;
    meshes.push_back(LevelForm(mesh));
    return uint32_t(meshes.size() - 1);
}

bool SaveArrays::UsesZeroPointer(const CTrMvb& moveable, size_t i) const {
    const TrMeshRecord& mesh = moveable.meshes[i];
    if (mesh.dummy) return true;
    if (!KeepsZeroMesh(version, moveable.objectId, i)) return false;
    if (zeroDecided) {
        auto found = zeroSlots.find(&moveable);
        return found != zeroSlots.end() && i < found->second.size() && found->second[i];
    }
    return zeroMesh && *LevelForm(mesh) == *zeroMesh;
}

void SaveArrays::AddMoveable(const CTrMvb& moveable) {
    const size_t meshCount = moveable.meshes.size();
    if (movablesPlaced >= animationPlaces.size()) AddMoveableAnimations(moveable);
    const AnimationPlace place = animationPlaces[movablesPlaced++];

    TrMoveableRecord record;
    record.setS32(0, moveable.objectId);
    record.setU16(4, Fits16(meshCount, "mesh count of a moveable"));
    record.setU16(6, Fits16(meshPointers.size(), "first mesh pointer of a moveable"));
    record.setU32(8, Fits(meshTrees.size(), 0xFFFFFFFFu, "first mesh-tree word of a moveable"));
    record.setU32(12, place.frameOffset);
    record.setU16(16, place.firstAnimation);
    moveables.push_back(record);

    // Mesh tree: entry i - 1 places mesh i.
    const size_t treeEntries = meshCount ? meshCount - 1 : 0;
    if (moveable.meshTree.size() < treeEntries)
        AppendLogLine(StrFormat("Moveable slot %d: %zu mesh-tree entries for %zu meshes; the "
                                "missing ones are written as zero",
                                int(moveable.objectId), moveable.meshTree.size(), meshCount),
                      true);
    for (size_t e = 0; e < treeEntries; ++e) {
        const TrMeshTreeEntry t = e < moveable.meshTree.size() ? moveable.meshTree[e] : TrMeshTreeEntry();
        meshTrees.insert(meshTrees.end(), {t.flags, t.dx, t.dy, t.dz});
    }

    for (size_t i = 0; i < meshCount; ++i)
        meshPointers.push_back(UsesZeroPointer(moveable, i) ? 0 : StoreMesh(moveable.meshes[i]));
}

void SaveArrays::AddMoveableAnimations(const CTrMvb& moveable) {
    const bool tr1 = version == TrVersion1;
    const size_t meshCount = moveable.meshes.size();
    const int trackCount = moveable.animationCount();
    AnimationPlace place;
    place.frameOffset = Fits(uint64_t(frames.size()) * 2, 0xFFFFFFFFu, "frame offset of a moveable");
    const uint32_t firstAnim = uint32_t(animations.size());
    place.firstAnimation = trackCount == 0 && moveable.noAnimations
                               ? uint16_t(0xFFFF)
                               : uint16_t(Fits(firstAnim, 0xFFFE, "first animation of a moveable"));
    animationPlaces.push_back(place);

    const uint32_t frameSizeWords = uint32_t(2 * meshCount + 9 + (tr1 ? 1 : 0));
    uint32_t frameBase = 0;
    for (int t = 0; t < trackCount; ++t) {
        const CAnimTrack* track = moveable.animations->GetTrack(t);
        const CTRAnimTrack* tr = moveable.GetTrack(t);
        const AnimTrackEntry& entry = moveable.animations->entries[size_t(t)];
        const uint32_t frameCount = std::max<uint32_t>(1, track ? track->frameCount : 1);

        TrAnimationRecord a;
        a.setU32(0, Fits(uint64_t(frames.size()) * 2, 0xFFFFFFFFu, "frame offset of an animation"));
        a.setU8(4, uint8_t(Fits(track ? track->interval : 1, 0xFF, "frame rate of an animation")));
        // The frame size of the words written below (Tomb Raider I: 0, its frames count
        // their rotations).
        a.setU8(5, uint8_t(tr1 ? 0 : std::min<uint32_t>(frameSizeWords, 0xFF)));
        if (tr) {
            a.setU16(6, Fits16(uint32_t(tr->stateId), "state id of an animation"));
            a.setS16(8, tr->speedLow);
            a.setU16(10, uint16_t(tr->speedHigh));
            PutAcceleration(a, tr->acceleration);
            std::memcpy(&a.b[16], tr->lateral, 8);
        }
        a.setU16(24, uint16_t(Fits(frameBase, 0x7FFF, "first frame of an animation")));
        a.setU16(26, uint16_t(Fits(uint64_t(frameBase) + frameCount - 1, 0x7FFF,
                                   "last frame of an animation")));
        // Links are carried as 16-bit values; the next frame is made absolute at the end.
        a.setU16(28, uint16_t(firstAnim + uint32_t(entry.nextAnim)));
        a.setU16(30, uint16_t(entry.nextFrame));

        const std::vector<CTRStateChange>* changes = tr ? &tr->stateChanges : nullptr;
        a.setU16(32, Fits16(changes ? changes->size() : 0, "state changes of an animation"));
        a.setU16(34, Fits16(stateChanges.size(), "first state change of an animation"));
        if (changes) {
            for (const CTRStateChange& change : *changes) {
                TrStateChangeRecord s;
                s.setU16(0, Fits16(uint32_t(change.stateId), "state id of a state change"));
                s.setU16(2, Fits16(change.ranges.size(), "ranges of a state change"));
                s.setU16(4, Fits16(animDispatches.size(), "first dispatch of a state change"));
                stateChanges.push_back(s);
                for (const TrStateChangeRange& r : change.ranges) {
                    TrAnimDispatchRecord d;
                    d.setS16(0, int16_t(r.lowFrame + int32_t(frameBase)));
                    d.setS16(2, int16_t(r.highFrame + int32_t(frameBase) + 1));
                    d.setU16(4, uint16_t(firstAnim + uint32_t(r.nextAnim)));
                    d.setU16(6, uint16_t(r.nextFrame));
                    animDispatches.push_back(d);
                    dispatchFirst.push_back(firstAnim);
                }
            }
        }

        // Commands: the code, then its operands; a frame operand becomes absolute.
        const uint32_t firstCommand = Fits16(animCommands.size(), "first command of an animation");
        uint32_t written = 0;
        if (tr) {
            for (const TrAnimCommand& c : tr->commands) {
                if (c.operandCount == TrAnimCommand::kNoOperandCount || c.operandCount > 4) {
                    AppendLogLine(StrFormat("Moveable slot %d, animation %d: command code %d has "
                                            "no operand count; not written",
                                            int(moveable.objectId), t, int(c.code)),
                                  true);
                    continue;
                }
                animCommands.push_back(c.code);
                for (unsigned i = 0; i < c.operandCount; ++i) {
                    int16_t v = c.operands[i];
                    if (i == 0 && c.HasFrameOperand()) v = int16_t(v + int32_t(frameBase));
                    animCommands.push_back(v);
                }
                ++written;
            }
        }
        a.setU16(36, Fits16(written, "commands of an animation"));
        a.setU16(38, uint16_t(firstCommand));

        // Frames: box, root offset, (TR1: the rotation count), each mesh's rotation in one
        // word or two. Frames of an animation are equally long: the longest, the others
        // padded with zeros.
        if (track) {
            // Every key's words one after another, then each padded to the stride.
            std::vector<int16_t>& w = keyWords;
            std::vector<size_t>& ends = keyEnds;
            w.clear();
            ends.clear();
            size_t stride = tr1 ? frameSizeWords : 9;
            for (const CAnimKey& key : track->keys) {
                const size_t start = w.size();
                const BoundingBox& b = key.box;
                const float box[6] = {b.min.x, b.max.x, -b.max.y, -b.min.y, -b.max.z, -b.min.z};
                for (float v : box) w.push_back(TruncS16(v));
                const CVector3 root = key.bones.empty() ? CVector3() : key.bones.Offset(0);
                w.push_back(TruncS16(root.x));
                w.push_back(TruncS16(-root.y));
                w.push_back(TruncS16(-root.z));
                if (tr1) w.push_back(int16_t(meshCount));
                for (size_t m = 0; m < meshCount; ++m) {
                    uint16_t words[2] = {0, 0};
                    const int n = m < key.bones.size() ? TrRotationFileForm(version, key.bones.Words(m), words) : 2;
                    for (int i = 0; i < n; ++i) w.push_back(int16_t(words[i]));
                }
                stride = std::max(stride, w.size() - start);
                ends.push_back(w.size());
            }
            if (!tr1) a.setU8(5, uint8_t(Fits(stride, 0xFF, "frame size of an animation")));
            size_t start = 0;
            for (size_t end : ends) {
                frames.insert(frames.end(), w.begin() + ptrdiff_t(start), w.begin() + ptrdiff_t(end));
                frames.insert(frames.end(), stride - (end - start), int16_t(0));
                start = end;
            }
        }
        if (tr1) a.setU8(5, 0);
        animations.push_back(a);
        linkFirst.push_back(firstAnim);
        frameBase += frameCount;
    }
}

void SaveArrays::AddStaticMesh(const CTrStatMsh& staticMesh) {
    TrStaticMeshRecord record;
    record.setS32(0, staticMesh.objectId);
    record.setU16(4, Fits16(meshPointers.size(), "mesh pointer of a static mesh"));
    meshPointers.push_back(staticMesh.meshes.empty() ? 0 : StoreMesh(staticMesh.meshes[0]));
    PutBox(record, 6, staticMesh.visibilityBox);
    PutBox(record, 18, staticMesh.collisionBox);
    record.setU16(30, staticMesh.flags);
    staticMeshes.push_back(record);
}

void SaveArrays::FinishAnimations() {
    const uint32_t count = uint32_t(animations.size());
    for (size_t i = 0; i < animations.size(); ++i) {
        TrAnimationRecord& a = animations[i];
        const long base = LinkFrameBase(int32_t(a.nextAnimation()), linkFirst[i], count);
        if (base >= 0) a.setU16(30, uint16_t(a.nextFrame() + animations[size_t(base)].frameStart()));
    }
    for (size_t i = 0; i < animDispatches.size(); ++i) {
        TrAnimDispatchRecord& d = animDispatches[i];
        const long base = LinkFrameBase(d.nextAnimation(), dispatchFirst[i], count);
        if (base >= 0) d.setU16(6, uint16_t(d.nextFrame() + animations[size_t(base)].frameStart()));
    }
}

}  // namespace lithoscope
