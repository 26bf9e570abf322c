// The views drawn into, as a stack: the window's frame at the bottom, and over it off-screen
// frames (the 3D part drawn smaller, a half layer) and render targets. Pushing a view pushes
// its framebuffer on the window context's framebuffer stack (a render target: makes its
// context current instead), sets the viewport and perspective projection for its size, the
// size the 2D views take, the 2D quads' row order and the view's texture LOD bias. Popping
// gives the view below all of these back as they were when the view was pushed. The render
// settings keep the configured size throughout.
#pragma once

#include <cstdint>

#include "platform/gl/offscreen_frame.h"
#include "render/render_targets.h"

struct View {
    uint32_t framebuffer = 0;            // in the window's context (0: the window's own)
    PixelBufferTarget* target = nullptr; // else a render target, drawn in its own context
    int32_t width = 0;                   // 0: the window's frame, at the size it is drawn at
    int32_t height = 0;
    bool flip = false;    // overlay2D.quad.flip while the view is current
    float lodBias = 0.0f; // the view LOD bias while it is current (see setViewLodBias)
};

inline constexpr int32_t kMaxViews = 8;

struct ViewStackState {
    View views[kMaxViews]; // views[0] is the window's frame
    int32_t depth = 1;     // views in use
};
extern ViewStackState viewStack;

// Binds the view and sets what it governs; more than kMaxViews views is fatal.
void pushView(const View& view);
// Back to the view below, as it was when this one was pushed; the window's frame stays.
void popView();
const View& currentView();

// An off-screen frame as a view, with the given LOD bias.
View frameView(const OffscreenFrame& frame, float lodBias);
// A render target as a view: its perspective takes the aspect of the window-side view below.
View targetView(PixelBufferTarget& target);
// Draws the colour of an off-screen frame over the whole current view (its rows run bottom to
// top), with the blending as it is.
void drawFrameOverView(const OffscreenFrame& frame);
