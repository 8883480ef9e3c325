#include "app/record/key_map.h"

#include <array>

namespace swivio::app {

namespace {

struct KeyRow {
    int qtKey;
    int keyCode;
    // What the key types whatever Qt reports (the control characters a movie sees).
    char32_t character;
};

// Keys whose code is not their character. Letters, digits and punctuation are looked up
// by the character they stand for.
constexpr std::array kKeys = {
    KeyRow{Qt::Key_Backspace, 8, 8},  KeyRow{Qt::Key_Tab, 9, 9},
    KeyRow{Qt::Key_Backtab, 9, 9},    KeyRow{Qt::Key_Return, 13, 13},
    KeyRow{Qt::Key_Enter, 13, 13},    KeyRow{Qt::Key_Shift, 16, 0},
    KeyRow{Qt::Key_Control, 17, 0},   KeyRow{Qt::Key_Meta, 17, 0},
    KeyRow{Qt::Key_Alt, 18, 0},       KeyRow{Qt::Key_AltGr, 18, 0},
    KeyRow{Qt::Key_Pause, 19, 0},     KeyRow{Qt::Key_CapsLock, 20, 0},
    KeyRow{Qt::Key_Escape, 27, 27},   KeyRow{Qt::Key_Space, 32, ' '},
    KeyRow{Qt::Key_PageUp, 33, 0},    KeyRow{Qt::Key_PageDown, 34, 0},
    KeyRow{Qt::Key_End, 35, 0},       KeyRow{Qt::Key_Home, 36, 0},
    KeyRow{Qt::Key_Left, 37, 0},      KeyRow{Qt::Key_Up, 38, 0},
    KeyRow{Qt::Key_Right, 39, 0},     KeyRow{Qt::Key_Down, 40, 0},
    KeyRow{Qt::Key_Insert, 45, 0},    KeyRow{Qt::Key_Delete, 46, 127},
    KeyRow{Qt::Key_NumLock, 144, 0},  KeyRow{Qt::Key_ScrollLock, 145, 0},
};

// The number pad: its digits and operators have codes apart from the main keyboard's.
constexpr std::array kKeypad = {
    KeyRow{Qt::Key_Asterisk, 106, '*'}, KeyRow{Qt::Key_Plus, 107, '+'},
    KeyRow{Qt::Key_Minus, 109, '-'},    KeyRow{Qt::Key_Period, 110, '.'},
    KeyRow{Qt::Key_Comma, 110, ','},    KeyRow{Qt::Key_Slash, 111, '/'},
};

bool printable(char32_t c) { return c >= 32 && c != 127 && (c < 0xD800 || c > 0xDFFF); }

} // namespace

bool movieKey(int qtKey, bool keypad, char32_t typed, KeyInfo& key) {
    if (keypad) {
        if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) {
            key.keyCode = 96 + (qtKey - Qt::Key_0);
            key.character = char32_t('0' + (qtKey - Qt::Key_0));
            return true;
        }
        for (const KeyRow& row : kKeypad) {
            if (row.qtKey == qtKey) {
                key.keyCode = row.keyCode;
                key.character = row.character;
                return true;
            }
        }
        // Without Num Lock the pad's keys are arrows and Home/End: the plain table says.
    }
    for (const KeyRow& row : kKeys) {
        if (row.qtKey == qtKey) {
            key.keyCode = row.keyCode;
            key.character = row.character;
            return true;
        }
    }
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F12) {
        key.keyCode = 112 + (qtKey - Qt::Key_F1);
        key.character = 0;
        return true;
    }
    // Qt names the remaining keys by their unshifted character (Key_A is 'A'); the movie
    // hears the code of that key and the character actually typed.
    if (qtKey <= 0 || qtKey > 0x7e || !keyByCharacter(char32_t(qtKey), key)) {
        // A character of another layout: no code of its own, but the movie still learns
        // what was typed.
        if (!printable(typed))
            return false;
        key.keyCode = 0;
    }
    key.character = printable(typed) ? typed : 0;
    return true;
}

namespace {

struct ControlRow {
    int qtKey;
    // Which of Shift and Control must be held (the other not).
    bool shift;
    bool control;
    UserTextControl command;
};

constexpr std::array kControls = {
    ControlRow{Qt::Key_Return, false, false, UserTextControl::Enter},
    ControlRow{Qt::Key_Enter, false, false, UserTextControl::Enter},
    ControlRow{Qt::Key_Backspace, false, false, UserTextControl::Backspace},
    ControlRow{Qt::Key_Delete, false, false, UserTextControl::Delete},
    ControlRow{Qt::Key_A, false, true, UserTextControl::SelectAll},
    ControlRow{Qt::Key_C, false, true, UserTextControl::Copy},
    ControlRow{Qt::Key_Insert, false, true, UserTextControl::Copy},
    ControlRow{Qt::Key_X, false, true, UserTextControl::Cut},
    ControlRow{Qt::Key_Delete, true, false, UserTextControl::Cut},
    ControlRow{Qt::Key_V, false, true, UserTextControl::Paste},
    ControlRow{Qt::Key_Insert, true, false, UserTextControl::Paste},
    ControlRow{Qt::Key_Left, false, false, UserTextControl::MoveLeft},
    ControlRow{Qt::Key_Right, false, false, UserTextControl::MoveRight},
    ControlRow{Qt::Key_Left, false, true, UserTextControl::MoveLeftWord},
    ControlRow{Qt::Key_Right, false, true, UserTextControl::MoveRightWord},
    ControlRow{Qt::Key_Home, false, false, UserTextControl::MoveStart},
    ControlRow{Qt::Key_End, false, false, UserTextControl::MoveEnd},
    ControlRow{Qt::Key_Left, true, false, UserTextControl::SelectLeft},
    ControlRow{Qt::Key_Right, true, false, UserTextControl::SelectRight},
    ControlRow{Qt::Key_Home, true, false, UserTextControl::SelectStart},
    ControlRow{Qt::Key_End, true, false, UserTextControl::SelectEnd},
};

} // namespace

std::optional<UserTextControl> textControlFor(int qtKey, Qt::KeyboardModifiers modifiers) {
    const bool shift = modifiers.testFlag(Qt::ShiftModifier);
    const bool control = modifiers.testFlag(Qt::ControlModifier);
    for (const ControlRow& row : kControls)
        if (row.qtKey == qtKey && row.shift == shift && row.control == control)
            return row.command;
    return std::nullopt;
}

} // namespace swivio::app
