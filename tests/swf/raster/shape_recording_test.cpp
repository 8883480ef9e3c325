// Shapes rasterized ahead and painted later: a recording painted whole gives exactly the
// pixels of painting the shape, painted within pieces it changes nothing outside them, and
// a shape that cannot be recorded leaves the store as it was.
#include <gtest/gtest.h>

#include <cmath>

#include "swf/raster/shape_painter.h"
#include "swf/raster/surface.h"
#include "tests/swf/raster/raster_test_util.h"

namespace swivio::swf {
namespace {

using namespace testing;
using raster::DrawTarget;
using raster::RecordedShape;
using raster::RowPiece;
using raster::ShapePainter;
using raster::ShapeRecordings;
using raster::Surface;

constexpr int kSize = 48;

// A patterned ground, so that translucent paint shows what it is painted over.
Surface ground() {
    Surface s(kSize, kSize);
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            s.row(y)[x] = (x + y) % 3 ? 0xFF204060u : 0x80102030u;
        }
    }
    return s;
}

std::shared_ptr<Shape> strokedDisc() {
    std::vector<std::pair<double, double>> points;
    for (int i = 0; i < 20; ++i) {
        points.push_back({24 + 30 * std::cos(i * M_PI / 10), 20 + 18 * std::sin(i * M_PI / 10)});
    }
    LineStyle line;
    line.width = 60;
    line.color = rgb(0, 0, 0, 200);
    const FillStyle fill =
        gradientFill(FillType::LinearGradient, {{0, rgb(250, 0, 0)}, {255, rgb(0, 0, 250, 128)}},
                     gradientBox(0, 48, 20));
    return makeShape({fill}, polygon(points, 0, 1, 1), {line});
}

// Two fills that share an edge: painted together, pixel by pixel, so not recordable.
std::shared_ptr<Shape> twoFillsSharingAnEdge() {
    std::vector<Edge> edges = rectangle(4, 4, 40, 40);
    edges.push_back(line(22, 4, 22, 40, 1, 2));
    return makeShape({solidFill(rgb(200, 0, 0)), solidFill(rgb(0, 200, 0))}, edges);
}

bool samePixels(const Surface& a, const Surface& b) {
    for (int y = 0; y < kSize; ++y) {
        if (!std::equal(a.row(y), a.row(y) + kSize, b.row(y))) {
            return false;
        }
    }
    return true;
}

TEST(ShapeRecording, ReplayedWholeIsPaintedAlike) {
    const Matrix view{1.0 / kTwips, 0, 0, 1.0 / kTwips, 0.3, 0.6};
    for (const Matrix& object : {Matrix{}, Matrix{0.8, 0.3, -0.2, 1.1, 40, -60}}) {
        ShapePainter painter;
        Surface painted = ground(), replayed = ground();
        DrawTarget direct;
        direct.surface = &painted;
        painter.draw(*strokedDisc(), object, view, {}, MapBitmaps{}, direct);

        ShapeRecordings store;
        store.spans.push_back({}); // something recorded before: the shape's part starts after it
        RecordedShape recorded;
        DrawTarget later;
        later.surface = &replayed;
        ASSERT_TRUE(painter.record(*strokedDisc(), object, view, {}, MapBitmaps{}, later, store,
                                   std::size_t(1) << 20, recorded));
        EXPECT_EQ(recorded.firstSpan, 1u);
        EXPECT_TRUE(samePixels(ground(), replayed)) << "recording paints nothing";
        painter.replay(recorded, later, nullptr);
        EXPECT_TRUE(samePixels(painted, replayed));
        EXPECT_EQ(replayed.dirty().x0, painted.dirty().x0);
        EXPECT_EQ(replayed.dirty().y1, painted.dirty().y1);

        // Within pieces: the pieces' pixels as painted, every other pixel untouched.
        const std::vector<RowPiece> pieces{{10, 0, 20}, {10, 30, 48}, {25, 5, 6}};
        Surface partly = ground();
        later.surface = &partly;
        const std::span<const RowPiece> visible(pieces);
        painter.replay(recorded, later, &visible);
        const Surface untouched = ground();
        for (int y = 0; y < kSize; ++y) {
            for (int x = 0; x < kSize; ++x) {
                const bool inPiece =
                    std::any_of(pieces.begin(), pieces.end(), [&](const RowPiece& p) {
                        return p.y == y && x >= p.x0 && x < p.x1;
                    });
                EXPECT_EQ(partly.row(y)[x], (inPiece ? painted : untouched).row(y)[x])
                    << x << ", " << y;
            }
        }
    }
}

TEST(ShapeRecording, ShapesThatCannotBeRecordedLeaveTheStoreAsItWas) {
    struct Case {
        const char* name;
        std::shared_ptr<Shape> shape;
        std::size_t maxBytes;
    };
    const Matrix view{1.0 / kTwips, 0, 0, 1.0 / kTwips, 0, 0};
    for (const Case& c : {Case{"shared edges", twoFillsSharingAnEdge(), std::size_t(1) << 20},
                          Case{"over the budget", strokedDisc(), 2000}}) {
        ShapePainter painter;
        Surface surface = ground();
        DrawTarget target;
        target.surface = &surface;
        ShapeRecordings store;
        RecordedShape first;
        ASSERT_TRUE(painter.record(*makeShape({solidFill(rgb(1, 2, 3))}, rectangle(0, 0, 4, 4)), {},
                                   view, {}, MapBitmaps{}, target, store, std::size_t(1) << 20,
                                   first));
        const std::size_t spans = store.spans.size(), layers = store.layers.size(),
                          covers = store.covers.size();
        RecordedShape second;
        EXPECT_FALSE(
            painter.record(*c.shape, {}, view, {}, MapBitmaps{}, target, store, c.maxBytes, second))
            << c.name;
        EXPECT_EQ(store.spans.size(), spans) << c.name;
        EXPECT_EQ(store.layers.size(), layers) << c.name;
        EXPECT_EQ(store.covers.size(), covers) << c.name;
        EXPECT_TRUE(samePixels(surface, ground())) << c.name;
    }
}

} // namespace
} // namespace swivio::swf
