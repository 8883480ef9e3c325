#include "swf/image/jpeg_stream.h"

namespace swivio::swf::image {

namespace {

constexpr uint8_t kSoi = 0xD8;
constexpr uint8_t kEoi = 0xD9;
constexpr uint8_t kSos = 0xDA;

bool isStandalone(uint8_t marker) {
    return marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7);
}

class Joiner {
public:
    explicit Joiner(JpegStream& out) : m_out(out) {}

    void append(std::span<const uint8_t> part) {
        std::size_t p = 0;
        const std::size_t n = part.size();
        while (p < n) {
            if (part[p] != 0xFF)
                return copy(part.subspan(p));
            std::size_t q = p;
            while (q + 1 < n && part[q + 1] == 0xFF)
                ++q; // fill bytes before a marker
            if (q + 1 >= n)
                return copy(part.subspan(p));
            const uint8_t marker = part[q + 1];
            p = q + 2;
            if (marker == kSoi) {
                if (!m_sawSoi)
                    emitMarker(kSoi);
                m_sawSoi = true;
                continue;
            }
            if (marker == kEoi) {
                // An EOI followed by another SOI is the stray pair; otherwise the part ends.
                if (p + 1 < n && part[p] == 0xFF && part[p + 1] == kSoi)
                    continue;
                return;
            }
            if (isStandalone(marker)) {
                emitMarker(marker);
                continue;
            }
            if (p + 2 > n)
                return copy(part.subspan(p - 2));
            const std::size_t length = (std::size_t(part[p]) << 8) | part[p + 1];
            if (length < 2 || p + length > n)
                return copy(part.subspan(p - 2));
            emitMarker(marker);
            copy(part.subspan(p, length));
            p += length;
            if (marker == kSos) {
                ++m_out.scans;
                p = copyEntropyData(part, p);
            }
        }
    }

    void finish() {
        if (!m_out.bytes.empty())
            emitMarker(kEoi);
    }

private:
    void emitMarker(uint8_t marker) {
        if (!m_sawSoi && marker != kSoi) {
            // Segments before any SOI still need one in front of them.
            m_out.bytes.push_back(0xFF);
            m_out.bytes.push_back(kSoi);
            m_sawSoi = true;
        }
        m_out.bytes.push_back(0xFF);
        m_out.bytes.push_back(marker);
    }
    void copy(std::span<const uint8_t> bytes) {
        m_out.bytes.insert(m_out.bytes.end(), bytes.begin(), bytes.end());
    }
    // Entropy-coded data runs until a marker other than a stuffed zero or a restart marker.
    std::size_t copyEntropyData(std::span<const uint8_t> part, std::size_t p) {
        const std::size_t start = p;
        while (p < part.size()) {
            if (part[p] == 0xFF && p + 1 < part.size()) {
                const uint8_t next = part[p + 1];
                if (next == 0x00 || (next >= 0xD0 && next <= 0xD7)) {
                    p += 2;
                    continue;
                }
                if (next != 0xFF)
                    break;
            }
            ++p;
        }
        copy(part.subspan(start, p - start));
        return p;
    }

    JpegStream& m_out;
    bool m_sawSoi = false;
};

} // namespace

JpegStream joinJpegStream(std::span<const uint8_t> tables, std::span<const uint8_t> data) {
    JpegStream stream;
    stream.bytes.reserve(tables.size() + data.size() + 4);
    Joiner joiner(stream);
    joiner.append(tables);
    joiner.append(data);
    joiner.finish();
    return stream;
}

} // namespace swivio::swf::image
