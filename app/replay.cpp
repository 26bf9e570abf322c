#include "app/replay.h"

#include "effects/particles.h"
#include "platform/events.h"
#include "scene/objects.h"
#include "scene/scene_graph.h"

ReplayState replayState;

namespace {

uint32_t starSeed(uint32_t ms) {
    ReplayState& state = replayState;
    if (!state.seedOriginSet) {
        state.seedOriginSet = true;
        state.seedOrigin = eventState.fixedStepMs != 0 ? kFixedStepSeedOrigin : tickCount() - ms;
    }
    return state.seedOrigin + ms;
}

// One frame's animation after its drawing, as the first scene's frame at `ms` does it.
void animateStarsFrame(ParticleSystem& stars, const Vec3& origin, uint32_t ms, uint32_t deltaMs) {
    stars.emitterOrigin = origin;
    animateParticlesSeeded(stars, deltaMs, starSeed(ms));
}

} // namespace

ClockGrid clockGrid() {
    if (eventState.fixedStepMs == 0) return {};
    uint32_t divisor = eventState.fixedStepDivisor == 0 ? 1 : eventState.fixedStepDivisor;
    return {eventState.fixedStepMs, divisor};
}

GridFrame gridFrame(const ClockGrid& grid, uint32_t index) {
    auto at = [&](uint32_t k) { return uint32_t(uint64_t(k) * grid.stepMs / grid.divisor); };
    GridFrame frame;
    frame.index = index;
    frame.ms = at(index);
    frame.deltaMs = index == 0 ? 0 : frame.ms - at(index - 1);
    frame.carry = uint32_t(uint64_t(index) * grid.stepMs % grid.divisor);
    return frame;
}

GridFrame gridFrameAtOrBefore(const ClockGrid& grid, uint32_t ms) {
    // The largest k with k × step / divisor < ms + 1.
    uint64_t k = ((uint64_t(ms) + 1) * grid.divisor - 1) / grid.stepMs;
    return gridFrame(grid, uint32_t(k));
}

GridFrame nextGridFrame(const ClockGrid& grid, uint32_t ms) {
    return gridFrame(grid, gridFrameAtOrBefore(grid, ms).index + 1);
}

GridFrame previousGridFrame(const ClockGrid& grid, uint32_t ms) {
    GridFrame at = gridFrameAtOrBefore(grid, ms);
    if (at.ms < ms || at.index == 0) return at;
    return gridFrame(grid, at.index - 1);
}

void startClockAtFrame(uint32_t ms) {
    GridFrame frame = gridFrameAtOrBefore(clockGrid(), ms);
    if (frame.ms == ms)
        resetClockAtStep(ms, frame.deltaMs, frame.carry);
    else
        resetClock(ms);
}

Vec3 logoLightAt(SceneObject* light, uint32_t ms) {
    if (light == nullptr) return {};
    light->tracks.time = static_cast<int32_t>(ms);
    light->targetTracks.time = static_cast<int32_t>(ms);
    updateSubtree(light->treeNode);
    return light->worldTransform.getTranslation();
}

void forgetStars() {
    replayState.starsValid = false;
}

void bringStarsTo(ParticleSystem& stars, SceneObject* light, uint32_t ms, uint32_t deltaMs) {
    ReplayState& state = replayState;
    if (state.starsValid && ms == state.starsMs) return;
    if (state.starsValid && deltaMs != 0 && ms - state.starsMs == deltaMs) {
        animateStarsFrame(stars, state.starsOrigin, state.starsMs, state.starsDeltaMs);
    } else {
        // From a dead pool through every frame of the grid before `ms`.
        const ClockGrid grid = clockGrid();
        resetParticles(stars);
        uint32_t last = 0;
        for (uint32_t k = 0;; ++k) {
            GridFrame frame = gridFrame(grid, k);
            if (frame.ms >= ms) break;
            animateStarsFrame(stars, logoLightAt(light, frame.ms), frame.ms, frame.deltaMs);
            last = frame.ms;
            ++state.framesReplayed;
        }
        // Off the grid (a start at any millisecond) the step to `ms` is from the frame before.
        deltaMs = ms == 0 ? 0 : ms - last;
    }
    state.starsValid = true;
    state.starsMs = ms;
    state.starsDeltaMs = deltaMs;
    state.starsOrigin = logoLightAt(light, ms);
}
