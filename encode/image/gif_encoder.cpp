#include "encode/image/gif_encoder.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

#include "base/byte_writer.h"

namespace swivio {
namespace {

// Packs variable-length codes least significant bit first into data sub-blocks of at most
// 254 bytes, each preceded by its length.
class SubBlockPacker {
public:
    explicit SubBlockPacker(std::vector<uint8_t>& out) : m_out(out) {}

    void put(uint32_t code, int bits) {
        m_bitBuffer |= code << m_bitCount;
        m_bitCount += bits;
        while (m_bitCount >= 8) {
            pushByte(uint8_t(m_bitBuffer & 0xFF));
            m_bitBuffer >>= 8;
            m_bitCount -= 8;
        }
    }

    void flush() {
        if (m_bitCount > 0)
            pushByte(uint8_t(m_bitBuffer & 0xFF));
        m_bitBuffer = 0;
        m_bitCount = 0;
        if (m_blockSize > 0)
            emitBlock();
    }

private:
    static constexpr int kBlockLimit = 254;

    void pushByte(uint8_t byte) {
        m_block[m_blockSize++] = byte;
        if (m_blockSize == kBlockLimit)
            emitBlock();
    }
    void emitBlock() {
        m_out.push_back(uint8_t(m_blockSize));
        m_out.insert(m_out.end(), m_block.begin(), m_block.begin() + m_blockSize);
        m_blockSize = 0;
    }

    std::vector<uint8_t>& m_out;
    uint32_t m_bitBuffer = 0;
    int m_bitCount = 0;
    std::array<uint8_t, kBlockLimit> m_block{};
    int m_blockSize = 0;
};

// String table of the LZW encoder: (prefix code, next byte) -> code, open addressing.
class LzwTable {
public:
    void clear() { std::memset(m_keys.data(), 0xFF, sizeof(uint32_t) * m_keys.size()); }

    // The code of (prefix, byte), or -1; `slot` is where it would be inserted.
    int find(uint32_t key, uint32_t& slot) const {
        uint32_t h = (key * 2654435761u) >> (32 - kBits);
        while (true) {
            const uint32_t k = m_keys[h];
            if (k == key) {
                slot = h;
                return m_codes[h];
            }
            if (k == kEmpty) {
                slot = h;
                return -1;
            }
            h = (h + 1) & (kSize - 1);
        }
    }
    void insert(uint32_t slot, uint32_t key, int code) {
        m_keys[slot] = key;
        m_codes[slot] = uint16_t(code);
    }

private:
    static constexpr int kBits = 14;
    static constexpr uint32_t kSize = 1u << kBits; // at most 4096 entries: load under 1/4
    static constexpr uint32_t kEmpty = 0xFFFFFFFF;
    std::array<uint32_t, kSize> m_keys;
    std::array<uint16_t, kSize> m_codes;
};

constexpr int kMaxCodeBits = 12;
constexpr int kMaxCodes = 1 << kMaxCodeBits;

void encodeLzw(std::vector<uint8_t>& out, const PictureImage& image, int minCodeSize) {
    const int clearCode = 1 << minCodeSize;
    const int endCode = clearCode + 1;
    SubBlockPacker packer(out);
    auto table = std::make_unique<LzwTable>();
    table->clear();
    int codeSize = minCodeSize + 1;
    int nextCode = clearCode + 2;
    packer.put(uint32_t(clearCode), codeSize);

    const uint32_t pixelMask = (1u << minCodeSize) - 1;
    int prefix = -1;
    for (int y = 0; y < image.height(); ++y) {
        const uint8_t* row = image.topRow(y);
        for (int x = 0; x < image.width(); ++x) {
            const uint32_t pixel = row[x] & pixelMask;
            if (prefix < 0) {
                prefix = int(pixel);
                continue;
            }
            const uint32_t key = uint32_t(prefix) << 8 | pixel;
            uint32_t slot = 0;
            const int code = table->find(key, slot);
            if (code >= 0) {
                prefix = code;
                continue;
            }
            packer.put(uint32_t(prefix), codeSize);
            if (nextCode < kMaxCodes) {
                table->insert(slot, key, nextCode++);
                // The decoder adds its entry one code later, so widen once the next code
                // would not fit.
                if (nextCode > (1 << codeSize) && codeSize < kMaxCodeBits)
                    ++codeSize;
            } else {
                packer.put(uint32_t(clearCode), codeSize);
                table->clear();
                codeSize = minCodeSize + 1;
                nextCode = clearCode + 2;
            }
            prefix = int(pixel);
        }
    }
    if (prefix >= 0)
        packer.put(uint32_t(prefix), codeSize);
    packer.put(uint32_t(endCode), codeSize);
    packer.flush();
}

} // namespace

void writeGifHeader(std::vector<uint8_t>& out, const PictureImage& image) {
    ByteWriter(out).text("GIF89a").u16(uint16_t(image.width())).u16(uint16_t(image.height()));
    const bool hasPalette = image.bitsPerPixel() == 8 && !image.palette().empty();
    const int bits = 8;
    out.push_back(hasPalette ? uint8_t(0x80 | (bits - 1) << 5 | (bits - 1)) : uint8_t(0x11));
    out.push_back(0); // background colour index
    out.push_back(0); // pixel aspect ratio
    if (!hasPalette)
        return;
    const std::vector<uint32_t>& palette = image.palette();
    for (int i = 0; i < (1 << bits); ++i) {
        const uint32_t c = i < int(palette.size()) ? palette[i] : 0;
        out.push_back(uint8_t(c & 0xFF));
        out.push_back(uint8_t(c >> 8 & 0xFF));
        out.push_back(uint8_t(c >> 16 & 0xFF));
    }
}

void writeLoopExtension(std::vector<uint8_t>& out, int loopCount) {
    static const uint8_t kIntro[] = {0x21, 0xFF, 0x0B, 'N', 'E', 'T', 'S',  'C',
                                     'A',  'P',  'E',  '2', '.', '0', 0x03, 0x01};
    out.insert(out.end(), std::begin(kIntro), std::end(kIntro));
    ByteWriter(out).u16(uint16_t(std::clamp(loopCount, 0, 0xFFFF)));
    out.push_back(0x00);
}

void writeFrameExtension(std::vector<uint8_t>& out, int disposalMethod, int delay,
                         int transparentIndex) {
    out.push_back(0x21);
    out.push_back(0xF9);
    out.push_back(0x04);
    out.push_back(uint8_t((disposalMethod & 7) * 4 | (transparentIndex >= 0 ? 1 : 0)));
    ByteWriter(out).u16(uint16_t(std::clamp(delay, 0, 0xFFFF)));
    out.push_back(uint8_t(transparentIndex & 0xFF));
    out.push_back(0x00);
}

void writeComment(std::vector<uint8_t>& out, const std::string& comment) {
    if (comment.empty())
        return;
    const std::size_t length = std::min<std::size_t>(comment.size(), 255);
    out.push_back(0x21);
    out.push_back(0xFE);
    out.push_back(uint8_t(length));
    out.insert(out.end(), comment.begin(), comment.begin() + std::ptrdiff_t(length));
    out.push_back(0x00);
}

bool writeImage(std::vector<uint8_t>& out, const PictureImage& image) {
    if (image.isNull() || image.bitsPerPixel() != 8)
        return false;
    out.push_back(0x2C);
    ByteWriter(out).u16(0).u16(0).u16(uint16_t(image.width())).u16(uint16_t(image.height()));
    out.push_back(0x00);
    const int minCodeSize = std::max(image.bitsPerPixel(), 2);
    out.push_back(uint8_t(minCodeSize));
    encodeLzw(out, image, minCodeSize);
    out.push_back(0x00);
    return true;
}

bool writeImageAt(std::vector<uint8_t>& out, const PictureImage& image, int left, int top) {
    const std::vector<uint32_t>& palette = image.palette();
    if (image.isNull() || image.bitsPerPixel() != 8 || palette.empty() || palette.size() > 256)
        return false;
    int bits = 1;
    while ((std::size_t(1) << bits) < palette.size())
        ++bits;
    out.push_back(0x2C);
    ByteWriter(out)
        .u16(uint16_t(left))
        .u16(uint16_t(top))
        .u16(uint16_t(image.width()))
        .u16(uint16_t(image.height()));
    out.push_back(uint8_t(0x80 | (bits - 1)));
    for (int i = 0; i < (1 << bits); ++i) {
        const uint32_t c = i < int(palette.size()) ? palette[std::size_t(i)] : 0;
        out.push_back(uint8_t(c & 0xFF));
        out.push_back(uint8_t(c >> 8 & 0xFF));
        out.push_back(uint8_t(c >> 16 & 0xFF));
    }
    // The smallest LZW code size is 2, even for a two-colour table.
    const int minCodeSize = std::max(bits, 2);
    out.push_back(uint8_t(minCodeSize));
    encodeLzw(out, image, minCodeSize);
    out.push_back(0x00);
    return true;
}

std::vector<uint8_t> encodeSingleGif(const PictureImage& image) {
    std::vector<uint8_t> out;
    if (image.isNull() || image.bitsPerPixel() != 8)
        return out;
    out.reserve(800 + image.stride() * image.height());
    writeGifHeader(out, image);
    writeFrameExtension(out, 0, 0, image.transparentIndex());
    writeComment(out, {});
    writeImage(out, image);
    writeGifTrailer(out);
    return out;
}

} // namespace swivio
