#include "encode/mpeg/mpeg_preset.h"

namespace swivio {

namespace {

// The decoder buffer sizes and peak rates are those of the disc formats (VCD 40 KiB at its
// constant 1150 kbit/s, SVCD and DVD 224 KiB), so the rate control never builds a stream that
// a player's buffer cannot take.
constexpr int kVcdBuffer = 40 * 1024 * 8;
constexpr int kSvcdDvdBuffer = 224 * 1024 * 8;
constexpr int kVcdMuxRate = 2352 * 75 * 8;
constexpr int kDvdMuxRate = 10080000;
// The VCD clock starts at 36000 ticks of 90 kHz and the first two packs carry no pictures.
constexpr int kVcdPreload = 440000;
constexpr int kNtscGop = 18;
constexpr int kPalGop = 15;
constexpr int kBFrames = 2;

constexpr MpegOutputPreset kMpegWriterPresets[kMpegPresetCount] = {
    {"DVD-NTSC", "dvd", 720, 480, 30000, 1001, kNtscGop, kBFrames, 8000000, 9000000, kSvcdDvdBuffer,
     224000, 48000, MpegAudioCodec::Ac3, 2048, kDvdMuxRate, 0, false, false},
    {"DVD-PAL", "dvd", 720, 576, 25, 1, kPalGop, kBFrames, 8000000, 9000000, kSvcdDvdBuffer, 224000,
     48000, MpegAudioCodec::Ac3, 2048, kDvdMuxRate, 0, false, false},
    {"SVCD-NTSC", "svcd", 480, 480, 30000, 1001, kNtscGop, kBFrames, 2000000, 2516000,
     kSvcdDvdBuffer, 224000, 44100, MpegAudioCodec::Mp2, 2324, 0, 0, true, false},
    {"SVCD-PAL", "svcd", 480, 576, 25, 1, kPalGop, kBFrames, 2000000, 2516000, kSvcdDvdBuffer,
     224000, 44100, MpegAudioCodec::Mp2, 2324, 0, 0, true, false},
    {"VCD-NTSC", "vcd", 352, 240, 30000, 1001, kNtscGop, kBFrames, 1150000, 1150000, kVcdBuffer,
     224000, 44100, MpegAudioCodec::Mp2, 2324, kVcdMuxRate, kVcdPreload, false, true},
    {"VCD-PAL", "vcd", 352, 288, 25, 1, kPalGop, kBFrames, 1150000, 1150000, kVcdBuffer, 224000,
     44100, MpegAudioCodec::Mp2, 2324, kVcdMuxRate, kVcdPreload, false, true},
};

} // namespace

const MpegOutputPreset* mpegPreset(int mpegType) {
    if (mpegType < 0 || mpegType >= kMpegPresetCount)
        return nullptr;
    return &kMpegWriterPresets[mpegType];
}

} // namespace swivio
