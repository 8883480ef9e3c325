#include "swf/player/hit_test.h"

#include <algorithm>
#include <cmath>

#include "swf/format/morph_shape.h"
#include "swf/format/text.h"
#include "swf/player/drawing.h"

namespace swivio::swf {

namespace {

struct Quad {
    double x0, y0, cx, cy, x1, y1;
};

// Winding of a ray from (px, py) towards +x across a curve whose y is monotone: +1 going
// down, -1 going up, 0 when missed. Half-open in y, so joined pieces count a vertex once; a
// point on a shape's top or left edge lies outside it, one on the bottom or right inside.
int monotoneCrossing(const Quad& q, double px, double py) {
    const bool down = q.y1 > q.y0;
    if (down ? !(py > q.y0 && py <= q.y1) : !(py > q.y1 && py <= q.y0))
        return 0;
    const double a = q.y0 - 2 * q.cy + q.y1, b = 2 * (q.cy - q.y0), c = q.y0 - py;
    double t;
    if (std::abs(a) < 1e-9) {
        t = b != 0 ? -c / b : 0;
    } else {
        const double root = std::sqrt(std::max(0.0, b * b - 4 * a * c));
        t = (-b + root) / (2 * a);
        if (t < -1e-9 || t > 1 + 1e-9)
            t = (-b - root) / (2 * a);
    }
    t = std::clamp(t, 0.0, 1.0);
    const double u = 1 - t;
    const double x = u * u * q.x0 + 2 * t * u * q.cx + t * t * q.x1;
    if (x <= px)
        return 0;
    return down ? 1 : -1;
}

int crossing(const Edge& e, bool reversed, double px, double py) {
    Quad q{double(e.x0), double(e.y0), 0, 0, double(e.x1), double(e.y1)};
    if (e.curved) {
        q.cx = e.cx;
        q.cy = e.cy;
    } else {
        q.cx = (q.x0 + q.x1) / 2;
        q.cy = (q.y0 + q.y1) / 2;
    }
    if (reversed) {
        std::swap(q.x0, q.x1);
        std::swap(q.y0, q.y1);
    }
    // Split where y turns, so that each piece crosses a horizontal line at most once.
    const double denom = q.y0 - 2 * q.cy + q.y1;
    const double t = denom != 0 ? (q.y0 - q.cy) / denom : -1;
    if (t > 0 && t < 1) {
        const double ax = q.x0 + (q.cx - q.x0) * t, ay = q.y0 + (q.cy - q.y0) * t;
        const double bx = q.cx + (q.x1 - q.cx) * t, by = q.cy + (q.y1 - q.cy) * t;
        const double mx = ax + (bx - ax) * t, my = ay + (by - ay) * t;
        return monotoneCrossing({q.x0, q.y0, ax, ay, mx, my}, px, py) +
               monotoneCrossing({mx, my, bx, by, q.x1, q.y1}, px, py);
    }
    return monotoneCrossing(q, px, py);
}

double segmentDistanceSquared(double px, double py, double x0, double y0, double x1, double y1) {
    const double dx = x1 - x0, dy = y1 - y0;
    const double length = dx * dx + dy * dy;
    double t = length > 0 ? ((px - x0) * dx + (py - y0) * dy) / length : 0;
    t = std::clamp(t, 0.0, 1.0);
    const double ex = x0 + t * dx - px, ey = y0 + t * dy - py;
    return ex * ex + ey * ey;
}

bool nearEdge(const Edge& e, double px, double py, double halfWidth) {
    const double r2 = halfWidth * halfWidth;
    // Bounds of the edge and its control point first.
    const double xMin = std::min({double(e.x0), double(e.x1), e.curved ? double(e.cx) : e.x0});
    const double xMax = std::max({double(e.x0), double(e.x1), e.curved ? double(e.cx) : e.x0});
    const double yMin = std::min({double(e.y0), double(e.y1), e.curved ? double(e.cy) : e.y0});
    const double yMax = std::max({double(e.y0), double(e.y1), e.curved ? double(e.cy) : e.y0});
    if (px - xMax > halfWidth || xMin - px > halfWidth || py - yMax > halfWidth ||
        yMin - py > halfWidth)
        return false;
    if (!e.curved)
        return segmentDistanceSquared(px, py, e.x0, e.y0, e.x1, e.y1) <= r2;
    constexpr int kSteps = 16;
    double lastX = e.x0, lastY = e.y0;
    for (int i = 1; i <= kSteps; ++i) {
        const double t = double(i) / kSteps, u = 1 - t;
        const double x = u * u * e.x0 + 2 * t * u * e.cx + t * t * e.x1;
        const double y = u * u * e.y0 + 2 * t * u * e.cy + t * t * e.y1;
        if (segmentDistanceSquared(px, py, lastX, lastY, x, y) <= r2)
            return true;
        lastX = x;
        lastY = y;
    }
    return false;
}

bool groupContains(const StyleGroup& group, bool nonZero, double px, double py,
                   double hairlineHalfWidth) {
    for (std::size_t s = 1; s <= group.fills.size() && s <= 0xFFFF; ++s) {
        int winding = 0;
        for (const Edge& e : group.edges) {
            if (e.fill0 == e.fill1)
                continue;
            if (e.fill1 == s)
                winding += crossing(e, false, px, py);
            else if (e.fill0 == s)
                winding += crossing(e, true, px, py);
        }
        if (nonZero ? winding != 0 : (winding & 1) != 0)
            return true;
    }
    for (const Edge& e : group.edges) {
        if (e.line < 1 || e.line > group.lines.size())
            continue;
        const uint16_t width = group.lines[e.line - 1].width;
        const double half = width ? width / 2.0 : hairlineHalfWidth;
        if (nearEdge(e, px, py, half))
            return true;
    }
    return false;
}

bool inRect(const Rect& r, double x, double y, double pad) {
    return x >= r.xMin - pad && x <= r.xMax + pad && y >= r.yMin - pad && y <= r.yMax + pad;
}

Matrix invert(const Matrix& m, bool& ok) {
    const double det = m.a * m.d - m.b * m.c;
    ok = det != 0 && std::isfinite(det);
    if (!ok)
        return {};
    Matrix r;
    r.a = m.d / det;
    r.b = -m.b / det;
    r.c = -m.c / det;
    r.d = m.a / det;
    r.tx = -(r.a * m.tx + r.c * m.ty);
    r.ty = -(r.b * m.tx + r.d * m.ty);
    return r;
}

// Whether the stage point lies on shape drawn under toStage. A hairline is hit within half a
// stage pixel.
bool shapeUnder(const Shape& shape, const Matrix& toStage, double x, double y) {
    bool ok;
    const Matrix toLocal = invert(toStage, ok);
    if (!ok)
        return false;
    const double lx = toLocal.mapX(x, y), ly = toLocal.mapY(x, y);
    const double hairline =
        10 * std::max(std::hypot(toLocal.a, toLocal.b), std::hypot(toLocal.c, toLocal.d));
    // Strokes may reach past bounds that were recorded without them. Glyphs of fonts without
    // a layout table have no bounds.
    double pad = hairline;
    for (const StyleGroup& g : shape.groups)
        for (const LineStyle& l : g.lines)
            pad = std::max(pad, l.width / 2.0);
    if (shape.bounds != Rect{} && !inRect(shape.bounds, lx, ly, pad))
        return false;
    return shapeContains(shape, lx, ly, hairline);
}

bool contentContains(const DisplayObject& object, const Matrix& toStage, double x, double y,
                     const FontLookup& fonts, bool asMask) {
    // A drawing masks with its fills only.
    if (object.drawing)
        if (auto shape = asMask ? object.drawing->fillShape() : object.drawing->shape())
            if (shapeUnder(*shape, toStage, x, y))
                return true;
    const Character* c = object.character();
    if (!c)
        return false;
    switch (c->type) {
    case CharacterType::Shape:
        return c->shape && shapeUnder(*c->shape, toStage, x, y);
    case CharacterType::MorphShape:
        if (object.morphShape && object.morphRatio == object.ratio)
            return shapeUnder(*object.morphShape, toStage, x, y);
        if (c->morph) {
            const Shape shape = interpolate(*c->morph, object.ratio / 65535.0);
            return shapeUnder(shape, toStage, x, y);
        }
        return false;
    case CharacterType::Text: {
        if (!c->text)
            return false;
        bool ok;
        const Matrix toText = invert(toStage, ok);
        if (!ok || !inRect(c->text->bounds, toText.mapX(x, y), toText.mapY(x, y), 0))
            return false;
        for (const PositionedGlyph& g : layoutText(*c->text, fonts)) {
            const Font* font = fonts.font(g.fontId);
            if (!font)
                continue;
            const Shape glyph = glyphShape(*font, g.glyphIndex, Rgba{});
            if (shapeUnder(glyph, toStage * g.matrix, x, y))
                return true;
        }
        return false;
    }
    default:
        return false;
    }
}

Matrix treeMatrix(const DisplayObject& object) {
    Matrix m = object.matrix;
    for (const DisplayObject* p = object.parent(); p; p = p->parent())
        m = p->matrix * m;
    return m;
}

} // namespace

bool shapeContains(const Shape& shape, double x, double y, double hairlineHalfWidth) {
    for (const StyleGroup& group : shape.groups)
        if (groupContains(group, shape.nonZeroWinding, x, y, hairlineHalfWidth))
            return true;
    return false;
}

namespace {

bool contains(const DisplayObject& object, const Matrix& toStage, double x, double y,
              const FontLookup& fonts, bool asMask) {
    if (contentContains(object, toStage, x, y, fonts, asMask))
        return true;
    // A clip-depth mask covers the depths above it up to its clip depth.
    const DisplayObject* mask = nullptr;
    for (const auto& [depth, child] : object.children()) {
        if (mask && depth > mask->clipDepth)
            mask = nullptr;
        if (child->clipDepth > 0) {
            mask = child.get();
            continue;
        }
        if (child->isActiveScriptMask())
            continue;
        const Matrix childToStage = toStage * child->matrix;
        if (!contains(*child, childToStage, x, y, fonts, asMask))
            continue;
        if (mask && !contains(*mask, toStage * mask->matrix, x, y, fonts, true))
            continue;
        if (const DisplayObject* scriptMask = child->activeScriptMask())
            if (!contains(*scriptMask, treeMatrix(*scriptMask), x, y, fonts, true))
                continue;
        return true;
    }
    return false;
}

} // namespace

bool objectContains(const DisplayObject& object, const Matrix& toStage, double x, double y,
                    const FontLookup& fonts) {
    return contains(object, toStage, x, y, fonts, false);
}

bool objectHit(const DisplayObject& object, double x, double y, const FontLookup& fonts) {
    // A mask set by script is not hit; a timeline's mask layer is, by its own shapes.
    if (object.isActiveScriptMask())
        return false;
    if (!objectContains(object, treeMatrix(object), x, y, fonts))
        return false;
    for (const DisplayObject* o = &object; o->parent(); o = o->parent()) {
        if (const DisplayObject* mask = o->activeScriptMask())
            if (!contains(*mask, treeMatrix(*mask), x, y, fonts, true))
                return false;
        // The clip-depth mask below it in its parent that reaches its depth, if any.
        const DisplayObject* parent = o->parent();
        for (auto it = parent->children().begin();
             it != parent->children().end() && it->first < o->depth; ++it) {
            const DisplayObject& mask = *it->second;
            if (mask.clipDepth >= o->depth && !contains(mask, treeMatrix(mask), x, y, fonts, true))
                return false;
        }
    }
    return true;
}

} // namespace swivio::swf
