#include "tests/support/sound_files.h"

#include <cmath>
#include <fstream>
#include <iterator>
#include <numbers>
#include <stdexcept>

#include <lame/lame.h>

#include "base/byte_writer.h"

namespace swivio::testkit {

namespace {

void putChunk(std::vector<uint8_t>& v, const std::string& id, const std::vector<uint8_t>& body) {
    v.insert(v.end(), id.begin(), id.begin() + 4);
    ByteWriter(v).u32(uint32_t(body.size()));
    v.insert(v.end(), body.begin(), body.end());
    if (body.size() & 1)
        v.push_back(0);
}

} // namespace

std::vector<uint8_t> makeWav(const WavSpec& wavLayout, const std::vector<uint8_t>& data) {
    const uint16_t blockAlign = uint16_t(wavLayout.channels * wavLayout.bitsPerSample / 8);
    std::vector<uint8_t> fmt;
    ByteWriter format(fmt);
    format.u16(wavLayout.formatTag).u16(wavLayout.channels).u32(wavLayout.sampleRate);
    format.u32(wavLayout.sampleRate * blockAlign).u16(blockAlign).u16(wavLayout.bitsPerSample);
    if (!wavLayout.formatExtra.empty())
        format.u16(uint16_t(wavLayout.formatExtra.size())).bytes(wavLayout.formatExtra);
    std::vector<uint8_t> body{'W', 'A', 'V', 'E'};
    putChunk(body, "fmt ", fmt);
    for (const RiffChunk& c : wavLayout.before)
        putChunk(body, c.id, c.body);
    putChunk(body, "data", data);
    for (const RiffChunk& c : wavLayout.after)
        putChunk(body, c.id, c.body);
    std::vector<uint8_t> file{'R', 'I', 'F', 'F'};
    ByteWriter(file).u32(uint32_t(body.size()));
    file.insert(file.end(), body.begin(), body.end());
    return file;
}

std::vector<uint8_t> sinePcm16(uint32_t sampleRate, uint16_t channels, uint32_t frames) {
    std::vector<uint8_t> out;
    out.reserve(std::size_t(frames) * channels * 2);
    for (uint32_t i = 0; i < frames; ++i) {
        for (uint16_t c = 0; c < channels; ++c) {
            const double t = double(i) / sampleRate;
            const auto s = int16_t(8000 * std::sin(2 * std::numbers::pi * 440.0 * (c + 1) * t));
            ByteWriter(out).u16(uint16_t(s));
        }
    }
    return out;
}

std::vector<uint8_t> makeMp3(uint32_t sampleRate, uint16_t channels, int kbps, double seconds,
                             Mp3Tag tag) {
    lame_t lame = lame_init();
    lame_set_in_samplerate(lame, int(sampleRate));
    lame_set_out_samplerate(lame, int(sampleRate));
    lame_set_num_channels(lame, channels);
    lame_set_mode(lame, channels == 1 ? MONO : JOINT_STEREO);
    lame_set_bWriteVbrTag(lame, tag == Mp3Tag::None ? 0 : 1);
    if (tag == Mp3Tag::Xing) {
        lame_set_VBR(lame, vbr_default);
    } else {
        lame_set_VBR(lame, vbr_off);
        lame_set_brate(lame, kbps);
    }
    if (lame_init_params(lame) < 0) {
        lame_close(lame);
        throw std::runtime_error("LAME refused the test settings");
    }
    const auto frames = uint32_t(seconds * sampleRate);
    const std::vector<uint8_t> pcm = sinePcm16(sampleRate, channels, frames);
    std::vector<short> samples(pcm.size() / 2);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = short(pcm[2 * i] | (pcm[2 * i + 1] << 8));
    std::vector<uint8_t> out(std::size_t(1.25 * frames) + 7200);
    int n = channels == 2 ? lame_encode_buffer_interleaved(lame, samples.data(), int(frames),
                                                           out.data(), int(out.size()))
                          : lame_encode_buffer(lame, samples.data(), nullptr, int(frames),
                                               out.data(), int(out.size()));
    if (n < 0) {
        lame_close(lame);
        throw std::runtime_error("LAME failed to encode");
    }
    int m = lame_encode_flush(lame, out.data() + n, int(out.size()) - n);
    out.resize(std::size_t(n + std::max(m, 0)));
    if (tag != Mp3Tag::None) {
        // The tag frame was left empty at the start; LAME fills it in now.
        std::vector<uint8_t> tagFrame(4096);
        const std::size_t len = lame_get_lametag_frame(lame, tagFrame.data(), tagFrame.size());
        std::copy(tagFrame.begin(), tagFrame.begin() + long(len), out.begin());
    }
    lame_close(lame);
    return out;
}

std::vector<uint8_t> makeId3Tag(uint32_t size, uint8_t fill) {
    std::vector<uint8_t> tag{'I', 'D', '3', 3, 0, 0};
    tag.push_back(uint8_t((size >> 21) & 0x7F));
    tag.push_back(uint8_t((size >> 14) & 0x7F));
    tag.push_back(uint8_t((size >> 7) & 0x7F));
    tag.push_back(uint8_t(size & 0x7F));
    tag.resize(10 + size, fill);
    return tag;
}

std::vector<uint8_t> readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace swivio::testkit
