#include "tools/canvas.h"

#include <algorithm>
#include <cmath>

// ---------------------------------------------------------------------------------------------
// Canvas and painting

Canvas makeCanvas(int width, int height, Colour fill) {
    Canvas canvas;
    canvas.width = width;
    canvas.height = height;
    canvas.rgba.resize(size_t(width) * height * 4);
    for (size_t i = 0; i < canvas.rgba.size(); i += 4) {
        canvas.rgba[i] = fill.r;
        canvas.rgba[i + 1] = fill.g;
        canvas.rgba[i + 2] = fill.b;
        canvas.rgba[i + 3] = fill.a;
    }
    return canvas;
}

Image canvasToImage(const Canvas& canvas, int channels) {
    Image image = makeImage(canvas.width, canvas.height, channels);
    const size_t count = size_t(canvas.width) * canvas.height;
    for (size_t i = 0; i < count; ++i)
        for (int c = 0; c < channels; ++c) {
            const float value = std::clamp(canvas.rgba[i * 4 + c], 0.0f, 1.0f);
            image.pixels[i * channels + c] = uint8_t(value * 255.0f + 0.5f);
        }
    return image;
}

void paintShape(Canvas& canvas, Colour colour, const std::function<float(float, float)>& distance) {
    for (int y = 0; y < canvas.height; ++y)
        for (int x = 0; x < canvas.width; ++x) {
            const float coverage =
                std::clamp(0.5f - distance(x + 0.5f, y + 0.5f), 0.0f, 1.0f) * colour.a;
            if (coverage <= 0.0f) continue;
            float* p = canvas.at(x, y);
            p[0] += (colour.r - p[0]) * coverage;
            p[1] += (colour.g - p[1]) * coverage;
            p[2] += (colour.b - p[2]) * coverage;
            p[3] += (1.0f - p[3]) * coverage;
        }
}

void addLight(Canvas& canvas, Colour colour, const std::function<float(float, float)>& weight) {
    for (int y = 0; y < canvas.height; ++y)
        for (int x = 0; x < canvas.width; ++x) {
            const float w = weight(x + 0.5f, y + 0.5f);
            if (w == 0.0f) continue;
            float* p = canvas.at(x, y);
            p[0] += colour.r * w;
            p[1] += colour.g * w;
            p[2] += colour.b * w;
            p[3] += colour.a * w;
        }
}

namespace {

// One box pass along a line of `count` values `stride` apart, edges clamped.
void boxPass(float* line, int count, int stride, int radius, std::vector<float>& scratch) {
    scratch.resize(count);
    for (int i = 0; i < count; ++i) scratch[i] = line[size_t(i) * stride];
    const float scale = 1.0f / float(2 * radius + 1);
    float sum = 0.0f;
    for (int k = -radius; k <= radius; ++k) sum += scratch[std::clamp(k, 0, count - 1)];
    for (int i = 0; i < count; ++i) {
        line[size_t(i) * stride] = sum * scale;
        sum += scratch[std::min(i + radius + 1, count - 1)] - scratch[std::max(i - radius, 0)];
    }
}

} // namespace

void blurCanvas(Canvas& canvas, int radius) {
    if (radius <= 0) return;
    std::vector<float> scratch;
    for (int pass = 0; pass < 3; ++pass) {
        for (int y = 0; y < canvas.height; ++y)
            for (int c = 0; c < 4; ++c)
                boxPass(canvas.at(0, y) + c, canvas.width, 4, radius, scratch);
        for (int x = 0; x < canvas.width; ++x)
            for (int c = 0; c < 4; ++c)
                boxPass(canvas.at(x, 0) + c, canvas.height, canvas.width * 4, radius, scratch);
    }
}

float distanceToSegment(float px, float py, float ax, float ay, float bx, float by) {
    const float dx = bx - ax, dy = by - ay;
    const float lengthSquared = dx * dx + dy * dy;
    float t = lengthSquared > 0.0f ? ((px - ax) * dx + (py - ay) * dy) / lengthSquared : 0.0f;
    t = std::clamp(t, 0.0f, 1.0f);
    return std::hypot(px - (ax + t * dx), py - (ay + t * dy));
}

float distanceToRoundedBox(float px, float py, float cx, float cy, float halfW, float halfH,
                           float radius) {
    const float qx = std::fabs(px - cx) - halfW + radius;
    const float qy = std::fabs(py - cy) - halfH + radius;
    const float outside = std::hypot(std::max(qx, 0.0f), std::max(qy, 0.0f));
    return outside + std::min(std::max(qx, qy), 0.0f) - radius;
}

float distanceToPolygon(float px, float py, const std::vector<float>& xy) {
    const size_t count = xy.size() / 2;
    float nearest = 1e30f;
    bool inside = false;
    for (size_t i = 0, j = count - 1; i < count; j = i++) {
        const float ax = xy[j * 2], ay = xy[j * 2 + 1], bx = xy[i * 2], by = xy[i * 2 + 1];
        nearest = std::min(nearest, distanceToSegment(px, py, ax, ay, bx, by));
        if ((ay > py) != (by > py) && px < (bx - ax) * (py - ay) / (by - ay) + ax) inside = !inside;
    }
    return inside ? -nearest : nearest;
}

// ---------------------------------------------------------------------------------------------
// Noise

float hashUnit(uint32_t a, uint32_t b, uint32_t seed) {
    uint32_t h = a * 0x8da6b343u ^ b * 0xd8163841u ^ seed * 0xcb1ab31fu;
    h ^= h >> 16;
    h *= 0x7feb352du;
    h ^= h >> 15;
    h *= 0x846ca68bu;
    h ^= h >> 16;
    return float(h >> 8) * (1.0f / 16777216.0f);
}

float tiledNoise(float x, float y, int period, uint32_t seed) {
    const float fx = std::floor(x), fy = std::floor(y);
    const int ix = int(fx), iy = int(fy);
    const float tx = x - fx, ty = y - fy;
    const float sx = tx * tx * (3.0f - 2.0f * tx), sy = ty * ty * (3.0f - 2.0f * ty);
    auto corner = [&](int cx, int cy) {
        const uint32_t wx = uint32_t(((cx % period) + period) % period);
        const uint32_t wy = uint32_t(((cy % period) + period) % period);
        return hashUnit(wx, wy, seed);
    };
    const float top = corner(ix, iy) + (corner(ix + 1, iy) - corner(ix, iy)) * sx;
    const float bottom = corner(ix, iy + 1) + (corner(ix + 1, iy + 1) - corner(ix, iy + 1)) * sx;
    return top + (bottom - top) * sy;
}

float tiledFbm(float u, float v, int cells, int octaves, uint32_t seed) {
    float sum = 0.0f, amplitude = 0.5f, total = 0.0f;
    for (int octave = 0; octave < octaves; ++octave) {
        sum += tiledNoise(u * cells, v * cells, cells, seed + octave * 101u) * amplitude;
        total += amplitude;
        amplitude *= 0.5f;
        cells *= 2;
    }
    return sum / total;
}
