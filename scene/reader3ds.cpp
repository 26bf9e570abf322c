#include "scene/reader3ds.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "scene/scene_graph.h"
#include "platform/system/failure.h"
#include "platform/system/memory.h"
#include "resources/bigfile.h"
#include "resources/textures.h"
#include "scene/chunks3ds.h"
#include "scene/keyframes.h"
#include "scene/loading_log.h"
#include "scene/mesh_processing.h"
#include "scene/obb_tree.h"
#include "scene/objects.h"

Reader3dsState reader3dsState;

namespace {

constexpr float kColourByteScale = 0.003921569f;
constexpr float kExtremeLocalValue = 10000.0f;
constexpr std::string_view kDummyName = "$$$DUMMY";

// One material of the file, alive while the file is read.
struct LoaderMaterial {
    std::string name;
    std::string texturePath;
    float ambient[4] = {0.2f, 0.2f, 0.2f, 1.0f};
    float diffuse[4] = {0.8f, 0.8f, 0.8f, 1.0f};
    float specular[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    float shininess = 0.0f;
    float opacity = 1.0f;
    uint8_t twoSided = 0;
    uint8_t spare = 0;
    uint8_t hasTextureMap = 0;
    uint32_t texture = 0;
    uint32_t normalMapTexture = 0;
    std::string normalMapPath;
};

enum class NodeRole { None, Position, Target, Ambient };

struct LoadedEntry {
    SceneObject* object;
    int slot;
};

// Everything one call works with; nothing of it outlives the call.
struct Reader {
    ChunkWalk walk;
    std::string archiveName;
    std::string texturePrefix;
    int lodTarget = -1;
    SceneNode* parentNode = nullptr;

    SceneObject* object = nullptr; // the current object
    MeshLod* mesh = nullptr;       // its mesh slot being filled
    int meshSlot = 0;
    int objectBlocks = 0;
    uint8_t* buffer = nullptr; // the whole file, freed after the walk
    uint32_t bufferSize = 0;
    std::vector<LoaderMaterial> materials;
    std::vector<LoadedEntry> loaded;

    std::vector<SceneNode*> hierarchy;
    SceneNode* currentParent = nullptr;
    int previousDepth = -1;
    NodeRole role = NodeRole::None;
    bool nodeSeen = false;
    SceneObject* nodeObject = nullptr; // null where the node's keys are read and dropped
    int32_t segmentStart = 0;
    int32_t segmentEnd = 0;

    bool lodMode() const { return lodTarget >= 0; }
    void freeBuffer() {
        if (buffer) accountedFree(buffer, bufferSize);
        buffer = nullptr;
    }
    ~Reader() { freeBuffer(); }
};

void log(std::string_view line) {
    addLoadingLine(line);
}

Vec3 converted(float x, float y, float z) {
    return Vec3{x, z, -y};
}
Vec3 readConverted(ChunkCursor& in) {
    float x = in.f32(), y = in.f32(), z = in.f32();
    return converted(x, y, z);
}

std::string decimal(long long value) {
    return std::to_string(value);
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && text.substr(0, prefix.size()) == prefix;
}

[[noreturn]] void fatalData(const Reader& r, const std::string& detail) {
    fatal3dsDamage(r.walk.fileName, detail);
}

void requireObject(const Reader& r, const Chunk& chunk) {
    if (!r.object) fatalData(r, "The " + describeChunk(chunk) + " belongs to no object block.");
}

LoaderMaterial& requireMaterial(Reader& r, const Chunk& chunk) {
    if (r.materials.empty())
        fatalData(r, "The " + describeChunk(chunk) + " belongs to no material block.");
    return r.materials.back();
}

// ---------------------------------------------------------------- opening

void fatalOpening(std::string_view text, const std::string& fileName) {
    fatalError(k3dsErrorCaption, std::string(text) + "\n\nFile :  " + fileName);
}

void checkOpening(const Reader& r) {
    const ChunkWalk& w = r.walk;
    const std::string& name = w.fileName;
    if (w.size < 6 || readU16(w.data) != 0x4D4D)
        fatalOpening("Following file contains no valid 3DS format !", name);
    if (w.size < 16 || readU16(w.data + 6) != 0x0002)
        fatalOpening("Could not find 3DS version chunk !", name);
    if (w.size < 22 || readU16(w.data + 16) != 0x3D3D)
        fatalOpening("Could not find editor chunk !", name);
}

// The main and editor chunks are the first parents of the walk, so that every chunk is
// checked against them.
void openWalk(Reader& r) {
    openMainChunk(r.walk);
    r.walk.position = 16;
    Chunk editor;
    if (!nextChunk(r.walk, editor)) return;
    r.walk.parents.push_back(editor);
    r.walk.position = 22;
}

// ---------------------------------------------------------------- objects and meshes

void objectBlock(Reader& r, ChunkCursor& in) {
    std::string name(in.string());
    log(" "), log(" "), log("::: Object block found !"), log(" "), log("Object name is :");
    log(name), log(" ");
    if (r.lodMode()) {
        if (++r.objectBlocks > 1)
            fatalError(k3dsErrorCaption, "The 3DS loader was called to fill an objects LOD "
                                         "data\nbut there are more than 1 objects in the 3DS "
                                         "file !");
        SceneObject* target = objectState.objects[r.lodTarget];
        if (target->lodCount + 1 > kMaxLods)
            fatalError(k3dsErrorCaption, "The 3DS loader was called to fill an objects LOD "
                                         "data\nbut there is no more LOD space available in "
                                         "this object !");
        target->lodCount++;
        r.object = target;
        r.meshSlot = target->lodIndex;
    } else {
        r.object = createObject(name, nullptr);
        r.meshSlot = 0;
    }
    r.mesh = &r.object->lods[r.meshSlot];
    r.loaded.push_back({r.object, r.meshSlot});
}

void badVerticesNotice(const SceneObject& object, uint32_t count) {
    std::string text = "The mesh of the object " + object.name + " has " + decimal(count) +
                       " bad " + (count == 1 ? "vertex" : "vertices") +
                       " !\nThe (x,y,z) values of such a vertex are QNANs (not a number)\nand "
                       "in general lead to application errors and math bugs !\n\nTo avoid "
                       "further complications the (x,y,z) values have been set to "
                       "(0,0,0).\n\nPlease contact and inform the author of this application "
                       "about this error\nwhich is caused by invalid external 3D object data "
                       "! Thank you !";
    noticeBox(k3dsErrorCaption, text);
}

uint32_t vertexList(Reader& r, ChunkCursor& in, const Chunk& chunk) {
    requireObject(r, chunk);
    log("Reading vertices list...");
    uint16_t count = in.u16();
    const uint8_t* at = in.array(count, 12);
    MeshLod& mesh = *r.mesh;
    if (mesh.vertices)
        fatalData(r, "The object \"" + r.object->name + "\" holds a second vertex list.");
    if (mesh.unitTexCoords[0] && mesh.texCoordCount != count)
        fatalData(r, "The object \"" + r.object->name + "\" has " + decimal(count) +
                         " vertices but " + decimal(mesh.texCoordCount) + " mapping coordinates.");
    resizeArray(mesh.vertices, 0, count);
    mesh.vertexCount = count;
    uint32_t bad = 0;
    for (uint32_t i = 0; i < count; ++i, at += 12) {
        float x = readF32(at), y = readF32(at + 4), z = readF32(at + 8);
        if (std::isnan(x) || std::isnan(y) || std::isnan(z)) {
            x = y = z = 0.0f;
            ++bad;
        }
        mesh.vertices[i] = converted(x, y, z);
    }
    if (bad) badVerticesNotice(*r.object, bad);
    r.object->objectKind = kMeshObject;
    if (startsWith(r.object->name, "BM_")) {
        log("Object uses Bump Mapping !");
        log("Building TBN matrices for all vertices...");
        buildTangentFrames(mesh);
        log("Done !");
    }
    return 8 + 12 * uint32_t(count);
}

uint32_t faceList(Reader& r, ChunkCursor& in, const Chunk& chunk) {
    requireObject(r, chunk);
    log("Reading face descriptors...");
    log("Building vertex normals...");
    uint16_t count = in.u16();
    const uint8_t* at = in.array(count, 8);
    MeshLod& mesh = *r.mesh;
    if (mesh.faces) fatalData(r, "The object \"" + r.object->name + "\" holds a second face list.");
    if (r.object->smoothingUsed)
        fatalError("ATTENTION !", "Wrong method for normal calculation with smoothing groups !");
    resizeArray(mesh.faces, 0, count);
    mesh.faceCount = count;
    for (uint32_t f = 0; f < count; ++f)
        for (int k = 0; k < 3; ++k) {
            uint16_t vertex = readU16(at + 8 * f + 2 * k);
            if (vertex >= mesh.vertexCount)
                fatalData(r, "The face " + decimal(f) + " of the object \"" + r.object->name +
                                 "\" uses the vertex " + decimal(vertex) + ", but the mesh has " +
                                 decimal(mesh.vertexCount) + " vertices.");
            mesh.faces[f].v[k] = vertex;
        }
    resizeArray(mesh.baseNormals, 0, mesh.vertexCount);
    resizeArray(mesh.normals, 0, mesh.vertexCount);
    mesh.normalCount = mesh.vertexCount;
    buildVertexNormals(mesh.vertices, mesh.faces, mesh.faceCount, mesh.vertexCount, mesh.normals);
    for (uint32_t i = 0; i < mesh.vertexCount; ++i) mesh.baseNormals[i] = mesh.normals[i];
    // The frames built with the vertex list saw no faces; without a smoothing chunk to
    // fill them they would stay zero.
    if (mesh.tangentFrames) buildTangentFrames(mesh);
    return 8 + 8 * uint32_t(count);
}

const LoaderMaterial* findMaterial(const Reader& r, std::string_view name) {
    for (size_t i = r.materials.size(); i-- > 0;)
        if (r.materials[i].name == name) return &r.materials[i];
    return nullptr;
}

void recordGroupTextures(const FaceGroup* group, const LoaderMaterial& material) {
    if (material.texturePath.empty() && material.normalMapPath.empty()) return;
    reader3dsState.groupTextures.push_back({group, material.texturePath, material.normalMapPath});
}

uint32_t faceMaterialGroup(Reader& r, ChunkCursor& in, const Chunk& chunk) {
    requireObject(r, chunk);
    log("Assigning face materials...");
    std::string_view name = in.string();
    uint16_t count = in.u16();
    const uint8_t* at = in.array(count, 2);
    uint32_t advance = in.offset();
    MeshLod& mesh = *r.mesh;
    for (uint32_t i = 0; i < count; ++i)
        if (readU16(at + 2 * i) >= mesh.faceCount)
            fatalData(r, "The material group \"" + std::string(name) + "\" of the object \"" +
                             r.object->name + "\" uses the face " + decimal(readU16(at + 2 * i)) +
                             ", but the mesh has " + decimal(mesh.faceCount) + " faces.");
    const LoaderMaterial* material = findMaterial(r, name);
    if (!material) {
        log("Material \"" + std::string(name) + "\" was never defined: its faces are skipped !");
        return advance;
    }
    if (count == 0) return advance;

    FaceGroup& group = *addFaceGroup(mesh, count);
    for (uint32_t i = 0; i < count; ++i) {
        uint16_t face = readU16(at + 2 * i);
        group.faceIndices[i] = face;
        group.faceVertices[i] = mesh.faces[face]; // current after any smoothing split
    }
    if (material->opacity < 1.0f) r.object->transparent = 1.0f;
    if (startsWith(material->name, "ENV_")) group.unitEnvMapped[0] = 1;
    group.opacity = material->opacity;
    group.twoSided = material->twoSided;
    group.unitTexture[0] = material->texture;
    group.normalMapTexture = material->normalMapTexture;
    if (material->hasTextureMap && mesh.unitTexCoords[0] && mesh.texCoordCount)
        group.unitEnabled[0] = 1;
    for (int c = 0; c < 3; ++c) {
        group.ambient[c] = material->ambient[c];
        group.diffuse[c] = material->diffuse[c];
        group.specular[c] = material->specular[c];
    }
    group.ambient[3] = group.diffuse[3] = group.specular[3] = material->opacity;
    group.shininess = material->shininess;
    recordGroupTextures(&group, *material);
    return advance;
}

uint32_t mappingCoordinates(Reader& r, ChunkCursor& in, const Chunk& chunk) {
    requireObject(r, chunk);
    log("Reading texture mapping coordinates...");
    uint16_t count = in.u16();
    const uint8_t* at = in.array(count, 8);
    MeshLod& mesh = *r.mesh;
    if (mesh.unitTexCoords[0])
        fatalData(r, "The object \"" + r.object->name + "\" holds a second mapping list.");
    if (mesh.vertices && mesh.vertexCount != count)
        fatalData(r, "The object \"" + r.object->name + "\" has " + decimal(mesh.vertexCount) +
                         " vertices but " + decimal(count) + " mapping coordinates.");
    resizeArray(mesh.unitTexCoords[0], 0, count);
    mesh.texCoordCount = count;
    for (uint32_t i = 0; i < count; ++i, at += 8) {
        mesh.unitTexCoords[0][i].u = readF32(at);
        mesh.unitTexCoords[0][i].v = 1.0f - readF32(at + 4);
    }
    return 8 + 8 * uint32_t(count);
}

uint32_t smoothingGroups(Reader& r, ChunkCursor& in, const Chunk& chunk) {
    requireObject(r, chunk);
    MeshLod& mesh = *r.mesh;
    // Before the face list there is nothing to split: the flag makes a following face list
    // the "wrong method" error.
    if (!mesh.faces) {
        log("Smoothing groups found !");
        log("...building face and vertex normals using smoothing groups");
        r.object->smoothingUsed = 1;
        return chunk.length;
    }
    uint32_t maskBytes = chunk.length - 6;
    if (maskBytes != 4 * mesh.faceCount)
        fatalData(r, "The " + describeChunk(chunk) + " of the object \"" + r.object->name +
                         "\" holds " + decimal(maskBytes) + " bytes of smoothing masks, but " +
                         "its mesh has " + decimal(mesh.faceCount) + " faces (" +
                         decimal(4 * mesh.faceCount) + " bytes).");
    const uint8_t* masks = in.array(mesh.faceCount, 4);
    applySmoothingGroups(*r.object, mesh, masks);
    return 6 + 4 * mesh.faceCount;
}

uint32_t localCoordinateSystem(Reader& r, ChunkCursor& in, const Chunk& chunk) {
    requireObject(r, chunk);
    log("Reading object local coordinate system...");
    Vec3 x = readConverted(in);
    Vec3 y = readConverted(in);
    Vec3 z = readConverted(in);
    Vec3 origin = readConverted(in);
    SceneObject& o = *r.object;
    o.axes[0] = x, o.axes[1] = z, o.axes[2] = y;
    Mat4 local;
    for (int row = 0; row < 3; ++row) {
        local.m[4 * row] = o.axes[row].x;
        local.m[4 * row + 1] = o.axes[row].y;
        local.m[4 * row + 2] = o.axes[row].z;
    }
    local.setTranslation(origin);
    o.localMatrix = local;
    for (int k = 0; k < 3; ++k) {
        o.unitAxes[k] = o.axes[k];
        o.unitAxes[k].normalise();
    }
    return 54;
}

// ---------------------------------------------------------------- lights and cameras

void setLightColour(SceneObject& o, float red, float green, float blue) {
    float rgba[4] = {red, green, blue, 1.0f};
    for (int c = 0; c < 4; ++c)
        o.lightAmbient[c] = o.lightDiffuse[c] = o.lightSpecular[c] = rgba[c];
}

uint32_t lightChunk(Reader& r, ChunkCursor& in, const Chunk& chunk) {
    requireObject(r, chunk);
    SceneObject& o = *r.object;
    switch (chunk.id) {
        case 0x4600: {
            log("Object is light source...");
            log("Reading light source position...");
            Vec3 position = readConverted(in);
            o.transform.setTranslation(position);
            o.localCenter = o.worldCenter = position;
            o.lightKind = kDirectionalLight;
            return 18;
        }
        case 0x4610: {
            log("Light source is a spot light...");
            log("Reading spot light informations...");
            Vec3 target = readConverted(in);
            float hotspot = in.f32(), falloff = in.f32();
            // The light stays where its position chunk put it; only the target is new.
            o.target = o.worldTarget = target;
            o.spotHotspot = hotspot * 0.5f;
            o.spotFalloff = falloff * 0.5f;
            o.lightKind = kSpotLight;
            return 26;
        }
        case 0x4625:
            log("Light source is a point light..."), o.lightKind = kPointLight;
            break;
        case 0x4650:
            log("Reading light cone is visible..."), o.coneVisible = 1;
            break;
        case 0x4651:
            log("Reading spot light is rectangular..."), o.rectangularSpot = 1;
            break;
        case 0x4652:
            log("Reading spot light overshoot is enabled..."), o.overshoot = 1;
            break;
        case 0x4657:
            log("Reading spot light aspect..."), o.spotAspect = in.f32();
            return 10;
        case 0x4658:
            log("Reading light ray bias..."), o.rayBias = in.f32();
            return 10;
        case 0x4659:
            log("Reading light inner range..."), o.innerRange = in.f32();
            return 10;
        case 0x465A:
            log("Reading light outer range..."), o.outerRange = in.f32();
            return 10;
        case 0x465B:
            log("Reading light multiplier..."), o.multiplier = in.f32();
            return 10;
    }
    return chunk.length;
}

uint32_t lightColour(Reader& r, ChunkCursor& in, const Chunk& chunk) {
    if (!r.object) return chunk.length;
    if (chunk.id == 0x0010) {
        log("Reading light source float color...");
        float red = in.f32(), green = in.f32(), blue = in.f32();
        setLightColour(*r.object, red, green, blue);
        return 18;
    }
    log("Reading light source byte color...");
    float red = in.u8() * kColourByteScale, green = in.u8() * kColourByteScale;
    float blue = in.u8() * kColourByteScale;
    setLightColour(*r.object, red, green, blue);
    return 9;
}

uint32_t cameraChunk(Reader& r, ChunkCursor& in, const Chunk& chunk) {
    requireObject(r, chunk);
    log("Object is a camera...");
    log("Reading camera position and target...");
    SceneObject& o = *r.object;
    Vec3 position = readConverted(in);
    Vec3 target = readConverted(in);
    in.f32(), in.f32(); // bank and lens are not kept
    o.transform.setTranslation(position);
    o.localCenter = o.worldCenter = position;
    o.target = o.worldTarget = target;
    o.isCamera = 1;
    return 38;
}

// ---------------------------------------------------------------- materials and maps

// A colour sub-chunk at the payload: float or byte colour; any other id changes nothing.
void readColour(ChunkCursor& in, float rgba[4]) {
    uint16_t id = in.u16();
    in.u32();
    if (id == 0x0010) {
        float red = in.f32(), green = in.f32(), blue = in.f32();
        rgba[0] = red, rgba[1] = green, rgba[2] = blue, rgba[3] = 1.0f;
    } else if (id == 0x0011) {
        float red = in.u8() * kColourByteScale, green = in.u8() * kColourByteScale;
        float blue = in.u8() * kColourByteScale;
        rgba[0] = red, rgba[1] = green, rgba[2] = blue, rgba[3] = 1.0f;
    }
}

// A percentage sub-chunk (ushort or float); false for any other id.
bool readPercentage(ChunkCursor& in, float& value) {
    uint16_t id = in.u16();
    in.u32();
    if (id == 0x0030) return value = in.u16(), true;
    if (id == 0x0031) return value = in.f32(), true;
    return false;
}

std::string normalMapName(const std::string& textureName) {
    std::string name = textureName.substr(0, textureName.size() >= 4 ? textureName.size() - 4 : 0);
    return name + "_NM.PNG";
}

// Where a texture file is read from: the scene's own source, or the fallback bigfile when
// only that holds it.
std::string textureSource(const std::string& name, const std::string& archive) {
    const std::string& fallback = reader3dsState.textureFallbackArchive;
    if (fallback.empty() || fileExists(name, archive) || !fileExists(name, fallback))
        return archive;
    return fallback;
}

uint32_t loadMaterialTexture(const std::string& name, const std::string& archive,
                             const TextureLoadOptions& options) {
    if (!reader3dsState.loadTextures) return 0;
    int32_t index = loadTexture(name, archive, options);
    return textureState.records[index]->glName;
}

void mapFileName(Reader& r, ChunkCursor& in, const Chunk& chunk) {
    LoaderMaterial& material = requireMaterial(r, chunk);
    std::string fullName = r.texturePrefix + std::string(in.string());
    material.texturePath = fullName;
    material.hasTextureMap = 1;
    log(" "), log("Material map file is..."), log(fullName), log(" ");
    log("Loading material map file...");
    material.texture =
        loadMaterialTexture(fullName, textureSource(fullName, r.archiveName), textureState.options);
    log("Loaded successfully !"), log(" ");

    std::string normalMap = normalMapName(fullName);
    const std::string normalMapSource = textureSource(normalMap, r.archiveName);
    if (material.name.size() > 2 && startsWith(material.name, "NM_") &&
        fileExists(normalMap, normalMapSource)) {
        log("Additional normal map file found !"), log("Normal map file is...");
        log(normalMap), log("Loading material normal map file...");
        material.normalMapPath = normalMap;
        // Normal maps keep their exact texels: no mipmaps, no compression.
        TextureLoadOptions normalMapOptions = textureState.options;
        normalMapOptions.noMipmaps = true;
        normalMapOptions.noCompression = true;
        material.normalMapTexture =
            loadMaterialTexture(normalMap, normalMapSource, normalMapOptions);
        log("Loaded successfully !");
    }
}

uint32_t materialChunk(Reader& r, ChunkCursor& in, const Chunk& chunk) {
    switch (chunk.id) {
        case 0xAFFF:
            log(" "), log("::: Material block found !");
            return 6;
        case 0xA000: {
            std::string name(in.string());
            log(" "), log("Material name is :"), log(name), log(" ");
            r.materials.emplace_back();
            r.materials.back().name = name;
            break;
        }
        case 0xA010:
            log("Reading ambient color...");
            readColour(in, requireMaterial(r, chunk).ambient);
            break;
        case 0xA020:
            log("Reading diffuse color...");
            readColour(in, requireMaterial(r, chunk).diffuse);
            break;
        case 0xA030:
            log("Reading specular color...");
            readColour(in, requireMaterial(r, chunk).specular);
            break;
        case 0xA041: {
            log("Reading shininess...");
            LoaderMaterial& material = requireMaterial(r, chunk);
            float value;
            if (readPercentage(in, value)) material.shininess = value * 0.01f * 128.0f;
            break;
        }
        case 0xA050: {
            log("Reading material transparency...");
            LoaderMaterial& material = requireMaterial(r, chunk);
            float value;
            if (readPercentage(in, value)) material.opacity = 1.0f - value * 0.01f;
            break;
        }
        case 0xA081:
            log("Material is two-sided...");
            requireMaterial(r, chunk).twoSided = 1;
            return 6;
        case 0xA200:
            log(" "), log("Material map found !");
            return 6;
        case 0xA300:
            mapFileName(r, in, chunk);
            break;
    }
    return chunk.length;
}

// ---------------------------------------------------------------- keyframer

uint32_t nodeChunk(Reader& r, const Chunk& chunk) {
    static const struct {
        uint16_t id;
        const char* line;
        NodeRole role;
    } nodes[] = {
        {0xB001, "Found keyframer position information for object...", NodeRole::Ambient},
        {0xB002, "Found keyframer position information for object...", NodeRole::Position},
        {0xB003, "Found keyframer position information for camera...", NodeRole::Position},
        {0xB004, "Found keyframer target information for camera...", NodeRole::Target},
        {0xB005, "Found keyframer position information for omni light...", NodeRole::Position},
        {0xB006, "Found keyframer target information for spot light...", NodeRole::Target},
        {0xB007, "Found keyframer position information for spot light...", NodeRole::Position},
    };
    for (const auto& node : nodes)
        if (node.id == chunk.id) {
            log(" "), log(node.line);
            r.role = node.role;
        }
    return 6;
}

SceneObject* findNodeObject(Reader& r, const std::string& name) {
    int32_t index = findObjectIndex(name);
    if (index < 0 && name.size() == 10) {
        std::string shorter = name.substr(0, 8);
        index = findObjectIndex(shorter);
        if (index < 0) {
            shorter = name.substr(0, 6);
            index = findObjectIndex(shorter);
        }
        if (index >= 0) log("Changed searched object ID from  " + name + "  to  " + shorter);
    }
    if (index < 0)
        fatalError("3DS FILE ERROR", "The 3DS file \"" + r.walk.fileName +
                                         "\" has invalid data !\n\nThe keyframer block holds "
                                         "information for an object\n\"" +
                                         name + "\"which does not exist in the object block !");
    return objectState.objects[index];
}

void placeInHierarchy(Reader& r, int depth) {
    if (depth < r.previousDepth) {
        r.currentParent = r.hierarchy[depth + 1];
    } else if (depth > r.previousDepth && r.currentParent && r.currentParent->childCount > 0) {
        r.currentParent = r.currentParent->children[r.currentParent->childCount - 1];
    }
    r.previousDepth = depth;
    // Positions skipped by a jump of more than one level take the current parent, so that
    // every entry of the stack is set.
    if (r.hierarchy.size() < size_t(depth) + 2) r.hierarchy.resize(depth + 2, r.currentParent);
    r.hierarchy[depth + 1] = r.currentParent;
}

void nodeHeader(Reader& r, ChunkCursor& in, const Chunk& chunk) {
    std::string name(in.string());
    in.u16(), in.u16();
    int depth = in.s16();
    log(name), log("Objects hierarchy position is :"), log(decimal(depth));
    if (depth < -1)
        fatalData(r, "The keyframer node \"" + name + "\" at byte " + decimal(chunk.start) +
                         " has the hierarchy position " + decimal(depth) + ", which is below -1.");
    r.nodeSeen = true;
    r.nodeObject = nullptr;
    // A level of detail stores no keyframer data; the ambient light is no object.
    if (r.lodMode() || r.role == NodeRole::Ambient) return;

    placeInHierarchy(r, depth);
    SceneObject* object;
    if (name == kDummyName) {
        object = createObject(name, r.currentParent);
        r.loaded.push_back({object, 0});
    } else {
        object = findNodeObject(r, name);
        if (!object->treeNode && r.currentParent) attachObject(r.currentParent, *object);
    }
    r.object = object;
    r.nodeObject = object;
    TrackSet& tracks = r.role == NodeRole::Target ? object->targetTracks : object->tracks;
    tracks.start = r.segmentStart;
    tracks.end = r.segmentEnd;
}

void instanceName(Reader& r, ChunkCursor& in) {
    std::string name(in.string());
    log("Dummy object name is :"), log(name);
    if (!r.nodeObject) return;
    r.nodeObject->name = name;
    if (r.nodeObject->treeNode) renameNodeLabel(r.nodeObject->treeNode, name);
}

struct KeyHeader {
    int32_t frame;
    float tension, continuity, bias;
};

KeyHeader readKeyHeader(ChunkCursor& in) {
    KeyHeader key{int32_t(in.u32() * 10u), 0.0f, 0.0f, 0.0f};
    uint16_t flags = in.u16();
    if (flags & 1) key.tension = in.f32();
    if (flags & 2) key.continuity = in.f32();
    if (flags & 4) key.bias = in.f32();
    if (flags & 8) in.f32();
    if (flags & 16) in.f32();
    return key;
}

uint32_t trackChunk(Reader& r, ChunkCursor& in, const Chunk& chunk) {
    bool rotation = chunk.id == 0xB021;
    log(rotation ? "Reading keyframer rotation track... " : "Reading keyframer position track... ");
    if (!r.nodeSeen) fatalData(r, "The " + describeChunk(chunk) + " belongs to no keyframer node.");
    in.u16();
    in.skip(8);
    uint32_t count = in.u32();
    // Every key takes at least its frame, flags and value: a larger count cannot fit.
    uint32_t smallest = rotation ? 22 : 18;
    if (count > in.remaining() / smallest) in.array(count, smallest);

    TrackSet* tracks = nullptr;
    if (r.nodeObject)
        tracks = r.role == NodeRole::Target ? &r.nodeObject->targetTracks : &r.nodeObject->tracks;
    if (tracks) rotation ? resizeRotationKeys(*tracks, count) : resizePositionKeys(*tracks, count);
    for (uint32_t k = 0; k < count; ++k) {
        KeyHeader key = readKeyHeader(in);
        if (rotation) {
            float angle = in.f32();
            Vec3 axis = readConverted(in);
            if (!tracks) continue;
            RotationKey& stored = tracks->rotationKeys[k];
            stored.frame = key.frame;
            stored.angle = angle;
            stored.axis = axis;
            stored.tension = key.tension, stored.bias = key.bias;
            stored.continuity = key.continuity;
        } else {
            Vec3 position = readConverted(in);
            if (!tracks) continue;
            PositionKey& stored = tracks->positionKeys[k];
            stored.frame = key.frame;
            stored.position = position;
            stored.tension = key.tension, stored.bias = key.bias;
            stored.continuity = key.continuity;
        }
    }
    if (rotation) {
        log("Converting rotation keys to quaternions...");
        log("Calculating rotation key control points...");
    } else {
        log("Calculating position key tangents...");
    }
    if (tracks && rotation) {
        rotationKeysToQuaternions(*tracks);
        computeRotationControls(*tracks);
        Mat4 firstRotation;
        rotationAtKey(*tracks, 0, firstRotation);
        r.nodeObject->transform.setRotation(firstRotation);
    } else if (tracks) {
        computePositionTangents(*tracks);
        Vec3 position;
        if (count > 0) {
            positionAtKey(*tracks, 0, position);
            if (r.role == NodeRole::Target)
                r.nodeObject->target = position;
            else
                r.nodeObject->transform.setTranslation(position);
        }
    }
    return in.offset();
}

uint32_t keyframerChunk(Reader& r, ChunkCursor& in, const Chunk& chunk) {
    switch (chunk.id) {
        case 0xB000:
            log(" "), log(" "), log("::: Keyframer block found !"), log(" ");
            return 6;
        case 0xB008: {
            log("Reading frames start and end...");
            r.segmentStart = int32_t(in.u32() * 10u);
            r.segmentEnd = int32_t(in.u32() * 10u);
            return 14;
        }
        case 0xB010:
            nodeHeader(r, in, chunk);
            break;
        case 0xB011:
            instanceName(r, in);
            break;
        case 0xB013:
            log("Reading keyframer pivot adjustment... ");
            readConverted(in);
            return 18;
        case 0xB020:
        case 0xB021:
            return trackChunk(r, in, chunk);
        case 0xB022:
            log("Reading keyframer scale track... ");
            break;
        case 0xB001:
        case 0xB002:
        case 0xB003:
        case 0xB004:
        case 0xB005:
        case 0xB006:
        case 0xB007:
            return nodeChunk(r, chunk);
    }
    return chunk.length;
}

// ---------------------------------------------------------------- the walk

uint32_t dispatch(Reader& r, const Chunk& chunk) {
    ChunkCursor in(r.walk, chunk);
    switch (chunk.id) {
        case 0x0010:
        case 0x0011:
            return lightColour(r, in, chunk);
        case 0x4000:
            objectBlock(r, in);
            return in.offset();
        case 0x4100:
            log("Triangular mesh chunk found...");
            return 6;
        case 0x4110:
            return vertexList(r, in, chunk);
        case 0x4120:
            return faceList(r, in, chunk);
        case 0x4130:
            return faceMaterialGroup(r, in, chunk);
        case 0x4140:
            return mappingCoordinates(r, in, chunk);
        case 0x4150:
            return smoothingGroups(r, in, chunk);
        case 0x4160:
            return localCoordinateSystem(r, in, chunk);
        case 0x4600:
        case 0x4610:
        case 0x4625:
        case 0x4650:
        case 0x4651:
        case 0x4652:
        case 0x4657:
        case 0x4658:
        case 0x4659:
        case 0x465A:
        case 0x465B:
            return lightChunk(r, in, chunk);
        case 0x4700:
            return cameraChunk(r, in, chunk);
        case 0xAFFF:
        case 0xA000:
        case 0xA010:
        case 0xA020:
        case 0xA030:
        case 0xA041:
        case 0xA050:
        case 0xA081:
        case 0xA200:
        case 0xA300:
            return materialChunk(r, in, chunk);
    }
    if ((chunk.id & 0xFF00) == 0xB000) return keyframerChunk(r, in, chunk);
    return chunk.length;
}

// Where the children of a chunk begin (offset from its start), for the chunks whose
// children follow their own data; 0 for the others. The end of a file that was cut short
// may fall among the children, which are then read as far as they are whole.
uint32_t childrenStart(const ChunkWalk& walk, const Chunk& chunk) {
    const uint8_t* payload = walk.data + chunk.start + kChunkHeaderSize;
    uint32_t payloadLength = chunk.length - kChunkHeaderSize;
    switch (chunk.id) {
        case 0x4000: {
            const void* zero = std::memchr(payload, 0, payloadLength);
            return zero ? uint32_t(static_cast<const uint8_t*>(zero) - payload) + 7 : 0;
        }
        case 0x4120:
            return payloadLength >= 2 ? 8 + 8 * uint32_t(readU16(payload)) : 0;
        case 0x4600:
            return 18;
        case 0x4100:
        case 0xAFFF:
        case 0xA200:
            return kChunkHeaderSize;
    }
    return chunk.id >= 0xB000 && chunk.id <= 0xB007 ? kChunkHeaderSize : 0;
}

// A chunk that the end of the file cuts short is read when its own data is whole (the
// children that follow are met one by one); otherwise it is left out.
bool wholeEnough(const ChunkWalk& walk, const Chunk& chunk) {
    if (!chunk.cutShort) return true;
    uint32_t start = childrenStart(walk, chunk);
    return start > 0 && start <= chunk.length;
}

// The loading phase adds its own progress base to the byte position.
void walkChunks(Reader& r) {
    Chunk chunk;
    while (nextChunk(r.walk, chunk)) {
        if (!wholeEnough(r.walk, chunk)) {
            log(" "), log("Attention : the " + describeChunk(chunk) +
                          " is cut short by the end of the file and is left out !");
            r.walk.position = chunk.end();
        } else {
            finishChunk(r.walk, chunk, dispatch(r, chunk));
        }
        setLoadingProgress(r.walk.position);
    }
}

// ---------------------------------------------------------------- after the walk

void extremeVerticesNotice(const SceneObject& object, uint32_t count) {
    std::string text = "The mesh of the object " + object.name + " has " + decimal(count) +
                       " bad local " + (count == 1 ? "vertex" : "vertices") +
                       " !\nThe (x,y,z) values are extreme unusually high (above " + "10000" +
                       " !)\nand in general lead to application errors and math bugs like "
                       "#INF000 !\n\nTo avoid further complications the (x,y,z) values have "
                       "been set to (1,1,1).\n\nPlease contact and inform the author of this "
                       "application about this error\nwhich is caused by invalid external 3D "
                       "object data ! Thank you !";
    noticeBox(k3dsErrorCaption, text);
}

void buildLocalVertices(SceneObject& object, MeshLod& mesh) {
    Vec3 origin = object.localMatrix.getTranslation();
    if (mesh.localVertices) return;
    resizeArray(mesh.localVertices, 0, mesh.vertexCount);
    uint32_t extreme = 0;
    for (uint32_t i = 0; i < mesh.vertexCount; ++i) {
        Vec3 v = mesh.vertices[i] - origin;
        if (std::fabs(v.x) > kExtremeLocalValue || std::fabs(v.y) > kExtremeLocalValue ||
            std::fabs(v.z) > kExtremeLocalValue) {
            v = Vec3{1.0f, 1.0f, 1.0f};
            ++extreme;
        }
        mesh.localVertices[i] = v;
    }
    if (extreme) extremeVerticesNotice(object, extreme);
}

void finishObject(const Reader& r, const LoadedEntry& entry) {
    SceneObject& object = *entry.object;
    MeshLod& mesh = object.lods[entry.slot];
    if (object.tracks.positionKeyCount > 1 || object.tracks.rotationKeyCount > 1 ||
        object.targetTracks.positionKeyCount > 1 || object.targetTracks.rotationKeyCount > 1)
        object.animated = 1;
    if (mesh.vertexCount == 0) return;
    buildLocalVertices(object, mesh);
    object.localCenter = boxCenter(mesh.localVertices, mesh.vertexCount);
    object.worldCenter = boxCenter(mesh.vertices, mesh.vertexCount);
    object.radius = radiusAbout(mesh.localVertices, mesh.vertexCount, object.localCenter);
    if (!r.lodMode()) {
        fitBox(object.box, mesh.localVertices, mesh.vertexCount);
        computeCorners(object.box);
        destroyTree(object.obbTree);
        object.obbTree = buildMeshTree(mesh);
    }
    if (startsWith(object.name, "BM_")) {
        TexCoord* copy = nullptr;
        if (mesh.unitTexCoords[0] && mesh.texCoordCount) {
            resizeArray(copy, 0, mesh.texCoordCount);
            for (uint32_t i = 0; i < mesh.texCoordCount; ++i) copy[i] = mesh.unitTexCoords[0][i];
        }
        prepareBumpMapping(mesh, copy);
        object.renderFlags = 2;
    }
}

void finishLoad(Reader& r) {
    log(" "), log(" "), log("3ds file loaded successfully !"), log(" "), log(" ");
    log("Deallocating temporary 3ds memory... ");
    r.freeBuffer();
    r.materials.clear();
    r.hierarchy.clear();
    log("Done !"), log(" "), log("Performing post-manipulations on objects...");
    for (const LoadedEntry& entry : r.loaded) finishObject(r, entry);
    std::vector<SceneObject*> objects;
    for (const LoadedEntry& entry : r.loaded) objects.push_back(entry.object);
    updateObjects(objects);
    log("Done !");
}

void checkLodTarget(const Reader& r) {
    if (r.lodTarget >= int32_t(objectState.count))
        fatalError(k3dsErrorCaption, "The 3DS loader was called to fill the LOD data of the "
                                     "object number " +
                                         decimal(r.lodTarget) + ", which does not exist !");
    const SceneObject& target = *objectState.objects[r.lodTarget];
    if (target.lodIndex <= 0 || target.lodIndex >= kMaxLods ||
        target.lods[target.lodIndex].vertexCount > 0)
        fatalError(k3dsErrorCaption,
                   "It is not possible to load new object data into existing LOD data space !");
}

} // namespace

namespace {

// Reads the file held in r.buffer (taken over by the reader).
void readScene(Reader& r) {
    if (!r.buffer || r.bufferSize == 0)
        fatalError(k3dsErrorCaption,
                   "Following 3DS file is invalid !\n\nFile :  " + r.walk.fileName);
    r.walk.data = r.buffer;
    r.walk.size = r.bufferSize;
    checkOpening(r);
    openWalk(r);
    walkChunks(r);
    finishLoad(r);
}

void startReader(Reader& r, const std::string& fileName, const std::string& archiveName,
                 std::string texturePrefix, const std::string& clearPrefix, int lodTarget,
                 SceneNode* parentNode) {
    r.walk.fileName = fileName;
    r.archiveName = archiveName;
    r.texturePrefix = clearPrefix.empty() ? texturePrefix : std::string();
    r.lodTarget = lodTarget < 0 ? -1 : lodTarget;
    r.parentNode = parentNode;
    r.currentParent = parentNode;
    reader3dsState.groupTextures.clear();
    if (r.lodMode()) checkLodTarget(r);
}

} // namespace

void load3dsScene(const std::string& fileName, const std::string& archiveName,
                  std::string texturePrefix, const std::string& clearPrefix, int lodTarget,
                  SceneNode* parentNode) {
    Reader r;
    startReader(r, fileName, archiveName, texturePrefix, clearPrefix, lodTarget, parentNode);
    r.bufferSize = loadEntry(fileName, archiveName, r.buffer);
    readScene(r);
}

void load3dsSceneFromMemory(const std::string& fileName, const uint8_t* data, uint32_t size,
                            std::string texturePrefix, const std::string& clearPrefix,
                            int lodTarget, SceneNode* parentNode) {
    Reader r;
    startReader(r, fileName, "", texturePrefix, clearPrefix, lodTarget, parentNode);
    if (size > 0) {
        accountedAlloc(r.buffer, 0, size);
        std::memcpy(r.buffer, data, size);
        r.bufferSize = size;
    }
    readScene(r);
}

const GroupTextureNames* findGroupTextureNames(const FaceGroup* group) {
    for (const GroupTextureNames& names : reader3dsState.groupTextures)
        if (names.group == group) return &names;
    return nullptr;
}
