// The program's use of the sound layer: start and close, the music stream and the end-screen
// sample, and the fatal reports around the calls that must not fail. All reports use the
// caption "FMOD - Sound System - ERROR" and end with the layer's error text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "sound/fsound.h"

inline constexpr std::string_view kSoundErrorCaption = "FMOD - Sound System - ERROR";
inline constexpr std::string_view kSoundInitFailed =
    "FMOD initiation failed !\n\nPOSSIBLE reasons :\n- Wrong sound output or device mode "
    "selected\n- Latest sound drivers are not installed";
inline constexpr std::string_view kSoundOutputFailed =
    "Setting FMOD output mode failed !\n\nPOSSIBLE reasons :\n- Your sound card does not "
    "support this output\n- Latest sound drivers are not installed";
inline constexpr std::string_view kSoundDriverFailed =
    "Setting FMOD device mode failed !\n\nPOSSIBLE reasons :\n- Your sound card does not "
    "support this device\n- Latest sound drivers are not installed";
inline constexpr std::string_view kSoundLoadFailed =
    "Loading sound file failed !\n\nPOSSIBLE reasons :\n- A sound file is missing\n- A sound "
    "file is write-protected or blocked";
inline constexpr std::string_view kSoundPlayFailed =
    "Playing sound file failed !\n\nPOSSIBLE reasons :\n- Another sound application blocks "
    "FMOD\n- Wrong sound device or output selected\n- Latest sound drivers are not installed";
inline constexpr std::string_view kSoundStopFailed =
    "Stopping sound file failed !\n\nPOSSIBLE reasons :\n- The sound file wasn't playing\n- "
    "Latest sound drivers are not installed";

inline constexpr int kMusicVolume = 128;

// The notice of a start without a sound device: the driver tried, SDL's reason, and how to
// get sound.
std::string noSoundDeviceText(const SoundDeviceFailure& failure);

// prefix + "\n\nFMOD error message :\n" + the text of FSOUND_GetError().
std::string soundFailureText(std::string_view prefix);
[[noreturn]] void soundFatalError(std::string_view prefix);

// The configuration dialog's choices: audio output index 0, 1, 2 selects output type 2, 1, 0
// (any other index counts as 1); failures are fatal, except an output without any device,
// which stays chosen: the start then plays silently.
int soundOutputType(int32_t audioOutput);
void setSoundOutputOrFatal(int32_t audioOutput);
void setSoundDriverOrFatal(int32_t audioDevice);

// Start-up: FSOUND_SetHWND, then FSOUND_Init at 44100, 22050 or 11025 Hz for quality 0, 1
// or 2 (no initialisation for any other value). Where the chosen output has no device at all
// the layer starts on no output instead (the music still sets the clock) after one notice;
// any other failure is fatal. Once the layer runs, the
// failure boxes and window activation pause and resume it through failureState.pauseSound.
// Offline, the layer starts without a device (soundInitOffline) and the caller advances the
// mix.
void startSoundSystem(int32_t audioQuality, void* window = nullptr, bool offline = false);
// The mix rate of an audio quality setting; 0 for values outside 0..2.
int mixRateForQuality(int32_t audioQuality);
void closeSoundSystem();
// Pauses (or resumes) every channel; does nothing while the layer is not running.
void pauseAllSound(bool paused);

// Loading: the music stream from a bigfile entry's buffer (fatal when it cannot be opened)
// and the end-screen sample (null when it cannot be loaded; the program goes on without it).
// The buffers stay the caller's and must live until the stream is closed.
FSOUND_STREAM* openMusicStream(const void* image, uint32_t size);
FSOUND_SAMPLE* loadEffectSample(const void* image, uint32_t size);
// Full volume for every channel.
void setMasterVolume();

// First scene: every channel to 255, `musicChannel` to 128, then the stream plays on a free
// channel, which is returned; failure is fatal.
int playMusicStream(FSOUND_STREAM* stream, int musicChannel);
// After the second scene; failure is fatal.
void stopMusicStream(FSOUND_STREAM* stream);
// The play position in milliseconds, which the scenes set their clock from.
uint32_t musicTime(FSOUND_STREAM* stream);

// End screen: play the sample once from `fromMs` into it (the channel, negative when it
// failed or the point is past its end) and stop it.
int playEffect(FSOUND_SAMPLE* sample, uint32_t fromMs = 0);
void stopEffect(int channel);
