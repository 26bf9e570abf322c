#include "tools/synth.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <deque>

namespace {

constexpr float kPi = 3.14159265358979f;

float midiFrequency(float pitch) {
    return 440.0f * std::exp2((pitch - 69.0f) / 12.0f);
}

// xorshift32: white noise from a fixed seed per note.
struct Noise {
    uint32_t state;
    float next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return float(state >> 8) * (2.0f / 16777216.0f) - 1.0f;
    }
};

// Band-limited sawtooth and square by polynomial smoothing of the steps.
float polyBlep(float t, float dt) {
    if (t < dt) {
        t /= dt;
        return t + t - t * t - 1.0f;
    }
    if (t > 1.0f - dt) {
        t = (t - 1.0f) / dt;
        return t * t + t + t + 1.0f;
    }
    return 0.0f;
}

struct Oscillator {
    float phase = 0;
    float saw(float dt) {
        const float value = 2.0f * phase - 1.0f - polyBlep(phase, dt);
        advance(dt);
        return value;
    }
    float square(float dt) {
        float value = phase < 0.5f ? 1.0f : -1.0f;
        value += polyBlep(phase, dt);
        float shifted = phase + 0.5f;
        if (shifted >= 1.0f) shifted -= 1.0f;
        value -= polyBlep(shifted, dt);
        advance(dt);
        return value;
    }
    float sine(float dt) {
        const float value = std::sin(2.0f * kPi * phase);
        advance(dt);
        return value;
    }
    void advance(float dt) {
        phase += dt;
        phase -= std::floor(phase);
    }
};

// State-variable filter (trapezoidal integration): low, band and high pass at once.
struct Filter {
    float ic1 = 0, ic2 = 0, a1 = 1, a2 = 0, a3 = 0, k = 1.4f;
    void tune(float cutoff, float resonance, float rate) {
        const float g = std::tan(kPi * std::clamp(cutoff, 20.0f, rate * 0.45f) / rate);
        k = 2.0f - 1.9f * std::clamp(resonance, 0.0f, 1.0f);
        a1 = 1.0f / (1.0f + g * (g + k));
        a2 = g * a1;
        a3 = g * a2;
    }
    void run(float input, float& low, float& band, float& high) {
        const float v3 = input - ic2;
        const float v1 = a1 * ic1 + a2 * v3;
        const float v2 = ic2 + a2 * ic1 + a3 * v3;
        ic1 = 2.0f * v1 - ic1;
        ic2 = 2.0f * v2 - ic2;
        low = v2, band = v1, high = input - k * v1 - v2;
    }
    float lowPass(float input) {
        float low, band, high;
        run(input, low, band, high);
        return low;
    }
    float bandPass(float input) {
        float low, band, high;
        run(input, low, band, high);
        return band;
    }
    float highPass(float input) {
        float low, band, high;
        run(input, low, band, high);
        return high;
    }
};

// Attack, decay to sustain, hold until `held`, then a linear release.
float envelope(float t, float held, float attack, float decay, float sustain, float release) {
    auto level = [&](float time) {
        if (time < attack) return time / attack;
        if (time < attack + decay) return 1.0f - (1.0f - sustain) * (time - attack) / decay;
        return sustain;
    };
    if (t < held) return level(t);
    return std::max(0.0f, level(held) * (1.0f - (t - held) / release));
}

// How long a note sounds after its held part.
float tailSeconds(Instrument instrument) {
    switch (instrument) {
        case Instrument::Kick:
            return 0.5f;
        case Instrument::Snare:
            return 0.35f;
        case Instrument::Hat:
            return 0.1f;
        case Instrument::OpenHat:
            return 0.6f;
        case Instrument::Crash:
            return 4.0f;
        case Instrument::Boom:
            return 4.5f;
        case Instrument::Riser:
            return 0.03f;
        case Instrument::Bass:
            return 0.1f;
        case Instrument::Pad:
            return 2.6f;
        case Instrument::Lead:
            return 0.4f;
        case Instrument::Pluck:
            return 0.6f;
        case Instrument::Bell:
            return 3.0f;
    }
    return 0.5f;
}

struct NoteRenderer {
    const Note& note;
    float rate;
    Noise noise;
    float brightnessAt(float t) const {
        if (note.brightnessEnd < 0 || note.length <= 0) return note.brightness;
        const float f = std::clamp(t / float(note.length), 0.0f, 1.0f);
        return note.brightness + (note.brightnessEnd - note.brightness) * f;
    }
};

void renderDrum(NoteRenderer& r, std::vector<float>& out) {
    const Note& note = r.note;
    Oscillator body, metal[6];
    Filter filter, second;
    const float ratios[6] = {1.0f, 1.342f, 1.2312f, 1.6532f, 1.9523f, 2.1523f};
    for (size_t i = 0; i < out.size(); ++i) {
        const float t = float(i) / r.rate;
        if (i % 16 == 0) {
            switch (note.instrument) {
                case Instrument::Snare:
                    filter.tune(2800, 0.2f, r.rate);
                    break;
                case Instrument::Hat:
                case Instrument::OpenHat:
                    filter.tune(7500, 0.1f, r.rate);
                    break;
                case Instrument::Crash:
                    filter.tune(4500, 0.1f, r.rate);
                    break;
                case Instrument::Boom:
                    filter.tune(220, 0.1f, r.rate);
                    break;
                case Instrument::Riser: {
                    const float f = std::clamp(t / float(note.length), 0.0f, 1.0f);
                    filter.tune(300.0f * std::exp2(f * 4.5f), 0.6f, r.rate);
                    second.tune(9000, 0.0f, r.rate);
                    break;
                }
                default:
                    break;
            }
        }
        float value = 0.0f;
        switch (note.instrument) {
            case Instrument::Kick: {
                const float frequency = 45.0f + 115.0f * std::exp(-t * 30.0f);
                value = body.sine(frequency / r.rate) * std::exp(-t * 6.5f) +
                        r.noise.next() * std::exp(-t * 300.0f) * 0.25f;
                break;
            }
            case Instrument::Snare:
                value = body.sine(185.0f / r.rate) * std::exp(-t * 22.0f) * 0.55f +
                        filter.highPass(r.noise.next()) * std::exp(-t * 15.0f) * 0.8f;
                break;
            case Instrument::Hat:
            case Instrument::OpenHat: {
                float ring = 0.0f;
                for (int k = 0; k < 6; ++k) ring += metal[k].square(330.0f * ratios[k] / r.rate);
                const float decay = note.instrument == Instrument::Hat ? 50.0f : 7.0f;
                value =
                    filter.highPass(r.noise.next() * 0.7f + ring * 0.08f) * std::exp(-t * decay);
                break;
            }
            case Instrument::Crash: {
                float ring = 0.0f;
                for (int k = 0; k < 6; ++k) ring += metal[k].square(420.0f * ratios[k] / r.rate);
                value = filter.highPass(r.noise.next() * 0.8f + ring * 0.06f) *
                        (std::exp(-t * 1.1f) * 0.8f + std::exp(-t * 12.0f) * 0.4f);
                break;
            }
            case Instrument::Boom: {
                const float frequency = 36.0f + 50.0f * std::exp(-t * 4.0f);
                value = body.sine(frequency / r.rate) * std::exp(-t * 1.1f) +
                        filter.lowPass(r.noise.next()) * std::exp(-t * 2.5f) * 1.5f;
                break;
            }
            case Instrument::Riser: {
                const float f = std::clamp(t / float(note.length), 0.0f, 1.0f);
                const float gate = t < note.length
                                       ? 1.0f
                                       : std::max(0.0f, 1.0f - (t - float(note.length)) / 0.03f);
                value = second.lowPass(filter.bandPass(r.noise.next())) * f * f * gate * 1.5f;
                break;
            }
            default:
                break;
        }
        out[i] = value * note.velocity;
    }
}

void renderTonal(NoteRenderer& r, std::vector<float>& out) {
    const Note& note = r.note;
    const float held = float(note.length);
    const float frequency = midiFrequency(note.pitch);
    Oscillator osc[4], modulator;
    Filter filter;
    for (size_t i = 0; i < out.size(); ++i) {
        const float t = float(i) / r.rate;
        const float bright = r.brightnessAt(t);
        float value = 0.0f;
        switch (note.instrument) {
            case Instrument::Bass: {
                if (i % 16 == 0)
                    filter.tune(70.0f + bright * 1400.0f * (0.25f + 0.75f * std::exp(-t * 9.0f)),
                                0.35f, r.rate);
                const float dt = frequency / r.rate;
                value = filter.lowPass(osc[0].saw(dt) * 0.7f + osc[1].sine(dt) * 0.6f) *
                        envelope(t, held, 0.005f, 0.2f, 0.75f, 0.08f);
                break;
            }
            case Instrument::Pad: {
                if (i % 16 == 0) filter.tune(180.0f + bright * bright * 4200.0f, 0.15f, r.rate);
                const float dt = frequency / r.rate;
                const float mix = osc[0].saw(dt * 0.9953f) + osc[1].saw(dt) +
                                  osc[2].saw(dt * 1.0047f) + osc[3].saw(dt * 0.5f) * 0.5f;
                value = filter.lowPass(mix * 0.3f) * envelope(t, held, 1.2f, 1.0f, 0.8f, 2.5f);
                break;
            }
            case Instrument::Lead: {
                const float vibrato =
                    std::exp2(std::sin(2.0f * kPi * 5.5f * t) * 0.012f * std::min(1.0f, t * 2.5f));
                const float dt = frequency * vibrato / r.rate;
                if (i % 16 == 0)
                    filter.tune(700.0f + bright * 4500.0f * (0.5f + 0.5f * std::exp(-t * 5.0f)),
                                0.25f, r.rate);
                const float mix = osc[0].saw(dt * 0.9965f) + osc[1].saw(dt * 1.0035f) +
                                  osc[2].square(dt * 0.5f) * 0.3f;
                value = filter.lowPass(mix * 0.45f) * envelope(t, held, 0.02f, 0.3f, 0.65f, 0.35f);
                break;
            }
            case Instrument::Pluck: {
                if (i % 16 == 0)
                    filter.tune(250.0f + bright * 6000.0f * std::exp(-t * 14.0f), 0.3f, r.rate);
                const float dt = frequency / r.rate;
                value = filter.lowPass(osc[0].saw(dt) * 0.6f + osc[1].square(dt * 1.002f) * 0.3f) *
                        std::exp(-t * 6.0f) * std::min(1.0f, t * 400.0f);
                break;
            }
            case Instrument::Bell: {
                const float index = (1.0f + bright * 3.0f) * std::exp(-t * 3.0f);
                const float carrierPhase = osc[0].phase;
                osc[0].advance(frequency / r.rate);
                const float carrier = std::sin(2.0f * kPi * carrierPhase +
                                               index * modulator.sine(3.5f * frequency / r.rate));
                value = (carrier * std::exp(-t * 1.6f) +
                         osc[1].sine(2.76f * frequency / r.rate) * std::exp(-t * 4.0f) * 0.25f) *
                        std::min(1.0f, t * 800.0f) * 0.5f;
                break;
            }
            default:
                break;
        }
        out[i] = value * note.velocity;
    }
}

// Comb and all-pass filters of a classic Schroeder-Moorer reverb, one set per channel.
struct Comb {
    std::vector<float> line;
    size_t position = 0;
    float store = 0;
    float run(float input, float feedback, float damp) {
        const float output = line[position];
        store = output * (1.0f - damp) + store * damp;
        line[position] = input + store * feedback;
        if (++position == line.size()) position = 0;
        return output;
    }
};

struct AllPass {
    std::vector<float> line;
    size_t position = 0;
    float run(float input) {
        const float delayed = line[position];
        line[position] = input + delayed * 0.5f;
        if (++position == line.size()) position = 0;
        return delayed - input;
    }
};

void applyReverb(const std::vector<float>& send, std::vector<float>& out, int spread, float level,
                 int rate) {
    const int combLengths[8] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
    const int allPassLengths[4] = {556, 441, 341, 225};
    const float scale = rate / 44100.0f;
    Comb combs[8];
    AllPass allPasses[4];
    for (int k = 0; k < 8; ++k)
        combs[k].line.assign(size_t((combLengths[k] + spread) * scale), 0.0f);
    for (int k = 0; k < 4; ++k)
        allPasses[k].line.assign(size_t((allPassLengths[k] + spread) * scale), 0.0f);
    for (size_t i = 0; i < send.size(); ++i) {
        const float input = send[i] * 0.015f;
        float sum = 0.0f;
        for (Comb& comb : combs) sum += comb.run(input, 0.86f, 0.25f);
        for (AllPass& allPass : allPasses) sum = allPass.run(sum);
        out[i] += sum * level;
    }
}

void applyEcho(const std::vector<float>& send, std::vector<float>& out, size_t delay,
               float feedback) {
    std::vector<float> line(send.size(), 0.0f);
    float smooth = 0.0f;
    for (size_t i = delay; i < send.size(); ++i) {
        smooth += (send[i - delay] + line[i - delay] * feedback - smooth) * 0.35f;
        line[i] = smooth;
        out[i] += smooth * 0.5f;
    }
}

} // namespace

StereoBuffer makeStereoBuffer(double seconds, int rate) {
    StereoBuffer buffer;
    buffer.rate = rate;
    buffer.left.assign(size_t(seconds * rate), 0.0f);
    buffer.right.assign(buffer.left.size(), 0.0f);
    return buffer;
}

StereoBuffer renderScore(const Score& score) {
    StereoBuffer mix = makeStereoBuffer(score.seconds);
    const size_t frames = mix.frames();
    std::vector<float> reverbSend(frames, 0.0f), echoLeft(frames, 0.0f), echoRight(frames, 0.0f);
    std::vector<float> voice;
    for (size_t index = 0; index < score.notes.size(); ++index) {
        const Note& note = score.notes[index];
        const size_t first = size_t(std::max(0.0, note.start) * mix.rate);
        if (first >= frames) continue;
        voice.assign(size_t((note.length + tailSeconds(note.instrument)) * mix.rate), 0.0f);
        NoteRenderer renderer{note, float(mix.rate), {uint32_t(index * 2654435761u + 12345u) | 1u}};
        if (note.instrument <= Instrument::Riser)
            renderDrum(renderer, voice);
        else
            renderTonal(renderer, voice);
        // Tails are cut where they are nearly silent; a short fade keeps the cut from clicking.
        const size_t fade = std::min(voice.size(), size_t(0.02 * mix.rate));
        for (size_t i = 0; i < fade; ++i) voice[voice.size() - 1 - i] *= float(i) / float(fade);
        const float angle = (std::clamp(note.pan, -1.0f, 1.0f) + 1.0f) * kPi * 0.25f;
        const float left = std::cos(angle), right = std::sin(angle);
        const size_t count = std::min(voice.size(), frames - first);
        for (size_t i = 0; i < count; ++i) {
            const float v = voice[i];
            mix.left[first + i] += v * left;
            mix.right[first + i] += v * right;
            reverbSend[first + i] += v * note.reverb;
            echoLeft[first + i] += v * left * note.echo;
            echoRight[first + i] += v * right * note.echo;
        }
    }
    const size_t delay = size_t(score.echoSeconds * mix.rate);
    applyEcho(echoLeft, mix.left, delay, score.echoFeedback);
    applyEcho(echoRight, mix.right, delay + delay / 2, score.echoFeedback);
    applyReverb(reverbSend, mix.left, 0, score.reverbLevel, mix.rate);
    applyReverb(reverbSend, mix.right, 23, score.reverbLevel, mix.rate);
    if (score.fadeStart >= 0)
        for (size_t i = 0; i < frames; ++i) {
            const double t = double(i) / mix.rate;
            if (t <= score.fadeStart) continue;
            const float gain = float(
                std::max(0.0, 1.0 - (t - score.fadeStart) / (score.fadeEnd - score.fadeStart)));
            mix.left[i] *= gain;
            mix.right[i] *= gain;
        }
    return mix;
}

float peakLevel(const StereoBuffer& buffer) {
    float peak = 0.0f;
    for (size_t i = 0; i < buffer.frames(); ++i)
        peak = std::max({peak, std::fabs(buffer.left[i]), std::fabs(buffer.right[i])});
    return peak;
}

void normalisePeak(StereoBuffer& buffer, float peak) {
    const float current = peakLevel(buffer);
    if (current <= 0.0f) return;
    const float gain = peak / current;
    for (size_t i = 0; i < buffer.frames(); ++i) buffer.left[i] *= gain, buffer.right[i] *= gain;
}

void limitPeaks(StereoBuffer& buffer, float threshold, double lookAhead, double release) {
    const size_t frames = buffer.frames();
    const size_t reach = std::max<size_t>(2, size_t(lookAhead * buffer.rate)) & ~size_t(1);
    // The gain each sample needs on its own.
    std::vector<float> need(frames);
    for (size_t i = 0; i < frames; ++i) {
        const float peak = std::max(std::fabs(buffer.left[i]), std::fabs(buffer.right[i]));
        need[i] = peak > threshold ? threshold / peak : 1.0f;
    }
    // The smallest need within `reach` on either side (a sliding minimum)...
    std::vector<float> held(frames);
    std::deque<size_t> window;
    for (size_t i = 0; i < frames + reach; ++i) {
        if (i < frames) {
            while (!window.empty() && need[window.back()] >= need[i]) window.pop_back();
            window.push_back(i);
        }
        if (i < reach) continue;
        while (window.front() + 2 * reach < i) window.pop_front();
        held[i - reach] = need[window.front()];
    }
    // ...averaged over half that width, which never rises above the need of any peak it
    // covers, then released slowly.
    const size_t half = reach / 2;
    double sum = 0.0;
    for (size_t i = 0; i < std::min(frames, half + 1); ++i) sum += held[i];
    const float releaseStep = float(1.0 / (release * buffer.rate));
    float gain = 1.0f;
    for (size_t i = 0; i < frames; ++i) {
        const size_t first = i > half ? i - half : 0, last = std::min(frames - 1, i + half);
        const float average = float(sum / double(last - first + 1));
        gain = std::min(average, gain + releaseStep);
        buffer.left[i] *= gain;
        buffer.right[i] *= gain;
        if (i + half + 1 < frames) sum += held[i + half + 1];
        if (i >= half) sum -= held[i - half];
    }
}

std::vector<int16_t> interleavePcm16(const StereoBuffer& buffer) {
    std::vector<int16_t> pcm(buffer.frames() * 2);
    auto convert = [](float sample) {
        return int16_t(std::lround(std::clamp(sample, -1.0f, 1.0f) * 32767.0f));
    };
    for (size_t i = 0; i < buffer.frames(); ++i) {
        pcm[i * 2] = convert(buffer.left[i]);
        pcm[i * 2 + 1] = convert(buffer.right[i]);
    }
    return pcm;
}
