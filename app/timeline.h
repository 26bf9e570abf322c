// The demo's timeline as the automation sees it: the four sequences with their names, where a
// run starts (--seek), and two hooks every frame loop calls so that screenshots, injected keys
// and recording reach each frame without the sequences knowing about them.
#pragma once

#include <cstdint>
#include <string_view>

enum class Sequence : int32_t { Gamma, First, Second, End };

// "gamma", "first", "second", "end".
std::string_view sequenceName(Sequence sequence);
// False for an unknown name.
bool sequenceFromName(std::string_view name, Sequence& sequence);

struct TimelineHooks {
    // Before a frame is drawn, with the sequence and its scene time: injected keys.
    void (*frameStart)(Sequence sequence, uint32_t sceneMs) = nullptr;
    // After a frame is drawn, before the buffers are swapped: screenshots and recording.
    void (*frameDrawn)(Sequence sequence, uint32_t sceneMs) = nullptr;
};

struct TimelineState {
    TimelineHooks hooks;
    bool seeking = false;
    Sequence seekSequence = Sequence::First;
    uint32_t seekMs = 0;
    // The point of the last frame begun, where a stopped run says it stopped.
    bool anyFrame = false;
    Sequence lastSequence = Sequence::Gamma;
    uint32_t lastMs = 0;
};
extern TimelineState timelineState;

// With a seek point, the sequences before it are not played and its own sequence starts at
// its time; otherwise every sequence is played from 0.
bool sequenceSkippedBySeek(Sequence sequence);
uint32_t sequenceStartMs(Sequence sequence);

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
