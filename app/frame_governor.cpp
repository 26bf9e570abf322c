#include "app/frame_governor.h"

#include <algorithm>

FrameGovernor frameGovernor;

namespace {

// A step is left when the recent frames use more than this share of the budget, and a step is
// chosen to use at most kTargetShare of it.
constexpr float kDownShare = 0.95f;
constexpr float kTargetShare = 0.8f;
// Up one step only when, after this many frames at the step, even the slowest of them would
// fit within kUpShare of the budget at the larger scale.
constexpr int32_t kFramesBeforeUp = kGovernorHistory;
constexpr float kUpShare = 0.75f;
// Frames at a new step before it is judged: the first ones still carry the old step's work.
constexpr int32_t kFramesBeforeDown = 3;

void changeStep(FrameGovernor& governor, int32_t step) {
    governor.step = step;
    governor.recentCount = 0;
}

float area(int32_t step) {
    return kScaleSteps[step] * kScaleSteps[step];
}

} // namespace

int32_t stepForScale(float scale) {
    for (int32_t step = 0; step < kScaleStepCount; ++step)
        if (kScaleSteps[step] <= scale + 1e-4f) return step;
    return kScaleStepCount - 1;
}

void startFrameGovernor(GovernorMode mode, float budgetMs, float fixedScale) {
    frameGovernor = FrameGovernor{};
    frameGovernor.mode = mode;
    frameGovernor.budgetMs = budgetMs > 0.0f ? budgetMs : 1000.0f / 60.0f;
    if (mode == GovernorMode::Fixed) frameGovernor.step = stepForScale(fixedScale);
}

bool governorActive() {
    return frameGovernor.mode != GovernorMode::Off;
}

float frameScale() {
    return kScaleSteps[frameGovernor.step];
}

void governFrame(FrameGovernor& governor, float frameMs, int32_t scene) {
    governor.scaleSum[scene] += kScaleSteps[governor.step];
    governor.scaledFrames[scene] += 1;
    if (governor.mode != GovernorMode::Governed) return;
    float* recent = governor.recentMs;
    if (governor.recentCount == kGovernorHistory)
        std::copy(recent + 1, recent + kGovernorHistory, recent);
    else
        governor.recentCount += 1;
    recent[governor.recentCount - 1] = frameMs;
    int32_t count = governor.recentCount;
    if (count < kFramesBeforeDown) return;
    // Down at once: the median of the last three frames (one late frame alone is no reason),
    // over the budget's headroom, says how much smaller the picture must be (the pixel work
    // goes with the area).
    float a = recent[count - 1], b = recent[count - 2], c = recent[count - 3];
    float lately = std::max(std::min(a, b), std::min(std::max(a, b), c));
    float budget = governor.budgetMs;
    if (lately > kDownShare * budget && governor.step + 1 < kScaleStepCount) {
        float perArea = lately / area(governor.step);
        int32_t step = governor.step + 1;
        while (step + 1 < kScaleStepCount && perArea * area(step) > kTargetShare * budget) ++step;
        changeStep(governor, step);
        return;
    }
    // Up slowly: a whole history of frames that would all fit at the next larger step.
    if (count < kFramesBeforeUp || governor.step == 0) return;
    float slowest = *std::max_element(recent, recent + count);
    float ratio = area(governor.step - 1) / area(governor.step);
    if (slowest * ratio < kUpShare * budget) changeStep(governor, governor.step - 1);
}

double meanFrameScale(int32_t scene) {
    const FrameGovernor& governor = frameGovernor;
    uint64_t frames = governor.scaledFrames[scene];
    return frames > 0 ? governor.scaleSum[scene] / double(frames) : 1.0;
}

ScaleCuts cutsAtScale(float scale) {
    ScaleCuts cuts;
    cuts.oneMipLevel = scale < 1.0f;
    return cuts;
}
