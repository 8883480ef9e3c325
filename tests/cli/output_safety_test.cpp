// What swivio-cli may write over: only regular files it was allowed to replace, never the
// files a conversion reads, never a device, a FIFO, a folder or a link itself.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include <gtest/gtest.h>

#include "tests/cli/cli_runner.h"
#include "tests/cli/media_probe.h"
#include "tests/support/picture_files.h"
#include "tests/support/sound_files.h"
#include "tests/support/swf_movies.h"
#include "tests/support/swf_shapes.h"
#include "tests/support/swf_writer.h"
#include "tests/support/temp_dir.h"


namespace swivio::testkit {
namespace {

namespace fs = std::filesystem;

const std::vector<uint8_t> kOldBytes = {'o', 'l', 'd'};

// A 64 x 48 movie of `frames` frames with a red square on blue.
std::string writeMovie(const std::string& path, int frames = 3) {
    SwfWriter w;
    w.xMax = 64 * 20;
    w.yMax = 48 * 20;
    w.frameCount = uint16_t(frames);
    w.backgroundColor(0, 0, 0xFF);
    w.tag(TagCode::DefineShape3, rectangleShape(1, 0, 0, 400, 400, 0xFF, 0, 0));
    place(w, Place().at(1).of(1));
    for (int i = 0; i < frames; ++i)
        w.showFrame();
    w.end();
    EXPECT_TRUE(w.writeFile(path));
    return path;
}

// Temporary files anywhere under the folder: frame files and unfinished outputs.
std::vector<std::string> temporaries(const fs::path& folder) {
    std::vector<std::string> found;
    for (const auto& e : fs::recursive_directory_iterator(folder)) {
        const std::string name = e.path().filename().string();
        if (name.rfind("vid", 0) == 0 || name.find(".part") != std::string::npos)
            found.push_back(name);
    }
    return found;
}

bool isCompleteVideo(const std::string& path) {
    const MediaInfo info = probeMedia(path);
    return info.opened && info.decodedFrames > 0;
}

// One hostile or ordinary output place: what is there, the command, and what must hold.
struct PlaceCase {
    const char* name;
    // Prepares the folder (holding movie.swf) and returns the arguments of swivio-cli.
    std::function<std::vector<std::string>(const TempDir&)> prepare;
    int exitCode;
    const char* message; // part of standard error when refused
    std::function<void(const TempDir&)> check;
};

class OutputPlaces : public testing::TestWithParam<PlaceCase> {};

TEST_P(OutputPlaces, AreWrittenOnlyWhenTheyMayBe) {
    const PlaceCase& c = GetParam();
    TempDir dir;
    const std::string movie = writeMovie(dir.file("movie.swf"));
    const std::vector<uint8_t> movieBytes = readFileBytes(movie);
    const CliRun run = runCli(dir, c.prepare(dir));
    EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
    if (c.exitCode != 0) {
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        // Refused before anything was recorded.
        EXPECT_EQ(run.out.find("Wrote"), std::string::npos) << run.out;
    }
    c.check(dir);
    EXPECT_EQ(readFileBytes(movie), movieBytes);
    EXPECT_TRUE(temporaries(dir.path()).empty());
}

std::vector<std::string> convertTo(const std::string& output,
                                   std::vector<std::string> more = {"-y"}) {
    std::vector<std::string> args = {"convert", "movie.swf", "-o", output};
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

void keepsOldBytes(const TempDir& dir, const char* name) {
    EXPECT_EQ(readFileBytes(dir.file(name)), kOldBytes) << name;
}

std::vector<std::string> withOldFile(const TempDir& dir, const char* name,
                                     std::vector<std::string> args) {
    writeFileBytes(dir.file(name), kOldBytes);
    return args;
}

std::vector<uint8_t> markBytes() {
    return makeBmp(24, 8, 8, false, [](int, int) { return 0x00FFFFu; });
}
void writeMark(const std::string& path) {
    writeFileBytes(path, markBytes());
}

INSTANTIATE_TEST_SUITE_P(
    Convert, OutputPlaces,
    testing::Values(
        PlaceCase{"Fifo",
                  [](const TempDir& d) {
                      mkfifo(d.file("out.avi").c_str(), 0600);
                      return convertTo("out.avi");
                  },
                  1, "a FIFO",
                  [](const TempDir& d) { EXPECT_TRUE(fs::is_fifo(d.file("out.avi"))); }},
        PlaceCase{"Folder",
                  [](const TempDir& d) {
                      fs::create_directory(d.file("out.avi"));
                      return convertTo("out.avi");
                  },
                  1, "a folder",
                  [](const TempDir& d) { EXPECT_TRUE(fs::is_directory(d.file("out.avi"))); }},
        PlaceCase{"LinkToAFile",
                  [](const TempDir& d) {
                      fs::create_directory(d.file("real"));
                      writeFileBytes(d.file("real/target.avi"), kOldBytes);
                      fs::create_symlink("real/target.avi", d.file("link.avi"));
                      return convertTo("link.avi");
                  },
                  0, "",
                  [](const TempDir& d) {
                      EXPECT_TRUE(fs::is_symlink(d.file("link.avi")));
                      EXPECT_TRUE(isCompleteVideo(d.file("real/target.avi")));
                  }},
        PlaceCase{"TheMovie", [](const TempDir&) { return convertTo("movie.swf"); }, 1, "the movie",
                  [](const TempDir&) {}},
        PlaceCase{"TheMovieSpelledOtherwise",
                  [](const TempDir& d) {
                      fs::create_directory(d.file("x"));
                      return convertTo("./x/../movie.swf");
                  },
                  1, "the movie", [](const TempDir&) {}},
        PlaceCase{"AHardLinkOfTheMovie",
                  [](const TempDir& d) {
                      fs::create_hard_link(d.file("movie.swf"), d.file("hard.avi"));
                      return convertTo("hard.avi");
                  },
                  1, "the movie", [](const TempDir&) {}},
        PlaceCase{
            "TheWatermarkPicture",
            [](const TempDir& d) {
                writeMark(d.file("mark.bmp"));
                // Another name of the same picture, which a video's name does not give away.
                fs::create_hard_link(d.file("mark.bmp"), d.file("mark.avi"));
                return convertTo("mark.avi", {"-y", "--watermark", "mark.bmp"});
            },
            1, "the watermark picture",
            [](const TempDir& d) { EXPECT_EQ(readFileBytes(d.file("mark.bmp")), markBytes()); }},
        PlaceCase{"TheImportedSound",
                  [](const TempDir& d) {
                      writeFileBytes(d.file("tone.wav"),
                                     makeWav(WavSpec{}, sinePcm16(44100, 2, 4410)));
                      return convertTo("tone.wav", {"-y", "--audio", "tone.wav"});
                  },
                  1, "the imported sound",
                  [](const TempDir& d) { EXPECT_GT(fs::file_size(d.file("tone.wav")), 4410u); }},
        PlaceCase{"ASeriesPictureThatIsTheWatermark",
                  [](const TempDir& d) {
                      fs::create_directory(d.file("frames"));
                      writeMark(d.file("frames/1.bmp"));
                      return std::vector<std::string>{
                          "convert", "movie.swf", "--type", "images",      "--image-type",
                          "bmp",     "-o",        "frames", "--watermark", "frames/1.bmp"};
                  },
                  1, "the watermark picture",
                  [](const TempDir& d) {
                      EXPECT_EQ(readFileBytes(d.file("frames/1.bmp")), markBytes());
                      EXPECT_FALSE(fs::exists(d.file("frames/0.bmp")));
                  }},
        PlaceCase{"ExistingFileWithNeverOverwrite",
                  [](const TempDir& d) {
                      return withOldFile(d, "out.avi", convertTo("out.avi", {"-n"}));
                  },
                  1, "already exists", [](const TempDir& d) { keepsOldBytes(d, "out.avi"); }},
        PlaceCase{
            "ExistingFileWithoutATerminalToAsk",
            [](const TempDir& d) { return withOldFile(d, "out.avi", convertTo("out.avi", {})); }, 1,
            "-y", [](const TempDir& d) { keepsOldBytes(d, "out.avi"); }},
        PlaceCase{"ExistingAnimatedGifWithoutATerminalToAsk",
                  [](const TempDir& d) {
                      return withOldFile(d, "movie.gif",
                                         {"convert", "movie.swf", "--type", "images",
                                          "--image-type", "animated-gif", "-o", "."});
                  },
                  1, "-y", [](const TempDir& d) { keepsOldBytes(d, "movie.gif"); }},
        PlaceCase{"ExistingFileWithOverwrite",
                  [](const TempDir& d) {
                      return withOldFile(d, "out.avi", convertTo("out.avi", {"-y"}));
                  },
                  0, "", [](const TempDir& d) { EXPECT_TRUE(isCompleteVideo(d.file("out.avi"))); }},
        PlaceCase{
            "TheSeriesOwnPicturesWithoutAsking",
            [](const TempDir& d) {
                fs::create_directory(d.file("frames"));
                writeFileBytes(d.file("frames/0.png"), kOldBytes);
                return std::vector<std::string>{"convert",      "movie.swf", "--type", "images",
                                                "--image-type", "png",       "-o",     "frames"};
            },
            0, "",
            [](const TempDir& d) { EXPECT_EQ(readPngFile(d.file("frames/0.png")).width, 64); }}),
    [](const testing::TestParamInfo<PlaceCase>& p) { return std::string(p.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Frame, OutputPlaces,
    testing::Values(
        PlaceCase{"TheMovie",
                  [](const TempDir&) {
                      return std::vector<std::string>{"frame", "movie.swf", "1", "movie.swf", "-y"};
                  },
                  1, "the movie", [](const TempDir&) {}},
        PlaceCase{"Fifo",
                  [](const TempDir& d) {
                      mkfifo(d.file("out.png").c_str(), 0600);
                      return std::vector<std::string>{"frame", "movie.swf", "1", "out.png", "-y"};
                  },
                  1, "a FIFO",
                  [](const TempDir& d) { EXPECT_TRUE(fs::is_fifo(d.file("out.png"))); }},
        PlaceCase{
            "ExistingFileWithNeverOverwrite",
            [](const TempDir& d) {
                return withOldFile(d, "out.png", {"frame", "movie.swf", "1", "out.png", "-n"});
            },
            1, "already exists", [](const TempDir& d) { keepsOldBytes(d, "out.png"); }},
        PlaceCase{
            "ExistingFileWithOverwrite",
            [](const TempDir& d) {
                return withOldFile(d, "out.png", {"frame", "movie.swf", "1", "out.png", "-y"});
            },
            0, "", [](const TempDir& d) { EXPECT_EQ(readPngFile(d.file("out.png")).width, 64); }}),
    [](const testing::TestParamInfo<PlaceCase>& p) { return std::string(p.param.name); });

// A device node is never turned into a file. Only root can write over /dev/full, so only a
// run as root shows that it is refused rather than merely not permitted.
TEST(OutputPlaceDevice, DevFullIsRefused) {
    if (geteuid() != 0)
        GTEST_SKIP() << "only root could replace /dev/full; as another user the system refuses";
    TempDir dir;
    writeMovie(dir.file("movie.swf"));
    const CliRun run = runCli(dir, convertTo("/dev/full"));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("a device"), std::string::npos) << run.err;
    struct stat st = {};
    ASSERT_EQ(stat("/dev/full", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
}

// The movie's folder may be read-only: the frame files go beside the output instead. Root
// writes into a read-only folder all the same, so as root this shows only that nothing is
// left in the movie's folder.
TEST(OutputPlaceWorkFolder, ReadOnlyMovieFolderStillConverts) {
    TempDir dir;
    fs::create_directory(dir.file("movies"));
    fs::create_directory(dir.file("out"));
    writeMovie(dir.file("movies/movie.swf"));
    fs::permissions(dir.file("movies"), fs::perms(0555));
    const CliRun run = runCli(dir, {"convert", "movies/movie.swf", "-o", "out/movie.avi"});
    fs::permissions(dir.file("movies"), fs::perms(0755));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(isCompleteVideo(dir.file("out/movie.avi")));
    EXPECT_TRUE(temporaries(dir.path()).empty());
    std::vector<std::string> inMovies;
    for (const auto& e : fs::directory_iterator(dir.file("movies")))
        inMovies.push_back(e.path().filename().string());
    EXPECT_EQ(inMovies, std::vector<std::string>{"movie.swf"});
}

// A closed terminal (SIGHUP) and SIGTERM end a conversion as Ctrl-C does: exit 130, no
// temporary frame file left, no output.
class StopSignals : public testing::TestWithParam<int> {};

TEST_P(StopSignals, LeaveNoTemporaryFile) {
    TempDir dir;
    // Long enough that the recording is still running when the signal comes.
    writeMovie(dir.file("long.swf"), 20000);
    fs::create_directory(dir.file("out"));
    // Without --work-dir the frame files go beside the output.
    const InterruptedRun run = interruptWhileRecording(
        {"convert", dir.file("long.swf"), "-o", dir.file("out/long.avi")}, dir.file("out"),
        GetParam());
    EXPECT_TRUE(run.started);
    EXPECT_EQ(run.exitCode, 130) << "killed by the signal";
    EXPECT_TRUE(fs::is_empty(dir.file("out")));
}

INSTANTIATE_TEST_SUITE_P(Signals, StopSignals, testing::Values(SIGINT, SIGHUP, SIGTERM),
                         [](const testing::TestParamInfo<int>& p) {
                             return std::string(sigabbrev_np(p.param));
                         });

} // namespace
} // namespace swivio::testkit
