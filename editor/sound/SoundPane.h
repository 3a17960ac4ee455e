#pragma once
// The sounds node's edit pane (kind 5): the level's sounds beside the game's catalog.
#include <wx/button.h>
#include <wx/choice.h>
#include <wx/listbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "editor/panes/EditPane.h"
#include "editor/sound/SoundPaneModel.h"

namespace lithoscope {

class CHandleBase;

class CEditSounds : public CEditPaneBase {
public:
    explicit CEditSounds(wxWindow* parent);
    // The shown sounds node (not owned); null forgets it.
    void SetHandle(CHandleBase* node) override;
    void ReleaseResources() override;
    CSoundPaneModel& Model() { return model_; }

    // Handlers, public so that tests call them directly.
    void OnGameChanged();
    void OnUsedSelected();
    void OnAdd();
    void OnRemove();
    void OnPlayCatalog();
    void OnPlayUsed();
    void OnEditDone();

private:
    void FillLists();
    void ShowCounts();
    // The detail fields show the selected used sound, or are empty and disabled when none
    // is selected. Edits still pending for the sound shown before are stored first.
    void ShowSelected();
    // Stores the edits into the sound they show; false when a value was refused (error
    // tells why).
    bool StoreEdits(std::string& error);
    // The fields show sound k's values (k < 0 or gone: empty and disabled).
    void ShowDetails(int k);
    void ClearDetails();
    void Play(CSoundPaneModel::Fetch fetched, const std::vector<uint8_t>& wave);
    int SelectedUsed() const;
    // An error box once the current event is over.
    void ShowPaneError(const std::string& text);

    CSoundPaneModel model_;
    CHandleBase* node_ = nullptr;
    // The internal index of the sound whose values the detail fields show; -1: none.
    int shownKey_ = -1;
    wxChoice* game_;
    wxListBox* used_;
    wxListBox* catalog_;
    wxButton *add_, *remove_, *playCatalog_, *playUsed_;
    wxStaticText *available_, *usedCount_, *firstIndex_, *internalIndex_, *flags_;
    wxTextCtrl *pitch_, *samples_, *range_, *volume_, *loop_, *chance_;
};

// Installs the sound pane for kind 5 in front of the pane factory already installed.
void RegisterSoundPane();

}  // namespace lithoscope
