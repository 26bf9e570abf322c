// Encoders for making sound files in memory: 16-bit PCM to Ogg Vorbis and to MP3. The
// demo's data builder and the sound tests use them; the demo itself only decodes.
#pragma once

#include <cstdint>
#include <vector>

// `pcm` is interleaved 16-bit audio with 1 or 2 channels. Empty on failure.
std::vector<uint8_t> encodeVorbis(const std::vector<int16_t>& pcm, int channels, int rate,
                                  float quality = 0.5f);
// The MP3 carries an Info header with its frame count, so a cut-short copy is recognised.
std::vector<uint8_t> encodeMp3(const std::vector<int16_t>& pcm, int channels, int rate,
                               int kbps = 128);
