// Placeholder conversions until the exact ones land.
#include "swf/avm1/number_conversion.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace swivio::swf::avm1 {

std::string numberToString(double v) {
    if (std::isnan(v))
        return "NaN";
    if (std::isinf(v))
        return v > 0 ? "Infinity" : "-Infinity";
    if (v == 0)
        return "0";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", v);
    return buf;
}

std::string numberToStringRadix(double v, int) { return numberToString(v); }

double stringToNumber(std::string_view s, int) {
    std::string text(s);
    if (text.empty())
        return NAN;
    char* end = nullptr;
    double v = std::strtod(text.c_str(), &end);
    return *end ? NAN : v;
}

double parseIntValue(std::string_view s, int radix, int) {
    std::string text(s);
    char* end = nullptr;
    long long v = std::strtoll(text.c_str(), &end, radix ? radix : 10);
    return end == text.c_str() ? NAN : double(v);
}

double parseFloatValue(std::string_view s) {
    std::string text(s);
    char* end = nullptr;
    double v = std::strtod(text.c_str(), &end);
    return end == text.c_str() ? NAN : v;
}

int32_t toInt32(double v) { return int32_t(toUint32(v)); }

uint32_t toUint32(double v) {
    if (!std::isfinite(v))
        return 0;
    double m = std::fmod(std::trunc(v), 4294967296.0);
    if (m < 0)
        m += 4294967296.0;
    return uint32_t(m);
}

} // namespace swivio::swf::avm1
