#include "platform/window.h"

#include <GL/gl.h>
#include <dlfcn.h>
#include <SDL_syswm.h>
#include <X11/Xatom.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/box_view.h"
#include "platform/desktop_restore.h"
#include "platform/display_modes.h"
#include "platform/events.h"
#include "platform/gl/gamma_pass.h"
#include "platform/gl/gl_context.h"
#include "platform/gl/gl_functions.h"
#include "platform/gl/gl_strings.h"
#include "platform/gl/scaled_frames.h"
#include "platform/system/failure.h"
#include "platform/system/instance.h"

WindowState windowState;
PixelFormatQuery pixelFormatQuery;

namespace {

constexpr std::string_view kWindowsError = "WINDOWS ERROR";
constexpr const char* kDesktopEntryName = "film03";
constexpr std::string_view kOpenGLError = "WINDOWS OpenGL ERROR";
constexpr std::string_view kAttention = "ATTENTION !";
constexpr std::string_view kNoMultisampling =
    "So your video card/driver does not support MultiSampling.\n\nPlease do not enable "
    "MultiSampling in the configuration interface !\nThe application will continue without "
    "MultiSampling now...";

[[noreturn]] void windowFailed() {
    fatalError(kWindowsError,
               unknownCallError("Creating new window failed", "WinAPI", "CreateWindowEx"));
}

// The buffers the main window was described with; the probe windows ask for the same.
struct BufferBits {
    int depth = 24;
    int stencil = 0;
};
BufferBits bufferBits;

void setPixelFormatAttributes(int samples) {
    setWindowGLAttributes(bufferBits.depth, bufferBits.stencil, samples);
    // The main window's buffer has no alpha channel: a compositor that blends windows over
    // the desktop (Wayland's do) takes it as opaque, whatever alpha the blending left. Frames
    // drawn off-screen keep their alpha.
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 0);
}

// A window size the window system and the GL drawable can hold (the largest viewport
// of common drivers), and no window of no size.
bool sizeUsable(int width, int height) {
    return width >= 1 && height >= 1 && width <= 16384 && height <= 16384;
}

// SDL chooses the pixel format while it makes the window; its refusal reads like this.
bool pixelFormatRefused() {
    std::string_view error = SDL_GetError();
    return error.find("visual") != std::string_view::npos ||
           error.find("EGLConfig") != std::string_view::npos ||
           error.find("pixel format") != std::string_view::npos;
}

// Real answers of the window system. Under GLX, formats are chosen by attributes through
// frame-buffer configurations and multisample formats need GLX_ARB_multisample; under EGL
// both are part of the interface.
bool realHasPixelFormatExtension() {
    if (!windowSystemIsGlx()) return true;
    return wordListed(glStrings.windowSystemExtensions, "GLX_SGIX_fbconfig") ||
           glFunctions.glXChooseFBConfig != nullptr;
}

bool realHasChooseFunction() {
    if (!windowSystemIsGlx()) return glFunctions.eglChooseConfig != nullptr;
    return glFunctions.glXChooseFBConfig != nullptr;
}

bool realHasMultisampleExtension() {
    if (!windowSystemIsGlx()) return true;
    return wordListed(glStrings.windowSystemExtensions, "GLX_ARB_multisample") ||
           wordListed(glStrings.windowSystemExtensions, "GLX_SGIS_multisample");
}

bool realAcceptsSamples(int samples) {
    setPixelFormatAttributes(samples);
    SDL_Window* window =
        SDL_CreateWindow(kWindowTitle, 0, 0, 16, 16, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    bool accepted = false;
    if (window != nullptr) {
        SDL_GLContext context = SDL_GL_CreateContext(window);
        accepted = context != nullptr;
        if (context != nullptr) SDL_GL_DeleteContext(context);
        SDL_DestroyWindow(window);
    }
    setPixelFormatAttributes(-1);
    return accepted;
}

// The short-lived window whose context tells which window-system extensions exist.
void probeWindowSystem(int width, int height) {
    setPixelFormatAttributes(-1);
    SDL_Window* probe = nullptr;
    if (sizeUsable(width, height))
        probe = SDL_CreateWindow(kWindowTitle, 0, 0, width, height,
                                 SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (probe == nullptr) {
        if (pixelFormatRefused())
            fatalError(kOpenGLError,
                       unknownCallError("Pixel format not available (MultiSampling code)",
                                        "OpenGL-API", "ChoosePixelFormat"));
        fatalError(kWindowsError,
                   unknownCallError("Creating temporary window for MultiSampling purposes failed",
                                    "WinAPI", "CreateWindow"));
    }
    SDL_GLContext context = SDL_GL_CreateContext(probe);
    if (context == nullptr)
        fatalError(
            kOpenGLError,
            unknownCallError(
                "Creating an OpenGL render context for temporary MultiSampling window failed",
                "OpenGL-API", "wglCreateContext"));
    if (SDL_GL_MakeCurrent(probe, context) != 0)
        fatalError(
            kOpenGLError,
            unknownCallError("Binding rendering context to temporary MultiSampling window failed",
                             "OpenGL-API", "wglMakeCurrent"));
    captureGLStrings();
    if (SDL_GL_MakeCurrent(probe, nullptr) != 0)
        noticeBox(kOpenGLError,
                  unknownCallError(
                      "Releasing rendering context for temporary MultiSampling window failed",
                      "OpenGL-API", "wglMakeCurrent"));
    SDL_GL_DeleteContext(context);
    SDL_DestroyWindow(probe);
}

void fillMissingQueries(PixelFormatQuery& query) {
    if (query.hasPixelFormatExtension == nullptr)
        query.hasPixelFormatExtension = realHasPixelFormatExtension;
    if (query.hasChooseFunction == nullptr) query.hasChooseFunction = realHasChooseFunction;
    if (query.hasMultisampleExtension == nullptr)
        query.hasMultisampleExtension = realHasMultisampleExtension;
    if (query.acceptsSamples == nullptr) query.acceptsSamples = realAcceptsSamples;
}

// Full screen where the desktop keeps its mode: the configured one where the display has
// only that, else a size the display lacks, whose frames are then shown scaled.
bool coversDesktop() {
    return displayModeState.changed && displayModeState.borderless;
}

// Windowed with a frame, or full screen without one. A window that covers the desktop is a
// full-screen window of the desktop's size (window managers then keep their panels out of
// the way). A window may be resized; its drawable has the screen's real pixels (HiDPI).
Uint32 windowFlags(bool fullscreen) {
    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN | SDL_WINDOW_ALLOW_HIGHDPI;
    if (!fullscreen) return flags | SDL_WINDOW_RESIZABLE;
    if (coversDesktop()) return flags | SDL_WINDOW_FULLSCREEN_DESKTOP;
    return flags | SDL_WINDOW_BORDERLESS;
}

// The monitor's part of the desktop without its panels; nothing where the window system does
// not say.
ScreenRect usableDesktop(int monitor) {
    SDL_Rect rect;
    if (SDL_GetDisplayUsableBounds(monitor, &rect) != 0 &&
        SDL_GetDisplayBounds(monitor, &rect) != 0)
        return {};
    return {rect.x, rect.y, rect.w, rect.h};
}

// Where the window goes before its borders are known: full screen at the monitor's corner (as
// large as the monitor where it covers it), a window within the monitor's usable desktop.
ScreenRect initialWindowPlace(const WindowDescription& description) {
    const DisplayMode& desktop = displayModeState.desktop;
    SDL_Rect bounds = {0, 0, 0, 0};
    if (SDL_GetDisplayBounds(description.monitor, &bounds) != 0) bounds = {0, 0, 0, 0};
    if (description.fullscreen && coversDesktop() && desktop.width > 0 && desktop.height > 0)
        return {bounds.x, bounds.y, desktop.width, desktop.height};
    if (description.fullscreen) return {bounds.x, bounds.y, description.width, description.height};
    ScreenRect usable = usableDesktop(description.monitor);
    if (usable.width <= 0 || usable.height <= 0)
        return {int(SDL_WINDOWPOS_CENTERED), int(SDL_WINDOWPOS_CENTERED), description.width,
                description.height};
    return placeWindow(description.width, description.height, usable, {});
}

// A Wayland compositor places and sizes a window when its first picture arrives (a tiling
// one fits it to its tile). The window shows a black frame at once, and the compositor's
// answer is taken in before the demo draws, so that its first frame has the window's size.
void showFirstFrame(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_WAYLAND) return;
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    SDL_GL_SwapWindow(window);
    // SDL's Wayland library is loaded already; a round trip hands its listeners what the
    // compositor answered to the frame.
    void* library = dlopen("libwayland-client.so.0", RTLD_NOW | RTLD_NOLOAD);
    if (library == nullptr) return;
    using RoundtripFn = int (*)(wl_display*);
    auto roundtrip = reinterpret_cast<RoundtripFn>(dlsym(library, "wl_display_roundtrip"));
    if (roundtrip != nullptr) roundtrip(info.info.wl.display);
    dlclose(library);
    SDL_PumpEvents();
}

// Full screen in the switched mode (SDL sets the mode on the window).
void enterFullscreen(SDL_Window* window) {
    if (!displayModeState.changed || displayModeState.borderless) return;
    prepareDisplayModeRestore();
    SDL_DisplayMode mode = {};
    SDL_DisplayMode wanted = {SDL_PIXELFORMAT_UNKNOWN, displayModeState.chosen.width,
                              displayModeState.chosen.height, displayModeState.chosen.refreshRate,
                              nullptr};
    if (SDL_GetClosestDisplayMode(displayModeState.monitor, &wanted, &mode) == nullptr ||
        SDL_SetWindowDisplayMode(window, &mode) != 0 ||
        SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN) != 0)
        displaySwitchFailed(kChangeFailed);
    // The mode is in force only now: the cursor goes to the centre again.
    SDL_WarpMouseInWindow(window, mode.w / 2, mode.h / 2);
}

// SDL puts the desktop mode back when a full-screen window is minimised, and switches again
// when the window manager restores it. Without a window manager the window is never
// iconified, so it is never restored either: the switched mode is set again here.
void enterSwitchedModeAgain(SDL_Window* window) {
    const DisplayModeState& modes = displayModeState;
    SDL_DisplayMode now;
    if (!modes.changed || modes.borderless || SDL_GetCurrentDisplayMode(modes.monitor, &now) != 0 ||
        (now.w == modes.chosen.width && now.h == modes.chosen.height))
        return;
    SDL_SetWindowFullscreen(window, 0);
    enterFullscreen(window);
}

// A window manager that frames windows runs on the display (X11 only; elsewhere windows
// are taken to have no borders).
bool windowManagerRuns(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return false;
    Display* display = info.info.x11.display;
    Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", True);
    if (check == None) return false;
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    bool found = XGetWindowProperty(display, DefaultRootWindow(display), check, 0, 1, False,
                                    XA_WINDOW, &type, &format, &count, &after, &data) == Success &&
                 count == 1;
    if (data != nullptr) XFree(data);
    return found;
}

// A window manager tells a shown window's borders a moment later; they are waited for a
// little while.
WindowBorders waitForBorders(SDL_Window* window) {
    constexpr Uint32 kBorderWaitMs = 250;
    WindowBorders b;
    bool managed = windowManagerRuns(window);
    Uint32 start = SDL_GetTicks();
    while (SDL_GetWindowBordersSize(window, &b.top, &b.left, &b.bottom, &b.right) == 0) {
        if (b.top != 0 || b.left != 0 || b.bottom != 0 || b.right != 0) return b;
        if (!managed || SDL_GetTicks() - start > kBorderWaitMs) break;
        SDL_PumpEvents();
        SDL_Delay(1);
    }
    return {};
}

// Makes and shows the main window at place. Its own buffers are multisampled only where the
// frames are drawn there: frames shown scaled carry their samples off-screen.
SDL_Window* openMainWindow(const WindowDescription& description, const ScreenRect& place,
                           int samples) {
    bool scaled = place.width != description.width || place.height != description.height ||
                  windowState.gammaInPicture;
    windowState.ownSamples = scaled ? -1 : samples;
    setPixelFormatAttributes(windowState.ownSamples);
    SDL_Window* window = SDL_CreateWindow(kWindowTitle, place.x, place.y, place.width, place.height,
                                          windowFlags(description.fullscreen));
    if (window == nullptr) {
        if (pixelFormatRefused())
            fatalError(kOpenGLError, unknownCallError("Pixel format not available", "OpenGL-API",
                                                      "ChoosePixelFormat"));
        windowFailed();
    }
    enterFullscreen(window);
    SDL_ShowWindow(window);
    SDL_RaiseWindow(window);
    return window;
}

// With its borders known, a window that would reach beyond the usable desktop is made again,
// smaller, and put inside it (its buffers change where its frames are now scaled). The
// border sizes of the cursor test are kept.
SDL_Window* fitWithBorders(SDL_Window* window, const WindowDescription& description,
                           ScreenRect& place, int samples) {
    WindowBorders borders = waitForBorders(window);
    ScreenRect usable = usableDesktop(description.monitor);
    if (usable.width > 0 && usable.height > 0) {
        ScreenRect fitted = placeWindow(description.width, description.height, usable, borders);
        if (fitted.width != place.width || fitted.height != place.height) {
            SDL_DestroyWindow(window);
            place = fitted;
            window = openMainWindow(description, place, samples);
            borders = waitForBorders(window);
            SDL_SetWindowPosition(window, place.x, place.y);
        }
    }
    windowState.frameWidth = borders.left;
    windowState.frameTop = borders.top;
    return window;
}

void setWindowIcon(SDL_Window* window, const WindowDescription& description) {
    if (description.iconPixels == nullptr || description.iconWidth <= 0 ||
        description.iconHeight <= 0)
        return;
    // SDL only reads the pixels while it hands them to the window system.
    void* pixels = const_cast<uint8_t*>(description.iconPixels);
    SDL_Surface* icon =
        SDL_CreateRGBSurfaceWithFormatFrom(pixels, description.iconWidth, description.iconHeight,
                                           32, description.iconWidth * 4, SDL_PIXELFORMAT_RGBA32);
    if (icon == nullptr) return;
    SDL_SetWindowIcon(window, icon);
    SDL_FreeSurface(icon);
}

// Boxes belong to the main window while it is on the screen. A minimised one (the loading
// dialog is up) would take its boxes down behind the program's other windows.
SDL_Window* boxOwner() {
    SDL_Window* window = windowState.window;
    if (window == nullptr) return nullptr;
    Uint32 flags = SDL_GetWindowFlags(window);
    return (flags & (SDL_WINDOW_MINIMIZED | SDL_WINDOW_HIDDEN)) != 0 ? nullptr : window;
}

void saveDesktopGammaRamp() {
    GammaRamp& saved = windowState.savedGammaRamp;
    std::memset(&saved, 0, sizeof saved);
    windowState.gammaSaved =
        SDL_GetWindowGammaRamp(windowState.window, saved.red, saved.green, saved.blue) == 0;
}

// In a Wayland session the window is a Wayland surface of its own, named after the desktop
// entry (which gives it its icon there); where the compositor cannot be reached SDL goes on to
// X11. A driver named in SDL_VIDEODRIVER is used as named.
void preferNativeWayland() {
    SDL_setenv("SDL_VIDEO_WAYLAND_WMCLASS", kDesktopEntryName, 0);
    const char* named = SDL_getenv("SDL_VIDEODRIVER");
    const char* wayland = SDL_getenv("WAYLAND_DISPLAY");
    if ((named != nullptr && *named != '\0') || wayland == nullptr || *wayland == '\0') return;
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "wayland,x11");
}

} // namespace

int samplesForSetting(int32_t setting) {
    static const int samples[] = {0, 2, 2, 4, 4, 6, 8};
    return setting >= 0 && setting <= 6 ? samples[setting] : 0;
}

const char* multisamplingName(int32_t setting) {
    static const char* const names[] = {
        nullptr,
        "2x MultiSampling with 2Taps",
        "2x MultiSampling with 5Taps Quincunx (only supported by NVidia !)",
        "4x MultiSampling with 4Taps",
        "4x MultiSampling with 9Taps (only supported by NVidia !)",
        "6x MultiSampling",
        "8x MultiSampling",
    };
    return setting >= 0 && setting <= 6 ? names[setting] : nullptr;
}

void registerWindowFailureHooks() {
    FailureHooks& hooks = failureState.hooks;
    hooks.restoreGammaRamp = restoreGammaRamp;
    hooks.boxOwner = boxOwner;
    hooks.showBox = showBoxWindow;
    // The box took the focus from the main window; that is no deactivation of the program.
    hooks.afterBox = [] {
        if (!windowState.videoStarted) return;
        SDL_PumpEvents();
        SDL_FlushEvent(SDL_WINDOWEVENT);
    };
}

void startVideo() {
    registerWindowFailureHooks();
    registerDisplayModeFailureHooks();
    registerCursorFailureHooks();
    if (windowState.videoStarted) return;
    preferNativeWayland();
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) windowFailed();
    windowState.videoStarted = true;
    // In place of any handler SDL put in for a lost display connection.
    installDisplayLossHandler();
    // Kept loaded for the whole run: SDL would unload the GL library with the probe window,
    // and entry points are looked up after it.
    SDL_GL_LoadLibrary(nullptr);
    SDL_ShowCursor(eventState.cursorCounter >= 0 ? SDL_ENABLE : SDL_DISABLE);
}

bool waylandWindows() {
    const char* driver = windowState.videoStarted ? SDL_GetCurrentVideoDriver() : nullptr;
    return driver != nullptr && std::strcmp(driver, "wayland") == 0;
}

MultisampleChoice chooseMultisampling(const PixelFormatQuery& query, int32_t setting) {
    MultisampleChoice choice = {false, setting};
    bool probe = true;
    if (!query.hasPixelFormatExtension()) {
        noticeBox(kAttention, "The OpenGL extension WGL_ARB_pixel_format is missing !\n" +
                                  std::string(kNoMultisampling));
        probe = false;
    } else if (!query.hasChooseFunction()) {
        noticeBox(kAttention, "The OpenGL extension function wglChoosePixelFormatARB was not "
                              "found\nalthough the WGL_ARB_pixel_format extension is present !\n" +
                                  std::string(kNoMultisampling));
        probe = false;
    }
    if (!query.hasMultisampleExtension()) {
        noticeBox(kAttention, "The OpenGL extension WGL_ARB_multisample is missing !\n" +
                                  std::string(kNoMultisampling));
        probe = false;
    }
    if (!probe) return choice;

    for (int32_t attempt = 0; attempt < setting; ++attempt) {
        if (query.acceptsSamples(samplesForSetting(choice.setting))) {
            choice.multisampled = true;
            return choice;
        }
        const char* name = multisamplingName(choice.setting);
        noticeBox(
            kAttention,
            "Choosing a PixelFormat supporting " + std::string(name ? name : "") +
                " failed !\nSo your video card or driver does not support this number of "
                "samples.\n\nPlease don't select this number of samples again in the configuration "
                "interface.\nThe application will try to use a lower number of samples now...");
        choice.setting -= 1;
    }
    return choice;
}

int32_t createMainWindow(const WindowDescription& description) {
    startVideo();
    bufferBits = {description.depthBits, description.stencilBits};
    MultisampleChoice choice = {false, description.multisampling};
    if (description.multisampling > 0) {
        probeWindowSystem(description.width, description.height);
        PixelFormatQuery query = pixelFormatQuery;
        fillMissingQueries(query);
        choice = chooseMultisampling(query, description.multisampling);
    }
    int samples = choice.multisampled ? samplesForSetting(choice.setting) : -1;

    // The clock's time base and the running flag start with the window.
    eventState.clock.timeBase = tickCount();
    eventState.running = true;
    if (!sizeUsable(description.width, description.height)) windowFailed();
    windowState.fullscreen = description.fullscreen;
    windowState.gamma = description.gamma;
    windowState.gammaInPicture =
        description.gammaInPicture ||
        !deviceRampReachesScreen(std::getenv("WAYLAND_DISPLAY"), std::getenv("XDG_SESSION_TYPE"));
    windowState.rampSet = false;
    windowState.fitRefused = false;
    windowState.pictureWidth = description.width;
    windowState.pictureHeight = description.height;
    windowState.depthBits = description.depthBits;
    windowState.frameSamples = samples;
    ScreenRect place = initialWindowPlace(description);
    SDL_Window* window = openMainWindow(description, place, samples);
    if (!description.fullscreen) window = fitWithBorders(window, description, place, samples);
    windowState.window = window;
    setWindowIcon(window, description);

    windowState.context = SDL_GL_CreateContext(window);
    if (windowState.context == nullptr)
        fatalError(kOpenGLError, unknownCallError("Creating an OpenGL render context failed",
                                                  "OpenGL-API", "wglCreateContext"));
    if (SDL_GL_MakeCurrent(window, windowState.context) != 0)
        fatalError(kOpenGLError,
                   unknownCallError("Making a specified OpenGL rendering context the calling "
                                    "thread's current rendering context failed",
                                    "OpenGL-API", "wglMakeCurrent"));
    setWindowGLContext(window, windowState.context);
    captureGLStrings();
    startGammaPass();
    showFirstFrame(window);
    fitFramesToWindow();
    saveDesktopGammaRamp();
    if (windowState.gammaSaved) prepareGammaRestore(window, windowState.savedGammaRamp);
    if (description.treeWindow && windowState.createTreeWindow != nullptr)
        windowState.createTreeWindow();
    if (windowState.initSceneGraph != nullptr) windowState.initSceneGraph();
    return choice.setting;
}

void destroyMainWindow() {
    if (!eventState.closing || !eventState.running) return;
    if (windowState.destroyTreeWindow != nullptr) windowState.destroyTreeWindow();
    eventState.running = false;
    restoreGammaRamp();
    if (windowState.context != nullptr) {
        stopScaledFrames();
        stopGammaPass();
        if (SDL_GL_MakeCurrent(windowState.window, nullptr) != 0)
            noticeBox(kOpenGLError,
                      unknownCallError("Releasing current OpenGL rendering context failed",
                                       "OpenGL-API", "wglMakeCurrent"));
        SDL_GL_DeleteContext(windowState.context);
        windowState.context = nullptr;
        setWindowGLContext(nullptr, nullptr);
    }
    if (windowState.window != nullptr) {
        SDL_DestroyWindow(windowState.window);
        windowState.window = nullptr;
    }
    windowState.pictureWidth = windowState.pictureHeight = 0;
    eventState.exitCode = 0;
}

GammaRamp buildGammaRamp(float gamma) {
    GammaRamp ramp;
    for (int i = 0; i < 256; ++i) {
        float step = static_cast<float>(i) * 0.003921569f;
        double scaled =
            std::pow(static_cast<double>(step), static_cast<double>(gamma)) * 255.0 + 0.5;
        // Not a number (a nonsense gamma) counts as too bright rather than as garbage.
        int v = scaled < 256.0 ? static_cast<int>(scaled) : 255;
        if (v > 255) v = 255;
        ramp.red[i] = ramp.green[i] = ramp.blue[i] = static_cast<uint16_t>(v * 256);
    }
    return ramp;
}

bool deviceRampReachesScreen(const char* waylandDisplay, const char* sessionType) {
    bool wayland = (waylandDisplay != nullptr && waylandDisplay[0] != '\0') ||
                   (sessionType != nullptr && std::strcmp(sessionType, "wayland") == 0);
    return !wayland;
}

bool applyGammaRamp(float gamma) {
    windowState.gamma = gamma;
    if (windowState.window == nullptr) return false;
    GammaRamp ramp = buildGammaRamp(gamma);
    uint8_t steps[256];
    for (int i = 0; i < 256; ++i) steps[i] = uint8_t(i);
    bool reaches = false;
    if (!windowState.gammaInPicture)
        reaches = windowState.rampSet =
            windowState.setDeviceRamp(windowState.window, ramp.red, ramp.green, ramp.blue) == 0;
    // The same curve in the picture where the ramp is not taken (or cannot be trusted).
    if (!reaches) {
        for (int i = 0; i < 256; ++i) steps[i] = uint8_t(ramp.red[i] >> 8);
        reaches = gammaPass.ready;
    }
    setGammaPassCurve(steps);
    return reaches;
}

void restoreGammaRamp() {
    // A ramp that could not be read stays unused: setting the zeroed table would black out
    // the desktop. The picture's gamma stays within the picture.
    if (windowState.window == nullptr || !windowState.gammaSaved || !windowState.rampSet) return;
    const GammaRamp& saved = windowState.savedGammaRamp;
    SDL_SetWindowGammaRamp(windowState.window, saved.red, saved.green, saved.blue);
    windowState.rampSet = false;
}

void raiseMainWindow() {
    if (windowState.window == nullptr) return;
    SDL_RestoreWindow(windowState.window);
    SDL_RaiseWindow(windowState.window);
}

void serveLaterStarts() {
    if (pollInstanceRequests()) raiseMainWindow();
}

void minimiseMainWindow() {
    if (windowState.window != nullptr && !waylandWindows()) SDL_MinimizeWindow(windowState.window);
}

void restoreMainWindow() {
    if (windowState.window == nullptr) return;
    SDL_RestoreWindow(windowState.window);
    enterSwitchedModeAgain(windowState.window);
    SDL_SetWindowInputFocus(windowState.window);
    SDL_RaiseWindow(windowState.window);
}

ScreenRect mainWindowRect() {
    ScreenRect rect;
    if (windowState.window == nullptr) return rect;
    SDL_GetWindowPosition(windowState.window, &rect.x, &rect.y);
    SDL_GetWindowSize(windowState.window, &rect.width, &rect.height);
    int top = 0, left = 0, bottom = 0, right = 0;
    if (SDL_GetWindowBordersSize(windowState.window, &top, &left, &bottom, &right) == 0) {
        rect.x -= left;
        rect.y -= top;
        rect.width += left + right;
        rect.height += top + bottom;
    }
    return rect;
}

ScreenRect placeWindow(int width, int height, const ScreenRect& usable,
                       const WindowBorders& borders) {
    int areaWidth = usable.width - borders.left - borders.right;
    int areaHeight = usable.height - borders.top - borders.bottom;
    ScreenRect place = {0, 0, width, height};
    if (width > areaWidth || height > areaHeight) {
        FrameArea fitted = fitAspect(width, height, areaWidth, areaHeight);
        if (fitted.width > 0) place.width = fitted.width, place.height = fitted.height;
    }
    place.x = usable.x + borders.left + (areaWidth - place.width) / 2;
    place.y = usable.y + borders.top + (areaHeight - place.height) / 2;
    return place;
}

void swapMainWindow() {
    if (windowState.window == nullptr) return;
    if (scaledFrames.active) {
        int width = 0, height = 0;
        SDL_GL_GetDrawableSize(windowState.window, &width, &height);
        showScaledFrame(width, height);
    }
    SDL_GL_SwapWindow(windowState.window);
    if (scaledFrames.active) drawScaledFrames();
    fitFramesToWindow();
}

void fitFramesToWindow() {
    WindowState& state = windowState;
    if (state.window == nullptr || state.context == nullptr || state.pictureWidth <= 0 ||
        SDL_GL_GetCurrentContext() != state.context)
        return;
    int width = 0, height = 0;
    SDL_GL_GetDrawableSize(state.window, &width, &height);
    bool offscreen = width != state.pictureWidth || height != state.pictureHeight ||
                     state.ownSamples != state.frameSamples || gammaPass.curved;
    if (offscreen == scaledFrames.active || (offscreen && state.fitRefused)) return;
    if (!offscreen) {
        stopScaledFrames();
        return;
    }
    // A multisampled window takes its frames through the gamma pass only.
    scaledFrames.windowMultisampled = state.ownSamples > 0;
    if ((!scaledFrames.windowMultisampled || gammaPass.ready) &&
        startScaledFrames(state.pictureWidth, state.pictureHeight, state.depthBits,
                          std::max(state.frameSamples, 0)))
        return;
    state.fitRefused = true;
    std::string size =
        std::to_string(state.pictureWidth) + " x " + std::to_string(state.pictureHeight);
    noticeBox(kAttention,
              "The picture cannot be fitted to the window !\nThe video driver cannot draw the " +
                  size +
                  " picture off-screen, so it is drawn into the window as it is: from the lower "
                  "left corner, cut off where the window is smaller, black where it is larger, "
                  "and without a gamma correction of its own.\n\nNOTE : Nevertheless you can "
                  "continue with this application");
}

void mainFrameSize(int& width, int& height) {
    width = height = 0;
    if (windowState.pictureWidth > 0 && windowState.window != nullptr) {
        width = windowState.pictureWidth;
        height = windowState.pictureHeight;
        return;
    }
    if (windowState.window != nullptr) SDL_GL_GetDrawableSize(windowState.window, &width, &height);
}

void readMainFrame() {
    if (scaledFrames.active)
        readScaledFrame();
    else
        glReadBuffer(GL_BACK);
}

void mouseToFrame(int& x, int& y) {
    const WindowState& state = windowState;
    if (state.window == nullptr || state.pictureWidth <= 0) return;
    // In the window's own units (smaller than the drawable's pixels on a HiDPI screen).
    int width = 0, height = 0;
    SDL_GetWindowSize(state.window, &width, &height);
    if (width == state.pictureWidth && height == state.pictureHeight) return;
    windowPointToFrame(fitAspect(state.pictureWidth, state.pictureHeight, width, height),
                       state.pictureWidth, state.pictureHeight, x, y);
}

void setWindowGLAttributes(int depthBits, int stencilBits, int samples) {
    SDL_GL_ResetAttributes();
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, depthBits);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, stencilBits);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, samples >= 0 ? 1 : 0);
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, samples >= 0 ? samples : 0);
}
