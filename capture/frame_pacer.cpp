#include "capture/frame_pacer.h"

#include <cmath>

namespace swivio {

FramePacer::FramePacer(Clock& clock) : m_clock(clock) {}

FramePacer::~FramePacer() {
    stop();
}

int64_t FramePacer::ticksDue(double periodMs, int64_t elapsedNs) {
    if (elapsedNs < 0 || !(periodMs > 0))
        return 0;
    // A hair of slack so a tick due exactly now is not lost to rounding.
    return int64_t(std::floor(double(elapsedNs) / (periodMs * 1e6) + 1e-9)) + 1;
}

FramePacer::Clock::TimePoint FramePacer::dueTime(int64_t k) const {
    return m_start + std::chrono::nanoseconds(int64_t(std::ceil(double(k) * m_periodMs * 1e6)));
}

bool FramePacer::start(double periodMs, CaptureFrame capture, SoundPosition sound,
                       bool runWorker) {
    std::lock_guard lock(m_mutex);
    if (m_started || !(periodMs > 0) || !capture)
        return false;
    m_periodMs = periodMs;
    m_capture = std::move(capture);
    m_sound = std::move(sound);
    m_start = m_clock.now();
    m_started = true;
    m_stopped = false;
    m_paused = false;
    m_halt.store(false);
    if (runWorker)
        m_worker = std::thread([this] { this->runWorker(); });
    return true;
}

void FramePacer::pause() {
    std::lock_guard lock(m_mutex);
    if (!m_started || m_stopped || m_paused)
        return;
    m_paused = true;
    m_pausedAt = m_clock.now();
}

void FramePacer::resume() {
    {
        std::lock_guard lock(m_mutex);
        if (!m_paused)
            return;
        m_start += m_clock.now() - m_pausedAt;
        m_paused = false;
    }
    m_wake.notify_all();
}

void FramePacer::stop() {
    m_halt.store(true);
    {
        std::lock_guard lock(m_mutex);
        m_stopped = true;
    }
    m_wake.notify_all();
    // The worker waits on nobody, so joining never blocks for longer than one capture.
    if (m_worker.joinable())
        m_worker.join();
}

bool FramePacer::isRunning() const {
    std::lock_guard lock(m_mutex);
    return m_started && !m_stopped;
}

bool FramePacer::capture(bool isNewPicture) {
    if (m_failed.load() || m_halt.load())
        return false;
    if (!m_capture(isNewPicture)) {
        m_failed.store(true);
        return false;
    }
    ++m_records;
    if (isNewPicture || m_records.load() == 1)
        ++m_pictures;
    else
        ++m_repeats;
    return true;
}

void FramePacer::serveDue(Clock::TimePoint now) {
    Clock::TimePoint start;
    {
        std::lock_guard lock(m_mutex);
        if (!m_started || m_paused)
            return;
        start = m_start;
    }
    const int64_t elapsed =
        std::chrono::duration_cast<std::chrono::nanoseconds>(now - start).count();
    const int64_t pending = ticksDue(m_periodMs, elapsed) - m_served;
    if (pending <= 0 || m_failed.load() || m_halt.load())
        return;
    // Ticks missed while busy keep the timeline's length as repeats of the last picture.
    for (int64_t i = 0; i + 1 < pending; ++i) {
        ++m_served;
        if (!capture(false))
            return;
    }
    ++m_served;
    // A picture may run at most two frames ahead of the sound recorded so far.
    if (m_sound && (m_records.load() - 2) * m_periodMs > m_sound()) {
        ++m_heldBack;
        return;
    }
    capture(true);
}

void FramePacer::runWorker() {
    std::unique_lock lock(m_mutex);
    while (!m_stopped && !m_failed.load()) {
        if (m_paused) {
            m_wake.wait(lock, [this] { return m_stopped || !m_paused; });
            continue;
        }
        const Clock::TimePoint now = m_clock.now();
        const Clock::TimePoint next = dueTime(m_served);
        if (next <= now) {
            lock.unlock();
            serveDue(now);
            lock.lock();
            continue;
        }
        m_wake.wait_for(lock, next - now);
    }
}

} // namespace swivio
