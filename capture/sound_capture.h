#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "audio/audio_hook.h"
#include "audio/pacing_clock.h"
#include "base/result.h"
#include "clib/c_handle.h"

namespace swivio {

// Records what the process's audio outputs play into a 16-bit PCM WAV file, at the pace of
// real time. Sound is heard as a player hands it to its output (soundQueued), which is when
// the picture it goes with is shown, not when the output's queue lets it reach the device:
// an output's first sound goes at the file's time of that moment and each later one follows
// on from it, so the jitter of the player's ticks leaves the sound whole, while an output
// that stopped writing for longer than kLateMs starts again at the time it writes. The
// sound is resampled (nearest sample) to the file's rate and channels and summed,
// saturating, into one mixing buffer; a writer step every 100 ms of the clock moves the
// mixed sound into the file: silence when no output writes, and no further than a writing
// output that is a little late otherwise, so an output that runs ahead keeps its samples in
// the buffer until the file's time reaches them.
//
// Threads: the hook's calls come on the outputs' threads (soundQueued on the threads that
// write to them); the writer runs on a thread of its own (or on the caller's, through
// advanceTo() or writerStep(), when built with Writer::Manual); everything else on the
// owner's thread. One lock serialises them all.
class SoundCapture final : public audio::AudioOutputHook {
public:
    static constexpr int kStepMs = 100;
    // Samples (all channels) the mixing buffer holds: about a second of 48 kHz stereo. An
    // output further ahead of the file than that loses what does not fit.
    static constexpr int kMixSamples = 100000;
    // How far, in samples, the file's clock may run ahead of a slow output before the time
    // beyond is given up.
    static constexpr int kMaxClockLead = 5000;
    // An output whose sound ends further than this behind the file's time has stopped
    // writing (a paused movie, a stalled player): the file goes on without it, and its next
    // sound goes at the time it comes. Within it, a late output holds the file back.
    static constexpr int kLateMs = 50;

    enum class Writer { Thread, Manual };

    // Installs itself as the process's audio output hook for its whole life, so outputs
    // opened from now on are registered. `clock` is not owned and must outlive it.
    explicit SoundCapture(audio::PacingClock& clock = audio::steadyPacingClock(),
                          Writer writer = Writer::Thread);
    // Removes the hook before anything it uses is released, then stops.
    ~SoundCapture() override;
    SoundCapture(const SoundCapture&) = delete;
    SoundCapture& operator=(const SoundCapture&) = delete;

    // Takes the opened file (emptied) that receives the sound; `rate` 8000 to 48000,
    // `channels` 1 or 2. Writes the header; the sizes in it are fixed by stop().
    Status openWaveFile(clib::File file, const std::string& path, int rate, int channels);
    bool hasWaveFile() const;

    // Starts recording: the file's time begins now. False without a wave file.
    bool start();
    // Paused time is not recorded: buffers written meanwhile are ignored and the file does
    // not advance.
    void pause();
    void resume();
    // Ends the recording at `end` (now when not given; never later than now): writes the
    // time since the last step (up to the slowest output), drops what outputs wrote beyond
    // it, and completes the file. Failure when the file could not be written. Safe to call
    // twice.
    Status stop(std::optional<audio::PacingClock::TimePoint> end = std::nullopt);

    // One writer step: 100 ms of the file's time.
    void writerStep();
    // Runs every writer step due by `now` (catching up when the writer was late).
    void advanceTo(audio::PacingClock::TimePoint now);

    // Milliseconds of sound in the file.
    double writtenMs() const { return m_writtenMs.load(); }
    // Milliseconds of sound recorded so far as the frame pacer compares with: the file's
    // time and the part of the current step that has passed (at most one step), so the
    // 100 ms granularity of the file does not hold pictures back.
    double soundMs() const;
    // Sample frames in the file.
    uint64_t framesWritten() const;
    const std::string& path() const { return m_path; }
    int sampleRate() const { return m_rate; }
    int channels() const { return m_channels; }
    std::string errorString() const;

    // audio::AudioOutputHook
    void deviceOpened(audio::AudioHandle handle, const audio::AudioFormat& format) override;
    // Ignored: the sound was recorded when it was queued.
    void bufferWritten(audio::AudioHandle handle, std::span<const int16_t> samples) override;
    void deviceClosed(audio::AudioHandle handle) override;
    void soundQueued(audio::AudioHandle handle, std::span<const int16_t> samples) override;

private:
    struct Device {
        audio::AudioHandle handle = 0;
        audio::AudioFormat format;
        // Has placed sound since the recording started or resumed.
        bool hasWritten = false;
        // Index in the mixing buffer of the last sample this output mixed.
        int64_t position = -1;
        // Where the next output frame samples this output's next buffer, in its frames.
        double phase = 0;
    };

    Device* findDevice(audio::AudioHandle handle);
    void mix(Device& device, std::span<const int16_t> samples);
    void stepLocked();
    // Index in the mixing buffer of the file's sample at `now` (the file's time goes on
    // from the last step at real-time pace).
    int64_t indexAtLocked(audio::PacingClock::TimePoint now) const;
    // kLateMs in samples (all channels), within kMaxClockLead.
    int64_t lateSamples() const;
    void advanceLocked(audio::PacingClock::TimePoint now);
    bool writeSamples(const int16_t* samples, std::size_t count);
    void runWriter();

    audio::PacingClock& m_clock;
    const Writer m_writerMode;

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::thread m_writer;
    bool m_quit = false;

    std::vector<Device> m_devices;
    bool m_recording = false;
    bool m_paused = false;
    bool m_stopped = false;
    clib::File m_file;
    std::string m_path;
    int m_rate = 44100;
    int m_channels = 2;
    std::vector<int16_t> m_mixBuffer;
    std::vector<uint8_t> m_bytes; // one step's samples as little-endian bytes
    int64_t m_mixClock = -1;      // last sample index of the file's time in the buffer
    uint64_t m_samplesWritten = 0;
    audio::PacingClock::TimePoint m_base{}; // when step 0 began (moved on by pauses)
    audio::PacingClock::TimePoint m_pausedAt{};
    int64_t m_stepsDone = 0;
    std::string m_error;

    std::atomic<double> m_writtenMs{0};
    std::atomic<int64_t> m_lastStepNs{0}; // the clock's time of the last step
    std::atomic<bool> m_running{false};   // recording and not paused
};

} // namespace swivio
