#pragma once

#include <map>
#include <memory>
#include <span>
#include <string>

#include "swf/format/movie_definition.h"
#include "swf/player/display_object.h"
#include "swf/player/loaded_movie.h"

namespace swivio::swf {

// Receives the sound tags of every frame a timeline enters while playing (StartSound,
// StartSound2, sound stream heads and blocks), in the order of the frame's tags. Frames passed
// over by a seek are not reported.
class SoundHook {
public:
    virtual ~SoundHook() = default;
    virtual void frameSounds(const DisplayObject& clip, int frame,
                             std::span<const TagRecord> tags) = 0;
    // The frame a seek lands on: its stream block places the stream; nothing starts.
    virtual void seekedTo(const DisplayObject& clip, int frame, std::span<const TagRecord> tags) {
        (void)clip;
        (void)frame;
        (void)tags;
    }
};

// What the script interpreter hears of the display list. Every call comes from inside the
// player's own work (construction, advance(), gotoFrame() and the script operations), so a
// hook must not call back into the player during it: it records what it needs and acts once
// the call into the player has returned. The player does not support re-entry.
//
// A placement reports objectPlaced() for the new object once it stands on its parent's
// display list with its properties set; for a clip, its first frame follows (with the
// objects that frame places, each reported in turn), then frameEntered(clip, 0). Button
// parts and script placements come with a null place. A goto that runs the tags of frames
// it passes over reports what those frames place and remove, but frameEntered() only for
// the frame it lands on.
class ScriptHook {
public:
    virtual ~ScriptHook() = default;
    // place is the tag that made the object, null for scripts and button parts.
    virtual void objectPlaced(DisplayObject& object, const PlaceObject* place) {
        (void)object;
        (void)place;
    }
    // The clip (the root included) shows frame (0-based) with its display changes applied.
    // bySeek: during a goto (the clip's own, or one that placed the clip) rather than a tick.
    virtual void frameEntered(DisplayObject& clip, int frame, bool bySeek) {
        (void)clip;
        (void)frame;
        (void)bySeek;
    }
    // The object is about to leave the display list (a RemoveObject, a replacement, a seek
    // backwards, a loop to the first frame, a script's removal). Its children are reported
    // first, deepest first, each while still in place. Destroying the player reports nothing.
    virtual void objectRemoving(DisplayObject& object) { (void)object; }
};

// Plays a movie's timelines: builds the display list from the frames' tags, advances the
// root and every clip one frame per tick, and seeks any clip's timeline. Every object it makes
// has a handle that resolves through find() while the object lives.
class TimelinePlayer {
public:
    // Shows the root's first frame (every clip on it shows its own first frame).
    // A script hook given here also hears of the first frame.
    explicit TimelinePlayer(std::shared_ptr<const MovieDefinition> movie,
                            SoundHook* soundHook = nullptr, ScriptHook* scriptHook = nullptr);
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
    int frameCount() const { return m_root.timeline()->frameCount(); }
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

    // The operations below are scripts' too, with the same rule: not from inside the player's
    // work. Each takes objects of this player only; an object they remove is destroyed (its
    // handle, and its children's, then find nothing).
    //
    // Removes an object placed at a depth of a clip (its children with it). False for the
    // root, a button's part, or an object that is not this player's.
    bool removeByScript(DisplayObject& object);
    // Moves the object to another depth of its parent, swapping with the object there if any.
    // Both leave the timeline's control, as script placements do: tags that move an object
    // no longer touch them, and a seek backwards removes them from the timeline's depths.
    // False for the root, a button's part, or an object that is not this player's.
    bool swapDepths(DisplayObject& object, int depth);
    // A copy of a placed object at depth of the same parent (replacing what is there): the
    // same character, matrix, colour transform, ratio, filters, clip depth and blend mode, the
    // given name, flagged placedByScript, showing its first frame. Null where removeByScript()
    // would refuse, or past the bounds placeByScript() keeps.
    DisplayObject* duplicateByScript(DisplayObject& object, const std::string& name, int depth);
    // A new clip with an empty one-frame timeline (owned by the player) at depth in parent,
    // replacing what is there, flagged placedByScript. Null as for placeByScript().
    DisplayObject* createEmptyClip(DisplayObject& parent, const std::string& name, int depth);
    // An object showing a script's picture at depth in parent, replacing what is there,
    // flagged placedByScript. Null as for placeByScript().
    DisplayObject* attachPicture(DisplayObject& parent, std::shared_ptr<ScriptPicture> picture,
                                 int depth);

    // Loaded movies (scripts' operations too). loadInto() empties a clip of this player
    // (removing its children as a seek would) and gives it the movie's root timeline from
    // its first frame, playing; the clip keeps its name, depth and display properties. Null
    // movie: the clip is left empty, one blank frame. False for an object that is not a
    // live clip of this player.
    bool loadInto(DisplayObject& clip, std::shared_ptr<const LoadedMovie> movie);
    // Levels above the root (_level1 and up) hold loaded movies, drawn above the root in
    // level order. loadLevel() fills level n (0 loads into the root), making it if needed;
    // null past kMaxLevel. unloadLevel() removes a level above 0 with everything on it.
    static constexpr int kMaxLevel = 65535;
    DisplayObject* loadLevel(int n, std::shared_ptr<const LoadedMovie> movie);
    bool unloadLevel(int n);
    // The root for 0, the level for n > 0, or null.
    DisplayObject* level(int n);
    const std::map<int, std::unique_ptr<DisplayObject>>& levels() const { return m_levels; }
    // The dictionary an object's characters come from.
    const MovieDefinition& definitionOf(const DisplayObject& object) const;

    // A new empty text field at depth in parent with its box (twips) at (0, 0, width,
    // height; a negative size reaches back from the position) and its position at (x, y),
    // flagged placedByScript. Null as for placeByScript().
    DisplayObject* createTextField(DisplayObject& parent, const std::string& name, int depth,
                                   int32_t x, int32_t y, int32_t width, int32_t height);

    // A button shows the parts of one state (its hit state is never shown). Parts in both the
    // old and the new state stay as they are (a clip among them keeps playing); the others
    // leave or are placed. A scripts' operation too; nothing for an object that is no button.
    enum class ButtonState : uint8_t { Up, Over, Down };
    void showButtonState(DisplayObject& button, ButtonState state);

    // The colour of the last SetBackgroundColor the root has run; white when none.
    Rgba backgroundColor() const { return m_background; }

    void setSoundHook(SoundHook* hook) { m_soundHook = hook; }
    // Null (the default) for none. Set after construction, it misses the first frame.
    void setScriptHook(ScriptHook* hook) { m_scriptHook = hook; }

private:
    void advanceClip(DisplayObject& clip);
    // passedOver: a frame a goto runs on its way, not reported to the script hook.
    void enterFrame(DisplayObject& clip, int frame, bool bySeek, bool passedOver = false);
    void applyPlace(DisplayObject& clip, const PlaceObject& place, int frame, bool bySeek);
    DisplayObject* replaceCharacter(DisplayObject& clip, DisplayObject& existing,
                                    const Character& character, bool bySeek);
    void seekBackwards(DisplayObject& clip, int target);
    // Null when the nesting or the number of live objects would pass their bounds. The
    // object shows nothing until insert() puts it in place.
    std::unique_ptr<DisplayObject> instantiate(DisplayObject& parent, const Character& character);
    // Puts a made object at its depth of parent (removing what is there), then shows a clip's
    // first frame or a button's up state.
    DisplayObject* insert(DisplayObject& parent, std::unique_ptr<DisplayObject> object,
                          const PlaceObject* place, bool bySeek);
    void buildButtonState(DisplayObject& button, bool bySeek);
    // Places the parts of a button's state that are not there yet.
    void placeButtonParts(DisplayObject& button, ButtonState state, bool bySeek);
    // Removes the child at it (reporting it to the script hook first); the next child.
    DisplayObject::Children::iterator remove(DisplayObject& parent,
                                             DisplayObject::Children::iterator it);
    void reportRemoving(DisplayObject& object);
    void reportFrame(DisplayObject& clip, int frame, bool bySeek);
    // The object is this player's, not the root, and sits on a clip's display list.
    bool isScriptable(const DisplayObject& object) const;
    bool isLiveClip(const DisplayObject& clip) const;

    std::shared_ptr<const MovieDefinition> m_movie;
    DisplayObjectRegistry m_objects; // declared before m_root: the objects leave it as they go
    DisplayObject m_root;
    SoundHook* m_soundHook = nullptr;
    ScriptHook* m_scriptHook = nullptr;
    // The character of every createEmptyClip() clip: one empty frame.
    Character m_emptyClip;
    // The character of every attachPicture() object: a bitmap with no data of its own.
    Character m_pictureCharacter;

    // The character of every createTextField() field, and the movie's fonts for fields.
    Character m_textFieldCharacter;
    std::shared_ptr<const text::EmbeddedFontSet> m_fonts;
    std::shared_ptr<text::EditField> makeEditField(const EditText& definition);
    Rgba m_background{255, 255, 255, 255};
    std::map<int, std::unique_ptr<DisplayObject>> m_levels;
};

} // namespace swivio::swf
