#include "swf/image/lossless_decoder.h"

#include <algorithm>
#include <string>
#include <vector>

#include "base/byte_reader.h"
#include "swf/image/inflate_bounded.h"
#include "swf/image/pixel.h"

namespace swivio::swf::image {

namespace {

enum class LosslessFormat : uint8_t { ColorMapped8 = 3, Rgb15 = 4, Rgb24 = 5 };

// Rows of 8-bit and 15-bit pixels are padded to a multiple of 4 bytes.
std::size_t paddedRow(std::size_t bytes) {
    return (bytes + 3) & ~std::size_t(3);
}

// Deflate expands at most about 1032:1, so more output than this cannot come from the
// data; reading no more avoids a large allocation for a body that cannot fill it.
std::size_t inflateCeiling(std::size_t compressed) {
    return compressed * 1040 + 64;
}

uint32_t alphaPixel(uint8_t a, uint8_t r, uint8_t g, uint8_t b, bool withAlpha) {
    return withAlpha ? clampedPremultipliedPixel(r, g, b, a) : packPixel(r, g, b, 255);
}

uint8_t expand5(unsigned v) {
    return static_cast<uint8_t>((v << 3) | (v >> 2));
}

} // namespace

Result<Bitmap> decodeLossless(std::span<const uint8_t> body, bool withAlpha) {
    const char* tagName = withAlpha ? "DefineBitsLossless2" : "DefineBitsLossless";
    ByteReader reader(body);
    const uint8_t format = reader.u8();
    const int width = reader.u16();
    const int height = reader.u16();
    const int tableSize = format == uint8_t(LosslessFormat::ColorMapped8) ? reader.u8() + 1 : 0;
    if (!reader.ok())
        return Result<Bitmap>::failure(std::string(tagName) + ": header truncated");
    if (format < 3 || format > 5)
        return Result<Bitmap>::failure(std::string(tagName) + ": unknown bitmap format " +
                                       std::to_string(format));
    if (const std::string problem = checkBitmapSize(width, height); !problem.empty())
        return Result<Bitmap>::failure(std::string(tagName) + ": " + problem);

    const std::size_t w = static_cast<std::size_t>(width);
    const std::size_t h = static_cast<std::size_t>(height);
    const std::size_t entryBytes = withAlpha ? 4 : 3;
    std::size_t rowBytes = 0;
    std::size_t tableBytes = 0;
    switch (LosslessFormat(format)) {
    case LosslessFormat::ColorMapped8:
        tableBytes = static_cast<std::size_t>(tableSize) * entryBytes;
        rowBytes = paddedRow(w);
        break;
    case LosslessFormat::Rgb15:
        rowBytes = paddedRow(w * 2);
        break;
    case LosslessFormat::Rgb24:
        rowBytes = w * 4;
        break;
    }
    const std::span<const uint8_t> compressed = body.subspan(reader.offset());
    const std::size_t expected = tableBytes + rowBytes * h;
    std::vector<uint8_t> raw(std::min(expected, inflateCeiling(compressed.size())), 0);
    const std::size_t got = inflateBounded(compressed, raw);
    if (got == 0)
        return Result<Bitmap>::failure(std::string(tagName) + ": pixel data not decompressible");
    // Pixels beyond what the data held stay transparent black; the bytes missing from a
    // partly present last row (or colour table) read as zero.
    const std::size_t rowsPresent =
        got > tableBytes ? std::min(h, (got - tableBytes + rowBytes - 1) / rowBytes) : 0;
    raw.resize(tableBytes + rowsPresent * rowBytes, 0);

    Bitmap bitmap;
    bitmap.width = width;
    bitmap.height = height;
    bitmap.pixels.resize(w * h);
    std::vector<uint32_t> table;
    if (format == uint8_t(LosslessFormat::ColorMapped8)) {
        // Indices past the table's end show transparent (with alpha) or black.
        table.assign(256, withAlpha ? 0 : packPixel(0, 0, 0, 255));
        for (int i = 0; i < tableSize; ++i) {
            const uint8_t* e = raw.data() + i * entryBytes;
            table[i] = withAlpha ? clampedPremultipliedPixel(e[0], e[1], e[2], e[3])
                                 : packPixel(e[0], e[1], e[2], 255);
        }
    }
    for (std::size_t y = 0; y < h; ++y) {
        uint32_t* dst = bitmap.pixels.data() + y * w;
        if (y >= rowsPresent) {
            std::fill(dst, dst + w, 0u);
            continue;
        }
        const uint8_t* src = raw.data() + tableBytes + y * rowBytes;
        for (std::size_t x = 0; x < w; ++x) {
            switch (LosslessFormat(format)) {
            case LosslessFormat::ColorMapped8:
                dst[x] = table[src[x]];
                break;
            case LosslessFormat::Rgb15: {
                // One pad bit, then five bits each of red, green and blue, high byte first.
                const unsigned v = (unsigned(src[2 * x]) << 8) | src[2 * x + 1];
                dst[x] = packPixel(expand5((v >> 10) & 31), expand5((v >> 5) & 31), expand5(v & 31),
                                   255);
                break;
            }
            case LosslessFormat::Rgb24: {
                const uint8_t* p = src + 4 * x;
                dst[x] = alphaPixel(p[0], p[1], p[2], p[3], withAlpha);
                break;
            }
            }
        }
    }
    bitmap.opaque = std::all_of(bitmap.pixels.begin(), bitmap.pixels.end(),
                                [](uint32_t p) { return pixelAlpha(p) == 255; });
    return bitmap;
}

} // namespace swivio::swf::image
