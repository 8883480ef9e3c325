#pragma once

#include <memory>
#include <vector>

#include "swf/text/formatted_text.h"
#include "swf/text/glyph_font.h"

namespace swivio::swf::text {

// Picks the font for a format: an embedded one when the field uses embedded fonts, else a
// device font.
class FontResolver {
public:
    virtual ~FontResolver() = default;
    // Never null.
    virtual std::shared_ptr<const GlyphFont> resolve(const TextFormat& format) = 0;
};

struct LaidGlyph {
    char16_t c = 0;
    std::shared_ptr<const GlyphFont> font;
    double x = 0;    // pixels from the field's left edge (gutter included)
    double size = 0; // pixels
    uint32_t color = 0;
    bool underline = false;
    double advance = 0;
};

struct LayoutLine {
    std::size_t begin = 0, end = 0; // characters of the line, ends included
    double left = 0;                // pixels from the field's left edge to the first glyph
    double width = 0;               // pixels; trailing spaces only where they count
    double ascent = 0, descent = 0, leading = 0;
    double top = 0; // pixels from the top of the text (gutter excluded)
    std::vector<LaidGlyph> glyphs; // a bulleted paragraph's first line starts with its bullet
};

struct LayoutOptions {
    double width = 100; // the field's width in pixels, gutters included
    bool wordWrap = false;
    bool multiline = false;
    bool password = false;
    bool legacy = false; // movies before SWF 8: trailing spaces count whatever the alignment
};

struct TextLayout {
    std::vector<LayoutLine> lines; // at least one
    double textWidth = 0;          // pixels: the widest line
    // Pixels: every line's height, the last one's leading left out unless it is the only one;
    // the empty line after a final paragraph end does not count.
    double textHeight = 0;

    // The first line whose bottom passes top (0-based), for scroll positions.
    std::size_t lineAt(double y) const;
};

// Flash keeps two pixels between a field's edge and its text on every side.
inline constexpr double kGutter = 2.0;

// Breaks text into lines: at every paragraph end, and with wordWrap at the last space that
// lets a line fit the field's width less the gutters, margins and indents (a word longer
// than the width breaks between characters). Alignment places each line.
TextLayout layoutText(const FormattedText& text, const LayoutOptions& options, FontResolver& fonts);

} // namespace swivio::swf::text
