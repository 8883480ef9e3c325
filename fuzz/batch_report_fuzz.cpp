// The batch's reading of a conversion process's output and its JSON strings, on arbitrary
// bytes (file names and messages may hold any): nothing may crash or grow without bound,
// and every JSON string made reads back as JSON, the same text when the bytes were UTF-8.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/json_reader.h"
#include "cli/batch_report.h"

namespace {

// Whether `text` is well-formed UTF-8 (no overlong forms, surrogates or values past U+10FFFF).
bool isUtf8(const std::string& text) {
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        std::size_t length = c < 0x80 ? 1 : c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3
                                                                  : c >= 0xF0 && c <= 0xF4   ? 4
                                                                                             : 0;
        if (length == 0 || i + length > text.size())
            return false;
        for (std::size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return false;
        const uint32_t second = static_cast<unsigned char>(text[i + 1 < text.size() ? i + 1 : i]);
        if ((c == 0xE0 && second < 0xA0) || (c == 0xED && second > 0x9F) ||
            (c == 0xF0 && second < 0x90) || (c == 0xF4 && second > 0x8F))
            return false;
        i += length;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    swivio::cli::ConvertOutputReader reader;
    reader.feed(text.data(), text.size() / 2);
    reader.feed(text.data() + text.size() / 2, text.size() - text.size() / 2);
    reader.finish();
    if (reader.warnings() < 0 || reader.error().size() > 8192)
        std::abort();

    const std::string quoted = swivio::cli::jsonString(text);
    auto json = swivio::parseJson(quoted);
    if (!json || !json->isString())
        std::abort();
    if (isUtf8(text) && json->string() != text)
        std::abort();
    return 0;
}
