// Nellymoser at its fixed rates and at a declared one, encoded for the test by libavcodec's
// encoder, decodes to its tone.
#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "swf/sound/sound_decoder.h"
#include "tests/support/swf_sounds.h"

namespace swivio::swf::sound {
namespace {

// One second of a 440 Hz mono tone at `rate`, as the encoder's packets laid end to end.
std::vector<uint8_t> encodeTone(const char* encoderName, int rate) {
    std::vector<uint8_t> out;
    const AVCodec* codec = avcodec_find_encoder_by_name(encoderName);
    if (!codec)
        return out;
    AVCodecContext* c = avcodec_alloc_context3(codec);
    c->sample_rate = rate;
    c->sample_fmt = codec->sample_fmts[0];
    av_channel_layout_default(&c->ch_layout, 1);
    if (avcodec_open2(c, codec, nullptr) < 0) {
        avcodec_free_context(&c);
        return out;
    }
    const auto tone = testkit::sineSamples(uint32_t(rate), 1, uint32_t(rate));
    AVFrame* frame = av_frame_alloc();
    AVPacket* packet = av_packet_alloc();
    auto drain = [&]() {
        while (avcodec_receive_packet(c, packet) >= 0) {
            out.insert(out.end(), packet->data, packet->data + packet->size);
            av_packet_unref(packet);
        }
    };
    for (std::size_t at = 0; at + std::size_t(c->frame_size) <= tone.size(); at += std::size_t(c->frame_size)) {
        frame->nb_samples = c->frame_size;
        frame->format = c->sample_fmt;
        av_channel_layout_copy(&frame->ch_layout, &c->ch_layout);
        frame->sample_rate = rate;
        av_frame_get_buffer(frame, 0);
        for (int i = 0; i < c->frame_size; ++i) {
            const float v = float(tone[at + std::size_t(i)]) / 32768.0f;
            if (c->sample_fmt == AV_SAMPLE_FMT_FLT)
                reinterpret_cast<float*>(frame->data[0])[i] = v;
            else
                reinterpret_cast<int16_t*>(frame->data[0])[i] = tone[at + std::size_t(i)];
        }
        avcodec_send_frame(c, frame);
        av_frame_unref(frame);
        drain();
    }
    avcodec_send_frame(c, nullptr);
    drain();
    av_packet_free(&packet);
    av_frame_free(&frame);
    avcodec_free_context(&c);
    return out;
}

struct CodecCase {
    const char* name;
    const char* encoder;
    int encodeRate;
    uint8_t format;
    uint32_t declaredRate;
};

class CodecTone : public testing::TestWithParam<CodecCase> {};

TEST_P(CodecTone, DecodesToTheTone) {
    const CodecCase& c = GetParam();
    const auto data = encodeTone(c.encoder, c.encodeRate);
    if (data.empty())
        GTEST_SKIP() << c.encoder << " is not available";
    auto decoded = decodeSound(SoundEncoding{c.format, c.declaredRate, true, false}, data);
    ASSERT_TRUE(decoded.ok()) << decoded.message();
    EXPECT_NEAR(double(decoded->frames()), 44100.0, 2000.0);
    EXPECT_NEAR(testkit::zeroCrossingFrequency(decoded->samples, 0, 4000, 30000), 440.0, 10.0);
}

INSTANTIATE_TEST_SUITE_P(Codecs, CodecTone,
                         testing::Values(CodecCase{"Nellymoser8k", "nellymoser", 8000, 5, 5512},
                                         CodecCase{"Nellymoser16k", "nellymoser", 16000, 4, 5512},
                                         CodecCase{"Nellymoser22k", "nellymoser", 22050, 6, 22050}),
                         [](const auto& p) { return std::string(p.param.name); });

} // namespace
} // namespace swivio::swf::sound
