#pragma once

#include <cstdint>
#include <string>

namespace swivio::swf {

// What the user does to a playing movie, as the engine hears it. Positions are stage pixels
// (the movie's own coordinates, not the window's); key codes are Flash's (Key.getCode: 65
// for A, 13 for Enter, 37 for Left, ...).
enum class InputKind : uint8_t {
    MouseMove,
    MouseDown,
    MouseUp,
    MouseWheel,
    KeyDown,
    KeyUp,
    // A character typed (after the keyboard layout): goes to the focused text field.
    TextInput,
    // An editing command for the focused text field (Enter, Backspace, Paste, ...).
    TextControl,
    // The window holding the movie gained or lost the keyboard.
    FocusGained,
    FocusLost,
    // The system clipboard now holds text (what Paste inserts).
    ClipboardText,
};

enum class MouseButton : uint8_t { Left, Middle, Right };

enum class TextControlCode : uint8_t {
    Enter,
    Backspace,
    Delete,
    SelectAll,
    Copy,
    Cut,
    Paste,
    MoveLeft,
    MoveRight,
    MoveLeftWord,
    MoveRightWord,
    MoveStart,
    MoveEnd,
    SelectLeft,
    SelectRight,
    SelectStart,
    SelectEnd,
};

struct InputEvent {
    InputKind kind = InputKind::MouseMove;
    // Mouse events: where, and which button (MouseDown/MouseUp).
    double x = 0;
    double y = 0;
    MouseButton button = MouseButton::Left;
    // MouseWheel: lines, positive away from the user.
    int wheelDelta = 0;
    // KeyDown/KeyUp: Flash's key code, and the character the key types (0 when none).
    int keyCode = 0;
    char32_t character = 0;
    // TextInput: the character typed.
    char32_t codepoint = 0;
    TextControlCode control = TextControlCode::Enter;
    // ClipboardText: the text.
    std::string text;
};

// The pointer the movie wants shown where the mouse is.
enum class Cursor : uint8_t { Arrow, Hand, IBeam };

} // namespace swivio::swf
