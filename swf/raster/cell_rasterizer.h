#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include <agg_basics.h>
#include <agg_rasterizer_sl_clip.h>

namespace swivio::swf::raster {

// Anti-aliased coverage of one path, with the arithmetic of AGG's scanline rasterizer
// (1/256 pixel, the same cells, the same clipping), so a shape looks exactly as AGG paints
// it; only the bookkeeping differs. Edges add their cover and area straight into a grid of
// cells over the path's box, which is read row by row and left zero again, instead of
// collecting cells in a list and sorting it by row and column: the sort was the costliest
// part of painting a shape for the first time.
//
// Usage: clipBox(), then moveTo()/lineTo()/closePolygon() or addPath(), then sweep().
// Coordinates are surface pixels; spans lie inside the clip box (lines outside it are moved
// onto its border, where they add cover but no area).
class CellRasterizer {
public:
    // Part of a row: `len` pixels from x, with a cover each (covers) or, for a run, one cover
    // for them all (covers[0]).
    struct Span {
        int x = 0;
        int len = 0;
        bool run = false;
        const uint8_t* covers = nullptr;
    };

    // Forgets the path; keeps the clip box, rule and buffers.
    void reset();
    // Clips to [0, width] x [0, height] pixels, and forgets the path.
    void clipBox(int width, int height);
    void fillingRule(bool nonZero) { m_nonZero = nonZero; }
    // Whether moveTo() and sweep() close the open polygon first.
    void autoClose(bool on) { m_autoClose = on; }

    void moveTo(double x, double y);
    void lineTo(double x, double y);
    void closePolygon();

    // Takes an AGG vertex source's path (move_to, line_to and close commands).
    template <class VertexSource> void addPath(VertexSource& source) {
        source.rewind(0);
        double x = 0, y = 0;
        unsigned cmd;
        while (!agg::is_stop(cmd = source.vertex(&x, &y))) {
            if (agg::is_move_to(cmd)) {
                moveTo(x, y);
            } else if (agg::is_vertex(cmd)) {
                lineTo(x, y);
            } else if (agg::is_close(cmd)) {
                closePolygon();
            }
        }
    }

    // Rows whose cells sweep() leaves out (what a row shows depends on its own cells only),
    // a byte per row from minY(), non-zero to skip; null for none. Kept until reset().
    void skipRows(const uint8_t* rows) { m_skipRows = rows; }

    // The cells the path touches, in pixels (inclusive); min > max when it touches none.
    int minX() const { return m_minX; }
    int minY() const { return m_minY; }
    int maxX() const { return m_maxX; }
    int maxY() const { return m_maxY; }

    // Calls row(y, spans, count) for each row with coverage, top to bottom, spans left to
    // right; the spans live until the next call. Returns whether the path added any cell
    // (possibly of no visible coverage): false means nothing was touched.
    template <class RowFn> bool sweep(RowFn row);

    // One clipped line in 1/256 pixel (called by the clipper).
    void line(int x1, int y1, int x2, int y2);

    // Cells held at once (8 bytes each): a path is swept in bands of rows this small, so
    // that a band's cells are still in the cache when the band is read. Lines are sorted by
    // the band they start in, and each band walks only its own rows of the lines reaching it.
    static constexpr std::size_t kBandCells = std::size_t(1) << 14;
    // Upper bound on the lines one path keeps (16 bytes each); further ones are dropped, so
    // a hostile path costs bounded memory.
    static constexpr std::size_t kMaxLines = std::size_t(1) << 22;

private:
    struct Segment {
        int x1, y1, x2, y2;
    };
    struct Cell {
        int cover = 0;
        int area = 0;
    };

    // Sizes the grid and sorts the lines by the band they start in.
    void prepareBands();
    // Adds the cells of the band at m_bandTop: lines starting in it join the active ones,
    // and those ending in it leave after it.
    void renderBand();
    void renderLine(const Segment& s);
    void renderHline(int ey, int x1, int y1, int x2, int y2);
    void add(int ex, int ey, int cover, int area) {
        const unsigned col = unsigned(ex - m_minX);
        const unsigned row = unsigned(ey - m_bandTop);
        if (col >= unsigned(m_cols) || row >= unsigned(m_bandRows) ||
            (m_skipRows && m_skipRows[ey - m_minY])) {
            return;
        }
        m_anyCell = m_anyCell || (cover | area) != 0;
        Cell& c = m_cells[std::size_t(row) * std::size_t(m_cols) + col];
        c.cover += cover;
        c.area += area;
        m_touched[std::size_t(row) * std::size_t(m_words) + (col >> 6)] |= uint64_t(1)
                                                                           << (col & 63);
    }
    // Reads band row `row` into m_spans (and zeroes it); returns the span count.
    int readRow(int row);

    agg::rasterizer_sl_clip_dbl m_clipper;
    std::vector<Segment> m_segments;
    std::vector<uint32_t> m_bandStart; // per band: where its lines start in m_order
    std::vector<uint32_t> m_order;     // line indices, band by band
    std::vector<uint32_t> m_active;    // lines reaching the current band
    std::vector<Cell> m_cells;         // band rows x columns, zero outside a sweep
    std::vector<uint64_t> m_touched;   // per band row: a bit per column with a cell
    std::vector<Span> m_spans;
    std::vector<uint8_t> m_covers;
    const uint8_t* m_skipRows = nullptr;
    int m_minX = 0x7FFFFFFF, m_minY = 0x7FFFFFFF, m_maxX = -0x7FFFFFFF, m_maxY = -0x7FFFFFFF;
    int m_cols = 0, m_words = 0;
    int m_bandTop = 0, m_bandRows = 0;
    double m_startX = 0, m_startY = 0;
    bool m_anyCell = false;  // some line added cover or area
    bool m_oneBand = false;  // the path fits one band: its lines are not sorted
    bool m_lineOpen = false; // lines drawn since the last moveTo
    bool m_nonZero = true;
    bool m_autoClose = true;
};

// A swept span cut to the columns [0, width); len <= 0 when nothing is left.
inline CellRasterizer::Span clippedSpan(const CellRasterizer::Span& span, int width) {
    CellRasterizer::Span part = span;
    if (part.x < 0) {
        part.covers -= span.run ? 0 : part.x;
        part.len += part.x;
        part.x = 0;
    }
    part.len = std::min(part.len, width - part.x);
    return part;
}

template <class RowFn> bool CellRasterizer::sweep(RowFn row) {
    if (m_autoClose) {
        closePolygon();
    }
    if (m_segments.empty() || m_minY > m_maxY) {
        return false;
    }
    prepareBands();
    m_anyCell = false;
    for (m_bandTop = m_minY; m_bandTop <= m_maxY; m_bandTop += m_bandRows) {
        renderBand();
        const int last = std::min(m_bandRows, m_maxY + 1 - m_bandTop);
        for (int r = 0; r < last; ++r) {
            const int count = readRow(r);
            if (count > 0) {
                row(m_bandTop + r, m_spans.data(), count);
            }
        }
    }
    return m_anyCell;
}

} // namespace swivio::swf::raster
