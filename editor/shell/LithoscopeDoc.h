#pragma once
// One open level: the document embeds the level for its whole life and turns the
// framework's open and save requests into the level's load and save.
#include <string>
#include <vector>

#include <wx/docview.h>

#include "editor/common/LevelDocument.h"
#include "level/TrLevel.h"

namespace lithoscope {

class CLithoscopeView;

// The save dialog's filter.
constexpr const char* kSaveFilter = "Tomb Raider file (*.phd;*.tub;*.tr2;*.tr4)|*.phd;*.tub;*.tr2;*.tr4";

class CLithoscopeDoc : public wxDocument, public ILevelDocument {
public:
    CLithoscopeDoc() = default;
    ~CLithoscopeDoc() override;

    bool OnNewDocument() override;
    bool OnOpenDocument(const wxString& path) override;
    bool OnSaveDocument(const wxString& path) override;
    // Save and Save As both show the save dialog.
    bool Save() override;
    bool SaveAs() override;
    // The "Save changes to %s?" question through the message layer.
    bool OnSaveModified() override;

    // Shows the save dialog with the current path; on OK saves there. True when the level
    // was written; false after Cancel or a failed save (the document stays modified, so
    // closing it stops instead of losing the edits).
    bool DoSave(const std::string& path, bool replace);
    // ILevelDocument
    CTrLevel& GetLevel() override { return m_level; }
    void SetModifiedFlag(bool modified) override { Modify(modified); }
    std::vector<ILevelTree*> GetLevelTrees() const override;
    // Every window of the document shows the modified mark (the framework tells the first).
    void Modify(bool modified) override;

    std::string GetPath() const;
    CLithoscopeView* GetLevelView() const;

    CTrLevel m_level;
    bool m_bLoaded = false;

private:
    wxDECLARE_DYNAMIC_CLASS(CLithoscopeDoc);
};

}  // namespace lithoscope
