#pragma once

// The steps the MPEG writer and the MP4/MKV/WebM writer share around libavformat: adding a
// coded stream, writing its packets, keeping the sound up with the pictures, and ending the
// file. `what` names the file in messages ("MPEG file", "video file").

#include <cstdint>
#include <functional>
#include <string>

#include "clib/ffmpeg_handles.h"
#include "encode/mpeg/mpeg_audio_encoder.h"
#include "encode/mpeg/mpeg_sound_source.h"

namespace swivio {

// Adds a stream that carries what `codec` codes, in its time base; null with `error` set
// when libavformat will not. `kind` ("video", "sound") names it in the message.
AVStream* addCodedStream(AVFormatContext* output, const AVCodecContext* codec, const char* kind,
                         std::string& error);

// Writes a packet of `codec` (in its time base) into `stream`, interleaved; false with
// `error` set on failure.
bool writeCodedPacket(AVFormatContext* output, AVPacket& packet, const AVCodecContext* codec,
                      AVStream* stream, const char* what, std::string& error);

// Writes the trailer and closes the file the writer opened, passing each failure to `fail`
// in the order met. True when the context had a file of its own to close.
bool endMuxedFile(AVFormatContext* output, const char* what,
                  const std::function<void(std::string)>& fail);

// The sound coded beside the pictures: after each picture, sound frames up to its time.
class SoundFeed {
public:
    // Starts afresh on `audio`, reading `source` and handing packets to `sink`; all three
    // outlive the feed's use.
    void start(MpegAudioEncoder* audio, MpegSoundSource* source, const PacketSink* sink);
    // Codes sound frames until the sound coded reaches `pictures` pictures of `pictureTime`
    // or the sound ends (the last frame completed with silence). A failure ends the sound:
    // false, with `error` set.
    bool catchUp(int64_t pictures, AVRational pictureTime, std::string& error);

private:
    bool codeFrame(std::string& error);

    MpegAudioEncoder* m_audio = nullptr;
    MpegSoundSource* m_source = nullptr;
    const PacketSink* m_sink = nullptr;
    bool m_sourceEnded = false;
    bool m_soundEnded = false;
};

} // namespace swivio
