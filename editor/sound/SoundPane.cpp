// The sound pane's window: controls over CSoundPaneModel.
#include "editor/sound/SoundPane.h"

#include <algorithm>
#include <climits>

#include <wx/sizer.h>
#include <wx/utils.h>

#include "editor/common/EditorMessages.h"
#include "editor/common/WxStrings.h"
#include "editor/sound/SoundPlayer.h"
#include "editor/tree/HandleBase.h"
#include "level/GameCatalog.h"
#include "level/TrLevel.h"
#include "platform/Messages.h"

namespace lithoscope {

namespace {

const char* const kGames[] = {
    "Sounds mapped to Tomb Raider I",       "Sounds mapped to Tomb Raider I Gold",
    "Sounds mapped to Tomb Raider II",      "Sounds mapped to Tomb Raider II Gold",
    "Sounds mapped to Tomb Raider III",     "Sounds mapped to Tomb Raider III Gold",
    "Sounds mapped to Tomb Raider IV",
};

wxString W(const std::string& s) { return wxString::FromUTF8(s.c_str()); }

}  // namespace

CEditSounds::CEditSounds(wxWindow* parent) : CEditPaneBase(parent, EditPaneSounds) {
    game_ = new wxChoice(this, 1124);
    for (const char* g : kGames) game_->Append(g);
    used_ = new wxListBox(this, 1109);
    catalog_ = new wxListBox(this, 1110);
    add_ = new wxButton(this, 1111, ">>");
    remove_ = new wxButton(this, 1112, "<<");
    playCatalog_ = new wxButton(this, 1113, "Play selected");
    playUsed_ = new wxButton(this, 1114, "Play selected");
    available_ = new wxStaticText(this, 1115, "0");
    usedCount_ = new wxStaticText(this, 1116, "0");
    firstIndex_ = new wxStaticText(this, 1122, "");
    internalIndex_ = new wxStaticText(this, 1123, "");
    flags_ = new wxStaticText(this, 1148, "PVN");
    auto edit = [this](int id) { return new wxTextCtrl(this, id, ""); };
    pitch_ = edit(1117);
    samples_ = edit(1118);
    range_ = edit(1119);
    volume_ = edit(1120);
    loop_ = edit(1121);
    chance_ = edit(1147);

    auto* lists = new wxBoxSizer(wxHORIZONTAL);
    auto* left = new wxBoxSizer(wxVERTICAL);
    left->Add(new wxStaticText(this, wxID_ANY, "Used sounds:"));
    left->Add(used_, 1, wxEXPAND);
    left->Add(usedCount_);
    left->Add(playUsed_);
    auto* middle = new wxBoxSizer(wxVERTICAL);
    middle->Add(add_);
    middle->Add(remove_);
    auto* right = new wxBoxSizer(wxVERTICAL);
    right->Add(new wxStaticText(this, wxID_ANY, "Sound list:"));
    right->Add(catalog_, 1, wxEXPAND);
    right->Add(available_);
    right->Add(playCatalog_);
    lists->Add(left, 1, wxEXPAND);
    lists->Add(middle, 0, wxALIGN_CENTER_VERTICAL);
    lists->Add(right, 1, wxEXPAND);
    auto* details = new wxFlexGridSizer(2);
    auto row = [&](const char* label, wxWindow* w) {
        details->Add(new wxStaticText(this, wxID_ANY, label));
        details->Add(w);
    };
    row("Num samples:", samples_);
    row("Volume :", volume_);
    row("Sound range :", range_);
    row("Loop(3)/R(2) :", loop_);
    row("Pitch:", pitch_);
    row("Chance :", chance_);
    row("First index:", firstIndex_);
    row("Internal index:", internalIndex_);
    details->Add(flags_);
    auto* top = new wxBoxSizer(wxVERTICAL);
    top->Add(game_, 0, wxEXPAND);
    top->Add(lists, 1, wxEXPAND);
    top->Add(details);
    SetSizer(top);

    game_->Bind(wxEVT_CHOICE, [this](wxCommandEvent&) { OnGameChanged(); });
    used_->Bind(wxEVT_LISTBOX, [this](wxCommandEvent&) { OnUsedSelected(); });
    add_->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnAdd(); });
    remove_->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnRemove(); });
    playCatalog_->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnPlayCatalog(); });
    playUsed_->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnPlayUsed(); });
    for (wxTextCtrl* e : {pitch_, samples_, range_, volume_, loop_, chance_})
        e->Bind(wxEVT_KILL_FOCUS, [this](wxFocusEvent& ev) {
            ev.Skip();
            OnEditDone();
        });
}

void CEditSounds::SetHandle(CHandleBase* node) {
    node_ = node;
    shownKey_ = -1;
    model_.Bind(node ? node->GetLevel() : nullptr, node ? &node->GetCatalog() : nullptr);
    game_->SetSelection(model_.Game());
    FillLists();
}

void CEditSounds::ReleaseResources() {
    node_ = nullptr;
    shownKey_ = -1;
    model_.Bind(nullptr, nullptr);
    ClearDetails();
}

void CEditSounds::FillLists() {
    used_->Clear();
    catalog_->Clear();
    for (int k : model_.Used()) used_->Append(W(model_.Name(k)));
    for (int k : model_.Available()) catalog_->Append(W(model_.Name(k)));
    // The sound shown stays selected while the level uses it.
    const std::vector<int>& used = model_.Used();
    const auto shown = std::find(used.begin(), used.end(), shownKey_);
    if (shownKey_ >= 0 && shown != used.end()) used_->SetSelection(int(shown - used.begin()));
    const bool moves = !model_.OwnSamples();
    add_->Enable(moves);
    remove_->Enable(moves);
    playCatalog_->Enable(moves);
    ShowCounts();
    ShowSelected();
}

void CEditSounds::ShowCounts() {
    available_->SetLabel(wxString::Format("%d", int(model_.Available().size())));
    usedCount_->SetLabel(wxString::Format("%d", int(model_.Used().size())));
}

int CEditSounds::SelectedUsed() const {
    const int i = used_->GetSelection();
    if (i == wxNOT_FOUND || size_t(i) >= model_.Used().size()) return -1;
    return model_.Used()[size_t(i)];
}

void CEditSounds::OnGameChanged() {
    const int g = game_->GetSelection();
    if (g != wxNOT_FOUND) model_.SetGame(g);
    FillLists();
}

void CEditSounds::ClearDetails() {
    shownKey_ = -1;
    for (wxTextCtrl* e : {samples_, volume_, range_, loop_, pitch_, chance_}) {
        e->ChangeValue("");
        e->Enable(false);
    }
    firstIndex_->SetLabel("");
    internalIndex_->SetLabel("");
    if (model_.Level() && model_.Level()->version == TrVersion4) flags_->SetLabel("");
}

void CEditSounds::ShowDetails(int k) {
    SoundDetails d;
    if (k < 0 || !model_.GetDetails(k, d)) {
        ClearDetails();
        return;
    }
    shownKey_ = k;
    for (wxTextCtrl* e : {samples_, volume_, range_, loop_, pitch_, chance_}) e->Enable(true);
    samples_->ChangeValue(wxString::Format("%d", d.samples));
    volume_->ChangeValue(wxString::Format("%d", d.volume));
    range_->ChangeValue(wxString::Format("%d", d.range));
    loop_->ChangeValue(wxString::Format("%d", d.loop));
    pitch_->ChangeValue(wxString::Format("%d", d.pitch));
    chance_->ChangeValue(wxString::Format("%d", d.chance));
    firstIndex_->SetLabel(wxString::Format("%u", unsigned(d.firstIndex)));
    internalIndex_->SetLabel(wxString::Format("%d", d.internalIndex));
    if (!d.flagsText.empty()) flags_->SetLabel(W(d.flagsText));
}

void CEditSounds::ShowSelected() {
    std::string error;
    if (!StoreEdits(error)) ShowPaneError(error);
    ShowDetails(SelectedUsed());
}

void CEditSounds::OnUsedSelected() { ShowSelected(); }

void CEditSounds::OnAdd() {
    const int i = catalog_->GetSelection();
    if (i == wxNOT_FOUND || size_t(i) >= model_.Available().size()) return;
    const int k = model_.Available()[size_t(i)];
    if (!model_.Add(k)) return;
    catalog_->Delete(unsigned(i));
    used_->Append(W(model_.Name(k)));
    ShowCounts();
    if (node_) node_->SetModified();
    ShowSelected();
}

void CEditSounds::OnRemove() {
    const int i = used_->GetSelection();
    const int k = SelectedUsed();
    if (k < 0) return;
    // Edits pending for another sound go to it before the rows move.
    std::string error;
    if (shownKey_ != k && !StoreEdits(error)) ShowPaneError(error);
    if (!model_.Remove(k)) return;
    if (shownKey_ == k) shownKey_ = -1;
    used_->Delete(unsigned(i));
    catalog_->Append(W(model_.Name(k)));
    // The row that took its place is the one selected (the toolkit may pick one itself,
    // without telling).
    const int rows = int(used_->GetCount());
    if (rows > 0) used_->SetSelection(std::min(i, rows - 1));
    else used_->SetSelection(wxNOT_FOUND);
    ShowCounts();
    if (node_) node_->SetModified();
    ShowSelected();
}

bool CEditSounds::StoreEdits(std::string& error) {
    SoundDetails now;
    if (shownKey_ < 0 || !samples_->IsEnabled() || !model_.GetDetails(shownKey_, now)) return true;
    SoundDetails v = now;
    auto read = [](wxTextCtrl* e, int& out) {
        long long n = 0;
        if (!e->GetValue().Trim().Trim(false).ToLongLong(&n)) return false;
        // Past the int range: the range check refuses it.
        out = int(std::clamp<long long>(n, INT_MIN, INT_MAX));
        return true;
    };
    if (!read(samples_, v.samples) || !read(volume_, v.volume) || !read(range_, v.range) ||
        !read(loop_, v.loop) || !read(pitch_, v.pitch) || !read(chance_, v.chance)) {
        error = "Please enter an integer.";
        return false;
    }
    bool changed = false;
    if (!model_.SetDetails(shownKey_, v, &error, &changed)) return false;
    if (changed && node_) node_->SetModified();
    return true;
}

void CEditSounds::OnEditDone() {
    std::string error;
    if (StoreEdits(error)) return;
    // Refused: the edits show again what the sound holds.
    ShowDetails(shownKey_);
    ShowPaneError(error);
}

void CEditSounds::ShowPaneError(const std::string& text) {
    // Not inside the focus change that got here: the box would fight over the focus.
    CallAfter([text] { ShowError(text); });
}

void CEditSounds::Play(CSoundPaneModel::Fetch fetched, const std::vector<uint8_t>& wave) {
    if (fetched == CSoundPaneModel::Fetch::FileMissing) {
        ShowError(StrFormat("Can't play the sound because the file %s can't be found.\n",
                            model_.SoundFilePath().c_str()));
        return;
    }
    if (fetched != CSoundPaneModel::Fetch::Ok) return;
    wxBusyCursor wait;
    PlayWaveMemory(wave.data(), wave.size());
}

void CEditSounds::OnPlayCatalog() {
    const int i = catalog_->GetSelection();
    if (i == wxNOT_FOUND || size_t(i) >= model_.Available().size()) return;
    std::vector<uint8_t> wave;
    Play(model_.CatalogWave(model_.Available()[size_t(i)], wave), wave);
}

void CEditSounds::OnPlayUsed() {
    const int k = SelectedUsed();
    if (k < 0) return;
    std::vector<uint8_t> wave;
    Play(model_.UsedWave(k, wave), wave);
}

void RegisterSoundPane() {
    static EditPaneFactory previous;
    static bool done = false;
    if (done) return;
    done = true;
    previous = SetEditPaneFactory([](int kind, wxWindow* parent) -> CEditPaneBase* {
        if (kind == EditPaneSounds) return new CEditSounds(parent);
        return previous ? previous(kind, parent) : nullptr;
    });
}

}  // namespace lithoscope
