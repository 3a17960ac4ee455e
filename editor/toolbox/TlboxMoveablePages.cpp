#include "editor/toolbox/TlboxMoveablePages.h"

#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/sizer.h>
#include <wx/slider.h>
#include <wx/spinbutt.h>
#include <wx/statbox.h>

#include "editor/common/WxStrings.h"
#include "editor/toolbox/TlboxControls.h"
#include "editor/tree/NodeHandlers.h"
#include "editor/view3d/KeyState.h"
#include "level/TrMvb.h"
#include "platform/Messages.h"

namespace lithoscope {

namespace {

constexpr int kNumberWidth = 60;
constexpr int kSliderWidth = 100;
constexpr int kGap = 6;

// Label then control, in a grid of label and control columns.
void AddPair(wxFlexGridSizer* grid, wxWindow* parent, const char* label, wxWindow* control) {
    grid->Add(Label(parent, label), 0, wxALIGN_CENTER_VERTICAL);
    grid->Add(control, 0, wxALIGN_CENTER_VERTICAL);
}
void AddPair(wxFlexGridSizer* grid, wxWindow* parent, const char* label, wxSizer* control) {
    grid->Add(Label(parent, label), 0, wxALIGN_CENTER_VERTICAL);
    grid->Add(control, 0, wxALIGN_CENTER_VERTICAL | wxEXPAND);
}

wxSizer* Row(std::initializer_list<wxWindow*> controls, wxWindow* stretch = nullptr) {
    auto* row = new wxBoxSizer(wxHORIZONTAL);
    bool first = true;
    for (wxWindow* c : controls) {
        row->Add(c, c == stretch ? 1 : 0, wxALIGN_CENTER_VERTICAL | (first ? 0 : wxLEFT), 4);
        first = false;
    }
    return row;
}

}  // namespace

// ---- Main ----

CTlboxMoveableMain::CTlboxMoveableMain(wxWindow* sheet, CToolboxBase* owner)
    : CToolboxItfBase(sheet, owner, "Main"), m_link(*owner) {
    m_logic.SetModifiedHandler([owner] { owner->MarkModified(); });
    m_pName = new CTlboxName(this, "Lara shotgun animation #000");
    m_pNumMeshes = ValueText(this, "000 (00000 tris, 00000 quads)");
    m_pObjectId = NewObjectIdEdit(
        this, kNumberWidth, [this](const std::string& text) { return m_logic.SetObjectIdText(text); },
        [this] { ShowValues(); });
    m_pExtents = ValueText(this, "-00000,-00000,-00000");
    m_pRealMeshes = new wxCheckBox(this, wxID_ANY, "Show real meshes instead of dummy meshes");
    m_pAssociated = new wxCheckBox(this, wxID_ANY, "Show associated moveable");
    m_pBoundingBoxes = new wxCheckBox(this, wxID_ANY, "Show bounding boxes");

    auto* grid = new wxFlexGridSizer(2, kGap, kGap * 2);
    AddPair(grid, this, "Name:", m_pName);
    AddPair(grid, this, "Num meshes:", m_pNumMeshes);
    AddPair(grid, this, "Object Id:", m_pObjectId);
    AddPair(grid, this, "Extents:", m_pExtents);
    auto* checks = new wxBoxSizer(wxVERTICAL);
    for (wxCheckBox* c : {m_pRealMeshes, m_pAssociated, m_pBoundingBoxes}) checks->Add(c, 0, wxBOTTOM, kGap);
    auto* page = new wxBoxSizer(wxHORIZONTAL);
    page->Add(grid, 0, wxRIGHT, 24);
    page->Add(checks);
    FinishLayout(page);

    m_pRealMeshes->Bind(wxEVT_CHECKBOX, [this](wxCommandEvent&) {
        m_logic.SetShowRealMeshes(m_pRealMeshes->GetValue());
        ShowValues();
    });
    m_pAssociated->Bind(wxEVT_CHECKBOX, [this](wxCommandEvent&) {
        m_logic.SetShowAssociated(m_pAssociated->GetValue());
        ShowValues();
    });
    m_pBoundingBoxes->Bind(wxEVT_CHECKBOX, [this](wxCommandEvent&) {
        m_logic.SetShowBoundingBoxes(m_pBoundingBoxes->GetValue());
        ShowValues();
    });
    ShowValues();
}

void CTlboxMoveableMain::Update(bool force) {
    auto* node = dynamic_cast<CHandleMoveable*>(m_pOwner->GetNode());
    const bool pane = BoundMoveablePane(*m_pOwner) != nullptr;
    m_logic.Bind(node ? node->Moveable() : nullptr, node ? node->GetName() : "", pane ? &m_link : nullptr);
    m_logic.Update(force);
    // The check box is kept from one moveable to the next: so is what the view shows.
    if (pane) m_link.SetShowBoundingBoxes(m_logic.ShowBoundingBoxes());
    ShowValues();
}

void CTlboxMoveableMain::ShowPosition(bool updateControls) {
    m_logic.ShowPosition();
    if (updateControls) ShowValues();
}

void CTlboxMoveableMain::ShowValues() {
    m_pName->ShowText(m_logic.Name());
    SetText(m_pNumMeshes, m_logic.NumMeshesText());
    m_pObjectId->ShowValue(m_logic.ObjectIdText());
    m_pObjectId->Enable(!m_logic.ObjectIdText().empty());
    SetText(m_pExtents, m_logic.ExtentsText());
    m_pRealMeshes->SetValue(m_logic.ShowRealMeshes());
    m_pRealMeshes->Enable(m_logic.RealMeshesEnabled());
    m_pAssociated->SetValue(m_logic.ShowAssociated());
    m_pAssociated->Enable(m_logic.AssociatedEnabled());
    m_pBoundingBoxes->SetValue(m_logic.ShowBoundingBoxes());
}

// ---- Animation ----

CTlboxMoveableAnim::CTlboxMoveableAnim(wxWindow* sheet, CToolboxBase* owner)
    : CToolboxItfBase(sheet, owner, "Animation"), m_link(*owner) {
    m_logic.SetModifiedHandler([owner] { owner->MarkModified(); });
    using Text = void (CTlboxMoveableAnimLogic::*)(const std::string&);
    auto edit = [this](wxWindow* parent, Text set, int width = kNumberWidth) {
        return new CTlboxEdit(parent, width, [this, set](const std::string& text) {
            (m_logic.*set)(text);
            ShowValues();
        });
    };

    // Parameters: the animation played and the values it keeps in the level.
    auto* parameters = new wxStaticBoxSizer(wxVERTICAL, this, "Parameters");
    wxWindow* box = parameters->GetStaticBox();
    m_pList = new wxChoice(box, wxID_ANY, wxDefaultPosition, wxSize(150, -1));
    m_pCurrentAnim = ValueText(box, "0000");
    m_pFramerate = ValueText(box, "0000");
    m_pStateId = edit(box, &CTlboxMoveableAnimLogic::SetStateIdText);
    m_pNextAnim = edit(box, &CTlboxMoveableAnimLogic::SetNextAnimText);
    m_pNextFrame = edit(box, &CTlboxMoveableAnimLogic::SetNextFrameText);
    m_pSpeedLow = edit(box, &CTlboxMoveableAnimLogic::SetSpeedLowText);
    m_pHex = TwoStateButton(box, "Dec", "Hex");
    m_pSpeedHigh = edit(box, &CTlboxMoveableAnimLogic::SetSpeedHighText);
    m_pAcceleration = edit(box, &CTlboxMoveableAnimLogic::SetAccelerationText, 86);
    auto* top = new wxBoxSizer(wxHORIZONTAL);
    top->Add(m_pList, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 12);
    top->Add(LabelAndControl(box, "Current anim:", m_pCurrentAnim), 0, wxALIGN_CENTER_VERTICAL);
    parameters->Add(top, 0, wxBOTTOM, kGap);
    auto* grid = new wxFlexGridSizer(4, kGap, kGap);
    AddPair(grid, box, "State id:", m_pStateId);
    AddPair(grid, box, "Framerate:", m_pFramerate);
    AddPair(grid, box, "Next anim:", m_pNextAnim);
    AddPair(grid, box, "Next frame:", m_pNextFrame);
    AddPair(grid, box, "Unknown:", Row({m_pSpeedLow, m_pHex}));
    AddPair(grid, box, "Speed:", m_pSpeedHigh);
    AddPair(grid, box, "Acceleration:", m_pAcceleration);
    parameters->Add(grid, 0, wxRIGHT, kGap);

    // Replay: how the pane plays it.
    auto* replay = new wxStaticBoxSizer(wxVERTICAL, this, "Replay");
    box = replay->GetStaticBox();
    m_pChain = TwoStateButton(box, "Loop", "Chain");
    m_pAutomatic = TwoStateButton(box, "Automatic", "Manual");
    m_pFrame = ValueText(box, "0000", wxALIGN_RIGHT);
    m_pFrameCount = ValueText(box, "/ 0000");
    m_pFrameSlider = new wxSlider(box, wxID_ANY, 1, 1, 2, wxDefaultPosition, wxSize(kSliderWidth, -1));
    m_pKey = ValueText(box, "0000", wxALIGN_RIGHT);
    m_pKeyCount = ValueText(box, "/ 0000");
    m_pKeySlider = new wxSlider(box, wxID_ANY, 1, 1, 2, wxDefaultPosition, wxSize(kSliderWidth, -1));
    m_pInterpolate = TwoStateButton(box, "on", "off");
    m_pInterpValue = edit(box, &CTlboxMoveableAnimLogic::SetInterpText, 86);
    m_pStep = new wxSpinButton(box, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxSP_VERTICAL);
    m_pStep->SetRange(-1000000, 1000000);
    m_pStep->SetValue(0);
    m_pReplaySlider = new wxSlider(box, wxID_ANY, 50, 1, 100, wxDefaultPosition, wxSize(kSliderWidth, -1));
    m_pReplaySpeed = ValueText(box, "000");
    auto* rows = new wxFlexGridSizer(2, kGap, kGap);
    rows->AddGrowableCol(1);
    AddPair(rows, box, "Type:", Row({m_pChain, Label(box, "Mode:"), m_pAutomatic}));
    AddPair(rows, box, "frame:", Row({m_pFrame, m_pFrameCount, m_pFrameSlider}, m_pFrameSlider));
    AddPair(rows, box, "Key:", Row({m_pKey, m_pKeyCount, m_pKeySlider}, m_pKeySlider));
    AddPair(rows, box, "Interp:", Row({m_pInterpolate, m_pInterpValue, m_pStep}));
    AddPair(rows, box, "Speed replay:", Row({m_pReplaySlider, m_pReplaySpeed}, m_pReplaySlider));
    replay->Add(rows, 1, wxEXPAND | wxRIGHT, kGap);

    auto* page = new wxBoxSizer(wxHORIZONTAL);
    page->Add(parameters, 0, wxEXPAND | wxRIGHT, 4);
    page->Add(replay, 1, wxEXPAND);
    FinishLayout(page);

    // Handlers.
    m_pList->Bind(wxEVT_CHOICE, [this](wxCommandEvent&) {
        m_logic.SelectAnimation(m_pList->GetSelection());
        ShowValues();
    });
    auto click = [this](wxButton* button, void (CTlboxMoveableAnimLogic::*action)()) {
        button->Bind(wxEVT_BUTTON, [this, action](wxCommandEvent&) { Edit(action); });
    };
    click(m_pHex, &CTlboxMoveableAnimLogic::ToggleHex);
    click(m_pChain, &CTlboxMoveableAnimLogic::ToggleChain);
    click(m_pAutomatic, &CTlboxMoveableAnimLogic::ToggleAutomatic);
    m_pInterpolate->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
        m_pInterpValue->SetFocus();
        Edit(&CTlboxMoveableAnimLogic::ToggleInterpolate);
    });
    using Position = void (CTlboxMoveableAnimLogic::*)(int);
    auto slide = [this](wxSlider* slider, Position set) {
        OnPageOrThumb(slider, [this, slider, set](int position) {
            (m_logic.*set)(position);
            if (slider == m_pReplaySlider) ShowValues();
        });
    };
    slide(m_pFrameSlider, &CTlboxMoveableAnimLogic::SetFramePosition);
    slide(m_pKeySlider, &CTlboxMoveableAnimLogic::SetKeyPosition);
    slide(m_pReplaySlider, &CTlboxMoveableAnimLogic::SetReplayPosition);
    m_pStep->Bind(wxEVT_SPIN_UP, [this](wxSpinEvent&) { m_logic.Step(true); });
    m_pStep->Bind(wxEVT_SPIN_DOWN, [this](wxSpinEvent&) { m_logic.Step(false); });
    ShowValues();
}

void CTlboxMoveableAnim::Edit(void (CTlboxMoveableAnimLogic::*action)()) {
    (m_logic.*action)();
    ShowValues();
}

void CTlboxMoveableAnim::Update(bool force) {
    auto* node = dynamic_cast<CHandleMoveable*>(m_pOwner->GetNode());
    const bool pane = BoundMoveablePane(*m_pOwner) != nullptr;
    m_logic.Bind(node ? node->Moveable() : nullptr, pane ? &m_link : nullptr);
    m_logic.Update(force);
    if (force) {
        // Presses made while another object was shown don't step this one.
        CKeyState::Instance().PollPressed(WXK_F5);
        CKeyState::Instance().PollPressed(WXK_F6);
    }
    ShowValues();
}

bool CTlboxMoveableAnim::OnKeyTick() {
    CKeyState& keys = CKeyState::Instance();
    const bool f6 = keys.PollPressed(WXK_F6);
    const bool f5 = keys.PollPressed(WXK_F5);
    if (!m_logic.OnKeyTick(f5, f6)) return false;
    ShowValues();
    return true;
}

void CTlboxMoveableAnim::SetAnim(int index) {
    const int before = m_logic.GetCurrentAnim();
    m_logic.SetAnim(index);
    // Text typed for the animation that played before is dropped.
    if (m_logic.GetCurrentAnim() != before)
        for (CTlboxEdit* e : ValueEdits()) e->DiscardEdits();
    ShowValues();
}

void CTlboxMoveableAnim::SetFrame(int current, int count) {
    m_logic.SetFrame(current, count);
    ShowPlayback();
}

void CTlboxMoveableAnim::SetKey(int current, int count) {
    m_logic.SetKey(current, count);
    ShowPlayback();
}

void CTlboxMoveableAnim::SetFramerate(int n) {
    m_logic.SetFramerate(n);
    SetText(m_pFramerate, IntText(long(m_logic.Framerate())));
}

void CTlboxMoveableAnim::SetNext(int anim, int frame) {
    m_logic.SetNext(anim, frame);
    m_pNextAnim->ShowValue(IntText(long(m_logic.NextAnim())));
    m_pNextFrame->ShowValue(IntText(long(m_logic.NextFrame())));
}

void CTlboxMoveableAnim::SetValue(float value) {
    m_logic.SetValue(value);
    m_pInterpValue->ShowValue(m_logic.InterpText());
}

void CTlboxMoveableAnim::ShowPlayback() {
    const CTlboxMoveableAnimLogic& l = m_logic;
    SetText(m_pFrame, l.FrameText());
    SetText(m_pFrameCount, l.FrameCountText());
    SetText(m_pKey, l.KeyText());
    SetText(m_pKeyCount, l.KeyCountText());
    SetSliderRange(m_pFrameSlider, 1, l.FrameSliderMax(), l.FrameSliderPos());
    SetSliderRange(m_pKeySlider, 1, l.KeySliderMax(), l.KeySliderPos());
}

void CTlboxMoveableAnim::ShowValues() {
    const CTlboxMoveableAnimLogic& l = m_logic;
    const std::vector<std::string>& items = l.ListItems();
    bool same = m_pList->GetCount() == items.size();
    for (size_t i = 0; same && i < items.size(); ++i) same = m_pList->GetString(unsigned(i)) == ToWx(items[i]);
    if (!same) {
        wxArrayString texts;
        for (const std::string& item : items) texts.Add(ToWx(item));
        m_pList->Set(texts);
    }
    if (m_pList->GetSelection() != l.ListSelection()) m_pList->SetSelection(l.ListSelection());
    m_pList->Enable(l.IsEnabled());

    SetText(m_pCurrentAnim, l.CurrentAnimText());
    SetText(m_pFramerate, IntText(long(l.Framerate())));
    m_pStateId->ShowValue(l.StateIdText());
    m_pNextAnim->ShowValue(IntText(long(l.NextAnim())));
    m_pNextFrame->ShowValue(IntText(long(l.NextFrame())));
    m_pSpeedLow->ShowValue(l.SpeedLowText());
    m_pSpeedHigh->ShowValue(l.SpeedHighText());
    m_pAcceleration->ShowValue(l.AccelerationText());
    // The values belong to the playing animation: nothing to edit while none plays.
    const bool playing = l.IsEnabled() && l.GetCurrentAnim() != 0;
    for (CTlboxEdit* e : ValueEdits()) e->Enable(playing);

    SetText(m_pHex, l.HexText());
    SetText(m_pChain, l.ChainText());
    SetText(m_pAutomatic, l.AutomaticText());
    SetText(m_pInterpolate, l.InterpolateText());
    m_pInterpValue->ShowValue(l.InterpText());
    SetSliderRange(m_pReplaySlider, 1, 100, int(l.ReplaySpeed()));
    SetText(m_pReplaySpeed, IntText(long(l.ReplaySpeed())));
    ShowPlayback();
}

}  // namespace lithoscope
