#include "swf/player/drawing.h"

#include <algorithm>

namespace swivio::swf {

namespace {

// Styles are 16-bit indices; a script making more gets its later styles ignored.
constexpr std::size_t kMaxStyles = 0xFFFF;
// Edges past this many (as many as the renderer draws of one shape) are not kept, so a
// script drawing in a loop frame after frame cannot grow the drawing without bound.
constexpr std::size_t kMaxEdges = std::size_t(1) << 20;

void include(std::optional<Rect>& bounds, int64_t x, int64_t y, int64_t pad) {
    auto clamp = [](int64_t v) { return int32_t(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); };
    Rect r{clamp(x - pad), clamp(x + pad), clamp(y - pad), clamp(y + pad)};
    if (!bounds) {
        bounds = r;
        return;
    }
    bounds->xMin = std::min(bounds->xMin, r.xMin);
    bounds->xMax = std::max(bounds->xMax, r.xMax);
    bounds->yMin = std::min(bounds->yMin, r.yMin);
    bounds->yMax = std::max(bounds->yMax, r.yMax);
}

} // namespace

Drawing::Drawing() {
    m_shape.groups.emplace_back();
}

void Drawing::clear() {
    m_shape = Shape{};
    m_shape.groups.emplace_back();
    m_penX = m_penY = m_startX = m_startY = 0;
    m_fill = m_line = 0;
    m_bounds.reset();
    m_outline.reset();
    changed();
}

void Drawing::lineStyle(const LineStyle& style) {
    StyleGroup& group = m_shape.groups.front();
    if (group.lines.size() >= kMaxStyles)
        return;
    group.lines.push_back(style);
    m_line = uint16_t(group.lines.size());
}

void Drawing::lineOff() {
    m_line = 0;
}

void Drawing::beginFill(const std::optional<FillStyle>& fill) {
    endFill();
    StyleGroup& group = m_shape.groups.front();
    if (!fill || group.fills.size() >= kMaxStyles)
        return;
    group.fills.push_back(*fill);
    m_fill = uint16_t(group.fills.size());
    m_startX = m_penX;
    m_startY = m_penY;
}

void Drawing::endFill() {
    if (!m_fill)
        return;
    closeFill(true);
    m_fill = 0;
}

void Drawing::closeFill(bool stroked) {
    if (m_penX == m_startX && m_penY == m_startY)
        return;
    // The pen stays where it is: a fill begun next starts there, not at the closed one's start.
    const int32_t penX = m_penX, penY = m_penY;
    Edge e;
    e.x1 = m_startX;
    e.y1 = m_startY;
    addEdge(e, stroked);
    m_penX = penX;
    m_penY = penY;
}

void Drawing::moveTo(int32_t x, int32_t y) {
    if (m_fill)
        closeFill(false);
    m_penX = m_startX = x;
    m_penY = m_startY = y;
}

void Drawing::lineTo(int32_t x, int32_t y) {
    Edge e;
    e.x1 = x;
    e.y1 = y;
    addEdge(e, true);
}

void Drawing::curveTo(int32_t cx, int32_t cy, int32_t x, int32_t y) {
    Edge e;
    e.curved = true;
    e.cx = cx;
    e.cy = cy;
    e.x1 = x;
    e.y1 = y;
    addEdge(e, true);
}

void Drawing::addEdge(Edge e, bool stroked) {
    e.x0 = m_penX;
    e.y0 = m_penY;
    m_penX = e.x1;
    m_penY = e.y1;
    e.fill1 = m_fill;
    e.line = stroked ? m_line : 0;
    StyleGroup& group = m_shape.groups.front();
    if ((!e.fill1 && !e.line) || group.edges.size() >= kMaxEdges)
        return; // a pen move that draws nothing, or an edge past the limit
    // Bounds reach a whole stroke width past each point (control points included).
    const int64_t pad = e.line ? group.lines[e.line - 1].width : 0;
    include(m_bounds, e.x0, e.y0, pad);
    include(m_bounds, e.x1, e.y1, pad);
    include(m_outline, e.x0, e.y0, 0);
    include(m_outline, e.x1, e.y1, 0);
    if (e.curved) {
        include(m_bounds, e.cx, e.cy, pad);
        include(m_outline, e.cx, e.cy, 0);
    }
    group.edges.push_back(e);
    m_shape.bounds = *m_bounds;
    changed();
}

std::optional<Rect> Drawing::bounds() const {
    return m_bounds;
}

std::shared_ptr<const Shape> Drawing::shape() const {
    if (empty())
        return nullptr;
    if (!m_snapshot) {
        auto shape = std::make_shared<Shape>(m_shape);
        // A fill still open is drawn closed, stroked with the line in force.
        if (m_fill && (m_penX != m_startX || m_penY != m_startY)) {
            Edge e;
            e.x0 = m_penX;
            e.y0 = m_penY;
            e.x1 = m_startX;
            e.y1 = m_startY;
            e.fill1 = m_fill;
            e.line = m_line;
            shape->groups.front().edges.push_back(e);
        }
        m_snapshot = std::move(shape);
    }
    return m_snapshot;
}

std::shared_ptr<const Shape> Drawing::fillShape() const {
    if (!m_fillSnapshot) {
        std::shared_ptr<const Shape> whole = shape();
        if (!whole)
            return nullptr;
        auto fills = std::make_shared<Shape>(*whole);
        for (StyleGroup& group : fills->groups) {
            group.lines.clear();
            std::erase_if(group.edges, [](const Edge& e) { return e.fill0 == e.fill1; });
            for (Edge& e : group.edges)
                e.line = 0;
        }
        m_fillSnapshot = std::move(fills);
    }
    return m_fillSnapshot;
}

} // namespace swivio::swf
