// A small 3DS file builder for the reader's tests and benchmark: chunk output through the
// tools' chunk writer, plus helpers for the common blocks (mesh, material, light, camera,
// keyframer node) that can also write what the demo's writer never would (TCB keys, odd
// hierarchies, damaged chunks). Vectors are given in the file's own axes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/writer3ds.h"

struct Builder3ds {
    ChunkWriter out;

    void u8(uint8_t v) { putU8(out, v); }
    void u16(uint16_t v) { putU16(out, v); }
    void u32(uint32_t v) { putU32(out, v); }
    void f32(float v) { putFloat(out, v); }
    void vec(float x, float y, float z) { f32(x), f32(y), f32(z); }
    void str(const std::string& s) { putString(out, s); }
    void begin(uint16_t id) { beginChunk(out, id); }
    void end() { endChunk(out); }
    // A leaf chunk with nothing but the header.
    void flag(uint16_t id) { begin(id), end(); }

    // Main chunk, version 3, editor chunk opened.
    void beginFile() {
        begin(0x4D4D);
        begin(0x0002);
        u32(3);
        end();
        begin(0x3D3D);
    }
    void endEditor() { end(); }
    std::vector<uint8_t> finish() {
        while (!out.openChunks.empty()) end();
        return out.bytes;
    }

    struct Face {
        uint16_t a, b, c;
    };
    struct Group {
        std::string material;
        std::vector<uint16_t> faces;
    };
    struct Mesh {
        std::string name;
        std::vector<float> xyz; // 3 per vertex
        std::vector<Face> faces;
        std::vector<float> uv; // 2 per vertex
        std::vector<Group> groups;
        std::vector<uint32_t> smoothing;
    };
    void mesh(const Mesh& m) {
        begin(0x4000);
        str(m.name);
        begin(0x4100);
        begin(0x4110);
        u16(uint16_t(m.xyz.size() / 3));
        for (float v : m.xyz) f32(v);
        end();
        if (!m.uv.empty()) {
            begin(0x4140);
            u16(uint16_t(m.uv.size() / 2));
            for (float v : m.uv) f32(v);
            end();
        }
        begin(0x4120);
        u16(uint16_t(m.faces.size()));
        for (const Face& f : m.faces) u16(f.a), u16(f.b), u16(f.c), u16(7);
        for (const Group& g : m.groups) {
            begin(0x4130);
            str(g.material);
            u16(uint16_t(g.faces.size()));
            for (uint16_t i : g.faces) u16(i);
            end();
        }
        if (!m.smoothing.empty()) {
            begin(0x4150);
            for (uint32_t s : m.smoothing) u32(s);
            end();
        }
        end();
        end();
        end();
    }

    // An object of one triangle (three vertices) with its own local coordinate system: the
    // X, Y and Z axes and the origin, twelve numbers.
    void triangleWithAxes(const std::string& name, const std::vector<float>& xyz,
                          const std::vector<float>& system) {
        begin(0x4000);
        str(name);
        begin(0x4100);
        begin(0x4110);
        u16(3);
        for (float v : xyz) f32(v);
        end();
        begin(0x4120);
        u16(1);
        u16(0), u16(1), u16(2), u16(7);
        end();
        begin(0x4160);
        for (float v : system) f32(v);
        end();
        end();
        end();
    }

    struct Material {
        std::string name;
        float diffuse[3] = {0.5f, 0.5f, 0.5f};
        uint16_t transparencyPercent = 0;
        std::string map;
        bool twoSided = false;
    };
    void material(const Material& m) {
        begin(0xAFFF);
        begin(0xA000);
        str(m.name);
        end();
        begin(0xA020);
        begin(0x0011);
        for (float c : m.diffuse) u8(uint8_t(c * 255.0f + 0.5f));
        end();
        end();
        begin(0xA050);
        begin(0x0030);
        u16(m.transparencyPercent);
        end();
        end();
        if (m.twoSided) flag(0xA081);
        if (!m.map.empty()) {
            begin(0xA200);
            begin(0xA300);
            str(m.map);
            end();
            end();
        }
        end();
    }

    // An object block holding an omni (or, with a target, spot) light.
    void light(const std::string& name, float x, float y, float z, bool spot = false) {
        begin(0x4000);
        str(name);
        begin(0x4600);
        vec(x, y, z);
        begin(0x0010);
        vec(1.0f, 0.5f, 0.25f);
        end();
        if (spot) {
            begin(0x4610);
            vec(0, 0, 0);
            f32(30.0f), f32(40.0f);
            end();
        }
        end();
        end();
    }
    void camera(const std::string& name, float x, float y, float z, float tx, float ty, float tz) {
        begin(0x4000);
        str(name);
        begin(0x4700);
        vec(x, y, z);
        vec(tx, ty, tz);
        f32(0.0f), f32(35.0f);
        end();
        end();
    }

    struct Key {
        uint32_t frame;
        float value[4]; // x, y, z (position) or angle, x, y, z (rotation)
        float tension = 0, continuity = 0, bias = 0;
    };
    // A track chunk (0xB020 position, 0xB021 rotation); TCB values are written only where
    // they are not zero, with their flag bits.
    void track(uint16_t id, const std::vector<Key>& keys) {
        begin(id);
        u16(0);
        u32(0), u32(0);
        u32(uint32_t(keys.size()));
        for (const Key& k : keys) {
            u32(k.frame);
            uint16_t flags =
                (k.tension != 0 ? 1 : 0) | (k.continuity != 0 ? 2 : 0) | (k.bias != 0 ? 4 : 0);
            u16(flags);
            if (flags & 1) f32(k.tension);
            if (flags & 2) f32(k.continuity);
            if (flags & 4) f32(k.bias);
            int values = id == 0xB021 ? 4 : 3;
            for (int i = 0; i < values; ++i) f32(k.value[i]);
        }
        end();
    }
    // Opens a keyframer node (0xB002 object, 0xB003 camera, 0xB004 camera target, ...)
    // with its header; tracks and the instance name follow; close it with end().
    void beginNode(uint16_t id, const std::string& name, int16_t depth) {
        begin(id);
        begin(0xB010);
        str(name);
        u16(0x4000), u16(0);
        u16(uint16_t(depth));
        end();
    }
    void instanceName(const std::string& name) {
        begin(0xB011);
        str(name);
        end();
    }
    void beginKeyframer(uint32_t start, uint32_t end) {
        begin(0xB000);
        begin(0xB008);
        u32(start), u32(end);
        this->end();
    }
};
