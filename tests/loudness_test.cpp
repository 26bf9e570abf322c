// The loudness of a mix: the meter's figures for tones of known level, the one gain for a
// target under the true-peak ceiling, and the samples scaled by it.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "sound/loudness.h"

namespace {

// Two seconds of a 997 Hz tone of the given amplitude (of full scale) on both channels.
std::vector<int16_t> tone(double amplitude) {
    const int rate = 44100;
    std::vector<int16_t> frames(size_t(rate) * 2 * 2);
    for (size_t i = 0; i < frames.size() / 2; ++i) {
        double value = amplitude * 32767.0 * std::sin(2.0 * M_PI * 997.0 * double(i) / rate);
        frames[2 * i] = frames[2 * i + 1] = int16_t(std::lround(value));
    }
    return frames;
}

} // namespace

// A stereo tone at 1 kHz measures its level in dB as LUFS, and its peak as the true peak.
TEST(Loudness, TonesMeasureTheirLevel) {
    const struct {
        double amplitude;
        double lufs, dbtp; // -HUGE_VAL: silence
    } table[] = {
        {0.5, -6.0, -6.0},
        {0.1, -20.0, -20.0},
        {0.01, -40.0, -40.0},
        {0.0, -HUGE_VAL, -HUGE_VAL},
    };
    for (const auto& row : table) {
        LoudnessMeter meter;
        ASSERT_TRUE(startLoudnessMeter(meter, 44100, 2));
        std::vector<int16_t> frames = tone(row.amplitude);
        measureLoudness(meter, frames.data(), frames.size() / 2);
        Loudness loudness = loudnessOf(meter);
        stopLoudnessMeter(meter);
        if (std::isinf(row.lufs)) {
            EXPECT_TRUE(std::isinf(loudness.integratedLufs) && loudness.integratedLufs < 0);
            EXPECT_TRUE(std::isinf(loudness.truePeakDbtp) && loudness.truePeakDbtp < 0);
            EXPECT_EQ(loudnessText(loudness), "-inf LUFS, true peak -inf dBTP");
            continue;
        }
        EXPECT_NEAR(loudness.integratedLufs, row.lufs, 0.1) << row.amplitude;
        EXPECT_NEAR(loudness.truePeakDbtp, row.dbtp, 0.1) << row.amplitude;
    }
}

// The target where the ceiling allows it, else the gain that puts the true peak on it.
TEST(Loudness, OneGainForTheTargetUnderTheCeiling) {
    const struct {
        double lufs, dbtp, target;
        double gainDb;
        bool peakLimited, silent;
    } table[] = {
        {-18.6, -3.3, -23.0, -4.4, false, false},    // quieter
        {-17.7, -8.1, -14.0, 3.7, false, false},     // louder, peak -4.4
        {-18.6, -3.3, -14.0, 2.3, true, false},      // the peak allows 2.3 dB of 4.6
        {-10.0, 0.5, -14.0, -4.0, false, false},     // above the ceiling already: down to target
        {-10.0, 2.0, -10.0, -3.0, true, false},      // at target, but over the ceiling
        {-HUGE_VAL, -30.0, -14.0, 0.0, false, true}, // too quiet to pass the gate
    };
    for (const auto& row : table) {
        LoudnessGain gain = loudnessGain({row.lufs, row.dbtp}, row.target, -1.0);
        EXPECT_NEAR(gain.gainDb, row.gainDb, 1e-9) << row.lufs << " to " << row.target;
        EXPECT_EQ(gain.peakLimited, row.peakLimited) << row.lufs << " to " << row.target;
        EXPECT_EQ(gain.silent, row.silent) << row.lufs << " to " << row.target;
    }
}

// Samples are rounded to the nearest step and kept within 16 bits at both ends.
TEST(Loudness, SamplesScaledRoundedAndKeptInRange) {
    const struct {
        double gainDb;
        std::vector<int16_t> in, out;
    } table[] = {
        {0.0, {-32768, -1, 0, 1, 32767}, {-32768, -1, 0, 1, 32767}},
        {20.0 * std::log10(2.0), {-20000, -3, 0, 3, 20000}, {-32768, -6, 0, 6, 32767}},
        {20.0 * std::log10(0.5), {-32768, -3, -1, 1, 3, 32767}, {-16384, -2, -0, 0, 2, 16384}},
    };
    for (const auto& row : table) {
        std::vector<int16_t> samples = row.in;
        scaleSamples(samples.data(), samples.size(), row.gainDb);
        EXPECT_EQ(samples, row.out) << row.gainDb << " dB";
    }
}
