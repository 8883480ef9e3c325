#include "capture/qclz.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

namespace swivio {

static_assert(std::endian::native == std::endian::little,
              "QCLZ words are read and written in the machine's byte order");

namespace {

constexpr uint32_t kMagic = 0x5A4C4351; // "QCLZ" read as a little-endian word
constexpr uint32_t kFormat = 3;
constexpr std::size_t kHeaderSize = 32;
constexpr std::size_t kFirstItem = 36;
// Bytes after the last item: 3 padding bytes, so a token can be read as a 32-bit word, and
// the trailer.
constexpr std::size_t kEndBytes = 7;
constexpr uint32_t kControlFlag = 0x80000000;
constexpr unsigned kItemsPerGroup = 31;

// The compressor leaves this many source bytes (at least) to the literal tail.
constexpr std::size_t kLiteralTail = 2067;
constexpr std::size_t kGrowthLimit = 128;
constexpr std::size_t kSkipSpan = 2018;
// A skip needs the input position + 4100 below the last source byte - 16.
constexpr std::size_t kSkipRoom = 4100 + 16 + 1;
constexpr uint32_t kRunLimit = 2046;
constexpr uint32_t kMaxMatch = 2050;
constexpr uint32_t kMaxOffset = 131071;
constexpr std::size_t kHashEntries = 4096;

inline uint32_t load32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

inline void store32(uint8_t* p, uint32_t v) {
    std::memcpy(p, &v, 4);
}

inline uint64_t load64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

// Length of the common prefix of a and b, at most `limit`; both ranges hold `limit` bytes.
inline uint32_t commonLength(const uint8_t* a, const uint8_t* b, uint32_t limit) {
    uint32_t n = 0;
    // Matches in flat areas run to hundreds of bytes: compare 32 bytes a step first.
    while (n + 32 <= limit &&
           ((load64(a + n) ^ load64(b + n)) | (load64(a + n + 8) ^ load64(b + n + 8)) |
            (load64(a + n + 16) ^ load64(b + n + 16)) |
            (load64(a + n + 24) ^ load64(b + n + 24))) == 0)
        n += 32;
    while (n + 8 <= limit) {
        const uint64_t diff = load64(a + n) ^ load64(b + n);
        if (diff != 0)
            return n + uint32_t(std::countr_zero(diff) / 8);
        n += 8;
    }
    while (n < limit && a[n] == b[n])
        ++n;
    return n;
}

std::size_t writeStored(const uint8_t* source, std::size_t length, uint8_t* destination) {
    std::memcpy(destination + kHeaderSize, source, length);
    const std::size_t blockSize = length + kHeaderSize + 4;
    store32(destination + 8, uint32_t(blockSize));
    store32(destination + 16, 0);
    store32(destination + kHeaderSize + length, kMagic);
    return blockSize;
}

} // namespace

std::size_t compressBlock(const uint8_t* source, std::size_t length, uint8_t* destination,
                          std::size_t rowBytes) {
    // Rows too short or too long for a match token are no help; past the end nothing is.
    if (rowBytes <= 3 || rowBytes > kMaxOffset)
        rowBytes = SIZE_MAX;
    uint8_t* const block = destination;
    store32(block, kMagic);
    store32(block + 4, kFormat);
    store32(block + 12, uint32_t(length));
    std::memset(block + 20, 0, 12);
    if (length == 0)
        return writeStored(source, length, destination);

    // The hash table holds source offsets, 4-byte aligned at the top of the scratch area.
    auto tableEnd = reinterpret_cast<std::uintptr_t>(destination + qclzScratchSize(length));
    tableEnd &= ~std::uintptr_t(3);
    uint8_t* const table = reinterpret_cast<uint8_t*>(tableEnd) - kHashEntries * 4;
    std::memset(table, 0, kHashEntries * 4);

    uint8_t* slot = block + kHeaderSize;
    uint8_t* op = block + kFirstItem;
    *op++ = source[0];
    uint32_t control = 0;
    unsigned items = 1;
    std::size_t ip = 1;
    std::size_t markIp = ip;
    uint8_t* markOp = op;

    // A match of `len` bytes (4 to kMaxMatch) from `offset` bytes back (4 to kMaxOffset), in
    // the shortest token that holds it.
    auto emitMatch = [&](uint32_t len, uint32_t offset) {
        if (len <= 18 && offset <= 1023) {
            store32(op, ((len - 3) << 2) | (offset << 6) | 2);
            op += 2;
        } else if (len <= 34 && offset <= 65535) {
            store32(op, ((len - 3) << 3) | (offset << 8) | 3);
            op += 3;
        } else {
            store32(op, ((len - 3) << 4) | (offset << 15) | 7);
            op += 4;
        }
        ip += len;
        control |= 1u << items;
        ++items;
    };

    const std::size_t loopEnd = length > kLiteralTail ? length - kLiteralTail : 0;
    while (ip < loopEnd) {
        if (items == kItemsPerGroup) {
            if (std::size_t(op - block) > length + kGrowthLimit)
                return writeStored(source, length, destination);
            store32(slot, control | kControlFlag);
            slot = op;
            op += 4;
            control = 0;
            items = 0;
            // Through data that does not compress, copy whole literal groups without looking.
            if (std::size_t(op - markOp) > ip - markIp && ip + kSkipRoom < length) {
                while (ip < markIp + kSkipSpan) {
                    store32(slot, kControlFlag);
                    std::memcpy(op, source + ip, kItemsPerGroup);
                    op += kItemsPerGroup;
                    ip += kItemsPerGroup;
                    slot = op;
                    op += 4;
                }
            }
            markIp = ip;
            markOp = op;
        }

        const uint8_t* const in = source + ip;
        const uint32_t v = load32(in);
        if (v == (v & 0xFF) * 0x01010101u && in[4] == in[0]) {
            uint32_t run = 5;
            while (run < kRunLimit && load32(in + run) == v)
                run += 4;
            store32(op, (run << 4) | 0xF | ((v & 0xFF) << 16));
            op += 3;
            ip += run;
            control |= 1u << items;
            ++items;
            continue;
        }

        // In a picture the row above is the likeliest match, and a long one: a gradient
        // that changes across the picture repeats whole rows down it.
        if (ip >= rowBytes && load32(in - rowBytes) == v) {
            emitMatch(4 + commonLength(in + 4, in - rowBytes + 4, kMaxMatch - 4),
                      uint32_t(rowBytes));
            continue;
        }
        // A run of one colour repeats every pixel (3 bytes) and so every 6, the nearest
        // distance a match may have: the hash below only ever remembers the last pixel.
        if (rowBytes != SIZE_MAX && ip >= 6 && load32(in - 6) == v) {
            emitMatch(4 + commonLength(in + 4, in - 6 + 4, kMaxMatch - 4), 6);
            continue;
        }

        uint8_t* const entry = table + (((v >> 12) ^ v) & 0xFFF) * 4;
        const uint32_t candidate = load32(entry);
        store32(entry, uint32_t(ip));
        const uint32_t offset = uint32_t(ip) - candidate;
        const uint32_t found = load32(source + candidate);
        if (offset <= kMaxOffset && offset > 3 && ((found ^ v) & 0xFFFFFF) == 0) {
            if (found == v) {
                emitMatch(4 + commonLength(in + 4, source + candidate + 4, kMaxMatch - 4),
                          offset);
                continue;
            }
            if (offset <= 63) {
                *op++ = uint8_t(offset << 2);
                ip += 3;
                control |= 1u << items;
                ++items;
                continue;
            }
            if (offset <= 16383) {
                store32(op, (offset << 2) | 1);
                op += 2;
                ip += 3;
                control |= 1u << items;
                ++items;
                continue;
            }
        }
        *op++ = *in;
        ++ip;
        ++items;
    }

    while (ip < length) {
        if (items == kItemsPerGroup) {
            store32(slot, control | kControlFlag);
            slot = op;
            op += 4;
            control = 0;
            items = 0;
        }
        *op++ = source[ip++];
        ++items;
    }
    store32(slot, control | kControlFlag);

    const std::size_t blockSize = std::size_t(op - block) + kEndBytes;
    std::memset(op, 0, 3);
    store32(block + blockSize - 4, kMagic);
    store32(block + 8, uint32_t(blockSize));
    store32(block + 16, 1);
    return blockSize;
}

namespace {

// Copies a match of `len` bytes from `offset` bytes back; the caller has checked that the
// source lies inside the output and the match inside the destination. Wide copies may write
// past the match while `room` (bytes left in the destination) allows; an offset of at least
// the copy width means every word read has already been written.
inline void copyMatch(uint8_t* op, uint32_t offset, uint32_t len, std::size_t room) {
    const uint8_t* from = op - offset;
    uint8_t* const end = op + len;
    if (offset >= 16 && room >= std::size_t(len) + 16) {
        do {
            std::memcpy(op, from, 16);
            op += 16;
            from += 16;
        } while (op < end);
    } else if (offset >= 8 && room >= std::size_t(len) + 8) {
        do {
            std::memcpy(op, from, 8);
            op += 8;
            from += 8;
        } while (op < end);
    } else if (len >= 32) {
        // A short period repeated far (a run of one colour): copy the pattern so far, which
        // doubles it each time, in non-overlapping pieces.
        std::size_t period = offset;
        while (op < end) {
            const std::size_t n = std::min(period, std::size_t(end - op));
            std::memcpy(op, op - period, n);
            op += n;
            period *= 2;
        }
    } else if (room >= std::size_t(len) + 4) {
        do {
            std::memcpy(op, from, 4);
            op += 4;
            from += 4;
        } while (op < end);
    } else {
        while (op < end)
            *op++ = *from++;
    }
}

} // namespace

std::size_t decompressBlock(const uint8_t* block, std::size_t blockSize, uint8_t* destination,
                            std::size_t capacity) {
    if (blockSize < kHeaderSize + 4)
        return 0;
    if (load32(block) != kMagic || load32(block + 4) != kFormat)
        return 0;
    const std::size_t declaredSize = load32(block + 8);
    if (declaredSize < kHeaderSize + 4 || declaredSize > blockSize)
        return 0;
    if (load32(block + declaredSize - 4) != kMagic)
        return 0;
    const std::size_t size = load32(block + 12);
    if (size > capacity)
        return 0;

    const uint32_t compressed = load32(block + 16);
    if (compressed == 0) {
        if (size > declaredSize - (kHeaderSize + 4))
            return 0;
        std::memcpy(destination, block + kHeaderSize, size);
        return size;
    }
    if (compressed != 1 || size == 0 || declaredSize < kFirstItem + kEndBytes)
        return 0;

    // Items must end before the padding; a token may still be read as a whole word there.
    const uint8_t* const itemsEnd = block + declaredSize - kEndBytes;
    if (size <= 4) {
        if (std::size_t(itemsEnd - (block + kFirstItem)) < size)
            return 0;
        std::memcpy(destination, block + kFirstItem, size);
        return size;
    }

    const uint8_t* ip = block + kHeaderSize;
    uint8_t* op = destination;
    uint8_t* const outEnd = destination + size;
    uint32_t control = 1;
    for (;;) {
        if (control == 1) {
            if (itemsEnd - ip < 4)
                return 0;
            control = load32(ip);
            ip += 4;
            if (!(control & kControlFlag))
                return 0;
        }
        if (!(control & 1)) {
            // Far from both ends, copy all the literals up to the next token (or the end of
            // the group) with two wide copies; the bytes beyond are overwritten later.
            const unsigned literals = unsigned(std::countr_zero(control));
            if (outEnd - op >= 36 && itemsEnd - ip >= 32) {
                std::memcpy(op, ip, 16);
                std::memcpy(op + 16, ip + 16, 16);
                op += literals;
                ip += literals;
                control >>= literals;
                continue;
            }
            if ((control & 0xF) == 0 && outEnd - op >= 4 && itemsEnd - ip >= 4) {
                std::memcpy(op, ip, 4);
                op += 4;
                ip += 4;
                control >>= 4;
            } else {
                if (ip >= itemsEnd)
                    return 0;
                *op++ = *ip++;
                control >>= 1;
            }
            if (outEnd - op <= 4)
                break;
            continue;
        }

        control >>= 1;
        if (ip >= itemsEnd)
            return 0;
        const uint32_t t = load32(ip);
        uint32_t len;
        uint32_t offset;
        unsigned tokenSize;
        switch (t & 3) {
        case 0:
            len = 3;
            offset = (t & 0xFF) >> 2;
            tokenSize = 1;
            break;
        case 1:
            len = 3;
            offset = (t & 0xFFFF) >> 2;
            tokenSize = 2;
            break;
        case 2:
            len = ((t >> 2) & 0xF) + 3;
            offset = (t & 0xFFFF) >> 6;
            tokenSize = 2;
            break;
        default:
            if (!(t & 4)) {
                len = ((t >> 3) & 0x1F) + 3;
                offset = (t >> 8) & 0xFFFF;
                tokenSize = 3;
            } else if (!(t & 8)) {
                len = ((t >> 4) & 0x7FF) + 3;
                offset = t >> 15;
                tokenSize = 4;
            } else {
                // A run: a length and a byte value instead of an offset.
                len = (t >> 4) & 0xFFF;
                if (itemsEnd - ip < 3 || std::size_t(outEnd - op) < len)
                    return 0;
                std::memset(op, int((t >> 16) & 0xFF), len);
                ip += 3;
                op += len;
                if (op == outEnd)
                    return size;
                continue;
            }
            break;
        }
        if (std::size_t(itemsEnd - ip) < tokenSize || offset < 4 ||
            std::size_t(op - destination) < offset || std::size_t(outEnd - op) < len)
            return 0;
        ip += tokenSize;
        copyMatch(op, offset, len, std::size_t(outEnd - op));
        op += len;
        if (op == outEnd)
            return size;
    }

    // The last bytes are literals whatever their item bits say; control words are skipped.
    while (op < outEnd) {
        if (control == 1) {
            if (itemsEnd - ip < 4)
                return 0;
            ip += 4;
            control = kControlFlag;
        }
        if (ip >= itemsEnd)
            return 0;
        *op++ = *ip++;
        control >>= 1;
    }
    return size;
}

} // namespace swivio
