#include "encode/audio/mp3_file_reader.h"

#include <cstring>
#include <utility>

namespace swivio {

namespace {

// kbit/s by bit-rate index. MPEG-1 tables per layer; MPEG-2 and 2.5 use the lower sampling
// frequency tables, where Layers II and III share one.
constexpr int32_t kMpeg1Rates[3][16] = {
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0}, // Layer I
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},    // Layer II
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},     // Layer III
};
constexpr int32_t kMpeg2Rates[2][16] = {
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0}, // Layer I
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},      // Layers II, III
};
constexpr int32_t kSampleRates[4][3] = {
    {11025, 12000, 8000},  // MPEG-2.5
    {0, 0, 0},             // reserved
    {22050, 24000, 16000}, // MPEG-2
    {44100, 48000, 32000}, // MPEG-1
};

constexpr int32_t kVersionMpeg1 = 3;
constexpr int32_t kVersionReserved = 1;

Result<OpenedMp3> refuse(const char* text) {
    return Result<OpenedMp3>::failure(text);
}

// The Xing VBR header follows the side information, which is 9, 17 or 32 bytes long after
// the 4-byte frame header depending on version and channel mode.
bool hasXingHeader(std::FILE* f, long frameStart) {
    for (long offset : {13L, 21L, 36L}) {
        char tag[4];
        if (std::fseek(f, frameStart + offset, SEEK_SET) == 0 && std::fread(tag, 1, 4, f) == 4 &&
            std::memcmp(tag, "Xing", 4) == 0)
            return true;
    }
    return false;
}

} // namespace

Mp3FileInfo parseMp3FrameHeader(uint32_t h) {
    Mp3FileInfo info;
    info.versionBits = static_cast<int32_t>((h >> 19) & 3);
    info.layerBits = static_cast<int32_t>((h >> 17) & 3);
    const uint32_t rateIndex = (h >> 12) & 15;
    const uint32_t sampleIndex = (h >> 10) & 3;
    const int32_t padding = static_cast<int32_t>((h >> 9) & 1);
    const uint32_t channelMode = (h >> 6) & 3;

    if (info.versionBits != kVersionReserved && info.layerBits != 0) {
        if (info.versionBits == kVersionMpeg1)
            info.bitRate = kMpeg1Rates[3 - info.layerBits][rateIndex];
        else
            info.bitRate = kMpeg2Rates[info.layerBits == 3 ? 0 : 1][rateIndex];
    }
    if (sampleIndex < 3)
        info.sampleRate = kSampleRates[info.versionBits][sampleIndex];
    if (info.sampleRate == 0)
        info.sampleRate = 22050;
    const int32_t factor = info.versionBits == kVersionMpeg1 ? 144000 : 72000;
    info.frameLength = factor * info.bitRate / info.sampleRate + padding;
    info.channels = channelMode == 3 ? 1 : 2;
    return info;
}

Result<OpenedMp3> openMp3File(const std::string& path) {
    clib::File file = clib::openFile(path.c_str(), "rb");
    if (!file)
        return refuse(kMp3OpenFailed);
    std::FILE* f = file.get();

    // ID3v2 tag: "ID3", version, flags, then a 28-bit synchsafe size of what follows the
    // 10-byte header.
    uint8_t tag[20];
    long start = 0;
    if (std::fread(tag, 1, 3, f) == 3 && std::memcmp(tag, "ID3", 3) == 0) {
        if (std::fread(tag + 3, 1, 17, f) != 17)
            return refuse(kMp3TagUnreadable);
        const long size = long(tag[6] & 0x7F) << 21 | long(tag[7] & 0x7F) << 14 |
                          long(tag[8] & 0x7F) << 7 | long(tag[9] & 0x7F);
        start = 10 + size;
    }
    if (std::fseek(f, start, SEEK_SET) != 0)
        return refuse(kMp3NoFrame);

    // Frame sync: 0xFF followed by a byte of 0xE0 or more (eleven set bits).
    long frameStart = -1;
    for (int c; (c = std::getc(f)) != EOF;) {
        if (c != 0xFF)
            continue;
        const int next = std::getc(f);
        if (next == EOF)
            break;
        if (next >= 0xE0) {
            frameStart = std::ftell(f) - 2;
            break;
        }
    }
    if (frameStart < 0)
        return refuse(kMp3NoFrame);

    if (hasXingHeader(f, frameStart))
        return refuse(kMp3VbrRefused);

    uint8_t header[4];
    if (std::fseek(f, frameStart, SEEK_SET) != 0 || std::fread(header, 1, 4, f) != 4)
        return refuse(kMp3NoFrame);
    const uint32_t h = uint32_t(header[0]) << 24 | uint32_t(header[1]) << 16 |
                       uint32_t(header[2]) << 8 | header[3];
    if (((h >> 12) & 15) == 15)
        return refuse(kMp3NoFrame);
    if (std::fseek(f, frameStart, SEEK_SET) != 0)
        return refuse(kMp3NoFrame);
    return OpenedMp3{std::move(file), parseMp3FrameHeader(h)};
}

} // namespace swivio
