// Frames per second of the MPEG writer beside the bare video encoder with the same settings,
// so the writer's own share (packet handling, multiplexing, file output) shows as a ratio:
//   writer fps / (convert + encode) fps.
// The encoder-only figure (pictures already in YUV) shows what the BGR conversion costs.

#include <unistd.h>

#include <cmath>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "base/frame.h"
#include "clib/ffmpeg_handles.h"
#include "encode/mpeg/mpeg_preset.h"
#include "encode/mpeg/mpeg_writer.h"

namespace swivio {
namespace {

constexpr int kDvdNtsc = 0;
constexpr int kVcdPal = 5;
constexpr int kDistinctFrames = 8;

// Flash-like pictures: a flat background, a soft radial gradient that moves, and hard-edged
// blocks, different in every frame.
std::vector<Frame> makeFrames(int width, int height) {
    std::vector<Frame> frames;
    for (int f = 0; f < kDistinctFrames; ++f) {
        Frame frame(width, height);
        frame.fill(makeColor(30, 60, 110));
        const double cx = width * (0.3 + 0.05 * f);
        const double cy = height * 0.5;
        const double radius = height * 0.35;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const double d = std::hypot(x - cx, y - cy) / radius;
                if (d < 1.0) {
                    const auto v = uint8_t(255 * (1.0 - d));
                    frame.setPixel(x, y, makeColor(v, uint8_t(v / 2 + 60), 40));
                }
                if (((x + 8 * f) / 48 + y / 48) % 5 == 0)
                    frame.setPixel(x, y, makeColor(240, 220, uint8_t(20 * f)));
            }
        }
        frames.push_back(std::move(frame));
    }
    return frames;
}

std::string benchPath() {
    return "/tmp/swivio-mpeg-bench-" + std::to_string(getpid()) + ".mpg";
}

void BM_MpegWriter(benchmark::State& state) {
    const int type = int(state.range(0));
    const MpegOutputPreset& preset = *mpegPreset(type);
    const std::vector<Frame> frames = makeFrames(preset.width, preset.height);
    const std::string path = benchPath();
    MpegWriter writer;
    writer.selectPreset(type);
    if (!writer.open(path, "")) {
        state.SkipWithError(writer.errorString().c_str());
        return;
    }
    int i = 0;
    for (auto _ : state) {
        if (!writer.writeFrame(frames[std::size_t(i++ % kDistinctFrames)].bytes())) {
            state.SkipWithError(writer.errorString().c_str());
            break;
        }
    }
    writer.close();
    unlink(path.c_str());
    state.SetItemsProcessed(state.iterations());
    state.SetLabel(preset.name);
}

// The same encoder, opened with the same settings, fed through libavcodec alone; packets are
// dropped. With `convert`, each picture also goes through the same BGR to YUV conversion.
void encodeDirectly(benchmark::State& state, bool convert) {
    const int type = int(state.range(0));
    const MpegOutputPreset& preset = *mpegPreset(type);
    const std::vector<Frame> frames = makeFrames(preset.width, preset.height);
    const AVOutputFormat* format = av_guess_format(preset.muxer, nullptr, nullptr);
    const AVCodec* codec = avcodec_find_encoder(format->video_codec);
    clib::AvCodecContext c(avcodec_alloc_context3(codec));
    AVDictionary* options = nullptr;
    configureMpegVideo(c.get(), preset, format->video_codec, &options);
    const int opened = avcodec_open2(c.get(), codec, &options);
    av_dict_free(&options);
    if (opened < 0) {
        state.SkipWithError("encoder refused the settings");
        return;
    }
    clib::SwsContextHandle sws(sws_getContext(preset.width, preset.height, AV_PIX_FMT_BGR24,
                                              preset.width, preset.height, AV_PIX_FMT_YUV420P,
                                              SWS_BILINEAR, nullptr, nullptr, nullptr));
    auto toYuv = [&](const Frame& frame, AVFrame* yuv) {
        const int stride = preset.width * 3;
        const uint8_t* src[1] = {frame.data() + std::ptrdiff_t(preset.height - 1) * stride};
        const int srcStride[1] = {-stride};
        sws_scale(sws.get(), src, srcStride, 0, preset.height, yuv->data, yuv->linesize);
    };
    auto newPicture = [&] {
        clib::AvFrame yuv(av_frame_alloc());
        yuv->format = AV_PIX_FMT_YUV420P;
        yuv->width = preset.width;
        yuv->height = preset.height;
        av_frame_get_buffer(yuv.get(), 0);
        return yuv;
    };
    std::vector<clib::AvFrame> prepared;
    for (const Frame& frame : frames) {
        prepared.push_back(newPicture());
        toYuv(frame, prepared.back().get());
    }
    // As in the writer: convert into a picture the encoder no longer references.
    clib::AvFrame work[3] = {newPicture(), newPicture(), newPicture()};
    clib::AvPacket packet(av_packet_alloc());
    int64_t pts = 0;
    for (auto _ : state) {
        const auto at = std::size_t(pts % kDistinctFrames);
        AVFrame* picture = prepared[at].get();
        if (convert) {
            picture = work[0].get();
            for (clib::AvFrame& w : work)
                if (av_frame_is_writable(w.get())) {
                    picture = w.get();
                    break;
                }
            av_frame_make_writable(picture);
            toYuv(frames[at], picture);
        }
        picture->pts = pts++;
        avcodec_send_frame(c.get(), picture);
        while (avcodec_receive_packet(c.get(), packet.get()) == 0)
            av_packet_unref(packet.get());
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel(preset.name);
}

void BM_ConvertAndEncode(benchmark::State& state) {
    encodeDirectly(state, true);
}
void BM_EncodeOnly(benchmark::State& state) {
    encodeDirectly(state, false);
}

BENCHMARK(BM_MpegWriter)->Arg(kDvdNtsc)->Arg(kVcdPal)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvertAndEncode)->Arg(kDvdNtsc)->Arg(kVcdPal)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodeOnly)->Arg(kDvdNtsc)->Arg(kVcdPal)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace swivio
