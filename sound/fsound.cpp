#include "sound/fsound.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "sound/device.h"

namespace {

constexpr int kSampleSlots = 256;
constexpr const char* kDefaultDriverName = "Default";

struct SoundState {
    int lastError = kSoundErrNone;
    int outputType = kSoundOutputDefault;
    int driver = 0;
    bool backendOpen = false;
    bool devicesListed = false;           // the back-end lists real devices
    std::vector<std::string> driverNames; // what FSOUND_GetDriverName hands out
    SoundDeviceFailure deviceFailure;
    bool initialised = false;
    uint32_t device = 0; // 0 when offline
    MixerState mixer;
    std::vector<SoundStream*> streams;
    SoundSample* samples[kSampleSlots] = {};
};
SoundState soundState;

// Shared by the device callback and the calls; the calls hold it only to change channels.
std::mutex mixLock;

template <typename T> T failWith(int error, T result) {
    soundState.lastError = error;
    return result;
}

void noteDeviceFailure(bool missing) {
    soundState.deviceFailure = {missing, backendName(soundState.outputType), backendError()};
}

bool refreshDrivers() {
    if (!soundState.backendOpen) {
        soundState.backendOpen = openBackend(soundState.outputType);
        if (!soundState.backendOpen) noteDeviceFailure(true);
    }
    soundState.driverNames.clear();
    if (soundState.backendOpen) soundState.driverNames = listDevices();
    soundState.devicesListed = !soundState.driverNames.empty();
    if (!soundState.devicesListed) soundState.driverNames.emplace_back(kDefaultDriverName);
    return soundState.backendOpen;
}

// Only memory images are read: `length` bytes at data, of which the sound starts at offset.
bool validImage(const void* data, unsigned mode, int offset, int length) {
    return data != nullptr && (mode & FSOUND_LOADMEMORY) != 0 && offset >= 0 && length >= 0 &&
           offset <= length;
}

bool validChannel(int channel) {
    return channel >= 0 && channel < soundState.mixer.channelCount;
}

bool knownStream(const SoundStream* stream) {
    return stream != nullptr && std::find(soundState.streams.begin(), soundState.streams.end(),
                                          stream) != soundState.streams.end();
}

bool knownSample(const SoundSample* sample) {
    return sample != nullptr && sample->slot >= 0 && sample->slot < kSampleSlots &&
           soundState.samples[sample->slot] == sample;
}

// Picks the channel for a play call: a free one for FSOUND_FREE, else the one asked for.
int chooseChannel(int channel) {
    if (channel == FSOUND_FREE) {
        int free = findFreeChannel(soundState.mixer);
        return free >= 0 ? free : failWith(kSoundErrChannelAlloc, -1);
    }
    return validChannel(channel) ? channel : failWith(kSoundErrInvalidParam, -1);
}

// Applies a change to one channel or, for FSOUND_ALL, to every channel.
template <typename Change> bool changeChannels(int channel, Change change) {
    if (!soundState.initialised) return failWith(kSoundErrUninitialised, false);
    if (channel != FSOUND_ALL && !validChannel(channel))
        return failWith(kSoundErrInvalidParam, false);
    std::lock_guard<std::mutex> lock(mixLock);
    for (int i = 0; i < soundState.mixer.channelCount; ++i)
        if (channel == FSOUND_ALL || channel == i) change(i);
    return true;
}

// Back to the start of the sound, with the clock at 0. The stream must not be playing.
bool rewindStream(SoundStream* stream) {
    stream->framesMixed = 0;
    return rewindVorbisStream(stream->vorbis);
}

// A fatal report ends the process while the device may still be pulling the mix: close the
// device before the layer's state goes away.
void closeDeviceAtExit() {
    closeDevice(soundState.device);
    soundState.device = 0;
}

bool startLayer(int mixRate, int maxChannels) {
    if (soundState.initialised) return failWith(kSoundErrInitialised, false);
    if (mixRate < 4000 || mixRate > 192000 || maxChannels < 1 || maxChannels > kMixChannels)
        return failWith(kSoundErrInvalidParam, false);
    std::lock_guard<std::mutex> lock(mixLock);
    soundState.mixer = MixerState{};
    soundState.mixer.rate = mixRate;
    soundState.mixer.channelCount = maxChannels;
    return true;
}

void freeSample(SoundSample* sample) {
    {
        std::lock_guard<std::mutex> lock(mixLock);
        for (int i = 0; i < kMixChannels; ++i)
            if (soundState.mixer.channels[i].sample == sample) stopChannel(soundState.mixer, i);
    }
    soundState.samples[sample->slot] = nullptr;
    delete sample;
}

void closeStream(SoundStream* stream) {
    {
        std::lock_guard<std::mutex> lock(mixLock);
        if (stream->channel >= 0) stopChannel(soundState.mixer, stream->channel);
    }
    std::erase(soundState.streams, stream);
    closeVorbisStream(stream->vorbis);
    delete stream;
}

// The device's callback: the mix under the mix lock.
int mixForDevice(int16_t* out, int frames) {
    std::lock_guard<std::mutex> lock(mixLock);
    return mixFrames(soundState.mixer, out, frames);
}

} // namespace

// --- Output, driver, initialisation ---------------------------------------------------------

bool FSOUND_SetOutput(int outputType) {
    if (soundState.initialised) return failWith(kSoundErrInitialised, false);
    if (outputType < kSoundOutputNone || outputType > kSoundOutputDefault)
        return failWith(kSoundErrInvalidParam, false);
    if (soundState.backendOpen) closeBackend();
    soundState.backendOpen = false;
    soundState.deviceFailure = {};
    soundState.outputType = outputType;
    soundState.driver = 0;
    return refreshDrivers() ? true : failWith(kSoundErrInit, false);
}

bool FSOUND_SetDriver(int driver) {
    if (soundState.initialised) return failWith(kSoundErrInitialised, false);
    if (driver < 0 || driver >= FSOUND_GetNumDrivers())
        return failWith(kSoundErrInvalidParam, false);
    soundState.driver = driver;
    return true;
}

bool FSOUND_SetHWND(void*) {
    // SDL's audio needs no window; the call keeps its place in the start-up order.
    return soundState.initialised ? failWith(kSoundErrInitialised, false) : true;
}

int FSOUND_GetNumDrivers() {
    if (soundState.driverNames.empty() || !soundState.backendOpen) refreshDrivers();
    return int(soundState.driverNames.size());
}

const char* FSOUND_GetDriverName(int driver) {
    if (driver < 0 || driver >= FSOUND_GetNumDrivers())
        return failWith(kSoundErrInvalidParam, static_cast<const char*>(nullptr));
    return soundState.driverNames[size_t(driver)].c_str();
}

bool FSOUND_Init(int mixRate, int maxChannels, unsigned) {
    if (!startLayer(mixRate, maxChannels)) return false;
    soundState.deviceFailure = {};
    if (!refreshDrivers()) return failWith(kSoundErrInit, false);
    if (soundState.driver >= int(soundState.driverNames.size())) soundState.driver = 0;
    const char* name = soundState.devicesListed
                           ? soundState.driverNames[size_t(soundState.driver)].c_str()
                           : nullptr;
    soundState.device = openDevice(name, mixRate, mixForDevice);
    if (soundState.device == 0) {
        noteDeviceFailure(!soundState.devicesListed);
        return failWith(kSoundErrInit, false);
    }
    if (!devicePlays(soundState.device)) {
        soundState.deviceFailure = {false, backendName(soundState.outputType),
                                    "the device stopped on its first buffer"};
        closeDeviceAtExit();
        return failWith(kSoundErrInit, false);
    }
    static bool exitHandlerSet = false;
    if (!exitHandlerSet) exitHandlerSet = std::atexit(closeDeviceAtExit) == 0;
    soundState.initialised = true;
    return true;
}

bool soundInitOffline(int mixRate) {
    if (!startLayer(mixRate, kMixChannels)) return false;
    soundState.initialised = true;
    return true;
}

void FSOUND_Close() {
    closeDevice(soundState.device);
    soundState.device = 0;
    while (!soundState.streams.empty()) closeStream(soundState.streams.back());
    for (SoundSample* sample : soundState.samples)
        if (sample != nullptr) freeSample(sample);
    if (soundState.backendOpen) closeBackend();
    soundState = SoundState{};
}

const SoundDeviceFailure& soundDeviceFailure() {
    return soundState.deviceFailure;
}

int FSOUND_GetError() {
    return soundState.lastError;
}

// --- Streams ------------------------------------------------------------------------------

FSOUND_STREAM* FSOUND_Stream_Open(const void* data, unsigned mode, int offset, int length) {
    FSOUND_STREAM* none = nullptr;
    if (!soundState.initialised) return failWith(kSoundErrUninitialised, none);
    if (!validImage(data, mode, offset, length)) return failWith(kSoundErrInvalidParam, none);
    auto stream = std::make_unique<SoundStream>();
    const uint8_t* image = static_cast<const uint8_t*>(data) + offset;
    int error =
        openVorbisStream(stream->vorbis, image, size_t(length - offset), soundState.mixer.rate);
    if (error != 0) return failWith(error, none);
    soundState.streams.push_back(stream.get());
    return stream.release();
}

int FSOUND_Stream_Play(int channel, FSOUND_STREAM* stream) {
    if (!soundState.initialised) return failWith(kSoundErrUninitialised, -1);
    if (!knownStream(stream)) return failWith(kSoundErrInvalidParam, -1);
    std::lock_guard<std::mutex> lock(mixLock);
    if (stream->channel >= 0) return stream->channel;
    // A stream that played to its end starts again from the beginning.
    if (stream->vorbis.decoderEnded && !rewindStream(stream)) return failWith(kSoundErrPlay, -1);
    int chosen = chooseChannel(channel);
    if (chosen >= 0) startChannel(soundState.mixer, chosen, nullptr, stream);
    return chosen;
}

bool FSOUND_Stream_Stop(FSOUND_STREAM* stream) {
    if (!soundState.initialised) return failWith(kSoundErrUninitialised, false);
    if (!knownStream(stream)) return failWith(kSoundErrInvalidParam, false);
    {
        std::lock_guard<std::mutex> lock(mixLock);
        if (stream->channel >= 0) stopChannel(soundState.mixer, stream->channel);
    }
    return rewindStream(stream) ? true : failWith(kSoundErrFileBad, false);
}

bool FSOUND_Stream_Close(FSOUND_STREAM* stream) {
    if (!soundState.initialised) return failWith(kSoundErrUninitialised, false);
    if (!knownStream(stream)) return failWith(kSoundErrInvalidParam, false);
    closeStream(stream);
    return true;
}

int FSOUND_Stream_GetTime(FSOUND_STREAM* stream) {
    if (!soundState.initialised) return failWith(kSoundErrUninitialised, 0);
    if (!knownStream(stream)) return failWith(kSoundErrInvalidParam, 0);
    std::lock_guard<std::mutex> lock(mixLock);
    return int(stream->framesMixed * 1000 / uint64_t(soundState.mixer.rate));
}

bool FSOUND_Stream_SetTime(FSOUND_STREAM* stream, int ms) {
    if (!soundState.initialised) return failWith(kSoundErrUninitialised, false);
    if (!knownStream(stream) || ms < 0) return failWith(kSoundErrInvalidParam, false);
    std::lock_guard<std::mutex> lock(mixLock);
    int64_t sourceFrame = int64_t(ms) * stream->vorbis.sourceRate / 1000;
    if (!seekVorbisStream(stream->vorbis, sourceFrame)) return failWith(kSoundErrFileBad, false);
    // Rounded up, so that the clock reads back exactly ms.
    stream->framesMixed = (uint64_t(ms) * uint64_t(soundState.mixer.rate) + 999) / 1000;
    return true;
}

// --- Samples and channels -------------------------------------------------------------------

FSOUND_SAMPLE* FSOUND_Sample_Load(int slot, const void* data, unsigned mode, int offset,
                                  int length) {
    FSOUND_SAMPLE* none = nullptr;
    if (!soundState.initialised) return failWith(kSoundErrUninitialised, none);
    if (!validImage(data, mode, offset, length) || slot < FSOUND_FREE || slot >= kSampleSlots)
        return failWith(kSoundErrInvalidParam, none);
    if (slot == FSOUND_FREE) {
        for (slot = 0; slot < kSampleSlots && soundState.samples[slot] != nullptr;) ++slot;
        if (slot == kSampleSlots) return failWith(kSoundErrMemory, none);
    }
    auto sample = std::make_unique<SoundSample>();
    const uint8_t* image = static_cast<const uint8_t*>(data) + offset;
    int error = decodeMp3(image, size_t(length - offset), soundState.mixer.rate, sample->frames);
    if (error != 0) return failWith(error, none);
    if (soundState.samples[slot] != nullptr) freeSample(soundState.samples[slot]);
    sample->slot = slot;
    soundState.samples[slot] = sample.get();
    return sample.release();
}

void FSOUND_Sample_Free(FSOUND_SAMPLE* sample) {
    if (!soundState.initialised)
        soundState.lastError = kSoundErrUninitialised;
    else if (!knownSample(sample))
        soundState.lastError = kSoundErrInvalidParam;
    else
        freeSample(sample);
}

int FSOUND_PlaySound(int channel, FSOUND_SAMPLE* sample) {
    if (!soundState.initialised) return failWith(kSoundErrUninitialised, -1);
    if (!knownSample(sample)) return failWith(kSoundErrInvalidParam, -1);
    std::lock_guard<std::mutex> lock(mixLock);
    int chosen = chooseChannel(channel);
    if (chosen >= 0) startChannel(soundState.mixer, chosen, sample, nullptr);
    return chosen;
}

bool FSOUND_StopSound(int channel) {
    return changeChannels(channel, [](int i) { stopChannel(soundState.mixer, i); });
}

bool FSOUND_SetCurrentPosition(int channel, unsigned frame) {
    if (!soundState.initialised) return failWith(kSoundErrUninitialised, false);
    if (!validChannel(channel)) return failWith(kSoundErrInvalidParam, false);
    std::lock_guard<std::mutex> lock(mixLock);
    MixChannel& playing = soundState.mixer.channels[channel];
    if (playing.sample == nullptr) return failWith(kSoundErrInvalidParam, false);
    if (frame >= playing.sample->frames.size() / 2)
        stopChannel(soundState.mixer, channel);
    else
        playing.position = frame;
    return true;
}

bool FSOUND_SetVolume(int channel, int volume) {
    if (volume < 0 || volume > kFullVolume) return failWith(kSoundErrInvalidParam, false);
    return changeChannels(channel,
                          [volume](int i) { soundState.mixer.channels[i].volume = volume; });
}

bool FSOUND_SetPaused(int channel, bool paused) {
    return changeChannels(channel,
                          [paused](int i) { soundState.mixer.channels[i].paused = paused; });
}

// --- Offline rendering and errors -----------------------------------------------------------

int soundRenderFrames(int16_t* out, int frames) {
    if (!soundState.initialised) return failWith(kSoundErrUninitialised, -1);
    if (out == nullptr || frames < 0) return failWith(kSoundErrInvalidParam, -1);
    return mixForDevice(out, frames);
}

int FSOUND_GetOutputRate() {
    return soundState.initialised ? soundState.mixer.rate : 0;
}

bool soundIsRunning() {
    return soundState.initialised;
}

int soundBusyChannels() {
    std::lock_guard<std::mutex> lock(mixLock);
    int busy = 0;
    for (const MixChannel& channel : soundState.mixer.channels) busy += channelBusy(channel);
    return busy;
}

const char* soundErrorText(int code) {
    static const char* const kTexts[] = {
        "No errors",
        "Cannot call this command after FSOUND_Init.  Call FSOUND_Close first",
        "This command failed because FSOUND_Init was not called",
        "Error initializing output device",
        "The output device is already in use and cannot be reused",
        "Playing the sound failed",
        "Soundcard does not support the features needed for this soundsystem (16bit stereo "
        "output)",
        "Error setting cooperative level for hardware",
        "Error creating hardware sound buffer",
        "File not found",
        "Unknown file format",
        "Error loading file",
        "Not enough memory",
        "The version number of this file format is not supported",
        "An invalid parameter was passed to this function",
        "Tried to use an EAX command on a non EAX enabled channel or output",
        "Failed to allocate a new channel",
        "Recording not supported on this device",
        "Required Mediaplayer codec is not installed",
    };
    if (code < 0 || code >= int(std::size(kTexts))) return "Unknown error";
    return kTexts[code];
}
