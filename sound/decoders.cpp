#include "sound/decoders.h"

#include <mpg123.h>

#include <algorithm>
#include <cstring>

// --- Resampler ---------------------------------------------------------------------------

Resampler makeResampler(int sourceRate, int targetRate) {
    Resampler resampler;
    resampler.step = (uint64_t(sourceRate) << 32) / uint64_t(targetRate);
    return resampler;
}

namespace {

// One output frame from source[index..]: linear interpolation when the rates are close, the
// average of the `width` frames it covers when going down by a factor of two or more (which
// keeps most of what lies above the new rate's limit from folding back as noise).
void makeFrame(const int16_t* source, uint64_t index, uint64_t available, int width,
               int32_t fraction, int16_t* out) {
    for (int c = 0; c < 2; ++c) {
        if (width == 1) {
            int64_t a = source[index * 2 + c];
            int64_t b = source[std::min(index + 1, available - 1) * 2 + c];
            out[c] = int16_t(a + (((b - a) * fraction) >> 16));
            continue;
        }
        uint64_t end = std::min(index + uint64_t(width), available);
        int32_t sum = 0;
        for (uint64_t i = index; i < end; ++i) sum += source[i * 2 + c];
        out[c] = int16_t(sum / int32_t(end - index));
    }
}

} // namespace

int resampleFrames(Resampler& resampler, const int16_t* source, int sourceFrames, bool final,
                   int16_t* out, int outFrames, int* consumed) {
    int width = int(std::min<uint64_t>(std::max<uint64_t>(resampler.step >> 32, 1), 64));
    uint64_t available = uint64_t(sourceFrames);
    int written = 0;
    while (written < outFrames) {
        uint64_t index = resampler.position >> 32;
        if (index >= available) break;
        if (!final && index + uint64_t(std::max(width, 2)) > available) break;
        int32_t fraction = int32_t((resampler.position >> 16) & 0xFFFF);
        makeFrame(source, index, available, width, fraction, out + written * 2);
        ++written;
        resampler.position += resampler.step;
    }
    uint64_t index = resampler.position >> 32;
    int used = int(std::min<uint64_t>(index, available));
    resampler.position -= uint64_t(used) << 32;
    *consumed = used;
    return written;
}

void toStereo(const int16_t* in, int frames, int channels, int16_t* out) {
    for (int i = 0; i < frames; ++i) {
        int16_t left = in[i * channels];
        int16_t right = channels > 1 ? in[i * channels + 1] : left;
        out[i * 2] = left;
        out[i * 2 + 1] = right;
    }
}

// --- Ogg Vorbis ---------------------------------------------------------------------------

namespace {

size_t readImage(void* buffer, size_t size, size_t count, void* source) {
    MemoryImage& image = *static_cast<MemoryImage*>(source);
    if (size == 0) return 0;
    size_t available = image.size - image.position;
    size_t items = std::min(count, available / size);
    std::memcpy(buffer, image.data + image.position, items * size);
    image.position += items * size;
    return items;
}

int seekImage(void* source, ogg_int64_t offset, int whence) {
    MemoryImage& image = *static_cast<MemoryImage*>(source);
    ogg_int64_t base = whence == SEEK_SET   ? 0
                       : whence == SEEK_CUR ? ogg_int64_t(image.position)
                                            : ogg_int64_t(image.size);
    if (offset < -base || offset > ogg_int64_t(image.size) - base) return -1;
    image.position = size_t(base + offset);
    return 0;
}

long tellImage(void* source) {
    return long(static_cast<MemoryImage*>(source)->position);
}

// True when a whole Ogg page starts at `page`: its segment table and body fit into the
// `available` bytes and its checksum holds.
bool wholeOggPage(const uint8_t* page, size_t available) {
    const size_t kHeader = 27;
    if (available < kHeader || std::memcmp(page, "OggS", 4) != 0) return false;
    size_t segments = page[26];
    if (kHeader + segments > available) return false;
    size_t body = 0;
    for (size_t s = 0; s < segments; ++s) body += page[kHeader + s];
    if (kHeader + segments + body > available) return false;
    // libogg computes the checksum over the header with its checksum field cleared.
    unsigned char header[kHeader + 255];
    std::memcpy(header, page, kHeader + segments);
    ogg_page copy = {header, long(kHeader + segments),
                     const_cast<unsigned char*>(page + kHeader + segments), long(body)};
    ogg_page_checksum_set(&copy);
    return std::memcmp(header + 22, page + 22, 4) == 0;
}

// An Ogg image is whole when its last whole page carries the end-of-stream flag; bytes
// behind that page are no Ogg data and are ignored. An image cut short ends in a page
// without the flag (or in a broken one, which is passed over).
bool oggImageComplete(const uint8_t* data, size_t size) {
    for (size_t at = size; at-- > 0;)
        if (data[at] == 'O' && wholeOggPage(data + at, size - at))
            return (data[at + 5] & 0x04) != 0;
    return false;
}

// Decodes into the source buffer behind what is already there. Returns the frames added,
// or -1 once the decoder has nothing more.
int decodeMoreVorbis(VorbisStream& stream) {
    int16_t decoded[kStreamSourceFrames * 2];
    int room = kStreamSourceFrames - stream.sourceFrames;
    if (stream.decoderEnded) return -1;
    if (room <= 0) return 0;
    int link = 0;
    long bytes = ov_read(&stream.file, reinterpret_cast<char*>(decoded), room * 4, 0, 2, 1, &link);
    if (bytes == OV_HOLE) return 0; // a gap in the data: decoding goes on after it
    vorbis_info* info = ov_info(&stream.file, link);
    if (bytes <= 0 || info == nullptr || info->channels < 1) {
        stream.decoderEnded = true;
        return -1;
    }
    int frames = std::min(int(bytes / (2 * info->channels)), room);
    toStereo(decoded, frames, info->channels, stream.source + stream.sourceFrames * 2);
    stream.sourceFrames += frames;
    return frames;
}

void dropSourceFrames(VorbisStream& stream, int consumed) {
    if (consumed <= 0) return;
    stream.sourceFrames -= consumed;
    std::memmove(stream.source, stream.source + consumed * 2, size_t(stream.sourceFrames) * 4);
}

} // namespace

int openVorbisStream(VorbisStream& stream, const uint8_t* data, size_t size, int targetRate) {
    if (data == nullptr || size == 0) return 10;
    stream.image = {data, size, 0};
    ov_callbacks callbacks = {readImage, seekImage, nullptr, tellImage};
    int result = ov_open_callbacks(&stream.image, &stream.file, nullptr, 0, callbacks);
    if (result != 0) {
        // ov_open_callbacks clears the file itself when it fails.
        return result == OV_ENOTVORBIS || result == OV_EBADHEADER || result == OV_EVERSION ? 10
                                                                                           : 11;
    }
    vorbis_info* info = ov_info(&stream.file, -1);
    bool usable =
        info != nullptr && info->channels >= 1 && info->rate >= 1000 && info->rate <= 384000;
    if (!usable || !oggImageComplete(data, size)) {
        ov_clear(&stream.file);
        return usable ? 11 : 10;
    }
    stream.sourceRate = int(info->rate);
    stream.resampler = makeResampler(stream.sourceRate, targetRate);
    stream.sourceFrames = 0;
    stream.decoderEnded = false;
    return 0;
}

void closeVorbisStream(VorbisStream& stream) {
    ov_clear(&stream.file);
}

bool rewindVorbisStream(VorbisStream& stream) {
    stream.resampler.position = 0;
    stream.sourceFrames = 0;
    stream.decoderEnded = false;
    return ov_pcm_seek(&stream.file, 0) == 0;
}

bool seekVorbisStream(VorbisStream& stream, int64_t frame) {
    if (frame < 0) return false;
    stream.resampler.position = 0;
    stream.sourceFrames = 0;
    ogg_int64_t total = ov_pcm_total(&stream.file, -1);
    if (total < 0) return false;
    if (frame >= total) {
        stream.decoderEnded = true;
        return true;
    }
    stream.decoderEnded = false;
    return ov_pcm_seek(&stream.file, frame) == 0;
}

int readVorbisStream(VorbisStream& stream, int16_t* out, int frames) {
    const int kMaxStalls = 64; // reads in a row that bring nothing end a broken stream
    int written = 0;
    int stalls = 0;
    while (written < frames) {
        int consumed = 0;
        written +=
            resampleFrames(stream.resampler, stream.source, stream.sourceFrames,
                           stream.decoderEnded, out + written * 2, frames - written, &consumed);
        dropSourceFrames(stream, consumed);
        if (written == frames || (stream.decoderEnded && stream.sourceFrames == 0)) break;
        if (stream.decoderEnded) continue; // the last pass emits the held frames
        int added = decodeMoreVorbis(stream);
        if (added == 0 && ++stalls > kMaxStalls) stream.decoderEnded = true;
        if (added > 0) stalls = 0;
    }
    return written;
}

// --- MP3 ------------------------------------------------------------------------------------

namespace {

struct Mp3Handle {
    mpg123_handle* handle = nullptr;
    ~Mp3Handle() {
        if (handle != nullptr) mpg123_delete(handle);
    }
};

bool setUpMp3Decoder(mpg123_handle* handle) {
    if (mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_QUIET, 0) != MPG123_OK) return false;
    if (mpg123_format_none(handle) != MPG123_OK) return false;
    const long* rates = nullptr;
    size_t rateCount = 0;
    mpg123_rates(&rates, &rateCount);
    for (size_t i = 0; i < rateCount; ++i)
        mpg123_format(handle, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
    return mpg123_open_feed(handle) == MPG123_OK;
}

} // namespace

int decodeMp3(const uint8_t* data, size_t size, int targetRate, std::vector<int16_t>& stereo) {
    stereo.clear();
    if (data == nullptr || size == 0) return 10;
    Mp3Handle mp3;
    int error = MPG123_OK;
    mp3.handle = mpg123_new(nullptr, &error);
    if (mp3.handle == nullptr || !setUpMp3Decoder(mp3.handle)) return 11;
    mpg123_set_filesize(mp3.handle, off_t(size));
    if (mpg123_feed(mp3.handle, data, size) != MPG123_OK) return 11;

    std::vector<int16_t> decoded; // stereo at the source rate
    long rate = 0;
    int channels = 0, encoding = 0;
    int16_t block[8192];
    for (;;) {
        size_t bytes = 0;
        int result = mpg123_read(mp3.handle, block, sizeof block, &bytes);
        if (result == MPG123_NEW_FORMAT) {
            long newRate = 0;
            mpg123_getformat(mp3.handle, &newRate, &channels, &encoding);
            if (rate != 0 && newRate != rate) return 11; // rate changes inside one sound
            rate = newRate;
            continue;
        }
        if (bytes > 0 && channels > 0) {
            int frames = int(bytes / (2 * size_t(channels)));
            size_t at = decoded.size();
            decoded.resize(at + size_t(frames) * 2);
            toStereo(block, frames, channels, decoded.data() + at);
        }
        if (result == MPG123_NEED_MORE || result == MPG123_DONE) break;
        if (result != MPG123_OK) return decoded.empty() ? 10 : 11;
    }
    if (decoded.empty() || rate <= 0) return 10;
    // A frame count known from the header (or the bit rate) tells a cut-short image.
    off_t expected = mpg123_length(mp3.handle);
    int frames = int(decoded.size() / 2);
    if (expected > 0 && frames + 2 * 1152 < expected) return 11;

    Resampler resampler = makeResampler(int(rate), targetRate);
    stereo.resize(
        (uint64_t(frames) * uint64_t(targetRate) + uint64_t(rate) - 1) / uint64_t(rate) * 2 + 2);
    int consumed = 0;
    int made = resampleFrames(resampler, decoded.data(), frames, true, stereo.data(),
                              int(stereo.size() / 2), &consumed);
    stereo.resize(size_t(made) * 2);
    return 0;
}
