#include "swf/raster/cell_rasterizer.h"

#include <cstdlib>

namespace swivio::swf::raster {
namespace {

constexpr int kShift = agg::poly_subpixel_shift; // 8: coordinates in 1/256 pixel
constexpr int kScale = 1 << kShift;
constexpr int kMask = kScale - 1;

} // namespace

void CellRasterizer::reset() {
    m_segments.clear();
    m_minX = m_minY = 0x7FFFFFFF;
    m_maxX = m_maxY = -0x7FFFFFFF;
    m_lineOpen = false;
    m_anyCell = false;
    m_skipRows = nullptr;
}

void CellRasterizer::clipBox(int width, int height) {
    reset();
    m_clipper.clip_box(0, 0, width, height);
}

void CellRasterizer::moveTo(double x, double y) {
    if (m_autoClose) {
        closePolygon();
    }
    m_startX = x;
    m_startY = y;
    m_clipper.move_to(x, y);
    m_lineOpen = false;
}

void CellRasterizer::lineTo(double x, double y) {
    m_clipper.line_to(*this, x, y);
    m_lineOpen = true;
}

void CellRasterizer::closePolygon() {
    if (m_lineOpen) {
        m_clipper.line_to(*this, m_startX, m_startY);
        m_lineOpen = false;
    }
}

void CellRasterizer::line(int x1, int y1, int x2, int y2) {
    if (m_segments.size() >= kMaxLines) {
        return;
    }
    // The box takes both ends' cells, even of a line that adds no coverage (it still marks
    // the painted area the way callers expect).
    const int ex1 = x1 >> kShift, ex2 = x2 >> kShift;
    const int ey1 = y1 >> kShift, ey2 = y2 >> kShift;
    m_minX = std::min({m_minX, ex1, ex2});
    m_maxX = std::max({m_maxX, ex1, ex2});
    m_minY = std::min({m_minY, ey1, ey2});
    m_maxY = std::max({m_maxY, ey1, ey2});
    m_segments.push_back({x1, y1, x2, y2});
}

void CellRasterizer::prepareBands() {
    m_cols = m_maxX - m_minX + 1;
    m_words = (m_cols + 63) / 64;
    const int rows = m_maxY - m_minY + 1;
    m_bandRows =
        int(std::clamp<std::size_t>(kBandCells / std::size_t(m_cols), 1, std::size_t(rows)));
    const std::size_t cells = std::size_t(m_bandRows) * std::size_t(m_cols);
    if (m_cells.size() < cells) {
        m_cells.resize(cells);
    }
    const std::size_t words = std::size_t(m_bandRows) * std::size_t(m_words);
    if (m_touched.size() < words) {
        m_touched.resize(words);
    }
    if (m_spans.size() < std::size_t(m_cols) + 2) {
        m_spans.resize(std::size_t(m_cols) + 2);
        m_covers.resize(std::size_t(m_cols) + 2);
    }
    // A counting sort of the lines by the band of their top row; a path of one band (most
    // are) needs none.
    const std::size_t bands = std::size_t((rows + m_bandRows - 1) / m_bandRows);
    m_oneBand = bands == 1;
    if (m_oneBand) {
        return;
    }
    m_bandStart.assign(bands + 1, 0);
    auto bandOf = [this](const Segment& seg) {
        return std::size_t(((std::min(seg.y1, seg.y2) >> kShift) - m_minY) / m_bandRows);
    };
    for (const Segment& seg : m_segments) {
        ++m_bandStart[bandOf(seg) + 1];
    }
    for (std::size_t b = 0; b < bands; ++b) {
        m_bandStart[b + 1] += m_bandStart[b];
    }
    m_order.resize(m_segments.size());
    m_active.assign(m_bandStart.begin(), m_bandStart.end() - 1); // fill positions, for now
    for (std::size_t i = 0; i < m_segments.size(); ++i) {
        m_order[m_active[bandOf(m_segments[i])]++] = uint32_t(i);
    }
    m_active.clear();
}

void CellRasterizer::renderBand() {
    if (m_oneBand) {
        for (const Segment& seg : m_segments) {
            renderLine(seg);
        }
        return;
    }
    const std::size_t band = std::size_t((m_bandTop - m_minY) / m_bandRows);
    m_active.insert(m_active.end(), m_order.begin() + m_bandStart[band],
                    m_order.begin() + m_bandStart[band + 1]);
    const int bandBottom = m_bandTop + m_bandRows;
    std::size_t kept = 0;
    for (const uint32_t index : m_active) {
        const Segment& seg = m_segments[index];
        renderLine(seg);
        if ((std::max(seg.y1, seg.y2) >> kShift) >= bandBottom) {
            m_active[kept++] = index; // reaches the next band
        }
    }
    m_active.resize(kept);
}

void CellRasterizer::renderLine(const Segment& s) {
    const int x1 = s.x1, y1 = s.y1, x2 = s.x2, y2 = s.y2;
    const long long dx = (long long)x2 - x1;
    long long dy = (long long)y2 - y1;
    int ey1 = y1 >> kShift;
    const int ey2 = y2 >> kShift;
    const int fy1 = y1 & kMask;
    const int fy2 = y2 & kMask;
    const int bandBottom = m_bandTop + m_bandRows; // exclusive

    if (ey1 == ey2) {
        renderHline(ey1, x1, fy1, x2, fy2);
        return;
    }

    int incr = 1;
    if (dx == 0) {
        // A vertical line: one cell a row, the same cover and area in every whole row.
        const int ex = x1 >> kShift;
        const int twoFx = (x1 - (ex << kShift)) << 1;
        int first = kScale;
        if (dy < 0) {
            first = 0;
            incr = -1;
        }
        int delta = first - fy1;
        add(ex, ey1, delta, twoFx * delta);
        delta = first + first - kScale;
        const int area = twoFx * delta;
        // The whole rows between the ends, only those of this band.
        const int from = std::max(std::min(ey1, ey2) + 1, m_bandTop);
        const int to = std::min(std::max(ey1, ey2), bandBottom);
        for (int ey = from; ey < to; ++ey) {
            add(ex, ey, delta, area);
        }
        delta = fy2 - kScale + first;
        add(ex, ey2, delta, twoFx * delta);
        return;
    }

    // Several rows: the x where the line crosses each row boundary, stepped exactly; after
    // j whole rows it is x1 + floor((p0 + j * step) / dy).
    long long p0 = (kScale - fy1) * dx;
    int first = kScale;
    if (dy < 0) {
        p0 = fy1 * dx;
        first = 0;
        incr = -1;
        dy = -dy;
    }
    const long long step = kScale * dx;
    // Whole rows before this band's first one, along the line: jumped over in one go.
    const int rowsBetween = std::abs(ey2 - ey1) - 1;
    const int skip = std::clamp(incr > 0 ? m_bandTop - ey1 - 1 : ey1 - bandBottom, 0, rowsBetween);
    const long long start = p0 + skip * step;
    int xFrom = x1 + int(start / dy);
    int mod = int(start % dy);
    if (mod < 0) {
        --xFrom;
        mod += int(dy);
    }
    if (skip == 0) {
        renderHline(ey1, x1, fy1, xFrom, first);
    }
    ey1 += incr * (1 + skip);
    if (ey1 != ey2) {
        int lift = int(step / dy);
        int rem = int(step % dy);
        if (rem < 0) {
            --lift;
            rem += int(dy);
        }
        mod -= int(dy);
        while (ey1 != ey2) {
            if (incr > 0 ? ey1 >= bandBottom : ey1 < m_bandTop) {
                return; // the rest of the line lies beyond this band
            }
            int delta = lift;
            mod += rem;
            if (mod >= 0) {
                mod -= int(dy);
                ++delta;
            }
            const int xTo = xFrom + delta;
            renderHline(ey1, xFrom, kScale - first, xTo, first);
            xFrom = xTo;
            ey1 += incr;
        }
    }
    renderHline(ey1, xFrom, kScale - first, x2, fy2);
}

void CellRasterizer::renderHline(int ey, int x1, int y1, int x2, int y2) {
    if (y1 == y2) {
        return;
    }
    if (unsigned(ey - m_bandTop) >= unsigned(m_bandRows) ||
        (m_skipRows && m_skipRows[ey - m_minY])) {
        return; // another band's row, or one left out
    }
    // Every cell of the call is on one row.
    const std::size_t row = std::size_t(ey - m_bandTop);
    Cell* cells = &m_cells[row * std::size_t(m_cols)];
    uint64_t* touched = &m_touched[row * std::size_t(m_words)];
    auto add = [&](int ex, int, int cover, int area) {
        const unsigned col = unsigned(ex - m_minX);
        if (col >= unsigned(m_cols)) {
            return;
        }
        m_anyCell = m_anyCell || (cover | area) != 0;
        cells[col].cover += cover;
        cells[col].area += area;
        touched[col >> 6] |= uint64_t(1) << (col & 63);
    };
    int ex1 = x1 >> kShift;
    const int ex2 = x2 >> kShift;
    const int fx1 = x1 & kMask;
    const int fx2 = x2 & kMask;
    if (ex1 == ex2) {
        const int delta = y2 - y1;
        add(ex1, ey, delta, (fx1 + fx2) * delta);
        return;
    }
    // A run of cells along the row: the y where the line crosses each column boundary.
    int p = (kScale - fx1) * (y2 - y1);
    int first = kScale;
    int incr = 1;
    long long dx = (long long)x2 - x1;
    if (dx < 0) {
        p = fx1 * (y2 - y1);
        first = 0;
        incr = -1;
        dx = -dx;
    }
    int delta = int(p / dx);
    int mod = int(p % dx);
    if (mod < 0) {
        --delta;
        mod += int(dx);
    }
    add(ex1, ey, delta, (fx1 + first) * delta);
    ex1 += incr;
    y1 += delta;
    if (ex1 != ex2) {
        p = kScale * (y2 - y1 + delta);
        int lift = int(p / dx);
        int rem = int(p % dx);
        if (rem < 0) {
            --lift;
            rem += int(dx);
        }
        mod -= int(dx);
        while (ex1 != ex2) {
            delta = lift;
            mod += rem;
            if (mod >= 0) {
                mod -= int(dx);
                ++delta;
            }
            add(ex1, ey, delta, kScale * delta);
            y1 += delta;
            ex1 += incr;
        }
    }
    delta = y2 - y1;
    add(ex1, ey, delta, (fx2 + kScale - first) * delta);
}

namespace {

// A cell's coverage from its accumulated area (cover and area together), by the rule.
inline unsigned alphaOf(int area, bool nonZero) {
    int cover = area >> (kShift * 2 + 1 - 8);
    if (cover < 0) {
        cover = -cover;
    }
    if (!nonZero) {
        cover &= 511;
        if (cover > 256) {
            cover = 512 - cover;
        }
    }
    return unsigned(std::min(cover, 255));
}

} // namespace

int CellRasterizer::readRow(int row) {
    // The state lives in locals: the covers are bytes, and storing a byte could change any
    // member as far as the compiler knows, so members would be read again after each one.
    uint64_t* words = &m_touched[std::size_t(row) * std::size_t(m_words)];
    Cell* cells = &m_cells[std::size_t(row) * std::size_t(m_cols)];
    Span* spans = m_spans.data();
    uint8_t* covers = m_covers.data();
    const int minX = m_minX, wordCount = m_words;
    const bool nonZero = m_nonZero;
    int count = 0;
    int lastX = 0; // the last column put down
    // Covers of a span are stored at its own columns, so spans never overlap in covers.
    auto addCell = [&](int x, unsigned a) {
        if (count > 0 && x == lastX + 1 && !spans[count - 1].run) {
            covers[x - minX] = uint8_t(a);
            ++spans[count - 1].len;
        } else {
            covers[x - minX] = uint8_t(a);
            spans[count++] = {x, 1, false, covers + (x - minX)};
        }
        lastX = x;
    };
    auto addRun = [&](int x, int len, unsigned a) {
        if (count > 0 && x == lastX + 1 && spans[count - 1].run && *spans[count - 1].covers == a) {
            spans[count - 1].len += len;
        } else {
            covers[x - minX] = uint8_t(a);
            spans[count++] = {x, len, true, covers + (x - minX)};
        }
        lastX = x + len - 1;
    };
    int cover = 0;
    int x = 0; // the next column not yet put down
    bool started = false;
    for (int w = 0; w < wordCount; ++w) {
        uint64_t bits = words[w];
        if (bits == 0) {
            continue;
        }
        words[w] = 0;
        while (bits != 0) {
            const int col = w * 64 + __builtin_ctzll(bits);
            bits &= bits - 1;
            const int cx = minX + col;
            // The cover carried from the left reaches every column up to this cell.
            if (started && cx > x) {
                const unsigned a = alphaOf(cover << (kShift + 1), nonZero);
                if (a != 0) {
                    addRun(x, cx - x, a);
                }
            }
            started = true;
            Cell& c = cells[col];
            cover += c.cover;
            const int area = c.area;
            c = Cell{};
            x = cx;
            if (area != 0) {
                const unsigned a = alphaOf((cover << (kShift + 1)) - area, nonZero);
                if (a != 0) {
                    addCell(cx, a);
                }
                x = cx + 1;
            }
        }
    }
    return count;
}

} // namespace swivio::swf::raster
