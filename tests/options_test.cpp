#include <gtest/gtest.h>

#include <cstring>

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
    EXPECT_EQ(options.fps.frames, 60u);
    EXPECT_EQ(options.fps.seconds, 1u);
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
        {{"--record", "a.mp4", "--fps", "1000000/1000"}, true},
        {{"--record", "a.mp4", "--fps", "1000001/1000"}, false},
        {{"--record", "a.mp4", "--fps", "1000000/1000000"}, true},
        {{"--record", "a.mp4", "--fps", "1000001/1000001"}, false},
        {{"--record", "a.mp4", "--fps", "999999/1000000"}, false},
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
    EXPECT_EQ(record.fps.frames, 30u);
    EXPECT_EQ(record.fps.seconds, 1u);
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

// A recording's name, --codec and --chroma are checked before anything is drawn. Letter case
// does not matter; a name without an ending is written as MP4, one ending in / is a folder.
TEST(CommandLine, RecordingOutputs) {
    using C = RecordContainer;
    using V = RecordVideo;
    const struct {
        std::vector<std::string> arguments;
        C container;
        V video;
        bool fullChroma;
        const char* error; // empty: accepted
    } table[] = {
        {{"a.mp4"}, C::Mp4, V::H264, false, ""},
        {{"a.MP4"}, C::Mp4, V::H264, false, ""},
        {{"clip"}, C::Mp4, V::H264, false, ""},
        {{"run.d/clip"}, C::Mp4, V::H264, false, ""},
        {{"a.mkv"}, C::Mkv, V::H264, false, ""},
        {{"a.mov"}, C::Mov, V::H264, false, ""},
        {{"a.webm"}, C::Webm, V::Vp9, false, ""},
        {{"a.WebM", "--chroma", "444"}, C::Webm, V::Vp9, true, ""},
        {{"a.mkv", "--codec", "vp9"}, C::Mkv, V::Vp9, false, ""},
        {{"a.mkv", "--codec", "FFV1"}, C::Mkv, V::Ffv1, false, ""},
        {{"a.mov", "--codec", "prores"}, C::Mov, V::ProRes, false, ""},
        {{"a.mp4", "--chroma", "444"}, C::Mp4, V::H264, true, ""},
        {{"a.mp4", "--chroma", "420"}, C::Mp4, V::H264, false, ""},
        {{"frames/"}, C::Folder, V::Png, false, ""},
        {{"out/frames/", "--codec", "png"}, C::Folder, V::Png, false, ""},
        {{"a.avi"},
         C::Mp4,
         V::H264,
         false,
         "--record writes .mp4, .mov or .mkv (H.264), .webm (VP9), .mkv with --codec ffv1, .mov "
         "with --codec prores, or a folder DIR/ (PNG frames and a WAV), not 'a.avi'"},
        {{"a."}, C::Mp4, V::H264, false, "--record writes"},
        {{"a.mp4.part"}, C::Mp4, V::H264, false, "--record writes"},
        {{"a.mp4", "--codec", "ffv1"},
         C::Mp4,
         V::H264,
         false,
         "--codec ffv1 is written into .mkv, not 'a.mp4'"},
        {{"a.webm", "--codec", "prores"},
         C::Mp4,
         V::H264,
         false,
         "--codec prores is written into .mov, not 'a.webm'"},
        {{"a.mp4", "--codec", "png"},
         C::Mp4,
         V::H264,
         false,
         "--codec png is written into a folder (a name ending in /), not 'a.mp4'"},
        {{"frames/", "--codec", "h264"},
         C::Mp4,
         V::H264,
         false,
         "--codec h264 is written into .mp4, .mov or .mkv, not 'frames/'"},
        {{"a.mp4", "--codec", "hevc"},
         C::Mp4,
         V::H264,
         false,
         "--codec takes h264, vp9, ffv1, prores or png, not 'hevc'"},
        {{"a.mkv", "--codec", "ffv1", "--chroma", "444"},
         C::Mp4,
         V::H264,
         false,
         "--chroma is for H.264 and VP9; ffv1 keeps the colour of every pixel already"},
        {{"a.mp4", "--chroma", "422"},
         C::Mp4,
         V::H264,
         false,
         "--chroma takes 420 or 444, not '422'"},
    };
    for (const auto& row : table) {
        std::vector<std::string> arguments = {"--record"};
        arguments.insert(arguments.end(), row.arguments.begin(), row.arguments.end());
        SCOPED_TRACE(arguments[1]);
        Options options = parse(arguments);
        EXPECT_EQ(options.error.substr(0, std::strlen(row.error)), row.error);
        if (row.error[0] != '\0') {
            EXPECT_FALSE(options.error.empty());
            continue;
        }
        EXPECT_EQ(options.recordFormat.container, row.container);
        EXPECT_EQ(options.recordFormat.video, row.video);
        EXPECT_EQ(options.recordFormat.fullChroma, row.fullChroma);
    }
    EXPECT_EQ(parse({"--codec", "ffv1"}).error, "--codec and --chroma need --record");
    EXPECT_EQ(parse({"--chroma", "444"}).error, "--codec and --chroma need --record");
}

// Frame rates as exact fractions in lowest terms; anything else is refused.
TEST(CommandLine, FrameRatesAreExactFractions) {
    const struct {
        const char* text;
        uint32_t frames, seconds; // 0: refused
    } table[] = {
        {"30", 30, 1},
        {"60000/1001", 60000, 1001},
        {"30000/1001", 30000, 1001},
        {"24000/1001", 24000, 1001},
        {"120/2", 60, 1},
        {"1", 1, 1},
        {"1000", 1000, 1},
        {"2/2", 1, 1},
        {"0", 0, 0},
        {"1/2", 0, 0},
        {"1001", 0, 0},
        {"30/0", 0, 0},
        {"/1001", 0, 0},
        {"30/", 0, 0},
        {"30/1/1", 0, 0},
        {"-30", 0, 0},
        {"30.5", 0, 0},
        {"", 0, 0},
    };
    for (const auto& row : table) {
        FrameRate rate{7, 7};
        bool accepted = parseFrameRate(row.text, rate);
        EXPECT_EQ(accepted, row.frames != 0) << row.text;
        if (!accepted) continue;
        EXPECT_EQ(rate.frames, row.frames) << row.text;
        EXPECT_EQ(rate.seconds, row.seconds) << row.text;
        EXPECT_EQ(frameRateText(rate),
                  row.seconds == 1 ? std::to_string(row.frames) : std::string(row.text))
            << row.text;
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
