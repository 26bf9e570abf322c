// The demo's timeline as the automation sees it: the four sequences with their names, points
// of it, where a run starts (--seek) and whether it has ended, and two hooks every frame loop
// calls so that screenshots, injected keys and recording reach each frame without the
// sequences knowing about them.
#pragma once

#include <cstdint>
#include <string_view>

enum class Sequence : int32_t { Gamma, First, Second, End };

// "gamma", "first", "second", "end".
std::string_view sequenceName(Sequence sequence);
// False for an unknown name.
bool sequenceFromName(std::string_view name, Sequence& sequence);
// The last time a sequence draws: 50000 ms in the first scene, 65000 in the second, 19999 on
// the end screen; the gamma screen has no end of its own (UINT32_MAX).
uint32_t sequenceLastMs(Sequence sequence);

// A point of the timeline: a sequence and a time in it.
struct TimelinePoint {
    Sequence sequence = Sequence::First;
    uint32_t ms = 0;
};

// A key press at a point of the timeline: down at the first frame at or after the point, up
// at the next frame.
struct TimedKey {
    TimelinePoint point;
    int keyCode = 0; // in the key table's numbering
};

struct TimelineHooks {
    // Before a frame is drawn, with the sequence and its scene time: injected keys.
    void (*frameStart)(Sequence sequence, uint32_t sceneMs) = nullptr;
    // After a frame is drawn, before the buffers are swapped: screenshots and recording.
    void (*frameDrawn)(Sequence sequence, uint32_t sceneMs) = nullptr;
};

struct TimelineState {
    TimelineHooks hooks;
    bool seeking = false;
    TimelinePoint seekTo;
    bool ended = false;   // endTimeline was called: no sequence goes on
    bool jumping = false; // a jump waits for its sequence to start
    // The point of the last frame begun, where a stopped run says it stopped.
    bool anyFrame = false;
    Sequence lastSequence = Sequence::Gamma;
    uint32_t lastMs = 0;
};
extern TimelineState timelineState;

// The timeline starts at `start` (the sequences before it are not played) or, without one,
// at the start of the gamma screen.
void startTimelineAt(const TimelinePoint* start);
// With a seek point, the sequences before it are not played and its own sequence starts at
// its time; otherwise every sequence is played from 0. While a jump waits, every sequence but
// its point's is passed over. The start of the point's sequence ends the jump.
bool sequenceSkippedBySeek(Sequence sequence);
uint32_t sequenceStartMs(Sequence sequence);
// A jump to `to` in another sequence: the sequence playing ends after its frame, and the
// timeline goes on at `to` (backwards too: the scenes are played again from there).
void jumpTo(TimelinePoint to);
bool jumpWaiting();
// True when the run starts at a point inside `sequence` (the sequences before it are skipped).
bool timelineStartsIn(Sequence sequence);

// The run's own end: the sequence that is playing ends after its frame, and no later one
// starts.
void endTimeline();
bool timelineEnded();

// Installs `hooks` in place of the ones there and returns those, for the new hooks to call
// and to put back.
TimelineHooks replaceTimelineHooks(TimelineHooks hooks);

inline void timelineFrameStart(Sequence sequence, uint32_t sceneMs) {
    timelineState.anyFrame = true;
    timelineState.lastSequence = sequence;
    timelineState.lastMs = sceneMs;
    if (timelineState.hooks.frameStart != nullptr)
        timelineState.hooks.frameStart(sequence, sceneMs);
}
inline void timelineFrameDrawn(Sequence sequence, uint32_t sceneMs) {
    if (timelineState.hooks.frameDrawn != nullptr)
        timelineState.hooks.frameDrawn(sequence, sceneMs);
}
