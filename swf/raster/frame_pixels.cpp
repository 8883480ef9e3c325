#include "swf/raster/frame_pixels.h"

#include <cstring>

#include "swf/raster/pixel_ops.h"

#if defined(__x86_64__) || defined(__i386__)
#include <tmmintrin.h>
#define SWIVIO_HAS_SSSE3_PATH 1
#endif

namespace swivio::swf::raster {
namespace {

// One premultiplied pixel over the frame's B, G, R bytes, or over `under` when not 0.
void storePixel(uint8_t* out, uint32_t p, uint32_t under) {
    if (under != 0) {
        p = over(under, p);
    }
    const uint32_t keep = 255 - pixelA(p);
    if (keep == 0) {
        out[0] = uint8_t(pixelB(p));
        out[1] = uint8_t(pixelG(p));
        out[2] = uint8_t(pixelR(p));
        return;
    }
    out[0] = uint8_t(pixelB(p) + mul255(out[0], keep));
    out[1] = uint8_t(pixelG(p) + mul255(out[1], keep));
    out[2] = uint8_t(pixelR(p) + mul255(out[2], keep));
}

// Four pixels: when all are opaque, twelve bytes in three plain four-byte stores, which the
// processor handles far better than overlapping read-modify-writes.
void storeFour(const uint32_t* in, uint8_t* out, uint32_t under) {
    const uint32_t p0 = in[0], p1 = in[1], p2 = in[2], p3 = in[3];
    if ((p0 & p1 & p2 & p3) >> 24 != 255) {
        for (int k = 0; k < 4; ++k) {
            storePixel(out + 3 * k, in[k], under);
        }
        return;
    }
    const uint32_t w0 = pixelB(p0) | pixelG(p0) << 8 | pixelR(p0) << 16 | pixelB(p1) << 24;
    const uint32_t w1 = pixelG(p1) | pixelR(p1) << 8 | pixelB(p2) << 16 | pixelG(p2) << 24;
    const uint32_t w2 = pixelR(p2) | pixelB(p3) << 8 | pixelG(p3) << 16 | pixelR(p3) << 24;
    std::memcpy(out, &w0, 4);
    std::memcpy(out + 4, &w1, 4);
    std::memcpy(out + 8, &w2, 4);
}

#if SWIVIO_HAS_SSSE3_PATH
// Sixteen pixels at a time with byte shuffles, where the processor has them: each group of
// four loses its alpha bytes and swaps R and B, and the four twelve-byte results are joined
// into three sixteen-byte stores. Groups with a pixel that is not opaque go the slow way.
// Returns how many pixels it wrote.
__attribute__((target("ssse3"))) int storeSixteens(const uint32_t* in, uint8_t* out, int count,
                                                   uint32_t under) {
    const __m128i order = _mm_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1);
    const __m128i alpha = _mm_set1_epi32(int(0xFF000000u));
    int x = 0;
    for (; x + 16 <= count; x += 16, out += 48) {
        const __m128i* src = reinterpret_cast<const __m128i*>(in + x);
        const __m128i a = _mm_loadu_si128(src), b = _mm_loadu_si128(src + 1);
        const __m128i c = _mm_loadu_si128(src + 2), d = _mm_loadu_si128(src + 3);
        const __m128i all = _mm_and_si128(_mm_and_si128(a, b), _mm_and_si128(c, d));
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(_mm_and_si128(all, alpha), alpha)) != 0xFFFF) {
            for (int k = 0; k < 16; k += 4) {
                storeFour(in + x + k, out + 3 * k, under);
            }
            continue;
        }
        const __m128i sa = _mm_shuffle_epi8(a, order), sb = _mm_shuffle_epi8(b, order);
        const __m128i sc = _mm_shuffle_epi8(c, order), sd = _mm_shuffle_epi8(d, order);
        __m128i* dst = reinterpret_cast<__m128i*>(out);
        _mm_storeu_si128(dst, _mm_or_si128(sa, _mm_slli_si128(sb, 12)));
        _mm_storeu_si128(dst + 1, _mm_or_si128(_mm_srli_si128(sb, 4), _mm_slli_si128(sc, 8)));
        _mm_storeu_si128(dst + 2, _mm_or_si128(_mm_srli_si128(sc, 8), _mm_slli_si128(sd, 4)));
    }
    return x;
}

const bool kHasSsse3 = __builtin_cpu_supports("ssse3");
#endif

} // namespace

void loadFrameRow(const uint8_t* in, uint32_t* out, int count) {
    // Four bytes read at a time (the last pixel on its own so as not to read past the row):
    // B, G, R, next byte reversed is the packed R, G, B with alpha on top.
    int x = 0;
    for (; x + 1 < count; ++x, in += 3) {
        uint32_t v;
        std::memcpy(&v, in, 4);
        out[x] = (__builtin_bswap32(v) >> 8) | 0xFF000000u;
    }
    if (x < count) {
        out[x] = packPixel(in[2], in[1], in[0], 255);
    }
}

void storeFrameRow(const uint32_t* in, uint8_t* out, int count, uint32_t under) {
    int x = 0;
#if SWIVIO_HAS_SSSE3_PATH
    if (kHasSsse3) {
        x = storeSixteens(in, out, count, under);
        out += std::size_t(x) * 3;
    }
#endif
    for (; x + 4 <= count; x += 4, out += 12) {
        storeFour(in + x, out, under);
    }
    for (; x < count; ++x, out += 3) {
        storePixel(out, in[x], under);
    }
}

void fillFrame(Frame& frame, PixelBox box, uint32_t colour) {
    box = box.intersected({0, 0, frame.width(), frame.height()});
    if (box.isEmpty()) {
        return;
    }
    // The first row pixel by pixel, the others copied from it.
    uint8_t* first = frame.topRow(box.y0) + std::size_t(box.x0) * 3;
    for (int x = 0; x < box.x1 - box.x0; ++x) {
        first[x * 3] = colorBlue(colour);
        first[x * 3 + 1] = colorGreen(colour);
        first[x * 3 + 2] = colorRed(colour);
    }
    const std::size_t bytes = std::size_t(box.x1 - box.x0) * 3;
    for (int y = box.y0 + 1; y < box.y1; ++y) {
        std::memcpy(frame.topRow(y) + std::size_t(box.x0) * 3, first, bytes);
    }
}

} // namespace swivio::swf::raster
