#include <gtest/gtest.h>

#include "app/options.h"

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
    EXPECT_EQ(options.shots[1].sequence, "second");
    EXPECT_EQ(options.shots[1].ms, 20000u);
    EXPECT_EQ(options.shots[2].sequence, "end");
    EXPECT_EQ(options.recordFile, "out.mkv");
    EXPECT_EQ(options.fps, 60u);
    EXPECT_TRUE(options.seek);
    EXPECT_EQ(options.seekTo.sequence, "second");
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
    EXPECT_EQ(until.untilPoint.sequence, "second");
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
        {"--benchmark", "--until", "second"}};
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
    EXPECT_EQ(options.keys[0].point.sequence, "first");
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
