#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "base/result.h"
#include "swf/format/types.h"

namespace swivio::swf {

// Upper bound on a movie's uncompressed size. The declared length in the header is never
// trusted for allocation: the body grows only as decompression actually produces bytes, and
// stops at this bound (or at the declared length, whichever is smaller).
constexpr std::size_t kMaxMovieBytes = 256u << 20;

enum class MovieCompression { None, Zlib, Lzma };

// The 8-byte file header, the header fields after it, and the uncompressed body.
struct MovieFile {
    MovieCompression compression = MovieCompression::None;
    int version = 0;
    uint32_t declaredLength = 0; // as the header states it, including the 8 header bytes
    Rect stage;                  // twips
    float frameRate = 0;         // frames per second (8.8 in the file)
    uint16_t frameCount = 0;     // as the header states it
    // True when the body ended (file cut short or compressed stream damaged) before the
    // declared length: the tags that are whole are still read.
    bool truncated = false;
    // Everything after the 8-byte header, uncompressed: the RECT, rate and count, then the
    // tags from tagsOffset on. Shared so that characters can keep views into it.
    std::shared_ptr<const std::vector<uint8_t>> body;
    std::size_t tagsOffset = 0;

    std::span<const uint8_t> tags() const {
        return std::span<const uint8_t>(*body).subspan(tagsOffset);
    }
};

// Reads the signature ("FWS", "CWS" or "ZWS"), decompresses the body and reads the stage
// RECT, frame rate and frame count. Fails with a message for a wrong signature, a body that
// does not decompress at all, or a header cut short.
Result<MovieFile> readMovieFile(std::span<const uint8_t> file);

} // namespace swivio::swf
