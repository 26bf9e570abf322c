// The 80-byte configuration record, stored verbatim in "ConfigEngine.cfg", and the running
// settings the engine reads. Integers are 32-bit little-endian; booleans use the first byte.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#pragma pack(push, 1)
struct ConfigBlock1 {
    int32_t fullscreen = 1;
    int32_t videoDevice = 0;
    int32_t colourBits = 32;
    int32_t refreshRate = 75;
    int32_t screenWidth = 1024;
    int32_t screenHeight = 768;
    uint8_t developerMode = 0;
    uint8_t pad1[3] = {};
    float gamma = 1.0f;
    int32_t audioOutput = 1;
    int32_t audioDevice = 0;
    int32_t audioQuality = 0;
};

struct ConfigBlock2 {
    int32_t textureCompression = 1;
    int32_t textureFiltering = 0;
    int32_t textureColourDepth = 32;
    int32_t multisampling = 3;
    int32_t depthBufferBits = 24;
    uint8_t verticalSync = 1;
    uint8_t localViewer = 1;
    uint8_t pad2[2] = {};
    int32_t anisotropy = 4;
    int32_t textureDetail = 0;
    uint8_t saveCompressedTextures = 0;
    uint8_t pad3[3] = {};
};

struct ConfigRecord {
    ConfigBlock1 block1;
    ConfigBlock2 block2;
};
#pragma pack(pop)

// Every field at its file offset (block 2 offsets count from the start of block 2).
static_assert(sizeof(ConfigBlock1) == 44 && sizeof(ConfigBlock2) == 36);
static_assert(sizeof(ConfigRecord) == 80 && offsetof(ConfigRecord, block2) == 44);
static_assert(offsetof(ConfigBlock1, fullscreen) == 0 && offsetof(ConfigBlock1, videoDevice) == 4);
static_assert(offsetof(ConfigBlock1, colourBits) == 8 && offsetof(ConfigBlock1, refreshRate) == 12);
static_assert(offsetof(ConfigBlock1, screenWidth) == 16 &&
              offsetof(ConfigBlock1, screenHeight) == 20);
static_assert(offsetof(ConfigBlock1, developerMode) == 24 && offsetof(ConfigBlock1, gamma) == 28);
static_assert(offsetof(ConfigBlock1, audioOutput) == 32 &&
              offsetof(ConfigBlock1, audioDevice) == 36);
static_assert(offsetof(ConfigBlock1, audioQuality) == 40);
static_assert(offsetof(ConfigBlock2, textureCompression) == 0 &&
              offsetof(ConfigBlock2, textureFiltering) == 4);
static_assert(offsetof(ConfigBlock2, textureColourDepth) == 8 &&
              offsetof(ConfigBlock2, multisampling) == 12);
static_assert(offsetof(ConfigBlock2, depthBufferBits) == 16);
static_assert(offsetof(ConfigBlock2, verticalSync) == 20 &&
              offsetof(ConfigBlock2, localViewer) == 21);
static_assert(offsetof(ConfigBlock2, anisotropy) == 24 &&
              offsetof(ConfigBlock2, textureDetail) == 28);
static_assert(offsetof(ConfigBlock2, saveCompressedTextures) == 32);
static_assert(sizeof(float) == 4);

// What the engine reads while it runs; copied from the record by applyConfiguration and
// lowered (together with the record) where the hardware cannot honour a setting.
struct RunningSettings {
    bool fullscreen = true;
    int32_t screenWidth = 1024;
    int32_t screenHeight = 768;
    int32_t refreshRate = 75;
    int32_t textureCompression = 1;
    int32_t textureFiltering = 0;
    int32_t textureColourDepth = 32;
    int32_t multisampling = 3;
    int32_t depthBufferBits = 24;
    bool verticalSync = true;
    bool localViewer = true;
    float anisotropy = 4.0f;
    int32_t textureDetail = 0;
    bool saveCompressedTextures = false;
};

inline constexpr const char* kConfigFileName = "ConfigEngine.cfg";

struct ConfigState {
    ConfigRecord record;     // as stored in the file
    RunningSettings running; // as the engine uses it
    // The file read and written: "ConfigEngine.cfg" in the working directory unless the
    // program chose another place before loading. Messages name it as given here.
    std::string filePath = kConfigFileName;
    bool saveRefusalTold = false; // the file could not be written, and the user was told
};
extern ConfigState configState;

// The record as the file holds it: block 1, then block 2.
using ConfigBytes = std::array<uint8_t, sizeof(ConfigRecord)>;
ConfigBytes configurationBytes(const ConfigRecord& record);

// A field of the record that held a value its control does not offer, and the default that
// took its place.
struct RepairedField {
    std::string name; // the control's label, e.g. "Filtering"
    std::string found;
    std::string used;
};
// Puts every field outside the values its control offers back to its default and lists them
// in record order. Kept as they are: the window size from 16 x 16 to 16384 x 16384 (the
// dialog offers the stored size), any refresh rate from 0 to 1000 Hz, any audio device from
// 0 (the dialog takes 0 for one beyond the last driver), the pad bytes.
std::vector<RepairedField> repairConfiguration(ConfigRecord& record);
// The notice that lists the repaired fields of the file at path.
std::string repairedConfigurationText(const std::string& path,
                                      const std::vector<RepairedField>& fields);

// Reads the configuration file (configState.filePath). Never fails: a missing file or one
// that is not exactly 80 bytes leaves the defaults, with notices. Fields no control offers
// are put back to their defaults, named in one notice, and the repaired record is saved.
void loadConfiguration();
// Writes the 80 bytes, block 1 first. A missing or write-protected file gets a notice (the
// first time in a run; it names the file with its folder and is written to standard error as
// well) and is left alone; a file that cannot be opened for writing is fatal; a failed write
// (full disk) gets the same notice.
void saveConfiguration();
// Copies the record into the running settings.
void applyConfiguration();
// This run's window where the command line sets it, not stored: windowed, without vertical
// sync, of width x height (0: as configured).
void overrideRunningWindow(bool windowed, bool verticalSync, int32_t width, int32_t height);
