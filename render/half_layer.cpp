#include "render/half_layer.h"

#include <GL/gl.h>

#include "render/render_state.h"
#include "render/view_stack.h"

int32_t halfSide(int32_t side) {
    return side > 1 ? (side + 1) / 2 : 1;
}

bool beginHalfLayer(HalfLayer& layer, int depthBits) {
    const int32_t viewWidth = currentViewWidth(), viewHeight = currentViewHeight();
    OffscreenFrame& frame = layer.frame;
    if (!sizeTexturedFrame(frame, halfSide(viewWidth), halfSide(viewHeight), depthBits))
        return false;
    copyDepth(currentFramebuffer().framebuffer, viewWidth, viewHeight, frame);
    // The view's projection over half its pixels: every square lands where it did, and the
    // 2D quads drawn in the layer cover it.
    pushView(frameView(frame, renderState.viewLodBias));
    glMatrixMode(GL_MODELVIEW);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    const float* clear = renderState.clearColour;
    glClearColor(clear[0], clear[1], clear[2], clear[3]);
    layer.drawing = true;
    return true;
}

void endHalfLayer(HalfLayer& layer) {
    if (!layer.drawing) return;
    layer.drawing = false;
    popView();
    const LayerState before = renderState.layer;
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    setBlending(true);
    setBlendFunction(GL_ONE, GL_ONE);
    drawFrameOverView(layer.frame);
    setBlendFunction(before.blendSource, before.blendDestination);
    setBlending(before.blend);
}

void releaseHalfLayer(HalfLayer& layer) {
    deleteOffscreenFrame(layer.frame);
    layer = HalfLayer{};
}
