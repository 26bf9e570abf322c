// Fog: the global depth fog that every drawn branch sets up, and per-object "volumetric" fog
// in which each vertex carries its own fog coordinate. The record type FogSettings is the
// scene model's (each object carries one).
#pragma once

#include "scene/objects.h"

struct FogState {
    FogSettings global; // start and end set to the near and far planes at engine start-up
    bool globalEnabled = false;
};
extern FogState fogState;

// Global fog parameters of a branch, the coordinate source at fragment depth, and GL_FOG on
// when the global fog is enabled.
void beginGlobalFog();
// GL_FOG off again when the global fog is enabled.
void endGlobalFog();
// Per-object fog with the level's fog coordinates (from its buffer when useBuffers). Returns
// false, setting nothing up, when the level has fewer fog coordinates than vertices.
bool beginObjectFog(const SceneObject& object, const MeshLod& lod, bool useBuffers);
// Back to fragment-depth fog, the fog-coordinate array off; the global fog is restored when it
// is enabled, so a fogged object does not end the fog of the rest of the branch.
void endObjectFog();
