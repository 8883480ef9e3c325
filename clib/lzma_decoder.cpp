#include "clib/lzma_decoder.h"

#include <algorithm>
#include <cstdlib>

#include <lzma.h>

namespace swivio::clib {

// Heap-held so that moving the owner never moves liblzma's stream.
struct LzmaDecoder::Stream {
    lzma_stream s = LZMA_STREAM_INIT;
    ~Stream() { lzma_end(&s); }
};

namespace {

const char* lzmaMessage(lzma_ret ret) {
    switch (ret) {
    case LZMA_MEM_ERROR:
        return "out of memory while decoding LZMA data";
    case LZMA_MEMLIMIT_ERROR:
        return "the LZMA dictionary is larger than the memory allowed for it";
    case LZMA_FORMAT_ERROR:
    case LZMA_OPTIONS_ERROR:
        return "unsupported LZMA properties";
    case LZMA_DATA_ERROR:
        return "damaged LZMA data";
    default:
        return "LZMA decoding failed";
    }
}

} // namespace

LzmaDecoder::LzmaDecoder(uint64_t uncompressedSize, uint64_t memoryLimit)
    : m_stream(std::make_unique<Stream>()), m_uncompressedSize(uncompressedSize),
      m_memoryLimit(memoryLimit) {}

LzmaDecoder::~LzmaDecoder() = default;
LzmaDecoder::LzmaDecoder(LzmaDecoder&&) noexcept = default;
LzmaDecoder& LzmaDecoder::operator=(LzmaDecoder&&) noexcept = default;

bool LzmaDecoder::start() {
    m_compressedLength = uint32_t(m_prefix[0]) | uint32_t(m_prefix[1]) << 8 |
                         uint32_t(m_prefix[2]) << 16 | uint32_t(m_prefix[3]) << 24;
    lzma_filter filter{LZMA_FILTER_LZMA1EXT, nullptr};
    lzma_ret ret = lzma_properties_decode(&filter, nullptr, m_prefix.data() + 4, 5);
    if (ret != LZMA_OK) {
        m_error = lzmaMessage(ret);
        return false;
    }
    // liblzma allocated the options with malloc; keep them only until the decoder has copied
    // them.
    std::unique_ptr<lzma_options_lzma, void (*)(lzma_options_lzma*)> options(
        static_cast<lzma_options_lzma*>(filter.options),
        [](lzma_options_lzma* p) { std::free(p); });
    // A dictionary larger than the whole output can never be referenced; do not pay for it.
    const uint64_t cap = std::min(m_uncompressedSize, m_dictionaryCap);
    if (cap != kUnknownSize && options->dict_size > cap)
        options->dict_size = uint32_t(std::max<uint64_t>(cap, LZMA_DICT_SIZE_MIN));
    // Movie writers differ on the end marker: with the size known it may or may not follow
    // the last byte; with the size unknown only the marker (or the end of input) ends it.
    options->ext_flags = LZMA_LZMA1EXT_ALLOW_EOPM;
    options->ext_size_low = uint32_t(m_uncompressedSize);
    options->ext_size_high = uint32_t(m_uncompressedSize >> 32);
    const lzma_filter filters[] = {{LZMA_FILTER_LZMA1EXT, options.get()},
                                   {LZMA_VLI_UNKNOWN, nullptr}};
    if (lzma_raw_decoder_memusage(filters) > m_memoryLimit) {
        m_error = lzmaMessage(LZMA_MEMLIMIT_ERROR);
        return false;
    }
    ret = lzma_raw_decoder(&m_stream->s, filters);
    if (ret != LZMA_OK) {
        m_error = lzmaMessage(ret);
        return false;
    }
    return true;
}

DecodeStep LzmaDecoder::decode(const uint8_t* in, std::size_t inSize, uint8_t* out,
                               std::size_t outSize) {
    DecodeStep step;
    if (!m_stream) { // moved from
        step.status = DecodeStatus::Error;
        return step;
    }
    if (m_final != DecodeStatus::Ok) {
        step.status = m_final;
        return step;
    }
    if (m_prefixFill < kPrefixSize) {
        const std::size_t take = std::min(kPrefixSize - m_prefixFill, inSize);
        std::copy_n(in, take, m_prefix.begin() + std::ptrdiff_t(m_prefixFill));
        m_prefixFill += take;
        step.consumed = take;
        if (m_prefixFill < kPrefixSize)
            return step; // Ok: more input needed
        if (!start()) {
            step.status = m_final = DecodeStatus::Error;
            return step;
        }
    }

    lzma_stream& s = m_stream->s;
    while (true) {
        const std::size_t inLeft = inSize - step.consumed;
        const std::size_t outLeft = outSize - step.produced;
        if (inLeft == 0) {
            step.status = outLeft == 0 ? DecodeStatus::OutputFull : DecodeStatus::Ok;
            break;
        }
        s.next_in = in + step.consumed;
        s.avail_in = inLeft;
        s.next_out = out + step.produced;
        s.avail_out = outLeft;
        const lzma_ret ret = lzma_code(&s, LZMA_RUN);
        const std::size_t used = inLeft - s.avail_in;
        step.consumed += used;
        step.produced += outLeft - s.avail_out;
        // With the size known the body is complete at its last byte. liblzma 5.4 may still
        // fail on an end marker split across two input windows after that point, so the
        // marker is not waited for.
        const bool complete = m_uncompressedSize != kUnknownSize &&
                              m_totalProduced + step.produced == m_uncompressedSize;
        if (ret == LZMA_STREAM_END || (ret == LZMA_OK && complete)) {
            step.status = m_final = DecodeStatus::StreamEnd;
            break;
        }
        if (ret == LZMA_OK || ret == LZMA_BUF_ERROR) {
            const bool progressed = used != 0 || s.avail_out != outLeft;
            if (s.avail_out == 0) {
                step.status = DecodeStatus::OutputFull;
                break;
            }
            if (progressed)
                continue;
            step.status = DecodeStatus::Ok;
            break;
        }
        m_error = std::string(lzmaMessage(ret)) + " (after " + std::to_string(s.total_in) +
                  " compressed bytes)";
        step.status = m_final = DecodeStatus::Error;
        break;
    }
    m_totalProduced += step.produced;
    return step;
}

} // namespace swivio::clib
