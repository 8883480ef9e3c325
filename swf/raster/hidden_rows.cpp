#include "swf/raster/hidden_rows.h"

namespace swivio::swf::raster {

void HiddenRows::reset(std::span<const RowPiece> pieces) {
    m_pieces = {};
    m_rowStart.clear();
    if (pieces.empty()) {
        return;
    }
    m_top = pieces.front().y;
    const long rows = long(pieces.back().y) - m_top + 1;
    if (rows <= 0) {
        return; // not sorted by row: taken as covering nothing
    }
    m_rowStart.assign(std::size_t(rows) + 1, 0);
    int previous = m_top;
    for (const RowPiece& piece : pieces) {
        if (piece.y < previous) {
            m_rowStart.clear();
            return;
        }
        previous = piece.y;
        ++m_rowStart[std::size_t(piece.y - m_top) + 1];
    }
    for (std::size_t r = 0; r < std::size_t(rows); ++r) {
        m_rowStart[r + 1] += m_rowStart[r];
    }
    m_pieces = pieces;
}

bool HiddenRows::coversBox(int x0, int y0, int x1, int y1) const {
    const long first = long(y0) - m_top, last = long(y1) - m_top; // rows [first, last)
    if (x0 >= x1 || first >= last || m_pieces.empty() || first < 0 ||
        last >= long(m_rowStart.size())) {
        return false;
    }
    for (long row = first; row < last; ++row) {
        bool covered = false;
        for (uint32_t i = m_rowStart[std::size_t(row)]; i < m_rowStart[std::size_t(row) + 1]; ++i) {
            const RowPiece& piece = m_pieces[i];
            if (piece.x0 > x0) {
                break; // pieces run left to right
            }
            if (piece.x1 >= x1) {
                covered = true;
                break;
            }
        }
        if (!covered) {
            return false;
        }
    }
    return true;
}

} // namespace swivio::swf::raster
