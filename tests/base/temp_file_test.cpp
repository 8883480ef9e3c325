#include <filesystem>
#include <set>
#include <string>

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "base/temp_file.h"
#include "tests/support/temp_dir.h"

namespace swivio {
namespace {

namespace fs = std::filesystem;

TEST(TempFile, NamesAreUniqueEmptyPrivateFilesWithThePrefix) {
    testkit::TempDir dir;
    std::set<std::string> names;
    for (int i = 0; i < 200; ++i) {
        Result<std::string> path = createTempFile(dir.path().string(), "vid");
        ASSERT_TRUE(path) << path.message();
        const fs::path p(*path);
        EXPECT_EQ(p.parent_path(), dir.path());
        const std::string name = p.filename().string();
        ASSERT_EQ(name.size(), 3u + 6 + 4) << name;
        EXPECT_EQ(name.substr(0, 3), "vid");
        EXPECT_EQ(name.substr(9), ".tmp");
        EXPECT_TRUE(fs::is_regular_file(p));
        EXPECT_EQ(fs::file_size(p), 0u);
        struct stat st {};
        ASSERT_EQ(stat(path->c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u) << name;
        names.insert(name);
    }
    EXPECT_EQ(names.size(), 200u);
}

TEST(TempFile, ExistingFilesAreNeverReused) {
    testkit::TempDir dir;
    // Files left by an earlier run keep their content.
    Result<std::string> first = createTempFile(dir.path().string() + "/", "aud");
    ASSERT_TRUE(first);
    {
        std::FILE* f = std::fopen(first->c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fputs("keep", f);
        std::fclose(f);
    }
    for (int i = 0; i < 50; ++i) {
        Result<std::string> next = createTempFile(dir.path().string(), "aud");
        ASSERT_TRUE(next);
        EXPECT_NE(*next, *first);
    }
    EXPECT_EQ(fs::file_size(*first), 4u);
}

TEST(TempFile, MissingFolderIsReported) {
    testkit::TempDir dir;
    const std::string folder = dir.file("missing");
    Result<std::string> path = createTempFile(folder, "vid");
    ASSERT_FALSE(path);
    EXPECT_NE(path.message().find(folder), std::string::npos) << path.message();
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

} // namespace
} // namespace swivio
