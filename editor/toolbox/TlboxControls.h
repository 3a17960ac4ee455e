#pragma once
// Controls the toolbox pages share: edits that hand their text over when they lose the
// focus (or on Enter), value texts of a fixed width, slider and button helpers, and the
// pictures of the list pages' buttons.
#include <functional>
#include <string>

#include <wx/bitmap.h>
#include <wx/button.h>
#include <wx/slider.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

class wxSizer;

namespace lithoscope {

// Runs an edit of the level; the messages it shows wait until the current event is over
// (a message box inside a focus change would fight over the focus).
void RunDeferringMessages(const std::function<void()>& edit);

// A single-line edit. With a commit handler, text the user changed is handed over when
// the edit loses the focus or gets Enter.
class CTlboxEdit : public wxTextCtrl {
public:
    CTlboxEdit(wxWindow* parent, int width, std::function<void(const std::string&)> commit = {});
    std::string Text() const;
    // Shows a value; text the user is typing here is left alone.
    void ShowValue(const std::string& text);
    // Hands the typed text over now (as losing the focus would).
    void Commit();

private:
    std::function<void(const std::string&)> commit_;
};

// A static text that shows values up to the width of sample.
wxStaticText* ValueText(wxWindow* parent, const char* sample, long style = 0);

// A static text as wide as sample, or wider when its text needs it: a name always shows
// whole.
class CTlboxName : public wxStaticText {
public:
    CTlboxName(wxWindow* parent, const char* sample);
    // Sets the text; the page lays out again when the width the text needs changes.
    void ShowText(const std::string& value);

private:
    int sampleWidth_;
};
// A label in front of a control.
wxStaticText* Label(wxWindow* parent, const char* text);
// Sets a text only when it differs (no flicker while playback reports every frame).
void SetText(wxStaticText* text, const std::string& value);
void SetText(wxButton* button, const std::string& value);
// A slider of range [min, max] at position; a range of one value is shown disabled.
void SetSliderRange(wxSlider* slider, int min, int max, int position, bool enabled = true);
// Calls act(position) on the scroll codes a page acts on: page steps and the thumb (line
// steps and the end of a scroll move the slider only).
void OnPageOrThumb(wxSlider* slider, std::function<void(int position)> act);
// Label and control side by side, centred vertically.
wxSizer* LabelAndControl(wxWindow* parent, const char* label, wxWindow* control);

// A button that switches between two texts: as wide as the wider one.
wxButton* TwoStateButton(wxWindow* parent, const char* text, const char* other);

// Pictures of the buttons of the list pages.
enum class TlboxPicture { Add, Delete, Up, Down, Modify };
wxBitmap ToolboxButtonBitmap(TlboxPicture picture);
// A picture button with its tool tip.
wxButton* PictureButton(wxWindow* parent, TlboxPicture picture, const char* tip);

}  // namespace lithoscope
