// The demo's sequences on the real driver, from the demo's own data: the loading phase fills
// the demo state, then single frames of the gamma screen, the two scenes and the end screen
// are drawn by their own frame loops, started at chosen points of the timeline, and looked at.
// With ZORX_SCENE_SHOTS naming a folder, every frame looked at is also written there as PNG.
#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/demo_state.h"
#include "app/gamma_screen.h"
#include "app/loading.h"
#include "app/player.h"
#include "app/scenes.h"
#include "app/startup.h"
#include "app/timeline.h"
#include "config/configuration.h"
#include "config/loading_dialog.h"
#include "effects/engine.h"
#include "effects/particles.h"
#include "platform/gl/gl_context.h"
#include "platform/events.h"
#include "platform/game_controller.h"
#include "platform/system/failure.h"
#include "platform/gl/gl_strings.h"
#include "platform/system/memory.h"
#include "platform/window.h"
#include "render/capabilities.h"
#include "render/render_targets.h"
#include "render/statistics.h"
#include "resources/textures.h"
#include "scene/objects.h"
#include "scene/scene_graph.h"
#include "sound/fsound.h"
#include "sound/sound_startup.h"
#include "support/test_support.h"
#include "tools/image_write.h"

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
const std::string kDataDir = ZORX_DATA_DIR;

// What the frame hook saw of the last frame drawn.
struct SeenFrame {
    bool drawn = false;
    Sequence sequence = Sequence::Gamma;
    uint32_t sceneMs = 0;
    Image image;
    int32_t renderedObjects = 0;
    int frames = 0;
};
SeenFrame seen;

Image readWindow() {
    Image image = makeImage(kWidth, kHeight, 3);
    std::vector<uint8_t> rgba(size_t(kWidth) * kHeight * 4);
    glReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    for (int y = 0; y < kHeight; ++y) // the framebuffer's rows run bottom to top
        for (int x = 0; x < kWidth; ++x)
            for (int c = 0; c < 3; ++c)
                image.pixels[(size_t(y) * kWidth + x) * 3 + c] =
                    rgba[(size_t(kHeight - 1 - y) * kWidth + x) * 4 + c];
    return image;
}

// Keeps the frame and ends the sequence after it (its frame tail still runs).
void keepFrameAndStop(Sequence sequence, uint32_t sceneMs) {
    seen.drawn = true;
    seen.sequence = sequence;
    seen.sceneMs = sceneMs;
    seen.image = readWindow();
    seen.renderedObjects = statisticsState.frame.renderedObjects;
    ++seen.frames;
    eventState.running = false;
}

void countDrawnFrame(Sequence, uint32_t) {
    ++seen.frames;
}

// Mean brightness (0..255) of a rectangle of the image, in fractions of its size.
double meanBrightness(const Image& image, double x0 = 0, double y0 = 0, double x1 = 1,
                      double y1 = 1) {
    double sum = 0;
    int count = 0;
    for (int y = int(y0 * image.height); y < int(y1 * image.height); ++y)
        for (int x = int(x0 * image.width); x < int(x1 * image.width); ++x) {
            const uint8_t* p = &image.pixels[(size_t(y) * image.width + x) * 3];
            sum += (p[0] + p[1] + p[2]) / 3.0;
            ++count;
        }
    return count > 0 ? sum / count : 0;
}

// Share (0..1) of the pixels of a rectangle that are white or nearly so.
double whiteShare(const Image& image, double x0, double y0, double x1, double y1) {
    int white = 0, count = 0;
    for (int y = int(y0 * image.height); y < int(y1 * image.height); ++y)
        for (int x = int(x0 * image.width); x < int(x1 * image.width); ++x) {
            const uint8_t* p = &image.pixels[(size_t(y) * image.width + x) * 3];
            white += p[0] >= 248 && p[1] >= 248 && p[2] >= 248;
            ++count;
        }
    return count > 0 ? double(white) / count : 0;
}

void saveShot(const std::string& name, const Image& image) {
    const char* folder = std::getenv("ZORX_SCENE_SHOTS");
    if (folder == nullptr || image.pixels.empty()) return;
    std::vector<uint8_t> png = encodePng(image);
    writeWholeFile(std::string(folder) + "/" + name + ".png",
                   std::vector<unsigned char>(png.begin(), png.end()));
}

class DemoSequences : public testing::Test {
  protected:
    void SetUp() override {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        if (!window.ok) GTEST_SKIP() << "no display";
        if (!std::filesystem::exists(kDataDir + "/Film_03.dat"))
            GTEST_SKIP() << "no demo data in " << kDataDir << " (build the target demo_data)";
        chdir = std::make_unique<ScopedChdir>(kDataDir);
        failureState.batch = true;
        eventState = EventState{};
        eventState.ignoreFocus = true;
        eventState.fixedStepMs = 40;
        windowState.window = window.window;
        windowState.context = window.context;
        setWindowGLContext(windowState.window, windowState.context);
        configState = ConfigState{};
        RunningSettings& running = configState.running;
        running.fullscreen = false;
        running.screenWidth = kWidth;
        running.screenHeight = kHeight;
        running.multisampling = 0;
        configState.record.block2.multisampling = 0;
        demoState = DemoState{};
        timelineState = TimelineState{};
        loadingDialogState = LoadingDialogState{}; // no dialog window: the lines go nowhere
        bytesBefore = memoryState.accountedBytes;

        captureGLStrings();
        initSceneGraph();
        startConfiguredEngine(driverQuery(glStrings));
        configureTextures();
        configureRenderTargets();
        ASSERT_TRUE(soundInitOffline(44100));
        setSceneModelDefaults();
        runLoadingPhase();
        createSceneTargets();
        ASSERT_TRUE(demoState.targets[3].created);
        seen = SeenFrame{};
        timelineState.hooks.frameDrawn = keepFrameAndStop;
    }

    void TearDown() override {
        if (chdir == nullptr) return;
        timelineState = TimelineState{};
        deleteParticleSystem(kStarSystemId);
        for (PixelBufferTarget& target : demoState.targets) releaseTarget(target);
        releaseLoadedAssets();
        FSOUND_Close();
        shutdownEngine();
        shutdownSceneGraph();
        EXPECT_EQ(memoryState.accountedBytes, bytesBefore);
        windowState.window = nullptr;
        windowState.context = nullptr;
        setWindowGLContext(nullptr, nullptr);
    }

    // Plays the sequence from ms through its own loop, until the hooks end it.
    void playFrom(Sequence sequence, uint32_t ms) {
        const TimelinePoint start = {sequence, ms};
        startTimelineAt(&start);
        eventState.running = true;
        seen.drawn = false;
        switch (sequence) {
            case Sequence::Gamma:
                runGammaScreen();
                break;
            case Sequence::First:
                playFirstScene();
                break;
            case Sequence::Second:
                playSecondScene();
                break;
            case Sequence::End:
                playEndScreen();
                break;
        }
    }

    // Draws one frame of the sequence at ms.
    void drawAt(Sequence sequence, uint32_t ms) {
        playFrom(sequence, ms);
        ASSERT_TRUE(seen.drawn);
        EXPECT_EQ(seen.sequence, sequence);
        EXPECT_EQ(seen.sceneMs, ms);
        saveShot(std::string(sequenceName(sequence)) + "-" + std::to_string(ms), seen.image);
    }

    HiddenGLWindow window{kWidth, kHeight};
    std::unique_ptr<ScopedChdir> chdir;
    uint32_t bytesBefore = 0;
};

} // namespace

TEST_F(DemoSequences, GammaScreenDrawsOneFrameInBatchRunsAndKeepsTheGamma) {
    configState.record.block1.gamma = 0.8f;
    drawAt(Sequence::Gamma, 0);
    EXPECT_EQ(configState.record.block1.gamma, 0.8f);
    EXPECT_EQ(seen.frames, 1);
    const Image& frame = seen.image;
    // The white heading at the top, the magenta hints, the letters and the slider line.
    EXPECT_GT(meanBrightness(frame, 0.0, 0.0, 1.0, 0.1), 5.0);
    EXPECT_GT(meanBrightness(frame, 0.0, 0.38, 0.5, 0.44), 3.0);
    EXPECT_GT(meanBrightness(frame, 0.5, 0.45, 1.0, 0.5), 3.0);
    EXPECT_GT(meanBrightness(frame, 0.3, 0.5, 0.7, 0.6), 10.0);
    // Below the slider and the label the screen is black, but for the pointer.
    EXPECT_LT(meanBrightness(frame, 0.0, 0.75, 0.7, 0.9), 1.0);
    restoreGammaRamp();
}

// From the built-in defaults (DXT3, 4x anisotropy) a software rasteriser makes the scene's
// textures plain for the run, and the engine's settings say so.
TEST_F(DemoSequences, TexturesAreMadeWithTheSettingsForThisRun) {
    const bool software = isSoftwareRasteriser(glStrings.renderer, glStrings.accelerated);
    EXPECT_EQ(renderState.settings.anisotropy, software ? 1.0f : 4.0f);
    EXPECT_EQ(renderState.settings.textureCompressionMode, software ? 0 : 1);
    glBindTexture(GL_TEXTURE_2D, textureState.records[findTexture("Tiles.jpg")]->glName);
    GLfloat anisotropy = 0.0f;
    glGetTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, &anisotropy);
    EXPECT_EQ(anisotropy, software ? 1.0f : 4.0f);
    GLint compressed = -1;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_COMPRESSED, &compressed);
    EXPECT_EQ(compressed, software ? GL_FALSE : GL_TRUE);
}

TEST_F(DemoSequences, FirstSceneFlightTitleAndItsBoundary) {
    drawAt(Sequence::First, 5000);
    EXPECT_GT(seen.renderedObjects, 0);
    EXPECT_GT(meanBrightness(seen.image), 10.0);
    // The logo's glow and the flares leave its letters visible: no white blob in the middle.
    EXPECT_LT(whiteShare(seen.image, 0.25, 0.25, 0.75, 0.75), 0.08);
    // The glow is added with a raised texture LOD bias, which no unit keeps after the frame.
    GLint activeUnit = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE_ARB, &activeUnit);
    for (GLenum unit = 0; unit < 4; ++unit) {
        glFunctions.glActiveTextureARB(GL_TEXTURE0_ARB + unit);
        GLfloat bias = -1.0f;
        glGetTexEnvfv(GL_TEXTURE_FILTER_CONTROL_EXT, GL_TEXTURE_LOD_BIAS_EXT, &bias);
        EXPECT_EQ(bias, 0.0f) << "unit " << unit;
    }
    glFunctions.glActiveTextureARB(GLenum(activeUnit));
    // The music plays from the scene time.
    EXPECT_GE(FSOUND_Stream_GetTime(demoState.musicStream), 5000);
    EXPECT_LT(FSOUND_Stream_GetTime(demoState.musicStream), 5100);
    drawAt(Sequence::First, 25000);
    EXPECT_GT(meanBrightness(seen.image), 10.0);
    EXPECT_LT(whiteShare(seen.image, 0.25, 0.25, 0.75, 0.75), 0.08);
    drawAt(Sequence::First, 44500);
    EXPECT_GT(seen.renderedObjects, 0);

    // At 45000 the 3D part is drawn (under the opaque fade), from 45001 on the title.
    drawAt(Sequence::First, 45000);
    EXPECT_GT(seen.renderedObjects, 0);
    EXPECT_LT(meanBrightness(seen.image), 1.0);
    drawAt(Sequence::First, 45001);
    EXPECT_EQ(seen.renderedObjects, 0);
    drawAt(Sequence::First, 47000);
    EXPECT_EQ(seen.renderedObjects, 0);
    // The title in the middle, black around it.
    EXPECT_GT(meanBrightness(seen.image, 0.3, 0.4, 0.7, 0.6), 20.0);
    EXPECT_LT(meanBrightness(seen.image, 0.0, 0.0, 1.0, 0.2), 1.0);
    EXPECT_LT(meanBrightness(seen.image, 0.0, 0.8, 1.0, 1.0), 1.0);
    EXPECT_FALSE(demoState.skip);
}

// The star shower takes a second to fill: played from 38 s and looked at by 40 s, when the
// letters fill the middle of the view, the stars and flares leave "KORAL" readable.
TEST_F(DemoSequences, FirstSceneLettersStayReadableUnderTheStarShower) {
    timelineState.hooks.frameDrawn = [](Sequence sequence, uint32_t ms) {
        if (ms >= 40000) keepFrameAndStop(sequence, ms);
    };
    playFrom(Sequence::First, 38000);
    ASSERT_TRUE(seen.drawn);
    saveShot("first-40000-shower", seen.image);
    EXPECT_LT(whiteShare(seen.image, 0.3, 0.45, 0.6, 0.6), 0.05) << "over the O and the R";
    EXPECT_LT(meanBrightness(seen.image, 0.3, 0.45, 0.6, 0.6), 160.0);
}

TEST_F(DemoSequences, EscapeInTheFirstSceneSkipsTheSecond) {
    timelineState.hooks.frameDrawn = countDrawnFrame;
    timelineState.hooks.frameStart = [](Sequence, uint32_t ms) {
        if (ms >= 200) eventState.keys[kKeyEscape] = 1;
    };
    eventState.running = true;
    playFirstScene();
    EXPECT_TRUE(demoState.skip);
    EXPECT_EQ(seen.frames, 6); // 0, 40, ..., 200
    seen.frames = 0;
    playSecondScene();
    EXPECT_EQ(seen.frames, 0);
    clearKeys();
}

// Keys tapped (pressed and released between two frames) at the gamma screen's third frame,
// then Enter at the sixth; the screen gives up after the twentieth.
SDL_Keycode tappedKey = SDLK_UNKNOWN;
void tapAtThirdFrame(Sequence, uint32_t) {
    ++seen.frames;
    SDL_Keycode key = seen.frames == 3 ? tappedKey : seen.frames == 6 ? SDLK_RETURN : 0;
    for (Uint32 type : {SDL_KEYDOWN, SDL_KEYUP}) {
        if (key == 0) break;
        SDL_Event event = {};
        event.type = type;
        event.key.keysym.sym = key;
        SDL_PushEvent(&event);
    }
    if (seen.frames == 20) eventState.running = false;
}

TEST_F(DemoSequences, GammaScreenEndsWithEnterOrSpace) {
    BoxRecorder boxes;
    failureState.batch = false; // the screen waits for its keys
    windowState.videoStarted = true;
    configState.record.block1.gamma = 0.8f;
    timelineState.hooks.frameDrawn = tapAtThirdFrame;
    const std::pair<SDL_Keycode, int> cases[] = {
        {SDLK_RETURN, 3}, {SDLK_KP_ENTER, 3}, {SDLK_SPACE, 3}, {SDLK_s, 6}, {SDLK_ESCAPE, 6}};
    for (auto [key, frames] : cases) {
        SCOPED_TRACE(SDL_GetKeyName(key));
        tappedKey = key;
        seen.frames = 0;
        eventState.running = true;
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
        runGammaScreen();
        EXPECT_EQ(seen.frames, frames);
        EXPECT_TRUE(eventState.running);
        for (uint8_t down : eventState.keys) EXPECT_EQ(down, 0); // none left for the scenes
    }
    EXPECT_EQ(configState.record.block1.gamma, 0.8f);
    EXPECT_TRUE(boxes.boxes.empty());
    windowState.videoStarted = false;
    restoreGammaRamp();
}

// A controller plugged in while the demo runs (SDL's virtual one, with the standard layout):
// on the gamma screen its left stick, tilted fully right from the third frame, moves the slider
// right at its full speed, and A pressed at the eighth confirms it; in the first scene B ends
// the scene as Escape does; unplugged, it is closed.
SDL_Joystick* virtualPad = nullptr;
void padAtFrames(Sequence, uint32_t) {
    ++seen.frames;
    if (seen.frames == 3) SDL_JoystickSetVirtualAxis(virtualPad, SDL_CONTROLLER_AXIS_LEFTX, 32767);
    if (seen.frames == 8) SDL_JoystickSetVirtualButton(virtualPad, SDL_CONTROLLER_BUTTON_A, 1);
    if (seen.frames == 30) eventState.running = false;
}
void padBAt200(Sequence, uint32_t ms) {
    ++seen.frames;
    SDL_JoystickSetVirtualButton(virtualPad, SDL_CONTROLLER_BUTTON_B, ms >= 200 ? 1 : 0);
}

TEST_F(DemoSequences, VirtualControllerMovesTheSliderConfirmsAndEndsTheScene) {
    failureState.batch = false; // the screen waits for its keys
    windowState.videoStarted = true;
    startControllers();
    ASSERT_TRUE(controllerState.started) << SDL_GetError();
    int device = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER,
                                           SDL_CONTROLLER_AXIS_MAX, SDL_CONTROLLER_BUTTON_MAX, 0);
    ASSERT_GE(device, 0) << SDL_GetError();
    virtualPad = SDL_JoystickOpen(device);
    ASSERT_NE(virtualPad, nullptr);
    configState.record.block1.gamma = 0.8f; // the slider at 0.1
    timelineState.hooks.frameDrawn = padAtFrames;
    seen.frames = 0;
    eventState.running = true;
    runGammaScreen();
    EXPECT_TRUE(eventState.running);
    EXPECT_EQ(seen.frames, 8); // A ends the screen at the frame it is pressed
    // The stick counted from the fourth frame to the eighth: five frames of 40 ms at full
    // speed move the slider by 0.1, to 0.2, which is gamma 0.6.
    EXPECT_NEAR(configState.record.block1.gamma, 0.6f, 1e-4f);
    for (uint8_t down : eventState.keys) EXPECT_EQ(down, 0);

    SDL_JoystickSetVirtualAxis(virtualPad, SDL_CONTROLLER_AXIS_LEFTX, 0);
    SDL_JoystickSetVirtualButton(virtualPad, SDL_CONTROLLER_BUTTON_A, 0);
    timelineState.hooks.frameDrawn = padBAt200;
    seen.frames = 0;
    playFirstScene();
    EXPECT_TRUE(demoState.skip);
    EXPECT_EQ(seen.frames, 6); // 0, 40, ..., 200

    SDL_JoystickClose(virtualPad);
    SDL_JoystickDetachVirtual(device);
    pumpMessages();
    for (SDL_GameController* open : controllerState.open) EXPECT_EQ(open, nullptr);
    stopControllers();
    clearKeys();
    windowState.videoStarted = false;
    restoreGammaRamp();
}

// In the first scene a controller's A pauses the picture at its frame and the right shoulder
// seeks 5 s forward from there, as Space and Right do.
std::vector<uint32_t> padFrameTimes;
void padPausesAndSeeks(Sequence, uint32_t ms) {
    padFrameTimes.push_back(ms);
    size_t frame = padFrameTimes.size();
    SDL_JoystickSetVirtualButton(virtualPad, SDL_CONTROLLER_BUTTON_A, frame == 3);
    SDL_JoystickSetVirtualButton(virtualPad, SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, frame == 7);
    if (frame == 10) eventState.running = false;
}

TEST_F(DemoSequences, VirtualControllerPausesAndSeeks) {
    windowState.videoStarted = true;
    startControllers();
    int device = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER,
                                           SDL_CONTROLLER_AXIS_MAX, SDL_CONTROLLER_BUTTON_MAX, 0);
    ASSERT_GE(device, 0) << SDL_GetError();
    virtualPad = SDL_JoystickOpen(device);
    timelineState.hooks.frameDrawn = padPausesAndSeeks;
    padFrameTimes.clear();
    eventState.running = true;
    startPlayer();
    playFirstScene();
    EXPECT_TRUE(playerState.paused);
    EXPECT_EQ(playerState.moves, 1u);
    EXPECT_EQ(padFrameTimes, (std::vector<uint32_t>{0, 40, 80, 80, 80, 80, 80, 5080, 5080, 5080}));
    SDL_JoystickClose(virtualPad);
    SDL_JoystickDetachVirtual(device);
    stopControllers();
    clearKeys();
    playerState = PlayerState{};
    windowState.videoStarted = false;
}

TEST_F(DemoSequences, NothingStartsOnceTheWindowIsGone) {
    timelineState.hooks.frameStart = countDrawnFrame;
    eventState.running = false;
    runGammaScreen();
    playFirstScene();
    playSecondScene();
    playEndScreen();
    EXPECT_EQ(seen.frames, 0);
    EXPECT_EQ(soundBusyChannels(), 0); // neither the music nor the end sound
}

// After a pause the scene time is the music's position (less 50 s in the second scene).
std::vector<uint32_t> frameTimes;
void pauseAtThirdFrame(Sequence, uint32_t ms) {
    frameTimes.push_back(ms);
    if (frameTimes.size() == 3) {
        std::vector<int16_t> mix(44100 * 2);
        soundRenderFrames(mix.data(), 44100); // the music went on for a second
        eventState.resumed = true;
    }
    if (frameTimes.size() == 4) eventState.running = false;
}

TEST_F(DemoSequences, AfterAPauseTheScenesFollowTheMusic) {
    timelineState.hooks.frameDrawn = pauseAtThirdFrame;
    frameTimes.clear();
    playFrom(Sequence::First, 10000);
    EXPECT_EQ(frameTimes, (std::vector<uint32_t>{10000, 10040, 10080, 11000}));
    EXPECT_FALSE(eventState.resumed);

    timelineState.hooks.frameDrawn = pauseAtThirdFrame;
    frameTimes.clear();
    playFrom(Sequence::Second, 20000);
    EXPECT_EQ(frameTimes, (std::vector<uint32_t>{20000, 20040, 20080, 21000}));
}

TEST_F(DemoSequences, SecondSceneBlurredLogoAndTitle) {
    drawAt(Sequence::Second, 2000);
    EXPECT_GT(seen.renderedObjects, 0);
    // Started here, the music plays from 50 s in.
    EXPECT_GE(FSOUND_Stream_GetTime(demoState.musicStream), 52000);
    double fadingIn = meanBrightness(seen.image);
    drawAt(Sequence::Second, 30000);
    EXPECT_GT(meanBrightness(seen.image), fadingIn);
    EXPECT_GT(meanBrightness(seen.image, 0.3, 0.3, 0.7, 0.7), 20.0);
    // The zoom blur's gain grows with time; the logo stays small enough that it never
    // whites out the screen.
    EXPECT_LT(whiteShare(seen.image, 0.25, 0.25, 0.75, 0.75), 0.15);
    EXPECT_LT(meanBrightness(seen.image), 100.0);
    drawAt(Sequence::Second, 50000);
    EXPECT_LT(whiteShare(seen.image, 0.25, 0.25, 0.75, 0.75), 0.15);
    EXPECT_LT(meanBrightness(seen.image), 100.0);
    drawAt(Sequence::Second, 62000);
    EXPECT_EQ(seen.renderedObjects, 0);
    EXPECT_GT(meanBrightness(seen.image, 0.3, 0.4, 0.7, 0.6), 20.0);
    EXPECT_LT(meanBrightness(seen.image, 0.0, 0.0, 1.0, 0.2), 1.0);
}

TEST_F(DemoSequences, EndScreenImagesAndTheirChange) {
    drawAt(Sequence::End, 4000);
    EXPECT_GT(meanBrightness(seen.image), 20.0);
    drawAt(Sequence::End, 8000);
    EXPECT_LT(meanBrightness(seen.image), 1.0); // the engine logo at brightness 0
    drawAt(Sequence::End, 15000);
    EXPECT_GT(meanBrightness(seen.image, 0.3, 0.2, 0.7, 0.8), 8.0);
    EXPECT_LT(meanBrightness(seen.image, 0.0, 0.0, 0.15, 1.0), 1.0);
}
