#pragma once

// Sound tags and sound data for test movies, and measures of what a mixer played.

#include <cstdint>
#include <span>
#include <vector>

namespace swivio::testkit {

// SWF ADPCM at `bits` (2 to 5) bits a sample of interleaved 16-bit samples, written the
// way the format documents it: a 2-bit size, then per block of 4096 sample frames each
// channel's first sample and step index, then the codes.
std::vector<uint8_t> encodeSwfAdpcm(std::span<const int16_t> samples, int channels, int bits);

// Interleaved 16-bit samples of a sine (channel c at frequency * (c + 1)), amplitude 8000.
std::vector<int16_t> sineSamples(uint32_t rate, int channels, uint32_t frames, double frequency = 440);
std::vector<uint8_t> littleEndianBytes(std::span<const int16_t> samples);

// The rate code of the sound flags (0: 5.5 kHz ... 3: 44 kHz).
uint8_t rateCode(uint32_t rate);
// A DefineSound body; seekSamples is written for MP3 only.
std::vector<uint8_t> defineSoundBody(uint16_t id, uint8_t format, uint32_t rate, bool sixteenBit,
                                     bool stereo, uint32_t sampleCount, const std::vector<uint8_t>& data,
                                     int16_t seekSamples = 0);

// SOUNDINFO as StartSound carries it.
struct SoundInfoSpec {
    bool syncStop = false;
    bool noMultiple = false;
    int64_t inPoint = -1;
    int64_t outPoint = -1;
    int loops = -1;
    struct Point {
        uint32_t at;
        uint16_t left, right;
    };
    std::vector<Point> envelope;
};
std::vector<uint8_t> startSoundBody(uint16_t id, const SoundInfoSpec& info = {});
std::vector<uint8_t> soundStreamHeadBody(uint8_t format, uint32_t rate, bool sixteenBit, bool stereo,
                                         uint16_t samplesPerBlock);

// Measures over interleaved stereo floats (sample frames [begin, end) of one channel).
double zeroCrossingFrequency(std::span<const float> samples, int channel, std::size_t begin,
                             std::size_t end, double rate = 44100);
// The first sample frame at which a channel's level reaches threshold, or -1.
int64_t firstLoudFrame(std::span<const float> samples, int channel, float threshold = 0.05f);
// The last such frame, or -1.
int64_t lastLoudFrame(std::span<const float> samples, int channel, float threshold = 0.05f);
// The largest level of a channel over [begin, end).
float peakLevel(std::span<const float> samples, int channel, std::size_t begin, std::size_t end);
std::vector<float> toFloats(std::span<const int16_t> samples);

} // namespace swivio::testkit
