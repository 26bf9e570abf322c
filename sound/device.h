// The SDL side of the sound layer: the audio back-end behind each output type, the devices
// it lists, and the device whose callback pulls the mix.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Output types: where the mix goes.
inline constexpr int kSoundOutputNone = 0;    // SDL's "dummy" back-end: silence, clock runs
inline constexpr int kSoundOutputAlsa = 1;    // SDL's "alsa" back-end
inline constexpr int kSoundOutputDefault = 2; // the back-end SDL picks first

// The SDL back-end an output type uses: "dummy" for no sound, "alsa" for output 1, and for
// output 2 SDL's own first choice. SDL_AUDIODRIVER, when set, overrides outputs 1 and 2.
// Null means "let SDL choose".
const char* outputBackend(int outputType);
// The back-end an output type runs on, or tries, by name: the running one's SDL name, else
// the one asked for ("nosuch (SDL_AUDIODRIVER)" for the variable), else the drivers SDL tries
// by itself.
std::string backendName(int outputType);
// SDL's reason for the last failure of the calls below.
std::string backendError();
// Starts the back-end. ALSA's own error lines on standard error are silenced first (a
// missing sound card is told once, by the program, in its own words).
bool openBackend(int outputType);
void closeBackend();
// The device names the open back-end lists (maybe none).
std::vector<std::string> listDevices();
// Fills the device's buffer of frames (16-bit stereo) and returns how many leading frames had
// a sound playing. Called on the device's own thread.
using DeviceMix = int (*)(int16_t* out, int frames);
// Opens the named device (null for the back-end's default) at rate, 16-bit stereo, and
// starts it; its callback calls mix. 0 on failure.
uint32_t openDevice(const char* deviceName, int rate, DeviceMix mix);
// Waits until a just opened device has pulled its second buffer, so that its first one went
// out, and tells whether it still plays: a device whose first write failed has stopped. A
// device that pulls nothing within two seconds counts as playing.
bool devicePlays(uint32_t device);
void closeDevice(uint32_t device);
