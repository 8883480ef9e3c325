#include "audio/audio_output.h"

#include <algorithm>
#include <utility>

#include "audio/null_audio_device.h"

namespace swivio::audio {

AudioOutput::AudioOutput(std::unique_ptr<AudioDevice> device, PacingClock& clock)
    : m_device(std::move(device)), m_clock(clock) {}

AudioOutput::~AudioOutput() {
    close();
}

bool AudioOutput::open() {
    if (isOpen())
        return m_deviceOk;
    if (!m_device)
        m_device = std::make_unique<NullAudioDevice>(m_clock);
    {
        std::lock_guard lock(m_mutex);
        m_openDone = false;
        m_stop = false;
        m_discard = false;
        m_started = false;
        m_queue.clear();
        m_error.clear();
    }
    m_handle = nextAudioHandle();
    m_thread = std::thread([this] { run(); });
    // The device opens on the output's thread (where it lives); the opening is reported
    // before open() returns, so a listener never sees a buffer of an output it was not told of.
    std::unique_lock lock(m_mutex);
    m_opened.wait(lock, [this] { return m_openDone; });
    return m_deviceOk;
}

void AudioOutput::write(std::span<const int16_t> samples) {
    if (!isOpen())
        return;
    const std::span<const int16_t> frames = samples.first(samples.size() & ~size_t(1));
    if (frames.empty())
        return;
    {
        std::lock_guard lock(m_mutex);
        m_queue.insert(m_queue.end(), frames.begin(), frames.end());
        const size_t max = size_t(kMaxQueuedFrames) * 2;
        if (m_queue.size() > max)
            m_queue.erase(m_queue.begin(), m_queue.begin() + std::ptrdiff_t(m_queue.size() - max));
        m_lastWrite = m_clock.now();
    }
    // The hook hears the sound now, with the picture it belongs to, rather than once the
    // queue and the device's lead have passed.
    notifySoundQueued(m_handle, frames);
}

void AudioOutput::flush() {
    if (!isOpen())
        return;
    std::lock_guard lock(m_mutex);
    m_queue.clear();
    m_started = false;
    m_discard = true;
}

void AudioOutput::close() {
    if (!isOpen())
        return;
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_thread.join();
    m_handle = 0;
    std::lock_guard lock(m_mutex);
    m_queue.clear();
}

std::string AudioOutput::errorString() const {
    std::lock_guard lock(m_mutex);
    return m_error;
}

void AudioOutput::nextBuffer(std::vector<int16_t>& buffer) {
    std::fill(buffer.begin(), buffer.end(), int16_t(0));
    const size_t queued = m_queue.size();
    if (!m_started) {
        const bool stale =
            queued > 0 && m_clock.now() - m_lastWrite >= std::chrono::milliseconds(kStaleMs);
        m_started = queued >= size_t(kStartFrames) * 2 || stale;
        if (!m_started)
            return;
    }
    const size_t take = std::min(queued, buffer.size());
    std::copy_n(m_queue.begin(), take, buffer.begin());
    m_queue.erase(m_queue.begin(), m_queue.begin() + std::ptrdiff_t(take));
    // Run dry: wait for a margin again before playing on.
    if (m_queue.empty())
        m_started = false;
}

void AudioOutput::run() {
    // What plays when the device cannot: the silent device, at the same pace.
    std::unique_ptr<AudioDevice> standIn;
    AudioDevice* device = m_device.get();
    const bool ok = device->open(kOutputFormat);
    {
        std::lock_guard lock(m_mutex);
        m_deviceOk = ok;
        if (!ok) {
            m_error = device->errorString();
            standIn = std::make_unique<NullAudioDevice>(m_clock);
            device = standIn.get();
            device->open(kOutputFormat);
        }
    }
    notifyDeviceOpened(m_handle, kOutputFormat);
    {
        std::lock_guard lock(m_mutex);
        m_openDone = true;
    }
    m_opened.notify_all();

    std::vector<int16_t> buffer(size_t(kBufferFrames) * kOutputFormat.channels);
    for (;;) {
        bool discard = false;
        {
            std::lock_guard lock(m_mutex);
            if (m_stop)
                break;
            discard = std::exchange(m_discard, false);
            nextBuffer(buffer);
        }
        if (discard)
            device->discard();
        notifyBufferWritten(m_handle, buffer);
        if (!device->write(buffer) && !standIn) {
            // A card that fails mid-way (unplugged) gives way to the silent one.
            std::lock_guard lock(m_mutex);
            m_error = device->errorString();
            device->close();
            standIn = std::make_unique<NullAudioDevice>(m_clock);
            device = standIn.get();
            device->open(kOutputFormat);
        }
    }
    device->close();
    if (device != m_device.get())
        m_device->close();
    notifyDeviceClosed(m_handle);
}

} // namespace swivio::audio
