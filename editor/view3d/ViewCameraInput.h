#pragma once
// How the 3D view drives its camera: every input is scaled by the measured frame rate f.
#include "editor/view3d/KeyState.h"
#include "editor/view3d/ViewCamera.h"

namespace lithoscope {

// Automatic rotation, one turn in three seconds (rates below 5 are taken as 30).
void CameraAutoStep(CViewCamera& camera, float framesPerSecond);
// Left-button drag from (x0, y0) to (x, y).
void CameraRotateDrag(CViewCamera& camera, int x0, int y0, int x, int y, float framesPerSecond);
// Right-button drag from (x0, y0) to (x, y).
void CameraPanDrag(CViewCamera& camera, int x0, int y0, int x, int y, float framesPerSecond);
// Mouse wheel: a signed 16-bit amount, 120 a notch. Each notch in brings the eye to
// kWheelNotchScale of its distance from the target and each notch out undoes one in,
// whatever the frame rate; the eye never reaches the target.
constexpr float kWheelNotchScale = 0.8f;
constexpr int kWheelNotch = 120;
void CameraWheel(CViewCamera& camera, int delta);
// Camera keys, only while Caps Lock is down or was pressed since the last poll; true when
// the camera moved.
bool CameraPollKeys(CViewCamera& camera, CKeyState& keys, float framesPerSecond);

}  // namespace lithoscope
