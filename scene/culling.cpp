#include "scene/culling.h"

#include "scene/obb_tree.h"
#include "scene/objects.h"
#include "scene/scene_graph.h"

CullState cullState;

bool cullObject(SceneObject& object, const Plane* planes, const uint8_t* parentMask,
                uint8_t* childMask) {
    for (int p = 0; p < 6; p++) childMask[p] = parentMask[p];
    if (!object.cullEnabled) {
        object.cullResult = 1;
        return true;
    }
    SceneNode* node = object.treeNode;
    if (node != nullptr && node->parent != nullptr && node->parent->object != nullptr &&
        node->parent->object->cullResult == 2) {
        object.cullResult = 2;
        cullState.objectTestsSaved++;
        cullState.planeTestsSaved += 6;
        return true;
    }
    cullState.objectTests++;
    bool inside = true;
    for (int p = 0; p < 6; p++) {
        if (!parentMask[p]) {
            cullState.planeTestsSaved++;
            continue;
        }
        cullState.planeTests++;
        int result = classifyBox(object.worldBox, planes[p]);
        if (result == 0) {
            object.cullResult = 0;
            return false;
        }
        if (result == 2)
            childMask[p] = 0;
        else
            inside = false;
    }
    object.cullResult = inside ? 2 : 1;
    return true;
}
