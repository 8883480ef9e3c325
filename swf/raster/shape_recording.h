#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "swf/raster/paint.h"
#include "swf/raster/surface.h"

namespace swivio::swf::raster {

// Shapes rasterized but not yet painted, one frame's worth in one store: each fill and line
// a shape paints (a layer, with its paint) and that layer's coverage, row by row. Painting
// a recorded shape gives the pixels that painting the shape gives; knowing the coverage
// first lets a frame skip the parts that shapes drawn later cover anyway. One store for
// all the frame's shapes keeps recording from allocating shape after shape.
struct ShapeRecordings {
    struct Span {
        uint16_t y = 0;
        uint16_t layer = 0; // in `layers`
        uint16_t x = 0;
        uint16_t len = 0;   // kRun set: a run of one cover
        uint32_t cover = 0; // a run's one cover, or where the span's covers start in `covers`

        bool run() const { return (len & kRun) != 0; }
        int end() const { return x + (len & ~kRun); } // one past the last pixel
    };
    static constexpr uint16_t kRun = 0x8000;
    // Surfaces recorded for are at most this wide and high (spans count in 15 bits).
    static constexpr int kMaxSide = 0x4000;

    std::vector<Paint> layers;
    std::vector<Span> spans; // shape by shape, layer by layer, row by row, left to right
    std::vector<uint8_t> covers;

    void clear() {
        layers.clear();
        spans.clear();
        covers.clear();
    }
    std::size_t bytes() const {
        return layers.size() * sizeof(Paint) + spans.size() * sizeof(Span) + covers.size();
    }
};

// One shape's part of a store: spans [firstSpan, endSpan), and the box they touch.
struct RecordedShape {
    const ShapeRecordings* store = nullptr;
    uint32_t firstSpan = 0;
    uint32_t endSpan = 0;
    PixelBox touched;
};

} // namespace swivio::swf::raster
