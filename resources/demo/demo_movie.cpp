// The demo movie: a few seconds of vector animation with gradients, strokes, a bitmap,
// static text, a mask and moving clips.
#include "resources/demo/demo_movie.h"

#include <cmath>
#include <string>
#include <vector>

#include "swf/writer/swf_movies.h"
#include "swf/writer/swf_shapes.h"
#include "swf/writer/swf_writer.h"

namespace swivio::demo {

using namespace swivio::swf::writer;

namespace {

constexpr int32_t kTwips = 20;

enum Id : uint16_t {
    kSky = 1,
    kSun,
    kHills,
    kSignBitmap,
    kSign,
    kFont,
    kTitle,
    kBall,
    kBallClip,
    kStripes,
    kStripesClip,
    kLens,
    kCloud,
};

// A closed circle of radius r (twips) around (cx, cy) from eight quadratic curves.
void circle(ShapeBuilder& s, int32_t cx, int32_t cy, int32_t r) {
    s.moveTo(cx + r, cy);
    for (int i = 1; i <= 8; ++i) {
        const double a0 = (i - 1) * M_PI / 4, a1 = i * M_PI / 4, am = (a0 + a1) / 2;
        const double rc = r / std::cos(M_PI / 8);
        s.curveTo(cx + int32_t(rc * std::cos(am)), cy + int32_t(rc * std::sin(am)),
                  cx + int32_t(r * std::cos(a1)), cy + int32_t(r * std::sin(a1)));
    }
}

// Glyphs of a blocky 5 x 7 letter grid in the 1024-unit EM square, baseline at y = 0.
std::vector<uint8_t> blockGlyph(const char* rows[7]) {
    ShapeBuilder g(1);
    g.styles(0, 1);
    const int cell = 140;
    for (int row = 0; row < 7; ++row)
        for (int col = 0; col < 5; ++col)
            if (rows[row][col] == '#') {
                const int32_t x = 40 + col * cell, y = -1000 + row * cell;
                g.rectangle(x, y, x + cell, y + cell);
            }
    return g.glyphShape();
}

std::vector<std::vector<uint8_t>> titleFont() {
    const char* s[7] = {".####", "#....", "#....", ".###.", "....#", "....#", "####."};
    const char* w[7] = {"#...#", "#...#", "#...#", "#.#.#", "#.#.#", "##.##", "#...#"};
    const char* i[7] = {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "#####"};
    const char* v[7] = {"#...#", "#...#", "#...#", "#...#", ".#.#.", ".#.#.", "..#.."};
    const char* o[7] = {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."};
    return {blockGlyph(s), blockGlyph(w), blockGlyph(i), blockGlyph(v), blockGlyph(o)};
}

// A 32 x 32 bitmap of coloured quarters, stored as 24-bit lossless pixels (pad, R, G, B).
std::vector<uint8_t> signBitmap() {
    std::vector<uint8_t> raw;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const bool right = x >= 16, bottom = y >= 16;
            const uint32_t rgb = right ? (bottom ? 0xF0C020 : 0x2080F0)
                                       : (bottom ? 0x30C060 : 0xE04040);
            const bool border = x == 0 || y == 0 || x == 31 || y == 31;
            raw.push_back(0);
            raw.push_back(border ? 0xFF : uint8_t(rgb >> 16));
            raw.push_back(border ? 0xFF : uint8_t(rgb >> 8));
            raw.push_back(border ? 0xFF : uint8_t(rgb));
        }
    return losslessBody(5, 32, 32, raw);
}

void define(SwfWriter& w, const ShapeBuilder& s, uint16_t id, int32_t x0, int32_t x1, int32_t y0,
            int32_t y1) {
    w.tag(s.tagCode(), s.defineShape(id, x0, x1, y0, y1));
}

std::vector<uint8_t> withId(uint16_t id, const std::vector<uint8_t>& body) {
    SwfBits out;
    out.u16(id).bytes(body);
    return out.data();
}

} // namespace


std::vector<uint8_t> demoMovie(int frames) {
    const int count = frames < 1 ? 1 : frames > 65535 ? 65535 : frames;
    SwfWriter w;
    w.version = 8;
    w.compression = Compression::Zlib;
    w.xMax = 550 * kTwips;
    w.yMax = 400 * kTwips;
    w.frameRate88 = 24 << 8;
    w.frameCount = uint16_t(count);
    w.backgroundColor(0x18, 0x20, 0x40);

    // Sky: a linear gradient from dusk blue to a warm horizon, left to right.
    ShapeBuilder sky(3);
    sky.styles(0, sky.gradientFill(false, {{0, 0x20, 0x40, 0x90, 255}, {255, 0xF0, 0xA0, 0x60, 255}},
                                   550.0 * kTwips / 32768, 275 * kTwips, 0));
    sky.rectangle(0, 0, 550 * kTwips, 400 * kTwips);
    define(w, sky, kSky, 0, 550 * kTwips, 0, 400 * kTwips);

    // Sun: a radial gradient disc with an outline.
    ShapeBuilder sun(3);
    sun.styles(0, sun.gradientFill(true, {{0, 0xFF, 0xF8, 0xC0, 255}, {200, 0xFF, 0xC0, 0x30, 255},
                                          {255, 0xF0, 0x80, 0x20, 255}},
                                   80.0 * kTwips / 16384),
               sun.lineStyle(3 * kTwips, 0xC0, 0x50, 0x10));
    circle(sun, 0, 0, 80 * kTwips);
    define(w, sun, kSun, -85 * kTwips, 85 * kTwips, -85 * kTwips, 85 * kTwips);

    // Hills: curved ground with a dark stroke along its top.
    ShapeBuilder hills(3);
    hills.styles(0, hills.solidFill(0x30, 0x90, 0x40), hills.lineStyle(4 * kTwips, 0x10, 0x40, 0x18));
    hills.moveTo(0, 300 * kTwips)
        .curveTo(140 * kTwips, 230 * kTwips, 280 * kTwips, 290 * kTwips)
        .curveTo(420 * kTwips, 340 * kTwips, 550 * kTwips, 260 * kTwips)
        .lineTo(550 * kTwips, 400 * kTwips)
        .lineTo(0, 400 * kTwips)
        .lineTo(0, 300 * kTwips);
    define(w, hills, kHills, 0, 550 * kTwips, 220 * kTwips, 400 * kTwips);

    // A sign: a bitmap-filled board on a post.
    w.tag(TagCode::DefineBitsLossless, withId(kSignBitmap, signBitmap()));
    ShapeBuilder sign(3);
    sign.styles(0, sign.solidFill(0x60, 0x40, 0x20));
    sign.rectangle(28 * kTwips, 64 * kTwips, 36 * kTwips, 120 * kTwips);
    sign.newStyles();
    sign.styles(0, sign.bitmapFill(kSignBitmap, 0x41, 2 * kTwips), sign.lineStyle(kTwips, 0, 0, 0));
    sign.rectangle(0, 0, 64 * kTwips, 64 * kTwips);
    define(w, sign, kSign, 0, 64 * kTwips, 0, 120 * kTwips);

    // Static text in a font of its own.
    w.tag(TagCode::DefineFont, defineFont1(kFont, titleFont()));
    TextLine title;
    title.fontId = kFont;
    title.height = 48 * kTwips;
    title.r = 0xFF, title.g = 0xFF, title.b = 0xFF;
    title.x = 0;
    title.y = 48 * kTwips;
    const int advance = 44 * kTwips;
    for (uint32_t glyph : {0u, 1u, 2u, 3u, 2u, 4u}) // S W I V I O
        title.glyphs.push_back({glyph, advance});
    w.tag(TagCode::DefineText2, defineText2(kTitle, 0, 6 * advance, 0, 50 * kTwips, {title}));

    // A ball clip whose own eight frames squash and stretch it while the root moves it.
    ShapeBuilder ball(3);
    ball.styles(0, ball.gradientFill(true, {{0, 0xFF, 0xFF, 0xFF, 255}, {255, 0xD0, 0x20, 0x40, 255}},
                                     30.0 * kTwips / 16384, -8 * kTwips, -8 * kTwips),
                ball.lineStyle(2 * kTwips, 0x60, 0x08, 0x10));
    circle(ball, 0, 0, 30 * kTwips);
    define(w, ball, kBall, -32 * kTwips, 32 * kTwips, -32 * kTwips, 32 * kTwips);
    SpriteBuilder ballClip;
    for (int f = 0; f < 8; ++f) {
        const double squash = 1.0 + 0.25 * std::sin(f * M_PI / 4);
        Place p = Place().at(1).scale(squash, 2.0 - squash);
        if (f == 0)
            p.of(kBall);
        else
            p.moving();
        ballClip.place(p).showFrame();
    }
    w.tag(TagCode::DefineSprite, ballClip.defineSprite(kBallClip));

    // Stripes seen through a round lens: the lens masks a clip of sliding stripes.
    ShapeBuilder stripes(3);
    const int stripe = stripes.solidFill(0xFF, 0xFF, 0xFF, 200);
    for (int i = 0; i < 12; ++i) {
        stripes.styles(0, stripe);
        stripes.rectangle(i * 20 * kTwips, 0, i * 20 * kTwips + 10 * kTwips, 120 * kTwips);
    }
    define(w, stripes, kStripes, 0, 240 * kTwips, 0, 120 * kTwips);
    SpriteBuilder stripesClip;
    for (int f = 0; f < 10; ++f) {
        Place p = Place().at(1).translate(-f * 2 * kTwips, 0);
        if (f == 0)
            p.of(kStripes);
        else
            p.moving();
        stripesClip.place(p).showFrame();
    }
    w.tag(TagCode::DefineSprite, stripesClip.defineSprite(kStripesClip));
    ShapeBuilder lens(3);
    lens.styles(0, lens.solidFill(0, 0, 0));
    circle(lens, 0, 0, 50 * kTwips);
    define(w, lens, kLens, -50 * kTwips, 50 * kTwips, -50 * kTwips, 50 * kTwips);

    // A translucent cloud drifting by.
    ShapeBuilder cloud(3);
    cloud.styles(0, cloud.solidFill(0xFF, 0xFF, 0xFF, 180));
    circle(cloud, 0, 0, 30 * kTwips);
    // Overlapping parts of one style would cancel out (even-odd), so the second puff is a
    // layer of its own.
    cloud.newStyles();
    cloud.styles(0, cloud.solidFill(0xFF, 0xFF, 0xFF, 180));
    circle(cloud, 35 * kTwips, 5 * kTwips, 24 * kTwips);
    define(w, cloud, kCloud, -30 * kTwips, 60 * kTwips, -30 * kTwips, 30 * kTwips);

    // The stage, bottom to top.
    place(w, Place().at(1).of(kSky));
    place(w, Place().at(2).of(kSun).translate(420 * kTwips, 120 * kTwips));
    place(w, Place().at(3).of(kCloud).translate(-60 * kTwips, 60 * kTwips));
    place(w, Place().at(4).of(kHills));
    place(w, Place().at(5).of(kSign).translate(470 * kTwips, 200 * kTwips));
    place(w, Place().at(6).of(kTitle).translate(20 * kTwips, 20 * kTwips));
    Place lensPlace = Place().at(7).of(kLens).translate(120 * kTwips, 180 * kTwips);
    lensPlace.clipDepth = 8;
    place(w, lensPlace);
    place(w, Place().at(8).of(kStripesClip).translate(60 * kTwips, 120 * kTwips));
    place(w, Place().at(9).of(kBallClip).translate(40 * kTwips, 330 * kTwips));
    for (int f = 0; f < count; ++f) {
        if (f > 0) {
            const double t = double(f) / (count - 1);
            place(w, Place().at(3).moving().translate(int32_t((-60 + 680 * t) * kTwips),
                                                      60 * kTwips));
            const int32_t x = int32_t((40 + 470 * t) * kTwips);
            const int32_t y = int32_t((330 - 140 * std::abs(std::sin(t * 3 * M_PI))) * kTwips);
            place(w, Place().at(9).moving().translate(x, y));
            place(w, Place().at(2).moving().translate(420 * kTwips,
                                                       int32_t((120 + 60 * t) * kTwips)));
        }
        w.showFrame();
    }
    w.end();
    return w.build();
}

} // namespace swivio::demo
