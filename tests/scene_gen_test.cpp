// The demo's scene file: the names, hierarchy and timing the scenes rely on, sound meshes
// (indices in range, faces turned the right way), and agreement with another 3DS reader.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "support/test_support.h"
#include "tools/logo_mesh.h"
#include "tools/scene_gen.h"

namespace {

const Scene3ds& scene() {
    static const Scene3ds built = demoScene();
    return built;
}

const Mesh3ds* meshNamed(const std::string& name) {
    for (const Mesh3ds& m : scene().meshes)
        if (m.name == name) return &m;
    return nullptr;
}

// The name a keyframer node gives its object: dummies are named by their instance name.
std::string nodeObject(const KeyframeNode3ds& node) {
    return node.name == "$$$DUMMY" ? node.instanceName : node.name;
}

const KeyframeNode3ds* nodeOf(const std::string& object, uint16_t kind) {
    for (const KeyframeNode3ds& n : scene().nodes)
        if (nodeObject(n) == object && n.kind == kind) return &n;
    return nullptr;
}

std::string parentOf(const std::string& object) {
    for (const KeyframeNode3ds& n : scene().nodes)
        if (nodeObject(n) == object)
            return n.parent < 0 ? "" : nodeObject(scene().nodes[size_t(n.parent)]);
    return "?";
}

Vec3f sub(Vec3f a, Vec3f b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
Vec3f cross(Vec3f a, Vec3f b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double dot(Vec3f a, Vec3f b) {
    return double(a.x) * b.x + double(a.y) * b.y + double(a.z) * b.z;
}

struct Triangle {
    Vec3f a, b, c;
    Vec3f normal() const { return cross(sub(b, a), sub(c, a)); } // length: twice the area
    Vec3f centre() const {
        return {(a.x + b.x + c.x) / 3, (a.y + b.y + c.y) / 3, (a.z + b.z + c.z) / 3};
    }
};

std::vector<Triangle> trianglesOf(const Mesh3ds& mesh) {
    std::vector<Triangle> list;
    for (const Face3ds& f : mesh.faces)
        list.push_back({mesh.vertices[f.a], mesh.vertices[f.b], mesh.vertices[f.c]});
    return list;
}

// Volume enclosed by the faces, seen from `reference`; positive when they face outwards.
double enclosedVolume(const Mesh3ds& mesh, Vec3f reference) {
    double volume = 0;
    for (const Triangle& t : trianglesOf(mesh))
        volume += dot(sub(t.a, reference), cross(sub(t.b, reference), sub(t.c, reference))) / 6;
    return volume;
}

// Area of the faces that face -y (the front of extruded text).
double frontArea(const Mesh3ds& mesh) {
    double area = 0;
    for (const Triangle& t : trianglesOf(mesh)) {
        const Vec3f n = t.normal();
        const double length = std::sqrt(dot(n, n));
        if (length > 0 && n.y < -0.999 * length) area += length / 2;
    }
    return area;
}

size_t faceCount(const std::string& name) {
    const Mesh3ds* mesh = meshNamed(name);
    return mesh ? mesh->faces.size() : 0;
}

} // namespace

TEST(SceneFile, IsTheSameOnEveryRun) {
    const std::vector<uint8_t> first = buildDemoScene();
    const std::vector<uint8_t> second = buildDemoScene();
    ASSERT_GT(first.size(), 100000u);
    EXPECT_TRUE(first == second);
}

TEST(SceneFile, NamesTheScenesLookUpExistAndAreUnique) {
    std::set<std::string> names;
    auto add = [&](const std::string& name) {
        EXPECT_LE(name.size(), 10u) << name;
        EXPECT_TRUE(names.insert(name).second) << "duplicate " << name;
    };
    for (const Mesh3ds& m : scene().meshes) add(m.name);
    for (const Light3ds& l : scene().lights) add(l.name);
    for (const Camera3ds& c : scene().cameras) add(c.name);
    for (const KeyframeNode3ds& n : scene().nodes)
        if (n.name == "$$$DUMMY") add(n.instanceName);
    for (const char* needed : {"HALL", "LOGO", "INTRO", "kslogo", "kshead", "kslogol", "LW3logoA",
                               "LW3logoB", "Camera03", "Camera02"})
        EXPECT_TRUE(names.count(needed)) << needed;
}

TEST(SceneGeometry, MeshesAreWellFormed) {
    std::set<std::string> materials;
    for (const Material3ds& m : scene().materials) materials.insert(m.name);
    for (const Mesh3ds& mesh : scene().meshes) {
        SCOPED_TRACE(mesh.name);
        ASSERT_LT(mesh.vertices.size(), 65535u);
        EXPECT_EQ(mesh.uvs.size(), 2 * mesh.vertices.size());
        EXPECT_EQ(mesh.smoothing.size(), mesh.faces.size());
        std::vector<int> groupsOfFace(mesh.faces.size(), 0);
        for (const FaceGroup3ds& group : mesh.groups) {
            EXPECT_TRUE(materials.count(group.material)) << group.material;
            for (uint16_t f : group.faces) {
                ASSERT_LT(f, mesh.faces.size());
                ++groupsOfFace[f];
            }
        }
        EXPECT_EQ(std::count(groupsOfFace.begin(), groupsOfFace.end(), 1),
                  std::ptrdiff_t(mesh.faces.size()))
            << "every face belongs to exactly one material";
        for (const Face3ds& f : mesh.faces) {
            ASSERT_LT(std::max({f.a, f.b, f.c}), mesh.vertices.size());
        }
        for (const Triangle& t : trianglesOf(mesh)) {
            const Vec3f n = t.normal();
            ASSERT_GT(dot(n, n), 1e-14) << "degenerate triangle: its normal is undefined";
        }
        if (mesh.name.rfind("BM_", 0) == 0) {
            ASSERT_EQ(mesh.groups.size(), 1u);
            EXPECT_EQ(mesh.groups[0].material.rfind("NM_", 0), 0u);
        }
    }
}

TEST(SceneGeometry, TriangleBudgetsOfHallAndLogo) {
    size_t hall = 0;
    for (const Mesh3ds& m : scene().meshes) {
        if (parentOf(m.name) == "HALL") hall += m.faces.size();
    }
    EXPECT_GE(hall, 30000u);
    EXPECT_LE(hall, 60000u);
    const size_t logo = faceCount("kslogo") + faceCount("kshead");
    EXPECT_GE(logo, 1500u);
    EXPECT_LE(logo, 6000u);
    EXPECT_GT(faceCount("LW3logoA"), 300u);
    EXPECT_GT(faceCount("LW3logoB"), 300u);
}

TEST(SceneGeometry, SolidsFaceOutwardsAndTheShellFacesIn) {
    // Extruded text: the enclosed volume equals the front area times the depth only when the
    // front, back and side faces all point outwards.
    for (const char* name : {"kslogo", "LW3logoA", "LW3logoB"}) {
        const Mesh3ds* mesh = meshNamed(name);
        ASSERT_TRUE(mesh) << name;
        float low = 1e9f, high = -1e9f;
        for (const Vec3f& v : mesh->vertices) low = std::min(low, v.y), high = std::max(high, v.y);
        const double expected = frontArea(*mesh) * double(high - low);
        EXPECT_GT(expected, 0) << name;
        EXPECT_NEAR(enclosedVolume(*mesh, mesh->origin), expected, expected * 1e-3) << name;
    }
    EXPECT_GT(enclosedVolume(*meshNamed("kshead"), meshNamed("kshead")->origin), 0);

    // An arch is open only on its springing plane, so its volume seen from a point of that
    // plane is the half ring's: pi/2 (outer^2 - inner^2) width.
    const double archVolume = 3.14159265 / 2 * (6.4 * 6.4 - 5.6 * 5.6) * 0.8;
    EXPECT_NEAR(enclosedVolume(*meshNamed("ArchT1"), {0, 6, 9}), archVolume, archVolume * 0.01);

    // Pillars and plinth face away from their vertical axis.
    for (const char* name : {"BM_PilL1", "BM_PilR7", "Plinth"}) {
        const Mesh3ds* mesh = meshNamed(name);
        for (const Triangle& t : trianglesOf(*mesh)) {
            const Vec3f c = t.centre();
            EXPECT_GE(dot(t.normal(), {c.x - mesh->origin.x, c.y - mesh->origin.y, 0}), -1e-6)
                << name;
        }
    }
    // Floor, walls, vault and end walls are seen from inside the hall.
    for (const Mesh3ds& mesh : scene().meshes) {
        const std::string& n = mesh.name;
        if (n.rfind("Floor", 0) && n.rfind("Wall", 0) && n.rfind("Vault", 0)) continue;
        for (const Triangle& t : trianglesOf(mesh))
            ASSERT_GT(dot(t.normal(), sub({0, 30, 9}, t.centre())), 0) << n;
    }
}

namespace {

// The hierarchy as a reader builds it that takes the parent field as the depth below the
// starting node: a deeper value enters the last child added, a shallower one returns to the
// parent recorded for that depth.
std::map<std::string, std::string> depthWalkParents(const std::vector<KeyframeNode3ds>& nodes) {
    std::vector<std::vector<std::string>> children(1); // tree node 0: the starting node
    std::vector<std::string> treeName{""};
    std::map<std::string, size_t> treeNodeOf;
    std::map<std::string, std::string> parents;
    std::vector<size_t> stack;
    size_t current = 0;
    int previous = -1;
    for (const KeyframeNode3ds& node : nodes) {
        const int depth = node.parent;
        if (depth < previous) {
            current = stack[size_t(depth + 1)];
        } else if (depth > previous && !children[current].empty()) {
            current = treeNodeOf[children[current].back()];
        }
        previous = depth;
        if (stack.size() < size_t(depth + 2)) stack.resize(size_t(depth + 2));
        stack[size_t(depth + 1)] = current;
        const std::string object = nodeObject(node);
        if (treeNodeOf.count(object)) continue;
        treeNodeOf[object] = children.size();
        children.emplace_back();
        treeName.push_back(object);
        children[current].push_back(object);
        parents[object] = treeName[current];
    }
    return parents;
}

} // namespace

TEST(SceneHierarchy, BranchesHoldTheirParts) {
    EXPECT_EQ(parentOf("HALL"), "");
    EXPECT_EQ(parentOf("LOGO"), "HALL");
    EXPECT_EQ(parentOf("kslogo"), "LOGO");
    EXPECT_EQ(parentOf("kshead"), "LOGO");
    EXPECT_EQ(parentOf("INTRO"), "");
    EXPECT_EQ(parentOf("LW3logoA"), "INTRO");
    EXPECT_EQ(parentOf("LW3logoB"), "INTRO");
    EXPECT_EQ(parentOf("BM_PilL3"), "HALL");
    // kslogol stays outside the hall's branch, so that it lights every branch.
    EXPECT_EQ(parentOf("kslogol"), "");

    int hallLights = 0, topLights = 0;
    for (const Light3ds& l : scene().lights) {
        hallLights += parentOf(l.name) == "HALL";
        topLights += parentOf(l.name).empty();
    }
    EXPECT_GE(hallLights, 3);
    EXPECT_LE(hallLights + topLights, 8) << "the renderer sets up at most eight lights per object";

    std::set<std::string> placed;
    for (const KeyframeNode3ds& n : scene().nodes) placed.insert(nodeObject(n));
    for (const Mesh3ds& m : scene().meshes) EXPECT_TRUE(placed.count(m.name)) << m.name;
    for (const Light3ds& l : scene().lights) EXPECT_TRUE(placed.count(l.name)) << l.name;
}

TEST(SceneHierarchy, ParentIdsAndDepthReadingAgree) {
    // The parent field holds the parent's node id; readers that take it as a depth must
    // arrive at the same tree, which holds for this node order.
    const std::vector<KeyframeNode3ds>& nodes = scene().nodes;
    for (size_t i = 0; i < nodes.size(); ++i) EXPECT_LT(nodes[i].parent, int(i));
    const std::map<std::string, std::string> walked = depthWalkParents(nodes);
    for (const auto& [object, parent] : walked) EXPECT_EQ(parent, parentOf(object)) << object;
    EXPECT_EQ(walked.size(),
              scene().meshes.size() + scene().lights.size() + scene().cameras.size() + 3);
}

namespace {

// Points along a position track as the engine's Hermite spline with tension, continuity and
// bias produces them.
std::vector<Vec3f> splinePoints(const std::vector<PositionKey3ds>& keys, int steps) {
    const size_t n = keys.size();
    std::vector<Vec3f> in(n), out(n);
    auto scale = [](Vec3f v, float s) { return Vec3f{v.x * s, v.y * s, v.z * s}; };
    auto add = [](Vec3f a, Vec3f b) { return Vec3f{a.x + b.x, a.y + b.y, a.z + b.z}; };
    for (size_t i = 1; i + 1 < n; ++i) {
        const Tcb& k = keys[i].tcb;
        const Vec3f a = scale(sub(keys[i].position, keys[i - 1].position), 1 + k.bias);
        const Vec3f b = scale(sub(keys[i + 1].position, keys[i].position), 1 - k.bias);
        in[i] = scale(add(a, scale(sub(b, a), (1 + k.continuity) / 2)), 1 - k.tension);
        out[i] = scale(add(a, scale(sub(b, a), (1 - k.continuity) / 2)), 1 - k.tension);
    }
    const Vec3f first = sub(keys[1].position, keys[0].position);
    out[0] = scale(sub(scale(first, 1.5f), scale(in[1], 0.5f)), 1 - keys[0].tcb.tension);
    const Vec3f last = sub(keys[n - 1].position, keys[n - 2].position);
    in[n - 1] = scale(sub(scale(last, 1.5f), scale(out[n - 2], 0.5f)), 1 - keys[n - 1].tcb.tension);
    std::vector<Vec3f> points;
    for (size_t i = 0; i + 1 < n; ++i) {
        for (int s = 0; s < steps; ++s) {
            const float u = float(s) / float(steps), u2 = u * u, u3 = u2 * u;
            points.push_back(add(add(scale(keys[i].position, 2 * u3 - 3 * u2 + 1),
                                     scale(keys[i + 1].position, 3 * u2 - 2 * u3)),
                                 add(scale(out[i], u3 - 2 * u2 + u), scale(in[i + 1], u3 - u2))));
        }
    }
    return points;
}

} // namespace

TEST(SceneAnimation, CamerasCoverTheirScenes) {
    const KeyframeNode3ds* flight = nodeOf("Camera03", kNodeCamera);
    const KeyframeNode3ds* flightTarget = nodeOf("Camera03", kNodeCameraTarget);
    const KeyframeNode3ds* orbit = nodeOf("Camera02", kNodeCamera);
    const KeyframeNode3ds* orbitTarget = nodeOf("Camera02", kNodeCameraTarget);
    ASSERT_TRUE(flight && flightTarget && orbit && orbitTarget);
    EXPECT_EQ(flight->positionKeys.front().frame, 0u);
    EXPECT_EQ(flight->positionKeys.back().frame, 4500u);
    EXPECT_EQ(orbit->positionKeys.back().frame, 6000u);
    EXPECT_GE(scene().frameEnd, 6000u) << "tracks are clamped to the frame range";
    EXPECT_GT(flightTarget->positionKeys.size(), 1u);
    EXPECT_GT(orbitTarget->positionKeys.size(), 1u);
    bool tension = false, continuity = false, bias = false;
    for (const PositionKey3ds& k : flight->positionKeys) {
        tension |= k.tcb.tension != 0;
        continuity |= k.tcb.continuity != 0;
        bias |= k.tcb.bias != 0;
    }
    EXPECT_TRUE(tension && continuity && bias);

    // The flight ends a few units in front of the logo, looking at it.
    const Vec3f eye = flight->positionKeys.back().position;
    const Vec3f look = flightTarget->positionKeys.back().position;
    const Vec3f logo = meshNamed("kslogo")->origin;
    EXPECT_LT(std::sqrt(dot(sub(look, logo), sub(look, logo))), 0.5);
    EXPECT_GT(logo.y - eye.y, 5);
    EXPECT_LT(logo.y - eye.y, 12);

    // The stars fall from the logo's light and its flares spin there: it stays near the logo
    // but below its letters, so that they can be read.
    const KeyframeNode3ds* light = nodeOf("kslogol", kNodeOmni);
    ASSERT_TRUE(light);
    EXPECT_GT(light->positionKeys.size(), 1u);
    float lettersBottom = 1e9f;
    for (const Vec3f& v : meshNamed("kslogo")->vertices)
        lettersBottom = std::min(lettersBottom, v.z);
    for (const PositionKey3ds& k : light->positionKeys) {
        EXPECT_LT(std::sqrt(dot(sub(k.position, logo), sub(k.position, logo))), 3.0);
        EXPECT_LT(k.position.z, lettersBottom - 0.5f);
        EXPECT_LE(k.frame, 4500u);
    }
}

// Bump mapping lights a pillar by the first light of its list: the first top-level light in
// node order. It must shine on the sides the flight sees, which face the entrance (the camera
// looks towards +y), and from above the camera's path, or the pillars' relief stays dark.
TEST(SceneHierarchy, PillarsAreBumpLitFromTheCamerasSide) {
    const KeyframeNode3ds* first = nullptr;
    for (const KeyframeNode3ds& n : scene().nodes)
        if ((n.kind == kNodeOmni || n.kind == kNodeSpot) && n.parent < 0) {
            first = &n;
            break;
        }
    ASSERT_TRUE(first);
    const Vec3f lamp = first->positionKeys.front().position;
    const std::vector<Vec3f> path = splinePoints(nodeOf("Camera03", kNodeCamera)->positionKeys, 8);
    for (const Mesh3ds& m : scene().meshes) {
        if (m.name.rfind("BM_", 0) != 0) continue;
        SCOPED_TRACE(m.name);
        EXPECT_LT(lamp.y, m.origin.y - 3);
    }
    for (const Vec3f& p : path) EXPECT_GT(lamp.z, p.z);
}

TEST(SceneAnimation, FlightKeepsClearOfTheHall) {
    const std::vector<Vec3f> path = splinePoints(nodeOf("Camera03", kNodeCamera)->positionKeys, 40);
    for (const Vec3f& p : path) {
        SCOPED_TRACE(testing::Message() << p.x << " " << p.y << " " << p.z);
        ASSERT_LT(std::fabs(p.x), 7.0f);
        ASSERT_GT(p.y, 0.5f);
        ASSERT_LT(p.y, 55.0f);
        ASSERT_GT(p.z, 1.0f);
        ASSERT_LT(p.z, 14.0f);
        for (int row = 0; row < 7; ++row) { // pillars and the arches on them
            const float dy = p.y - (6 + 7 * float(row));
            ASSERT_GT(std::hypot(std::fabs(p.x) - 6, dy), 1.4f);
            if (std::fabs(dy) < 1) {
                ASSERT_LT(std::hypot(p.x, std::max(p.z - 9, 0.0f)), 5.0f);
            }
        }
        if (std::fabs(p.y - 34) < 0.5f) {
            ASSERT_LT(std::fabs(p.x), 2.2f) << "glass screens";
        }
    }
}

TEST(SceneTextures, ListsMapsAndDerivedNormalMaps) {
    EXPECT_EQ(normalMapName("Pillar.jpg"), "Pillar_NM.PNG");
    EXPECT_EQ(normalMapName("wall.png"), "wall_NM.PNG");
    const std::vector<std::string> names = demoSceneTextureNames();
    EXPECT_EQ(names, (std::vector<std::string>{"Tiles.jpg", "Stone.jpg", "Vault.jpg", "Pillar.jpg",
                                               "Pillar_NM.PNG", "Arch.jpg", "Metal.jpg",
                                               "Glass.png", "Zorx.jpg", "ZorxEdge.jpg"}));
    bool shiny = false, transparent = false;
    for (const Material3ds& m : scene().materials) {
        shiny |= m.name.rfind("ENV_", 0) == 0 && !m.mapFile.empty();
        transparent |= m.transparencyPercent > 0 && m.transparencyPercent < 100;
    }
    EXPECT_TRUE(shiny && transparent);
}

TEST(LogoMesh, LettersKeepTheirHoles) {
    Mesh3ds mesh;
    std::string error;
    ASSERT_TRUE(extrudeText({kLogoFont, "O", 2, 0.5f, 8, "F", "S"}, mesh, error)) << error;
    ASSERT_FALSE(mesh.faces.empty());
    // The middle of the O lies in its counter: no front face covers it.
    for (const Triangle& t : trianglesOf(mesh)) {
        if (t.normal().y >= 0) continue;
        auto side = [](Vec3f p, Vec3f q) {
            return (q.x - p.x) * (0 - p.z) - (q.z - p.z) * (0 - p.x);
        };
        const bool inside = side(t.a, t.b) > 0 && side(t.b, t.c) > 0 && side(t.c, t.a) > 0;
        EXPECT_FALSE(inside);
    }
    EXPECT_EQ(mesh.groups.size(), 2u);

    Mesh3ds blank;
    EXPECT_TRUE(extrudeText({kLogoFont, "  ", 2, 0.5f, 8, "F", "S"}, blank, error));
    EXPECT_TRUE(blank.faces.empty());
    EXPECT_FALSE(extrudeText({"/nonexistent/font.ttf", "A", 2, 0.5f, 8, "F", "S"}, blank, error));
    EXPECT_NE(error.find("/nonexistent/font.ttf"), std::string::npos);
}

namespace {

// The parts of an XML scene dump the comparison needs: nodes with their parents and the face
// count of the meshes they refer to.
struct DumpedNode {
    std::string parent;
    size_t faces = 0;
};

std::map<std::string, DumpedNode> readDump(const std::string& path) {
    std::ifstream in(path);
    std::vector<size_t> meshFaces;
    std::vector<std::pair<std::string, std::vector<size_t>>> nodes; // name, mesh refs
    std::vector<std::string> parents, open;
    std::string line;
    bool inRefs = false;
    while (std::getline(in, line)) {
        const size_t name = line.find("<Node name=\"");
        if (name != std::string::npos) {
            const size_t start = name + 12;
            nodes.push_back({line.substr(start, line.find('"', start) - start), {}});
            parents.push_back(open.empty() ? "" : open.back());
            open.push_back(nodes.back().first);
        } else if (line.find("</Node>") != std::string::npos) {
            open.pop_back();
        } else if (line.find("<MeshRefs") != std::string::npos) {
            inRefs = true;
        } else if (line.find("</MeshRefs>") != std::string::npos) {
            inRefs = false;
        } else if (inRefs) {
            std::istringstream refs(line);
            for (size_t ref; refs >> ref;) nodes.back().second.push_back(ref);
        } else if (line.find("<FaceList num=\"") != std::string::npos) {
            meshFaces.push_back(std::stoul(line.substr(line.find('"') + 1)));
        }
    }
    std::map<std::string, DumpedNode> result;
    for (size_t i = 0; i < nodes.size(); ++i) {
        DumpedNode& node = result[nodes[i].first];
        node.parent = parents[i];
        for (size_t ref : nodes[i].second)
            node.faces += ref < meshFaces.size() ? meshFaces[ref] : 0;
    }
    return result;
}

} // namespace

TEST(SceneFile, AnotherReaderSeesTheSameObjectsAndTree) {
    if (std::system("assimp version > /dev/null 2>&1") != 0) GTEST_SKIP() << "assimp not installed";
    TempDir dir;
    const std::vector<uint8_t> bytes = buildDemoScene();
    writeWholeFile(dir.file("Film_03.3ds"), std::vector<unsigned char>(bytes.begin(), bytes.end()));
    const std::string command = "assimp dump '" + dir.file("Film_03.3ds") + "' '" +
                                dir.file("dump.xml") + "' -s > /dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const std::map<std::string, DumpedNode> dumped = readDump(dir.file("dump.xml"));

    for (const Mesh3ds& m : scene().meshes) {
        ASSERT_TRUE(dumped.count(m.name)) << m.name;
        EXPECT_EQ(dumped.at(m.name).faces, m.faces.size()) << m.name;
    }
    std::set<std::string> objects;
    for (const KeyframeNode3ds& n : scene().nodes) objects.insert(nodeObject(n));
    for (const std::string& object : objects) {
        ASSERT_TRUE(dumped.count(object)) << object;
        const std::string parent = parentOf(object);
        EXPECT_EQ(dumped.at(object).parent, parent.empty() ? "&lt;3DSRoot&gt;" : parent) << object;
    }
}
