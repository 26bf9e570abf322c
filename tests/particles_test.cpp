#include "effects/particles.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <vector>

#include "config/configuration.h"
#include "effects/random.h"
#include "fatal_pattern.h"
#include "platform/events.h"
#include "platform/system/memory.h"
#include "render/debug_display.h"
#include "render/render_state.h"
#include "render/statistics.h"
#include "resources/textures.h"
#include "support/test_support.h"

namespace {

std::string numberedName(int number) {
    std::string name = "T";
    name.append(std::to_string(number)).append(".PNG");
    return name;
}

uint32_t fixedTick() {
    return 4711;
}

int32_t aliveCount(const ParticleSystem& system) {
    int32_t alive = 0;
    for (int32_t i = 0; i < system.poolCount; ++i) alive += system.particles[i].alive ? 1 : 0;
    return alive;
}

// Each test starts with an empty registry and a fixed tick count, and must leave the registry
// empty and the accounted memory as it found it.
class ParticleTest : public testing::Test {
  protected:
    void SetUp() override {
        particleState = ParticleState{};
        randomState = RandomState{};
        eventState.tickSource = fixedTick;
        failureState.batch = true;
        startBytes = memoryState.accountedBytes;
    }
    void TearDown() override {
        deleteAllParticleSystems();
        eventState.tickSource = nullptr;
        EXPECT_EQ(particleState.count, 0);
        EXPECT_EQ(memoryState.accountedBytes, startBytes);
    }
    // A system with a pool of count particles whose textures are stand-in records (enough for
    // everything but drawing).
    ParticleSystem& cpuSystem(const std::string& id, int32_t count, int32_t textureCount = 1) {
        ParticleSystem& system = *createParticleSystem(id);
        for (int32_t i = 0; i < textureCount; ++i) system.textures[i] = &standIns[i];
        system.textureCount = textureCount;
        system.particleCount = count;
        initParticles(system);
        return system;
    }
    TextureRecord standIns[kMaxParticleTextures];
    uint32_t startBytes = 0;
};

using ParticleRegistry = ParticleTest;
using ParticleEmission = ParticleTest;
using ParticleRegistryDeathTest = ParticleTest;

TEST_F(ParticleRegistry, LooksUpIdsExactly) {
    ParticleSystem* stars = createParticleSystem("Stars");
    EXPECT_EQ(stars->id, "Stars");
    EXPECT_EQ(findParticleSystem("Stars"), stars);
    EXPECT_EQ(findParticleSystem("stars"), nullptr);
    EXPECT_EQ(findParticleSystem("Star"), nullptr);
    EXPECT_EQ(findParticleSystemIndex("Stars "), -1);
}

TEST_F(ParticleRegistry, DeletionMovesTheLastEntryIntoTheSlot) {
    ParticleSystem* a = createParticleSystem("A");
    ParticleSystem* b = createParticleSystem("B");
    ParticleSystem* c = createParticleSystem("C");
    ParticleSystem* d = createParticleSystem("D");
    EXPECT_EQ(findParticleSystemIndex("C"), 2);

    deleteParticleSystem("B");
    ASSERT_EQ(particleState.count, 3);
    EXPECT_EQ(particleState.systems[0], a);
    EXPECT_EQ(particleState.systems[1], d);
    EXPECT_EQ(particleState.systems[2], c);
    EXPECT_EQ(findParticleSystem("B"), nullptr);

    deleteParticleSystem("C"); // the last entry: nothing moves
    ASSERT_EQ(particleState.count, 2);
    EXPECT_EQ(particleState.systems[1], d);

    deleteParticleSystem("nobody");
    EXPECT_EQ(particleState.count, 2);
    EXPECT_EQ(findParticleSystem("A"), a);
    (void)b;
}

TEST_F(ParticleRegistry, ShutdownDeletesEverySystemAndItsPool) {
    cpuSystem("first", 300);
    cpuSystem("second", 10);
    createParticleSystem("without pool");
    EXPECT_GT(memoryState.accountedBytes, startBytes);
    deleteAllParticleSystems();
    EXPECT_EQ(particleState.count, 0);
    EXPECT_EQ(particleState.systems, nullptr);
}

TEST_F(ParticleRegistry, ReinitialisingReplacesThePool) {
    ParticleSystem& system = cpuSystem("stars", 20);
    system.emissionInterval = 0;
    animateParticles(system, 16);
    EXPECT_EQ(aliveCount(system), 20);
    system.particleCount = 50;
    initParticles(system);
    EXPECT_EQ(system.poolCount, 50);
    EXPECT_EQ(aliveCount(system), 0);
    EXPECT_EQ(system.emissionAccumulator, 0);
}

TEST_F(ParticleRegistryDeathTest, FatalMisuse) {
    createParticleSystem("Stars");
    EXPECT_EXIT(
        createParticleSystem("Stars"), testing::ExitedWithCode(1),
        fatalPattern("INTERNAL ERROR", "A particle system with the ID \"Stars\" already exists !"));
    ParticleSystem* bare = createParticleSystem("bare");
    bare->particleCount = 10;
    EXPECT_EXIT(initParticles(*bare), testing::ExitedWithCode(1),
                fatalPattern("INTERNAL ERROR", "You tried to initialize a particle system "
                                               "without a particle texture !\nPlease check "
                                               "your code..."));
}

TEST_F(ParticleEmission, IntervalZeroRebornsEveryDeadParticleInOneFrame) {
    ParticleSystem& system = cpuSystem("burst", 300);
    system.emissionInterval = 0;
    system.lifetime = 100;
    animateParticles(system, 16);
    EXPECT_EQ(aliveCount(system), 300);
    for (int32_t i = 0; i < 300; ++i) EXPECT_EQ(system.particles[i].age, 0);
    animateParticles(system, 100); // all reach their lifetime
    EXPECT_EQ(aliveCount(system), 0);
    animateParticles(system, 16);
    EXPECT_EQ(aliveCount(system), 300);
}

TEST_F(ParticleEmission, DefaultIntervalBirthsEverySixOrSevenFrames) {
    ParticleSystem& system = cpuSystem("stars", 300);
    std::vector<int> birthFrames;
    for (int frame = 1; frame <= 60; ++frame) {
        int32_t before = aliveCount(system);
        animateParticles(system, 16);
        int32_t born = aliveCount(system) - before;
        ASSERT_LE(born, 1);
        if (born == 1) birthFrames.push_back(frame);
    }
    ASSERT_EQ(birthFrames.size(), 9u); // 960 ms at one birth per 100 ms
    EXPECT_EQ(birthFrames[0], 7);
    for (size_t i = 1; i < birthFrames.size(); ++i) {
        int gap = birthFrames[i] - birthFrames[i - 1];
        EXPECT_TRUE(gap == 6 || gap == 7) << gap;
    }
    EXPECT_EQ(system.emissionAccumulator, 960 - 900);
}

TEST_F(ParticleEmission, AccumulatedTimeMustReachTheIntervalExactly) {
    ParticleSystem& system = cpuSystem("stars", 5);
    animateParticles(system, 99);
    EXPECT_EQ(aliveCount(system), 0);
    animateParticles(system, 1);
    EXPECT_EQ(aliveCount(system), 1);
    EXPECT_EQ(system.emissionAccumulator, 0);
    animateParticles(system, 250); // two births, 50 ms left over
    EXPECT_EQ(aliveCount(system), 3);
    EXPECT_EQ(system.emissionAccumulator, 50);
}

// While no particle is dead the time piles up and is spent later in one burst.
TEST_F(ParticleEmission, UncappedAccumulatorSpendsSavedTimeAsABurst) {
    ParticleSystem& system = cpuSystem("stars", 4);
    system.lifetime = 1000000;
    animateParticles(system, 400);
    EXPECT_EQ(aliveCount(system), 4);
    EXPECT_EQ(system.emissionAccumulator, 0);
    for (int frame = 0; frame < 100; ++frame) animateParticles(system, 20);
    EXPECT_EQ(system.emissionAccumulator, 2000);
    for (int32_t i = 0; i < 4; ++i) system.particles[i].alive = false;
    animateParticles(system, 20);
    EXPECT_EQ(aliveCount(system), 4);
    EXPECT_EQ(system.emissionAccumulator, 2020 - 400);
}

TEST_F(ParticleEmission, StoppedSystemNeitherMovesAgesNorEmits) {
    ParticleSystem& system = cpuSystem("stars", 3);
    system.startVelocity.set(1.0f, 2.0f, 3.0f);
    animateParticles(system, 100);
    ASSERT_EQ(aliveCount(system), 1);
    system.animate = false;
    for (int frame = 0; frame < 10; ++frame) animateParticles(system, 500);
    EXPECT_EQ(aliveCount(system), 1);
    EXPECT_EQ(system.emissionAccumulator, 0);
    EXPECT_EQ(system.particles[0].age, 0);
    EXPECT_EQ(system.particles[0].position.x, 0.0f);
}

TEST_F(ParticleEmission, ParticlesMoveByMotionUnitsAndDieAtTheirLifetime) {
    ParticleSystem& system = cpuSystem("stars", 1);
    system.startVelocity.set(2.0f, 0.0f, -4.0f);
    system.emitterOrigin.set(1.0f, 1.0f, 1.0f);
    system.lifetime = 1000;
    animateParticles(system, 100); // born, not moved
    const Particle& particle = system.particles[0];
    EXPECT_EQ(particle.position.x, 1.0f);
    animateParticles(system, 500); // a quarter of the 2000 ms motion unit
    EXPECT_FLOAT_EQ(particle.position.x, 1.5f);
    EXPECT_FLOAT_EQ(particle.position.z, 0.0f);
    EXPECT_EQ(particle.age, 500);
    EXPECT_TRUE(particle.alive);
    animateParticles(system, 499);
    EXPECT_TRUE(particle.alive);
    animateParticles(system, 1);
    EXPECT_FALSE(particle.alive);
}

TEST_F(ParticleEmission, TextureChoice) {
    ParticleSystem& single = cpuSystem("single", 20);
    single.emissionInterval = 0;
    animateParticles(single, 16);
    for (int32_t i = 0; i < 20; ++i) EXPECT_EQ(single.particles[i].textureIndex, 0);

    ParticleSystem& inTurn = cpuSystem("in turn", 7, 3);
    inTurn.randomTexture = false;
    inTurn.emissionInterval = 0;
    animateParticles(inTurn, 16);
    for (int32_t i = 0; i < 7; ++i) EXPECT_EQ(inTurn.particles[i].textureIndex, i % 3);

    ParticleSystem& mixed = cpuSystem("random", 200, 3);
    mixed.emissionInterval = 0;
    animateParticles(mixed, 16);
    std::set<int32_t> used;
    for (int32_t i = 0; i < 200; ++i) used.insert(mixed.particles[i].textureIndex);
    EXPECT_EQ(used, (std::set<int32_t>{0, 1, 2}));
}

TEST_F(ParticleEmission, BirthPoints) {
    ParticleSystem& point = cpuSystem("point", 50);
    point.emissionInterval = 0;
    point.emitterOrigin.set(3.0f, -2.0f, 7.5f);
    point.emitterExtent.set(1.0f, 1.0f, 1.0f); // no effect while the radius is 0
    animateParticles(point, 16);
    for (int32_t i = 0; i < 50; ++i) {
        EXPECT_EQ(point.particles[i].position.x, 3.0f);
        EXPECT_EQ(point.particles[i].position.y, -2.0f);
        EXPECT_EQ(point.particles[i].position.z, 7.5f);
    }

    ParticleSystem& box = cpuSystem("box", 500);
    box.emissionInterval = 0;
    box.emitterOrigin.set(10.0f, 0.0f, -10.0f);
    box.emitterExtent.set(1.0f, 0.5f, 0.0f);
    box.emitterRadius = 2.0f;
    animateParticles(box, 16);
    std::set<float> xs;
    for (int32_t i = 0; i < 500; ++i) {
        const Vec3& p = box.particles[i].position;
        EXPECT_LE(std::fabs(p.x - 10.0f), 2.0f + 1e-5f);
        EXPECT_LE(std::fabs(p.y), 1.0f + 1e-5f);
        EXPECT_EQ(p.z, -10.0f);
        xs.insert(p.x);
    }
    // Angles come in steps of a hundredth of a turn: at most 100 different offsets.
    EXPECT_GT(xs.size(), 20u);
    EXPECT_LE(xs.size(), 100u);
}

uint32_t chosenTick = 0;
uint32_t readChosenTick() {
    return chosenTick;
}

// The generator is seeded with the tick count each frame: equal ticks give equal births,
// another tick other births. The tick is the test's own, so it cannot move between frames.
TEST_F(ParticleEmission, EachFrameSeedsWithTheTickCount) {
    eventState.tickSource = readChosenTick;
    const uint32_t ticks[] = {4711, 4712, 4711};
    std::vector<ParticleSystem*> systems;
    for (uint32_t tick : ticks) {
        ParticleSystem& system = cpuSystem("system " + std::to_string(systems.size()), 30, 5);
        system.emissionInterval = 0;
        system.emitterRadius = 1.0f;
        system.emitterExtent.set(1.0f, 1.0f, 1.0f);
        system.randomLifetime = true;
        chosenTick = tick;
        animateParticles(system, 16);
        systems.push_back(&system);
    }
    const ParticleSystem &first = *systems[0], &other = *systems[1], &again = *systems[2];
    int32_t differing = 0;
    for (int32_t i = 0; i < 30; ++i) {
        EXPECT_EQ(first.particles[i].position.x, again.particles[i].position.x);
        EXPECT_EQ(first.particles[i].lifetime, again.particles[i].lifetime);
        EXPECT_EQ(first.particles[i].textureIndex, again.particles[i].textureIndex);
        differing += first.particles[i].position.x != other.particles[i].position.x;
    }
    EXPECT_GT(differing, 20);
}

// A random lifetime below 1 ms gives particles that live one frame; a system lifetime of 0
// must not divide by zero.
TEST_F(ParticleEmission, RandomLifetimeOfZero) {
    ParticleSystem& system = cpuSystem("flash", 10);
    system.emissionInterval = 0;
    system.randomLifetime = true;
    system.lifetime = 0;
    animateParticles(system, 16);
    EXPECT_EQ(aliveCount(system), 10);
    EXPECT_EQ(system.particles[0].lifetime, 0);
    animateParticles(system, 16);
    EXPECT_EQ(aliveCount(system), 0);
}

// Drawing on a real context: a 64 x 64 window, x and y from -1 to 1, the camera's right and
// up along x and y.
class ParticleDrawing : public ParticleTest {
  protected:
    void SetUp() override {
        if (!window.ok) GTEST_SKIP() << "no display";
        ParticleTest::SetUp();
        textureState = TextureState{};
        configState = ConfigState{};
        debugDisplay = DebugDisplayState{};
        statisticsState.frame = FrameStatistics{};
        fillTextureUnitTable();
        renderState.activeUnit = 3;
        const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
        std::copy(identity, identity + 16, renderState.modelviewTransposed);
        const uint8_t white[4] = {255, 255, 255, 255};
        createTexture("white.png", 1, 1, white);
        glViewport(0, 0, 64, 64);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-1, 1, -1, 1, -10, 10);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_DEPTH_TEST);
        setBlending(true);
        setBlendFunction(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        clear(0.0f);
    }
    void TearDown() override {
        if (!window.ok) return;
        deleteAllParticleSystems();
        deleteAllTextures();
        ParticleTest::TearDown();
    }
    void clear(float red) {
        glClearColor(red, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    // One particle of the given half-size at the centre, no fade, no size change.
    ParticleSystem& centreSystem(float size) {
        ParticleSystem& system = *createParticleSystem("centre");
        addParticleTexture(system, "WHITE.PNG", "");
        system.particleCount = 1;
        system.size = size;
        system.fade = false;
        system.sizeChanges = false;
        initParticles(system);
        return system;
    }
    std::vector<uint8_t> pixel(int x, int y) {
        std::vector<uint8_t> rgba(4);
        glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
        return rgba;
    }
    HiddenGLWindow window{64, 64};
};

TEST_F(ParticleDrawing, SeventeenthTextureIsRefusedWithANotice) {
    ParticleSystem& system = *createParticleSystem("many");
    const uint8_t grey[4] = {128, 128, 128, 255};
    for (int i = 0; i < 17; ++i) createTexture(numberedName(i), 1, 1, grey);
    for (int i = 0; i < 16; ++i) addParticleTexture(system, numberedName(i), "");
    EXPECT_EQ(system.textureCount, 16);
    BoxRecorder recorder;
    addParticleTexture(system, "t16.png", ""); // found, but there is no room
    ASSERT_EQ(recorder.boxes.size(), 1u);
    EXPECT_EQ(recorder.boxes[0].kind, BoxKind::Notice);
    EXPECT_EQ(recorder.boxes[0].caption, "INTERNAL ERROR");
    EXPECT_EQ(recorder.boxes[0].text,
              "The texture array for this particle system is already full !");
    EXPECT_EQ(system.textureCount, 16);
    EXPECT_EQ(system.textures[15], textureState.records[findTexture("T15.PNG")]);
}

TEST_F(ParticleDrawing, EveryParticleOfThePoolCountsTwoTriangles) {
    ParticleSystem& system = *createParticleSystem("stars");
    addParticleTexture(system, "white.png", "");
    system.particleCount = 300;
    initParticles(system);
    updateParticleSystem(system, 16); // none alive yet
    EXPECT_EQ(statisticsState.frame.transparentTriangles, 600);
    EXPECT_EQ(statisticsState.frame.totalTriangles, 600);
    EXPECT_EQ(statisticsState.frame.particleSystems, 1);
    system.emissionInterval = 0;
    updateParticleSystem(system, 16);
    updateParticleSystem(system, 16); // all alive and drawn
    EXPECT_EQ(statisticsState.frame.transparentTriangles, 1800);
    EXPECT_EQ(statisticsState.frame.totalTriangles, 1800);
    EXPECT_EQ(statisticsState.frame.particleSystems, 3);
    EXPECT_EQ(renderState.activeUnit, 0u);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(ParticleDrawing, WithoutAPoolNothingIsDrawnOrCounted) {
    ParticleSystem& system = *createParticleSystem("empty");
    system.particleCount = 10;
    updateParticleSystem(system, 16);
    EXPECT_EQ(statisticsState.frame.particleSystems, 0);
    EXPECT_EQ(statisticsState.frame.totalTriangles, 0);
}

TEST_F(ParticleDrawing, DrawsAdditivelyAndRestoresBlendAndDepthMask) {
    ParticleSystem& system = centreSystem(0.5f);
    system.colour[0] = 0.0f;
    system.colour[1] = 0.5f;
    system.colour[2] = 0.0f;
    clear(0.5f);
    updateParticleSystem(system, 100); // born now, first drawn in the next frame
    EXPECT_EQ(pixel(32, 32)[1], 0);
    updateParticleSystem(system, 16);
    std::vector<uint8_t> centre = pixel(32, 32);
    EXPECT_NEAR(centre[0], 128, 2); // the background stays: added, not blended over
    EXPECT_NEAR(centre[1], 128, 2);
    EXPECT_EQ(pixel(5, 32)[1], 0); // outside the square of half-size 0.5
    GLint source = 0, destination = 0;
    glGetIntegerv(GL_BLEND_SRC, &source);
    glGetIntegerv(GL_BLEND_DST, &destination);
    EXPECT_EQ(source, GL_SRC_ALPHA);
    EXPECT_EQ(destination, GL_ONE_MINUS_SRC_ALPHA);
    GLboolean depthMask = GL_FALSE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depthMask);
    EXPECT_EQ(depthMask, GL_TRUE);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
}

// Two squares over each other at the centre: the pool's first with a green texture, its second
// with a red one (texture numbers in the other order), each at alpha 0.5.
ParticleSystem& twoOverlappingSquares() {
    const uint8_t red[4] = {255, 0, 0, 255}, green[4] = {0, 255, 0, 255};
    createTexture("red.png", 1, 1, red);
    createTexture("green.png", 1, 1, green);
    ParticleSystem& system = *createParticleSystem("two");
    addParticleTexture(system, "RED.PNG", "");
    addParticleTexture(system, "GREEN.PNG", "");
    system.particleCount = 2;
    system.size = 0.5f;
    system.fade = false;
    system.sizeChanges = false;
    system.colour[3] = 0.5f;
    initParticles(system);
    for (int32_t i = 0; i < 2; ++i) {
        Particle& particle = system.particles[i];
        particle.alive = true;
        particle.lifetime = 1000;
        particle.textureIndex = 1 - i;
    }
    return system;
}

TEST_F(ParticleDrawing, BlendedOverEachOtherTheyKeepThePoolsOrderAddedUpTheyMayNot) {
    struct Case {
        GLenum source, destination;
        bool depthWrites;
        int red, green;
    };
    // Over each other: the later (red) lies over the earlier; added: the sum in either order.
    for (Case c : {Case{GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, false, 128, 64},
                   Case{GL_SRC_ALPHA, GL_ONE, true, 128, 128},
                   Case{GL_SRC_ALPHA, GL_ONE, false, 128, 128}}) {
        ParticleSystem& system = twoOverlappingSquares();
        clear(0.0f);
        setBlendFunction(c.source, c.destination);
        setDepthWrites(c.depthWrites);
        drawParticles(system);
        std::vector<uint8_t> centre = pixel(32, 32);
        EXPECT_NEAR(centre[0], c.red, 2) << c.destination;
        EXPECT_NEAR(centre[1], c.green, 2) << c.destination;
        setDepthWrites(true);
        deleteParticleSystem("two");
    }
}

TEST_F(ParticleDrawing, FadesAndShrinksWithAge) {
    ParticleSystem& system = centreSystem(0.5f);
    system.fade = true;
    system.sizeChanges = true;
    system.lifetime = 1000;
    updateParticleSystem(system, 100);
    updateParticleSystem(system, 500); // drawn at age 0, then aged to half its life
    clear(0.0f);
    system.animate = false;
    updateParticleSystem(system, 16);
    // Colour and alpha both fade to 1 - t = 0.5, and the alpha weighs the added colour.
    EXPECT_NEAR(pixel(32, 32)[1], 64, 2);
    EXPECT_EQ(pixel(32 + 12, 32)[1], 0); // half-size 0.25 now: 8 pixels
    EXPECT_NEAR(pixel(32 + 6, 32)[1], 64, 2);

    system.sineFade = true;
    system.grow = true;
    system.growthFactor = 3.0f; // 0.5 + 0.5 * (1.5 - 0.5) = 1: the whole window
    clear(0.0f);
    updateParticleSystem(system, 16);
    EXPECT_NEAR(pixel(32, 32)[1], 255, 2); // sin(pi / 2)
    EXPECT_NEAR(pixel(1, 1)[1], 255, 2);
}

TEST_F(ParticleDrawing, WireframeDrawsOnlyTheOutline) {
    ParticleSystem& system = centreSystem(0.45f);
    debugDisplay.wireframe = true;
    updateParticleSystem(system, 100);
    updateParticleSystem(system, 16);
    EXPECT_EQ(pixel(32, 32)[1], 0);
    // The left edge lies at x = -0.45, that is 17.6 pixels from the left.
    bool edgeLit = false;
    for (int x = 16; x <= 19; ++x) edgeLit = edgeLit || pixel(x, 32)[1] > 200;
    EXPECT_TRUE(edgeLit);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

} // namespace

// A replay from a reset pool with the same seeds and steps gives the same particles, whatever
// the pool held and whatever the tick count is: births, places, textures in turn and the
// time carried over all start again.
TEST_F(ParticleEmission, AResetPoolReplaysTheSameParticlesFromTheSameSeeds) {
    ParticleSystem& system = cpuSystem("stars", 40, 3);
    system.randomTexture = false;
    system.emitterRadius = 1.0f;
    system.emitterExtent = {1.0f, 1.0f, 1.0f};
    system.emissionInterval = 20;
    auto play = [&](uint32_t frames) {
        for (uint32_t k = 0; k < frames; ++k) animateParticlesSeeded(system, 40, 4357 + 40 * k);
    };
    play(30);
    std::vector<Particle> first(system.particles, system.particles + system.poolCount);
    const int32_t accumulated = system.emissionAccumulator;
    const int32_t cursor = system.nextTexture;
    animateParticles(system, 33); // more time, another seed: the pool moves on
    resetParticles(system);
    EXPECT_EQ(aliveCount(system), 0);
    EXPECT_EQ(system.emissionAccumulator, 0);
    EXPECT_EQ(system.nextTexture, 0);
    play(30);
    EXPECT_EQ(system.emissionAccumulator, accumulated);
    EXPECT_EQ(system.nextTexture, cursor);
    for (int32_t i = 0; i < system.poolCount; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(system.particles[i].alive, first[size_t(i)].alive);
        EXPECT_EQ(system.particles[i].textureIndex, first[size_t(i)].textureIndex);
        EXPECT_EQ(system.particles[i].age, first[size_t(i)].age);
        EXPECT_EQ(system.particles[i].position.x, first[size_t(i)].position.x);
        EXPECT_EQ(system.particles[i].position.z, first[size_t(i)].position.z);
    }
}
