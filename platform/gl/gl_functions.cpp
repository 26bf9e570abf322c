#include "platform/gl/gl_functions.h"

#include <SDL.h>

GLFunctions glFunctions;

namespace {

template <typename Fn> void load(Fn& function, const char* name, void* (*lookUp)(const char*)) {
    function = reinterpret_cast<Fn>(lookUp(name));
}

} // namespace

void loadGLFunctions(GLFunctions& table, void* (*lookUp)(const char* name)) {
    table = GLFunctions{};
#define ZORX_GL_LOAD(type, name) load(table.name, #name, lookUp);
    ZORX_GL_MULTITEXTURE(ZORX_GL_LOAD)
    ZORX_GL_VERTEX_BUFFERS(ZORX_GL_LOAD)
    ZORX_GL_FRAMEBUFFERS(ZORX_GL_LOAD)
    ZORX_GL_SHADERS(ZORX_GL_LOAD)
    ZORX_GL_PIXEL_BUFFERS(ZORX_GL_LOAD)
    ZORX_GL_QUERIES(ZORX_GL_LOAD)
    ZORX_GL_WINDOW_SYSTEM(ZORX_GL_LOAD)
#undef ZORX_GL_LOAD
#define ZORX_GL_FOUND(type, name) &&table.name != nullptr
    table.vertexBuffers = true ZORX_GL_VERTEX_BUFFERS(ZORX_GL_FOUND);
    table.framebuffers = true ZORX_GL_FRAMEBUFFERS(ZORX_GL_FOUND);
    table.shaders = true ZORX_GL_SHADERS(ZORX_GL_FOUND);
    table.pixelBuffers = true ZORX_GL_PIXEL_BUFFERS(ZORX_GL_FOUND);
    table.queries = true ZORX_GL_QUERIES(ZORX_GL_FOUND);
#undef ZORX_GL_FOUND
}

void loadGLFunctions() {
    loadGLFunctions(glFunctions, SDL_GL_GetProcAddress);
}
