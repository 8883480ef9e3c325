#pragma once

#include <cstdint>

#include "audio/audio_device.h"
#include "audio/pacing_clock.h"

namespace swivio::audio {

// A sound card that plays into nothing: it takes sound at exactly the pace a card would,
// holding at most kHeldMs ahead of what it has "played", so everything upstream runs at
// real time without hardware (servers, tests, CI).
class NullAudioDevice final : public AudioDevice {
public:
    static constexpr int kHeldMs = 100;

    // `clock` is not owned and must outlive the device; the steady clock by default.
    explicit NullAudioDevice(PacingClock& clock = steadyPacingClock());

    bool open(const AudioFormat& format) override;
    bool write(std::span<const int16_t> samples) override;
    void discard() override;
    void close() override;

    // Sample frames taken since open().
    int64_t framesWritten() const { return m_written; }

private:
    PacingClock::TimePoint timeOfFrame(int64_t frame) const;

    PacingClock& m_clock;
    int m_channels = 2;
    uint32_t m_rate = 44100;
    PacingClock::TimePoint m_start{}; // when frame 0 played (moved on after an underrun)
    int64_t m_written = 0;
    bool m_open = false;
};

} // namespace swivio::audio
