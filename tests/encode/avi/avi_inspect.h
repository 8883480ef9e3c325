#pragma once

// Independent readers for the AVI files the tests write: libavformat/libavcodec for what a
// player sees, and a plain RIFF walker for the header fields and the chunk order.

#include <cstdint>
#include <string>
#include <vector>

namespace swivio::testkit {

struct ProbedStream {
    std::string type;  // "video" or "audio"
    std::string codec; // libavcodec's codec name
    uint32_t codecTag = 0;
    int width = 0, height = 0;
    int sampleRate = 0, channels = 0;
    int packets = 0;         // packets read to the end of the file
    int64_t packetBytes = 0; // their bytes
    double frameRate = 0;    // avg_frame_rate
};

struct ProbedFile {
    bool opened = false;
    std::string error;
    std::vector<ProbedStream> streams;
};

ProbedFile probeFile(const std::string& path);

// Decodes the video stream and returns every frame as top-down R,G,B bytes (width * 3 per
// row); empty on failure.
struct DecodedPicture {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
    uint32_t colorAt(int x, int y) const; // 0x00BBGGRR
};
std::vector<DecodedPicture> decodeVideo(const std::string& path);

// Decodes the audio stream; returns the number of samples per channel.
int64_t decodedAudioSamples(const std::string& path);

// One RIFF chunk or list of a file.
struct RiffNode {
    std::string id;      // "RIFF", "LIST" or a chunk id
    std::string type;    // the list type for RIFF/LIST
    uint64_t offset = 0; // of the chunk header
    uint32_t size = 0;
    std::vector<uint8_t> body; // chunks only (not lists), bodies of "movi" chunks skipped
    std::vector<RiffNode> children;

    const RiffNode* find(const std::string& idOrType) const; // direct child
    std::vector<const RiffNode*> all(const std::string& idOrType) const;
    uint32_t u32(std::size_t at) const;
    uint16_t u16(std::size_t at) const;
};
// The top-level RIFF lists of the file.
std::vector<RiffNode> walkRiff(const std::string& path, bool keepMovieBodies = false);

} // namespace swivio::testkit
