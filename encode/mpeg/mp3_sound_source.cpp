#include <cstring>

#include <lame/lame.h>

#include "clib/c_handle.h"
#include "encode/mpeg/mpeg_sound_source.h"

namespace swivio {

namespace {

using HipDecoder = clib::CHandle<hip_global_flags, hip_decode_exit>;

constexpr std::size_t kReadSize = 2000;
// One MPEG audio frame decodes to at most 1152 samples per channel.
constexpr int kMaxFrameSamples = 4608;

class Mp3SoundSource final : public MpegSoundSource {
public:
    Mp3SoundSource(clib::File file, HipDecoder decoder)
        : m_file(std::move(file)), m_decoder(std::move(decoder)) {}

    // Decodes up to the first frame that yields samples; false when the file has none.
    bool start() {
        skipId3v2Tag();
        m_pending = nextChunk(m_first);
        return m_pending;
    }

    bool read(SoundChunk& chunk) override {
        if (m_pending) {
            m_pending = false;
            chunk = m_first;
            return true;
        }
        return nextChunk(chunk);
    }

private:
    // An ID3v2 tag (often with a cover picture) is skipped whole so that none of its bytes
    // can be taken for an audio frame. Its size is a 28-bit synchsafe number.
    void skipId3v2Tag() {
        uint8_t h[10];
        std::FILE* f = m_file.get();
        if (std::fread(h, 1, sizeof h, f) == sizeof h && std::memcmp(h, "ID3", 3) == 0) {
            const long size = (long(h[6] & 0x7F) << 21) | (long(h[7] & 0x7F) << 14) |
                              (long(h[8] & 0x7F) << 7) | long(h[9] & 0x7F);
            if (std::fseek(f, 10 + size, SEEK_SET) == 0)
                return;
        }
        std::fseek(f, 0, SEEK_SET);
    }

    int decode(uint8_t* bytes, std::size_t count) {
        mp3data_struct facts{};
        const int n = hip_decode1_headers(m_decoder.get(), bytes, count, m_left, m_right, &facts);
        if (n <= 0)
            return n;
        m_channels = facts.stereo;
        m_sampleRate = facts.samplerate;
        return n;
    }

    // Frames the decoder still holds come first; more bytes are read only when it has none.
    // The bytes of the last read are decoded too, so the sound ends where the file does.
    bool nextChunk(SoundChunk& chunk) {
        for (;;) {
            int n = decode(nullptr, 0);
            if (n <= 0) {
                if (m_atEnd)
                    return false;
                const std::size_t got = std::fread(m_input, 1, kReadSize, m_file.get());
                if (got < kReadSize)
                    m_atEnd = true;
                if (got == 0)
                    continue;
                n = decode(m_input, got);
            }
            // A damaged frame can report nonsense; such samples are dropped.
            if (n <= 0 || n > kMaxFrameSamples || m_channels < 1 || m_channels > 2 ||
                m_sampleRate < 8000 || m_sampleRate > 48000)
                continue;
            chunk = SoundChunk{};
            chunk.samples = n;
            chunk.channels = m_channels;
            chunk.sampleRate = m_sampleRate;
            chunk.planes[0] = reinterpret_cast<const uint8_t*>(m_left);
            if (m_channels == 2) {
                chunk.planes[1] = reinterpret_cast<const uint8_t*>(m_right);
                chunk.format = AV_SAMPLE_FMT_S16P;
            } else {
                chunk.format = AV_SAMPLE_FMT_S16;
            }
            return true;
        }
    }

    clib::File m_file;
    HipDecoder m_decoder;
    uint8_t m_input[kReadSize];
    short m_left[kMaxFrameSamples] = {};
    short m_right[kMaxFrameSamples] = {};
    int m_channels = 0;
    int m_sampleRate = 0;
    bool m_atEnd = false;
    bool m_pending = false;
    SoundChunk m_first;
};

} // namespace

std::unique_ptr<MpegSoundSource> openMp3SoundSource(const std::string& path, std::string& error) {
    clib::File file = clib::openFile(path.c_str(), "rb");
    if (!file) {
        error = "Cannot open the MP3 file " + path + ".";
        return nullptr;
    }
    HipDecoder decoder(hip_decode_init());
    if (!decoder) {
        error = "Cannot start the MP3 decoder.";
        return nullptr;
    }
    // mpglib reports damaged frames on stderr by default; they are handled here.
    hip_set_errorf(decoder.get(), nullptr);
    auto source = std::make_unique<Mp3SoundSource>(std::move(file), std::move(decoder));
    if (!source->start()) {
        error = path + " holds no MPEG audio that can be decoded.";
        return nullptr;
    }
    return source;
}

} // namespace swivio
