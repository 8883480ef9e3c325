#include "swf/raster/layer_compositor.h"

#include <algorithm>
#include <cstdlib>

#include "swf/raster/pixel_ops.h"

namespace swivio::swf::raster {
namespace {

using Channel = int; // 0..255 premultiplied, signed for the differences below

Channel m(Channel a, Channel b) {
    return Channel(mul255(uint32_t(a), uint32_t(b)));
}

Channel clamp255(int v) {
    return std::clamp(v, 0, 255);
}

// The separable modes share one shape: the blend term where both overlap, plus each side
// where the other is transparent.
template <class Blend> uint32_t separable(uint32_t s, uint32_t d, Blend blend) {
    const Channel sa = Channel(pixelA(s));
    const Channel da = Channel(pixelA(d));
    auto channel = [&](Channel sc, Channel dc) {
        return clamp255(blend(sc, dc, sa, da) + m(sc, 255 - da) + m(dc, 255 - sa));
    };
    const Channel a = clamp255(sa + da - m(sa, da));
    auto lim = [a](Channel c) { return uint32_t(std::min(c, a)); };
    return packPixel(lim(channel(Channel(pixelR(s)), Channel(pixelR(d)))),
                     lim(channel(Channel(pixelG(s)), Channel(pixelG(d)))),
                     lim(channel(Channel(pixelB(s)), Channel(pixelB(d)))), uint32_t(a));
}

Channel hardLight(Channel sc, Channel dc, Channel sa, Channel da) {
    if (2 * sc <= sa) {
        return 2 * m(sc, dc);
    }
    return m(sa, da) - 2 * m(da - dc, sa - sc);
}

} // namespace

uint32_t blendPixel(BlendMode mode, uint32_t s, uint32_t d) {
    switch (mode) {
    case BlendMode::Multiply:
        return separable(s, d, [](Channel sc, Channel dc, Channel, Channel) { return m(sc, dc); });
    case BlendMode::Screen:
        return separable(s, d, [](Channel sc, Channel dc, Channel sa, Channel da) {
            return m(sc, da) + m(dc, sa) - m(sc, dc);
        });
    case BlendMode::Lighten:
        return separable(s, d, [](Channel sc, Channel dc, Channel sa, Channel da) {
            return std::max(m(sc, da), m(dc, sa));
        });
    case BlendMode::Darken:
        return separable(s, d, [](Channel sc, Channel dc, Channel sa, Channel da) {
            return std::min(m(sc, da), m(dc, sa));
        });
    case BlendMode::Difference:
        return separable(s, d, [](Channel sc, Channel dc, Channel sa, Channel da) {
            return std::abs(m(sc, da) - m(dc, sa));
        });
    case BlendMode::Overlay:
        return separable(s, d, [](Channel sc, Channel dc, Channel sa, Channel da) {
            return hardLight(dc, sc, da, sa);
        });
    case BlendMode::HardLight:
        return separable(s, d, hardLight);
    case BlendMode::Add: {
        const uint32_t a = uint32_t(
            clamp255(int(pixelA(s) + pixelA(d)) - m(Channel(pixelA(s)), Channel(pixelA(d)))));
        auto add = [a](uint32_t x, uint32_t y) { return std::min({x + y, 255u, a}); };
        return packPixel(add(pixelR(s), pixelR(d)), add(pixelG(s), pixelG(d)),
                         add(pixelB(s), pixelB(d)), a);
    }
    case BlendMode::Subtract: {
        const uint32_t a = uint32_t(
            clamp255(int(pixelA(s) + pixelA(d)) - m(Channel(pixelA(s)), Channel(pixelA(d)))));
        auto sub = [a](uint32_t x, uint32_t y) { return std::min(y > x ? y - x : 0u, a); };
        return packPixel(sub(pixelR(s), pixelR(d)), sub(pixelG(s), pixelG(d)),
                         sub(pixelB(s), pixelB(d)), a);
    }
    case BlendMode::Invert: {
        // What lies below is inverted wherever the layer covers it; the layer's colours
        // do not matter.
        const uint32_t sa = pixelA(s);
        const uint32_t da = pixelA(d);
        auto inv = [sa, da](uint32_t dc) { return mul255(da - dc, sa) + mul255(dc, 255 - sa); };
        return packPixel(inv(pixelR(d)), inv(pixelG(d)), inv(pixelB(d)), da);
    }
    case BlendMode::Alpha:
        return scalePixel(d, pixelA(s));
    case BlendMode::Erase:
        return scalePixel(d, 255 - pixelA(s));
    case BlendMode::Normal:
    case BlendMode::Layer:
    default:
        return over(d, s);
    }
}

void composeLayer(const Surface& layer, Surface& dst, const PixelBox& box, BlendMode mode,
                  const ColorTransform& ct, const uint8_t* mask) {
    const PixelBox area = box.intersected(layer.bounds()).intersected(dst.bounds());
    if (area.isEmpty()) {
        return;
    }
    const bool transform = !ct.isIdentity();
    const bool normal = mode == BlendMode::Normal || mode == BlendMode::Layer;
    // Alpha uses the transparent parts of the layer too: they clear what lies below.
    const bool blankMatters = mode == BlendMode::Alpha;
    const int width = dst.width();
    for (int y = area.y0; y < area.y1; ++y) {
        const uint32_t* src = layer.row(y);
        uint32_t* out = dst.row(y);
        const uint8_t* maskRow = mask ? mask + static_cast<std::size_t>(y) * width : nullptr;
        for (int x = area.x0; x < area.x1; ++x) {
            uint32_t s = src[x];
            if (s == 0 && !blankMatters) {
                continue;
            }
            if (transform) {
                s = applyColorTransform(ct, s);
            }
            if (maskRow) {
                if (blankMatters) {
                    // Outside the mask the layer is absent, so nothing below changes.
                    const uint32_t k = maskRow[x];
                    s = scalePixel(s, k) + (uint32_t(255 - k) << 24);
                } else {
                    s = scalePixel(s, maskRow[x]);
                }
            }
            out[x] = normal ? over(out[x], s) : blendPixel(mode, s, out[x]);
        }
    }
    dst.markDirty(area);
}

} // namespace swivio::swf::raster
