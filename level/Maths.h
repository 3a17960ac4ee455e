#pragma once
// Small value types of 3-D arithmetic: vector, quaternion (also a 4-component row), 4x4
// matrix (rows stored one after another, acting on column vectors, translation in the
// fourth column) and axis-aligned box. Single-precision floats throughout.
//
// Every operation that produces a value writes it into a caller-supplied result (the first
// argument of the free functions, the object itself for members) and returns that result,
// so calls chain. The result may be one of the operands.
#include <cstdint>

namespace lithoscope {

constexpr float kPi = 3.141592654f;

struct CVector3 {
    float x = 0, y = 0, z = 0;

    CVector3& Set(float nx, float ny, float nz) {
        x = nx;
        y = ny;
        z = nz;
        return *this;
    }
    CVector3& Assign(const CVector3& v) { return Set(v.x, v.y, v.z); }
    CVector3& Sum(const CVector3& a, const CVector3& b);         // a + b
    CVector3& Difference(const CVector3& a, const CVector3& b);  // a - b
    CVector3& AddInPlace(const CVector3& b);                     // this += b
    CVector3& Scaled(const CVector3& v, float s);                // v * s
    CVector3& ScaleInPlace(float s);                             // this *= s
    CVector3& DivideInPlace(float s);                            // this *= 1 / s
    CVector3& Negated(const CVector3& v);                        // -v
    CVector3& Cross(const CVector3& a, const CVector3& b);       // a x b
    static bool IsEqual(const CVector3& a, const CVector3& b);   // exact
    float LengthSquared() const { return x * x + y * y + z * z; }
    float Length() const;
    // Divides by the length, without a test for zero.
    CVector3& MakeUnit();
    // Unit length unless already within 0.999..1.001 (squared); false for a zero vector,
    // which is left unchanged.
    bool Normalize();
    // x, y, z for 0, 1, 2; any other index gives x.
    float& Component(unsigned i);
    const float& Component(unsigned i) const;
};

CVector3& VecAdd(CVector3& out, const CVector3& a, const CVector3& b);
CVector3& VecSub(CVector3& out, const CVector3& a, const CVector3& b);
CVector3& VecAddTo(CVector3& v, const CVector3& b);
CVector3& VecScale(CVector3& out, const CVector3& v, float s);
CVector3& ScalarTimesVector(CVector3& out, float s, const CVector3& v);
CVector3& VecScaleBy(CVector3& v, float s);
CVector3& VecDivideBy(CVector3& v, float s);
CVector3& VecNegate(CVector3& out, const CVector3& v);
CVector3& VecCross(CVector3& out, const CVector3& a, const CVector3& b);
inline float VecDot(const CVector3& a, const CVector3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

struct CMatrix4;

struct CQuaternion {
    float x = 0, y = 0, z = 0, w = 0;

    CQuaternion& Set(float nx, float ny, float nz, float nw) {
        x = nx;
        y = ny;
        z = nz;
        w = nw;
        return *this;
    }
    CQuaternion& SetVectorW(const CVector3& v, float nw) { return Set(v.x, v.y, v.z, nw); }
    CQuaternion& Assign(const CQuaternion& q) { return Set(q.x, q.y, q.z, q.w); }
    // (-x, -y, -z, w): in place, or into out.
    CQuaternion& Conjugate() { return Set(-x, -y, -z, w); }
    CQuaternion& Conjugate(CQuaternion& out) const;
    // Rotation by angle radians about axis (not normalised first).
    CQuaternion& SetAxisAngle(const CVector3& axis, float angle);
    // Angle in radians; the axis is the vector part over its squared length (right
    // direction, not unit length: callers normalise it). Near-zero vector part: (0,0,0), 0.
    void GetAxisAngle(CVector3& axis, float& angle) const;
    // Rotation matrix for column vectors; any non-zero length gives a pure rotation.
    CMatrix4& ToMatrix(CMatrix4& out) const;
    // x, y, z, w for 0..3; any other index gives x.
    float& Component(unsigned i);
    const float& Component(unsigned i) const;
};

CQuaternion& QuatAdd(CQuaternion& out, const CQuaternion& a, const CQuaternion& b);
CQuaternion& QuatSub(CQuaternion& out, const CQuaternion& a, const CQuaternion& b);
CQuaternion& QuatScale(CQuaternion& out, const CQuaternion& q, float s);
CQuaternion& QuatNegate(CQuaternion& out, const CQuaternion& q);
// Hamilton product a b.
CQuaternion& QuatMultiply(CQuaternion& out, const CQuaternion& a, const CQuaternion& b);
// Spherical interpolation from a (t = 0) to b (t = 1); no sign flip for the shorter arc.
CQuaternion& QuatSlerp(CQuaternion& out, const CQuaternion& a, const CQuaternion& b, float t);
inline float QuatDot(const CQuaternion& a, const CQuaternion& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w;
}

using MatRow = float[4];

struct CMatrix4 {
    float m[4][4] = {};  // m[row][column]

    CMatrix4& SetRows(const float* p0, const float* p1, const float* p2, const float* p3);
    CMatrix4& AssignRows(CQuaternion r0, CQuaternion r1, CQuaternion r2, CQuaternion r3);
    CMatrix4& SetRowArray(const CQuaternion rows[4]);
    CMatrix4& Identity();
    // this = a b
    CMatrix4& Multiply(const CMatrix4& a, const CMatrix4& b);
    // Row i for 0..3; any other index gives row 0.
    MatRow& Row(unsigned i);
    const MatRow& Row(unsigned i) const;
};

CMatrix4& MatTranslation(CMatrix4& out, const CVector3& v);
CMatrix4& MatMultiply(CMatrix4& out, const CMatrix4& a, const CMatrix4& b);
// Component i = row i . (v.x, v.y, v.z, v.w).
CQuaternion& MatTransformVec4(CQuaternion& out, const CMatrix4& m, const CQuaternion& v);

struct BoundingBox {
    CVector3 min;
    CVector3 max;

    BoundingBox() = default;
    BoundingBox(CVector3 lo, CVector3 hi) : min(lo), max(hi) {}
    BoundingBox(const BoundingBox&) = default;
    BoundingBox& operator=(const BoundingBox&) = default;
    BoundingBox& Set(const BoundingBox& box) {
        min = box.min;
        max = box.max;
        return *this;
    }
    // Grows this box to hold the other.
    BoundingBox& Union(const BoundingBox& other);
};

}  // namespace lithoscope
