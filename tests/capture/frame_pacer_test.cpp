// The frame pacer: ticks at the capture rate, repeats for missed ones, pictures held back
// behind the sound, and a stop that waits for its worker.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <vector>

#include "capture/frame_pacer.h"
#include "tests/capture/capture_probes.h"

namespace swivio::testkit {
namespace {

using namespace std::chrono_literals;

struct TickCase {
    double rate;
    std::chrono::milliseconds elapsed;
    int64_t ticks; // tick 0 (at the start) included
};

class TickArithmetic : public testing::TestWithParam<TickCase> {};

// Ticks fall at start + k x period: at 12 a second, 250 ticks of an 83 ms timer (20.75 s)
// hold 249 periods; the count never drifts however long the recording.
TEST_P(TickArithmetic, TicksDueAfterAGivenTime) {
    const TickCase c = GetParam();
    EXPECT_EQ(FramePacer::ticksDue(1000.0 / c.rate,
                                   std::chrono::nanoseconds(c.elapsed).count()),
              c.ticks);
}

INSTANTIATE_TEST_SUITE_P(
    Rates, TickArithmetic,
    testing::Values(TickCase{12, 20750ms, 1 + 249}, TickCase{12, 82ms, 1},
                    TickCase{12, 84ms, 2}, TickCase{25, 10000ms, 1 + 250},
                    TickCase{30, 3600000ms, 1 + 108000}, TickCase{30000.0 / 1001, 1001ms * 30, 1 + 900},
                    TickCase{30, 999ms, 30}, TickCase{30, 0ms, 1}));

// A pacer served by the test: each capture is logged (true: a new picture).
struct ServedPacer {
    ManualClock clock;
    FramePacer pacer{clock};
    std::vector<bool> log;
    double soundMs = 0;

    void start(double periodMs, bool withSound) {
        FramePacer::SoundPosition sound;
        if (withSound)
            sound = [this] { return soundMs; };
        ASSERT_TRUE(pacer.start(
            periodMs,
            [this](bool picture) {
                log.push_back(picture);
                return true;
            },
            sound, false));
    }
    void after(std::chrono::nanoseconds d) {
        clock.advance(d);
        pacer.serveDue(clock.now());
    }
};

// The first picture is taken at once; three ticks pending at a wake-up give two repeats and
// one picture.
TEST(FramePacerTest, MissedTicksBecomeRepeats) {
    ServedPacer p;
    p.start(100, false);
    p.after(0ms);
    EXPECT_EQ(p.log, std::vector<bool>({true}));
    p.after(50ms);
    EXPECT_EQ(p.log.size(), 1u);
    p.after(260ms);
    EXPECT_EQ(p.log, std::vector<bool>({true, false, false, true}));
    EXPECT_EQ(p.pacer.records(), 4);
    EXPECT_EQ(p.pacer.pictures(), 2);
    EXPECT_EQ(p.pacer.repeats(), 2);
}

// With the sound behind, a tick adds no record while the picture would run more than two
// frames ahead: 12 records at 100 ms with 900 ms of sound hold back; 1000 ms does not.
TEST(FramePacerTest, PicturesWaitForTheSound) {
    ServedPacer p;
    p.start(100, true);
    p.soundMs = 1e9;
    p.after(0ms);
    for (int i = 1; i < 12; ++i)
        p.after(100ms);
    ASSERT_EQ(p.pacer.records(), 12);
    p.soundMs = 900;
    p.after(100ms);
    EXPECT_EQ(p.pacer.records(), 12);
    EXPECT_EQ(p.pacer.heldBack(), 1);
    p.soundMs = 1000;
    p.after(100ms);
    EXPECT_EQ(p.pacer.records(), 13);
    EXPECT_EQ(p.log.back(), true);
}

// Paused time takes no ticks, and the ticks keep their phase across it.
TEST(FramePacerTest, PauseTakesNoTicks) {
    ServedPacer p;
    p.start(100, false);
    p.after(0ms);
    p.after(150ms);
    p.pacer.pause();
    p.after(10s);
    EXPECT_EQ(p.pacer.records(), 2);
    p.pacer.resume();
    p.after(40ms);
    EXPECT_EQ(p.pacer.records(), 2);
    p.after(10ms);
    EXPECT_EQ(p.log, std::vector<bool>({true, true, true}));
}

// stop() returns only once a capture in progress has ended, and nothing is captured after.
TEST(FramePacerTest, StopWaitsForTheWorker) {
    std::mutex mutex;
    std::condition_variable changed;
    bool inside = false, release = false;
    std::atomic<int> calls{0};
    FramePacer pacer;
    ASSERT_TRUE(pacer.start(1, [&](bool) {
        if (++calls == 3) {
            std::unique_lock lock(mutex);
            inside = true;
            changed.notify_all();
            changed.wait(lock, [&] { return release; });
        }
        return true;
    }));
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return inside; });
    }
    auto stopped = std::async(std::launch::async, [&] { pacer.stop(); });
    EXPECT_EQ(stopped.wait_for(50ms), std::future_status::timeout);
    {
        std::lock_guard lock(mutex);
        release = true;
    }
    changed.notify_all();
    stopped.get();
    const int after = calls.load();
    EXPECT_EQ(after, 3);
    EXPECT_FALSE(pacer.isRunning());
}

} // namespace
} // namespace swivio::testkit
