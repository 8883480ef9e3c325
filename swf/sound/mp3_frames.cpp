#include "swf/sound/mp3_frames.h"

#include "swf/sound/id3_tags.h"

namespace swivio::swf::sound {

namespace {

// Kilobits per second by layer (I, II, III) for MPEG 1, then for MPEG 2 and 2.5.
constexpr uint16_t kBitratesV1[3][16] = {
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},
};
constexpr uint16_t kBitratesV2[3][16] = {
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
};
constexpr uint32_t kRatesV1[3] = {44100, 48000, 32000};

} // namespace

std::optional<Mp3FrameHeader> readMp3FrameHeader(std::span<const uint8_t> bytes) {
    if (bytes.size() < 4 || bytes[0] != 0xFF || (bytes[1] & 0xE0) != 0xE0)
        return std::nullopt;
    const int version = (bytes[1] >> 3) & 3; // 0: 2.5, 1: reserved, 2: 2, 3: 1
    const int layerBits = (bytes[1] >> 1) & 3; // 1: III, 2: II, 3: I
    const int bitrateIndex = bytes[2] >> 4;
    const int rateIndex = (bytes[2] >> 2) & 3;
    if (version == 1 || layerBits == 0 || bitrateIndex == 0 || bitrateIndex == 15 ||
        rateIndex == 3)
        return std::nullopt;
    const int layer = 4 - layerBits; // 1, 2 or 3
    const bool v1 = version == 3;
    const uint32_t kbps = (v1 ? kBitratesV1 : kBitratesV2)[layer - 1][bitrateIndex];
    Mp3FrameHeader header;
    header.sampleRate = kRatesV1[rateIndex] >> (v1 ? 0 : version == 2 ? 1 : 2);
    const uint32_t padding = (bytes[2] >> 1) & 1;
    if (layer == 1) {
        header.samplesPerFrame = 384;
        header.frameBytes = (12 * kbps * 1000 / header.sampleRate + padding) * 4;
    } else {
        header.samplesPerFrame = layer == 3 && !v1 ? 576 : 1152;
        header.frameBytes = header.samplesPerFrame / 8 * kbps * 1000 / header.sampleRate + padding;
    }
    header.channels = (bytes[3] >> 6) == 3 ? 1 : 2;
    if (header.frameBytes < 4)
        return std::nullopt;
    return header;
}

uint32_t Mp3Scan::durationMs(int seekSamples) const {
    if (sampleRate == 0)
        return 0;
    const int64_t played = int64_t(samples) - (seekSamples > 0 ? seekSamples : 0);
    return played > 0 ? uint32_t((uint64_t(played) * 1000 + sampleRate / 2) / sampleRate) : 0;
}

Mp3Scan scanMp3Frames(std::span<const uint8_t> bytes) {
    Mp3Scan scan;
    std::size_t at = id3v2TagSize(bytes);
    if (at > bytes.size())
        at = bytes.size();
    bool first = true;
    while (at + 4 <= bytes.size()) {
        auto header = readMp3FrameHeader(bytes.subspan(at));
        // A header of another rate is a false sync inside data, not the next frame.
        if (!header || (!first && header->sampleRate != scan.sampleRate)) {
            ++at;
            continue;
        }
        if (first) {
            scan.sampleRate = header->sampleRate;
            scan.channels = header->channels;
            scan.firstFrame = at;
            first = false;
        }
        ++scan.frames;
        scan.samples += header->samplesPerFrame;
        at += header->frameBytes;
    }
    return scan;
}

} // namespace swivio::swf::sound
