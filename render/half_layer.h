// Half-resolution layers: additive layers of soft light (a glow, flares, particles) drawn into a
// frame of half the view's sides that holds the view's depth, then added back over the view
// with bilinear filtering. The layer's pixels cost a quarter of the view's; adding it back costs
// one textured quad over the view.
#pragma once

#include <cstdint>

#include "platform/gl/offscreen_frame.h"

struct HalfLayer {
    OffscreenFrame frame;
    uint32_t viewFramebuffer = 0; // the framebuffer the layer is added to
    int32_t viewWidth = 0, viewHeight = 0;
    float viewAspect = 1.0f;
    int32_t settingsWidth = 0, settingsHeight = 0; // the render settings' size, given back
    bool drawing = false;
};

// A side of the layer for a side of the view: half of it, rounded up.
int32_t halfSide(int32_t side);
// Starts the layer over the view of the render state's size (its settings' size too) drawn into
// viewFramebuffer, which has a depth buffer of depthBits: binds a frame of half its sides, black
// and holding the view's depth, with the same projection, and makes it the size 2D quads and
// views are drawn at until the layer ends. False, with the view still bound, where no frame can
// be made.
bool beginHalfLayer(HalfLayer& layer, uint32_t viewFramebuffer, int depthBits);
// Adds the layer over the view with bilinear filtering and makes the view current again.
void endHalfLayer(HalfLayer& layer);
// Deletes the layer's frame (in the context it was made in).
void releaseHalfLayer(HalfLayer& layer);
