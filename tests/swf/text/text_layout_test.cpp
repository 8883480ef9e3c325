// Line breaking, alignment, the gutter and autoSize, with fonts whose advances are known.
#include <gtest/gtest.h>

#include <cmath>

#include "swf/text/edit_field.h"
#include "swf/text/text_layout.h"

namespace swivio::swf::text {
namespace {

// Every character half an EM wide: 10 pixels at size 20. Ascent 16, descent 4 at size 20.
class HalfEmFont final : public GlyphFont {
public:
    double ascent() const override { return 0.8 * kEm; }
    double descent() const override { return 0.2 * kEm; }
    double leading() const override { return 0; }
    bool hasGlyph(char16_t) const override { return true; }
    double advance(char16_t) const override { return kEm / 2; }
    double kerning(char16_t, char16_t) const override { return 0; }
    std::shared_ptr<const Shape> outline(char16_t) const override { return nullptr; }
};

class OneFont final : public FontResolver {
public:
    std::shared_ptr<const GlyphFont> resolve(const TextFormat&) override { return m_font; }

private:
    std::shared_ptr<const GlyphFont> m_font = std::make_shared<HalfEmFont>();
};

TextLayout lay(const std::string& s, double width, bool wrap, TextFormat f = {}) {
    TextFormat format = TextFormat::defaults("x", 20);
    format.apply(f);
    FormattedText t;
    t.append(toUtf16(s), format);
    OneFont fonts;
    return layoutText(t, LayoutOptions{width, wrap, true, false}, fonts);
}

std::vector<std::string> lineTexts(const std::string& s, const TextLayout& l) {
    std::vector<std::string> out;
    for (const LayoutLine& line : l.lines)
        out.push_back(s.substr(line.begin, line.end - line.begin));
    return out;
}

struct BreakCase {
    const char* text;
    double width; // pixels, gutters included
    std::vector<std::string> lines;
};

class LineBreakTest : public ::testing::TestWithParam<BreakCase> {};

TEST_P(LineBreakTest, BreaksWhereTheAdvancesSay) {
    const BreakCase& c = GetParam();
    EXPECT_EQ(lineTexts(c.text, lay(c.text, c.width, true)), c.lines);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LineBreakTest,
    ::testing::Values(
        // 4 characters fit in 40 pixels of text: the field is 44 with its gutters.
        BreakCase{"aaaa bbbb", 44, {"aaaa ", "bbbb"}},
        BreakCase{"aaaa bbbb", 43, {"aaa", "a ", "bbb", "b"}},
        BreakCase{"aa bb cc", 83, {"aa bb ", "cc"}}, BreakCase{"aa bb cc", 84, {"aa bb cc"}},
        BreakCase{"a\rb\rc", 1000, {"a\r", "b\r", "c"}}, BreakCase{"a\r", 1000, {"a\r", ""}},
        BreakCase{"", 100, {""}}));

TEST(TextLayoutTest, TextSitsInsideATwoPixelGutter) {
    const TextLayout l = lay("ab", 200, false);
    ASSERT_EQ(l.lines.size(), 1u);
    EXPECT_DOUBLE_EQ(l.lines[0].glyphs[0].x, 2);
    EXPECT_DOUBLE_EQ(l.lines[0].glyphs[1].x, 12);
    EXPECT_DOUBLE_EQ(l.textWidth, 20);
    EXPECT_DOUBLE_EQ(l.textHeight, 20); // ascent + descent
}

TEST(TextLayoutTest, AlignmentMarginsAndLeadingPlaceLines) {
    TextFormat f;
    f.align = TextAlign::Right;
    f.rightMargin = 6;
    f.leading = 3;
    const TextLayout right = lay("ab\rc", 100, false, f);
    // 100 - 2 gutter - 6 margin = 92: "ab" ends there, "c" too.
    EXPECT_DOUBLE_EQ(right.lines[0].left, 72);
    EXPECT_DOUBLE_EQ(right.lines[1].left, 82);
    EXPECT_DOUBLE_EQ(right.lines[1].top, 23);
    EXPECT_DOUBLE_EQ(right.textHeight, 43); // the last line's leading left out
    f.align = TextAlign::Center;
    f.rightMargin = 0;
    EXPECT_DOUBLE_EQ(lay("ab", 100, false, f).lines[0].left, 2 + (96 - 20) / 2.0);
}

struct WidthCase {
    TextAlign align;
    bool legacy;
    double width; // "aa  ": 20 pixels of letters, 20 of spaces
};

class TrailingSpaceTest : public ::testing::TestWithParam<WidthCase> {};

// Trailing spaces widen a left-aligned line, and every line of older movies.
TEST_P(TrailingSpaceTest, CountWhereTheAlignmentSays) {
    const WidthCase& c = GetParam();
    TextFormat format = TextFormat::defaults("x", 20);
    format.align = c.align;
    FormattedText t;
    t.append(u"aa  ", format);
    OneFont fonts;
    LayoutOptions options{1000, false, true, false};
    options.legacy = c.legacy;
    EXPECT_DOUBLE_EQ(layoutText(t, options, fonts).textWidth, c.width);
}

INSTANTIATE_TEST_SUITE_P(Cases, TrailingSpaceTest,
                         ::testing::Values(WidthCase{TextAlign::Left, false, 40},
                                           WidthCase{TextAlign::Right, false, 20},
                                           WidthCase{TextAlign::Center, false, 20},
                                           WidthCase{TextAlign::Right, true, 40}));

// Noto Sans's layout (ascent 21900, descent 6000 of 20480) at 12 pixels with a leading of 2:
// the text heights Flash reported for 1, 3, 5 and 7 lines.
class NotoLikeFont final : public GlyphFont {
public:
    double ascent() const override { return 21900.0 / 20480 * kEm; }
    double descent() const override { return 6000.0 / 20480 * kEm; }
    double leading() const override { return 0; }
    bool hasGlyph(char16_t) const override { return true; }
    double advance(char16_t) const override { return kEm / 2; }
    double kerning(char16_t, char16_t) const override { return 0; }
    std::shared_ptr<const Shape> outline(char16_t) const override { return nullptr; }
};

TEST(TextLayoutTest, LineHeightsAreWholeTwips) {
    struct NotoFonts final : FontResolver {
        std::shared_ptr<const GlyphFont> resolve(const TextFormat&) override { return font; }
        std::shared_ptr<const GlyphFont> font = std::make_shared<NotoLikeFont>();
    } fonts;
    const std::pair<const char16_t*, double> cases[] = {
        {u"a", 18}, {u"a\rb\rc", 52}, {u"a\rb\rc\rd\re", 89}, {u"a\rb\rc\rd\re\rf\rg", 126}};
    for (const auto& [text, height] : cases) {
        TextFormat format = TextFormat::defaults("x", 12);
        format.leading = 2;
        FormattedText t;
        t.append(text, format);
        EXPECT_EQ(std::floor(layoutText(t, LayoutOptions{1000, false, true, false}, fonts)
                                 .textHeight),
                  height);
    }
}

TEST(TextLayoutTest, BulletsIndentTheirParagraphAndIgnoreAlignment) {
    TextFormat f;
    f.bullet = true;
    f.align = TextAlign::Right;
    f.leftMargin = 5;
    const TextLayout l = lay("ab\r", 200, false, f);
    ASSERT_GE(l.lines[0].glyphs.size(), 3u);
    EXPECT_EQ(l.lines[0].glyphs[0].c, u'\u2022');
    EXPECT_DOUBLE_EQ(l.lines[0].glyphs[0].x, 2 + 5 + 18);
    EXPECT_DOUBLE_EQ(l.lines[0].glyphs[1].x, 2 + 5 + 35);
    // The empty line after the last paragraph end adds no height.
    EXPECT_DOUBLE_EQ(l.textHeight, 20);
}

// A field with an embedded font of half-EM glyphs ("a", "b", " ") sizes itself to its text.
class EmbeddedFieldTest : public ::testing::Test {
protected:
    EmbeddedFieldTest() {
        auto font = std::make_shared<Font>();
        font->version = 2;
        font->name = "Half";
        font->hasLayout = true;
        font->ascent = 820;
        font->descent = 204;
        for (char16_t c : {u'a', u'b', u' '}) {
            Glyph g;
            g.code = c;
            g.advance = 512;
            font->glyphs.push_back(g);
        }
        fonts = std::make_shared<EmbeddedFontSet>(std::vector<std::shared_ptr<const Font>>{font});
        def.bounds = {0, 2000, 0, 2000};
        def.hasFont = def.useOutlines = true;
        def.height = 400; // 20 pixels
    }
    std::shared_ptr<EmbeddedFontSet> fonts;
    EditText def;
};

TEST_F(EmbeddedFieldTest, AutoSizeFitsTheTextAndItsGutters) {
    struct Case {
        AutoSize mode;
        int32_t xMin, xMax;
    };
    // "ab" is 20 pixels: 24 with gutters (480 twips), kept at the left, centre or right.
    const Case cases[] = {
        {AutoSize::Left, 0, 480}, {AutoSize::Center, 760, 1240}, {AutoSize::Right, 1520, 2000}};
    for (const Case& c : cases) {
        EditField field(def, "Half", fonts);
        field.autoSize = c.mode;
        field.setText("ab");
        EXPECT_EQ(field.bounds.xMin, c.xMin);
        EXPECT_EQ(field.bounds.xMax, c.xMax);
        // Ascent 320.3 and descent 79.7 twips, each cut to whole twips, and 4 pixels.
        EXPECT_EQ(field.bounds.yMax - field.bounds.yMin, 320 + 79 + 80);
    }
}

TEST_F(EmbeddedFieldTest, CentreAndRightSizesMoveTheFieldBySizeChange) {
    // A one-pixel field given " " (10 pixels, 14 with gutters): Flash moved it 13 and 6.5
    // pixels left.
    def.bounds = {0, 20, 0, 20};
    const std::pair<AutoSize, int32_t> cases[] = {
        {AutoSize::Left, 0}, {AutoSize::Center, -130}, {AutoSize::Right, -260}};
    for (const auto& [mode, shift] : cases) {
        EditField field(def, "Half", fonts);
        field.autoSize = mode;
        field.setText(" ");
        EXPECT_EQ(field.takeAutoSizeShift(), shift);
        EXPECT_EQ(field.bounds.xMin, 0);
        EXPECT_EQ(field.bounds.xMax, 280);
        EXPECT_EQ(field.takeAutoSizeShift(), 0);
    }
}

TEST_F(EmbeddedFieldTest, EachLineEndCharacterEndsAParagraph) {
    def.multiline = true;
    EditField field(def, "Half", fonts);
    field.setText("a\r\nb\nc");
    EXPECT_EQ(field.text(), "a\r\rb\rc");
}

TEST_F(EmbeddedFieldTest, ScrollLimitsFollowTheLinesThatFit) {
    def.bounds = {0, 2000, 0, 20 * (2 * 20 + 4)}; // two lines of 20 pixels
    def.multiline = true;
    EditField field(def, "Half", fonts);
    field.setText("a\nb\na\nb\na");
    EXPECT_EQ(field.layout().lines.size(), 5u);
    EXPECT_EQ(field.maxScroll(), 4);
    EXPECT_EQ(field.bottomScroll(), 2);
    field.scroll = 3;
    EXPECT_EQ(field.bottomScroll(), 4);
    EXPECT_EQ(field.text(), "a\rb\ra\rb\ra");
}

TEST(FormattedTextTest, FormatsApplyToRangesAndShareOnlyCommonFields) {
    FormattedText t;
    t.append(u"abc\rde", TextFormat::defaults("x", 12));
    TextFormat bold;
    bold.bold = true;
    bold.align = TextAlign::Center; // a paragraph field: the whole first paragraph
    t.applyFormat(1, 2, bold);
    EXPECT_FALSE(*t.formatAt(0).bold);
    EXPECT_TRUE(*t.formatAt(1).bold);
    EXPECT_EQ(t.formatAt(0).align, TextAlign::Center);
    EXPECT_EQ(t.formatAt(4).align, TextAlign::Left);
    const TextFormat common = t.commonFormat(0, 3);
    EXPECT_FALSE(common.bold.has_value());
    EXPECT_EQ(common.font, "x");
    t.replace(1, 3, u"XY", TextFormat::defaults("y", 12));
    EXPECT_EQ(toUtf8(t.text()), "aXY\rde");
    EXPECT_EQ(t.formatAt(2).font, "y");
    EXPECT_EQ(t.formatAt(3).font, "x");
}

} // namespace
} // namespace swivio::swf::text
