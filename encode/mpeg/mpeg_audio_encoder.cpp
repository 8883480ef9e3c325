#include "encode/mpeg/mpeg_audio_encoder.h"

#include "clib/ffmpeg_encode.h"

namespace swivio {

bool MpegAudioEncoder::open(AVCodecID codecId, int sampleRate, int bitRate, std::string& error) {
    const AVCodec* codec = avcodec_find_encoder(codecId);
    if (!codec) {
        error = std::string("no encoder for ") + avcodec_get_name(codecId);
        return false;
    }
    return open(codec, sampleRate, bitRate, false, error);
}

bool MpegAudioEncoder::open(const AVCodec* codec, int sampleRate, int bitRate, bool globalHeader,
                            std::string& error) {
    const AVCodecID codecId = codec->id;
    if (!codec->sample_fmts) {
        error = std::string("no encoder for ") + avcodec_get_name(codecId);
        return false;
    }
    m_codec.reset(avcodec_alloc_context3(codec));
    m_frame.reset(av_frame_alloc());
    m_packet.reset(av_packet_alloc());
    if (!m_codec || !m_frame || !m_packet) {
        error = "out of memory for the audio encoder";
        return false;
    }
    AVCodecContext* c = m_codec.get();
    c->codec_type = AVMEDIA_TYPE_AUDIO;
    c->codec_id = codecId;
    c->bit_rate = bitRate;
    c->sample_rate = sampleRate;
    c->time_base = AVRational{1, sampleRate};
    // The first format an encoder lists is its native one (S16 for layer II, planar float
    // for AC-3).
    c->sample_fmt = codec->sample_fmts[0];
    av_channel_layout_uninit(&c->ch_layout);
    c->ch_layout = AV_CHANNEL_LAYOUT_STEREO;
    if (globalHeader)
        c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    int rc = avcodec_open2(c, codec, nullptr);
    if (rc < 0) {
        error = std::string("cannot open the ") + codec->name +
                " encoder: " + clib::ffmpegErrorText(rc);
        return false;
    }
    m_frameSize = c->frame_size > 0 ? c->frame_size : 1152;
    m_queue.reset(av_audio_fifo_alloc(c->sample_fmt, 2, m_frameSize * 4));
    if (!m_queue) {
        error = "out of memory for the sound queue";
        return false;
    }
    m_frame->format = c->sample_fmt;
    m_frame->nb_samples = m_frameSize;
    m_frame->sample_rate = sampleRate;
    rc = av_channel_layout_copy(&m_frame->ch_layout, &c->ch_layout);
    if (rc >= 0)
        rc = av_frame_get_buffer(m_frame.get(), 0);
    if (rc < 0) {
        error = "cannot allocate the sound frame: " + clib::ffmpegErrorText(rc);
        return false;
    }
    return true;
}

int MpegAudioEncoder::queuedSamples() const {
    return m_queue ? av_audio_fifo_size(m_queue.get()) : 0;
}

bool MpegAudioEncoder::startConverter(const SoundChunk& chunk, std::string& error) {
    if (m_converter && !drainConverter(error))
        return false;
    m_converter.reset();
    AVChannelLayout inLayout{};
    av_channel_layout_default(&inLayout, chunk.channels);
    SwrContext* swr = nullptr;
    int rc =
        swr_alloc_set_opts2(&swr, &m_codec->ch_layout, m_codec->sample_fmt, m_codec->sample_rate,
                            &inLayout, chunk.format, chunk.sampleRate, 0, nullptr);
    av_channel_layout_uninit(&inLayout);
    m_converter.reset(swr);
    if (rc >= 0)
        rc = swr_init(swr);
    if (rc < 0) {
        error = "cannot convert sound of " + std::to_string(chunk.sampleRate) + " Hz, " +
                std::to_string(chunk.channels) + " channels: " + clib::ffmpegErrorText(rc);
        m_converter.reset();
        return false;
    }
    m_sourceRate = chunk.sampleRate;
    m_sourceChannels = chunk.channels;
    m_sourceFormat = chunk.format;
    return true;
}

bool MpegAudioEncoder::convert(const uint8_t* const* in, int inSamples, std::string& error) {
    const int capacity = swr_get_out_samples(m_converter.get(), inSamples);
    if (capacity < 0) {
        error = "sound conversion failed: " + clib::ffmpegErrorText(capacity);
        return false;
    }
    if (capacity == 0)
        return true;
    const bool planar = av_sample_fmt_is_planar(m_codec->sample_fmt);
    const int planes = planar ? 2 : 1;
    const int planeBytes =
        capacity * av_get_bytes_per_sample(m_codec->sample_fmt) * (planar ? 1 : 2);
    uint8_t* out[2] = {nullptr, nullptr};
    for (int p = 0; p < planes; ++p) {
        if (m_converted[p].size() < static_cast<std::size_t>(planeBytes))
            m_converted[p].resize(static_cast<std::size_t>(planeBytes));
        out[p] = m_converted[p].data();
    }
    // swr_convert only reads the input planes; its prototype predates const pointers.
    const uint8_t* inPlanes[2] = {in ? in[0] : nullptr, in ? in[1] : nullptr};
    const int made =
        swr_convert(m_converter.get(), out, capacity, in ? inPlanes : nullptr, inSamples);
    if (made < 0) {
        error = "sound conversion failed: " + clib::ffmpegErrorText(made);
        return false;
    }
    if (made > 0 &&
        av_audio_fifo_write(m_queue.get(), reinterpret_cast<void**>(out), made) < made) {
        error = "out of memory for the sound queue";
        return false;
    }
    return true;
}

bool MpegAudioEncoder::append(const SoundChunk& chunk, std::string& error) {
    if (chunk.samples <= 0)
        return true;
    if (!m_converter || chunk.sampleRate != m_sourceRate || chunk.channels != m_sourceChannels ||
        chunk.format != m_sourceFormat) {
        if (!startConverter(chunk, error))
            return false;
    }
    return convert(chunk.planes, chunk.samples, error);
}

bool MpegAudioEncoder::drainConverter(std::string& error) {
    if (!m_converter)
        return true;
    // With no input, swr_convert hands out what its filter still holds.
    return convert(nullptr, 0, error);
}

bool MpegAudioEncoder::encodeFrame(const PacketSink& sink, std::string& error) {
    int rc = av_frame_make_writable(m_frame.get());
    if (rc < 0) {
        error = "cannot reuse the sound frame: " + clib::ffmpegErrorText(rc);
        return false;
    }
    const int got =
        av_audio_fifo_read(m_queue.get(), reinterpret_cast<void**>(m_frame->data), m_frameSize);
    if (got < 0) {
        error = "cannot read the sound queue: " + clib::ffmpegErrorText(got);
        return false;
    }
    if (got < m_frameSize)
        av_samples_set_silence(m_frame->data, got, m_frameSize - got, 2, m_codec->sample_fmt);
    m_frame->pts = m_samplesCoded;
    m_samplesCoded += m_frameSize;
    return exchange(m_frame.get(), sink, error, "the sound encoder refused a frame");
}

bool MpegAudioEncoder::flush(const PacketSink& sink, std::string& error) {
    return exchange(nullptr, sink, error, "cannot flush the sound encoder");
}

bool MpegAudioEncoder::exchange(const AVFrame* frame, const PacketSink& sink, std::string& error,
                                const char* refused) {
    const clib::EncodeStatus status =
        clib::encodeFrame(m_codec.get(), frame, m_packet.get(), [&](AVPacket& packet) {
            packet.flags |= AV_PKT_FLAG_KEY;
            return sink(packet);
        });
    return status.report(error, refused, "the sound encoder failed");
}

} // namespace swivio
