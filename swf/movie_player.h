#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/frame.h"
#include "swf/movie.h"
#include "swf/player/input_event.h"
#include "swf/player/render_emitter.h"
#include "swf/player/timeline_player.h"
#include "swf/raster/renderer.h"

namespace swivio::swf {

namespace avm1 {
class ScriptRuntime;
}
class PlayerSound;
namespace sound {
class MovieSounds;
}

// How a player runs a movie.
struct PlayerOptions {
    // Run the movie's ActionScript 1/2 (ActionScript 3 movies play their timelines only).
    bool runScripts = true;
    // The movie's file: scripts may read files beside it and below (loadMovie and the like).
    std::string moviePath;
    // The actions one frame's scripts may run together; 0 for the interpreter's default.
    uint64_t actionBudget = 0;
};

// One playing instance of a movie: its display list, its position, and the painting of
// its frames. The movie itself may be shared by several players. One thread at a time.
//
// Loading shows the first frame (currentFrame() 0), the root timeline playing.
class MoviePlayer {
public:
    explicit MoviePlayer(std::shared_ptr<const Movie> movie, PlayerOptions options = {});
    // The same, with prepare called on the scripts (when they run) before the first frame's
    // run, so their output can be caught from the start.
    MoviePlayer(std::shared_ptr<const Movie> movie, PlayerOptions options,
                const std::function<void(avm1::ScriptRuntime&)>& prepare);
    // Without the movie's scripts; the hook hears the display list from the first frame on
    // (see ScriptHook).
    MoviePlayer(std::shared_ptr<const Movie> movie, ScriptHook* scriptHook);
    ~MoviePlayer();
    MoviePlayer(const MoviePlayer&) = delete;
    MoviePlayer& operator=(const MoviePlayer&) = delete;

    const Movie& movie() const { return *m_movie; }

    // One tick of the whole movie: every clip advances a frame, and the root too while it
    // plays (looping after its last frame).
    void advance();
    // Seeks the root timeline to frame (0-based, clamped): clips that stay keep their
    // own frames. Does not change whether the root plays.
    void gotoFrame(int frame);
    int currentFrame() const { return m_timeline.currentFrame(); }
    int frameCount() const { return m_timeline.frameCount(); }
    float frameRate() const { return m_movie->frameRate(); }

    void play() { m_timeline.play(); }
    // Halts the root timeline; clips on it still advance with each tick.
    void stop() { m_timeline.stop(); }
    // Stops and goes back to the first frame.
    void rewind();
    bool isPlaying() const { return m_timeline.isPlaying(); }

    // The stage colour as 0x00BBGGRR: the last SetBackgroundColor run, white if none.
    uint32_t backgroundColor() const;

    DisplayObject& root() { return m_timeline.root(); }
    const DisplayObject& root() const { return m_timeline.root(); }
    // The object a handle names, or null once it is gone (handles are never reused).
    DisplayObject* find(DisplayObjectHandle handle) const { return m_timeline.find(handle); }
    // A clip's own timeline, as a script's clip.gotoAndStop() and the like need it: seeks it
    // (0-based, clamped; clips on it keep their own frames), or starts or halts it. See
    // TimelinePlayer.
    void gotoFrame(DisplayObject& clip, int frame) { m_timeline.gotoFrame(clip, frame); }
    void play(DisplayObject& clip) { m_timeline.play(clip); }
    void stop(DisplayObject& clip) { m_timeline.stop(clip); }
    // A character placed as a script places it (attachMovie and the like); see TimelinePlayer.
    DisplayObject* placeByScript(DisplayObject& parent, uint16_t characterId, int depth) {
        return m_timeline.placeByScript(parent, characterId, depth);
    }
    // Scripts' changes to the display list; see TimelinePlayer.
    bool removeByScript(DisplayObject& object) { return m_timeline.removeByScript(object); }
    bool swapDepths(DisplayObject& object, int depth) {
        return m_timeline.swapDepths(object, depth);
    }
    DisplayObject* duplicateByScript(DisplayObject& object, const std::string& name, int depth) {
        return m_timeline.duplicateByScript(object, name, depth);
    }
    DisplayObject* createEmptyClip(DisplayObject& parent, const std::string& name, int depth) {
        return m_timeline.createEmptyClip(parent, name, depth);
    }
    void setSoundHook(SoundHook* hook) { m_timeline.setSoundHook(hook); }
    // The movie's sounds as this player plays them (player_sound.h).
    sound::MovieSounds& sounds();
    // Whether the movie holds any sound.
    bool hasSound() const;
    // The sound of the frame shown now: 44100 Hz 16-bit stereo sample frames, this frame's
    // share at the given frame rate (the movie's when 0); empty when taken already.
    std::vector<int16_t> takeFrameSound(double rate = 0);
    // What of the movie's sound could not be decoded so far, each said once.
    std::vector<std::string> soundWarnings() const;
    // The movie's scripts, or null when they do not run.
    avm1::ScriptRuntime* scripts() { return m_scripts.get(); }

    // The user's mouse and keyboard, in stage pixels; heard between ticks. Without scripts
    // a movie ignores them.
    void handleInput(const InputEvent& event);
    // The pointer to show where the mouse last was, and whether the movie hid it.
    Cursor cursor() const;
    bool pointerHidden() const;

    // The commands that draw the current frame (valid until the next call).
    const RenderCommandList& commands();
    // Paints the current frame: the background colour, then the display list, inside the
    // viewport's clip rectangle only (clipped again to the frame).
    void render(Frame& frame, const RenderViewport& viewport);

    // A viewport showing the whole stage at width x height pixels, origin 0, no clipping
    // beyond the frame.
    RenderViewport viewport(int width, int height) const;

private:
    std::shared_ptr<const Movie> m_movie;
    // Made before the timeline, which reports its first frame's sounds to it.
    std::unique_ptr<PlayerSound> m_sound;
    // Made before the timeline, which reports its first frame to it.
    std::unique_ptr<avm1::ScriptRuntime> m_scripts;
    TimelinePlayer m_timeline;
    RenderEmitter m_emitter;
    Renderer m_renderer;
    RenderCommandList m_commands;
};

} // namespace swivio::swf
