#include "editor/view3d/KeyState.h"

namespace lithoscope {

CKeyState& CKeyState::Instance() {
    static CKeyState state;
    return state;
}

void CKeyState::SetKeyboard(std::unique_ptr<IKeyboard> keyboard) { keyboard_ = std::move(keyboard); }

void CKeyState::KeyDown(int keyCode, long eventTime) {
    State& s = keys_[keyCode];
    s.down = true;
    if (eventTime != 0 && eventTime == s.pressTime) return;  // this press was heard already
    s.presses = PressedNow(s) ? s.presses + 1 : 1;
    s.pressTick = tick_;
    s.pressTime = eventTime;
}

void CKeyState::KeyUp(int keyCode) {
    auto it = keys_.find(keyCode);
    if (it != keys_.end()) it->second.down = false;
}

void CKeyState::BeginTick(bool keyboardOurs) {
    if (!keyboardOurs) {
        Clear();
        return;
    }
    ++tick_;
    if (keyboard_) keyboard_->Read();
    for (auto it = keys_.begin(); it != keys_.end();) {
        State& s = it->second;
        if (s.down && keyboard_ && !keyboard_->IsDown(it->first)) s.down = false;
        if (!PressedNow(s)) s.presses = 0;
        it = s.down || s.presses ? std::next(it) : keys_.erase(it);
    }
}

bool CKeyState::Poll(int keyCode) {
    auto it = keys_.find(keyCode);
    if (it == keys_.end()) return false;
    const bool result = it->second.down || PressedNow(it->second);
    it->second.presses = 0;
    return result;
}

bool CKeyState::PollPressed(int keyCode) {
    auto it = keys_.find(keyCode);
    if (it == keys_.end()) return false;
    State& s = it->second;
    if (!PressedNow(s)) {
        s.presses = 0;
        return false;
    }
    // The presses left count in the next tick as if they had come in this one.
    if (--s.presses > 0) s.pressTick = tick_;
    return true;
}

bool CKeyState::IsDown(int keyCode) const {
    auto it = keys_.find(keyCode);
    return it != keys_.end() && it->second.down;
}

void CKeyState::Clear() { keys_.clear(); }

}  // namespace lithoscope
