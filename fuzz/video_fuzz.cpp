// VideoFrame payloads of every codec: the first byte picks the codec, then frames follow,
// each a 16-bit little-endian length and its bytes. The frames are shown forwards, then
// backwards, as a timeline seeking through them would.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "swf/video/video_stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    const uint8_t codecId = uint8_t(2 + data[0] % 5);
    std::span<const uint8_t> rest(data + 1, size - 1);
    std::vector<swivio::swf::video::EncodedVideoFrame> frames;
    while (rest.size() >= 2 && frames.size() < 64) {
        const std::size_t length = std::size_t(rest[0] | (rest[1] << 8));
        rest = rest.subspan(2);
        const std::size_t taken = length < rest.size() ? length : rest.size();
        frames.push_back({1, int(frames.size()), rest.first(taken)});
        rest = rest.subspan(taken);
    }
    swivio::swf::video::VideoStream stream(codecId, data[0] >> 7, frames);
    for (int i = 0; i < int(frames.size()); ++i)
        stream.show(i);
    for (int i = int(frames.size()) - 1; i >= 0; --i)
        stream.show(i);
    return 0;
}
