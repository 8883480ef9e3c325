#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace swivio::testkit {

// An FLV video made with libavformat and libavcodec (Sorenson H.263 pictures): picture i
// is a flat grey of level flvGrey(i) (ten levels, repeating), shown at times[i] milliseconds (default: i / rate).
// The sound, when asked for, is 44100 Hz 16-bit stereo PCM whose samples at second t hold
// flvSoundLevel(frame of t at `rate`), so a frame's share of the sound can be recognised.
struct FlvRecipe {
    int width = 64;
    int height = 48;
    int rate = 10;
    int frames = 10;
    std::vector<int> timesMs;
    bool sound = false;
    // Above 0: the sound is instead a 440 Hz tone in Speex (16 kHz mono, libspeex's encoder),
    // this many 20 ms frames to a packet; writeFlv fails when libspeex is missing.
    int speexFramesPerPacket = 0;
    bool metadata = true;
    int keyInterval = 5;
};

bool writeFlv(const std::string& path, const FlvRecipe& recipe);

inline int flvGrey(int picture) { return 20 + (picture % 10) * 22; }
inline int16_t flvSoundLevel(int frame) { return int16_t(100 * (frame + 1)); }

} // namespace swivio::testkit
