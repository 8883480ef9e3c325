// The ActionScript number conversions over arbitrary text: the first byte picks the SWF version
// and a radix, the rest is the string. Numbers printed and read back keep 15 digits.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "swf/avm1/date_math.h"
#include "swf/avm1/number_conversion.h"

namespace {

using namespace swivio::swf::avm1;

void check(bool condition) {
    if (!condition)
        std::abort();
}

// Printing a number and reading the text back keeps its 15 significant digits (the player's
// digit arithmetic is not exact enough for the text itself to survive a second round).
void checkTextRoundTrip(double n) {
    const std::string text = numberToString(n);
    check(!text.empty() && text.size() < 32);
    const double magnitude = std::fabs(n);
    if (!std::isfinite(n) || magnitude < 1e-300 || magnitude > 1e300)
        return;
    const double again = stringToNumber(text, 8);
    check(std::fabs(again - n) <= magnitude * 2e-14);
}

// An integer written in a radix reads back as itself.
void checkRadixRoundTrip(double n, int radix) {
    const std::string text = numberToStringRadix(n, radix);
    check(!text.empty() && text.size() <= 34);
    if (radix < 2 || radix > 36 || radix == 10 || !(std::fabs(n) < 2147483648.0))
        return;
    const double truncated = std::trunc(n);
    if (truncated == 0)
        return;
    check(parseIntValue(text, radix, 8) == truncated);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const int version = 4 + data[0] % 14;
    const int radix = data[0] % 40;
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

    const double number = stringToNumber(text, version);
    const double integer = parseIntValue(text, radix, version);
    const double decimal = parseFloatValue(text);
    for (double n : {number, integer, decimal}) {
        checkTextRoundTrip(n);
        checkRadixRoundTrip(n, radix);
    }

    // The leading bytes read as a double reach every exponent and NaN payload.
    if (text.size() >= sizeof(double)) {
        double raw = 0;
        std::memcpy(&raw, text.data(), sizeof raw);
        checkTextRoundTrip(raw);
        checkRadixRoundTrip(raw, radix);
        check(!dateToString(raw).empty());
        check(toInt32(raw) == static_cast<int32_t>(toUint32(raw)));
    }
    return 0;
}
