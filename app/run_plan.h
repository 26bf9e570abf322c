// The run plan: the command line resolved once into what each phase does. The start-up
// sequence, the sound, the automation, the timeline, the window, the frame-time governor, the
// recording and the benchmark read it, so that a mode's consequences (its clock, offline
// sound, window and vertical sync, dialogs, answered boxes, start and stop points, outputs)
// are decided here and nowhere else. Only this unit reads the options.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/frame_governor.h"
#include "app/options.h"
#include "app/recording_files.h"
#include "app/segment.h"
#include "app/timeline.h"

enum class RunJob { Demo, Record, Benchmark };

inline constexpr uint32_t kBenchmarkFps = 60;
// The window of a sound-only recording.
inline constexpr uint32_t kSoundOnlySide = 16;

struct RunPlan {
    RunJob job = RunJob::Demo;
    // A job's output: the video of a recording, the JSON file of a benchmark (empty: standard
    // output).
    std::string output;
    FrameRate rate;            // a job's frame rate N/D; its clock steps 1000 × D / N ms
    RecordFormat recordFormat; // what a recording writes
    bool dialogs = true;       // the configuration and loading dialogs come up
    bool answerBoxes = false;  // boxes go to standard error and are answered; focus is ignored
    bool answerYes = true;     // the answer to questions then
    // The clock: real time (0), or steps of exactly stepMs / stepDivisor milliseconds.
    uint32_t stepMs = 0;
    uint32_t stepDivisor = 1;
    // Each frame the mean of this many sub-frames over the shutter (app/motion_blur.h).
    uint32_t subFrames = 1;
    uint32_t shutterDegrees = kDefaultShutterDegrees;
    // A recording's sound set to this integrated loudness (app/mix_loudness.h).
    bool loudness = false;
    double loudnessLufs = -14.0;
    bool offlineSound = false; // mixed in step with the clock, played to no device
    bool windowed = false;     // a window whatever the configuration says
    bool verticalSync = true;  // false: off whatever the configuration says
    uint32_t width = 0;        // the window's size; 0: as configured
    uint32_t height = 0;
    bool gammaInPicture = false; // the gamma goes into the picture, not the display's ramp
    // Frames at the display's own pixels where it shows the picture larger (HiDPI, a larger
    // full screen); pictures made for files (screenshots, recordings, benchmarks) keep the
    // configured size.
    bool realPixels = true;
    bool seek = false; // the timeline starts at `start`
    TimelinePoint start;
    bool until = false; // the run ends at `stop` (the frames before it are kept)
    TimelinePoint stop;
    // A recording's part: the frames it writes out of all of the run's frames (0 to the
    // run's count when whole); a segment writes no sound. A sound-only recording draws
    // nothing and writes the sound of every frame.
    bool segment = false;
    FrameRange frames;
    bool soundOnly = false;
    std::string error;          // why the plan cannot run (a segment past the recording's end)
    std::vector<TimedKey> keys; // pressed at their points
    std::vector<TimelinePoint> shots; // screenshots at these points
    // The frame-time governor's mode where the renderer is a software rasteriser and where it
    // is not; a fixed mode draws at fixedScale. Pictures made for files are drawn at scale 1
    // unless a scale is asked for; otherwise the governor is on by default only where the
    // renderer rasterises in software.
    GovernorMode governorOnSoftware = GovernorMode::Governed;
    GovernorMode governorOnHardware = GovernorMode::Off;
    float fixedScale = 1.0f;
};

RunPlan resolveRunPlan(const Options& options);

// --- The frames of a run at a fixed step: how many, and where each falls on the timeline ---

// Frames drawn at a step of stepMs / stepDivisor ms from t = startMs while t <= lastMs
// (frame k shows startMs + floor(k × step)); a start past lastMs still draws one.
uint64_t framesUpTo(uint32_t startMs, uint32_t lastMs, uint32_t stepMs, uint32_t stepDivisor);
// Frames of a sequence: the first scene draws while t <= 50000, the second while t <= 65000,
// the end screen while t < 20000.
uint64_t sequenceFrames(Sequence sequence, uint32_t startMs, uint32_t stepMs, uint32_t stepDivisor);
// Frames of the timeline from a start point (ms into startSequence) to its end, or to the
// --until point when one is given (the frames before it).
uint64_t timelineFrames(Sequence startSequence, uint32_t startMs, uint32_t stepMs,
                        uint32_t stepDivisor, const Sequence* untilSequence = nullptr,
                        uint32_t untilMs = 0);

// Where a job's frames start: the first scene, or the plan's start point past the gamma
// screen.
TimelinePoint captureStart(const RunPlan& plan);
// The frames a job of the plan draws, from its start to the end of the timeline or its stop.
uint64_t captureFrames(const RunPlan& plan);
// The point of the timeline where frame `index` of the plan's frames is drawn (counted from
// its start); past the last frame, the point of the last one.
TimelinePoint captureFramePoint(const RunPlan& plan, uint64_t index);
