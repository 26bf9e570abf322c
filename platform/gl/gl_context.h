// Further OpenGL contexts on the main window: each off-screen render target owns one that
// shares textures, buffers and display lists with the window's context. Switching between
// them and the window's context, and deleting them. The swap interval of the current
// context, through whichever swap-control interface the window system offers.
#pragma once

#include <SDL.h>

using GLContextHandle = void*;

// The main window and its own context, as the window code made them (null: none).
struct GLContextState {
    SDL_Window* window = nullptr;
    SDL_GLContext windowContext = nullptr;
};
extern GLContextState glContext;
void setWindowGLContext(SDL_Window* window, SDL_GLContext context);

// A new context that shares objects with the window's context, current on return; nullptr
// when the window system refuses one (the context current before stays current).
GLContextHandle createSharedContext();
// Makes the context current on the main window; false when the window system refuses.
bool makeContextCurrent(GLContextHandle context);
// The main window's own context.
bool makeWindowContextCurrent();
// Leaves no context current.
bool releaseCurrentContext();
void deleteContext(GLContextHandle context);

// Sets the swap interval of the current context (1: wait for the vertical blank, 0: do not);
// 0 on success, -1 when the window system offers no way to set it.
int setSwapInterval(unsigned int interval);
// The current context's swap interval as the window system reports it.
int swapInterval();
