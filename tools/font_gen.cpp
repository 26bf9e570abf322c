#include "tools/font_gen.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <sys/stat.h>

#include "platform/system/failure.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void fontFailure(const std::string& what) {
    fatalError("ERROR", what);
}

struct PlacedGlyph {
    int left, top; // of the bitmap, relative to the pen start on the baseline (y down)
    int width, rows;
    std::vector<uint8_t> pixels;
};

// Copies the mask's coverage over the canvas with its top-left corner at (left, top).
void blitMask(Canvas& canvas, const TextMask& mask, int left, int top, Colour colour) {
    for (int y = 0; y < mask.height; ++y) {
        const int cy = top + y;
        if (cy < 0 || cy >= canvas.height) continue;
        for (int x = 0; x < mask.width; ++x) {
            const int cx = left + x;
            if (cx < 0 || cx >= canvas.width) continue;
            const float coverage = mask.coverage[size_t(y) * mask.width + x] * colour.a;
            if (coverage <= 0.0f) continue;
            float* p = canvas.at(cx, cy);
            p[0] += (colour.r - p[0]) * coverage;
            p[1] += (colour.g - p[1]) * coverage;
            p[2] += (colour.b - p[2]) * coverage;
            p[3] += (1.0f - p[3]) * coverage;
        }
    }
}

} // namespace

std::string findDejaVuFont(const char* fileName) {
    // The fontconfig pattern of each face the tool draws with.
    static const struct {
        const char* fileName;
        const char* pattern;
    } kFaces[] = {
        {"DejaVuSans.ttf", "DejaVu Sans:style=Book"},
        {"DejaVuSans-Bold.ttf", "DejaVu Sans:style=Bold"},
        {"DejaVuSans-ExtraLight.ttf", "DejaVu Sans:style=ExtraLight"},
        {"DejaVuSerif-Italic.ttf", "DejaVu Serif:style=Italic"},
    };
    const std::string wanted = fileName;
    const char* pattern = nullptr;
    for (const auto& face : kFaces)
        if (wanted == face.fileName) pattern = face.pattern;
    if (pattern == nullptr) return {};

    // fc-match always answers with some font: only the very file counts.
    std::string path;
    const std::string command = std::string("fc-match -f '%{file}' '") + pattern + "' 2>/dev/null";
    if (std::FILE* answer = popen(command.c_str(), "r")) {
        char buffer[512];
        size_t length;
        while ((length = std::fread(buffer, 1, sizeof buffer, answer)) > 0)
            path.append(buffer, length);
        pclose(answer);
    }
    const size_t slash = path.rfind('/');
    struct stat status;
    if (slash == std::string::npos || path.substr(slash + 1) != wanted ||
        stat(path.c_str(), &status) != 0)
        return {};
    return path;
}

std::string dejaVuFont(const char* fileName) {
    std::string path = findDejaVuFont(fileName);
    if (path.empty())
        fontFailure(std::string("The font ") + fileName +
                    " is not found by fontconfig (install fontconfig and fonts-dejavu-core) !");
    return path;
}

bool fontImageAvailable() {
    return !findDejaVuFont(kFontImageFace).empty();
}

TextMask renderText(const std::string& fontFile, int pixelSize, const std::string& text,
                    int letterSpacing) {
    FT_Library library;
    FT_Face face;
    if (FT_Init_FreeType(&library) != 0) fontFailure("FreeType could not start !");
    if (FT_New_Face(library, fontFile.c_str(), 0, &face) != 0)
        fontFailure("FreeType could not open " + fontFile + " !");
    FT_Set_Pixel_Sizes(face, 0, pixelSize);

    std::vector<PlacedGlyph> glyphs;
    int pen = 0;
    FT_UInt previous = 0;
    int minX = 0, maxX = 1, minY = 0, maxY = 1;
    for (unsigned char c : text) {
        const FT_UInt index = FT_Get_Char_Index(face, c);
        if (previous && index) {
            FT_Vector kerning;
            FT_Get_Kerning(face, previous, index, FT_KERNING_DEFAULT, &kerning);
            pen += int(kerning.x >> 6);
        }
        if (FT_Load_Glyph(face, index, FT_LOAD_RENDER) != 0)
            fontFailure("FreeType could not render a glyph of " + fontFile + " !");
        const FT_GlyphSlot slot = face->glyph;
        PlacedGlyph glyph{pen + slot->bitmap_left,
                          -slot->bitmap_top,
                          int(slot->bitmap.width),
                          int(slot->bitmap.rows),
                          {}};
        for (int row = 0; row < glyph.rows; ++row) {
            const uint8_t* source = slot->bitmap.buffer + row * slot->bitmap.pitch;
            glyph.pixels.insert(glyph.pixels.end(), source, source + glyph.width);
        }
        if (glyph.width > 0 && glyph.rows > 0) {
            minX = std::min(minX, glyph.left), maxX = std::max(maxX, glyph.left + glyph.width);
            minY = std::min(minY, glyph.top), maxY = std::max(maxY, glyph.top + glyph.rows);
        }
        glyphs.push_back(std::move(glyph));
        pen += int(slot->advance.x >> 6) + letterSpacing;
        previous = index;
    }
    FT_Done_Face(face);
    FT_Done_FreeType(library);

    TextMask mask;
    mask.width = maxX - minX;
    mask.height = maxY - minY;
    mask.originX = -minX;
    mask.baseline = -minY;
    mask.coverage.assign(size_t(mask.width) * mask.height, 0.0f);
    mask.inkLeft = mask.width, mask.inkTop = mask.height, mask.inkRight = 0, mask.inkBottom = 0;
    for (const PlacedGlyph& glyph : glyphs)
        for (int row = 0; row < glyph.rows; ++row)
            for (int column = 0; column < glyph.width; ++column) {
                const uint8_t value = glyph.pixels[size_t(row) * glyph.width + column];
                if (!value) continue;
                const int x = glyph.left + column + mask.originX;
                const int y = glyph.top + row + mask.baseline;
                float& cell = mask.coverage[size_t(y) * mask.width + x];
                cell = std::min(1.0f, cell + value / 255.0f);
                mask.inkLeft = std::min(mask.inkLeft, x),
                mask.inkRight = std::max(mask.inkRight, x + 1);
                mask.inkTop = std::min(mask.inkTop, y),
                mask.inkBottom = std::max(mask.inkBottom, y + 1);
            }
    return mask;
}

void paintText(Canvas& canvas, const TextMask& mask, float centreX, float centreY, Colour colour,
               Colour glow, int glowRadius) {
    const int left = int(std::lround(centreX - (mask.inkLeft + mask.inkRight) * 0.5f));
    const int top = int(std::lround(centreY - (mask.inkTop + mask.inkBottom) * 0.5f));
    if (glowRadius > 0) {
        Canvas halo = makeCanvas(canvas.width, canvas.height, {0, 0, 0, 0});
        blitMask(halo, mask, left, top, {1, 1, 1, 1});
        blurCanvas(halo, glowRadius);
        addLight(canvas, glow, [&](float x, float y) { return halo.at(int(x), int(y))[0]; });
    }
    blitMask(canvas, mask, left, top, colour);
}

Image buildFontImage() {
    const std::string font = dejaVuFont(kFontImageFace);
    const int pixelSize = 52;
    // Capitals are centred in their cell; every glyph of a column of text shares the baseline
    // so that text drawn glyph by glyph keeps its line (a comma hangs below, as it should).
    const TextMask capital = renderText(font, pixelSize, "H");
    const int capHeight = capital.inkBottom - capital.inkTop;
    const int baseline = 32 + capHeight / 2;

    Canvas canvas = makeCanvas(512, 512, {0, 0, 0, 1});
    for (int g = 0; g < 64; ++g) {
        const TextMask mask = renderText(font, pixelSize, std::string(1, kFontCharacters[g]));
        const int cellLeft = (g / 8) * 64, cellTop = (g % 8) * 64;
        const int inkCentre2 = mask.inkLeft + mask.inkRight; // twice the ink's centre
        const int left = cellLeft + 32 - inkCentre2 / 2;
        const int top = cellTop + baseline - mask.baseline;
        if (left + mask.inkLeft < cellLeft + 1 || left + mask.inkRight > cellLeft + 63 ||
            top + mask.inkTop < cellTop + 1 || top + mask.inkBottom > cellTop + 63)
            fontFailure(std::string("The glyph '") + kFontCharacters[g] +
                        "' does not fit its cell !");
        blitMask(canvas, mask, left, top, {1, 1, 1, 1});
    }
    return canvasToImage(canvas, 3);
}

namespace {

const Colour kWhite{1, 1, 1, 1};
const Colour kBlueGlow{0.25f, 0.35f, 0.9f, 1};

Image makePresents() {
    Canvas canvas = makeCanvas(512, 128, {0, 0, 0, 1});
    const TextMask text = renderText(dejaVuFont("DejaVuSerif-Italic.ttf"), 76, "presents", 2);
    paintText(canvas, text, 256, 64, kWhite, kBlueGlow, 6);
    return canvasToImage(canvas, 3);
}

Image makePoweredBy() {
    Canvas canvas = makeCanvas(512, 128, {0, 0, 0, 1});
    const TextMask small = renderText(dejaVuFont("DejaVuSans-ExtraLight.ttf"), 30, "powered by", 2);
    const TextMask name = renderText(dejaVuFont("DejaVuSans-Bold.ttf"), 54, "ZORX_OpenGL");
    paintText(canvas, small, 256, 28, {0.85f, 0.88f, 1, 1}, kBlueGlow, 3);
    paintText(canvas, name, 256, 84, kWhite, kBlueGlow, 6);
    return canvasToImage(canvas, 3);
}

Image makeComingSoon() {
    Canvas canvas = makeCanvas(512, 512, {0, 0, 0, 1});
    addLight(canvas, {0.05f, 0.07f, 0.16f, 0}, [](float x, float y) {
        const float r = std::hypot(x - 256, y - 256) / 256;
        return std::max(0.0f, 1.0f - r * r);
    });
    addLight(canvas, {0.25f, 0.35f, 0.8f, 0}, [](float x, float y) {
        const float d = (std::hypot(x - 256, y - 256) - 200) / 2.0f;
        return std::exp(-d * d) * 0.7f;
    });
    const TextMask text = renderText(dejaVuFont("DejaVuSans-ExtraLight.ttf"), 66, "coming soon", 3);
    paintText(canvas, text, 256, 256, kWhite, kBlueGlow, 8);
    return canvasToImage(canvas, 3);
}

// The engine's logo screen: an orbit around the name on a deep blue ground.
Image makeEngineLogo() {
    Canvas canvas = makeCanvas(512, 512, {0, 0, 0, 1});
    addLight(canvas, {0.08f, 0.12f, 0.3f, 0}, [](float x, float y) {
        const float r = std::hypot(x - 256, y - 240) / 300;
        return std::max(0.0f, 1.0f - r);
    });
    addLight(canvas, {0.5f, 0.65f, 1.0f, 0}, [](float x, float y) {
        // A tilted ellipse around the name.
        const float dx = (x - 256) / 220, dy = (y - 230) / 90;
        const float rx = dx * 0.97f + dy * 0.24f, ry = -dx * 0.24f + dy * 0.97f;
        const float d = (std::hypot(rx, ry) - 1.0f) * 60.0f;
        return std::exp(-d * d) * 0.8f;
    });
    const TextMask name = renderText(dejaVuFont("DejaVuSans-Bold.ttf"), 120, "ZORX");
    const TextMask api = renderText(dejaVuFont("DejaVuSans.ttf"), 52, "_OpenGL", 2);
    const TextMask caption =
        renderText(dejaVuFont("DejaVuSans-ExtraLight.ttf"), 26, "real-time 3D engine", 3);
    paintText(canvas, name, 256, 210, kWhite, kBlueGlow, 10);
    paintText(canvas, api, 286, 300, {0.75f, 0.85f, 1, 1}, kBlueGlow, 5);
    paintText(canvas, caption, 256, 420, {0.6f, 0.65f, 0.8f, 1}, {0, 0, 0, 0}, 0);
    return canvasToImage(canvas, 3);
}

} // namespace

std::vector<NamedImage> generateTitleImages() {
    std::vector<NamedImage> images;
    images.push_back({"Presents.png", makePresents()});
    images.push_back({"PoweredBy.png", makePoweredBy()});
    images.push_back({"ZORXOpenGL.jpg", makeEngineLogo()});
    images.push_back({"ComingSoon.png", makeComingSoon()});
    return images;
}
