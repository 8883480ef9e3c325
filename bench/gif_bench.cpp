// Speed of the 256-colour reduction and of animated GIF frames at 640 x 480, and the
// demo movie's animated GIF with each palette: its frames a second, its size and its
// PSNR against the uncompressed frames.
// Targets for the demo at 640 x 480 with the adaptive palette, dithered: at least 60 frames
// a second on one core, at most 1.5 MB, at least 40 dB.
#include <cmath>
#include <cstring>
#include <filesystem>
#include <vector>

#include <benchmark/benchmark.h>

#include "demo_frames.h"

#include "base/frame.h"
#include "capture/frame_store_reader.h"
#include "capture/recording_session.h"
#include "encode/image/adaptive_palette.h"
#include "encode/image/animated_gif_writer.h"
#include "encode/image/color_reduction.h"
#include "encode/image/gif_encoder.h"
#include "settings/settings_rules.h"
#include "tests/support/demo_movie.h"
#include "tests/support/picture_files.h"
#include "tests/support/swf_writer.h"
#include "tests/support/temp_dir.h"

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

using swivio::bench::demoFrames;

// PSNR in dB of the pictures a viewer shows against the frames, over all of them together,
// and the lowest of one frame; -1 when the file does not hold one picture per frame.
std::pair<double, double> gifPsnr(const std::string& path, const std::vector<Frame>& frames) {
    const auto gif = swivio::testkit::readGifFile(path);
    const auto shown = swivio::testkit::composeGifFrames(gif);
    if (!gif.ok || shown.size() != frames.size())
        return {-1, -1};
    const auto psnr = [](double squares, double samples) {
        return squares > 0 ? 10 * std::log10(255.0 * 255.0 * samples / squares) : 99.0;
    };
    double total = 0, samples = 0, lowest = 1e9;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        double squares = 0;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                const uint32_t a = frames[i].pixel(x, y), b = shown[i].at(x, y);
                for (int shift = 0; shift < 24; shift += 8) {
                    const double d = double(a >> shift & 0xFF) - double(b >> shift & 0xFF);
                    squares += d * d;
                }
            }
        total += squares;
        samples += 3.0 * kWidth * kHeight;
        lowest = std::min(lowest, psnr(squares, 3.0 * kWidth * kHeight));
    }
    return {psnr(total, samples), lowest};
}

// The demo's animated GIF, dithered: range(0) 0 for the standard palette, 1 for adaptive.
void BM_DemoAnimatedGif(benchmark::State& state) {
    const std::vector<Frame>& frames = demoFrames();
    if (frames.empty()) {
        state.SkipWithError("recording the demo failed");
        return;
    }
    const auto colors = state.range(0) ? swivio::GifColors::Adaptive : swivio::GifColors::Standard;
    swivio::testkit::TempDir dir;
    const std::string path = dir.file("demo.gif");
    for (auto _ : state) {
        swivio::AnimatedGifWriter writer(path, 24, true, colors);
        for (std::size_t i = 0; i < frames.size(); ++i)
            writer.appendFrame(frames[i], int(i));
        if (!writer.finish()) {
            state.SkipWithError(writer.errorString().c_str());
            return;
        }
    }
    const auto [psnr, lowest] = gifPsnr(path, frames);
    state.counters["fps"] =
        benchmark::Counter(double(frames.size()), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["MB"] = double(std::filesystem::file_size(path)) / 1e6;
    state.counters["PSNR_dB"] = psnr;
    state.counters["lowest_frame_dB"] = lowest;
    state.SetLabel(state.range(0) ? "adaptive" : "standard");
}
BENCHMARK(BM_DemoAnimatedGif)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime();

// One picture reduced to a fitted palette: range(0) 0 cartoon, 1 photo; range(1) dithered.
void BM_ReduceAdaptive(benchmark::State& state) {
    const swivio::PictureImage picture =
        swivio::PictureImage::fromFrame(sampleFrame(int(state.range(0))));
    swivio::PictureImage reduced;
    swivio::AdaptiveReducer reducer;
    for (auto _ : state) {
        reducer.reduce(picture, state.range(1) != 0, reduced);
        benchmark::DoNotOptimize(reduced.data());
    }
    setLabel(state);
}
BENCHMARK(BM_ReduceAdaptive)->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMillisecond);

} // namespace
