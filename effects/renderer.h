// Object renderer: draws a branch of the scene graph. Lights are scoped to the branches they
// hang in, objects are culled against the view frustum, get a level of detail by their camera
// distance and go to a solid list (drawn front to back) or a transparent list (drawn back to
// front, back faces first). Each object is drawn with up to eight lights, per-group materials,
// multitexturing, sphere maps, DOT3 bump mapping and optional per-vertex fog, from client
// arrays or from GL buffer objects. The renderer owns every GL buffer of a scene object.
//
// The CPU work of a frame (lights, culling, distances, levels of detail, sorting, bump
// vectors) is callable on its own: collectVisibleObjects and computeBumpVectors issue no GL.
#pragma once

#include <cstdint>
#include <string_view>

#include "scene/objects.h"

struct SceneNode;

// Entry of the renderer's solid and transparent lists.
struct DrawEntry {
    SceneObject* object = nullptr;
    float distance = 0.0f;
};

inline constexpr int32_t kMaxSceneLights = 50;
inline constexpr float kLodDistanceRange = 20.0f;

inline constexpr std::string_view kTooManyLightsCaption = "INTERNAL ERROR";
inline constexpr std::string_view kTooManyLightsText =
    "To many light sources needed !\n\nPlease contact the author of this application !";
inline constexpr std::string_view kDirectionalLightCaption = "INTERNAL 3D ERROR !";
inline constexpr std::string_view kDirectionalLightText =
    "There is a directional light source with an invalid position vector.\n"
    "This vector does not contain homogeneous object coordinates.\n"
    "All x,y,z components are 0.0f which indicates no direction !";

struct RendererState {
    DrawEntry* solidEntries = nullptr; // accounted, room for drawListCapacity entries each
    DrawEntry* transparentEntries = nullptr;
    int32_t drawListCapacity = 0;
    int32_t solidCount = 0;
    int32_t transparentCount = 0;

    // Lights in scope while a branch is walked.
    SceneObject* lightStack[kMaxSceneLights] = {};
    int32_t lightStackSize = 0;
    // Row n - 1 holds the n thresholds l * range / n of an object with n levels.
    float lodThresholds[kMaxLods][kMaxLods] = {};
    // Camera distance of the object being drawn; handed to the texture modes.
    float objectDistance = 0.0f;
    // Sphere-map texture generation is on for that unit.
    uint8_t texgenOn[kTextureUnits] = {};

    // Set by the scene once a frame: the frame's elapsed milliseconds, handed to custom draw
    // functions.
    uint32_t frameElapsedMs = 0;
};
extern RendererState rendererState;

// Installs the buffer hooks of the scene model, so that deleting an object or placing it in
// the world releases or refreshes its buffers.
void installBufferHooks();
// Grows the draw lists to hold at least objectCount entries.
void reserveDrawLists(int32_t objectCount);
// Frees the draw lists.
void releaseDrawLists();

// The scene-graph node of the named object (exact name), or null.
SceneNode* findSceneNode(std::string_view name);
// Draws the node's branch with the current camera; nothing for a null node.
void renderSceneGraph(SceneNode* node);
// The CPU part of renderSceneGraph: gathers the lights in scope from the node's ancestors,
// walks the branch (culling, distances, levels of detail, light lists) and sorts the solid
// list front to back and the transparent list back to front. More than kMaxSceneLights
// lights in scope is fatal.
void collectVisibleObjects(SceneNode* node);
// Draws one object with its current level and light list.
void drawObject(SceneObject& object);
// Turns off everything drawing may have turned on.
void resetObjectRenderState();

// Uploads the object's levels to buffer objects once (needs buffer-object support, arrays in
// memory and vertices in the first level).
void buildObjectBuffers(SceneObject& object);
// Re-specifies the vertex, normal and fog-coordinate buffers named by mask (BufferMask bits)
// as dynamic, building the buffers first if needed.
void makeBuffersDynamic(SceneObject& object, int32_t mask);
// Refills the buffers named by mask from the current level.
void updateObjectBuffers(SceneObject& object, int32_t mask);
// Deletes every buffer of the object (a buffer shared by several units once).
void releaseObjectBuffers(SceneObject& object);

// Tangent-space light vectors of every vertex (not normalised) into the level's bump
// vectors; nothing without a light or without tangent frames.
void computeBumpVectors(MeshLod& lod, const SceneObject* light);
