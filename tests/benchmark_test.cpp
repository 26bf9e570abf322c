// The benchmark's report: frame-time summaries and the JSON they are written as.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>

#include "app/benchmark.h"

TEST(BenchmarkSummary, MedianPercentileAndMaximum) {
    std::vector<double> times(100);
    std::iota(times.begin(), times.end(), 1.0); // 1 .. 100 ms
    std::shuffle(times.begin(), times.end(), std::mt19937(7));
    FrameTimeSummary summary = summariseFrameTimes(times);
    EXPECT_EQ(summary.frames, 100u);
    EXPECT_DOUBLE_EQ(summary.median, 50.5);
    EXPECT_DOUBLE_EQ(summary.p95, 95.0); // nearest rank: the 95th of 100
    EXPECT_DOUBLE_EQ(summary.max, 100.0);

    FrameTimeSummary odd = summariseFrameTimes({3.0, 1.0, 2.0});
    EXPECT_DOUBLE_EQ(odd.median, 2.0);
    EXPECT_DOUBLE_EQ(odd.p95, 3.0);
    FrameTimeSummary one = summariseFrameTimes({7.5});
    EXPECT_EQ(one.frames, 1u);
    EXPECT_DOUBLE_EQ(one.median, 7.5);
    EXPECT_DOUBLE_EQ(one.p95, 7.5);
    FrameTimeSummary none = summariseFrameTimes({});
    EXPECT_EQ(none.frames, 0u);
    EXPECT_DOUBLE_EQ(none.max, 0.0);
    // One slow frame among many shows in the maximum, not in the median or p95.
    std::vector<double> spike(1000, 10.0);
    spike[500] = 400.0;
    FrameTimeSummary spiked = summariseFrameTimes(spike);
    EXPECT_DOUBLE_EQ(spiked.median, 10.0);
    EXPECT_DOUBLE_EQ(spiked.p95, 10.0);
    EXPECT_DOUBLE_EQ(spiked.max, 400.0);
}

// A frame runs from the end of the one before, its swap and events included; a sequence's
// first frame from its own start, so that the sequence's set-up is no frame's time.
TEST(BenchmarkFrames, FirstFrameOfASequenceStartsAfterItsSetUp) {
    struct Step {
        Sequence sequence;
        double start, end; // when the frame hooks are called
        double frameMs;    // the time the frame is given
    };
    const Step steps[] = {
        {Sequence::Gamma, 0, 10, 10},
        {Sequence::First, 100, 110, 10}, // 90 ms of set-up after the gamma screen
        {Sequence::First, 115, 130, 20}, // 5 ms of swap and events before the hook
        {Sequence::First, 131, 140, 10},
        {Sequence::Second, 500, 520, 20},
        {Sequence::End, 900, 905, 5},
        {Sequence::End, 905, 912, 7},
    };
    FrameTimer timer;
    for (const Step& step : steps) {
        frameTimerStarts(timer, step.sequence, step.start);
        EXPECT_DOUBLE_EQ(frameTimerEnds(timer, step.sequence, step.end), step.frameMs)
            << sequenceName(step.sequence) << " at " << step.start;
    }
}

TEST(BenchmarkJson, StringsAreEscaped) {
    EXPECT_EQ(jsonString("llvmpipe (LLVM 15.0.6, 256 bits)"),
              "\"llvmpipe (LLVM 15.0.6, 256 bits)\"");
    EXPECT_EQ(jsonString("a\"b\\c\nd\te"), "\"a\\\"b\\\\c\\nd\\te\"");
    EXPECT_EQ(jsonString(std::string_view("\x01\x1f", 2)), "\"\\u0001\\u001f\"");
    EXPECT_EQ(jsonString("Grüße"), "\"Grüße\""); // UTF-8 passes through
}

TEST(BenchmarkJson, ReportHoldsEveryField) {
    BenchmarkReport report;
    report.loadingMs = 1234.5;
    report.first = {3001, 12.25, 15.5, 40.0, 0.7125};
    report.second = {3901, 20.0, 22.0, 30.0};
    report.end = {1200, 1.0, 2.0, 3.0};
    report.accountedPeakBytes = 123456789;
    report.peakResidentBytes = 987654321;
    report.renderer = "llvmpipe \"x\"";
    report.width = 1280;
    report.height = 720;
    report.stepMs = 1000.0 / 60;
    std::string json = benchmarkJson(report);
    EXPECT_NE(json.find("\"loading_ms\": 1234.500"), std::string::npos) << json;
    EXPECT_NE(json.find("\"first\": {\"frames\": 3001, \"frame_ms\": {\"median\": 12.250, "
                        "\"p95\": 15.500, \"max\": 40.000}, \"mean_scale\": 0.713}"),
              std::string::npos)
        << json;
    EXPECT_NE(json.find("\"second\": {\"frames\": 3901"), std::string::npos);
    EXPECT_NE(json.find("\"max\": 30.000}, \"mean_scale\": 1.000}"), std::string::npos)
        << "without the governor";
    EXPECT_NE(json.find("\"end\": {\"frames\": 1200"), std::string::npos);
    EXPECT_NE(json.find("\"accounted_peak_bytes\": 123456789"), std::string::npos);
    EXPECT_NE(json.find("\"peak_rss_bytes\": 987654321"), std::string::npos);
    EXPECT_NE(json.find("\"renderer\": \"llvmpipe \\\"x\\\"\""), std::string::npos);
    EXPECT_NE(json.find("\"resolution\": {\"width\": 1280, \"height\": 720}"), std::string::npos);
    EXPECT_NE(json.find("\"step_ms\": 16.667"), std::string::npos);
    // Balanced braces and no trailing commas before a closing brace.
    EXPECT_EQ(std::count(json.begin(), json.end(), '{'), std::count(json.begin(), json.end(), '}'));
    EXPECT_EQ(json.find(",\n}"), std::string::npos);
    EXPECT_EQ(json.find(",\n  }"), std::string::npos);
}

// The closing line: the figures of each part, the governor's scale next to those drawn below
// scale 1, and how to measure full resolution only then.
TEST(BenchmarkSummary, FiguresWithTheScaleTheyWereDrawnAt) {
    const std::string end = "; end screen 1200 frames, median 1.0 ms, p95 2.0 ms";
    const std::string hint = " (the 3D scenes are timed at the frame-time governor's scale; "
                             "--scale 1 measures full resolution)";
    const struct {
        double firstScale, secondScale;
        const char* file;
        std::string line;
    } cases[] = {
        {1.0, 1.0, "",
         "film03: benchmark on standard output: first scene 3001 frames, median 12.4 ms, p95 "
         "15.5 ms; second scene 3901 frames, median 20.0 ms, p95 22.0 ms" +
             end},
        {0.5, 0.995, "t.json",
         "film03: benchmark in t.json: first scene 3001 frames, median 12.4 ms, p95 15.5 ms at "
         "scale 0.50; second scene 3901 frames, median 20.0 ms, p95 22.0 ms" +
             end + hint},
        {1.0, 0.9949, "t.json",
         "film03: benchmark in t.json: first scene 3001 frames, median 12.4 ms, p95 15.5 ms; "
         "second scene 3901 frames, median 20.0 ms, p95 22.0 ms at scale 0.99" +
             end + hint},
    };
    for (const auto& c : cases) {
        BenchmarkReport report;
        report.first = {3001, 12.4, 15.5, 40.0, c.firstScale};
        report.second = {3901, 20.0, 22.0, 30.0, c.secondScale};
        report.end = {1200, 1.0, 2.0, 3.0};
        EXPECT_EQ(benchmarkSummary(report, c.file), c.line);
    }
}

TEST(BenchmarkMemory, PeakResidentSizeIsMeasured) {
    uint64_t before = peakResidentBytes();
    EXPECT_GT(before, 1u << 20);          // a running test program holds more than a megabyte
    std::vector<char> block(64 << 20, 1); // touched, so resident
    EXPECT_GE(peakResidentBytes(), before + (32u << 20)) << int(block[12345]);
}
