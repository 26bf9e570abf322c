#include "app/motion_blur.h"

#include "render/render_state.h"

MotionBlurState motionBlurState;

uint32_t subFrameOffsetMs(uint32_t k, uint32_t subFrames, uint32_t shutterDegrees, uint32_t stepMs,
                          uint32_t stepDivisor) {
    if (subFrames == 0 || stepDivisor == 0) return 0;
    // Both products stay below 2^8 × 2^9 × 2^32.
    uint64_t open = uint64_t(k) * shutterDegrees * stepMs;
    return static_cast<uint32_t>(open / (uint64_t(360) * subFrames * stepDivisor));
}

void setMotionBlur(const RunPlan& plan) {
    MotionBlurState& state = motionBlurState;
    releaseMotionBlur();
    state.subFrames = plan.stepMs != 0 && plan.subFrames > 1 ? plan.subFrames : 1;
    state.shutterDegrees = plan.shutterDegrees;
    state.stepMs = plan.stepMs;
    state.stepDivisor = plan.stepDivisor;
}

uint32_t subFramesPerFrame() {
    return motionBlurState.subFrames;
}

uint32_t subFrameAheadMs(uint32_t k) {
    const MotionBlurState& state = motionBlurState;
    return subFrameOffsetMs(k, state.subFrames, state.shutterDegrees, state.stepMs,
                            state.stepDivisor);
}

void subFrameDrawn(uint32_t k) {
    MotionBlurState& state = motionBlurState;
    if (state.subFrames <= 1) return;
    addFrameToAverage(state.average, currentViewWidth(), currentViewHeight());
    if (k == 0) drawAverageOverFrame(state.average);
}

void releaseMotionBlur() {
    releaseFrameAverage(motionBlurState.average);
}
