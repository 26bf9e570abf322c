#include "app/offline_sound.h"

#include "platform/system/failure.h"
#include "sound/fsound.h"
#include "sound/sound_startup.h"

OfflineSoundState offlineSoundState;

uint64_t mixFramesBefore(uint64_t steps, int rate, uint32_t stepMs, uint32_t stepDivisor) {
    if (stepDivisor == 0) stepDivisor = 1;
    // 128-bit so that long runs at high rates cannot overflow.
    unsigned __int128 product = static_cast<unsigned __int128>(steps) * stepMs * uint32_t(rate);
    return static_cast<uint64_t>(product / (uint64_t(1000) * stepDivisor));
}

void startOfflineSound(int mixRate, uint32_t stepMs, uint32_t stepDivisor) {
    offlineSoundState = OfflineSoundState{};
    if (!soundInitOffline(mixRate)) soundFatalError(kSoundInitFailed);
    setSoundPause(pauseAllSound);
    offlineSoundState.running = true;
    offlineSoundState.rate = mixRate;
    offlineSoundState.stepMs = stepMs;
    offlineSoundState.stepDivisor = stepDivisor == 0 ? 1 : stepDivisor;
}

int advanceOfflineSound() {
    OfflineSoundState& state = offlineSoundState;
    if (!state.running || !soundIsRunning()) return 0;
    uint64_t before = mixFramesBefore(state.steps, state.rate, state.stepMs, state.stepDivisor);
    uint64_t after = mixFramesBefore(state.steps + 1, state.rate, state.stepMs, state.stepDivisor);
    int frames = static_cast<int>(after - before);
    state.steps++;
    state.mix.assign(size_t(frames) * 2, 0);
    if (frames > 0 && soundRenderFrames(state.mix.data(), frames) < 0)
        state.mix.assign(state.mix.size(), 0);
    return frames;
}
