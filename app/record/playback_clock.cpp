#include "app/record/playback_clock.h"

#include <cmath>

namespace swivio::app {

void PlaybackClock::start(double framesPerSecond, Clock::time_point now) {
    m_rate = framesPerSecond > 0 ? framesPerSecond : 0;
    m_start = now;
    m_done = 0;
}

int PlaybackClock::framesDue(Clock::time_point now) {
    if (m_rate <= 0 || now <= m_start)
        return 0;
    const double elapsed = std::chrono::duration<double>(now - m_start).count();
    const auto total = static_cast<long long>(std::floor(elapsed * m_rate));
    const long long due = total - m_done;
    if (due <= 0)
        return 0;
    if (due > kMaxFramesPerStep) {
        m_done = total;
        return kMaxFramesPerStep;
    }
    m_done = total;
    return static_cast<int>(due);
}

} // namespace swivio::app
