#include "encode/video_file/video_file_codecs.h"

#include <algorithm>
#include <cmath>

namespace swivio {

namespace {

struct EncoderRow {
    const char* first;
    const char* second; // tried when the first is missing; may be null
};

EncoderRow videoEncoders(VideoFileCodec codec) {
    switch (codec) {
    case VideoFileCodec::H264:
        return {"libx264", nullptr};
    case VideoFileCodec::H265:
        return {"libx265", nullptr};
    case VideoFileCodec::Vp9:
        return {"libvpx-vp9", nullptr};
    case VideoFileCodec::Av1:
        // libaom takes any size; SVT-AV1 is faster but only where libaom is missing.
        return {"libaom-av1", "libsvtav1"};
    }
    return {"libx264", nullptr};
}

bool isX26x(const AVCodec* encoder) {
    const std::string name = encoder->name;
    return name == "libx264" || name == "libx265";
}

} // namespace

const char* videoFileCodecName(VideoFileCodec codec) {
    switch (codec) {
    case VideoFileCodec::H264:
        return "H.264";
    case VideoFileCodec::H265:
        return "H.265";
    case VideoFileCodec::Vp9:
        return "VP9";
    case VideoFileCodec::Av1:
        return "AV1";
    }
    return "?";
}

const AVCodec* findVideoEncoder(VideoFileCodec codec, std::string& error) {
    const EncoderRow row = videoEncoders(codec);
    const AVCodec* found = avcodec_find_encoder_by_name(row.first);
    if (!found && row.second)
        found = avcodec_find_encoder_by_name(row.second);
    if (!found)
        error = std::string("This FFmpeg cannot encode ") + videoFileCodecName(codec) +
                " video: it has no " + row.first + (row.second ? " or " : "") +
                (row.second ? row.second : "") + " encoder.";
    return found;
}

const AVCodec* findSoundEncoder(VideoFileSound sound, std::string& error) {
    // FFmpeg's own Opus encoder is experimental; libopus is the one to use.
    const char* name = sound == VideoFileSound::Opus ? "libopus" : "aac";
    const AVCodec* found = avcodec_find_encoder_by_name(name);
    if (!found)
        error = std::string("This FFmpeg cannot encode ") +
                (sound == VideoFileSound::Opus ? "Opus" : "AAC") + " sound: it has no " + name +
                " encoder.";
    return found;
}

int videoFileCrf(VideoFileCodec codec, int quality) {
    if (quality <= 0)
        return -1;
    quality = std::min(quality, 100);
    // x264 and x265 count 0 to 51, VP9 and AV1 0 to 63; the ends of each scale are either
    // lossless or unwatchable, so quality spans the useful middle.
    const bool h26x = codec == VideoFileCodec::H264 || codec == VideoFileCodec::H265;
    const int best = h26x ? 14 : 15;
    const int worst = h26x ? 45 : 60;
    return int(std::lround(worst - double(quality - 1) * (worst - best) / 99.0));
}

bool usesBt709(int width, int height) {
    return width >= 1280 || height >= 720;
}

void configureVideoFileEncoder(AVCodecContext* c, const AVCodec* encoder,
                               const VideoFileOptions& options, AVDictionary** encoderOptions) {
    c->codec_type = AVMEDIA_TYPE_VIDEO;
    c->codec_id = encoder->id;
    c->width = options.width;
    c->height = options.height;
    c->pix_fmt = AV_PIX_FMT_YUV420P;
    c->sample_aspect_ratio = AVRational{1, 1};
    const AVRational rate = av_d2q(options.frameRate, 100000);
    c->framerate = rate;
    // One tick per frame: presentation times count frames.
    c->time_base = av_inv_q(rate);
    // A key frame at least every ten seconds keeps seeking quick.
    c->gop_size = std::max(1, int(std::lround(options.frameRate * 10)));

    const bool hd = usesBt709(options.width, options.height);
    c->color_range = AVCOL_RANGE_MPEG;
    c->colorspace = hd ? AVCOL_SPC_BT709 : AVCOL_SPC_SMPTE170M;
    c->color_primaries = hd ? AVCOL_PRI_BT709 : AVCOL_PRI_SMPTE170M;
    c->color_trc = hd ? AVCOL_TRC_BT709 : AVCOL_TRC_SMPTE170M;

    const std::string name = encoder->name;
    int crf = videoFileCrf(options.codec, options.quality);
    if (crf < 0 && !isX26x(encoder))
        crf = 32; // libvpx and libaom would otherwise aim at a fixed, low bit rate
    if (crf >= 0) {
        av_dict_set_int(encoderOptions, "crf", crf, 0);
        c->bit_rate = 0;
    }
    const int speed = std::clamp(int(options.speed), 0, 2); // 0 fast, 1 medium, 2 slow
    if (isX26x(encoder)) {
        static const char* const kPresets[] = {"fast", "medium", "slow"};
        av_dict_set(encoderOptions, "preset", kPresets[speed], 0);
        if (name == "libx265")
            av_dict_set(encoderOptions, "x265-params", "log-level=error", 0);
    } else if (name == "libvpx-vp9") {
        static const int kCpuUsed[] = {4, 2, 1};
        av_dict_set(encoderOptions, "deadline", "good", 0);
        av_dict_set_int(encoderOptions, "cpu-used", kCpuUsed[speed], 0);
        av_dict_set_int(encoderOptions, "row-mt", 1, 0);
    } else if (name == "libaom-av1") {
        static const int kCpuUsed[] = {6, 5, 4};
        av_dict_set_int(encoderOptions, "cpu-used", kCpuUsed[speed], 0);
        av_dict_set_int(encoderOptions, "row-mt", 1, 0);
    } else if (name == "libsvtav1") {
        static const int kPresets[] = {10, 8, 6};
        av_dict_set_int(encoderOptions, "preset", kPresets[speed], 0);
    }
}

} // namespace swivio
