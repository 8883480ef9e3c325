#pragma once

#include <optional>
#include <string>
#include <vector>

namespace swivio::swf::text {

enum class TextAlign { Left, Right, Center, Justify };

// A character format as scripts see it (TextFormat): every field may be unset. A field's
// content has every field set; a format given to setTextFormat sets only what it holds.
// Sizes, margins and indents are in pixels.
struct TextFormat {
    std::optional<std::string> font;
    std::optional<double> size;
    std::optional<uint32_t> color; // 0xRRGGBB
    std::optional<bool> bold, italic, underline;
    std::optional<std::string> url, target;
    std::optional<TextAlign> align;
    std::optional<double> leftMargin, rightMargin, indent, blockIndent, leading;
    std::optional<double> letterSpacing;
    std::optional<bool> kerning;
    std::optional<std::vector<double>> tabStops;
    std::optional<bool> bullet;

    // Sets every field that other sets.
    void apply(const TextFormat& other);
    // Unsets every field whose value differs from other's (the format common to a range).
    void intersect(const TextFormat& other);
    bool operator==(const TextFormat&) const = default;

    // A format with every field set to the values a new field starts with.
    static TextFormat defaults(std::string font, double size);
};

const char* alignName(TextAlign align); // "left", "right", "center", "justify"
std::optional<TextAlign> alignFromName(std::string_view name); // case-insensitive

} // namespace swivio::swf::text
