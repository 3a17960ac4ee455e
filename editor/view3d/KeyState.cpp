#include "editor/view3d/KeyState.h"

namespace lithoscope {

CKeyState& CKeyState::Instance() {
    static CKeyState state;
    return state;
}

void CKeyState::SetKeyboard(std::unique_ptr<IKeyboard> keyboard) { keyboard_ = std::move(keyboard); }

void CKeyState::KeyDown(int keyCode) {
    State& s = keys_[keyCode];
    s.down = true;
    s.pressed = true;
    s.pressTick = tick_;
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
        if (!PressedNow(s)) s.pressed = false;
        it = s.down || s.pressed ? std::next(it) : keys_.erase(it);
    }
}

bool CKeyState::Poll(int keyCode) {
    auto it = keys_.find(keyCode);
    if (it == keys_.end()) return false;
    const bool result = it->second.down || PressedNow(it->second);
    it->second.pressed = false;
    return result;
}

bool CKeyState::PollPressed(int keyCode) {
    auto it = keys_.find(keyCode);
    if (it == keys_.end()) return false;
    const bool result = PressedNow(it->second);
    it->second.pressed = false;
    return result;
}

bool CKeyState::IsDown(int keyCode) const {
    auto it = keys_.find(keyCode);
    return it != keys_.end() && it->second.down;
}

void CKeyState::Clear() { keys_.clear(); }

}  // namespace lithoscope
