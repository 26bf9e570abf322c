// Bringing the run to a point of the timeline as a whole run reaches it, without drawing.
//
// A sequence's frames fall on its clock's grid: frame k at floor(k × step / divisor) ms after
// the sequence's start (the fixed step with its carry, or 1/60 s where the clock follows real
// time). Keyframes, fades, titles and the music's place follow from the scene time alone. The
// one state a frame hands on is the first scene's star particle system, which every frame
// draws and then animates by its clock step, born at the logo light of that frame, the random
// source seeded from the frame's time. The stars are brought to a frame by animating every
// frame before it: one frame in plain play, all of them from a dead pool after a jump. Seeks,
// steps, a restart and a recording that starts at frame A (startClockAtFrame with A's time,
// then the first frame drawn brings the stars there) go through here.
#pragma once

#include <cstdint>

#include "platform/system/math.h"

struct ParticleSystem;
struct SceneObject;

// The grid of a clock that steps stepMs / divisor milliseconds a frame.
struct ClockGrid {
    uint32_t stepMs = 1000;
    uint32_t divisor = 60;
};

// A frame of the grid: its time, the step that reached it (0 for the first) and the part of a
// millisecond, in 1/divisor, that the clock carries on from it.
struct GridFrame {
    uint32_t index = 0;
    uint32_t ms = 0;
    uint32_t deltaMs = 0;
    uint32_t carry = 0;
};

// Under a fixed step the stars' random seed at first-scene time t is this plus t, whatever
// came before the scene: a run that starts at a point draws the stars a whole run draws.
inline constexpr uint32_t kFixedStepSeedOrigin = 4357;

struct ReplayState {
    bool seedOriginSet = false;
    uint32_t seedOrigin = 0; // the stars' seed at first-scene time 0
    bool starsValid = false;
    uint32_t starsMs = 0;        // the frame whose stars the pool holds
    uint32_t starsDeltaMs = 0;   // the step that reached that frame
    Vec3 starsOrigin;            // the logo light at that frame, where its births happen
    uint32_t framesReplayed = 0; // frames animated to catch up after jumps (for the figures)
};
extern ReplayState replayState;

// The running clock's grid: the fixed step, else 1000 / 60.
ClockGrid clockGrid();
GridFrame gridFrame(const ClockGrid& grid, uint32_t index);
// The last frame at or before `ms`; the frames just after and just before a frame.
GridFrame gridFrameAtOrBefore(const ClockGrid& grid, uint32_t ms);
GridFrame nextGridFrame(const ClockGrid& grid, uint32_t ms);
GridFrame previousGridFrame(const ClockGrid& grid, uint32_t ms);

// The demo clock as a run from the sequence's start has it at scene time `ms`: the step that
// reached it and the carry (none where `ms` is not on the grid).
void startClockAtFrame(uint32_t ms);

// The logo light placed at `ms`; its position (the origin without a light).
Vec3 logoLightAt(SceneObject* light, uint32_t ms);

// A new run of the timeline: the stars are replayed at their next use.
void forgetStars();
// The stars as the first scene's frame at `ms` draws them, the clock having stepped `deltaMs`
// to it (the logo light is left placed at `ms`). Animates the frame held before when `ms`
// is the next one, nothing when it is the same (a paused frame), else every frame from a dead
// pool. Without a light the births are at the origin.
void bringStarsTo(ParticleSystem& stars, SceneObject* light, uint32_t ms, uint32_t deltaMs);
