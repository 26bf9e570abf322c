// The demo's scene. The file's coordinates are used throughout: x across the hall, y along it
// (the camera flies toward +y), z up. The hall runs from y = 0 to 60 between walls at x = -8
// and 8; the logo stands on its plinth near the far end at y = 56.
#include "tools/scene_gen.h"

#include <cmath>

#include "platform/system/failure.h"
#include "tools/logo_mesh.h"
#include "tools/mesh_builder.h"

namespace {

constexpr float kPi = 3.14159265f;
constexpr float kHalfWidth = 8, kLength = 60, kWallHeight = 10, kVaultRadius = 8;
constexpr int kSections = 4; // floor, walls and vault in pieces, so each can be culled
constexpr int kPillarsPerRow = 7;
constexpr float kPillarX = 6, kFirstPillarY = 6, kPillarSpacing = 7, kPillarHeight = 9;
const Vec3f kLogoCentre{0, 56, 4.6f};
const Vec3f kIntroCentre{0, -150, 4};
const char* const kEntryLamp = "LampEntry";
const Vec3f kEntryLampPlace{-3, 0.6f, 8.6f}; // high by the door, behind the camera's start
constexpr uint32_t kLastFrame = 6000;        // the second scene's 60 s; the first uses 0 .. 4500

Material3ds material(const std::string& name, Rgb8 diffuse, Rgb8 specular, uint16_t shininess,
                     const std::string& mapFile) {
    Material3ds m;
    m.name = name;
    m.ambient = {uint8_t(diffuse.r / 5), uint8_t(diffuse.g / 5), uint8_t(diffuse.b / 5)};
    m.diffuse = diffuse;
    m.specular = specular;
    m.shininessPercent = shininess;
    m.mapFile = mapFile;
    return m;
}

std::vector<Material3ds> sceneMaterials() {
    std::vector<Material3ds> list = {
        material("Tiles", {205, 200, 195}, {70, 70, 70}, 25, "Tiles.jpg"),
        material("Stone", {210, 198, 182}, {25, 25, 25}, 5, "Stone.jpg"),
        material("Vault", {190, 190, 205}, {20, 20, 30}, 5, "Vault.jpg"),
        material("NM_Pillar", {230, 225, 215}, {90, 90, 90}, 30, "Pillar.jpg"),
        material("Arch", {215, 205, 190}, {40, 40, 40}, 10, "Arch.jpg"),
        material("ENV_Metal", {200, 205, 215}, {255, 255, 255}, 85, "Metal.jpg"),
        material("Glass", {170, 200, 235}, {255, 255, 255}, 90, "Glass.png"),
        // The hall's logo glows wherever it is brighter than 0.7, and its sphere map is added
        // to the lit colour: dark materials, so that only the reflected lamps glow.
        material("LogoChrome", {32, 35, 42}, {110, 115, 130}, 100, ""),
        material("Emblem", {64, 50, 30}, {255, 240, 200}, 70, ""),
        material("ZorxFace", {235, 235, 240}, {255, 255, 255}, 60, "Zorx.jpg"),
        material("ZorxEdge", {60, 62, 70}, {120, 120, 120}, 30, "ZorxEdge.jpg"),
        material("ZorxPlate", {120, 130, 150}, {120, 120, 120}, 30, ""),
    };
    for (Material3ds& m : list) {
        if (m.name == "Glass") {
            m.transparencyPercent = 45;
            m.twoSided = true;
        }
    }
    return list;
}

Mesh3ds namedMesh(const std::string& name) {
    Mesh3ds mesh;
    mesh.name = name;
    return mesh;
}

std::string numbered(const char* stem, int number) {
    return stem + std::to_string(number);
}

// Floor, side walls and barrel vault, in sections along the hall; the two end walls.
void addShell(std::vector<Mesh3ds>& meshes) {
    const float section = kLength / kSections;
    for (int i = 0; i < kSections; ++i) {
        const float y0 = section * float(i);
        Mesh3ds floor = namedMesh(numbered("Floor", i + 1));
        addPatch(floor, {-kHalfWidth, y0, 0}, {2 * kHalfWidth, 0, 0}, {0, section, 0}, 24, 24, 0.5f,
                 1, "Tiles");
        Mesh3ds left = namedMesh(numbered("WallL", i + 1));
        addPatch(left, {-kHalfWidth, y0, 0}, {0, section, 0}, {0, 0, kWallHeight}, 24, 12, 0.25f, 1,
                 "Stone");
        Mesh3ds right = namedMesh(numbered("WallR", i + 1));
        addPatch(right, {kHalfWidth, y0 + section, 0}, {0, -section, 0}, {0, 0, kWallHeight}, 24,
                 12, 0.25f, 1, "Stone");
        Mesh3ds vault = namedMesh(numbered("Vault", i + 1));
        addSurface(vault, 28, 24, 1, "Vault", [&](float s, float t) {
            const float angle = kPi * s;
            return SurfacePoint{{kVaultRadius * std::cos(angle), y0 + section * t,
                                 kWallHeight + kVaultRadius * std::sin(angle)},
                                s * 6,
                                (y0 + section * t) * 0.25f};
        });
        for (Mesh3ds* mesh : {&floor, &left, &right, &vault}) {
            centreOrigin(*mesh);
            meshes.push_back(std::move(*mesh));
        }
    }
    // The end walls reach up to the vault's crown; what lies outside the vault is hidden.
    const float top = kWallHeight + kVaultRadius;
    Mesh3ds entry = namedMesh("WallEntry");
    addPatch(entry, {kHalfWidth, 0, 0}, {-2 * kHalfWidth, 0, 0}, {0, 0, top}, 24, 18, 0.25f, 1,
             "Stone");
    Mesh3ds end = namedMesh("WallEnd");
    addPatch(end, {-kHalfWidth, kLength, 0}, {2 * kHalfWidth, 0, 0}, {0, 0, top}, 24, 18, 0.25f, 1,
             "Stone");
    for (Mesh3ds* mesh : {&entry, &end}) {
        centreOrigin(*mesh);
        meshes.push_back(std::move(*mesh));
    }
}

// A pillar: base, round shaft and capital. The shaft's texture seam faces the wall.
Mesh3ds pillar(const std::string& name, float x, float y) {
    constexpr float base = 0.6f, half = 0.8f, radius = 0.55f;
    Mesh3ds mesh = namedMesh(name);
    addBox(mesh, {x - half, y - half, 0}, {x + half, y + half, base}, 0.6f, 1, "NM_Pillar");
    const float seam = x < 0 ? kPi : 0;
    const float shaft = kPillarHeight - 2 * base;
    addSurface(mesh, 32, 16, 1u << 7, "NM_Pillar", [&](float s, float t) {
        const float angle = seam + 2 * kPi * s;
        return SurfacePoint{
            {x + radius * std::cos(angle), y + radius * std::sin(angle), base + shaft * t},
            2 * s,
            t * shaft / 3};
    });
    addBox(mesh, {x - half, y - half, kPillarHeight - base}, {x + half, y + half, kPillarHeight},
           0.6f, 8, "NM_Pillar");
    centreOrigin(mesh);
    return mesh;
}

// A round arch of half a circle standing on two pillars. span is the horizontal direction
// from the centre to the right-hand pillar; the arch's band has the given thickness (radial)
// and width (across the span).
Mesh3ds arch(const std::string& name, Vec3f centre, Vec3f span, float radius) {
    constexpr float thickness = 0.8f, width = 0.8f;
    const Vec3f up{0, 0, 1};
    const Vec3f across{span.y * up.z - span.z * up.y, span.z * up.x - span.x * up.z,
                       span.x * up.y - span.y * up.x}; // span x up
    const float inner = radius - thickness / 2, outer = radius + thickness / 2;
    const int segments = radius > 4 ? 40 : 32;
    Mesh3ds mesh = namedMesh(name);
    auto ring = [&](float r, float angle, float side) {
        return centre + span * (r * std::cos(angle)) + up * (r * std::sin(angle)) +
               across * (side * width / 2);
    };
    auto band = [&](float r, bool facingCentre, uint32_t smoothing) {
        addSurface(mesh, segments, 2, smoothing, "Arch", [&, r, facingCentre](float s, float t) {
            const float angle = kPi * (facingCentre ? 1 - s : s);
            return SurfacePoint{ring(r, angle, 2 * t - 1), angle * r / 2, t};
        });
    };
    band(inner, true, 1);
    band(outer, false, 2);
    for (float side : {-1.0f, 1.0f}) {
        addSurface(mesh, segments, 1, side < 0 ? 4 : 8, "Arch", [&, side](float s, float t) {
            const float angle = kPi * (side < 0 ? s : 1 - s);
            const float r = inner + thickness * t;
            return SurfacePoint{ring(r, angle, side), angle * radius / 2, t * 0.4f};
        });
    }
    centreOrigin(mesh);
    return mesh;
}

void addColonnade(std::vector<Mesh3ds>& meshes) {
    for (int i = 0; i < kPillarsPerRow; ++i) {
        const float y = kFirstPillarY + kPillarSpacing * float(i);
        meshes.push_back(pillar(numbered("BM_PilL", i + 1), -kPillarX, y));
        meshes.push_back(pillar(numbered("BM_PilR", i + 1), kPillarX, y));
    }
    for (int i = 0; i < kPillarsPerRow; ++i) {
        const float y = kFirstPillarY + kPillarSpacing * float(i);
        meshes.push_back(
            arch(numbered("ArchT", i + 1), {0, y, kPillarHeight}, {1, 0, 0}, kPillarX));
    }
    for (int i = 0; i + 1 < kPillarsPerRow; ++i) {
        const float y = kFirstPillarY + kPillarSpacing * (float(i) + 0.5f);
        const float radius = kPillarSpacing / 2;
        meshes.push_back(
            arch(numbered("ArchL", i + 1), {-kPillarX, y, kPillarHeight}, {0, 1, 0}, radius));
        meshes.push_back(
            arch(numbered("ArchR", i + 1), {kPillarX, y, kPillarHeight}, {0, 1, 0}, radius));
    }
}

// Fan of triangles over a disc in a horizontal plane, facing up.
void addDisc(Mesh3ds& mesh, Vec3f centre, float radius, int segments, uint32_t smoothing,
             const std::string& material) {
    const uint16_t middle = addVertex(mesh, centre, 0.5f, 0.5f);
    const uint16_t first = uint16_t(mesh.vertices.size());
    for (int i = 0; i < segments; ++i) {
        const float angle = 2 * kPi * float(i) / float(segments);
        const float c = std::cos(angle), s = std::sin(angle);
        addVertex(mesh, centre + Vec3f{radius * c, radius * s, 0}, 0.5f + 0.5f * c,
                  0.5f + 0.5f * s);
    }
    for (int i = 0; i < segments; ++i) {
        addTriangle(mesh, middle, uint16_t(first + i), uint16_t(first + (i + 1) % segments),
                    smoothing, material);
    }
}

// Two glass screens reaching from the fifth pair of pillars towards the middle of the hall; the
// camera passes between them. Each pane stands in a metal frame, posts at its sides and rails
// at its foot and top, so that it reads as glass and not as a pattern hanging in the air.
void addGlassScreens(std::vector<Mesh3ds>& meshes) {
    constexpr float y = 34, paneDepth = 0.04f, bar = 0.07f, frameDepth = 0.09f;
    constexpr float foot = 0.2f, top = 6.2f;
    Mesh3ds glass = namedMesh("Glass");
    Mesh3ds frame = namedMesh("GlassFrame");
    for (float side : {-1.0f, 1.0f}) {
        const float x0 = std::min(2.5f * side, 5.5f * side),
                    x1 = std::max(2.5f * side, 5.5f * side);
        addBox(glass, {x0, y - paneDepth, foot}, {x1, y + paneDepth, top}, 0.25f, 1, "Glass");
        for (float x : {x0, x1})
            addBox(frame, {x - bar, y - frameDepth, 0}, {x + bar, y + frameDepth, top + bar}, 0.5f,
                   1, "ENV_Metal");
        for (float z : {foot, top})
            addBox(frame, {x0 + bar, y - frameDepth, z - bar}, {x1 - bar, y + frameDepth, z + bar},
                   0.5f, 1, "ENV_Metal");
    }
    for (Mesh3ds* mesh : {&glass, &frame}) {
        centreOrigin(*mesh);
        meshes.push_back(std::move(*mesh));
    }
}

// Shiny details: rails along both walls and the plinth under the logo; the glass screens.
void addFittings(std::vector<Mesh3ds>& meshes) {
    for (float side : {-1.0f, 1.0f}) {
        Mesh3ds rail = namedMesh(side < 0 ? "RailL" : "RailR");
        const float x = side * (kHalfWidth - 0.4f);
        addSurface(rail, 10, 20, 1, "ENV_Metal", [&](float s, float t) {
            const float angle = 2 * kPi * (1 - s);
            return SurfacePoint{
                {x + 0.12f * std::cos(angle), kLength * t, 1.1f + 0.12f * std::sin(angle)},
                s,
                t * 8};
        });
        centreOrigin(rail);
        meshes.push_back(std::move(rail));
    }
    Mesh3ds plinth = namedMesh("Plinth");
    constexpr float plinthRadius = 2.2f, plinthHeight = 1.0f;
    addSurface(plinth, 48, 2, 1, "ENV_Metal", [&](float s, float t) {
        const float angle = 2 * kPi * s;
        return SurfacePoint{{kLogoCentre.x + plinthRadius * std::cos(angle),
                             kLogoCentre.y + plinthRadius * std::sin(angle), plinthHeight * t},
                            s * 4,
                            t};
    });
    addDisc(plinth, {kLogoCentre.x, kLogoCentre.y, plinthHeight}, plinthRadius, 48, 2, "ENV_Metal");
    centreOrigin(plinth);
    meshes.push_back(std::move(plinth));

    addGlassScreens(meshes);
}

// Extruded text centred on centre; the side walls get sideMaterial.
Mesh3ds extrudedText(const std::string& name, const std::string& text, float capHeight, float depth,
                     int curveSteps, const std::string& material, Vec3f centre,
                     const std::string& sideMaterial = "") {
    Mesh3ds mesh = namedMesh(name);
    std::string error;
    const TextExtrusion request{kLogoFont,
                                text,
                                capHeight,
                                depth,
                                curveSteps,
                                material,
                                sideMaterial.empty() ? material : sideMaterial};
    if (!extrudeText(request, mesh, error)) fatalError("ERROR", error);
    for (Vec3f& v : mesh.vertices) v = v + centre;
    mesh.origin = centre;
    return mesh;
}

// A ring of flat facets, standing in the x-z plane around centre.
Mesh3ds facetedRing(const std::string& name, Vec3f centre, float radius, float tube) {
    Mesh3ds mesh = namedMesh(name);
    addSurface(mesh, 64, 8, 0, "Emblem", [&](float s, float t) {
        const float around = 2 * kPi * s, turn = 2 * kPi * (1 - t);
        const float r = radius + tube * std::cos(turn);
        return SurfacePoint{
            centre + Vec3f{r * std::cos(around), tube * std::sin(turn), r * std::sin(around)},
            s * 4, t};
    });
    mesh.origin = centre;
    return mesh;
}

// The glowing logo at the end of the hall and the engine's logo of the second scene.
void addLogos(std::vector<Mesh3ds>& meshes) {
    meshes.push_back(extrudedText("kslogo", "KORAL", 1.5f, 0.5f, 10, "LogoChrome", kLogoCentre));
    meshes.push_back(facetedRing("kshead", kLogoCentre + Vec3f{0, 0.5f, 0}, 2.9f, 0.26f));
    meshes.push_back(extrudedText("LW3logoA", "ZORX", 3.4f, 1.0f, 10, "ZorxFace",
                                  kIntroCentre + Vec3f{0, 0, 1.2f}, "ZorxEdge"));
    meshes.push_back(extrudedText("LW3logoB", "OpenGL", 1.2f, 0.5f, 8, "ZorxPlate",
                                  kIntroCentre + Vec3f{0, 0.4f, -2.3f}));
}

Light3ds omni(const std::string& name, Vec3f position, float red, float green, float blue) {
    Light3ds light;
    light.name = name;
    light.position = position;
    light.red = red;
    light.green = green;
    light.blue = blue;
    return light;
}

constexpr float kBlue[3] = {0.12f, 0.18f, 0.42f};
constexpr float kAmber[3] = {0.42f, 0.26f, 0.09f};

std::vector<Light3ds> sceneLights() {
    std::vector<Light3ds> lights;
    const Vec3f places[5] = {
        {-4.5f, 6, 7}, {4.5f, 17, 7}, {-4.5f, 29, 7}, {4.5f, 41, 7}, {0, 30, 15}};
    for (int i = 0; i < 5; ++i) {
        const float* colour = i % 2 == 0 ? kBlue : kAmber;
        lights.push_back(
            omni("Omni0" + std::to_string(i + 1), places[i], colour[0], colour[1], colour[2]));
    }
    Light3ds spot = omni("Spot01", {0, 49, 15.5f}, 0.35f, 0.3f, 0.22f);
    spot.positional = false;
    spot.spot = true;
    spot.target = {kLogoCentre.x, kLogoCentre.y, 1.0f};
    spot.hotspot = 30;
    spot.falloff = 50;
    lights.push_back(spot);
    // The lamp over the entrance lights the pillars' relief: as the first light of every hall
    // object it is the one bump mapping takes, and the faces the camera sees turn towards it.
    lights.push_back(omni(kEntryLamp, kEntryLampPlace, 0.16f, 0.14f, 0.11f));
    // Dim: with the attenuation the first scene gives it, it shines about ten times its colour
    // on the letters. It hangs in front of the plinth, below the letters: its flares and the
    // stars falling from it onto the plinth leave the letters free.
    lights.push_back(omni("kslogol", kLogoCentre + Vec3f{0, -1.4f, -1.9f}, 0.045f, 0.05f, 0.07f));
    return lights;
}

// Lights outside the hall's branch: they light every branch, the entrance lamp first.
bool isTopLevelLight(const std::string& name) {
    return name == kEntryLamp || name == "kslogol";
}

PositionKey3ds key(uint32_t frame, Vec3f position, Tcb tcb = {}) {
    return {frame, tcb, position};
}

// Camera03: 45 s from the entrance to the logo, weaving between the pillars, rising under the
// arches, passing between the glass screens and ending in front of the logo.
void cameraFlight(std::vector<PositionKey3ds>& eye, std::vector<PositionKey3ds>& target) {
    eye = {key(0, {0, 1.5f, 2.2f}, {0.2f, 0, 0}),
           key(600, {-2.6f, 9, 2.6f}, {0.1f, -0.2f, 0.3f}),
           key(1200, {-3.4f, 17, 4.6f}, {-0.1f, 0.15f, -0.2f}),
           key(1800, {0, 24, 7.2f}, {0.3f, 0.1f, 0.2f}),
           key(2400, {2.2f, 30, 4.2f}, {0.25f, -0.3f, -0.1f}),
           key(3000, {0, 37, 2.4f}, {0.1f, 0.2f, 0.25f}),
           key(3600, {-1.2f, 43, 3.6f}, {0.35f, 0, -0.3f}),
           key(4200, {0, 46, 4.4f}, {0.5f, -0.1f, 0.1f}),
           key(4500, {0, 46.6f, 4.6f}, {0.4f, 0, 0})};
    target = {key(0, {0, 20, 3.2f}),
              key(900, {-1, 26, 5}, {0, 0.1f, 0}),
              key(1800, {2.5f, 36, 9}, {0.2f, 0, 0}),
              key(2700, {-1, 46, 3}, {0, -0.2f, 0.2f}),
              key(3600, {0, kLogoCentre.y, kLogoCentre.z + 0.4f}, {0.3f, 0, 0}),
              key(4500, kLogoCentre, {0.5f, 0, 0})};
}

// Camera02: a quarter turn around the engine logo while closing in from 40 to 28 units; the
// logo stays within about half the view, so that its zoom blur does not fill the screen.
void cameraOrbit(std::vector<PositionKey3ds>& eye, std::vector<PositionKey3ds>& target) {
    eye.clear();
    target.clear();
    for (uint32_t i = 0; i <= 12; ++i) {
        const float f = float(i) / 12;
        const float angle = (-65 + 85 * f) * kPi / 180, distance = 40 - 12 * f;
        const Vec3f offset{distance * std::sin(angle), -distance * std::cos(angle), 12 - 9 * f};
        eye.push_back(key(i * 500, kIntroCentre + offset, {0.1f, 0.05f * float(i % 3), -0.1f}));
    }
    target = {key(0, kIntroCentre + Vec3f{-2, 0, 1}), key(3000, kIntroCentre + Vec3f{1, 0, 0.5f}),
              key(6000, kIntroCentre)};
}

// Light "kslogol" drifts slowly in front of the logo for the first scene's 45 s.
std::vector<PositionKey3ds> logoLightDrift(Vec3f home) {
    std::vector<PositionKey3ds> keys;
    for (uint32_t i = 0; i <= 9; ++i) {
        const float phase = float(i) * 1.3f;
        keys.push_back(key(i * 500, home + Vec3f{0.7f * std::sin(phase), 0.2f * std::cos(phase),
                                                 0.35f * std::sin(phase * 0.7f)}));
    }
    return keys;
}

// Keyframer nodes in the order 3DS keeps them: every parent before its children, each branch
// contiguous; a node's parent is given by the parent's node id.
struct NodeList {
    std::vector<KeyframeNode3ds> nodes;

    int16_t add(uint16_t kind, const std::string& name, int16_t parent,
                std::vector<PositionKey3ds> positions) {
        KeyframeNode3ds node;
        node.kind = kind;
        node.name = name;
        node.parent = parent;
        node.positionKeys = std::move(positions);
        if (kind == kNodeObject) {
            node.rotationKeys = {RotationKey3ds{}};
            node.scaleTrack = true;
        }
        nodes.push_back(std::move(node));
        return int16_t(nodes.size() - 1);
    }
    int16_t addDummy(const std::string& instance, int16_t parent) {
        const int16_t id = add(kNodeObject, "$$$DUMMY", parent, {key(0, {})});
        nodes.back().instanceName = instance;
        return id;
    }
};

bool startsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

void addHierarchy(Scene3ds& scene) {
    NodeList list;
    auto addMeshes = [&](int16_t parent, auto belongs) {
        for (const Mesh3ds& mesh : scene.meshes)
            if (belongs(mesh.name)) list.add(kNodeObject, mesh.name, parent, {key(0, mesh.origin)});
    };
    auto isLogo = [](const std::string& n) { return n == "kslogo" || n == "kshead"; };
    auto isIntro = [](const std::string& n) { return startsWith(n, "LW3logo"); };

    const int16_t hall = list.addDummy("HALL", -1);
    addMeshes(hall, [&](const std::string& n) { return !isLogo(n) && !isIntro(n); });
    const Light3ds* spot = nullptr;
    for (const Light3ds& light : scene.lights) {
        if (light.spot)
            spot = &light;
        else if (!isTopLevelLight(light.name))
            list.add(kNodeOmni, light.name, hall, {key(0, light.position)});
    }
    list.add(kNodeSpot, spot->name, hall, {key(0, spot->position)});
    const int16_t logo = list.addDummy("LOGO", hall);
    addMeshes(logo, isLogo);

    const int16_t intro = list.addDummy("INTRO", -1);
    addMeshes(intro, isIntro);

    // Top-level lights and cameras, then the targets: a target node names an object that
    // already has its place.
    list.add(kNodeOmni, kEntryLamp, -1, {key(0, kEntryLampPlace)});
    list.add(kNodeOmni, "kslogol", -1, logoLightDrift(scene.lights.back().position));
    std::vector<PositionKey3ds> eye03, target03, eye02, target02;
    cameraFlight(eye03, target03);
    cameraOrbit(eye02, target02);
    list.add(kNodeCamera, "Camera03", -1, eye03);
    list.add(kNodeCamera, "Camera02", -1, eye02);
    list.add(kNodeCameraTarget, "Camera03", -1, target03);
    list.add(kNodeCameraTarget, "Camera02", -1, target02);
    list.add(kNodeSpotTarget, spot->name, -1, {key(0, spot->target)});
    scene.nodes = std::move(list.nodes);
}

} // namespace

Scene3ds demoScene() {
    Scene3ds scene;
    scene.materials = sceneMaterials();
    addShell(scene.meshes);
    addColonnade(scene.meshes);
    addFittings(scene.meshes);
    addLogos(scene.meshes);
    scene.lights = sceneLights();
    std::vector<PositionKey3ds> eye, target;
    cameraFlight(eye, target);
    scene.cameras.push_back({"Camera03", eye[0].position, target[0].position, 0, 35});
    cameraOrbit(eye, target);
    scene.cameras.push_back({"Camera02", eye[0].position, target[0].position, 0, 35});
    scene.frameStart = 0;
    scene.frameEnd = kLastFrame;
    addHierarchy(scene);
    return scene;
}

std::vector<uint8_t> buildDemoScene() {
    return write3ds(demoScene());
}

std::string normalMapName(const std::string& mapFile) {
    const std::string stem = mapFile.size() >= 4 ? mapFile.substr(0, mapFile.size() - 4) : "";
    return stem + "_NM.PNG";
}

std::vector<std::string> demoSceneTextureNames() {
    std::vector<std::string> names;
    auto addOnce = [&](const std::string& name) {
        for (const std::string& known : names)
            if (known == name) return;
        names.push_back(name);
    };
    for (const Material3ds& m : sceneMaterials()) {
        if (m.mapFile.empty()) continue;
        addOnce(m.mapFile);
        if (m.name.size() > 2 && startsWith(m.name, "NM_")) addOnce(normalMapName(m.mapFile));
    }
    return names;
}
