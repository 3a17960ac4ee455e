#include "editor/dialogs/DlgObjects.h"

#include <climits>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/sizer.h>
#include <wx/spinctrl.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "editor/common/DialogButtons.h"
#include "editor/common/WxStrings.h"
#include "level/Anim.h"
#include "platform/Messages.h"

namespace lithoscope {

// ---- object id ---------------------------------------------------------------------------------

CDlgGetObjId::CDlgGetObjId(wxWindow* parent) : wxDialog(parent, wxID_ANY, "New object Id") {
    auto* row = new wxBoxSizer(wxHORIZONTAL);
    row->Add(new wxStaticText(this, wxID_ANY, "Object Id for the new moveable:"), 0,
             wxALIGN_CENTER_VERTICAL | wxRIGHT, 8);
    id_ = new wxSpinCtrl(this, wxID_ANY, "0", wxDefaultPosition, wxDefaultSize,
                         wxSP_ARROW_KEYS | wxTE_PROCESS_ENTER, INT_MIN, INT_MAX, 0);
    // Enter in the number presses OK.
    id_->Bind(wxEVT_TEXT_ENTER, [this](wxCommandEvent&) {
        wxCommandEvent ok(wxEVT_BUTTON, wxID_OK);
        ok.SetEventObject(FindWindow(wxID_OK));
        GetEventHandler()->ProcessEvent(ok);
    });
    row->Add(id_, 1);
    auto* outer = new wxBoxSizer(wxVERTICAL);
    outer->Add(row, 1, wxEXPAND | wxALL, 10);
    AddDialogButtons(this, outer, "OK");
    SetSizerAndFit(outer);
}

bool CDlgGetObjId::TransferDataToWindow() {
    id_->SetValue(m_nObjectId);
    return true;
}
bool CDlgGetObjId::TransferDataFromWindow() {
    m_nObjectId = id_->GetValue();
    return true;
}

// ---- import data -------------------------------------------------------------------------------

CImportData::CImportData(wxWindow* parent) : wxDialog(parent, wxID_ANY, "Importing data") {
    auto* group = new wxStaticBoxSizer(wxVERTICAL, this, "Data type to import");
    animations_ = new wxCheckBox(group->GetStaticBox(), wxID_ANY, "Animations");
    meshes_ = new wxCheckBox(group->GetStaticBox(), wxID_ANY, "Meshes");
    keepDummies_ = new wxCheckBox(group->GetStaticBox(), wxID_ANY, "Don't overwrite dummy meshes");
    for (wxCheckBox* c : {animations_, meshes_, keepDummies_}) group->Add(c, 0, wxALL, 4);
    auto* outer = new wxBoxSizer(wxVERTICAL);
    outer->Add(group, 1, wxEXPAND | wxALL, 10);
    AddDialogButtons(this, outer, "OK");
    SetSizerAndFit(outer);
}

bool CImportData::TransferDataToWindow() {
    animations_->SetValue(m_nAnimations != 0);
    meshes_->SetValue(m_nMeshes != 0);
    keepDummies_->SetValue(m_nKeepDummies != 0);
    return true;
}
bool CImportData::TransferDataFromWindow() {
    m_nAnimations = animations_->GetValue() ? 1 : 0;
    m_nMeshes = meshes_->GetValue() ? 1 : 0;
    m_nKeepDummies = keepDummies_->GetValue() ? 1 : 0;
    return true;
}

// ---- export moveable ---------------------------------------------------------------------------

CExportMvblChoice::CExportMvblChoice(int animationCount, int selectedAnim) {
    const uint32_t count = animationCount > 0 ? uint32_t(animationCount) : 0;
    uint32_t selected = uint32_t(selectedAnim);
    if (selected >= count) selected = count - 1;  // none left when there is no animation
    for (uint32_t i = 0; i < count; ++i)
        entries_.push_back({StrFormat("Animation #%.3d", int(i + 1)), int(i)});
    preselected_ = count ? int(selected) : -1;
}

int CExportMvblChoice::ExportResult(bool withAnimation, int selectedEntry,
                                    const std::vector<Entry>& entries) {
    if (!withAnimation || selectedEntry < 0 || size_t(selectedEntry) >= entries.size()) return -1;
    return entries[size_t(selectedEntry)].data;
}

CExportMvbl::CExportMvbl(CAnimMgr* animations, int selectedAnim, wxWindow* parent)
    : wxDialog(parent, wxID_ANY, "Exporting moveable"),
      m_pAnimations(animations),
      m_nSelectedAnim(selectedAnim) {
    withAnimation_ = new wxCheckBox(this, wxID_ANY, "With animation");
    list_ = new wxChoice(this, wxID_ANY);
    auto* box = new wxBoxSizer(wxVERTICAL);
    box->Add(withAnimation_, 0, wxALL, 4);
    box->Add(list_, 0, wxEXPAND | wxALL, 4);
    auto* outer = new wxBoxSizer(wxVERTICAL);
    outer->Add(box, 1, wxEXPAND | wxALL, 8);
    outer->SetMinSize(wxSize(280, -1));  // room for the caption
    AddDialogButtons(this, outer, "Export");
    SetSizerAndFit(outer);

    // Opening: the list disabled and filled, the chosen animation selected.
    const CExportMvblChoice choice(animations ? animations->count() : 0, selectedAnim);
    entries_ = choice.entries();
    list_->Disable();
    list_->Clear();
    for (const auto& e : entries_) list_->Append(ToWx(e.text));
    if (choice.preselected() >= 0) list_->SetSelection(choice.preselected());
    m_nSelectedAnim = choice.preselected();

    withAnimation_->Bind(wxEVT_CHECKBOX, [this](wxCommandEvent&) { OnWithAnimation(); });
    Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnExport(); }, wxID_OK);
}

void CExportMvbl::OnWithAnimation() {
    m_nWithAnimation = withAnimation_->GetValue() ? 1 : 0;
    list_->Enable(m_nWithAnimation != 0);
}

void CExportMvbl::OnExport() {
    m_nWithAnimation = withAnimation_->GetValue() ? 1 : 0;
    m_nSelectedAnim = CExportMvblChoice::ExportResult(m_nWithAnimation != 0, list_->GetSelection(), entries_);
    if (IsModal()) EndModal(wxID_OK);
    else SetReturnCode(wxID_OK);
}

}  // namespace lithoscope
