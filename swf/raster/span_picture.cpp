#include "swf/raster/span_picture.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "swf/raster/pixel_ops.h"
#include "swf/raster/shape_cache.h"

namespace swivio::swf::raster {
namespace {

// Per pixel of px[x, x + 4): a bit (0-3) set where `test` holds, test being "transparent"
// (all bytes zero) or "opaque" (alpha 255).
#if defined(__SSE2__)
int zeroLanes(const uint32_t* px) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(px));
    return _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(v, _mm_setzero_si128())));
}
int opaqueLanes(const uint32_t* px) {
    const __m128i alpha = _mm_set1_epi32(int(0xFF000000u));
    const __m128i v = _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(px)), alpha);
    return _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(v, alpha)));
}
#endif

// The first x in [from, to) where opaque(px[x]) == want, else `to`.
int findOpacity(const uint32_t* px, int from, int to, bool want) {
    int x = from;
#if defined(__SSE2__)
    const int none = want ? 0 : 0xF;
    while (x + 4 <= to && opaqueLanes(px + x) == none) {
        x += 4;
    }
#endif
    while (x < to && (pixelA(px[x]) == 255) != want) {
        ++x;
    }
    return x;
}

} // namespace

SpanPicture::SpanPicture(const Surface& surface, const PixelBox& box) {
    const PixelBox b = box.intersected(surface.bounds());
    if (b.isEmpty()) {
        return;
    }
    m_width = b.x1 - b.x0;
    m_rows.resize(std::size_t(b.y1 - b.y0));
    // Two passes: the extents first, so the pixels are stored in one allocation.
    std::size_t total = 0;
    for (int y = b.y0; y < b.y1; ++y) {
        const uint32_t* px = surface.row(y) + b.x0;
        Row& r = m_rows[std::size_t(y - b.y0)];
        int first = 0;
#if defined(__SSE2__)
        while (first + 4 <= m_width && zeroLanes(px + first) == 0xF) {
            first += 4;
        }
#endif
        while (first < m_width && px[first] == 0) {
            ++first;
        }
        int last = m_width;
#if defined(__SSE2__)
        while (last - 4 >= first && zeroLanes(px + last - 4) == 0xF) {
            last -= 4;
        }
#endif
        while (last > first && px[last - 1] == 0) {
            --last;
        }
        r.x0 = first;
        r.x1 = last;
        r.offset = uint32_t(total);
        total += std::size_t(last - first);
        int best0 = 0, best1 = 0;
        for (int x = findOpacity(px, first, last, true); x < last;
             x = findOpacity(px, x, last, true)) {
            const int start = x;
            x = findOpacity(px, x, last, false);
            if (x - start > best1 - best0) {
                best0 = start;
                best1 = x;
            }
        }
        r.opaque0 = best0;
        r.opaque1 = best1;
    }
    if (total == 0) {
        m_rows.clear();
        m_width = 0;
        return;
    }
    std::size_t first = 0, last = m_rows.size();
    while (m_rows[first].x0 >= m_rows[first].x1) {
        ++first;
    }
    while (m_rows[last - 1].x0 >= m_rows[last - 1].x1) {
        --last;
    }
    m_pixels.reserve(total);
    for (int y = b.y0; y < b.y1; ++y) {
        const Row& r = m_rows[std::size_t(y - b.y0)];
        const uint32_t* px = surface.row(y) + b.x0;
        m_pixels.insert(m_pixels.end(), px + r.x0, px + r.x1);
    }
    m_rows.erase(m_rows.begin() + std::ptrdiff_t(last), m_rows.end());
    m_rows.erase(m_rows.begin(), m_rows.begin() + std::ptrdiff_t(first));
    m_skipped = int(first);
}

void SpanPicture::composeRow(int y, int from, int to, uint32_t* surfaceRow, int left,
                             const uint8_t* maskRow) const {
    const Row& r = m_rows[std::size_t(y)];
    from = std::max(from, r.x0);
    to = std::min(to, r.x1);
    if (from >= to) {
        return;
    }
    const int len = to - from;
    const uint32_t* src = m_pixels.data() + r.offset + (from - r.x0);
    uint32_t* dst = surfaceRow + (left + from);
    if (maskRow) {
        composeOver(dst, src, len, maskRow + (left + from));
        return;
    }
    // The opaque run is a copy; only the rims around it need blending.
    const int o0 = std::clamp(r.opaque0 - from, 0, len);
    const int o1 = std::clamp(r.opaque1 - from, o0, len);
    composeOver(dst, src, o0, nullptr);
    std::memcpy(dst + o0, src + o0, std::size_t(o1 - o0) * sizeof(uint32_t));
    composeOver(dst + o1, src + o1, len - o1, nullptr);
}

} // namespace swivio::swf::raster
