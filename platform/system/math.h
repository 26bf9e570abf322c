// Math kit of the engine: a three-float vector, 4 x 4 float and double matrices (row-major,
// points as column vectors), a quaternion and a plane. Plain value types with in-place
// operations; nothing here allocates.
#pragma once

#include <cmath>
#include <cstdint>

struct Mat4;

struct Vec3 {
    float x = 0.0f, y = 0.0f, z = 0.0f;

    void zero() { x = y = z = 0.0f; }
    void set(float nx, float ny, float nz) { x = nx, y = ny, z = nz; }
    void copy(const Vec3& v) { *this = v; }
    bool isZero() const { return x == 0.0f && y == 0.0f && z == 0.0f; }
    void add(const Vec3& v) { x += v.x, y += v.y, z += v.z; }
    void subtract(const Vec3& v) { x -= v.x, y -= v.y, z -= v.z; }
    void scale(float s) { x *= s, y *= s, z *= s; }
    // Divides by s; a zero divisor leaves the vector as it is.
    void divide(float s);
    // this = this x v
    void cross(const Vec3& v);
    float dot(const Vec3& v) const { return x * v.x + y * v.y + z * v.z; }
    float length() const;
    // A zero vector stays zero.
    void normalise();
    // this = upper 3 x 4 of m applied to (x, y, z, 1).
    void transformPoint(const Mat4& m);
    // this = upper-left 3 x 3 of m applied to (x, y, z): directions and normals.
    void transformDirection(const Mat4& m);
};

inline Vec3 operator+(Vec3 a, const Vec3& b) {
    a.add(b);
    return a;
}
inline Vec3 operator-(Vec3 a, const Vec3& b) {
    a.subtract(b);
    return a;
}
inline Vec3 operator*(Vec3 a, float s) {
    a.scale(s);
    return a;
}

// The small vector operations are inline: mesh processing and box fitting call them per point.
inline void Vec3::divide(float s) {
    if (s == 0.0f) return;
    scale(1.0f / s);
}

inline void Vec3::cross(const Vec3& v) {
    float cx = y * v.z - v.y * z;
    float cy = v.x * z - x * v.z;
    float cz = v.y * x - y * v.x;
    set(cx, cy, cz);
}

inline Vec3 crossProduct(const Vec3& a, const Vec3& b) {
    Vec3 result = a;
    result.cross(b);
    return result;
}

inline float Vec3::length() const {
    return std::sqrt(x * x + y * y + z * z);
}

inline void Vec3::normalise() {
    float len = length();
    divide(len == 0.0f ? 1.0f : len);
}

// Row-major 3 x 3 (index 3r + c); only an intermediate of the quaternion conversions.
struct Mat3 {
    float m[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
};

// Row-major 4 x 4 (index 4r + c). As an affine transform the translation is in column 3
// (indices 3, 7, 11) and the bottom row is (0, 0, 0, 1). A new matrix is the identity.
struct Mat4 {
    float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

    void identity();
    // this = this * b (full product; b may be this matrix).
    void multiply(const Mat4& b);
    // Top three rows of this * b with both bottom rows (0, 0, 0, 1); the bottom row of the
    // result is (0, 0, 0, 1).
    void multiplyAffine(const Mat4& b);
    void transpose();
    Vec3 getTranslation() const { return {m[3], m[7], m[11]}; }
    void setTranslation(const Vec3& v) { m[3] = v.x, m[7] = v.y, m[11] = v.z; }
    // Copies b's upper-left 3 x 3, keeping this matrix's translation and bottom row.
    void setRotation(const Mat4& b);
};

inline void Vec3::transformPoint(const Mat4& m) {
    const float* e = m.m;
    set(e[0] * x + e[1] * y + e[2] * z + e[3], e[4] * x + e[5] * y + e[6] * z + e[7],
        e[8] * x + e[9] * y + e[10] * z + e[11]);
}

inline void Vec3::transformDirection(const Mat4& m) {
    const float* e = m.m;
    set(e[0] * x + e[1] * y + e[2] * z, e[4] * x + e[5] * y + e[6] * z,
        e[8] * x + e[9] * y + e[10] * z);
}

struct Mat4d {
    double m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

    void identity();
    void transpose();
};

// (x, y, z) is the vector part. A new quaternion is all zero.
struct Quat {
    float x = 0.0f, y = 0.0f, z = 0.0f, w = 0.0f;

    void scale(float s) { x *= s, y *= s, z *= s, w *= s; }
    void add(const Quat& q) { x += q.x, y += q.y, z += q.z, w += q.w; }
    float dot(const Quat& q) const { return x * q.x + y * q.y + z * q.z + w * q.w; }
    // R(q), and its transpose.
    Mat3 toMatrix() const;
    Mat3 toMatrixTransposed() const;
    // Inverse of toMatrixTransposed (trace method).
    void fromMatrix(const Mat3& transposedRotation);
    // Writes R transposed into the upper 3 x 3 of out and zeroes indices 3, 7, 11.
    void toKeyRotation(Mat4& out) const;
};

// Spherical interpolation without a flip to the shorter arc and without renormalising.
// Where the angle between a and b has no sine (equal or opposite, also through rounding)
// the result is a.
Quat slerp(const Quat& a, const Quat& b, float t);

// normal . p = d on the plane.
struct Plane {
    Vec3 normal;
    float d = 0.0f;

    void fromNormalAndPoint(const Vec3& n, const Vec3& p) { normal = n, d = n.dot(p); }
    float distance(const Vec3& p) const { return normal.dot(p) - d; }
    // -1, 0 or +1 by the sign of the distance.
    int side(const Vec3& p) const;
};
