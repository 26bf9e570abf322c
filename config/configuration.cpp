#include "config/configuration.h"

#include <sys/stat.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "platform/system/failure.h"

// The record is kept in memory exactly as it is stored.
static_assert(std::endian::native == std::endian::little);

ConfigState configState;

namespace {

constexpr const char* kUsingDefaults = "\n\nUsing default configuration now...";

// The file exists, is a plain file, and may be written; errno says why not. The permission
// bits are tested as well as access(): the superuser passes access() even for a file marked
// read-only.
bool writableConfigurationFile(const char* path) {
    struct stat info;
    if (stat(path, &info) != 0) return false;
    errno = S_ISREG(info.st_mode) ? EACCES : EISDIR;
    if (!S_ISREG(info.st_mode) || (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return false;
    return access(path, W_OK) == 0;
}

// One field at its offset in the record (a 32-bit integer, one byte or a 32-bit float) with
// the values its control offers: the range low..high, or where `only` is not 0, the values
// below 64 whose bits it sets.
enum class FieldType { Int32, Byte, Float };
struct FieldRule {
    const char* name; // the control's label
    size_t offset;
    FieldType type;
    double low = 0;
    double high = 0;
    uint64_t only = 0;
};

constexpr uint64_t valuesOf(std::initializer_list<int> values) {
    uint64_t bits = 0;
    for (int value : values) bits |= uint64_t(1) << value;
    return bits;
}

bool offered(const FieldRule& rule, double value) {
    if (rule.only == 0) return value >= rule.low && value <= rule.high; // NaN fails both
    return value >= 0 && value < 64 && value == double(int(value)) &&
           (rule.only >> int(value) & 1) != 0;
}

constexpr size_t kBlock2 = sizeof(ConfigBlock1);
constexpr FieldType kInt = FieldType::Int32, kByte = FieldType::Byte;
constexpr FieldRule kFieldRules[] = {
    {"Fullscreen", offsetof(ConfigBlock1, fullscreen), kInt, 0, 1},
    {"Video Device", offsetof(ConfigBlock1, videoDevice), kInt, 0, INT32_MAX},
    {"Mode (colour bits)", offsetof(ConfigBlock1, colourBits), kInt, 0, 0, valuesOf({32})},
    {"Mode (refresh rate)", offsetof(ConfigBlock1, refreshRate), kInt, 0, 1000},
    {"Mode (width)", offsetof(ConfigBlock1, screenWidth), kInt, 16, 16384},
    {"Mode (height)", offsetof(ConfigBlock1, screenHeight), kInt, 16, 16384},
    {"Developer Mode", offsetof(ConfigBlock1, developerMode), kByte, 0, 1},
    // The calibration slider sets 0.02 to 1.98 (with room for rounding).
    {"Gamma", offsetof(ConfigBlock1, gamma), FieldType::Float, 0.01, 2.0},
    {"Audio Output", offsetof(ConfigBlock1, audioOutput), kInt, 0, 2},
    {"Audio Device", offsetof(ConfigBlock1, audioDevice), kInt, 0, INT32_MAX},
    {"Audio Quality", offsetof(ConfigBlock1, audioQuality), kInt, 0, 2},
    {"S3TC (Compression)", kBlock2 + offsetof(ConfigBlock2, textureCompression), kInt, 0, 3},
    {"Filtering", kBlock2 + offsetof(ConfigBlock2, textureFiltering), kInt, 0, 2},
    {"Color Depth", kBlock2 + offsetof(ConfigBlock2, textureColourDepth), kInt, 0, 0,
     valuesOf({16, 32})},
    {"MultiSampling", kBlock2 + offsetof(ConfigBlock2, multisampling), kInt, 0, 6},
    {"Depth Buffer", kBlock2 + offsetof(ConfigBlock2, depthBufferBits), kInt, 0, 0,
     valuesOf({16, 24})},
    {"Vertical Sync", kBlock2 + offsetof(ConfigBlock2, verticalSync), kByte, 0, 1},
    {"Compute specular reflections from", kBlock2 + offsetof(ConfigBlock2, localViewer), kByte, 0,
     1},
    {"Anisotropic Filtering", kBlock2 + offsetof(ConfigBlock2, anisotropy), kInt, 0, 0,
     valuesOf({1, 2, 4, 8, 16})},
    {"Detail Level", kBlock2 + offsetof(ConfigBlock2, textureDetail), kInt, 0, 3},
    {"Save compressed textures to harddisk",
     kBlock2 + offsetof(ConfigBlock2, saveCompressedTextures), kByte, 0, 1},
};

size_t fieldSize(const FieldRule& rule) {
    return rule.type == FieldType::Byte ? 1 : 4;
}

double fieldValue(const ConfigBytes& bytes, const FieldRule& rule) {
    const uint8_t* at = bytes.data() + rule.offset;
    if (rule.type == FieldType::Byte) return *at;
    if (rule.type == FieldType::Float) {
        float value = 0;
        std::memcpy(&value, at, sizeof value);
        return value;
    }
    int32_t value = 0;
    std::memcpy(&value, at, sizeof value);
    return value;
}

std::string fieldText(const ConfigBytes& bytes, const FieldRule& rule) {
    char text[32];
    std::snprintf(text, sizeof text, rule.type == FieldType::Float ? "%g" : "%.0f",
                  fieldValue(bytes, rule));
    return text;
}

} // namespace

std::vector<RepairedField> repairConfiguration(ConfigRecord& record) {
    const ConfigBytes defaults = configurationBytes(ConfigRecord{});
    ConfigBytes bytes = configurationBytes(record);
    std::vector<RepairedField> repaired;
    for (const FieldRule& rule : kFieldRules) {
        if (offered(rule, fieldValue(bytes, rule))) continue;
        repaired.push_back({rule.name, fieldText(bytes, rule), fieldText(defaults, rule)});
        std::memcpy(bytes.data() + rule.offset, defaults.data() + rule.offset, fieldSize(rule));
    }
    std::memcpy(&record.block1, bytes.data(), sizeof(ConfigBlock1));
    std::memcpy(&record.block2, bytes.data() + sizeof(ConfigBlock1), sizeof(ConfigBlock2));
    return repaired;
}

std::string repairedConfigurationText(const std::string& path,
                                      const std::vector<RepairedField>& fields) {
    std::string text = "The configuration file \"" + path +
                       "\" holds settings that no choice of the configuration dialogs "
                       "offers !\n\nThese settings use their default now :\n";
    for (const RepairedField& field : fields)
        text += "\n- " + field.name + " : " + field.found + " -> " + field.used;
    return text + "\n\nThe repaired configuration is saved.";
}

ConfigBytes configurationBytes(const ConfigRecord& record) {
    ConfigBytes bytes;
    std::memcpy(bytes.data(), &record.block1, sizeof(ConfigBlock1));
    std::memcpy(bytes.data() + sizeof(ConfigBlock1), &record.block2, sizeof(ConfigBlock2));
    return bytes;
}

void loadConfiguration() {
    const std::string& path = configState.filePath;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) noticeBox(kFileErrorCaption, fileErrorText(path, errno) + kUsingDefaults);

    long length = 0;
    if (file != nullptr && std::fseek(file, 0, SEEK_END) == 0) {
        length = std::ftell(file);
        std::rewind(file);
    }
    // Read into a copy first, so a file that shrinks while it is read (or cannot be read)
    // leaves the defaults whole instead of half a record.
    bool loaded = false;
    if (file != nullptr && length == static_cast<long>(sizeof(ConfigRecord))) {
        unsigned char bytes[sizeof(ConfigRecord)];
        if (std::fread(bytes, 1, sizeof bytes, file) == sizeof bytes) {
            std::memcpy(&configState.record.block1, bytes, sizeof(ConfigBlock1));
            std::memcpy(&configState.record.block2, bytes + sizeof(ConfigBlock1),
                        sizeof(ConfigBlock2));
            loaded = true;
        }
    }
    if (!loaded)
        noticeBox(kFileErrorCaption, std::string("The configuration file \"") + path +
                                         "\" is invalid or damaged !" + kUsingDefaults);
    if (file != nullptr) std::fclose(file);
    if (!loaded) return;
    std::vector<RepairedField> repaired = repairConfiguration(configState.record);
    if (repaired.empty()) return;
    noticeBox(kFileErrorCaption, repairedConfigurationText(path, repaired));
    saveConfiguration();
}

namespace {

// The file cannot be written: the user is told once a run, on standard error as well (a
// start from a terminal or a desktop log keeps it), with the file's whole path.
void tellSaveRefused(const std::string& path, int errorNumber) {
    if (configState.saveRefusalTold) return;
    configState.saveRefusalTold = true;
    std::error_code error;
    std::filesystem::path whole = std::filesystem::absolute(path, error).lexically_normal();
    std::string text = fileErrorText(error ? path : whole.string(), errorNumber) +
                       "\n\nThe demo goes on; the configuration is not saved in this run.";
    if (!failureState.batch)
        std::fprintf(stderr, "%s\n",
                     formatBatchLine(BoxKind::Notice, kFileErrorCaption, text, true).c_str());
    noticeBox(kFileErrorCaption, text);
}

} // namespace

void saveConfiguration() {
    const std::string& path = configState.filePath;
    if (!writableConfigurationFile(path.c_str())) {
        tellSaveRefused(path, errno);
        return;
    }
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) fatalError(kFileErrorCaption, fileErrorText(path, errno));
    const ConfigBytes bytes = configurationBytes(configState.record);
    bool written = std::fwrite(bytes.data(), bytes.size(), 1, file) == 1;
    written = std::fclose(file) == 0 && written;
    // A full disk must not pass for a saved configuration: the user is told, as for a file
    // that cannot be written.
    if (!written) tellSaveRefused(path, errno);
}

void applyConfiguration() {
    const ConfigBlock1& b1 = configState.record.block1;
    const ConfigBlock2& b2 = configState.record.block2;
    RunningSettings& running = configState.running;
    running.fullscreen = b1.fullscreen != 0;
    running.screenWidth = b1.screenWidth;
    running.screenHeight = b1.screenHeight;
    running.refreshRate = b1.refreshRate;
    running.textureCompression = b2.textureCompression;
    running.textureFiltering = b2.textureFiltering;
    running.textureColourDepth = b2.textureColourDepth;
    running.multisampling = b2.multisampling;
    running.depthBufferBits = b2.depthBufferBits;
    running.verticalSync = b2.verticalSync != 0;
    running.localViewer = b2.localViewer != 0;
    running.anisotropy = static_cast<float>(static_cast<uint32_t>(b2.anisotropy));
    running.textureDetail = b2.textureDetail;
    running.saveCompressedTextures = b2.saveCompressedTextures != 0;
}

void overrideRunningWindow(bool windowed, bool verticalSync, int32_t width, int32_t height) {
    RunningSettings& running = configState.running;
    if (windowed) running.fullscreen = false;
    if (!verticalSync) running.verticalSync = false;
    if (width != 0) running.screenWidth = width, running.screenHeight = height;
}
