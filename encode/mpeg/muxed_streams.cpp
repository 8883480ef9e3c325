#include "encode/mpeg/muxed_streams.h"

namespace swivio {

AVStream* addCodedStream(AVFormatContext* output, const AVCodecContext* codec, const char* kind,
                         std::string& error) {
    AVStream* stream = avformat_new_stream(output, nullptr);
    if (!stream) {
        error = std::string("cannot add the ") + kind + " stream";
        return nullptr;
    }
    stream->time_base = codec->time_base;
    const int rc = avcodec_parameters_from_context(stream->codecpar, codec);
    if (rc < 0) {
        error =
            std::string("cannot describe the ") + kind + " stream: " + clib::ffmpegErrorText(rc);
        return nullptr;
    }
    return stream;
}

bool writeCodedPacket(AVFormatContext* output, AVPacket& packet, const AVCodecContext* codec,
                      AVStream* stream, const char* what, std::string& error) {
    av_packet_rescale_ts(&packet, codec->time_base, stream->time_base);
    packet.stream_index = stream->index;
    const int rc = av_interleaved_write_frame(output, &packet);
    if (rc < 0) {
        error = std::string("cannot write to the ") + what + ": " + clib::ffmpegErrorText(rc);
        return false;
    }
    return true;
}

bool endMuxedFile(AVFormatContext* output, const char* what,
                  const std::function<void(std::string)>& fail) {
    const std::string file = what;
    int rc = av_write_trailer(output);
    if (rc < 0)
        fail("cannot complete the " + file + ": " + clib::ffmpegErrorText(rc));
    if (!output->pb)
        return false;
    avio_flush(output->pb);
    if (output->pb->error < 0)
        fail("cannot write to the " + file + ": " + clib::ffmpegErrorText(output->pb->error));
    rc = avio_closep(&output->pb);
    if (rc < 0)
        fail("cannot close the " + file + ": " + clib::ffmpegErrorText(rc));
    return true;
}

void SoundFeed::start(MpegAudioEncoder* audio, MpegSoundSource* source, const PacketSink* sink) {
    m_audio = audio;
    m_source = source;
    m_sink = sink;
    m_sourceEnded = m_soundEnded = false;
}

bool SoundFeed::catchUp(int64_t pictures, AVRational pictureTime, std::string& error) {
    if (!m_audio)
        return true;
    const AVRational soundTime{1, m_audio->context()->sample_rate};
    while (!m_soundEnded &&
           av_compare_ts(m_audio->samplesCoded(), soundTime, pictures, pictureTime) < 0) {
        if (!codeFrame(error)) {
            m_soundEnded = true;
            return error.empty();
        }
    }
    return true;
}

bool SoundFeed::codeFrame(std::string& error) {
    while (!m_sourceEnded && m_audio->queuedSamples() < m_audio->frameSize()) {
        SoundChunk chunk;
        if (!m_source->read(chunk)) {
            // The converter's delay line still holds the last few samples.
            m_sourceEnded = true;
            if (!m_audio->drainConverter(error))
                return false;
            break;
        }
        if (!m_audio->append(chunk, error))
            return false;
    }
    // The last frame of a sound is completed with silence rather than dropped.
    if (m_audio->queuedSamples() == 0)
        return false;
    return m_audio->encodeFrame(*m_sink, error);
}

} // namespace swivio
