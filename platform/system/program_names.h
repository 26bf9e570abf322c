// The names the program gives itself towards the desktop: the main window's title and its
// window class. The single-instance socket is named after both.
#pragma once

inline constexpr const char* kWindowTitle = "FILM 03 by KORAL";
inline constexpr const char* kMainWindowClass = "KORAL Software - ZORX_OpenGL_Window_Class";
