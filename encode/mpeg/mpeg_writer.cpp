#include "encode/mpeg/mpeg_writer.h"

#include <cstring>
#include <filesystem>
#include <system_error>

namespace swivio {

namespace {

// The multiplexer sizes its buffers and rates from the encoder's decoder-buffer model, which
// the encoder publishes as coded side data.
bool copyBufferModel(const AVCodecContext* codec, AVStream* stream) {
    for (int i = 0; i < codec->nb_coded_side_data; ++i) {
        const AVPacketSideData& side = codec->coded_side_data[i];
        if (side.type != AV_PKT_DATA_CPB_PROPERTIES)
            continue;
        uint8_t* copy = av_stream_new_side_data(stream, side.type, side.size);
        if (!copy)
            return false;
        std::memcpy(copy, side.data, side.size);
    }
    return true;
}

// MPEG-1 systems and MPEG-2 program streams end with this code. libavformat leaves it out
// (it eases joining streams); without it a stream has no defined end, and a file with no
// pictures at all would be empty.
constexpr uint32_t kProgramEndCode = 0x000001B9;

} // namespace

MpegWriter::~MpegWriter() {
    if (isOpen())
        close();
}

bool MpegWriter::fail(std::string message) {
    if (m_error.empty())
        m_error = std::move(message);
    return false;
}

bool MpegWriter::selectPreset(int mpegType) {
    const MpegOutputPreset* preset = mpegPreset(mpegType);
    if (!preset || isOpen())
        return false;
    m_preset = preset;
    return true;
}

bool MpegWriter::open(const std::string& path, const std::string& soundPath) {
    if (isOpen())
        return fail("the MPEG writer is already open");
    m_error.clear();
    m_framesWritten = 0;
    m_sourceEnded = false;
    m_soundEnded = false;
    if (!m_preset)
        return fail("no MPEG type selected");

    const AVOutputFormat* format = av_guess_format(m_preset->muxer, nullptr, nullptr);
    if (!format)
        format = av_guess_format("mpeg", nullptr, nullptr);
    if (!format)
        return fail("this FFmpeg has no MPEG program-stream multiplexer");

    // The "file:" prefix keeps a name such as "http:x.mpg" a plain file name.
    const std::string url = "file:" + path;
    AVFormatContext* ctx = nullptr;
    int rc = avformat_alloc_output_context2(&ctx, format, nullptr, url.c_str());
    m_output.reset(ctx);
    if (rc < 0 || !ctx) {
        release();
        return fail("cannot set up the MPEG multiplexer: " + clib::ffmpegErrorText(rc));
    }
    ctx->packet_size = static_cast<unsigned>(m_preset->packetSize);

    if (!openStreams(format, soundPath)) {
        release();
        return false;
    }

    if (!(format->flags & AVFMT_NOFILE)) {
        rc = avio_open(&ctx->pb, url.c_str(), AVIO_FLAG_WRITE);
        if (rc < 0) {
            release();
            return fail("cannot create " + path + ": " + clib::ffmpegErrorText(rc));
        }
    }
    AVDictionary* options = nullptr;
    if (m_preset->muxRate > 0)
        av_dict_set_int(&options, "muxrate", m_preset->muxRate, 0);
    rc = avformat_write_header(ctx, &options);
    av_dict_free(&options);
    if (rc < 0) {
        release();
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
        return fail("cannot start the MPEG file " + path + ": " + clib::ffmpegErrorText(rc));
    }
    return true;
}

bool MpegWriter::openStreams(const AVOutputFormat* format, const std::string& soundPath) {
    AVFormatContext* ctx = m_output.get();
    if (format->video_codec == AV_CODEC_ID_NONE)
        return fail(std::string("the ") + format->name + " multiplexer takes no video");

    m_video = std::make_unique<MpegVideoEncoder>();
    std::string error;
    if (!m_video->open(*m_preset, format->video_codec, error))
        return fail(error);
    m_videoStream = avformat_new_stream(ctx, nullptr);
    if (!m_videoStream)
        return fail("cannot add the video stream");
    m_videoStream->time_base = m_video->context()->time_base;
    int rc = avcodec_parameters_from_context(m_videoStream->codecpar, m_video->context());
    if (rc < 0)
        return fail("cannot describe the video stream: " + clib::ffmpegErrorText(rc));
    if (!copyBufferModel(m_video->context(), m_videoStream))
        return fail("out of memory for the video stream");
    m_videoSink = [this](AVPacket& p) { return writePacket(p, m_video->context(), m_videoStream); };

    if (soundPath.empty())
        return true;
    const AVCodecID audioCodec =
        m_preset->audioCodec == MpegAudioCodec::Ac3 ? AV_CODEC_ID_AC3 : format->audio_codec;
    if (audioCodec == AV_CODEC_ID_NONE)
        return fail(std::string("the ") + format->name + " multiplexer takes no sound");
    m_audio = std::make_unique<MpegAudioEncoder>();
    if (!m_audio->open(audioCodec, m_preset->sampleRate, m_preset->audioBitRate, error))
        return fail(error);
    m_sound = openMpegSoundSource(soundPath, error);
    if (!m_sound)
        return fail(error);
    m_audioStream = avformat_new_stream(ctx, nullptr);
    if (!m_audioStream)
        return fail("cannot add the sound stream");
    m_audioStream->time_base = m_audio->context()->time_base;
    rc = avcodec_parameters_from_context(m_audioStream->codecpar, m_audio->context());
    if (rc < 0)
        return fail("cannot describe the sound stream: " + clib::ffmpegErrorText(rc));
    m_audioSink = [this](AVPacket& p) { return writePacket(p, m_audio->context(), m_audioStream); };
    return true;
}

bool MpegWriter::writePacket(AVPacket& packet, const AVCodecContext* codec, AVStream* stream) {
    av_packet_rescale_ts(&packet, codec->time_base, stream->time_base);
    packet.stream_index = stream->index;
    const int rc = av_interleaved_write_frame(m_output.get(), &packet);
    if (rc < 0)
        return fail("cannot write to the MPEG file: " + clib::ffmpegErrorText(rc));
    return true;
}

bool MpegWriter::writeFrame(std::span<const uint8_t> frame) {
    if (!isOpen())
        return fail("the MPEG writer is not open");
    const std::size_t expected =
        static_cast<std::size_t>(m_preset->width) * static_cast<std::size_t>(m_preset->height) * 3;
    if (frame.size() != expected)
        return fail("a frame of " + std::to_string(frame.size()) + " bytes does not fit " +
                    m_preset->name + " (" + std::to_string(expected) + " bytes)");
    std::string error;
    if (!m_video->encode(frame.data(), m_framesWritten, m_videoSink, error))
        return fail(error);
    ++m_framesWritten;
    if (m_audio)
        writeSoundUpToVideo();
    return true;
}

void MpegWriter::writeSoundUpToVideo() {
    const AVRational soundTime{1, m_audio->context()->sample_rate};
    const AVRational videoTime = m_video->context()->time_base;
    while (!m_soundEnded &&
           av_compare_ts(m_audio->samplesCoded(), soundTime, m_framesWritten, videoTime) < 0) {
        if (!writeSoundFrame())
            m_soundEnded = true;
    }
}

bool MpegWriter::writeSoundFrame() {
    std::string error;
    while (!m_sourceEnded && m_audio->queuedSamples() < m_audio->frameSize()) {
        SoundChunk chunk;
        if (!m_sound->read(chunk)) {
            // The converter's delay line still holds the last few samples.
            m_sourceEnded = true;
            if (!m_audio->drainConverter(error))
                return fail(error);
            break;
        }
        if (!m_audio->append(chunk, error))
            return fail(error);
    }
    // The last frame of a sound is completed with silence rather than dropped.
    if (m_audio->queuedSamples() == 0)
        return false;
    if (!m_audio->encodeFrame(m_audioSink, error))
        return error.empty() ? false : fail(error);
    return true;
}

bool MpegWriter::close() {
    if (!isOpen())
        return m_error.empty();
    std::string error;
    if (!m_video->flush(m_videoSink, error) && !error.empty())
        fail(error);
    if (m_audio && !m_audio->flush(m_audioSink, error) && !error.empty())
        fail(error);
    AVFormatContext* ctx = m_output.get();
    int rc = av_write_trailer(ctx);
    if (rc < 0)
        fail("cannot complete the MPEG file: " + clib::ffmpegErrorText(rc));
    if (ctx->pb) {
        avio_wb32(ctx->pb, kProgramEndCode);
        avio_flush(ctx->pb);
        if (ctx->pb->error < 0)
            fail("cannot write to the MPEG file: " + clib::ffmpegErrorText(ctx->pb->error));
        rc = avio_closep(&ctx->pb);
        if (rc < 0)
            fail("cannot close the MPEG file: " + clib::ffmpegErrorText(rc));
    }
    release();
    return m_error.empty();
}

void MpegWriter::release() {
    // The sinks point at the streams: drop them first.
    m_videoSink = nullptr;
    m_audioSink = nullptr;
    m_sound.reset();
    m_audio.reset();
    m_video.reset();
    m_videoStream = nullptr;
    m_audioStream = nullptr;
    m_output.reset();
}

} // namespace swivio
