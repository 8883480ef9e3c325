#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace swivio::testkit {

// What libavformat and libavcodec read from a written AVI or MPEG file: an independent
// check of Swivio's writers.
struct MediaInfo {
    bool opened = false;
    std::string videoCodec, audioCodec; // empty when there is no such stream
    int width = 0, height = 0;
    double frameRate = 0;
    int sampleRate = 0, channels = 0;
    int decodedFrames = 0;        // video frames decoded from the whole file
    double audioSeconds = 0;      // decoded samples / sample rate
    // Pictures of the frames asked for, RGB24 top row first, width x height.
    std::vector<std::vector<uint8_t>> pictures;
};

// Decodes the whole file; keeps the pictures of the video frames listed in `keep` (0-based).
MediaInfo probeMedia(const std::string& path, const std::vector<int>& keep = {});

// The colour at (x, y) of a kept picture, as 0x00BBGGRR.
uint32_t pictureColor(const MediaInfo& info, int picture, int x, int y);

} // namespace swivio::testkit
