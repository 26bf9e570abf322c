// Particle speed: the per-frame update of the first scene's star system (300 particles, six
// textures in turn, a randomised birth box, one birth per 20 ms) at 16 ms frames, without the
// drawing. Reported as time per frame.
#include <benchmark/benchmark.h>

#include "effects/particles.h"
#include "resources/texture_record.h"

static void starSystemUpdate(benchmark::State& state) {
    TextureRecord standIns[6];
    ParticleSystem& stars = *createParticleSystem("SternPS");
    for (int i = 0; i < 6; ++i) stars.textures[i] = &standIns[i];
    stars.textureCount = 6;
    stars.particleCount = 300;
    stars.randomTexture = false;
    stars.startVelocity.set(0.0f, -0.5f, 0.0f);
    stars.emitterExtent.set(1.0f, 0.0f, 1.0f);
    stars.emitterRadius = 1.0f;
    stars.size = 1.5f;
    stars.emissionInterval = 20;
    stars.lifetime = 5000;
    stars.motionTimeUnit = 100;
    initParticles(stars);
    // Past one lifetime, so the pool is in its steady state of births and deaths.
    for (int frame = 0; frame < 400; ++frame) animateParticles(stars, 16);
    for (auto _ : state) {
        animateParticles(stars, 16);
        benchmark::DoNotOptimize(stars.particles);
    }
    deleteAllParticleSystems();
}
BENCHMARK(starSystemUpdate)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
