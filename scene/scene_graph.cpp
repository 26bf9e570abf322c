#include "scene/scene_graph.h"

#include <vector>

#include "platform/system/failure.h"
#include "scene/keyframes.h"
#include "scene/objects.h"
#include "scene/obb_tree.h"

SceneGraphState sceneGraphState;
TreeView treeView;

static bool isMesh(const SceneObject& object) {
    return object.lods[0].vertexCount > 0;
}

static bool isLightOrCamera(const SceneObject& object) {
    return object.lightKind != kNotALight || object.isCamera;
}

TreeIcon treeIconFor(const SceneObject& object) {
    if (object.lightKind == kPointLight) return kIconPointLight;
    if (object.lightKind == kSpotLight) return kIconSpotLight;
    if (object.lightKind == kDirectionalLight) return kIconDirectionalLight;
    if (object.isCamera) return kIconCamera;
    if (isMesh(object)) return kIconMesh;
    return kIconOther;
}

// Inserts the node's item under the parent's item (the top level when it has none).
static void insertItem(SceneNode* parent, SceneNode* node) {
    TreeItem parentItem = parent != nullptr ? parent->viewItem : 0;
    node->viewItem =
        treeView.insertItem(parentItem, node->object->name, treeIconFor(*node->object));
    if (node->viewItem == 0)
        fatalError("WINDOWS ERROR",
                   unknownCallError("Inserting a tree node failed", "API", "TreeView_InsertItem"));
}

static void appendChild(SceneNode* parent, SceneNode* child) {
    uint32_t count = uint32_t(parent->childCount);
    resizeArray(parent->children, count, count + 1);
    parent->children[count] = child;
    parent->childCount++;
    child->parent = parent;
}

void initSceneGraph() {
    if (sceneGraphState.initialised) return;
    SceneObject* root = new SceneObject;
    root->name = kRootObjectName;
    root->secondName = kRootSceneTag;
    root->treeNode = &sceneGraphState.root;
    sceneGraphState.rootObject = root;
    sceneGraphState.root = SceneNode{};
    sceneGraphState.root.object = root;
    sceneGraphState.initialised = true;
    if (!treeViewExists()) return;
    sceneGraphState.root.viewItem = treeView.insertItem(0, root->name, treeIconFor(*root));
    if (sceneGraphState.root.viewItem == 0) {
        fatalError("WINDOWS ERROR", unknownCallError("Inserting the root tree node failed", "API",
                                                     "TreeView_InsertItem"));
    }
    if (treeView.ensureVisible != nullptr) treeView.ensureVisible(sceneGraphState.root.viewItem);
}

void shutdownSceneGraph() {
    if (!sceneGraphState.initialised) return;
    SceneNode& root = sceneGraphState.root;
    for (int32_t i = 0; i < root.childCount; i++) root.children[i]->parent = nullptr;
    freeArray(root.children, uint32_t(root.childCount));
    delete sceneGraphState.rootObject;
    sceneGraphState = SceneGraphState{};
}

SceneNode* attachObject(SceneNode* parent, SceneObject& object) {
    if (!sceneGraphState.initialised || parent == nullptr) return nullptr;
    SceneNode* node = new SceneNode;
    node->object = &object;
    appendChild(parent, node);
    object.treeNode = node;
    if (treeViewExists()) {
        insertItem(parent, node);
        if (treeView.ensureVisible != nullptr) treeView.ensureVisible(node->viewItem);
    }
    return node;
}

void renameNodeLabel(SceneNode* node, std::string_view text) {
    if (!treeViewExists() || !sceneGraphState.initialised || node == nullptr) return;
    if (treeView.setItemText == nullptr || !treeView.setItemText(node->viewItem, text)) {
        fatalError("WINDOWS ERROR", unknownCallError("Renaming a tree node label failed", "API",
                                                     "TreeView_SetItem"));
    }
}

void showSubtree(SceneNode* parent, SceneNode* node) {
    if (!treeViewExists()) return;
    insertItem(parent, node);
    for (int32_t i = 0; i < node->childCount; i++) showSubtree(node, node->children[i]);
}

void detachNode(SceneNode* node) {
    if (!sceneGraphState.initialised || node == nullptr || node == &sceneGraphState.root) return;
    SceneNode* parent = node->parent;
    if (parent != nullptr) {
        for (int32_t i = 0; i < parent->childCount; i++) {
            if (parent->children[i] != node) continue;
            uint32_t last = uint32_t(parent->childCount - 1);
            parent->children[i] = parent->children[last];
            resizeArray(parent->children, last + 1, last);
            parent->childCount--;
            break;
        }
    }
    if (treeViewExists() && node->viewItem != 0) {
        if (treeView.deleteItem == nullptr || !treeView.deleteItem(node->viewItem)) {
            fatalError("WINDOWS ERROR", unknownCallError("Deleting a tree node failed", "API",
                                                         "TreeView_DeleteItem"));
        }
        node->viewItem = 0;
    }
    for (int32_t i = 0; i < node->childCount; i++) {
        SceneNode* child = node->children[i];
        if (parent == nullptr) {
            child->parent = nullptr;
            continue;
        }
        appendChild(parent, child);
        showSubtree(parent, child);
    }
    freeArray(node->children, uint32_t(node->childCount));
    node->childCount = 0;
    node->parent = nullptr;
}

void destroyNode(SceneNode* node) {
    if (node == nullptr || node == &sceneGraphState.root) return;
    detachNode(node);
    // Without a graph (after shutdown) the children are left without a parent.
    for (int32_t i = 0; i < node->childCount; i++) node->children[i]->parent = nullptr;
    freeArray(node->children, uint32_t(node->childCount));
    delete node;
}

void updateSubtree(SceneNode* node) {
    SceneObject& object = *node->object;
    if (object.visibilityState == 0) return;
    if (object.animated) animateObject(object);
    const SceneObject* parentObject = node->parent != nullptr ? node->parent->object : nullptr;
    object.worldTransform = object.transform;
    if (parentObject != nullptr) {
        object.worldTransform = parentObject->worldTransform;
        object.worldTransform.multiplyAffine(object.transform);
    }
    if (isMesh(object)) {
        placeInWorld(object, object.worldTransform);
    } else {
        object.worldTarget = object.target;
        if (parentObject != nullptr)
            object.worldTarget.transformPoint(parentObject->worldTransform);
        if (!isLightOrCamera(object))
            transformBox(object.worldBox, object.box, object.worldTransform);
    }
    for (int32_t i = 0; i < node->childCount; i++) updateSubtree(node->children[i]);
    updateEnclosingBox(node);
}

void updateEnclosingBox(SceneNode* node) {
    if (node == nullptr || node->childCount == 0) return;
    const ObjectBox** boxes = objectState.childBoxes;
    uint32_t capacity = uint32_t(objectState.count);
    uint32_t n = 0;
    for (int32_t i = 0; i < node->childCount && n < capacity; i++) {
        const SceneObject& child = *node->children[i]->object;
        if (!isLightOrCamera(child)) boxes[n++] = &child.worldBox;
    }
    if (n == 0) return;
    ObjectBox& box = node->object->worldBox;
    if (n == 1)
        box = *boxes[0];
    else
        mergeBoxes(box, boxes, n);
    computeCorners(box);
}

static void updateAncestors(SceneNode* node) {
    for (SceneNode* up = node->parent; up != nullptr; up = up->parent) updateEnclosingBox(up);
}

void updateFromNode(SceneNode* node) {
    if (!sceneGraphState.initialised || node == nullptr || node->object->visibilityState == 0)
        return;
    updateSubtree(node);
    updateAncestors(node);
}

static bool isBelow(const SceneNode* node, const SceneNode* ancestor) {
    for (const SceneNode* up = node->parent; up != nullptr; up = up->parent) {
        if (up == ancestor) return true;
    }
    return false;
}

void updateObjects(std::span<SceneObject* const> objects) {
    std::vector<SceneNode*> tops;
    for (SceneObject* object : objects) {
        SceneNode* node = object->treeNode;
        if (node == nullptr) continue;
        bool covered = false;
        for (SceneObject* other : objects) {
            if (other != object && other->treeNode != nullptr && isBelow(node, other->treeNode)) {
                covered = true;
                break;
            }
        }
        if (!covered) tops.push_back(node);
    }
    for (SceneNode* node : tops) {
        if (node->object->visibilityState == 0) continue;
        updateSubtree(node);
        updateAncestors(node);
    }
}
