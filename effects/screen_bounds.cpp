#include "effects/screen_bounds.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "render/footprint.h"
#include "scene/objects.h"
#include "scene/scene_graph.h"

namespace {

// Screen extent of the boxes met so far, in normalised device coordinates.
struct ProjectedExtent {
    float x0 = FLT_MAX, y0 = FLT_MAX, x1 = -FLT_MAX, y1 = -FLT_MAX;
    bool any = false;
    bool unbounded = false;
};

void addBox(const ViewMapping& mapping, const ObjectBox& box, ProjectedExtent& extent) {
    const float halves[3] = {box.halfExtents.x, box.halfExtents.y, box.halfExtents.z};
    for (int corner = 0; corner < 8; ++corner) {
        Vec3 p = box.center;
        for (int k = 0; k < 3; ++k) {
            float half = (corner >> k) & 1 ? halves[k] : -halves[k];
            Vec3 step = box.axes[k];
            step.scale(half);
            p.add(step);
        }
        double clip[4];
        // A corner on or behind the eye's plane has no place on the screen.
        if (!projectToClip(mapping, p, clip)) {
            extent.unbounded = true;
            return;
        }
        float x = float(clip[0] / clip[3]), y = float(clip[1] / clip[3]);
        extent.x0 = std::min(extent.x0, x), extent.x1 = std::max(extent.x1, x);
        extent.y0 = std::min(extent.y0, y), extent.y1 = std::max(extent.y1, y);
        extent.any = true;
    }
}

void addBranch(const ViewMapping& mapping, const SceneNode* node, ProjectedExtent& extent) {
    const SceneObject* object = node->object;
    if (object == nullptr || extent.unbounded) return;
    // Whatever the renderer may draw: an object with geometry, or one that draws itself.
    if (object->lods[0].vertexCount > 0 || object->customDraw != nullptr) {
        if (object->customDraw != nullptr) {
            extent.unbounded = true;
            return;
        }
        addBox(mapping, object->worldBox, extent);
    }
    for (int32_t i = 0; i < node->childCount; ++i) addBranch(mapping, node->children[i], extent);
}

} // namespace

bool projectBranchBounds(const SceneNode* branch, int32_t width, int32_t height, PixelRect& rect) {
    rect = PixelRect{};
    if (branch == nullptr) return true;
    ProjectedExtent extent;
    addBranch(keptViewMapping(), branch, extent);
    if (extent.unbounded) return false;
    if (!extent.any) return true;
    // Device coordinates to pixels as the viewport maps them, outward to whole pixels.
    auto pixel = [](float ndc, int32_t size) { return (ndc + 1.0f) * 0.5f * float(size); };
    float x0 = std::clamp(pixel(extent.x0, width), -1.0f, float(width) + 1.0f);
    float x1 = std::clamp(pixel(extent.x1, width), -1.0f, float(width) + 1.0f);
    float y0 = std::clamp(pixel(extent.y0, height), -1.0f, float(height) + 1.0f);
    float y1 = std::clamp(pixel(extent.y1, height), -1.0f, float(height) + 1.0f);
    PixelRect covered{int32_t(std::floor(x0)), int32_t(std::floor(y0)), int32_t(std::ceil(x1)),
                      int32_t(std::ceil(y1))};
    rect = grownRect(covered, 1, width, height);
    return true;
}

void boundTargetToBranch(PixelBufferTarget& target, const SceneNode* branch,
                         const float background[4]) {
    PixelRect content;
    if (projectBranchBounds(branch, target.width, target.height, content))
        boundTargetContent(target, content, background);
}
