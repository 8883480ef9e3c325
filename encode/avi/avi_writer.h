#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "base/frame.h"
#include "encode/avi/avi_sound.h"
#include "encode/avi/riff_avi_file.h"
#include "encode/avi/video_compressor.h"

namespace swivio {

// The messages the AVI writer gives the user (shown in message boxes by the GUI, printed by
// the command line).
inline constexpr const char* kAviCreateFailed = "Failed to create the AVI file!";
inline constexpr const char* kAviVideoStreamFailed = "Failed to create the video stream!";
inline constexpr const char* kAviAudioStreamFailed = "Can't create audio stream!";

// Writes the AVI output of a conversion: one video stream, compressed by the compressor of
// a FourCC (0 = uncompressed 24-bit frames), and at most one sound stream. After each video
// frame comes the sound of one frame period, so the file is interleaved frame by frame.
//
// Use: open, then addAudio (optional, before the first frame), writeFrame per frame, finish.
// Not thread safe. errorString() always describes a failure; userMessage() is the text to
// show the user, empty for failures that are reported silently. A failed addAudio leaves
// its texts there until a failure of the file itself replaces them.
class AviWriter {
public:
    AviWriter() = default;
    AviWriter(const AviWriter&) = delete;
    AviWriter& operator=(const AviWriter&) = delete;
    // Finishes the file if finish() was not called.
    ~AviWriter();

    // Files grow into further RIFF lists (OpenDML) past this many bytes per list. For tests;
    // the default is 1 GiB. Only before open.
    void setRiffLimit(uint64_t bytes) { m_riffLimit = bytes; }

    // Creates the file (replacing one that exists) for width x height frames at frameRate
    // frames per second (rate = frameRate x 100 + 0.5 over a scale of 100), compressed at
    // `quality` (1 to 100; 0: the compressor's usual setting). On failure the file is
    // closed and removed.
    [[nodiscard]] bool open(const std::string& path, int width, int height, double frameRate,
                            uint32_t fourCC, int quality = 0);
    // Adds the sound stream. isWav/isPcm choose the mode: WAV copied as PCM (true, true),
    // WAV encoded to MP3 at bitRate bits per second (true, false), MP3 file copied
    // (false, false). Only after a successful open and before the first frame.
    [[nodiscard]] bool addAudio(const std::string& path, bool isWav, bool isPcm, int bitRate);
    [[nodiscard]] bool addAudio(const std::string& path, AviSoundMode mode, int bitRate,
                                bool exactPace = false);

    // Writes one frame of the opened size and the sound of its frame period.
    [[nodiscard]] bool writeFrame(const Frame& frame);

    // Flushes the video and MP3 encoders, writes the indexes and closes the file. False if
    // the file could not be completed. Called once; later calls return the same result.
    [[nodiscard]] bool finish();

    std::string errorString() const { return m_error; }
    std::string userMessage() const { return m_userMessage; }
    // True while the only failure is that of addAudio.
    bool soundOnlyFailed() const { return m_onlySoundFailed; }

    int videoFrameIndex() const { return m_videoFrameIndex; }
    int audioBlockIndex() const { return m_audioBlockIndex; }
    uint32_t chunkSize() const { return m_sound ? m_sound->chunkSize() : 0; }
    bool hasSound() const { return m_sound != nullptr; }

private:
    bool fail(std::string error, std::string userMessage = {});
    bool writePackets(std::vector<VideoPacket>& packets);
    bool writeSound(const std::vector<uint8_t>& bytes);

    uint64_t m_riffLimit = RiffAviFile::kDefaultRiffLimit;
    std::string m_path;
    int m_width = 0;
    int m_height = 0;
    double m_frameRate = 0;
    RiffAviFile m_file;
    std::unique_ptr<VideoCompressor> m_compressor;
    std::unique_ptr<AviSound> m_sound;
    int m_videoStream = -1;
    int m_soundStream = -1;
    // Sound read for frames whose compressed picture the encoder has not yet given back.
    std::deque<std::vector<uint8_t>> m_pendingSound;
    std::vector<VideoPacket> m_packets;
    int m_framesIn = 0;
    int m_videoFrameIndex = 0;
    int m_audioBlockIndex = 0;
    bool m_opened = false;
    bool m_finished = false;
    bool m_finishResult = false;
    bool m_onlySoundFailed = false;
    std::string m_error;
    std::string m_userMessage;
};

} // namespace swivio
