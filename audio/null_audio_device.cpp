#include "audio/null_audio_device.h"

#include <thread>

namespace swivio::audio {

namespace {

class SteadyPacingClock final : public PacingClock {
public:
    TimePoint now() override { return std::chrono::steady_clock::now(); }
    void sleepUntil(TimePoint when) override { std::this_thread::sleep_until(when); }
};

} // namespace

PacingClock& steadyPacingClock() {
    static SteadyPacingClock clock;
    return clock;
}

NullAudioDevice::NullAudioDevice(PacingClock& clock) : m_clock(clock) {}

bool NullAudioDevice::open(const AudioFormat& format) {
    m_channels = format.channels > 0 ? format.channels : 1;
    m_rate = format.samplesPerSecond > 0 ? format.samplesPerSecond : 44100;
    m_start = m_clock.now();
    m_written = 0;
    m_open = true;
    return true;
}

PacingClock::TimePoint NullAudioDevice::timeOfFrame(int64_t frame) const {
    // Whole seconds apart, so that a device open for days does not overflow.
    const int64_t rate = m_rate;
    const auto ns = std::chrono::nanoseconds((frame / rate) * 1'000'000'000 +
                                             (frame % rate) * 1'000'000'000 / rate);
    return m_start + std::chrono::duration_cast<PacingClock::TimePoint::duration>(ns);
}

bool NullAudioDevice::write(std::span<const int16_t> samples) {
    if (!m_open)
        return false;
    const int64_t frames = int64_t(samples.size()) / m_channels;
    const PacingClock::TimePoint now = m_clock.now();
    // A card that ran dry starts again from now rather than racing through the gap.
    if (timeOfFrame(m_written) < now)
        m_start += now - timeOfFrame(m_written);
    const int64_t held = int64_t(m_rate) * kHeldMs / 1000;
    const int64_t mustHavePlayed = m_written + frames - held;
    if (mustHavePlayed > 0) {
        const PacingClock::TimePoint due = timeOfFrame(mustHavePlayed);
        if (due > now)
            m_clock.sleepUntil(due);
    }
    m_written += frames;
    return true;
}

void NullAudioDevice::discard() {
    if (!m_open)
        return;
    // What was held unplayed is gone: the card has played exactly up to now.
    const PacingClock::TimePoint now = m_clock.now();
    if (timeOfFrame(m_written) > now)
        m_start -= timeOfFrame(m_written) - now;
}

void NullAudioDevice::close() {
    m_open = false;
}

} // namespace swivio::audio
