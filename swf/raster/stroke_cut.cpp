#include "swf/raster/stroke_cut.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace swivio::swf::raster {
namespace {

struct Vertex {
    double x, y;
};

bool lineHidden(const Vertex& a, const Vertex& b, const HiddenRows& hidden, double reach) {
    const double x0 = std::floor(std::min(a.x, b.x) - reach);
    const double y0 = std::floor(std::min(a.y, b.y) - reach);
    const double x1 = std::ceil(std::max(a.x, b.x) + reach);
    const double y1 = std::ceil(std::max(a.y, b.y) + reach);
    // Far off the surface nothing is covered; this also keeps the casts in range.
    constexpr double kFar = 1 << 24;
    if (!(x0 > -kFar && y0 > -kFar && x1 < kFar && y1 < kFar)) {
        return false;
    }
    return hidden.coversBox(int(x0), int(y0), int(x1), int(y1));
}

// Emits one subpath: whole when none of its lines is hidden, else its runs of shown lines.
void emitSubpath(const std::vector<Vertex>& points, bool closed, const HiddenRows& hidden,
                 double reach, std::vector<uint8_t>& cut, agg::path_storage& out) {
    const std::size_t n = points.size();
    const std::size_t lines = n < 2 ? 0 : closed ? n : n - 1; // a closed one ends at its start
    cut.assign(lines, 0);
    std::size_t firstCut = lines;
    for (std::size_t i = 0; i < lines; ++i) {
        cut[i] = lineHidden(points[i], points[(i + 1) % n], hidden, reach);
        if (cut[i] && firstCut == lines) {
            firstCut = i;
        }
    }
    if (firstCut == lines) {
        out.move_to(points[0].x, points[0].y);
        for (std::size_t i = 1; i < n; ++i) {
            out.line_to(points[i].x, points[i].y);
        }
        if (closed) {
            out.close_polygon();
        }
        return;
    }
    // Runs of shown lines, from just after a hidden one (a closed path is walked round).
    const std::size_t start = closed ? firstCut + 1 : 0;
    bool open = false;
    for (std::size_t k = 0; k < lines; ++k) {
        const std::size_t i = (start + k) % lines;
        if (cut[i]) {
            open = false;
            continue;
        }
        if (!open) {
            out.move_to(points[i].x, points[i].y);
            open = true;
        }
        const Vertex& to = points[(i + 1) % n];
        out.line_to(to.x, to.y);
    }
}

} // namespace

void cutHiddenLines(const agg::path_storage& path, const HiddenRows& hidden, double reach,
                    agg::path_storage& out) {
    out.remove_all();
    std::vector<Vertex> points;
    std::vector<uint8_t> cut;
    bool closed = false;
    auto flush = [&] {
        if (!points.empty()) {
            emitSubpath(points, closed, hidden, reach, cut, out);
        }
        points.clear();
        closed = false;
    };
    const unsigned total = path.total_vertices();
    for (unsigned i = 0; i < total; ++i) {
        double x = 0, y = 0;
        const unsigned cmd = path.vertex(i, &x, &y);
        if (agg::is_move_to(cmd)) {
            flush();
            points.push_back({x, y});
        } else if (agg::is_vertex(cmd)) {
            points.push_back({x, y}); // a line with no move before it starts a path there
        } else if (agg::is_close(cmd)) {
            closed = true;
            flush();
        }
    }
    flush();
}

} // namespace swivio::swf::raster
