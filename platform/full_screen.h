// Full screen for the main window: its window flags and first place, entering the switched
// display mode on it, and entering it again when the window comes back from the task bar.
#pragma once

#include <SDL.h>

#include "platform/window_state.h"

// Full screen where the desktop keeps its mode (a borderless window covers it).
bool coversDesktop();
// Windowed with a frame (resizable), or full screen without one.
Uint32 mainWindowFlags(bool fullscreen);
// The monitor's part of the desktop without its panels; nothing where the window system does
// not say.
ScreenRect usableDesktop(int monitor);
// Where the window goes before its borders are known.
ScreenRect initialWindowPlace(const WindowDescription& description);
// Full screen in the switched mode (SDL sets the mode on the window); a refused mode is the
// fatal switch report.
void enterFullscreen(SDL_Window* window);
// While the loading dialog is up the main window is minimised (minimiseMainWindow); afterwards
// it is restored, given the input focus and raised, in the switched mode again where the
// desktop had gone back to its own.
void restoreMainWindow();
