#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "clib/zlib_inflater.h"

namespace swivio::clib {

// Owns an LZMA decoder for the body of a "ZWS" movie. After the movie's 8-byte header the
// file holds:
//
//     4 bytes  length of the compressed data (little-endian; informative only, not trusted)
//     5 bytes  LZMA properties (lc/lp/pb byte, then the dictionary size, little-endian)
//     ...      raw LZMA1 data
//
// The decoder is given those bytes from file offset 8 on, exactly like ZlibInflater is
// given a "CWS" body: it collects the 9-byte prefix itself and decodes the rest with
// liblzma's raw LZMA1 decoder. (The .lzma container decoder is not used: it would need a
// synthesised 13-byte header and, given a known size, rejects a stream that also carries an
// end-of-payload marker, which movie writers commonly add.)
//
// The uncompressed size given to the constructor is the movie's declared length less 8.
// With kUnknownSize the stream ends at its end-of-payload marker (StreamEnd) or simply runs
// out of input (Ok with all input used: a truncated or marker-less body). With a known size
// the stream ends (StreamEnd) as soon as that many bytes have been produced (an end marker
// after them is left unconsumed, not checked); an end marker before that is an Error.
//
// Memory: the dictionary size comes from the file. When the size is known the dictionary is
// capped at it (a larger one can never be referenced), and liblzma's usage is bounded by
// memoryLimit in every case: a movie that asks for more is reported as an Error instead of
// being allocated.
//
// Incremental interface, statuses and the loop to use are those of ZlibInflater
// (zlib_inflater.h). Not copyable; movable. One thread at a time.
class LzmaDecoder {
public:
    static constexpr uint64_t kUnknownSize = UINT64_MAX;
    static constexpr uint64_t kDefaultMemoryLimit = 256ull << 20;
    // Bytes of the body before the raw LZMA data: compressed length and properties.
    static constexpr std::size_t kPrefixSize = 9;

    explicit LzmaDecoder(uint64_t uncompressedSize = kUnknownSize,
                         uint64_t memoryLimit = kDefaultMemoryLimit);
    ~LzmaDecoder();
    LzmaDecoder(LzmaDecoder&&) noexcept;
    LzmaDecoder& operator=(LzmaDecoder&&) noexcept;
    LzmaDecoder(const LzmaDecoder&) = delete;
    LzmaDecoder& operator=(const LzmaDecoder&) = delete;

    // Caps the dictionary at `bytes` (at least 4 KiB), for a stream whose size is unknown but
    // expected to stay within `bytes`: a larger dictionary could only serve output beyond
    // that. A back-reference past the cap is then reported as an Error. Call before the
    // first decode().
    void capDictionary(uint64_t bytes) { m_dictionaryCap = bytes; }

    // Decodes from in[0 .. inSize) into out[0 .. outSize); see ZlibInflater::inflate.
    // Prefix bytes count as consumed but produce nothing.
    DecodeStep decode(const uint8_t* in, std::size_t inSize, uint8_t* out, std::size_t outSize);

    // The stored compressed length, once the prefix has been seen (0 before).
    uint32_t compressedLength() const { return m_compressedLength; }
    // Total bytes produced since construction.
    uint64_t totalProduced() const { return m_totalProduced; }
    // Why the last step reported Error.
    const std::string& errorString() const { return m_error; }

private:
    bool start();

    struct Stream;
    std::unique_ptr<Stream> m_stream;
    uint64_t m_uncompressedSize;
    uint64_t m_memoryLimit;
    uint64_t m_dictionaryCap = kUnknownSize;
    std::array<uint8_t, kPrefixSize> m_prefix{};
    std::size_t m_prefixFill = 0;
    uint32_t m_compressedLength = 0;
    DecodeStatus m_final = DecodeStatus::Ok;
    uint64_t m_totalProduced = 0;
    std::string m_error;
};

} // namespace swivio::clib
