#include "swf/video/video_decoder.h"

#include <cstring>

#include "clib/ffmpeg_handles.h"

extern "C" {
#include <libavutil/pixdesc.h>
}

namespace swivio::swf::video {

namespace {

// Reads bits most significant first; past the end it reads zeros and says so.
class BitReader {
public:
    explicit BitReader(std::span<const uint8_t> data) : m_data(data) {}
    uint32_t bits(int count) {
        uint32_t v = 0;
        for (int i = 0; i < count; ++i, ++m_pos) {
            const std::size_t byte = m_pos / 8;
            if (byte >= m_data.size()) {
                m_past = true;
                v <<= 1;
                continue;
            }
            v = (v << 1) | ((m_data[byte] >> (7 - m_pos % 8)) & 1u);
        }
        return v;
    }
    bool ok() const { return !m_past; }

private:
    std::span<const uint8_t> m_data;
    std::size_t m_pos = 0;
    bool m_past = false;
};

// Sorenson H.263: the picture type follows the start code, version, temporal reference and
// the picture size (with its optional explicit width and height).
bool h263KeyFrame(std::span<const uint8_t> data) {
    BitReader in(data);
    if (in.bits(17) != 1)
        return false;
    in.bits(5 + 8);
    const uint32_t size = in.bits(3);
    if (size == 0)
        in.bits(16);
    else if (size == 1)
        in.bits(32);
    return in.bits(2) == 0 && in.ok();
}

// Screen Video 1 and 2: a frame stands alone when every block carries its pixels (an empty
// block keeps the previous frame's) and, in version 2, none is a difference from the
// previous frame or primed with it.
bool screenKeyFrame(std::span<const uint8_t> data, bool version2) {
    BitReader in(data);
    const uint32_t blockWidth = (in.bits(4) + 1) * 16;
    const uint32_t width = in.bits(12);
    const uint32_t blockHeight = (in.bits(4) + 1) * 16;
    const uint32_t height = in.bits(12);
    if (!in.ok() || width == 0 || height == 0)
        return false;
    std::size_t pos = 4;
    if (version2)
        ++pos; // the image flags
    const uint32_t blocks =
        ((width + blockWidth - 1) / blockWidth) * ((height + blockHeight - 1) / blockHeight);
    for (uint32_t i = 0; i < blocks; ++i) {
        if (pos + 2 > data.size())
            return false;
        const std::size_t size = (std::size_t(data[pos]) << 8) | data[pos + 1];
        pos += 2;
        if (size == 0)
            return false;
        if (pos >= data.size() || (version2 && (data[pos] & 0x05) != 0))
            return false;
        pos += size;
    }
    return true;
}

AVCodecID codecFor(uint8_t codecId) {
    switch (VideoCodec(codecId)) {
    case VideoCodec::SorensonH263:
        return AV_CODEC_ID_FLV1;
    case VideoCodec::ScreenVideo:
        return AV_CODEC_ID_FLASHSV;
    case VideoCodec::Vp6:
        return AV_CODEC_ID_VP6F;
    case VideoCodec::Vp6Alpha:
        return AV_CODEC_ID_VP6A;
    case VideoCodec::ScreenVideo2:
        return AV_CODEC_ID_FLASHSV2;
    }
    return AV_CODEC_ID_NONE;
}

} // namespace

bool isKeyFrame(uint8_t codecId, std::span<const uint8_t> payload) {
    switch (VideoCodec(codecId)) {
    case VideoCodec::SorensonH263:
        return h263KeyFrame(payload);
    case VideoCodec::ScreenVideo:
        return screenKeyFrame(payload, false);
    case VideoCodec::ScreenVideo2:
        return screenKeyFrame(payload, true);
    case VideoCodec::Vp6:
        return !payload.empty() && (payload[0] & 0x80) == 0;
    case VideoCodec::Vp6Alpha:
        // The colour data follows the 24-bit offset of the alpha data.
        return payload.size() > 3 && (payload[3] & 0x80) == 0;
    }
    return false;
}

struct VideoDecoder::State {
    uint8_t codecId = 0;
    uint8_t deblocking = 0;
    clib::AvCodecContext context;
    clib::AvFrame frame;
    clib::AvPacket packet;
    clib::SwsContextHandle scaler;
    clib::AvFrame rgba; // the scaler's output
    int scalerWidth = 0, scalerHeight = 0, scalerFormat = -1;

    Status openContext() {
        const AVCodec* codec = avcodec_find_decoder(codecFor(codecId));
        if (!codec)
            return Status::failure("no decoder for video codec " + std::to_string(codecId));
        context.reset(avcodec_alloc_context3(codec));
        if (!context)
            return Status::failure("out of memory");
        context->thread_count = 1; // frames come out as they go in
        context->max_pixels = kMaxVideoPixels;
        context->flags |= AV_CODEC_FLAG_LOW_DELAY;
        // Deblocking 1 turns the filter off; 0 leaves it to the stream, the rest turn it on.
        if (deblocking == 1)
            context->skip_loop_filter = AVDISCARD_ALL;
        if (const int rc = avcodec_open2(context.get(), codec, nullptr); rc < 0)
            return Status::failure("video decoder: " + clib::ffmpegErrorText(rc));
        return {};
    }
};

VideoDecoder::VideoDecoder(std::unique_ptr<State> state) : m_state(std::move(state)) {}
VideoDecoder::~VideoDecoder() = default;

Result<std::unique_ptr<VideoDecoder>> VideoDecoder::open(uint8_t codecId, uint8_t deblocking) {
    if (codecFor(codecId) == AV_CODEC_ID_NONE)
        return Status::failure("unknown video codec " + std::to_string(codecId));
    auto state = std::make_unique<State>();
    state->codecId = codecId;
    state->deblocking = deblocking;
    if (Status opened = state->openContext(); !opened)
        return opened;
    state->frame.reset(av_frame_alloc());
    state->packet.reset(av_packet_alloc());
    if (!state->frame || !state->packet)
        return Status::failure("out of memory");
    return std::unique_ptr<VideoDecoder>(new VideoDecoder(std::move(state)));
}

void VideoDecoder::reset() {
    // A fresh context: some decoders keep reference pictures across a flush.
    if (!m_state->openContext())
        m_state->context.reset();
}

Status VideoDecoder::decode(std::span<const uint8_t> payload, bool keyFrame, VideoImage& out) {
    State& s = *m_state;
    if (!s.context)
        return Status::failure("video decoder closed");
    if (payload.empty())
        return Status::failure("empty video frame");
    if (payload.size() > std::size_t(INT32_MAX) - AV_INPUT_BUFFER_PADDING_SIZE)
        return Status::failure("video frame too large");
    av_packet_unref(s.packet.get());
    if (av_new_packet(s.packet.get(), int(payload.size())) < 0)
        return Status::failure("out of memory");
    std::memcpy(s.packet->data, payload.data(), payload.size());
    if (keyFrame)
        s.packet->flags |= AV_PKT_FLAG_KEY;
    if (const int rc = avcodec_send_packet(s.context.get(), s.packet.get()); rc < 0)
        return Status::failure("video frame: " + clib::ffmpegErrorText(rc));
    av_frame_unref(s.frame.get());
    if (const int rc = avcodec_receive_frame(s.context.get(), s.frame.get()); rc < 0)
        return Status::failure("video frame: " + clib::ffmpegErrorText(rc));
    const AVFrame& f = *s.frame;
    if (f.width <= 0 || f.height <= 0 || int64_t(f.width) * f.height > kMaxVideoPixels)
        return Status::failure("video frame size out of range");
    if (!s.scaler || s.scalerWidth != f.width || s.scalerHeight != f.height ||
        s.scalerFormat != f.format) {
        s.scaler.reset(sws_getContext(f.width, f.height, AVPixelFormat(f.format), f.width, f.height,
                                      AV_PIX_FMT_RGBA, SWS_POINT, nullptr, nullptr, nullptr));
        s.scalerWidth = f.width;
        s.scalerHeight = f.height;
        s.scalerFormat = f.format;
        if (!s.scaler)
            return Status::failure("video frame: unsupported pixel format");
    }
    // swscale may write past the end of a row, so it fills a padded picture of its own.
    if (!s.rgba || s.rgba->width != f.width || s.rgba->height != f.height) {
        s.rgba.reset(av_frame_alloc());
        if (!s.rgba)
            return Status::failure("out of memory");
        s.rgba->format = AV_PIX_FMT_RGBA;
        s.rgba->width = f.width;
        s.rgba->height = f.height;
        if (av_frame_get_buffer(s.rgba.get(), 0) < 0) {
            s.rgba.reset();
            return Status::failure("out of memory");
        }
    }
    if (sws_scale(s.scaler.get(), f.data, f.linesize, 0, f.height, s.rgba->data,
                  s.rgba->linesize) != f.height)
        return Status::failure("video frame: conversion failed");
    std::vector<uint32_t> pixels(std::size_t(f.width) * f.height);
    for (int y = 0; y < f.height; ++y)
        std::memcpy(pixels.data() + std::size_t(y) * f.width,
                    s.rgba->data[0] + std::ptrdiff_t(y) * s.rgba->linesize[0],
                    std::size_t(f.width) * 4);
    const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(AVPixelFormat(f.format));
    const bool alpha = desc && (desc->flags & AV_PIX_FMT_FLAG_ALPHA);
    if (alpha) {
        // Premultiply, as the renderer expects.
        for (uint32_t& p : pixels) {
            auto* b = reinterpret_cast<uint8_t*>(&p);
            const unsigned a = b[3];
            for (int i = 0; i < 3; ++i)
                b[i] = uint8_t((b[i] * a + 127) / 255);
        }
    }
    out.width = f.width;
    out.height = f.height;
    out.pixels = std::move(pixels);
    out.opaque = !alpha;
    return {};
}

} // namespace swivio::swf::video
