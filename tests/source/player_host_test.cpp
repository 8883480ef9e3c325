#include <filesystem>

#include <gtest/gtest.h>

#include "source/player_host.h"
#include "tests/support/action_assembler.h"
#include "tests/support/swf_movies.h"
#include "tests/support/swf_shapes.h"
#include "tests/support/swf_writer.h"
#include "tests/support/temp_dir.h"

namespace swivio::testkit {
namespace {

std::string writeMovie(const TempDir& dir, const std::string& name, int frames = 3) {
    SwfWriter w;
    w.xMax = 64 * 20;
    w.yMax = 48 * 20;
    w.frameRate88 = 0x1D80; // 29.5
    w.frameCount = uint16_t(frames);
    w.backgroundColor(0x10, 0x20, 0x30);
    for (int i = 0; i < frames; ++i)
        w.showFrame();
    w.end();
    const std::string path = dir.file(name);
    EXPECT_TRUE(w.writeFile(path));
    return path;
}

// A two-frame movie whose first frame goes to the second and stops there when _url names
// its own file, and stops on the first otherwise.
std::string writeUrlMovie(const TempDir& dir) {
    const std::string path = dir.file("url.swf");
    SwfWriter w;
    w.frameCount = 2;
    ActionAssembler a;
    a.push("").push(15).op(ActionCode::GetProperty); // _url
    a.push("file://" + path).op(ActionCode::StringEquals).branchIfTrue("own");
    a.op(ActionCode::Stop).jump("end");
    a.label("own").gotoFrame(1).op(ActionCode::Stop).label("end");
    w.tag(TagCode::DoAction, a.build());
    w.showFrame().showFrame().end();
    EXPECT_TRUE(w.writeFile(path));
    return path;
}

TEST(PlayerHost, ScriptsSeeTheMovieFileFromEveryStart) {
    TempDir dir;
    PlayerHost host;
    ASSERT_TRUE(host.load(writeUrlMovie(dir)));
    EXPECT_EQ(host.currentFrame(), 1);
    host.stop();
    host.restart();
    EXPECT_EQ(host.currentFrame(), 1);
    EXPECT_FALSE(host.isPlaying());
    EXPECT_EQ(host.openAnother()->currentFrame(), 1);
}

TEST(PlayerHost, LoadsByTheLastFourCharactersOnly) {
    TempDir dir;
    PlayerHost host;
    EXPECT_EQ(host.readyState(), 0);
    ASSERT_TRUE(host.load(writeMovie(dir, "MOVIE.SWF")));
    EXPECT_FALSE(host.isFlv());
    EXPECT_EQ(host.movieWidth(), 64);
    EXPECT_EQ(host.movieHeight(), 48);
    EXPECT_EQ(host.movieLength(), 3);
    EXPECT_FLOAT_EQ(host.movieFrameRate(), 29.5f);
    EXPECT_EQ(host.readyState(), 4);
    EXPECT_EQ(host.backgroundColor(), makeColor(0x10, 0x20, 0x30));

    const std::string bak = writeMovie(dir, "movie.swf.bak");
    EXPECT_FALSE(host.load(bak));
    // A failed load leaves the properties of the movie loaded before.
    EXPECT_EQ(host.movieWidth(), 64);
    writeBytes(dir.file("bad.swf"), {'F', 'W', 'S', 1, 20, 0, 0, 0});
    EXPECT_FALSE(host.load(dir.file("bad.swf")));
    EXPECT_EQ(host.errorString().rfind(kInvalidMovieMessage, 0), 0u) << host.errorString();
    EXPECT_NE(host.errorString().find("bad.swf"), std::string::npos) << host.errorString();
}

TEST(PlayerHost, TransportCountsFramesFromOne) {
    TempDir dir;
    PlayerHost host;
    ASSERT_TRUE(host.load(writeMovie(dir, "m.swf", 5)));
    EXPECT_EQ(host.position(), 1);
    EXPECT_FALSE(host.isPlaying());
    host.play();
    EXPECT_TRUE(host.isPlaying());
    host.tick();
    host.tick();
    EXPECT_EQ(host.position(), 3);
    host.pause();
    host.tick();
    EXPECT_EQ(host.position(), 3);
    host.seek(1);
    EXPECT_EQ(host.currentFrame(), 1);
    host.stop();
    EXPECT_EQ(host.position(), 1);
    EXPECT_FALSE(host.isPlaying());
    host.setMovie("");
    EXPECT_EQ(host.readyState(), 0);
}

// The contract: a movie opened once gives further players that share it and play on their
// own; what cannot be opened says which file and why.
TEST(MovieSource, OpenedOnceAndPlayedByIndependentPlayers) {
    TempDir dir;
    auto first = openMovieSource(writeMovie(dir, "m.swf", 4));
    ASSERT_TRUE(first) << first.message();
    MovieSource& a = **first;
    std::filesystem::remove(dir.file("m.swf")); // nothing is read again
    const std::unique_ptr<MovieSource> b = a.openAnother();
    EXPECT_EQ(b->movieWidth(), 64);
    EXPECT_EQ(b->movieLength(), 4);
    EXPECT_EQ(b->movieFrameRate(), 29.5f);
    a.gotoFrame(3);
    EXPECT_TRUE(a.atEnd());
    EXPECT_EQ(b->currentFrame(), 0);
    EXPECT_FALSE(b->atEnd());
    Frame frame(8, 8);
    b->paint(frame, SourceViewport{8, 8, 0, 0, 0, 0, 8, 8});
    EXPECT_EQ(frame.pixel(4, 4), makeColor(0x10, 0x20, 0x30));

    for (const std::string name : {"gone.swf", "clip.flv", "notes.txt"}) {
        auto refused = openMovieSource(dir.file(name));
        ASSERT_FALSE(refused) << name;
        EXPECT_EQ(refused.message().rfind(kInvalidMovieMessage, 0), 0u) << refused.message();
        EXPECT_NE(refused.message().find(name), std::string::npos) << refused.message();
    }
}

} // namespace
} // namespace swivio::testkit
