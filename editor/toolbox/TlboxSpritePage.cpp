#include "editor/toolbox/TlboxSpritePage.h"

#include <wx/checkbox.h>
#include <wx/radiobut.h>
#include <wx/sizer.h>
#include <wx/slider.h>
#include <wx/statbox.h>

#include "editor/toolbox/TlboxControls.h"
#include "editor/tree/NodeHandlers.h"
#include "level/TrLstSpr.h"
#include "platform/Messages.h"

namespace lithoscope {

CTlboxSpriteMain::CTlboxSpriteMain(wxWindow* sheet, CToolboxBase* owner)
    : CToolboxItfBase(sheet, owner, "Sprite"), m_link(*owner) {
    m_logic.SetModifiedHandler([owner] { owner->MarkModified(); });
    m_pTitle = ValueText(this, "Sprite sequence name of some length (0000 sprites)");
    m_pObjectId = NewObjectIdEdit(
        this, 64, [this](const std::string& text) { return m_logic.SetObjectIdText(text); },
        [this] { ShowValues(); });
    auto* display = new wxStaticBoxSizer(wxHORIZONTAL, this, "Display type");
    m_pAnimated = new wxRadioButton(display->GetStaticBox(), wxID_ANY, "Animated", wxDefaultPosition,
                                    wxDefaultSize, wxRB_GROUP);
    m_pList = new wxRadioButton(display->GetStaticBox(), wxID_ANY, "List");
    display->Add(m_pAnimated, 0, wxRIGHT, 12);
    display->Add(m_pList);
    m_pSpeedSlider = new wxSlider(this, wxID_ANY, 20, 0, 100, wxDefaultPosition, wxSize(160, -1));
    m_pSpeed = ValueText(this, "000", wxALIGN_RIGHT);
    m_pBorder = new wxCheckBox(this, wxID_ANY, "Show border");
    m_pWidth = new CTlboxEdit(this, 90, [this](const std::string& text) {
        m_logic.SetWidthText(text);
        ShowValues();
    });

    auto* left = new wxBoxSizer(wxVERTICAL);
    left->Add(m_pTitle, 0, wxBOTTOM, 6);
    left->Add(LabelAndControl(this, "Object Id:", m_pObjectId), 0, wxBOTTOM, 6);
    left->Add(display);
    auto* speed = new wxBoxSizer(wxHORIZONTAL);
    speed->Add(Label(this, "Speed:"), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 4);
    speed->Add(m_pSpeedSlider, 0, wxALIGN_CENTER_VERTICAL);
    speed->Add(m_pSpeed, 0, wxALIGN_CENTER_VERTICAL | wxLEFT, 4);
    speed->Add(Label(this, "fps"), 0, wxALIGN_CENTER_VERTICAL | wxLEFT, 4);
    auto* right = new wxBoxSizer(wxVERTICAL);
    right->Add(speed, 0, wxBOTTOM, 6);
    right->Add(m_pBorder, 0, wxBOTTOM, 6);
    right->Add(LabelAndControl(this, "Width:", m_pWidth));
    auto* page = new wxBoxSizer(wxHORIZONTAL);
    page->Add(left, 0, wxRIGHT, 24);
    page->Add(right);
    FinishLayout(page);

    auto mode = [this](wxCommandEvent&) {
        m_logic.SetDisplayMode(m_pAnimated->GetValue());
        ShowValues();
    };
    m_pAnimated->Bind(wxEVT_RADIOBUTTON, mode);
    m_pList->Bind(wxEVT_RADIOBUTTON, mode);
    OnPageOrThumb(m_pSpeedSlider, [this](int position) {
        m_logic.SetSpeed(position);
        ShowValues();
    });
    m_pBorder->Bind(wxEVT_CHECKBOX, [this](wxCommandEvent&) {
        m_logic.SetShowBorder(m_pBorder->GetValue());
        ShowValues();
    });
    ShowValues();
}

void CTlboxSpriteMain::Update(bool force) {
    auto* node = dynamic_cast<CHandleSprite*>(m_pOwner->GetNode());
    const bool pane = BoundSpritePane(*m_pOwner) != nullptr;
    m_logic.Bind(node ? node->Sprite() : nullptr, node ? node->GetName() : "", pane ? &m_link : nullptr);
    m_logic.Update(force);
    ShowValues();
}

void CTlboxSpriteMain::SetDisplayMode(bool animated) {
    m_logic.SetDisplayMode(animated);
    ShowValues();
}

void CTlboxSpriteMain::ShowValues() {
    SetText(m_pTitle, m_logic.Title());
    m_pObjectId->ShowValue(m_logic.ObjectIdText());
    m_pObjectId->Enable(m_logic.IsEnabled());
    (m_logic.Animated() ? m_pAnimated : m_pList)->SetValue(true);
    SetSliderRange(m_pSpeedSlider, 0, 100, int(m_logic.Speed()));
    SetText(m_pSpeed, IntText(long(m_logic.Speed())));
    m_pBorder->SetValue(m_logic.ShowBorder());
    m_pWidth->ShowValue(StrFormat("%g", double(m_logic.Width())));
}

}  // namespace lithoscope
