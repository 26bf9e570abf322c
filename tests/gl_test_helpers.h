// Helpers shared by the texture and capability tests: the regular expression that matches a
// fatal report in batch form, and the driver's extension lists read from the current context.
#pragma once

#include <GL/gl.h>

#include <string>
#include <string_view>

#include "platform/failure.h"
#include "platform/gl_strings.h"

// The batch line of a box as an extended regular expression matching it exactly.
inline std::string boxPattern(BoxKind kind, std::string_view caption, std::string_view text) {
    std::string line = formatBatchLine(kind, caption, text, true);
    std::string pattern;
    for (char c : line) {
        if (std::string_view("\\.^$|()[]{}*+?").find(c) != std::string_view::npos) pattern += '\\';
        pattern += c;
    }
    return pattern;
}

inline std::string fatalPattern(std::string_view caption, std::string_view text) {
    return boxPattern(BoxKind::Fatal, caption, text);
}

// The current context's GL extension list (the window system's lists stay empty: nothing
// the tests need is listed there).
inline GLStrings driverLists() {
    GLStrings lists;
    const GLubyte* extensions = glGetString(GL_EXTENSIONS);
    if (extensions != nullptr) lists.extensions = reinterpret_cast<const char*>(extensions);
    return lists;
}
