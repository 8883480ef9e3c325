#include "capture/sound_capture.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "capture/wav_header.h"

namespace swivio {

namespace {

using Clock = audio::PacingClock;
constexpr auto kStep = std::chrono::milliseconds(SoundCapture::kStepMs);

int16_t saturate(int32_t v) {
    return int16_t(std::clamp(v, -32768, 32767));
}

int64_t nanoseconds(Clock::TimePoint t) {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
}

// An output that can never have been ours (an odd format) is taken as the usual one when it
// writes.
bool takesFormat(const audio::AudioFormat& f) {
    return f.channels == 2 || f.samplesPerSecond == 44100 || f.bitsPerSample == 16;
}

} // namespace

SoundCapture::SoundCapture(audio::PacingClock& clock, Writer writer)
    : m_clock(clock), m_writerMode(writer) {
    audio::setAudioOutputHook(this);
}

SoundCapture::~SoundCapture() {
    // No output calls in once the hook is gone; only then is anything released.
    audio::setAudioOutputHook(nullptr);
    (void)stop();
    if (m_writer.joinable()) {
        {
            std::lock_guard lock(m_mutex);
            m_quit = true;
        }
        m_wake.notify_all();
        m_writer.join();
    }
}

Status SoundCapture::openWaveFile(clib::File file, const std::string& path, int rate,
                                  int channels) {
    if (rate < 8000 || rate > 48000 || channels < 1 || channels > 2)
        return Status::failure("unsupported sound format for the recording");
    if (!file)
        return Status::failure("Cannot create the sound file " + path);
    const auto header = pcmWavHeader(rate, channels, 0);
    if (std::fwrite(header.data(), 1, header.size(), file.get()) != header.size())
        return Status::failure("Cannot write the sound file " + path);
    std::lock_guard lock(m_mutex);
    m_file = std::move(file);
    m_path = path;
    m_rate = rate;
    m_channels = channels;
    m_mixBuffer.assign(kMixSamples, 0);
    m_bytes.reserve(std::size_t(rate) * std::size_t(channels) * 2 * kStepMs / 1000 * 2 +
                    kMaxClockLead * 2);
    return {};
}

bool SoundCapture::hasWaveFile() const {
    std::lock_guard lock(m_mutex);
    return bool(m_file);
}

bool SoundCapture::start() {
    std::unique_lock lock(m_mutex);
    if (!m_file || m_recording || m_stopped)
        return false;
    m_mixClock = -1;
    m_stepsDone = 0;
    m_base = m_clock.now();
    m_lastStepNs.store(nanoseconds(m_base));
    m_writtenMs.store(0);
    m_recording = true;
    m_paused = false;
    m_running.store(true);
    lock.unlock();
    if (m_writerMode == Writer::Thread && !m_writer.joinable())
        m_writer = std::thread([this] { runWriter(); });
    return true;
}

void SoundCapture::pause() {
    std::lock_guard lock(m_mutex);
    if (!m_recording || m_paused)
        return;
    const Clock::TimePoint now = m_clock.now();
    advanceLocked(now);
    // What the outputs were handed for the time after this moment would play during the
    // pause, which is not recorded; after it each output starts again at its next sound.
    const int64_t from = std::clamp<int64_t>(indexAtLocked(now), 0, kMixSamples);
    std::fill(m_mixBuffer.begin() + from, m_mixBuffer.end(), int16_t(0));
    for (Device& d : m_devices)
        d.hasWritten = false;
    m_paused = true;
    m_pausedAt = now;
    m_running.store(false);
}

void SoundCapture::resume() {
    {
        std::lock_guard lock(m_mutex);
        if (!m_recording || !m_paused)
            return;
        const auto paused = m_clock.now() - m_pausedAt;
        m_base += paused;
        m_lastStepNs.store(m_lastStepNs.load() +
                           std::chrono::duration_cast<std::chrono::nanoseconds>(paused).count());
        m_paused = false;
        m_running.store(true);
    }
    m_wake.notify_all();
}

Status SoundCapture::stop(std::optional<Clock::TimePoint> end) {
    std::unique_lock lock(m_mutex);
    if (m_stopped || !m_file) {
        m_stopped = true;
        return m_error.empty() ? Status() : Status::failure(m_error);
    }
    m_stopped = true;
    if (m_recording) {
        Clock::TimePoint now = m_paused ? m_pausedAt : m_clock.now();
        if (end && *end < now)
            now = std::max(*end, m_base);
        advanceLocked(now);
        // The file ends at the recording's end, not on the step before it: what outputs
        // were handed for later is dropped, and a late output's missing end is silence.
        int64_t last = std::min<int64_t>(indexAtLocked(now), kMixSamples) - 1;
        if (last >= 0 && !m_error.empty())
            last = -1;
        if (last >= 0 && writeSamples(m_mixBuffer.data(), std::size_t(last + 1)))
            m_writtenMs.store(double(m_samplesWritten) * 1000.0 / (m_channels * double(m_rate)));
    }
    m_recording = false;
    m_running.store(false);
    m_devices.clear();
    const uint64_t dataBytes = m_samplesWritten * 2;
    const auto header =
        pcmWavHeader(m_rate, m_channels, uint32_t(std::min<uint64_t>(dataBytes, 0xFFFFFFD0u)));
    bool ok = m_error.empty() && std::fseek(m_file.get(), 0, SEEK_SET) == 0 &&
              std::fwrite(header.data(), 1, header.size(), m_file.get()) == header.size();
    ok = std::fclose(m_file.release()) == 0 && ok;
    if (!ok && m_error.empty())
        m_error = "Cannot write the sound file " + m_path;
    lock.unlock();
    m_wake.notify_all();
    return ok ? Status() : Status::failure(m_error);
}

void SoundCapture::writerStep() {
    std::lock_guard lock(m_mutex);
    if (m_recording && !m_paused)
        stepLocked();
}

void SoundCapture::advanceTo(Clock::TimePoint now) {
    std::lock_guard lock(m_mutex);
    advanceLocked(now);
}

void SoundCapture::advanceLocked(Clock::TimePoint now) {
    if (!m_recording || m_paused)
        return;
    while (m_base + kStep * (m_stepsDone + 1) <= now) {
        stepLocked();
        m_lastStepNs.store(nanoseconds(m_base + kStep * m_stepsDone));
    }
}

void SoundCapture::stepLocked() {
    ++m_stepsDone;
    m_mixClock += int64_t(m_channels) * m_rate * kStepMs / 1000;
    int64_t a = m_mixClock;
    int64_t b = m_mixClock;
    const int64_t late = lateSamples();
    for (const Device& d : m_devices) {
        // An output this far behind has stopped writing; the file does not wait for it.
        if (!d.hasWritten || d.position < m_mixClock - late)
            continue;
        a = std::min(a, d.position);
        b = std::max(b, d.position);
    }
    const int64_t count = a + 1; // samples moved into the file; a multiple of the channels
    if (count > 0) {
        if (!writeSamples(m_mixBuffer.data(), std::size_t(count)))
            return;
        // What outputs mixed ahead of the file moves down to the buffer's start.
        const int64_t kept = std::max<int64_t>(b - a, 0);
        std::copy(m_mixBuffer.begin() + count, m_mixBuffer.begin() + count + kept,
                  m_mixBuffer.begin());
        std::fill(m_mixBuffer.begin() + kept,
                  m_mixBuffer.begin() + std::min<int64_t>(kept + count, kMixSamples), int16_t(0));
        m_mixClock -= count;
        for (Device& d : m_devices)
            if (d.hasWritten)
                d.position -= count;
        m_writtenMs.store(double(m_samplesWritten) * 1000.0 / (m_channels * double(m_rate)));
    }
    // A slow output may keep the file behind its clock; beyond this lead the time is given
    // up. The bound stays on a frame's last sample so channels never swap.
    const int64_t maxLead = kMaxClockLead - (kMaxClockLead + 1) % m_channels;
    m_mixClock = std::min(m_mixClock, maxLead);
}

bool SoundCapture::writeSamples(const int16_t* samples, std::size_t count) {
    if (!m_error.empty() || !m_file)
        return false;
    m_bytes.resize(count * 2);
    for (std::size_t i = 0; i < count; ++i) {
        const auto v = uint16_t(samples[i]);
        m_bytes[2 * i] = uint8_t(v);
        m_bytes[2 * i + 1] = uint8_t(v >> 8);
    }
    if (std::fwrite(m_bytes.data(), 1, m_bytes.size(), m_file.get()) != m_bytes.size()) {
        m_error = "Cannot write the sound file " + m_path;
        return false;
    }
    m_samplesWritten += count;
    return true;
}

int64_t SoundCapture::indexAtLocked(Clock::TimePoint now) const {
    const auto since = now - (m_base + kStep * m_stepsDone);
    const int64_t ns =
        std::max<int64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(since).count(), 0);
    // Whole seconds apart, so that a writer that fell far behind does not overflow.
    const int64_t frames = ns / 1000000000 * m_rate + ns % 1000000000 * m_rate / 1000000000;
    return m_mixClock + 1 + frames * m_channels;
}

int64_t SoundCapture::lateSamples() const {
    return std::min<int64_t>(int64_t(m_rate) * kLateMs / 1000 * m_channels, kMaxClockLead);
}

double SoundCapture::soundMs() const {
    const double written = m_writtenMs.load();
    if (!m_running.load())
        return written;
    const double sinceStep = double(nanoseconds(m_clock.now()) - m_lastStepNs.load()) / 1e6;
    return written + std::clamp(sinceStep, 0.0, double(kStepMs));
}

uint64_t SoundCapture::framesWritten() const {
    std::lock_guard lock(m_mutex);
    return m_samplesWritten / uint64_t(m_channels);
}

std::string SoundCapture::errorString() const {
    std::lock_guard lock(m_mutex);
    return m_error;
}

void SoundCapture::runWriter() {
    std::unique_lock lock(m_mutex);
    while (!m_quit && !m_stopped) {
        if (m_paused || !m_recording) {
            m_wake.wait(lock);
            continue;
        }
        const Clock::TimePoint now = m_clock.now();
        advanceLocked(now);
        const Clock::TimePoint next = m_base + kStep * (m_stepsDone + 1);
        m_wake.wait_for(lock, next - now);
    }
}

SoundCapture::Device* SoundCapture::findDevice(audio::AudioHandle handle) {
    for (Device& d : m_devices)
        if (d.handle == handle)
            return &d;
    return nullptr;
}

void SoundCapture::deviceOpened(audio::AudioHandle handle, const audio::AudioFormat& format) {
    std::lock_guard lock(m_mutex);
    if (handle == 0 || findDevice(handle) || !takesFormat(format))
        return;
    Device device;
    device.handle = handle;
    device.format = format;
    m_devices.push_back(device);
}

void SoundCapture::bufferWritten(audio::AudioHandle, std::span<const int16_t>) {}

void SoundCapture::soundQueued(audio::AudioHandle handle, std::span<const int16_t> samples) {
    std::lock_guard lock(m_mutex);
    if (!m_recording || m_paused || handle == 0 || samples.empty())
        return;
    Device* device = findDevice(handle);
    if (!device) {
        Device added;
        added.handle = handle;
        added.format = audio::kOutputFormat;
        m_devices.push_back(added);
        device = &m_devices.back();
    }
    // A frame's sound follows on from the last one, however early or late its tick came;
    // an output's first sound, or one after it stopped writing, goes at the time it comes.
    // (Sound for time the file has taken already could only be lost.)
    const int64_t due = indexAtLocked(m_clock.now());
    if (!device->hasWritten || device->position + 1 < std::max<int64_t>(due - lateSamples(), 0)) {
        device->position = due - 1;
        device->phase = 0;
    }
    device->hasWritten = true;
    mix(*device, samples);
}

void SoundCapture::deviceClosed(audio::AudioHandle handle) {
    std::lock_guard lock(m_mutex);
    std::erase_if(m_devices, [handle](const Device& d) { return d.handle == handle; });
}

void SoundCapture::mix(Device& device, std::span<const int16_t> samples) {
    const int sourceChannels = std::max<int>(device.format.channels, 1);
    const int sourceRate =
        device.format.samplesPerSecond > 0 ? int(device.format.samplesPerSecond) : 44100;
    const int64_t frames = int64_t(samples.size()) / sourceChannels;
    if (frames <= 0)
        return;
    // The output's samples are picked at this step; the phase carries over between
    // buffers so a rate that does not divide evenly keeps its long-run length.
    const double step = double(sourceRate) / double(m_rate);
    double phase = device.phase;
    int64_t at = device.position + 1;
    const int64_t end = kMixSamples;
    for (; phase < double(frames); phase += step) {
        // The nearest source frame, never past the buffer's last one.
        const int64_t index = std::min<int64_t>(int64_t(phase + 0.5), frames - 1);
        const int16_t* frame = samples.data() + index * sourceChannels;
        const int16_t left = frame[0];
        const int16_t right = sourceChannels > 1 ? frame[1] : frame[0];
        // An output too far ahead of the file loses what does not fit in the buffer.
        if (at + m_channels > end || at < 0) {
            at += m_channels;
            continue;
        }
        if (m_channels == 1) {
            m_mixBuffer[std::size_t(at)] = saturate(int32_t(m_mixBuffer[std::size_t(at)]) + left);
        } else {
            m_mixBuffer[std::size_t(at)] = saturate(int32_t(m_mixBuffer[std::size_t(at)]) + left);
            m_mixBuffer[std::size_t(at + 1)] =
                saturate(int32_t(m_mixBuffer[std::size_t(at + 1)]) + right);
        }
        at += m_channels;
    }
    device.phase = phase - double(frames);
    // The output's place never goes past the buffer's end: what it writes there is dropped.
    const int64_t lastFit = end - 1 - (end % m_channels);
    device.position = std::min(at - 1, lastFit);
}

} // namespace swivio
