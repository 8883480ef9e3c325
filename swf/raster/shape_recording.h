#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "swf/raster/paint.h"
#include "swf/raster/surface.h"

namespace swivio::swf::raster {

// A shape rasterized but not yet painted: each fill and line it paints (a layer, with its
// paint) and that layer's coverage, row by row. Painting a recording gives the pixels that
// painting the shape gives; knowing the coverage first lets a frame skip the parts that
// shapes drawn later cover anyway.
struct ShapeRecording {
    struct Span {
        int32_t y = 0;
        int32_t x = 0;
        int32_t len = 0;
        uint32_t cover = 0; // a run's one cover, or where the span's covers start in `covers`
        uint16_t layer = 0;
        bool run = false;
    };

    std::vector<Paint> layers;
    std::vector<Span> spans; // layer by layer; within a layer, row by row, left to right
    std::vector<uint8_t> covers;
    PixelBox touched;
    // False when the shape cannot be recorded (fills that share edges are painted
    // together, pixel by pixel) or outgrew its budget: it must be painted directly.
    bool complete = true;

    void clear() {
        layers.clear();
        spans.clear();
        covers.clear();
        touched = {};
        complete = true;
    }
    std::size_t bytes() const {
        return layers.size() * sizeof(Paint) + spans.size() * sizeof(Span) + covers.size();
    }
};

} // namespace swivio::swf::raster
