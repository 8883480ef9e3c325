// A person's input from outside the engine: recorded input replayed by traceMovie, and input
// given ahead of time to the player host, reach a button in the movie.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "source/movie_trace.h"
#include "source/player_host.h"
#include "source/recorded_input.h"
#include "tests/support/action_assembler.h"
#include "tests/support/swf_movies.h"
#include "tests/support/swf_shapes.h"
#include "tests/support/swf_writer.h"
#include "tests/support/temp_dir.h"

namespace swivio::testkit {
namespace {

constexpr int kFrames = 6;

// A movie of kFrames frames with a button over stage pixels 0..50 square whose release
// traces "clicked" and stops the root on its fourth frame.
std::string writeButtonMovie(const TempDir& dir) {
    SwfWriter w;
    w.version = 6;
    w.xMax = 200 * 20;
    w.yMax = 100 * 20;
    w.frameCount = kFrames;
    w.tag(TagCode::DefineShape3, rectangleShape(1, 0, 0, 1000, 1000, 255, 0, 0));
    SwfBits button;
    button.u16(2).u8(0x0F).u16(1).u16(1).matrix().u8(0);
    button.bytes(ActionAssembler().push("clicked").trace().gotoFrame(3).op(ActionCode::Stop).build());
    w.tag(TagCode::DefineButton, button.data());
    place(w, Place().at(1).of(2));
    for (int i = 0; i < kFrames; ++i)
        w.showFrame();
    w.end();
    const std::string path = dir.file("button.swf");
    EXPECT_TRUE(w.writeFile(path));
    return path;
}

// What the movie traces with the recorded input.
std::string tracedWith(const std::string& path, const std::string& recorded) {
    auto input = parseRecordedInput(recorded);
    EXPECT_TRUE(input) << input.message();
    std::string out;
    Status status = traceMovie(path, kFrames, input ? input->steps : RecordedInput{}.steps,
                               [&](std::string_view line) { out += std::string(line) + "|"; },
                               [](std::string_view) {});
    EXPECT_TRUE(status) << status.message();
    return out;
}

TEST(ScriptedInputTest, RecordedClicksReachTheButtonUnderThem) {
    TempDir dir;
    const std::string path = writeButtonMovie(dir);
    const char* click = R"([{"type": "Wait"},
        {"type": "MouseMove", "pos": [25, 25]},
        {"type": "MouseDown", "pos": [25, 25], "btn": "Left"},
        {"type": "MouseUp", "pos": [25, 25], "btn": "Left"}])";
    const char* missed = R"([{"type": "MouseDown", "pos": [75, 25]},
        {"type": "MouseUp", "pos": [75, 25]}])";
    EXPECT_EQ(tracedWith(path, click), "clicked|");
    EXPECT_EQ(tracedWith(path, missed), "");
}

TEST(ScriptedInputTest, PlayerHostDeliversTimedClicksAfterTheirFrame) {
    TempDir dir;
    PlayerHost host;
    ASSERT_TRUE(host.load(writeButtonMovie(dir))) << host.errorString();
    std::vector<TimedInput> timed;
    for (UserInputKind kind :
         {UserInputKind::MouseMove, UserInputKind::MouseDown, UserInputKind::MouseUp}) {
        TimedInput t;
        t.frame = 2;
        t.input.kind = kind;
        t.input.x = 10;
        t.input.y = 10;
        timed.push_back(t);
    }
    host.setScriptedInput(timed);
    host.restart();
    EXPECT_EQ(host.currentFrame(), 0);
    EXPECT_EQ(host.cursor(), UserCursor::Arrow);
    host.tick();
    // The click after frame 2 sent the root to its fourth frame and stopped it there.
    EXPECT_EQ(host.currentFrame(), 3);
    EXPECT_EQ(host.cursor(), UserCursor::Hand);
    host.tick();
    host.tick();
    EXPECT_EQ(host.currentFrame(), 3);
    // Restarting plays the same input again.
    host.restart();
    host.tick();
    EXPECT_EQ(host.currentFrame(), 3);
}

} // namespace
} // namespace swivio::testkit
