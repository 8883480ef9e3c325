#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "audio/audio_output.h"

namespace swivio::audio {
namespace {

using namespace std::chrono_literals;

struct HookEvent {
    enum Kind { Opened, Written, Closed, Queued } kind;
    AudioHandle handle;
    AudioFormat format;
    std::vector<int16_t> samples;
};

// Hears the outputs as the sound capture would, and keeps everything.
class RecordingHook final : public AudioOutputHook {
public:
    void deviceOpened(AudioHandle handle, const AudioFormat& format) override {
        add({HookEvent::Opened, handle, format, {}});
    }
    void bufferWritten(AudioHandle handle, std::span<const int16_t> samples) override {
        add({HookEvent::Written, handle, {}, {samples.begin(), samples.end()}});
    }
    void deviceClosed(AudioHandle handle) override { add({HookEvent::Closed, handle, {}, {}}); }
    void soundQueued(AudioHandle handle, std::span<const int16_t> samples) override {
        add({HookEvent::Queued, handle, {}, {samples.begin(), samples.end()}});
    }

    std::vector<HookEvent> events() const {
        std::lock_guard lock(m_mutex);
        return m_events;
    }
    // Every sample the hook saw written to the device (or, with `kind` Queued, handed to the
    // output), in order.
    std::vector<int16_t> sound(HookEvent::Kind kind = HookEvent::Written) const {
        std::vector<int16_t> all;
        for (const HookEvent& e : events())
            if (e.kind == kind)
                all.insert(all.end(), e.samples.begin(), e.samples.end());
        return all;
    }
    // Waits (on the real clock, generously) until `done` holds for what was heard.
    bool waitFor(const std::function<bool(const std::vector<int16_t>&)>& done) const {
        const auto limit = std::chrono::steady_clock::now() + 20s;
        while (std::chrono::steady_clock::now() < limit) {
            if (done(sound()))
                return true;
            std::this_thread::sleep_for(5ms);
        }
        return false;
    }

private:
    void add(HookEvent e) {
        std::lock_guard lock(m_mutex);
        m_events.push_back(std::move(e));
    }
    mutable std::mutex m_mutex;
    std::vector<HookEvent> m_events;
};

class AudioOutputTest : public testing::Test {
protected:
    void SetUp() override { setAudioOutputHook(&m_hook); }
    void TearDown() override { setAudioOutputHook(nullptr); }
    RecordingHook m_hook;
};

constexpr size_t kBufferSamples = size_t(AudioOutput::kBufferFrames) * 2;

TEST_F(AudioOutputTest, HookHearsOpenWritesAndCloseOfEachOutputInOrder) {
    // One output opened twice: each opening is an output of its own to the listener.
    AudioOutput output(nullptr);
    AudioHandle handles[2] = {};
    for (AudioHandle& handle : handles) {
        const size_t before = m_hook.sound().size();
        EXPECT_TRUE(output.open());
        handle = output.handle();
        ASSERT_TRUE(m_hook.waitFor(
            [before](const auto& s) { return s.size() >= before + 3 * kBufferSamples; }));
        output.close();
        EXPECT_EQ(output.handle(), 0u);
    }
    EXPECT_NE(handles[0], 0u);
    EXPECT_NE(handles[0], handles[1]);

    const std::vector<HookEvent> events = m_hook.events();
    size_t at = 0;
    for (AudioHandle handle : handles) {
        ASSERT_LT(at, events.size());
        EXPECT_EQ(events[at].kind, HookEvent::Opened);
        EXPECT_EQ(events[at].handle, handle);
        const AudioFormat& f = events[at].format;
        EXPECT_EQ(f.formatTag, 1);
        EXPECT_EQ(f.channels, 2);
        EXPECT_EQ(f.samplesPerSecond, 44100u);
        EXPECT_EQ(f.avgBytesPerSecond, 176400u);
        EXPECT_EQ(f.blockAlign, 4);
        EXPECT_EQ(f.bitsPerSample, 16);
        int writes = 0;
        for (++at; at < events.size() && events[at].kind == HookEvent::Written; ++at, ++writes) {
            EXPECT_EQ(events[at].handle, handle);
            EXPECT_EQ(events[at].samples.size(), kBufferSamples);
        }
        EXPECT_GE(writes, 3);
        ASSERT_LT(at, events.size());
        EXPECT_EQ(events[at].kind, HookEvent::Closed);
        EXPECT_EQ(events[at].handle, handle);
        ++at;
    }
    EXPECT_EQ(at, events.size());
}

TEST_F(AudioOutputTest, WritesSilenceUntilSoundComesThenTheSoundWholeThenSilenceAgain) {
    AudioOutput output(nullptr);
    output.open();
    // Nothing written yet (a paused movie): the output goes on writing silence.
    ASSERT_TRUE(m_hook.waitFor([](const auto& s) { return s.size() >= 4 * kBufferSamples; }));
    const size_t silentBefore = m_hook.sound().size();

    // A third of a second of sound handed over a movie frame (1/12 s) at a time (without
    // waiting between frames, so that a slow machine cannot make a gap of its own).
    std::vector<int16_t> tone(size_t(44100 / 3) * 2);
    for (size_t i = 0; i < tone.size(); ++i)
        tone[i] = int16_t(1 + i % 20000);
    for (size_t at = 0; at < tone.size(); at += 3675 * 2) {
        const size_t n = std::min<size_t>(3675 * 2, tone.size() - at);
        output.write(std::span<const int16_t>(tone).subspan(at, n));
    }
    const auto heardAll = [&](const std::vector<int16_t>& s) {
        const auto first = std::find_if(s.begin(), s.end(), [](int16_t v) { return v != 0; });
        return s.end() - first >= std::ptrdiff_t(tone.size() + 5 * kBufferSamples);
    };
    ASSERT_TRUE(m_hook.waitFor(heardAll));
    output.close();

    const std::vector<int16_t> heard = m_hook.sound();
    const auto first = std::find_if(heard.begin(), heard.end(), [](int16_t v) { return v != 0; });
    EXPECT_GE(size_t(first - heard.begin()), silentBefore);
    ASSERT_GE(size_t(heard.end() - first), tone.size());
    EXPECT_TRUE(std::equal(tone.begin(), tone.end(), first))
        << "the sound arrived cut or reordered";
    EXPECT_TRUE(std::all_of(first + std::ptrdiff_t(tone.size()), heard.end(),
                            [](int16_t v) { return v == 0; }));
}

// The hook hears the sound as it is handed over, long before the device plays it (the
// output holds sound back until it has a margin).
TEST_F(AudioOutputTest, TheHookHearsEachWriteAtOnce) {
    AudioOutput output(nullptr);
    output.open();
    const std::vector<int16_t> frame = {100, -100, 200, -200, 300};
    output.write(frame);
    const std::vector<HookEvent> events = m_hook.events();
    const auto queued = std::find_if(events.begin(), events.end(), [](const HookEvent& e) {
        return e.kind == HookEvent::Queued;
    });
    ASSERT_NE(queued, events.end());
    EXPECT_EQ(queued->handle, output.handle());
    // Whole sample frames only, as the device gets them.
    EXPECT_EQ(queued->samples, std::vector<int16_t>(frame.begin(), frame.begin() + 4));
    output.close();
    output.write(frame);
    EXPECT_EQ(m_hook.sound(HookEvent::Queued).size(), 4u);
}

TEST_F(AudioOutputTest, WritesAtRealTimePace) {
    AudioOutput output(nullptr);
    const auto start = std::chrono::steady_clock::now();
    output.open();
    // Half a second of buffers cannot come sooner than half a second less the device's lead.
    ASSERT_TRUE(m_hook.waitFor([](const auto& s) { return s.size() >= 25 * kBufferSamples; }));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 350ms);
}

TEST_F(AudioOutputTest, FlushDropsTheQueuedSound) {
    AudioOutput output(nullptr);
    output.open();
    const std::vector<int16_t> tone(44100 * 2, 1000);
    output.write(tone);
    output.flush();
    ASSERT_TRUE(m_hook.waitFor([](const auto& s) { return s.size() >= 20 * kBufferSamples; }));
    output.close();
    const std::vector<int16_t> heard = m_hook.sound();
    EXPECT_LT(std::count(heard.begin(), heard.end(), int16_t(1000)),
              std::ptrdiff_t(tone.size() / 4));
}

// A device that cannot open: the output still runs, silently, at the same pace.
class BrokenDevice final : public AudioDevice {
public:
    bool open(const AudioFormat&) override { return false; }
    bool write(std::span<const int16_t>) override { return false; }
    void close() override {}
    std::string errorString() const override { return "no card"; }
};

TEST_F(AudioOutputTest, ABrokenDeviceGivesWayToTheSilentOne) {
    AudioOutput output(std::make_unique<BrokenDevice>());
    EXPECT_FALSE(output.open());
    EXPECT_EQ(output.errorString(), "no card");
    EXPECT_TRUE(m_hook.waitFor([](const auto& s) { return s.size() >= 3 * kBufferSamples; }));
}

TEST(AudioOutput, WriteAndFlushAreIgnoredWhileClosed) {
    AudioOutput output(nullptr);
    const std::vector<int16_t> tone(100, 5);
    output.write(tone);
    output.flush();
    output.close();
    EXPECT_FALSE(output.isOpen());
    EXPECT_EQ(output.handle(), 0u);
}

} // namespace
} // namespace swivio::audio
