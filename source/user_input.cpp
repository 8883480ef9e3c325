#include "source/user_input.h"

#include <array>

namespace swivio {

namespace {

struct NamedKey {
    std::string_view name;
    int keyCode;
    char32_t character;
};

constexpr std::array kNamedKeys = {
    NamedKey{"Backspace", 8, 8},      NamedKey{"Tab", 9, 9},
    NamedKey{"Enter", 13, 13},        NamedKey{"Shift", 16, 0},
    NamedKey{"LeftShift", 16, 0},     NamedKey{"RightShift", 16, 0},
    NamedKey{"Control", 17, 0},       NamedKey{"LeftControl", 17, 0},
    NamedKey{"RightControl", 17, 0},  NamedKey{"Alt", 18, 0},
    NamedKey{"LeftAlt", 18, 0},       NamedKey{"RightAlt", 18, 0},
    NamedKey{"Pause", 19, 0},         NamedKey{"CapsLock", 20, 0},
    NamedKey{"Escape", 27, 27},       NamedKey{"Space", 32, ' '},
    NamedKey{"PageUp", 33, 0},        NamedKey{"PageDown", 34, 0},
    NamedKey{"End", 35, 0},           NamedKey{"Home", 36, 0},
    NamedKey{"Left", 37, 0},          NamedKey{"Up", 38, 0},
    NamedKey{"Right", 39, 0},         NamedKey{"Down", 40, 0},
    NamedKey{"Insert", 45, 0},        NamedKey{"Delete", 46, 127},
    NamedKey{"NumLock", 144, 0},      NamedKey{"ScrollLock", 145, 0},
};

// Punctuation keys of a US keyboard: the unshifted and shifted characters share one code.
struct PunctuationKey {
    char plain;
    char shifted;
    int keyCode;
};

constexpr std::array kPunctuation = {
    PunctuationKey{';', ':', 186}, PunctuationKey{'=', '+', 187}, PunctuationKey{',', '<', 188},
    PunctuationKey{'-', '_', 189}, PunctuationKey{'.', '>', 190}, PunctuationKey{'/', '?', 191},
    PunctuationKey{'`', '~', 192}, PunctuationKey{'[', '{', 219}, PunctuationKey{'\\', '|', 220},
    PunctuationKey{']', '}', 221}, PunctuationKey{'\'', '"', 222},
};

// The digit keys' shifted characters, '0' first.
constexpr std::string_view kShiftedDigits = ")!@#$%^&*(";

} // namespace

std::vector<std::vector<UserInput>> inputSteps(const std::vector<TimedInput>& timed) {
    std::vector<std::vector<UserInput>> steps;
    mergeInputSteps(steps, timed);
    return steps;
}

void mergeInputSteps(std::vector<std::vector<UserInput>>& steps,
                     const std::vector<TimedInput>& timed) {
    for (const TimedInput& t : timed) {
        if (t.frame < 1)
            continue;
        if (steps.size() < size_t(t.frame))
            steps.resize(size_t(t.frame));
        steps[size_t(t.frame) - 1].push_back(t.input);
    }
}

bool keyByCharacter(char32_t character, KeyInfo& key) {
    key.character = character;
    if (character >= 'a' && character <= 'z') {
        key.keyCode = int(character - 'a' + 'A');
        return true;
    }
    if ((character >= 'A' && character <= 'Z') || (character >= '0' && character <= '9')) {
        key.keyCode = int(character);
        return true;
    }
    if (character == ' ') {
        key.keyCode = 32;
        return true;
    }
    if (character == '\t' || character == '\r' || character == '\n') {
        key.keyCode = character == '\t' ? 9 : 13;
        key.character = character == '\t' ? 9 : 13;
        return true;
    }
    for (size_t i = 0; i < kShiftedDigits.size(); ++i) {
        if (character == char32_t(kShiftedDigits[i])) {
            key.keyCode = int('0' + i);
            return true;
        }
    }
    for (const auto& p : kPunctuation) {
        if (character == char32_t(p.plain) || character == char32_t(p.shifted)) {
            key.keyCode = p.keyCode;
            return true;
        }
    }
    return false;
}

bool keyByName(std::string_view name, KeyInfo& key) {
    for (const auto& named : kNamedKeys) {
        if (named.name == name) {
            key.keyCode = named.keyCode;
            key.character = named.character;
            return true;
        }
    }
    // F1..F12 are codes 112..123.
    if (name.size() >= 2 && name.size() <= 3 && name[0] == 'F') {
        int n = 0;
        for (char c : name.substr(1)) {
            if (c < '0' || c > '9')
                return false;
            n = n * 10 + (c - '0');
        }
        if (n < 1 || n > 12 || name[1] == '0')
            return false;
        key.keyCode = 111 + n;
        key.character = 0;
        return true;
    }
    if (name.size() == 1)
        return keyByCharacter(char32_t(static_cast<unsigned char>(name[0])), key);
    return false;
}

} // namespace swivio
