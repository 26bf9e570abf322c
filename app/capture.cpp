#include "app/capture.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>

#include "config/configuration.h"

namespace {

using Clock = std::chrono::steady_clock;

struct CaptureState {
    bool untilSet = false; // a stop point
    TimelinePoint until;
    bool untilReached = false;
    uint64_t endFrame = UINT64_MAX; // the first frame past the job's frames
    uint64_t framesLetThrough = 0;
    // The progress line.
    std::string job = "recording";
    uint64_t total = 0;
    uint64_t done = 0;
    TimelinePoint lastPoint;
    Clock::time_point start;
    Clock::time_point lastShown;
    std::string (*tail)() = nullptr; // the end of the line
};
CaptureState captureState;
// The progress line is on standard error without its line feed (read by the immediate end's
// thread too).
std::atomic<bool> progressOpen{false};

void ignoreResult(ssize_t) {}

void showProgress(bool last) {
    CaptureState& state = captureState;
    Clock::time_point now = Clock::now();
    if (!last && now - state.lastShown < std::chrono::milliseconds(250)) return;
    state.lastShown = now;
    double elapsed = std::chrono::duration<double>(now - state.start).count();
    uint64_t total = std::max(state.total, state.done);
    std::string line = progressText(state.job, state.lastPoint, state.done, total, elapsed);
    if (state.tail != nullptr) line += state.tail();
    std::fprintf(stderr, "\r%-72s", line.c_str());
    progressOpen = !last;
    if (last) std::fputc('\n', stderr);
    std::fflush(stderr);
}

} // namespace

void setCaptureWindow(const RunPlan& plan) {
    overrideRunningWindow(plan.windowed, plan.verticalSync, int32_t(plan.width),
                          int32_t(plan.height));
}

void prepareCapture(const RunPlan& plan) {
    setCaptureWindow(plan);
    if (plan.job == RunJob::Demo) return;
    setCaptureEnd(plan);
    // A segment's run starts at its first frame.
    uint64_t segmentFrames = plan.frames.end - plan.frames.first;
    setCaptureFrameLimit(plan.segment ? segmentFrames : UINT64_MAX);
    uint64_t total = plan.segment ? segmentFrames : captureFrames(plan);
    startCaptureProgress(plan.job == RunJob::Record ? "recording" : "benchmark", total);
}

void setCaptureEnd(const RunPlan& plan) {
    CaptureState& state = captureState;
    state.untilSet = plan.until;
    state.until = plan.stop;
    state.untilReached = false;
}

bool captureEnded(Sequence sequence, uint32_t sceneMs) {
    CaptureState& state = captureState;
    if (sequence == Sequence::Gamma) return false;
    if (state.untilSet && (sequence > state.until.sequence ||
                           (sequence == state.until.sequence && sceneMs >= state.until.ms)))
        state.untilReached = true;
    if (state.framesLetThrough >= state.endFrame) state.untilReached = true;
    if (state.untilReached) {
        endTimeline();
        return true;
    }
    state.framesLetThrough++;
    return false;
}

void setCaptureFrameLimit(uint64_t frames) {
    captureState.endFrame = frames;
    captureState.framesLetThrough = 0;
}

bool captureEndReached() {
    return captureState.untilReached;
}

std::string progressText(std::string_view job, TimelinePoint at, uint64_t done, uint64_t total,
                         double elapsedSeconds) {
    double share = total > 0 ? double(done) / double(total) : 0.0;
    if (share > 1.0) share = 1.0;
    char text[160];
    int length = std::snprintf(text, sizeof text, "%.*s %5.1f %%  frame %llu/%llu", int(job.size()),
                               job.data(), share * 100.0, static_cast<unsigned long long>(done),
                               static_cast<unsigned long long>(total));
    if (done > 0) {
        std::string_view sequence = sequenceName(at.sequence);
        length += std::snprintf(text + length, sizeof text - size_t(length), "  %.*s:%u",
                                int(sequence.size()), sequence.data(), at.ms);
    }
    if (done > 0 && elapsedSeconds > 0)
        length += std::snprintf(text + length, sizeof text - size_t(length), "  %.1f frames/s",
                                double(done) / elapsedSeconds);
    if (done > 0 && done <= total) {
        long left = std::lround(elapsedSeconds / double(done) * double(total - done));
        std::snprintf(text + length, sizeof text - size_t(length), "  about %ld:%02ld left",
                      left / 60, left % 60);
    }
    return text;
}

void startCaptureProgress(std::string_view job, uint64_t total) {
    CaptureState& state = captureState;
    state.job = std::string(job);
    state.total = total;
    state.done = 0;
    state.tail = nullptr;
    progressOpen = false;
}

void countCaptureFrame(TimelinePoint at) {
    CaptureState& state = captureState;
    if (state.done == 0) state.start = state.lastShown = Clock::now();
    state.done++;
    state.lastPoint = at;
    showProgress(false);
}

void setCaptureProgressTail(std::string (*tail)()) {
    captureState.tail = tail;
}

void endCaptureProgress() {
    showProgress(true);
}

void breakCaptureProgress() {
    if (progressOpen.exchange(false)) ignoreResult(write(2, "\n", 1));
}
