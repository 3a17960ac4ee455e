#include "editor/toolbox/TlboxSpriteLogic.h"

#include "level/TrLstSpr.h"
#include "platform/Messages.h"

namespace lithoscope {

void CTlboxSpriteLogic::Bind(CTrLstSpr* sprites, const std::string& label,
                             ITlboxSpriteDisplay* display) {
    sprites_ = sprites;
    display_ = display;
    label_ = label;
}

void CTlboxSpriteLogic::Update(bool force) {
    title_ = label_;
    objectIdText_.clear();
    if (sprites_) {
        title_ += StrFormat(" (%ld sprites)", long(sprites_->sprites.size()));
        objectIdText_ = IntText(long(sprites_->objectId));
    }
    if (!force) return;
    speed_ = 20;
    if (display_) {
        display_->SetSpriteBorder(showBorder_);
        display_->SetSpriteRate(float(speed_));
        display_->SetSpriteDisplayMode(animated_);
        display_->SetSpriteRowWidth(width_);
    }
}

bool CTlboxSpriteLogic::SetObjectIdText(const std::string& text) {
    return sprites_ && WriteObjectId(sprites_->objectId, text, objectIdText_);
}

void CTlboxSpriteLogic::SetSpeed(long position) {
    if (position < 0) position = 0;
    if (position > 100) position = 100;
    speed_ = uint32_t(position);
    if (display_) display_->SetSpriteRate(float(speed_));
}

void CTlboxSpriteLogic::SetShowBorder(bool on) {
    showBorder_ = on;
    if (display_) display_->SetSpriteBorder(on);
}

void CTlboxSpriteLogic::SetDisplayMode(bool animated) {
    animated_ = animated;
    if (display_) display_->SetSpriteDisplayMode(animated);
}

bool CTlboxSpriteLogic::SetWidthText(const std::string& text) {
    float value = width_;
    if (!ReadFloatEdit(text, &value, 0.0f, 1000000.0f)) return false;
    width_ = value;
    if (display_) display_->SetSpriteRowWidth(width_);
    return true;
}

}  // namespace lithoscope
