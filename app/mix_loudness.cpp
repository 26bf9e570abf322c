#include "app/mix_loudness.h"

#include <cerrno>
#include <cmath>
#include <vector>

MixLoudnessState mixLoudnessState;

namespace {

// Reads the samples in blocks, has each one scaled and measured, and writes it back.
bool scaleFile(std::FILE* file, long dataOffset, uint64_t dataBytes, double gainDb,
               LoudnessMeter& after) {
    constexpr size_t kBlockFrames = 1 << 16;
    std::vector<int16_t> block(kBlockFrames * 2);
    for (uint64_t done = 0; done < dataBytes;) {
        size_t frames = size_t(std::min<uint64_t>(kBlockFrames, (dataBytes - done) / 4));
        if (frames == 0) break;
        long at = dataOffset + long(done);
        if (std::fseek(file, at, SEEK_SET) != 0 ||
            std::fread(block.data(), 4, frames, file) != frames)
            return false;
        scaleSamples(block.data(), frames * 2, gainDb);
        measureLoudness(after, block.data(), frames);
        if (std::fseek(file, at, SEEK_SET) != 0 ||
            std::fwrite(block.data(), 4, frames, file) != frames)
            return false;
        done += uint64_t(frames) * 4;
    }
    return true;
}

void sayGain(const LoudnessGain& gain, const Loudness& after, double targetLufs) {
    std::string figures = loudnessText(after);
    if (gain.peakLimited)
        std::fprintf(stderr,
                     "film03: the true peak allows the sound no more than a gain of %+.1f dB, "
                     "short of %.1f LUFS: it is at %s\n",
                     gain.gainDb, targetLufs, figures.c_str());
    else
        std::fprintf(stderr, "film03: a gain of %+.1f dB sets the sound to %s\n", gain.gainDb,
                     figures.c_str());
}

} // namespace

void startMixLoudness(const RunPlan& plan, int rate) {
    MixLoudnessState& state = mixLoudnessState;
    stopMixLoudness();
    state.hasTarget = plan.loudness;
    state.targetLufs = plan.loudnessLufs;
    state.rate = rate;
    state.measuring = startLoudnessMeter(state.meter, rate, 2);
}

void measureMixStep(const int16_t* frames, int frameCount) {
    if (mixLoudnessState.measuring && frameCount > 0)
        measureLoudness(mixLoudnessState.meter, frames, size_t(frameCount));
}

std::string mixLoudnessTail() {
    if (!mixLoudnessState.measuring) return {};
    return "  " + loudnessText(loudnessOf(mixLoudnessState.meter));
}

bool levelMixFile(std::FILE* file, long dataOffset, uint64_t dataBytes) {
    MixLoudnessState& state = mixLoudnessState;
    if (!state.hasTarget) return true;
    if (!state.measuring) {
        std::fprintf(stderr, "film03: the sound's loudness could not be measured; "
                             "--loudness leaves it as it is\n");
        return true;
    }
    LoudnessGain gain =
        loudnessGain(loudnessOf(state.meter), state.targetLufs, kTruePeakCeilingDbtp);
    if (gain.silent) {
        std::fprintf(stderr, "film03: the sound is silent; --loudness leaves it as it is\n");
        return true;
    }
    LoudnessMeter after;
    startLoudnessMeter(after, state.rate, 2);
    bool written = scaleFile(file, dataOffset, dataBytes, gain.gainDb, after);
    if (written) sayGain(gain, loudnessOf(after), state.targetLufs);
    stopLoudnessMeter(after);
    return written;
}

void stopMixLoudness() {
    MixLoudnessState& state = mixLoudnessState;
    stopLoudnessMeter(state.meter);
    state.measuring = false;
}
