#include "swf/text/text_layout.h"

#include <algorithm>
#include <cmath>

namespace swivio::swf::text {

namespace {

struct Measured {
    char16_t c;
    double advance; // pixels, letter spacing and kerning included
    double size;
    std::shared_ptr<const GlyphFont> font;
    const TextFormat* format;
};

bool isBreakSpace(char16_t c) {
    return c == u' ' || c == u'\t';
}

// A bulleted paragraph's text starts this far right of its margins and indents; its bullet
// sits at kBulletX.
constexpr double kBulletIndent = 35;
constexpr double kBulletX = 18;

// The room a paragraph's margins, indents and bullet take from a line's left.
double leftOffset(const TextFormat& paragraph, bool firstOfParagraph) {
    return paragraph.leftMargin.value_or(0) + paragraph.blockIndent.value_or(0) +
           (firstOfParagraph ? paragraph.indent.value_or(0) : 0) +
           (paragraph.bullet.value_or(false) ? kBulletIndent : 0);
}

// Positions a line's glyphs and its metrics from measured characters [from, to).
LayoutLine makeLine(const std::vector<Measured>& m, std::size_t from, std::size_t to,
                    const TextFormat& paragraph, bool firstOfParagraph, double fieldWidth,
                    bool legacy) {
    // Trailing spaces widen a left-aligned line; other alignments leave them out, except in
    // older movies. Bulleted paragraphs are always left-aligned.
    const bool bullet = paragraph.bullet.value_or(false);
    const TextAlign align = bullet ? TextAlign::Left : paragraph.align.value_or(TextAlign::Left);
    const bool countSpaces = legacy || align == TextAlign::Left;
    LayoutLine line;
    line.begin = from;
    line.end = to;
    double x = 0, width = 0;
    for (std::size_t i = from; i < to; ++i) {
        if (m[i].c == u'\r' || m[i].c == u'\n')
            continue;
        LaidGlyph g;
        g.c = m[i].c;
        g.font = m[i].font;
        g.x = x;
        g.size = m[i].size;
        g.color = m[i].format->color.value_or(0);
        g.underline = m[i].format->underline.value_or(false);
        g.advance = m[i].advance;
        line.glyphs.push_back(std::move(g));
        x += m[i].advance;
        if (countSpaces || !isBreakSpace(m[i].c))
            width = x;
    }
    line.width = width;
    // A line's height comes from its tallest font; an empty line takes the paragraph's.
    const std::size_t metricsFrom = from < to ? from : std::min(from, m.size() ? m.size() - 1 : 0);
    const std::size_t metricsTo = from < to ? to : metricsFrom + (m.empty() ? 0 : 1);
    // Ascent and descent are whole twips, the fraction dropped.
    auto twips = [](double pixels) { return std::floor(pixels * 20 + 1e-9) / 20; };
    for (std::size_t i = metricsFrom; i < metricsTo && i < m.size(); ++i) {
        const double scale = m[i].size / GlyphFont::kEm;
        line.ascent = std::max(line.ascent, twips(m[i].font->ascent() * scale));
        line.descent = std::max(line.descent, twips(m[i].font->descent() * scale));
    }
    line.leading = paragraph.leading.value_or(0);
    const double left = kGutter + leftOffset(paragraph, firstOfParagraph);
    const double available = fieldWidth - left - kGutter - paragraph.rightMargin.value_or(0);
    switch (align) {
    case TextAlign::Center:
        line.left = left + std::max(0.0, (available - width) / 2);
        break;
    case TextAlign::Right:
        line.left = left + std::max(0.0, available - width);
        break;
    default:
        line.left = left;
    }
    for (LaidGlyph& g : line.glyphs)
        g.x += line.left;
    if (bullet && firstOfParagraph && from < to && from < m.size()) {
        LaidGlyph g;
        g.c = u'\u2022';
        g.font = m[from].font;
        g.size = m[from].size;
        g.color = m[from].format->color.value_or(0);
        g.x = kGutter + leftOffset(paragraph, true) - kBulletIndent + kBulletX;
        line.glyphs.insert(line.glyphs.begin(), std::move(g));
    }
    return line;
}

} // namespace

std::size_t TextLayout::lineAt(double y) const {
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (lines[i].top + lines[i].ascent + lines[i].descent > y)
            return i;
    return lines.empty() ? 0 : lines.size() - 1;
}

TextLayout layoutText(const FormattedText& text, const LayoutOptions& options,
                      FontResolver& fonts) {
    const std::u16string& s = text.text();
    std::vector<Measured> m;
    m.reserve(s.size());
    {
        std::size_t pos = 0;
        for (const FormattedText::Run& run : text.runs()) {
            auto font = fonts.resolve(run.format);
            const double size = run.format.size.value_or(12);
            const double scale = size / GlyphFont::kEm;
            const double spacing = run.format.letterSpacing.value_or(0);
            const bool kern = run.format.kerning.value_or(false);
            for (std::size_t i = pos; i < pos + run.length && i < s.size(); ++i) {
                const char16_t c = options.password && s[i] != u'\r' ? u'*' : s[i];
                // Glyphs advance by whole twips, the fraction dropped.
                double advance = (c == u'\r' || c == u'\n')
                                     ? 0
                                     : std::floor(font->advance(c) * scale * 20) / 20 + spacing;
                if (kern && i + 1 < pos + run.length && i + 1 < s.size())
                    advance += font->kerning(c, s[i + 1]) * scale;
                m.push_back({c, advance, size, font, &run.format});
            }
            pos += run.length;
        }
    }
    TextLayout layout;
    std::size_t paragraphStart = 0;
    while (true) {
        std::size_t paragraphEnd = paragraphStart;
        while (paragraphEnd < m.size() && m[paragraphEnd].c != u'\r' && m[paragraphEnd].c != u'\n')
            ++paragraphEnd;
        // The paragraph's format is its first character's (looked up without a walk over
        // the runs, so long texts lay out in linear time).
        const TextFormat paragraph =
            paragraphStart < m.size() ? *m[paragraphStart].format : text.formatAt(paragraphStart);
        bool first = true;
        std::size_t lineStart = paragraphStart;
        do {
            const double available = options.width - 2 * kGutter - leftOffset(paragraph, first) -
                                     paragraph.rightMargin.value_or(0);
            std::size_t lineEnd = paragraphEnd;
            if (options.wordWrap) {
                double x = 0;
                std::size_t lastBreak = lineStart;
                for (std::size_t i = lineStart; i < paragraphEnd; ++i) {
                    if (isBreakSpace(m[i].c)) {
                        lastBreak = i + 1;
                        x += m[i].advance;
                        continue;
                    }
                    x += m[i].advance;
                    if (x > available && i > lineStart) {
                        // Break after the last space, or inside a word too long for a line.
                        lineEnd = lastBreak > lineStart ? lastBreak : i;
                        break;
                    }
                }
            }
            const std::size_t withBreak =
                lineEnd == paragraphEnd && paragraphEnd < m.size() ? paragraphEnd + 1 : lineEnd;
            layout.lines.push_back(
                makeLine(m, lineStart, withBreak, paragraph, first, options.width, options.legacy));
            first = false;
            lineStart = lineEnd;
        } while (lineStart < paragraphEnd);
        if (paragraphEnd >= m.size())
            break;
        // A final paragraph end opens an empty line of its own.
        paragraphStart = paragraphEnd + 1;
    }
    double top = 0;
    for (LayoutLine& line : layout.lines) {
        line.top = top;
        top += line.ascent + line.descent + line.leading;
        layout.textWidth = std::max(layout.textWidth, line.width);
    }
    // The empty line after a final paragraph end adds no height. The last line's leading is
    // left out, except when it is the only line.
    std::size_t counted = layout.lines.size();
    if (counted > 1 && layout.lines.back().begin == layout.lines.back().end)
        --counted;
    if (!m.empty()) {
        const LayoutLine& last = layout.lines[counted - 1];
        layout.textHeight =
            last.top + last.ascent + last.descent + (counted == 1 ? last.leading : 0);
    }
    return layout;
}

} // namespace swivio::swf::text
