#include "swf/writer/swf_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <lzma.h>
#include <zlib.h>

#include "base/byte_writer.h"

namespace swivio::swf::writer {

SwfBits& SwfBits::u8(uint8_t v) {
    align();
    m_out.push_back(v);
    return *this;
}

SwfBits& SwfBits::u16(uint16_t v) {
    u8(uint8_t(v));
    return u8(uint8_t(v >> 8));
}

SwfBits& SwfBits::u32(uint32_t v) {
    u16(uint16_t(v));
    return u16(uint16_t(v >> 16));
}

SwfBits& SwfBits::fixed8(double v) { return u16(uint16_t(int16_t(std::lround(v * 256.0)))); }

SwfBits& SwfBits::fixed16(double v) {
    return u32(uint32_t(int32_t(std::llround(v * 65536.0))));
}

SwfBits& SwfBits::bytes(const std::vector<uint8_t>& data) {
    align();
    m_out.insert(m_out.end(), data.begin(), data.end());
    return *this;
}

SwfBits& SwfBits::cstring(const std::string& s) {
    align();
    m_out.insert(m_out.end(), s.begin(), s.end());
    m_out.push_back(0);
    return *this;
}

SwfBits& SwfBits::ub(int n, uint32_t value) {
    for (int i = n - 1; i >= 0; --i) {
        m_bitBuffer = uint8_t((m_bitBuffer << 1) | ((value >> i) & 1));
        if (++m_bitCount == 8) {
            m_out.push_back(m_bitBuffer);
            m_bitBuffer = 0;
            m_bitCount = 0;
        }
    }
    return *this;
}

SwfBits& SwfBits::sb(int n, int32_t value) { return ub(n, static_cast<uint32_t>(value)); }

SwfBits& SwfBits::fb(int n, double value) {
    return sb(n, int32_t(std::llround(value * 65536.0)));
}

SwfBits& SwfBits::align() {
    if (m_bitCount > 0) {
        m_out.push_back(uint8_t(m_bitBuffer << (8 - m_bitCount)));
        m_bitBuffer = 0;
        m_bitCount = 0;
    }
    return *this;
}

int SwfBits::bitsForUnsigned(uint32_t v) {
    int n = 0;
    while (v) {
        ++n;
        v >>= 1;
    }
    return n;
}

int SwfBits::bitsForSigned(int32_t v) {
    if (v == 0)
        return 1;
    uint32_t magnitude = v < 0 ? uint32_t(~v) : uint32_t(v);
    return bitsForUnsigned(magnitude) + 1;
}

SwfBits& SwfBits::rect(int32_t xMin, int32_t xMax, int32_t yMin, int32_t yMax) {
    int n = std::max({bitsForSigned(xMin), bitsForSigned(xMax), bitsForSigned(yMin),
                      bitsForSigned(yMax)});
    align();
    ub(5, uint32_t(n));
    sb(n, xMin);
    sb(n, xMax);
    sb(n, yMin);
    sb(n, yMax);
    return align();
}

SwfBits& SwfBits::matrix(double scaleX, double scaleY, double rotateSkew0, double rotateSkew1,
                         int32_t translateX, int32_t translateY) {
    align();
    const bool hasScale = scaleX != 1.0 || scaleY != 1.0;
    flag(hasScale);
    if (hasScale) {
        int32_t sx = int32_t(std::llround(scaleX * 65536.0));
        int32_t sy = int32_t(std::llround(scaleY * 65536.0));
        int n = std::max(bitsForSigned(sx), bitsForSigned(sy));
        ub(5, uint32_t(n));
        sb(n, sx);
        sb(n, sy);
    }
    const bool hasRotate = rotateSkew0 != 0.0 || rotateSkew1 != 0.0;
    flag(hasRotate);
    if (hasRotate) {
        int32_t r0 = int32_t(std::llround(rotateSkew0 * 65536.0));
        int32_t r1 = int32_t(std::llround(rotateSkew1 * 65536.0));
        int n = std::max(bitsForSigned(r0), bitsForSigned(r1));
        ub(5, uint32_t(n));
        sb(n, r0);
        sb(n, r1);
    }
    int n = (translateX == 0 && translateY == 0)
                ? 0
                : std::max(bitsForSigned(translateX), bitsForSigned(translateY));
    ub(5, uint32_t(n));
    sb(n, translateX);
    sb(n, translateY);
    return align();
}

SwfBits& SwfBits::cxform(bool withAlpha, const int mult[4], const int add[4]) {
    align();
    const int channels = withAlpha ? 4 : 3;
    bool hasMult = false, hasAdd = false;
    int n = 1;
    for (int i = 0; i < channels; ++i) {
        if (mult[i] != 256)
            hasMult = true;
        if (add[i] != 0)
            hasAdd = true;
    }
    for (int i = 0; i < channels; ++i) {
        if (hasMult)
            n = std::max(n, bitsForSigned(mult[i]));
        if (hasAdd)
            n = std::max(n, bitsForSigned(add[i]));
    }
    flag(hasAdd);
    flag(hasMult);
    ub(4, uint32_t(n));
    if (hasMult)
        for (int i = 0; i < channels; ++i)
            sb(n, mult[i]);
    if (hasAdd)
        for (int i = 0; i < channels; ++i)
            sb(n, add[i]);
    return align();
}

const std::vector<uint8_t>& SwfBits::data() {
    align();
    return m_out;
}

std::vector<uint8_t> SwfWriter::tagRecord(uint16_t code, const std::vector<uint8_t>& body,
                                          bool forceLong) {
    std::vector<uint8_t> out;
    ByteWriter record(out);
    if (body.size() < 0x3F && !forceLong)
        record.u16(uint16_t((code << 6) | body.size()));
    else
        record.u16(uint16_t((code << 6) | 0x3F)).u32(uint32_t(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

SwfWriter& SwfWriter::tag(uint16_t code, const std::vector<uint8_t>& body) {
    auto rec = tagRecord(code, body);
    m_tags.insert(m_tags.end(), rec.begin(), rec.end());
    return *this;
}

SwfWriter& SwfWriter::tag(TagCode code, const std::vector<uint8_t>& body) {
    return tag(static_cast<uint16_t>(code), body);
}

SwfWriter& SwfWriter::longTag(uint16_t code, const std::vector<uint8_t>& body) {
    auto rec = tagRecord(code, body, true);
    m_tags.insert(m_tags.end(), rec.begin(), rec.end());
    return *this;
}

SwfWriter& SwfWriter::backgroundColor(uint8_t r, uint8_t g, uint8_t b) {
    return tag(TagCode::SetBackgroundColor, {r, g, b});
}

std::vector<uint8_t> SwfWriter::body() const {
    SwfBits b;
    b.rect(xMin, xMax, yMin, yMax);
    b.u16(frameRate88);
    b.u16(frameCount);
    std::vector<uint8_t> out = b.data();
    out.insert(out.end(), m_tags.begin(), m_tags.end());
    return out;
}

std::vector<uint8_t> zlibCompress(const std::vector<uint8_t>& in, int level) {
    uLongf size = compressBound(uLong(in.size()));
    std::vector<uint8_t> out(size);
    if (compress2(out.data(), &size, in.data(), uLong(in.size()), level) != Z_OK)
        std::abort();
    out.resize(size);
    return out;
}

namespace {

// LZMA as the "ZWS" body stores it: the compressed length (4 bytes), the 5 property bytes,
// then the raw stream. The .lzma container puts an 8-byte size after the properties, which
// the movie leaves out.
std::vector<uint8_t> lzmaCompress(const std::vector<uint8_t>& in) {
    lzma_options_lzma options;
    lzma_lzma_preset(&options, 6);
    lzma_stream strm = LZMA_STREAM_INIT;
    if (lzma_alone_encoder(&strm, &options) != LZMA_OK)
        std::abort();
    std::vector<uint8_t> out(in.size() + in.size() / 2 + 1024);
    strm.next_in = in.data();
    strm.avail_in = in.size();
    strm.next_out = out.data();
    strm.avail_out = out.size();
    lzma_ret ret = lzma_code(&strm, LZMA_FINISH);
    if (ret != LZMA_STREAM_END)
        std::abort();
    out.resize(out.size() - strm.avail_out);
    lzma_end(&strm);
    std::vector<uint8_t> result;
    const uint32_t packed = uint32_t(out.size() - 13);
    for (int i = 0; i < 4; ++i)
        result.push_back(uint8_t(packed >> (8 * i)));
    result.insert(result.end(), out.begin(), out.begin() + 5);
    result.insert(result.end(), out.begin() + 13, out.end());
    return result;
}

} // namespace

std::vector<uint8_t> SwfWriter::build() const {
    std::vector<uint8_t> movieBody = body();
    const uint32_t length = declaredLengthOverride >= 0 ? uint32_t(declaredLengthOverride)
                                                        : uint32_t(movieBody.size() + 8);
    std::vector<uint8_t> out;
    out.push_back(compression == Compression::None   ? 'F'
                  : compression == Compression::Zlib ? 'C'
                                                     : 'Z');
    out.push_back('W');
    out.push_back('S');
    out.push_back(uint8_t(version));
    for (int i = 0; i < 4; ++i)
        out.push_back(uint8_t(length >> (8 * i)));
    std::vector<uint8_t> payload = compression == Compression::None   ? movieBody
                                   : compression == Compression::Zlib ? zlibCompress(movieBody, 9)
                                                                      : lzmaCompress(movieBody);
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}

bool SwfWriter::writeFile(const std::string& path) const { return writeBytes(path, build()); }

bool writeBytes(const std::string& path, const std::vector<uint8_t>& data) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
    ok = std::fclose(f) == 0 && ok;
    return ok;
}

} // namespace swivio::swf::writer
