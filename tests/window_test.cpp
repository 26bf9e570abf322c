#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include <SDL_syswm.h>

#include <vector>

#include "app/resource_images.h"
#include "app/startup.h"
#include "config/configuration.h"
#include "platform/boxes.h"
#include "platform/events.h"
#include "platform/gl/gl_strings.h"
#include "platform/gl/scaled_frames.h"
#include "platform/system/resource_images.h"
#include "platform/window.h"
#include "resources/images.h"
#include "support/test_support.h"

namespace {

std::string choosingText(const std::string& name) {
    return "Choosing a PixelFormat supporting " + name +
           " failed !\nSo your video card or driver does not support this number of samples.\n\n"
           "Please don't select this number of samples again in the configuration interface.\n"
           "The application will try to use a lower number of samples now...";
}

const std::string kContinueText =
    "So your video card/driver does not support MultiSampling.\n\nPlease do not enable "
    "MultiSampling in the configuration interface !\nThe application will continue without "
    "MultiSampling now...";

bool yes() {
    return true;
}
bool no() {
    return false;
}
int largestSamples = 0;
bool upToLargest(int samples) {
    return samples <= largestSamples;
}

void setMultisampling(int32_t setting) {
    configState = ConfigState{};
    configState.record.block2.multisampling = setting;
    applyConfiguration();
}

// A 320 x 200 window with that multisampling setting.
void configureSmallWindow(int32_t multisampling) {
    setMultisampling(multisampling);
    configState.record.block1.fullscreen = 0;
    configState.record.block1.screenWidth = 320;
    configState.record.block1.screenHeight = 200;
    applyConfiguration();
}

const PixelFormatQuery kUpToLargest = {yes, yes, yes, upToLargest};

} // namespace

TEST(GammaRamp, IdentityForGammaOne) {
    GammaRamp ramp = buildGammaRamp(1.0f);
    for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(ramp.red[i], i * 256) << i;
        ASSERT_EQ(ramp.green[i], ramp.red[i]);
        ASSERT_EQ(ramp.blue[i], ramp.red[i]);
    }
}

TEST(GammaRamp, SliderEnds) {
    GammaRamp bright = buildGammaRamp(0.02f); // right end of the slider
    EXPECT_EQ(bright.red[0], 0);
    EXPECT_EQ(bright.red[1], 228 * 256); // trunc((1/255)^0.02 * 255 + 0.5)
    EXPECT_EQ(bright.red[255], 255 * 256);
    GammaRamp dark = buildGammaRamp(1.98f); // left end
    EXPECT_EQ(dark.red[128],
              static_cast<int>(std::pow(128 * 0.003921569f, 1.98) * 255 + 0.5) * 256);
    EXPECT_EQ(dark.red[255], 255 * 256);
    // Nonsense gammas never leave the table's range.
    for (float gamma : {-3.0f, 0.0f, NAN, INFINITY}) {
        GammaRamp odd = buildGammaRamp(gamma);
        for (int i = 0; i < 256; ++i) ASSERT_LE(odd.red[i], 255 * 256) << gamma;
    }
}

// Eight and six samples are also stepped down by the real driver below.
TEST(MultisampleStepDown, LowersOneSettingPerRefusedCount) {
    BoxRecorder boxes;
    largestSamples = 2;
    MultisampleChoice choice = chooseMultisampling(kUpToLargest, 4);
    EXPECT_TRUE(choice.multisampled);
    ASSERT_EQ(boxes.boxes.size(), 2u);
    EXPECT_EQ(boxes.boxes[0].caption, "ATTENTION !");
    EXPECT_EQ(boxes.boxes[0].text,
              choosingText("4x MultiSampling with 9Taps (only supported by NVidia !)"));
    EXPECT_EQ(boxes.boxes[1].text, choosingText("4x MultiSampling with 4Taps"));
    EXPECT_EQ(choice.setting, 2);
}

TEST(MultisampleStepDown, NoMultisampleFormatAtAll) {
    BoxRecorder boxes;
    largestSamples = 0;
    MultisampleChoice choice = chooseMultisampling(kUpToLargest, 1);
    EXPECT_FALSE(choice.multisampled);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, choosingText("2x MultiSampling with 2Taps"));
    EXPECT_EQ(choice.setting, 0);
}

TEST(MultisampleStepDown, MissingExtensionsKeepTheSetting) {
    BoxRecorder boxes;
    MultisampleChoice choice = chooseMultisampling({no, yes, no, upToLargest}, 3);
    EXPECT_FALSE(choice.multisampled);
    ASSERT_EQ(boxes.boxes.size(), 2u);
    EXPECT_EQ(boxes.boxes[0].text,
              "The OpenGL extension WGL_ARB_pixel_format is missing !\n" + kContinueText);
    EXPECT_EQ(boxes.boxes[1].text,
              "The OpenGL extension WGL_ARB_multisample is missing !\n" + kContinueText);
    EXPECT_EQ(choice.setting, 3);

    boxes.boxes.clear();
    choice = chooseMultisampling({yes, no, yes, upToLargest}, 3);
    EXPECT_FALSE(choice.multisampled);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].caption, "ATTENTION !");
    EXPECT_EQ(boxes.boxes[0].text,
              "The OpenGL extension function wglChoosePixelFormatARB was not found\nalthough the "
              "WGL_ARB_pixel_format extension is present !\n" +
                  kContinueText);
    EXPECT_EQ(choice.setting, 3);
}

// The real driver: Mesa under the virtual X server offers 2 and 4 samples, not 6 or 8.
TEST(MainWindow, StepsDownWithTheDriverAndRunsMultisampled) {
    {
        HiddenGLWindow probe;
        if (!probe.ok) GTEST_SKIP() << "no display";
    }
    BoxRecorder boxes;
    configureSmallWindow(6);
    eventState = EventState{};
    createConfiguredWindow(); // the start-up's window: the lowered setting is kept
    ASSERT_NE(windowState.window, nullptr);
    ASSERT_NE(windowState.context, nullptr);
    ASSERT_EQ(boxes.boxes.size(), 2u);
    EXPECT_EQ(boxes.boxes[0].text, choosingText("8x MultiSampling"));
    EXPECT_EQ(boxes.boxes[1].text, choosingText("6x MultiSampling"));
    EXPECT_EQ(configState.record.block2.multisampling, 4);
    EXPECT_EQ(configState.running.multisampling, 4);
    int samples = 0;
    SDL_GL_GetAttribute(SDL_GL_MULTISAMPLESAMPLES, &samples);
    EXPECT_EQ(samples, 4);
    int width = 0, height = 0;
    SDL_GetWindowSize(windowState.window, &width, &height);
    EXPECT_EQ(width, 320);
    EXPECT_EQ(height, 200);
    EXPECT_STREQ(SDL_GetWindowTitle(windowState.window), "FILM 03 by KORAL");

    EXPECT_NE(glStrings.renderer, "Unknown");
    EXPECT_NE(glStrings.extensions.find("GL_ARB_multitexture"), std::string::npos);
    EXPECT_TRUE(glStrings.windowSystemExtensions.rfind("GLX_", 0) == 0 ||
                glStrings.windowSystemExtensions.rfind("EGL_", 0) == 0)
        << glStrings.windowSystemExtensions;
    EXPECT_EQ(glStrings.secondWindowSystemExtensions, "");

    // The virtual X server keeps gamma ramps; other drivers may refuse them.
    if (std::strcmp(SDL_GetCurrentVideoDriver(), "x11") == 0) {
        EXPECT_TRUE(windowState.gammaSaved);
    }
    if (windowState.gammaSaved) {
        // SDL takes the ramp at once and gives it to the server while the window has the input
        // focus. (A driver without ramps, such as SDL's off-screen one where no X server was
        // reached, refuses it: the program then leaves the gamma to the picture.)
        EXPECT_TRUE(applyGammaRamp(1.4f) && windowState.rampSet)
            << SDL_GetCurrentVideoDriver() << ": " << SDL_GetError();
        GammaRamp now;
        SDL_GetWindowGammaRamp(windowState.window, now.red, now.green, now.blue);
        EXPECT_EQ(now.green[100], buildGammaRamp(1.4f).green[100]);
        restoreGammaRamp();
        SDL_GetWindowGammaRamp(windowState.window, now.red, now.green, now.blue);
        EXPECT_EQ(std::memcmp(&now, &windowState.savedGammaRamp, sizeof now), 0);
    }

    // In the background the pump stalls until the program is active again.
    SDL_Event focus = {};
    focus.type = SDL_WINDOWEVENT;
    focus.window.windowID = SDL_GetWindowID(windowState.window);
    focus.window.event = SDL_WINDOWEVENT_FOCUS_LOST;
    SDL_PushEvent(&focus);
    focus.window.event = SDL_WINDOWEVENT_FOCUS_GAINED;
    SDL_PushEvent(&focus);
    pumpMessages();
    EXPECT_FALSE(eventState.active);
    eventState.keys['S'] = 1;
    waitWhileInactive();
    EXPECT_TRUE(eventState.active);
    EXPECT_TRUE(eventState.resumed);
    EXPECT_EQ(eventState.keys['S'], 0);

    closeMainWindow();
    EXPECT_FALSE(eventState.running);
    EXPECT_EQ(windowState.window, nullptr);
    EXPECT_EQ(windowState.context, nullptr);
}

// A window never reaches beyond the usable desktop: one that would is made smaller, keeping
// its aspect, and centred with its borders.
TEST(WindowPlacement, NeverLargerThanTheUsableDesktop) {
    struct Case {
        int width, height;
        ScreenRect usable;
        WindowBorders borders;
        ScreenRect expected;
    };
    const ScreenRect sxga = {0, 0, 1280, 1024};
    for (const Case& c :
         {Case{1024, 768, sxga, {}, {128, 128, 1024, 768}}, Case{1280, 1024, sxga, {}, sxga},
          Case{1280, 1024, sxga, {4, 24, 4, 4}, {17, 24, 1245, 996}},
          Case{1600, 1200, {0, 30, 1920, 1050}, {}, {260, 30, 1400, 1050}},
          Case{1920, 600, sxga, {}, {0, 312, 1280, 400}},
          Case{1024, 768, {1920, 0, 1280, 720}, {2, 20, 2, 2}, {2095, 20, 930, 698}}}) {
        ScreenRect place = placeWindow(c.width, c.height, c.usable, c.borders);
        EXPECT_TRUE(place.x == c.expected.x && place.y == c.expected.y &&
                    place.width == c.expected.width && place.height == c.expected.height)
            << c.width << "x" << c.height << ": " << place.x << "," << place.y << " " << place.width
            << "x" << place.height;
        EXPECT_LE(place.y + place.height + c.borders.bottom, c.usable.y + c.usable.height);
    }
}

// A frame keeps its aspect, centred between black bars: at the sides of a wider screen, above
// and below on a taller one.
TEST(ScaledFrames, TheFrameIsCentredBetweenItsBars) {
    const struct {
        int width, height, areaWidth, areaHeight;
        FrameArea expected;
    } cases[] = {
        {1024, 768, 1920, 1080, {240, 0, 1440, 1080}}, // 4:3 on 16:9
        {1280, 720, 1024, 768, {0, 96, 1024, 576}},    // 16:9 on 4:3
        {640, 480, 1280, 960, {0, 0, 1280, 960}},      // the same aspect
        {800, 600, 1281, 600, {240, 0, 800, 600}},     // an odd bar width: the pixel goes right
    };
    for (const auto& c : cases) {
        FrameArea area = fitAspect(c.width, c.height, c.areaWidth, c.areaHeight);
        EXPECT_TRUE(area.x == c.expected.x && area.y == c.expected.y &&
                    area.width == c.expected.width && area.height == c.expected.height)
            << c.width << "x" << c.height << " on " << c.areaWidth << "x" << c.areaHeight << ": "
            << area.x << "," << area.y << " " << area.width << "x" << area.height;
    }
}

// Mouse positions in a window showing a frame scaled go back into frame pixels, those on the
// bars to the nearest edge.
TEST(ScaledFrames, MouseInTheFrame) {
    struct PointCase {
        int x, y, frameX, frameY;
    };
    for (const PointCase& c :
         {PointCase{240, 0, 0, 0}, PointCase{960, 540, 512, 384}, PointCase{1679, 1079, 1023, 767},
          PointCase{100, 500, 0, 355}, PointCase{1900, -5, 1023, 0}}) {
        int x = c.x, y = c.y;
        windowPointToFrame({240, 0, 1440, 1080}, 1024, 768, x, y); // 1024 x 768 on 1920 x 1080
        EXPECT_TRUE(x == c.frameX && y == c.frameY) << c.x << "," << c.y << ": " << x << "," << y;
    }
}

// Frames are drawn at the display's own pixels where it would show the picture larger, in the
// picture's aspect; a display showing it smaller or at its size, and pictures made for files,
// keep the picture's size. The handheld's 16:10 panel shows a 4:3 picture between bars.
TEST(ScaledFrames, FramesAreDrawnAtTheDisplaysPixelsWhereItShowsThemLarger) {
    const struct {
        int width, height, areaWidth, areaHeight;
        bool realPixels;
        FrameArea expected;
    } cases[] = {
        {1024, 768, 2048, 1536, true, {0, 0, 2048, 1536}}, // a window at scale 2
        {1024, 768, 1536, 1152, true, {0, 0, 1536, 1152}}, // at scale 1.5
        {1024, 768, 1280, 800, true, {107, 0, 1066, 800}}, // the handheld's full screen
        {1280, 800, 1280, 800, true, {0, 0, 1280, 800}},   // its own size there
        {640, 480, 1280, 720, true, {160, 0, 960, 720}},   // 4:3 on 16:9, larger
        {1024, 768, 1280, 720, true, {160, 0, 1024, 768}}, // shown smaller: its own size
        {1024, 768, 1024, 768, true, {0, 0, 1024, 768}},   // the same size
        {1024, 768, 1025, 769, true, {0, 0, 1025, 768}},   // one pixel more
        {1024, 768, 2048, 1536, false, {0, 0, 1024, 768}}, // pictures for files
        {1024, 768, 0, 0, true, {0, 0, 1024, 768}},        // a drawable not there yet
    };
    for (const auto& c : cases) {
        FrameArea area = drawnFrameArea(c.width, c.height, c.areaWidth, c.areaHeight, c.realPixels);
        EXPECT_TRUE(area.width == c.expected.width && area.height == c.expected.height)
            << c.width << "x" << c.height << " on " << c.areaWidth << "x" << c.areaHeight << ": "
            << area.width << "x" << area.height;
        FrameArea shown = fitAspect(area.width, area.height, c.areaWidth, c.areaHeight);
        if (c.realPixels && c.areaWidth > 0) {
            EXPECT_TRUE(shown.x == c.expected.x && shown.y == c.expected.y) << c.areaWidth;
        }
    }
}

// The real window: a configured size beyond the usable desktop gives a smaller window whose
// multisampled frames keep the configured size, are read back whole and are shown scaled.
TEST(MainWindow, LargerThanTheDesktopShowsItsFramesScaled) {
    {
        HiddenGLWindow probe;
        if (!probe.ok) GTEST_SKIP() << "no display";
    }
    SDL_InitSubSystem(SDL_INIT_VIDEO);
    SDL_Rect usable;
    ASSERT_EQ(SDL_GetDisplayUsableBounds(0, &usable), 0);
    BoxRecorder boxes;
    setMultisampling(3);
    configState.record.block1.fullscreen = 0;
    configState.record.block1.screenWidth = usable.w * 2;
    configState.record.block1.screenHeight = usable.h;
    applyConfiguration();
    eventState = EventState{};
    createConfiguredWindow();
    ASSERT_NE(windowState.window, nullptr);
    int width = 0, height = 0, frameWidth = 0, frameHeight = 0;
    SDL_GetWindowSize(windowState.window, &width, &height);
    EXPECT_TRUE(width <= usable.w && height <= usable.h) << width << "x" << height;
    mainFrameSize(frameWidth, frameHeight);
    EXPECT_TRUE(frameWidth == usable.w * 2 && frameHeight == usable.h);

    glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    readMainFrame();
    uint8_t pixel[4] = {};
    glReadPixels(frameWidth - 1, frameHeight - 1, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    EXPECT_EQ(pixel[0], 255); // the frame's far corner, beyond the window

    // Shown in the left half of the window (of the frame's aspect) the frame has bars.
    SDL_GL_GetDrawableSize(windowState.window, &width, &height);
    showScaledFrame(width / 2, height);
    bindFramebuffer(0);
    glReadBuffer(GL_BACK);
    FrameArea shown = fitAspect(frameWidth, frameHeight, width / 2, height);
    for (int y : {shown.y + 2, height / 2, shown.y + shown.height - 3, 0, shown.y - 2}) {
        glReadPixels(width / 4, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
        EXPECT_EQ(pixel[0] != 0, y >= shown.y && y < shown.y + shown.height) << y;
    }
    // In a strip wider than the frame's aspect the bars are left and right of the picture,
    // equally wide.
    showScaledFrame(width, height / 4);
    bindFramebuffer(0);
    glReadBuffer(GL_BACK);
    int pictureWidth = int(int64_t(frameWidth) * (height / 4) / frameHeight);
    int bar = (width - pictureWidth) / 2;
    ASSERT_GT(bar, 4);
    for (int x : {2, bar - 2, bar + 2, width / 2, width - bar - 3, width - bar + 1, width - 3}) {
        glReadPixels(x, height / 8, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
        EXPECT_EQ(pixel[0] != 0, x >= bar && x < width - bar) << x;
    }
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    bindFramebuffer(currentFramebuffer().framebuffer);

    int x = width / 2, y = height / 2;
    mouseToFrame(x, y);
    EXPECT_TRUE(std::abs(x - frameWidth / 2) <= 2 && std::abs(y - frameHeight / 2) <= 2);
    swapMainWindow();
    closeMainWindow();
    EXPECT_FALSE(scaledFrames.active);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

namespace {

// The window's _NET_WM_ICON: width, height, then one ARGB number per pixel.
std::vector<unsigned long> windowIconProperty(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return {};
    Display* display = info.info.x11.display;
    Atom type = None;
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    XGetWindowProperty(display, info.info.x11.window, XInternAtom(display, "_NET_WM_ICON", False),
                       0, 1 << 20, False, AnyPropertyType, &type, &format, &count, &remaining,
                       &data);
    std::vector<unsigned long> values;
    if (data != nullptr)
        values.assign(reinterpret_cast<unsigned long*>(data),
                      reinterpret_cast<unsigned long*>(data) + count);
    if (data != nullptr) XFree(data);
    return values;
}

void pushKey(Uint32 type, SDL_Keycode key) {
    SDL_Event event = {};
    event.type = type;
    event.key.windowID = SDL_GetWindowID(windowState.window);
    event.key.keysym.sym = key;
    SDL_PushEvent(&event);
}

} // namespace

// The program's own window as a user meets it: its icon, its boxes, and short key taps
// between two slow frames.
TEST(MainWindow, CarriesTheIconAndKeepsTapsForTheNextFrame) {
    {
        HiddenGLWindow probe;
        if (!probe.ok) GTEST_SKIP() << "no display";
    }
    BoxRecorder boxes;
    installResourceImages();
    configureSmallWindow(0);
    eventState = EventState{};
    eventState.ignoreFocus = true;
    createConfiguredWindow();
    ASSERT_NE(windowState.window, nullptr);
    EXPECT_TRUE(boxes.boxes.empty());

    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver == nullptr || std::strcmp(driver, "x11") != 0) {
        closeMainWindow();
        GTEST_SKIP() << "the icon is read from X";
    }
    TextureRecord icon;
    const ResourceImage* png = findResourceImage(kProgramIcon);
    ASSERT_NE(png, nullptr);
    ASSERT_EQ(decodeImageData(icon, png->png, png->size, false), DecodeResult::Ok);
    std::vector<unsigned long> property = windowIconProperty(windowState.window);
    ASSERT_EQ(property.size(), 2u + size_t(icon.width * icon.height));
    EXPECT_EQ(property[0], unsigned(icon.width));
    EXPECT_EQ(property[1], unsigned(icon.height));
    size_t centre = size_t(icon.height / 2 * icon.width + icon.width / 2);
    const uint8_t* rgba = icon.pixels + centre * 4;
    EXPECT_EQ(property[2 + centre] & 0xFFFFFFFFu,
              (unsigned long)rgba[3] << 24 | rgba[0] << 16 | rgba[1] << 8 | rgba[2]);
    releasePixels(icon);

    // Boxes belong to the window while it is on the screen, never to a window out of sight.
    EXPECT_EQ(boxOwnerWindow(), windowState.window);
    SDL_HideWindow(windowState.window);
    EXPECT_EQ(boxOwnerWindow(), nullptr);
    SDL_ShowWindow(windowState.window);
    EXPECT_EQ(boxOwnerWindow(), windowState.window);

    pumpMessages();
    pushKey(SDL_KEYDOWN, SDLK_s); // pressed and released between two frames
    pushKey(SDL_KEYUP, SDLK_s);
    pumpMessages();
    EXPECT_EQ(eventState.keys['S'], 1); // the frame after the pump sees the tap
    pumpMessages();
    EXPECT_EQ(eventState.keys['S'], 0); // and only that frame
    pushKey(SDL_KEYDOWN, SDLK_ESCAPE);  // held over a frame: released with its key-up
    pumpMessages();
    EXPECT_EQ(eventState.keys[kKeyEscape], 1);
    pushKey(SDL_KEYUP, SDLK_ESCAPE);
    pumpMessages();
    EXPECT_EQ(eventState.keys[kKeyEscape], 0);

    closeMainWindow();
    resourceImageState = ResourceImageState{};
}
