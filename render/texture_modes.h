// Texture modes: each one sets up the texture environment of the active texture unit for one
// purpose through the combiners. Materials hold them in their layer slots (the form with two
// ignored integers); the 2D quad operations take the plain form.
#pragma once

#include <cstdint>

using TextureMode = void (*)();
using LayerTextureMode = void (*)(int32_t, int32_t);

// Plain modulation, scale 1, LOD bias 0, identity texture matrix: also the reset after
// multitextured 2D drawing.
void texModeDefault();
// texture - previous stage; alpha from the texture.
void texModeSubtract();
// 4 x texture x previous stage; alpha from the texture.
void texModeModulatePrevious4x();
// 4 x primary colour x previous stage; alpha from the primary colour.
void texModePrimaryPrevious4x();
// The texture's colour with alpha 1.
void texModeReplaceOpaque();
// Dot product of texture and previous stage (both expanded to [-1, 1]) in R, G and B; alpha
// 1: on the cube-map layer of bump mapping, the light direction against the normal map.
// Leaves the texture matrix alone (the cube-map layer sets its own).
void texModeDot3();
// texture x previous stage; alpha from the texture: the colour map lit by the DOT3 layer below
// it. Leaves the texture matrix alone.
void texModeModulatePrevious();
// primary colour + texture; alpha from the primary colour. Leaves the texture matrix alone.
void texModeAddPrimary();

void layerTexModeDefault(int32_t, int32_t);
void layerTexModeSubtract(int32_t, int32_t);
void layerTexModeModulatePrevious4x(int32_t, int32_t);
void layerTexModePrimaryPrevious4x(int32_t, int32_t);
void layerTexModeReplaceOpaque(int32_t, int32_t);
void layerTexModeDot3(int32_t, int32_t);
void layerTexModeModulatePrevious(int32_t, int32_t);
void layerTexModeAddPrimary(int32_t, int32_t);
