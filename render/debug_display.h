// Debug display toggles: wireframe, bounding boxes, one OBB-tree level and normals, switched
// by the W, B, T and N keys once a frame. Billboards and particles read the wireframe toggle
// here; the object renderer's debug drawing reads the rest.
#pragma once

#include <cstdint>

struct DebugDisplayState {
    bool normals = false;   // while N is held
    bool wireframe = false; // toggled by W
    int32_t boxMode = 0;    // 0 off, 1 the object's box, 2 its parent's; cycled by B
    int32_t treeLevel = -1; // -1 off, else the OBB-tree depth shown; cycled by T
    uint32_t lastW = 0, lastB = 0, lastT = 0;
    float scale = 1.0f; // length unit of normals and axes
};
extern DebugDisplayState debugDisplay;
