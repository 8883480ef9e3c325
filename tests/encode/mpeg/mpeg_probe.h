#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace swivio::testkit {

// What libavformat and libavcodec see in a written file: the independent reading the MPEG
// tests check against.
struct ProbedStream {
    std::string codec; // libavcodec's short name: "mpeg1video", "mp2", "ac3"...
    bool video = false;
    int width = 0;
    int height = 0;
    double frameRate = 0; // from the sequence header
    int frameRateNum = 0; // the same, as libavformat's exact fraction
    int frameRateDen = 0;
    // Width over height of the picture as displayed (pixel aspect applied); 0 when unknown.
    double displayAspect = 0;
    int sampleRate = 0;
    int channels = 0;
    int packets = 0;
    int keyPackets = 0;
    double start = 0; // first presentation time, seconds
    double end = 0;   // last presentation time plus its duration, seconds (pictures: as decoded)
    double duration() const { return end - start; }
};

struct ProbedFile {
    bool opened = false;
    std::string error;
    std::string format;
    std::vector<ProbedStream> streams;
    const ProbedStream* video() const;
    const ProbedStream* audio() const;
};

ProbedFile probeMpeg(const std::string& path);

// Decoded pictures, each top row first as bytes red, green, blue.
struct DecodedPicture {
    int width = 0;
    int height = 0;
    bool intra = false;
    std::vector<uint8_t> rgb;
    uint32_t red(int x, int y) const { return rgb[(std::size_t(y) * width + x) * 3]; }
    uint32_t green(int x, int y) const { return rgb[(std::size_t(y) * width + x) * 3 + 1]; }
    uint32_t blue(int x, int y) const { return rgb[(std::size_t(y) * width + x) * 3 + 2]; }
};
std::vector<DecodedPicture> decodePictures(const std::string& path, int count);

// The whole sound of the file's first audio stream, first channel, as floats, and its rate.
struct DecodedSound {
    int sampleRate = 0;
    std::vector<float> left;
};
DecodedSound decodeSound(const std::string& path);

// Zero crossings per second of a stretch of sound, halved: the frequency of a pure tone.
double toneFrequency(const std::vector<float>& samples, int sampleRate, std::size_t from,
                     std::size_t count);

} // namespace swivio::testkit
