#include "audio/qt/system_audio_device.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QCoreApplication>
#include <QIODevice>
#include <QMediaDevices>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include "audio/null_audio_device.h"

namespace swivio::audio {

namespace {

// How often a full card is asked for room again, and how long it may take none before it
// counts as failed (a card that stopped playing would otherwise hold the writer forever).
constexpr auto kPollInterval = std::chrono::milliseconds(2);
constexpr auto kStallLimit = std::chrono::milliseconds(1000);

QAudioFormat qtFormat(const AudioFormat& format) {
    QAudioFormat f;
    f.setSampleRate(int(format.samplesPerSecond));
    f.setChannelCount(format.channels);
    f.setSampleFormat(QAudioFormat::Int16);
    return f;
}

// A QAudioSink in push mode. It is made, fed and destroyed on the output's thread.
class QtAudioDevice final : public AudioDevice {
public:
    explicit QtAudioDevice(QAudioDevice device) : m_device(std::move(device)) {}
    ~QtAudioDevice() override { close(); }

    bool open(const AudioFormat& format) override {
        m_sink = std::make_unique<QAudioSink>(m_device, qtFormat(format));
        // Little held ahead, so that a stop or a seek is heard at once.
        m_sink->setBufferSize(int(format.avgBytesPerSecond / 10));
        m_io = m_sink->start();
        if (!m_io || m_sink->error() != QAudio::NoError) {
            m_error =
                "The sound device " + m_device.description().toStdString() + " could not be opened";
            close();
            return false;
        }
        return true;
    }

    bool write(std::span<const int16_t> samples) override {
        if (!m_io)
            return false;
        const char* data = reinterpret_cast<const char*>(samples.data());
        qint64 left = qint64(samples.size_bytes());
        auto lastProgress = std::chrono::steady_clock::now();
        while (left > 0) {
            const qint64 room = std::min<qint64>(m_sink->bytesFree(), left) & ~qint64(3);
            const qint64 n = room > 0 ? m_io->write(data, room) : 0;
            if (n < 0 || m_sink->error() == QAudio::FatalError ||
                m_sink->error() == QAudio::OpenError) {
                m_error = "The sound device stopped playing";
                return false;
            }
            if (n > 0) {
                data += n;
                left -= n;
                lastProgress = std::chrono::steady_clock::now();
                continue;
            }
            if (std::chrono::steady_clock::now() - lastProgress > kStallLimit) {
                m_error = "The sound device stopped taking sound";
                return false;
            }
            std::this_thread::sleep_for(kPollInterval);
        }
        return true;
    }

    void discard() override {
        if (!m_sink)
            return;
        m_sink->reset();
        m_io = m_sink->start();
    }

    void close() override {
        if (m_sink)
            m_sink->stop();
        m_io = nullptr;
        m_sink.reset();
    }

    std::string errorString() const override { return m_error; }

private:
    QAudioDevice m_device;
    std::unique_ptr<QAudioSink> m_sink;
    QIODevice* m_io = nullptr; // owned by m_sink
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
