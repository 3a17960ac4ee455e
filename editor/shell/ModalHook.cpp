#include "editor/shell/ModalHook.h"

#include <wx/dialog.h>
#include <wx/dirdlg.h>
#include <wx/filedlg.h>

#include "editor/shell/WxStrings.h"
#include "platform/Files.h"

namespace lithoscope {

namespace {
ModalDialogRunner& Runner() {
    static ModalDialogRunner r;
    return r;
}
SaveFileChooser& SaveChooser() {
    static SaveFileChooser c;
    return c;
}
FolderChooser& FolderPicker() {
    static FolderChooser c;
    return c;
}
}  // namespace

int RunModalDialog(wxDialog& dialog) {
    if (Runner()) {
        dialog.InitDialog();  // as ShowModal does: the members go into the controls
        return Runner()(dialog);
    }
    return dialog.ShowModal();
}

ModalDialogRunner SetModalDialogRunner(ModalDialogRunner runner) {
    ModalDialogRunner previous = std::move(Runner());
    Runner() = std::move(runner);
    return previous;
}

std::string ChooseSaveFile(wxWindow* parent, const SaveFileRequest& request) {
    if (SaveChooser()) return SaveChooser()(request);
    wxFileDialog dialog(parent, wxFileSelectorPromptStr, ToWx(FolderOf(request.initialPath)),
                        ToWx(FileNameOf(request.initialPath)), ToWx(request.filter),
                        wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
    if (dialog.ShowModal() != wxID_OK) return std::string();
    return FromWx(dialog.GetPath());
}

SaveFileChooser SetSaveFileChooser(SaveFileChooser chooser) {
    SaveFileChooser previous = std::move(SaveChooser());
    SaveChooser() = std::move(chooser);
    return previous;
}

std::string ChooseFolder(const std::string& title) {
    if (FolderPicker()) return FolderPicker()(title);
    wxDirDialog dialog(nullptr, ToWx(title), wxEmptyString, wxDD_DEFAULT_STYLE | wxDD_DIR_MUST_EXIST);
    if (dialog.ShowModal() != wxID_OK) return std::string();
    return FromWx(dialog.GetPath());
}

FolderChooser SetFolderChooser(FolderChooser chooser) {
    FolderChooser previous = std::move(FolderPicker());
    FolderPicker() = std::move(chooser);
    return previous;
}

}  // namespace lithoscope
