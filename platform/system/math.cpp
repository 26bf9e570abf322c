#include "platform/system/math.h"

#include <cmath>

void Mat4::identity() {
    *this = Mat4{};
}

void Mat4::multiply(const Mat4& b) {
    float r[16];
    for (int i = 0; i < 4; i++) {
        for (int j = 0; j < 4; j++) {
            float sum = 0.0f;
            for (int k = 0; k < 4; k++) sum += m[4 * i + k] * b.m[4 * k + j];
            r[4 * i + j] = sum;
        }
    }
    for (int i = 0; i < 16; i++) m[i] = r[i];
}

void Mat4::multiplyAffine(const Mat4& b) {
    float r[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    for (int i = 0; i < 3; i++) {
        for (int j = 0; j < 3; j++) {
            r[4 * i + j] =
                m[4 * i] * b.m[j] + m[4 * i + 1] * b.m[4 + j] + m[4 * i + 2] * b.m[8 + j];
        }
        r[4 * i + 3] =
            m[4 * i] * b.m[3] + m[4 * i + 1] * b.m[7] + m[4 * i + 2] * b.m[11] + m[4 * i + 3];
    }
    for (int i = 0; i < 16; i++) m[i] = r[i];
}

template <typename T> static void transposeSquare(T* e) {
    for (int r = 0; r < 4; r++) {
        for (int c = r + 1; c < 4; c++) {
            T t = e[4 * r + c];
            e[4 * r + c] = e[4 * c + r];
            e[4 * c + r] = t;
        }
    }
}

void Mat4::transpose() {
    transposeSquare(m);
}

void Mat4::setRotation(const Mat4& b) {
    for (int r = 0; r < 3; r++) {
        for (int c = 0; c < 3; c++) m[4 * r + c] = b.m[4 * r + c];
    }
}

void Mat4d::identity() {
    *this = Mat4d{};
}

void Mat4d::transpose() {
    transposeSquare(m);
}

Mat3 Quat::toMatrix() const {
    float xx = 2 * x * x, yy = 2 * y * y, zz = 2 * z * z;
    float xy = 2 * x * y, xz = 2 * x * z, yz = 2 * y * z;
    float wx = 2 * w * x, wy = 2 * w * y, wz = 2 * w * z;
    return Mat3{{1 - yy - zz, xy - wz, xz + wy, xy + wz, 1 - xx - zz, yz - wx, xz - wy, yz + wx,
                 1 - xx - yy}};
}

Mat3 Quat::toMatrixTransposed() const {
    Mat3 r = toMatrix();
    Mat3 t;
    for (int i = 0; i < 3; i++) {
        for (int j = 0; j < 3; j++) t.m[3 * i + j] = r.m[3 * j + i];
    }
    return t;
}

void Quat::fromMatrix(const Mat3& transposedRotation) {
    // Work on a = M transposed, the rotation itself.
    float a[3][3];
    for (int r = 0; r < 3; r++) {
        for (int c = 0; c < 3; c++) a[r][c] = transposedRotation.m[3 * c + r];
    }
    float trace = a[0][0] + a[1][1] + a[2][2];
    if (trace > 0.0f) {
        float s = std::sqrt(trace + 1.0f);
        w = s / 2.0f;
        s = 0.5f / s;
        x = (a[2][1] - a[1][2]) * s;
        y = (a[0][2] - a[2][0]) * s;
        z = (a[1][0] - a[0][1]) * s;
        return;
    }
    static const int next[3] = {1, 2, 0};
    int i = 0;
    if (a[1][1] > a[0][0]) i = 1;
    if (a[2][2] > a[i][i]) i = 2;
    int j = next[i], k = next[j];
    float q[3];
    float s = std::sqrt(a[i][i] - a[j][j] - a[k][k] + 1.0f);
    q[i] = s / 2.0f;
    s = 0.5f / s;
    w = (a[k][j] - a[j][k]) * s;
    q[j] = (a[j][i] + a[i][j]) * s;
    q[k] = (a[k][i] + a[i][k]) * s;
    x = q[0], y = q[1], z = q[2];
}

void Quat::toKeyRotation(Mat4& out) const {
    Mat3 t = toMatrixTransposed();
    for (int r = 0; r < 3; r++) {
        for (int c = 0; c < 3; c++) out.m[4 * r + c] = t.m[3 * r + c];
        out.m[4 * r + 3] = 0.0f;
    }
}

Quat slerp(const Quat& a, const Quat& b, float t) {
    float cosine = a.dot(b);
    // Equal or opposite quaternions (also where rounding takes |a . b| past 1) leave the
    // weights without a defined sine: stay at a.
    if (!(cosine < 1.0f && cosine > -1.0f)) return a;
    float theta = std::acos(cosine);
    float sine = std::sin(theta);
    if (sine == 0.0f) return a;
    float s = 1.0f / sine;
    float wa = std::sin((1.0f - t) * theta) * s;
    float wb = std::sin(t * theta) * s;
    return Quat{wa * a.x + wb * b.x, wa * a.y + wb * b.y, wa * a.z + wb * b.z, wa * a.w + wb * b.w};
}

int Plane::side(const Vec3& p) const {
    float dist = distance(p);
    return dist > 0.0f ? 1 : (dist < 0.0f ? -1 : 0);
}
