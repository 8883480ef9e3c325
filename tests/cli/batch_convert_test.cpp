// Converting several movies at once: one process per movie, a line per movie, and a damaged,
// clashing or hanging movie never taking the others down.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "base/json_reader.h"
#include "tests/cli/cli_runner.h"
#include "tests/cli/media_probe.h"
#include "tests/support/flv_files.h"
#include "tests/support/picture_files.h"
#include "tests/support/swf_movies.h"
#include "tests/support/swf_shapes.h"
#include "tests/support/swf_writer.h"
#include "tests/support/temp_dir.h"

extern char** environ;

namespace swivio::testkit {
namespace {

namespace fs = std::filesystem;

// A 64 x 48 movie of `frames` frames with a red square on blue, at `name` under `dir`
// (folders made as needed). With `spin`, every frame's script loops until the player's
// action budget stops it, so the movie takes seconds a frame: a movie that seems to hang.
std::string writeMovie(const TempDir& dir, const std::string& name, int frames = 3,
                       bool spin = false) {
    SwfWriter w;
    w.xMax = 64 * 20;
    w.yMax = 48 * 20;
    w.frameCount = uint16_t(frames);
    w.backgroundColor(0, 0, 0xFF);
    w.tag(TagCode::DefineShape3, rectangleShape(1, 0, 0, 400, 400, 0xFF, 0, 0));
    place(w, Place().at(1).of(1));
    for (int i = 0; i < frames; ++i) {
        if (spin) // ActionJump back onto itself, then ActionEnd
            w.tag(TagCode::DoAction, {0x99, 0x02, 0x00, 0xFB, 0xFF, 0x00});
        w.showFrame();
    }
    w.end();
    const std::string path = dir.file(name);
    fs::create_directories(fs::path(path).parent_path());
    EXPECT_TRUE(w.writeFile(path));
    return name;
}

// A movie file that is a few garbage bytes after a movie's signature.
std::string writeDamaged(const TempDir& dir, const std::string& name) {
    writeFileBytes(dir.file(name), {'F', 'W', 'S', 8, 0xFF, 0x13, 0x00});
    return name;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

// The value of `key` in a one-line JSON object, read by an independent JSON reader: a string
// as it reads, a number as written, null as "null"; "<not JSON>" when the line is not one.
std::string jsonField(const std::string& line, const std::string& key) {
    const auto json = parseJson(line);
    if (!json || !json->isObject())
        return "<not JSON>";
    const JsonValue* value = json->find(key);
    if (!value)
        return "<missing>";
    if (value->isString())
        return value->string();
    if (value->isNull())
        return "null";
    char number[32];
    std::snprintf(number, sizeof number, "%g", value->number());
    return number;
}

std::string fieldsOf(const std::string& jsonLines, const std::string& key) {
    std::string out;
    for (const std::string& line : lines(jsonLines))
        out += jsonField(line, key) + " ";
    return out;
}

// One batch: the movies it is given, and what must come of it.
struct BatchCase {
    const char* name;
    // Writes the movies (and anything else) into the folder; returns the arguments after
    // "convert".
    std::function<std::vector<std::string>(const TempDir&)> prepare;
    int exitCode;
    const char* statuses;             // the "status" of each JSON line, in order, space-separated
    const char* frames;               // the "frames" of each line
    std::vector<std::string> made;    // outputs that must exist, under the folder
    std::vector<std::string> notMade; // outputs that must not
    const char* message = "";         // in standard error or in a line's error
};

class Batches : public testing::TestWithParam<BatchCase> {};

TEST_P(Batches, ConvertEachMovieAndReportEveryOne) {
    const BatchCase& c = GetParam();
    TempDir dir;
    std::vector<std::string> args = {"convert"};
    const std::vector<std::string> given = c.prepare(dir);
    args.insert(args.end(), given.begin(), given.end());
    args.push_back("--json");
    const CliRun run = runCli(dir, args);
    EXPECT_EQ(run.exitCode, c.exitCode) << run.out << run.err;
    EXPECT_EQ(fieldsOf(run.out, "status"), c.statuses) << run.out;
    EXPECT_EQ(fieldsOf(run.out, "frames"), c.frames) << run.out;
    for (const std::string& line : lines(run.out)) {
        const bool ok = jsonField(line, "status") == "ok";
        EXPECT_EQ(jsonField(line, "error") == "null", ok) << line;
        // The frames said are the frames an independent reader finds.
        const std::string output = jsonField(line, "output");
        if (ok && output.size() > 4 && output.substr(output.size() - 4) == ".avi") {
            EXPECT_EQ(std::to_string(probeMedia(dir.file(output)).decodedFrames),
                      jsonField(line, "frames"))
                << line;
        }
    }
    EXPECT_NE((run.err + run.out).find(c.message), std::string::npos) << run.out << run.err;
    for (const std::string& file : c.made)
        EXPECT_TRUE(fs::exists(dir.file(file))) << file;
    for (const std::string& file : c.notMade)
        EXPECT_FALSE(fs::exists(dir.file(file))) << file;
    // Nothing half-written is left beside the outputs.
    if (fs::exists(dir.file("out"))) {
        for (const auto& e : fs::recursive_directory_iterator(dir.file("out")))
            EXPECT_EQ(e.path().string().find(".part"), std::string::npos) << e.path();
    }
}

std::vector<std::string> with(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

using Args = std::vector<std::string>;

// clang-format off
const BatchCase kBatches[] = {
    {"DamagedMovieFailsAloneAmongGoodOnes", [](const TempDir& d) {
         FlvRecipe video;
         video.frames = 5;
         writeFlv(d.file("c.flv"), video);
         return Args{writeMovie(d, "a.swf", 3), writeDamaged(d, "b.swf"), "c.flv",
                     "--output-dir", "out"};
     }, 2, "ok failed ok ", "3 0 5 ", {"out/a.avi", "out/c.avi"}, {"out/b.avi"},
     "\"input\":\"b.swf\",\"output\":\"out/b.avi\",\"status\":\"failed\""},
    {"MissingMovieFailsAlone", [](const TempDir& d) {
         return Args{"gone.swf", writeMovie(d, "a.swf", 2), "--output-dir", "out"};
     }, 2, "failed ok ", "0 2 ", {"out/a.avi"}, {"out/gone.avi"}},
    {"SingleMovieIntoAFolder", [](const TempDir& d) {
         return Args{writeMovie(d, "a.swf", 4), "--output-dir", "out/new"};
     }, 0, "ok ", "4 ", {"out/new/a.avi"}, {"a.avi"}},
    {"FolderTakesItsMoviesOnlyInSortedOrder", [](const TempDir& d) {
         writeMovie(d, "in/two.swf", 2);
         writeMovie(d, "in/One.SWF", 3);
         writeMovie(d, "in/sub/inner.swf", 4);
         writeFileBytes(d.file("in/notes.txt"), {'h', 'i'});
         return Args{"in", "--output-dir", "out"};
     }, 0, "ok ok ", "3 2 ", {"out/One.avi", "out/two.avi"}, {"out/sub", "out/notes.avi"}},
    {"RecursiveFolderKeepsItsSubFolders", [](const TempDir& d) {
         writeMovie(d, "in/two.swf", 2);
         writeMovie(d, "in/sub/deeper/inner.swf", 4);
         writeDamaged(d, "in/sub/bad.swf");
         return Args{"in", "--recursive", "--output-dir", "out", "-j", "2"};
     }, 2, "failed ok ok ", "0 4 2 ", {"out/sub/deeper/inner.avi", "out/two.avi"},
     {"out/sub/bad.avi", "out/inner.avi"}},
    {"TwoMoviesOntoOneOutputAreRefusedBeforeAnyRuns", [](const TempDir& d) {
         return Args{writeMovie(d, "one.swf"), writeMovie(d, "a/x.swf"), writeMovie(d, "b/x.swf"),
                     "--output-dir", "out"};
     }, 1, "", "", {}, {"out/one.avi", "out/x.avi"}, "a/x.swf and b/x.swf would both be"},
    {"ExistingOutputIsRefusedWithoutATerminal", [](const TempDir& d) {
         fs::create_directories(d.file("out"));
         writeFileBytes(d.file("out/a.avi"), {'o', 'l', 'd'});
         return Args{writeMovie(d, "a.swf"), writeMovie(d, "b.swf"), "--output-dir", "out"};
     }, 2, "failed ok ", "0 3 ", {"out/b.avi"}, {}, "Use -y to overwrite it"},
    {"ExistingOutputIsReplacedWithYes", [](const TempDir& d) {
         fs::create_directories(d.file("out"));
         writeFileBytes(d.file("out/a.avi"), {'o', 'l', 'd'});
         return Args{writeMovie(d, "a.swf"), "-y", "--output-dir", "out"};
     }, 0, "ok ", "3 ", {"out/a.avi"}, {}},
    {"AnimatedGifsGetAFileEach", [](const TempDir& d) {
         return Args{writeMovie(d, "a.swf", 2), "--type", "images", "--image-type",
                     "animated-gif", "--output-dir", "out"};
     }, 0, "ok ", "2 ", {"out/a.gif"}, {"out/a"}},
    {"PictureSeriesGetAFolderEach", [](const TempDir& d) {
         return Args{writeMovie(d, "a.swf", 2), writeMovie(d, "b.swf", 2), "--type", "images",
                     "--image-type", "png", "--output-dir", "out"};
     }, 0, "ok ok ", "2 2 ", {"out/a", "out/b"}, {"out/a.avi"}},
    // The limit leaves a loaded machine room for the good movie; the spinning one needs far
    // longer whatever the machine.
    {"HangingMovieIsStoppedAtItsTimeout", [](const TempDir& d) {
         return Args{writeMovie(d, "spin.swf", 2000, true), writeMovie(d, "a.swf"),
                     "--timeout", "6", "--output-dir", "out", "-j", "2"};
     }, 2, "timeout ok ", "0 3 ", {"out/a.avi"}, {"out/spin.avi"}, "--timeout"},
    {"BatchOptionsNeedAnOutputFolder", [](const TempDir& d) {
         return Args{writeMovie(d, "a.swf"), writeMovie(d, "b.swf"), "-o", "x.avi"};
     }, 1, "", "", {}, {"x.avi", "a.avi"}, "--output-dir"},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Cli, Batches, testing::ValuesIn(kBatches),
                         [](const auto& test) { return std::string(test.param.name); });

// Running movies side by side changes nothing of what comes out, nor its order.
TEST(BatchConvert, ParallelRunsMatchOneAtATime) {
    TempDir dir;
    std::vector<std::string> args = {"convert", "--output-dir", "out", "--json", "-y"};
    for (int i = 0; i < 5; ++i)
        args.push_back(i == 2 ? writeDamaged(dir, "m2.swf")
                              : writeMovie(dir, "m" + std::to_string(i) + ".swf", 2 + i));
    const CliRun one = runCli(dir, with(args, {"-j", "1"}));
    const CliRun three = runCli(dir, with(args, {"-j3"}));
    EXPECT_EQ(one.exitCode, 2);
    EXPECT_EQ(three.exitCode, 2);
    for (const char* key : {"input", "output", "status", "frames", "warnings", "error"})
        EXPECT_EQ(fieldsOf(three.out, key), fieldsOf(one.out, key)) << key;
    EXPECT_EQ(lines(one.out).size(), 5u);
}

// Names that JSON must escape read back as they are; bytes that are not UTF-8 (a file name
// may hold any) become U+FFFD, so that every line stays JSON. The summary lines name them as
// they are.
TEST(BatchConvert, JsonLinesHoldAnyNameAndHumanLinesSummarise) {
    TempDir dir;
    const std::string quoted = writeMovie(dir, "q\"uo\\te\tx.swf", 2);
    const std::string binary = writeMovie(dir, "b\xff\x01.swf", 2);
    const CliRun json =
        runCli(dir, {"convert", quoted, binary, "--output-dir", "out", "--json"});
    EXPECT_EQ(json.exitCode, 0) << json.err;
    EXPECT_EQ(fieldsOf(json.out, "input"), quoted + " b\xEF\xBF\xBD\x01.swf ") << json.out;
    EXPECT_EQ(fieldsOf(json.out, "output"), "out/q\"uo\\te\tx.avi out/b\xEF\xBF\xBD\x01.avi ");
    EXPECT_EQ(json.out.find('\x01'), std::string::npos) << json.out;
    const CliRun human = runCli(dir, {"convert", quoted, "--output-dir", "out", "-y"});
    EXPECT_EQ(human.exitCode, 0) << human.err;
    EXPECT_EQ(human.out.rfind("ok ", 0), 0u) << human.out;
    EXPECT_NE(human.out.find(quoted + " -> out/q\"uo\\te\tx.avi  2 frames"), std::string::npos)
        << human.out;
    EXPECT_NE(human.out.find("1 of 1 movies converted."), std::string::npos) << human.out;
}

// SIGTERM to the batch stops its running movies, which leave no temporary files.
TEST(BatchConvert, TermStopsTheRunningMoviesAndCleansUp) {
    TempDir dir;
    const std::string work = dir.file("work");
    fs::create_directories(work);
    std::vector<std::string> words = {SWIVIO_CLI_PATH, "convert", "--output-dir", dir.file("out"),
                                      "--work-dir",    work,      "-j",           "2"};
    for (int i = 0; i < 3; ++i)
        words.push_back(dir.file(writeMovie(dir, "spin" + std::to_string(i) + ".swf", 200, true)));
    std::vector<char*> argv;
    for (auto& w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, SWIVIO_CLI_PATH, &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);

    // Frame files or outputs being written appear once the movies record.
    auto frameFiles = [&] {
        int count = 0;
        for (const std::string& folder : {work, dir.file("out")}) {
            std::error_code ec;
            for (auto it = fs::recursive_directory_iterator(folder, ec);
                 !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
                const std::string name = it->path().filename().string();
                count += name.rfind("vid", 0) == 0 || it->path().extension() == ".part";
            }
        }
        return count;
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (frameFiles() < 2 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_GE(frameFiles(), 2);
    const auto signalled = std::chrono::steady_clock::now();
    kill(pid, SIGTERM);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 130);
    EXPECT_LT(std::chrono::steady_clock::now() - signalled, std::chrono::seconds(20));
    EXPECT_TRUE(fs::is_empty(work));
    EXPECT_FALSE(fs::exists(dir.file("out/spin2.avi")));
}

} // namespace
} // namespace swivio::testkit
