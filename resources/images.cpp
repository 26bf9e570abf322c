#include "resources/images.h"

#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>

#include <sys/stat.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include "platform/system/failure.h"
#include "platform/system/memory.h"
#include "resources/bigfile.h"

ImageState imageState;

namespace {

constexpr uint32_t kMaxImageSide = 65535;

void upperCase(std::string& text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
}

// Every producer upper-cases both names first and leaves a record that holds pixels alone.
bool beginProducer(const TextureRecord& record, std::string& fileName, std::string& archiveName) {
    upperCase(fileName);
    upperCase(archiveName);
    return !record.pixelsLoaded;
}

[[noreturn]] void fatalImage(const std::string& text) {
    fatalError(kImageErrorCaption, text);
}

[[noreturn]] void fatalTooLarge(const std::string& name, uint64_t width, uint64_t height) {
    fatalImage("The image file \"" + name + "\" is too large : " + std::to_string(width) + " x " +
               std::to_string(height) + " pixels !");
}

bool sizeAcceptable(uint64_t width, uint64_t height) {
    return width <= kMaxImageSide && height <= kMaxImageSide &&
           width * height * 4 <= imageState.maxImageBytes && width * height * 4 <= INT32_MAX;
}

// The whole file: the archive entry, or the loose file when the archive name is empty.
uint32_t loadWhole(const std::string& fileName, const std::string& archiveName, uint8_t*& buffer) {
    return archiveName.empty() ? loadFile(fileName, buffer)
                               : loadEntry(fileName, archiveName, buffer);
}

uint16_t readLittle16(const uint8_t* bytes) {
    return uint16_t(bytes[0] | bytes[1] << 8);
}

// ---- PCX -------------------------------------------------------------------------------

constexpr uint32_t kPcxHeaderSize = 128;

// Decodes the run-length data of a 24-bit PCX into the record's allocated pixels. Each row
// is three plane lines (red, green, blue) of lineLength bytes; a run may go on from one
// plane's line into the next of the same row but is cut at the end of the row. Returns
// false when the data ends before the image is filled.
bool decodePcxRows(TextureRecord& record, const uint8_t* data, uint32_t size, uint32_t lineLength,
                   uint8_t* line) {
    uint32_t p = kPcxHeaderSize;
    uint32_t rowBytes = uint32_t(record.width) * 4;
    for (int32_t row = 0; row < record.height; ++row) {
        std::memset(line, 255, size_t(lineLength) * 4);
        uint32_t plane = 0, x = 0;
        while (plane < 3) {
            if (p >= size) return false;
            uint8_t control = data[p];
            if ((control & 0xC0) != 0xC0) {
                line[x * 4 + plane] = control;
                p += 1;
                if (++x == lineLength) x = 0, ++plane;
                continue;
            }
            if (p + 1 >= size) return false;
            uint32_t count = control & 0x3F;
            uint8_t value = data[p + 1];
            p += 2;
            for (; count > 0 && plane < 3; --count) {
                line[x * 4 + plane] = value;
                if (++x == lineLength) x = 0, ++plane;
            }
        }
        std::memcpy(record.pixels + size_t(row) * rowBytes, line, rowBytes);
    }
    return true;
}

// The fewest encoded bytes that can fill outputBytes: a literal yields one byte, a run of
// two bytes at most 63.
uint64_t leastPcxDataFor(uint64_t outputBytes) {
    return (outputBytes / 63) * 2 + (outputBytes % 63 == 0 ? 0 : outputBytes % 63 == 1 ? 1 : 2);
}

// ---- PNG -------------------------------------------------------------------------------

struct MemoryReader {
    const uint8_t* data;
    size_t size;
    size_t position;
};

void pngReadFromMemory(png_structp png, png_bytep out, size_t count) {
    auto* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
    if (count > reader->size - reader->position) png_error(png, "unexpected end of data");
    std::memcpy(out, reader->data + reader->position, count);
    reader->position += count;
}

void pngError(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}
void pngWarning(png_structp, png_const_charp) {}

// Sets up the transforms that turn any colour type and depth into 8-bit RGBA: palette to
// RGB, grey to RGB, 16 bits rounded to 8, a transparency chunk to alpha; images without
// alpha get an opaque filler. Returns the number of interlace passes to read.
int setPngTransforms(png_structp png, png_infop info, bool& hasAlpha) {
    int colourType = png_get_color_type(png, info);
    hasAlpha =
        (colourType & PNG_COLOR_MASK_ALPHA) != 0 || png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    png_set_expand(png);
    png_set_scale_16(png);
    if ((colourType & PNG_COLOR_MASK_COLOR) == 0) png_set_gray_to_rgb(png);
    if (!hasAlpha) png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    return passes;
}

DecodeResult decodePng(TextureRecord& record, const uint8_t* data, size_t size, bool& hasAlpha) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, pngError, pngWarning);
    if (png == nullptr) return DecodeResult::Failed;
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return DecodeResult::Failed;
    }
    MemoryReader reader = {data, size, 0};
    if (setjmp(png_jmpbuf(png))) {
        releasePixels(record);
        png_destroy_read_struct(&png, &info, nullptr);
        return DecodeResult::Failed;
    }
    png_set_read_fn(png, &reader, pngReadFromMemory);
    png_read_info(png, info);
    png_uint_32 width = png_get_image_width(png, info);
    png_uint_32 height = png_get_image_height(png, info);
    setTextureSize(record, int32_t(width & 0x7FFFFFFF), int32_t(height & 0x7FFFFFFF));
    if (!sizeAcceptable(width, height)) {
        png_destroy_read_struct(&png, &info, nullptr);
        return DecodeResult::TooLarge;
    }
    int passes = setPngTransforms(png, info, hasAlpha);
    allocatePixels(record, int32_t(width), int32_t(height));
    size_t rowBytes = size_t(width) * 4;
    for (int pass = 0; pass < passes; ++pass)
        for (png_uint_32 row = 0; row < height; ++row)
            png_read_row(png, record.pixels + row * rowBytes, nullptr);
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return DecodeResult::Ok;
}

// ---- JPEG ------------------------------------------------------------------------------

struct JpegErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

void jpegErrorExit(j_common_ptr info) {
    std::longjmp(reinterpret_cast<JpegErrorManager*>(info->err)->jump, 1);
}
void jpegMessage(j_common_ptr, int) {}

// CMYK as Adobe writes it (inverted) to RGBA, in place.
void convertInvertedCmyk(uint8_t* pixels, size_t count) {
    for (size_t i = 0; i < count; ++i, pixels += 4) {
        unsigned k = pixels[3];
        pixels[0] = uint8_t(pixels[0] * k / 255);
        pixels[1] = uint8_t(pixels[1] * k / 255);
        pixels[2] = uint8_t(pixels[2] * k / 255);
        pixels[3] = 255;
    }
}

DecodeResult decodeJpeg(TextureRecord& record, const uint8_t* data, size_t size) {
    jpeg_decompress_struct info;
    JpegErrorManager error;
    info.err = jpeg_std_error(&error.base);
    error.base.error_exit = jpegErrorExit;
    error.base.emit_message = jpegMessage;
    if (setjmp(error.jump)) {
        releasePixels(record);
        jpeg_destroy_decompress(&info);
        return DecodeResult::Failed;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    jpeg_read_header(&info, TRUE);
    setTextureSize(record, int32_t(info.image_width), int32_t(info.image_height));
    if (!sizeAcceptable(info.image_width, info.image_height)) {
        jpeg_destroy_decompress(&info);
        return DecodeResult::TooLarge;
    }
    bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_RGBA;
    jpeg_start_decompress(&info);
    allocatePixels(record, int32_t(info.output_width), int32_t(info.output_height));
    size_t rowBytes = size_t(info.output_width) * 4;
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = record.pixels + info.output_scanline * rowBytes;
        jpeg_read_scanlines(&info, &row, 1);
    }
    if (cmyk) convertInvertedCmyk(record.pixels, size_t(record.width) * size_t(record.height));
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return DecodeResult::Ok;
}

// ---- TIFF ------------------------------------------------------------------------------

tmsize_t tiffRead(thandle_t handle, void* out, tmsize_t count) {
    auto* reader = static_cast<MemoryReader*>(handle);
    size_t left = reader->size - reader->position;
    size_t taken = count < 0 ? 0 : (size_t(count) < left ? size_t(count) : left);
    std::memcpy(out, reader->data + reader->position, taken);
    reader->position += taken;
    return tmsize_t(taken);
}
tmsize_t tiffWrite(thandle_t, void*, tmsize_t) {
    return 0;
}
toff_t tiffSeek(thandle_t handle, toff_t offset, int whence) {
    auto* reader = static_cast<MemoryReader*>(handle);
    uint64_t base = whence == SEEK_CUR ? reader->position : whence == SEEK_END ? reader->size : 0;
    uint64_t target = base + offset;
    if (target > reader->size) return toff_t(-1);
    reader->position = size_t(target);
    return target;
}
int tiffClose(thandle_t) {
    return 0;
}
toff_t tiffSize(thandle_t handle) {
    return static_cast<MemoryReader*>(handle)->size;
}

// The RGBA reader hands out colours multiplied by their alpha; the engine keeps them apart.
void unpremultiply(uint8_t* pixels, size_t count) {
    for (size_t i = 0; i < count; ++i, pixels += 4) {
        unsigned alpha = pixels[3];
        if (alpha == 0 || alpha == 255) continue;
        for (int c = 0; c < 3; ++c) {
            unsigned value = (pixels[c] * 255u + alpha / 2) / alpha;
            pixels[c] = uint8_t(value > 255 ? 255 : value);
        }
    }
}

DecodeResult decodeTiff(TextureRecord& record, const uint8_t* data, size_t size, bool& hasAlpha) {
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
    MemoryReader reader = {data, size, 0};
    TIFF* tiff = TIFFClientOpen("memory", "rm", &reader, tiffRead, tiffWrite, tiffSeek, tiffClose,
                                tiffSize, nullptr, nullptr);
    if (tiff == nullptr) return DecodeResult::Failed;
    uint32_t width = 0, height = 0;
    uint16_t extraCount = 0;
    uint16_t* extraKinds = nullptr;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_EXTRASAMPLES, &extraCount, &extraKinds);
    hasAlpha = extraCount > 0 &&
               (extraKinds[0] == EXTRASAMPLE_ASSOCALPHA || extraKinds[0] == EXTRASAMPLE_UNASSALPHA);
    setTextureSize(record, int32_t(width & 0x7FFFFFFF), int32_t(height & 0x7FFFFFFF));
    char message[1024];
    DecodeResult result = DecodeResult::Failed;
    if (!sizeAcceptable(width, height)) {
        result = DecodeResult::TooLarge;
    } else if (width > 0 && height > 0 && TIFFRGBAImageOK(tiff, message)) {
        allocatePixels(record, int32_t(width), int32_t(height));
        // Packed words with red in the low byte: on this little-endian machine the bytes are
        // red, green, blue, alpha, as the record wants them.
        if (TIFFReadRGBAImageOriented(tiff, width, height,
                                      reinterpret_cast<uint32_t*>(record.pixels),
                                      ORIENTATION_TOPLEFT, 0)) {
            result = DecodeResult::Ok;
            if (hasAlpha) unpremultiply(record.pixels, size_t(width) * height);
        } else
            releasePixels(record);
    }
    TIFFClose(tiff);
    return result;
}

[[noreturn]] void fatalUndecodable(const std::string& name) {
    fatalImage("The image file \"" + name + "\" could not be decoded !");
}

} // namespace

void applyColourKey(TextureRecord& record, uint8_t alpha) {
    uint8_t* pixel = record.pixels;
    size_t count = size_t(record.width) * size_t(record.height);
    if (pixel == nullptr) return;
    for (size_t i = 0; i < count; ++i, pixel += 4)
        pixel[3] = (pixel[0] | pixel[1] | pixel[2]) == 0 ? alpha : 255;
}

ImageType imageTypeOfData(const uint8_t* data, size_t size) {
    static const uint8_t png[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (size >= 8 && std::memcmp(data, png, 8) == 0) return ImageType::Png;
    if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) return ImageType::Jpeg;
    if (size >= 4 && (std::memcmp(data, "II*\0", 4) == 0 || std::memcmp(data, "MM\0*", 4) == 0))
        return ImageType::Tiff;
    return ImageType::Detect;
}

DecodeResult decodeImageData(TextureRecord& record, const uint8_t* data, size_t size,
                             bool colourKey) {
    bool hasAlpha = false;
    DecodeResult result = DecodeResult::Failed;
    switch (imageTypeOfData(data, size)) {
        case ImageType::Png:
            result = decodePng(record, data, size, hasAlpha);
            break;
        case ImageType::Jpeg:
            result = decodeJpeg(record, data, size);
            break;
        case ImageType::Tiff:
            result = decodeTiff(record, data, size, hasAlpha);
            break;
        default:
            break;
    }
    // An image with its own alpha keeps it; the others are opaque unless black is keyed out.
    if (result == DecodeResult::Ok && !hasAlpha && colourKey) applyColourKey(record, 0);
    return result;
}

void decodeWithImageLibrary(TextureRecord& record, std::string fileName, std::string archiveName,
                            bool colourKey) {
    if (!beginProducer(record, fileName, archiveName)) return;
    uint8_t* buffer = nullptr;
    uint32_t size = loadWhole(fileName, archiveName, buffer);
    DecodeResult result = decodeImageData(record, buffer, size, colourKey);
    accountedFree(buffer, size);
    if (result == DecodeResult::TooLarge) fatalTooLarge(fileName, record.width, record.height);
    if (result == DecodeResult::Failed) {
        setTextureSize(record, 0, 0);
        fatalUndecodable(fileName);
    }
}

void decodePcx(TextureRecord& record, std::string fileName, std::string archiveName,
               bool colourKey) {
    if (!beginProducer(record, fileName, archiveName)) return;
    uint8_t* data = nullptr;
    uint32_t size = loadWhole(fileName, archiveName, data);
    const char* problem = nullptr;
    if (size < kPcxHeaderSize || data[0] != 10)
        problem = "Following file contains no valid pcx format :\n\n";
    else if (data[2] != 1)
        problem = "Following pcx file is not compressed :\n\n";
    else if (data[65] != 3)
        problem = "Following pcx file contains no valid 24 Bit format :\n\n";
    if (problem != nullptr) {
        accountedFree(data, size);
        fatalImage(problem + fileName);
    }
    int64_t width = int64_t(readLittle16(data + 8)) - readLittle16(data + 4) + 1;
    int64_t height = int64_t(readLittle16(data + 10)) - readLittle16(data + 6) + 1;
    if (width <= 0 || height <= 0)
        problem = "Following file contains no valid pcx format :\n\n";
    else if (!sizeAcceptable(uint64_t(width), uint64_t(height))) {
        accountedFree(data, size);
        fatalTooLarge(fileName, uint64_t(width), uint64_t(height));
    }
    // Plane lines are padded to an even length; a file whose bytes-per-line field says its
    // odd lines are not padded is read as it says.
    uint32_t lineLength = uint32_t(width + (width & 1));
    if (readLittle16(data + 66) == width) lineLength = uint32_t(width);
    // Data too short for the image is refused before the image is allocated.
    if (problem == nullptr &&
        size - kPcxHeaderSize < leastPcxDataFor(uint64_t(lineLength) * 3 * uint64_t(height)))
        problem = "Following pcx file ends before its image is complete :\n\n";
    if (problem != nullptr) {
        accountedFree(data, size);
        fatalImage(problem + fileName);
    }

    allocatePixels(record, int32_t(width), int32_t(height));
    uint8_t* line = nullptr;
    accountedAlloc(line, 0, lineLength * 4);
    bool complete = decodePcxRows(record, data, size, lineLength, line);
    accountedFree(line, lineLength * 4);
    accountedFree(data, size);
    if (!complete) {
        releasePixels(record);
        fatalImage("Following pcx file ends before its image is complete :\n\n" + fileName);
    }
    if (colourKey) applyColourKey(record, 0);
}

void readUnc(TextureRecord& record, std::string fileName, std::string archiveName, bool colourKey) {
    if (!beginProducer(record, fileName, archiveName)) return;
    uint8_t* buffer = nullptr;
    uint32_t trailer = 0;
    uint32_t size = archiveName.empty()
                        ? loadFileWithTrailer(fileName, buffer, trailer)
                        : loadEntryWithTrailer(fileName, archiveName, buffer, trailer);
    uint64_t width = trailer & 0xFFFF, height = trailer >> 16;
    if (width * height * 4 != size) {
        accountedFree(buffer, size);
        fatalImage("Following unc file has a size trailer that does not match its length :\n\n" +
                   fileName);
    }
    if (!sizeAcceptable(width, height)) {
        accountedFree(buffer, size);
        fatalTooLarge(fileName, width, height);
    }
    setTextureSize(record, int32_t(width), int32_t(height));
    record.pixels = buffer;
    record.pixelsLoaded = true;
    if (colourKey) applyColourKey(record, 0);
}

namespace {

std::string sizeText(uint64_t width, uint64_t height) {
    return std::to_string(width) + " x " + std::to_string(height);
}

// The checks of a cache file before its pixels are read: why it cannot be used, or empty
// (with the size its trailer gives).
std::string uncCacheProblem(std::FILE* file, uint64_t& width, uint64_t& height) {
    struct stat status;
    if (::fstat(::fileno(file), &status) != 0 || !S_ISREG(status.st_mode))
        return "It cannot be read.";
    uint64_t length = uint64_t(status.st_size);
    uint8_t bytes[4];
    if (length < 4) return "It is shorter than its size trailer of 4 bytes.";
    if (std::fseek(file, long(length - 4), SEEK_SET) != 0 || std::fread(bytes, 1, 4, file) != 4)
        return "It cannot be read.";
    width = readLittle16(bytes), height = readLittle16(bytes + 2);
    if (width * height * 4 != length - 4)
        return "Its size trailer says " + sizeText(width, height) +
               " pixels, which does not match its length of " + std::to_string(length) + " bytes.";
    if (!sizeAcceptable(width, height))
        return "Its size trailer says " + sizeText(width, height) + " pixels, which is too large.";
    return {};
}

} // namespace

std::string readUncCache(TextureRecord& record, const std::string& fileName) {
    if (record.pixelsLoaded) return {};
    std::FILE* file = std::fopen(resolveLooseFile(fileName).c_str(), "rb");
    if (file == nullptr) return "It cannot be read.";
    uint64_t width = 0, height = 0;
    std::string problem = uncCacheProblem(file, width, height);
    uint32_t size = uint32_t(width * height * 4);
    uint8_t* pixels = nullptr;
    if (problem.empty()) {
        accountedAlloc(pixels, 0, size);
        if (std::fseek(file, 0, SEEK_SET) != 0 || std::fread(pixels, 1, size, file) != size) {
            accountedFree(pixels, size);
            problem = "It cannot be read.";
        }
    }
    std::fclose(file);
    if (!problem.empty()) return problem;
    setTextureSize(record, int32_t(width), int32_t(height));
    record.pixels = pixels;
    record.pixelsLoaded = true;
    return {};
}

void writeUnc(const TextureRecord& record, std::string fileName, bool askBeforeOverwrite) {
    if (!record.pixelsLoaded) return;
    // The file's own name is upper-cased; a folder before it keeps its spelling.
    size_t slash = fileName.find_last_of('/');
    std::string name = fileName.substr(slash == std::string::npos ? 0 : slash + 1);
    upperCase(name);
    fileName = fileName.substr(0, fileName.size() - name.size()) + name;
    if (askBeforeOverwrite && !confirmOverwrite(fileName)) return;
    // An existing cache file is replaced under its own spelling.
    std::string path = fileExists(fileName, "") ? resolveLooseFile(fileName) : fileName;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) fatalFileError(fileName);
    uint32_t trailer = uint32_t(record.width) + uint32_t(record.height) * 65536u;
    uint8_t bytes[4] = {uint8_t(trailer), uint8_t(trailer >> 8), uint8_t(trailer >> 16),
                        uint8_t(trailer >> 24)};
    size_t size = size_t(record.byteSize);
    bool written =
        std::fwrite(record.pixels, 1, size, file) == size && std::fwrite(bytes, 1, 4, file) == 4;
    written = std::fclose(file) == 0 && written;
    if (!written) {
        // A cut-off cache file would be refused at every later start: take it away again.
        struct stat status;
        if (::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode))
            std::remove(path.c_str());
        noticeBox(kFileErrorCaption, "File : " + fileName + "\n\nCould not write " +
                                         std::to_string(size + 4) + " Bytes to this file !");
    }
}
