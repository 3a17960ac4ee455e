#include "level/TrMvb.h"

#include <algorithm>

#include "platform/Messages.h"

namespace lithoscope {

namespace {

constexpr float kTrackRate = 30.0f;
// Animation block without keys, state changes or commands: 36 bytes of head and keyCount,
// then the two counts.
constexpr uint64_t kMinAnimationBlock = 44;
constexpr uint64_t kKeyHeadBytes = 36;
constexpr uint64_t kBoneBytes = 20;
constexpr uint64_t kStateHeadBytes = 4;
constexpr uint64_t kRangeBytes = 8;
constexpr uint64_t kCommandHeadBytes = 4;
constexpr uint32_t kMaxStoredOperands = 4;

size_t TreeEntries(size_t meshCount) { return meshCount ? meshCount - 1 : 0; }

// Ranges a state change writes: its count is a 16-bit field.
size_t StoredRanges(const CTRStateChange& c) { return std::min<size_t>(c.ranges.size(), 0xFFFF); }

// The count field a command writes: an unknown code keeps its marker and stores nothing.
uint16_t StoredCountField(const TrAnimCommand& c) {
    if (c.operandCount == TrAnimCommand::kNoOperandCount) return c.operandCount;
    return uint16_t(std::min<uint32_t>(c.operandCount, kMaxStoredOperands));
}

}  // namespace

uint32_t CTrMvb::StoredOperands(const TrAnimCommand& command) {
    const uint16_t field = StoredCountField(command);
    return field == TrAnimCommand::kNoOperandCount ? 0u : field;
}

CTrMvb::CTrMvb() {
    format = kFormat;
    kind = TrKindMoveable;
    gameVersion = kFileGameVersion;
    animations = std::make_unique<CAnimMgr>();
    sounds = std::make_unique<CTrSoundList>();
}

CTrMvb::CTrMvb(const std::vector<uint8_t>& buffer) : CTrMvb(ByteReader(buffer, "moveable")) {}

CTrMvb::CTrMvb(ByteReader&& in) : CTrLstMsh(in) {
    ResetDisplayState();
    // The file's header bytes are not kept: a moveable read from a file is always this.
    // Its sounds still number the samples of the level it came from.
    const int fromVersion = uint8_t(gameVersion);
    format = kFormat;
    kind = TrKindMoveable;
    gameVersion = kFileGameVersion;
    reserved = 0;
    ReadMoveablePart(in);
    sounds->SetSampleVersion(fromVersion);
}

CTrMvb::~CTrMvb() { Clear(false); }

void CTrMvb::ResetDisplayState() {
    useBodyFrom = -1;
    showWith = -1;
    showRealMeshes = 0;
    showAssociated = 0;
    firstMesh = -1;
    noAnimations = 0;
    catalogEntry.reset();
}

void CTrMvb::ReadMoveablePart(ByteReader& in) {
    const size_t meshTotal = meshes.size();
    in.setSection("moveable mesh tree");
    const size_t treeEntries = TreeEntries(meshTotal);
    in.need(treeEntries, TrMeshTreeEntry::kSize);
    meshTree.resize(treeEntries);
    for (TrMeshTreeEntry& e : meshTree) {
        e.flags = in.s32();
        e.dx = in.s32();
        e.dy = in.s32();
        e.dz = in.s32();
    }

    in.setSection("moveable animations");
    animations = std::make_unique<CAnimMgr>();
    const uint32_t animCount = in.u32();
    in.need(animCount, kMinAnimationBlock);
    const uint64_t keyBytes = kKeyHeadBytes + kBoneBytes * meshTotal;
    for (uint32_t i = 0; i < animCount; ++i) {
        // 16-bit values that land in wider fields are zero-extended.
        const uint16_t frames = in.u16();
        uint32_t interval = in.u16() & 0xFF;  // only the low byte is read back
        if (interval == 0) interval = 1;      // frames per key divide playback times
        const uint16_t nextAnim = in.u16();
        const uint16_t nextFrame = in.u16();
        const uint16_t stateId = in.u16();
        const int16_t speedLow = in.s16();
        const int32_t speedHigh = in.s32();
        const float acceleration = in.f32();
        uint8_t lateral[8];
        in.bytes(lateral, sizeof lateral);
        const int32_t commandCount = in.s32();
        const int32_t keyCount = in.s32();
        if (keyCount < 0) in.fail("negative key count");
        in.need(uint32_t(keyCount), keyBytes);

        auto track = std::make_unique<CTRAnimTrack>(keyCount, frames, interval, kTrackRate);
        track->stateId = stateId;
        track->speedLow = speedLow;
        track->speedHigh = speedHigh;
        track->acceleration = acceleration;
        std::copy(lateral, lateral + sizeof lateral, track->lateral);
        track->commandCount = int16_t(commandCount);

        for (int32_t k = 0; k < keyCount; ++k) {
            BoundingBox box;
            ReadBox(in, box);
            CVector3 root;
            root.x = in.f32();
            root.y = in.f32();
            root.z = in.f32();
            CAnimKey key(int(uint32_t(k) * interval), int(meshTotal), box);
            key.bones.reserve(meshTotal);
            for (size_t m = 0; m < meshTotal; ++m) {
                CQuaternion q;
                q.x = in.f32();
                q.y = in.f32();
                q.z = in.f32();
                q.w = in.f32();
                const int16_t w0 = in.s16();
                const int16_t w1 = in.s16();
                key.bones.emplace_back(q, m == 0 ? root : CVector3(), w0, w1);
            }
            track->AddKey(key);
        }

        const uint32_t stateCount = in.u32();
        in.need(stateCount, kStateHeadBytes);
        for (uint32_t s = 0; s < stateCount; ++s) {
            CTRStateChange change(in.u16());
            const uint16_t ranges = in.u16();
            in.need(ranges, kRangeBytes);
            for (uint16_t r = 0; r < ranges; ++r) {
                const uint16_t low = in.u16();
                const uint16_t high = in.u16();
                const uint16_t anim = in.u16();
                const uint16_t frame = in.u16();
                change.AddRange(low, high, anim, frame);
            }
            track->AddStateChange(change);
        }

        const uint32_t commands = in.u32();
        in.need(commands, kCommandHeadBytes);
        track->commands.reserve(commands);
        for (uint32_t c = 0; c < commands; ++c) {
            TrAnimCommand command;
            command.code = in.s16();
            const uint16_t field = in.u16();
            const uint32_t stored = field == TrAnimCommand::kNoOperandCount ? 0u : field;
            in.need(stored, 2);
            // A command holds four operands; more in a file are skipped.
            const uint32_t kept = std::min(stored, kMaxStoredOperands);
            for (uint32_t k = 0; k < kept; ++k) command.operands[k] = in.s16();
            in.skip(size_t(stored - kept) * 2);
            command.operandCount = field == TrAnimCommand::kNoOperandCount ? field : uint16_t(kept);
            track->commands.push_back(command);
        }

        animations->AddTrack(std::move(track));
        animations->SetNext(i, nextAnim, nextFrame);
    }

    sounds = std::make_unique<CTrSoundList>(in);
    in.setSection("moveable");
    if (in.left() != 0) in.fail("bytes after the sound list");
}

TrMeshTreeEntry CTrMvb::TreeEntry(size_t i) const {
    if (i == 0 || i - 1 >= meshTree.size()) return TrMeshTreeEntry();
    return meshTree[i - 1];
}

int CTrMvb::GetSize() const {
    const uint64_t meshTotal = meshes.size();
    uint64_t size = uint64_t(CTrLstMsh::GetSize()) + TrMeshTreeEntry::kSize * TreeEntries(meshTotal) + 4;
    if (animations) {
        for (const AnimTrackEntry& e : animations->entries) {
            size += kMinAnimationBlock;
            if (!e.track) continue;
            size += uint64_t(e.track->keys.size()) * (kKeyHeadBytes + kBoneBytes * meshTotal);
            const auto* tr = dynamic_cast<const CTRAnimTrack*>(e.track.get());
            if (!tr) continue;
            for (const CTRStateChange& c : tr->stateChanges)
                size += kStateHeadBytes + kRangeBytes * StoredRanges(c);
            for (const TrAnimCommand& c : tr->commands) size += kCommandHeadBytes + 2 * StoredOperands(c);
        }
    }
    size += sounds ? sounds->GetSerializedSize() : CTrSoundList::kHeaderBytes;
    return int(size);
}

void CTrMvb::SerializeParts(ByteWriter& out) const {
    CTrLstMsh::SerializeParts(out);
    const size_t meshTotal = meshes.size();
    for (size_t i = 1; i <= TreeEntries(meshTotal); ++i) {
        const TrMeshTreeEntry e = TreeEntry(i);
        out.s32(e.flags);
        out.s32(e.dx);
        out.s32(e.dy);
        out.s32(e.dz);
    }
    out.u32(uint32_t(animationCount()));
    if (animations) {
        const BoneKey neutral = NeutralBoneKey();
        for (const AnimTrackEntry& e : animations->entries) {
            const CAnimTrack* t = e.track.get();
            const auto* tr = dynamic_cast<const CTRAnimTrack*>(t);
            out.u16(t ? uint16_t(t->frameCount) : 1);
            out.u16(t ? uint16_t(t->interval) : 1);
            out.u16(uint16_t(e.nextAnim));
            out.u16(uint16_t(e.nextFrame));
            out.u16(tr ? uint16_t(tr->stateId) : 0);
            out.s16(tr ? tr->speedLow : 0);
            out.s32(tr ? tr->speedHigh : 0);
            out.f32(tr ? tr->acceleration : 0.0f);
            if (tr)
                out.bytes(tr->lateral, sizeof tr->lateral);
            else
                out.zeros(8);
            out.u32(tr ? uint16_t(tr->commandCount) : 0u);
            out.s32(t ? int32_t(t->keys.size()) : 0);
            if (t) {
                for (const CAnimKey& key : t->keys) {
                    WriteBox(out, key.box);
                    const CVector3 root = key.bones.empty() ? CVector3() : key.bones.Offset(0);
                    out.f32(root.x);
                    out.f32(root.y);
                    out.f32(root.z);
                    for (size_t m = 0; m < meshTotal; ++m) {
                        // A key built for fewer meshes holds the others still.
                        const BoneKey& b = m < key.bones.size() ? key.bones[m] : neutral;
                        out.f32(b.rotation.x);
                        out.f32(b.rotation.y);
                        out.f32(b.rotation.z);
                        out.f32(b.rotation.w);
                        out.s16(b.word0);
                        out.s16(b.word1);
                    }
                }
            }
            out.u32(tr ? uint32_t(tr->stateChanges.size()) : 0u);
            if (tr) {
                for (const CTRStateChange& c : tr->stateChanges) {
                    const size_t ranges = StoredRanges(c);
                    out.u16(uint16_t(c.stateId));
                    out.u16(uint16_t(ranges));
                    for (size_t r = 0; r < ranges; ++r) {
                        const TrStateChangeRange& range = c.ranges[r];
                        out.u16(uint16_t(range.lowFrame));
                        out.u16(uint16_t(range.highFrame));
                        out.u16(uint16_t(range.nextAnim));
                        out.u16(uint16_t(range.nextFrame));
                    }
                }
            }
            out.u32(tr ? uint32_t(tr->commands.size()) : 0u);
            if (tr) {
                for (const TrAnimCommand& c : tr->commands) {
                    out.s16(c.code);
                    out.u16(StoredCountField(c));
                    const uint32_t stored = StoredOperands(c);
                    for (uint32_t k = 0; k < stored; ++k) out.s16(c.operands[k]);
                }
            }
        }
    }
    if (sounds)
        sounds->Serialize(out);
    else
        out.s32(0);
}

void CTrMvb::Clear(bool chain) { ClearParts(chain, true, true); }

void CTrMvb::ClearParts(bool chain, bool withMeshes, bool withAnimations) {
    if (withAnimations) {
        std::vector<TrMeshTreeEntry>().swap(meshTree);
        animations.reset();
        sounds.reset();
        useBodyFrom = -1;
        showWith = -1;
        showRealMeshes = 0;
        showAssociated = 0;
    }
    catalogEntry.reset();
    firstMesh = -1;
    noAnimations = 0;
    if (chain && withMeshes) CTrLstMsh::Clear(true);
}

void CTrMvb::ResetAnimations() {
    animations = std::make_unique<CAnimMgr>();
    sounds = std::make_unique<CTrSoundList>();
}

void CTrMvb::SetMeshTree(const TrMeshTreeEntry* entries, int count) {
    std::vector<TrMeshTreeEntry>().swap(meshTree);
    const size_t n = TreeEntries(count == 0 ? meshes.size() : size_t(std::max(count, 0)));
    if (entries) meshTree.assign(entries, entries + n);
}

void CTrMvb::SetCatalogEntry(std::unique_ptr<CatalogMoveableEntry> entry) {
    catalogEntry = std::move(entry);
}

void CTrMvb::AttachCatalogEntry(CGameCatalog& catalog, int32_t levelVersion,
                                const std::string& levelName) {
    SetCatalogEntry(catalog.GetMoveableEntry(CGameCatalog::GameIndexFromVersion(levelVersion),
                                             levelName, objectId));
}

void CTrMvb::TakeOver(CTrMvb& donor, bool withMeshes, bool withAnimations) {
    if (&donor == this) return;
    if (withMeshes) CTrLstMsh::TakeOver(donor);
    if (withAnimations) {
        meshTree = std::move(donor.meshTree);
        animations = std::move(donor.animations);
        sounds = std::move(donor.sounds);
        useBodyFrom = donor.useBodyFrom;
        showWith = donor.showWith;
        showRealMeshes = donor.showRealMeshes;
        showAssociated = donor.showAssociated;
        donor.meshTree.clear();
        donor.animations.reset();
        donor.sounds.reset();
        donor.useBodyFrom = -1;
        donor.showWith = -1;
        donor.showRealMeshes = 0;
        donor.showAssociated = 0;
    }
    noAnimations = donor.noAnimations;
    firstMesh = donor.firstMesh;
    catalogEntry = std::move(donor.catalogEntry);
    donor.noAnimations = 0;
    donor.firstMesh = -1;
    donor.catalogEntry.reset();
}

CTRAnimTrack* CTrMvb::GetTrack(int i) const {
    if (!animations) return nullptr;
    return dynamic_cast<CTRAnimTrack*>(animations->GetTrack(i));
}

void CTrMvb::GetBoundingBox(BoundingBox* out, int meshIndex, const CMatrix4* transform) const {
    if (!out) return;
    out->min.Set(1e20f, 1e20f, 1e20f);
    out->max.Set(-1e20f, -1e20f, -1e20f);
    if ((meshIndex == -1 || meshIndex == 0) && !meshes.empty())
        ComputeBoundingBox(0, out, transform);
    if (meshes.size() <= 1) return;

    CVector3 p;
    CVector3 stack[kTreeStackDepth];
    int depth = 0;
    for (size_t i = 1; i < meshes.size(); ++i) {
        const TrMeshTreeEntry e = TreeEntry(i);
        if ((e.flags & TrMeshTreeEntry::kPop) && depth > 0) p = stack[--depth];
        if (e.flags & TrMeshTreeEntry::kPush) {
            if (depth == kTreeStackDepth)
                ShowMessage("Moveable bounding box calculation: stack overflow !", "Lithoscope",
                            MsgButtons::Ok, MsgIcon::Error);
            else
                stack[depth++] = p;
        }
        CVector3 step;
        step.Set(float(e.dx), -float(e.dy), -float(e.dz));
        p.AddInPlace(step);
        if (meshIndex != -1 && size_t(meshIndex) != i) continue;
        BoundingBox box;
        ComputeBoundingBox(int(i), &box, transform);
        if (meshIndex == -1) {
            box.min.AddInPlace(p);
            box.max.AddInPlace(p);
        }
        out->Union(box);
    }
}

std::vector<int32_t> CTrMvb::PlayedSounds() const {
    std::vector<int32_t> played;
    for (int t = 0; t < animationCount(); ++t)
        if (const CTRAnimTrack* track = GetTrack(t))
            for (const TrAnimCommand& c : track->commands)
                if (c.code == 5) played.push_back(c.operands[1] & 0x3FFF);
    std::sort(played.begin(), played.end());
    played.erase(std::unique(played.begin(), played.end()), played.end());
    return played;
}

const CTrSoundList* MoveableSoundList(const CTrMvb& moveable) { return moveable.sounds.get(); }

}  // namespace lithoscope
