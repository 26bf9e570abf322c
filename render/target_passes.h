// The passes drawn between render targets: the zoom blur, the glow, and the pixels of a view a
// target's quad can change (so that bounded targets are drawn only there).
#pragma once

#include <cstdint>

#include "render/render_targets.h"

// The pixels of a view of viewWidth x viewHeight that the target's quad (x, y, w, h) in 2D
// coordinates, with the 2D quad state as it is, can draw from the target's content when
// sampled with the LOD bias; the whole view for a target not bounded.
PixelRect quadFootprint(const PixelBufferTarget& target, float x, float y, float w, float h,
                        int32_t viewWidth, int32_t viewHeight, float lodBias);
// For a bounded target whose background adds nothing (black, drawn with an additive blend):
// scissors the current view to the pixels that the target's quad (x, y, w, h) in 2D
// coordinates, sampled with the LOD bias, can change, and returns true; the caller disables
// GL_SCISSOR_TEST afterwards. False, and no scissor, for any other target.
bool scissorToTargetQuad(const PixelBufferTarget& target, float x, float y, float w, float h,
                         float lodBias);

// Zoom blur: n passes back and forth between a and b, each drawing the source dimmed by
// intensity and, blended over it, a copy magnified by spread / 2^i. Returns the target that
// holds the result (b for an odd n, a for an even n).
PixelBufferTarget& blurPasses(PixelBufferTarget& a, PixelBufferTarget& b, int32_t passes,
                              float spread, float intensity);
// Glow: the parts of source brighter than intensity, scaled, into middle; middle tinted and
// spread through its smaller mipmaps (LOD bias) into destination, which is returned. When the
// source is bounded on a black background, only the rectangles that can differ from black are
// drawn (the rest is cleared), and the middle and destination are bounded in turn.
PixelBufferTarget& glowPasses(PixelBufferTarget& source, PixelBufferTarget& middle,
                              PixelBufferTarget& destination, float intensity, const float tint[3],
                              float lodBias);
