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
#include "platform/gl/gamma_pass.h"
#include "platform/gl/offscreen_frame.h"
#include "platform/gl/scaled_frames.h"
#include "platform/tool_window.h"
#include "platform/window.h"
#include "support/test_support.h"

namespace {

struct Rgb {
    int r = -1, g = -1, b = -1;
    bool operator==(const Rgb&) const = default;
};

// The main window's pixel as the X server holds it on the screen, or what it shows once it
// has the expected colour (a swap reaches the server a moment later); x, y from the top left of
// the client area.
Rgb screenPixel(int x, int y, Rgb expected) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(windowState.window, &info)) return {};
    Display* display = info.info.x11.display;
    Window root = DefaultRootWindow(display), child = 0;
    Rgb rgb;
    for (int i = 0; i < 50 && !(rgb == expected); ++i, SDL_Delay(20)) {
        int rootX = 0, rootY = 0;
        XSync(display, False);
        XTranslateCoordinates(display, info.info.x11.window, root, x, y, &rootX, &rootY, &child);
        XImage* image = XGetImage(display, root, rootX, rootY, 1, 1, AllPlanes, ZPixmap);
        unsigned long pixel = XGetPixel(image, 0, 0);
        auto channel = [&](unsigned long mask) {
            return int((pixel & mask) / (mask & ~(mask << 1)));
        };
        rgb = {channel(image->red_mask), channel(image->green_mask), channel(image->blue_mask)};
        XDestroyImage(image);
    }
    return rgb;
}

// The main window as a width x height window of the configuration; false where it is not on
// an X server (its screen cannot be read then).
bool openWindow(int width, int height, int32_t multisampling, bool gammaInPicture,
                bool realPixels = false) {
    configState = ConfigState{};
    configState.record.block1.fullscreen = 0;
    configState.record.block1.screenWidth = width;
    configState.record.block1.screenHeight = height;
    configState.record.block2.multisampling = multisampling;
    applyConfiguration();
    eventState = EventState{};
    eventState.ignoreFocus = true;
    createConfiguredWindow(gammaInPicture, realPixels);
    return windowState.window != nullptr && std::string(SDL_GetCurrentVideoDriver()) == "x11";
}

class MainWindowPicture : public testing::Test {
  protected:
    void SetUp() override {
        HiddenGLWindow probe;
        if (!probe.ok) GTEST_SKIP() << "no display";
    }
    BoxRecorder boxes;
};

// The frame as vertical bands of the given colours, one after the other from the left.
void drawBands(const Rgb* colours, int count, int width, int height) {
    glEnable(GL_SCISSOR_TEST);
    for (int i = 0; i < count; ++i) {
        glScissor(i * width / count, 0, width / count, height);
        const Rgb& c = colours[i];
        glClearColor(float(c.r) / 255.0f, float(c.g) / 255.0f, float(c.b) / 255.0f, 1.0f);
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

int refuseRamp(SDL_Window*, const Uint16*, const Uint16*, const Uint16*) {
    return -1;
}

// The greys (and each channel of a colour) on the screen move as the ramp's curve says, at
// every gamma; the frame read for
// files (shots, recordings) stays at gamma 1. The picture carries the gamma when asked for on
// the command line, in a Wayland session (through XWayland a ramp would be taken but never
// reach the screen), and when the display refuses the ramp.
TEST_F(MainWindowPicture, GammaInThePictureMovesTheScreensGreysAsTheCurve) {
    const Rgb bands[] = {{32, 32, 32},    {64, 64, 64},    {128, 128, 128},
                         {192, 192, 192}, {255, 255, 255}, {40, 128, 220}};
    const int count = 6, width = 320, height = 200;
    for (const char* way : {"option", "session", "refused ramp"}) {
        // The session is named once the video driver is chosen (SDL would choose by it too).
        startVideo();
        if (way == std::string("session")) setenv("WAYLAND_DISPLAY", "zorx-no-compositor", 1);
        if (way == std::string("refused ramp")) windowState.setDeviceRamp = refuseRamp;
        bool onX = openWindow(width, height, 0, way == std::string("option"));
        unsetenv("WAYLAND_DISPLAY");
        if (!onX) GTEST_SKIP() << "the screen is read from X";
        EXPECT_EQ(windowState.gammaInPicture, way != std::string("refused ramp"));
        for (float gamma : {1.0f, 1.6f, 0.5f}) {
            EXPECT_TRUE(applyGammaRamp(gamma));
            EXPECT_FALSE(windowState.rampSet);        // the display's ramp is left alone
            for (int frame = 0; frame < 2; ++frame) { // the second frame takes the new curve
                drawBands(bands, count, width, height);
                uint8_t pixel[4] = {};
                readMainFrame();
                glReadPixels(5 * width / count / 2, height / 2, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE,
                             pixel);
                EXPECT_EQ(pixel[0], 128) << "files stay at gamma 1: " << gamma;
                swapMainWindow();
            }
            GammaRamp ramp = buildGammaRamp(gamma);
            for (int i = 0; i < count; ++i) {
                const Rgb& c = bands[i];
                Rgb expected = {ramp.red[c.r] >> 8, ramp.green[c.g] >> 8, ramp.blue[c.b] >> 8};
                Rgb rgb = screenPixel((2 * i + 1) * width / count / 2, height / 2, expected);
                EXPECT_TRUE(rgb == expected)
                    << way << ", gamma " << gamma << ", band " << i << ": expected " << expected.r
                    << " " << expected.g << " " << expected.b << ", the screen has " << rgb.r << " "
                    << rgb.g << " " << rgb.b;
            }
        }
        // A ramp the display takes again leaves the picture without a curve of its own.
        windowState.setDeviceRamp = SDL_SetWindowGammaRamp;
        applyGammaRamp(1.6f);
        EXPECT_TRUE(!windowState.rampSet || !gammaPass.curved);
        closeMainWindow();
    }
    EXPECT_TRUE(boxes.boxes.empty());
}

// A window resized by its manager or the user shows the whole picture scaled, centred between
// black bars, and the mouse lands on the picture; back at its size the frames go straight
// into the window again. A multisampled window takes its frames through the last pass.
TEST_F(MainWindowPicture, ResizedWindowShowsTheWholePicture) {
    const int width = 320, height = 200;
    const Rgb white[] = {{255, 255, 255}};
    for (int32_t multisampling : {0, 1}) {
        if (!openWindow(width, height, multisampling, false))
            GTEST_SKIP() << "the screen is read from X";
        EXPECT_NE(SDL_GetWindowFlags(windowState.window) & SDL_WINDOW_RESIZABLE, 0u);
        EXPECT_FALSE(scaledFrames.active);
        resizeWindow(640, 240); // the picture: 384 x 240 from x = 128
        EXPECT_TRUE(scaledFrames.active) << multisampling;
        for (int frame = 0; frame < 2; ++frame) {
            drawBands(white, 1, width, height);
            swapMainWindow();
        }
        struct Probe {
            int x, value;
        };
        for (Probe p : {Probe{20, 0}, Probe{125, 0}, Probe{132, 255}, Probe{320, 255},
                        Probe{508, 255}, Probe{515, 0}, Probe{630, 0}})
            EXPECT_EQ(screenPixel(p.x, 120, {p.value, p.value, p.value}).r, p.value)
                << p.x << ", " << multisampling;
        // The mouse in the window's middle is in the picture's middle; on a bar, at its edge.
        SDL_Event motion = {};
        motion.type = SDL_MOUSEMOTION;
        for (Probe p : {Probe{320, 160}, Probe{128, 0}, Probe{20, 0}, Probe{639, 319}}) {
            motion.motion.x = p.x, motion.motion.y = 120;
            handleEvent(motion);
            EXPECT_TRUE(eventState.mouseX == p.value && eventState.mouseY == 100) << p.x;
        }
        resizeWindow(width, height);
        swapMainWindow();
        EXPECT_FALSE(scaledFrames.active);
        closeMainWindow();
    }
    EXPECT_TRUE(boxes.boxes.empty());
}

// Where the window shows the picture larger, the frames are drawn at its own pixels in the
// picture's aspect: a one-pixel line stays one pixel wide on the screen, between the bars, and
// the mouse lands in the frame's pixels.
TEST_F(MainWindowPicture, LargerWindowDrawsAtItsOwnPixels) {
    if (!openWindow(320, 200, 0, false, true)) GTEST_SKIP() << "the screen is read from X";
    resizeWindow(640, 240); // the picture: 384 x 240 from x = 128
    int width = 0, height = 0;
    mainFrameSize(width, height);
    EXPECT_TRUE(width == 384 && height == 240) << width << "x" << height;
    const Rgb black[] = {{0, 0, 0}}, white = {255, 255, 255};
    for (int frame = 0; frame < 2; ++frame) {
        drawBands(black, 1, width, height);
        glEnable(GL_SCISSOR_TEST);
        glScissor(192, 0, 1, height); // one column in the frame's middle
        glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        glDisable(GL_SCISSOR_TEST);
        swapMainWindow();
    }
    EXPECT_EQ(screenPixel(128 + 192, 120, white).r, 255);
    for (int x : {128 + 191, 128 + 193, 20, 630})
        EXPECT_EQ(screenPixel(x, 120, {0, 0, 0}).r, 0) << x;
    SDL_Event motion = {};
    motion.type = SDL_MOUSEMOTION;
    motion.motion.x = 320, motion.motion.y = 120;
    handleEvent(motion);
    EXPECT_TRUE(eventState.mouseX == 192 && eventState.mouseY == 120)
        << eventState.mouseX << "," << eventState.mouseY;
    closeMainWindow();
    EXPECT_TRUE(boxes.boxes.empty());
}

// Without off-screen frames the user is told once what the window shows, and the program
// goes on.
TEST_F(MainWindowPicture, FramesThatCannotBeScaledAreANotice) {
    scaledFrames.createFrame = refuseFrame;
    openWindow(320, 200, 0, false);
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
TEST_F(MainWindowPicture, ViewerDrawsAtTheWindowsSize) {
    std::string error;
    ASSERT_TRUE(openToolWindow("viewer", 320, 200, false, error)) << error;
    EXPECT_NE(SDL_GetWindowFlags(toolWindowState.window) & SDL_WINDOW_RESIZABLE, 0u);
    SDL_SetWindowSize(toolWindowState.window, 500, 260);
    for (int i = 0; i < 100 && toolWindowState.width != 500; ++i, SDL_Delay(10)) pumpToolWindow();
    int width = 0, height = 0;
    SDL_GL_GetDrawableSize(toolWindowState.window, &width, &height);
    EXPECT_TRUE(toolWindowState.width == 500 && width == 500);
    EXPECT_EQ(toolWindowState.height, height);
    closeToolWindow();
}
