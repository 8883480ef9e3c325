// Pictures kept as row spans, the record of what opaque drawing hides, and the frames they
// make: each checked against the straightforward way (whole surfaces, a pixel-by-pixel
// record, painting every shape from its edges).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>

#include "swf/raster/cover_rows.h"
#include "swf/raster/hidden_rows.h"
#include "swf/raster/pixel_ops.h"
#include "swf/raster/shape_cache.h"
#include "swf/raster/span_picture.h"
#include "tests/swf/raster/raster_test_util.h"

namespace swivio::swf {
namespace {

using namespace testing;
using raster::CoverRows;
using raster::PixelBox;
using raster::SpanPicture;
using raster::Surface;

// CoverRows against one flag per pixel: what it reports hidden must have been covered, and
// while a row has been given no more runs than it keeps, it must report exactly that.
TEST(RasterCoverRows, ReportsOnlyWhatWasCovered) {
    constexpr int kWidth = 64;
    std::mt19937 rng(7);
    for (int trial = 0; trial < 400; ++trial) {
        const int covers = trial % 16;
        CoverRows rows;
        rows.reset(1);
        std::vector<bool> hidden(kWidth, false);
        for (int i = 0; i < covers; ++i) {
            const int a = int(rng() % kWidth), b = int(rng() % (kWidth + 1));
            rows.cover(0, a, b);
            for (int x = a; x < b; ++x) {
                hidden[std::size_t(x)] = true;
            }
        }
        const int x0 = int(rng() % kWidth), x1 = x0 + int(rng() % (kWidth - x0 + 1));
        std::vector<bool> shown(kWidth, false);
        int last = x0;
        rows.forVisible(0, x0, x1, [&](int a, int b) {
            EXPECT_TRUE(a >= last && a < b && b <= x1) << trial; // ordered, within, disjoint
            last = b;
            for (int x = a; x < b; ++x) {
                shown[std::size_t(x)] = true;
            }
        });
        for (int x = x0; x < x1; ++x) {
            if (!hidden[std::size_t(x)]) {
                EXPECT_TRUE(shown[std::size_t(x)]) << trial << " x " << x;
            } else if (covers <= CoverRows::kRuns) {
                EXPECT_FALSE(shown[std::size_t(x)]) << trial << " x " << x;
            }
        }
    }
}

// HiddenRows against one flag per pixel: a row's stretch or a box is covered exactly when
// every pixel of it lies in a piece (pieces apart by a gap, as the planner makes them), and
// pieces out of row order cover nothing.
TEST(RasterHiddenRows, CoversExactlyThePiecesPixels) {
    constexpr int kSide = 24;
    std::mt19937 rng(31);
    for (int trial = 0; trial < 200; ++trial) {
        std::vector<raster::RowPiece> pieces;
        std::vector<uint8_t> flag(std::size_t(kSide) * kSide, 0);
        for (int y = 2; y < kSide - 2; ++y) {
            for (int x = int(rng() % 6); x < kSide; x += 2 + int(rng() % 6)) {
                const int end = std::min(kSide, x + 1 + int(rng() % 10));
                pieces.push_back({y, x, end});
                std::fill_n(flag.begin() + y * kSide + x, end - x, 1);
                x = end;
            }
        }
        raster::HiddenRows rows;
        rows.reset(pieces);
        auto all = [&](int x0, int y0, int x1, int y1) {
            bool covered = x0 < x1 && y0 < y1;
            for (int y = y0; y < y1; ++y) {
                for (int x = x0; x < x1; ++x) {
                    covered = covered && y >= 0 && y < kSide && x >= 0 && x < kSide &&
                              flag[std::size_t(y * kSide + x)];
                }
            }
            return covered;
        };
        for (int probe = 0; probe < 50; ++probe) {
            const int x0 = int(rng() % (kSide + 4)) - 2, y0 = int(rng() % (kSide + 4)) - 2;
            const int x1 = x0 + int(rng() % 8), y1 = y0 + int(rng() % 4);
            EXPECT_EQ(rows.coversBox(x0, y0, x1, y1), all(x0, y0, x1, y1))
                << trial << ": " << x0 << "," << y0 << " to " << x1 << "," << y1;
            EXPECT_EQ(rows.coversRow(y0, x0, x1), all(x0, y0, x1, y0 + 1)) << trial;
        }
        std::swap(pieces.front(), pieces.back());
        rows.reset(pieces);
        EXPECT_TRUE(rows.empty()) << trial;
    }
}

TEST(RasterCoverRows, RowsOutsideTheSurfaceAreWhollyVisible) {
    CoverRows rows;
    rows.reset(2);
    rows.cover(-1, 0, 10);
    rows.cover(2, 0, 10);
    for (int y : {-1, 2}) {
        int count = 0;
        rows.forVisible(y, 0, 10, [&](int a, int b) {
            EXPECT_EQ(a, 0);
            EXPECT_EQ(b, 10);
            ++count;
        });
        EXPECT_EQ(count, 1);
    }
}

// Pictures as the painter leaves them: a box of rows, each row some pattern of opaque,
// translucent and empty pixels.
struct SpanCase {
    const char* name;
    const char* rows[4]; // '#' opaque, '+' translucent, '.' empty; a row per picture row
};

uint32_t pixelOf(char c, int x, int y) {
    switch (c) {
    case '#':
        return raster::packPixel(uint32_t(40 + x), uint32_t(90 + y), 200, 255);
    case '+':
        return raster::packPixel(uint32_t(20 + x), 10, uint32_t(30 + y), 120);
    default:
        return 0;
    }
}

class RasterSpanPicture : public ::testing::TestWithParam<SpanCase> {};

TEST_P(RasterSpanPicture, ComposesAsTheWholeSurfaceWould) {
    const SpanCase& c = GetParam();
    constexpr int kSide = 16;
    Surface source(kSide, kSide);
    const PixelBox box{3, 2, 3 + 10, 2 + 4};
    for (int r = 0; r < 4; ++r) {
        for (int x = 0; x < 10; ++x) {
            source.row(box.y0 + r)[box.x0 + x] = pixelOf(c.rows[r][x], x, r);
        }
    }
    const SpanPicture picture(source, box);
    std::vector<uint8_t> mask(kSide * kSide);
    for (std::size_t i = 0; i < mask.size(); ++i) {
        mask[i] = uint8_t(i * 37);
    }
    // Placed at several columns, composed whole and clipped, with and without the mask.
    for (int left : {0, 2, 5}) {
        for (auto [from, to] : {std::pair{0, 10}, {2, 7}, {6, 6}, {-3, 20}}) {
            for (bool masked : {false, true}) {
                Surface expected(kSide, kSide), got(kSide, kSide);
                for (int y = 0; y < kSide; ++y) {
                    for (int x = 0; x < kSide; ++x) {
                        expected.row(y)[x] = got.row(y)[x] =
                            raster::packPixel(uint32_t(x * 9), uint32_t(y * 7), 60, 255);
                    }
                }
                const int a = std::max(from, 0), b = std::min(to, 10);
                for (int r = 0; r < 4; ++r) {
                    const int y = r + 5;
                    const uint8_t* maskRow = masked ? mask.data() + y * kSide : nullptr;
                    if (a < b) {
                        raster::composeOver(expected.row(y) + left + a,
                                            source.row(box.y0 + r) + box.x0 + a, b - a,
                                            maskRow ? maskRow + left + a : nullptr);
                    }
                    const int pr = r - picture.skippedRows();
                    if (pr >= 0 && pr < picture.height()) {
                        picture.composeRow(pr, a, b, got.row(y), left, maskRow);
                    }
                }
                for (int y = 0; y < kSide; ++y) {
                    for (int x = 0; x < kSide; ++x) {
                        ASSERT_EQ(got.row(y)[x], expected.row(y)[x])
                            << c.name << " left " << left << " from " << from << " to " << to
                            << " masked " << masked << " at " << x << "," << y;
                    }
                }
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, RasterSpanPicture,
    ::testing::Values(
        SpanCase{"opaque_box", {"##########", "##########", "##########", "##########"}},
        SpanCase{"rims", {"..+####+..", ".+######+.", "+########+", "..+####+.."}},
        SpanCase{"hole", {"###..#####", "##+..+####", "#........#", "####+....."}},
        SpanCase{"translucent", {"++++++++++", "..++++....", "+.+.+.+.+.", "........++"}},
        SpanCase{"empty_rows", {"..........", "...##.....", "..........", ".........."}},
        SpanCase{"empty", {"..........", "..........", "..........", ".........."}}),
    [](const ::testing::TestParamInfo<SpanCase>& row) { return std::string(row.param.name); });

// When the movie moves on to other shapes, a full store makes room for their pictures
// within a few frames, not only once the old ones have gone unused for long.
TEST(RasterPictureStore, AFullStoreTakesNewShapes) {
    constexpr int kSide = 300;
    constexpr std::size_t kBudget = std::size_t(2) << 20;
    Surface surface(kSide, kSide);
    raster::ShapePainter painter;
    raster::ShapeCache cache(kBudget);
    MapBitmaps none;
    raster::DrawTarget target;
    target.surface = &surface;
    const Matrix view{0.05, 0, 0, 0.05, 0, 0};
    // Pictures of some 310 KB each: the first eight fill the store.
    auto shapes = [](int first, int count) {
        std::vector<std::shared_ptr<const Shape>> out;
        for (int i = first; i < first + count; ++i) {
            out.push_back(
                makeShape({solidFill(rgb(uint8_t(i * 20), 0, 0))}, rectangle(i, 0, 270 + i, 270)));
        }
        return out;
    };
    auto play = [&](const std::vector<std::shared_ptr<const Shape>>& list, int frames) {
        for (int frame = 0; frame < frames; ++frame) {
            cache.beginFrame(none, kSide, kSide);
            painter.beginFrame();
            for (const auto& shape : list) {
                cache.draw(shape, {}, view, {}, none, target, painter);
            }
        }
    };
    play(shapes(0, 8), 3);
    const auto later = shapes(8, 4);
    play(later, 4);
    for (const auto& shape : later) {
        EXPECT_NE(cache.placement(shape, {}, view, {}, none, false).picture, nullptr);
    }
    EXPECT_LE(cache.pictureBytes(), kBudget);
}

// What the painter says an opaque shape hides must be painted opaque by it: random
// polygons and discs, turned and scaled, with both filling rules, against the same shape
// painted on a transparent surface.
TEST(RasterOpaqueInside, ReportsOnlyPixelsThePaintedShapeMakesOpaque) {
    constexpr int kSide = 80;
    std::mt19937 rng(11);
    auto coord = [&](int range) { return double(rng() % unsigned(range * 10)) / 10.0; };
    int reported = 0;
    for (int trial = 0; trial < 60; ++trial) {
        std::vector<std::pair<double, double>> points;
        for (int i = 0, n = 3 + trial % 7; i < n; ++i) {
            points.push_back({coord(kSide), coord(kSide)});
        }
        auto shape = makeShape(
            {solidFill(rgb(200, 40, 40)),
             gradientFill(FillType::LinearGradient, {{0, rgb(0, 0, 0)}, {255, rgb(255, 255, 255)}},
                          gradientBox(0, kSide, kSide / 2.0))},
            polygon(points, 0, uint16_t(1 + trial % 2)));
        shape->nonZeroWinding = trial % 3 == 0;
        const double turn = trial * 0.37, scale = 0.6 + (trial % 5) * 0.2;
        const Matrix object{scale * std::cos(turn), scale * std::sin(turn), -scale * std::sin(turn),
                            scale * std::cos(turn), coord(20) * kTwips,     coord(20) * kTwips};
        const Matrix view{1.0 / kTwips, 0, 0, 1.0 / kTwips, 0, 0};
        MapBitmaps none;
        raster::ShapePainter painter;
        std::vector<raster::RowPiece> inside;
        painter.opaqueInside(*shape, object, view, {}, none, kSide, kSide, inside);
        Surface surface(kSide, kSide);
        raster::DrawTarget target;
        target.surface = &surface;
        painter.draw(*shape, object, view, {}, none, target);
        for (const raster::RowPiece& piece : inside) {
            ASSERT_TRUE(piece.y >= 0 && piece.y < kSide && piece.x0 >= 0 && piece.x1 <= kSide);
            for (int x = piece.x0; x < piece.x1; ++x, ++reported) {
                ASSERT_EQ(raster::pixelA(surface.row(piece.y)[x]), 255u)
                    << "trial " << trial << " at " << x << "," << piece.y;
            }
        }
    }
    EXPECT_GT(reported, 1000); // the probe found insides to check
}

// Painting with pieces known to be hidden may change pixels only inside those pieces: thick
// lines of every join and cap (cut where they go under), fills, rows covered end to end and
// rows covered in part, against the same shape painted whole.
TEST(RasterHiddenPieces, PaintingChangesNothingOutsideThem) {
    constexpr int kSide = 80;
    std::mt19937 rng(23);
    auto coord = [&](int range) { return double(rng() % unsigned(range * 10)) / 10.0; };
    const JoinStyle joins[] = {JoinStyle::Round, JoinStyle::Bevel, JoinStyle::Miter};
    const CapStyle caps[] = {CapStyle::Round, CapStyle::None, CapStyle::Square};
    int hiddenPixels = 0;
    for (int trial = 0; trial < 60; ++trial) {
        std::vector<std::pair<double, double>> points;
        // Short steps along a wandering path, so that many lines fall under the pieces.
        double x = coord(kSide), y = coord(kSide);
        for (int i = 0, n = 4 + trial % 20; i < n; ++i) {
            points.push_back({x, y});
            x = std::clamp(x + coord(12) - 6, 0.0, double(kSide));
            y = std::clamp(y + coord(12) - 6, 0.0, double(kSide));
        }
        LineStyle line;
        line.width = uint16_t(10 + rng() % 240);
        line.color = rgb(20, 20, 160, trial % 4 ? 255 : 120);
        line.join = joins[trial % 3];
        line.startCap = line.endCap = caps[(trial / 3) % 3];
        line.miterLimit = float(1 + trial % 9);
        std::vector<Edge> edges = polygon(points, 0, trial % 2 ? 1 : 0, 1);
        if (trial % 5 == 0) {
            edges.pop_back(); // an open path
        }
        auto shape = makeShape({solidFill(rgb(200, 90, 40))}, edges, {line});
        // Hidden: a few boxes, as rows of pieces sorted by row and column.
        std::vector<uint8_t> hidden(std::size_t(kSide) * kSide, 0);
        for (int b = 0; b < 1 + trial % 4; ++b) {
            const int x0 = int(rng() % kSide), y0 = int(rng() % kSide);
            const int x1 = std::min(kSide, x0 + 10 + int(rng() % 50));
            const int y1 = std::min(kSide, y0 + 10 + int(rng() % 50));
            for (int py = y0; py < y1; ++py) {
                std::fill_n(hidden.begin() + py * kSide + x0, x1 - x0, 1);
            }
        }
        std::vector<raster::RowPiece> pieces;
        for (int py = 0; py < kSide; ++py) {
            for (int px = 0; px < kSide; ++px) {
                if (hidden[std::size_t(py * kSide + px)] &&
                    (px == 0 || !hidden[std::size_t(py * kSide + px - 1)])) {
                    pieces.push_back({py, px, px + 1});
                } else if (hidden[std::size_t(py * kSide + px)]) {
                    ++pieces.back().x1;
                }
            }
        }
        const std::span<const raster::RowPiece> span(pieces);
        const Matrix view{1.0 / kTwips, 0, 0, 1.0 / kTwips, 0, 0};
        MapBitmaps none;
        raster::ShapePainter painter;
        Surface whole(kSide, kSide), partial(kSide, kSide);
        raster::DrawTarget target;
        target.surface = &whole;
        painter.draw(*shape, {}, view, {}, none, target);
        target.surface = &partial;
        painter.draw(*shape, {}, view, {}, none, target, &span);
        for (int py = 0; py < kSide; ++py) {
            for (int px = 0; px < kSide; ++px) {
                if (hidden[std::size_t(py * kSide + px)]) {
                    hiddenPixels += whole.row(py)[px] != partial.row(py)[px];
                    continue;
                }
                ASSERT_EQ(whole.row(py)[px], partial.row(py)[px])
                    << "trial " << trial << " at " << px << "," << py;
            }
        }
    }
    EXPECT_GT(hiddenPixels, 2000); // the pieces did leave painting out
}

// Whole frames: shapes that cover one another, drawn frame after frame by one renderer
// (recorded or from pictures, the hidden parts left out) and by a renderer painting every
// shape from its edges.
constexpr int kW = 90, kH = 60;

std::shared_ptr<Shape> square(double x0, double y0, double x1, double y1, Rgba colour,
                              uint16_t width = 0) {
    std::vector<LineStyle> lines;
    if (width) {
        LineStyle line;
        line.width = width;
        line.color = rgb(0, 0, 0, 255);
        lines.push_back(line);
    }
    return makeShape({solidFill(colour)}, rectangle(x0, y0, x1, y1, 1, width ? 1 : 0), lines);
}

std::shared_ptr<Shape> disc(double cx, double cy, double r) {
    FillStyle fill =
        gradientFill(FillType::RadialGradient, {{0, rgb(250, 200, 0)}, {255, rgb(0, 80, 160)}},
                     gradientBox(cx - r, cx + r, cy));
    std::vector<std::pair<double, double>> points;
    for (int i = 0; i < 24; ++i) {
        points.push_back({cx + r * std::cos(i * M_PI / 12), cy + r * std::sin(i * M_PI / 12)});
    }
    return makeShape({fill}, polygon(points, 0, 1));
}

Filter blur() {
    Filter f;
    f.type = Filter::Type::Blur;
    f.blurX = f.blurY = 6;
    f.passes = 1;
    return f;
}

// The stage shown `scale` times its size: large enough, shapes are rasterized ahead and
// painted from their recordings on the first frame.
Frame paintWith(Renderer& renderer, const RenderCommandList& commands, int scale = 1) {
    static MapBitmaps none;
    const int w = kW * scale, h = kH * scale;
    Frame frame(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            frame.setPixel(x, y,
                           (x / 6 + y / 4) % 2 ? makeColor(240, 240, 30) : makeColor(10, 40, 90));
        }
    }
    RenderViewport viewport = identityViewport(w, h);
    viewport.stage = {0, kW * kTwips, 0, kH * kTwips};
    renderer.render(commands, none, viewport, frame);
    return frame;
}

int largestDifference(const Frame& a, const Frame& b) {
    int worst = 0;
    for (std::size_t i = 0; i < a.byteSize(); ++i) {
        worst = std::max(worst, std::abs(int(a.data()[i]) - int(b.data()[i])));
    }
    return worst;
}

struct SceneCase {
    const char* name;
    RenderCommandList commands;
};

class RasterOcclusion : public ::testing::TestWithParam<SceneCase> {};

TEST_P(RasterOcclusion, FramesLookAsWhenEveryShapeIsPainted) {
    const SceneCase& c = GetParam();
    Renderer edges;
    edges.setPictureReuse(false);
    for (const int scale : {1, 3}) {
        const Frame expected = paintWith(edges, c.commands, scale);
        Renderer kept;
        for (int frame = 0; frame < 4; ++frame) {
            EXPECT_LE(largestDifference(paintWith(kept, c.commands, scale), expected), 2)
                << c.name << " scale " << scale << " frame " << frame;
        }
    }
}

const Matrix kShift{1, 0, 0, 1, 7.4 * kTwips, 3.3 * kTwips};

// Many small shapes over one another, as in a busy cartoon: discs, outlined squares,
// turned ones and translucent ones; the lowest are wholly covered.
RenderCommandList crowd() {
    RenderCommandList commands;
    std::mt19937 rng(5);
    auto coord = [&](int range) { return double(rng() % unsigned(range)); };
    for (int i = 0; i < 40; ++i) {
        const double x = coord(kW), y = coord(kH), r = 4 + coord(12);
        const Matrix turn{std::cos(i * 0.3), std::sin(i * 0.3), -std::sin(i * 0.3),
                          std::cos(i * 0.3), 0.3 * i * kTwips,  0.1 * i * kTwips};
        switch (i % 4) {
        case 0:
            commands.push_back(draw(disc(x, y, r)));
            break;
        case 1:
            commands.push_back(draw(
                square(x - r, y - r, x + r, y + r, rgb(uint8_t(i * 6), 90, 40), uint16_t(20 + i)),
                turn));
            break;
        case 2:
            commands.push_back(draw(square(x - r, y - r, x + r, y + r, rgb(20, 20, 200, 150))));
            break;
        default:
            commands.push_back(draw(disc(x, y, r), kShift));
            break;
        }
    }
    commands.push_back(draw(disc(45, 30, 40))); // covers much of what went before
    return commands;
}

// A shape whose declared bounds leave out most of its edges, partly under another.
std::shared_ptr<Shape> lyingBounds() {
    auto shape = square(5, 5, 60, 55, rgb(200, 0, 200), 40);
    shape->bounds = {10 * kTwips, 12 * kTwips, 10 * kTwips, 12 * kTwips};
    return shape;
}

INSTANTIATE_TEST_SUITE_P(
    Scenes, RasterOcclusion,
    ::testing::Values(
        SceneCase{"opaque_over_opaque",
                  {draw(disc(30, 30, 25)), draw(square(10, 10, 60, 50, rgb(200, 30, 30), 60)),
                   draw(square(40, 5, 85, 40, rgb(30, 200, 30)), kShift)}},
        // One look drawn again and again: painted, then made a picture, then composed.
        SceneCase{"same_look_again",
                  [] {
                      const auto d = disc(30, 30, 25);
                      return RenderCommandList{draw(d), draw(square(20, 5, 85, 40, rgb(0, 90, 0))),
                                               draw(d), draw(d, kShift), draw(d)};
                  }()},
        SceneCase{"crowd", crowd()},
        // One look at many whole-pixel places, each over the last: what one drawing of it
        // hides is known from another's.
        SceneCase{
            "one_look_in_many_places",
            [] {
                const auto d = disc(20, 20, 14);
                RenderCommandList commands = {draw(square(5, 5, 85, 55, rgb(200, 0, 0)))};
                for (const auto& [x, y] :
                     {std::pair{0, 0}, {9, 3}, {21, 14}, {30, -2}, {44, 20}, {52, 9}, {38, 30}}) {
                    commands.push_back(
                        draw(d, Matrix{1, 0, 0, 1, double(x * kTwips), double(y * kTwips)}));
                }
                return commands;
            }()},
        SceneCase{"bounds_that_lie",
                  {draw(disc(30, 30, 25)), draw(lyingBounds()),
                   draw(square(30, 20, 70, 45, rgb(0, 120, 0)))}},
        SceneCase{"translucent_on_top",
                  {draw(disc(30, 30, 25)), draw(square(10, 10, 60, 50, rgb(200, 30, 30, 128)))}},
        SceneCase{"faded_on_top",
                  {draw(disc(30, 30, 25)), draw(square(10, 10, 60, 50, rgb(200, 30, 30)), {},
                                                [] {
                                                    ColorTransform ct;
                                                    ct.ma = 0.5f;
                                                    return ct;
                                                }())}},
        SceneCase{"masked_on_top",
                  {draw(disc(45, 30, 28)), command(RenderCommand::Kind::PushMask),
                   draw(square(0, 0, 45, 60, rgb(255, 255, 255))),
                   command(RenderCommand::Kind::BeginMasked),
                   draw(square(5, 5, 85, 55, rgb(30, 30, 200))),
                   command(RenderCommand::Kind::PopMask)}},
        SceneCase{"masked_below",
                  {command(RenderCommand::Kind::PushMask), draw(disc(45, 30, 20)),
                   command(RenderCommand::Kind::BeginMasked),
                   draw(square(5, 5, 85, 55, rgb(30, 30, 200))),
                   command(RenderCommand::Kind::PopMask),
                   draw(square(40, 0, 70, 60, rgb(200, 200, 200)))}},
        SceneCase{"blurred_layer_below",
                  {pushLayer(BlendMode::Normal, {blur()}), draw(disc(40, 30, 18)),
                   draw(square(30, 20, 70, 40, rgb(0, 255, 0))),
                   command(RenderCommand::Kind::PopLayer),
                   draw(square(45, 10, 80, 50, rgb(90, 0, 90)))}},
        SceneCase{"erase_after",
                  {pushLayer(BlendMode::Layer), draw(disc(40, 30, 25)),
                   draw(square(20, 10, 60, 50, rgb(200, 100, 0))), pushLayer(BlendMode::Erase),
                   draw(square(30, 0, 50, 60, rgb(255, 255, 255))),
                   command(RenderCommand::Kind::PopLayer), command(RenderCommand::Kind::PopLayer)}},
        SceneCase{"unbalanced",
                  {command(RenderCommand::Kind::PopLayer), command(RenderCommand::Kind::PopMask),
                   draw(disc(30, 30, 25)), pushLayer(BlendMode::Multiply),
                   draw(square(10, 10, 60, 50, rgb(128, 200, 90)))}}),
    [](const ::testing::TestParamInfo<SceneCase>& scene) { return std::string(scene.param.name); });

} // namespace
} // namespace swivio::swf
