#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace swivio::testkit {

// The block sequence of a GIF file as a list of names, walked by hand from the bytes:
// "header", "loop", "control", "comment", "image", "trailer", or "bad" where the walk
// could not go on. Sub-block lengths are checked against a limit.
struct GifBlock {
    std::string kind;
    std::size_t offset = 0;
    std::vector<uint8_t> body; // the fixed bytes of the block (for "control": 4 bytes)
    int largestSubBlock = 0;
};
std::vector<GifBlock> walkGifBlocks(const std::vector<uint8_t>& file);

} // namespace swivio::testkit
