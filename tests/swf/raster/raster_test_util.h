#pragma once

#include <cstdlib>
#include <map>
#include <memory>
#include <vector>

#include "base/frame.h"
#include "swf/format/bitmap.h"
#include "swf/format/shape.h"
#include "swf/raster/render_commands.h"
#include "swf/raster/renderer.h"

// Builders for shapes and command lists, and a frame reader, for the renderer's tests.
namespace swivio::swf::testing {

constexpr int kTwips = 20;

inline Rgba rgb(uint8_t r, uint8_t g, uint8_t b, uint8_t a = 255) {
    return {r, g, b, a};
}

// Straight edge in pixels (converted to twips).
inline Edge line(double x0, double y0, double x1, double y1, uint16_t fill0, uint16_t fill1,
                 uint16_t lineStyle = 0) {
    Edge e;
    e.x0 = int32_t(x0 * kTwips);
    e.y0 = int32_t(y0 * kTwips);
    e.x1 = int32_t(x1 * kTwips);
    e.y1 = int32_t(y1 * kTwips);
    e.fill0 = fill0;
    e.fill1 = fill1;
    e.line = lineStyle;
    return e;
}

// The edges of a closed polygon given in pixels, in the order given.
inline std::vector<Edge> polygon(const std::vector<std::pair<double, double>>& points,
                                 uint16_t fill0, uint16_t fill1, uint16_t lineStyle = 0) {
    std::vector<Edge> edges;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const auto& a = points[i];
        const auto& b = points[(i + 1) % points.size()];
        edges.push_back(line(a.first, a.second, b.first, b.second, fill0, fill1, lineStyle));
    }
    return edges;
}

// A rectangle drawn clockwise on screen (y pointing down), its inside on fill 1.
inline std::vector<Edge> rectangle(double x0, double y0, double x1, double y1, uint16_t fill1 = 1,
                                   uint16_t lineStyle = 0) {
    return polygon({{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}}, 0, fill1, lineStyle);
}

inline FillStyle solidFill(Rgba c) {
    FillStyle f;
    f.type = FillType::Solid;
    f.color = c;
    return f;
}

inline FillStyle gradientFill(FillType type, std::vector<GradientStop> stops, Matrix m,
                              SpreadMode spread = SpreadMode::Pad) {
    FillStyle f;
    f.type = type;
    f.matrix = m;
    f.gradient.spread = spread;
    f.gradient.stops = std::move(stops);
    return f;
}

// A gradient matrix that maps the gradient square onto [x0, x1] pixels horizontally,
// centred vertically on cy.
inline Matrix gradientBox(double x0, double x1, double cy) {
    const double scale = (x1 - x0) * kTwips / 32768.0;
    return {scale, 0, 0, scale, (x0 + x1) / 2 * kTwips, cy * kTwips};
}

inline std::shared_ptr<Shape> makeShape(std::vector<FillStyle> fills, std::vector<Edge> edges,
                                        std::vector<LineStyle> lines = {}) {
    auto shape = std::make_shared<Shape>();
    StyleGroup g;
    g.fills = std::move(fills);
    g.lines = std::move(lines);
    g.edges = std::move(edges);
    // Declared bounds as a movie's would be: around every edge point.
    if (!g.edges.empty()) {
        Rect& b = shape->bounds;
        b = {g.edges[0].x0, g.edges[0].x0, g.edges[0].y0, g.edges[0].y0};
        for (const Edge& e : g.edges) {
            for (const auto& [x, y] : {std::pair{e.x0, e.y0}, std::pair{e.x1, e.y1},
                                       std::pair{e.curved ? e.cx : e.x0, e.curved ? e.cy : e.y0}}) {
                b = {std::min(b.xMin, x), std::max(b.xMax, x), std::min(b.yMin, y),
                     std::max(b.yMax, y)};
            }
        }
    }
    shape->groups.push_back(std::move(g));
    return shape;
}

inline RenderCommand draw(std::shared_ptr<const Shape> shape, Matrix m = {},
                          ColorTransform ct = {}) {
    RenderCommand c;
    c.kind = RenderCommand::Kind::DrawShape;
    c.shape = std::move(shape);
    c.matrix = m;
    c.colorTransform = ct;
    return c;
}

inline RenderCommand command(RenderCommand::Kind kind) {
    RenderCommand c;
    c.kind = kind;
    return c;
}

inline RenderCommand pushLayer(BlendMode mode, std::vector<Filter> filters = {}) {
    RenderCommand c;
    c.kind = RenderCommand::Kind::PushLayer;
    c.blendMode = mode;
    c.filters = std::move(filters);
    return c;
}

class MapBitmaps : public BitmapLookup {
public:
    const Bitmap* bitmap(uint16_t id) const override {
        auto it = m_bitmaps.find(id);
        return it == m_bitmaps.end() ? nullptr : &it->second;
    }
    void add(uint16_t id, Bitmap b) { m_bitmaps[id] = std::move(b); }

private:
    std::map<uint16_t, Bitmap> m_bitmaps;
};

// One-to-one viewport: a stage of w x h pixels shown at w x h, whole frame clipped.
inline RenderViewport identityViewport(int w, int h) {
    RenderViewport v;
    v.stage = {0, w * kTwips, 0, h * kTwips};
    v.playerWidth = w;
    v.playerHeight = h;
    v.clipWidth = w;
    v.clipHeight = h;
    return v;
}

inline Frame renderFrame(const RenderCommandList& commands, int w = 40, int h = 40,
                         Rgba background = {0, 0, 0, 255}, const BitmapLookup* bitmaps = nullptr) {
    static MapBitmaps none;
    Frame frame(w, h);
    frame.fill(makeColor(background.r, background.g, background.b));
    Renderer renderer;
    renderer.render(commands, bitmaps ? *bitmaps : none, identityViewport(w, h), frame);
    return frame;
}

inline Rgba at(const Frame& f, int x, int y) {
    const uint32_t c = f.pixel(x, y);
    return {colorRed(c), colorGreen(c), colorBlue(c), 255};
}

inline bool near(Rgba a, Rgba b, int tolerance) {
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
           std::abs(a.b - b.b) <= tolerance;
}

} // namespace swivio::swf::testing

namespace swivio::swf {
inline void PrintTo(const Rgba& c, std::ostream* os) {
    *os << "rgb(" << int(c.r) << "," << int(c.g) << "," << int(c.b) << ")";
}
} // namespace swivio::swf
