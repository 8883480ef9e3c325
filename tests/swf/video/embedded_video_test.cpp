// Embedded video in a playing movie: streams encoded here with libavcodec's own encoders,
// placed like any object, shown at the frame their ratio names.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "base/frame.h"
#include "clib/ffmpeg_handles.h"
#include "swf/movie.h"
#include "swf/movie_player.h"
#include "swf/avm1/movie_runtime.h"
#include "swf/video/video_stream.h"
#include "tests/support/action_assembler.h"
#include "tests/support/swf_movies.h"

namespace swivio::swf {
namespace {

using namespace swivio::testkit;

constexpr int kVideoWidth = 128, kVideoHeight = 64, kFrames = 7, kBlock = 16;
constexpr uint8_t kH263 = 2, kScreenVideo = 3, kScreenVideo2 = 6;

// Frame i of the test stream: dark blue, with a red block of kBlock pixels at (16 i, 16).
bool inBlock(int frame, int x, int y) {
    return x >= kBlock * frame && x < kBlock * (frame + 1) && y >= 16 && y < 16 + kBlock;
}

// The payloads of the test stream in one codec, a keyframe every third frame.
std::vector<std::vector<uint8_t>> encodeStream(uint8_t codecId, int width = kVideoWidth,
                                               int height = kVideoHeight) {
    const bool h263 = codecId == kH263;
    const AVCodec* codec = avcodec_find_encoder(
        h263 ? AV_CODEC_ID_FLV1
             : (codecId == kScreenVideo ? AV_CODEC_ID_FLASHSV : AV_CODEC_ID_FLASHSV2));
    clib::AvCodecContext c(avcodec_alloc_context3(codec));
    c->width = width;
    c->height = height;
    c->pix_fmt = h263 ? AV_PIX_FMT_YUV420P : AV_PIX_FMT_BGR24;
    c->time_base = {1, 12};
    c->gop_size = 3;
    c->flags |= AV_CODEC_FLAG_QSCALE;
    c->global_quality = FF_QP2LAMBDA * 2;
    c->thread_count = 1;
    std::vector<std::vector<uint8_t>> out;
    if (!codec || avcodec_open2(c.get(), codec, nullptr) < 0)
        return out;
    clib::AvFrame frame(av_frame_alloc());
    clib::AvPacket packet(av_packet_alloc());
    frame->format = c->pix_fmt;
    frame->width = width;
    frame->height = height;
    if (av_frame_get_buffer(frame.get(), 0) < 0)
        return out;
    for (int i = 0; i < kFrames; ++i) {
        if (av_frame_make_writable(frame.get()) < 0)
            return out;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const bool red = inBlock(i, x, y);
                if (h263) {
                    // BT.601 studio range: red (81, 90, 240), dark blue (29, 184, 122).
                    frame->data[0][y * frame->linesize[0] + x] = red ? 81 : 29;
                    if (x % 2 == 0 && y % 2 == 0) {
                        frame->data[1][y / 2 * frame->linesize[1] + x / 2] = red ? 90 : 184;
                        frame->data[2][y / 2 * frame->linesize[2] + x / 2] = red ? 240 : 122;
                    }
                } else {
                    uint8_t* p = frame->data[0] + y * frame->linesize[0] + x * 3;
                    p[0] = red ? 0 : 128;
                    p[1] = 0;
                    p[2] = red ? 255 : 0;
                }
            }
        frame->pts = i;
        if (avcodec_send_frame(c.get(), frame.get()) < 0)
            return out;
        while (avcodec_receive_packet(c.get(), packet.get()) == 0) {
            out.emplace_back(packet->data, packet->data + packet->size);
            av_packet_unref(packet.get());
        }
    }
    return out;
}

struct Placement {
    double scale = 1;
    int32_t x = 20, y = 10; // pixels
};

// A 200 x 100 white stage whose frame i shows frame i of the stream (ratio i), placed as
// "vid"; script runs on the first frame.
std::shared_ptr<const Movie> videoMovie(uint8_t codecId,
                                        const std::vector<std::vector<uint8_t>>& payloads,
                                        const Placement& placement,
                                        const std::vector<uint8_t>& script = {}) {
    SwfWriter w;
    w.version = 8;
    w.xMax = 200 * 20;
    w.yMax = 100 * 20;
    w.frameCount = uint16_t(payloads.size());
    w.backgroundColor(255, 255, 255);
    SwfBits define;
    define.u16(1).u16(uint16_t(payloads.size())).u16(kVideoWidth).u16(kVideoHeight);
    define.u8(0).u8(codecId);
    w.tag(uint16_t(60), define.data());
    for (std::size_t i = 0; i < payloads.size(); ++i) {
        SwfBits frame;
        frame.u16(1).u16(uint16_t(i)).bytes(payloads[i]);
        w.tag(uint16_t(61), frame.data());
        Place p = Place().at(1).scale(placement.scale, placement.scale);
        p.translate(placement.x * 20, placement.y * 20);
        p.ratio = uint16_t(i);
        if (i == 0) {
            p.of(1);
            p.name = "vid";
        } else {
            p.moving();
        }
        place(w, p);
        if (i == 0 && !script.empty())
            w.tag(TagCode::DoAction, script);
        w.showFrame();
    }
    w.end();
    auto movie = Movie::load(w.build());
    EXPECT_TRUE(movie.ok()) << movie.message();
    return movie ? *movie : nullptr;
}

// Which frame's picture the player shows: the one whose block is red, or -1 for none (or
// for more than one, a smear).
int shownFrame(MoviePlayer& player, const Placement& placement) {
    Frame frame(200, 100);
    player.render(frame, player.viewport(200, 100));
    int shown = -1;
    for (int i = 0; i < kFrames; ++i) {
        const int x = placement.x + int((kBlock * i + kBlock / 2) * placement.scale);
        const int y = placement.y + int((16 + kBlock / 2) * placement.scale);
        const uint32_t c = frame.pixel(x, y);
        if (colorRed(c) > 200 && colorBlue(c) < 60) {
            if (shown != -1)
                return -1;
            shown = i;
        } else if (!(colorRed(c) < 60 && colorBlue(c) > 90)) {
            return -2; // neither the block nor the video's background: not drawn there
        }
    }
    // Outside the video, the stage.
    EXPECT_EQ(frame.pixel(placement.x - 2, placement.y - 2), makeColor(255, 255, 255));
    return shown;
}

class EmbeddedVideo : public testing::TestWithParam<uint8_t> {
protected:
    void SetUp() override {
        m_payloads = encodeStream(GetParam());
        ASSERT_EQ(int(m_payloads.size()), kFrames);
    }
    std::vector<std::vector<uint8_t>> m_payloads;
};

TEST_P(EmbeddedVideo, EachFrameShowsItsPictureWherePlacedAndScaled) {
    for (const Placement placement : {Placement{}, Placement{0.5, 40, 30}}) {
        MoviePlayer player(videoMovie(GetParam(), m_payloads, placement));
        for (int i = 0; i < kFrames; ++i) {
            player.gotoFrame(i);
            EXPECT_EQ(shownFrame(player, placement), i) << "scale " << placement.scale;
        }
    }
}

TEST_P(EmbeddedVideo, SeeksBackwardsAndForwardsShowTheRightPicture) {
    MoviePlayer player(videoMovie(GetParam(), m_payloads, {}));
    for (int target : {5, 1, 4, 2, 6, 0, 6}) {
        player.gotoFrame(target);
        // Twice: the renderer keeps a picture of what it drew the same way twice.
        for (int pass = 0; pass < 2; ++pass)
            EXPECT_EQ(shownFrame(player, {}), target) << "seek to " << target;
    }
}

TEST_P(EmbeddedVideo, DamagedFrameKeepsThePictureBeforeIt) {
    // Frame 2 is garbage; frame 3 is a keyframe and shows again.
    m_payloads[2] = std::vector<uint8_t>(40, 0xA5);
    MoviePlayer player(videoMovie(GetParam(), m_payloads, {}));
    const int expected[] = {0, 1, 1};
    for (int i = 0; i < 3; ++i) {
        player.gotoFrame(i);
        EXPECT_EQ(shownFrame(player, {}), expected[i]) << "frame " << i;
    }
    player.gotoFrame(3);
    EXPECT_EQ(shownFrame(player, {}), 3);
}

TEST_P(EmbeddedVideo, ScriptsSeeTheDeclaredSizeScaled) {
    testkit::ActionAssembler a;
    for (const char* property : {"_width", "_height"})
        a.push("vid")
            .op(testkit::ActionCode::GetVariable)
            .push(property)
            .op(testkit::ActionCode::GetMember)
            .trace();
    std::vector<std::string> lines;
    MoviePlayer player(videoMovie(GetParam(), m_payloads, {0.5, 40, 30}, a.build()),
                       PlayerOptions{}, [&](avm1::ScriptRuntime& scripts) {
                           scripts.setTraceSink(
                               [&](std::string_view line) { lines.emplace_back(line); });
                       });
    EXPECT_EQ(lines, (std::vector<std::string>{"64", "32"}));
}

INSTANTIATE_TEST_SUITE_P(Codecs, EmbeddedVideo,
                         testing::Values(kH263, kScreenVideo, kScreenVideo2));

// The decoder converts to RGBA rows that may be narrower than the converter's own steps.
TEST(VideoStream, NarrowPicturesDecodeWhole) {
    for (uint8_t codecId : {kH263, kScreenVideo}) {
        const auto payloads = encodeStream(codecId, 2, 50);
        ASSERT_FALSE(payloads.empty()) << "codec " << int(codecId);
        std::vector<video::EncodedVideoFrame> frames;
        for (std::size_t i = 0; i < payloads.size(); ++i)
            frames.push_back({1, int(i), payloads[i]});
        video::VideoStream stream(codecId, 0, frames);
        const video::VideoImage* image = stream.show(kFrames - 1);
        ASSERT_NE(image, nullptr) << "codec " << int(codecId);
        EXPECT_EQ(image->width, 2);
        EXPECT_EQ(image->height, 50);
        EXPECT_EQ(image->pixels.size(), 100u);
    }
}

// Streams that decode to nothing: damaged VP6 (no encoder here to make good frames), and an
// H.263 header declaring a picture far past the size limit.
TEST(VideoStream, UndecodableFramesShowNothing) {
    std::vector<uint8_t> noise(300);
    for (std::size_t i = 0; i < noise.size(); ++i)
        noise[i] = uint8_t(std::rand());
    // Start code, version 0, temporal reference 0, size 1 (16-bit width and height), 65535
    // x 65535, picture type intra.
    const std::vector<uint8_t> huge = {0x00, 0x00, 0x84, 0x00, 0x7F, 0xFF, 0xFF, 0xFF,
                                       0xFF, 0x80, 0,    0,    0,    0,    0,    0};
    struct Case {
        uint8_t codecId;
        std::vector<uint8_t> payload;
    };
    const std::vector<Case> cases = {{4, noise},    {5, noise}, {5, {0, 0}}, {4, {0x00, 0x01}},
                                     {kH263, huge}, {6, noise}, {9, noise}};
    for (const Case& c : cases) {
        std::vector<video::EncodedVideoFrame> frames;
        for (int i = 0; i < 4; ++i)
            frames.push_back({1, i, c.payload});
        video::VideoStream stream(c.codecId, 0, frames);
        for (int n : {0, 3, 1, 2})
            EXPECT_EQ(stream.show(n), nullptr) << "codec " << int(c.codecId);
    }
}

} // namespace
} // namespace swivio::swf
