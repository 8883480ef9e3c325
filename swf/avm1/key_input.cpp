// The keyboard: keys, typed text and the focus.
//
// A key going down is heard, in order, by the focused object's onKeyDown, every clip's
// onClipEvent(keyDown), Key's listeners, then the one button or clip whose key-press
// handler names the key; Space presses and releases a focused button, and Tab moves the
// focus. Text typed goes to the focused input field.
#include <algorithm>

#include "swf/avm1/text_builtins.h"
#include "swf/avm1/keyboard.h"
#include "swf/avm1/movie_runtime.h"
#include "swf/text/edit_field.h"

namespace swivio::swf::avm1 {

namespace {

constexpr int kKeyTab = 9;
constexpr int kKeyShift = 16;
constexpr int kKeyCapsLock = 20;
constexpr int kKeySpace = 32;
constexpr int kKeyNumLock = 144;
constexpr int kMaxWalkDepth = 256;

// Key-press handlers name special keys by codes of their own.
int keyPressCode(int keyCode, char32_t character) {
    switch (keyCode) {
    case 37: return 1;  // left
    case 39: return 2;  // right
    case 36: return 3;  // home
    case 35: return 4;  // end
    case 45: return 5;  // insert
    case 46: return 6;  // delete
    case 8: return 8;   // backspace
    case 13: return 13; // enter
    case 38: return 14; // up
    case 40: return 15; // down
    case 33: return 16; // page up
    case 34: return 17; // page down
    case 9: return 18;  // tab
    case 27: return 19; // escape
    default: break;
    }
    return character >= 32 && character <= 126 ? int(character) : 0;
}

// What Key.getAscii reports for a key without a character of its own.
int asciiOf(int keyCode, char32_t character) {
    if (character > 0 && character < 0x10000)
        return int(character);
    switch (keyCode) {
    case 8:
    case 9:
    case 13:
    case 27:
    case 32: return keyCode;
    case 46: return 127;
    default: break;
    }
    if (keyCode >= '0' && keyCode <= '9')
        return keyCode;
    if (keyCode >= 'A' && keyCode <= 'Z')
        return keyCode + 32;
    return 0;
}

// Display objects in the order clip events reach them: children first, the highest depth
// first, then the parent.
void walkTopDown(DisplayObject& object, int depth, std::vector<DisplayObject*>& out) {
    if (depth > kMaxWalkDepth)
        return;
    for (auto it = object.children().rbegin(); it != object.children().rend(); ++it)
        walkTopDown(*it->second, depth + 1, out);
    out.push_back(&object);
}

std::vector<DisplayObject*> everyObject(ScriptRuntime& runtime) {
    std::vector<DisplayObject*> out;
    for (auto it = runtime.player().levels().rbegin(); it != runtime.player().levels().rend();
         ++it)
        walkTopDown(*it->second, 0, out);
    walkTopDown(runtime.player().root(), 0, out);
    return out;
}

// Runs the first key-press handler for code: a button's condition or a clip's
// onClipEvent(keyPress). True when one ran.
bool runKeyPress(ScriptRuntime& runtime, int code) {
    if (code == 0)
        return false;
    for (DisplayObject* object : everyObject(runtime)) {
        if (isButton(*object)) {
            if (!object->parent())
                continue;
            for (const ButtonAction& action : object->character()->button->conditions) {
                if (action.keyCode() != code)
                    continue;
                // A button's actions run on the timeline that holds it.
                DisplayObject& holder = *object->parent();
                ActionBlock block{action.actions, runtime.versionFor(holder),
                                  runtime.definitionFor(holder)};
                runtime.interpreter().runScript(block, runtime.clipFor(holder));
                return true;
            }
        } else if (object->isClip() && !object->isRoot()) {
            ClipObject* clip = runtime.clipFor(*object);
            for (const ClipEventHandler& handler : clip->clipEvents) {
                if (!(handler.events & kClipEventKeyPress) || handler.keyCode != code)
                    continue;
                runtime.interpreter().runScript(
                    ActionBlock{handler.actions, clip->version, clip->owner}, clip);
                return true;
            }
        }
    }
    return false;
}

// A focused button (or clip acting as one) is pressed and released by Space.
void pressByKey(ScriptRuntime& runtime, DisplayObject& focused) {
    const Value face = scriptFace(runtime, &focused);
    const auto runConditions = [&](uint16_t condition) {
        if (!isButton(focused) || !focused.parent())
            return;
        DisplayObject& holder = *focused.parent();
        for (const ButtonAction& action : focused.character()->button->conditions)
            if (action.conditions & condition)
                runtime.interpreter().runScript(
                    ActionBlock{action.actions, runtime.versionFor(holder),
                                runtime.definitionFor(holder)},
                    runtime.clipFor(holder));
    };
    const DisplayObjectHandle handle = focused.handle();
    runConditions(kButtonOverUpToOverDown);
    invokeMethod(runtime, face, "onPress", {});
    // What onPress ran may have removed the button.
    if (!handle || !runtime.player().root().find(handle))
        return;
    runConditions(kButtonOverDownToOverUp);
    invokeMethod(runtime, face, "onRelease", {});
}

void broadcastKey(ScriptRuntime& runtime, const char* message) {
    Interpreter& vm = runtime.interpreter();
    const Value key = memberOf(runtime, Value(vm.global()), "Key");
    Value args[] = {Value(message)};
    invokeMethod(runtime, key, "broadcastMessage", args);
}

} // namespace

void ScriptRuntime::keyInput(const InputEvent& event) {
    if (!m_player)
        return;
    KeyboardState& keys = keyboard();
    deliverFocusLoss();
    const int code = std::clamp(event.keyCode, 0, 255);
    const bool down = event.kind == InputKind::KeyDown;
    switch (event.kind) {
    case InputKind::KeyDown:
    case InputKind::KeyUp: {
        keys.down[std::size_t(code)] = down;
        keys.lastCode = code;
        keys.lastAscii = asciiOf(code, event.character);
        if (down && code == kKeyCapsLock)
            keys.capsLock = !keys.capsLock;
        if (down && code == kKeyNumLock)
            keys.numLock = !keys.numLock;
        if (down) {
            keys.keyPressRan = false;
            keys.swallowText = false;
        }
        DisplayObject* focused = focusedObject(*this);
        if (focused && !isTextField(*focused))
            invokeMethod(*this, scriptFace(*this, focused), down ? "onKeyDown" : "onKeyUp", {});
        const uint32_t clipEvent = down ? kClipEventKeyDown : kClipEventKeyUp;
        for (DisplayObject* object : everyObject(*this)) {
            if (!object->isClip() || object->isRoot())
                continue;
            ClipObject* clip = clipFor(*object);
            for (const ClipEventHandler& handler : clip->clipEvents)
                if (handler.events & clipEvent) {
                    queueEvent(clip, clipEvent, nullptr);
                    break;
                }
        }
        runQueued();
        broadcastKey(*this, down ? "onKeyDown" : "onKeyUp");
        if (!down)
            break;
        if (event.character >= 32 || keyPressCode(code, 0) != 0) {
            runKeyPress(*this, keyPressCode(code, event.character));
            keys.keyPressRan = true;
        }
        focused = focusedObject(*this);
        if (code == kKeySpace && focused && !isTextField(*focused))
            pressByKey(*this, *focused);
        if (code == kKeyTab) {
            keys.swallowText = true;
            if (DisplayObject* next = nextTabStop(*this, focused, keys.down[kKeyShift]))
                changeFocus(*this, next, true);
        }
        break;
    }
    case InputKind::TextInput: {
        if (keys.swallowText)
            break;
        // A key heard without its character runs its key-press handler now.
        if (!keys.keyPressRan && event.codepoint >= 32 && event.codepoint <= 126) {
            keys.lastAscii = int(event.codepoint);
            runKeyPress(*this, int(event.codepoint));
        }
        keys.keyPressRan = true;
        DisplayObject* focused = focusedObject(*this);
        if (focused && isInputField(*focused))
            typeInto(*this, *focused, event.codepoint);
        break;
    }
    case InputKind::TextControl: {
        DisplayObject* focused = focusedObject(*this);
        if (focused && focused->editField)
            controlField(*this, *focused, event.control);
        break;
    }
    case InputKind::ClipboardText: keys.clipboard = event.text; break;
    case InputKind::FocusLost:
        // Keys let go while the window had no keyboard are never heard going up, and the
        // object that had the keyboard loses it, its highlight with it.
        keys.down.fill(false);
        if (focusedObject(*this))
            changeFocus(*this, nullptr, true);
        break;
    case InputKind::FocusGained:
    default: break;
    }
    runQueued();
}

void ScriptRuntime::focusByMouse(DisplayObject* pressed) {
    if (!m_player)
        return;
    deliverFocusLoss();
    if (!pressed) {
        changeFocus(*this, nullptr);
        return;
    }
    if (pressed->editField) {
        // A field that cannot be selected cannot be clicked into, input or not.
        if (!pressed->editField->selectable) {
            changeFocus(*this, nullptr);
            return;
        }
        changeFocus(*this, pressed);
        // A click puts the caret between the characters under the pointer, nothing selected;
        // dragging on moves the caret from there.
        pressed->editField->selectionAnchor = pressed->editField->caret =
            caretIndexAt(*pressed, m_mouseX * 20, m_mouseY * 20);
        keyboard().selectionKnown = true;
        return;
    }
    // Buttons and clips take the focus from the keyboard and scripts only.
    changeFocus(*this, nullptr);
}

} // namespace swivio::swf::avm1
