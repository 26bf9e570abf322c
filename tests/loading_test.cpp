// The loading phase on the real driver with the demo's own data: the status lines in order,
// the progress accounting, the load options of each texture, the star particle system, the
// sounds, and everything handed back at shutdown.
#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "app/demo_state.h"
#include "app/loading.h"
#include "app/startup.h"
#include "config/configuration.h"
#include "config/loading_dialog.h"
#include "effects/engine.h"
#include "effects/particles.h"
#include "effects/renderer.h"
#include "platform/gl/gl_context.h"
#include "platform/events.h"
#include "platform/system/memory.h"
#include "platform/window.h"
#include "render/capabilities.h"
#include "render/font2d.h"
#include "resources/bigfile.h"
#include "resources/textures.h"
#include "scene/loading_log.h"
#include "scene/objects.h"
#include "scene/scene_graph.h"
#include "sound/fsound.h"
#include "support/test_support.h"

namespace {

const std::string kData = ZORX_DATA_DIR;

// What the dialog was asked to show, in order.
struct DialogRecord {
    std::vector<std::string> calls; // "minimise", "create", "line:TEXT", "percent:N", ...
    std::vector<float> values;      // the progress value at each bar update
};
DialogRecord record;

void recordLine(std::string_view text) {
    record.calls.push_back("line:" + std::string(text));
}
void recordPercent(int percent) {
    record.calls.push_back("percent:" + std::to_string(percent));
    record.values.push_back(loadingDialogState.value);
}

LoadingDialogView recordingView() {
    LoadingDialogView view;
    view.create = [] {
        record.calls.push_back("create");
        return true;
    };
    view.destroy = [] { record.calls.push_back("destroy"); };
    view.addLine = recordLine;
    view.setPercent = recordPercent;
    view.minimiseMainWindow = [] { record.calls.push_back("minimise"); };
    view.restoreMainWindow = [] { record.calls.push_back("restore"); };
    return view;
}

// The lines the loading phase writes itself (the 3DS reader's come between the first two).
const std::vector<std::string> kOwnLinesBeforeScene = {"Initializing fonts...", "Done !"};
const std::vector<std::string> kOwnLinesAfterScene = {
    "Building Vertex Buffer Objects (if supported)...",
    "Done !",
    "Loading particle systems...",
    "Done !",
    "Loading Music...",
    "Done !",
    "Loading 2D interface...",
    "Done !",
    "Loading Sounds...",
    "Done !"};

struct TextureParameters {
    GLint minFilter = 0;
    GLint wrap = 0;
    GLfloat anisotropy = 0.0f;
    GLint compressed = 0;
};

TextureParameters parametersOf(GLuint name) {
    TextureParameters p;
    glBindTexture(GL_TEXTURE_2D, name);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &p.minFilter);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &p.wrap);
    glGetTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, &p.anisotropy);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_COMPRESSED, &p.compressed);
    glBindTexture(GL_TEXTURE_2D, 0);
    return p;
}

GLuint textureNamed(const std::string& name) {
    int32_t index = findTexture(name);
    return index < 0 ? 0 : textureState.records[index]->glName;
}

class LoadingPhase : public testing::Test {
  protected:
    void SetUp() override {
        if (!window.ok) GTEST_SKIP() << "no display";
        ASSERT_TRUE(fileExists("Film_03.3ds", kData + "/Film_03.dat")) << "build demo_data";
        failureState.batch = true;
        memoryBefore = memoryState.accountedBytes;
        windowState.window = window.window;
        windowState.context = window.context;
        setWindowGLContext(windowState.window, windowState.context);
        configState = ConfigState{};
        renderState = RenderState{};
        renderTargets = RenderTargetState{};
        overlay2D = Overlay2DState{};
        glCapabilities = GLCapabilities{};
        eventState = EventState{};
        eventState.ignoreFocus = true;
        demoState = DemoState{};
        loadingDialogState = LoadingDialogState{};
        loadingDialogState.idle = [] {};
        record = DialogRecord{};
        captureGLStrings();
        RenderSettings settings;
        settings.screenWidth = 320;
        settings.screenHeight = 240;
        settings.multisampleMode = 0;
        initEngine(settings, driverQuery(glStrings));
        setTextureQuality(TextureQuality{});
        initSceneGraph();
        ASSERT_TRUE(soundInitOffline(44100));
    }
    void TearDown() override {
        if (!window.ok) return;
        deleteParticleSystem(kStarSystemId);
        releaseLoadedAssets();
        FSOUND_Close();
        shutdownEngine();
        shutdownSceneGraph();
        windowState.window = nullptr;
        windowState.context = nullptr;
        setWindowGLContext(nullptr, nullptr);
        EXPECT_EQ(memoryState.accountedBytes, memoryBefore) << "accounted memory left over";
    }
    void load() {
        ScopedChdir into(kData);
        runLoadingPhase();
    }

    HiddenGLWindow window{320, 240};
    BoxRecorder boxes;
    uint32_t memoryBefore = 0;
};

} // namespace

TEST_F(LoadingPhase, DialogShowsEveryStepAndTheProgressInUnitsOfTheSceneFile) {
    loadingDialogState.view = recordingView();
    load();
    EXPECT_TRUE(boxes.boxes.empty());

    // Window first, lines and steps, then the dialog goes and the main window comes back.
    std::vector<std::string>& calls = record.calls;
    ASSERT_GE(calls.size(), 4u);
    EXPECT_EQ(calls[0], "minimise");
    EXPECT_EQ(calls[1], "create");
    EXPECT_EQ(calls[calls.size() - 2], "destroy");
    EXPECT_EQ(calls.back(), "restore");

    // Each line is followed by a blank one; the loading phase's own lines frame the reader's.
    std::vector<std::string> lines;
    for (size_t i = 0; i < calls.size(); ++i) {
        if (!calls[i].starts_with("line:")) continue;
        ASSERT_LT(i + 1, calls.size());
        EXPECT_EQ(calls[i + 1], "line: ") << "after " << calls[i];
        lines.push_back(calls[i].substr(5));
        ++i;
    }
    ASSERT_GT(lines.size(), kOwnLinesBeforeScene.size() + kOwnLinesAfterScene.size() + 10);
    EXPECT_TRUE(
        std::equal(kOwnLinesBeforeScene.begin(), kOwnLinesBeforeScene.end(), lines.begin()));
    EXPECT_TRUE(
        std::equal(kOwnLinesAfterScene.rbegin(), kOwnLinesAfterScene.rend(), lines.rbegin()));
    EXPECT_NE(std::find(lines.begin(), lines.end(), "3ds file loaded successfully !"), lines.end());

    // Total 2 S, unit S / 100: 5 units for the font, the byte positions of the reader on top,
    // 5 units each for buffers, particles and music, then five steps of 20 units.
    const float s = float(getEntrySize(kData + "/Film_03.dat", "Film_03.3ds"));
    const float u = s * 0.01f;
    EXPECT_FLOAT_EQ(loadingDialogState.total, 2.0f * s);
    std::vector<float>& values = record.values;
    ASSERT_GT(values.size(), 10u);
    EXPECT_FLOAT_EQ(values[0], 5.0f * u);
    const std::vector<float> tail = {5 * u + s + 5 * u,  5 * u + s + 10 * u, 5 * u + s + 15 * u,
                                     5 * u + s + 35 * u, 5 * u + s + 55 * u, 5 * u + s + 75 * u,
                                     5 * u + s + 95 * u, 5 * u + s + 115 * u};
    ASSERT_GT(values.size(), tail.size() + 1);
    for (size_t i = 0; i < tail.size(); ++i)
        EXPECT_NEAR(values[values.size() - tail.size() + i], tail[i], s * 1e-5f) << i;
    // The reader's steps between them: rising byte positions up to the whole file.
    const size_t readerEnd = values.size() - tail.size();
    for (size_t i = 1; i < readerEnd; ++i) EXPECT_GE(values[i], values[i - 1]);
    EXPECT_NEAR(values[readerEnd - 1], 5 * u + s, 1.0f);

    // trunc(value / total * 100 + 0.5), at most 100: 100 % before the last textures.
    std::vector<int> percents;
    for (const std::string& call : calls)
        if (call.starts_with("percent:")) percents.push_back(std::stoi(call.substr(8)));
    ASSERT_EQ(percents.size(), values.size());
    for (size_t i = 0; i < values.size(); ++i)
        EXPECT_EQ(percents[i],
                  std::min(100, int(std::trunc(values[i] / (2.0f * s) * 100.0f + 0.5f))));
    EXPECT_EQ(std::vector<int>(percents.end() - 6, percents.end()),
              (std::vector<int>{60, 70, 80, 90, 100, 100}));

    // The loaders no longer write into the dialog; the cursor stays hidden for the demo.
    EXPECT_EQ(loadingLog.addLine, nullptr);
    EXPECT_EQ(loadingLog.setProgress, nullptr);
    EXPECT_FALSE(loadingDialogState.exists);
    EXPECT_FALSE(eventState.cursorVisible);
    EXPECT_FALSE(eventState.savedCursorVisible);
}

TEST_F(LoadingPhase, BatchRunsPrintTheLinesAndOpenNoWindow) {
    loadingDialogState.view = recordingView();
    loadingDialogState.sink = LoadingSink::StandardOutput;
    testing::internal::CaptureStdout();
    load();
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(record.calls.empty()) << record.calls.front();
    EXPECT_TRUE(out.starts_with("Initializing fonts...\nDone !\n")) << out.substr(0, 200);
    std::string ownTail;
    for (const std::string& line : kOwnLinesAfterScene) ownTail += line + "\n";
    EXPECT_TRUE(out.ends_with(ownTail)) << out.substr(out.size() - 300);
    // The value is still kept without a window.
    const float s = float(getEntrySize(kData + "/Film_03.dat", "Film_03.3ds"));
    EXPECT_NEAR(loadingDialogState.value, 2.2f * s, s * 1e-4f);
}

TEST_F(LoadingPhase, AssetsAreKeptWithTheirLoadOptions) {
    loadingDialogState.sink = LoadingSink::StandardOutput;
    testing::internal::CaptureStdout();
    load();
    testing::internal::GetCapturedStdout();

    // Every interface texture, each its own.
    const DemoTextures& t = demoState.textures;
    std::vector<uint32_t> names = {t.gammaLine, t.gammaSlider, t.cursor,     t.presents,
                                   t.poweredBy, t.engineLogo,  t.comingSoon, t.texture20,
                                   t.texture64, t.flare};
    for (uint32_t name : names) EXPECT_NE(name, 0u);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(std::adjacent_find(names.begin(), names.end()), names.end());
    EXPECT_EQ(t.presents, textureNamed("PRESENTS.PNG"));

    // Interface images are clamped and plain; the sphere map mipmapped with anisotropy, the
    // flare mipmapped without; the particles' flares repeat, mipmapped without anisotropy;
    // the scene's own textures are mipmapped, anisotropic and compressed.
    const GLint plain = GL_LINEAR, mipmapped = GL_LINEAR_MIPMAP_LINEAR;
    TextureParameters p = parametersOf(t.gammaLine);
    EXPECT_EQ(p.minFilter, plain);
    EXPECT_EQ(p.wrap, GL_CLAMP_TO_EDGE);
    EXPECT_EQ(p.anisotropy, 1.0f);
    EXPECT_EQ(p.compressed, 0);
    p = parametersOf(t.texture64);
    EXPECT_EQ(p.minFilter, mipmapped);
    EXPECT_EQ(p.wrap, GL_CLAMP_TO_EDGE);
    EXPECT_EQ(p.anisotropy, 4.0f);
    EXPECT_EQ(p.compressed, 0);
    p = parametersOf(t.flare);
    EXPECT_EQ(p.minFilter, mipmapped);
    EXPECT_EQ(p.wrap, GL_CLAMP_TO_EDGE);
    EXPECT_EQ(p.anisotropy, 1.0f);
    p = parametersOf(textureNamed("FLARE13.PNG"));
    EXPECT_EQ(p.minFilter, mipmapped);
    EXPECT_EQ(p.wrap, GL_REPEAT);
    EXPECT_EQ(p.anisotropy, 1.0f);
    EXPECT_EQ(p.compressed, 0);
    p = parametersOf(textureNamed("TILES.JPG"));
    EXPECT_EQ(p.minFilter, mipmapped);
    EXPECT_EQ(p.wrap, GL_REPEAT);
    EXPECT_EQ(p.anisotropy, 4.0f);
    EXPECT_EQ(p.compressed, renderState.settings.textureCompressionMode != 0 ? 1 : 0);
    const TextureLoadOptions& options = textureState.options;
    EXPECT_TRUE(options.noMipmaps && options.noAnisotropy && options.noCompression);
    EXPECT_FALSE(options.clamp || options.colourKey);

    // The star particle system.
    ParticleSystem* stars = findParticleSystem("SternPS");
    ASSERT_NE(stars, nullptr);
    EXPECT_EQ(stars, demoState.starSystem);
    ASSERT_EQ(stars->textureCount, 6);
    EXPECT_EQ(stars->textures[0]->name, "FLARE11.PNG");
    EXPECT_EQ(stars->textures[5]->name, "FLARE16.PNG");
    EXPECT_EQ(stars->particleCount, 300);
    EXPECT_TRUE(stars->particlesAllocated);
    EXPECT_FALSE(stars->randomTexture);
    EXPECT_TRUE(stars->fade);
    EXPECT_TRUE(stars->sizeChanges);
    EXPECT_FALSE(stars->grow);
    EXPECT_EQ(stars->startVelocity.y, -0.5f);
    EXPECT_EQ(stars->startVelocity.x, 0.0f);
    EXPECT_TRUE(stars->emitterOrigin.isZero());
    EXPECT_EQ(stars->emitterExtent.x, 1.0f);
    EXPECT_EQ(stars->emitterExtent.y, 0.0f);
    EXPECT_EQ(stars->emitterExtent.z, 1.0f);
    EXPECT_EQ(stars->emitterRadius, 1.0f);
    EXPECT_EQ(stars->size, 1.5f);
    EXPECT_EQ(stars->emissionInterval, 20);
    EXPECT_EQ(stars->lifetime, 5000);
    EXPECT_EQ(stars->motionTimeUnit, 100);

    // The scene, its objects in buffers where the driver has them, the font, the sounds.
    EXPECT_NE(findObject("Camera03"), nullptr);
    EXPECT_NE(findSceneNode("HALL"), nullptr);
    EXPECT_TRUE(overlay2D.font.built);
    ASSERT_NE(demoState.musicStream, nullptr);
    EXPECT_EQ(demoState.musicImageLength, getEntrySize(kData + "/Film_03.dat", "MusicIntro.ogg"));
    EXPECT_NE(demoState.endSample, nullptr);
    EXPECT_EQ(demoState.sampleImageLength, getEntrySize(kData + "/Film_03.dat", "Sound09.mp3"));
    EXPECT_GT(FSOUND_Stream_Play(FSOUND_FREE, demoState.musicStream), -1);
    EXPECT_TRUE(FSOUND_Stream_Stop(demoState.musicStream));

    // What the loading phase keeps besides the registries goes back.
    releaseLoadedAssets();
    EXPECT_EQ(demoState.musicStream, nullptr);
    EXPECT_EQ(demoState.musicImage, nullptr);
    EXPECT_EQ(demoState.endSample, nullptr);
    EXPECT_EQ(demoState.sampleImage, nullptr);
    EXPECT_FALSE(overlay2D.font.built);
}

TEST_F(LoadingPhase, SceneTargetsAreClampedAndOnlyTheGlowsAreMipmapped) {
    configState.running.depthBufferBits = 16;
    configureRenderTargets();
    EXPECT_EQ(renderTargets.settings.depthBufferBits, 16);
    createSceneTargets();
    for (int i = 0; i < 4; ++i) {
        const PixelBufferTarget& target = demoState.targets[i];
        ASSERT_TRUE(target.created) << i;
        EXPECT_EQ(target.width, 512);
        EXPECT_EQ(target.height, 512);
        EXPECT_EQ(target.mipmapped, i >= 2) << "target " << i + 1;
        EXPECT_EQ(parametersOf(target.texture).wrap, GL_CLAMP_TO_EDGE) << "target " << i + 1;
    }
    EXPECT_EQ(renderTargets.current, nullptr); // the window's context again
    const TextureLoadOptions& options = textureState.options;
    EXPECT_TRUE(options.noMipmaps && options.noAnisotropy && options.noCompression);
    EXPECT_FALSE(options.clamp);
    EXPECT_TRUE(boxes.boxes.empty());
    for (PixelBufferTarget& target : demoState.targets) releaseTarget(target);
}
