#pragma once
// What the sprite toolbox page reads from and writes to its bound sprite list, and the
// display values it hands to the sprite pane's OpenGL window; the wx page only copies
// these values to its controls.
#include <cstdint>
#include <string>

#include "editor/common/ToolboxInterfaces.h"
#include "editor/toolbox/TlboxLogicBase.h"

namespace lithoscope {

class CTrLstSpr;

class CTlboxSpriteLogic : public CTlboxLogicBase {
public:
    // A sprite list (may be null) with its node label and the pane's window (null while
    // the pane has none).
    void Bind(CTrLstSpr* sprites, const std::string& label, ITlboxSpriteDisplay* display);
    // With force (another list): the rate goes back to 20 and the page's rate, border,
    // mode and width are handed to the window.
    void Update(bool force);

    bool IsEnabled() const { return sprites_ != nullptr; }
    // The label and " (%ld sprites)".
    const std::string& Title() const { return title_; }
    const std::string& ObjectIdText() const { return objectIdText_; }
    uint32_t Speed() const { return speed_; }  // slider 0..100
    float Width() const { return width_; }
    bool ShowBorder() const { return showBorder_; }
    bool Animated() const { return animated_; }

    // Focus lost on "Object Id:": the leading decimal integer (none gives 0); the
    // document is modified. True when the id changed.
    bool SetObjectIdText(const std::string& text);
    // Slider position (clamped to 0..100).
    void SetSpeed(long position);
    void SetShowBorder(bool on);
    // ITlboxSpriteItfMain, and the two radio buttons.
    void SetDisplayMode(bool animated);
    // Focus lost on "Width:": a number from 0 to 1000000; other text is refused with its
    // prompt and the width stays. True when taken.
    bool SetWidthText(const std::string& text);

private:
    CTrLstSpr* sprites_ = nullptr;
    ITlboxSpriteDisplay* display_ = nullptr;
    std::string label_;
    std::string title_;
    std::string objectIdText_;
    uint32_t speed_ = 20;
    float width_ = 256.0f;
    bool showBorder_ = false;
    bool animated_ = true;
};

}  // namespace lithoscope
