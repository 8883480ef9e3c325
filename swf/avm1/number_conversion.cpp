#include "swf/avm1/number_conversion.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace swivio::swf::avm1 {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kTwoTo32 = 4294967296.0;
// The player's own, slightly short, value of log10(2): it decides the first exponent tried.
constexpr double kLog10Of2 = 0.301029995663981;
constexpr int kSignificantDigits = 15;
// Beyond this a decimal exponent makes any digit infinite or zero; clamping keeps loops short.
constexpr int64_t kExponentLimit = 4000;

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool isDecimalDigit(char c) {
    return c >= '0' && c <= '9';
}

// The value of c as a digit of any radix up to 36, or 36 when it is none.
int digitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z')
        return c - 'A' + 10;
    return 36;
}

bool startsWithHexPrefix(std::string_view s) {
    return s.size() >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X');
}

bool isSign(char c) {
    return c == '+' || c == '-';
}

std::string_view skipSpaces(std::string_view s) {
    size_t i = 0;
    while (i < s.size() && isSpace(s[i]))
        ++i;
    return s.substr(i);
}

// value * 10^exp by repeated squaring, multiplying for positive exponents and dividing for
// negative ones: the player computes decimal values this way, and its digits show it.
double decimalShift(double value, int64_t exp) {
    exp = std::clamp(exp, -kExponentLimit, kExponentLimit);
    double base = 10.0;
    uint64_t e = static_cast<uint64_t>(exp < 0 ? -exp : exp);
    while (e != 0) {
        if (e & 1)
            value = exp < 0 ? value / base : value * base;
        e >>= 1;
        base *= base;
    }
    return value;
}

// An optionally signed integer of the radix with nothing before or after it, wrapping
// modulo 2^32 as the player's hexadecimal and octal strings do.
std::optional<int32_t> parseWrappingInteger(std::string_view s, int radix) {
    bool negative = false;
    if (!s.empty() && isSign(s[0])) {
        negative = s[0] == '-';
        s.remove_prefix(1);
    }
    if (s.empty())
        return std::nullopt;
    uint32_t n = 0;
    for (char c : s) {
        const int d = digitValue(c);
        if (d >= radix)
            return std::nullopt;
        n = n * static_cast<uint32_t>(radix) + static_cast<uint32_t>(d);
    }
    if (negative)
        n = 0u - n;
    return static_cast<int32_t>(n);
}

// A '0' followed only by octal digits, after an optional sign.
bool looksOctal(std::string_view s) {
    if (!s.empty() && isSign(s[0]))
        s.remove_prefix(1);
    if (s.empty() || s[0] != '0')
        return false;
    return std::all_of(s.begin() + 1, s.end(), [](char c) { return c >= '0' && c <= '7'; });
}

// A decimal number after leading whitespace: sign, digits, one '.', digits, then an exponent
// ('e' with an optional sign and possibly no digits: "2e" is 2). Strict parsing wants nothing
// after it. The value is the sum of each digit shifted to its place; further dots between
// digits are passed over, which only lenient parsing can reach ("1.2.3" reads 1.23).
double parseDecimal(std::string_view s, bool strict) {
    s = skipSpaces(s);
    size_t i = 0;
    bool negative = false;
    if (i < s.size() && isSign(s[i])) {
        negative = s[i] == '-';
        ++i;
    }
    const size_t start = i;
    while (i < s.size() && isDecimalDigit(s[i]))
        ++i;
    const int64_t integerDigits = static_cast<int64_t>(i - start);
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && isDecimalDigit(s[i]))
            ++i;
    }
    if (i == start)
        return kNaN;

    int64_t exponent = 0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        bool exponentNegative = false;
        if (i < s.size() && isSign(s[i])) {
            exponentNegative = s[i] == '-';
            ++i;
        }
        // The player keeps the exponent in 32 bits and lets it wrap.
        uint32_t e = 0;
        while (i < s.size() && isDecimalDigit(s[i])) {
            e = e * 10u + static_cast<uint32_t>(s[i] - '0');
            ++i;
        }
        if (exponentNegative)
            e = 0u - e;
        exponent = static_cast<int32_t>(e);
    }
    if (strict && i != s.size())
        return kNaN;

    double result = 0.0;
    int64_t place = std::clamp(integerDigits - 1 + exponent, -kExponentLimit, kExponentLimit);
    for (size_t k = start; k < s.size(); ++k) {
        const char c = s[k];
        if (isDecimalDigit(c)) {
            // A zero adds nothing, and 0 * infinity would be NaN.
            if (c != '0')
                result += decimalShift(c - '0', place);
            place = std::max(place - 1, -kExponentLimit);
        } else if (c != '.') {
            break;
        }
    }
    return negative ? -result : result;
}

// Digits of a number as written: d[0] is the digit of 10^pointExponent.
struct DecimalDigits {
    std::string digits;
    int pointExponent = 0;
};

std::string formatExponent(const DecimalDigits& d) {
    std::string out(1, d.digits[0]);
    if (d.digits.size() > 1) {
        out += '.';
        out.append(d.digits, 1);
    }
    out += d.pointExponent < 0 ? "e-" : "e+";
    out += std::to_string(std::abs(d.pointExponent));
    return out;
}

std::string formatFixed(const DecimalDigits& d) {
    if (d.pointExponent < 0)
        return "0." + std::string(static_cast<size_t>(-d.pointExponent - 1), '0') + d.digits;
    const size_t integerDigits = static_cast<size_t>(d.pointExponent) + 1;
    if (d.digits.size() <= integerDigits)
        return d.digits + std::string(integerDigits - d.digits.size(), '0');
    return d.digits.substr(0, integerDigits) + "." + d.digits.substr(integerDigits);
}

} // namespace

std::string numberToString(double v) {
    if (std::isnan(v))
        return "NaN";
    if (std::isinf(v))
        return v > 0 ? "Infinity" : "-Infinity";
    if (v == 0)
        return "0";
    if (v >= -2147483648.0 && v <= 2147483647.0 && std::trunc(v) == v)
        return std::to_string(static_cast<int32_t>(v));

    const double x = std::fabs(v);
    int binaryExponent = 0;
    std::frexp(x, &binaryExponent);
    // The estimate can miss by one either way; the scaled value tells.
    int exponent = static_cast<int>(std::round((binaryExponent - 1) * kLog10Of2));
    double mantissa = decimalShift(x, -exponent);
    if (mantissa < 1.0) {
        --exponent;
        mantissa = decimalShift(x, -exponent);
    }
    if (mantissa >= 10.0) {
        ++exponent;
        mantissa = decimalShift(x, -exponent);
    }

    // Fifteen digits by repeated multiplication, the sixteenth decides the rounding.
    DecimalDigits d;
    d.pointExponent = exponent;
    int next = 0;
    for (int i = 0; i <= kSignificantDigits; ++i) {
        const int digit = static_cast<int>(std::clamp(mantissa, 0.0, 9.0));
        mantissa = (mantissa - digit) * 10.0;
        if (i < kSignificantDigits)
            d.digits += static_cast<char>('0' + digit);
        else
            next = digit;
    }
    if (next >= 5) {
        int i = kSignificantDigits - 1;
        while (i >= 0 && d.digits[static_cast<size_t>(i)] == '9')
            d.digits[static_cast<size_t>(i--)] = '0';
        if (i >= 0) {
            ++d.digits[static_cast<size_t>(i)];
        } else {
            d.digits.insert(d.digits.begin(), '1');
            ++d.pointExponent;
        }
    }
    while (d.digits.size() > 1 && d.digits.back() == '0')
        d.digits.pop_back();

    // The form follows the exponent before rounding: 999999999999999.9 stays in fixed form.
    const bool exponentForm = exponent >= 15 || exponent < -5;
    std::string text = exponentForm ? formatExponent(d) : formatFixed(d);
    return v < 0 ? "-" + text : text;
}

std::string numberToStringRadix(double v, int radix) {
    if (radix == 10 || radix < 2 || radix > 36)
        return numberToString(v);
    if (!(v > -2147483648.0 && v < 2147483648.0))
        return "0";
    const int64_t n = static_cast<int64_t>(v);
    uint64_t magnitude = static_cast<uint64_t>(n < 0 ? -n : n);
    if (magnitude == 0)
        return "0";
    std::string out;
    while (magnitude != 0) {
        const int digit = static_cast<int>(magnitude % static_cast<uint64_t>(radix));
        out += static_cast<char>(digit < 10 ? '0' + digit : 'a' + digit - 10);
        magnitude /= static_cast<uint64_t>(radix);
    }
    if (n < 0)
        out += '-';
    std::reverse(out.begin(), out.end());
    return out;
}

double stringToNumber(std::string_view s, int swfVersion) {
    if (swfVersion >= 6) {
        std::string_view afterSign = s;
        if (!afterSign.empty() && isSign(afterSign[0]))
            afterSign.remove_prefix(1);
        if (startsWithHexPrefix(afterSign)) {
            // Only an unsigned "0x" is skipped; a signed one leaves "x..." behind, which fails.
            const std::optional<int32_t> n = parseWrappingInteger(s.substr(2), 16);
            return n ? static_cast<double>(*n) : kNaN;
        }
        if (looksOctal(s)) {
            const std::optional<int32_t> n = parseWrappingInteger(s, 8);
            return n ? static_cast<double>(*n) : kNaN;
        }
    }
    if (swfVersion >= 5)
        return parseDecimal(s, true);
    const double n = parseDecimal(s, false);
    return std::isnan(n) ? 0.0 : n;
}

int parseIntRadixArgument(double radix) {
    const int32_t r = toInt32(radix);
    return r == 0 ? -1 : r;
}

double parseIntValue(std::string_view s, int radix, int /*swfVersion*/) {
    if (radix != 0 && (radix < 2 || radix > 36))
        return kNaN;
    if (startsWithHexPrefix(s)) {
        s.remove_prefix(2);
        if (radix == 0)
            radix = 16;
    } else if (s.size() >= 3 && isSign(s[0]) && startsWithHexPrefix(s.substr(1))) {
        // The sign goes with the '0' and is lost: "-0x100" reads "x100".
        s.remove_prefix(2);
    } else if (radix == 0 && looksOctal(s)) {
        radix = 8;
    }
    if (radix == 0)
        radix = 10;

    s = skipSpaces(s);
    bool negative = false;
    if (!s.empty() && isSign(s[0])) {
        negative = s[0] == '-';
        s.remove_prefix(1);
    }
    double result = 0.0;
    bool anyDigit = false;
    for (char c : s) {
        const int d = digitValue(c);
        if (d >= radix)
            break;
        result = result * radix + d;
        anyDigit = true;
    }
    if (!anyDigit)
        return kNaN;
    return negative ? -result : result;
}

double parseFloatValue(std::string_view s) {
    return parseDecimal(s, false);
}

uint32_t toUint32(double v) {
    if (!std::isfinite(v))
        return 0;
    double m = std::fmod(std::trunc(v), kTwoTo32);
    if (m < 0)
        m += kTwoTo32;
    return static_cast<uint32_t>(m);
}

int32_t toInt32(double v) {
    return static_cast<int32_t>(toUint32(v));
}

double toIntegerAction(double v) {
    return toInt32(v);
}

int shiftCount(double v) {
    return static_cast<int>(toUint32(v) & 31u);
}

double unsignedShiftResult(uint32_t shifted, int swfVersion) {
    if (swfVersion == 8 || swfVersion == 9)
        return static_cast<int32_t>(shifted);
    return shifted;
}

} // namespace swivio::swf::avm1
