// decompressBlock over arbitrary blocks, into destinations of a few fixed sizes allocated to
// the byte, so that the sanitizers see any access outside them.
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
    return 0;
}
