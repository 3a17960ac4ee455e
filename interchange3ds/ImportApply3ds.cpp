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

bool ApplyMoveableImport3ds(CTrMvb& current, CTrMvb& imported, const CImport3dsOptions& choice) {
    if (choice.animation && choice.deleteAll) {
        current.ResetAnimations();
        imported.ResetAnimations();
        return true;
    }
    if (choice.meshes) {
        // The current animations stay: they need a bone per mesh.
        if (imported.meshCount() != current.meshCount()) {
            ShowError(kMeshCountMismatch);
            return false;
        }
        imported.objectId = current.objectId;
        if (choice.keepDummies) imported.CopyDummyMeshes(current);
        current.ClearParts(true, true, false);
        current.TakeOver(imported, true, false);
        return true;
    }
    if (!choice.animation || (!choice.add && !choice.replace)) return false;
    if (imported.meshCount() != current.meshCount()) {
        ShowError(kMeshCountMismatch);
        return false;
    }
    if (!imported.animations || imported.animations->count() == 0 || !current.animations)
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
