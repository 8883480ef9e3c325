#include "tests/encode/avi/avi_inspect.h"

#include <cstdio>
#include <cstring>
#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

namespace swivio::testkit {

namespace {

struct InputCloser {
    void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
struct CodecCloser {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameCloser {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketCloser {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
using Input = std::unique_ptr<AVFormatContext, InputCloser>;
using Codec = std::unique_ptr<AVCodecContext, CodecCloser>;
using FramePtr = std::unique_ptr<AVFrame, FrameCloser>;
using PacketPtr = std::unique_ptr<AVPacket, PacketCloser>;

Input openInput(const std::string& path) {
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0)
        return {};
    Input input(raw);
    if (avformat_find_stream_info(input.get(), nullptr) < 0)
        return {};
    return input;
}

Codec openDecoder(const AVStream* st) {
    const AVCodec* dec = avcodec_find_decoder(st->codecpar->codec_id);
    if (!dec)
        return {};
    Codec c(avcodec_alloc_context3(dec));
    avcodec_parameters_to_context(c.get(), st->codecpar);
    if (avcodec_open2(c.get(), dec, nullptr) < 0)
        return {};
    return c;
}

// Sends packets of `type` to a decoder and calls `take` for each decoded frame.
template <typename Take> bool decodeAll(const std::string& path, AVMediaType type, Take take) {
    Input input = openInput(path);
    if (!input)
        return false;
    const int index = av_find_best_stream(input.get(), type, -1, -1, nullptr, 0);
    if (index < 0)
        return false;
    Codec dec = openDecoder(input->streams[index]);
    if (!dec)
        return false;
    PacketPtr pkt(av_packet_alloc());
    FramePtr frame(av_frame_alloc());
    auto drain = [&] {
        while (avcodec_receive_frame(dec.get(), frame.get()) >= 0) {
            take(dec.get(), frame.get());
            av_frame_unref(frame.get());
        }
    };
    while (av_read_frame(input.get(), pkt.get()) >= 0) {
        if (pkt->stream_index == index && avcodec_send_packet(dec.get(), pkt.get()) >= 0)
            drain();
        av_packet_unref(pkt.get());
    }
    avcodec_send_packet(dec.get(), nullptr);
    drain();
    return true;
}

void parseList(std::FILE* f, uint64_t start, uint64_t end, bool keepMovie, bool inMovie,
               std::vector<RiffNode>& out) {
    uint64_t pos = start;
    while (pos + 8 <= end) {
        uint8_t h[12];
        if (fseeko(f, off_t(pos), SEEK_SET) != 0 || std::fread(h, 1, 8, f) != 8)
            return;
        RiffNode node;
        node.id.assign(reinterpret_cast<char*>(h), 4);
        std::memcpy(&node.size, h + 4, 4);
        node.offset = pos;
        if (node.id == "RIFF" || node.id == "LIST") {
            if (std::fread(h + 8, 1, 4, f) != 4)
                return;
            node.type.assign(reinterpret_cast<char*>(h + 8), 4);
            parseList(f, pos + 12, pos + 8 + node.size, keepMovie, inMovie || node.type == "movi",
                      node.children);
        } else if (!inMovie || keepMovie || node.id.rfind("ix", 0) == 0) {
            node.body.resize(node.size);
            if (std::fread(node.body.data(), 1, node.size, f) != node.size)
                node.body.clear();
        }
        out.push_back(std::move(node));
        pos += 8 + uint64_t(node.size) + (node.size & 1);
    }
}

} // namespace

ProbedFile probeFile(const std::string& path) {
    ProbedFile result;
    Input input = openInput(path);
    if (!input) {
        result.error = "libavformat cannot open " + path;
        return result;
    }
    result.opened = true;
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        const AVStream* st = input->streams[i];
        ProbedStream s;
        s.type = av_get_media_type_string(st->codecpar->codec_type);
        s.codec = avcodec_get_name(st->codecpar->codec_id);
        s.codecTag = st->codecpar->codec_tag;
        s.width = st->codecpar->width;
        s.height = st->codecpar->height;
        s.sampleRate = st->codecpar->sample_rate;
        s.channels = st->codecpar->ch_layout.nb_channels;
        s.frameRate = av_q2d(st->avg_frame_rate);
        result.streams.push_back(s);
    }
    PacketPtr pkt(av_packet_alloc());
    while (av_read_frame(input.get(), pkt.get()) >= 0) {
        ProbedStream& s = result.streams.at(std::size_t(pkt->stream_index));
        ++s.packets;
        s.packetBytes += pkt->size;
        av_packet_unref(pkt.get());
    }
    return result;
}

uint32_t DecodedPicture::colorAt(int x, int y) const {
    const uint8_t* p = &rgb[(std::size_t(y) * std::size_t(width) + std::size_t(x)) * 3];
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
}

std::vector<DecodedPicture> decodeVideo(const std::string& path) {
    std::vector<DecodedPicture> pictures;
    const bool ok = decodeAll(path, AVMEDIA_TYPE_VIDEO, [&](AVCodecContext*, AVFrame* frame) {
        DecodedPicture pic;
        pic.width = frame->width;
        pic.height = frame->height;
        pic.rgb.resize(std::size_t(pic.width) * pic.height * 3);
        SwsContext* sws =
            sws_getContext(frame->width, frame->height, AVPixelFormat(frame->format), frame->width,
                           frame->height, AV_PIX_FMT_RGB24, SWS_POINT, nullptr, nullptr, nullptr);
        uint8_t* dst[1] = {pic.rgb.data()};
        const int stride[1] = {pic.width * 3};
        sws_scale(sws, frame->data, frame->linesize, 0, frame->height, dst, stride);
        sws_freeContext(sws);
        pictures.push_back(std::move(pic));
    });
    return ok ? pictures : std::vector<DecodedPicture>{};
}

int64_t decodedAudioSamples(const std::string& path) {
    int64_t samples = 0;
    if (!decodeAll(path, AVMEDIA_TYPE_AUDIO,
                   [&](AVCodecContext*, AVFrame* frame) { samples += frame->nb_samples; }))
        return -1;
    return samples;
}

const RiffNode* RiffNode::find(const std::string& idOrType) const {
    for (const RiffNode& c : children)
        if (c.id == idOrType || c.type == idOrType)
            return &c;
    return nullptr;
}

std::vector<const RiffNode*> RiffNode::all(const std::string& idOrType) const {
    std::vector<const RiffNode*> found;
    for (const RiffNode& c : children)
        if (c.id == idOrType || c.type == idOrType)
            found.push_back(&c);
    return found;
}

uint32_t RiffNode::u32(std::size_t at) const {
    uint32_t v = 0;
    if (at + 4 <= body.size())
        std::memcpy(&v, &body[at], 4);
    return v;
}

uint16_t RiffNode::u16(std::size_t at) const {
    uint16_t v = 0;
    if (at + 2 <= body.size())
        std::memcpy(&v, &body[at], 2);
    return v;
}

std::vector<RiffNode> walkRiff(const std::string& path, bool keepMovieBodies) {
    std::vector<RiffNode> top;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return top;
    fseeko(f, 0, SEEK_END);
    const auto size = uint64_t(ftello(f));
    parseList(f, 0, size, keepMovieBodies, false, top);
    std::fclose(f);
    return top;
}

} // namespace swivio::testkit
