#include "swf/avm1/string_functions.h"

#include "swf/avm1/number_conversion.h"

#include <algorithm>
#include <cmath>

namespace swivio::swf::avm1 {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool isAscii(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return (uint8_t(c) & 0x80) == 0; });
}

// Reads one character at pos and moves past it. An invalid sequence gives U+FFFD and moves
// past its longest valid-looking start only, so the byte that broke it is read again.
char32_t decodeAt(std::string_view s, std::size_t& pos) {
    const uint8_t lead = uint8_t(s[pos++]);
    if (lead < 0x80)
        return lead;
    int need = 0;
    char32_t cp = 0;
    uint8_t low = 0x80;
    uint8_t high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        need = 1;
        cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        need = 2;
        cp = lead & 0x0F;
        low = lead == 0xE0 ? 0xA0 : 0x80;  // overlong
        high = lead == 0xED ? 0x9F : 0xBF; // encoded surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        need = 3;
        cp = lead & 0x07;
        low = lead == 0xF0 ? 0x90 : 0x80;  // overlong
        high = lead == 0xF4 ? 0x8F : 0xBF; // past U+10FFFF
    } else {
        return kReplacement;
    }
    for (int i = 0; i < need; ++i) {
        if (pos >= s.size())
            return kReplacement;
        const uint8_t b = uint8_t(s[pos]);
        if (b < low || b > high)
            return kReplacement;
        low = 0x80;
        high = 0xBF;
        cp = (cp << 6) | (b & 0x3F);
        ++pos;
    }
    return cp;
}

void appendUtf8(std::string& out, char32_t cp) {
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

std::u16string toUtf16(std::string_view s) {
    std::u16string units;
    units.reserve(s.size());
    for (std::size_t pos = 0; pos < s.size();) {
        const char32_t cp = decodeAt(s, pos);
        if (cp < 0x10000) {
            units += char16_t(cp);
        } else {
            units += char16_t(0xD800 + ((cp - 0x10000) >> 10));
            units += char16_t(0xDC00 + ((cp - 0x10000) & 0x3FF));
        }
    }
    return units;
}

bool isHighSurrogate(char32_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}
bool isLowSurrogate(char32_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}

// UTF-8 cannot hold a lone surrogate; it becomes U+FFFD, still one code unit.
std::string toUtf8(std::u16string_view units) {
    std::string out;
    out.reserve(units.size());
    for (std::size_t i = 0; i < units.size(); ++i) {
        const char16_t u = units[i];
        if (isHighSurrogate(u) && i + 1 < units.size() && isLowSurrogate(units[i + 1])) {
            appendUtf8(out, 0x10000 + ((char32_t(u) - 0xD800) << 10) + (units[i + 1] - 0xDC00));
            ++i;
        } else if (isHighSurrogate(u) || isLowSurrogate(u)) {
            appendUtf8(out, kReplacement);
        } else {
            appendUtf8(out, u);
        }
    }
    return out;
}

// ASCII is already one byte per code unit, so it is worked on in place.
std::string toUtf8(std::string_view ascii) {
    return std::string(ascii);
}

// Runs f on the string's code units: its own bytes when it is ASCII, UTF-16 otherwise.
template <typename F> auto withUnits(std::string_view s, F&& f) {
    if (isAscii(s))
        return f(s);
    const std::u16string units = toUtf16(s);
    return f(std::u16string_view(units));
}

template <typename F> auto withUnits(std::string_view a, std::string_view b, F&& f) {
    if (isAscii(a) && isAscii(b))
        return f(a, b);
    const std::u16string unitsA = toUtf16(a);
    const std::u16string unitsB = toUtf16(b);
    return f(std::u16string_view(unitsA), std::u16string_view(unitsB));
}

int clampIndex(int64_t index, int length) {
    return int(std::clamp<int64_t>(index, 0, length));
}

// slice and substr count a negative position back from the end.
int wrapIndex(int64_t index, int length) {
    return index < 0 ? int(std::max<int64_t>(length + index, 0))
                     : int(std::min<int64_t>(index, length));
}

// The player's own case mapping, one code unit to one, as runs: every step-th code point from
// first to last maps to itself + delta. It is an old Unicode's simple mapping with the player's
// quirks kept, since movies depend on them: µ and ß stay as they are, ς capitalizes to U+03A2,
// ϲ to Σ, İ lowers to i, Georgian capitals lower to U+10D0.., and letters Unicode added later
// (ƀ, ȼ, Ϸ, Ԁ, ⰰ and the like) do not change.
struct CaseRange {
    uint16_t first;
    uint16_t last;
    int32_t delta;
    uint8_t step;
};

// clang-format off
constexpr CaseRange kUpperRanges[] = {
    {0x00E0, 0x00F6, -32, 1}, {0x00F8, 0x00FE, -32, 1}, {0x00FF, 0x00FF, 121, 1},
    {0x0101, 0x012F, -1, 2}, {0x0131, 0x0131, -232, 1}, {0x0133, 0x0137, -1, 2},
    {0x013A, 0x0148, -1, 2}, {0x014B, 0x0177, -1, 2}, {0x017A, 0x017E, -1, 2},
    {0x017F, 0x017F, -300, 1}, {0x0183, 0x0185, -1, 2}, {0x0188, 0x0188, -1, 1},
    {0x018C, 0x018C, -1, 1}, {0x0192, 0x0192, -1, 1}, {0x0195, 0x0195, 97, 1},
    {0x0199, 0x0199, -1, 1}, {0x01A1, 0x01A5, -1, 2}, {0x01A8, 0x01A8, -1, 1},
    {0x01AD, 0x01AD, -1, 1}, {0x01B0, 0x01B0, -1, 1}, {0x01B4, 0x01B6, -1, 2},
    {0x01B9, 0x01B9, -1, 1}, {0x01BD, 0x01BD, -1, 1}, {0x01BF, 0x01BF, 56, 1},
    {0x01C5, 0x01C5, -1, 1}, {0x01C6, 0x01C6, -2, 1}, {0x01C8, 0x01C8, -1, 1},
    {0x01C9, 0x01C9, -2, 1}, {0x01CB, 0x01CB, -1, 1}, {0x01CC, 0x01CC, -2, 1},
    {0x01CE, 0x01DC, -1, 2}, {0x01DD, 0x01DD, -79, 1}, {0x01DF, 0x01EF, -1, 2},
    {0x01F2, 0x01F2, -1, 1}, {0x01F3, 0x01F3, -2, 1}, {0x01F5, 0x01F5, -1, 1},
    {0x01F9, 0x021F, -1, 2}, {0x0223, 0x0233, -1, 2}, {0x0253, 0x0253, -210, 1},
    {0x0254, 0x0254, -206, 1}, {0x0256, 0x0257, -205, 1}, {0x0259, 0x0259, -202, 1},
    {0x025B, 0x025B, -203, 1}, {0x0260, 0x0260, -205, 1}, {0x0263, 0x0263, -207, 1},
    {0x0268, 0x0268, -209, 1}, {0x0269, 0x0269, -211, 1}, {0x026F, 0x026F, -211, 1},
    {0x0272, 0x0272, -213, 1}, {0x0275, 0x0275, -214, 1}, {0x0280, 0x0280, -218, 1},
    {0x0283, 0x0283, -218, 1}, {0x0288, 0x0288, -218, 1}, {0x028A, 0x028B, -217, 1},
    {0x0292, 0x0292, -219, 1}, {0x0345, 0x0345, 84, 1}, {0x03AC, 0x03AC, -38, 1},
    {0x03AD, 0x03AF, -37, 1}, {0x03B1, 0x03CB, -32, 1}, {0x03CC, 0x03CC, -64, 1},
    {0x03CD, 0x03CE, -63, 1}, {0x03D0, 0x03D0, -62, 1}, {0x03D1, 0x03D1, -57, 1},
    {0x03D5, 0x03D5, -47, 1}, {0x03D6, 0x03D6, -54, 1}, {0x03D9, 0x03EF, -1, 2},
    {0x03F0, 0x03F0, -86, 1}, {0x03F1, 0x03F1, -80, 1}, {0x03F2, 0x03F2, -79, 1},
    {0x03F5, 0x03F5, -96, 1}, {0x0430, 0x044F, -32, 1}, {0x0450, 0x045F, -80, 1},
    {0x0461, 0x0481, -1, 2}, {0x048B, 0x04BF, -1, 2}, {0x04C2, 0x04C4, -1, 2},
    {0x04C8, 0x04C8, -1, 1}, {0x04CC, 0x04CC, -1, 1}, {0x04D1, 0x04F9, -1, 2},
    {0x0561, 0x0586, -48, 1}, {0x1E01, 0x1E95, -1, 2}, {0x1E9B, 0x1E9B, -59, 1},
    {0x1EA1, 0x1EF9, -1, 2}, {0x1F00, 0x1F07, 8, 1}, {0x1F10, 0x1F15, 8, 1}, {0x1F20, 0x1F27, 8, 1},
    {0x1F30, 0x1F37, 8, 1}, {0x1F40, 0x1F45, 8, 1}, {0x1F51, 0x1F57, 8, 2}, {0x1F60, 0x1F67, 8, 1},
    {0x1F70, 0x1F71, 74, 1}, {0x1F72, 0x1F75, 86, 1}, {0x1F76, 0x1F77, 100, 1},
    {0x1F78, 0x1F79, 128, 1}, {0x1F7A, 0x1F7B, 112, 1}, {0x1F7C, 0x1F7D, 126, 1},
    {0x1F80, 0x1F87, 8, 1}, {0x1F90, 0x1F97, 8, 1}, {0x1FA0, 0x1FA7, 8, 1}, {0x1FB0, 0x1FB1, 8, 1},
    {0x1FB3, 0x1FB3, 9, 1}, {0x1FBE, 0x1FBE, -7205, 1}, {0x1FC3, 0x1FC3, 9, 1},
    {0x1FD0, 0x1FD1, 8, 1}, {0x1FE0, 0x1FE1, 8, 1}, {0x1FE5, 0x1FE5, 7, 1}, {0x1FF3, 0x1FF3, 9, 1},
    {0x2170, 0x217F, -16, 1}, {0x24D0, 0x24E9, -26, 1}, {0xFF41, 0xFF5A, -32, 1},
};
constexpr CaseRange kLowerRanges[] = {
    {0x00C0, 0x00D6, 32, 1}, {0x00D8, 0x00DE, 32, 1}, {0x0100, 0x012E, 1, 2},
    {0x0130, 0x0130, -199, 1}, {0x0132, 0x0136, 1, 2}, {0x0139, 0x0147, 1, 2},
    {0x014A, 0x0176, 1, 2}, {0x0178, 0x0178, -121, 1}, {0x0179, 0x017D, 1, 2},
    {0x0181, 0x0181, 210, 1}, {0x0182, 0x0184, 1, 2}, {0x0186, 0x0186, 206, 1},
    {0x0187, 0x0187, 1, 1}, {0x0189, 0x018A, 205, 1}, {0x018B, 0x018B, 1, 1},
    {0x018E, 0x018E, 79, 1}, {0x018F, 0x018F, 202, 1}, {0x0190, 0x0190, 203, 1},
    {0x0191, 0x0191, 1, 1}, {0x0193, 0x0193, 205, 1}, {0x0194, 0x0194, 207, 1},
    {0x0196, 0x0196, 211, 1}, {0x0197, 0x0197, 209, 1}, {0x0198, 0x0198, 1, 1},
    {0x019C, 0x019C, 211, 1}, {0x019D, 0x019D, 213, 1}, {0x019F, 0x019F, 214, 1},
    {0x01A0, 0x01A4, 1, 2}, {0x01A6, 0x01A6, 218, 1}, {0x01A7, 0x01A7, 1, 1},
    {0x01A9, 0x01A9, 218, 1}, {0x01AC, 0x01AC, 1, 1}, {0x01AE, 0x01AE, 218, 1},
    {0x01AF, 0x01AF, 1, 1}, {0x01B1, 0x01B2, 217, 1}, {0x01B3, 0x01B5, 1, 2},
    {0x01B7, 0x01B7, 219, 1}, {0x01B8, 0x01B8, 1, 1}, {0x01BC, 0x01BC, 1, 1},
    {0x01C4, 0x01C4, 2, 1}, {0x01C5, 0x01C5, 1, 1}, {0x01C7, 0x01C7, 2, 1}, {0x01C8, 0x01C8, 1, 1},
    {0x01CA, 0x01CA, 2, 1}, {0x01CB, 0x01DB, 1, 2}, {0x01DE, 0x01EE, 1, 2}, {0x01F1, 0x01F1, 2, 1},
    {0x01F2, 0x01F4, 1, 2}, {0x01F6, 0x01F6, -97, 1}, {0x01F7, 0x01F7, -56, 1},
    {0x01F8, 0x021E, 1, 2}, {0x0222, 0x0232, 1, 2}, {0x0386, 0x0386, 38, 1},
    {0x0388, 0x038A, 37, 1}, {0x038C, 0x038C, 64, 1}, {0x038E, 0x038F, 63, 1},
    {0x0391, 0x03AB, 32, 1}, {0x03D8, 0x03EE, 1, 2}, {0x03F4, 0x03F4, -60, 1},
    {0x0400, 0x040F, 80, 1}, {0x0410, 0x042F, 32, 1}, {0x0460, 0x0480, 1, 2},
    {0x048A, 0x04BE, 1, 2}, {0x04C1, 0x04C3, 1, 2}, {0x04C7, 0x04C7, 1, 1}, {0x04CB, 0x04CB, 1, 1},
    {0x04D0, 0x04F8, 1, 2}, {0x0531, 0x0556, 48, 1}, {0x10A0, 0x10C5, 48, 1},
    {0x1E00, 0x1E94, 1, 2}, {0x1EA0, 0x1EF8, 1, 2}, {0x1F08, 0x1F0F, -8, 1},
    {0x1F18, 0x1F1D, -8, 1}, {0x1F28, 0x1F2F, -8, 1}, {0x1F38, 0x1F3F, -8, 1},
    {0x1F48, 0x1F4D, -8, 1}, {0x1F59, 0x1F5F, -8, 2}, {0x1F68, 0x1F6F, -8, 1},
    {0x1F88, 0x1F8F, -8, 1}, {0x1F98, 0x1F9F, -8, 1}, {0x1FA8, 0x1FAF, -8, 1},
    {0x1FB8, 0x1FB9, -8, 1}, {0x1FBA, 0x1FBB, -74, 1}, {0x1FBC, 0x1FBC, -9, 1},
    {0x1FC8, 0x1FCB, -86, 1}, {0x1FCC, 0x1FCC, -9, 1}, {0x1FD8, 0x1FD9, -8, 1},
    {0x1FDA, 0x1FDB, -100, 1}, {0x1FE8, 0x1FE9, -8, 1}, {0x1FEA, 0x1FEB, -112, 1},
    {0x1FEC, 0x1FEC, -7, 1}, {0x1FF8, 0x1FF9, -128, 1}, {0x1FFA, 0x1FFB, -126, 1},
    {0x1FFC, 0x1FFC, -9, 1}, {0x2126, 0x2126, -7517, 1}, {0x212A, 0x212A, -8383, 1},
    {0x212B, 0x212B, -8262, 1}, {0x2160, 0x216F, 16, 1}, {0x24B6, 0x24CF, 26, 1},
    {0xFF21, 0xFF3A, 32, 1},
};
// clang-format on

template <std::size_t N> char32_t mapCase(const CaseRange (&ranges)[N], char32_t cp) {
    if (cp > 0xFFFF)
        return cp;
    const auto* it = std::upper_bound(std::begin(ranges), std::end(ranges), cp,
                                      [](char32_t c, const CaseRange& r) { return c < r.first; });
    if (it == std::begin(ranges))
        return cp;
    const CaseRange& range = *(it - 1);
    if (cp > range.last || (cp - range.first) % range.step != 0)
        return cp;
    return char32_t(int32_t(cp) + range.delta);
}

template <std::size_t N>
std::string convertCase(std::string_view s, const CaseRange (&ranges)[N], char asciiFirst,
                        char asciiLast, int asciiDelta) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t pos = 0; pos < s.size();) {
        const char c = s[pos];
        if ((uint8_t(c) & 0x80) == 0) {
            out += c >= asciiFirst && c <= asciiLast ? char(c + asciiDelta) : c;
            ++pos;
            continue;
        }
        appendUtf8(out, mapCase(ranges, decodeAt(s, pos)));
    }
    return out;
}

template <typename Units> int findFrom(Units s, Units search, int from) {
    const std::size_t found = s.find(search, std::size_t(from));
    return found == Units::npos ? -1 : int(found);
}

template <typename Units>
std::vector<std::string> splitUnits(Units s, Units delimiter, std::size_t limit) {
    std::vector<std::string> parts;
    if (delimiter.empty()) {
        for (std::size_t i = 0; i < s.size() && parts.size() < limit; ++i)
            parts.push_back(toUtf8(s.substr(i, 1)));
        return parts;
    }
    std::size_t start = 0;
    while (parts.size() < limit) {
        const std::size_t found = s.find(delimiter, start);
        if (found == Units::npos) {
            parts.push_back(toUtf8(s.substr(start)));
            break;
        }
        parts.push_back(toUtf8(s.substr(start, found - start)));
        start = found + delimiter.size();
    }
    return parts;
}

int hexValue(char32_t c) {
    if (c >= '0' && c <= '9')
        return int(c - '0');
    if (c >= 'a' && c <= 'f')
        return int(c - 'a' + 10);
    if (c >= 'A' && c <= 'F')
        return int(c - 'A' + 10);
    return -1;
}

// What Windows-1252 puts at 0x80..0x9F; the five holes keep their C1 control.
constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// The Windows-1252 bytes of a string, as SWF 5 movies hold it; a character the code page lacks
// becomes '?', as the system's conversion makes it.
std::string encodeLegacy(std::string_view s) {
    std::string bytes;
    bytes.reserve(s.size());
    for (std::size_t pos = 0; pos < s.size();) {
        const char32_t cp = decodeAt(s, pos);
        if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
            bytes += char(cp);
            continue;
        }
        const auto* found = std::find(std::begin(kWindows1252High), std::end(kWindows1252High), cp);
        bytes += found == std::end(kWindows1252High)
                     ? '?'
                     : char(0x80 + (found - std::begin(kWindows1252High)));
    }
    return bytes;
}

} // namespace


int utf16Length(std::string_view s) {
    std::size_t units = 0;
    for (std::size_t pos = 0; pos < s.size();) {
        if ((uint8_t(s[pos]) & 0x80) == 0) {
            ++pos;
            ++units;
        } else {
            units += decodeAt(s, pos) > 0xFFFF ? 2 : 1;
        }
    }
    return int(std::min<std::size_t>(units, INT32_MAX));
}

int charCodeAt(std::string_view s, double index, int swfVersion) {
    const int32_t i = toInt32(index);
    return withUnits(s, [&](auto units) {
        if (i < 0)
            return -1;
        if (std::size_t(i) >= units.size())
            return swfVersion <= 5 ? 0 : -1;
        return int(std::make_unsigned_t<typename decltype(units)::value_type>(units[i]));
    });
}

std::string charAt(std::string_view s, double index) {
    const int32_t i = toInt32(index);
    return withUnits(s, [&](auto units) {
        if (i < 0 || std::size_t(i) >= units.size())
            return std::string();
        return toUtf8(units.substr(std::size_t(i), 1));
    });
}

std::string fromCharCodes(std::span<const uint32_t> codes) {
    std::u16string units;
    units.reserve(codes.size());
    for (uint32_t code : codes) {
        const char16_t unit = char16_t(code & 0xFFFF);
        // The player's strings end at a NUL.
        if (unit == 0)
            break;
        units += unit;
    }
    return toUtf8(std::u16string_view(units));
}

int indexOf(std::string_view s, std::string_view search, std::optional<double> from) {
    const int32_t start = std::max<int32_t>(from ? toInt32(*from) : 0, 0);
    return withUnits(s, search, [&](auto units, auto pattern) {
        if (std::size_t(start) > units.size())
            return -1;
        return findFrom(units, pattern, start);
    });
}

int lastIndexOf(std::string_view s, std::string_view search, std::optional<double> from) {
    const int32_t start = from ? toInt32(*from) : INT32_MAX;
    if (start < 0)
        return -1;
    return withUnits(s, search, [&](auto units, auto pattern) {
        const std::size_t found = units.rfind(pattern, std::size_t(start));
        return found == decltype(units)::npos ? -1 : int(found);
    });
}

std::string substr(std::string_view s, double start, std::optional<double> length) {
    return withUnits(s, [&](auto units) {
        const int size = int(units.size());
        const int first = wrapIndex(toInt32(start), size);
        const int64_t count = length ? toInt32(*length) : size;
        const int last = wrapIndex(first + count, size);
        return first < last ? toUtf8(units.substr(first, last - first)) : std::string();
    });
}

std::string substring(std::string_view s, double start, std::optional<double> end) {
    return withUnits(s, [&](auto units) {
        const int size = int(units.size());
        int first = clampIndex(toInt32(start), size);
        int last = end ? clampIndex(toInt32(*end), size) : size;
        if (last < first)
            std::swap(first, last);
        return toUtf8(units.substr(first, last - first));
    });
}

std::string slice(std::string_view s, double start, std::optional<double> end) {
    return withUnits(s, [&](auto units) {
        const int size = int(units.size());
        const int first = wrapIndex(toInt32(start), size);
        const int last = end ? wrapIndex(toInt32(*end), size) : size;
        return first < last ? toUtf8(units.substr(first, last - first)) : std::string();
    });
}

std::vector<std::string> split(std::string_view s, std::optional<std::string_view> delimiter,
                               std::optional<double> limit, int swfVersion) {
    const std::size_t count =
        limit ? std::size_t(std::max<int32_t>(toInt32(*limit), 0)) : std::size_t(-1);
    if (swfVersion <= 5) {
        const std::string_view separator = delimiter.value_or(",");
        if (separator.empty())
            return {sanitizeUtf8(s)};
        if (count == 0)
            return {};
        if (utf16Length(separator) > 1)
            return {sanitizeUtf8(s)};
    } else {
        if (!delimiter)
            return {sanitizeUtf8(s)};
        if (s.empty() && !delimiter->empty())
            return {std::string()};
    }
    return withUnits(s, delimiter.value_or(","), [&](auto units, auto separator) {
        return splitUnits(units, separator, count);
    });
}

std::string toUpperCase(std::string_view s) {
    return convertCase(s, kUpperRanges, 'a', 'z', -32);
}

std::string toLowerCase(std::string_view s) {
    return convertCase(s, kLowerRanges, 'A', 'Z', 32);
}

int compareStrings(std::string_view a, std::string_view b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if ((uint8_t(a[i]) & 0x80) == 0 && a[i] == b[j]) {
            ++i;
            ++j;
            continue;
        }
        const char32_t x = decodeAt(a, i);
        const char32_t y = decodeAt(b, j);
        if (x != y)
            return x < y ? -1 : 1;
    }
    if (i < a.size())
        return 1;
    return j < b.size() ? -1 : 0;
}

std::string escape(std::string_view s, int swfVersion) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    const std::string bytes = swfVersion <= 5 ? encodeLegacy(s) : sanitizeUtf8(s);
    std::string out;
    out.reserve(bytes.size());
    for (char c : bytes) {
        const uint8_t b = uint8_t(c);
        if ((b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z')) {
            out += c;
        } else {
            out += '%';
            out += kHex[b >> 4];
            out += kHex[b & 0xF];
        }
    }
    return out;
}

std::string unescape(std::string_view s, int swfVersion) {
    // SWF 5 works on code page bytes, one byte a character.
    const bool legacy = swfVersion <= 5;
    const std::string legacyBytes = legacy ? encodeLegacy(s) : std::string();
    if (legacy)
        s = legacyBytes;
    std::string bytes;
    bytes.reserve(s.size());
    bool pending = false; // a '%' was read
    int digits = 0;
    int value = 0;
    for (std::size_t pos = 0; pos < s.size();) {
        const std::size_t at = pos;
        const char32_t c = legacy ? uint8_t(s[pos++]) : decodeAt(s, pos);
        if (c == '%') {
            pending = true;
            digits = 0;
            value = 0;
        } else if (pending) {
            const int digit = hexValue(c);
            if (digit < 0) {
                // The broken escape and the character that broke it are dropped.
                pending = false;
            } else {
                value = value * 16 + digit;
                if (++digits == 2) {
                    bytes += char(value);
                    pending = false;
                }
            }
        } else if (c == '+') {
            bytes += ' ';
        } else {
            bytes.append(s.substr(at, pos - at));
        }
    }
    return legacy ? decodeLegacyString(bytes) : sanitizeUtf8(bytes);
}

std::string decodeLegacyString(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (char c : bytes) {
        const uint8_t b = uint8_t(c);
        if (b < 0x80)
            out += c;
        else
            appendUtf8(out, b < 0xA0 ? kWindows1252High[b - 0x80] : b);
    }
    return out;
}

std::string sanitizeUtf8(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t pos = 0; pos < s.size();) {
        const std::size_t at = pos;
        // A valid sequence is copied as it is; an invalid one decodes to U+FFFD.
        if (decodeAt(s, pos) == kReplacement)
            appendUtf8(out, kReplacement);
        else
            out.append(s.substr(at, pos - at));
    }
    return out;
}

} // namespace swivio::swf::avm1
