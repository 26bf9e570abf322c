// The software mixer: 64 channels, each playing a decoded sample or a Vorbis stream at its
// own volume, summed with saturation into 16-bit stereo at the mix rate. The same mixing
// feeds the audio device's callback and the offline rendering.
#pragma once

#include <cstdint>
#include <vector>

#include "sound/decoders.h"

inline constexpr int kMixChannels = 64;
inline constexpr int kFullVolume = 255;

// A sound decoded whole at load time: 16-bit stereo at the mix rate.
struct SoundSample {
    std::vector<int16_t> frames; // interleaved left, right
    int slot = -1;
};

// A Vorbis image decoded while it plays. The clock counts the frames actually mixed.
struct SoundStream {
    VorbisStream vorbis;
    uint64_t framesMixed = 0;
    int channel = -1; // the channel it plays on, -1 when not playing
};

struct MixChannel {
    SoundSample* sample = nullptr;
    SoundStream* stream = nullptr;
    uint32_t position = 0; // next frame of the sample
    int volume = kFullVolume;
    bool paused = false;
};

struct MixerState {
    int rate = 0;
    int channelCount = kMixChannels;
    MixChannel channels[kMixChannels];
};

bool channelBusy(const MixChannel& channel);
// Ends what plays on the channel; its volume goes back to full for the next sound.
void stopChannel(MixerState& mixer, int channel);
// Starts a sample or a stream (one of them) on a channel, keeping the channel's volume.
void startChannel(MixerState& mixer, int channel, SoundSample* sample, SoundStream* stream);
// The first channel with nothing on it, or -1.
int findFreeChannel(const MixerState& mixer);

// Mixes the next `frames` frames of every unpaused channel into out (interleaved stereo).
// Channels whose sound ends become free. Returns how many leading frames had some sound
// playing (paused channels do not count). Allocates nothing.
int mixFrames(MixerState& mixer, int16_t* out, int frames);
