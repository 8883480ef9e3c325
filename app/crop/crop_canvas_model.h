#pragma once

#include <string>

namespace swivio::app {

// A rectangle in canvas pixels; right and bottom are one past the last pixel.
struct CanvasRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
    bool operator==(const CanvasRect&) const = default;
};

// A rectangle in movie pixels: the crop from the movie's top-left corner, the watermark from
// the crop's top-left corner.
struct MovieRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const MovieRect&) const = default;
};

enum class TrackerKind { Crop, Watermark };
enum class CanvasCursor { Arrow, SizeNwSe, SizeNeSw, SizeVertical, SizeHorizontal, Move };

// Handles 0-3 are the corners clockwise from the top-left, 4-7 the sides clockwise from the
// top, 8 the inside (moves the whole rectangle).
inline constexpr int kNoHandle = -1;
inline constexpr int kMoveHandle = 8;
inline constexpr int kHandleSize = 4;
// The crop never gets narrower or lower than this many canvas pixels.
inline constexpr int kCropMinimumSide = 2 * kHandleSize;

// Where a snapshot of snapshotWidth x snapshotHeight is drawn in a canvas of canvasWidth x
// canvasHeight: fitted inside a 10-pixel margin, aspect kept, centred on the other axis.
// Empty when either size is not positive or the canvas is too small for the margin.
CanvasRect layoutPicture(int canvasWidth, int canvasHeight, int snapshotWidth, int snapshotHeight);

// The square of `handle` (0-7) of a tracker over `rect`, and whether that handle exists (the
// side handles only on rectangles long enough for them).
bool handleExists(const CanvasRect& rect, int handle);
CanvasRect handleSquare(TrackerKind kind, const CanvasRect& rect, int handle);
// The handle under (x, y), or kNoHandle.
int hitHandle(TrackerKind kind, const CanvasRect& rect, int x, int y);
CanvasCursor handleCursor(int handle);

// "50%" for 128: the opacity label, position x 100 / 255 truncated.
std::string opacityLabel(int opacity);

// The crop canvas without its window: the picture area, the crop and watermark rectangles in
// canvas pixels and their values in movie pixels, and the drags. The widget forwards the
// pointer and paints what this holds. Movie values are kept as given and only recomputed
// from the canvas when a rectangle moves, so opening and confirming without a drag never
// changes them by rounding.
class CropCanvasModel {
public:
    // Lays out the picture and places the crop. A crop with no width or height, or one
    // reaching outside the movie, is brought inside it (an empty one becomes the whole movie).
    void setSnapshot(int canvasWidth, int canvasHeight, int snapshotWidth, int snapshotHeight,
                     int movieWidth, int movieHeight, MovieRect crop);
    // A picture of pictureWidth x pictureHeight (0 x 0: none) placed at `rect`, relative to the
    // crop corner; a rectangle reaching outside the crop is brought inside it.
    void setWatermark(int pictureWidth, int pictureHeight, MovieRect rect);
    // A newly chosen picture: its default size in the crop's top-left corner.
    void resetWatermark(int pictureWidth, int pictureHeight);
    // The watermark is drawn, dragged and confined against only while shown.
    void setWatermarkEnabled(bool enabled) { m_watermarkEnabled = enabled; }
    bool watermarkShown() const {
        return m_watermarkEnabled && m_pictureWidth > 0 && m_pictureHeight > 0;
    }
    void setKeepAspect(bool keep) { m_keepAspect = keep; }
    // Fits the watermark's height to its picture's aspect (the width shrinks when the height
    // would pass the crop's bottom); only with keep-aspect on and a picture present.
    void applyKeepAspect();
    // The crop becomes the whole movie; a shown watermark keeps its offset from the crop corner.
    void fullArea();

    // A press at (x, y): starts dragging the shown watermark or else the crop when a handle of
    // it is hit; false when neither is.
    bool press(int x, int y);
    // The pointer moved (or was released) during a drag; it is confined first.
    void moveTo(int x, int y);
    void release(int x, int y);
    // Escape or the right button: the rectangle and its values go back to the press.
    void cancel();
    bool dragging() const { return m_dragHandle != kNoHandle; }
    // Where the pointer is kept during the current drag, inclusive on every side.
    CanvasRect confinement() const { return m_bounds; }
    CanvasCursor cursorAt(int x, int y) const;

    const CanvasRect& pictureRect() const { return m_picture; }
    const CanvasRect& cropRect() const { return m_crop; }
    const CanvasRect& watermarkRect() const { return m_watermark; }
    MovieRect crop() const { return m_cropValues; }
    MovieRect watermark() const { return m_watermarkValues; }

private:
    CanvasRect cropToCanvas(MovieRect crop) const;
    CanvasRect watermarkToCanvas(MovieRect mark) const;
    MovieRect canvasToMovie(const CanvasRect& rect, int originX, int originY) const;
    CanvasRect dragBounds(int x, int y) const;
    void adjust(CanvasRect& rect) const;
    void changed(const CanvasRect& previous);

    CanvasRect m_picture;
    CanvasRect m_crop;
    CanvasRect m_watermark;
    int m_movieWidth = 0;
    int m_movieHeight = 0;
    int m_snapshotWidth = 0;
    int m_snapshotHeight = 0;
    int m_pictureWidth = 0;
    int m_pictureHeight = 0;
    bool m_watermarkEnabled = false;
    bool m_keepAspect = false;
    MovieRect m_cropValues;
    MovieRect m_watermarkValues;

    // The drag: which rectangle and handle, the press, and what to put back on a cancel.
    TrackerKind m_dragKind = TrackerKind::Crop;
    int m_dragHandle = kNoHandle;
    int m_pressX = 0;
    int m_pressY = 0;
    CanvasRect m_bounds;
    CanvasRect m_start;
    CanvasRect m_startCrop;
    CanvasRect m_startWatermark;
    MovieRect m_startCropValues;
    MovieRect m_startWatermarkValues;
};

} // namespace swivio::app
