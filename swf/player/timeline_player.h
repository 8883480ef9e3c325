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
// root and every clip one frame per tick, and seeks the root timeline.
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

    // One tick: every clip that was on the display list advances one frame (looping at its
    // end), then the root moves to its next frame while it plays, looping to the first frame
    // after the last. Clips placed during the tick show their first frame.
    void advance();
    // Seeks the root timeline to frame (0-based, clamped to the frames there are) as Flash
    // Player's seek does: clips that stay keep their instances and their own frames; a seek
    // backwards rebuilds the display list from the first frame. Clips do not advance.
    void gotoFrame(int frame);

    int currentFrame() const { return m_root.currentFrame; }
    int frameCount() const { return m_movie->root.frameCount(); }
    void play() { m_root.playing = true; }
    void stop() { m_root.playing = false; }
    bool isPlaying() const { return m_root.playing; }

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
    int m_liveObjects = 0; // declared before m_root: the objects count down into it
    DisplayObject m_root;
    SoundHook* m_soundHook = nullptr;
    Rgba m_background{255, 255, 255, 255};
};

} // namespace swivio::swf
