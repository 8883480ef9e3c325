#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "swf/raster/surface.h"

namespace swivio::swf::raster {

// The pieces of a drawing that later drawings cover, found by row, to ask whether a row's
// stretch or a whole box lies under them.
class HiddenRows {
public:
    // Takes pieces sorted by row, then column (kept by reference until the next reset).
    void reset(std::span<const RowPiece> pieces);

    bool empty() const { return m_pieces.empty(); }
    // Row y's pieces, left to right.
    std::span<const RowPiece> row(int y) const {
        const long r = long(y) - m_top;
        if (m_pieces.empty() || r < 0 || r + 1 >= long(m_rowStart.size())) {
            return {};
        }
        return m_pieces.subspan(m_rowStart[std::size_t(r)],
                                m_rowStart[std::size_t(r) + 1] - m_rowStart[std::size_t(r)]);
    }
    // Whether one piece spans [x0, x1) on row y (never for an empty stretch).
    bool coversRow(int y, int x0, int x1) const {
        const long row = long(y) - m_top;
        if (x0 >= x1 || m_pieces.empty() || row < 0 || row + 1 >= long(m_rowStart.size())) {
            return false;
        }
        for (uint32_t i = m_rowStart[std::size_t(row)]; i < m_rowStart[std::size_t(row) + 1]; ++i) {
            const RowPiece& piece = m_pieces[i];
            if (piece.x0 > x0) {
                return false; // pieces run left to right
            }
            if (piece.x1 >= x1) {
                return true;
            }
        }
        return false;
    }
    // Whether every pixel of [x0, x1) x [y0, y1) is covered (never for an empty box).
    bool coversBox(int x0, int y0, int x1, int y1) const;

private:
    std::span<const RowPiece> m_pieces;
    int m_top = 0;
    std::vector<uint32_t> m_rowStart; // per row from m_top: its first piece, then the end
};

} // namespace swivio::swf::raster
