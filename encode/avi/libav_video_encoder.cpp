#include "encode/avi/libav_video_encoder.h"

#include <cstring>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libavutil/mathematics.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
}

#include "clib/ffmpeg_encode.h"

namespace swivio::libav {

namespace {

bool supports(const AVCodec* codec, AVPixelFormat format) {
    for (const AVPixelFormat* p = codec->pix_fmts; p && *p != AV_PIX_FMT_NONE; ++p)
        if (*p == format)
            return true;
    return false;
}

bool isLossless(const AVCodec* codec) {
    const AVCodecDescriptor* d = avcodec_descriptor_get(codec->id);
    return d && (d->props & AV_CODEC_PROP_LOSSLESS) && !(d->props & AV_CODEC_PROP_LOSSY);
}

void setOption(AVCodecContext* c, const char* name, const char* value) {
    // Options an encoder lacks are skipped: the same settings serve every build.
    if (c->priv_data)
        av_opt_set(c->priv_data, name, value, 0);
}

// Every compressor gets a quality of its own, chosen for good pictures at sensible sizes
// (libavcodec's default of 200 kbit/s would smear every frame):
// - x264 family: constant rate factor 20 (visually near-transparent), "veryfast" preset and
//   zero-latency tuning so each frame comes out as it goes in;
// - x265: rate factor 24 (its scale sits about 4 above x264's), "fast" preset;
// - VP8: rate factor 10 under an 8 Mbit/s cap (VP8 needs a cap with a rate factor);
//   VP9 and AV1: rate factor 31 / 30 with no cap; all with realtime speed settings and no
//   look-ahead;
// - VC-2: 2 bits per pixel per frame;
// - every other lossy encoder (MPEG-4 part 2, MJPEG, the MPEG-1/2, H.263, WMV and Xvid
//   families): a fixed quantiser of 3, which keeps fine detail; as a fallback for encoders
//   that only follow a bit rate, 1 bit per pixel per frame.
// Lossless encoders need no setting.
void applyQuality(AVCodecContext* c, const AVCodec* codec) {
    const std::string name = codec->name;
    const double fps = double(c->time_base.den) / c->time_base.num;
    c->bit_rate = int64_t(double(c->width) * c->height * fps);
    if (name == "libx264" || name == "libx264rgb") {
        setOption(c, "preset", "veryfast");
        setOption(c, "tune", "zerolatency");
        setOption(c, "crf", "20");
        c->bit_rate = 0;
    } else if (name == "libx265") {
        setOption(c, "preset", "fast");
        setOption(c, "tune", "zerolatency");
        setOption(c, "crf", "24");
        setOption(c, "x265-params", "log-level=error");
        c->bit_rate = 0;
    } else if (name == "libvpx") {
        setOption(c, "crf", "10");
        setOption(c, "deadline", "realtime");
        setOption(c, "cpu-used", "8");
        setOption(c, "lag-in-frames", "0");
        c->bit_rate = 8000000;
    } else if (name == "libvpx-vp9" || name == "libaom-av1") {
        setOption(c, "crf", name == "libaom-av1" ? "30" : "31");
        setOption(c, "deadline", "realtime");
        setOption(c, "cpu-used", "8");
        setOption(c, "lag-in-frames", "0");
        c->bit_rate = 0;
    } else if (name == "vc2") {
        // The VC-2 encoder misreads a fixed quantiser (every picture turns grey); it keeps to
        // a bit rate, and as an intra-only wavelet coder it needs about 2 bits per pixel.
        c->bit_rate *= 2;
    } else if (!isLossless(codec)) {
        c->flags |= AV_CODEC_FLAG_QSCALE;
        c->global_quality = 3 * FF_QP2LAMBDA;
    }
}

} // namespace

AVPixelFormat inputFormatFor(const AVCodec* codec) {
    if (!codec->pix_fmts)
        return AV_PIX_FMT_NONE;
    if (supports(codec, AV_PIX_FMT_BGR24))
        return AV_PIX_FMT_BGR24;
    if (!isLossless(codec)) {
        // Full-range 4:2:0 first: it is what JPEG-based encoders accept without complaint.
        for (AVPixelFormat f : {AV_PIX_FMT_YUVJ420P, AV_PIX_FMT_YUV420P})
            if (supports(codec, f))
                return f;
    }
    return avcodec_find_best_pix_fmt_of_list(codec->pix_fmts, AV_PIX_FMT_BGR24, 0, nullptr);
}

Result<clib::AvCodecContext> openVideoEncoder(const AVCodec* codec, int width, int height,
                                              uint32_t scale, uint32_t rate) {
    const auto failWith = [](std::string text) {
        return Result<clib::AvCodecContext>::failure(std::move(text));
    };
    const AVPixelFormat format = inputFormatFor(codec);
    if (format == AV_PIX_FMT_NONE)
        return failWith(std::string(codec->name) + " states no pixel formats.");
    clib::AvCodecContext c(avcodec_alloc_context3(codec));
    if (!c)
        return failWith("Out of memory.");
    c->width = width;
    c->height = height;
    c->pix_fmt = format;
    // Reduced, because several encoders limit the time base's denominator (MPEG-4: 65535).
    int num = 0, den = 0;
    av_reduce(&num, &den, scale, rate, 1 << 30);
    c->time_base = AVRational{num, den};
    c->framerate = AVRational{den, num};
    c->sample_aspect_ratio = AVRational{1, 1};
    c->gop_size = 1; // every frame a key frame
    c->max_b_frames = 0;
    c->codec_tag = aviFourCcOf(codec->id);
    if (format == AV_PIX_FMT_YUVJ420P)
        c->color_range = AVCOL_RANGE_JPEG;
    applyQuality(c.get(), codec);
    const int result = avcodec_open2(c.get(), codec, nullptr);
    if (result < 0)
        return failWith(std::string("Cannot open the ") + codec->name +
                        " encoder: " + clib::ffmpegErrorText(result) + ".");
    // Some encoders name their variant with a FourCC of their own (utvideo: "ULRG" for
    // planar RGB where the table's first entry is "ULRA"); the decoder goes by it.
    if (c->codec_tag == 0)
        c->codec_tag = aviFourCcOf(codec->id);
    return c;
}

void drainEncoder(AVCodecContext* context) {
    clib::AvPacket packet(av_packet_alloc());
    if (packet) // what is left is discarded, and so is a failure to hand it over
        (void)clib::encodeFrame(context, nullptr, packet.get(), [](AVPacket&) { return true; });
}

uint32_t aviFourCcOf(AVCodecID id) {
    const AVCodecTag* const tables[] = {avformat_get_riff_video_tags(), nullptr};
    return av_codec_get_tag(tables, id);
}

} // namespace swivio::libav
