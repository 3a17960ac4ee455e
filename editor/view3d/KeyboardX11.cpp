// The keyboard as the X server sees it: one key map read per tick (XQueryKeymap); the
// toolkit's key-state query where there is no X display.
#include <algorithm>
#include <cctype>
#include <iterator>
#include <vector>

#include <wx/utils.h>

#include "editor/view3d/KeyState.h"

// After wx: Xlib's macros (None, Bool, Status...) would clash with its names.
#include <X11/Xlib.h>
#include <X11/keysym.h>

namespace lithoscope {

namespace {

// The keysyms of a wx key code; empty for keys this map does not know.
std::vector<KeySym> KeySymsOf(int keyCode) {
    switch (keyCode) {
    case WXK_SHIFT: return {XK_Shift_L, XK_Shift_R};
    case WXK_CONTROL: return {XK_Control_L, XK_Control_R};
    case WXK_ALT: return {XK_Alt_L, XK_Alt_R};
    case WXK_CAPITAL: return {XK_Caps_Lock};
    case WXK_LEFT: return {XK_Left};
    case WXK_RIGHT: return {XK_Right};
    case WXK_UP: return {XK_Up};
    case WXK_DOWN: return {XK_Down};
    case WXK_PAGEUP: return {XK_Prior};
    case WXK_PAGEDOWN: return {XK_Next};
    case WXK_HOME: return {XK_Home};
    case WXK_END: return {XK_End};
    case WXK_INSERT: return {XK_Insert};
    case WXK_DELETE: return {XK_Delete};
    case WXK_NUMPAD_ADD: return {XK_KP_Add};
    case WXK_NUMPAD_SUBTRACT: return {XK_KP_Subtract};
    case WXK_ESCAPE: return {XK_Escape};
    case WXK_RETURN: return {XK_Return};
    case WXK_SPACE: return {XK_space};
    default: break;
    }
    if (keyCode >= WXK_F1 && keyCode <= WXK_F12) return {KeySym(XK_F1 + (keyCode - WXK_F1))};
    if (keyCode < 128 && std::isalnum(keyCode)) return {KeySym(std::tolower(keyCode))};
    return {};
}

class CX11Keyboard : public IKeyboard {
public:
    explicit CX11Keyboard(Display* display) : display_(display) {}

    void Read() override {
        if (XQueryKeymap(display_, map_) == 0) std::fill(std::begin(map_), std::end(map_), 0);
    }
    bool IsDown(int keyCode) const override {
        const std::vector<KeySym> syms = KeySymsOf(keyCode);
        // A key this map does not know: the toolkit's own query.
        if (syms.empty()) return wxGetKeyState(wxKeyCode(keyCode));
        for (KeySym sym : syms) {
            const KeyCode code = XKeysymToKeycode(display_, sym);
            if (code != 0 && (map_[code >> 3] & (1 << (code & 7)))) return true;
        }
        return false;
    }

private:
    Display* display_;  // the toolkit's connection
    char map_[32] = {};
};

// Where there is no X display: the toolkit's key-state query.
class CToolkitKeyboard : public IKeyboard {
public:
    void Read() override {}
    bool IsDown(int keyCode) const override { return wxGetKeyState(wxKeyCode(keyCode)); }
};

}  // namespace

std::unique_ptr<IKeyboard> MakeToolkitKeyboard() {
    const wxDisplayInfo info = wxGetDisplayInfo();
    if (info.type == wxDisplayX11 && info.dpy) return std::make_unique<CX11Keyboard>(static_cast<Display*>(info.dpy));
    return std::make_unique<CToolkitKeyboard>();
}

}  // namespace lithoscope
