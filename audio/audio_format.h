#pragma once

#include <cstdint>

namespace swivio::audio {

// A PCM wave format record: what an output is opened with and what a listener is told.
struct AudioFormat {
    uint16_t formatTag = 1; // 1: PCM
    uint16_t channels = 2;
    uint32_t samplesPerSecond = 44100;
    uint32_t avgBytesPerSecond = 176400; // samplesPerSecond x blockAlign
    uint16_t blockAlign = 4;             // bytes of one sample frame, all channels
    uint16_t bitsPerSample = 16;
    uint16_t extraSize = 0;

    bool operator==(const AudioFormat&) const = default;
};

// Every output plays 44100 Hz stereo 16-bit sound, samples interleaved left then right.
inline constexpr AudioFormat kOutputFormat{};

} // namespace swivio::audio
