#include "config/dialogs.h"

#include <algorithm>
#include <array>
#include <utility>
#include <cctype>
#include <cstdlib>
#include <span>

#include "platform/system/failure.h"

DialogState dialogState;

namespace {

// The sizes the demo offers, at 32 bits per pixel.
constexpr std::array<std::array<int, 2>, 5> kModeSizes = {
    {{640, 480}, {800, 600}, {1024, 768}, {1280, 1024}, {1600, 1200}}};

// The outputs by the SDL audio driver behind them: the first one SDL finds running (a sound
// server, else ALSA), ALSA, and none. Stored as 0, 1 and 2.
constexpr std::array<const char*, 3> kAudioOutputs = {"PulseAudio/PipeWire", "ALSA", "NoSound"};
constexpr std::array<const char*, 3> kAudioQualities = {"44.100 Hz  -  Normal", "22.050 Hz  -  Low",
                                                        "11.025 Hz  -  Lowest"};
constexpr int32_t kNoSoundOutput = 2;

// The More Settings lists, each with the stored value of every entry.
constexpr std::array<const char*, 7> kMultisamplingEntries = {
    "8x MultiSampling  -  For very fast 3D cards",  "6x MultiSampling  -  For very fast 3D cards",
    "4x MultiSampling  -  9 Taps  (NVidia only !)", "4x MultiSampling  -  4 Taps  (standard)",
    "2x MultiSampling  -  5 Taps  (NVidia only !)", "2x MultiSampling  -  2 Taps  (standard)",
    "No MultiSampling  -  Aliased but very fast"};
constexpr std::array<int32_t, 7> kMultisamplingValues = {6, 5, 4, 3, 2, 1, 0};
constexpr std::array<const char*, 2> kSpecularEntries = {
    "Eye coordinate system origin - High Quality", "Parallel to and down zAxis - Lower Quality"};
constexpr std::array<const char*, 2> kVerticalSyncEntries = {"On  -  Prevents Flickering",
                                                             "Off  -  Maximum Speed"};
constexpr std::array<int32_t, 2> kOnOffValues = {1, 0};
constexpr std::array<const char*, 2> kDepthBufferEntries = {"24 Bit  -  Normal Quality",
                                                            "16 Bit  -  Low Quality"};
constexpr std::array<int32_t, 2> kDepthBufferValues = {24, 16};
constexpr std::array<const char*, 4> kCompressionEntries = {
    "Off   -  High Quality", "DXT3  -  Good Quality", "DXT5  -  Low Quality",
    "DXT1  -  Ugly Quality"};
constexpr std::array<const char*, 4> kDetailLevelEntries = {"Best Quality", "High Quality",
                                                            "Medium Quality", "Low Quality"};
constexpr std::array<int32_t, 4> kZeroToThree = {0, 1, 2, 3};
constexpr std::array<const char*, 3> kFilteringEntries = {"Trilinear Mipmapping  -  Best Quality",
                                                          "Bilinear Mipmapping   -  High Quality",
                                                          "Bilinear (No Mipmap)  -  Low Quality"};
constexpr std::array<int32_t, 3> kZeroToTwo = {0, 1, 2};
constexpr std::array<const char*, 5> kAnisotropyEntries = {
    "16x  -  Best Quality", "08x  -  High Quality", "04x  -  Good Quality",
    "02x  -  Medium Quality", "Off  -  Lowest Quality"};
constexpr std::array<int32_t, 5> kAnisotropyValues = {16, 8, 4, 2, 1};
constexpr std::array<const char*, 2> kColourDepthEntries = {"32 Bit  -  High Quality",
                                                            "16 Bit  -  Ugly Quality"};
constexpr std::array<int32_t, 2> kColourDepthValues = {32, 16};

void setEntries(ComboBox& box, std::span<const char* const> entries) {
    box.entries.assign(entries.begin(), entries.end());
    box.selected = -1;
    box.enabled = true;
}

// Selecting an index outside the list leaves no entry selected.
void selectIndex(ComboBox& box, int64_t index) {
    box.selected = index >= 0 && index < int64_t(box.entries.size()) ? int(index) : -1;
}

int indexOfValue(std::span<const int32_t> values, int32_t value) {
    for (size_t i = 0; i < values.size(); ++i)
        if (values[i] == value) return int(i);
    return -1;
}

// The stored value of the selected entry, or noneValue when no entry is selected.
int32_t valueOfSelection(const ComboBox& box, std::span<const int32_t> values, int32_t noneValue) {
    if (box.selected < 0 || box.selected >= int(values.size())) return noneValue;
    return values[size_t(box.selected)];
}

bool modeAt(int monitor, int index, DisplayMode& mode) {
    if (dialogState.modeAt != nullptr) return dialogState.modeAt(monitor, index, mode);
    return displayModeAt(monitor, index, mode);
}

bool desktopMode(int monitor, DisplayMode& mode) {
    if (dialogState.desktopMode != nullptr) return dialogState.desktopMode(monitor, mode);
    return desktopDisplayMode(monitor, mode);
}

int countMonitors() {
    int count = dialogState.monitorCount != nullptr ? dialogState.monitorCount() : monitorCount();
    return count > 1 ? count : 1;
}

std::vector<Monitor> listMonitors() {
    std::vector<Monitor> monitors(static_cast<size_t>(countMonitors()));
    for (int i = 0; i < int(monitors.size()); ++i) {
        Monitor& monitor = monitors[size_t(i)];
        bool found = dialogState.monitorAt != nullptr ? dialogState.monitorAt(i, monitor)
                                                      : monitorAt(i, monitor);
        if (!found) monitor = Monitor{};
    }
    return monitors;
}

bool listedSize(const DisplayMode& mode) {
    for (const auto& size : kModeSizes)
        if (mode.width == size[0] && mode.height == size[1]) return true;
    return false;
}

// "1024 x 768 x ": how every entry of that size starts.
std::string sizePrefix(int width, int height) {
    return std::to_string(width) + " x " + std::to_string(height) + " x ";
}

bool hasEntryOfSize(const std::vector<std::string>& entries, int width, int height) {
    const std::string prefix = sizePrefix(width, height);
    for (const std::string& entry : entries)
        if (entry.starts_with(prefix)) return true;
    return false;
}

// A size the display does not list, offered where it fits on the desktop: it plays in a
// window, or full screen scaled to the desktop.
void offerSizeIfMissing(std::vector<std::string>& entries, int width, int height,
                        const DisplayMode& desktop) {
    if (sizeFitsDesktop(width, height, desktop) && !hasEntryOfSize(entries, width, height))
        entries.push_back(videoModeText(width, height, 32, 0));
}

// The stored mode, else its size at 75 Hz, else its size at any rate (a size that fits
// the monitor is always listed), else the last entry.
void selectStoredMode(ComboBox& box, const ConfigBlock1& block) {
    if (selectEntryStartingWith(box, videoModeText(block.screenWidth, block.screenHeight,
                                                   block.colourBits, block.refreshRate)) < 0 &&
        selectEntryStartingWith(
            box, videoModeText(block.screenWidth, block.screenHeight, block.colourBits, 75)) < 0 &&
        selectEntryStartingWith(box, sizePrefix(block.screenWidth, block.screenHeight)) < 0)
        box.selected = int(box.entries.size()) - 1;
}

int driverCount() {
    return dialogState.sound.driverCount != nullptr ? dialogState.sound.driverCount() : 0;
}

void fillAudioDevices(ComboBox& box) {
    box.entries.clear();
    for (int i = 0; i < driverCount(); ++i) {
        const char* name =
            dialogState.sound.driverName != nullptr ? dialogState.sound.driverName(i) : nullptr;
        box.entries.emplace_back(name != nullptr ? name : "");
    }
}

void setSoundOutput(int32_t output) {
    if (dialogState.sound.setOutput != nullptr) dialogState.sound.setOutput(output);
}

void setSoundDriver(int32_t driver) {
    if (dialogState.sound.setDriver != nullptr) dialogState.sound.setDriver(driver);
}

// The number in text that ends where `end` begins (after the from-th occurrence of `end`
// when counting from 0); 0 when there is none.
int numberBefore(std::string_view text, std::string_view end, int occurrence) {
    size_t at = std::string_view::npos;
    size_t from = 0;
    for (int i = 0; i <= occurrence; ++i) {
        at = text.find(end, from);
        if (at == std::string_view::npos) return 0;
        from = at + end.size();
    }
    size_t begin = at;
    while (begin > 0 && std::isdigit(static_cast<unsigned char>(text[begin - 1])) != 0) --begin;
    return std::atoi(std::string(text.substr(begin, at - begin)).c_str());
}

} // namespace

std::string videoModeText(int width, int height, int bits, int refreshRate) {
    std::string rate = refreshRate == 0 ? "?" : std::to_string(refreshRate);
    return std::to_string(width) + " x " + std::to_string(height) + " x " + std::to_string(bits) +
           "  ( at " + rate + " Hz )";
}

std::vector<std::string> videoModeEntries(std::span<const DisplayMode> modes,
                                          const DisplayMode& desktop, int storedWidth,
                                          int storedHeight) {
    std::vector<std::string> entries;
    for (const DisplayMode& mode : modes) {
        if (mode.bytesPerPixel == 4 && mode.refreshRate >= 75 && mode.refreshRate <= 100 &&
            listedSize(mode))
            entries.push_back(videoModeText(mode.width, mode.height, 32, mode.refreshRate));
    }
    if (entries.empty()) {
        for (const DisplayMode& mode : modes)
            if (mode.bytesPerPixel == 4 && listedSize(mode))
                entries.push_back(videoModeText(mode.width, mode.height, 32, mode.refreshRate));
    }
    for (const auto& size : kModeSizes) offerSizeIfMissing(entries, size[0], size[1], desktop);
    const auto& smallest = kModeSizes.front();
    if (storedWidth >= smallest[0] && storedHeight >= smallest[1])
        offerSizeIfMissing(entries, storedWidth, storedHeight, desktop);
    // Smallest size first; the rates of one size stay in the display's order.
    auto size = [](const std::string& entry) {
        return std::pair(numberBefore(entry, " x ", 0), numberBefore(entry, " x ", 1));
    };
    std::stable_sort(
        entries.begin(), entries.end(),
        [&size](const std::string& a, const std::string& b) { return size(a) < size(b); });
    return entries;
}

std::vector<std::string> listVideoModes(int monitor, int storedWidth, int storedHeight) {
    std::vector<DisplayMode> modes;
    DisplayMode mode;
    for (int i = 0; modeAt(monitor, i, mode); ++i) modes.push_back(mode);
    DisplayMode desktop;
    if (!desktopMode(monitor, desktop)) desktop = DisplayMode{};
    std::vector<std::string> entries = videoModeEntries(modes, desktop, storedWidth, storedHeight);
    if (entries.empty())
        fatalError("WINDOWS ERROR", "No supported video resolution found !\n\nMaybe your video "
                                    "card does not support 32 Bit (true color).");
    return entries;
}

void readVideoMode(std::string_view text, ConfigBlock1& block) {
    block.screenWidth = numberBefore(text, " x ", 0);
    block.screenHeight = numberBefore(text, " x ", 1);
    block.colourBits = numberBefore(text, "  ( at ", 0);
    block.refreshRate = numberBefore(text, " Hz )", 0);
    if (text.find('?') != std::string_view::npos) block.refreshRate = 0;
}

int selectEntryStartingWith(ComboBox& box, std::string_view text) {
    for (size_t i = 0; i < box.entries.size(); ++i) {
        std::string_view entry = box.entries[i];
        if (entry.size() < text.size()) continue;
        bool same = true;
        for (size_t c = 0; same && c < text.size(); ++c)
            same = std::tolower(static_cast<unsigned char>(entry[c])) ==
                   std::tolower(static_cast<unsigned char>(text[c]));
        if (same) return box.selected = int(i);
    }
    return -1;
}

std::vector<std::string> videoDeviceEntries(std::span<const Monitor> monitors) {
    if (monitors.size() <= 1) return {"OpenGL 3D Accelerator"};
    std::vector<std::string> entries;
    for (size_t i = 0; i < monitors.size(); ++i) {
        const Monitor& monitor = monitors[i];
        std::string entry = monitor.name.empty() ? "Monitor " + std::to_string(i + 1)
                                                 : std::to_string(i + 1) + ": " + monitor.name;
        if (monitor.width > 0 && monitor.height > 0)
            entry +=
                " (" + std::to_string(monitor.width) + " x " + std::to_string(monitor.height) + ")";
        entries.push_back(entry);
    }
    return entries;
}

std::string monitorGoneText(int32_t storedMonitor) {
    return "The monitor chosen for the demo (monitor " +
           std::to_string(int64_t(storedMonitor) + 1) +
           ") is not connected !\n\nThe first monitor is used instead.";
}

void checkStoredMonitor(ConfigBlock1& block) {
    if (block.videoDevice >= 0 && block.videoDevice < countMonitors()) return;
    noticeBox(kMonitorGoneCaption, monitorGoneText(block.videoDevice));
    block.videoDevice = 0;
}

void openConfigurationDialog(ConfigBlock1& block) {
    ConfigurationDialog& dialog = dialogState.configuration;
    dialog = ConfigurationDialog{};

    dialog.videoDevice.entries = videoDeviceEntries(listMonitors());
    checkStoredMonitor(block);
    dialog.videoDevice.selected = block.videoDevice;

    dialog.videoMode.entries =
        listVideoModes(block.videoDevice, block.screenWidth, block.screenHeight);
    selectStoredMode(dialog.videoMode, block);

    dialog.fullscreen.checked = block.fullscreen != 0;
    if (block.fullscreen != 0) {
        block.developerMode = 0;
        dialog.developerMode = {false, false};
    } else {
        dialog.developerMode = {block.developerMode != 0, true};
    }

    setEntries(dialog.audioOutput, kAudioOutputs);
    if (block.audioOutput < 0 || block.audioOutput > 2) block.audioOutput = 1;
    setSoundOutput(block.audioOutput);
    selectIndex(dialog.audioOutput, block.audioOutput);

    fillAudioDevices(dialog.audioDevice);
    if (block.audioDevice < 0 || block.audioDevice >= driverCount()) block.audioDevice = 0;
    setSoundDriver(block.audioDevice);
    selectIndex(dialog.audioDevice, block.audioDevice);

    setEntries(dialog.audioQuality, kAudioQualities);
    selectIndex(dialog.audioQuality, block.audioQuality);
    dialog.audioQuality.enabled = block.audioOutput != kNoSoundOutput;

    dialogState.backup1 = block;
}

void videoDeviceChanged(ConfigBlock1& block, int index) {
    ConfigurationDialog& dialog = dialogState.configuration;
    ComboBox& modes = dialog.videoMode;
    // The mode chosen so far is kept where the other monitor has it.
    ConfigBlock1 chosen = block;
    if (modes.selected >= 0) readVideoMode(modes.entries[size_t(modes.selected)], chosen);
    selectIndex(dialog.videoDevice, index);
    if (dialog.videoDevice.selected < 0) dialog.videoDevice.selected = 0;
    block.videoDevice = dialog.videoDevice.selected;
    modes.entries = listVideoModes(block.videoDevice, chosen.screenWidth, chosen.screenHeight);
    modes.selected = -1;
    selectStoredMode(modes, chosen);
}

void fullscreenClicked(ConfigBlock1& block) {
    ConfigurationDialog& dialog = dialogState.configuration;
    block.developerMode = 0;
    block.fullscreen = dialog.fullscreen.checked ? 1 : 0;
    dialog.developerMode = {false, !dialog.fullscreen.checked};
}

void audioOutputChanged(ConfigBlock1& block, int index) {
    ConfigurationDialog& dialog = dialogState.configuration;
    selectIndex(dialog.audioOutput, index);
    block.audioOutput = index < 0 || index > 2 ? 1 : index;
    setSoundOutput(block.audioOutput);

    fillAudioDevices(dialog.audioDevice);
    block.audioDevice = 0;
    setSoundDriver(0);
    selectIndex(dialog.audioDevice, 0);
    dialog.audioQuality.enabled = block.audioOutput != kNoSoundOutput;
}

void confirmConfigurationDialog(ConfigBlock1& block) {
    const ConfigurationDialog& dialog = dialogState.configuration;
    // A list left blank keeps the stored value: -1 would be no setting at all.
    if (dialog.videoDevice.selected >= 0) block.videoDevice = dialog.videoDevice.selected;
    if (dialog.videoMode.selected >= 0)
        readVideoMode(dialog.videoMode.entries[size_t(dialog.videoMode.selected)], block);
    block.fullscreen = dialog.fullscreen.checked ? 1 : 0;
    block.developerMode = dialog.developerMode.checked ? 1 : 0;
    if (dialog.audioOutput.selected >= 0) block.audioOutput = dialog.audioOutput.selected;
    block.audioDevice = dialog.audioDevice.selected;
    if (block.audioDevice < 0 || block.audioDevice >= driverCount()) block.audioDevice = 0;
    setSoundDriver(block.audioDevice);
    if (dialog.audioQuality.selected >= 0) block.audioQuality = dialog.audioQuality.selected;
}

void cancelConfigurationDialog(ConfigBlock1& block) {
    block = dialogState.backup1;
}

void openMoreSettingsDialog(ConfigBlock2& block) {
    MoreSettingsDialog& dialog = dialogState.moreSettings;
    dialog = MoreSettingsDialog{};

    dialog.saveTextures.checked = block.saveCompressedTextures != 0;

    setEntries(dialog.multisampling, kMultisamplingEntries);
    int multisampling = indexOfValue(kMultisamplingValues, block.multisampling);
    selectIndex(dialog.multisampling, multisampling >= 0 ? multisampling : 6);

    setEntries(dialog.specular, kSpecularEntries);
    selectIndex(dialog.specular, block.localViewer != 0 ? 0 : 1);
    setEntries(dialog.verticalSync, kVerticalSyncEntries);
    selectIndex(dialog.verticalSync, block.verticalSync != 0 ? 0 : 1);

    setEntries(dialog.depthBuffer, kDepthBufferEntries);
    if (indexOfValue(kDepthBufferValues, block.depthBufferBits) < 0) block.depthBufferBits = 24;
    selectIndex(dialog.depthBuffer, indexOfValue(kDepthBufferValues, block.depthBufferBits));

    setEntries(dialog.compression, kCompressionEntries);
    selectIndex(dialog.compression, indexOfValue(kZeroToThree, block.textureCompression));

    setEntries(dialog.detailLevel, kDetailLevelEntries);
    if (block.textureDetail > 3) block.textureDetail = 0;
    selectIndex(dialog.detailLevel, indexOfValue(kZeroToThree, block.textureDetail));

    setEntries(dialog.filtering, kFilteringEntries);
    if (block.textureFiltering > 2) block.textureFiltering = 0;
    selectIndex(dialog.filtering, indexOfValue(kZeroToTwo, block.textureFiltering));

    setEntries(dialog.anisotropy, kAnisotropyEntries);
    int anisotropy = indexOfValue(kAnisotropyValues, block.anisotropy);
    selectIndex(dialog.anisotropy, anisotropy >= 0 ? anisotropy : 4);

    setEntries(dialog.colourDepth, kColourDepthEntries);
    if (indexOfValue(kColourDepthValues, block.textureColourDepth) < 0)
        block.textureColourDepth = 32;
    selectIndex(dialog.colourDepth, indexOfValue(kColourDepthValues, block.textureColourDepth));

    dialogState.backup2 = block;
}

void confirmMoreSettingsDialog(ConfigBlock2& block) {
    const MoreSettingsDialog& dialog = dialogState.moreSettings;
    block.saveCompressedTextures = dialog.saveTextures.checked ? 1 : 0;
    block.multisampling =
        valueOfSelection(dialog.multisampling, kMultisamplingValues, block.multisampling);
    block.localViewer = uint8_t(valueOfSelection(dialog.specular, kOnOffValues, 0));
    block.verticalSync = uint8_t(valueOfSelection(dialog.verticalSync, kOnOffValues, 0));
    block.depthBufferBits =
        valueOfSelection(dialog.depthBuffer, kDepthBufferValues, block.depthBufferBits);
    // A list left blank keeps the stored value: -1 would be no setting at all.
    block.textureCompression =
        valueOfSelection(dialog.compression, kZeroToThree, block.textureCompression);
    block.textureDetail = valueOfSelection(dialog.detailLevel, kZeroToThree, block.textureDetail);
    block.textureFiltering = valueOfSelection(dialog.filtering, kZeroToTwo, block.textureFiltering);
    block.anisotropy = valueOfSelection(dialog.anisotropy, kAnisotropyValues, 1);
    block.textureColourDepth = valueOfSelection(dialog.colourDepth, kColourDepthValues, 16);
}

void cancelMoreSettingsDialog(ConfigBlock2& block) {
    block = dialogState.backup2;
}

DialogPlace centreDialog(int ownerX, int ownerY, int ownerWidth, int ownerHeight, int width,
                         int height, int dx, int dy, int screenWidth, int screenHeight) {
    DialogPlace place{ownerX + ((ownerWidth - width) >> 1) + dx,
                      ownerY + ((ownerHeight - height) >> 1) + dy};
    if (place.x < 0 || place.y < 0 || place.x + width > screenWidth ||
        place.y + height > screenHeight)
        place = {(screenWidth - width) >> 1, (screenHeight - height) >> 1};
    return place;
}
