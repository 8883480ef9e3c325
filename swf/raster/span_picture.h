#pragma once

#include <cstdint>
#include <vector>

#include "swf/raster/surface.h"

namespace swivio::swf::raster {

// A painted picture kept row by row: each row holds only the pixels from its first to its
// last non-transparent one, and knows its longest run of opaque pixels. Composing copies
// that run and blends only the rest, and the runs tell what the picture hides below it.
// Pixels are premultiplied (see pixel_ops.h).
class SpanPicture {
public:
    // One row: pixels [x0, x1) are stored, [opaque0, opaque1) of them are all opaque
    // (empty when opaque0 == opaque1). Columns relative to the picture's left edge.
    struct Row {
        int32_t x0 = 0, x1 = 0;
        int32_t opaque0 = 0, opaque1 = 0;
        uint32_t offset = 0; // where pixel x0 is stored
    };

    // Takes the pixels of `box` from `surface` (clipped to its bounds). Rows without
    // pixels at the top and bottom are left out: the picture's (0, 0) is the box's left
    // edge on its first row with pixels, skippedRows() below the box's top.
    SpanPicture(const Surface& surface, const PixelBox& box);

    int width() const { return m_width; }
    int height() const { return int(m_rows.size()); }
    int skippedRows() const { return m_skipped; }
    bool isEmpty() const { return m_pixels.empty(); }
    const Row& row(int y) const { return m_rows[std::size_t(y)]; }
    std::size_t byteSize() const {
        return m_pixels.size() * sizeof(uint32_t) + m_rows.size() * sizeof(Row);
    }

    // Source-over of picture row y, columns [from, to) (clipped to what the row holds),
    // onto a surface row whose pixel `left` is the picture's column 0; the caller keeps
    // [left + from, left + to) inside the row. The mask row, when given, is indexed like
    // the surface row and scales each pixel first.
    void composeRow(int y, int from, int to, uint32_t* surfaceRow, int left,
                    const uint8_t* maskRow) const;

private:
    int m_width = 0;
    int m_skipped = 0;
    std::vector<Row> m_rows;
    std::vector<uint32_t> m_pixels;
};

} // namespace swivio::swf::raster
