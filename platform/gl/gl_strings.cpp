#include "platform/gl/gl_strings.h"

#include <GL/gl.h>
#include <SDL.h>
#include <SDL_syswm.h>

#include <cstring>

#include "platform/gl/gl_functions.h"

GLStrings glStrings;

bool wordListed(std::string_view list, std::string_view word) {
    size_t at = 0;
    while ((at = list.find(word, at)) != std::string_view::npos) {
        bool startOk = at == 0 || list[at - 1] == ' ';
        size_t end = at + word.size();
        if (startOk && (end == list.size() || list[end] == ' ')) return true;
        at = end;
    }
    return false;
}

bool windowSystemIsGlx() {
    const char* driver = SDL_GetCurrentVideoDriver();
    return driver != nullptr && std::strcmp(driver, "x11") == 0 &&
           glFunctions.glXQueryExtensionsString != nullptr;
}

namespace {

void keepIfPresent(std::string& field, const char* text) {
    if (text != nullptr) field = text;
}

const char* windowSystemExtensionList() {
    SDL_Window* window = SDL_GL_GetCurrentWindow();
    if (windowSystemIsGlx()) {
        SDL_SysWMinfo info;
        SDL_VERSION(&info.version);
        if (window == nullptr || !SDL_GetWindowWMInfo(window, &info)) return nullptr;
        Display* display = info.info.x11.display;
        return glFunctions.glXQueryExtensionsString(display, DefaultScreen(display));
    }
    if (glFunctions.eglGetCurrentDisplay == nullptr || glFunctions.eglQueryString == nullptr)
        return nullptr;
    void* display = glFunctions.eglGetCurrentDisplay();
    return display != nullptr ? glFunctions.eglQueryString(display, 0x3055 /* EGL_EXTENSIONS */)
                              : nullptr;
}

// GLX_RENDERER_ACCELERATED_MESA of the current context where the driver answers it.
int acceleratedRenderer() {
    constexpr int kRendererAccelerated = 0x8186; // GLX_RENDERER_ACCELERATED_MESA
    if (!windowSystemIsGlx() ||
        !wordListed(glStrings.windowSystemExtensions, "GLX_MESA_query_renderer"))
        return kRendererNotAsked;
    auto query = glFunctions.glXQueryCurrentRendererIntegerMESA;
    unsigned accelerated = 0;
    if (query == nullptr || !query(kRendererAccelerated, &accelerated)) return kRendererNotAsked;
    return accelerated != 0 ? 1 : 0;
}

} // namespace

void captureGLStrings() {
    loadGLFunctions();
    auto text = [](GLenum name) { return reinterpret_cast<const char*>(glGetString(name)); };
    keepIfPresent(glStrings.renderer, text(GL_RENDERER));
    keepIfPresent(glStrings.vendor, text(GL_VENDOR));
    keepIfPresent(glStrings.version, text(GL_VERSION));
    keepIfPresent(glStrings.extensions, text(GL_EXTENSIONS));
    keepIfPresent(glStrings.windowSystemExtensions, windowSystemExtensionList());
    glStrings.secondWindowSystemExtensions.clear(); // there is no second list here
    glStrings.accelerated = acceleratedRenderer();
}
