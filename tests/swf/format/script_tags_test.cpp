// What the movie reader keeps for scripts: clip events, button conditions, exports, script
// limits, init actions and labels by frame, damaged records included.
#include "swf/format/movie_definition.h"

#include <gtest/gtest.h>

#include "tests/support/action_assembler.h"
#include "tests/support/swf_movies.h"
#include "tests/support/swf_shapes.h"

namespace swivio::swf {
namespace {

using namespace testkit;

// Reads a movie; the warnings are the test's to check.
std::shared_ptr<const MovieDefinition> read(const SwfWriter& w) {
    auto definition = readMovieDefinition(w.build());
    EXPECT_TRUE(definition.ok()) << definition.message();
    return definition.ok() ? *definition : nullptr;
}

std::vector<uint8_t> bytesOf(std::span<const uint8_t> s) {
    return {s.begin(), s.end()};
}

const std::vector<uint8_t> kActionsA = ActionAssembler().push("a").trace().build();
const std::vector<uint8_t> kActionsB = ActionAssembler().op(ActionCode::Stop).build();

struct ClipEventCase {
    const char* name;
    int version;
    std::vector<ClipAction> handlers;
    int cut; // bytes cut from the end of CLIPACTIONS (a damaged record)
    std::vector<ClipEventHandler> expected;
    bool warned;
};

class ClipEvents : public testing::TestWithParam<ClipEventCase> {};

TEST_P(ClipEvents, AreReadIntoHandlers) {
    const ClipEventCase& c = GetParam();
    Place p = Place().at(1).of(1);
    p.name = "clip";
    p.clipActions = testkit::clipActions(c.handlers, c.version);
    p.clipActions.resize(p.clipActions.size() - std::size_t(c.cut));
    SwfWriter w;
    w.version = c.version;
    w.tag(TagCode::DefineShape3, rectangleShape(1, 0, 0, 100, 100, 255, 0, 0));
    place(w, p).showFrame().end();
    auto movie = read(w);
    ASSERT_TRUE(movie);
    EXPECT_EQ(movie->warnings.size(), c.warned ? 1u : 0u);
    // The placement stays whatever its clip actions hold.
    ASSERT_EQ(movie->root.frames[0].displayTags.size(), 1u);
    const PlaceObject& place = movie->root.frames[0].displayTags[0].place;
    EXPECT_EQ(place.name, "clip");
    ASSERT_EQ(place.clipEvents.size(), c.expected.size());
    for (std::size_t i = 0; i < c.expected.size(); ++i) {
        EXPECT_EQ(place.clipEvents[i].events, c.expected[i].events) << i;
        EXPECT_EQ(place.clipEvents[i].keyCode, c.expected[i].keyCode) << i;
        EXPECT_EQ(bytesOf(place.clipEvents[i].actions), bytesOf(c.expected[i].actions)) << i;
    }
}

// Event bits as the file stores them (see ClipAction).
constexpr uint32_t kLoadBit = 1u << 0, kEnterFrameBit = 1u << 1, kReleaseBit = 1u << 11,
                   kKeyPressBit = 1u << 17, kConstructBit = 1u << 18;

INSTANTIATE_TEST_SUITE_P(
    MovieDefinition, ClipEvents,
    testing::Values(
        ClipEventCase{"Swf6TwoHandlers",
                      6,
                      {{kLoadBit | kEnterFrameBit, 0, kActionsA}, {kReleaseBit, 0, kActionsB}},
                      0,
                      {{kClipEventLoad | kClipEventEnterFrame, 0, kActionsA},
                       {kClipEventRelease, 0, kActionsB}},
                      false},
        ClipEventCase{"Swf6KeyPressAndConstruct",
                      6,
                      {{kKeyPressBit | kConstructBit, 13, kActionsA}},
                      0,
                      {{kClipEventKeyPress | kClipEventConstruct, 13, kActionsA}},
                      false},
        ClipEventCase{"Swf5SixteenBitFlags",
                      5,
                      {{kEnterFrameBit, 0, kActionsA}, {kReleaseBit, 0, kActionsB}},
                      0,
                      {{kClipEventEnterFrame, 0, kActionsA}, {kClipEventRelease, 0, kActionsB}},
                      false},
        // Without its end flag the list is damaged, but every record is whole.
        ClipEventCase{"MissingEndFlag",
                      6,
                      {{kLoadBit, 0, kActionsA}},
                      4,
                      {{kClipEventLoad, 0, kActionsA}},
                      true},
        // The second record's size runs past the tag: the first stays.
        ClipEventCase{"RecordPastTheTag",
                      6,
                      {{kLoadBit, 0, kActionsA}, {kReleaseBit, 0, kActionsB}},
                      5,
                      {{kClipEventLoad, 0, kActionsA}},
                      true}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(MovieDefinition, KeyPressRecordWithoutItsKeyIsDamaged) {
    SwfBits actions;
    actions.u16(0).u32(kKeyPressBit).u32(kKeyPressBit).u32(0).u32(0); // size 0: no key
    Place p = Place().at(1).of(1);
    p.clipActions = actions.data();
    SwfWriter w;
    w.version = 6;
    place(w, p).showFrame().end();
    auto movie = read(w);
    ASSERT_TRUE(movie);
    EXPECT_EQ(movie->warnings.size(), 1u);
    EXPECT_TRUE(movie->root.frames[0].displayTags.at(0).place.clipEvents.empty());
}

// A DefineButton2 body: no records but one, then BUTTONCONDACTIONs of the given condition
// bits and actions; lastSize overrides the last record's size field.
std::vector<uint8_t> button2(const std::vector<std::pair<uint16_t, std::vector<uint8_t>>>& conds,
                             std::optional<uint16_t> lastSize = std::nullopt) {
    SwfBits records;
    records.u8(0x01).u16(1).u16(1).matrix();
    const int mult[4] = {256, 256, 256, 256}, add[4] = {0, 0, 0, 0};
    records.cxform(true, mult, add);
    records.u8(0);
    SwfBits b;
    b.u16(7).u8(0).u16(uint16_t(records.size() + 2)).bytes(records.data());
    for (std::size_t i = 0; i < conds.size(); ++i) {
        const bool last = i + 1 == conds.size();
        const uint16_t size = last ? lastSize.value_or(0) : uint16_t(4 + conds[i].second.size());
        b.u16(size).u16(conds[i].first).bytes(conds[i].second);
    }
    return b.data();
}

struct ButtonCase {
    const char* name;
    std::vector<uint8_t> body;
    uint16_t tagCode;
    std::vector<ButtonAction> expected;
    bool warned;
};

class ButtonConditions : public testing::TestWithParam<ButtonCase> {};

TEST_P(ButtonConditions, AreReadWithTheirActions) {
    const ButtonCase& c = GetParam();
    SwfWriter w;
    w.tag(TagCode::DefineShape3, rectangleShape(1, 0, 0, 100, 100, 255, 0, 0));
    w.tag(c.tagCode, c.body);
    w.showFrame().end();
    auto movie = read(w);
    ASSERT_TRUE(movie);
    EXPECT_EQ(movie->warnings.size(), c.warned ? 1u : 0u);
    const Character* button = movie->character(7);
    ASSERT_TRUE(button && button->button);
    ASSERT_EQ(button->button->conditions.size(), c.expected.size());
    for (std::size_t i = 0; i < c.expected.size(); ++i) {
        const ButtonAction& got = button->button->conditions[i];
        EXPECT_EQ(got.conditions, c.expected[i].conditions) << i;
        EXPECT_EQ(bytesOf(got.actions), bytesOf(c.expected[i].actions)) << i;
    }
}

// Key code 'A' (65) in the top seven bits.
constexpr uint16_t kKeyA = 65u << 9;

std::vector<uint8_t> button1() {
    SwfBits b;
    b.u16(7).u8(0x01).u16(1).u16(1).matrix().u8(0).bytes(kActionsA);
    return b.data();
}

INSTANTIATE_TEST_SUITE_P(
    MovieDefinition, ButtonConditions,
    testing::Values(ButtonCase{"DefineButtonRunsOnRelease",
                               button1(),
                               7,
                               {{kButtonOverDownToOverUp, kActionsA}},
                               false},
                    ButtonCase{"TwoConditions",
                               button2({{kButtonIdleToOverUp | kButtonOverUpToIdle, kActionsA},
                                        {kButtonOverDownToIdle | kKeyA, kActionsB}}),
                               34,
                               {{kButtonIdleToOverUp | kButtonOverUpToIdle, kActionsA},
                                {kButtonOverDownToIdle | kKeyA, kActionsB}},
                               false},
                    // The last record claims more than the tag holds: the first stays.
                    ButtonCase{"SizePastTheTag",
                               button2({{kButtonOverDownToOverUp, kActionsA},
                                        {kButtonIdleToOverUp, kActionsB}},
                                       200),
                               34,
                               {{kButtonOverDownToOverUp, kActionsA}},
                               true}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(MovieDefinition, ButtonKeyCodeComesFromTheTopBits) {
    EXPECT_EQ((ButtonAction{kButtonOverDownToIdle | kKeyA, {}}.keyCode()), 65);
}

TEST(MovieDefinition, ExportsFindTheirCharactersInEitherCase) {
    SwfWriter w;
    w.tag(TagCode::DefineShape3, rectangleShape(1, 0, 0, 100, 100, 255, 0, 0));
    w.tag(TagCode::DefineShape3, rectangleShape(2, 0, 0, 100, 100, 255, 0, 0));
    w.tag(TagCode::ExportAssets, exportAssets({{1, "Ball"}, {2, "box"}, {9, "missing"}}));
    w.showFrame().end();
    auto movie = read(w);
    ASSERT_TRUE(movie);
    EXPECT_TRUE(movie->warnings.empty());
    struct Lookup {
        const char* name;
        bool caseSensitive;
        uint16_t id; // 0: none
    };
    for (const Lookup& l :
         {Lookup{"Ball", true, 1}, Lookup{"ball", true, 0}, Lookup{"bALL", false, 1},
          Lookup{"BOX", false, 2}, Lookup{"missing", false, 0}, Lookup{"Bal", false, 0}}) {
        const Character* c = movie->exportedCharacter(l.name, l.caseSensitive);
        EXPECT_EQ(c ? c->id : 0, l.id) << l.name << " " << l.caseSensitive;
    }
}

TEST(MovieDefinition, DamagedExportsAndLimitsWarnAndKeepWhatIsWhole) {
    std::vector<uint8_t> exports = exportAssets({{1, "first"}, {2, "second"}});
    exports[0] = 3;     // claims a third export
    exports.pop_back(); // and cuts the second name's terminator
    SwfWriter w;
    w.tag(TagCode::DefineShape3, rectangleShape(1, 0, 0, 100, 100, 255, 0, 0));
    w.tag(TagCode::ExportAssets, exports);
    w.tag(TagCode::ScriptLimits, {1, 0, 2});
    w.tag(TagCode::DoInitAction, {5});
    w.showFrame().end();
    auto movie = read(w);
    ASSERT_TRUE(movie);
    EXPECT_EQ(movie->warnings.size(), 3u);
    EXPECT_EQ(movie->exports.size(), 1u);
    EXPECT_NE(movie->exportedCharacter("first", true), nullptr);
    EXPECT_FALSE(movie->scriptLimits);
    EXPECT_TRUE(movie->root.frames[0].initActions.empty());
}

TEST(MovieDefinition, ScriptTagsStayWithTheirFrames) {
    const std::vector<uint8_t> init = ActionAssembler().push("init").trace().build();
    const std::vector<uint8_t> inner = ActionAssembler().push("inner").trace().build();
    SpriteBuilder sprite;
    sprite.showFrame();
    sprite.tag(TagCode::DoInitAction, doInitAction(3, inner)).showFrame();
    SwfWriter w;
    w.frameCount = 2;
    w.tag(TagCode::FileAttributes, {0x08, 0, 0, 0});
    w.tag(TagCode::ScriptLimits, scriptLimits(1000, 15));
    w.tag(TagCode::DefineSprite, sprite.defineSprite(3));
    w.tag(TagCode::FrameLabel, frameLabel("one"));
    w.tag(TagCode::FrameLabel, frameLabel("uno"));
    w.showFrame();
    w.tag(TagCode::DoInitAction, doInitAction(3, init));
    w.tag(TagCode::DoAction, kActionsB);
    w.showFrame().end();
    auto movie = read(w);
    ASSERT_TRUE(movie);
    EXPECT_TRUE(movie->warnings.empty());
    EXPECT_TRUE(movie->usesActionScript3());
    ASSERT_TRUE(movie->scriptLimits);
    EXPECT_EQ(movie->scriptLimits->maxRecursionDepth, 1000);
    EXPECT_EQ(movie->scriptLimits->scriptTimeoutSeconds, 15);
    const TimelineFrame& first = movie->root.frames[0];
    EXPECT_EQ(first.label, "one");
    EXPECT_EQ(first.labels, (std::vector<std::string>{"one", "uno"}));
    EXPECT_TRUE(first.initActions.empty());
    const TimelineFrame& second = movie->root.frames[1];
    ASSERT_EQ(second.initActions.size(), 1u);
    EXPECT_EQ(second.initActions[0].spriteId, 3);
    EXPECT_EQ(bytesOf(second.initActions[0].actions), init);
    ASSERT_EQ(second.actions.size(), 1u);
    EXPECT_EQ(bytesOf(second.actions[0]), kActionsB);
    const Timeline& inside = movie->character(3)->sprite->timeline;
    ASSERT_EQ(inside.frameCount(), 2);
    EXPECT_TRUE(inside.frames[0].initActions.empty());
    ASSERT_EQ(inside.frames[1].initActions.size(), 1u);
    EXPECT_EQ(bytesOf(inside.frames[1].initActions[0].actions), inner);
}

TEST(MovieDefinition, WithoutFileAttributesScriptsAreNotActionScript3) {
    SwfWriter w;
    w.showFrame().end();
    auto movie = read(w);
    ASSERT_TRUE(movie);
    EXPECT_FALSE(movie->usesActionScript3());
    EXPECT_FALSE(movie->scriptLimits);
}

} // namespace
} // namespace swivio::swf
