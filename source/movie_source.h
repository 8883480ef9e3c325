#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/frame.h"
#include "source/user_input.h"
#include "base/result.h"

namespace swivio {

// Where a source paints: the movie displayed at playerWidth x playerHeight, the frame's
// top-left pixel at (originX, originY) of that display, and only the frame's pixels inside
// the clip rectangle touched.
struct SourceViewport {
    int playerWidth = 0;
    int playerHeight = 0;
    int originX = 0;
    int originY = 0;
    int clipX = 0;
    int clipY = 0;
    int clipWidth = 0;
    int clipHeight = 0;
};

// A movie being played: an SWF movie in the engine, or an FLV video. The recording
// and the windows see a movie only through this contract. One thread at a time.
//
// Positions: seek() and gotoFrame() count frames from 0; position() counts from 1 (the
// frame shown), currentFrame() from 0. A loaded movie waits halted on its first frame.
// Real-time playback is driven by a clock the caller owns: while playing, the caller calls
// tick() once per frame period.
class MovieSource {
public:
    virtual ~MovieSource() = default;

    virtual bool isFlv() const = 0;
    virtual int32_t movieWidth() const = 0;  // pixels
    virtual int32_t movieHeight() const = 0; // pixels
    // SWF: frame count; FLV: whole seconds.
    virtual int32_t movieLength() const = 0;
    virtual float movieFrameRate() const = 0;
    // What loading found damaged but could play past (tags skipped, a body cut short).
    virtual const std::vector<std::string>& warnings() const = 0;

    virtual void play() = 0;
    // Halts the movie where it is.
    virtual void pause() = 0;
    // Halts the movie and goes back to the first frame.
    virtual void stop() = 0;
    virtual void seek(int position) = 0;
    virtual int position() const = 0;
    virtual bool isPlaying() const = 0;
    // One frame period: everything that animates moves on, the movie's own position too
    // while it plays.
    virtual void tick() = 0;
    // Shows frame `frame` (0-based, clamped); what animates inside the frame keeps its own
    // state. Does not change whether the movie plays.
    virtual void gotoFrame(int frame) = 0;
    virtual int currentFrame() const = 0;
    // True on the last frame while halted there: nothing more will change without a seek.
    virtual bool atEnd() const = 0;

    // Recording. restart() opens the movie afresh as a viewer would see it start: its scripts
    // run anew from the first frame, and the movie plays unless those scripts halt it. Then
    // tick() plays it on without ever forcing the root.
    virtual void restart() = 0;
    // Puts the root on `frame` (0-based, clamped) whatever its scripts do: nothing when it is
    // there already, else a seek that runs the frame's scripts, and when those move the root
    // away again, a seek that shows the frame and leaves its scripts for the next tick.
    // Whether the root plays is unchanged.
    virtual void forceFrame(int frame) = 0;
    // A cheap fingerprint of what paint() would draw now: equal values mean the same picture
    // (the converse is likely but not promised).
    virtual uint64_t displaySignature() = 0;

    // The colour behind the movie, 0x00BBGGRR.
    virtual uint32_t backgroundColor() const = 0;
    // Paints what the movie shows now into `frame`: the background colour, then the
    // picture, inside the viewport's clip rectangle only.
    virtual void paint(Frame& frame, const SourceViewport& viewport) = 0;

    // Whether the movie holds any sound of its own.
    virtual bool hasSound() const { return false; }
    // The movie's sound for the frame shown now: 44100 Hz 16-bit stereo sample frames,
    // interleaved, this frame's share at `frameRate` frames a second (0: the movie's own
    // rate); each frame's sound is given once, so a second call before the next tick is empty.
    virtual std::vector<int16_t> takeFrameSound(double frameRate) {
        (void)frameRate;
        return {};
    }
    // What of the movie's sound could not be played (damaged or unknown sound data), each
    // said once.
    virtual std::vector<std::string> soundWarnings() { return {}; }
    // Another player of the same movie, halted on its first frame, sharing everything that
    // was read and parsed (nothing is read again).
    virtual std::unique_ptr<MovieSource> openAnother() const = 0;

    // Optional: a person's mouse and keys, delivered now. A source that takes no input (a
    // video) ignores it.
    virtual void handleInput(const UserInput& input) { (void)input; }
    // Optional: input given ahead of time, for a recording with nobody at the mouse. From
    // each restart() on, each event is delivered once its frame has run: restart() runs
    // frame 1, each tick() one more.
    virtual void setScriptedInput(std::vector<TimedInput> input) { (void)input; }
    // Optional: the pointer to show over the movie, and whether the movie hid it.
    virtual UserCursor cursor() const { return UserCursor::Arrow; }
    virtual bool pointerHidden() const { return false; }
};

// The message shown when a movie cannot be opened.
inline constexpr char kInvalidMovieMessage[] = "This is not a valid Adobe flash movie file!";

// Whether the last four characters of `path` are ".flv", compared without regard to case.
bool hasFlvExtension(const std::string& path);

// Opens the movie at `path`, chosen by the last four characters of its name (".swf" or
// ".flv", compared without regard to case): the file is read and parsed once. Fails with
// kInvalidMovieMessage followed by the file and the cause.
Result<std::unique_ptr<MovieSource>> openMovieSource(const std::string& path);

} // namespace swivio
