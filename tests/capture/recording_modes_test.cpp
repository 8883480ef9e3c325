// The two recording modes on movies whose scripts move their main timeline.
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "capture/frame_store_reader.h"
#include "capture/recording_session.h"
#include "settings/settings_rules.h"
#include "tests/support/action_assembler.h"
#include "tests/support/swf_movies.h"
#include "tests/support/swf_shapes.h"
#include "tests/support/swf_writer.h"
#include "tests/support/temp_dir.h"

namespace swivio::testkit {
namespace {

// A 40 x 20 movie on white. Root frame k shows a 10 x 20 square of kFrameColors[k] at the
// left; a nested clip, when there is one, puts a black 10 x 20 square at x 20 on its first
// frame and at x 30 on its second, so its phase shows which tick was recorded.
constexpr int kWidth = 40;
constexpr int kHeight = 20;
const uint32_t kFrameColors[] = {makeColor(255, 0, 0), makeColor(0, 255, 0),
                                 makeColor(0, 0, 255), makeColor(255, 255, 0)};

enum class Movie {
    StopOnFirst,   // four frames, stop() on the first, the clip moving
    BackToSecond,  // four frames, gotoAndPlay(2) on the fourth
    StopOnLast,    // three frames, stop() on the last
    ClipAfterStop, // the same with the clip moving
    Loops,         // two frames, no script: loops for ever
    OneFrame,      // one frame, nothing moves
};

struct MovieShape {
    int frames;
    int fps;
    bool clip;
    int scriptFrame; // -1: none
};

MovieShape shapeOf(Movie movie) {
    switch (movie) {
    case Movie::StopOnFirst:
        return {4, 10, true, 0};
    case Movie::BackToSecond:
        return {4, 10, false, 3};
    case Movie::StopOnLast:
        return {3, 10, false, 2};
    case Movie::ClipAfterStop:
        return {3, 10, true, 2};
    case Movie::Loops:
        return {2, 1, false, -1};
    case Movie::OneFrame:
        return {1, 10, false, -1};
    }
    return {};
}

std::string writeMovie(Movie movie, const TempDir& dir) {
    const MovieShape shape = shapeOf(movie);
    SwfWriter w;
    w.xMax = kWidth * 20;
    w.yMax = kHeight * 20;
    w.frameRate88 = uint16_t(shape.fps << 8);
    w.frameCount = uint16_t(shape.frames);
    for (int k = 0; k < 4; ++k) {
        const uint32_t c = kFrameColors[k];
        w.tag(TagCode::DefineShape3, rectangleShape(uint16_t(1 + k), 0, 0, 200, 400, c & 0xFF,
                                                    (c >> 8) & 0xFF, (c >> 16) & 0xFF));
    }
    if (shape.clip) {
        w.tag(TagCode::DefineShape3, rectangleShape(5, 400, 0, 600, 400, 0, 0, 0));
        SpriteBuilder sprite;
        sprite.place(Place().at(1).of(5)).showFrame();
        sprite.remove(1).place(Place().at(1).of(5).translate(200, 0)).showFrame();
        w.tag(TagCode::DefineSprite, sprite.defineSprite(10));
    }
    for (int k = 0; k < shape.frames; ++k) {
        if (k > 0)
            w.tag(TagCode::RemoveObject2, removeObject2(1));
        place(w, Place().at(1).of(uint16_t(1 + k)));
        if (k == 0 && shape.clip)
            place(w, Place().at(2).of(10));
        if (k == shape.scriptFrame) {
            ActionAssembler a;
            if (movie == Movie::BackToSecond)
                a.gotoFrame(1).op(ActionCode::Play);
            else
                a.op(ActionCode::Stop);
            w.tag(TagCode::DoAction, a.build());
        }
        w.showFrame();
    }
    w.end();
    const std::string path = dir.file("movie.swf");
    EXPECT_TRUE(w.writeFile(path));
    return path;
}

ConversionSettings settingsFor(Movie movie, const std::string& path, const TempDir& dir) {
    const MovieShape shape = shapeOf(movie);
    ConversionSettings s;
    MovieProperties properties;
    properties.width = kWidth;
    properties.height = kHeight;
    properties.frameRate = float(shape.fps);
    properties.length = shape.frames;
    resetForMovie(s, path, properties);
    s.conversionMode = ConversionMode::FrameByFrame;
    s.audioSource = AudioSource::None;
    s.tempPathIndex = 1;
    s.tempPath = dir.path().string();
    return s;
}

// What each record shows: the root frame (by its square's colour, -1 for none) and the
// clip's phase (0 or 1, -1 for no clip).
struct Shown {
    std::vector<int> rootFrames;
    std::vector<int> clipPhases;
};

Shown recorded(RecordingSession& session) {
    FrameStoreReader reader(session.fileList(), session.geometry().outputWidth,
                            session.geometry().outputHeight);
    Shown shown;
    Frame f;
    const uint32_t black = makeColor(0, 0, 0);
    while (reader.advance()) {
        EXPECT_TRUE(reader.decodeInto(f));
        int root = -1;
        for (int k = 0; k < 4; ++k)
            if (f.pixel(5, 10) == kFrameColors[k])
                root = k;
        shown.rootFrames.push_back(root);
        shown.clipPhases.push_back(f.pixel(25, 10) == black   ? 0
                                   : f.pixel(35, 10) == black ? 1
                                                              : -1);
    }
    return shown;
}

std::vector<int> repeat(std::vector<int> pattern, int count) {
    std::vector<int> out;
    for (int i = 0; i < count; ++i)
        out.push_back(pattern[std::size_t(i) % pattern.size()]);
    return out;
}

std::vector<int> join(std::vector<int> a, const std::vector<int>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct ModeCase {
    const char* name;
    Movie movie;
    RecordingMode mode;
    int first = 0; // timeline range, 1-based; 0: the whole movie
    int last = 0;
    int playLimit = 0;
    std::vector<int> rootFrames;
    std::vector<int> clipPhases; // empty: the movie has no clip
};

void PrintTo(const ModeCase& c, std::ostream* os) { *os << c.name; }

class RecordingModes : public testing::TestWithParam<ModeCase> {};

TEST_P(RecordingModes, RecordTheFramesTheModeChooses) {
    const ModeCase& c = GetParam();
    TempDir dir;
    const std::string path = writeMovie(c.movie, dir);
    ConversionSettings s = settingsFor(c.movie, path, dir);
    s.recordingMode = c.mode;
    s.firstRecordedFrame = c.first;
    s.lastRecordedFrame = c.last;
    s.playFrameLimit = c.playLimit;
    RecordingSession session(s);
    ASSERT_TRUE(session.open()) << session.errorString();
    // Each record is announced, in order (a range's run-up repeats the first).
    int reports = 0;
    session.setProgressCallback([&](const RecordingProgress& p) {
        if (p.frameIndex == reports)
            ++reports;
        else
            EXPECT_EQ(p.frameIndex, reports - 1);
        EXPECT_EQ(p.frameCount, plannedRecordCount(s));
        return true;
    });
    ASSERT_TRUE(session.runFrameByFrame()) << session.errorString();
    ASSERT_TRUE(session.finish());
    const Shown shown = recorded(session);
    EXPECT_EQ(shown.rootFrames, c.rootFrames);
    if (!c.clipPhases.empty()) {
        EXPECT_EQ(shown.clipPhases, c.clipPhases);
    }
    EXPECT_EQ(reports, session.recordCount());
    session.discardFrames();
}

using M = Movie;
using R = RecordingMode;

INSTANTIATE_TEST_SUITE_P(
    Cases, RecordingModes,
    testing::Values(
        // The root's stop() is overruled, frame by frame, while the clip plays on.
        ModeCase{"TimelineOverStop", M::StopOnFirst, R::Timeline, 0, 0, 0, {0, 1, 2, 3},
                 {0, 1, 0, 1}},
        // The frame before the range played: the clip is on its second frame.
        ModeCase{"TimelineRange", M::StopOnFirst, R::Timeline, 2, 3, 0, {1, 2}, {1, 0}},
        // The fourth frame's own jump back does not keep it from being recorded.
        ModeCase{"TimelineOverJumpBack", M::BackToSecond, R::Timeline, 0, 0, 0, {0, 1, 2, 3},
                 {}},
        ModeCase{"TimelineRangeOnTheJump", M::BackToSecond, R::Timeline, 4, 4, 0, {3}, {}},
        // Played, the stopped root stays on its first frame while the clip moves.
        ModeCase{"PlayKeepsTheStop", M::StopOnFirst, R::Play, 0, 0, 5, {0, 0, 0, 0, 0},
                 {0, 1, 0, 1, 0}},
        // Played, the fourth frame is never seen: its script leaves it at once.
        ModeCase{"PlayFollowsTheJump", M::BackToSecond, R::Play, 0, 0, 7,
                 {0, 1, 2, 1, 2, 1, 2}, {}},
        // Halted on the last frame: one more second (10 ticks) of the still picture.
        ModeCase{"PlayEndsAtRest", M::StopOnLast, R::Play, 0, 0, 0,
                 join({0, 1}, repeat({2}, 11)), {}},
        // A clip still moving keeps the movie from resting.
        ModeCase{"PlayClipAfterStop", M::ClipAfterStop, R::Play, 0, 0, 20,
                 join({0, 1}, repeat({2}, 18)), repeat({0, 1}, 20)},
        // A one-frame root rests from the start.
        ModeCase{"PlayOneFrame", M::OneFrame, R::Play, 0, 0, 0, repeat({0}, 11), {}},
        // A movie that never rests stops at the bound: 10 minutes at one frame a second.
        ModeCase{"PlayBound", M::Loops, R::Play, 0, 0, 0, repeat({0, 1}, kPlayMaxSeconds),
                 {}}),
    [](const testing::TestParamInfo<ModeCase>& p) { return std::string(p.param.name); });

// A run-up before the range can be cancelled: it reports as the wait for the first record.
TEST(RecordingModes, RunUpBeforeTheRangeCanBeCancelled) {
    TempDir dir;
    const std::string path = writeMovie(Movie::StopOnFirst, dir);
    ConversionSettings s = settingsFor(Movie::StopOnFirst, path, dir);
    s.firstRecordedFrame = 3;
    RecordingSession session(s);
    ASSERT_TRUE(session.open());
    int calls = 0;
    session.setProgressCallback([&](const RecordingProgress& p) {
        EXPECT_EQ(p.frameIndex, 0);
        return ++calls < 2;
    });
    ASSERT_TRUE(session.runFrameByFrame());
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(session.recordCount(), 0);
    session.discardFrames();
}

// Ranges outside the movie are refused before anything is recorded.
TEST(RecordingModes, RangesOutsideTheMovieAreRefused) {
    TempDir dir;
    const std::string path = writeMovie(Movie::StopOnLast, dir);
    struct Case {
        int first, last;
        bool fits;
    };
    for (const Case& c : {Case{1, 3, true}, Case{3, 3, true}, Case{0, 2, true},
                          Case{2, 4, false}, Case{3, 2, false}, Case{-1, 0, false}}) {
        ConversionSettings s = settingsFor(Movie::StopOnLast, path, dir);
        s.firstRecordedFrame = c.first;
        s.lastRecordedFrame = c.last;
        EXPECT_EQ(bool(checkRecordingChoice(s)), c.fits) << c.first << "-" << c.last;
        RecordingSession session(s);
        ASSERT_TRUE(session.open());
        EXPECT_EQ(session.runFrameByFrame(), c.fits) << c.first << "-" << c.last;
        EXPECT_EQ(session.recordCount() > 0, c.fits);
        session.discardFrames();
    }
}

} // namespace
} // namespace swivio::testkit
