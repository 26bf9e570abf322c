// What the demo's sequences draw at a scene time t (milliseconds): which part is shown, and
// the brightness, alpha, angle and blur values of that moment. Plain arithmetic without GL,
// shared by the frame loops and their tests.
#pragma once

#include <cstdint>

// First scene: the 3D part up to and including 45000 ms, then the "presents" title; the
// scene ends after 50000 ms.
inline constexpr uint32_t kFirstSceneTitleMs = 45000;
inline constexpr uint32_t kFirstSceneEndMs = 50000;
// Second scene: the blurred logo up to and including 60000 ms, then the "powered by" title;
// it ends after 65000 ms. It starts 50 s into the music.
inline constexpr uint32_t kSecondSceneTitleMs = 60000;
inline constexpr uint32_t kSecondSceneEndMs = 65000;
inline constexpr uint32_t kSecondSceneMusicOffsetMs = 50000;
// End screen: the engine logo up to and including 8000 ms, then the coming-soon image; it
// ends at 20000 ms.
inline constexpr uint32_t kEndScreenSecondImageMs = 8000;
inline constexpr uint32_t kEndScreenEndMs = 20000;

// A title's brightness: rising over the second from `start`, full, and falling over the
// second after `fadeOutStart`.
float titleBrightness(uint32_t t, uint32_t start, uint32_t fadeOutStart);

// --- First scene ---------------------------------------------------------------------------
bool firstSceneDraws3D(uint32_t t);
// Alpha of the fade to texture 20 over the last second of the 3D part; false before it.
bool firstSceneFadeOut(uint32_t t, float& alpha);
float presentsBrightness(uint32_t t);
// The two flares' roll angles in degrees: one turn in 5 s, one each way.
float flareAngle(uint32_t t);
bool firstSceneContinues(bool running, bool skip, uint32_t t);

// --- Second scene --------------------------------------------------------------------------
bool secondSceneDraws3D(uint32_t t);
// Grey of logo A: 1 until 40 s, then darker by 0.1 per second, black after 50 s.
float logoABrightness(uint32_t t);
// Alpha of logo B: 0.7 until 43 s, fading out over 3 s.
float logoBAlpha(uint32_t t);
// Intensity of the blur passes: from 0.5 at 0 to 0.6 at 45 s, then 0.6.
float blurIntensity(uint32_t t);
// Fade in from texture 20 over the first 3 s, and out to it over the last second of the 3D
// part; false where neither is drawn.
bool secondSceneFadeIn(uint32_t t, float& alpha);
bool secondSceneFadeOut(uint32_t t, float& alpha);
float poweredByBrightness(uint32_t t);
bool secondSceneContinues(bool running, bool escape, uint32_t t);

// --- End screen ----------------------------------------------------------------------------
bool endScreenShowsLogo(uint32_t t);
float engineLogoBrightness(uint32_t t);
float comingSoonBrightness(uint32_t t);
bool endScreenContinues(bool running, bool escape, uint32_t t);

// The scene time after a pause: the music stream's position less the scene's offset into the
// music, and 0 where the stream is not that far yet.
uint32_t resynchronisedSceneTime(int streamMs, uint32_t offsetMs);
