// BitmapData pixel operations, on pixels directly and through the interpreter as a script
// calls them. Expected pixels are worked out by hand from the documented formulas or are a
// player's recorded answers.
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "swf/avm1/interpreter.h"
#include "swf/image/bitmap_ops.h"

namespace swivio::swf::avm1 {
namespace {

using image::BitmapPixels;
using image::PixelRect;

// A bitmap of one straight-alpha colour.
BitmapPixels filled(int w, int h, bool transparent, uint32_t argb) {
    BitmapPixels bitmap;
    bitmap.width = w;
    bitmap.height = h;
    bitmap.transparent = transparent;
    bitmap.pixels.assign(std::size_t(w) * h, bitmap.storedForm(argb));
    return bitmap;
}

TEST(BitmapOps, StorageLosesWhatPremultiplyingRounds) {
    const std::pair<uint32_t, uint32_t> cases[] = {
        {0xAABBCCDD, 0xAABBCCDC},
        {0x12345678, 0x12395571},
        {0x00FFFFFF, 0x00000000}, // no alpha keeps no colour
        {0xFF010203, 0xFF010203},
    };
    for (const auto& [given, read] : cases)
        EXPECT_EQ(image::unmultiplyArgb(image::premultiplyArgb(given)), read) << std::hex << given;
}

TEST(BitmapOps, MergeMixesStraightChannelsInSteps) {
    // Flash's answer: alpha from the source whole, each colour (s * m + d * (256 - m)) / 256.
    BitmapPixels dest = filled(3, 3, true, 0xAABBCCDD);
    const BitmapPixels source = filled(3, 3, true, 0x12345678);
    image::merge(dest, source, {0, 0, 2, 2}, 1, 1, {256, 32, 64, 128});
    EXPECT_EQ(dest.straight(0, 0), 0xAABBCCDCu);
    EXPECT_EQ(dest.straight(1, 1), 0x12AAAAAAu);
    EXPECT_EQ(dest.straight(2, 2), 0x12AAAAAAu);
    // Multipliers past 256 take the source whole; below 0 keep the destination.
    BitmapPixels clamped = filled(1, 1, false, 0xFF102030);
    image::merge(clamped, filled(1, 1, false, 0xFF405060), {0, 0, 1, 1}, 0, 0, {0, 999, -5, 128});
    EXPECT_EQ(clamped.straight(0, 0), 0xFF402048u);
}

TEST(BitmapOps, PaletteMapSumsTheTablesEntries) {
    BitmapPixels dest = filled(1, 1, true, 0);
    const BitmapPixels source = filled(1, 1, false, 0xFF345678);
    std::array<image::PaletteTable, 4> tables; // alpha, red, green, blue
    auto& red = tables[1].emplace();
    for (uint32_t i = 0; i < 256; ++i)
        red[i] = 256 - i;
    image::paletteMap(dest, source, {0, 0, 1, 1}, 0, 0, tables);
    // 0xFF000000 + 0x5600 + 0x78 kept, plus red's entry 256 - 0x34 = 0xCC.
    EXPECT_EQ(dest.straight(0, 0), 0xFF005744u);
}

TEST(BitmapOps, ThresholdTestsMaskedColours) {
    using image::ThresholdTest;
    struct Case {
        ThresholdTest test;
        uint32_t threshold, mask;
        int passed;
    };
    // Source pixels: 0xFF000010 and 0xFF000020.
    const Case cases[] = {
        {ThresholdTest::Less, 0xFF000020, 0xFFFFFFFF, 1},
        {ThresholdTest::LessOrEqual, 0xFF000020, 0xFFFFFFFF, 2},
        {ThresholdTest::Greater, 0xFF000010, 0xFFFFFFFF, 1},
        {ThresholdTest::GreaterOrEqual, 0xFF000030, 0xFFFFFFFF, 0},
        {ThresholdTest::Equal, 0x00000010, 0x000000FF, 1},
        {ThresholdTest::NotEqual, 0xFF000099, 0xFF000000, 0},
    };
    BitmapPixels source = filled(2, 1, false, 0xFF000010);
    source.setStraight(1, 0, 0xFF000020);
    for (const Case& c : cases) {
        BitmapPixels dest = filled(2, 1, true, 0);
        const int passed = image::threshold(dest, source, {0, 0, 2, 1}, 0, 0, c.test, c.threshold,
                                            0xFFFF0000, c.mask, true);
        EXPECT_EQ(passed, c.passed) << int(c.test);
        // Pixels that fail take the source's colour, as copySource asks.
        int red = 0;
        for (int x = 0; x < 2; ++x)
            red += dest.straight(x, 0) == 0xFFFF0000u;
        EXPECT_EQ(red, c.passed) << int(c.test);
    }
}

TEST(BitmapOps, CopyChannelMovesOneChannel) {
    struct Case {
        int from, to;
        uint32_t before, after;
    };
    const Case cases[] = {
        {1, 4, 0xFF000000, 0xFF000011}, // red into blue
        {4, 2, 0xFF000000, 0xFF003300}, // blue into green
        {2, 8, 0xFF000000, 0x22000000}, // green into alpha
        {1, 6, 0xFF0000FF, 0xFF0000FF}, // several destination channels: nothing moves
        {3, 4, 0xFF0000FF, 0xFF000000}, // several source channels: the channel clears
    };
    const BitmapPixels source = filled(1, 1, false, 0xFF112233);
    for (const Case& c : cases) {
        BitmapPixels dest = filled(1, 1, true, c.before);
        image::copyChannel(dest, source, {0, 0, 1, 1}, 0, 0, c.from, c.to);
        EXPECT_EQ(dest.straight(0, 0), c.after) << c.from << "->" << c.to;
    }
}

TEST(BitmapOps, CopyChannelIntoItselfSeesWhatItWrote) {
    // Blue at the left end only; copied one pixel right, the blue runs to the end.
    BitmapPixels bitmap = filled(4, 1, false, 0xFF000000);
    bitmap.setStraight(0, 0, 0xFF0000FF);
    image::copyChannel(bitmap, bitmap, {0, 0, 4, 1}, 1, 0, 4, 4);
    for (int x = 0; x < 4; ++x)
        EXPECT_EQ(bitmap.straight(x, 0), 0xFF0000FFu) << x;
    // copyPixels reads the area before it writes.
    BitmapPixels copied = filled(4, 1, false, 0xFF000000);
    copied.setStraight(0, 0, 0xFF0000FF);
    image::copyPixels(copied, copied, {0, 0, 4, 1}, 1, 0);
    EXPECT_EQ(copied.straight(1, 0), 0xFF0000FFu);
    EXPECT_EQ(copied.straight(2, 0), 0xFF000000u);
}

TEST(BitmapOps, CopiesClipToBothBitmaps) {
    BitmapPixels source = filled(3, 3, false, 0xFF000000);
    source.setStraight(0, 0, 0xFF0000FF);
    struct Case {
        PixelRect rect;
        int dx, dy;
        int blueX, blueY; // where source (0, 0) lands; -1 when nowhere
    };
    const Case cases[] = {
        {{-1, -1, 3, 3}, 0, 0, 1, 1},  // a corner left of the source moves the destination
        {{0, 0, 3, 3}, -1, 0, -1, -1}, // the destination cuts the first column
        {{0, 0, 3, 3}, 2, 2, 2, 2},    {{0, 0, 3, 3}, 5, 0, -1, -1}, {{0, 0, -4, 3}, 0, 0, -1, -1},
    };
    for (const Case& c : cases) {
        BitmapPixels dest = filled(3, 3, false, 0xFFFFFFFF);
        image::merge(dest, source, c.rect, c.dx, c.dy, {256, 256, 256, 256});
        int found = 0;
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 3; ++x)
                if (dest.straight(x, y) == 0xFF0000FFu) {
                    EXPECT_EQ(x, c.blueX);
                    EXPECT_EQ(y, c.blueY);
                    ++found;
                }
        EXPECT_EQ(found, c.blueX < 0 ? 0 : 1) << c.rect.x << "," << c.dx;
    }
}

// Pixels of 3 x 3 opaque bitmaps as the player drew them.
TEST(BitmapOps, SeededNoiseMatchesThePlayer) {
    struct Case {
        const char* what;
        std::function<void(BitmapPixels&)> draw;
        uint32_t at00, at10, at22;
    };
    auto perlin = [](double base, int octaves, bool stitch, bool fractal, int channels, bool gray) {
        return [=](BitmapPixels& bitmap) {
            image::PerlinOptions options;
            options.baseX = base;
            options.baseY = base == 3 ? 3 : 80;
            options.octaves = octaves;
            options.seed = 100;
            options.stitch = stitch;
            options.fractalNoise = fractal;
            options.channels = channels;
            options.grayScale = gray;
            image::perlinNoise(bitmap, options);
        };
    };
    const Case cases[] = {
        {"turbulence", perlin(3, 4, false, false, 7, false), 0xFF000000, 0xFF412335, 0xFF812B26},
        {"stitched fractal grey", perlin(100, 4, true, true, 1, true), 0xFF7F7F7F, 0xFF858585,
         0xFF6B6B6B},
        {"noise", [](BitmapPixels& b) { image::noise(b, 128, 0, 255, 7, false); }, 0xFF8090E0,
         0xFF3A441C, 0xFF6CC38B},
    };
    for (const Case& c : cases) {
        BitmapPixels bitmap = filled(3, 3, false, 0);
        c.draw(bitmap);
        EXPECT_EQ(bitmap.straight(0, 0), c.at00) << c.what;
        EXPECT_EQ(bitmap.straight(1, 0), c.at10) << c.what;
        EXPECT_EQ(bitmap.straight(2, 2), c.at22) << c.what;
    }
}

TEST(BitmapOps, PixelDissolveTakesEachPixelOnceAndGoesOnFromTheSeedItAnswers) {
    const std::pair<int, int> sizes[] = {{1, 1}, {2, 2}, {3, 5}, {16, 16}, {33, 7}, {700, 300}};
    for (const auto& [w, h] : sizes) {
        const int total = w * h;
        for (int32_t seed : {-1, 0, 100, 0x7FFFFFFF}) {
            BitmapPixels bitmap = filled(w, h, false, 0xFF000000);
            auto white = [&] {
                return int(std::count(bitmap.pixels.begin(), bitmap.pixels.end(), 0xFFFFFFFFu));
            };
            const int half = total / 2;
            const int32_t next =
                image::pixelDissolve(bitmap, bitmap, {0, 0, w, h}, 0, 0, seed, half, 0xFFFFFFFF);
            EXPECT_EQ(white(), half) << w << "x" << h << " seed " << seed;
            image::pixelDissolve(bitmap, bitmap, {0, 0, w, h}, 0, 0, next, total - half,
                                 0xFFFFFFFF);
            EXPECT_EQ(white(), total) << w << "x" << h << " seed " << seed;
        }
    }
}

TEST(BitmapOps, ColorBoundsAndScroll) {
    BitmapPixels bitmap = filled(4, 4, false, 0xFF000000);
    bitmap.setStraight(1, 2, 0xFFFF0000);
    bitmap.setStraight(2, 3, 0xFFFF0000);
    const PixelRect found = image::colorBoundsRect(bitmap, 0xFFFF0000, 0xFFFF0000, true);
    EXPECT_EQ(std::vector<int>({found.x, found.y, found.width, found.height}),
              std::vector<int>({1, 2, 2, 2}));
    image::scroll(bitmap, -1, -2);
    EXPECT_EQ(bitmap.straight(0, 0), 0xFFFF0000u);
    EXPECT_EQ(bitmap.straight(1, 1), 0xFFFF0000u);
    // What scrolled in from outside stays as it was.
    EXPECT_EQ(bitmap.straight(2, 3), 0xFFFF0000u);
}

// ---- Through the interpreter ----

class NullHost : public ScriptHost {
public:
    void traceLine(std::string_view) override {}
    void scriptError(std::string_view) override {}
};

class BitmapDataScript : public ::testing::Test {
protected:
    NullHost host;
    Interpreter vm{host, 8};

    Value global(std::string_view a, std::string_view b, std::string_view c) {
        return vm.getMember(vm.getMember(vm.getMember(vm.global(), a), b), c);
    }
    Value bitmap(int w, int h, bool transparent, double fill) {
        std::vector<Value> args = {w, h, transparent, fill};
        return vm.construct(global("flash", "display", "BitmapData"), args);
    }
    Value geom(std::string_view name, std::vector<Value> args) {
        return vm.construct(global("flash", "geom", name), args);
    }
    std::string call(const Value& object, std::string_view method, std::vector<Value> args) {
        return vm.toString(vm.callMethod(object, method, args));
    }
};

TEST_F(BitmapDataScript, UnfitArgumentsAnswerTheirStep) {
    const Value target = bitmap(3, 3, true, 0);
    const Value source = bitmap(3, 3, true, 0);
    const Value disposed = bitmap(3, 3, true, 0);
    vm.callMethod(disposed, "dispose", {});
    const Value rect = geom("Rectangle", {0, 0, 2, 2});
    const Value point = geom("Point", {1, 1});
    const Value plain = vm.makeObject();
    struct Case {
        const char* method;
        std::vector<Value> args;
        const char* expected;
    };
    const Case cases[] = {
        {"merge", {source, rect, point, 1, 1}, "-1"}, // too few
        {"merge", {plain, rect, point, 1, 1, 1}, "-2"},
        {"merge", {disposed, rect, point, 1, 1, 1}, "-3"},
        {"merge", {source, plain, point, 1, 1, 1}, "-4"},
        {"colorTransform", {rect, plain}, "-3"},
        {"hitTest", {plain, 0, target}, "-2"}, // a point needs x and y of its own
        {"hitTest", {point, 0, disposed}, "-3"},
        {"hitTest", {point, 0, source, plain}, "-4"},
        {"threshold", {source, rect, point, "equals", 0}, "0"},
        {"compare", {source}, "0"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(call(target, c.method, c.args), c.expected) << c.method;
}

TEST_F(BitmapDataScript, HitTestReadsAlphaAgainstSignedThresholds) {
    const Value target = bitmap(3, 3, true, 0x80FFFFFF);
    const Value at = geom("Point", {1, 1});
    struct Case {
        double threshold;
        double x, y;
        const char* expected;
    };
    const Case cases[] = {
        {0x80, 1, 1, "true"}, {0x81, 1, 1, "false"}, {-1, 1, 1, "true"},
        {0, 0, 0, "false"},   {0, 3, 3, "true"},     {0, 4, 4, "false"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(call(target, "hitTest", {at, c.threshold, geom("Point", {c.x, c.y})}), c.expected)
            << c.threshold << " at " << c.x;
}

TEST_F(BitmapDataScript, ApplyFilterRunsAColourMatrixOverTheArea) {
    // Swaps red and blue.
    std::vector<Value> rows;
    for (double v : {0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1, 0})
        rows.emplace_back(v);
    const Value matrix = vm.makeArray(rows);
    std::vector<Value> filterArgs = {matrix};
    const Value filter = vm.construct(global("flash", "filters", "ColorMatrixFilter"), filterArgs);
    const Value source = bitmap(3, 1, false, 0xFF102030);
    const Value target = bitmap(3, 1, false, 0xFF000000);
    EXPECT_EQ(call(target, "applyFilter",
                   {source, geom("Rectangle", {0, 0, 2, 1}), geom("Point", {1, 0}), filter}),
              "0");
    EXPECT_EQ(call(target, "getPixel", {0, 0}), "0");
    EXPECT_EQ(call(target, "getPixel", {1, 0}), std::to_string(0x302010));
    EXPECT_EQ(call(target, "getPixel", {2, 0}), std::to_string(0x302010));
    // Not a filter: nothing happens.
    EXPECT_EQ(call(target, "applyFilter",
                   {source, geom("Rectangle", {0, 0, 2, 1}), geom("Point", {0, 0}),
                    Value(vm.makeObject())}),
              "-1");
    EXPECT_EQ(call(target, "getPixel", {0, 0}), "0");
}

} // namespace
} // namespace swivio::swf::avm1
