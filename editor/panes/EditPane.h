#pragma once
// The edit panes and toolbox views of a child frame, as far as the frame and the level tree
// need them. The empty pane is here; the tile, mesh, moveable, sprite and sound panes and
// the three toolbox views plug in through the factories below.
#include <cstdint>
#include <functional>

#include <wx/panel.h>

namespace lithoscope {

class CChildFrame;
class CHandleBase;

// The edit pane a node asks for.
enum EditPaneKind : int {
    EditPaneEmpty = 0,
    EditPaneTile = 1,
    EditPaneMesh = 2,
    EditPaneMoveable = 3,
    EditPaneSprite = 4,
    EditPaneSounds = 5,
};
// Kinds 2, 3 and 4 have a toolbox.
inline bool EditPaneHasToolbox(int kind) { return kind >= EditPaneMesh && kind <= EditPaneSprite; }

// What the frame, the view and the application ask of every edit pane.
class CEditPaneBase : public wxPanel {
public:
    CEditPaneBase(wxWindow* parent, int kind);
    int GetKind() const { return kind_; }
    // Idle tick: camera keys, animation step, redraw request, toolbox tick; true asks for
    // more idle time.
    virtual bool Tick() { return false; }
    // Textures and display items given back before the pane is replaced.
    virtual void ReleaseResources() {}
    virtual void SetBackgroundColor(uint32_t rgb) {}
    virtual void SetAutomaticCamera(bool automatic) {}
    virtual void SetShowAxis(bool show) {}
    // The node of the pane's kind, selected in the tree, hands itself to the pane.
    virtual void SetHandle(CHandleBase* node) {}
    // Textures given back before the shown object's data is replaced.
    virtual void ReleaseTextures() {}
    // A node the tree deletes: a pane showing it forgets it (its object may live on).
    virtual void ForgetHandle(CHandleBase* node) {}

private:
    int kind_;
};

// The empty pane: shown when no node (or a node without pane) is selected.
class CEditEmpty : public CEditPaneBase {
public:
    explicit CEditEmpty(wxWindow* parent) : CEditPaneBase(parent, EditPaneEmpty) {}
};

// Makes the pane of a kind in parent; null for a kind it doesn't make (the frame then
// shows the empty pane).
using EditPaneFactory = std::function<CEditPaneBase*(int kind, wxWindow* parent)>;
EditPaneFactory SetEditPaneFactory(EditPaneFactory factory);
CEditPaneBase* CreateEditPane(int kind, wxWindow* parent);

// Makes the toolbox view of kind 2, 3 or 4 (mesh, moveable, sprite) in parent. Without a
// factory an empty view of the toolbox's height stands in.
using ToolboxViewFactory = std::function<wxWindow*(int kind, wxWindow* parent)>;
ToolboxViewFactory SetToolboxViewFactory(ToolboxViewFactory factory);
wxWindow* CreateToolboxView(int kind, wxWindow* parent);
// Height of a toolbox's page (its dialog template): the view's best height.
int MeasureToolboxHeight(wxWindow* toolboxView);

// The frame's pane and toolbox views forget a node the tree deletes.
void ForgetHandleInFrame(CChildFrame* frame, CHandleBase* node);
// Makes the tile, mesh, moveable and sprite panes the ones the frames create and starts
// the key-state service (called once at start); StopEditPanes ends the service.
void RegisterEditPanes();
void StopEditPanes();

}  // namespace lithoscope
