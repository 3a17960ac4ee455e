#include "editor/toolbox/TlboxMeshLogic.h"

#include <cmath>

#include "level/TrLevel.h"
#include "level/TrLstMsh.h"
#include "platform/Messages.h"

namespace lithoscope {

namespace {

float& Axis(CVector3& v, int axis) { return axis == 0 ? v.x : axis == 1 ? v.y : v.z; }
float Axis(const CVector3& v, int axis) { return axis == 0 ? v.x : axis == 1 ? v.y : v.z; }

// Levels store box corners as 16-bit values.
constexpr double kBoxMin = -32768.0;
constexpr double kBoxMax = 32767.0;

}  // namespace

void CTlboxMeshLogic::Bind(CTrLstMsh* object, int meshIndex, bool isStatic, CTrLevel* level,
                           const std::string& label, ITlboxMeshDisplay* display) {
    object_ = object;
    meshIndex_ = meshIndex;
    staticMesh_ = isStatic ? dynamic_cast<CTrStatMsh*>(object) : nullptr;
    level_ = level;
    label_ = object ? label : std::string();
    display_ = display;
}

TrMeshRecord* CTlboxMeshLogic::Mesh() const {
    if (!object_ || meshIndex_ < 0 || size_t(meshIndex_) >= object_->meshes.size()) return nullptr;
    return &object_->meshes[size_t(meshIndex_)];
}

void CTlboxMeshLogic::Update(bool) {
    if (display_) {
        display_->SetShowCollisionSphere(showSphere_);
        display_->SetShowVertices(showVertices_);
    }
    const TrMeshRecord* mesh = Mesh();
    radius_ = mesh ? mesh->radius : 0;
    if (mesh) {
        quadsText_ =
            IntText(long(mesh->texturedRectangles.size() + mesh->colouredRectangles.size()));
        trianglesText_ =
            IntText(long(mesh->texturedTriangles.size() + mesh->colouredTriangles.size()));
        verticesText_ = IntText(long(mesh->vertices.size()));
        const float* b = mesh->boundingBox;  // min x, max x, min y, max y, min z, max z
        // A mesh without vertices (a dummy) has an empty box: no extent.
        extentsText_ =
            StrFormat("%ld,%ld,%ld", MeshExtent(b[0], b[1]), MeshExtent(b[2], b[3]), MeshExtent(b[4], b[5]));
        dummy_ = mesh->dummy != 0;
        intensityAlpha_ = mesh->intensityAlpha != 0;
        if (mesh->hasNormals == 1) {
            lightingText_ = "external";
            intensityEnabled_ = false;
            intensityPosition_ = 0;
        } else {
            lightingText_ = "internal";
            intensityEnabled_ = true;
            intensityPosition_ = int(mesh->GetMeanLight(true) * 100.0f);
        }
    } else {
        quadsText_.clear();
        trianglesText_.clear();
        verticesText_.clear();
        extentsText_.clear();
        dummy_ = intensityAlpha_ = false;
    }

    if (staticMesh_) {
        nonCollisionable_ = (staticMesh_->flags & 1) != 0;
        visible_ = (staticMesh_->flags & 2) != 0;
        const BoundingBox* boxes[2] = {&staticMesh_->visibilityBox, &staticMesh_->collisionBox};
        for (int box = 0; box < 2; ++box)
            for (int axis = 0; axis < 3; ++axis)
                boxSize_[box][axis] = int32_t(
                    TruncatedExtent(Axis(boxes[box]->min, axis), Axis(boxes[box]->max, axis)));
        if (display_) {
            display_->SetVisibilityBoxEdit(visibilityBoxEdit_);
            display_->SetCollisionBoxEdit(collisionBoxEdit_);
            display_->SetShowVisibilityBox(showVisibilityBox_);
            display_->SetShowCollisionBox(showCollisionBox_);
        }
        objectIdText_ = IntText(long(staticMesh_->objectId));
    } else {
        nonCollisionable_ = visible_ = false;
        for (auto& sizes : boxSize_)
            for (int32_t& s : sizes) s = 0;
        objectIdText_.clear();
    }
}

void CTlboxMeshLogic::Edited() {
    if (display_) display_->InvalidateView();
    MarkModified();
}

bool CTlboxMeshLogic::SetObjectIdText(const std::string& text) {
    if (!staticMesh_) return false;
    const bool changed = WriteObjectId(staticMesh_->objectId, text, objectIdText_);
    if (display_) display_->InvalidateView();
    return changed;
}

void CTlboxMeshLogic::SetDummy(bool on) {
    TrMeshRecord* mesh = Mesh();
    if (!mesh) return;
    dummy_ = on;
    mesh->dummy = on ? 1 : 0;
    Edited();
}

void CTlboxMeshLogic::SetRadiusText(const std::string& text) {
    TrMeshRecord* mesh = Mesh();
    if (!mesh) return;
    int32_t value = radius_;
    if (!ReadIntEdit(text, &value)) return;
    if (value < 0) {
        ShowToolboxError(
            StrFormat("Invalid radius (%ld) : a radius can't be negative !", long(value)));
        return;
    }
    radius_ = mesh->radius = value;
    Edited();
}

void CTlboxMeshLogic::StepRadius(bool up) {
    TrMeshRecord* mesh = Mesh();
    if (!mesh) return;
    if (up ? mesh->radius == INT32_MAX : mesh->radius <= 0) return;
    radius_ = mesh->radius = mesh->radius + (up ? 1 : -1);
    Edited();
}

void CTlboxMeshLogic::SetNonCollisionable(bool on) {
    if (!staticMesh_) return;
    nonCollisionable_ = on;
    staticMesh_->flags = uint16_t(on ? staticMesh_->flags | 1u : staticMesh_->flags & ~1u);
    Edited();
}

void CTlboxMeshLogic::SetVisible(bool on) {
    if (!staticMesh_) return;
    visible_ = on;
    staticMesh_->flags = uint16_t(on ? staticMesh_->flags | 2u : staticMesh_->flags & ~2u);
    Edited();
}

void CTlboxMeshLogic::ToggleLighting() {
    TrMeshRecord* mesh = Mesh();
    if (!mesh) return;
    const bool toLights = lightingText_ != "internal";
    if (toLights) {
        lightingText_ = "internal";
        intensityEnabled_ = true;
    } else {
        lightingText_ = "external";
        intensityEnabled_ = false;
        intensityPosition_ = 0;
    }
    mesh->SetNormalsOrLights(toLights ? 0 : 1, true);
    if (toLights) intensityPosition_ = int(mesh->GetMeanLight(true) * 100.0f);
    Edited();
}

void CTlboxMeshLogic::SetIntensity(int position) {
    TrMeshRecord* mesh = Mesh();
    if (!mesh || mesh->hasNormals) return;
    if (position < 1) position = 1;
    if (position > 100) position = 100;
    intensityPosition_ = position;
    mesh->SetAllLights(float(position) / 100.0f, true);
    Edited();
}

void CTlboxMeshLogic::SetIntensityAlpha(bool on) {
    TrMeshRecord* mesh = Mesh();
    if (!mesh || !level_) return;
    intensityAlpha_ = on;
    mesh->intensityAlpha = on ? 1 : 0;
    level_->ApplyIntensityAlpha(*mesh, object_->textures, on);
    Edited();
}

void CTlboxMeshLogic::SetBoxSizeText(int box, int axis, const std::string& text) {
    if (!staticMesh_ || axis < 0 || axis > 2) return;
    int32_t& size = boxSize_[box & 1][axis];
    int32_t value = size;
    if (!ReadIntEdit(text, &value)) return;
    BoundingBox& b = (box & 1) ? staticMesh_->collisionBox : staticMesh_->visibilityBox;
    const double centre = std::trunc((double(Axis(b.min, axis)) + Axis(b.max, axis)) * 0.5);
    const double low = centre - double(value) * 0.5, high = centre + double(value) * 0.5;
    if (value < 0) {
        ShowToolboxError(StrFormat("Invalid size (%ld) : a size can't be negative !", long(value)));
        return;
    }
    if (!std::isfinite(centre) || low < kBoxMin || high > kBoxMax) {
        ShowToolboxError(StrFormat(
            "Invalid size (%ld) : the box must stay between -32768 and 32767 !", long(value)));
        return;
    }
    size = value;
    Axis(b.min, axis) = float(low);
    Axis(b.max, axis) = float(high);
    Edited();
}

void CTlboxMeshLogic::SetVisibilityBoxEdit(bool on) {
    visibilityBoxEdit_ = on;
    if (display_ && staticMesh_) display_->SetVisibilityBoxEdit(on);
}

void CTlboxMeshLogic::SetCollisionBoxEdit(bool on) {
    collisionBoxEdit_ = on;
    if (display_ && staticMesh_) display_->SetCollisionBoxEdit(on);
}

void CTlboxMeshLogic::Toggle(bool& flag, void (ITlboxMeshDisplay::*set)(bool)) {
    flag = !flag;
    if (display_ && object_) (display_->*set)(flag);
}

void CTlboxMeshLogic::ToggleShowSphere() {
    Toggle(showSphere_, &ITlboxMeshDisplay::SetShowCollisionSphere);
}
void CTlboxMeshLogic::ToggleShowVertices() {
    Toggle(showVertices_, &ITlboxMeshDisplay::SetShowVertices);
}
// The box buttons act for a static mesh only (they read "Show" for other meshes).
void CTlboxMeshLogic::ToggleShowVisibilityBox() {
    if (staticMesh_) Toggle(showVisibilityBox_, &ITlboxMeshDisplay::SetShowVisibilityBox);
}
void CTlboxMeshLogic::ToggleShowCollisionBox() {
    if (staticMesh_) Toggle(showCollisionBox_, &ITlboxMeshDisplay::SetShowCollisionBox);
}

const TlboxMeshHelpTexts& MeshHelpTexts() {
    static const TlboxMeshHelpTexts texts = {
        "In manual camera mode:",
        "Arrows / del / end / PgUp / PgDown keys and :",
        "- CAPSLOCK : move the camera\n- SHIFT : translate the mesh\n- CTRL : translate the "
        "collision sphere / the selected bounding boxes (if static mesh)",
        "For internally lighted meshes : + / - (keypad) change the intensity of the selected "
        "vertex",
    };
    return texts;
}

}  // namespace lithoscope
