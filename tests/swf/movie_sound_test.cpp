// A playing movie's sound, frame by frame: event sounds start on their frame's first sample,
// stream sounds carry each frame's own block, also after a seek.
#include <gtest/gtest.h>

#include "swf/movie_player.h"
#include "tests/support/action_assembler.h"
#include "tests/support/swf_movies.h"
#include "tests/support/swf_sounds.h"
#include "tests/support/swf_writer.h"

namespace swivio::swf {
namespace {

using namespace testkit;

constexpr uint16_t kDefineSound = 14, kStartSound = 15, kStreamHead = 18, kStreamBlock = 19;

std::unique_ptr<MoviePlayer> play(const SwfWriter& w) {
    auto movie = Movie::load(w.build());
    EXPECT_TRUE(movie.ok()) << movie.message();
    return movie ? std::make_unique<MoviePlayer>(*movie) : nullptr;
}

// The sound of `frames` frames in a row, as floats, ticking between them.
std::vector<float> record(MoviePlayer& player, int frames) {
    std::vector<float> all;
    for (int i = 0; i < frames; ++i) {
        if (i > 0)
            player.advance();
        const auto pcm = player.takeFrameSound();
        const auto f = toFloats(pcm);
        all.insert(all.end(), f.begin(), f.end());
    }
    return all;
}

TEST(MovieSound, EventSoundStartsOnItsFramesFirstSample) {
    SwfWriter w;
    w.frameCount = 6;
    const auto tone = sineSamples(44100, 1, 44100 / 4);
    w.tag(kDefineSound, defineSoundBody(3, 3, 44100, true, false, uint32_t(tone.size()), littleEndianBytes(tone)));
    w.showFrame().showFrame();
    w.tag(kStartSound, startSoundBody(3)).showFrame();
    w.showFrame().showFrame().showFrame().end();
    auto player = play(w);
    ASSERT_TRUE(player);
    EXPECT_TRUE(player->hasSound());
    const auto sound = record(*player, 6);
    ASSERT_EQ(sound.size(), 6u * 3675 * 2); // 12 frames a second
    // The first loud sample can only be a few samples past the start (the sine starts at 0).
    const int64_t first = firstLoudFrame(sound, 0);
    EXPECT_GE(first, 2 * 3675);
    EXPECT_LT(first, 2 * 3675 + 10);
    EXPECT_NEAR(zeroCrossingFrequency(sound, 0, 2 * 3675, 2 * 3675 + 11025), 440.0, 5.0);
    EXPECT_NEAR(double(lastLoudFrame(sound, 0)), 2 * 3675 + 11025.0, 10.0);
}

// A stream whose block for frame f is a constant level of (f + 1) / 16.
SwfWriter levelStream(int frames) {
    SwfWriter w;
    w.frameCount = uint16_t(frames);
    w.tag(kStreamHead, soundStreamHeadBody(3, 44100, true, false, 3675));
    for (int f = 0; f < frames; ++f) {
        const std::vector<int16_t> block(3675, int16_t((f + 1) * 2048));
        w.tag(kStreamBlock, littleEndianBytes(block)).showFrame();
    }
    w.end();
    return w;
}

bool carriesBlock(std::span<const float> sound, int block) {
    const float expected = float(block + 1) * 2048 / 32768;
    for (std::size_t i = 0; i < sound.size(); ++i)
        if (std::abs(sound[i] - expected) > 1e-3f)
            return false;
    return !sound.empty();
}

TEST(MovieSound, StreamFramesCarryTheirOwnBlocks) {
    auto player = play(levelStream(8));
    ASSERT_TRUE(player);
    const auto sound = record(*player, 5);
    for (int f = 0; f < 5; ++f)
        EXPECT_TRUE(carriesBlock(std::span(sound).subspan(std::size_t(f) * 3675 * 2, 3675 * 2), f)) << f;
}

TEST(MovieSound, StreamFollowsSeeksAndStopsWithItsTimeline) {
    auto player = play(levelStream(8));
    ASSERT_TRUE(player);
    record(*player, 2);
    player->advance();
    player->gotoFrame(6);
    EXPECT_TRUE(carriesBlock(toFloats(player->takeFrameSound()), 6));
    player->advance();
    EXPECT_TRUE(carriesBlock(toFloats(player->takeFrameSound()), 7));
    player->advance(); // loops to frame 0, then a seek back to 1
    player->gotoFrame(1);
    EXPECT_TRUE(carriesBlock(toFloats(player->takeFrameSound()), 1));
    player->stop();
    player->advance(); // halted: no frame is entered, no block plays
    const auto halted = toFloats(player->takeFrameSound());
    EXPECT_EQ(peakLevel(halted, 0, 0, halted.size() / 2), 0.0f);
}

TEST(MovieSound, FramesAtAnyRateAddUpToTheWholeTime) {
    auto player = play(levelStream(2));
    ASSERT_TRUE(player);
    std::size_t total = 0;
    for (int i = 0; i < 2997; ++i) {
        player->advance();
        total += player->takeFrameSound(29.97).size() / 2;
    }
    EXPECT_EQ(total, 4410000u); // 100 seconds to the sample
}

// new Sound().attachSound("level"), its volume halved, started twice over from 0.1 s in.
TEST(MovieSound, ScriptSoundPlaysAtItsVolumeAndLoops) {
    SwfWriter w;
    w.frameCount = 12;
    const std::vector<int16_t> level(11025, 16384); // a quarter second at half level
    w.tag(kDefineSound, defineSoundBody(3, 3, 44100, true, false, 11025, littleEndianBytes(level)));
    w.tag(TagCode::ExportAssets, exportAssets({{3, "level"}}));
    ActionAssembler a;
    auto call = [&a](const char* method, std::vector<double> args) {
        for (auto it = args.rbegin(); it != args.rend(); ++it)
            a.push(*it);
        a.push(int(args.size())).push("s").op(ActionCode::GetVariable).push(method);
        a.op(ActionCode::CallMethod).op(ActionCode::Pop);
    };
    a.push("s").push(0).push("Sound").op(ActionCode::NewObject).op(ActionCode::SetVariable);
    a.push("level").push(1).push("s").op(ActionCode::GetVariable).push("attachSound");
    a.op(ActionCode::CallMethod).op(ActionCode::Pop);
    call("setVolume", {50});
    call("start", {0.1, 2});
    w.tag(12, a.build()).showFrame();
    for (int f = 1; f < 12; ++f)
        w.showFrame();
    w.end();
    auto player = play(w);
    ASSERT_TRUE(player);
    const auto sound = record(*player, 12);
    // Each loop plays from 0.1 s (4410 samples) to the end: 6615 samples, twice.
    EXPECT_EQ(firstLoudFrame(sound, 0), 0);
    EXPECT_EQ(lastLoudFrame(sound, 0), 2 * 6615 - 1);
    EXPECT_NEAR(sound[2 * 100], 0.25, 1e-3);
    EXPECT_NEAR(sound[2 * 100 + 1], 0.25, 1e-3);
}

// A movie-wide Sound's stop() silences what the timeline started, from the frame it runs on.
TEST(MovieSound, MovieWideStopSilencesTimelineSounds) {
    SwfWriter w;
    w.frameCount = 4;
    const std::vector<int16_t> level(44100, 16384);
    w.tag(kDefineSound, defineSoundBody(3, 3, 44100, true, false, 44100, littleEndianBytes(level)));
    w.tag(kStartSound, startSoundBody(3)).showFrame();
    w.showFrame();
    ActionAssembler a;
    a.push(0).push(0).push("Sound").op(ActionCode::NewObject).push("stop").op(ActionCode::CallMethod);
    a.op(ActionCode::Pop);
    w.tag(12, a.build()).showFrame();
    w.showFrame().end();
    auto player = play(w);
    ASSERT_TRUE(player);
    const auto sound = record(*player, 4);
    EXPECT_EQ(lastLoudFrame(sound, 0), 2 * 3675 - 1);
}

} // namespace
} // namespace swivio::swf
