// One renderer drawing frame after frame keeps gradient ramps and scan buffers between
// shapes; nothing kept may leak one shape's colours into another's.
#include <gtest/gtest.h>

#include "tests/swf/raster/raster_test_util.h"

namespace swivio::swf {
namespace {

using namespace testing;

std::vector<GradientStop> twoStops(Rgba a, Rgba b) {
    return {{0, a}, {255, b}};
}

Frame renderWith(Renderer& renderer, const RenderCommandList& commands, int w, int h,
                 const BitmapLookup& bitmaps) {
    Frame frame(w, h);
    frame.fill(makeColor(0, 0, 0));
    renderer.render(commands, bitmaps, identityViewport(w, h), frame);
    return frame;
}

struct RampCase {
    const char* name;
    std::vector<GradientStop> stops;
    Interpolation interpolation;
    ColorTransform ct;
    Rgba left, right; // expected at the ends, black background
};

// The same gradient shape drawn first plain, then with one thing changed: the second
// drawing must show its own colours, whether in the same frame or the next.
class RasterRampReuse : public ::testing::TestWithParam<RampCase> {};

TEST_P(RasterRampReuse, EachVariantShowsItsOwnColours) {
    const RampCase& c = GetParam();
    auto plain =
        makeShape({gradientFill(FillType::LinearGradient, twoStops(rgb(255, 0, 0), rgb(0, 0, 255)),
                                gradientBox(0, 100, 5))},
                  rectangle(0, 0, 100, 10));
    FillStyle changed = gradientFill(FillType::LinearGradient, c.stops, gradientBox(0, 100, 15));
    changed.gradient.interpolation = c.interpolation;
    auto variant = makeShape({changed}, rectangle(0, 10, 100, 20));
    MapBitmaps none;
    Renderer renderer;
    for (int frameIndex = 0; frameIndex < 2; ++frameIndex) {
        const Frame f = renderWith(renderer, {draw(plain), draw(variant, {}, c.ct)}, 100, 20, none);
        EXPECT_TRUE(near(at(f, 0, 5), rgb(255, 0, 0), 3)) << c.name;
        EXPECT_TRUE(near(at(f, 99, 5), rgb(0, 0, 255), 3)) << c.name;
        EXPECT_TRUE(near(at(f, 0, 15), c.left, 3))
            << c.name << " " << ::testing::PrintToString(at(f, 0, 15));
        EXPECT_TRUE(near(at(f, 99, 15), c.right, 3))
            << c.name << " " << ::testing::PrintToString(at(f, 99, 15));
    }
}

ColorTransform noRed() {
    ColorTransform ct;
    ct.mr = 0;
    ct.ag = 255;
    return ct;
}

INSTANTIATE_TEST_SUITE_P(
    Variants, RasterRampReuse,
    ::testing::Values(RampCase{"colour transform", twoStops(rgb(255, 0, 0), rgb(0, 0, 255)),
                               Interpolation::Rgb, noRed(), rgb(0, 255, 0), rgb(0, 255, 255)},
                      RampCase{"stop alpha",
                               twoStops(rgb(255, 0, 0, 128), rgb(0, 0, 255)),
                               Interpolation::Rgb,
                               {},
                               rgb(128, 0, 0),
                               rgb(0, 0, 255)},
                      RampCase{"stop ratio",
                               {{0, rgb(255, 0, 0)}, {1, rgb(0, 0, 255)}},
                               Interpolation::Rgb,
                               {},
                               rgb(0, 0, 255),
                               rgb(0, 0, 255)},
                      RampCase{"stop colour",
                               twoStops(rgb(0, 255, 0), rgb(0, 0, 255)),
                               Interpolation::Rgb,
                               {},
                               rgb(0, 255, 0),
                               rgb(0, 0, 255)}),
    [](const ::testing::TestParamInfo<RampCase>& param) {
        std::string name = param.param.name;
        for (char& ch : name) {
            if (ch == ' ') {
                ch = '_';
            }
        }
        return name;
    });

TEST(RasterRampReuse, InterpolationIsPartOfTheGradient) {
    // Same stops, linear-light mixing: the middle must come out brighter than plain mixing.
    auto make = [](Interpolation interpolation, double y) {
        FillStyle f =
            gradientFill(FillType::LinearGradient, twoStops(rgb(255, 0, 0), rgb(0, 255, 0)),
                         gradientBox(0, 100, y + 5));
        f.gradient.interpolation = interpolation;
        return makeShape({f}, rectangle(0, y, 100, y + 10));
    };
    MapBitmaps none;
    Renderer renderer;
    const Frame f = renderWith(
        renderer, {draw(make(Interpolation::Rgb, 0)), draw(make(Interpolation::LinearRgb, 10))},
        100, 20, none);
    EXPECT_GT(at(f, 50, 15).r, at(f, 50, 5).r + 30);
    EXPECT_GT(at(f, 50, 15).g, at(f, 50, 5).g + 30);
}

// A repeating bitmap placed a whole number of tiles away, far enough that its
// coordinates leave the fast integer range, tiles exactly as it does near the origin.
TEST(RasterBitmapReuse, FarTilesMatchNearTiles) {
    Bitmap b;
    b.width = 4;
    b.height = 2;
    for (int i = 0; i < 8; ++i) {
        b.pixels.push_back(0xFF000000u | uint32_t(i * 30) | uint32_t(255 - i * 30) << 8);
    }
    MapBitmaps bitmaps;
    bitmaps.add(1, b);
    auto tiled = [](double tilesAway, FillType type) {
        FillStyle f;
        f.type = type;
        f.bitmapId = 1;
        const double shift = tilesAway * 4 * kTwips;
        f.matrix = {kTwips, 0, 0, kTwips, shift, shift / 2};
        return makeShape({f}, rectangle(0, 0, 16, 8));
    };
    for (FillType type : {FillType::RepeatingBitmap, FillType::RepeatingBitmapHard}) {
        Renderer renderer;
        const Frame near0 = renderWith(renderer, {draw(tiled(0, type))}, 16, 8, bitmaps);
        const Frame far = renderWith(renderer, {draw(tiled(-4e8, type))}, 16, 8, bitmaps);
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 16; ++x) {
                ASSERT_EQ(at(near0, x, y), at(far, x, y)) << x << "," << y;
            }
        }
        // And the tiles really are the bitmap's pixels.
        EXPECT_EQ(at(near0, 5, 0), at(near0, 1, 0));
        EXPECT_NE(at(near0, 1, 0), at(near0, 2, 0));
    }
}

} // namespace
} // namespace swivio::swf
