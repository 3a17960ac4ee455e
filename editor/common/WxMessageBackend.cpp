#include "editor/common/WxMessageBackend.h"

#include <wx/app.h>
#include <wx/msgdlg.h>

#include "editor/common/ModalHook.h"

namespace lithoscope {

long MessageBoxStyle(MsgButtons buttons, MsgIcon icon) {
    long style = wxSTAY_ON_TOP | wxCENTRE;
    switch (buttons) {
        case MsgButtons::Ok: style |= wxOK; break;
        case MsgButtons::OkCancel: style |= wxOK | wxCANCEL; break;
        case MsgButtons::YesNo: style |= wxYES_NO; break;
        case MsgButtons::YesNoCancel: style |= wxYES_NO | wxCANCEL; break;
    }
    switch (icon) {
        case MsgIcon::None: style |= wxICON_NONE; break;
        case MsgIcon::Error: style |= wxICON_ERROR; break;
        case MsgIcon::Warning: style |= wxICON_EXCLAMATION; break;
        case MsgIcon::Question: style |= wxICON_QUESTION; break;
        case MsgIcon::Information: style |= wxICON_INFORMATION; break;
    }
    return style;
}

MsgAnswer AnswerFromWxResult(int result, const MessageRequest& request) {
    switch (result) {
        case wxID_OK: return MsgAnswer::Ok;
        case wxID_YES: return MsgAnswer::Yes;
        case wxID_NO: return MsgAnswer::No;
        case wxID_CANCEL: return MsgAnswer::Cancel;
        default: return request.safeAnswer;  // a box closed some other way loses nothing
    }
}

MsgAnswer CWxMessageBackend::Show(const MessageRequest& request) {
    // Application-modal over the main frame: every window waits for the answer.
    ModalFocusKeeper focus;
    wxMessageDialog box(DialogParent(), wxString::FromUTF8(request.text.c_str()),
                        wxString::FromUTF8(request.caption.c_str()),
                        MessageBoxStyle(request.buttons, request.icon));
    return AnswerFromWxResult(box.ShowModal(), request);
}

}  // namespace lithoscope
