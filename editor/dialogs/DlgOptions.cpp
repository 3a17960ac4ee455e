#include "editor/dialogs/DlgOptions.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/colordlg.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "editor/common/DialogButtons.h"
#include "editor/common/ModalHook.h"
#include "editor/common/WxStrings.h"
#include "platform/Messages.h"

namespace lithoscope {

namespace {
constexpr int kFieldGame[kLevelPathFields] = {0, 2, 4, 6, 1, 3, 5};
constexpr int kFieldGameNumber[kLevelPathFields] = {1, 2, 3, 4, 1, 2, 3};
const char* const kFieldLabel[kLevelPathFields] = {
    "Tomb Raider I:", "Tomb Raider II:", "Tomb Raider III:", "Tomb Raider IV:",
    "Tomb Raider I Gold:", "Tomb Raider II Gold:", "Tomb Raider III Gold:"};
// Field of each game, in the game order 0 to 6.
constexpr int kGameField[kLevelPathFields] = {0, 4, 1, 5, 2, 6, 3};

}  // namespace

int LevelPathFieldGame(int field) {
    return field >= 0 && field < kLevelPathFields ? kFieldGame[field] : -1;
}
int LevelPathFieldGameNumber(int field) {
    return field >= 0 && field < kLevelPathFields ? kFieldGameNumber[field] : 0;
}
std::string LevelPathBrowseTitle(int field) {
    return StrFormat("Choose the folder of the original Tomb Raider %ld levels:",
                     long(LevelPathFieldGameNumber(field)));
}
std::string WithTrailingSeparator(const std::string& path) {
    if (!path.empty() && path.back() == '/') return path;
    return path + "/";
}

// ---- level paths -----------------------------------------------------------------------------

CDiagLevelPath::CDiagLevelPath(wxWindow* parent)
    : wxDialog(parent, wxID_ANY, "Original level paths") {
    auto* grid = new wxFlexGridSizer(3, 6, 6);
    grid->AddGrowableCol(1);
    for (int f = 0; f < kLevelPathFields; ++f) {
        grid->Add(new wxStaticText(this, wxID_ANY, kFieldLabel[f]), 0, wxALIGN_CENTER_VERTICAL);
        fields_[size_t(f)] = new wxTextCtrl(this, wxID_ANY, "", wxDefaultPosition, wxSize(320, -1));
        grid->Add(fields_[size_t(f)], 1, wxEXPAND);
        auto* browse = new wxButton(this, wxID_ANY, "...", wxDefaultPosition, wxDefaultSize, wxBU_EXACTFIT);
        browse->Bind(wxEVT_BUTTON, [this, f](wxCommandEvent&) { OnBrowse(f); });
        grid->Add(browse);
    }
    auto* outer = new wxBoxSizer(wxVERTICAL);
    outer->Add(grid, 1, wxEXPAND | wxALL, 10);
    AddDialogButtons(this, outer, "OK");
    SetSizerAndFit(outer);
    Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnOK(); }, wxID_OK);
}

void CDiagLevelPath::OnBrowse(int field) {
    if (field < 0 || field >= kLevelPathFields) return;
    std::string folder = ChooseFolder(LevelPathBrowseTitle(field));
    if (folder.empty()) return;
    if (folder.size() > 260) folder.resize(260);
    m_paths[size_t(field)] = folder;
    fields_[size_t(field)]->ChangeValue(ToWx(folder));
}

void CDiagLevelPath::OnOK() {
    TransferDataFromWindow();
    for (int game = 0; game < kLevelPathFields; ++game) {
        std::string& p = m_paths[size_t(kGameField[game])];
        p = WithTrailingSeparator(p);
    }
    if (IsModal()) EndModal(wxID_OK);
    else SetReturnCode(wxID_OK);
}

bool CDiagLevelPath::TransferDataToWindow() {
    for (int f = 0; f < kLevelPathFields; ++f) fields_[size_t(f)]->ChangeValue(ToWx(m_paths[size_t(f)]));
    return true;
}

bool CDiagLevelPath::TransferDataFromWindow() {
    for (int f = 0; f < kLevelPathFields; ++f) m_paths[size_t(f)] = FromWx(fields_[size_t(f)]->GetValue());
    return true;
}

// ---- display options ---------------------------------------------------------------------------

CDlgDisplayOpt::CDlgDisplayOpt(wxWindow* parent) : wxDialog(parent, wxID_ANY, "Display options") {
    auto* box = new wxBoxSizer(wxVERTICAL);
    friendly_ = new wxCheckBox(this, wxID_ANY,
        "Show friendly names for items in the treeview (take effect at the next level loaded)");
    icons_ = new wxCheckBox(this, wxID_ANY, "Show icons in the objects treeview");
    realMeshes_ = new wxCheckBox(this, wxID_ANY,
        "By default, when displaying a moveable, show real meshes instead of dummy meshes");
    associated_ = new wxCheckBox(this, wxID_ANY,
        "By default, when displaying a moveable, show also its associated moveable");
    for (wxCheckBox* c : {friendly_, icons_, realMeshes_, associated_}) box->Add(c, 0, wxALL, 4);
    box->Add(new wxStaticText(this, wxID_ANY, "(take effect at the next level loaded)"), 0, wxALL, 4);
    auto* colour = new wxButton(this, wxID_ANY, "Change background color");
    colour->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnChangeBackground(); });
    box->Add(colour, 0, wxALL, 4);
    auto* outer = new wxBoxSizer(wxVERTICAL);
    outer->Add(box, 1, wxEXPAND | wxALL, 8);
    AddDialogButtons(this, outer, "Apply");
    SetSizerAndFit(outer);
}

void CDlgDisplayOpt::OnChangeBackground() {
    wxColourData data;
    data.SetChooseFull(true);
    data.SetColour(wxColour(m_crBackground & 0xFF, (m_crBackground >> 8) & 0xFF, (m_crBackground >> 16) & 0xFF));
    wxColourDialog dialog(this, &data);
    if (RunModalDialog(dialog) != wxID_OK) return;
    const wxColour c = dialog.GetColourData().GetColour();
    m_crBackground = MakeRgb(c.Red(), c.Green(), c.Blue());
}

bool CDlgDisplayOpt::TransferDataToWindow() {
    friendly_->SetValue(m_nFriendlyNames != 0);
    icons_->SetValue(m_nIcons != 0);
    realMeshes_->SetValue(m_nRealMeshes != 0);
    associated_->SetValue(m_nAssociatedMoveable != 0);
    return true;
}

bool CDlgDisplayOpt::TransferDataFromWindow() {
    m_nFriendlyNames = friendly_->GetValue() ? 1 : 0;
    m_nIcons = icons_->GetValue() ? 1 : 0;
    m_nRealMeshes = realMeshes_->GetValue() ? 1 : 0;
    m_nAssociatedMoveable = associated_->GetValue() ? 1 : 0;
    return true;
}

// ---- sound options -------------------------------------------------------------------------------

CDlgSoundOpt::CDlgSoundOpt(wxWindow* parent) : wxDialog(parent, wxID_ANY, "Sound options") {
    auto* box = new wxBoxSizer(wxVERTICAL);
    uncompressed_ = new wxCheckBox(this, wxID_ANY, "Record uncompressed sounds when saving levels");
    box->Add(uncompressed_, 0, wxALL, 4);
    auto* note = new wxStaticText(this, wxID_ANY,
        "You need to select this if you want to play TR4 levels built by Lithoscope with the "
        "TR Level Editor engine. If you don't, the levels will work but with no sound.");
    note->Wrap(360);
    box->Add(note, 0, wxALL, 4);
    auto* outer = new wxBoxSizer(wxVERTICAL);
    outer->Add(box, 1, wxEXPAND | wxALL, 8);
    AddDialogButtons(this, outer, "Apply");
    SetSizerAndFit(outer);
}

bool CDlgSoundOpt::TransferDataToWindow() {
    uncompressed_->SetValue(m_nUncompressedSounds != 0);
    return true;
}

bool CDlgSoundOpt::TransferDataFromWindow() {
    m_nUncompressedSounds = uncompressed_->GetValue() ? 1 : 0;
    return true;
}

}  // namespace lithoscope
