#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace swivio {

// Little-endian values appended to a byte vector that the caller owns (and that outlives the
// writer), for the headers, indexes and records of the files Swivio writes. A value known
// only later (a size) is written as a placeholder first and patched at its offset.
class ByteWriter {
public:
    explicit ByteWriter(std::vector<uint8_t>& out) : m_out(&out) {}

    std::size_t size() const { return m_out->size(); }

    ByteWriter& u8(uint8_t v) {
        m_out->push_back(v);
        return *this;
    }
    ByteWriter& u16(uint16_t v) { return u8(uint8_t(v)).u8(uint8_t(v >> 8)); }
    ByteWriter& u32(uint32_t v) { return u16(uint16_t(v)).u16(uint16_t(v >> 16)); }
    ByteWriter& u64(uint64_t v) { return u32(uint32_t(v)).u32(uint32_t(v >> 32)); }
    ByteWriter& bytes(std::span<const uint8_t> data) {
        m_out->insert(m_out->end(), data.begin(), data.end());
        return *this;
    }
    // The characters of `text` as bytes, without a terminator (signatures, FourCCs).
    ByteWriter& text(std::string_view text) {
        for (char c : text)
            m_out->push_back(uint8_t(c));
        return *this;
    }
    ByteWriter& zeros(std::size_t n) {
        m_out->resize(m_out->size() + n, 0);
        return *this;
    }

    // Overwrite the 2 or 4 bytes at `offset`. False, with nothing changed, when they would
    // reach past what has been written.
    bool patch16(std::size_t offset, uint16_t v) { return patch(offset, v, 2); }
    bool patch32(std::size_t offset, uint32_t v) { return patch(offset, v, 4); }

private:
    bool patch(std::size_t offset, uint32_t v, std::size_t n) {
        if (offset > m_out->size() || m_out->size() - offset < n)
            return false;
        for (std::size_t i = 0; i < n; ++i)
            (*m_out)[offset + i] = uint8_t(v >> (8 * i));
        return true;
    }

    std::vector<uint8_t>* m_out;
};

} // namespace swivio
