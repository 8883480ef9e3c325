// Arbitrary bytes as the body of each kind of bitmap tag. The first byte chooses the tag;
// for DefineBits the next two (little-endian) give the length of a JPEGTables body taken
// from the bytes after them.
#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <span>

#include "swf/image/bitmap_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static constexpr uint16_t kTags[] = {6, 21, 35, 90, 20, 36};
    if (size < 1)
        return 0;
    const uint16_t tag = kTags[data[0] % 6];
    std::span<const uint8_t> rest(data + 1, size - 1);
    std::span<const uint8_t> tables;
    if (tag == 6 && rest.size() >= 2) {
        const std::size_t n = std::min<std::size_t>(rest[0] | (rest[1] << 8), rest.size() - 2);
        tables = rest.subspan(2, n);
        rest = rest.subspan(2 + n);
    }
    auto bitmap = swivio::swf::decodeBitmapTag(tag, rest, tables);
    if (bitmap.ok()) {
        // The promised layout: width x height pixels, within the limits.
        if (bitmap->width <= 0 || bitmap->height <= 0 ||
            bitmap->pixels.size() != std::size_t(bitmap->width) * bitmap->height ||
            bitmap->width > swivio::swf::kMaxBitmapSide ||
            bitmap->height > swivio::swf::kMaxBitmapSide)
            __builtin_trap();
    }
    return 0;
}
