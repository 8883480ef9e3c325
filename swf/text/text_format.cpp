#include "swf/text/text_format.h"

#include <cctype>

namespace swivio::swf::text {

namespace {

template <typename F> void eachField(TextFormat& a, const TextFormat& b, F&& f) {
    f(a.font, b.font);
    f(a.size, b.size);
    f(a.color, b.color);
    f(a.bold, b.bold);
    f(a.italic, b.italic);
    f(a.underline, b.underline);
    f(a.url, b.url);
    f(a.target, b.target);
    f(a.align, b.align);
    f(a.leftMargin, b.leftMargin);
    f(a.rightMargin, b.rightMargin);
    f(a.indent, b.indent);
    f(a.blockIndent, b.blockIndent);
    f(a.leading, b.leading);
    f(a.letterSpacing, b.letterSpacing);
    f(a.kerning, b.kerning);
    f(a.tabStops, b.tabStops);
    f(a.bullet, b.bullet);
}

} // namespace

void TextFormat::apply(const TextFormat& other) {
    eachField(*this, other, [](auto& mine, const auto& theirs) {
        if (theirs)
            mine = theirs;
    });
}

void TextFormat::intersect(const TextFormat& other) {
    eachField(*this, other, [](auto& mine, const auto& theirs) {
        if (mine != theirs)
            mine.reset();
    });
}

TextFormat TextFormat::defaults(std::string font, double size) {
    TextFormat f;
    f.font = std::move(font);
    f.size = size;
    f.color = 0;
    f.bold = f.italic = f.underline = false;
    f.url = f.target = std::string();
    f.align = TextAlign::Left;
    f.leftMargin = f.rightMargin = f.indent = f.blockIndent = f.leading = 0.0;
    f.letterSpacing = 0.0;
    f.kerning = false;
    f.tabStops = std::vector<double>();
    f.bullet = false;
    return f;
}

const char* alignName(TextAlign align) {
    switch (align) {
    case TextAlign::Right:
        return "right";
    case TextAlign::Center:
        return "center";
    case TextAlign::Justify:
        return "justify";
    default:
        return "left";
    }
}

std::optional<TextAlign> alignFromName(std::string_view name) {
    std::string lower;
    for (char c : name)
        lower += char(std::tolower(static_cast<unsigned char>(c)));
    if (lower == "left")
        return TextAlign::Left;
    if (lower == "right")
        return TextAlign::Right;
    if (lower == "center")
        return TextAlign::Center;
    if (lower == "justify")
        return TextAlign::Justify;
    return std::nullopt;
}

} // namespace swivio::swf::text
