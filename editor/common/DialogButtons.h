#pragma once
// The button row of the editor's dialogs: the accepting button and "Cancel", in the
// desktop's order, under the dialog's controls.
class wxDialog;
class wxSizer;

namespace lithoscope {

// Appends the row to outer: a wxID_OK button labelled okLabel and a wxID_CANCEL one.
void AddDialogButtons(wxDialog* dialog, wxSizer* outer, const char* okLabel);

}  // namespace lithoscope
