#include <algorithm>

#include "swf/raster/shape_painter.h"

namespace swivio::swf::raster {

void ShapePainter::opaqueInside(const Shape& shape, const Matrix& object, const Matrix& view,
                                const ColorTransform& ct, const BitmapLookup& bitmaps, int width,
                                int height, std::vector<RowPiece>& out) {
    Matrix coarse = view * object;
    if (width <= 0 || height <= 0 || !coarse.isFinite()) {
        return;
    }
    // Half the resolution: a coarse pixel that no edge crosses lies wholly inside the fill,
    // and so do the four pixels it stands for. (A quarter costs less to find, but leaves a
    // wider band along each edge painted below for nothing.)
    constexpr int kStep = 2;
    constexpr double kScale = 1.0 / kStep;
    coarse.a *= kScale;
    coarse.b *= kScale;
    coarse.c *= kScale;
    coarse.d *= kScale;
    coarse.tx *= kScale;
    coarse.ty *= kScale;
    const int coarseWidth = (width + kStep - 1) / kStep;
    const int coarseHeight = (height + kStep - 1) / kStep;
    for (const StyleGroup& group : shape.groups) {
        if (group.fills.empty() || group.edges.empty() ||
            m_insideSegments >= kMaxSegmentsPerFrame) {
            continue;
        }
        const std::size_t fillCount = std::min<std::size_t>(group.fills.size(), 0x7FFF);
        m_paints.resize(fillCount);
        bool anyOpaque = false;
        for (std::size_t i = 0; i < fillCount; ++i) {
            m_paints[i].prepare(group.fills[i], coarse, ct, bitmaps, &m_ramps);
            anyOpaque = anyOpaque || m_paints[i].isOpaque();
        }
        if (!anyOpaque) {
            continue;
        }
        groupStyles(group, fillCount);
        for (std::size_t set = 0; set < fillCount; ++set) {
            const uint32_t first = m_setStart[set], last = m_setStart[set + 1];
            // Fills that share edges mix at their seams; they are left out.
            if (first == last || m_shared[set] || !m_paints[set].isOpaque()) {
                continue;
            }
            m_insideSegments = addStyleEdges(group, first, last, int(set), shape.nonZeroWinding,
                                             coarse, coarseWidth, coarseHeight, m_insideSegments);
            m_rasterizer.sweep([&](int y, const CellRasterizer::Span* spans, int count) {
                for (int i = 0; i < count; ++i) {
                    const CellRasterizer::Span& span = spans[i];
                    if (!span.run || *span.covers != 255) {
                        continue;
                    }
                    const int x0 = std::max(span.x, 0) * kStep;
                    const int x1 = std::min((span.x + span.len) * kStep, width);
                    for (int r = 0; r < kStep && x0 < x1; ++r) {
                        const int row = y * kStep + r;
                        if (row >= 0 && row < height) {
                            out.push_back({row, x0, x1});
                        }
                    }
                }
            });
        }
    }
}

} // namespace swivio::swf::raster
