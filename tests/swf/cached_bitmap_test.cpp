// An object cached as a bitmap shows at whole pixels: placed between pixels, its drawing
// moves to the nearest pixel corner instead of blurring across the pixels it straddles.
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "swf/movie.h"
#include "swf/movie_player.h"
#include "tests/support/swf_movies.h"
#include "tests/support/swf_shapes.h"

namespace swivio::swf {
namespace {

using namespace testkit;

constexpr uint32_t kWhite = makeColor(255, 255, 255);
constexpr uint32_t kBlue = makeColor(0, 0, 255);

struct CacheCase {
    std::string name;
    bool cached;
    int32_t x;       // the square's place, twips
    int scale;       // device pixels per stage pixel
    int first, last; // device columns the square covers wholly
    bool blurred;    // the columns either side are partly covered
};

void PrintTo(const CacheCase& c, std::ostream* os) {
    *os << c.name;
}

// A 40 x 10 pixel white stage with a blue square of 10 pixels at (x, 0), in a clip.
Frame renderSquare(const CacheCase& c) {
    SwfWriter w;
    w.version = 8;
    w.xMax = 40 * 20;
    w.yMax = 10 * 20;
    w.backgroundColor(255, 255, 255);
    w.tag(TagCode::DefineShape3, rectangleShape(1, 0, 0, 200, 200, 0, 0, 255));
    SpriteBuilder sprite;
    sprite.place(Place().at(1).of(1)).showFrame();
    w.tag(TagCode::DefineSprite, sprite.defineSprite(2));
    Place placed = Place().at(1).of(2).translate(c.x, 0);
    placed.cacheAsBitmap = c.cached;
    w.tag(TagCode::PlaceObject3, placeObject3(placed));
    w.showFrame().end();
    Frame frame(40 * c.scale, 10 * c.scale);
    auto movie = Movie::load(w.build());
    EXPECT_TRUE(movie.ok()) << movie.message();
    if (!movie)
        return frame;
    MoviePlayer player(*movie);
    player.render(frame, player.viewport(frame.width(), frame.height()));
    return frame;
}

class CachedBitmap : public ::testing::TestWithParam<CacheCase> {};

TEST_P(CachedBitmap, LandsOnWholePixels) {
    const CacheCase& c = GetParam();
    const Frame frame = renderSquare(c);
    const int y = frame.height() / 2;
    EXPECT_EQ(frame.pixel(c.first, y), kBlue);
    EXPECT_EQ(frame.pixel(c.last, y), kBlue);
    for (int x : {c.first - 1, c.last + 1}) {
        const uint32_t p = frame.pixel(x, y);
        if (c.blurred)
            EXPECT_TRUE(p != kWhite && p != kBlue) << "column " << x;
        else
            EXPECT_EQ(p, kWhite) << "column " << x;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Places, CachedBitmap,
    ::testing::Values(CacheCase{"not_cached_straddles", false, 250, 1, 13, 21, true},
                      CacheCase{"half_way_goes_on", true, 250, 1, 13, 22, false},
                      CacheCase{"under_half_goes_back", true, 245, 1, 12, 21, false},
                      CacheCase{"device_pixels_count", true, 245, 2, 25, 44, false}),
    [](const ::testing::TestParamInfo<CacheCase>& row) { return row.param.name; });

} // namespace
} // namespace swivio::swf
