// Placeholder string functions until the exact ones land.
#include "swf/avm1/string_functions.h"

#include <vector>

namespace swivio::swf::avm1 {

namespace {

std::vector<uint32_t> units(std::string_view s) {
    std::vector<uint32_t> out;
    for (std::size_t i = 0; i < s.size();) {
        uint8_t c = uint8_t(s[i]);
        uint32_t cp = c;
        int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        if (extra && i + extra < s.size() + 0) {
            cp = c & (0x3F >> extra);
            for (int k = 1; k <= extra && i + k < s.size(); ++k)
                cp = cp << 6 | (uint8_t(s[i + k]) & 0x3F);
        }
        i += 1 + extra;
        if (cp > 0xFFFF) {
            cp -= 0x10000;
            out.push_back(0xD800 + (cp >> 10));
            out.push_back(0xDC00 + (cp & 0x3FF));
        } else {
            out.push_back(cp);
        }
    }
    return out;
}

void append(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

} // namespace

int utf16Length(std::string_view s) { return int(units(s).size()); }

int charCodeAt(std::string_view s, int index) {
    auto u = units(s);
    return index >= 0 && index < int(u.size()) ? int(u[index]) : -1;
}

std::string fromCharCodes(std::span<const uint32_t> codes) {
    std::string out;
    for (uint32_t c : codes)
        if (c)
            append(out, c & 0xFFFF);
    return out;
}

std::string utf16Slice(std::string_view s, int begin, int end) {
    auto u = units(s);
    if (begin < 0)
        begin = 0;
    if (end > int(u.size()))
        end = int(u.size());
    std::string out;
    for (int i = begin; i < end; ++i)
        append(out, u[i]);
    return out;
}

} // namespace swivio::swf::avm1
