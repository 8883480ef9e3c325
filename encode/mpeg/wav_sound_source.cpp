#include <vector>

#include "encode/audio/wav_reader.h"
#include "encode/mpeg/mpeg_sound_source.h"

namespace swivio {

namespace {

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatExtensible = 0xFFFE;
// Rates outside this range are not real sound; bounding them also bounds the resampler's
// output per chunk.
constexpr uint32_t kMinRate = 4000;
constexpr uint32_t kMaxRate = 192000;
constexpr int kMaxChannels = 8;
constexpr int kSamplesPerRead = 2048;

class WavSoundSource final : public MpegSoundSource {
public:
    WavSoundSource(WavReader reader, AVSampleFormat format)
        : m_reader(std::move(reader)), m_format(format),
          m_buffer(static_cast<std::size_t>(m_reader.format().blockAlign) * kSamplesPerRead) {}

    bool read(SoundChunk& chunk) override {
        const std::size_t blockAlign = m_reader.format().blockAlign;
        const std::size_t got = m_reader.read(m_buffer.data(), m_buffer.size());
        // A trailing partial sample (a data chunk cut inside a block) is not sound.
        const int samples = static_cast<int>(got / blockAlign);
        if (samples == 0)
            return false;
        chunk = SoundChunk{};
        chunk.planes[0] = m_buffer.data();
        chunk.samples = samples;
        chunk.channels = m_reader.format().channels;
        chunk.sampleRate = static_cast<int>(m_reader.format().sampleRate);
        chunk.format = m_format;
        return true;
    }

private:
    WavReader m_reader;
    AVSampleFormat m_format;
    std::vector<uint8_t> m_buffer;
};

bool isIntegerPcm(const WavReader& reader) {
    const uint16_t tag = reader.format().formatTag;
    if (tag == kFormatPcm)
        return true;
    // WAVE_FORMAT_EXTENSIBLE names the real format in the first two bytes of its sub-format
    // GUID, 24 bytes into the chunk.
    const auto& raw = reader.rawFormat();
    return tag == kFormatExtensible && raw.size() >= 26 && raw[24] == 1 && raw[25] == 0;
}

} // namespace

std::unique_ptr<MpegSoundSource> openWavSoundSource(const std::string& path, std::string& error) {
    WavReader reader;
    if (!reader.open(path)) {
        error = reader.errorString();
        return nullptr;
    }
    const WavFormat& f = reader.format();
    AVSampleFormat format = AV_SAMPLE_FMT_NONE;
    if (isIntegerPcm(reader) && f.bitsPerSample == 8)
        format = AV_SAMPLE_FMT_U8;
    else if (isIntegerPcm(reader) && f.bitsPerSample == 16)
        format = AV_SAMPLE_FMT_S16;
    if (format == AV_SAMPLE_FMT_NONE) {
        error = path + " does not hold 8-bit or 16-bit PCM sound.";
        return nullptr;
    }
    if (f.channels < 1 || f.channels > kMaxChannels ||
        f.blockAlign != f.channels * (f.bitsPerSample / 8)) {
        error = path + " has an invalid channel layout.";
        return nullptr;
    }
    if (f.sampleRate < kMinRate || f.sampleRate > kMaxRate) {
        error =
            path + " has an unsupported sample rate of " + std::to_string(f.sampleRate) + " Hz.";
        return nullptr;
    }
    return std::make_unique<WavSoundSource>(std::move(reader), format);
}

} // namespace swivio
