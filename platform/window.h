// The main window and its OpenGL context on SDL2: the pixel format with the multisample
// step-down, the window-system probe, the desktop gamma ramp, and the destroy sequence.
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

// What the multisample step-down asks the window system. The real answers come from the
// driver; tests put their own functions in to show what the driver here cannot.
struct PixelFormatQuery {
    bool (*hasPixelFormatExtension)() = nullptr;   // a way to choose formats by attributes
    bool (*hasChooseFunction)() = nullptr;         // its entry point can be fetched
    bool (*hasMultisampleExtension)() = nullptr;   // multisample formats exist at all
    bool (*acceptsSamples)(int samples) = nullptr; // a format with this many samples exists
};
extern PixelFormatQuery pixelFormatQuery;

// Sample count for a multisampling setting (0 for off and unknown settings) and the name
// used in messages (nullptr where there is none).
int samplesForSetting(int32_t setting);
const char* multisamplingName(int32_t setting);

// The program's windows are Wayland windows (SDL's Wayland driver is in use).
bool waylandWindows();

// Starts SDL's video subsystem; its failure is the fatal "Creating new window failed" report.
void startVideo();

// The GL attributes every window of the program asks for: a compatibility context, RGBA
// 8-8-8-8, double buffer, the given depth and stencil bits; samples as given (-1: no
// multisample buffer).
void setWindowGLAttributes(int depthBits, int stencilBits, int samples);

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
    // The icon the desktop shows for the window: 8-bit RGBA, top row first (none when null).
    const uint8_t* iconPixels = nullptr;
    int iconWidth = 0;
    int iconHeight = 0;
};

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

// Lets boxes belong to the main window, and the fatal report put the desktop ramp back.
void registerWindowFailureHooks();

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
void restoreMainWindow();

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

// Ends a frame of the main window: shows it (scaled where the window is not the frame's size,
// through the gamma pass where the picture carries the gamma) and swaps the buffers; then
// fitFramesToWindow.
void swapMainWindow();
// Compares the drawable's size with the frames' size (after each swap and when the window's
// size changes): frames go off-screen and are shown scaled where they differ, where the
// window's own buffers lack the frames' samples, or where the picture carries a gamma; else
// they are drawn straight into the window. Where the driver cannot make off-screen frames a
// notice says what the user will see, once.
void fitFramesToWindow();
// The size of the main window's frames: the configured size, also where they are shown scaled.
void mainFrameSize(int& width, int& height);
// Selects the main window's finished frame for reading (glReadPixels).
void readMainFrame();
// A mouse position in the main window as a position in its frame.
void mouseToFrame(int& x, int& y);
