#pragma once

#include <chrono>

namespace swivio::app {

// Real-time playback: how many movie frames are due at a moment, from the time elapsed since
// the start on a steady clock, so that the rate holds however irregularly the caller asks.
class PlaybackClock {
public:
    using Clock = std::chrono::steady_clock;
    // At most this many frames are played at one call; a backlog beyond it is dropped
    // (after a stall the movie goes on from now rather than racing to catch up).
    static constexpr int kMaxFramesPerStep = 4;

    void start(double framesPerSecond, Clock::time_point now);
    // The frames to play now: floor(elapsed x rate) less the frames already played.
    int framesDue(Clock::time_point now);

private:
    double m_rate = 0;
    Clock::time_point m_start{};
    long long m_done = 0;
};

} // namespace swivio::app
