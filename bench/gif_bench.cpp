// Speed of the 256-colour reduction and of animated GIF frames at 640 x 480.
// Target: at least 60 dithered animated GIF frames a second on one core.
#include <cmath>
#include <cstring>
#include <vector>

#include <benchmark/benchmark.h>

#include "base/frame.h"
#include "encode/image/animated_gif_writer.h"
#include "encode/image/color_reduction.h"
#include "encode/image/gif_encoder.h"

namespace {

using swivio::Frame;
using swivio::makeColor;

constexpr int kWidth = 640;
constexpr int kHeight = 480;

// Flat fills, outlines and a soft sky gradient, as an animation frame usually looks.
Frame cartoonFrame() {
    Frame frame(kWidth, kHeight);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            uint32_t c = makeColor(uint8_t(120 + y / 8), uint8_t(170 + y / 10), 240); // sky
            const int dx = x - 320, dy = y - 260;
            const int d2 = dx * dx + dy * dy;
            if (d2 < 150 * 150)
                c = d2 > 146 * 146 ? 0 : makeColor(250, 210, 40); // outlined sun
            if (y > 380)
                c = makeColor(60, 160, 50); // grass
            if (x > 80 && x < 200 && y > 200 && y < 380)
                c = (x / 20 + y / 20) % 2 ? makeColor(200, 40, 40) : makeColor(150, 20, 20);
            frame.setPixel(x, y, c);
        }
    return frame;
}

// Smooth shading with fine grain: almost every pixel a colour of its own.
Frame photoFrame() {
    Frame frame(kWidth, kHeight);
    uint32_t seed = 12345;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int grain = int(seed >> 28) - 8;
            const double u = x / double(kWidth), v = y / double(kHeight);
            auto channel = [&](double value) {
                const int c = int(value * 255) + grain;
                return uint8_t(c < 0 ? 0 : c > 255 ? 255 : c);
            };
            frame.setPixel(x, y,
                           makeColor(channel(0.5 + 0.4 * std::sin(6 * u + 2 * v)),
                                     channel(0.4 + 0.3 * std::cos(5 * v - 3 * u)),
                                     channel(0.3 + 0.3 * u * v + 0.2 * std::sin(9 * u * v))));
        }
    return frame;
}

const Frame& sampleFrame(int kind) {
    static const Frame cartoon = cartoonFrame();
    static const Frame photo = photoFrame();
    return kind == 0 ? cartoon : photo;
}

void setLabel(benchmark::State& state) {
    state.SetLabel(std::string(state.range(0) == 0 ? "cartoon" : "photo") +
                   (state.range(1) ? ", dithered" : ""));
    state.SetItemsProcessed(state.iterations());
}

void BM_ReduceTo8Bits(benchmark::State& state) {
    const Frame& frame = sampleFrame(int(state.range(0)));
    swivio::PictureImage picture = swivio::PictureImage::fromFrame(frame);
    swivio::PictureImage reduced;
    for (auto _ : state) {
        // Dithering changes the source, so each round starts from the frame again.
        std::memcpy(picture.data(), frame.data(), frame.byteSize());
        swivio::reduceTo8Bits(picture, state.range(1) != 0, reduced);
        benchmark::DoNotOptimize(reduced.data());
    }
    setLabel(state);
}
BENCHMARK(BM_ReduceTo8Bits)->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMillisecond);

void BM_GifImageData(benchmark::State& state) {
    swivio::PictureImage picture =
        swivio::PictureImage::fromFrame(sampleFrame(int(state.range(0))));
    const swivio::PictureImage reduced = swivio::reduceTo8Bits(picture, state.range(1) != 0);
    std::vector<uint8_t> bytes;
    for (auto _ : state) {
        bytes.clear();
        swivio::writeImage(bytes, reduced);
        benchmark::DoNotOptimize(bytes.data());
    }
    state.counters["bytes"] = double(bytes.size());
    setLabel(state);
}
BENCHMARK(BM_GifImageData)->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMillisecond);

// The whole animated GIF frame: copy, reduction, LZW and the write (to /dev/null).
void BM_AnimatedGifFrame(benchmark::State& state) {
    const Frame& frame = sampleFrame(int(state.range(0)));
    swivio::AnimatedGifWriter writer("/dev/null", 30, state.range(1) != 0);
    int index = 0;
    for (auto _ : state)
        writer.appendFrame(frame, index++);
    writer.finish();
    setLabel(state);
}
BENCHMARK(BM_AnimatedGifFrame)->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMillisecond);

} // namespace
