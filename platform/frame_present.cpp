#include "platform/frame_present.h"

#include <GL/gl.h>

#include <algorithm>
#include <string>
#include <string_view>

#include "platform/gl/gamma_pass.h"
#include "platform/gl/scaled_frames.h"
#include "platform/system/failure.h"
#include "platform/window_state.h"

namespace {

constexpr std::string_view kAttention = "ATTENTION !";

} // namespace

void swapMainWindow() {
    if (windowState.window == nullptr) return;
    if (scaledFrames.active) {
        int width = 0, height = 0;
        SDL_GL_GetDrawableSize(windowState.window, &width, &height);
        showScaledFrame(width, height);
    }
    SDL_GL_SwapWindow(windowState.window);
    fitFramesToWindow();
}

void fitFramesToWindow() {
    WindowState& state = windowState;
    if (state.window == nullptr || state.context == nullptr || state.pictureWidth <= 0 ||
        SDL_GL_GetCurrentContext() != state.context)
        return;
    int width = 0, height = 0;
    SDL_GL_GetDrawableSize(state.window, &width, &height);
    FrameArea drawn =
        drawnFrameArea(state.pictureWidth, state.pictureHeight, width, height, state.realPixels);
    bool resized = drawn.width != state.drawnWidth || drawn.height != state.drawnHeight;
    state.drawnWidth = drawn.width, state.drawnHeight = drawn.height;
    bool offscreen = width != drawn.width || height != drawn.height ||
                     state.ownSamples != state.frameSamples || gammaPass.curved;
    if ((offscreen == scaledFrames.active && !resized) || (offscreen && state.fitRefused)) return;
    if (!offscreen) {
        stopScaledFrames();
        // Straight into the window, at its pixels where they are more than the picture's.
        setWindowFrame({0, drawn.width, drawn.height});
        return;
    }
    // A multisampled window takes its frames through the gamma pass only.
    bool multisampled = state.ownSamples > 0;
    if ((!multisampled || gammaPass.ready) &&
        startScaledFrames(drawn.width, drawn.height, state.depthBits,
                          std::max(state.frameSamples, 0), multisampled))
        return;
    state.fitRefused = true;
    std::string size = std::to_string(drawn.width) + " x " + std::to_string(drawn.height);
    noticeBox(kAttention,
              "The picture cannot be fitted to the window !\nThe video driver cannot draw the " +
                  size +
                  " picture off-screen, so it is drawn into the window as it is: from the lower "
                  "left corner, cut off where the window is smaller, black where it is larger, "
                  "and without a gamma correction of its own.\n\nNOTE : Nevertheless you can "
                  "continue with this application");
}

void mainFrameSize(int& width, int& height) {
    width = height = 0;
    if (windowState.drawnWidth > 0 && windowState.window != nullptr) {
        width = windowState.drawnWidth;
        height = windowState.drawnHeight;
        return;
    }
    if (windowState.window != nullptr) SDL_GL_GetDrawableSize(windowState.window, &width, &height);
}

void readMainFrame() {
    if (scaledFrames.active)
        readScaledFrame();
    else
        glReadBuffer(GL_BACK);
}

void mouseToFrame(int& x, int& y) {
    const WindowState& state = windowState;
    if (state.window == nullptr || state.drawnWidth <= 0) return;
    // In the window's own units (smaller than the drawable's pixels on a HiDPI screen).
    int width = 0, height = 0;
    SDL_GetWindowSize(state.window, &width, &height);
    if (width == state.drawnWidth && height == state.drawnHeight) return;
    windowPointToFrame(fitAspect(state.drawnWidth, state.drawnHeight, width, height),
                       state.drawnWidth, state.drawnHeight, x, y);
}
