#include "tests/support/flv_files.h"

#include <algorithm>
#include <cmath>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace swivio::testkit {

namespace {

struct Writer {
    AVFormatContext* format = nullptr;
    AVCodecContext* video = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* picture = nullptr;
    ~Writer() {
        av_frame_free(&picture);
        av_packet_free(&packet);
        avcodec_free_context(&video);
        if (format && format->pb)
            avio_closep(&format->pb);
        avformat_free_context(format);
    }
};

bool drain(Writer& w, AVStream* stream) {
    while (avcodec_receive_packet(w.video, w.packet) == 0) {
        av_packet_rescale_ts(w.packet, w.video->time_base, stream->time_base);
        w.packet->stream_index = stream->index;
        if (av_interleaved_write_frame(w.format, w.packet) < 0)
            return false;
    }
    return true;
}

// Speex packets of a 440 Hz tone lasting `seconds`, their times in milliseconds.
bool writeSpeexTone(AVFormatContext* format, AVStream* stream, AVCodecContext* speex,
                    double seconds) {
    AVFrame* frame = av_frame_alloc();
    AVPacket* packet = av_packet_alloc();
    bool ok = frame && packet;
    const auto total = int64_t(seconds * speex->sample_rate);
    for (int64_t done = 0; ok; done += speex->frame_size) {
        const bool last = done >= total;
        if (!last) {
            frame->nb_samples = speex->frame_size;
            frame->format = speex->sample_fmt;
            frame->sample_rate = speex->sample_rate;
            av_channel_layout_copy(&frame->ch_layout, &speex->ch_layout);
            ok = av_frame_get_buffer(frame, 0) >= 0;
            auto* samples = reinterpret_cast<int16_t*>(frame->data[0]);
            for (int i = 0; ok && i < speex->frame_size; ++i)
                samples[i] = int16_t(
                    8000 * std::sin(2 * M_PI * 440 * double(done + i) / speex->sample_rate));
            frame->pts = done;
        }
        ok = ok && avcodec_send_frame(speex, last ? nullptr : frame) >= 0;
        av_frame_unref(frame);
        while (ok && avcodec_receive_packet(speex, packet) == 0) {
            av_packet_rescale_ts(packet, speex->time_base, stream->time_base);
            packet->stream_index = stream->index;
            ok = av_interleaved_write_frame(format, packet) >= 0;
        }
        if (last)
            break;
    }
    av_packet_free(&packet);
    av_frame_free(&frame);
    return ok;
}

} // namespace

bool writeFlv(const std::string& path, const FlvRecipe& recipe) {
    Writer w;
    if (avformat_alloc_output_context2(&w.format, nullptr, "flv", path.c_str()) < 0)
        return false;
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_FLV1);
    if (!codec)
        return false;
    AVStream* vs = avformat_new_stream(w.format, nullptr);
    w.video = avcodec_alloc_context3(codec);
    w.video->width = recipe.width;
    w.video->height = recipe.height;
    w.video->pix_fmt = AV_PIX_FMT_YUV420P;
    w.video->time_base = AVRational{1, 1000};
    w.video->framerate = AVRational{recipe.rate, 1};
    w.video->gop_size = recipe.keyInterval;
    w.video->max_b_frames = 0;
    w.video->flags |= AV_CODEC_FLAG_QSCALE;
    w.video->global_quality = FF_QP2LAMBDA * 2;
    if (avcodec_open2(w.video, codec, nullptr) < 0 ||
        avcodec_parameters_from_context(vs->codecpar, w.video) < 0)
        return false;
    vs->time_base = AVRational{1, 1000};
    vs->avg_frame_rate = AVRational{recipe.rate, 1};
    AVStream* as = nullptr;
    AVCodecContext* speex = nullptr;
    struct SpeexOwner {
        AVCodecContext*& context;
        ~SpeexOwner() { avcodec_free_context(&context); }
    } speexOwner{speex};
    if (recipe.speexFramesPerPacket > 0) {
        const AVCodec* encoder = avcodec_find_encoder_by_name("libspeex");
        if (!encoder)
            return false;
        speex = avcodec_alloc_context3(encoder);
        speex->sample_rate = 16000;
        speex->sample_fmt = AV_SAMPLE_FMT_S16;
        speex->ch_layout = AV_CHANNEL_LAYOUT_MONO;
        speex->time_base = AVRational{1, 16000};
        AVDictionary* speexOptions = nullptr;
        av_dict_set_int(&speexOptions, "frames_per_packet", recipe.speexFramesPerPacket, 0);
        const int opened = avcodec_open2(speex, encoder, &speexOptions);
        av_dict_free(&speexOptions);
        as = avformat_new_stream(w.format, nullptr);
        if (opened < 0 || avcodec_parameters_from_context(as->codecpar, speex) < 0)
            return false;
        as->time_base = AVRational{1, 1000};
    } else if (recipe.sound) {
        as = avformat_new_stream(w.format, nullptr);
        as->codecpar->codec_type = AVMEDIA_TYPE_AUDIO;
        as->codecpar->codec_id = AV_CODEC_ID_PCM_S16LE;
        as->codecpar->sample_rate = 44100;
        as->codecpar->ch_layout = AV_CHANNEL_LAYOUT_STEREO;
        as->codecpar->bits_per_coded_sample = 16;
        as->time_base = AVRational{1, 1000};
    }
    AVDictionary* options = nullptr;
    if (!recipe.metadata)
        av_dict_set(&options, "flvflags", "no_metadata+no_duration_filesize", 0);
    if (avio_open(&w.format->pb, path.c_str(), AVIO_FLAG_WRITE) < 0 ||
        avformat_write_header(w.format, &options) < 0) {
        av_dict_free(&options);
        return false;
    }
    av_dict_free(&options);
    if (speex && !writeSpeexTone(w.format, as, speex, double(recipe.frames) / recipe.rate))
        return false;
    w.packet = av_packet_alloc();
    w.picture = av_frame_alloc();
    w.picture->format = AV_PIX_FMT_YUV420P;
    w.picture->width = recipe.width;
    w.picture->height = recipe.height;
    if (av_frame_get_buffer(w.picture, 0) < 0)
        return false;

    // Sound goes in 100 ms packets, written before the pictures they overlap.
    const int64_t soundSamples = int64_t(recipe.frames) * 44100 / recipe.rate;
    int64_t soundDone = 0;
    auto writeSoundUntil = [&](int64_t ms) {
        while (as && !speex && soundDone < soundSamples && soundDone * 1000 / 44100 <= ms) {
            const int64_t count = std::min<int64_t>(4410, soundSamples - soundDone);
            AVPacket* p = av_packet_alloc();
            if (!p || av_new_packet(p, int(count * 4)) < 0) {
                av_packet_free(&p);
                return false;
            }
            auto* samples = reinterpret_cast<int16_t*>(p->data);
            for (int64_t i = 0; i < count; ++i) {
                const int frame = int((soundDone + i) * recipe.rate / 44100);
                samples[i * 2] = samples[i * 2 + 1] = flvSoundLevel(frame);
            }
            p->pts = p->dts = soundDone * 1000 / 44100;
            p->stream_index = as->index;
            p->flags |= AV_PKT_FLAG_KEY;
            soundDone += count;
            const bool ok = av_interleaved_write_frame(w.format, p) >= 0;
            av_packet_free(&p);
            if (!ok)
                return false;
        }
        return true;
    };
    for (int i = 0; i < recipe.frames; ++i) {
        const int ms = i < int(recipe.timesMs.size()) ? recipe.timesMs[std::size_t(i)]
                                                    : i * 1000 / recipe.rate;
        if (!writeSoundUntil(ms) || av_frame_make_writable(w.picture) < 0)
            return false;
        for (int y = 0; y < recipe.height; ++y)
            std::memset(w.picture->data[0] + y * w.picture->linesize[0], flvGrey(i),
                        std::size_t(recipe.width));
        for (int p = 1; p < 3; ++p)
            for (int y = 0; y < (recipe.height + 1) / 2; ++y)
                std::memset(w.picture->data[p] + y * w.picture->linesize[p], 128,
                            std::size_t((recipe.width + 1) / 2));
        w.picture->pts = ms;
        if (avcodec_send_frame(w.video, w.picture) < 0 || !drain(w, vs))
            return false;
    }
    if (!writeSoundUntil(INT64_MAX / 2000) || avcodec_send_frame(w.video, nullptr) < 0 ||
        !drain(w, vs))
        return false;
    return av_write_trailer(w.format) >= 0;
}

} // namespace swivio::testkit
