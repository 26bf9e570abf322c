// The desktop's gamma ramp and display mode put back at the immediate end (a second stop
// signal), from the ending thread while the main thread may be anywhere, even inside SDL or
// the X library. So nothing of SDL's is touched then: an X connection of this module's own
// carries requests whose contents were prepared here beforehand, in the program's normal
// flow. On X the ramp is the colour map of the main window (a DirectColor visual), the mode
// the CRTC configuration of the display.
#pragma once

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
