// The scene viewer's logic without a display: its command line, the camera it picks, the
// camera that frames a scene without one, the animation loop and the free camera's orbit.
#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <string>
#include <vector>

#include "builder3ds.h"
#include "render/font2d.h"
#include "scene/objects.h"
#include "scene/reader3ds.h"
#include "scene/scene_graph.h"
#include "scene_fixtures.h"
#include "support/test_support.h"
#include "tools/scene_view.h"

namespace {

bool parse(std::initializer_list<const char*> words, ViewOptions& options, std::string& error) {
    std::vector<std::string> storage(words.begin(), words.end());
    std::vector<char*> argv;
    for (std::string& word : storage) argv.push_back(word.data());
    return parseViewArguments(int(argv.size()), argv.data(), options, error);
}

bool parses(std::initializer_list<const char*> words) {
    ViewOptions options;
    std::string error;
    bool ok = parse(words, options, error);
    EXPECT_EQ(ok, error.empty()) << error;
    return ok;
}

TEST(ViewArguments, EveryOptionAndTheDefaults) {
    ViewOptions options;
    std::string error;
    ASSERT_TRUE(parse({"hall.3ds"}, options, error)) << error;
    EXPECT_EQ(options.file, "hall.3ds");
    EXPECT_TRUE(options.cameraName.empty());
    EXPECT_FALSE(options.frameGiven);
    EXPECT_EQ(options.width, 1024);
    EXPECT_EQ(options.height, 768);
    EXPECT_TRUE(options.loadTextures);
    EXPECT_TRUE(options.shotFile.empty());
    EXPECT_EQ(options.frameCount, 0);

    options = {};
    ASSERT_TRUE(parse({"--camera", "Camera03", "--frame", "2000", "hall.3ds", "--size", "640x480",
                       "--no-textures", "--shot", "out.png", "--frames", "50"},
                      options, error))
        << error;
    EXPECT_EQ(options.file, "hall.3ds");
    EXPECT_EQ(options.cameraName, "Camera03");
    EXPECT_TRUE(options.frameGiven);
    EXPECT_EQ(options.frame, 2000);
    EXPECT_EQ(options.width, 640);
    EXPECT_EQ(options.height, 480);
    EXPECT_FALSE(options.loadTextures);
    EXPECT_EQ(options.shotFile, "out.png");
    EXPECT_EQ(options.frameCount, 50);
    EXPECT_EQ(timeForFrame(options.frame), 20000); // the engine's tenths of a frame
}

TEST(ViewArguments, BadCommandLinesAreRefused) {
    EXPECT_FALSE(parses({}));
    EXPECT_FALSE(parses({"a.3ds", "b.3ds"}));
    EXPECT_FALSE(parses({"a.3ds", "--fast"}));
    EXPECT_FALSE(parses({"a.3ds", "--camera"}));
    EXPECT_FALSE(parses({"a.3ds", "--camera", ""}));
    EXPECT_FALSE(parses({"a.3ds", "--frame", "-5"}));
    EXPECT_FALSE(parses({"a.3ds", "--frame", "12abc"}));
    EXPECT_FALSE(parses({"a.3ds", "--frame", ""}));
    EXPECT_FALSE(parses({"a.3ds", "--frame", "99999999999999"}));
    EXPECT_FALSE(parses({"a.3ds", "--frames", "0"}));
    EXPECT_FALSE(parses({"a.3ds", "--shot", ""}));
    EXPECT_TRUE(parses({"a.3ds", "--frame", "0"}));
}

TEST(ViewArguments, Sizes) {
    int32_t w = 0, h = 0;
    EXPECT_TRUE(parseViewSize("1x1", w, h));
    EXPECT_TRUE(parseViewSize("16384X16384", w, h));
    EXPECT_EQ(w, 16384);
    for (const char* bad : {"0x480", "640x0", "640", "x480", "640x", "640x480x2", "16385x10",
                            "-640x480", "640x 480", " 640x480", "axb"}) {
        w = h = 7;
        EXPECT_FALSE(parseViewSize(bad, w, h)) << bad;
        EXPECT_EQ(w, 7) << "a refused size leaves the old one: " << bad;
    }
}

// Scenes read from memory, with their keyframers, for the camera choice and the animation.
struct ViewScene : testing::Test {
    BoxRecorder boxes;
    void SetUp() override {
        initSceneGraph();
        reader3dsState.loadTextures = false;
    }
    void TearDown() override {
        sceneTimeState.animated.clear();
        deleteAllObjects();
        shutdownSceneGraph();
    }
    static void load(const std::vector<uint8_t>& file) {
        load3dsSceneFromMemory("view.3ds", file.data(), uint32_t(file.size()), "", "", -1,
                               &sceneGraphState.root);
    }
    static Builder3ds::Mesh triangle(const std::string& name, float offset) {
        Builder3ds::Mesh m;
        m.name = name;
        m.xyz = {offset, 0, 0, offset + 1, 0, 0, offset, 1, 0};
        m.faces = {{0, 1, 2}};
        return m;
    }
};

TEST_F(ViewScene, TheNamedCameraOrTheFilesFirst) {
    Builder3ds b;
    b.beginFile();
    b.mesh(triangle("Box", 0));
    b.camera("CamA", 0, -10, 0, 0, 0, 0);
    b.camera("CamB", 10, 0, 0, 0, 0, 0);
    b.endEditor();
    load(b.finish());

    ASSERT_NE(findViewCamera(""), nullptr);
    EXPECT_EQ(findViewCamera("")->name, "CamA");
    ASSERT_NE(findViewCamera("CamB"), nullptr);
    EXPECT_EQ(findViewCamera("CamB")->name, "CamB");
    EXPECT_EQ(findViewCamera("camb"), nullptr) << "object names are compared exactly";
    EXPECT_EQ(findViewCamera("Box"), nullptr) << "a mesh is no camera";
    EXPECT_EQ(findViewCamera("Nothing"), nullptr);
}

TEST_F(ViewScene, NoCameraAndNoAnimation) {
    Builder3ds b;
    b.beginFile();
    b.mesh(triangle("Box", 2));
    b.endEditor();
    load(b.finish());
    EXPECT_EQ(findViewCamera(""), nullptr);

    AnimationRange range = animationRange(nullptr);
    EXPECT_EQ(range.start, range.end);
    EXPECT_EQ(loopedTime(range, 300, 123456), 300) << "a still scene stays at its frame";

    SceneBounds bounds = sceneBounds();
    ASSERT_FALSE(bounds.empty);
    // 3DS (x, y, z) is stored as (x, z, -y).
    EXPECT_FLOAT_EQ(bounds.min.x, 2.0f);
    EXPECT_FLOAT_EQ(bounds.max.x, 3.0f);
    EXPECT_FLOAT_EQ(bounds.min.z, -1.0f);
    EXPECT_FLOAT_EQ(bounds.max.z, 0.0f);
}

// A camera moving from (0, 0, 0) at frame 0 to (0, 0, 100) at frame 100 (file coordinates),
// its keyframer segment 0..200; a box turning through segment 0..400.
std::vector<uint8_t> animatedScene() {
    Builder3ds b;
    b.beginFile();
    b.mesh(ViewScene::triangle("Box", 0));
    b.camera("Cam", 0, 0, 0, 0, 50, 0);
    b.endEditor();
    b.beginKeyframer(0, 200);
    b.beginNode(0xB003, "Cam", -1);
    b.track(0xB020, {{0, {0, 0, 0}}, {100, {0, 0, 100}}});
    b.end();
    b.beginNode(0xB004, "Cam", -1);
    b.track(0xB020, {{0, {0, 50, 0}}});
    b.end();
    b.begin(0xB008);
    b.u32(0), b.u32(400);
    b.end();
    b.beginNode(0xB002, "Box", -1);
    b.track(0xB021, {{0, {0, 0, 0, 1}}, {400, {3.0f, 0, 0, 1}}});
    b.end();
    return b.finish();
}

TEST_F(ViewScene, TheCamerasSegmentIsPlayedAndTheTimeMovesIt) {
    load(animatedScene());
    SceneObject* camera = findViewCamera("");
    ASSERT_NE(camera, nullptr);
    AnimationRange range = animationRange(camera);
    EXPECT_EQ(range.start, 0);
    EXPECT_EQ(range.end, 2000);
    AnimationRange widest = animationRange(nullptr);
    EXPECT_EQ(widest.end, 4000) << "without a camera the widest segment of any object";

    collectAnimatedObjects();
    ASSERT_EQ(sceneTimeState.animated.size(), 2u);
    setSceneTime(timeForFrame(50));
    EXPECT_NEAR(camera->worldTransform.getTranslation().y, 50.0f, 1e-3f);
    setSceneTime(timeForFrame(25));
    EXPECT_NEAR(camera->worldTransform.getTranslation().y, 25.0f, 5.0f);
    EXPECT_LT(camera->worldTransform.getTranslation().y, 50.0f) << "time can go backwards";
}

TEST_F(ViewScene, LooseObjectsDefaultMaterialsAndTheHeadlight) {
    // No keyframer: the reader leaves every object out of the scene graph. One mesh has a
    // material group, the other none; the file has a camera but no light.
    Builder3ds b;
    b.beginFile();
    Builder3ds::Material red;
    red.name = "Red";
    b.material(red);
    Builder3ds::Mesh painted = triangle("Painted", 10);
    painted.groups = {{"Red", {0}}};
    b.mesh(painted);
    // "Bare": a triangle about its local origin (20, 0, 0), written by hand with that origin.
    b.triangleWithAxes("Bare", {20, 0, 0, 21, 0, 0, 20, 1, 0},
                       {1, 0, 0, 0, 1, 0, 0, 0, 1, 20, 0, 0});
    b.camera("Cam", 1, -30, 2, 1, 0, 2);
    b.endEditor();
    load(b.finish());
    SceneObject* bare = findObject("Bare");
    SceneObject* camera = findObject("Cam");
    ASSERT_TRUE(bare && camera);
    ASSERT_EQ(bare->treeNode, nullptr);
    const Vec3 asRead = bare->lods[0].vertices[1];
    ASSERT_FLOAT_EQ(asRead.x, 21.0f);
    ASSERT_FLOAT_EQ(bare->lods[0].localVertices[1].x, 1.0f) << "relative to the local origin";

    EXPECT_EQ(addDefaultFaceGroups(), 1) << "only the mesh without a material";
    ASSERT_EQ(bare->lods[0].faceGroupCount, 1u);
    const FaceGroup& group = *bare->lods[0].faceGroups[0];
    EXPECT_EQ(group.faceCount, bare->lods[0].faceCount);
    EXPECT_EQ(group.faceVertices[0].v[2], bare->lods[0].faces[0].v[2]);
    EXPECT_FLOAT_EQ(group.diffuse[0], 0.8f) << "the default material";
    EXPECT_EQ(findObject("Painted")->lods[0].faceGroupCount, 1u);
    EXPECT_EQ(addDefaultFaceGroups(), 0);

    EXPECT_EQ(attachLooseObjects(), 3);
    ASSERT_NE(bare->treeNode, nullptr);
    EXPECT_EQ(bare->treeNode->parent, &sceneGraphState.root);
    const Vec3 placed = bare->lods[0].vertices[1];
    EXPECT_NEAR(placed.x, asRead.x, 1e-4f) << "the mesh stays where the file put it";
    EXPECT_NEAR(placed.y, asRead.y, 1e-4f);
    EXPECT_NEAR(placed.z, asRead.z, 1e-4f);
    EXPECT_NEAR(camera->worldTransform.getTranslation().z, 30.0f, 1e-4f) << "(x, z, -y)";
    EXPECT_NEAR(camera->worldTarget.x, 1.0f, 1e-4f);
    EXPECT_EQ(attachLooseObjects(), 0);

    SceneObject* light = addHeadlightIfUnlit();
    ASSERT_NE(light, nullptr);
    EXPECT_EQ(light->lightKind, kPointLight);
    EXPECT_EQ(light->treeNode->parent, &sceneGraphState.root) << "it lights the whole scene";
    EXPECT_FLOAT_EQ(light->lightFactors[0], 1.0f);
    EXPECT_FLOAT_EQ(light->lightFactors[1], 0.0f) << "no fall-off";
    placeHeadlight(*light, {4, 5, 6});
    EXPECT_FLOAT_EQ(light->worldTransform.getTranslation().y, 5.0f);
    EXPECT_EQ(addHeadlightIfUnlit(), nullptr) << "a lit scene gets none";
}

TEST(ViewTime, PlaybackWrapsAtTheEndOfTheRange) {
    AnimationRange range{1000, 3000};
    EXPECT_EQ(loopedTime(range, 1000, 0), 1000);
    EXPECT_EQ(loopedTime(range, 1000, 2000), 3000) << "the last frame is shown";
    EXPECT_EQ(loopedTime(range, 1000, 2001), 1001);
    EXPECT_EQ(loopedTime(range, 1000, 6500), 1500);
    EXPECT_EQ(loopedTime(range, 2500, 700), 1200) << "a later start wraps the same way";
    EXPECT_EQ(loopedTime(range, 0, 500), 500) << "a start before the range plays into it";
    EXPECT_EQ(loopedTime(range, 1000, -50), 1000);
    EXPECT_GE(loopedTime(range, 1000, int64_t(1) << 40), 1000) << "days of playback";
}

// Where a point appears on screen for a pose: x and y over the view distance.
struct Projected {
    float x, y;
};
Projected project(const ViewPose& pose, const Vec3& point) {
    Vec3 forward = pose.target - pose.eye;
    forward.normalise();
    Vec3 right = crossProduct(forward, Vec3{0, 1, 0});
    right.normalise();
    Vec3 up = crossProduct(right, forward);
    Vec3 d = point - pose.eye;
    float depth = d.dot(forward);
    return {d.dot(right) / depth, d.dot(up) / depth};
}

TEST(ViewFraming, TheWholeBoxFromTheFrontAboveAndRight) {
    SceneBounds bounds;
    bounds.empty = false;
    bounds.min = {-1, -2, -30};
    bounds.max = {5, 4, 3};
    for (float aspect : {0.5f, 4.0f / 3.0f, 3.0f}) {
        ViewPose pose = framingPose(bounds, 45.0, aspect);
        Vec3 centre = (bounds.min + bounds.max) * 0.5f;
        EXPECT_FLOAT_EQ(pose.target.x, centre.x);
        EXPECT_FLOAT_EQ(pose.target.z, centre.z);
        EXPECT_GT(pose.eye.x, centre.x) << "right";
        EXPECT_GT(pose.eye.y, centre.y) << "above";
        EXPECT_GT(pose.eye.z, bounds.max.z) << "in front";
        const float tanY = std::tan(22.5f * 3.14159265f / 180.0f), tanX = tanY * aspect;
        for (int corner = 0; corner < 8; ++corner) {
            Vec3 p{corner & 1 ? bounds.max.x : bounds.min.x,
                   corner & 2 ? bounds.max.y : bounds.min.y,
                   corner & 4 ? bounds.max.z : bounds.min.z};
            Projected s = project(pose, p);
            EXPECT_LE(std::fabs(s.x), tanX) << "aspect " << aspect << " corner " << corner;
            EXPECT_LE(std::fabs(s.y), tanY) << "aspect " << aspect << " corner " << corner;
        }
        EXPECT_GT(farPlaneFor(pose, bounds, 200.0f), 0.0f);
    }
}

TEST(ViewFraming, EmptyAndFlatScenesAndTheFarPlane) {
    ViewPose pose = framingPose(SceneBounds{}, 45.0, 1.0f);
    EXPECT_TRUE(std::isfinite(pose.eye.x) && std::isfinite(pose.eye.z));
    EXPECT_GT((pose.eye - pose.target).length(), 0.5f);

    SceneBounds point;
    point.empty = false;
    point.min = point.max = {7, 7, 7};
    pose = framingPose(point, 45.0, 1.0f);
    EXPECT_GT((pose.eye - pose.target).length(), 0.0f) << "a single point is still looked at";
    EXPECT_FLOAT_EQ(farPlaneFor(pose, point, 200.0f), 200.0f) << "the engine's own far plane";

    SceneBounds huge;
    huge.empty = false;
    huge.min = {-1000, -1000, -1000};
    huge.max = {1000, 1000, 1000};
    pose = framingPose(huge, 45.0, 1.0f);
    float far = farPlaneFor(pose, huge, 200.0f);
    for (int corner = 0; corner < 8; ++corner) {
        Vec3 p{corner & 1 ? 1000.0f : -1000.0f, corner & 2 ? 1000.0f : -1000.0f,
               corner & 4 ? 1000.0f : -1000.0f};
        EXPECT_LT((p - pose.eye).length(), far);
    }
    EXPECT_FLOAT_EQ(farPlaneFor(pose, SceneBounds{}, 200.0f), 200.0f);
}

void expectNear(const Vec3& a, const Vec3& b, float tolerance) {
    EXPECT_NEAR(a.x, b.x, tolerance);
    EXPECT_NEAR(a.y, b.y, tolerance);
    EXPECT_NEAR(a.z, b.z, tolerance);
}

TEST(ViewOrbit, AFileCameraBecomesAnOrbitWithoutAJump) {
    for (ViewPose pose : {ViewPose{{3, 4, 5}, {0, 0, 0}}, ViewPose{{-10, 2, -7}, {1, 1, 1}},
                          ViewPose{{0, -5, 0.5f}, {0, 0, 0}}}) {
        ViewPose back = poseFromOrbit(orbitFromPose(pose));
        expectNear(back.eye, pose.eye, 1e-3f);
        expectNear(back.target, pose.target, 0.0f);
    }
    OrbitCamera same = orbitFromPose(ViewPose{{2, 2, 2}, {2, 2, 2}});
    EXPECT_FLOAT_EQ(same.distance, 1.0f) << "eye on the target: a usable distance";
}

TEST(ViewOrbit, DraggingTurnsAndTheWheelZooms) {
    OrbitCamera orbit = orbitFromPose(ViewPose{{0, 0, 10}, {0, 0, 0}});
    orbitDrag(orbit, 100, 0);
    ViewPose pose = poseFromOrbit(orbit);
    EXPECT_LT(pose.eye.x, 0.0f) << "dragging right turns the scene right: the eye goes left";
    EXPECT_NEAR((pose.eye - pose.target).length(), 10.0f, 1e-3f);

    orbitDrag(orbit, 0, 50);
    EXPECT_GT(poseFromOrbit(orbit).eye.y, 0.0f) << "dragging down raises the eye";
    orbitDrag(orbit, 0, 100000);
    EXPECT_FLOAT_EQ(orbit.pitch, kOrbitPitchLimit) << "never straight down onto the up vector";
    orbitDrag(orbit, 0, -300000);
    EXPECT_FLOAT_EQ(orbit.pitch, -kOrbitPitchLimit);
    orbitDrag(orbit, 1000000, 0);
    EXPECT_LE(std::fabs(orbit.yaw), 3.1416f) << "yaw stays a small angle";

    orbitZoom(orbit, 1);
    EXPECT_NEAR(orbit.distance, 9.0f, 1e-4f);
    orbitZoom(orbit, -2);
    EXPECT_NEAR(orbit.distance, 10.0f / 0.9f, 1e-3f);
    orbitZoom(orbit, 100000);
    EXPECT_GT(orbit.distance, 0.0f);
    orbitZoom(orbit, -100000);
    EXPECT_TRUE(std::isfinite(orbit.distance));
}

TEST(ViewTitle, NameAndFrame) {
    EXPECT_EQ(viewTitle("/data/build/Film_03.3ds", 20005),
              "demotool view - Film_03.3ds - frame 2000");
    EXPECT_EQ(viewTitle("x.3ds", 0), "demotool view - x.3ds - frame 0");
}

// The help line is drawn in the engine's font, which has no small letters: a character
// without a glyph would leave a gap. Lines stay as short as asked.
TEST(ViewHelp, EveryCharacterHasAGlyphAndLinesFit) {
    const std::string text = viewHelpText(40);
    size_t lineStart = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == '\n') {
            EXPECT_LE(i - lineStart, 40u) << text;
            lineStart = i + 1;
        } else if (text[i] != ' ') {
            EXPECT_GE(glyphForCharacter(text[i]), 0) << text[i] << " in " << text;
        }
    }
    EXPECT_NE(text.find("LEFT BUTTON DRAG: ORBIT A FREE CAMERA"), std::string::npos) << text;
}

} // namespace

// The viewer's textures: the demo's built-in quality where the driver keeps it, and on a
// software rasteriser neither compressed nor anisotropic (either makes a frame take seconds).
TEST(ViewTextures, SoftwareRasterisersDrawWithoutCompressionOrAnisotropy) {
    const CapabilitySettings kept = {1, 0, 4.0f, 0};
    TextureQuality hardware = viewerTextureQuality("Mesa Intel(R) UHD Graphics 620", kept);
    EXPECT_EQ(hardware.compression, 1);
    EXPECT_EQ(hardware.anisotropy, 4.0f);
    TextureQuality software = viewerTextureQuality("llvmpipe (LLVM 15.0.6, 256 bits)", kept);
    EXPECT_EQ(software.compression, 0);
    EXPECT_EQ(software.anisotropy, 1.0f);
    EXPECT_EQ(software.filtering, 0);
}
