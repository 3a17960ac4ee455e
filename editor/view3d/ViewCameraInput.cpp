#include "editor/view3d/ViewCameraInput.h"

#include <cmath>

#include <wx/defs.h>

namespace lithoscope {
namespace {

// A rate of 0 (no frame measured) would give infinite moves.
float Rate(float f) { return f > 0.0f ? f : 1.0f; }

}  // namespace

void CameraAutoStep(CViewCamera& camera, float framesPerSecond) {
    float f = framesPerSecond < 5.0f ? 30.0f : framesPerSecond;
    camera.OrbitHorizontal(360.0f / (f * 3.0f));
    camera.SetRoll(0.0f);
    camera.Refresh();
}

void CameraRotateDrag(CViewCamera& camera, int x0, int y0, int x, int y, float framesPerSecond) {
    const float f = Rate(framesPerSecond);
    camera.OrbitHorizontal(2.0f * float(x0 - x) * 100.0f / f);
    camera.OrbitVertical(2.0f * float(y0 - y) * 100.0f / f);
    camera.Refresh();
}

void CameraPanDrag(CViewCamera& camera, int x0, int y0, int x, int y, float framesPerSecond) {
    const float f = Rate(framesPerSecond);
    camera.Pan(float(x0 - x) * 0.01f * 100.0f / f);
    camera.MoveAlong(float(y0 - y) * 0.01f * 100.0f / f);
    camera.Refresh();
}

void CameraWheel(CViewCamera& camera, int delta) {
    camera.Refresh();
    const float notches = float(int16_t(delta)) / float(kWheelNotch);
    const float scale = std::pow(kWheelNotchScale, notches);
    camera.Dolly(camera.distance * (1.0f - scale));
    camera.Refresh();
}

bool CameraPollKeys(CViewCamera& camera, CKeyState& keys, float framesPerSecond) {
    if (!keys.Poll(WXK_CAPITAL)) return false;
    // Every key is polled so that each one's pressed mark is cleared; the first of a pair wins.
    const bool left = keys.Poll(WXK_LEFT), right = keys.Poll(WXK_RIGHT);
    const bool pageUp = keys.Poll(WXK_PAGEUP), pageDown = keys.Poll(WXK_PAGEDOWN);
    const bool upKey = keys.Poll(WXK_UP), downKey = keys.Poll(WXK_DOWN);
    const bool end = keys.Poll(WXK_END), del = keys.Poll(WXK_DELETE);
    const int lr = left ? -1 : (right ? 1 : 0);
    const int page = pageUp ? 1 : (pageDown ? -1 : 0);
    const int ud = upKey ? -1 : (downKey ? 1 : 0);
    const int roll = end ? -1 : (del ? 1 : 0);
    if (lr == 0 && page == 0 && ud == 0 && roll == 0) return false;
    const float f = Rate(framesPerSecond);
    camera.Dolly(float(page) * 0.05f * 100.0f / f);
    camera.OrbitHorizontal(float(lr) * 100.0f / f);
    camera.OrbitVertical(float(ud) * 100.0f / f);
    camera.Roll(float(roll) * 100.0f / f);
    camera.Refresh();
    return true;
}

}  // namespace lithoscope
