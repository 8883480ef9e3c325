// Arbitrary bytes as the body of a morph shape, font or text tag; the first byte chooses
// which. Parsed models are then used the way the player uses them.
#include <cstddef>
#include <cstdint>

#include "base/byte_reader.h"
#include "swf/format/font.h"
#include "swf/format/morph_shape.h"
#include "swf/format/text.h"

namespace {

using namespace swivio::swf;

// A font of two empty glyphs under every id, so layout reaches its arithmetic.
class AnyFont : public FontLookup {
public:
    AnyFont() { m_font.glyphs.resize(2); }
    const Font* font(uint16_t id) const override { return id % 2 ? &m_font : nullptr; }

private:
    Font m_font;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static constexpr uint16_t kTags[] = {46, 84, 10, 48, 75, 11, 33};
    if (size < 1)
        return 0;
    const uint16_t tag = kTags[data[0] % 7];
    swivio::ByteReader body(data + 1, size - 1);
    switch (tag) {
    case 46:
    case 84:
        if (auto morph = parseDefineMorphShape(tag, body)) {
            for (double ratio : {0.0, 0.5, 1.0}) {
                const Shape shape = interpolate(*morph, ratio);
                if (shape.groups.size() != 1 ||
                    shape.groups[0].edges.size() != morph->startEdges.size())
                    __builtin_trap();
            }
        }
        break;
    case 10:
    case 48:
    case 75:
        if (auto font = parseDefineFont(tag, body)) {
            for (std::size_t i = 0; i < font->glyphs.size(); ++i)
                (void)glyphShape(*font, i, Rgba{});
        }
        break;
    default:
        if (auto text = parseDefineText(tag, body))
            (void)layoutText(*text, AnyFont());
        break;
    }
    return 0;
}
