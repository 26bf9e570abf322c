// The run plan: the command line resolved once into what each phase does. The start-up
// sequence, the sound, the automation, the recording and the benchmark read it, so that a
// mode's consequences (its clock, offline sound, window and vertical sync, dialogs, answered
// boxes, start and stop points) are decided here and nowhere else.
#pragma once

#include <cstdint>

#include "app/options.h"

enum class RunJob { Demo, Record, Benchmark };

struct RunPlan {
    RunJob job = RunJob::Demo;
    bool dialogs = true;      // the configuration and loading dialogs come up
    bool answerBoxes = false; // boxes go to standard error and are answered; focus is ignored
    bool answerYes = true;    // the answer to questions then
    // The clock: real time (0), or steps of exactly stepMs / stepDivisor milliseconds.
    uint32_t stepMs = 0;
    uint32_t stepDivisor = 1;
    bool offlineSound = false; // mixed in step with the clock, played to no device
    bool windowed = false;     // a window whatever the configuration says
    bool verticalSync = true;  // false: off whatever the configuration says
    uint32_t width = 0;        // the window's size; 0: as configured
    uint32_t height = 0;
    bool seek = false; // the timeline starts at `start`
    TimelinePoint start;
    bool until = false; // the run ends at `stop` (the frames before it are kept)
    TimelinePoint stop;
    // The frames become files (screenshots, a recording): drawn at scale 1 unless a scale
    // is asked for. `scale` and `fixedScale` are --scale's.
    bool picturesForFiles = false;
    Options::Scale scale = Options::Scale::Default;
    float fixedScale = 1.0f;
};

RunPlan resolveRunPlan(const Options& options);
