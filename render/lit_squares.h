// Added squares with mostly black textures (the flares, the star particles). Where a square
// is added to the picture without depth writes, its black texels change no pixel, so only the
// part of the square whose samples can reach a lit texel is drawn: the texture's lit
// rectangle grown by the reach of its filtering at the square's size on screen.
#pragma once

#include <cstdint>

#include "platform/math.h"
#include "resources/texture_record.h"

// A part of a texture in texture coordinates.
struct TexturePart {
    float s0 = 0.0f, t0 = 0.0f, s1 = 1.0f, t1 = 1.0f;
    bool whole() const { return s0 == 0.0f && t0 == 0.0f && s1 == 1.0f && t1 == 1.0f; }
};

// Eye space to window pixels with the current GL matrices and viewport, and the texture LOD
// bias of the active unit.
struct WindowMapping {
    double matrix[16] = {}; // projection x modelview, column-major
    int32_t viewport[4] = {};
    float lodBias = 0.0f;
};
WindowMapping currentWindowMapping();

// Whether squares drawn now are added to the picture (source factor one or alpha, destination
// factor one) without depth writes: then they give the same picture in any order.
bool addedWithoutDepthWrites();
// Whether a textured square drawn now on unit 0 leaves the picture as it is where its texels
// are black: added without depth writes, no stencil test, no fog
// and no colour added after texturing, the texture modulating or replacing the colour.
bool blackTexelsAddNothing();

// Texels of a width x height texture per window pixel across a square whose corners (top-left,
// top-right, bottom-right, bottom-left) hold the texture coordinates (0, 0), (1, 0), (1, 1)
// and (0, 1); 0 when a corner is not in front of the eye.
float squareTexelsPerPixel(const WindowMapping& mapping, const Vec3 corners[4], int32_t width,
                           int32_t height);

// The texels a trilinear sample can blend in from around it, at the level of detail of
// `texelsPerPixel` with the LOD bias, allowing half a level for the rasteriser's estimate:
// the mipmaps average aligned blocks, which the bilinear footprint reaches one texel beyond,
// with room for compressed 4 x 4 blocks.
int32_t trilinearReach(float texelsPerPixel, float lodBias);

// The part of the texture whose samples can reach a lit texel when drawn at `texelsPerPixel`;
// the whole texture when its lit texels are unknown, the size is unknown (0) or the reach
// comes near an edge (a repeating texture wraps round there).
TexturePart litTexturePart(const TextureRecord& texture, float texelsPerPixel, float lodBias);

// The corners of the part of the square, in the same order.
void partCorners(const Vec3 corners[4], const TexturePart& part, Vec3 out[4]);
