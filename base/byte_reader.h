#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace swivio {

// Little-endian reads from a byte range that never go past its end. A read past the end
// returns zeros and sets a sticky failure, so a parser can read a whole record and check
// ok() once. A sub-reader is bounded to part of the range, so a damaged record inside it
// cannot read into the next one.
class ByteReader {
public:
    ByteReader() = default;
    explicit ByteReader(std::span<const uint8_t> data) : m_data(data) {}
    ByteReader(const uint8_t* data, std::size_t size) : m_data(data, size) {}

    bool ok() const { return !m_failed; }
    // Marks the reader failed, for a value that was read but makes no sense.
    void fail() { m_failed = true; }
    std::size_t offset() const { return m_pos; }
    std::size_t size() const { return m_data.size(); }
    std::size_t remaining() const { return m_data.size() - m_pos; }
    bool atEnd() const { return m_pos >= m_data.size(); }
    std::span<const uint8_t> data() const { return m_data; }

    uint8_t u8();
    uint16_t u16();
    uint32_t u32();
    int16_t s16() { return static_cast<int16_t>(u16()); }
    int32_t s32() { return static_cast<int32_t>(u32()); }
    // IEEE single and double in little-endian byte order.
    float f32();
    // 8.8 and 16.16 fixed point, signed.
    float fixed8();
    double fixed16();
    // Variable-length 32-bit unsigned integer (7 bits per byte, low group first).
    uint32_t encodedU32();

    // The next n bytes; an empty span (and failure) if fewer remain.
    std::span<const uint8_t> bytes(std::size_t n);
    // A reader over the next n bytes, advancing this one past them. If fewer remain the
    // sub-reader covers what is left and this reader fails.
    ByteReader sub(std::size_t n);
    // A zero-terminated string; without a terminator, the rest of the range.
    std::string cstring();
    bool skip(std::size_t n);
    bool seek(std::size_t pos);

private:
    std::span<const uint8_t> m_data;
    std::size_t m_pos = 0;
    bool m_failed = false;
};

// Unsigned little-endian loads from raw memory that the caller has bounds-checked.
inline uint16_t loadLe16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline uint32_t loadLe32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) |
           (uint32_t(p[3]) << 24);
}

} // namespace swivio
