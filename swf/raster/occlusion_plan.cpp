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

namespace {

// The box around points of a shape mapped to pixels, grown point by point.
struct MappedBox {
    const Matrix& toPixels;
    double x0 = INFINITY, y0 = INFINITY, x1 = -INFINITY, y1 = -INFINITY;

    void add(double x, double y) {
        const double px = toPixels.a * x + toPixels.c * y + toPixels.tx;
        const double py = toPixels.b * x + toPixels.d * y + toPixels.ty;
        x0 = std::min(x0, px);
        x1 = std::max(x1, px);
        y0 = std::min(y0, py);
        y1 = std::max(y1, py);
    }
};

// The pixels a shape can paint: the hull of its edges' points (flattened curves stay inside
// it), widened by how far its lines can reach past their edges, and by a pixel of
// anti-aliasing. Empty when no bound is known (lines that keep their width however the shape
// is stretched, or long miters).
PixelBox paintReach(const Shape& shape, const Matrix& toPixels, const Matrix& object,
                    const Matrix& view) {
    MappedBox hull{toPixels};
    // No axis stretches by more than the matrix's Frobenius norm.
    auto most = [](const Matrix& m) {
        return std::sqrt(m.a * m.a + m.b * m.b + m.c * m.c + m.d * m.d);
    };
    double reach = 0;
    std::size_t edges = 0;
    for (const StyleGroup& group : shape.groups) {
        // The hull is found again at every drawing: past this many edges, a shape drawn
        // again and again would cost more to bound than its drawing may save.
        edges += group.edges.size();
        if (edges > OcclusionPlan::kMaxBoundedEdges) {
            return {};
        }
        for (const Edge& e : group.edges) {
            hull.add(e.x0, e.y0);
            hull.add(e.x1, e.y1);
            if (e.curved) {
                hull.add(e.cx, e.cy);
            }
        }
        for (const LineStyle& line : group.lines) {
            if (line.noHScale || line.noVScale ||
                (line.join == JoinStyle::Miter && line.miterLimit > 4)) {
                return {};
            }
            const double width =
                std::max(1.0, line.width * std::max(1.0, most(object)) * most(view));
            // Square caps and miters reach past half the width.
            const double factor =
                line.join == JoinStyle::Miter ? std::max(1.5, double(line.miterLimit)) : 1.5;
            reach = std::max(reach, width / 2 * factor);
        }
    }
    reach += 2;
    const double x0 = hull.x0, y0 = hull.y0, x1 = hull.x1, y1 = hull.y1;
    if (!(x0 <= x1) || !std::isfinite(x0 - reach) || !std::isfinite(x1 + reach) ||
        !std::isfinite(y0 - reach) || !std::isfinite(y1 + reach) ||
        std::max({std::fabs(x0), std::fabs(x1), std::fabs(y0), std::fabs(y1)}) + reach > 1e9) {
        return {};
    }
    return {int(std::floor(x0 - reach)), int(std::floor(y0 - reach)), int(std::ceil(x1 + reach)),
            int(std::ceil(y1 + reach))};
}

} // namespace

bool OcclusionPlan::coveredWhole(const RenderCommand& command, const Matrix& view,
                                 const Surface& surface) const {
    const Matrix object = drawMatrix(command, view);
    const PixelBox reach = paintReach(*command.shape, view * object, object, view);
    if (reach.isEmpty()) {
        return false;
    }
    const PixelBox shown = reach.intersected(surface.bounds());
    bool anyShown = false;
    for (int y = shown.y0; y < shown.y1 && !anyShown; ++y) {
        m_cover.forVisible(y, shown.x0, shown.x1, [&](int, int) { anyShown = true; });
    }
    return !anyShown;
}

void OcclusionPlan::planDirect(std::size_t index, const RenderCommand& command,
                               const BitmapLookup& fills, const Matrix& view,
                               const Surface& surface, const ShapeCache& cache,
                               ShapePainter& painter) {
    const Matrix object = drawMatrix(command, view);
    const Matrix toPixels = view * object;
    const Rect& b = command.shape->bounds;
    if (b.xMin > b.xMax || b.yMin > b.yMax) {
        return;
    }
    // The rows and columns looked at follow the declared bounds, widened a little: a shape
    // that paints outside them is merely painted there whole.
    MappedBox declared{toPixels};
    for (double x : {double(b.xMin), double(b.xMax)}) {
        for (double y : {double(b.yMin), double(b.yMax)}) {
            declared.add(x, y);
        }
    }
    const double x0 = declared.x0, y0 = declared.y0, x1 = declared.x1, y1 = declared.y1;
    if (!std::isfinite(x0) || !std::isfinite(x1) || !std::isfinite(y0) || !std::isfinite(y1)) {
        return;
    }
    const PixelBox box = PixelBox{int(std::clamp(std::floor(x0) - 2, -1.0, double(INT32_MAX / 2))),
                                  int(std::clamp(std::floor(y0) - 2, -1.0, double(INT32_MAX / 2))),
                                  int(std::clamp(std::ceil(x1) + 2, -1.0, double(INT32_MAX / 2))),
                                  int(std::clamp(std::ceil(y1) + 2, -1.0, double(INT32_MAX / 2)))}
                             .intersected(surface.bounds());
    const auto first = uint32_t(m_hiddenPieces.size());
    if (!box.isEmpty() &&
        m_hiddenPieces.size() + std::size_t(box.y1 - box.y0) * CoverRows::kRuns <= kMaxPieces) {
        double hiddenArea = 0;
        for (int y = box.y0; y < box.y1; ++y) {
            m_cover.forCovered(y, box.x0, box.x1, [this, y, &hiddenArea](int from, int to) {
                m_hiddenPieces.push_back({y, from, to});
                hiddenArea += to - from;
            });
        }
        m_shown[index] = float(1 - hiddenArea / (double(box.x1 - box.x0) * (box.y1 - box.y0)));
    }
    m_hiddenRange[index] = {first, uint32_t(m_hiddenPieces.size())};

    if (m_levels[index].masked) {
        return;
    }
    // Drawings of one look differ by whole pixels: the insides found for one serve the
    // others, moved (those found clipped to the surface may miss a part another has on it,
    // which only leaves that part painted).
    const ShapeCache::LookOrigin origin = cache.lookOrigin(m_look[index]);
    if (origin.id) {
        const auto found = m_insideOfLook.find(origin.id);
        if (found != m_insideOfLook.end()) {
            const LookInside& known = found->second;
            const int dx = origin.wholeX - known.wholeX, dy = origin.wholeY - known.wholeY;
            for (std::size_t k = known.first; k < known.first + known.count; ++k) {
                const RowPiece& piece = m_lookInsides[k];
                m_cover.cover(piece.y + dy, std::max(piece.x0 + dx, 0),
                              std::min(piece.x1 + dx, surface.width()));
            }
            return;
        }
    }
    m_inside.clear();
    painter.opaqueInside(*command.shape, object, view, finiteTransform(command.colorTransform),
                         fills, surface.width(), surface.height(), m_inside);
    for (const RowPiece& piece : m_inside) {
        m_cover.cover(piece.y, piece.x0, piece.x1);
    }
    if (origin.id && m_lookInsides.size() + m_inside.size() <= kMaxPieces) {
        m_insideOfLook.emplace(origin.id, LookInside{m_lookInsides.size(), m_inside.size(),
                                                     origin.wholeX, origin.wholeY});
        m_lookInsides.insert(m_lookInsides.end(), m_inside.begin(), m_inside.end());
    }
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
    m_hiddenPieces.clear();
    m_hiddenRange.assign(commands.size(), {0, 0});
    m_insideOfLook.clear();
    m_lookInsides.clear();
    m_whollyHidden.assign(commands.size(), 0);
    m_cover.reset(height);
    // Shapes to record: large enough, and painted from their edges (the others are
    // composed from pictures, made while drawing for a look met again).
    m_toRecord.assign(commands.size(), 0);
    m_look.assign(commands.size(), -1);
    m_shown.assign(commands.size(), -1);
    for (std::size_t i = 0; i < commands.size(); ++i) {
        const RenderCommand& c = commands[i];
        if (c.kind == RenderCommand::Kind::DrawShape && m_levels[i].top && c.shape) {
            m_look[i] =
                cache.announce(c.shape, drawMatrix(c, view), view,
                               finiteTransform(c.colorTransform), c.bitmaps ? *c.bitmaps : bitmaps);
        }
    }
    for (std::size_t i = 0; i < commands.size(); ++i) {
        const RenderCommand& c = commands[i];
        if (c.kind == RenderCommand::Kind::DrawShape && m_levels[i].top && c.shape) {
            m_toRecord[i] = worthRecording(*c.shape, view * drawMatrix(c, view)) &&
                            cache.plannedPaintsFromEdges(m_look[i]);
        }
    }
    for (std::size_t i = commands.size(); i-- > 0;) {
        m_first[i] = uint32_t(m_pieces.size());
        const RenderCommand& c = commands[i];
        if (c.kind != RenderCommand::Kind::DrawShape || !m_levels[i].top || !c.shape) {
            continue;
        }
        const BitmapLookup& fills = c.bitmaps ? *c.bitmaps : bitmaps;
        const ShapeCache::Placement at = cache.placement(m_look[i]);
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
        // A shape that can only paint where later drawings cover is left out.
        if (coveredWhole(c, view, surface)) {
            m_whollyHidden[i] = 1;
            continue;
        }
        if (!m_toRecord[i] || !recordShape(i, c, fills, view, surface, painter)) {
            planDirect(i, c, fills, view, surface, cache, painter);
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
    for (std::size_t i = 0; i < commands.size(); ++i) {
        if (m_shown[i] >= 0) {
            cache.expectShown(m_look[i], m_shown[i]);
        }
    }
    // Walking backwards, command i's pieces run from m_first[i] to where those of command
    // i - 1 begin; the spans are made once m_pieces has stopped growing.
    m_hidden.assign(commands.size(), {});
    for (std::size_t i = 0; i < commands.size(); ++i) {
        const auto [from, to] = m_hiddenRange[i];
        m_hidden[i] = std::span<const RowPiece>(m_hiddenPieces.data() + from, to - from);
    }
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
