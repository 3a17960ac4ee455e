#pragma once
// What the sprite toolbox page reads from and writes to its bound sprite list and to the
// sprite pane's display values; the wx page only copies these values to its controls.
#include <cstdint>
#include <string>

namespace lithoscope {

class CTrLstSpr;

// Display values of the sprite pane's OpenGL window that the page sets.
struct TlboxSpriteDisplay {
    bool animated = true;
    float spriteRate = 20.0f;
    bool border = false;
    float rowWidth = 256.0f;
};

class CTlboxSpriteLogic {
public:
    // Binds a sprite list (may be null) with its node label and the pane's display values
    // (null while the pane has no window). A list other than the last bound resets the rate.
    void Bind(CTrLstSpr* sprites, const std::string& label, TlboxSpriteDisplay* display);
    void Update(bool force);

    bool IsEnabled() const { return sprites_ != nullptr; }
    const std::string& Title() const { return title_; }
    const std::string& ObjectIdText() const { return objectIdText_; }
    uint32_t Speed() const { return speed_; }
    float Width() const { return width_; }
    bool ShowBorder() const { return showBorder_; }
    bool Animated() const { return animated_; }

    // Focus lost on "Object Id:": decimal text, no number gives 0.
    void SetObjectIdText(const std::string& text);
    // Slider position (clamped to 0..100).
    void SetSpeed(long position);
    void SetShowBorder(bool on);
    void SetDisplayMode(bool animated);
    // Focus lost on "Width:": returns the prompt to show, empty when the value was taken.
    std::string SetWidthText(const std::string& text);

private:
    CTrLstSpr* sprites_ = nullptr;
    const CTrLstSpr* lastBound_ = nullptr;
    TlboxSpriteDisplay* display_ = nullptr;
    std::string label_;
    std::string title_;
    std::string objectIdText_;
    uint32_t speed_ = 20;
    float width_ = 256.0f;
    bool showBorder_ = false;
    bool animated_ = true;
};

}  // namespace lithoscope
