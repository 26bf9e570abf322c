#include "scene/chunks3ds.h"

#include <cstdio>
#include <cstring>

#include "platform/system/failure.h"
#include "scene/loading_log.h"

float readF32(const uint8_t* p) {
    uint32_t bits = readU32(p);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

void fatal3dsDamage(std::string_view fileName, std::string_view detail) {
    std::string text = "The 3DS file \"";
    text += fileName;
    text += "\" is damaged !\n\n";
    text += detail;
    fatalError(k3dsErrorCaption, text);
}

static const char* chunkName(uint16_t id) {
    switch (id) {
        case 0x0010:
            return "float colour";
        case 0x0011:
            return "byte colour";
        case 0x3D3D:
            return "editor";
        case 0x4000:
            return "object block";
        case 0x4100:
            return "triangular mesh";
        case 0x4110:
            return "vertex list";
        case 0x4120:
            return "face list";
        case 0x4130:
            return "face material group";
        case 0x4140:
            return "mapping coordinates";
        case 0x4150:
            return "smoothing groups";
        case 0x4160:
            return "local coordinate system";
        case 0x4600:
            return "light";
        case 0x4610:
            return "spot light";
        case 0x4700:
            return "camera";
        case 0x4D4D:
            return "main";
        case 0xA000:
            return "material name";
        case 0xA010:
            return "ambient colour";
        case 0xA020:
            return "diffuse colour";
        case 0xA030:
            return "specular colour";
        case 0xA041:
            return "shininess strength";
        case 0xA050:
            return "transparency";
        case 0xA200:
            return "texture map";
        case 0xA300:
            return "map file name";
        case 0xAFFF:
            return "material block";
        case 0xB000:
            return "keyframer";
        case 0xB008:
            return "frame range";
        case 0xB010:
            return "node header";
        case 0xB011:
            return "instance name";
        case 0xB013:
            return "pivot";
        case 0xB020:
            return "position track";
        case 0xB021:
            return "rotation track";
        case 0xB022:
            return "scale track";
        default:
            return nullptr;
    }
}

std::string describeChunk(const Chunk& chunk) {
    char text[96];
    const char* name = chunkName(chunk.id);
    if (name)
        std::snprintf(text, sizeof text, "chunk 0x%04X (%s) at byte %u", chunk.id, name,
                      chunk.start);
    else
        std::snprintf(text, sizeof text, "chunk 0x%04X at byte %u", chunk.id, chunk.start);
    return text;
}

namespace {

// Why the header at the walk's position does not fit within limit, or empty when it does;
// chunk holds what could be read of it.
std::string headerProblem(const ChunkWalk& walk, Chunk& chunk, uint32_t limit) {
    chunk = Chunk{};
    chunk.start = walk.position;
    char detail[256];
    if (limit - walk.position < kChunkHeaderSize) {
        std::snprintf(detail, sizeof detail,
                      "%u bytes at byte %u are too few for a chunk header of 6 bytes.",
                      limit - walk.position, walk.position);
        return detail;
    }
    chunk.id = readU16(walk.data + walk.position);
    chunk.length = readU32(walk.data + walk.position + 2);
    if (chunk.length < kChunkHeaderSize) {
        std::snprintf(detail, sizeof detail,
                      "The %s has the length %u, which is below the 6 bytes of its header.",
                      describeChunk(chunk).c_str(), chunk.length);
        return detail;
    }
    if (chunk.length <= limit - walk.position) return {};
    if (walk.parents.empty())
        std::snprintf(detail, sizeof detail,
                      "The %s has the length %u and runs past the end of the file (%u bytes).",
                      describeChunk(chunk).c_str(), chunk.length, walk.size);
    else
        std::snprintf(detail, sizeof detail,
                      "The %s has the length %u and runs past the end of its parent "
                      "%s (%u bytes long).",
                      describeChunk(chunk).c_str(), chunk.length,
                      describeChunk(walk.parents.back()).c_str(), walk.parents.back().length);
    return detail;
}

void noteLine(const char* format, uint32_t value) {
    char line[160];
    std::snprintf(line, sizeof line, format, value);
    addLoadingLine(" ");
    addLoadingLine(line);
}

// A file cut short inside its main chunk (which claims the missing bytes): a chunk that the
// end of the file cuts is shortened to the end, a header that it cuts ends the walk.
bool cutByFileEnd(ChunkWalk& walk, Chunk& chunk, uint32_t limit) {
    if (walk.claimedBeyondEnd == 0 || limit != walk.size) return false;
    if (limit - walk.position < kChunkHeaderSize) {
        noteLine("Attention : the file ends inside a chunk header, its last %u bytes are left "
                 "out !",
                 limit - walk.position);
        walk.position = walk.size;
        return true;
    }
    if (chunk.length < kChunkHeaderSize ||
        uint64_t(chunk.start) + chunk.length > uint64_t(walk.size) + walk.claimedBeyondEnd)
        return false;
    chunk.length = walk.size - chunk.start;
    chunk.cutShort = true;
    return true;
}

} // namespace

void openMainChunk(ChunkWalk& walk) {
    walk.position = 0;
    walk.parents.clear();
    uint32_t claimed = walk.size >= kChunkHeaderSize ? readU32(walk.data + 2) : 0;
    if (claimed > walk.size && claimed - walk.size < kChunkHeaderSize) {
        walk.claimedBeyondEnd = claimed - walk.size;
        noteLine("Attention : the main chunk claims %u bytes more than the file holds !",
                 walk.claimedBeyondEnd);
        addLoadingLine("Reading to the end of the file...");
    }
    Chunk main;
    nextChunk(walk, main);
    walk.parents.push_back(main);
    walk.mainOpened = true;
    walk.position = kChunkHeaderSize;
}

bool nextChunk(ChunkWalk& walk, Chunk& chunk) {
    while (!walk.parents.empty() && walk.position >= walk.parents.back().end())
        walk.parents.pop_back();
    if (walk.position >= walk.size) return false;

    bool afterMain = walk.parents.empty() && walk.mainOpened;
    uint32_t limit = walk.parents.empty() ? walk.size : walk.parents.back().end();
    std::string problem = headerProblem(walk, chunk, limit);
    if (problem.empty()) return true;
    if (afterMain) {
        noteLine("Attention : %u bytes after the main chunk are no 3DS data and are ignored !",
                 walk.size - walk.position);
        walk.position = walk.size;
        return false;
    }
    if (cutByFileEnd(walk, chunk, limit)) return walk.position < walk.size;
    fatal3dsDamage(walk.fileName, problem);
}

void finishChunk(ChunkWalk& walk, const Chunk& chunk, uint32_t advance) {
    if (advance < chunk.length) walk.parents.push_back(chunk);
    walk.position = chunk.start + (advance < chunk.length ? advance : chunk.length);
}

ChunkCursor::ChunkCursor(const ChunkWalk& parentWalk, const Chunk& current)
    : walk(parentWalk), chunk(current), position(current.start + 6) {}

const uint8_t* ChunkCursor::take(uint32_t bytes) {
    if (bytes > remaining()) {
        char detail[256];
        std::snprintf(detail, sizeof detail,
                      "The %s is %u bytes long, too short for the data it holds (%u more bytes "
                      "needed at offset %u).",
                      describeChunk(chunk).c_str(), chunk.length, bytes, offset());
        fatal3dsDamage(walk.fileName, detail);
    }
    const uint8_t* at = walk.data + position;
    position += bytes;
    return at;
}

uint8_t ChunkCursor::u8() {
    return *take(1);
}
uint16_t ChunkCursor::u16() {
    return readU16(take(2));
}
uint32_t ChunkCursor::u32() {
    return readU32(take(4));
}
float ChunkCursor::f32() {
    return readF32(take(4));
}

std::string_view ChunkCursor::string() {
    const uint8_t* begin = walk.data + position;
    const void* zero = std::memchr(begin, 0, remaining());
    if (!zero) {
        char detail[256];
        std::snprintf(detail, sizeof detail,
                      "The %s holds a name without its terminating zero at offset %u.",
                      describeChunk(chunk).c_str(), offset());
        fatal3dsDamage(walk.fileName, detail);
    }
    uint32_t length = uint32_t(static_cast<const uint8_t*>(zero) - begin);
    take(length + 1);
    return std::string_view(reinterpret_cast<const char*>(begin), length);
}

const uint8_t* ChunkCursor::array(uint32_t count, uint32_t elementSize) {
    if (uint64_t(count) * elementSize > remaining()) {
        char detail[256];
        std::snprintf(detail, sizeof detail,
                      "The %s holds %u entries of %u bytes, which do not fit into its length of "
                      "%u bytes.",
                      describeChunk(chunk).c_str(), count, elementSize, chunk.length);
        fatal3dsDamage(walk.fileName, detail);
    }
    return take(count * elementSize);
}
