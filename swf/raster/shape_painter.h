#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include <agg_conv_stroke.h>
#include <agg_conv_transform.h>
#include <agg_path_storage.h>
#include <agg_rasterizer_compound_aa.h>
#include <agg_rasterizer_sl_clip.h>
#include <agg_scanline_u.h>

#include "swf/format/bitmap.h"
#include "swf/format/shape.h"
#include "swf/raster/cell_rasterizer.h"
#include "swf/raster/hidden_rows.h"
#include "swf/raster/paint.h"
#include "swf/raster/shape_recording.h"
#include "swf/raster/stroke_cut.h"
#include "swf/raster/surface.h"

namespace swivio::swf::raster {

// Where one shape is painted: the surface, and optionally a coverage mask of the same size
// (one byte a pixel, 255 = shown). A coverage-only target ignores colours: every fill and
// line paints opaque white, which is what a mask definition needs.
struct DrawTarget {
    Surface* surface = nullptr;
    const uint8_t* mask = nullptr;
    bool coverageOnly = false;
};

// Fills and strokes shapes. The rasterizers, scanline and span buffers live as long as the
// painter, so drawing shape after shape allocates nothing once they have grown.
class ShapePainter {
public:
    ShapePainter();

    // Paints the shape placed by `object` (shape twips to stage twips) on a stage that
    // `view` maps to surface pixels.
    // With `hidden` (pieces ordered by row, then by column, that drawings still to come
    // cover opaquely), the single fills and lines leave those pieces as they are.
    void draw(const Shape& shape, const Matrix& object, const Matrix& view,
              const ColorTransform& ct, const BitmapLookup& bitmaps, const DrawTarget& target,
              const std::span<const RowPiece>* hidden = nullptr);

    // Adds to `out` row pieces that the shape's opaque fills cover wholly on a surface of
    // the given size, whatever lies below: the painted shape hides them. Fills that share
    // edges with others are left out, and so are pixels near edges.
    void opaqueInside(const Shape& shape, const Matrix& object, const Matrix& view,
                      const ColorTransform& ct, const BitmapLookup& bitmaps, int width, int height,
                      std::vector<RowPiece>& out);

    // Rasterizes the shape as draw() would paint it on `target`, into `store` instead of
    // onto the surface, and says where in `out`. False, with the store as it was, when the
    // shape cannot be recorded (fills that share edges are painted together, pixel by
    // pixel), or the store would pass `maxBytes`: the shape is then to be drawn directly.
    bool record(const Shape& shape, const Matrix& object, const Matrix& view,
                const ColorTransform& ct, const BitmapLookup& bitmaps, const DrawTarget& target,
                ShapeRecordings& store, std::size_t maxBytes, RecordedShape& out);
    // Paints a recorded shape on `target` (of the size it was recorded for), only within
    // `visible` when given: pieces ordered by row, then by column.
    void replay(const RecordedShape& shape, const DrawTarget& target,
                const std::span<const RowPiece>* visible);

    // Starts a frame's budget of line segments.
    void beginFrame() {
        m_segments = 0;
        m_insideSegments = 0;
    }

    // Upper bound on the edges taken from one shape; the rest are dropped.
    static constexpr std::size_t kMaxEdgesPerShape = 1u << 20;
    // Upper bound on the line segments a frame sends to the rasterizers (flattened curves
    // included): past it, hostile shapes are cut short instead of taking minutes.
    static constexpr std::size_t kMaxSegmentsPerFrame = 1u << 23;

private:
    using CompoundRasterizer = agg::rasterizer_compound_aa<agg::rasterizer_sl_clip_dbl>;

    void fillGroup(const StyleGroup& group, bool nonZero, const Matrix& toPixels,
                   const ColorTransform& ct, const BitmapLookup& bitmaps, const DrawTarget& target);
    // Sorts the group's fills into sets of styles that share edges (m_styleSet, m_shared,
    // and each set's edges in m_setEdges from m_setStart); m_paints must be prepared.
    void groupStyles(const StyleGroup& group, std::size_t fillCount);
    // Gives the rasterizer one style's edges (m_setEdges[first, last)) for a surface of the
    // given size; returns the segment count with those added.
    std::size_t addStyleEdges(const StyleGroup& group, uint32_t first, uint32_t last, int style,
                              bool nonZero, const Matrix& toPixels, int width, int height,
                              std::size_t segments);
    // One style's edges (m_setEdges[first, last)), drawn alone.
    void fillStyle(const StyleGroup& group, uint32_t first, uint32_t last, int style,
                   bool nonZero, const Matrix& toPixels, const DrawTarget& target);
    // The edges of a set of styles that share edges, drawn together.
    void fillSet(const StyleGroup& group, uint32_t first, uint32_t last, int set, bool nonZero,
                 const Matrix& toPixels, const DrawTarget& target);
    void strokeGroup(const StyleGroup& group, const Matrix& object, const Matrix& view,
                     const ColorTransform& ct, const BitmapLookup& bitmaps,
                     const DrawTarget& target);
    // Hairlines snap to whole pixels; hinted ones (pixelHinting) to the pixel after a
    // boundary their points lie just short of.
    void buildStrokePath(const StyleGroup& group, std::size_t first, std::size_t last,
                         const Matrix& toPixels, bool hairline, bool hinted, bool noClose,
                         double reach);
    void sweepCompound(const DrawTarget& target);
    void sweepSimple(const Paint& paint, const DrawTarget& target);
    // Tells the rasterizer which rows of its path the hidden pieces cover wholly; whether
    // there are any.
    bool skipHiddenRows();
    void recordSweep(const Paint& paint);
    bool prepareTarget(const DrawTarget& target);
    void blendSpan(uint32_t* dst, const Paint& paint, int x, int y, int len, const uint8_t* covers,
                   const uint8_t* maskRow);
    void blendRun(uint32_t* dst, const Paint& paint, int x, int y, int len, uint8_t cover,
                  const uint8_t* maskRow);
    void mixSpan(const Paint& paint, int x, int y, int len, const uint8_t* covers, int start);

    CompoundRasterizer m_compound;
    CellRasterizer m_rasterizer;    // single styles and lines: the inside of a shape as runs
    agg::scanline_u8 m_scanline;    // compound fills: covers pixel by pixel
    agg::path_storage m_path;
    agg::conv_stroke<agg::path_storage> m_stroke{m_path}; // keeps its buffers between lines
    // Lines of a shape stretched unevenly are stroked in the shape's own space and then
    // stretched with it: m_path taken back to that space, stroked, and mapped to pixels.
    agg::trans_affine m_pixelsToShape;
    agg::trans_affine m_shapeToPixels;
    agg::conv_transform<agg::path_storage> m_shapePath{m_path, m_pixelsToShape};
    agg::conv_stroke<agg::conv_transform<agg::path_storage>> m_shapeStroke{m_shapePath};
    agg::conv_transform<decltype(m_shapeStroke)> m_stretchedStroke{m_shapeStroke,
                                                                   m_shapeToPixels};
    std::vector<Paint> m_paints;
    RampCache m_ramps;
    std::vector<uint32_t> m_colors;
    std::vector<uint8_t> m_covers;
    std::vector<uint8_t> m_runCovers;  // a run's one cover repeated, for masked runs
    // Rows where several styles meet: per pixel, the sum of covers (kWhole when one style
    // alone covers it wholly, its colour then in m_mixWhole), else R, G, B, A sums of
    // colour * cover in m_mix.
    static constexpr uint32_t kWhole = 1u << 30;
    std::vector<uint32_t> m_mix;
    std::vector<uint32_t> m_mixCover;
    std::vector<uint32_t> m_mixWhole;
    std::vector<uint64_t> m_lineOrder; // line style << 32 | edge index
    std::vector<int> m_styleRoot;        // per fill style: its parent in its set
    std::vector<int> m_styleSet;         // per fill style: its set's root, -1 when invisible
    std::vector<uint8_t> m_shared;       // per set root: some styles share edges
    std::vector<uint32_t> m_setStart;    // per set root: where its edges start in m_setEdges
    std::vector<uint32_t> m_setFill;
    std::vector<uint32_t> m_setEdges;    // edge indices, set by set
    int m_width = 0;
    int m_height = 0;
    std::size_t m_segments = 0;
    std::size_t m_insideSegments = 0;                    // opaqueInside()'s own budget
    HiddenRows m_hiddenRows; // what later drawings cover, while draw() runs
    std::vector<uint8_t> m_skipRows;                     // rows of the path left out
    StrokeCutter m_cutter;
    agg::path_storage m_cutPath;            // a stroke's lines that show
    ShapeRecordings* m_recording = nullptr; // while record() runs
    std::size_t m_recordLimit = 0;
    bool m_recordFailed = false;
    PixelBox m_recordTouched;
};

} // namespace swivio::swf::raster
