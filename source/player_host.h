#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "base/frame.h"
#include "swf/raster/renderer.h"

namespace swivio {

namespace swf {
class Movie;
class MoviePlayer;
} // namespace swf

// The movie player as the windows and the recording see it: loads a movie, reports its
// properties, and offers play, pause, stop, seek, position and playing state, plus the
// frame stepping and painting that recording needs.
//
// SWF movies play in Swivio's own engine. Real-time playback is driven by a clock the
// caller owns: while playing, the caller calls tick() once per frame period. FLV videos
// are not played by this host yet; their load fails.
class PlayerHost {
public:
    PlayerHost();
    ~PlayerHost();
    PlayerHost(const PlayerHost&) = delete;
    PlayerHost& operator=(const PlayerHost&) = delete;

    // Loads a movie chosen by the last four characters of its path (".swf" or ".flv",
    // compared without regard to case). An SWF loads when its header is valid and the
    // engine can read it; the properties then come from the header. Anything else fails
    // and leaves the properties as they were. errorString() says why.
    bool load(const std::string& path);
    // Replaces the movie without any of the loading steps: an empty name unloads it.
    void setMovie(const std::string& path);

    void play();
    // Halts the movie where it is.
    void pause();
    // Halts the movie and goes back to the first frame.
    void stop();
    // SWF: shows frame `position` (counted from 0, as the control's frame number).
    void seek(int position);
    // SWF: the current frame counted from 1.
    int position() const;
    bool isPlaying() const;
    // 0 while nothing is loaded, 4 once a movie is loaded completely.
    int readyState() const;

    // One tick of the movie at its frame rate: every clip advances, and the root timeline
    // too while playing. Does nothing without a movie.
    void tick();

    // Flash's frame operations: GotoFrame seeks the root timeline only (0-based), nested
    // clips keep their own frames; CurrentFrame is 0-based.
    void gotoFrame(int frame);
    int currentFrame() const;
    // The movie's background colour, 0x00BBGGRR (white when the movie sets none).
    uint32_t backgroundColor() const;

    // Paints the current frame into `frame`: the movie displayed at playerWidth x
    // playerHeight, the frame's top-left pixel at (originX, originY) of that display, only
    // pixels inside the clip rectangle touched (background colour, then the display list).
    void paint(Frame& frame, int playerWidth, int playerHeight, int originX, int originY,
               int clipX, int clipY, int clipWidth, int clipHeight);

    bool isFlv() const { return m_isFlv; }
    int32_t movieWidth() const { return m_movieWidth; }
    int32_t movieHeight() const { return m_movieHeight; }
    // SWF: frame count; FLV: whole seconds.
    int32_t movieLength() const { return m_movieLength; }
    float movieFrameRate() const { return m_movieFrameRate; }

    const std::string& errorString() const { return m_error; }

private:
    std::unique_ptr<swf::MoviePlayer> m_player;
    swf::RenderViewport m_viewport;
    bool m_isFlv = false;
    int32_t m_movieWidth = 0;
    int32_t m_movieHeight = 0;
    int32_t m_movieLength = 0;
    float m_movieFrameRate = 0;
    std::string m_error;
};

// The message shown when a movie cannot be opened.
inline constexpr char kInvalidMovieMessage[] = "This is not a valid Adobe flash movie file!";

} // namespace swivio
