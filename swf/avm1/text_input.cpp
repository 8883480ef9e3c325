// Typing into the focused text field: characters and editing commands change its text
// within its rules (editable, maxChars, restrict, multiline, password), then the field's
// variable takes the new text and its listeners hear onChanged.
#include <algorithm>
#include <optional>
#include <unordered_map>

#include "swf/avm1/keyboard.h"
#include "swf/avm1/movie_runtime.h"
#include "swf/avm1/text_builtins.h"
#include "swf/text/edit_field.h"

namespace swivio::swf::avm1 {

namespace {

using text::EditField;

constexpr std::size_t kMaxPasteUnits = 1 << 20;

bool isHighSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool isLowSurrogate(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

std::u16string utf16Of(char32_t c) {
    if (c < 0x10000)
        return std::u16string(1, char16_t(c));
    c -= 0x10000;
    return {char16_t(0xD800 + (c >> 10)), char16_t(0xDC00 + (c & 0x3FF))};
}

// Reads one code point of a UTF-8 string at i, moving i past it; bad bytes give U+FFFD.
char32_t nextCodePoint(std::string_view s, std::size_t& i) {
    const auto byte = [&](std::size_t k) { return uint8_t(s[k]); };
    const uint8_t lead = byte(i++);
    if (lead < 0x80)
        return lead;
    const int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : -1;
    if (extra < 0 || i + std::size_t(extra) > s.size())
        return 0xFFFD;
    char32_t c = lead & (0x3F >> extra);
    for (int k = 0; k < extra; ++k) {
        if ((byte(i) & 0xC0) != 0x80)
            return 0xFFFD;
        c = (c << 6) | (byte(i++) & 0x3F);
    }
    return c;
}

// restrict lists the characters allowed: ranges ("A-Z"), '^' to switch to the ones refused
// from there on, '\\' to take the next character as it is. An empty list allows nothing.
// Read once per edit: a paste asks about every character.
class RestrictRules {
public:
    explicit RestrictRules(std::string_view restrict) {
        std::vector<char32_t> chars;
        chars.reserve(restrict.size());
        for (std::size_t i = 0; i < restrict.size();)
            chars.push_back(nextCodePoint(restrict, i));
        bool refusing = false;
        for (std::size_t i = 0; i < chars.size(); ++i) {
            char32_t first = chars[i];
            if (first == '^') {
                // A list that starts by refusing allows everything else.
                if (i == 0)
                    m_allowedFirst = true;
                refusing = !refusing;
                continue;
            }
            if (first == '\\' && i + 1 < chars.size())
                first = chars[++i];
            char32_t last = first;
            if (i + 2 < chars.size() && chars[i + 1] == '-') {
                last = chars[i + 2];
                if (last == '\\' && i + 3 < chars.size()) {
                    last = chars[i + 3];
                    ++i;
                }
                i += 2;
            }
            m_rules.push_back({first, last, refusing});
        }
    }

    // The last rule naming c decides.
    bool allows(char32_t c) const {
        for (auto it = m_rules.rbegin(); it != m_rules.rend(); ++it)
            if (c >= it->first && c <= it->last)
                return !it->refuse;
        return m_allowedFirst;
    }

private:
    struct Rule {
        char32_t first, last;
        bool refuse;
    };
    std::vector<Rule> m_rules;
    bool m_allowedFirst = false;
};

// The variable a field is bound to takes its text: the path names the timeline ("a.b",
// "/a/b:c"), relative to the field's parent.
void storeVariable(ScriptRuntime& runtime, DisplayObject& field) {
    const std::string& variable = field.editField->variable;
    if (variable.empty() || !field.parent())
        return;
    std::string path, name = variable;
    if (const std::size_t colon = variable.rfind(':'); colon != std::string::npos) {
        path = variable.substr(0, colon);
        name = variable.substr(colon + 1);
    } else if (const std::size_t dot = variable.rfind('.'); dot != std::string::npos) {
        path = variable.substr(0, dot);
        name = variable.substr(dot + 1);
    }
    Interpreter& vm = runtime.interpreter();
    Object* owner = runtime.clipFor(*field.parent());
    if (!path.empty())
        owner = runtime.resolveTarget(owner, path);
    if (!owner)
        return;
    const EditField& f = *field.editField;
    const Value text(f.html ? f.htmlText() : f.text());
    if (vm.running())
        vm.setMember(Value(owner), name, text);
    else
        owner->define(name, text, 0);
}

void changedByUser(ScriptRuntime& runtime, DisplayObject& field) {
    settleAutoSize(field);
    storeVariable(runtime, field);
    const Value face = scriptFace(runtime, &field);
    Value message[] = {Value("onChanged"), face};
    invokeMethod(runtime, face, "broadcastMessage", message);
}

std::pair<std::size_t, std::size_t> selectedRange(const EditField& f) {
    return {std::min(f.selectionAnchor, f.caret), std::max(f.selectionAnchor, f.caret)};
}

// What restrict makes of a character: itself, its other case when only that is allowed, or 0.
char32_t restricted(const RestrictRules& rules, char32_t c) {
    if (rules.allows(c))
        return c;
    char32_t other = 0;
    if (c >= 'a' && c <= 'z')
        other = c - 32;
    else if (c >= 'A' && c <= 'Z')
        other = c + 32;
    return other && rules.allows(other) ? other : 0;
}

// Replaces the selection with what the field accepts of text; false when nothing changed.
bool insertText(EditField& f, std::u16string_view text) {
    clampSelection(f);
    auto [begin, end] = selectedRange(f);
    std::u16string accepted;
    const std::size_t kept = f.content().length() - (end - begin);
    const std::size_t room = f.maxChars > 0 && std::size_t(f.maxChars) > kept
                                 ? std::size_t(f.maxChars) - kept
                                 : (f.maxChars > 0 ? 0 : kMaxPasteUnits);
    std::optional<RestrictRules> rules;
    if (f.restrict)
        rules.emplace(*f.restrict);
    // Each character is asked about once, however often it comes.
    std::unordered_map<char32_t, char32_t> seen;
    const auto restrictedOnce = [&](char32_t c) {
        auto [it, added] = seen.try_emplace(c, 0);
        if (added)
            it->second = restricted(*rules, c);
        return it->second;
    };
    for (std::size_t i = 0; i < text.size() && accepted.size() < room; ++i) {
        char32_t c = text[i];
        std::size_t units = 1;
        if (isHighSurrogate(text[i]) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
            c = 0x10000 + ((char32_t(text[i]) - 0xD800) << 10) + (char32_t(text[i + 1]) - 0xDC00);
            units = 2;
        }
        const bool newline = c == '\r' || c == '\n';
        if (newline && !f.multiline) {
            i += units - 1;
            continue;
        }
        if (!newline && (c < 0x20 || (rules && !(c = restrictedOnce(c))))) {
            i += units - 1;
            continue;
        }
        if (accepted.size() + units > room)
            break;
        if (newline)
            accepted += u'\r';
        else
            accepted += utf16Of(c);
        i += units - 1;
    }
    if (accepted.empty() && begin == end)
        return false;
    f.replaceText(begin, end, text::toUtf8(accepted));
    f.caret = f.selectionAnchor = begin + accepted.size();
    return true;
}

bool eraseRange(EditField& f, std::size_t begin, std::size_t end) {
    if (begin >= end)
        return false;
    f.replaceText(begin, end, {});
    f.caret = f.selectionAnchor = begin;
    return true;
}

// The caret one code point to the left or right.
std::size_t stepLeft(const std::u16string& s, std::size_t at) {
    if (at == 0)
        return 0;
    --at;
    if (at > 0 && isLowSurrogate(s[at]) && isHighSurrogate(s[at - 1]))
        --at;
    return at;
}

std::size_t stepRight(const std::u16string& s, std::size_t at) {
    if (at >= s.size())
        return s.size();
    ++at;
    if (at < s.size() && isLowSurrogate(s[at]) && isHighSurrogate(s[at - 1]))
        ++at;
    return at;
}

bool isWordUnit(char16_t c) {
    return c > 0x7F || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') ||
           (c >= 'a' && c <= 'z') || c == '_';
}

std::size_t wordLeft(const std::u16string& s, std::size_t at) {
    while (at > 0 && !isWordUnit(s[at - 1]))
        --at;
    while (at > 0 && isWordUnit(s[at - 1]))
        --at;
    return at;
}

std::size_t wordRight(const std::u16string& s, std::size_t at) {
    while (at < s.size() && isWordUnit(s[at]))
        ++at;
    while (at < s.size() && !isWordUnit(s[at]))
        ++at;
    return at;
}

} // namespace

void clampSelection(EditField& field) {
    const std::size_t length = field.content().length();
    field.selectionAnchor = std::min(field.selectionAnchor, length);
    field.caret = std::min(field.caret, length);
}

bool restrictAllows(std::string_view restrict, char32_t c) {
    return RestrictRules(restrict).allows(c);
}

void typeInto(ScriptRuntime& runtime, DisplayObject& field, char32_t codepoint) {
    EditField& f = *field.editField;
    if (!f.editable || codepoint < 0x20 || codepoint == 0x7F || codepoint > 0x10FFFF)
        return;
    runtime.keyboard().selectionKnown = true;
    const std::u16string units = utf16Of(codepoint);
    if (insertText(f, units))
        changedByUser(runtime, field);
}

void controlField(ScriptRuntime& runtime, DisplayObject& field, TextControlCode code) {
    EditField& f = *field.editField;
    KeyboardState& keys = runtime.keyboard();
    clampSelection(f);
    keys.selectionKnown = true;
    const std::u16string& s = f.content().text();
    auto [begin, end] = selectedRange(f);
    bool changed = false;
    switch (code) {
    case TextControlCode::Enter:
        if (f.editable && f.multiline)
            changed = insertText(f, u"\r");
        break;
    case TextControlCode::Backspace:
        if (f.editable)
            changed = begin != end ? eraseRange(f, begin, end)
                                   : eraseRange(f, stepLeft(s, begin), begin);
        break;
    case TextControlCode::Delete:
        if (f.editable)
            changed = begin != end ? eraseRange(f, begin, end)
                                   : eraseRange(f, begin, stepRight(s, begin));
        break;
    case TextControlCode::SelectAll:
        f.selectionAnchor = 0;
        f.caret = s.size();
        break;
    case TextControlCode::Copy:
    case TextControlCode::Cut:
        // A password's characters never leave the field.
        if (f.password || begin == end)
            break;
        keys.clipboard = text::toUtf8(std::u16string_view(s).substr(begin, end - begin));
        if (code == TextControlCode::Cut && f.editable)
            changed = eraseRange(f, begin, end);
        break;
    case TextControlCode::Paste:
        if (f.editable && !keys.clipboard.empty())
            changed = insertText(f, text::toUtf16(keys.clipboard));
        break;
    case TextControlCode::MoveLeft:
        f.caret = f.selectionAnchor = begin != end ? begin : stepLeft(s, f.caret);
        break;
    case TextControlCode::MoveRight:
        f.caret = f.selectionAnchor = begin != end ? end : stepRight(s, f.caret);
        break;
    case TextControlCode::MoveLeftWord: f.caret = f.selectionAnchor = wordLeft(s, f.caret); break;
    case TextControlCode::MoveRightWord:
        f.caret = f.selectionAnchor = wordRight(s, f.caret);
        break;
    case TextControlCode::MoveStart: f.caret = f.selectionAnchor = 0; break;
    case TextControlCode::MoveEnd: f.caret = f.selectionAnchor = s.size(); break;
    case TextControlCode::SelectLeft: f.caret = stepLeft(s, f.caret); break;
    case TextControlCode::SelectRight: f.caret = stepRight(s, f.caret); break;
    case TextControlCode::SelectStart: f.caret = 0; break;
    case TextControlCode::SelectEnd: f.caret = s.size(); break;
    }
    if (changed)
        changedByUser(runtime, field);
}

} // namespace swivio::swf::avm1
