#include "sound/sound_startup.h"

#include "platform/system/failure.h"

int mixRateForQuality(int32_t audioQuality) {
    switch (audioQuality) {
        case 0:
            return 44100;
        case 1:
            return 22050;
        case 2:
            return 11025;
        default:
            return 0;
    }
}

std::string soundFailureText(std::string_view prefix) {
    std::string text(prefix);
    text += "\n\nFMOD error message :\n";
    text += soundErrorText(FSOUND_GetError());
    return text;
}

void soundFatalError(std::string_view prefix) {
    fatalError(kSoundErrorCaption, soundFailureText(prefix));
}

int soundOutputType(int32_t audioOutput) {
    switch (audioOutput) {
        case 0:
            return kSoundOutputDefault;
        case 2:
            return kSoundOutputNone;
        default:
            return kSoundOutputAlsa;
    }
}

void setSoundOutputOrFatal(int32_t audioOutput) {
    if (FSOUND_SetOutput(soundOutputType(audioOutput))) return;
    if (!soundDeviceFailure().missing) soundFatalError(kSoundOutputFailed);
}

void setSoundDriverOrFatal(int32_t audioDevice) {
    if (!FSOUND_SetDriver(audioDevice)) soundFatalError(kSoundDriverFailed);
}

std::string noSoundDeviceText(const SoundDeviceFailure& failure) {
    return "No sound device could be opened !\n\nThe demo plays without sound.\n\nSound "
           "driver tried : " +
           failure.driver + "\nReason : " + failure.reason +
           "\n\nTo get sound :\n- Start a sound server (PipeWire or PulseAudio) or connect "
           "a sound card, then start the demo again\n- Or choose \"NoSound\" as Output in the "
           "Configuration dialog to start silently without this notice";
}

void pauseAllSound(bool paused) {
    if (soundIsRunning()) FSOUND_SetPaused(FSOUND_ALL, paused);
}

void startSoundSystem(int32_t audioQuality, void* window, bool offline) {
    FSOUND_SetHWND(window);
    int rate = mixRateForQuality(audioQuality);
    if (rate == 0) return;
    bool started = offline ? soundInitOffline(rate) : FSOUND_Init(rate, kMixChannels, 0);
    if (!started && !offline && soundDeviceFailure().missing) {
        // No device at all is an ordinary case: the demo plays silently, its clock still
        // following the music, and the stored output stays as the user chose it.
        noticeBox(kSoundErrorCaption, noSoundDeviceText(soundDeviceFailure()));
        started = FSOUND_SetOutput(kSoundOutputNone) && FSOUND_Init(rate, kMixChannels, 0);
    }
    if (!started) soundFatalError(kSoundInitFailed);
    setSoundPause(pauseAllSound);
}

void closeSoundSystem() {
    if (failureState.pauseSound == pauseAllSound) setSoundPause(nullptr);
    FSOUND_Close();
}

FSOUND_STREAM* openMusicStream(const void* image, uint32_t size) {
    FSOUND_STREAM* stream = FSOUND_Stream_Open(image, FSOUND_LOADMEMORY, 0, int(size));
    if (stream == nullptr) soundFatalError(kSoundLoadFailed);
    return stream;
}

FSOUND_SAMPLE* loadEffectSample(const void* image, uint32_t size) {
    const unsigned kEffectMode =
        FSOUND_LOADMEMORY | FSOUND_LOOP_OFF | FSOUND_16BITS | FSOUND_STEREO | FSOUND_SIGNED;
    return FSOUND_Sample_Load(FSOUND_FREE, image, kEffectMode, 0, int(size));
}

void setMasterVolume() {
    FSOUND_SetVolume(FSOUND_ALL, kFullVolume);
}

int playMusicStream(FSOUND_STREAM* stream, int musicChannel) {
    FSOUND_SetVolume(FSOUND_ALL, kFullVolume);
    FSOUND_SetVolume(musicChannel, kMusicVolume);
    int channel = FSOUND_Stream_Play(FSOUND_FREE, stream);
    if (channel < 0) soundFatalError(kSoundPlayFailed);
    return channel;
}

void stopMusicStream(FSOUND_STREAM* stream) {
    if (!FSOUND_Stream_Stop(stream)) soundFatalError(kSoundStopFailed);
}

uint32_t musicTime(FSOUND_STREAM* stream) {
    return uint32_t(FSOUND_Stream_GetTime(stream));
}

int playEffect(FSOUND_SAMPLE* sample, uint32_t fromMs) {
    uint64_t frame = uint64_t(fromMs) * uint64_t(FSOUND_GetOutputRate()) / 1000;
    if (sample != nullptr && frame > 0 && frame >= sample->frames.size() / 2) return -1;
    int channel = FSOUND_PlaySound(FSOUND_FREE, sample);
    if (channel >= 0 && frame > 0) FSOUND_SetCurrentPosition(channel, unsigned(frame));
    return channel;
}

void stopEffect(int channel) {
    if (channel >= 0) FSOUND_StopSound(channel);
}
