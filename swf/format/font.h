#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/byte_reader.h"
#include "base/result.h"
#include "swf/format/shape.h"
#include "swf/format/types.h"

namespace swivio::swf {

// One glyph of a font. The shape is in glyph units of the font's EM square, with no styles:
// its edges carry fill index 1 on the side that is inside the glyph.
struct Glyph {
    Shape shape;
    uint16_t code = 0;   // character code (UCS-2 for SWF 6 and later), 0 without a code table
    int16_t advance = 0; // layout advance, EM units (DefineFont2/3 with layout only)
    Rect bounds;         // layout bounds, EM units (DefineFont2/3 with layout only)
};

struct KerningPair {
    uint16_t left = 0, right = 0; // character codes
    int16_t adjustment = 0;       // EM units
};

// DefineFont, DefineFont2 or DefineFont3. DefineFontInfo's names and codes are not needed
// for drawing static text and are not read here.
struct Font {
    int version = 1; // 1 DefineFont, 2 DefineFont2, 3 DefineFont3
    std::string name;
    uint8_t language = 0;
    bool bold = false, italic = false, smallText = false, shiftJis = false, ansi = false;
    bool wideCodes = false;
    std::vector<Glyph> glyphs;
    bool hasLayout = false;
    uint16_t ascent = 0, descent = 0; // EM units
    int16_t leading = 0;
    std::vector<KerningPair> kerning;

    // Glyph coordinates are in an EM square of 1024 units; DefineFont3 stores them 20 times
    // finer, in a square of 20480.
    double emSquare() const { return version == 3 ? 20480.0 : 1024.0; }
    // The factor that scales glyph units to twips for a text height in twips.
    double glyphScale(double heightTwips) const { return heightTwips / emSquare(); }
};

// Reads the body of DefineFont (10), DefineFont2 (48) or DefineFont3 (75) after the font id.
// A damaged glyph keeps the edges read before the damage (or none), so one bad glyph does
// not lose the font; a damaged header or table fails with a message.
Result<Font> parseDefineFont(uint16_t tagCode, ByteReader& body);

// A glyph ready to draw: the glyph's edges with one solid fill of the given colour. An index
// past the font's glyphs gives an empty shape.
Shape glyphShape(const Font& font, std::size_t glyphIndex, Rgba color);

// Fonts by id, for laying out text.
class FontLookup {
public:
    virtual ~FontLookup() = default;
    virtual const Font* font(uint16_t id) const = 0;
};

} // namespace swivio::swf
