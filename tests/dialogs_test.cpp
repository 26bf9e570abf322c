// The configuration dialogs driven through their logic: filling, reading, enabling rules,
// backups and the sound-layer calls, with a fake display and a fake sound layer.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "config/dialogs.h"
#include "fatal_pattern.h"
#include "support/test_support.h"

namespace {

struct FakeWorld {
    std::vector<DisplayMode> modes;       // of the first monitor
    std::vector<DisplayMode> secondModes; // of every other monitor
    std::vector<Monitor> monitors = {{"DP-1", 0, 0, 1600, 1200}};
    DisplayMode desktop = {1600, 1200, 4, 75};
    std::vector<std::string> drivers = {"Default", "Headphones", "HDMI"};
    std::vector<std::string> noSoundDrivers = {"Default"}; // NoSound's own list
    std::vector<int32_t> outputs; // audio output indexes handed to the sound layer
    std::vector<int32_t> driverCalls;
} world;

bool fakeModeAt(int monitor, int index, DisplayMode& mode) {
    const std::vector<DisplayMode>& modes = monitor == 0 ? world.modes : world.secondModes;
    if (index < 0 || index >= int(modes.size())) return false;
    mode = modes[size_t(index)];
    return true;
}
int fakeMonitorCount() {
    return int(world.monitors.size());
}
bool fakeMonitorAt(int monitor, Monitor& found) {
    if (monitor < 0 || monitor >= int(world.monitors.size())) return false;
    found = world.monitors[size_t(monitor)];
    return true;
}
bool fakeDesktop(int, DisplayMode& mode) {
    mode = world.desktop;
    return true;
}
void fakeSetOutput(int32_t output) {
    world.outputs.push_back(output);
}
// The drivers of the output handed over last.
const std::vector<std::string>& fakeDrivers() {
    bool noSound = !world.outputs.empty() && world.outputs.back() == 2;
    return noSound ? world.noSoundDrivers : world.drivers;
}
int fakeDriverCount() {
    return int(fakeDrivers().size());
}
const char* fakeDriverName(int driver) {
    return fakeDrivers()[size_t(driver)].c_str();
}
void fakeSetDriver(int32_t driver) {
    world.driverCalls.push_back(driver);
}

class Dialogs : public testing::Test {
  protected:
    void SetUp() override {
        world = FakeWorld{};
        world.modes = {{640, 480, 4, 60},   {640, 480, 4, 75},   {800, 600, 2, 85},
                       {800, 600, 4, 85},   {1024, 768, 4, 75},  {1024, 768, 4, 100},
                       {1152, 864, 4, 75},  {1024, 768, 4, 120}, {1280, 1024, 4, 75},
                       {1600, 1200, 4, 75}, {1600, 1200, 4, 75}};
        dialogState = DialogState{};
        dialogState.modeAt = fakeModeAt;
        dialogState.desktopMode = fakeDesktop;
        dialogState.monitorCount = fakeMonitorCount;
        dialogState.monitorAt = fakeMonitorAt;
        dialogState.sound = {fakeSetOutput, fakeDriverCount, fakeDriverName, fakeSetDriver};
        record = ConfigRecord{};
        failureState.batch = true;
    }
    void TearDown() override { dialogState = DialogState{}; }

    ConfigurationDialog& dialog() { return dialogState.configuration; }
    MoreSettingsDialog& more() { return dialogState.moreSettings; }
    ConfigRecord record;
};

// ---- Mode list ----

TEST_F(Dialogs, ModeListTakes32BitModesOfTheListedSizesAt75To100HzInDisplayOrder) {
    EXPECT_EQ(listVideoModes(0, 1024, 768),
              (std::vector<std::string>{
                  "640 x 480 x 32  ( at 75 Hz )", "800 x 600 x 32  ( at 85 Hz )",
                  "1024 x 768 x 32  ( at 75 Hz )", "1024 x 768 x 32  ( at 100 Hz )",
                  "1280 x 1024 x 32  ( at 75 Hz )", "1600 x 1200 x 32  ( at 75 Hz )",
                  "1600 x 1200 x 32  ( at 75 Hz )"}));
}

TEST_F(Dialogs, WithoutSuchModesTheSecondPassTakesAnyRateAndShowsAnUnknownRateAsQuestionMark) {
    world.modes = {{1024, 768, 4, 60},
                   {1280, 1024, 4, 0},
                   {1280, 1024, 2, 60},
                   {1366, 768, 4, 60},
                   {800, 600, 4, 120}};
    world.desktop = {1366, 768, 4, 60}; // of the sizes that fit, the display lacks 640 x 480
    // Sorted by size, whatever order the display lists them in.
    EXPECT_EQ(listVideoModes(0, 1024, 768),
              (std::vector<std::string>{
                  "640 x 480 x 32  ( at ? Hz )", "800 x 600 x 32  ( at 120 Hz )",
                  "1024 x 768 x 32  ( at 60 Hz )", "1280 x 1024 x 32  ( at ? Hz )"}));
}

TEST_F(Dialogs, ReadingAModeTakesItsNumbersAndAQuestionMarkAsRateZero) {
    ConfigBlock1 block;
    readVideoMode("1600 x 1200 x 32  ( at 100 Hz )", block);
    EXPECT_EQ(block.screenWidth, 1600);
    EXPECT_EQ(block.screenHeight, 1200);
    EXPECT_EQ(block.colourBits, 32);
    EXPECT_EQ(block.refreshRate, 100);
    readVideoMode("1280 x 1024 x 32  ( at ? Hz )", block);
    EXPECT_EQ(block.screenWidth, 1280);
    EXPECT_EQ(block.screenHeight, 1024);
    EXPECT_EQ(block.refreshRate, 0);
}

TEST_F(Dialogs, ChoosingAQuestionMarkEntryStoresRateZero) {
    world.modes = {{1024, 768, 4, 60}, {1280, 1024, 4, 0}};
    openConfigurationDialog(record.block1);
    const int entry = selectEntryStartingWith(dialog().videoMode, "1280 x 1024 x 32  ( at ? Hz )");
    ASSERT_GE(entry, 0);
    dialog().videoMode.selected = entry;
    confirmConfigurationDialog(record.block1);
    EXPECT_EQ(record.block1.screenWidth, 1280);
    EXPECT_EQ(record.block1.screenHeight, 1024);
    EXPECT_EQ(record.block1.refreshRate, 0);
    // The next start finds the same entry again.
    openConfigurationDialog(record.block1);
    EXPECT_EQ(dialog().videoMode.selected, entry);
}

using DialogsDeathTest = Dialogs;

TEST_F(DialogsDeathTest, NoUsableModeOnADesktopBelow640x480IsFatal) {
    world.modes = {{1024, 768, 2, 75}, {600, 400, 4, 60}};
    world.desktop = {600, 400, 4, 60};
    EXPECT_EXIT(listVideoModes(0, 600, 400), testing::ExitedWithCode(1),
                fatalPattern("WINDOWS ERROR", "No supported video resolution found !\n\nMaybe "
                                              "your video card does not support 32 Bit (true "
                                              "color).") +
                    "\n");
}

TEST_F(Dialogs, StoredModeIsSelectedElseItsSizeAt75HzElseTheLastEntry) {
    record.block1.screenWidth = 1024, record.block1.screenHeight = 768;
    record.block1.refreshRate = 100;
    openConfigurationDialog(record.block1);
    EXPECT_EQ(dialog().videoMode.selected, 3);

    record.block1.refreshRate = 85; // not offered: the 75 Hz entry of that size
    openConfigurationDialog(record.block1);
    EXPECT_EQ(dialog().videoMode.selected, 2);

    record.block1.screenWidth = 2048, record.block1.screenHeight = 1536; // beyond the desktop
    openConfigurationDialog(record.block1);
    EXPECT_EQ(dialog().videoMode.selected, 6);
    EXPECT_EQ(dialog().videoMode.entries[6], "1600 x 1200 x 32  ( at 75 Hz )");
}

// Displays that lack some of the offered sizes: those that fit on the desktop are offered at
// the rate "?", and a stored size that fits is kept.
std::string rate(int width, int height, int hz = 0) {
    return videoModeText(width, height, 32, hz);
}

TEST_F(Dialogs, SizesTheDisplayLacksAreOfferedWhereTheyFitAndTheStoredSizeIsKept) {
    struct Case {
        const char* what;
        std::vector<DisplayMode> modes;
        DisplayMode desktop, stored;
        std::vector<std::string> entries;
        int selected;
    };
    const DisplayMode hd = {1920, 1080, 4, 60}, sxga = {1280, 1024, 4, 0};
    const std::vector<std::string> onSxga = {rate(640, 480), rate(800, 600), rate(1024, 768),
                                             rate(1280, 1024)};
    const Case cases[] = {
        {"only 1920 x 1080",
         {hd},
         hd,
         {1024, 768, 4, 75},
         {rate(640, 480), rate(800, 600), rate(1024, 768), rate(1280, 1024)},
         2},
        {"only 1280 x 1024, the shipped size", {sxga}, sxga, {1024, 768, 4, 75}, onSxga, 2},
        {"only 1280 x 1024, a smaller size", {sxga}, sxga, {800, 600, 4, 75}, onSxga, 1},
        {"beyond the desktop", {sxga}, sxga, {1366, 1080, 4, 60}, onSxga, 3},
        {"below 640 x 480", {sxga}, sxga, {320, 240, 4, 75}, onSxga, 3},
        {"listed at another rate",
         {{1024, 768, 4, 60}, sxga},
         sxga,
         {1024, 768, 4, 85},
         {rate(640, 480), rate(800, 600), rate(1024, 768, 60), rate(1280, 1024)},
         2},
        {"of no list",
         {{1280, 1024, 4, 75}},
         {1920, 1200, 4, 60},
         {1152, 864, 4, 75},
         {rate(640, 480), rate(800, 600), rate(1024, 768), rate(1152, 864), rate(1280, 1024, 75),
          rate(1600, 1200)},
         3},
        {"all five listed: as before",
         world.modes,
         world.desktop,
         {1024, 768, 4, 75},
         listVideoModes(0, 1024, 768),
         2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(videoModeEntries(c.modes, c.desktop, c.stored.width, c.stored.height), c.entries);
        world.modes = c.modes, world.desktop = c.desktop;
        record.block1.screenWidth = c.stored.width, record.block1.screenHeight = c.stored.height;
        record.block1.refreshRate = c.stored.refreshRate;
        openConfigurationDialog(record.block1);
        EXPECT_EQ(dialog().videoMode.selected, c.selected);
    }
}

// ---- Configuration dialog ----

TEST_F(Dialogs, FillShowsTheRecordAndCorrectsWhatCannotBeShown) {
    record.block1.videoDevice = 3;
    record.block1.fullscreen = 0;
    record.block1.developerMode = 1;
    record.block1.audioOutput = 9; // unknown output: 1
    record.block1.audioDevice = 3; // beyond the last driver: 0
    record.block1.audioQuality = 2;
    openConfigurationDialog(record.block1);

    EXPECT_EQ(dialog().videoDevice.entries, std::vector<std::string>{"OpenGL 3D Accelerator"});
    EXPECT_EQ(dialog().videoDevice.selected, 0);
    EXPECT_EQ(record.block1.videoDevice, 0);
    EXPECT_FALSE(dialog().fullscreen.checked);
    EXPECT_TRUE(dialog().developerMode.checked);
    EXPECT_TRUE(dialog().developerMode.enabled);
    EXPECT_EQ(dialog().audioOutput.entries,
              (std::vector<std::string>{"PulseAudio/PipeWire", "ALSA", "NoSound"}));
    EXPECT_EQ(record.block1.audioOutput, 1);
    EXPECT_EQ(dialog().audioOutput.selected, 1);
    EXPECT_EQ(world.outputs, std::vector<int32_t>{1});
    EXPECT_EQ(dialog().audioDevice.entries, world.drivers);
    EXPECT_EQ(record.block1.audioDevice, 0);
    EXPECT_EQ(world.driverCalls, std::vector<int32_t>{0});
    EXPECT_EQ(dialog().audioQuality.entries,
              (std::vector<std::string>{"44.100 Hz  -  Normal", "22.050 Hz  -  Low",
                                        "11.025 Hz  -  Lowest"}));
    EXPECT_EQ(dialog().audioQuality.selected, 2);
    EXPECT_TRUE(dialog().audioQuality.enabled);
}

// ---- Monitors ----

TEST_F(Dialogs, DeviceListNamesEveryMonitorOnlyWhereThereIsMoreThanOne) {
    EXPECT_EQ(videoDeviceEntries(world.monitors),
              std::vector<std::string>{"OpenGL 3D Accelerator"});
    const std::vector<Monitor> two = {{"DUMMY0", 0, 0, 1280, 1024}, {"", 1280, 0, 1024, 768}};
    EXPECT_EQ(videoDeviceEntries(two),
              (std::vector<std::string>{"1: DUMMY0 (1280 x 1024)", "Monitor 2 (1024 x 768)"}));
}

TEST_F(Dialogs, StoredMonitorIsSelectedAndItsModesAreListed) {
    world.monitors.push_back({"HDMI-1", 1600, 0, 1024, 768});
    world.modes = {{1600, 1200, 4, 75}};
    world.secondModes = {{800, 600, 4, 85}, {1024, 768, 4, 75}};
    world.desktop = {320, 240, 4, 60}; // no size is offered at the rate "?"
    record.block1.videoDevice = 1;
    record.block1.screenWidth = 1024, record.block1.screenHeight = 768;
    BoxRecorder boxes;
    openConfigurationDialog(record.block1);
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_EQ(dialog().videoDevice.entries.size(), 2u);
    EXPECT_EQ(dialog().videoDevice.selected, 1);
    EXPECT_EQ(dialog().videoMode.entries,
              (std::vector<std::string>{"800 x 600 x 32  ( at 85 Hz )",
                                        "1024 x 768 x 32  ( at 75 Hz )"}));
    EXPECT_EQ(dialog().videoMode.selected, 1);
    confirmConfigurationDialog(record.block1);
    EXPECT_EQ(record.block1.videoDevice, 1);
}

// A monitor that is gone (unplugged, or a record from another machine) is never used.
TEST_F(Dialogs, StoredMonitorThatIsGoneFallsBackToTheFirstWithANotice) {
    struct Case {
        int32_t stored;
        size_t monitors;
        bool notice;
    };
    for (const Case& c : {Case{0, 1, false}, Case{1, 1, true}, Case{1, 2, false}, Case{2, 2, true},
                          Case{-1, 2, true}, Case{INT32_MAX, 3, true}}) {
        world.monitors.assign(c.monitors, Monitor{"X", 0, 0, 1600, 1200});
        record.block1.videoDevice = c.stored;
        BoxRecorder boxes;
        openConfigurationDialog(record.block1);
        int32_t expected = c.notice ? 0 : c.stored;
        EXPECT_EQ(record.block1.videoDevice, expected) << c.stored;
        EXPECT_EQ(dialog().videoDevice.selected, expected) << c.stored;
        ASSERT_EQ(boxes.boxes.size(), c.notice ? 1u : 0u) << c.stored;
        if (!c.notice) continue;
        EXPECT_EQ(boxes.boxes[0].kind, BoxKind::Notice);
        EXPECT_EQ(boxes.boxes[0].caption, "ATTENTION !");
        EXPECT_EQ(boxes.boxes[0].text, monitorGoneText(c.stored));
    }
    EXPECT_EQ(monitorGoneText(2), "The monitor chosen for the demo (monitor 3) is not connected "
                                  "!\n\nThe first monitor is used instead.");
}

TEST_F(Dialogs, AnotherMonitorListsItsModesAndKeepsTheChosenModeWhereItHasIt) {
    world.monitors.push_back({"HDMI-1", 1600, 0, 1024, 768});
    world.modes = {{800, 600, 4, 85}, {1024, 768, 4, 75}, {1600, 1200, 4, 75}};
    world.secondModes = {{800, 600, 4, 75}, {1024, 768, 4, 75}};
    world.desktop = {320, 240, 4, 60};
    record.block1.screenWidth = 1024, record.block1.screenHeight = 768;
    openConfigurationDialog(record.block1);
    ASSERT_EQ(dialog().videoMode.selected, 1);

    videoDeviceChanged(record.block1, 1);
    EXPECT_EQ(record.block1.videoDevice, 1);
    EXPECT_EQ(dialog().videoDevice.selected, 1);
    EXPECT_EQ(dialog().videoMode.entries,
              (std::vector<std::string>{"800 x 600 x 32  ( at 75 Hz )",
                                        "1024 x 768 x 32  ( at 75 Hz )"}));
    EXPECT_EQ(dialog().videoMode.selected, 1);

    // 1600 x 1200 is not on the second monitor: its last entry is taken.
    videoDeviceChanged(record.block1, 0);
    dialog().videoMode.selected = 2;
    videoDeviceChanged(record.block1, 1);
    EXPECT_EQ(dialog().videoMode.selected, 1);
    // 800 x 600 at 75 Hz is not on the first: the same size at its own rate.
    dialog().videoMode.selected = 0;
    videoDeviceChanged(record.block1, -1); // no entry: the first monitor
    EXPECT_EQ(record.block1.videoDevice, 0);
    EXPECT_EQ(dialog().videoMode.selected, 0);
    confirmConfigurationDialog(record.block1);
    EXPECT_EQ(record.block1.videoDevice, 0);
    EXPECT_EQ(record.block1.screenWidth, 800);
    EXPECT_EQ(record.block1.refreshRate, 85);
}

TEST_F(Dialogs, FullScreenClearsAndDisablesDeveloperModeAtFillAndOnEveryClick) {
    record.block1.fullscreen = 1;
    record.block1.developerMode = 1;
    openConfigurationDialog(record.block1);
    EXPECT_EQ(record.block1.developerMode, 0);
    EXPECT_FALSE(dialog().developerMode.checked);
    EXPECT_FALSE(dialog().developerMode.enabled);

    dialog().fullscreen.checked = false; // windowed: may be chosen again, but starts off
    fullscreenClicked(record.block1);
    EXPECT_EQ(record.block1.fullscreen, 0);
    EXPECT_TRUE(dialog().developerMode.enabled);
    EXPECT_FALSE(dialog().developerMode.checked);

    dialog().developerMode.checked = true;
    dialog().fullscreen.checked = true;
    fullscreenClicked(record.block1);
    EXPECT_EQ(record.block1.fullscreen, 1);
    EXPECT_EQ(record.block1.developerMode, 0);
    EXPECT_FALSE(dialog().developerMode.checked);
    EXPECT_FALSE(dialog().developerMode.enabled);
    confirmConfigurationDialog(record.block1);
    EXPECT_EQ(record.block1.developerMode, 0);
}

TEST_F(Dialogs, NoSoundDisablesQualityAndAnotherOutputEnablesItAndResetsTheDevice) {
    record.block1.audioDevice = 2;
    openConfigurationDialog(record.block1);
    EXPECT_EQ(dialog().audioDevice.selected, 2);
    world.outputs.clear(), world.driverCalls.clear();

    audioOutputChanged(record.block1, 2);
    EXPECT_EQ(record.block1.audioOutput, 2);
    EXPECT_FALSE(dialog().audioQuality.enabled);
    EXPECT_EQ(record.block1.audioDevice, 0);
    EXPECT_EQ(dialog().audioDevice.selected, 0);

    dialog().audioDevice.selected = 1;
    audioOutputChanged(record.block1, 0);
    EXPECT_EQ(record.block1.audioOutput, 0);
    EXPECT_TRUE(dialog().audioQuality.enabled);
    EXPECT_EQ(dialog().audioDevice.selected, 0);
    EXPECT_EQ(dialog().audioDevice.entries, world.drivers);
    EXPECT_EQ(world.outputs, (std::vector<int32_t>{2, 0}));
    EXPECT_EQ(world.driverCalls, (std::vector<int32_t>{0, 0}));

    audioOutputChanged(record.block1, -1); // nothing chosen counts as output 1
    EXPECT_EQ(record.block1.audioOutput, 1);
}

TEST_F(Dialogs, StoredDriverIsShownWhereTheOutputHasItElseTheFirst) {
    struct DriverCase {
        int32_t output, storedDriver;
        int shown;
    };
    const DriverCase cases[] = {
        {1, 2, 2},  // the output has it
        {0, 0, 0},  //
        {1, 3, 0},  // beyond the output's last driver
        {2, 2, 0},  // NoSound (pre-selected where no device opens) has one driver only
        {2, 1, 0},  //
        {1, -1, 0}, // below the first
    };
    for (const DriverCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "output " << c.output << ", driver " << c.storedDriver);
        world.outputs.clear(), world.driverCalls.clear();
        record.block1.audioOutput = c.output;
        record.block1.audioDevice = c.storedDriver;
        openConfigurationDialog(record.block1);
        EXPECT_EQ(dialog().audioDevice.entries, fakeDrivers());
        EXPECT_EQ(dialog().audioDevice.selected, c.shown);
        EXPECT_EQ(record.block1.audioDevice, c.shown);
        EXPECT_EQ(world.driverCalls, std::vector<int32_t>{c.shown});
        confirmConfigurationDialog(record.block1);
        EXPECT_EQ(record.block1.audioDevice, c.shown);
    }
}

TEST_F(Dialogs, NoSoundStoredDisablesQualityAtFill) {
    record.block1.audioOutput = 2;
    openConfigurationDialog(record.block1);
    EXPECT_FALSE(dialog().audioQuality.enabled);
}

TEST_F(Dialogs, SaveReadsEveryControlIntoBlock1AndSetsTheDriver) {
    record.block1.fullscreen = 0;
    openConfigurationDialog(record.block1);
    world.driverCalls.clear();
    dialog().videoMode.selected = 5;
    dialog().developerMode.checked = true;
    dialog().audioDevice.selected = 2;
    dialog().audioQuality.selected = 1;
    confirmConfigurationDialog(record.block1);
    EXPECT_EQ(record.block1.screenWidth, 1600);
    EXPECT_EQ(record.block1.screenHeight, 1200);
    EXPECT_EQ(record.block1.refreshRate, 75);
    EXPECT_EQ(record.block1.fullscreen, 0);
    EXPECT_EQ(record.block1.developerMode, 1);
    EXPECT_EQ(record.block1.audioDevice, 2);
    EXPECT_EQ(record.block1.audioQuality, 1);
    EXPECT_EQ(world.driverCalls, std::vector<int32_t>{2});
}

TEST_F(Dialogs, StoredQualityOutsideTheListIsReadAsNoSelection) {
    record.block1.audioQuality = 7;
    openConfigurationDialog(record.block1);
    EXPECT_EQ(dialog().audioQuality.selected, -1);
    confirmConfigurationDialog(record.block1);
    EXPECT_EQ(record.block1.audioQuality, 7); // kept, never -1: still no sound initialisation
}

TEST_F(Dialogs, CancelRestoresBlock1AsTheDialogFoundItButKeepsBlock2) {
    record.block1.fullscreen = 0;
    record.block1.gamma = 1.4f;
    openConfigurationDialog(record.block1);
    const ConfigBlock1 found = record.block1;

    dialog().fullscreen.checked = true;
    fullscreenClicked(record.block1);
    audioOutputChanged(record.block1, 2);
    openMoreSettingsDialog(record.block2);
    more().compression.selected = 3;
    confirmMoreSettingsDialog(record.block2);

    cancelConfigurationDialog(record.block1);
    EXPECT_EQ(std::memcmp(&record.block1, &found, sizeof found), 0);
    EXPECT_EQ(record.block2.textureCompression, 3);
}

TEST_F(Dialogs, BackupSlotsStartWithTheDefaults) {
    const ConfigRecord defaults;
    EXPECT_EQ(std::memcmp(&dialogState.backup1, &defaults.block1, sizeof(ConfigBlock1)), 0);
    EXPECT_EQ(std::memcmp(&dialogState.backup2, &defaults.block2, sizeof(ConfigBlock2)), 0);
}

// ---- More Settings ----

// One row of the More Settings table: a control, its stored field, and for each entry the
// value stored.
struct Row {
    const char* name;
    ComboBox MoreSettingsDialog::*box;
    int32_t (*get)(const ConfigBlock2&);
    void (*set)(ConfigBlock2&, int32_t);
    std::vector<int32_t> values;
    std::vector<std::string> entries;
};

std::vector<Row> rows() {
    return {
        {"multisampling",
         &MoreSettingsDialog::multisampling,
         [](const ConfigBlock2& b) { return b.multisampling; },
         [](ConfigBlock2& b, int32_t v) { b.multisampling = v; },
         {6, 5, 4, 3, 2, 1, 0},
         {"8x MultiSampling  -  For very fast 3D cards",
          "6x MultiSampling  -  For very fast 3D cards",
          "4x MultiSampling  -  9 Taps  (NVidia only !)", "4x MultiSampling  -  4 Taps  (standard)",
          "2x MultiSampling  -  5 Taps  (NVidia only !)", "2x MultiSampling  -  2 Taps  (standard)",
          "No MultiSampling  -  Aliased but very fast"}},
        {"specular",
         &MoreSettingsDialog::specular,
         [](const ConfigBlock2& b) { return int32_t(b.localViewer); },
         [](ConfigBlock2& b, int32_t v) { b.localViewer = uint8_t(v); },
         {1, 0},
         {"Eye coordinate system origin - High Quality",
          "Parallel to and down zAxis - Lower Quality"}},
        {"vertical sync",
         &MoreSettingsDialog::verticalSync,
         [](const ConfigBlock2& b) { return int32_t(b.verticalSync); },
         [](ConfigBlock2& b, int32_t v) { b.verticalSync = uint8_t(v); },
         {1, 0},
         {"On  -  Prevents Flickering", "Off  -  Maximum Speed"}},
        {"depth buffer",
         &MoreSettingsDialog::depthBuffer,
         [](const ConfigBlock2& b) { return b.depthBufferBits; },
         [](ConfigBlock2& b, int32_t v) { b.depthBufferBits = v; },
         {24, 16},
         {"24 Bit  -  Normal Quality", "16 Bit  -  Low Quality"}},
        {"compression",
         &MoreSettingsDialog::compression,
         [](const ConfigBlock2& b) { return b.textureCompression; },
         [](ConfigBlock2& b, int32_t v) { b.textureCompression = v; },
         {0, 1, 2, 3},
         {"Off   -  High Quality", "DXT3  -  Good Quality", "DXT5  -  Low Quality",
          "DXT1  -  Ugly Quality"}},
        {"detail level",
         &MoreSettingsDialog::detailLevel,
         [](const ConfigBlock2& b) { return b.textureDetail; },
         [](ConfigBlock2& b, int32_t v) { b.textureDetail = v; },
         {0, 1, 2, 3},
         {"Best Quality", "High Quality", "Medium Quality", "Low Quality"}},
        {"filtering",
         &MoreSettingsDialog::filtering,
         [](const ConfigBlock2& b) { return b.textureFiltering; },
         [](ConfigBlock2& b, int32_t v) { b.textureFiltering = v; },
         {0, 1, 2},
         {"Trilinear Mipmapping  -  Best Quality", "Bilinear Mipmapping   -  High Quality",
          "Bilinear (No Mipmap)  -  Low Quality"}},
        {"anisotropy",
         &MoreSettingsDialog::anisotropy,
         [](const ConfigBlock2& b) { return b.anisotropy; },
         [](ConfigBlock2& b, int32_t v) { b.anisotropy = v; },
         {16, 8, 4, 2, 1},
         {"16x  -  Best Quality", "08x  -  High Quality", "04x  -  Good Quality",
          "02x  -  Medium Quality", "Off  -  Lowest Quality"}},
        {"colour depth",
         &MoreSettingsDialog::colourDepth,
         [](const ConfigBlock2& b) { return b.textureColourDepth; },
         [](ConfigBlock2& b, int32_t v) { b.textureColourDepth = v; },
         {32, 16},
         {"32 Bit  -  High Quality", "16 Bit  -  Ugly Quality"}},
    };
}

TEST_F(Dialogs, EveryMoreSettingsEntryShowsItsValueAndReadsBackToIt) {
    for (const Row& row : rows()) {
        for (size_t i = 0; i < row.values.size(); ++i) {
            SCOPED_TRACE(std::string(row.name) + " entry " + std::to_string(i));
            record.block2 = ConfigBlock2{};
            row.set(record.block2, row.values[i]);
            openMoreSettingsDialog(record.block2);
            const ComboBox& box = more().*row.box;
            EXPECT_EQ(box.entries, row.entries);
            EXPECT_EQ(box.selected, int(i));
            row.set(record.block2, 77); // the read stores the entry's value again
            confirmMoreSettingsDialog(record.block2);
            EXPECT_EQ(row.get(record.block2), row.values[i]);
        }
    }
}

TEST_F(Dialogs, MoreSettingsReadWithNoEntrySelected) {
    // What each control stores when nothing is selected (a value of 77 marks "kept"): never
    // -1, which no control offers.
    const std::vector<std::pair<const char*, int32_t>> expected = {
        {"multisampling", 77}, {"specular", 0},     {"vertical sync", 0},
        {"depth buffer", 77},  {"compression", 77}, {"detail level", 77},
        {"filtering", 77},     {"anisotropy", 1},   {"colour depth", 16}};
    std::vector<Row> table = rows();
    for (size_t r = 0; r < table.size(); ++r) {
        SCOPED_TRACE(table[r].name);
        openMoreSettingsDialog(record.block2);
        (more().*table[r].box).selected = -1;
        table[r].set(record.block2, 77);
        confirmMoreSettingsDialog(record.block2);
        EXPECT_EQ(table[r].get(record.block2), expected[r].second);
    }
}

TEST_F(Dialogs, MoreSettingsFillOfValuesOutsideTheLists) {
    ConfigBlock2& block = record.block2;
    block.multisampling = 9;       // shown as "No MultiSampling", value kept
    block.localViewer = 5;         // non-zero: entry 0
    block.verticalSync = 2;        // non-zero: entry 0
    block.depthBufferBits = 32;    // set to 24
    block.textureCompression = 4;  // no entry selected
    block.textureDetail = 4;       // above 3: set to 0
    block.textureFiltering = 3;    // above 2: set to 0
    block.anisotropy = 3;          // shown as "Off", value kept
    block.textureColourDepth = 24; // set to 32
    openMoreSettingsDialog(block);
    EXPECT_EQ(more().multisampling.selected, 6);
    EXPECT_EQ(block.multisampling, 9);
    EXPECT_EQ(more().specular.selected, 0);
    EXPECT_EQ(more().verticalSync.selected, 0);
    EXPECT_EQ(block.depthBufferBits, 24);
    EXPECT_EQ(more().depthBuffer.selected, 0);
    EXPECT_EQ(more().compression.selected, -1);
    EXPECT_EQ(block.textureCompression, 4);
    EXPECT_EQ(block.textureDetail, 0);
    EXPECT_EQ(more().detailLevel.selected, 0);
    EXPECT_EQ(block.textureFiltering, 0);
    EXPECT_EQ(more().filtering.selected, 0);
    EXPECT_EQ(more().anisotropy.selected, 4);
    EXPECT_EQ(block.anisotropy, 3);
    EXPECT_EQ(block.textureColourDepth, 32);
    EXPECT_EQ(more().colourDepth.selected, 0);

    // Negative values (a previous read with nothing selected) show no entry.
    block.textureDetail = -1, block.textureFiltering = -1, block.textureCompression = -1;
    openMoreSettingsDialog(block);
    EXPECT_EQ(more().detailLevel.selected, -1);
    EXPECT_EQ(more().filtering.selected, -1);
    EXPECT_EQ(more().compression.selected, -1);
}

TEST_F(Dialogs, SaveTexturesCheckBoxMapsToOneAndZero) {
    record.block2.saveCompressedTextures = 1;
    openMoreSettingsDialog(record.block2);
    EXPECT_TRUE(more().saveTextures.checked);
    more().saveTextures.checked = false;
    confirmMoreSettingsDialog(record.block2);
    EXPECT_EQ(record.block2.saveCompressedTextures, 0);
    more().saveTextures.checked = true;
    confirmMoreSettingsDialog(record.block2);
    EXPECT_EQ(record.block2.saveCompressedTextures, 1);
}

TEST_F(Dialogs, MoreSettingsCancelKeepsTheFillCorrections) {
    record.block2.depthBufferBits = 32;
    record.block2.textureColourDepth = 8;
    record.block2.textureDetail = 9;
    openMoreSettingsDialog(record.block2);
    more().depthBuffer.selected = 1;
    more().multisampling.selected = 0;
    record.block2.depthBufferBits = 16; // as an earlier read would leave it
    cancelMoreSettingsDialog(record.block2);
    EXPECT_EQ(record.block2.depthBufferBits, 24);
    EXPECT_EQ(record.block2.textureColourDepth, 32);
    EXPECT_EQ(record.block2.textureDetail, 0);
    EXPECT_EQ(record.block2.multisampling, 3);
}

// ---- Shared ----

TEST_F(Dialogs, SelectionFindsTheFirstEntryStartingWithTheTextIgnoringCase) {
    ComboBox box;
    box.entries = {"Alpha one", "beta two", "Beta three"};
    EXPECT_EQ(selectEntryStartingWith(box, "BETA"), 1);
    EXPECT_EQ(box.selected, 1);
    EXPECT_EQ(selectEntryStartingWith(box, "gamma"), -1);
    EXPECT_EQ(box.selected, 1); // a failed search leaves the selection alone
}

TEST_F(Dialogs, DialogsAreCentredOverTheirOwnerOrOnTheScreen) {
    DialogPlace place = centreDialog(100, 50, 600, 400, 200, 100, 0, 10, 1280, 1024);
    EXPECT_EQ(place.x, 300);
    EXPECT_EQ(place.y, 210);
    place = centreDialog(0, 0, 1280, 1024, 421, 330, 0, 10, 1280, 1024); // odd halves round down
    EXPECT_EQ(place.x, 429);
    EXPECT_EQ(place.y, 357);
    place = centreDialog(1100, 0, 200, 100, 400, 300, 0, 10, 1280, 1024); // would leave
    EXPECT_EQ(place.x, 440);
    EXPECT_EQ(place.y, 362);
    place = centreDialog(-20, 0, 100, 100, 120, 300, 0, 0, 1280, 1024); // negative x
    EXPECT_EQ(place.x, 580);
}

} // namespace
