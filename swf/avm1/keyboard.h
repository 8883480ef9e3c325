#pragma once

// The keyboard's state for one movie and the pieces of its handling shared between
// key_input.cpp, focus.cpp, tab_order.cpp, text_input.cpp and builtins_key.cpp.
#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "swf/avm1/value.h"
#include "swf/player/display_object.h"
#include "swf/player/input_event.h"

namespace swivio::swf::text {
class EditField;
}

namespace swivio::swf::avm1 {

class ScriptRuntime;

struct KeyboardState {
    std::array<bool, 256> down{};
    bool capsLock = false;
    bool numLock = false;
    // Key.getCode and Key.getAscii: the last key pressed or released.
    int lastCode = 0;
    int lastAscii = 0;
    // Whether the last KeyDown already ran the key-press handlers for its character, so the
    // TextInput that follows it does not run them again.
    bool keyPressRan = false;
    // Whether the text typed since the last KeyDown goes nowhere (the key moved the focus).
    bool swallowText = false;
    DisplayObjectHandle focus;
    // Whether a focused object left the display list and the news has not been told yet.
    bool lossPending = false;
    Value lostFocus;
    // Whether Selection reports the focused field's selection: not while a focus change is
    // being told.
    bool selectionKnown = false;
    // _focusrect: the movie's, and objects' own (null until set) by handle.
    bool focusRect = true;
    std::unordered_map<uint64_t, bool> ownFocusRect;
    // What Paste inserts: the last clipboard text heard, or what Copy/Cut took.
    std::string clipboard;
};

// Calls a script function from wherever the runtime is: inside a running script errors
// propagate as the script's own, outside they are reported.
Value invokeFunction(ScriptRuntime& runtime, const Value& function, const Value& thisValue,
                     std::span<const Value> args);
// object[name](args) when it is a function.
void invokeMethod(ScriptRuntime& runtime, const Value& object, std::string_view name,
                  std::span<const Value> args);
// A member read the same way.
Value memberOf(ScriptRuntime& runtime, const Value& object, std::string_view name);

// focus.cpp
DisplayObject* focusedObject(ScriptRuntime& runtime);
// The script face of a display object (a clip, button or text field), or null.
Value scriptFace(ScriptRuntime& runtime, DisplayObject* display);
// A clip acts as a button once it has any of a button's handlers, even one set to
// undefined.
bool actsAsButton(ScriptRuntime& runtime, const Value& face);
// Whether a script may give this object the focus (Selection.setFocus).
bool focusableByScript(ScriptRuntime& runtime, DisplayObject& display);
// Moves the focus, telling the old and new holders and Selection's listeners; a move by the
// keyboard also rolls the pointer's highlight off the old holder and onto the new.
void changeFocus(ScriptRuntime& runtime, DisplayObject* target, bool byKeyboard = false);
bool isTextField(const DisplayObject& display);
bool isButton(const DisplayObject& display);
bool isInputField(const DisplayObject& display);

// tab_order.cpp: the objects Tab walks through, in order.
std::vector<DisplayObject*> tabOrder(ScriptRuntime& runtime);
// Where Tab (or Shift+Tab) moves the focus from the current one; null for nowhere.
DisplayObject* nextTabStop(ScriptRuntime& runtime, DisplayObject* from, bool backwards);

// text_input.cpp: editing the focused field.
void typeInto(ScriptRuntime& runtime, DisplayObject& field, char32_t codepoint);
void controlField(ScriptRuntime& runtime, DisplayObject& field, TextControlCode code);
// The text a field bound by restrict accepts (the rules of TextField.restrict).
bool restrictAllows(std::string_view restrict, char32_t c);
// Keeps a field's selection within its text.
void clampSelection(text::EditField& field);

} // namespace swivio::swf::avm1
