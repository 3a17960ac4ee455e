#pragma once
// Key state for the camera and toolbox keys. A key is held while its press was seen in the
// main window and the keyboard itself still says it is down; a key let go where the main
// window never hears of it (a popup menu, a dialog, a drag) is up at the next tick. Each
// press counts once as "pressed since the last poll", in the tick that follows it, so a tap
// never waits for a later tick that reads other keys; presses that came together are
// handed out one per tick while the key is polled.
#include <cstdint>
#include <memory>
#include <unordered_map>

namespace lithoscope {

// What the keyboard says about keys (wx key codes), read once per tick.
class IKeyboard {
public:
    virtual ~IKeyboard() = default;
    // Takes the keyboard's state now.
    virtual void Read() = 0;
    // The key is down as last read.
    virtual bool IsDown(int keyCode) const = 0;
};

// The toolkit's keyboard: the X server's key map on X11, the toolkit's key-state query
// elsewhere.
std::unique_ptr<IKeyboard> MakeToolkitKeyboard();

class CKeyState {
public:
    // The application's one service (the panes poll it at idle time).
    static CKeyState& Instance();

    // Without a keyboard (the default), the key events alone tell what is held.
    void SetKeyboard(std::unique_ptr<IKeyboard> keyboard);

    // A press. eventTime (0: unknown) tells the events of one press apart from another
    // press: the char hook and the key-down of the same press count once.
    void KeyDown(int keyCode, long eventTime = 0);
    void KeyUp(int keyCode);
    // One idle tick begins. keyboardOurs: the main window has the keyboard (no modal
    // dialog, popup menu or drag); when not, every key is let go. Presses older than the
    // previous tick expire, and keys the keyboard says are up are let go.
    void BeginTick(bool keyboardOurs);
    // Held now, or pressed since the last poll of this key; clears the pressed mark.
    bool Poll(int keyCode);
    // Pressed since the last poll of this key (held alone does not count); takes one press,
    // the others stay for the next polls, in this tick or the next.
    bool PollPressed(int keyCode);
    bool IsDown(int keyCode) const;
    // Every key let go, every press forgotten.
    void Clear();

private:
    struct State {
        bool down = false;
        int presses = 0;         // not yet polled
        uint64_t pressTick = 0;  // the tick during which the last press came (or was handed out)
        long pressTime = 0;      // event time of the last press
    };
    bool PressedNow(const State& s) const { return s.presses > 0 && s.pressTick + 1 >= tick_; }

    std::unordered_map<int, State> keys_;
    std::unique_ptr<IKeyboard> keyboard_;
    uint64_t tick_ = 0;
};

}  // namespace lithoscope
