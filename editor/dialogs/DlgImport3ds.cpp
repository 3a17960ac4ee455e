#include "editor/dialogs/DlgImport3ds.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/radiobut.h>
#include <wx/sizer.h>
#include <wx/statbox.h>

#include "editor/common/DialogButtons.h"
#include "editor/common/WxStrings.h"

namespace lithoscope {

CImport3DS::CImport3DS(CAnimMgr* animations, int selectedAnim, wxWindow* parent)
    : wxDialog(parent, wxID_ANY, "Importing from 3DS"), m_options(animations, selectedAnim) {
    auto* kind = new wxStaticBoxSizer(wxVERTICAL, this, "Data to import");
    wxWindow* kindBox = kind->GetStaticBox();
    meshes_ = new wxRadioButton(kindBox, wxID_ANY, "Meshes", wxDefaultPosition, wxDefaultSize, wxRB_GROUP);
    keepDummies_ = new wxCheckBox(kindBox, wxID_ANY, "Don't overwrite dummy meshes");
    animation_ = new wxRadioButton(kindBox, wxID_ANY, "Animation");
    list_ = new wxChoice(kindBox, wxID_ANY);
    kind->Add(meshes_, 0, wxALL, 4);
    kind->Add(keepDummies_, 0, wxLEFT | wxBOTTOM, 20);
    kind->Add(animation_, 0, wxALL, 4);
    kind->Add(list_, 0, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, 4);

    auto* what = new wxStaticBoxSizer(wxVERTICAL, this, "Animation");
    wxWindow* whatBox = what->GetStaticBox();
    replace_ = new wxRadioButton(whatBox, wxID_ANY, "Replace this anim with anim read from file",
                                 wxDefaultPosition, wxDefaultSize, wxRB_GROUP);
    deleteAll_ = new wxRadioButton(whatBox, wxID_ANY, "Delete all anims in the current moveable");
    add_ = new wxRadioButton(whatBox, wxID_ANY, "Add the anim read from file");
    for (wxRadioButton* b : {replace_, deleteAll_, add_}) what->Add(b, 0, wxALL, 4);

    auto* outer = new wxBoxSizer(wxVERTICAL);
    outer->Add(kind, 0, wxEXPAND | wxALL, 8);
    outer->Add(what, 0, wxEXPAND | wxLEFT | wxRIGHT, 8);
    AddDialogButtons(this, outer, "Import");
    SetSizerAndFit(outer);

    // Opening: the animations listed, the preselection clamped.
    m_options.Open();
    for (const CImport3dsOptions::Entry& e : m_options.Entries()) list_->Append(ToWx(e.label));
    if (m_options.SelectedEntry() >= 0) list_->SetSelection(m_options.SelectedEntry());

    animation_->Bind(wxEVT_RADIOBUTTON, [this](wxCommandEvent&) { OnKind(); });
    meshes_->Bind(wxEVT_RADIOBUTTON, [this](wxCommandEvent&) { OnKind(); });
    Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnImport(); }, wxID_OK);
}

bool CImport3DS::TransferDataToWindow() {
    animation_->SetValue(m_options.animation != 0);
    meshes_->SetValue(m_options.animation == 0);
    keepDummies_->SetValue(m_options.keepDummies != 0);
    replace_->SetValue(m_options.replace != 0);
    deleteAll_->SetValue(m_options.deleteAll != 0);
    add_->SetValue(m_options.replace == 0 && m_options.deleteAll == 0);
    UpdateEnabled();
    return true;
}

bool CImport3DS::TransferDataFromWindow() {
    if (animation_->GetValue()) m_options.ChooseAnimation();
    else m_options.ChooseMeshes();
    m_options.keepDummies = keepDummies_->GetValue() ? 1 : 0;
    if (replace_->GetValue()) m_options.ChooseReplace();
    else if (deleteAll_->GetValue()) m_options.ChooseDeleteAll();
    else m_options.ChooseAdd();
    m_options.SelectEntry(list_->GetSelection());
    return true;
}

void CImport3DS::UpdateEnabled() {
    const bool anim = m_options.AnimationControlsEnabled();
    list_->Enable(anim);
    for (wxRadioButton* b : {replace_, deleteAll_, add_}) b->Enable(anim);
    keepDummies_->Enable(m_options.KeepDummiesEnabled());
}

void CImport3DS::OnKind() {
    TransferDataFromWindow();
    UpdateEnabled();
}

void CImport3DS::OnImport() {
    TransferDataFromWindow();
    m_options.Import();
    if (IsModal()) EndModal(wxID_OK);
    else SetReturnCode(wxID_OK);
}

}  // namespace lithoscope
