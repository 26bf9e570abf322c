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
