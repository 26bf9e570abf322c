#include "effects/renderer.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include "effects/debug_draw.h"
#include "effects/fog.h"
#include "platform/system/failure.h"
#include "render/capabilities.h"
#include "render/debug_display.h"
#include "render/render_state.h"
#include "render/statistics.h"
#include "render/texture_modes.h"
#include "scene/culling.h"
#include "scene/objects.h"
#include "scene/scene_graph.h"

RendererState rendererState;

void installBufferHooks() {
    gpuBufferHooks.build = buildObjectBuffers;
    gpuBufferHooks.update = updateObjectBuffers;
    gpuBufferHooks.release = releaseObjectBuffers;
}

void reserveDrawLists(int32_t objectCount) {
    if (objectCount <= rendererState.drawListCapacity) return;
    uint32_t oldCount = uint32_t(rendererState.drawListCapacity);
    resizeArray(rendererState.solidEntries, oldCount, uint32_t(objectCount));
    resizeArray(rendererState.transparentEntries, oldCount, uint32_t(objectCount));
    rendererState.drawListCapacity = objectCount;
}

void releaseDrawLists() {
    uint32_t count = uint32_t(rendererState.drawListCapacity);
    freeArray(rendererState.solidEntries, count);
    freeArray(rendererState.transparentEntries, count);
    rendererState.drawListCapacity = 0;
    rendererState.solidCount = 0;
    rendererState.transparentCount = 0;
}

SceneNode* findSceneNode(std::string_view name) {
    SceneObject* object = findObject(name);
    return object != nullptr ? object->treeNode : nullptr;
}

static MeshLod& currentLod(SceneObject& object) {
    if (object.lodIndex < 0 || object.lodIndex >= kMaxLods) object.lodIndex = 0;
    return object.lods[object.lodIndex];
}

static uint32_t textureUnitCount() {
    uint32_t units = renderState.settings.textureUnitCount;
    return units < uint32_t(kTextureUnits) ? units : uint32_t(kTextureUnits);
}

// ---------------------------------------------------------------------------------------
// Traversal: lights in scope, culling, distances, levels of detail, the two lists.

static bool isLightInScope(const SceneObject* object) {
    return object != nullptr && object->lightKind != kNotALight && object->visibilityState != 0;
}

static void pushLight(SceneObject* light) {
    if (rendererState.lightStackSize >= kMaxSceneLights) {
        fatalError(kTooManyLightsCaption, kTooManyLightsText);
    }
    rendererState.lightStack[rendererState.lightStackSize++] = light;
}

// Pushes the lights among the node's children; returns how many.
static int32_t pushChildLights(const SceneNode* node) {
    int32_t pushed = 0;
    for (int32_t i = 0; i < node->childCount; i++) {
        SceneObject* object = node->children[i]->object;
        if (!isLightInScope(object)) continue;
        pushLight(object);
        pushed++;
    }
    return pushed;
}

static void buildLodThresholds() {
    for (int32_t n = 1; n <= kMaxLods; n++) {
        for (int32_t l = 0; l < kMaxLods; l++) {
            rendererState.lodThresholds[n - 1][l] =
                l < n ? float(l) * kLodDistanceRange / float(n) : 0.0f;
        }
    }
}

// The highest level whose threshold the distance reaches (a transparent object must pass
// it); the level stays as it is when none does.
static void chooseLod(SceneObject& object, float distance, bool transparent) {
    int32_t n = object.lodCount;
    if (n < 1) n = 1;
    if (n > kMaxLods) n = kMaxLods;
    const float* thresholds = rendererState.lodThresholds[n - 1];
    for (int32_t l = n - 1; l >= 0; l--) {
        if (transparent ? thresholds[l] < distance : thresholds[l] <= distance) {
            object.lodIndex = l;
            return;
        }
    }
}

static void appendEntry(DrawEntry*& list, int32_t& count, SceneObject* object, float distance) {
    if (count >= rendererState.drawListCapacity) {
        int32_t wanted = rendererState.drawListCapacity * 2;
        if (wanted < objectState.count) wanted = objectState.count;
        if (wanted < 16) wanted = 16;
        reserveDrawLists(wanted);
    }
    list[count++] = {object, distance};
}

// Culls a drawable object and lists it with its distance, level and lights.
static void listObject(SceneObject& object, const uint8_t* planeMask, uint8_t* childMask) {
    if (object.customDraw == nullptr &&
        !cullObject(object, renderState.frustum.planes, planeMask, childMask)) {
        return;
    }
    if (object.lods[0].vertexCount == 0) return;
    float distance = (object.worldCenter - renderState.camera.eye).length();
    bool transparent = object.transparent != 0.0f;
    if (transparent) {
        appendEntry(rendererState.transparentEntries, rendererState.transparentCount, &object,
                    distance);
    } else {
        appendEntry(rendererState.solidEntries, rendererState.solidCount, &object, distance);
    }
    chooseLod(object, distance, transparent);
    int32_t lights = rendererState.lightStackSize;
    object.lightCount = lights < kMaxObjectLights ? lights : kMaxObjectLights;
    for (int32_t i = 0; i < object.lightCount; i++) object.lights[i] = rendererState.lightStack[i];
}

static void traverse(SceneNode* node, const uint8_t* planeMask) {
    SceneObject* object = node->object;
    if (object == nullptr) return;
    if (object->visibilityState != 2) {
        object->cullResult = 1;
        return;
    }
    uint8_t childMask[6];
    for (int p = 0; p < 6; p++) childMask[p] = planeMask[p];
    if (!object->isCamera && object->lightKind == kNotALight) {
        listObject(*object, planeMask, childMask);
    }
    if (object->cullResult == 0) return;
    int32_t pushed = pushChildLights(node);
    for (int32_t i = 0; i < node->childCount; i++) traverse(node->children[i], childMask);
    rendererState.lightStackSize -= pushed;
}

// Insertion sort: stable, so entries at equal distances keep the order the traversal listed
// them in.
static void sortEntries(DrawEntry* entries, int32_t count, bool nearestFirst) {
    for (int32_t i = 1; i < count; i++) {
        DrawEntry entry = entries[i];
        int32_t j = i;
        while (j > 0 && (nearestFirst ? entries[j - 1].distance > entry.distance
                                      : entries[j - 1].distance < entry.distance)) {
            entries[j] = entries[j - 1];
            j--;
        }
        entries[j] = entry;
    }
}

void collectVisibleObjects(SceneNode* node) {
    rendererState.solidCount = 0;
    rendererState.transparentCount = 0;
    if (node == nullptr) return;
    buildLodThresholds();
    rendererState.lightStackSize = 0;
    for (const SceneNode* above = node->parent; above != nullptr; above = above->parent) {
        pushChildLights(above);
    }
    if (node->parent != nullptr && node->parent->object != nullptr) {
        node->parent->object->cullResult = 1;
    }
    const uint8_t allPlanes[6] = {1, 1, 1, 1, 1, 1};
    traverse(node, allPlanes);
    sortEntries(rendererState.solidEntries, rendererState.solidCount, true);
    sortEntries(rendererState.transparentEntries, rendererState.transparentCount, false);
}

static void drawEntries(const DrawEntry* entries, int32_t count) {
    for (int32_t i = 0; i < count; i++) {
        rendererState.objectDistance = entries[i].distance;
        drawObject(*entries[i].object);
    }
}

void renderSceneGraph(SceneNode* node) {
    if (node == nullptr) return;
    collectVisibleObjects(node);
    beginGlobalFog();
    glEnable(GL_DEPTH_TEST);
    for (uint8_t& on : rendererState.texgenOn) on = 0;

    drawEntries(rendererState.solidEntries, rendererState.solidCount);

    setBlendFunction(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    setBlending(true);
    glLightModelf(GL_LIGHT_MODEL_TWO_SIDE, 1.0f);
    drawEntries(rendererState.transparentEntries, rendererState.transparentCount);
    setBlendFunction(GL_SRC_ALPHA, GL_ONE);
    setBlending(false);
    glLightModelf(GL_LIGHT_MODEL_TWO_SIDE, 0.0f);

    endGlobalFog();
    glDisable(GL_DEPTH_TEST);
    resetObjectRenderState();
}

// ---------------------------------------------------------------------------------------
// Drawing one object.

static void selectClientUnit(uint32_t unit) {
    if (glFunctions.glClientActiveTextureARB != nullptr) {
        glFunctions.glClientActiveTextureARB(GL_TEXTURE0_ARB + unit);
    }
}

static void bindArrayBuffer(GLenum target, uint32_t buffer) {
    if (glCapabilities.vertexBuffersAvailable) glFunctions.glBindBufferARB(target, buffer);
}

static void unbindBuffers() {
    bindArrayBuffer(GL_ARRAY_BUFFER_ARB, 0);
    bindArrayBuffer(GL_ELEMENT_ARRAY_BUFFER_ARB, 0);
}

static void setupLights(const SceneObject& object) {
    int32_t count = object.lightCount < kMaxObjectLights ? object.lightCount : kMaxObjectLights;
    for (int32_t i = 0; i < count; i++) {
        const SceneObject& light = *object.lights[i];
        GLenum id = GLenum(GL_LIGHT0 + i);
        Vec3 p = light.worldTransform.getTranslation();
        float w = 1.0f;
        if (light.lightKind == kDirectionalLight) {
            if (p.isZero()) fatalError(kDirectionalLightCaption, kDirectionalLightText);
            w = 0.0f;
        }
        glEnable(id);
        const float position[4] = {p.x, p.y, p.z, w};
        const float down[3] = {0.0f, 0.0f, -1.0f};
        glLightfv(id, GL_AMBIENT, light.lightAmbient);
        glLightfv(id, GL_DIFFUSE, light.lightDiffuse);
        glLightfv(id, GL_SPECULAR, light.lightSpecular);
        glLightfv(id, GL_POSITION, position);
        glLightf(id, GL_SPOT_EXPONENT, 0.0f);
        glLightfv(id, GL_SPOT_DIRECTION, down);
        glLightf(id, GL_SPOT_CUTOFF, 180.0f);
        if (light.lightKind == kPointLight) {
            glLightf(id, GL_CONSTANT_ATTENUATION, light.lightFactors[0]);
            glLightf(id, GL_LINEAR_ATTENUATION, light.lightFactors[1]);
            glLightf(id, GL_QUADRATIC_ATTENUATION, light.lightFactors[2]);
        } else if (light.lightKind == kSpotLight) {
            glLightf(id, GL_CONSTANT_ATTENUATION, 1.0f);
            glLightf(id, GL_LINEAR_ATTENUATION, 0.0f);
            glLightf(id, GL_QUADRATIC_ATTENUATION, 0.0f);
            glLightf(id, GL_SPOT_CUTOFF, light.spotFalloff); // already the half angle
            Vec3 direction = light.worldTarget - p;
            direction.normalise();
            const float spot[4] = {direction.x, direction.y, direction.z, 1.0f};
            glLightfv(id, GL_SPOT_DIRECTION, spot);
        }
    }
    for (int32_t i = count; i < kMaxObjectLights; i++) glDisable(GLenum(GL_LIGHT0 + i));
}

// Vertex, colour and normal arrays and the per-object fog. Returns whether fog was set up.
static bool setupVertexArrays(SceneObject& object, MeshLod& lod, bool useBuffers) {
    uint32_t vertexBuffer = useBuffers ? lod.vertexBuffer : 0;
    if (useBuffers ? vertexBuffer != 0 : lod.vertices != nullptr && lod.vertexCount > 0) {
        bindArrayBuffer(GL_ARRAY_BUFFER_ARB, vertexBuffer);
        glVertexPointer(3, GL_FLOAT, 0, useBuffers ? nullptr : lod.vertices);
        glEnableClientState(GL_VERTEX_ARRAY);
    } else {
        glDisableClientState(GL_VERTEX_ARRAY);
    }

    if (object.renderFlags & kRenderLighting) {
        glEnable(GL_LIGHTING);
        glDisableClientState(GL_COLOR_ARRAY);
    } else {
        glDisable(GL_LIGHTING);
        bool colours = (object.renderFlags & kRenderColours) &&
                       (useBuffers ? lod.colourBuffer != 0 : lod.vertexColours != nullptr);
        if (colours) {
            bindArrayBuffer(GL_ARRAY_BUFFER_ARB, useBuffers ? lod.colourBuffer : 0);
            glColorPointer(4, GL_FLOAT, 0, useBuffers ? nullptr : lod.vertexColours);
            glEnableClientState(GL_COLOR_ARRAY);
        } else {
            glDisableClientState(GL_COLOR_ARRAY);
            const float* c = object.colourScale;
            glColor4f(c[0], c[1], c[2], c[3]);
        }
    }

    if (object.renderFlags & kRenderBumpMapping) {
        SceneObject* light = object.lightCount > 0 ? object.lights[0] : nullptr;
        computeBumpVectors(lod, light);
        if (useBuffers) updateObjectBuffers(object, kBufferBumpVectors);
        statisticsState.frame.perPixelLitObjects++;
    }

    bool normals = (object.renderFlags & kRenderNormals) && lod.normalCount >= lod.vertexCount &&
                   (useBuffers ? lod.normalBuffer != 0 : lod.normals != nullptr);
    if (normals) {
        bindArrayBuffer(GL_ARRAY_BUFFER_ARB, useBuffers ? lod.normalBuffer : 0);
        glNormalPointer(GL_FLOAT, 0, useBuffers ? nullptr : lod.normals);
        glEnableClientState(GL_NORMAL_ARRAY);
    } else {
        glDisableClientState(GL_NORMAL_ARRAY);
    }

    return object.hasFogCoords && beginObjectFog(object, lod, useBuffers);
}

// Points the unit's texture-coordinate array at its vectors (when its flag says so) or its
// coordinates, from its buffer when buffers are used. An array shorter than the vertex list
// is not used.
static void setupUnitCoordinates(const MeshLod& lod, uint32_t unit, bool useBuffers) {
    bool vectors = lod.unitFlags[unit] != 0;
    bool present = vectors ? lod.unitVectors[unit] != nullptr : lod.unitTexCoords[unit] != nullptr;
    uint32_t count =
        vectors && lod.unitVectors[unit] == lod.bumpVectors ? lod.vertexCount : lod.texCoordCount;
    if (useBuffers ? lod.unitBuffers[unit] == 0 : !present || count < lod.vertexCount) {
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
        return;
    }
    bindArrayBuffer(GL_ARRAY_BUFFER_ARB, useBuffers ? lod.unitBuffers[unit] : 0);
    const void* data = nullptr;
    if (!useBuffers) {
        data = vectors ? static_cast<const void*>(lod.unitVectors[unit])
                       : static_cast<const void*>(lod.unitTexCoords[unit]);
    }
    glTexCoordPointer(vectors ? 3 : 2, GL_FLOAT, 0, data);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
}

static void setupTextureUnits(const FaceGroup& group, uint32_t groupIndex, const MeshLod& lod,
                              bool useBuffers) {
    uint32_t units = textureUnitCount();
    for (uint32_t i = 0; i < units; i++) {
        selectTextureUnit(i);
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_TEXTURE_CUBE_MAP_ARB);
        selectClientUnit(i);
        if (!group.unitEnabled[i]) {
            glDisableClientState(GL_TEXTURE_COORD_ARRAY);
            continue;
        }
        GLenum target = group.unitTarget[i];
        glEnable(target);
        if (group.unitEnvMapped[i]) {
            glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
            glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
            glEnable(GL_TEXTURE_GEN_S);
            glEnable(GL_TEXTURE_GEN_T);
            rendererState.texgenOn[i] = 1;
            glDisableClientState(GL_TEXTURE_COORD_ARRAY);
        } else {
            if (rendererState.texgenOn[i]) {
                glDisable(GL_TEXTURE_GEN_S);
                glDisable(GL_TEXTURE_GEN_T);
                rendererState.texgenOn[i] = 0;
            }
            setupUnitCoordinates(lod, i, useBuffers);
        }
        TextureEnvSetup mode = group.unitEnvSetup[i];
        if (mode == nullptr) mode = layerTexModeDefault;
        mode(int32_t(groupIndex), int32_t(rendererState.objectDistance));
        glBindTexture(target, group.unitTexture[i]);
    }
}

static void setMaterial(const FaceGroup& group, bool transparent) {
    GLenum face = transparent ? GL_FRONT_AND_BACK : GL_FRONT;
    glMaterialfv(face, GL_AMBIENT, group.ambient);
    glMaterialfv(face, GL_DIFFUSE, group.diffuse);
    glMaterialfv(face, GL_SPECULAR, group.specular);
    glMaterialf(face, GL_SHININESS, group.shininess);
}

static void drawFaceGroup(const FaceGroup& group, bool useBuffers, bool transparent) {
    const void* indices = group.faceVertices;
    if (useBuffers) {
        if (group.indexBuffer == 0) return;
        bindArrayBuffer(GL_ELEMENT_ARRAY_BUFFER_ARB, group.indexBuffer);
        indices = nullptr;
    } else if (indices == nullptr) {
        return;
    }
    GLsizei count = GLsizei(group.faceCount * 3);
    if (transparent) {
        glCullFace(GL_FRONT);
        glDrawElements(GL_TRIANGLES, count, GL_UNSIGNED_INT, indices);
        glCullFace(GL_BACK);
    }
    glDrawElements(GL_TRIANGLES, count, GL_UNSIGNED_INT, indices);
}

// Every texture unit from the last to the first back to its plain state.
static void resetTextureUnits() {
    for (int32_t i = int32_t(textureUnitCount()) - 1; i >= 0; i--) {
        selectTextureUnit(uint32_t(i));
        texModeDefault();
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_TEXTURE_CUBE_MAP_ARB);
        glDisable(GL_TEXTURE_GEN_S);
        glDisable(GL_TEXTURE_GEN_T);
        selectClientUnit(uint32_t(i));
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
        rendererState.texgenOn[i] = 0;
    }
}

static void drawMesh(SceneObject& object, MeshLod& lod) {
    bool useBuffers = object.inGpuBuffers != 0;
    bool transparent = object.transparent != 0.0f;
    bool fogged = setupVertexArrays(object, lod, useBuffers);
    if (lod.faceGroups != nullptr) {
        for (uint32_t g = 0; g < lod.faceGroupCount; g++) {
            const FaceGroup* group = lod.faceGroups[g];
            if (group == nullptr) continue;
            setupTextureUnits(*group, g, lod, useBuffers);
            if (object.renderFlags & kRenderLighting) setMaterial(*group, transparent);
            drawFaceGroup(*group, useBuffers, transparent);
            if (useBuffers) unbindBuffers();
        }
    }
    // Client arrays must never be read through a buffer binding left by this object.
    if (useBuffers) unbindBuffers();
    if (!useBuffers && lod.faceGroupCount == 0 && object.customDraw != nullptr) {
        resetTextureUnits();
        object.customDraw(object.customDrawArgument, rendererState.frameElapsedMs);
    }
    if (fogged) endObjectFog();
}

static void countDrawnObject(const SceneObject& object, const MeshLod& lod) {
    FrameStatistics& frame = statisticsState.frame;
    int32_t triangles = int32_t(lod.faceCount);
    if (object.transparent != 0.0f) {
        frame.transparentObjects++;
        frame.transparentTriangles += triangles;
    } else {
        frame.solidObjects++;
        frame.solidTriangles += triangles;
    }
    frame.renderedObjects++;
    frame.totalTriangles += triangles;
}

void drawObject(SceneObject& object) {
    FrameStatistics& frame = statisticsState.frame;
    if (object.lightCount > frame.largestLightCount) frame.largestLightCount = object.lightCount;
    setupLights(object);
    if (object.hookFlag && object.preDrawHook != nullptr) object.preDrawHook();

    MeshLod& lod = currentLod(object);
    if (debugDisplay.wireframe && object.customDraw == nullptr) {
        resetObjectRenderState();
        drawWireframe(object);
    } else {
        drawMesh(object, lod);
    }
    countDrawnObject(object, lod);

    if (object.hookFlag && object.postDrawHook != nullptr) object.postDrawHook();
    // The overlays draw plain lines over the object: its lights, arrays and units are reset.
    const bool overlays =
        debugDisplay.boxMode != 0 || debugDisplay.treeLevel >= 0 || debugDisplay.normals;
    if (overlays) resetObjectRenderState();
    if (debugDisplay.boxMode != 0) drawObjectBox(object);
    if (debugDisplay.treeLevel >= 0) drawObbLevel(object);
    if (debugDisplay.normals) drawNormals(object);
}

void resetObjectRenderState() {
    for (int32_t i = 0; i < kMaxObjectLights; i++) glDisable(GLenum(GL_LIGHT0 + i));
    glDisable(GL_LIGHTING);
    setBlending(false);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
    resetTextureUnits();
    for (uint8_t& on : rendererState.texgenOn) on = 0;
}

// ---------------------------------------------------------------------------------------
// Bump vectors and buffer objects.

void computeBumpVectors(MeshLod& lod, const SceneObject* light) {
    if (light == nullptr || lod.bumpVectors == nullptr || lod.tangentFrames == nullptr ||
        lod.vertices == nullptr) {
        return;
    }
    Vec3 p = light->worldTransform.getTranslation();
    for (uint32_t j = 0; j < lod.vertexCount; j++) {
        Vec3 l = p - lod.vertices[j];
        const TangentFrame& f = lod.tangentFrames[j];
        lod.bumpVectors[j] = {l.dot(f.worldTangent), l.dot(f.worldBinormal), l.dot(f.worldNormal)};
    }
}

// One new buffer filled with the bytes; 0 when there is nothing to upload.
static uint32_t createBuffer(GLenum target, const void* data, uint32_t bytes, GLenum usage) {
    const GLFunctions& gl = glFunctions;
    if (data == nullptr || bytes == 0) return 0;
    GLuint id = 0;
    gl.glGenBuffersARB(1, &id);
    gl.glBindBufferARB(target, id);
    gl.glBufferDataARB(target, GLsizeiptrARB(bytes), data, usage);
    return id;
}

static void respecifyBuffer(uint32_t buffer, const void* data, uint32_t bytes, GLenum usage) {
    if (buffer == 0 || data == nullptr) return;
    glFunctions.glBindBufferARB(GL_ARRAY_BUFFER_ARB, buffer);
    glFunctions.glBufferDataARB(GL_ARRAY_BUFFER_ARB, GLsizeiptrARB(bytes), data, usage);
}

static void refillBuffer(uint32_t buffer, const void* data, uint32_t bytes) {
    if (buffer == 0 || data == nullptr || bytes == 0) return;
    glFunctions.glBindBufferARB(GL_ARRAY_BUFFER_ARB, buffer);
    glFunctions.glBufferSubDataARB(GL_ARRAY_BUFFER_ARB, 0, GLsizeiptrARB(bytes), data);
}

static void buildUnitBuffers(SceneObject& object, MeshLod& lod) {
    for (int32_t i = 0; i < kTextureUnits; i++) {
        if (lod.unitFlags[i] && lod.unitVectors[i] != nullptr) {
            // The bump-vector array has one entry per vertex and is refilled every frame.
            bool bump = lod.unitVectors[i] == lod.bumpVectors;
            uint32_t count = bump ? lod.vertexCount : lod.texCoordCount;
            lod.unitBuffers[i] = createBuffer(GL_ARRAY_BUFFER_ARB, lod.unitVectors[i], count * 12,
                                              bump ? GL_DYNAMIC_DRAW_ARB : GL_STATIC_DRAW_ARB);
            if (bump && lod.unitBuffers[i] != 0) {
                lod.bumpVectorBuffer = lod.unitBuffers[i];
                object.gpuUpdateMask |= kBufferBumpVectors;
            }
            continue;
        }
        if (lod.unitTexCoords[i] == nullptr) continue;
        int32_t sharing = -1;
        for (int32_t k = 0; k < i && sharing < 0; k++) {
            if (!lod.unitFlags[k] && lod.unitTexCoords[k] == lod.unitTexCoords[i]) sharing = k;
        }
        lod.unitBuffers[i] = sharing >= 0 ? lod.unitBuffers[sharing]
                                          : createBuffer(GL_ARRAY_BUFFER_ARB, lod.unitTexCoords[i],
                                                         lod.texCoordCount * 8, GL_STATIC_DRAW_ARB);
    }
}

void buildObjectBuffers(SceneObject& object) {
    if (!glCapabilities.vertexBuffersAvailable || !object.hasCpuArrays ||
        object.lods[0].vertexCount == 0 || object.inGpuBuffers) {
        return;
    }
    object.inGpuBuffers = 1;
    statisticsState.objectsWithBuffers++;
    const GLenum array = GL_ARRAY_BUFFER_ARB, stat = GL_STATIC_DRAW_ARB;
    int32_t lodCount = object.lodCount < kMaxLods ? object.lodCount : kMaxLods;
    for (int32_t l = 0; l < lodCount; l++) {
        MeshLod& lod = object.lods[l];
        lod.vertexBuffer = createBuffer(array, lod.vertices, lod.vertexCount * 12, stat);
        lod.normalBuffer = createBuffer(array, lod.normals, lod.normalCount * 12, stat);
        lod.colourBuffer = createBuffer(array, lod.vertexColours, lod.vertexCount * 16, stat);
        buildUnitBuffers(object, lod);
        if (object.hasFogCoords) {
            lod.fogCoordBuffer = createBuffer(array, lod.fogCoords, lod.fogCoordCount * 4, stat);
        }
        for (uint32_t g = 0; g < lod.faceGroupCount && lod.faceGroups != nullptr; g++) {
            FaceGroup& group = *lod.faceGroups[g];
            group.indexBuffer = createBuffer(GL_ELEMENT_ARRAY_BUFFER_ARB, group.faceVertices,
                                             group.faceCount * 12, stat);
        }
    }
    unbindBuffers();
}

void makeBuffersDynamic(SceneObject& object, int32_t mask) {
    if (!object.hasCpuArrays) return;
    if (!object.inGpuBuffers) buildObjectBuffers(object);
    if (!object.inGpuBuffers) return;
    const GLenum dynamic = GL_DYNAMIC_DRAW_ARB;
    int32_t lodCount = object.lodCount < kMaxLods ? object.lodCount : kMaxLods;
    for (int32_t l = 0; l < lodCount; l++) {
        MeshLod& lod = object.lods[l];
        if (mask & kBufferVertices) {
            respecifyBuffer(lod.vertexBuffer, lod.vertices, lod.vertexCount * 12, dynamic);
        }
        if (mask & kBufferNormals) {
            respecifyBuffer(lod.normalBuffer, lod.normals, lod.normalCount * 12, dynamic);
        }
        if (mask & kBufferFogCoords) {
            respecifyBuffer(lod.fogCoordBuffer, lod.fogCoords, lod.fogCoordCount * 4, dynamic);
        }
    }
    unbindBuffers();
    object.gpuUpdateMask |=
        mask & (kBufferNormals | kBufferVertices | kBufferBumpVectors | kBufferFogCoords);
    if (!object.gpuUpdated) {
        object.gpuUpdated = 1;
        statisticsState.dynamicObjects++;
    }
}

void updateObjectBuffers(SceneObject& object, int32_t mask) {
    if (!object.inGpuBuffers || !object.hasCpuArrays) return;
    if (mask & ~object.gpuUpdateMask) makeBuffersDynamic(object, mask);
    MeshLod& lod = currentLod(object);
    if (mask & kBufferVertices) refillBuffer(lod.vertexBuffer, lod.vertices, lod.vertexCount * 12);
    if (mask & kBufferBumpVectors) {
        refillBuffer(lod.bumpVectorBuffer, lod.bumpVectors, lod.vertexCount * 12);
    }
    if (mask & kBufferNormals) refillBuffer(lod.normalBuffer, lod.normals, lod.normalCount * 12);
    if (mask & kBufferFogCoords) {
        refillBuffer(lod.fogCoordBuffer, lod.fogCoords, lod.fogCoordCount * 4);
    }
    unbindBuffers();
}

static void deleteBuffer(uint32_t& buffer) {
    if (buffer == 0) return;
    GLuint id = buffer;
    glFunctions.glDeleteBuffersARB(1, &id);
    buffer = 0;
}

// Unit buffers may be shared by several units, and the bump-vector buffer is a unit's: each
// distinct name is deleted once.
static void deleteUnitBuffers(MeshLod& lod) {
    for (int32_t i = 0; i < kTextureUnits; i++) {
        uint32_t id = lod.unitBuffers[i];
        if (id == 0) continue;
        for (int32_t k = i; k < kTextureUnits; k++) {
            if (lod.unitBuffers[k] == id) lod.unitBuffers[k] = 0;
        }
        if (lod.bumpVectorBuffer == id) lod.bumpVectorBuffer = 0;
        deleteBuffer(id);
    }
    deleteBuffer(lod.bumpVectorBuffer);
}

void releaseObjectBuffers(SceneObject& object) {
    if (!object.inGpuBuffers) return;
    for (MeshLod& lod : object.lods) {
        deleteBuffer(lod.vertexBuffer);
        deleteBuffer(lod.normalBuffer);
        deleteBuffer(lod.colourBuffer);
        deleteUnitBuffers(lod);
        deleteBuffer(lod.spareBuffer);
        deleteBuffer(lod.fogCoordBuffer);
        for (uint32_t g = 0; g < lod.faceGroupCount && lod.faceGroups != nullptr; g++) {
            deleteBuffer(lod.faceGroups[g]->indexBuffer);
        }
    }
    object.inGpuBuffers = 0;
    statisticsState.objectsWithBuffers--;
    if (object.gpuUpdated) statisticsState.dynamicObjects--;
    object.gpuUpdated = 0;
    object.gpuUpdateMask = 0;
}
