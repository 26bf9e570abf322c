// Keyframe animation: position keys with tension, continuity and bias, rotation keys given
// as angle and axis relative to the previous key, their one-time preparation (tangents,
// absolute quaternions, quaternion control points) and their evaluation at a time given in
// tenths of a 3DS frame, with cubic splines or linearly.
#pragma once

#include <cstdint>

#include "platform/system/math.h"

struct PositionKey {
    int32_t frame = 0; // tenths of a frame
    Vec3 position;
    float tension = 0.0f, bias = 0.0f, continuity = 0.0f;
    Vec3 incoming; // tangent arriving at the key
    Vec3 outgoing; // tangent leaving the key
};

struct RotationKey {
    int32_t frame = 0;  // tenths of a frame
    float angle = 0.0f; // radians, relative to the previous key
    Vec3 axis;          // used as stored, not normalised
    float tension = 0.0f, bias = 0.0f, continuity = 0.0f;
    Quat orientation; // absolute after rotationKeysToQuaternions
    Quat incoming;    // control points
    Quat outgoing;
};

// A cleared track set is all zero and holds no keys. The key arrays are accounted blocks of
// exactly count entries.
struct TrackSet {
    uint8_t looping = 0; // time is taken modulo end (ignored while end is 0)
    uint8_t linear = 0;  // 1: linear position and slerp rotation; 0: splines
    int32_t time = 0;    // current time, set by the caller
    int32_t start = 0;   // segment start
    int32_t end = 0;     // segment end
    uint32_t positionKeyCount = 0;
    uint32_t rotationKeyCount = 0;
    PositionKey* positionKeys = nullptr;
    RotationKey* rotationKeys = nullptr;
};

// Key storage: resizing keeps the existing keys and value-initialises new ones.
void resizePositionKeys(TrackSet& track, uint32_t count);
void resizeRotationKeys(TrackSet& track, uint32_t count);
// Frees both key arrays and clears the set.
void clearTrackSet(TrackSet& track);

// Preparation, once after the keys are stored.
void computePositionTangents(TrackSet& track);
void rotationKeysToQuaternions(TrackSet& track);
void computeRotationControls(TrackSet& track);

// The value of key min(k, count - 1); nothing is written when there are no keys.
void positionAtKey(const TrackSet& track, uint32_t k, Vec3& out);
void rotationAtKey(const TrackSet& track, uint32_t k, Mat4& out);

// Evaluation at time T. Nothing is written when there are no keys, when T (after looping and
// clamping to [start, end]) lies before the first key or at or after the last key. Rotations
// are written into the upper 3 x 4 of out (translation column 0).
void positionLinear(const TrackSet& track, int32_t time, Vec3& out);
void positionSpline(const TrackSet& track, int32_t time, Vec3& out);
void rotationSlerp(const TrackSet& track, int32_t time, Mat4& out);
void rotationSpline(const TrackSet& track, int32_t time, Mat4& out);

// The track's position at its own current time, linear or spline as `linear` says (written
// as the evaluators above write).
void evaluatePosition(const TrackSet& track, bool linear, Vec3& out);
// Position and rotation of the tracks at their current time. Outside the keyed range they hold
// the last key (the first before the first key) instead of keeping what the caller passed.
void evaluateTransform(const TrackSet& tracks, Vec3& position, Mat4& rotation);
