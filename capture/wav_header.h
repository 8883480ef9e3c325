#pragma once

#include <array>
#include <cstdint>
#include <cstring>

namespace swivio {

// The canonical 44-byte header of a 16-bit PCM WAV file holding dataBytes of samples.
inline std::array<uint8_t, 44> pcmWavHeader(int rate, int channels, uint32_t dataBytes) {
    const auto u16 = [](uint8_t* at, uint32_t v) {
        at[0] = uint8_t(v);
        at[1] = uint8_t(v >> 8);
    };
    const auto u32 = [&u16](uint8_t* at, uint32_t v) {
        u16(at, v & 0xFFFF);
        u16(at + 2, v >> 16);
    };
    std::array<uint8_t, 44> h{};
    std::memcpy(h.data(), "RIFF", 4);
    u32(h.data() + 4, 36 + dataBytes);
    std::memcpy(h.data() + 8, "WAVEfmt ", 8);
    u32(h.data() + 16, 16);
    u16(h.data() + 20, 1);
    u16(h.data() + 22, uint32_t(channels));
    u32(h.data() + 24, uint32_t(rate));
    u32(h.data() + 28, uint32_t(rate * channels * 2));
    u16(h.data() + 32, uint32_t(channels * 2));
    u16(h.data() + 34, 16);
    std::memcpy(h.data() + 36, "data", 4);
    u32(h.data() + 40, dataBytes);
    return h;
}

} // namespace swivio
