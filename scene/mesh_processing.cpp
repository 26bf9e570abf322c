#include "scene/mesh_processing.h"

#include <cmath>
#include <vector>

#include "platform/system/failure.h"
#include "resources/textures.h"
#include "scene/chunks3ds.h"
#include "scene/loading_log.h"

MeshState meshState;

static bool validFace(const Face& f, uint32_t vertexCount) {
    for (int k = 0; k < 3; k++) {
        if (f.v[k] < 0 || uint32_t(f.v[k]) >= vertexCount) return false;
    }
    return true;
}

static Vec3 faceNormal(const Vec3* vertices, const Face& f) {
    return crossProduct(vertices[f.v[1]] - vertices[f.v[0]], vertices[f.v[2]] - vertices[f.v[0]]);
}

void buildVertexNormals(const Vec3* vertices, const Face* faces, uint32_t faceCount,
                        uint32_t vertexCount, Vec3* normals) {
    for (uint32_t i = 0; i < vertexCount; i++) normals[i].zero();
    for (uint32_t f = 0; f < faceCount; f++) {
        if (!validFace(faces[f], vertexCount)) continue;
        Vec3 n = faceNormal(vertices, faces[f]);
        for (int k = 0; k < 3; k++) normals[faces[f].v[k]].add(n);
    }
    for (uint32_t i = 0; i < vertexCount; i++) normals[i].normalise();
}

TangentFrame buildFaceFrame(const MeshLod& mesh, uint32_t face) {
    TangentFrame frame;
    const Face& f = mesh.faces[face];
    if (!validFace(f, mesh.vertexCount)) return frame;
    const Vec3& pa = mesh.vertices[f.v[0]];
    const Vec3& pb = mesh.vertices[f.v[1]];
    const Vec3& pc = mesh.vertices[f.v[2]];
    Vec3 e1 = pa - pb;
    Vec3 e2 = pc - pb;
    frame.normal = crossProduct(e2, e1);
    frame.normal.normalise();
    const TexCoord* uv = mesh.unitTexCoords[0];
    bool mapped = uv != nullptr;
    for (int k = 0; k < 3 && mapped; k++) mapped = uint32_t(f.v[k]) < mesh.texCoordCount;
    if (mapped) {
        const TexCoord &ta = uv[f.v[0]], &tb = uv[f.v[1]], &tc = uv[f.v[2]];
        float dv1 = ta.v - tb.v, du1 = ta.u - tb.u;
        float dvc = tc.v - tb.v, duc = tc.u - tb.u;
        frame.tangent = e1 * dvc - e2 * dv1;
        frame.tangent.normalise();
        frame.binormal = e1 * duc - e2 * du1;
        frame.binormal.normalise();
        if (crossProduct(frame.tangent, frame.binormal).dot(frame.normal) < 0.0f) {
            frame.tangent.scale(-1.0f);
            frame.binormal.scale(-1.0f);
        }
    }
    frame.worldTangent = frame.tangent;
    frame.worldBinormal = frame.binormal;
    frame.worldNormal = frame.normal;
    return frame;
}

void buildTangentFrames(MeshLod& mesh) {
    freeArray(mesh.tangentFrames, mesh.vertexCount);
    resizeArray(mesh.tangentFrames, 0, mesh.vertexCount);
    for (uint32_t f = 0; f < mesh.faceCount; f++) {
        if (!validFace(mesh.faces[f], mesh.vertexCount)) continue;
        TangentFrame frame = buildFaceFrame(mesh, f);
        for (int k = 0; k < 3; k++) mesh.tangentFrames[mesh.faces[f].v[k]] = frame;
    }
}

// One smoothing region of a vertex: the sums of the faces it gathered.
struct SmoothingBin {
    Vec3 normalSum;
    Vec3 tangentSum, binormalSum, frameNormalSum;
    uint32_t groups = 0;
    int32_t next = -1; // next region of the same vertex
    int32_t index = 0; // vertex index the region ends up with
    bool used = false;
};

// frame is null where the mesh has no tangent frames to split.
static void gather(SmoothingBin& bin, const Vec3& n, const TangentFrame* frame, uint32_t mask) {
    bin.normalSum.add(n);
    if (frame != nullptr) {
        bin.tangentSum.add(frame->tangent);
        bin.binormalSum.add(frame->binormal);
        bin.frameNormalSum.add(frame->normal);
    }
    bin.groups |= mask;
    bin.used = true;
}

// Walks the vertex's chain; the first bin sharing a group (or still unused) takes the corner,
// else a new bin is appended. Returns the bin's position in the pool.
static int32_t gatherCorner(std::vector<SmoothingBin>& bins, int32_t first, const Vec3& n,
                            const TangentFrame* frame, uint32_t mask) {
    int32_t at = first;
    while (true) {
        SmoothingBin& bin = bins[at];
        if ((bin.groups & mask) != 0 || !bin.used) {
            gather(bin, n, frame, mask);
            return at;
        }
        if (bin.next < 0) break;
        at = bin.next;
    }
    bins.push_back(SmoothingBin{});
    int32_t added = int32_t(bins.size() - 1);
    bins[at].next = added;
    gather(bins[added], n, frame, mask);
    return added;
}

static void normaliseBin(SmoothingBin& bin, bool bump) {
    bin.normalSum.normalise();
    if (!bump) return;
    bin.tangentSum.normalise();
    bin.binormalSum.normalise();
    bin.frameNormalSum.normalise();
}

static TangentFrame binFrame(const SmoothingBin& bin) {
    return TangentFrame{bin.tangentSum, bin.binormalSum, bin.frameNormalSum,
                        bin.tangentSum, bin.binormalSum, bin.frameNormalSum};
}

void applySmoothingGroups(SceneObject& object, MeshLod& mesh, const uint8_t* maskRecords) {
    addLoadingLine("Smoothing groups found !");
    addLoadingLine("...building face and vertex normals using smoothing groups");
    object.smoothingUsed = 1;
    const bool bump = object.name.starts_with("BM_");
    const uint32_t vertexCount = mesh.vertexCount;
    const uint32_t faceCount = mesh.faceCount;

    // Gather every corner into the region chain of its vertex.
    std::vector<SmoothingBin> bins(vertexCount);
    bins.reserve(vertexCount + 3 * size_t(faceCount)); // each corner adds at most one region
    std::vector<int32_t> cornerBin(size_t(faceCount) * 3, -1);
    for (uint32_t f = 0; f < faceCount; f++) {
        const Face& face = mesh.faces[f];
        if (!validFace(face, vertexCount)) continue;
        Vec3 n = faceNormal(mesh.vertices, face);
        n.normalise();
        TangentFrame frame = bump ? buildFaceFrame(mesh, f) : TangentFrame{};
        uint32_t mask = readU32(maskRecords + 4 * f);
        for (int k = 0; k < 3; k++) {
            cornerBin[3 * f + k] = gatherCorner(bins, face.v[k], n, bump ? &frame : nullptr, mask);
        }
    }
    const uint32_t finalCount = uint32_t(bins.size());

    // Room for the worst case, and never less than the vertices that exist.
    addLoadingLine("...increasing mesh data arrays to hold maximum possible vertex count");
    uint32_t capacity = 3 * faceCount > finalCount ? 3 * faceCount : finalCount;
    const bool hasCoords = mesh.unitTexCoords[0] != nullptr && mesh.texCoordCount != 0;
    resizeArray(mesh.vertices, vertexCount, capacity);
    resizeArray(mesh.baseNormals, mesh.normalCount, capacity);
    if (hasCoords) resizeArray(mesh.unitTexCoords[0], mesh.texCoordCount, capacity);
    freeArray(mesh.normals, mesh.normalCount);
    if (bump) resizeArray(mesh.tangentFrames, mesh.tangentFrames ? vertexCount : 0, capacity);

    addLoadingLine("...filling new array fields and updating face indices");
    uint32_t running = vertexCount;
    for (uint32_t v = 0; v < vertexCount; v++) {
        for (int32_t at = int32_t(v); at >= 0; at = bins[at].next) {
            SmoothingBin& bin = bins[at];
            normaliseBin(bin, bump);
            uint32_t d = v;
            if (at != int32_t(v)) {
                d = running++;
                if (hasCoords) mesh.unitTexCoords[0][d] = mesh.unitTexCoords[0][v];
                mesh.vertices[d] = mesh.vertices[v];
            }
            bin.index = int32_t(d);
            mesh.baseNormals[d] = bin.normalSum;
            if (bump) mesh.tangentFrames[d] = binFrame(bin);
        }
    }

    addLoadingLine("...decreasing mesh data arrays to hold optimized minimal vertex count");
    if (hasCoords) resizeArray(mesh.unitTexCoords[0], capacity, running);
    resizeArray(mesh.vertices, capacity, running);
    resizeArray(mesh.baseNormals, capacity, running);
    if (bump) resizeArray(mesh.tangentFrames, capacity, running);
    mesh.vertexCount = mesh.texCoordCount = mesh.normalCount = running;
    resizeArray(mesh.normals, 0, running);
    for (uint32_t i = 0; i < running; i++) mesh.normals[i] = mesh.baseNormals[i];

    // The mesh and its groups get the full-width indices; faces left out keep theirs.
    addLoadingLine("...updating face descriptor arrays");
    for (uint32_t f = 0; f < faceCount; f++) {
        for (int k = 0; k < 3; k++) {
            int32_t at = cornerBin[3 * f + k];
            if (at >= 0) mesh.faces[f].v[k] = bins[at].index;
        }
    }
    for (uint32_t g = 0; g < mesh.faceGroupCount; g++) {
        FaceGroup& group = *mesh.faceGroups[g];
        for (uint32_t i = 0; i < group.faceCount; i++) {
            if (group.faceIndices[i] < faceCount)
                group.faceVertices[i] = mesh.faces[group.faceIndices[i]];
        }
    }
}

void prepareBumpMapping(MeshLod& mesh, TexCoord* texCoordCopy) {
    freeArray(mesh.bumpVectors, mesh.vertexCount);
    resizeArray(mesh.bumpVectors, 0, mesh.vertexCount);
    int32_t units = meshState.textureUnits < kTextureUnits ? meshState.textureUnits : kTextureUnits;
    for (uint32_t g = 0; g < mesh.faceGroupCount; g++) {
        FaceGroup& group = *mesh.faceGroups[g];
        int32_t enabled = 0;
        for (int32_t u = 0; u < units; u++) enabled += group.unitEnabled[u] != 0;
        if (enabled > units - 2) {
            fatalError("INTERNAL ERROR", "No texture units free for DOT3 BumpMapping !");
        }
        for (int32_t l = enabled - 1; l >= 0; l--) {
            group.unitEnabled[l + 2] = group.unitEnabled[l];
            group.unitTexture[l + 2] = group.unitTexture[l];
            group.unitTarget[l + 2] = group.unitTarget[l];
            group.unitEnvSetup[l + 2] = group.unitEnvSetup[l];
            group.unitScale[l + 2] = group.unitScale[l];
            group.unitRange[l + 2][0] = group.unitRange[l][0];
            group.unitRange[l + 2][1] = group.unitRange[l][1];
        }
        group.unitTexture[0] = group.normalMapTexture;
        group.unitTarget[0] = kGLTexture2D;
        group.unitTexture[1] = textureState.normalisationCubeMap;
        group.unitTarget[1] = kGLTextureCubeMap;
        for (int u = 0; u < 2; u++) {
            group.unitEnabled[u] = 1;
            group.unitScale[u] = 1.0f;
            group.unitRange[u][0] = 1000.0f;
            group.unitRange[u][1] = 2000.0f;
        }
        for (int u = 0; u < 3; u++) group.unitEnvSetup[u] = meshState.bumpModes[u];
    }

    // The mesh's per-unit arrays move up the same way; the top two units must be free.
    for (int u = kTextureUnits - 2; u < kTextureUnits; u++) {
        if (mesh.unitTexCoords[u] != nullptr || mesh.unitVectors[u] != nullptr) {
            fatalError("INTERNAL ERROR", "No texture units free for DOT3 BumpMapping !");
        }
    }
    for (int32_t l = kTextureUnits - 3; l >= 0; l--) {
        mesh.unitTexCoords[l + 2] = mesh.unitTexCoords[l];
        mesh.unitVectors[l + 2] = mesh.unitVectors[l];
        mesh.unitFlags[l + 2] = mesh.unitFlags[l];
    }
    mesh.unitTexCoords[0] = texCoordCopy;
    mesh.unitVectors[0] = nullptr;
    mesh.unitFlags[0] = 0;
    mesh.unitTexCoords[1] = nullptr;
    mesh.unitVectors[1] = mesh.bumpVectors;
    mesh.unitFlags[1] = 1;
}

// fminf and fmaxf without the library call: a NaN operand gives the other one.
static float smaller(float a, float b) {
    if (b != b) return a;
    return a < b ? a : b;
}
static float larger(float a, float b) {
    if (b != b) return a;
    return a > b ? a : b;
}

Vec3 boxCenter(const Vec3* points, uint32_t n) {
    if (n == 0) return Vec3{};
    Vec3 lo = points[0], hi = points[0];
    for (uint32_t i = 1; i < n; i++) {
        const Vec3& p = points[i];
        lo.set(smaller(lo.x, p.x), smaller(lo.y, p.y), smaller(lo.z, p.z));
        hi.set(larger(hi.x, p.x), larger(hi.y, p.y), larger(hi.z, p.z));
    }
    return (lo + hi) * 0.5f;
}

float radiusAbout(const Vec3* points, uint32_t n, const Vec3& centre) {
    float radius = 0.0f;
    for (uint32_t i = 0; i < n; i++) {
        float d = (points[i] - centre).length();
        if (d > radius) radius = d;
    }
    return radius;
}
