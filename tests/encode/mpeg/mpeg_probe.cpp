#include "tests/encode/mpeg/mpeg_probe.h"

#include <algorithm>
#include <limits>

#include "clib/ffmpeg_handles.h"

namespace swivio::testkit {

namespace {

clib::AvInputContext openInput(const std::string& path, std::string* error) {
    AVFormatContext* ctx = nullptr;
    int rc = avformat_open_input(&ctx, ("file:" + path).c_str(), nullptr, nullptr);
    if (rc < 0) {
        if (error)
            *error = clib::ffmpegErrorText(rc);
        return nullptr;
    }
    clib::AvInputContext input(ctx);
    rc = avformat_find_stream_info(ctx, nullptr);
    if (rc < 0) {
        if (error)
            *error = clib::ffmpegErrorText(rc);
        return nullptr;
    }
    return input;
}

clib::AvCodecContext openDecoder(const AVStream* st) {
    const AVCodec* codec = avcodec_find_decoder(st->codecpar->codec_id);
    if (!codec)
        return nullptr;
    clib::AvCodecContext c(avcodec_alloc_context3(codec));
    if (!c || avcodec_parameters_to_context(c.get(), st->codecpar) < 0 ||
        avcodec_open2(c.get(), codec, nullptr) < 0)
        return nullptr;
    return c;
}

} // namespace

const ProbedStream* ProbedFile::video() const {
    for (const auto& s : streams)
        if (s.video)
            return &s;
    return nullptr;
}

const ProbedStream* ProbedFile::audio() const {
    for (const auto& s : streams)
        if (!s.video)
            return &s;
    return nullptr;
}

ProbedFile probeMpeg(const std::string& path) {
    ProbedFile result;
    clib::AvInputContext input = openInput(path, &result.error);
    if (!input)
        return result;
    result.opened = true;
    result.format = input->iformat->name;
    // Index of each file stream in result.streams; -1 for streams that are neither video nor
    // sound (a DVD's navigation packets).
    std::vector<int> slot(input->nb_streams, -1);
    std::vector<const AVStream*> kept;
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        const AVStream* st = input->streams[i];
        const AVMediaType type = st->codecpar->codec_type;
        if (type != AVMEDIA_TYPE_VIDEO && type != AVMEDIA_TYPE_AUDIO)
            continue;
        slot[i] = int(result.streams.size());
        kept.push_back(st);
        ProbedStream s;
        s.codec = avcodec_get_name(st->codecpar->codec_id);
        s.video = st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO;
        s.width = st->codecpar->width;
        s.height = st->codecpar->height;
        s.frameRate = av_q2d(st->r_frame_rate);
        s.frameRateNum = st->r_frame_rate.num;
        s.frameRateDen = st->r_frame_rate.den;
        const AVRational pixel =
            av_guess_sample_aspect_ratio(input.get(), input->streams[i], nullptr);
        if (s.video && pixel.num > 0 && pixel.den > 0 && s.height > 0)
            s.displayAspect = double(s.width) * av_q2d(pixel) / double(s.height);
        s.sampleRate = st->codecpar->sample_rate;
        s.channels = st->codecpar->ch_layout.nb_channels;
        result.streams.push_back(s);
    }
    std::vector<int64_t> first(kept.size(), std::numeric_limits<int64_t>::max());
    std::vector<int64_t> last(kept.size(), std::numeric_limits<int64_t>::min());
    // Pictures are stored in decoding order and several can share one time stamp: their
    // presentation times come from the decoder, one picture's duration each.
    std::vector<clib::AvCodecContext> pictureDecoders(kept.size());
    for (std::size_t i = 0; i < kept.size(); ++i)
        if (result.streams[i].video)
            pictureDecoders[i] = openDecoder(kept[i]);
    clib::AvFrame picture(av_frame_alloc());
    std::vector<int64_t> shown(kept.size(), AV_NOPTS_VALUE);
    auto takePictures = [&](std::size_t i) {
        const AVRational rate = kept[i]->r_frame_rate;
        const int64_t duration =
            rate.num > 0 ? av_rescale_q(1, av_inv_q(rate), kept[i]->time_base) : 0;
        while (avcodec_receive_frame(pictureDecoders[i].get(), picture.get()) >= 0) {
            // Pictures come out in presentation order: one without a time stamp (the decoder
            // cannot guess one for the last held-back picture) follows the one before.
            int64_t pts = picture->best_effort_timestamp;
            if (pts == AV_NOPTS_VALUE && shown[i] != AV_NOPTS_VALUE)
                pts = shown[i] + duration;
            shown[i] = pts;
            if (pts != AV_NOPTS_VALUE) {
                first[i] = std::min(first[i], pts);
                last[i] = std::max(last[i], pts + duration);
            }
            av_frame_unref(picture.get());
        }
    };
    clib::AvPacket packet(av_packet_alloc());
    while (av_read_frame(input.get(), packet.get()) >= 0) {
        // The demuxer may find streams as it reads; those are not among the kept ones.
        const auto index = std::size_t(packet->stream_index);
        const int at = index < slot.size() ? slot[index] : -1;
        const auto i = std::size_t(at);
        if (at >= 0) {
            ProbedStream& s = result.streams[i];
            ++s.packets;
            if (packet->flags & AV_PKT_FLAG_KEY)
                ++s.keyPackets;
            if (pictureDecoders[i]) {
                avcodec_send_packet(pictureDecoders[i].get(), packet.get());
                takePictures(i);
            } else if (packet->pts != AV_NOPTS_VALUE) {
                // Several sound frames can share one PES packet and so one time stamp; the
                // ones without follow the packet before.
                first[i] = std::min(first[i], packet->pts);
                last[i] = std::max(last[i], packet->pts + packet->duration);
            } else if (last[i] != std::numeric_limits<int64_t>::min()) {
                last[i] += packet->duration;
            }
        }
        av_packet_unref(packet.get());
    }
    for (std::size_t i = 0; i < kept.size(); ++i) {
        if (pictureDecoders[i]) {
            avcodec_send_packet(pictureDecoders[i].get(), nullptr);
            takePictures(i);
        }
    }
    for (std::size_t i = 0; i < result.streams.size(); ++i) {
        if (result.streams[i].packets == 0 || last[i] == std::numeric_limits<int64_t>::min())
            continue;
        const double tb = av_q2d(kept[i]->time_base);
        result.streams[i].start = double(first[i]) * tb;
        result.streams[i].end = double(last[i]) * tb;
    }
    return result;
}

std::vector<DecodedPicture> decodePictures(const std::string& path, int count) {
    std::vector<DecodedPicture> pictures;
    clib::AvInputContext input = openInput(path, nullptr);
    if (!input)
        return pictures;
    const int index = av_find_best_stream(input.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (index < 0)
        return pictures;
    clib::AvCodecContext decoder = openDecoder(input->streams[index]);
    clib::AvPacket packet(av_packet_alloc());
    clib::AvFrame frame(av_frame_alloc());
    if (!decoder)
        return pictures;
    auto take = [&]() {
        while (int(pictures.size()) < count &&
               avcodec_receive_frame(decoder.get(), frame.get()) >= 0) {
            DecodedPicture p;
            p.width = frame->width;
            p.height = frame->height;
            p.intra = frame->pict_type == AV_PICTURE_TYPE_I;
            p.rgb.resize(std::size_t(p.width) * p.height * 3);
            clib::SwsContextHandle sws(
                sws_getContext(p.width, p.height, AVPixelFormat(frame->format), p.width, p.height,
                               AV_PIX_FMT_RGB24, SWS_POINT, nullptr, nullptr, nullptr));
            uint8_t* dst[1] = {p.rgb.data()};
            const int dstStride[1] = {p.width * 3};
            sws_scale(sws.get(), frame->data, frame->linesize, 0, p.height, dst, dstStride);
            pictures.push_back(std::move(p));
            av_frame_unref(frame.get());
        }
    };
    while (int(pictures.size()) < count && av_read_frame(input.get(), packet.get()) >= 0) {
        if (packet->stream_index == index)
            avcodec_send_packet(decoder.get(), packet.get());
        av_packet_unref(packet.get());
        take();
    }
    avcodec_send_packet(decoder.get(), nullptr);
    take();
    return pictures;
}

DecodedSound decodeSound(const std::string& path) {
    DecodedSound sound;
    clib::AvInputContext input = openInput(path, nullptr);
    if (!input)
        return sound;
    const int index = av_find_best_stream(input.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (index < 0)
        return sound;
    clib::AvCodecContext decoder = openDecoder(input->streams[index]);
    if (!decoder)
        return sound;
    sound.sampleRate = decoder->sample_rate;
    clib::AvPacket packet(av_packet_alloc());
    clib::AvFrame frame(av_frame_alloc());
    auto take = [&]() {
        while (avcodec_receive_frame(decoder.get(), frame.get()) >= 0) {
            // Convert the first channel of whatever the decoder gives to float.
            const auto fmt = AVSampleFormat(frame->format);
            const bool planar = av_sample_fmt_is_planar(fmt);
            const int step = planar ? 1 : frame->ch_layout.nb_channels;
            for (int i = 0; i < frame->nb_samples; ++i) {
                const int at = i * step;
                float v = 0;
                switch (av_get_packed_sample_fmt(fmt)) {
                case AV_SAMPLE_FMT_S16:
                    v = reinterpret_cast<const int16_t*>(frame->data[0])[at] / 32768.0f;
                    break;
                case AV_SAMPLE_FMT_S32:
                    v = float(reinterpret_cast<const int32_t*>(frame->data[0])[at] / 2147483648.0);
                    break;
                case AV_SAMPLE_FMT_FLT:
                    v = reinterpret_cast<const float*>(frame->data[0])[at];
                    break;
                default:
                    break;
                }
                sound.left.push_back(v);
            }
            av_frame_unref(frame.get());
        }
    };
    while (av_read_frame(input.get(), packet.get()) >= 0) {
        if (packet->stream_index == index)
            avcodec_send_packet(decoder.get(), packet.get());
        av_packet_unref(packet.get());
        take();
    }
    avcodec_send_packet(decoder.get(), nullptr);
    take();
    return sound;
}

double toneFrequency(const std::vector<float>& samples, int sampleRate, std::size_t from,
                     std::size_t count) {
    if (from + count > samples.size() || count < 2 || sampleRate <= 0)
        return 0;
    int crossings = 0;
    for (std::size_t i = from + 1; i < from + count; ++i)
        if ((samples[i - 1] < 0) != (samples[i] < 0))
            ++crossings;
    return crossings / 2.0 * sampleRate / double(count);
}

} // namespace swivio::testkit
