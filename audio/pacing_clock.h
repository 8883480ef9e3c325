#pragma once

#include <chrono>

namespace swivio::audio {

// The time a device without hardware keeps: the steady clock, or a fake one in tests.
class PacingClock {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    virtual ~PacingClock() = default;
    virtual TimePoint now() = 0;
    virtual void sleepUntil(TimePoint when) = 0;
};

// std::chrono::steady_clock and std::this_thread::sleep_until; shared, thread-safe.
PacingClock& steadyPacingClock();

} // namespace swivio::audio
