#include "editor/common/EditorMessages.h"

#include "platform/Messages.h"

namespace lithoscope {

void ShowError(const std::string& text) {
    ShowMessage(text, kEditorCaption, MsgButtons::Ok, MsgIcon::Error);
}

bool Confirm(const std::string& text) {
    return ShowMessage(text, kEditorCaption, MsgButtons::YesNo, MsgIcon::Warning, MsgAnswer::No) ==
           MsgAnswer::Yes;
}

}  // namespace lithoscope
