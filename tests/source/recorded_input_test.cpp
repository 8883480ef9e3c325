#include "source/recorded_input.h"

#include <gtest/gtest.h>

#include <string>

namespace swivio {
namespace {

TEST(RecordedInput, WaitsSplitTheEventsIntoFrames) {
    auto recorded = parseRecordedInput(R"([
        {"type": "MouseMove", "pos": [10, 20.5]},
        {"type": "MouseDown", "pos": [10, 20], "btn": "Right"},
        {"type": "Wait"},
        {"type": "Wait"},
        {"type": "KeyDown", "key": {"Char": "a"}},
        {"type": "TextInput", "codepoint": "a"},
        {"type": "KeyUp", "key": "Tab"},
        {"type": "TextControl", "code": "Paste"},
        {"type": "SetClipboardText", "text": "pass"},
        {"type": "MouseWheel", "delta": -3},
        {"type": "FocusLost"}
    ])");
    ASSERT_TRUE(recorded) << recorded.message();
    ASSERT_EQ(recorded->steps.size(), 3u);
    ASSERT_EQ(recorded->steps[0].size(), 2u);
    EXPECT_TRUE(recorded->steps[1].empty());
    const auto& first = recorded->steps[0];
    EXPECT_EQ(first[0].kind, UserInputKind::MouseMove);
    EXPECT_EQ(first[0].y, 20.5);
    EXPECT_EQ(first[1].button, UserMouseButton::Right);
    const auto& third = recorded->steps[2];
    ASSERT_EQ(third.size(), 7u);
    EXPECT_EQ(third[0].keyCode, 65);
    EXPECT_EQ(third[0].character, U'a');
    EXPECT_EQ(third[1].codepoint, U'a');
    EXPECT_EQ(third[2].keyCode, 9);
    EXPECT_EQ(third[3].control, UserTextControl::Paste);
    EXPECT_EQ(third[4].text, "pass");
    EXPECT_EQ(third[5].wheelDelta, -3);
    EXPECT_EQ(third[6].kind, UserInputKind::FocusLost);
}

TEST(RecordedInput, KeyNamesGiveFlashCodesAndCharacters) {
    struct Case {
        const char* name;
        int code;
        char32_t character;
    };
    const Case cases[] = {
        {"Enter", 13, 13}, {"Escape", 27, 27}, {"Space", 32, U' '}, {"LeftShift", 16, 0},
        {"RightControl", 17, 0}, {"Left", 37, 0}, {"Down", 40, 0}, {"F1", 112, 0},
        {"F12", 123, 0}, {"Delete", 46, 127}, {"z", 90, U'z'}, {"Z", 90, U'Z'}, {"7", 55, U'7'},
        {";", 186, U';'}, {"?", 191, U'?'},
    };
    for (const Case& c : cases) {
        KeyInfo key;
        ASSERT_TRUE(keyByName(c.name, key)) << c.name;
        EXPECT_EQ(key.keyCode, c.code) << c.name;
        EXPECT_EQ(key.character, c.character) << c.name;
    }
    KeyInfo key;
    EXPECT_FALSE(keyByName("F13", key));
    EXPECT_FALSE(keyByName("F0", key));
    EXPECT_FALSE(keyByName("Hyper", key));
}

TEST(RecordedInput, RefusesMalformedEventsNamingThem) {
    struct Case {
        const char* text;
        const char* message;
    };
    const Case cases[] = {
        {R"({"type": "Wait"})", "must be a JSON array"},
        {R"([{"type": "Wait"}, 3])", "event 2 (line 1, column 20): an event must be an object"},
        {R"([{"pos": [1, 2]}])", "event 1 (line 1, column 2): an event needs a \"type\""},
        {R"([{"type": "Jump"}])", "unknown event type \"Jump\""},
        {R"([{"type": "MouseMove", "pos": [1]}])", "\"pos\" must be an array of two numbers"},
        {R"([{"type": "MouseMove", "pos": [1, 1e300]}])", "too far outside"},
        {R"([{"type": "MouseUp", "pos": [1, 2], "btn": "Fourth"}])", "\"btn\" must be"},
        {R"([{"type": "KeyDown", "key": "Hyper"}])", "unknown key \"Hyper\""},
        {R"([{"type": "KeyDown", "key": {"Char": "ab"}}])", "\"Char\" must be one character"},
        {R"([{"type": "KeyDown"}])", "\"key\" must be"},
        {R"([{"type": "TextInput", "codepoint": ""}])", "\"codepoint\" must be one character"},
        {R"([{"type": "TextControl", "code": "Explode"}])", "unknown or missing text control"},
        {R"([{"type": "SetClipboardText"}])", "\"text\" must be a string"},
        {R"([{"type": "MouseWheel", "delta": "up"}])", "\"delta\" must be"},
        {R"([{"type": "Wait"})", "the text ends early"},
        {R"([[[[[[[[[[]]]]]]]]]])", "nest deeper"},
    };
    for (const Case& c : cases) {
        auto recorded = parseRecordedInput(c.text);
        ASSERT_FALSE(recorded) << c.text;
        EXPECT_NE(recorded.message().find(c.message), std::string::npos)
            << c.text << " -> " << recorded.message();
    }
}

TEST(RecordedInput, MissingFileIsAnError) {
    auto recorded = readRecordedInput("/nonexistent/input.json");
    ASSERT_FALSE(recorded);
    EXPECT_NE(recorded.message().find("cannot open"), std::string::npos);
}

} // namespace
} // namespace swivio
