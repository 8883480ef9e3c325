#include "cli/input_options.h"

#include <cmath>
#include <cstdlib>

#include "cli/arguments.h"

namespace swivio::cli {

namespace {

// Splits "WHAT@T" at the last '@'; false when there is no frame after it.
bool splitAtFrame(const std::string& text, std::string& what, int& frame) {
    const size_t at = text.rfind('@');
    if (at == std::string::npos || at == 0)
        return false;
    auto n = parseInteger(text.substr(at + 1), 1, kMaxInputFrame);
    if (!n)
        return false;
    what = text.substr(0, at);
    frame = *n;
    return true;
}

bool parseCoordinate(const std::string& text, double& out) {
    if (text.empty())
        return false;
    char* end = nullptr;
    out = std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size() && std::isfinite(out) && std::fabs(out) <= 1e6;
}

} // namespace

Status parseClickOption(const std::string& text, std::vector<TimedInput>& out) {
    std::string where;
    int frame = 0;
    const Status bad = Status::failure("--click takes X,Y@FRAME (stage pixels, frames from 1), not '" +
                                       text + "'");
    if (!splitAtFrame(text, where, frame))
        return bad;
    const size_t comma = where.find(',');
    double x = 0;
    double y = 0;
    if (comma == std::string::npos || !parseCoordinate(where.substr(0, comma), x) ||
        !parseCoordinate(where.substr(comma + 1), y))
        return bad;
    for (UserInputKind kind :
         {UserInputKind::MouseMove, UserInputKind::MouseDown, UserInputKind::MouseUp}) {
        TimedInput t;
        t.frame = frame;
        t.input.kind = kind;
        t.input.x = x;
        t.input.y = y;
        out.push_back(t);
    }
    return Status();
}

Status parseKeyOption(const std::string& text, std::vector<TimedInput>& out) {
    std::string name;
    int frame = 0;
    if (!splitAtFrame(text, name, frame))
        return Status::failure("--key takes NAME@FRAME (frames from 1), not '" + text + "'");
    KeyInfo key;
    if (!keyByName(name, key))
        return Status::failure("--key: unknown key '" + name +
                               "' (a character, or a name such as Enter, Tab, Space, Escape, "
                               "Left, F1)");
    TimedInput down;
    down.frame = frame;
    down.input.kind = UserInputKind::KeyDown;
    down.input.keyCode = key.keyCode;
    down.input.character = key.character;
    out.push_back(down);
    // A key that types a printable character also types it into a focused text field.
    if (key.character >= 32 && key.character != 127) {
        TimedInput typed = down;
        typed.input.kind = UserInputKind::TextInput;
        typed.input.codepoint = key.character;
        out.push_back(typed);
    } else if (key.character == 13 || key.character == 8 || key.character == 127) {
        TimedInput typed = down;
        typed.input.kind = UserInputKind::TextControl;
        typed.input.control = key.character == 13  ? UserTextControl::Enter
                              : key.character == 8 ? UserTextControl::Backspace
                                                   : UserTextControl::Delete;
        out.push_back(typed);
    }
    TimedInput up = down;
    up.input.kind = UserInputKind::KeyUp;
    out.push_back(up);
    return Status();
}

const char* inputOptionsUsage() {
    return "  --click X,Y@T       after frame T (1 = the first) has played, move the mouse to\n"
           "                      stage pixel X,Y and click the left button there; repeatable\n"
           "  --key NAME@T        after frame T has played, press and release a key: a\n"
           "                      character (a, 7, ;) or Enter, Tab, Space, Escape, Backspace,\n"
           "                      Delete, Up, Down, Left, Right, Home, End, PageUp, PageDown,\n"
           "                      Insert, Shift, Control, Alt, CapsLock, F1..F12; repeatable\n";
}

} // namespace swivio::cli
