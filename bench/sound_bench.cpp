// Cost of the sound layer's mixing: one Vorbis stream and one MP3 sample at 44.1 kHz, in
// device-sized blocks, against decoding alone and mixing alone. Each iteration is one second
// of audio, so the CPU time per iteration in ms divided by 10 is the share of one core in
// percent. The allocs_per_audio_s counter counts heap allocations made while mixing.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

#include "sound/decoders.h"
#include "sound/encoders.h"
#include "sound/fsound.h"

// Counts malloc-family calls while `countAllocations` is set (glibc's own entry points do
// the work).
extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void __libc_free(void* block);
}
namespace {
bool countAllocations = false;
long allocations = 0;
} // namespace
extern "C" {
void* malloc(size_t size) {
    allocations += countAllocations;
    return __libc_malloc(size);
}
void* calloc(size_t count, size_t size) {
    allocations += countAllocations;
    return __libc_calloc(count, size);
}
void* realloc(void* block, size_t size) {
    allocations += countAllocations;
    return __libc_realloc(block, size);
}
void free(void* block) {
    __libc_free(block);
}
}

namespace {

constexpr int kRate = 44100;
constexpr int kBlock = 1024; // what the device asks for per callback

// Twenty seconds of something music-like: three tones and a little noise.
const std::vector<uint8_t>& musicOgg() {
    static std::vector<uint8_t> ogg = [] {
        std::vector<int16_t> pcm;
        std::mt19937 random(4357);
        std::uniform_real_distribution<double> noise(-1.0, 1.0);
        for (int i = 0; i < kRate * 20; ++i) {
            double t = double(i) / kRate;
            double value = 5000 * std::sin(2 * M_PI * 220 * t) +
                           3000 * std::sin(2 * M_PI * 331 * t + std::sin(t)) +
                           2000 * std::sin(2 * M_PI * 1210 * t) + 800 * noise(random);
            pcm.push_back(int16_t(value));
            pcm.push_back(int16_t(value * 0.8));
        }
        return encodeVorbis(pcm, 2, kRate);
    }();
    return ogg;
}

const std::vector<uint8_t>& effectMp3() {
    static std::vector<uint8_t> mp3 = [] {
        std::vector<int16_t> pcm;
        for (int i = 0; i < kRate * 3; ++i) {
            auto value = int16_t(9000 * std::sin(2 * M_PI * 660 * i / kRate));
            pcm.push_back(value);
            pcm.push_back(value);
        }
        return encodeMp3(pcm, 2, kRate);
    }();
    return mp3;
}

void mixOneSecond(std::vector<int16_t>& block) {
    for (int done = 0; done < kRate; done += kBlock) soundRenderFrames(block.data(), kBlock);
}

// Keeps the stream and the sample playing from one iteration to the next.
void keepPlaying(FSOUND_STREAM* stream, FSOUND_SAMPLE* sample, int& sampleChannel) {
    if (stream != nullptr && FSOUND_Stream_GetTime(stream) > 18000) {
        FSOUND_Stream_Stop(stream);
        FSOUND_Stream_Play(FSOUND_FREE, stream);
    }
    if (sample != nullptr && soundBusyChannels() < (stream != nullptr ? 2 : 1))
        sampleChannel = FSOUND_PlaySound(FSOUND_FREE, sample);
}

void runMix(benchmark::State& state, bool withStream, bool withSample) {
    FSOUND_Close();
    soundInitOffline(kRate);
    const std::vector<uint8_t>& ogg = musicOgg();
    const std::vector<uint8_t>& mp3 = effectMp3();
    FSOUND_STREAM* stream =
        withStream ? FSOUND_Stream_Open(ogg.data(), FSOUND_LOADMEMORY, 0, int(ogg.size()))
                   : nullptr;
    FSOUND_SAMPLE* sample =
        withSample ? FSOUND_Sample_Load(FSOUND_FREE, mp3.data(), 0x8151, 0, int(mp3.size()))
                   : nullptr;
    if (stream != nullptr) FSOUND_Stream_Play(FSOUND_FREE, stream);
    int sampleChannel = -1;
    std::vector<int16_t> block(kBlock * 2);
    mixOneSecond(block); // warm up the decoder's buffers
    long counted = 0;
    for (auto _ : state) {
        keepPlaying(stream, sample, sampleChannel);
        allocations = 0;
        countAllocations = true;
        mixOneSecond(block);
        countAllocations = false;
        counted += allocations;
        benchmark::DoNotOptimize(block.data());
    }
    state.counters["allocs_per_audio_s"] =
        benchmark::Counter(double(counted) / double(state.iterations()));
    FSOUND_Close();
}

void BM_MixStreamAndSample(benchmark::State& state) {
    runMix(state, true, true);
}
void BM_StreamOnly(benchmark::State& state) {
    runMix(state, true, false);
}
void BM_SampleOnly(benchmark::State& state) {
    runMix(state, false, true);
}

// Vorbis decoding and resampling alone, without the mixer.
void BM_DecodeVorbisOnly(benchmark::State& state) {
    const std::vector<uint8_t>& ogg = musicOgg();
    VorbisStream stream;
    openVorbisStream(stream, ogg.data(), ogg.size(), kRate);
    std::vector<int16_t> block(kBlock * 2);
    for (auto _ : state) {
        for (int done = 0; done < kRate; done += kBlock)
            if (readVorbisStream(stream, block.data(), kBlock) < kBlock) rewindVorbisStream(stream);
        benchmark::DoNotOptimize(block.data());
    }
    closeVorbisStream(stream);
}

} // namespace

BENCHMARK(BM_DecodeVorbisOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MixStreamAndSample)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StreamOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SampleOnly)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
