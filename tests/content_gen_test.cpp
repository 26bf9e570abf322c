// The generators behind demotool build-data, where a slip would not show as a broken file:
// normal-map orientation, seamless tiling, scene textures by name, title proportions, the
// peak limiter and the synthesiser's edges.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "tools/font_gen.h"
#include "tools/scene_gen.h"
#include "tools/synth.h"
#include "tools/textures_gen.h"

namespace {

const uint8_t* pixel(const Image& image, int x, int y) {
    return &image.pixels[(size_t(y) * image.width + x) * image.channels];
}

// The renderer lights normal maps in a tangent frame whose first axis runs to the right of the
// image and whose second runs towards its top (texture rows grow downwards).
TEST(NormalMaps, NormalsLeanAwayFromRisingGround) {
    const int size = 64;
    std::vector<float> acrossX(size * size), acrossY(size * size), flat(size * size, 0.5f);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            acrossX[y * size + x] = std::sin(6.2831853f * x / size);
            acrossY[y * size + x] = std::sin(6.2831853f * y / size);
        }
    const Image rightward = normalMapFromHeight(acrossX, size, 8);
    EXPECT_LT(pixel(rightward, 0, 10)[0], 100) << "rising to the right leans left";
    EXPECT_GT(pixel(rightward, size / 2, 10)[0], 156) << "falling to the right leans right";
    EXPECT_NEAR(pixel(rightward, 0, 10)[1], 128, 1);

    const Image downward = normalMapFromHeight(acrossY, size, 8);
    EXPECT_GT(pixel(downward, 10, 0)[1], 156) << "rising towards the bottom leans to the top";
    EXPECT_LT(pixel(downward, 10, size / 2)[1], 100);
    EXPECT_NEAR(pixel(downward, 10, 0)[0], 128, 1);

    const Image level = normalMapFromHeight(flat, size, 8);
    EXPECT_EQ(pixel(level, 5, 5)[0], 128);
    EXPECT_EQ(pixel(level, 5, 5)[1], 128);
    EXPECT_EQ(pixel(level, 5, 5)[2], 255);
}

TEST(SceneTextures, EveryTextureTheSceneNamesHasAGenerator) {
    for (const std::string& name : demoSceneTextureNames()) {
        Image image;
        EXPECT_TRUE(generateSceneTexture(name, image)) << name;
    }
}

TEST(SceneTextures, NamesIgnoreLetterCaseAndNormalMapsArePng) {
    Image image;
    EXPECT_TRUE(generateSceneTexture("pillar_nm.png", image));
    EXPECT_EQ(image.channels, 3);
    EXPECT_TRUE(generateSceneTexture("GLASS.PNG", image));
    EXPECT_EQ(image.channels, 4);
    EXPECT_FALSE(generateSceneTexture("Pillar_NM.jpg", image));
    EXPECT_FALSE(generateSceneTexture("Stone", image));
    EXPECT_FALSE(generateSceneTexture("Marble.jpg", image));
}

// Walls, floors and pillars repeat their texture: the step from the last column to the first
// may be no larger than the largest step between neighbouring columns, and likewise for rows.
TEST(SceneTextures, MaterialsTileWithoutSeams) {
    for (const char* name : {"Stone.jpg", "Tiles.jpg", "Vault.jpg", "Pillar.jpg", "Arch.jpg",
                             "Metal.jpg", "Glass.png", "Pillar_NM.PNG"}) {
        Image image;
        ASSERT_TRUE(generateSceneTexture(name, image)) << name;
        const int size = image.width;
        auto columnStep = [&](int a, int b) {
            double sum = 0;
            for (int y = 0; y < size; ++y)
                for (int c = 0; c < 3; ++c)
                    sum += std::abs(pixel(image, a, y)[c] - pixel(image, b, y)[c]);
            return sum / size;
        };
        auto rowStep = [&](int a, int b) {
            double sum = 0;
            for (int x = 0; x < size; ++x)
                for (int c = 0; c < 3; ++c)
                    sum += std::abs(pixel(image, x, a)[c] - pixel(image, x, b)[c]);
            return sum / size;
        };
        double columns = 0, rows = 0; // the largest step inside the image
        for (int i = 0; i + 1 < size; ++i)
            columns = std::max(columns, columnStep(i, i + 1)),
            rows = std::max(rows, rowStep(i, i + 1));
        EXPECT_LE(columnStep(size - 1, 0), columns * 1.05 + 2) << name << ": seam between columns";
        EXPECT_LE(rowStep(size - 1, 0), rows * 1.05 + 2) << name << ": seam between rows";
    }
}

// The star particles are drawn additively, a few dozen of them over the logo at once, each
// as large as a letter: a star keeps its light in a small hot point, or the shower adds up to
// a white blob over the letters.
TEST(Flares, StarsKeepTheirLightInAPoint) {
    int stars = 0;
    for (const NamedImage& image : generateInterfaceImages()) {
        const std::string& name = image.name;
        if (name.rfind("Flare1", 0) != 0 || name == "Flare10.png") continue;
        SCOPED_TRACE(name);
        ++stars;
        const Image& star = image.image;
        const uint8_t* centre = pixel(star, star.width / 2, star.height / 2);
        for (int c = 0; c < 3; ++c) EXPECT_GE(centre[c], 200);
        double sum = 0;
        for (size_t i = 0; i < star.pixels.size(); ++i) sum += star.pixels[i];
        EXPECT_LT(sum / double(star.pixels.size()), 4.0) << "mean brightness";
    }
    EXPECT_EQ(stars, 6);
}

// The scenes draw the titles as quads of fixed proportions: "presents" and "powered by" at
// 1.2 x 0.3 screen heights, the coming-soon image at 1.2 x 1.2, the engine logo at 2 x 2.
TEST(Titles, ImagesHaveTheProportionsOfTheirQuads) {
    for (const NamedImage& title : generateTitleImages()) {
        const double ratio = double(title.image.width) / title.image.height;
        if (title.name == "Presents.png" || title.name == "PoweredBy.png")
            EXPECT_DOUBLE_EQ(ratio, 4.0) << title.name;
        else
            EXPECT_DOUBLE_EQ(ratio, 1.0) << title.name;
    }
}

// ---------------------------------------------------------------------------------------------
// Sound

TEST(Limiter, HoldsPeaksDownAndLeavesQuietPassagesAlone) {
    StereoBuffer buffer = makeStereoBuffer(1.0);
    const size_t frames = buffer.frames();
    for (size_t i = 0; i < frames; ++i)
        buffer.left[i] = buffer.right[i] = 0.1f * std::sin(i * 0.05f);
    // Spikes at the very first and last sample and one early inside.
    for (size_t spike : {size_t(0), size_t(8820), frames - 1}) buffer.left[spike] = 1.0f;
    buffer.right[8821] = -0.9f;
    const StereoBuffer original = buffer;
    limitPeaks(buffer, 0.5f, 0.005, 0.1);
    EXPECT_LE(peakLevel(buffer), 0.5f + 1e-6f);
    for (size_t i = 22050; i < 39690; ++i) {
        ASSERT_FLOAT_EQ(buffer.left[i], original.left[i]) << i;
        ASSERT_FLOAT_EQ(buffer.right[i], original.right[i]) << i;
    }
}

TEST(Synth, EveryInstrumentSoundsAndStaysFinite) {
    for (int kind = int(Instrument::Kick); kind <= int(Instrument::Bell); ++kind) {
        Score score;
        score.seconds = 1.5;
        Note note;
        note.instrument = Instrument(kind);
        note.start = 0.1;
        note.length = 0.5;
        note.pitch = 57;
        note.brightness = 1.0f;
        note.echo = 0.5f;
        score.notes.push_back(note);
        const StereoBuffer sound = renderScore(score);
        bool finite = true;
        for (size_t i = 0; i < sound.frames(); ++i)
            finite = finite && std::isfinite(sound.left[i]) && std::isfinite(sound.right[i]);
        EXPECT_TRUE(finite) << "instrument " << kind;
        EXPECT_GT(peakLevel(sound), 0.01f) << "instrument " << kind;
        EXPECT_LT(peakLevel(sound), 4.0f) << "instrument " << kind;
    }
}

TEST(Synth, NotesAtTheEdgesOfTheScoreAreCutNotOverrun) {
    Score score;
    score.seconds = 0.5;
    score.fadeStart = 0.3;
    score.fadeEnd = 0.45;
    for (double start : {-0.2, 0.0, 0.49, 0.5, 3.0}) {
        Note note;
        note.instrument = Instrument::Pad;
        note.start = start;
        note.length = 2.0;
        note.reverb = 1.0f;
        note.echo = 1.0f;
        score.notes.push_back(note);
    }
    const StereoBuffer sound = renderScore(score);
    EXPECT_EQ(sound.frames(), 22050u);
    EXPECT_GT(peakLevel(sound), 0.0f);
    for (size_t i = size_t(0.45 * 44100) + 1; i < sound.frames(); ++i)
        ASSERT_EQ(sound.left[i], 0.0f) << "after the fade";
}

} // namespace
