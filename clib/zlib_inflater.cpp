#include "clib/zlib_inflater.h"

#include <algorithm>
#include <limits>

#include <zlib.h>

namespace swivio::clib {

// The z_stream lives on the heap: zlib's internal state points back at it, so it must not
// move when the owner does.
struct ZlibInflater::Stream {
    z_stream z{};
    ~Stream() { inflateEnd(&z); }
};

ZlibInflater::ZlibInflater() {
    auto stream = std::make_unique<Stream>();
    if (inflateInit(&stream->z) != Z_OK) {
        m_error = "zlib could not set up an inflate stream";
        // inflateEnd on a stream that failed to initialise is harmless, but nothing is kept.
        return;
    }
    m_stream = std::move(stream);
}

ZlibInflater::~ZlibInflater() = default;
ZlibInflater::ZlibInflater(ZlibInflater&&) noexcept = default;
ZlibInflater& ZlibInflater::operator=(ZlibInflater&&) noexcept = default;

DecodeStep ZlibInflater::inflate(const uint8_t* in, std::size_t inSize, uint8_t* out,
                                 std::size_t outSize) {
    DecodeStep step;
    if (!m_stream) {
        step.status = DecodeStatus::Error;
        return step;
    }
    if (m_final != DecodeStatus::Ok) {
        step.status = m_final;
        return step;
    }
    z_stream& z = m_stream->z;
    // zlib counts in uInt; larger windows are fed in pieces.
    constexpr std::size_t kChunk = std::numeric_limits<uInt>::max();
    while (true) {
        const std::size_t inPart = std::min(inSize - step.consumed, kChunk);
        const std::size_t outPart = std::min(outSize - step.produced, kChunk);
        if (outPart == 0) {
            step.status = DecodeStatus::OutputFull;
            break;
        }
        if (inPart == 0) {
            step.status = DecodeStatus::Ok;
            break;
        }
        z.next_in = const_cast<Bytef*>(in + step.consumed);
        z.avail_in = static_cast<uInt>(inPart);
        z.next_out = out + step.produced;
        z.avail_out = static_cast<uInt>(outPart);
        const int ret = ::inflate(&z, Z_SYNC_FLUSH);
        step.consumed += inPart - z.avail_in;
        step.produced += outPart - z.avail_out;
        if (ret == Z_STREAM_END) {
            step.status = m_final = DecodeStatus::StreamEnd;
            break;
        }
        const bool progressed = z.avail_in != inPart || z.avail_out != outPart;
        if (ret == Z_OK && progressed)
            continue;
        if (ret == Z_OK || ret == Z_BUF_ERROR) {
            // No progress was possible: one of the windows ran dry.
            step.status = outSize == step.produced ? DecodeStatus::OutputFull : DecodeStatus::Ok;
            break;
        }
        m_error = std::string("damaged zlib data: ") + (z.msg ? z.msg : "inflate failed") +
                  " (after " + std::to_string(z.total_in) + " compressed bytes)";
        if (ret == Z_MEM_ERROR)
            m_error = "out of memory while inflating";
        step.status = m_final = DecodeStatus::Error;
        break;
    }
    m_totalProduced += step.produced;
    return step;
}

} // namespace swivio::clib
