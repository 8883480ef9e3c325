#include "source/movie_header.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "base/bit_reader.h"
#include "base/byte_reader.h"
#include "clib/c_handle.h"
#include "clib/lzma_decoder.h"
#include "clib/zlib_inflater.h"

namespace swivio {

namespace {

// The RECT takes at most 5 + 4 * 31 bits (17 bytes); the rate and count follow it.
constexpr std::size_t kBodyPrefix = 32;
constexpr std::size_t kWindow = 64 * 1024;
constexpr uint32_t kMinimumLength = 21;
constexpr uint64_t kOverrunAllowance = 0xA00000;

// Where the movie's bytes come from: a file or memory.
class Source {
public:
    virtual ~Source() = default;
    virtual uint64_t size() const = 0;
    // Reads up to n bytes at the current position; returns how many were read.
    virtual std::size_t read(uint8_t* out, std::size_t n) = 0;
};

class FileSource : public Source {
public:
    bool open(const std::string& path) {
        // Only a regular file is a movie; opening a pipe would wait for a writer forever.
        std::error_code error;
        if (!std::filesystem::is_regular_file(std::filesystem::path(path), error))
            return false;
        m_file = clib::openFile(path.c_str(), "rb");
        if (!m_file)
            return false;
        // The size is taken by seeking to the end, as a pipe or device gives none.
        if (std::fseek(m_file.get(), 0, SEEK_END) != 0)
            return false;
        const long end = std::ftell(m_file.get());
        if (end < 0 || std::fseek(m_file.get(), 0, SEEK_SET) != 0)
            return false;
        m_size = uint64_t(end);
        return true;
    }
    uint64_t size() const override { return m_size; }
    std::size_t read(uint8_t* out, std::size_t n) override {
        return std::fread(out, 1, n, m_file.get());
    }

private:
    clib::File m_file;
    uint64_t m_size = 0;
};

class MemorySource : public Source {
public:
    MemorySource(const uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    uint64_t size() const override { return m_size; }
    std::size_t read(uint8_t* out, std::size_t n) override {
        const std::size_t take = std::min(n, m_size - m_pos);
        if (take)
            std::memcpy(out, m_data + m_pos, take);
        m_pos += take;
        return take;
    }

private:
    const uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

// Decodes the compressed body that follows the header through a rolling window, keeping
// its first kBodyPrefix bytes in `prefix`. False on a read error or a decoder error.
template <typename Decoder, typename Step>
bool decodeBody(Source& source, uint64_t bodyInputSize, uint64_t outputLimit, Decoder& decoder,
                Step step, std::array<uint8_t, kBodyPrefix>& prefix) {
    std::vector<uint8_t> input(kWindow);
    std::vector<uint8_t> output(kWindow);
    uint64_t produced = 0;
    uint64_t inputLeft = bodyInputSize;
    std::size_t inPos = 0;
    std::size_t inSize = 0;
    while (true) {
        if (inPos == inSize && inputLeft > 0) {
            const std::size_t want = std::size_t(std::min<uint64_t>(inputLeft, kWindow));
            if (source.read(input.data(), want) != want)
                return false; // short read
            inputLeft -= want;
            inPos = 0;
            inSize = want;
        }
        const clib::DecodeStep s =
            step(decoder, input.data() + inPos, inSize - inPos, output.data(), output.size());
        inPos += s.consumed;
        if (produced < kBodyPrefix) {
            const std::size_t keep =
                std::size_t(std::min<uint64_t>(s.produced, kBodyPrefix - produced));
            std::memcpy(prefix.data() + produced, output.data(), keep);
        }
        produced += s.produced;
        if (s.status == clib::DecodeStatus::Ok && s.consumed == 0 && s.produced == 0 &&
            inPos < inSize)
            return false; // the decoder is stuck: never spin on it
        switch (s.status) {
        case clib::DecodeStatus::Error:
            return false;
        case clib::DecodeStatus::StreamEnd:
            return true;
        case clib::DecodeStatus::OutputFull:
            break; // the window is reused
        case clib::DecodeStatus::Ok:
            if (inPos == inSize && inputLeft == 0)
                return true; // the body stops early: what is missing reads as zeros
            break;
        }
        if (produced > outputLimit)
            return true;
    }
}

bool readMovie(Source& source, MovieHeader& h) {
    h = MovieHeader();
    uint8_t header[8];
    if (source.read(header, 8) != 8)
        return false;
    const char kind = char(header[0]);
    if ((kind != 'F' && kind != 'C' && kind != 'Z') || header[1] != 'W' || header[2] != 'S')
        return false;
    const uint32_t declared = uint32_t(header[4]) | uint32_t(header[5]) << 8 |
                              uint32_t(header[6]) << 16 | uint32_t(header[7]) << 24;
    if (declared < kMinimumLength)
        return false;

    if (source.size() < 8)
        return false; // the file shrank while being read
    std::array<uint8_t, kBodyPrefix> body{};
    const uint64_t restOfFile = source.size() - 8;
    if (kind == 'F') {
        const uint64_t bodySize = std::min<uint64_t>(declared, source.size()) - 8;
        const std::size_t want = std::size_t(std::min<uint64_t>(bodySize, kBodyPrefix));
        if (source.read(body.data(), want) != want)
            return false;
    } else {
        const uint64_t limit = uint64_t(declared) + kOverrunAllowance;
        bool ok;
        if (kind == 'C') {
            clib::ZlibInflater inflater;
            ok = inflater.valid() &&
                 decodeBody(
                     source, restOfFile, limit, inflater,
                     [](clib::ZlibInflater& d, const uint8_t* in, std::size_t inSize, uint8_t* out,
                        std::size_t outSize) { return d.inflate(in, inSize, out, outSize); },
                     body);
        } else {
            // The size is left open: movie writers differ on whether the stream carries an
            // end marker, and a stream without one simply runs out of input. The dictionary
            // need not exceed the declared body.
            clib::LzmaDecoder decoder;
            decoder.capDictionary(uint64_t(declared) - 8);
            ok = decodeBody(
                source, restOfFile, limit, decoder,
                [](clib::LzmaDecoder& d, const uint8_t* in, std::size_t inSize, uint8_t* out,
                   std::size_t outSize) { return d.decode(in, inSize, out, outSize); },
                body);
        }
        if (!ok)
            return false;
    }

    ByteReader bytes(body.data(), body.size());
    BitReader bits(bytes);
    const int n = int(bits.ub(5));
    const int32_t xMin = bits.sb(n);
    const int32_t xMax = bits.sb(n);
    const int32_t yMin = bits.sb(n);
    const int32_t yMax = bits.sb(n);
    bits.align();
    const uint16_t rate = bytes.u16();
    const uint16_t count = bytes.u16();

    // Either order of the two values of a pair gives the same size.
    h.width = int32_t((int64_t(std::max(xMin, xMax)) - std::min(xMin, xMax)) / 20);
    h.height = int32_t((int64_t(std::max(yMin, yMax)) - std::min(yMin, yMax)) / 20);
    h.frameRate = float(rate) / 256.0f;
    h.frameCount = count;
    h.signature.assign(reinterpret_cast<const char*>(header), 3);
    h.version = header[3];
    h.declaredLength = declared;
    h.valid = true;
    return true;
}

} // namespace

bool MovieHeader::read(const std::string& path) {
    FileSource source;
    if (!source.open(path)) {
        *this = MovieHeader();
        return false;
    }
    return readMovie(source, *this);
}

bool MovieHeader::read(const uint8_t* data, std::size_t size) {
    MemorySource source(data, size);
    return readMovie(source, *this);
}

} // namespace swivio
