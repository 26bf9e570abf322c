// The player: pause, seek, frame steps and restart while the demo's sequences play, and the
// timeline bar shown while paused or seeking. The keyboard (Space, Left, Right, Comma, Period,
// Home) and a game controller call the same actions; each records a request that the frame's
// end carries out, in place of the clock's plain step. A move lands on a frame of the clock's
// grid and is reached as a whole run reaches it (see replay.h); a move into another sequence
// ends the one playing and starts that one at the point.
#pragma once

#include <cstdint>

#include "app/replay.h"
#include "app/timeline.h"

inline constexpr int32_t kPlayerSeekMs = 5000;
inline constexpr uint32_t kPlayerBarShownMs = 1500; // after a move while playing

// The three sequences laid end to end: the first scene from 0, the second from 50000 ms, the
// end screen from 115000 ms; 135000 ms in all.
inline constexpr uint32_t kTimelineSecondAt = 50000;
inline constexpr uint32_t kTimelineEndAt = 115000;
inline constexpr uint32_t kTimelineLengthMs = 135000;

struct PlayerState {
    bool paused = false;
    // Requests of the actions since the last frame's end.
    bool togglePause = false;
    bool restart = false;
    int32_t seekMs = 0;
    int32_t stepFrames = 0;
    bool keysHeld[6] = {}; // the player's keys as the last frame's end saw them
    uint32_t barUntil = 0; // tick count until which the bar stays after a move
    uint32_t moves = 0;    // moves carried out (for tests and figures)
};
extern PlayerState playerState;

// The actions, for the keyboard and a controller alike.
void playerTogglePause();
void playerSeek(int32_t ms);     // back (< 0) or forward, across sequences
void playerStep(int32_t frames); // one frame back (-1) or forward (1); only while paused
void playerRestart();            // from the first scene's start, playing

// The place of a point on the whole timeline, and the point at a place (clamped to the first
// scene's start and the end screen's last frame), on the grid's frames.
uint32_t timelineMsOf(TimelinePoint point);
TimelinePoint seekTarget(const ClockGrid& grid, TimelinePoint from, int32_t byMs);
// One frame on or back, into the next or previous sequence at its ends; the end screen's last
// frame and the first scene's start stay where they are.
TimelinePoint stepTarget(const ClockGrid& grid, TimelinePoint from, int32_t frames);

// A new run of the scenes: nothing paused, the keys held now are not presses.
void startPlayer();
// The frame's end in place of tickClock: the keys, then the requested move or pause, else the
// clock's step. A move into another sequence leaves a jump for the timeline.
void playerFrameEnds(Sequence sequence, uint32_t sceneMs);
// The timeline bar over the finished frame while paused or just after a move, with the keys
// while paused.
void drawPlayerBar(Sequence sequence, uint32_t sceneMs);
