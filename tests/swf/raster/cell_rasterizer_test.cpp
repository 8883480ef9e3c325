#include <cmath>
#include <numbers>
#include <ostream>
#include <string>
#include <vector>

#include <agg_rasterizer_scanline_aa.h>
#include <agg_scanline_u.h>
#include <gtest/gtest.h>

#include "swf/raster/cell_rasterizer.h"

namespace swivio::swf::raster {
namespace {

// A path: polygons of points in pixels, each closed.
using Polygon = std::vector<std::pair<double, double>>;

struct Case {
    std::string name;
    int width, height;
    bool nonZero;
    std::vector<Polygon> polygons;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

// Per-pixel coverage, row-major.
using Coverage = std::vector<uint8_t>;

// AGG's own rasterizer, which sorts its cells: the reference.
Coverage referenceCoverage(const Case& c) {
    agg::rasterizer_scanline_aa<agg::rasterizer_sl_clip_dbl> ras;
    ras.clip_box(0, 0, c.width, c.height);
    ras.filling_rule(c.nonZero ? agg::fill_non_zero : agg::fill_even_odd);
    for (const Polygon& p : c.polygons) {
        ras.move_to_d(p[0].first, p[0].second);
        for (std::size_t i = 1; i < p.size(); ++i) {
            ras.line_to_d(p[i].first, p[i].second);
        }
        ras.close_polygon();
    }
    Coverage out(std::size_t(c.width) * c.height, 0);
    if (!ras.rewind_scanlines()) {
        return out;
    }
    agg::scanline_u8 sl;
    sl.reset(ras.min_x(), ras.max_x());
    while (ras.sweep_scanline(sl)) {
        unsigned n = sl.num_spans();
        for (auto span = sl.begin(); n--; ++span) {
            for (int i = 0; i < span->len; ++i) {
                const int x = span->x + i;
                if (x < c.width && sl.y() < c.height) {
                    out[std::size_t(sl.y()) * c.width + x] = span->covers[i];
                }
            }
        }
    }
    return out;
}

Coverage gridCoverage(CellRasterizer& ras, const Case& c) {
    ras.clipBox(c.width, c.height);
    ras.fillingRule(c.nonZero);
    for (const Polygon& p : c.polygons) {
        ras.moveTo(p[0].first, p[0].second);
        for (std::size_t i = 1; i < p.size(); ++i) {
            ras.lineTo(p[i].first, p[i].second);
        }
        ras.closePolygon();
    }
    Coverage out(std::size_t(c.width) * c.height, 0);
    int lastY = -1;
    ras.sweep([&](int y, const CellRasterizer::Span* spans, int count) {
        EXPECT_GT(y, lastY) << "rows out of order";
        lastY = y;
        int lastX = -1;
        for (int s = 0; s < count; ++s) {
            const CellRasterizer::Span& span = spans[s];
            EXPECT_GT(span.x, lastX) << "spans out of order on row " << y;
            if (span.x < 0 || span.x + span.len > c.width || y < 0 || y >= c.height) {
                ADD_FAILURE() << "a span outside the clip box on row " << y;
                continue;
            }
            for (int i = 0; i < span.len; ++i) {
                out[std::size_t(y) * c.width + span.x + i] =
                    span.run ? span.covers[0] : span.covers[i];
            }
            lastX = span.x + span.len - 1;
        }
    });
    return out;
}

Polygon star(double cx, double cy, double r, int points) {
    Polygon p;
    for (int i = 0; i < points * 2; ++i) {
        const double a = i * std::numbers::pi / points;
        const double k = i % 2 ? r * 0.4 : r;
        p.push_back({cx + k * std::sin(a), cy - k * std::cos(a)});
    }
    return p;
}

Polygon circle(double cx, double cy, double r, int steps) {
    Polygon p;
    for (int i = 0; i < steps; ++i) {
        const double a = i * 2 * std::numbers::pi / steps;
        p.push_back({cx + r * std::cos(a), cy + r * std::sin(a)});
    }
    return p;
}

// clang-format off
const Case kCases[] = {
    {"Square", 40, 40, true, {{{10, 10}, {30, 10}, {30, 30}, {10, 30}}}},
    {"SquareBetweenPixels", 40, 40, true,
     {{{10.3, 10.7}, {29.2, 10.7}, {29.2, 30.1}, {10.3, 30.1}}}},
    {"ThinSliver", 60, 20, true, {{{1, 5}, {58, 6.2}, {58, 6.5}, {1, 5.1}}}},
    {"SteepAndShallow", 50, 50, true, {{{2, 48}, {3, 1}, {48, 47}}}},
    {"StarNonZero", 64, 64, true, {star(32, 32, 28, 5)}},
    {"StarEvenOdd", 64, 64, false, {star(32, 32, 28, 5)}},
    {"HoleEvenOdd", 64, 64, false, {circle(32, 32, 25, 40), circle(32, 32, 12, 24)}},
    {"OverlapNonZero", 64, 64, true, {circle(25, 32, 18, 30), circle(40, 32, 18, 30)}},
    {"OppositeWindingCancels", 40, 40, true,
     {{{5, 5}, {35, 5}, {35, 35}, {5, 35}}, {{10, 10}, {10, 30}, {30, 30}, {30, 10}}}},
    {"ClippedOnEverySide", 30, 30, true, {{{-20, -7}, {52, 3}, {41, 55}, {-9, 40}}}},
    {"WhollyOutside", 30, 30, true, {{{-20, -20}, {-5, -20}, {-5, -5}}}},
    {"LeftOfTheBoxStillCovers", 30, 30, false, {{{-20, 5}, {-5, 5}, {-5, 25}, {-20, 25}}}},
    {"RightEdgeOfTheSurface", 30, 30, true, {{{20.5, 3}, {30, 3}, {30, 27.5}, {20.5, 27.5}}}},
    // Many bands of rows: lines cross several, both downwards and upwards.
    {"SweptInBands", 2048, 1100, true, {{{3.5, 2.25}, {2040.2, 540.6}, {1000.7, 1098.1}}}},
    {"UprightSidesSweptInBands", 2048, 1100, false,
     {{{100.25, 3.5}, {1900.5, 3.5}, {1900.5, 1090.75}, {100.25, 1090.75}},
      {{600.5, 1080.2}, {601.25, 7.7}, {603.75, 1000.1}}}},
};
// clang-format on

class CellRasterizerMatchesAgg : public ::testing::TestWithParam<Case> {};

TEST_P(CellRasterizerMatchesAgg, CoverageIsTheSame) {
    const Case& c = GetParam();
    CellRasterizer ras;
    const Coverage expected = referenceCoverage(c);
    // Twice with one rasterizer: the grid must be left clean by the first sweep.
    for (int pass = 0; pass < 2; ++pass) {
        const Coverage got = gridCoverage(ras, c);
        for (int y = 0; y < c.height; ++y) {
            for (int x = 0; x < c.width; ++x) {
                const std::size_t i = std::size_t(y) * c.width + x;
                ASSERT_EQ(int(got[i]), int(expected[i]))
                    << "pass " << pass << " at " << x << "," << y;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Paths, CellRasterizerMatchesAgg, ::testing::ValuesIn(kCases),
                         [](const auto& param) { return param.param.name; });

TEST(CellRasterizer, EmptyPathTouchesNothing) {
    CellRasterizer ras;
    ras.clipBox(10, 10);
    ras.moveTo(2, 2);
    ras.lineTo(8, 2); // a horizontal line bounds no area
    EXPECT_FALSE(ras.sweep(
        [](int, const CellRasterizer::Span*, int) { ADD_FAILURE() << "a row of an empty path"; }));
}

} // namespace
} // namespace swivio::swf::raster
