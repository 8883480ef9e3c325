// Arbitrary bytes as a small command list: shapes with random edges, fills, lines and
// matrices, nested masks and layers with blend modes and filters, some pops unmatched. The
// list is rendered at 64 x 48 with a viewport that may be off-stage or scaled absurdly.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>

#include "base/frame.h"
#include "swf/format/bitmap.h"
#include "swf/format/shape.h"
#include "swf/raster/render_commands.h"
#include "swf/raster/renderer.h"

namespace {

using namespace swivio;
using namespace swivio::swf;

// Reads from the input; zeros once it runs out, so every input is a complete list.
class Bytes {
public:
    Bytes(const uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    bool done() const { return m_pos >= m_size; }
    uint8_t u8() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    uint16_t u16() { return uint16_t(u8() | u8() << 8); }
    int32_t i32() { return int32_t(uint32_t(u16()) | uint32_t(u16()) << 16); }
    // Small coordinates mostly, with the occasional extreme one.
    int32_t coord() {
        const uint8_t k = u8();
        if (k < 8) {
            return i32();
        }
        return int32_t(int16_t(u16())) * 2;
    }
    double number() {
        switch (u8() % 16) {
        case 0:
            return 0.0;
        case 1:
            return std::nan("");
        case 2:
            return 1e300;
        case 3:
            return -1e-300;
        case 4: {
            double d;
            const uint64_t bits = uint64_t(uint32_t(i32())) << 32 | uint32_t(i32());
            std::memcpy(&d, &bits, sizeof d);
            return d;
        }
        default:
            return int16_t(u16()) / 1024.0;
        }
    }
    Rgba color() { return {u8(), u8(), u8(), u8()}; }

private:
    const uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

Matrix matrix(Bytes& in) {
    if (in.u8() % 4 != 0) {
        const double s = (in.u8() + 1) / 16.0;
        return {s, 0, 0, s, double(in.coord()), double(in.coord())};
    }
    return {in.number(), in.number(),       in.number(),
            in.number(), in.number() * 1e4, in.number() * 1e4};
}

ColorTransform colorTransform(Bytes& in) {
    if (in.u8() % 4 != 0) {
        return {};
    }
    ColorTransform ct;
    ct.mr = float(in.number());
    ct.mg = float(in.number());
    ct.mb = float(in.number());
    ct.ma = float(in.number());
    ct.ar = float(int8_t(in.u8()));
    ct.aa = float(int8_t(in.u8()));
    return ct;
}

FillStyle fillStyle(Bytes& in) {
    static constexpr FillType kTypes[] = {FillType::Solid,
                                          FillType::LinearGradient,
                                          FillType::RadialGradient,
                                          FillType::FocalRadialGradient,
                                          FillType::RepeatingBitmap,
                                          FillType::ClippedBitmap,
                                          FillType::RepeatingBitmapHard,
                                          FillType::ClippedBitmapHard};
    FillStyle fill;
    fill.type = kTypes[in.u8() % 8];
    fill.color = in.color();
    fill.matrix = matrix(in);
    fill.bitmapId = uint16_t(in.u8() % 4); // 0 and 3 are missing
    if (fill.bitmapId == 3) {
        fill.bitmapId = 65535;
    }
    fill.gradient.spread = SpreadMode(in.u8() % 3);
    fill.gradient.interpolation = Interpolation(in.u8() % 2);
    fill.gradient.focalPoint = float(in.number());
    const int stops = in.u8() % 5;
    for (int i = 0; i < stops; ++i) {
        fill.gradient.stops.push_back({in.u8(), in.color()});
    }
    return fill;
}

std::shared_ptr<const Shape> shape(Bytes& in) {
    auto s = std::make_shared<Shape>();
    s->nonZeroWinding = in.u8() & 1;
    // Declared bounds, right or wrong: large ones get the shape rasterized ahead.
    s->bounds = {in.coord(), in.coord(), in.coord(), in.coord()};
    const int groups = 1 + in.u8() % 2;
    for (int g = 0; g < groups; ++g) {
        StyleGroup group;
        const int fills = in.u8() % 4;
        for (int i = 0; i < fills; ++i) {
            group.fills.push_back(fillStyle(in));
        }
        const int lines = in.u8() % 3;
        for (int i = 0; i < lines; ++i) {
            LineStyle line;
            line.width = in.u16();
            line.color = in.color();
            const uint8_t flags = in.u8();
            line.startCap = CapStyle(flags % 3);
            line.endCap = CapStyle(flags / 3 % 3);
            line.join = JoinStyle(flags / 9 % 3);
            line.noHScale = flags & 0x20;
            line.noVScale = flags & 0x40;
            line.noClose = flags & 0x80;
            line.miterLimit = float(in.number());
            line.hasFill = in.u8() % 4 == 0;
            if (line.hasFill) {
                line.fill = fillStyle(in);
            }
            group.lines.push_back(line);
        }
        const int edges = in.u8() % 24;
        int32_t x = in.coord(), y = in.coord();
        for (int i = 0; i < edges; ++i) {
            Edge e;
            // Mostly connected paths, sometimes a jump.
            if (in.u8() % 8 == 0) {
                x = in.coord();
                y = in.coord();
            }
            e.x0 = x;
            e.y0 = y;
            e.curved = in.u8() & 1;
            e.cx = in.coord();
            e.cy = in.coord();
            e.x1 = x = in.coord();
            e.y1 = y = in.coord();
            e.fill0 = uint16_t(in.u8() % 5);
            e.fill1 = uint16_t(in.u8() % 5);
            e.line = uint16_t(in.u8() % 4);
            group.edges.push_back(e);
        }
        s->groups.push_back(std::move(group));
    }
    return s;
}

Filter filter(Bytes& in) {
    Filter f;
    f.type = Filter::Type(in.u8() % 8);
    f.color = in.color();
    f.highlight = in.color();
    f.blurX = float(in.u8() % 40);
    f.blurY = float(in.u8() % 40);
    f.angle = float(in.number());
    f.distance = float(int8_t(in.u8()));
    f.strength = float(in.number());
    const uint8_t flags = in.u8();
    f.inner = flags & 1;
    f.knockout = flags & 2;
    f.compositeSource = flags & 4;
    f.onTop = flags & 8;
    f.passes = flags >> 4;
    const int stops = in.u8() % 4;
    for (int i = 0; i < stops; ++i) {
        f.gradient.push_back({in.u8(), in.color()});
    }
    f.matrixX = in.u8() % 6;
    f.matrixY = in.u8() % 6;
    f.divisor = float(in.number());
    f.bias = float(in.number());
    const int cells = in.u8() % 40; // may disagree with matrixX * matrixY
    for (int i = 0; i < cells; ++i) {
        f.convolution.push_back(float(in.number()));
    }
    f.clamp = in.u8() & 1;
    f.preserveAlpha = in.u8() & 1;
    for (float& m : f.colorMatrix) {
        m = float(in.number());
    }
    return f;
}

class Bitmaps : public BitmapLookup {
public:
    Bitmaps() {
        // A premultiplied 3 x 2 picture and a 1 x 1 one whose colours exceed its alpha.
        m_bitmaps[1] = {
            3, 2, {0xFF0000FFu, 0x80404040u, 0x00000000u, 0xFFFFFFFFu, 0xFF00FF00u, 0x20101010u}};
        m_bitmaps[2] = {1, 1, {0x10FFFFFFu}};
    }
    const Bitmap* bitmap(uint16_t id) const override {
        auto it = m_bitmaps.find(id);
        return it == m_bitmaps.end() ? nullptr : &it->second;
    }

private:
    std::map<uint16_t, Bitmap> m_bitmaps;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static const Bitmaps bitmaps;
    static Renderer renderer; // reused, as the player does, so stale state would show
    Bytes in(data, size);
    RenderViewport viewport;
    viewport.stage = {0, 11000, 0, 8000};
    if (in.u8() % 4 == 0) {
        viewport.stage = {in.coord(), in.coord(), in.coord(), in.coord()};
    }
    viewport.playerWidth = 64;
    viewport.playerHeight = 48;
    if (in.u8() % 4 == 0) {
        viewport.playerWidth = in.u16() % 20000;
        viewport.playerHeight = in.u16() % 20000;
        viewport.originX = int8_t(in.u8()) * 4;
        viewport.originY = int8_t(in.u8()) * 4;
    }
    viewport.clipX = in.u8() % 8;
    viewport.clipY = in.u8() % 8;
    viewport.clipWidth = 64 - in.u8() % 16;
    viewport.clipHeight = 48 - in.u8() % 16;

    RenderCommandList commands;
    while (!in.done() && commands.size() < 64) {
        RenderCommand c;
        const uint8_t op = in.u8();
        switch (op % 8) {
        case 0:
            c.kind = RenderCommand::Kind::PushMask;
            break;
        case 1:
            c.kind = RenderCommand::Kind::BeginMasked;
            break;
        case 2:
            c.kind = RenderCommand::Kind::PopMask;
            break;
        case 3:
            c.kind = RenderCommand::Kind::PushLayer;
            c.blendMode = BlendMode(in.u8() % 16);
            c.colorTransform = colorTransform(in);
            for (int i = in.u8() % 3; i > 0; --i) {
                c.filters.push_back(filter(in));
            }
            break;
        case 4:
            c.kind = RenderCommand::Kind::PopLayer;
            break;
        default:
            c.kind = RenderCommand::Kind::DrawShape;
            if (op & 0x80) {
                c.shape = shape(in);
            }
            c.matrix = matrix(in);
            c.colorTransform = colorTransform(in);
            break;
        }
        commands.push_back(std::move(c));
    }

    Frame frame(64, 48);
    frame.fill(makeColor(10, 200, 30));
    renderer.render(commands, bitmaps, viewport, frame);
    // Twice more: shapes drawn again the same way come from kept pictures, over a background
    // colour the second time.
    renderer.render(commands, bitmaps, viewport, frame);
    renderer.render(commands, bitmaps, viewport, frame, makeColor(0, 0, 90));
    return 0;
}
