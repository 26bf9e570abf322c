// The demo's data as demotool build-data writes it: identical on every run, every image
// readable by the engine with power-of-two sides, the font grid in its column order, music
// and sound of the right length that never clip, and a bigfile holding them all.
#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H
#include <mpg123.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "config/configuration.h"
#include "platform/system/memory.h"
#include "resources/bigfile.h"
#include "resources/images.h"
#include "sound/fsound.h"
#include "support/test_support.h"

namespace {

const std::string kData = ZORX_DATA_DIR;
const std::string kArchive = kData + "/Film_03.dat";

// The fixed order of the font image: column by column from the left, each from the top.
const char kColumnOrder[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.,!?()\"#%<>=+-*:;/\\$'&[]_{}~";

const char* const kProgramFiles[] = {
    "Film_03.3ds",     "font.png",     "MusicIntro.ogg", "Sound09.mp3",   "GammaLine.png",
    "GammaSlider.png", "Cursor.jpg",   "Presents.png",   "PoweredBy.png", "ZORXOpenGL.jpg",
    "ComingSoon.png",  "Textur20.png", "Textur64.jpg",   "Flare10.png",   "Flare11.png",
    "Flare12.png",     "Flare13.png",  "Flare14.png",    "Flare15.png",   "Flare16.png"};

std::string runCommand(const std::string& command, int& exitCode) {
    std::string output;
    std::FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    char chunk[4096];
    size_t count;
    while ((count = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) output.append(chunk, count);
    const int status = pclose(pipe);
    exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return output;
}

// Entry names of a bigfile, in directory order.
std::vector<std::string> bigfileNames(const std::string& path) {
    const std::vector<unsigned char> bytes = readWholeFile(path);
    const std::string text(bytes.begin(), bytes.end());
    std::vector<std::string> names;
    size_t line = kBigfileBeginMarker.size();
    while (line < text.size() &&
           text.compare(line, kBigfileEndMarker.size(), kBigfileEndMarker) != 0) {
        const size_t end = text.find('\n', line);
        names.push_back(text.substr(line, text.find(';', line) - line));
        line = end + 1;
    }
    return names;
}

std::vector<uint8_t> loadArchiveEntry(const std::string& name) {
    uint8_t* buffer = nullptr;
    const uint32_t size = loadEntry(name, kArchive, buffer);
    std::vector<uint8_t> bytes(buffer, buffer + size);
    accountedFree(buffer, size);
    return bytes;
}

struct Decoded {
    int width = 0, height = 0;
    std::vector<uint8_t> rgba;
    const uint8_t* at(int x, int y) const { return &rgba[(size_t(y) * width + x) * 4]; }
};

// Decodes with the engine's own image decoder, as the demo will.
Decoded decode(const std::vector<uint8_t>& bytes, bool colourKey = false) {
    TextureRecord record;
    Decoded image;
    EXPECT_EQ(decodeImageData(record, bytes.data(), bytes.size(), colourKey), DecodeResult::Ok);
    if (!record.pixelsLoaded) return image;
    image.width = record.width, image.height = record.height;
    image.rgba.assign(record.pixels, record.pixels + size_t(record.width) * record.height * 4);
    releasePixels(record);
    return image;
}

bool powerOfTwo(int n) {
    return n > 0 && (n & (n - 1)) == 0;
}
bool isImageName(const std::string& name) {
    const std::string lower = [&] {
        std::string s = name;
        for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
        return s;
    }();
    return lower.ends_with(".png") || lower.ends_with(".jpg");
}

int pngColourType(const std::vector<uint8_t>& bytes) {
    return bytes.size() > 25 ? bytes[25] : -1;
}

class DemoData : public testing::Test {
  protected:
    void SetUp() override {
        if (!std::filesystem::exists(kArchive))
            GTEST_FAIL() << kArchive << " is missing: the build makes it (cmake --build build)";
    }
};

TEST_F(DemoData, TwoRunsWriteTheSameBytesAndThePreviewSheet) {
    TempDir out;
    int exitCode = 0;
    const std::string log = runCommand(
        std::string(ZORX_BIN_DIR) + "/demotool build-data --preview " + out.path, exitCode);
    ASSERT_EQ(exitCode, 0) << log;
    EXPECT_NE(log.find("music"), std::string::npos) << "each stage prints its time";
    EXPECT_NE(log.find("total"), std::string::npos);

    size_t compared = 0;
    for (const auto& entry : std::filesystem::directory_iterator(out.path)) {
        const std::string name = entry.path().filename().string();
        if (name == "preview.png") continue;
        EXPECT_EQ(readWholeFile(entry.path().string()), readWholeFile(kData + "/" + name)) << name;
        ++compared;
    }
    EXPECT_GE(compared, std::size(kProgramFiles) + 10);

    const Decoded sheet = decode(readWholeFile(out.file("preview.png")));
    EXPECT_GE(sheet.width, 512);
    EXPECT_GE(sheet.height, 512);
}

TEST_F(DemoData, CommandLineWithoutAUsableFolderIsRefused) {
    int exitCode = 0;
    const std::string demotool = std::string(ZORX_BIN_DIR) + "/demotool build-data";
    runCommand(demotool, exitCode);
    EXPECT_EQ(exitCode, 2);
    runCommand(demotool + " --preview", exitCode);
    EXPECT_EQ(exitCode, 2);
    runCommand(demotool + " --fast somewhere", exitCode);
    EXPECT_EQ(exitCode, 2);

    TempDir out;
    writeWholeFile(out.file("taken"), {1, 2, 3});
    const std::string log = runCommand(demotool + " " + out.file("taken"), exitCode);
    EXPECT_EQ(exitCode, 1);
    EXPECT_NE(log.find("demotool: build-data: Cannot create the folder"), std::string::npos) << log;
}

TEST_F(DemoData, BigfileHoldsEveryFileTheProgramAndTheSceneLoad) {
    const std::vector<std::string> names = bigfileNames(kArchive);
    for (const char* name : kProgramFiles)
        EXPECT_NE(std::find(names.begin(), names.end(), name), names.end()) << name;
    // Every texture the scene names, normal maps included, is in the archive too.
    for (const char* name : {"Stone.jpg", "Tiles.jpg", "Pillar.jpg", "Pillar_NM.PNG", "Glass.png"})
        EXPECT_TRUE(fileExists(name, kArchive)) << name;
    for (const std::string& name : names)
        EXPECT_EQ(loadArchiveEntry(name), readWholeFile(kData + "/" + name)) << name;
}

TEST_F(DemoData, ShippedConfigurationIsTheDefaultsInA1024By768WindowWithoutCostlyFiltering) {
    const std::vector<unsigned char> bytes = readWholeFile(kData + "/" + kConfigFileName);
    ASSERT_EQ(bytes.size(), 80u);
    auto int32At = [&](size_t offset) {
        int32_t value;
        std::memcpy(&value, bytes.data() + offset, 4);
        return value;
    };
    EXPECT_EQ(int32At(0), 0); // windowed
    EXPECT_EQ(int32At(16), 1024);
    EXPECT_EQ(int32At(20), 768);
    ConfigRecord defaults;
    defaults.block1.fullscreen = 0;
    defaults.block2.textureCompression = 0;
    defaults.block2.anisotropy = 1;
    defaults.block2.multisampling = 0;
    EXPECT_EQ(std::memcmp(bytes.data(), &defaults.block1, 44), 0);
    EXPECT_EQ(std::memcmp(bytes.data() + 44, &defaults.block2, 36), 0);
    // The program reads it without a notice; it is a loose file, not packed.
    BoxRecorder boxes;
    {
        ScopedChdir into(kData);
        loadConfiguration();
    }
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_EQ(configState.record.block1.fullscreen, 0);
    EXPECT_EQ(configState.record.block2.depthBufferBits, 24);
    configState = ConfigState{};
    const std::vector<std::string> names = bigfileNames(kArchive);
    EXPECT_EQ(std::find(names.begin(), names.end(), kConfigFileName), names.end());
}

TEST_F(DemoData, EveryImageDecodesWithPowerOfTwoSides) {
    std::vector<std::string> images;
    for (const std::string& name : bigfileNames(kArchive))
        if (isImageName(name)) images.push_back(name);
    images.push_back("icon2500.png");
    for (int id = 2400; id <= 2408; ++id) images.push_back("bitmap" + std::to_string(id) + ".png");
    EXPECT_GE(images.size(), 30u);
    for (const std::string& name : images) {
        const Decoded image = decode(readWholeFile(kData + "/" + name));
        EXPECT_TRUE(powerOfTwo(image.width) && powerOfTwo(image.height))
            << name << " is " << image.width << " x " << image.height;
    }
}

// Alpha where the demo relies on it: the glass blends by its own alpha, the font and the cursor
// get theirs from the colour key, which a PNG with an alpha channel would bypass.
TEST_F(DemoData, AlphaAndColourKeyWhereTheDemoBlends) {
    const std::vector<uint8_t> glassBytes = readWholeFile(kData + "/Glass.png");
    EXPECT_EQ(pngColourType(glassBytes), 6) << "Glass.png must carry alpha";
    const Decoded glass = decode(glassBytes);
    uint8_t least = 255, most = 0;
    for (size_t i = 3; i < glass.rgba.size(); i += 4) {
        least = std::min(least, glass.rgba[i]);
        most = std::max(most, glass.rgba[i]);
    }
    EXPECT_LT(most, 255) << "the pane sees through everywhere: its frame is geometry";
    EXPECT_GT(most - least, 40) << "streaks catch the light";

    EXPECT_EQ(pngColourType(readWholeFile(kData + "/font.png")), 2) << "font.png must be RGB";

    const Decoded cursor = decode(readWholeFile(kData + "/Cursor.jpg"), true);
    ASSERT_EQ(cursor.width, 64);
    size_t keyed = 0;
    for (size_t i = 3; i < cursor.rgba.size(); i += 4) keyed += cursor.rgba[i] == 0;
    EXPECT_GT(keyed, cursor.rgba.size() / 4 * 7 / 10) << "the black around the arrow is keyed out";
    for (auto [x, y] : {std::array<int, 2>{0, 0}, {63, 0}, {0, 63}, {63, 63}, {50, 20}})
        EXPECT_EQ(cursor.at(x, y)[3], 0) << x << "," << y;
    // The arrow's tip sits a quarter in from the top-left corner, where the mouse points.
    EXPECT_EQ(cursor.at(17, 20)[3], 255);
    EXPECT_GT(cursor.at(17, 20)[0], 200);
}

// ---------------------------------------------------------------------------------------------
// Font

struct Cell {
    int left, top;
};
Cell cellOf(int index) {
    return {(index / 8) * 64, (index % 8) * 64};
}

// A glyph's shape independent of its size: coverage of its ink box on a 12 x 12 grid, plus
// the box's aspect ratio.
struct Shape {
    std::array<float, 144> grid{};
    float aspect = 0;
};

template <typename Coverage> Shape shapeOf(int width, int height, Coverage coverage) {
    int left = width, top = height, right = -1, bottom = -1;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (coverage(x, y) > 0.5f)
                left = std::min(left, x), right = std::max(right, x), top = std::min(top, y),
                bottom = std::max(bottom, y);
    Shape shape;
    if (right < 0) return shape;
    const int w = right - left + 1, h = bottom - top + 1;
    shape.aspect = float(w) / float(h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            shape.grid[size_t(y * 12 / h) * 12 + x * 12 / w] +=
                coverage(left + x, top + y) * 144.0f / float(w * h);
    return shape;
}

float difference(const Shape& a, const Shape& b) {
    float sum = std::fabs(a.aspect - b.aspect) * 4;
    for (size_t i = 0; i < a.grid.size(); ++i) sum += std::fabs(a.grid[i] - b.grid[i]) / 144.0f;
    return sum;
}

// The character drawn by FreeType on its own, at a size unrelated to the font image's.
Shape referenceShape(char character) {
    FT_Library library;
    FT_Face face;
    EXPECT_EQ(FT_Init_FreeType(&library), 0);
    EXPECT_EQ(
        FT_New_Face(library, "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf", 0, &face), 0);
    FT_Set_Pixel_Sizes(face, 0, 80);
    FT_Load_Char(face, static_cast<unsigned char>(character), FT_LOAD_RENDER);
    const FT_Bitmap& bitmap = face->glyph->bitmap;
    const Shape shape = shapeOf(int(bitmap.width), int(bitmap.rows), [&](int x, int y) {
        return bitmap.buffer[y * bitmap.pitch + x] / 255.0f;
    });
    FT_Done_Face(face);
    FT_Done_FreeType(library);
    return shape;
}

TEST_F(DemoData, FontHasOneWhiteGlyphInsideEachOfItsSixtyFourCells) {
    const Decoded font = decode(readWholeFile(kData + "/font.png"));
    ASSERT_EQ(font.width, 512);
    ASSERT_EQ(font.height, 512);
    for (int index = 0; index < 64; ++index) {
        const Cell cell = cellOf(index);
        int ink = 0, onBorder = 0, coloured = 0;
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x) {
                const uint8_t* p = font.at(cell.left + x, cell.top + y);
                if (p[0] == 0) continue;
                ++ink;
                onBorder += x == 0 || y == 0 || x == 63 || y == 63;
                coloured += p[0] != p[1] || p[1] != p[2];
            }
        EXPECT_GT(ink, 20) << "cell of '" << kColumnOrder[index] << "' is empty";
        EXPECT_EQ(onBorder, 0) << "'" << kColumnOrder[index] << "' touches its cell's edge";
        EXPECT_EQ(coloured, 0) << "'" << kColumnOrder[index] << "' is not white";
    }
}

TEST_F(DemoData, FontGlyphsStandInColumnOrder) {
    const Decoded font = decode(readWholeFile(kData + "/font.png"));
    ASSERT_EQ(font.width, 512);
    std::vector<Shape> cells;
    for (int index = 0; index < 64; ++index) {
        const Cell cell = cellOf(index);
        cells.push_back(shapeOf(64, 64, [&](int x, int y) {
            return font.at(cell.left + x, cell.top + y)[0] / 255.0f;
        }));
    }
    // A first and a last letter of a column, digits, and signs from the last columns.
    for (char probe : std::string("AHIQZ05?%&{~")) {
        const Shape reference = referenceShape(probe);
        int best = 0;
        for (int index = 1; index < 64; ++index)
            if (difference(cells[index], reference) < difference(cells[best], reference))
                best = index;
        EXPECT_EQ(kColumnOrder[best], probe) << "'" << probe << "' expected in column "
                                             << std::strchr(kColumnOrder, probe) - kColumnOrder;
    }
}

// ---------------------------------------------------------------------------------------------
// Music and sound

struct Pcm {
    int rate = 0, channels = 0;
    std::vector<float> samples; // interleaved
    double seconds() const { return double(samples.size()) / channels / rate; }
    float peak() const {
        float peak = 0;
        for (float s : samples) peak = std::max(peak, std::fabs(s));
        return peak;
    }
    // Level of [from, to) seconds in dB below full scale.
    double levelDb(double from, double to) const {
        const size_t first = size_t(from * rate) * channels;
        const size_t last = std::min(samples.size(), size_t(to * rate) * channels);
        double sum = 0;
        for (size_t i = first; i < last; ++i) sum += double(samples[i]) * samples[i];
        return 10 * std::log10(sum / double(std::max<size_t>(1, last - first)) + 1e-20);
    }
};

Pcm decodeVorbis(const std::string& path) {
    Pcm pcm;
    OggVorbis_File file;
    if (ov_fopen(path.c_str(), &file) != 0) {
        ADD_FAILURE() << path << " is not Ogg Vorbis";
        return pcm;
    }
    const vorbis_info* info = ov_info(&file, -1);
    pcm.rate = int(info->rate), pcm.channels = info->channels;
    float** channels;
    int section;
    long count;
    while ((count = ov_read_float(&file, &channels, 4096, &section)) > 0)
        for (long i = 0; i < count; ++i)
            for (int c = 0; c < pcm.channels; ++c) pcm.samples.push_back(channels[c][i]);
    ov_clear(&file);
    return pcm;
}

Pcm decodeMp3(const std::string& path) {
    Pcm pcm;
    mpg123_init();
    mpg123_handle* handle = mpg123_new(nullptr, nullptr);
    mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_FORCE_FLOAT, 0.0);
    if (mpg123_open(handle, path.c_str()) != MPG123_OK) {
        ADD_FAILURE() << path << " does not open as MP3";
        mpg123_delete(handle);
        return pcm;
    }
    long rate;
    int channels, encoding;
    mpg123_getformat(handle, &rate, &channels, &encoding);
    pcm.rate = int(rate), pcm.channels = channels;
    EXPECT_EQ(encoding, MPG123_ENC_FLOAT_32);
    std::vector<unsigned char> buffer(65536);
    size_t done = 0;
    int result;
    while ((result = mpg123_read(handle, buffer.data(), buffer.size(), &done)) == MPG123_OK ||
           done > 0) {
        const float* samples = reinterpret_cast<const float*>(buffer.data());
        pcm.samples.insert(pcm.samples.end(), samples, samples + done / sizeof(float));
        if (result != MPG123_OK) break;
    }
    mpg123_close(handle);
    mpg123_delete(handle);
    return pcm;
}

TEST_F(DemoData, MusicCoversBothScenesFollowsTheTimelineAndNeverClips) {
    const Pcm music = decodeVorbis(kData + "/MusicIntro.ogg");
    ASSERT_EQ(music.channels, 2);
    EXPECT_EQ(music.rate, 44100);
    EXPECT_GE(music.seconds(), 116.0);
    EXPECT_LT(music.peak(), 1.0f) << "clipped";
    EXPECT_GT(music.peak(), 0.5f) << "too quiet";
    // Heard from the start, a hit for "presents" at 45 s, a new section at 50 s, a closing hit
    // for "powered by" at 110 s, faded out by 115 s.
    EXPECT_GT(music.levelDb(1, 5), -45);
    EXPECT_GT(music.levelDb(45, 46), music.levelDb(43, 44) + 2);
    EXPECT_GT(music.levelDb(50.5, 52), music.levelDb(48.5, 50) + 3);
    EXPECT_GT(music.levelDb(110, 111), music.levelDb(108, 109) + 1.5) << "closing hit";
    EXPECT_GT(music.levelDb(110, 111), music.levelDb(112.5, 113.5) + 6);
    EXPECT_LT(music.levelDb(115.2, music.seconds()), -70);
}

TEST_F(DemoData, EndSoundIsAShortStereoSampleThatNeverClips) {
    const Pcm sound = decodeMp3(kData + "/Sound09.mp3");
    ASSERT_EQ(sound.channels, 2);
    EXPECT_EQ(sound.rate, 44100);
    EXPECT_GE(sound.seconds(), 2.0);
    EXPECT_LE(sound.seconds(), 6.0);
    EXPECT_LT(sound.peak(), 1.0f);
    EXPECT_GT(sound.levelDb(0.5, 2.0), -40);
}

// The loading phase opens both from the bigfile's memory images; the first scene plays the
// music from there.
TEST_F(DemoData, SoundLayerOpensMusicAndSampleAsTheLoadingPhaseDoes) {
    const std::vector<uint8_t> music = loadArchiveEntry("MusicIntro.ogg");
    const std::vector<uint8_t> sound = loadArchiveEntry("Sound09.mp3");
    ASSERT_TRUE(soundInitOffline(44100));
    FSOUND_STREAM* stream = FSOUND_Stream_Open(music.data(), 0x8000, 0, int(music.size()));
    FSOUND_SAMPLE* sample = FSOUND_Sample_Load(-1, sound.data(), 0x8151, 0, int(sound.size()));
    EXPECT_NE(stream, nullptr) << soundErrorText(FSOUND_GetError());
    EXPECT_NE(sample, nullptr) << soundErrorText(FSOUND_GetError());
    if (stream != nullptr) {
        ASSERT_GE(FSOUND_Stream_Play(-1, stream), 0);
        std::vector<int16_t> mix(44100 * 2);
        for (int second = 0; second < 2; ++second) soundRenderFrames(mix.data(), 44100);
        int loudest = 0;
        for (int16_t s : mix) loudest = std::max(loudest, std::abs(int(s)));
        EXPECT_GT(loudest, 1000) << "the second second of the music is heard";
        EXPECT_NEAR(FSOUND_Stream_GetTime(stream), 2000, 50);
    }
    FSOUND_Close();
}

} // namespace
