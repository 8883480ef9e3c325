#include "tests/support/swf_samples.h"

#include <algorithm>
#include <cmath>

#include "tests/support/bitmap_tags.h"
#include "tests/support/swf_movies.h"
#include "tests/support/swf_shapes.h"

namespace swivio::testkit {

namespace {

// A blob: a closed curved outline with a radial gradient, a solid patch, and a stroke.
std::vector<uint8_t> blobShape(uint16_t id, int seed, int bitmapId) {
    ShapeBuilder s(3);
    const uint8_t r = uint8_t(seed * 37), g = uint8_t(seed * 91), b = uint8_t(seed * 53);
    const int gradient =
        s.gradientFill(seed % 2 == 0, {{0, r, g, b, 255}, {255, b, r, g, 255}}, 0.05, 0, 0);
    const int solid = s.solidFill(g, b, r, 200);
    const int bitmap = bitmapId ? s.bitmapFill(uint16_t(bitmapId), 0x40, 10) : 0;
    const int line = s.lineStyle(uint16_t(20 + (seed % 4) * 20), 0, 0, 0);
    const int size = 400 + (seed % 7) * 120;
    s.styles(0, gradient, line).moveTo(-size, 0);
    s.curveTo(-size, -size, 0, -size).curveTo(size, -size, size, 0);
    s.curveTo(size, size, 0, size).curveTo(-size, size, -size, 0);
    s.styles(0, bitmap ? bitmap : solid, 0).rectangle(-size / 3, -size / 3, size / 3, size / 3);
    return s.defineShape(id, -size - 80, size + 80, -size - 80, size + 80);
}

std::vector<uint8_t> losslessBitmap(int seed) {
    std::vector<uint8_t> raw;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            raw.push_back(0);
            raw.push_back(uint8_t(x * 4 + seed * 50));
            raw.push_back(uint8_t(y * 4));
            raw.push_back(uint8_t((x ^ y) * 4));
        }
    return losslessBody(5, 64, 64, raw);
}

std::vector<uint8_t> withId(uint16_t id, const std::vector<uint8_t>& body) {
    SwfBits b;
    b.u16(id).bytes(body);
    return b.data();
}

// A morph from a small square to a wide one, red to blue.
std::vector<uint8_t> morphBody(uint16_t id) {
    ShapeBuilder start(1), end(1);
    start.styles(0, 1).rectangle(0, 0, 400, 400);
    end.moveTo(0, 0).lineTo(1600, 0).lineTo(1600, 800).lineTo(0, 800).lineTo(0, 0);
    const std::vector<uint8_t> startEdges = start.glyphShape(), endEdges = end.glyphShape();
    SwfBits styles;
    styles.u8(1).u8(0x00).u8(255).u8(0).u8(0).u8(255).u8(0).u8(0).u8(255).u8(255).u8(0);
    const std::vector<uint8_t> stylesBytes = styles.data();
    SwfBits m;
    m.u16(id).rect(0, 400, 0, 400).rect(0, 1600, 0, 800);
    m.u32(uint32_t(stylesBytes.size() + startEdges.size()));
    m.bytes(stylesBytes).bytes(startEdges).bytes(endEdges);
    return m.data();
}

} // namespace

std::vector<uint8_t> cartoonMovie(const CartoonOptions& o) {
    SwfWriter w;
    w.compression = o.compression;
    w.xMax = 550 * 20;
    w.yMax = 400 * 20;
    w.frameCount = uint16_t(o.frames);
    w.backgroundColor(200, 220, 255);
    uint16_t next = 1;
    std::vector<uint16_t> bitmapIds;
    for (int i = 0; i < o.bitmaps; ++i) {
        bitmapIds.push_back(next);
        w.tag(TagCode::DefineBitsLossless, withId(next++, losslessBitmap(i)));
    }
    constexpr int kKinds = 24;
    const uint16_t firstShape = next;
    for (int i = 0; i < kKinds; ++i) {
        const int bitmap =
            !bitmapIds.empty() && i % 6 == 0 ? bitmapIds[std::size_t(i / 6) % bitmapIds.size()] : 0;
        w.tag(TagCode::DefineShape3, blobShape(next++, i + 1, bitmap));
    }
    // Sprites: each moves three shapes around over 12 frames.
    const uint16_t firstSprite = next;
    for (int s = 0; s < o.sprites; ++s) {
        SpriteBuilder sprite;
        for (int f = 0; f < 12; ++f) {
            for (int k = 0; k < 3; ++k) {
                Place p = Place()
                              .at(uint16_t(k + 1))
                              .translate(int32_t(std::cos(f * 0.5 + k) * 600),
                                         int32_t(std::sin(f * 0.5 + k) * 600));
                if (f == 0)
                    p.of(uint16_t(firstShape + (s + k) % kKinds));
                else
                    p.moving();
                sprite.place(p);
            }
            sprite.showFrame();
        }
        w.tag(TagCode::DefineSprite, sprite.defineSprite(next++));
    }
    const uint16_t morph = next++;
    w.tag(TagCode::DefineMorphShape, morphBody(morph));
    // A font of one square glyph and a line of text.
    ShapeBuilder glyph(1);
    glyph.styles(0, 1).rectangle(0, -700, 500, 0);
    const uint16_t font = next++;
    w.tag(TagCode::DefineFont, defineFont1(font, {glyph.glyphShape()}));
    TextLine line;
    line.fontId = font;
    line.height = 480;
    line.r = 20;
    line.x = 400;
    line.y = 7600;
    for (int i = 0; i < 20; ++i)
        line.glyphs.push_back({0, 400});
    const uint16_t text = next++;
    w.tag(TagCode::DefineText2, defineText2(text, 0, 9000, 7000, 8000, {line}));
    const uint16_t maskShape = next++;
    w.tag(TagCode::DefineShape3, rectangleShape(maskShape, 0, 0, 4000, 3000, 0, 0, 0));

    // Frame 0 places everything; later frames move a tenth of the shapes and the tween.
    uint16_t depth = 1;
    for (int i = 0; i < o.shapes; ++i) {
        if (i == o.shapes / 2) {
            Place mask = Place().at(depth++).of(maskShape).translate(3000, 2000);
            mask.clipDepth = uint16_t(depth + std::min(20, o.shapes - i - 1));
            place(w, mask);
        }
        place(w, Place()
                     .at(depth++)
                     .of(uint16_t(firstShape + i % kKinds))
                     .translate((i * 733) % 11000, (i * 397) % 8000));
    }
    const uint16_t spriteDepth = depth;
    for (int s = 0; s < o.sprites; ++s)
        place(w, Place()
                     .at(depth++)
                     .of(uint16_t(firstSprite + s))
                     .translate(1000 + (s * 1700) % 9000, 1000 + (s * 1300) % 6000));
    (void)spriteDepth;
    const uint16_t morphDepth = depth++;
    Place tween = Place().at(morphDepth).of(morph).translate(6000, 500);
    tween.ratio = 0;
    place(w, tween);
    place(w, Place().at(depth++).of(text));
    w.showFrame();
    for (int f = 1; f < o.frames; ++f) {
        for (int i = f % 10; i < o.shapes; i += 10)
            place(w, Place()
                         .at(uint16_t(1 + i + (i >= o.shapes / 2 ? 1 : 0)))
                         .moving()
                         .translate((i * 733 + f * o.stepX) % 11000, (i * 397 + f * o.stepY) % 8000));
        Place step = Place().at(morphDepth).moving();
        step.ratio = uint16_t(f * 65535 / std::max(1, o.frames - 1));
        place(w, step);
        w.showFrame();
    }
    w.end();
    return w.build();
}

std::vector<std::pair<std::string, std::vector<uint8_t>>> sampleMovies() {
    std::vector<std::pair<std::string, std::vector<uint8_t>>> out;
    CartoonOptions small;
    small.shapes = 30;
    small.sprites = 3;
    small.frames = 4;
    small.bitmaps = 1;
    small.compression = Compression::None;
    out.emplace_back("cartoon_fws", cartoonMovie(small));
    small.compression = Compression::Zlib;
    out.emplace_back("cartoon_cws", cartoonMovie(small));
    small.compression = Compression::Lzma;
    out.emplace_back("cartoon_zws", cartoonMovie(small));

    {
        // Shapes of every version, a button, PlaceObject 1 and 3, filters and blend modes.
        SwfWriter w;
        w.version = 8;
        w.frameCount = 3;
        for (int v = 1; v <= 4; ++v) {
            ShapeBuilder s(v);
            const int fill = s.solidFill(uint8_t(60 * v), 0, 0);
            const int line = s.lineStyle(40, 0, 0, uint8_t(60 * v));
            s.styles(0, fill, line).rectangle(0, 0, 1000, 1000).curveTo(500, 1500, 0, 0);
            w.tag(s.tagCode(), s.defineShape(uint16_t(v), 0, 1000, 0, 1500));
        }
        SwfBits button;
        const int mult[4] = {256, 256, 256, 256}, add[4] = {0, 0, 0, 0};
        button.u16(10).u8(0).u16(0);
        button.u8(0x01).u16(1).u16(1).matrix().cxform(true, mult, add);
        button.u8(0x0E).u16(2).u16(2).matrix().cxform(true, mult, add);
        button.u8(0);
        w.tag(TagCode::DefineButton2, button.data());
        w.tag(kPlaceObjectCode, placeObject1(1, 1, 100, 100));
        Place blurred = Place().at(2).of(2).translate(2000, 0);
        blurred.filterList = blurFilterList(3, 3);
        blurred.blendMode = 4;
        w.tag(TagCode::PlaceObject3, placeObject3(blurred));
        place(w, Place().at(3).of(10).translate(4000, 2000)).showFrame();
        place(w, Place().at(4).of(4).translate(0, 3000));
        w.tag(kRemoveObjectCode, removeObject1(1, 1)).showFrame();
        w.tag(TagCode::RemoveObject2, removeObject2(3)).showFrame().end();
        out.emplace_back("tags", w.build());
    }
    {
        // Nested clips with masks inside, looping at different lengths.
        SpriteBuilder inner;
        Place mask = Place().at(1).of(1);
        mask.clipDepth = 3;
        inner.place(mask).place(Place().at(2).of(2)).showFrame();
        inner.place(Place().at(2).moving().translate(300, 0)).showFrame();
        SpriteBuilder outer;
        outer.place(Place().at(1).of(20)).showFrame().showFrame().showFrame();
        SwfWriter w;
        w.tag(TagCode::DefineShape3, rectangleShape(1, 0, 0, 800, 800, 0, 0, 0));
        w.tag(TagCode::DefineShape3, rectangleShape(2, 0, 0, 1200, 600, 0, 200, 0));
        w.tag(TagCode::DefineSprite, inner.defineSprite(20));
        w.tag(TagCode::DefineSprite, outer.defineSprite(21));
        place(w, Place().at(1).of(21).scale(2, 2)).showFrame().end();
        out.emplace_back("nested", w.build());
    }
    return out;
}

} // namespace swivio::testkit
