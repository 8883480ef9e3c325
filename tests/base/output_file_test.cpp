#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <string>

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "base/output_file.h"
#include "tests/support/temp_dir.h"

namespace swivio {
namespace {

namespace fs = std::filesystem;

std::string contentsOf(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeText(const fs::path& path, const std::string& text) {
    std::ofstream(path) << text;
}

// Writes "new" through an OutputFile for `destination`; the result of create or commit.
Status writeNew(const std::string& destination) {
    return writeOutputFile(destination, [](const std::string& path) {
        std::ofstream out(path);
        out << "new";
        return out.flush() ? Status() : Status::failure("cannot write " + path);
    });
}

// Names in the folder and below it, to see that no temporary file is left behind.
std::set<std::string> namesIn(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        names.insert(entry.path().lexically_relative(folder).string());
    return names;
}

// What is at an output's place before it is written, and where the output must land.
struct PlaceCase {
    const char* name;
    // Makes the place in `dir` and returns the destination to write.
    std::function<std::string(const fs::path& dir)> make;
    const char* landsIn; // the file that must hold "new" afterwards; null when refused
    const char* refusal; // a part of the refusal's message
};

class OutputFilePlaces : public testing::TestWithParam<PlaceCase> {};

TEST_P(OutputFilePlaces, AreWrittenThroughTheirTargetOrRefused) {
    const PlaceCase& c = GetParam();
    testkit::TempDir dir;
    const std::string destination = c.make(dir.path());
    const bool wasLink = fs::is_symlink(fs::symlink_status(destination));
    const std::set<std::string> before = namesIn(dir.path());
    const Status written = writeNew(destination);
    if (c.landsIn) {
        ASSERT_TRUE(written) << written.message();
        EXPECT_EQ(contentsOf(dir.path() / c.landsIn), "new");
        // A link stays a link: the file it leads to got the output.
        EXPECT_EQ(fs::is_symlink(fs::symlink_status(destination)), wasLink);
    } else {
        ASSERT_FALSE(written);
        EXPECT_NE(written.message().find(c.refusal), std::string::npos) << written.message();
        EXPECT_NE(written.message().find(destination), std::string::npos) << written.message();
    }
    std::set<std::string> after = namesIn(dir.path());
    if (c.landsIn)
        after.erase(c.landsIn);
    std::set<std::string> expected = before;
    if (c.landsIn)
        expected.erase(c.landsIn);
    EXPECT_EQ(after, expected) << "a temporary file was left behind";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OutputFilePlaces,
    testing::Values(PlaceCase{"Nothing", [](const fs::path& d) { return (d / "out.avi").string(); },
                              "out.avi", ""},
                    PlaceCase{"RegularFile",
                              [](const fs::path& d) {
                                  writeText(d / "out.avi", "old");
                                  return (d / "out.avi").string();
                              },
                              "out.avi", ""},
                    PlaceCase{"LinkToAFile",
                              [](const fs::path& d) {
                                  fs::create_directory(d / "elsewhere");
                                  writeText(d / "elsewhere/real.avi", "old");
                                  fs::create_symlink("elsewhere/real.avi", d / "link.avi");
                                  return (d / "link.avi").string();
                              },
                              "elsewhere/real.avi", ""},
                    PlaceCase{"LinkToNothingYet",
                              [](const fs::path& d) {
                                  fs::create_symlink("later.avi", d / "link.avi");
                                  return (d / "link.avi").string();
                              },
                              "later.avi", ""},
                    PlaceCase{"LinkToADevice",
                              [](const fs::path& d) {
                                  fs::create_symlink("/dev/null", d / "null.avi");
                                  return (d / "null.avi").string();
                              },
                              nullptr, "a device"},
                    PlaceCase{"LinksInACircle",
                              [](const fs::path& d) {
                                  fs::create_symlink("b.avi", d / "a.avi");
                                  fs::create_symlink("a.avi", d / "b.avi");
                                  return (d / "a.avi").string();
                              },
                              nullptr, "circle"}),
    [](const testing::TestParamInfo<PlaceCase>& p) { return std::string(p.param.name); });

TEST(OutputFile, DestinationIsUntouchedUntilCommitAndWithoutIt) {
    testkit::TempDir dir;
    const fs::path out = dir.path() / "out.gif";
    writeText(out, "old");
    {
        Result<OutputFile> file = OutputFile::create(out.string());
        ASSERT_TRUE(file) << file.message();
        writeText(file->path(), "half");
        EXPECT_EQ(contentsOf(out), "old");
        // Dropped without commit: a failed output.
    }
    EXPECT_EQ(contentsOf(out), "old");
    EXPECT_EQ(namesIn(dir.path()), std::set<std::string>{"out.gif"});

    Result<OutputFile> file = OutputFile::create(out.string());
    ASSERT_TRUE(file) << file.message();
    writeText(file->path(), "whole");
    ASSERT_TRUE(file->commit());
    EXPECT_EQ(contentsOf(out), "whole");
    EXPECT_EQ(namesIn(dir.path()), std::set<std::string>{"out.gif"});
}

TEST(OutputFile, ReplacedFileKeepsItsPermissions) {
    testkit::TempDir dir;
    const fs::path out = dir.path() / "out.png";
    writeText(out, "old");
    fs::permissions(out, fs::perms::owner_read | fs::perms::group_read);
    ASSERT_TRUE(writeNew(out.string()));
    EXPECT_EQ(contentsOf(out), "new");
    EXPECT_EQ(fs::status(out).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::group_read);
}

} // namespace
} // namespace swivio
