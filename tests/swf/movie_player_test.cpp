#include "swf/movie_player.h"

#include <cstdlib>

#include <gtest/gtest.h>

#include "tests/support/bitmap_tags.h"
#include "tests/support/swf_movies.h"
#include "tests/support/swf_samples.h"
#include "tests/support/swf_shapes.h"

namespace swivio::swf {
namespace {

using namespace testkit;

constexpr uint32_t kRed = makeColor(255, 0, 0);
constexpr uint32_t kBlue = makeColor(0, 0, 255);
constexpr uint32_t kSentinel = makeColor(1, 2, 3);

std::shared_ptr<const Movie> load(const SwfWriter& w) {
    auto movie = Movie::load(w.build());
    EXPECT_TRUE(movie.ok()) << movie.message();
    if (!movie)
        return nullptr;
    for (const std::string& warning : (*movie)->warnings())
        ADD_FAILURE() << "unexpected warning: " << warning;
    return *movie;
}

// A movie of width x height pixels with a background colour.
SwfWriter stage(int width, int height, uint8_t r = 10, uint8_t g = 20, uint8_t b = 30) {
    SwfWriter w;
    w.xMax = width * 20;
    w.yMax = height * 20;
    w.backgroundColor(r, g, b);
    return w;
}

Frame renderFirstFrame(const SwfWriter& w, int width, int height) {
    MoviePlayer player(load(w));
    Frame frame(width, height);
    player.render(frame, player.viewport(width, height));
    return frame;
}

::testing::AssertionResult near(uint32_t actual, uint32_t expected, int tolerance = 2) {
    for (int shift : {0, 8, 16}) {
        const int a = int((actual >> shift) & 0xFF), e = int((expected >> shift) & 0xFF);
        if (std::abs(a - e) > tolerance)
            return ::testing::AssertionFailure()
                   << std::hex << "colour 0x" << actual << " is not near 0x" << expected;
    }
    return ::testing::AssertionSuccess();
}

TEST(Movie, ReportsTheHeaderAndWhatThePlayerShows) {
    SwfWriter w = stage(320, 240, 1, 2, 3);
    w.version = 7;
    w.frameRate88 = 30 << 8;
    w.frameCount = 2;
    w.showFrame().showFrame().end();
    auto movie = load(w);
    ASSERT_TRUE(movie);
    EXPECT_EQ(movie->version(), 7);
    EXPECT_EQ(movie->width(), 320);
    EXPECT_EQ(movie->height(), 240);
    EXPECT_FLOAT_EQ(movie->frameRate(), 30);
    EXPECT_EQ(movie->frameCount(), 2);
    MoviePlayer player(movie);
    EXPECT_EQ(player.currentFrame(), 0);
    EXPECT_TRUE(player.isPlaying());
    EXPECT_EQ(player.backgroundColor(), makeColor(1, 2, 3));
    player.advance();
    EXPECT_EQ(player.currentFrame(), 1);
    player.rewind();
    EXPECT_EQ(player.currentFrame(), 0);
    EXPECT_FALSE(player.isPlaying());
}

TEST(Movie, NotAMovieFailsWithAMessage) {
    auto movie = Movie::load(std::vector<uint8_t>{'G', 'I', 'F', '8', '9', 'a', 0, 0, 0});
    ASSERT_FALSE(movie.ok());
    EXPECT_FALSE(movie.message().empty());
    EXPECT_FALSE(Movie::loadFile("/nonexistent/movie.swf").ok());
}

TEST(MoviePlayerPixels, ShapeColourInsideAndBackgroundOutside) {
    SwfWriter w = stage(200, 100);
    w.tag(TagCode::DefineShape3, rectangleShape(1, 800, 400, 2400, 1600, 255, 0, 0));
    place(w, Place().at(1).of(1)).showFrame().end();
    const Frame frame = renderFirstFrame(w, 200, 100);
    EXPECT_EQ(frame.pixel(80, 50), kRed);
    EXPECT_EQ(frame.pixel(41, 21), kRed);
    EXPECT_EQ(frame.pixel(118, 78), kRed);
    EXPECT_EQ(frame.pixel(10, 10), makeColor(10, 20, 30));
    EXPECT_EQ(frame.pixel(125, 50), makeColor(10, 20, 30));
    EXPECT_EQ(frame.pixel(199, 99), makeColor(10, 20, 30));
}

TEST(MoviePlayerPixels, MovieWithoutBackgroundTagShowsWhite) {
    SwfWriter w;
    w.xMax = 400;
    w.yMax = 400;
    w.showFrame().end();
    EXPECT_EQ(renderFirstFrame(w, 20, 20).pixel(5, 5), makeColor(255, 255, 255));
}

struct Winding {
    const char* name;
    bool clockwise;
    int fill0, fill1;
};

class SquareSides : public ::testing::TestWithParam<Winding> {};

// With y pointing down, fill 1 lies right of a clockwise path's direction: inside.
TEST_P(SquareSides, TheFillOnTheInsideIsDrawn) {
    const Winding& c = GetParam();
    ShapeBuilder s(3);
    const int fill = s.solidFill(0, 0, 255);
    s.styles(c.fill0 ? fill : 0, c.fill1 ? fill : 0).rectangle(200, 200, 1800, 1800, c.clockwise);
    SwfWriter w = stage(100, 100);
    w.tag(TagCode::DefineShape3, s.defineShape(1, 200, 1800, 200, 1800));
    place(w, Place().at(1).of(1)).showFrame().end();
    const Frame frame = renderFirstFrame(w, 100, 100);
    EXPECT_EQ(frame.pixel(50, 50), kBlue);
    EXPECT_EQ(frame.pixel(95, 95), makeColor(10, 20, 30));
}

INSTANTIATE_TEST_SUITE_P(Windings, SquareSides,
                         ::testing::Values(Winding{"clockwiseFill1", true, 0, 1},
                                           Winding{"anticlockwiseFill0", false, 1, 0}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(MoviePlayerPixels, ColourTransformChangesTheShapesColour) {
    SwfWriter w = stage(100, 100);
    w.tag(TagCode::DefineShape3, rectangleShape(1, 0, 0, 2000, 2000, 255, 0, 0));
    place(w, Place().at(1).of(1).colorTransform({0, 256, 256, 256}, {0, 0, 255, 0}));
    w.showFrame().end();
    EXPECT_EQ(renderFirstFrame(w, 100, 100).pixel(50, 50), kBlue);

    // Half alpha over the background: halfway between red and the background.
    SwfWriter half = stage(100, 100, 0, 0, 0);
    half.tag(TagCode::DefineShape3, rectangleShape(1, 0, 0, 2000, 2000, 255, 0, 0));
    place(half, Place().at(1).of(1).colorTransform({256, 256, 256, 128}, {0, 0, 0, 0}));
    half.showFrame().end();
    EXPECT_TRUE(near(renderFirstFrame(half, 100, 100).pixel(50, 50), makeColor(128, 0, 0)));
}

TEST(MoviePlayerPixels, MaskHidesWhatLiesOutsideIt) {
    SwfWriter w = stage(100, 100);
    // Mask: left half (its green colour never shows); content: a red square over everything.
    w.tag(TagCode::DefineShape3, rectangleShape(1, 0, 0, 1000, 2000, 0, 255, 0));
    w.tag(TagCode::DefineShape3, rectangleShape(2, 0, 0, 2000, 2000, 255, 0, 0));
    w.tag(TagCode::DefineShape3, rectangleShape(3, 0, 1400, 2000, 2000, 0, 0, 255));
    Place mask = Place().at(1).of(1);
    mask.clipDepth = 2;
    place(w, mask);
    place(w, Place().at(2).of(2));
    place(w, Place().at(3).of(3)).showFrame().end(); // above the clip depth: not masked
    const Frame frame = renderFirstFrame(w, 100, 100);
    EXPECT_EQ(frame.pixel(25, 30), kRed);
    EXPECT_EQ(frame.pixel(75, 30), makeColor(10, 20, 30));
    EXPECT_EQ(frame.pixel(75, 90), kBlue);
    EXPECT_EQ(frame.pixel(25, 90), kBlue);
}

TEST(MoviePlayerPixels, StageScalesToThePlayerWithGrabOriginAndClip) {
    // Stage 100 x 100 with a red square over its right half.
    SwfWriter w = stage(100, 100);
    w.tag(TagCode::DefineShape3, rectangleShape(1, 1000, 0, 2000, 2000, 255, 0, 0));
    place(w, Place().at(1).of(1)).showFrame().end();
    MoviePlayer player(load(w));
    Frame frame(160, 120);
    frame.fill(kSentinel);
    RenderViewport v;
    v.stage = player.movie().stage();
    v.playerWidth = 200; // twice the stage
    v.playerHeight = 200;
    v.originX = 40; // frame (0, 0) shows player pixel (40, 60)
    v.originY = 60;
    v.clipX = 20;
    v.clipY = 10;
    v.clipWidth = 120;
    v.clipHeight = 100;
    player.render(frame, v);
    // Player x = frame x + 40: the square starts at player x 100, frame x 60.
    EXPECT_EQ(frame.pixel(58, 50), makeColor(10, 20, 30));
    EXPECT_EQ(frame.pixel(62, 50), kRed);
    EXPECT_EQ(frame.pixel(139, 109), kRed);
    // Outside the clip rectangle nothing is touched.
    EXPECT_EQ(frame.pixel(19, 50), kSentinel);
    EXPECT_EQ(frame.pixel(140, 50), kSentinel);
    EXPECT_EQ(frame.pixel(80, 9), kSentinel);
    EXPECT_EQ(frame.pixel(80, 110), kSentinel);
    EXPECT_EQ(frame.pixel(20, 10), makeColor(10, 20, 30));
}

TEST(MoviePlayerPixels, SpritesAnimateWithTicksAndKeepTheirFrameAcrossASeek) {
    // A sprite of two frames: a red square on the left, then on the right.
    SpriteBuilder sprite;
    sprite.place(Place().at(1).of(1)).showFrame();
    sprite.place(Place().at(1).moving().translate(1000, 0)).showFrame();
    SwfWriter w = stage(100, 50);
    w.frameCount = 2;
    w.tag(TagCode::DefineShape3, rectangleShape(1, 0, 0, 1000, 1000, 255, 0, 0));
    w.tag(TagCode::DefineSprite, sprite.defineSprite(2));
    place(w, Place().at(1).of(2)).showFrame();
    w.showFrame().end();
    MoviePlayer player(load(w));
    Frame frame(100, 52);
    player.render(frame, player.viewport(100, 50));
    EXPECT_EQ(frame.pixel(25, 25), kRed);
    EXPECT_NE(frame.pixel(75, 25), kRed);
    player.advance();
    player.render(frame, player.viewport(100, 50));
    EXPECT_NE(frame.pixel(25, 25), kRed);
    EXPECT_EQ(frame.pixel(75, 25), kRed);
    player.gotoFrame(0); // the sprite stays on its own second frame
    player.render(frame, player.viewport(100, 50));
    EXPECT_EQ(frame.pixel(75, 25), kRed);
}

TEST(MoviePlayerPixels, TextAndBitmapFillsShowTheirColours) {
    ShapeBuilder glyph(1);
    glyph.styles(0, 1).rectangle(0, -1024, 1024, 0);
    SwfWriter w = stage(100, 100);
    w.tag(TagCode::DefineFont, defineFont1(1, {glyph.glyphShape()}));
    TextLine line;
    line.height = 600; // a 30-pixel square glyph
    line.r = 255;
    line.x = 200;
    line.y = 800;
    line.glyphs = {{0, 600}};
    w.tag(TagCode::DefineText2, defineText2(2, 0, 2000, 0, 2000, {line}));
    std::vector<uint8_t> raw;
    for (int i = 0; i < 8 * 8; ++i)
        raw.insert(raw.end(), {255, 0, 0, 255}); // pad, red 0, green 0, blue 255
    SwfBits bitmap;
    bitmap.u16(3).bytes(losslessBody(5, 8, 8, raw));
    w.tag(TagCode::DefineBitsLossless, bitmap.data());
    ShapeBuilder filled(3);
    const int fill = filled.bitmapFill(3, 0x40, 20);
    filled.styles(0, fill).rectangle(0, 1000, 2000, 2000);
    w.tag(TagCode::DefineShape3, filled.defineShape(4, 0, 2000, 1000, 2000));
    place(w, Place().at(1).of(2));
    place(w, Place().at(2).of(4)).showFrame().end();
    const Frame frame = renderFirstFrame(w, 100, 100);
    EXPECT_EQ(frame.pixel(25, 25), kRed); // glyph covers x 10..40, y 10..40
    EXPECT_EQ(frame.pixel(45, 25), makeColor(10, 20, 30));
    EXPECT_EQ(frame.pixel(50, 75), kBlue);
}

// Every sample movie plays and draws without warnings. With SWIVIO_SWF_CORPUS_DIR set, the
// movies are also written there (the seed corpus of the movie fuzzer).
TEST(SampleMovies, EachLoadsPlaysAndDraws) {
    const char* corpus = std::getenv("SWIVIO_SWF_CORPUS_DIR");
    for (const auto& [name, bytes] : sampleMovies()) {
        SCOPED_TRACE(name);
        if (corpus) {
            ASSERT_TRUE(writeBytes(std::string(corpus) + "/" + name + ".swf", bytes));
        }
        auto movie = Movie::load(bytes);
        ASSERT_TRUE(movie.ok()) << movie.message();
        EXPECT_TRUE((*movie)->warnings().empty()) << (*movie)->warnings().front();
        MoviePlayer player(*movie);
        Frame frame(120, 88);
        for (int i = 0; i < 3; ++i) {
            EXPECT_FALSE(player.commands().empty());
            frame.fill(player.backgroundColor());
            player.render(frame, player.viewport(120, 88));
            int drawn = 0;
            for (int y = 0; y < frame.height(); ++y)
                for (int x = 0; x < frame.width(); ++x)
                    drawn += frame.pixel(x, y) != player.backgroundColor();
            EXPECT_GT(drawn, 50);
            player.advance();
        }
    }
}

} // namespace
} // namespace swivio::swf

namespace swivio::swf {
namespace {

TEST(MoviePlayerPixels, BitmapPlacedByItselfCoversItsOwnSize) {
    std::vector<uint8_t> raw;
    for (int i = 0; i < 20 * 10; ++i)
        raw.insert(raw.end(), {255, 0, 0, 255}); // pad, red, green, blue: blue
    SwfBits bitmap;
    bitmap.u16(1).bytes(losslessBody(5, 20, 10, raw));
    SwfWriter w = stage(100, 100);
    w.tag(TagCode::DefineBitsLossless, bitmap.data());
    place(w, Place().at(1).of(1).translate(200, 400)).showFrame().end();
    const Frame frame = renderFirstFrame(w, 100, 100);
    EXPECT_EQ(frame.pixel(11, 21), kBlue);
    EXPECT_EQ(frame.pixel(29, 29), kBlue);
    EXPECT_EQ(frame.pixel(31, 25), makeColor(10, 20, 30));
    EXPECT_EQ(frame.pixel(20, 31), makeColor(10, 20, 30));
}

} // namespace
} // namespace swivio::swf
