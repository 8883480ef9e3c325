#pragma once

#include <cstddef>
#include <cstdint>

namespace swivio {

// "QCLZ" blocks: the frame store's own LZ block format. A block is a 32-byte header (magic
// "QCLZ", format 3, block size, uncompressed size, compressed flag, 12 reserved bytes), the
// body and the trailer "QCLZ" in its last 4 bytes. All integers are little-endian.

// Bytes of a block around a stored (uncompressed) body: the header and the trailer.
inline constexpr std::size_t kQclzStoredOverhead = 36;
// Extra destination bytes compressBlock needs beyond the source length: room for the block
// (which may outgrow the source a little before the stored fallback decides) and the
// compressor's hash table at the upper end.
inline constexpr std::size_t kQclzScratchExtra = 36000;

// Size of the destination area that compressBlock needs for `length` source bytes.
inline constexpr std::size_t qclzScratchSize(std::size_t length) {
    return length + kQclzScratchExtra;
}

// Compresses `length` bytes (at most 2^31 bytes) into one block at `destination`, which must
// hold qclzScratchSize(length) bytes; its upper end is used as the hash table, so its content
// beyond the block is not significant afterwards. Returns the block size. Data that does not
// compress is written stored: block size = length + 36, compressed flag 0. Keeps no state
// between calls. When the data is a picture, `rowBytes` (its row length) lets the bytes one
// row up be tried first as a match; the block decodes the same either way.
std::size_t compressBlock(const uint8_t* source, std::size_t length, uint8_t* destination,
                          std::size_t rowBytes = 0);

// Decodes the block of `blockSize` available bytes at `block` into `destination`, which holds
// `capacity` bytes. Returns the uncompressed size, or 0 when the block is not valid: a wrong
// magic, trailer or format, a block size field beyond `blockSize`, an uncompressed size beyond
// `capacity`, or a body that does not decode to exactly its uncompressed size (items running
// past the body, matches reaching before the output start or past its end). Never reads
// outside the block nor writes outside `destination`; on failure, the destination content is
// not significant.
std::size_t decompressBlock(const uint8_t* block, std::size_t blockSize, uint8_t* destination,
                            std::size_t capacity);

} // namespace swivio
