// demotool build-data [--preview] OUTDIR: makes every asset of the demo from code and packs
// them into "Film_03.dat". The same program always writes the same bytes.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "config/configuration.h"
#include "platform/system/failure.h"
#include "sound/encoders.h"
#include "tools/bigfile_writer.h"
#include "tools/commands.h"
#include "tools/font_gen.h"
#include "tools/image_write.h"
#include "tools/music_score.h"
#include "tools/scene_gen.h"
#include "tools/textures_gen.h"

namespace {

constexpr char kBigfileName[] = "Film_03.dat";
constexpr char kBigfileStamp[] = "demotool build-data"; // no date: the output stays identical
constexpr int kJpegQuality = 92;
// The cursor's black is made transparent by an exact colour key: it needs the least noise.
constexpr int kColourKeyJpegQuality = 100;
constexpr float kMusicQuality = 0.5f;
constexpr float kMusicLimit = 0.55f; // the loudest hits are held about 5 dB down
constexpr float kMusicPeak = 0.75f;  // about -2.5 dBFS, headroom for the codec's overshoot
constexpr int kSoundKilobits = 192;
constexpr float kSoundPeak = 0.7f;

struct OutputFile {
    std::string name;
    std::vector<uint8_t> bytes;
    bool packed; // goes into the bigfile as well
};

struct BuildState {
    std::vector<OutputFile> files;
    std::vector<NamedImage> images; // every image, for the contact sheet
};

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Runs one stage and prints how long it took.
template <typename Work> void runStage(const char* name, Work work) {
    const Clock::time_point start = Clock::now();
    work();
    std::printf("  %-22s %7.2f s\n", name, secondsSince(start));
    std::fflush(stdout);
}

bool endsWithNoCase(const std::string& text, const char* suffix) {
    const size_t length = std::strlen(suffix);
    return text.size() >= length && strcasecmp(text.c_str() + text.size() - length, suffix) == 0;
}

void addImage(BuildState& state, NamedImage image, bool packed) {
    const bool jpeg = endsWithNoCase(image.name, ".jpg") || endsWithNoCase(image.name, ".jpeg");
    const int quality = image.name == "Cursor.jpg" ? kColourKeyJpegQuality : kJpegQuality;
    state.files.push_back(
        {image.name, jpeg ? encodeJpeg(image.image, quality) : encodePng(image.image), packed});
    state.images.push_back(std::move(image));
}

void addImages(BuildState& state, std::vector<NamedImage> images, bool packed) {
    for (NamedImage& image : images) addImage(state, std::move(image), packed);
}

[[noreturn]] void buildFailure(const std::string& text) {
    fatalError("ERROR", text);
}

void makeSceneTextures(BuildState& state) {
    for (const std::string& name : demoSceneTextureNames()) {
        NamedImage image{name, {}};
        if (!generateSceneTexture(name, image.image))
            buildFailure("The scene names the texture \"" + name + "\", which has no generator !");
        addImage(state, std::move(image), true);
    }
}

void makeMusic(BuildState& state) {
    StereoBuffer music = renderScore(introMusicScore());
    limitPeaks(music, peakLevel(music) * kMusicLimit, 0.005, 0.25);
    normalisePeak(music, kMusicPeak);
    std::vector<uint8_t> ogg = encodeVorbis(interleavePcm16(music), 2, music.rate, kMusicQuality);
    if (ogg.empty()) buildFailure("The Vorbis encoder failed !");
    state.files.push_back({"MusicIntro.ogg", std::move(ogg), true});
}

void makeEndSound(BuildState& state) {
    StereoBuffer sound = renderScore(endSoundScore());
    normalisePeak(sound, kSoundPeak);
    std::vector<uint8_t> mp3 = encodeMp3(interleavePcm16(sound), 2, sound.rate, kSoundKilobits);
    if (mp3.empty()) buildFailure("The MP3 encoder failed !");
    state.files.push_back({"Sound09.mp3", std::move(mp3), true});
}

// The configuration a fresh run folder starts with: the built-in defaults, but in a window of
// 1024 x 768, which opens on any desktop, without multisampling and with uncompressed textures
// under plain trilinear filtering. A software rasteriser samples compressed textures through
// anisotropic filtering very slowly (the hall takes seconds a frame instead of tens of
// milliseconds), and four samples a pixel double the first scene's time; the "More Settings"
// dialog still offers all three.
std::vector<uint8_t> shippedConfiguration() {
    ConfigRecord record;
    record.block1.fullscreen = 0;
    record.block1.screenWidth = 1024;
    record.block1.screenHeight = 768;
    record.block2.textureCompression = 0;
    record.block2.anisotropy = 1;
    record.block2.multisampling = 0;
    const ConfigBytes bytes = configurationBytes(record);
    return {bytes.begin(), bytes.end()};
}

void writeFileOrFail(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out.flush()) buildFailure("Cannot write " + path + " !");
}

void writeBigfileOrFail(const std::string& path, const BuildState& state) {
    std::vector<BigfileInput> inputs;
    for (const OutputFile& file : state.files)
        if (file.packed) inputs.push_back({file.name, kBigfileStamp, file.bytes});
    const std::string problem = bigfileInputProblem(inputs);
    if (!problem.empty()) buildFailure("Cannot pack " + path + " : " + problem);
    if (!writeBigfile(path, inputs)) buildFailure("Cannot write " + path + " !");
}

// All images on one sheet: thumbnails of at most 128 x 128 with their names below.
Image makeContactSheet(const std::vector<NamedImage>& images) {
    const int columns = 8, cellWidth = 144, cellHeight = 160, thumb = 128;
    const int rows = int(images.size() + columns - 1) / columns;
    Canvas sheet = makeCanvas(columns * cellWidth, rows * cellHeight, {0.12f, 0.12f, 0.14f, 1});
    const std::string labelFont = dejaVuFont("DejaVuSans.ttf");
    for (size_t i = 0; i < images.size(); ++i) {
        const Image& image = images[i].image;
        const int left = int(i % columns) * cellWidth, top = int(i / columns) * cellHeight;
        const float scale = std::min(float(thumb) / image.width, float(thumb) / image.height);
        const int width = std::max(1, int(image.width * scale));
        const int height = std::max(1, int(image.height * scale));
        const Image small = scaleImageRgb(image, width, height);
        const int x0 = left + (cellWidth - width) / 2, y0 = top + 8 + (thumb - height) / 2;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                float* p = sheet.at(x0 + x, y0 + y);
                for (int c = 0; c < 3; ++c)
                    p[c] = small.pixels[(size_t(y) * width + x) * 3 + c] / 255.0f;
            }
        const std::string label =
            images[i].name + " " + std::to_string(image.width) + "x" + std::to_string(image.height);
        const TextMask text = renderText(labelFont, 10, label);
        paintText(sheet, text, left + cellWidth * 0.5f, top + thumb + 20, {0.9f, 0.9f, 0.9f, 1},
                  {0, 0, 0, 0}, 0);
    }
    return canvasToImage(sheet, 3);
}

} // namespace

int runBuildData(int argc, char** argv) {
    bool preview = false, usable = true;
    std::string outDir;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--preview") == 0)
            preview = true;
        else if (argv[i][0] == '-' || !outDir.empty())
            usable = false; // unknown option, 2nd folder
        else
            outDir = argv[i];
    }
    if (!usable || outDir.empty()) {
        std::fprintf(stderr, "usage: demotool build-data [--preview] OUTDIR\n");
        return 2;
    }
    std::error_code error;
    std::filesystem::create_directories(outDir, error);
    if (error) buildFailure("Cannot create the folder " + outDir + " : " + error.message());

    const Clock::time_point start = Clock::now();
    std::printf("demotool build-data: writing the demo's data into %s\n", outDir.c_str());
    BuildState state;
    runStage("scene", [&] { state.files.push_back({"Film_03.3ds", buildDemoScene(), true}); });
    runStage("scene textures", [&] { makeSceneTextures(state); });
    runStage("font and titles", [&] {
        addImage(state, {"font.png", buildFontImage()}, true);
        addImages(state, generateTitleImages(), true);
    });
    runStage("interface images", [&] { addImages(state, generateInterfaceImages(), true); });
    runStage("icon and bitmaps", [&] { addImages(state, generateResourceImages(), false); });
    runStage("music", [&] { makeMusic(state); });
    runStage("end sound", [&] { makeEndSound(state); });
    runStage("configuration", [&] {
        state.files.push_back({kConfigFileName, shippedConfiguration(), false});
    });
    runStage("write files", [&] {
        for (const OutputFile& file : state.files)
            writeFileOrFail(outDir + "/" + file.name, file.bytes);
    });
    runStage("bigfile", [&] { writeBigfileOrFail(outDir + "/" + kBigfileName, state); });
    if (preview)
        runStage("preview", [&] {
            writeFileOrFail(outDir + "/preview.png", encodePng(makeContactSheet(state.images)));
        });
    std::printf("  %-22s %7.2f s (%zu files)\n", "total", secondsSince(start),
                state.files.size() + 1);
    return 0;
}

int runResources(int argc, char** argv) {
    if (argc != 1 || argv[0][0] == '-') {
        std::fprintf(stderr, "usage: demotool resources OUTDIR\n");
        return 2;
    }
    const std::string outDir = argv[0];
    std::error_code error;
    std::filesystem::create_directories(outDir, error);
    if (error) buildFailure("Cannot create the folder " + outDir + " : " + error.message());
    for (const NamedImage& image : generateResourceImages())
        writeFileOrFail(outDir + "/" + image.name, encodePng(image.image));
    return 0;
}
