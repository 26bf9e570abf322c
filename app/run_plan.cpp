#include "app/run_plan.h"

#include "app/benchmark.h"

namespace {

// A job (a recording or a benchmark) runs at a fixed frame rate in a window of its own
// without vertical sync, mixing its sound offline.
void planJob(RunPlan& plan, RunJob job, uint32_t fps, const Options& options) {
    plan.job = job;
    plan.stepMs = 1000;
    plan.stepDivisor = fps;
    plan.offlineSound = true;
    plan.windowed = true;
    plan.verticalSync = false;
    plan.width = options.width;
    plan.height = options.height;
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
    if (!options.recordFile.empty()) planJob(plan, RunJob::Record, options.fps, options);
    if (options.benchmark) planJob(plan, RunJob::Benchmark, kBenchmarkFps, options);
    plan.seek = options.seek;
    plan.start = options.seekTo;
    plan.until = options.until;
    plan.stop = options.untilPoint;
    plan.picturesForFiles =
        options.fixedStepMs != 0 || !options.shots.empty() || !options.recordFile.empty();
    plan.scale = options.scale;
    plan.fixedScale = options.fixedScale;
    return plan;
}
