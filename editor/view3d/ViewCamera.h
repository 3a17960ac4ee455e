#pragma once
// Camera of one 3D view: eye, target and up, with the orbit, dolly, pan and roll moves
// that the mouse, wheel, keys and automatic rotation use. Angles are in degrees.
#include "level/Maths.h"

namespace lithoscope {

// A level point (x, y, z) is drawn at (x, -y, -z).
inline CVector3 LevelToDisplay(float x, float y, float z) { return CVector3{x, -y, -z}; }

// Matrix of the same convention: diag(1, -1, -1, 1).
CMatrix4& LevelToDisplayMatrix(CMatrix4& out);

class CViewCamera {
public:
    CVector3 eye{0.0f, 0.0f, -100.0f};
    CVector3 target{0.0f, 0.0f, 0.0f};
    CVector3 up{0.0f, 1.0f, 0.0f};
    // Derived basis, refreshed by UpdateBasis.
    CVector3 direction{0.0f, 0.0f, 1.0f};
    float distance = 100.0f;
    CVector3 upCopy{0.0f, 1.0f, 0.0f};

    void UpdateBasis();
    void OrbitHorizontal(float degrees);
    void OrbitVertical(float degrees);
    void Roll(float degrees);
    void SetRoll(float degrees);
    void Dolly(float amount);
    void Pan(float amount);
    void MoveAlong(float amount);
    void Refresh() { UpdateBasis(); }

    // Model-view of a frame: look-at from eye to target with the negated up, then a uniform
    // scale by fitScale (out = lookAt * scale).
    CMatrix4& ViewMatrix(CMatrix4& out, float fitScale) const;
};

}  // namespace lithoscope
