#include "editor/view3d/KeyState.h"

namespace lithoscope {

CKeyState& CKeyState::Instance() {
    static CKeyState state;
    return state;
}

void CKeyState::KeyDown(int keyCode) {
    State& s = keys_[keyCode];
    s.down = true;
    s.pressed = true;
}

void CKeyState::KeyUp(int keyCode) { keys_[keyCode].down = false; }

bool CKeyState::Poll(int keyCode) {
    auto it = keys_.find(keyCode);
    if (it == keys_.end()) return false;
    const bool result = it->second.down || it->second.pressed;
    it->second.pressed = false;
    return result;
}

bool CKeyState::PollPressed(int keyCode) {
    auto it = keys_.find(keyCode);
    if (it == keys_.end()) return false;
    const bool result = it->second.pressed;
    it->second.pressed = false;
    return result;
}

bool CKeyState::IsDown(int keyCode) const {
    auto it = keys_.find(keyCode);
    return it != keys_.end() && it->second.down;
}

void CKeyState::Clear() { keys_.clear(); }

}  // namespace lithoscope
