// A float RGBA canvas for the procedural images: shape painting with signed distances, light,
// blur and tileable noise.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tools/image_write.h"

// Linear RGBA floats, 0..1 when finished (values may exceed 1 while painting).
struct Canvas {
    int width = 0;
    int height = 0;
    std::vector<float> rgba;
    float* at(int x, int y) { return &rgba[(size_t(y) * width + x) * 4]; }
    const float* at(int x, int y) const { return &rgba[(size_t(y) * width + x) * 4]; }
};

struct Colour {
    float r = 0, g = 0, b = 0, a = 1;
};

Canvas makeCanvas(int width, int height, Colour fill);
// Clamps to 0..1 and rounds; channels 3 drops alpha.
Image canvasToImage(const Canvas& canvas, int channels);

// Paints colour over the canvas where the signed distance (in pixels, negative inside) of
// the shape at a pixel centre is below zero, with a one-pixel anti-aliased edge.
void paintShape(Canvas& canvas, Colour colour, const std::function<float(float, float)>& distance);
// Adds colour * weight(x, y) to every pixel (glows, gradients).
void addLight(Canvas& canvas, Colour colour, const std::function<float(float, float)>& weight);
// Separable blur of all four channels (three box passes, about a Gaussian of this radius).
void blurCanvas(Canvas& canvas, int radius);

float distanceToSegment(float px, float py, float ax, float ay, float bx, float by);
float distanceToRoundedBox(float px, float py, float cx, float cy, float halfW, float halfH,
                           float radius);
float distanceToPolygon(float px, float py, const std::vector<float>& xy);

// Noise that repeats every `period` lattice cells, values 0..1.
float tiledNoise(float x, float y, int period, uint32_t seed);
// Sum of octaves of tiledNoise over one tile: u, v in 0..1 repeat with period 1.
float tiledFbm(float u, float v, int cells, int octaves, uint32_t seed);
// Hash of integers to 0..1.
float hashUnit(uint32_t a, uint32_t b, uint32_t seed);

struct NamedImage {
    std::string name;
    Image image;
};
