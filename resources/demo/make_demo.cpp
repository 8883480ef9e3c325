// Writes the demo movie that the README's first command converts.
#include <algorithm>
#include <cstdio>

#include "tests/support/swf_writer.h"

using swivio::testkit::SwfBits;
using swivio::testkit::SwfWriter;
using swivio::testkit::TagCode;

namespace {

// A filled rectangle of w x h twips with its top-left corner at the origin.
std::vector<uint8_t> rectangleShape(uint16_t id, int32_t w, int32_t h, uint8_t r, uint8_t g,
                                    uint8_t b) {
    SwfBits s;
    s.u16(id).rect(0, w, 0, h);
    s.u8(1).u8(0x00).u8(r).u8(g).u8(b); // one solid fill
    s.u8(0);                            // no line styles
    s.ub(4, 1).ub(4, 0);                // fill and line index widths
    // Style change: move to (0, 0), fill style 1 on the right-hand side.
    s.ub(1, 0).ub(5, 0b00101).ub(5, 1).sb(1, 0).sb(1, 0).ub(1, 1);
    auto edge = [&s](int32_t dx, int32_t dy) {
        int n = std::max(SwfBits::bitsForSigned(dx), SwfBits::bitsForSigned(dy));
        n = std::max(n, 2);
        s.ub(1, 1).ub(1, 1).ub(4, uint32_t(n - 2)).ub(1, 1).sb(n, dx).sb(n, dy);
    };
    edge(w, 0);
    edge(0, h);
    edge(-w, 0);
    edge(0, -h);
    s.ub(6, 0); // end of shape
    return s.data();
}

std::vector<uint8_t> placeObject2(uint16_t depth, uint16_t characterId, bool move, int32_t x,
                                  int32_t y) {
    SwfBits p;
    uint8_t flags = 0x04; // has matrix
    if (characterId)
        flags |= 0x02;
    if (move)
        flags |= 0x01;
    p.u8(flags).u16(depth);
    if (characterId)
        p.u16(characterId);
    p.matrix(1, 1, 0, 0, x, y);
    return p.data();
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: swivio-make-demo OUT.swf\n");
        return 2;
    }
    const int frames = 72;
    SwfWriter movie;
    movie.version = 8;
    movie.compression = swivio::testkit::Compression::Zlib;
    movie.xMax = 550 * 20;
    movie.yMax = 400 * 20;
    movie.frameRate88 = 24 << 8;
    movie.frameCount = frames;
    movie.backgroundColor(0x20, 0x30, 0x50);
    movie.tag(TagCode::DefineShape, rectangleShape(1, 550 * 20, 60 * 20, 0x40, 0x90, 0x40));
    movie.tag(TagCode::DefineShape, rectangleShape(2, 80 * 20, 80 * 20, 0xE0, 0x30, 0x30));
    movie.tag(TagCode::PlaceObject2, placeObject2(1, 1, false, 0, 340 * 20));
    for (int i = 0; i < frames; ++i) {
        const int32_t x = (20 + i * 6) * 20;
        movie.tag(TagCode::PlaceObject2, placeObject2(2, i == 0 ? 2 : 0, i > 0, x, 200 * 20));
        movie.showFrame();
    }
    movie.end();
    if (!movie.writeFile(argv[1])) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
