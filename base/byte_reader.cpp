#include "base/byte_reader.h"

#include <cstring>

namespace swivio {

uint8_t ByteReader::u8() {
    if (m_pos >= m_data.size()) {
        m_failed = true;
        return 0;
    }
    return m_data[m_pos++];
}

uint16_t ByteReader::u16() {
    if (remaining() < 2) {
        m_failed = true;
        m_pos = m_data.size();
        return 0;
    }
    uint16_t v = loadLe16(m_data.data() + m_pos);
    m_pos += 2;
    return v;
}

uint32_t ByteReader::u32() {
    if (remaining() < 4) {
        m_failed = true;
        m_pos = m_data.size();
        return 0;
    }
    uint32_t v = loadLe32(m_data.data() + m_pos);
    m_pos += 4;
    return v;
}

float ByteReader::f32() {
    uint32_t bits = u32();
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

float ByteReader::fixed8() { return static_cast<float>(s16()) / 256.0f; }

double ByteReader::fixed16() { return static_cast<double>(s32()) / 65536.0; }

uint32_t ByteReader::encodedU32() {
    uint32_t value = 0;
    for (int i = 0; i < 5; ++i) {
        uint8_t b = u8();
        value |= uint32_t(b & 0x7F) << (7 * i);
        if (!(b & 0x80))
            break;
    }
    return value;
}

std::span<const uint8_t> ByteReader::bytes(std::size_t n) {
    if (remaining() < n) {
        m_failed = true;
        m_pos = m_data.size();
        return {};
    }
    auto out = m_data.subspan(m_pos, n);
    m_pos += n;
    return out;
}

ByteReader ByteReader::sub(std::size_t n) {
    if (remaining() < n) {
        m_failed = true;
        n = remaining();
    }
    ByteReader r(m_data.subspan(m_pos, n));
    m_pos += n;
    return r;
}

std::string ByteReader::cstring() {
    std::size_t start = m_pos;
    while (m_pos < m_data.size() && m_data[m_pos] != 0)
        ++m_pos;
    std::string s(reinterpret_cast<const char*>(m_data.data()) + start, m_pos - start);
    if (m_pos < m_data.size())
        ++m_pos; // the terminator
    return s;
}

bool ByteReader::skip(std::size_t n) {
    if (remaining() < n) {
        m_failed = true;
        m_pos = m_data.size();
        return false;
    }
    m_pos += n;
    return true;
}

bool ByteReader::seek(std::size_t pos) {
    if (pos > m_data.size()) {
        m_failed = true;
        m_pos = m_data.size();
        return false;
    }
    m_pos = pos;
    return true;
}

} // namespace swivio
