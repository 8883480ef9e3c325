#pragma once

#include <cmath>
#include <cstdint>

namespace swivio::swf {

// Colour with straight (not premultiplied) alpha.
struct Rgba {
    uint8_t r = 0, g = 0, b = 0, a = 255;
    friend bool operator==(const Rgba&, const Rgba&) = default;
};

// A rectangle in twips (1/20 pixel).
struct Rect {
    int32_t xMin = 0, xMax = 0, yMin = 0, yMax = 0;
    friend bool operator==(const Rect&, const Rect&) = default;
};

// An affine transform as the MATRIX record holds it: a = ScaleX, b = RotateSkew0,
// c = RotateSkew1, d = ScaleY, tx and ty in twips.
//   x' = a*x + c*y + tx,  y' = b*x + d*y + ty
struct Matrix {
    double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;

    bool isFinite() const {
        return std::isfinite(a) && std::isfinite(b) && std::isfinite(c) && std::isfinite(d) &&
               std::isfinite(tx) && std::isfinite(ty);
    }
    double mapX(double x, double y) const { return a * x + c * y + tx; }
    double mapY(double x, double y) const { return b * x + d * y + ty; }
    // this * other: other is applied first, then this (child matrix, then parent).
    Matrix operator*(const Matrix& o) const {
        return {a * o.a + c * o.b, b * o.a + d * o.b, a * o.c + c * o.d,
                b * o.c + d * o.d, a * o.tx + c * o.ty + tx, b * o.tx + d * o.ty + ty};
    }
    friend bool operator==(const Matrix&, const Matrix&) = default;
};

// CXFORM / CXFORMWITHALPHA as multipliers (1.0 = 256 in the file) and additions (0..255
// scale). Each channel: clamp(c * mult + add, 0, 255).
struct ColorTransform {
    float mr = 1, mg = 1, mb = 1, ma = 1;
    float ar = 0, ag = 0, ab = 0, aa = 0;

    bool isIdentity() const {
        return mr == 1 && mg == 1 && mb == 1 && ma == 1 && ar == 0 && ag == 0 && ab == 0 &&
               aa == 0;
    }
    Rgba apply(Rgba c) const;
    // this * inner: inner (the child's) is applied first, then this (the parent's).
    ColorTransform operator*(const ColorTransform& inner) const;
    friend bool operator==(const ColorTransform&, const ColorTransform&) = default;
};

inline uint8_t clampChannel(float v) {
    return v <= 0 ? 0 : v >= 255 ? 255 : static_cast<uint8_t>(v);
}

inline Rgba ColorTransform::apply(Rgba c) const {
    return {clampChannel(c.r * mr + ar), clampChannel(c.g * mg + ag), clampChannel(c.b * mb + ab),
            clampChannel(c.a * ma + aa)};
}

inline ColorTransform ColorTransform::operator*(const ColorTransform& in) const {
    return {in.mr * mr,      in.mg * mg,      in.mb * mb,      in.ma * ma,
            in.ar * mr + ar, in.ag * mg + ag, in.ab * mb + ab, in.aa * ma + aa};
}

} // namespace swivio::swf
