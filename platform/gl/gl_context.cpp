#include "platform/gl/gl_context.h"

#include <SDL.h>

GLContextState glContext;

void setWindowGLContext(SDL_Window* window, SDL_GLContext context) {
    glContext.window = window;
    glContext.windowContext = context;
}

GLContextHandle createSharedContext() {
    if (glContext.window == nullptr || glContext.windowContext == nullptr) return nullptr;
    SDL_GLContext previous = SDL_GL_GetCurrentContext();
    // Sharing is with the context current at creation: any of the family will do, as they
    // all share one name space, but with none current the new context would stand alone.
    if (previous == nullptr && SDL_GL_MakeCurrent(glContext.window, glContext.windowContext) != 0)
        return nullptr;
    SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, 1);
    SDL_GLContext context = SDL_GL_CreateContext(glContext.window);
    SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, 0);
    if (context == nullptr && previous != nullptr) SDL_GL_MakeCurrent(glContext.window, previous);
    return context;
}

bool makeContextCurrent(GLContextHandle context) {
    if (glContext.window == nullptr || context == nullptr) return false;
    return SDL_GL_MakeCurrent(glContext.window, static_cast<SDL_GLContext>(context)) == 0;
}

bool makeWindowContextCurrent() {
    return makeContextCurrent(glContext.windowContext);
}

bool releaseCurrentContext() {
    return SDL_GL_MakeCurrent(glContext.window, nullptr) == 0;
}

void deleteContext(GLContextHandle context) {
    if (context != nullptr) SDL_GL_DeleteContext(static_cast<SDL_GLContext>(context));
}

int setSwapInterval(unsigned int interval) {
    return SDL_GL_SetSwapInterval(static_cast<int>(interval)) == 0 ? 0 : -1;
}

int swapInterval() {
    return SDL_GL_GetSwapInterval();
}
