#pragma once

#include <cstdint>

#include "base/byte_reader.h"

namespace swivio {

// Bit fields read most significant bit first, taking whole bytes from a ByteReader as they
// are needed. align() drops the rest of the current byte, so the byte reader stands at the
// next whole byte; reads past the end give zero bits and fail the byte reader.
class BitReader {
public:
    explicit BitReader(ByteReader& bytes) : m_bytes(bytes) {}

    // Unsigned field of n bits, 0 <= n <= 32.
    uint32_t ub(int n);
    // Signed field of n bits, sign-extended from bit n-1.
    int32_t sb(int n);
    // Signed 16.16 fixed-point field of n bits.
    double fb(int n) { return static_cast<double>(sb(n)) / 65536.0; }
    bool flag() { return ub(1) != 0; }
    void align() { m_bitsLeft = 0; }
    bool ok() const { return m_bytes.ok(); }

private:
    ByteReader& m_bytes;
    uint8_t m_current = 0;
    int m_bitsLeft = 0;
};

} // namespace swivio
