#pragma once

#include <memory>
#include <span>

#include "swf/format/movie_definition.h"
#include "swf/player/display_object.h"

namespace swivio::swf {

// Receives the sound tags of every frame a timeline enters while playing (StartSound,
// StartSound2, sound stream heads and blocks), in the order of the frame's tags. Frames passed
// over by a seek are not reported.
class SoundHook {
public:
    virtual ~SoundHook() = default;
    virtual void frameSounds(const DisplayObject& clip, int frame,
                             std::span<const TagRecord> tags) = 0;
};

// Plays a movie's timelines: builds the display list from the frames' tags, advances the
// root and every clip one frame per tick, and seeks any clip's timeline. Every object it makes
// has a handle that resolves through find() while the object lives.
class TimelinePlayer {
public:
    // Shows the root's first frame (every clip on it shows its own first frame).
    explicit TimelinePlayer(std::shared_ptr<const MovieDefinition> movie,
                            SoundHook* soundHook = nullptr);
    ~TimelinePlayer();
    TimelinePlayer(const TimelinePlayer&) = delete;
    TimelinePlayer& operator=(const TimelinePlayer&) = delete;

    const MovieDefinition& movie() const { return *m_movie; }
    DisplayObject& root() { return m_root; }
    const DisplayObject& root() const { return m_root; }

    // The object a handle names, or null once it is gone.
    DisplayObject* find(DisplayObjectHandle handle) const { return m_objects.find(handle); }

    // One tick: every clip that was on the display list advances one frame (looping at its
    // end), then the root moves to its next frame while it plays, looping to the first frame
    // after the last. Clips placed during the tick show their first frame.
    void advance();
    // Seeks the clip's timeline to frame (0-based, clamped to the frames there are) as Flash
    // Player's goto does: a seek forward runs the placements and removals of the frames in
    // between; a seek backwards rebuilds the clip's display list from its first frame. Clips
    // on it that stay keep their instances and their own frames; no clip advances, and no
    // sounds reach the hook. Does nothing for an object that is not a clip of this player,
    // and does not change whether the clip plays.
    void gotoFrame(DisplayObject& clip, int frame);
    // The same for the root timeline.
    void gotoFrame(int frame) { gotoFrame(m_root, frame); }

    int currentFrame() const { return m_root.currentFrame; }
    int frameCount() const { return m_movie->root.frameCount(); }
    void play() { m_root.playing = true; }
    void stop() { m_root.playing = false; }
    bool isPlaying() const { return m_root.playing; }
    // Whether a clip's own timeline moves on with each tick (its children advance either way).
    void play(DisplayObject& clip) { clip.playing = true; }
    void stop(DisplayObject& clip) { clip.playing = false; }

    // Places an instance of a character as a script does (attachMovie and the like): at depth
    // in parent, replacing what is there, flagged placedByScript, showing its first frame.
    // Null when the character is missing, parent is not a clip of this player, or the nesting
    // or number of live objects would pass their bounds. Like gotoFrame(), not to be called
    // from inside advance() or gotoFrame() (the sound hook's calls included).
    DisplayObject* placeByScript(DisplayObject& parent, uint16_t characterId, int depth);

    // The colour of the last SetBackgroundColor the root has run; white when none.
    Rgba backgroundColor() const { return m_background; }

    void setSoundHook(SoundHook* hook) { m_soundHook = hook; }

private:
    void advanceClip(DisplayObject& clip);
    void enterFrame(DisplayObject& clip, int frame, bool bySeek);
    void applyPlace(DisplayObject& clip, const PlaceObject& place, int frame, bool bySeek);
    DisplayObject* replaceCharacter(DisplayObject& clip, DisplayObject& existing,
                                    const Character& character, bool bySeek);
    void seekBackwards(DisplayObject& clip, int target);
    // Null when the nesting or the number of live objects would pass their bounds.
    std::unique_ptr<DisplayObject> instantiate(DisplayObject& parent, const Character& character,
                                               bool bySeek);
    void buildButtonState(DisplayObject& button, bool bySeek);

    std::shared_ptr<const MovieDefinition> m_movie;
    DisplayObjectRegistry m_objects; // declared before m_root: the objects leave it as they go
    DisplayObject m_root;
    SoundHook* m_soundHook = nullptr;
    Rgba m_background{255, 255, 255, 255};
};

} // namespace swivio::swf
