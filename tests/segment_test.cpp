// Segments of a recording: the frame ranges --frames and --part name, where parts fall, and
// the command line's and the run plan's refusals.
#include <gtest/gtest.h>

#include "app/capture.h"
#include "app/options.h"
#include "app/run_plan.h"
#include "app/segment.h"
#include "support/test_support.h"

TEST(Segment, RangesAndPartsAreReadWithTheirLimits) {
    const struct {
        const char* text;
        bool range; // read as --frames A-B (else as --part K/N)
        bool accepted;
        uint64_t x, y;
    } table[] = {
        {"0-1", true, true, 0, 1},
        {"0-0", true, false, 0, 0},
        {"5-4", true, false, 0, 0},
        {"299-300", true, true, 299, 300},
        {"0-18446744073709551615", true, true, 0, UINT64_MAX},
        {"0-18446744073709551616", true, false, 0, 0},
        {"-1-5", true, false, 0, 0},
        {"1-", true, false, 0, 0},
        {"-", true, false, 0, 0},
        {"1 -2", true, false, 0, 0},
        {"1/1", false, true, 1, 1},
        {"3/3", false, true, 3, 3},
        {"0/3", false, false, 0, 0},
        {"4/3", false, false, 0, 0},
        {"1/0", false, false, 0, 0},
        {"4294967295/4294967295", false, true, 4294967295u, 4294967295u},
        {"1/4294967296", false, false, 0, 0},
        {"1/", false, false, 0, 0},
        {"2-3", false, false, 0, 0},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.text);
        if (row.range) {
            FrameRange range{7, 8};
            EXPECT_EQ(parseFrameRange(row.text, range), row.accepted);
            if (row.accepted) {
                EXPECT_EQ(range.first, row.x);
                EXPECT_EQ(range.end, row.y);
            } else {
                EXPECT_EQ(range.first, 7u); // untouched
            }
        } else {
            uint32_t part = 9, parts = 9;
            EXPECT_EQ(parsePart(row.text, part, parts), row.accepted);
            if (row.accepted) {
                EXPECT_EQ(part, row.x);
                EXPECT_EQ(parts, row.y);
            }
        }
    }
}

// Every part of every split meets the next without gap or overlap, the parts cover the whole
// recording, and no two differ by more than one frame.
TEST(Segment, PartsMeetAndCoverTheRecording) {
    for (uint64_t total : {1ull, 2ull, 3ull, 10ull, 100ull, 4051ull, 8101ull, 1ull << 40}) {
        for (uint32_t parts : {1u, 2u, 3u, 7u, 16u}) {
            if (parts > total) continue;
            SCOPED_TRACE(std::to_string(total) + " in " + std::to_string(parts));
            uint64_t next = 0;
            uint64_t smallest = UINT64_MAX, largest = 0;
            for (uint32_t k = 1; k <= parts; ++k) {
                FrameRange range = partFrames(k, parts, total);
                EXPECT_EQ(range.first, next);
                EXPECT_LT(range.first, range.end);
                smallest = std::min(smallest, range.end - range.first);
                largest = std::max(largest, range.end - range.first);
                next = range.end;
            }
            EXPECT_EQ(next, total);
            EXPECT_LE(largest - smallest, 1u);
        }
    }
}

// The command line refuses what cannot be a segment; the run plan refuses ranges past the
// recording's end. At 10 frames a second the first 10 s are 100 frames (0 to 99).
TEST(Segment, RefusalsOfTheCommandLineAndThePlan) {
    const std::string clip = "--record s.mkv --fps 10 --until first:10000 ";
    const struct {
        std::string line;
        const char* error; // "" : accepted
        uint64_t first, end;
    } table[] = {
        {clip + "--frames 0-100", "", 0, 100},
        {clip + "--frames 99-100", "", 99, 100},
        {clip + "--frames 0-1 --codec ffv1", "", 0, 1},
        {clip + "--frames 0-1", "", 0, 1},
        {clip + "--frames 0-101",
         "--frames 0-101 reaches past the end of the recording, which has 100 frames (0-100)", 0,
         0},
        {clip + "--frames 100-101",
         "--frames 100-101 reaches past the end of the recording, which has 100 frames (0-100)", 0,
         0},
        {clip + "--frames 50-50",
         "--frames takes FIRST-END, frames FIRST to END-1 of the recording with FIRST below END, "
         "e.g. 0-300, not '50-50'",
         0, 0},
        {clip + "--part 1/3", "", 0, 33},
        {clip + "--part 2/3", "", 33, 66},
        {clip + "--part 3/3", "", 66, 100},
        {clip + "--part 100/100", "", 99, 100},
        {clip + "--part 1/101",
         "--part 1/101 asks for more parts than the recording has frames (100 frames)", 0, 0},
        {clip + "--part 4/3",
         "--part takes K/N, part K of N equal parts with K from 1 to N, e.g. 2/4, not '4/3'", 0, 0},
        {clip + "--part 1/2 --frames 0-5", "--frames and --part cannot be given together", 0, 0},
        {"--frames 0-5", "--frames and --part need --record", 0, 0},
        {"--count-frames", "--count-frames needs --record", 0, 0},
        {"--record s.mp4 --frames 0-5", "--frames and --part write a segment as .mkv, not 's.mp4'",
         0, 0},
        {"--record s.wav --part 1/2", "--frames and --part write a segment as .mkv, not 's.wav'", 0,
         0},
        // The recording's own start counts: from second:64000 at 10 frames a second the
        // second scene has 11 frames and the end screen 200.
        {"--record s.MKV --fps 10 --seek second:64000 --part 2/2", "", 105, 211},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.line);
        Options options = parseOptions(splitWords(row.line));
        RunPlan plan = resolveRunPlan(options);
        std::string error = options.error.empty() ? plan.error : options.error;
        EXPECT_EQ(error, row.error);
        if (error.empty()) {
            EXPECT_TRUE(plan.segment);
            EXPECT_EQ(plan.frames.first, row.first);
            EXPECT_EQ(plan.frames.end, row.end);
        }
    }
}

// A segment's run starts at its first frame's point and ends at the first frame past it, as
// at a stop point.
TEST(Segment, TheRunEndsAtTheFirstFramePastTheSegment) {
    Options options = parseOptions(splitWords("--record s.mkv --fps 10 --frames 3-5"));
    ASSERT_EQ(options.error, "");
    RunPlan plan = resolveRunPlan(options);
    EXPECT_TRUE(plan.seek);
    EXPECT_EQ(plan.start.sequence, Sequence::First);
    EXPECT_EQ(plan.start.ms, 300u);
    EXPECT_EQ(captureStart(plan).ms, 300u);
    prepareCapture(plan);
    EXPECT_FALSE(captureEnded(Sequence::First, 300));
    EXPECT_FALSE(captureEnded(Sequence::Gamma, 0)); // not a frame of the recording
    EXPECT_FALSE(captureEnded(Sequence::First, 400));
    EXPECT_TRUE(captureEnded(Sequence::First, 500));
    EXPECT_TRUE(captureEndReached());
    EXPECT_TRUE(captureEnded(Sequence::First, 600));
    // From frame 0 the run starts where the recording does.
    EXPECT_FALSE(resolveRunPlan(parseOptions(splitWords("--record s.mkv --frames 0-5"))).seek);
}

// A frame's point: frame k of a sequence at its start plus ⌊k × step⌋, the first frame of the
// next sequence at its 0. At 30 frames a second the first scene has 1501 frames (0 to 50000
// ms), the second 1951 (0 to 65000) and the end screen 600.
TEST(Segment, FramesFallOnTheirPointsOfTheTimeline) {
    const struct {
        const char* line;
        uint64_t frame;
        Sequence sequence;
        uint32_t ms;
    } table[] = {
        {"--record s.mkv", 0, Sequence::First, 0},
        {"--record s.mkv", 1, Sequence::First, 33},
        {"--record s.mkv", 2, Sequence::First, 66},
        {"--record s.mkv", 3, Sequence::First, 100},
        {"--record s.mkv", 1500, Sequence::First, 50000},
        {"--record s.mkv", 1501, Sequence::Second, 0},
        {"--record s.mkv", 1501 + 1950, Sequence::Second, 65000},
        {"--record s.mkv", 1501 + 1951, Sequence::End, 0},
        {"--record s.mkv", 1501 + 1951 + 599, Sequence::End, 19966},
        {"--record s.mkv", 1501 + 1951 + 600, Sequence::End, 19966}, // past the end
        {"--record s.mkv --seek second:64000 --fps 10", 10, Sequence::Second, 65000},
        {"--record s.mkv --seek second:64000 --fps 10", 11, Sequence::End, 0},
        {"--record s.mkv --until first:10000 --fps 10", 99, Sequence::First, 9900},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(std::string(row.line) + " frame " + std::to_string(row.frame));
        Options options = parseOptions(splitWords(row.line));
        ASSERT_EQ(options.error, "");
        TimelinePoint point = captureFramePoint(resolveRunPlan(options), row.frame);
        EXPECT_EQ(point.sequence, row.sequence);
        EXPECT_EQ(point.ms, row.ms);
    }
}

// A sound-only recording draws its frames once each at the smallest size, whatever the
// recording's options ask of the pictures; the name's ending decides, in any letter case.
TEST(Segment, ASoundOnlyRecordingDrawsSmall) {
    const struct {
        const char* line;
        bool soundOnly;
        uint32_t side, subFrames;
    } table[] = {
        {"--record s.wav --size 1920x1080 --motion-blur 8 --codec ffv1 --chroma 444", true, 16, 1},
        {"--record dir/S.WAV", true, 16, 1},
        {"--record s.wav.mkv --size 320x240 --motion-blur 2", false, 320, 2},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.line);
        Options options = parseOptions(splitWords(row.line));
        ASSERT_EQ(options.error, "");
        RunPlan plan = resolveRunPlan(options);
        EXPECT_EQ(plan.soundOnly, row.soundOnly);
        EXPECT_EQ(plan.width, row.side);
        EXPECT_EQ(plan.subFrames, row.subFrames);
    }
}
