#include "audio/qt/system_audio_device.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QCoreApplication>
#include <QIODevice>
#include <QMediaDevices>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include "audio/null_audio_device.h"

namespace swivio::audio {

namespace {

// How often a full card is looked at again, and how long it may take nothing before it
// counts as failed (a card that stopped playing would otherwise hold the writer forever).
constexpr auto kPollInterval = std::chrono::milliseconds(2);
constexpr auto kStallLimit = std::chrono::milliseconds(3000);
// What the card holds ahead of what it plays: little, so that a stop or a seek is heard at once.
constexpr int kHeldMs = 100;

QAudioFormat qtFormat(const AudioFormat& format) {
    QAudioFormat f;
    f.setSampleRate(int(format.samplesPerSecond));
    f.setChannelCount(format.channels);
    f.setSampleFormat(QAudioFormat::Int16);
    return f;
}

// The bytes waiting for the card, which pulls them at its own pace. When it runs dry the
// card is given silence, as a card plays silence when nobody writes.
class PullBuffer final : public QIODevice {
public:
    explicit PullBuffer(std::size_t capacity) : m_capacity(capacity) {}

    bool isSequential() const override { return true; }
    // Takes what fits of `bytes`; the count taken.
    std::size_t put(const char* bytes, std::size_t size) {
        std::lock_guard lock(m_mutex);
        const std::size_t n = std::min(size, m_capacity - m_bytes.size());
        m_bytes.insert(m_bytes.end(), bytes, bytes + n);
        return n;
    }
    void clear() {
        std::lock_guard lock(m_mutex);
        m_bytes.clear();
    }

protected:
    qint64 readData(char* data, qint64 maxSize) override {
        std::lock_guard lock(m_mutex);
        // Whole sample frames only.
        const std::size_t want = std::size_t(maxSize) & ~std::size_t(3);
        const std::size_t n = std::min(want, m_bytes.size());
        std::copy_n(m_bytes.begin(), n, data);
        m_bytes.erase(m_bytes.begin(), m_bytes.begin() + std::ptrdiff_t(n));
        std::fill(data + n, data + want, char(0));
        return qint64(want);
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    std::mutex m_mutex;
    std::deque<char> m_bytes;
    std::size_t m_capacity;
};

// A QAudioSink pulling from a PullBuffer. The sink needs an event loop, so it lives on a
// thread of its own; the output's thread only fills the buffer.
class QtAudioDevice final : public AudioDevice {
public:
    explicit QtAudioDevice(QAudioDevice device) : m_device(std::move(device)) {}
    ~QtAudioDevice() override { close(); }

    bool open(const AudioFormat& format) override {
        close();
        m_failed = false;
        m_buffer =
            std::make_unique<PullBuffer>(std::size_t(format.avgBytesPerSecond) * kHeldMs / 1000);
        m_buffer->open(QIODevice::ReadOnly);
        m_thread.start();
        m_context = new QObject;
        m_context->moveToThread(&m_thread);
        bool ok = false;
        QMetaObject::invokeMethod(
            m_context,
            [this, &format, &ok] {
                m_sink = new QAudioSink(m_device, qtFormat(format));
                m_sink->setBufferSize(int(format.avgBytesPerSecond) * kHeldMs / 1000);
                QObject::connect(m_sink, &QAudioSink::stateChanged, m_context, [this] {
                    const QAudio::Error e = m_sink->error();
                    if (e == QAudio::OpenError || e == QAudio::FatalError)
                        m_failed = true;
                });
                m_sink->start(m_buffer.get());
                ok = m_sink->error() == QAudio::NoError;
            },
            Qt::BlockingQueuedConnection);
        if (!ok) {
            m_error =
                "The sound device " + m_device.description().toStdString() + " could not be opened";
            close();
        }
        return ok;
    }

    bool write(std::span<const int16_t> samples) override {
        if (!m_sink)
            return false;
        const char* data = reinterpret_cast<const char*>(samples.data());
        std::size_t left = samples.size_bytes();
        auto lastProgress = std::chrono::steady_clock::now();
        while (left > 0) {
            const std::size_t n = m_buffer->put(data, left);
            data += n;
            left -= n;
            const auto now = std::chrono::steady_clock::now();
            if (n > 0) {
                lastProgress = now;
                continue;
            }
            if (now - lastProgress > kStallLimit || m_failed) {
                m_error = "The sound device stopped playing";
                return false;
            }
            std::this_thread::sleep_for(kPollInterval);
        }
        return true;
    }

    void discard() override {
        if (m_buffer)
            m_buffer->clear();
    }

    void close() override {
        if (m_context) {
            QMetaObject::invokeMethod(
                m_context,
                [this] {
                    if (m_sink)
                        m_sink->stop();
                    delete m_sink;
                    m_sink = nullptr;
                    m_context->deleteLater(); // once the thread ends
                },
                Qt::BlockingQueuedConnection);
            m_context = nullptr;
        }
        if (m_thread.isRunning()) {
            m_thread.quit();
            m_thread.wait();
        }
        m_buffer.reset();
    }

    std::string errorString() const override { return m_error; }

private:
    QAudioDevice m_device;
    QThread m_thread;
    QObject* m_context = nullptr; // lives on m_thread; deleted there
    QAudioSink* m_sink = nullptr; // made, used and deleted on m_thread
    std::unique_ptr<PullBuffer> m_buffer;
    std::atomic<bool> m_failed{false};
    std::string m_error;
};

// Whether a sound server (PulseAudio, or PipeWire speaking its protocol) may be listening.
// Asking Qt without one makes it complain on the console; no server means no card to play.
bool soundServerLikely() {
    if (const char* server = std::getenv("PULSE_SERVER"); server && *server)
        return true;
    std::vector<std::string> sockets;
    if (const char* runtime = std::getenv("PULSE_RUNTIME_PATH"); runtime && *runtime)
        sockets.push_back(std::string(runtime) + "/native");
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime)
        sockets.push_back(std::string(runtime) + "/pulse/native");
    sockets.push_back("/run/user/" + std::to_string(getuid()) + "/pulse/native");
    sockets.push_back("/var/run/pulse/native"); // a system-wide server
    std::error_code ec;
    for (const std::string& path : sockets)
        if (std::filesystem::is_socket(path, ec))
            return true;
    return false;
}

} // namespace

std::unique_ptr<AudioDevice> makeSystemAudioDevice() {
    if (QCoreApplication::instance() && soundServerLikely()) {
        const QAudioDevice device = QMediaDevices::defaultAudioOutput();
        if (!device.isNull() && device.isFormatSupported(qtFormat(kOutputFormat)))
            return std::make_unique<QtAudioDevice>(device);
    }
    return std::make_unique<NullAudioDevice>();
}

} // namespace swivio::audio
