#include "swf/raster/stroke_cut.h"

#include <algorithm>
#include <cmath>

namespace swivio::swf::raster {

bool StrokeCutter::markSubpath(bool closed, const HiddenRows& hidden, double reach) {
    const std::size_t n = m_points.size();
    const std::size_t lines = n < 2 ? 0 : closed ? n : n - 1; // a closed one ends at its start
    m_hidden.assign(lines, 0);
    bool any = false;
    for (std::size_t i = 0; i < lines; ++i) {
        const Vertex& a = m_points[i];
        const Vertex& b = m_points[(i + 1) % n];
        const double x0 = std::floor(std::min(a.x, b.x) - reach);
        const double y0 = std::floor(std::min(a.y, b.y) - reach);
        const double x1 = std::ceil(std::max(a.x, b.x) + reach);
        const double y1 = std::ceil(std::max(a.y, b.y) + reach);
        // Far off the surface nothing is covered; this also keeps the casts in range.
        constexpr double kFar = 1 << 24;
        if (x0 > -kFar && y0 > -kFar && x1 < kFar && y1 < kFar &&
            hidden.coversBox(int(x0), int(y0), int(x1), int(y1))) {
            m_hidden[i] = 1;
            any = true;
        }
    }
    return any;
}

void StrokeCutter::emitSubpath(bool closed, agg::path_storage& out) const {
    const std::size_t n = m_points.size();
    const std::size_t lines = m_hidden.size();
    const auto firstHidden =
        std::size_t(std::find(m_hidden.begin(), m_hidden.end(), 1) - m_hidden.begin());
    if (firstHidden == lines) {
        out.move_to(m_points[0].x, m_points[0].y);
        for (std::size_t i = 1; i < n; ++i) {
            out.line_to(m_points[i].x, m_points[i].y);
        }
        if (closed) {
            out.close_polygon();
        }
        return;
    }
    // Runs of shown lines, from just after a hidden one (a closed path is walked round).
    const std::size_t start = closed ? firstHidden + 1 : 0;
    bool open = false;
    for (std::size_t k = 0; k < lines; ++k) {
        const std::size_t i = (start + k) % lines;
        if (m_hidden[i]) {
            open = false;
            continue;
        }
        if (!open) {
            out.move_to(m_points[i].x, m_points[i].y);
            open = true;
        }
        const Vertex& to = m_points[(i + 1) % n];
        out.line_to(to.x, to.y);
    }
}

bool StrokeCutter::cut(const agg::path_storage& path, const HiddenRows& hidden, double reach,
                       agg::path_storage& out) {
    if (hidden.empty()) {
        return false;
    }
    out.remove_all();
    bool anyHidden = false;
    bool closed = false;
    auto flush = [&] {
        if (!m_points.empty()) {
            anyHidden = markSubpath(closed, hidden, reach) || anyHidden;
            emitSubpath(closed, out);
        }
        m_points.clear();
        closed = false;
    };
    const unsigned total = path.total_vertices();
    for (unsigned i = 0; i < total; ++i) {
        double x = 0, y = 0;
        const unsigned cmd = path.vertex(i, &x, &y);
        if (agg::is_move_to(cmd)) {
            flush();
            m_points.push_back({x, y});
        } else if (agg::is_vertex(cmd)) {
            m_points.push_back({x, y}); // a line with no move before it starts a path there
        } else if (agg::is_close(cmd)) {
            closed = true;
            flush();
        }
    }
    flush();
    return anyHidden;
}

} // namespace swivio::swf::raster
