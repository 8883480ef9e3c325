#include "base/bit_reader.h"

namespace swivio {

uint32_t BitReader::ub(int n) {
    if (n <= 0)
        return 0;
    if (n > 32)
        n = 32;
    uint64_t value = 0;
    while (n > 0) {
        if (m_bitsLeft == 0) {
            m_current = m_bytes.u8();
            m_bitsLeft = 8;
        }
        const int take = n < m_bitsLeft ? n : m_bitsLeft;
        const int shift = m_bitsLeft - take;
        const uint32_t bits = (m_current >> shift) & ((1u << take) - 1);
        value = (value << take) | bits;
        m_bitsLeft -= take;
        n -= take;
    }
    return static_cast<uint32_t>(value);
}

int32_t BitReader::sb(int n) {
    if (n <= 0)
        return 0;
    if (n > 32)
        n = 32;
    uint32_t v = ub(n);
    if (n < 32 && (v & (1u << (n - 1))))
        v |= ~((1u << n) - 1);
    return static_cast<int32_t>(v);
}

} // namespace swivio
