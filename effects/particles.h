// Particle systems: named pools of textured camera-facing squares, born at a point or in a
// randomised box, moving at a constant velocity, fading and growing or shrinking with age,
// drawn additively. The registry owns the systems from creation until they are deleted by
// name (the engine shutdown deletes them all, the most recent first).
#pragma once

#include <cstdint>
#include <string>

#include "platform/system/math.h"
#include "resources/texture_record.h"

inline constexpr int32_t kMaxParticleTextures = 16;

// One element of a pool; a zeroed particle is dead.
struct Particle {
    Vec3 position; // centre of the square
    Vec3 velocity; // units per motion time unit
    bool alive = false;
    int32_t textureIndex = 0; // into the system's textures
    int32_t age = 0;          // ms since birth
    int32_t lifetime = 0;     // ms; the particle dies when its age reaches it
};

// The owner sets the parameter fields directly between creation and initParticles.
struct ParticleSystem {
    TextureRecord* textures[kMaxParticleTextures] = {}; // records of the texture manager
    int32_t textureCount = 0;
    int32_t nextTexture = 0; // cursor of the sequential texture choice
    bool particlesAllocated = false;
    std::string id;                // registry key, compared exactly
    bool additiveBlending = true;  // GL_SRC_ALPHA, GL_ONE; the previous factors come back after
    bool animate = true;           // when false the particles are only drawn
    Particle* particles = nullptr; // accounted pool of particleCount particles
    int32_t particleCount = 0;
    bool randomTexture = true; // else the textures are used in turn
    bool fade = true;          // colour and alpha fade with age
    bool sineFade = false;     // fade factor sin(pi t) instead of 1 - t
    bool sizeChanges = true;
    bool grow = false; // grow from size to growthFactor * size; else shrink to 0
    float growthFactor = 10.0f;
    float colour[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    Vec3 startVelocity;
    Vec3 emitterOrigin;
    Vec3 emitterExtent;              // per-axis scale of the random birth offset
    float emitterRadius = 0.0f;      // > 0: the birth point is randomised
    float size = 0.5f;               // half the edge of the square
    bool randomLifetime = false;     // a lifetime in [0, lifetime)
    int32_t emissionAccumulator = 0; // ms not yet spent on emission; never capped
    int32_t emissionInterval = 100;  // ms per birth; 0: every dead particle at once
    int32_t lifetime = 5000;         // ms
    int32_t motionTimeUnit = 2000;   // ms the velocity is given per
    int32_t poolCount = 0; // particle count at the last initParticles: the pool's real size
};

struct ParticleState {
    ParticleSystem** systems = nullptr; // accounted array, in creation order until a deletion
    int32_t count = 0;
};
extern ParticleState particleState;

// A new system with the defaults, appended to the registry. An ID in use is fatal.
ParticleSystem* createParticleSystem(const std::string& id);
ParticleSystem* findParticleSystem(const std::string& id);
// Registry index, or -1.
int32_t findParticleSystemIndex(const std::string& id);
// Destroys the system if there is one; the last registry entry moves into its slot.
void deleteParticleSystem(const std::string& id);
// Engine shutdown: every system by name, the last registry entry first, until none is left.
void deleteAllParticleSystems();

// Loads (or finds) the texture and appends it; a 17th texture is refused with a notice.
void addParticleTexture(ParticleSystem& system, const std::string& fileName,
                        const std::string& archiveName);
// (Re)allocates the pool, every particle dead. Fatal when the system has no texture.
void initParticles(ParticleSystem& system);

// Once per frame, with blending enabled and the camera applied: draws the living particles,
// then moves, ages and emits them (a reborn particle first shows in the next frame).
void updateParticleSystem(ParticleSystem& system, uint32_t ms);
// The drawing of the update without the update: the living particles as they will be aheadMs
// later (moved and aged; those whose life ends by then are left out), the system unchanged.
// Motion blur's sub-frames draw the particles so between two updates.
void drawParticlesAhead(const ParticleSystem& system, uint32_t aheadMs);
// The update without drawing: time, motion, ageing and emission, with the random source
// seeded from the tick count, or from `seed`.
void animateParticles(ParticleSystem& system, uint32_t ms);
void animateParticlesSeeded(ParticleSystem& system, uint32_t ms, uint32_t seed);
// The pool as initParticles leaves it, in place: every particle dead, nothing accumulated, the
// texture cursor at the first texture.
void resetParticles(ParticleSystem& system);
// The drawing of the update: the living particles and the frame statistics. Blend factors and
// depth mask are the caller's.
void drawParticles(const ParticleSystem& system);
// Gives birth to particle index.
void respawnParticle(ParticleSystem& system, int32_t index);
