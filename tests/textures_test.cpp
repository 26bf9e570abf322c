#include "resources/textures.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "fatal_pattern.h"
#include "image_files.h"
#include "platform/system/memory.h"
#include "support/test_support.h"

namespace {

// A bigfile holding the one file as its only entry.
void packIntoBigfile(const std::string& archive, const std::string& name,
                     const std::vector<unsigned char>& bytes) {
    std::string header = "################[ header - begin ]################\n" + name + ";t;" +
                         std::to_string(bytes.size()) +
                         "\n################[ header -  end  ]################\n";
    std::vector<unsigned char> archiveBytes(header.begin(), header.end());
    archiveBytes.insert(archiveBytes.end(), bytes.begin(), bytes.end());
    writeWholeFile(archive, archiveBytes);
}

GLint textureParameter(GLenum name) {
    GLint value = -1;
    glGetTexParameteriv(GL_TEXTURE_2D, name, &value);
    return value;
}

GLint levelParameter(GLint level, GLenum name) {
    GLint value = -1;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, name, &value);
    return value;
}

const TextureRecord& recordAt(int32_t index) {
    return *textureState.records[index];
}

const uint8_t kGreen[4] = {10, 200, 30, 255};

// Every test starts with an empty table, default settings, the start-up load options and a
// fresh working folder; at its end every texture is deleted and the memory balance is even.
class Textures : public testing::Test {
  protected:
    void SetUp() override {
        if (!window.ok) GTEST_SKIP() << "no display";
        textureState = TextureState{};
        failureState.batch = true;
        startBytes = memoryState.accountedBytes;
    }
    void TearDown() override {
        if (!window.ok) return;
        deleteAllTextures();
        EXPECT_EQ(textureState.count, 0);
        EXPECT_EQ(textureState.glTextureCount, 0);
        EXPECT_EQ(memoryState.accountedBytes, startBytes);
    }
    HiddenGLWindow window;
    TempDir folder;
    ScopedChdir inFolder{folder.path};
    uint32_t startBytes = 0;
};

TEST(TextureFormat, FollowsCompressionAndColourDepth) {
    textureState = TextureState{};
    struct Case {
        bool noCompression;
        int32_t compression, depth;
        uint32_t format;
    } cases[] = {
        {false, 1, 32, GL_COMPRESSED_RGBA_S3TC_DXT3_EXT},
        {false, 2, 16, GL_COMPRESSED_RGBA_S3TC_DXT5_EXT},
        {false, 3, 32, GL_COMPRESSED_RGBA_S3TC_DXT1_EXT},
        {false, 0, 16, GL_RGBA4},
        {false, 4, 32, GL_RGBA8},
        {true, 1, 16, GL_RGBA4},
        {true, 3, 32, GL_RGBA8},
        {true, 0, 24, GL_RGBA8},
    };
    for (const Case& c : cases) {
        textureState.options.noCompression = c.noCompression;
        textureState.quality.compression = c.compression;
        textureState.quality.colourDepth = c.depth;
        EXPECT_EQ(chooseInternalFormat(), c.format) << c.compression << " " << c.depth;
    }
}

TEST_F(Textures, EachNameIsLoadedOnce) {
    ASSERT_TRUE(writePng(folder.file("textur64.png"), 64, 32, kGreen));
    int32_t first = loadTexture("Textur64.png", "");
    EXPECT_EQ(loadTexture("TEXTUR64.PNG", ""), first);
    EXPECT_EQ(loadTexture("textur64.png", ""), first);
    EXPECT_EQ(textureState.count, 1);
    EXPECT_EQ(textureState.glTextureCount, 1);
    const TextureRecord& record = recordAt(first);
    EXPECT_EQ(record.name, "TEXTUR64.PNG");
    EXPECT_EQ(record.sceneTag, "Scene1");
    EXPECT_EQ(record.width, 64);
    EXPECT_EQ(record.halfHeight, 16);
    EXPECT_FALSE(record.pixelsLoaded) << "pixels are released after the upload";
    EXPECT_EQ(findTexture("textur64.PNG"), first);
    EXPECT_EQ(findTexture("TEXTUR64"), -1);

    glBindTexture(GL_TEXTURE_2D, record.glName);
    EXPECT_EQ(levelParameter(0, GL_TEXTURE_WIDTH), 64);
    uint8_t texel[4];
    std::vector<uint8_t> image(64 * 32 * 4);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, image.data());
    std::copy(image.begin(), image.begin() + 4, texel);
    EXPECT_EQ(std::vector<uint8_t>(texel, texel + 4), std::vector<uint8_t>(kGreen, kGreen + 4));
}

TEST_F(Textures, LargeImagesAreCachedAndReadBack) {
    textureState.quality.saveCompressed = true;
    ASSERT_TRUE(writeJpeg(folder.file("Textur64.jpg"), 256, 256));
    ASSERT_TRUE(writeJpeg(folder.file("Small.jpg"), 128, 128));
    loadTexture("Textur64.jpg", "");
    loadTexture("Small.jpg", "");
    EXPECT_FALSE(std::filesystem::exists(folder.file("SMALL.UNC")));
    std::vector<unsigned char> cache = readWholeFile(folder.file("TEXTUR64.UNC"));
    ASSERT_EQ(cache.size(), 262148u);
    EXPECT_EQ(std::vector<unsigned char>(cache.end() - 4, cache.end()),
              (std::vector<unsigned char>{0, 1, 0, 1}));

    // The next run finds the cache (in any letter case) and does not decode: mark its
    // first pixel and take the JPEG away.
    deleteAllTextures();
    cache[0] = 1, cache[1] = 2, cache[2] = 3, cache[3] = 4;
    std::filesystem::remove(folder.file("TEXTUR64.UNC"));
    std::filesystem::remove(folder.file("Textur64.jpg"));
    writeWholeFile(folder.file("textur64.unc"), cache);
    int32_t index = loadTexture("Textur64.jpg", "");
    EXPECT_EQ(recordAt(index).width, 256);
    glBindTexture(GL_TEXTURE_2D, recordAt(index).glName);
    std::vector<uint8_t> image(256 * 256 * 4);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, image.data());
    EXPECT_EQ(std::vector<uint8_t>(image.begin(), image.begin() + 4),
              (std::vector<uint8_t>{1, 2, 3, 4}));
}

std::vector<uint8_t> firstTexel(int32_t index) {
    const TextureRecord& record = recordAt(index);
    glBindTexture(GL_TEXTURE_2D, record.glName);
    std::vector<uint8_t> image(size_t(record.byteSize));
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, image.data());
    return std::vector<uint8_t>(image.begin(), image.begin() + 4);
}

TEST_F(Textures, ColourKeyOnDecodingAndFromTheCache) {
    textureState.quality.saveCompressed = true;
    textureState.options.colourKey = true;
    const uint8_t translucentBlack[4] = {0, 0, 0, 128};
    ASSERT_TRUE(writePng(folder.file("Glyphs.png"), 256, 256, translucentBlack));
    ASSERT_TRUE(writeJpeg(folder.file("Cursor.jpg"), 16, 16, 0));
    EXPECT_EQ(firstTexel(loadTexture("Cursor.jpg", "")), (std::vector<uint8_t>{0, 0, 0, 0}));
    const std::vector<uint8_t> ownAlpha = {0, 0, 0, 128};
    EXPECT_EQ(firstTexel(loadTexture("Glyphs.png", "")), ownAlpha);
    // Read back from GLYPHS.UNC the image keeps its own alpha, as when it was decoded.
    deleteAllTextures();
    std::filesystem::remove(folder.file("Glyphs.png"));
    EXPECT_EQ(firstTexel(loadTexture("Glyphs.png", "")), ownAlpha);
}

// A cache file that fails its checks is reported and not used: the texture is decoded, and
// with saving on the cache is made again without asking (for an image too small to be cached,
// taken away). One that passes them is used.
TEST_F(Textures, CacheFilesThatFailTheirChecksAreReportedAndReplaced) {
    using Bytes = std::vector<unsigned char>;
    ASSERT_TRUE(writePng(folder.file("Textur64.png"), 256, 256, kGreen));
    ASSERT_TRUE(writePng(folder.file("Small.png"), 16, 16, kGreen));
    auto cacheOf = [](size_t pixelBytes, uint8_t width, uint8_t height) {
        Bytes file(pixelBytes, 1);
        file.insert(file.end(), {width, uint8_t(width == 0), height, uint8_t(height == 0)});
        return file; // a side of 0 stands for 256
    };
    const struct {
        std::string image;
        Bytes cache;
        bool older;
        std::string problem; // empty: the cache is used
    } cases[] = {
        {"Textur64", cacheOf(262144, 0, 0), false, ""},
        {"Textur64", {1, 2, 3}, false, "It is shorter than its size trailer of 4 bytes."},
        {"Textur64", cacheOf(12, 3, 1), false,
         "It holds 3 x 1 pixels, which is no power of 2 size."},
        {"Textur64", cacheOf(262144, 128, 128), false,
         "Its size trailer says 128 x 128 pixels, which does not match its length of 262148 "
         "bytes."},
        {"Textur64", cacheOf(262144, 0, 0), true,
         "It is older than \"Textur64.png\", which holds the image."},
        {"Small", {1, 2, 3}, false, "It is shorter than its size trailer of 4 bytes."},
    };
    for (bool saving : {true, false}) {
        textureState.quality.saveCompressed = saving;
        for (const auto& c : cases) {
            SCOPED_TRACE(c.image + (saving ? " saving: " : ": ") + c.problem);
            const std::string cache = folder.file(c.image + ".unc"), png = c.image + ".png";
            writeWholeFile(cache, c.cache);
            if (c.older)
                std::filesystem::last_write_time(cache, std::filesystem::last_write_time(png) -
                                                            std::chrono::hours(1));
            BoxRecorder boxes;
            const std::vector<uint8_t> texel = firstTexel(loadTexture(png, ""));
            EXPECT_EQ(texel, c.problem.empty() ? (std::vector<uint8_t>{1, 1, 1, 1})
                                               : std::vector<uint8_t>(kGreen, kGreen + 4));
            Bytes after = std::filesystem::exists(cache) ? readWholeFile(cache) : Bytes{};
            deleteAllTextures();
            std::filesystem::remove(cache);
            if (c.problem.empty()) continue;
            ASSERT_EQ(boxes.boxes.size(), 1u) << "one notice, no question";
            // The files' own names, not the upper-cased ones the loaders look them up by.
            EXPECT_EQ(boxes.boxes[0].text,
                      "A texture cache file is not used !\n\n- \"" + c.image + ".unc\" (of \"" +
                          c.image + ".png\") : " + c.problem +
                          "\n\nIts texture is decoded from its image instead" +
                          (saving ? " and the cache file is made again." : "."));
            Bytes expected = !saving ? c.cache : c.image == "Small" ? Bytes{} : cacheOf(0, 0, 0);
            EXPECT_EQ(after.size() < 4 ? after : Bytes(after.end() - 4, after.end()),
                      expected.size() < 4 ? expected : Bytes(expected.end() - 4, expected.end()));
        }
    }
}

// A rebuilt archive makes every cache file of its images stale: one notice for the loading
// names them all by their own names, and each is made again in the cache folder.
TEST_F(Textures, StaleCacheFilesOfAnArchiveAreToldOnce) {
    textureState.quality.saveCompressed = true;
    textureState.cacheFolder = folder.file("cache/film03");
    const std::string archive = folder.file("Film_03.dat");
    std::vector<unsigned char> png;
    ASSERT_TRUE(writePng(folder.file("plain.png"), 256, 256, kGreen));
    png = readWholeFile(folder.file("plain.png"));
    std::string header = "################[ header - begin ]################\n";
    for (const char* name : {"font.png", "Wall.png"})
        header += std::string(name) + ";t;" + std::to_string(png.size()) + "\n";
    header += "################[ header -  end  ]################\n";
    std::vector<unsigned char> bytes(header.begin(), header.end());
    for (int i = 0; i < 2; ++i) bytes.insert(bytes.end(), png.begin(), png.end());
    writeWholeFile(archive, bytes);

    BoxRecorder boxes;
    gatherUnusedTextureCaches();
    loadTexture("font.png", archive);
    loadTexture("Wall.png", archive);
    reportUnusedTextureCaches();
    EXPECT_TRUE(boxes.boxes.empty()); // no cache yet: nothing to tell
    deleteAllTextures();
    for (const char* name : {"/FONT.UNC", "/WALL.UNC"})
        ASSERT_TRUE(std::filesystem::exists(textureState.cacheFolder + name)) << name;
    EXPECT_FALSE(std::filesystem::exists(folder.file("FONT.UNC")));

    // The archive is made anew (touched): both cache files are older than it.
    std::filesystem::last_write_time(archive, std::filesystem::file_time_type::clock::now() +
                                                  std::chrono::hours(1));
    gatherUnusedTextureCaches();
    loadTexture("font.png", archive);
    loadTexture("Wall.png", archive);
    EXPECT_TRUE(boxes.boxes.empty());
    reportUnusedTextureCaches();
    ASSERT_EQ(boxes.boxes.size(), 1u);
    const std::string cache = textureState.cacheFolder;
    const std::string older = "\") : It is older than \"" + archive + "\", which holds the image.";
    EXPECT_EQ(boxes.boxes[0].caption, "ATTENTION !");
    EXPECT_EQ(boxes.boxes[0].text,
              "These texture cache files are not used !\n\n- \"" + cache +
                  "/FONT.UNC\" (of "
                  "\"font.png" +
                  older + "\n- \"" + cache + "/WALL.UNC\" (of \"Wall.png" + older +
                  "\n\nTheir textures are decoded from their images instead and the cache "
                  "files are made again.");
}

TEST_F(Textures, FilteringFollowsTheSettingAndTheOptions) {
    ASSERT_TRUE(writePng(folder.file("A.PNG"), 16, 16, kGreen));
    ASSERT_TRUE(writePng(folder.file("B.PNG"), 16, 16, kGreen));
    ASSERT_TRUE(writePng(folder.file("C.PNG"), 16, 16, kGreen));
    ASSERT_TRUE(writePng(folder.file("D.PNG"), 16, 16, kGreen));

    textureState.quality.filtering = 0;
    textureState.quality.anisotropy = 4.0f;
    glBindTexture(GL_TEXTURE_2D, recordAt(loadTexture("a.png", "")).glName);
    EXPECT_EQ(textureParameter(GL_TEXTURE_MIN_FILTER), GL_LINEAR);
    EXPECT_EQ(textureParameter(GL_GENERATE_MIPMAP_SGIS), 0);
    EXPECT_EQ(textureParameter(GL_TEXTURE_WRAP_S), GL_REPEAT);
    EXPECT_EQ(textureParameter(GL_TEXTURE_MAX_ANISOTROPY_EXT), 1);
    EXPECT_EQ(levelParameter(0, GL_TEXTURE_INTERNAL_FORMAT), GL_RGBA8);
    EXPECT_EQ(textureState.quality.filtering, 0);

    textureState.options = {false, false, true, true, false};
    glBindTexture(GL_TEXTURE_2D, recordAt(loadTexture("b.png", "")).glName);
    EXPECT_EQ(textureParameter(GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_LINEAR);
    EXPECT_EQ(textureParameter(GL_TEXTURE_MAG_FILTER), GL_LINEAR);
    EXPECT_EQ(textureParameter(GL_GENERATE_MIPMAP_SGIS), 1);
    EXPECT_EQ(levelParameter(4, GL_TEXTURE_WIDTH), 1) << "the mipmap chain is built";
    EXPECT_EQ(textureParameter(GL_TEXTURE_WRAP_T), GL_CLAMP_TO_EDGE);
    EXPECT_EQ(textureParameter(GL_TEXTURE_MAX_ANISOTROPY_EXT), 4);

    textureState.quality.filtering = 1;
    textureState.quality.colourDepth = 16;
    glBindTexture(GL_TEXTURE_2D, recordAt(loadTexture("c.png", "")).glName);
    EXPECT_EQ(textureParameter(GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_NEAREST);
    EXPECT_EQ(levelParameter(0, GL_TEXTURE_INTERNAL_FORMAT), GL_RGBA4);

    textureState.quality.filtering = 7;
    glBindTexture(GL_TEXTURE_2D, recordAt(loadTexture("d.png", "")).glName);
    EXPECT_EQ(levelParameter(0, GL_TEXTURE_WIDTH), 0) << "an unknown filtering uploads nothing";
    EXPECT_EQ(textureState.glTextureCount, 4);
}

TEST(TextureFiltering, OneLevelMinificationOnlyLightensTrilinear) {
    struct Case {
        int32_t filtering;
        bool oneLevel;
        GLenum filter;
    };
    const Case cases[] = {
        {0, false, GL_LINEAR_MIPMAP_LINEAR},
        {0, true, GL_LINEAR_MIPMAP_NEAREST},
        {1, false, GL_LINEAR_MIPMAP_NEAREST},
        {1, true, GL_LINEAR_MIPMAP_NEAREST},
        {2, false, GL_LINEAR},
        {2, true, GL_LINEAR},
    };
    for (const Case& c : cases)
        EXPECT_EQ(minifyingFilter(c.filtering, c.oneLevel), c.filter)
            << "filtering " << c.filtering << ", one level " << c.oneLevel;
}

TEST_F(Textures, OneLevelMinificationSwitchesTheMipmappedTexturesAndBack) {
    ASSERT_TRUE(writePng(folder.file("A.PNG"), 16, 16, kGreen));
    ASSERT_TRUE(writePng(folder.file("B.PNG"), 16, 16, kGreen));
    ASSERT_TRUE(writePng(folder.file("C.PNG"), 16, 16, kGreen));
    textureState.quality.filtering = 0;
    GLuint plain = recordAt(loadTexture("a.png", "")).glName; // no mipmaps by default
    textureState.options.noMipmaps = false;
    GLuint mipmapped = recordAt(loadTexture("b.png", "")).glName;

    struct Step {
        bool oneLevel;
        GLint mipmappedFilter;
    };
    const Step steps[] = {{true, GL_LINEAR_MIPMAP_NEAREST},
                          {true, GL_LINEAR_MIPMAP_NEAREST},
                          {false, GL_LINEAR_MIPMAP_LINEAR}};
    for (const Step& step : steps) {
        setOneLevelMinification(step.oneLevel);
        glBindTexture(GL_TEXTURE_2D, mipmapped);
        EXPECT_EQ(textureParameter(GL_TEXTURE_MIN_FILTER), step.mipmappedFilter);
        glBindTexture(GL_TEXTURE_2D, plain);
        EXPECT_EQ(textureParameter(GL_TEXTURE_MIN_FILTER), GL_LINEAR) << "no levels to choose";
    }
    setOneLevelMinification(true);
    glBindTexture(GL_TEXTURE_2D, recordAt(loadTexture("c.png", "")).glName);
    EXPECT_EQ(textureParameter(GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_NEAREST)
        << "a texture loaded meanwhile follows";
    setOneLevelMinification(false);
}

TEST_F(Textures, CompressedUploadWhenAsked) {
    ASSERT_TRUE(writePng(folder.file("S3TC.PNG"), 8, 8, kGreen));
    textureState.options.noCompression = false;
    textureState.quality.compression = 2;
    glBindTexture(GL_TEXTURE_2D, recordAt(loadTexture("s3tc.png", "")).glName);
    EXPECT_EQ(levelParameter(0, GL_TEXTURE_INTERNAL_FORMAT), GL_COMPRESSED_RGBA_S3TC_DXT5_EXT);
}

TEST_F(Textures, DeletionMovesTheLastRecord) {
    createTexture("first", 4, 4, nullptr);
    std::vector<uint8_t> pixels = imagePixels(8, 8, kGreen);
    createTexture("Second", 8, 8, pixels.data());
    createTexture("THIRD", 2, 2, nullptr);
    EXPECT_EQ(createTexture("third", 2, 2, nullptr), 2);
    deleteTexture(0);
    ASSERT_EQ(textureState.count, 2);
    EXPECT_EQ(recordAt(0).name, "THIRD");
    EXPECT_EQ(recordAt(1).name, "SECOND");
    EXPECT_EQ(textureState.glTextureCount, 2);
    deleteTexture(-1);
    deleteTexture(2);
    deleteTexture(-7);
    EXPECT_EQ(textureState.count, 2) << "indices outside the table are ignored";
    deleteTextureByName("second");
    deleteTextureByName("missing");
    ASSERT_EQ(textureState.count, 1);
    EXPECT_EQ(recordAt(0).name, "THIRD");
}

TEST_F(Textures, DeletingMoreNamesThanMadeShowsANoticeAndStillDeletes) {
    BoxRecorder boxes;
    uint32_t names[2];
    glGenTextures(2, names);
    glBindTexture(GL_TEXTURE_2D, names[0]);
    glBindTexture(GL_TEXTURE_2D, names[1]);
    glBindTexture(GL_TEXTURE_2D, 0);
    deleteTextureNames(1, &names[0]);
    deleteTextureNames(1, &names[1]);
    ASSERT_EQ(boxes.boxes.size(), 2u);
    EXPECT_EQ(boxes.boxes[0].caption, "INTERNAL ERROR");
    EXPECT_EQ(boxes.boxes[0].text,
              "glDeleteTextures was called but there are no more textures loaded !");
    EXPECT_FALSE(glIsTexture(names[0]));
    EXPECT_FALSE(glIsTexture(names[1]));
    textureState.glTextureCount = 0;
}

TEST_F(Textures, SidesAreCheckedBeforeUpload) {
    GLint maximum = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maximum);
    ASSERT_TRUE(writePng(folder.file("WIDE.PNG"), 512, 256, kGreen));
    ASSERT_TRUE(writePng(folder.file("ODD.PNG"), 300, 256, kGreen));
    packIntoBigfile(folder.file("Film_03.dat"), "odd.png", readWholeFile(folder.file("ODD.PNG")));
    ASSERT_TRUE(writePng(folder.file("HUGE.PNG"), maximum + 1, 2, kGreen));
    EXPECT_GE(loadTexture("wide.png", ""), 0);
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(loadTexture("odd.png", "Film_03.dat"), testing::ExitedWithCode(1),
                fatalPattern("ATTENTION !", "Invalid texture found !\n\nODD.PNG in Bigfile "
                                            "FILM_03.DAT has not a power of 2 dimension !"));
    std::string side = std::to_string(maximum);
    std::string tooLarge =
        fatalPattern("HARDWARE ACCELERATION ERROR",
                     "Your video card does not support texture sizes higher "
                     "than " +
                         side + " x " + side + " !\n\nPlease get a better video card !");
    EXPECT_EXIT(loadTexture("huge.png", ""), testing::ExitedWithCode(1), tooLarge);
    EXPECT_EXIT(createTexture("target", 4, maximum + 1, nullptr), testing::ExitedWithCode(1),
                tooLarge);
}

TEST_F(Textures, NormalisationCubeMap) {
    buildNormalisationCubeMap();
    buildNormalisationCubeMap();
    EXPECT_EQ(textureState.glTextureCount, 1) << "a rebuild replaces the cube map";
    glBindTexture(GL_TEXTURE_CUBE_MAP_ARB, textureState.normalisationCubeMap);
    std::vector<uint8_t> face(128 * 128 * 3);
    glGetTexImage(GL_TEXTURE_CUBE_MAP_POSITIVE_X_ARB, 0, GL_RGB, GL_UNSIGNED_BYTE, face.data());
    EXPECT_EQ(std::vector<uint8_t>(face.begin(), face.begin() + 3),
              (std::vector<uint8_t>{201, 200, 200}));
    // -Z, last row, last column: (63.5 - 127, 63.5 - 127, -64) normalised.
    glGetTexImage(GL_TEXTURE_CUBE_MAP_NEGATIVE_Z_ARB, 0, GL_RGB, GL_UNSIGNED_BYTE, face.data());
    EXPECT_EQ(std::vector<uint8_t>(face.end() - 3, face.end()), (std::vector<uint8_t>{54, 54, 53}));
    GLint filter = 0;
    glGetTexParameteriv(GL_TEXTURE_CUBE_MAP_ARB, GL_TEXTURE_WRAP_R, &filter);
    EXPECT_EQ(filter, GL_CLAMP_TO_EDGE);
}

} // namespace
