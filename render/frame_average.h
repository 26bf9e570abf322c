// Frames averaged into one picture: frames drawn one after another into the window's frame are
// read back and added up at 16 bits per channel, and their rounded mean is then drawn over the
// frame in place of the last one, so that dark gradients keep every level they had. Motion
// blur's sub-frames go through here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// 256 frames of 255 still fit a 16-bit sum.
inline constexpr uint32_t kMaxAveragedFrames = 256;

struct FrameAverage {
    std::vector<uint16_t> sum;   // RGBA, bottom row first
    std::vector<uint8_t> pixels; // the frame read back last, then the mean
    uint32_t frames = 0;         // added since the last mean was drawn
    int width = 0;
    int height = 0;
    uint32_t meanTexture = 0; // carries the mean to the window's frame
};

// sum[i] += pixels[i] for count values.
void addPixelsToSum(const uint8_t* pixels, uint16_t* sum, size_t count);
// mean[i] = sum[i] / frames, rounded half up, for count values (frames from 1 to
// kMaxAveragedFrames).
void meanOfSum(const uint16_t* sum, uint32_t frames, uint8_t* mean, size_t count);

// Reads the window's frame (width x height, RGBA) and adds it to the sum; the frame stays
// bound for drawing.
void addFrameToAverage(FrameAverage& average, int width, int height);
// Draws the mean of the frames added over the whole window's frame, without blending, and
// starts the next average. False, with the last frame left as it is, where the driver cannot
// make the mean's texture.
bool drawAverageOverFrame(FrameAverage& average);
// Deletes the texture (in the window's context) and the sums.
void releaseFrameAverage(FrameAverage& average);
