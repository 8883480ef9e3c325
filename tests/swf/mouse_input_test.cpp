// The mouse as movies hear it: buttons pressed, released and dragged over by their hit
// shapes, clips with button handlers, the order of clip events, listeners and button actions,
// and the cursor.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "swf/avm1/movie_runtime.h"
#include "swf/movie.h"
#include "swf/movie_player.h"
#include "tests/support/action_assembler.h"
#include "tests/support/swf_movies.h"
#include "tests/support/swf_shapes.h"

namespace swivio::swf {
namespace {

using testkit::ActionAssembler;
using Op = testkit::ActionCode;
using namespace swivio::testkit;

constexpr uint16_t kVisibleShape = 1;
constexpr uint16_t kHitShape = 2;
constexpr uint16_t kButton = 3;
constexpr uint16_t kDownShape = 4;
constexpr uint16_t kSprite = 5;

std::vector<uint8_t> traceAction(const std::string& text) {
    return ActionAssembler().push(text).trace().build();
}

// A BUTTONRECORD: states (bit 0 up, 1 over, 2 down, 3 hit), the character at a depth, placed
// where it is drawn; DefineButton2's carry a colour transform.
void buttonRecord(SwfBits& b, uint8_t states, uint16_t character, uint16_t depth, bool withCxform) {
    b.u8(states).u16(character).u16(depth).matrix();
    if (withCxform) {
        const int mult[4] = {256, 256, 256, 256};
        const int add[4] = {0, 0, 0, 0};
        b.cxform(true, mult, add);
    }
}

// The records shared by the test buttons: the up and over states show the visible shape,
// the down state another, and the hit state is its own shape.
void testRecords(SwfBits& b, bool withCxform) {
    buttonRecord(b, 0x03, kVisibleShape, 1, withCxform);
    buttonRecord(b, 0x04, kDownShape, 1, withCxform);
    buttonRecord(b, 0x08, kHitShape, 2, withCxform);
    b.u8(0);
}

struct Condition {
    uint16_t bits;
    std::string traced;
};

std::vector<uint8_t> defineButton2(const std::vector<Condition>& conditions, bool menu) {
    SwfBits records;
    testRecords(records, true);
    SwfBits b;
    b.u16(kButton).u8(menu ? 1 : 0);
    // The action offset counts from its own field to the first condition.
    b.u16(conditions.empty() ? 0 : uint16_t(2 + records.size()));
    b.bytes(records.data());
    for (std::size_t i = 0; i < conditions.size(); ++i) {
        const std::vector<uint8_t> actions = traceAction(conditions[i].traced);
        const bool last = i + 1 == conditions.size();
        b.u16(last ? 0 : uint16_t(4 + actions.size())).u16(conditions[i].bits).bytes(actions);
    }
    return b.data();
}

std::vector<uint8_t> defineButton1(const std::string& traced) {
    SwfBits b;
    b.u16(kButton);
    testRecords(b, false);
    b.bytes(traceAction(traced));
    return b.data();
}

// Visible parts cover stage pixels 0..100 square; the hit shape covers 200..300 across,
// 0..100 down; the down state's shape is the visible one's size.
void defineShapes(SwfWriter& w) {
    w.tag(TagCode::DefineShape3, rectangleShape(kVisibleShape, 0, 0, 2000, 2000, 255, 0, 0));
    w.tag(TagCode::DefineShape3, rectangleShape(kHitShape, 4000, 0, 6000, 2000, 0, 255, 0));
    w.tag(TagCode::DefineShape3, rectangleShape(kDownShape, 0, 0, 2000, 2000, 0, 0, 255));
}

constexpr uint16_t kAllConditions[] = {
    kButtonIdleToOverUp,     kButtonOverUpToIdle,     kButtonOverUpToOverDown,
    kButtonOverDownToOverUp, kButtonOverDownToOutDown, kButtonOutDownToOverDown,
    kButtonOutDownToIdle,    kButtonIdleToOverDown,   kButtonOverDownToIdle,
};
constexpr const char* kConditionNames[] = {
    "rollOver", "rollOut", "press", "release", "dragOut", "dragOver", "releaseOutside",
    "menuDragOver", "menuDragOut",
};

// A movie with one button at depth 1 whose every condition traces its name.
SwfWriter buttonMovie(bool menu) {
    SwfWriter w;
    w.version = 8;
    defineShapes(w);
    std::vector<Condition> conditions;
    for (std::size_t i = 0; i < std::size(kAllConditions); ++i)
        conditions.push_back({kAllConditions[i], kConditionNames[i]});
    w.tag(TagCode::DefineButton2, defineButton2(conditions, menu));
    Place button = Place().at(1).of(kButton);
    button.name = "b";
    place(w, button);
    w.showFrame().end();
    return w;
}

struct Step {
    InputKind kind;
    double x, y;
};

constexpr Step move(double x, double y) { return {InputKind::MouseMove, x, y}; }
constexpr Step down(double x, double y) { return {InputKind::MouseDown, x, y}; }
constexpr Step up(double x, double y) { return {InputKind::MouseUp, x, y}; }

// The player of a movie with its traces, fed input after its first frame.
class Probe {
public:
    explicit Probe(const SwfWriter& writer) {
        auto movie = Movie::load(writer.build());
        EXPECT_TRUE(movie.ok()) << movie.message();
        if (!movie)
            return;
        m_player = std::make_unique<MoviePlayer>(*movie, PlayerOptions{},
                                                 [this](avm1::ScriptRuntime& scripts) {
                                                     scripts.setTraceSink([this](std::string_view l) {
                                                         m_lines.emplace_back(l);
                                                     });
                                                 });
    }

    // What the steps make the movie trace, joined by '|'.
    std::string feed(const std::vector<Step>& steps) {
        const std::size_t before = m_lines.size();
        for (const Step& s : steps) {
            InputEvent e;
            e.kind = s.kind;
            e.x = s.x;
            e.y = s.y;
            if (m_player)
                m_player->handleInput(e);
        }
        std::string out;
        for (std::size_t i = before; i < m_lines.size(); ++i)
            out += (i > before ? "|" : "") + m_lines[i];
        return out;
    }

    MoviePlayer& player() { return *m_player; }
    explicit operator bool() const { return m_player != nullptr; }

private:
    std::vector<std::string> m_lines;
    std::unique_ptr<MoviePlayer> m_player;
};

struct ButtonCase {
    const char* what;
    bool menu;
    std::vector<Step> steps;
    const char* traced;
};

TEST(MouseInputTest, ButtonsAnswerToTheirHitShapesWithTheirConditions) {
    const ButtonCase cases[] = {
        {"click on the hit shape", false, {move(250, 50), down(250, 50), up(250, 50)},
         "rollOver|press|release"},
        {"click on the visible shape only", false, {move(50, 50), down(50, 50), up(50, 50)}, ""},
        {"click away from both", false, {move(150, 150), down(150, 150), up(150, 150)}, ""},
        {"roll over and out", false, {move(250, 50), move(260, 60), move(350, 50)},
         "rollOver|rollOut"},
        {"drag out and back", false,
         {move(250, 50), down(250, 50), move(350, 50), move(250, 50), up(250, 50)},
         "rollOver|press|dragOut|dragOver|release"},
        {"release outside", false, {move(250, 50), down(250, 50), move(350, 50), up(350, 50)},
         "rollOver|press|dragOut|releaseOutside"},
        {"pressed elsewhere, released on it", false,
         {move(150, 50), down(150, 50), move(250, 50), up(250, 50)}, "rollOver"},
        {"menu: drag out and back", true,
         {move(250, 50), down(250, 50), move(350, 50), move(250, 50), up(250, 50)},
         "rollOver|press|menuDragOut|menuDragOver|release"},
    };
    for (const ButtonCase& c : cases) {
        Probe probe(buttonMovie(c.menu));
        ASSERT_TRUE(probe);
        EXPECT_EQ(probe.feed(c.steps), c.traced) << c.what;
    }
}

TEST(MouseInputTest, DefineButtonRunsItsActionsOnRelease) {
    SwfWriter w;
    w.version = 4;
    defineShapes(w);
    w.tag(TagCode::DefineButton, defineButton1("clicked"));
    place(w, Place().at(1).of(kButton));
    w.showFrame().end();
    Probe probe(w);
    ASSERT_TRUE(probe);
    EXPECT_EQ(probe.feed({move(250, 50), down(250, 50)}), "");
    EXPECT_EQ(probe.feed({up(250, 50)}), "clicked");
    EXPECT_EQ(probe.feed({down(350, 50), up(350, 50)}), "");
}

// The character shown at the button's depth 1.
uint16_t shownPart(Probe& probe) {
    DisplayObject* button = probe.player().root().childAtDepth(1);
    DisplayObject* part = button ? button->childAtDepth(1) : nullptr;
    return part ? part->characterId() : 0;
}

TEST(MouseInputTest, ButtonShowsTheStateOfThePointer) {
    Probe probe(buttonMovie(false));
    ASSERT_TRUE(probe);
    EXPECT_EQ(shownPart(probe), kVisibleShape);
    probe.feed({move(250, 50), down(250, 50)});
    EXPECT_EQ(shownPart(probe), kDownShape);
    EXPECT_EQ(probe.player().cursor(), Cursor::Hand);
    probe.feed({up(250, 50), move(350, 50)});
    EXPECT_EQ(shownPart(probe), kVisibleShape);
    EXPECT_EQ(probe.player().cursor(), Cursor::Arrow);
}

// A clip of the visible shape at depth 2 named "mc", its placement handling press and
// mouseDown, a Mouse listener, and then the script given.
SwfWriter clipMovie(const std::vector<uint8_t>& script) {
    SwfWriter w;
    w.version = 8;
    defineShapes(w);
    SpriteBuilder sprite;
    sprite.place(Place().at(1).of(kVisibleShape)).showFrame();
    w.tag(TagCode::DefineSprite, sprite.defineSprite(kSprite));
    Place clip = Place().at(2).of(kSprite);
    clip.name = "mc";
    clip.clipActions = clipActions({{kClipEventPress, 0, traceAction("press")},
                                    {kClipEventRelease, 0, traceAction("release")},
                                    {kClipEventMouseDown, 0, traceAction("mouseDown")}},
                                   8);
    place(w, clip);
    // Mouse.addListener({onMouseDown: function () { trace("listener"); }})
    ActionAssembler listener;
    listener.push("onMouseDown")
        .defineFunction("", {}, [](ActionAssembler& a) { a.push("listener").trace(); })
        .push(1)
        .op(Op::InitObject)
        .push(1)
        .push("Mouse")
        .op(Op::GetVariable)
        .push("addListener")
        .op(Op::CallMethod)
        .op(Op::Pop);
    w.tag(TagCode::DoAction, listener.build());
    if (!script.empty())
        w.tag(TagCode::DoAction, script);
    w.showFrame().end();
    return w;
}

// mc[name] = value
std::vector<uint8_t> setClipMember(const char* name, bool value) {
    return ActionAssembler()
        .push("mc")
        .op(Op::GetVariable)
        .push(name)
        .push(value)
        .op(Op::SetMember)
        .build();
}

TEST(MouseInputTest, ClipsWithButtonHandlersBehaveAsButtons) {
    struct Case {
        const char* what;
        std::vector<uint8_t> script;
        Step at;
        const char* traced;
        Cursor cursor;
    };
    const Case cases[] = {
        // Clip events of every clip, then the listeners, then the object pressed.
        {"pressed on its shape", {}, move(50, 50), "mouseDown|listener|press|release", Cursor::Hand},
        {"pressed beside it", {}, move(150, 50), "mouseDown|listener", Cursor::Arrow},
        {"disabled", setClipMember("enabled", false), move(50, 50), "mouseDown|listener",
         Cursor::Arrow},
        {"no hand cursor", setClipMember("useHandCursor", false), move(50, 50),
         "mouseDown|listener|press|release", Cursor::Arrow},
        {"hidden", setClipMember("_visible", false), move(50, 50), "mouseDown|listener",
         Cursor::Arrow},
    };
    for (const Case& c : cases) {
        Probe probe(clipMovie(c.script));
        ASSERT_TRUE(probe);
        probe.feed({c.at});
        EXPECT_EQ(probe.player().cursor(), c.cursor) << c.what;
        EXPECT_EQ(probe.feed({down(c.at.x, c.at.y), up(c.at.x, c.at.y)}), c.traced) << c.what;
    }
}

TEST(MouseInputTest, PointerPlaceCountsFromTheFrameCorner) {
    // A frame from (-100, 0) to (450, 400) pixels: stage pixel 0 is movie pixel -100.
    SwfWriter w = clipMovie({});
    w.xMin = -2000;
    Probe probe(w);
    ASSERT_TRUE(probe);
    probe.feed({move(112.5, 40)});
    avm1::ScriptRuntime* scripts = probe.player().scripts();
    ASSERT_NE(scripts, nullptr);
    EXPECT_EQ(scripts->mouseX(), 12.5);
    EXPECT_EQ(scripts->mouseY(), 40);
    // The clip's shape lies at movie pixels 0..100: stage pixels 100..200.
    EXPECT_EQ(probe.feed({down(150, 50), up(150, 50)}), "mouseDown|listener|press|release");
}

TEST(MouseInputTest, MaskLayersAreHitByTheirOwnShapes) {
    SwfWriter w;
    w.version = 8;
    defineShapes(w);
    SpriteBuilder sprite;
    sprite.place(Place().at(1).of(kVisibleShape)).showFrame();
    w.tag(TagCode::DefineSprite, sprite.defineSprite(kSprite));
    Place mask = Place().at(3).of(kSprite);
    mask.name = "m";
    mask.clipDepth = 4;
    place(w, mask);
    ActionAssembler probe;
    for (int x : {50, 150})
        probe.push(true).push(50).push(x).push(3).push("m").op(Op::GetVariable).push("hitTest")
            .op(Op::CallMethod).trace();
    w.tag(TagCode::DoAction, probe.build());
    w.showFrame().end();
    std::vector<std::string> lines;
    auto loaded = Movie::load(w.build());
    ASSERT_TRUE(loaded.ok());
    MoviePlayer player(*loaded, PlayerOptions{}, [&](avm1::ScriptRuntime& scripts) {
        scripts.setTraceSink([&](std::string_view l) { lines.emplace_back(l); });
    });
    EXPECT_EQ(lines, (std::vector<std::string>{"true", "false"}));
}

TEST(MouseInputTest, AHitStateSpriteCountsByItsPartsWhereTheyStand) {
    // The hit shape (200..300 across, 0..100 down) inside a sprite that moves it 200 down,
    // the sprite in the hit state moved 100 left: together 100..200 across, 200..300 down.
    SwfWriter w;
    w.version = 8;
    defineShapes(w);
    SpriteBuilder sprite;
    Place part = Place().at(1).of(kHitShape);
    part.hasMatrix = true;
    part.translateY = 4000;
    sprite.place(part).showFrame();
    w.tag(TagCode::DefineSprite, sprite.defineSprite(kSprite));
    SwfBits records;
    records.u8(0x08).u16(kSprite).u16(1).matrix(1, 1, 0, 0, -2000, 0);
    records.cxform(true, std::array{256, 256, 256, 256}.data(), std::array{0, 0, 0, 0}.data());
    records.u8(0);
    const std::vector<uint8_t> actions = traceAction("press");
    SwfBits button;
    button.u16(kButton).u8(0).u16(uint16_t(2 + records.size())).bytes(records.data());
    button.u16(0).u16(kButtonOverUpToOverDown).bytes(actions);
    w.tag(TagCode::DefineButton2, button.data());
    place(w, Place().at(1).of(kButton));
    w.showFrame().end();

    const struct {
        const char* what;
        double x, y;
        const char* traced;
    } cases[] = {
        {"where the parts stand", 150, 250, "press"},
        {"where the bare shape would be", 250, 50, ""},
        {"where only the sprite's move puts it", 250, 250, ""},
    };
    for (const auto& c : cases) {
        Probe probe(w);
        ASSERT_TRUE(probe);
        EXPECT_EQ(probe.feed({move(c.x, c.y), down(c.x, c.y), up(c.x, c.y)}), c.traced) << c.what;
    }
}

} // namespace
} // namespace swivio::swf
