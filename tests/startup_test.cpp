#include <gtest/gtest.h>

#include "app/startup.h"
#include "config/configuration.h"
#include "platform/display_modes.h"
#include "platform/events.h"
#include "support/test_support.h"

namespace {

int changes = 0;
bool oneMode(int, int index, DisplayMode& mode) {
    mode = {1024, 768, 4, 75};
    return index == 0;
}
bool desktop(int, DisplayMode& mode) {
    return oneMode(0, 0, mode);
}
int unlistedFailure(const DisplayMode*) {
    ++changes;
    return kChangeBadParam;
}

const char* const kQuestion =
    "Fullscreen mode failed !\n\nDo you want to use the windowed mode instead ?\n\nClick YES to "
    "continue using windowed mode\nor click NO to exit the program now...";

class DisplaySetUp : public testing::Test {
  protected:
    void SetUp() override {
        changes = 0;
        configState = ConfigState{};
        applyConfiguration();
        displayModeState = DisplayModeState{};
        displayModeState.backend.currentMode = desktop;
        displayModeState.backend.modeAt = oneMode;
        displayModeState.backend.change = unlistedFailure;
        eventState = EventState{};
        eventState.fixedStepMs = 1;
        writeWholeFile(kConfigFileName, std::vector<unsigned char>(80, 0));
    }
    TempDir dir;
    ScopedChdir inDir{dir.path};
};

} // namespace

TEST_F(DisplaySetUp, WindowedLeavesTheDisplayAlone) {
    BoxRecorder boxes;
    configState.running.fullscreen = false;
    EXPECT_TRUE(setUpDisplayMode());
    EXPECT_EQ(changes, 0);
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(DisplaySetUp, YesGoesOnWindowedAndStoresIt) {
    BoxRecorder boxes(true);
    EXPECT_TRUE(setUpDisplayMode());
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].kind, BoxKind::Question);
    EXPECT_EQ(boxes.boxes[0].caption, "QUESTION");
    EXPECT_EQ(boxes.boxes[0].text, kQuestion);
    EXPECT_FALSE(configState.running.fullscreen);
    EXPECT_EQ(configState.record.block1.fullscreen, 0);
    EXPECT_EQ(readWholeFile(kConfigFileName), std::vector<unsigned char>(80, 0)); // saved later
}

TEST_F(DisplaySetUp, NoSavesTheConfigurationAndEnds) {
    BoxRecorder boxes(false);
    EXPECT_FALSE(setUpDisplayMode());
    EXPECT_EQ(changes, 1);
    std::vector<unsigned char> saved = readWholeFile(kConfigFileName);
    ASSERT_EQ(saved.size(), 80u);
    EXPECT_EQ(saved[0], 1); // still full screen: only the dialog's choices were stored
}
