#include "swf/raster/occlusion_plan.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "swf/raster/pixel_ops.h"

namespace swivio::swf::raster {

void OcclusionPlan::findTopLevel(const RenderCommandList& commands) {
    // Follows the renderer's stack of layers and mask definitions as far as telling the
    // top level from the rest: an unmatched pop is ignored, as the renderer ignores it.
    enum class Level : uint8_t { Layer, MaskDefinition };
    std::vector<Level> levels;
    std::vector<std::size_t> masks; // the depth each active mask applies at
    m_levels.assign(commands.size(), TopLevel{});
    for (std::size_t i = 0; i < commands.size(); ++i) {
        const RenderCommand& c = commands[i];
        switch (c.kind) {
        case RenderCommand::Kind::DrawShape:
            m_levels[i].top = levels.empty();
            m_levels[i].masked = !masks.empty() && masks.back() == levels.size();
            break;
        case RenderCommand::Kind::PushMask:
            levels.push_back(Level::MaskDefinition);
            break;
        case RenderCommand::Kind::BeginMasked:
            if (!levels.empty() && levels.back() == Level::MaskDefinition) {
                levels.pop_back();
                masks.push_back(levels.size());
            }
            break;
        case RenderCommand::Kind::PopMask:
            if (!levels.empty() && levels.back() == Level::MaskDefinition) {
                levels.pop_back();
            } else if (!masks.empty() && masks.back() == levels.size()) {
                masks.pop_back();
            }
            break;
        case RenderCommand::Kind::PushLayer:
            levels.push_back(Level::Layer);
            break;
        case RenderCommand::Kind::PopLayer:
            while (!levels.empty() && levels.back() == Level::MaskDefinition) {
                levels.pop_back();
            }
            if (!levels.empty()) {
                levels.pop_back();
                while (!masks.empty() && masks.back() > levels.size()) {
                    masks.pop_back();
                }
            }
            break;
        }
    }
}

void OcclusionPlan::addVisible(bool planned, int y, int x0, int x1) {
    if (planned) {
        m_cover.forVisible(y, x0, x1, [this, y](int a, int b) { m_pieces.push_back({y, a, b}); });
    }
}

namespace {

// Whether a shape is large enough on the surface for its recording to pay: a small one
// costs little more to paint whole than to record, and recording it costs memory besides.
// The declared bounds only steer this choice, so a movie that gets them wrong loses
// nothing but time.
bool worthRecording(const Shape& shape, const Matrix& toPixels) {
    const Rect& b = shape.bounds;
    if (b.xMin > b.xMax || b.yMin > b.yMax) {
        return false;
    }
    const double w = double(b.xMax) - b.xMin, h = double(b.yMax) - b.yMin;
    const double across = std::hypot(toPixels.a * w, toPixels.b * w);
    const double down = std::hypot(toPixels.c * h, toPixels.d * h);
    return across * down >= OcclusionPlan::kMinRecordedArea;
}

} // namespace

bool OcclusionPlan::recordShape(std::size_t index, const RenderCommand& command,
                                const BitmapLookup& fills, const Matrix& view, Surface& surface,
                                ShapePainter& painter) {
    // Room for a busy frame from the first recording: a store grown by doubling copies
    // itself again and again on a first frame, and memory reserved but never written costs
    // nothing.
    m_store.spans.reserve(kStoreSpans);
    m_store.covers.reserve(kStoreCovers);
    m_store.layers.reserve(kStoreLayers);
    DrawTarget target;
    target.surface = &surface;
    RecordedShape recorded;
    if (!painter.record(*command.shape, drawMatrix(command, view), view,
                        finiteTransform(command.colorTransform), fills, target, m_store,
                        kMaxRecordingBytes, recorded)) {
        return false;
    }
    m_recordingOf[index] = int32_t(m_recorded.size());
    m_recorded.push_back(recorded);
    return true;
}

void OcclusionPlan::plan(const RenderCommandList& commands, const BitmapLookup& bitmaps,
                         const Matrix& view, Surface& surface, ShapeCache& cache,
                         ShapePainter& painter) {
    const int width = surface.width(), height = surface.height();
    findTopLevel(commands);
    m_planned.assign(commands.size(), 0);
    m_first.assign(commands.size() + 1, 0);
    m_recordingOf.assign(commands.size(), -1);
    m_recorded.clear();
    m_store.clear();
    m_pieces.clear();
    m_cover.reset(height);
    // Shapes to record: large enough, and painted from their edges (the others are
    // composed from pictures, made while drawing for a look met again). Drawings with one
    // look share their size, so announcing only the large ones still counts every repeat.
    m_toRecord.assign(commands.size(), 0);
    for (std::size_t i = 0; i < commands.size(); ++i) {
        const RenderCommand& c = commands[i];
        if (c.kind == RenderCommand::Kind::DrawShape && m_levels[i].top && c.shape) {
            const Matrix object = drawMatrix(c, view);
            m_toRecord[i] = worthRecording(*c.shape, view * object) &&
                            cache.announcePaintsFromEdges(c.shape, object, view,
                                                          finiteTransform(c.colorTransform),
                                                          c.bitmaps ? *c.bitmaps : bitmaps);
        }
    }
    for (std::size_t i = commands.size(); i-- > 0;) {
        m_first[i] = uint32_t(m_pieces.size());
        const RenderCommand& c = commands[i];
        if (c.kind != RenderCommand::Kind::DrawShape || !m_levels[i].top || !c.shape) {
            continue;
        }
        const BitmapLookup& fills = c.bitmaps ? *c.bitmaps : bitmaps;
        const ShapeCache::Placement at = cache.placement(
            c.shape, drawMatrix(c, view), view, finiteTransform(c.colorTransform), fills, false);
        const bool covers = !m_levels[i].masked;
        if (at.picture) {
            const SpanPicture& picture = *at.picture;
            const int y0 = std::max(at.top, 0);
            const int y1 = std::min(at.top + picture.height(), height);
            // A row yields at most one piece more than the runs it can be covered by. Past
            // the bound (many large pictures, none opaque), the rest are drawn whole, which
            // is always right.
            const bool planned =
                m_pieces.size() + std::size_t(std::max(y1 - y0, 0)) * (CoverRows::kRuns + 1) <=
                kMaxPieces;
            m_planned[i] = planned;
            for (int y = y0; y < y1; ++y) {
                const SpanPicture::Row& row = picture.row(y - at.top);
                addVisible(planned, y, std::max(at.left + row.x0, 0),
                           std::min(at.left + row.x1, width));
                if (covers) {
                    m_cover.cover(y, std::max(at.left + row.opaque0, 0),
                                  std::min(at.left + row.opaque1, width));
                }
            }
            continue;
        }
        if (!m_toRecord[i] || !recordShape(i, c, fills, view, surface, painter)) {
            continue;
        }
        const RecordedShape& recorded = m_recorded[std::size_t(m_recordingOf[i])];
        const PixelBox box = recorded.touched.intersected(surface.bounds());
        if (box.isEmpty()) {
            continue;
        }
        const bool planned =
            m_pieces.size() + std::size_t(box.y1 - box.y0) * (CoverRows::kRuns + 1) <= kMaxPieces;
        m_planned[i] = planned;
        // Each row's extent over every layer is what may show; the runs that an opaque
        // paint covers wholly hide what is below.
        m_rowX0.assign(std::size_t(box.y1 - box.y0), INT32_MAX);
        m_rowX1.assign(std::size_t(box.y1 - box.y0), INT32_MIN);
        const auto spans = std::span(m_store.spans)
                               .subspan(recorded.firstSpan, recorded.endSpan - recorded.firstSpan);
        for (const ShapeRecordings::Span& span : spans) {
            if (span.y < box.y0 || span.y >= box.y1) {
                continue;
            }
            const std::size_t r = std::size_t(span.y - box.y0);
            m_rowX0[r] = std::min<int32_t>(m_rowX0[r], span.x);
            m_rowX1[r] = std::max<int32_t>(m_rowX1[r], span.end());
        }
        for (int y = box.y0; y < box.y1; ++y) {
            const std::size_t r = std::size_t(y - box.y0);
            addVisible(planned, y, m_rowX0[r], m_rowX1[r]);
        }
        if (covers) {
            for (const ShapeRecordings::Span& span : spans) {
                if (span.run() && span.cover == 255 && m_store.layers[span.layer].isOpaque()) {
                    m_cover.cover(span.y, span.x, span.end());
                }
            }
        }
    }
    // Walking backwards, command i's pieces run from m_first[i] to where those of command
    // i - 1 begin; the spans are made once m_pieces has stopped growing.
    m_visible.assign(commands.size(), {});
    for (std::size_t i = 0; i < commands.size(); ++i) {
        const std::size_t end = i == 0 ? m_pieces.size() : m_first[i - 1];
        if (m_planned[i]) {
            m_visible[i] =
                std::span<const RowPiece>(m_pieces.data() + m_first[i], end - m_first[i]);
        }
    }
}

} // namespace swivio::swf::raster
