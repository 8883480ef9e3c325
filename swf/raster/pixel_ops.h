#pragma once

#include <cstdint>

#include "swf/format/types.h"

// Pixel arithmetic on 32-bit premultiplied pixels laid out in memory as bytes R, G, B, A
// (on a little-endian machine: red in the low byte, alpha in the high byte).
namespace swivio::swf::raster {

constexpr uint32_t packPixel(uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
    return r | (g << 8) | (b << 16) | (a << 24);
}
constexpr uint32_t pixelR(uint32_t p) {
    return p & 0xFF;
}
constexpr uint32_t pixelG(uint32_t p) {
    return (p >> 8) & 0xFF;
}
constexpr uint32_t pixelB(uint32_t p) {
    return (p >> 16) & 0xFF;
}
constexpr uint32_t pixelA(uint32_t p) {
    return p >> 24;
}

// a * b / 255, correctly rounded, for a and b in 0..255.
constexpr uint32_t mul255(uint32_t a, uint32_t b) {
    const uint32_t t = a * b + 128;
    return (t + (t >> 8)) >> 8;
}

// Every channel of p times k / 255 (k in 0..255), two channels per multiply.
inline uint32_t scalePixel(uint32_t p, uint32_t k) {
    uint32_t rb = (p & 0x00FF00FFu) * k + 0x00800080u;
    rb = ((rb + ((rb >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu;
    uint32_t ga = ((p >> 8) & 0x00FF00FFu) * k + 0x00800080u;
    ga = (ga + ((ga >> 8) & 0x00FF00FFu)) & 0xFF00FF00u;
    return rb | ga;
}

// Source-over of a premultiplied source (already multiplied by its coverage).
inline uint32_t over(uint32_t dst, uint32_t src) {
    return src + scalePixel(dst, 255 - pixelA(src));
}

inline uint32_t premultiply(Rgba c) {
    return packPixel(mul255(c.r, c.a), mul255(c.g, c.a), mul255(c.b, c.a), c.a);
}

inline Rgba unpremultiply(uint32_t p) {
    const uint32_t a = pixelA(p);
    if (a == 0) {
        return {0, 0, 0, 0};
    }
    if (a == 255) {
        return {uint8_t(pixelR(p)), uint8_t(pixelG(p)), uint8_t(pixelB(p)), 255};
    }
    auto channel = [a](uint32_t c) {
        const uint32_t v = (c * 255 + a / 2) / a;
        return uint8_t(v > 255 ? 255 : v);
    };
    return {channel(pixelR(p)), channel(pixelG(p)), channel(pixelB(p)), uint8_t(a)};
}

// Keeps every colour channel at or below alpha, so that sums of premultiplied pixels can
// never carry into the neighbouring channel.
inline uint32_t sanitizePremultiplied(uint32_t p) {
    const uint32_t a = pixelA(p);
    auto lim = [a](uint32_t c) { return c > a ? a : c; };
    return packPixel(lim(pixelR(p)), lim(pixelG(p)), lim(pixelB(p)), a);
}

// A transform whose factors are all finite: NaN or infinite factors (from a long chain of
// nested transforms) become 0, which keeps channel arithmetic defined.
inline ColorTransform finiteTransform(const ColorTransform& ct) {
    auto f = [](float v) { return v - v == 0 ? v : 0.0f; };
    return {f(ct.mr), f(ct.mg), f(ct.mb), f(ct.ma), f(ct.ar), f(ct.ag), f(ct.ab), f(ct.aa)};
}

inline uint32_t applyColorTransform(const ColorTransform& ct, uint32_t p) {
    return premultiply(ct.apply(unpremultiply(p)));
}

} // namespace swivio::swf::raster
