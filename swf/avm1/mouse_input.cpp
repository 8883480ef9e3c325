// The mouse: the pointer's place, the buttons and clips under it, their events, and the cursor.
//
// Each mouse event first reaches every clip (onClipEvent(mouseDown) and onMouseDown, children
// before their parent, the highest depth first) and then the Mouse listeners; those scripts
// run before the pointer's object hears of it. The pointer's object is the topmost button,
// clip with button handlers or selectable text field under it; a clip with handlers hides
// what lies inside it. While the left button is down, the object it was pressed on holds the
// pointer: it alone hears of drags out and back, and of the release.
#include <cmath>
#include <map>

#include "swf/avm1/builtins.h"
#include "swf/avm1/display_bounds.h"
#include "swf/avm1/keyboard.h"
#include "swf/avm1/mouse_input.h"
#include "swf/avm1/movie_runtime.h"
#include "swf/avm1/text_builtins.h"
#include "swf/player/hit_test.h"
#include "swf/sound/movie_sounds.h"

namespace swivio::swf::avm1 {

using ButtonState = TimelinePlayer::ButtonState;

struct MouseState {
    // Nothing is picked under a pointer the movie has never been told of.
    bool heard = false;
    bool leftDown = false;
    bool buttonsDown[3] = {false, false, false};
    DisplayObjectHandle hovered;
    DisplayObjectHandle pressed;
    // A trackAsMenu button the pressed pointer was dragged onto (it shows its down state).
    DisplayObjectHandle menuDown;
    // The text field the left button went down in: moving the pointer selects its text.
    DisplayObjectHandle selecting;
};

namespace {

enum class MouseEvent {
    RollOver,
    RollOut,
    Press,
    Release,
    ReleaseOutside,
    DragOver,
    DragOut,
    // A trackAsMenu object entered, left or released on while another holds the pointer.
    MenuOver,
    MenuOut,
    MenuRelease,
};

struct ClipEventName {
    uint32_t bit;
    const char* method;
};

ClipEventName clipEventOf(MouseEvent event) {
    switch (event) {
    case MouseEvent::RollOver: return {kClipEventRollOver, "onRollOver"};
    case MouseEvent::RollOut: return {kClipEventRollOut, "onRollOut"};
    case MouseEvent::Press: return {kClipEventPress, "onPress"};
    case MouseEvent::Release:
    case MouseEvent::MenuRelease: return {kClipEventRelease, "onRelease"};
    case MouseEvent::ReleaseOutside: return {kClipEventReleaseOutside, "onReleaseOutside"};
    case MouseEvent::DragOver:
    case MouseEvent::MenuOver: return {kClipEventDragOver, "onDragOver"};
    case MouseEvent::DragOut:
    case MouseEvent::MenuOut: return {kClipEventDragOut, "onDragOut"};
    }
    return {0, nullptr};
}

// A button's transition for an event: the condition its actions wait for and the state it
// shows after. A trackAsMenu button never holds the pointer: dragged off, it goes idle.
struct Transition {
    uint16_t condition = 0;
    ButtonState state = ButtonState::Up;
};

Transition buttonTransition(MouseEvent event, bool menu) {
    switch (event) {
    case MouseEvent::RollOver: return {kButtonIdleToOverUp, ButtonState::Over};
    case MouseEvent::RollOut: return {kButtonOverUpToIdle, ButtonState::Up};
    case MouseEvent::Press: return {kButtonOverUpToOverDown, ButtonState::Down};
    case MouseEvent::Release:
    case MouseEvent::MenuRelease: return {kButtonOverDownToOverUp, ButtonState::Over};
    case MouseEvent::ReleaseOutside:
        return menu ? Transition{0, ButtonState::Up}
                    : Transition{kButtonOutDownToIdle, ButtonState::Up};
    case MouseEvent::DragOut:
        // Pressed and dragged off, a button still shows its over state.
        return menu ? Transition{kButtonOverDownToIdle, ButtonState::Up}
                    : Transition{kButtonOverDownToOutDown, ButtonState::Over};
    case MouseEvent::DragOver:
        return menu ? Transition{kButtonIdleToOverDown, ButtonState::Down}
                    : Transition{kButtonOutDownToOverDown, ButtonState::Down};
    case MouseEvent::MenuOver: return {kButtonIdleToOverDown, ButtonState::Down};
    case MouseEvent::MenuOut: return {kButtonOverDownToIdle, ButtonState::Up};
    }
    return {};
}

constexpr uint32_t kButtonClipEvents = kClipEventPress | kClipEventRelease |
                                       kClipEventReleaseOutside | kClipEventRollOver |
                                       kClipEventRollOut | kClipEventDragOver |
                                       kClipEventDragOut;

constexpr const char* kButtonMethods[] = {"onPress",    "onRelease",  "onReleaseOutside",
                                          "onRollOver", "onRollOut",  "onDragOver",
                                          "onDragOut"};

struct MovieFonts : FontLookup {
    explicit MovieFonts(const MovieDefinition& m) : movie(m) {}
    const Font* font(uint16_t id) const override {
        const Character* c = movie.character(id);
        return c ? c->font.get() : nullptr;
    }
    const MovieDefinition& movie;
};

} // namespace

// The mouse's work on the runtime's queue and objects.
class MouseDispatch {
public:
    explicit MouseDispatch(ScriptRuntime& runtime)
        : m_rt(runtime), m_vm(*runtime.m_vm), m_state(state(runtime)) {}

    static MouseState& state(ScriptRuntime& runtime) {
        if (!runtime.m_mouseState)
            runtime.m_mouseState = std::make_shared<MouseState>();
        return *runtime.m_mouseState;
    }

    void input(const InputEvent& event) {
        // A place that is no number cannot be under anything.
        if (!std::isfinite(event.x) || !std::isfinite(event.y))
            return;
        // Stage pixels count from the corner of the movie's frame, which may lie off the origin.
        const Rect& frame = m_rt.m_movie->file.stage;
        m_rt.m_mouseX = event.x + frame.xMin / 20.0;
        m_rt.m_mouseY = event.y + frame.yMin / 20.0;
        m_state.heard = true;
        m_vm.beginFrame();
        m_rt.updateDrag();
        const bool left = event.button == MouseButton::Left;
        if (event.kind == InputKind::MouseDown || event.kind == InputKind::MouseUp)
            m_state.buttonsDown[int(event.button) % 3] = event.kind == InputKind::MouseDown;
        switch (event.kind) {
        case InputKind::MouseMove:
            dragSelect();
            broadcast(kClipEventMouseMove, "onMouseMove", {});
            update(false);
            break;
        case InputKind::MouseDown:
            if (left) {
                broadcast(kClipEventMouseDown, "onMouseDown", {});
                m_state.leftDown = true;
            }
            update(true);
            break;
        case InputKind::MouseUp:
            if (left) {
                dragSelect();
                m_state.selecting = {};
                broadcast(kClipEventMouseUp, "onMouseUp", {});
                m_state.leftDown = false;
            }
            update(true);
            break;
        case InputKind::MouseWheel:
            broadcast(0, "onMouseWheel", {Value(double(event.wheelDelta))});
            break;
        default:
            break;
        }
        m_rt.runQueued();
    }

    void frame() {
        if (!m_state.heard || !m_rt.m_player)
            return;
        m_rt.updateDrag();
        update(false);
        m_rt.runQueued();
    }

    Cursor cursor() {
        DisplayObject* over = live(m_state.hovered);
        if (!over)
            return Cursor::Arrow;
        if (over->editField)
            return Cursor::IBeam;
        if (!enabled(*over))
            return Cursor::Arrow;
        ClipObject* object = existingObject(*over);
        if (object) {
            Value hand = m_vm.getMemberFromHost(Value(object), "useHandCursor");
            if (!hand.isUndefined() && !m_vm.toBoolean(hand))
                return Cursor::Arrow;
        }
        return Cursor::Hand;
    }

private:
    DisplayObject* live(DisplayObjectHandle handle) const {
        return handle && m_rt.m_player ? m_rt.m_player->find(handle) : nullptr;
    }

    ClipObject* existingObject(const DisplayObject& d) const {
        auto it = m_rt.m_clips.find(d.handle().id);
        return it == m_rt.m_clips.end() ? nullptr : it->second;
    }

    // A property read as a flag: undefined keeps the default.
    bool flag(const DisplayObject& d, const char* name, bool fallback) {
        ClipObject* object = existingObject(d);
        if (!object)
            return fallback;
        Value v = m_vm.getMemberFromHost(Value(object), name);
        return v.isUndefined() ? fallback : m_vm.toBoolean(v);
    }

    bool enabled(const DisplayObject& d) { return flag(d, "enabled", true); }

    bool trackAsMenu(const DisplayObject& d) {
        const bool tagged = isButton(d) && d.character()->button->trackAsMenu;
        return flag(d, "trackAsMenu", tagged);
    }

    bool hasButtonHandlers(const DisplayObject& clip) {
        ClipObject* object = existingObject(clip);
        if (!object)
            return false;
        for (const ClipEventHandler& handler : object->clipEvents)
            if (handler.events & kButtonClipEvents)
                return true;
        for (const char* method : kButtonMethods) {
            Value v = m_vm.getMemberFromHost(Value(object), method);
            if (v.isObject() && v.object()->kind() == ObjectKind::Function)
                return true;
        }
        return false;
    }

    // The caret follows the pointer while the button that went down in a field is held;
    // the other end of the selection stays where the press put it.
    void dragSelect() {
        DisplayObject* field = live(m_state.selecting);
        if (!field || !field->editField || !m_state.leftDown) {
            m_state.selecting = {};
            return;
        }
        field->editField->caret = caretIndexAt(*field, m_rt.m_mouseX * 20, m_rt.m_mouseY * 20);
    }

    // ---- What lies under the pointer ----

    bool buttonHit(const DisplayObject& button, double x, double y, const FontLookup& fonts) {
        const Matrix toStage = stageMatrix(button);
        const MovieDefinition& movie = m_rt.m_player->definitionOf(button);
        for (const ButtonRecord& r : button.character()->button->records) {
            if (!r.hitTest)
                continue;
            const Character* c = movie.character(r.characterId);
            if (!c)
                continue;
            // The hit state is never shown: its parts are tested where they would stand.
            if (partContains(movie, *c, toStage * r.matrix, x, y, fonts, 0))
                return true;
        }
        return false;
    }

    // A character of a button's hit state, never placed: a sprite counts by what its first
    // frame places, each part under its own matrix (masks aside).
    static bool partContains(const MovieDefinition& movie, const Character& c,
                             const Matrix& toStage, double x, double y, const FontLookup& fonts,
                             int nesting) {
        if (c.type != CharacterType::Sprite || !c.sprite) {
            DisplayObject part(&c, nullptr, nullptr);
            return objectContains(part, toStage, x, y, fonts);
        }
        if (nesting > 16 || c.sprite->timeline.frames.empty())
            return false;
        struct Placed {
            uint16_t id = 0;
            Matrix matrix;
            bool mask = false;
        };
        std::map<uint16_t, Placed> placed;
        for (const DisplayTag& tag : c.sprite->timeline.frames.front().displayTags) {
            if (tag.kind == DisplayTag::Kind::Remove) {
                placed.erase(tag.remove.depth);
                continue;
            }
            const PlaceObject& p = tag.place;
            Placed& at = placed[p.depth];
            if (p.characterId)
                at.id = *p.characterId;
            if (p.matrix)
                at.matrix = *p.matrix;
            if (p.clipDepth)
                at.mask = true;
        }
        for (const auto& [depth, part] : placed) {
            (void)depth;
            const Character* child = part.mask ? nullptr : movie.character(part.id);
            if (child && partContains(movie, *child, toStage * part.matrix, x, y, fonts,
                                      nesting + 1))
                return true;
        }
        return false;
    }

    bool clipHit(DisplayObject& clip, double x, double y, const FontLookup& fonts) {
        if (ClipObject* object = existingObject(clip)) {
            Value area = m_vm.getMemberFromHost(Value(object), "hitArea");
            auto* areaClip = area.isObject() ? dynamic_cast<ClipObject*>(area.object()) : nullptr;
            DisplayObject* areaDisplay = areaClip ? areaClip->display() : nullptr;
            if (areaDisplay)
                return objectContains(*areaDisplay, stageMatrix(*areaDisplay), x, y, fonts);
        }
        return objectHit(clip, x, y, fonts);
    }

    static bool fieldHit(const DisplayObject& field, double x, double y) {
        const Bounds box = displayBounds(field, Matrix{});
        if (box.empty)
            return false;
        const Matrix toLocal = inverted(stageMatrix(field));
        const double lx = toLocal.mapX(x, y), ly = toLocal.mapY(x, y);
        return lx >= box.xMin && lx <= box.xMax && ly >= box.yMin && ly <= box.yMax;
    }

    DisplayObject* pickIn(DisplayObject& container, double x, double y, const FontLookup& fonts,
                          int nesting) {
        if (nesting > 256)
            return nullptr;
        for (auto it = container.children().rbegin(); it != container.children().rend(); ++it) {
            DisplayObject& child = *it->second;
            if (!child.visible || child.clipDepth > 0 || child.isActiveScriptMask())
                continue;
            if (isButton(child)) {
                if (buttonHit(child, x, y, fonts))
                    return &child;
            } else if (child.editField) {
                // A link takes the pointer even in a field that cannot be selected.
                if (fieldHit(child, x, y) &&
                    (child.editField->selectable || child.editField->editable ||
                     !linkAt(child, x, y).empty()))
                    return &child;
            } else if (child.isClip()) {
                if (hasButtonHandlers(child)) {
                    if (clipHit(child, x, y, fonts))
                        return &child;
                } else if (DisplayObject* inside = pickIn(child, x, y, fonts, nesting + 1)) {
                    return inside;
                }
            }
        }
        return nullptr;
    }

    DisplayObject* pick() {
        TimelinePlayer& player = *m_rt.m_player;
        const MovieFonts fonts(*m_rt.m_movie);
        const double x = m_rt.m_mouseX * 20, y = m_rt.m_mouseY * 20;
        const auto& levels = player.levels();
        for (auto it = levels.rbegin(); it != levels.rend(); ++it)
            if (it->second->visible)
                if (DisplayObject* found = pickIn(*it->second, x, y, fonts, 0))
                    return found;
        return player.root().visible ? pickIn(player.root(), x, y, fonts, 0) : nullptr;
    }

    // ---- Events ----

    // The clip event to every clip, children first and the highest depth first, then the
    // Mouse listeners.
    void broadcast(uint32_t clipEvent, const char* method, std::vector<Value> args) {
        if (!m_rt.m_player)
            return;
        if (clipEvent) {
            queueClipEvents(m_rt.m_player->root(), clipEvent, method);
            for (auto& [n, level] : m_rt.m_player->levels())
                queueClipEvents(*level, clipEvent, method);
        }
        m_rt.runQueued();
        Value mouse = m_vm.getMemberFromHost(Value(m_vm.global()), "Mouse");
        if (!mouse.isObject())
            return;
        Value broadcastMessage = m_vm.getMemberFromHost(mouse, "broadcastMessage");
        args.insert(args.begin(), Value(std::string(method)));
        if (broadcastMessage.isObject())
            m_vm.callFromHost(broadcastMessage, mouse, args);
        m_rt.runQueued();
    }

    void queueClipEvents(DisplayObject& object, uint32_t clipEvent, const char* method) {
        // Clips shown by a button hear them too.
        for (auto it = object.children().rbegin(); it != object.children().rend(); ++it)
            if (it->second->isClip() || !it->second->children().empty())
                queueClipEvents(*it->second, clipEvent, method);
        if (!object.isClip())
            return;
        if (ClipObject* clip = existingObject(object))
            m_rt.queueEvent(clip, clipEvent, method);
    }

    // Sends a button event to the object, unless it is disabled or hidden (a hidden object
    // still hears that the pointer left it or was released elsewhere).
    void fire(DisplayObjectHandle handle, MouseEvent event) {
        DisplayObject* d = live(handle);
        const bool leaving = event == MouseEvent::ReleaseOutside || event == MouseEvent::RollOut;
        if (!d || (!d->visible && !leaving) || !enabled(*d))
            return;
        const ClipEventName name = clipEventOf(event);
        if (isButton(*d)) {
            const Transition t = buttonTransition(event, trackAsMenu(*d));
            m_rt.m_player->showButtonState(*d, t.state);
            d = live(handle);
            if (!d || !t.condition)
                return;
            playButtonSound(*d, t.condition);
            // on(...) handlers run on the timeline that holds the button.
            DisplayObject* holder = d->parent();
            ClipObject* target = holder ? m_rt.clipFor(*holder) : nullptr;
            const auto& definition = *d->character()->button;
            auto owner = m_rt.definitionFor(*d);
            const int version = m_rt.versionFor(*d);
            for (const ButtonAction& action : definition.conditions) {
                if (!(action.conditions & t.condition) || action.actions.empty())
                    continue;
                ScriptRuntime::Queued q;
                q.block = ActionBlock{action.actions, version, owner};
                q.clip = target;
                m_rt.m_queue.push_back(q);
            }
            if (ClipObject* object = existingObject(*d))
                m_rt.queueEvent(object, 0, name.method);
            return;
        }
        if (d->isClip())
            m_rt.queueEvent(m_rt.clipFor(*d), name.bit, name.method);
    }

    // DefineButtonSound's sound for the state change starts in the player's mix, its level
    // under the button's clips. Sound ids name the root movie's sounds, so a button of a
    // loaded movie stays silent rather than play another movie's sound.
    void playButtonSound(DisplayObject& button, uint16_t condition) {
        sound::MovieSounds* sounds = m_rt.sounds();
        const std::shared_ptr<const MovieDefinition>& movie = m_rt.movieDefinition();
        if (!sounds || !movie || !button.character() || m_rt.definitionFor(button) != movie)
            return;
        const ButtonSound* s = movie->buttonSound(button.character()->id, condition);
        if (s && sounds->library().byId(s->soundId))
            sounds->startSound(s->soundId, s->info, button.handle().id);
    }

    // Brings the hovered and pressed objects up to date with the pointer and the buttons:
    // `clicked` when a mouse button changed.
    void update(bool clicked) {
        if (!m_rt.m_player)
            return;
        DisplayObject* now = pick();
        const DisplayObjectHandle next = now ? now->handle() : DisplayObjectHandle{};
        if (m_state.hovered && !live(m_state.hovered))
            m_state.hovered = {};
        if (m_state.pressed && !live(m_state.pressed))
            m_state.pressed = {};
        const DisplayObjectHandle was = m_state.hovered;
        if (next != was) {
            if (m_state.leftDown && m_state.pressed) {
                if (was == m_state.pressed)
                    fire(m_state.pressed, MouseEvent::DragOut);
                else if (next == m_state.pressed)
                    fire(m_state.pressed, MouseEvent::DragOver);
                menuMove(next);
            } else if (!m_state.leftDown) {
                if (was)
                    fire(was, MouseEvent::RollOut);
                if (next)
                    fire(next, MouseEvent::RollOver);
            }
            m_state.hovered = next;
        }
        if (clicked)
            click(now);
    }

    // While another object holds the pointer, trackAsMenu objects still follow it.
    void menuMove(DisplayObjectHandle next) {
        if (m_state.menuDown && m_state.menuDown != next) {
            fire(m_state.menuDown, MouseEvent::MenuOut);
            m_state.menuDown = {};
        }
        DisplayObject* d = live(next);
        if (d && next != m_state.pressed && !d->editField && trackAsMenu(*d)) {
            fire(next, MouseEvent::MenuOver);
            m_state.menuDown = next;
        }
    }

    void click(DisplayObject* now) {
        if (m_state.leftDown) {
            if (m_state.pressed)
                return;
            DisplayObject* focusBefore = focusedObject(m_rt);
            m_rt.focusByMouse(now);
            const bool focusMoved = focusedObject(m_rt) != focusBefore;
            if (now && now->editField) {
                // The caret goes where the press was; a link under it runs.
                clickTextField(m_rt, *now, m_rt.m_mouseX * 20, m_rt.m_mouseY * 20);
                if (focusedObject(m_rt) == now)
                    m_state.selecting = now->handle();
            }
            if (now && !now->editField) {
                m_state.pressed = now->handle();
                fire(m_state.pressed, MouseEvent::Press);
                // A press that takes the focus away from where it was also rolls the
                // pressed object out, after its press.
                if (focusMoved)
                    fire(m_state.pressed, MouseEvent::RollOut);
            }
            return;
        }
        // Any other change with the left button up releases: what the pointer is over is
        // rolled over afresh when the release was elsewhere.
        const DisplayObjectHandle pressed = m_state.pressed;
        m_state.pressed = {};
        m_state.selecting = {};
        if (pressed && pressed == m_state.hovered) {
            fire(pressed, MouseEvent::Release);
            return;
        }
        if (pressed)
            fire(pressed, MouseEvent::ReleaseOutside);
        if (m_state.menuDown) {
            const DisplayObjectHandle menu = m_state.menuDown;
            m_state.menuDown = {};
            if (menu == m_state.hovered) {
                fire(menu, MouseEvent::MenuRelease);
                return;
            }
        }
        if (m_state.hovered)
            fire(m_state.hovered, MouseEvent::RollOver);
    }

    ScriptRuntime& m_rt;
    Interpreter& m_vm;
    MouseState& m_state;
};

double localMouse(const DisplayObject& object, double mouseX, double mouseY, bool x) {
    Matrix m = stageMatrix(object);
    m.tx = std::round(m.tx / 20) * 20;
    m.ty = std::round(m.ty / 20) * 20;
    if (m.a * m.d - m.b * m.c == 0)
        return x ? mouseX : mouseY;
    const Matrix toLocal = inverted(m);
    const double px = mouseX * 20, py = mouseY * 20;
    // The point and the inverse's offset are each rounded to twips before they add up, as
    // a matrix of whole-twip offsets maps a point.
    return x ? std::round(toLocal.a * px + toLocal.c * py) + std::round(toLocal.tx)
             : std::round(toLocal.b * px + toLocal.d * py) + std::round(toLocal.ty);
}

void ScriptRuntime::mouseInput(const InputEvent& event) {
    MouseDispatch(*this).input(event);
}

void ScriptRuntime::mouseFrame() {
    if (m_mouseState)
        MouseDispatch(*this).frame();
}

bool ScriptRuntime::mouseButtonDown(MouseButton button) const {
    return m_mouseState && m_mouseState->buttonsDown[int(button) % 3];
}

Cursor ScriptRuntime::cursor() const {
    if (!m_mouseState || !m_player)
        return Cursor::Arrow;
    return MouseDispatch(const_cast<ScriptRuntime&>(*this)).cursor();
}

} // namespace swivio::swf::avm1
