#include "encode/image/bmp_file.h"

#include <bit>
#include <cstring>

#include "base/byte_reader.h"
#include "base/byte_writer.h"

namespace swivio {
namespace {

constexpr uint32_t kFileHeaderSize = 14;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kCompressionNone = 0;
constexpr uint32_t kCompressionBitFields = 3;

// A channel described by a bit-field mask, scaled to 0..255.
struct MaskChannel {
    uint32_t mask = 0;
    int shift = 0;
    int bits = 0;

    explicit MaskChannel(uint32_t m) : mask(m) {
        if (m == 0)
            return;
        shift = std::countr_zero(m);
        bits = std::popcount(m >> shift);
        if (bits > 8) { // keep the top 8 bits of a wider channel
            shift += bits - 8;
            bits = 8;
        }
    }
    uint8_t extract(uint32_t value) const {
        if (bits == 0)
            return 0;
        const uint32_t v = (value >> shift) & ((1u << bits) - 1);
        // Replicate the bits so that a full channel maps to 255.
        uint32_t scaled = v << (8 - bits);
        for (int filled = bits; filled < 8; filled += bits)
            scaled |= scaled >> bits;
        return uint8_t(scaled);
    }
};

} // namespace

std::vector<uint8_t> encodeBmp(const PictureImage& image) {
    std::vector<uint8_t> out;
    if (image.isNull())
        return out;
    const uint32_t width = uint32_t(image.width());
    const uint32_t height = uint32_t(image.height());
    const uint32_t rowBytes = width * 3;
    const uint32_t stride = (rowBytes + 3) & ~3u;
    const uint32_t imageSize = stride * height;
    const uint32_t offset = kFileHeaderSize + kInfoHeaderSize;
    out.reserve(offset + std::size_t(imageSize));
    ByteWriter header(out);
    header.text("BM").u32(offset + imageSize).u16(0).u16(0).u32(offset);
    header.u32(kInfoHeaderSize).u32(width).u32(height).u16(1).u16(24).u32(kCompressionNone);
    header.u32(imageSize).zeros(16); // resolution and colour counts: "not given"
    header.zeros(imageSize);
    uint8_t* pixels = out.data() + offset;
    for (int r = 0; r < image.height(); ++r) {
        uint8_t* dst = pixels + std::size_t(r) * stride;
        if (image.bitsPerPixel() == 24) {
            std::memcpy(dst, image.storageRow(r), rowBytes);
        } else {
            const int y = image.height() - 1 - r;
            for (int x = 0; x < image.width(); ++x) {
                const uint32_t c = image.pixel(x, y);
                dst[x * 3] = colorBlue(c);
                dst[x * 3 + 1] = colorGreen(c);
                dst[x * 3 + 2] = colorRed(c);
            }
        }
    }
    return out;
}

Result<PictureImage> decodeBmp(std::span<const uint8_t> data) {
    using R = Result<PictureImage>;
    ByteReader reader(data);
    if (reader.u8() != 'B' || reader.u8() != 'M' || !reader.ok())
        return R::failure("not a bitmap file (no \"BM\" signature)");
    reader.u32(); // file size: often wrong, not needed
    reader.u32(); // reserved words
    const uint32_t pixelOffset = reader.u32();
    const uint32_t headerSize = reader.u32();
    if (!reader.ok())
        return R::failure("the bitmap file header is truncated");

    int64_t width = 0, height = 0;
    uint32_t bits = 0, compression = kCompressionNone, colorsUsed = 0;
    uint32_t masks[3] = {0, 0, 0};
    bool core = false;
    if (headerSize == 12) {
        core = true;
        width = reader.u16();
        height = reader.s16();
        reader.u16(); // planes
        bits = reader.u16();
    } else if (headerSize >= kInfoHeaderSize && headerSize <= 1024) {
        ByteReader info = reader.sub(headerSize - 4);
        width = info.s32();
        height = info.s32();
        info.u16(); // planes
        bits = info.u16();
        compression = info.u32();
        info.u32(); // image size
        info.u32(); // resolution
        info.u32();
        colorsUsed = info.u32();
        info.u32(); // important colours
        if (compression == kCompressionBitFields) {
            // Masks follow a 40-byte header, or sit inside a longer one.
            ByteReader& source = headerSize == kInfoHeaderSize ? reader : info;
            for (uint32_t& m : masks)
                m = source.u32();
            if (!source.ok())
                return R::failure("the bitmap's colour masks are truncated");
        }
        if (!info.ok())
            return R::failure("the bitmap information header is truncated");
    } else {
        return R::failure("unknown bitmap header size " + std::to_string(headerSize));
    }
    if (!reader.ok())
        return R::failure("the bitmap information header is truncated");

    const bool topDown = height < 0;
    if (topDown)
        height = -height;
    if (!PictureImage::sizeAllowed(width, height))
        return R::failure("the bitmap size " + std::to_string(width) + " x " +
                          std::to_string(height) + " is empty or too large");
    if (compression != kCompressionNone &&
        !(compression == kCompressionBitFields && (bits == 16 || bits == 32)))
        return R::failure("compressed bitmaps are not supported");
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return R::failure("bitmaps of " + std::to_string(bits) + " bits are not supported");

    std::vector<uint32_t> palette;
    if (bits <= 8) {
        const uint32_t maxColors = 1u << bits;
        const uint32_t count = colorsUsed == 0 || colorsUsed > maxColors ? maxColors : colorsUsed;
        const int entrySize = core ? 3 : 4;
        for (uint32_t i = 0; i < count; ++i) {
            const uint8_t b = reader.u8(), g = reader.u8(), r = reader.u8();
            if (entrySize == 4)
                reader.u8();
            palette.push_back(makeColor(r, g, b));
        }
        if (!reader.ok())
            return R::failure("the bitmap's colour table is truncated");
    }
    if (compression == kCompressionNone && bits == 16) {
        masks[0] = 0x7C00;
        masks[1] = 0x03E0;
        masks[2] = 0x001F;
    } else if (compression == kCompressionNone && bits == 32) {
        masks[0] = 0xFF0000;
        masks[1] = 0x00FF00;
        masks[2] = 0x0000FF;
    }

    const uint64_t stride = ((uint64_t(width) * bits + 31) / 32) * 4;
    const uint64_t lastRowBytes = (uint64_t(width) * bits + 7) / 8;
    const uint64_t needed = stride * uint64_t(height - 1) + lastRowBytes;
    if (pixelOffset > data.size() || data.size() - pixelOffset < needed)
        return R::failure("the bitmap's pixel data is truncated");

    PictureImage image(int(width), int(height), 24);
    if (image.isNull())
        return R::failure("out of memory for the bitmap");
    const MaskChannel red(masks[0]), green(masks[1]), blue(masks[2]);
    const uint8_t* pixels = data.data() + pixelOffset;
    for (int64_t fileRow = 0; fileRow < height; ++fileRow) {
        const uint8_t* src = pixels + fileRow * stride;
        // File rows run bottom-up unless the height was negative.
        const int storageRow = int(topDown ? height - 1 - fileRow : fileRow);
        uint8_t* dst = image.storageRow(storageRow);
        for (int64_t x = 0; x < width; ++x) {
            uint32_t color = 0;
            switch (bits) {
            case 1:
            case 4:
            case 8: {
                const uint64_t bitPos = uint64_t(x) * bits;
                const uint8_t byte = src[bitPos / 8];
                const uint32_t index = (byte >> (8 - bits - bitPos % 8)) & ((1u << bits) - 1);
                color = index < palette.size() ? palette[index] : 0;
                break;
            }
            case 24:
                color = makeColor(src[x * 3 + 2], src[x * 3 + 1], src[x * 3]);
                break;
            case 16:
            case 32: {
                const uint32_t v = bits == 16 ? loadLe16(src + x * 2) : loadLe32(src + x * 4);
                color = makeColor(red.extract(v), green.extract(v), blue.extract(v));
                break;
            }
            }
            dst[x * 3] = colorBlue(color);
            dst[x * 3 + 1] = colorGreen(color);
            dst[x * 3 + 2] = colorRed(color);
        }
    }
    return image;
}

} // namespace swivio
