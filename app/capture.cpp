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

uint64_t framesUpTo(uint32_t startMs, uint32_t lastMs, uint32_t stepMs, uint32_t stepDivisor) {
    if (stepMs == 0 || stepDivisor == 0) return 0;
    if (startMs > lastMs) return 1; // a frame is drawn before the loop's test
    // Frame k shows startMs + floor(k × stepMs / divisor), which stays <= lastMs while
    // k × stepMs < (lastMs - startMs + 1) × divisor.
    uint64_t limit = (uint64_t(lastMs - startMs) + 1) * stepDivisor;
    return (limit + stepMs - 1) / stepMs;
}

uint64_t sequenceFrames(Sequence sequence, uint32_t startMs, uint32_t stepMs,
                        uint32_t stepDivisor) {
    if (sequence == Sequence::Gamma) return 0;
    return framesUpTo(startMs, sequenceLastMs(sequence), stepMs, stepDivisor);
}

uint64_t timelineFrames(Sequence startSequence, uint32_t startMs, uint32_t stepMs,
                        uint32_t stepDivisor, const Sequence* untilSequence, uint32_t untilMs) {
    uint64_t frames = 0;
    for (Sequence sequence : {Sequence::First, Sequence::Second, Sequence::End}) {
        if (sequence < startSequence) continue;
        if (untilSequence != nullptr && sequence > *untilSequence) break;
        uint32_t from = sequence == startSequence ? startMs : 0;
        if (untilSequence != nullptr && sequence == *untilSequence) {
            if (untilMs > from)
                frames += std::min(framesUpTo(from, untilMs - 1, stepMs, stepDivisor),
                                   sequenceFrames(sequence, from, stepMs, stepDivisor));
            break;
        }
        frames += sequenceFrames(sequence, from, stepMs, stepDivisor);
    }
    return frames;
}

TimelinePoint captureStart(const RunPlan& plan) {
    if (!plan.seek || plan.start.sequence == Sequence::Gamma) return {Sequence::First, 0};
    return plan.start;
}

uint64_t captureFrames(const RunPlan& plan) {
    TimelinePoint from = captureStart(plan);
    return timelineFrames(from.sequence, from.ms, plan.stepMs, plan.stepDivisor,
                          plan.until ? &plan.stop.sequence : nullptr, plan.stop.ms);
}

TimelinePoint captureFramePoint(const RunPlan& plan, uint64_t index) {
    TimelinePoint from = captureStart(plan);
    uint64_t left = std::min(index, captureFrames(plan) - 1);
    for (Sequence sequence : {Sequence::First, Sequence::Second, Sequence::End}) {
        if (sequence < from.sequence) continue;
        uint32_t start = sequence == from.sequence ? from.ms : 0;
        uint64_t frames = sequenceFrames(sequence, start, plan.stepMs, plan.stepDivisor);
        if (left < frames)
            return {sequence, start + uint32_t(left * plan.stepMs / plan.stepDivisor)};
        left -= frames;
    }
    return {Sequence::End, sequenceLastMs(Sequence::End)};
}

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
