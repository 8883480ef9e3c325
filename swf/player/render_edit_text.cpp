#include <algorithm>
#include <cmath>

#include "swf/player/render_emitter.h"

namespace swivio::swf {

std::shared_ptr<const Shape> boxShape(const Rect& r, const Rgba* fill, const Rgba* line) {
    auto shape = std::make_shared<Shape>();
    shape->bounds = r;
    StyleGroup group;
    if (fill) {
        FillStyle f;
        f.color = *fill;
        group.fills.push_back(f);
    }
    if (line) {
        LineStyle l;
        // A hinted hairline: one device pixel wide at any scale, the stage's included, on
        // the pixels that start at the box's edges.
        l.width = 0;
        l.pixelHinting = true;
        l.color = *line;
        group.lines.push_back(l);
    }
    const int32_t xs[] = {r.xMin, r.xMax, r.xMax, r.xMin, r.xMin};
    const int32_t ys[] = {r.yMin, r.yMin, r.yMax, r.yMax, r.yMin};
    for (int i = 0; i < 4; ++i) {
        Edge e;
        e.x0 = xs[i], e.y0 = ys[i], e.x1 = xs[i + 1], e.y1 = ys[i + 1];
        e.fill1 = fill ? 1 : 0;
        e.line = line ? 1 : 0;
        group.edges.push_back(e);
    }
    shape->groups.push_back(std::move(group));
    return shape;
}

namespace {

Rgba rgb(uint32_t color) {
    return Rgba{uint8_t(color >> 16), uint8_t(color >> 8), uint8_t(color), 255};
}

RenderCommand drawCommand(std::shared_ptr<const Shape> shape, const Matrix& m,
                          const ColorTransform& c) {
    RenderCommand command;
    command.kind = RenderCommand::Kind::DrawShape;
    command.shape = std::move(shape);
    command.matrix = m;
    command.colorTransform = c;
    return command;
}

RenderCommand marker(RenderCommand::Kind kind) {
    RenderCommand c;
    c.kind = kind;
    return c;
}

} // namespace

void RenderEmitter::emitEditText(DisplayObject& object, const Context& context,
                                 RenderCommandList& out) {
    if (!object.editField)
        return;
    text::EditField& field = *object.editField;
    const Rect box = field.bounds;
    if (box.xMax <= box.xMin || box.yMax <= box.yMin)
        return;
    if (context.asMask) {
        // Only coverage counts in a mask: the field's box.
        const Rgba white{255, 255, 255, 255};
        out.push_back(
            drawCommand(boxShape(box, &white, nullptr), context.matrix, context.colorTransform));
        return;
    }
    if (field.background) {
        const Rgba fill = rgb(field.backgroundColor);
        out.push_back(
            drawCommand(boxShape(box, &fill, nullptr), context.matrix, context.colorTransform));
    }
    if (field.border) {
        // The lines take the pixels that start at the box's edges: the right and bottom
        // ones lie just past the box.
        const Rgba line = rgb(field.borderColor);
        out.push_back(drawCommand(boxShape(box, nullptr, &line), context.matrix,
                                  context.colorTransform));
    }
    const text::TextLayout& layout = field.layout();
    if (layout.lines.empty())
        return;
    const std::size_t first =
        std::min<std::size_t>(std::size_t(std::max(field.scroll, 1) - 1), layout.lines.size() - 1);
    const double scrollTop = layout.lines[first].top;
    const double visible = field.height() - text::kGutter;
    out.push_back(marker(RenderCommand::Kind::PushMask));
    const Rgba white{255, 255, 255, 255};
    out.push_back(drawCommand(boxShape(box, &white, nullptr), context.matrix, ColorTransform{}));
    out.push_back(marker(RenderCommand::Kind::BeginMasked));
    for (std::size_t i = first; i < layout.lines.size(); ++i) {
        const text::LayoutLine& line = layout.lines[i];
        const double top = text::kGutter + line.top - scrollTop;
        if (top > visible)
            break;
        const double baseline = top + line.ascent;
        for (const text::LaidGlyph& g : line.glyphs) {
            auto shape = g.font->outline(g.c);
            if (!shape)
                continue;
            Matrix m;
            m.a = m.d = g.size * 20 / text::GlyphFont::kEm;
            m.tx = box.xMin + (g.x - field.hscroll) * 20;
            m.ty = box.yMin + baseline * 20;
            ColorTransform color;
            color.mr = color.mg = color.mb = 0;
            color.ar = (g.color >> 16) & 0xFF;
            color.ag = (g.color >> 8) & 0xFF;
            color.ab = g.color & 0xFF;
            out.push_back(
                drawCommand(std::move(shape), context.matrix * m, context.colorTransform * color));
        }
    }
    out.push_back(marker(RenderCommand::Kind::PopMask));
}

} // namespace swivio::swf
