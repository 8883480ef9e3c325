// DefineEditText as the field reads it: every optional part where its flag says, and bodies
// cut short anywhere refused.
#include <gtest/gtest.h>

#include "base/byte_reader.h"
#include "swf/format/edit_text.h"
#include "tests/support/swf_writer.h"

namespace swivio::swf {
namespace {

// A field with a font, colour, length limit, layout, variable and text.
std::vector<uint8_t> fullBody() {
    testkit::SwfBits b;
    b.rect(-40, 2000, 0, 400);
    b.u8(0x80 | 0x40 | 0x20 | 0x04 | 0x02 | 0x01); // text, wrap, multiline, colour, max, font
    b.u8(0x40 | 0x20 | 0x08 | 0x02);               // autoSize, layout, border, html
    b.u16(7).u16(240);                             // font 7 at 12 pixels
    b.u8(0x11).u8(0x22).u8(0x33).u8(0x80);         // colour
    b.u16(50);                                     // maxLength
    b.u8(2).u16(20).u16(40).s16(-60).s16(80);      // centre, margins, indent, leading
    b.cstring("_root.v");
    b.cstring("<b>hi</b>");
    return b.data();
}

TEST(EditTextTest, ReadsEveryPartItsFlagsAnnounce) {
    const std::vector<uint8_t> body = fullBody();
    ByteReader in(body);
    auto e = parseDefineEditText(in);
    ASSERT_TRUE(e.ok()) << e.message();
    EXPECT_EQ(e->bounds, (Rect{-40, 2000, 0, 400}));
    EXPECT_TRUE(e->wordWrap && e->multiline && e->hasTextColor && e->autoSize && e->border);
    EXPECT_TRUE(e->html && e->hasLayout);
    EXPECT_FALSE(e->password || e->readOnly || e->noSelect || e->useOutlines);
    EXPECT_EQ(e->fontId, 7);
    EXPECT_EQ(e->height, 240);
    EXPECT_EQ(e->color.r, 0x11);
    EXPECT_EQ(e->color.a, 0x80);
    EXPECT_EQ(e->maxLength, 50);
    EXPECT_EQ(e->align, EditTextAlign::Center);
    EXPECT_EQ(e->leftMargin, 20);
    EXPECT_EQ(e->rightMargin, 40);
    EXPECT_EQ(e->indent, -60);
    EXPECT_EQ(e->leading, 80);
    EXPECT_EQ(e->variableName, "_root.v");
    EXPECT_EQ(e->initialText, "<b>hi</b>");
}

TEST(EditTextTest, BodiesCutBeforeTheVariableNameEndsFail) {
    const std::vector<uint8_t> body = fullBody();
    // Every cut up to the variable name's terminator leaves the field incomplete.
    const std::size_t nameEnd = body.size() - std::string("<b>hi</b>").size() - 1;
    for (std::size_t cut = 0; cut < nameEnd; ++cut) {
        ByteReader in(std::span<const uint8_t>(body.data(), cut));
        EXPECT_FALSE(parseDefineEditText(in).ok()) << "cut at " << cut;
    }
}

TEST(EditTextTest, TextWithoutItsEndKeepsWhatIsThere) {
    std::vector<uint8_t> body = fullBody();
    body.pop_back(); // the text's terminator
    ByteReader in(body);
    auto e = parseDefineEditText(in);
    ASSERT_TRUE(e.ok());
    EXPECT_EQ(e->initialText, "<b>hi</b>");
}

} // namespace
} // namespace swivio::swf
