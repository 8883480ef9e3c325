#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "swf/video/video_decoder.h"

namespace swivio::swf::video {

// One VideoFrame tag's body: the stream it belongs to, its frame number and its payload.
struct EncodedVideoFrame {
    uint16_t streamId = 0;
    int number = 0;
    std::span<const uint8_t> payload;
};

// Splits a VideoFrame tag's body; false when it is too short to hold the header.
bool readVideoFrame(std::span<const uint8_t> body, EncodedVideoFrame& out);

// The frames of one embedded video, shown in any order. Going forward decodes the frames
// between; going back (or far forward past a keyframe) decodes from the keyframe before the
// wanted frame, so the picture never mixes in frames that do not lead to it. A frame the
// codec rejects is skipped and the picture stays as it was.
class VideoStream {
public:
    // frames may come in any order; of two with one number the first counts. payloads must
    // outlive the stream.
    VideoStream(uint8_t codecId, uint8_t deblocking, std::vector<EncodedVideoFrame> frames);
    ~VideoStream();
    VideoStream(const VideoStream&) = delete;
    VideoStream& operator=(const VideoStream&) = delete;

    // The picture at frame number (the latest frame at or before it), or null when there is
    // none yet or nothing could be decoded.
    const VideoImage* show(int number);
    // Changes whenever show gives a different picture.
    uint64_t pictureSerial() const { return m_serial; }
    int frameCount() const { return int(m_frames.size()); }

private:
    void decodeFrom(int first, int last);

    uint8_t m_codecId;
    uint8_t m_deblocking;
    std::vector<EncodedVideoFrame> m_frames; // by number
    std::vector<bool> m_keyFrames;
    std::unique_ptr<VideoDecoder> m_decoder;
    bool m_decoderFailed = false;
    int m_decoded = -1; // index of the last frame fed to the decoder
    VideoImage m_image;
    bool m_hasImage = false;
    uint64_t m_serial = 0;
    std::size_t m_reserved = 0; // of the budget all streams share
};

} // namespace swivio::swf::video
