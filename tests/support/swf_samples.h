#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/swf_writer.h"

namespace swivio::testkit {

// What a cartoon-like movie holds: many gradient-filled, stroked shapes, a few bitmaps,
// animated sprites, masks, a morph tween and some text. Stage 550 x 400 pixels.
struct CartoonOptions {
    int shapes = 300; // shape instances on the stage
    int sprites = 12; // animated clips, each moving a few shapes over its own frames
    int frames = 24;  // root frames; the root moves a layer of shapes each frame
    int bitmaps = 3;  // 64 x 64 lossless bitmaps used as fills
    // How far the root's moving shapes go each frame, twips across and down: 60 x 40 is
    // whole pixels at stage size; other steps land them between pixels.
    int stepX = 60, stepY = 40;
    Compression compression = Compression::Zlib;
};
std::vector<uint8_t> cartoonMovie(const CartoonOptions& options = {});

// Small movies that between them use every tag the engine reads (for fuzzing corpora and
// for checking that each plays and draws): name and file bytes.
std::vector<std::pair<std::string, std::vector<uint8_t>>> sampleMovies();

} // namespace swivio::testkit
