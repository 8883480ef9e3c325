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
                       "frame count: 240\n"
                       "duration: 8.14 s\n"
                       "scripts: none\n");
    EXPECT_EQ(run.err, "");
}

TEST(InfoCommandTest, SaysWhichScriptsTheMovieHolds) {
    struct Case {
        std::vector<std::pair<uint16_t, std::vector<uint8_t>>> tags;
        const char* line;
    };
    const std::vector<uint8_t> trace = {0x96, 0x03, 0x00, 0x00, 'a', 0x00, 0x26, 0x00};
    const Case cases[] = {
        {{}, "scripts: none\n"},
        {{{12, trace}}, "scripts: ActionScript 1/2\n"},
        {{{69, {0x08, 0, 0, 0}}}, "scripts: ActionScript 3 (not run)\n"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        SwfWriter w;
        for (const auto& [code, body] : c.tags)
            w.tag(code, body);
        w.showFrame().end();
        const std::string movie = dir.file("m.swf");
        ASSERT_TRUE(w.writeFile(movie));
        const CliRun run = runCli(dir, {"info", movie});
        EXPECT_NE(run.out.find(c.line), std::string::npos) << run.out;
    }
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

// A movie cut short: info says so (in words and in JSON) and a conversion warns, instead of
// passing it over in silence.
TEST(InfoCommandTest, DamagedMovieIsReportedByInfoAndConvert) {
    TempDir dir;
    SwfWriter w;
    w.xMax = 400;
    w.yMax = 400;
    w.frameCount = 10;
    for (int i = 0; i < 10; ++i)
        w.showFrame();
    w.end();
    std::vector<uint8_t> bytes = w.build();
    bytes.resize(bytes.size() - 8); // the end tag and the last three frames
    const std::string movie = dir.file("short.swf");
    swivio::testkit::writeBytes(movie, bytes);
    const std::string said = "only 7 of its 10 frames could be read";

    const CliRun info = runCli(dir, {"info", movie});
    EXPECT_EQ(info.exitCode, 0) << info.err;
    EXPECT_NE(info.out.find("damaged: "), std::string::npos) << info.out;
    EXPECT_NE(info.out.find(said), std::string::npos) << info.out;

    const CliRun json = runCli(dir, {"info", movie, "--json"});
    EXPECT_EQ(json.exitCode, 0) << json.err;
    for (const std::string& field : std::vector<std::string>{"\"frames\": 10", "\"damaged\": true", "\"duration\": 0.833",
                                    "\"compressed\": false", said})
        EXPECT_NE(json.out.find(field), std::string::npos) << field << " in " << json.out;
    EXPECT_EQ(json.out.front(), '{');
    EXPECT_EQ(json.out.substr(json.out.size() - 2), "}\n");

    const CliRun convert = runCli(
        dir, {"convert", movie, "--type", "images", "-o", dir.file("frames"), "-y"});
    EXPECT_EQ(convert.exitCode, 0) << convert.err;
    EXPECT_NE(convert.err.find("warning: The movie is damaged: " + said), std::string::npos)
        << convert.err;
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
