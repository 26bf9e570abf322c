#include "tools/scene_view.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "scene/objects.h"
#include "scene/scene_graph.h"

SceneTimeState sceneTimeState;

namespace {

constexpr double kPi = 3.14159265358979323846;

// A whole decimal number from min to max, nothing else in the text.
bool parseNumber(const char* text, long min, long max, int32_t& value) {
    if (text == nullptr || *text == '\0' || std::isspace(static_cast<unsigned char>(*text)))
        return false;
    char* end = nullptr;
    errno = 0;
    long number = std::strtol(text, &end, 10);
    if (errno != 0 || *end != '\0' || number < min || number > max) return false;
    value = int32_t(number);
    return true;
}

// The value after an option, or null with the reason in error.
const char* optionValue(int argc, char** argv, int& i, std::string& error) {
    if (i + 1 >= argc) {
        error = std::string(argv[i]) + " needs a value";
        return nullptr;
    }
    return argv[++i];
}

bool parseOption(int argc, char** argv, int& i, ViewOptions& options, std::string& error) {
    const std::string option = argv[i];
    if (option == "--no-textures") {
        options.loadTextures = false;
        return true;
    }
    if (option != "--camera" && option != "--frame" && option != "--size" && option != "--shot" &&
        option != "--frames") {
        error = "unknown option " + option;
        return false;
    }
    const char* value = optionValue(argc, argv, i, error);
    if (value == nullptr) return false;
    bool valid = true;
    if (option == "--camera") {
        options.cameraName = value;
        valid = *value != '\0';
    } else if (option == "--frame") {
        valid = parseNumber(value, 0, 200000000, options.frame);
        options.frameGiven = true;
    } else if (option == "--size") {
        valid = parseViewSize(value, options.width, options.height);
    } else if (option == "--shot") {
        options.shotFile = value;
        valid = *value != '\0';
    } else {
        valid = parseNumber(value, 1, 1000000, options.frameCount);
    }
    if (!valid) error = "bad value for " + option + ": '" + value + "'";
    return valid;
}

void includePoint(SceneBounds& bounds, const Vec3& p) {
    if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) return;
    if (bounds.empty) {
        bounds.min = bounds.max = p;
        bounds.empty = false;
        return;
    }
    bounds.min.set(std::min(bounds.min.x, p.x), std::min(bounds.min.y, p.y),
                   std::min(bounds.min.z, p.z));
    bounds.max.set(std::max(bounds.max.x, p.x), std::max(bounds.max.y, p.y),
                   std::max(bounds.max.z, p.z));
}

Vec3 boundsCentre(const SceneBounds& bounds) {
    return (bounds.min + bounds.max) * 0.5f;
}

// Half the box's diagonal; a box of no size counts as radius 1.
float boundsRadius(const SceneBounds& bounds) {
    float radius = (bounds.max - bounds.min).length() * 0.5f;
    return radius > 0.0f && std::isfinite(radius) ? radius : 1.0f;
}

void widenRange(AnimationRange& range, const TrackSet& tracks, bool& found) {
    if (tracks.end <= tracks.start) return;
    if (!found) {
        range.start = tracks.start, range.end = tracks.end;
        found = true;
        return;
    }
    range.start = std::min(range.start, tracks.start);
    range.end = std::max(range.end, tracks.end);
}

} // namespace

bool parseViewSize(const std::string& text, int32_t& width, int32_t& height) {
    size_t x = text.find_first_of("xX");
    if (x == std::string::npos) return false;
    int32_t w = 0, h = 0;
    if (!parseNumber(text.substr(0, x).c_str(), 1, 16384, w) ||
        !parseNumber(text.substr(x + 1).c_str(), 1, 16384, h))
        return false;
    width = w, height = h;
    return true;
}

TextureQuality viewerTextureQuality(std::string_view renderer, const CapabilitySettings& kept,
                                    int accelerated) {
    CapabilitySettings run = softwareRasteriserSettings(renderer, kept, accelerated);
    TextureQuality quality;
    quality.compression = run.textureCompression;
    quality.filtering = run.textureFiltering;
    quality.anisotropy = run.anisotropy;
    return quality;
}

bool parseViewArguments(int argc, char** argv, ViewOptions& options, std::string& error) {
    for (int i = 0; i < argc; ++i) {
        if (argv[i][0] == '-' && argv[i][1] != '\0') {
            if (!parseOption(argc, argv, i, options, error)) return false;
        } else if (options.file.empty()) {
            options.file = argv[i];
        } else {
            error = "more than one scene file";
            return false;
        }
    }
    if (options.file.empty()) error = "no scene file";
    return !options.file.empty();
}

SceneObject* findViewCamera(const std::string& name) {
    for (int32_t i = 0; i < objectState.count; ++i) {
        SceneObject* object = objectState.objects[i];
        if (object->isCamera && (name.empty() || object->name == name)) return object;
    }
    return nullptr;
}

int32_t attachLooseObjects() {
    int32_t attached = 0;
    for (int32_t i = 0; i < objectState.count; ++i) {
        SceneObject& object = *objectState.objects[i];
        if (object.treeNode != nullptr || &object == sceneGraphState.rootObject) continue;
        // The mesh's local vertices are relative to its local origin; as read, they sat there.
        if (object.lods[0].vertexCount > 0 && object.objectKind == kMeshObject)
            object.transform.setTranslation(
                {object.localMatrix.m[3], object.localMatrix.m[7], object.localMatrix.m[11]});
        if (attachObject(&sceneGraphState.root, object) == nullptr) continue;
        updateFromNode(object.treeNode);
        ++attached;
    }
    return attached;
}

int32_t addDefaultFaceGroups() {
    int32_t changed = 0;
    for (int32_t i = 0; i < objectState.count; ++i) {
        SceneObject& object = *objectState.objects[i];
        for (int32_t level = 0; level < object.lodCount && level < kMaxLods; ++level) {
            MeshLod& mesh = object.lods[level];
            if (mesh.faceGroupCount != 0 || mesh.faceCount == 0 || mesh.faceCount > 0xFFFF)
                continue;
            FaceGroup& group = *addFaceGroup(mesh, mesh.faceCount);
            for (uint32_t f = 0; f < mesh.faceCount; ++f) {
                group.faceIndices[f] = uint16_t(f);
                group.faceVertices[f] = mesh.faces[f];
            }
            ++changed;
        }
    }
    return changed;
}

SceneObject* addHeadlightIfUnlit() {
    for (int32_t i = 0; i < objectState.count; ++i)
        if (objectState.objects[i]->lightKind != kNotALight) return nullptr;
    SceneObject* light = createObject(kHeadlightName, &sceneGraphState.root);
    light->lightKind = kPointLight;
    const float ambient[4] = {0.2f, 0.2f, 0.2f, 1.0f}, white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    std::copy(ambient, ambient + 4, light->lightAmbient);
    std::copy(white, white + 4, light->lightDiffuse);
    std::copy(white, white + 4, light->lightSpecular);
    light->lightFactors[0] = 1.0f; // no fall-off with distance
    light->lightFactors[1] = 0.0f;
    light->lightFactors[2] = 0.0f;
    return light;
}

void placeHeadlight(SceneObject& light, const Vec3& eye) {
    light.transform.setTranslation(eye);
    light.worldTransform.setTranslation(eye);
}

SceneBounds sceneBounds() {
    SceneBounds bounds;
    for (int32_t i = 0; i < objectState.count; ++i) {
        const SceneObject& object = *objectState.objects[i];
        if (object.objectKind != kMeshObject || object.isCamera || object.lightKind != 0) continue;
        const MeshLod& mesh = object.lods[object.lodIndex];
        if (mesh.vertices == nullptr) continue;
        for (uint32_t v = 0; v < mesh.vertexCount; ++v) includePoint(bounds, mesh.vertices[v]);
    }
    return bounds;
}

ViewPose framingPose(const SceneBounds& bounds, double fieldOfViewDegrees, float aspect) {
    SceneBounds box = bounds;
    if (box.empty) {
        box.min.set(-0.5f, -0.5f, -0.5f);
        box.max.set(0.5f, 0.5f, 0.5f);
    }
    const Vec3 centre = boundsCentre(box);
    const float radius = boundsRadius(box);
    double halfVertical = fieldOfViewDegrees * 0.5 * kPi / 180.0;
    double halfHorizontal = std::atan(std::tan(halfVertical) * (aspect > 0.0f ? aspect : 1.0f));
    double halfAngle = std::min(halfVertical, halfHorizontal);
    float distance = float(radius / std::sin(halfAngle)) * 1.05f;
    Vec3 direction{1.0f, 1.0f, 2.0f}; // right, up, front
    direction.normalise();
    ViewPose pose;
    pose.target = centre;
    pose.eye = centre + direction * distance;
    return pose;
}

float farPlaneFor(const ViewPose& pose, const SceneBounds& bounds, float engineFarPlane) {
    if (bounds.empty) return engineFarPlane;
    float reach = (pose.eye - boundsCentre(bounds)).length() + boundsRadius(bounds);
    float needed = reach * 1.05f;
    return std::isfinite(needed) && needed > engineFarPlane ? needed : engineFarPlane;
}

AnimationRange animationRange(const SceneObject* camera) {
    AnimationRange range;
    bool found = false;
    if (camera != nullptr) {
        widenRange(range, camera->tracks, found);
        widenRange(range, camera->targetTracks, found);
        if (found) return range;
    }
    for (int32_t i = 0; i < objectState.count; ++i) {
        widenRange(range, objectState.objects[i]->tracks, found);
        widenRange(range, objectState.objects[i]->targetTracks, found);
    }
    return range;
}

int32_t loopedTime(const AnimationRange& range, int32_t first, int64_t elapsedTenths) {
    if (range.end <= range.start) return first;
    int64_t time = int64_t(first) + std::max<int64_t>(elapsedTenths, 0);
    if (time <= range.end) return int32_t(time);
    int64_t period = int64_t(range.end) - range.start;
    return int32_t(range.start + (time - range.end) % period);
}

void collectAnimatedObjects() {
    sceneTimeState.animated.clear();
    for (int32_t i = 0; i < objectState.count; ++i)
        if (objectState.objects[i]->animated)
            sceneTimeState.animated.push_back(objectState.objects[i]);
}

void setSceneTime(int32_t time) {
    for (SceneObject* object : sceneTimeState.animated) {
        object->tracks.time = time;
        object->targetTracks.time = time;
    }
    updateObjects(sceneTimeState.animated);
}

OrbitCamera orbitFromPose(const ViewPose& pose) {
    OrbitCamera orbit;
    orbit.centre = pose.target;
    Vec3 offset = pose.eye - pose.target;
    float distance = offset.length();
    if (!(distance > 0.0f) || !std::isfinite(distance)) {
        orbit.distance = 1.0f;
        return orbit;
    }
    orbit.distance = distance;
    orbit.pitch = std::clamp(std::asin(std::clamp(offset.y / distance, -1.0f, 1.0f)),
                             -kOrbitPitchLimit, kOrbitPitchLimit);
    orbit.yaw = std::atan2(offset.x, offset.z);
    return orbit;
}

ViewPose poseFromOrbit(const OrbitCamera& orbit) {
    ViewPose pose;
    pose.target = orbit.centre;
    Vec3 offset{std::cos(orbit.pitch) * std::sin(orbit.yaw), std::sin(orbit.pitch),
                std::cos(orbit.pitch) * std::cos(orbit.yaw)};
    pose.eye = orbit.centre + offset * orbit.distance;
    return pose;
}

void orbitDrag(OrbitCamera& orbit, int dx, int dy) {
    orbit.yaw -= float(dx) * kOrbitRadiansPerPixel;
    orbit.yaw = float(std::remainder(double(orbit.yaw), 2.0 * kPi));
    orbit.pitch = std::clamp(orbit.pitch + float(dy) * kOrbitRadiansPerPixel, -kOrbitPitchLimit,
                             kOrbitPitchLimit);
}

void orbitZoom(OrbitCamera& orbit, int steps) {
    float distance = orbit.distance * std::pow(kOrbitZoomPerStep, float(steps));
    orbit.distance = std::clamp(distance, 1e-3f, 1e7f);
}

std::string viewTitle(const std::string& file, int32_t time) {
    std::string name = std::filesystem::path(file).filename().string();
    return "demotool view - " + name + " - frame " + std::to_string(time / 10);
}

std::string viewHelpText(size_t lineLength) {
    std::string text, line;
    for (const ViewControl& control : kViewControls) {
        std::string item = std::string(control.input) + ": " + control.action;
        for (char& c : item)
            if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
        if (!line.empty() && line.size() + 3 + item.size() > lineLength) {
            text += line + "\n";
            line.clear();
        }
        line += (line.empty() ? "" : "   ") + item;
    }
    return text + line;
}
