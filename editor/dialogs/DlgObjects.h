#pragma once
// The small dialogs of the object commands: the object id of a new moveable, the
// animation picker of the moveable 3DS export, the data picker of the moveable import.
#include <string>
#include <vector>

#include <wx/dialog.h>

class wxCheckBox;
class wxChoice;
class wxSpinCtrl;

namespace lithoscope {

class CAnimMgr;

// ---- "New object Id" ---------------------------------------------------------------------
class CDlgGetObjId : public wxDialog {
public:
    explicit CDlgGetObjId(wxWindow* parent);
    int m_nObjectId = 0;
    bool TransferDataToWindow() override;
    bool TransferDataFromWindow() override;
    wxSpinCtrl* IdField() const { return id_; }

private:
    wxSpinCtrl* id_ = nullptr;
};

// ---- "Importing data" --------------------------------------------------------------------
class CImportData : public wxDialog {
public:
    explicit CImportData(wxWindow* parent);
    int m_nAnimations = 1;
    int m_nMeshes = 1;
    int m_nKeepDummies = 0;
    bool GetAnimations() const { return m_nAnimations != 0; }
    bool GetMeshes() const { return m_nMeshes != 0; }
    bool TransferDataToWindow() override;
    bool TransferDataFromWindow() override;

private:
    wxCheckBox* animations_ = nullptr;
    wxCheckBox* meshes_ = nullptr;
    wxCheckBox* keepDummies_ = nullptr;
};

// ---- "Exporting moveable" ----------------------------------------------------------------
// The picker's rules without the window: entries, preselection, the result of "Export".
class CExportMvblChoice {
public:
    CExportMvblChoice(int animationCount, int selectedAnim);
    struct Entry {
        std::string text;  // "Animation #%.3d" of 1, 2, 3 ...
        int data;          // the animation's index
    };
    const std::vector<Entry>& entries() const { return entries_; }
    // Entry preselected at opening, -1 for none.
    int preselected() const { return preselected_; }
    // selectedAnim after "Export": the item data of the selected entry when "With
    // animation" is ticked and an entry is selected, else -1.
    static int ExportResult(bool withAnimation, int selectedEntry, const std::vector<Entry>& entries);

private:
    std::vector<Entry> entries_;
    int preselected_ = -1;
};

class CExportMvbl : public wxDialog {
public:
    CExportMvbl(CAnimMgr* animations, int selectedAnim, wxWindow* parent);
    CAnimMgr* m_pAnimations;  // not owned
    int m_nSelectedAnim;
    int m_nWithAnimation = 0;

    // "With animation" clicked: the list is enabled exactly when the box is ticked.
    void OnWithAnimation();
    // "Export": takes the result and ends with wxID_OK.
    void OnExport();
    wxChoice* List() const { return list_; }
    wxCheckBox* WithAnimationBox() const { return withAnimation_; }

private:
    std::vector<CExportMvblChoice::Entry> entries_;
    wxChoice* list_ = nullptr;
    wxCheckBox* withAnimation_ = nullptr;
};

}  // namespace lithoscope
