#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "encode/avi/riff_avi_file.h"

namespace swivio {

// How the sound of an AVI file is made.
enum class AviSoundMode {
    Pcm,       // a WAV file's data, copied
    Mp3Encode, // a WAV file, encoded to MP3 with LAME
    Mp3Copy,   // an MP3 file's bytes, copied unchanged
};

// The sound stream of an AVI file: its header and format, and the bytes that follow each
// video frame. Made once per writer by AviSound::open.
class AviSound {
public:
    virtual ~AviSound() = default;

    // Opens the source for `mode` at `frameRate` video frames per second. `bitRate` (bits
    // per second) is used for Mp3Encode only. On failure returns null and sets `message`
    // (the text shown to the user; empty when the failure has none) and `error` (always
    // a description).
    static std::unique_ptr<AviSound> open(const std::string& path, AviSoundMode mode, int bitRate,
                                          double frameRate, std::string* message,
                                          std::string* error);

    virtual const AviStreamHeader& streamHeader() const = 0;
    virtual const std::vector<uint8_t>& streamFormat() const = 0;
    // Bytes of source sound per video frame.
    virtual uint32_t chunkSize() const = 0;

    // The sound chunk that follows the next video frame; empty when there is none (the
    // source has ended, or an encoder is still collecting samples).
    virtual std::vector<uint8_t> nextChunk() = 0;
    // What an encoder still holds once the video has ended (flushed once), else empty.
    virtual std::vector<uint8_t> finalChunk() { return {}; }
};

} // namespace swivio
