#include <cstdlib>
#include <utility>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/cli/cli_runner.h"
#include "tests/support/swf_writer.h"
#include "tests/support/temp_dir.h"

namespace {

using swivio::testkit::Compression;
using swivio::testkit::SwfWriter;
using swivio::testkit::TempDir;

using swivio::testkit::CliRun;
using swivio::testkit::runCli;

TEST(InfoCommandTest, PrintsHeaderFacts) {
    TempDir dir;
    SwfWriter w;
    w.compression = Compression::Zlib;
    w.version = 9;
    w.xMax = 6400;
    w.yMax = 4800;
    w.frameRate88 = 0x1D80;
    w.frameCount = 240;
    w.showFrame().end();
    const std::string movie = dir.file("my movie.swf");
    ASSERT_TRUE(w.writeFile(movie));
    const CliRun run = runCli(dir, {"info", movie});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "signature: CWS\n"
                       "version: 9\n"
                       "size: 320 x 240 pixels\n"
                       "frame rate: 29.50\n"
                       "frame count: 240\n");
    EXPECT_EQ(run.err, "");
}

TEST(InfoCommandTest, InvalidMovieIsReportedOnStandardError) {
    TempDir dir;
    SwfWriter w;
    w.declaredLengthOverride = 20;
    const std::string movie = dir.file("short.swf");
    ASSERT_TRUE(w.writeFile(movie));
    for (const std::string& path : {movie, dir.file("missing.swf")}) {
        const CliRun run = runCli(dir, {"info", path});
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err.rfind("This is not a valid Adobe flash movie file! (", 0), 0u) << run.err;
        EXPECT_NE(run.err.find(path), std::string::npos) << run.err;
    }
}

// info, frame and convert read a movie the same way: a damaged file is accepted by all of
// them or refused by all of them.
TEST(InfoCommandTest, AgreesWithFrameOnDamagedMovies) {
    TempDir dir;
    SwfWriter w;
    w.compression = Compression::Zlib;
    w.xMax = 200;
    w.yMax = 200;
    w.showFrame().showFrame().end();
    const std::vector<uint8_t> whole = w.build();
    std::vector<uint8_t> badChecksum = whole;
    badChecksum.back() ^= 0xFF;
    std::vector<uint8_t> cutShort(whole.begin(), whole.end() - 6);
    std::vector<uint8_t> badStream = whole;
    badStream[8] = 0x00;
    for (const auto& [name, bytes] :
         {std::pair{"whole.swf", whole}, std::pair{"checksum.swf", badChecksum},
          std::pair{"cut.swf", cutShort}, std::pair{"stream.swf", badStream}}) {
        const std::string movie = dir.file(name);
        swivio::testkit::writeBytes(movie, bytes);
        const CliRun info = runCli(dir, {"info", movie});
        const CliRun frame = runCli(dir, {"frame", movie, "1", dir.file("f.png"), "-y"});
        EXPECT_EQ(info.exitCode, frame.exitCode) << name << ": " << info.err << frame.err;
    }
}

TEST(InfoCommandTest, WrongArgumentsPrintUsage) {
    TempDir dir;
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"info"}, std::vector<std::string>{"info", "a.swf", "b.swf"}}) {
        const CliRun run = runCli(dir, args);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find("usage: swivio-cli info MOVIE"), std::string::npos) << run.err;
    }
}

} // namespace
