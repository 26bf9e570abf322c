#include "sound/loudness.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

std::string decibels(double value) {
    if (std::isinf(value)) return "-inf";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

} // namespace

bool startLoudnessMeter(LoudnessMeter& meter, int rate, int channels) {
    stopLoudnessMeter(meter);
    if (rate <= 0 || channels <= 0) return false;
    meter.state = ebur128_init(unsigned(channels), static_cast<unsigned long>(rate),
                               EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK);
    meter.channels = meter.state != nullptr ? channels : 0;
    return meter.state != nullptr;
}

void measureLoudness(LoudnessMeter& meter, const int16_t* frames, size_t frameCount) {
    if (meter.state != nullptr && frameCount > 0)
        ebur128_add_frames_short(meter.state, frames, frameCount);
}

Loudness loudnessOf(const LoudnessMeter& meter) {
    Loudness loudness;
    if (meter.state == nullptr) return loudness;
    double integrated = -HUGE_VAL;
    if (ebur128_loudness_global(meter.state, &integrated) == EBUR128_SUCCESS)
        loudness.integratedLufs = integrated;
    double peak = 0.0;
    for (int channel = 0; channel < meter.channels; ++channel) {
        double channelPeak = 0.0;
        if (ebur128_true_peak(meter.state, unsigned(channel), &channelPeak) == EBUR128_SUCCESS)
            peak = std::max(peak, channelPeak);
    }
    loudness.truePeakDbtp = peak > 0.0 ? 20.0 * std::log10(peak) : -HUGE_VAL;
    return loudness;
}

void stopLoudnessMeter(LoudnessMeter& meter) {
    if (meter.state != nullptr) ebur128_destroy(&meter.state);
    meter = LoudnessMeter{};
}

std::string loudnessText(const Loudness& loudness) {
    return decibels(loudness.integratedLufs) + " LUFS, true peak " +
           decibels(loudness.truePeakDbtp) + " dBTP";
}

LoudnessGain loudnessGain(const Loudness& mix, double targetLufs, double ceilingDbtp) {
    LoudnessGain gain;
    if (std::isinf(mix.integratedLufs) || std::isinf(mix.truePeakDbtp)) {
        gain.silent = true;
        return gain;
    }
    double wanted = targetLufs - mix.integratedLufs;
    double allowed = ceilingDbtp - mix.truePeakDbtp;
    gain.peakLimited = allowed < wanted;
    gain.gainDb = std::min(wanted, allowed);
    return gain;
}

void scaleSamples(int16_t* samples, size_t count, double gainDb) {
    const double factor = std::pow(10.0, gainDb / 20.0);
    for (size_t i = 0; i < count; ++i) {
        double scaled = std::nearbyint(double(samples[i]) * factor);
        samples[i] = int16_t(std::clamp(scaled, -32768.0, 32767.0));
    }
}
