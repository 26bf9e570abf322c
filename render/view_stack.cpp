#include "render/view_stack.h"

#include <string>

#include "platform/system/failure.h"
#include "render/font2d.h"
#include "render/render_state.h"

ViewStackState viewStack;

namespace {

void applyView(const View& view) {
    if (view.target != nullptr) {
        makeTargetCurrent(*view.target);
        setTargetPerspective(*view.target);
    } else {
        if (renderTargets.current != nullptr) makeWindowCurrent();
        setPerspectiveView(currentViewWidth(), currentViewHeight());
    }
    overlay2D.quad.flip = view.flip;
    setViewLodBias(view.lodBias);
}

} // namespace

void pushView(const View& view) {
    ViewStackState& stack = viewStack;
    if (stack.depth >= kMaxViews)
        fatalError("ERROR", "More than " + std::to_string(kMaxViews) + " views were pushed !");
    // The view below is given back as it is now.
    View& below = stack.views[stack.depth - 1];
    below.flip = overlay2D.quad.flip;
    below.lodBias = renderState.viewLodBias;
    stack.views[stack.depth++] = view;
    if (view.target == nullptr) {
        if (renderTargets.current != nullptr) makeWindowCurrent();
        pushFramebuffer({view.framebuffer, view.width, view.height});
    }
    applyView(view);
}

void popView() {
    ViewStackState& stack = viewStack;
    if (stack.depth <= 1) return;
    if (stack.views[--stack.depth].target == nullptr) {
        if (renderTargets.current != nullptr) makeWindowCurrent();
        popFramebuffer();
    }
    applyView(stack.views[stack.depth - 1]);
}

const View& currentView() {
    return viewStack.views[viewStack.depth - 1];
}

View frameView(const OffscreenFrame& frame, float lodBias) {
    View view;
    view.framebuffer = frame.framebuffer;
    view.width = frame.width, view.height = frame.height;
    view.lodBias = lodBias;
    return view;
}

View targetView(PixelBufferTarget& target) {
    View view;
    view.target = &target;
    view.width = target.width, view.height = target.height;
    return view;
}

void drawFrameOverView(const OffscreenFrame& frame) {
    bool flip = overlay2D.quad.flip;
    overlay2D.quad.flip = true; // the frame's rows run bottom to top
    drawTextureQuad(frame.colourTexture, -1.0f, 1.0f, 2.0f, 2.0f);
    overlay2D.quad.flip = flip;
}
