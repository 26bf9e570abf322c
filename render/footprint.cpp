#include "render/footprint.h"

#include <algorithm>
#include <cmath>

#include "render/render_state.h"

ViewMapping viewMapping(const float projection[16], const float modelview[16], int32_t width,
                        int32_t height) {
    ViewMapping mapping;
    for (int column = 0; column < 4; ++column)
        for (int row = 0; row < 4; ++row) {
            double sum = 0.0;
            for (int k = 0; k < 4; ++k)
                sum += double(projection[k * 4 + row]) * double(modelview[column * 4 + k]);
            mapping.matrix[column * 4 + row] = sum;
        }
    mapping.width = width;
    mapping.height = height;
    return mapping;
}

ViewMapping keptViewMapping() {
    const RenderState& state = renderState;
    return viewMapping(state.projection, state.modelview, state.screenWidth, state.screenHeight);
}

bool projectToClip(const ViewMapping& mapping, const Vec3& p, double clip[4]) {
    const double* m = mapping.matrix;
    for (int row = 0; row < 4; ++row)
        clip[row] = m[row] * p.x + m[4 + row] * p.y + m[8 + row] * p.z + m[12 + row];
    return clip[3] > 1e-6;
}

float squareTexelsPerPixel(const ViewMapping& mapping, const Vec3 corners[4], int32_t width,
                           int32_t height) {
    double x[4], y[4], w[4];
    for (int i = 0; i < 4; ++i) {
        double clip[4];
        if (!projectToClip(mapping, corners[i], clip)) return 0.0f;
        x[i] = (clip[0] / clip[3] + 1.0) * 0.5 * mapping.width;
        y[i] = (clip[1] / clip[3] + 1.0) * 0.5 * mapping.height;
        w[i] = clip[3];
    }
    // A square at one depth is drawn without perspective across it: its texels per pixel are
    // the same everywhere. A tilted one is left whole.
    auto [nearest, farthest] = std::minmax({w[0], w[1], w[2], w[3]});
    if (farthest - nearest > 1e-4 * farthest) return 0.0f;
    auto length = [&](int a, int b) { return std::hypot(x[b] - x[a], y[b] - y[a]); };
    double across = std::min(length(0, 1), length(3, 2));
    double down = std::min(length(0, 3), length(1, 2));
    if (across < 1e-3 || down < 1e-3) return 0.0f;
    return float(std::max(width / across, height / down));
}

int32_t samplingReach(float texelsPerPixel, float lodBias, bool mipmapped, int32_t largest) {
    if (!mipmapped) return 2;
    float lod = std::log2(std::max(texelsPerPixel, 1e-6f)) + lodBias;
    int32_t level = std::clamp(int32_t(std::floor(lod + 0.5f)) + 1, 0, 20);
    if (level >= 15) return largest;
    return (3 << level) / 2 + 4;
}
