// Benchmark: the whole timeline in batch mode, vertical sync off, at a fixed step of
// 1000 / 60 ms, as fast as it can; the loading time, per sequence the frame count and the
// frame time's median, 95th percentile and maximum, the peak accounted memory and peak
// resident size, the GL renderer and the resolution, written as JSON.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/run_plan.h"
#include "app/timeline.h"

struct FrameTimeSummary {
    uint64_t frames = 0;
    double median = 0; // milliseconds
    double p95 = 0;    // the nearest-rank 95th percentile
    double max = 0;
    double meanScale = 1; // of the 3D frames under the frame-time governor
};
FrameTimeSummary summariseFrameTimes(std::vector<double> frameMs);

struct BenchmarkReport {
    double loadingMs = 0;
    FrameTimeSummary first;
    FrameTimeSummary second;
    FrameTimeSummary end;
    uint64_t accountedPeakBytes = 0;
    uint64_t peakResidentBytes = 0;
    std::string renderer;
    int width = 0;
    int height = 0;
    double stepMs = 0;
};
std::string benchmarkJson(const BenchmarkReport& report);
// A JSON string literal, quotes included.
std::string jsonString(std::string_view text);
// The process's peak resident set in bytes: VmHWM from /proc/self/status, else getrusage.
uint64_t peakResidentBytes();

// The closing line on standard error: each sequence's frame count, median and 95th percentile,
// with the scale the 3D scenes were drawn at next to their figures where it was below 1 (and
// how to measure full resolution), and where the JSON went.
std::string benchmarkSummary(const BenchmarkReport& report, const std::string& file);

// Called by runDemo. prepareBenchmark (after applyConfiguration, before the window exists):
// when the plan's job is a benchmark, the output, the end point, the progress line and the
// frame hooks. The loading phase is timed between benchmarkLoadingStarted and
// benchmarkLoadingEnded. finishBenchmark (after the end screen) writes the JSON to the file or
// standard output and the summary to standard error; a file that cannot be written is fatal.
void prepareBenchmark(const RunPlan& plan);
void benchmarkLoadingStarted();
void benchmarkLoadingEnded();
void finishBenchmark();

// When a frame's time runs: from the end of the frame before within a sequence (its swap and
// events included), a sequence's first frame from its own start, after its set-up. Times in
// milliseconds on a steady clock.
struct FrameTimer {
    bool anyFrame = false;
    Sequence lastSequence = Sequence::Gamma;
    double frameStart = 0;
};
void frameTimerStarts(FrameTimer& timer, Sequence sequence, double now);
// The time of the frame that ends now; the sequence's next frame starts from here.
double frameTimerEnds(FrameTimer& timer, Sequence sequence, double now);

// The frame hooks, each after the hook installed before it (injected keys, screenshots):
// each frame's time, from the previous frame's end (the first frame of a
// sequence from its own start), after the driver has finished drawing it.
void benchmarkFrameStart(Sequence sequence, uint32_t sceneMs);
void benchmarkFrameDrawn(Sequence sequence, uint32_t sceneMs);
