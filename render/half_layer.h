// Half-resolution layers: additive layers of soft light (a glow, flares, particles) drawn into a
// frame of half the view's sides that holds the view's depth, then added back over the view
// with bilinear filtering. The layer's pixels cost a quarter of the view's; adding it back costs
// one textured quad over the view.
#pragma once

#include <cstdint>

#include "platform/gl/offscreen_frame.h"

struct HalfLayer {
    OffscreenFrame frame;
    bool drawing = false;
};

// A side of the layer for a side of the view: half of it, rounded up.
int32_t halfSide(int32_t side);
// Starts the layer over the current view, whose framebuffer has a depth buffer of depthBits:
// pushes a frame of half its sides, black and holding the view's depth, with the view's
// projection over half its pixels. False, with the view still current, where no frame can be
// made.
bool beginHalfLayer(HalfLayer& layer, int depthBits);
// Pops the layer and adds it over the view with bilinear filtering.
void endHalfLayer(HalfLayer& layer);
// Deletes the layer's frame (in the context it was made in).
void releaseHalfLayer(HalfLayer& layer);
