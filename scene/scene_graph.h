// Scene graph: the hierarchy of scene objects under a root node that carries the built-in
// root object. World transforms flow down it and enclosing boxes flow up; every node is
// mirrored in the tree view when the scene-graph window exists.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "scene/tree_view.h"

struct SceneObject;

struct SceneNode {
    SceneNode* parent = nullptr;    // none for the root node
    SceneNode** children = nullptr; // accounted; insertion order, removal moves the last
    int32_t childCount = 0;
    TreeItem viewItem = 0; // 0 when not shown
    SceneObject* object = nullptr;
};

inline constexpr std::string_view kRootObjectName = "Scene Graph - Root";
inline constexpr std::string_view kRootSceneTag = "Global Scene Graph";

struct SceneGraphState {
    SceneNode root;
    SceneObject* rootObject = nullptr; // "Scene Graph - Root", made by initSceneGraph
    bool initialised = false;
};
extern SceneGraphState sceneGraphState;

// Sets up the root node and the root object once.
void initSceneGraph();
// Frees the root object and the root node's child array (after every object is deleted).
void shutdownSceneGraph();
// The object's node as the parent's last child (nothing before initSceneGraph).
SceneNode* attachObject(SceneNode* parent, SceneObject& object);
void renameNodeLabel(SceneNode* node, std::string_view text);
// Shows node and its descendants under parent's item.
void showSubtree(SceneNode* parent, SceneNode* node);
// Removes node from its parent; its children move, in order, to the end of the parent's
// children. The node record itself is left to the caller.
void detachNode(SceneNode* node);
// Detaches the node and frees it (its children stay in the graph under its parent).
void destroyNode(SceneNode* node);
// Recomputes world transforms, geometry and boxes of the node and everything below it.
void updateSubtree(SceneNode* node);
// The node's object's world box from its children's (lights and cameras left out).
void updateEnclosingBox(SceneNode* node);
// updateSubtree, then the enclosing boxes of every ancestor up to the root.
void updateFromNode(SceneNode* node);
// The same for several objects, each subtree once.
void updateObjects(std::span<SceneObject* const> objects);
// The icon of an object's tree item.
TreeIcon treeIconFor(const SceneObject& object);
