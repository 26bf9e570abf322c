// The main window's state, and what needs nothing but the window: which window system it is
// on, the GL attributes windows ask for, raising and minimising it, its rectangle and its place
// on the desktop, and the requests of later starts.
#pragma once

#include <SDL.h>

#include <cstdint>

#include "platform/system/program_names.h"

struct GammaRamp {
    uint16_t red[256];
    uint16_t green[256];
    uint16_t blue[256];
};

struct WindowState {
    SDL_Window* window = nullptr;    // the demo window
    SDL_GLContext context = nullptr; // current for the whole run (render targets switch away)
    bool videoStarted = false;       // SDL's video subsystem is up
    bool borderless = false;         // full screen as a borderless window of the configured size
    bool fullscreen = false;         // the window covers the screen (as described when made)
    float gamma = 1.0f;              // the ramp's exponent, set again when the program returns
    int frameWidth = 0;              // windowed: width of the left (= right) border
    int frameTop = 0;                // windowed: height of the caption and top border
    GammaRamp savedGammaRamp = {};   // the desktop ramp, read after the context was made
    bool gammaSaved = false;         // the display let us read it
    bool rampSet = false;            // a ramp of ours is on the display
    // The gamma goes into the picture's last pass instead of the display's ramp: asked for,
    // or a Wayland session (whose compositor gives programs no ramps). A ramp the display
    // refuses also leaves the gamma to the picture.
    bool gammaInPicture = false;
    // The frames the demo draws: the configured size, depth bits and samples (-1: none), and
    // the samples of the window's own buffers, which it draws into where they fit.
    int pictureWidth = 0;
    int pictureHeight = 0;
    int depthBits = 24;
    int frameSamples = -1;
    int ownSamples = -1;
    // Where the window shows the picture larger than its size (a HiDPI panel, a full screen
    // larger than the picture) frames are drawn at the display's own pixels in the picture's
    // aspect; false keeps them at the picture's size (pictures made for files).
    bool realPixels = false;
    int drawnWidth = 0; // the frames' size now
    int drawnHeight = 0;
    bool fitRefused = false; // the driver could not make off-screen frames (said once)
    // Sets the display's ramp (0: taken); tests put a refusing one in.
    int (*setDeviceRamp)(SDL_Window* window, const Uint16* red, const Uint16* green,
                         const Uint16* blue) = SDL_SetWindowGammaRamp;
    // Set by the start-up code: the developer-mode tree window, and the scene graph's root,
    // made right after the context (both optional).
    void (*createTreeWindow)() = nullptr;
    void (*destroyTreeWindow)() = nullptr;
    void (*initSceneGraph)() = nullptr;
};
extern WindowState windowState;

// What the main window is made with.
struct WindowDescription {
    int width = 1024;
    int height = 768;
    bool fullscreen = true;
    int monitor = 0; // the monitor the window goes on (0 the first)
    int depthBits = 24;
    int stencilBits = 0;
    int32_t multisampling = 0;   // the multisampling setting (see samplesForSetting)
    bool treeWindow = false;     // developer mode: the scene-graph tree window comes with it
    float gamma = 1.0f;          // of the ramp the program sets when it becomes active again
    bool gammaInPicture = false; // the gamma goes into the picture, whatever the desktop
    bool realPixels = false;     // frames at the display's pixels where it shows them larger
    // The icon the desktop shows for the window: 8-bit RGBA, top row first (none when null).
    const uint8_t* iconPixels = nullptr;
    int iconWidth = 0;
    int iconHeight = 0;
};

// The data tool's window stands in for the main window (null, null: none does), over the
// video subsystem it started itself (started false: it ended it).
void standInForMainWindow(SDL_Window* window, SDL_GLContext context);
void setVideoStarted(bool started);

// The program's windows are Wayland windows (SDL's Wayland driver is in use).
bool waylandWindows();

// The GL attributes every window of the program asks for: a compatibility context, RGBA
// 8-8-8-8, double buffer, the given depth and stencil bits; samples as given (-1: no
// multisample buffer).
void setWindowGLAttributes(int depthBits, int stencilBits, int samples);

// Raises the main window (a second start asked for it).
void raiseMainWindow();
// Serves the requests of later starts: the dialog that is up comes to the front, else the
// main window. Called by the pumps.
void serveLaterStarts();

// While the loading dialog is up the main window is minimised; afterwards it is restored,
// given the input focus and raised. A Wayland compositor lets no program take its window back
// from the task bar, and SDL's hidden Wayland windows do not draw again once shown: there the
// main window stays as it is.
void minimiseMainWindow();

// The main window's rectangle on the screen, its frame included (zeros without a window).
struct ScreenRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};
ScreenRect mainWindowRect();

// What the window manager puts around a window's client area.
struct WindowBorders {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// The client area of a window for width x height pixels on the usable desktop (the desktop
// without its panels): centred there with its borders, and made smaller, keeping its aspect,
// where the whole window would not fit. A window is never larger than the usable desktop.
ScreenRect placeWindow(int width, int height, const ScreenRect& usable,
                       const WindowBorders& borders);
