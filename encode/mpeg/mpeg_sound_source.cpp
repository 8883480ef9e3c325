#include "encode/mpeg/mpeg_sound_source.h"

#include <strings.h>

#include <vector>

namespace swivio {

namespace {

class SilentSoundSource final : public MpegSoundSource {
public:
    explicit SilentSoundSource(int sampleRate) : m_sampleRate(sampleRate) {}

    bool read(SoundChunk& chunk) override {
        chunk = SoundChunk{};
        chunk.planes[0] = m_zeros.data();
        chunk.samples = kSamples;
        chunk.channels = 2;
        chunk.sampleRate = m_sampleRate;
        chunk.format = AV_SAMPLE_FMT_S16;
        return true;
    }

private:
    static constexpr int kSamples = 1152;
    int m_sampleRate;
    std::vector<uint8_t> m_zeros = std::vector<uint8_t>(kSamples * 2 * sizeof(int16_t), 0);
};

} // namespace

std::unique_ptr<MpegSoundSource> makeSilentSoundSource(int sampleRate) {
    return std::make_unique<SilentSoundSource>(sampleRate);
}

std::unique_ptr<MpegSoundSource> openMpegSoundSource(const std::string& path, std::string& error) {
    const bool isWav = path.size() >= 4 && strcasecmp(path.c_str() + path.size() - 4, ".wav") == 0;
    return isWav ? openWavSoundSource(path, error) : openMp3SoundSource(path, error);
}

} // namespace swivio
