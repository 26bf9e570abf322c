// The SDL side of the sound layer: the audio back-end behind each output type, the devices
// it lists, and the device whose callback pulls the mix.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The SDL back-end an output type uses: "dummy" for no sound, "alsa" for output 1, and for
// output 2 SDL's own first choice. SDL_AUDIODRIVER, when set, overrides outputs 1 and 2.
// Null means "let SDL choose".
const char* outputBackend(int outputType);
bool openBackend(int outputType);
void closeBackend();
// The device names the open back-end lists (maybe none).
std::vector<std::string> listDevices();
// Opens the named device (null for the back-end's default) at rate, 16-bit stereo, and
// starts it; its callback calls mixForDevice. 0 on failure.
uint32_t openDevice(const char* deviceName, int rate);
void closeDevice(uint32_t device);

// Defined by the layer: fills the device's buffer from the mixer under the mix lock and
// returns how many leading frames had a sound playing.
int mixForDevice(int16_t* out, int frames);
