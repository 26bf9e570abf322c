#include "platform/gl/scaled_frames.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstdint>

#include "platform/gl/gamma_pass.h"

ScaledFramesState scaledFrames;

namespace {

// The frame as it can be read and scaled: multisampled frames are resolved first.
const OffscreenFrame& finishedFrame() {
    ScaledFramesState& state = scaledFrames;
    if (state.drawn.samples == 0) return state.drawn;
    copyFrame(state.drawn, state.resolved.framebuffer, 0, 0, state.drawn.width, state.drawn.height);
    return state.resolved;
}

} // namespace

FrameArea fitAspect(int width, int height, int areaWidth, int areaHeight) {
    if (width <= 0 || height <= 0 || areaWidth <= 0 || areaHeight <= 0) return {};
    FrameArea area;
    // Whichever side runs out first sets the scale.
    if (int64_t(areaWidth) * height <= int64_t(areaHeight) * width) {
        area.width = areaWidth;
        area.height = std::max(1, int(int64_t(height) * areaWidth / width));
    } else {
        area.height = areaHeight;
        area.width = std::max(1, int(int64_t(width) * areaHeight / height));
    }
    area.x = (areaWidth - area.width) / 2;
    area.y = (areaHeight - area.height) / 2;
    return area;
}

FrameArea drawnFrameArea(int width, int height, int areaWidth, int areaHeight, bool realPixels) {
    FrameArea fitted = fitAspect(width, height, areaWidth, areaHeight);
    if (realPixels && fitted.width > width && fitted.height >= height) return fitted;
    return {0, 0, width, height};
}

void windowPointToFrame(const FrameArea& shown, int frameWidth, int frameHeight, int& x, int& y) {
    if (shown.width <= 0 || shown.height <= 0) return;
    int64_t fx = int64_t(x - shown.x) * frameWidth / shown.width;
    int64_t fy = int64_t(y - shown.y) * frameHeight / shown.height;
    x = int(std::clamp<int64_t>(fx, 0, std::max(0, frameWidth - 1)));
    y = int(std::clamp<int64_t>(fy, 0, std::max(0, frameHeight - 1)));
}

bool startScaledFrames(int width, int height, int depthBits, int samples, bool windowMultisampled) {
    ScaledFramesState& state = scaledFrames;
    stopScaledFrames();
    if (samples > 0) {
        GLint largest = 0;
        glGetIntegerv(GL_MAX_SAMPLES, &largest);
        samples = std::min<int>(samples, largest);
        if (!state.createFrame(state.resolved, width, height, 0, 0)) return false;
    }
    if (!state.createFrame(state.drawn, width, height, depthBits, samples)) {
        deleteOffscreenFrame(state.resolved);
        return false;
    }
    state.active = true;
    state.windowMultisampled = windowMultisampled;
    setWindowFrame({state.drawn.framebuffer, width, height});
    return true;
}

void stopScaledFrames() {
    ScaledFramesState& state = scaledFrames;
    if (state.active) setWindowFrame({});
    deleteOffscreenFrame(state.drawn);
    deleteOffscreenFrame(state.resolved);
    state.active = false;
}

void showScaledFrame(int windowWidth, int windowHeight) {
    const OffscreenFrame& frame = finishedFrame();
    FrameArea shown = fitAspect(frame.width, frame.height, windowWidth, windowHeight);
    // The bars are cleared with the frame's own state put back afterwards.
    GLboolean scissor = glIsEnabled(GL_SCISSOR_TEST);
    GLfloat clearColour[4];
    GLboolean colourMask[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clearColour);
    glGetBooleanv(GL_COLOR_WRITEMASK, colourMask);
    glDisable(GL_SCISSOR_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    pushFramebuffer({0, windowWidth, windowHeight});
    glClear(GL_COLOR_BUFFER_BIT);
    if (gammaPass.ready && (gammaPass.curved || scaledFrames.windowMultisampled))
        drawGammaPass(frame.colourTexture, frame.width, frame.height, shown.x, shown.y, shown.width,
                      shown.height);
    else
        copyFrame(frame, 0, shown.x, shown.y, shown.width, shown.height);
    popFramebuffer();
    glClearColor(clearColour[0], clearColour[1], clearColour[2], clearColour[3]);
    glColorMask(colourMask[0], colourMask[1], colourMask[2], colourMask[3]);
    if (scissor == GL_TRUE) glEnable(GL_SCISSOR_TEST);
}

void readScaledFrame() {
    readFromFrame(finishedFrame());
}
