// Expected values are the player's recorded answers to the same calls (String.as for SWF 5, 6
// and 8, the string method, escape and comparison movies), UTF-16 and Unicode facts where
// the recordings say nothing.
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "swf/avm1/string_functions.h"

namespace swivio::swf::avm1 {
namespace {

using Parts = std::vector<std::string>;
constexpr double kNaN = NAN;
const std::optional<double> kNone;

constexpr const char* kSearched = "aaatestFOOtestaaanull";
constexpr const char* kAlphabet = "abcdefghijklmnopqrstuvwxyz";
constexpr const char* kGerman = "Längere Wörter";
constexpr const char* kEmoji = "😋"; // U+1F60B, code units D83D DE0B

TEST(Utf16LengthTest, CountsCodeUnits) {
    EXPECT_EQ(utf16Length("foo"), 3);
    EXPECT_EQ(utf16Length(""), 0);
    EXPECT_EQ(utf16Length(kGerman), 14);
    EXPECT_EQ(utf16Length(kEmoji), 2);
    EXPECT_EQ(utf16Length("😋Спасибо𝌆𝌆hello"), 18);
    EXPECT_EQ(utf16Length("a\xFF"), 2); // an invalid byte reads as one U+FFFD
}

struct CharCase {
    const char* s;
    double index;
    int swfVersion;
    int code; // -1: NaN
    const char* character;
};

class CharAccessTest : public testing::TestWithParam<CharCase> {};

TEST_P(CharAccessTest, CodeAndCharacter) {
    const CharCase& c = GetParam();
    EXPECT_EQ(charCodeAt(c.s, c.index, c.swfVersion), c.code);
    EXPECT_EQ(charAt(c.s, c.index), c.character);
}

INSTANTIATE_TEST_SUITE_P(
    Recorded, CharAccessTest,
    testing::Values(CharCase{"foo+foo", 0, 5, 102, "f"}, CharCase{"foo+foo", 3, 5, 43, "+"},
                    CharCase{"foo+foo", 6, 5, 111, "o"}, CharCase{"foo+foo", -1, 5, -1, ""},
                    CharCase{"foo+foo", -100, 5, -1, ""},
                    // SWF 5 reads 0 past the end; later versions NaN.
                    CharCase{"foo+foo", 9, 5, 0, ""}, CharCase{"foo+foo", 9, 6, -1, ""},
                    CharCase{"foo+foo", 4294967297.0, 5, 111, "o"},
                    CharCase{"foo+foo", kNaN, 5, 102, "f"}, CharCase{kGerman, 9, 6, 246, "ö"},
                    CharCase{kGerman, 1, 6, 228, "ä"}, CharCase{"a😋b", 1, 6, 0xD83D, "\uFFFD"},
                    CharCase{"a😋b", 2, 6, 0xDE0B, "\uFFFD"}, CharCase{"a😋b", 3, 6, 'b', "b"},
                    CharCase{"\377b", 1, 6, 'b', "b"}));

TEST(FromCharCodesTest, TakesCodeUnitsModulo65536AndStopsAtZero) {
    const struct {
        std::vector<uint32_t> codes;
        const char* expected;
    } cases[] = {
        {{80}, "P"},
        {{uint32_t(-65456)}, "P"},
        {{65616}, "P"},
        {{0}, ""}, // NaN and "BAD" arrive as 0
        {{}, ""},
        {{80, 81, 82}, "PQR"},
        {{80, 0, 82}, "P"},
        {{12345}, "〹"},
        {{0xABABABAB}, "ꮫ"},
        {{0xD801}, "\uFFFD"},
        {{0xD83D, 0xDE0B}, kEmoji},
        {{0xDE0B, 0xD83D}, "\uFFFD\uFFFD"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(fromCharCodes(c.codes), c.expected) << c.codes.size() << " codes";
}

struct SearchCase {
    const char* s;
    const char* search;
    std::optional<double> from;
    int expected;
};

class IndexOfTest : public testing::TestWithParam<SearchCase> {};
class LastIndexOfTest : public testing::TestWithParam<SearchCase> {};

TEST_P(IndexOfTest, Position) {
    const SearchCase& c = GetParam();
    EXPECT_EQ(indexOf(c.s, c.search, c.from), c.expected);
}

TEST_P(LastIndexOfTest, Position) {
    const SearchCase& c = GetParam();
    EXPECT_EQ(lastIndexOf(c.s, c.search, c.from), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Recorded, IndexOfTest,
    testing::Values(SearchCase{kSearched, "a", kNone, 0}, SearchCase{kSearched, "a", 16, 16},
                    SearchCase{kSearched, "a", 13, 14}, SearchCase{kSearched, "test", kNone, 3},
                    SearchCase{kSearched, "test", 4, 10}, SearchCase{kSearched, "test", 100, -1},
                    SearchCase{kSearched, "test", -1, 3},
                    SearchCase{kSearched, "test", 4294967300.0, 10},
                    SearchCase{kSearched, "", kNone, 0}, SearchCase{kSearched, "", 5, 5},
                    SearchCase{kSearched, "", 100, -1}, SearchCase{kSearched, "null", kNone, 17},
                    SearchCase{"wallawallawashinGTON", "hing", kNone, -1},
                    SearchCase{"wallawallawashinGTON", "a", -2, 1},
                    SearchCase{"wallawallawashinGTON", "l", 2.8, 2},
                    SearchCase{"wallawallawashinGTON", "l", 3.8, 3},
                    SearchCase{"wallawallawashinGTON", "l", -4.8, 2},
                    SearchCase{"tést", "s", kNone, 2}, SearchCase{"😋a😋a", "a", 2, 2},
                    SearchCase{"😋a😋a", "😋a", 1, 3}));

INSTANTIATE_TEST_SUITE_P(
    Recorded, LastIndexOfTest,
    testing::Values(SearchCase{kSearched, "a", kNone, 16}, SearchCase{kSearched, "a", 16, 16},
                    SearchCase{kSearched, "a", 13, 2}, SearchCase{kSearched, "a", 0, 0},
                    SearchCase{kSearched, "test", 11, 10}, SearchCase{kSearched, "test", 100, 10},
                    SearchCase{kSearched, "test", -1, -1}, SearchCase{kSearched, "test", 0, -1},
                    SearchCase{kSearched, "", kNone, 21}, SearchCase{kSearched, "", 3, 3},
                    SearchCase{kSearched, "", 0, 0}, SearchCase{kSearched, "null", kNone, 17},
                    SearchCase{"abcdefghik7abedc", "edc", 13, 13},
                    SearchCase{"abcdefghik7abedc", "edc", 12, -1},
                    SearchCase{"abcdefghik7abedc", "ghi", kNaN, -1},
                    SearchCase{"abcdefghik7abedc", "ghi", 17287638764.0, 6},
                    SearchCase{"abcdefghik7abedc", "abcde", kNone, 0},
                    SearchCase{"tést", "s", kNone, 2}, SearchCase{"a😋a😋", "a", 3, 3},
                    SearchCase{"a😋a😋", "a", 2, 0}));

enum class Cut { Substr, Substring, Slice };

struct CutCase {
    Cut cut;
    const char* s;
    double start;
    std::optional<double> second;
    const char* expected;
};

class CutTest : public testing::TestWithParam<CutCase> {};

TEST_P(CutTest, Result) {
    const CutCase& c = GetParam();
    const std::string result = c.cut == Cut::Substr      ? substr(c.s, c.start, c.second)
                               : c.cut == Cut::Substring ? substring(c.s, c.start, c.second)
                                                         : slice(c.s, c.start, c.second);
    EXPECT_EQ(result, c.expected);
}

INSTANTIATE_TEST_SUITE_P(Substr, CutTest,
                         testing::Values(CutCase{Cut::Substr, "HELLOhello", 1, 2, "EL"},
                                         CutCase{Cut::Substr, "HELLOhello", 1, kNone, "ELLOhello"},
                                         CutCase{Cut::Substr, "HELLOhello", -5, kNone, "hello"},
                                         CutCase{Cut::Substr, "HELLOhello", 6, 3, "ell"},
                                         CutCase{Cut::Substr, "HELLOhello", 3, 0, ""},
                                         CutCase{Cut::Substr, "HELLOhello", 3, kNone, "LOhello"},
                                         CutCase{Cut::Substr, "HELLOhello", 0, 4, "HELL"},
                                         CutCase{Cut::Substr, "HELLOhello", 4294967296.0,
                                                 -4294967294.0, "HE"},
                                         CutCase{Cut::Substr, kAlphabet, -2, 3, "yz"},
                                         CutCase{Cut::Substr, kAlphabet, -3, 2, "xy"},
                                         CutCase{Cut::Substr, "1234", 3, 6, "4"},
                                         CutCase{Cut::Substr, "😋Спасибо", 2, 3, "Спа"}));

INSTANTIATE_TEST_SUITE_P(
    Substring, CutTest,
    testing::Values(CutCase{Cut::Substring, "HELLO1hello", 1, 2, "E"},
                    CutCase{Cut::Substring, "HELLO1hello", 1, kNone, "ELLO1hello"},
                    CutCase{Cut::Substring, "HELLO1hello", -5, kNone, "HELLO1hello"},
                    CutCase{Cut::Substring, "HELLO1hello", 6, 3, "LO1"},
                    CutCase{Cut::Substring, "HELLO1hello", 3, 0, "HEL"},
                    CutCase{Cut::Substring, "HELLO1hello", 0, 0, ""},
                    CutCase{Cut::Substring, "HELLO1hello", 4294967296.0, -4294967294.0, "HE"},
                    CutCase{Cut::Substring, "a_string", -3, 4, "a_st"},
                    CutCase{Cut::Substring, "a_string", 0, -1, ""},
                    CutCase{Cut::Substring, "a_string", 16, kNone, ""},
                    CutCase{Cut::Substring, kAlphabet, 5, 2, "cde"},
                    CutCase{Cut::Substring, kGerman, 2, 4, "ng"},
                    CutCase{Cut::Substring, "x😋y", 1, 3, "😋"},
                    CutCase{Cut::Substring, "x😋y", 1, 2, "\uFFFD"}));

INSTANTIATE_TEST_SUITE_P(Slice, CutTest,
                         testing::Values(CutCase{Cut::Slice, "Hello1234", 1, 4, "ell"},
                                         CutCase{Cut::Slice, "Hello1234", 3, 1, ""},
                                         CutCase{Cut::Slice, "Hello1234", -3, -1, "23"},
                                         CutCase{Cut::Slice, "Hello1234", -1, -3, ""},
                                         CutCase{Cut::Slice, "Hello1234", 0, 0, ""},
                                         CutCase{Cut::Slice, "Hello1234", 0, kNone, "Hello1234"},
                                         CutCase{Cut::Slice, kAlphabet, -5, 3, ""},
                                         CutCase{Cut::Slice, kAlphabet, -10, 22, "qrstuv"},
                                         CutCase{Cut::Slice, kAlphabet, -4, kNone, "wxyz"},
                                         CutCase{Cut::Slice, kGerman, 3, 5, "ge"},
                                         CutCase{Cut::Slice, "ab😋", -2, kNone, "😋"}));

struct SplitCase {
    int swfVersion;
    const char* s;
    std::optional<std::string_view> delimiter;
    std::optional<double> limit;
    Parts expected;
};

class SplitTest : public testing::TestWithParam<SplitCase> {};

TEST_P(SplitTest, Parts) {
    const SplitCase& c = GetParam();
    EXPECT_EQ(split(c.s, c.delimiter, c.limit, c.swfVersion), c.expected);
}

constexpr const char* kCommas = "A,,b,undefined0,c,";
const Parts kCommaParts{"A", "", "b", "undefined0", "c", ""};
const std::optional<std::string_view> kNoDelimiter;

INSTANTIATE_TEST_SUITE_P(
    Swf5, SplitTest,
    testing::Values(SplitCase{5, kCommas, ",", kNone, kCommaParts},
                    SplitCase{5, kCommas, ",", 2, {"A", ""}}, SplitCase{5, kCommas, ",", 0, {}},
                    SplitCase{5, kCommas, ",", -100, {}},
                    // No delimiter splits at commas; an empty one does not split.
                    SplitCase{5, kCommas, kNoDelimiter, kNone, kCommaParts},
                    SplitCase{5, kCommas, kNoDelimiter, 0, {}},
                    SplitCase{5, kCommas, "", kNone, {kCommas}}, SplitCase{5, "aa", "", -1, {"aa"}},
                    SplitCase{5, "", "", 0, {""}},
                    // A delimiter of two units never matches.
                    SplitCase{5, "wallawallawashinGTON", "la", kNone, {"wallawallawashinGTON"}},
                    SplitCase{5, "aa", "aa", kNone, {"aa"}}, SplitCase{5, "aa", "aa", 0, {}},
                    SplitCase{5, "aa", "a", kNone, {"", "", ""}}, SplitCase{5, "", "x", 0, {}},
                    SplitCase{5, "", "x", kNone, {""}}));

INSTANTIATE_TEST_SUITE_P(
    Swf6, SplitTest,
    testing::Values(SplitCase{6, "wallawallawashinGTON", "la", kNone, {"wal", "wal", "washinGTON"}},
                    SplitCase{6, "h", "h", kNone, {"", ""}},
                    SplitCase{6, "hh", "h", kNone, {"", "", ""}},
                    SplitCase{6, "", "h", kNone, {""}}, SplitCase{6, "aa", "aa", kNone, {"", ""}},
                    SplitCase{6, "", "", kNone, {}}, SplitCase{6, "aa", "", kNone, {"a", "a"}},
                    SplitCase{6, "aa", kNoDelimiter, kNone, {"aa"}},
                    SplitCase{6, "aa", kNoDelimiter, 0, {"aa"}}, SplitCase{6, "aa", "", 0, {}},
                    SplitCase{6, "", "x", -1, {""}}, SplitCase{6, "", "x", 0, {""}},
                    SplitCase{6, "aa", "aa", -1, {}}, SplitCase{6, "aa", "a", 0, {}},
                    SplitCase{6, "f", "x", 0, {}}, SplitCase{6, "f", "x", 1, {"f"}},
                    SplitCase{8, kCommas, ",", 3, {"A", "", "b"}},
                    SplitCase{8, "é😋é", "😋", kNone, {"é", "é"}},
                    SplitCase{8, "é😋", "", kNone, {"é", "\uFFFD", "\uFFFD"}}));

TEST(CaseTest, MapsEachCharacter) {
    const struct {
        const char* lower;
        const char* upper;
    } pairs[] = {
        {"test", "TEST"},     {kAlphabet, "ABCDEFGHIJKLMNOPQRSTUVWXYZ"},
        {"àéîõüþ", "ÀÉÎÕÜÞ"}, {"łőžǆ", "ŁŐŽǄ"},
        {"αβγωά", "ΑΒΓΩΆ"},   {"спасибоё", "СПАСИБОЁ"},
        {"ａｚ", "ＡＺ"},     {"1😋!", "1😋!"},
    };
    for (const auto& p : pairs) {
        EXPECT_EQ(toUpperCase(p.lower), p.upper);
        EXPECT_EQ(toLowerCase(p.upper), p.lower);
    }
    EXPECT_EQ(toUpperCase("teST"), "TEST");
    EXPECT_EQ(toLowerCase("teST"), "test");
}

TEST(CaseTest, KeepsThePlayersQuirks) {
    const struct {
        const char* input;
        const char* upper;
        const char* lower;
    } cases[] = {
        {"µßa", "µßA", "µßa"}, {"ÿ", "Ÿ", "ÿ"},       {"ς", "\u03A2", "ς"}, {"ϲ", "Σ", "ϲ"},
        {"İ", "İ", "i"},       {"ƀȼϸ", "ƀȼϸ", "ƀȼϸ"}, // letters the player's table predates
        {"ⓐⅰ", "ⒶⅠ", "ⓐⅰ"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(toUpperCase(c.input), c.upper) << c.input;
        EXPECT_EQ(toLowerCase(c.input), c.lower) << c.input;
    }
}

TEST(CompareStringsTest, OrdersByCodePoint) {
    const struct {
        const char* a;
        const char* b;
        int sign;
    } cases[] = {
        {"A", "B", -1},
        {"\uFF61", "\U00010002", -1}, // recorded: true for "\uFF61" < "\uD800\uDC02"
        {"", "a", -1},
        {"ab", "a", 1},
        {"B", "a", -1},
        {"é", "e", 1},
        {"Спасибо", "Спасибо", 0},
    };
    for (const auto& c : cases) {
        const int result = compareStrings(c.a, c.b);
        EXPECT_EQ((result > 0) - (result < 0), c.sign) << c.a << " vs " << c.b;
        EXPECT_EQ((compareStrings(c.b, c.a) > 0) - (compareStrings(c.b, c.a) < 0), -c.sign);
    }
}

TEST(EscapeTest, KeepsOnlyLettersAndDigits) {
    const struct {
        const char* plain;
        const char* escaped;
    } cases[] = {
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"},
        {"@*_+-./", "%40%2A%5F%2B%2D%2E%2F"},
        {" ", "%20"},
        {"Āあ", "%C4%80%E3%81%82"},
        {"\n", "%0A"},
        {" \"#$%&+,/:;<=", "%20%22%23%24%25%26%2B%2C%2F%3A%3B%3C%3D"},
        {"!()*-._~", "%21%28%29%2A%2D%2E%5F%7E"},
        {"😋", "%F0%9F%98%8B"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(escape(c.plain), c.escaped);
        EXPECT_EQ(unescape(c.escaped), c.plain);
    }
}

TEST(UnescapeTest, DecodesBytesAndDropsBrokenEscapes) {
    const struct {
        const char* escaped;
        const char* plain;
    } cases[] = {
        {"%41%62c", "Abc"},
        {"%c3%a9", "é"},
        {"a+b", "a b"},
        {"%zz", "z"},
        {"%3a%2f%3f%3d%26%", ":/?=&"},
        {"%4g!", "!"},
        {"ab%4", "ab"},
        {"ab%", "ab"},
        {"%%41", "A"},
        {"%u0041", "0041"},
        {"%é-", "-"},
        {"%FF", "\uFFFD"},
        {"tést", "tést"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(unescape(c.escaped), c.plain) << c.escaped;
}

TEST(EscapeTest, Swf5UsesCodePageBytes) {
    const struct {
        const char* plain;
        const char* escaped;
    } cases[] = {
        {"café", "caf%E9"},
        {"€ ÿ", "%80%20%FF"},
        {"a+b", "a%2Bb"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(escape(c.plain, 5), c.escaped);
        EXPECT_EQ(unescape(c.escaped, 5), c.plain);
    }
    EXPECT_EQ(escape("あ", 5), "%3F");
    EXPECT_EQ(unescape("é%41%zz", 5), "éAz");
}

TEST(DecodeLegacyStringTest, ReadsEveryByteAsWindows1252) {
    EXPECT_EQ(decodeLegacyString("abc"), "abc");
    EXPECT_EQ(decodeLegacyString("caf\xE9"), "café");
    EXPECT_EQ(decodeLegacyString("\x80\x85\x9F\xFF"), "€…Ÿÿ");
    EXPECT_EQ(decodeLegacyString("\x81"), "\u0081");
    // "Längere Wörter" written as UTF-8 in a SWF 5 movie: the player counts 16 characters.
    const std::string german = decodeLegacyString(kGerman);
    EXPECT_EQ(utf16Length(german), 16);
    EXPECT_EQ(charCodeAt(german, 10, 5), 195);
    EXPECT_EQ(slice(german, 3, 5), "ng");
}

TEST(SanitizeUtf8Test, ReplacesEachInvalidSequence) {
    const struct {
        const char* input;
        const char* expected;
    } cases[] = {
        {"héllo 😋", "héllo 😋"},
        {"\uFFFD", "\uFFFD"},
        {"a\377b", "a\uFFFD"
                   "b"},
        {"a\xC3", "a\uFFFD"},
        {"\342\202x", "\uFFFDx"},
        {"\xC0\xAF", "\uFFFD\uFFFD"},
        {"\xED\xA0\x80", "\uFFFD\uFFFD\uFFFD"},
        {"\xF4\x90\x80\x80", "\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"\x80\xBF", "\uFFFD\uFFFD"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(sanitizeUtf8(c.input), c.expected) << c.input;
}

} // namespace
} // namespace swivio::swf::avm1
