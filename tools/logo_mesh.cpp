// Extruded text: outline flattening, polygon filling and extrusion.
#include "tools/logo_mesh.h"

#include <GL/glu.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <algorithm>
#include <cmath>
#include <deque>
#include <vector>

#include "tools/mesh_builder.h"

namespace {

struct Point2 {
    double x = 0, y = 0;
};
using Contour = std::vector<Point2>;

// Outline walk state for FT_Outline_Decompose: the contours in font units.
struct OutlineWalk {
    std::vector<Contour> contours;
    Point2 pen;     // start of the next curve segment
    double offsetX; // pen position of the glyph along the text
    int curveSteps;
};

Point2 toPoint(const OutlineWalk& walk, const FT_Vector* v) {
    return {double(v->x) + walk.offsetX, double(v->y)};
}

int onMoveTo(const FT_Vector* to, void* user) {
    auto* walk = static_cast<OutlineWalk*>(user);
    walk->contours.emplace_back();
    walk->pen = toPoint(*walk, to);
    walk->contours.back().push_back(walk->pen);
    return 0;
}

int onLineTo(const FT_Vector* to, void* user) {
    auto* walk = static_cast<OutlineWalk*>(user);
    walk->pen = toPoint(*walk, to);
    walk->contours.back().push_back(walk->pen);
    return 0;
}

int onConicTo(const FT_Vector* control, const FT_Vector* to, void* user) {
    auto* walk = static_cast<OutlineWalk*>(user);
    const Point2 p0 = walk->pen, c = toPoint(*walk, control), p1 = toPoint(*walk, to);
    for (int i = 1; i <= walk->curveSteps; ++i) {
        const double t = double(i) / walk->curveSteps, s = 1 - t;
        walk->contours.back().push_back({s * s * p0.x + 2 * s * t * c.x + t * t * p1.x,
                                         s * s * p0.y + 2 * s * t * c.y + t * t * p1.y});
    }
    walk->pen = p1;
    return 0;
}

int onCubicTo(const FT_Vector* control1, const FT_Vector* control2, const FT_Vector* to,
              void* user) {
    auto* walk = static_cast<OutlineWalk*>(user);
    const Point2 p0 = walk->pen, c1 = toPoint(*walk, control1), c2 = toPoint(*walk, control2);
    const Point2 p1 = toPoint(*walk, to);
    for (int i = 1; i <= walk->curveSteps; ++i) {
        const double t = double(i) / walk->curveSteps, s = 1 - t;
        const double a = s * s * s, b = 3 * s * s * t, c = 3 * s * t * t, d = t * t * t;
        walk->contours.back().push_back(
            {a * p0.x + b * c1.x + c * c2.x + d * p1.x, a * p0.y + b * c1.y + c * c2.y + d * p1.y});
    }
    walk->pen = p1;
    return 0;
}

// True when b lies on the straight way from a to c.
bool onStraightLine(const Point2& a, const Point2& b, const Point2& c) {
    const double turn = (b.x - a.x) * (c.y - b.y) - (b.y - a.y) * (c.x - b.x);
    const double along = (b.x - a.x) * (c.x - b.x) + (b.y - a.y) * (c.y - b.y);
    return std::fabs(turn) < 1e-6 && along > 0;
}

// Drops repeated points (also the closing point that repeats the first), points in the middle
// of straight edges (the filled polygon would get triangles without area there) and contours
// that enclose nothing.
void cleanContours(std::vector<Contour>& contours) {
    std::vector<Contour> kept;
    for (const Contour& contour : contours) {
        Contour clean;
        for (const Point2& p : contour) {
            if (clean.empty() || p.x != clean.back().x || p.y != clean.back().y) clean.push_back(p);
        }
        while (clean.size() > 1 && clean.back().x == clean.front().x &&
               clean.back().y == clean.front().y)
            clean.pop_back();
        for (size_t i = 0; clean.size() >= 3 && i < clean.size();) {
            const size_t n = clean.size();
            if (onStraightLine(clean[(i + n - 1) % n], clean[i], clean[(i + 1) % n]))
                clean.erase(clean.begin() + std::ptrdiff_t(i));
            else
                ++i;
        }
        if (clean.size() >= 3) kept.push_back(std::move(clean));
    }
    contours = std::move(kept);
}

double signedArea(const Contour& contour) {
    double area = 0;
    for (size_t i = 0; i < contour.size(); ++i) {
        const Point2& a = contour[i];
        const Point2& b = contour[(i + 1) % contour.size()];
        area += a.x * b.y - b.x * a.y;
    }
    return area * 0.5;
}

bool loadTextOutline(const TextExtrusion& request, std::vector<Contour>& contours,
                     double& capHeightUnits, std::string& error) {
    FT_Library library;
    if (FT_Init_FreeType(&library) != 0) {
        error = "FreeType could not be initialised";
        return false;
    }
    FT_Face face;
    if (FT_New_Face(library, request.fontFile.c_str(), 0, &face) != 0) {
        FT_Done_FreeType(library);
        error = "Font file " + request.fontFile + " could not be read";
        return false;
    }
    FT_Outline_Funcs funcs = {onMoveTo, onLineTo, onConicTo, onCubicTo, 0, 0};
    const FT_Int32 loadFlags = FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP;
    OutlineWalk walk{{}, {}, 0, std::max(1, request.curveSteps)};
    FT_UInt previous = 0;
    for (unsigned char ch : request.text) {
        const FT_UInt glyph = FT_Get_Char_Index(face, ch);
        FT_Vector kerning{0, 0};
        if (previous != 0 && FT_HAS_KERNING(face))
            FT_Get_Kerning(face, previous, glyph, FT_KERNING_UNSCALED, &kerning);
        walk.offsetX += double(kerning.x);
        if (FT_Load_Glyph(face, glyph, loadFlags) == 0) {
            FT_Outline_Decompose(&face->glyph->outline, &funcs, &walk);
            walk.offsetX += double(face->glyph->advance.x);
        }
        previous = glyph;
    }
    capHeightUnits = face->units_per_EM * 0.73;
    if (FT_Load_Glyph(face, FT_Get_Char_Index(face, 'H'), loadFlags) == 0) {
        FT_BBox box;
        FT_Outline_Get_CBox(&face->glyph->outline, &box);
        if (box.yMax > 0) capHeightUnits = double(box.yMax);
    }
    FT_Done_Face(face);
    FT_Done_FreeType(library);
    contours = std::move(walk.contours);
    cleanContours(contours);
    return true;
}

// GLU tessellator output: triangles as indices into the point list, which grows by the points
// the tessellator makes where edges cross.
struct TessVertex {
    GLdouble xyz[3];
    int index;
};

struct TessOutput {
    std::deque<TessVertex> vertices;
    std::vector<Point2>* points;
    std::vector<int> indices;
    bool failed = false;
};

void GLAPIENTRY onTessBegin(GLenum, void*) {}
void GLAPIENTRY onTessEdgeFlag(GLboolean, void*) {} // forces separate triangles

void GLAPIENTRY onTessVertex(void* vertex, void* data) {
    static_cast<TessOutput*>(data)->indices.push_back(static_cast<TessVertex*>(vertex)->index);
}

void GLAPIENTRY onTessCombine(GLdouble coords[3], void* [4], GLfloat[4], void** outVertex,
                              void* data) {
    auto* out = static_cast<TessOutput*>(data);
    out->points->push_back({coords[0], coords[1]});
    out->vertices.push_back({{coords[0], coords[1], 0}, int(out->points->size() - 1)});
    *outVertex = &out->vertices.back();
}

void GLAPIENTRY onTessError(GLenum, void* data) {
    static_cast<TessOutput*>(data)->failed = true;
}

// Fills the outline (non-zero winding) and returns counter-clockwise triangles.
std::vector<int> fillOutline(const std::vector<Contour>& contours, std::vector<Point2>& points) {
    TessOutput out;
    out.points = &points;
    for (const Contour& contour : contours) {
        for (const Point2& p : contour) {
            points.push_back(p);
            out.vertices.push_back({{p.x, p.y, 0}, int(points.size() - 1)});
        }
    }
    GLUtesselator* tess = gluNewTess();
    gluTessProperty(tess, GLU_TESS_WINDING_RULE, GLU_TESS_WINDING_NONZERO);
    gluTessNormal(tess, 0, 0, 1);
    gluTessCallback(tess, GLU_TESS_BEGIN_DATA, reinterpret_cast<_GLUfuncptr>(onTessBegin));
    gluTessCallback(tess, GLU_TESS_VERTEX_DATA, reinterpret_cast<_GLUfuncptr>(onTessVertex));
    gluTessCallback(tess, GLU_TESS_COMBINE_DATA, reinterpret_cast<_GLUfuncptr>(onTessCombine));
    gluTessCallback(tess, GLU_TESS_EDGE_FLAG_DATA, reinterpret_cast<_GLUfuncptr>(onTessEdgeFlag));
    gluTessCallback(tess, GLU_TESS_ERROR_DATA, reinterpret_cast<_GLUfuncptr>(onTessError));
    gluTessBeginPolygon(tess, &out);
    size_t next = 0;
    for (const Contour& contour : contours) {
        gluTessBeginContour(tess);
        for (size_t i = 0; i < contour.size(); ++i, ++next)
            gluTessVertex(tess, out.vertices[next].xyz, &out.vertices[next]);
        gluTessEndContour(tess);
    }
    gluTessEndPolygon(tess);
    gluDeleteTess(tess);
    if (out.failed) return {};
    std::vector<int>& tris = out.indices;
    tris.resize(tris.size() - tris.size() % 3);
    // Counter-clockwise, and none without area (points made where edges cross can fall on a
    // line with others).
    std::vector<int> kept;
    for (size_t i = 0; i < tris.size(); i += 3) {
        const Point2 &a = points[tris[i]], &b = points[tris[i + 1]], &c = points[tris[i + 2]];
        const double twiceArea = (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
        if (std::fabs(twiceArea) < 1e-3) continue;
        kept.insert(kept.end(), {tris[i], twiceArea < 0 ? tris[i + 2] : tris[i + 1],
                                 twiceArea < 0 ? tris[i + 1] : tris[i + 2]});
    }
    return kept;
}

// Placement of outline points in the scene: scale about the outline's centre, texture
// coordinates over its extent.
struct Placement {
    double scale = 1, lowX = 0, lowY = 0, width = 1, height = 1;
    float depth = 0;
};

Placement placeOutline(const std::vector<Contour>& contours, double scale, float depth) {
    Placement place;
    double highX = -1e30, highY = -1e30;
    place.lowX = place.lowY = 1e30;
    for (const Contour& contour : contours) {
        for (const Point2& p : contour) {
            place.lowX = std::min(place.lowX, p.x);
            place.lowY = std::min(place.lowY, p.y);
            highX = std::max(highX, p.x);
            highY = std::max(highY, p.y);
        }
    }
    place.width = std::max(highX - place.lowX, 1.0);
    place.height = std::max(highY - place.lowY, 1.0);
    place.scale = scale;
    place.depth = depth;
    return place;
}

uint16_t addOutlineVertex(Mesh3ds& mesh, const Placement& place, Point2 p, float y) {
    const double u = (p.x - place.lowX) / place.width, v = (p.y - place.lowY) / place.height;
    const Vec3f position{float((u - 0.5) * place.width * place.scale), y,
                         float((v - 0.5) * place.height * place.scale)};
    return addVertex(mesh, position, float(u), float(v));
}

// Front face at -depth/2 (facing -y) and back face at +depth/2, smoothing group 1.
void addCaps(Mesh3ds& mesh, const Placement& place, const std::vector<Point2>& points,
             const std::vector<int>& triangles, const std::string& material) {
    for (int side = 0; side < 2; ++side) {
        const float y = side == 0 ? -place.depth * 0.5f : place.depth * 0.5f;
        const uint16_t first = uint16_t(mesh.vertices.size());
        for (const Point2& p : points) addOutlineVertex(mesh, place, p, y);
        for (size_t i = 0; i < triangles.size(); i += 3) {
            const uint16_t a = uint16_t(first + triangles[i]);
            const uint16_t b = uint16_t(first + triangles[i + 1]);
            const uint16_t c = uint16_t(first + triangles[i + 2]);
            if (side == 0)
                addTriangle(mesh, a, b, c, 1, material);
            else
                addTriangle(mesh, a, c, b, 1, material);
        }
    }
}

// A contour point is a corner when its two edges turn by more than about 35 degrees.
bool isCorner(const Contour& contour, size_t i) {
    const size_t n = contour.size();
    const Point2 &prev = contour[(i + n - 1) % n], &here = contour[i], &next = contour[(i + 1) % n];
    const double ax = here.x - prev.x, ay = here.y - prev.y;
    const double bx = next.x - here.x, by = next.y - here.y;
    const double lengths = std::sqrt((ax * ax + ay * ay) * (bx * bx + by * by));
    return lengths <= 0 || (ax * bx + ay * by) / lengths < 0.82;
}

// Side walls of one contour. Edges between two corners form a run sharing a smoothing group;
// neighbouring runs never share one, so corners stay sharp and curves come out round.
void addSides(Mesh3ds& mesh, const Placement& place, const Contour& contour, bool interiorOnRight,
              const std::string& material) {
    const size_t n = contour.size();
    size_t start = 0;
    int corners = 0;
    for (size_t i = 0; i < n; ++i) {
        if (isCorner(contour, i)) {
            if (corners == 0) start = i;
            ++corners;
        }
    }
    const uint16_t first = uint16_t(mesh.vertices.size());
    for (const Point2& p : contour) {
        addOutlineVertex(mesh, place, p, -place.depth * 0.5f);
        addOutlineVertex(mesh, place, p, place.depth * 0.5f);
    }
    int run = -1;
    for (size_t j = 0; j < n; ++j) {
        const size_t i = (start + j) % n, k = (i + 1) % n;
        if (j == 0 || isCorner(contour, i)) ++run;
        uint32_t bit = 1u << (1 + run % 2);
        if (corners > 1 && corners % 2 == 1 && run == corners - 1) bit = 1u << 3;
        const uint16_t frontI = uint16_t(first + 2 * i), backI = uint16_t(frontI + 1);
        const uint16_t frontK = uint16_t(first + 2 * k), backK = uint16_t(frontK + 1);
        if (interiorOnRight) {
            addTriangle(mesh, frontI, frontK, backK, bit, material);
            addTriangle(mesh, frontI, backK, backI, bit, material);
        } else {
            addTriangle(mesh, frontK, frontI, backI, bit, material);
            addTriangle(mesh, frontK, backI, backK, bit, material);
        }
    }
}

} // namespace

bool extrudeText(const TextExtrusion& request, Mesh3ds& mesh, std::string& error) {
    std::vector<Contour> contours;
    double capHeightUnits = 1;
    if (!loadTextOutline(request, contours, capHeightUnits, error)) return false;
    if (contours.empty()) return true;

    std::vector<Point2> points;
    const std::vector<int> triangles = fillOutline(contours, points);
    const Placement place =
        placeOutline(contours, request.capHeight / capHeightUnits, request.depth);
    addCaps(mesh, place, points, triangles, request.faceMaterial);

    // Filled area lies to the right of the outline's direction when the contours turn
    // clockwise overall (the usual orientation of TrueType outlines).
    double area = 0;
    for (const Contour& contour : contours) area += signedArea(contour);
    for (const Contour& contour : contours)
        addSides(mesh, place, contour, area < 0, request.sideMaterial);
    return true;
}
