#include "tools/textures_gen.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>

#include "tools/font_gen.h"

// ---------------------------------------------------------------------------------------------
// Hall materials: each gives a height field (0 = deepest) and the colour that goes with it.

namespace {

struct Material {
    Canvas colour;
    std::vector<float> height;
};

using MaterialMaker = Material (*)();

// A tile of blocks in running bond: rows of blocks, every other row shifted half a block.
struct BlockCell {
    float edge;     // distance to the nearest joint, in tile units
    uint32_t block; // a number for the block (for its tint)
};

BlockCell blockCell(float u, float v, int rows, int columns, float shift) {
    const float row = v * rows;
    const int rowIndex = int(std::floor(row));
    float column = u * columns + ((rowIndex & 1) ? shift : 0.0f);
    column -= std::floor(column / columns) * columns;
    const int columnIndex = int(std::floor(column));
    const float inRow = (row - rowIndex) / rows, inColumn = (column - columnIndex) / columns;
    const float edge = std::min({inRow, 1.0f / rows - inRow, inColumn, 1.0f / columns - inColumn});
    return {edge, uint32_t(rowIndex * 131 + columnIndex)};
}

// Grain of about one pixel: the surface texture of stone and fired clay.
float speckle(float u, float v, int pixels, uint32_t seed) {
    return tiledNoise(u * pixels, v * pixels, pixels, seed);
}

float smoothStep(float edge0, float edge1, float x) {
    const float t = std::clamp((x - edge0) / (edge1 - edge0), 0.0f, 1.0f);
    return t * t * (3.0f - 2.0f * t);
}

Material makeMaterial(int size) {
    Material material;
    material.colour = makeCanvas(size, size, {0, 0, 0, 1});
    material.height.assign(size_t(size) * size, 0.0f);
    return material;
}

template <typename Shade> void shadeMaterial(Material& material, Shade shade) {
    const int size = material.colour.width;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const float u = (x + 0.5f) / size, v = (y + 0.5f) / size;
            Colour colour;
            material.height[size_t(y) * size + x] = shade(u, v, colour);
            float* p = material.colour.at(x, y);
            p[0] = colour.r, p[1] = colour.g, p[2] = colour.b, p[3] = colour.a;
        }
}

// Sandstone blocks with recessed mortar joints.
Material makeStone() {
    Material material = makeMaterial(512);
    shadeMaterial(material, [](float u, float v, Colour& c) {
        const BlockCell cell = blockCell(u, v, 6, 3, 0.5f);
        const float grain = tiledFbm(u, v, 16, 5, 11) * 0.8f + speckle(u, v, 512, 14) * 0.2f;
        const float stain = tiledFbm(u, v, 4, 3, 12);
        const float tint = hashUnit(cell.block, 7, 13) * 0.18f - 0.09f;
        const float bevel = smoothStep(0.004f, 0.02f, cell.edge);
        const float base = 0.62f + tint + (grain - 0.5f) * 0.35f - std::max(stain - 0.55f, 0.0f);
        const float joint = 0.28f + grain * 0.1f;
        const float lum = joint + (base - joint) * bevel;
        c = {lum * 1.08f, lum * 0.96f, lum * 0.80f, 1};
        return bevel * 0.8f + grain * 0.2f;
    });
    return material;
}

// Polished floor tiles in two marbles, laid as a chequer with narrow grooves.
Material makeTiles() {
    Material material = makeMaterial(256);
    shadeMaterial(material, [](float u, float v, Colour& c) {
        const BlockCell cell = blockCell(u, v, 4, 4, 0.0f);
        const int tu = int(u * 4), tv = int(v * 4);
        const bool dark = ((tu + tv) & 1) != 0;
        const float turbulence = tiledFbm(u, v, 4, 5, 21);
        const float vein =
            std::pow(std::fabs(std::sin((u + v + turbulence * 1.6f) * 12.566f)), 0.25f);
        const float groove = smoothStep(0.002f, 0.008f, cell.edge);
        float lum = dark ? 0.16f + vein * 0.16f : 0.70f + vein * 0.22f;
        lum = 0.08f + (lum - 0.08f) * groove;
        c = dark ? Colour{lum * 0.85f, lum * 0.9f, lum * 1.1f, 1}
                 : Colour{lum * 1.02f, lum, lum * 0.94f, 1};
        return groove;
    });
    return material;
}

// Coffered ceiling: raised ribs around sunken panels.
Material makeVault() {
    Material material = makeMaterial(256);
    shadeMaterial(material, [](float u, float v, Colour& c) {
        const float cu = u * 2 - std::floor(u * 2), cv = v * 2 - std::floor(v * 2);
        const float edge = std::min({cu, 1 - cu, cv, 1 - cv});
        const float rib = 1.0f - smoothStep(0.06f, 0.14f, edge);
        const float grain = tiledFbm(u, v, 8, 5, 31) * 0.85f + speckle(u, v, 256, 32) * 0.15f;
        const float rosette = std::max(0.0f, 1.0f - std::hypot(cu - 0.5f, cv - 0.5f) * 9.0f);
        const float lum = 0.30f + rib * 0.25f + (grain - 0.5f) * 0.2f;
        c = {lum * 0.9f + rosette * 0.5f, lum * 0.92f + rosette * 0.38f,
             lum * 1.05f + rosette * 0.1f, 1};
        return 0.2f + rib * 0.6f + rosette * 0.4f + grain * 0.1f;
    });
    return material;
}

// Fluted marble shaft: eight rounded flutes around the pillar, with bands at the ends.
Material makePillar() {
    Material material = makeMaterial(256);
    shadeMaterial(material, [](float u, float v, Colour& c) {
        const float flute = u * 8 - std::floor(u * 8);
        const float profile = std::sqrt(std::max(0.0f, 1.0f - (2 * flute - 1) * (2 * flute - 1)));
        const float band = std::max(smoothStep(0.06f, 0.04f, v), smoothStep(0.94f, 0.96f, v));
        const float turbulence = tiledFbm(u, v, 4, 5, 41);
        const float vein =
            std::pow(std::fabs(std::sin((v * 2 + turbulence * 2.0f) * 6.283f)), 0.3f);
        // Mid tones: the DOT3 lighting multiplies them, so lit flutes stay short of white.
        const float lum = 0.5f + vein * 0.2f + profile * 0.06f;
        c = {lum, lum * 0.95f, lum * 0.87f, 1};
        return band + (1 - band) * profile * 0.9f;
    });
    return material;
}

// Small fired bricks for the arches.
Material makeArch() {
    Material material = makeMaterial(256);
    shadeMaterial(material, [](float u, float v, Colour& c) {
        const BlockCell cell = blockCell(u, v, 8, 4, 0.5f);
        const float grain = tiledFbm(u, v, 16, 4, 51) * 0.8f + speckle(u, v, 256, 53) * 0.2f;
        const float tint = hashUnit(cell.block, 3, 52);
        const float bevel = smoothStep(0.004f, 0.015f, cell.edge);
        const float r = 0.55f + tint * 0.15f + (grain - 0.5f) * 0.25f;
        const float joint = 0.35f + grain * 0.08f;
        c = {joint + (r - joint) * bevel, joint + (r * 0.45f - joint) * bevel,
             joint * 0.95f + (r * 0.3f - joint * 0.95f) * bevel, 1};
        return bevel * 0.85f + grain * 0.15f;
    });
    return material;
}

// Brushed steel plates with grooves between them and a rivet in each corner.
Material makeMetal() {
    Material material = makeMaterial(256);
    shadeMaterial(material, [](float u, float v, Colour& c) {
        const float brushed =
            tiledNoise(u * 4, v * 256, 256, 61) * 0.6f + tiledNoise(u * 8, v * 128, 128, 62) * 0.4f;
        const float cu = u * 2 - std::floor(u * 2), cv = v * 2 - std::floor(v * 2);
        const float groove = smoothStep(0.0f, 0.015f, std::min({cu, 1 - cu, cv, 1 - cv}));
        float rivet = 0.0f;
        for (float rx : {0.06f, 0.94f})
            for (float ry : {0.06f, 0.94f})
                rivet = std::max(rivet, 1.0f - std::hypot(cu - rx, cv - ry) / 0.03f);
        rivet = std::sqrt(std::max(rivet, 0.0f));
        const float lum = (0.45f + brushed * 0.25f) * (0.3f + 0.7f * groove) + rivet * 0.25f;
        c = {lum * 0.92f, lum * 0.96f, lum * 1.04f, 1};
        return groove * 0.6f + rivet * 0.4f;
    });
    return material;
}

// Drawn glass for the framed screens: a pale green-blue tint, see-through everywhere, with the
// faint vertical waves of drawn sheet glass and a few brighter streaks where it catches light.
Material makeGlass() {
    Material material = makeMaterial(256);
    shadeMaterial(material, [](float u, float v, Colour& c) {
        constexpr float turn = 6.2831853f;
        auto wobble = [&](float frequency, float phase) {
            return std::sin(turn * (frequency * u + 0.15f * std::sin(turn * v + phase)));
        };
        const float wave = 0.5f + 0.3f * wobble(5, 0) + 0.2f * wobble(13, 1.0f);
        const float streak = std::pow(0.5f + 0.5f * wobble(3, 2.0f), 24.0f);
        const float shine = 0.8f + wave * 0.2f + streak * 0.6f;
        c = {0.62f * shine, 0.78f * shine, 0.82f * shine, 0.35f + wave * 0.15f + streak * 0.3f};
        return wave;
    });
    return material;
}

// Polished gold for the logo.
Material makeLogo() {
    Material material = makeMaterial(256);
    shadeMaterial(material, [](float u, float v, Colour& c) {
        const float sheen = tiledFbm(u, v, 2, 4, 81);
        const float streak = tiledNoise(u * 2, v * 64, 64, 82);
        const float lum = 0.55f + sheen * 0.4f + streak * 0.1f;
        c = {lum, lum * 0.8f, lum * 0.38f, 1};
        return sheen;
    });
    return material;
}

// The engine logo's letters, spread once over the whole text (v runs up the letters). The
// second scene draws them unlit in white times this texture and then zoom-blurs them with a
// gain: mid tones only, brushed across, lighter towards the top, with a soft diagonal sheen.
Material makeZorxFace() {
    Material material = makeMaterial(256);
    shadeMaterial(material, [](float u, float v, Colour& c) {
        const float brushed =
            tiledNoise(u * 4, v * 128, 128, 91) * 0.6f + tiledNoise(u * 16, v * 64, 64, 92) * 0.4f;
        const float band = (u * 0.7f + v - 1.0f) / 0.14f;
        const float sheen = std::exp(-band * band);
        const float lum = 0.2f + v * 0.12f + brushed * 0.06f + sheen * 0.12f;
        c = {lum * 0.9f, lum * 0.97f, lum * 1.12f, 1};
        return brushed;
    });
    return material;
}

// The logo's side walls: dark, so that the letters stay apart when seen at an angle.
Material makeZorxEdge() {
    Material material = makeMaterial(64);
    shadeMaterial(material, [](float u, float v, Colour& c) {
        const float lum = 0.06f + v * 0.05f + tiledNoise(u * 4, v * 32, 32, 93) * 0.02f;
        c = {lum * 0.9f, lum * 0.95f, lum * 1.15f, 1};
        return 0.0f;
    });
    return material;
}

struct MaterialEntry {
    const char* stem; // file name without extension, upper case
    MaterialMaker make;
};

const MaterialEntry kMaterials[] = {
    {"STONE", makeStone},       {"TILES", makeTiles}, {"VAULT", makeVault},
    {"PILLAR", makePillar},     {"ARCH", makeArch},   {"METAL", makeMetal},
    {"GLASS", makeGlass},       {"LOGO", makeLogo},   {"ZORX", makeZorxFace},
    {"ZORXEDGE", makeZorxEdge},
};

std::string upperCase(std::string text) {
    for (char& c : text) c = char(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

} // namespace

Image normalMapFromHeight(const std::vector<float>& height, int size, float strength) {
    Image image = makeImage(size, size, 3);
    auto h = [&](int x, int y) {
        return height[size_t((y + size) % size) * size + (x + size) % size];
    };
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const float dx = (h(x + 1, y) - h(x - 1, y)) * 0.5f * strength;
            const float dUp = (h(x, y - 1) - h(x, y + 1)) * 0.5f * strength;
            const float length = std::sqrt(dx * dx + dUp * dUp + 1.0f);
            const float n[3] = {-dx / length, -dUp / length, 1.0f / length};
            for (int c = 0; c < 3; ++c)
                image.pixels[(size_t(y) * size + x) * 3 + c] =
                    uint8_t(std::clamp(n[c] * 0.5f + 0.5f, 0.0f, 1.0f) * 255.0f + 0.5f);
        }
    return image;
}

bool generateSceneTexture(const std::string& name, Image& out) {
    std::string stem = upperCase(name);
    const size_t dot = stem.rfind('.');
    if (dot == std::string::npos) return false;
    const std::string extension = stem.substr(dot);
    stem.resize(dot);
    const bool normalMap = stem.size() > 3 && stem.ends_with("_NM") && extension == ".PNG";
    if (normalMap)
        stem.resize(stem.size() - 3);
    else if (extension != ".JPG" && extension != ".JPEG" && extension != ".PNG")
        return false;
    for (const MaterialEntry& entry : kMaterials) {
        if (stem != entry.stem) continue;
        const Material material = entry.make();
        if (normalMap)
            out = normalMapFromHeight(material.height, material.colour.width,
                                      material.colour.width / 32.0f);
        else
            out = canvasToImage(material.colour, extension == ".PNG" ? 4 : 3);
        return true;
    }
    return false;
}

// ---------------------------------------------------------------------------------------------
// Interface images

namespace {

// What a polished surface at the end of the hall reflects: the dim hall, a few lamps and,
// at grazing angles, the lit floor and vault behind the surface. d is a unit direction, y up,
// z towards the viewer. Only the lamps and the rim are bright: the logo that carries this map
// glows where its surface catches them, and its faces seen head-on stay dark and readable.
Colour hallEnvironment(float x, float y, float z) {
    struct Lamp {
        float x, y, z, strength;
    };
    static const Lamp lamps[] = {{-0.55f, 0.65f, 0.52f, 1.6f},
                                 {0.82f, 0.12f, 0.36f, 1.3f},
                                 {0.36f, 0.74f, -0.56f, 1.4f},
                                 {-0.72f, -0.28f, 0.24f, 1.0f},
                                 {0.1f, -0.55f, -0.83f, 1.2f}};
    const float up = std::max(y, 0.0f), down = std::max(-y, 0.0f);
    float lamp = 0;
    for (const Lamp& l : lamps) {
        const float length = std::sqrt(l.x * l.x + l.y * l.y + l.z * l.z);
        const float facing = std::max(0.0f, (x * l.x + y * l.y + z * l.z) / length);
        lamp += l.strength * (std::pow(facing, 90.0f) + 0.22f * std::pow(facing, 12.0f));
    }
    const float rim = std::clamp((-z - 0.2f) / 0.7f, 0.0f, 1.0f);
    const float glint = rim * rim * 0.9f;
    return {0.1f + up * 0.12f - down * 0.04f + glint * 0.85f + lamp * 0.9f,
            0.11f + up * 0.13f - down * 0.04f + glint * 0.9f + lamp * 0.95f,
            0.14f + up * 0.16f - down * 0.05f + glint + lamp, 1};
}

// Sphere map of the hall's environment. Texture rows run with t, and the sphere-map texture
// coordinate t grows with the reflection's upward component, so "up" is in the lower half.
Image makeSphereMap(int size) {
    Canvas canvas = makeCanvas(size, size, {0, 0, 0, 1});
    for (int row = 0; row < size; ++row)
        for (int column = 0; column < size; ++column) {
            float x = (column + 0.5f) / size * 2 - 1, y = (row + 0.5f) / size * 2 - 1;
            const float radius = std::hypot(x, y);
            if (radius > 0.999f) x *= 0.999f / radius, y *= 0.999f / radius;
            const float nz = std::sqrt(std::max(0.0f, 1.0f - x * x - y * y));
            // Reflection of the view direction (0, 0, -1) about the normal (x, y, nz).
            const Colour c = hallEnvironment(2 * nz * x, 2 * nz * y, 2 * nz * nz - 1);
            float* p = canvas.at(column, row);
            p[0] = c.r, p[1] = c.g, p[2] = c.b;
        }
    return canvasToImage(canvas, 3);
}

float radial(float x, float y, float cx, float cy) {
    return std::hypot(x - cx, y - cy);
}

// Fades a square glow to black towards its border so a billboard never shows its square.
void fadeToBorder(Canvas& canvas) {
    const int size = canvas.width;
    const float c = size * 0.5f;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const float edge =
                1.0f - smoothStep(0.38f, 0.5f, radial(x + 0.5f, y + 0.5f, c, c) / size);
            float* p = canvas.at(x, y);
            p[0] *= edge, p[1] *= edge, p[2] *= edge;
        }
}

// One star of the shower falling from the logo's light: a hot point, a faint close glow and
// thin rays. A few dozen of them overlap additively over the logo, so that all but the point
// stays dim and the letters behind the shower can be read.
struct StarLook {
    Colour tint;
    int rayCount;
    float rayLength; // in sizes
    float glow;      // strength of the close glow
};

Canvas makeStar(int size, const StarLook& look) {
    Canvas canvas = makeCanvas(size, size, {0, 0, 0, 1});
    const float c = size * 0.5f;
    const Colour& tint = look.tint;
    addLight(canvas, {tint.r * look.glow, tint.g * look.glow, tint.b * look.glow, 0},
             [&](float x, float y) {
                 const float r = radial(x, y, c, c) / (size * 0.08f);
                 return std::exp(-r * r);
             });
    addLight(canvas, {1, 1, 1, 0}, [&](float x, float y) {
        const float r = radial(x, y, c, c) / (size * 0.025f);
        return std::exp(-r * r);
    });
    for (int ray = 0; ray < look.rayCount; ++ray) {
        const float angle = 3.14159265f * float(ray) / float(look.rayCount);
        const float ax = std::cos(angle), ay = std::sin(angle);
        addLight(canvas, {tint.r * 0.5f, tint.g * 0.5f, tint.b * 0.5f, 0}, [&](float x, float y) {
            const float along = (x - c) * ax + (y - c) * ay;
            const float across = (x - c) * ay - (y - c) * ax;
            const float fall = std::max(0.0f, 1.0f - std::fabs(along) / (size * look.rayLength));
            return fall * fall * fall * std::exp(-across * across / 0.5f);
        });
    }
    fadeToBorder(canvas);
    return canvas;
}

// The flare spinning at the logo's light, drawn twice over the logo: a small hot point, thin
// rays and a faint halo and ring, so that the letters behind it stay readable.
Canvas makeSparkle(int size) {
    Canvas canvas = makeCanvas(size, size, {0, 0, 0, 1});
    const float c = size * 0.5f;
    addLight(canvas, {0.06f, 0.07f, 0.18f, 0}, [&](float x, float y) {
        const float r = radial(x, y, c, c) / (size * 0.12f);
        return std::exp(-r * r);
    });
    addLight(canvas, {1, 1, 1, 0}, [&](float x, float y) {
        const float r = radial(x, y, c, c) / (size * 0.016f);
        return std::exp(-r * r);
    });
    for (int ray = 0; ray < 4; ++ray) {
        const float angle = 3.14159265f * float(ray) / 4;
        const float ax = std::cos(angle), ay = std::sin(angle);
        const float length = size * (ray % 2 == 0 ? 0.47f : 0.3f);
        addLight(canvas, {0.4f, 0.45f, 0.8f, 0}, [&](float x, float y) {
            const float along = (x - c) * ax + (y - c) * ay;
            const float across = (x - c) * ay - (y - c) * ax;
            const float fall = std::max(0.0f, 1.0f - std::fabs(along) / length);
            return fall * fall * fall * std::exp(-across * across / 2.2f);
        });
    }
    addLight(canvas, {0.08f, 0.09f, 0.2f, 0}, [&](float x, float y) {
        const float d = (radial(x, y, c, c) - size * 0.3f) / (size * 0.012f);
        return std::exp(-d * d);
    });
    fadeToBorder(canvas);
    return canvas;
}

Image makeGammaLine() {
    Canvas canvas = makeCanvas(512, 64, {0, 0, 0, 1});
    const Colour white{1, 1, 1, 1};
    paintShape(canvas, white,
               [](float x, float y) { return distanceToRoundedBox(x, y, 256, 32, 254, 5, 5); });
    for (int tick = 0; tick <= 10; ++tick) {
        const float x = 6 + tick * 50.0f;
        const float half = tick == 5 ? 22.0f : 14.0f;
        paintShape(canvas, white, [=](float px, float py) {
            return distanceToSegment(px, py, x, 32 - half, x, 32 + half) - 1.5f;
        });
    }
    return canvasToImage(canvas, 3);
}

// The slider's grip: a rounded handle centred where it meets the line (0.3125 of its height
// down) and a small pointer below it.
Image makeGammaSlider() {
    Canvas canvas = makeCanvas(128, 128, {0, 0, 0, 0});
    paintShape(canvas, {0.55f, 0.55f, 0.6f, 1},
               [](float x, float y) { return distanceToRoundedBox(x, y, 64, 40, 14, 34, 12); });
    paintShape(canvas, {0.95f, 0.95f, 1.0f, 1},
               [](float x, float y) { return distanceToRoundedBox(x, y, 62, 37, 10, 30, 9); });
    paintShape(canvas, {0.4f, 0.4f, 0.45f, 1},
               [](float x, float y) { return distanceToSegment(x, y, 64, 26, 64, 54) - 1.5f; });
    paintShape(canvas, {1, 1, 1, 1}, [](float x, float y) {
        return distanceToPolygon(x, y, {64, 82, 84, 118, 44, 118});
    });
    return canvasToImage(canvas, 4);
}

// An arrow pointer on pure black; its tip is at a quarter of the width and height, where the
// gamma screen puts the mouse position.
Image makeCursor() {
    Canvas canvas = makeCanvas(64, 64, {0, 0, 0, 1});
    const std::vector<float> arrow = {16, 16, 16, 52, 25, 43, 31, 57, 37, 54, 31, 41, 43, 41};
    paintShape(canvas, {0.45f, 0.45f, 0.5f, 1},
               [&](float x, float y) { return distanceToPolygon(x, y, arrow) - 1.5f; });
    paintShape(canvas, {1, 1, 1, 1},
               [&](float x, float y) { return distanceToPolygon(x, y, arrow) + 0.8f; });
    return canvasToImage(canvas, 3);
}

} // namespace

std::vector<NamedImage> generateInterfaceImages() {
    std::vector<NamedImage> images;
    // The scenes fade through this image with glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA):
    // its colour is added at full strength for the whole fade, so only black fades smoothly.
    images.push_back({"Textur20.png", canvasToImage(makeCanvas(256, 256, {0, 0, 0, 1}), 3)});
    images.push_back({"Textur64.jpg", makeSphereMap(256)});
    images.push_back({"Flare10.png", canvasToImage(makeSparkle(256), 3)});
    const Colour blueWhite{0.6f, 0.7f, 1, 0}, warm{1, 0.8f, 0.5f, 0}, pale{0.8f, 0.85f, 1, 0};
    const StarLook stars[6] = {{blueWhite, 4, 0.4f, 0.15f},  {pale, 2, 0.45f, 0.1f},
                               {blueWhite, 3, 0.35f, 0.12f}, {warm, 0, 0, 0.2f},
                               {pale, 1, 0.45f, 0.1f},       {warm, 4, 0.25f, 0.12f}};
    for (int i = 0; i < 6; ++i)
        images.push_back(
            {"Flare" + std::to_string(11 + i) + ".png", canvasToImage(makeStar(64, stars[i]), 3)});
    images.push_back({"GammaLine.png", makeGammaLine()});
    images.push_back({"GammaSlider.png", makeGammaSlider()});
    images.push_back({"Cursor.jpg", makeCursor()});
    return images;
}

// ---------------------------------------------------------------------------------------------
// The program's icon and the dialogs' bitmaps

namespace {

// The icon: a dark rounded square with a glowing ring and "03".
Image makeIcon() {
    Canvas canvas = makeCanvas(64, 64, {0, 0, 0, 0});
    paintShape(canvas, {0.06f, 0.08f, 0.16f, 1},
               [](float x, float y) { return distanceToRoundedBox(x, y, 32, 32, 31, 31, 10); });
    paintShape(canvas, {0.45f, 0.6f, 1.0f, 1},
               [](float x, float y) { return std::fabs(std::hypot(x - 32, y - 32) - 24) - 2.0f; });
    const TextMask digits = renderText(dejaVuFont("DejaVuSans-Bold.ttf"), 26, "03");
    paintText(canvas, digits, 32, 32, {1, 1, 1, 1}, {0, 0, 0, 0}, 0);
    return canvasToImage(canvas, 4);
}

// The Configuration dialog's picture: the demo's name over a view down a lit hall.
Image makeBanner() {
    Canvas canvas = makeCanvas(512, 128, {0.02f, 0.02f, 0.05f, 1});
    addLight(canvas, {0.2f, 0.25f, 0.55f, 0}, [](float x, float y) {
        const float d = std::hypot((x - 256) / 256, (y - 64) / 90);
        return std::max(0.0f, 1.0f - d);
    });
    for (int pillar = 0; pillar < 6; ++pillar) {
        const float depth = 1.0f / (1.0f + pillar * 0.6f);
        for (int side : {-1, 1}) {
            const float x = 256 + side * 240 * depth, halfWidth = 10 * depth;
            paintShape(canvas,
                       {0.12f * depth + 0.05f, 0.12f * depth + 0.05f, 0.2f * depth + 0.08f, 1},
                       [=](float px, float py) {
                           return distanceToRoundedBox(px, py, x, 64, halfWidth, 64 * depth + 8, 1);
                       });
        }
    }
    const TextMask title = renderText(dejaVuFont("DejaVuSans-Bold.ttf"), 64, "FILM 03", 6);
    paintText(canvas, title, 256, 58, {1, 1, 1, 1}, {0.3f, 0.45f, 1, 1}, 8);
    const TextMask maker = renderText(dejaVuFont("DejaVuSans-ExtraLight.ttf"), 18, "by KORAL", 2);
    paintText(canvas, maker, 256, 108, {0.8f, 0.85f, 1, 1}, {0, 0, 0, 0}, 0);
    return canvasToImage(canvas, 3);
}

// The engine settings dialog's picture: the engine's name.
Image makeEngineStrip() {
    Canvas canvas = makeCanvas(256, 64, {0.02f, 0.03f, 0.08f, 1});
    const TextMask name = renderText(dejaVuFont("DejaVuSans-Bold.ttf"), 30, "ZORX_OpenGL");
    paintText(canvas, name, 128, 30, {1, 1, 1, 1}, {0.3f, 0.45f, 1, 1}, 4);
    const TextMask caption = renderText(dejaVuFont("DejaVuSans.ttf"), 11, "real-time 3D engine", 1);
    paintText(canvas, caption, 128, 54, {0.6f, 0.7f, 0.9f, 1}, {0, 0, 0, 0}, 0);
    return canvasToImage(canvas, 3);
}

// Tree-view icons, 16 x 16 on white.
Canvas iconCanvas() {
    return makeCanvas(16, 16, {1, 1, 1, 1});
}

Image makePointLightIcon() {
    Canvas canvas = iconCanvas();
    for (int ray = 0; ray < 8; ++ray) {
        const float angle = ray * 0.785398f, cx = std::cos(angle), cy = std::sin(angle);
        paintShape(canvas, {0.85f, 0.6f, 0.0f, 1}, [=](float x, float y) {
            return distanceToSegment(x, y, 8 + cx * 4, 8 + cy * 4, 8 + cx * 7, 8 + cy * 7) - 0.6f;
        });
    }
    paintShape(canvas, {1.0f, 0.85f, 0.1f, 1},
               [](float x, float y) { return std::hypot(x - 8, y - 8) - 3.5f; });
    return canvasToImage(canvas, 3);
}

Image makeSpotLightIcon() {
    Canvas canvas = iconCanvas();
    paintShape(canvas, {1.0f, 0.9f, 0.4f, 1}, [](float x, float y) {
        return distanceToPolygon(x, y, {8, 3, 14, 14, 2, 14});
    });
    paintShape(canvas, {0.3f, 0.3f, 0.35f, 1},
               [](float x, float y) { return distanceToRoundedBox(x, y, 8, 3, 3, 2.5f, 1); });
    return canvasToImage(canvas, 3);
}

Image makeDirectionalLightIcon() {
    Canvas canvas = iconCanvas();
    for (float y0 : {4.0f, 8.0f, 12.0f}) {
        paintShape(canvas, {0.9f, 0.55f, 0.0f, 1}, [=](float x, float y) {
            return distanceToSegment(x, y, 2, y0 - 2, 11, y0 - 2 + 3) - 0.7f;
        });
        paintShape(canvas, {0.9f, 0.55f, 0.0f, 1}, [=](float x, float y) {
            return distanceToPolygon(x, y, {14, y0 + 2, 9.5f, y0 + 2.5f, 11.5f, y0 - 1.5f});
        });
    }
    return canvasToImage(canvas, 3);
}

Image makeCameraIcon() {
    Canvas canvas = iconCanvas();
    paintShape(canvas, {0.25f, 0.25f, 0.3f, 1},
               [](float x, float y) { return distanceToRoundedBox(x, y, 7, 9, 5.5f, 4, 1); });
    paintShape(canvas, {0.25f, 0.25f, 0.3f, 1}, [](float x, float y) {
        return distanceToPolygon(x, y, {12, 9, 15.5f, 5.5f, 15.5f, 12.5f});
    });
    for (float cx : {4.5f, 9.5f})
        paintShape(canvas, {0.5f, 0.7f, 1.0f, 1},
                   [=](float x, float y) { return std::hypot(x - cx, y - 3.5f) - 2.2f; });
    return canvasToImage(canvas, 3);
}

Image makeMeshIcon() {
    Canvas canvas = iconCanvas();
    paintShape(canvas, {0.35f, 0.55f, 0.9f, 1}, [](float x, float y) {
        return distanceToPolygon(x, y, {2, 5, 8, 2, 14, 5, 8, 8});
    });
    paintShape(canvas, {0.2f, 0.35f, 0.7f, 1}, [](float x, float y) {
        return distanceToPolygon(x, y, {2, 5, 8, 8, 8, 15, 2, 12});
    });
    paintShape(canvas, {0.1f, 0.2f, 0.5f, 1}, [](float x, float y) {
        return distanceToPolygon(x, y, {8, 8, 14, 5, 14, 12, 8, 15});
    });
    return canvasToImage(canvas, 3);
}

// An object without geometry of its own: a dashed outline of a box.
Image makeEmptyObjectIcon() {
    Canvas canvas = iconCanvas();
    for (int dash = 0; dash < 4; ++dash) {
        const float a = 2.5f + dash * 3.0f, b = a + 1.8f;
        for (const std::array<float, 4>& s : {std::array<float, 4>{a, 2.5f, b, 2.5f},
                                              {a, 13.5f, b, 13.5f},
                                              {2.5f, a, 2.5f, b},
                                              {13.5f, a, 13.5f, b}})
            paintShape(canvas, {0.4f, 0.4f, 0.45f, 1}, [=](float x, float y) {
                return distanceToSegment(x, y, s[0], s[1], s[2], s[3]) - 0.6f;
            });
    }
    return canvasToImage(canvas, 3);
}

// The root and dummies: a node with two branches.
Image makeNodeIcon() {
    Canvas canvas = iconCanvas();
    for (const std::array<float, 2>& end : {std::array<float, 2>{3, 13}, {13, 13}})
        paintShape(canvas, {0.4f, 0.4f, 0.45f, 1}, [=](float x, float y) {
            return distanceToSegment(x, y, 8, 5, end[0], end[1]) - 0.7f;
        });
    paintShape(canvas, {0.2f, 0.6f, 0.3f, 1},
               [](float x, float y) { return std::hypot(x - 8, y - 4.5f) - 3.0f; });
    for (float cx : {3.0f, 13.0f})
        paintShape(canvas, {0.3f, 0.45f, 0.8f, 1},
                   [=](float x, float y) { return std::hypot(x - cx, y - 12.5f) - 2.2f; });
    return canvasToImage(canvas, 3);
}

} // namespace

std::vector<NamedImage> generateResourceImages() {
    std::vector<NamedImage> images;
    images.push_back({"icon2500.png", makeIcon()});
    images.push_back({"bitmap2400.png", makeBanner()});
    images.push_back({"bitmap2401.png", makeEngineStrip()});
    images.push_back({"bitmap2402.png", makePointLightIcon()});
    images.push_back({"bitmap2403.png", makeSpotLightIcon()});
    images.push_back({"bitmap2404.png", makeDirectionalLightIcon()});
    images.push_back({"bitmap2405.png", makeCameraIcon()});
    images.push_back({"bitmap2406.png", makeMeshIcon()});
    images.push_back({"bitmap2407.png", makeEmptyObjectIcon()});
    images.push_back({"bitmap2408.png", makeNodeIcon()});
    return images;
}
