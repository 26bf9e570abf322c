// Texture loading: a photo-like JPEG decoded and uploaded, against the same image read from
// its UNC cache file; and the normalisation cube map. Run under a display (xvfb-run).
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "resources/textures.h"
#include "tests/image_files.h"

namespace {

// A hidden window with a current GL context for the whole run; false without a display.
bool makeContext() {
    static bool made = [] {
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
        SDL_Window* window =
            SDL_CreateWindow("zorx bench", 0, 0, 64, 64, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        return window != nullptr && SDL_GL_CreateContext(window) != nullptr;
    }();
    return made;
}

// A folder with a side x side JPEG of smooth gradients and noise, as photos have.
std::string imageFolder(int side) {
    std::string folder =
        (std::filesystem::temp_directory_path() / ("zorx-bench-" + std::to_string(side))).string();
    std::filesystem::create_directories(folder);
    std::vector<uint8_t> rgb(size_t(side) * side * 3);
    uint32_t noise = 12345;
    for (size_t i = 0; i < rgb.size(); ++i) {
        noise = noise * 1103515245u + 12345u;
        size_t pixel = i / 3;
        rgb[i] = uint8_t((pixel % side + pixel / side + (i % 3) * 40 + (noise >> 28)) & 255);
    }
    writeJpegPixels(folder + "/PHOTO.JPG", side, side, rgb);
    return folder;
}

void loadPhoto(benchmark::State& state, bool fromCache) {
    if (!makeContext()) return state.SkipWithError("no display");
    int side = static_cast<int>(state.range(0));
    std::string folder = imageFolder(side);
    std::filesystem::current_path(folder);
    std::filesystem::remove(folder + "/PHOTO.UNC");
    textureState.quality.saveCompressed = true;
    loadTexture("photo.jpg", ""); // writes the cache file
    deleteAllTextures();
    if (!fromCache) std::filesystem::remove(folder + "/PHOTO.UNC");
    textureState.quality.saveCompressed = false;
    for (auto _ : state) {
        benchmark::DoNotOptimize(loadTexture("photo.jpg", ""));
        deleteAllTextures();
    }
    state.SetBytesProcessed(state.iterations() * int64_t(side) * side * 4);
    std::filesystem::remove_all(folder);
}

void BM_LoadTextureDecoding(benchmark::State& state) {
    loadPhoto(state, false);
}
void BM_LoadTextureFromCache(benchmark::State& state) {
    loadPhoto(state, true);
}
BENCHMARK(BM_LoadTextureDecoding)->Arg(256)->Arg(1024)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadTextureFromCache)->Arg(256)->Arg(1024)->Unit(benchmark::kMillisecond);

void BM_BuildNormalisationCubeMap(benchmark::State& state) {
    if (!makeContext()) return state.SkipWithError("no display");
    for (auto _ : state) buildNormalisationCubeMap();
    deleteAllTextures();
}
BENCHMARK(BM_BuildNormalisationCubeMap)->Unit(benchmark::kMillisecond);

} // namespace
BENCHMARK_MAIN();
