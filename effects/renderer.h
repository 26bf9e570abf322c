// Object renderer: the GL buffer objects of a scene object's mesh levels.
#pragma once

#include <cstdint>

#include "scene/objects.h"

struct RendererState {
    int32_t objectsWithBuffers = 0;
    int32_t dynamicObjects = 0;
};
extern RendererState rendererState;

// Uploads the object's levels to buffer objects once.
void buildObjectBuffers(SceneObject& object);
// Re-specifies the buffers named by mask (BufferMask bits) as dynamic.
void makeBuffersDynamic(SceneObject& object, int32_t mask);
// Refills the buffers named by mask from the current level.
void updateObjectBuffers(SceneObject& object, int32_t mask);
// Deletes every buffer of the object.
void releaseObjectBuffers(SceneObject& object);
