#include "source/recorded_input.h"

#include <array>
#include <cmath>
#include <fstream>
#include <iterator>
#include <sstream>
#include <utility>

#include "base/json_reader.h"

namespace swivio {

namespace {

// Recorded input is a few thousand events at most; a larger file is not one.
constexpr size_t kMaxFileBytes = 4 * 1024 * 1024;
// Stage positions are pixels; anything outside this is damage, not a place.
constexpr double kMaxCoordinate = 1e6;

constexpr std::array<std::pair<std::string_view, UserTextControl>, 17> kTextControls = {{
    {"Enter", UserTextControl::Enter},
    {"Backspace", UserTextControl::Backspace},
    {"Delete", UserTextControl::Delete},
    {"SelectAll", UserTextControl::SelectAll},
    {"Copy", UserTextControl::Copy},
    {"Cut", UserTextControl::Cut},
    {"Paste", UserTextControl::Paste},
    {"MoveLeft", UserTextControl::MoveLeft},
    {"MoveRight", UserTextControl::MoveRight},
    {"MoveLeftWord", UserTextControl::MoveLeftWord},
    {"MoveRightWord", UserTextControl::MoveRightWord},
    {"MoveStart", UserTextControl::MoveStart},
    {"MoveEnd", UserTextControl::MoveEnd},
    {"SelectLeft", UserTextControl::SelectLeft},
    {"SelectRight", UserTextControl::SelectRight},
    {"SelectStart", UserTextControl::SelectStart},
    {"SelectEnd", UserTextControl::SelectEnd},
}};

// The first character of UTF-8 text, or 0 when the text is empty or not one character.
char32_t singleCharacter(const std::string& text) {
    if (text.empty())
        return 0;
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    size_t length;
    char32_t c;
    if (s[0] < 0x80) {
        length = 1;
        c = s[0];
    } else if ((s[0] & 0xE0) == 0xC0) {
        length = 2;
        c = s[0] & 0x1F;
    } else if ((s[0] & 0xF0) == 0xE0) {
        length = 3;
        c = s[0] & 0x0F;
    } else if ((s[0] & 0xF8) == 0xF0) {
        length = 4;
        c = s[0] & 0x07;
    } else {
        return 0;
    }
    if (text.size() != length)
        return 0;
    for (size_t i = 1; i < length; ++i) {
        if ((s[i] & 0xC0) != 0x80)
            return 0;
        c = (c << 6) | (s[i] & 0x3F);
    }
    return c;
}

class EventReader {
public:
    EventReader(const JsonValue& event, size_t index) : m_event(event), m_index(index) {}

    Status failure(const std::string& message) const {
        return Status::failure("event " + std::to_string(m_index + 1) + " (" + m_event.where() +
                               "): " + message);
    }

    Status position(UserInput& input) const {
        const JsonValue* pos = m_event.find("pos");
        if (!pos || !pos->isArray() || pos->items().size() != 2 || !pos->items()[0].isNumber() ||
            !pos->items()[1].isNumber())
            return failure("\"pos\" must be an array of two numbers");
        input.x = pos->items()[0].number();
        input.y = pos->items()[1].number();
        if (std::fabs(input.x) > kMaxCoordinate || std::fabs(input.y) > kMaxCoordinate)
            return failure("\"pos\" lies too far outside the stage");
        return Status();
    }

    Status button(UserInput& input) const {
        const JsonValue* btn = m_event.find("btn");
        if (!btn)
            return Status();  // the left button unless said otherwise
        if (btn->isString() && btn->string() == "Left")
            input.button = UserMouseButton::Left;
        else if (btn->isString() && btn->string() == "Middle")
            input.button = UserMouseButton::Middle;
        else if (btn->isString() && btn->string() == "Right")
            input.button = UserMouseButton::Right;
        else
            return failure("\"btn\" must be \"Left\", \"Middle\" or \"Right\"");
        return Status();
    }

    Status key(UserInput& input) const {
        const JsonValue* key = m_event.find("key");
        KeyInfo info;
        if (key && key->isString()) {
            if (!keyByName(key->string(), info))
                return failure("unknown key \"" + key->string() + "\"");
        } else if (key && key->isObject() && key->find("Char") && key->find("Char")->isString()) {
            const char32_t c = singleCharacter(key->find("Char")->string());
            if (!c)
                return failure("\"Char\" must be one character");
            if (!keyByCharacter(c, info)) {
                // A character of another keyboard: no code Flash knows, but it types.
                info.keyCode = 0;
                info.character = c;
            }
        } else {
            return failure("\"key\" must be a key name or {\"Char\": \"c\"}");
        }
        input.keyCode = info.keyCode;
        input.character = info.character;
        return Status();
    }

    Result<std::pair<bool, UserInput>> read() const {
        if (!m_event.isObject())
            return failure("an event must be an object");
        const JsonValue* type = m_event.find("type");
        if (!type || !type->isString())
            return failure("an event needs a \"type\"");
        const std::string& name = type->string();
        UserInput input;
        Status status;
        if (name == "Wait")
            return std::pair<bool, UserInput>(true, input);
        if (name == "MouseMove") {
            input.kind = UserInputKind::MouseMove;
            status = position(input);
        } else if (name == "MouseDown" || name == "MouseUp") {
            input.kind = name == "MouseDown" ? UserInputKind::MouseDown : UserInputKind::MouseUp;
            status = position(input);
            if (status)
                status = button(input);
        } else if (name == "MouseWheel") {
            input.kind = UserInputKind::MouseWheel;
            const JsonValue* delta = m_event.find("delta");
            if (!delta || !delta->isNumber() || std::fabs(delta->number()) > 1e4)
                return failure("\"delta\" must be a number of lines");
            input.wheelDelta = int(delta->number());
            if (m_event.find("pos"))
                status = position(input);
        } else if (name == "KeyDown" || name == "KeyUp") {
            input.kind = name == "KeyDown" ? UserInputKind::KeyDown : UserInputKind::KeyUp;
            status = key(input);
        } else if (name == "TextInput") {
            input.kind = UserInputKind::TextInput;
            const JsonValue* text = m_event.find("codepoint");
            input.codepoint = text && text->isString() ? singleCharacter(text->string()) : 0;
            if (!input.codepoint)
                return failure("\"codepoint\" must be one character");
        } else if (name == "TextControl") {
            input.kind = UserInputKind::TextControl;
            const JsonValue* code = m_event.find("code");
            bool known = false;
            for (const auto& control : kTextControls) {
                if (code && code->isString() && code->string() == control.first) {
                    input.control = control.second;
                    known = true;
                }
            }
            if (!known)
                return failure("unknown or missing text control \"code\"");
        } else if (name == "SetClipboardText") {
            input.kind = UserInputKind::ClipboardText;
            const JsonValue* text = m_event.find("text");
            if (!text || !text->isString())
                return failure("\"text\" must be a string");
            input.text = text->string();
        } else if (name == "FocusGained") {
            input.kind = UserInputKind::FocusGained;
        } else if (name == "FocusLost") {
            input.kind = UserInputKind::FocusLost;
        } else {
            return failure("unknown event type \"" + name + "\"");
        }
        if (!status)
            return status;
        return std::pair<bool, UserInput>(false, std::move(input));
    }

private:
    const JsonValue& m_event;
    size_t m_index;
};

} // namespace

Result<RecordedInput> parseRecordedInput(std::string_view text) {
    JsonLimits limits;
    limits.maxBytes = kMaxFileBytes;
    limits.maxDepth = 8;
    auto json = parseJson(text, limits);
    if (!json)
        return Status::failure(json.message());
    if (!json->isArray())
        return Status::failure("recorded input must be a JSON array of events");
    RecordedInput recorded;
    recorded.steps.emplace_back();
    const auto& events = json->items();
    for (size_t i = 0; i < events.size(); ++i) {
        auto event = EventReader(events[i], i).read();
        if (!event)
            return Status::failure(event.message());
        if (event->first)
            recorded.steps.emplace_back();
        else
            recorded.steps.back().push_back(std::move(event->second));
    }
    return recorded;
}

Result<RecordedInput> readRecordedInput(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return Status::failure("cannot open " + path);
    std::string text;
    char buffer[65536];
    while (file.read(buffer, sizeof buffer) || file.gcount() > 0) {
        text.append(buffer, size_t(file.gcount()));
        if (text.size() > kMaxFileBytes)
            return Status::failure(path + ": recorded input larger than " +
                                   std::to_string(kMaxFileBytes) + " bytes");
    }
    if (file.bad())
        return Status::failure("cannot read " + path);
    auto recorded = parseRecordedInput(text);
    if (!recorded)
        return Status::failure(path + ": " + recorded.message());
    return recorded;
}

} // namespace swivio
