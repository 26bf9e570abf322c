#include "platform/window_state.h"

#include <cstring>

#include "platform/gl/scaled_frames.h"
#include "platform/system/instance.h"

WindowState windowState;

void standInForMainWindow(SDL_Window* window, SDL_GLContext context) {
    windowState.window = window;
    windowState.context = context;
}

void setVideoStarted(bool started) {
    windowState.videoStarted = started;
}

bool waylandWindows() {
    const char* driver = windowState.videoStarted ? SDL_GetCurrentVideoDriver() : nullptr;
    return driver != nullptr && std::strcmp(driver, "wayland") == 0;
}

void raiseMainWindow() {
    if (windowState.window == nullptr) return;
    SDL_RestoreWindow(windowState.window);
    SDL_RaiseWindow(windowState.window);
}

void serveLaterStarts() {
    if (pollInstanceRequests()) raiseMainWindow();
}

void minimiseMainWindow() {
    if (windowState.window != nullptr && !waylandWindows()) SDL_MinimizeWindow(windowState.window);
}

ScreenRect mainWindowRect() {
    ScreenRect rect;
    if (windowState.window == nullptr) return rect;
    SDL_GetWindowPosition(windowState.window, &rect.x, &rect.y);
    SDL_GetWindowSize(windowState.window, &rect.width, &rect.height);
    int top = 0, left = 0, bottom = 0, right = 0;
    if (SDL_GetWindowBordersSize(windowState.window, &top, &left, &bottom, &right) == 0) {
        rect.x -= left;
        rect.y -= top;
        rect.width += left + right;
        rect.height += top + bottom;
    }
    return rect;
}

ScreenRect placeWindow(int width, int height, const ScreenRect& usable,
                       const WindowBorders& borders) {
    int areaWidth = usable.width - borders.left - borders.right;
    int areaHeight = usable.height - borders.top - borders.bottom;
    ScreenRect place = {0, 0, width, height};
    if (width > areaWidth || height > areaHeight) {
        FrameArea fitted = fitAspect(width, height, areaWidth, areaHeight);
        if (fitted.width > 0) place.width = fitted.width, place.height = fitted.height;
    }
    place.x = usable.x + borders.left + (areaWidth - place.width) / 2;
    place.y = usable.y + borders.top + (areaHeight - place.height) / 2;
    return place;
}

void setWindowGLAttributes(int depthBits, int stencilBits, int samples) {
    SDL_GL_ResetAttributes();
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, depthBits);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, stencilBits);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, samples >= 0 ? 1 : 0);
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, samples >= 0 ? samples : 0);
}
