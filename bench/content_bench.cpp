// The stages of demotool build-data that cost the most: synthesising and encoding the music,
// and drawing the textures, the font and the titles.
#include <benchmark/benchmark.h>

#include "sound/encoders.h"
#include "tools/font_gen.h"
#include "tools/music_score.h"
#include "tools/scene_gen.h"
#include "tools/synth.h"
#include "tools/textures_gen.h"

namespace {

void BM_RenderMusic(benchmark::State& state) {
    const Score score = introMusicScore();
    for (auto _ : state) benchmark::DoNotOptimize(renderScore(score).left.data());
    state.SetLabel("118 s of stereo at 44.1 kHz");
}
BENCHMARK(BM_RenderMusic)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_LimitMusic(benchmark::State& state) {
    const StereoBuffer music = renderScore(introMusicScore());
    for (auto _ : state) {
        StereoBuffer copy = music;
        limitPeaks(copy, peakLevel(copy) * 0.55f, 0.005, 0.25);
        benchmark::DoNotOptimize(copy.left.data());
    }
}
BENCHMARK(BM_LimitMusic)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_EncodeMusicVorbis(benchmark::State& state) {
    StereoBuffer music = renderScore(introMusicScore());
    normalisePeak(music, 0.75f);
    size_t bytes = 0;
    const std::vector<int16_t> pcm = interleavePcm16(music);
    for (auto _ : state) bytes = encodeVorbis(pcm, 2, music.rate, 0.5f).size();
    state.counters["bytes"] = double(bytes);
}
BENCHMARK(BM_EncodeMusicVorbis)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_SceneTextures(benchmark::State& state) {
    const std::vector<std::string> names = demoSceneTextureNames();
    for (auto _ : state)
        for (const std::string& name : names) {
            Image image;
            benchmark::DoNotOptimize(generateSceneTexture(name, image));
        }
}
BENCHMARK(BM_SceneTextures)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_FontAndTitles(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(buildFontImage().pixels.data());
        benchmark::DoNotOptimize(generateTitleImages().size());
    }
}
BENCHMARK(BM_FontAndTitles)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
