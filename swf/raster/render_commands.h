#pragma once

#include <cmath>
#include <memory>
#include <vector>

#include "swf/format/filter.h"
#include "swf/format/shape.h"
#include "swf/format/types.h"

namespace swivio::swf {

class BitmapLookup;

// What the display list asks the rasterizer to draw, in painting order. The player emits
// it; the renderer knows nothing of timelines. Matrices map shape twips to stage twips
// (every parent's matrix already applied); colour transforms are likewise concatenated.
//
//   DrawShape                          fill and stroke one shape
//   PushMask ... BeginMasked ... PopMask
//       the commands between PushMask and BeginMasked draw the mask (their coverage counts,
//       not their colours); those between BeginMasked and PopMask are clipped to it. Masks
//       nest: a mask inside masked content is intersected with the one outside.
//   PushLayer ... PopLayer
//       the commands between are drawn on an off-screen layer that is then filtered and
//       composed onto what lies below with the blend mode and the layer's alpha. The
//       PushLayer's colorTransform (identity unless set) applies to the finished layer as a
//       whole, so overlapping children fade as one picture. Alpha and Erase act on the
//       enclosing layer; straight onto the frame's picture they leave no mark.
struct RenderCommand {
    enum class Kind { DrawShape, PushMask, BeginMasked, PopMask, PushLayer, PopLayer };
    Kind kind = Kind::DrawShape;

    // DrawShape (colorTransform also serves PushLayer, see above)
    std::shared_ptr<const Shape> shape;
    Matrix matrix;
    ColorTransform colorTransform;
    // The bitmaps the shape's fills name when they are not the movie's own (a shape of a
    // movie loaded into a clip); null for the renderer's.
    const BitmapLookup* bitmaps = nullptr;

    // DrawShape inside an object cached as a bitmap: that object's origin (stage twips).
    // A bitmap shows at whole pixels, so the drawing moves by under a pixel to put the
    // origin on the nearest pixel corner (see drawMatrix).
    bool pixelAligned = false;
    double alignX = 0, alignY = 0;
    // PushLayer
    BlendMode blendMode = BlendMode::Normal;
    std::vector<Filter> filters;
};

// A DrawShape's matrix as drawn through `view` (stage twips to pixels): its own, moved
// when it is pixel-aligned.
inline Matrix drawMatrix(const RenderCommand& c, const Matrix& view) {
    const double det = view.a * view.d - view.b * view.c;
    if (!c.pixelAligned || !std::isfinite(det) || det == 0) {
        return c.matrix;
    }
    const double x = view.a * c.alignX + view.c * c.alignY + view.tx;
    const double y = view.b * c.alignX + view.d * c.alignY + view.ty;
    const double dx = std::floor(x + 0.5) - x, dy = std::floor(y + 0.5) - y;
    if (!std::isfinite(dx) || !std::isfinite(dy)) {
        return c.matrix; // an origin far off the stage has no pixel to land on
    }
    Matrix m = c.matrix;
    m.tx += (view.d * dx - view.c * dy) / det; // the pixel shift in stage twips
    m.ty += (view.a * dy - view.b * dx) / det;
    return m;
}

using RenderCommandList = std::vector<RenderCommand>;

} // namespace swivio::swf
