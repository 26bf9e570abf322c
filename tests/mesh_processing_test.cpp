#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "platform/system/failure.h"
#include "platform/system/memory.h"
#include "resources/textures.h"
#include "scene/loading_log.h"
#include "scene/mesh_processing.h"
#include "scene_fixtures.h"

struct SmoothingTest : testing::Test {
    SceneObject object;
    MeshLod& mesh = object.lods[0];
    std::vector<uint8_t> records;
    uint32_t before = memoryState.accountedBytes;
    static inline std::vector<std::string> lines;

    void SetUp() override {
        lines.clear();
        loadingLog.addLine = [](std::string_view line) { lines.emplace_back(line); };
    }
    void TearDown() override {
        loadingLog = LoadingLog{};
        releaseLodArrays(mesh);
        freeFaceGroups(mesh);
        EXPECT_EQ(memoryState.accountedBytes, before);
    }
    void load(const std::vector<Vec3>& vertices, const std::vector<Face>& faces) {
        setVertices(mesh, vertices);
        setFaces(mesh, faces);
        resizeArray(mesh.normals, 0, mesh.vertexCount);
        resizeArray(mesh.baseNormals, 0, mesh.vertexCount);
        mesh.normalCount = mesh.vertexCount;
        records = faceRecords(faces);
    }
    void smooth(const std::vector<uint32_t>& masks) {
        std::vector<uint8_t> maskBytes = maskRecords(masks);
        std::vector<uint8_t> recordsBefore = records;
        applySmoothingGroups(object, mesh, maskBytes.data());
        EXPECT_EQ(records, recordsBefore) << "the file's face records are only read";
    }
};

TEST_F(SmoothingTest, CubeWithOneGroupPerSideGets24FlatVertices) {
    load(cubeVertices(), cubeFaces());
    resizeArray(mesh.unitTexCoords[0], 0, 8);
    mesh.texCoordCount = 8;
    for (int i = 0; i < 8; i++) mesh.unitTexCoords[0][i] = {float(i), 0};
    FaceGroup* group = addFaceGroup(mesh, 1);
    group->faceIndices[0] = 11;
    smooth({1, 1, 2, 2, 4, 4, 8, 8, 16, 16, 32, 32});

    EXPECT_EQ(mesh.vertexCount, 24u);
    EXPECT_EQ(mesh.normalCount, 24u);
    EXPECT_EQ(mesh.texCoordCount, 24u);
    EXPECT_EQ(object.smoothingUsed, 1);
    for (uint32_t f = 0; f < 12; f++) {
        Vec3 n =
            crossProduct(mesh.vertices[mesh.faces[f].v[1]] - mesh.vertices[mesh.faces[f].v[0]],
                         mesh.vertices[mesh.faces[f].v[2]] - mesh.vertices[mesh.faces[f].v[0]]);
        n.normalise();
        for (int k = 0; k < 3; k++) {
            int32_t v = mesh.faces[f].v[k];
            EXPECT_NEAR(mesh.normals[v].dot(n), 1.0f, 1e-5f) << f;
            // Copies keep the position and texture coordinates of their original vertex.
            const Vec3& p = mesh.vertices[v];
            int original = (p.x > 0) | (p.y > 0) << 1 | (p.z > 0) << 2;
            EXPECT_EQ(mesh.unitTexCoords[0][v].u, float(original));
        }
    }
    EXPECT_EQ(group->faceVertices[0].v[1], mesh.faces[11].v[1]);
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "Smoothing groups found !",
                         "...building face and vertex normals using smoothing groups",
                         "...increasing mesh data arrays to hold maximum possible vertex count",
                         "...filling new array fields and updating face indices",
                         "...decreasing mesh data arrays to hold optimized minimal vertex count",
                         "...updating face descriptor arrays"}));
}

TEST_F(SmoothingTest, CubeInOneGroupKeepsEightAndMaskZeroSplitsEveryCorner) {
    load(cubeVertices(), cubeFaces());
    smooth(std::vector<uint32_t>(12, 1));
    EXPECT_EQ(mesh.vertexCount, 8u);
    EXPECT_EQ(mesh.unitTexCoords[0], nullptr); // no coordinates: only the count follows
    EXPECT_EQ(mesh.texCoordCount, 8u);
    for (uint32_t v = 0; v < 8; v++) {
        const Vec3& n = mesh.normals[v];
        const Vec3& p = mesh.vertices[v];
        EXPECT_NEAR(n.length(), 1.0f, 1e-5f);
        EXPECT_GT(n.x * p.x, 0.0f);
        EXPECT_GT(n.y * p.y, 0.0f);
        EXPECT_GT(n.z * p.z, 0.0f);
    }
    releaseLodArrays(mesh);
    mesh = MeshLod{};
    load(cubeVertices(), cubeFaces());
    smooth(std::vector<uint32_t>(12, 0));
    EXPECT_EQ(mesh.vertexCount, 36u);
}

TEST_F(SmoothingTest, OverlappingMasksJoinTheFirstMatchingRegion) {
    // Three triangles round vertex 0 with masks 1, 2, 3.
    load({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {-1, 0, 0}, {0, -1, 0}},
         {{{0, 1, 2}}, {{0, 2, 3}}, {{0, 3, 4}}});
    smooth({1, 2, 3});
    EXPECT_EQ(mesh.faces[0].v[0], 0);
    EXPECT_EQ(mesh.faces[2].v[0], 0); // 1 AND 3 is not 0
    EXPECT_NE(mesh.faces[1].v[0], 0);
    // Vertex 2 lies between masks 1 and 2 as well; vertex 3 between 2 and 3 (shared).
    EXPECT_EQ(mesh.vertexCount, 7u);
    EXPECT_EQ(mesh.faces[1].v[2], mesh.faces[2].v[1]);
}

TEST_F(SmoothingTest, UnusedVerticesAndWideIndicesStayInBounds) {
    // Ten vertices, three mask-0 faces over the first three: 10 + 6 vertices, more than the
    // 3 x 3 corners the worst case assumes.
    std::vector<Vec3> points(10, Vec3{});
    points[1] = {1, 0, 0}, points[2] = {0, 1, 0};
    load(points, {{{0, 1, 2}}, {{0, 1, 2}}, {{0, 1, 2}}});
    smooth({0, 0, 0});
    EXPECT_EQ(mesh.vertexCount, 16u);
    EXPECT_EQ(mesh.faces[2].v[2], 15);

    releaseLodArrays(mesh);
    mesh = MeshLod{};
    // 22,000 flat faces in a fan strip become 66,000 vertices: past what 16-bit records hold.
    std::vector<Vec3> strip;
    std::vector<Face> faces;
    for (int32_t i = 0; i < 22002; i++) strip.push_back({float(i), float(i % 2), 0});
    for (int32_t f = 0; f < 22000; f++) faces.push_back({{f, f + 1, f + 2}});
    load(strip, faces);
    smooth(std::vector<uint32_t>(faces.size(), 0));
    EXPECT_EQ(mesh.vertexCount, 66000u);
    int32_t highest = 0;
    for (int32_t f = 0; f < 22000; f++) {
        for (int k = 0; k < 3; k++) {
            int32_t v = mesh.faces[f].v[k];
            highest = std::max(highest, v);
            ASSERT_EQ(mesh.vertices[v].x, float(f + k));
        }
    }
    EXPECT_EQ(highest, 65999);
}

TEST_F(SmoothingTest, BumpMappedObjectsSplitTheirTangentFrames) {
    object.name = "BM_pillar";
    load(cubeVertices(), cubeFaces());
    resizeArray(mesh.unitTexCoords[0], 0, 8);
    mesh.texCoordCount = 8;
    for (int i = 0; i < 8; i++) mesh.unitTexCoords[0][i] = {float(i & 1), float((i >> 1) & 1)};
    buildTangentFrames(mesh);
    smooth({1, 1, 2, 2, 4, 4, 8, 8, 16, 16, 32, 32});
    ASSERT_EQ(mesh.vertexCount, 24u);
    for (uint32_t i = 0; i < 24; i++) {
        const TangentFrame& f = mesh.tangentFrames[i];
        EXPECT_NEAR(f.normal.dot(mesh.normals[i]), 1.0f, 1e-5f);
        EXPECT_EQ(f.worldNormal.x, f.normal.x);
    }
}

TEST(MeshProcessing, VertexNormalsWeighFacesByArea) {
    Vec3 vertices[] = {{0, 0, 0}, {4, 0, 0}, {0, 4, 0}, {0, 0, 1}, {0, 0, 0}};
    Face faces[] = {{{0, 1, 2}}, {{0, 3, 1}}, {{4, 4, 4}}, {{0, 1, 9}}};
    Vec3 normals[5];
    buildVertexNormals(vertices, faces, 4, 5, normals);
    // Face 0 (area 8, +z) outweighs face 1 (area 2, -y) at vertices 0 and 1.
    EXPECT_NEAR(normals[0].z, 16.0f / std::sqrt(16.0f * 16 + 4 * 4), 1e-5f);
    EXPECT_NEAR(normals[2].z, 1.0f, 1e-6f);
    EXPECT_TRUE(normals[4].isZero()); // degenerate face, out-of-range face left out
}

TEST(MeshProcessing, FaceFrameTurnsTangentAndBinormalOnANegativeTripleProduct) {
    MeshLod mesh;
    setVertices(mesh, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
    setFaces(mesh, {{{1, 2, 0}}});
    resizeArray(mesh.unitTexCoords[0], 0, 3);
    mesh.texCoordCount = 3;
    mesh.unitTexCoords[0][1] = {1, 0};
    mesh.unitTexCoords[0][2] = {0, 1};
    // Before the sign test tangent = (-1, 0, 0), binormal = (0, 1, 0), normal = (0, 0, 1): the
    // negative triple product turns tangent and binormal round.
    TangentFrame f = buildFaceFrame(mesh, 0);
    EXPECT_NEAR(f.tangent.x, 1.0f, 1e-6f);
    EXPECT_NEAR(f.binormal.y, -1.0f, 1e-6f);
    EXPECT_NEAR(f.normal.z, 1.0f, 1e-6f);
    EXPECT_EQ(f.worldTangent.x, f.tangent.x);
    freeArray(mesh.unitTexCoords[0], 3);
    TangentFrame bare = buildFaceFrame(mesh, 0); // no coordinates: no tangent
    EXPECT_TRUE(bare.tangent.isZero());
    releaseLodArrays(mesh);
}

TEST(MeshProcessing, BumpMappingShiftsUnitsUpByTwo) {
    static auto dot3a = [](int32_t, int32_t) {};
    static auto dot3b = [](int32_t, int32_t) {};
    static auto dot3c = [](int32_t, int32_t) {};
    meshState.bumpModes[0] = dot3a, meshState.bumpModes[1] = dot3b, meshState.bumpModes[2] = dot3c;
    textureState.normalisationCubeMap = 77;
    SceneObject object;
    MeshLod& mesh = object.lods[0];
    setVertices(mesh, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
    resizeArray(mesh.unitTexCoords[0], 0, 3);
    mesh.texCoordCount = 3;
    TexCoord* original = mesh.unitTexCoords[0];
    FaceGroup* group = addFaceGroup(mesh, 0);
    group->unitEnabled[0] = 1;
    group->unitTexture[0] = 5;
    group->unitEnvMapped[0] = 1;
    group->normalMapTexture = 6;
    TexCoord* copy = nullptr;
    resizeArray(copy, 0, 3);
    prepareBumpMapping(mesh, copy);
    EXPECT_EQ(group->unitTexture[2], 5u);
    EXPECT_EQ(group->unitEnabled[2], 1);
    EXPECT_EQ(group->unitEnvMapped[0], 1); // stays where it was
    EXPECT_EQ(group->unitTexture[0], 6u);
    EXPECT_EQ(group->unitTexture[1], 77u);
    EXPECT_EQ(group->unitTarget[1], kGLTextureCubeMap);
    EXPECT_EQ(group->unitEnvSetup[1], meshState.bumpModes[1]);
    EXPECT_EQ(mesh.unitTexCoords[2], original);
    EXPECT_EQ(mesh.unitTexCoords[0], copy);
    EXPECT_EQ(mesh.unitVectors[1], mesh.bumpVectors);
    EXPECT_EQ(mesh.unitFlags[1], 1);

    failureState.batch = true;
    meshState.textureUnits = 3; // two enabled units leave no room below 3 - 2
    group->unitEnabled[1] = 1;
    EXPECT_EXIT(prepareBumpMapping(mesh, nullptr), testing::ExitedWithCode(1),
                "fatal\tINTERNAL ERROR\tNo texture units free for DOT3 BumpMapping !");
    meshState = MeshState{};
    uint32_t held = memoryState.accountedBytes;
    releaseLodArrays(mesh);
    freeFaceGroups(mesh);
    EXPECT_LT(memoryState.accountedBytes, held);
}

TEST(MeshProcessing, BoundsOfNoPointsAreZero) {
    EXPECT_TRUE(boxCenter(nullptr, 0).isZero());
    EXPECT_EQ(radiusAbout(nullptr, 0, Vec3{1, 1, 1}), 0.0f);
    Vec3 points[] = {{-1, 0, 5}, {3, 2, 5}, {1, 1, 9}};
    Vec3 c = boxCenter(points, 3);
    EXPECT_EQ(c.x, 1.0f);
    EXPECT_EQ(c.z, 7.0f);
    EXPECT_NEAR(radiusAbout(points, 3, c), std::sqrt(4.0f + 1 + 4), 1e-5f);
}
