// Feeds arbitrary images to the sound layer: as a Vorbis stream played through a few seconds
// of offline mixing, and as an MP3 sample that is loaded and played. Ogg page checksums are
// set right before the stream sees the image, so mutations reach the Vorbis decoder instead
// of stopping at the page check.
#include <ogg/ogg.h>
#include <sanitizer/lsan_interface.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "sound/fsound.h"

namespace {

void fixOggChecksums(std::vector<uint8_t>& image) {
    size_t at = 0;
    while (at + 27 <= image.size() && std::memcmp(image.data() + at, "OggS", 4) == 0) {
        size_t segments = image[at + 26];
        size_t headerSize = 27 + segments;
        if (at + headerSize > image.size()) return;
        size_t bodySize = 0;
        for (size_t s = 0; s < segments; ++s) bodySize += image[at + 27 + s];
        if (at + headerSize + bodySize > image.size()) return;
        ogg_page page = {image.data() + at, long(headerSize), image.data() + at + headerSize,
                         long(bodySize)};
        ogg_page_checksum_set(&page);
        at += headerSize + bodySize;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const int kRates[] = {44100, 22050, 11025};
    int rate = kRates[size % 3];
    soundInitOffline(rate);
    std::vector<uint8_t> image(data, data + size); // exact bounds for the sanitizers
    std::vector<int16_t> block(4096 * 2);
    fixOggChecksums(image);
    // The system's vorbisfile loses a pointer's worth of memory inside ov_open_callbacks on
    // some broken headers, so blocks taken while opening are not leak-checked. What decoding
    // takes later is, and a stream left unclosed would show there.
    __lsan_disable();
    FSOUND_STREAM* stream =
        FSOUND_Stream_Open(image.data(), FSOUND_LOADMEMORY, 0, int(image.size()));
    __lsan_enable();
    if (stream != nullptr && FSOUND_Stream_Play(FSOUND_FREE, stream) >= 0) {
        for (int rendered = 0; rendered < 3 * rate; rendered += 4096)
            if (soundRenderFrames(block.data(), 4096) <= 0) break;
        FSOUND_Stream_GetTime(stream);
    }
    image.assign(data, data + size);
    FSOUND_SAMPLE* sample =
        FSOUND_Sample_Load(FSOUND_FREE, image.data(), 0x8151, 0, int(image.size()));
    if (sample != nullptr && FSOUND_PlaySound(FSOUND_FREE, sample) >= 0)
        soundRenderFrames(block.data(), 4096);
    FSOUND_Close();
    return 0;
}
