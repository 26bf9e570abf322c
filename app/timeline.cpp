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

bool sequenceSkippedBySeek(Sequence sequence) {
    return timelineState.seeking && sequence < timelineState.seekSequence;
}

uint32_t sequenceStartMs(Sequence sequence) {
    if (timelineState.seeking && sequence == timelineState.seekSequence)
        return timelineState.seekMs;
    return 0;
}
