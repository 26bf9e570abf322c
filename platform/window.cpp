#include "platform/window.h"

#include <GL/gl.h>
#include <dlfcn.h>
#include <SDL_syswm.h>
#include <X11/Xatom.h>

#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/desktop_restore.h"
#include "platform/events.h"
#include "platform/gl/gamma_pass.h"
#include "platform/gl/gl_context.h"
#include "platform/gl/gl_functions.h"
#include "platform/gl/gl_strings.h"
#include "platform/gl/scaled_frames.h"
#include "platform/system/failure.h"

PixelFormatQuery pixelFormatQuery;

namespace {

constexpr std::string_view kWindowsError = "WINDOWS ERROR";
constexpr std::string_view kOpenGLError = "WINDOWS OpenGL ERROR";
constexpr std::string_view kAttention = "ATTENTION !";
constexpr std::string_view kNoMultisampling =
    "So your video card/driver does not support MultiSampling.\n\nPlease do not enable "
    "MultiSampling in the configuration interface !\nThe application will continue without "
    "MultiSampling now...";

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
                                          mainWindowFlags(description.fullscreen));
    if (window == nullptr) {
        if (pixelFormatRefused())
            fatalError(kOpenGLError, unknownCallError("Pixel format not available", "OpenGL-API",
                                                      "ChoosePixelFormat"));
        windowCreationFailed();
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

} // namespace

// Real answers of the window system. Under GLX, formats are chosen by attributes through
// frame-buffer configurations and multisample formats need GLX_ARB_multisample; under EGL
// both are part of the interface.
bool driverHasPixelFormatExtension() {
    if (!windowSystemIsGlx()) return true;
    return wordListed(glStrings.windowSystemExtensions, "GLX_SGIX_fbconfig") ||
           glFunctions.glXChooseFBConfig != nullptr;
}

bool driverHasChooseFunction() {
    if (!windowSystemIsGlx()) return glFunctions.eglChooseConfig != nullptr;
    return glFunctions.glXChooseFBConfig != nullptr;
}

bool driverHasMultisampleExtension() {
    if (!windowSystemIsGlx()) return true;
    return wordListed(glStrings.windowSystemExtensions, "GLX_ARB_multisample") ||
           wordListed(glStrings.windowSystemExtensions, "GLX_SGIS_multisample");
}

bool driverAcceptsSamples(int samples) {
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
        choice = chooseMultisampling(pixelFormatQuery, description.multisampling);
    }
    int samples = choice.multisampled ? samplesForSetting(choice.setting) : -1;

    // The clock's time base and the running flag start with the window.
    startWindowClock();
    if (!sizeUsable(description.width, description.height)) windowCreationFailed();
    windowState.fullscreen = description.fullscreen;
    windowState.gamma = description.gamma;
    windowState.gammaInPicture =
        description.gammaInPicture ||
        !deviceRampReachesScreen(std::getenv("WAYLAND_DISPLAY"), std::getenv("XDG_SESSION_TYPE"));
    windowState.rampSet = false;
    windowState.fitRefused = false;
    windowState.pictureWidth = description.width;
    windowState.pictureHeight = description.height;
    windowState.realPixels = description.realPixels;
    windowState.drawnWidth = description.width;
    windowState.drawnHeight = description.height;
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
    endRunning();
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
    windowState.drawnWidth = windowState.drawnHeight = 0;
}

void closeMainWindow() {
    if (!eventState.running) return;
    allowClosing();
    destroyMainWindow();
    pumpMessages();
}
