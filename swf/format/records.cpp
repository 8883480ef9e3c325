#include "swf/format/records.h"

#include <algorithm>

namespace swivio::swf {

Rect readRect(ByteReader& in) {
    BitReader bits(in);
    const int n = int(bits.ub(5));
    Rect r;
    r.xMin = bits.sb(n);
    r.xMax = bits.sb(n);
    r.yMin = bits.sb(n);
    r.yMax = bits.sb(n);
    bits.align();
    return r;
}

Matrix readMatrix(ByteReader& in) {
    BitReader bits(in);
    Matrix m;
    if (bits.flag()) {
        const int n = int(bits.ub(5));
        m.a = bits.fb(n);
        m.d = bits.fb(n);
    }
    if (bits.flag()) {
        const int n = int(bits.ub(5));
        m.b = bits.fb(n);
        m.c = bits.fb(n);
    }
    const int n = int(bits.ub(5));
    m.tx = bits.sb(n);
    m.ty = bits.sb(n);
    bits.align();
    return m;
}

Rgba readRgb(ByteReader& in) {
    Rgba c;
    c.r = in.u8();
    c.g = in.u8();
    c.b = in.u8();
    return c;
}

Rgba readRgba(ByteReader& in) {
    Rgba c = readRgb(in);
    c.a = in.u8();
    return c;
}

Rgba readArgb(ByteReader& in) {
    Rgba c;
    c.a = in.u8();
    c.r = in.u8();
    c.g = in.u8();
    c.b = in.u8();
    return c;
}

ColorTransform readColorTransform(ByteReader& in, bool withAlpha) {
    BitReader bits(in);
    const bool hasAdd = bits.flag();
    const bool hasMult = bits.flag();
    const int n = int(bits.ub(4));
    ColorTransform t;
    if (hasMult) {
        t.mr = float(bits.sb(n)) / 256.0f;
        t.mg = float(bits.sb(n)) / 256.0f;
        t.mb = float(bits.sb(n)) / 256.0f;
        if (withAlpha)
            t.ma = float(bits.sb(n)) / 256.0f;
    }
    if (hasAdd) {
        t.ar = float(bits.sb(n));
        t.ag = float(bits.sb(n));
        t.ab = float(bits.sb(n));
        if (withAlpha)
            t.aa = float(bits.sb(n));
    }
    bits.align();
    return t;
}

Gradient readGradient(ByteReader& in, int shapeVersion, bool focal) {
    Gradient g;
    const uint8_t head = in.u8();
    const int spread = head >> 6;
    // Value 3 is reserved; Flash draws it as padding.
    g.spread = spread == 1   ? SpreadMode::Reflect
               : spread == 2 ? SpreadMode::Repeat
                             : SpreadMode::Pad;
    g.interpolation = ((head >> 4) & 3) == 1 ? Interpolation::LinearRgb : Interpolation::Rgb;
    const int count = head & 0x0F;
    g.stops.reserve(std::size_t(count));
    for (int i = 0; i < count && in.ok(); ++i) {
        GradientStop stop;
        stop.ratio = in.u8();
        stop.color = shapeVersion >= 3 ? readRgba(in) : readRgb(in);
        g.stops.push_back(stop);
    }
    if (focal)
        g.focalPoint = std::clamp(in.fixed8(), -1.0f, 1.0f);
    return g;
}

FillStyle readFillStyle(ByteReader& in, int shapeVersion) {
    FillStyle f;
    const uint8_t type = in.u8();
    switch (type) {
    case 0x00:
        f.type = FillType::Solid;
        f.color = shapeVersion >= 3 ? readRgba(in) : readRgb(in);
        break;
    case 0x10:
    case 0x12:
    case 0x13:
        f.type = FillType(type);
        f.matrix = readMatrix(in);
        f.gradient = readGradient(in, shapeVersion, type == 0x13);
        break;
    case 0x40:
    case 0x41:
    case 0x42:
    case 0x43:
        f.type = FillType(type);
        f.bitmapId = in.u16();
        f.matrix = readMatrix(in);
        break;
    default:
        in.fail();
        break;
    }
    return f;
}

namespace {

std::size_t readStyleCount(ByteReader& in, bool extendable) {
    std::size_t count = in.u8();
    if (count == 0xFF && extendable)
        count = in.u16();
    return count;
}

} // namespace

std::vector<FillStyle> readFillStyleArray(ByteReader& in, int shapeVersion) {
    const std::size_t count = readStyleCount(in, shapeVersion >= 2);
    std::vector<FillStyle> fills;
    // Each style takes at least 2 bytes, so a count the tag cannot hold fails before any
    // allocation.
    if (count * 2 > in.remaining()) {
        in.fail();
        return fills;
    }
    fills.reserve(count);
    for (std::size_t i = 0; i < count && in.ok(); ++i)
        fills.push_back(readFillStyle(in, shapeVersion));
    return fills;
}

LineStyle readLineStyle(ByteReader& in, int shapeVersion) {
    LineStyle l;
    l.width = in.u16();
    if (shapeVersion < 4) {
        l.color = shapeVersion >= 3 ? readRgba(in) : readRgb(in);
        return l;
    }
    BitReader bits(in);
    const auto cap = [](uint32_t v) {
        return v == 1 ? CapStyle::None : v == 2 ? CapStyle::Square : CapStyle::Round;
    };
    l.startCap = cap(bits.ub(2));
    const uint32_t join = bits.ub(2);
    l.join = join == 1 ? JoinStyle::Bevel : join == 2 ? JoinStyle::Miter : JoinStyle::Round;
    l.hasFill = bits.flag();
    l.noHScale = bits.flag();
    l.noVScale = bits.flag();
    l.pixelHinting = bits.flag();
    bits.ub(5);
    l.noClose = bits.flag();
    l.endCap = cap(bits.ub(2));
    bits.align();
    if (l.join == JoinStyle::Miter)
        l.miterLimit = in.fixed8();
    if (l.hasFill) {
        l.fill = readFillStyle(in, shapeVersion);
        l.color = l.fill.color;
    } else {
        l.color = readRgba(in);
    }
    return l;
}

std::vector<LineStyle> readLineStyleArray(ByteReader& in, int shapeVersion) {
    const std::size_t count = readStyleCount(in, true);
    std::vector<LineStyle> lines;
    if (count * 4 > in.remaining()) {
        in.fail();
        return lines;
    }
    lines.reserve(count);
    for (std::size_t i = 0; i < count && in.ok(); ++i)
        lines.push_back(readLineStyle(in, shapeVersion));
    return lines;
}

namespace {

// The blur, angle and distance fields are 16.16; strength is 8.8.
void readBlur(ByteReader& in, Filter& f) {
    f.blurX = float(in.fixed16());
    f.blurY = float(in.fixed16());
}

void readGradientFilter(ByteReader& in, Filter& f) {
    const int count = in.u8();
    std::vector<Rgba> colors;
    for (int i = 0; i < count && in.ok(); ++i)
        colors.push_back(readRgba(in));
    for (int i = 0; i < count && in.ok(); ++i)
        f.gradient.push_back({in.u8(), colors[std::size_t(i)]});
    readBlur(in, f);
    f.angle = float(in.fixed16());
    f.distance = float(in.fixed16());
    f.strength = in.fixed8();
    const uint8_t flags = in.u8();
    f.inner = flags & 0x80;
    f.knockout = flags & 0x40;
    f.compositeSource = flags & 0x20;
    f.onTop = flags & 0x10;
    f.passes = flags & 0x0F;
}

} // namespace

std::vector<Filter> readFilterList(ByteReader& in) {
    const int count = in.u8();
    std::vector<Filter> filters;
    for (int i = 0; i < count && in.ok(); ++i) {
        Filter f;
        const uint8_t id = in.u8();
        switch (id) {
        case 0: { // drop shadow
            f.type = Filter::Type::DropShadow;
            f.color = readRgba(in);
            readBlur(in, f);
            f.angle = float(in.fixed16());
            f.distance = float(in.fixed16());
            f.strength = in.fixed8();
            const uint8_t flags = in.u8();
            f.inner = flags & 0x80;
            f.knockout = flags & 0x40;
            f.compositeSource = flags & 0x20;
            f.passes = flags & 0x1F;
            break;
        }
        case 1:
            f.type = Filter::Type::Blur;
            readBlur(in, f);
            f.passes = in.u8() >> 3;
            break;
        case 2: {
            f.type = Filter::Type::Glow;
            f.color = readRgba(in);
            readBlur(in, f);
            f.strength = in.fixed8();
            const uint8_t flags = in.u8();
            f.inner = flags & 0x80;
            f.knockout = flags & 0x40;
            f.compositeSource = flags & 0x20;
            f.passes = flags & 0x1F;
            break;
        }
        case 3: {
            f.type = Filter::Type::Bevel;
            // Written highlight first, whatever the format's documentation says: Flash
            // lights the edge that faces the light with the first colour.
            f.highlight = readRgba(in);
            f.color = readRgba(in);
            readBlur(in, f);
            f.angle = float(in.fixed16());
            f.distance = float(in.fixed16());
            f.strength = in.fixed8();
            const uint8_t flags = in.u8();
            f.inner = flags & 0x80;
            f.knockout = flags & 0x40;
            f.compositeSource = flags & 0x20;
            f.onTop = flags & 0x10;
            f.passes = flags & 0x0F;
            break;
        }
        case 4:
        case 7:
            f.type = id == 4 ? Filter::Type::GradientGlow : Filter::Type::GradientBevel;
            readGradientFilter(in, f);
            break;
        case 5: {
            f.type = Filter::Type::Convolution;
            f.matrixX = in.u8();
            f.matrixY = in.u8();
            f.divisor = in.f32();
            f.bias = in.f32();
            const std::size_t n = std::size_t(f.matrixX) * std::size_t(f.matrixY);
            if (n * 4 > in.remaining()) {
                in.fail();
                break;
            }
            f.convolution.reserve(n);
            for (std::size_t k = 0; k < n; ++k)
                f.convolution.push_back(in.f32());
            f.defaultColor = readRgba(in);
            const uint8_t flags = in.u8();
            f.clamp = flags & 0x02;
            f.preserveAlpha = flags & 0x01;
            break;
        }
        case 6:
            f.type = Filter::Type::ColorMatrix;
            for (float& v : f.colorMatrix)
                v = in.f32();
            break;
        default:
            in.fail();
            break;
        }
        if (in.ok())
            filters.push_back(std::move(f));
    }
    return filters;
}

BlendMode blendModeFromByte(uint8_t value) {
    if (value >= 2 && value <= 14)
        return BlendMode(value);
    return BlendMode::Normal;
}

} // namespace swivio::swf
