#include "encode/avi/libav_video_encoder.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

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

// `quality` (1 to 100) on a scale that runs from `worst` (at 1) to `best` (at 100).
int scaled(int quality, int worst, int best) {
    return int(std::lround(worst + double(best - worst) * (quality - 1) / 99.0));
}

void setOption(AVCodecContext* c, const char* name, int value) {
    setOption(c, name, std::to_string(value).c_str());
}

// The settings the AVI writer gives an encoder when the user chose no quality, chosen for
// good pictures at sensible sizes (libavcodec's default of 200 kbit/s would smear every
// frame):
// - x264 family: constant rate factor 20 (visually near-transparent);
// - x265: rate factor 24 (its scale sits about 4 above x264's);
// - VP8: rate factor 10; VP9 and AV1: rate factor 31 / 30;
// - VC-2: 2 bits per pixel per frame;
// - every other lossy encoder (MPEG-4 part 2, MJPEG, the MPEG-1/2, H.263, WMV and Xvid
//   families): a fixed quantiser of 3, which keeps fine detail; as a fallback for encoders
//   that only follow a bit rate, 1 bit per pixel per frame.
// Lossless encoders need no setting.
void applyDefaultQuality(AVCodecContext* c, const AVCodec* codec) {
    const std::string name = codec->name;
    if (name == "libx264" || name == "libx264rgb")
        setOption(c, "crf", 20);
    else if (name == "libx265")
        setOption(c, "crf", 24);
    else if (name == "libvpx")
        setOption(c, "crf", 10);
    else if (name == "libvpx-vp9" || name == "libaom-av1")
        setOption(c, "crf", name == "libaom-av1" ? 30 : 31);
    else if (name == "vc2")
        c->bit_rate *= 2;
    else if (!isLossless(codec)) {
        c->flags |= AV_CODEC_FLAG_QSCALE;
        c->global_quality = 3 * FF_QP2LAMBDA;
    }
}

// The user's quality on the encoder's own scale; a higher quality never means a coarser
// picture.
void applyChosenQuality(AVCodecContext* c, const AVCodec* codec, int quality) {
    const std::string name = codec->name;
    switch (qualityScaleOf(codec)) {
    case QualityScale::Quantiser:
        // 31 is the coarsest quantiser of the MPEG family, 1 the finest.
        c->flags |= AV_CODEC_FLAG_QSCALE;
        c->global_quality = scaled(quality, 31, 1) * FF_QP2LAMBDA;
        break;
    case QualityScale::RateFactor:
        // x264 and x265 rate factors run from 51 to 0 (lossless), libvpx's and libaom's
        // from 63 to 0 (VP8: 4).
        if (name == "libx264" || name == "libx264rgb" || name == "libx265") {
            setOption(c, "crf", scaled(quality, 51, 0));
        } else if (name == "libvpx") {
            // VP8 under its bit-rate cap keeps to its quantiser range rather than the rate
            // factor: the range is narrowed to the factor itself.
            const int factor = scaled(quality, 63, 4);
            setOption(c, "crf", factor);
            c->qmin = c->qmax = factor;
        } else {
            setOption(c, "crf", scaled(quality, 63, 0));
        }
        break;
    case QualityScale::Theora:
        c->flags |= AV_CODEC_FLAG_QSCALE;
        c->global_quality = scaled(quality, 0, 10) * FF_QP2LAMBDA;
        break;
    case QualityScale::BitRate:
        // A quarter of a bit to 4 bits per pixel per frame.
        c->bit_rate = int64_t(double(c->bit_rate) * (0.25 + 3.75 * (quality - 1) / 99.0));
        break;
    case QualityScale::CompressionLevel:
        c->compression_level = scaled(quality, 1, 9);
        break;
    case QualityScale::None:
        applyDefaultQuality(c, codec);
        break;
    }
}

// Speed settings every frame goes through as it comes: no look-ahead, no waiting.
void applyRealtime(AVCodecContext* c, const AVCodec* codec) {
    const std::string name = codec->name;
    if (name == "libx264" || name == "libx264rgb") {
        setOption(c, "preset", "veryfast");
        setOption(c, "tune", "zerolatency");
        c->bit_rate = 0;
    } else if (name == "libx265") {
        setOption(c, "preset", "fast");
        setOption(c, "tune", "zerolatency");
        setOption(c, "x265-params", "log-level=error");
        c->bit_rate = 0;
    } else if (name == "libvpx" || name == "libvpx-vp9" || name == "libaom-av1") {
        setOption(c, "deadline", "realtime");
        setOption(c, "cpu-used", "8");
        setOption(c, "lag-in-frames", "0");
        // VP8 needs a cap with a rate factor.
        c->bit_rate = name == "libvpx" ? 8000000 : 0;
    }
}

void applyQuality(AVCodecContext* c, const AVCodec* codec, int quality) {
    const double fps = double(c->time_base.den) / c->time_base.num;
    // 1 bit per pixel per frame: the reference of the bit-rate settings.
    c->bit_rate = int64_t(double(c->width) * c->height * fps);
    applyRealtime(c, codec);
    if (quality == kVideoQualityDefault)
        applyDefaultQuality(c, codec);
    else
        applyChosenQuality(c, codec, std::clamp(quality, kVideoQualityMin, kVideoQualityMax));
}

bool isJpegBased(const AVCodec* codec) {
    return codec->id == AV_CODEC_ID_MJPEG || codec->id == AV_CODEC_ID_AMV;
}

} // namespace

AVPixelFormat inputFormatFor(const AVCodec* codec) {
    if (!codec->pix_fmts)
        return AV_PIX_FMT_NONE;
    if (supports(codec, AV_PIX_FMT_BGR24))
        return AV_PIX_FMT_BGR24;
    if (!isLossless(codec)) {
        // Limited-range 4:2:0, what players expect, except for JPEG-based encoders: JPEG
        // pictures are full range, and libavcodec's MJPEG encoder refuses limited range.
        const bool jpeg = isJpegBased(codec);
        for (AVPixelFormat f : {jpeg ? AV_PIX_FMT_YUVJ420P : AV_PIX_FMT_YUV420P,
                                jpeg ? AV_PIX_FMT_YUV420P : AV_PIX_FMT_YUVJ420P})
            if (supports(codec, f))
                return f;
    }
    return avcodec_find_best_pix_fmt_of_list(codec->pix_fmts, AV_PIX_FMT_BGR24, 0, nullptr);
}

QualityScale qualityScaleOf(const AVCodec* codec) {
    const std::string name = codec->name;
    if (name == "libx264" || name == "libx264rgb" || name == "libx265" || name == "libvpx" ||
        name == "libvpx-vp9" || name == "libaom-av1")
        return QualityScale::RateFactor;
    if (name == "libtheora")
        return QualityScale::Theora;
    if (name == "vc2")
        return QualityScale::BitRate;
    switch (codec->id) {
    // libavcodec's MPEG-family encoders (and ASV, Snow) follow a fixed quantiser.
    // (AMV is left out: its encoder keeps one quantiser whatever it is given.)
    case AV_CODEC_ID_MJPEG:
    case AV_CODEC_ID_MPEG1VIDEO:
    case AV_CODEC_ID_MPEG2VIDEO:
    case AV_CODEC_ID_MPEG4:
    case AV_CODEC_ID_MSMPEG4V2:
    case AV_CODEC_ID_MSMPEG4V3:
    case AV_CODEC_ID_H263:
    case AV_CODEC_ID_H263P:
    case AV_CODEC_ID_FLV1:
    case AV_CODEC_ID_WMV1:
    case AV_CODEC_ID_WMV2:
    case AV_CODEC_ID_SPEEDHQ:
    case AV_CODEC_ID_SNOW:
    case AV_CODEC_ID_ASV1:
    case AV_CODEC_ID_ASV2:
        return QualityScale::Quantiser;
    // zlib-based lossless coders: compression level 0 to 9.
    case AV_CODEC_ID_PNG:
    case AV_CODEC_ID_ZLIB:
    case AV_CODEC_ID_ZMBV:
        return QualityScale::CompressionLevel;
    default:
        return QualityScale::None;
    }
}

Result<clib::AvCodecContext> openVideoEncoder(const AVCodec* codec, int width, int height,
                                              uint32_t scale, uint32_t rate, int quality) {
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
    else if (format == AV_PIX_FMT_YUV420P)
        c->color_range = AVCOL_RANGE_MPEG;
    applyQuality(c.get(), codec, quality);
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

namespace {

// The test picture's quarters, B,G,R: red, green, blue and light grey at mid intensities,
// so that a range or channel mix-up shows.
constexpr uint8_t kTestColors[4][3] = {
    {30, 30, 200}, {30, 200, 30}, {200, 30, 30}, {220, 220, 220}};
// How far a colour may come back from a lossy coder of a tiny picture.
constexpr int kTestTolerance = 40;

int quarterOf(int x, int y, int width, int height) {
    return (y >= height / 2) * 2 + (x >= width / 2);
}

// Converts between a frame of BGR24 and `frame` (allocated), either way.
bool convertPicture(const AVFrame* from, AVFrame* to) {
    clib::SwsContextHandle scaler(sws_getContext(
        from->width, from->height, AVPixelFormat(from->format), to->width, to->height,
        AVPixelFormat(to->format), SWS_POINT, nullptr, nullptr, nullptr));
    return scaler && sws_scale(scaler.get(), from->data, from->linesize, 0, from->height, to->data,
                               to->linesize) > 0;
}

clib::AvFrame allocatedFrame(AVPixelFormat format, int width, int height) {
    clib::AvFrame frame(av_frame_alloc());
    if (!frame)
        return frame;
    frame->format = format;
    frame->width = width;
    frame->height = height;
    if (av_frame_get_buffer(frame.get(), 0) < 0)
        frame.reset();
    return frame;
}

} // namespace

Status roundTripTestPicture(const AVCodec* codec, int width, int height) {
    const std::string name = codec->name;
    Result<clib::AvCodecContext> opened = openVideoEncoder(codec, width, height, 1, 25);
    if (!opened)
        return Status::failure(opened.message());
    AVCodecContext* encoder = opened->get();

    clib::AvFrame rgb = allocatedFrame(AV_PIX_FMT_BGR24, width, height);
    clib::AvFrame input = allocatedFrame(encoder->pix_fmt, width, height);
    if (!rgb || !input)
        return Status::failure("Out of memory.");
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            std::memcpy(rgb->data[0] + y * rgb->linesize[0] + x * 3,
                        kTestColors[quarterOf(x, y, width, height)], 3);
    if (!convertPicture(rgb.get(), input.get()))
        return Status::failure("Cannot convert a picture for the " + name + " encoder.");
    input->pts = 0;
    input->pict_type = AV_PICTURE_TYPE_I;
    input->quality = encoder->global_quality;

    std::vector<uint8_t> first;
    clib::AvPacket packet(av_packet_alloc());
    if (!packet)
        return Status::failure("Out of memory.");
    const auto keepFirst = [&first](AVPacket& p) {
        if (first.empty())
            first.assign(p.data, p.data + p.size);
        return true;
    };
    const clib::EncodeStatus sent =
        clib::encodeFrame(encoder, input.get(), packet.get(), keepFirst);
    const clib::EncodeStatus ended = clib::encodeFrame(encoder, nullptr, packet.get(), keepFirst);
    if (!sent || !ended)
        return Status::failure("The " + name + " encoder failed: " + (sent ? ended : sent).text);
    if (first.empty())
        return Status::failure("The " + name + " encoder gave no picture.");

    // The decoder a player of the AVI file picks: the one of the codec libavformat reads the
    // FourCC as ("LJPG" is read as MJPEG, which libavcodec decodes lossless JPEG with).
    const AVCodecTag* const tables[] = {avformat_get_riff_video_tags(), nullptr};
    const AVCodecID readAs = av_codec_get_id(tables, encoder->codec_tag);
    const AVCodec* decoderCodec =
        avcodec_find_decoder(readAs != AV_CODEC_ID_NONE ? readAs : codec->id);
    if (!decoderCodec)
        return Status::failure("libavcodec has no decoder for " + name + ".");
    clib::AvCodecContext decoder(avcodec_alloc_context3(decoderCodec));
    if (!decoder)
        return Status::failure("Out of memory.");
    decoder->width = width;
    decoder->height = height;
    decoder->codec_tag = encoder->codec_tag;
    decoder->bits_per_coded_sample = encoder->bits_per_coded_sample;
    decoder->thread_count = 1;
    if (encoder->extradata_size > 0) {
        decoder->extradata = static_cast<uint8_t*>(
            av_mallocz(size_t(encoder->extradata_size) + AV_INPUT_BUFFER_PADDING_SIZE));
        if (!decoder->extradata)
            return Status::failure("Out of memory.");
        std::memcpy(decoder->extradata, encoder->extradata, size_t(encoder->extradata_size));
        decoder->extradata_size = encoder->extradata_size;
    }
    if (const int rc = avcodec_open2(decoder.get(), decoderCodec, nullptr); rc < 0)
        return Status::failure("Cannot open the " + name +
                               " decoder: " + clib::ffmpegErrorText(rc));
    packet->data = first.data();
    packet->size = int(first.size());
    packet->flags |= AV_PKT_FLAG_KEY;
    const int rc = avcodec_send_packet(decoder.get(), packet.get());
    packet->data = nullptr;
    packet->size = 0;
    if (rc < 0)
        return Status::failure("The " + name +
                               " decoder refuses its picture: " + clib::ffmpegErrorText(rc));
    (void)avcodec_send_packet(decoder.get(), nullptr);
    clib::AvFrame output(av_frame_alloc());
    if (!output || avcodec_receive_frame(decoder.get(), output.get()) < 0)
        return Status::failure("The " + name + " decoder gives no picture back.");
    if (output->width != width || output->height != height)
        return Status::failure("The " + name + " decoder gives a picture of another size.");
    clib::AvFrame back = allocatedFrame(AV_PIX_FMT_BGR24, width, height);
    if (!back || !convertPicture(output.get(), back.get()))
        return Status::failure("Cannot convert the " + name + " decoder's picture.");

    // The middle of each quarter, away from the edges where chroma and blocks blur.
    for (int q = 0; q < 4; ++q) {
        const int x = (q % 2) * width / 2 + width / 4, y = (q / 2) * height / 2 + height / 4;
        const uint8_t* got = back->data[0] + y * back->linesize[0] + x * 3;
        for (int channel = 0; channel < 3; ++channel)
            if (std::abs(int(got[channel]) - int(kTestColors[q][channel])) > kTestTolerance)
                return Status::failure("The " + name + " decoder gives wrong colours back.");
    }
    return {};
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
