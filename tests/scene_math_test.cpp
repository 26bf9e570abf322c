#include <gtest/gtest.h>

#include <cmath>

#include "platform/system/math.h"

static constexpr float kEps = 1e-5f;

static void expectVec(const Vec3& v, float x, float y, float z, float eps = kEps) {
    EXPECT_NEAR(v.x, x, eps);
    EXPECT_NEAR(v.y, y, eps);
    EXPECT_NEAR(v.z, z, eps);
}

static Quat aboutZ(float angle) {
    return Quat{0, 0, std::sin(angle / 2), std::cos(angle / 2)};
}

TEST(Vec3, ZeroDivisorAndZeroLengthLeaveTheVector) {
    Vec3 v{0, 0, 0};
    v.normalise();
    expectVec(v, 0, 0, 0);
    EXPECT_FALSE(std::isnan(v.x));
    Vec3 w{1, 2, 3};
    w.divide(0.0f);
    expectVec(w, 1, 2, 3);
    EXPECT_TRUE((Vec3{0, -0.0f, 0}).isZero());
    EXPECT_FALSE((Vec3{0, 1e-30f, 0}).isZero());
}

TEST(Vec3, CrossAndTransform) {
    Vec3 x{1, 0, 0};
    x.cross(Vec3{0, 1, 0});
    expectVec(x, 0, 0, 1);
    Mat4 m;
    m.setTranslation({5, 6, 7});
    Vec3 p{1, 2, 3};
    p.transformPoint(m);
    expectVec(p, 6, 8, 10);
    Vec3 d{1, 2, 3};
    d.transformDirection(m);
    expectVec(d, 1, 2, 3);
}

TEST(Mat4, AffineProductOfTranslationsAddsThem) {
    Mat4 a, b;
    a.setTranslation({1, 2, 3});
    b.setTranslation({10, 20, 30});
    a.multiplyAffine(b);
    expectVec(a.getTranslation(), 11, 22, 33);
    EXPECT_EQ(a.m[15], 1.0f);
}

TEST(Mat4, AffineProductRotatesTheSecondTranslation) {
    Mat4 rotate;
    aboutZ(float(M_PI / 2)).toKeyRotation(rotate); // R transposed: -90 degrees about z
    rotate.setTranslation({1, 0, 0});
    Mat4 move;
    move.setTranslation({1, 0, 0});
    rotate.multiplyAffine(move);
    expectVec(rotate.getTranslation(), 1, -1, 0);
}

TEST(Mat4, ProductWithItselfUsesAScratch) {
    Mat4 m;
    for (int i = 0; i < 16; i++) m.m[i] = float(i);
    Mat4 expected = m;
    Mat4 copy = m;
    expected.multiply(copy);
    m.multiply(m);
    for (int i = 0; i < 16; i++) EXPECT_EQ(m.m[i], expected.m[i]);
    EXPECT_EQ(expected.m[0], 56.0f); // row 0 . column 0 = 0*0 + 1*4 + 2*8 + 3*12
    m.transpose();
    EXPECT_EQ(m.m[1], expected.m[4]);
}

TEST(Quat, RotationMatrixAndKeyRotation) {
    Mat4 identity;
    identity.m[3] = 9.0f;
    Quat{0, 0, 0, 1}.toKeyRotation(identity);
    EXPECT_EQ(Mat4{}.m[0], identity.m[0]);
    for (int i = 0; i < 16; i++) EXPECT_NEAR(identity.m[i], Mat4{}.m[i], kEps);

    Quat q = aboutZ(float(M_PI / 2));
    Mat3 r = q.toMatrix();
    expectVec({r.m[0], r.m[3], r.m[6]}, 0, 1, 0); // R (1, 0, 0)
    Mat4 key;
    q.toKeyRotation(key);
    Vec3 x{1, 0, 0};
    x.transformPoint(key);
    expectVec(x, 0, -1, 0);
}

TEST(Quat, FromMatrixInvertsTheTransposedMatrixInEveryBranch) {
    const Quat samples[] = {
        {0, 0, 0, 1},
        aboutZ(1.0f),
        {1, 0, 0, 0}, // 180 degrees about x: trace -1
        {0, 1, 0, 0}, // about y
        {0, 0, 1, 0}, // about z
        {0.5f, 0.5f, 0.5f, 0.5f},
        {0.6f, -0.48f, 0.64f, 0.0f}, // w = 0, unit length
        {0.7f, 0.1f, -0.1f, 0.7f},
    };
    for (Quat q : samples) {
        q.scale(1.0f / std::sqrt(q.dot(q)));
        Quat back;
        back.fromMatrix(q.toMatrixTransposed());
        // q and -q are the same rotation; the conversion picks one of them.
        float sign = back.dot(q) < 0 ? -1.0f : 1.0f;
        EXPECT_NEAR(back.x * sign, q.x, 1e-5f);
        EXPECT_NEAR(back.y * sign, q.y, 1e-5f);
        EXPECT_NEAR(back.z * sign, q.z, 1e-5f);
        EXPECT_NEAR(back.w * sign, q.w, 1e-5f);
    }
}

TEST(Slerp, InterpolatesAndGuardsTheUndefinedAngles) {
    Quat mid = slerp(aboutZ(0), aboutZ(float(M_PI / 2)), 0.5f);
    Quat expected = aboutZ(float(M_PI / 4));
    EXPECT_NEAR(mid.z, expected.z, kEps);
    EXPECT_NEAR(mid.w, expected.w, kEps);

    Quat a = aboutZ(0.3f);
    Quat same = slerp(a, a, 0.25f);
    EXPECT_FALSE(std::isnan(same.w));
    EXPECT_NEAR(same.w, a.w, kEps);

    Quat longer{0, 0, 0, 1.0000001f}; // dot slightly above 1 by rounding
    Quat r = slerp(Quat{0, 0, 0, 1}, longer, 0.5f);
    EXPECT_FALSE(std::isnan(r.w));
    Quat opposite = slerp(Quat{0, 0, 0, 1}, Quat{0, 0, 0, -1}, 0.5f);
    EXPECT_FALSE(std::isnan(opposite.w));

    // No flip to the shorter arc: a . b < 0 goes the long way.
    Quat b = aboutZ(0.2f);
    b.scale(-1.0f);
    Quat half = slerp(Quat{0, 0, 0, 1}, b, 0.5f);
    EXPECT_LT(std::fabs(half.w), 0.2f);
}
