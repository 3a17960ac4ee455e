#include "editor/toolbox/TlboxMoveableMainLogic.h"

#include "level/TrMvb.h"
#include "platform/Messages.h"

namespace lithoscope {

void CTlboxMoveableMainLogic::Bind(CTrMvb* moveable, const std::string& label,
                                   ITlboxMoveableDisplay* display) {
    moveable_ = moveable;
    label_ = moveable ? label : std::string();
    display_ = display;
}

void CTlboxMoveableMainLogic::Update(bool) {
    if (moveable_) {
        long tris = 0, quads = 0;
        for (const TrMeshRecord& m : moveable_->meshes) {
            tris += long(m.texturedTriangles.size() + m.colouredTriangles.size());
            quads += long(m.texturedRectangles.size() + m.colouredRectangles.size());
        }
        numMeshesText_ =
            StrFormat("%ld (%ld tris, %ld quads)", long(moveable_->meshes.size()), tris, quads);
        objectIdText_ = IntText(long(moveable_->objectId));
    } else {
        numMeshesText_.clear();
        objectIdText_.clear();
    }
    ShowPosition();
    name_ = label_;
    showRealMeshes_ = moveable_ && moveable_->showRealMeshes;
    showAssociated_ = moveable_ && moveable_->showAssociated;
    realMeshesEnabled_ = moveable_ && moveable_->useBodyFrom != -1;
    associatedEnabled_ = moveable_ && moveable_->showWith != -1;
}

void CTlboxMoveableMainLogic::ShowPosition() {
    extentsText_.clear();
    if (!moveable_) return;
    BoundingBox box;
    moveable_->GetBoundingBox(&box, -1, nullptr);
    // No mesh, or only meshes without vertices (cleared ones): an empty box, 0,0,0, as the
    // mesh page shows such a mesh.
    extentsText_ = StrFormat("%ld,%ld,%ld", MeshExtent(box.min.x, box.max.x), MeshExtent(box.min.y, box.max.y),
                             MeshExtent(box.min.z, box.max.z));
}

bool CTlboxMoveableMainLogic::SetObjectIdText(const std::string& text) {
    return moveable_ && WriteObjectId(moveable_->objectId, text, objectIdText_);
}

void CTlboxMoveableMainLogic::SetShowRealMeshes(bool on) {
    if (!moveable_) return;
    showRealMeshes_ = on;
    moveable_->showRealMeshes = on ? 1 : 0;
    if (display_) display_->SetItemOptions(0, true, on);
}

void CTlboxMoveableMainLogic::SetShowAssociated(bool on) {
    if (!moveable_) return;
    showAssociated_ = on;
    moveable_->showAssociated = on ? 1 : 0;
    if (display_) display_->SetItemOptions(1, on, on);
}

void CTlboxMoveableMainLogic::SetShowBoundingBoxes(bool on) {
    showBoundingBoxes_ = on;
    if (!display_) return;
    display_->SetShowBoundingBoxes(on);
    display_->InvalidateView();
}

}  // namespace lithoscope
