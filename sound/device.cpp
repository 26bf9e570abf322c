#include "sound/device.h"

#include <SDL.h>

#include <cstdlib>

#include "sound/fsound.h"

namespace {

void audioCallback(void*, Uint8* stream, int bytes) {
    mixForDevice(reinterpret_cast<int16_t*>(stream), bytes / 4);
}

// About 23 ms of audio per callback at every rate.
Uint16 bufferFrames(int rate) {
    Uint16 frames = 256;
    while (frames < 4096 && frames * 43 < rate) frames = Uint16(frames * 2);
    return frames;
}

} // namespace

const char* outputBackend(int outputType) {
    if (outputType == kSoundOutputNone) return "dummy";
    const char* chosen = std::getenv("SDL_AUDIODRIVER");
    if (chosen != nullptr && chosen[0] != '\0') return nullptr;
    return outputType == kSoundOutputAlsa ? "alsa" : nullptr;
}

bool openBackend(int outputType) {
    return SDL_AudioInit(outputBackend(outputType)) == 0;
}

void closeBackend() {
    SDL_AudioQuit();
}

std::vector<std::string> listDevices() {
    std::vector<std::string> names;
    int count = SDL_GetNumAudioDevices(0);
    for (int i = 0; i < count; ++i) {
        const char* name = SDL_GetAudioDeviceName(i, 0);
        names.emplace_back(name != nullptr ? name : "");
    }
    return names;
}

uint32_t openDevice(const char* deviceName, int rate) {
    SDL_AudioSpec wanted = {};
    wanted.freq = rate;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = 2;
    wanted.samples = bufferFrames(rate);
    wanted.callback = audioCallback;
    SDL_AudioSpec obtained = {};
    SDL_AudioDeviceID device = SDL_OpenAudioDevice(deviceName, 0, &wanted, &obtained, 0);
    if (device != 0) SDL_PauseAudioDevice(device, 0);
    return device;
}

void closeDevice(uint32_t device) {
    if (device != 0) SDL_CloseAudioDevice(device);
}
