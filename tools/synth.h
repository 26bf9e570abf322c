// A small synthesiser and sequencer: notes of a dozen instruments (drums, bass, pad, lead,
// plucks, bells, risers) rendered from oscillators, envelopes and filters, mixed in stereo
// with an echo and a reverb. Everything is computed from fixed seeds, so a score always
// renders to the same samples.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct StereoBuffer {
    int rate = 44100;
    std::vector<float> left, right;
    size_t frames() const { return left.size(); }
};

StereoBuffer makeStereoBuffer(double seconds, int rate = 44100);

enum class Instrument {
    Kick,
    Snare,
    Hat,
    OpenHat,
    Crash,
    Boom,
    Riser,
    Bass,
    Pad,
    Lead,
    Pluck,
    Bell
};

struct Note {
    double start = 0;     // seconds from the beginning of the score
    double length = 0.25; // seconds the note is held; its release follows
    Instrument instrument = Instrument::Pluck;
    float pitch = 60;         // MIDI note number (69 = 440 Hz)
    float velocity = 1;       // 0..1
    float pan = 0;            // -1 left .. +1 right
    float brightness = 0.5f;  // filter opening at the start of the note, 0..1
    float brightnessEnd = -1; // at the end of the held part (below 0: as at the start)
    float reverb = 0.15f;     // send levels
    float echo = 0;
};

struct Score {
    double seconds = 0;       // length of the result
    double echoSeconds = 0.5; // echo delay; the right channel's echo comes half a delay later
    float echoFeedback = 0.35f;
    float reverbLevel = 0.3f;
    double fadeStart = -1, fadeEnd = -1; // master fade to silence (fadeStart < 0: none)
    std::vector<Note> notes;
};

StereoBuffer renderScore(const Score& score);

float peakLevel(const StereoBuffer& buffer);
// Holds every sample at or below threshold with a smooth gain that starts to fall `lookAhead`
// seconds before a peak and recovers over `release` seconds: loud hits no longer decide the
// level of the whole piece.
void limitPeaks(StereoBuffer& buffer, float threshold, double lookAhead, double release);
// Scales the buffer so that its largest sample magnitude is `peak`.
void normalisePeak(StereoBuffer& buffer, float peak);

// Interleaved 16-bit samples (left, right, left, …), rounded and held within range.
std::vector<int16_t> interleavePcm16(const StereoBuffer& buffer);
