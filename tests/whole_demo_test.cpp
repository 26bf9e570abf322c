// The whole demo played unattended with a fixed step, as scripts and users run it in batch
// mode: every sequence for its full length, the configuration saved, memory given back, and
// the pictures at fixed points of the timeline held against the reference pictures.
//
// The references in tests/golden are screenshots of this run at half size. After a wanted
// change of the pictures, write them anew and look at each before committing:
//   ZORX_UPDATE_GOLDEN=1 xvfb-run -a -s "-screen 0 1280x1024x24" build/bin/whole_demo_test
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "support/demo_runs.h"
#include "support/test_support.h"

namespace {

// The points of the pictures, and the last frame of each sequence with the one after it.
const std::vector<std::string> kPicturePoints = {
    "gamma:0",     "first:5000",   "first:25000",  "first:44500", "first:47000",
    "second:2000", "second:30000", "second:62000", "end:4000",    "end:15000"};

std::string shotName(std::string point) {
    point[point.find(':')] = '-';
    return point + ".png";
}

std::string joined(const std::vector<std::string>& points) {
    std::string list;
    for (const std::string& point : points) list += (list.empty() ? "" : ",") + point;
    return list;
}

} // namespace

TEST(WholeDemo, PlaysEverySequenceForItsLengthAndDrawsTheReferencePictures) {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0') GTEST_SKIP() << "no display";
    TempDir dir;
    ConfigRecord record = demoRunRecord(320, 240);
    prepareDemoFolder(dir.path, record);
    // The file is rewritten, not only read: its time moves from long ago to now.
    struct timespec longAgo[2] = {{1000000000, 0}, {1000000000, 0}};
    utimensat(AT_FDCWD, dir.file(kConfigFileName).c_str(), longAgo, 0);

    // Each sequence's last frame is drawn at its end time; no frame comes after it.
    std::vector<std::string> points = kPicturePoints;
    points.insert(points.end(), {"first:50000", "first:50040", "second:65000", "second:65040",
                                 "end:19960", "end:20000"});
    DemoRun run = runDemoProgram(dir.path, "--batch --fixed-step 40 --shots " + joined(points),
                                 "wholedemo", 1400);
    EXPECT_EQ(run.exitCode, 0);
    // No box at all (no fatal report, no memory notice): only the shots after each end.
    EXPECT_EQ(run.err, "film03: no frame reached first:50040; first-50040.png was not written\n"
                       "film03: no frame reached second:65040; second-65040.png was not written\n"
                       "film03: no frame reached end:20000; end-20000.png was not written\n");
    for (const char* last : {"first-50000.png", "second-65000.png", "end-19960.png"})
        EXPECT_TRUE(std::filesystem::exists(dir.file(last))) << last;
    EXPECT_NE(run.out.find("Loading"), std::string::npos) << "the loading lines";

    struct stat saved = {};
    ASSERT_EQ(stat(dir.file(kConfigFileName).c_str(), &saved), 0);
    EXPECT_GT(saved.st_mtim.tv_sec, 1000000000) << "the configuration was not saved";
    std::vector<unsigned char> bytes = readWholeFile(dir.file(kConfigFileName));
    ASSERT_EQ(bytes.size(), sizeof record);
    EXPECT_EQ(std::memcmp(bytes.data(), &record, sizeof record), 0);

    for (const std::string& point : kPicturePoints) {
        std::string name = shotName(point);
        RgbPicture shot = readPngRgb(dir.file(name));
        ASSERT_EQ(shot.width, 320) << name;
        ASSERT_EQ(shot.height, 240) << name;
        if (updatingGoldens()) {
            EXPECT_TRUE(writePngRgb(goldenPath(name), shrinkPicture(shot, kGoldenShrink))) << name;
            continue;
        }
        RgbPicture golden = readPngRgb(goldenPath(name));
        ASSERT_GT(golden.width, 0) << "no reference picture " << goldenPath(name);
        GoldenVerdict verdict = compareWithGolden(shot, golden);
        EXPECT_TRUE(verdict.matches) << name << ": " << verdict.why;
    }
}
