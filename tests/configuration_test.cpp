#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>

#include "config/configuration.h"
#include "support/test_support.h"

namespace {

const std::string kMissingText = std::string("File : ConfigEngine.cfg\n\nThe system says : ") +
                                 std::strerror(ENOENT) + "\n\n" + std::string(kFileAccessText) +
                                 "\n\nUsing default configuration now...";
const std::string kDamagedText =
    "The configuration file \"ConfigEngine.cfg\" is invalid or damaged !\n\n"
    "Using default configuration now...";
// The notice of a file that cannot be saved names it with its folder (the working folder)
// and the system's reason.
std::string saveText(int errorNumber) {
    return "File : " + (std::filesystem::current_path() / kConfigFileName).string() +
           "\n\nThe system says : " + std::strerror(errorNumber) + "\n\n" +
           std::string(kFileAccessText) +
           "\n\nThe demo goes on; the configuration is not saved in this run.";
}

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
    void SetUp() override {
        configState = ConfigState{};
        failureState.batch = false;
    }
    // Loads a file of the defaults with one field changed (`size` bytes, little-endian), from
    // a fresh start; returns the file's bytes.
    std::vector<unsigned char> loadDefaultsWith(size_t offset, size_t size, int64_t value) {
        configState = ConfigState{};
        boxes.boxes.clear();
        std::vector<unsigned char> bytes = defaultFileBytes();
        for (size_t i = 0; i < size; ++i) bytes[offset + i] = uint8_t(value >> (8 * i));
        writeWholeFile(kConfigFileName, bytes);
        loadConfiguration();
        return bytes;
    }
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
    saveConfiguration(); // told once a run
    ASSERT_EQ(boxes.boxes.size(), 3u);
    EXPECT_EQ(boxes.boxes[2].text, saveText(ENOENT));
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
    EXPECT_EQ(boxes.boxes.back().text, saveText(EISDIR));
}

// A value no control offers, in a record that is otherwise the defaults: the field falls
// back to its default, one notice names it, and the repaired record is what the file holds.
TEST_F(ConfigurationFile, FieldsNoControlOffersFallBackOneByOne) {
    struct BadField {
        const char* name;
        size_t offset;
        size_t size; // 1: a byte, 4: a little-endian integer or float
        int64_t bad;
        const char* shown; // as the notice shows the bad value
        const char* used;  // the default put in its place
    };
    const uint32_t nan = 0x7fc00000;
    const BadField table[] = {
        {"Fullscreen", 0, 4, -1, "-1", "1"},
        {"Fullscreen", 0, 4, 2, "2", "1"},
        {"Video Device", 4, 4, -1, "-1", "0"},
        {"Mode (colour bits)", 8, 4, 16, "16", "32"},
        {"Mode (colour bits)", 8, 4, 33, "33", "32"},
        {"Mode (refresh rate)", 12, 4, -1642152508, "-1642152508", "75"},
        {"Mode (refresh rate)", 12, 4, 1001, "1001", "75"},
        {"Mode (width)", 16, 4, -2117635796, "-2117635796", "1024"},
        {"Mode (width)", 16, 4, 15, "15", "1024"},
        {"Mode (width)", 16, 4, 16385, "16385", "1024"},
        {"Mode (height)", 20, 4, 0, "0", "768"},
        {"Mode (height)", 20, 4, 15, "15", "768"},
        {"Mode (height)", 20, 4, 16385, "16385", "768"},
        {"Developer Mode", 24, 1, 2, "2", "0"},
        {"Gamma", 28, 4, nan, "nan", "1"},
        {"Gamma", 28, 4, 0xbf800000, "-1", "1"},   // -1.0
        {"Gamma", 28, 4, 0x00000000, "0", "1"},    // 0.0
        {"Gamma", 28, 4, 0x4000a3d7, "2.01", "1"}, // 2.01
        {"Gamma", 28, 4, 0x40400000, "3", "1"},    // 3.0
        {"Audio Output", 32, 4, -1, "-1", "1"},
        {"Audio Output", 32, 4, 3, "3", "1"},
        {"Audio Device", 36, 4, -5, "-5", "0"},
        {"Audio Quality", 40, 4, -1, "-1", "0"},
        {"Audio Quality", 40, 4, 3, "3", "0"},
        {"S3TC (Compression)", 44, 4, -1, "-1", "1"},
        {"S3TC (Compression)", 44, 4, 4, "4", "1"},
        {"Filtering", 48, 4, -1, "-1", "0"},
        {"Filtering", 48, 4, 3, "3", "0"},
        {"Color Depth", 52, 4, 15, "15", "32"},
        {"Color Depth", 52, 4, 24, "24", "32"},
        {"Color Depth", 52, 4, 33, "33", "32"},
        {"MultiSampling", 56, 4, -1, "-1", "3"},
        {"MultiSampling", 56, 4, 7, "7", "3"},
        {"Depth Buffer", 60, 4, 15, "15", "24"},
        {"Depth Buffer", 60, 4, 25, "25", "24"},
        {"Vertical Sync", 64, 1, 2, "2", "1"},
        {"Compute specular reflections from", 65, 1, 2, "2", "1"},
        {"Compute specular reflections from", 65, 1, 255, "255", "1"},
        {"Anisotropic Filtering", 68, 4, 0, "0", "4"},
        {"Anisotropic Filtering", 68, 4, 3, "3", "4"},
        {"Anisotropic Filtering", 68, 4, 17, "17", "4"},
        {"Detail Level", 72, 4, -1, "-1", "0"},
        {"Detail Level", 72, 4, 4, "4", "0"},
        {"Save compressed textures to harddisk", 76, 1, 2, "2", "0"},
    };
    for (const BadField& row : table) {
        SCOPED_TRACE(std::string(row.name) + " " + row.shown);
        loadDefaultsWith(row.offset, row.size, row.bad);
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(boxes.boxes[0].caption, "ZORX_OpenGL - FILE ERROR");
        EXPECT_EQ(boxes.boxes[0].text,
                  "The configuration file \"ConfigEngine.cfg\" holds settings that no choice of "
                  "the configuration dialogs offers !\n\nThese settings use their default now :"
                  "\n\n- " +
                      std::string(row.name) + " : " + row.shown + " -> " + row.used +
                      "\n\nThe repaired configuration is saved.");
        EXPECT_EQ(recordBytes(configState.record), defaultFileBytes()); // what is used
        EXPECT_EQ(readWholeFile(kConfigFileName), defaultFileBytes());  // what is saved
    }
}

// Every field at both ends of what its control offers, one at a time, is kept as it is.
TEST_F(ConfigurationFile, FieldsAtBothEndsOfTheirRangesAreKept) {
    struct EndValue {
        size_t offset;
        size_t size; // 1: a byte, 4: a little-endian integer or float
        uint32_t value;
    };
    const EndValue table[] = {
        {0, 4, 0},           {0, 4, 1},           // fullscreen
        {4, 4, 0},           {4, 4, INT32_MAX},   // video device
        {12, 4, 0},          {12, 4, 1000},       // refresh rate
        {16, 4, 16},         {16, 4, 16384},      // width
        {20, 4, 16},         {20, 4, 16384},      // height
        {24, 1, 0},          {24, 1, 1},          // developer mode
        {28, 4, 0x3ca3d70a}, {28, 4, 0x40000000}, // gamma 0.02 and 2.0
        {32, 4, 0},          {32, 4, 2},          // audio output
        {36, 4, 0},          {36, 4, INT32_MAX},  // audio device
        {40, 4, 0},          {40, 4, 2},          // audio quality
        {44, 4, 0},          {44, 4, 3},          // compression
        {48, 4, 0},          {48, 4, 2},          // filtering
        {52, 4, 16},         {52, 4, 32},         // colour depth
        {56, 4, 0},          {56, 4, 6},          // multisampling
        {60, 4, 16},         {60, 4, 24},         // depth buffer
        {64, 1, 0},          {64, 1, 1},          // vertical sync
        {65, 1, 0},          {65, 1, 1},          // local viewer
        {68, 4, 1},          {68, 4, 16},         // anisotropy
        {72, 4, 0},          {72, 4, 3},          // detail level
        {76, 1, 0},          {76, 1, 1},          // save compressed textures
    };
    for (const EndValue& row : table) {
        SCOPED_TRACE(testing::Message() << "offset " << row.offset << " = " << row.value);
        std::vector<unsigned char> bytes = loadDefaultsWith(row.offset, row.size, row.value);
        EXPECT_TRUE(boxes.boxes.empty());
        EXPECT_EQ(recordBytes(configState.record), bytes);
    }
}

// Values the dialogs show, or that mean something as stored, are kept without a notice:
// the lowest audio quality, a small window, an unknown rate, the slider's extremes, any pad
// byte.
TEST_F(ConfigurationFile, OfferedAndMeaningfulValuesAreKept) {
    ConfigRecord record;
    record.block1.audioQuality = 2;
    record.block1.screenWidth = 320;
    record.block1.screenHeight = 16;
    record.block1.refreshRate = 0;
    record.block1.gamma = 1.98f;
    record.block1.pad1[1] = 0x55;
    record.block2.anisotropy = 16;
    record.block2.multisampling = 0;
    writeWholeFile(kConfigFileName, recordBytes(record));
    loadConfiguration();
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_EQ(recordBytes(configState.record), recordBytes(record));
    applyConfiguration();
    EXPECT_EQ(configState.running.anisotropy, 16.0f);
}

// Many damaged fields go into one notice, in record order; a read-only file is repaired for
// the run and told that it cannot be saved.
TEST_F(ConfigurationFile, OneNoticeForEveryRepairedFieldOfAReadOnlyFile) {
    ConfigRecord record;
    record.block1.screenWidth = -1;
    record.block2.textureFiltering = 9;
    record.block2.multisampling = -3;
    writeWholeFile(kConfigFileName, recordBytes(record));
    chmod(kConfigFileName, 0444);
    testing::internal::CaptureStderr();
    loadConfiguration();
    saveConfiguration(); // the start-up's saves tell nothing more
    saveConfiguration();
    // Outside batch mode the refusal reaches standard error too, as a fatal report would.
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              formatBatchLine(BoxKind::Notice, kFileErrorCaption, saveText(EACCES), true) + "\n");
    ASSERT_EQ(boxes.boxes.size(), 2u);
    const std::string& text = boxes.boxes[0].text;
    size_t width = text.find("\n- Mode (width) : -1 -> 1024");
    size_t filtering = text.find("\n- Filtering : 9 -> 0");
    size_t samples = text.find("\n- MultiSampling : -3 -> 3");
    EXPECT_TRUE(width < filtering && filtering < samples && samples != std::string::npos) << text;
    EXPECT_EQ(boxes.boxes[1].text, saveText(EACCES));
    EXPECT_EQ(recordBytes(configState.record), defaultFileBytes());
    EXPECT_EQ(readWholeFile(kConfigFileName), recordBytes(record));
}

TEST_F(ConfigurationFile, SaveWritesEightyBytesBlockOneFirst) {
    writeWholeFile(kConfigFileName, {1, 2, 3});
    configState.record.block1.fullscreen = 0;
    configState.record.block1.screenWidth = 0x0304;
    configState.record.block1.gamma = 1.5f;
    configState.record.block2.textureCompression = 3;
    configState.record.block2.multisampling = 1;
    saveConfiguration();
    EXPECT_TRUE(boxes.boxes.empty());
    std::vector<unsigned char> file = readWholeFile(kConfigFileName);
    ASSERT_EQ(file.size(), 80u);
    EXPECT_EQ(file, recordBytes(configState.record));
    EXPECT_EQ(file[16], 0x04); // width, little-endian, in block 1
    EXPECT_EQ(file[17], 0x03);
    EXPECT_EQ(file[44], 3); // block 2 starts at 44
    EXPECT_EQ(file[56], 1); // multisampling

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
    EXPECT_EQ(boxes.boxes[0].text, saveText(EACCES));
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
    EXPECT_EQ(boxes.boxes[0].text, saveText(EFBIG));
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
                "fatal\tZORX_OpenGL - FILE ERROR\tFile : ConfigEngine.cfg\\\\n\\\\nThe system "
                "says : Too many open files\\\\n\\\\nPossible reasons :");
}
