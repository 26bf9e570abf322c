#include "effects/particles.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "effects/random.h"
#include "platform/events.h"
#include "platform/system/failure.h"
#include "platform/system/memory.h"
#include "render/debug_display.h"
#include "render/lit_squares.h"
#include "render/render_state.h"
#include "render/statistics.h"
#include "resources/textures.h"

ParticleState particleState;

namespace {

constexpr float kPi = 3.14159265358979f;
constexpr double kBirthAngleStep = 0.06283185; // 2 pi / 100

uint32_t registryBytes(int32_t count) {
    return static_cast<uint32_t>(count) * static_cast<uint32_t>(sizeof(ParticleSystem*));
}

uint32_t poolBytes(int32_t count) {
    return count > 0 ? static_cast<uint32_t>(count) * static_cast<uint32_t>(sizeof(Particle)) : 0;
}

void freePool(ParticleSystem& system) {
    if (!system.particlesAllocated) return;
    accountedFree(system.particles, poolBytes(system.poolCount));
    system.particlesAllocated = false;
    system.poolCount = 0;
}

// Texture index of a new particle: the only texture, a random one, or the next in turn.
int32_t chooseTexture(ParticleSystem& system) {
    if (system.textureCount < 2) return 0;
    if (system.randomTexture)
        return static_cast<int32_t>(random(static_cast<uint32_t>(system.textureCount)));
    if (system.nextTexture >= system.textureCount) system.nextTexture = 0;
    return system.nextTexture++;
}

// Age as a fraction of the lifetime. A particle born with a lifetime of 0 counts as at the
// end of its life for the one frame it is drawn.
float lifeFraction(const Particle& particle) {
    if (particle.lifetime <= 0) return 1.0f;
    return static_cast<float>(particle.age) / static_cast<float>(particle.lifetime);
}

float drawnHalfSize(const ParticleSystem& system, float t, float growthDelta) {
    if (!system.sizeChanges) return system.size;
    if (system.grow) return system.size + t * growthDelta;
    return (1.0f - t) * system.size;
}

float fadeFactor(const ParticleSystem& system, float t) {
    if (!system.fade) return 1.0f;
    if (system.sineFade) return std::sin(kPi * t);
    return 1.0f - t;
}

void drawOutline(const Vec3 corners[4]) {
    glBegin(GL_LINE_LOOP);
    for (int32_t i = 0; i < 4; ++i) glVertex3f(corners[i].x, corners[i].y, corners[i].z);
    glEnd();
}

// Corners run top-left, top-right, bottom-right, bottom-left. The part of the texture on the
// same part of the square, as the two triangles of the strip top-left, bottom-left, top-right,
// bottom-right, inside a glBegin(GL_TRIANGLES) of the caller's.
void sendTexturedSquare(const Vec3 corners[4], const TexturePart& part) {
    struct Corner {
        int32_t index;
        bool right, bottom;
    };
    static constexpr Corner kTriangles[6] = {{0, false, false}, {3, false, true}, {1, true, false},
                                             {1, true, false},  {3, false, true}, {2, true, true}};
    Vec3 drawn[4];
    partCorners(corners, part, drawn);
    for (const Corner& c : kTriangles) {
        glTexCoord2f(c.right ? part.s1 : part.s0, c.bottom ? part.t1 : part.t0);
        const Vec3& p = drawn[c.index];
        glVertex3f(p.x, p.y, p.z);
    }
}

} // namespace

ParticleSystem* createParticleSystem(const std::string& id) {
    if (findParticleSystemIndex(id) >= 0)
        fatalError("INTERNAL ERROR",
                   "A particle system with the ID \"" + id + "\" already exists !");
    ParticleState& state = particleState;
    accountedAlloc(state.systems, registryBytes(state.count), registryBytes(state.count + 1));
    ParticleSystem* system = new ParticleSystem;
    system->id = id;
    state.systems[state.count++] = system;
    return system;
}

ParticleSystem* findParticleSystem(const std::string& id) {
    int32_t index = findParticleSystemIndex(id);
    return index >= 0 ? particleState.systems[index] : nullptr;
}

int32_t findParticleSystemIndex(const std::string& id) {
    for (int32_t i = 0; i < particleState.count; ++i)
        if (particleState.systems[i]->id == id) return i;
    return -1;
}

void deleteParticleSystem(const std::string& id) {
    int32_t index = findParticleSystemIndex(id);
    if (index < 0) return;
    ParticleState& state = particleState;
    ParticleSystem* system = state.systems[index];
    state.systems[index] = state.systems[state.count - 1];
    freePool(*system);
    system->id.clear();
    delete system;
    if (state.count == 1)
        accountedFree(state.systems, registryBytes(1));
    else
        accountedAlloc(state.systems, registryBytes(state.count), registryBytes(state.count - 1));
    --state.count;
}

void deleteAllParticleSystems() {
    while (particleState.count > 0)
        deleteParticleSystem(particleState.systems[particleState.count - 1]->id);
}

void addParticleTexture(ParticleSystem& system, const std::string& fileName,
                        const std::string& archiveName) {
    if (system.textureCount >= kMaxParticleTextures) {
        noticeBox("INTERNAL ERROR", "The texture array for this particle system is already full !");
        return;
    }
    int32_t index = loadTexture(fileName, archiveName);
    system.textures[system.textureCount++] = textureState.records[index];
}

void initParticles(ParticleSystem& system) {
    freePool(system);
    if (system.textureCount == 0)
        fatalError("INTERNAL ERROR", "You tried to initialize a particle system without a "
                                     "particle texture !\nPlease check your code...");
    int32_t count = system.particleCount > 0 ? system.particleCount : 0;
    system.particles = nullptr;
    accountedAlloc(system.particles, 0, poolBytes(count));
    if (count > 0) std::uninitialized_value_construct_n(system.particles, count);
    system.poolCount = count;
    system.emissionAccumulator = 0;
    system.particlesAllocated = true;
}

namespace {

// The particles with the system's blend factors, without depth writes.
void drawParticlesBlended(const ParticleSystem& system) {
    const LayerState before = renderState.layer;
    if (system.additiveBlending) {
        setBlendFunction(GL_SRC_ALPHA, GL_ONE);
    }
    setDepthWrites(false);
    drawParticles(system);
    setDepthWrites(true);
    if (system.additiveBlending) setBlendFunction(before.blendSource, before.blendDestination);
}

// A living particle moved and aged by ms; false when its life ends.
bool moveParticle(Particle& particle, float motionFactor, uint32_t ms) {
    Vec3 step = particle.velocity;
    step.scale(motionFactor);
    particle.position.add(step);
    particle.age += static_cast<int32_t>(ms);
    return particle.age < particle.lifetime;
}

} // namespace

void updateParticleSystem(ParticleSystem& system, uint32_t ms) {
    if (!system.particlesAllocated) return;
    // Every particle is drawn before it moves, and the ones reborn now are not drawn yet, so
    // drawing all first and then advancing all gives the same frame as one interleaved pass.
    drawParticlesBlended(system);
    animateParticles(system, ms);
}

void drawParticlesAhead(const ParticleSystem& system, uint32_t aheadMs) {
    if (!system.particlesAllocated) return;
    if (!system.animate || aheadMs == 0) {
        drawParticlesBlended(system);
        return;
    }
    std::vector<Particle> moved(system.particles, system.particles + system.poolCount);
    float motionFactor = static_cast<float>(aheadMs) / static_cast<float>(system.motionTimeUnit);
    for (Particle& particle : moved)
        if (particle.alive) particle.alive = moveParticle(particle, motionFactor, aheadMs);
    ParticleSystem ahead = system;
    ahead.particles = moved.data();
    drawParticlesBlended(ahead);
}

void animateParticles(ParticleSystem& system, uint32_t ms) {
    animateParticlesSeeded(system, ms, tickCount());
}

void resetParticles(ParticleSystem& system) {
    if (!system.particlesAllocated) return;
    std::fill_n(system.particles, system.poolCount, Particle{});
    system.emissionAccumulator = 0;
    system.nextTexture = 0;
}

void animateParticlesSeeded(ParticleSystem& system, uint32_t ms, uint32_t seed) {
    if (!system.particlesAllocated) return;
    float motionFactor = 0.0f;
    if (system.animate) {
        // The accumulator is deliberately not capped: time in which no particle was dead is
        // spent later as a burst. It wraps rather than overflows.
        system.emissionAccumulator =
            static_cast<int32_t>(static_cast<uint32_t>(system.emissionAccumulator) + ms);
        motionFactor = static_cast<float>(ms) / static_cast<float>(system.motionTimeUnit);
    }
    int32_t budget = system.emissionInterval != 0
                         ? system.emissionAccumulator / system.emissionInterval
                         : system.particleCount;
    seedRandom(seed);
    if (!system.animate) return;
    for (int32_t j = 0; j < system.poolCount; ++j) {
        Particle& particle = system.particles[j];
        if (particle.alive) {
            particle.alive = moveParticle(particle, motionFactor, ms);
        } else if (budget > 0) {
            respawnParticle(system, j);
            --budget;
            system.emissionAccumulator -= system.emissionInterval;
        }
    }
}

namespace {

// The squares of the living particles whose texture is `texture` (every one for -1), from
// the first in the pool to the last, in one batch per run of the same texture.
// A particle's corners at its age, and its faded colour made current.
void placeParticle(const ParticleSystem& system, const Particle& particle, float growthDelta,
                   Vec3 corners[4]) {
    float t = lifeFraction(particle);
    billboardCorners(particle.position, drawnHalfSize(system, t, growthDelta), corners);
    float f = fadeFactor(system, t);
    glColor4f(f * system.colour[0], f * system.colour[1], f * system.colour[2],
              f * system.colour[3]);
}

// Squares of one texture (all for -1). With `trimmed`, each draws only the part of its texture
// that can add to the picture at its size on screen.
void drawParticleSquares(const ParticleSystem& system, int32_t texture, float growthDelta,
                         const ViewMapping* trimmed) {
    int32_t batchTexture = -1;
    for (int32_t j = 0; j < system.poolCount; ++j) {
        const Particle& particle = system.particles[j];
        if (!particle.alive || (texture >= 0 && particle.textureIndex != texture)) continue;
        if (particle.textureIndex != batchTexture) {
            if (batchTexture >= 0) glEnd();
            batchTexture = particle.textureIndex;
            glBindTexture(GL_TEXTURE_2D, system.textures[batchTexture]->glName);
            glBegin(GL_TRIANGLES);
        }
        Vec3 corners[4];
        placeParticle(system, particle, growthDelta, corners);
        TexturePart part;
        if (trimmed != nullptr) {
            const TextureRecord& record = *system.textures[batchTexture];
            float texelsPerPixel =
                squareTexelsPerPixel(*trimmed, corners, record.width, record.height);
            part = litTexturePart(record, texelsPerPixel, renderState.layer.lodBias);
        }
        sendTexturedSquare(corners, part);
    }
    if (batchTexture >= 0) glEnd();
}

void drawParticleOutlines(const ParticleSystem& system, float growthDelta) {
    for (int32_t j = 0; j < system.poolCount; ++j) {
        const Particle& particle = system.particles[j];
        if (!particle.alive) continue;
        Vec3 corners[4];
        placeParticle(system, particle, growthDelta, corners);
        drawOutline(corners);
    }
}

} // namespace

void drawParticles(const ParticleSystem& system) {
    if (!system.particlesAllocated) return;
    FrameStatistics& frame = statisticsState.frame;
    frame.transparentTriangles += system.particleCount * 2;
    frame.totalTriangles += system.particleCount * 2;
    frame.particleSystems += 1;
    float growthDelta = system.grow ? system.growthFactor * system.size - system.size : 0.0f;
    if (debugDisplay.wireframe) {
        drawParticleOutlines(system, growthDelta);
        return;
    }
    selectTextureUnit(0);
    glEnable(GL_TEXTURE_2D);
    // Added up without depth writes, the squares give the same picture in any order, so they
    // go in one batch per texture; blended otherwise, they keep the pool's order.
    if (addedWithoutDepthWrites()) {
        ViewMapping mapping;
        bool trimmed = blackTexelsAddNothing();
        if (trimmed) mapping = keptViewMapping();
        for (int32_t texture = 0; texture < system.textureCount; ++texture)
            drawParticleSquares(system, texture, growthDelta, trimmed ? &mapping : nullptr);
    } else {
        drawParticleSquares(system, -1, growthDelta, nullptr);
    }
    glDisable(GL_TEXTURE_2D);
}

void respawnParticle(ParticleSystem& system, int32_t index) {
    if (!system.particlesAllocated || index < 0 || index >= system.poolCount) return;
    Particle& particle = system.particles[index];
    particle.velocity = system.startVelocity;
    particle.age = 0;
    particle.lifetime = system.randomLifetime
                            ? static_cast<int32_t>(random(static_cast<uint32_t>(system.lifetime)))
                            : system.lifetime;
    if (system.emitterRadius > 0.0f) {
        const float origin[3] = {system.emitterOrigin.x, system.emitterOrigin.y,
                                 system.emitterOrigin.z};
        const float extent[3] = {system.emitterExtent.x, system.emitterExtent.y,
                                 system.emitterExtent.z};
        float birth[3];
        for (uint32_t a = 0; a < 3; ++a) {
            double angle = static_cast<double>(random(100 + a)) * kBirthAngleStep;
            birth[a] =
                origin[a] + static_cast<float>(std::sin(angle)) * system.emitterRadius * extent[a];
        }
        particle.position.set(birth[0], birth[1], birth[2]);
    } else {
        particle.position = system.emitterOrigin;
    }
    particle.textureIndex = chooseTexture(system);
    particle.alive = true;
}
