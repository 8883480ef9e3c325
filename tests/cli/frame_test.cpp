#include <gtest/gtest.h>

#include "tests/cli/cli_runner.h"
#include "tests/support/picture_files.h"
#include "tests/support/swf_movies.h"
#include "tests/support/swf_shapes.h"
#include "tests/support/swf_writer.h"
#include "tests/support/temp_dir.h"

namespace swivio::testkit {
namespace {

// A 100 x 50 movie on a blue background whose red 20 x 20 square moves 40 pixels to the
// right on the second frame.
std::string writeMovingSquare(const TempDir& dir) {
    SwfWriter w;
    w.xMax = 100 * 20;
    w.yMax = 50 * 20;
    w.frameCount = 2;
    w.backgroundColor(0, 0, 0xFF);
    w.tag(TagCode::DefineShape3, rectangleShape(1, 0, 0, 400, 400, 0xFF, 0, 0));
    place(w, Place().at(1).of(1).translate(10 * 20, 10 * 20));
    w.showFrame();
    place(w, Place().at(1).moving().translate(50 * 20, 10 * 20));
    w.showFrame().end();
    const std::string path = dir.file("moving.swf");
    EXPECT_TRUE(w.writeFile(path));
    return path;
}

TEST(FrameCommand, RendersTheFrameAfterPlayingNFramesAtAnySize) {
    TempDir dir;
    const std::string movie = writeMovingSquare(dir);
    constexpr uint32_t kRed = 0x0000FF, kBlue = 0xFF0000;

    ASSERT_EQ(runCli(dir, {"frame", movie, "1", dir.file("one.png")}).exitCode, 0);
    const DecodedPicture one = readPngFile(dir.file("one.png"));
    ASSERT_TRUE(one.ok) << one.error;
    EXPECT_EQ(one.width, 100);
    EXPECT_EQ(one.height, 50);
    EXPECT_EQ(one.at(20, 20), kRed);
    EXPECT_EQ(one.at(60, 20), kBlue);

    const CliRun two = runCli(dir, {"frame", movie, "2", dir.file("two.png"), "--size", "200x100"});
    ASSERT_EQ(two.exitCode, 0) << two.err;
    const DecodedPicture big = readPngFile(dir.file("two.png"));
    ASSERT_TRUE(big.ok) << big.error;
    EXPECT_EQ(big.width, 200);
    EXPECT_EQ(big.height, 100);
    EXPECT_EQ(big.at(40, 40), kBlue);
    EXPECT_EQ(big.at(120, 40), kRed);
}

// The picture's type follows its name: the bytes are what the extension says, read back by
// the reference libraries.
TEST(FrameCommand, WritesThePictureTypeItsNameAsksFor) {
    TempDir dir;
    const std::string movie = writeMovingSquare(dir);
    for (const std::string name : {"o.JPG", "o.jpeg", "o.gif", "o.bmp", "o.png"}) {
        const CliRun run = runCli(dir, {"frame", movie, "1", dir.file(name), "-y"});
        ASSERT_EQ(run.exitCode, 0) << name << ": " << run.err;
        const std::vector<uint8_t> bytes = readFileBytes(dir.file(name));
        ASSERT_GE(bytes.size(), 4u) << name;
        if (name.ends_with("JPG") || name.ends_with("jpeg")) {
            const DecodedPicture jpeg = readJpegFile(dir.file(name));
            ASSERT_TRUE(jpeg.ok) << name << ": " << jpeg.error;
            EXPECT_EQ(jpeg.width, 100);
        } else if (name.ends_with("gif")) {
            const DecodedGif gif = readGifFile(dir.file(name));
            ASSERT_TRUE(gif.ok) << gif.error;
            EXPECT_EQ(gif.screenWidth, 100);
        } else if (name.ends_with("bmp")) {
            EXPECT_EQ(bytes[0], 'B');
            EXPECT_EQ(bytes[1], 'M');
        } else {
            EXPECT_TRUE(readPngFile(dir.file(name)).ok);
        }
    }
    const CliRun version = runCli(dir, {"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out.rfind("swivio-cli ", 0), 0u) << version.out;
}

TEST(FrameCommand, RefusesBadArguments) {
    TempDir dir;
    const std::string movie = writeMovingSquare(dir);
    writeBytes(dir.file("junk.swf"), {'C', 'W', 'S', 9, 99, 0, 0, 0, 1, 2, 3});
    const std::vector<std::vector<std::string>> cases = {
        {"frame", movie, "0", dir.file("a.png")},
        {"frame", movie, "x", dir.file("a.png")},
        {"frame", movie, "1", dir.file("a.png"), "--size", "10"},
        {"frame", movie, "1", dir.file("no/such/folder/a.png")},
        {"frame", dir.file("junk.swf"), "1", dir.file("a.png")},
        {"frame", movie},
    };
    for (const auto& args : cases) {
        const CliRun run = runCli(dir, args);
        EXPECT_EQ(run.exitCode, 1) << args.back();
        EXPECT_FALSE(run.err.empty()) << args.back();
    }
}

} // namespace
} // namespace swivio::testkit
