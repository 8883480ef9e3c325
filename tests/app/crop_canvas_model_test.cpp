#include <gtest/gtest.h>

#include <optional>
#include <utility>

#include "app/crop/crop_canvas_model.h"

namespace swivio::app {
namespace {

TEST(CropCanvasLayoutTest, SnapshotFitsInsideTheMarginCentredOnTheOtherAxis) {
    struct Case {
        int cw, ch, sw, sh;
        CanvasRect expected;
    };
    const Case cases[] = {
        {540, 280, 320, 240, {97, 10, 443, 270}}, // relatively taller: full height
        {540, 280, 640, 200, {10, 59, 530, 221}}, // relatively wider: full width
        {540, 280, 520, 260, {10, 10, 530, 270}}, {540, 280, 0, 240, {}}, {15, 280, 320, 240, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(layoutPicture(c.cw, c.ch, c.sw, c.sh), c.expected) << c.sw << "x" << c.sh;
}

TEST(CropCanvasLayoutTest, OpacityLabelTruncatesThePercentage) {
    const std::pair<int, const char*> cases[] = {
        {255, "100%"}, {0, "0%"}, {200, "78%"}, {128, "50%"}};
    for (const auto& [value, text] : cases)
        EXPECT_EQ(opacityLabel(value), text);
}

TEST(CropCanvasHitTest, HandlesSitOutsideTheCropAndInsideTheWatermark) {
    struct Case {
        TrackerKind kind;
        CanvasRect rect;
        int x, y;
        int expected;
    };
    const CanvasRect crop{100, 50, 300, 200};
    const CanvasRect mark{100, 50, 200, 100};
    const Case cases[] = {
        {TrackerKind::Crop, crop, 96, 46, 0},
        {TrackerKind::Crop, crop, 303, 46, 1},
        {TrackerKind::Crop, crop, 303, 203, 2},
        {TrackerKind::Crop, crop, 96, 203, 3},
        {TrackerKind::Crop, crop, 199, 47, 4},
        {TrackerKind::Crop, crop, 302, 125, 5},
        {TrackerKind::Crop, crop, 200, 201, 6},
        {TrackerKind::Crop, crop, 97, 125, 7},
        {TrackerKind::Crop, crop, 200, 120, kMoveHandle},
        {TrackerKind::Crop, crop, 99, 120, kMoveHandle}, // on the outline
        {TrackerKind::Crop, crop, 98, 120, kNoHandle},   // between handles, off the outline
        {TrackerKind::Crop, crop, 95, 120, kNoHandle},
        {TrackerKind::Watermark, mark, 100, 50, 0},
        {TrackerKind::Watermark, mark, 199, 99, 2},
        {TrackerKind::Watermark, mark, 99, 75, 7},
        {TrackerKind::Watermark, mark, 150, 75, kMoveHandle},
        {TrackerKind::Watermark, mark, 98, 75, kNoHandle},
        // Too short for side handles: the middle of the top edge moves the rectangle.
        {TrackerKind::Crop, {100, 50, 110, 60}, 105, 50, kMoveHandle},
    };
    for (const Case& c : cases)
        EXPECT_EQ(hitHandle(c.kind, c.rect, c.x, c.y), c.expected) << c.x << "," << c.y;
}

// A 520 x 260 movie on a 540 x 280 canvas: one movie pixel per canvas pixel, the picture
// at (10, 10). A 100 x 50 watermark picture is placed and shown when `mark` is given.
CropCanvasModel canvasWith(MovieRect crop, std::optional<MovieRect> mark = {}, bool keep = false) {
    CropCanvasModel m;
    m.setSnapshot(540, 280, 520, 260, 520, 260, crop);
    if (mark) {
        m.setWatermark(100, 50, *mark);
        m.setWatermarkEnabled(true);
    }
    m.setKeepAspect(keep);
    return m;
}

struct DragCase {
    const char* name;
    std::optional<MovieRect> mark;
    bool keep;
    int pressX, pressY, toX, toY;
    MovieRect crop;
    MovieRect watermark;
};

TEST(CropCanvasDragTest, DragsStayConfinedAndTheValuesFollow) {
    const MovieRect start{100, 50, 200, 100}; // canvas (110, 60, 310, 160)
    const MovieRect mark{20, 10, 60, 30};     // canvas (130, 70, 190, 100)
    const MovieRect lowMark{20, 40, 60, 30};  // canvas (130, 100, 190, 130)
    const DragCase cases[] = {
        {"bottom-right to the far corner stops at the minimum size",
         {},
         false,
         311,
         161,
         0,
         0,
         {100, 50, 8, 8},
         {}},
        {"moved crop stays on the picture",
         {},
         false,
         200,
         100,
         1000,
         1000,
         {320, 160, 200, 100},
         {}},
        {"left edge", {}, false, 107, 109, 207, 109, {200, 50, 100, 100}, {}},
        {"left edge stops at the picture", {}, false, 107, 109, -50, 109, {0, 50, 300, 100}, {}},
        {"top edge past the bottom keeps the minimum",
         {},
         false,
         209,
         57,
         209,
         300,
         {100, 142, 200, 8},
         {}},
        {"bottom-right stops at the watermark",
         mark,
         false,
         311,
         161,
         0,
         0,
         {100, 50, 80, 40},
         mark},
        {"top-left stops at the watermark, which keeps its place",
         mark,
         false,
         107,
         57,
         400,
         400,
         {120, 60, 180, 90},
         {0, 0, 60, 30}},
        {"moving the crop carries the watermark",
         mark,
         false,
         250,
         130,
         260,
         140,
         {110, 60, 200, 100},
         mark},
        {"watermark shrinks to 10 snapshot pixels at most",
         mark,
         false,
         188,
         98,
         0,
         0,
         start,
         {20, 10, 10, 10}},
        {"moved watermark stays inside the crop",
         mark,
         false,
         150,
         85,
         1000,
         1000,
         start,
         {140, 70, 60, 30}},
        {"right edge with the aspect kept stops at the crop's bottom",
         lowMark,
         true,
         188,
         114,
         400,
         114,
         start,
         {20, 40, 120, 60}},
        {"right edge with the aspect kept",
         lowMark,
         true,
         188,
         114,
         208,
         114,
         start,
         {20, 40, 80, 40}},
    };
    for (const DragCase& c : cases) {
        SCOPED_TRACE(c.name);
        CropCanvasModel m = canvasWith(start, c.mark, c.keep);
        ASSERT_TRUE(m.press(c.pressX, c.pressY));
        m.moveTo(c.toX / 2, c.toY / 2);
        m.release(c.toX, c.toY);
        EXPECT_FALSE(m.dragging());
        EXPECT_EQ(m.crop(), c.crop);
        if (c.mark) {
            EXPECT_EQ(m.watermark(), c.watermark);
        }
    }
}

TEST(CropCanvasDragTest, ConfinementNeverInvertsForAWatermarkBelowTheMinimum) {
    // 5 x 5 is under the 10-pixel minimum, so the shrinking bounds would cross.
    CropCanvasModel m = canvasWith({100, 50, 200, 100}, MovieRect{0, 0, 5, 5});
    ASSERT_TRUE(m.press(110, 60));
    const CanvasRect k = m.confinement();
    EXPECT_LE(k.left, k.right);
    EXPECT_LE(k.top, k.bottom);
    m.release(0, 0);
    EXPECT_EQ(m.watermark(), (MovieRect{0, 0, 5, 5}));
    EXPECT_EQ(m.crop(), (MovieRect{100, 50, 200, 100}));
}

TEST(CropCanvasDragTest, CancelPutsRectanglesAndValuesBack) {
    CropCanvasModel m = canvasWith({100, 50, 200, 100}, MovieRect{20, 10, 60, 30});
    const CanvasRect crop = m.cropRect(), mark = m.watermarkRect();
    ASSERT_TRUE(m.press(250, 130));
    m.moveTo(290, 150);
    ASSERT_NE(m.crop(), (MovieRect{100, 50, 200, 100}));
    m.cancel();
    EXPECT_EQ(m.crop(), (MovieRect{100, 50, 200, 100}));
    EXPECT_EQ(m.cropRect(), crop);
    EXPECT_EQ(m.watermarkRect(), mark);
    EXPECT_FALSE(m.dragging());
}

TEST(CropCanvasDragTest, AHiddenWatermarkIsNeitherHitNorAnObstacle) {
    CropCanvasModel m = canvasWith({100, 50, 200, 100}, MovieRect{20, 10, 60, 30});
    m.setWatermarkEnabled(false);
    EXPECT_EQ(m.cursorAt(150, 85), CanvasCursor::Move);
    ASSERT_TRUE(m.press(150, 85)); // inside the hidden watermark: the crop moves
    m.release(160, 85);
    EXPECT_EQ(m.crop(), (MovieRect{110, 50, 200, 100}));
    EXPECT_EQ(m.watermark(), (MovieRect{20, 10, 60, 30}));
    EXPECT_FALSE(m.press(5, 5));
}

TEST(CropCanvasDragTest, CanvasPixelsTruncateToMoviePixels) {
    // 550 x 400 movie shown 346 pixels wide: 100 canvas pixels are 158 movie pixels.
    CropCanvasModel m;
    m.setSnapshot(540, 280, 320, 240, 550, 400, {0, 0, 550, 400});
    ASSERT_EQ(m.pictureRect(), (CanvasRect{97, 10, 443, 270}));
    ASSERT_TRUE(m.press(94, 140)); // the left handle, just outside the picture
    m.release(194, 140);
    EXPECT_EQ(m.crop().x, 158);
    EXPECT_EQ(m.crop().width, 391);
}

TEST(CropCanvasModelTest, OpeningBringsTheCropAndWatermarkInside) {
    struct Case {
        MovieRect crop, mark;
        MovieRect expectedCrop, expectedMark;
    };
    const Case cases[] = {
        {{0, 0, 0, 0}, {}, {0, 0, 520, 260}, {}},
        {{500, 250, 100, 100}, {}, {500, 250, 20, 10}, {}},
        {{-5, 0, 100, 100}, {0, 0, 200, 20}, {0, 0, 100, 100}, {0, 0, 100, 20}},
        {{10, 10, 100, 100}, {90, 0, 50, 50}, {10, 10, 100, 100}, {90, 0, 10, 50}},
    };
    for (const Case& c : cases) {
        CropCanvasModel m = canvasWith(c.crop, c.mark);
        EXPECT_EQ(m.crop(), c.expectedCrop);
        EXPECT_EQ(m.watermark(), c.expectedMark);
    }
}

TEST(CropCanvasModelTest, FullAreaKeepsTheWatermarkOffset) {
    CropCanvasModel m = canvasWith({100, 50, 200, 100}, MovieRect{10, 0, 60, 30});
    m.fullArea();
    EXPECT_EQ(m.crop(), (MovieRect{0, 0, 520, 260}));
    EXPECT_EQ(m.watermark(), (MovieRect{10, 0, 60, 30}));
    EXPECT_EQ(m.watermarkRect().left, 20); // 10 movie pixels right of the picture's edge
}

TEST(CropCanvasModelTest, KeepAspectFitsTheHeightOrShrinksToTheCropBottom) {
    struct Case {
        MovieRect mark;
        bool keep;
        MovieRect expected;
    };
    const Case cases[] = {
        {{0, 0, 60, 60}, true, {0, 0, 60, 30}},
        {{0, 40, 200, 50}, true, {0, 40, 120, 60}},
        {{0, 0, 60, 60}, false, {0, 0, 60, 60}},
    };
    for (const Case& c : cases) {
        CropCanvasModel m = canvasWith({100, 50, 200, 100}, c.mark, c.keep);
        m.applyKeepAspect();
        EXPECT_EQ(m.watermark(), c.expected);
    }
}

TEST(CropCanvasModelTest, ANewPictureStartsAtItsDefaultSizeInTheCropCorner) {
    CropCanvasModel m = canvasWith({40, 20, 400, 200});
    m.resetWatermark(400, 100);
    EXPECT_EQ(m.watermark(), (MovieRect{0, 0, 200, 50}));
    EXPECT_EQ(m.watermarkRect(), (CanvasRect{50, 30, 250, 80}));
}

} // namespace
} // namespace swivio::app
