#include "swf/format/shape_reader.h"

#include "base/bit_reader.h"
#include "swf/format/records.h"

namespace swivio::swf {

namespace {

uint16_t checkedIndex(uint32_t index, std::size_t count, bool check) {
    if (check && index > count)
        return 0;
    return uint16_t(index);
}

} // namespace

Status readShapeRecords(ByteReader& in, int shapeVersion, std::vector<StyleGroup>& groups) {
    constexpr const char* kCutShort = "shape records end before their end record";
    if (groups.empty())
        groups.emplace_back();
    const bool withStyles = shapeVersion >= 1;
    BitReader bits(in);
    int fillBits = int(bits.ub(4));
    int lineBits = int(bits.ub(4));
    int32_t x = 0, y = 0;
    uint16_t fill0 = 0, fill1 = 0, line = 0;
    std::size_t edgeCount = 0;
    for (const StyleGroup& g : groups)
        edgeCount += g.edges.size();

    while (true) {
        if (!in.ok())
            return Status::failure(kCutShort);
        StyleGroup* group = &groups.back();
        if (!bits.flag()) {
            const uint32_t flags = bits.ub(5);
            if (flags == 0) // end record, unless the zeros came from running out of data
                return in.ok() ? Status() : Status::failure(kCutShort);
            const bool newStyles = flags & 0x10;
            if (flags & 0x01) {
                const int n = int(bits.ub(5));
                x = bits.sb(n);
                y = bits.sb(n);
            }
            uint32_t f0 = fill0, f1 = fill1, ln = line;
            if (flags & 0x02)
                f0 = bits.ub(fillBits);
            if (flags & 0x04)
                f1 = bits.ub(fillBits);
            if (flags & 0x08)
                ln = bits.ub(lineBits);
            if (newStyles && withStyles) {
                // Earlier records form a layer below; the indices of this record and the
                // following ones refer to the new arrays.
                bits.align();
                StyleGroup next;
                next.fills = readFillStyleArray(in, shapeVersion);
                next.lines = readLineStyleArray(in, shapeVersion);
                if (!in.ok())
                    return Status::failure("damaged style arrays in a shape");
                groups.push_back(std::move(next));
                group = &groups.back();
                fillBits = int(bits.ub(4));
                lineBits = int(bits.ub(4));
                if (!(flags & 0x02))
                    f0 = 0;
                if (!(flags & 0x04))
                    f1 = 0;
                if (!(flags & 0x08))
                    ln = 0;
            }
            fill0 = checkedIndex(f0, group->fills.size(), withStyles);
            fill1 = checkedIndex(f1, group->fills.size(), withStyles);
            line = checkedIndex(ln, group->lines.size(), withStyles);
            continue;
        }
        // Edge record.
        if (++edgeCount > kMaxShapeEdges)
            return Status::failure("shape has too many edges");
        const bool straight = bits.flag();
        const int n = int(bits.ub(4)) + 2;
        Edge e;
        e.x0 = x;
        e.y0 = y;
        e.fill0 = fill0;
        e.fill1 = fill1;
        e.line = line;
        if (straight) {
            int32_t dx = 0, dy = 0;
            if (bits.flag()) {
                dx = bits.sb(n);
                dy = bits.sb(n);
            } else if (bits.flag()) {
                dy = bits.sb(n);
            } else {
                dx = bits.sb(n);
            }
            x += dx;
            y += dy;
        } else {
            e.curved = true;
            e.cx = x + bits.sb(n);
            e.cy = y + bits.sb(n);
            x = e.cx + bits.sb(n);
            y = e.cy + bits.sb(n);
        }
        e.x1 = x;
        e.y1 = y;
        if (!in.ok())
            return Status::failure(kCutShort);
        group->edges.push_back(e);
    }
}

Result<Shape> readShapeWithStyle(ByteReader& in, int shapeVersion) {
    Shape shape;
    shape.groups.emplace_back();
    shape.groups[0].fills = readFillStyleArray(in, shapeVersion);
    shape.groups[0].lines = readLineStyleArray(in, shapeVersion);
    if (!in.ok())
        return Result<Shape>::failure("damaged style arrays in a shape");
    if (Status read = readShapeRecords(in, shapeVersion, shape.groups); !read)
        return read;
    return shape;
}

Result<Shape> readGlyphShape(ByteReader& in) {
    Shape shape;
    shape.groups.emplace_back();
    if (Status read = readShapeRecords(in, 0, shape.groups); !read)
        return read;
    return shape;
}

Result<Shape> parseDefineShape(uint16_t tagCode, ByteReader& body) {
    int version = 0;
    switch (tagCode) {
    case 2:
        version = 1;
        break;
    case 22:
        version = 2;
        break;
    case 32:
        version = 3;
        break;
    case 83:
        version = 4;
        break;
    default:
        return Result<Shape>::failure("not a shape tag");
    }
    const Rect bounds = readRect(body);
    bool nonZero = false;
    if (version == 4) {
        readRect(body); // edge bounds, without the strokes
        nonZero = body.u8() & 0x04;
    }
    if (!body.ok())
        return Result<Shape>::failure("shape bounds cut short");
    Result<Shape> shape = readShapeWithStyle(body, version);
    if (!shape)
        return shape;
    shape->bounds = bounds;
    shape->nonZeroWinding = nonZero;
    return shape;
}

} // namespace swivio::swf
