#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace swivio {

// The frame picture every stage between grabbing and writing passes along: W x H pixels,
// 24 bits, bytes blue, green, red, rows stored bottom row first. W is a multiple of 4, so a
// row is exactly W * 3 bytes and the whole frame W * H * 3 bytes with no padding.
class Frame {
public:
    Frame() = default;
    Frame(int width, int height);

    int width() const { return m_width; }
    int height() const { return m_height; }
    bool isEmpty() const { return m_pixels.empty(); }
    std::size_t byteSize() const { return m_pixels.size(); }
    std::size_t stride() const { return static_cast<std::size_t>(m_width) * 3; }

    uint8_t* data() { return m_pixels.data(); }
    const uint8_t* data() const { return m_pixels.data(); }
    std::span<uint8_t> bytes() { return m_pixels; }
    std::span<const uint8_t> bytes() const { return m_pixels; }

    // Row y counted from the top of the picture (y = 0 is the top row, stored last).
    uint8_t* topRow(int y) { return m_pixels.data() + rowOffset(y); }
    const uint8_t* topRow(int y) const { return m_pixels.data() + rowOffset(y); }

    // Fills every pixel with a colour given as 0x00BBGGRR.
    void fill(uint32_t colorBgr);
    // The colour at (x, y), y from the top, as 0x00BBGGRR.
    uint32_t pixel(int x, int y) const;
    void setPixel(int x, int y, uint32_t colorBgr);

private:
    std::size_t rowOffset(int y) const {
        return static_cast<std::size_t>(m_height - 1 - y) * stride();
    }

    int m_width = 0;
    int m_height = 0;
    std::vector<uint8_t> m_pixels;
};

// 0x00BBGGRR colour helpers: red sits in the low byte.
constexpr uint32_t makeColor(uint8_t r, uint8_t g, uint8_t b) {
    return uint32_t(r) | (uint32_t(g) << 8) | (uint32_t(b) << 16);
}
constexpr uint8_t colorRed(uint32_t c) { return uint8_t(c & 0xFF); }
constexpr uint8_t colorGreen(uint32_t c) { return uint8_t((c >> 8) & 0xFF); }
constexpr uint8_t colorBlue(uint32_t c) { return uint8_t((c >> 16) & 0xFF); }

} // namespace swivio
