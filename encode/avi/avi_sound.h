#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/result.h"
#include "encode/avi/riff_avi_file.h"

namespace swivio {

// How the sound of an AVI file is made.
enum class AviSoundMode {
    Pcm,       // a WAV file's data, copied
    Mp3Encode, // a WAV file, encoded to MP3 with LAME
    Mp3Copy,   // an MP3 file's bytes, copied unchanged
};

class AviSoundResult;

// The sound stream of an AVI file: its header and format, and the bytes that follow each
// video frame. Made once per writer by AviSound::open.
class AviSound {
public:
    virtual ~AviSound() = default;

    // Opens the source for `mode` at `frameRate` video frames per second. `bitRate` (bits
    // per second) is used for Mp3Encode only. exactPace (Pcm and Mp3Encode): each frame takes
    // its own share of the samples, so a sound as long as the video ends with it. Never null
    // on success.
    static AviSoundResult open(const std::string& path, AviSoundMode mode, int bitRate,
                               double frameRate, bool exactPace = false);

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

// What AviSound::open gives. A failure's message() is the text shown to the user when the
// failure has one (an Mp3Copy source refused with the MP3 reader's texts or "Free-format mp3
// is not supported for AVI!"), else its description. userText() is that text, empty when
// the failure has none; description() always describes the failure, naming the file.
class [[nodiscard]] AviSoundResult : public Result<std::unique_ptr<AviSound>> {
public:
    AviSoundResult(std::unique_ptr<AviSound> sound) : Result(std::move(sound)) {}
    // A failure without a text for the user.
    static AviSoundResult failure(std::string description) {
        return AviSoundResult(std::string(), std::move(description));
    }
    // A failure with `userText` for the user, about the file at `path`.
    static AviSoundResult userFailure(const std::string& userText, const std::string& path) {
        return AviSoundResult(userText, userText + " (" + path + ")");
    }

    const std::string& userText() const { return m_userText; }
    const std::string& description() const { return m_description; }

private:
    AviSoundResult(std::string userText, std::string description)
        : Result(Status::failure(userText.empty() ? description : userText)),
          m_userText(std::move(userText)), m_description(std::move(description)) {}

    std::string m_userText;
    std::string m_description;
};

} // namespace swivio
