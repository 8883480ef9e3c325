#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "source/flv_stream.h"
#include "source/movie_source.h"

namespace swivio {

// Where the video sits on the stage: fitted inside it with its aspect ratio kept, centred.
struct FlvFit {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
};
FlvFit fitVideo(double videoWidth, double videoHeight, double stageWidth, double stageHeight);

// An FLV video as a movie: its pictures on a white stage and its sound, driven by a frame
// clock at the video's frame rate (frame n shows the picture of time n / rate). Requests
// arrive as external-interface calls (OpenFile, Play, Pause, Stop, Seek) and its state is
// read as variables (g_curTime, g_totalTime, g_width, g_height, g_frameRate, g_loaded,
// g_playing). Opening is synchronous and bounded in time. Seeks and positions count whole
// seconds; gotoFrame() and currentFrame() count the clock's frames from 0. At the end of
// the video a playing player halts, goes back to the start, and latches atEnd() until it
// is played, seeked or stopped. One thread at a time.
class FlvPlayer final : public MovieSource {
public:
    FlvPlayer();
    ~FlvPlayer() override;
    FlvPlayer(const FlvPlayer&) = delete;
    FlvPlayer& operator=(const FlvPlayer&) = delete;

    // Opens `path` halted on its first picture, as OpenFile does; false with errorString()
    // when it cannot be played (the player is then empty).
    bool open(const std::string& path);
    const std::string& errorString() const { return m_error; }
    // Runs one request (see parseFlvRequest): "<undefined/>" when it ran, "" when it was
    // unknown or malformed (and changed nothing).
    std::string callFunction(const std::string& request);
    // A variable's value as text ("true"/"false", numbers as ActionScript writes them);
    // "" for any other name.
    std::string getVariable(const std::string& name) const;
    // The open video's facts (empty when none is open).
    FlvStreamInfo mediaInfo() const;
    // Seconds shown now (the frame clock's time).
    double currentTime() const;

    bool isFlv() const override { return true; }
    int32_t movieWidth() const override;
    int32_t movieHeight() const override;
    // Whole seconds, rounded; 0 when the length is not known.
    int32_t movieLength() const override;
    float movieFrameRate() const override;
    const std::vector<std::string>& warnings() const override { return m_warnings; }

    void play() override;
    void pause() override;
    void stop() override;
    // Seconds from the start.
    void seek(int position) override;
    // Whole seconds shown, rounded to the nearest.
    int position() const override;
    bool isPlaying() const override { return m_playing; }
    void tick() override;
    void gotoFrame(int frame) override;
    int currentFrame() const override { return m_frame; }
    bool atEnd() const override { return m_endLatched; }
    void restart() override;
    void forceFrame(int frame) override { gotoFrame(frame); }
    uint64_t displaySignature() override;
    uint32_t backgroundColor() const override;
    void paint(Frame& frame, const SourceViewport& viewport) override;
    bool hasSound() const override;
    std::vector<int16_t> takeFrameSound(double frameRate) override;
    std::vector<std::string> soundWarnings() override;
    std::unique_ptr<MovieSource> openAnother() const override;

private:
    // Where the fitted video sits on the stage, in whole pixels.
    struct VideoPlace {
        int x = 0;
        int y = 0;
        int width = 0;
        int height = 0;
    };
    // Brings m_scaled up to the picture shown now at its fitted size; false when there is
    // no picture to show.
    bool scalePicture(const SourceViewport& viewport, VideoPlace& place);
    // Empties the player.
    void close();
    // Opens a file another player may be reading too (see open()).
    bool openFile(std::shared_ptr<FlvFile> file);
    void seekSeconds(double seconds);
    // The frame clock's frame for `seconds`, within the video when its length is known.
    int frameAt(double seconds) const;

    std::unique_ptr<FlvStream> m_stream;
    std::string m_error;
    std::vector<std::string> m_warnings;
    int m_frame = 0;
    bool m_playing = false;
    bool m_loaded = false;
    bool m_endLatched = false;
    bool m_soundGiven = false;
    // The picture converted for painting: its serial and the size it was scaled to.
    std::vector<uint8_t> m_scaled;
    uint64_t m_scaledSerial = 0;
    int m_scaledWidth = 0;
    int m_scaledHeight = 0;
    struct Scaler;
    std::unique_ptr<Scaler> m_scaler;
};

} // namespace swivio
