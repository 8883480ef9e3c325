#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/frame.h"
#include "base/result.h"

namespace swivio {

// One compressed (or stored) video frame.
struct VideoPacket {
    std::vector<uint8_t> data;
    bool keyFrame = true;
};

// Turns frames (24-bit, bottom row first, B,G,R) into the chunks of an AVI video stream.
// FourCC 0 stores the frames as they are; any other FourCC compresses through the
// libavcodec encoder the compressor list gives for it.
class VideoCompressor {
public:
    virtual ~VideoCompressor() = default;

    // Makes the compressor for frames of width x height at `rate` / `scale` frames per
    // second, at `quality` (1 to 100, 0: the compressor's usual setting; see
    // libav::openVideoEncoder); never null on success. Fails with the reason when no
    // encoder of that FourCC exists, the size breaks its rule (checkVideoCompressorSize) or
    // it will not open.
    static Result<std::unique_ptr<VideoCompressor>>
    create(uint32_t fourCC, int width, int height, uint32_t scale, uint32_t rate, int quality = 0);

    // The "strf" body of the stream: a 40-byte bitmap header, followed by the encoder's
    // private data when it has any (decoders of such formats need it).
    virtual std::vector<uint8_t> streamFormat() const = 0;
    // The chunk suffix: "db" for stored frames, "dc" for compressed ones.
    virtual const char* chunkSuffix() const = 0;

    // Compresses one frame and appends the packets that became ready (usually exactly one;
    // an encoder with a delay may hold some back until flush). False on failure.
    virtual bool compress(const Frame& frame, std::vector<VideoPacket>& out) = 0;
    // Appends the packets still held back. Called once at the end.
    virtual bool flush(std::vector<VideoPacket>& out) = 0;

    virtual std::string errorString() const = 0;
};

// The 40-byte bitmap information header of a video stream format.
std::vector<uint8_t> bitmapInfoHeader(int width, int height, uint16_t bitCount,
                                      uint32_t compression, uint32_t imageSize,
                                      uint32_t extraBytes = 0);

} // namespace swivio
