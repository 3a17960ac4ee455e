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
    void Play(CSoundPaneModel::Fetch fetched, const std::vector<uint8_t>& wave);
    int SelectedUsed() const;
    // An error box once the current event is over.
    void ShowPaneError(const std::string& text);

    CSoundPaneModel model_;
    CHandleBase* node_ = nullptr;
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
