// perlinNoise: classic lattice-gradient Perlin noise summed over octaves, the same noise
// as the SVG turbulence filter, seeded by the player's Park-Miller generator.
#include <algorithm>
#include <array>
#include <cmath>
#include <tuple>

#include "swf/image/bitmap_ops.h"

namespace swivio::swf::image {

namespace {

constexpr int kLattice = 0x100;
constexpr int kLatticeMask = 0xFF;
constexpr int kOffset = 0x1000; // keeps lattice coordinates positive
// Past this many octaves a layer changes no pixel; it also bounds the work a script asks.
constexpr int kMaxOctaves = 32;

struct Stitch {
    int width = 0;
    int height = 0;
    int wrapX = 0;
    int wrapY = 0;
};

class PerlinLattice {
public:
    explicit PerlinLattice(int32_t seed) {
        int64_t state = seed;
        if (state <= 0)
            state = -(state % (kModulus - 1)) + 1;
        if (state > kModulus - 1)
            state = kModulus - 1;
        auto random = [&state] {
            // Schrage's form of state * 16807 mod (2^31 - 1).
            state = kMultiplier * (state % kQuotient) - kRemainder * (state / kQuotient);
            if (state <= 0)
                state += kModulus;
            return state;
        };
        for (auto& gradients : m_gradient) {
            for (int i = 0; i < kLattice; ++i) {
                m_selector[i] = i;
                for (double& component : gradients[i])
                    component = double((random() % (2 * kLattice)) - kLattice) / kLattice;
                const double length = std::sqrt(gradients[i][0] * gradients[i][0] +
                                                gradients[i][1] * gradients[i][1]);
                gradients[i][0] /= length;
                gradients[i][1] /= length;
            }
        }
        for (int i = kLattice - 1; i > 0; --i) {
            const int j = int(random() % kLattice);
            std::swap(m_selector[i], m_selector[j]);
        }
        for (int i = 0; i < kLattice + 2; ++i) {
            m_selector[kLattice + i] = m_selector[i];
            for (auto& gradients : m_gradient)
                gradients[kLattice + i] = gradients[i];
        }
    }

    double noise(int channel, double vx, double vy, const Stitch* stitch) const {
        double t = vx + kOffset;
        int bx0 = int(t);
        int bx1 = bx0 + 1;
        const double rx0 = t - int(t);
        const double rx1 = rx0 - 1.0;
        t = vy + kOffset;
        int by0 = int(t);
        int by1 = by0 + 1;
        const double ry0 = t - int(t);
        const double ry1 = ry0 - 1.0;
        if (stitch) {
            if (bx0 >= stitch->wrapX)
                bx0 -= stitch->width;
            if (bx1 >= stitch->wrapX)
                bx1 -= stitch->width;
            if (by0 >= stitch->wrapY)
                by0 -= stitch->height;
            if (by1 >= stitch->wrapY)
                by1 -= stitch->height;
        }
        bx0 &= kLatticeMask;
        bx1 &= kLatticeMask;
        by0 &= kLatticeMask;
        by1 &= kLatticeMask;
        const int i = m_selector[bx0];
        const int j = m_selector[bx1];
        const auto& g = m_gradient[channel];
        const auto& q00 = g[m_selector[i + by0]];
        const auto& q10 = g[m_selector[j + by0]];
        const auto& q01 = g[m_selector[i + by1]];
        const auto& q11 = g[m_selector[j + by1]];
        const double sx = rx0 * rx0 * (3. - 2. * rx0);
        const double sy = ry0 * ry0 * (3. - 2. * ry0);
        double u = rx0 * q00[0] + ry0 * q00[1];
        double v = rx1 * q10[0] + ry0 * q10[1];
        const double a = u + sx * (v - u);
        u = rx0 * q01[0] + ry1 * q01[1];
        v = rx1 * q11[0] + ry1 * q11[1];
        const double b = u + sx * (v - u);
        return a + sy * (b - a);
    }

private:
    static constexpr int64_t kModulus = 2147483647;
    static constexpr int64_t kMultiplier = 16807;
    static constexpr int64_t kQuotient = 127773;
    static constexpr int64_t kRemainder = 2836;

    int m_selector[kLattice + kLattice + 2] = {};
    std::array<std::array<std::array<double, 2>, kLattice + kLattice + 2>, 4> m_gradient{};
};

// Picks the frequency nearest the asked one at which a whole number of cycles fits the tile.
double stitchedFrequency(double frequency, double size) {
    if (frequency == 0)
        return frequency;
    const double low = std::floor(size * frequency) / size;
    const double high = std::ceil(size * frequency) / size;
    return frequency / low < high / frequency ? low : high;
}

} // namespace

void perlinNoise(BitmapPixels& bitmap, const PerlinOptions& options) {
    const PerlinLattice lattice(options.seed);
    double freqX = options.baseX == 0 ? 0 : 1 / std::fabs(options.baseX);
    double freqY = options.baseY == 0 ? 0 : 1 / std::fabs(options.baseY);
    const int octaves = std::clamp(options.octaves, 0, kMaxOctaves);
    Stitch firstStitch;
    if (options.stitch) {
        freqX = stitchedFrequency(freqX, bitmap.width);
        freqY = stitchedFrequency(freqY, bitmap.height);
        firstStitch.width = int(bitmap.width * freqX + 0.5);
        firstStitch.wrapX = int(kOffset + firstStitch.width);
        firstStitch.height = int(bitmap.height * freqY + 0.5);
        firstStitch.wrapY = int(kOffset + firstStitch.height);
    }
    auto turbulence = [&](int channel, double px, double py) {
        Stitch stitch = firstStitch;
        double sum = 0;
        double ratio = 1;
        for (int octave = 0; octave < octaves; ++octave) {
            double ox = 0, oy = 0;
            if (std::size_t(octave) < options.offsets.size())
                std::tie(ox, oy) = options.offsets[std::size_t(octave)];
            const double value =
                lattice.noise(channel, (px + ox) * freqX * ratio, (py + oy) * freqY * ratio,
                              options.stitch ? &stitch : nullptr);
            sum += (options.fractalNoise ? value : std::fabs(value)) / ratio;
            ratio *= 2;
            if (options.stitch) {
                stitch.width *= 2;
                stitch.wrapX = 2 * stitch.wrapX - kOffset;
                stitch.height *= 2;
                stitch.wrapY = 2 * stitch.wrapY - kOffset;
            }
        }
        return sum;
    };
    auto toByte = [&](double value) {
        // Rounded to the nearest step; fractal noise maps -1..1 onto 0..255 after rounding.
        const double rounded = value * 255 + 0.5;
        const double scaled = options.fractalNoise ? (rounded + 255) * 0.5 : rounded;
        return uint32_t(std::isnan(scaled) ? 0 : std::clamp(std::floor(scaled), 0.0, 255.0));
    };
    for (int y = 0; y < bitmap.height; ++y) {
        for (int x = 0; x < bitmap.width; ++x) {
            uint32_t argb = 0;
            if (options.grayScale) {
                const uint32_t v = toByte(turbulence(0, x, y));
                argb = v << 16 | v << 8 | v;
                argb |= (options.channels & 8) ? toByte(turbulence(1, x, y)) << 24 : 0xFF000000u;
            } else {
                int channel = 0;
                const int shifts[4] = {16, 8, 0, 24};
                for (int c = 0; c < 4; ++c) {
                    if (options.channels & (1 << c))
                        argb |= toByte(turbulence(channel++, x, y)) << shifts[c];
                    else if (c == 3)
                        argb |= 0xFF000000u;
                }
            }
            // The channels are stored as they come, as if already premultiplied.
            bitmap.at(x, y) = bitmap.transparent ? argb : (argb | 0xFF000000u);
        }
    }
}

} // namespace swivio::swf::image
