#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "audio/pacing_clock.h"

namespace swivio {

// Takes the interactive recording's frames at the capture rate: tick k is due at
// start + k x period (no drift however long it runs; tick 0 at once), and a worker thread of
// its own answers the ticks due. Ticks it could not serve in time become repeat records
// (the recorded timeline keeps the capture rate); the last tick due takes a new picture,
// unless that picture would run more than two frames ahead of the recorded sound, in which
// case the tick adds no record.
//
// The worker never waits on anyone's thread: the capture callback paints into a surface of
// its own. Its callback and probes are called on the worker only.
class FramePacer {
public:
    using Clock = audio::PacingClock;
    // Appends one record (a new picture, or a repeat of the last); false when the record
    // could not be written, which ends the pacing.
    using CaptureFrame = std::function<bool(bool isNewPicture)>;
    // Milliseconds of sound recorded so far.
    using SoundPosition = std::function<double()>;

    // `clock` is not owned and must outlive the pacer.
    explicit FramePacer(Clock& clock = audio::steadyPacingClock());
    ~FramePacer(); // stops
    FramePacer(const FramePacer&) = delete;
    FramePacer& operator=(const FramePacer&) = delete;

    // Starts at `periodMs` (above 0): the worker takes the first picture at once. Without
    // `sound`, pictures are never held back. With `runWorker` false no thread starts and
    // the caller serves the ticks with serveDue(). False when already started or the
    // period is not positive.
    bool start(double periodMs, CaptureFrame capture, SoundPosition sound = {},
               bool runWorker = true);
    // Paused time takes no ticks; the ticks keep their phase across it.
    void pause();
    void resume();
    // Ends the pacing and returns once the worker has ended (a capture in progress is
    // finished first). Safe to call twice.
    void stop();

    // Serves every tick due by `now` that is not served yet: all but the last as repeats,
    // the last as a picture or held back. What the worker does on each wake-up.
    void serveDue(Clock::TimePoint now);

    // How many ticks (tick 0 included) are due `elapsedNs` after the start at `periodMs`.
    static int64_t ticksDue(double periodMs, int64_t elapsedNs);

    int records() const { return m_records.load(); }
    int pictures() const { return m_pictures.load(); }
    int repeats() const { return m_repeats.load(); }
    int heldBack() const { return m_heldBack.load(); }
    // True once a capture failed: no record is taken after it.
    bool failed() const { return m_failed.load(); }
    bool isRunning() const;

private:
    void runWorker();
    // The time tick `k` is due.
    Clock::TimePoint dueTime(int64_t k) const;
    bool capture(bool isNewPicture);

    Clock& m_clock;
    CaptureFrame m_capture;
    SoundPosition m_sound;
    double m_periodMs = 0;

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::thread m_worker;
    bool m_started = false;
    bool m_stopped = false;
    bool m_paused = false;
    Clock::TimePoint m_start{}; // moved on by pauses
    Clock::TimePoint m_pausedAt{};

    int64_t m_served = 0; // ticks served (worker only)
    std::atomic<int> m_records{0};
    std::atomic<int> m_pictures{0};
    std::atomic<int> m_repeats{0};
    std::atomic<int> m_heldBack{0};
    std::atomic<bool> m_failed{false};
    std::atomic<bool> m_halt{false}; // stop asked: no capture after it
};

} // namespace swivio
