// Nellymoser at its fixed rates and at a declared one, and Speex packets of several frames,
// encoded for the test by libavcodec's encoders, decode to their tone.
#include <cmath>

#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/dict.h>
}

#include "swf/sound/sound_decoder.h"
#include "tests/support/swf_sounds.h"

namespace swivio::swf::sound {
namespace {

// One second of a 440 Hz mono tone at `rate`, as the encoder's packets (each its own vector).
// `options` are the encoder's own ("frames_per_packet=3").
std::vector<std::vector<uint8_t>> encodeTonePackets(const char* encoderName, int rate,
                                                    const char* options = "") {
    std::vector<std::vector<uint8_t>> out;
    const AVCodec* codec = avcodec_find_encoder_by_name(encoderName);
    if (!codec)
        return out;
    AVCodecContext* c = avcodec_alloc_context3(codec);
    c->sample_rate = rate;
    c->sample_fmt = codec->sample_fmts[0];
    av_channel_layout_default(&c->ch_layout, 1);
    AVDictionary* dictionary = nullptr;
    av_dict_parse_string(&dictionary, options, "=", ":", 0);
    const int opened = avcodec_open2(c, codec, &dictionary);
    av_dict_free(&dictionary);
    if (opened < 0) {
        avcodec_free_context(&c);
        return out;
    }
    const auto tone = testkit::sineSamples(uint32_t(rate), 1, uint32_t(rate));
    AVFrame* frame = av_frame_alloc();
    AVPacket* packet = av_packet_alloc();
    auto drain = [&]() {
        while (avcodec_receive_packet(c, packet) >= 0) {
            out.emplace_back(packet->data, packet->data + packet->size);
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

// The same tone with the packets laid end to end.
std::vector<uint8_t> encodeTone(const char* encoderName, int rate) {
    std::vector<uint8_t> out;
    for (const auto& packet : encodeTonePackets(encoderName, rate))
        out.insert(out.end(), packet.begin(), packet.end());
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

// A Speex packet of n frames (20 ms each at 16 kHz) decodes to n frames' time, the tone
// lasting to the last of them.
class SpeexPacket : public testing::TestWithParam<int> {};

TEST_P(SpeexPacket, DecodesEveryFrame) {
    const int frames = GetParam();
    const std::string options = "frames_per_packet=" + std::to_string(frames);
    const auto packets = encodeTonePackets("libspeex", 16000, options.c_str());
    if (packets.size() < 2)
        GTEST_SKIP() << "libspeex's encoder is not available";
    // The second packet: the first holds the encoder's warm-up.
    auto decoded = decodeSound(SoundEncoding{11, 5512, true, false}, packets[1]);
    ASSERT_TRUE(decoded.ok()) << decoded.message();
    const std::size_t perFrame = kMixRate / 50;
    EXPECT_NEAR(double(decoded->frames()), double(frames * perFrame), 2.0);
    // The last frame's 20 ms carry the tone, not silence (quietly: a decoder starting afresh
    // on each packet builds up its level over the first frames).
    double energy = 0;
    for (std::size_t i = decoded->frames() - perFrame; i < decoded->frames(); ++i)
        energy += double(decoded->samples[2 * i]) * decoded->samples[2 * i];
    EXPECT_GT(std::sqrt(energy / double(perFrame)), 0.005);
}

INSTANTIATE_TEST_SUITE_P(FramesPerPacket, SpeexPacket, testing::Values(1, 2, 3));

// A Speex stream sound, one packet of two frames to a block, plays its tone at a steady level
// once the codec has settled, each block starting 40 ms after the one before.
TEST(SpeexStream, BlocksPlayOnFromOneAnother) {
    const auto packets = encodeTonePackets("libspeex", 16000, "frames_per_packet=2");
    if (packets.size() < 20)
        GTEST_SKIP() << "libspeex's encoder is not available";
    std::vector<std::span<const uint8_t>> blocks(packets.begin(), packets.end());
    SoundStreamHead head;
    head.formatCode = 11;
    head.rate = 5512;
    head.sixteenBit = true;
    auto stream = decodeStream(head, blocks);
    ASSERT_TRUE(stream.ok()) << stream.message();
    ASSERT_EQ(stream->blockStarts.size(), blocks.size());
    for (std::size_t i = 0; i < blocks.size(); ++i)
        EXPECT_EQ(stream->blockStarts[i], i * 1764) << "block " << i;
    // The tone's level is 8000 / 32768 / sqrt(2), about 0.17; a decoder started afresh on
    // each block stays near 0.03.
    const std::vector<float>& samples = stream->sound.samples;
    const std::size_t from = stream->blockStarts[blocks.size() / 2] * 2;
    double squares = 0;
    for (std::size_t i = from; i < samples.size(); i += 2)
        squares += double(samples[i]) * samples[i];
    EXPECT_GT(std::sqrt(squares / double((samples.size() - from) / 2)), 0.1);
}

} // namespace
} // namespace swivio::swf::sound
