#pragma once
// "Importing from 3DS": what the moveable's "Import from 3DS" takes from the file, its
// meshes or one animation, and what becomes of the moveable's animations.
#include <wx/dialog.h>

#include "interchange3ds/Import3dsOptions.h"

class wxCheckBox;
class wxChoice;
class wxRadioButton;

namespace lithoscope {

class CAnimMgr;

class CImport3DS : public wxDialog {
public:
    // animations: the current moveable's (not owned); selectedAnim: the one to preselect.
    CImport3DS(CAnimMgr* animations, int selectedAnim, wxWindow* parent);

    bool TransferDataToWindow() override;
    bool TransferDataFromWindow() override;

    // "Animation" or "Meshes" clicked: the controls follow the choice.
    void OnKind();
    // "Import": settles the choice and ends with wxID_OK.
    void OnImport();

    // The choice, read by the command after wxID_OK.
    CImport3dsOptions m_options;

    wxRadioButton* AnimationButton() const { return animation_; }
    wxRadioButton* MeshesButton() const { return meshes_; }
    wxRadioButton* ReplaceButton() const { return replace_; }
    wxRadioButton* DeleteAllButton() const { return deleteAll_; }
    wxRadioButton* AddButton() const { return add_; }
    wxCheckBox* KeepDummiesBox() const { return keepDummies_; }
    wxChoice* List() const { return list_; }

private:
    void UpdateEnabled();

    wxChoice* list_ = nullptr;
    wxRadioButton* animation_ = nullptr;
    wxRadioButton* meshes_ = nullptr;
    wxCheckBox* keepDummies_ = nullptr;
    wxRadioButton* replace_ = nullptr;
    wxRadioButton* deleteAll_ = nullptr;
    wxRadioButton* add_ = nullptr;
};

}  // namespace lithoscope
