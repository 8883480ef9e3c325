#include "swf/format/font.h"

#include <algorithm>
#include <string>

#include "swf/format/records.h"
#include "swf/format/shape_reader.h"

namespace swivio::swf {

namespace {

constexpr uint16_t kDefineFont = 10;
constexpr uint16_t kDefineFont2 = 48;
constexpr uint16_t kDefineFont3 = 75;

Result<Font> failure(uint16_t tagCode, const std::string& message) {
    const char* name = tagCode == kDefineFont    ? "DefineFont"
                       : tagCode == kDefineFont2 ? "DefineFont2"
                                                 : "DefineFont3";
    return Result<Font>::failure(std::string(name) + ": " + message);
}

// Reads one glyph SHAPE from its slice of the glyph table. Edges read before any damage are
// kept; fill indices other than 0 become 1 (the glyph's one fill) and lines are dropped.
// The bounds enclose every end and control point.
Shape readGlyph(std::span<const uint8_t> slice) {
    Shape shape;
    shape.groups.emplace_back();
    if (slice.empty())
        return shape;
    ByteReader in(slice);
    (void)readShapeRecords(in, 0, shape.groups);
    bool first = true;
    Rect& box = shape.bounds;
    const auto include = [&](int32_t x, int32_t y) {
        if (first) {
            box = {x, x, y, y};
            first = false;
        }
        box = {std::min(box.xMin, x), std::max(box.xMax, x), std::min(box.yMin, y),
               std::max(box.yMax, y)};
    };
    for (Edge& e : shape.groups[0].edges) {
        e.fill0 = e.fill0 ? 1 : 0;
        e.fill1 = e.fill1 ? 1 : 0;
        e.line = 0;
        include(e.x0, e.y0);
        include(e.x1, e.y1);
        if (e.curved)
            include(e.cx, e.cy);
    }
    return shape;
}

// Glyph offsets are relative to the start of the offset table; each glyph runs to the next
// offset (the last one to the end of the table). Offsets that point outside the table or
// backwards give an empty glyph.
std::vector<Glyph> readGlyphs(std::span<const uint8_t> table, const std::vector<uint32_t>& offsets,
                              std::size_t tableEnd) {
    std::vector<Glyph> glyphs(offsets.size());
    for (std::size_t i = 0; i < offsets.size(); ++i) {
        const std::size_t begin = offsets[i];
        const std::size_t end = i + 1 < offsets.size() ? offsets[i + 1] : tableEnd;
        if (begin < end && end <= table.size())
            glyphs[i].shape = readGlyph(table.subspan(begin, end - begin));
        else if (begin < table.size() && end > table.size())
            glyphs[i].shape = readGlyph(table.subspan(begin));
        else
            glyphs[i].shape = readGlyph({});
    }
    return glyphs;
}

Result<Font> parseDefineFont1(ByteReader& body) {
    Font font;
    font.version = 1;
    const std::span<const uint8_t> table = body.data().subspan(body.offset());
    if (table.empty())
        return font; // a font without glyphs (device text only)
    ByteReader in(table);
    const uint16_t first = in.u16();
    const std::size_t count = first / 2;
    if (!in.ok() || count == 0 || count * 2 > table.size())
        return failure(kDefineFont, "glyph offset table damaged");
    std::vector<uint32_t> offsets(count);
    offsets[0] = first;
    for (std::size_t i = 1; i < count; ++i)
        offsets[i] = in.u16();
    font.glyphs = readGlyphs(table, offsets, table.size());
    return font;
}

Result<Font> parseDefineFont23(uint16_t tagCode, ByteReader& body) {
    Font font;
    font.version = tagCode == kDefineFont3 ? 3 : 2;
    const uint8_t flags = body.u8();
    font.hasLayout = flags & 0x80;
    font.shiftJis = flags & 0x40;
    font.smallText = flags & 0x20;
    font.ansi = flags & 0x10;
    const bool wideOffsets = flags & 0x08;
    // DefineFont3 should set it, but tools that leave it clear store 8-bit codes, and
    // players read them so.
    font.wideCodes = flags & 0x04;
    font.italic = flags & 0x02;
    font.bold = flags & 0x01;
    font.language = body.u8();
    const uint8_t nameLength = body.u8();
    const std::span<const uint8_t> name = body.bytes(nameLength);
    font.name.assign(name.begin(), name.end());
    // Names are stored with a terminating zero by some tools.
    while (!font.name.empty() && font.name.back() == '\0')
        font.name.pop_back();
    const std::size_t count = body.u16();
    if (!body.ok())
        return failure(tagCode, "header cut short");

    const std::size_t tableStart = body.offset();
    const std::span<const uint8_t> table = body.data().subspan(tableStart);
    const std::size_t offsetSize = wideOffsets ? 4 : 2;
    if (count == 0) {
        // No offset table; some files still store a code table offset.
        return font;
    }
    if ((count + 1) * offsetSize > table.size())
        return failure(tagCode, "glyph offset table cut short");
    std::vector<uint32_t> offsets(count);
    for (std::size_t i = 0; i < count; ++i)
        offsets[i] = wideOffsets ? body.u32() : body.u16();
    const uint32_t codeTableOffset = wideOffsets ? body.u32() : body.u16();
    if (codeTableOffset > table.size())
        return failure(tagCode, "code table offset past the end of the tag");
    font.glyphs = readGlyphs(table, offsets, codeTableOffset);

    body.seek(tableStart + codeTableOffset);
    for (Glyph& g : font.glyphs)
        g.code = font.wideCodes ? body.u16() : body.u8();
    if (!body.ok())
        return failure(tagCode, "code table cut short");
    if (!font.hasLayout)
        return font;

    font.ascent = body.u16();
    font.descent = body.u16();
    font.leading = body.s16();
    for (Glyph& g : font.glyphs)
        g.advance = body.s16();
    for (Glyph& g : font.glyphs)
        g.bounds = readRect(body);
    const std::size_t kerningCount = body.u16();
    if (!body.ok())
        return failure(tagCode, "layout cut short");
    // Kerning tables are cut short by some tools; the pairs that are whole are kept.
    const std::size_t pairSize = font.wideCodes ? 6 : 4;
    const std::size_t whole = std::min(kerningCount, body.remaining() / pairSize);
    font.kerning.resize(whole);
    for (KerningPair& k : font.kerning) {
        k.left = font.wideCodes ? body.u16() : body.u8();
        k.right = font.wideCodes ? body.u16() : body.u8();
        k.adjustment = body.s16();
    }
    return font;
}

} // namespace

Result<Font> parseDefineFont(uint16_t tagCode, ByteReader& body) {
    switch (tagCode) {
    case kDefineFont:
        return parseDefineFont1(body);
    case kDefineFont2:
    case kDefineFont3:
        return parseDefineFont23(tagCode, body);
    default:
        return Result<Font>::failure("tag " + std::to_string(tagCode) + " is not a font");
    }
}

Shape glyphShape(const Font& font, std::size_t glyphIndex, Rgba color) {
    Shape shape;
    StyleGroup& group = shape.groups.emplace_back();
    if (glyphIndex >= font.glyphs.size())
        return shape;
    const Shape& glyph = font.glyphs[glyphIndex].shape;
    FillStyle fill;
    fill.type = FillType::Solid;
    fill.color = color;
    group.fills.push_back(fill);
    for (const StyleGroup& g : glyph.groups)
        group.edges.insert(group.edges.end(), g.edges.begin(), g.edges.end());
    shape.bounds = glyph.bounds;
    return shape;
}

} // namespace swivio::swf
