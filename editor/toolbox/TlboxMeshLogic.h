#pragma once
// What the mesh toolbox's "Mesh" page reads from and writes to the bound mesh (a mesh of a
// mesh list or moveable, or the one mesh of a static mesh), and the texts of its "Help"
// page. The wx page copies these values to its controls and calls the handlers.
#include <cstdint>
#include <string>

#include "editor/toolbox/TlboxLogicBase.h"

namespace lithoscope {

class CTrLevel;
class CTrLstMsh;
class CTrStatMsh;
struct TrMeshRecord;

// The display flags of the mesh pane's OpenGL window that the page sets.
class ITlboxMeshDisplay {
public:
    virtual ~ITlboxMeshDisplay() = default;
    virtual void SetShowCollisionSphere(bool on) = 0;
    // Clearing it also clears the selected vertex.
    virtual void SetShowVertices(bool on) = 0;
    virtual void SetShowVisibilityBox(bool on) = 0;
    virtual void SetVisibilityBoxEdit(bool on) = 0;
    virtual void SetShowCollisionBox(bool on) = 0;
    virtual void SetCollisionBoxEdit(bool on) = 0;
    // The pane redraws its view.
    virtual void InvalidateView() = 0;
};

enum TlboxMeshBox : int { TlboxVisibilityBox = 0, TlboxCollisionBox = 1 };

class CTlboxMeshLogic : public CTlboxLogicBase {
public:
    // A mesh of object (meshIndex), or with isStatic the static mesh object itself; level
    // gives the intensity-alpha rule. Any pointer may be null (the page is then empty).
    void Bind(CTrLstMsh* object, int meshIndex, bool isStatic, CTrLevel* level,
              const std::string& label, ITlboxMeshDisplay* display);
    // Reads the page values from the bound mesh (force changes nothing here).
    void Update(bool force);

    // ITlboxMeshItfMain: the two box-edit check boxes.
    int IsVisibilityBoxEditOn() const { return visibilityBoxEdit_ ? 1 : 0; }
    int IsCollisionBoxEditOn() const { return collisionBoxEdit_ ? 1 : 0; }

    // Page values.
    const std::string& Label() const { return label_; }
    int32_t Radius() const { return radius_; }
    const std::string& QuadrilateralsText() const { return quadsText_; }
    const std::string& TrianglesText() const { return trianglesText_; }
    const std::string& VerticesText() const { return verticesText_; }
    const std::string& ExtentsText() const { return extentsText_; }
    const std::string& ObjectIdText() const { return objectIdText_; }
    bool Dummy() const { return dummy_; }
    bool IntensityAlpha() const { return intensityAlpha_; }
    // "external" for a mesh with normals, "internal" for one with vertex lights.
    const std::string& LightingText() const { return lightingText_; }
    bool IntensityEnabled() const { return intensityEnabled_; }
    int IntensityPosition() const { return intensityPosition_; }  // slider 1..100
    bool NonCollisionable() const { return nonCollisionable_; }
    bool Visible() const { return visible_; }
    int32_t BoxSize(int box, int axis) const { return boxSize_[box & 1][axis % 3]; }
    bool VisibilityBoxEdit() const { return visibilityBoxEdit_; }
    bool CollisionBoxEdit() const { return collisionBoxEdit_; }
    // A static mesh enables the object id, flags and boxes; other meshes the radius.
    bool StaticControlsEnabled() const { return staticMesh_ != nullptr; }
    bool RadiusControlsEnabled() const { return staticMesh_ == nullptr; }
    // "Show" or "Hide" on the four show buttons. The box buttons read "Show" while no static
    // mesh is bound; their flags wait for the next static mesh.
    const char* SphereButtonText() const { return ShowText(showSphere_); }
    const char* VerticesButtonText() const { return ShowText(showVertices_); }
    const char* VisibilityBoxButtonText() const { return ShowText(staticMesh_ && showVisibilityBox_); }
    const char* CollisionBoxButtonText() const { return ShowText(staticMesh_ && showCollisionBox_); }

    // Data edits: each writes only its own value, marks the document modified and redraws
    // the pane. Object id, flags and boxes need a static mesh. True when the id changed.
    bool SetObjectIdText(const std::string& text);
    void SetDummy(bool on);
    // A radius below 0 is refused with a message.
    void SetRadiusText(const std::string& text);
    void StepRadius(bool up);
    void SetNonCollisionable(bool on);
    void SetVisible(bool on);
    // Switches between vertex lights ("internal") and normals ("external").
    void ToggleLighting();
    // Slider page or drag (1..100): every vertex light to that fraction of full light.
    void SetIntensity(int position);
    void SetIntensityAlpha(bool on);
    // Resizes one axis (0 x, 1 y, 2 z) of a box about its centre truncated to whole units.
    // A negative size, or one that takes the box past the level's 16-bit range, is
    // refused with a message.
    void SetBoxSizeText(int box, int axis, const std::string& text);

    // View only: the window's flags, the document stays as it is.
    void SetVisibilityBoxEdit(bool on);
    void SetCollisionBoxEdit(bool on);
    void ToggleShowSphere();
    void ToggleShowVertices();
    void ToggleShowVisibilityBox();
    void ToggleShowCollisionBox();

private:
    static const char* ShowText(bool shown) { return shown ? "Hide" : "Show"; }
    TrMeshRecord* Mesh() const;
    void Edited();
    // Flips a show flag and hands it to the window.
    void Toggle(bool& flag, void (ITlboxMeshDisplay::*set)(bool));

    CTrLstMsh* object_ = nullptr;
    CTrStatMsh* staticMesh_ = nullptr;
    CTrLevel* level_ = nullptr;
    ITlboxMeshDisplay* display_ = nullptr;
    int meshIndex_ = -1;

    std::string label_, quadsText_, trianglesText_, verticesText_, extentsText_, objectIdText_;
    std::string lightingText_ = "internal";
    int32_t radius_ = 0;
    int32_t boxSize_[2][3] = {{0, 0, 0}, {0, 0, 0}};
    int intensityPosition_ = 0;
    bool intensityEnabled_ = false;
    bool dummy_ = false, intensityAlpha_ = false;
    bool nonCollisionable_ = false, visible_ = false;
    bool visibilityBoxEdit_ = false, collisionBoxEdit_ = false;
    bool showSphere_ = false, showVertices_ = false;
    bool showVisibilityBox_ = false, showCollisionBox_ = false;
};

// The "Help" page of the mesh toolbox: texts only.
struct TlboxMeshHelpTexts {
    const char* group;      // the group box
    const char* keysIntro;  // first line inside it
    const char* keys;       // one text with line breaks
    const char* intensity;  // below the group
};
const TlboxMeshHelpTexts& MeshHelpTexts();

}  // namespace lithoscope
