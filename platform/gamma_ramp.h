// The desktop's gamma ramp: the ramp for a gamma exponent, setting it on the display (or the
// same curve in the picture's last pass where the display's ramp cannot be trusted), saving
// the desktop's ramp and putting it back.
#pragma once

#include "platform/window_state.h"

// Whether a gamma ramp can be trusted to reach the screen: not in a Wayland session (the
// values of WAYLAND_DISPLAY and XDG_SESSION_TYPE, null where unset), native or through
// XWayland.
bool deviceRampReachesScreen(const char* waylandDisplay, const char* sessionType);

// The ramp for a gamma exponent: v = trunc((i / 255)^gamma * 255 + 0.5), at most 255, in the
// high byte; identical red, green and blue tables.
GammaRamp buildGammaRamp(float gamma);
// Sets the ramp for the gamma exponent (and keeps the exponent for the return to the
// foreground); true when the gamma reaches the screen: the display accepted the ramp, or the
// picture carries it (a Wayland session, asked for, or a refused ramp).
bool applyGammaRamp(float gamma);
// Puts the saved desktop ramp back (result ignored).
void restoreGammaRamp();
// Reads the desktop's ramp after the window is made (gammaSaved says whether it could).
void saveDesktopGammaRamp();
