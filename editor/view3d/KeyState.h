#pragma once
// Key state for the camera and toolbox keys, fed by the GUI's key events: a key is "down"
// while held, and "pressed" once after a press until the next poll of that key.
#include <unordered_map>

namespace lithoscope {

class CKeyState {
public:
    // The application's one service (the panes poll it at idle time).
    static CKeyState& Instance();

    void KeyDown(int keyCode);
    void KeyUp(int keyCode);
    // Held now, or pressed since the last poll of this key; clears the pressed mark.
    bool Poll(int keyCode);
    // Pressed since the last poll of this key (held alone does not count); clears the mark.
    bool PollPressed(int keyCode);
    bool IsDown(int keyCode) const;
    void Clear();

private:
    struct State {
        bool down = false;
        bool pressed = false;
    };
    std::unordered_map<int, State> keys_;
};

}  // namespace lithoscope
