#include "editor/toolbox/ToolboxBinding.h"

#include "batch/CmdLine.h"

namespace lithoscope {

ToolboxBindResult CToolboxBinding::Bind(const void* object, bool toolboxShown) {
    ToolboxBindResult result;
    if (toolboxShown && g_bToolboxFix) {
        result.hideToolbox = true;
        return result;
    }
    result.bound = true;
    result.changed = !hasBound_ || stale_ || object != object_;
    hasBound_ = true;
    stale_ = false;
    object_ = object;
    return result;
}

void CToolboxBinding::ObjectChanged(const void* object) {
    if (hasBound_ && object && object == object_) stale_ = true;
}

}  // namespace lithoscope
