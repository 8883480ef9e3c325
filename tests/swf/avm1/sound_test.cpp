// The Sound class in a movie: volume and pan conversions, which clip a Sound speaks for, and
// sounds playing on the movie's clock.
#include <cmath>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "swf/avm1/builtins.h"
#include "swf/avm1/clip_object.h"
#include "swf/avm1/movie_runtime.h"
#include "swf/format/movie_definition.h"
#include "swf/player/timeline_player.h"
#include "tests/support/sound_files.h"
#include "tests/support/swf_writer.h"
#include "tests/support/temp_dir.h"

namespace swivio::swf::avm1 {
namespace {

// A movie at 10 frames a second (100 ms a frame) holding a 500 ms PCM sound exported as
// "beep" (22050 samples at 44 kHz).
class SoundTest : public ::testing::Test {
protected:
    SoundTest() {
        testkit::SwfWriter writer;
        writer.version = 8;
        writer.frameRate88 = 10 << 8;
        const uint32_t samples = 22050;
        std::vector<uint8_t> define = {1, 0, 0x3E, uint8_t(samples), uint8_t(samples >> 8), 0, 0};
        define.resize(define.size() + 64);
        writer.tag(14, define).tag(56, {1, 0, 1, 0, 'b', 'e', 'e', 'p', 0});
        writer.showFrame().showFrame().end();
        auto movie = readMovieDefinition(writer.build());
        EXPECT_TRUE(movie.ok());
        runtime = std::make_unique<ScriptRuntime>(movie.value(), dir.file("movie.swf"));
        player = std::make_unique<TimelinePlayer>(movie.value(), nullptr, runtime.get());
        runtime->attach(*player);
        vm().global()->define("log", Value(""), 0);
    }
    Interpreter& vm() { return runtime->interpreter(); }
    Value make(std::vector<Value> args = {}) {
        return vm().construct(vm().getMember(vm().global(), "Sound"), args);
    }
    Value call(const Value& object, std::string_view method, std::vector<Value> args = {}) {
        return vm().callMethod(object, method, args);
    }
    std::string text(const Value& v) { return vm().toString(v); }
    // Handlers append "name(args)" to _global.log.
    static Value logCall(Interpreter& vm, const Value&, std::span<const Value> args) {
        std::string line = vm.toString(vm.getMember(vm.global(), "log")) + "(";
        for (const Value& a : args)
            line += vm.toString(a);
        vm.setMember(vm.global(), "log", Value(line + ")"));
        return Value();
    }
    void listen(const Value& sound, std::string_view event) {
        vm().setMember(sound, event, Value(vm().makeNative(logCall)));
    }
    std::string log() { return text(vm().getMember(vm().global(), "log")); }
    // Ticks until the log changes (at most limit frames); answers how many it took.
    int ticksUntilLogged(int limit) {
        const std::string before = log();
        for (int i = 1; i <= limit; ++i) {
            runtime->tick();
            if (log() != before)
                return i;
        }
        return -1;
    }
    Value clip(const std::string& name, int depth) {
        Value args[] = {Value(name), Value(depth)};
        return vm().callMethod(Value(runtime->rootClip()), "createEmptyMovieClip", args);
    }

    testkit::TempDir dir;
    std::unique_ptr<ScriptRuntime> runtime;
    std::unique_ptr<TimelinePlayer> player;
};

struct Conversion {
    const char* method;
    Value argument;
    const char* volume; // getVolume() after the call
    const char* pan;    // getPan()
    const char* levels; // ll,lr,rr,rl of getTransform()
};

TEST_F(SoundTest, SettersStoreWholeNumbersAndPanIsReadFromTheLevels) {
    const double nan = std::nan("");
    const Conversion cases[] = {
        {"setVolume", Value(50.5), "50", "0", "100,0,100,0"},
        {"setVolume", Value(-999), "-999", "0", "100,0,100,0"},
        {"setVolume", Value(nan), "-2147483648", "0", "100,0,100,0"},
        {"setVolume", Value(), "-2147483648", "0", "100,0,100,0"},
        {"setVolume", Value(3e9), "-2147483648", "0", "100,0,100,0"},
        {"setVolume", Value("30"), "30", "0", "100,0,100,0"},
        {"setPan", Value(-25), "100", "-25", "100,0,75,0"},
        {"setPan", Value(40.9), "100", "40", "60,0,100,0"},
        {"setPan", Value(-250), "100", "50", "100,0,-150,0"}, // the level read as its size
    };
    for (const Conversion& c : cases) {
        Value sound = make();
        call(sound, "setVolume", {100});
        call(sound, "setPan", {0});
        call(sound, c.method, {c.argument});
        Value t = call(sound, "getTransform");
        std::string levels;
        for (const char* name : {"ll", "lr", "rr", "rl"})
            levels += (levels.empty() ? "" : ",") + text(vm().getMember(t, name));
        EXPECT_EQ(text(call(sound, "getVolume")), c.volume) << c.method << " " << text(c.argument);
        EXPECT_EQ(text(call(sound, "getPan")), c.pan) << c.method << " " << text(c.argument);
        EXPECT_EQ(levels, c.levels) << c.method << " " << text(c.argument);
    }
}

TEST_F(SoundTest, SetTransformChangesOnlyTheLevelsGivenAndPanFollowsLeftLevel) {
    Value sound = make();
    Object* levels = vm().makeObject();
    levels->define("ll", Value(10), 0);
    levels->define("rl", Value(40), 0);
    call(sound, "setTransform", {Value(levels)});
    EXPECT_EQ(text(call(sound, "getPan")), "90");
    EXPECT_EQ(text(vm().getMember(call(sound, "getTransform"), "rr")), "100");
    EXPECT_EQ(text(vm().getMember(call(sound, "getTransform"), "rl")), "40");
}

TEST_F(SoundTest, VolumeBelongsToTheClipAndIsLookedUpByPath) {
    Value global = make();
    Value missing = make({Value("mc")});
    EXPECT_TRUE(call(missing, "getVolume").isUndefined());
    call(missing, "setVolume", {20}); // nothing to change
    Value mc = clip("mc", 1);
    Value a = make({mc});
    Value b = make({Value("mc")});
    EXPECT_EQ(text(call(missing, "getVolume")), "100");
    call(a, "setVolume", {30});
    call(global, "setVolume", {70});
    EXPECT_EQ(text(call(b, "getVolume")), "30");
    EXPECT_EQ(text(call(make(), "getVolume")), "70");
    // Renamed, the clip is no longer at the path the Sound keeps.
    vm().setMember(mc, "_name", "other");
    EXPECT_TRUE(call(a, "getVolume").isUndefined());
    vm().setMember(mc, "_name", "mc");
    EXPECT_EQ(text(call(a, "getVolume")), "30");
    // A new clip under the old name starts at full volume.
    call(mc, "removeMovieClip");
    EXPECT_TRUE(call(a, "getVolume").isUndefined());
    clip("mc", 2);
    EXPECT_EQ(text(call(a, "getVolume")), "100");
}

TEST_F(SoundTest, AClipsVolumeReachesTheSoundsOfItsChildren) {
    Value mc = clip("mc", 1);
    Value args[] = {Value("inner"), Value(1)};
    Value inner = vm().callMethod(mc, "createEmptyMovieClip", args);
    call(make(), "setVolume", {50});
    call(make({mc}), "setVolume", {40});
    auto display = [](const Value& v) { return dynamic_cast<ClipObject*>(v.object())->display(); };
    EXPECT_DOUBLE_EQ(soundLevelFor(*runtime, display(inner)), 0.2);
    EXPECT_DOUBLE_EQ(soundLevelFor(*runtime, display(mc)), 0.2);
    EXPECT_DOUBLE_EQ(soundLevelFor(*runtime, nullptr), 0.5);
    call(make({inner}), "setVolume", {50});
    EXPECT_DOUBLE_EQ(soundLevelFor(*runtime, display(inner)), 0.1);
    EXPECT_DOUBLE_EQ(soundLevelFor(*runtime, display(mc)), 0.2);
}

TEST_F(SoundTest, ManyPassingClipsDoNotCostALivingClipItsVolume) {
    Value kept = make({clip("kept", 1)});
    call(kept, "setVolume", {30});
    for (int i = 0; i < 5000; ++i) {
        Value passing = clip("passing", 2);
        call(make({passing}), "setVolume", {10});
        call(passing, "removeMovieClip");
    }
    EXPECT_EQ(text(call(kept, "getVolume")), "30");
}

TEST_F(SoundTest, GettersAnswerUndefinedUntilASoundIsThere) {
    Value sound = make();
    for (const char* getter : {"getDuration", "getPosition", "getBytesLoaded", "getBytesTotal"})
        EXPECT_TRUE(call(sound, getter).isUndefined()) << getter;
    call(sound, "attachSound", {"nothing such"});
    EXPECT_TRUE(vm().getMember(sound, "duration").isUndefined());
    call(sound, "start");
    EXPECT_EQ(ticksUntilLogged(3), -1);
    call(sound, "attachSound", {"BEEP"});
    EXPECT_EQ(text(vm().getMember(sound, "duration")), "500");
    EXPECT_EQ(text(vm().getMember(sound, "position")), "0");
    EXPECT_EQ(text(vm().getMember(sound, "checkPolicyFile")), "false");
}

struct PlayCase {
    std::vector<Value> startArgs;
    int completeTick;         // the frame that hears onSoundComplete
    int probeTick;            // a frame before it ...
    const char* probePosition; // ... and the position then
};

TEST_F(SoundTest, StartedSoundEndsOnTheFrameItsLoopsRunOut) {
    const PlayCase cases[] = {
        {{}, 5, 3, "300"},
        {{Value(0), Value(2)}, 10, 7, "200"},    // second loop, 200 ms in
        {{Value(0.25), Value(2)}, 5, 3, "300"},  // loops restart at the offset
        {{Value("x"), Value(-4)}, 5, 1, "100"},  // odd arguments: no offset, one loop
    };
    for (const PlayCase& c : cases) {
        Value sound = make();
        listen(sound, "onSoundComplete");
        call(sound, "attachSound", {"beep"});
        call(sound, "start", c.startArgs);
        for (int i = 0; i < c.probeTick; ++i)
            runtime->tick();
        EXPECT_EQ(text(vm().getMember(sound, "position")), c.probePosition);
        EXPECT_EQ(ticksUntilLogged(20), c.completeTick - c.probeTick);
        EXPECT_EQ(text(vm().getMember(sound, "position")), "500");
    }
    EXPECT_EQ(log(), "()()()()");
}

TEST_F(SoundTest, StoppedSoundsNeverComplete) {
    Value mc = clip("mc", 1);
    Value outside = make();
    Value inside = make({mc});
    for (const Value& s : {outside, inside}) {
        listen(s, "onSoundComplete");
        call(s, "attachSound", {"beep"});
        call(s, "start");
    }
    call(inside, "stop", {"beep"});     // only what was started under mc
    EXPECT_EQ(ticksUntilLogged(10), 5); // the movie-wide one still ends
    call(outside, "start");
    call(inside, "start");
    vm().host().stopSounds();
    EXPECT_EQ(ticksUntilLogged(10), -1);
}

TEST_F(SoundTest, LoadSoundReadsMp3BesideTheMovieWithItsTags) {
    std::vector<uint8_t> mp3 = testkit::makeMp3(22050, 1, 32, 0.5);
    std::vector<uint8_t> v1(128, 0);
    const std::string title = "Song";
    std::copy(title.begin(), title.end(), v1.begin() + 3);
    v1[0] = 'T', v1[1] = 'A', v1[2] = 'G', v1[126] = 7;
    mp3.insert(mp3.end(), v1.begin(), v1.end());
    std::ofstream(dir.file("song.mp3"), std::ios::binary)
        .write(reinterpret_cast<const char*>(mp3.data()), std::streamsize(mp3.size()));

    Value sound = make();
    listen(sound, "onLoad");
    listen(sound, "onID3");
    call(sound, "loadSound", {"song.mp3", false});
    EXPECT_EQ(log(), "(true)");
    EXPECT_EQ(text(call(sound, "getBytesTotal")), std::to_string(mp3.size()));
    const double duration = vm().toNumber(vm().getMember(sound, "duration"));
    EXPECT_GE(duration, 500);
    EXPECT_LE(duration, 600);
    EXPECT_EQ(text(vm().getMember(vm().getMember(sound, "id3"), "songname")), "Song");
    EXPECT_EQ(text(vm().getMember(vm().getMember(sound, "id3"), "track")), "7");
    EXPECT_EQ(ticksUntilLogged(2), 1);
    EXPECT_EQ(log(), "(true)()");

    // Outside the movie's folder, or not there: onLoad(false) on the next frame.
    for (const char* url : {"../song.mp3", "/etc/passwd", "missing.mp3", "movie.swf"}) {
        vm().setMember(vm().global(), "log", Value(""));
        call(sound, "loadSound", {url, true});
        EXPECT_EQ(log(), "") << url;
        EXPECT_EQ(ticksUntilLogged(2), 1) << url;
        EXPECT_EQ(log(), "(false)") << url;
    }
}

} // namespace
} // namespace swivio::swf::avm1
