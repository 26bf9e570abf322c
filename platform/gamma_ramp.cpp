#include "platform/gamma_ramp.h"

#include <cmath>
#include <cstring>

#include "platform/gl/gamma_pass.h"
#include "platform/window_state.h"

GammaRamp buildGammaRamp(float gamma) {
    GammaRamp ramp;
    for (int i = 0; i < 256; ++i) {
        float step = static_cast<float>(i) * 0.003921569f;
        double scaled =
            std::pow(static_cast<double>(step), static_cast<double>(gamma)) * 255.0 + 0.5;
        // Not a number (a nonsense gamma) counts as too bright rather than as garbage.
        int v = scaled < 256.0 ? static_cast<int>(scaled) : 255;
        if (v > 255) v = 255;
        ramp.red[i] = ramp.green[i] = ramp.blue[i] = static_cast<uint16_t>(v * 256);
    }
    return ramp;
}

bool deviceRampReachesScreen(const char* waylandDisplay, const char* sessionType) {
    bool wayland = (waylandDisplay != nullptr && waylandDisplay[0] != '\0') ||
                   (sessionType != nullptr && std::strcmp(sessionType, "wayland") == 0);
    return !wayland;
}

bool applyGammaRamp(float gamma) {
    windowState.gamma = gamma;
    if (windowState.window == nullptr) return false;
    GammaRamp ramp = buildGammaRamp(gamma);
    uint8_t steps[256];
    for (int i = 0; i < 256; ++i) steps[i] = uint8_t(i);
    bool reaches = false;
    if (!windowState.gammaInPicture)
        reaches = windowState.rampSet =
            windowState.setDeviceRamp(windowState.window, ramp.red, ramp.green, ramp.blue) == 0;
    // The same curve in the picture where the ramp is not taken (or cannot be trusted).
    if (!reaches) {
        for (int i = 0; i < 256; ++i) steps[i] = uint8_t(ramp.red[i] >> 8);
        reaches = gammaPass.ready;
    }
    setGammaPassCurve(steps);
    return reaches;
}

void restoreGammaRamp() {
    // A ramp that could not be read stays unused: setting the zeroed table would black out
    // the desktop. The picture's gamma stays within the picture.
    if (windowState.window == nullptr || !windowState.gammaSaved || !windowState.rampSet) return;
    const GammaRamp& saved = windowState.savedGammaRamp;
    SDL_SetWindowGammaRamp(windowState.window, saved.red, saved.green, saved.blue);
    windowState.rampSet = false;
}

void saveDesktopGammaRamp() {
    GammaRamp& saved = windowState.savedGammaRamp;
    std::memset(&saved, 0, sizeof saved);
    windowState.gammaSaved =
        SDL_GetWindowGammaRamp(windowState.window, saved.red, saved.green, saved.blue) == 0;
}
