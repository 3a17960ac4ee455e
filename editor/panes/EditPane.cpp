#include "editor/panes/EditPane.h"

namespace lithoscope {

namespace {
EditPaneFactory& PaneFactory() {
    static EditPaneFactory f;
    return f;
}
ToolboxViewFactory& ToolboxFactory() {
    static ToolboxViewFactory f;
    return f;
}
}  // namespace

CEditPaneBase::CEditPaneBase(wxWindow* parent, int kind)
    : wxPanel(parent, wxID_ANY, wxDefaultPosition, wxSize(1, 1)), kind_(kind) {}

EditPaneFactory SetEditPaneFactory(EditPaneFactory factory) {
    EditPaneFactory previous = std::move(PaneFactory());
    PaneFactory() = std::move(factory);
    return previous;
}

CEditPaneBase* CreateEditPane(int kind, wxWindow* parent) {
    if (kind < EditPaneEmpty || kind > EditPaneSounds) return nullptr;
    if (kind != EditPaneEmpty && PaneFactory())
        if (CEditPaneBase* pane = PaneFactory()(kind, parent)) return pane;
    return new CEditEmpty(parent);
}

ToolboxViewFactory SetToolboxViewFactory(ToolboxViewFactory factory) {
    ToolboxViewFactory previous = std::move(ToolboxFactory());
    ToolboxFactory() = std::move(factory);
    return previous;
}

wxWindow* CreateToolboxView(int kind, wxWindow* parent) {
    if (!EditPaneHasToolbox(kind)) return nullptr;
    return ToolboxFactory() ? ToolboxFactory()(kind, parent) : nullptr;
}

int MeasureToolboxHeight(wxWindow* toolboxView) {
    if (!toolboxView) return 0;
    const wxSize best = toolboxView->GetBestSize();
    const wxSize min = toolboxView->GetMinSize();
    return best.y > min.y ? best.y : min.y;
}

}  // namespace lithoscope
