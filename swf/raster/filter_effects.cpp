#include "swf/raster/filter_effects.h"

#include <algorithm>
#include <cmath>

#include "swf/raster/paint.h"
#include "swf/raster/pixel_ops.h"

namespace swivio::swf::raster {
namespace {

constexpr int kMaxKernelSide = 15;

// Flash's blur sizes are the width of the box: a box of 2r + 1 pixels.
int blurRadius(float size, double scale) {
    const double r = (double(size) * scale - 1.0) / 2.0;
    if (!(r > 0.0)) {
        return 0;
    }
    return static_cast<int>(std::min(std::lround(r), long(FilterEffects::kMaxBlurRadius)));
}

int clampedPasses(int passes) {
    return std::clamp(passes, 1, FilterEffects::kMaxPasses);
}

uint32_t strengthen(uint32_t a, float strength) {
    if (!(strength > 0.0f) || a == 0) {
        return 0; // also keeps 0 * infinity from becoming NaN
    }
    const float v = a * strength;
    return v >= 255.0f ? 255u : uint32_t(v + 0.5f);
}

int offset(double v) {
    if (!std::isfinite(v)) {
        return 0;
    }
    return static_cast<int>(std::lround(std::clamp(v, -4096.0, 4096.0)));
}

} // namespace

void FilterEffects::apply(Surface& layer, const std::vector<Filter>& filters, double scaleX,
                          double scaleY) {
    m_scaleX = std::isfinite(scaleX) ? scaleX : 1.0;
    m_scaleY = std::isfinite(scaleY) ? scaleY : 1.0;
    const std::size_t size = static_cast<std::size_t>(layer.width()) * layer.height();
    for (const Filter& f : filters) {
        if (layer.dirty().isEmpty()) {
            return;
        }
        if (m_plane.size() != size) {
            m_plane.assign(size, 0);
            m_copy.assign(size, 0);
        }
        const std::size_t line = std::max(layer.width(), layer.height()) + 2;
        if (m_line.size() < line) {
            m_line.resize(line);
            m_lineOut.resize(line);
        }
        switch (f.type) {
        case Filter::Type::Blur:
            blur(layer, f);
            break;
        case Filter::Type::DropShadow:
        case Filter::Type::Glow:
        case Filter::Type::GradientGlow:
            shadow(layer, f);
            break;
        case Filter::Type::Bevel:
        case Filter::Type::GradientBevel:
            bevel(layer, f);
            break;
        case Filter::Type::Convolution:
            convolution(layer, f);
            break;
        case Filter::Type::ColorMatrix:
            colorMatrix(layer, f);
            break;
        }
    }
}

void FilterEffects::blurPlane(uint8_t* plane, int stride, int step, const PixelBox& box, int rx,
                              int ry, int passes) {
    auto blurLine = [this](uint8_t* first, int pitch, int count, int r) {
        if (r <= 0 || count <= 0) {
            return;
        }
        uint32_t* in = m_line.data();
        for (int i = 0; i < count; ++i) {
            in[i] = first[std::ptrdiff_t(i) * pitch];
        }
        const uint32_t d = uint32_t(2 * r + 1);
        const uint64_t inv = (uint64_t(1) << 32) / d + 1;
        uint32_t sum = 0;
        for (int i = 0; i < std::min(r, count); ++i) {
            sum += in[i];
        }
        for (int i = 0; i < count; ++i) {
            if (i + r < count) {
                sum += in[i + r];
            }
            first[std::ptrdiff_t(i) * pitch] = uint8_t((uint64_t(sum) * inv) >> 32);
            if (i - r >= 0) {
                sum -= in[i - r];
            }
        }
    };
    const int w = box.x1 - box.x0;
    const int h = box.y1 - box.y0;
    for (int p = 0; p < passes; ++p) {
        for (int y = box.y0; y < box.y1; ++y) {
            blurLine(plane + std::ptrdiff_t(y) * stride + std::ptrdiff_t(box.x0) * step, step, w,
                     rx);
        }
        for (int x = box.x0; x < box.x1; ++x) {
            blurLine(plane + std::ptrdiff_t(box.y0) * stride + std::ptrdiff_t(x) * step, stride, h,
                     ry);
        }
    }
}

void FilterEffects::blur(Surface& layer, const Filter& f) {
    const int rx = blurRadius(f.blurX, m_scaleX);
    const int ry = blurRadius(f.blurY, m_scaleY);
    const int passes = clampedPasses(f.passes);
    if (rx == 0 && ry == 0) {
        return;
    }
    const PixelBox box =
        layer.dirty().expanded(rx * passes, ry * passes).intersected(layer.bounds());
    auto* bytes = reinterpret_cast<uint8_t*>(layer.row(0));
    for (int channel = 0; channel < 4; ++channel) {
        blurPlane(bytes + channel, layer.width() * 4, 4, box, rx, ry, passes);
    }
    // Rounding in each channel separately can leave a colour a little above its alpha.
    for (int y = box.y0; y < box.y1; ++y) {
        uint32_t* row = layer.row(y);
        for (int x = box.x0; x < box.x1; ++x) {
            row[x] = sanitizePremultiplied(row[x]);
        }
    }
    layer.markDirty(box);
}

void FilterEffects::blurredAlpha(const Surface& layer, bool invert, int rx, int ry, int passes) {
    const int w = layer.width();
    for (int y = m_box.y0; y < m_box.y1; ++y) {
        const uint32_t* row = layer.row(y);
        uint8_t* out = m_plane.data() + std::size_t(y) * w;
        for (int x = m_box.x0; x < m_box.x1; ++x) {
            const uint32_t a = pixelA(row[x]);
            out[x] = uint8_t(invert ? 255 - a : a);
        }
    }
    blurPlane(m_plane.data(), w, 1, m_box, rx, ry, passes);
}

uint8_t FilterEffects::planeAt(int x, int y) const {
    if (x < m_box.x0 || x >= m_box.x1 || y < m_box.y0 || y >= m_box.y1) {
        return m_outside;
    }
    return m_plane[std::size_t(y) * m_planeWidth + x];
}

void FilterEffects::shadow(Surface& layer, const Filter& f) {
    const int rx = blurRadius(f.blurX, m_scaleX);
    const int ry = blurRadius(f.blurY, m_scaleY);
    const int passes = clampedPasses(f.passes);
    const bool glow = f.type != Filter::Type::DropShadow;
    const double distance = glow ? 0.0 : double(f.distance);
    const int dx = offset(std::cos(f.angle) * distance * m_scaleX);
    const int dy = offset(std::sin(f.angle) * distance * m_scaleY);
    const bool gradient = f.type == Filter::Type::GradientGlow;
    if (gradient && !buildGradientRamp(f.gradient, Interpolation::Rgb, ColorTransform{}, m_ramp)) {
        return;
    }
    const uint32_t color = premultiply(f.color);
    // An inner shadow is the shadow of everything around the shape, seen inside it.
    const bool inner = f.inner;
    const PixelBox source = layer.dirty();
    m_planeWidth = std::size_t(layer.width());
    m_outside = inner ? 255 : 0;
    m_box = source.expanded(rx * passes, ry * passes).intersected(layer.bounds());
    blurredAlpha(layer, inner, rx, ry, passes);
    const PixelBox out =
        inner ? source : m_box.expanded(std::abs(dx), std::abs(dy)).intersected(layer.bounds());
    for (int y = out.y0; y < out.y1; ++y) {
        uint32_t* row = layer.row(y);
        for (int x = out.x0; x < out.x1; ++x) {
            const uint32_t a = strengthen(planeAt(x - dx, y - dy), f.strength);
            const uint32_t shade = gradient ? m_ramp[a] : scalePixel(color, a);
            const uint32_t src = row[x];
            const uint32_t sa = pixelA(src);
            if (inner) {
                const uint32_t inside = scalePixel(shade, sa);
                row[x] = f.knockout || !f.compositeSource ? inside : over(src, inside);
            } else if (f.knockout) {
                row[x] = scalePixel(shade, 255 - sa);
            } else {
                row[x] = f.compositeSource ? over(shade, src) : shade;
            }
        }
    }
    layer.markDirty(out);
}

void FilterEffects::bevel(Surface& layer, const Filter& f) {
    const int rx = blurRadius(f.blurX, m_scaleX);
    const int ry = blurRadius(f.blurY, m_scaleY);
    const int passes = clampedPasses(f.passes);
    const int dx = offset(std::cos(f.angle) * f.distance * m_scaleX);
    const int dy = offset(std::sin(f.angle) * f.distance * m_scaleY);
    const bool gradient = f.type == Filter::Type::GradientBevel;
    if (gradient && !buildGradientRamp(f.gradient, Interpolation::Rgb, ColorTransform{}, m_ramp)) {
        return;
    }
    const uint32_t highlight = premultiply(f.highlight);
    const uint32_t shade = premultiply(f.color);
    m_planeWidth = std::size_t(layer.width());
    m_outside = 0;
    m_box = layer.dirty().expanded(rx * passes, ry * passes).intersected(layer.bounds());
    blurredAlpha(layer, false, rx, ry, passes);
    const bool full = f.onTop;
    const bool inner = f.inner;
    const PixelBox out =
        full || !inner ? m_box.expanded(std::abs(dx), std::abs(dy)).intersected(layer.bounds())
                       : layer.dirty();
    for (int y = out.y0; y < out.y1; ++y) {
        uint32_t* row = layer.row(y);
        for (int x = out.x0; x < out.x1; ++x) {
            // Lit where the shape's alpha rises towards the light, shaded where it falls.
            const int rise = int(planeAt(x + dx, y + dy)) - int(planeAt(x - dx, y - dy));
            const float scaled = std::isfinite(f.strength) ? rise * f.strength : 0.0f;
            const int v = int(std::clamp(scaled, -255.0f, 255.0f));
            uint32_t effect;
            if (gradient) {
                effect = m_ramp[std::clamp((255 - v) / 2, 0, 255)];
            } else {
                effect =
                    v >= 0 ? scalePixel(highlight, uint32_t(v)) : scalePixel(shade, uint32_t(-v));
            }
            const uint32_t src = row[x];
            const uint32_t sa = pixelA(src);
            if (!full) {
                effect = scalePixel(effect, inner ? sa : 255 - sa);
            }
            if (f.knockout || !f.compositeSource) {
                row[x] = effect;
            } else {
                row[x] = inner || full ? over(src, effect) : over(effect, src);
            }
        }
    }
    layer.markDirty(out);
}

void FilterEffects::convolution(Surface& layer, const Filter& f) {
    const int kw = f.matrixX;
    const int kh = f.matrixY;
    if (kw < 1 || kh < 1 || kw > kMaxKernelSide || kh > kMaxKernelSide ||
        f.convolution.size() != std::size_t(kw) * std::size_t(kh)) {
        return;
    }
    const float divisor = std::isfinite(f.divisor) && f.divisor != 0.0f ? f.divisor : 1.0f;
    const float bias = std::isfinite(f.bias) ? f.bias : 0.0f;
    for (float k : f.convolution) {
        if (!std::isfinite(k)) {
            return;
        }
    }
    const int w = layer.width();
    const int h = layer.height();
    const PixelBox box = layer.dirty().expanded(kw / 2 + 1, kh / 2 + 1).intersected(layer.bounds());
    // Straight colours of the source, so the kernel sees colours, not premultiplied values.
    for (int y = box.y0; y < box.y1; ++y) {
        const uint32_t* row = layer.row(y);
        for (int x = box.x0; x < box.x1; ++x) {
            const Rgba c = unpremultiply(row[x]);
            m_copy[std::size_t(y) * w + x] = packPixel(c.r, c.g, c.b, c.a);
        }
    }
    const uint32_t outsideColor =
        packPixel(f.defaultColor.r, f.defaultColor.g, f.defaultColor.b, f.defaultColor.a);
    auto sample = [&](int x, int y) -> uint32_t {
        if (x >= box.x0 && x < box.x1 && y >= box.y0 && y < box.y1) {
            return m_copy[std::size_t(y) * w + x];
        }
        if (x >= 0 && x < w && y >= 0 && y < h) {
            return 0; // transparent surface beyond the drawn box
        }
        if (!f.clamp) {
            return outsideColor;
        }
        return m_copy[std::size_t(std::clamp(y, box.y0, box.y1 - 1)) * w +
                      std::clamp(x, box.x0, box.x1 - 1)];
    };
    for (int y = box.y0; y < box.y1; ++y) {
        uint32_t* row = layer.row(y);
        for (int x = box.x0; x < box.x1; ++x) {
            float sum[4] = {0, 0, 0, 0};
            for (int j = 0; j < kh; ++j) {
                for (int i = 0; i < kw; ++i) {
                    const float k = f.convolution[std::size_t(j) * kw + i];
                    const uint32_t p = sample(x + i - kw / 2, y + j - kh / 2);
                    sum[0] += k * pixelR(p);
                    sum[1] += k * pixelG(p);
                    sum[2] += k * pixelB(p);
                    sum[3] += k * pixelA(p);
                }
            }
            auto channel = [&](float v) { return clampChannel(v / divisor + bias); };
            const uint8_t alpha =
                f.preserveAlpha ? uint8_t(pixelA(m_copy[std::size_t(y) * w + x])) : channel(sum[3]);
            row[x] = premultiply({channel(sum[0]), channel(sum[1]), channel(sum[2]), alpha});
        }
    }
    layer.markDirty(box);
}

void FilterEffects::colorMatrix(Surface& layer, const Filter& f) {
    const float* m = f.colorMatrix;
    for (int i = 0; i < 20; ++i) {
        if (!std::isfinite(m[i])) {
            return;
        }
    }
    const PixelBox box = layer.dirty();
    for (int y = box.y0; y < box.y1; ++y) {
        uint32_t* row = layer.row(y);
        for (int x = box.x0; x < box.x1; ++x) {
            const Rgba c = unpremultiply(row[x]);
            const float in[4] = {float(c.r), float(c.g), float(c.b), float(c.a)};
            uint8_t out[4];
            for (int r = 0; r < 4; ++r) {
                const float* k = m + r * 5;
                out[r] =
                    clampChannel(k[0] * in[0] + k[1] * in[1] + k[2] * in[2] + k[3] * in[3] + k[4]);
            }
            row[x] = premultiply({out[0], out[1], out[2], out[3]});
        }
    }
}

} // namespace swivio::swf::raster
