#include "swf/raster/occlusion_plan.h"

#include <algorithm>

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

void OcclusionPlan::plan(const RenderCommandList& commands, const BitmapLookup& bitmaps,
                         const Matrix& view, int width, int height, const ShapeCache& cache) {
    findTopLevel(commands);
    m_planned.assign(commands.size(), 0);
    m_first.assign(commands.size() + 1, 0);
    m_pieces.clear();
    m_cover.reset(height);
    for (std::size_t i = commands.size(); i-- > 0;) {
        m_first[i] = uint32_t(m_pieces.size());
        const RenderCommand& c = commands[i];
        if (c.kind != RenderCommand::Kind::DrawShape || !m_levels[i].top || !c.shape) {
            continue;
        }
        const BitmapLookup& fills = c.bitmaps ? *c.bitmaps : bitmaps;
        const ShapeCache::Placement at = cache.placement(
            c.shape, drawMatrix(c, view), view, finiteTransform(c.colorTransform), fills, false);
        if (!at.picture) {
            continue;
        }
        const SpanPicture& picture = *at.picture;
        const int y0 = std::max(at.top, 0);
        const int y1 = std::min(at.top + picture.height(), height);
        // A row yields at most one piece more than the runs it can be covered by. Past the
        // bound (many large pictures, none opaque), the rest are drawn whole, which is
        // always right.
        const bool planned =
            m_pieces.size() + std::size_t(std::max(y1 - y0, 0)) * (CoverRows::kRuns + 1) <=
            kMaxPieces;
        m_planned[i] = planned;
        for (int y = y0; y < y1; ++y) {
            const SpanPicture::Row& row = picture.row(y - at.top);
            const int x0 = std::max(at.left + row.x0, 0);
            const int x1 = std::min(at.left + row.x1, width);
            if (planned) {
                m_cover.forVisible(y, x0, x1, [this, y](int a, int b) {
                    m_pieces.push_back({y, a, b});
                });
            }
            if (!m_levels[i].masked) {
                m_cover.cover(y, std::max(at.left + row.opaque0, 0),
                              std::min(at.left + row.opaque1, width));
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
