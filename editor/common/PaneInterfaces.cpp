#include "editor/common/PaneInterfaces.h"

#include <wx/window.h>

namespace lithoscope {

IChildFrame* ChildFrameOf(const wxWindow* window) {
    for (const wxWindow* w = window; w; w = w->GetParent())
        if (auto* frame = dynamic_cast<const IChildFrame*>(w)) return const_cast<IChildFrame*>(frame);
    return nullptr;
}

void ForgetHandleInFrame(IChildFrame* frame, CHandleBase* node) {
    if (!frame || !node) return;
    if (IEditPane* pane = frame->GetCurrentEditPane()) pane->ForgetHandle(node);
    for (int kind = EditPaneMesh; kind <= EditPaneSprite; ++kind)
        if (auto* toolbox = dynamic_cast<IPaneToolbox*>(frame->GetToolboxView(kind))) toolbox->ForgetNode(node);
}

void ObjectChangedInFrame(IChildFrame* frame, const void* object) {
    if (!frame || !object) return;
    for (int kind = EditPaneMesh; kind <= EditPaneSprite; ++kind)
        if (auto* toolbox = dynamic_cast<IPaneToolbox*>(frame->GetToolboxView(kind))) toolbox->ObjectChanged(object);
}

}  // namespace lithoscope
