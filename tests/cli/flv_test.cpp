#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/frame.h"
#include "tests/cli/cli_runner.h"
#include "tests/cli/media_probe.h"
#include "tests/support/flv_files.h"
#include "tests/support/temp_dir.h"

namespace swivio::testkit {
namespace {

std::string makeFlv(const TempDir& dir, const FlvRecipe& recipe) {
    const std::string path = dir.file("clip.flv");
    EXPECT_TRUE(writeFlv(path, recipe));
    return path;
}

// Which of the ten grey pictures an output picture shows at its centre; -1 for none.
int pictureShown(const MediaInfo& info, int picture) {
    const int g = colorGreen(pictureColor(info, picture, info.width / 2, info.height / 2));
    for (int i = 0; i < 10; ++i)
        if (std::abs(g - (flvGrey(i) - 16) * 255.0 / 219.0) < 12)
            return i;
    return -1;
}

struct RateCase {
    const char* rate; // nothing: the video's own
    int frames;
    double frameRate;
};

class FlvConvert : public testing::TestWithParam<RateCase> {};

TEST_P(FlvConvert, EveryOutputFrameShowsThePictureOfItsTimeWithTheSound) {
    TempDir dir;
    FlvRecipe recipe;
    recipe.rate = 10;
    recipe.frames = 20;
    recipe.sound = true;
    const std::string movie = makeFlv(dir, recipe);
    std::vector<std::string> args = {"convert", movie, "-o", dir.file("out.avi")};
    if (*GetParam().rate) {
        args.push_back("--rate");
        args.push_back(GetParam().rate);
    }
    const CliRun run = runCli(dir, args);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::vector<int> keep;
    for (int i = 0; i < GetParam().frames; ++i)
        keep.push_back(i);
    const MediaInfo info = probeMedia(dir.file("out.avi"), keep);
    EXPECT_EQ(info.decodedFrames, GetParam().frames);
    EXPECT_NEAR(info.frameRate, GetParam().frameRate, 0.01);
    EXPECT_NEAR(info.audioSeconds, 2.0, 0.05);
    for (int i = 0; i < info.decodedFrames && i < int(info.pictures.size()); ++i) {
        const int source = int(std::floor(i * 10.0 / GetParam().frameRate + 1e-9));
        EXPECT_EQ(pictureShown(info, i), source % 10) << "output frame " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Rates, FlvConvert,
                         testing::Values(RateCase{"", 20, 10.0}, RateCase{"25", 50, 25.0},
                                         RateCase{"5", 10, 5.0}));

TEST(FlvCommands, InfoAndRefusals) {
    TempDir dir;
    FlvRecipe recipe;
    recipe.width = 96;
    recipe.height = 64;
    recipe.rate = 12;
    recipe.frames = 30;
    recipe.sound = true;
    const std::string movie = makeFlv(dir, recipe);
    const CliRun info = runCli(dir, {"info", movie});
    ASSERT_EQ(info.exitCode, 0) << info.err;
    EXPECT_NE(info.out.find("size: 96 x 64 pixels\n"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("frame rate: 12.00\n"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("duration: 2.50 s\n"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("video: FLV / Sorenson Spark"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("audio: PCM signed 16-bit little-endian"), std::string::npos)
        << info.out;
    // A video has no timeline to take a range of.
    const CliRun range = runCli(dir, {"convert", movie, "--frames", "2-5", "-y"});
    EXPECT_NE(range.exitCode, 0);
    // A limit shortens it.
    const CliRun limited =
        runCli(dir, {"convert", movie, "-o", dir.file("short.avi"), "--duration", "1"});
    ASSERT_EQ(limited.exitCode, 0) << limited.err;
    EXPECT_EQ(probeMedia(dir.file("short.avi")).decodedFrames, 12);
    const CliRun frame = runCli(dir, {"frame", movie, "15", dir.file("f.png")});
    EXPECT_EQ(frame.exitCode, 0) << frame.err;
}

TEST(FlvCommands, AVideoWithoutMetadataConvertsWhole) {
    TempDir dir;
    FlvRecipe recipe;
    recipe.frames = 17;
    recipe.metadata = false;
    const std::string movie = makeFlv(dir, recipe);
    const CliRun run = runCli(dir, {"convert", movie, "-o", dir.file("out.avi")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const MediaInfo info = probeMedia(dir.file("out.avi"));
    EXPECT_EQ(info.decodedFrames, 17);
    EXPECT_NEAR(info.frameRate, 10.0, 0.01);
}

} // namespace
} // namespace swivio::testkit
