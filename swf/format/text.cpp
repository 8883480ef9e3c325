#include "swf/format/text.h"

#include <string>

#include "base/bit_reader.h"
#include "swf/format/records.h"

namespace swivio::swf {

namespace {

constexpr uint16_t kDefineText = 11;
constexpr uint16_t kDefineText2 = 33;

Result<StaticText> failure(uint16_t tagCode, const std::string& message) {
    return Result<StaticText>::failure(
        std::string(tagCode == kDefineText ? "DefineText" : "DefineText2") + ": " + message);
}

} // namespace

Result<StaticText> parseDefineText(uint16_t tagCode, ByteReader& body) {
    if (tagCode != kDefineText && tagCode != kDefineText2)
        return Result<StaticText>::failure("tag " + std::to_string(tagCode) + " is not a text");
    StaticText text;
    text.bounds = readRect(body);
    text.matrix = readMatrix(body);
    const int glyphBits = body.u8();
    const int advanceBits = body.u8();
    if (!body.ok())
        return failure(tagCode, "header cut short");
    if (glyphBits > 32 || advanceBits > 32)
        return failure(tagCode, "glyph field widths over 32 bits");
    while (true) {
        const uint8_t flags = body.u8();
        if (!body.ok())
            return failure(tagCode, "text records end without their end mark");
        if (flags == 0)
            break; // end of records
        TextRecord record;
        record.hasFont = flags & 0x08;
        record.hasColor = flags & 0x04;
        record.hasYOffset = flags & 0x02;
        record.hasXOffset = flags & 0x01;
        if (record.hasFont)
            record.fontId = body.u16();
        if (record.hasColor)
            record.color = tagCode == kDefineText2 ? readRgba(body) : readRgb(body);
        if (record.hasXOffset)
            record.xOffset = body.s16();
        if (record.hasYOffset)
            record.yOffset = body.s16();
        if (record.hasFont)
            record.height = body.u16();
        const std::size_t count = body.u8();
        // Each glyph entry takes glyphBits + advanceBits bits; refuse counts the data cannot
        // hold before reserving room for them.
        if (count * std::size_t(glyphBits + advanceBits) > body.remaining() * 8)
            return failure(tagCode, "glyph entries cut short");
        record.glyphs.resize(count);
        BitReader bits(body);
        for (GlyphEntry& g : record.glyphs) {
            g.index = bits.ub(glyphBits);
            g.advance = bits.sb(advanceBits);
        }
        bits.align();
        if (!body.ok())
            return failure(tagCode, "text record cut short");
        text.records.push_back(std::move(record));
    }
    return text;
}

std::vector<PositionedGlyph> layoutText(const StaticText& text, const FontLookup& fonts) {
    std::vector<PositionedGlyph> placed;
    const Font* font = nullptr;
    uint16_t fontId = 0;
    double height = 0;
    Rgba color{0, 0, 0, 255};
    double x = 0, y = 0;
    for (const TextRecord& record : text.records) {
        if (record.hasFont) {
            fontId = record.fontId;
            font = fonts.font(fontId);
            height = record.height;
        }
        if (record.hasColor)
            color = record.color;
        if (record.hasXOffset)
            x = record.xOffset;
        if (record.hasYOffset)
            y = record.yOffset;
        for (const GlyphEntry& g : record.glyphs) {
            if (font && g.index < font->glyphs.size()) {
                const double scale = font->glyphScale(height);
                PositionedGlyph p;
                p.fontId = fontId;
                p.glyphIndex = g.index;
                p.color = color;
                p.matrix = text.matrix * Matrix{scale, 0, 0, scale, x, y};
                placed.push_back(p);
            }
            x += g.advance;
        }
    }
    return placed;
}

} // namespace swivio::swf
