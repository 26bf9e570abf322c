// The main window's picture on its way to the screen: the gamma carried by the picture where
// the display's ramp cannot be trusted, read back from the X server (not from GL), and a
// window of any size showing the whole picture scaled, with the mouse mapped onto it.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <SDL_syswm.h>
#include <X11/Xutil.h>

#include <cstdlib>
#include <string>

#include "app/startup.h"
#include "config/configuration.h"
#include "platform/events.h"
#include "platform/gamma_pass.h"
#include "platform/offscreen_frame.h"
#include "platform/scaled_frames.h"
#include "platform/tool_window.h"
#include "platform/window.h"
#include "support/test_support.h"

namespace {

struct Rgb {
    int r = -1, g = -1, b = -1;
};

// A pixel of the main window as the X server holds it on the screen (x from the left, y from
// the top of the window's client area).
Rgb screenPixel(int x, int y) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(windowState.window, &info) || info.subsystem != SDL_SYSWM_X11)
        return {};
    Display* display = info.info.x11.display;
    Window root = DefaultRootWindow(display), child = 0;
    int rootX = 0, rootY = 0;
    XSync(display, False);
    XTranslateCoordinates(display, info.info.x11.window, root, x, y, &rootX, &rootY, &child);
    XImage* image = XGetImage(display, root, rootX, rootY, 1, 1, AllPlanes, ZPixmap);
    if (image == nullptr) return {};
    unsigned long pixel = XGetPixel(image, 0, 0);
    auto channel = [pixel](unsigned long mask) {
        int shift = 0;
        while (mask != 0 && (mask & 1) == 0) mask >>= 1, ++shift;
        return int((pixel >> shift) & mask);
    };
    Rgb rgb = {channel(image->red_mask), channel(image->green_mask), channel(image->blue_mask)};
    XDestroyImage(image);
    return rgb;
}

// The screen pixel once it shows the expected grey (the swap reaches the server a moment
// later), or what it shows after a second.
Rgb settledPixel(int x, int y, int expected) {
    Rgb rgb;
    for (int i = 0; i < 50; ++i) {
        rgb = screenPixel(x, y);
        if (std::abs(rgb.r - expected) <= 1 && std::abs(rgb.g - expected) <= 1 &&
            std::abs(rgb.b - expected) <= 1)
            break;
        SDL_Delay(20);
    }
    return rgb;
}

void openWindow(int width, int height, int32_t multisampling, bool gammaInPicture) {
    configState = ConfigState{};
    configState.record.block1.fullscreen = 0;
    configState.record.block1.screenWidth = width;
    configState.record.block1.screenHeight = height;
    configState.record.block2.multisampling = multisampling;
    applyConfiguration();
    eventState = EventState{};
    eventState.ignoreFocus = true;
    appState.gammaInPicture = gammaInPicture;
    createConfiguredWindow();
    appState.gammaInPicture = false;
}

// The frame as vertical bands of the given greys, one after the other from the left.
void drawGreyBands(const int* greys, int count, int width, int height) {
    glEnable(GL_SCISSOR_TEST);
    for (int i = 0; i < count; ++i) {
        glScissor(i * width / count, 0, width / count, height);
        float grey = float(greys[i]) / 255.0f;
        glClearColor(grey, grey, grey, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    glDisable(GL_SCISSOR_TEST);
}

// Waits until the window has the size (the window system answers a resize a moment later).
void resizeWindow(int width, int height) {
    SDL_SetWindowSize(windowState.window, width, height);
    for (int i = 0; i < 100; ++i) {
        pumpMessages();
        int w = 0, h = 0;
        SDL_GL_GetDrawableSize(windowState.window, &w, &h);
        if (w == width && h == height) return;
        SDL_Delay(10);
    }
}

bool refuseFrame(OffscreenFrame&, int, int, int, int) {
    return false;
}

} // namespace

TEST(PictureGamma, RampTrustedOutsideWaylandSessionsOnly) {
    struct Case {
        const char* waylandDisplay;
        const char* sessionType;
        bool trusted;
    };
    for (const Case& c :
         {Case{nullptr, nullptr, true}, Case{"", "x11", true}, Case{nullptr, "tty", true},
          Case{"wayland-0", nullptr, false}, Case{"wayland-1", "x11", false},
          Case{nullptr, "wayland", false}, Case{"", "wayland", false}})
        EXPECT_EQ(deviceRampReachesScreen(c.waylandDisplay, c.sessionType), c.trusted)
            << (c.waylandDisplay ? c.waylandDisplay : "unset") << " / "
            << (c.sessionType ? c.sessionType : "unset");
}

// The greys on the screen move as the ramp's curve says, at every gamma; the frame read for
// files (shots, recordings) stays at gamma 1. Once asked for on the command line, once by a
// Wayland session (XWayland: the ramp would be taken but never reach the screen).
TEST(PictureGamma, ScreenPixelsFollowTheCurve) {
    {
        HiddenGLWindow probe;
        if (!probe.ok) GTEST_SKIP() << "no display";
    }
    const int greys[] = {32, 64, 128, 192, 255};
    const int count = 5, width = 320, height = 200;
    for (bool byOption : {true, false}) {
        // The session is named once the video driver is chosen (SDL would choose by it too).
        startVideo();
        if (!byOption) setenv("WAYLAND_DISPLAY", "zorx-no-compositor", 1);
        BoxRecorder boxes;
        openWindow(width, height, 0, byOption);
        unsetenv("WAYLAND_DISPLAY");
        ASSERT_NE(windowState.window, nullptr);
        if (std::string(SDL_GetCurrentVideoDriver()) != "x11") {
            closeMainWindow();
            GTEST_SKIP() << "the screen is read from X, not " << SDL_GetCurrentVideoDriver();
        }
        EXPECT_TRUE(windowState.gammaInPicture);
        ASSERT_TRUE(gammaPass.ready);
        for (float gamma : {1.0f, 1.6f, 0.5f}) {
            EXPECT_TRUE(applyGammaRamp(gamma));
            EXPECT_FALSE(windowState.rampSet); // the display's ramp is left alone
            GammaRamp ramp = buildGammaRamp(gamma);
            for (int frame = 0; frame < 2; ++frame) { // the second frame takes the new curve
                drawGreyBands(greys, count, width, height);
                if (frame == 1) {
                    readMainFrame();
                    uint8_t pixel[4] = {};
                    glReadPixels(width / count / 2 + 2 * width / count, height / 2, 1, 1, GL_RGBA,
                                 GL_UNSIGNED_BYTE, pixel);
                    EXPECT_EQ(pixel[0], 128) << "files stay at gamma 1: " << gamma;
                }
                swapMainWindow();
            }
            for (int i = 0; i < count; ++i) {
                int expected = ramp.red[greys[i]] >> 8;
                Rgb rgb = settledPixel(i * width / count + width / count / 2, height / 2, expected);
                EXPECT_TRUE(rgb.r == expected && rgb.g == expected && rgb.b == expected)
                    << "gamma " << gamma << ", grey " << greys[i] << ": expected " << expected
                    << ", the screen has " << rgb.r << " " << rgb.g << " " << rgb.b;
            }
        }
        EXPECT_TRUE(boxes.boxes.empty());
        closeMainWindow();
    }
}

// A window resized by its manager or the user shows the whole picture scaled, centred between
// black bars, and the mouse lands on the picture; back at its size the frames go straight
// into the window again. A multisampled window takes its frames through the last pass.
TEST(AnyWindowSize, ResizedWindowShowsTheWholePicture) {
    {
        HiddenGLWindow probe;
        if (!probe.ok) GTEST_SKIP() << "no display";
    }
    const int width = 320, height = 200;
    for (int32_t multisampling : {0, 1}) {
        BoxRecorder boxes;
        openWindow(width, height, multisampling, false);
        ASSERT_NE(windowState.window, nullptr);
        if (std::string(SDL_GetCurrentVideoDriver()) != "x11") {
            closeMainWindow();
            GTEST_SKIP() << "the screen is read from X, not " << SDL_GetCurrentVideoDriver();
        }
        EXPECT_NE(SDL_GetWindowFlags(windowState.window) & SDL_WINDOW_RESIZABLE, 0u);
        EXPECT_FALSE(scaledFrames.active);
        resizeWindow(640, 240); // the picture: 384 x 240 from x = 128
        EXPECT_TRUE(scaledFrames.active) << multisampling;
        int frameWidth = 0, frameHeight = 0;
        mainFrameSize(frameWidth, frameHeight);
        EXPECT_TRUE(frameWidth == width && frameHeight == height);
        for (int frame = 0; frame < 2; ++frame) {
            const int white[] = {255};
            drawGreyBands(white, 1, width, height);
            swapMainWindow();
        }
        struct Probe {
            int x, grey;
        };
        for (Probe p : {Probe{20, 0}, Probe{125, 0}, Probe{132, 255}, Probe{320, 255},
                        Probe{508, 255}, Probe{515, 0}, Probe{630, 0}}) {
            Rgb rgb = settledPixel(p.x, 120, p.grey);
            EXPECT_EQ(rgb.r, p.grey) << "x " << p.x << ", multisampling " << multisampling;
        }

        // The mouse in the window's middle is in the picture's middle; on a bar, at its edge.
        SDL_Event motion = {};
        motion.type = SDL_MOUSEMOTION;
        motion.motion.windowID = SDL_GetWindowID(windowState.window);
        for (Probe p : {Probe{320, 160}, Probe{128, 0}, Probe{20, 0}, Probe{639, 319}}) {
            motion.motion.x = p.x, motion.motion.y = 120;
            handleEvent(motion);
            EXPECT_EQ(eventState.mouseX, p.grey) << p.x;
            EXPECT_EQ(eventState.mouseY, 100);
        }

        resizeWindow(width, height);
        swapMainWindow();
        EXPECT_FALSE(scaledFrames.active);
        EXPECT_TRUE(boxes.boxes.empty());
        closeMainWindow();
    }
}

// Without off-screen frames the user is told once what the window shows, and the program
// goes on.
TEST(AnyWindowSize, FramesThatCannotBeScaledAreANotice) {
    {
        HiddenGLWindow probe;
        if (!probe.ok) GTEST_SKIP() << "no display";
    }
    BoxRecorder boxes;
    scaledFrames.createFrame = refuseFrame;
    openWindow(320, 200, 0, false);
    ASSERT_NE(windowState.window, nullptr);
    EXPECT_TRUE(boxes.boxes.empty());
    resizeWindow(400, 200);
    swapMainWindow();
    swapMainWindow();
    EXPECT_FALSE(scaledFrames.active);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].kind, BoxKind::Notice);
    EXPECT_EQ(boxes.boxes[0].caption, "ATTENTION !");
    EXPECT_EQ(boxes.boxes[0].text,
              "The picture cannot be fitted to the window !\nThe video driver cannot draw the "
              "320 x 200 picture off-screen, so it is drawn into the window as it is: from the "
              "lower left corner, cut off where the window is smaller, black where it is "
              "larger, and without a gamma correction of its own.\n\nNOTE : Nevertheless you "
              "can continue with this application");
    scaledFrames.createFrame = createOffscreenFrame;
    closeMainWindow();
}

// The data tool's viewer window follows its size: frames are drawn at the drawable's pixels.
TEST(AnyWindowSize, ViewerDrawsAtTheWindowsSize) {
    {
        HiddenGLWindow probe;
        if (!probe.ok) GTEST_SKIP() << "no display";
    }
    std::string error;
    ASSERT_TRUE(openToolWindow("viewer", 320, 200, false, error)) << error;
    EXPECT_NE(SDL_GetWindowFlags(toolWindowState.window) & SDL_WINDOW_RESIZABLE, 0u);
    SDL_SetWindowSize(toolWindowState.window, 500, 260);
    int width = 0, height = 0;
    for (int i = 0; i < 100 && (toolWindowState.width != width || width != 500); ++i) {
        pumpToolWindow();
        SDL_GL_GetDrawableSize(toolWindowState.window, &width, &height);
        SDL_Delay(10);
    }
    EXPECT_EQ(toolWindowState.width, width);
    EXPECT_EQ(toolWindowState.height, height);
    EXPECT_EQ(width, 500);
    closeToolWindow();
}
