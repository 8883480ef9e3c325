#include "swf/format/movie_file.h"

#include <algorithm>

#include "base/byte_reader.h"
#include "clib/lzma_decoder.h"
#include "clib/zlib_inflater.h"
#include "swf/format/records.h"

namespace swivio::swf {

namespace {

// Runs a decoder over the compressed bytes, growing the output only as bytes are produced.
// Returns false (with the decoder's message) when nothing could be decoded at all.
template <typename Step>
bool decompress(std::span<const uint8_t> in, std::size_t limit, std::vector<uint8_t>& out,
                bool& truncated, std::string& error, Step step) {
    constexpr std::size_t kChunk = 256 * 1024;
    const uint8_t* next = in.data();
    std::size_t left = in.size();
    std::size_t produced = 0;
    truncated = false;
    while (produced < limit) {
        const std::size_t window = std::min(kChunk, limit - produced);
        if (out.size() < produced + window)
            out.resize(produced + window);
        clib::DecodeStep s = step(next, left, out.data() + produced, window);
        next += s.consumed;
        left -= s.consumed;
        produced += s.produced;
        if (s.status == clib::DecodeStatus::StreamEnd)
            break;
        if (s.status == clib::DecodeStatus::Error) {
            truncated = true;
            error = "damaged compressed data";
            break;
        }
        if (s.status == clib::DecodeStatus::Ok && left == 0 && s.produced == 0) {
            truncated = true; // input ran out
            break;
        }
    }
    out.resize(produced);
    out.shrink_to_fit();
    return produced > 0;
}

} // namespace

Result<MovieFile> readMovieFile(std::span<const uint8_t> file) {
    if (file.size() < 8)
        return Result<MovieFile>::failure("file too short for a movie header");
    MovieFile movie;
    const char c0 = char(file[0]);
    if (c0 == 'F')
        movie.compression = MovieCompression::None;
    else if (c0 == 'C')
        movie.compression = MovieCompression::Zlib;
    else if (c0 == 'Z')
        movie.compression = MovieCompression::Lzma;
    if ((c0 != 'F' && c0 != 'C' && c0 != 'Z') || file[1] != 'W' || file[2] != 'S')
        return Result<MovieFile>::failure("not a movie: the signature is not FWS, CWS or ZWS");
    movie.version = file[3];
    movie.declaredLength = loadLe32(file.data() + 4);
    const std::size_t declaredBody =
        movie.declaredLength > 8 ? std::size_t(movie.declaredLength) - 8 : 0;
    const std::size_t limit = std::min(declaredBody, kMaxMovieBytes);
    auto body = std::make_shared<std::vector<uint8_t>>();
    const std::span<const uint8_t> payload = file.subspan(8);

    std::string error;
    bool truncated = false;
    if (movie.compression == MovieCompression::None) {
        const std::size_t n = std::min(payload.size(), limit);
        body->assign(payload.begin(), payload.begin() + std::ptrdiff_t(n));
        truncated = n < declaredBody;
    } else if (movie.compression == MovieCompression::Zlib) {
        clib::ZlibInflater inflater;
        if (!decompress(
                payload, limit, *body, truncated, error,
                [&](const uint8_t* in, std::size_t inSize, uint8_t* out, std::size_t outSize) {
                    return inflater.inflate(in, inSize, out, outSize);
                }))
            return Result<MovieFile>::failure(
                "the compressed movie body cannot be inflated" +
                (inflater.errorString().empty() ? std::string() : ": " + inflater.errorString()));
        truncated = truncated || body->size() < declaredBody;
    } else {
        clib::LzmaDecoder decoder(declaredBody);
        if (!decompress(
                payload, limit, *body, truncated, error,
                [&](const uint8_t* in, std::size_t inSize, uint8_t* out, std::size_t outSize) {
                    return decoder.decode(in, inSize, out, outSize);
                }))
            return Result<MovieFile>::failure(
                "the LZMA movie body cannot be decoded" +
                (decoder.errorString().empty() ? std::string() : ": " + decoder.errorString()));
        truncated = truncated || body->size() < declaredBody;
    }
    movie.truncated = truncated;

    ByteReader in(*body);
    movie.stage = readRect(in);
    movie.frameRate = float(in.u16()) / 256.0f;
    movie.frameCount = in.u16();
    if (!in.ok())
        return Result<MovieFile>::failure("movie header cut short");
    movie.tagsOffset = in.offset();
    movie.body = std::move(body);
    return movie;
}

} // namespace swivio::swf
