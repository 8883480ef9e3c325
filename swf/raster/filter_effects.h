#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "swf/format/filter.h"
#include "swf/raster/surface.h"

namespace swivio::swf::raster {

// Applies a layer's filter list in order, in place. Sizes in the filters (blur, distance)
// are stage pixels; scaleX and scaleY turn them into surface pixels. Everything stays
// inside the surface; the surface's touched box grows by what the filters spread.
class FilterEffects {
public:
    void apply(Surface& layer, const std::vector<Filter>& filters, double scaleX, double scaleY);

    // Largest blur radius, in pixels, and number of passes honoured.
    static constexpr int kMaxBlurRadius = 255;
    static constexpr int kMaxPasses = 15;

private:
    void blur(Surface& layer, const Filter& f);
    void shadow(Surface& layer, const Filter& f);
    void bevel(Surface& layer, const Filter& f);
    void convolution(Surface& layer, const Filter& f);
    void colorMatrix(Surface& layer, const Filter& f);

    // The blurred alpha of the layer (inverted first when `invert`) in m_plane, over m_box.
    void blurredAlpha(const Surface& layer, bool invert, int rx, int ry, int passes);
    void blurPlane(uint8_t* plane, int stride, int pixelStep, const PixelBox& box, int rx, int ry,
                   int passes);
    uint8_t planeAt(int x, int y) const;

    double m_scaleX = 1, m_scaleY = 1;
    PixelBox m_box; // the area the current filter works on
    std::size_t m_planeWidth = 0;
    uint8_t m_outside = 0; // what planeAt reads outside m_box
    std::vector<uint8_t> m_plane;
    std::vector<uint32_t> m_copy;
    std::vector<uint32_t> m_line;
    std::vector<uint8_t> m_lineOut;
    std::array<uint32_t, 256> m_ramp{};
};

} // namespace swivio::swf::raster
