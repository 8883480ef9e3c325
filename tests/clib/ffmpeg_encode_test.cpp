#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "clib/ffmpeg_encode.h"

namespace swivio::clib {
namespace {

using Failure = EncodeStatus::Failure;

enum class Step { Frame, End };

struct ExchangeCase {
    const char* name;
    std::vector<Step> steps; // every step before the last must succeed
    bool consumerTakes;
    Failure lastFailure;
    int packetsSeen; // packets handed to the consumer over all steps
};
class EncodeExchange : public testing::TestWithParam<ExchangeCase> {};

// A raw-video encoder: each frame comes back as one packet at once.
AvCodecContext openRawEncoder() {
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_RAWVIDEO);
    if (!codec)
        return {};
    AvCodecContext context(avcodec_alloc_context3(codec));
    context->width = 4;
    context->height = 4;
    context->pix_fmt = AV_PIX_FMT_GRAY8;
    context->time_base = AVRational{1, 25};
    if (avcodec_open2(context.get(), codec, nullptr) < 0)
        return {};
    return context;
}

TEST_P(EncodeExchange, EndsAsExpected) {
    const ExchangeCase& c = GetParam();
    AvCodecContext encoder = openRawEncoder();
    ASSERT_TRUE(encoder);
    AvFrame frame(av_frame_alloc());
    frame->format = AV_PIX_FMT_GRAY8;
    frame->width = 4;
    frame->height = 4;
    ASSERT_GE(av_frame_get_buffer(frame.get(), 0), 0);
    AvPacket packet(av_packet_alloc());
    int seen = 0;
    const PacketConsumer consume = [&](AVPacket& p) {
        EXPECT_GT(p.size, 0);
        ++seen;
        return c.consumerTakes;
    };
    EncodeStatus status;
    for (std::size_t i = 0; i < c.steps.size(); ++i) {
        if (c.steps[i] == Step::Frame)
            frame->pts = int64_t(i);
        status = encodeFrame(encoder.get(), c.steps[i] == Step::Frame ? frame.get() : nullptr,
                             packet.get(), consume);
        if (i + 1 < c.steps.size()) {
            ASSERT_TRUE(status) << "step " << i << ": " << status.text;
        }
    }
    EXPECT_EQ(status.failure, c.lastFailure);
    EXPECT_EQ(seen, c.packetsSeen);
    std::string error = "left alone";
    EXPECT_EQ(status.report(error, "refused", "failed"), c.lastFailure == Failure::None);
    if (c.lastFailure == Failure::Send) {
        EXPECT_FALSE(status.text.empty());
        EXPECT_EQ(error, "refused: " + status.text);
    } else {
        EXPECT_EQ(error, "left alone");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EncodeExchange,
    testing::Values(
        ExchangeCase{
            "FramesBecomePackets", {Step::Frame, Step::Frame, Step::End}, true, Failure::None, 2},
        ExchangeCase{
            "EndTwiceIsAccepted", {Step::Frame, Step::End, Step::End}, true, Failure::None, 1},
        ExchangeCase{"FrameAfterTheEndIsRefused", {Step::End, Step::Frame}, true, Failure::Send, 0},
        ExchangeCase{"ConsumerStops", {Step::Frame}, false, Failure::Consumer, 1}),
    [](const testing::TestParamInfo<ExchangeCase>& param) {
        return std::string(param.param.name);
    });

} // namespace
} // namespace swivio::clib
