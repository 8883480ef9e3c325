#include <gtest/gtest.h>

#include "tests/swf/raster/raster_test_util.h"

namespace swivio::swf {
namespace {

using namespace testing;

const Rgba kBlack = rgb(0, 0, 0);
const Rgba kWhite = rgb(255, 255, 255);
const Rgba kRed = rgb(255, 0, 0);
const Rgba kGreen = rgb(0, 255, 0);

LineStyle lineStyle(double widthPixels, Rgba c) {
    LineStyle l;
    l.width = uint16_t(widthPixels * kTwips);
    l.color = c;
    return l;
}

std::shared_ptr<Shape> strokeOnly(std::vector<Edge> edges, LineStyle style) {
    return makeShape({}, std::move(edges), {style});
}

// Rows (or columns) along a cross-section whose colour differs from the background.
int paintedAlongColumn(const Frame& f, int x, Rgba background) {
    int n = 0;
    for (int y = 0; y < f.height(); ++y) {
        n += at(f, x, y) != background;
    }
    return n;
}

TEST(RasterStroke, HairlineIsOnePixelWide) {
    // Width 0, and a width that scales below a pixel, are both drawn one pixel wide and
    // at full strength.
    for (double width : {0.0, 0.05}) {
        const Frame f = renderFrame(
            {draw(strokeOnly({line(5, 20, 35, 20, 0, 0, 1)}, lineStyle(width, kWhite)))});
        EXPECT_EQ(paintedAlongColumn(f, 20, kBlack), 1) << "width " << width;
        EXPECT_EQ(at(f, 20, 20), kWhite);
    }
    // Scaled down by the object's matrix to a tenth of a pixel: still a hairline.
    const Frame scaled =
        renderFrame({draw(strokeOnly({line(50, 200, 350, 200, 0, 0, 1)}, lineStyle(1, kWhite)),
                          Matrix{0.1, 0, 0, 0.1, 0, 0})});
    EXPECT_EQ(paintedAlongColumn(scaled, 20, kBlack), 1);
}

TEST(RasterStroke, ThickLineHasItsWidth) {
    const Frame f =
        renderFrame({draw(strokeOnly({line(5, 20, 35, 20, 0, 0, 1)}, lineStyle(10, kWhite)))});
    EXPECT_EQ(paintedAlongColumn(f, 20, kBlack), 10);
    EXPECT_EQ(at(f, 20, 15), kWhite);
    EXPECT_EQ(at(f, 20, 24), kWhite);
    EXPECT_EQ(at(f, 20, 14), kBlack);
    EXPECT_EQ(at(f, 20, 25), kBlack);
}

TEST(RasterStroke, WidthScalesWithTheMatrixUnlessNoScale) {
    auto style = lineStyle(4, kWhite);
    const Matrix doubled{2, 0, 0, 2, 0, 0};
    const auto edges = std::vector<Edge>{line(2, 10, 18, 10, 0, 0, 1)};
    const Frame scaled = renderFrame({draw(strokeOnly(edges, style), doubled)});
    EXPECT_EQ(paintedAlongColumn(scaled, 20, kBlack), 8);

    style.noHScale = true;
    style.noVScale = true;
    const Frame fixed = renderFrame({draw(strokeOnly(edges, style), doubled)});
    EXPECT_EQ(paintedAlongColumn(fixed, 20, kBlack), 4);
}

// A square outline stretched twice as much across as down: lines that scale are stroked
// in the shape's space and stretched with it; lines that keep their width keep it where
// the shape is stretched least.
struct StretchCase {
    const char* name;
    bool keepsWidth;
    int sideWidth;    // pixels across the left side
    int topAndBottom; // pixels down through the top and bottom sides together
};

class RasterStretchedStroke : public ::testing::TestWithParam<StretchCase> {};

TEST_P(RasterStretchedStroke, FollowsTheStretch) {
    auto style = lineStyle(2, kWhite);
    style.noHScale = style.noVScale = GetParam().keepsWidth;
    // The square's sides lie at x 20 and 60, y 10 and 30 once stretched.
    const Frame f = renderFrame(
        {draw(strokeOnly(rectangle(5, 5, 15, 15, 0, 1), style), Matrix{4, 0, 0, 2, 0, 0})}, 80, 40);
    int side = 0;
    for (int x = 0; x < 40; ++x) {
        side += at(f, x, 20) != kBlack;
    }
    EXPECT_EQ(side, GetParam().sideWidth);
    EXPECT_EQ(paintedAlongColumn(f, 40, kBlack), GetParam().topAndBottom);
}

INSTANTIATE_TEST_SUITE_P(Lines, RasterStretchedStroke,
                         ::testing::Values(StretchCase{"scales", false, 8, 8},
                                           StretchCase{"keeps_width", true, 4, 4}),
                         [](const ::testing::TestParamInfo<StretchCase>& row) {
                             return std::string(row.param.name);
                         });

TEST(RasterStroke, CapsExtendOpenEnds) {
    const auto edges = std::vector<Edge>{line(10, 20, 30, 20, 0, 0, 1)};
    auto style = lineStyle(8, kWhite);
    style.startCap = style.endCap = CapStyle::None;
    const Frame butt = renderFrame({draw(strokeOnly(edges, style))});
    EXPECT_EQ(at(butt, 8, 20), kBlack);
    EXPECT_EQ(at(butt, 31, 20), kBlack);
    style.startCap = style.endCap = CapStyle::Square;
    const Frame square = renderFrame({draw(strokeOnly(edges, style))});
    EXPECT_EQ(at(square, 7, 17), kWhite);
    EXPECT_EQ(at(square, 32, 23), kWhite);
    style.startCap = style.endCap = CapStyle::Round;
    const Frame round = renderFrame({draw(strokeOnly(edges, style))});
    EXPECT_EQ(at(round, 7, 20), kWhite);
    EXPECT_EQ(at(round, 6, 16), kBlack); // the corner a square cap would cover
}

TEST(RasterStroke, ClosedPathIsJoinedAtItsStart) {
    // A square outline with miter joins: the corner where the path starts and ends must be
    // as square as the others.
    auto style = lineStyle(6, kWhite);
    style.join = JoinStyle::Miter;
    style.startCap = style.endCap = CapStyle::None;
    const Frame f = renderFrame({draw(strokeOnly(rectangle(10, 10, 30, 30, 0, 1), style))});
    EXPECT_EQ(at(f, 8, 8), kWhite);   // start and end corner
    EXPECT_EQ(at(f, 31, 31), kWhite); // an ordinary corner
    EXPECT_EQ(at(f, 20, 20), kBlack);

    style.noClose = true;
    const Frame open = renderFrame({draw(strokeOnly(rectangle(10, 10, 30, 30, 0, 1), style))});
    EXPECT_EQ(at(open, 8, 8), kBlack);
    EXPECT_EQ(at(open, 31, 31), kWhite);
}

TEST(RasterStroke, LineWithFillUsesTheFill) {
    auto style = lineStyle(10, kBlack);
    style.hasFill = true;
    style.fill =
        gradientFill(FillType::LinearGradient, {{0, kRed}, {255, kGreen}}, gradientBox(0, 40, 20));
    const Frame f = renderFrame({draw(strokeOnly({line(0, 20, 40, 20, 0, 0, 1)}, style))});
    EXPECT_TRUE(near(at(f, 1, 20), kRed, 12));
    EXPECT_TRUE(near(at(f, 38, 20), kGreen, 12));
}

// Masks.

RenderCommandList masked(std::vector<RenderCommand> mask, std::vector<RenderCommand> content) {
    RenderCommandList list{command(RenderCommand::Kind::PushMask)};
    list.insert(list.end(), mask.begin(), mask.end());
    list.push_back(command(RenderCommand::Kind::BeginMasked));
    list.insert(list.end(), content.begin(), content.end());
    list.push_back(command(RenderCommand::Kind::PopMask));
    return list;
}

TEST(RasterMask, ShowsContentOnlyInsideTheMask) {
    // The mask's own colour and transparency do not matter, only its shape.
    const auto maskShape = makeShape({solidFill(rgb(9, 9, 9, 40))}, rectangle(10, 10, 20, 20));
    const auto content = makeShape({solidFill(kRed)}, rectangle(0, 0, 40, 40));
    const Frame f = renderFrame(masked({draw(maskShape)}, {draw(content)}));
    EXPECT_EQ(at(f, 15, 15), kRed);
    EXPECT_EQ(at(f, 5, 5), kBlack);
    EXPECT_EQ(at(f, 25, 15), kBlack);
    EXPECT_EQ(paintedAlongColumn(f, 15, kBlack), 10);
}

TEST(RasterMask, NestedMasksIntersect) {
    const auto outerMask = makeShape({solidFill(kWhite)}, rectangle(0, 0, 25, 40));
    const auto innerMask = makeShape({solidFill(kWhite)}, rectangle(15, 0, 40, 40));
    const auto content = makeShape({solidFill(kRed)}, rectangle(0, 0, 40, 40));
    const RenderCommandList inner = masked({draw(innerMask)}, {draw(content)});
    const Frame f = renderFrame(masked({draw(outerMask)}, inner));
    EXPECT_EQ(at(f, 20, 20), kRed);
    EXPECT_EQ(at(f, 10, 20), kBlack);
    EXPECT_EQ(at(f, 30, 20), kBlack);
}

TEST(RasterMask, DrawingAfterTheMaskIsNotMasked) {
    const auto maskShape = makeShape({solidFill(kWhite)}, rectangle(10, 10, 20, 20));
    const auto content = makeShape({solidFill(kRed)}, rectangle(0, 0, 40, 40));
    auto list = masked({draw(maskShape)}, {draw(content)});
    list.push_back(draw(makeShape({solidFill(kGreen)}, rectangle(30, 30, 40, 40))));
    const Frame f = renderFrame(list);
    EXPECT_EQ(at(f, 35, 35), kGreen);
    EXPECT_EQ(at(f, 5, 5), kBlack);
}

} // namespace
} // namespace swivio::swf
