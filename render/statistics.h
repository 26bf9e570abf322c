// Frame statistics and the statistics overlay: the counters the renderers fill each frame,
// the frame-rate measurement, and the text overlay the S key cycles through.
#pragma once

#include <cstdint>
#include <string>

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
    int32_t objectTests = 0;
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
    uint32_t lastRateUpdate = 0;
    std::string rateText;
};
extern StatisticsState statisticsState;

void resetFrameStatistics();
// Frame-rate measurement, called once a frame with the tick count.
void countFrame(uint32_t now);
