// decompressBlock over arbitrary blocks, into destinations of a few fixed sizes allocated to
// the byte, so that the sanitizers see any access outside them; and the input itself
// compressed (with a row length taken from its first bytes) must decode to itself.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "capture/qclz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static constexpr std::size_t kCapacities[] = {0, 4, 100, 2100, 12288, 70000};
    // The input is copied to its own allocation, as the reader's block buffer would hold it.
    std::unique_ptr<uint8_t[]> block(new uint8_t[size ? size : 1]);
    if (size)
        std::memcpy(block.get(), data, size);
    for (std::size_t capacity : kCapacities) {
        std::unique_ptr<uint8_t[]> out(new uint8_t[capacity ? capacity : 1]);
        const std::size_t produced =
            swivio::decompressBlock(block.get(), size, out.get(), capacity);
        if (produced > capacity)
            std::abort();
    }

    const std::size_t rowBytes = size >= 2 ? std::size_t(data[0] | data[1] << 8) : 0;
    std::unique_ptr<uint8_t[]> packed(new uint8_t[swivio::qclzScratchSize(size)]);
    const std::size_t blockSize = swivio::compressBlock(data, size, packed.get(), rowBytes);
    std::unique_ptr<uint8_t[]> back(new uint8_t[size ? size : 1]);
    if (swivio::decompressBlock(packed.get(), blockSize, back.get(), size) != size ||
        (size && std::memcmp(back.get(), data, size) != 0))
        std::abort();
    return 0;
}
