// Motion blur: where the sub-frames of a frame fall in its shutter interval, their mean at 16
// bits per channel, and whole runs whose blurred screenshots are the mean of the screenshots
// taken at the sub-frame times of a run without blur.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/motion_blur.h"
#include "render/frame_average.h"
#include "support/demo_runs.h"
#include "support/pictures.h"
#include "support/test_support.h"

// Offsets of the sub-frames from the frame's time, in whole milliseconds rounded down.
TEST(MotionBlur, SubFramesSpreadEvenlyOverTheShutter) {
    const struct {
        uint32_t subFrames, shutter, stepMs, stepDivisor;
        std::vector<uint32_t> offsets;
    } table[] = {
        {1, 180, 1000, 30, {0}},                   // no blur
        {4, 180, 1000, 30, {0, 4, 8, 12}},         // 33.3 ms frames: 4.17 ms apart
        {3, 90, 40, 1, {0, 3, 6}},                 // 3.33 ms apart, rounded down
        {2, 360, 40, 1, {0, 20}},                  // the whole step: never reaches the next frame
        {4, 1, 40, 1, {0, 0, 0, 0}},               // a shutter shorter than a millisecond
        {2, 180, 1001000, 60000, {0, 4}},          // 60000/1001 frames a second
        {256, 360, 1000, 1, {0, 3, 7, 11}},        // the most sub-frames (the first four)
        {2, 360, 4294967295u, 1, {0, 2147483647}}, // the longest step: no overflow
    };
    for (const auto& row : table)
        for (uint32_t k = 0; k < row.offsets.size(); ++k)
            EXPECT_EQ(subFrameOffsetMs(k, row.subFrames, row.shutter, row.stepMs, row.stepDivisor),
                      row.offsets[k])
                << row.subFrames << " sub-frames, " << row.shutter << " degrees, k = " << k;
    // The last sub-frame stays inside the shutter interval.
    EXPECT_EQ(subFrameOffsetMs(255, 256, 360, 1000, 1), 996u);
    EXPECT_EQ(subFrameOffsetMs(255, 256, 180, 1000, 30), 16u); // of 16.67
}

// The mean rounds half up, the sum holds 256 frames of 255, and frames of neighbouring levels
// average to the level between them instead of falling to the lower one.
TEST(MotionBlur, MeanOfTheSumRoundsAndKeepsEveryLevel) {
    const struct {
        std::vector<uint8_t> frames; // one value per frame
        uint8_t mean;
    } table[] = {
        {{0}, 0},
        {{255}, 255},
        {{0, 1}, 1}, // half rounds up
        {{10, 11, 11, 11}, 11},
        {std::vector<uint8_t>(256, 255), 255}, // 65280 in the sum
        {std::vector<uint8_t>(256, 0), 0},
    };
    for (const auto& row : table) {
        uint16_t sum = 0;
        for (uint8_t value : row.frames) addPixelsToSum(&value, &sum, 1);
        uint8_t mean = 0;
        meanOfSum(&sum, uint32_t(row.frames.size()), &mean, 1);
        EXPECT_EQ(int(mean), int(row.mean)) << row.frames.size() << " frames";
    }
    // The multiplication stands in for the division at every sum of every count.
    for (uint32_t frames = 1; frames <= kMaxAveragedFrames; ++frames) {
        std::vector<uint16_t> sums(frames * 255 + 1);
        for (size_t i = 0; i < sums.size(); ++i) sums[i] = uint16_t(i);
        std::vector<uint8_t> means(sums.size());
        meanOfSum(sums.data(), frames, means.data(), sums.size());
        for (size_t i = 0; i < sums.size(); ++i)
            ASSERT_EQ(means[i], (i + frames / 2) / frames) << i << " / " << frames;
    }
}

// --- Whole runs ------------------------------------------------------------------------------

namespace {

class BlurredRuns : public testing::Test {
  protected:
    void SetUp() override {
        const char* display = std::getenv("DISPLAY");
        if (display == nullptr || *display == '\0') GTEST_SKIP() << "no display";
        prepareDemoFolder(dir.path, demoRunRecord(320, 240));
    }
    // A batch run from `seek`, ended by Escape one frame after it (and at the end screen's
    // start); the shot at `shot` is kept as `keepAs`.
    void shoot(const std::string& options, const std::string& seek, const std::string& shots,
               const std::string& escape) {
        std::string tag = testing::UnitTest::GetInstance()->current_test_info()->name();
        DemoRun run = runDemoProgram(dir.path,
                                     "--batch " + options + " --seek " + seek + " --shots " +
                                         shots + " --keys " + escape + ":Escape,end:0:Escape",
                                     tag, 300);
        ASSERT_EQ(run.exitCode, 0) << run.err;
    }
    RgbPicture keep(const std::string& shot, const std::string& name) {
        std::filesystem::rename(dir.file(shot), dir.file(name));
        return readPngRgb(dir.file(name));
    }
    TempDir dir;
};

// The mean of the pictures, channel by channel, rounded half up.
RgbPicture meanPicture(const std::vector<RgbPicture>& pictures) {
    RgbPicture mean = pictures.front();
    for (size_t i = 0; i < mean.pixels.size(); ++i) {
        size_t sum = 0;
        for (const RgbPicture& picture : pictures) sum += picture.pixels[i];
        mean.pixels[i] = uint8_t((sum + pictures.size() / 2) / pictures.size());
    }
    return mean;
}

int largestDifference(const RgbPicture& a, const RgbPicture& b) {
    int largest = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i)
        largest = std::max(largest, std::abs(int(a.pixels[i]) - int(b.pixels[i])));
    return largest;
}

} // namespace

// The second scene's camera flies and its picture fades in: a frame blurred over N sub-frames
// equals the mean of the frames drawn at the sub-frame times by a run at a 1 ms step.
TEST_F(BlurredRuns, ABlurredFrameIsTheMeanOfTheFramesAtItsSubFrameTimes) {
    shoot("--fixed-step 1", "second:2000",
          "second:2000,second:2003,second:2005,second:2006,second:2010,second:2015,second:2020",
          "second:2021");
    std::vector<RgbPicture> at(2021);
    for (uint32_t ms : {2000, 2003, 2005, 2006, 2010, 2015, 2020}) {
        std::string name = "second-" + std::to_string(ms) + ".png";
        at[ms] = keep(name, "sharp-" + name);
        ASSERT_EQ(at[ms].width, 320) << name;
    }
    ASSERT_GT(largestDifference(at[2000], at[2015]), 8) << "nothing moves in the interval";
    const struct {
        const char* options;
        std::vector<uint32_t> times;
    } table[] = {
        {"--motion-blur 1", {2000}}, // unchanged, byte for byte
        {"--motion-blur 4", {2000, 2005, 2010, 2015}},
        {"--motion-blur 3 --shutter 90", {2000, 2003, 2006}},
        {"--motion-blur 2 --shutter 360", {2000, 2020}},
    };
    for (const auto& row : table) {
        shoot(std::string("--fixed-step 40 ") + row.options, "second:2000", "second:2000",
              "second:2001");
        RgbPicture blurred = keep("second-2000.png", "blurred.png");
        ASSERT_EQ(blurred.width, 320) << row.options;
        std::vector<RgbPicture> sharp;
        for (uint32_t ms : row.times) sharp.push_back(at[ms]);
        EXPECT_LE(largestDifference(blurred, meanPicture(sharp)), row.times.size() > 1 ? 1 : 0)
            << row.options;
    }
}

// The first scene's stars are moved on once a frame, by the frame's step, whatever the
// number of sub-frames: with a shutter too short to move the clock, every sub-frame shows the
// frame's own time and the blurred frame is the frame without blur.
TEST_F(BlurredRuns, TheStarsMoveOnceAFrameWhateverTheSubFrames) {
    const char* runs[] = {"--fixed-step 40", "--fixed-step 40 --motion-blur 4 --shutter 1"};
    std::vector<RgbPicture> shots;
    for (const char* options : runs) {
        shoot(options, "first:29000", "first:30000", "first:30001");
        shots.push_back(keep("first-30000.png", "stars.png"));
        ASSERT_EQ(shots.back().width, 320) << options;
    }
    EXPECT_EQ(largestDifference(shots[0], shots[1]), 0);
}
