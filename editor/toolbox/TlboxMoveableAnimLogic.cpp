#include "editor/toolbox/TlboxMoveableAnimLogic.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "level/Anim.h"
#include "level/TrAnimData.h"
#include "level/TrMvb.h"
#include "platform/Messages.h"

namespace lithoscope {

namespace {

// Levels store state ids in 16 bits.
constexpr int32_t kMaxStateId = 0xFFFF;
// The speed words and the acceleration's whole part are 16-bit signed words in a level.
constexpr int32_t kMinWord = -32768;
constexpr int32_t kMaxWord = 32767;

// The leading decimal integer of text (none gives 0) into *out when a 16-bit word holds
// it; otherwise a message naming what was typed.
bool ReadWordText(const std::string& text, const char* what, int32_t* out) {
    const int32_t value = ReadLeadingInt(text);
    if (value < kMinWord || value > kMaxWord) {
        ShowToolboxError(StrFormat("Invalid %s (%ld) : the %s goes from %ld to %ld !", what,
                                   long(value), what, long(kMinWord), long(kMaxWord)));
        return false;
    }
    *out = value;
    return true;
}

}  // namespace

void CTlboxMoveableAnimLogic::Bind(CTrMvb* moveable, IAnimPlayback* playback) {
    moveable_ = moveable;
    playback_ = playback;
}

bool CTlboxMoveableAnimLogic::IsEnabled() const {
    return moveable_ != nullptr && moveable_->animations != nullptr;
}

int CTlboxMoveableAnimLogic::AnimationCount() const {
    return IsEnabled() ? moveable_->animations->count() : 0;
}

CTRAnimTrack* CTlboxMoveableAnimLogic::Current() const {
    if (!IsEnabled()) return nullptr;
    return dynamic_cast<CTRAnimTrack*>(moveable_->animations->CurrentTrack());
}

void CTlboxMoveableAnimLogic::Update(bool force) {
    if (playback_) {
        playback_->SetAutomaticPlayback(automatic_);
        playback_->SetInterpolate(interpolate_);
        playback_->SetChainAnimations(chain_, false);
    }
    if (!force) return;
    items_.assign(1, "No animation");
    for (int i = 0; i < AnimationCount(); ++i)
        items_.push_back(StrFormat("Animation #%.3d", i + 1));
    ClearPlaying();
    replaySpeed_ = 50;
    selection_ = 0;
    if (playback_) {
        playback_->SetCaption("No animation");
        playback_->SetAnimFraction(0.0f);
        playback_->SetReplaySpeed(0.5f);
    }
}

void CTlboxMoveableAnimLogic::ClearPlaying() {
    for (std::string* text :
         {&currentAnimText_, &frameText_, &frameCountText_, &keyText_, &keyCountText_,
          &stateIdText_, &speedLowText_, &speedHighText_, &accelerationText_})
        text->clear();
    framerate_ = 0;
    nextAnim_ = nextFrame_ = 0;
    frameMax_ = framePos_ = keyMax_ = keyPos_ = 0;
    speedLow_ = speedHigh_ = 0;
    acceleration_ = 0.0f;
    interpText_ = StrFormat("%f", 0.0);
}

void CTlboxMoveableAnimLogic::SelectAnimation(int row) {
    if (row < 0 || row >= int(items_.size())) return;
    selection_ = row;
    OnAnimationSelected();
}

void CTlboxMoveableAnimLogic::OnAnimationSelected() {
    if (selection_ < 0 || selection_ >= int(items_.size()) || !moveable_) return;
    if (!playback_) return;
    playback_->StartAnimPlayback(selection_ - 1);
    playback_->SetCaption(items_[size_t(selection_)]);
    // Stopped: nothing plays, so no values of an animation are shown.
    if (selection_ == 0) ClearPlaying();
}

bool CTlboxMoveableAnimLogic::OnKeyTick(bool f5Pressed, bool f6Pressed) {
    if (!moveable_) return false;
    int sel = selection_;
    const int n = int(items_.size()) - 1;
    if (f6Pressed && sel < n)
        ++sel;
    else if (f5Pressed && sel > 0)
        --sel;
    else
        return false;
    SelectAnimation(sel);
    return true;
}

void CTlboxMoveableAnimLogic::SetAnim(int index) {
    if (index < 0 || index >= AnimationCount() || selection_ == 0) return;
    if (!currentAnimText_.empty() && GetCurrentAnim() == index + 1) return;
    currentAnimText_ = IntText(long(index) + 1);
    ShowNext();
    if (CTRAnimTrack* track = Current()) {
        stateIdText_ = IntText(long(track->stateId));
        speedLow_ = track->speedLow;
        speedHigh_ = track->speedHigh;
        acceleration_ = track->acceleration;
        ShowSpeedValues();
    }
}

void CTlboxMoveableAnimLogic::ShowNext() {
    if (!IsEnabled()) return;
    int next = -1, frame = -1;
    moveable_->animations->GetNext(&next, &frame, -1);
    nextAnim_ = uint32_t(next + 1);
    nextFrame_ = uint32_t(frame + 1);
}

void CTlboxMoveableAnimLogic::SetFrame(int current, int count) {
    if (!IsPlaying()) return;
    frameText_ = IntText(long(current) + 1);
    frameCountText_ = StrFormat("/ %ld", long(count));
    frameMax_ = count;
    framePos_ = current + 1;
}

void CTlboxMoveableAnimLogic::SetKey(int current, int count) {
    if (!IsPlaying()) return;
    keyText_ = IntText(long(current) + 1);
    keyCountText_ = StrFormat("/ %ld", long(count));
    keyMax_ = count;
    keyPos_ = current + 1;
}

void CTlboxMoveableAnimLogic::SetFramerate(int n) {
    if (IsPlaying()) framerate_ = uint32_t(n);
}

void CTlboxMoveableAnimLogic::SetNext(int anim, int frame) {
    if (!IsPlaying()) return;
    nextAnim_ = uint32_t(anim + 1);
    nextFrame_ = uint32_t(frame + 1);
}

void CTlboxMoveableAnimLogic::SetValue(float value) {
    if (!IsPlaying()) return;
    interpText_ = StrFormat("%f", double(value));
}

int CTlboxMoveableAnimLogic::GetCurrentAnim() const {
    return int(std::strtol(currentAnimText_.c_str(), nullptr, 10));
}

void CTlboxMoveableAnimLogic::ShowSpeedValues() {
    speedLow_ = int16_t(uint16_t(speedLow_));
    speedLowText_ =
        hex_ ? StrFormat("%.4X", unsigned(uint16_t(speedLow_))) : IntText(long(speedLow_));
    speedHighText_ = IntText(long(int16_t(uint16_t(speedHigh_))));
    accelerationText_ = StrFormat("%f", double(acceleration_));
}

void CTlboxMoveableAnimLogic::WriteSpeeds() {
    CTRAnimTrack* track = Current();
    if (!track) return;
    const int16_t low = int16_t(uint16_t(speedLow_));
    const bool changed = track->speedLow != low || track->speedHigh != speedHigh_ ||
                         track->acceleration != acceleration_;
    track->speedLow = low;
    track->speedHigh = speedHigh_;
    track->acceleration = acceleration_;
    if (changed) MarkModified();
}

void CTlboxMoveableAnimLogic::ReloadSpeeds() {
    if (const CTRAnimTrack* track = Current()) {
        speedLow_ = track->speedLow;
        speedHigh_ = track->speedHigh;
        acceleration_ = track->acceleration;
    }
    ShowSpeedValues();
}

void CTlboxMoveableAnimLogic::SetStateIdText(const std::string& text) {
    CTRAnimTrack* track = Current();
    if (!track) return;
    const int32_t value = ReadLeadingInt(text);
    if (value < 0 || value > kMaxStateId) {
        ShowToolboxError(StrFormat("Invalid state id (%ld) : a state id goes from 0 to %ld !",
                                   long(value), long(kMaxStateId)));
    } else if (track->stateId != value) {
        track->stateId = value;
        MarkModified();
    }
    stateIdText_ = IntText(long(track->stateId));
}

void CTlboxMoveableAnimLogic::SetSpeedLowText(const std::string& text) {
    if (!Current()) return;
    if (hex_) {
        unsigned value = 0;
        if (std::sscanf(text.c_str(), "%x", &value) == 1) {
            if (value > 0xFFFF) {
                ShowToolboxError(StrFormat(
                    "Invalid value (%X) : the value goes from 0000 to FFFF !", value));
            } else {
                speedLow_ = int32_t(value);
                WriteSpeeds();
            }
        }
    } else if (ReadWordText(text, "value", &speedLow_)) {
        WriteSpeeds();
    }
    ReloadSpeeds();
}

void CTlboxMoveableAnimLogic::SetSpeedHighText(const std::string& text) {
    if (!Current()) return;
    if (ReadWordText(text, "speed", &speedHigh_)) WriteSpeeds();
    ReloadSpeeds();
}

void CTlboxMoveableAnimLogic::SetAccelerationText(const std::string& text) {
    if (!Current()) return;
    const double value = std::strtod(text.c_str(), nullptr);
    // The level keeps it in 16.16 fixed point.
    if (!std::isfinite(value) || value < kMinWord || value >= kMaxWord + 1.0) {
        ShowToolboxError(StrFormat(
            "Invalid acceleration (%s) : the acceleration goes from %ld to %ld !", text.c_str(),
            long(kMinWord), long(kMaxWord)));
    } else {
        acceleration_ = float(value);
        WriteSpeeds();
    }
    ReloadSpeeds();
}

void CTlboxMoveableAnimLogic::SetNextAnimText(const std::string& text) {
    uint32_t value = nextAnim_;
    if (ReadUIntEdit(text, &value)) SetNextAnim(value);
}

void CTlboxMoveableAnimLogic::SetNextFrameText(const std::string& text) {
    uint32_t value = nextFrame_;
    if (ReadUIntEdit(text, &value)) SetNextFrame(value);
}

bool CTlboxMoveableAnimLogic::SetNextAnim(uint32_t value) {
    if (!Current()) return false;
    CAnimMgr& mgr = *moveable_->animations;
    if (value == 0 || value > uint32_t(mgr.count())) {
        ShowNext();
        if (value == 0) return false;
        ShowToolboxError(
            StrFormat("Invalid next animation (%lu) : there are only %ld animations "
                      "for this moveable !",
                      static_cast<unsigned long>(value), long(mgr.count())));
        return false;
    }
    int next = -1, frame = -1;
    mgr.GetNext(&next, &frame, -1);
    const CAnimTrack* target = mgr.GetTrack(int(value) - 1);
    // The kept next frame must lie within the new next animation.
    const int newFrame = target && uint32_t(frame) < target->frameCount ? -1 : 0;
    mgr.SetNext(uint32_t(mgr.current), int(value) - 1, newFrame);
    mgr.SetChain(chain_);
    ShowNext();
    MarkModified();
    return true;
}

bool CTlboxMoveableAnimLogic::SetNextFrame(uint32_t value) {
    if (!Current()) return false;
    CAnimMgr& mgr = *moveable_->animations;
    if (value == 0) {
        ShowNext();
        return false;
    }
    int next = -1, frame = -1;
    mgr.GetNext(&next, &frame, -1);
    const CAnimTrack* target = mgr.GetTrack(next);
    const uint32_t frames = target ? target->frameCount : 0;
    if (value > frames) {
        ShowToolboxError(StrFormat(
            "Invalid next frame (%lu) : the animation %ld has only %lu frames !",
            static_cast<unsigned long>(value), long(next) + 1, static_cast<unsigned long>(frames)));
        ShowNext();
        return false;
    }
    mgr.SetNext(uint32_t(mgr.current), -1, int(value) - 1);
    mgr.SetChain(chain_);
    ShowNext();
    MarkModified();
    return true;
}

void CTlboxMoveableAnimLogic::ToggleChain() {
    chain_ = !chain_;
    if (playback_) playback_->SetChainAnimations(chain_, true);
    OnAnimationSelected();
}

void CTlboxMoveableAnimLogic::ToggleAutomatic() {
    automatic_ = !automatic_;
    if (playback_) playback_->SetAutomaticPlayback(automatic_);
}

void CTlboxMoveableAnimLogic::ToggleInterpolate() {
    interpolate_ = !interpolate_;
    if (playback_) playback_->SetInterpolate(interpolate_);
}

void CTlboxMoveableAnimLogic::ToggleHex() {
    hex_ = !hex_;
    ShowSpeedValues();
}

void CTlboxMoveableAnimLogic::SetFramePosition(int position) {
    if (automatic_ || !playback_) return;
    playback_->SetAnimFrame(position - 1);
}

void CTlboxMoveableAnimLogic::SetKeyPosition(int position) {
    if (automatic_ || !playback_) return;
    playback_->SetAnimKey(position - 1);
}

void CTlboxMoveableAnimLogic::Step(bool up) {
    if (automatic_ || !playback_) return;
    playback_->StepAnimation(up ? 1 : -1);
}

void CTlboxMoveableAnimLogic::SetInterpText(const std::string& text) {
    float value = 0.0f;
    if (!ReadFloatEdit(text, &value, 0.0f, 1.0f)) return;
    interpText_ = StrFormat("%f", double(value));
    if (playback_) playback_->SetAnimFraction(value);
}

void CTlboxMoveableAnimLogic::SetReplayPosition(int position) {
    if (position < 1) position = 1;
    if (position > 100) position = 100;
    replaySpeed_ = uint32_t(position);
    if (playback_) playback_->SetReplaySpeed(float(position) / 100.0f);
}

}  // namespace lithoscope
