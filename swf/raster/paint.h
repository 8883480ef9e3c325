#pragma once

#include <array>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "swf/format/bitmap.h"
#include "swf/format/shape.h"
#include "swf/format/types.h"

namespace swivio::swf::raster {

// Gradient ramps already built, by their stops, interpolation and colour transform: the
// same gradients come back shape after shape and frame after frame, and building a ramp
// costs more than filling a small shape with it.
class RampCache {
public:
    struct Ramp {
        std::array<uint32_t, 256> colors;
        bool opaque; // every entry has alpha 255
    };
    // The ramp for these stops; null when there are none.
    const Ramp* find(const std::vector<GradientStop>& stops, Interpolation interpolation,
                     const ColorTransform& ct);

    static constexpr std::size_t kMaxEntries = 4096;

private:
    struct Entry {
        std::vector<GradientStop> stops;
        Interpolation interpolation;
        ColorTransform ct;
        Ramp ramp;
    };
    std::unordered_multimap<uint64_t, Entry> m_entries;
};

// One fill style made ready for drawing: its colours already passed through the colour
// transform and premultiplied, its matrix inverted so that each pixel maps back into the
// fill's own space. Plain data with one switch per span, so spans cost no virtual calls.
class Paint {
public:
    enum class Kind : uint8_t { None, Solid, Linear, Radial, Focal, Bitmap };

    // A fill as seen through `toPixels` (shape twips to surface pixels).
    // Gradient ramps come from `ramps` when given.
    void prepare(const FillStyle& fill, const Matrix& toPixels, const ColorTransform& ct,
                 const BitmapLookup& bitmaps, RampCache* ramps = nullptr);
    void prepareSolid(Rgba color, const ColorTransform& ct);
    void prepareNone() {
        m_kind = Kind::None;
        m_opaque = false;
    }

    Kind kind() const { return m_kind; }
    bool isVisible() const { return m_kind != Kind::None; }
    // Every pixel the paint generates has alpha 255.
    bool isOpaque() const { return m_opaque; }
    // Solid paints: the premultiplied colour.
    uint32_t color() const { return m_color; }

    // Writes len premultiplied pixels of row y starting at column x (pixel centres).
    void generate(int x, int y, int len, uint32_t* out) const;

private:
    void prepareGradient(const FillStyle& fill, const Matrix& toPixels, const ColorTransform& ct,
                         RampCache* ramps);
    void prepareBitmap(const FillStyle& fill, const Matrix& toPixels, const ColorTransform& ct,
                       const BitmapLookup& bitmaps);
    void generateBitmap(double u, double v, int len, uint32_t* out) const;
    uint32_t sampleNearest(double u, double v) const;
    uint32_t sampleBilinear(double u, double v) const;
    uint32_t sampleBilinearNear(double u, double v) const; // |u|, |v| well inside int range
    // The four pixels around (ix, iy) mixed by fractions fx, fy in 0..256.
    uint32_t blendFour(int ix, int iy, uint32_t fx, uint32_t fy) const;

    Kind m_kind = Kind::None;
    uint32_t m_color = 0;
    bool m_opaque = false;
    // Pixel centre (x, y) to fill space: u = ia*x + ic*y + itx, v = ib*x + id*y + ity.
    // Gradients: the gradient square scaled to -1..1. Bitmaps: bitmap pixels.
    double m_ia = 1, m_ib = 0, m_ic = 0, m_id = 1, m_itx = 0, m_ity = 0;
    SpreadMode m_spread = SpreadMode::Pad;
    double m_focal = 0;
    std::array<uint32_t, 256> m_ramp{};
    const Bitmap* m_bitmap = nullptr;
    bool m_repeat = true;
    bool m_smooth = true;
    bool m_transformPixels = false;
    ColorTransform m_ct;
};

// Fills a 256-entry ramp of premultiplied colours from gradient stops, with the colour
// transform applied. Returns false when the gradient has no stops.
bool buildGradientRamp(const std::vector<GradientStop>& stops, Interpolation interpolation,
                       const ColorTransform& ct, std::array<uint32_t, 256>& ramp);

} // namespace swivio::swf::raster
