// The photosensitivity measure of a picture sequence. A transition is a change in a pixel's
// relative luminance of at least 0.1 between a turning point and the next (the darker of the
// two below 0.8), or a change of at least 20 in its saturated red ((R - G - B) x 320 in linear
// light where R / (R + G + B) is at least 0.8); a flash is a pair of opposing transitions. A
// second of pictures fails where at least a quarter of the pixels flash more than three
// times in it, general or red. Pure: frames in, seconds that fail out.
#pragma once

#include <cstdint>
#include <vector>

inline constexpr float kFlashStep = 0.1f;
inline constexpr float kFlashDarkLimit = 0.8f;
inline constexpr float kRedFlashStep = 20.0f;
inline constexpr float kRedSaturation = 0.8f;
inline constexpr int32_t kMaxFlashesPerSecond = 3;
inline constexpr float kFlashArea = 0.25f;

// Relative luminance (0..1) of an 8-bit sRGB colour, and its saturated red value (0 where the
// colour is not a saturated red).
float relativeLuminance(uint8_t r, uint8_t g, uint8_t b);
float saturatedRed(uint8_t r, uint8_t g, uint8_t b);

// One picture as the measure sees it: each pixel's relative luminance and saturated red.
struct FlashFrame {
    std::vector<float> luminance;
    std::vector<float> red;
};
// From 8-bit RGB pixels, top row first.
FlashFrame flashFrameFromRgb(const uint8_t* rgb, int32_t pixels);

// One pixel's value over time: its last turning point and the way it went since.
struct TransitionTrack {
    bool started = false;
    int8_t direction = 0; // +1 rising, -1 falling, 0 not yet moved by a whole step
    float extreme = 0.0f; // the highest (rising) or lowest (falling) value since the turn
    float low = 0.0f;     // before the first transition: the range seen so far
    float high = 0.0f;
};
// The pixel's next value: +1 or -1 where it completes a transition upwards or downwards, else
// 0. `darkLimit`: the darker end must lie below it (a very large value for none).
int32_t trackTransition(TransitionTrack& track, float value, float step, float darkLimit);

// A second with too many flashes: the second (from the start) in which the worst one-second
// window ending there ends, its flashes over the quarter of the picture that flashes most, the
// share of the picture flashing more than three times, and whether red flashes fail it.
struct FlashSecond {
    int32_t second = 0;
    int32_t flashes = 0;
    float area = 0.0f;
    bool red = false;
};

struct FlashMeasure {
    int32_t pixels = 0;
    int32_t fps = 0;
    int64_t frames = 0;
    std::vector<TransitionTrack> general, red;
    // The transitions of the last fps frames (bit 0 general, bit 1 red), a ring of frames.
    std::vector<uint8_t> ring;
    std::vector<uint16_t> generalCount, redCount; // per pixel, within the ring
    std::vector<FlashSecond> failed;              // one entry per failing second
    FlashSecond worst;                            // the most flashes of any second
};

void startFlashMeasure(FlashMeasure& measure, int32_t pixels, int32_t fps);
void measureFlashFrame(FlashMeasure& measure, const FlashFrame& frame);
// The whole measure over a sequence of frames of `pixels` pixels at fps frames a second.
std::vector<FlashSecond> measureFlashes(const std::vector<FlashFrame>& frames, int32_t pixels,
                                        int32_t fps);
