#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace swivio::swf::sound {

// One MPEG audio frame header (layers I to III, MPEG 1, 2 and 2.5).
struct Mp3FrameHeader {
    uint32_t sampleRate = 0;
    uint32_t samplesPerFrame = 0;
    uint32_t frameBytes = 0; // the whole frame, header included
    int channels = 0;
};

// The header at the start of bytes, or nullopt when they do not start one (free bitrate
// and reserved fields included: such a frame's length cannot be known).
std::optional<Mp3FrameHeader> readMp3FrameHeader(std::span<const uint8_t> bytes);

// What walking a stream's frames found.
struct Mp3Scan {
    uint32_t frames = 0;
    uint64_t samples = 0;    // per channel, over every frame
    uint32_t sampleRate = 0; // of the first frame
    int channels = 0;
    std::size_t firstFrame = 0; // offset of the first frame
    // The stream's length to the nearest millisecond, less seekSamples from its start.
    uint32_t durationMs(int seekSamples = 0) const;
};

// Walks the frames of an MP3 stream: a leading ID3v2 tag is skipped and bytes that start no
// frame are passed over one by one, so damaged data costs time linear in its size.
Mp3Scan scanMp3Frames(std::span<const uint8_t> bytes);

} // namespace swivio::swf::sound
