#include "swf/raster/paint.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstring>

#include "swf/raster/pixel_ops.h"

namespace swivio::swf::raster {
namespace {

constexpr double kGradientHalfSize = 16384.0; // twips from the gradient square's centre
constexpr uint16_t kNoBitmap = 65535;

// Inverts m into (ia, ib, ic, id, itx, ity); false when m is singular or not finite.
bool invert(const Matrix& m, double& ia, double& ib, double& ic, double& id, double& itx,
            double& ity) {
    const double det = m.a * m.d - m.b * m.c;
    if (!std::isfinite(det) || std::fabs(det) < 1e-12) {
        return false;
    }
    ia = m.d / det;
    ib = -m.b / det;
    ic = -m.c / det;
    id = m.a / det;
    itx = -(ia * m.tx + ic * m.ty);
    ity = -(ib * m.tx + id * m.ty);
    return std::isfinite(ia) && std::isfinite(ib) && std::isfinite(ic) && std::isfinite(id) &&
           std::isfinite(itx) && std::isfinite(ity);
}

float srgbToLinear(uint8_t c) {
    const float v = c / 255.0f;
    return v <= 0.04045f ? v / 12.92f : std::pow((v + 0.055f) / 1.055f, 2.4f);
}

uint8_t linearToSrgb(float v) {
    v = std::clamp(v, 0.0f, 1.0f);
    const float s = v <= 0.0031308f ? v * 12.92f : 1.055f * std::pow(v, 1.0f / 2.4f) - 0.055f;
    return uint8_t(std::lround(s * 255.0f));
}

uint8_t lerpChannel(uint8_t a, uint8_t b, float f) {
    return uint8_t(float(a) + (float(b) - float(a)) * f + 0.5f);
}

Rgba lerpColor(Rgba a, Rgba b, float f, Interpolation interpolation) {
    if (interpolation == Interpolation::LinearRgb) {
        auto mix = [f](uint8_t x, uint8_t y) {
            const float lx = srgbToLinear(x);
            return linearToSrgb(lx + (srgbToLinear(y) - lx) * f);
        };
        return {mix(a.r, b.r), mix(a.g, b.g), mix(a.b, b.b), lerpChannel(a.a, b.a, f)};
    }
    return {lerpChannel(a.r, b.r, f), lerpChannel(a.g, b.g, f), lerpChannel(a.b, b.b, f),
            lerpChannel(a.a, b.a, f)};
}

// Integer part of a finite or non-finite double, saturated to the int range.
int saturatingFloor(double v) {
    if (!(v > -2e9)) {
        return v != v ? 0 : -2000000000;
    }
    if (v > 2e9) {
        return 2000000000;
    }
    return static_cast<int>(std::floor(v));
}

int wrapIndex(int i, int size) {
    if (static_cast<unsigned>(i) < static_cast<unsigned>(size)) {
        return i; // the usual case, without a division
    }
    const int m = i % size;
    return m < 0 ? m + size : m;
}

uint32_t lerpPixel(uint32_t p, uint32_t q, uint32_t f) { // f in 0..256
    const uint32_t g = 256 - f;
    const uint32_t rb = (((p & 0x00FF00FFu) * g + (q & 0x00FF00FFu) * f) >> 8) & 0x00FF00FFu;
    const uint32_t ga = (((p >> 8) & 0x00FF00FFu) * g + ((q >> 8) & 0x00FF00FFu) * f) & 0xFF00FF00u;
    return rb | ga;
}

} // namespace

bool buildGradientRamp(const std::vector<GradientStop>& stops, Interpolation interpolation,
                       const ColorTransform& ct, std::array<uint32_t, 256>& ramp) {
    if (stops.empty()) {
        return false;
    }
    // Records are taken in their order, not sorted by ratio: the ramp moves on to the next
    // record only once an entry lies past the current record's ratio, and by one record per
    // entry, where a step that does not rise keeps the earlier colour. So of records sharing
    // a ratio the middle ones show for one entry each, a ratio that goes back holds the
    // earlier colour one entry more, and records left when the ramp ends are never reached.
    const std::size_t n = stops.size();
    std::size_t k = 0; // the record being approached; n once past the last
    const bool identity = ct.isIdentity();
    for (int i = 0; i < 256; ++i) {
        if (k < n && i > stops[k].ratio) {
            ++k;
        }
        Rgba c;
        if (k == 0) {
            c = stops[0].color;
        } else if (k == n) {
            c = stops[n - 1].color;
        } else {
            const int from = stops[k - 1].ratio;
            const int to = stops[k].ratio;
            if (to <= from) {
                c = stops[k - 1].color; // no room to blend: the entry keeps the earlier colour
            } else {
                const float f = std::min(float(i - from) / float(to - from), 1.0f);
                c = lerpColor(stops[k - 1].color, stops[k].color, f, interpolation);
            }
        }
        ramp[i] = premultiply(identity ? c : ct.apply(c));
    }
    return true;
}

void Paint::prepareSolid(Rgba color, const ColorTransform& ct) {
    m_kind = Kind::Solid;
    m_color = premultiply(ct.isIdentity() ? color : ct.apply(color));
    m_opaque = pixelA(m_color) == 255;
    if (pixelA(m_color) == 0) {
        m_kind = Kind::None;
    }
}

void Paint::prepare(const FillStyle& fill, const Matrix& toPixels, const ColorTransform& ct,
                    const BitmapLookup& bitmaps, RampCache* ramps) {
    m_opaque = false;
    switch (fill.type) {
    case FillType::Solid:
        prepareSolid(fill.color, ct);
        return;
    case FillType::LinearGradient:
    case FillType::RadialGradient:
    case FillType::FocalRadialGradient:
        prepareGradient(fill, toPixels, ct, ramps);
        return;
    case FillType::RepeatingBitmap:
    case FillType::ClippedBitmap:
    case FillType::RepeatingBitmapHard:
    case FillType::ClippedBitmapHard:
        prepareBitmap(fill, toPixels, ct, bitmaps);
        return;
    }
    m_kind = Kind::None; // an unknown fill type draws nothing
}

const RampCache::Ramp* RampCache::find(const std::vector<GradientStop>& stops,
                                       Interpolation interpolation, const ColorTransform& ct) {
    if (stops.empty()) {
        return nullptr;
    }
    uint64_t h = 1469598103934665603ull; // FNV-1a over everything the ramp depends on
    auto mix = [&h](uint32_t v) {
        for (int i = 0; i < 4; ++i, v >>= 8) {
            h = (h ^ (v & 0xFF)) * 1099511628211ull;
        }
    };
    for (const GradientStop& stop : stops) {
        mix(uint32_t(stop.ratio) | uint32_t(stop.color.r) << 8 | uint32_t(stop.color.g) << 16 |
            uint32_t(stop.color.b) << 24);
        mix(stop.color.a);
    }
    mix(uint32_t(interpolation));
    for (float f : {ct.mr, ct.mg, ct.mb, ct.ma, ct.ar, ct.ag, ct.ab, ct.aa}) {
        uint32_t bits;
        std::memcpy(&bits, &f, sizeof bits);
        mix(bits);
    }
    auto [first, last] = m_entries.equal_range(h);
    for (auto it = first; it != last; ++it) {
        const Entry& e = it->second;
        if (e.interpolation == interpolation && e.ct == ct && e.stops == stops) {
            return &e.ramp;
        }
    }
    if (m_entries.size() >= kMaxEntries) {
        m_entries.clear(); // a movie of ever-changing gradients: start over
    }
    Entry entry{stops, interpolation, ct, {}};
    buildGradientRamp(stops, interpolation, ct, entry.ramp.colors);
    entry.ramp.opaque = std::all_of(entry.ramp.colors.begin(), entry.ramp.colors.end(),
                                    [](uint32_t p) { return pixelA(p) == 255; });
    return &m_entries.emplace(h, std::move(entry))->second.ramp;
}

void Paint::prepareGradient(const FillStyle& fill, const Matrix& toPixels, const ColorTransform& ct,
                            RampCache* ramps) {
    if (ramps) {
        const RampCache::Ramp* ramp =
            ramps->find(fill.gradient.stops, fill.gradient.interpolation, ct);
        if (!ramp) {
            m_kind = Kind::None;
            return;
        }
        m_ramp = ramp->colors;
        m_opaque = ramp->opaque;
    } else {
        if (!buildGradientRamp(fill.gradient.stops, fill.gradient.interpolation, ct, m_ramp)) {
            m_kind = Kind::None;
            return;
        }
        m_opaque =
            std::all_of(m_ramp.begin(), m_ramp.end(), [](uint32_t p) { return pixelA(p) == 255; });
    }
    if (!invert(toPixels * fill.matrix, m_ia, m_ib, m_ic, m_id, m_itx, m_ity)) {
        // A gradient squeezed to nothing shows its outermost colour.
        m_kind = Kind::Solid;
        m_color = m_ramp[255];
        m_opaque = pixelA(m_color) == 255;
        return;
    }
    constexpr double s = 1.0 / kGradientHalfSize;
    m_ia *= s;
    m_ib *= s;
    m_ic *= s;
    m_id *= s;
    m_itx *= s;
    m_ity *= s;
    m_spread = fill.gradient.spread;
    switch (fill.type) {
    case FillType::LinearGradient:
        m_kind = Kind::Linear;
        break;
    case FillType::FocalRadialGradient:
        // A focal point on the circle itself has no defined colours beyond it.
        m_focal = std::isfinite(fill.gradient.focalPoint)
                      ? std::clamp(double(fill.gradient.focalPoint), -0.98, 0.98)
                      : 0.0;
        m_kind = m_focal == 0 ? Kind::Radial : Kind::Focal;
        break;
    default:
        m_kind = Kind::Radial;
        break;
    }
}

void Paint::prepareBitmap(const FillStyle& fill, const Matrix& toPixels, const ColorTransform& ct,
                          const BitmapLookup& bitmaps) {
    m_kind = Kind::None;
    if (fill.bitmapId == kNoBitmap && !fill.picture) {
        return;
    }
    const Bitmap* bitmap = fill.picture ? fill.picture.get() : bitmaps.bitmap(fill.bitmapId);
    if (bitmap == nullptr || bitmap->width <= 0 || bitmap->height <= 0 ||
        bitmap->pixels.size() !=
            static_cast<std::size_t>(bitmap->width) * static_cast<std::size_t>(bitmap->height)) {
        return;
    }
    if (!invert(toPixels * fill.matrix, m_ia, m_ib, m_ic, m_id, m_itx, m_ity)) {
        return;
    }
    m_bitmap = bitmap;
    m_repeat = fill.type == FillType::RepeatingBitmap || fill.type == FillType::RepeatingBitmapHard;
    m_smooth = fill.type == FillType::RepeatingBitmap || fill.type == FillType::ClippedBitmap;
    m_transformPixels = !ct.isIdentity();
    m_ct = ct;
    m_kind = Kind::Bitmap;
}

namespace {

// Ramp index for a gradient position t (0 at the start colour, 1 at the end), spread applied.
template <SpreadMode kSpread> inline int rampIndex(double t) {
    if constexpr (kSpread == SpreadMode::Repeat) {
        t -= std::floor(t);
    } else if constexpr (kSpread == SpreadMode::Reflect) {
        t = std::fabs(t);
        t -= 2.0 * std::floor(t * 0.5);
        if (t > 1.0) {
            t = 2.0 - t;
        }
    }
    // Entries stand 1/256 of the gradient apart and a position takes the nearest one, so a
    // record's entry starts half a step before its ratio / 256. Written without branches so
    // that the span loops vectorise: below 0 (or NaN) gives index 0, the last half step and
    // beyond give 255.
    double v = t * 256.0 + 0.5;
    v = v > 0.5 ? v : 0.0;
    v = v < 255.0 ? v : 255.0;
    return static_cast<int>(v);
}

#if defined(__SSE2__)
// Pad gradients four pixels at a time in single precision, where the span's gradient
// coordinates stay small enough for it to pick the same ramp entries (within rounding).
constexpr double kFloatReach = 256.0;

bool floatSafe(double u, double du, int len) {
    return std::fabs(u) + std::fabs(du) * len < kFloatReach;
}

// Ramp entries for four values of t: t * 256 rounded, held to the ramp (NaN gives 0).
inline void padLookup(const uint32_t* ramp, __m128 t, uint32_t* out) {
    __m128 v = _mm_add_ps(_mm_mul_ps(t, _mm_set1_ps(256.0f)), _mm_set1_ps(0.5f));
    v = _mm_min_ps(_mm_max_ps(v, _mm_setzero_ps()), _mm_set1_ps(255.0f));
    alignas(16) int32_t index[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(index), _mm_cvttps_epi32(v));
    out[0] = ramp[index[0]];
    out[1] = ramp[index[1]];
    out[2] = ramp[index[2]];
    out[3] = ramp[index[3]];
}

// Lane k of step i: start + (i + k) * step.
inline __m128 lanes(float start, float step, int i) {
    const __m128 k = _mm_add_ps(_mm_set1_ps(float(i)), _mm_setr_ps(0, 1, 2, 3));
    return _mm_add_ps(_mm_set1_ps(start), _mm_mul_ps(k, _mm_set1_ps(step)));
}

// How many leading pixels the fast paths painted; the caller does the rest.
int linearPadFast(const uint32_t* ramp, double t, double dt, int len, uint32_t* out) {
    if (!floatSafe(t, dt, len)) {
        return 0;
    }
    int i = 0;
    for (; i + 4 <= len; i += 4) {
        padLookup(ramp, lanes(float(t), float(dt), i), out + i);
    }
    return i;
}

int radialPadFast(const uint32_t* ramp, double u, double v, double du, double dv, int len,
                  uint32_t* out) {
    if (!floatSafe(u, du, len) || !floatSafe(v, dv, len)) {
        return 0;
    }
    int i = 0;
    for (; i + 4 <= len; i += 4) {
        const __m128 x = lanes(float(u), float(du), i);
        const __m128 y = lanes(float(v), float(dv), i);
        padLookup(ramp, _mm_sqrt_ps(_mm_add_ps(_mm_mul_ps(x, x), _mm_mul_ps(y, y))), out + i);
    }
    return i;
}
#endif

template <SpreadMode kSpread>
void linearSpan(const uint32_t* ramp, double u, double du, int len, uint32_t* out) {
    // t = (u + 1) / 2 walks by du / 2 per pixel.
    double t = (u + 1.0) * 0.5;
    const double dt = du * 0.5;
    int i = 0;
#if defined(__SSE2__)
    if constexpr (kSpread == SpreadMode::Pad) {
        i = linearPadFast(ramp, t, dt, len, out);
        t += dt * i;
    }
#endif
    for (; i < len; ++i, t += dt) {
        out[i] = ramp[rampIndex<kSpread>(t)];
    }
}

template <SpreadMode kSpread>
void radialSpan(const uint32_t* ramp, double u, double v, double du, double dv, int len,
                uint32_t* out) {
    int i = 0;
#if defined(__SSE2__)
    if constexpr (kSpread == SpreadMode::Pad) {
        i = radialPadFast(ramp, u, v, du, dv, len, out);
        u += du * i;
        v += dv * i;
    }
#endif
    for (; i < len; ++i, u += du, v += dv) {
        out[i] = ramp[rampIndex<kSpread>(std::sqrt(u * u + v * v))];
    }
}

template <SpreadMode kSpread>
void focalSpan(const uint32_t* ramp, double f, double u, double v, double du, double dv, int len,
               uint32_t* out) {
    // t is the distance from the focal point F relative to the distance from F, along the
    // same ray, to the unit circle: solve |F + s*d| = 1 for s > 0, then t = 1 / s.
    const double c = f * f - 1.0; // |F|^2 - 1, negative since |f| < 1
    for (int i = 0; i < len; ++i, u += du, v += dv) {
        const double dx = u - f;
        const double dd = dx * dx + v * v;
        if (dd <= 1e-18) {
            out[i] = ramp[0];
            continue;
        }
        const double fd = f * dx;
        const double s = (-fd + std::sqrt(fd * fd - dd * c)) / dd;
        out[i] = ramp[rampIndex<kSpread>(1.0 / s)];
    }
}

} // namespace

void Paint::generate(int x, int y, int len, uint32_t* out) const {
    const double px = x + 0.5;
    const double py = y + 0.5;
    const double u = m_ia * px + m_ic * py + m_itx;
    const double v = m_ib * px + m_id * py + m_ity;
    const uint32_t* ramp = m_ramp.data();
    switch (m_kind) {
    case Kind::None:
        std::fill(out, out + len, 0u);
        return;
    case Kind::Solid:
        std::fill(out, out + len, m_color);
        return;
    case Kind::Linear:
        switch (m_spread) {
        case SpreadMode::Repeat:
            return linearSpan<SpreadMode::Repeat>(ramp, u, m_ia, len, out);
        case SpreadMode::Reflect:
            return linearSpan<SpreadMode::Reflect>(ramp, u, m_ia, len, out);
        default:
            return linearSpan<SpreadMode::Pad>(ramp, u, m_ia, len, out);
        }
    case Kind::Radial:
        switch (m_spread) {
        case SpreadMode::Repeat:
            return radialSpan<SpreadMode::Repeat>(ramp, u, v, m_ia, m_ib, len, out);
        case SpreadMode::Reflect:
            return radialSpan<SpreadMode::Reflect>(ramp, u, v, m_ia, m_ib, len, out);
        default:
            return radialSpan<SpreadMode::Pad>(ramp, u, v, m_ia, m_ib, len, out);
        }
    case Kind::Focal:
        switch (m_spread) {
        case SpreadMode::Repeat:
            return focalSpan<SpreadMode::Repeat>(ramp, m_focal, u, v, m_ia, m_ib, len, out);
        case SpreadMode::Reflect:
            return focalSpan<SpreadMode::Reflect>(ramp, m_focal, u, v, m_ia, m_ib, len, out);
        default:
            return focalSpan<SpreadMode::Pad>(ramp, m_focal, u, v, m_ia, m_ib, len, out);
        }
    case Kind::Bitmap:
        generateBitmap(u, v, len, out);
        return;
    }
}

void Paint::generateBitmap(double u, double v, int len, uint32_t* out) const {
    // Where the whole span maps to moderate coordinates, floors are plain integer
    // conversions; far away or non-finite positions take the careful path.
    constexpr double kNear = 1e9;
    const double reachU = std::fabs(u) + std::fabs(m_ia) * len + 2;
    const double reachV = std::fabs(v) + std::fabs(m_ib) * len + 2;
    if (m_smooth && reachU < kNear && reachV < kNear) {
        for (int i = 0; i < len; ++i, u += m_ia, v += m_ib) {
            out[i] = sampleBilinearNear(u - 0.5, v - 0.5);
        }
    } else if (m_smooth) {
        for (int i = 0; i < len; ++i, u += m_ia, v += m_ib) {
            out[i] = sampleBilinear(u - 0.5, v - 0.5);
        }
    } else {
        for (int i = 0; i < len; ++i, u += m_ia, v += m_ib) {
            out[i] = sampleNearest(u, v);
        }
    }
    if (m_transformPixels) {
        for (int i = 0; i < len; ++i) {
            out[i] = applyColorTransform(m_ct, out[i]);
        }
    }
}

uint32_t Paint::sampleNearest(double u, double v) const {
    const int w = m_bitmap->width;
    const int h = m_bitmap->height;
    int ix = saturatingFloor(u);
    int iy = saturatingFloor(v);
    if (m_repeat) {
        ix = wrapIndex(ix, w);
        iy = wrapIndex(iy, h);
    } else {
        ix = std::clamp(ix, 0, w - 1);
        iy = std::clamp(iy, 0, h - 1);
    }
    return sanitizePremultiplied(m_bitmap->at(ix, iy));
}

uint32_t Paint::sampleBilinearNear(double u, double v) const {
    int ix = static_cast<int>(u);
    ix -= double(ix) > u;
    int iy = static_cast<int>(v);
    iy -= double(iy) > v;
    return blendFour(ix, iy, uint32_t((u - ix) * 256.0), uint32_t((v - iy) * 256.0));
}

uint32_t Paint::sampleBilinear(double u, double v) const {
    const uint32_t fx = std::isfinite(u) ? uint32_t((u - std::floor(u)) * 256.0) : 0;
    const uint32_t fy = std::isfinite(v) ? uint32_t((v - std::floor(v)) * 256.0) : 0;
    return blendFour(saturatingFloor(u), saturatingFloor(v), fx, fy);
}

uint32_t Paint::blendFour(int ix, int iy, uint32_t fx, uint32_t fy) const {
    const int w = m_bitmap->width;
    const int h = m_bitmap->height;
    int x0, x1, y0, y1;
    if (m_repeat) {
        x0 = wrapIndex(ix, w);
        x1 = x0 + 1 == w ? 0 : x0 + 1;
        y0 = wrapIndex(iy, h);
        y1 = y0 + 1 == h ? 0 : y0 + 1;
    } else {
        x0 = std::clamp(ix, 0, w - 1);
        x1 = std::clamp(ix + 1 > ix ? ix + 1 : ix, 0, w - 1);
        y0 = std::clamp(iy, 0, h - 1);
        y1 = std::clamp(iy + 1 > iy ? iy + 1 : iy, 0, h - 1);
    }
    const uint32_t top = lerpPixel(sanitizePremultiplied(m_bitmap->at(x0, y0)),
                                   sanitizePremultiplied(m_bitmap->at(x1, y0)), fx);
    const uint32_t bottom = lerpPixel(sanitizePremultiplied(m_bitmap->at(x0, y1)),
                                      sanitizePremultiplied(m_bitmap->at(x1, y1)), fx);
    return lerpPixel(top, bottom, fy);
}

} // namespace swivio::swf::raster
