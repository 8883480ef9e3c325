#include "swf/format/movie_file.h"

#include <gtest/gtest.h>

#include "swf/format/movie_definition.h"
#include "tests/support/swf_writer.h"

namespace swivio::swf {
namespace {

using testkit::Compression;
using testkit::SwfWriter;
using testkit::TagCode;

SwfWriter sampleMovie(Compression compression) {
    SwfWriter w;
    w.compression = compression;
    w.version = 9;
    w.xMin = 0;
    w.xMax = 6400;
    w.yMin = 0;
    w.yMax = 4800;
    w.frameRate88 = (24 << 8) | 128; // 24.5
    w.frameCount = 3;
    w.backgroundColor(1, 2, 3);
    w.showFrame().showFrame().showFrame().end();
    return w;
}

class MovieFileCompression : public ::testing::TestWithParam<Compression> {};

TEST_P(MovieFileCompression, HeaderFieldsAndTagsSurviveEveryBodyForm) {
    const SwfWriter w = sampleMovie(GetParam());
    const std::vector<uint8_t> bytes = w.build();
    auto movie = readMovieFile(bytes);
    ASSERT_TRUE(movie.ok()) << movie.message();
    EXPECT_EQ(movie->version, 9);
    EXPECT_EQ(movie->stage, (Rect{0, 6400, 0, 4800}));
    EXPECT_FLOAT_EQ(movie->frameRate, 24.5f);
    EXPECT_EQ(movie->frameCount, 3);
    EXPECT_FALSE(movie->truncated);
    EXPECT_EQ(*movie->body, w.body());

    auto definition = readMovieDefinition(bytes);
    ASSERT_TRUE(definition.ok());
    EXPECT_EQ((*definition)->root.frameCount(), 3);
    ASSERT_TRUE((*definition)->root.frames[0].backgroundColor.has_value());
    EXPECT_EQ(*(*definition)->root.frames[0].backgroundColor, (Rgba{1, 2, 3, 255}));
    EXPECT_TRUE((*definition)->warnings.empty());
}

INSTANTIATE_TEST_SUITE_P(Forms, MovieFileCompression,
                         ::testing::Values(Compression::None, Compression::Zlib,
                                           Compression::Lzma));

TEST(MovieFile, WrongSignaturesAndShortFilesFail) {
    std::vector<uint8_t> bytes = sampleMovie(Compression::None).build();
    bytes[0] = 'X';
    EXPECT_FALSE(readMovieFile(bytes).ok());
    bytes[0] = 'F';
    bytes[2] = 'Z';
    EXPECT_FALSE(readMovieFile(bytes).ok());
    EXPECT_FALSE(readMovieFile(std::vector<uint8_t>{'F', 'W', 'S', 9}).ok());
    // A header without its RECT.
    EXPECT_FALSE(readMovieFile(std::vector<uint8_t>{'F', 'W', 'S', 9, 8, 0, 0, 0}).ok());
}

TEST(MovieFile, CompressedGarbageFails) {
    std::vector<uint8_t> bytes = {'C', 'W', 'S', 9, 100, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8};
    auto movie = readMovieFile(bytes);
    ASSERT_FALSE(movie.ok());
    EXPECT_NE(movie.message().find("inflated"), std::string::npos);
}

class MovieFileTruncation : public ::testing::TestWithParam<Compression> {};

TEST_P(MovieFileTruncation, CutFilesKeepTheWholeTagsBeforeTheCut) {
    SwfWriter w;
    w.compression = GetParam();
    w.frameCount = 50;
    for (int i = 0; i < 50; ++i)
        w.tag(TagCode::FrameLabel, std::vector<uint8_t>(200, 'a')).showFrame();
    w.end();
    std::vector<uint8_t> bytes = w.build();
    bytes.resize(bytes.size() * 2 / 3);
    auto definition = readMovieDefinition(bytes);
    ASSERT_TRUE(definition.ok()) << definition.message();
    EXPECT_TRUE((*definition)->file.truncated);
    EXPECT_GT((*definition)->root.frameCount(), 1);
    EXPECT_LT((*definition)->root.frameCount(), 50);
    EXPECT_FALSE((*definition)->warnings.empty());
}

INSTANTIATE_TEST_SUITE_P(Forms, MovieFileTruncation,
                         ::testing::Values(Compression::None, Compression::Zlib,
                                           Compression::Lzma));

TEST(MovieFile, DeclaredLengthBoundsTheBodyButNeverSizesIt) {
    SwfWriter w = sampleMovie(Compression::Zlib);
    // Declares 4 GiB; the body is what inflating produced, and the movie is marked cut.
    w.declaredLengthOverride = 0xFFFFFFFF;
    auto movie = readMovieFile(w.build());
    ASSERT_TRUE(movie.ok()) << movie.message();
    EXPECT_EQ(movie->body->size(), w.body().size());
    EXPECT_TRUE(movie->truncated);

    // Declares less than it holds: what is past the declared length is ignored.
    SwfWriter shortDeclared = sampleMovie(Compression::None);
    shortDeclared.declaredLengthOverride = 8 + 13;
    auto cut = readMovieFile(shortDeclared.build());
    ASSERT_TRUE(cut.ok()) << cut.message();
    EXPECT_EQ(cut->body->size(), 13u);
}

} // namespace
} // namespace swivio::swf
