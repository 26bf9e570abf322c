// The OpenGL driver's identification and extension lists, captured once after the context
// is made. The window system's list (GLX or EGL) stands where Windows has its two lists.
#pragma once

#include <string>
#include <string_view>

struct GLStrings {
    std::string renderer = "Unknown";
    std::string vendor = "Unknown";
    std::string version = "Unknown";
    std::string extensions = "Unknown";                   // GL_EXTENSIONS, blank-separated
    std::string windowSystemExtensions = "Unknown";       // GLX or EGL extension list
    std::string secondWindowSystemExtensions = "Unknown"; // empty after capture: no second list
    // Whether the driver draws on a graphics card, as GLX_MESA_query_renderer answers
    // (GLX_RENDERER_ACCELERATED_MESA): 1 or 0; kRendererNotAsked where no driver said.
    int accelerated = -1;
};
inline constexpr int kRendererNotAsked = -1;
extern GLStrings glStrings;

// Fills the entry-point table (glFunctions) from the current context's driver, then reads its
// strings into glStrings; a list that cannot be fetched keeps its previous value.
void captureGLStrings();
// True when word stands in the blank-separated list as a whole word.
bool wordListed(std::string_view list, std::string_view word);
// The contexts come from GLX (SDL's X11 driver on GLX); otherwise from EGL.
bool windowSystemIsGlx();
