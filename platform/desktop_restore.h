// The desktop's gamma ramp and display mode put back at the immediate end (a second stop
// signal), from the ending thread while the main thread may be anywhere, even inside SDL or
// the X library. So nothing of SDL's is touched then: an X connection of this module's own
// carries requests whose contents were prepared here beforehand, in the program's normal
// flow. On X the ramp is the colour map of the main window (a DirectColor visual), the mode
// the CRTC configuration of the display.
#pragma once

#include <X11/Xlib.h>

#include <vector>

struct SDL_Window;
struct GammaRamp;

// After the main window exists and its desktop ramp was read: the window's colour map and the
// cells that give it the saved ramp again (nothing where the display has no such map).
void prepareGammaRestore(SDL_Window* window, const GammaRamp& saved);
// Before a full-screen mode is set: the display's CRTC configuration as it is now.
void prepareDisplayModeRestore();
// The immediate-end hook (installed by the two above): sends the saved ramp and sets the
// saved CRTC configuration again where it changed, and waits until the server has both.
void restoreDesktopAtOnce();

// The cells of a DirectColor map that hold a ramp: entry i of each table at the pixel whose
// red, green and blue fields are the i-th step of their range, as SDL 2 stores a window's
// ramp (tests compare them with the cells SDL itself sends).
std::vector<XColor> rampCells(const Visual& visual, const GammaRamp& ramp);

// A lost connection to the X server ends the program at once: a line saying so, the line a
// stopped run ends with, and 128 + the stop signal or 1. Xlib keeps one such handler for all
// connections; call again after a library put in its own.
void installDisplayLossHandler();
