#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "base/frame.h"
#include "base/result.h"
#include "clib/ffmpeg_handles.h"
#include "encode/frame_writer.h"
#include "encode/mpeg/mpeg_audio_encoder.h"
#include "encode/mpeg/mpeg_sound_source.h"
#include "encode/mpeg/muxed_streams.h"
#include "encode/video_file/video_file_codecs.h"

namespace swivio {

// Writes an MP4, MKV or WebM file: H.264, H.265, VP9 or AV1 video in 4:2:0, limited range,
// tagged BT.709 from 1280 x 720 up and BT.601 below, with optional stereo sound (AAC or
// Opus at 48 kHz) from a WAV or MP3 file. An MP4 file has its index in front, so that it
// plays while it downloads.
//
// The sound is kept just ahead of the video: after each picture, sound frames are coded until
// the sound's time reaches the end of that picture. A longer sound stops with the last
// picture; a shorter one leaves the rest of the video silent.
//
// The first failure is sticky in errorString(). Not thread safe: one thread drives a writer.
class VideoFileWriter {
public:
    VideoFileWriter() = default;
    ~VideoFileWriter();
    VideoFileWriter(const VideoFileWriter&) = delete;
    VideoFileWriter& operator=(const VideoFileWriter&) = delete;

    // Creates `path` (replacing a file there) with the options. False when any part fails
    // (a missing encoder, the sound file, the output file, the header); nothing then stays
    // open.
    [[nodiscard]] bool open(const std::string& path, const VideoFileOptions& options);
    bool isOpen() const { return m_output != nullptr; }
    bool hasSound() const { return m_audio != nullptr; }

    // Codes one frame of the opened size. False (frame not counted) when the size is
    // wrong, nothing is open, or the encoder or the file refuses it.
    bool writeFrame(const Frame& frame);

    // Drains the encoders, writes the trailer (moving an MP4's index to the front) and
    // closes the file. False when the file could not be completed or anything before
    // failed; true when nothing is open and nothing failed.
    bool close();

    int framesWritten() const { return m_framesWritten; }
    const std::string& errorString() const { return m_error; }

private:
    bool fail(std::string message);
    bool openVideo(const VideoFileOptions& options);
    bool openSound(const VideoFileOptions& options);
    bool writePacket(AVPacket& packet, const AVCodecContext* codec, AVStream* stream);
    bool encodePicture(const AVFrame* picture);
    void release();

    clib::AvOutputContext m_output;
    clib::AvCodecContext m_video;
    clib::SwsContextHandle m_scaler;
    clib::AvFrame m_picture;
    clib::AvPacket m_packet;
    std::unique_ptr<MpegAudioEncoder> m_audio;
    std::unique_ptr<MpegSoundSource> m_sound;
    AVStream* m_videoStream = nullptr;
    AVStream* m_audioStream = nullptr;
    PacketSink m_audioSink;
    SoundFeed m_soundFeed;
    int m_width = 0;
    int m_height = 0;
    int m_framesWritten = 0;
    std::string m_error;
};

// The video file output of the encoding loop as a FrameWriter: the file is written beside
// `path` and renamed over it only by finish(), so abandon() or a failure leaves what was
// at `path`. Fails with the message when the writer cannot be opened (a missing encoder
// included). A sound file that cannot be read gives a video without sound and a warning of
// the result.
Result<std::unique_ptr<FrameWriter>> openVideoFileOutput(const std::string& path,
                                                         const VideoFileOptions& options);

} // namespace swivio
