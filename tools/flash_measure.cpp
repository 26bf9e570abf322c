#include "tools/flash_measure.h"

#include <algorithm>
#include <cmath>

namespace {

// An 8-bit sRGB channel in linear light.
struct LinearTable {
    float values[256];
    LinearTable() {
        for (int i = 0; i < 256; ++i) {
            float v = float(i) / 255.0f;
            values[i] = v <= 0.04045f ? v / 12.92f : std::pow((v + 0.055f) / 1.055f, 2.4f);
        }
    }
};

float linear(uint8_t value) {
    static const LinearTable table;
    return table.values[value];
}

// The flashes that at least a quarter of the pixels reach (pairs of their transitions), and
// the share of the pixels flashing more often than the limit.
void worstQuarter(const std::vector<uint16_t>& counts, int32_t& flashes, float& area) {
    std::vector<int64_t> pixelsWith; // by flashes
    for (uint16_t count : counts) {
        size_t pairs = count / 2;
        if (pixelsWith.size() <= pairs) pixelsWith.resize(pairs + 1, 0);
        ++pixelsWith[pairs];
    }
    const double total = double(counts.size());
    int64_t atLeast = 0, over = 0;
    flashes = 0;
    for (size_t pairs = pixelsWith.size(); pairs-- > 0;) {
        atLeast += pixelsWith[pairs];
        if (int32_t(pairs) > kMaxFlashesPerSecond) over = atLeast;
        if (flashes == 0 && double(atLeast) >= total * kFlashArea) flashes = int32_t(pairs);
    }
    area = total > 0 ? float(double(over) / total) : 0.0f;
}

} // namespace

float relativeLuminance(uint8_t r, uint8_t g, uint8_t b) {
    return 0.2126f * linear(r) + 0.7152f * linear(g) + 0.0722f * linear(b);
}

float saturatedRed(uint8_t r, uint8_t g, uint8_t b) {
    float red = linear(r), green = linear(g), blue = linear(b);
    float sum = red + green + blue;
    if (sum <= 0.0f || red / sum < kRedSaturation) return 0.0f;
    return std::max(0.0f, (red - green - blue) * 320.0f);
}

FlashFrame flashFrameFromRgb(const uint8_t* rgb, int32_t pixels) {
    FlashFrame frame;
    frame.luminance.resize(size_t(pixels));
    frame.red.resize(size_t(pixels));
    for (int32_t i = 0; i < pixels; ++i, rgb += 3) {
        frame.luminance[size_t(i)] = relativeLuminance(rgb[0], rgb[1], rgb[2]);
        frame.red[size_t(i)] = saturatedRed(rgb[0], rgb[1], rgb[2]);
    }
    return frame;
}

int32_t trackTransition(TransitionTrack& track, float value, float step, float darkLimit) {
    step -= 1e-6f; // a change of exactly one step counts, whatever the rounding of its ends
    if (!track.started) {
        track.started = true;
        track.low = track.high = track.extreme = value;
        return 0;
    }
    if (track.direction == 0) {
        track.low = std::min(track.low, value);
        track.high = std::max(track.high, value);
        if (value - track.low >= step && track.low < darkLimit)
            track.direction = 1;
        else if (track.high - value >= step && value < darkLimit)
            track.direction = -1;
        else
            return 0;
        track.extreme = value;
        return track.direction;
    }
    bool further = track.direction > 0 ? value > track.extreme : value < track.extreme;
    if (further) {
        track.extreme = value;
        return 0;
    }
    float darker = std::min(value, track.extreme);
    if (std::fabs(value - track.extreme) < step || darker >= darkLimit) return 0;
    track.direction = int8_t(-track.direction);
    track.extreme = value;
    return track.direction;
}

void startFlashMeasure(FlashMeasure& measure, int32_t pixels, int32_t fps) {
    measure = FlashMeasure{};
    measure.pixels = pixels;
    measure.fps = std::max(1, fps);
    measure.general.resize(size_t(pixels));
    measure.red.resize(size_t(pixels));
    measure.ring.assign(size_t(pixels) * size_t(measure.fps), 0);
    measure.generalCount.assign(size_t(pixels), 0);
    measure.redCount.assign(size_t(pixels), 0);
}

void measureFlashFrame(FlashMeasure& measure, const FlashFrame& frame) {
    // The slot of the frame that leaves the one-second window is taken by this one.
    uint8_t* slot = &measure.ring[size_t(measure.frames % measure.fps) * size_t(measure.pixels)];
    for (int32_t i = 0; i < measure.pixels; ++i) {
        size_t p = size_t(i);
        measure.generalCount[p] -= slot[p] & 1;
        measure.redCount[p] -= (slot[p] >> 1) & 1;
        bool general = trackTransition(measure.general[p], frame.luminance[p], kFlashStep,
                                       kFlashDarkLimit) != 0;
        bool red = trackTransition(measure.red[p], frame.red[p], kRedFlashStep, 1e30f) != 0;
        slot[p] = uint8_t(general) | uint8_t(red << 1);
        measure.generalCount[p] += general;
        measure.redCount[p] += red;
    }
    int32_t second = int32_t(measure.frames / measure.fps);
    ++measure.frames;
    FlashSecond worst;
    worst.second = second;
    for (bool red : {false, true}) {
        FlashSecond window = worst;
        window.red = red;
        worstQuarter(red ? measure.redCount : measure.generalCount, window.flashes, window.area);
        if (window.flashes > worst.flashes) worst = window;
    }
    if (worst.flashes > measure.worst.flashes) measure.worst = worst;
    if (worst.flashes <= kMaxFlashesPerSecond) return;
    std::vector<FlashSecond>& failed = measure.failed;
    if (failed.empty() || failed.back().second != second) {
        failed.push_back(worst);
    } else if (worst.flashes > failed.back().flashes) {
        failed.back() = worst;
    }
}

std::vector<FlashSecond> measureFlashes(const std::vector<FlashFrame>& frames, int32_t pixels,
                                        int32_t fps) {
    FlashMeasure measure;
    startFlashMeasure(measure, pixels, fps);
    for (const FlashFrame& frame : frames) measureFlashFrame(measure, frame);
    return measure.failed;
}
