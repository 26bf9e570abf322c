#include "effects/debug_draw.h"

#include <GL/gl.h>

#include "platform/events.h"
#include "render/debug_display.h"
#include "render/render_state.h"
#include "scene/objects.h"
#include "scene/scene_graph.h"

// A key changes its toggle when it is held and more than the repeat time has passed since
// its last change.
static bool keyChanges(int key, uint32_t now, uint32_t& last) {
    if (!eventState.keys[key] || now - last <= kDebugKeyRepeatMs) return false;
    last = now;
    return true;
}

void readDebugKeys() {
    DebugDisplayState& debug = debugDisplay;
    uint32_t now = eventState.clock.now;
    debug.normals = eventState.keys[kKeyNormals] != 0;
    if (keyChanges(kKeyWireframe, now, debug.lastW)) debug.wireframe = !debug.wireframe;
    if (keyChanges(kKeyBoxMode, now, debug.lastB)) debug.boxMode = (debug.boxMode + 1) % 3;
    if (keyChanges(kKeyTreeLevel, now, debug.lastT)) {
        debug.treeLevel = debug.treeLevel >= kDebugTreeLevelMax ? -1 : debug.treeLevel + 1;
    }
}

int32_t objectNameHash(std::string_view name) {
    uint32_t h = 0;
    for (char c : name) h = h * 33u + uint32_t(int32_t(static_cast<signed char>(c)));
    return int32_t(h);
}

void wireframeColour(std::string_view name, float rgb[3]) {
    // By the last decimal digit; a negative hash is written with its sign first.
    static const float kColours[10][3] = {
        {1.0f, 1.0f, 0.0f}, {1.0f, 0.0f, 1.0f}, {0.5f, 0.0f, 0.5f}, {1.0f, 1.0f, 0.0f},
        {0.0f, 1.0f, 1.0f}, {0.5f, 0.0f, 0.5f}, {1.0f, 0.0f, 1.0f}, {0.0f, 1.0f, 1.0f},
        {0.0f, 0.5f, 0.5f}, {0.0f, 0.5f, 0.5f},
    };
    int64_t hash = objectNameHash(name);
    int digit = int((hash < 0 ? -hash : hash) % 10);
    for (int i = 0; i < 3; i++) rgb[i] = kColours[digit][i];
}

const ObjectBox& debugBoxOf(const SceneObject& object, int32_t boxMode) {
    const SceneNode* node = object.treeNode;
    if (boxMode == 2 && node != nullptr && node->parent != nullptr &&
        node->parent->object != nullptr) {
        return node->parent->object->worldBox;
    }
    return object.worldBox;
}

static void vertex(const Vec3& v) {
    glVertex3f(v.x, v.y, v.z);
}

void drawBoxWireframe(const ObjectBox& box) {
    const Vec3* c = box.corners;
    glBegin(GL_LINE_STRIP);
    for (int i : {0, 1, 2, 3, 0, 4, 5, 6, 7, 4}) vertex(c[i]);
    glEnd();
    glBegin(GL_LINES);
    for (int i : {3, 7, 2, 6, 5, 1}) vertex(c[i]);
    glEnd();
}

// The common frame of the overlays, drawn after the renderer has reset the object state:
// blending off while they draw, then line width back to 1 and blending on again when it was on.
struct OverlayFrame {
    bool blendWasOn = renderState.layer.blend;
    OverlayFrame() { setBlending(false); }
    ~OverlayFrame() {
        glLineWidth(1.0f);
        if (blendWasOn) setBlending(true);
    }
};

void drawObjectBox(const SceneObject& object) {
    if (object.customDraw != nullptr) return;
    OverlayFrame frame;
    glLineWidth(5.0f);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    drawBoxWireframe(debugBoxOf(object, debugDisplay.boxMode));
}

static void drawTreeLevel(const ObbNode* node, int32_t depth, int32_t level) {
    if (node == nullptr) return;
    if (depth == level) {
        if (node->worldBox != nullptr) drawBoxWireframe(*node->worldBox);
        return;
    }
    drawTreeLevel(node->left, depth + 1, level);
    drawTreeLevel(node->right, depth + 1, level);
}

void drawObbLevel(const SceneObject& object) {
    if (object.customDraw != nullptr || object.obbTree == nullptr) return;
    OverlayFrame frame;
    glLineWidth(3.0f);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    drawTreeLevel(object.obbTree, 0, debugDisplay.treeLevel);
}

static const MeshLod& currentLod(const SceneObject& object) {
    int32_t index = object.lodIndex >= 0 && object.lodIndex < kMaxLods ? object.lodIndex : 0;
    return object.lods[index];
}

void drawNormals(const SceneObject& object) {
    const MeshLod& lod = currentLod(object);
    if (lod.normals == nullptr || lod.vertices == nullptr) return;
    uint32_t count = lod.normalCount < lod.vertexCount ? lod.normalCount : lod.vertexCount;
    float scale = debugDisplay.scale;
    OverlayFrame frame;
    glBegin(GL_LINES);
    for (uint32_t i = 0; i < count; i++) {
        vertex(lod.vertices[i]);
        vertex(lod.vertices[i] + lod.normals[i] * scale);
    }
    glEnd();
}

// Each face as a closed line through its three vertices; faces with an index outside the
// vertex list are left out.
static void drawFaceOutlines(const MeshLod& lod) {
    const Face* faces = lod.faces;
    uint32_t faceCount = lod.faceCount;
    if (faces == nullptr && lod.faceGroupCount > 0 && lod.faceGroups != nullptr &&
        lod.faceGroups[0] != nullptr) {
        faces = lod.faceGroups[0]->faceVertices;
        faceCount = lod.faceGroups[0]->faceCount;
    }
    if (faces == nullptr) return;
    for (uint32_t f = 0; f < faceCount; f++) {
        const int32_t* v = faces[f].v;
        bool inside = true;
        for (int k = 0; k < 3; k++)
            inside = inside && v[k] >= 0 && uint32_t(v[k]) < lod.vertexCount;
        if (!inside) continue;
        glBegin(GL_LINE_STRIP);
        for (int k : {0, 1, 2, 0}) vertex(lod.vertices[v[k]]);
        glEnd();
    }
}

static void drawAxisLines(const Vec3& from, const Vec3 axes[3], float length) {
    glBegin(GL_LINES);
    for (int k = 0; k < 3; k++) {
        vertex(from);
        vertex(from + axes[k] * length);
    }
    glEnd();
}

void drawWireframe(const SceneObject& object) {
    float rgb[3];
    wireframeColour(object.name, rgb);
    glColor4f(rgb[0], rgb[1], rgb[2], 1.0f);
    glLineWidth(1.0f);
    const MeshLod& lod = currentLod(object);
    if (lod.vertices != nullptr && lod.vertexCount > 0) drawFaceOutlines(lod);

    float scale = debugDisplay.scale;
    Vec3 position = object.worldTransform.getTranslation();
    glColor4f(1.0f, 0.0f, 0.0f, 1.0f);
    glLineWidth(2.5f);
    drawAxisLines(position, object.unitAxes, 2.0f * scale);

    glLineWidth(5.0f);
    glColor4f(0.0f, 0.0f, 1.0f, 1.0f);
    drawAxisLines(object.worldCenter, object.axes, 1.5f * scale);
    glColor4f(1.0f, 0.0f, 0.0f, 1.0f);
    drawAxisLines(position, object.axes, scale);

    glLineWidth(1.0f);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
}
