// The sequences' timing: which part is drawn at a scene time, the fades and titles, the logo
// fades and the blur of the second scene, the end screen's change of image, the loop ends and
// the clock taken from the music after a pause.
#include "app/scene_timeline.h"

#include <gtest/gtest.h>

TEST(FirstSceneTimeline, ThreeDUpToFortyFiveSecondsThenTheTitle) {
    EXPECT_TRUE(firstSceneDraws3D(0));
    EXPECT_TRUE(firstSceneDraws3D(45000));
    EXPECT_FALSE(firstSceneDraws3D(45001));
    // The fade to texture 20 covers the last second of the 3D part and ends opaque.
    float alpha = -1.0f;
    EXPECT_FALSE(firstSceneFadeOut(44000, alpha));
    EXPECT_EQ(alpha, -1.0f);
    ASSERT_TRUE(firstSceneFadeOut(44001, alpha));
    EXPECT_NEAR(alpha, 0.001f, 1e-6f);
    ASSERT_TRUE(firstSceneFadeOut(44500, alpha));
    EXPECT_NEAR(alpha, 0.5f, 1e-6f);
    ASSERT_TRUE(firstSceneFadeOut(45000, alpha));
    EXPECT_FLOAT_EQ(alpha, 1.0f);
}

TEST(FirstSceneTimeline, PresentsFadesInAndOut) {
    EXPECT_NEAR(presentsBrightness(45001), 0.001f, 1e-6f);
    EXPECT_NEAR(presentsBrightness(45500), 0.5f, 1e-6f);
    EXPECT_FLOAT_EQ(presentsBrightness(46000), 1.0f);
    EXPECT_FLOAT_EQ(presentsBrightness(47000), 1.0f);
    EXPECT_FLOAT_EQ(presentsBrightness(49000), 1.0f);
    EXPECT_NEAR(presentsBrightness(49250), 0.75f, 1e-6f);
    EXPECT_NEAR(presentsBrightness(50000), 0.0f, 1e-6f);
}

TEST(FirstSceneTimeline, FlaresTurnOnceInFiveSecondsAndTheLoopEnds) {
    EXPECT_FLOAT_EQ(flareAngle(0), 0.0f);
    EXPECT_NEAR(flareAngle(5000), 360.0f, 1e-3f);
    EXPECT_NEAR(flareAngle(44000), 3168.0f, 1e-2f);
    EXPECT_TRUE(firstSceneContinues(true, false, 50000));
    EXPECT_FALSE(firstSceneContinues(true, false, 50001));
    EXPECT_FALSE(firstSceneContinues(true, true, 100)); // Escape: the skip flag
    EXPECT_FALSE(firstSceneContinues(false, false, 100));
}

TEST(SecondSceneTimeline, LogoFades) {
    // Logo A: full until 40 s, 0.1 darker per second, black after 50 s.
    EXPECT_FLOAT_EQ(logoABrightness(0), 1.0f);
    EXPECT_FLOAT_EQ(logoABrightness(40000), 1.0f);
    EXPECT_NEAR(logoABrightness(40001), 0.9999f, 1e-6f);
    EXPECT_NEAR(logoABrightness(45000), 0.5f, 1e-6f);
    EXPECT_NEAR(logoABrightness(50000), 0.0f, 1e-6f);
    EXPECT_EQ(logoABrightness(50001), 0.0f);
    EXPECT_EQ(logoABrightness(60000), 0.0f);
    // Logo B: alpha 0.7 until 43 s, out by 46 s.
    EXPECT_FLOAT_EQ(logoBAlpha(43000), 0.7f);
    EXPECT_NEAR(logoBAlpha(44500), 0.35f, 1e-4f);
    EXPECT_NEAR(logoBAlpha(45999), 0.0f, 1e-3f);
    EXPECT_GT(logoBAlpha(45999), 0.0f);
    EXPECT_EQ(logoBAlpha(46000), 0.0f);
    EXPECT_EQ(logoBAlpha(59000), 0.0f);
}

TEST(SecondSceneTimeline, BlurRisesToItsLimitAtFortyFiveSeconds) {
    EXPECT_FLOAT_EQ(blurIntensity(0), 0.5f);
    EXPECT_NEAR(blurIntensity(22500), 0.55f, 1e-5f);
    EXPECT_NEAR(blurIntensity(45000), 0.6f, 1e-5f);
    EXPECT_FLOAT_EQ(blurIntensity(45001), 0.6f);
    EXPECT_FLOAT_EQ(blurIntensity(65000), 0.6f);
}

TEST(SecondSceneTimeline, FadesTitleAndEnd) {
    float alpha = -1.0f;
    ASSERT_TRUE(secondSceneFadeIn(0, alpha));
    EXPECT_FLOAT_EQ(alpha, 1.0f);
    ASSERT_TRUE(secondSceneFadeIn(1500, alpha));
    EXPECT_NEAR(alpha, 0.5f, 1e-5f);
    ASSERT_TRUE(secondSceneFadeIn(2999, alpha));
    EXPECT_NEAR(alpha, 0.000333f, 1e-5f);
    EXPECT_FALSE(secondSceneFadeIn(3000, alpha));
    EXPECT_FALSE(secondSceneFadeOut(59000, alpha));
    ASSERT_TRUE(secondSceneFadeOut(60000, alpha));
    EXPECT_FLOAT_EQ(alpha, 1.0f);

    EXPECT_TRUE(secondSceneDraws3D(60000));
    EXPECT_FALSE(secondSceneDraws3D(60001));
    EXPECT_NEAR(poweredByBrightness(60001), 0.001f, 1e-6f);
    EXPECT_FLOAT_EQ(poweredByBrightness(62000), 1.0f);
    EXPECT_NEAR(poweredByBrightness(64500), 0.5f, 1e-6f);
    EXPECT_NEAR(poweredByBrightness(65000), 0.0f, 1e-6f);
    EXPECT_TRUE(secondSceneContinues(true, false, 65000));
    EXPECT_FALSE(secondSceneContinues(true, false, 65001));
    EXPECT_FALSE(secondSceneContinues(true, true, 10));
    EXPECT_FALSE(secondSceneContinues(false, false, 10));
}

TEST(EndScreenTimeline, ImagesChangeBetweenEightSecondsAndTheNextMillisecond) {
    EXPECT_FLOAT_EQ(engineLogoBrightness(0), 0.0f);
    EXPECT_FLOAT_EQ(engineLogoBrightness(1000), 0.5f);
    EXPECT_FLOAT_EQ(engineLogoBrightness(2000), 1.0f);
    EXPECT_FLOAT_EQ(engineLogoBrightness(4000), 1.0f);
    EXPECT_NEAR(engineLogoBrightness(7500), 0.5f, 1e-6f);
    EXPECT_TRUE(endScreenShowsLogo(8000));
    EXPECT_NEAR(engineLogoBrightness(8000), 0.0f, 1e-6f);
    EXPECT_FALSE(endScreenShowsLogo(8001));
    EXPECT_NEAR(comingSoonBrightness(8001), 0.001f, 1e-6f);
    EXPECT_FLOAT_EQ(comingSoonBrightness(15000), 1.0f);
    EXPECT_NEAR(comingSoonBrightness(19500), 0.5f, 1e-6f);
    EXPECT_NEAR(comingSoonBrightness(19999), 0.001f, 1e-5f);
    EXPECT_TRUE(endScreenContinues(true, false, 19999));
    EXPECT_FALSE(endScreenContinues(true, false, 20000));
    EXPECT_FALSE(endScreenContinues(true, true, 5));
}

TEST(SceneResynchronisation, StreamPositionLessTheSceneOffset) {
    EXPECT_EQ(resynchronisedSceneTime(12345, 0), 12345u);
    EXPECT_EQ(resynchronisedSceneTime(62000, kSecondSceneMusicOffsetMs), 12000u);
    EXPECT_EQ(resynchronisedSceneTime(50000, kSecondSceneMusicOffsetMs), 0u);
    // A stream not yet at the scene's start does not wrap the clock past the scene's end.
    EXPECT_EQ(resynchronisedSceneTime(4000, kSecondSceneMusicOffsetMs), 0u);
    EXPECT_EQ(resynchronisedSceneTime(-1, 0), 0u);
}
