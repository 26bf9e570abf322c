// demotool inspect FILE.3ds [--no-textures] [--json]: loads a scene file with the engine's
// own reader and prints every object it holds, in registry order, and the hierarchy.
// Textures are loaded into a hidden window's GL context; with --no-textures no display is
// needed and only the texture names are recorded. Texture files are looked up beside the
// scene file.
#include <SDL.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "scene/scene_graph.h"
#include "scene/objects.h"
#include "scene/reader3ds.h"
#include "tools/commands.h"
#include "tools/tool_report.h"

namespace {

struct InspectOptions {
    std::string file;
    bool loadTextures = true;
    bool json = false;
};

// A hidden window with a compatibility GL context for the texture uploads.
struct HiddenContext {
    SDL_Window* window = nullptr;
    SDL_GLContext context = nullptr;
    bool open() {
        if (SDL_Init(SDL_INIT_VIDEO) != 0) return false;
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
        window = SDL_CreateWindow("demotool inspect", 0, 0, 64, 64,
                                  SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        if (window) context = SDL_GL_CreateContext(window);
        return context && SDL_GL_MakeCurrent(window, context) == 0;
    }
    ~HiddenContext() {
        if (context) SDL_GL_DeleteContext(context);
        if (window) SDL_DestroyWindow(window);
        SDL_Quit();
    }
};

const SceneObject* parentObject(const SceneObject& object) {
    if (!object.treeNode || !object.treeNode->parent) return nullptr;
    const SceneObject* parent = object.treeNode->parent->object;
    return parent == sceneGraphState.rootObject ? nullptr : parent;
}

// Names are byte strings: bytes outside ASCII are written as their Latin-1 code points.
std::string jsonString(std::string_view text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c < 0x20 || c >= 0x80) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += char(c);
        }
    }
    return out + "\"";
}

std::string number(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", double(value));
    return std::strcmp(text, "nan") == 0 || std::strstr(text, "inf") ? "null" : text;
}

std::string floats(const float* values, int count) {
    std::string out = "[";
    for (int i = 0; i < count; ++i) out += (i ? ", " : "") + number(values[i]);
    return out + "]";
}

std::string vec(const Vec3& v) {
    float values[3] = {v.x, v.y, v.z};
    return floats(values, 3);
}

std::string groupTexture(const FaceGroup& group, bool normalMap) {
    const GroupTextureNames* names = findGroupTextureNames(&group);
    if (!names) return {};
    return normalMap ? names->normalMap : names->texture;
}

std::string nullableName(const SceneObject* object) {
    return object ? jsonString(object->name) : "null";
}

void printJsonObject(const SceneObject& o, bool first) {
    const MeshLod& mesh = o.lods[0];
    std::printf("%s\n    {\"name\": %s, \"parent\": %s, \"kind\": %d, \"lightKind\": %d, "
                "\"camera\": %s,\n",
                first ? "" : ",", jsonString(o.name).c_str(), nullableName(parentObject(o)).c_str(),
                o.objectKind, o.lightKind, o.isCamera ? "true" : "false");
    std::printf("     \"vertices\": %u, \"faces\": %u, \"renderFlags\": %d, \"animated\": %s,\n",
                mesh.vertexCount, mesh.faceCount, o.renderFlags, o.animated ? "true" : "false");
    std::printf("     \"positionKeys\": %u, \"rotationKeys\": %u, \"targetPositionKeys\": %u, "
                "\"targetRotationKeys\": %u,\n",
                o.tracks.positionKeyCount, o.tracks.rotationKeyCount,
                o.targetTracks.positionKeyCount, o.targetTracks.rotationKeyCount);
    std::printf("     \"transform\": %s, \"localCenter\": %s, \"target\": %s,\n",
                floats(o.transform.m, 16).c_str(), vec(o.localCenter).c_str(),
                vec(o.target).c_str());
    std::printf("     \"faceGroups\": [");
    for (uint32_t g = 0; g < mesh.faceGroupCount; ++g) {
        const FaceGroup& group = *mesh.faceGroups[g];
        std::string texture = groupTexture(group, false), normalMap = groupTexture(group, true);
        std::printf("%s\n       {\"faces\": %u, \"texture\": %s, \"glTexture\": %u, \"normalMap\": "
                    "%s, \"opacity\": "
                    "%s, \"twoSided\": %s, \"ambient\": %s, \"diffuse\": %s, \"specular\": %s, "
                    "\"shininess\": %s}",
                    g ? "," : "", group.faceCount,
                    texture.empty() ? "null" : jsonString(texture).c_str(), group.unitTexture[0],
                    normalMap.empty() ? "null" : jsonString(normalMap).c_str(),
                    number(group.opacity).c_str(), group.twoSided ? "true" : "false",
                    floats(group.ambient, 4).c_str(), floats(group.diffuse, 4).c_str(),
                    floats(group.specular, 4).c_str(), number(group.shininess).c_str());
    }
    std::printf("]}");
}

const char* kindName(int32_t kind) {
    return kind == kMeshObject ? "mesh" : "plain object";
}

const char* lightName(int32_t kind) {
    static const char* names[] = {"not a light", "light", "point light", "spot light"};
    return kind >= 0 && kind <= 3 ? names[kind] : "unknown";
}

void printTextObject(int index, const SceneObject& o) {
    const MeshLod& mesh = o.lods[0];
    const SceneObject* parent = parentObject(o);
    std::printf("object %d: %s\n", index, o.name.c_str());
    std::printf("  kind %d (%s), light kind %d (%s), camera %s\n", o.objectKind,
                kindName(o.objectKind), o.lightKind, lightName(o.lightKind),
                o.isCamera ? "yes" : "no");
    std::printf("  vertices %u, faces %u, face groups %u\n", mesh.vertexCount, mesh.faceCount,
                mesh.faceGroupCount);
    for (uint32_t g = 0; g < mesh.faceGroupCount; ++g) {
        const FaceGroup& group = *mesh.faceGroups[g];
        std::string texture = groupTexture(group, false), normalMap = groupTexture(group, true);
        std::printf("    group %u: %u faces, opacity %s, two-sided %s, shininess %s\n", g,
                    group.faceCount, number(group.opacity).c_str(), group.twoSided ? "yes" : "no",
                    number(group.shininess).c_str());
        std::printf("      ambient %s, diffuse %s, specular %s\n", floats(group.ambient, 4).c_str(),
                    floats(group.diffuse, 4).c_str(), floats(group.specular, 4).c_str());
        std::printf("      texture %s, normal map %s\n", texture.empty() ? "none" : texture.c_str(),
                    normalMap.empty() ? "none" : normalMap.c_str());
    }
    std::printf("  render flags %d, animated %s\n", o.renderFlags, o.animated ? "yes" : "no");
    std::printf("  keys: position %u, rotation %u; target keys: position %u, rotation %u\n",
                o.tracks.positionKeyCount, o.tracks.rotationKeyCount,
                o.targetTracks.positionKeyCount, o.targetTracks.rotationKeyCount);
    for (int row = 0; row < 4; ++row)
        std::printf("  %s %s\n", row ? "         " : "transform",
                    floats(o.transform.m + 4 * row, 4).c_str());
    std::printf("  local centre %s\n", vec(o.localCenter).c_str());
    std::printf("  parent %s\n", parent ? parent->name.c_str() : "none");
}

void printTree(const SceneNode& node, int depth) {
    for (int32_t c = 0; c < node.childCount; ++c) {
        const SceneNode& child = *node.children[c];
        std::printf("%*s%s\n", 2 * depth + 2, "", child.object ? child.object->name.c_str() : "?");
        printTree(child, depth + 1);
    }
}

bool parseArguments(int argc, char** argv, InspectOptions& options) {
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--no-textures") == 0)
            options.loadTextures = false;
        else if (std::strcmp(argv[i], "--json") == 0)
            options.json = true;
        else if (argv[i][0] == '-' || !options.file.empty())
            return false;
        else
            options.file = argv[i];
    }
    return !options.file.empty();
}

} // namespace

int runInspect(int argc, char** argv) {
    InspectOptions options;
    if (!parseArguments(argc, argv, options)) {
        std::fprintf(stderr, "usage: demotool inspect FILE.3ds [--no-textures] [--json]\n");
        return 2;
    }
    if (!requireInputFile(options.file)) return 1;
    HiddenContext gl;
    if (options.loadTextures && !gl.open())
        return toolFailure(std::string("no OpenGL context for the textures (") + SDL_GetError() +
                           "); use --no-textures");
    // Texture names in a scene file are relative to the file's folder.
    std::error_code error;
    std::filesystem::path path = std::filesystem::absolute(options.file, error);
    if (!error) std::filesystem::current_path(path.parent_path(), error);
    if (error)
        return toolFailure("cannot enter the folder of \"" + options.file +
                           "\": " + error.message());
    reader3dsState.loadTextures = options.loadTextures;
    initSceneGraph();
    load3dsScene(path.filename().string(), "", "", "", -1, &sceneGraphState.root);

    int index = 0;
    if (options.json) std::printf("{\"objects\": [");
    for (int32_t i = 0; i < objectState.count; ++i) {
        const SceneObject& object = *objectState.objects[i];
        if (&object == sceneGraphState.rootObject) continue;
        if (options.json)
            printJsonObject(object, index == 0);
        else
            printTextObject(index, object);
        ++index;
    }
    if (options.json) {
        std::printf("\n]}\n");
    } else {
        std::printf("hierarchy:\n");
        printTree(sceneGraphState.root, 0);
    }
    deleteAllObjects();
    shutdownSceneGraph();
    return 0;
}
