// Every ActionScript string function over arbitrary bytes and arbitrary positions. The first
// 16 bytes give two positions (as doubles, so NaN, infinities and huge values occur); the rest,
// cut at its first 0xFE byte, is the string and the search text. Each result must be valid
// UTF-8 within the bounds its function promises.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "swf/avm1/string_functions.h"

namespace {

using namespace swivio::swf::avm1;

void require(bool condition) {
    if (!condition)
        std::abort();
}

bool isValidUtf8(std::string_view s) {
    return sanitizeUtf8(s) == s;
}

int sign(int value) {
    return (value > 0) - (value < 0);
}

double positionFrom(const uint8_t* data) {
    double value;
    std::memcpy(&value, data, sizeof value);
    // Small positions are the interesting ones; let a byte pick them often.
    if (data[7] < 0xC0)
        return double(int8_t(data[0]));
    return value;
}

void checkCut(const std::string& result, int length) {
    require(isValidUtf8(result));
    require(utf16Length(result) <= length);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < 16)
        return 0;
    const double first = positionFrom(data);
    const double second = positionFrom(data + 8);
    const std::string_view rest(reinterpret_cast<const char*>(data + 16), size - 16);
    const std::size_t cut = rest.find('\xFE');
    const std::string_view s = rest.substr(0, cut);
    const std::string_view search =
        cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 1);

    const std::string clean = sanitizeUtf8(s);
    require(isValidUtf8(clean));
    const int length = utf16Length(s);
    require(length == utf16Length(clean));

    const int code = charCodeAt(s, first);
    require(code >= -1 && code <= 0xFFFF);
    const std::string character = charAt(s, first);
    require(isValidUtf8(character) && utf16Length(character) == (code >= 0 ? 1 : 0));

    const std::string cleanSearch = sanitizeUtf8(search);
    const int searchLength = utf16Length(search);
    for (int found : {indexOf(s, search, first), lastIndexOf(s, search, first), indexOf(s, search),
                      lastIndexOf(s, search)}) {
        require(found == -1 || (found >= 0 && found + searchLength <= length));
        if (found >= 0)
            require(substring(s, found, found + searchLength) == cleanSearch);
    }

    checkCut(substr(s, first, second), length);
    checkCut(substr(s, first), length);
    checkCut(substring(s, first, second), length);
    checkCut(slice(s, first, second), length);
    require(utf16Length(slice(s, 0, first)) + utf16Length(slice(s, first)) == length);

    for (int version : {5, 6}) {
        const std::vector<std::string> parts = split(s, search, second, version);
        const std::vector<std::string> whole = split(s, search, std::nullopt, version);
        require(parts.size() <= whole.size());
        int total = 0;
        for (const std::string& part : whole) {
            require(isValidUtf8(part));
            total += utf16Length(part);
        }
        require(total <= length);
        if (version == 6 && !cleanSearch.empty()) {
            std::string joined;
            for (std::size_t i = 0; i < whole.size(); ++i)
                joined += (i ? cleanSearch : std::string()) + whole[i];
            require(joined == clean);
        }
    }

    for (const std::string& changed : {toUpperCase(s), toLowerCase(s)})
        require(isValidUtf8(changed) && utf16Length(changed) == length);

    require(compareStrings(s, s) == 0);
    require(sign(compareStrings(s, search)) == -sign(compareStrings(search, s)));

    const std::string escaped = escape(s);
    require(isValidUtf8(escaped));
    require(unescape(escaped) == clean);
    require(isValidUtf8(unescape(s)));

    const std::string legacy = decodeLegacyString(s);
    require(isValidUtf8(legacy) && utf16Length(legacy) == int(s.size()));
    require(unescape(escape(legacy, 5), 5) == legacy);
    require(isValidUtf8(escape(s, 5)) && isValidUtf8(unescape(s, 5)));

    std::vector<uint32_t> codes;
    for (std::size_t i = 0; i + 1 < s.size(); i += 2)
        codes.push_back(uint32_t(uint8_t(s[i])) << 8 | uint8_t(s[i + 1]));
    const std::string fromCodes = fromCharCodes(codes);
    require(isValidUtf8(fromCodes) && utf16Length(fromCodes) <= int(codes.size()));
    return 0;
}
