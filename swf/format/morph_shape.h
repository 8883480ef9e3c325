#pragma once

#include <cstdint>
#include <vector>

#include "base/byte_reader.h"
#include "base/result.h"
#include "swf/format/shape.h"
#include "swf/format/types.h"

namespace swivio::swf {

// A fill or line style at both ends of a morph. Both ends share the type, the gradient's
// stop count, spread and interpolation, and the bitmap id; the rest may differ.
struct MorphFillStyle {
    FillStyle start;
    FillStyle end;
};

struct MorphLineStyle {
    LineStyle start;
    LineStyle end;
};

// DefineMorphShape or DefineMorphShape2, read into plain data. The start edges carry the
// style indices (1-based into fills and lines, 0 for none); the end edges only give the
// geometry that the start edge of the same position moves to.
struct MorphShape {
    Rect startBounds;
    Rect endBounds;
    Rect startEdgeBounds; // DefineMorphShape2 only: bounds without the strokes
    Rect endEdgeBounds;
    bool usesNonScalingStrokes = false;
    bool usesScalingStrokes = false;
    std::vector<MorphFillStyle> fills;
    std::vector<MorphLineStyle> lines;
    std::vector<Edge> startEdges;
    std::vector<Edge> endEdges;
};

// Reads the body of DefineMorphShape (46) or DefineMorphShape2 (84) after the character id.
// Style indices beyond the style arrays are dropped (read as 0). Fails with a message on
// damaged data or an unknown tag code.
Result<MorphShape> parseDefineMorphShape(uint16_t tagCode, ByteReader& body);

// The shape at ratio 0 (the start) to 1 (the end); values outside are clamped. A placement's
// 16-bit ratio maps as ratio / 65535. Edges pair by position: a straight edge paired with a
// curve becomes a curve whose control point is its midpoint. Coordinates, colours, gradient
// stops and matrices, focal points and line widths move linearly. Start edges without an end
// partner keep their start geometry; surplus end edges are ignored.
Shape interpolate(const MorphShape& morph, double ratio);

} // namespace swivio::swf
