#include "swf/raster/shape_cache.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "swf/raster/pixel_ops.h"

namespace swivio::swf::raster {
namespace {

// Anti-aliasing reaches a pixel past the geometry; the margin leaves room for it, so a
// picture whose painting touches its border has met edges outside the declared bounds.
constexpr int kMargin = 3;
constexpr int kMaxPictureSide = 4096;
// Translations beyond this are not worth a picture (and keep the pixel arithmetic in int).
constexpr double kMaxTranslation = 1e6;

std::size_t mix(std::size_t h, uint64_t v) {
    return (h ^ (v + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2))) * 0xFF51AFD7ED558CCDull;
}

// Splits a translation into whole pixels and a phase in 1/256 pixel.
void splitTranslation(double t, double* whole, int32_t* phase) {
    double w = std::floor(t);
    auto p = static_cast<int32_t>(std::lround((t - w) * 256));
    if (p == 256) {
        w += 1;
        p = 0;
    }
    *whole = w;
    *phase = p;
}

// The box the shape's painting can reach, in shape twips: its edges' box (the declared
// bounds are not trusted: damaged or hand-made movies get them wrong), widened by the
// widest line. A long miter can reach further still; the picture's margin check catches
// that. Empty (min > max) when the shape has no edges.
Rect paintedBounds(const Shape& shape) {
    int64_t x0 = INT64_MAX, y0 = INT64_MAX, x1 = INT64_MIN, y1 = INT64_MIN;
    int64_t widest = 0;
    auto add = [&](int64_t x, int64_t y) {
        x0 = std::min(x0, x);
        x1 = std::max(x1, x);
        y0 = std::min(y0, y);
        y1 = std::max(y1, y);
    };
    for (const StyleGroup& group : shape.groups) {
        for (const Edge& e : group.edges) {
            add(e.x0, e.y0);
            add(e.x1, e.y1);
            if (e.curved) {
                add(e.cx, e.cy);
            }
        }
        for (const LineStyle& line : group.lines) {
            widest = std::max<int64_t>(widest, line.width);
        }
    }
    if (x0 > x1) {
        return {1, 0, 1, 0};
    }
    const int64_t reach = widest * 2;
    auto clamp32 = [](int64_t v) {
        return int32_t(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
    };
    return {clamp32(x0 - reach), clamp32(x1 + reach), clamp32(y0 - reach), clamp32(y1 + reach)};
}

// Bytes a picture takes (none for no picture).
std::size_t pictureSize(const SpanPicture* picture) {
    return picture ? picture->byteSize() : 0;
}

} // namespace

std::size_t ShapeCache::KeyHash::operator()(const Key& k) const {
    std::size_t h = std::hash<const void*>()(k.shape);
    // Adding zero makes -0 into +0: keys that compare equal must hash alike.
    for (double v : {k.a, k.b, k.c, k.d}) {
        h = mix(h, std::bit_cast<uint64_t>(v + 0.0));
    }
    h = mix(h, uint64_t(uint32_t(k.phaseX)) << 32 | uint32_t(k.phaseY));
    for (float v : {k.ct.mr, k.ct.mg, k.ct.mb, k.ct.ma, k.ct.ar, k.ct.ag, k.ct.ab, k.ct.aa}) {
        h = mix(h, std::bit_cast<uint32_t>(v + 0.0f));
    }
    return mix(h, k.coverageOnly);
}

void ShapeCache::beginFrame(const BitmapLookup& bitmaps, int width, int height) {
    ++m_frame;
    const std::size_t surfaceBytes = std::size_t(std::max(width, 0)) * std::max(height, 0) * 4;
    m_budget = m_fixedBudget != 0
                   ? m_fixedBudget
                   : std::clamp(surfaceBytes * kSurfacesPerBudget, kMinBytes, kMaxBytes);
    if (&bitmaps != m_bitmaps) {
        m_entries.clear();
        m_bytes = 0;
        m_bitmaps = &bitmaps;
    }
    if (m_frame % 8 == 0) {
        dropIdle();
    }
    trim();
    m_full = false;
    m_looks.clear();
}

void ShapeCache::dropIdle() {
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        const Entry& entry = it->second;
        const uint64_t idle =
            entry.lastUsed == entry.firstUsed ? kMaxIdleFramesSeenOnce : kMaxIdleFrames;
        if (entry.lastUsed + idle < m_frame) {
            m_bytes -= pictureSize(it->second.picture.get());
            it = m_entries.erase(it);
        } else {
            ++it;
        }
    }
}

void ShapeCache::trim() {
    // A refused picture asks for room too: without it a full cache would stay full of
    // whatever came first, and everything new would be painted directly for good.
    if (m_bytes <= m_budget && m_entries.size() <= kMaxEntries && !m_full) {
        return;
    }
    // Down to three quarters of the budget, least recently used first, so that trimming
    // does not run again every frame.
    std::vector<std::pair<uint64_t, const Key*>> order;
    order.reserve(m_entries.size());
    for (const auto& [key, entry] : m_entries) {
        order.emplace_back(entry.lastUsed, &key);
    }
    std::sort(order.begin(), order.end(),
              [](const auto& l, const auto& r) { return l.first < r.first; });
    const std::size_t byteGoal = m_budget / 4 * 3;
    const std::size_t entryGoal = kMaxEntries / 4 * 3;
    std::vector<Key> drop;
    std::size_t bytes = m_bytes;
    std::size_t entries = m_entries.size();
    for (const auto& [used, key] : order) {
        if (bytes <= byteGoal && entries <= entryGoal) {
            break;
        }
        const Entry& e = m_entries.find(*key)->second;
        bytes -= pictureSize(e.picture.get());
        --entries;
        drop.push_back(*key);
    }
    for (const Key& key : drop) {
        m_entries.erase(key);
    }
    m_bytes = bytes;
}

bool ShapeCache::keyOf(const Shape* shape, const Matrix& object, const Matrix& view,
                       const ColorTransform& ct, const BitmapLookup& bitmaps, bool coverageOnly,
                       Key* key, int* wholeX, int* wholeY) const {
    const Matrix m = view * object;
    if (!m.isFinite() || std::fabs(m.tx) > kMaxTranslation || std::fabs(m.ty) > kMaxTranslation ||
        &bitmaps != m_bitmaps) {
        return false;
    }
    double wx, wy;
    *key = Key{shape, m.a, m.b, m.c, m.d, 0, 0, ct, coverageOnly};
    splitTranslation(m.tx, &wx, &key->phaseX);
    splitTranslation(m.ty, &wy, &key->phaseY);
    *wholeX = int(wx);
    *wholeY = int(wy);
    return true;
}

ShapeCache::Placement ShapeCache::placement(const std::shared_ptr<const Shape>& shape,
                                            const Matrix& object, const Matrix& view,
                                            const ColorTransform& ct,
                                            const BitmapLookup& bitmaps,
                                            bool coverageOnly) const {
    Key key;
    int wholeX, wholeY;
    if (!shape || !keyOf(shape.get(), object, view, ct, bitmaps, coverageOnly, &key, &wholeX,
                         &wholeY)) {
        return {};
    }
    auto it = m_entries.find(key);
    if (it == m_entries.end() || !it->second.picture) {
        return {};
    }
    return {it->second.picture.get(), wholeX + it->second.originX, wholeY + it->second.originY};
}

ShapeCache::LookOrigin ShapeCache::lookOrigin(int look) const {
    if (look < 0 || std::size_t(look) >= m_looks.size()) {
        return {};
    }
    const Look& l = m_looks[std::size_t(look)];
    return {l.node, l.wholeX, l.wholeY};
}

ShapeCache::Placement ShapeCache::placement(int look) const {
    if (look < 0 || std::size_t(look) >= m_looks.size()) {
        return {};
    }
    const Look& l = m_looks[std::size_t(look)];
    const Entry& entry = l.node->second;
    if (!entry.picture) {
        return {};
    }
    return {entry.picture.get(), l.wholeX + entry.originX, l.wholeY + entry.originY};
}

ShapeCache::Node& ShapeCache::touch(const Key& key, const std::shared_ptr<const Shape>& shape) {
    auto [it, inserted] = m_entries.try_emplace(key);
    Entry& entry = it->second;
    if (inserted) {
        entry.shape = shape;
        entry.firstUsed = m_frame;
    }
    if (entry.countedFrame != m_frame) {
        entry.countedFrame = m_frame;
        entry.previousUsed = entry.lastUsed;
        ++entry.framesSeen;
        entry.announced = entry.drawn = entry.reported = 0;
        entry.shown = 0;
    }
    entry.lastUsed = m_frame;
    return *it;
}

bool ShapeCache::makesPicture(const Entry& entry, uint32_t nth) const {
    if (entry.picture || entry.direct) {
        return false;
    }
    if (entry.firstUsed < m_frame) {
        // A look still shown from the frame before, or one that keeps coming back (a loop).
        if (entry.previousUsed + 1 == m_frame) {
            return true;
        }
        return entry.framesSeen >= kMinFramesOnReturn;
    }
    if (entry.announced < nth) {
        return false;
    }
    const uint32_t left = entry.announced - nth + 1; // this drawing and the later ones
    if (entry.reported == 0) {
        return left > kMinLaterDrawings;
    }
    return left * (entry.shown / entry.reported) >= kMinShownWholes;
}

int ShapeCache::announce(const std::shared_ptr<const Shape>& shape, const Matrix& object,
                         const Matrix& view, const ColorTransform& ct,
                         const BitmapLookup& bitmaps) {
    Key key;
    int wholeX, wholeY;
    if (!shape || !keyOf(shape.get(), object, view, ct, bitmaps, false, &key, &wholeX, &wholeY)) {
        return -1;
    }
    Node& node = touch(key, shape);
    ++node.second.announced;
    m_looks.push_back({&node, wholeX, wholeY});
    return int(m_looks.size() - 1);
}

bool ShapeCache::plannedPaintsFromEdges(int look) const {
    if (look < 0 || std::size_t(look) >= m_looks.size()) {
        return true;
    }
    // Every drawing of the look in this frame goes as its first one does: when that one
    // makes the picture (or one is kept), the rest are composed from it.
    const Entry& entry = m_looks[std::size_t(look)].node->second;
    return entry.direct || (!entry.picture && !makesPicture(entry, 1));
}

void ShapeCache::expectShown(int look, double share) {
    if (look >= 0 && std::size_t(look) < m_looks.size() && std::isfinite(share)) {
        Entry& entry = m_looks[std::size_t(look)].node->second;
        entry.shown += std::clamp(share, 0.0, 1.0);
        ++entry.reported;
    }
}

void ShapeCache::draw(const std::shared_ptr<const Shape>& shape, const Matrix& object,
                      const Matrix& view, const ColorTransform& ct, const BitmapLookup& bitmaps,
                      const DrawTarget& target, ShapePainter& painter,
                      const std::span<const RowPiece>* visible, const RecordedShape* recorded,
                      const std::span<const RowPiece>* hidden, int look) {
    if (!shape || target.surface == nullptr) {
        return;
    }
    auto paintDirectly = [&] {
        if (recorded) {
            painter.replay(*recorded, target, visible);
        } else {
            painter.draw(*shape, object, view, ct, bitmaps, target, hidden);
        }
    };
    Key key;
    int wholeX, wholeY;
    Node* node = nullptr;
    if (look >= 0 && std::size_t(look) < m_looks.size() && !target.coverageOnly) {
        // Announced: the key and entry are known.
        node = m_looks[std::size_t(look)].node;
        key = node->first;
        wholeX = m_looks[std::size_t(look)].wholeX;
        wholeY = m_looks[std::size_t(look)].wholeY;
    } else if (keyOf(shape.get(), object, view, ct, bitmaps, target.coverageOnly, &key, &wholeX,
                     &wholeY)) {
        node = &touch(key, shape);
    } else {
        paintDirectly();
        return;
    }
    Entry& entry = node->second;
    // A picture that does not fit the budget is composed once, as it has been painted.
    std::unique_ptr<SpanPicture> once;
    if (makesPicture(entry, ++entry.drawn)) {
        once = makePicture(entry, key, *shape, object, view, ct, bitmaps, *target.surface,
                           painter);
        visible = nullptr; // planned before the picture existed
    }
    if (!entry.picture && !once) {
        paintDirectly();
        return;
    }
    if (recorded) {
        visible = nullptr; // planned from the recording, not from this picture
    }

    Surface& surface = *target.surface;
    const SpanPicture& picture = once ? *once : *entry.picture;
    const int left = wholeX + entry.originX;
    const int top = wholeY + entry.originY;
    const uint8_t* mask = target.mask;
    auto compose = [&](int y, int x0, int x1) {
        const uint8_t* maskRow = mask ? mask + std::size_t(y) * surface.width() : nullptr;
        picture.composeRow(y - top, x0 - left, x1 - left, surface.row(y), left, maskRow);
    };
    if (visible) {
        for (const RowPiece& piece : *visible) {
            compose(piece.y, piece.x0, piece.x1);
        }
    } else {
        const PixelBox box =
            PixelBox{left, top, left + picture.width(), top + picture.height()}.intersected(
                surface.bounds());
        // A picture made in this frame was not known when the frame was planned; what later
        // drawings cover, planned for painting the shape from its edges, is left out.
        const std::span<const RowPiece> covered =
            hidden && !recorded ? *hidden : std::span<const RowPiece>();
        auto piece = std::lower_bound(covered.begin(), covered.end(), box.y0,
                                      [](const RowPiece& p, int y) { return p.y < y; });
        for (int y = box.y0; y < box.y1; ++y) {
            int from = box.x0;
            for (; piece != covered.end() && piece->y == y; ++piece) {
                if (piece->x1 > from && piece->x0 < box.x1) {
                    if (piece->x0 > from) {
                        compose(y, from, piece->x0);
                    }
                    from = piece->x1;
                }
            }
            if (from < box.x1) {
                compose(y, from, box.x1);
            }
        }
    }
    surface.markDirty(PixelBox{left, top, left + picture.width(), top + picture.height()});
}

std::unique_ptr<SpanPicture> ShapeCache::makePicture(Entry& entry, const Key& key, const Shape& shape,
                             const Matrix& object, const Matrix& view,
                             const ColorTransform& ct, const BitmapLookup& bitmaps,
                             const Surface& target, ShapePainter& painter) {
    const Rect b = paintedBounds(shape);
    if (b.xMin > b.xMax || b.yMin > b.yMax) {
        entry.direct = true;
        return nullptr;
    }
    const double phaseX = key.phaseX / 256.0;
    const double phaseY = key.phaseY / 256.0;
    double x0 = INFINITY, y0 = INFINITY, x1 = -INFINITY, y1 = -INFINITY;
    for (double x : {double(b.xMin), double(b.xMax)}) {
        for (double y : {double(b.yMin), double(b.yMax)}) {
            const double px = key.a * x + key.c * y + phaseX;
            const double py = key.b * x + key.d * y + phaseY;
            x0 = std::min(x0, px);
            x1 = std::max(x1, px);
            y0 = std::min(y0, py);
            y1 = std::max(y1, py);
        }
    }
    // A picture larger than twice the surface would cost more to paint than the shape
    // itself, clipped to the surface, ever will.
    const double widthPx = x1 - x0 + 2 * kMargin + 2;
    const double heightPx = y1 - y0 + 2 * kMargin + 2;
    const double limit = std::max(65536.0, 2.0 * target.width() * target.height());
    // The box, relative to the translation, must also lie where pixel positions stay
    // within int (a huge scale of a point-sized shape puts it far off).
    const bool near = std::fabs(x0) <= kMaxTranslation && std::fabs(x1) <= kMaxTranslation &&
                      std::fabs(y0) <= kMaxTranslation && std::fabs(y1) <= kMaxTranslation;
    if (!(near && widthPx <= kMaxPictureSide && heightPx <= kMaxPictureSide &&
          widthPx * heightPx <= limit)) {
        entry.direct = true;
        return nullptr;
    }
    const int left = int(std::floor(x0)) - kMargin;
    const int top = int(std::floor(y0)) - kMargin;
    const int width = int(std::ceil(x1)) + kMargin + 1 - left;
    const int height = int(std::ceil(y1)) + kMargin + 1 - top;

    // The same view, moved so that the shape's translation lands on the picture's pixel
    // (-left, -top) plus the phase.
    Matrix shifted = view;
    const Matrix m = view * object;
    shifted.tx += (phaseX - left) - m.tx;
    shifted.ty += (phaseY - top) - m.ty;
    // The scratch surface grows to the largest picture so far, unless that would make it
    // far larger than any one picture (a wide one, then a tall one).
    if (!m_scratch || m_scratch->width() < width || m_scratch->height() < height) {
        int w = std::max(width, m_scratch ? m_scratch->width() : 0);
        int h = std::max(height, m_scratch ? m_scratch->height() : 0);
        if (double(w) * h > 2 * limit) {
            w = width;
            h = height;
        }
        m_scratch = std::make_unique<Surface>(w, h);
    }
    Surface& scratch = *m_scratch;
    DrawTarget pictureTarget;
    pictureTarget.surface = &scratch;
    pictureTarget.coverageOnly = key.coverageOnly;
    painter.draw(shape, object, shifted, ct, bitmaps, pictureTarget);
    const PixelBox content = scratch.dirty();
    if (!content.isEmpty() &&
        (content.x0 <= 0 || content.y0 <= 0 || content.x1 >= width || content.y1 >= height)) {
        scratch.clear();
        entry.direct = true; // edges outside the declared bounds
        return nullptr;
    }
    auto picture = std::make_unique<SpanPicture>(scratch, content);
    scratch.clear();
    entry.originX = left + content.x0;
    entry.originY = top + content.y0 + picture->skippedRows();
    if (m_bytes + pictureSize(picture.get()) > m_budget) {
        m_full = true; // trimming makes room by the next frame
        return picture;
    }
    m_bytes += pictureSize(picture.get());
    entry.picture = std::move(picture);
    return nullptr;
}

void composeOver(uint32_t* dst, const uint32_t* src, int len, const uint8_t* mask) {
    if (mask) {
        for (int i = 0; i < len; ++i) {
            const uint32_t s = mask[i] == 255 ? src[i] : scalePixel(src[i], mask[i]);
            if (pixelA(s) == 255) {
                dst[i] = s;
            } else if (s != 0) {
                dst[i] = over(dst[i], s);
            }
        }
        return;
    }
    int i = 0;
#if defined(__SSE2__)
    // Four pixels at a time: opaque and empty groups (most of a picture) are a store or
    // nothing; the rest compute over() exactly as the scalar code, in 16-bit lanes.
    const __m128i zero = _mm_setzero_si128();
    const __m128i opaque = _mm_set1_epi32(int(0xFF000000u));
    const __m128i all255 = _mm_set1_epi16(255);
    const __m128i half = _mm_set1_epi16(128);
    auto scaleHalf = [&](__m128i d, __m128i s) {
        const __m128i alpha = _mm_shufflehi_epi16(_mm_shufflelo_epi16(s, 0xFF), 0xFF);
        __m128i t = _mm_add_epi16(_mm_mullo_epi16(d, _mm_sub_epi16(all255, alpha)), half);
        return _mm_srli_epi16(_mm_add_epi16(t, _mm_srli_epi16(t, 8)), 8);
    };
    for (; i + 4 <= len; i += 4) {
        const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
        const int opaqueLanes = _mm_movemask_epi8(_mm_cmpeq_epi32(_mm_and_si128(s, opaque), opaque));
        if (opaqueLanes == 0xFFFF) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), s);
            continue;
        }
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(s, zero)) == 0xFFFF) {
            continue;
        }
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + i));
        const __m128i low = scaleHalf(_mm_unpacklo_epi8(d, zero), _mm_unpacklo_epi8(s, zero));
        const __m128i high = scaleHalf(_mm_unpackhi_epi8(d, zero), _mm_unpackhi_epi8(s, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i),
                         _mm_add_epi32(s, _mm_packus_epi16(low, high)));
    }
#endif
    for (; i < len; ++i) {
        const uint32_t s = src[i];
        if (pixelA(s) == 255) {
            dst[i] = s;
        } else if (s != 0) {
            dst[i] = over(dst[i], s);
        }
    }
}

} // namespace swivio::swf::raster
