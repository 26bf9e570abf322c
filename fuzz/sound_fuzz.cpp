// Feeds arbitrary images to the sound layer: as a Vorbis stream played through a few seconds
// of offline mixing, and as an MP3 sample that is loaded and played.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "sound/fsound.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const int kRates[] = {44100, 22050, 11025};
    int rate = kRates[size % 3];
    soundInitOffline(rate);
    std::vector<uint8_t> image(data, data + size); // exact bounds for the sanitizers
    std::vector<int16_t> block(4096 * 2);
    FSOUND_STREAM* stream =
        FSOUND_Stream_Open(image.data(), FSOUND_LOADMEMORY, 0, int(image.size()));
    if (stream != nullptr && FSOUND_Stream_Play(FSOUND_FREE, stream) >= 0) {
        for (int rendered = 0; rendered < 3 * rate; rendered += 4096)
            if (soundRenderFrames(block.data(), 4096) <= 0) break;
        FSOUND_Stream_GetTime(stream);
    }
    FSOUND_SAMPLE* sample =
        FSOUND_Sample_Load(FSOUND_FREE, image.data(), 0x8151, 0, int(image.size()));
    if (sample != nullptr && FSOUND_PlaySound(FSOUND_FREE, sample) >= 0)
        soundRenderFrames(block.data(), 4096);
    FSOUND_Close();
    return 0;
}
