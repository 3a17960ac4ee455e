#pragma once
// The GUI backend of ShowMessage: application-modal message boxes on top of the editor.
#include "platform/Messages.h"

namespace lithoscope {

class CWxMessageBackend : public IMessageBackend {
public:
    MsgAnswer Show(const MessageRequest& request) override;
};

// The wx style bits of a request (buttons and icon), and the answer of a wx result code.
long MessageBoxStyle(MsgButtons buttons, MsgIcon icon);
MsgAnswer AnswerFromWxResult(int result, const MessageRequest& request);

}  // namespace lithoscope
