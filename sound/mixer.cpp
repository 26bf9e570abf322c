#include "sound/mixer.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int kMixBlock = 512;

void addScaled(int32_t* sum, const int16_t* source, int frames, int volume) {
    for (int i = 0; i < frames * 2; ++i) sum[i] += source[i] * volume / kFullVolume;
}

// Each mixes up to `frames` frames of one channel into sum and returns how many it mixed;
// *ended tells that the sound has run out.
int mixSample(MixChannel& channel, int32_t* sum, int frames, bool* ended) {
    const SoundSample& sample = *channel.sample;
    uint32_t total = uint32_t(sample.frames.size() / 2);
    int count = int(std::min<uint32_t>(uint32_t(frames), total - channel.position));
    addScaled(sum, sample.frames.data() + size_t(channel.position) * 2, count, channel.volume);
    channel.position += uint32_t(count);
    *ended = channel.position >= total;
    return count;
}

int mixStream(MixChannel& channel, int32_t* sum, int frames, bool* ended) {
    int16_t block[kMixBlock * 2];
    SoundStream& stream = *channel.stream;
    int count = readVorbisStream(stream.vorbis, block, frames);
    addScaled(sum, block, count, channel.volume);
    stream.framesMixed += uint64_t(count);
    *ended = count < frames;
    return count;
}

} // namespace

bool channelBusy(const MixChannel& channel) {
    return channel.sample != nullptr || channel.stream != nullptr;
}

void stopChannel(MixerState& mixer, int index) {
    MixChannel& channel = mixer.channels[index];
    if (channel.stream != nullptr) channel.stream->channel = -1;
    channel = MixChannel{};
}

void startChannel(MixerState& mixer, int index, SoundSample* sample, SoundStream* stream) {
    int volume = mixer.channels[index].volume;
    stopChannel(mixer, index);
    if (stream != nullptr && stream->channel >= 0) stopChannel(mixer, stream->channel);
    MixChannel& channel = mixer.channels[index];
    channel.sample = sample;
    channel.stream = stream;
    channel.volume = volume;
    if (stream != nullptr) stream->channel = index;
}

int findFreeChannel(const MixerState& mixer) {
    for (int i = 0; i < mixer.channelCount; ++i)
        if (!channelBusy(mixer.channels[i])) return i;
    return -1;
}

int mixFrames(MixerState& mixer, int16_t* out, int frames) {
    int32_t sum[kMixBlock * 2];
    int done = 0, sounding = 0;
    while (frames > 0) {
        int block = std::min(frames, kMixBlock);
        std::memset(sum, 0, sizeof(int32_t) * size_t(block) * 2);
        for (int i = 0; i < mixer.channelCount; ++i) {
            MixChannel& channel = mixer.channels[i];
            if (channel.paused || !channelBusy(channel)) continue;
            bool ended = false;
            int mixed = channel.sample != nullptr ? mixSample(channel, sum, block, &ended)
                                                  : mixStream(channel, sum, block, &ended);
            sounding = std::max(sounding, done + mixed);
            if (ended) stopChannel(mixer, i);
        }
        for (int i = 0; i < block * 2; ++i)
            out[i] = int16_t(std::clamp(sum[i], int32_t(-32768), int32_t(32767)));
        out += block * 2;
        frames -= block;
        done += block;
    }
    return sounding;
}
