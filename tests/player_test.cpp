// The player: where seeks and frame steps land on the clock's grid, and, on the whole program,
// that the picture after a seek, a step or a restart is exactly the picture a whole run with the
// same fixed step draws at that point.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/options.h"
#include "app/player.h"
#include "app/replay.h"
#include "platform/events.h"
#include "support/demo_runs.h"
#include "support/pictures.h"
#include "support/test_support.h"

namespace {

constexpr ClockGrid kStep40{40, 1};
constexpr ClockGrid kThirtyFps{1000, 30};

TEST(ClockGrid, FramesFallWhereTheFixedStepWithItsCarryPutsThem) {
    struct Case {
        ClockGrid grid;
        uint32_t ms;
        uint32_t atOrBefore, delta, carry, next, previous;
    };
    const Case cases[] = {
        {kStep40, 0, 0, 0, 0, 40, 0},    // the start: no step before it
        {kStep40, 39, 0, 0, 0, 40, 0},   // off the grid: the frame before
        {kStep40, 40, 40, 40, 0, 80, 0}, //
        {kStep40, 50000, 50000, 40, 0, 50040, 49960},
        {kThirtyFps, 33, 33, 33, 10, 66, 0},    // 1000/30: 33, 66, 100, ...
        {kThirtyFps, 99, 66, 33, 20, 100, 66},  // just before a whole frame
        {kThirtyFps, 100, 100, 34, 0, 133, 66}, // the carried millisecond comes back
        {kThirtyFps, 5000, 5000, 34, 0, 5033, 4966},
        {ClockGrid{}, 17, 16, 16, 40, 33, 16}, // real time: the 1/60 s grid
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.grid.stepMs) + "/" + std::to_string(c.grid.divisor) + " at " +
                     std::to_string(c.ms));
        GridFrame frame = gridFrameAtOrBefore(c.grid, c.ms);
        EXPECT_EQ(frame.ms, c.atOrBefore);
        EXPECT_EQ(frame.deltaMs, c.delta);
        EXPECT_EQ(frame.carry, c.carry);
        EXPECT_EQ(nextGridFrame(c.grid, c.ms).ms, c.next);
        EXPECT_EQ(previousGridFrame(c.grid, c.ms).ms, c.previous);
    }
}

std::string pointText(TimelinePoint point) {
    return std::string(sequenceName(point.sequence)) + ":" + std::to_string(point.ms);
}

TEST(PlayerMoves, SeeksCrossTheSequencesAndStopAtTheTimelinesEnds) {
    struct Case {
        ClockGrid grid;
        TimelinePoint from;
        int32_t by;
        TimelinePoint to;
    };
    using S = Sequence;
    const Case cases[] = {
        {kStep40, {S::First, 20000}, 5000, {S::First, 25000}},
        {kStep40, {S::First, 3000}, -5000, {S::First, 0}},        // before the start
        {kStep40, {S::First, 47000}, 5000, {S::Second, 2000}},    // across, forward
        {kStep40, {S::First, 45000}, 5000, {S::Second, 0}},       // onto the second's start
        {kStep40, {S::Second, 0}, -5000, {S::First, 45000}},      // across, back
        {kStep40, {S::Second, 63000}, 5000, {S::End, 3000}},      //
        {kStep40, {S::End, 2000}, -5000, {S::Second, 62000}},     //
        {kStep40, {S::End, 17000}, 5000, {S::End, 19960}},        // the end screen's last frame
        {kStep40, {S::End, 19960}, 5000, {S::End, 19960}},        //
        {kStep40, {S::First, 0}, -5000, {S::First, 0}},           //
        {kThirtyFps, {S::First, 20000}, 5000, {S::First, 25000}}, // 1000/30 lands on 25000
        {kThirtyFps, {S::First, 1010}, 5000, {S::First, 6000}},   // an odd start: the frame before
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(pointText(c.from) + " by " + std::to_string(c.by));
        TimelinePoint to = seekTarget(c.grid, c.from, c.by);
        EXPECT_EQ(pointText(to), pointText(c.to));
    }
}

TEST(PlayerMoves, FrameStepsGoOneFrameAndIntoTheNeighbouringSequence) {
    struct Case {
        TimelinePoint from;
        int32_t frames;
        TimelinePoint to;
    };
    using S = Sequence;
    const Case cases[] = {
        {{S::First, 20000}, 1, {S::First, 20040}},  {{S::First, 20000}, -1, {S::First, 19960}},
        {{S::First, 0}, -1, {S::First, 0}},         // nothing before the start
        {{S::First, 50000}, 1, {S::Second, 0}},     // the first scene's last frame
        {{S::Second, 0}, -1, {S::First, 50000}},    //
        {{S::Second, 65000}, 1, {S::End, 0}},       //
        {{S::End, 0}, -1, {S::Second, 65000}},      //
        {{S::End, 19960}, 1, {S::End, 19960}},      // nothing after the end screen's last
        {{S::End, 19960}, -1, {S::End, 19920}},     //
        {{S::First, 20010}, -1, {S::First, 20000}}, // off the grid: the frame before
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(pointText(c.from) + " by " + std::to_string(c.frames));
        EXPECT_EQ(pointText(stepTarget(kStep40, c.from, c.frames)), pointText(c.to));
    }
}

// The keys are read from the key table by the codes the window's keys and --keys both give.
TEST(PlayerKeys, KeyboardAndKeyNamesGiveTheSameCodes) {
    struct Case {
        SDL_Keycode key;
        const char* name;
        int code;
    };
    const Case cases[] = {
        {SDLK_SPACE, "Space", 32},  {SDLK_LEFT, "Left", 37},      {SDLK_RIGHT, "Right", 39},
        {SDLK_COMMA, "Comma", 188}, {SDLK_PERIOD, "Period", 190}, {SDLK_HOME, "Home", 36},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(virtualKeyFor(c.key), c.code);
        EXPECT_EQ(keyCodeForName(c.name), c.code);
    }
    EXPECT_EQ(keyCodeForName("left"), -1); // names are written as listed
    EXPECT_EQ(keyCodeForName("Pause"), -1);
}

// --- The whole program -------------------------------------------------------------------

// A run that moves with the player's keys and takes one shot, which must be the reference
// run's shot of that point pixel for pixel. Each ends with Escape in its last sequences, at a
// point after the run's start (a key goes down at the first frame at or after its point, and a
// frame after a press of the same key). All
// run at a fixed step of 100 ms, a tenth of a second a frame, to keep the whole run short.
struct MoveCase {
    const char* what;
    const char* arguments;
    const char* shot;
};

const MoveCase kMoves[] = {
    {"plain start at a point", "--seek first:25000 --keys first:25100:Escape,end:0:Escape",
     "first:25000"},
    {"seek forward among the stars",
     "--seek first:19000 --keys first:20000:Right,first:25100:Escape,end:0:Escape", "first:25000"},
    {"seek back among the stars",
     "--seek first:35000 --keys first:35000:Left,first:35100:Escape,end:0:Escape", "first:30000"},
    {"seek forward into the second scene",
     "--seek first:47000 --keys first:47000:Right,second:2100:Escape,end:0:Escape", "second:2000"},
    {"seek back into the first scene, and on among the stars",
     "--seek second:0 --keys second:0:Left,first:45100:Left,first:45200:Escape,end:0:Escape",
     "first:40100"},
    {"seek forward into the end screen",
     "--seek second:63000 --keys second:63000:Right,end:3100:Escape", "end:3000"},
    {"seek back from the end screen",
     "--seek end:2000 --keys end:2000:Left,second:62100:Escape,end:2100:Escape", "second:62000"},
    {"pause, a frame on, play",
     "--seek first:19000 --keys first:20000:Space,first:20000:Period,first:20000:Space,"
     "first:20200:Escape,end:0:Escape",
     "first:20100"},
    {"pause, a frame back, play",
     "--seek first:40000 --keys first:40000:Space,first:40000:Comma,first:39900:Space,"
     "first:40100:Escape,end:0:Escape",
     "first:39900"},
    {"pause, a frame on into the second scene",
     "--seek first:50000 --keys first:50000:Space,first:50000:Period,second:0:Space,"
     "second:200:Escape,end:0:Escape",
     "second:0"},
    {"restart", "--seek first:10000 --keys first:10000:Home,first:10100:Escape,end:0:Escape",
     "first:8000"},
};

std::string shotFile(const std::string& point) {
    std::string name = point;
    name[name.find(':')] = '-';
    return name + ".png";
}

TEST(PlayerRuns, ThePictureAfterAMoveIsTheWholeRunsPictureThere) {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0') GTEST_SKIP() << "no display";
    TempDir reference;
    prepareDemoFolder(reference.path, demoRunRecord(320, 240));
    std::string points;
    for (const MoveCase& move : kMoves)
        points += std::string(points.empty() ? "" : ",") + move.shot;
    DemoRun whole = runDemoProgram(reference.path, "--batch --fixed-step 100 --shots " + points,
                                   "playerref", 900);
    ASSERT_EQ(whole.exitCode, 0) << whole.err;

    for (const MoveCase& move : kMoves) {
        SCOPED_TRACE(move.what);
        TempDir dir;
        prepareDemoFolder(dir.path, demoRunRecord(320, 240));
        DemoRun run = runDemoProgram(dir.path,
                                     std::string("--batch --fixed-step 100 --shots ") + move.shot +
                                         " " + move.arguments,
                                     "playermove", 300);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const std::string name = shotFile(move.shot);
        ASSERT_TRUE(std::filesystem::exists(dir.file(name))) << run.err;
        RgbPicture expected = readPngRgb(reference.file(name));
        RgbPicture got = readPngRgb(dir.file(name));
        ASSERT_EQ(got.width, expected.width);
        ASSERT_EQ(got.height, expected.height);
        size_t differing = 0;
        for (size_t i = 0; i < got.pixels.size(); ++i)
            differing += got.pixels[i] != expected.pixels[i];
        EXPECT_EQ(differing, 0u) << name;
    }
}

} // namespace
