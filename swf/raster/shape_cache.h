#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <unordered_map>
#include <vector>

#include "swf/format/bitmap.h"
#include "swf/format/shape.h"
#include "swf/raster/shape_painter.h"
#include "swf/raster/shape_recording.h"
#include "swf/raster/span_picture.h"
#include "swf/raster/surface.h"

namespace swivio::swf::raster {

// Pictures of shapes as they were last painted, reused while a shape keeps its scale,
// rotation, colour transform and position within a pixel: in most frames of a cartoon the
// background and every resting or sliding figure look as they did one frame earlier, and
// copying their picture costs a fraction of filling and stroking them again.
//
// A shape's picture is made when it is drawn the same way as in the frame before, or as in
// several earlier frames (a loop come round again and again), or when the frame's drawings
// of it will show enough of it to pay: a look met once, or now and then by chance, or
// mostly hidden, costs less to paint each time than to paint whole into a picture, keep,
// and compose. The picture holds the whole shape on a transparent ground, positioned at
// the pixel phase of its translation rounded to the rasterizer's 1/256 pixel, so it
// differs from direct painting by at most a unit of rounding. Shapes whose edges stray
// outside their declared bounds, and shapes far larger than the surface, are always
// painted directly.
class ShapeCache {
public:
    // A budget of 0 follows the surface's size (see below); another holds the pictures to
    // that many bytes whatever the size.
    explicit ShapeCache(std::size_t budget = 0) : m_fixedBudget(budget) {}

    // Starts a frame drawn on surfaces of the given size. Pictures drawn with another
    // bitmap library are dropped, and so are old ones when the cache outgrows its budget.
    void beginFrame(const BitmapLookup& bitmaps, int width, int height);

    // Paints `shape` as ShapePainter::draw does, from its picture when there is one. With
    // `visible`, only those pieces of the picture are composed (the caller knows the rest
    // is painted over later); it must come from placement() for the same drawing, in the
    // same frame, and is ignored when the shape has no picture. With `recorded` (the shape
    // as ShapePainter::record() took it for this drawing), a shape painted directly is
    // painted from the recording, within `visible`, and a picture is composed whole. With
    // `hidden` (see ShapePainter::draw), a shape painted from its edges leaves those pieces.
    // With `look` (from announce(), for the same drawing), the drawing is not looked up again.
    void draw(const std::shared_ptr<const Shape>& shape, const Matrix& object, const Matrix& view,
              const ColorTransform& ct, const BitmapLookup& bitmaps, const DrawTarget& target,
              ShapePainter& painter, const std::span<const RowPiece>* visible = nullptr,
              const RecordedShape* recorded = nullptr,
              const std::span<const RowPiece>* hidden = nullptr, int look = -1);

    // Where draw() would compose the shape's picture from: the picture and the surface pixel
    // of its (0, 0). Null picture when draw() would paint the shape from its edges (or paint
    // nothing). Changes nothing.
    struct Placement {
        const SpanPicture* picture = nullptr;
        int left = 0, top = 0;
    };
    Placement placement(const std::shared_ptr<const Shape>& shape, const Matrix& object,
                        const Matrix& view, const ColorTransform& ct, const BitmapLookup& bitmaps,
                        bool coverageOnly) const;
    // The same for a look announced in this frame (see announce()).
    Placement placement(int look) const;
    // What announced drawings of one look share: an identity, the same for every drawing of
    // the look in this frame (null for none), and the whole pixels of this drawing's
    // translation, by which its pixels differ from those of another drawing of the look.
    struct LookOrigin {
        const void* id = nullptr;
        int wholeX = 0, wholeY = 0;
    };
    LookOrigin lookOrigin(int look) const;

    // A frame's planner announces the drawings it will make at the top level before making
    // them, so that a look the frame draws again and again gets its picture at once. Returns
    // the look's number in this frame, for the calls below, or -1 for a drawing always
    // painted directly.
    int announce(const std::shared_ptr<const Shape>& shape, const Matrix& object,
                 const Matrix& view, const ColorTransform& ct, const BitmapLookup& bitmaps);
    // Whether draw() will paint the announced look from its edges, judged from the number of
    // its drawings (the same answer for every drawing of one look in the frame).
    bool plannedPaintsFromEdges(int look) const;
    // What share of its whole a drawing of the look will show, as the planner found it: a
    // look mostly hidden by later drawings costs less to paint where it shows than to make
    // a picture of whole.
    void expectShown(int look, double share);
    std::size_t pictureBytes() const { return m_bytes; }
    std::size_t budget() const { return m_budget; }
    std::size_t entryCount() const { return m_entries.size(); }

    // Memory the pictures may take: a cartoon's shapes cover its frame several times over,
    // and a figure that moves leaves a picture at each resting place that comes back when
    // the movie loops (a busy cartoon's loop keeps some 35 frames' worth of pictures), so
    // the budget follows the surface's size within these bounds. Past it, further shapes
    // are painted directly and the least recently used pictures go; a budget far short of
    // a loop's pictures makes them all go round, each painted again before it is reused.
    static constexpr std::size_t kMinBytes = std::size_t(64) << 20;
    static constexpr std::size_t kMaxBytes = std::size_t(384) << 20;
    static constexpr std::size_t kSurfacesPerBudget = 40;
    // Shapes remembered (with or without a picture); past it the least recently used go.
    static constexpr std::size_t kMaxEntries = 8192;
    // Frames a shape may go undrawn before its picture (and the shape) are let go, so that
    // memory follows what the movie shows now, not everything it has shown.
    static constexpr uint64_t kMaxIdleFrames = 64;
    // The same for a look drawn in one frame only, as most are in a scene in motion: a
    // picture made for its repeats in that frame is seldom of use later, and keeping it
    // would fill the budget with such pictures, each in memory never used before. Long
    // enough for a look to come round again in a short loop (a walk cycle, a blinking eye).
    static constexpr uint64_t kMaxIdleFramesSeenOnce = 24;
    // A look first met in this frame gets its picture only when the frame draws it this many
    // times more after making it: making a picture costs about a painting and two composings.
    static constexpr uint32_t kMinLaterDrawings = 2;
    // When the planner tells what the drawings show: the wholes they must show between them,
    // from the one that would make the picture on.
    static constexpr double kMinShownWholes = 2.5;
    // A look come back after a gap gets its picture in the frame that shows it this many
    // times: a loop comes round again and again, a look met again by chance seldom does.
    static constexpr uint32_t kMinFramesOnReturn = 5;

private:
    struct Key {
        const Shape* shape;
        double a, b, c, d;  // shape twips to pixels, without the translation
        int32_t phaseX;     // the translation's fraction of a pixel, in 1/256
        int32_t phaseY;
        ColorTransform ct;
        bool coverageOnly;
        friend bool operator==(const Key&, const Key&) = default;
    };
    struct KeyHash {
        std::size_t operator()(const Key& k) const;
    };
    struct Entry {
        std::shared_ptr<const Shape> shape;   // keeps the address in the key from being reused
        std::unique_ptr<SpanPicture> picture; // null until worth making
        int originX = 0, originY = 0;         // picture pixel (0, 0) relative to the whole
                                              // pixel of the translation
        bool direct = false;                  // painted directly every time
        uint64_t firstUsed = 0;               // the frame it was first drawn or announced in
        uint64_t lastUsed = 0;
        uint64_t previousUsed = 0; // the frame it was used in before this one
        uint32_t framesSeen = 0;   // frames it was used in, this one included
        // This frame's drawings of the look: announced, and drawn so far; and the shares
        // of the whole that `reported` of them show.
        uint64_t countedFrame = 0;
        uint32_t announced = 0, drawn = 0, reported = 0;
        double shown = 0;
    };

    using Node = std::pair<const Key, Entry>; // stays where it is while in the map
    struct Look {
        Node* node;
        int wholeX, wholeY; // the whole pixels of the drawing's translation
    };

    // The key of a drawing, and the whole pixels of its translation; false when it is
    // always painted directly.
    bool keyOf(const Shape* shape, const Matrix& object, const Matrix& view,
               const ColorTransform& ct, const BitmapLookup& bitmaps, bool coverageOnly, Key* key,
               int* wholeX, int* wholeY) const;
    // Paints the entry's picture and keeps it, or marks the entry to be painted directly.
    // A picture past the budget is returned instead of kept, to be composed once.
    std::unique_ptr<SpanPicture> makePicture(Entry& entry, const Key& key, const Shape& shape,
                                             const Matrix& object, const Matrix& view,
                                             const ColorTransform& ct,
                                             const BitmapLookup& bitmaps, const Surface& target,
                                             ShapePainter& painter);
    // The entry of a look drawn or announced in this frame, with its counts of this frame.
    Node& touch(const Key& key, const std::shared_ptr<const Shape>& shape);
    // Whether the drawing that is the look's `nth` of this frame (from 1) makes its picture.
    bool makesPicture(const Entry& entry, uint32_t nth) const;
    void trim();
    void dropIdle();

    std::unordered_map<Key, Entry, KeyHash> m_entries;
    std::vector<Look> m_looks; // this frame's announced looks (entries stay until trimmed)
    const BitmapLookup* m_bitmaps = nullptr;
    // Pictures are painted here, then kept as spans; it is transparent between uses.
    std::unique_ptr<Surface> m_scratch;
    std::size_t m_bytes = 0;
    bool m_full = false; // a picture was refused for want of room: trim at the next frame
    std::size_t m_fixedBudget;
    std::size_t m_budget = kMinBytes;
    uint64_t m_frame = 0;
};

// Source-over of `src` (premultiplied, len pixels) onto `dst`, each source pixel first
// scaled by the mask's byte when there is a mask.
void composeOver(uint32_t* dst, const uint32_t* src, int len, const uint8_t* mask);

} // namespace swivio::swf::raster
