#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "swf/format/bitmap.h"
#include "swf/raster/cover_rows.h"
#include "swf/raster/render_commands.h"
#include "swf/raster/shape_cache.h"

namespace swivio::swf::raster {

// Which parts of a frame's kept pictures are worth composing. A cartoon's shapes cover the
// frame several times over, and a pixel that an opaque picture drawn later at the top
// level paints over ends as that picture's pixel whatever was put there before: so,
// walking the commands from last to first, each picture drawn at the top level keeps only
// the row pieces that no later unmasked opaque run covers. Shapes inside layers and mask
// definitions are left whole (filters and masks read their pixels), and so are shapes
// painted from their edges (their coverage is not known beforehand).
class OcclusionPlan {
public:
    // Plans the commands for a surface of the given size; the cache must have begun the
    // frame, and the arguments must be those the commands will be drawn with.
    void plan(const RenderCommandList& commands, const BitmapLookup& bitmaps, const Matrix& view,
              int width, int height, const ShapeCache& cache);

    // The pieces of command `index`'s picture to compose, or null to draw it whole.
    const std::span<const RowPiece>* visible(std::size_t index) const {
        return index < m_visible.size() && m_planned[index] ? &m_visible[index] : nullptr;
    }

    // Pieces kept for one frame at most (12 bytes each).
    static constexpr std::size_t kMaxPieces = std::size_t(1) << 21;

private:
    struct TopLevel {
        bool top = false;    // drawn on the frame's own surface
        bool masked = false; // under a mask there
    };
    void findTopLevel(const RenderCommandList& commands);

    std::vector<TopLevel> m_levels;
    std::vector<uint8_t> m_planned;
    std::vector<std::span<const RowPiece>> m_visible;
    std::vector<RowPiece> m_pieces;
    std::vector<uint32_t> m_first; // per command: where its pieces start in m_pieces
    CoverRows m_cover;
};

} // namespace swivio::swf::raster
