#include "cli/arguments.h"

#include <cctype>
#include <charconv>
#include <cstdlib>

namespace swivio::cli {

std::optional<int> parseInteger(const std::string& text, int low, int high) {
    int v = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, v);
    if (text.empty() || ec != std::errc() || ptr != end || v < low || v > high)
        return std::nullopt;
    return v;
}

std::optional<std::array<int, 2>> parseSize(const std::string& text) {
    const auto x = text.find_first_of("xX");
    if (x == std::string::npos)
        return std::nullopt;
    auto w = parseInteger(text.substr(0, x), 1, 8192);
    auto h = parseInteger(text.substr(x + 1), 1, 8192);
    if (!w || !h)
        return std::nullopt;
    return std::array<int, 2>{*w, *h};
}

std::optional<std::array<int, 4>> parseRect(const std::string& text) {
    std::array<int, 4> out{};
    std::size_t start = 0;
    for (int i = 0; i < 4; ++i) {
        const std::size_t comma = text.find(',', start);
        if ((i < 3) != (comma != std::string::npos))
            return std::nullopt;
        auto v = parseInteger(text.substr(start, i < 3 ? comma - start : std::string::npos),
                              INT32_MIN, INT32_MAX);
        if (!v)
            return std::nullopt;
        out[std::size_t(i)] = *v;
        start = comma + 1;
    }
    return out;
}

std::optional<uint32_t> parseColor(std::string text) {
    if (!text.empty() && text[0] == '#')
        text.erase(0, 1);
    if (text.size() != 6 || text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        return std::nullopt;
    const uint32_t rgb = uint32_t(std::strtoul(text.c_str(), nullptr, 16));
    return ((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16);
}

std::optional<int> parseName(const std::string& text, std::span<const char* const> names) {
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string name = names[i];
        bool same = name.size() == text.size();
        for (std::size_t c = 0; same && c < name.size(); ++c)
            same = std::tolower(static_cast<unsigned char>(text[c])) ==
                   (name[c] == ' ' ? '-' : std::tolower(static_cast<unsigned char>(name[c])));
        if (same)
            return int(i);
    }
    return std::nullopt;
}

} // namespace swivio::cli
