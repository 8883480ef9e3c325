#include <optional>

#include <gtest/gtest.h>

#include "settings/settings_checks.h"
#include "settings/settings_rules.h"

namespace swivio {
namespace {

// Settings reset for a 200 x 100 movie at 12.5 frames per second.
ConversionSettings settingsFor(OutputType type) {
    ConversionSettings s;
    MovieProperties movie;
    movie.width = 200;
    movie.height = 100;
    movie.frameRate = 12.5f;
    movie.length = 10;
    resetForMovie(s, "/m/a.swf", movie);
    s.convertType = type;
    return s;
}

struct CropCase {
    int x, y, w, h;
    bool ok;
};
class CropRectangles : public testing::TestWithParam<CropCase> {};

TEST_P(CropRectangles, MustLieInsideTheMovie) {
    const CropCase& c = GetParam();
    ConversionSettings s = settingsFor(OutputType::Avi);
    const Status st = setCropRectangle(s, c.x, c.y, c.w, c.h);
    EXPECT_EQ(st.ok(), c.ok) << st.message();
    EXPECT_EQ(s.cropWidth, c.ok ? c.w : 200);
    EXPECT_EQ(s.cropX, c.ok ? c.x : 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, CropRectangles,
                         testing::Values(CropCase{0, 0, 200, 100, true},
                                         CropCase{150, 50, 50, 50, true},
                                         CropCase{151, 0, 50, 10, false},
                                         CropCase{0, 0, 0, 10, false},
                                         CropCase{-1, 0, 10, 10, false},
                                         CropCase{0, 0, 200, 101, false},
                                         // Sums that would overflow int are refused too.
                                         CropCase{2147483600, 0, 100, 10, false}));

struct SizeCase {
    OutputType type;
    std::optional<FrameSize> size;
    bool keepAspect;
    bool ok;
    int width, height; // the AVI size after a success
};
class FrameSizes : public testing::TestWithParam<SizeCase> {};

TEST_P(FrameSizes, FollowTheCropAndThePreset) {
    const SizeCase& c = GetParam();
    ConversionSettings s = settingsFor(c.type);
    ASSERT_TRUE(setCropRectangle(s, 0, 0, 160, 90));
    const Status st = setFrameSize(s, c.size, c.keepAspect);
    ASSERT_EQ(st.ok(), c.ok) << st.message();
    if (c.ok) {
        EXPECT_EQ(s.aviWidth, c.width);
        EXPECT_EQ(s.aviHeight, c.height);
        EXPECT_EQ(s.imageWidth, c.width);
        EXPECT_EQ(s.aviKeepOriginalSize, !c.size);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FrameSizes,
    testing::Values(SizeCase{OutputType::Avi, std::nullopt, false, true, 160, 90},
                    SizeCase{OutputType::Avi, FrameSize{640, 480}, false, true, 640, 480},
                    SizeCase{OutputType::ImageSeries, FrameSize{320, 1}, true, true, 320, 180},
                    SizeCase{OutputType::Avi, FrameSize{3, 100}, false, false, 0, 0},
                    SizeCase{OutputType::Avi, FrameSize{8, 1}, false, false, 0, 0},
                    SizeCase{OutputType::Mpeg, FrameSize{640, 480}, false, false, 0, 0},
                    SizeCase{OutputType::Mpeg, std::nullopt, false, true, 160, 90}));

TEST(SettingsChecks, FrameRateChoices) {
    ConversionSettings s = settingsFor(OutputType::Avi);
    ASSERT_TRUE(setFrameRate(s, std::nullopt, true));
    EXPECT_EQ(s.aviFrameRate, 12.0f); // the movie's rate, whole frames
    ASSERT_TRUE(setFrameRate(s, 29.97f, false));
    EXPECT_EQ(s.imageFrameRate, 29.97f);
    const Status zero = setFrameRate(s, 0.0f, false);
    EXPECT_EQ(zero.message(), kInvalidFrameRateMessage);
    EXPECT_EQ(s.aviFrameRate, 29.97f);
    ConversionSettings mpeg = settingsFor(OutputType::Mpeg);
    EXPECT_FALSE(setFrameRate(mpeg, 30.0f, false));

    ConversionSettings still = settingsFor(OutputType::Avi);
    still.movieFrameRate = 0;
    EXPECT_FALSE(checkMovieForConversion(still));
    EXPECT_TRUE(checkMovieForConversion(settingsFor(OutputType::Avi)));
}

} // namespace
} // namespace swivio
