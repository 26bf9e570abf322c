// The loading phase with the demo's own data, against the floor of the same work done with the
// bare libraries: every bigfile entry read from the file, every image decoded (libpng,
// libjpeg), the music opened (vorbisfile) and the end sound decoded whole (mpg123). What the
// loading phase adds on top is the 3DS parse and mesh preparation, the texture uploads with
// their mipmaps and compression, the font's glyphs and the vertex buffers. Run under a display
// (xvfb-run) after the demo_data target; the counter "ratio" is loading / floor.
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <jpeglib.h>
#include <mpg123.h>
#include <png.h>
#include <vorbis/vorbisfile.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/demo_state.h"
#include "app/loading.h"
#include "config/loading_dialog.h"
#include "effects/engine.h"
#include "effects/particles.h"
#include "platform/gl/gl_context.h"
#include "platform/system/failure.h"
#include "platform/gl/gl_strings.h"
#include "platform/window.h"
#include "render/capabilities.h"
#include "render/render_targets.h"
#include "resources/bigfile.h"
#include "resources/textures.h"
#include "scene/objects.h"
#include "scene/scene_graph.h"
#include "sound/fsound.h"

namespace {

const std::string kData = ZORX_DATA_DIR;
const std::string kArchive = kData + "/Film_03.dat";

using Clock = std::chrono::steady_clock;

// A hidden window with its context standing in for the main window, and the engine on it.
bool startEngine() {
    static bool started = [] {
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
        SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
        SDL_Window* window =
            SDL_CreateWindow("zorx bench", 0, 0, 640, 480, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        if (window == nullptr) return false;
        SDL_GLContext context = SDL_GL_CreateContext(window);
        if (context == nullptr) return false;
        windowState.window = window;
        windowState.context = context;
        setWindowGLContext(windowState.window, windowState.context);
        failureState.batch = true;
        captureGLStrings();
        RenderSettings settings;
        settings.screenWidth = 640;
        settings.screenHeight = 480;
        settings.multisampleMode = 0;
        initEngine(settings, driverQuery(glStrings));
        setTextureQuality(TextureQuality{});
        return soundInitOffline(44100);
    }();
    return started;
}

void unloadEverything() {
    deleteParticleSystem(kStarSystemId);
    releaseLoadedAssets();
    shutdownEngine();
    shutdownSceneGraph();
}

void BM_LoadingPhase(benchmark::State& state) {
    if (!std::filesystem::exists(kArchive)) return state.SkipWithError("build demo_data first");
    if (!startEngine()) return state.SkipWithError("no display");
    std::filesystem::current_path(kData);
    loadingDialogState.sink = LoadingSink::Dialog; // no window: nothing shown, nothing waits
    for (auto _ : state) {
        state.PauseTiming();
        initSceneGraph();
        state.ResumeTiming();
        runLoadingPhase();
        state.PauseTiming();
        state.counters["textures"] = double(textureState.count);
        unloadEverything();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_LoadingPhase)->Unit(benchmark::kMillisecond)->Iterations(5);

// ---- the floor ----

std::vector<uint8_t> readRange(std::FILE* file, uint64_t position, uint32_t size) {
    std::vector<uint8_t> bytes(size);
    if (std::fseek(file, long(position), SEEK_SET) != 0 ||
        std::fread(bytes.data(), 1, size, file) != size)
        bytes.clear();
    return bytes;
}

bool endsWith(const std::string& name, const char* suffix) {
    size_t length = std::strlen(suffix);
    return name.size() >= length && strcasecmp(name.c_str() + name.size() - length, suffix) == 0;
}

size_t decodePng(const std::vector<uint8_t>& bytes) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) return 0;
    image.format = PNG_FORMAT_RGBA;
    std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) return 0;
    return pixels.size();
}

size_t decodeJpeg(const std::vector<uint8_t>& bytes) {
    jpeg_decompress_struct info;
    jpeg_error_mgr error;
    info.err = jpeg_std_error(&error);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, bytes.data(), (unsigned long)bytes.size());
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    const size_t stride = size_t(info.output_width) * info.output_components;
    std::vector<uint8_t> pixels(stride * info.output_height);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = pixels.data() + stride * info.output_scanline;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return pixels.size();
}

struct MemoryImage {
    const std::vector<uint8_t>* bytes;
    size_t at;
};

size_t readImage(void* out, size_t size, size_t count, void* source) {
    MemoryImage& image = *static_cast<MemoryImage*>(source);
    size_t wanted = size * count, left = image.bytes->size() - image.at;
    size_t taken = wanted < left ? wanted : left;
    std::memcpy(out, image.bytes->data() + image.at, taken);
    image.at += taken;
    return size == 0 ? 0 : taken / size;
}

int seekImage(void* source, ogg_int64_t offset, int whence) {
    MemoryImage& image = *static_cast<MemoryImage*>(source);
    ogg_int64_t base = whence == SEEK_SET   ? 0
                       : whence == SEEK_CUR ? ogg_int64_t(image.at)
                                            : ogg_int64_t(image.bytes->size());
    if (base + offset < 0 || base + offset > ogg_int64_t(image.bytes->size())) return -1;
    image.at = size_t(base + offset);
    return 0;
}

long tellImage(void* source) {
    return long(static_cast<MemoryImage*>(source)->at);
}

size_t openVorbis(const std::vector<uint8_t>& bytes) {
    MemoryImage image{&bytes, 0};
    OggVorbis_File file;
    ov_callbacks callbacks = {readImage, seekImage, nullptr, tellImage};
    if (ov_open_callbacks(&image, &file, nullptr, 0, callbacks) != 0) return 0;
    size_t frames = size_t(ov_pcm_total(&file, -1));
    ov_clear(&file);
    return frames;
}

size_t decodeMp3(const std::vector<uint8_t>& bytes) {
    mpg123_handle* handle = mpg123_new(nullptr, nullptr);
    mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
    mpg123_open_feed(handle);
    mpg123_feed(handle, bytes.data(), bytes.size());
    std::vector<uint8_t> block(65536);
    size_t total = 0, got = 0;
    int result;
    do {
        result = mpg123_read(handle, block.data(), block.size(), &got);
        total += got;
    } while (result == MPG123_OK || result == MPG123_NEW_FORMAT);
    mpg123_delete(handle);
    return total;
}

void BM_LoadingFloor(benchmark::State& state) {
    if (!std::filesystem::exists(kArchive)) return state.SkipWithError("build demo_data first");
    const std::vector<BigfileEntry> entries = listBigfileEntries(kArchive);
    mpg123_init();
    for (auto _ : state) {
        std::FILE* file = std::fopen(kArchive.c_str(), "rb");
        size_t produced = 0, images = 0;
        for (const BigfileEntry& entry : entries) {
            std::vector<uint8_t> bytes = readRange(file, entry.position, entry.size);
            if (endsWith(entry.name, ".png")) {
                produced += decodePng(bytes);
                ++images;
            } else if (endsWith(entry.name, ".jpg")) {
                produced += decodeJpeg(bytes);
                ++images;
            } else if (endsWith(entry.name, ".ogg")) {
                produced += openVorbis(bytes);
            } else if (endsWith(entry.name, ".mp3")) {
                produced += decodeMp3(bytes);
            } else {
                produced += bytes.size(); // the 3DS file: read only
            }
        }
        std::fclose(file);
        benchmark::DoNotOptimize(produced);
        state.counters["images"] = double(images);
    }
}
BENCHMARK(BM_LoadingFloor)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace
BENCHMARK_MAIN();
