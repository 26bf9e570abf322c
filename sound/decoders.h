// Decoders for the sound layer: Ogg Vorbis streamed from a memory image, MP3 decoded whole,
// and the resampler that brings both to the mix rate as 16-bit stereo.
#pragma once

#include <vorbis/vorbisfile.h>

#include <cstddef>
#include <cstdint>
#include <vector>

// Converts 16-bit stereo from one rate to another: linear interpolation, or averaging over
// each output frame's span when the rate drops by a factor of two or more. `position` is
// the read position in the source in 32.32 fixed point, relative to the first source frame
// the caller still holds.
struct Resampler {
    uint64_t step = uint64_t(1) << 32;
    uint64_t position = 0;
};

Resampler makeResampler(int sourceRate, int targetRate);

// Writes up to outFrames frames and returns how many it wrote. Without `final`, a frame is
// only made when every source frame it reads is there; with `final` the source ends where
// it ends. *consumed is the number of leading source frames that are no longer needed.
int resampleFrames(Resampler& resampler, const int16_t* source, int sourceFrames, bool final,
                   int16_t* out, int outFrames, int* consumed);

// Turns interleaved 16-bit audio of any channel count into stereo in place-safe fashion:
// mono is doubled, more than two channels keep the first two.
void toStereo(const int16_t* in, int frames, int channels, int16_t* out);

// A caller-owned memory image read through vorbisfile's callbacks.
struct MemoryImage {
    const uint8_t* data = nullptr;
    size_t size = 0;
    size_t position = 0;
};

// The source side of a playing stream: decoded source frames wait here for the resampler.
inline constexpr int kStreamSourceFrames = 2048;

struct VorbisStream {
    MemoryImage image;
    OggVorbis_File file = {};
    int sourceRate = 0;
    Resampler resampler;
    int16_t source[kStreamSourceFrames * 2] = {};
    int sourceFrames = 0; // frames waiting in `source`
    bool decoderEnded = false;
};

// Opens the image; 0 on success, otherwise the sound error code (10 unknown format, 11 an
// image that is damaged or cut short). The image must outlive the stream.
int openVorbisStream(VorbisStream& stream, const uint8_t* data, size_t size, int targetRate);
void closeVorbisStream(VorbisStream& stream);
// Back to the first frame. False when the decoder cannot seek there.
bool rewindVorbisStream(VorbisStream& stream);
// To the source frame `frame` (0 is the first). A frame at or past the end leaves the stream
// ended, so that nothing more of it plays. False when the decoder cannot seek there.
bool seekVorbisStream(VorbisStream& stream, int64_t frame);
// Decodes and resamples up to `frames` stereo frames into out; fewer only at the end.
// Never allocates memory of its own.
int readVorbisStream(VorbisStream& stream, int16_t* out, int frames);

// Decodes a whole MP3 image into 16-bit stereo at targetRate. 0 on success, otherwise the
// sound error code (10 unknown format, 11 damaged or cut short).
int decodeMp3(const uint8_t* data, size_t size, int targetRate, std::vector<int16_t>& stereo);
