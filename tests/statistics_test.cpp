#include "render/statistics.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "platform/events.h"
#include "platform/gl/gl_strings.h"
#include "platform/system/memory.h"
#include "render/capabilities.h"
#include "render/render_state.h"
#include "resources/textures.h"

namespace {

int swapIntervalOne() {
    return 1;
}
int swapIntervalZero() {
    return 0;
}

// A frame of the first scene as the overlay sees it.
class StatisticsOverlay : public testing::Test {
  protected:
    void SetUp() override {
        statisticsState = StatisticsState{};
        renderState = RenderState{};
        glCapabilities = GLCapabilities{};
        eventState = EventState{};
        savedMemory = memoryState;
        savedStrings = glStrings;

        FrameStatistics& frame = statisticsState.frame;
        frame.transparentObjects = 3;
        frame.transparentTriangles = 1204;
        frame.solidObjects = 17;
        frame.solidTriangles = 51230;
        frame.renderedObjects = 20;
        frame.totalTriangles = 52434;
        frame.particleSystems = 1;
        frame.perPixelLitObjects = 4;
        frame.largestLightCount = 3;
        statisticsState.objectsWithBuffers = 30;
        statisticsState.dynamicObjects = 2;
        statisticsState.rateText = "59";
        glCapabilities.vertexBuffersAvailable = true;
        renderState.settings.anisotropy = 4.0f;
        renderState.camera.eye = {12.5f, -3.0f, 100.0f};
        renderState.camera.viewDirection = {0.6f, 0.0f, -0.8f};
        textureState.count = 42;
        textureState.glTextureCount = 108;
        memoryState.accountedBytes = 5000000;
        memoryState.accountedPeak = 123456789;
        glStrings.version = "4.5 (Compatibility Profile) Mesa 22.3.6";
        glStrings.renderer = "llvmpipe (LLVM 15.0.6, 256 bits)";
        glStrings.vendor = "Mesa";
        eventState.clock.elapsed = 73125;
        inputs = {112, 25, 2, 140, 18};
    }
    void TearDown() override {
        textureState.count = 0;
        textureState.glTextureCount = 0;
        memoryState = savedMemory;
        glStrings = savedStrings;
    }
    // The long page's line that starts with prefix, with its line break.
    std::string longPageLine(const std::string& prefix) {
        std::string text = statisticsOverlayText(2, inputs);
        size_t at = text.find(prefix);
        if (at == std::string::npos) return "(missing)";
        return text.substr(at, text.find('\n', at) + 1 - at);
    }
    StatisticsInputs inputs;
    MemoryState savedMemory;
    GLStrings savedStrings;
};

TEST_F(StatisticsOverlay, LongPageReadsEveryFigure) {
    const std::string expected = "FPS            : 59\n"
                                 "TIME           : 73125\n"
                                 "Vertical Sync  : Driver controled\n\n"
                                 "VBO Supported  : YES\n"
                                 "Anti Aliasing  : 4x (4Taps)\n"
                                 "Anisotropic    : 4x\n"
                                 "S3TCompression : On (DXT3)\n\n"
                                 "TEXTURES (SYS) : 42\n"
                                 "TEXTURES (GPU) : 108\n\n"
                                 "MAX LIGHTS USED: 3\n\n"
                                 "TOTAL OBJECTS  : 112 (30 VBO, whereof 2 dynamic)\n"
                                 "RENDERED       : 20  (4 per-pixel lightened, 1 particle sys)\n"
                                 "(ALPHA)        : 3\n"
                                 "(SOLID)        : 17\n\n"
                                 "CULLING TESTS\n"
                                 "VIEW FRUSTUM   : 25 (SAVED 2)\n"
                                 "FRUSTUM PLANES : 140 (SAVED 18 WHEREOF 6 BY DEACTIVATION)\n\n"
                                 "TRIANGLES      : 52434\n"
                                 "(ALPHA)        : 1204\n"
                                 "(SOLID)        : 51230\n\n"
                                 "MEMORY USAGE\n"
                                 "CURRENTLY USED : 5000000 BYTES  (4882 KB / 4 MB)\n"
                                 "MAXIMUM USED   : 123456789 BYTES  (120563 KB / 117 MB)\n\n"
                                 "CAM POSITION X : 12.5\n"
                                 "CAM POSITION Y : -3\n"
                                 "CAM POSITION Z : 100\n\n"
                                 "CAM VIEWANGLE X: 0.6\n"
                                 "CAM VIEWANGLE Y: 0\n"
                                 "CAM VIEWANGLE Z: -0.8\n\n"
                                 "OpenGL Version : 4.5 (Compatibility Profile) Mesa 22.3.6\n"
                                 "Renderer       : llvmpipe (LLVM 15.0.6, 256 bits)\n"
                                 "Vendor         : Mesa\n";
    EXPECT_EQ(statisticsOverlayText(2, inputs), expected);
}

TEST_F(StatisticsOverlay, ShortPageAndTheOffPage) {
    EXPECT_EQ(statisticsOverlayText(1, inputs), "FPS: 59\n\nPRESS AGAIN TO SEE MORE !");
    EXPECT_EQ(statisticsOverlayText(0, inputs), "");
    // The first second after start has no rate yet.
    statisticsState.rateText.clear();
    EXPECT_EQ(statisticsOverlayText(1, inputs), "FPS: \n\nPRESS AGAIN TO SEE MORE !");
    EXPECT_EQ(longPageLine("FPS"), "FPS            : \n");
}

TEST_F(StatisticsOverlay, BothPagesShowTheScaleOnlyUnderTheGovernor) {
    EXPECT_EQ(longPageLine("Frame Scale"), "(missing)");
    inputs.frameScale = 0.85f;
    EXPECT_EQ(statisticsOverlayText(1, inputs),
              "FPS: 59\nSCALE: 0.85\n\nPRESS AGAIN TO SEE MORE !");
    EXPECT_EQ(longPageLine("Frame Scale"), "Frame Scale    : 0.85\n");
    inputs.frameScale = 1.0f;
    EXPECT_EQ(longPageLine("Frame Scale"), "Frame Scale    : 1.00\n");
}

// The long page, with the scale line, drawn from (-0.98, 0.98): every line lies inside the
// window, and the page keeps its full size where it fits. A long renderer name makes the
// width the limit.
TEST_F(StatisticsOverlay, LongPageFitsTheWindow) {
    const std::string shortName = "llvmpipe (LLVM 15.0.6, 256 bits)";
    const std::string longName = shortName + " on a graphics card with a very long name";
    struct Window {
        int width, height;
        const std::string& renderer;
        bool shrinks;
    };
    const Window windows[] = {
        {1024, 768, shortName, true},  {640, 400, shortName, true},   {320, 240, shortName, true},
        {768, 1024, shortName, false}, {600, 1200, shortName, false}, {600, 1200, longName, true},
    };
    inputs.frameScale = 0.5f;
    for (const Window& window : windows) {
        SCOPED_TRACE(std::to_string(window.width) + " x " + std::to_string(window.height) + ", " +
                     window.renderer);
        glStrings.renderer = window.renderer;
        const std::string text = statisticsOverlayText(2, inputs);
        size_t lines = 0, longest = 0, length = 0;
        for (char c : text) {
            length = c == '\n' ? 0 : length + 1;
            lines += c == '\n';
            longest = std::max(longest, length);
        }
        const float aspect = float(window.width) / float(window.height);
        const StatisticsLayout layout = statisticsLayout(text, aspect);
        // 2D units: y from +1 at the top to -1 at the bottom, x from -1 to +1.
        const float bottom =
            0.98f - float(lines) * aspect * layout.size - float(lines - 1) * layout.lineSpacing;
        const float right = -0.98f + float(longest) * layout.size;
        EXPECT_GE(bottom, -1.0f);
        EXPECT_LE(right, 1.0f);
        if (window.shrinks)
            EXPECT_TRUE(bottom < -0.9f || right > 0.9f) << bottom << " " << right;
        else
            EXPECT_FLOAT_EQ(layout.size, 0.028f);
        EXPECT_FLOAT_EQ(layout.lineSpacing / layout.size, 0.01f / 0.028f);
    }
}

TEST_F(StatisticsOverlay, VerticalSyncLineAndHintFollowTheSwapControl) {
    // Without swap control the interval is never asked for, so no hint either.
    glCapabilities.getSwapInterval = swapIntervalOne;
    EXPECT_EQ(longPageLine("Vertical"), "Vertical Sync  : Driver controled\n");
    EXPECT_EQ(longPageLine("FPS"), "FPS            : 59\n");
    EXPECT_EQ(statisticsOverlayText(1, inputs), "FPS: 59\n\nPRESS AGAIN TO SEE MORE !");

    glCapabilities.swapControlAvailable = true;
    EXPECT_EQ(longPageLine("Vertical"), "Vertical Sync  : ON\n");
    EXPECT_EQ(longPageLine("FPS"),
              "FPS            : 59 (disable vertical sync to get true fps!)\n");
    EXPECT_EQ(statisticsOverlayText(1, inputs),
              "FPS: 59 (disable vsync for true fps!)\n\nPRESS AGAIN TO SEE MORE !");

    glCapabilities.getSwapInterval = swapIntervalZero;
    EXPECT_EQ(longPageLine("Vertical"), "Vertical Sync  : OFF\n");
    EXPECT_EQ(longPageLine("FPS"), "FPS            : 59\n");
}

TEST_F(StatisticsOverlay, SettingLinesForEveryMode) {
    const char* const antiAliasing[] = {
        "Anti Aliasing  : Off\n",
        "Anti Aliasing  : 2x (2Taps)\n",
        "Anti Aliasing  : 2x (5Taps) Quincunx\n",
        "Anti Aliasing  : 4x (4Taps)\n",
        "Anti Aliasing  : 4x (9Taps)\n",
        "Anti Aliasing  : 6x\n",
        "Anti Aliasing  : 8x\n",
    };
    for (int32_t mode = 0; mode <= 6; ++mode) {
        renderState.settings.multisampleMode = mode;
        EXPECT_EQ(longPageLine("Anti"), antiAliasing[mode]);
    }
    const char* const compression[] = {"Off", "On (DXT3)", "On (DXT5)", "On (DXT1)", "Off"};
    for (int32_t mode = 0; mode <= 4; ++mode) {
        renderState.settings.textureCompressionMode = mode;
        EXPECT_EQ(longPageLine("S3TC"),
                  std::string("S3TCompression : ") + compression[mode] + "\n");
    }
    renderState.settings.anisotropy = 1.0f;
    EXPECT_EQ(longPageLine("Aniso"), "Anisotropic    : Off (Isotropic 1.0)\n");
    renderState.settings.anisotropy = 16.0f;
    EXPECT_EQ(longPageLine("Aniso"), "Anisotropic    : 16x\n");
    glCapabilities.vertexBuffersAvailable = false;
    EXPECT_EQ(longPageLine("VBO"), "VBO Supported  : NO\n");
}

TEST_F(StatisticsOverlay, ObjectSavedByItsParentCountsSixSavedPlanes) {
    inputs = {};
    inputs.objectTestsSaved = 1;
    inputs.planeTestsSaved = 6;
    EXPECT_EQ(longPageLine("VIEW FRUSTUM"), "VIEW FRUSTUM   : 0 (SAVED 1)\n");
    EXPECT_EQ(longPageLine("FRUSTUM PLANES"),
              "FRUSTUM PLANES : 0 (SAVED 6 WHEREOF 0 BY DEACTIVATION)\n");
}

TEST_F(StatisticsOverlay, CameraFiguresWithSixSignificantDigits) {
    renderState.camera.eye = {1.0f / 3.0f, 1234567.0f, -0.0001f};
    EXPECT_EQ(longPageLine("CAM POSITION X"), "CAM POSITION X : 0.333333\n");
    EXPECT_EQ(longPageLine("CAM POSITION Y"), "CAM POSITION Y : 1.23457e+06\n");
    EXPECT_EQ(longPageLine("CAM POSITION Z"), "CAM POSITION Z : -0.0001\n");
}

TEST(FrameRate, RateIsTheFrameCountOfTheLastFullSecond) {
    statisticsState = StatisticsState{};
    for (uint32_t now = 0; now < 1000; now += 100) countFrame(now);
    EXPECT_EQ(statisticsState.rateText, ""); // nothing during the first second
    EXPECT_EQ(statisticsState.frameCounter, 10);
    countFrame(1000);
    EXPECT_EQ(statisticsState.rateText, "10");
    EXPECT_EQ(statisticsState.frameCounter, 1);
    EXPECT_EQ(statisticsState.lastRateUpdate, 1000u);
    countFrame(1500);
    countFrame(1999);
    EXPECT_EQ(statisticsState.rateText, "10");
    countFrame(2700); // a long frame: the next second starts at the frame that ends it
    EXPECT_EQ(statisticsState.rateText, "3");
    EXPECT_EQ(statisticsState.lastRateUpdate, 2700u);

    // A real clock is far past 0 at the first frame: the first second starts there.
    statisticsState = StatisticsState{};
    for (uint32_t now = 500000; now < 501000; now += 250) {
        countFrame(now);
        EXPECT_EQ(statisticsState.rateText, "") << now;
    }
    countFrame(501000);
    EXPECT_EQ(statisticsState.rateText, "4");
}

TEST(StatisticsKey, HoldingSCyclesThePagesAfterMoreThan250Ms) {
    statisticsState = StatisticsState{};
    eventState = EventState{};
    advanceStatisticsPage(1000); // not held
    EXPECT_EQ(statisticsState.page, 0);
    eventState.keys['S'] = 1;
    advanceStatisticsPage(250); // exactly 250 ms after the start is not enough
    EXPECT_EQ(statisticsState.page, 0);
    advanceStatisticsPage(251);
    EXPECT_EQ(statisticsState.page, 1);
    advanceStatisticsPage(400);
    advanceStatisticsPage(501);
    EXPECT_EQ(statisticsState.page, 1);
    advanceStatisticsPage(502);
    EXPECT_EQ(statisticsState.page, 2);
    advanceStatisticsPage(900);
    EXPECT_EQ(statisticsState.page, 0);
    EXPECT_EQ(statisticsState.lastPageChange, 900u);
    eventState.keys['S'] = 0;
    advanceStatisticsPage(5000);
    EXPECT_EQ(statisticsState.page, 0);
    eventState = EventState{};
}

} // namespace
