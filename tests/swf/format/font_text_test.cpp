#include <map>
#include <vector>

#include <gtest/gtest.h>

#include "swf/format/font.h"
#include "swf/format/text.h"
#include "tests/support/swf_writer.h"
#include "tests/swf/format/edge_record_writer.h"

namespace swivio::swf {
namespace {

using testkit::EdgeRecordWriter;
using testkit::SwfBits;

constexpr uint16_t kDefineFont = 10;
constexpr uint16_t kDefineFont2 = 48;
constexpr uint16_t kDefineFont3 = 75;
constexpr uint16_t kDefineText = 11;
constexpr uint16_t kDefineText2 = 33;

// A filled square glyph from (0, -size) to (size, 0): above the baseline, as glyphs are.
std::vector<uint8_t> squareGlyph(int32_t size) {
    SwfBits b;
    EdgeRecordWriter w(b, 1, 0);
    w.moveTo(0, 0, -1, 1).lineBy(0, -size).lineBy(size, 0).lineBy(0, size).lineBy(-size, 0);
    w.end();
    return b.data();
}

// A triangle glyph, to tell glyphs apart.
std::vector<uint8_t> triangleGlyph(int32_t size) {
    SwfBits b;
    EdgeRecordWriter w(b, 1, 0);
    w.moveTo(0, 0, 1).lineBy(size / 2, -size).lineBy(size / 2, size).lineBy(-size, 0);
    w.end();
    return b.data();
}

struct FontSpec {
    uint16_t tag = kDefineFont2;
    bool wideOffsets = false;
    bool wideCodes = true;
    bool layout = true;
    std::string name = "Serif";
    std::vector<std::vector<uint8_t>> glyphs;
    std::vector<uint16_t> codes;
};

// The body of DefineFont2/3 after the font id, glyph offsets computed from the shapes.
std::vector<uint8_t> fontBody(const FontSpec& f) {
    SwfBits b;
    b.u8(uint8_t((f.layout ? 0x80 : 0) | (f.wideOffsets ? 0x08 : 0) | (f.wideCodes ? 0x04 : 0) |
                 0x02));
    b.u8(1).u8(uint8_t(f.name.size()));
    for (char c : f.name)
        b.u8(uint8_t(c));
    b.u16(uint16_t(f.glyphs.size()));
    const std::size_t offsetSize = f.wideOffsets ? 4 : 2;
    std::size_t offset = (f.glyphs.size() + 1) * offsetSize;
    auto putOffset = [&](std::size_t v) {
        if (f.wideOffsets)
            b.u32(uint32_t(v));
        else
            b.u16(uint16_t(v));
    };
    for (const auto& g : f.glyphs) {
        putOffset(offset);
        offset += g.size();
    }
    putOffset(offset); // code table
    for (const auto& g : f.glyphs)
        b.bytes(g);
    for (uint16_t code : f.codes) {
        if (f.wideCodes)
            b.u16(code);
        else
            b.u8(uint8_t(code));
    }
    if (f.layout) {
        b.u16(900).u16(200).s16(-30);
        for (std::size_t i = 0; i < f.glyphs.size(); ++i)
            b.s16(int16_t(500 + 100 * i));
        for (std::size_t i = 0; i < f.glyphs.size(); ++i)
            b.rect(0, 1024, -1024, 0);
        b.u16(1);
        if (f.wideCodes)
            b.u16(f.codes[0]).u16(f.codes[1]);
        else
            b.u8(uint8_t(f.codes[0])).u8(uint8_t(f.codes[1]));
        b.s16(-40);
    }
    return b.data();
}

// Offset width, code width, tag: DefineFont3 with narrow codes reads them as 8-bit too.
class FontFormatTest : public ::testing::TestWithParam<std::tuple<bool, bool, uint16_t>> {};

TEST_P(FontFormatTest, ReadsHeaderGlyphsCodesAndLayout) {
    const auto [wideOffsets, wideCodes, tag] = GetParam();
    FontSpec fontLayout;
    fontLayout.wideOffsets = wideOffsets;
    fontLayout.wideCodes = wideCodes;
    fontLayout.glyphs = {squareGlyph(1024), triangleGlyph(800)};
    fontLayout.codes = {'A', wideCodes ? uint16_t(0x263A) : uint16_t('b')};
    const std::vector<uint8_t> data = fontBody(fontLayout);
    ByteReader reader(data);
    auto font = parseDefineFont(tag, reader);
    ASSERT_TRUE(font.ok()) << font.message();
    EXPECT_EQ(font->version, tag == kDefineFont3 ? 3 : 2);
    EXPECT_EQ(font->name, "Serif");
    EXPECT_TRUE(font->italic);
    EXPECT_FALSE(font->bold);
    EXPECT_EQ(font->language, 1);
    ASSERT_EQ(font->glyphs.size(), 2u);
    EXPECT_EQ(font->glyphs[0].code, 'A');
    EXPECT_EQ(font->glyphs[1].code, fontLayout.codes[1]);
    const std::vector<Edge>& square = font->glyphs[0].shape.groups.at(0).edges;
    ASSERT_EQ(square.size(), 4u);
    EXPECT_EQ(square[0].fill1, 1);
    EXPECT_EQ(square[1].x1, 1024);
    EXPECT_EQ(square[1].y1, -1024);
    EXPECT_EQ(font->glyphs[0].shape.bounds, (Rect{0, 1024, -1024, 0}));
    EXPECT_EQ(font->glyphs[1].shape.groups.at(0).edges.size(), 3u);
    EXPECT_EQ(font->glyphs[1].shape.groups.at(0).edges[0].fill0, 1);
    ASSERT_TRUE(font->hasLayout);
    EXPECT_EQ(font->ascent, 900);
    EXPECT_EQ(font->descent, 200);
    EXPECT_EQ(font->leading, -30);
    EXPECT_EQ(font->glyphs[1].advance, 600);
    EXPECT_EQ(font->glyphs[1].bounds, (Rect{0, 1024, -1024, 0}));
    ASSERT_EQ(font->kerning.size(), 1u);
    EXPECT_EQ(font->kerning[0].right, fontLayout.codes[1]);
    EXPECT_EQ(font->kerning[0].adjustment, -40);
}

INSTANTIATE_TEST_SUITE_P(OffsetAndCodeWidths, FontFormatTest,
                         ::testing::Combine(::testing::Bool(), ::testing::Bool(),
                                            ::testing::Values(kDefineFont2, kDefineFont3)));

TEST(Font, DefineFontHoldsOnlyGlyphShapes) {
    const std::vector<uint8_t> a = squareGlyph(512), b = triangleGlyph(300);
    SwfBits body;
    body.u16(4).u16(uint16_t(4 + a.size())).bytes(a).bytes(b);
    const std::vector<uint8_t> data = body.data();
    ByteReader reader(data);
    auto font = parseDefineFont(kDefineFont, reader);
    ASSERT_TRUE(font.ok()) << font.message();
    EXPECT_EQ(font->version, 1);
    EXPECT_DOUBLE_EQ(font->emSquare(), 1024);
    ASSERT_EQ(font->glyphs.size(), 2u);
    EXPECT_EQ(font->glyphs[0].shape.groups[0].edges.size(), 4u);
    EXPECT_EQ(font->glyphs[1].shape.groups[0].edges.size(), 3u);
    EXPECT_EQ(font->glyphs[1].shape.groups[0].edges[0].x1, 150);
}

TEST(Font, DamagedFontsFailOrKeepWhatIsWhole) {
    FontSpec fontLayout;
    fontLayout.glyphs = {squareGlyph(1024), triangleGlyph(800)};
    fontLayout.codes = {'A', 'B'};
    const std::vector<uint8_t> data = fontBody(fontLayout);
    for (std::size_t n = 0; n < data.size(); ++n) {
        ByteReader reader(data.data(), n);
        auto font = parseDefineFont(kDefineFont2, reader);
        // The last bytes are the kerning table, which is allowed to be cut short.
        if (font.ok()) {
            EXPECT_GE(n, data.size() - 6) << "accepted a font cut at " << n;
            EXPECT_TRUE(font->kerning.empty());
        }
    }
    // A glyph offset pointing past the table leaves that glyph empty, the others intact.
    std::vector<uint8_t> badOffset = data;
    const std::size_t offsets = 3 + fontLayout.name.size() + 2;
    badOffset[offsets] = 0xF0;
    ByteReader reader(badOffset);
    auto font = parseDefineFont(kDefineFont2, reader);
    ASSERT_TRUE(font.ok()) << font.message();
    EXPECT_TRUE(font->glyphs[0].shape.groups[0].edges.empty());
    EXPECT_EQ(font->glyphs[1].shape.groups[0].edges.size(), 3u);

    ByteReader other(data);
    EXPECT_FALSE(parseDefineFont(kDefineText, other).ok());
}

// Fonts by id for layout.
class FontTable : public FontLookup {
public:
    std::map<uint16_t, Font> fonts;
    const Font* font(uint16_t id) const override {
        auto it = fonts.find(id);
        return it == fonts.end() ? nullptr : &it->second;
    }
};

Font parsedFont(uint16_t tag, int32_t glyphSize) {
    FontSpec fontLayout;
    fontLayout.tag = tag;
    fontLayout.layout = false;
    fontLayout.glyphs = {squareGlyph(glyphSize), triangleGlyph(glyphSize)};
    fontLayout.codes = {'A', 'B'};
    const std::vector<uint8_t> data = fontBody(fontLayout);
    ByteReader reader(data);
    auto font = parseDefineFont(tag, reader);
    EXPECT_TRUE(font.ok()) << font.message();
    return font.ok() ? *font : Font{};
}

// Where a glyph-space point lands in the text's space.
std::pair<double, double> mapped(const PositionedGlyph& g, double x, double y) {
    return {g.matrix.mapX(x, y), g.matrix.mapY(x, y)};
}

struct TextBody {
    uint16_t tag = kDefineText;
    SwfBits bits;
    int glyphBits = 4, advanceBits = 12;

    TextBody() { bits.rect(0, 4000, -1000, 1000).matrix(1, 1, 0, 0, 100, 2000); }
    void header() { bits.u8(uint8_t(glyphBits)).u8(uint8_t(advanceBits)); }
    void record(int font, int height, const Rgba* color, int x, int y,
                std::vector<std::pair<int, int>> glyphs) {
        const uint8_t flags = uint8_t(0x80 | (font >= 0 ? 0x08 : 0) | (color ? 0x04 : 0) |
                                      (y != kNone ? 0x02 : 0) | (x != kNone ? 0x01 : 0));
        bits.u8(flags);
        if (font >= 0)
            bits.u16(uint16_t(font));
        if (color) {
            bits.u8(color->r).u8(color->g).u8(color->b);
            if (tag == kDefineText2)
                bits.u8(color->a);
        }
        if (x != kNone)
            bits.s16(int16_t(x));
        if (y != kNone)
            bits.s16(int16_t(y));
        if (font >= 0)
            bits.u16(uint16_t(height));
        bits.u8(uint8_t(glyphs.size()));
        for (auto [index, advance] : glyphs)
            bits.ub(glyphBits, uint32_t(index)).sb(advanceBits, advance);
        bits.align();
    }
    std::vector<uint8_t> finish() { return bits.u8(0).data(); }
    static constexpr int kNone = -99999;
};

TEST(StaticText, Font3GlyphsAreTwentyTimesFinerThanFont2Glyphs) {
    FontTable fonts;
    fonts.fonts[1] = parsedFont(kDefineFont2, 1024);
    fonts.fonts[2] = parsedFont(kDefineFont3, 20480);
    EXPECT_DOUBLE_EQ(fonts.fonts[2].emSquare(), 20480);
    for (int fontId : {1, 2}) {
        TextBody t;
        t.header();
        t.record(fontId, 400, nullptr, 0, 0, {{0, 0}});
        const std::vector<uint8_t> data = t.finish();
        ByteReader reader(data);
        auto text = parseDefineText(kDefineText, reader);
        ASSERT_TRUE(text.ok()) << text.message();
        const auto glyphs = layoutText(*text, fonts);
        ASSERT_EQ(glyphs.size(), 1u);
        // The glyph's far corner, a full EM square away, lands one text height away.
        const auto& glyph = fonts.fonts[uint16_t(fontId)].glyphs[0].shape.groups[0].edges[1];
        const auto [x, y] = mapped(glyphs[0], glyph.x1, glyph.y1);
        EXPECT_NEAR(x, 100 + 400, 1e-9) << "font " << fontId;
        EXPECT_NEAR(y, 2000 - 400, 1e-9) << "font " << fontId;
    }
}

TEST(StaticText, RecordsPlaceGlyphsWithColoursAdvancesAndOffsets) {
    FontTable fonts;
    fonts.fonts[5] = parsedFont(kDefineFont2, 1024);
    const Rgba red{255, 0, 0, 255}, green{0, 128, 0, 100};
    for (uint16_t tag : {kDefineText, kDefineText2}) {
        TextBody t;
        t.tag = tag;
        t.header();
        t.record(5, 240, &red, 300, 500, {{0, 200}, {1, 150}, {0, 0}});
        // No x offset: the pen carries on from the first record; a new colour and line.
        t.record(-1, 0, &green, TextBody::kNone, 800, {{1, 100}});
        // A font that does not exist: skipped, but the pen still moves.
        t.record(9, 240, nullptr, TextBody::kNone, TextBody::kNone, {{0, 1000}});
        t.record(5, 480, nullptr, TextBody::kNone, TextBody::kNone, {{0, 10}, {7, 10}, {1, 0}});
        const std::vector<uint8_t> data = t.finish();
        ByteReader reader(data);
        auto text = parseDefineText(tag, reader);
        ASSERT_TRUE(text.ok()) << text.message();
        ASSERT_EQ(text->records.size(), 4u);
        EXPECT_EQ(text->bounds, (Rect{0, 4000, -1000, 1000}));
        EXPECT_EQ(text->records[0].glyphs[1].advance, 150);

        const auto glyphs = layoutText(*text, fonts);
        struct Want {
            uint32_t index;
            double x, y, scale;
            Rgba color;
        };
        const Rgba green2 = tag == kDefineText2 ? green : Rgba{0, 128, 0, 255};
        const std::vector<Want> want = {
            {0, 300, 500, 240.0 / 1024, red},     {1, 500, 500, 240.0 / 1024, red},
            {0, 650, 500, 240.0 / 1024, red},     {1, 650, 800, 240.0 / 1024, green2},
            {0, 1750, 800, 480.0 / 1024, green2}, {1, 1770, 800, 480.0 / 1024, green2},
        };
        ASSERT_EQ(glyphs.size(), want.size()) << "tag " << tag;
        for (std::size_t i = 0; i < want.size(); ++i) {
            EXPECT_EQ(glyphs[i].fontId, 5);
            EXPECT_EQ(glyphs[i].glyphIndex, want[i].index) << i;
            EXPECT_EQ(glyphs[i].color, want[i].color) << i;
            // Origin: the text matrix's translation plus the pen position.
            const auto [ox, oy] = mapped(glyphs[i], 0, 0);
            EXPECT_DOUBLE_EQ(ox, 100 + want[i].x) << i;
            EXPECT_DOUBLE_EQ(oy, 2000 + want[i].y) << i;
            EXPECT_DOUBLE_EQ(glyphs[i].matrix.a, want[i].scale) << i;
            EXPECT_DOUBLE_EQ(glyphs[i].matrix.d, want[i].scale) << i;
        }
    }
}

TEST(StaticText, GlyphShapeCarriesTheTextColour) {
    const Font font = parsedFont(kDefineFont2, 1024);
    const Rgba blue{0, 0, 255, 200};
    const Shape shape = glyphShape(font, 1, blue);
    ASSERT_EQ(shape.groups.size(), 1u);
    ASSERT_EQ(shape.groups[0].fills.size(), 1u);
    EXPECT_EQ(shape.groups[0].fills[0].type, FillType::Solid);
    EXPECT_EQ(shape.groups[0].fills[0].color, blue);
    EXPECT_EQ(shape.groups[0].edges.size(), 3u);
    EXPECT_TRUE(glyphShape(font, 2, blue).groups[0].edges.empty());
}

TEST(StaticText, DamagedTextsFailWithoutCrashing) {
    TextBody t;
    t.header();
    const Rgba red{255, 0, 0, 255};
    t.record(1, 240, &red, 0, 0, {{1, 10}, {2, 20}, {3, 30}});
    const std::vector<uint8_t> data = t.finish();
    for (std::size_t n = 0; n < data.size(); ++n) {
        ByteReader reader(data.data(), n);
        EXPECT_FALSE(parseDefineText(kDefineText, reader).ok()) << "cut at " << n;
    }
    // A record claiming 255 glyphs of 64 bits each in a few bytes.
    TextBody wide;
    wide.glyphBits = 32;
    wide.advanceBits = 32;
    wide.header();
    wide.bits.u8(0x88).u16(1).u16(240).u8(255).u32(0).u32(0);
    const std::vector<uint8_t> wideData = wide.finish();
    ByteReader wideReader(wideData);
    EXPECT_FALSE(parseDefineText(kDefineText, wideReader).ok());

    TextBody tooWide;
    tooWide.glyphBits = 33;
    tooWide.header();
    const std::vector<uint8_t> tooWideData = tooWide.finish();
    ByteReader tooWideReader(tooWideData);
    EXPECT_FALSE(parseDefineText(kDefineText, tooWideReader).ok());
}

} // namespace
} // namespace swivio::swf
