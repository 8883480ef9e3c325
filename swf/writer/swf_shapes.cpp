#include "swf/writer/swf_shapes.h"

#include <algorithm>

namespace swivio::swf::writer {

namespace {

void color(SwfBits& b, int version, uint8_t r, uint8_t g, uint8_t bl, uint8_t a) {
    b.u8(r).u8(g).u8(bl);
    if (version >= 3)
        b.u8(a);
}

int bitsFor(std::size_t count) {
    return SwfBits::bitsForUnsigned(uint32_t(count));
}

} // namespace

int ShapeBuilder::solidFill(uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
    SwfBits s;
    s.u8(0x00);
    color(s, m_version, r, g, b, a);
    m_groups.back().fills.push_back(s.data());
    return int(m_groups.back().fills.size());
}

int ShapeBuilder::gradientFill(bool radial, const std::vector<Stop>& stops, double scale,
                               int32_t tx, int32_t ty) {
    SwfBits s;
    s.u8(radial ? 0x12 : 0x10);
    s.matrix(scale, scale, 0, 0, tx, ty);
    s.u8(uint8_t(stops.size()));
    for (const Stop& stop : stops) {
        s.u8(stop.ratio);
        color(s, m_version, stop.r, stop.g, stop.b, stop.a);
    }
    m_groups.back().fills.push_back(s.data());
    return int(m_groups.back().fills.size());
}

int ShapeBuilder::bitmapFill(uint16_t bitmapId, uint8_t type, double scale) {
    SwfBits s;
    s.u8(type).u16(bitmapId);
    s.matrix(scale, scale);
    m_groups.back().fills.push_back(s.data());
    return int(m_groups.back().fills.size());
}

int ShapeBuilder::lineStyle(uint16_t width, uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
    SwfBits s;
    s.u16(width);
    if (m_version >= 4)
        s.u8(0).u8(0); // round caps and joins, no fill, no flags
    color(s, m_version, r, g, b, a);
    m_groups.back().lines.push_back(s.data());
    return int(m_groups.back().lines.size());
}

ShapeBuilder& ShapeBuilder::newStyles() {
    m_groups.emplace_back();
    m_ops.push_back({Op::NewStyles});
    return *this;
}

ShapeBuilder& ShapeBuilder::styles(int fill0, int fill1, int line) {
    m_ops.push_back({Op::Styles, fill0, fill1, line});
    return *this;
}

ShapeBuilder& ShapeBuilder::moveTo(int32_t x, int32_t y) {
    m_ops.push_back({Op::Move, x, y});
    m_x = x;
    m_y = y;
    return *this;
}

ShapeBuilder& ShapeBuilder::lineTo(int32_t x, int32_t y) {
    m_ops.push_back({Op::Line, x - m_x, y - m_y});
    m_x = x;
    m_y = y;
    return *this;
}

ShapeBuilder& ShapeBuilder::curveTo(int32_t cx, int32_t cy, int32_t x, int32_t y) {
    m_ops.push_back({Op::Curve, cx - m_x, cy - m_y, x - cx, y - cy});
    m_x = x;
    m_y = y;
    return *this;
}

ShapeBuilder& ShapeBuilder::rectangle(int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                                      bool clockwise) {
    moveTo(x0, y0);
    if (clockwise) {
        lineTo(x1, y0);
        lineTo(x1, y1);
        lineTo(x0, y1);
    } else {
        lineTo(x0, y1);
        lineTo(x1, y1);
        lineTo(x1, y0);
    }
    return lineTo(x0, y0);
}

void ShapeBuilder::writeStyles(SwfBits& bits, const Group& group) const {
    auto count = [&](std::size_t n) {
        if (n >= 0xFF) {
            bits.u8(0xFF).u16(uint16_t(n));
        } else {
            bits.u8(uint8_t(n));
        }
    };
    count(group.fills.size());
    for (const auto& f : group.fills)
        bits.bytes(f);
    count(group.lines.size());
    for (const auto& l : group.lines)
        bits.bytes(l);
}

void ShapeBuilder::writeRecords(SwfBits& bits, bool glyph) const {
    std::size_t groupIndex = 0;
    int fillBits = glyph ? 1 : bitsFor(m_groups[0].fills.size());
    int lineBits = glyph ? 1 : bitsFor(m_groups[0].lines.size());
    bits.ub(4, uint32_t(fillBits)).ub(4, uint32_t(lineBits));
    for (std::size_t i = 0; i < m_ops.size(); ++i) {
        const Op& op = m_ops[i];
        switch (op.kind) {
        case Op::Styles:
        case Op::Move:
        case Op::NewStyles: {
            // Merge a run of style, move and new-style ops into one record.
            bool hasNew = false, hasMove = false;
            int f0 = -1, f1 = -1, ln = -1, mx = 0, my = 0;
            std::size_t j = i;
            for (; j < m_ops.size() && m_ops[j].kind != Op::Line && m_ops[j].kind != Op::Curve;
                 ++j) {
                const Op& o = m_ops[j];
                if (o.kind == Op::NewStyles) {
                    // New styles make a record of their own, so the indices that follow
                    // are written with the new arrays' bit widths.
                    if (j == i)
                        hasNew = true, ++j;
                    break;
                } else if (o.kind == Op::Move) {
                    hasMove = true;
                    mx = o.a;
                    my = o.b;
                } else {
                    if (o.a >= 0)
                        f0 = o.a;
                    if (o.b >= 0)
                        f1 = o.b;
                    if (o.c >= 0)
                        ln = o.c;
                }
            }
            i = j - 1;
            bits.ub(1, 0);
            bits.flag(hasNew).flag(ln >= 0).flag(f1 >= 0).flag(f0 >= 0).flag(hasMove);
            if (hasMove) {
                const int n = std::max(SwfBits::bitsForSigned(mx), SwfBits::bitsForSigned(my));
                bits.ub(5, uint32_t(n)).sb(n, mx).sb(n, my);
            }
            if (f0 >= 0)
                bits.ub(fillBits, uint32_t(f0));
            if (f1 >= 0)
                bits.ub(fillBits, uint32_t(f1));
            if (ln >= 0)
                bits.ub(lineBits, uint32_t(ln));
            if (hasNew) {
                const Group& g = m_groups[++groupIndex];
                writeStyles(bits, g);
                fillBits = bitsFor(g.fills.size());
                lineBits = bitsFor(g.lines.size());
                bits.ub(4, uint32_t(fillBits)).ub(4, uint32_t(lineBits));
            }
            break;
        }
        case Op::Line: {
            const int n = std::max({SwfBits::bitsForSigned(op.a), SwfBits::bitsForSigned(op.b), 2});
            bits.ub(1, 1).ub(1, 1).ub(4, uint32_t(n - 2));
            if (op.a != 0 && op.b != 0) {
                bits.flag(true).sb(n, op.a).sb(n, op.b);
            } else if (op.a == 0) {
                bits.flag(false).flag(true).sb(n, op.b);
            } else {
                bits.flag(false).flag(false).sb(n, op.a);
            }
            break;
        }
        case Op::Curve: {
            const int n = std::max({SwfBits::bitsForSigned(op.a), SwfBits::bitsForSigned(op.b),
                                    SwfBits::bitsForSigned(op.c), SwfBits::bitsForSigned(op.d), 2});
            bits.ub(1, 1).ub(1, 0).ub(4, uint32_t(n - 2));
            bits.sb(n, op.a).sb(n, op.b).sb(n, op.c).sb(n, op.d);
            break;
        }
        }
    }
    bits.ub(6, 0); // end record
    bits.align();
}

std::vector<uint8_t> ShapeBuilder::defineShape(uint16_t id, int32_t xMin, int32_t xMax,
                                               int32_t yMin, int32_t yMax) const {
    SwfBits bits;
    bits.u16(id);
    bits.rect(xMin, xMax, yMin, yMax);
    if (m_version >= 4) {
        bits.rect(xMin, xMax, yMin, yMax);
        bits.u8(0);
    }
    writeStyles(bits, m_groups[0]);
    writeRecords(bits, false);
    return bits.data();
}

uint16_t ShapeBuilder::tagCode() const {
    switch (m_version) {
    case 1:
        return 2;
    case 2:
        return 22;
    case 4:
        return 83;
    default:
        return 32;
    }
}

std::vector<uint8_t> ShapeBuilder::glyphShape() const {
    SwfBits bits;
    writeRecords(bits, true);
    return bits.data();
}

std::vector<uint8_t> rectangleShape(uint16_t id, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                                    uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
    ShapeBuilder s(3);
    const int fill = s.solidFill(r, g, b, a);
    s.styles(0, fill).rectangle(x0, y0, x1, y1);
    return s.defineShape(id, x0, x1, y0, y1);
}

} // namespace swivio::swf::writer
