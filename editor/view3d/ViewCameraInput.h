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
// Mouse wheel (signed 16-bit amount).
void CameraWheel(CViewCamera& camera, int delta, float framesPerSecond);
// Camera keys, only while Caps Lock is down or was pressed since the last poll; true when
// the camera moved.
bool CameraPollKeys(CViewCamera& camera, CKeyState& keys, float framesPerSecond);

}  // namespace lithoscope
