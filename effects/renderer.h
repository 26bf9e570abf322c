// Object renderer: the GL buffer objects of a scene object's mesh levels, and the lists of
// solid and transparent objects a frame draws.
#pragma once

#include <cstdint>

#include "scene/objects.h"

// Entry of the renderer's solid and transparent lists.
struct DrawEntry {
    SceneObject* object = nullptr;
    float distance = 0.0f;
};

struct RendererState {
    DrawEntry* solidEntries = nullptr; // accounted, room for drawListCapacity entries each
    DrawEntry* transparentEntries = nullptr;
    int32_t drawListCapacity = 0;
};
extern RendererState rendererState;

// Installs the buffer hooks of the scene model, so that deleting an object or placing it in
// the world releases or refreshes its buffers.
void installBufferHooks();
// Grows the draw lists to hold every registered object.
void reserveDrawLists(int32_t objectCount);
// Frees the draw lists.
void releaseDrawLists();

// Uploads the object's levels to buffer objects once.
void buildObjectBuffers(SceneObject& object);
// Refills the buffers named by mask from the current level.
void updateObjectBuffers(SceneObject& object, int32_t mask);
// Deletes every buffer of the object.
void releaseObjectBuffers(SceneObject& object);
