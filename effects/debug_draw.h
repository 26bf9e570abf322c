// Debug drawing: the W, B, T and N keys read once a frame into the debug display toggles, and
// what they show: objects in wireframe with their axes, the oriented box of an object or of
// its parent, one level of an object's OBB tree, and vertex normals.
#pragma once

#include <cstdint>
#include <string_view>

#include "scene/objects.h"

// Key-table codes of the debug keys (the upper-case letters).
inline constexpr int kKeyNormals = 'N';
inline constexpr int kKeyWireframe = 'W';
inline constexpr int kKeyBoxMode = 'B';
inline constexpr int kKeyTreeLevel = 'T';
// A held key changes its toggle again only after more than this many milliseconds.
inline constexpr uint32_t kDebugKeyRepeatMs = 250;
inline constexpr int32_t kDebugTreeLevelMax = 8;

// Once a frame after the swap, with the demo clock's tick.
void readDebugKeys();

// h = h * 33 + c over the name's bytes taken as signed, from 0, wrapping at 32 bits.
int32_t objectNameHash(std::string_view name);
// Wireframe colour (RGB) by the last decimal digit of the name's hash.
void wireframeColour(std::string_view name, float rgb[3]);
// The box the box mode shows: the object's world box (mode 1), or its scene-graph parent's
// (mode 2; its own when it has no parent).
const ObjectBox& debugBoxOf(const SceneObject& object, int32_t boxMode);

// Lines along the twelve edges of a box through its corners.
void drawBoxWireframe(const ObjectBox& box);
// The object's faces as line loops and its axes; replaces its normal drawing.
void drawWireframe(const SceneObject& object);
// The box of the current box mode (nothing for an object with a custom draw function).
void drawObjectBox(const SceneObject& object);
// The boxes of the OBB tree at the current tree level.
void drawObbLevel(const SceneObject& object);
// A line along each vertex normal of the current level.
void drawNormals(const SceneObject& object);
