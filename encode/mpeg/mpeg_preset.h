#pragma once

namespace swivio {

enum class MpegAudioCodec { Mp2, Ac3 };

// One MPEG output type: the program-stream flavour and every encoding parameter that goes
// with it. The index of a row is the settings' mpegType (0 to 5).
struct MpegOutputPreset {
    const char* name;
    const char* muxer; // libavformat short name: "dvd", "svcd" or "vcd"
    int width;
    int height;
    // Frames per second written into the stream. NTSC types use exactly 30 (time base
    // 100/3000): the encoding loop counts the 29.97 of the settings as 30 when it repeats
    // frames, so the picture count and the movie's duration stay in step.
    float frameRate;
    int videoBitRate;    // average bit/s the rate control aims at
    int videoMaxRate;    // bit/s the decoder buffer model allows at most
    int videoBufferBits; // size of that buffer (VBV), bits
    int audioBitRate;    // bit/s
    int sampleRate;      // Hz, always stereo
    MpegAudioCodec audioCodec;
    int packetSize; // program-stream pack size in bytes (a VCD/SVCD sector carries 2324)
    // The stream's total rate in bit/s, fixed by the disc (a VCD reads 75 sectors of 2352
    // bytes a second); 0 lets the multiplexer add up its streams. Without the fixed rate the
    // multiplexer schedules a VCD's video too slowly and the decoder buffer runs dry.
    int muxRate;

    // The codec time base's denominator over a numerator of 100: 3000 or 2500.
    int timeBaseDen() const { return static_cast<int>(frameRate * 100.0f + 0.5f); }
};

inline constexpr int kMpegPresetCount = 6;

// The row of mpegType, or null when mpegType is outside 0 to 5.
const MpegOutputPreset* mpegPreset(int mpegType);

} // namespace swivio
