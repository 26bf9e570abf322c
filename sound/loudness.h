// The loudness of a mix as broadcasters and streaming sites measure it: the integrated
// loudness in LUFS (K-weighted and gated) and the true peak in dBTP (the peak between the
// samples too), measured by libebur128; and the one gain that brings a mix to a target
// loudness without its true peak passing a ceiling.
#pragma once

#include <ebur128.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

struct LoudnessMeter {
    ebur128_state* state = nullptr;
    int channels = 0;
};

// Figures of a mix; -infinity for silence (and for integrated loudness until a block of
// 400 ms lies above the gate).
struct Loudness {
    double integratedLufs = -HUGE_VAL;
    double truePeakDbtp = -HUGE_VAL;
};

// False when the library cannot make a meter (out of memory, a rate it refuses).
bool startLoudnessMeter(LoudnessMeter& meter, int rate, int channels);
// Interleaved 16-bit frames.
void measureLoudness(LoudnessMeter& meter, const int16_t* frames, size_t frameCount);
// Everything measured so far.
Loudness loudnessOf(const LoudnessMeter& meter);
void stopLoudnessMeter(LoudnessMeter& meter);

// "-18.6 LUFS, true peak -3.3 dBTP" ("-inf" for silence).
std::string loudnessText(const Loudness& loudness);

struct LoudnessGain {
    double gainDb = 0.0;
    bool peakLimited = false; // the ceiling allows less than the target asks
    bool silent = false;      // nothing to measure: no gain
};
// The gain that takes the mix to targetLufs, or the largest the true peak allows below
// ceilingDbtp where that is less.
LoudnessGain loudnessGain(const Loudness& mix, double targetLufs, double ceilingDbtp);
// Each sample times the gain, rounded to the nearest and kept within 16 bits.
void scaleSamples(int16_t* samples, size_t count, double gainDb);
