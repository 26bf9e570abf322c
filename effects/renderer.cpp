#include "effects/renderer.h"

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
}

// Buffer objects are not built yet: these keep the object's flags consistent and do nothing
// while an object has no buffers.

void buildObjectBuffers(SceneObject& object) {
    (void)object;
}

void updateObjectBuffers(SceneObject& object, int32_t mask) {
    if (!object.inGpuBuffers) return;
    (void)mask;
}

void releaseObjectBuffers(SceneObject& object) {
    if (!object.inGpuBuffers) return;
    object.inGpuBuffers = 0;
    object.gpuUpdated = 0;
    object.gpuUpdateMask = 0;
}
