// Where something drawn lands on the view, and how far the samples of a texture drawn there
// can reach. The trimmed added squares, the glow's passes and quad and the screen bounds of a
// branch all ask these two questions; they are answered here once, from the engine's own copy
// of the matrices and the viewport (render state), with nothing read back from GL.
#pragma once

#include <cstdint>

#include "platform/system/math.h"

// Points to view pixels: projection x modelview (column-major) and the view's size.
struct ViewMapping {
    double matrix[16] = {};
    int32_t width = 0;
    int32_t height = 0;
};

// The mapping of the matrices and viewport the engine set last (render state).
ViewMapping keptViewMapping();
// The same for given column-major matrices and a view size.
ViewMapping viewMapping(const float projection[16], const float modelview[16], int32_t width,
                        int32_t height);

// Clip coordinates of a point; false when it is not in front of the eye.
bool projectToClip(const ViewMapping& mapping, const Vec3& p, double clip[4]);

// Texels of a width x height texture per view pixel across a square whose corners (top-left,
// top-right, bottom-right, bottom-left) hold the texture coordinates (0, 0), (1, 0), (1, 1)
// and (0, 1). Only for squares that face the view (all corners at one depth, so the texture
// spreads evenly over them: the billboards and particles); 0 for any other square and for a
// corner not in front of the eye.
float squareTexelsPerPixel(const ViewMapping& mapping, const Vec3 corners[4], int32_t width,
                           int32_t height);

// How far, in texels of the largest image, the samples of a texture drawn at `texelsPerPixel`
// with a LOD bias can blend in texels from. Mipmapped: the coarsest level a trilinear sample
// may blend in, allowing half a level for the rasteriser's estimate; that level's texels
// average aligned blocks, which its bilinear 2 x 2 reaches one and a half blocks beyond, and
// 4 texels more leave room for compressed 4 x 4 blocks. Without mipmaps the bilinear 2 x 2 of
// the largest image. `largest` (the larger side) when the coarsest level may be any.
int32_t samplingReach(float texelsPerPixel, float lodBias, bool mipmapped, int32_t largest);
