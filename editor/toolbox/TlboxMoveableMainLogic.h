#pragma once
// What the moveable toolbox's "Main" page reads from and writes to the bound moveable, and
// the display options it hands to the moveable pane's OpenGL window.
#include <string>

#include "editor/toolbox/TlboxLogicBase.h"

namespace lithoscope {

class CTrMvb;

// The moveable pane's OpenGL window, as the "Main" page drives it.
class ITlboxMoveableDisplay {
public:
    virtual ~ITlboxMoveableDisplay() = default;
    // Visibility of display item index's object and of its associated object.
    virtual void SetItemOptions(int index, bool mainVisible, bool associatedVisible) = 0;
    // The window's show-bounding-boxes flag.
    virtual void SetShowBoundingBoxes(bool on) = 0;
    virtual void InvalidateView() = 0;
};

class CTlboxMoveableMainLogic : public CTlboxLogicBase {
public:
    // moveable and display may be null.
    void Bind(CTrMvb* moveable, const std::string& label, ITlboxMoveableDisplay* display);
    void Update(bool force);
    // ITlboxMoveableItfMain: the extents of the moveable's box over all its meshes.
    void ShowPosition();

    const std::string& Name() const { return name_; }
    // "%ld (%ld tris, %ld quads)".
    const std::string& NumMeshesText() const { return numMeshesText_; }
    const std::string& ObjectIdText() const { return objectIdText_; }
    const std::string& ExtentsText() const { return extentsText_; }
    bool ShowRealMeshes() const { return showRealMeshes_; }
    bool ShowAssociated() const { return showAssociated_; }
    bool ShowBoundingBoxes() const { return showBoundingBoxes_; }
    // Only a moveable that borrows its body from another one has real meshes to show;
    // only one with an associated moveable can show it.
    bool RealMeshesEnabled() const { return realMeshesEnabled_; }
    bool AssociatedEnabled() const { return associatedEnabled_; }

    // Focus lost on "Object Id:": the leading decimal integer (none gives 0). True when
    // the id changed.
    bool SetObjectIdText(const std::string& text);
    void SetShowRealMeshes(bool on);
    void SetShowAssociated(bool on);
    // Kept from one moveable to the next.
    void SetShowBoundingBoxes(bool on);

private:
    CTrMvb* moveable_ = nullptr;
    ITlboxMoveableDisplay* display_ = nullptr;
    std::string label_, name_, numMeshesText_, objectIdText_, extentsText_;
    bool showRealMeshes_ = false, showAssociated_ = false, showBoundingBoxes_ = false;
    bool realMeshesEnabled_ = false, associatedEnabled_ = false;
};

}  // namespace lithoscope
