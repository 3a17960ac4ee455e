#include "editor/view3d/ViewCamera.h"

#include <cmath>

namespace lithoscope {
namespace {

constexpr float kCameraPi = 3.1415927f;

float Radians(float degrees) { return degrees * kCameraPi / 180.0f; }

// Unit length; a zero vector stays zero instead of turning into NaNs.
CVector3 Unit(const CVector3& v) {
    CVector3 r = v;
    if (r.LengthSquared() > 0.0f) r.MakeUnit();
    return r;
}

CVector3 Add(const CVector3& a, const CVector3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
CVector3 Sub(const CVector3& a, const CVector3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
CVector3 Mul(const CVector3& a, float s) { return {a.x * s, a.y * s, a.z * s}; }
CVector3 CrossOf(const CVector3& a, const CVector3& b) {
    CVector3 r;
    r.Cross(a, b);
    return r;
}

}  // namespace

void CViewCamera::UpdateBasis() {
    const CVector3 d = Sub(target, eye);
    distance = d.Length();
    // Eye on the target: keep the last direction so later moves stay finite.
    if (distance > 0.0f) direction = Mul(d, 1.0f / distance);
    upCopy = up;
}

void CViewCamera::OrbitHorizontal(float degrees) {
    UpdateBasis();
    const float a = Radians(degrees);
    const CVector3 right = CrossOf(upCopy, direction);
    eye = Add(eye, Add(Mul(direction, (1.0f - std::cos(a)) * distance), Mul(right, std::sin(a) * distance)));
}

void CViewCamera::OrbitVertical(float degrees) {
    UpdateBasis();
    const float a = Radians(degrees);
    const CVector3 right = CrossOf(upCopy, direction);
    eye = Add(eye, Add(Mul(direction, (1.0f - std::cos(a)) * distance), Mul(upCopy, std::sin(a) * distance)));
    const CVector3 newUp = Unit(CrossOf(Unit(Sub(target, eye)), right));
    if (newUp.LengthSquared() > 0.0f) up = newUp;
}

void CViewCamera::Roll(float degrees) {
    UpdateBasis();
    const float a = Radians(degrees);
    const CVector3 right = CrossOf(upCopy, direction);
    const CVector3 newUp = Unit(Add(up, Add(Mul(up, std::cos(a) - 1.0f), Mul(right, std::sin(a)))));
    if (newUp.LengthSquared() > 0.0f) up = newUp;
}

void CViewCamera::SetRoll(float degrees) {
    const CVector3 r = Unit(Sub(eye, target));
    const float b = Radians(degrees + 180.0f);
    const float sb = std::sin(b), cb = std::cos(b);
    CVector3 u{-(r.z * sb) - r.y * r.x * cb, (r.z * r.z + r.x * r.x) * cb, r.x * sb - r.z * r.y * cb};
    if (u.x == 0.0f && u.y == 0.0f && u.z == 0.0f)
        u.Set(1.0f, 0.0f, 0.0f);
    else
        u.MakeUnit();
    up = u;
}

void CViewCamera::Dolly(float amount) {
    UpdateBasis();
    eye = Add(eye, Mul(direction, amount));
}

void CViewCamera::Pan(float amount) {
    UpdateBasis();
    const CVector3 v = Mul(CrossOf(upCopy, direction), amount);
    eye = Add(eye, v);
    target = Add(target, v);
}

void CViewCamera::MoveAlong(float amount) {
    const CVector3 v = Mul(up, amount);
    eye = Add(eye, v);
    target = Add(target, v);
}

CMatrix4& LevelToDisplayMatrix(CMatrix4& out) {
    out.Identity();
    out.m[1][1] = -1.0f;
    out.m[2][2] = -1.0f;
    return out;
}

CMatrix4& CViewCamera::ViewMatrix(CMatrix4& out, float fitScale) const {
    const CVector3 f = Unit(Sub(target, eye));
    const CVector3 lookUp = Mul(up, -1.0f);
    const CVector3 s = Unit(CrossOf(f, lookUp));
    const CVector3 u = CrossOf(s, f);
    CMatrix4 rot;
    rot.Identity();
    const CVector3 rows[3] = {s, u, Mul(f, -1.0f)};
    for (int i = 0; i < 3; ++i) {
        rot.m[i][0] = rows[i].x;
        rot.m[i][1] = rows[i].y;
        rot.m[i][2] = rows[i].z;
    }
    CMatrix4 move;
    MatTranslation(move, Mul(eye, -1.0f));
    CMatrix4 look;
    look.Multiply(rot, move);
    CMatrix4 scale;
    scale.Identity();
    scale.m[0][0] = scale.m[1][1] = scale.m[2][2] = fitScale;
    return out.Multiply(look, scale);
}

}  // namespace lithoscope
