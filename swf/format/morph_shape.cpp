#include "swf/format/morph_shape.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "base/bit_reader.h"
#include "swf/format/records.h"
#include "swf/format/shape_reader.h"

namespace swivio::swf {

namespace {

constexpr uint16_t kDefineMorphShape = 46;
constexpr uint16_t kDefineMorphShape2 = 84;

std::size_t readStyleCount(ByteReader& in) {
    std::size_t count = in.u8();
    if (count == 0xFF)
        count = in.u16();
    return count;
}

// MORPHGRADIENT: spread and interpolation share the count byte as in GRADIENT; each record
// holds a start ratio and colour, then an end ratio and colour.
void readMorphGradient(ByteReader& in, Gradient& start, Gradient& end) {
    const uint8_t head = in.u8();
    const int spread = head >> 6;
    start.spread = spread == 1   ? SpreadMode::Reflect
                   : spread == 2 ? SpreadMode::Repeat
                                 : SpreadMode::Pad;
    start.interpolation = ((head >> 4) & 3) == 1 ? Interpolation::LinearRgb : Interpolation::Rgb;
    end.spread = start.spread;
    end.interpolation = start.interpolation;
    const int count = head & 0x0F;
    for (int i = 0; i < count && in.ok(); ++i) {
        GradientStop s, e;
        s.ratio = in.u8();
        s.color = readRgba(in);
        e.ratio = in.u8();
        e.color = readRgba(in);
        start.stops.push_back(s);
        end.stops.push_back(e);
    }
}

MorphFillStyle readMorphFillStyle(ByteReader& in) {
    MorphFillStyle m;
    const uint8_t type = in.u8();
    switch (type) {
    case 0x00:
        m.start.color = readRgba(in);
        m.end.color = readRgba(in);
        break;
    case 0x10:
    case 0x12:
    case 0x13:
        m.start.matrix = readMatrix(in);
        m.end.matrix = readMatrix(in);
        readMorphGradient(in, m.start.gradient, m.end.gradient);
        if (type == 0x13) {
            m.start.gradient.focalPoint = std::clamp(in.fixed8(), -1.0f, 1.0f);
            m.end.gradient.focalPoint = std::clamp(in.fixed8(), -1.0f, 1.0f);
        }
        break;
    case 0x40:
    case 0x41:
    case 0x42:
    case 0x43:
        m.start.bitmapId = in.u16();
        m.end.bitmapId = m.start.bitmapId;
        m.start.matrix = readMatrix(in);
        m.end.matrix = readMatrix(in);
        break;
    default:
        in.fail();
        break;
    }
    m.start.type = FillType(type);
    m.end.type = FillType(type);
    return m;
}

CapStyle capStyle(uint32_t v) {
    return v == 1 ? CapStyle::None : v == 2 ? CapStyle::Square : CapStyle::Round;
}

MorphLineStyle readMorphLineStyle(ByteReader& in, bool version2) {
    MorphLineStyle m;
    m.start.width = in.u16();
    m.end.width = in.u16();
    if (version2) {
        BitReader bits(in);
        LineStyle& s = m.start;
        s.startCap = capStyle(bits.ub(2));
        const uint32_t join = bits.ub(2);
        s.join = join == 1 ? JoinStyle::Bevel : join == 2 ? JoinStyle::Miter : JoinStyle::Round;
        s.hasFill = bits.flag();
        s.noHScale = bits.flag();
        s.noVScale = bits.flag();
        s.pixelHinting = bits.flag();
        bits.ub(5);
        s.noClose = bits.flag();
        s.endCap = capStyle(bits.ub(2));
        bits.align();
        if (s.join == JoinStyle::Miter)
            s.miterLimit = in.fixed8();
        const uint16_t endWidth = m.end.width;
        m.end = s;
        m.end.width = endWidth;
        if (s.hasFill) {
            MorphFillStyle fill = readMorphFillStyle(in);
            m.start.fill = fill.start;
            m.end.fill = fill.end;
            m.start.color = fill.start.color;
            m.end.color = fill.end.color;
            return m;
        }
    }
    m.start.color = readRgba(in);
    m.end.color = readRgba(in);
    return m;
}

// Reads one SHAPE of edges; style indices past the arrays become 0.
Status readEdges(ByteReader& in, const MorphShape& morph, std::vector<Edge>& edges) {
    std::vector<StyleGroup> groups(1);
    // Fails too when the data ran out, as zero bits read past the end look like an end record.
    if (Status read = readShapeRecords(in, 0, groups); !read)
        return read;
    edges = std::move(groups[0].edges);
    for (Edge& e : edges) {
        if (e.fill0 > morph.fills.size())
            e.fill0 = 0;
        if (e.fill1 > morph.fills.size())
            e.fill1 = 0;
        if (e.line > morph.lines.size())
            e.line = 0;
    }
    return {};
}

Result<MorphShape> failure(const std::string& message) {
    return Result<MorphShape>::failure("DefineMorphShape: " + message);
}

double lerp(double a, double b, double t) {
    return a + (b - a) * t;
}

int32_t lerpCoord(int32_t a, int32_t b, double t) {
    return static_cast<int32_t>(std::lround(lerp(a, b, t)));
}

uint8_t lerpByte(uint8_t a, uint8_t b, double t) {
    return static_cast<uint8_t>(std::clamp(std::lround(lerp(a, b, t)), 0L, 255L));
}

Rgba lerpColor(Rgba a, Rgba b, double t) {
    return {lerpByte(a.r, b.r, t), lerpByte(a.g, b.g, t), lerpByte(a.b, b.b, t),
            lerpByte(a.a, b.a, t)};
}

Matrix lerpMatrix(const Matrix& a, const Matrix& b, double t) {
    return {lerp(a.a, b.a, t), lerp(a.b, b.b, t),   lerp(a.c, b.c, t),
            lerp(a.d, b.d, t), lerp(a.tx, b.tx, t), lerp(a.ty, b.ty, t)};
}

Rect lerpRect(const Rect& a, const Rect& b, double t) {
    return {lerpCoord(a.xMin, b.xMin, t), lerpCoord(a.xMax, b.xMax, t),
            lerpCoord(a.yMin, b.yMin, t), lerpCoord(a.yMax, b.yMax, t)};
}

FillStyle lerpFill(const FillStyle& a, const FillStyle& b, double t) {
    FillStyle f = a;
    f.color = lerpColor(a.color, b.color, t);
    f.matrix = lerpMatrix(a.matrix, b.matrix, t);
    f.gradient.focalPoint =
        static_cast<float>(lerp(a.gradient.focalPoint, b.gradient.focalPoint, t));
    const std::size_t stops = std::min(a.gradient.stops.size(), b.gradient.stops.size());
    for (std::size_t i = 0; i < stops; ++i) {
        f.gradient.stops[i].ratio =
            lerpByte(a.gradient.stops[i].ratio, b.gradient.stops[i].ratio, t);
        f.gradient.stops[i].color =
            lerpColor(a.gradient.stops[i].color, b.gradient.stops[i].color, t);
    }
    return f;
}

LineStyle lerpLine(const LineStyle& a, const LineStyle& b, double t) {
    LineStyle l = a;
    l.width = static_cast<uint16_t>(std::clamp(std::lround(lerp(a.width, b.width, t)), 0L, 65535L));
    l.color = lerpColor(a.color, b.color, t);
    if (a.hasFill)
        l.fill = lerpFill(a.fill, b.fill, t);
    return l;
}

// A straight edge given the control point a curve partner needs: its midpoint.
void controlPoint(const Edge& e, double& cx, double& cy) {
    if (e.curved) {
        cx = e.cx;
        cy = e.cy;
    } else {
        cx = (double(e.x0) + e.x1) / 2;
        cy = (double(e.y0) + e.y1) / 2;
    }
}

Edge lerpEdge(const Edge& a, const Edge& b, double t) {
    Edge e = a;
    e.x0 = lerpCoord(a.x0, b.x0, t);
    e.y0 = lerpCoord(a.y0, b.y0, t);
    e.x1 = lerpCoord(a.x1, b.x1, t);
    e.y1 = lerpCoord(a.y1, b.y1, t);
    e.curved = a.curved || b.curved;
    if (e.curved) {
        double acx, acy, bcx, bcy;
        controlPoint(a, acx, acy);
        controlPoint(b, bcx, bcy);
        e.cx = static_cast<int32_t>(std::lround(lerp(acx, bcx, t)));
        e.cy = static_cast<int32_t>(std::lround(lerp(acy, bcy, t)));
    }
    return e;
}

} // namespace

Result<MorphShape> parseDefineMorphShape(uint16_t tagCode, ByteReader& body) {
    if (tagCode != kDefineMorphShape && tagCode != kDefineMorphShape2)
        return Result<MorphShape>::failure("tag " + std::to_string(tagCode) +
                                           " is not a morph shape");
    const bool version2 = tagCode == kDefineMorphShape2;
    MorphShape morph;
    morph.startBounds = readRect(body);
    morph.endBounds = readRect(body);
    if (version2) {
        morph.startEdgeBounds = readRect(body);
        morph.endEdgeBounds = readRect(body);
        const uint8_t flags = body.u8();
        morph.usesNonScalingStrokes = flags & 0x02;
        morph.usesScalingStrokes = flags & 0x01;
    }
    const uint32_t endEdgesOffset = body.u32();
    const std::size_t offsetBase = body.offset();
    if (!body.ok())
        return failure("bounds cut short");

    // Each style costs at least a byte, so the counts cannot outrun the data.
    const std::size_t fillCount = readStyleCount(body);
    if (fillCount > body.remaining())
        return failure("more fill styles than data");
    morph.fills.reserve(fillCount);
    for (std::size_t i = 0; i < fillCount && body.ok(); ++i)
        morph.fills.push_back(readMorphFillStyle(body));
    const std::size_t lineCount = readStyleCount(body);
    if (lineCount > body.remaining())
        return failure("more line styles than data");
    morph.lines.reserve(lineCount);
    for (std::size_t i = 0; i < lineCount && body.ok(); ++i)
        morph.lines.push_back(readMorphLineStyle(body, version2));
    if (!body.ok())
        return failure("damaged styles");

    if (Status start = readEdges(body, morph, morph.startEdges); !start)
        return failure("start edges: " + start.message());
    // The end edges begin where the offset says; some tools write 0 there, in which case
    // they follow the start edges directly.
    if (endEdgesOffset != 0) {
        if (endEdgesOffset > body.size() - offsetBase)
            return failure("end edges offset past the end of the tag");
        body.seek(offsetBase + endEdgesOffset);
    }
    if (Status end = readEdges(body, morph, morph.endEdges); !end)
        return failure("end edges: " + end.message());
    return morph;
}

Shape interpolate(const MorphShape& morph, double ratio) {
    const double t = std::isnan(ratio) ? 0.0 : std::clamp(ratio, 0.0, 1.0);
    Shape shape;
    shape.bounds = lerpRect(morph.startBounds, morph.endBounds, t);
    StyleGroup& group = shape.groups.emplace_back();
    group.fills.reserve(morph.fills.size());
    for (const MorphFillStyle& f : morph.fills)
        group.fills.push_back(lerpFill(f.start, f.end, t));
    group.lines.reserve(morph.lines.size());
    for (const MorphLineStyle& l : morph.lines)
        group.lines.push_back(lerpLine(l.start, l.end, t));
    group.edges.reserve(morph.startEdges.size());
    for (std::size_t i = 0; i < morph.startEdges.size(); ++i) {
        const Edge& start = morph.startEdges[i];
        group.edges.push_back(i < morph.endEdges.size() ? lerpEdge(start, morph.endEdges[i], t)
                                                        : start);
    }
    return shape;
}

} // namespace swivio::swf
