#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

namespace swivio::swf::raster {

// What opaque drawing already hides on a surface, row by row: up to kRuns covered runs a
// row, the longest known. A row can hide more than that; what is not recorded is merely
// drawn and then covered again, so the record only ever errs on the side of drawing.
class CoverRows {
public:
    static constexpr int kRuns = 8;

    // Nothing covered on a surface of `height` rows.
    void reset(int height) { m_rows.assign(std::size_t(std::max(height, 0)), Row{}); }

    // Calls visible(x0, x1) for each part of [x0, x1) on row y left uncovered, left to
    // right. Rows outside the surface are wholly visible.
    template <class Visible> void forVisible(int y, int x0, int x1, Visible visible) const {
        if (x0 >= x1) {
            return;
        }
        if (y < 0 || std::size_t(y) >= m_rows.size()) {
            visible(x0, x1);
            return;
        }
        const Row& row = m_rows[std::size_t(y)];
        int from = x0;
        for (int i = 0; i < row.count && from < x1; ++i) {
            const Run& r = row.runs[std::size_t(i)];
            if (r.x1 <= from) {
                continue;
            }
            if (r.x0 >= x1) {
                break;
            }
            if (r.x0 > from) {
                visible(from, r.x0);
            }
            from = r.x1;
        }
        if (from < x1) {
            visible(from, x1);
        }
    }

    // Calls covered(x0, x1) for each part of [x0, x1) on row y known to be covered, left to
    // right.
    template <class Covered> void forCovered(int y, int x0, int x1, Covered covered) const {
        if (x0 >= x1 || y < 0 || std::size_t(y) >= m_rows.size()) {
            return;
        }
        const Row& row = m_rows[std::size_t(y)];
        for (int i = 0; i < row.count; ++i) {
            const Run& r = row.runs[std::size_t(i)];
            const int a = std::max(r.x0, x0), b = std::min(r.x1, x1);
            if (a < b) {
                covered(a, b);
            }
        }
    }

    // Records [x0, x1) on row y as covered, joined to the runs it touches. When the row
    // then holds too many runs, the shortest is forgotten.
    void cover(int y, int x0, int x1) {
        if (x0 >= x1 || y < 0 || std::size_t(y) >= m_rows.size()) {
            return;
        }
        Row& row = m_rows[std::size_t(y)];
        Run joined{x0, x1};
        int n = 0; // runs kept, in order, with the joined one left out
        std::array<Run, kRuns + 1> kept;
        for (int i = 0; i < row.count; ++i) {
            const Run& r = row.runs[std::size_t(i)];
            if (r.x1 >= x0 && r.x0 <= x1) {
                joined.x0 = std::min(joined.x0, r.x0);
                joined.x1 = std::max(joined.x1, r.x1);
            } else {
                kept[std::size_t(n++)] = r;
            }
        }
        auto at = std::find_if(kept.begin(), kept.begin() + n,
                               [&](const Run& r) { return r.x0 > joined.x0; });
        std::copy_backward(at, kept.begin() + n, kept.begin() + n + 1);
        *at = joined;
        ++n;
        if (n > kRuns) {
            auto shortest =
                std::min_element(kept.begin(), kept.begin() + n, [](const Run& a, const Run& b) {
                    return a.x1 - a.x0 < b.x1 - b.x0;
                });
            std::copy(shortest + 1, kept.begin() + n, shortest);
            --n;
        }
        std::copy(kept.begin(), kept.begin() + n, row.runs.begin());
        row.count = n;
    }

private:
    struct Run {
        int32_t x0 = 0, x1 = 0;
    };
    struct Row {
        int count = 0;
        std::array<Run, kRuns> runs;
    };
    std::vector<Row> m_rows;
};

} // namespace swivio::swf::raster
