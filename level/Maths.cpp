#include "level/Maths.h"

#include <cmath>

namespace lithoscope {

// ---- CVector3 ----

CVector3& CVector3::Sum(const CVector3& a, const CVector3& b) {
    return Set(a.x + b.x, a.y + b.y, a.z + b.z);
}

CVector3& CVector3::Difference(const CVector3& a, const CVector3& b) {
    return Set(a.x - b.x, a.y - b.y, a.z - b.z);
}

CVector3& CVector3::AddInPlace(const CVector3& b) { return Sum(*this, b); }

CVector3& CVector3::Scaled(const CVector3& v, float s) { return Set(v.x * s, v.y * s, v.z * s); }

CVector3& CVector3::ScaleInPlace(float s) { return Scaled(*this, s); }

CVector3& CVector3::DivideInPlace(float s) {
    const float r = 1.0f / s;
    return Scaled(*this, r);
}

CVector3& CVector3::Negated(const CVector3& v) { return Set(-v.x, -v.y, -v.z); }

CVector3& CVector3::Cross(const CVector3& a, const CVector3& b) {
    return Set(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
}

bool CVector3::IsEqual(const CVector3& a, const CVector3& b) {
    return a.x == b.x && a.y == b.y && a.z == b.z;
}

float CVector3::Length() const { return std::sqrt(LengthSquared()); }

CVector3& CVector3::MakeUnit() { return DivideInPlace(Length()); }

bool CVector3::Normalize() {
    const float s = x * x + y * y + z * z;
    const double ds = s;
    if (ds >= 0.999 && ds <= 1.001) return true;
    if (s == 0.0f) return false;
    DivideInPlace(std::sqrt(s));
    return true;
}

float& CVector3::Component(unsigned i) {
    switch (i) {
        case 1: return y;
        case 2: return z;
        default: return x;
    }
}

const float& CVector3::Component(unsigned i) const {
    return const_cast<CVector3*>(this)->Component(i);
}

CVector3& VecAdd(CVector3& out, const CVector3& a, const CVector3& b) { return out.Sum(a, b); }
CVector3& VecSub(CVector3& out, const CVector3& a, const CVector3& b) {
    return out.Difference(a, b);
}
CVector3& VecAddTo(CVector3& v, const CVector3& b) { return v.AddInPlace(b); }
CVector3& VecScale(CVector3& out, const CVector3& v, float s) { return out.Scaled(v, s); }
CVector3& ScalarTimesVector(CVector3& out, float s, const CVector3& v) {
    return out.Set(s * v.x, s * v.y, s * v.z);
}
CVector3& VecScaleBy(CVector3& v, float s) { return v.ScaleInPlace(s); }
CVector3& VecDivideBy(CVector3& v, float s) { return v.DivideInPlace(s); }
CVector3& VecNegate(CVector3& out, const CVector3& v) { return out.Negated(v); }
CVector3& VecCross(CVector3& out, const CVector3& a, const CVector3& b) {
    return out.Cross(a, b);
}

// ---- CQuaternion ----

CQuaternion& CQuaternion::Conjugate(CQuaternion& out) const { return out.Set(-x, -y, -z, w); }

CQuaternion& CQuaternion::SetAxisAngle(const CVector3& axis, float angle) {
    const float s = std::sin(angle / 2);
    const float c = std::cos(angle / 2);
    return Set(axis.x * s, axis.y * s, axis.z * s, c);
}

void CQuaternion::GetAxisAngle(CVector3& axis, float& angle) const {
    const float s = x * x + y * y + z * z;
    if (double(s) < 1e-6) {
        axis.Set(0, 0, 0);
        angle = 0;
        return;
    }
    angle = 2.0f * std::acos(w);
    const float r = 1.0f / s;
    axis.Set(x * r, y * r, z * r);
}

CMatrix4& CQuaternion::ToMatrix(CMatrix4& out) const {
    const float n = x * x + y * y + z * z + w * w;
    if (n == 0.0f) return out.Identity();  // no rotation to give: not a division by zero
    const float s = 2.0f / n;
    const float q[4][4] = {
        {1 - s * (y * y + z * z), s * (x * y - w * z), s * (x * z + w * y), 0},
        {s * (x * y + w * z), 1 - s * (x * x + z * z), s * (y * z - w * x), 0},
        {s * (x * z - w * y), s * (y * z + w * x), 1 - s * (x * x + y * y), 0},
        {0, 0, 0, 1},
    };
    return out.SetRows(q[0], q[1], q[2], q[3]);
}

float& CQuaternion::Component(unsigned i) {
    switch (i) {
        case 1: return y;
        case 2: return z;
        case 3: return w;
        default: return x;
    }
}

const float& CQuaternion::Component(unsigned i) const {
    return const_cast<CQuaternion*>(this)->Component(i);
}

CQuaternion& QuatAdd(CQuaternion& out, const CQuaternion& a, const CQuaternion& b) {
    return out.Set(a.x + b.x, a.y + b.y, a.z + b.z, a.w + b.w);
}

CQuaternion& QuatSub(CQuaternion& out, const CQuaternion& a, const CQuaternion& b) {
    return out.Set(a.x - b.x, a.y - b.y, a.z - b.z, a.w - b.w);
}

CQuaternion& QuatScale(CQuaternion& out, const CQuaternion& q, float s) {
    return out.Set(q.x * s, q.y * s, q.z * s, q.w * s);
}

CQuaternion& QuatNegate(CQuaternion& out, const CQuaternion& q) {
    return out.Set(-q.x, -q.y, -q.z, -q.w);
}

CQuaternion& QuatMultiply(CQuaternion& out, const CQuaternion& a, const CQuaternion& b) {
    // vector part = b.xyz a.w + a.xyz b.w + a.xyz x b.xyz; w = a.w b.w - a.xyz . b.xyz
    const float x = b.x * a.w + a.x * b.w + (a.y * b.z - a.z * b.y);
    const float y = b.y * a.w + a.y * b.w + (a.z * b.x - a.x * b.z);
    const float z = b.z * a.w + a.z * b.w + (a.x * b.y - a.y * b.x);
    const float w = a.w * b.w - (a.x * b.x + a.y * b.y + a.z * b.z);
    return out.Set(x, y, z, w);
}

CQuaternion& QuatSlerp(CQuaternion& out, const CQuaternion& a, const CQuaternion& b, float t) {
    const CQuaternion qa = a, qb = b;  // out may be a or b
    const float k = QuatDot(qa, qb);
    if (double(k) + 1.0 > 1e-5) {
        float wa, wb;
        if (1.0 - double(k) > 1e-5) {
            const float omega = std::acos(k);
            const float s = std::sin(omega);
            wa = std::sin((1 - t) * omega) / s;
            wb = std::sin(t * omega) / s;
        } else {
            wa = 1 - t;
            wb = t;
        }
        return out.Set(qa.x * wa + qb.x * wb, qa.y * wa + qb.y * wb, qa.z * wa + qb.z * wb,
                       qa.w * wa + qb.w * wb);
    }
    // Opposite: go through the perpendicular quaternion p.
    const CQuaternion p{-qa.y, qa.x, -qa.w, qa.z};
    const float wa = std::sin((1 - t) * kPi * 0.5f);
    const float wb = std::sin(t * kPi * 0.5f);
    return out.Set(qa.x * wa + p.x * wb, qa.y * wa + p.y * wb, qa.z * wa + p.z * wb, p.w);
}

// ---- CMatrix4 ----

CMatrix4& CMatrix4::SetRows(const float* p0, const float* p1, const float* p2, const float* p3) {
    const float* p[4] = {p0, p1, p2, p3};
    float tmp[4][4];  // a source row may be one of ours
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) tmp[r][c] = p[r][c];
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) m[r][c] = tmp[r][c];
    return *this;
}

CMatrix4& CMatrix4::AssignRows(CQuaternion r0, CQuaternion r1, CQuaternion r2, CQuaternion r3) {
    const CQuaternion rows[4] = {r0, r1, r2, r3};
    return SetRowArray(rows);
}

CMatrix4& CMatrix4::SetRowArray(const CQuaternion rows[4]) {
    for (int r = 0; r < 4; ++r) {
        const CQuaternion q = rows[r];
        m[r][0] = q.x;
        m[r][1] = q.y;
        m[r][2] = q.z;
        m[r][3] = q.w;
    }
    return *this;
}

CMatrix4& CMatrix4::Identity() {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) m[r][c] = r == c ? 1.0f : 0.0f;
    return *this;
}

CMatrix4& CMatrix4::Multiply(const CMatrix4& a, const CMatrix4& b) {
    float tmp[4][4];
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            float s = 0;
            for (int k = 0; k < 4; ++k) s += a.m[i][k] * b.m[k][j];
            tmp[i][j] = s;
        }
    return SetRows(tmp[0], tmp[1], tmp[2], tmp[3]);
}

MatRow& CMatrix4::Row(unsigned i) { return m[i < 4 ? i : 0]; }
const MatRow& CMatrix4::Row(unsigned i) const { return m[i < 4 ? i : 0]; }

CMatrix4& MatTranslation(CMatrix4& out, const CVector3& v) {
    out.Identity();
    out.m[0][3] = v.x;
    out.m[1][3] = v.y;
    out.m[2][3] = v.z;
    return out;
}

CMatrix4& MatMultiply(CMatrix4& out, const CMatrix4& a, const CMatrix4& b) {
    return out.Multiply(a, b);
}

CQuaternion& MatTransformVec4(CQuaternion& out, const CMatrix4& m, const CQuaternion& v) {
    float r[4];
    for (int i = 0; i < 4; ++i)
        r[i] = m.m[i][0] * v.x + m.m[i][1] * v.y + m.m[i][2] * v.z + m.m[i][3] * v.w;
    return out.Set(r[0], r[1], r[2], r[3]);
}

// ---- BoundingBox ----

BoundingBox& BoundingBox::Union(const BoundingBox& other) {
    const BoundingBox o = other;
    auto lo = [](float a, float b) { return b < a ? b : a; };
    auto hi = [](float a, float b) { return b > a ? b : a; };
    min.Set(lo(min.x, o.min.x), lo(min.y, o.min.y), lo(min.z, o.min.z));
    max.Set(hi(max.x, o.max.x), hi(max.y, o.max.y), hi(max.z, o.max.z));
    return *this;
}

}  // namespace lithoscope
