#include <filesystem>

#include <gtest/gtest.h>

#include "encode/conversion_driver.h"
#include "encode/output_writer.h"
#include "tests/support/picture_files.h"
#include "tests/support/temp_dir.h"

namespace swivio {
namespace {

class SolidFrames : public RecordedFrames {
public:
    SolidFrames(int count, std::vector<uint32_t> colors) : m_count(count), m_colors(colors) {}
    bool advance() override { return m_read < m_count ? (++m_read, true) : false; }
    bool decodeInto(Frame& frame) override {
        frame = Frame(16, 8);
        frame.fill(m_colors[std::size_t(m_read - 1) % m_colors.size()]);
        return true;
    }

private:
    int m_count;
    int m_read = 0;
    std::vector<uint32_t> m_colors;
};

ConversionJob pictureJob(const std::string& folder, ImageType type) {
    ConversionJob job;
    job.settings.convertType = OutputType::ImageSeries;
    job.settings.imageType = type;
    job.settings.outputFolder = folder;
    job.settings.sourcePath = "/movies/intro.final.swf";
    job.settings.movieFrameRate = 10;
    job.settings.imageFrameRate = 20;
    job.settings.audioSource = AudioSource::None;
    job.frameCount = 3;
    job.geometry.outputWidth = 16;
    job.geometry.outputHeight = 8;
    job.geometry.contentWidth = 16;
    job.geometry.contentHeight = 8;
    return job;
}

class AnimatedGifConversion : public testing::TestWithParam<GifPalette> {};

TEST_P(AnimatedGifConversion, ShowsEveryRecordAtTheOutputRate) {
    testkit::TempDir dir;
    const uint32_t red = makeColor(255, 0, 0), white = makeColor(255, 255, 255);
    ConversionJob job = pictureJob(dir.path().string(), ImageType::AnimatedGif);
    job.settings.gifPalette = GetParam();
    ConversionDriver driver(job);
    SolidFrames frames(3, {red, white});
    const ConversionResult result = driver.run(frames);
    ASSERT_EQ(result.outcome, ConversionResult::Outcome::Completed) << result.message;
    const auto gif = testkit::readGifFile(dir.file("intro.final.gif"));
    ASSERT_TRUE(gif.ok) << gif.error;
    ASSERT_EQ(gif.images.size(), 6u); // 10 to 20 fps doubles every record
    const auto shown = testkit::composeGifFrames(gif);
    const uint32_t expected[] = {red, red, white, white, red, red};
    for (std::size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(gif.images[i].delay, 5); // 20 frames per second
        for (uint32_t pixel : shown[i].pixels)
            ASSERT_EQ(pixel, expected[i]) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Palettes, AnimatedGifConversion,
                         testing::Values(GifPalette::Standard, GifPalette::Adaptive));

TEST(OutputWriter, PictureSeriesOfAWholeConversion) {
    testkit::TempDir dir;
    ConversionDriver driver(pictureJob(dir.path().string(), ImageType::Png));
    SolidFrames frames(3, {makeColor(1, 2, 3)});
    ASSERT_EQ(driver.run(frames).outcome, ConversionResult::Outcome::Completed);
    for (int i = 0; i < 6; ++i) {
        const auto png = testkit::readPngFile(dir.file(std::to_string(i) + ".png"));
        ASSERT_TRUE(png.ok) << i;
        EXPECT_EQ(png.at(15, 7), makeColor(1, 2, 3));
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("6.png")));
}

TEST(OutputWriter, AnimatedGifThatCannotBeCreatedRunsToTheEnd) {
    testkit::TempDir dir;
    ConversionDriver driver(pictureJob(dir.file("no/such/folder"), ImageType::AnimatedGif));
    SolidFrames frames(3, {0});
    const ConversionResult result = driver.run(frames);
    EXPECT_EQ(result.framesWritten, 6);
    EXPECT_EQ(result.outcome, ConversionResult::Outcome::Failed);
    EXPECT_NE(result.message.find("intro.final.gif"), std::string::npos);
}

TEST(OutputWriter, EveryPictureTypeHasAWriter) {
    for (ImageType type : {ImageType::Bmp, ImageType::Png, ImageType::Jpeg, ImageType::Gif,
                           ImageType::AnimatedGif}) {
        testkit::TempDir dir;
        auto writer = openOutputWriter(pictureJob(dir.path().string(), type));
        ASSERT_TRUE(writer) << int(type);
        EXPECT_TRUE(*writer);
    }
    testkit::TempDir dir;
    ConversionJob job = pictureJob(dir.path().string(), ImageType::Bmp);
    job.settings.imageType = static_cast<ImageType>(9);
    EXPECT_FALSE(openOutputWriter(job));
}

} // namespace
} // namespace swivio
