#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "swf/format/shape.h"
#include "swf/format/types.h"

namespace swivio::swf {

// What a clip's drawing methods (moveTo, lineTo, beginFill...) have drawn, and the pen.
// Everything is in the clip's own space, in twips. The drawing is one shape of one style
// group: each fill (and each line style) gets its own style, so fills cover earlier fills and
// every stroke lies above every fill, as in the player the scripts were written for.
//
// A fill's outline is always closed: moving the pen inside a fill closes the sub-path it
// leaves (for the fill only), and endFill or a new fill closes it with a stroked edge. Closing
// leaves the pen where it was.
class Drawing {
public:
    // Forgets everything drawn; the pen returns to (0, 0) with no line and no fill.
    void clear();

    // Strokes from now on use style (width in twips, 0 a hairline); lineOff() stops them.
    void lineStyle(const LineStyle& style);
    void lineOff();
    // The style strokes use now, or null when lines are off.
    const LineStyle* currentLine() const {
        return m_line ? &m_shape.groups.front().lines[m_line - 1] : nullptr;
    }
    // Starts a fill at the pen, closing any fill still open. fill == nullopt ends the open
    // fill and starts none (a fill the player could not make).
    void beginFill(const std::optional<FillStyle>& fill);
    void endFill();

    void moveTo(int32_t x, int32_t y);
    void lineTo(int32_t x, int32_t y);
    void curveTo(int32_t cx, int32_t cy, int32_t x, int32_t y);

    bool empty() const { return m_shape.groups.front().edges.empty(); }
    // What is drawn, strokes included; nullopt when nothing is.
    std::optional<Rect> bounds() const;
    // The same without strokes: the edges and control points alone.
    std::optional<Rect> outlineBounds() const { return m_outline; }
    // A snapshot of what is drawn, shared until the next change; null when nothing is.
    std::shared_ptr<const Shape> shape() const;
    // The same without its strokes: what the drawing covers as a mask.
    std::shared_ptr<const Shape> fillShape() const;

    Drawing();

private:
    void addEdge(Edge edge, bool stroked);
    void closeFill(bool stroked);
    void changed() {
        m_snapshot.reset();
        m_fillSnapshot.reset();
    }

    Shape m_shape;
    int32_t m_penX = 0, m_penY = 0;
    // The open sub-path of the fill starts here.
    int32_t m_startX = 0, m_startY = 0;
    uint16_t m_fill = 0; // 1-based fill style of the open fill, 0 for none
    uint16_t m_line = 0; // 1-based line style in force, 0 for none
    // Edges make the bounds: stroke widths are added half to each side.
    std::optional<Rect> m_bounds;
    std::optional<Rect> m_outline;
    mutable std::shared_ptr<const Shape> m_snapshot;
    mutable std::shared_ptr<const Shape> m_fillSnapshot;
};

} // namespace swivio::swf
