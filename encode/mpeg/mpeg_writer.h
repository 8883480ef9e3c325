#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "clib/ffmpeg_handles.h"
#include "encode/mpeg/mpeg_audio_encoder.h"
#include "encode/mpeg/mpeg_preset.h"
#include "encode/mpeg/mpeg_sound_source.h"
#include "encode/mpeg/mpeg_video_encoder.h"
#include "encode/mpeg/muxed_streams.h"

namespace swivio {

// Writes a DVD, SVCD or VCD program stream: MPEG-1 or MPEG-2 video in the disc's group
// structure, shown at 4:3, from the encoding loop's frames and, optionally, stereo sound (MPEG
// audio layer II, or AC-3 for DVD) from a WAV or MP3 file, interleaved by time. The file is
// made of whole packs of the preset's packet size (2048 bytes for DVD, 2324 for a VCD or SVCD
// sector); the last pack ends with the program end code.
//
// Use: selectPreset, open, writeFrame per frame, close. The sound is kept just ahead of the
// video: after each picture, sound frames are coded until the sound's time reaches the end of
// that picture. A sound longer than the video stops with the last picture; a shorter one
// leaves the rest of the video silent.
//
// The first failure is kept in errorString(); the encoding loop shows nothing for MPEG
// output. Not thread safe: one thread drives a writer.
class MpegWriter {
public:
    MpegWriter() = default;
    // Completes an open file (as close() does).
    ~MpegWriter();
    MpegWriter(const MpegWriter&) = delete;
    MpegWriter& operator=(const MpegWriter&) = delete;

    // Selects the row of mpegType (0 DVD-NTSC ... 5 VCD-PAL). False, and nothing changes, for
    // any other value or while a file is open.
    bool selectPreset(int mpegType);
    // The selected row; null before a successful selectPreset.
    const MpegOutputPreset* preset() const { return m_preset; }

    // Creates the file at `path` (replacing one that exists) for the selected preset, with
    // sound from `soundPath` (a ".wav" name is read as WAV, anything else as MP3) or without
    // sound when it is empty (a VCD then carries silence, as its players expect). False when
    // any part fails (no preset, encoder, sound file, output file, header); then nothing stays
    // open and a file this call created is removed.
    [[nodiscard]] bool open(const std::string& path, const std::string& soundPath);
    bool isOpen() const { return m_output != nullptr; }
    bool hasSound() const { return m_audio != nullptr; }

    // Codes one frame: width x height of the preset, 24-bit, bytes blue, green, red, bottom row
    // first, no row padding. False (frame not counted) when the size is wrong, the writer is
    // not open, or the encoder or the file refuses it.
    bool writeFrame(std::span<const uint8_t> frame);

    // Drains the pictures the encoder holds back, writes the trailer and the end pack, and
    // closes the file; releases everything. False when the file could
    // not be completed or an earlier frame or sound packet failed. True when nothing is open
    // and nothing failed.
    bool close();

    // Frames accepted so far; after a successful close every one of them is in the file.
    int framesWritten() const { return m_framesWritten; }
    // Samples per channel of sound coded so far.
    int64_t soundSamplesWritten() const { return m_audio ? m_audio->samplesCoded() : 0; }

    const std::string& errorString() const { return m_error; }

private:
    bool fail(std::string message);
    bool openStreams(const AVOutputFormat* format, const std::string& soundPath);
    bool writePacket(AVPacket& packet, const AVCodecContext* codec, AVStream* stream);
    void release();

    const MpegOutputPreset* m_preset = nullptr;
    clib::AvOutputContext m_output;
    std::unique_ptr<MpegVideoEncoder> m_video;
    std::unique_ptr<MpegAudioEncoder> m_audio;
    std::unique_ptr<MpegSoundSource> m_sound;
    AVStream* m_videoStream = nullptr;
    AVStream* m_audioStream = nullptr;
    PacketSink m_videoSink;
    PacketSink m_audioSink;
    SoundFeed m_soundFeed;
    int m_framesWritten = 0;
    std::string m_path;
    std::string m_error;
};

} // namespace swivio
