#include "editor/common/DialogButtons.h"

#include <wx/button.h>
#include <wx/dialog.h>
#include <wx/sizer.h>

namespace lithoscope {

void AddDialogButtons(wxDialog* dialog, wxSizer* outer, const char* okLabel) {
    auto* buttons = new wxStdDialogButtonSizer;
    buttons->AddButton(new wxButton(dialog, wxID_OK, okLabel));
    buttons->AddButton(new wxButton(dialog, wxID_CANCEL, "Cancel"));
    buttons->Realize();
    outer->Add(buttons, 0, wxEXPAND | wxALL, 8);
}

}  // namespace lithoscope
