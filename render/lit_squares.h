// Added squares with mostly black textures (the flares, the star particles). Where a square
// is added to the picture without depth writes, its black texels change no pixel, so only the
// part of the square whose samples can reach a lit texel is drawn: the texture's lit
// rectangle grown by the reach of its filtering at the square's size on screen.
#pragma once

#include <GL/gl.h>

#include <cstdint>

#include "platform/system/math.h"
#include "render/footprint.h"
#include "resources/texture_record.h"

// A part of a texture in texture coordinates.
struct TexturePart {
    float s0 = 0.0f, t0 = 0.0f, s1 = 1.0f, t1 = 1.0f;
    bool whole() const { return s0 == 0.0f && t0 == 0.0f && s1 == 1.0f && t1 == 1.0f; }
};

// Whether squares drawn now are added to the picture (source factor one or alpha, destination
// factor one) without depth writes: then they give the same picture in any order. Both
// questions are answered from the engine's copy of the GL state (render state).
bool addedWithoutDepthWrites();
// Whether a textured square drawn now on unit 0 leaves the picture as it is where its texels
// are black: added without depth writes, no fog, the texture modulating or replacing the
// colour (the engine never turns on the stencil test or a colour added after texturing).
bool blackTexelsAddNothing();

// The part of the texture whose samples can reach a lit texel when drawn at `texelsPerPixel`;
// the whole texture when its lit texels are unknown, the size is unknown (0) or the reach
// comes near an edge (a repeating texture wraps round there).
TexturePart litTexturePart(const TextureRecord& texture, float texelsPerPixel, float lodBias);

// The corners of the part of the square, in the same order.
void partCorners(const Vec3 corners[4], const TexturePart& part, Vec3 out[4]);

// One textured camera-facing square (an outline in wireframe mode). Given the texture's record,
// a square added to the picture draws only the part whose texels can add to it.
void drawBillboard(const Vec3& centre, float halfSize, GLuint texture, const float matrix[16],
                   const TextureRecord* texels = nullptr);
