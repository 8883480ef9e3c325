#include "tests/support/swf_sounds.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "swf/writer/swf_writer.h"

namespace swivio::testkit {

namespace {

constexpr int kSteps[89] = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,
    25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,    73,    80,
    88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,   253,   279,
    307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,   876,   963,
    1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749,  3024,  3327,
    3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493,  10442, 11487,
    12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};
const int kIndex2[] = {-1, 2};
const int kIndex3[] = {-1, -1, 2, 4};
const int kIndex4[] = {-1, -1, -1, -1, 2, 4, 6, 8};
const int kIndex5[] = {-1, -1, -1, -1, -1, -1, -1, -1, 1, 2, 4, 6, 8, 10, 13, 16};
const int* const kIndexTables[] = {kIndex2, kIndex3, kIndex4, kIndex5};

struct AdpcmChannel {
    int predictor = 0;
    int index = 0;
};

// Chooses the code nearest the sample and moves the channel's state as a decoder would.
uint32_t encodeOne(AdpcmChannel& ch, int sample, int bits) {
    const int step = kSteps[ch.index];
    const uint32_t signBit = 1u << (bits - 1);
    uint32_t best = 0;
    int bestPredictor = 0;
    int bestError = 1 << 30;
    for (uint32_t code = 0; code < (1u << bits); ++code) {
        // The difference a code stands for: (magnitude + 1/2) steps over 2^(bits-2).
        int s = step, diff = 0;
        for (uint32_t k = signBit >> 1; k; k >>= 1) {
            if (code & k)
                diff += s;
            s >>= 1;
        }
        diff += s;
        const int predicted = std::clamp(code & signBit ? ch.predictor - diff : ch.predictor + diff,
                                         -32768, 32767);
        if (std::abs(predicted - sample) < bestError) {
            bestError = std::abs(predicted - sample);
            best = code;
            bestPredictor = predicted;
        }
    }
    ch.predictor = bestPredictor;
    ch.index = std::clamp(ch.index + kIndexTables[bits - 2][best & (signBit - 1)], 0, 88);
    return best;
}

} // namespace

std::vector<uint8_t> encodeSwfAdpcm(std::span<const int16_t> samples, int channels, int bits) {
    swf::writer::SwfBits out;
    out.ub(2, uint32_t(bits - 2));
    const std::size_t frames = samples.size() / std::size_t(channels);
    AdpcmChannel state[2];
    for (std::size_t i = 0; i < frames; ++i) {
        if (i % 4096 == 0) {
            for (int c = 0; c < channels; ++c) {
                state[c].predictor = samples[i * std::size_t(channels) + std::size_t(c)];
                out.ub(16, uint16_t(int16_t(state[c].predictor)));
                out.ub(6, uint32_t(state[c].index));
            }
            continue;
        }
        for (int c = 0; c < channels; ++c)
            out.ub(bits, encodeOne(state[c], samples[i * std::size_t(channels) + std::size_t(c)], bits));
    }
    return out.data();
}

std::vector<int16_t> sineSamples(uint32_t rate, int channels, uint32_t frames, double frequency) {
    std::vector<int16_t> out;
    out.reserve(std::size_t(frames) * std::size_t(channels));
    for (uint32_t i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            out.push_back(int16_t(8000 * std::sin(2 * std::numbers::pi * frequency * (c + 1) * i / rate)));
    return out;
}

std::vector<uint8_t> littleEndianBytes(std::span<const int16_t> samples) {
    std::vector<uint8_t> out;
    for (int16_t s : samples) {
        out.push_back(uint8_t(uint16_t(s) & 0xFF));
        out.push_back(uint8_t(uint16_t(s) >> 8));
    }
    return out;
}

uint8_t rateCode(uint32_t rate) {
    return rate >= 44100 ? 3 : rate >= 22050 ? 2 : rate >= 11025 ? 1 : 0;
}

std::vector<uint8_t> defineSoundBody(uint16_t id, uint8_t format, uint32_t rate, bool sixteenBit,
                                     bool stereo, uint32_t sampleCount, const std::vector<uint8_t>& data,
                                     int16_t seekSamples) {
    swf::writer::SwfBits out;
    out.u16(id);
    out.u8(uint8_t(format << 4 | rateCode(rate) << 2 | (sixteenBit ? 2 : 0) | (stereo ? 1 : 0)));
    out.u32(sampleCount);
    if (format == 2)
        out.s16(seekSamples);
    out.bytes(data);
    return out.data();
}

std::vector<uint8_t> startSoundBody(uint16_t id, const SoundInfoSpec& info) {
    swf::writer::SwfBits out;
    out.u16(id);
    const uint8_t flags = uint8_t((info.syncStop ? 0x20 : 0) | (info.noMultiple ? 0x10 : 0) |
                                  (info.envelope.empty() ? 0 : 0x08) | (info.loops >= 0 ? 0x04 : 0) |
                                  (info.outPoint >= 0 ? 0x02 : 0) | (info.inPoint >= 0 ? 0x01 : 0));
    out.u8(flags);
    if (info.inPoint >= 0)
        out.u32(uint32_t(info.inPoint));
    if (info.outPoint >= 0)
        out.u32(uint32_t(info.outPoint));
    if (info.loops >= 0)
        out.u16(uint16_t(info.loops));
    if (!info.envelope.empty()) {
        out.u8(uint8_t(info.envelope.size()));
        for (const auto& p : info.envelope)
            out.u32(p.at).u16(p.left).u16(p.right);
    }
    return out.data();
}

std::vector<uint8_t> soundStreamHeadBody(uint8_t format, uint32_t rate, bool sixteenBit, bool stereo,
                                         uint16_t samplesPerBlock) {
    swf::writer::SwfBits out;
    const uint8_t flags = uint8_t(format << 4 | rateCode(rate) << 2 | (sixteenBit ? 2 : 0) | (stereo ? 1 : 0));
    out.u8(flags).u8(flags).u16(samplesPerBlock);
    if (format == 2)
        out.s16(0);
    return out.data();
}

double zeroCrossingFrequency(std::span<const float> samples, int channel, std::size_t begin,
                             std::size_t end, double rate) {
    end = std::min(end, samples.size() / 2);
    int crossings = 0;
    for (std::size_t i = begin + 1; i < end; ++i) {
        const float a = samples[2 * (i - 1) + std::size_t(channel)];
        const float b = samples[2 * i + std::size_t(channel)];
        if ((a < 0) != (b < 0))
            ++crossings;
    }
    return end > begin ? crossings / 2.0 * rate / double(end - begin) : 0;
}

int64_t firstLoudFrame(std::span<const float> samples, int channel, float threshold) {
    for (std::size_t i = 0; i < samples.size() / 2; ++i)
        if (std::abs(samples[2 * i + std::size_t(channel)]) >= threshold)
            return int64_t(i);
    return -1;
}

int64_t lastLoudFrame(std::span<const float> samples, int channel, float threshold) {
    for (std::size_t i = samples.size() / 2; i-- > 0;)
        if (std::abs(samples[2 * i + std::size_t(channel)]) >= threshold)
            return int64_t(i);
    return -1;
}

float peakLevel(std::span<const float> samples, int channel, std::size_t begin, std::size_t end) {
    float peak = 0;
    end = std::min(end, samples.size() / 2);
    for (std::size_t i = begin; i < end; ++i)
        peak = std::max(peak, std::abs(samples[2 * i + std::size_t(channel)]));
    return peak;
}

std::vector<float> toFloats(std::span<const int16_t> samples) {
    std::vector<float> out(samples.size());
    for (std::size_t i = 0; i < samples.size(); ++i)
        out[i] = float(samples[i]) / 32768.0f;
    return out;
}

} // namespace swivio::testkit
