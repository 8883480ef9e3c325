#include "encode/mpeg/mpeg_preset.h"

namespace swivio {

namespace {

// The decoder buffer sizes and peak rates are those of the disc formats (VCD 40 KiB at its
// constant 1150 kbit/s, SVCD and DVD 224 KiB), so the rate control never builds a stream that
// a player's buffer cannot take even though every picture is an intra picture.
constexpr int kVcdBuffer = 40 * 1024 * 8;
constexpr int kSvcdDvdBuffer = 224 * 1024 * 8;
constexpr int kVcdMuxRate = 2352 * 75 * 8;
constexpr int kDvdMuxRate = 10080000;

constexpr MpegOutputPreset kMpegWriterPresets[kMpegPresetCount] = {
    {"DVD-NTSC", "dvd", 720, 480, 30.0f, 8000000, 9000000, kSvcdDvdBuffer, 224000, 48000,
     MpegAudioCodec::Ac3, 2048, kDvdMuxRate},
    {"DVD-PAL", "dvd", 720, 576, 25.0f, 8000000, 9000000, kSvcdDvdBuffer, 224000, 48000,
     MpegAudioCodec::Ac3, 2048, kDvdMuxRate},
    {"SVCD-NTSC", "svcd", 480, 480, 30.0f, 2000000, 2516000, kSvcdDvdBuffer, 224000, 44100,
     MpegAudioCodec::Mp2, 2324, 0},
    {"SVCD-PAL", "svcd", 480, 576, 25.0f, 2000000, 2516000, kSvcdDvdBuffer, 224000, 44100,
     MpegAudioCodec::Mp2, 2324, 0},
    {"VCD-NTSC", "vcd", 352, 240, 30.0f, 1150000, 1150000, kVcdBuffer, 224000, 44100,
     MpegAudioCodec::Mp2, 2324, kVcdMuxRate},
    {"VCD-PAL", "vcd", 352, 288, 25.0f, 1150000, 1150000, kVcdBuffer, 224000, 44100,
     MpegAudioCodec::Mp2, 2324, kVcdMuxRate},
};

} // namespace

const MpegOutputPreset* mpegPreset(int mpegType) {
    if (mpegType < 0 || mpegType >= kMpegPresetCount)
        return nullptr;
    return &kMpegWriterPresets[mpegType];
}

} // namespace swivio
