#include "render/half_layer.h"

#include <GL/gl.h>

#include "render/font2d.h"
#include "render/render_state.h"

int32_t halfSide(int32_t side) {
    return side > 1 ? (side + 1) / 2 : 1;
}

bool beginHalfLayer(HalfLayer& layer, uint32_t viewFramebuffer, int depthBits) {
    RenderState& state = renderState;
    int width = halfSide(state.screenWidth), height = halfSide(state.screenHeight);
    OffscreenFrame& frame = layer.frame;
    if (frame.width != width || frame.height != height) {
        if (frame.framebuffer != 0) deleteOffscreenFrame(frame);
        if (!createTexturedFrame(frame, width, height, depthBits)) {
            frame = OffscreenFrame{};
            bindFramebuffer(viewFramebuffer);
            return false;
        }
    }
    layer.viewFramebuffer = viewFramebuffer;
    layer.viewWidth = state.screenWidth, layer.viewHeight = state.screenHeight;
    layer.viewAspect = state.aspect;
    copyDepth(viewFramebuffer, layer.viewWidth, layer.viewHeight, frame);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    const float* clear = state.clearColour;
    glClearColor(clear[0], clear[1], clear[2], clear[3]);
    // The view's projection over half its pixels: every square lands where it did, and the
    // 2D quads drawn in the layer cover it.
    layer.settingsWidth = state.settings.screenWidth;
    layer.settingsHeight = state.settings.screenHeight;
    state.settings.screenWidth = width, state.settings.screenHeight = height;
    setPerspectiveView(width, height);
    glMatrixMode(GL_MODELVIEW);
    layer.drawing = true;
    return true;
}

void endHalfLayer(HalfLayer& layer) {
    if (!layer.drawing) return;
    layer.drawing = false;
    bindFramebuffer(layer.viewFramebuffer);
    renderState.settings.screenWidth = layer.viewWidth;
    renderState.settings.screenHeight = layer.viewHeight; // the quad covers the view
    const LayerState before = renderState.layer;
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    setBlending(true);
    setBlendFunction(GL_ONE, GL_ONE);
    overlay2D.quad.flip = true; // the frame's rows run bottom to top
    drawTextureQuad(layer.frame.colourTexture, -1.0f, 1.0f, 2.0f, 2.0f);
    overlay2D.quad.flip = false;
    renderState.settings.screenWidth = layer.settingsWidth;
    renderState.settings.screenHeight = layer.settingsHeight;
    setPerspectiveViewAspect(layer.viewWidth, layer.viewHeight, layer.viewAspect);
    glMatrixMode(GL_MODELVIEW);
    setBlendFunction(before.blendSource, before.blendDestination);
    setBlending(before.blend);
}

void releaseHalfLayer(HalfLayer& layer) {
    if (layer.frame.framebuffer != 0) deleteOffscreenFrame(layer.frame);
    layer = HalfLayer{};
}
