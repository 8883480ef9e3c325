#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace swivio::swf::raster {

// What opaque drawing already hides on a surface, row by row: one covered run per row, the
// longest known. A row can hide more than one run; what is not recorded is merely drawn
// and then covered again, so the record only ever errs on the side of drawing.
class CoverRows {
public:
    // Nothing covered on a surface of `height` rows.
    void reset(int height) { m_rows.assign(std::size_t(std::max(height, 0)), Run{}); }

    // Calls visible(x0, x1) for each part of [x0, x1) on row y left uncovered: none, one
    // or two parts, left to right. Rows outside the surface are wholly visible.
    template <class Visible> void forVisible(int y, int x0, int x1, Visible visible) const {
        if (x0 >= x1) {
            return;
        }
        if (y < 0 || std::size_t(y) >= m_rows.size()) {
            visible(x0, x1);
            return;
        }
        const Run& r = m_rows[std::size_t(y)];
        if (r.x0 >= r.x1 || r.x1 <= x0 || r.x0 >= x1) {
            visible(x0, x1);
            return;
        }
        if (x0 < r.x0) {
            visible(x0, r.x0);
        }
        if (r.x1 < x1) {
            visible(r.x1, x1);
        }
    }

    // Records [x0, x1) on row y as covered: joined to the run there when they touch,
    // otherwise kept when longer.
    void cover(int y, int x0, int x1) {
        if (x0 >= x1 || y < 0 || std::size_t(y) >= m_rows.size()) {
            return;
        }
        Run& r = m_rows[std::size_t(y)];
        if (r.x0 < r.x1 && x0 <= r.x1 && x1 >= r.x0) {
            r.x0 = std::min(r.x0, x0);
            r.x1 = std::max(r.x1, x1);
        } else if (x1 - x0 > r.x1 - r.x0) {
            r = {x0, x1};
        }
    }

private:
    struct Run {
        int32_t x0 = 0, x1 = 0;
    };
    std::vector<Run> m_rows;
};

} // namespace swivio::swf::raster
