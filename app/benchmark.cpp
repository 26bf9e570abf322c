#include "app/benchmark.h"

#include <GL/gl.h>
#include <SDL.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iomanip>
#include <sstream>

#include "app/capture.h"
#include "app/frame_governor.h"
#include "config/configuration.h"
#include "platform/events.h"
#include "platform/system/failure.h"
#include "platform/gl/gl_strings.h"
#include "platform/system/memory.h"
#include "platform/system/process.h"
#include "platform/window.h"

namespace {

using Clock = std::chrono::steady_clock;

struct BenchmarkState {
    bool active = false;
    std::string file; // empty: standard output
    int output = -1;  // the reserved standard output
    Clock::time_point loadingStart;
    double loadingMs = 0;
    Clock::time_point epoch; // what the frame timer's times count from
    FrameTimer frames;
    TimelineHooks chained;          // the hooks installed before ours, called first
    std::vector<double> frameMs[3]; // first, second, end
};
BenchmarkState benchmarkState;

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void appendSummary(std::ostringstream& out, const char* name, const FrameTimeSummary& summary) {
    out << "    " << jsonString(name) << ": {\"frames\": " << summary.frames
        << ", \"frame_ms\": {\"median\": " << summary.median << ", \"p95\": " << summary.p95
        << ", \"max\": " << summary.max << "}, \"mean_scale\": " << summary.meanScale << "}";
}

} // namespace

FrameTimeSummary summariseFrameTimes(std::vector<double> frameMs) {
    FrameTimeSummary summary;
    summary.frames = frameMs.size();
    if (frameMs.empty()) return summary;
    std::sort(frameMs.begin(), frameMs.end());
    size_t count = frameMs.size();
    summary.median =
        count % 2 == 1 ? frameMs[count / 2] : (frameMs[count / 2 - 1] + frameMs[count / 2]) / 2.0;
    size_t rank = size_t(std::ceil(0.95 * double(count))); // nearest rank, 1-based
    summary.p95 = frameMs[std::max<size_t>(rank, 1) - 1];
    summary.max = frameMs.back();
    return summary;
}

std::string jsonString(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        unsigned char byte = static_cast<unsigned char>(c);
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                if (byte < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
                    out += escaped;
                } else {
                    out += c;
                }
        }
    }
    return out + "\"";
}

std::string benchmarkJson(const BenchmarkReport& report) {
    std::ostringstream out;
    out.precision(3);
    out << std::fixed;
    out << "{\n  \"loading_ms\": " << report.loadingMs << ",\n";
    out << "  \"step_ms\": " << report.stepMs << ",\n";
    out << "  \"sequences\": {\n";
    appendSummary(out, "first", report.first);
    out << ",\n";
    appendSummary(out, "second", report.second);
    out << ",\n";
    appendSummary(out, "end", report.end);
    out << "\n  },\n";
    out << "  \"accounted_peak_bytes\": " << report.accountedPeakBytes << ",\n";
    out << "  \"peak_rss_bytes\": " << report.peakResidentBytes << ",\n";
    out << "  \"renderer\": " << jsonString(report.renderer) << ",\n";
    out << "  \"resolution\": {\"width\": " << report.width << ", \"height\": " << report.height
        << "}\n}\n";
    return out.str();
}

std::string benchmarkSummary(const BenchmarkReport& report, const std::string& file) {
    std::ostringstream out;
    out.precision(1);
    out << std::fixed << "film03: benchmark"
        << (file.empty() ? " on standard output" : " in " + file) << ":";
    const struct {
        const char* name;
        const FrameTimeSummary& summary;
    } parts[] = {{" first scene", report.first},
                 {"; second scene", report.second},
                 {"; end screen", report.end}};
    bool scaled = false;
    for (const auto& part : parts) {
        const FrameTimeSummary& summary = part.summary;
        out << part.name << " " << summary.frames << " frames, median " << summary.median
            << " ms, p95 " << summary.p95 << " ms";
        if (summary.meanScale < 0.995) { // shown as below 1.00
            out << std::setprecision(2) << " at scale " << summary.meanScale
                << std::setprecision(1);
            scaled = true;
        }
    }
    if (scaled)
        out << " (the 3D scenes are timed at the frame-time governor's scale; --scale 1 "
               "measures full resolution)";
    return out.str();
}

uint64_t peakResidentBytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::strtoull(line.c_str() + 6, nullptr, 10) * 1024;
    }
    struct rusage usage;
    if (getrusage(RUSAGE_SELF, &usage) != 0) return 0;
    return uint64_t(usage.ru_maxrss) * 1024; // kilobytes on Linux
}

void prepareBenchmark(const RunPlan& plan) {
    BenchmarkState& state = benchmarkState;
    if (plan.job != RunJob::Benchmark) return;
    state = BenchmarkState{};
    state.active = true;
    state.epoch = Clock::now();
    state.file = plan.output;
    // The JSON alone on standard output: the loading lines go to standard error instead.
    if (state.file.empty()) state.output = reserveStandardOutput();
    state.chained = replaceTimelineHooks({benchmarkFrameStart, benchmarkFrameDrawn});
}

void benchmarkLoadingStarted() {
    benchmarkState.loadingStart = Clock::now();
}

void benchmarkLoadingEnded() {
    benchmarkState.loadingMs = millisecondsSince(benchmarkState.loadingStart);
}

void frameTimerStarts(FrameTimer& timer, Sequence sequence, double now) {
    if (!timer.anyFrame || sequence != timer.lastSequence) timer.frameStart = now;
}

double frameTimerEnds(FrameTimer& timer, Sequence sequence, double now) {
    double ms = now - timer.frameStart;
    timer.lastSequence = sequence;
    timer.anyFrame = true;
    timer.frameStart = now;
    return ms;
}

void benchmarkFrameStart(Sequence sequence, uint32_t sceneMs) {
    BenchmarkState& state = benchmarkState;
    if (state.chained.frameStart != nullptr) state.chained.frameStart(sequence, sceneMs);
    if (!state.active) return;
    frameTimerStarts(state.frames, sequence, millisecondsSince(state.epoch));
}

void benchmarkFrameDrawn(Sequence sequence, uint32_t sceneMs) {
    BenchmarkState& state = benchmarkState;
    if (state.chained.frameDrawn != nullptr) state.chained.frameDrawn(sequence, sceneMs);
    if (!state.active || captureEnded(sequence, sceneMs)) return;
    glFinish(); // the software renderer draws at the flush: the frame is done only now
    double ms = frameTimerEnds(state.frames, sequence, millisecondsSince(state.epoch));
    if (sequence == Sequence::Gamma) return;
    state.frameMs[int(sequence) - 1].push_back(ms);
    countCaptureFrame({sequence, sceneMs});
}

void finishBenchmark() {
    BenchmarkState& state = benchmarkState;
    if (!state.active) return;
    BenchmarkReport report;
    report.loadingMs = state.loadingMs;
    report.first = summariseFrameTimes(state.frameMs[0]);
    report.second = summariseFrameTimes(state.frameMs[1]);
    report.end = summariseFrameTimes(state.frameMs[2]);
    report.first.meanScale = meanFrameScale(0);
    report.second.meanScale = meanFrameScale(1);
    report.accountedPeakBytes = memoryState.accountedPeak;
    report.peakResidentBytes = peakResidentBytes();
    report.renderer = glStrings.renderer;
    mainFrameSize(report.width, report.height);
    report.stepMs = 1000.0 / kBenchmarkFps;
    std::string json = benchmarkJson(report);
    state.active = false;
    endCaptureProgress();
    if (state.file.empty()) {
        int output = state.output >= 0 ? state.output : 1;
        writeAll(output, json.data(), json.size());
    } else {
        std::ofstream out(state.file, std::ios::binary | std::ios::trunc);
        out << json;
        out.close();
        if (!out)
            fatalError("FILM 03 - Benchmark - ERROR",
                       "Cannot write the file \"" + state.file + "\" !\n\n" + std::strerror(errno));
    }
    std::fprintf(stderr, "%s\n", benchmarkSummary(report, state.file).c_str());
}
