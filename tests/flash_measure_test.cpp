// The flash measure over synthetic pictures: strobes at and over the limit, areas either side
// of a quarter, changes either side of the step and of the dark limit, red flashes.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "tools/flash_measure.h"

namespace {

constexpr int32_t kPixels = 100;
constexpr int32_t kFps = 30;

// Three seconds at kFps: `share` of the pixels switch between `low` and `high` (luminance)
// at `hertz` full periods a second, as a square wave sampled per frame; the rest stay at low.
std::vector<FlashFrame> strobe(double hertz, float share, float low, float high) {
    std::vector<FlashFrame> frames(3 * kFps);
    for (size_t f = 0; f < frames.size(); ++f) {
        bool bright = std::fmod(double(f) * hertz / kFps, 1.0) < 0.5;
        frames[f].luminance.assign(kPixels, low);
        frames[f].red.assign(kPixels, 0.0f);
        for (int32_t p = 0; p < int32_t(share * kPixels); ++p)
            frames[f].luminance[size_t(p)] = bright ? high : low;
    }
    return frames;
}

int32_t worstFlashes(const std::vector<FlashSecond>& failed) {
    int32_t most = 0;
    for (const FlashSecond& second : failed) most = std::max(most, second.flashes);
    return most;
}

} // namespace

TEST(FlashMeasure, GeneralFlashesAgainstTheLimit) {
    const struct {
        const char* what;
        double hertz;
        float share, low, high;
        int32_t flashes; // the most in a failing second; 0: passes
    } cases[] = {
        {"3 a second, whole picture", 3.0, 1.0f, 0.0f, 1.0f, 0},
        {"4 a second, whole picture", 4.0, 1.0f, 0.0f, 1.0f, 4},
        {"10 a second", 10.0, 1.0f, 0.0f, 1.0f, 10},
        {"10 a second over a fifth", 10.0, 0.2f, 0.0f, 1.0f, 0},
        {"10 a second over a quarter", 10.0, 0.25f, 0.0f, 1.0f, 10},
        {"bright only: 0.85 to 1", 10.0, 1.0f, 0.85f, 1.0f, 0},
        {"the dark end just below 0.8", 10.0, 1.0f, 0.79f, 0.95f, 10},
        {"the dark end at 0.8", 10.0, 1.0f, 0.8f, 0.95f, 0},
        {"a change of 0.09", 10.0, 1.0f, 0.3f, 0.39f, 0},
        {"a change of 0.1", 10.0, 1.0f, 0.3f, 0.4f, 10},
    };
    for (const auto& c : cases) {
        std::vector<FlashSecond> failed =
            measureFlashes(strobe(c.hertz, c.share, c.low, c.high), kPixels, kFps);
        EXPECT_EQ(worstFlashes(failed), c.flashes) << c.what;
        for (const FlashSecond& second : failed) {
            EXPECT_FALSE(second.red) << c.what;
            EXPECT_GE(second.area, kFlashArea) << c.what;
        }
        // A strobe from the start fails the seconds after the first (whose first picture is
        // no change) at least.
        if (c.flashes > 0) {
            EXPECT_GE(failed.size(), 2u) << c.what;
        }
    }
}

// A slow change counts once however many frames it takes, and a wobble within the step is no
// transition at all.
TEST(FlashMeasure, TransitionsBetweenTurningPoints) {
    const struct {
        std::vector<float> values;
        std::vector<int32_t> transitions;
    } cases[] = {
        {{0.0f, 0.05f, 0.1f, 0.2f, 0.3f, 0.25f, 0.15f, 0.1f}, {0, 0, 1, 0, 0, 0, -1, 0}},
        {{0.5f, 0.45f, 0.55f, 0.48f, 0.52f}, {0, 0, 1, 0, 0}},
        {{0.5f, 0.55f, 0.46f, 0.5f}, {0, 0, 0, 0}},
        {{0.9f, 0.75f, 0.95f, 0.85f}, {0, -1, 1, 0}},
        {{0.95f, 0.85f, 1.0f, 0.9f}, {0, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        TransitionTrack track;
        std::vector<int32_t> seen;
        for (float value : c.values)
            seen.push_back(trackTransition(track, value, kFlashStep, kFlashDarkLimit));
        EXPECT_EQ(seen, c.transitions) << c.values[0] << " " << c.values[1];
    }
}

TEST(FlashMeasure, LuminanceAndSaturatedRed) {
    const struct {
        uint8_t r, g, b;
        float luminance, red;
    } cases[] = {
        {0, 0, 0, 0.0f, 0.0f},          {255, 255, 255, 1.0f, 0.0f},
        {255, 0, 0, 0.2126f, 320.0f},   {0, 255, 0, 0.7152f, 0.0f},
        {128, 128, 128, 0.2158f, 0.0f}, {255, 60, 60, 0.2482f, 291.1f},
        {200, 100, 100, 0.2231f, 0.0f}, // red, but not saturated
    };
    for (const auto& c : cases) {
        EXPECT_NEAR(relativeLuminance(c.r, c.g, c.b), c.luminance, 5e-4f) << int(c.r);
        EXPECT_NEAR(saturatedRed(c.r, c.g, c.b), c.red, 0.5f) << int(c.r);
    }
}

// Saturated red against a grey of the same luminance: no general flash, but red flashes, which
// fail over three a second.
TEST(FlashMeasure, RedFlashes) {
    const uint8_t red[3] = {255, 0, 0}, grey[3] = {127, 127, 127};
    for (double hertz : {3.0, 4.0}) {
        std::vector<FlashFrame> frames;
        for (int32_t f = 0; f < 3 * kFps; ++f) {
            const uint8_t* colour = std::fmod(f * hertz / kFps, 1.0) < 0.5 ? red : grey;
            std::vector<uint8_t> rgb;
            for (int32_t p = 0; p < kPixels; ++p) rgb.insert(rgb.end(), colour, colour + 3);
            frames.push_back(flashFrameFromRgb(rgb.data(), kPixels));
        }
        std::vector<FlashSecond> failed = measureFlashes(frames, kPixels, kFps);
        EXPECT_EQ(worstFlashes(failed), hertz > 3.0 ? 4 : 0) << hertz;
        for (const FlashSecond& second : failed) EXPECT_TRUE(second.red);
    }
}
