// The loudness of a recording's sound: measured step by step as the mix is written (the
// progress line ends with it), and, where --loudness asks for a target, one gain for the whole
// mix applied to the finished sound file before it goes into the video: the target loudness,
// or the largest gain that keeps the true peak at or below -1 dBTP, said in one line. No
// compression, no limiter.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "app/run_plan.h"
#include "sound/loudness.h"

inline constexpr double kTruePeakCeilingDbtp = -1.0;

struct MixLoudnessState {
    bool measuring = false;
    bool hasTarget = false;
    double targetLufs = 0.0;
    int rate = 0; // of the mix
    LoudnessMeter meter;
};
extern MixLoudnessState mixLoudnessState;

// For a recording with sound: a meter at the mix's rate (stereo), and the plan's target.
void startMixLoudness(const RunPlan& plan, int rate);
// A step of the mix, interleaved stereo, as it is written.
void measureMixStep(const int16_t* frames, int frameCount);
// "  -18.6 LUFS, true peak -3.3 dBTP" for the progress line; empty when nothing is measured.
std::string mixLoudnessTail();
// The sound file open for reading and writing, its samples (16-bit stereo) dataBytes from
// dataOffset on: with a target, the gain for it is applied in place and the result measured
// and said in one line on standard error. False, with errno set, when the file cannot be
// read or written.
bool levelMixFile(std::FILE* file, long dataOffset, uint64_t dataBytes);
// The meter goes.
void stopMixLoudness();
