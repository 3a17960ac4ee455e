#include "editor/toolbox/TlboxMoveableAnimLogic.h"

#include <cstdio>
#include <cstdlib>

#include "level/Anim.h"
#include "level/TrAnimData.h"
#include "level/TrMvb.h"

namespace lithoscope {

void CTlboxMoveableAnimLogic::Bind(CTrMvb* moveable) {
    moveable_ = moveable;
    currentAnim_ = 0;
    stateIdText_.clear();
    speedLowText_.clear();
    speedHighText_.clear();
    accelerationText_.clear();
    nextAnim_ = nextFrame_ = 0;
    speedLow_ = speedHigh_ = 0;
    acceleration_ = 0.0f;
}

bool CTlboxMoveableAnimLogic::IsEnabled() const {
    return moveable_ != nullptr && moveable_->animations != nullptr;
}

std::vector<std::string> CTlboxMoveableAnimLogic::ListItems() const {
    std::vector<std::string> items{"No animation"};
    if (!IsEnabled()) return items;
    for (int i = 0; i < moveable_->animations->count(); ++i) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "Animation #%.3d", i + 1);
        items.emplace_back(buf);
    }
    return items;
}

CTRAnimTrack* CTlboxMoveableAnimLogic::Current() const {
    if (!IsEnabled() || currentAnim_ <= 0) return nullptr;
    return dynamic_cast<CTRAnimTrack*>(moveable_->animations->GetTrack(currentAnim_ - 1));
}

void CTlboxMoveableAnimLogic::SetAnim(int index) {
    if (!IsEnabled() || index < 0 || index >= moveable_->animations->count()) return;
    if (currentAnim_ == index + 1) return;
    currentAnim_ = index + 1;
    int next = -1, frame = -1;
    moveable_->animations->GetNext(&next, &frame, index);
    nextAnim_ = uint32_t(next + 1);
    nextFrame_ = uint32_t(frame + 1);
    if (CTRAnimTrack* track = Current()) {
        stateIdText_ = std::to_string(long(track->stateId));
        speedLow_ = track->speedLow;
        speedHigh_ = track->speedHigh;
        acceleration_ = track->acceleration;
        ShowSpeedValues();
    }
}

void CTlboxMoveableAnimLogic::ShowSpeedValues() {
    speedLow_ = int16_t(uint16_t(speedLow_));
    char buf[32];
    if (hex_) {
        std::snprintf(buf, sizeof buf, "%.4X", unsigned(uint16_t(speedLow_)));
    } else {
        std::snprintf(buf, sizeof buf, "%ld", long(speedLow_));
    }
    speedLowText_ = buf;
    speedHighText_ = std::to_string(long(int16_t(uint16_t(speedHigh_))));
    std::snprintf(buf, sizeof buf, "%f", double(acceleration_));
    accelerationText_ = buf;
}

void CTlboxMoveableAnimLogic::WriteSpeeds() {
    CTRAnimTrack* track = Current();
    if (!track) return;
    track->speedLow = int16_t(uint16_t(speedLow_));
    track->speedHigh = speedHigh_;
    track->acceleration = acceleration_;
}

void CTlboxMoveableAnimLogic::SetStateIdText(const std::string& text) {
    CTRAnimTrack* track = Current();
    if (!track) return;
    track->stateId = int32_t(std::strtol(text.c_str(), nullptr, 10));
    stateIdText_ = std::to_string(long(track->stateId));
}

void CTlboxMoveableAnimLogic::SetSpeedLowText(const std::string& text) {
    if (!Current()) return;
    if (hex_) {
        unsigned value = 0;
        if (std::sscanf(text.c_str(), "%x", &value) == 1) speedLow_ = int32_t(value);
        WriteSpeeds();
        ShowSpeedValues();
    } else {
        speedLow_ = int32_t(std::strtol(text.c_str(), nullptr, 10));
        WriteSpeeds();
    }
}

void CTlboxMoveableAnimLogic::SetSpeedHighText(const std::string& text) {
    if (!Current()) return;
    speedHigh_ = int32_t(std::strtol(text.c_str(), nullptr, 10));
    WriteSpeeds();
}

void CTlboxMoveableAnimLogic::SetAccelerationText(const std::string& text) {
    if (!Current()) return;
    acceleration_ = float(std::strtod(text.c_str(), nullptr));
    WriteSpeeds();
}

bool CTlboxMoveableAnimLogic::SetNextAnim(uint32_t value) {
    if (!Current()) return false;
    CAnimMgr& mgr = *moveable_->animations;
    if (value > uint32_t(mgr.count())) return false;
    mgr.SetNext(uint32_t(currentAnim_ - 1), int(value) - 1, -1);
    nextAnim_ = value;
    return true;
}

bool CTlboxMoveableAnimLogic::SetNextFrame(uint32_t value) {
    if (!Current()) return false;
    CAnimMgr& mgr = *moveable_->animations;
    if (value > 0) {
        int next = -1, frame = -1;
        mgr.GetNext(&next, &frame, currentAnim_ - 1);
        const CAnimTrack* target = mgr.GetTrack(next);
        if (!target || value > uint32_t(target->frameCount)) return false;
    }
    mgr.SetNext(uint32_t(currentAnim_ - 1), -1, int(value) - 1);
    nextFrame_ = value;
    return true;
}

void CTlboxMoveableAnimLogic::ToggleHex() {
    hex_ = !hex_;
    ShowSpeedValues();
}

}  // namespace lithoscope
