// The HTML text fields read and the htmlText they report.
#include <gtest/gtest.h>

#include <cmath>

#include "swf/text/html_text.h"

namespace swivio::swf::text {
namespace {

TextFormat base() {
    return TextFormat::defaults("Arial", 12);
}

// The plain text with '\r' shown as '|'.
std::string plain(const FormattedText& t) {
    std::string s = toUtf8(t.text());
    for (char& c : s)
        if (c == '\r')
            c = '|';
    return s;
}

struct ReadCase {
    const char* html;
    bool multiline;
    bool condenseWhite;
    const char* text;
};

class HtmlReadTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(HtmlReadTest, GivesTheTextAFieldShows) {
    const ReadCase& c = GetParam();
    HtmlReadOptions options;
    options.multiline = c.multiline;
    options.condenseWhite = c.condenseWhite;
    EXPECT_EQ(plain(readHtml(c.html, base(), options)), c.text) << c.html;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HtmlReadTest,
    ::testing::Values(ReadCase{"a\nb\r\nc", false, false, "a|b|c"},
                      ReadCase{"<p>a</p><p>b</p>", true, false, "a|b|"},
                      ReadCase{"<p>a</p><p>b</p>", false, false, "ab"},
                      ReadCase{"a<br>b<BR/>c", true, false, "a|b|c"},
                      // A single-line field runs the lines of <br> together.
                      ReadCase{"a<br>b<BR/>c", false, false, "abc"},
                      // A value outside quotes ends the reading.
                      ReadCase{"a<font color=#00FF00>b</font>c", true, false, "a"},
                      ReadCase{"&lt;&amp;&gt;&quot;&apos;&#65;&#x42;&bogus;", false, false,
                               "<&>\"'AB&bogus;"},
                      ReadCase{"  a \n\t b  ", false, true, "a b "},
                      ReadCase{"<unknown>x</unknown><!-- note -->y", false, false, "xy"},
                      ReadCase{"<b>unclosed <i>tags", false, false, "unclosed tags"},
                      ReadCase{"<a href='u' target=\"t\">x", false, false, "x"}));

TEST(HtmlTextTest, TagsSetTheFormatsOfTheirText) {
    const FormattedText t =
        readHtml("<font face='Verdana' size='+2' color='#FF0000'>a</font><b><i><u>b</u></i></b>"
                 "<a href='http://x' target='_blank'>c</a><textformat leftmargin='5' "
                 "tabstops='1,2'><li>d</li></textformat>",
                 base());
    const TextFormat a = t.formatAt(0), b = t.formatAt(1), c = t.formatAt(2), d = t.formatAt(3);
    EXPECT_EQ(a.font, "Verdana");
    EXPECT_EQ(a.size, 14.0);
    EXPECT_EQ(a.color, 0xFF0000u);
    EXPECT_TRUE(*b.bold && *b.italic && *b.underline);
    EXPECT_FALSE(*a.bold);
    EXPECT_EQ(c.url, "http://x");
    EXPECT_EQ(c.target, "_blank");
    EXPECT_EQ(d.leftMargin, 5.0);
    EXPECT_EQ(d.tabStops, (std::vector<double>{1, 2}));
    EXPECT_TRUE(*d.bullet);
}

struct WriteCase {
    const char* html;
    const char* written;
};

class HtmlWriteTest : public ::testing::TestWithParam<WriteCase> {};

// What a field reports after reading html: one paragraph per line, the first format as the
// outer FONT and only differences nested inside.
TEST_P(HtmlWriteTest, WritesWhatFlashReportsBack) {
    const WriteCase& c = GetParam();
    EXPECT_EQ(writeHtml(readHtml(c.html, base())), c.written) << c.html;
}

#define FONT "<FONT FACE=\"Arial\" SIZE=\"12\" COLOR=\"#000000\" LETTERSPACING=\"0\" KERNING=\"0\">"
INSTANTIATE_TEST_SUITE_P(
    Cases, HtmlWriteTest,
    ::testing::Values(
        WriteCase{"", ""},
        WriteCase{"a\nb",
                  "<P ALIGN=\"LEFT\">" FONT "a</FONT></P><P ALIGN=\"LEFT\">" FONT "b</FONT></P>"},
        WriteCase{"a\n", "<P ALIGN=\"LEFT\">" FONT "a</FONT></P>"},
        WriteCase{"<b>\n</b>", "<P ALIGN=\"LEFT\">" FONT "<B></B></FONT></P>"},
        WriteCase{"x<font color='#aaaaaa' kerning='1'><b>y</b></font>",
                  "<P ALIGN=\"LEFT\">" FONT
                  "x<FONT COLOR=\"#AAAAAA\" KERNING=\"1\"><B>y</B></FONT></FONT></P>"},
        WriteCase{"<p align='center'><a href='u'>&lt;x&gt;</a></p>",
                  "<P ALIGN=\"CENTER\">" FONT "<A HREF=\"u\" TARGET=\"\">&lt;x&gt;</A></FONT></P>"},
        WriteCase{"<textformat leftmargin='1' leading='2' tabstops='3,4'><li>x</li></textformat>",
                  "<TEXTFORMAT LEFTMARGIN=\"1\" LEADING=\"2\" TABSTOPS=\"3,4\"><LI>" FONT
                  "x</FONT></LI></TEXTFORMAT>"}));
#undef FONT

TEST(HtmlTextTest, FontColoursNeedAHashAndKeepTheirLastSixDigits) {
    const std::pair<const char*, uint32_t> cases[] = {
        {"#202020", 0x202020},  {"202020", 0x123456},   {"#2", 0x2},
        {"#2345678", 0x345678}, {"# 234567", 0x234567}, {"#23g45", 0x23},
        {"#g101010", 0x123456}, {" #234567", 0x123456}, {"#ABC", 0xABC},
    };
    TextFormat start = base();
    start.color = 0x123456;
    for (const auto& [color, expected] : cases) {
        const FormattedText t =
            readHtml(std::string("<font color='") + color + "'>x</font>", start);
        EXPECT_EQ(t.formatAt(0).color, expected) << color;
    }
}

TEST(HtmlTextTest, OlderMoviesDropBlankTextAndAlwaysEndParagraphs) {
    HtmlReadOptions options;
    options.legacy = true;
    options.multiline = false;
    const std::pair<const char*, const char*> cases[] = {
        {"<b>test</b>\n", "test"},
        {"\ntest\n", "|test|"},
        {"<p>a</p><p>b</p>", "a|b|"},
        {" \n ", ""},
    };
    for (const auto& [html, text] : cases)
        EXPECT_EQ(plain(readHtml(html, base(), options)), text) << html;
}

// What Flash 7 reported for single-line fields that condense white space.
TEST(HtmlTextTest, OlderMoviesCondenseEachRunOfTextAlone) {
    HtmlReadOptions options;
    options.legacy = true;
    options.multiline = false;
    options.condenseWhite = true;
    const std::pair<const char*, const char*> cases[] = {
        {" <b> test1 </b> <i> test2 </i> ", " test1  test2 "},
        {" <p>test</p>  <p>test</p> ", "testtest"},
        {"\n <p>t\ne s\tt </p> \n", "t e s t "},
    };
    for (const auto& [html, text] : cases)
        EXPECT_EQ(plain(readHtml(html, base(), options)), text) << html;
}

TEST(HtmlTextTest, DeepNestingKeepsItsTextWithinBoundedFormats) {
    std::string html;
    for (int i = 0; i < 5000; ++i)
        html += "<b>";
    html += "deep";
    EXPECT_EQ(plain(readHtml(html, base())), "deep");
}

TEST(HtmlTextTest, NumbersAreWrittenWithoutNeedlessDecimals) {
    EXPECT_EQ(htmlNumber(12), "12");
    EXPECT_EQ(htmlNumber(-2), "-2");
    EXPECT_EQ(htmlNumber(1.5), "1.5");
    EXPECT_EQ(htmlNumber(std::nan("")), "0");
}

} // namespace
} // namespace swivio::swf::text
