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
    // Frames per second written into the stream, exactly: discs play NTSC at 30000/1001 and
    // PAL at 25/1. The encoding loop plans its repeated frames at the same rate, so pictures
    // and sound stay together however long the movie.
    int frameRateNum;
    int frameRateDen;
    // Pictures from one intra picture to the next (PAL 15, NTSC 18) and the B pictures
    // between two reference pictures: the group structure players expect on a disc.
    int gopSize;
    int maxBFrames;
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
    // How far, in microseconds, the first decoding time lies after the first pack's clock;
    // 0 keeps the multiplexer's default. A VCD player starts on 0.44 s.
    int muxPreloadMicros;
    // SVCD players expect room for the scan information in each picture's user data.
    bool scanOffset;
    // A VCD carries a sound stream whatever the movie: without sound it is silence.
    bool needsSound;

    double frameRate() const { return double(frameRateNum) / double(frameRateDen); }
};

// Discs show the whole coded frame at a display aspect of 4:3, whatever its pixel size: a
// pixel is (4 x height) : (3 x width) wide. That is 8:9 for 720 x 480, 16:15 for 720 x 576,
// 10:11 and 12:11 for the VCD sizes, the values of MPEG-1's 525- and 625-line pixel codes.
inline constexpr int kMpegDisplayAspectNum = 4;
inline constexpr int kMpegDisplayAspectDen = 3;

inline constexpr int kMpegPresetCount = 6;

// The row of mpegType, or null when mpegType is outside 0 to 5.
const MpegOutputPreset* mpegPreset(int mpegType);

} // namespace swivio
