// The sound layer on the offline clock: started without a device, the mixer renders exactly
// one frame step of samples each time a frame is drawn, so after k frames the music has
// played k steps, sample for sample. Runs with a fixed step use it so that the music's time
// (and a recording's sound track) follow the frames instead of the wall clock.
#pragma once

#include <cstdint>
#include <vector>

struct OfflineSoundState {
    bool running = false;
    int rate = 0;        // mix rate in Hz
    uint32_t stepMs = 0; // the step is stepMs / stepDivisor milliseconds
    uint32_t stepDivisor = 1;
    uint64_t steps = 0;       // steps mixed so far
    std::vector<int16_t> mix; // the last step's samples, interleaved stereo
};
extern OfflineSoundState offlineSoundState;

// Sample frames mixed in the first `steps` steps: floor(steps × stepMs × rate / (1000 ×
// divisor)). Each step mixes the difference, so the rounding never accumulates.
uint64_t mixFramesBefore(uint64_t steps, int rate, uint32_t stepMs, uint32_t stepDivisor);

// Starts the sound layer offline at mixRate (the "FMOD initiation failed" report when it
// cannot). Like startSoundSystem, failure boxes then pause and resume every channel, and
// closeSoundSystem ends it.
void startOfflineSound(int mixRate, uint32_t stepMs, uint32_t stepDivisor);
// Mixes the next step into offlineSoundState.mix and returns its sample frame count.
int advanceOfflineSound();
