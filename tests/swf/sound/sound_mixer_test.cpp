// The mixer: SOUNDINFO's points, loops, envelope and sync flags, levels, and clipping.
#include <gtest/gtest.h>

#include "swf/sound/sound_mixer.h"
#include "tests/support/swf_sounds.h"

namespace swivio::swf::sound {
namespace {

// A sound of `frames` sample frames at a constant level on both channels.
std::shared_ptr<const DecodedSound> level(std::size_t frames, float value) {
    auto sound = std::make_shared<DecodedSound>();
    sound->samples.assign(frames * 2, value);
    return sound;
}

std::vector<float> run(SoundMixer& mixer, std::size_t frames) {
    std::vector<float> out(frames * 2);
    mixer.mix(std::span<float>(out));
    return out;
}

EventStart event(std::shared_ptr<const DecodedSound> sound, uint16_t id, SoundInfo info = {}) {
    EventStart start;
    start.sound = std::move(sound);
    start.soundId = id;
    start.info = std::move(info);
    return start;
}

struct PointsCase {
    const char* name;
    std::optional<uint32_t> in, out;
    uint16_t loops;
    std::size_t heard; // sample frames heard of a 1000-frame sound
};

class PointsAndLoops : public testing::TestWithParam<PointsCase> {};

TEST_P(PointsAndLoops, PlayTheChosenPartTheChosenTimes) {
    const PointsCase& c = GetParam();
    SoundMixer mixer;
    SoundInfo info;
    info.inPoint = c.in;
    info.outPoint = c.out;
    info.loops = c.loops;
    ASSERT_NE(mixer.startEvent(event(level(1000, 0.5f), 1, info)), 0u);
    const auto out = run(mixer, 5000);
    EXPECT_EQ(testkit::lastLoudFrame(out, 0) + 1, int64_t(c.heard));
    EXPECT_EQ(testkit::firstLoudFrame(out, 0), c.heard ? 0 : -1);
    EXPECT_EQ(mixer.voiceCount(), 0u);
    EXPECT_EQ(mixer.takeFinished().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PointsAndLoops,
    testing::Values(PointsCase{"Whole", {}, {}, 1, 1000}, PointsCase{"ThreeLoops", {}, {}, 3, 3000},
                    PointsCase{"InPoint", 400, {}, 1, 600}, PointsCase{"OutPoint", {}, 250, 2, 500},
                    PointsCase{"InAndOutLooped", 100, 300, 4, 800},
                    PointsCase{"OutBeyondEnd", {}, 5000, 1, 1000}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(Envelope, LevelsFollowThePointsLinearly) {
    SoundMixer mixer;
    SoundInfo info;
    // Left rises from silence to full over 1000 samples; right falls from full to half.
    info.envelope = {{0, 0, 32768}, {1000, 32768, 16384}};
    mixer.startEvent(event(level(2000, 0.5f), 1, info));
    const auto out = run(mixer, 2000);
    struct Probe {
        std::size_t at;
        float left, right;
    };
    for (const Probe& p : {Probe{0, 0.0f, 0.5f}, Probe{500, 0.25f, 0.375f}, Probe{1000, 0.5f, 0.25f},
                           Probe{1500, 0.5f, 0.25f}}) {
        EXPECT_NEAR(out[2 * p.at], p.left, 1e-3) << p.at;
        EXPECT_NEAR(out[2 * p.at + 1], p.right, 1e-3) << p.at;
    }
}

TEST(SyncFlags, StopAndNoMultipleActOnPlayingSound) {
    SoundMixer mixer;
    mixer.startEvent(event(level(1000, 0.25f), 7));
    SoundInfo noMultiple;
    noMultiple.syncNoMultiple = true;
    EXPECT_EQ(mixer.startEvent(event(level(1000, 0.25f), 7, noMultiple)), 0u);
    EXPECT_NE(mixer.startEvent(event(level(1000, 0.25f), 8, noMultiple)), 0u);
    // Two starts of the same sound without the flag add up.
    mixer.startEvent(event(level(1000, 0.25f), 7));
    auto out = run(mixer, 10);
    EXPECT_NEAR(out[0], 0.75f, 1e-6);
    SoundInfo stop;
    stop.syncStop = true;
    EXPECT_EQ(mixer.startEvent(event(nullptr, 7, stop)), 0u);
    out = run(mixer, 10);
    EXPECT_NEAR(out[0], 0.25f, 1e-6);
}

TEST(Levels, ScopeTransformAndMasterApplyAndClipOnce) {
    SoundMixer mixer;
    mixer.setLevelSource([](uint64_t scope) {
        // Scope 5 is panned hard right with the left input crossing over.
        return scope == 5 ? StereoLevels{0, 0, 1, 1} : StereoLevels{};
    });
    EventStart a = event(level(100, 0.5f), 1);
    a.scope = 5;
    mixer.startEvent(a);
    mixer.startEvent(event(level(100, 0.75f), 2));
    mixer.setMasterVolume(0.5f);
    std::vector<int16_t> out(2 * 10);
    mixer.mix(std::span<int16_t>(out));
    EXPECT_NEAR(out[0], 0.5 * 0.75 * 32767, 2);              // the other sound alone
    EXPECT_NEAR(out[1], 0.5 * (0.75 + 0.5 + 0.5) * 32767, 2); // right hears both inputs of 5
    mixer.setMasterVolume(2.0f);
    mixer.mix(std::span<int16_t>(out));
    EXPECT_EQ(out[1], 32767); // the sum is clipped, not wrapped
}

TEST(Streams, StopWithoutABlockAndJumpToTheBlockGiven) {
    SoundMixer mixer;
    auto ramp = std::make_shared<DecodedSound>();
    for (int i = 0; i < 10000; ++i)
        ramp->samples.insert(ramp->samples.end(), {float(i) / 10000, float(i) / 10000});
    mixer.playStream(1, 0, ramp, 0);
    auto out = run(mixer, 100);
    EXPECT_NEAR(out[2 * 99], 99.0 / 10000, 1e-6);
    mixer.playStream(1, 0, ramp, 5000); // a seek elsewhere
    out = run(mixer, 100);
    EXPECT_NEAR(out[0], 0.5, 1e-6);
    out = run(mixer, 100); // no block this frame: the stream has stopped
    EXPECT_EQ(out[0], 0.0f);
    EXPECT_FALSE(mixer.isStreamPlaying(1));
}

} // namespace
} // namespace swivio::swf::sound
