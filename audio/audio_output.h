#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "audio/audio_device.h"
#include "audio/audio_hook.h"
#include "audio/pacing_clock.h"

namespace swivio::audio {

// A player's sound out: 44100 Hz stereo 16-bit (kOutputFormat), written to its device in
// buffers of kBufferFrames, continuously at real-time pace from open() to close(): the
// sound the player hands over, and silence whenever it hands over none. Each opening,
// buffer and closing is reported to the process-wide hook (audio_hook.h), and so is each
// write, as it is made.
//
// The player's side (open, write, flush, close) runs on one thread; the device is driven
// from the output's own thread, which is also where the hook hears the opening, buffers
// and closing (write() tells it on the player's thread).
class AudioOutput {
public:
    static constexpr int kBufferFrames = 882; // 20 ms
    // Sound is held back until this much is waiting (or nothing more arrives), so that the
    // player handing it over a frame at a time does not leave gaps between buffers.
    static constexpr int kStartFrames = 4410; // 100 ms
    // Waiting sound beyond this is dropped, oldest first: the player ran ahead of the device.
    static constexpr int kMaxQueuedFrames = 44100;
    // Sound that has waited this long with nothing after it is played out as it is.
    static constexpr int kStaleMs = 250;

    // Plays on `device` (null: a NullAudioDevice), at each opening; when it cannot be opened
    // or fails, the output goes on at the same pace on a NullAudioDevice. `clock` (not owned)
    // measures staleness and paces the fallback device.
    explicit AudioOutput(std::unique_ptr<AudioDevice> device,
                         PacingClock& clock = steadyPacingClock());
    ~AudioOutput(); // closes

    AudioOutput(const AudioOutput&) = delete;
    AudioOutput& operator=(const AudioOutput&) = delete;

    // Starts writing (silence until sound arrives). Returns whether the given device is
    // playing; false (with errorString()) means the silent device stands in for it.
    bool open();
    bool isOpen() const { return m_thread.joinable(); }
    // The handle the hook knows this opening by; 0 while closed.
    AudioHandle handle() const { return m_handle; }

    // Queues interleaved stereo samples to play after what is queued already (an odd sample
    // at the end is dropped), and tells the hook of them at once: they play later, after
    // the queue, but belong to now. Ignored while closed.
    void write(std::span<const int16_t> samples);
    // Drops the queued sound and what the device holds unplayed (a stop or a seek).
    void flush();
    // Stops writing, closes the device and reports the closing. Safe to call twice.
    void close();

    std::string errorString() const;

private:
    void run();
    // The next buffer: queued sound or silence. Called with m_mutex held.
    void nextBuffer(std::vector<int16_t>& buffer);

    std::unique_ptr<AudioDevice> m_device; // used by the output's thread while open
    PacingClock& m_clock;
    std::thread m_thread;
    AudioHandle m_handle = 0;

    mutable std::mutex m_mutex;
    std::condition_variable m_opened;
    bool m_openDone = false;
    bool m_deviceOk = false;
    std::string m_error;
    bool m_stop = false;
    bool m_discard = false;
    bool m_started = false; // playing from the queue (else waiting for kStartFrames)
    std::deque<int16_t> m_queue;
    PacingClock::TimePoint m_lastWrite{};
};

} // namespace swivio::audio
