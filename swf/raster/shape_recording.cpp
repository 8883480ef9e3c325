// Shapes rasterized ahead of painting: ShapePainter's recorder and the painting of what it
// recorded.
#include <algorithm>
#include <climits>

#include "swf/raster/shape_painter.h"

namespace swivio::swf::raster {

bool ShapePainter::record(const Shape& shape, const Matrix& object, const Matrix& view,
                          const ColorTransform& ct, const BitmapLookup& bitmaps,
                          const DrawTarget& target, ShapeRecordings& store, std::size_t maxBytes,
                          RecordedShape& out) {
    if (target.surface == nullptr || target.surface->width() > ShapeRecordings::kMaxSide ||
        target.surface->height() > ShapeRecordings::kMaxSide) {
        return false;
    }
    const std::size_t layers = store.layers.size(), spans = store.spans.size(),
                      covers = store.covers.size();
    m_recording = &store;
    m_recordLimit = maxBytes;
    m_recordFailed = false;
    m_recordTouched = {};
    draw(shape, object, view, ct, bitmaps, target);
    m_recording = nullptr;
    if (m_recordFailed) {
        store.layers.resize(layers);
        store.spans.resize(spans);
        store.covers.resize(covers);
        return false;
    }
    out.store = &store;
    out.firstSpan = uint32_t(spans);
    out.endSpan = uint32_t(store.spans.size());
    out.touched = m_recordTouched;
    return true;
}

void ShapePainter::recordSweep(const Paint& paint) {
    ShapeRecordings& store = *m_recording;
    if (m_recordFailed || store.layers.size() >= 0xFFFF ||
        store.spans.size() >= std::size_t(UINT32_MAX)) {
        m_recordFailed = true;
        m_rasterizer.reset();
        return;
    }
    const auto layer = uint16_t(store.layers.size());
    store.layers.push_back(paint);
    const bool touched =
        m_rasterizer.sweep([&](int y, const CellRasterizer::Span* spans, int count) {
            if (y < 0 || y >= m_height || m_recordFailed) {
                return;
            }
            for (int i = 0; i < count; ++i) {
                const CellRasterizer::Span& span = spans[i];
                const CellRasterizer::Span part = clippedSpan(span, m_width);
                if (part.len <= 0 || (span.run && *part.covers == 0)) {
                    continue;
                }
                ShapeRecordings::Span recorded;
                recorded.y = uint16_t(y);
                recorded.layer = layer;
                recorded.x = uint16_t(part.x);
                recorded.len = uint16_t(part.len | (span.run ? ShapeRecordings::kRun : 0));
                if (span.run) {
                    recorded.cover = *part.covers;
                } else {
                    recorded.cover = uint32_t(store.covers.size());
                    store.covers.insert(store.covers.end(), part.covers, part.covers + part.len);
                }
                store.spans.push_back(recorded);
            }
            if (store.bytes() > m_recordLimit) {
                m_recordFailed = true;
            }
        });
    if (touched) {
        m_recordTouched.unite({m_rasterizer.minX(), m_rasterizer.minY(), m_rasterizer.maxX() + 1,
                               m_rasterizer.maxY() + 1});
    }
}

void ShapePainter::replay(const RecordedShape& shape, const DrawTarget& target,
                          const std::span<const RowPiece>* visible) {
    if (target.surface == nullptr || shape.store == nullptr || !prepareTarget(target)) {
        return;
    }
    const ShapeRecordings& store = *shape.store;
    Surface& surface = *target.surface;
    const std::size_t pieceCount = visible ? visible->size() : 0;
    std::size_t next = 0; // the first piece that may meet the current span
    int layer = -1;
    auto paintPart = [&](const ShapeRecordings::Span& span, int a, int b) {
        const Paint& paint = store.layers[span.layer];
        const uint8_t* maskRow =
            target.mask ? target.mask + std::size_t(span.y) * m_width + a : nullptr;
        uint32_t* dst = surface.row(span.y) + a;
        if (span.run()) {
            blendRun(dst, paint, a, span.y, b - a, uint8_t(span.cover), maskRow);
        } else {
            blendSpan(dst, paint, a, span.y, b - a, store.covers.data() + span.cover + (a - span.x),
                      maskRow);
        }
    };
    for (uint32_t i = shape.firstSpan; i < shape.endSpan && i < store.spans.size(); ++i) {
        const ShapeRecordings::Span& span = store.spans[i];
        const int x0 = span.x, x1 = span.end();
        if (span.y >= m_height || x1 > m_width) {
            continue; // recorded for another surface
        }
        if (!visible) {
            paintPart(span, x0, x1);
            continue;
        }
        if (span.layer != layer) {
            layer = span.layer;
            next = 0;
        }
        const std::span<const RowPiece>& pieces = *visible;
        while (next < pieceCount &&
               (pieces[next].y < span.y || (pieces[next].y == span.y && pieces[next].x1 <= x0))) {
            ++next;
        }
        for (std::size_t k = next; k < pieceCount && pieces[k].y == span.y && pieces[k].x0 < x1;
             ++k) {
            const int a = std::max(x0, pieces[k].x0);
            const int b = std::min(x1, pieces[k].x1);
            if (a < b) {
                paintPart(span, a, b);
            }
        }
    }
    surface.markDirty(shape.touched);
}

} // namespace swivio::swf::raster
