#include "swf/video/video_stream.h"

#include <algorithm>
#include <atomic>

namespace swivio::swf::video {

namespace {

// What the pictures of every stream may hold together, each counted three times (the
// decoder's own frames, the picture, the copy drawn): each stream is bounded by
// kMaxVideoPixels, but a movie may place any number of them.
constexpr std::size_t kPictureBudget = std::size_t(1) << 30;
std::atomic<std::size_t> g_pictureBytes{0};

bool reserve(std::size_t bytes) {
    std::size_t used = g_pictureBytes.load();
    do {
        if (used > kPictureBudget || bytes > kPictureBudget - used)
            return false;
    } while (!g_pictureBytes.compare_exchange_weak(used, used + bytes));
    return true;
}

} // namespace

bool readVideoFrame(std::span<const uint8_t> body, EncodedVideoFrame& out) {
    if (body.size() < 4)
        return false;
    out.streamId = uint16_t(body[0] | (body[1] << 8));
    out.number = body[2] | (body[3] << 8);
    out.payload = body.subspan(4);
    return true;
}

VideoStream::VideoStream(uint8_t codecId, uint8_t deblocking, std::vector<EncodedVideoFrame> frames)
    : m_codecId(codecId), m_deblocking(deblocking), m_frames(std::move(frames)) {
    std::stable_sort(
        m_frames.begin(), m_frames.end(),
        [](const EncodedVideoFrame& a, const EncodedVideoFrame& b) { return a.number < b.number; });
    m_frames.erase(std::unique(m_frames.begin(), m_frames.end(),
                               [](const EncodedVideoFrame& a, const EncodedVideoFrame& b) {
                                   return a.number == b.number;
                               }),
                   m_frames.end());
    m_keyFrames.reserve(m_frames.size());
    for (const EncodedVideoFrame& f : m_frames)
        m_keyFrames.push_back(isKeyFrame(codecId, f.payload));
}

const VideoImage* VideoStream::show(int number) {
    const auto after =
        std::upper_bound(m_frames.begin(), m_frames.end(), number,
                         [](int n, const EncodedVideoFrame& f) { return n < f.number; });
    const int target = int(after - m_frames.begin()) - 1;
    if (target < 0)
        return nullptr;
    if (target != m_decoded) {
        // The keyframe at or before the target; with none, the stream's first frame.
        int key = target;
        while (key > 0 && !m_keyFrames[std::size_t(key)])
            --key;
        if (m_decoded >= key && m_decoded < target)
            decodeFrom(m_decoded + 1, target);
        else {
            if (m_decoder)
                m_decoder->reset();
            m_hasImage = false;
            decodeFrom(key, target);
        }
        ++m_serial;
    }
    return m_hasImage ? &m_image : nullptr;
}

void VideoStream::decodeFrom(int first, int last) {
    if (!m_decoder && !m_decoderFailed) {
        auto opened = VideoDecoder::open(m_codecId, m_deblocking);
        if (opened)
            m_decoder = std::move(*opened);
        else
            m_decoderFailed = true;
    }
    m_decoded = last;
    if (!m_decoder)
        return;
    for (int i = first; i <= last && m_decoder; ++i) {
        VideoImage next;
        if (!m_decoder->decode(m_frames[std::size_t(i)].payload, m_keyFrames[std::size_t(i)], next))
            continue;
        const std::size_t bytes = next.pixels.size() * sizeof(uint32_t) * 3;
        if (bytes != m_reserved) {
            g_pictureBytes -= m_reserved;
            m_reserved = 0;
            if (!reserve(bytes)) {
                // Past the budget the stream shows nothing, and lets go of its decoder's
                // frames too.
                m_decoder.reset();
                m_decoderFailed = true;
                m_hasImage = false;
                m_image = {};
                return;
            }
            m_reserved = bytes;
        }
        m_image = std::move(next);
        m_hasImage = true;
    }
}

VideoStream::~VideoStream() {
    g_pictureBytes -= m_reserved;
}

} // namespace swivio::swf::video
