#include "swf/raster/shape_painter.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "swf/raster/pixel_ops.h"

namespace swivio::swf::raster {
namespace {

// Vertices further out than this are pulled in: nothing that far is visible, and it keeps
// the rasterizer's fixed-point arithmetic far from overflow.
constexpr double kMaxCoordinate = 1e6;
constexpr int kMaxCurveSegments = 64;

double clampCoordinate(double v) {
    return v != v ? 0.0 : std::clamp(v, -kMaxCoordinate, kMaxCoordinate);
}

struct Point {
    double x, y;
};

Point mapPoint(const Matrix& m, double x, double y) {
    return {clampCoordinate(m.mapX(x, y)), clampCoordinate(m.mapY(x, y))};
}

// Where a curve may be replaced by its chord: a curve lies inside the triangle of its three
// points, so when that triangle misses the box the curve cannot touch it, and for the
// rasterizer's clipping the chord has the same effect.
struct ClipBounds {
    double x0, y0, x1, y1;
};

// Calls emit(point) for the points after the first that approximate the edge in pixels;
// returns how many it emitted.
template <class Emit>
int flattenEdge(const Edge& e, const Matrix& m, Point p0, const ClipBounds& clip, Emit emit) {
    const Point p1 = mapPoint(m, e.x1, e.y1);
    if (!e.curved) {
        emit(p1);
        return 1;
    }
    const Point c = mapPoint(m, e.cx, e.cy);
    if (std::max({p0.x, c.x, p1.x}) <= clip.x0 || std::min({p0.x, c.x, p1.x}) >= clip.x1 ||
        std::max({p0.y, c.y, p1.y}) <= clip.y0 || std::min({p0.y, c.y, p1.y}) >= clip.y1) {
        emit(p1);
        return 1;
    }
    // The curve strays from its chord by a quarter of |p0 - 2c + p1|; pick segments so the
    // error stays near a tenth of a pixel.
    // Points are clamped far below where squaring them could overflow.
    const double dx = p0.x - 2 * c.x + p1.x, dy = p0.y - 2 * c.y + p1.y;
    const double dev = std::sqrt(dx * dx + dy * dy);
    const int n =
        std::clamp(static_cast<int>(std::ceil(std::sqrt(dev * 0.6))), 1, kMaxCurveSegments);
    for (int i = 1; i < n; ++i) {
        const double t = double(i) / n;
        const double u = 1 - t;
        emit({u * u * p0.x + 2 * t * u * c.x + t * t * p1.x,
              u * u * p0.y + 2 * t * u * c.y + t * t * p1.y});
    }
    emit(p1);
    return n;
}

// The stroker's joins can put vertices at infinity or NaN (near-parallel miters of absurd
// widths); the rasterizer's integer conversion must never see those.
template <class Source> class FiniteVertices {
public:
    explicit FiniteVertices(Source& source) : m_source(source) {}
    void rewind(unsigned pathId) { m_source.rewind(pathId); }
    unsigned vertex(double* x, double* y) {
        const unsigned cmd = m_source.vertex(x, y);
        *x = clampCoordinate(*x);
        *y = clampCoordinate(*y);
        return cmd;
    }

private:
    Source& m_source;
};

// How a matrix stretches: its largest and smallest scale over all directions, and whether
// they differ (circles become ellipses). Singular and non-finite matrices count as even.
struct Stretch {
    double most = 0, least = 0;
    bool uneven = false;
};

Stretch stretchOf(const Matrix& m) {
    const double sum = m.a * m.a + m.b * m.b + m.c * m.c + m.d * m.d;
    const double det = std::fabs(m.a * m.d - m.b * m.c);
    Stretch s;
    if (!std::isfinite(sum) || !std::isfinite(det) || !(det > 1e-12)) {
        return s;
    }
    s.most = std::sqrt((sum + std::sqrt(std::max(sum * sum - 4 * det * det, 0.0))) / 2);
    s.least = det / s.most;
    s.uneven = s.most - s.least > 1e-3 * s.most;
    return s;
}

agg::line_cap_e aggCap(CapStyle cap) {
    switch (cap) {
    case CapStyle::None:
        return agg::butt_cap;
    case CapStyle::Square:
        return agg::square_cap;
    case CapStyle::Round:
    default:
        return agg::round_cap;
    }
}

agg::line_join_e aggJoin(JoinStyle join) {
    switch (join) {
    case JoinStyle::Bevel:
        return agg::bevel_join;
    case JoinStyle::Miter:
        return agg::miter_join;
    case JoinStyle::Round:
    default:
        return agg::round_join;
    }
}

// One cap for both ends of every open path: the stroker takes one. When the two differ,
// the larger one is used, so nothing of the line goes missing.
agg::line_cap_e strokeCap(const LineStyle& line) {
    if (line.startCap == line.endCap) {
        return aggCap(line.startCap);
    }
    if (line.startCap == CapStyle::Round || line.endCap == CapStyle::Round) {
        return agg::round_cap;
    }
    return agg::square_cap;
}

double axisLength(double x, double y) {
    return std::sqrt(x * x + y * y);
}

// dst[i] = s + dst[i] * (255 - alpha(s)) / 255, s = src * covers[i] / 255, with src the
// single colour `src[0]` (one) or src[i]. A cover of 0 leaves the pixel as it was, and
// one of 255 puts the source over it as it is.
void coverOver(uint32_t* dst, const uint32_t* src, bool one, const uint8_t* covers, int len) {
    int i = 0;
#if defined(__SSE2__)
    // Four pixels at a time, in 16-bit lanes, with the arithmetic of scalePixel() and over().
    const __m128i zero = _mm_setzero_si128();
    const __m128i all255 = _mm_set1_epi16(255);
    const __m128i half = _mm_set1_epi16(128);
    auto mul = [&](__m128i a, __m128i b) {
        const __m128i t = _mm_add_epi16(_mm_mullo_epi16(a, b), half);
        return _mm_srli_epi16(_mm_add_epi16(t, _mm_srli_epi16(t, 8)), 8);
    };
    auto alphas = [](__m128i p) { return _mm_shufflehi_epi16(_mm_shufflelo_epi16(p, 0xFF), 0xFF); };
    const __m128i solid = _mm_set1_epi32(int(src[0]));
    for (; i + 4 <= len; i += 4) {
        uint32_t k4;
        std::memcpy(&k4, covers + i, 4);
        if (k4 == 0) {
            continue;
        }
        __m128i k = _mm_cvtsi32_si128(int(k4));
        k = _mm_unpacklo_epi8(k, k);
        k = _mm_unpacklo_epi16(k, k); // each pixel's cover in its four bytes
        const __m128i c =
            one ? solid : _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + i));
        const __m128i sLow = mul(_mm_unpacklo_epi8(c, zero), _mm_unpacklo_epi8(k, zero));
        const __m128i sHigh = mul(_mm_unpackhi_epi8(c, zero), _mm_unpackhi_epi8(k, zero));
        const __m128i dLow =
            mul(_mm_unpacklo_epi8(d, zero), _mm_sub_epi16(all255, alphas(sLow)));
        const __m128i dHigh =
            mul(_mm_unpackhi_epi8(d, zero), _mm_sub_epi16(all255, alphas(sHigh)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i),
                         _mm_add_epi32(_mm_packus_epi16(sLow, sHigh),
                                       _mm_packus_epi16(dLow, dHigh)));
    }
#endif
    for (; i < len; ++i) {
        const uint32_t k = covers[i];
        const uint32_t c = one ? src[0] : src[i];
        if (k == 255) {
            dst[i] = pixelA(c) == 255 ? c : over(dst[i], c);
        } else if (k != 0) {
            dst[i] = over(dst[i], scalePixel(c, k));
        }
    }
}

} // namespace

ShapePainter::ShapePainter() {
    m_compound.layer_order(agg::layer_direct);
}

void ShapePainter::draw(const Shape& shape, const Matrix& object, const Matrix& view,
                        const ColorTransform& ct, const BitmapLookup& bitmaps,
                        const DrawTarget& target, const std::span<const RowPiece>* hidden) {
    if (target.surface == nullptr || !object.isFinite() || !view.isFinite()) {
        return;
    }
    const Matrix toPixels = view * object;
    if (!toPixels.isFinite()) {
        return;
    }
    if (!prepareTarget(target)) {
        return;
    }
    m_hiddenRows.reset(hidden ? *hidden : std::span<const RowPiece>());
    for (const StyleGroup& group : shape.groups) {
        fillGroup(group, shape.nonZeroWinding, toPixels, ct, bitmaps, target);
        strokeGroup(group, object, view, ct, bitmaps, target);
    }
    m_hiddenRows.reset({});
}

bool ShapePainter::prepareTarget(const DrawTarget& target) {
    m_width = target.surface->width();
    m_height = target.surface->height();
    if (m_width <= 0 || m_height <= 0) {
        return false;
    }
    const std::size_t bufferSize = static_cast<std::size_t>(m_width) + 8;
    if (m_colors.size() < bufferSize) {
        m_colors.resize(bufferSize);
        m_covers.resize(bufferSize);
        m_runCovers.resize(bufferSize);
        m_mix.resize(bufferSize * 4);
        m_mixCover.resize(bufferSize);
        m_mixWhole.resize(bufferSize);
    }
    return true;
}

void ShapePainter::fillGroup(const StyleGroup& group, bool nonZero, const Matrix& toPixels,
                             const ColorTransform& ct, const BitmapLookup& bitmaps,
                             const DrawTarget& target) {
    if (group.fills.empty() || group.edges.empty()) {
        return;
    }
    const std::size_t fillCount = std::min<std::size_t>(group.fills.size(), 0x7FFF);
    m_paints.resize(fillCount);
    bool anyVisible = false;
    for (std::size_t i = 0; i < fillCount; ++i) {
        if (target.coverageOnly) {
            m_paints[i].prepareSolid({255, 255, 255, 255}, ColorTransform{});
        } else {
            m_paints[i].prepare(group.fills[i], toPixels, ct, bitmaps, &m_ramps);
        }
        anyVisible = anyVisible || m_paints[i].isVisible();
    }
    if (!anyVisible) {
        return;
    }

    groupStyles(group, fillCount);
    for (std::size_t set = 0; set < fillCount; ++set) {
        const uint32_t first = m_setStart[set], last = m_setStart[set + 1];
        if (first == last) {
            continue;
        }
        // Every union marks the root it leaves, so a root is marked exactly when its set
        // holds more than one style.
        if (m_shared[set]) {
            fillSet(group, first, last, int(set), nonZero, toPixels, target);
        } else {
            fillStyle(group, first, last, int(set), nonZero, toPixels, target);
        }
    }
}

void ShapePainter::groupStyles(const StyleGroup& group, std::size_t fillCount) {
    // Fills that share an edge are drawn together by the compound rasterizer, so that no
    // seam shows between them; fills that only touch their own edges (or edges shared with
    // nothing visible) are drawn one by one, in style order, by the plain rasterizer: later
    // styles cover earlier ones where they overlap, and plain runs are far cheaper.
    // Styles joined by shared edges form a set whose root is its smallest style.
    auto styleOf = [fillCount](uint16_t index) {
        return index >= 1 && index <= fillCount ? int(index) - 1 : -1;
    };
    auto visible = [this](int s) { return s >= 0 && m_paints[std::size_t(s)].isVisible(); };
    m_styleRoot.resize(fillCount);
    for (std::size_t i = 0; i < fillCount; ++i) {
        m_styleRoot[i] = int(i);
    }
    auto root = [this](int s) {
        while (m_styleRoot[std::size_t(s)] != s) {
            const int up = m_styleRoot[std::size_t(m_styleRoot[std::size_t(s)])];
            m_styleRoot[std::size_t(s)] = up;
            s = up;
        }
        return s;
    };
    const std::size_t edgeCount = std::min(group.edges.size(), kMaxEdgesPerShape);
    m_shared.assign(fillCount, 0);
    for (std::size_t i = 0; i < edgeCount; ++i) {
        const int s0 = styleOf(group.edges[i].fill0);
        const int s1 = styleOf(group.edges[i].fill1);
        if (s0 != s1 && visible(s0) && visible(s1)) {
            const int r0 = root(s0), r1 = root(s1);
            const int low = std::min(r0, r1);
            m_styleRoot[std::size_t(std::max(r0, r1))] = low;
            m_shared[std::size_t(low)] = 1;
        }
    }
    // Each visible style's set, once; invisible styles belong to none.
    m_styleSet.resize(fillCount);
    for (std::size_t i = 0; i < fillCount; ++i) {
        m_styleSet[i] = visible(int(i)) ? root(int(i)) : -1;
    }
    // Each edge goes to the set of the visible style beside it; edges are then listed set by
    // set, sets in the order of their smallest style.
    auto setOf = [&](const Edge& e) {
        const int s0 = styleOf(e.fill0);
        const int s1 = styleOf(e.fill1);
        if (s0 == s1) {
            return -1; // the same style (or none) on both sides bounds nothing
        }
        const int set0 = s0 >= 0 ? m_styleSet[std::size_t(s0)] : -1;
        return set0 >= 0 ? set0 : s1 >= 0 ? m_styleSet[std::size_t(s1)] : -1;
    };
    m_setStart.assign(fillCount + 1, 0);
    for (std::size_t i = 0; i < edgeCount; ++i) {
        const int set = setOf(group.edges[i]);
        if (set >= 0) {
            ++m_setStart[std::size_t(set) + 1];
        }
    }
    for (std::size_t i = 0; i < fillCount; ++i) {
        m_setStart[i + 1] += m_setStart[i];
    }
    m_setEdges.resize(m_setStart[fillCount]);
    m_setFill.assign(m_setStart.begin(), m_setStart.end() - 1);
    for (std::size_t i = 0; i < edgeCount; ++i) {
        const int set = setOf(group.edges[i]);
        if (set >= 0) {
            m_setEdges[m_setFill[std::size_t(set)]++] = uint32_t(i);
        }
    }
}

void ShapePainter::fillStyle(const StyleGroup& group, uint32_t first, uint32_t last, int style,
                             bool nonZero, const Matrix& toPixels, const DrawTarget& target) {
    m_segments =
        addStyleEdges(group, first, last, style, nonZero, toPixels, m_width, m_height, m_segments);
    sweepSimple(m_paints[std::size_t(style)], target);
}

std::size_t ShapePainter::addStyleEdges(const StyleGroup& group, uint32_t first, uint32_t last,
                                        int style, bool nonZero, const Matrix& toPixels, int width,
                                        int height, std::size_t segments) {
    m_rasterizer.autoClose(false);
    m_rasterizer.clipBox(width, height);
    m_rasterizer.fillingRule(nonZero);
    const ClipBounds clip{0, 0, double(width), double(height)};
    for (uint32_t k = first; k < last && segments < kMaxSegmentsPerFrame; ++k) {
        Edge e = group.edges[m_setEdges[k]];
        if (e.fill0 == style + 1) {
            // Walk the edge the other way so that the style always lies on one side.
            std::swap(e.x0, e.x1);
            std::swap(e.y0, e.y1);
        }
        const Point p0 = mapPoint(toPixels, e.x0, e.y0);
        m_rasterizer.moveTo(p0.x, p0.y);
        segments += std::size_t(
            flattenEdge(e, toPixels, p0, clip, [this](Point p) { m_rasterizer.lineTo(p.x, p.y); }));
    }
    return segments;
}

void ShapePainter::fillSet(const StyleGroup& group, uint32_t first, uint32_t last, int set,
                           bool nonZero, const Matrix& toPixels, const DrawTarget& target) {
    if (m_recording) {
        m_recordFailed = true;
        return;
    }
    // Styles outside the set (invisible ones) count as no style.
    auto member = [&](uint16_t index) {
        const int s = index >= 1 && index <= m_styleSet.size() ? int(index) - 1 : -1;
        return s >= 0 && m_styleSet[std::size_t(s)] == set ? s : -1;
    };
    m_compound.reset();
    m_compound.clip_box(0, 0, m_width, m_height);
    m_compound.filling_rule(nonZero ? agg::fill_non_zero : agg::fill_even_odd);
    const ClipBounds clip{0, 0, double(m_width), double(m_height)};
    for (uint32_t k = first; k < last && m_segments < kMaxSegmentsPerFrame; ++k) {
        const Edge& e = group.edges[m_setEdges[k]];
        // With y pointing down, fill 0 lies on the side the rasterizer calls right.
        m_compound.styles(member(e.fill1), member(e.fill0));
        const Point p0 = mapPoint(toPixels, e.x0, e.y0);
        m_compound.move_to_d(p0.x, p0.y);
        m_segments += std::size_t(flattenEdge(e, toPixels, p0, clip,
                                              [this](Point p) { m_compound.line_to_d(p.x, p.y); }));
    }
    sweepCompound(target);
}

void ShapePainter::sweepCompound(const DrawTarget& target) {
    if (!m_compound.rewind_scanlines()) {
        return;
    }
    Surface& surface = *target.surface;
    m_scanline.reset(m_compound.min_x(), m_compound.max_x());
    unsigned styleCount;
    while ((styleCount = m_compound.sweep_styles()) > 0) {
        if (styleCount == 1) {
            if (!m_compound.sweep_scanline(m_scanline, 0)) {
                continue;
            }
            const Paint& paint = m_paints[m_compound.style(0)];
            const int y = m_scanline.y();
            if (!paint.isVisible() || y < 0 || y >= m_height) {
                continue;
            }
            const uint8_t* maskRow =
                target.mask ? target.mask + static_cast<std::size_t>(y) * m_width : nullptr;
            uint32_t* row = surface.row(y);
            unsigned spans = m_scanline.num_spans();
            for (auto span = m_scanline.begin(); spans--; ++span) {
                int x = span->x;
                int len = span->len;
                const uint8_t* covers = span->covers;
                if (x < 0) {
                    covers -= x;
                    len += x;
                    x = 0;
                }
                len = std::min(len, m_width - x);
                if (len > 0) {
                    blendSpan(row + x, paint, x, y, len, covers, maskRow ? maskRow + x : nullptr);
                }
            }
            continue;
        }

        // Several styles meet on this row: add each style's colour times its coverage, then
        // put the sum down once, so that neighbouring fills leave no seam between them.
        // A pixel wholly inside one style keeps that colour as it is (see mixSpan).
        const int start = m_compound.scanline_start();
        const int len = static_cast<int>(m_compound.scanline_length());
        if (len <= 0 || static_cast<std::size_t>(len) + 2 > m_mixCover.size()) {
            continue;
        }
        std::fill(m_mixCover.begin(), m_mixCover.begin() + len, 0u);
        int y = -1;
        for (unsigned s = 0; s < styleCount; ++s) {
            if (!m_compound.sweep_scanline(m_scanline, static_cast<int>(s))) {
                continue;
            }
            y = m_scanline.y();
            const Paint& paint = m_paints[m_compound.style(s)];
            unsigned spans = m_scanline.num_spans();
            for (auto span = m_scanline.begin(); spans--; ++span) {
                int x = span->x;
                int spanLen = span->len;
                const uint8_t* covers = span->covers;
                if (x < start) {
                    covers += start - x;
                    spanLen -= start - x;
                    x = start;
                }
                spanLen = std::min(spanLen, start + len - x);
                if (spanLen > 0) {
                    mixSpan(paint, x, y, spanLen, covers, start);
                }
            }
        }
        if (y < 0 || y >= m_height) {
            continue;
        }
        uint32_t* row = surface.row(y);
        const uint8_t* maskRow =
            target.mask ? target.mask + static_cast<std::size_t>(y) * m_width : nullptr;
        const int x0 = std::max(start, 0);
        const int x1 = std::min(start + len, m_width);
        for (int x = x0; x < x1; ++x) {
            const std::size_t i = std::size_t(x - start);
            const uint32_t cover = m_mixCover[i];
            if (cover == 0) {
                continue;
            }
            uint32_t src;
            if (cover == kWhole) {
                src = m_mixWhole[i];
            } else {
                const uint32_t* acc = &m_mix[i * 4];
                // Each style's coverage is rounded down on its own, so fully covered pixels on
                // a shared edge can sum to a little less than 255: treat them as fully covered.
                if (cover == 255) {
                    src = packPixel((acc[0] + 127) / 255, (acc[1] + 127) / 255,
                                    (acc[2] + 127) / 255, (acc[3] + 127) / 255);
                } else if (cover + styleCount >= 255) {
                    const uint32_t half = cover / 2;
                    src = packPixel(std::min((acc[0] + half) / cover, 255u),
                                    std::min((acc[1] + half) / cover, 255u),
                                    std::min((acc[2] + half) / cover, 255u),
                                    std::min((acc[3] + half) / cover, 255u));
                } else {
                    src = packPixel((acc[0] + 127) / 255, (acc[1] + 127) / 255,
                                    (acc[2] + 127) / 255, (acc[3] + 127) / 255);
                }
            }
            src = sanitizePremultiplied(src);
            if (maskRow) {
                src = scalePixel(src, maskRow[x]);
            }
            row[x] = pixelA(src) == 255 ? src : over(row[x], src);
        }
    }
    surface.markDirty(
        {m_compound.min_x(), m_compound.min_y(), m_compound.max_x() + 1, m_compound.max_y() + 1});
}

void ShapePainter::mixSpan(const Paint& paint, int x, int y, int len, const uint8_t* covers,
                           int start) {
    const std::size_t first = std::size_t(x - start);
    uint32_t* coverSum = &m_mixCover[first];
    uint32_t* whole = &m_mixWhole[first];
    const uint32_t* colors = m_colors.data();
    if (paint.kind() == Paint::Kind::Solid) {
        std::fill(m_colors.begin(), m_colors.begin() + len, paint.color());
    } else {
        paint.generate(x, y, len, m_colors.data());
    }
    // The first style to reach a pixel sets it: wholly covered pixels (the inside of a fill)
    // just keep the colour; partly covered ones start the sums. Later styles add to the sums.
    for (int i = 0; i < len; ++i) {
        const uint32_t k = covers[i];
        if (k == 0) {
            continue;
        }
        const uint32_t c = colors[i];
        uint32_t* acc = &m_mix[(first + std::size_t(i)) * 4];
        uint32_t cover = coverSum[i];
        if (cover == 0) {
            if (k == 255) {
                whole[i] = c;
                coverSum[i] = kWhole;
            } else {
                acc[0] = pixelR(c) * k;
                acc[1] = pixelG(c) * k;
                acc[2] = pixelB(c) * k;
                acc[3] = pixelA(c) * k;
                coverSum[i] = k;
            }
            continue;
        }
        if (cover == kWhole) {
            const uint32_t w = whole[i];
            acc[0] = pixelR(w) * 255;
            acc[1] = pixelG(w) * 255;
            acc[2] = pixelB(w) * 255;
            acc[3] = pixelA(w) * 255;
            cover = 255;
        }
        acc[0] += pixelR(c) * k;
        acc[1] += pixelG(c) * k;
        acc[2] += pixelB(c) * k;
        acc[3] += pixelA(c) * k;
        coverSum[i] = cover + k;
    }
}

void ShapePainter::blendSpan(uint32_t* dst, const Paint& paint, int x, int y, int len,
                             const uint8_t* covers, const uint8_t* maskRow) {
    if (maskRow) {
        for (int i = 0; i < len; ++i) {
            m_covers[i] = uint8_t(mul255(covers[i], maskRow[i]));
        }
        covers = m_covers.data();
    }
    if (paint.kind() == Paint::Kind::Solid) {
        const uint32_t c = paint.color();
        coverOver(dst, &c, true, covers, len);
        return;
    }
    paint.generate(x, y, len, m_colors.data());
    coverOver(dst, m_colors.data(), false, covers, len);
}

void ShapePainter::strokeGroup(const StyleGroup& group, const Matrix& object, const Matrix& view,
                               const ColorTransform& ct, const BitmapLookup& bitmaps,
                               const DrawTarget& target) {
    if (group.lines.empty() || group.edges.empty()) {
        return;
    }
    const std::size_t lineCount = group.lines.size();
    const std::size_t edgeCount = std::min(group.edges.size(), kMaxEdgesPerShape);
    m_lineOrder.clear();
    for (std::size_t i = 0; i < edgeCount; ++i) {
        const uint16_t line = group.edges[i].line;
        if (line >= 1 && line <= lineCount) {
            m_lineOrder.push_back(uint64_t(line) << 32 | i);
        }
    }
    if (m_lineOrder.empty()) {
        return;
    }
    // Lines are drawn in style order; within a style the edges keep their record order.
    std::sort(m_lineOrder.begin(), m_lineOrder.end());

    const Matrix toPixels = view * object;
    const double viewScale = (axisLength(view.a, view.b) + axisLength(view.c, view.d)) / 2;
    const double objectX = axisLength(object.a, object.b);
    const double objectY = axisLength(object.c, object.d);
    // A stroke wider than this covers the whole surface anyway; the bound keeps round joins
    // of absurd widths from producing absurd vertex counts.
    const double maxWidth = 4.0 * std::max(m_width, m_height) + 16.0;
    Paint paint;
    std::size_t first = 0;
    while (first < m_lineOrder.size()) {
        const uint64_t lineIndex = m_lineOrder[first] >> 32;
        std::size_t last = first;
        while (last < m_lineOrder.size() && (m_lineOrder[last] >> 32) == lineIndex) {
            ++last;
        }
        const LineStyle& line = group.lines[lineIndex - 1];
        double objectScale = (objectX + objectY) / 2;
        if (line.noHScale && line.noVScale) {
            objectScale = 1;
        } else if (line.noHScale) {
            objectScale = objectY;
        } else if (line.noVScale) {
            objectScale = objectX;
        }
        const double fullWidth = line.width * objectScale * viewScale; // twips to pixels
        // Flash draws a width of 0, and any width that ends up under a pixel, as a
        // one-pixel hairline.
        const bool hairline = !(fullWidth >= 1.0);
        const double width = hairline ? 1.0 : std::min(fullWidth, maxWidth);

        if (target.coverageOnly) {
            paint.prepareSolid({255, 255, 255, 255}, ColorTransform{});
        } else if (line.hasFill) {
            paint.prepare(line.fill, toPixels, ct, bitmaps, &m_ramps);
        } else {
            paint.prepareSolid(line.color, ct);
        }
        if (paint.isVisible()) {
            const double miter = std::isfinite(line.miterLimit) ? line.miterLimit : 3.0;
            // Lines are stroked in the shape's space, so on a shape stretched one way they are
            // thick across the stretch and thin along it. A line that keeps its width keeps
            // it where the shape is stretched least.
            const Stretch stretch = stretchOf(toPixels);
            const bool keepsWidth = line.noHScale && line.noVScale;
            const bool stretched =
                !hairline && stretch.uneven && (keepsWidth || (!line.noHScale && !line.noVScale));
            // Pixels per shape twip where the stroke's width is measured; the bound on
            // widths holds where the stretch is least.
            const double scale = keepsWidth ? stretch.least : objectScale * viewScale;
            const double shapeWidth =
                stretched ? std::min(fullWidth / scale, maxWidth / stretch.least) : 0;
            const double reach =
                (stretched ? shapeWidth * stretch.most : width) * std::clamp(miter, 1.0, 255.0) +
                2.0;
            buildStrokePath(group, first, last, toPixels, hairline, line.pixelHinting, line.noClose,
                            reach);
            if (!m_hiddenRows.empty()) {
                // How far from its line a stroke paints: half its width, times the miter
                // limit for miter joins, or the corner of a square cap; and a pixel beyond.
                const bool miterJoins = line.join == JoinStyle::Miter;
                const double factor =
                    std::max(std::sqrt(2.0), miterJoins ? std::clamp(miter, 1.0, 255.0) : 1.0);
                const double halfWidth = (stretched ? shapeWidth * stretch.most : width) / 2;
                if (m_cutter.cut(m_path, m_hiddenRows, halfWidth * factor + 2, m_cutPath)) {
                    m_path = m_cutPath;
                }
            }
            const auto setUp = [&](auto& stroke, double strokeWidth) {
                stroke.width(strokeWidth);
                stroke.line_cap(hairline ? agg::butt_cap : strokeCap(line));
                if (!hairline && line.join == JoinStyle::Round) {
                    // Along a flattened curve every vertex is a join of a few degrees, where a
                    // miter looks exactly like an arc and costs far less; real corners, past
                    // the tight limit, still get their arc.
                    stroke.line_join(agg::miter_join_round);
                    stroke.miter_limit(1.02);
                } else {
                    stroke.line_join(hairline ? agg::miter_join : aggJoin(line.join));
                    stroke.miter_limit(std::clamp(miter, 1.0, 255.0));
                }
            };
            m_rasterizer.clipBox(m_width, m_height);
            m_rasterizer.fillingRule(true);
            if (stretched) {
                m_shapeToPixels =
                    agg::trans_affine(toPixels.a, toPixels.b, toPixels.c, toPixels.d, 0, 0);
                m_pixelsToShape = m_shapeToPixels;
                m_pixelsToShape.invert();
                setUp(m_shapeStroke, shapeWidth);
                // Round parts as smooth as in pixels where the shape is stretched most, up
                // to the bound that keeps absurd widths from absurd vertex counts.
                m_shapeStroke.approximation_scale(std::min(stretch.most, maxWidth / shapeWidth));
                FiniteVertices<decltype(m_stretchedStroke)> vertices(m_stretchedStroke);
                m_rasterizer.addPath(vertices);
            } else {
                setUp(m_stroke, width);
                FiniteVertices<decltype(m_stroke)> vertices(m_stroke);
                m_rasterizer.addPath(vertices);
            }
            sweepSimple(paint, target);
        }
        first = last;
    }
}

void ShapePainter::buildStrokePath(const StyleGroup& group, std::size_t first, std::size_t last,
                                   const Matrix& toPixels, bool hairline, bool hinted, bool noClose,
                                   double reach) {
    m_path.remove_all();
    const ClipBounds clip{-reach, -reach, m_width + reach, m_height + reach};
    // Hairlines are centred on pixel centres so that a horizontal or vertical one covers
    // exactly one row or column. Hinted ones move to the next pixel when a point lies
    // within a quarter pixel of it: an edge on a pixel boundary, or a hair off it under a
    // slight rotation, takes the pixel after the boundary; one half way in keeps its pixel.
    const double bias = hinted ? 0.25 : 0.0;
    auto place = [hairline, bias](Point p) {
        return hairline ? Point{std::floor(p.x + bias) + 0.5, std::floor(p.y + bias) + 0.5} : p;
    };
    bool open = false;
    int32_t startX = 0, startY = 0, endX = 0, endY = 0;
    std::size_t edgesInPath = 0;
    auto finish = [&]() {
        if (open && edgesInPath > 1 && startX == endX && startY == endY && !noClose) {
            m_path.close_polygon();
        }
    };
    for (std::size_t k = first; k < last && m_segments < kMaxSegmentsPerFrame; ++k) {
        const Edge& e = group.edges[m_lineOrder[k] & 0xFFFFFFFFu];
        const Point p0 = mapPoint(toPixels, e.x0, e.y0);
        if (!open || e.x0 != endX || e.y0 != endY) {
            finish();
            const Point q = place(p0);
            m_path.move_to(q.x, q.y);
            startX = e.x0;
            startY = e.y0;
            open = true;
            edgesInPath = 0;
        }
        m_segments += std::size_t(flattenEdge(e, toPixels, p0, clip, [this, &place](Point p) {
            const Point q = place(p);
            m_path.line_to(q.x, q.y);
        }));
        endX = e.x1;
        endY = e.y1;
        ++edgesInPath;
    }
    finish();
}

void ShapePainter::sweepSimple(const Paint& paint, const DrawTarget& target) {
    if (m_recording) {
        recordSweep(paint);
        return;
    }
    Surface& surface = *target.surface;
    const bool skipping = skipHiddenRows();
    const bool touched = m_rasterizer.sweep([&](int y, const CellRasterizer::Span* spans,
                                                int count) {
        if (y < 0 || y >= m_height) {
            return;
        }
        const std::span<const RowPiece> hidden = m_hiddenRows.row(y);
        const uint8_t* maskRow =
            target.mask ? target.mask + static_cast<std::size_t>(y) * m_width : nullptr;
        uint32_t* row = surface.row(y);
        auto blend = [&](const CellRasterizer::Span& part, int a, int b) {
            const uint8_t* spanMask = maskRow ? maskRow + a : nullptr;
            if (part.run) {
                blendRun(row + a, paint, a, y, b - a, *part.covers, spanMask);
            } else {
                blendSpan(row + a, paint, a, y, b - a, part.covers + (a - part.x), spanMask);
            }
        };
        for (int i = 0; i < count; ++i) {
            const CellRasterizer::Span part = clippedSpan(spans[i], m_width);
            if (part.len <= 0) {
                continue;
            }
            // Only the parts that no later opaque drawing covers.
            int from = part.x;
            const int to = part.x + part.len;
            for (std::size_t k = 0; k < hidden.size() && hidden[k].x0 < to && from < to; ++k) {
                if (hidden[k].x1 <= from) {
                    continue;
                }
                if (hidden[k].x0 > from) {
                    blend(part, from, hidden[k].x0);
                }
                from = hidden[k].x1;
            }
            if (from < to) {
                blend(part, from, to);
            }
        }
    });
    m_rasterizer.skipRows(nullptr);
    if (touched || skipping) {
        surface.markDirty({m_rasterizer.minX(), m_rasterizer.minY(), m_rasterizer.maxX() + 1,
                           m_rasterizer.maxY() + 1});
    }
}

bool ShapePainter::skipHiddenRows() {
    const int minY = m_rasterizer.minY(), maxY = m_rasterizer.maxY();
    if (m_hiddenRows.empty() || minY > maxY) {
        return false;
    }
    // A row is left out when one hidden piece spans every pixel the path can paint on any
    // row (cells past the surface's right edge paint nothing).
    const int x0 = m_rasterizer.minX(), x1 = std::min(m_rasterizer.maxX() + 1, m_width);
    m_skipRows.assign(std::size_t(maxY - minY + 1), 0);
    bool any = false;
    for (int y = minY; y <= maxY; ++y) {
        if (m_hiddenRows.coversRow(y, x0, x1)) {
            m_skipRows[std::size_t(y - minY)] = 1;
            any = true;
        }
    }
    if (any) {
        m_rasterizer.skipRows(m_skipRows.data());
    }
    return any;
}

void ShapePainter::blendRun(uint32_t* dst, const Paint& paint, int x, int y, int len, uint8_t cover,
                            const uint8_t* maskRow) {
    if (cover == 0) {
        return;
    }
    if (maskRow) {
        std::fill(m_runCovers.begin(), m_runCovers.begin() + len, cover);
        blendSpan(dst, paint, x, y, len, m_runCovers.data(), maskRow);
        return;
    }
    if (paint.kind() == Paint::Kind::Solid) {
        const uint32_t c = paint.color();
        if (cover == 255 && pixelA(c) == 255) {
            std::fill(dst, dst + len, c);
            return;
        }
        const uint32_t s = scalePixel(c, cover);
        const uint32_t keep = 255 - pixelA(s);
        for (int i = 0; i < len; ++i) {
            dst[i] = s + scalePixel(dst[i], keep);
        }
        return;
    }
    if (cover == 255 && paint.isOpaque()) {
        paint.generate(x, y, len, dst);
        return;
    }
    paint.generate(x, y, len, m_colors.data());
    const uint32_t* colors = m_colors.data();
    if (cover == 255) {
        for (int i = 0; i < len; ++i) {
            const uint32_t c = colors[i];
            dst[i] = pixelA(c) == 255 ? c : over(dst[i], c);
        }
        return;
    }
    for (int i = 0; i < len; ++i) {
        dst[i] = over(dst[i], scalePixel(colors[i], cover));
    }
}

} // namespace swivio::swf::raster
