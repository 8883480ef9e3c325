#include "tests/cli/media_probe.h"

#include <algorithm>
#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

namespace swivio::testkit {

namespace {

struct FormatCloser {
    void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
struct CodecFreer {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFreer {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFreer {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};

std::unique_ptr<AVCodecContext, CodecFreer> openDecoder(AVStream* stream) {
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    if (!codec)
        return nullptr;
    std::unique_ptr<AVCodecContext, CodecFreer> ctx(avcodec_alloc_context3(codec));
    if (avcodec_parameters_to_context(ctx.get(), stream->codecpar) < 0 ||
        avcodec_open2(ctx.get(), codec, nullptr) < 0)
        return nullptr;
    return ctx;
}

} // namespace

MediaInfo probeMedia(const std::string& path, const std::vector<int>& keep) {
    MediaInfo info;
    av_log_set_level(AV_LOG_QUIET);
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0)
        return info;
    std::unique_ptr<AVFormatContext, FormatCloser> fmt(raw);
    if (avformat_find_stream_info(fmt.get(), nullptr) < 0)
        return info;
    info.opened = true;
    const int v = av_find_best_stream(fmt.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    const int a = av_find_best_stream(fmt.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    std::unique_ptr<AVCodecContext, CodecFreer> vdec, adec;
    if (v >= 0) {
        AVStream* s = fmt->streams[v];
        info.videoCodec = avcodec_get_name(s->codecpar->codec_id);
        info.width = s->codecpar->width;
        info.height = s->codecpar->height;
        info.frameRate = av_q2d(s->r_frame_rate);
        vdec = openDecoder(s);
    }
    if (a >= 0) {
        AVStream* s = fmt->streams[a];
        info.audioCodec = avcodec_get_name(s->codecpar->codec_id);
        info.sampleRate = s->codecpar->sample_rate;
        info.channels = s->codecpar->ch_layout.nb_channels;
        adec = openDecoder(s);
    }
    std::unique_ptr<AVFrame, FrameFreer> frame(av_frame_alloc());
    std::unique_ptr<AVPacket, PacketFreer> packet(av_packet_alloc());
    int64_t samples = 0;
    auto drain = [&](AVCodecContext* dec, bool video) {
        while (avcodec_receive_frame(dec, frame.get()) == 0) {
            if (!video) {
                samples += frame->nb_samples;
                continue;
            }
            if (std::find(keep.begin(), keep.end(), info.decodedFrames) != keep.end()) {
                SwsContext* sws = sws_getContext(frame->width, frame->height,
                                                 AVPixelFormat(frame->format), frame->width,
                                                 frame->height, AV_PIX_FMT_RGB24, SWS_POINT,
                                                 nullptr, nullptr, nullptr);
                // Pictures tagged BT.709 are read with its matrix (the default is BT.601).
                if (frame->colorspace == AVCOL_SPC_BT709) {
                    const int* matrix = sws_getCoefficients(SWS_CS_ITU709);
                    sws_setColorspaceDetails(sws, matrix,
                                             frame->color_range == AVCOL_RANGE_JPEG, matrix, 1, 0,
                                             1 << 16, 1 << 16);
                }
                std::vector<uint8_t> rgb(std::size_t(frame->width) * frame->height * 3);
                uint8_t* dst[4] = {rgb.data(), nullptr, nullptr, nullptr};
                int stride[4] = {frame->width * 3, 0, 0, 0};
                sws_scale(sws, frame->data, frame->linesize, 0, frame->height, dst, stride);
                sws_freeContext(sws);
                info.pictures.push_back(std::move(rgb));
            }
            ++info.decodedFrames;
        }
    };
    while (av_read_frame(fmt.get(), packet.get()) >= 0) {
        if (packet->stream_index == v && vdec) {
            avcodec_send_packet(vdec.get(), packet.get());
            drain(vdec.get(), true);
        } else if (packet->stream_index == a && adec) {
            avcodec_send_packet(adec.get(), packet.get());
            drain(adec.get(), false);
        }
        av_packet_unref(packet.get());
    }
    if (vdec) {
        avcodec_send_packet(vdec.get(), nullptr);
        drain(vdec.get(), true);
    }
    if (adec) {
        avcodec_send_packet(adec.get(), nullptr);
        drain(adec.get(), false);
    }
    if (info.sampleRate > 0)
        info.audioSeconds = double(samples) / info.sampleRate;
    return info;
}

uint32_t pictureColor(const MediaInfo& info, int picture, int x, int y) {
    const auto& p = info.pictures.at(std::size_t(picture));
    const uint8_t* px = p.data() + (std::size_t(y) * info.width + x) * 3;
    return uint32_t(px[0]) | (uint32_t(px[1]) << 8) | (uint32_t(px[2]) << 16);
}

} // namespace swivio::testkit
