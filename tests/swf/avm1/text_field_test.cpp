// TextField and TextFormat as scripts see them: conversions of the properties, fields made by
// createTextField, and fields bound to variables.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "swf/avm1/builtins.h"
#include "swf/avm1/movie_runtime.h"
#include "swf/avm1/text_builtins.h"
#include "swf/format/movie_definition.h"
#include "swf/player/timeline_player.h"
#include "tests/support/swf_writer.h"

namespace swivio::swf::avm1 {
namespace {

class TextFieldTest : public ::testing::Test {
protected:
    explicit TextFieldTest(int version = 8) {
        testkit::SwfWriter writer;
        writer.version = uint8_t(version);
        writer.showFrame().end();
        auto movie = readMovieDefinition(writer.build());
        EXPECT_TRUE(movie.ok());
        runtime = std::make_unique<ScriptRuntime>(movie.value());
        player = std::make_unique<TimelinePlayer>(movie.value(), nullptr, runtime.get());
        runtime->attach(*player);
    }

    Interpreter& vm() { return runtime->interpreter(); }
    Value root() { return Value(runtime->rootClip()); }
    std::string text(const Value& v) { return vm().toString(v); }

    // root.createTextField(name, 1, 10, 20, 100, 50)
    Value field(const char* name = "f") {
        Value args[] = {name, 1, 10, 20, 100, 50};
        return vm().callMethod(root(), "createTextField", args);
    }

    // Sets a member, then reads it back as text.
    std::string roundTrip(const Value& object, const char* name, const Value& value) {
        vm().setMember(object, name, value);
        return text(vm().getMember(object, name));
    }

    std::unique_ptr<ScriptRuntime> runtime;
    std::unique_ptr<TimelinePlayer> player;
};

TEST_F(TextFieldTest, CreateTextFieldMakesAFieldAtItsPlace) {
    Value f = field("t");
    ASSERT_TRUE(f.isObject());
    EXPECT_EQ(text(f), "_level0.t");
    EXPECT_EQ(vm().typeOf(f), "object");
    EXPECT_EQ(text(vm().getMember(f, "_x")), "10");
    EXPECT_EQ(text(vm().getMember(f, "_width")), "100");
    EXPECT_EQ(text(vm().callMethod(f, "getDepth", {})), "1");
    // A text field's size is its box, not a scale.
    vm().setMember(f, "_width", 40);
    EXPECT_EQ(text(vm().getMember(f, "_width")), "40");
    EXPECT_EQ(text(vm().getMember(f, "_xscale")), "100");
    vm().callMethod(f, "removeTextField", {});
    EXPECT_TRUE(vm().getMember(root(), "t").isUndefined());
}

TEST_F(TextFieldTest, PropertiesConvertAsTheyAreSet) {
    Value f = field();
    struct Case {
        const char* name;
        Value value;
        const char* read;
    };
    const Case cases[] = {
        {"text", "a\nb\r\nc", "a\rb\r\rc"}, // each line end character is a paragraph
        {"_y", 3.94, "3.9"},                  // whole twips, the fraction dropped
        {"_height", 3.94, "3.9"},
        {"type", "INPUT", "input"},
        {"type", "bogus", "input"},
        {"autoSize", true, "left"},
        {"autoSize", "CENTER", "none"},
        {"autoSize", "right", "right"},
        {"textColor", -1, "16777215"},
        {"borderColor", 0x1234567, "2311527"},
        {"maxChars", 7, "7"},
        {"maxChars", 0, "null"},
        {"maxChars", Value::null(), "null"},
        {"variable", Value::null(), "null"},
        {"border", "yes", "true"},
        {"scroll", 99, "1"},
        {"length", 500, "6"}, // read-only: the text's length
        {"antiAliasType", "advanced", "advanced"},
        {"antiAliasType", "blurry", "advanced"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(roundTrip(f, c.name, c.value), c.read) << c.name;
}

TEST_F(TextFieldTest, HtmlTextIsReadOnlyInHtmlFields) {
    Value f = field();
    vm().setMember(f, "htmlText", "<b>x</b>");
    EXPECT_EQ(text(vm().getMember(f, "text")), "<b>x</b>");
    vm().setMember(f, "html", true);
    vm().setMember(f, "htmlText", "<b>x</b>");
    EXPECT_EQ(text(vm().getMember(f, "text")), "x");
    EXPECT_EQ(text(vm().getMember(f, "htmlText")),
              "<P ALIGN=\"LEFT\"><FONT FACE=\"Times New Roman\" SIZE=\"12\" COLOR=\"#000000\" "
              "LETTERSPACING=\"0\" KERNING=\"0\"><B>x</B></FONT></P>");
}

TEST_F(TextFieldTest, FormatsApplyToRangesAndNewText) {
    Value f = field();
    vm().setMember(f, "text", "abc");
    Value format = vm().construct(vm().getMember(vm().global(), "TextFormat"), {});
    vm().setMember(format, "bold", true);
    Value range[] = {1, 2, format};
    vm().callMethod(f, "setTextFormat", range);
    auto boldAt = [&](std::initializer_list<Value> args) {
        Value r =
            vm().callMethod(f, "getTextFormat", std::span<const Value>(args.begin(), args.size()));
        return text(vm().getMember(r, "bold"));
    };
    EXPECT_EQ(boldAt({0}), "false");
    EXPECT_EQ(boldAt({1}), "true");
    EXPECT_EQ(boldAt({}), "null"); // not the same over the whole text
    Value newFormat[] = {format};
    vm().callMethod(f, "setNewTextFormat", newFormat);
    vm().setMember(f, "text", "xyz");
    EXPECT_EQ(boldAt({}), "true");
}

TEST_F(TextFieldTest, TextFormatFieldsAreNullUntilSetAndConvert) {
    Value ctor = vm().getMember(vm().global(), "TextFormat");
    Value args[] = {"Arial", 12.5, 0xFF0000, true};
    Value t = vm().construct(ctor, args);
    EXPECT_EQ(text(vm().getMember(t, "font")), "Arial");
    EXPECT_EQ(text(vm().getMember(t, "size")), "12");
    EXPECT_EQ(text(vm().getMember(t, "color")), "16711680");
    EXPECT_EQ(text(vm().getMember(t, "italic")), "null");
    struct Case {
        const char* name;
        Value value;
        const char* read;
    };
    // Whole-pixel fields round half to even; margins are never negative; colours wrap.
    const Case cases[] = {
        {"size", 3.5, "4"},
        {"size", -2.5, "-2"},
        {"indent", NAN, "-2147483648"},
        {"leftMargin", -3, "0"},
        {"rightMargin", 2.5, "2"},
        {"color", -3, "4294967293"},
        {"letterSpacing", 1.5, "1.5"},
        {"align", "CENTER", "center"},
        {"align", "middle", "center"},
        {"bold", Value(), "null"},
        {"url", 5, "5"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(roundTrip(t, c.name, c.value), c.read) << c.name;
}

TEST_F(TextFieldTest, ABoundFieldShowsItsVariableAndSetsIt) {
    Value f = field();
    vm().setMember(f, "variable", "shown");
    vm().setMember(root(), "shown", "from the clip");
    runtime->runQueued();
    EXPECT_EQ(text(vm().getMember(f, "text")), "from the clip");
    vm().setMember(root(), "shown", 42);
    runtime->runQueued();
    EXPECT_EQ(text(vm().getMember(f, "text")), "42");
    vm().setMember(f, "text", "typed");
    EXPECT_EQ(text(vm().getMember(root(), "shown")), "typed");
}

// What a watcher is given as the old value, and lets through.
std::vector<std::string> watched;
Value recordWatch(Interpreter& vm, const Value&, std::span<const Value> args) {
    watched.push_back(vm.toString(argAt(args, 1)));
    return argAt(args, 2);
}

TEST_F(TextFieldTest, AWatcherSeesTheStoredValueNotTheGetters) {
    Value f = field();
    vm().setMember(f, "text", "before");
    watched.clear();
    Value args[] = {"text", Value(vm().makeNative(recordWatch))};
    vm().callMethod(f, "watch", args);
    vm().setMember(f, "text", "after");
    EXPECT_EQ(watched, std::vector<std::string>{"undefined"});
    EXPECT_EQ(text(vm().getMember(f, "text")), "after");
}

TEST_F(TextFieldTest, ScrollCountsItsLineFromZeroIn32Bits) {
    Value f = field();
    vm().setMember(f, "multiline", true);
    vm().setMember(f, "text", "1\n2\n3\n4\n5\n6\n7\n8\n9");
    const std::string last = text(vm().getMember(f, "maxscroll"));
    ASSERT_NE(last, "1");
    // 2^31 modulo 2^32 less one wraps to the largest line, the next number to the first.
    EXPECT_EQ(roundTrip(f, "scroll", 767100486418432.0), last);
    EXPECT_EQ(roundTrip(f, "scroll", 767100486418433.0), "1");
}

TEST_F(TextFieldTest, TextColorIsTheColourOfNewText) {
    Value f = field();
    vm().setMember(f, "text", "abc");
    Value format = vm().construct(vm().getMember(Value(vm().global()), "TextFormat"), {});
    vm().setMember(format, "color", 0x808080);
    Value one[] = {format};
    vm().callMethod(f, "setTextFormat", one);
    EXPECT_EQ(text(vm().getMember(f, "textColor")), "0");
    vm().callMethod(f, "setNewTextFormat", one);
    EXPECT_EQ(text(vm().getMember(f, "textColor")), "8421504");
    // Tab stops read any object with a length as an array.
    Value stops = Value(vm().makeObject());
    vm().setMember(stops, "length", 2);
    vm().setMember(stops, "0", 3);
    vm().setMember(stops, "1", "4.5");
    EXPECT_EQ(roundTrip(format, "tabStops", stops), "3,4");
}

// What asfunction: links call, and with what.
std::vector<std::string> linkCalls;
Value recordLink(Interpreter& vm, const Value& self, std::span<const Value> args) {
    linkCalls.push_back(vm.toString(self) + "(" + vm.toString(argAt(args, 0)) + ")");
    return Value();
}

TEST_F(TextFieldTest, AsfunctionLinksCallFromTheFieldsTimelineThenGlobals) {
    Value f = field();
    Value record = Value(vm().makeNative(recordLink));
    vm().setMember(root(), "onRoot", record);
    vm().setMember(Value(vm().global()), "onGlobal", record);
    vm().setMember(f, "onField", record);
    DisplayObject* display = static_cast<ClipObject*>(f.object())->display();
    ASSERT_NE(display, nullptr);
    linkCalls.clear();
    for (const char* url : {"asfunction:onRoot, a,b", "ASFUNCTION:onGlobal", "asfunction:f.onField,x",
                            "asfunction:", "asfunction:missing,1"})
        EXPECT_TRUE(runTextLink(*runtime, *display, url)) << url;
    EXPECT_FALSE(runTextLink(*runtime, *display, "http://example.com"));
    const std::vector<std::string> expected = {"_level0( a,b)", "[type Object](undefined)",
                                               "_level0.f(x)"};
    EXPECT_EQ(linkCalls, expected);
}

class OldTextFieldTest : public TextFieldTest {
protected:
    OldTextFieldTest() : TextFieldTest(7) {}
};

TEST_F(OldTextFieldTest, CreateTextFieldAnswersUndefinedBeforeSwf8) {
    EXPECT_TRUE(field("t").isUndefined());
    EXPECT_TRUE(vm().getMember(root(), "t").isObject());
}

class Swf6TextFieldTest : public TextFieldTest {
protected:
    Swf6TextFieldTest() : TextFieldTest(6) {}
};

TEST_F(Swf6TextFieldTest, NewerMembersAreHiddenAndSetsStorePlainValues) {
    Value f = field("t");
    f = vm().getMember(root(), "t");
    EXPECT_TRUE(vm().getMember(f, "replaceText").isUndefined());
    EXPECT_EQ(roundTrip(f, "gridFitType", "test"), "test");
    EXPECT_EQ(roundTrip(f, "scroll", "test"), "1");
}

} // namespace
} // namespace swivio::swf::avm1
