// Image decoding: the producers that fill a texture record's pixel buffer (8-bit RGBA, top
// row first, red at the lowest address) and the writer of the UNC cache file.
//
// - PCX: 24-bit run-length-encoded files, decoded here.
// - UNC: the engine's raw cache, the pixel buffer followed by a 4-byte little-endian trailer
//   width + height * 65536.
// - Everything else (PNG, JPEG, TIFF) through libpng, libjpeg-turbo and libtiff, from memory.
// - The colour-key pass: pure black becomes transparent.
//
// Each producer reads through the bigfile operations (archive entry, or the loose file when
// the archive name is empty), upper-cases both names first, and does nothing when the
// record's pixels are already loaded. colourKey is the texture loader's colour-key option.
// Bad input ends the program with a fatal report (caption "FILE ERROR" for broken images).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "resources/texture_record.h"

inline constexpr const char* kImageErrorCaption = "FILE ERROR";

void decodePcx(TextureRecord& record, std::string fileName, std::string archiveName,
               bool colourKey);
void readUnc(TextureRecord& record, std::string fileName, std::string archiveName, bool colourKey);
// PNG, JPEG or TIFF, whatever the data's signature says; other data is fatal.
void decodeWithImageLibrary(TextureRecord& record, std::string fileName, std::string archiveName,
                            bool colourKey);

// A loose UNC file used as a texture's cache: unlike readUnc nothing about it is fatal.
// Returns empty when the record now holds its pixels (as stored: no colour key), otherwise
// why the file cannot be used (unreadable, shorter than its trailer, a trailer that does not
// match its length or gives a size too large); the record is then left as it was.
std::string readUncCache(TextureRecord& record, const std::string& fileName);

// Writes the record's pixels as a UNC file on disk (nothing when no pixels are loaded),
// after asking before an existing file is overwritten unless askBeforeOverwrite is false.
void writeUnc(const TextureRecord& record, std::string fileName, bool askBeforeOverwrite = true);

// Pixels whose red, green and blue are all 0 become (0, 0, 0, alpha); all others opaque.
void applyColourKey(TextureRecord& record, uint8_t alpha);

// The image types the texture loader knows.
enum class ImageType { Detect = 0, Jpeg = 2, Png = 3, Tiff = 4, Jpeg2000 = 5 };
// The type the data's signature shows; Detect when it is none the engine decodes.
ImageType imageTypeOfData(const uint8_t* data, size_t size);

enum class DecodeResult { Ok, Failed, TooLarge };
// Decodes PNG, JPEG or TIFF data into the record (its pixels must not be loaded). On Failed
// and TooLarge the record holds no pixels and width and height tell what the header said.
DecodeResult decodeImageData(TextureRecord& record, const uint8_t* data, size_t size,
                             bool colourKey);

struct ImageState {
    // Largest decoded image accepted, in bytes (the record's byte size is a 32-bit number).
    // Tools and fuzz harnesses may lower it.
    uint64_t maxImageBytes = INT32_MAX;
};
extern ImageState imageState;
