#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/result.h"
#include "source/flv_file.h"

struct AVFrame;

namespace swivio {

// The largest picture side an FLV may have: anything above is damage, not video.
inline constexpr int kFlvMaxSide = 4096;
// How long opening an FLV may take (reading, probing) before it is given up, in seconds.
inline constexpr int kFlvOpenSeconds = 10;
// The sound every FLV is turned into.
inline constexpr int kFlvSoundRate = 44100;

// What an FLV holds, as its header, metadata and streams say.
struct FlvStreamInfo {
    int width = 0;
    int height = 0;
    // Frames a second: the metadata's, else the stream's average, else 25; never 0.
    double frameRate = 25;
    // Seconds: the metadata's, else the last tag's timestamp; 0 when neither is known.
    double duration = 0;
    std::string videoCodec;
    std::string audioCodec; // empty without sound
    bool hasSound = false;  // a sound stream that can be decoded
};

// The last tag's timestamp of an FLV file in seconds, read through the size that ends the
// file; nothing when the tail is not a well-formed tag. Reads only the file's last bytes.
std::optional<double> flvLastTimestamp(FlvFile& file);

// One FLV file decoded in time order through libavformat and libavcodec: the picture shown
// at a time, and its sound as 44100 Hz 16-bit stereo samples placed by their timestamps.
// Damaged packets are skipped. One thread at a time.
class FlvStream {
public:
    // Opens and probes `path` within kFlvOpenSeconds. Refuses files that are no FLV, have no
    // video, or whose picture is empty or larger than kFlvMaxSide, before decoding any
    // picture.
    static Result<std::unique_ptr<FlvStream>> open(const std::string& path);
    // The same on a file opened already, perhaps read in part by other streams of it: this
    // one decodes on its own, from the shared bytes.
    static Result<std::unique_ptr<FlvStream>> open(std::shared_ptr<FlvFile> file);
    ~FlvStream();
    FlvStream(const FlvStream&) = delete;
    FlvStream& operator=(const FlvStream&) = delete;

    const FlvStreamInfo& info() const { return m_info; }
    const std::string& path() const { return m_path; }
    const std::shared_ptr<FlvFile>& file() const;

    // The picture to show at `seconds` (the last whose timestamp is not later, or the first
    // picture before it); null when the file holds none. Stepping forward decodes on; going
    // back or far ahead seeks. Valid until the next call.
    const AVFrame* pictureAt(double seconds);
    // Changes each time pictureAt() returns another picture.
    uint64_t pictureSerial() const { return m_pictureSerial; }

    // Sample frames [first, first + count) of the sound (44100 a second from time 0),
    // interleaved stereo, silence where the file has none. Sound before `first` is then
    // dropped.
    std::vector<int16_t> sound(int64_t first, int64_t count);

    // True once everything was read and `seconds` lies past the last picture and sound.
    bool endedAt(double seconds);

    // What could not be decoded, each said once.
    std::vector<std::string> takeWarnings();

private:
    struct State;
    explicit FlvStream(std::unique_ptr<State> state);
    // Reads one packet: a picture packet is queued, a sound packet decoded. False at the end.
    bool readPacket();
    bool decodeNextPicture();
    void decodeSound(const void* packet);
    void placeSound(const int16_t* samples, int count, int64_t at);
    void seekTo(double seconds);
    void warnOnce(const std::string& text);

    std::unique_ptr<State> m_state;
    FlvStreamInfo m_info;
    std::string m_path;
    uint64_t m_pictureSerial = 0;
    // Sound: interleaved samples from sample frame m_soundStart on; m_soundPlaced is false
    // until the first packet after a seek decides where the sound starts.
    std::deque<int16_t> m_sound;
    int64_t m_soundStart = 0;
    bool m_soundPlaced = false;
    std::vector<std::string> m_warnings;
    std::vector<std::string> m_said;
};

} // namespace swivio
