#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "platform/system/memory.h"
#include "scene/keyframes.h"
#include "scene/objects.h"

struct KeyframeTest : testing::Test {
    TrackSet track;
    uint32_t before = memoryState.accountedBytes;
    void TearDown() override {
        clearTrackSet(track);
        EXPECT_EQ(memoryState.accountedBytes, before);
    }
    void positions(std::vector<std::pair<int32_t, Vec3>> keys) {
        resizePositionKeys(track, uint32_t(keys.size()));
        for (size_t i = 0; i < keys.size(); i++) {
            track.positionKeys[i].frame = keys[i].first;
            track.positionKeys[i].position = keys[i].second;
        }
        track.end = keys.back().first;
        computePositionTangents(track);
    }
    // Rotations about z by the given relative angles.
    void rotations(std::vector<std::pair<int32_t, float>> keys) {
        resizeRotationKeys(track, uint32_t(keys.size()));
        for (size_t i = 0; i < keys.size(); i++) {
            track.rotationKeys[i].frame = keys[i].first;
            track.rotationKeys[i].angle = keys[i].second;
            track.rotationKeys[i].axis = {0, 0, 1};
        }
        track.end = keys.back().first;
        rotationKeysToQuaternions(track);
        computeRotationControls(track);
    }
};

TEST_F(KeyframeTest, TwoKeysGiveTheMidpointHalfWay) {
    positions({{0, {0, 0, 0}}, {1000, {10, -4, 2}}});
    Vec3 spline, linear;
    positionSpline(track, 500, spline);
    positionLinear(track, 500, linear);
    for (const Vec3& p : {spline, linear}) {
        EXPECT_NEAR(p.x, 5.0f, 1e-5f);
        EXPECT_NEAR(p.y, -2.0f, 1e-5f);
        EXPECT_NEAR(p.z, 1.0f, 1e-5f);
    }
}

TEST_F(KeyframeTest, TensionContinuityAndBiasShapeTheTangents) {
    positions({{0, {0, 0, 0}}, {10, {1, 0, 0}}, {20, {3, 0, 0}}});
    PositionKey& mid = track.positionKeys[1];
    mid.continuity = 0.5f;
    computePositionTangents(track);
    EXPECT_NEAR(mid.incoming.x, 1.75f, 1e-5f); // A = 1, B = 2: A + (B - A) * 0.75
    EXPECT_NEAR(mid.outgoing.x, 1.25f, 1e-5f);
    mid.continuity = 0.0f;
    mid.bias = 0.5f;
    computePositionTangents(track);
    EXPECT_NEAR(mid.incoming.x, 1.25f, 1e-5f); // A = 1.5, B = 1
    EXPECT_NEAR(mid.outgoing.x, 1.25f, 1e-5f);
    mid.bias = 0.0f;
    mid.tension = 1.0f;
    computePositionTangents(track);
    EXPECT_EQ(mid.incoming.x, 0.0f);
    EXPECT_EQ(mid.outgoing.x, 0.0f);
    // Ends: out0 = 1.5 (P1 - P0) - 0.5 in1; the last key's in from the previous out.
    EXPECT_NEAR(track.positionKeys[0].outgoing.x, 1.5f, 1e-5f);
    EXPECT_NEAR(track.positionKeys[2].incoming.x, 3.0f, 1e-5f);
    // The spline passes through the inner key.
    Vec3 at;
    positionSpline(track, 10, at);
    EXPECT_NEAR(at.x, 1.0f, 1e-5f);
}

TEST_F(KeyframeTest, EqualFramesAndTheLastKeyRule) {
    positions({{0, {1, 1, 1}}, {0, {2, 2, 2}}, {100, {3, 3, 3}}});
    for (int32_t t : {0, 50, 99}) {
        Vec3 p{9, 9, 9};
        positionSpline(track, t, p);
        EXPECT_EQ(p.x, 1.0f) << t;
    }
    clearTrackSet(track);
    positions({{0, {0, 0, 0}}, {100, {5, 0, 0}}});
    Vec3 sentinel{7, 7, 7};
    positionSpline(track, 100, sentinel);
    positionLinear(track, 150, sentinel); // clamped to the end, the last key's frame
    EXPECT_EQ(sentinel.x, 7.0f);
    Mat4 m;
    m.m[0] = 42.0f;
    rotationSpline(track, 100, m); // no rotation keys: nothing written
    EXPECT_EQ(m.m[0], 42.0f);
}

TEST_F(KeyframeTest, LoopingWrapsAtTheEndAndIgnoresAZeroEnd) {
    positions({{0, {0, 0, 0}}, {100, {100, 0, 0}}, {200, {200, 0, 0}}});
    track.looping = 1;
    track.linear = 1;
    Vec3 p;
    positionLinear(track, 210, p);
    EXPECT_NEAR(p.x, 10.0f, 1e-4f);
    track.start = 50;
    positionLinear(track, 210, p);
    EXPECT_NEAR(p.x, 50.0f, 1e-4f);
    track.start = 0;
    track.end = 0; // modulo by zero is never taken: time clamps to the empty segment
    p = {7, 0, 0};
    positionLinear(track, 210, p);
    EXPECT_NEAR(p.x, 0.0f, 1e-4f);
}

TEST_F(KeyframeTest, RotationKeysComposeOntoThePreviousOrientation) {
    rotations({{0, float(M_PI / 2)}, {100, 0.0f}, {200, float(M_PI / 2)}});
    const Quat& q0 = track.rotationKeys[0].orientation;
    const Quat& q1 = track.rotationKeys[1].orientation;
    const Quat& q2 = track.rotationKeys[2].orientation;
    EXPECT_NEAR(q1.z, q0.z, 1e-6f); // angle 0 keeps the orientation
    EXPECT_NEAR(q1.w, q0.w, 1e-6f);
    EXPECT_NEAR(q2.z, 1.0f, 1e-6f); // 90 + 90 degrees
    EXPECT_NEAR(q2.w, 0.0f, 1e-6f);

    // Between the two equal orientations both evaluators stay finite; slerp stays on them.
    Mat4 spline, linear;
    rotationSpline(track, 50, spline);
    rotationSlerp(track, 50, linear);
    for (float v : spline.m) EXPECT_FALSE(std::isnan(v));
    EXPECT_NEAR(spline.m[0] * spline.m[0] + spline.m[1] * spline.m[1], 1.0f, 1e-4f);
    EXPECT_NEAR(linear.m[1], 1.0f, 1e-6f); // R transposed of +90 degrees about z
    Mat4 half;
    rotationSlerp(track, 150, half);
    EXPECT_NEAR(half.m[0], std::cos(float(M_PI * 0.75)), 1e-5f);
}

// Turns about z at 0, 1 and 3 radians: on one axis the spline's repeated slerps work on
// the angle alone, so the results are those of a cubic Bezier curve over the angles, with
// the control points moved by the keys' tension, continuity and bias.
TEST_F(KeyframeTest, RotationSplineHonoursTcbParameters) {
    struct Case {
        const char* what;
        size_t key;
        float tension, continuity, bias;
        float firstHalf, secondHalf; // angles half-way through the two segments
    };
    const Case cases[] = {
        {"plain", 1, 0.0f, 0.0f, 0.0f, 0.4375f, 1.9375f},
        {"inner tension", 1, 0.5f, 0.0f, 0.0f, 0.53125f, 1.84375f},
        {"inner continuity", 1, 0.0f, -0.5f, 0.0f, 0.46875f, 1.96875f},
        {"inner bias", 1, 0.0f, 0.0f, 0.5f, 0.46875f, 1.90625f},
        {"first key's tension", 0, 0.5f, 0.0f, 0.0f, 0.375f, 1.9375f},
        {"first key's continuity and bias", 0, 0.0f, 0.5f, 0.5f, 0.46875f, 1.9375f},
        {"last key's continuity and bias", 2, 0.0f, 0.5f, 0.5f, 0.4375f, 2.0f},
    };
    for (const Case& c : cases) {
        rotations({{0, 0.0f}, {100, 1.0f}, {200, 2.0f}});
        RotationKey& key = track.rotationKeys[c.key];
        key.tension = c.tension, key.continuity = c.continuity, key.bias = c.bias;
        computeRotationControls(track);
        Mat4 first, second;
        rotationSpline(track, 50, first);
        rotationSpline(track, 150, second);
        // The matrix is the transposed rotation: m[0] = cos, m[1] = sin.
        EXPECT_NEAR(std::atan2(first.m[1], first.m[0]), c.firstHalf, 1e-4f) << c.what;
        EXPECT_NEAR(std::atan2(second.m[1], second.m[0]), c.secondHalf, 1e-4f) << c.what;
        Mat4 atKey;
        rotationSpline(track, 100, atKey); // u = 0 gives the key's own orientation
        EXPECT_NEAR(std::atan2(atKey.m[1], atKey.m[0]), 1.0f, 1e-5f) << c.what;
        clearTrackSet(track);
    }
}

TEST(AnimateObject, CameraAndObjectsAndTheEndOfTheTrack) {
    SceneObject object;
    TrackSet& t = object.tracks;
    resizePositionKeys(t, 2);
    t.positionKeys[1].frame = 100;
    t.positionKeys[1].position = {4, 0, 0};
    t.end = 100;
    computePositionTangents(t);
    t.time = 100; // at the last key: holds it instead of dropping to the origin
    animateObject(object);
    EXPECT_NEAR(object.transform.m[3], 4.0f, 1e-6f);
    t.time = 50;
    animateObject(object);
    EXPECT_NEAR(object.transform.m[3], 2.0f, 1e-6f);
    EXPECT_EQ(object.transform.m[0], 1.0f); // no rotation keys: identity

    object.isCamera = 1;
    resizePositionKeys(object.targetTracks, 1);
    object.targetTracks.positionKeys[0].position = {0, 0, -9};
    animateObject(object);
    EXPECT_EQ(object.target.z, -9.0f);
    EXPECT_NEAR(object.transform.m[3], 2.0f, 1e-6f);
    clearTrackSet(object.tracks);
    clearTrackSet(object.targetTracks);
}
