// The 3DS reader on files written by the test builder: what each chunk stores, the repairs
// with their notices, the keyframer hierarchy and name rules, LOD mode, and damaged files.
#include <gtest/gtest.h>

#include <cmath>

#include "builder3ds.h"
#include "fatal_pattern.h"
#include "scene/scene_graph.h"
#include "scene/loading_log.h"
#include "scene/objects.h"
#include "scene/reader3ds.h"
#include "support/test_support.h"
#include "tools/bigfile_writer.h"
#include "tools/scene_gen.h"

namespace {

std::vector<std::string>* capturedLines = nullptr;
std::vector<uint32_t> progressValues;

using Mesh = Builder3ds::Mesh;
using Key = Builder3ds::Key;

Mesh quad(const std::string& name, float size = 1.0f) {
    Mesh m;
    m.name = name;
    m.xyz = {0, 0, 0, size, 0, 0, size, size, 0, 0, size, 0};
    m.faces = {{0, 1, 2}, {0, 2, 3}};
    m.uv = {0, 0, 1, 0, 1, 1, 0, 1};
    return m;
}

struct Reader3ds : testing::Test {
    BoxRecorder boxes;
    std::vector<std::string> lines;

    void SetUp() override {
        initSceneGraph();
        reader3dsState.loadTextures = false;
        capturedLines = &lines;
        loadingLog.addLine = [](std::string_view line) { capturedLines->emplace_back(line); };
        progressValues.clear();
        loadingLog.setProgress = [](uint32_t value) { progressValues.push_back(value); };
    }
    void TearDown() override {
        deleteAllObjects();
        shutdownSceneGraph();
        loadingLog = LoadingLog{};
        capturedLines = nullptr;
    }
    static void load(const std::vector<uint8_t>& file, int lodTarget = -1) {
        load3dsSceneFromMemory("scene.3ds", file.data(), uint32_t(file.size()), "", "", lodTarget,
                               &sceneGraphState.root);
    }
    static SceneObject& object(const char* name) {
        SceneObject* found = findObject(name);
        EXPECT_NE(found, nullptr) << name;
        return *found;
    }
    static std::string parentName(const char* name) {
        SceneNode* node = object(name).treeNode;
        if (!node) return "(no node)";
        return node->parent == &sceneGraphState.root ? "" : node->parent->object->name;
    }
    bool logged(const std::string& line) const {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
};

void expectVec(const Vec3& v, float x, float y, float z) {
    EXPECT_FLOAT_EQ(v.x, x);
    EXPECT_FLOAT_EQ(v.y, y);
    EXPECT_FLOAT_EQ(v.z, z);
}

TEST_F(Reader3ds, MeshChunksAreConvertedAndGroupedByMaterial) {
    Builder3ds b;
    b.beginFile();
    b.material({"Glass", {1.0f, 0.0f, 0.0f}, 25, "glass.jpg", true});
    b.material({"ENV_Chrome", {0.0f, 0.0f, 1.0f}, 0, "", false});
    Mesh m = quad("Window");
    m.xyz[3] = 1, m.xyz[4] = 2, m.xyz[5] = 3;
    m.groups = {{"Glass", {1}}, {"ENV_Chrome", {0}}};
    b.mesh(m);
    std::vector<uint8_t> file = b.finish();
    load(file);

    SceneObject& o = object("Window");
    const MeshLod& mesh = o.lods[0];
    EXPECT_EQ(o.objectKind, kMeshObject);
    ASSERT_EQ(mesh.vertexCount, 4u);
    expectVec(mesh.vertices[1], 1, 3, -2);             // (x, y, z) is stored as (x, z, -y)
    EXPECT_FLOAT_EQ(mesh.unitTexCoords[0][1].v, 1.0f); // v is flipped
    ASSERT_EQ(mesh.faceGroupCount, 2u);
    const FaceGroup& glass = *mesh.faceGroups[0];
    EXPECT_EQ(glass.faceIndices[0], 1);
    EXPECT_EQ(glass.faceVertices[0].v[2], 3);
    EXPECT_FLOAT_EQ(glass.opacity, 0.75f);
    EXPECT_FLOAT_EQ(glass.diffuse[0], 1.0f);
    EXPECT_FLOAT_EQ(glass.diffuse[3], 0.75f); // every alpha is the opacity
    EXPECT_EQ(glass.twoSided, 1);
    EXPECT_EQ(glass.unitEnabled[0], 1); // a map and mapping coordinates
    EXPECT_EQ(mesh.faceGroups[1]->unitEnvMapped[0], 1);
    EXPECT_EQ(mesh.faceGroups[1]->unitEnabled[0], 0);
    EXPECT_FLOAT_EQ(o.transparent, 1.0f);
    ASSERT_NE(findGroupTextureNames(&glass), nullptr);
    EXPECT_EQ(findGroupTextureNames(&glass)->texture, "glass.jpg");
    // Post-processing: local vertices, centre, box and OBB tree.
    ASSERT_NE(mesh.localVertices, nullptr);
    expectVec(o.localCenter, 0.5f, 1.5f, -1.0f);
    EXPECT_NE(o.obbTree, nullptr);
    EXPECT_EQ(o.treeNode, nullptr); // no keyframer node names it
    // The progress follows the byte position after every chunk, up to the file's end.
    ASSERT_FALSE(progressValues.empty());
    EXPECT_TRUE(std::is_sorted(progressValues.begin(), progressValues.end()));
    EXPECT_EQ(progressValues.back(), file.size());
}

// Axes that are neither unit nor in order: each is converted like a position, (x, z, -y),
// and the converted Y and Z axes change places.
TEST_F(Reader3ds, LocalAxesAreConvertedAndTheirYAndZSwapped) {
    Builder3ds b;
    b.beginFile();
    b.triangleWithAxes("Tilted", {10, 20, 30, 11, 20, 30, 10, 21, 30},
                       {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 20, 30});
    load(b.finish());
    SceneObject& o = object("Tilted");
    const float axes[3][3] = {{1, 3, -2}, {7, 9, -8}, {4, 6, -5}}; // X, then Z, then Y
    const float origin[3] = {10, 30, -20};
    for (int k = 0; k < 3; ++k) {
        SCOPED_TRACE(k);
        expectVec(o.axes[k], axes[k][0], axes[k][1], axes[k][2]);
        float length =
            std::sqrt(axes[k][0] * axes[k][0] + axes[k][1] * axes[k][1] + axes[k][2] * axes[k][2]);
        EXPECT_NEAR(o.unitAxes[k].x, axes[k][0] / length, 1e-6f);
        EXPECT_NEAR(o.unitAxes[k].y, axes[k][1] / length, 1e-6f);
        EXPECT_NEAR(o.unitAxes[k].z, axes[k][2] / length, 1e-6f);
        // The local matrix: the axes as rows, the origin as the last column.
        for (int c = 0; c < 3; ++c) EXPECT_FLOAT_EQ(o.localMatrix.m[4 * k + c], axes[k][c]);
        EXPECT_FLOAT_EQ(o.localMatrix.m[4 * k + 3], origin[k]);
    }
    for (int c = 0; c < 4; ++c) EXPECT_FLOAT_EQ(o.localMatrix.m[12 + c], c == 3 ? 1.0f : 0.0f);
}

Mesh cube(const std::string& name, uint32_t (*maskOfSide)(int side)) {
    Mesh m;
    m.name = name;
    for (int i = 0; i < 8; ++i)
        m.xyz.insert(m.xyz.end(), {float(i & 1), float(i >> 1 & 1), float(i >> 2)});
    const uint16_t sides[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                                  {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    for (int side = 0; side < 6; ++side) {
        const uint16_t* q = sides[side];
        m.faces.push_back({q[0], q[1], q[2]});
        m.faces.push_back({q[0], q[2], q[3]});
        m.smoothing.insert(m.smoothing.end(), 2, maskOfSide(side));
    }
    m.groups = {{"Paint", {1, 5, 11}}};
    return m;
}

TEST_F(Reader3ds, SmoothingGroupsSplitTheMeshAndItsGroups) {
    Builder3ds b;
    b.beginFile();
    b.material({"Paint", {1, 1, 1}, 0, "", false});
    b.mesh(cube("Sides", [](int side) { return 1u << side; }));
    b.mesh(cube("Round", [](int) { return 1u; }));
    load(b.finish());
    const MeshLod& sides = object("Sides").lods[0];
    EXPECT_EQ(sides.vertexCount, 24u);
    EXPECT_EQ(object("Round").lods[0].vertexCount, 8u);
    EXPECT_EQ(object("Sides").smoothingUsed, 1);
    // The group's triples follow the rewritten faces.
    const FaceGroup& group = *sides.faceGroups[0];
    for (uint32_t i = 0; i < group.faceCount; ++i)
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(group.faceVertices[i].v[k], sides.faces[group.faceIndices[i]].v[k]);
    expectVec(sides.baseNormals[sides.faces[0].v[0]], 0, -1, 0);
}

TEST_F(Reader3ds, BumpMappedObjectsGetFramesAndDot3Units) {
    Builder3ds b;
    b.beginFile();
    b.material({"NM_Stone", {1, 1, 1}, 0, "stone.jpg", false});
    Mesh m = quad("BM_Pillar");
    m.groups = {{"NM_Stone", {0, 1}}};
    b.mesh(m);
    load(b.finish());
    SceneObject& pillar = object("BM_Pillar");
    const MeshLod& mesh = pillar.lods[0];
    EXPECT_EQ(pillar.renderFlags, kRenderBumpMapping);
    EXPECT_TRUE(logged("Object uses Bump Mapping !"));
    ASSERT_NE(mesh.tangentFrames, nullptr);
    expectVec(mesh.tangentFrames[0].normal, 0, 1, 0); // built from the faces
    EXPECT_NE(mesh.bumpVectors, nullptr);
    EXPECT_EQ(mesh.faceGroups[0]->unitEnabled[2], 1); // the texture moved up by two units
    EXPECT_EQ(mesh.faceGroups[0]->unitTarget[1], kGLTextureCubeMap);
}

// The demo's own scene, as demotool writes it: the branches the scenes look up by name.
TEST_F(Reader3ds, TheDemoSceneLoadsWithoutRepairs) {
    load(buildDemoScene());
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_EQ(parentName("HALL"), "");
    EXPECT_EQ(parentName("LOGO"), "HALL");
    EXPECT_EQ(parentName("kslogo"), "LOGO");
    EXPECT_EQ(parentName("LW3logoA"), "INTRO");
    EXPECT_EQ(object("BM_PilL1").renderFlags, kRenderBumpMapping);
    SceneObject& camera = object("Camera03");
    EXPECT_TRUE(camera.isCamera && camera.animated);
    EXPECT_GT(camera.targetTracks.positionKeyCount, 1u);
}

TEST_F(Reader3ds, SceneAndNormalMapAreReadFromTheBigfile) {
    TempDir dir;
    Builder3ds b;
    b.beginFile();
    b.material({"NM_rock", {1, 1, 1}, 0, "rock.jpg", false});
    Mesh m = quad("Floor");
    m.groups = {{"NM_rock", {0, 1}}};
    b.mesh(m);
    std::string archive = dir.file("Film_03.dat");
    ASSERT_TRUE(writeBigfile(
        archive, {{"Film_03.3ds", "today", b.finish()}, {"rock_NM.png", "today", {1, 2, 3}}}));
    load3dsScene("Film_03.3ds", archive, "", "", -1, &sceneGraphState.root);
    const FaceGroup* group = object("Floor").lods[0].faceGroups[0];
    EXPECT_EQ(findGroupTextureNames(group)->normalMap, "rock_NM.PNG");
}

TEST_F(Reader3ds, LightsAndCamerasKeepTheirParameters) {
    Builder3ds b;
    b.beginFile();
    b.light("Omni", 1, 2, 3);
    b.light("Spot", 0, 0, 10, true);
    b.camera("Cam", 1, 2, 3, 4, 5, 6);
    load(b.finish());

    SceneObject& omni = object("Omni");
    EXPECT_EQ(omni.lightKind, kDirectionalLight);
    expectVec(omni.transform.getTranslation(), 1, 3, -2);
    EXPECT_FLOAT_EQ(omni.lightDiffuse[1], 0.5f);
    EXPECT_FLOAT_EQ(omni.lightSpecular[3], 1.0f);
    SceneObject& spot = object("Spot");
    EXPECT_EQ(spot.lightKind, kSpotLight);
    EXPECT_FLOAT_EQ(spot.spotHotspot, 15.0f);
    EXPECT_FLOAT_EQ(spot.spotFalloff, 20.0f);
    expectVec(spot.localCenter, 0, 10, 0);
    expectVec(spot.transform.getTranslation(), 0, 10, 0); // not moved onto its target
    expectVec(spot.target, 0, 0, 0);
    SceneObject& cam = object("Cam");
    EXPECT_EQ(cam.isCamera, 1);
    expectVec(cam.transform.getTranslation(), 1, 3, -2);
    expectVec(cam.target, 4, 6, -5);
}

TEST_F(Reader3ds, UnknownChunksAreSkippedWhereverTheyStand) {
    Builder3ds b;
    b.beginFile();
    b.begin(0x7001), b.u32(0xFFFFFFFF), b.end();
    b.begin(0xAFFF), b.begin(0xA000), b.str("Mat"), b.end();
    b.begin(0xA0FF), b.str("not a name chunk"), b.end(), b.end();
    b.begin(0x4000), b.str("Tri"), b.begin(0x4100);
    b.begin(0x4111), b.u16(0), b.end();
    b.begin(0x4110), b.u16(3), b.vec(0, 0, 0), b.vec(1, 0, 0), b.vec(0, 1, 0), b.end();
    b.begin(0x4120), b.u16(1), b.u16(0), b.u16(1), b.u16(2), b.u16(0);
    b.begin(0x4131), b.u32(1), b.end();
    b.begin(0x4130), b.str("Mat"), b.u16(1), b.u16(0), b.end();
    load(b.finish());
    EXPECT_EQ(object("Tri").lods[0].faceCount, 1u);
    EXPECT_EQ(object("Tri").lods[0].faceGroupCount, 1u);
}

// A mesh and its keyframer node, ending in the node's position track (with `trailer`, in a
// 6-byte chunk after it).
std::vector<uint8_t> sceneEndingInATrack(bool trailer) {
    Builder3ds b;
    b.beginFile(), b.mesh(quad("Box")), b.endEditor(), b.beginKeyframer(0, 10);
    b.beginNode(0xB002, "Box", -1), b.track(0xB020, {{0, {1, 2, 3}}});
    if (trailer) b.flag(0xB0FF);
    return b.finish();
}

TEST_F(Reader3ds, PaddingAndAMainChunkOverrunningTheFileByLessThanAHeaderAreTolerated) {
    const std::vector<uint8_t> whole = sceneEndingInATrack(false);
    const uint32_t size = uint32_t(whole.size());
    auto variant = [](std::vector<uint8_t> file, size_t cut, std::vector<uint8_t> tail,
                      uint32_t mainLength) {
        file.resize(file.size() - cut);
        file.insert(file.end(), tail.begin(), tail.end());
        for (int i = 0; i < 4; ++i) file[2 + i] = uint8_t(mainLength >> (8 * i));
        return file;
    };
    const std::string ignored = " bytes after the main chunk are no 3DS data and are ignored !",
                      claims = "Attention : the main chunk claims ", more = " more than the file";
    const struct {
        std::vector<uint8_t> file;
        uint32_t keys;
        std::string notes; // the loading log's notes, joined by '|'
    } cases[] = {
        {variant(whole, 0, std::vector<uint8_t>(5), size), 1, "Attention : 5" + ignored},
        {variant(whole, 0, {0x77, 0x77, 6, 0, 0, 0, 1, 2, 3}, size), 1, "Attention : 3" + ignored},
        {variant(whole, 0, {}, size + 5), 1, claims + "5 bytes" + more + " holds !"},
        {variant(whole, 1, {}, size), 0,
         claims + "1 bytes" + more + " holds !|Attention : the chunk 0xB020 (position track) at " +
             "byte " + std::to_string(size - 38) + " is cut short by the end of the file and is " +
             "left out !"},
        {variant(sceneEndingInATrack(true), 2, {}, size + 6), 1,
         claims + "2 bytes" + more + " holds !|Attention : the file ends inside a chunk header, " +
             "its last 4 bytes are left out !"},
    };
    for (const auto& c : cases) {
        lines.clear();
        load(c.file);
        std::string notes;
        for (const std::string& line : lines)
            if (line.starts_with("Attention")) notes += (notes.empty() ? "" : "|") + line;
        EXPECT_EQ(notes, c.notes);
        EXPECT_TRUE(boxes.boxes.empty());
        EXPECT_EQ(object("Box").lods[0].faceCount, 2u) << c.notes;
        EXPECT_EQ(object("Box").tracks.positionKeyCount, c.keys) << c.notes;
        deleteAllObjects(), shutdownSceneGraph(), initSceneGraph();
    }
}

// A chunk whose own data the file holds whole, while the few padding bytes it claims after
// that data are cut off, is read; only the main chunk's claim is noted.
TEST_F(Reader3ds, AChunkCutInItsPaddingIsRead) {
    Builder3ds b;
    b.beginFile();
    b.begin(0x4000), b.str("Lamp"), b.begin(0x4600), b.vec(1, 2, 3);
    b.u8(0), b.u8(0), b.u8(0);
    std::vector<uint8_t> file = b.finish();
    file.resize(file.size() - 3);
    load(file);
    std::string notes;
    for (const std::string& line : lines)
        if (line.starts_with("Attention")) notes += (notes.empty() ? "" : "|") + line;
    EXPECT_EQ(notes, "Attention : the main chunk claims 3 bytes more than the file holds !");
    expectVec(object("Lamp").transform.getTranslation(), 1, 3, -2);
}

TEST_F(Reader3ds, NanVerticesAreZeroedWithANotice) {
    Builder3ds b;
    b.beginFile();
    Mesh m = quad("Bad");
    m.xyz[4] = std::nanf("");
    b.mesh(m);
    load(b.finish());
    expectVec(object("Bad").lods[0].vertices[1], 0, 0, 0);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].caption, "3DS-FILE ERROR");
    EXPECT_EQ(
        boxes.boxes[0].text.rfind("The mesh of the object Bad has 1 bad vertex !\nThe (x,", 0), 0u);
}

TEST_F(Reader3ds, LocalVerticesAboveTenThousandBecomeOnes) {
    Builder3ds b;
    b.beginFile();
    Mesh edge = quad("Edge");
    edge.xyz[3] = 10000.0f;
    b.mesh(edge);
    Mesh far = quad("Far");
    far.xyz[3] = 10000.5f, far.xyz[6] = -20000.0f;
    b.mesh(far);
    load(b.finish());
    EXPECT_FLOAT_EQ(object("Edge").lods[0].localVertices[1].x, 10000.0f);
    expectVec(object("Far").lods[0].localVertices[1], 1, 1, 1);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(
        boxes.boxes[0].text.rfind("The mesh of the object Far has 2 bad local vertices !\nThe "
                                  "(x,y,z) values are extreme unusually high (above 10000 !)\n",
                                  0),
        0u);
}

TEST_F(Reader3ds, KeyframerBuildsTheHierarchyAndRetriesShortenedNames) {
    Builder3ds b;
    b.beginFile();
    for (const char* name : {"Hall", "Pillar01", "Cylind", "Lamp", "Loose"}) b.mesh(quad(name));
    b.endEditor();
    b.beginKeyframer(0, 100);
    b.beginNode(0xB002, "Hall", -1), b.end();
    b.beginNode(0xB002, "Pillar01ab", 0), b.end(); // retried as "Pillar01"
    b.beginNode(0xB002, "Cylind01xy", 1), b.end(); // "Cylind01", then "Cylind"
    b.beginNode(0xB002, "$$$DUMMY", 0), b.instanceName("Left"), b.end();
    b.beginNode(0xB002, "$$$DUMMY", 1), b.instanceName("Right"), b.end();
    b.beginNode(0xB002, "Lamp", -1), b.end();
    b.beginNode(0xB001, "$AMBIENT$", -1); // the ambient light is no object: nothing to find
    b.track(0xB020, {{0, {1, 1, 1}}});
    b.end();
    load(b.finish());

    EXPECT_EQ(parentName("Hall"), "");
    EXPECT_EQ(parentName("Pillar01"), "Hall");
    EXPECT_EQ(parentName("Cylind"), "Pillar01");
    EXPECT_EQ(parentName("Left"), "Hall");
    EXPECT_EQ(parentName("Right"), "Left");
    EXPECT_EQ(parentName("Lamp"), "");
    EXPECT_EQ(parentName("Loose"), "(no node)");
    EXPECT_TRUE(logged("Changed searched object ID from  Pillar01ab  to  Pillar01"));
    EXPECT_TRUE(logged("Changed searched object ID from  Cylind01xy  to  Cylind"));
    EXPECT_EQ(object("Hall").tracks.end, 1000); // frames are stored in tenths
}

TEST_F(Reader3ds, TcbKeysAreReadByTheirFlagBits) {
    Builder3ds b;
    b.beginFile();
    b.mesh(quad("Box"));
    b.camera("Cam", 0, 0, 0, 0, 10, 0);
    b.endEditor();
    b.beginKeyframer(0, 100);
    b.beginNode(0xB002, "Box", -1);
    Key first{0, {0, 0, 0}, 0.5f, 0.25f, -0.75f};
    Key second{100, {10, 20, 30}, 0.0f, 0.0f, 0.0f};
    b.track(0xB020, {first, second});
    b.track(0xB021, {{0, {0.5f, 0, 0, 1}}, {50, {0.25f, 1, 0, 0}, 0.0f, 0.0f, 0.5f}});
    b.end();
    b.beginNode(0xB004, "Cam", -1);
    b.track(0xB020, {{0, {7, 8, 9}}});
    b.end();
    load(b.finish());

    SceneObject& box = object("Box");
    ASSERT_EQ(box.tracks.positionKeyCount, 2u);
    const PositionKey& key = box.tracks.positionKeys[0];
    EXPECT_FLOAT_EQ(key.tension, 0.5f);
    EXPECT_FLOAT_EQ(key.continuity, 0.25f);
    EXPECT_FLOAT_EQ(key.bias, -0.75f);
    EXPECT_EQ(box.tracks.positionKeys[1].frame, 1000);
    expectVec(box.tracks.positionKeys[1].position, 10, 30, -20);
    // Two keys: the outgoing tangent of the first is (P1 - P0) scaled by 1 - tension.
    expectVec(key.outgoing, 5, 15, -10);
    ASSERT_EQ(box.tracks.rotationKeyCount, 2u);
    EXPECT_EQ(box.tracks.rotationKeys[1].frame, 500);
    EXPECT_FLOAT_EQ(box.tracks.rotationKeys[1].bias, 0.5f);
    expectVec(box.tracks.rotationKeys[0].axis, 0, 1, 0);
    EXPECT_EQ(box.animated, 1);
    // Key 0 places the object: rotation of 0.5 rad about the engine's y axis.
    EXPECT_NEAR(box.transform.m[0], std::cos(0.5f), 1e-6);
    expectVec(object("Cam").target, 7, 9, -8);
    EXPECT_EQ(object("Cam").animated, 0);
}

TEST_F(Reader3ds, NormalMapsAreFoundBesideTheTextureOfAnNmMaterial) {
    TempDir dir;
    ScopedChdir inDir(dir.path);
    writeWholeFile(dir.file("rock_NM.PNG"), {1});
    writeWholeFile(dir.file("wall_NM.PNG"), {1});
    Builder3ds b;
    b.beginFile();
    b.material({"NM_rock", {1, 1, 1}, 0, "rock.jpg", false});
    b.material({"NM_sand", {1, 1, 1}, 0, "sand.jpg", false});
    b.material({"wall", {1, 1, 1}, 0, "wall.jpg", false});
    Mesh m = quad("Floor");
    m.groups = {{"NM_rock", {0}}, {"NM_sand", {1}}, {"wall", {0, 1}}};
    b.mesh(m);
    load(b.finish());
    const MeshLod& mesh = object("Floor").lods[0];
    EXPECT_EQ(findGroupTextureNames(mesh.faceGroups[0])->normalMap, "rock_NM.PNG");
    EXPECT_EQ(findGroupTextureNames(mesh.faceGroups[1])->normalMap, "");
    EXPECT_EQ(findGroupTextureNames(mesh.faceGroups[2])->normalMap, ""); // no "NM_" prefix
    EXPECT_TRUE(logged("Additional normal map file found !"));
}

TEST_F(Reader3ds, MaterialsNeverDefinedLeaveTheirFacesOutOfEveryGroup) {
    Builder3ds b;
    b.beginFile();
    Mesh m = quad("Box");
    m.groups = {{"Missing", {0, 1}}};
    b.mesh(m);
    load(b.finish());
    EXPECT_EQ(object("Box").lods[0].faceGroupCount, 0u);
}

TEST_F(Reader3ds, LodModeFillsTheTargetsSlotAndStoresNoKeys) {
    SceneObject* target = createObject("Statue", nullptr);
    target->lodIndex = 1;
    Builder3ds b;
    b.beginFile();
    b.mesh(quad("Statue_low"));
    b.endEditor();
    b.beginKeyframer(0, 100);
    b.beginNode(0xB002, "Statue_low", -1);
    b.track(0xB020, {{0, {1, 2, 3}}, {10, {4, 5, 6}}});
    b.end();
    load(b.finish(), findObjectIndex("Statue"));
    EXPECT_EQ(target->lodCount, 2);
    EXPECT_EQ(target->lods[1].faceCount, 2u);
    EXPECT_NE(target->lods[1].localVertices, nullptr);
    EXPECT_EQ(target->tracks.positionKeyCount, 0u);
    EXPECT_EQ(target->obbTree, nullptr);
    EXPECT_EQ(findObject("Statue_low"), nullptr);
}

using Reader3dsDeath = Reader3ds;

TEST_F(Reader3dsDeath, LodModeRules) {
    SceneObject* target = createObject("Statue", nullptr);
    Builder3ds b;
    b.beginFile();
    b.mesh(quad("A"));
    b.mesh(quad("B"));
    std::vector<uint8_t> twoObjects = b.finish();
    int index = findObjectIndex("Statue");
    EXPECT_EXIT(load(twoObjects, index), testing::ExitedWithCode(1),
                fatalPattern("3DS-FILE ERROR", "It is not possible to load new object data "
                                               "into existing LOD data space !"));
    target->lodIndex = 1;
    EXPECT_EXIT(load(twoObjects, index), testing::ExitedWithCode(1),
                fatalPattern("3DS-FILE ERROR", "The 3DS loader was called to fill an objects "
                                               "LOD data\nbut there are more than 1 objects in "
                                               "the 3DS file !"));
    target->lodCount = 6;
    EXPECT_EXIT(load(twoObjects, index), testing::ExitedWithCode(1),
                fatalPattern("3DS-FILE ERROR", "The 3DS loader was called to fill an objects "
                                               "LOD data\nbut there is no more LOD space "
                                               "available in this object !"));
}

TEST_F(Reader3dsDeath, OpeningChecksLookAtFixedOffsets) {
    Builder3ds good;
    good.beginFile();
    std::vector<uint8_t> file = good.finish();
    const std::string name = "\n\nFile :  scene.3ds";
    std::vector<uint8_t> wrongMain = file;
    wrongMain[0] = 0x4C;
    EXPECT_EXIT(
        load(wrongMain), testing::ExitedWithCode(1),
        fatalPattern("3DS-FILE ERROR", "Following file contains no valid 3DS format !" + name));
    // An unknown chunk before the version chunk moves it away from offset 6.
    Builder3ds moved;
    moved.begin(0x4D4D), moved.flag(0x1234), moved.begin(0x0002), moved.u32(3), moved.end();
    moved.begin(0x3D3D);
    EXPECT_EXIT(load(moved.finish()), testing::ExitedWithCode(1),
                fatalPattern("3DS-FILE ERROR", "Could not find 3DS version chunk !" + name));
    std::vector<uint8_t> longVersion = file;
    longVersion.insert(longVersion.begin() + 16, {0, 0});
    EXPECT_EXIT(load(longVersion), testing::ExitedWithCode(1),
                fatalPattern("3DS-FILE ERROR", "Could not find editor chunk !" + name));
    EXPECT_EXIT(load({}), testing::ExitedWithCode(1),
                fatalPattern("3DS-FILE ERROR", "Following 3DS file is invalid !" + name));
}

TEST_F(Reader3dsDeath, DuplicateNamesAndMissingKeyframerObjectsAreFatal) {
    Builder3ds twice;
    twice.beginFile();
    twice.mesh(quad("Box"));
    twice.mesh(quad("Box"));
    EXPECT_EXIT(load(twice.finish()), testing::ExitedWithCode(1), "Object ID : Box");
    Builder3ds missing;
    missing.beginFile();
    missing.mesh(quad("Box"));
    missing.endEditor();
    missing.beginKeyframer(0, 10);
    missing.beginNode(0xB002, "Sphere", -1);
    EXPECT_EXIT(load(missing.finish()), testing::ExitedWithCode(1),
                fatalPattern("3DS FILE ERROR",
                             "The 3DS file \"scene.3ds\" has invalid data !\n\nThe keyframer "
                             "block holds information for an object\n\"Sphere\"which does not "
                             "exist in the object block !"));
    Builder3ds late;
    late.beginFile();
    late.begin(0x4000), late.str("Box"), late.begin(0x4100);
    late.begin(0x4110), late.u16(3), late.vec(0, 0, 0), late.vec(1, 0, 0), late.vec(0, 1, 0);
    late.end();
    late.begin(0x4150), late.end();
    late.begin(0x4120), late.u16(1), late.u16(0), late.u16(1), late.u16(2), late.u16(0);
    EXPECT_EXIT(
        load(late.finish()), testing::ExitedWithCode(1),
        fatalPattern("ATTENTION !", "Wrong method for normal calculation with smoothing groups !"));
}

// A file whose mesh block is written by `body`, for the damaged-file cases.
template <typename Body> std::vector<uint8_t> meshFile(Body body) {
    Builder3ds b;
    b.beginFile();
    b.begin(0x4000), b.str("Box"), b.begin(0x4100);
    body(b);
    return b.finish();
}

void vertices3(Builder3ds& b) {
    b.begin(0x4110), b.u16(3), b.vec(0, 0, 0), b.vec(1, 0, 0), b.vec(0, 1, 0), b.end();
}

TEST_F(Reader3dsDeath, DamagedFilesEndWithAReportNamingTheFault) {
    const std::string damaged = "The 3DS file \"scene.3ds\" is damaged !\n\n";
    auto expectDamage = [&](const std::vector<uint8_t>& file, const std::string& detail) {
        EXPECT_EXIT(load(file), testing::ExitedWithCode(1),
                    fatalPattern("3DS-FILE ERROR", damaged + detail));
    };
    expectDamage(meshFile([](Builder3ds& b) { b.u16(0x4110), b.u32(0); }),
                 "The chunk 0x4110 (vertex list) at byte 38 has the length 0, which is below "
                 "the 6 bytes of its header.");
    expectDamage(meshFile([](Builder3ds& b) { b.u16(0x4110), b.u32(1000), b.u16(0); }),
                 "The chunk 0x4110 (vertex list) at byte 38 has the length 1000 and runs past "
                 "the end of its parent chunk 0x4100 (triangular mesh) at byte 32 (14 bytes "
                 "long).");
    std::vector<uint8_t> pastEnd = meshFile(vertices3);
    pastEnd[2] += 6; // the main chunk claims a whole header more than the file has
    expectDamage(pastEnd, "The chunk 0x4D4D (main) at byte 0 has the length " +
                              std::to_string(pastEnd.size() + 6) +
                              " and runs past the end of the file (" +
                              std::to_string(pastEnd.size()) + " bytes).");
    expectDamage(meshFile([](Builder3ds& b) { b.begin(0x4110), b.u16(2), b.vec(0, 0, 0); }),
                 "The chunk 0x4110 (vertex list) at byte 38 holds 2 entries of 12 bytes, which "
                 "do not fit into its length of 20 bytes.");
    expectDamage(meshFile([](Builder3ds& b) {
                     vertices3(b);
                     b.begin(0x4120), b.u16(1), b.u16(0), b.u16(1), b.u16(3), b.u16(0);
                 }),
                 "The face 0 of the object \"Box\" uses the vertex 3, but the mesh has 3 "
                 "vertices.");
    expectDamage(meshFile([](Builder3ds& b) {
                     vertices3(b);
                     b.begin(0x4120), b.u16(1), b.u16(0), b.u16(1), b.u16(2), b.u16(0);
                     b.begin(0x4130), b.str("Mat"), b.u16(1), b.u16(1);
                 }),
                 "The material group \"Mat\" of the object \"Box\" uses the face 1, but the "
                 "mesh has 1 faces.");
    expectDamage(meshFile([](Builder3ds& b) {
                     vertices3(b);
                     b.begin(0x4120), b.u16(1), b.u16(0), b.u16(1), b.u16(2), b.u16(0);
                     b.begin(0x4150), b.u32(1), b.u32(1);
                 }),
                 "The chunk 0x4150 (smoothing groups) at byte 98 of the object \"Box\" holds 8 "
                 "bytes of smoothing masks, but its mesh has 1 faces (4 bytes).");
    Builder3ds orphan;
    orphan.beginFile();
    vertices3(orphan);
    expectDamage(orphan.finish(),
                 "The chunk 0x4110 (vertex list) at byte 22 belongs to no object block.");
    Builder3ds unterminated;
    unterminated.beginFile();
    unterminated.begin(0x4000), unterminated.u8('A'), unterminated.u8('B');
    expectDamage(unterminated.finish(), "The chunk 0x4000 (object block) at byte 22 holds a "
                                        "name without its terminating zero at offset 6.");
    Builder3ds deep;
    deep.beginFile();
    deep.mesh(quad("Box"));
    deep.endEditor();
    deep.beginKeyframer(0, 10);
    deep.beginNode(0xB002, "Box", -2);
    expectDamage(deep.finish(), "The keyframer node \"Box\" at byte 184 has the hierarchy "
                                "position -2, which is below -1.");
}

} // namespace
