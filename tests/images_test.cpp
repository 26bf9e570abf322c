#include <gtest/gtest.h>

#include <png.h>
#include <zlib.h>

#include <sys/resource.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>

#include "fatal_pattern.h"
#include "platform/system/memory.h"
#include "resources/bigfile.h"
#include "resources/images.h"
#include "support/test_support.h"
#include "tools/image_write.h"

namespace {

using Bytes = std::vector<unsigned char>;

bool haveConvert() {
    return std::system("convert -version > /dev/null 2>&1") == 0;
}

bool run(const std::string& command) {
    return std::system(command.c_str()) == 0;
}

Bytes pixelsOf(const TextureRecord& record) {
    return Bytes(record.pixels, record.pixels + record.byteSize);
}

// A 24-bit run-length PCX: the header fields the decoder reads, then the encoded bytes.
Bytes pcxFile(int width, int height, const Bytes& encoded, uint8_t manufacturer = 10,
              uint8_t encoding = 1, uint8_t planes = 3) {
    Bytes file(128 + encoded.size(), 0);
    std::copy(encoded.begin(), encoded.end(), file.begin() + 128);
    file[0] = manufacturer;
    file[1] = 5;
    file[2] = encoding;
    file[3] = 8;
    file[4] = 2; // Xmin 2, Ymin 1: the size comes from the differences
    file[6] = 1;
    uint16_t xmax = uint16_t(width + 1), ymax = uint16_t(height);
    file[8] = uint8_t(xmax), file[9] = uint8_t(xmax >> 8);
    file[10] = uint8_t(ymax), file[11] = uint8_t(ymax >> 8);
    file[65] = planes;
    return file;
}

// A PNG written through libpng's simple interface from 8-bit RGB or RGBA pixels.
Bytes pngFile(int width, int height, const Bytes& pixels, bool alpha) {
    return encodePng(Image{width, height, alpha ? 4 : 3, pixels});
}

// The PNG chunks without gAMA: ImageMagick corrects by the gamma chunk for some files and
// not for others (not for the interlaced ones), the engine never does, so the references
// are made from the file without it.
Bytes withoutGammaChunk(const Bytes& png) {
    Bytes out(png.begin(), png.begin() + 8);
    for (size_t p = 8; p + 12 <= png.size();) {
        size_t length =
            size_t(png[p]) << 24 | size_t(png[p + 1]) << 16 | png[p + 2] << 8 | png[p + 3];
        if (std::string(png.begin() + p + 4, png.begin() + p + 8) != "gAMA")
            out.insert(out.end(), png.begin() + p, png.begin() + p + 12 + length);
        p += 12 + length;
    }
    return out;
}

// ImageMagick's RGBA of a file. It is asked for 16 bits per sample and rounded to 8 here:
// its own 8-bit output truncates 16-bit samples where libpng (and the engine) rounds.
Bytes imageMagickRgba(const std::string& path, const TempDir& dir) {
    std::string raw = dir.file("reference.rgba");
    if (!run("convert '" + path + "' -depth 16 rgba:'" + raw + "'")) return {};
    Bytes wide = readWholeFile(raw);
    Bytes rgba(wide.size() / 2);
    for (size_t i = 0; i < rgba.size(); ++i) {
        unsigned value = wide[2 * i] | wide[2 * i + 1] << 8;
        rgba[i] = uint8_t((value * 255 + 32895) >> 16);
    }
    return rgba;
}

struct Decoded {
    TextureRecord record;
    ~Decoded() { releasePixels(record); }
};

struct ImageFiles : testing::Test {
    void SetUp() override {
        failureState.batch = true;
        startBytes = memoryState.accountedBytes;
    }
    void TearDown() override { EXPECT_EQ(memoryState.accountedBytes, startBytes); }
    std::string write(const std::string& name, const Bytes& bytes) {
        writeWholeFile(dir.file(name), bytes);
        return dir.file(name);
    }
    TempDir dir;
    uint32_t startBytes = 0;
};

using Pcx = ImageFiles;
using Unc = ImageFiles;
using LibraryDecode = ImageFiles;

std::string imageError(const std::string& text) {
    return fatalPattern("FILE ERROR", text);
}

std::string upper(std::string text) {
    for (char& c : text) c = char(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

} // namespace

TEST_F(Pcx, OddWidthPadIsDiscardedAndAlphaIsOpaque) {
    // Width 3: four bytes per plane line, the fourth is padding.
    Bytes data = {1,  2,  3,  99, 4,  5,  6,  99, 7,  8,  9,  99,  // row 0: R, G, B lines
                  10, 11, 12, 99, 13, 14, 15, 99, 16, 17, 18, 99}; // row 1
    Decoded image;
    decodePcx(image.record, write("odd.pcx", pcxFile(3, 2, data)), "", false);
    ASSERT_TRUE(image.record.pixelsLoaded);
    EXPECT_EQ(image.record.width, 3);
    EXPECT_EQ(image.record.height, 2);
    EXPECT_EQ(pixelsOf(image.record), (Bytes{1,  4,  7,  255, 2,  5,  8,  255, 3,  6,  9,  255, //
                                             10, 13, 16, 255, 11, 14, 17, 255, 12, 15, 18, 255}));
}

TEST_F(Pcx, RunsCrossPlanesSkipCountZeroAndStopAtTheEndOfTheRow) {
    Bytes data = {0xC3, 0x11, 0x22,       // run of 3 fills R0 R1 G0, literal G1
                  0xC0, 0x77,             // count 0: two bytes, nothing stored
                  0xC5, 0x33,             // blue line needs 2, the other 3 are dropped
                  0x40, 0x41, 0x42, 0x43, // row 1 starts afresh with R0 R1 G0 G1
                  0xC2, 0x00};            // B0 B1 black
    Decoded image;
    decodePcx(image.record, write("runs.pcx", pcxFile(2, 2, data)), "", false);
    EXPECT_EQ(pixelsOf(image.record), (Bytes{0x11, 0x11, 0x33, 255, 0x11, 0x22, 0x33, 255, //
                                             0x40, 0x42, 0, 255, 0x41, 0x43, 0, 255}));
    Decoded keyed;
    decodePcx(keyed.record, dir.file("runs.pcx"), "", true);
    EXPECT_EQ(keyed.record.pixels[3], 255);
    EXPECT_EQ(keyed.record.pixels[11], 255); // (0x40, 0x42, 0) is not black
    decodePcx(keyed.record, write("other.pcx", pcxFile(1, 1, {0xC4, 0})), "", true);
    EXPECT_EQ(keyed.record.width, 2); // already loaded: left alone
}

TEST_F(Pcx, BrokenFilesAreFatal) {
    auto name = [&](const std::string& file) { return upper(dir.file(file)); };
    std::string path = write("maker.pcx", pcxFile(1, 1, {1, 2, 3}, 11));
    TextureRecord record;
    EXPECT_EXIT(
        decodePcx(record, path, "", false), testing::ExitedWithCode(1),
        imageError("Following file contains no valid pcx format :\n\n" + name("maker.pcx")));
    path = write("plain.pcx", pcxFile(1, 1, {1, 2, 3}, 10, 0));
    EXPECT_EXIT(decodePcx(record, path, "", false), testing::ExitedWithCode(1),
                imageError("Following pcx file is not compressed :\n\n" + name("plain.pcx")));
    path = write("planes.pcx", pcxFile(1, 1, {1, 2, 3}, 10, 1, 1));
    EXPECT_EXIT(decodePcx(record, path, "", false), testing::ExitedWithCode(1),
                imageError("Following pcx file contains no valid 24 Bit format :\n\n" +
                           name("planes.pcx")));
    path = write("stub.pcx", Bytes{10, 5, 1});
    EXPECT_EXIT(decodePcx(record, path, "", false), testing::ExitedWithCode(1),
                imageError("Following file contains no valid pcx format :\n\n" + name("stub.pcx")));
    // Data that ends before the image is filled: too short to fill it at all, and long
    // enough but spent on empty runs.
    std::string ends = "Following pcx file ends before its image is complete :\n\n";
    path = write("short.pcx", pcxFile(64, 64, Bytes(10, 0xC0 | 63)));
    EXPECT_EXIT(decodePcx(record, path, "", false), testing::ExitedWithCode(1),
                imageError(ends + name("short.pcx")));
    path = write("empty.pcx", pcxFile(2, 2, {0xC0, 0, 0xC0, 0, 0xC0}));
    EXPECT_EXIT(decodePcx(record, path, "", false), testing::ExitedWithCode(1),
                imageError(ends + name("empty.pcx")));
    Bytes wide = pcxFile(1, 1, {});
    wide[4] = 0, wide[8] = wide[9] = 0xFF; // Xmin 0, Xmax 65535
    path = write("wide.pcx", wide);
    EXPECT_EXIT(decodePcx(record, path, "", false), testing::ExitedWithCode(1),
                imageError("The image file \"" + name("wide.pcx") +
                           "\" is too large : 65536 x 1 pixels !"));
}

TEST_F(Pcx, FilesWrittenByImageMagickDecodeToTheSourcePixels) {
    if (!haveConvert()) GTEST_SKIP() << "ImageMagick is not installed";
    for (const char* size : {"37x11", "64x32"}) {
        std::string png = dir.file("source.png"), pcx = dir.file("source.pcx");
        ASSERT_TRUE(run(std::string("convert -seed 7 -size ") + size + " plasma:fractal '" + png +
                        "' && convert '" + png + "' -type TrueColor '" + pcx + "'"));
        Decoded image;
        decodePcx(image.record, pcx, "", false);
        EXPECT_EQ(pixelsOf(image.record), imageMagickRgba(png, dir)) << size;
    }
}

TEST_F(Unc, WriteThenReadKeepsEveryByte) {
    ScopedChdir inside(dir.path);
    Decoded source;
    allocatePixels(source.record, 256, 256);
    for (int i = 0; i < source.record.byteSize; ++i) source.record.pixels[i] = uint8_t(i * 13);
    source.record.pixels[0] = source.record.pixels[1] = source.record.pixels[2] = 0;
    writeUnc(source.record, "Textur64.unc");
    Bytes file = readWholeFile(dir.file("TEXTUR64.UNC"));
    ASSERT_EQ(file.size(), 262148u);
    EXPECT_EQ(Bytes(file.end() - 4, file.end()), (Bytes{0x00, 0x01, 0x00, 0x01}));
    Decoded copy;
    readUnc(copy.record, "textur64.unc", "", false);
    EXPECT_EQ(copy.record.width, 256);
    EXPECT_EQ(copy.record.height, 256);
    EXPECT_EQ(copy.record.halfWidth, 128);
    EXPECT_EQ(pixelsOf(copy.record), pixelsOf(source.record));
    Decoded keyed;
    readUnc(keyed.record, "TEXTUR64.UNC", "", true);
    EXPECT_EQ(keyed.record.pixels[3], 0);
    EXPECT_EQ(keyed.record.pixels[7], 255);
}

TEST_F(Unc, ReadsFromTheBigfileAndRefusesAWrongTrailer) {
    Bytes file = {1, 2, 3, 4, 5, 6, 7, 8, 2, 0, 1, 0}; // 2 x 1
    std::string archive = dir.file("data.dat");
    writeWholeFile(archive, [&] {
        std::string header =
            std::string(kBigfileBeginMarker) + "tiny.unc;x;12\n" + std::string(kBigfileEndMarker);
        Bytes all(header.begin(), header.end());
        all.insert(all.end(), file.begin(), file.end());
        return all;
    }());
    Decoded image;
    readUnc(image.record, "Tiny.unc", archive, false);
    EXPECT_EQ(image.record.width, 2);
    EXPECT_EQ(pixelsOf(image.record), Bytes(file.begin(), file.begin() + 8));
    file[8] = 3;
    std::string wrong = write("wrong.unc", file);
    TextureRecord record;
    EXPECT_EXIT(readUnc(record, wrong, "", false), testing::ExitedWithCode(1),
                imageError("Following unc file has a size trailer that does not match its "
                           "length :\n\n" +
                           upper(wrong)));
}

TEST_F(Unc, OverwriteIsAskedAndAnExistingCacheKeepsItsSpelling) {
    ScopedChdir inside(dir.path);
    writeWholeFile(dir.file("cache.unc"), {9});
    Decoded image;
    allocatePixels(image.record, 1, 1);
    {
        BoxRecorder declining(false);
        writeUnc(image.record, "cache.unc");
        ASSERT_EQ(declining.boxes.size(), 1u);
        EXPECT_EQ(declining.boxes[0].kind, BoxKind::Question);
        EXPECT_EQ(declining.boxes[0].caption, "ATTENTION !");
        EXPECT_EQ(declining.boxes[0].text, "The file \"CACHE.UNC\" already exists ! Overwrite ?");
    }
    EXPECT_EQ(readWholeFile(dir.file("cache.unc")), Bytes{9});
    BoxRecorder agreeing(true);
    writeUnc(image.record, "cache.unc");
    EXPECT_EQ(readWholeFile(dir.file("cache.unc")).size(), 8u);
    EXPECT_FALSE(std::filesystem::exists(dir.file("CACHE.UNC")));
}

TEST_F(Unc, AWriteThatFailsLeavesNoCutOffFile) {
    ScopedChdir inside(dir.path);
    auto writeBeyondTheLimit = [] {
        TextureRecord record;
        allocatePixels(record, 64, 64);
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = {1000, 1000};
        setrlimit(RLIMIT_FSIZE, &limit);
        BoxRecorder recorder;
        writeUnc(record, "big.unc");
        bool reported = recorder.boxes.size() == 1 &&
                        recorder.boxes[0].text ==
                            "File : BIG.UNC\n\nCould not write 16388 Bytes to this file !";
        std::exit(reported && !std::filesystem::exists("BIG.UNC") ? 0 : 3);
    };
    EXPECT_EXIT(writeBeyondTheLimit(), testing::ExitedWithCode(0), "");
}

TEST_F(LibraryDecode, PngSuiteMatchesImageMagick) {
    SKIP_WITHOUT_TESTDATA("png");
    if (!haveConvert()) GTEST_SKIP() << "ImageMagick is not installed";
    int files = 0;
    for (const auto& item : std::filesystem::directory_iterator(testdataDir() + "/png")) {
        if (item.path().extension() != ".png") continue;
        std::string name = item.path().filename().string();
        Decoded image;
        decodeWithImageLibrary(image.record, item.path().string(), "", false);
        std::string plain = write("plain.png", withoutGammaChunk(readWholeFile(item.path())));
        EXPECT_EQ(pixelsOf(image.record), imageMagickRgba(plain, dir)) << name;
        ++files;
    }
    EXPECT_EQ(files, 51);
}

TEST_F(LibraryDecode, AlphaRulesAndTheColourKey) {
    Bytes rgb = {0, 0, 0, 0, 0, 1, 255, 255, 255, 0, 0, 0};
    std::string opaque = write("key.png", pngFile(2, 2, rgb, false));
    Decoded plain, keyed;
    decodeWithImageLibrary(plain.record, opaque, "", false);
    decodeWithImageLibrary(keyed.record, opaque, "", true);
    EXPECT_EQ(pixelsOf(plain.record),
              (Bytes{0, 0, 0, 255, 0, 0, 1, 255, 255, 255, 255, 255, 0, 0, 0, 255}));
    EXPECT_EQ(pixelsOf(keyed.record),
              (Bytes{0, 0, 0, 0, 0, 0, 1, 255, 255, 255, 255, 255, 0, 0, 0, 0}));
    // An image with its own alpha keeps it, whatever the colour key says.
    Bytes rgba = {0, 0, 0, 200, 0, 0, 0, 255, 9, 9, 9, 0, 0, 0, 0, 7};
    std::string withAlpha = write("alpha.png", pngFile(2, 2, rgba, true));
    Decoded own;
    decodeWithImageLibrary(own.record, withAlpha, "", true);
    EXPECT_EQ(pixelsOf(own.record), rgba);
    decodeWithImageLibrary(own.record, opaque, "", false);
    EXPECT_EQ(pixelsOf(own.record), rgba); // already loaded: left alone
}

TEST_F(LibraryDecode, JpegMatchesLibjpegAndTheTopRowComesFirst) {
    SKIP_WITHOUT_TESTDATA("jpeg");
    if (!haveConvert()) GTEST_SKIP() << "ImageMagick is not installed";
    for (const char* name : {"testorig.jpg", "testimgint.jpg", "testimgari.jpg"}) {
        std::string path = testdataDir() + "/jpeg/" + name;
        Decoded image;
        decodeWithImageLibrary(image.record, path, "", false);
        ASSERT_EQ(image.record.width, 227) << name;
        ASSERT_EQ(image.record.height, 149) << name;
        Bytes reference = imageMagickRgba(path, dir);
        ASSERT_EQ(reference.size(), size_t(image.record.byteSize));
        int worst = 0;
        for (size_t i = 0; i < reference.size(); ++i)
            worst = std::max(worst, std::abs(int(reference[i]) - int(image.record.pixels[i])));
        EXPECT_LE(worst, 2) << name;
    }
    // A black JPEG comes out pure black, so the colour key clears all of it.
    std::string black = dir.file("black.jpg");
    ASSERT_TRUE(run("convert -size 16x16 xc:black '" + black + "'"));
    Decoded keyed;
    decodeWithImageLibrary(keyed.record, black, "", true);
    for (int i = 0; i < keyed.record.byteSize; i += 4) ASSERT_EQ(keyed.record.pixels[i + 3], 0);
}

TEST_F(LibraryDecode, TiffAndDataWhoseNameSaysOtherwise) {
    if (!haveConvert()) GTEST_SKIP() << "ImageMagick is not installed";
    std::string tiff = dir.file("a.tif"), png = dir.file("source.png");
    ASSERT_TRUE(run("convert -seed 3 -size 20x9 plasma:fractal '" + png + "' && convert '" + png +
                    "' -alpha set -channel A -fx 'i/w' '" + tiff + "'"));
    Decoded fromTiff;
    decodeWithImageLibrary(fromTiff.record, tiff, "", false);
    // libtiff's RGBA reader multiplies colours by alpha; divided out again they are off by
    // up to 255 / (2 alpha).
    Bytes reference = imageMagickRgba(tiff, dir);
    ASSERT_EQ(reference.size(), size_t(fromTiff.record.byteSize));
    for (size_t i = 0; i < reference.size(); i += 4) {
        unsigned alpha = reference[i + 3];
        ASSERT_EQ(fromTiff.record.pixels[i + 3], alpha) << i;
        for (size_t c = 0; c < 3 && alpha > 0; ++c)
            ASSERT_LE(std::abs(int(fromTiff.record.pixels[i + c]) - int(reference[i + c])),
                      int(255 / (2 * alpha) + 1))
                << i;
    }
    std::filesystem::copy_file(png, dir.file("named.jpg"));
    Decoded misnamed;
    decodeWithImageLibrary(misnamed.record, dir.file("named.jpg"), "", false);
    EXPECT_EQ(pixelsOf(misnamed.record), imageMagickRgba(png, dir));
}

TEST_F(LibraryDecode, UndecodableAndOversizedImagesAreFatal) {
    SKIP_WITHOUT_TESTDATA("png/crashers");
    TextureRecord record;
    for (const auto& item : std::filesystem::directory_iterator(testdataDir() + "/png/crashers")) {
        if (item.path().filename() == "empty_ancillary_chunks.png") {
            // Broken ancillary chunks only: libpng skips them and the image decodes.
            Decoded image;
            decodeWithImageLibrary(image.record, item.path().string(), "", false);
            EXPECT_TRUE(image.record.pixelsLoaded);
            continue;
        }
        EXPECT_EXIT(decodeWithImageLibrary(record, item.path().string(), "", false),
                    testing::ExitedWithCode(1),
                    imageError("The image file \"" + upper(item.path().string()) +
                               "\" could not be decoded !"))
            << item.path();
    }
    std::string text = write("text.bmp", {'h', 'e', 'l', 'l', 'o'});
    EXPECT_EXIT(decodeWithImageLibrary(record, text, "", false), testing::ExitedWithCode(1),
                imageError("The image file \"" + upper(text) + "\" could not be decoded !"));
    // A header of 70000 x 1 pixels: refused before anything is allocated.
    Bytes png = {0x89, 'P', 'N', 'G',  '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D',
                 'R',  0,   1,   0x11, 0x70, 0,    0,    0,    1, 8, 2, 0,  0,   0};
    uLong crc = crc32(0, png.data() + 12, 17);
    for (int shift = 24; shift >= 0; shift -= 8) png.push_back(uint8_t(crc >> shift));
    Bytes idat = {0, 0, 0, 0, 'I', 'D', 'A', 'T'};
    crc = crc32(0, idat.data() + 4, 4);
    for (int shift = 24; shift >= 0; shift -= 8) idat.push_back(uint8_t(crc >> shift));
    png.insert(png.end(), idat.begin(), idat.end());
    std::string wide = write("wide.png", png);
    EXPECT_EXIT(
        decodeWithImageLibrary(record, wide, "", false), testing::ExitedWithCode(1),
        imageError("The image file \"" + upper(wide) + "\" is too large : 70000 x 1 pixels !"));
}

TEST(TextureRecordPixels, AllocationRules) {
    failureState.batch = true;
    TextureRecord record;
    allocatePixels(record, 4, 2);
    EXPECT_EQ(record.byteSize, 32);
    record.pixels[0] = 7;
    allocatePixels(record, 8, 8); // already loaded: nothing happens
    EXPECT_EQ(record.width, 4);
    EXPECT_EQ(record.pixels[0], 7);
    releasePixels(record);
    EXPECT_EQ(record.pixels, nullptr);
    uint8_t stray = 0;
    record.pixels = &stray;
    EXPECT_EXIT(allocatePixels(record, 2, 2), testing::ExitedWithCode(1),
                fatalPattern("INTERNAL MEMORY MANAGEMENT ERROR !",
                             "It is not allowed to allocate memory for an already assigned "
                             "pointer !\nPointer must be NULL before allocating memory."));
}

TEST_F(LibraryDecode, DemotoolDecodeWritesTheEnginesPixelsAsPng) {
    std::string tool = std::string(ZORX_BIN_DIR) + "/demotool";
    Bytes rgb = {0, 0, 0, 10, 20, 30};
    std::string source = write("Source.png", pngFile(2, 1, rgb, false));
    std::string out = dir.file("out.png"), keyed = dir.file("keyed.png");
    ASSERT_TRUE(run(tool + " decode '" + source + "' '" + out + "'"));
    ASSERT_TRUE(run(tool + " decode '" + source + "' '" + keyed + "' --colour-key"));
    Decoded plain, transparent;
    decodeWithImageLibrary(plain.record, out, "", false);
    decodeWithImageLibrary(transparent.record, keyed, "", false);
    EXPECT_EQ(pixelsOf(plain.record), (Bytes{0, 0, 0, 255, 10, 20, 30, 255}));
    EXPECT_EQ(pixelsOf(transparent.record), (Bytes{0, 0, 0, 0, 10, 20, 30, 255}));
    std::string broken = write("broken.pcx", Bytes{1, 2, 3});
    EXPECT_EQ(std::system((tool + " decode '" + broken + "' x.png 2> /dev/null").c_str()), 1 << 8);
}
