#include "sound/device.h"

#include <SDL.h>
#include <dlfcn.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>

namespace {

// How many buffers the open device has pulled, for devicePlays.
struct DeviceState {
    std::mutex lock;
    std::condition_variable pulled;
    int buffersPulled = 0;
};
DeviceState deviceState;

void audioCallback(void* mix, Uint8* stream, int bytes) {
    reinterpret_cast<DeviceMix>(mix)(reinterpret_cast<int16_t*>(stream), bytes / 4);
    {
        std::lock_guard<std::mutex> hold(deviceState.lock);
        ++deviceState.buffersPulled;
    }
    deviceState.pulled.notify_all();
}

extern "C" void quietAlsaError(const char*, int, const char*, int, const char*, ...) {}

// ALSA writes "ALSA lib ... cannot find card" lines on standard error for every device it
// probes. Its error handler is process-wide and stays set while the library is loaded; the
// library is the one SDL loads too, and it is kept loaded.
void silenceAlsa() {
    static bool done = false;
    if (done) return;
    done = true;
    void* alsa = dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL);
    if (alsa == nullptr) return;
    using Handler = void (*)(const char*, int, const char*, int, const char*, ...);
    using SetHandler = int (*)(Handler);
    auto setHandler = reinterpret_cast<SetHandler>(dlsym(alsa, "snd_lib_error_set_handler"));
    if (setHandler != nullptr) setHandler(quietAlsaError);
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

std::string backendName(int outputType) {
    const char* running = SDL_GetCurrentAudioDriver();
    if (running != nullptr) return running;
    const char* asked = outputBackend(outputType);
    if (asked != nullptr) return asked;
    const char* chosen = std::getenv("SDL_AUDIODRIVER");
    if (chosen != nullptr && chosen[0] != '\0') return std::string(chosen) + " (SDL_AUDIODRIVER)";
    std::string names;
    for (int i = 0; i < SDL_GetNumAudioDrivers(); ++i) {
        std::string name = SDL_GetAudioDriver(i);
        if (name == "disk" || name == "dummy") continue; // SDL starts these only when asked
        names += (names.empty() ? "" : ", ") + name;
    }
    return names;
}

std::string backendError() {
    const char* error = SDL_GetError();
    return error != nullptr && error[0] != '\0' ? error : "no reason given";
}

bool openBackend(int outputType) {
    silenceAlsa();
    SDL_ClearError();
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

uint32_t openDevice(const char* deviceName, int rate, DeviceMix mix) {
    SDL_AudioSpec wanted = {};
    wanted.freq = rate;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = 2;
    wanted.samples = bufferFrames(rate);
    wanted.callback = audioCallback;
    wanted.userdata = reinterpret_cast<void*>(mix);
    SDL_AudioSpec obtained = {};
    {
        std::lock_guard<std::mutex> hold(deviceState.lock);
        deviceState.buffersPulled = 0;
    }
    SDL_ClearError();
    SDL_AudioDeviceID device = SDL_OpenAudioDevice(deviceName, 0, &wanted, &obtained, 0);
    if (device != 0) SDL_PauseAudioDevice(device, 0);
    return device;
}

void closeDevice(uint32_t device) {
    if (device != 0) SDL_CloseAudioDevice(device);
}

bool devicePlays(uint32_t device) {
    if (device == 0) return false;
    {
        std::unique_lock<std::mutex> hold(deviceState.lock);
        deviceState.pulled.wait_for(hold, std::chrono::seconds(2),
                                    [] { return deviceState.buffersPulled >= 2; });
    }
    return SDL_GetAudioDeviceStatus(device) == SDL_AUDIO_PLAYING;
}
