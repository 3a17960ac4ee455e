#include <gtest/gtest.h>

#include <cmath>

#include "level/Maths.h"

using namespace lithoscope;

namespace {

void ExpectVec(const CVector3& v, float x, float y, float z, float eps = 1e-5f) {
    EXPECT_NEAR(v.x, x, eps);
    EXPECT_NEAR(v.y, y, eps);
    EXPECT_NEAR(v.z, z, eps);
}

void ExpectQuat(const CQuaternion& q, float x, float y, float z, float w, float eps = 1e-5f) {
    EXPECT_NEAR(q.x, x, eps);
    EXPECT_NEAR(q.y, y, eps);
    EXPECT_NEAR(q.z, z, eps);
    EXPECT_NEAR(q.w, w, eps);
}

}  // namespace

TEST(Vector, ArithmeticWritesIntoTheResultAndChains) {
    CVector3 a, b, r;
    a.Set(1, 2, 3);
    b.Set(4, -5, 6);
    ExpectVec(VecAdd(r, a, b), 5, -3, 9);
    ExpectVec(VecSub(r, a, b), -3, 7, -3);
    ExpectVec(r.Sum(a, b).Scaled(r, 2), 10, -6, 18);
    ExpectVec(VecScale(r, a, -2), -2, -4, -6);
    ExpectVec(ScalarTimesVector(r, 3, a), 3, 6, 9);
    ExpectVec(VecNegate(r, b), -4, 5, -6);
    // (2*6 - 3*-5, 3*4 - 1*6, 1*-5 - 2*4)
    ExpectVec(VecCross(r, a, b), 27, 6, -13);
    CVector3 c = a;
    ExpectVec(VecAddTo(c, b), 5, -3, 9);
    ExpectVec(VecScaleBy(c, 0.5f), 2.5f, -1.5f, 4.5f);
    ExpectVec(VecDivideBy(c, 0.5f), 5, -3, 9);
    // The result may be an operand.
    ExpectVec(VecAdd(a, a, a), 2, 4, 6);
    ExpectVec(a.Cross(a, b), 54, 12, -26);
    EXPECT_FLOAT_EQ(b.LengthSquared(), 16 + 25 + 36);
    EXPECT_FLOAT_EQ(CVector3().Set(3, 0, 4).Length(), 5);
    EXPECT_TRUE(CVector3::IsEqual(CVector3().Set(1, 2, 3), CVector3().Set(1, 2, 3)));
    EXPECT_FALSE(CVector3::IsEqual(CVector3().Set(1, 2, 3), CVector3().Set(1, 2, 3.0001f)));
    ExpectVec(CVector3().Set(0, 0, 2).MakeUnit(), 0, 0, 1);
}

TEST(Vector, NormalizeHasAToleranceBandAndAZeroTest) {
    CVector3 zero;
    EXPECT_FALSE(zero.Normalize());
    EXPECT_TRUE(CVector3::IsEqual(zero, CVector3()));

    CVector3 v;
    v.Set(3, 0, 4);
    EXPECT_TRUE(v.Normalize());
    ExpectVec(v, 0.6f, 0, 0.8f);

    // Squared length 1.0005 is inside the band: untouched.
    const float c = std::sqrt(1.0005f);
    CVector3 near;
    near.Set(c, 0, 0);
    EXPECT_TRUE(near.Normalize());
    EXPECT_EQ(near.x, c);

    // Squared length 1.01 is outside: scaled to unit length.
    CVector3 out;
    out.Set(0, std::sqrt(1.01f), 0);
    EXPECT_TRUE(out.Normalize());
    EXPECT_NEAR(out.y, 1.0f, 1e-6f);
}

TEST(Vector, ComponentIndexOutsideRangeGivesX) {
    CVector3 v;
    v.Set(7, 8, 9);
    EXPECT_EQ(v.Component(0), 7);
    EXPECT_EQ(v.Component(1), 8);
    EXPECT_EQ(v.Component(2), 9);
    EXPECT_EQ(&v.Component(3), &v.x);
    EXPECT_EQ(&v.Component(unsigned(-1)), &v.x);
    v.Component(2) = 1;
    EXPECT_EQ(v.z, 1);

    CQuaternion q;
    q.Set(1, 2, 3, 4);
    EXPECT_EQ(q.Component(3), 4);
    EXPECT_EQ(&q.Component(4), &q.x);
    EXPECT_EQ(&q.Component(unsigned(-2)), &q.x);

    CMatrix4 m;
    m.Identity();
    EXPECT_EQ(&m.Row(3)[0], &m.m[3][0]);
    EXPECT_EQ(&m.Row(7)[0], &m.m[0][0]);
    EXPECT_EQ(&m.Row(unsigned(-1))[0], &m.m[0][0]);
}

TEST(Quaternion, ProductConjugateAndAxisAngle) {
    const float h = std::sqrt(0.5f);
    CQuaternion qz, qx, r;
    qz.SetAxisAngle(CVector3().Set(0, 0, 1), kPi / 2);
    ExpectQuat(qz, 0, 0, h, h);
    qx.SetAxisAngle(CVector3().Set(1, 0, 0), kPi / 2);
    // i-part times k-part: (h i + h)(h k + h) = h^2 (i + k + ik + 1), ik = -j.
    ExpectQuat(QuatMultiply(r, qx, qz), 0.5f, -0.5f, 0.5f, 0.5f);
    // Not normalised first: a longer axis gives a longer vector part.
    CQuaternion big;
    big.SetAxisAngle(CVector3().Set(0, 2, 0), kPi);
    ExpectQuat(big, 0, 2, 0, 0);
    CQuaternion cj;
    ExpectQuat(CQuaternion().Set(1, 2, 3, 4).Conjugate(cj), -1, -2, -3, 4);
    ExpectQuat(cj.Conjugate(), 1, 2, 3, 4);
    ExpectQuat(QuatAdd(r, CQuaternion().Set(1, 2, 3, 4), CQuaternion().Set(1, 1, 1, 1)), 2, 3, 4,
               5);
    ExpectQuat(QuatSub(r, CQuaternion().Set(1, 2, 3, 4), CQuaternion().Set(1, 1, 1, 1)), 0, 1, 2,
               3);
    ExpectQuat(QuatScale(r, CQuaternion().Set(1, 2, 3, 4), 0.5f), 0.5f, 1, 1.5f, 2);
    ExpectQuat(QuatNegate(r, CQuaternion().Set(1, -2, 3, 4)), -1, 2, -3, -4);
    ExpectQuat(CQuaternion().SetVectorW(CVector3().Set(1, 2, 3), 9), 1, 2, 3, 9);

    CVector3 axis;
    float angle = -1;
    CQuaternion().Set(0, 0, 0, 1).GetAxisAngle(axis, angle);
    ExpectVec(axis, 0, 0, 0);
    EXPECT_EQ(angle, 0);
    qz.GetAxisAngle(axis, angle);
    EXPECT_NEAR(angle, kPi / 2, 1e-5f);
    // Divided by the squared length (0.5), not by the length.
    ExpectVec(axis, 0, 0, 1 / std::sin(kPi / 4), 1e-4f);
    EXPECT_TRUE(axis.Normalize());
    ExpectVec(axis, 0, 0, 1);
}

TEST(Quaternion, ToMatrixRotatesColumnVectors) {
    CQuaternion qz;
    qz.SetAxisAngle(CVector3().Set(0, 0, 1), kPi / 2);
    CMatrix4 m;
    qz.ToMatrix(m);
    CQuaternion v, r;
    v.Set(1, 0, 0, 1);
    ExpectQuat(MatTransformVec4(r, m, v), 0, 1, 0, 1);
    EXPECT_NEAR(m.m[0][1], -1, 1e-6f);
    EXPECT_NEAR(m.m[1][0], 1, 1e-6f);
    EXPECT_EQ(m.m[3][3], 1);
    EXPECT_EQ(m.m[0][3], 0);

    // Any length gives the same rotation.
    CMatrix4 m3;
    CQuaternion q3;
    QuatScale(q3, qz, 3).ToMatrix(m3);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) EXPECT_NEAR(m3.m[i][j], m.m[i][j], 1e-6f);

    // A zero quaternion gives the identity rather than a division by zero.
    CMatrix4 z;
    CQuaternion().ToMatrix(z);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) EXPECT_EQ(z.m[i][j], i == j ? 1.0f : 0.0f);
}

TEST(Quaternion, SlerpPathsAndWeights) {
    const float h = std::sqrt(0.5f);
    CQuaternion id, qz, r;
    id.Set(0, 0, 0, 1);
    qz.Set(0, 0, h, h);
    ExpectQuat(QuatSlerp(r, id, qz, 0), 0, 0, 0, 1);
    ExpectQuat(QuatSlerp(r, id, qz, 1), 0, 0, h, h);
    // Halfway: 45 degrees about z.
    ExpectQuat(QuatSlerp(r, id, qz, 0.5f), 0, 0, std::sin(kPi / 8), std::cos(kPi / 8));

    // Equal quaternions: linear weights give the same one at any t.
    CQuaternion q;
    q.Set(0.5f, 0.5f, 0.5f, 0.5f);
    ExpectQuat(QuatSlerp(r, q, q, 0.3f), 0.5f, 0.5f, 0.5f, 0.5f);

    // Opposite: perpendicular path, w taken from a.z unblended.
    CQuaternion a, na;
    a.Set(0.1f, 0.2f, 0.3f, std::sqrt(1 - 0.14f));
    QuatNegate(na, a);
    QuatSlerp(r, a, na, 1);
    ExpectQuat(r, -0.2f, 0.1f, -a.w, 0.3f);
    QuatSlerp(r, a, na, 0.5f);
    EXPECT_EQ(r.w, a.z);
    EXPECT_NEAR(r.x, (0.1f - 0.2f) * h, 1e-5f);

    // The result may be an operand.
    CQuaternion b = qz;
    QuatSlerp(b, id, b, 1);
    ExpectQuat(b, 0, 0, h, h);
}

TEST(Matrix, RowsProductsAndTranslation) {
    const float r0[4] = {1, 2, 3, 4}, r1[4] = {5, 6, 7, 8}, r2[4] = {9, 10, 11, 12},
                r3[4] = {13, 14, 15, 16};
    CMatrix4 a;
    a.SetRows(r0, r1, r2, r3);
    EXPECT_EQ(a.m[1][2], 7);
    EXPECT_EQ(a.Row(2)[3], 12);

    CMatrix4 b;
    b.AssignRows(CQuaternion().Set(1, 0, 0, 0), CQuaternion().Set(0, 0, 1, 0),
                 CQuaternion().Set(0, 1, 0, 0), CQuaternion().Set(0, 0, 0, 2));
    CMatrix4 p;
    MatMultiply(p, a, b);
    // Column j of a b = a times column j of b: columns 1 and 2 swapped, column 3 doubled.
    EXPECT_EQ(p.m[0][0], 1);
    EXPECT_EQ(p.m[0][1], 3);
    EXPECT_EQ(p.m[0][2], 2);
    EXPECT_EQ(p.m[0][3], 8);
    EXPECT_EQ(p.m[3][1], 15);
    CMatrix4 q;
    q.Multiply(b, a);
    // Rows 1 and 2 swapped, row 3 doubled.
    EXPECT_EQ(q.m[1][0], 9);
    EXPECT_EQ(q.m[2][0], 5);
    EXPECT_EQ(q.m[3][3], 32);

    const CQuaternion rows[4] = {CQuaternion().Set(2, 0, 0, 0), CQuaternion().Set(0, 2, 0, 0),
                                 CQuaternion().Set(0, 0, 2, 0), CQuaternion().Set(0, 0, 0, 1)};
    CMatrix4 s;
    s.SetRowArray(rows);
    CMatrix4 t;
    MatTranslation(t, CVector3().Set(10, 20, 30));
    EXPECT_EQ(t.m[0][3], 10);
    EXPECT_EQ(t.m[2][3], 30);
    EXPECT_EQ(t.m[3][0], 0);
    // Translation after scale: (1, 1, 1) -> (12, 22, 32); the other order gives 22, 42, 62.
    CMatrix4 ts, st;
    MatMultiply(ts, t, s);
    st.Multiply(s, t);
    CQuaternion v, r;
    v.Set(1, 1, 1, 1);
    ExpectQuat(MatTransformVec4(r, ts, v), 12, 22, 32, 1);
    ExpectQuat(MatTransformVec4(r, st, v), 22, 42, 62, 1);

    // In-place product.
    MatMultiply(a, a, b);
    EXPECT_EQ(a.m[0][1], 3);
    EXPECT_EQ(a.m[0][3], 8);
}

TEST(Box, UnionGrowsPerAxis) {
    BoundingBox a(CVector3().Set(-1, -2, -3), CVector3().Set(1, 2, 3));
    BoundingBox same(a);
    same.Union(a);
    ExpectVec(same.min, -1, -2, -3);
    ExpectVec(same.max, 1, 2, 3);
    BoundingBox inner(CVector3().Set(0, 0, 0), CVector3().Set(0.5f, 1, 1));
    BoundingBox b(a);
    b.Union(inner);
    ExpectVec(b.min, -1, -2, -3);
    ExpectVec(b.max, 1, 2, 3);
    BoundingBox other(CVector3().Set(-5, 0, -1), CVector3().Set(0, 9, 2));
    b.Union(other);
    ExpectVec(b.min, -5, -2, -3);
    ExpectVec(b.max, 1, 9, 3);
    BoundingBox c;
    c.Set(other);
    ExpectVec(c.min, -5, 0, -1);
    ExpectVec(c.max, 0, 9, 2);
}
