#include "app/player.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "app/demo_state.h"
#include "app/scene_timeline.h"
#include "platform/events.h"
#include "render/font2d.h"
#include "render/render_state.h"
#include "sound/sound_startup.h"

PlayerState playerState;

namespace {

// Key-table codes of the player's keys, in the order of PlayerState::keysHeld.
constexpr int kPlayerKeys[6] = {kKeySpace, kKeyLeft, kKeyRight, kKeyComma, kKeyPeriod, kKeyHome};

uint32_t sequenceOffsetMs(Sequence sequence) {
    switch (sequence) {
        case Sequence::Second:
            return kTimelineSecondAt;
        case Sequence::End:
            return kTimelineEndAt;
        case Sequence::First:
        case Sequence::Gamma:
            break;
    }
    return 0;
}

// The last frame a sequence draws: at or before its last time.
TimelinePoint lastFrameOf(const ClockGrid& grid, Sequence sequence) {
    return {sequence, gridFrameAtOrBefore(grid, sequenceLastMs(sequence)).ms};
}

void readPlayerKeys() {
    PlayerState& state = playerState;
    for (int i = 0; i < 6; ++i) {
        bool held = eventState.keys[kPlayerKeys[i]] != 0;
        bool pressed = held && !state.keysHeld[i];
        state.keysHeld[i] = held;
        if (!pressed) continue;
        switch (kPlayerKeys[i]) {
            case kKeySpace:
                playerTogglePause();
                break;
            case kKeyLeft:
                playerSeek(-kPlayerSeekMs);
                break;
            case kKeyRight:
                playerSeek(kPlayerSeekMs);
                break;
            case kKeyComma:
                playerStep(-1);
                break;
            case kKeyPeriod:
                playerStep(1);
                break;
            case kKeyHome:
                playerRestart();
                break;
        }
    }
}

// The music at the scene time of a point of the scenes (the end screen has none).
void placeMusic(TimelinePoint point) {
    FSOUND_STREAM* stream = demoState.musicStream;
    if (stream == nullptr || point.sequence == Sequence::End) return;
    uint32_t offset = point.sequence == Sequence::Second ? kSecondSceneMusicOffsetMs : 0;
    FSOUND_Stream_SetTime(stream, int(point.ms + offset));
}

// The point the requests lead to from `at`; false when they lead nowhere.
bool requestedTarget(TimelinePoint at, TimelinePoint& target) {
    PlayerState& state = playerState;
    const ClockGrid grid = clockGrid();
    bool moved = false;
    target = at;
    if (state.restart) {
        target = {Sequence::First, 0};
        state.paused = false;
        moved = true;
    }
    if (state.seekMs != 0) {
        target = seekTarget(grid, target, state.seekMs);
        moved = true;
    }
    if (state.stepFrames != 0 && state.paused) {
        target = stepTarget(grid, target, state.stepFrames);
        moved = true;
    }
    state.restart = false;
    state.seekMs = 0;
    state.stepFrames = 0;
    return moved;
}

void moveTo(Sequence sequence, TimelinePoint target) {
    PlayerState& state = playerState;
    ++state.moves;
    state.barUntil = tickCount() + kPlayerBarShownMs;
    demoState.skip = false;
    if (target.sequence == sequence) {
        startClockAtFrame(target.ms);
        placeMusic(target);
    } else {
        jumpTo(target);
    }
}

// The bar's place in 2D units: thin, at the bottom, across the frame.
constexpr float kBarLeft = -0.96f, kBarWidth = 1.92f, kBarTop = -0.93f, kBarHeight = 0.014f;
constexpr float kBarGap = 0.006f; // between the sequences

// The three sequences, each as long as it plays, the part played brighter, and a marker at
// `at` on the whole timeline.
void drawBarSequences(Sequence sequence, uint32_t at) {
    const float scale = (kBarWidth - 2 * kBarGap) / float(kTimelineLengthMs);
    const uint32_t starts[3] = {0, kTimelineSecondAt, kTimelineEndAt};
    const uint32_t ends[3] = {kTimelineSecondAt, kTimelineEndAt, kTimelineLengthMs};
    for (int i = 0; i < 3; ++i) {
        float x = kBarLeft + float(starts[i]) * scale + float(i) * kBarGap;
        float w = float(ends[i] - starts[i]) * scale;
        glColor4f(0.45f, 0.45f, 0.5f, 0.9f);
        drawQuad2D(x, kBarTop, w, kBarHeight);
        float played = float(std::clamp(at, starts[i], ends[i]) - starts[i]) * scale;
        glColor4f(1.0f, 0.62f, 0.18f, 1.0f);
        if (played > 0.0f) drawQuad2D(x, kBarTop, played, kBarHeight);
    }
    float marker = kBarLeft + float(at) * scale + float(int32_t(sequence) - 1) * kBarGap;
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    drawQuad2D(marker - 0.003f, kBarTop + 0.012f, 0.006f, kBarHeight + 0.024f);
}

} // namespace

void playerTogglePause() {
    playerState.togglePause = !playerState.togglePause;
}

void playerSeek(int32_t ms) {
    playerState.seekMs += ms;
}

void playerStep(int32_t frames) {
    playerState.stepFrames += frames;
}

void playerRestart() {
    playerState.restart = true;
}

uint32_t timelineMsOf(TimelinePoint point) {
    return sequenceOffsetMs(point.sequence) + point.ms;
}

TimelinePoint seekTarget(const ClockGrid& grid, TimelinePoint from, int32_t byMs) {
    int64_t at = int64_t(timelineMsOf(from)) + byMs;
    if (at < 0) at = 0;
    TimelinePoint point{Sequence::First, uint32_t(at)};
    if (at >= kTimelineEndAt)
        point = {Sequence::End, uint32_t(at - kTimelineEndAt)};
    else if (at >= kTimelineSecondAt)
        point = {Sequence::Second, uint32_t(at - kTimelineSecondAt)};
    point.ms = std::min(point.ms, sequenceLastMs(point.sequence));
    point.ms = gridFrameAtOrBefore(grid, point.ms).ms;
    return point;
}

TimelinePoint stepTarget(const ClockGrid& grid, TimelinePoint from, int32_t frames) {
    TimelinePoint point = from;
    for (; frames > 0; --frames) {
        GridFrame next = nextGridFrame(grid, point.ms);
        if (next.ms <= sequenceLastMs(point.sequence))
            point.ms = next.ms;
        else if (point.sequence != Sequence::End)
            point = {Sequence(int32_t(point.sequence) + 1), 0};
    }
    for (; frames < 0; ++frames) {
        if (point.ms > 0)
            point.ms = previousGridFrame(grid, point.ms).ms;
        else if (point.sequence > Sequence::First)
            point = lastFrameOf(grid, Sequence(int32_t(point.sequence) - 1));
    }
    return point;
}

void startPlayer() {
    playerState = PlayerState{};
    for (int i = 0; i < 6; ++i) playerState.keysHeld[i] = eventState.keys[kPlayerKeys[i]] != 0;
}

void playerFrameEnds(Sequence sequence, uint32_t sceneMs) {
    PlayerState& state = playerState;
    readPlayerKeys();
    if (state.togglePause) {
        state.togglePause = false;
        state.paused = !state.paused;
        // The music goes on from the picture's place.
        if (!state.paused) placeMusic({sequence, sceneMs});
        pauseAllSound(state.paused);
    }
    TimelinePoint target;
    if (requestedTarget({sequence, sceneMs}, target)) {
        moveTo(sequence, target);
        // A restart plays again; the sound paused with the picture goes on with it.
        if (!state.paused) pauseAllSound(false);
        return;
    }
    if (!state.paused) {
        tickClock();
        return;
    }
    // Paused: the frame stays, and so does the sound (a return from the background would
    // let it go on). A real-time clock is kept at the frame; a fixed step simply waits.
    pauseAllSound(true);
    if (eventState.fixedStepMs == 0) resetClock(sceneMs);
}

void drawPlayerBar(Sequence sequence, uint32_t sceneMs) {
    const PlayerState& state = playerState;
    if (!state.paused && int32_t(state.barUntil - tickCount()) <= 0) return;
    setBlending(true);
    setBlendFunction(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    selectTextureUnit(0);
    glDisable(GL_TEXTURE_2D);
    glColor4f(0.0f, 0.0f, 0.0f, 0.55f);
    drawQuad2D(-1.0f, kBarTop + 0.115f, 2.0f, 0.15f);
    const uint32_t at = timelineMsOf({sequence, sceneMs});
    drawBarSequences(sequence, at);
    // The time, the sequence's own and the whole timeline's; while paused the keys above it.
    char text[96];
    std::snprintf(text, sizeof text, "%s%s %u.%02u S   %u:%02u.%u / 2:15",
                  state.paused ? "PAUSED   " : "", std::string(sequenceName(sequence)).c_str(),
                  sceneMs / 1000, sceneMs % 1000 / 10, at / 60000, at / 1000 % 60, at % 1000 / 100);
    setTextLayout(0.024f, 0.0f, 0.0f);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    drawText(kBarLeft, kBarTop + 0.06f, text);
    if (state.paused) {
        glColor4f(0.75f, 0.75f, 0.75f, 1.0f);
        drawText(kBarLeft, kBarTop + 0.105f,
                 "SPACE PLAY   LEFT RIGHT 5 S   COMMA PERIOD FRAME   HOME START AGAIN   ESC END");
    }
    setBlending(false);
    setBlendFunction(GL_SRC_ALPHA, GL_ONE); // the engine's additive default
}
