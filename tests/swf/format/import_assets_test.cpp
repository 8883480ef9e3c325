// ImportAssets and ImportAssets2 as the movie reader keeps them, damaged ones included.
#include "swf/format/movie_definition.h"

#include <gtest/gtest.h>

#include "tests/support/swf_movies.h"

namespace swivio::swf {
namespace {

using namespace testkit;

using Names = std::vector<std::pair<uint16_t, std::string>>;

struct ImportCase {
    const char* name;
    uint16_t code;
    std::vector<uint8_t> body;
    bool warned;
    std::vector<ImportAssets> expected; // frame: the root frame holding the tag
};

std::vector<uint8_t> cut(std::vector<uint8_t> bytes, std::size_t n) {
    bytes.resize(bytes.size() - n);
    return bytes;
}

class ImportTags : public testing::TestWithParam<ImportCase> {};

TEST_P(ImportTags, KeepTheUrlAndTheNamesInTheirFrame) {
    const ImportCase& c = GetParam();
    SwfWriter w;
    w.frameCount = 2;
    w.showFrame().tag(c.code, c.body).showFrame().end();
    auto definition = readMovieDefinition(w.build());
    ASSERT_TRUE(definition.ok()) << definition.message();
    const MovieDefinition& movie = **definition;
    EXPECT_EQ(!movie.warnings.empty(), c.warned);
    ASSERT_EQ(movie.imports.size(), c.expected.size());
    for (std::size_t i = 0; i < c.expected.size(); ++i) {
        const ImportAssets& got = movie.imports[i];
        const ImportAssets& want = c.expected[i];
        EXPECT_EQ(got.url, want.url);
        EXPECT_EQ(got.frame, want.frame);
        ASSERT_EQ(got.names.size(), want.names.size());
        for (std::size_t n = 0; n < want.names.size(); ++n) {
            EXPECT_EQ(got.names[n].id, want.names[n].id);
            EXPECT_EQ(got.names[n].name, want.names[n].name);
        }
    }
}

const Names kTwo = {{7, "lib"}, {300, "Other"}};

INSTANTIATE_TEST_SUITE_P(
    Cases, ImportTags,
    testing::Values(
        ImportCase{"ImportAssets", kImportAssetsCode, importAssets("a/lib.swf", kTwo), false,
                   {{"a/lib.swf", {{7, "lib"}, {300, "Other"}}, 1}}},
        ImportCase{"ImportAssets2SkipsItsReservedBytes", kImportAssets2Code,
                   importAssets("lib.swf", kTwo, true), false,
                   {{"lib.swf", {{7, "lib"}, {300, "Other"}}, 1}}},
        // The names before the damage still import.
        ImportCase{"NameCutShort", kImportAssetsCode, cut(importAssets("lib.swf", kTwo), 3), true,
                   {{"lib.swf", {{7, "lib"}}, 1}}},
        ImportCase{"UrlWithoutItsEnd", kImportAssetsCode, {'l', 'i', 'b'}, true, {}},
        ImportCase{"CountMissing", kImportAssets2Code, {'l', 0, 1, 0}, true, {}}),
    [](const auto& p) { return std::string(p.param.name); });

} // namespace
} // namespace swivio::swf
