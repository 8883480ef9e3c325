// The keyboard as movies hear it: key events reaching listeners, clip events and key-press
// handlers; Tab moving the focus; typing into input fields; Selection's answers.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "swf/avm1/builtins.h"
#include "swf/avm1/keyboard.h"
#include "swf/avm1/movie_runtime.h"
#include "swf/format/movie_definition.h"
#include "swf/player/timeline_player.h"
#include "tests/support/action_assembler.h"
#include "tests/support/swf_movies.h"
#include "tests/support/swf_writer.h"

namespace swivio::swf::avm1 {
namespace {

using testkit::ActionAssembler;
using testkit::ActionCode;

constexpr uint32_t kKeyDownEvent = 1u << 6;
constexpr uint32_t kKeyPressEvent = 1u << 17;

std::vector<uint8_t> traceOf(const char* text) {
    return ActionAssembler().push(text).trace().build();
}

// DefineButton2 without shapes whose one condition runs on a key press of keyCode.
std::vector<uint8_t> keyButton(uint16_t id, uint8_t keyCode, const char* text) {
    // Id, flags, the offset to the conditions, an empty record list, then the last
    // condition (size 0), its bits and its actions.
    const uint16_t condition = uint16_t(keyCode << 9);
    std::vector<uint8_t> body = {uint8_t(id), uint8_t(id >> 8), 0, 3, 0, 0, 0, 0,
                                 uint8_t(condition), uint8_t(condition >> 8)};
    for (uint8_t byte : traceOf(text))
        body.push_back(byte);
    return body;
}

// A movie with a clip that traces on keyDown and on a key press of 'a', and a button that
// traces on Enter.
std::vector<uint8_t> keyMovie() {
    testkit::SwfWriter writer;
    writer.version = 8;
    testkit::SpriteBuilder sprite;
    sprite.showFrame();
    writer.tag(testkit::TagCode::DefineSprite, sprite.defineSprite(1));
    writer.tag(testkit::TagCode::DefineButton2, keyButton(2, 13, "button enter"));
    testkit::Place clip;
    clip.at(1).of(1);
    clip.name = "clip";
    clip.clipActions = testkit::clipActions(
        {{kKeyDownEvent, 0, traceOf("clip keyDown")}, {kKeyPressEvent, 'a', traceOf("clip a")}},
        8);
    testkit::place(writer, clip);
    testkit::Place button;
    button.at(2).of(2);
    button.name = "button";
    testkit::place(writer, button);
    writer.showFrame().end();
    return writer.build();
}

// What listeners record: their tag, and Key's code and character or the focus moving.
std::vector<std::string>* g_log = nullptr;

Value logKey(Interpreter& vm, const Value& self, std::span<const Value>) {
    Value key = vm.getMember(Value(vm.global()), "Key");
    g_log->push_back(vm.toString(vm.getMember(self, "tag")) + " " +
                     vm.toString(vm.callMethod(key, "getCode", {})) + " " +
                     vm.toString(vm.callMethod(key, "getAscii", {})));
    return Value();
}

Value logFocus(Interpreter& vm, const Value&, std::span<const Value> args) {
    g_log->push_back("focus " + vm.toString(argAt(args, 0)) + ">" + vm.toString(argAt(args, 1)));
    return Value();
}

Value logChanged(Interpreter& vm, const Value& self, std::span<const Value>) {
    g_log->push_back("changed " + vm.toString(vm.getMember(self, "text")));
    return Value();
}

class KeyboardTest : public ::testing::Test {
protected:
    KeyboardTest() { load(keyMovie()); }

    void load(const std::vector<uint8_t>& bytes) {
        auto movie = readMovieDefinition(bytes);
        ASSERT_TRUE(movie.ok());
        runtime = std::make_unique<ScriptRuntime>(movie.value());
        player = std::make_unique<TimelinePlayer>(movie.value(), nullptr, runtime.get());
        runtime->attach(*player);
        runtime->setTraceSink([this](std::string_view line) { log.emplace_back(line); });
        runtime->runQueued();
        g_log = &log;
        // Key and Selection listeners that record what they hear.
        Object* listener = vm().makeObject();
        listener->define("tag", "listener", 0);
        listener->define("onKeyDown", vm().makeNative(logKey), 0);
        listener->define("onSetFocus", vm().makeNative(logFocus), 0);
        Value args[] = {Value(listener)};
        vm().callMethod(global("Key"), "addListener", args);
        vm().callMethod(global("Selection"), "addListener", args);
    }
    ~KeyboardTest() override { g_log = nullptr; }

    Interpreter& vm() { return runtime->interpreter(); }
    Value global(const char* name) { return vm().getMember(Value(vm().global()), name); }
    Value root() { return Value(runtime->rootClip()); }

    // An input field at (x, y).
    Value field(const char* name, int depth, int x, int y) {
        Value args[] = {name, depth, x, y, 100, 20};
        Value f = vm().callMethod(root(), "createTextField", args);
        vm().setMember(f, "type", "input");
        return f;
    }

    // The lines the input makes, joined by '|'.
    std::string send(std::vector<InputEvent> events) {
        log.clear();
        for (const InputEvent& e : events)
            runtime->handleInput(e);
        std::string out;
        for (const std::string& line : log)
            out += (out.empty() ? "" : "|") + line;
        return out;
    }

    std::string focus() { return vm().toString(vm().callMethod(global("Selection"), "getFocus", {})); }

    std::vector<std::string> log;
    std::unique_ptr<ScriptRuntime> runtime;
    std::unique_ptr<TimelinePlayer> player;
};

InputEvent key(InputKind kind, int code, char32_t character = 0) {
    InputEvent e;
    e.kind = kind;
    e.keyCode = code;
    e.character = character;
    return e;
}

InputEvent typed(char32_t c) {
    InputEvent e;
    e.kind = InputKind::TextInput;
    e.codepoint = c;
    return e;
}

InputEvent control(TextControlCode code) {
    InputEvent e;
    e.kind = InputKind::TextControl;
    e.control = code;
    return e;
}

TEST_F(KeyboardTest, KeysReachClipEventsListenersAndKeyPressHandlersInOrder) {
    struct Case {
        const char* what;
        std::vector<InputEvent> events;
        const char* expected;
    };
    const Case cases[] = {
        {"a letter", {key(InputKind::KeyDown, 65, 'a')}, "clip keyDown|listener 65 97|clip a"},
        {"its character arriving as text",
         {key(InputKind::KeyDown, 65), typed('a')},
         "clip keyDown|listener 65 97|clip a"},
        {"Enter", {key(InputKind::KeyDown, 13)}, "clip keyDown|listener 13 13|button enter"},
        {"a key going up", {key(InputKind::KeyUp, 66, 'b')}, ""},
        {"another letter", {key(InputKind::KeyDown, 66, 'b')}, "clip keyDown|listener 66 98"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(send(c.events), c.expected) << c.what;
}

TEST_F(KeyboardTest, KeyIsDownFollowsTheKeysAndCapsLockToggles) {
    auto isDown = [&](int code) {
        Value args[] = {code};
        return vm().toBoolean(vm().callMethod(global("Key"), "isDown", args));
    };
    auto capsOn = [&] {
        Value args[] = {20};
        return vm().toBoolean(vm().callMethod(global("Key"), "isToggled", args));
    };
    send({key(InputKind::KeyDown, 65, 'a'), key(InputKind::KeyDown, 16)});
    EXPECT_TRUE(isDown(65));
    EXPECT_TRUE(isDown(16));
    send({key(InputKind::KeyUp, 65, 'a')});
    EXPECT_FALSE(isDown(65));
    // The window losing the keyboard lets every key go.
    InputEvent lost;
    lost.kind = InputKind::FocusLost;
    send({lost});
    EXPECT_FALSE(isDown(16));
    EXPECT_FALSE(capsOn());
    send({key(InputKind::KeyDown, 20), key(InputKind::KeyUp, 20)});
    EXPECT_TRUE(capsOn());
}

TEST_F(KeyboardTest, TabWalksByPositionOrByTabIndex) {
    Value a = field("a", 10, 200, 10);
    Value b = field("b", 11, 10, 50);
    Value c = field("c", 12, 10, 10);
    Value off = field("off", 13, 10, 30);
    vm().setMember(off, "tabEnabled", false);
    vm().setMember(vm().getMember(root(), "button"), "tabEnabled", false);
    const InputEvent tab = key(InputKind::KeyDown, 9);
    // Top to bottom, left to right; from the last back to the first.
    EXPECT_EQ(send({tab}), "clip keyDown|listener 9 9|focus null>_level0.c");
    EXPECT_EQ(send({tab, tab, tab}),
              "clip keyDown|listener 9 9|focus _level0.c>_level0.a|"
              "clip keyDown|listener 9 9|focus _level0.a>_level0.b|"
              "clip keyDown|listener 9 9|focus _level0.b>_level0.c");
    // Shift+Tab goes back.
    send({key(InputKind::KeyDown, 16)});
    send({tab});
    EXPECT_EQ(focus(), "_level0.b");
    send({key(InputKind::KeyUp, 16)});
    // Once any has a tabIndex, only those with one take part, lowest first (as signed).
    vm().setMember(a, "tabIndex", 2);
    vm().setMember(c, "tabIndex", 4294967295.0 - 4); // -5
    send({tab});
    EXPECT_EQ(focus(), "_level0.c");
    send({tab});
    EXPECT_EQ(focus(), "_level0.a");
    send({tab});
    EXPECT_EQ(focus(), "_level0.c");
}

TEST_F(KeyboardTest, TypingObeysTheFieldsRulesAndWritesItsVariable) {
    Value f = field("f", 10, 0, 0);
    vm().setMember(f, "maxChars", 4);
    vm().setMember(f, "restrict", "a-z ");
    vm().setMember(f, "variable", "v");
    Object* listener = vm().makeObject();
    listener->define("onChanged", vm().makeNative(logChanged), 0);
    Value args[] = {f};
    vm().callMethod(global("Selection"), "setFocus", args);
    struct Case {
        const char* what;
        std::vector<InputEvent> events;
        const char* text;
    };
    InputEvent clipboard;
    clipboard.kind = InputKind::ClipboardText;
    clipboard.text = "x\ny1z";
    const Case cases[] = {
        {"allowed, refused and other-case characters", {typed('a'), typed('1'), typed('B')}, "ab"},
        {"past maxChars", {typed('c'), typed('d'), typed('e')}, "abcd"},
        {"backspace", {control(TextControlCode::Backspace)}, "abc"},
        {"caret moves then delete", {control(TextControlCode::MoveStart), control(TextControlCode::Delete)}, "bc"},
        {"paste drops the newline and what restrict refuses, up to maxChars",
         {clipboard, control(TextControlCode::MoveEnd), control(TextControlCode::Paste)},
         "bcxy"},
        {"select all then type", {control(TextControlCode::SelectAll), typed('q')}, "q"},
        {"enter in a single-line field", {control(TextControlCode::Enter)}, "q"},
    };
    for (const Case& c : cases) {
        send(c.events);
        EXPECT_EQ(vm().toString(vm().getMember(f, "text")), c.text) << c.what;
        EXPECT_EQ(vm().toString(vm().getMember(root(), "v")), c.text) << c.what;
    }
    // A field that is not input takes nothing.
    vm().setMember(f, "type", "dynamic");
    send({typed('z')});
    EXPECT_EQ(vm().toString(vm().getMember(f, "text")), "q");
}

TEST_F(KeyboardTest, OnChangedHearsEachEditByTheUser) {
    Value f = field("f", 10, 0, 0);
    vm().setMember(f, "onChanged", Value(vm().makeNative(logChanged)));
    Value args[] = {f};
    vm().callMethod(global("Selection"), "setFocus", args);
    EXPECT_EQ(send({typed('h'), typed('i'), control(TextControlCode::MoveLeft),
                    control(TextControlCode::Backspace)}),
              "changed h|changed hi|changed i");
}

TEST_F(KeyboardTest, SelectionFollowsTheFocusAndItsRemoval) {
    Value f = field("f", 10, 0, 0);
    vm().setMember(f, "text", "hello");
    Value args[] = {f};
    EXPECT_EQ(send({}), "");
    EXPECT_TRUE(vm().toBoolean(vm().callMethod(global("Selection"), "setFocus", args)));
    EXPECT_EQ(focus(), "_level0.f");
    Value range[] = {4, 1};
    vm().callMethod(global("Selection"), "setSelection", range);
    auto index = [&](const char* name) {
        return vm().toString(vm().callMethod(global("Selection"), name, {}));
    };
    EXPECT_EQ(index("getBeginIndex") + index("getEndIndex") + index("getCaretIndex"), "141");
    // Removing the focused field takes the focus; listeners hear its old path.
    log.clear();
    vm().callMethod(f, "removeTextField", {});
    EXPECT_EQ(focus(), "null");
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0], "focus _level0.f>null");
    // A plain clip takes the focus only when it asks for it.
    Value name[] = {"c", 20};
    Value clip = vm().callMethod(root(), "createEmptyMovieClip", name);
    Value clipArg[] = {clip};
    EXPECT_FALSE(vm().toBoolean(vm().callMethod(global("Selection"), "setFocus", clipArg)));
    vm().setMember(clip, "focusEnabled", true);
    EXPECT_TRUE(vm().toBoolean(vm().callMethod(global("Selection"), "setFocus", clipArg)));
    vm().setMember(clip, "_visible", false);
    EXPECT_EQ(focus(), "null");
}

TEST_F(KeyboardTest, AClickFocusesSelectableFieldsOnly) {
    Value input = field("input", 10, 0, 0);
    Value dynamic = field("dynamic", 11, 0, 30);
    vm().setMember(dynamic, "type", "dynamic");
    vm().setMember(input, "selectable", false);
    Value clipName[] = {"c", 20};
    Value clip = vm().callMethod(root(), "createEmptyMovieClip", clipName);
    vm().setMember(clip, "focusEnabled", true);
    auto displayOf = [](const Value& v) { return dynamic_cast<ClipObject*>(v.object())->display(); };
    struct Case {
        const char* what;
        Value pressed;
        const char* focus;
    };
    const Case cases[] = {
        {"a selectable dynamic field", dynamic, "_level0.dynamic"},
        {"a clip that takes focus from scripts", clip, "null"},
        {"a selectable field again", dynamic, "_level0.dynamic"},
        {"an input field that is not selectable", input, "null"},
        {"nothing", Value(), "null"},
    };
    for (const Case& c : cases) {
        runtime->focusByMouse(c.pressed.isObject() ? displayOf(c.pressed) : nullptr);
        EXPECT_EQ(focus(), c.focus) << c.what;
    }
}

TEST_F(KeyboardTest, FocusRectIsTheMoviesThroughTheRootAndEachObjectsOwnElsewhere) {
    struct Case {
        const char* what;
        Value value;
        const char* root;
        const char* clip;
    };
    const Case cases[] = {
        {"zero", 0, "false", "false"},
        {"a string spelling zero", "0", "false", "true"},
        {"another string", "g", "true", "true"},
        {"null leaves the movie's alone", Value::null(), "true", "null"},
        {"an object", Value(vm().makeObject()), "false", "true"},
        {"NaN", std::nan(""), "true", "false"},
    };
    Value clip = vm().getMember(root(), "clip");
    EXPECT_EQ(vm().toString(vm().getMember(clip, "_focusrect")), "null");
    for (const Case& c : cases) {
        vm().setMember(root(), "_focusrect", c.value);
        vm().setMember(clip, "_focusrect", c.value);
        EXPECT_EQ(vm().toString(vm().getMember(root(), "_focusrect")), c.root) << c.what;
        EXPECT_EQ(vm().toString(vm().getMember(clip, "_focusrect")), c.clip) << c.what;
    }
}

TEST(RestrictTest, RangesCaretsAndEscapes) {
    struct Case {
        const char* restrict;
        char32_t c;
        bool allowed;
    };
    const Case cases[] = {
        {"a-z", 'q', true},     {"a-z", 'Q', false},   {"^0-9", '5', false},
        {"^0-9", 'x', true},    {"A-Z^Q", 'Q', false}, {"A-Z^Q", 'R', true},
        {"\\-", '-', true},     {"a\\-z", 'b', false}, {"", 'a', false},
        {"\xC3\xA9", U'\u00E9', true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(restrictAllows(c.restrict, c.c), c.allowed) << c.restrict << " " << int(c.c);
}

} // namespace
} // namespace swivio::swf::avm1
