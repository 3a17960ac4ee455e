#include "editor/common/ModalHook.h"

#include <unistd.h>

#include <cctype>
#include <vector>

#include <wx/app.h>
#include <wx/dialog.h>
#include <wx/dirdlg.h>
#include <wx/filedlg.h>
#include <wx/mdi.h>

#include "editor/common/EditorMessages.h"
#include "editor/common/PaneInterfaces.h"
#include "editor/common/WxStrings.h"
#include "platform/Files.h"
#include "platform/Messages.h"

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
OpenFileChooser& OpenChooser() {
    static OpenFileChooser c;
    return c;
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t at = text.find(separator); at != std::string::npos; at = text.find(separator, start)) {
        parts.push_back(text.substr(start, at - start));
        start = at + 1;
    }
    parts.push_back(text.substr(start));
    return parts;
}

// "*.tr2" as "*.[tT][rR]2": the toolkit's patterns are case-sensitive.
std::string AnyCasePattern(const std::string& pattern) {
    std::string out;
    for (char c : pattern) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (std::isalpha(u)) {
            out += '[';
            out += char(std::tolower(u));
            out += char(std::toupper(u));
            out += ']';
        } else {
            out += c;
        }
    }
    return out;
}
}  // namespace

std::string FileDialogWildcard(const std::string& filter) {
    std::string f = filter;
    while (!f.empty() && f.back() == '|') f.pop_back();
    // Pairs of description and patterns; the patterns (odd fields) take any case.
    std::string out;
    const std::vector<std::string> fields = Split(f, '|');
    for (size_t i = 0; i < fields.size() && !f.empty(); ++i) {
        std::string part = fields[i];
        if (i % 2 == 1) {
            part.clear();
            for (const std::string& one : Split(fields[i], ';'))
                part += (part.empty() ? "" : ";") + AnyCasePattern(one);
        }
        out += (out.empty() ? "" : "|") + part;
    }
    return out + (out.empty() ? "" : "|") + "All files (*)|*";
}

namespace {
// The keyboard back to window, when it is still there to take it, else to the level view
// of the active document.
void GiveFocusBack(wxWindow* window) {
    if (window && !window->IsBeingDeleted() && window->IsShownOnScreen() && window->IsEnabled()) {
        window->SetFocus();
        return;
    }
    auto* main = wxDynamicCast(DialogParent(), wxMDIParentFrame);
    if (IChildFrame* frame = main ? ChildFrameOf(main->GetActiveChild()) : nullptr) frame->FocusLevelView();
}
}  // namespace

ModalFocusKeeper::ModalFocusKeeper() : before_(wxWindow::FindFocus()) {}

ModalFocusKeeper::~ModalFocusKeeper() { GiveFocusBack(before_); }

wxWindow* DialogParent() {
    if (!wxTheApp) return nullptr;
    wxWindow* top = wxTheApp->GetTopWindow();
    return top && !top->IsBeingDeleted() ? top : nullptr;
}

std::string ChooseOpenFile(const std::string& filter) {
    std::string path;
    if (OpenChooser()) {
        path = OpenChooser()(filter);
    } else {
        ModalFocusKeeper focus;
        wxFileDialog dialog(DialogParent(), wxFileSelectorPromptStr, wxEmptyString, wxEmptyString,
                            ToWx(FileDialogWildcard(filter)), wxFD_OPEN | wxFD_FILE_MUST_EXIST);
        if (dialog.ShowModal() != wxID_OK) return std::string();
        path = FromWx(dialog.GetPath());
    }
    // A missing file is each command's own failure to report.
    if (!path.empty() && FileExists(path) && !ConfirmReadableFile(path)) return std::string();
    return path;
}

bool ConfirmReadableFile(const std::string& path) {
    std::string notRegular;
    const int fd = OpenRegularFileForReading(path, &notRegular);
    if (fd >= 0) {
        ::close(fd);
        return true;
    }
    std::string text = StrFormat("Unable to open the file \"%s\".", path.c_str());
    if (!notRegular.empty()) text += "\n" + NotRegularFileText("It", notRegular) + ".";
    ShowError(text);
    return false;
}

OpenFileChooser SetOpenFileChooser(OpenFileChooser chooser) {
    OpenFileChooser previous = std::move(OpenChooser());
    OpenChooser() = std::move(chooser);
    return previous;
}

int RunModalDialog(wxDialog& dialog) {
    if (Runner()) {
        dialog.InitDialog();  // as ShowModal does: the members go into the controls
        return Runner()(dialog);
    }
    ModalFocusKeeper focus;
    return dialog.ShowModal();
}

ModalDialogRunner SetModalDialogRunner(ModalDialogRunner runner) {
    ModalDialogRunner previous = std::move(Runner());
    Runner() = std::move(runner);
    return previous;
}

std::string ChooseSaveFile(wxWindow* parent, const SaveFileRequest& request) {
    if (SaveChooser()) return SaveChooser()(request);
    ModalFocusKeeper focus;
    wxFileDialog dialog(parent ? parent : DialogParent(), wxFileSelectorPromptStr,
                        ToWx(FolderOf(request.initialPath)), ToWx(FileNameOf(request.initialPath)),
                        ToWx(FileDialogWildcard(request.filter)), wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
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
    ModalFocusKeeper focus;
    wxDirDialog dialog(DialogParent(), ToWx(title), wxEmptyString, wxDD_DEFAULT_STYLE | wxDD_DIR_MUST_EXIST);
    if (dialog.ShowModal() != wxID_OK) return std::string();
    return FromWx(dialog.GetPath());
}

FolderChooser SetFolderChooser(FolderChooser chooser) {
    FolderChooser previous = std::move(FolderPicker());
    FolderPicker() = std::move(chooser);
    return previous;
}

}  // namespace lithoscope
