#include "editor/toolbox/TlboxControls.h"

#include <algorithm>
#include <vector>

#include <wx/app.h>
#include <wx/bmpbuttn.h>
#include <wx/dcmemory.h>
#include <wx/sizer.h>

#include "editor/common/WxStrings.h"
#include "platform/Messages.h"

namespace lithoscope {

namespace {

// Keeps what an edit shows, to be shown once the edit is over.
class CCollectedMessages : public IMessageBackend {
public:
    MsgAnswer Show(const MessageRequest& request) override {
        shown.push_back(request);
        return request.safeAnswer;
    }
    std::vector<MessageRequest> shown;
};

}  // namespace

void RunDeferringMessages(const std::function<void()>& edit) {
    CCollectedMessages collected;
    {
        ScopedMessageBackend scope(&collected);
        edit();
    }
    for (const MessageRequest& r : collected.shown) {
        auto show = [r] { ShowMessage(r.text, r.caption, r.buttons, r.icon, r.safeAnswer); };
        if (wxTheApp)
            wxTheApp->CallAfter(show);
        else
            show();
    }
}

// ---- CTlboxEdit ----

CTlboxEdit::CTlboxEdit(wxWindow* parent, int width, std::function<void(const std::string&)> commit)
    : wxTextCtrl(parent, wxID_ANY, wxEmptyString, wxDefaultPosition, wxSize(width, -1),
                 commit ? wxTE_PROCESS_ENTER : 0),
      commit_(std::move(commit)) {
    if (!commit_) return;
    Bind(wxEVT_KILL_FOCUS, [this](wxFocusEvent& e) {
        e.Skip();
        Commit();
    });
    Bind(wxEVT_TEXT_ENTER, [this](wxCommandEvent&) { Commit(); });
}

std::string CTlboxEdit::Text() const { return FromWx(GetValue()); }

void CTlboxEdit::ShowValue(const std::string& text) {
    if (IsModified() && HasFocus()) return;
    const wxString value = ToWx(text);
    if (GetValue() != value) ChangeValue(value);
    DiscardEdits();
}

void CTlboxEdit::Commit() {
    if (!commit_ || !IsModified()) return;
    // A focus change while the window goes: the level may be gone already.
    for (const wxWindow* w = this; w; w = w->GetParent())
        if (w->IsBeingDeleted()) return;
    const std::string text = Text();
    DiscardEdits();
    RunDeferringMessages([&] { commit_(text); });
}

// ---- texts, sliders ----

wxStaticText* ValueText(wxWindow* parent, const char* sample, long style) {
    auto* text = new wxStaticText(parent, wxID_ANY, wxEmptyString, wxDefaultPosition, wxDefaultSize,
                                  style | wxST_NO_AUTORESIZE);
    const wxSize extent = text->GetTextExtent(sample);
    text->SetMinSize(wxSize(extent.x + 4, extent.y));
    return text;
}

CTlboxName::CTlboxName(wxWindow* parent, const char* sample)
    : wxStaticText(parent, wxID_ANY, wxEmptyString, wxDefaultPosition, wxDefaultSize, wxST_NO_AUTORESIZE),
      sampleWidth_(GetTextExtent(sample).x + 4) {
    SetMinSize(wxSize(sampleWidth_, GetTextExtent(sample).y));
}

void CTlboxName::ShowText(const std::string& value) {
    const wxString v = ToWx(value);
    if (GetLabelText() == v) return;
    SetLabelText(v);
    const int width = std::max(sampleWidth_, GetTextExtent(v).x + 4);
    if (width == GetMinSize().x) return;
    SetMinSize(wxSize(width, GetMinSize().y));
    if (wxWindow* page = GetParent()) {
        page->Layout();
        page->FitInside();
    }
}

wxStaticText* Label(wxWindow* parent, const char* text) { return new wxStaticText(parent, wxID_ANY, text); }

void SetText(wxStaticText* text, const std::string& value) {
    const wxString v = ToWx(value);
    if (text && text->GetLabelText() != v) text->SetLabelText(v);
}

void SetText(wxButton* button, const std::string& value) {
    const wxString v = ToWx(value);
    if (button && button->GetLabelText() != v) button->SetLabelText(v);
}

void SetSliderRange(wxSlider* slider, int min, int max, int position, bool enabled) {
    if (!slider) return;
    if (max <= min) {
        if (slider->GetMin() != min || slider->GetMax() != min + 1) slider->SetRange(min, min + 1);
        if (slider->GetValue() != min) slider->SetValue(min);
        if (slider->IsEnabled()) slider->Enable(false);
        return;
    }
    if (slider->GetMin() != min || slider->GetMax() != max) slider->SetRange(min, max);
    position = std::clamp(position, min, max);
    if (slider->GetValue() != position) slider->SetValue(position);
    if (slider->IsEnabled() != enabled) slider->Enable(enabled);
}

void OnPageOrThumb(wxSlider* slider, std::function<void(int position)> act) {
    auto handler = [act](wxScrollEvent& e) {
        e.Skip();
        act(e.GetPosition());
    };
    for (const auto& type : {wxEVT_SCROLL_PAGEUP, wxEVT_SCROLL_PAGEDOWN, wxEVT_SCROLL_THUMBTRACK,
                             wxEVT_SCROLL_THUMBRELEASE})
        slider->Bind(type, handler);
}

wxSizer* LabelAndControl(wxWindow* parent, const char* label, wxWindow* control) {
    auto* row = new wxBoxSizer(wxHORIZONTAL);
    row->Add(Label(parent, label), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 4);
    row->Add(control, 0, wxALIGN_CENTER_VERTICAL);
    return row;
}

wxButton* TwoStateButton(wxWindow* parent, const char* text, const char* other) {
    auto* button = new wxButton(parent, wxID_ANY, other, wxDefaultPosition, wxDefaultSize, wxBU_EXACTFIT);
    const int otherWidth = button->GetBestSize().x;
    button->SetLabel(text);
    button->SetMinSize(wxSize(std::max(otherWidth, button->GetBestSize().x) + 8, -1));
    return button;
}

// ---- button pictures ----

wxBitmap ToolboxButtonBitmap(TlboxPicture picture) {
    const wxColour key(255, 0, 255);
    wxBitmap bitmap(16, 16);
    {
        wxMemoryDC dc(bitmap);
        dc.SetBackground(wxBrush(key));
        dc.Clear();
        switch (picture) {
            case TlboxPicture::Add:
                dc.SetPen(*wxTRANSPARENT_PEN);
                dc.SetBrush(wxBrush(wxColour(0, 128, 0)));
                dc.DrawRectangle(7, 2, 3, 12);
                dc.DrawRectangle(2, 7, 12, 3);
                break;
            case TlboxPicture::Delete:
                dc.SetPen(wxPen(wxColour(192, 0, 0), 3));
                dc.DrawLine(3, 3, 13, 13);
                dc.DrawLine(13, 3, 3, 13);
                break;
            case TlboxPicture::Up:
            case TlboxPicture::Down: {
                const bool up = picture == TlboxPicture::Up;
                const wxPoint arrow[3] = {{2, up ? 11 : 4}, {14, up ? 11 : 4}, {8, up ? 4 : 11}};
                dc.SetPen(wxPen(wxColour(0, 0, 128)));
                dc.SetBrush(wxBrush(wxColour(0, 0, 128)));
                dc.DrawPolygon(3, arrow);
                break;
            }
            case TlboxPicture::Modify: {
                dc.SetPen(wxPen(wxColour(0, 128, 0), 3));
                dc.DrawLine(2, 8, 6, 12);
                dc.DrawLine(6, 12, 14, 3);
                break;
            }
        }
    }
    bitmap.SetMask(new wxMask(bitmap, key));
    return bitmap;
}

wxButton* PictureButton(wxWindow* parent, TlboxPicture picture, const char* tip) {
    auto* button = new wxBitmapButton(parent, wxID_ANY, ToolboxButtonBitmap(picture));
    button->SetToolTip(tip);
    return button;
}

}  // namespace lithoscope
