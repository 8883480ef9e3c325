#include "encode/avi/video_compressor.h"

#include "base/byte_writer.h"
#include "clib/ffmpeg_encode.h"
#include "encode/avi/jpeg_yuv.h"
#include "encode/avi/libav_video_encoder.h"
#include "encode/avi/riff_avi_file.h"
#include "encode/avi/video_compressor_list.h"

namespace swivio {

namespace {

// Frames stored as they come: the AVI's uncompressed 24-bit format is bottom-up B,G,R.
class StoredFrames final : public VideoCompressor {
public:
    StoredFrames(int width, int height) : m_width(width), m_height(height) {}

    std::vector<uint8_t> streamFormat() const override {
        return bitmapInfoHeader(m_width, m_height, 24, 0, uint32_t(m_width) * m_height * 3);
    }
    const char* chunkSuffix() const override { return "db"; }
    bool compress(const Frame& frame, std::vector<VideoPacket>& out) override {
        out.push_back(VideoPacket{{frame.data(), frame.data() + frame.byteSize()}, true});
        return true;
    }
    bool flush(std::vector<VideoPacket>&) override { return true; }
    std::string errorString() const override { return {}; }

private:
    int m_width;
    int m_height;
};

class LibavCompressor final : public VideoCompressor {
public:
    ~LibavCompressor() override {
        if (m_context && !m_flushed)
            libav::drainEncoder(m_context.get());
    }

    Status open(const VideoCompressorInfo& info, int width, int height, uint32_t scale,
                uint32_t rate, int quality) {
        m_fourCC = info.fourCC;
        const AVCodec* codec = avcodec_find_encoder_by_name(info.encoderName.c_str());
        if (!codec)
            return Status::failure("The " + info.name + " encoder is missing.");
        Result<clib::AvCodecContext> context =
            libav::openVideoEncoder(codec, width, height, scale, rate, quality);
        if (!context)
            return Status::failure(context.message());
        m_context = std::move(*context);
        // The list may come from a cache file of an earlier run: what it says is checked.
        if (m_context->codec_tag != info.fourCC)
            return Status::failure("The " + info.name + " encoder writes FourCC " +
                                   fourCcText(m_context->codec_tag) + ", not " +
                                   fourCcText(info.fourCC) + ".");
        m_frame.reset(av_frame_alloc());
        m_packet.reset(av_packet_alloc());
        if (!m_frame || !m_packet)
            return Status::failure("Out of memory.");
        m_frame->format = m_context->pix_fmt;
        m_frame->width = width;
        m_frame->height = height;
        if (av_frame_get_buffer(m_frame.get(), 0) < 0)
            return Status::failure("Out of memory.");
        if (m_context->pix_fmt == AV_PIX_FMT_YUVJ420P)
            return {}; // converted by frameToJpegYuv420
        m_scaler.reset(sws_getContext(width, height, AV_PIX_FMT_BGR24, width, height,
                                      m_context->pix_fmt, SWS_BILINEAR, nullptr, nullptr, nullptr));
        if (!m_scaler)
            return Status::failure("Cannot convert frames for the " + info.name + " encoder.");
        return {};
    }

    std::vector<uint8_t> streamFormat() const override {
        const AVCodecContext* c = m_context.get();
        const uint16_t bits =
            c->bits_per_coded_sample > 0 ? uint16_t(c->bits_per_coded_sample) : uint16_t(24);
        const uint32_t extra = c->extradata ? uint32_t(c->extradata_size) : 0;
        std::vector<uint8_t> format = bitmapInfoHeader(c->width, c->height, bits, m_fourCC,
                                                       uint32_t(c->width) * c->height * 3, extra);
        if (extra)
            format.insert(format.end(), c->extradata, c->extradata + extra);
        return format;
    }
    const char* chunkSuffix() const override { return "dc"; }

    bool compress(const Frame& frame, std::vector<VideoPacket>& out) override {
        if (av_frame_make_writable(m_frame.get()) < 0)
            return fail("Out of memory.");
        if (m_scaler) {
            // The frame is stored bottom row first: start at the top row and step backwards.
            const uint8_t* source[1] = {frame.topRow(0)};
            const int stride[1] = {-int(frame.stride())};
            sws_scale(m_scaler.get(), source, stride, 0, frame.height(), m_frame->data,
                      m_frame->linesize);
        } else {
            frameToJpegYuv420(frame, YuvPlanes{m_frame->data[0], m_frame->data[1], m_frame->data[2],
                                               m_frame->linesize[0], m_frame->linesize[1],
                                               m_frame->linesize[2]});
        }
        m_frame->pts = m_nextPts++;
        m_frame->pict_type = AV_PICTURE_TYPE_I;
        // libavcodec's fixed-quantiser encoders take the quantiser from each frame, not from
        // the context: without this they all code at their finest.
        m_frame->quality = m_context->global_quality;
        return send(m_frame.get(), out);
    }

    bool flush(std::vector<VideoPacket>& out) override {
        if (m_flushed)
            return true;
        m_flushed = true;
        return send(nullptr, out);
    }

    std::string errorString() const override { return m_error; }

private:
    bool fail(std::string text) {
        if (m_error.empty())
            m_error = std::move(text);
        return false;
    }

    bool send(const AVFrame* frame, std::vector<VideoPacket>& out) {
        const clib::EncodeStatus status =
            clib::encodeFrame(m_context.get(), frame, m_packet.get(), [&](AVPacket& packet) {
                out.push_back(VideoPacket{{packet.data, packet.data + packet.size},
                                          (packet.flags & AV_PKT_FLAG_KEY) != 0});
                return true;
            });
        if (!status)
            return fail("The video encoder failed: " + status.text + ".");
        return true;
    }

    uint32_t m_fourCC = 0;
    clib::AvCodecContext m_context;
    clib::AvFrame m_frame;
    clib::AvPacket m_packet;
    clib::SwsContextHandle m_scaler;
    int64_t m_nextPts = 0;
    bool m_flushed = false;
    std::string m_error;
};

} // namespace

Result<std::unique_ptr<VideoCompressor>> VideoCompressor::create(uint32_t fourCC, int width,
                                                                 int height, uint32_t scale,
                                                                 uint32_t rate, int quality) {
    using R = Result<std::unique_ptr<VideoCompressor>>;
    if (fourCC == 0)
        return std::unique_ptr<VideoCompressor>(std::make_unique<StoredFrames>(width, height));
    const VideoCompressorInfo* info = findVideoCompressor(fourCC);
    if (!info)
        return R::failure("No video compressor with FourCC " + fourCcText(fourCC) +
                          " is installed.");
    // Frames of a size the encoder cannot take would be written as pictures nobody decodes.
    if (Status fits = checkVideoCompressorSize(fourCC, width, height); !fits)
        return fits;
    auto compressor = std::make_unique<LibavCompressor>();
    if (Status opened = compressor->open(*info, width, height, scale, rate, quality); !opened)
        return opened;
    return std::unique_ptr<VideoCompressor>(std::move(compressor));
}

std::vector<uint8_t> bitmapInfoHeader(int width, int height, uint16_t bitCount,
                                      uint32_t compression, uint32_t imageSize,
                                      uint32_t extraBytes) {
    std::vector<uint8_t> h;
    ByteWriter(h)
        .u32(40 + extraBytes)
        .u32(uint32_t(width))
        .u32(uint32_t(height)) // positive: rows bottom first
        .u16(1)                // planes
        .u16(bitCount)
        .u32(compression)
        .u32(imageSize)
        .zeros(16); // resolution and colour counts: "not given"
    return h;
}

} // namespace swivio
