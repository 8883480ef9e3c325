// Throughput of the frame store's block compressor on recorded-frame-like pictures, beside LZ4
// and zlib at level 1 on the same frames. Bytes processed are uncompressed frame bytes both
// ways; the "ratio" counter is uncompressed / compressed size.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <lz4.h>
#include <zlib.h>

#include "capture/qclz.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr int kWidth = 640;
constexpr int kHeight = 480;

struct Colour {
    float r, g, b;
};

Colour mix(Colour a, Colour b, float t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

// A filled shape with an anti-aliased edge: signed distance to its outline (negative
// inside) and a fill that is flat or a linear gradient along (gx, gy).
struct Shape {
    enum class Kind { Circle, Polygon } kind;
    float cx, cy, radius;     // circle
    std::vector<float> edges; // polygon: (nx, ny, d) per edge, inside where n.p < d
    Colour from, to;          // fill; equal for a flat fill
    float gx0, gy0, gx1, gy1; // gradient axis

    float distance(float x, float y) const {
        if (kind == Kind::Circle)
            return std::hypot(x - cx, y - cy) - radius;
        float d = -1e9f;
        for (std::size_t i = 0; i < edges.size(); i += 3)
            d = std::max(d, edges[i] * x + edges[i + 1] * y - edges[i + 2]);
        return d;
    }
    Colour fill(float x, float y) const {
        const float ax = gx1 - gx0, ay = gy1 - gy0;
        const float len2 = ax * ax + ay * ay;
        const float t =
            len2 > 0 ? std::clamp(((x - gx0) * ax + (y - gy0) * ay) / len2, 0.f, 1.f) : 0;
        return mix(from, to, t);
    }
};

Shape circle(float cx, float cy, float r, Colour from, Colour to) {
    return {Shape::Kind::Circle, cx, cy, r, {}, from, to, cx - r, cy - r, cx + r, cy + r};
}

// A convex polygon from its corners in clockwise screen order.
Shape polygon(const std::vector<float>& xy, Colour from, Colour to) {
    Shape s{Shape::Kind::Polygon, 0, 0, 0, {}, from, to, 1e9f, 1e9f, -1e9f, -1e9f};
    const std::size_t n = xy.size() / 2;
    for (std::size_t i = 0; i < n; ++i) {
        const float x0 = xy[2 * i], y0 = xy[2 * i + 1];
        const float x1 = xy[2 * ((i + 1) % n)], y1 = xy[2 * ((i + 1) % n) + 1];
        float nx = y1 - y0, ny = x0 - x1;
        const float len = std::hypot(nx, ny);
        nx /= len;
        ny /= len;
        s.edges.insert(s.edges.end(), {nx, ny, nx * x0 + ny * y0});
        s.gx0 = std::min(s.gx0, x0);
        s.gy0 = std::min(s.gy0, y0);
        s.gx1 = std::max(s.gx1, x0);
        s.gy1 = std::max(s.gy1, y0);
    }
    s.gy1 = s.gy0; // horizontal gradients for polygons
    return s;
}

// 24-bit bottom-up B, G, R frame from a per-pixel colour function (0..255 floats).
template <typename F> Bytes render(F colourAt) {
    Bytes frame(std::size_t(kWidth) * kHeight * 3);
    for (int y = 0; y < kHeight; ++y) {
        uint8_t* row = frame.data() + std::size_t(kHeight - 1 - y) * kWidth * 3;
        for (int x = 0; x < kWidth; ++x) {
            const Colour c = colourAt(float(x) + 0.5f, float(y) + 0.5f);
            row[3 * x] = uint8_t(std::clamp(std::lround(c.b), 0l, 255l));
            row[3 * x + 1] = uint8_t(std::clamp(std::lround(c.g), 0l, 255l));
            row[3 * x + 2] = uint8_t(std::clamp(std::lround(c.r), 0l, 255l));
        }
    }
    return frame;
}

Bytes vectorFrame(bool gradientBackground) {
    const Colour sky{90, 160, 230}, ground{240, 240, 250};
    std::vector<Shape> shapes = {
        polygon({0, 330, 640, 300, 640, 480, 0, 480}, {70, 150, 60}, {70, 150, 60}),
        circle(520, 90, 55, {255, 220, 60}, {255, 220, 60}),
        polygon({120, 180, 260, 120, 300, 300, 140, 340}, {200, 60, 50}, {250, 140, 90}),
        circle(380, 260, 80, {40, 40, 160}, {120, 160, 255}),
        polygon({420, 360, 600, 350, 590, 450, 430, 440}, {250, 250, 250}, {250, 250, 250}),
        circle(80, 90, 40, {255, 255, 255}, {255, 255, 255}),
        polygon({300, 40, 360, 20, 370, 90}, {30, 30, 30}, {30, 30, 30}),
    };
    return render([&](float x, float y) {
        Colour c = gradientBackground ? mix(sky, ground, y / kHeight) : Colour{230, 230, 220};
        for (const Shape& s : shapes) {
            const float coverage = std::clamp(0.5f - s.distance(x, y), 0.f, 1.f);
            if (coverage > 0)
                c = mix(c, s.fill(x, y), coverage);
        }
        return c;
    });
}

// Smooth colours under sensor-like noise: what a filmed scene looks like.
Bytes photoFrame() {
    std::mt19937 rng(1234);
    std::normal_distribution<float> noise(0.f, 6.f);
    return render([&](float x, float y) {
        const float base = 120 + 60 * std::sin(x / 70) * std::cos(y / 50);
        return Colour{base + noise(rng), base * 0.8f + 30 + noise(rng),
                      200 - base / 2 + noise(rng)};
    });
}

const Bytes& frameNamed(int which) {
    static const Bytes frames[] = {vectorFrame(false), vectorFrame(true), photoFrame()};
    return frames[which];
}

// The frame store gives the compressor its pictures' row length.
constexpr std::size_t kRowBytes = std::size_t(kWidth) * 3;

void setCounters(benchmark::State& state, std::size_t raw, std::size_t packed) {
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(raw));
    state.counters["ratio"] = double(raw) / double(packed);
}

void qclzCompress(benchmark::State& state, int which) {
    const Bytes& frame = frameNamed(which);
    Bytes scratch(swivio::qclzScratchSize(frame.size()));
    std::size_t size = 0;
    for (auto _ : state) {
        size = swivio::compressBlock(frame.data(), frame.size(), scratch.data(), kRowBytes);
        benchmark::DoNotOptimize(scratch.data());
    }
    setCounters(state, frame.size(), size);
}

void qclzDecompress(benchmark::State& state, int which) {
    const Bytes& frame = frameNamed(which);
    Bytes block(swivio::qclzScratchSize(frame.size()));
    block.resize(swivio::compressBlock(frame.data(), frame.size(), block.data(), kRowBytes));
    Bytes out(frame.size());
    if (swivio::decompressBlock(block.data(), block.size(), out.data(), out.size()) !=
            frame.size() ||
        out != frame) {
        state.SkipWithError("QCLZ round trip failed");
        return;
    }
    for (auto _ : state) {
        const std::size_t n =
            swivio::decompressBlock(block.data(), block.size(), out.data(), out.size());
        if (n != frame.size()) {
            state.SkipWithError("QCLZ block did not decode");
            break;
        }
        benchmark::DoNotOptimize(out.data());
    }
    setCounters(state, frame.size(), block.size());
}

void lz4Compress(benchmark::State& state, int which) {
    const Bytes& frame = frameNamed(which);
    Bytes packed(std::size_t(LZ4_compressBound(int(frame.size()))));
    int size = 0;
    for (auto _ : state) {
        size = LZ4_compress_default(reinterpret_cast<const char*>(frame.data()),
                                    reinterpret_cast<char*>(packed.data()), int(frame.size()),
                                    int(packed.size()));
        benchmark::DoNotOptimize(packed.data());
    }
    setCounters(state, frame.size(), std::size_t(size));
}

void lz4Decompress(benchmark::State& state, int which) {
    const Bytes& frame = frameNamed(which);
    Bytes packed(std::size_t(LZ4_compressBound(int(frame.size()))));
    const int size = LZ4_compress_default(reinterpret_cast<const char*>(frame.data()),
                                          reinterpret_cast<char*>(packed.data()), int(frame.size()),
                                          int(packed.size()));
    Bytes out(frame.size());
    for (auto _ : state) {
        const int n =
            LZ4_decompress_safe(reinterpret_cast<const char*>(packed.data()),
                                reinterpret_cast<char*>(out.data()), size, int(out.size()));
        if (n != int(frame.size())) {
            state.SkipWithError("LZ4 round trip failed");
            break;
        }
        benchmark::DoNotOptimize(out.data());
    }
    setCounters(state, frame.size(), std::size_t(size));
}

void zlibCompress(benchmark::State& state, int which) {
    const Bytes& frame = frameNamed(which);
    Bytes packed(compressBound(uLong(frame.size())));
    uLongf size = 0;
    for (auto _ : state) {
        size = uLongf(packed.size());
        compress2(packed.data(), &size, frame.data(), uLong(frame.size()), 1);
        benchmark::DoNotOptimize(packed.data());
    }
    setCounters(state, frame.size(), size);
}

void zlibDecompress(benchmark::State& state, int which) {
    const Bytes& frame = frameNamed(which);
    Bytes packed(compressBound(uLong(frame.size())));
    uLongf size = uLongf(packed.size());
    compress2(packed.data(), &size, frame.data(), uLong(frame.size()), 1);
    Bytes out(frame.size());
    for (auto _ : state) {
        uLongf n = uLongf(out.size());
        if (uncompress(out.data(), &n, packed.data(), size) != Z_OK || n != frame.size()) {
            state.SkipWithError("zlib round trip failed");
            break;
        }
        benchmark::DoNotOptimize(out.data());
    }
    setCounters(state, frame.size(), size);
}

int registerAll() {
    const char* names[] = {"Vector", "VectorOnGradient", "Photo"};
    using Fn = void (*)(benchmark::State&, int);
    const std::pair<const char*, Fn> codecs[] = {
        {"Qclz/Compress", qclzCompress},   {"Lz4/Compress", lz4Compress},
        {"Zlib1/Compress", zlibCompress},  {"Qclz/Decompress", qclzDecompress},
        {"Lz4/Decompress", lz4Decompress}, {"Zlib1/Decompress", zlibDecompress},
    };
    for (const auto& [codec, fn] : codecs)
        for (int which = 0; which < 3; ++which)
            benchmark::RegisterBenchmark((std::string(codec) + "/" + names[which]).c_str(), fn,
                                         which)
                ->Unit(benchmark::kMicrosecond);
    return 0;
}

[[maybe_unused]] const int kRegistered = registerAll();

} // namespace
