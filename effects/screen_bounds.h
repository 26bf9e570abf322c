// Where a branch of the scene graph lands on the current view: the pixels that its objects'
// world boxes cover with the camera and projection last applied. The glow uses it to draw
// only near the logo.
#pragma once

#include <cstdint>

#include "render/render_targets.h"

struct SceneNode;

// The pixels of a width x height view that the drawable objects under `branch` (itself
// included) can cover with the kept modelview and projection, grown by a pixel for the
// rasteriser's rounding: empty when there is nothing to draw. False when the branch cannot be
// bounded so (a box reaching behind the eye).
bool projectBranchBounds(const SceneNode* branch, int32_t width, int32_t height, PixelRect& rect);
// After `branch` was drawn into `target` over a clear to `background`: bounds the target's
// content by the branch's projection (nothing is recorded when it cannot be bounded).
void boundTargetToBranch(PixelBufferTarget& target, const SceneNode* branch,
                         const float background[4]);
