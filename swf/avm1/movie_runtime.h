#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "swf/avm1/clip_object.h"
#include "swf/avm1/interpreter.h"
#include "swf/format/movie_definition.h"
#include "swf/player/bitmap_library.h"
#include "swf/player/input_event.h"
#include "swf/player/timeline_player.h"

namespace swivio::swf {
struct LoadedMovie;
namespace sound {
class MovieSounds;
}
}

namespace swivio::swf::avm1 {

struct KeyboardState;
struct MouseState;

// Runs a movie's ActionScript beside its timelines: frame scripts, init actions, clip events
// and timers, in Flash Player's order, with the display list the scripts control.
//
// The timeline player reports to it as a script hook (pass the runtime to the player's
// constructor so the first frame is heard, then attach()); the runtime queues what the
// reports call for and runs it once the player's own work is done.
class ScriptRuntime final : public ScriptHook, public ScriptHost {
public:
    // moviePath: the movie's file, whose folder bounds what scripts may load; may be empty.
    // actionBudget: the actions one frame's scripts may run together (0: the default).
    ScriptRuntime(std::shared_ptr<const MovieDefinition> movie, std::string moviePath = {},
                  uint64_t actionBudget = 0);
    ~ScriptRuntime() override;
    ScriptRuntime(const ScriptRuntime&) = delete;
    ScriptRuntime& operator=(const ScriptRuntime&) = delete;

    void attach(TimelinePlayer& player);
    // Runs what has been queued (after loading: the first frame's scripts).
    void runQueued();
    // One frame of the movie: enterFrame events, every timeline advances, then the entered
    // frames' scripts, clip events and due timers run.
    void tick();
    // A seek of the root from outside the scripts, with the target frame's scripts run.
    void gotoFrame(int frame);

    Interpreter& interpreter() { return *m_vm; }
    TimelinePlayer& player() { return *m_player; }
    void setTraceSink(std::function<void(std::string_view)> sink) { m_traceSink = std::move(sink); }
    void setErrorSink(std::function<void(std::string_view)> sink) { m_errorSink = std::move(sink); }
    // Milliseconds of movie time passed (frames played at the movie's rate).
    double movieTime() const { return m_timeMs; }
    // What plays the movie's sounds, or null when nothing is heard.
    void setSounds(sound::MovieSounds* sounds) { m_sounds = sounds; }
    sound::MovieSounds* sounds() const { return m_sounds; }

    // The clip object of a display object, made the first time it is asked for.
    ClipObject* clipFor(DisplayObject& display);
    ClipObject* rootClip();
    // The display object at a dot path ("_level0.a.b"), or null.
    DisplayObject* displayAtPath(std::string_view path);
    int version() const { return m_version; }
    const std::string& moviePath() const { return m_moviePath; }
    // The user's input (input_dispatch.cpp): mouse events go to mouseInput
    // (mouse_input.cpp), keys, text and focus to keyInput (key_input.cpp).
    void handleInput(const InputEvent& event);
    void mouseInput(const InputEvent& event);
    void keyInput(const InputEvent& event);
    // A press of the mouse moves the keyboard focus to what it pressed (a text field, a
    // button or clip that takes focus), or takes it away (null) (key_input.cpp).
    void focusByMouse(DisplayObject* pressed);
    // The keys held, the focus and the focused field's selection (keyboard.h).
    KeyboardState& keyboard();
    // A focused object leaving loses the focus; the listeners hear of it afterwards, once
    // the display list is whole again (focus.cpp).
    void focusRemoving(DisplayObject& object);
    void deliverFocusLoss();
    // A focused object that is hidden (visible until now) loses the focus at once
    // (focus.cpp).
    void focusHidden(DisplayObject& object);
    // A focus change by script rolls the highlight off the old holder and onto the new once
    // the script is over (focus.cpp).
    void queueRoll(DisplayObject& object, bool over);
    // _focusrect: the movie's switch (read and set through a root, or any object in SWF 5),
    // else the object's own (focus.cpp).
    Value focusRect(DisplayObject& object);
    void setFocusRect(DisplayObject& object, const Value& value);
    // After each frame: what lies under a pointer that has not moved may have changed
    // (mouse_input.cpp).
    void mouseFrame();
    // Whether a mouse button is held (Key.isDown's codes 1, 2 and 4 ask).
    bool mouseButtonDown(MouseButton button) const;
    // The pointer to show, and whether Mouse.hide() hid it.
    Cursor cursor() const;
    bool pointerHidden() const { return m_pointerHidden; }
    void setPointerHidden(bool hidden) { m_pointerHidden = hidden; }
    // The pointer's place on the stage in pixels.
    double mouseX() const { return m_mouseX; }
    double mouseY() const { return m_mouseY; }
    // A display object's name changed: its clip object's path follows.
    void renamed(DisplayObject& display);
    // A movie is being loaded into `clip`: its instance hears onClipEvent(load) again, before
    // the loaded movie's first frame runs.
    void contentLoading(ClipObject* clip) { queueEvent(clip, kClipEventLoad, nullptr); }

    // Script depths are the tags' depths less this.
    static constexpr int kDepthOffset = kFirstScriptDepth;

    // ScriptHook.
    void objectPlaced(DisplayObject& object, const PlaceObject* place) override;
    void frameEntered(DisplayObject& clip, int frame, bool bySeek) override;
    void objectRemoving(DisplayObject& object) override;

    // ScriptHost.
    void traceLine(std::string_view line) override;
    void scriptError(std::string_view message) override;
    double timer() override { return m_timeMs; }
    Value resolvePath(Object* base, std::string_view path) override;
    std::string targetPath(Object* clip, bool dotSyntax) override;
    bool gotoFrame(Object* clip, int frame, bool play) override;
    bool gotoLabel(Object* clip, std::string_view label, bool play) override;
    void play(Object* clip, bool playing) override;
    void nextFrame(Object* clip) override;
    void prevFrame(Object* clip) override;
    void cloneClip(Object* clip, std::string_view name, int depth) override;
    void removeClip(Object* clip) override;
    void getUrl(Object* clip, std::string_view url, std::string_view target, int method,
                bool loadTarget, bool loadVariables) override;
    void callFrame(Object* clip, const Value& frame) override;
    void stopSounds() override;
    void afterScripts(std::function<void()> work) override { m_afterScripts.push_back(std::move(work)); }
    // Dragging (clip_drag.cpp): the clip follows the pointer each frame until stopDrag.
    void startDrag(Object* clip, bool lockCenter, const double* bounds) override;
    void stopDrag() override;
    // A clip's _droptarget: the slash path of what lay under the pointer when it was last
    // dragged, or "".
    std::string dropTarget(const DisplayObject& display) const;

    // Timers (setInterval, setTimeout), on the movie's clock.
    int addTimer(Value function, Value thisValue, std::string method, std::vector<Value> args,
                 double intervalMs, bool repeat);
    bool removeTimer(int id);

    // Object.registerClass: instances of the exported sprite get the class's prototype and
    // constructor. False for a linkage name the movie does not export.
    bool registerClass(const std::string& linkage, const Value& constructor);
    // Gives a clip placed from an export its registered class, copies an init object onto
    // it and runs the constructor.
    void constructClip(DisplayObject& display, const std::string& linkage, const Value& init);

    // Loaded movies (movie_loader.cpp): the dictionary and SWF version an object's content
    // comes from, the clip _root names for it (the nearest with _lockroot set, else its
    // level's root), level n's clip (null when there is none), its _url, and the bytes of
    // its movie.
    std::shared_ptr<const MovieDefinition> definitionFor(const DisplayObject& display) const;
    int versionFor(const DisplayObject& display) const;
    ClipObject* rootFor(DisplayObject& display);
    ClipObject* levelClip(int n);
    std::string urlFor(const DisplayObject& display) const;
    double bytesTotalFor(const DisplayObject& display) const;
    // What getBounds/getRect report for each corner of display's empty bounds, called from
    // the running code (sticky state: see movie_loader.cpp).
    double invalidBoundsValue(const DisplayObject& display, bool ownSpace);
    // The content of a file loaded from url (its resolved path `path`): the one already
    // alive for the same url, else made from the file; null with the reason in why when the
    // file cannot be read or too many different ones are alive.
    std::shared_ptr<const LoadedMovie> loadMovieFile(const std::string& url,
                                                     const std::string& path, int fallbackVersion,
                                                     std::string& why);

    // A clip's frame index (0-based) for a label, or -1.
    int frameOfLabel(const DisplayObject& clip, std::string_view label) const;

    // The movie's bitmap characters for scripts (BitmapData.loadBitmap and draw), decoded
    // when first asked for.
    const BitmapLibrary& bitmapLibrary();
    const std::shared_ptr<const MovieDefinition>& movieDefinition() const { return m_movie; }

private:
    // The mouse's dispatcher (mouse_input.cpp) queues and runs events as the frame does.
    friend class MouseDispatch;
    std::shared_ptr<MouseState> m_mouseState;

    Value resolveSwf4Path(DisplayObject& start, std::string_view path);
    Value resolveDottedPath(DisplayObject& start, std::string_view path);
    struct Queued {
        enum class Kind { Actions, Event, Construct } kind = Kind::Actions;
        ActionBlock block;
        ClipObject* clip = nullptr;
        uint32_t event = 0;           // Event: the clip event bit
        const char* method = nullptr; // Event: the handler method (onLoad...), or null
        Value constructor;            // Construct: the registered class
    };
    struct Timer {
        int id = 0;
        Value function;
        Value thisValue;
        std::string method;
        std::vector<Value> args;
        double intervalMs = 0;
        double dueMs = 0;
        bool repeat = true;
    };

    void queueFrameScripts(DisplayObject& clip, int frame, bool bySeek, std::deque<Queued>& into);
    void queueEvent(ClipObject* clip, uint32_t event, const char* method,
                    std::deque<Queued>* into = nullptr);
    void runOne(const Queued& item);
    void runEvent(const Queued& item);
    void queueEnterFrames(DisplayObject& object);
    void fireTimers();
    void collectIfNeeded();
    Object* clipPrototypeFor(DisplayObject& display);
    void installRuntimeBuiltins();
    std::string childPath(DisplayObject& display);
    DisplayObject* childNamed(DisplayObject& parent, std::string_view name);

    std::shared_ptr<const MovieDefinition> m_movie;
    std::string m_moviePath;
    int m_version;
    std::unique_ptr<Interpreter> m_vm;
    TimelinePlayer* m_player = nullptr;
    sound::MovieSounds* m_sounds = nullptr;
    std::function<void(std::string_view)> m_traceSink;
    std::function<void(std::string_view)> m_errorSink;

    std::unordered_map<uint64_t, ClipObject*> m_clips;
    std::deque<Queued> m_queue;
    std::vector<std::function<void()>> m_afterScripts;
    // What a clip placed during its parent's frame runs (its events and first frame) waits
    // for the parent's own scripts, to run between them where the placement stands.
    struct Waiting {
        std::size_t position = 0; // display tags of the parent's frame up to the placement
        int frame = -1;           // the parent's frame whose tag placed it
        uint64_t child = 0;
        std::deque<Queued> items;
    };
    std::unordered_map<uint64_t, std::vector<Waiting>> m_waitingForParent;
    Waiting& waitingGroup(DisplayObject& child, const PlaceObject* place);
    void flushWaiting();
    std::unordered_set<uint64_t> m_justPlaced;
    // By movie (loaded movies have sprite ids of their own) and sprite id.
    std::set<std::pair<const void*, uint16_t>> m_initActionsRun;
    // Loaded content by url, shared while alive (see movie_loader.cpp).
    std::unordered_map<std::string, std::weak_ptr<const LoadedMovie>> m_loadedMovies;
    std::vector<Timer> m_timers;
    // Registered classes by exported character (of whichever movie).
    std::unordered_map<const Character*, Value> m_classes;
    int m_nextTimerId = 1;
    int m_nextInstance = 1;
    double m_timeMs = 0;
    double m_mouseX = 0, m_mouseY = 0;
    bool m_pointerHidden = false;
    struct Drag {
        DisplayObjectHandle clip;
        double offsetX = 0, offsetY = 0; // from the pointer to the clip, parent's twips
        bool constrained = false;
        double left = 0, top = 0, right = 0, bottom = 0; // parent's twips
    };
    std::optional<Drag> m_drag;
    std::unordered_map<uint64_t, std::string> m_dropTargets;
    void updateDrag();
    std::size_t m_cellsAfterLastCollection = 0;
    bool m_invalidBoundsRounded = false;
    std::unique_ptr<BitmapLibrary> m_bitmapLibrary;
    std::shared_ptr<KeyboardState> m_keyboard;
};

} // namespace swivio::swf::avm1
