// 3DS chunk access: the flat chunk walk over the file buffer with the stack of enclosing
// chunks, and a cursor over one chunk whose every read is checked against the chunk's end.
// Whatever does not fit (a length below the header, a chunk running past its parent or the
// file, an array longer than its chunk, a name without its zero) ends the program with the
// "3DS-FILE ERROR" report naming the file, the chunk and what is wrong.
//
// Two faults of files that other programs write are tolerated, each with a line in the
// loading log: bytes after the main chunk that form no chunk (padding) end the walk, and a
// main chunk that claims fewer than a header's bytes more than the file holds is read to the
// end of the file, where the chunks that the end cuts short are marked.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::string_view k3dsErrorCaption = "3DS-FILE ERROR";
inline constexpr uint32_t kChunkHeaderSize = 6;

// Little-endian reads from any byte address (the file gives no alignment).
inline uint16_t readU16(const uint8_t* p) {
    return uint16_t(p[0] | (p[1] << 8));
}
inline uint32_t readU32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
float readF32(const uint8_t* p);

struct Chunk {
    uint16_t id = 0;
    uint32_t start = 0;    // byte position of the header in the file
    uint32_t length = 0;   // including the 6-byte header
    bool cutShort = false; // the file ends inside it: its length was shortened to the end
    uint32_t end() const { return start + length; }
};

// The walk: chunks are met one after the other; a chunk whose children follow its own data
// becomes a parent until the walk reaches its end.
struct ChunkWalk {
    const uint8_t* data = nullptr;
    uint32_t size = 0;
    std::string fileName;
    uint32_t position = 0;
    std::vector<Chunk> parents;
    bool mainOpened = false;       // the main chunk is the first parent; chunks after it are
                                   // padding unless they are whole chunks
    uint32_t claimedBeyondEnd = 0; // bytes the main chunk claims past the end of the file
};

// "The 3DS file "NAME" is damaged !\n\n" + detail, caption "3DS-FILE ERROR".
[[noreturn]] void fatal3dsDamage(std::string_view fileName, std::string_view detail);
// "chunk 0x4110 (vertex list) at byte 1234" for the texts above.
std::string describeChunk(const Chunk& chunk);

// Opens the walk at the main chunk (offset 0): its length is checked against the file, a
// small overrun is noted and tolerated, and the main chunk becomes the first parent.
void openMainChunk(ChunkWalk& walk);
// Closes the parents the walk has left, reads and checks the header at the position.
// Returns false when the walk has reached the end of the file or the padding after the main
// chunk.
bool nextChunk(ChunkWalk& walk, Chunk& chunk);
// Moves on by `advance` bytes; when that stops inside the chunk, the rest are its children.
void finishChunk(ChunkWalk& walk, const Chunk& chunk, uint32_t advance);

// Reads within one chunk, from its payload on.
struct ChunkCursor {
    ChunkCursor(const ChunkWalk& parentWalk, const Chunk& current);

    uint8_t u8();
    uint16_t u16();
    int16_t s16() { return int16_t(u16()); }
    uint32_t u32();
    float f32();
    // A zero-terminated name; fatal when the chunk ends before the zero.
    std::string_view string();
    // Fatal unless count elements of elementSize bytes fit before the chunk's end; returns
    // the address of the first and moves past them.
    const uint8_t* array(uint32_t count, uint32_t elementSize);
    void skip(uint32_t bytes) { array(bytes, 1); }
    uint32_t offset() const { return position - chunk.start; } // from the chunk's start
    uint32_t remaining() const { return chunk.end() - position; }

    const ChunkWalk& walk;
    Chunk chunk;
    uint32_t position;

  private:
    const uint8_t* take(uint32_t bytes);
};
