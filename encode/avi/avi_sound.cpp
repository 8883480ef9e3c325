#include "encode/avi/avi_sound.h"

#include <cmath>
#include <cstdio>

#include <lame/lame.h>

#include "base/byte_reader.h"
#include "base/byte_writer.h"
#include "clib/c_handle.h"
#include "encode/audio/mp3_file_reader.h"
#include "encode/audio/wav_reader.h"

namespace swivio {

namespace {

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatExtensible = 0xFFFE;
constexpr uint16_t kFormatMpegLayer3 = 0x0055;
constexpr const char* kFreeFormatRefused = "Free-format mp3 is not supported for AVI!";

using LameEncoder = clib::CHandle<lame_global_flags, lame_close>;

AviStreamHeader soundHeader(uint32_t rate, uint32_t sampleSize) {
    AviStreamHeader h;
    h.type = fourCc("auds");
    h.scale = 1;
    h.rate = rate;
    h.sampleSize = sampleSize;
    h.quality = -1;
    return h;
}

// The MPEG layer-3 wave format: an 18-byte wave format with 12 extra bytes (id 1 = MPEG,
// flags 2 = padding off, block size, frames per block 1, codec delay 0).
std::vector<uint8_t> mpegLayer3Format(uint16_t channels, uint32_t sampleRate,
                                      uint32_t bytesPerSecond, uint16_t blockSize) {
    std::vector<uint8_t> f;
    ByteWriter(f)
        .u16(kFormatMpegLayer3)
        .u16(channels)
        .u32(sampleRate)
        .u32(bytesPerSecond)
        .u16(1) // block align
        .u16(0) // bits per sample
        .u16(12)
        .u16(1)
        .u32(2)
        .u16(blockSize)
        .u16(1)
        .u16(0);
    return f;
}

// Bytes of WAV sound per video frame: the byte rate's share of one frame, rounded down to
// whole sample frames so every chunk holds complete samples.
uint32_t wavChunkSize(const WavFormat& f, double frameRate) {
    const auto perFrame = uint32_t(double(f.byteRate) / frameRate);
    return f.blockAlign * (perFrame / f.blockAlign);
}

Status openWav(WavReader& reader, const std::string& path) {
    if (!reader.open(path))
        return Status::failure(reader.errorString());
    const WavFormat& f = reader.format();
    // A block align or rate of 0 would divide by zero or give chunks of nothing.
    if (f.channels == 0 || f.sampleRate == 0 || f.blockAlign == 0 || f.byteRate == 0)
        return Status::failure(path + " has an invalid sound format.");
    return {};
}

// What every sound stream states once it is open: its header, format and chunk size.
class FormattedSound : public AviSound {
public:
    const AviStreamHeader& streamHeader() const override { return m_header; }
    const std::vector<uint8_t>& streamFormat() const override { return m_format; }
    uint32_t chunkSize() const override { return m_chunkSize; }

protected:
    // Paced exactly, frame k's share of the sound is the samples from k * rate / fps to
    // (k + 1) * rate / fps, so the sound never drifts from the pictures however long the
    // video; otherwise every frame takes chunkSize bytes.
    void setPace(const WavFormat& f, double frameRate, bool exact) {
        m_sampleRate = f.sampleRate;
        m_blockAlign = f.blockAlign;
        m_frameRate = frameRate;
        m_exact = exact && frameRate > 0;
    }
    std::size_t nextChunkBytes() {
        if (!m_exact)
            return m_chunkSize;
        auto at = [this](uint64_t k) { return uint64_t(std::floor(double(k) * m_sampleRate / m_frameRate)); };
        const uint64_t samples = at(m_frame + 1) - at(m_frame);
        ++m_frame;
        return std::size_t(samples) * m_blockAlign;
    }

    AviStreamHeader m_header;
    std::vector<uint8_t> m_format;
    uint32_t m_chunkSize = 0;

private:
    uint32_t m_sampleRate = 0;
    uint32_t m_blockAlign = 0;
    double m_frameRate = 1;
    uint64_t m_frame = 0;
    bool m_exact = false;
};

class PcmSound final : public FormattedSound {
public:
    Status open(const std::string& path, double frameRate, bool exactPace) {
        if (Status wav = openWav(m_reader, path); !wav)
            return wav;
        const WavFormat& f = m_reader.format();
        m_header = soundHeader(f.sampleRate, f.blockAlign);
        if (f.formatTag == kFormatExtensible) {
            // The extensible format is only complete with its extension (channel mask,
            // sub format), so the whole "fmt " chunk is stored.
            m_format = m_reader.rawFormat();
        } else {
            m_format.clear();
            ByteWriter(m_format)
                .u16(f.formatTag)
                .u16(f.channels)
                .u32(f.sampleRate)
                .u32(f.byteRate)
                .u16(f.blockAlign)
                .u16(f.bitsPerSample)
                .u16(0); // no extra bytes
        }
        m_chunkSize = wavChunkSize(f, frameRate);
        setPace(f, frameRate, exactPace);
        return {};
    }

    // Only the data chunk's bytes are read, so chunks after it never play as sound.
    std::vector<uint8_t> nextChunk() override {
        std::vector<uint8_t> chunk(nextChunkBytes());
        chunk.resize(m_reader.read(chunk.data(), chunk.size()));
        return chunk;
    }

private:
    WavReader m_reader;
};

class Mp3EncodedSound final : public FormattedSound {
public:
    Status open(const std::string& path, int bitRate, double frameRate, bool exactPace) {
        if (Status wav = openWav(m_reader, path); !wav)
            return wav;
        const WavFormat& f = m_reader.format();
        // LAME takes 16-bit samples; anything else would be read as the wrong samples.
        const bool integerPcm = f.formatTag == kFormatPcm || f.formatTag == kFormatExtensible;
        if (!integerPcm || f.bitsPerSample != 16 || f.channels < 1 || f.channels > 2 ||
            f.blockAlign != 2 * f.channels)
            return Status::failure(path + " is not 16-bit PCM sound in one or two channels; "
                                          "it cannot be encoded to MP3.");
        if (bitRate <= 0)
            return Status::failure("Invalid MP3 bit rate " + std::to_string(bitRate) + ".");
        const auto bytesPerSecond = uint32_t(bitRate / 8);
        m_header = soundHeader(bytesPerSecond, 1);
        m_format = mpegLayer3Format(f.channels, f.sampleRate, bytesPerSecond, 1);
        m_chunkSize = wavChunkSize(f, frameRate);
        setPace(f, frameRate, exactPace);
        m_mp3Buffer.resize(7200 + std::size_t(1.25 * (m_chunkSize / f.blockAlign + 1)));
        m_channels = f.channels;

        m_lame.reset(lame_init());
        if (!m_lame)
            return Status::failure("Cannot start the MP3 encoder.");
        lame_global_flags* gf = m_lame.get();
        lame_set_in_samplerate(gf, int(f.sampleRate));
        lame_set_num_channels(gf, f.channels);
        lame_set_out_samplerate(gf, int(f.sampleRate));
        lame_set_bWriteVbrTag(gf, 0);
        // LAME's own default algorithm quality (what ffmpeg's encoder uses too): 2 costs
        // about twice the time for a difference few hear at these bit rates.
        lame_set_quality(gf, 3);
        lame_set_brate(gf, bitRate / 1000);
        lame_set_VBR(gf, vbr_off);
        if (lame_init_params(gf) < 0)
            return Status::failure("The MP3 encoder does not take " + std::to_string(f.sampleRate) +
                                   " Hz sound at " + std::to_string(bitRate / 1000) + " kbit/s.");
        return {};
    }

    std::vector<uint8_t> nextChunk() override {
        m_pcm.resize(nextChunkBytes());
        const std::size_t bytes = m_reader.read(m_pcm.data(), m_pcm.size());
        const std::size_t samples = bytes / (2u * m_channels);
        if (samples == 0)
            return {};
        m_samples.resize(samples * m_channels);
        for (std::size_t i = 0; i < m_samples.size(); ++i)
            m_samples[i] = static_cast<short>(loadLe16(&m_pcm[2 * i]));
        const int n =
            m_channels == 1
                ? lame_encode_buffer(m_lame.get(), m_samples.data(), nullptr, int(samples),
                                     m_mp3Buffer.data(), int(m_mp3Buffer.size()))
                : lame_encode_buffer_interleaved(m_lame.get(), m_samples.data(), int(samples),
                                                 m_mp3Buffer.data(), int(m_mp3Buffer.size()));
        if (n <= 0)
            return {};
        return {m_mp3Buffer.begin(), m_mp3Buffer.begin() + n};
    }

    std::vector<uint8_t> finalChunk() override {
        if (!m_lame)
            return {};
        const int n = lame_encode_flush(m_lame.get(), m_mp3Buffer.data(), int(m_mp3Buffer.size()));
        m_lame.reset();
        if (n <= 0)
            return {};
        return {m_mp3Buffer.begin(), m_mp3Buffer.begin() + n};
    }

private:
    WavReader m_reader;
    LameEncoder m_lame;
    uint16_t m_channels = 0;
    std::vector<uint8_t> m_pcm;
    std::vector<short> m_samples;
    std::vector<uint8_t> m_mp3Buffer;
};

class Mp3CopiedSound final : public FormattedSound {
public:
    // Fails with a text for the user.
    Status open(const std::string& path, double frameRate) {
        Result<OpenedMp3> opened = openMp3File(path);
        if (!opened)
            return Status::failure(opened.message());
        m_file = std::move(opened->file);
        m_info = opened->info;
        // With no declared bit rate the stream would claim 0 bytes per second and get no
        // sound at all; refusing says so instead of writing a silent file.
        if (m_info.bitRate == 0)
            return Status::failure(kFreeFormatRefused);
        const auto bytesPerSecond = uint32_t(m_info.bitRate * 1000 / 8);
        m_header = soundHeader(bytesPerSecond, 1);
        m_format = mpegLayer3Format(uint16_t(m_info.channels), uint32_t(m_info.sampleRate),
                                    bytesPerSecond, uint16_t(m_info.frameLength));
        m_chunkSize = uint32_t(double(bytesPerSecond) / frameRate);
        return {};
    }

    // Copied without regard to frame boundaries: players resynchronise on the frame headers.
    std::vector<uint8_t> nextChunk() override {
        std::vector<uint8_t> chunk(m_chunkSize);
        chunk.resize(std::fread(chunk.data(), 1, chunk.size(), m_file.get()));
        return chunk;
    }

private:
    clib::File m_file;
    Mp3FileInfo m_info;
};

} // namespace

AviSoundResult AviSound::open(const std::string& path, AviSoundMode mode, int bitRate,
                              double frameRate, bool exactPace) {
    switch (mode) {
    case AviSoundMode::Pcm: {
        auto sound = std::make_unique<PcmSound>();
        if (Status opened = sound->open(path, frameRate, exactPace); !opened)
            return AviSoundResult::failure(opened.message());
        return std::unique_ptr<AviSound>(std::move(sound));
    }
    case AviSoundMode::Mp3Encode: {
        auto sound = std::make_unique<Mp3EncodedSound>();
        if (Status opened = sound->open(path, bitRate, frameRate, exactPace); !opened)
            return AviSoundResult::failure(opened.message());
        return std::unique_ptr<AviSound>(std::move(sound));
    }
    case AviSoundMode::Mp3Copy: {
        auto sound = std::make_unique<Mp3CopiedSound>();
        if (Status opened = sound->open(path, frameRate); !opened)
            return AviSoundResult::userFailure(opened.message(), path);
        return std::unique_ptr<AviSound>(std::move(sound));
    }
    }
    return AviSoundResult::failure("Unknown AVI sound mode.");
}

} // namespace swivio
