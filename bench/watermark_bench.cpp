// Cost of drawing the watermark onto one 640 x 480 output frame.
#include <memory>

#include <benchmark/benchmark.h>

#include "base/frame.h"
#include "encode/image/picture_image.h"
#include "crop/watermark.h"

namespace {

using swivio::makeColor;

std::shared_ptr<swivio::PictureImage> logo(int width, int height) {
    auto picture = std::make_shared<swivio::PictureImage>(width, height, 24);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = picture->topRow(y) + x * 3;
            const bool ring = ((x - width / 2) * (x - width / 2) +
                               (y - height / 2) * (y - height / 2)) < (height / 2) * (height / 2);
            p[0] = ring ? 200 : 0;
            p[1] = ring ? uint8_t(x) : 0;
            p[2] = ring ? uint8_t(y) : 0;
        }
    return picture;
}

// range(0): 0 opaque, 1 colour key, 2 blend; range(1): rectangle width (height = width / 2).
void BM_WatermarkApply(benchmark::State& state) {
    swivio::ConversionSettings settings;
    settings.watermarkEnabled = true;
    const auto picture = logo(300, 150);
    settings.watermarkUseTransparentColor = state.range(0) == 1;
    settings.watermarkTransparentColor = 0;
    settings.watermarkUseTransparency = state.range(0) == 2;
    settings.watermarkTransparency = 128;
    swivio::FrameGeometry geometry;
    geometry.outputWidth = geometry.contentWidth = 640;
    geometry.outputHeight = geometry.contentHeight = 480;
    geometry.outputMarkX = 20;
    geometry.outputMarkY = 20;
    geometry.outputMarkWidth = int32_t(state.range(1));
    geometry.outputMarkHeight = int32_t(state.range(1) / 2);
    const swivio::WatermarkStamp stamp(settings, geometry, picture.get(), 640, 480);
    swivio::Frame frame(640, 480);
    frame.fill(makeColor(10, 20, 30));
    for (auto _ : state) {
        stamp.apply(frame);
        benchmark::DoNotOptimize(frame.data());
    }
    static const char* const kModes[] = {"opaque", "colour key", "blend"};
    state.SetLabel(kModes[state.range(0)]);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_WatermarkApply)->ArgsProduct({{0, 1, 2}, {200, 600}});

// Preparing the stamp (the stretch), done once per conversion.
void BM_WatermarkPrepare(benchmark::State& state) {
    swivio::ConversionSettings settings;
    settings.watermarkEnabled = true;
    const auto picture = logo(1000, 500);
    settings.watermarkUseTransparentColor = true;
    swivio::FrameGeometry geometry;
    geometry.outputWidth = geometry.contentWidth = 640;
    geometry.outputHeight = geometry.contentHeight = 480;
    geometry.outputMarkWidth = 600;
    geometry.outputMarkHeight = 300;
    for (auto _ : state) {
        swivio::WatermarkStamp stamp(settings, geometry, picture.get(), 640, 480);
        benchmark::DoNotOptimize(&stamp);
    }
}
BENCHMARK(BM_WatermarkPrepare)->Unit(benchmark::kMillisecond);

} // namespace
