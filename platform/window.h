// The main window and its OpenGL context on SDL2: the pixel format with the multisample
// step-down, the window-system probe, making the window (placed, full screen or fitted into
// the desktop with its borders) and the destroy sequence. Its state, gamma ramp, full screen
// and frame presenting are units of their own, included here for the window's users.
#pragma once

#include <SDL.h>

#include <cstdint>

#include "platform/frame_present.h"
#include "platform/full_screen.h"
#include "platform/gamma_ramp.h"
#include "platform/video_start.h"
#include "platform/window_state.h"

// The driver's answers to the multisample step-down's questions (see PixelFormatQuery).
bool driverHasPixelFormatExtension();
bool driverHasChooseFunction();
bool driverHasMultisampleExtension();
bool driverAcceptsSamples(int samples);

// What the multisample step-down asks the window system. The real answers come from the
// driver; tests put their own functions in to show what the driver here cannot.
struct PixelFormatQuery {
    bool (*hasPixelFormatExtension)() =
        driverHasPixelFormatExtension;                     // a way to choose formats by attributes
    bool (*hasChooseFunction)() = driverHasChooseFunction; // its entry point can be fetched
    bool (*hasMultisampleExtension)() =
        driverHasMultisampleExtension; // multisample formats exist at all
    bool (*acceptsSamples)(int samples) =
        driverAcceptsSamples; // a format with this many samples exists
};
extern PixelFormatQuery pixelFormatQuery;

// Sample count for a multisampling setting (0 for off and unknown settings) and the name
// used in messages (nullptr where there is none).
int samplesForSetting(int32_t setting);
const char* multisamplingName(int32_t setting);

// Creates the main window with its GL context (current on return), captures the GL strings
// and saves the desktop gamma ramp. Every failure is fatal. Returns the multisampling setting
// the window ended on: missing multisampling support lowers it with notices, and the caller
// keeps the lowered setting.
int32_t createMainWindow(const WindowDescription& description);

// The multisample decision made before the window: whether a multisample format was
// accepted, and the setting reached.
struct MultisampleChoice {
    bool multisampled = false;
    int32_t setting = 0;
};

// Decides the multisample setting before the window is made: the extension notices and the
// step-down with a notice per refused sample count, one setting lower each. Without a
// multisample format the ordinary one is used; the setting is then left as the missing
// extensions found it.
MultisampleChoice chooseMultisampling(const PixelFormatQuery& query, int32_t setting);

// The window's destruction: tree window, running flag, gamma, context, window. Effective
// only while closing and running (see closeMainWindow).
void destroyMainWindow();

// Closes the main window: only this ends it (the user and the window manager cannot close
// it); the messages are pumped afterwards.
void closeMainWindow();
