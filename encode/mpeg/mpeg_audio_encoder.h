#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "clib/ffmpeg_handles.h"
#include "encode/mpeg/mpeg_sound_source.h"
#include "encode/mpeg/mpeg_video_encoder.h"

namespace swivio {

// Codes stereo sound at a fixed rate (MPEG audio layer II or AC-3). Source samples of any rate,
// channel count and integer format are converted with libswresample into a queue in the
// encoder's own sample format; frames of the encoder's frame size are coded from the queue.
class MpegAudioEncoder {
public:
    [[nodiscard]] bool open(AVCodecID codecId, int sampleRate, int bitRate, std::string& error);
    // The same with a chosen encoder; `globalHeader` puts the codec's setup in the stream's
    // header rather than in each packet (MP4, Matroska).
    [[nodiscard]] bool open(const AVCodec* codec, int sampleRate, int bitRate, bool globalHeader,
                            std::string& error);

    AVCodecContext* context() const { return m_codec.get(); }
    int frameSize() const { return m_frameSize; }
    // Converted samples per channel waiting to be coded.
    int queuedSamples() const;
    // Samples per channel coded so far: the sound's time is this over the sample rate.
    int64_t samplesCoded() const { return m_samplesCoded; }

    // Converts one chunk and queues it. A change of source rate or layout first empties the
    // old converter into the queue, then starts a new one.
    [[nodiscard]] bool append(const SoundChunk& chunk, std::string& error);
    // Empties the converter's delay line into the queue (at the end of the source).
    [[nodiscard]] bool drainConverter(std::string& error);

    // Codes one frame from the queue; when fewer samples are queued, the frame is completed
    // with silence. Its packets go to `sink`.
    [[nodiscard]] bool encodeFrame(const PacketSink& sink, std::string& error);
    // Hands over what the encoder still holds.
    [[nodiscard]] bool flush(const PacketSink& sink, std::string& error);

private:
    bool startConverter(const SoundChunk& chunk, std::string& error);
    bool convert(const uint8_t* const* in, int inSamples, std::string& error);
    // Sends `frame` (null: the end) and hands the packets to `sink`; an encoder failure
    // fills `error`, the send one starting with `refused`.
    bool exchange(const AVFrame* frame, const PacketSink& sink, std::string& error,
                  const char* refused);

    clib::AvCodecContext m_codec;
    clib::SwrContextHandle m_converter;
    clib::AvAudioFifo m_queue;
    clib::AvFrame m_frame;
    clib::AvPacket m_packet;
    std::vector<uint8_t> m_converted[2]; // one per plane of the encoder's format
    int m_frameSize = 0;
    int64_t m_samplesCoded = 0;
    // The source layout the converter was made for.
    int m_sourceRate = 0;
    int m_sourceChannels = 0;
    AVSampleFormat m_sourceFormat = AV_SAMPLE_FMT_NONE;
};

} // namespace swivio
