#include <gtest/gtest.h>

#include "app/options.h"
#include "app/recording_files.h"

namespace {
Options parse(std::vector<std::string> arguments) {
    return parseOptions(arguments);
}
} // namespace

TEST(CommandLine, EveryOptionIsStored) {
    Options options = parse({"--batch", "--answer", "no", "--fixed-step", "40", "--shots",
                             "first:30000,second:20000,end:4000", "--record", "out.mkv", "--fps",
                             "60", "--seek", "second:1500", "--picture-gamma"});
    ASSERT_TRUE(options.error.empty()) << options.error;
    EXPECT_TRUE(options.batch);
    EXPECT_TRUE(options.gammaInPicture);
    EXPECT_FALSE(parse({"--batch"}).gammaInPicture);
    EXPECT_FALSE(options.answerYes);
    EXPECT_EQ(options.fixedStepMs, 40u);
    ASSERT_EQ(options.shots.size(), 3u);
    EXPECT_EQ(options.shots[1].sequence, Sequence::Second);
    EXPECT_EQ(options.shots[1].ms, 20000u);
    EXPECT_EQ(options.shots[2].sequence, Sequence::End);
    EXPECT_EQ(options.recordFile, "out.mkv");
    EXPECT_EQ(options.fps, 60u);
    EXPECT_TRUE(options.seek);
    EXPECT_EQ(options.seekTo.sequence, Sequence::Second);
    EXPECT_EQ(options.seekTo.ms, 1500u);
}

TEST(CommandLine, BenchmarkFileIsOptional) {
    Options bare = parse({"--benchmark", "--fixed-step", "10"});
    EXPECT_TRUE(bare.error.empty());
    EXPECT_TRUE(bare.benchmark);
    EXPECT_TRUE(bare.batch);
    EXPECT_EQ(bare.benchmarkFile, "");
    EXPECT_EQ(bare.fixedStepMs, 10u);
    Options toFile = parse({"--benchmark", "times.json"});
    EXPECT_EQ(toFile.benchmarkFile, "times.json");
}

TEST(CommandLine, BadValuesAreRefused) {
    const std::vector<std::vector<std::string>> bad = {
        {"--answer", "maybe"},          {"--answer"},           {"--fixed-step", "0"},
        {"--fixed-step", "-5"},         {"--fixed-step", "5x"}, {"--fps", "0"},
        {"--shots", "first"},           {"--shots", "a:1,"},    {"--seek", ":100"},
        {"--shots", "first:100"},       {"--record", ""},       {"--frobnicate"},
        {"--fixed-step", "99999999999"}};
    for (const auto& arguments : bad) EXPECT_FALSE(parse(arguments).error.empty()) << arguments[0];
}

// Every number an option takes, at both ends of its range and just outside them.
TEST(CommandLine, NumbersAreTakenUpToBothEndsOfTheirRanges) {
    const struct {
        std::vector<std::string> arguments;
        bool accepted;
    } table[] = {
        {{"--fixed-step", "1"}, true},
        {{"--fixed-step", "0"}, false},
        {{"--fixed-step", "4294967295"}, true},
        {{"--fixed-step", "4294967296"}, false},
        {{"--record", "a.mp4", "--fps", "1"}, true},
        {{"--record", "a.mp4", "--fps", "0"}, false},
        {{"--record", "a.mp4", "--fps", "1000"}, true},
        {{"--record", "a.mp4", "--fps", "1001"}, false},
        {{"--record", "a.mp4", "--size", "16x16"}, true},
        {{"--record", "a.mp4", "--size", "14x16"}, false},
        {{"--record", "a.mp4", "--size", "16x14"}, false},
        {{"--record", "a.mp4", "--size", "16384x16384"}, true},
        {{"--record", "a.mp4", "--size", "16386x16384"}, false},
        {{"--record", "a.mp4", "--size", "16384x16386"}, false},
        {{"--scale", "0.5"}, true},
        {{"--scale", "0.49"}, false},
        {{"--scale", "1"}, true},
        {{"--scale", "1.01"}, false},
        {{"--record", "a.mp4", "--motion-blur", "1"}, true},
        {{"--record", "a.mp4", "--motion-blur", "0"}, false},
        {{"--record", "a.mp4", "--motion-blur", "256"}, true},
        {{"--record", "a.mp4", "--motion-blur", "257"}, false},
        {{"--record", "a.mp4", "--motion-blur", "2", "--shutter", "1"}, true},
        {{"--record", "a.mp4", "--motion-blur", "2", "--shutter", "0"}, false},
        {{"--record", "a.mp4", "--motion-blur", "2", "--shutter", "360"}, true},
        {{"--record", "a.mp4", "--motion-blur", "2", "--shutter", "361"}, false},
        {{"--record", "a.mp4", "--loudness", "-70"}, true},
        {{"--record", "a.mp4", "--loudness", "-70.1"}, false},
        {{"--record", "a.mp4", "--loudness", "0"}, true},
        {{"--record", "a.mp4", "--loudness", "0.1"}, false},
        {{"--record", "a.mp4", "--loudness", "-14.5"}, true},
        {{"--record", "a.mp4", "--loudness", "-14dB"}, false},
        {{"--record", "a.mp4", "--loudness", "nan"}, false},
    };
    for (const auto& row : table) {
        Options options = parse(row.arguments);
        EXPECT_EQ(options.error.empty(), row.accepted)
            << row.arguments[row.arguments.size() - 2] << " " << row.arguments.back();
    }
}

TEST(CommandLine, RecordingAndBenchmarkRunInBatchModeAtTheirSize) {
    Options record = parse({"--record", "demo.mp4", "--size", "1280x720"});
    ASSERT_TRUE(record.error.empty()) << record.error;
    EXPECT_TRUE(record.batch);
    EXPECT_EQ(record.width, 1280u);
    EXPECT_EQ(record.height, 720u);
    EXPECT_EQ(record.fps, 30u);
    Options benchmark = parse({"--benchmark", "--size", "1024x768"});
    ASSERT_TRUE(benchmark.error.empty()) << benchmark.error;
    EXPECT_EQ(benchmark.benchmarkFile, "");
    EXPECT_EQ(benchmark.width, 1024u);
    Options until = parse({"--benchmark", "--until", "second:5000"});
    ASSERT_TRUE(until.error.empty()) << until.error;
    EXPECT_TRUE(until.until);
    EXPECT_EQ(until.untilPoint.sequence, Sequence::Second);
    EXPECT_EQ(until.untilPoint.ms, 5000u);

    const std::vector<std::vector<std::string>> bad = {
        {"--size", "640x480"},                      // nothing to size
        {"--record", "a.mp4", "--size", "641x480"}, // odd sides do not fit yuv420p
        {"--record", "a.mp4", "--size", "640x"},
        {"--record", "a.mp4", "--size", "8x8"},
        {"--record", "a.mp4", "--size", "640*480"},
        {"--record", "a.mp4", "--benchmark"},
        {"--record", "a.mp4", "--size", "20000x480"},
        {"--until", "second:5000"},
        {"--benchmark", "--until", "second"},
        {"--motion-blur", "4"},                      // no step to spread the sub-frames over
        {"--record", "a.mp4", "--shutter", "90"},    // a shutter without sub-frames
        {"--fixed-step", "40", "--loudness", "-14"}, // no sound written
        {"--record", "a.mkv", "--frames", "0-10", "--loudness", "-14"}};
    for (const auto& arguments : bad) {
        Options options = parse(arguments);
        EXPECT_FALSE(options.error.empty()) << arguments.back();
    }
}

TEST(CommandLine, KeysAtPointsOfTheTimeline) {
    Options options = parse({"--batch", "--keys",
                             "first:20000:Escape,gamma:0:Enter,end:5:Space,"
                             "second:100:w,second:200:T"});
    ASSERT_TRUE(options.error.empty()) << options.error;
    ASSERT_EQ(options.keys.size(), 5u);
    EXPECT_EQ(options.keys[0].point.sequence, Sequence::First);
    EXPECT_EQ(options.keys[0].point.ms, 20000u);
    EXPECT_EQ(options.keys[0].keyCode, 27);
    EXPECT_EQ(options.keys[1].keyCode, 13);
    EXPECT_EQ(options.keys[2].keyCode, 32);
    EXPECT_EQ(options.keys[3].keyCode, 'W');
    EXPECT_EQ(options.keys[4].keyCode, 'T');

    const std::vector<std::vector<std::string>> bad = {
        {"--keys", "first:20000:Escape"},            // only in batch runs
        {"--batch", "--keys", "first:20000"},        // no key
        {"--batch", "--keys", "first:20000:Esc"},    // unknown key name
        {"--batch", "--keys", "first:20000:ab"},     // not one letter
        {"--batch", "--keys", "third:20000:Escape"}, // unknown sequence
        {"--batch", "--keys", "first:x:Escape"},     // no time
        {"--batch", "--keys", "first:1:Escape,"},    // empty item
        {"--batch", "--fixed-step", "40", "--shots", "middle:5"},
        {"--seek", "credits:0"}};
    for (const auto& arguments : bad)
        EXPECT_FALSE(parse(arguments).error.empty()) << arguments.back();
}

// A recording's name is checked before anything is drawn: its container must hold H.264 and
// AAC, or be .webm (VP9 and Opus). Letter case does not matter; a name without an ending is
// written as MP4.
TEST(CommandLine, RecordingContainers) {
    const struct {
        const char* name;
        RecordCodecs codecs;
    } table[] = {
        {"a.mp4", RecordCodecs::H264Aac},  {"a.MP4", RecordCodecs::H264Aac},
        {"a.mkv", RecordCodecs::H264Aac},  {"a.mov", RecordCodecs::H264Aac},
        {"clip", RecordCodecs::H264Aac},   {"run.d/clip", RecordCodecs::H264Aac},
        {"a.webm", RecordCodecs::Vp9Opus}, {"a.WebM", RecordCodecs::Vp9Opus},
        {"a.avi", RecordCodecs::Unknown},  {"a.", RecordCodecs::Unknown},
        {"a.gif", RecordCodecs::Unknown},  {"a.mp4.part", RecordCodecs::Unknown},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(recordCodecs(row.name), row.codecs);
        Options options = parse({"--record", row.name});
        if (row.codecs != RecordCodecs::Unknown) {
            EXPECT_EQ(options.error, "");
            continue;
        }
        EXPECT_EQ(options.error, "--record writes a video ending in .mp4, .mkv or .mov (H.264 + "
                                 "AAC) or .webm (VP9 + Opus), not '" +
                                     std::string(row.name) + "'");
    }
}

// Limits are named: the largest --size, and the last point of a sequence for --seek.
TEST(CommandLine, LimitsAreNamed) {
    const struct {
        std::vector<std::string> arguments;
        const char* error; // empty: accepted
    } table[] = {
        {{"--record", "a.mp4", "--size", "16384x16384"}, ""},
        {{"--record", "a.mp4", "--size", "16386x480"},
         "--size takes even WIDTHxHEIGHT from 16x16 to 16384x16384, e.g. 1280x720, not "
         "'16386x480'"},
        {{"--seek", "first:50000"}, ""},
        {{"--seek", "first:50001"},
         "--seek first:50001 lies past the end of the sequence, whose last point is first:50000"},
        {{"--seek", "second:999999"},
         "--seek second:999999 lies past the end of the sequence, whose last point is "
         "second:65000"},
        {{"--seek", "end:19999"}, ""},
        {{"--seek", "end:20000"},
         "--seek end:20000 lies past the end of the sequence, whose last point is end:19999"},
        {{"--seek", "gamma:999999"}, ""}, // the gamma screen waits for its key
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.arguments[1]);
        EXPECT_EQ(parse(row.arguments).error, row.error);
    }
}
