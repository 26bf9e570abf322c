#include "platform/tool_window.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include "platform/events.h"
#include "platform/gl/frame_pixels.h"
#include "platform/gl/gl_context.h"
#include "platform/gl/gl_strings.h"
#include "platform/gl/offscreen_frame.h"
#include "platform/window_state.h"

ToolWindowState toolWindowState;

namespace {

bool fail(std::string& error, const std::string& reason) {
    error = reason;
    closeToolWindow();
    return false;
}

} // namespace

bool openToolWindow(const std::string& title, int32_t width, int32_t height, bool offscreen,
                    std::string& error) {
    ToolWindowState& tw = toolWindowState;
    tw = ToolWindowState{};
    tw.width = width, tw.height = height, tw.offscreen = offscreen;
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        error = SDL_GetError();
        return false;
    }
    setVideoStarted(true);
    setWindowGLAttributes(24, 0, -1);
    Uint32 flags =
        SDL_WINDOW_OPENGL |
        (offscreen ? SDL_WINDOW_HIDDEN : SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI);
    int windowWidth = offscreen ? 64 : width, windowHeight = offscreen ? 64 : height;
    tw.window = SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                 windowWidth, windowHeight, flags);
    if (tw.window == nullptr) return fail(error, SDL_GetError());
    tw.context = SDL_GL_CreateContext(tw.window);
    if (tw.context == nullptr) return fail(error, SDL_GetError());
    if (SDL_GL_MakeCurrent(tw.window, tw.context) != 0) return fail(error, SDL_GetError());
    captureGLStrings();
    // Off-screen, every frame goes into a colour and depth buffer of the asked size.
    if (offscreen && !createOffscreenFrame(tw.frame, width, height, 24, 0))
        return fail(error, "the driver offers no off-screen framebuffer of that size");
    if (offscreen) setWindowFrame({tw.frame.framebuffer, width, height});
    if (!offscreen) SDL_GL_SetSwapInterval(0);
    if (!offscreen) SDL_GL_GetDrawableSize(tw.window, &tw.width, &tw.height);

    standInForMainWindow(tw.window, tw.context);
    setWindowGLContext(tw.window, tw.context);
    // The viewer shares the display with other windows: losing the focus must not stop it.
    setIgnoreFocus(true);
    startWindowClock();
    return true;
}

void closeToolWindow() {
    ToolWindowState& tw = toolWindowState;
    if (tw.context != nullptr) {
        setWindowFrame({});
        deleteOffscreenFrame(tw.frame);
    }
    if (tw.context != nullptr) {
        SDL_GL_MakeCurrent(tw.window, nullptr);
        SDL_GL_DeleteContext(tw.context);
    }
    if (tw.window != nullptr) SDL_DestroyWindow(tw.window);
    if (windowState.window == tw.window) standInForMainWindow(nullptr, nullptr);
    if (glContext.windowContext == tw.context) setWindowGLContext(nullptr, nullptr);
    if (windowState.videoStarted) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    setVideoStarted(false);
    tw = ToolWindowState{};
}

void setToolWindowTitle(const std::string& title) {
    if (toolWindowState.window != nullptr)
        SDL_SetWindowTitle(toolWindowState.window, title.c_str());
}

void presentToolWindow() {
    if (toolWindowState.offscreen)
        glFinish();
    else
        SDL_GL_SwapWindow(toolWindowState.window);
}

void pumpToolWindow() {
    SDL_Event event;
    beginEventBatch();
    while (SDL_PollEvent(&event)) {
        if (event.type == SDL_QUIT ||
            (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_CLOSE)) {
            toolWindowState.closeRequested = true;
        } else if (event.type == SDL_WINDOWEVENT &&
                   event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED &&
                   !toolWindowState.offscreen) {
            SDL_GL_GetDrawableSize(toolWindowState.window, &toolWindowState.width,
                                   &toolWindowState.height);
        } else if (event.type == SDL_MOUSEWHEEL) {
            int steps = event.wheel.y;
            if (event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) steps = -steps;
            toolWindowState.wheelSteps += steps;
        } else {
            handleEvent(event);
        }
    }
    endEventBatch();
}

int32_t takeWheelSteps() {
    int32_t steps = toolWindowState.wheelSteps;
    toolWindowState.wheelSteps = 0;
    return steps;
}

std::vector<uint8_t> readToolWindowPixels() {
    glReadBuffer(toolWindowState.offscreen ? GL_COLOR_ATTACHMENT0 : GL_BACK);
    return readFramePixels(toolWindowState.width, toolWindowState.height, 4);
}
