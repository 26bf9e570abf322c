// One lookup in a 30-entry bigfile: open, scan the directory, close.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <string>

#include "resources/bigfile.h"

namespace {

struct Archive {
    std::string path = "/tmp/zorx-bench-" + std::to_string(::getpid()) + ".dat";
    Archive() {
        std::string header(kBigfileBeginMarker), data;
        for (int i = 0; i < 30; ++i) {
            std::string member(1000 + i * 37, char('a' + i % 26));
            header += "Texture" + std::to_string(i) + ".png;2026-12-07 20:00:00;" +
                      std::to_string(member.size()) + "\n";
            data += member;
        }
        header += kBigfileEndMarker;
        std::FILE* file = std::fopen(path.c_str(), "wb");
        std::fwrite(header.data(), 1, header.size(), file);
        std::fwrite(data.data(), 1, data.size(), file);
        std::fclose(file);
    }
    ~Archive() { std::remove(path.c_str()); }
};

Archive& archive() {
    static Archive instance;
    return instance;
}

void BM_LookupLastOfThirty(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(getEntrySize(archive().path, "TEXTURE29.PNG"));
}

void BM_ReadSixteenBytesOfTheLast(benchmark::State& state) {
    char bytes[16];
    for (auto _ : state) {
        readEntryRange(archive().path, "texture29.png", bytes, 100, 16);
        benchmark::DoNotOptimize(bytes);
    }
}

} // namespace

BENCHMARK(BM_LookupLastOfThirty)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadSixteenBytesOfTheLast)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
