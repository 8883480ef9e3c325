// Expected values are Flash Player's, as recorded by movies that trace them.
#include <cmath>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "swf/avm1/number_conversion.h"

namespace swivio::swf::avm1 {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr int kNoRadix = 0;
constexpr double kNoArg = -1e300;

// NaN equals NaN here; everything else must match to the bit, sign of zero aside.
void expectSameNumber(double expected, double actual) {
    if (std::isnan(expected))
        EXPECT_TRUE(std::isnan(actual)) << actual;
    else
        EXPECT_EQ(expected, actual);
}

TEST(NumberToString, WritesFifteenDigitsAndSwitchesToExponents) {
    const struct {
        double value;
        const char* text;
    } cases[] = {
        // clang-format off
        {kNaN, "NaN"}, {kInf, "Infinity"}, {-kInf, "-Infinity"}, {-0.0, "0"},
        {268, "268"}, {-268, "-268"}, {4294967295.0, "4294967295"},
        {-2172375900000.0, "-2172375900000"}, {5.5, "5.5"}, {3 / 12.34, "0.243111831442464"},
        {11111111111111.11111111, "11111111111111.1"}, {111111111111111.1111111, "111111111111111"},
        {1111111111111111.1111111, "1.11111111111111e+15"}, {8.64e15, "8.64e+15"},
        {0.000123456789012346, "0.000123456789012346"},
        {0.00000123456789012346, "1.23456789012346e-6"},
        {0.000000123456789012346, "1.23456789012346e-7"},
        {0.0999999999999999, "0.0999999999999999"}, {0.99999999999999938, "0.999999999999999"},
        {9.9999999999999939 / 10, "0.999999999999999"}, {5.4 / 100000, "0.000054"},
        {5.4 / 1000000, "5.4e-6"},
        // Halves round away from zero, as far as the player's arithmetic sees a half.
        {2.123456789123455, "2.12345678912346"}, {-2.123456789123455, "-2.12345678912346"},
        {0.1234567891234565, "0.123456789123457"},
        {1.234567891234565e+308, "1.23456789123456e+308"},
        {1.234567891234565e-308, "1.23456789123457e-308"},
        {1.234567891234565e-6, "1.23456789123457e-6"},
        {-1.244667891234565e-6, "-1.24466789123457e-6"},
        {-0.001234567891234565, "-0.00123456789123457"},
        {-0.001244567891234565, "-0.00124456789123456"},
        {0.001234567891234564, "0.00123456789123456"},
        {std::numeric_limits<double>::max(), "1.79769313486231e+308"},
        {std::numeric_limits<double>::denorm_min(), "4.94065645841247e-324"},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(c.text, numberToString(c.value));
    }
}

TEST(NumberToString, RadixTruncatesAndSignsNegatives) {
    const struct {
        double value;
        int radix;
        const char* text;
    } cases[] = {
        // clang-format off
        {10, 2, "1010"}, {6, 2, "110"}, {6, 3, "20"}, {6, 8, "6"}, {6, 5, "11"},
        {6, -2, "6"}, {6, 0, "6"}, {-5, 2, "-101"}, {-5, 16, "-5"}, {-11, 16, "-b"},
        {5.4 / 1000000, 10, "5.4e-6"}, {6.9, 2, "110"}, {-6.9, 2, "-110"}, {35, 36, "z"},
        {kNaN, 16, "0"}, {kInf, 2, "0"}, {4294967296.0, 16, "0"},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.value) + " radix " + std::to_string(c.radix));
        EXPECT_EQ(c.text, numberToStringRadix(c.value, c.radix));
    }
}

TEST(StringToNumber, FollowsTheMovieVersion) {
    const struct {
        const char* text;
        int version;
        double number;
    } cases[] = {
        // clang-format off
        {"10", 8, 10}, {"3e2", 8, 300}, {"2E1", 8, 20}, {"2.6", 8, 2.6}, {"123e-1", 17, 12.3},
        {"2e", 8, 2}, {"2E", 8, 2}, {" 2", 8, 2}, {"1.0", 7, 1}, {"-1.0", 7, -1},
        {"2p", 8, kNaN}, {"2a", 8, kNaN}, {"string", 8, kNaN}, {"100a", 17, kNaN},
        {"NaN", 8, kNaN}, {"Infinity", 8, kNaN}, {"-Infinity", 8, kNaN},
        {"", 17, kNaN}, {"", 6, kNaN}, {" ", 17, kNaN}, {"  5  ", 6, kNaN},
        // Hexadecimal and octal from SWF 6, as wrapping 32-bit integers.
        {"0xFF0000", 8, 0xFF0000}, {"0XFF0000", 8, 0xFF0000}, {"0xFF1306", 7, 16716550},
        {"0Xff000000", 8, -16777216}, {"0x1999999981ffffff", 17, -2113929217},
        {"0x10", 6, 16}, {"0x-10", 8, -16}, {"-0x10", 8, kNaN}, {"0x", 8, kNaN},
        {"0xff000z", 8, kNaN}, {"0xhello", 6, kNaN}, {"00", 8, 0}, {"010", 8, 8},
        {"-010", 8, -8}, {"07700000000", 8, 1056964608}, {"077000000000", 8, -134217728},
        {"0xFF0000", 5, kNaN}, {"010", 5, 10},
        // SWF 4 reads the leading number and gives 0 for none.
        {"", 4, 0}, {"abc", 4, 0}, {"12abc", 4, 12},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("\"") + c.text + "\" in SWF " + std::to_string(c.version));
        expectSameNumber(c.number, stringToNumber(c.text, c.version));
    }
}

TEST(ParseInt, GuessesTheRadixFromTheRawText) {
    const struct {
        const char* text;
        double radix; // kNoArg when parseInt gets no radix
        double number;
    } cases[] = {
        // clang-format off
        {"undefined", kNoArg, kNaN}, {"undefined", 32, 33790067563981}, {"", kNoArg, kNaN},
        {"123", kNoArg, 123}, {"100", 10, 100}, {"100", 0, kNaN}, {"100", 1, kNaN},
        {"100", 2, 4}, {"100", 36, 1296}, {"100", 37, kNaN}, {"100", -1, kNaN},
        {"100", kNaN, kNaN}, {"0x123", kNoArg, 291}, {"0xabc", kNoArg, 2748},
        {"010", 2, 2}, {"-0100", kNoArg, -64}, {"-0100z", kNoArg, -100}, {"0x+0X100", kNoArg, 0},
        {"123", 32, 1091}, {"++1", kNoArg, kNaN}, {"0x100", 36, 1296}, {" 0x100", 36, 1540944},
        {"0y100", 36, 1587600}, {" 0y100", 36, 1587600}, {"-0x100", 36, 1540944},
        {" -0x100", 36, -1540944}, {"-0y100", 36, -1587600}, {" -0y100", 36, -1587600},
        {"-0x100", kNoArg, kNaN}, {"0x-100", kNoArg, -256}, {" 0x-100", kNoArg, 0},
        {"0x -100", kNoArg, -256}, {"0-100", kNoArg, 0}, {"+0x123", 33, kNaN},
        {"+0x123", 34, 1298259}, {"0", kNoArg, 0}, {" 0", kNoArg, 0}, {" 0 ", kNoArg, 0},
        {"077", kNoArg, 63}, {"  077", kNoArg, 77}, {"  077   ", kNoArg, 77}, {"  -077", kNoArg, -77},
        {"077 ", kNoArg, 77}, {"11", 2, 3}, {"11", 3, 4}, {"11", 3.8, 4}, {"0x12", kNoArg, 18},
        {"0x12", 16, 18}, {"0x12", 16.1, 18}, {"0x  ", kNoArg, kNaN}, {"0x", kNoArg, kNaN},
        {"0x  ", 16, kNaN}, {"0x", 16, kNaN}, {"12aaa", kNoArg, 12},
        {"0x123", 8, 83}, {" 0x123", 8, 0}, {" 6 7 8", 8, 6}, {"800000000", 36, 22568879259648},
        {"8589934592", 16, 573538780562}, {"8589934592", 5, kNaN}, {"          +12.34", kNoArg, 12},
        {"        -0352", kNoArg, -352}, {"+0352", kNoArg, 234}, {"03529A", kNoArg, 3529},
        {"07658", kNoArg, 7658}, {"0X-111", kNoArg, -273}, {"+0x111", kNoArg, kNaN},
        {"2GA", 36, 10 + 16 * 36 + 2 * 36 * 36}, {"FGH", 17, 16 + 17 * 15}, {"zero", kNoArg, kNaN},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("'") + c.text + "', " + std::to_string(c.radix));
        const int radix = c.radix == kNoArg ? kNoRadix : parseIntRadixArgument(c.radix);
        expectSameNumber(c.number, parseIntValue(c.text, radix, 8));
    }
    expectSameNumber(kInf, parseIntValue("1" + std::string(400, '0'), kNoRadix, 8));
    expectSameNumber(kInf, parseIntValue("0x1" + std::string(400, '0'), kNoRadix, 8));
}

TEST(ParseFloat, ReadsTheLeadingNumber) {
    const struct {
        const char* text;
        double number;
    } cases[] = {
        // clang-format off
        {"test", kNaN}, {"", kNaN}, {"         x1.234", kNaN}, {"1.5", 1.5},
        {"   \t    -2001.5", -2001.5}, {"\t\t 5.13123abc2.35387", 5.13123},
        {"3.45e-5", 3.45e-5}, {"3.45E-5", 3.45e-5}, {"3.45eE-5", 3.45},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const double n = parseFloatValue(c.text);
        if (std::isnan(c.number))
            EXPECT_TRUE(std::isnan(n)) << n;
        else
            EXPECT_NEAR(c.number, n, std::fabs(c.number) * 1e-12);
    }
}

// The BitURShift action as the interpreter composes it.
double unsignedShift(double value, double count, int version) {
    return unsignedShiftResult(toUint32(value) >> shiftCount(count), version);
}

TEST(IntegerConversions, WrapModuloTwoToThe32) {
    EXPECT_EQ(-1, toIntegerAction(4294967295.0));
    EXPECT_EQ(0, toIntegerAction(kNaN));
    EXPECT_EQ(10, toIntegerAction(10.5));
    EXPECT_EQ(-10, toIntegerAction(-10.9));
    EXPECT_EQ(5, toInt32(4294967301.0));
    EXPECT_EQ(INT32_MIN, toInt32(2147483648.0));
    EXPECT_EQ(INT32_MAX, toInt32(-2147483649.0));
    EXPECT_EQ(0, toInt32(-kInf));
    EXPECT_EQ(4294967295u, toUint32(-1));
    EXPECT_EQ(0u, toUint32(kInf));
    EXPECT_EQ(16716551, toInt32(0xFF1306) | toInt32(1));

    const struct {
        double value, count;
        int version;
        double result;
    } shifts[] = {
        // clang-format off
        {3, 1, 17, 1},   {3, 32, 17, 3},          {4294967295.0, 0, 17, 4294967295.0},
        {-3, 1, 17, 2147483646}, {-3, 0, 17, 4294967293.0}, {3, 32, 8, 3},
        {4294967295.0, 0, 8, -1}, {-3, 1, 8, 2147483646}, {-3, 0, 8, -3},
        // clang-format on
    };
    for (const auto& s : shifts) {
        SCOPED_TRACE(std::to_string(s.value) + " >>> " + std::to_string(s.count) + " in SWF " +
                     std::to_string(s.version));
        EXPECT_EQ(s.result, unsignedShift(s.value, s.count, s.version));
    }
}

} // namespace
} // namespace swivio::swf::avm1
