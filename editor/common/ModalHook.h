#pragma once
// Every modal dialog and file chooser of the editor runs through these calls, so the
// suites can answer them without a modal loop.
#include <functional>
#include <string>

#include <wx/weakref.h>
#include <wx/window.h>

class wxDialog;

namespace lithoscope {

// While it lives, a modal window may take the keyboard; when it goes, the window that had
// the keyboard before gets it back, or, when that one is gone or no longer shown, the
// level view of the active document. Every message box, dialog and chooser runs under one.
class ModalFocusKeeper {
public:
    ModalFocusKeeper();
    ~ModalFocusKeeper();
    ModalFocusKeeper(const ModalFocusKeeper&) = delete;
    ModalFocusKeeper& operator=(const ModalFocusKeeper&) = delete;

private:
    wxWeakRef<wxWindow> before_;
};

// Runs the dialog modally (ShowModal) or through the installed runner; returns the
// dialog's end code (wxID_OK, wxID_CANCEL...).
int RunModalDialog(wxDialog& dialog);
using ModalDialogRunner = std::function<int(wxDialog&)>;
ModalDialogRunner SetModalDialogRunner(ModalDialogRunner runner);

// The save-file chooser: returns the chosen path, "" for Cancel.
struct SaveFileRequest {
    std::string initialPath;
    std::string filter;  // wx form: "Text|*.a;*.b"
};
std::string ChooseSaveFile(wxWindow* parent, const SaveFileRequest& request);
using SaveFileChooser = std::function<std::string(const SaveFileRequest&)>;
SaveFileChooser SetSaveFileChooser(SaveFileChooser chooser);

// The open-file chooser of the commands: the chosen path, "" for Cancel. The filter is in
// either form ("Text|*.a;*.b" or the same ended by "||"). A named pipe, a device or a
// socket chosen is refused with a message (reading one could wait forever): "".
std::string ChooseOpenFile(const std::string& filter);
using OpenFileChooser = std::function<std::string(const std::string& filter)>;
OpenFileChooser SetOpenFileChooser(OpenFileChooser chooser);

// Whether path opens for reading as a regular file; when not, says "Unable to open the
// file ..." with what stands there instead, and gives false.
bool ConfirmReadableFile(const std::string& path);

// The wildcard a file dialog gets for a filter: its patterns match names in any case, and
// "All files" comes last.
std::string FileDialogWildcard(const std::string& filter);

// The parent of every dialog and message box: the main frame (null before it exists).
wxWindow* DialogParent();

// The folder chooser of the level-path dialog: "" for Cancel.
std::string ChooseFolder(const std::string& title);
using FolderChooser = std::function<std::string(const std::string& title)>;
FolderChooser SetFolderChooser(FolderChooser chooser);

}  // namespace lithoscope
