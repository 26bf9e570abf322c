// Decoding through the engine's producers against the bare libraries on the same files, and
// reading a UNC cache file against one fread of the same bytes. Compare the pairs of one run.
#include <benchmark/benchmark.h>

#include <jpeglib.h>
#include <png.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "resources/images.h"
#include "tools/image_write.h"

namespace {

using Bytes = std::vector<unsigned char>;

constexpr int kSide = 1024;

// A texture-like picture: smooth gradients with some grain, so that it compresses as real
// textures do.
Bytes samplePicture(int channels) {
    Bytes pixels(size_t(kSide) * kSide * channels);
    uint32_t noise = 12345;
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            noise = noise * 1664525u + 1013904223u;
            unsigned grain = (noise >> 24) & 15;
            unsigned char* p = &pixels[(size_t(y) * kSide + x) * channels];
            p[0] = (unsigned char)((x / 4 + grain) & 255);
            p[1] = (unsigned char)((y / 4 + grain) & 255);
            p[2] = (unsigned char)(((x + y) / 8) & 255);
            if (channels == 4) p[3] = (unsigned char)(255 - (x / 8));
        }
    return pixels;
}

// The picture as a PNG or JPEG file in memory, through the data tool's encoders.
Bytes encodedPicture(int channels, bool jpeg) {
    Image image{kSide, kSide, channels, samplePicture(channels)};
    return jpeg ? encodeJpeg(image, 90) : encodePng(image);
}

struct BenchFiles {
    std::string folder, png, alphaPng, jpeg, unc;
    Bytes pngBytes, alphaPngBytes, jpegBytes;
    BenchFiles() {
        folder = "/tmp/zorx-bench-" + std::to_string(::getpid());
        std::string command = "mkdir -p " + folder;
        if (std::system(command.c_str()) != 0) std::abort();
        pngBytes = encodedPicture(3, false);
        alphaPngBytes = encodedPicture(4, false);
        jpegBytes = encodedPicture(3, true);
        png = save("PICTURE.PNG", pngBytes);
        alphaPng = save("ALPHA.PNG", alphaPngBytes);
        jpeg = save("PICTURE.JPG", jpegBytes);
        Bytes uncBytes = samplePicture(4);
        uncBytes.insert(uncBytes.end(), {0x00, 0x04, 0x00, 0x04}); // 1024 + 1024 * 65536
        unc = save("PICTURE.UNC", uncBytes);
    }
    ~BenchFiles() {
        std::string command = "rm -rf " + folder;
        if (std::system(command.c_str()) != 0)
            std::fprintf(stderr, "could not remove %s\n", folder.c_str());
    }
    std::string save(const char* name, const Bytes& bytes) {
        std::string path = folder + "/" + name;
        std::FILE* file = std::fopen(path.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
        return path;
    }
};

BenchFiles& files() {
    static BenchFiles instance;
    return instance;
}

void EngineDecode(benchmark::State& state, const std::string& path) {
    for (auto _ : state) {
        TextureRecord record;
        decodeWithImageLibrary(record, path, "", false);
        benchmark::DoNotOptimize(record.pixels);
        releasePixels(record);
    }
}

void BM_EnginePng(benchmark::State& state) {
    EngineDecode(state, files().png);
}
void BM_EnginePngAlpha(benchmark::State& state) {
    EngineDecode(state, files().alphaPng);
}
void BM_EngineJpeg(benchmark::State& state) {
    EngineDecode(state, files().jpeg);
}

// libpng's own RGBA decode from memory into a buffer.
void BarePng(benchmark::State& state, const Bytes& file) {
    Bytes pixels(size_t(kSide) * kSide * 4);
    for (auto _ : state) {
        png_image image = {};
        image.version = PNG_IMAGE_VERSION;
        png_image_begin_read_from_memory(&image, file.data(), file.size());
        image.format = PNG_FORMAT_RGBA;
        png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr);
        benchmark::DoNotOptimize(pixels.data());
    }
}
void BM_BarePng(benchmark::State& state) {
    BarePng(state, files().pngBytes);
}
void BM_BarePngAlpha(benchmark::State& state) {
    BarePng(state, files().alphaPngBytes);
}

// libjpeg-turbo's RGBA decode from memory into a buffer.
void BM_BareJpeg(benchmark::State& state) {
    const Bytes& file = files().jpegBytes;
    Bytes pixels(size_t(kSide) * kSide * 4);
    for (auto _ : state) {
        jpeg_decompress_struct info;
        jpeg_error_mgr error;
        info.err = jpeg_std_error(&error);
        jpeg_create_decompress(&info);
        jpeg_mem_src(&info, file.data(), file.size());
        jpeg_read_header(&info, TRUE);
        info.out_color_space = JCS_EXT_RGBA;
        jpeg_start_decompress(&info);
        while (info.output_scanline < info.output_height) {
            JSAMPROW row = &pixels[size_t(info.output_scanline) * kSide * 4];
            jpeg_read_scanlines(&info, &row, 1);
        }
        jpeg_finish_decompress(&info);
        jpeg_destroy_decompress(&info);
        benchmark::DoNotOptimize(pixels.data());
    }
}

void BM_EngineUncRead(benchmark::State& state) {
    for (auto _ : state) {
        TextureRecord record;
        readUnc(record, files().unc, "", false);
        benchmark::DoNotOptimize(record.pixels);
        releasePixels(record);
    }
}

// The same bytes with one fread into a fresh buffer.
void BM_BareFread(benchmark::State& state) {
    size_t size = size_t(kSide) * kSide * 4 + 4;
    for (auto _ : state) {
        std::FILE* file = std::fopen(files().unc.c_str(), "rb");
        void* buffer = std::malloc(size);
        benchmark::DoNotOptimize(std::fread(buffer, 1, size, file));
        std::fclose(file);
        std::free(buffer);
    }
}

} // namespace

BENCHMARK(BM_BarePng)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EnginePng)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BarePngAlpha)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EnginePngAlpha)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareJpeg)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EngineJpeg)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareFread)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EngineUncRead)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
