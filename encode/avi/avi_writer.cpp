#include "encode/avi/avi_writer.h"

#include <cmath>
#include <filesystem>

namespace swivio {

namespace {

// Frame sizes and rates beyond these are not pictures a conversion makes; they would
// overflow the header fields.
constexpr int kMaxSide = 16384;
constexpr double kMaxFrameRate = 1000.0;

} // namespace

AviWriter::~AviWriter() {
    if (m_opened && !m_finished)
        (void)finish();
}

bool AviWriter::fail(std::string error, std::string userMessage) {
    // The first failure of the file is kept; a sound failure before it did not stop the file.
    if (m_error.empty() || m_onlySoundFailed) {
        m_error = std::move(error);
        m_userMessage = std::move(userMessage);
        m_onlySoundFailed = false;
    }
    return false;
}

bool AviWriter::open(const std::string& path, int width, int height, double frameRate,
                     uint32_t fourCC, int quality) {
    if (m_opened || m_finished)
        return fail("The AVI writer is already in use.");
    m_path = path;
    m_frameRate = frameRate;
    // Below 0.005 fps the header's rate (frameRate x 100 + 0.5) would round to 0.
    if (!(frameRate >= 0.005 && frameRate <= kMaxFrameRate) || width <= 0 || height <= 0 ||
        width > kMaxSide || height > kMaxSide)
        return fail("Invalid AVI frame size or rate.", kAviVideoStreamFailed);
    m_width = width;
    m_height = height;

    if (!m_file.create(path, m_riffLimit))
        return fail(m_file.errorString(), kAviCreateFailed);

    const auto rate = uint32_t(frameRate * 100 + 0.5);
    Result<std::unique_ptr<VideoCompressor>> compressor =
        VideoCompressor::create(fourCC, width, height, 100, rate, quality);
    if (!compressor) {
        // Nothing was written: take the empty file away again rather than leave a broken one.
        m_file.abandon();
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
        return fail(compressor.message());
    }
    m_compressor = std::move(*compressor);

    AviStreamHeader video;
    video.type = fourCc("vids");
    video.handler = fourCC;
    video.scale = 100;
    video.rate = rate;
    video.quality = -1;
    video.right = int16_t(width);
    video.bottom = int16_t(height);
    m_videoStream =
        m_file.addStream(video, m_compressor->streamFormat(), m_compressor->chunkSuffix());
    m_file.setMainHeader(uint32_t(std::lround(1e6 / frameRate)), uint32_t(width), uint32_t(height));
    m_opened = true;
    return true;
}

bool AviWriter::addAudio(const std::string& path, bool isWav, bool isPcm, int bitRate) {
    const AviSoundMode mode =
        isWav ? (isPcm ? AviSoundMode::Pcm : AviSoundMode::Mp3Encode) : AviSoundMode::Mp3Copy;
    return addAudio(path, mode, bitRate);
}

bool AviWriter::addAudio(const std::string& path, AviSoundMode mode, int bitRate, bool exactPace) {
    if (!m_opened || m_finished || m_videoStream < 0)
        return fail("Sound can only be added to an open AVI file.");
    if (m_sound || m_framesIn > 0)
        return fail("Sound must be added once, before the first frame.", kAviAudioStreamFailed);
    AviSoundResult sound = AviSound::open(path, mode, bitRate, m_frameRate, exactPace);
    if (!sound) {
        // The sound failure leaves the video untouched: the file is written without sound.
        if (m_error.empty() || m_onlySoundFailed) {
            m_error = sound.description();
            m_userMessage = sound.userText();
            m_onlySoundFailed = true;
        }
        return false;
    }
    m_sound = std::move(*sound);
    m_soundStream = m_file.addStream(m_sound->streamHeader(), m_sound->streamFormat(), "wb");
    return true;
}

bool AviWriter::writeSound(const std::vector<uint8_t>& bytes) {
    if (bytes.empty() || m_soundStream < 0)
        return true;
    if (!m_file.writeChunk(m_soundStream, bytes.data(), bytes.size(), true))
        return fail(m_file.errorString());
    ++m_audioBlockIndex;
    return true;
}

bool AviWriter::writePackets(std::vector<VideoPacket>& packets) {
    for (VideoPacket& packet : packets) {
        if (!m_file.beginFrame() || !m_file.writeChunk(m_videoStream, packet.data.data(),
                                                       packet.data.size(), packet.keyFrame))
            return fail(m_file.errorString());
        ++m_videoFrameIndex;
        if (!m_pendingSound.empty()) {
            const std::vector<uint8_t> sound = std::move(m_pendingSound.front());
            m_pendingSound.pop_front();
            if (!writeSound(sound))
                return false;
        }
    }
    packets.clear();
    return true;
}

bool AviWriter::writeFrame(const Frame& frame) {
    if (!m_opened || m_finished)
        return fail("The AVI file is not open.");
    if (frame.width() != m_width || frame.height() != m_height)
        return fail("A frame of " + std::to_string(frame.width()) + " x " +
                    std::to_string(frame.height()) + " does not fit the AVI file's " +
                    std::to_string(m_width) + " x " + std::to_string(m_height) + ".");
    m_packets.clear();
    if (!m_compressor->compress(frame, m_packets))
        return fail(m_compressor->errorString());
    ++m_framesIn;
    m_pendingSound.push_back(m_sound ? m_sound->nextChunk() : std::vector<uint8_t>());
    return writePackets(m_packets);
}

bool AviWriter::finish() {
    if (m_finished)
        return m_finishResult;
    m_finished = true;
    if (!m_opened) {
        m_finishResult = false;
        return fail("The AVI file was never opened.");
    }
    bool ok = true;
    m_packets.clear();
    if (!m_compressor->flush(m_packets))
        ok = fail(m_compressor->errorString());
    ok = writePackets(m_packets) && ok;
    // Frames an encoder swallowed keep their place as empty chunks, so the sound that
    // follows them stays in time.
    while (ok && !m_pendingSound.empty()) {
        VideoPacket empty;
        std::vector<VideoPacket> one{empty};
        ok = writePackets(one);
    }
    if (ok && m_sound)
        ok = writeSound(m_sound->finalChunk());
    if (!m_file.finish())
        ok = fail(m_file.errorString());
    m_finishResult = ok;
    return ok;
}

} // namespace swivio
