#include "config/configuration.h"

#include <sys/stat.h>
#include <unistd.h>

#include <bit>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/failure.h"

// The record is kept in memory exactly as it is stored.
static_assert(std::endian::native == std::endian::little);

ConfigState configState;

namespace {

constexpr const char* kUsingDefaults = "\n\nUsing default configuration now...";

// The file exists, is a plain file, and may be written. The permission bits are tested
// as well as access(): the superuser passes access() even for a file marked read-only.
bool writableConfigurationFile(const char* path) {
    struct stat info;
    if (stat(path, &info) != 0 || !S_ISREG(info.st_mode)) return false;
    if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return false;
    return access(path, W_OK) == 0;
}

} // namespace

ConfigBytes configurationBytes(const ConfigRecord& record) {
    ConfigBytes bytes;
    std::memcpy(bytes.data(), &record.block1, sizeof(ConfigBlock1));
    std::memcpy(bytes.data() + sizeof(ConfigBlock1), &record.block2, sizeof(ConfigBlock2));
    return bytes;
}

void loadConfiguration() {
    const std::string& path = configState.filePath;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) noticeBox(kFileErrorCaption, fileErrorText(path) + kUsingDefaults);

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
}

void saveConfiguration() {
    const std::string& path = configState.filePath;
    if (!writableConfigurationFile(path.c_str())) {
        noticeBox(kFileErrorCaption, fileErrorText(path));
        return;
    }
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) fatalError(kFileErrorCaption, fileErrorText(path));
    const ConfigBytes bytes = configurationBytes(configState.record);
    bool written = std::fwrite(bytes.data(), bytes.size(), 1, file) == 1;
    written = std::fclose(file) == 0 && written;
    // A full disk must not pass for a saved configuration: the user is told, as for a file
    // that cannot be written.
    if (!written) noticeBox(kFileErrorCaption, fileErrorText(path));
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
