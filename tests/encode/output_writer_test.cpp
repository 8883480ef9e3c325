#include <filesystem>
#include <set>

#include <gtest/gtest.h>

#include "encode/conversion_driver.h"
#include "encode/image/standard_palette.h"
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

// Every picture a viewer shows of a GIF file.
std::vector<testkit::DecodedPicture> shownPictures(const std::string& path) {
    const auto gif = testkit::readGifFile(path);
    EXPECT_TRUE(gif.ok) << path << ": " << gif.error;
    return testkit::composeGifFrames(gif);
}

// The setting chooses the colours of both kinds of GIF: the adaptive palette reproduces
// the frames' colours exactly, the standard one only has its own 256.
class GifConversion : public testing::TestWithParam<GifPalette> {
protected:
    void expectColor(const testkit::DecodedPicture& picture, uint32_t color) {
        static const std::set<uint32_t> standard(standardPaletteColors().begin(),
                                                 standardPaletteColors().end());
        ASSERT_FALSE(picture.pixels.empty());
        for (uint32_t pixel : picture.pixels) {
            if (GetParam() == GifPalette::Adaptive)
                ASSERT_EQ(pixel, color);
            else
                ASSERT_TRUE(standard.count(pixel)) << std::hex << pixel;
        }
    }
};

TEST_P(GifConversion, AnimatedGifShowsEveryRecordAtTheOutputRate) {
    testkit::TempDir dir;
    const uint32_t brown = makeColor(200, 100, 50), navy = makeColor(17, 34, 51);
    ConversionJob job = pictureJob(dir.path().string(), ImageType::AnimatedGif);
    job.settings.gifPalette = GetParam();
    ConversionDriver driver(job);
    SolidFrames frames(3, {brown, navy});
    const ConversionResult result = driver.run(frames);
    ASSERT_EQ(result.outcome, ConversionResult::Outcome::Completed) << result.message;
    const auto gif = testkit::readGifFile(dir.file("intro.final.gif"));
    ASSERT_EQ(gif.images.size(), 6u); // 10 to 20 fps doubles every record
    const auto shown = shownPictures(dir.file("intro.final.gif"));
    ASSERT_EQ(shown.size(), 6u);
    const uint32_t expected[] = {brown, brown, navy, navy, brown, brown};
    for (std::size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(gif.images[i].delay, 5); // 20 frames per second
        expectColor(shown[i], expected[i]);
    }
}

TEST_P(GifConversion, PictureSeries) {
    testkit::TempDir dir;
    ConversionJob job = pictureJob(dir.path().string(), ImageType::Gif);
    job.settings.gifPalette = GetParam();
    ConversionDriver driver(job);
    SolidFrames frames(3, {makeColor(17, 34, 51)});
    ASSERT_EQ(driver.run(frames).outcome, ConversionResult::Outcome::Completed);
    for (int i = 0; i < 6; ++i) {
        const auto shown = shownPictures(dir.file(std::to_string(i) + ".gif"));
        ASSERT_EQ(shown.size(), 1u) << i;
        expectColor(shown[0], makeColor(17, 34, 51));
    }
}

INSTANTIATE_TEST_SUITE_P(Palettes, GifConversion,
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
