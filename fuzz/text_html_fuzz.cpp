// Reads arbitrary bytes as a field's htmlText (the first byte picks multiline and
// condenseWhite), writes the result back and reads that again, and lays the text out in a
// narrow wrapping field. No input may crash, hang or exhaust memory.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "swf/text/html_text.h"
#include "swf/text/text_layout.h"

namespace {

using namespace swivio::swf::text;

// Fixed advances, so layout runs without the machine's fonts.
class FixedFont final : public GlyphFont {
public:
    double ascent() const override { return 800; }
    double descent() const override { return 200; }
    double leading() const override { return 0; }
    bool hasGlyph(char16_t) const override { return true; }
    double advance(char16_t c) const override { return c % 7 * 100; }
    double kerning(char16_t, char16_t) const override { return 0; }
    std::shared_ptr<const swivio::swf::Shape> outline(char16_t) const override { return nullptr; }
};

class FixedFonts final : public FontResolver {
public:
    std::shared_ptr<const GlyphFont> resolve(const TextFormat&) override { return m_font; }

private:
    std::shared_ptr<const GlyphFont> m_font = std::make_shared<FixedFont>();
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    HtmlReadOptions options;
    options.multiline = data[0] & 1;
    options.condenseWhite = data[0] & 2;
    const std::string_view html(reinterpret_cast<const char*>(data + 1), size - 1);
    const TextFormat base = TextFormat::defaults("_sans", 12);
    const FormattedText text = readHtml(html, base, options);
    const std::string written = writeHtml(text);
    (void)readHtml(written, base, options);
    FixedFonts fonts;
    LayoutOptions layout;
    layout.width = 30;
    layout.wordWrap = true;
    (void)layoutText(text, layout, fonts);
    return 0;
}
