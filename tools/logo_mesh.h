// Extruded text: glyph outlines of a TrueType font (read with FreeType), flattened into
// polygons, filled with GLU's tessellator and extruded into a solid with front, back and side
// faces. The text lies in the x-z plane of the 3DS file (x along the text, z up), its front
// facing -y, centred on the origin.
#pragma once

#include <string>

#include "tools/writer3ds.h"

struct TextExtrusion {
    std::string fontFile;
    std::string text;
    float capHeight = 1; // height of a capital letter in scene units
    float depth = 0.2f;  // thickness along y
    int curveSteps = 6;  // line segments per curve segment of the outline
    std::string faceMaterial, sideMaterial;
};

// Appends the extruded text to the mesh (vertices, faces, smoothing groups, face groups and
// planar texture coordinates over the text's extent). Returns false with a message when the
// font cannot be read.
bool extrudeText(const TextExtrusion& request, Mesh3ds& mesh, std::string& error);

inline const char* const kLogoFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
