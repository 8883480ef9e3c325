#include "encode/mpeg/mpeg_video_encoder.h"

#include "clib/ffmpeg_encode.h"

namespace swivio {

AVRational mpegSampleAspect(const MpegOutputPreset& preset) {
    AVRational aspect{1, 1};
    av_reduce(&aspect.num, &aspect.den, int64_t(kMpegDisplayAspectNum) * preset.height,
              int64_t(kMpegDisplayAspectDen) * preset.width, 1 << 16);
    return aspect;
}

void configureMpegVideo(AVCodecContext* c, const MpegOutputPreset& preset, AVCodecID codecId,
                        AVDictionary** options) {
    c->codec_type = AVMEDIA_TYPE_VIDEO;
    c->codec_id = codecId;
    c->bit_rate = preset.videoBitRate;
    c->rc_max_rate = preset.videoMaxRate;
    // A peak rate equal to the average one is a constant-rate stream (VCD): the encoder then
    // needs the same floor, and stuffs simple pictures up to it.
    if (preset.videoMaxRate == preset.videoBitRate)
        c->rc_min_rate = preset.videoBitRate;
    c->rc_buffer_size = preset.videoBufferBits;
    c->width = preset.width;
    c->height = preset.height;
    // One tick per picture: presentation times count frames.
    c->time_base = AVRational{preset.frameRateDen, preset.frameRateNum};
    c->framerate = AVRational{preset.frameRateNum, preset.frameRateDen};
    c->sample_aspect_ratio = mpegSampleAspect(preset);
    c->gop_size = preset.gopSize;
    c->max_b_frames = preset.maxBFrames;
    c->pix_fmt = AV_PIX_FMT_YUV420P;
    if (codecId == AV_CODEC_ID_MPEG1VIDEO)
        c->mb_decision = FF_MB_DECISION_RD;
    if (preset.scanOffset)
        av_dict_set(options, "scan_offset", "1", 0);
}

bool MpegVideoEncoder::open(const MpegOutputPreset& preset, AVCodecID codecId, std::string& error) {
    const AVCodec* codec = avcodec_find_encoder(codecId);
    if (!codec) {
        error = std::string("no encoder for ") + avcodec_get_name(codecId);
        return false;
    }
    m_codec.reset(avcodec_alloc_context3(codec));
    m_packet.reset(av_packet_alloc());
    if (!m_codec || !m_packet) {
        error = "out of memory for the video encoder";
        return false;
    }
    m_width = preset.width;
    m_height = preset.height;

    AVCodecContext* c = m_codec.get();
    AVDictionary* options = nullptr;
    configureMpegVideo(c, preset, codecId, &options);
    int rc = avcodec_open2(c, codec, &options);
    av_dict_free(&options);
    if (rc < 0) {
        error = std::string("cannot open the ") + codec->name +
                " encoder: " + clib::ffmpegErrorText(rc);
        return false;
    }

    for (clib::AvFrame& picture : m_pictures) {
        picture.reset(av_frame_alloc());
        if (!picture) {
            error = "out of memory for the YUV pictures";
            return false;
        }
        picture->format = AV_PIX_FMT_YUV420P;
        picture->width = m_width;
        picture->height = m_height;
        rc = av_frame_get_buffer(picture.get(), 0);
        if (rc < 0) {
            error = "cannot allocate the YUV pictures: " + clib::ffmpegErrorText(rc);
            return false;
        }
    }
    // Same size in and out: libswscale takes its direct BGR24 to 4:2:0 path.
    m_scaler.reset(sws_getContext(m_width, m_height, AV_PIX_FMT_BGR24, m_width, m_height,
                                  AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr, nullptr, nullptr));
    if (!m_scaler) {
        error = "cannot convert BGR24 pictures to YUV 4:2:0";
        return false;
    }
    return true;
}

bool MpegVideoEncoder::encode(const uint8_t* bgrBottomUp, int64_t pts, const PacketSink& sink,
                              std::string& error) {
    AVFrame* picture = nullptr;
    for (clib::AvFrame& candidate : m_pictures) {
        if (av_frame_is_writable(candidate.get())) {
            picture = candidate.get();
            break;
        }
    }
    if (!picture) {
        // All still referenced by the encoder: give the first one new buffers.
        picture = m_pictures[0].get();
        const int rc = av_frame_make_writable(picture);
        if (rc < 0) {
            error = "cannot reuse the YUV picture: " + clib::ffmpegErrorText(rc);
            return false;
        }
    }
    // Starting at the last stored row with a negative stride reads the frame top row first.
    const int stride = m_width * 3;
    const uint8_t* src[1] = {bgrBottomUp + static_cast<std::ptrdiff_t>(m_height - 1) * stride};
    const int srcStride[1] = {-stride};
    sws_scale(m_scaler.get(), src, srcStride, 0, m_height, picture->data, picture->linesize);

    picture->pts = pts;
    return exchange(picture, sink, error, "the video encoder refused a picture");
}

bool MpegVideoEncoder::flush(const PacketSink& sink, std::string& error) {
    return exchange(nullptr, sink, error, "cannot flush the video encoder");
}

bool MpegVideoEncoder::exchange(const AVFrame* picture, const PacketSink& sink, std::string& error,
                                const char* refused) {
    const clib::EncodeStatus status =
        clib::encodeFrame(m_codec.get(), picture, m_packet.get(), [&](AVPacket& packet) {
            if (packet.duration == 0)
                packet.duration = 1;
            return sink(packet);
        });
    return status.report(error, refused, "the video encoder failed");
}

} // namespace swivio
