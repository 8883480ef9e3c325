// Done by hand rather than by libswscale: its general path (JPEG's full range has no direct
// BGR24 route there) takes about three times as long, and the MJPEG encoder's input is the
// hottest loop of a video conversion.
#include "encode/avi/jpeg_yuv.h"

#include <algorithm>

// GCC on x86-64 builds the row loops twice, once for AVX2, picked when the processor has it.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__)
#define SWIVIO_ROW_LOOP __attribute__((target_clones("avx2", "default")))
#else
#define SWIVIO_ROW_LOOP
#endif

namespace swivio {

namespace {

// BT.601 weights in 16-bit fixed point: Y = 0.299 R + 0.587 G + 0.114 B, and the chroma
// differences scaled to span 0..255 around 128.
constexpr int kYr = 19595, kYg = 38470, kYb = 7471;
constexpr int kUr = -11059, kUg = -21709, kUb = 32768;
constexpr int kVr = 32768, kVg = -27439, kVb = -5329;

SWIVIO_ROW_LOOP void lumaRow(const uint8_t* __restrict bgr, uint8_t* __restrict y, int width) {
    for (int x = 0; x < width; ++x) {
        const uint8_t* p = bgr + 3 * x;
        y[x] = uint8_t((kYb * p[0] + kYg * p[1] + kYr * p[2] + (1 << 15)) >> 16);
    }
}

uint8_t chroma(int r4, int g4, int b4, int cr, int cg, int cb) {
    // Sums of four pixels: two more bits to shift away, and 128 as the centre.
    const int v = (cr * r4 + cg * g4 + cb * b4 + (1 << 17) + (128 << 18)) >> 18;
    return uint8_t(std::clamp(v, 0, 255));
}

// The chroma of a pair of rows (the same row twice at an odd bottom edge).
SWIVIO_ROW_LOOP void chromaRow(const uint8_t* __restrict a, const uint8_t* __restrict b,
                               uint8_t* __restrict u, uint8_t* __restrict v, int width) {
    const int pairs = width / 2;
    for (int x = 0; x < pairs; ++x) {
        const uint8_t* p = a + 6 * x;
        const uint8_t* q = b + 6 * x;
        const int b4 = p[0] + p[3] + q[0] + q[3];
        const int g4 = p[1] + p[4] + q[1] + q[4];
        const int r4 = p[2] + p[5] + q[2] + q[5];
        u[x] = chroma(r4, g4, b4, kUr, kUg, kUb);
        v[x] = chroma(r4, g4, b4, kVr, kVg, kVb);
    }
    if (width % 2) {
        const uint8_t* p = a + 6 * pairs;
        const uint8_t* q = b + 6 * pairs;
        const int b4 = 2 * (p[0] + q[0]), g4 = 2 * (p[1] + q[1]), r4 = 2 * (p[2] + q[2]);
        u[pairs] = chroma(r4, g4, b4, kUr, kUg, kUb);
        v[pairs] = chroma(r4, g4, b4, kVr, kVg, kVb);
    }
}

} // namespace

void frameToJpegYuv420(const Frame& frame, const YuvPlanes& out) {
    const int width = frame.width(), height = frame.height();
    for (int row = 0; row < height; row += 2) {
        const uint8_t* a = frame.topRow(row);
        const uint8_t* b = row + 1 < height ? frame.topRow(row + 1) : a;
        lumaRow(a, out.y + std::ptrdiff_t(row) * out.yStride, width);
        if (row + 1 < height)
            lumaRow(b, out.y + std::ptrdiff_t(row + 1) * out.yStride, width);
        chromaRow(a, b, out.u + std::ptrdiff_t(row / 2) * out.uStride,
                  out.v + std::ptrdiff_t(row / 2) * out.vStride, width);
    }
}

} // namespace swivio
