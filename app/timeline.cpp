#include "app/timeline.h"

TimelineState timelineState;

namespace {

constexpr std::string_view kSequenceNames[] = {"gamma", "first", "second", "end"};

} // namespace

std::string_view sequenceName(Sequence sequence) {
    return kSequenceNames[static_cast<int32_t>(sequence)];
}

bool sequenceFromName(std::string_view name, Sequence& sequence) {
    for (int32_t i = 0; i < 4; i++) {
        if (kSequenceNames[i] == name) {
            sequence = static_cast<Sequence>(i);
            return true;
        }
    }
    return false;
}

uint32_t sequenceLastMs(Sequence sequence) {
    // The scenes run while t <= their end, the end screen while t < 20000.
    switch (sequence) {
        case Sequence::First:
            return 50000;
        case Sequence::Second:
            return 65000;
        case Sequence::End:
            return 19999;
        case Sequence::Gamma:
            break;
    }
    return UINT32_MAX;
}

void startTimelineAt(const TimelinePoint* start) {
    timelineState.seeking = start != nullptr;
    timelineState.seekTo = start != nullptr ? *start : TimelinePoint{};
    timelineState.ended = false;
    timelineState.jumping = false;
}

bool sequenceSkippedBySeek(Sequence sequence) {
    const TimelineState& state = timelineState;
    if (!state.seeking) return false;
    if (state.jumping) return sequence != state.seekTo.sequence;
    return sequence < state.seekTo.sequence;
}

uint32_t sequenceStartMs(Sequence sequence) {
    if (timelineState.seeking && sequence == timelineState.seekTo.sequence) {
        timelineState.jumping = false;
        return timelineState.seekTo.ms;
    }
    return 0;
}

void jumpTo(TimelinePoint to) {
    timelineState.seeking = true;
    timelineState.seekTo = to;
    timelineState.jumping = true;
}

bool jumpWaiting() {
    return timelineState.jumping;
}

bool timelineStartsIn(Sequence sequence) {
    return timelineState.seeking && timelineState.seekTo.sequence == sequence;
}

void endTimeline() {
    timelineState.ended = true;
}

bool timelineEnded() {
    return timelineState.ended;
}

TimelineHooks replaceTimelineHooks(TimelineHooks hooks) {
    TimelineHooks before = timelineState.hooks;
    timelineState.hooks = hooks;
    return before;
}
