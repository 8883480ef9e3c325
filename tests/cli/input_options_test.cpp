#include "cli/input_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace swivio::cli {
namespace {

TEST(InputOptionsTest, ClickIsAMovePressAndReleaseAfterItsFrame) {
    std::vector<TimedInput> out;
    ASSERT_TRUE(parseClickOption("120.5,-3@7", out));
    ASSERT_EQ(out.size(), 3u);
    const UserInputKind kinds[] = {UserInputKind::MouseMove, UserInputKind::MouseDown,
                                   UserInputKind::MouseUp};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(out[i].frame, 7);
        EXPECT_EQ(out[i].input.kind, kinds[i]);
        EXPECT_EQ(out[i].input.x, 120.5);
        EXPECT_EQ(out[i].input.y, -3);
    }
}

TEST(InputOptionsTest, KeysTypeWhatTheyType) {
    struct Case {
        const char* text;
        std::vector<UserInputKind> kinds;
        int code;
    };
    const Case cases[] = {
        {"a@1", {UserInputKind::KeyDown, UserInputKind::TextInput, UserInputKind::KeyUp}, 65},
        {"Enter@2", {UserInputKind::KeyDown, UserInputKind::TextControl, UserInputKind::KeyUp}, 13},
        {"Left@3", {UserInputKind::KeyDown, UserInputKind::KeyUp}, 37},
    };
    for (const Case& c : cases) {
        std::vector<TimedInput> out;
        ASSERT_TRUE(parseKeyOption(c.text, out)) << c.text;
        ASSERT_EQ(out.size(), c.kinds.size()) << c.text;
        for (std::size_t i = 0; i < out.size(); ++i) {
            EXPECT_EQ(out[i].input.kind, c.kinds[i]) << c.text;
            EXPECT_EQ(out[i].input.keyCode, c.code) << c.text;
        }
    }
}

TEST(InputOptionsTest, RefusesMalformedValues) {
    for (const char* bad : {"", "10,10", "10,10@0", "10,10@x", "10@5", "a,10@5", "10,10,3@5",
                            "1e9,0@1", "@5"}) {
        std::vector<TimedInput> out;
        EXPECT_FALSE(parseClickOption(bad, out)) << bad;
        EXPECT_TRUE(out.empty()) << bad;
    }
    for (const char* bad : {"Enter", "Enter@0", "Hyper@1", "@1", "F13@2"}) {
        std::vector<TimedInput> out;
        EXPECT_FALSE(parseKeyOption(bad, out)) << bad;
        EXPECT_TRUE(out.empty()) << bad;
    }
}

} // namespace
} // namespace swivio::cli
