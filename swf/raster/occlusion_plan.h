#pragma once

#include <cstdint>
#include <span>
#include <unordered_map>
#include <utility>
#include <vector>

#include "swf/format/bitmap.h"
#include "swf/raster/cover_rows.h"
#include "swf/raster/render_commands.h"
#include "swf/raster/shape_cache.h"
#include "swf/raster/shape_painter.h"
#include "swf/raster/shape_recording.h"

namespace swivio::swf::raster {

// Which parts of a frame's shapes are worth painting. A cartoon's shapes cover the frame
// several times over, and a pixel that an opaque shape drawn later at the top level paints
// over ends as that shape's pixel whatever was put there before: so, walking the commands
// from last to first, each shape drawn at the top level keeps only the row pieces that no
// later unmasked opaque run covers. A shape with a kept picture is known by its picture;
// one without is rasterized here (ShapePainter::record) and later painted from that
// recording, only within its pieces. Shapes inside layers and mask definitions are left
// whole (filters and masks read their pixels), and so are shapes that cannot be recorded.
class OcclusionPlan {
public:
    // Plans the commands for `surface` (the frame's own); the cache must have begun the
    // frame (the plan announces the frame's drawings to it), and the arguments must be
    // those the commands will be drawn with.
    void plan(const RenderCommandList& commands, const BitmapLookup& bitmaps, const Matrix& view,
              Surface& surface, ShapeCache& cache, ShapePainter& painter);

    // The pieces of command `index`'s shape to paint, or null to draw it whole.
    const std::span<const RowPiece>* visible(std::size_t index) const {
        return index < m_visible.size() && m_planned[index] ? &m_visible[index] : nullptr;
    }
    // The pieces of command `index`'s shape that later drawings cover opaquely, for a
    // shape painted directly from its edges; null when none are known.
    const std::span<const RowPiece>* hidden(std::size_t index) const {
        return index < m_hidden.size() && !m_hidden[index].empty() ? &m_hidden[index] : nullptr;
    }
    // Whether command `index`'s shape paints nothing that later drawings leave showing.
    bool whollyHidden(std::size_t index) const {
        return index < m_whollyHidden.size() && m_whollyHidden[index];
    }
    // Command `index`'s look in the shape cache (see ShapeCache::announce()), or -1.
    int look(std::size_t index) const { return index < m_look.size() ? m_look[index] : -1; }
    // Command `index`'s shape as recorded for this frame, or null.
    const RecordedShape* recording(std::size_t index) const {
        return index < m_recordingOf.size() && m_recordingOf[index] >= 0
                   ? &m_recorded[std::size_t(m_recordingOf[index])]
                   : nullptr;
    }

    // Pieces kept for one frame at most (12 bytes each).
    static constexpr std::size_t kMaxPieces = std::size_t(1) << 21;
    // Bytes of recordings kept for one frame at most; past it, shapes are drawn directly.
    static constexpr std::size_t kMaxRecordingBytes = std::size_t(48) << 20;
    static constexpr std::size_t kStoreSpans = std::size_t(1) << 20;
    static constexpr std::size_t kStoreCovers = std::size_t(4) << 20;
    static constexpr std::size_t kStoreLayers = std::size_t(1) << 12;
    // Shapes whose bounds cover fewer pixels are drawn directly: at this size and below, a
    // cartoon's shapes cost as much to record as recording saves in painting.
    static constexpr double kMinRecordedArea = 16384;
    // Shapes of more edges are never left out as wholly covered (see coveredWhole()).
    static constexpr std::size_t kMaxBoundedEdges = 4096;

private:
    struct TopLevel {
        bool top = false;    // drawn on the frame's own surface
        bool masked = false; // under a mask there
    };
    void findTopLevel(const RenderCommandList& commands);
    // Records command `index`'s shape; false when it is to be drawn directly.
    bool recordShape(std::size_t index, const RenderCommand& command, const BitmapLookup& fills,
                     const Matrix& view, Surface& surface, ShapePainter& painter);
    // Whether the command's shape can only paint where later drawings cover.
    bool coveredWhole(const RenderCommand& command, const Matrix& view,
                      const Surface& surface) const;
    // A shape painted directly: the pieces of its box that are hidden, then what its own
    // opaque fills cover.
    void planDirect(std::size_t index, const RenderCommand& command, const BitmapLookup& fills,
                    const Matrix& view, const Surface& surface, const ShapeCache& cache,
                    ShapePainter& painter);
    // Adds the pieces of row y's [x0, x1) left visible, when the command is planned.
    void addVisible(bool planned, int y, int x0, int x1);

    std::vector<TopLevel> m_levels;
    std::vector<uint8_t> m_planned;
    std::vector<std::span<const RowPiece>> m_visible;
    std::vector<RowPiece> m_pieces;
    std::vector<uint32_t> m_first; // per command: where its pieces start in m_pieces
    std::vector<std::span<const RowPiece>> m_hidden;
    std::vector<RowPiece> m_hiddenPieces;
    std::vector<std::pair<uint32_t, uint32_t>> m_hiddenRange; // per command, in m_hiddenPieces
    std::vector<RowPiece> m_inside; // a shape's opaque insides, while planning it
    // The insides found for each look this frame, with the translation they were found at.
    struct LookInside {
        std::size_t first, count; // in m_lookInsides
        int wholeX, wholeY;
    };
    std::unordered_map<const void*, LookInside> m_insideOfLook;
    std::vector<RowPiece> m_lookInsides;
    std::vector<uint8_t> m_whollyHidden;
    CoverRows m_cover;
    ShapeRecordings m_store; // the frame's recorded shapes; reused from frame to frame
    std::vector<RecordedShape> m_recorded;
    std::vector<int32_t> m_recordingOf; // per command: its place in m_recorded, or -1
    std::vector<int32_t> m_rowX0, m_rowX1;
    std::vector<uint8_t> m_toRecord; // per command: worth recording
    std::vector<int32_t> m_look;     // per command: its look's number in the shape cache
    std::vector<float> m_shown;      // per command painted from edges: the share it shows
};

} // namespace swivio::swf::raster
