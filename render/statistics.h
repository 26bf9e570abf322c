// Frame statistics and the statistics overlay: the counters the renderers fill each frame,
// the frame-rate measurement, and the text overlay the S key cycles through.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Zeroed at the start of every frame.
struct FrameStatistics {
    int32_t transparentObjects = 0;
    int32_t transparentTriangles = 0;
    int32_t solidObjects = 0;
    int32_t solidTriangles = 0;
    int32_t renderedObjects = 0;
    int32_t totalTriangles = 0;
    int32_t particleSystems = 0;
    int32_t perPixelLitObjects = 0;
    int32_t objectTests = 0; // the culling keeps its own counters; see StatisticsInputs
    int32_t objectTestsSaved = 0;
    int32_t planeTests = 0;
    int32_t planeTestsSaved = 0;
    int32_t largestLightCount = 0;
};

// Kept across frames.
struct StatisticsState {
    FrameStatistics frame;
    int32_t objectsWithBuffers = 0;
    int32_t dynamicObjects = 0;
    int32_t page = 0; // 0 off, 1 short, 2 long
    uint32_t lastPageChange = 0;
    int32_t frameCounter = 0;
    bool rateStarted = false; // the first frame was counted: the first second runs from it
    uint32_t lastRateUpdate = 0;
    std::string rateText; // empty until a full second has passed
};
extern StatisticsState statisticsState;

// Figures of the long page that the layers above the render core keep: the number of scene
// objects and the frustum-test counters of the culling, as of this frame.
struct StatisticsInputs {
    int32_t objectCount = 0;
    uint32_t objectTests = 0;
    uint32_t objectTestsSaved = 0;
    uint32_t planeTests = 0;
    uint32_t planeTestsSaved = 0;
    float frameScale = 0.0f; // the 3D part's scale under the frame-time governor; 0: none
};

inline constexpr int kStatisticsKey = 'S';
inline constexpr uint32_t kStatisticsKeyDelayMs = 250;

void resetFrameStatistics();
// Frame-rate measurement, called once a frame with the tick count: the rate text becomes the
// number of frames counted in the last full second. The first second starts at the first
// frame counted.
void countFrame(uint32_t now);
// While S is held and more than 250 ms have passed since the last change, the page advances
// off -> short -> long -> off.
void advanceStatisticsPage(uint32_t now);
// The overlay's text for a page (empty for page 0), from the inputs and the engine's own
// records: frame statistics, render settings, capabilities, textures, accounted memory, the
// camera, the GL strings and the scene time. Needs no GL context.
std::string statisticsOverlayText(int32_t page, const StatisticsInputs& inputs);
// The page's character size and line spacing in 2D units for a window of the given aspect
// (width / height): 0.028 and 0.01, smaller where the page drawn from (-0.98, 0.98) would
// reach past the window's bottom or right edge, so that every line stays inside it.
struct StatisticsLayout {
    float size = 0.028f;
    float lineSpacing = 0.01f;
};
StatisticsLayout statisticsLayout(std::string_view text, float aspect);
// Key handling and drawing, the last thing of a frame: white text over the top-left corner.
void drawStatisticsOverlay(const StatisticsInputs& inputs);
