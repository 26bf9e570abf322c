// Reading finished frames back from the window through two pixel-pack buffers that take
// turns: the copy of frame k is queued while frame k - 1, queued a frame earlier, is mapped
// and handed on, so the driver's copy overlaps the drawing of the next frame.
#pragma once

#include <cstdint>

struct FrameReadback {
    uint32_t buffers[2] = {0, 0};
    int width = 0;
    int height = 0;
    uint64_t queued = 0; // frames queued so far
    int mapped = -1;     // the buffer mapped for reading, -1 when none
};

// Bytes of one RGBA frame.
inline uint64_t frameBytes(const FrameReadback& readback) {
    return uint64_t(readback.width) * uint64_t(readback.height) * 4;
}

// Creates the two buffers for frames of width × height; false when the driver lacks them.
bool startReadback(FrameReadback& readback, int width, int height);
// Queues the copy of the current read buffer (the back buffer before the swap) and returns the
// frame queued before it, bottom row first, RGBA; null for the first frame. The pointer stays
// valid until releaseReadFrame.
const uint8_t* readBackFrame(FrameReadback& readback);
// The last frame queued, once nothing more is drawn; null when there is none.
const uint8_t* takeLastFrame(FrameReadback& readback);
void releaseReadFrame(FrameReadback& readback);
void stopReadback(FrameReadback& readback);
