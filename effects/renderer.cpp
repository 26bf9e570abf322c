#include "effects/renderer.h"

RendererState rendererState;

// Buffer objects are not built yet: these keep the object's flags consistent and do nothing
// while an object has no buffers.

void buildObjectBuffers(SceneObject& object) {
    (void)object;
}

void makeBuffersDynamic(SceneObject& object, int32_t mask) {
    if (!object.inGpuBuffers) return;
    (void)mask;
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
