// What the tree's commands do with an imported object: a static mesh or a moveable's mesh
// takes the imported mesh, a moveable takes the imported meshes or animation.
#include "interchange3ds/Import3dsOptions.h"
#include "interchange3ds/MoveableConvert3ds.h"
#include "level/TrAnimData.h"
#include "level/TrLstMsh.h"
#include "level/TrMvb.h"
#include "platform/Messages.h"

namespace lithoscope {

namespace {

void ShowError(const std::string& text) {
    ShowMessage(text, "Lithoscope", MsgButtons::Ok, MsgIcon::Error);
}

const char kMeshCountMismatch[] =
    "Imported 3DS file and current moveable must have the same number of meshes !";

// The frames of a moveable's animations, as the level counts them (1 at least each),
// leaving out entry skip.
uint64_t FramesOf(const CAnimMgr& animations, int skip) {
    uint64_t frames = 0;
    for (int i = 0; i < animations.count(); ++i) {
        const CAnimTrack* t = animations.GetTrack(i);
        if (i != skip) frames += t && t->frameCount ? t->frameCount : 1;
    }
    return frames;
}
// The frames of a moveable's animations count from 0 to 32767 in the level.
constexpr uint64_t kMaxMoveableFrames = 0x8000;

// The fewest rotations a frame of the moveable's animations holds (-1: no frame).
long FewestRotations(const CTrMvb& mvb) {
    long fewest = -1;
    if (!mvb.animations) return fewest;
    for (const AnimTrackEntry& entry : mvb.animations->entries)
        if (entry.track)
            for (const CAnimKey& key : entry.track->keys)
                if (fewest < 0 || long(key.bones.size()) < fewest) fewest = long(key.bones.size());
    return fewest;
}

// The parent of each mesh (-1 for the root) as the tree's pop and push flags place it.
std::vector<int> TreeParents(const std::vector<TrMeshTreeEntry>& tree, size_t meshCount) {
    std::vector<int> parents(meshCount, -1), saved;
    for (size_t i = 1; i < meshCount; ++i) {
        const int32_t flags = i - 1 < tree.size() ? tree[i - 1].flags : 0;
        int parent = int(i) - 1;
        if ((flags & TrMeshTreeEntry::kPop) && !saved.empty()) {
            parent = saved.back();
            saved.pop_back();
        }
        if (flags & TrMeshTreeEntry::kPush) saved.push_back(parent);
        parents[i] = parent;
    }
    return parents;
}

}  // namespace

void TakeImportedStaticMesh3ds(CTrStatMsh& target, CTrLstMsh& imported) {
    const int32_t id = target.objectId;
    target.Clear(true);
    target.CTrLstMsh::TakeOver(imported);
    target.objectId = id;
    if (!target.meshes.empty()) {
        target.meshes[0].radius = 0;
        target.meshes[0].ComputeBoundingBox();
    }
    BoundingBox box;
    target.GetBoundingBox(&box, 0, nullptr);
    target.visibilityBox = box;
    target.collisionBox = box;
    target.flags = 2;
}

bool ReplaceMeshFrom3ds(CTrMvb& target, int meshIndex, CTrLstMsh& imported) {
    if (meshIndex < 0 || !target.ReplaceMesh(imported, 0, unsigned(meshIndex))) return false;
    TrMeshRecord& mesh = target.meshes[size_t(meshIndex)];
    mesh.radius = 0;
    mesh.ComputeBoundingBox();
    return true;
}

bool ImportedMeshesFit3ds(const CTrMvb& animated, size_t meshCount, int32_t levelVersion) {
    const size_t words = LongestFrameWords(levelVersion, animated, meshCount);
    if (words <= kMaxFrameWords) return true;
    ShowError(StrFormat("With %zu meshes a frame of the moveable's animations takes %zu words, "
                        "more than a frame of a level holds (at most %zu): nothing was imported.",
                        meshCount, words, kMaxFrameWords));
    return false;
}

bool ApplyMoveableImport3ds(CTrMvb& current, CTrMvb& imported, const CImport3dsOptions& choice,
                            int32_t levelVersion) {
    if (choice.animation && choice.deleteAll) {
        current.ResetAnimations();
        imported.ResetAnimations();
        return true;
    }
    if (choice.meshes) {
        // Any number of meshes, as long as the frames of the animations kept can hold them.
        if (!ImportedMeshesFit3ds(current, imported.meshCount(),
                                  levelVersion < 0 ? current.gameVersion : levelVersion))
            return false;
        imported.objectId = current.objectId;
        if (choice.keepDummies) imported.CopyDummyMeshes(current);
        // The meshes and their tree change; the animations, and whether the moveable has
        // any, stay.
        const uint8_t noAnimations = current.noAnimations;
        std::vector<TrMeshTreeEntry> tree = std::move(imported.meshTree);
        // A tree of the same shape keeps its flags (their other bits, and the way they say
        // it), taking the file's offsets.
        const size_t count = imported.meshCount();
        if (count == current.meshCount() && current.meshTree.size() == tree.size() &&
            TreeParents(current.meshTree, count) == TreeParents(tree, count))
            for (size_t e = 0; e < tree.size(); ++e) tree[e].flags = current.meshTree[e].flags;
        current.ClearParts(true, true, false);
        current.TakeOver(imported, true, false);
        current.meshTree = std::move(tree);
        current.noAnimations = noAnimations;
        const long fewest = FewestRotations(current);
        if (fewest >= 0 && fewest < long(current.meshCount()))
            ShowMessage(StrFormat("The moveable now has %ld meshes, but the frames of its "
                                  "animations hold a rotation for only %ld of them: the others "
                                  "follow their parents unturned in every frame, and are saved so.",
                                  long(current.meshCount()), fewest),
                        "Lithoscope", MsgButtons::Ok, MsgIcon::Information);
        return true;
    }
    if (!choice.animation || (!choice.add && !choice.replace)) return false;
    if (imported.meshCount() != current.meshCount()) {
        ShowError(kMeshCountMismatch);
        return false;
    }
    if (!imported.animations || imported.animations->count() == 0 || !current.animations)
        return false;
    if (!ImportedMeshesFit3ds(imported, imported.meshCount(),
                              levelVersion < 0 ? current.gameVersion : levelVersion))
        return false;
    // The imported animation's frames with the others of the moveable (all but the replaced
    // one) must fit the level's frame numbers.
    auto framesFit = [&](int replaced) {
        const CAnimTrack* fresh = imported.animations->GetTrack(0);
        const uint64_t frames = fresh && fresh->frameCount ? fresh->frameCount : 1;
        const uint64_t others = FramesOf(*current.animations, replaced);
        if (others + frames <= kMaxMoveableFrames) return true;
        ShowError(StrFormat("The imported animation has %llu frames: with the %llu frames of the "
                            "moveable's other animations it makes more than a moveable holds (%llu "
                            "frames). Nothing was changed.",
                            static_cast<unsigned long long>(frames),
                            static_cast<unsigned long long>(others),
                            static_cast<unsigned long long>(kMaxMoveableFrames)));
        return false;
    };
    if (choice.add) {
        if (!framesFit(-1)) return false;
        current.animations->TakeTrack(*imported.animations, 0, -1);
        return true;
    }
    const int r = choice.selectedAnim;
    auto* old = dynamic_cast<CTRAnimTrack*>(current.animations->GetTrack(r));
    auto* fresh = dynamic_cast<CTRAnimTrack*>(imported.animations->GetTrack(0));
    if (!old || !fresh) {
        ShowError("Choose the animation of the current moveable that the imported one replaces.");
        return false;
    }
    if (!framesFit(r)) return false;
    int nextAnim = 0, nextFrame = 0;
    current.animations->GetNext(&nextAnim, &nextFrame, r);
    fresh->TakeTrData(*old);
    current.animations->TakeTrack(*imported.animations, 0, r);
    current.animations->SetNext(uint32_t(r), nextAnim, nextFrame);
    return true;
}

}  // namespace lithoscope
