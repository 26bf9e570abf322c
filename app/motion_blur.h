// Motion blur: each frame the demo shows is the mean of N sub-frames drawn at times spread
// evenly over the shutter interval, which opens at the frame's time and stays open for
// shutter / 360 of the frame's step. Sub-frame k (0 to N - 1) shows the frame's time plus
// floor(k × shutter × step / (360 × N)) ms, the scene clock counting whole milliseconds.
// Only the picture is blurred: the clock, the sound, the key presses and the frame hooks
// (screenshots, recording) go by whole frames, and the sub-frames are drawn from the last to
// the first, so that the frame's own time is drawn last and moves the particles on by the
// frame's step exactly as a frame without blur does.
#pragma once

#include <cstdint>

#include "app/run_plan.h"
#include "render/frame_average.h"

struct MotionBlurState {
    uint32_t subFrames = 1; // 1: no blur, each frame drawn once as it always was
    uint32_t shutterDegrees = kDefaultShutterDegrees;
    uint32_t stepMs = 0; // the frame's step is stepMs / stepDivisor ms
    uint32_t stepDivisor = 1;
    FrameAverage average;
};
extern MotionBlurState motionBlurState;

// How far sub-frame k lies after its frame's time, in whole milliseconds.
uint32_t subFrameOffsetMs(uint32_t k, uint32_t subFrames, uint32_t shutterDegrees, uint32_t stepMs,
                          uint32_t stepDivisor);

// The plan's sub-frames, shutter and step (no blur without a fixed step).
void setMotionBlur(const RunPlan& plan);
// Sub-frames per frame: 1 without blur.
uint32_t subFramesPerFrame();
uint32_t subFrameAheadMs(uint32_t k);
// Sub-frame k is drawn in the window's frame. With blur it is added to the frame's sum, and
// after the last one (k = 0) the mean stands in the frame; without blur nothing happens.
void subFrameDrawn(uint32_t k);
// The end of a sequence: the mean's texture and the sums go.
void releaseMotionBlur();
