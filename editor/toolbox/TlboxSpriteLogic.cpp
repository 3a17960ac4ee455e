#include "editor/toolbox/TlboxSpriteLogic.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "level/TrLstSpr.h"

namespace lithoscope {

void CTlboxSpriteLogic::Bind(CTrLstSpr* sprites, const std::string& label,
                             TlboxSpriteDisplay* display) {
    const bool changed = sprites != lastBound_;
    sprites_ = sprites;
    display_ = sprites ? display : nullptr;
    label_ = sprites ? label : std::string();
    if (sprites) lastBound_ = sprites;
    Update(changed && sprites != nullptr);
}

void CTlboxSpriteLogic::Update(bool force) {
    title_ = label_;
    objectIdText_.clear();
    if (sprites_) {
        char buf[64];
        std::snprintf(buf, sizeof buf, " (%ld sprites)", long(sprites_->sprites.size()));
        title_ += buf;
        objectIdText_ = std::to_string(long(sprites_->objectId));
    }
    if (force && sprites_) {
        speed_ = 20;
        if (display_) {
            display_->border = showBorder_;
            display_->spriteRate = float(speed_);
            display_->animated = animated_;
            display_->rowWidth = width_;
        }
    }
}

void CTlboxSpriteLogic::SetObjectIdText(const std::string& text) {
    if (!sprites_) return;
    const long value = std::strtol(text.c_str(), nullptr, 10);
    sprites_->objectId = int32_t(value);
    objectIdText_ = std::to_string(long(sprites_->objectId));
}

void CTlboxSpriteLogic::SetSpeed(long position) {
    if (!sprites_) return;
    if (position < 0) position = 0;
    if (position > 100) position = 100;
    speed_ = uint32_t(position);
    if (display_) display_->spriteRate = float(speed_);
}

void CTlboxSpriteLogic::SetShowBorder(bool on) {
    if (!sprites_) return;
    showBorder_ = on;
    if (display_) display_->border = on;
}

void CTlboxSpriteLogic::SetDisplayMode(bool animated) {
    if (!sprites_) return;
    animated_ = animated;
    if (display_) display_->animated = animated;
}

std::string CTlboxSpriteLogic::SetWidthText(const std::string& text) {
    if (!sprites_) return std::string();
    const char* begin = text.c_str();
    while (*begin == ' ' || *begin == '\t') ++begin;
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(begin, &end);
    if (end == begin || errno == ERANGE || !std::isfinite(value)) return "Enter a number.";
    while (*end == ' ' || *end == '\t') ++end;
    if (*end != '\0') return "Enter a number.";
    if (value < 0.0 || value > 1000000.0) return "Enter a number between 0 and 1000000.";
    width_ = float(value);
    if (display_) display_->rowWidth = width_;
    return std::string();
}

}  // namespace lithoscope
