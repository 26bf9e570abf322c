// demotool mix: plays an Ogg Vorbis file as a stream or an MP3 file as a sample through the
// sound layer's offline rendering and writes what comes out as a 16-bit stereo WAV file.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/system/failure.h"
#include "sound/sound_startup.h"
#include "tools/commands.h"
#include "tools/tool_report.h"

namespace {

struct MixOptions {
    const char* input = nullptr;
    const char* output = nullptr;
    int rate = 44100;
    int volume = kFullVolume;
};

bool parseNumber(const char* text, int low, int high, int& value) {
    char* end = nullptr;
    long number = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || number < low || number > high) return false;
    value = int(number);
    return true;
}

bool parseMixOptions(int argc, char** argv, MixOptions& options) {
    for (int i = 0; i < argc; ++i) {
        const char* arg = argv[i];
        bool hasValue = i + 1 < argc;
        if (std::strcmp(arg, "--rate") == 0 && hasValue) {
            if (!parseNumber(argv[++i], 11025, 44100, options.rate)) return false;
            if (options.rate != 44100 && options.rate != 22050 && options.rate != 11025)
                return false;
        } else if (std::strcmp(arg, "--volume") == 0 && hasValue) {
            if (!parseNumber(argv[++i], 0, kFullVolume, options.volume)) return false;
        } else if (arg[0] == '-' && arg[1] != '\0') {
            return false;
        } else if (options.input == nullptr) {
            options.input = arg;
        } else if (options.output == nullptr) {
            options.output = arg;
        } else {
            return false;
        }
    }
    return options.output != nullptr;
}

std::vector<unsigned char> readFileOrFatal(const char* name) {
    std::vector<unsigned char> bytes;
    std::FILE* file = std::fopen(name, "rb");
    if (file == nullptr) fatalFileError(name);
    unsigned char block[65536];
    size_t count = 0;
    while ((count = std::fread(block, 1, sizeof block, file)) > 0)
        bytes.insert(bytes.end(), block, block + count);
    bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) fatalFileError(name);
    return bytes;
}

void putLittleEndian(std::vector<unsigned char>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

// The canonical 44-byte header of a 16-bit stereo PCM WAV file.
std::vector<unsigned char> wavHeader(int rate, uint32_t dataBytes) {
    std::vector<unsigned char> header;
    auto tag = [&](const char* text) { header.insert(header.end(), text, text + 4); };
    tag("RIFF");
    putLittleEndian(header, 36 + dataBytes, 4);
    tag("WAVE");
    tag("fmt ");
    putLittleEndian(header, 16, 4);
    putLittleEndian(header, 1, 2); // PCM
    putLittleEndian(header, 2, 2); // channels
    putLittleEndian(header, uint32_t(rate), 4);
    putLittleEndian(header, uint32_t(rate) * 4, 4);
    putLittleEndian(header, 4, 2);
    putLittleEndian(header, 16, 2);
    tag("data");
    putLittleEndian(header, dataBytes, 4);
    return header;
}

// Starts the sound: an Ogg image as a stream, anything else as a sample. Fatal when the
// layer cannot open it.
void startSound(const std::vector<unsigned char>& image) {
    bool ogg = image.size() >= 4 && std::memcmp(image.data(), "OggS", 4) == 0;
    int size = int(image.size());
    if (ogg) {
        FSOUND_STREAM* stream = FSOUND_Stream_Open(image.data(), FSOUND_LOADMEMORY, 0, size);
        if (stream == nullptr || FSOUND_Stream_Play(FSOUND_FREE, stream) < 0)
            soundFatalError(kSoundLoadFailed);
    } else {
        FSOUND_SAMPLE* sample = loadEffectSample(image.data(), uint32_t(image.size()));
        if (sample == nullptr || FSOUND_PlaySound(FSOUND_FREE, sample) < 0)
            soundFatalError(kSoundLoadFailed);
    }
}

} // namespace

int runMix(int argc, char** argv) {
    MixOptions options;
    if (!parseMixOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: demotool mix IN OUT.wav [--rate 44100|22050|11025] "
                             "[--volume 0-255]\n");
        return 2;
    }
    if (!requireInputFile(options.input)) return 1;
    std::vector<unsigned char> image = readFileOrFatal(options.input);
    if (!soundInitOffline(options.rate)) soundFatalError(kSoundInitFailed);
    FSOUND_SetVolume(FSOUND_ALL, options.volume);
    startSound(image);

    std::vector<int16_t> pcm;
    const int kBlockFrames = 4096;
    int16_t block[kBlockFrames * 2];
    while (soundBusyChannels() > 0) {
        int sounding = soundRenderFrames(block, kBlockFrames);
        pcm.insert(pcm.end(), block, block + std::max(sounding, 0) * 2);
    }
    FSOUND_Close();

    uint32_t dataBytes = uint32_t(pcm.size() * 2);
    std::vector<unsigned char> bytes = wavHeader(options.rate, dataBytes);
    for (int16_t value : pcm) putLittleEndian(bytes, uint16_t(value), 2);
    std::FILE* out = std::fopen(options.output, "wb");
    if (out == nullptr) fatalFileError(options.output);
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    written = std::fclose(out) == 0 && written;
    if (!written) fatalFileError(options.output);
    std::printf("%s: %zu frames at %d Hz\n", options.output, pcm.size() / 2, options.rate);
    return 0;
}
