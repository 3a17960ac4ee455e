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
    result.changed = !hasBound_ || object != object_;
    hasBound_ = true;
    object_ = object;
    return result;
}

}  // namespace lithoscope
