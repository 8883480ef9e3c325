#include "swf/image/inflate_bounded.h"

#include <algorithm>
#include <climits>

#include <zlib.h>

namespace swivio::swf::image {

namespace {

// Owns an inflate stream from inflateInit to inflateEnd.
class InflateStream {
public:
    InflateStream() { m_ok = inflateInit(&m_stream) == Z_OK; }
    ~InflateStream() {
        if (m_ok)
            inflateEnd(&m_stream);
    }
    InflateStream(const InflateStream&) = delete;
    InflateStream& operator=(const InflateStream&) = delete;

    bool ok() const { return m_ok; }
    z_stream& stream() { return m_stream; }

private:
    z_stream m_stream{};
    bool m_ok = false;
};

} // namespace

std::size_t inflateBounded(std::span<const uint8_t> zlibData, std::span<uint8_t> out) {
    InflateStream inflater;
    if (!inflater.ok())
        return 0;
    z_stream& z = inflater.stream();
    std::size_t inPos = 0;
    std::size_t outPos = 0;
    // zlib counts in uInt, so large buffers go through in slices.
    constexpr std::size_t kSlice = UINT_MAX / 2;
    while (outPos < out.size()) {
        const std::size_t inChunk = std::min(zlibData.size() - inPos, kSlice);
        const std::size_t outChunk = std::min(out.size() - outPos, kSlice);
        z.next_in = const_cast<Bytef*>(zlibData.data() + inPos);
        z.avail_in = static_cast<uInt>(inChunk);
        z.next_out = out.data() + outPos;
        z.avail_out = static_cast<uInt>(outChunk);
        const int rc = inflate(&z, Z_SYNC_FLUSH);
        inPos += inChunk - z.avail_in;
        const std::size_t produced = outChunk - z.avail_out;
        outPos += produced;
        if (rc == Z_STREAM_END || (rc != Z_OK && rc != Z_BUF_ERROR))
            break;
        // Z_BUF_ERROR or no progress: input exhausted (truncated) or nothing more to do.
        if (produced == 0 && inChunk - z.avail_in == 0)
            break;
    }
    return outPos;
}

} // namespace swivio::swf::image
