#include <gtest/gtest.h>

#include "platform/display_modes.h"
#include "platform/events.h"
#include "support/test_support.h"

namespace {

// The fake display: its mode list, what a change answers, and what was asked of it.
struct FakeDisplay {
    std::vector<DisplayMode> modes;
    int changeResult = kChangeSuccessful;
    int restoreTest = kChangeSuccessful;
    std::vector<DisplayMode> changes; // width 0: back to the desktop
    int cursorX = -1, cursorY = -1;
    int reads = 0;
    bool switchesModes = true;
    std::vector<int> monitorsAsked; // of every mode list and desktop mode read
    DisplayMode firstDesktop = {1920, 1080, 4, 60};
} fake;

// Two monitors: 1920 x 1080 on the left, 1280 x 1024 to its right.
bool fakeCurrent(int monitor, DisplayMode& mode) {
    fake.monitorsAsked.push_back(monitor);
    mode = monitor == 0 ? fake.firstDesktop : DisplayMode{1280, 1024, 4, 75};
    return true;
}
int fakeMonitorCount() {
    return 2;
}
bool fakeMonitorAt(int monitor, Monitor& found) {
    if (monitor < 0 || monitor > 1) return false;
    found = monitor == 0 ? Monitor{"A", 0, 0, fake.firstDesktop.width, fake.firstDesktop.height}
                         : Monitor{"B", 1920, 0, 1280, 1024};
    return true;
}
bool fakeSwitchesModes() {
    return fake.switchesModes;
}
bool fakeModeAt(int monitor, int index, DisplayMode& mode) {
    fake.monitorsAsked.push_back(monitor);
    ++fake.reads;
    if (index < 0 || index >= static_cast<int>(fake.modes.size())) return false;
    mode = fake.modes[index];
    return true;
}
int fakeChange(const DisplayMode* mode) {
    fake.changes.push_back(mode != nullptr ? *mode : DisplayMode{});
    return mode != nullptr ? fake.changeResult : kChangeSuccessful;
}
int fakeTestRestore() {
    return fake.restoreTest;
}
void fakePlaceCursor(int x, int y) {
    fake.cursorX = x, fake.cursorY = y;
}

const DisplayMode kWanted = {1024, 768, 4, 75};

class DisplayModes : public testing::Test {
  protected:
    void SetUp() override {
        fake = FakeDisplay{};
        fake.modes = {{640, 480, 4, 75},  {1024, 768, 4, 60}, {1024, 768, 2, 75},
                      {1024, 768, 4, 75}, {1024, 768, 4, 75}, {1280, 1024, 4, 0}};
        displayModeState = DisplayModeState{};
        displayModeState.backend = {fakeCurrent,     fakeModeAt,       fakeChange,
                                    fakeTestRestore, fakePlaceCursor,  fakeMonitorCount,
                                    fakeMonitorAt,   fakeSwitchesModes};
        eventState = EventState{};
        eventState.fixedStepMs = 1; // the 200 ms pauses pass on the virtual clock
        failureState.batch = true;
    }
    void TearDown() override {
        displayModeState = DisplayModeState{};
        eventState = EventState{};
    }
};

} // namespace

TEST_F(DisplayModes, ExactMatchAt32BitsEvenForA16BitSetting) {
    EXPECT_TRUE(switchDisplayMode({1024, 768, 2, 75}));
    ASSERT_EQ(fake.changes.size(), 1u);
    EXPECT_EQ(fake.changes[0].bytesPerPixel, 4);
    EXPECT_EQ(fake.changes[0].refreshRate, 75);
    EXPECT_EQ(fake.reads, 4); // the first match ends the search
    EXPECT_TRUE(displayModeState.changed);
    EXPECT_EQ(fake.cursorX, 512);
    EXPECT_EQ(fake.cursorY, 384);
    EXPECT_EQ(eventState.virtualTicks, 200u);

    restoreDisplayMode();
    EXPECT_FALSE(displayModeState.changed);
    ASSERT_EQ(fake.changes.size(), 2u);
    EXPECT_EQ(fake.changes[1].width, 0); // back to the desktop
    restoreDisplayMode();                // a second restore does nothing
    EXPECT_EQ(fake.changes.size(), 2u);
}

TEST_F(DisplayModes, UnlistedFailureReturnsFalse) {
    fake.changeResult = kChangeBadParam;
    EXPECT_FALSE(switchDisplayMode(kWanted));
    EXPECT_FALSE(displayModeState.changed);
    EXPECT_EQ(fake.cursorX, -1);
    restoreDisplayMode(); // nothing was changed: nothing to restore
    EXPECT_EQ(fake.changes.size(), 1u);
}

TEST_F(DisplayModes, FailedRestoreGoesBackToTheSavedModeWithANotice) {
    BoxRecorder boxes;
    ASSERT_TRUE(switchDisplayMode(kWanted));
    fake.restoreTest = kChangeNotUpdated;
    restoreDisplayMode();
    ASSERT_EQ(fake.changes.size(), 3u);
    EXPECT_EQ(fake.changes[2].width, 1920);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].caption, "WINDOWS ERROR");
    EXPECT_EQ(boxes.boxes[0].text,
              "An error occured while resetting to old video resolution !\nWindows message :\n"
              "Unable to write settings to the registry\n\nOld video mode was :\n\n"
              "1024 x 768 x 32 bpp at 75 Hz");
    EXPECT_FALSE(displayModeState.changed);
}

// A size offered at the rate "?" because the display lacks it: full screen covers the
// desktop, whose mode stays; a listed size at that rate still switches.
TEST_F(DisplayModes, UnlistedSizeAtAnUnknownRateCoversTheDesktopWithoutASwitch) {
    for (DisplayMode wanted : {DisplayMode{800, 600, 4, 0}, DisplayMode{1024, 768, 4, 0},
                               DisplayMode{1920, 1080, 4, 0}, DisplayMode{1280, 1024, 4, 0}}) {
        const bool covers = wanted.width != 1280; // 1280 x 1024 is listed at "?"
        SetUp();
        ASSERT_TRUE(switchDisplayMode(wanted));
        EXPECT_TRUE(displayModeState.changed);
        EXPECT_EQ(displayModeState.borderless, covers) << wanted.width;
        EXPECT_EQ(fake.changes.size(), covers ? 0u : 1u) << wanted.width;
        EXPECT_EQ(fake.cursorX, covers ? 960 : 640) << wanted.width;
        restoreDisplayMode();
        EXPECT_FALSE(displayModeState.changed);
    }
}

// The second monitor is switched: its modes are searched, its desktop mode is the one to go
// back to, and the cursor goes to the centre of its picture.
TEST_F(DisplayModes, SwitchOnTheSecondMonitorCentresTheCursorThere) {
    ASSERT_TRUE(switchDisplayMode(kWanted, 1));
    EXPECT_EQ(displayModeState.monitor, 1);
    EXPECT_EQ(displayModeState.desktop.width, 1280);
    EXPECT_EQ(fake.monitorsAsked, std::vector<int>(fake.monitorsAsked.size(), 1));
    EXPECT_EQ(fake.cursorX, 1920 + 512);
    EXPECT_EQ(fake.cursorY, 384);
    // A size it lacks at the rate "?" covers it.
    SetUp();
    ASSERT_TRUE(switchDisplayMode({800, 600, 4, 0}, 1));
    EXPECT_TRUE(displayModeState.borderless);
    EXPECT_EQ(fake.cursorX, 1920 + 640);
    EXPECT_EQ(monitorCount(), 2);
}

// A compositor that sets no modes for its clients: full screen covers the monitor at any
// size and rate, listed or not, without a change and without a fatal report.
TEST_F(DisplayModes, DesktopWithoutModeSwitchesIsCoveredAtAnySize) {
    for (DisplayMode wanted : {kWanted, DisplayMode{1024, 768, 4, 85},
                               DisplayMode{2560, 1600, 4, 0}, DisplayMode{640, 480, 4, 75}}) {
        SetUp();
        fake.switchesModes = false;
        ASSERT_TRUE(switchDisplayMode(wanted));
        EXPECT_TRUE(displayModeState.changed);
        EXPECT_TRUE(displayModeState.borderless);
        EXPECT_EQ(displayModeState.chosen.width, 1920);
        EXPECT_TRUE(fake.changes.empty());
        EXPECT_EQ(fake.cursorX, 960);
        restoreDisplayMode();
        EXPECT_FALSE(displayModeState.changed);
    }
}

using DisplayModesDeathTest = DisplayModes;

// A stored size the display has at another rate plays at the display's rate; one it lacks
// plays as the covering window, scaled (also beyond the desktop's size). Either is told,
// except for a size offered at the rate "?".
TEST_F(DisplayModes, MissingModesPlayAtTheDisplaysRateOrCovered) {
    const struct {
        DisplayMode wanted;
        bool covers;
        int chosenRate;
        const char* notice; // empty: none
    } cases[] = {
        {{1024, 768, 4, 85},
         false,
         60,
         "The display has no video mode 1024 x 768 x 32 bpp at 85 Hz !\n\nThe demo plays at "
         "1024 x 768 x 32 bpp at 60 Hz instead."},
        {{640, 480, 4, 0}, true, 60, ""}, // as the dialog's "?" entries
        {{800, 600, 4, 75},
         true,
         60,
         "The display has no video mode 800 x 600 x 32 bpp at 75 Hz !\n\nThe demo plays in "
         "full screen at the desktop's mode, its pictures drawn at 800 x 600 and scaled to the "
         "screen."},
        {{1600, 1200, 4, 0},
         true,
         60,
         "The display has no video mode 1600 x 1200 x 32 bpp at 0 Hz !\n\nThe demo plays in "
         "full screen at the desktop's mode, its pictures drawn at 1600 x 1200 and scaled to "
         "the screen."},
        {{800, 600, 4, 0}, true, 60, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.wanted.width);
        SetUp();
        BoxRecorder boxes;
        ASSERT_TRUE(switchDisplayMode(c.wanted));
        EXPECT_EQ(displayModeState.borderless, c.covers);
        EXPECT_EQ(displayModeState.chosen.refreshRate, c.chosenRate);
        EXPECT_EQ(fake.changes.size(), c.covers ? 0u : 1u);
        if (*c.notice == '\0') {
            EXPECT_TRUE(boxes.boxes.empty());
            continue;
        }
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(boxes.boxes[0].caption, "ATTENTION !");
        EXPECT_EQ(boxes.boxes[0].text, c.notice);
    }
}

// A handheld's 16:10 panel with its one mode, 1280 x 800: its own size switches; a 4:3 size
// offered at "?" covers it without a word (the picture between bars), one asked for at a rate
// is told; a size larger than the panel covers it too, scaled down.
TEST_F(DisplayModes, HandheldPanelWithItsOneMode) {
    const struct {
        DisplayMode wanted;
        bool covers;
        bool notice;
    } cases[] = {
        {{1280, 800, 4, 60}, false, false}, {{1024, 768, 4, 0}, true, false},
        {{640, 480, 4, 0}, true, false},    {{1024, 768, 4, 75}, true, true},
        {{1280, 800, 4, 75}, false, true},  {{1920, 1200, 4, 0}, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.wanted.width) + "@" + std::to_string(c.wanted.refreshRate));
        SetUp();
        fake.firstDesktop = {1280, 800, 4, 60};
        fake.modes = {{1280, 800, 4, 60}};
        BoxRecorder boxes;
        ASSERT_TRUE(switchDisplayMode(c.wanted));
        EXPECT_EQ(displayModeState.borderless, c.covers);
        EXPECT_EQ(displayModeState.chosen.width, 1280);
        EXPECT_EQ(displayModeState.chosen.refreshRate, 60);
        EXPECT_EQ(fake.changes.size(), c.covers ? 0u : 1u);
        EXPECT_EQ(boxes.boxes.size(), c.notice ? 1u : 0u);
        EXPECT_TRUE(fake.cursorX == 640 && fake.cursorY == 400);
        restoreDisplayMode();
        EXPECT_FALSE(displayModeState.changed);
    }
}

TEST_F(DisplayModesDeathTest, ASizeNoWindowCanHaveIsFatal) {
    EXPECT_EXIT(switchDisplayMode({20000, 1200, 4, 0}), testing::ExitedWithCode(1),
                "fatal\tWINDOWS ERROR\tNo supported video mode found !.*20000 x 1200 x 32 bpp at "
                "0 Hz\n");
}

TEST_F(DisplayModesDeathTest, ListedFailureIsFatalWithItsReason) {
    fake.changeResult = kChangeBadMode;
    EXPECT_EXIT(switchDisplayMode(kWanted), testing::ExitedWithCode(1),
                "fatal\tWINDOWS ERROR\tSwitching to new video resolution failed !\\\\nWindows "
                "message :\\\\nThe graphics mode is not supported\\\\n\\\\nDesired video mode "
                "was :\\\\n\\\\n1024 x 768 x 32 bpp at 75 Hz\n");
}
