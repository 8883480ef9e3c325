// The PNG picture series against libavcodec's PNG encoder on the same demo frames at 640 x
// 480, each picture written to a file: the series should take at most 1.2 times as long.
#include <cstdio>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <benchmark/benchmark.h>

#include "demo_frames.h"

#include "capture/conversion_task.h"
#include "capture/frame_store_reader.h"
#include "capture/recording_session.h"
#include "clib/c_handle.h"
#include "clib/ffmpeg_encode.h"
#include "clib/ffmpeg_handles.h"
#include "encode/image/frame_picture.h"
#include "settings/settings_rules.h"
#include "tests/support/demo_movie.h"
#include "tests/support/swf_writer.h"
#include "tests/support/temp_dir.h"

namespace {

using swivio::Frame;

constexpr int kWidth = 640;
constexpr int kHeight = 480;

using swivio::bench::demoFrames;

void BM_SeriesPng(benchmark::State& state) {
    const auto& frames = demoFrames();
    swivio::testkit::TempDir dir;
    std::size_t i = 0;
    for (auto _ : state) {
        const std::string path = dir.file(std::to_string(i % 8) + ".png");
        if (!swivio::saveFramePicture(frames[i++ % frames.size()], swivio::PictureFileType::Png,
                                      path))
            state.SkipWithError("the PNG could not be written");
    }
    state.counters["fps"] = benchmark::Counter(double(state.iterations()),
                                               benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SeriesPng)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->MinTime(2.0);

// libavcodec's PNG encoder at its own defaults, fed the same pictures as top-down RGB rows
// (the layout it takes, made before timing).
void BM_LibavcodecPng(benchmark::State& state) {
    std::vector<std::vector<uint8_t>> rgb;
    for (const Frame& frame : demoFrames()) {
        std::vector<uint8_t> rows(std::size_t(kWidth) * kHeight * 3);
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                const uint32_t c = frame.pixel(x, y);
                uint8_t* p = &rows[(std::size_t(y) * kWidth + x) * 3];
                p[0] = swivio::colorRed(c);
                p[1] = swivio::colorGreen(c);
                p[2] = swivio::colorBlue(c);
            }
        rgb.push_back(std::move(rows));
    }
    swivio::testkit::TempDir dir;
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_PNG);
    swivio::clib::AvCodecContext encoder(codec ? avcodec_alloc_context3(codec) : nullptr);
    swivio::clib::AvFrame picture(av_frame_alloc());
    swivio::clib::AvPacket packet(av_packet_alloc());
    if (!encoder || !picture || !packet) {
        state.SkipWithError("no PNG encoder");
        return;
    }
    encoder->width = kWidth;
    encoder->height = kHeight;
    encoder->pix_fmt = AV_PIX_FMT_RGB24;
    encoder->time_base = {1, 24};
    if (avcodec_open2(encoder.get(), codec, nullptr) < 0) {
        state.SkipWithError("the PNG encoder does not open");
        return;
    }
    picture->width = kWidth;
    picture->height = kHeight;
    picture->format = AV_PIX_FMT_RGB24;
    std::size_t i = 0;
    for (auto _ : state) {
        picture->data[0] = rgb[i++ % rgb.size()].data();
        picture->linesize[0] = kWidth * 3;
        swivio::clib::File file = swivio::clib::openFile(
            dir.file(std::to_string(i % 8) + ".png").c_str(), "wb");
        const auto sent =
            swivio::clib::encodeFrame(encoder.get(), picture.get(), packet.get(), [&](AVPacket& p) {
                return std::fwrite(p.data, 1, std::size_t(p.size), file.get()) == std::size_t(p.size);
            });
        if (!sent || !file)
            state.SkipWithError("libavcodec could not write the PNG");
    }
    state.counters["fps"] = benchmark::Counter(double(state.iterations()),
                                               benchmark::Counter::kIsRate);
}
BENCHMARK(BM_LibavcodecPng)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->MinTime(2.0);

} // namespace
