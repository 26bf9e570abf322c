#include "tools/music_score.h"

#include <array>
#include <cstdint>

namespace {

constexpr double kBeat = 60.0 / 96.0;
constexpr double kBar = kBeat * 4;

double barTime(double bar) {
    return bar * kBar;
}

// Small deterministic variations so that repeated hits do not sound mechanical.
float humanise(uint32_t a, uint32_t b) {
    uint32_t h = a * 0x9e3779b1u ^ (b + 0x7f4a7c15u) * 0x85ebca77u;
    h ^= h >> 15;
    h *= 0x2c1b3c6du;
    h ^= h >> 12;
    return float(h & 0xffff) / 65535.0f;
}

struct Chord {
    int bass;               // MIDI note of the root in the bass register
    std::array<int, 4> pad; // the pad's voicing
};

// First part, A minor: Am F C G, two bars each.
const Chord kFirstChords[4] = {
    {33, {57, 60, 64, 69}}, {29, {53, 57, 60, 65}}, {36, {55, 60, 64, 67}}, {31, {55, 59, 62, 67}}};
// Second part, D minor: Dm Bb F C, two bars each.
const Chord kSecondChords[4] = {
    {38, {50, 53, 57, 64}}, {34, {50, 53, 58, 62}}, {29, {53, 57, 60, 65}}, {36, {52, 55, 60, 67}}};

const Chord& chordAtBar(int bar) {
    if (bar < 20) return kFirstChords[(bar / 2) % 4];
    return kSecondChords[((bar - 20) / 2) % 4];
}

struct Writer {
    Score& score;
    void add(Instrument instrument, double start, double length, float pitch, float velocity,
             float pan = 0, float brightness = 0.5f, float reverb = 0.15f, float echo = 0) {
        Note note;
        note.instrument = instrument;
        note.start = start;
        note.length = length;
        note.pitch = pitch;
        note.velocity = velocity;
        note.pan = pan;
        note.brightness = brightness;
        note.reverb = reverb;
        note.echo = echo;
        score.notes.push_back(note);
    }
    void drum(Instrument instrument, double start, float velocity, float pan = 0,
              float reverb = 0.1f) {
        const float jitter = humanise(uint32_t(start * 1000), uint32_t(instrument)) * 0.12f;
        add(instrument, start, 0.01, 60, velocity * (0.94f + jitter * 0.5f), pan, 0.5f, reverb);
    }
    // A pad chord over `bars` bars whose filter moves from one brightness to another.
    void padChord(const Chord& chord, double start, double bars, float velocity, float from,
                  float to) {
        const float pans[4] = {-0.6f, -0.2f, 0.2f, 0.6f};
        for (int k = 0; k < 4; ++k) {
            add(Instrument::Pad, start, bars * kBar, float(chord.pad[k]), velocity, pans[k], from,
                0.35f);
            score.notes.back().brightnessEnd = to;
        }
    }
};

struct MelodyNote {
    double beat;  // from the start of the phrase
    double beats; // length
    int pitch;
};

// Bars 10-17 over F C G Am.
const MelodyNote kFirstMelody[] = {
    {0, 1.5, 81},  {1.5, 0.5, 79},  {2, 1, 77},  {3, 1, 76},  {4, 3, 72},  {7, 1, 69},
    {8, 1.5, 79},  {9.5, 0.5, 76},  {10, 1, 72}, {11, 1, 74}, {12, 3, 76}, {15, 1, 79},
    {16, 1.5, 74}, {17.5, 0.5, 71}, {18, 1, 74}, {19, 1, 79}, {20, 2, 81}, {22, 2, 83},
    {24, 2, 84},   {26, 1, 83},     {27, 1, 81}, {28, 2, 76}, {30, 2, 81},
};

// Bars 28-35 over Dm Bb F C.
const MelodyNote kSecondMelody[] = {
    {0, 2, 81},      {2, 1, 77},  {3, 1, 74},  {4, 1, 76},  {5, 1, 77},  {6, 2, 81},
    {8, 2, 86},      {10, 1, 84}, {11, 1, 82}, {12, 3, 81}, {15, 1, 77}, {16, 1.5, 84},
    {17.5, 0.5, 81}, {18, 1, 77}, {19, 1, 79}, {20, 2, 81}, {22, 2, 84}, {24, 2, 79},
    {26, 1, 76},     {27, 1, 72}, {28, 1, 76}, {29, 1, 79}, {30, 2, 84},
};

// The first part: the flight through the hall, bars 0-18 (0-45 s).
void writeHallFlight(Writer& w) {
    for (int bar = 0; bar < 18; bar += 2) {
        const float from = 0.1f + bar / 18.0f * 0.75f, to = 0.1f + (bar + 2) / 18.0f * 0.75f;
        const float velocity = bar == 0 ? 0.5f : bar < 16 ? 0.6f + bar * 0.01f : 0.6f;
        w.padChord(chordAtBar(bar), barTime(bar), 2, velocity, from, to);
    }
    // A quiet eighth-note arpeggio from bar 2, sixteenths from bar 12; the build-up in bars
    // 16-17 leaves only pads, lead, snare roll and riser, so that the hit at bar 18 lands.
    for (int bar = 2; bar < 16; ++bar) {
        const Chord& chord = chordAtBar(bar);
        const int steps = bar < 12 ? 8 : 16;
        for (int step = 0; step < steps; ++step) {
            const int order[8] = {0, 1, 2, 3, 2, 1, 3, 2};
            const double start = barTime(bar) + step * kBar / steps;
            const float velocity = (bar < 12 ? 0.18f : 0.24f) + (step % 4 == 0 ? 0.05f : 0.0f);
            w.add(Instrument::Pluck, start, kBar / steps * 0.8,
                  float(chord.pad[order[step % 8]] + 12), velocity, step % 2 ? 0.45f : -0.45f,
                  0.2f + bar * 0.03f, 0.2f, 0.35f);
        }
    }
    // Bass: eighth notes from bar 4, root with an octave jump on the off-beats.
    for (int bar = 4; bar < 16; ++bar) {
        const Chord& chord = chordAtBar(bar);
        for (int step = 0; step < 8; ++step) {
            const double start = barTime(bar) + step * kBeat / 2;
            w.add(Instrument::Bass, start, kBeat * 0.4, float(chord.bass + (step % 2 ? 12 : 0)),
                  step % 2 ? 0.55f : 0.75f, 0, 0.2f + (bar - 4) * 0.05f, 0.05f);
        }
    }
    // Hi-hats from bar 4, kick and snare from bar 8.
    for (int bar = 4; bar < 16; ++bar)
        for (int step = 0; step < 16; ++step) {
            const double start = barTime(bar) + step * kBeat / 4;
            const bool sixteenths = bar >= 12;
            if (step % 4 == 2)
                w.drum(Instrument::Hat, start, 0.35f, 0.3f);
            else if (sixteenths && step % 2 == 1)
                w.drum(Instrument::Hat, start, 0.16f, 0.3f);
            if (bar >= 8 && step % 4 == 0) w.drum(Instrument::Kick, start, 0.95f);
            if (bar >= 8 && (step == 4 || step == 12))
                w.drum(Instrument::Snare, start, 0.7f, -0.1f, 0.2f);
        }
    w.drum(Instrument::Crash, barTime(8), 0.45f, 0.3f, 0.3f);
    // The lead from bar 10.
    for (const MelodyNote& m : kFirstMelody)
        w.add(Instrument::Lead, barTime(10) + m.beat * kBeat, m.beats * kBeat * 0.92,
              float(m.pitch), 0.42f, 0.1f, 0.6f, 0.3f, 0.3f);
    // Build-up: a snare roll getting denser and louder over bars 16-17, and a riser.
    for (int step = 0; step < 32; ++step) {
        const double start = step < 8    ? barTime(16) + step * kBeat / 2
                             : step < 24 ? barTime(17) + (step - 8) * kBeat / 4
                                         : barTime(17) + 3 * kBeat + (step - 24) * kBeat / 8;
        if (start >= barTime(18)) break;
        w.drum(Instrument::Snare, start, 0.2f + step * 0.012f, -0.1f, 0.2f);
    }
    w.add(Instrument::Riser, barTime(16), 2 * kBar, 60, 0.35f, 0, 0.5f, 0.3f);
    // The hit at 45 s.
    w.drum(Instrument::Boom, barTime(18), 1.0f, 0, 0.3f);
    w.drum(Instrument::Crash, barTime(18), 0.8f, 0, 0.4f);
    w.add(Instrument::Bass, barTime(18), 1.5, 33, 0.9f, 0, 0.5f, 0.1f);
    const Chord hit{33, {57, 64, 69, 71}};
    w.padChord(hit, barTime(18), 1.2, 0.9f, 0.85f, 0.3f);
    for (int k = 0; k < 4; ++k)
        w.add(Instrument::Bell, barTime(18) + k * kBeat * 1.5, 0.2, float(76 + (k % 2) * 5 - k),
              0.28f - k * 0.04f, k % 2 ? 0.5f : -0.5f, 0.6f, 0.4f, 0.4f);
}

// The second part: the logo sequence, bars 20-46 (50-115 s).
void writeLogoSequence(Writer& w) {
    for (int bar = 20; bar < 44; bar += 2) {
        float velocity = 0.55f, from = 0.35f, to = 0.45f;
        if (bar >= 36 && bar < 40) from = 0.45f, to = 0.25f;
        if (bar >= 40)
            velocity = 0.6f + (bar - 40) * 0.04f, from = 0.3f + (bar - 40) * 0.12f,
            to = from + 0.24f;
        w.padChord(chordAtBar(bar), barTime(bar), 2, velocity, from, to);
    }
    // Bells: an arpeggio of the chord over each bar, sparser while the logo darkens.
    for (int bar = 20; bar < 44; ++bar) {
        const Chord& chord = chordAtBar(bar);
        const double beats[4] = {0, 1.5, 2.5, 3};
        const bool sparse = bar >= 36 && bar < 40;
        for (int k = 0; k < 4; ++k) {
            if (sparse && k % 2) continue;
            w.add(Instrument::Bell, barTime(bar) + beats[k] * kBeat, 0.2,
                  float(chord.pad[(k + bar) % 4] + 12), sparse ? 0.18f : 0.24f,
                  k % 2 ? 0.55f : -0.55f, 0.4f, 0.35f, 0.4f);
        }
    }
    // Bass: long notes at first, a syncopated line under the groove.
    for (int bar = 20; bar < 44; ++bar) {
        const Chord& chord = chordAtBar(bar);
        if (bar < 24 || bar >= 36) {
            w.add(Instrument::Bass, barTime(bar), kBar * 0.95, float(chord.bass), 0.6f, 0, 0.15f,
                  0.05f);
            continue;
        }
        const double beats[4] = {0, 1.5, 2.5, 3.5};
        for (int k = 0; k < 4; ++k)
            w.add(Instrument::Bass, barTime(bar) + beats[k] * kBeat, kBeat * (k == 0 ? 1.2 : 0.4),
                  float(chord.bass + (k == 2 ? 12 : 0)), k == 0 ? 0.8f : 0.6f, 0, 0.35f, 0.05f);
    }
    // Half-time groove from bar 24 to bar 36.
    for (int bar = 24; bar < 36; ++bar)
        for (int step = 0; step < 8; ++step) {
            const double start = barTime(bar) + step * kBeat / 2;
            w.drum(Instrument::Hat, start, step % 2 ? 0.3f : 0.18f, 0.35f);
            if (step == 0 || step == 3) w.drum(Instrument::Kick, start, 0.9f);
            if (step == 4) w.drum(Instrument::Snare, start, 0.65f, -0.1f, 0.3f);
            if (step == 7 && bar % 4 == 3) w.drum(Instrument::OpenHat, start, 0.25f, 0.4f);
        }
    w.drum(Instrument::Crash, barTime(24), 0.5f, -0.3f, 0.3f);
    // While the logo darkens the hats thin out and fade.
    for (int bar = 36; bar < 40; ++bar)
        for (int step = 1; step < 8; step += 2)
            w.drum(Instrument::Hat, barTime(bar) + step * kBeat / 2, 0.22f - (bar - 36) * 0.04f,
                   0.35f);
    // The second melody.
    for (const MelodyNote& m : kSecondMelody)
        w.add(Instrument::Lead, barTime(28) + m.beat * kBeat, m.beats * kBeat * 0.92,
              float(m.pitch), 0.36f, -0.1f, 0.45f, 0.35f, 0.35f);
    // Final swell: arpeggio and kick on the beat, then in bar 43 only the riser and a snare
    // roll lead into the closing hit.
    for (int bar = 40; bar < 43; ++bar) {
        const Chord& chord = chordAtBar(bar);
        for (int step = 0; step < 16; ++step) {
            const int order[8] = {0, 1, 2, 3, 2, 1, 3, 2};
            w.add(Instrument::Pluck, barTime(bar) + step * kBeat / 4, kBeat / 4 * 0.8,
                  float(chord.pad[order[step % 8]] + 12), 0.2f + (bar - 40) * 0.02f,
                  step % 2 ? 0.45f : -0.45f, 0.4f + (bar - 40) * 0.1f, 0.2f, 0.35f);
            if (step % 4 == 0 && bar >= 42)
                w.drum(Instrument::Kick, barTime(bar) + step * kBeat / 4, 0.85f);
        }
    }
    w.add(Instrument::Riser, barTime(42), 2 * kBar, 60, 0.35f, 0, 0.5f, 0.3f);
    for (int step = 0; step < 16; ++step)
        w.drum(Instrument::Snare, barTime(43) + step * kBeat / 4, 0.2f + step * 0.025f, -0.1f,
               0.2f);
    // The closing hit at 110 s: D major with an added ninth.
    w.drum(Instrument::Boom, barTime(44), 1.0f, 0, 0.35f);
    w.drum(Instrument::Crash, barTime(44), 0.8f, 0, 0.45f);
    w.add(Instrument::Bass, barTime(44), 2.0, 38, 0.9f, 0, 0.4f, 0.1f);
    const Chord last{38, {57, 62, 66, 76}};
    w.padChord(last, barTime(44), 1.0, 0.8f, 0.8f, 0.3f);
    for (int k = 0; k < 5; ++k)
        w.add(Instrument::Bell, barTime(44) + k * kBeat, 0.2, float(74 + k * 5 - (k > 2 ? 3 : 0)),
              0.3f - k * 0.04f, k % 2 ? 0.5f : -0.5f, 0.6f, 0.45f, 0.4f);
}

} // namespace

Score introMusicScore() {
    Score score;
    score.seconds = kMusicSeconds;
    score.echoSeconds = kBeat * 0.75;
    score.echoFeedback = 0.35f;
    score.reverbLevel = 0.35f;
    score.fadeStart = 112.5;
    score.fadeEnd = 115.0;
    Writer writer{score};
    writeHallFlight(writer);
    writeLogoSequence(writer);
    return score;
}

Score endSoundScore() {
    Score score;
    score.seconds = 4.0;
    score.echoSeconds = 0.18;
    score.echoFeedback = 0.3f;
    score.reverbLevel = 0.4f;
    score.fadeStart = 3.3;
    score.fadeEnd = 3.95;
    Writer w{score};
    w.add(Instrument::Riser, 0.0, 0.9, 60, 0.45f, 0, 0.5f, 0.3f);
    for (int k = 0; k < 8; ++k)
        w.add(Instrument::Pluck, k * 0.1, 0.08, float(62 + k * 3), 0.15f + k * 0.02f,
              k % 2 ? 0.6f : -0.6f, 0.6f, 0.3f, 0.4f);
    w.drum(Instrument::Boom, 0.9, 0.8f, 0, 0.3f);
    const Chord chord{38, {62, 66, 69, 74}};
    w.padChord(chord, 0.9, 0.6, 0.8f, 0.9f, 0.4f);
    for (int k = 0; k < 4; ++k)
        w.add(Instrument::Bell, 0.9 + k * 0.22, 0.2, float(81 + k * 2 + (k == 3 ? 1 : 0)),
              0.3f - k * 0.05f, k % 2 ? 0.5f : -0.5f, 0.7f, 0.4f, 0.4f);
    return score;
}
