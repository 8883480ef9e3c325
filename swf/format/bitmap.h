#pragma once

#include <cstdint>
#include <vector>

namespace swivio::swf {

// A decoded bitmap character: width x height pixels, top row first, each pixel a 32-bit
// value with premultiplied alpha laid out as bytes R, G, B, A.
struct Bitmap {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
    bool opaque = true;

    uint32_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

// Looks up bitmap characters by id while rendering; null when the id is not a bitmap.
class BitmapLookup {
public:
    virtual ~BitmapLookup() = default;
    virtual const Bitmap* bitmap(uint16_t id) const = 0;
};

} // namespace swivio::swf
