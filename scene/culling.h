// Frustum culling of scene objects: one object's boxes against the six planes, skipping the
// planes its parent already lies inside, and the counters the statistics overlay shows.
#pragma once

#include <cstdint>

#include "platform/system/math.h"

struct SceneObject;

// Frustum-test counters, read (and reset each frame) by the statistics overlay.
struct CullState {
    uint32_t objectTests = 0;      // objects tested against the frustum
    uint32_t objectTestsSaved = 0; // objects accepted because the parent lay wholly inside
    uint32_t planeTests = 0;       // single plane tests done
    uint32_t planeTestsSaved = 0;  // plane tests skipped (6 per saved object, plus masked planes)
};
extern CullState cullState;

// Frustum decision for one object against six planes. parentMask and childMask hold one byte
// per plane, non-zero meaning the plane must still be tested; childMask receives the planes
// the object's children must test. Sets the object's cullResult; returns visible.
bool cullObject(SceneObject& object, const Plane* planes, const uint8_t* parentMask,
                uint8_t* childMask);
