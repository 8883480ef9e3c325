#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "swf/format/font.h"
#include "swf/format/shape.h"

namespace swivio::swf::text {

// A font as layout needs it. Metrics are in units of a 1024-unit EM square (the square of
// DefineFont glyphs), so a size of s pixels scales them by s / 1024.
class GlyphFont {
public:
    static constexpr double kEm = 1024.0;
    virtual ~GlyphFont() = default;
    virtual double ascent() const = 0;
    virtual double descent() const = 0;
    virtual double leading() const = 0;
    virtual bool hasGlyph(char16_t c) const = 0;
    virtual double advance(char16_t c) const = 0;
    virtual double kerning(char16_t left, char16_t right) const = 0;
    // The glyph's outline in EM units, y down, filled with fill index 1 on its inside;
    // empty for a character the font lacks.
    virtual std::shared_ptr<const Shape> outline(char16_t c) const = 0;
};

// A font embedded in the movie (DefineFont2/3 with its code table and layout).
class EmbeddedFont final : public GlyphFont {
public:
    explicit EmbeddedFont(std::shared_ptr<const Font> font);
    double ascent() const override;
    double descent() const override;
    double leading() const override;
    bool hasGlyph(char16_t c) const override { return m_index.count(c) != 0; }
    double advance(char16_t c) const override;
    double kerning(char16_t left, char16_t right) const override;
    std::shared_ptr<const Shape> outline(char16_t c) const override;
    const Font& font() const { return *m_font; }

private:
    std::shared_ptr<const Font> m_font;
    double m_scale; // font units to the 1024 square
    std::map<char16_t, std::size_t> m_index;
    std::map<std::pair<char16_t, char16_t>, int> m_kerning;
    mutable std::map<char16_t, std::shared_ptr<const Shape>> m_outlines;
};

// Fonts of the system for fields without embedded fonts. Flash's generic names and the fonts
// it commonly found map onto metric-compatible free fonts: _sans, Arial and Helvetica onto
// Liberation Sans, _serif and Times New Roman onto Liberation Serif, _typewriter and Courier
// New onto Liberation Mono; other names onto DejaVu Sans. Shared by every player of the
// process and safe to use from several threads.
class DeviceFonts {
public:
    static DeviceFonts& shared();
    // Never null: a font of fixed metrics stands in when no font file can be loaded.
    std::shared_ptr<const GlyphFont> font(const std::string& name, bool bold, bool italic);
    // The family names scripts see in TextField.getFontList().
    std::vector<std::string> familyNames();

    ~DeviceFonts();

private:
    DeviceFonts();
    struct Library;
    std::mutex m_mutex;
    std::unique_ptr<Library> m_library;
    std::map<std::string, std::shared_ptr<const GlyphFont>> m_fonts;
};

// The face a device-font name resolves to (for tests and diagnostics): the fontconfig
// family asked for.
std::string deviceFamilyFor(const std::string& name);

} // namespace swivio::swf::text
