#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/frame.h"
#include "source/movie_source.h"

namespace swivio {

namespace swf {
class Movie;
class MoviePlayer;
} // namespace swf

struct SwfMovieFile;
class FlvPlayer;

// The SWF movie player as the windows and the recording see it: loads a movie, reports its
// properties, and offers play, pause, stop, seek, position and playing state, plus the
// frame stepping and painting that recording needs. SWF movies play in Swivio's own engine;
// FLV videos in an FlvPlayer, which then answers every call (positions in whole seconds).
class PlayerHost final : public MovieSource {
public:
    PlayerHost();
    // A player of a movie already read; the properties come from its header.
    explicit PlayerHost(const SwfMovieFile& file);
    ~PlayerHost() override;
    PlayerHost(const PlayerHost&) = delete;
    PlayerHost& operator=(const PlayerHost&) = delete;

    // Loads a movie chosen by the last four characters of its path (".swf" or ".flv",
    // compared without regard to case). An SWF loads when its header is valid and the
    // engine can read it; the properties then come from the header. Anything else fails
    // and leaves the properties as they were. errorString() says why.
    bool load(const std::string& path);
    // Replaces the movie without any of the loading steps: an empty name unloads it.
    void setMovie(const std::string& path);
    // 0 while nothing is loaded, 4 once a movie is loaded completely.
    int readyState() const;
    const std::string& errorString() const { return m_error; }
    // The FLV player while an FLV is loaded, else null.
    FlvPlayer* flvPlayer() const { return m_flv.get(); }

    bool isFlv() const override { return m_isFlv; }
    int32_t movieWidth() const override { return m_movieWidth; }
    int32_t movieHeight() const override { return m_movieHeight; }
    int32_t movieLength() const override { return m_movieLength; }
    float movieFrameRate() const override { return m_movieFrameRate; }
    const std::vector<std::string>& warnings() const override;

    void play() override;
    void pause() override;
    void stop() override;
    // Shows frame `position` (counted from 0, as the control's frame number).
    void seek(int position) override;
    // The current frame counted from 1.
    int position() const override;
    bool isPlaying() const override;
    // Every clip advances, and the root timeline too while playing. Nothing without a movie.
    void tick() override;
    // Flash's GotoFrame: seeks the root timeline only (0-based); nested clips keep their
    // own frames.
    void gotoFrame(int frame) override;
    int currentFrame() const override;
    bool atEnd() const override;
    void restart() override;
    void forceFrame(int frame) override;
    // Hashes the draw commands of the current frame and the background colour.
    uint64_t displaySignature() override;
    // White when the movie sets none.
    uint32_t backgroundColor() const override;
    void paint(Frame& frame, const SourceViewport& viewport) override;
    std::unique_ptr<MovieSource> openAnother() const override;
    void handleInput(const UserInput& input) override;
    void setScriptedInput(std::vector<TimedInput> input) override;
    UserCursor cursor() const override;
    bool pointerHidden() const override;
    bool hasSound() const override;
    std::vector<int16_t> takeFrameSound(double frameRate) override;
    std::vector<std::string> soundWarnings() override;

private:
    // A new player of `movie` (null: none), halted on its first frame unless `playing`.
    void show(std::shared_ptr<const swf::Movie> movie, bool playing = false);
    void takeProperties(const SwfMovieFile& file);
    // Delivers the scripted input of the frame that has just run.
    void deliverScriptedInput();

    std::unique_ptr<FlvPlayer> m_flv;
    std::shared_ptr<const swf::Movie> m_movie;
    std::unique_ptr<swf::MoviePlayer> m_player;
    std::vector<std::string> m_warnings;
    // The movie's file, for scripts that read files beside it; empty when not known.
    std::string m_moviePath;
    bool m_isFlv = false;
    int32_t m_movieWidth = 0;
    int32_t m_movieHeight = 0;
    int32_t m_movieLength = 0;
    float m_movieFrameRate = 0;
    std::string m_error;
    // Scripted input by frame (step k after frame k + 1), and the frames run since restart().
    std::vector<std::vector<UserInput>> m_scriptedSteps;
    int m_framesRun = 0;
};

} // namespace swivio
