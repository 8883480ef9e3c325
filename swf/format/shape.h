#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "swf/format/bitmap.h"
#include "swf/format/types.h"

namespace swivio::swf {

enum class FillType : uint8_t {
    Solid = 0x00,
    LinearGradient = 0x10,
    RadialGradient = 0x12,
    FocalRadialGradient = 0x13,
    RepeatingBitmap = 0x40,     // smoothed
    ClippedBitmap = 0x41,       // smoothed
    RepeatingBitmapHard = 0x42, // not smoothed
    ClippedBitmapHard = 0x43,   // not smoothed
};

enum class SpreadMode : uint8_t { Pad = 0, Reflect = 1, Repeat = 2 };
enum class Interpolation : uint8_t { Rgb = 0, LinearRgb = 1 };

struct GradientStop {
    uint8_t ratio = 0;
    Rgba color;
    friend bool operator==(const GradientStop&, const GradientStop&) = default;
};

struct Gradient {
    SpreadMode spread = SpreadMode::Pad;
    Interpolation interpolation = Interpolation::Rgb;
    float focalPoint = 0; // -1..1 along x, focal gradients only
    std::vector<GradientStop> stops;
};

// One fill style. For gradients the matrix maps the -16384..16384 twip gradient square into
// shape space; for bitmaps it maps bitmap pixels to twips (so 20 is unscaled).
struct FillStyle {
    FillType type = FillType::Solid;
    Rgba color;
    Matrix matrix;
    Gradient gradient;
    uint16_t bitmapId = 0; // 65535 means no bitmap: the fill draws nothing
    // A picture a script drew (BitmapData), used instead of bitmapId when set.
    std::shared_ptr<const Bitmap> picture;
};

enum class CapStyle : uint8_t { Round = 0, None = 1, Square = 2 };
enum class JoinStyle : uint8_t { Round = 0, Bevel = 1, Miter = 2 };

struct LineStyle {
    uint16_t width = 0; // twips; 0 is a one-pixel hairline
    Rgba color;
    CapStyle startCap = CapStyle::Round;
    CapStyle endCap = CapStyle::Round;
    JoinStyle join = JoinStyle::Round;
    float miterLimit = 3;
    bool noHScale = false;
    bool noVScale = false;
    bool pixelHinting = false;
    bool noClose = false;
    bool hasFill = false; // LineStyle2 with a fill instead of a colour
    FillStyle fill;
};

// One segment of a shape, in twips, absolute coordinates. Straight when !curved (cx, cy
// unused); otherwise a quadratic curve through control point (cx, cy). fill0 and fill1 are
// the styles on the two sides of the edge and line its stroke: 1-based indices into the
// arrays of the style group the edge belongs to, 0 for none.
struct Edge {
    int32_t x0 = 0, y0 = 0, cx = 0, cy = 0, x1 = 0, y1 = 0;
    bool curved = false;
    uint16_t fill0 = 0, fill1 = 0, line = 0;
};

// A set of styles and the edges drawn with them. A style-change record with new styles
// starts a new group, drawn above the earlier ones. Edges keep the order of the records,
// so consecutive edges with the same line style form the stroke's connected paths.
struct StyleGroup {
    std::vector<FillStyle> fills;
    std::vector<LineStyle> lines;
    std::vector<Edge> edges;
};

struct Shape {
    Rect bounds;
    bool nonZeroWinding = false; // DefineShape4's UsesFillWindingRule
    std::vector<StyleGroup> groups;
};

} // namespace swivio::swf
