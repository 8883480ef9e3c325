// TextField.restrict over arbitrary bytes: the first four bytes give a character, the rest is
// the restrict text. Any text must be read without fault; a text without '^', '\\' or '-'
// names exactly the characters it allows.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "swf/avm1/keyboard.h"
#include "swf/text/formatted_text.h"

namespace {

void require(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4)
        return 0;
    const char32_t c = char32_t(data[0] | data[1] << 8 | data[2] << 16 | (data[3] & 0x1F) << 24);
    const std::string_view restrict(reinterpret_cast<const char*>(data + 4), size - 4);
    const bool allowed = swivio::swf::avm1::restrictAllows(restrict, c);
    if (restrict.find_first_of("^\\-") != std::string_view::npos)
        return 0;
    // Plain text: the character is allowed exactly when the text holds it.
    const std::u16string units = swivio::swf::text::toUtf16(restrict);
    bool listed = false;
    for (std::size_t i = 0; i < units.size(); ++i) {
        char32_t unit = units[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] <= 0xDFFF) {
            unit = 0x10000 + ((unit - 0xD800) << 10) + (units[i + 1] - 0xDC00);
            ++i;
        }
        listed = listed || unit == c;
    }
    if (restrict == swivio::swf::text::toUtf8(units))
        require(allowed == listed);
    return 0;
}
