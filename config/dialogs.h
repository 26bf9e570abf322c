// The three configuration dialogs as plain data: their controls with the texts of every
// choice, the filling from the configuration record, the reading back, the enabling rules
// and the backups that Cancel restores. The FLTK view (dialogs_view.h) shows these controls
// and forwards the user's actions to the functions here; tests drive them directly.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "config/configuration.h"
#include "platform/display_modes.h"

// Control ids of the dialogs (1 and 2 are the confirm and cancel buttons of each).
enum DialogControlId : int {
    kIdOk = 1,
    kIdCancel = 2,
    kIdVideoDevice = 2000,
    kIdVideoMode = 2001,
    kIdFullscreen = 2002,
    kIdDeveloperMode = 2004,
    kIdAudioOutput = 2010,
    kIdAudioDevice = 2011,
    kIdAudioQuality = 2012,
    kIdDepthBuffer = 2100,
    kIdCompression = 2101,
    kIdFiltering = 2102,
    kIdColourDepth = 2103,
    kIdVerticalSync = 2104,
    kIdMultisampling = 2105,
    kIdSaveTextures = 2106,
    kIdSpecular = 2107,
    kIdAnisotropy = 2108,
    kIdDetailLevel = 2109,
    kIdAbout = 2200,
    kIdMoreSettings = 2201,
};

struct ComboBox {
    std::vector<std::string> entries;
    int selected = -1; // -1: no entry selected
    bool enabled = true;
};

struct CheckBox {
    bool checked = false;
    bool enabled = true;
};

// "KORAL Software - Configuration".
struct ConfigurationDialog {
    ComboBox videoDevice;
    ComboBox videoMode;
    CheckBox fullscreen;
    CheckBox developerMode;
    ComboBox audioOutput;
    ComboBox audioDevice;
    ComboBox audioQuality;
};

// "KORAL Software - 3D Engine - OpenGL Settings", opened by "More Settings".
struct MoreSettingsDialog {
    CheckBox saveTextures;
    ComboBox multisampling;
    ComboBox specular;
    ComboBox verticalSync;
    ComboBox depthBuffer;
    ComboBox compression;
    ComboBox detailLevel;
    ComboBox filtering;
    ComboBox anisotropy;
    ComboBox colourDepth;
};

// The sound layer as the dialog uses it; the program fills it. setOutput takes the audio
// output index (0, 1, 2) and setDriver a driver index; both end the program when the sound
// layer refuses.
struct DialogSound {
    void (*setOutput)(int32_t audioOutput) = nullptr;
    int (*driverCount)() = nullptr;
    const char* (*driverName)(int driver) = nullptr;
    void (*setDriver)(int32_t driver) = nullptr;
};

struct DialogState {
    ConfigBlock1 backup1; // block 1 as the Configuration dialog found it
    ConfigBlock2 backup2; // block 2 after the More Settings dialog's fill
    ConfigurationDialog configuration;
    MoreSettingsDialog moreSettings;
    DialogSound sound;
    // The monitors, a monitor's modes and its desktop mode; monitorCount, monitorAt,
    // displayModeAt and desktopDisplayMode when empty.
    int (*monitorCount)() = nullptr;
    bool (*monitorAt)(int monitor, Monitor& found) = nullptr;
    bool (*modeAt)(int monitor, int index, DisplayMode& mode) = nullptr;
    bool (*desktopMode)(int monitor, DisplayMode& mode) = nullptr;
};
extern DialogState dialogState;

inline constexpr std::string_view kConfigurationTitle = "KORAL Software - Configuration";
inline constexpr std::string_view kMoreSettingsTitle =
    "KORAL Software - 3D Engine - OpenGL Settings";
inline constexpr std::string_view kAboutTitle = "KORAL Software - About";
inline constexpr std::string_view kS3tcNote =
    "If your video card has little memory and you want to increase performance with the S3TC "
    "(Texture Compression) the DXT3 method is highly recommended !";

// "1024 x 768 x 32  ( at 75 Hz )"; a rate of 0 shows as "?".
std::string videoModeText(int width, int height, int bits, int refreshRate);
// The "Mode" entries for a display: its 32-bit modes of the offered sizes at 75 to 100 Hz, in
// its order; when there is none, the same sizes at any rate. Then, at the rate "?", every
// offered size that fits on the desktop but is not listed yet, and the stored size when it
// fits there, is at least 640 x 480 and is not listed yet. Empty only where the display lists
// none of the sizes and none fits on the desktop.
std::vector<std::string> videoModeEntries(std::span<const DisplayMode> modes,
                                          const DisplayMode& desktop, int storedWidth,
                                          int storedHeight);
// The "Mode" list of a monitor; an empty list is fatal.
std::vector<std::string> listVideoModes(int monitor, int storedWidth, int storedHeight);

// The "Device" entries: "OpenGL 3D Accelerator" for a desktop of one monitor, else one entry
// per monitor, "2: NAME (1024 x 768)" ("Monitor 2 (1024 x 768)" for a monitor without a name).
std::vector<std::string> videoDeviceEntries(std::span<const Monitor> monitors);
// A stored monitor that is not connected (or no monitor at all) becomes the first, with a
// notice. The number of monitors is the display's.
void checkStoredMonitor(ConfigBlock1& block);
inline constexpr std::string_view kMonitorGoneCaption = "ATTENTION !";
// "The monitor chosen for the demo (monitor 3) is not connected !\n\nThe first monitor is
// used instead."
std::string monitorGoneText(int32_t storedMonitor);
// Width, height, colour bits and refresh rate from a "Mode" entry (refresh rate 0 for "?").
void readVideoMode(std::string_view text, ConfigBlock1& block);

// Selects the first entry that starts with text (letter case ignored); -1 when none does.
int selectEntryStartingWith(ComboBox& box, std::string_view text);

// The Configuration dialog: fills the controls from block 1 (correcting what cannot be
// shown) and backs block 1 up.
void openConfigurationDialog(ConfigBlock1& block);
// Another "Device" entry chosen (index -1 for none: the first): the "Mode" list shows that
// monitor's modes, with the chosen mode selected where the monitor has it.
void videoDeviceChanged(ConfigBlock1& block, int index);
// "Fullscreen" clicked; the box already shows its new state.
void fullscreenClicked(ConfigBlock1& block);
// Another "Output" entry chosen (index -1 for none): the output goes to the sound layer and
// the device list starts again at the first driver.
void audioOutputChanged(ConfigBlock1& block, int index);
// "Save and  S T A R T": the controls into block 1.
void confirmConfigurationDialog(ConfigBlock1& block);
// "Cancel" or the close box: block 1 as the dialog found it.
void cancelConfigurationDialog(ConfigBlock1& block);

// The More Settings dialog: fills the controls from block 2 (with the fill's corrections)
// and backs block 2 up after the fill.
void openMoreSettingsDialog(ConfigBlock2& block);
// "Save and Exit": the controls into block 2.
void confirmMoreSettingsDialog(ConfigBlock2& block);
// "Cancel" or the close box: block 2 as it was after the fill.
void cancelMoreSettingsDialog(ConfigBlock2& block);

// Where a dialog of size (width, height) goes: centred over its owner's rectangle, moved by
// (dx, dy); centred on the screen instead where that would leave the screen.
struct DialogPlace {
    int x = 0;
    int y = 0;
};
DialogPlace centreDialog(int ownerX, int ownerY, int ownerWidth, int ownerHeight, int width,
                         int height, int dx, int dy, int screenWidth, int screenHeight);
