#include "app/scene_timeline.h"

namespace {

// Milliseconds as a float, after the subtraction in unsigned arithmetic.
float msSince(uint32_t t, uint32_t from) {
    return static_cast<float>(t - from);
}

} // namespace

float titleBrightness(uint32_t t, uint32_t start, uint32_t fadeOutStart) {
    float b = 1.0f;
    if (t < start + 1000) b = msSince(t, start) * 0.001f;
    if (t > fadeOutStart) b = 1.0f - msSince(t, fadeOutStart) * 0.001f;
    return b;
}

bool firstSceneDraws3D(uint32_t t) {
    return t <= kFirstSceneTitleMs;
}

bool firstSceneFadeOut(uint32_t t, float& alpha) {
    if (t <= 44000) return false;
    alpha = msSince(t, 44000) * 0.001f;
    return true;
}

float presentsBrightness(uint32_t t) {
    return titleBrightness(t, kFirstSceneTitleMs, 49000);
}

float flareAngle(uint32_t t) {
    return static_cast<float>(t) * 0.0002f * 360.0f;
}

bool firstSceneContinues(bool running, bool skip, uint32_t t) {
    return running && !skip && t <= kFirstSceneEndMs;
}

bool secondSceneDraws3D(uint32_t t) {
    return t <= kSecondSceneTitleMs;
}

float logoABrightness(uint32_t t) {
    if (t <= 40000) return 1.0f;
    if (t > 50000) return 0.0f;
    return 1.0f - msSince(t, 40000) * 0.0001f;
}

float logoBAlpha(uint32_t t) {
    if (t <= 43000) return 0.7f;
    if (t >= 46000) return 0.0f;
    return 0.7f - msSince(t, 43000) * 0.00033333333f * 0.7f;
}

float blurIntensity(uint32_t t) {
    if (t <= 45000) return static_cast<float>(t) * 0.0000222222f * 0.1f + 0.5f;
    return 0.6f;
}

bool secondSceneFadeIn(uint32_t t, float& alpha) {
    if (t >= 3000) return false;
    alpha = 1.0f - static_cast<float>(t) * 0.00033333333f;
    return true;
}

bool secondSceneFadeOut(uint32_t t, float& alpha) {
    if (t <= 59000) return false;
    alpha = msSince(t, 59000) * 0.001f;
    return true;
}

float poweredByBrightness(uint32_t t) {
    return titleBrightness(t, kSecondSceneTitleMs, 64000);
}

bool secondSceneContinues(bool running, bool escape, uint32_t t) {
    return running && !escape && t <= kSecondSceneEndMs;
}

bool endScreenShowsLogo(uint32_t t) {
    return t <= kEndScreenSecondImageMs;
}

float engineLogoBrightness(uint32_t t) {
    float b = 1.0f;
    if (t < 2000) b = static_cast<float>(t) * 0.0005f;
    if (t > 7000) b = 1.0f - msSince(t, 7000) * 0.001f;
    return b;
}

float comingSoonBrightness(uint32_t t) {
    return titleBrightness(t, kEndScreenSecondImageMs, 19000);
}

bool endScreenContinues(bool running, bool escape, uint32_t t) {
    return running && !escape && t < kEndScreenEndMs;
}

uint32_t resynchronisedSceneTime(int streamMs, uint32_t offsetMs) {
    if (streamMs < 0 || static_cast<uint32_t>(streamMs) < offsetMs) return 0;
    return static_cast<uint32_t>(streamMs) - offsetMs;
}
