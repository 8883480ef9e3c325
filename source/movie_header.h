#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace swivio {

// The facts of an SWF movie that are needed before it plays: stage size, frame rate and
// frame count, from the 8-byte file header and the start of the (possibly compressed) body.
//
// A movie is accepted when its signature is "FWS" (uncompressed body), "CWS" (zlib) or
// "ZWS" (LZMA), its declared length is at least 21 and its body can be read:
//  - an uncompressed file shorter than its declared length is accepted, the missing bytes
//    reading as zeros;
//  - a compressed body is decoded in full, and a damaged one (a decoder error anywhere in
//    it) is refused, while one that merely stops early (truncated file) is accepted with the
//    missing bytes reading as zeros.
// Memory stays small whatever the declared length: the body is decoded through a small
// window and only its first bytes are kept. Decoding stops once it has run 10 MiB past the
// declared length (such a stream is not checked further).
struct MovieHeader {
    bool valid = false;
    int32_t width = 0; // stage size in pixels (twips / 20, truncated)
    int32_t height = 0;
    float frameRate = 0; // frames per second (8.8 fixed point in the file)
    int32_t frameCount = 0;
    std::string signature; // "FWS", "CWS" or "ZWS" once the signature has been accepted
    int version = 0;
    uint32_t declaredLength = 0; // uncompressed length of the whole file, header included

    // Reads the movie at `path` (UTF-8). Returns `valid`; on failure the other fields are
    // meaningless. No file stays open and no buffer is kept after the call.
    bool read(const std::string& path);
    // The same rules for a movie held in memory.
    bool read(const uint8_t* data, std::size_t size);
};

} // namespace swivio
