#pragma once

#include <cstdint>
#include <vector>

#include "base/byte_reader.h"
#include "base/result.h"
#include "swf/format/font.h"
#include "swf/format/types.h"

namespace swivio::swf {

struct GlyphEntry {
    uint32_t index = 0;  // into the font's glyphs
    int32_t advance = 0; // twips, to the next glyph's origin
};

// One TEXTRECORD. Absent fields keep the values of the records before them.
struct TextRecord {
    bool hasFont = false;
    uint16_t fontId = 0;
    uint16_t height = 0; // twips; given with the font
    bool hasColor = false;
    Rgba color;
    bool hasXOffset = false;
    int16_t xOffset = 0; // twips, absolute within the text
    bool hasYOffset = false;
    int16_t yOffset = 0; // twips, the baseline
    std::vector<GlyphEntry> glyphs;
};

// DefineText or DefineText2.
struct StaticText {
    Rect bounds;
    Matrix matrix;
    std::vector<TextRecord> records;
};

// Reads the body of DefineText (11, RGB colours) or DefineText2 (33, RGBA colours) after the
// character id. A body cut short inside a record fails with a message.
Result<StaticText> parseDefineText(uint16_t tagCode, ByteReader& body);

// A glyph placed by layoutText. matrix maps the glyph's EM-square units into the text
// character's space: text matrix x translate(x, y) x scale(height / EM square).
struct PositionedGlyph {
    uint16_t fontId = 0;
    uint32_t glyphIndex = 0;
    Rgba color;
    Matrix matrix;
};

// Places every glyph of a text: the pen starts at (0, 0) in black, each record may set the
// font and height, colour, x and y, and each glyph moves the pen right by its advance.
// Glyphs of fonts that are missing, or indices past a font's glyphs, are skipped (the pen
// still advances).
std::vector<PositionedGlyph> layoutText(const StaticText& text, const FontLookup& fonts);

} // namespace swivio::swf
