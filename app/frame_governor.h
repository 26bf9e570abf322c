// The frame-time governor: where frames miss their budget (the display's refresh interval,
// or 1/60 s), the 3D part of a scene is drawn at a lower resolution off-screen and scaled to
// the frame with bilinear filtering, while titles, text and overlays stay at full resolution.
// The scale is one of a few steps, chosen from the recent frame times: down at once by as
// many steps as the time asks for, up one step at a time after a long run of frames with
// room to spare. The choice needs no display; drawing the scaled part is in the scenes.
#pragma once

#include <cstdint>

inline constexpr float kScaleSteps[] = {1.0f, 0.85f, 0.7f, 0.6f, 0.5f};
inline constexpr int32_t kScaleStepCount = 5;
// Recent frames the choice looks at.
inline constexpr int32_t kGovernorHistory = 32;

// Off: every frame at full resolution; Governed: the scale follows the frame times; Fixed:
// one step always.
enum class GovernorMode { Off, Governed, Fixed };

struct FrameGovernor {
    GovernorMode mode = GovernorMode::Off;
    float budgetMs = 1000.0f / 60.0f;
    int32_t step = 0;
    float recentMs[kGovernorHistory] = {}; // frame times at the current step, newest last
    int32_t recentCount = 0;
    // The scales of the 3D frames of each scene (first, second).
    double scaleSum[2] = {};
    uint64_t scaledFrames[2] = {};
};
extern FrameGovernor frameGovernor;

// Starts the governor in its mode: with the budget when governed, at the step for
// `fixedScale` when fixed (stepForScale). Off and fixed at 1 draw every frame at full
// resolution.
void startFrameGovernor(GovernorMode mode, float budgetMs, float fixedScale);
// The governor is at work (governed or fixed): the 3D frames are timed and their scale shown.
bool governorActive();
// The scale to draw the next frame at.
float frameScale();
// A 3D frame of scene 0 or 1 drawn at frameScale() took frameMs: the step for the next one.
void governFrame(FrameGovernor& governor, float frameMs, int32_t scene);
// The mean scale of the 3D frames of scene 0 or 1 (1 when none).
double meanFrameScale(int32_t scene);
// The step for a scale asked for: the largest step at or below it (the smallest for less).
int32_t stepForScale(float scale);

// What the picture gives up below full size to be drawn sooner: mipmapped textures read one
// level a sample instead of blending two. At scale 1 nothing.
struct ScaleCuts {
    bool oneMipLevel = false;
};
ScaleCuts cutsAtScale(float scale);
