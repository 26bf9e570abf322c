// What the demo sequence shares between its phases: the assets the loading phase keeps for the
// scenes, the four render targets, and the scenes' own flags. One instance, demoState.
#pragma once

#include <cstdint>

#include "render/render_targets.h"
#include "sound/fsound.h"

// The side of the scenes' square render targets at full resolution; under the frame-time
// governor they follow the scale.
inline constexpr int32_t kSceneTargetSide = 512;

struct ParticleSystem;
struct TextureRecord;

// The star particle system's ID in the particle registry.
inline constexpr const char* kStarSystemId = "SternPS";

// GL names of the 2D and effect textures the loading phase loads.
struct DemoTextures {
    uint32_t gammaLine = 0;                     // "GammaLine.png"
    uint32_t gammaSlider = 0;                   // "GammaSlider.png"
    uint32_t cursor = 0;                        // "Cursor.jpg", colour-keyed
    uint32_t presents = 0;                      // "Presents.png"
    uint32_t poweredBy = 0;                     // "PoweredBy.png"
    uint32_t engineLogo = 0;                    // "ZORXOpenGL.jpg"
    uint32_t comingSoon = 0;                    // "ComingSoon.png"
    uint32_t texture20 = 0;                     // "Textur20.png", the fade image
    uint32_t texture64 = 0;                     // "Textur64.jpg", the sphere map
    uint32_t flare = 0;                         // "Flare10.png"
    const TextureRecord* flareTexels = nullptr; // its size and where its texels are lit
};

struct DemoState {
    DemoTextures textures;
    // "MusicIntro.ogg". Null when the sound system was not started (an audio quality outside
    // 0..2): the demo then plays silently and the scenes keep the demo clock alone, as with
    // the "NoSound" output.
    FSOUND_STREAM* musicStream = nullptr;
    void* musicImage = nullptr; // accounted
    uint32_t musicImageLength = 0;
    FSOUND_SAMPLE* endSample = nullptr; // "Sound09.mp3"
    void* sampleImage = nullptr;        // accounted
    uint32_t sampleImageLength = 0;
    ParticleSystem* starSystem = nullptr; // "SternPS"
    // Targets 1 to 4 of the scenes are targets[0] to targets[3].
    PixelBufferTarget targets[4] = {{kSceneTargetSide, kSceneTargetSide},
                                    {kSceneTargetSide, kSceneTargetSide},
                                    {kSceneTargetSide, kSceneTargetSide},
                                    {kSceneTargetSide, kSceneTargetSide}};
    bool skip = false;        // Escape in the first scene skips the second
    int32_t musicChannel = 0; // from FSOUND_Stream_Play
};
extern DemoState demoState;
