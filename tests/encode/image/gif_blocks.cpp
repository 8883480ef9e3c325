#include "tests/encode/image/gif_blocks.h"

#include <algorithm>

namespace swivio::testkit {

std::vector<GifBlock> walkGifBlocks(const std::vector<uint8_t>& f) {
    std::vector<GifBlock> blocks;
    auto bad = [&](std::size_t at) {
        blocks.push_back({"bad", at, {}, 0});
        return blocks;
    };
    if (f.size() < 13 || std::string(f.begin(), f.begin() + 6) != "GIF89a")
        return bad(0);
    std::size_t pos = 13;
    if (f[10] & 0x80)
        pos += 3u * (2u << (f[10] & 7));
    blocks.push_back({"header", 0, {}, 0});
    // Skips data sub-blocks, returning the largest length seen, or -1 past the end.
    auto skipSubBlocks = [&](std::size_t& p) {
        int largest = 0;
        while (p < f.size()) {
            const int n = f[p++];
            if (n == 0)
                return largest;
            largest = std::max(largest, n);
            p += std::size_t(n);
        }
        return -1;
    };
    while (pos < f.size()) {
        const std::size_t at = pos;
        const uint8_t introducer = f[pos++];
        if (introducer == 0x3B) {
            blocks.push_back({"trailer", at, {}, 0});
            if (pos != f.size())
                return bad(pos);
            return blocks;
        }
        if (introducer == 0x21 && pos < f.size()) {
            const uint8_t label = f[pos++];
            GifBlock block{label == 0xF9   ? "control"
                           : label == 0xFF ? "loop"
                           : label == 0xFE ? "comment"
                                           : "extension",
                           at,
                           {},
                           0};
            if (label == 0xF9 && pos + 5 < f.size())
                block.body.assign(f.begin() + std::ptrdiff_t(pos + 1),
                                  f.begin() + std::ptrdiff_t(pos + 5));
            if (label == 0xFF && pos + 17 <= f.size())
                block.body.assign(f.begin() + std::ptrdiff_t(pos),
                                  f.begin() + std::ptrdiff_t(pos + 17));
            const int largest = skipSubBlocks(pos);
            if (largest < 0)
                return bad(at);
            blocks.push_back(block);
            continue;
        }
        if (introducer == 0x2C && pos + 10 <= f.size()) {
            GifBlock block{"image", at, {}, 0};
            block.body.assign(f.begin() + std::ptrdiff_t(pos),
                              f.begin() + std::ptrdiff_t(pos + 10));
            pos += 9;
            if (f[pos - 1] & 0x80)
                pos += 3u * (2u << (f[pos - 1] & 7));
            ++pos; // LZW minimum code size
            block.largestSubBlock = skipSubBlocks(pos);
            if (block.largestSubBlock < 0)
                return bad(at);
            blocks.push_back(block);
            continue;
        }
        return bad(at);
    }
    return bad(pos);
}

} // namespace swivio::testkit
