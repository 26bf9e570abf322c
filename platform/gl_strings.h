// The OpenGL driver's identification and extension lists, captured once after the context
// is made. The window system's list (GLX or EGL) stands where Windows has its two lists.
#pragma once

#include <string>

struct GLStrings {
    std::string renderer;
    std::string vendor;
    std::string version;
    std::string extensions;              // GL_EXTENSIONS, blank-separated
    std::string windowSystemExtensions;  // GLX or EGL extension list
    std::string secondWindowSystemExtensions;  // empty: there is no second list here
};
extern GLStrings glStrings;

// Reads the strings of the current context into glStrings.
void captureGLStrings();
