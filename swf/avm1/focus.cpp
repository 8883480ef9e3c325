// The keyboard focus: which object holds it, who may take it, and what a change tells the
// old holder, the new one and Selection's listeners.
#include <cstdlib>

#include "swf/avm1/keyboard.h"
#include "swf/avm1/movie_runtime.h"
#include "swf/text/edit_field.h"

namespace swivio::swf::avm1 {

Value invokeFunction(ScriptRuntime& runtime, const Value& function, const Value& thisValue,
                     std::span<const Value> args) {
    Interpreter& vm = runtime.interpreter();
    if (!function.isObject() || function.object()->kind() != ObjectKind::Function)
        return Value();
    return vm.running() ? vm.call(function, thisValue, args)
                        : vm.callFromHost(function, thisValue, args);
}

Value memberOf(ScriptRuntime& runtime, const Value& object, std::string_view name) {
    Interpreter& vm = runtime.interpreter();
    if (!object.isObject())
        return Value();
    return vm.running() ? vm.getMember(object, name) : vm.getMemberFromHost(object, name);
}

void invokeMethod(ScriptRuntime& runtime, const Value& object, std::string_view name,
                  std::span<const Value> args) {
    invokeFunction(runtime, memberOf(runtime, object, name), object, args);
}

bool isTextField(const DisplayObject& display) {
    return display.editField != nullptr;
}

bool isButton(const DisplayObject& display) {
    return display.character() && display.character()->button;
}

bool isInputField(const DisplayObject& display) {
    return display.editField && display.editField->editable;
}

DisplayObject* focusedObject(ScriptRuntime& runtime) {
    KeyboardState& keys = runtime.keyboard();
    if (!keys.focus)
        return nullptr;
    DisplayObject* found = runtime.player().root().find(keys.focus);
    if (!found)
        keys.focus = {};
    return found;
}

Value scriptFace(ScriptRuntime& runtime, DisplayObject* display) {
    if (!display)
        return Value::null();
    return Value(static_cast<Object*>(runtime.clipFor(*display)));
}

bool focusableByScript(ScriptRuntime& runtime, DisplayObject& display) {
    if (display.isRoot())
        return false;
    if (isTextField(display) || isButton(display))
        return true;
    if (!display.isClip())
        return false;
    // A clip takes the focus when it asks for it or acts as a button.
    const Value face = scriptFace(runtime, &display);
    return runtime.interpreter().toBoolean(memberOf(runtime, face, "focusEnabled")) ||
           actsAsButton(runtime, face);
}

bool actsAsButton(ScriptRuntime& runtime, const Value& face) {
    Object* object = face.object();
    if (!object)
        return false;
    for (const char* handler : {"onPress", "onRelease", "onReleaseOutside", "onRollOver",
                                "onRollOut", "onDragOver", "onDragOut"})
        if (runtime.interpreter().hasProperty(object, handler))
            return true;
    return false;
}

// A button's rollOver or rollOut: its conditions, run on the timeline that holds it, then
// its handler; a clip acting as a button hears the handler alone.
void rollByKeyboard(ScriptRuntime& runtime, DisplayObject& object, bool over) {
    if (object.editField || object.isRoot())
        return;
    const Value face = scriptFace(runtime, &object);
    if (isButton(object) && object.parent()) {
        DisplayObject& holder = *object.parent();
        const uint16_t condition = over ? kButtonIdleToOverUp : kButtonOverUpToIdle;
        for (const ButtonAction& action : object.character()->button->conditions)
            if (action.conditions & condition)
                runtime.interpreter().runScript(ActionBlock{action.actions,
                                                            runtime.versionFor(holder),
                                                            runtime.definitionFor(holder)},
                                                runtime.clipFor(holder));
    } else if (!object.isClip()) {
        return;
    }
    invokeMethod(runtime, face, over ? "onRollOver" : "onRollOut", {});
}

void changeFocus(ScriptRuntime& runtime, DisplayObject* target, bool byKeyboard) {
    KeyboardState& keys = runtime.keyboard();
    DisplayObject* old = focusedObject(runtime);
    if (old == target) {
        // A field given the focus again has its text selected again.
        if (target && target->editField) {
            target->editField->selectionAnchor = 0;
            target->editField->caret = target->editField->content().length();
        }
        return;
    }
    const DisplayObjectHandle targetHandle = target ? target->handle() : DisplayObjectHandle{};
    if (byKeyboard) {
        // The keyboard's focus highlights a button as the pointer would. What the handlers
        // run may remove either object: both are found again by handle.
        if (old)
            rollByKeyboard(runtime, *old, false);
        if (target && (target = runtime.player().root().find(targetHandle)))
            rollByKeyboard(runtime, *target, true);
        if (targetHandle && !(target = runtime.player().root().find(targetHandle)))
            return;
        old = focusedObject(runtime);
        if (old == target)
            return;
    } else if (runtime.interpreter().running()) {
        if (old)
            runtime.queueRoll(*old, false);
        if (target)
            runtime.queueRoll(*target, true);
    }
    const Value oldFace = scriptFace(runtime, old);
    const Value newFace = scriptFace(runtime, target);
    keys.focus = targetHandle;
    // Until the holders have heard of the change the new field has no selection to report.
    keys.selectionKnown = false;
    if (old) {
        Value args[] = {newFace};
        invokeMethod(runtime, oldFace, "onKillFocus", args);
    }
    if (target) {
        Value args[] = {oldFace};
        invokeMethod(runtime, newFace, "onSetFocus", args);
    }
    Interpreter& vm = runtime.interpreter();
    const Value selection = memberOf(runtime, Value(vm.global()), "Selection");
    Value message[] = {Value("onSetFocus"), oldFace, newFace};
    invokeMethod(runtime, selection, "broadcastMessage", message);
    // A field reached by script or Tab then has all its text selected.
    if (!targetHandle || keys.focus != targetHandle)
        return;
    DisplayObject* field = runtime.player().root().find(targetHandle);
    if (field && field->editField) {
        field->editField->selectionAnchor = 0;
        field->editField->caret = field->editField->content().length();
        keys.selectionKnown = true;
    }
}

// A focused object leaving the display list takes the focus with it; the news is told once
// the removal is over (deliverFocusLoss), never while the list is being changed.
void ScriptRuntime::focusRemoving(DisplayObject& object) {
    if (!m_keyboard || !m_keyboard->focus || m_keyboard->focus != object.handle())
        return;
    KeyboardState& keys = *m_keyboard;
    keys.focus = {};
    keys.lossPending = true;
    // The path it had: once gone, its clip object no longer answers to it.
    keys.lostFocus = Value(targetPath(clipFor(object), true));
}

void ScriptRuntime::deliverFocusLoss() {
    if (!m_keyboard || !m_keyboard->lossPending)
        return;
    KeyboardState& keys = *m_keyboard;
    keys.lossPending = false;
    const Value lost = keys.lostFocus;
    keys.lostFocus = Value();
    const Value selection = memberOf(*this, Value(m_vm->global()), "Selection");
    Value message[] = {Value("onSetFocus"), lost, Value::null()};
    invokeMethod(*this, selection, "broadcastMessage", message);
}

void ScriptRuntime::queueRoll(DisplayObject& object, bool over) {
    if (object.editField || object.isRoot())
        return;
    if (isButton(object) && object.parent()) {
        DisplayObject& holder = *object.parent();
        const uint16_t condition = over ? kButtonIdleToOverUp : kButtonOverUpToIdle;
        for (const ButtonAction& action : object.character()->button->conditions)
            if (action.conditions & condition) {
                Queued q;
                q.block = ActionBlock{action.actions, versionFor(holder), definitionFor(holder)};
                q.clip = clipFor(holder);
                m_queue.push_back(q);
            }
    } else if (!object.isClip()) {
        return;
    }
    queueEvent(clipFor(object), over ? kClipEventRollOver : kClipEventRollOut,
               over ? "onRollOver" : "onRollOut");
}

void ScriptRuntime::focusHidden(DisplayObject& object) {
    if (!m_keyboard || !m_keyboard->focus)
        return;
    for (DisplayObject* d = focusedObject(*this); d; d = d->parent())
        if (d == &object) {
            changeFocus(*this, nullptr);
            return;
        }
}

namespace {

// Whether a string spells the number 0 ("0", " 0.0", "-0"); whatever does not spell a number
// is not 0 here, in any version.
bool namesZero(const std::string& text) {
    if (text.empty())
        return false;
    char* end = nullptr;
    const double n = std::strtod(text.c_str(), &end);
    return end && *end == '\0' && n == 0;
}

} // namespace

Value ScriptRuntime::focusRect(DisplayObject& object) {
    KeyboardState& keys = keyboard();
    if (m_vm->version() < 6)
        return keys.focusRect ? 1.0 : 0.0;
    if (object.isRoot())
        return keys.focusRect;
    auto own = keys.ownFocusRect.find(object.handle().id);
    return own == keys.ownFocusRect.end() ? Value::null() : Value(own->second);
}

// The movie's switch ignores null and undefined and counts any number but 0 (NaN too) as on,
// a string unless it spells zero, an object as off; an object's own takes the value's truth, null and
// undefined clearing it.
void ScriptRuntime::setFocusRect(DisplayObject& object, const Value& value) {
    KeyboardState& keys = keyboard();
    if (m_vm->version() < 6 || object.isRoot()) {
        if (value.isNullish())
            return;
        if (value.isBoolean())
            keys.focusRect = value.boolean();
        else if (value.isObject())
            keys.focusRect = false;
        else if (value.isString())
            keys.focusRect = !namesZero(m_vm->toString(value));
        else
            keys.focusRect = m_vm->toNumber(value) != 0;
        return;
    }
    if (value.isNullish())
        keys.ownFocusRect.erase(object.handle().id);
    else
        keys.ownFocusRect[object.handle().id] = m_vm->toBoolean(value);
}

KeyboardState& ScriptRuntime::keyboard() {
    if (!m_keyboard)
        m_keyboard = std::make_shared<KeyboardState>();
    return *m_keyboard;
}

} // namespace swivio::swf::avm1
