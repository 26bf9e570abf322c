#include "platform/tool_window.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include "platform/events.h"
#include "platform/frame_pixels.h"
#include "platform/gl_strings.h"
#include "platform/window.h"

ToolWindowState toolWindowState;

namespace {

// The framebuffer-object calls, fetched from the driver once the context exists.
struct FramebufferCalls {
    PFNGLGENFRAMEBUFFERSPROC genFramebuffers = nullptr;
    PFNGLDELETEFRAMEBUFFERSPROC deleteFramebuffers = nullptr;
    PFNGLBINDFRAMEBUFFERPROC bindFramebuffer = nullptr;
    PFNGLGENRENDERBUFFERSPROC genRenderbuffers = nullptr;
    PFNGLDELETERENDERBUFFERSPROC deleteRenderbuffers = nullptr;
    PFNGLBINDRENDERBUFFERPROC bindRenderbuffer = nullptr;
    PFNGLRENDERBUFFERSTORAGEPROC renderbufferStorage = nullptr;
    PFNGLFRAMEBUFFERRENDERBUFFERPROC framebufferRenderbuffer = nullptr;
    PFNGLCHECKFRAMEBUFFERSTATUSPROC checkFramebufferStatus = nullptr;
};
FramebufferCalls fbo;

template <typename Fn> bool fetch(Fn& function, const char* name) {
    function = reinterpret_cast<Fn>(SDL_GL_GetProcAddress(name));
    return function != nullptr;
}

bool fetchFramebufferCalls() {
    return fetch(fbo.genFramebuffers, "glGenFramebuffers") &&
           fetch(fbo.deleteFramebuffers, "glDeleteFramebuffers") &&
           fetch(fbo.bindFramebuffer, "glBindFramebuffer") &&
           fetch(fbo.genRenderbuffers, "glGenRenderbuffers") &&
           fetch(fbo.deleteRenderbuffers, "glDeleteRenderbuffers") &&
           fetch(fbo.bindRenderbuffer, "glBindRenderbuffer") &&
           fetch(fbo.renderbufferStorage, "glRenderbufferStorage") &&
           fetch(fbo.framebufferRenderbuffer, "glFramebufferRenderbuffer") &&
           fetch(fbo.checkFramebufferStatus, "glCheckFramebufferStatus");
}

// An RGBA 8-8-8-8 colour buffer and a 24-bit depth buffer of the window's size, bound as
// the target of every frame.
bool makeOffscreenTarget(std::string& error) {
    ToolWindowState& tw = toolWindowState;
    if (!fetchFramebufferCalls()) {
        error = "the driver has no framebuffer objects";
        return false;
    }
    fbo.genFramebuffers(1, &tw.framebuffer);
    fbo.bindFramebuffer(GL_FRAMEBUFFER, tw.framebuffer);
    fbo.genRenderbuffers(1, &tw.colourBuffer);
    fbo.bindRenderbuffer(GL_RENDERBUFFER, tw.colourBuffer);
    fbo.renderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, tw.width, tw.height);
    fbo.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER,
                                tw.colourBuffer);
    fbo.genRenderbuffers(1, &tw.depthBuffer);
    fbo.bindRenderbuffer(GL_RENDERBUFFER, tw.depthBuffer);
    fbo.renderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, tw.width, tw.height);
    fbo.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER,
                                tw.depthBuffer);
    fbo.bindRenderbuffer(GL_RENDERBUFFER, 0);
    if (fbo.checkFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        error = "the off-screen framebuffer of that size is not complete";
        return false;
    }
    glDrawBuffer(GL_COLOR_ATTACHMENT0);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    return true;
}

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
    windowState.videoStarted = true;
    setWindowGLAttributes(24, 0, -1);
    Uint32 flags = SDL_WINDOW_OPENGL | (offscreen ? SDL_WINDOW_HIDDEN : 0);
    int windowWidth = offscreen ? 64 : width, windowHeight = offscreen ? 64 : height;
    tw.window = SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                 windowWidth, windowHeight, flags);
    if (tw.window == nullptr) return fail(error, SDL_GetError());
    tw.context = SDL_GL_CreateContext(tw.window);
    if (tw.context == nullptr) return fail(error, SDL_GetError());
    if (SDL_GL_MakeCurrent(tw.window, tw.context) != 0) return fail(error, SDL_GetError());
    if (offscreen && !makeOffscreenTarget(error)) return fail(error, error);
    if (!offscreen) SDL_GL_SetSwapInterval(0);

    windowState.window = tw.window;
    windowState.context = tw.context;
    captureGLStrings();
    // The viewer shares the display with other windows: losing the focus must not stop it.
    eventState.ignoreFocus = true;
    eventState.running = true;
    eventState.clock.timeBase = tickCount();
    return true;
}

void closeToolWindow() {
    ToolWindowState& tw = toolWindowState;
    if (tw.context != nullptr && tw.framebuffer != 0) {
        fbo.bindFramebuffer(GL_FRAMEBUFFER, 0);
        fbo.deleteFramebuffers(1, &tw.framebuffer);
        fbo.deleteRenderbuffers(1, &tw.colourBuffer);
        fbo.deleteRenderbuffers(1, &tw.depthBuffer);
    }
    if (tw.context != nullptr) {
        SDL_GL_MakeCurrent(tw.window, nullptr);
        SDL_GL_DeleteContext(tw.context);
    }
    if (tw.window != nullptr) SDL_DestroyWindow(tw.window);
    if (windowState.window == tw.window) windowState.window = nullptr;
    if (windowState.context == tw.context) windowState.context = nullptr;
    if (windowState.videoStarted) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    windowState.videoStarted = false;
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
