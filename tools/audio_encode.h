// Encoding of synthesised stereo sound: Ogg Vorbis for the music stream and MP3 for the
// sample. Both give the same bytes for the same samples (fixed stream serial, no tags that
// carry a date or a version of their own).
#pragma once

#include <cstdint>
#include <vector>

#include "tools/synth.h"

// quality as for the Vorbis VBR encoder (-0.1 .. 1.0).
std::vector<uint8_t> encodeOggVorbis(const StereoBuffer& sound, float quality);
// Constant bit rate in kbit/s.
std::vector<uint8_t> encodeMp3(const StereoBuffer& sound, int kilobits);
