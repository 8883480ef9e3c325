#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "base/result.h"

namespace swivio::swf::video {

// DefineVideoStream's codec ids.
enum class VideoCodec : uint8_t {
    SorensonH263 = 2,
    ScreenVideo = 3,
    Vp6 = 4,
    Vp6Alpha = 5,
    ScreenVideo2 = 6,
};

// Pictures larger than this are refused, whatever the stream claims: a few bytes of a
// damaged header can ask for 65535 x 65535 pixels.
inline constexpr int kMaxVideoPixels = 4096 * 4096;

// One decoded picture: top row first, each pixel premultiplied R, G, B, A bytes.
struct VideoImage {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
    bool opaque = true;
};

// Whether a frame can be decoded without the frames before it. False for a frame too short
// to tell.
bool isKeyFrame(uint8_t codecId, std::span<const uint8_t> payload);

// One codec's decoder, fed the frames of a stream in order.
class VideoDecoder {
public:
    ~VideoDecoder();
    VideoDecoder(const VideoDecoder&) = delete;
    VideoDecoder& operator=(const VideoDecoder&) = delete;

    // Fails for a codec id this build cannot decode. deblocking is DefineVideoStream's: 1
    // turns the loop filter off.
    static Result<std::unique_ptr<VideoDecoder>> open(uint8_t codecId, uint8_t deblocking = 0);

    // Decodes one VideoFrame payload into out. A frame the codec rejects is an error and
    // leaves out as it was. keyFrame says what isKeyFrame said of it (Screen Video 2 keeps
    // keyframes for the frames after them to refer to).
    Status decode(std::span<const uint8_t> payload, bool keyFrame, VideoImage& out);
    // Forgets the frames decoded so far (before decoding from a keyframe again).
    void reset();

private:
    struct State;
    explicit VideoDecoder(std::unique_ptr<State> state);
    std::unique_ptr<State> m_state;
};

} // namespace swivio::swf::video
