#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace swivio {

// What a person (or a script standing in for one) does to a playing movie, in the form the
// windows, the command line and the recorded-input files share. Positions are stage pixels;
// key codes are Flash's (65 for A, 13 for Enter, 37 for Left, ...). The player host hands
// these to the engine unchanged.
enum class UserInputKind : uint8_t {
    MouseMove,
    MouseDown,
    MouseUp,
    MouseWheel,
    KeyDown,
    KeyUp,
    TextInput,
    TextControl,
    FocusGained,
    FocusLost,
    ClipboardText,
};

enum class UserMouseButton : uint8_t { Left, Middle, Right };

enum class UserTextControl : uint8_t {
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

struct UserInput {
    UserInputKind kind = UserInputKind::MouseMove;
    double x = 0;
    double y = 0;
    UserMouseButton button = UserMouseButton::Left;
    int wheelDelta = 0;
    int keyCode = 0;
    // The character a key types (0 when none).
    char32_t character = 0;
    // TextInput: the character typed.
    char32_t codepoint = 0;
    UserTextControl control = UserTextControl::Enter;
    // ClipboardText: the text.
    std::string text;
};

// The pointer a movie wants shown where the mouse is.
enum class UserCursor : uint8_t { Arrow, Hand, IBeam };

// Input given ahead of time, for a conversion with nobody at the mouse: delivered after the
// root timeline's frame `frame` (1 = the first) has run.
struct TimedInput {
    int frame = 1;
    UserInput input;
};

// The timed input as steps: steps[k] holds what is delivered after frame k + 1, in order.
std::vector<std::vector<UserInput>> inputSteps(const std::vector<TimedInput>& timed);

// Adds the timed input to `steps` (after what each step already holds).
void mergeInputSteps(std::vector<std::vector<UserInput>>& steps,
                     const std::vector<TimedInput>& timed);

// A key by name: "Tab", "Enter", "Escape", "Space", "Backspace", "Delete", "Up", "Down",
// "Left", "Right", "Home", "End", "PageUp", "PageDown", "Insert", "F1".."F12", "Shift",
// "LeftShift", "RightShift", "Control", "LeftControl", "RightControl", "Alt", "CapsLock", or a
// single character ("a", "7", ";"). False when the name is none of these.
struct KeyInfo {
    int keyCode = 0;
    char32_t character = 0;
};
bool keyByName(std::string_view name, KeyInfo& key);

// The key that types `character` on a US keyboard (letters and digits, punctuation, space);
// false when no key does.
bool keyByCharacter(char32_t character, KeyInfo& key);

} // namespace swivio
