#pragma once
// The edit panes and toolbox views of a child frame, as far as the frame needs them. The
// empty pane is here; the tile, mesh, moveable, sprite and sound panes and the three
// toolbox views plug in through the factories below.
#include <cstdint>
#include <functional>

#include <wx/panel.h>

#include "editor/common/PaneInterfaces.h"

namespace lithoscope {

// What the frame, the view and the application ask of every edit pane; the tree's nodes
// reach it as an IEditPane.
class CEditPaneBase : public wxPanel, public IEditPane {
public:
    CEditPaneBase(wxWindow* parent, int kind);
    int GetKind() const { return kind_; }
    // Idle tick: camera keys, animation step, redraw request, toolbox tick; true asks for
    // more idle time.
    virtual bool Tick() { return false; }
    virtual void SetBackgroundColor(uint32_t rgb) {}
    virtual void SetAutomaticCamera(bool automatic) {}
    virtual void SetShowAxis(bool show) {}

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

// Makes the toolbox view of kind 2, 3 or 4 (mesh, moveable, sprite) in parent; null
// without a factory.
using ToolboxViewFactory = std::function<wxWindow*(int kind, wxWindow* parent)>;
ToolboxViewFactory SetToolboxViewFactory(ToolboxViewFactory factory);
wxWindow* CreateToolboxView(int kind, wxWindow* parent);
// Height of a toolbox's page (its dialog template): the view's best height.
int MeasureToolboxHeight(wxWindow* toolboxView);

// Makes the tile, mesh, moveable and sprite panes the ones the frames create and starts
// the key-state service (called once at start); StopEditPanes ends the service.
void RegisterEditPanes();
void StopEditPanes();

}  // namespace lithoscope
