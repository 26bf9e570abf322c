#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <cstring>
#include <filesystem>

#include "config/configuration.h"
#include "support/test_support.h"

namespace {

const std::string kMissingText = std::string("File : ConfigEngine.cfg\n\n") +
                                 std::string(kFileAccessText) +
                                 "\n\nUsing default configuration now...";
const std::string kDamagedText =
    "The configuration file \"ConfigEngine.cfg\" is invalid or damaged !\n\n"
    "Using default configuration now...";
const std::string kSaveText =
    std::string("File : ConfigEngine.cfg\n\n") + std::string(kFileAccessText);

std::vector<unsigned char> recordBytes(const ConfigRecord& record) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(&record);
    return std::vector<unsigned char>(bytes, bytes + sizeof record);
}

// The defaults as the file holds them, written out field by field.
std::vector<unsigned char> defaultFileBytes() {
    std::vector<unsigned char> out;
    auto put32 = [&out](uint32_t v) {
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(v >> (8 * i)));
    };
    put32(1), put32(0), put32(32), put32(75), put32(1024), put32(768);
    put32(0);          // developer mode + pad
    put32(0x3f800000); // gamma 1.0
    put32(1), put32(0), put32(0);
    put32(1), put32(0), put32(32), put32(3), put32(24);
    out.push_back(1), out.push_back(1), out.push_back(0), out.push_back(0); // vsync, local viewer
    put32(4), put32(0), put32(0);
    return out;
}

class ConfigurationFile : public testing::Test {
  protected:
    void SetUp() override { configState = ConfigState{}; }
    TempDir dir;
    ScopedChdir inDir{dir.path};
    BoxRecorder boxes;
};

} // namespace

TEST_F(ConfigurationFile, DefaultsAreTheStoredBytes) {
    EXPECT_EQ(recordBytes(configState.record), defaultFileBytes());
}

TEST_F(ConfigurationFile, MissingFileTwoNoticesDefaultsAndNothingWritten) {
    loadConfiguration();
    ASSERT_EQ(boxes.boxes.size(), 2u);
    EXPECT_EQ(boxes.boxes[0].kind, BoxKind::Notice);
    EXPECT_EQ(boxes.boxes[0].caption, "ZORX_OpenGL - FILE ERROR");
    EXPECT_EQ(boxes.boxes[0].text, kMissingText);
    EXPECT_EQ(boxes.boxes[1].caption, "ZORX_OpenGL - FILE ERROR");
    EXPECT_EQ(boxes.boxes[1].text, kDamagedText);
    EXPECT_EQ(recordBytes(configState.record), defaultFileBytes());

    saveConfiguration();
    saveConfiguration();
    ASSERT_EQ(boxes.boxes.size(), 4u);
    EXPECT_EQ(boxes.boxes[2].text, kSaveText);
    EXPECT_EQ(boxes.boxes[3].text, kSaveText);
    EXPECT_FALSE(std::filesystem::exists(kConfigFileName));
}

TEST_F(ConfigurationFile, WrongLengthsAreRejectedWhole) {
    for (size_t length : {0u, 1u, 79u, 81u, 160u}) {
        configState = ConfigState{};
        boxes.boxes.clear();
        writeWholeFile(kConfigFileName, std::vector<unsigned char>(length, 0x55));
        loadConfiguration();
        ASSERT_EQ(boxes.boxes.size(), 1u) << length;
        EXPECT_EQ(boxes.boxes[0].text, kDamagedText);
        EXPECT_EQ(recordBytes(configState.record), defaultFileBytes()) << length;
    }
    // A folder of that name opens, but holds no record: defaults, and no save into it.
    std::filesystem::remove(kConfigFileName);
    std::filesystem::create_directory(kConfigFileName);
    loadConfiguration();
    EXPECT_EQ(recordBytes(configState.record), defaultFileBytes());
    saveConfiguration();
    EXPECT_EQ(boxes.boxes.back().text, kSaveText);
}

TEST_F(ConfigurationFile, AnyEightyBytesAreTakenAsStored) {
    std::vector<unsigned char> bytes(80);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<unsigned char>(i * 37 + 11);
    bytes[40] = 7, bytes[41] = bytes[42] = bytes[43] = 0; // audio quality 7
    writeWholeFile(kConfigFileName, bytes);
    loadConfiguration();
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_EQ(recordBytes(configState.record), bytes);
    EXPECT_EQ(configState.record.block1.audioQuality, 7);
    applyConfiguration(); // the anisotropy is the unsigned number stored
    EXPECT_EQ(configState.running.anisotropy,
              static_cast<float>(static_cast<uint32_t>(configState.record.block2.anisotropy)));
}

TEST_F(ConfigurationFile, SaveWritesEightyBytesBlockOneFirst) {
    writeWholeFile(kConfigFileName, {1, 2, 3});
    configState.record.block1.fullscreen = 0;
    configState.record.block1.screenWidth = 0x01020304;
    configState.record.block1.gamma = 1.5f;
    configState.record.block2.textureCompression = 0x0a0b0c0d;
    configState.record.block2.multisampling = 1;
    saveConfiguration();
    EXPECT_TRUE(boxes.boxes.empty());
    std::vector<unsigned char> file = readWholeFile(kConfigFileName);
    ASSERT_EQ(file.size(), 80u);
    EXPECT_EQ(file, recordBytes(configState.record));
    EXPECT_EQ(file[16], 0x04); // width, little-endian, in block 1
    EXPECT_EQ(file[44], 0x0d); // block 2 starts at 44
    EXPECT_EQ(file[56], 1);    // multisampling

    ConfigRecord written = configState.record;
    configState = ConfigState{};
    loadConfiguration();
    EXPECT_EQ(recordBytes(configState.record), recordBytes(written));
}

// The permission bits decide, so the rule holds for the superuser too (who may write
// anything as far as access() is concerned).
TEST_F(ConfigurationFile, ReadOnlyFileIsReadButNeverWritten) {
    std::vector<unsigned char> stored = defaultFileBytes();
    stored[0] = 0;  // windowed
    stored[56] = 2; // multisampling 2
    writeWholeFile(kConfigFileName, stored);
    chmod(kConfigFileName, 0444);
    loadConfiguration();
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_EQ(configState.record.block1.fullscreen, 0);
    configState.record.block2.multisampling = 1;
    saveConfiguration();
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].caption, "ZORX_OpenGL - FILE ERROR");
    EXPECT_EQ(boxes.boxes[0].text, kSaveText);
    EXPECT_EQ(readWholeFile(kConfigFileName), stored);
}

TEST_F(ConfigurationFile, AFailedWriteIsReported) {
    writeWholeFile(kConfigFileName, std::vector<unsigned char>(80, 0));
    rlimit saved;
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = {40, saved.rlim_max}; // the disk is full after 40 bytes
    auto previous = signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
    saveConfiguration();
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, previous);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, kSaveText);
}

TEST(ConfigurationFileDeathTest, SaveIsFatalWhenTheFileCannotBeOpened) {
    TempDir dir;
    ScopedChdir inDir(dir.path);
    writeWholeFile(kConfigFileName, std::vector<unsigned char>(80, 0));
    failureState.batch = true;
    auto saveWithoutFiles = [] {
        rlimit none = {0, 0};
        setrlimit(RLIMIT_NOFILE, &none); // no descriptor left to open the file with
        saveConfiguration();
    };
    EXPECT_EXIT(saveWithoutFiles(), testing::ExitedWithCode(1),
                "fatal\tZORX_OpenGL - FILE ERROR\tFile : ConfigEngine.cfg\\\\n\\\\nFile access "
                "denied !");
}
