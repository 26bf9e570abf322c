#include "app/scenes.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <chrono>
#include <cmath>

#include "app/demo_state.h"
#include "app/frame_governor.h"
#include "app/motion_blur.h"
#include "app/player.h"
#include "app/replay.h"
#include "app/scene_timeline.h"
#include "app/timeline.h"
#include "effects/debug_draw.h"
#include "effects/engine.h"
#include "effects/particles.h"
#include "effects/renderer.h"
#include "effects/screen_bounds.h"
#include "platform/events.h"
#include "platform/gl/offscreen_frame.h"
#include "platform/system/stop_signals.h"
#include "platform/window.h"
#include "render/font2d.h"
#include "render/half_layer.h"
#include "render/lit_squares.h"
#include "render/render_state.h"
#include "render/render_targets.h"
#include "render/statistics.h"
#include "render/texture_modes.h"
#include "render/target_passes.h"
#include "render/view_stack.h"
#include "resources/textures.h"
#include "scene/objects.h"
#include "scene/scene_graph.h"
#include "sound/sound_startup.h"

namespace {

constexpr GLbitfield kColourAndDepth = GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT;

using Clock = std::chrono::steady_clock;

// The 3D part of a frame under the frame-time governor: drawn at the governed scale into an
// off-screen frame of its own, then scaled into the frame the demo draws.
struct ScaledSceneState {
    OffscreenFrame frame;
    HalfLayer softLight;  // the added layers of soft light, at half the scaled frame's sides
    bool drawing = false; // the 3D part of this frame goes into `frame`, pushed as a view
    Clock::time_point frameStart;
};
ScaledSceneState scaledScene;

// The render targets at the scale's share of their full side.
void scaleTargets(float scale) {
    int32_t side = std::max(1, int32_t(std::lround(float(kSceneTargetSide) * scale)));
    for (PixelBufferTarget& target : demoState.targets) resizeTarget(target, side, side);
}

// Below scale 1: the 3D part is drawn into a frame of the scaled size, pushed as the view
// until scaledSceneEnds with the LOD bias of its scale, and the render targets shrink with it.
void scaledSceneStarts() {
    ScaledSceneState& state = scaledScene;
    state.frameStart = Clock::now();
    float scale = frameScale();
    scaleTargets(scale);
    setOneLevelMinification(cutsAtScale(scale).oneMipLevel);
    if (scale >= 1.0f) return;
    // Of the window's frame, the view drawn into when a frame starts.
    int width = std::max(1, int(std::lround(float(currentViewWidth()) * scale)));
    int height = std::max(1, int(std::lround(float(currentViewHeight()) * scale)));
    if (!sizeTexturedFrame(state.frame, width, height, renderTargets.settings.depthBufferBits))
        return;
    state.drawing = true;
    pushView(frameView(state.frame, std::log2(scale)));
    clearFrame(kColourAndDepth);
}

// The scaled 3D part, smoothed, over the whole frame; the frame's own size again. The frame's
// time so far steers the next frame's scale.
void scaledSceneEnds(int32_t scene) {
    ScaledSceneState& state = scaledScene;
    if (state.drawing) {
        state.drawing = false;
        // Drawn as a bilinear full-view quad, which a software renderer draws at the cost of
        // its pixels (a filtered blit costs it four times that). The frame below is read
        // from too: screenshots, recordings.
        popView();
        glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
        setBlending(false);
        drawFrameOverView(state.frame);
    }
    if (!governorActive()) return;
    // The time of the drawing, not of queueing it, steers the scale.
    if (frameGovernor.mode == GovernorMode::Governed) glFinish();
    float ms = std::chrono::duration<float, std::milli>(Clock::now() - state.frameStart).count();
    governFrame(frameGovernor, ms, scene);
}

// What a texture LOD bias adds in the 3D part: a frame or target of half the side reads the
// levels of the full-size picture one level lower.
float scaledLodBias() {
    return scaledScene.drawing ? std::log2(frameScale()) : 0.0f;
}

// The lights, glows and fades over the scene graph read the levels they read at full size
// through biases of their own: the scaled view's bias ends with the scene graph.
void sceneGraphDrawn() {
    setViewLodBias(0.0f);
}

// Below scale 1 the added layers of soft light (the glow's quad, the stars, the flares) are
// drawn at half the scaled frame's sides and added over it; at scale 1 they are drawn whole.
// The LOD bias a full-view quad in the layer needs to read the levels it reads in the frame.
float beginSoftLight() {
    if (!scaledScene.drawing) return 0.0f;
    bool began = beginHalfLayer(scaledScene.softLight, renderTargets.settings.depthBufferBits);
    return began ? -1.0f : 0.0f;
}

void endSoftLight() {
    endHalfLayer(scaledScene.softLight);
}

void releaseScaledScene() {
    releaseHalfLayer(scaledScene.softLight);
    scaleTargets(1.0f);
    setOneLevelMinification(false);
    deleteOffscreenFrame(scaledScene.frame);
    scaledScene = ScaledSceneState{};
}
constexpr float kGlowTint[3] = {0.6f, 0.6f, 1.0f};

PixelBufferTarget& target(int number) {
    return demoState.targets[number - 1];
}

uint32_t sceneTime() {
    return eventState.clock.elapsed;
}

// The start of every scene frame: counters, frame delta for custom drawing, a clear frame.
void beginSceneFrame() {
    resetFrameCounters();
    rendererState.frameElapsedMs = eventState.clock.frameDelta;
    clearFrame(kColourAndDepth);
}

// Animates a camera object to the scene time and makes it the view.
void cameraStep(SceneObject* camera, uint32_t t) {
    if (camera != nullptr) {
        camera->tracks.time = static_cast<int32_t>(t);
        camera->targetTracks.time = static_cast<int32_t>(t);
        updateSubtree(camera->treeNode);
    }
    setPerspectiveView(currentViewWidth(), currentViewHeight());
    cameraFromObject(camera);
    applyCamera(true);
}

// A texture over the whole view, blended over the picture with alpha a.
void fadeWithTexture20(float alpha) {
    setBlending(true);
    glColor4f(1.0f, 1.0f, 1.0f, alpha);
    setBlendFunction(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    drawTextureQuad(demoState.textures.texture20, -1.0f, 1.0f, 2.0f, 2.0f);
    setBlending(false);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
}

// A title image in the middle of the screen at brightness b.
void drawTitle(GLuint texture, float brightness) {
    float aspect = renderState.aspect;
    glColor4f(brightness, brightness, brightness, 1.0f);
    drawTextureQuad(texture, -0.6f / aspect, 0.15f, 1.2f / aspect, 0.3f);
}

// The end of every scene frame; after a pause the scene time is taken from the music again.
// The player's bar is not part of the frame that screenshots and recordings take.
void sceneFrameTail(Sequence sequence, uint32_t t, uint32_t musicOffsetMs) {
    StatisticsInputs inputs = currentStatisticsInputs();
    if (governorActive()) inputs.frameScale = frameScale();
    drawStatisticsOverlay(inputs);
    timelineFrameDrawn(sequence, t);
    drawPlayerBar(sequence, t);
    swapMainWindow();
    countFrame(tickCount());
    pumpMessages();
    waitWhileInactive();
    playerFrameEnds(sequence, t);
    readDebugKeys();
    // Without music the demo clock, which stood still in the background, goes on alone.
    if (eventState.resumed && demoState.musicStream != nullptr)
        resetClock(
            resynchronisedSceneTime(FSOUND_Stream_GetTime(demoState.musicStream), musicOffsetMs));
    eventState.resumed = false;
}

// A sequence goes on while the window is there, no stop signal came, the run has not reached
// its end and the player has not jumped into another sequence; a stop ends it as Escape would.
bool sequenceGoesOn() {
    return eventState.running && !stopRequested() && !timelineEnded() && !jumpWaiting();
}

// A sequence does not start once the window is gone (its first frame would draw without a
// context) or the run was stopped, nor while the player jumps to another one.
bool sequenceMayStart(Sequence sequence) {
    return eventState.running && !stopRequested() && !timelineEnded() &&
           !sequenceSkippedBySeek(sequence);
}

bool escapeDown() {
    return eventState.keys[kKeyEscape] != 0;
}

// Starts the music at `musicMs`, as the first scene does at its start (when there is music);
// music still playing from a later point is taken back.
void startMusic(uint32_t musicMs) {
    FSOUND_STREAM* stream = demoState.musicStream;
    if (stream == nullptr) return;
    demoState.musicChannel = playMusicStream(stream, demoState.musicChannel);
    if (musicMs > 0 || FSOUND_Stream_GetTime(stream) != 0)
        FSOUND_Stream_SetTime(stream, static_cast<int>(musicMs));
}

// --- First scene ---------------------------------------------------------------------------

struct FirstScene {
    SceneObject* logo = nullptr;
    SceneObject* head = nullptr;
    SceneObject* logoLight = nullptr;
    SceneObject* camera = nullptr;
    SceneNode* hall = nullptr;
    SceneNode* logoBranch = nullptr;
};

// Unit 1 of the first face group of level 0: the sphere map of texture 64, added to the
// lit colour.
void addSphereMap(SceneObject* object) {
    if (object == nullptr) return;
    MeshLod& lod = object->lods[0];
    if (lod.faceGroupCount > 0 && lod.faceGroups[0] != nullptr) {
        FaceGroup& group = *lod.faceGroups[0];
        group.unitTexture[1] = demoState.textures.texture64;
        group.unitEnvMapped[1] = 1;
        group.unitEnabled[1] = 1;
        group.unitEnvSetup[1] = layerTexModeAddPrimary;
    }
    object->renderFlags |= kRenderNormals;
}

FirstScene setUpFirstScene() {
    FirstScene scene;
    scene.logo = findObject("kslogo");
    scene.head = findObject("kshead");
    scene.logoLight = findObject("kslogol");
    scene.camera = findObject("Camera03");
    scene.hall = findSceneNode("HALL");
    scene.logoBranch = findSceneNode("LOGO");
    if (scene.logoLight != nullptr) scene.logoLight->lightFactors[1] = 0.05f;
    addSphereMap(scene.head);
    addSphereMap(scene.logo);
    return scene;
}

// The logo drawn into target 1, its glow added over the whole picture.
void drawLogoGlow(const FirstScene& scene) {
    pushView(targetView(target(1)));
    renderState.clearColour[0] = renderState.clearColour[1] = renderState.clearColour[2] = 0.0f;
    renderState.clearColour[3] = 1.0f;
    clearFrame(kColourAndDepth);
    applyCamera(true);
    renderSceneGraph(scene.logoBranch);
    // The glow passes and its quad then draw only near the logo.
    boundTargetToBranch(target(1), scene.logoBranch, renderState.clearColour);
    popView();

    float biasShift = scaledLodBias();
    PixelBufferTarget& glow =
        glowPasses(target(1), target(3), target(4), 0.7f, kGlowTint, 4.0f + biasShift);
    biasShift += beginSoftLight();
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    overlay2D.quad.flip = true; // the target's rows run bottom to top
    setBlending(true);
    setBlendFunction(GL_SRC_ALPHA, GL_ONE);
    setTextureLodBias(3.0f + biasShift);
    // Black adds nothing: only the pixels near the glow are drawn.
    bool scissored = scissorToTargetQuad(glow, -1.0f, 1.0f, 2.0f, 2.0f, 3.0f + biasShift);
    drawTargetQuad(glow, -1.0f, 1.0f, 2.0f, 2.0f);
    if (scissored) glDisable(GL_SCISSOR_TEST);
    setTextureLodBias(0.0f);
    overlay2D.quad.flip = false;
    glEnable(GL_DEPTH_TEST);
}

// Two flares spinning in opposite directions at the logo light.
void drawFlares(const Vec3& origin, uint32_t t) {
    float angles[2] = {flareAngle(t), -flareAngle(t)};
    for (float angle : angles) {
        float rolled[16];
        rolledModelview(angle, rolled);
        drawBillboard(origin, 10.0f, demoState.textures.flare, rolled,
                      demoState.textures.flareTexels);
    }
}

// At t, aheadMs after the frame's time (a sub-frame of motion blur): the particles are drawn
// as they will be then; they move on only from frame to frame.
void drawFirstScene3D(const FirstScene& scene, uint32_t t, uint32_t aheadMs) {
    scaledSceneStarts();
    cameraStep(scene.camera, t);
    // The stars as the frame draws them, animated by the frames before it; the light placed.
    ParticleSystem* stars = demoState.starSystem;
    if (stars != nullptr)
        bringStarsTo(*stars, scene.logoLight, t - aheadMs, eventState.clock.frameDelta);
    Vec3 lightPosition = logoLightAt(scene.logoLight, t);
    renderSceneGraph(scene.hall);
    sceneGraphDrawn();
    drawLogoGlow(scene);

    if (stars != nullptr) drawParticlesAhead(*stars, aheadMs);
    setBlending(false);
    glColor4f(0.6f, 0.6f, 0.6f, 1.0f);
    setBlending(true);
    drawFlares(lightPosition, t);
    endSoftLight();
    setBlending(false);
    glDisable(GL_DEPTH_TEST);

    float alpha = 0.0f;
    if (firstSceneFadeOut(t, alpha)) fadeWithTexture20(alpha);
    scaledSceneEnds(0);
}

// --- Second scene --------------------------------------------------------------------------

struct SecondScene {
    SceneObject* logoA = nullptr;
    SceneObject* logoB = nullptr;
    SceneObject* camera = nullptr;
    SceneNode* intro = nullptr;
};

void setObjectColour(SceneObject* object, float grey, float alpha) {
    if (object == nullptr) return;
    object->colourScale[0] = object->colourScale[1] = object->colourScale[2] = grey;
    object->colourScale[3] = alpha;
}

SecondScene setUpSecondScene() {
    SecondScene scene;
    scene.logoA = findObject("LW3logoA");
    scene.logoB = findObject("LW3logoB");
    scene.camera = findObject("Camera02");
    scene.intro = findSceneNode("INTRO");
    if (scene.logoB != nullptr) {
        scene.logoB->renderFlags = 0; // drawn in its object colour
        setObjectColour(scene.logoB, 0.15f, 0.7f);
    }
    if (scene.logoA != nullptr) scene.logoA->renderFlags = kRenderNormals;
    renderState.camera.eye = {0.0f, 0.0f, 20.0f};
    renderState.camera.target = {0.0f, 0.0f, 0.0f};
    float* ambient = renderState.globalAmbient;
    ambient[0] = ambient[1] = ambient[2] = 0.0f;
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
    return scene;
}

void drawSecondScene3D(const SecondScene& scene, uint32_t t) {
    scaledSceneStarts();
    cameraStep(scene.camera, t);
    setObjectColour(scene.logoA, logoABrightness(t), 1.0f);
    if (scene.logoB != nullptr) scene.logoB->colourScale[3] = logoBAlpha(t);
    renderSceneGraph(scene.intro);
    sceneGraphDrawn();

    pushView(targetView(target(1)));
    clearFrame(kColourAndDepth);
    applyCamera(true);
    setObjectColour(scene.logoA, 1.0f, 1.0f);
    renderSceneGraph(scene.intro);
    popView();

    PixelBufferTarget& blurred = blurPasses(target(1), target(2), 7, 0.35f, blurIntensity(t));
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    setBlending(true);
    drawTargetQuad(blurred, -1.0f, 1.0f, 2.0f, 2.0f);
    setBlending(false);

    float alpha = 0.0f;
    if (secondSceneFadeIn(t, alpha)) fadeWithTexture20(alpha);
    if (secondSceneFadeOut(t, alpha)) fadeWithTexture20(alpha);
    scaledSceneEnds(1);
}

} // namespace

namespace {

// What the first scene finds when the scenes begin: the glow and the second scene change
// these, and a jump back plays the first scene again.
struct SceneStartState {
    bool remembered = false; // the scenes are played as a whole (playScenes)
    float globalAmbient[4] = {};
    float clearColour[4] = {};
};
SceneStartState sceneStart;

void rememberSceneStart() {
    sceneStart.remembered = true;
    std::copy_n(renderState.globalAmbient, 4, sceneStart.globalAmbient);
    std::copy_n(renderState.clearColour, 4, sceneStart.clearColour);
}

void restoreSceneStart() {
    if (!sceneStart.remembered) return;
    std::copy_n(sceneStart.globalAmbient, 4, renderState.globalAmbient);
    std::copy_n(sceneStart.clearColour, 4, renderState.clearColour);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, renderState.globalAmbient);
}

} // namespace

void playFirstScene() {
    if (!sequenceMayStart(Sequence::First)) return;
    restoreSceneStart();
    FirstScene scene = setUpFirstScene();
    uint32_t start = sequenceStartMs(Sequence::First);
    startClockAtFrame(start);
    startMusic(start);
    do {
        uint32_t t = sceneTime();
        timelineFrameStart(Sequence::First, t);
        for (uint32_t k = subFramesPerFrame(); k-- > 0;) {
            uint32_t ahead = subFrameAheadMs(k);
            beginSceneFrame();
            if (firstSceneDraws3D(t + ahead))
                drawFirstScene3D(scene, t + ahead, ahead);
            else
                drawTitle(demoState.textures.presents, presentsBrightness(t + ahead));
            subFrameDrawn(k);
        }
        sceneFrameTail(Sequence::First, t, 0);
        if (escapeDown()) demoState.skip = true;
    } while (firstSceneContinues(sequenceGoesOn(), demoState.skip, sceneTime()));
    releaseScaledScene();
    releaseMotionBlur();
}

void playSecondScene() {
    if (demoState.skip || !sequenceMayStart(Sequence::Second)) return;
    SecondScene scene = setUpSecondScene();
    uint32_t start = sequenceStartMs(Sequence::Second);
    startClockAtFrame(start);
    // Started at this scene, the music was not begun by the first one.
    if (timelineStartsIn(Sequence::Second)) startMusic(start + kSecondSceneMusicOffsetMs);
    do {
        uint32_t t = sceneTime();
        timelineFrameStart(Sequence::Second, t);
        for (uint32_t k = subFramesPerFrame(); k-- > 0;) {
            uint32_t at = t + subFrameAheadMs(k);
            beginSceneFrame();
            if (secondSceneDraws3D(at))
                drawSecondScene3D(scene, at);
            else
                drawTitle(demoState.textures.poweredBy, poweredByBrightness(at));
            subFrameDrawn(k);
        }
        sceneFrameTail(Sequence::Second, t, kSecondSceneMusicOffsetMs);
    } while (secondSceneContinues(sequenceGoesOn(), escapeDown(), sceneTime()));
    releaseScaledScene();
    releaseMotionBlur();
}

namespace {

void drawEndScreen(uint32_t t) {
    clearFrame(kColourAndDepth);
    float aspect = renderState.aspect;
    if (endScreenShowsLogo(t)) {
        float b = engineLogoBrightness(t);
        glColor3f(b, b, b);
        drawTextureQuad(demoState.textures.engineLogo, -1.0f / aspect, 1.04f, 2.0f / aspect, 2.0f);
    } else {
        float b = comingSoonBrightness(t);
        glColor3f(b, b, b);
        drawTextureQuad(demoState.textures.comingSoon, -0.6f / aspect, 0.6f, 1.2f / aspect, 1.2f);
    }
}

} // namespace

void playEndScreen() {
    if (!sequenceMayStart(Sequence::End)) return;
    constexpr int kNotStarted = -100;
    startClockAtFrame(sequenceStartMs(Sequence::End));
    int channel = kNotStarted;
    uint32_t moves = playerState.moves;
    do {
        uint32_t t = sceneTime();
        timelineFrameStart(Sequence::End, t);
        // The sample starts with the screen; after a move it goes on from the new point, as
        // a whole run would have it there (and, paused, once the picture goes on).
        if (channel == kNotStarted && !playerState.paused)
            channel = playEffect(demoState.endSample, t);
        for (uint32_t k = subFramesPerFrame(); k-- > 0;) {
            drawEndScreen(t + subFrameAheadMs(k));
            subFrameDrawn(k);
        }
        timelineFrameDrawn(Sequence::End, t);
        drawPlayerBar(Sequence::End, t);
        swapMainWindow();
        pumpMessages();
        waitWhileInactive();
        playerFrameEnds(Sequence::End, t);
        if (playerState.moves != moves) {
            stopEffect(channel);
            channel = kNotStarted;
            moves = playerState.moves;
        }
    } while (endScreenContinues(sequenceGoesOn(), escapeDown(), sceneTime()));
    releaseMotionBlur();
    stopEffect(channel);
    if (jumpWaiting()) return;
    waitMs(200);
    clearKeys();
}

void playScenes() {
    rememberSceneStart();
    forgetStars();
    startPlayer();
    do {
        playFirstScene();
        playSecondScene();
        // The end screen has no music; a jump back into the scenes keeps it going.
        bool backToScenes = jumpWaiting() && timelineState.seekTo.sequence != Sequence::End;
        if (backToScenes) continue;
        if (demoState.musicStream != nullptr) stopMusicStream(demoState.musicStream);
        if (!jumpWaiting()) {
            waitMs(200);
            clearKeys();
        }
        playEndScreen();
    } while (jumpWaiting() && eventState.running && !stopRequested());
}
