#include "app/run_plan.h"

#include <algorithm>

#include "app/options.h"
#include "app/recording_files.h"

namespace {

// A job (a recording or a benchmark) runs at a fixed frame rate in a window of its own
// without vertical sync, mixing its sound offline.
void planJob(RunPlan& plan, RunJob job, FrameRate rate, const std::string& output) {
    plan.job = job;
    plan.output = output;
    plan.rate = rate;
    plan.stepMs = 1000 * rate.seconds;
    plan.stepDivisor = rate.frames;
    plan.offlineSound = true;
    plan.windowed = true;
    plan.verticalSync = false;
}

void planGovernor(RunPlan& plan, const Options& options, bool picturesForFiles) {
    GovernorMode mode = GovernorMode::Off;
    switch (options.scale) {
        case Options::Scale::On:
            mode = GovernorMode::Governed;
            break;
        case Options::Scale::Off:
            break;
        case Options::Scale::Fixed:
            mode = GovernorMode::Fixed;
            plan.fixedScale = options.fixedScale;
            break;
        case Options::Scale::Default:
            plan.governorOnSoftware = picturesForFiles ? GovernorMode::Off : GovernorMode::Governed;
            plan.governorOnHardware = GovernorMode::Off;
            return;
    }
    plan.governorOnSoftware = plan.governorOnHardware = mode;
}

} // namespace

RunPlan resolveRunPlan(const Options& options) {
    RunPlan plan;
    plan.dialogs = !options.batch;
    plan.answerBoxes = options.batch;
    plan.answerYes = options.answerYes;
    if (options.fixedStepMs != 0) {
        plan.stepMs = options.fixedStepMs;
        plan.offlineSound = true;
    }
    if (!options.recordFile.empty()) planJob(plan, RunJob::Record, options.fps, options.recordFile);
    plan.recordFormat = options.recordFormat;
    if (options.benchmark)
        planJob(plan, RunJob::Benchmark, {kBenchmarkFps, 1}, options.benchmarkFile);
    if (plan.job != RunJob::Demo) {
        plan.width = options.width;
        plan.height = options.height;
    }
    // Sub-frames need a step to spread over.
    if (plan.stepMs != 0) {
        plan.subFrames = options.subFrames;
        plan.shutterDegrees = options.shutterDegrees;
    }
    plan.loudness = options.loudness;
    plan.loudnessLufs = options.loudnessLufs;
    plan.gammaInPicture = options.gammaInPicture;
    plan.seek = options.seek;
    plan.start = options.seekTo;
    plan.until = options.until;
    plan.stop = options.untilPoint;
    plan.keys = options.keys;
    plan.shots = options.shots;
    plan.realPixels = plan.job == RunJob::Demo && plan.shots.empty();
    bool picturesForFiles =
        options.fixedStepMs != 0 || !options.shots.empty() || !options.recordFile.empty();
    planGovernor(plan, options, picturesForFiles);
    if (plan.job == RunJob::Record) {
        plan.soundOnly = recordsSoundOnly(plan.output);
        // Its frames are drawn, as the timeline needs them, but never kept: once each, at the
        // smallest size.
        if (plan.soundOnly) {
            plan.width = plan.height = kSoundOnlySide;
            plan.subFrames = 1;
        }
        plan.segment = options.segment.kind != SegmentRequest::Kind::Whole;
        plan.error = segmentFrames(options.segment, captureFrames(plan), plan.frames);
        // A segment starts at its first frame, reached as a whole run reaches it, without
        // drawing the frames before it (app/replay.h).
        if (plan.segment && plan.error.empty() && plan.frames.first > 0) {
            plan.start = captureFramePoint(plan, plan.frames.first);
            plan.seek = true;
        }
    }
    return plan;
}

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
