#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
#include <libavutil/pixdesc.h>
}

#include "base/frame.h"
#include "encode/video_file/video_file_writer.h"
#include "tests/support/sound_files.h"
#include "tests/support/temp_dir.h"

namespace swivio {
namespace {

using testkit::TempDir;

[[maybe_unused]] const bool kQuietLibraries = [] {
    av_log_set_level(AV_LOG_ERROR);
    return true;
}();

// What libavformat and libavcodec read back from a written file.
struct ReadBack {
    bool opened = false;
    std::string format;
    std::string videoCodec, audioCodec;
    int width = 0, height = 0;
    AVColorRange range = AVCOL_RANGE_UNSPECIFIED;
    AVColorSpace matrix = AVCOL_SPC_UNSPECIFIED;
    AVColorPrimaries primaries = AVCOL_PRI_UNSPECIFIED;
    AVColorTransferCharacteristic transfer = AVCOL_TRC_UNSPECIFIED;
    int decodedPictures = 0;
    double videoSeconds = 0; // last picture's end minus the first's start
    double soundSeconds = 0; // decoded samples over the rate
    // The first picture's Y, Cb, Cr at the points asked for.
    std::vector<std::array<int, 3>> samples;
};

struct Decoder {
    AVCodecContext* context = nullptr;
    ~Decoder() { avcodec_free_context(&context); }
};

ReadBack readBack(const std::string& path, const std::vector<std::array<int, 2>>& points = {}) {
    ReadBack r;
    AVFormatContext* input = nullptr;
    if (avformat_open_input(&input, path.c_str(), nullptr, nullptr) < 0)
        return r;
    if (avformat_find_stream_info(input, nullptr) < 0) {
        avformat_close_input(&input);
        return r;
    }
    r.opened = true;
    r.format = input->iformat->name;
    Decoder video, audio;
    int videoIndex = -1, audioIndex = -1;
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        const AVCodecParameters* par = input->streams[i]->codecpar;
        const AVCodec* codec = avcodec_find_decoder(par->codec_id);
        Decoder& d = par->codec_type == AVMEDIA_TYPE_VIDEO ? video : audio;
        if (!codec || d.context)
            continue;
        d.context = avcodec_alloc_context3(codec);
        avcodec_parameters_to_context(d.context, par);
        if (avcodec_open2(d.context, codec, nullptr) < 0)
            continue;
        if (par->codec_type == AVMEDIA_TYPE_VIDEO) {
            videoIndex = int(i);
            r.videoCodec = avcodec_get_name(par->codec_id);
            r.width = par->width;
            r.height = par->height;
            r.range = par->color_range;
            r.matrix = par->color_space;
            r.primaries = par->color_primaries;
            r.transfer = par->color_trc;
        } else {
            audioIndex = int(i);
            r.audioCodec = avcodec_get_name(par->codec_id);
        }
    }
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    int64_t samples = 0;
    double firstStart = 1e9, lastEnd = -1e9;
    auto drain = [&](Decoder& d, bool isVideo, const AVStream* stream) {
        while (avcodec_receive_frame(d.context, frame) >= 0) {
            if (!isVideo) {
                samples += frame->nb_samples;
                continue;
            }
            const double tb = av_q2d(stream->time_base);
            const double start = double(frame->best_effort_timestamp) * tb;
            firstStart = std::min(firstStart, start);
            lastEnd = std::max(lastEnd, start + double(frame->pkt_duration) * tb);
            if (r.decodedPictures++ == 0 && frame->format == AV_PIX_FMT_YUV420P)
                for (const auto& p : points)
                    r.samples.push_back({frame->data[0][p[1] * frame->linesize[0] + p[0]],
                                         frame->data[1][p[1] / 2 * frame->linesize[1] + p[0] / 2],
                                         frame->data[2][p[1] / 2 * frame->linesize[2] + p[0] / 2]});
        }
    };
    while (av_read_frame(input, packet) >= 0) {
        const bool isVideo = packet->stream_index == videoIndex;
        if (isVideo || packet->stream_index == audioIndex) {
            Decoder& d = isVideo ? video : audio;
            if (avcodec_send_packet(d.context, packet) >= 0)
                drain(d, isVideo, input->streams[packet->stream_index]);
        }
        av_packet_unref(packet);
    }
    if (videoIndex >= 0) {
        avcodec_send_packet(video.context, nullptr);
        drain(video, true, input->streams[videoIndex]);
    }
    if (audioIndex >= 0) {
        avcodec_send_packet(audio.context, nullptr);
        drain(audio, false, input->streams[audioIndex]);
        r.soundSeconds = double(samples) / audio.context->sample_rate;
    }
    r.videoSeconds = lastEnd - firstStart;
    av_frame_free(&frame);
    av_packet_free(&packet);
    avformat_close_input(&input);
    return r;
}

// Y, Cb, Cr of a studio-range colour under the matrix with luma weights kr and kb.
std::array<double, 3> studioYuv(uint32_t color, double kr, double kb) {
    const double r = colorRed(color) / 255.0, g = colorGreen(color) / 255.0,
                 b = colorBlue(color) / 255.0;
    const double y = kr * r + (1 - kr - kb) * g + kb * b;
    return {16 + 219 * y, 128 + 224 * (b - y) / (2 * (1 - kb)),
            128 + 224 * (r - y) / (2 * (1 - kr))};
}

constexpr uint32_t kBlock = makeColor(200, 80, 40);

// The top-left quarter in kBlock, the rest black: a picture upside down or mirrored cannot
// pass for itself.
Frame blockFrame(int width, int height) {
    Frame frame(width, height);
    frame.fill(makeColor(0, 0, 0));
    for (int y = 0; y < height / 2; ++y)
        for (int x = 0; x < width / 2; ++x)
            frame.setPixel(x, y, kBlock);
    return frame;
}

struct Case {
    const char* name;
    VideoFileContainer container;
    VideoFileCodec codec;
    VideoFileSound sound;
    int width, height;
    const char* format; // libavformat's name for what it reads
    const char* videoCodec;
    const char* audioCodec;
};

class VideoFileWriterTest : public testing::TestWithParam<Case> {};

TEST_P(VideoFileWriterTest, ReadsBackWithItsCodecsFramesSoundAndColours) {
    const Case& c = GetParam();
    TempDir dir;
    const std::string wav = dir.file("sound.wav");
    // Two seconds of sound for less than one second of video: the sound stops with it.
    testkit::writeBytes(wav, testkit::makeWav({}, testkit::sinePcm16(44100, 2, 88200)));
    VideoFileOptions o;
    o.container = c.container;
    o.codec = c.codec;
    o.sound = c.sound;
    o.speed = VideoFileSpeed::Fast;
    o.width = c.width;
    o.height = c.height;
    o.frameRate = 25;
    o.soundPath = wav;
    const std::string out = dir.file("out.video");
    VideoFileWriter writer;
    ASSERT_TRUE(writer.open(out, o)) << writer.errorString();
    constexpr int kFrames = 12;
    const Frame frame = blockFrame(c.width, c.height);
    for (int i = 0; i < kFrames; ++i)
        ASSERT_TRUE(writer.writeFrame(frame)) << writer.errorString();
    ASSERT_TRUE(writer.close()) << writer.errorString();

    const int w = c.width, h = c.height;
    const ReadBack r = readBack(out, {{w / 4, h / 4}, {3 * w / 4, 3 * h / 4}});
    ASSERT_TRUE(r.opened);
    EXPECT_NE(r.format.find(c.format), std::string::npos) << r.format;
    EXPECT_EQ(r.videoCodec, c.videoCodec);
    EXPECT_EQ(r.audioCodec, c.audioCodec);
    EXPECT_EQ(r.width, w);
    EXPECT_EQ(r.height, h);
    EXPECT_EQ(r.decodedPictures, kFrames);
    const double frameTime = 1.0 / 25;
    EXPECT_NEAR(r.videoSeconds, kFrames * frameTime, frameTime / 2);
    EXPECT_NEAR(r.soundSeconds, kFrames * frameTime, frameTime);

    const bool hd = h >= 720;
    EXPECT_EQ(r.range, AVCOL_RANGE_MPEG);
    EXPECT_EQ(r.matrix, hd ? AVCOL_SPC_BT709 : AVCOL_SPC_SMPTE170M);
    EXPECT_EQ(r.primaries, hd ? AVCOL_PRI_BT709 : AVCOL_PRI_SMPTE170M);
    EXPECT_EQ(r.transfer, hd ? AVCOL_TRC_BT709 : AVCOL_TRC_SMPTE170M);
    // The block's values follow the matrix the stream is tagged with.
    ASSERT_EQ(r.samples.size(), 2u);
    const auto expected = hd ? studioYuv(kBlock, 0.2126, 0.0722) : studioYuv(kBlock, 0.299, 0.114);
    for (int k = 0; k < 3; ++k)
        EXPECT_NEAR(r.samples[0][std::size_t(k)], expected[std::size_t(k)], 4) << "component " << k;
    EXPECT_NEAR(r.samples[1][0], 16, 3);
    EXPECT_NEAR(r.samples[1][1], 128, 3);
    EXPECT_NEAR(r.samples[1][2], 128, 3);
}

INSTANTIATE_TEST_SUITE_P(
    Outputs, VideoFileWriterTest,
    testing::Values(Case{"Mp4H264Aac", VideoFileContainer::Mp4, VideoFileCodec::H264,
                         VideoFileSound::Aac, 320, 240, "mp4", "h264", "aac"},
                    Case{"WebmVp9Opus", VideoFileContainer::WebM, VideoFileCodec::Vp9,
                         VideoFileSound::Opus, 320, 240, "webm", "vp9", "opus"},
                    Case{"MkvH265AacHd", VideoFileContainer::Mkv, VideoFileCodec::H265,
                         VideoFileSound::Aac, 1280, 720, "matroska", "hevc", "aac"},
                    Case{"WebmAv1Opus", VideoFileContainer::WebM, VideoFileCodec::Av1,
                         VideoFileSound::Opus, 160, 120, "webm", "av1", "opus"},
                    Case{"Mp4H264OpusHd", VideoFileContainer::Mp4, VideoFileCodec::H264,
                         VideoFileSound::Opus, 1280, 720, "mp4", "h264", "opus"}),
    [](const testing::TestParamInfo<Case>& param) { return std::string(param.param.name); });

// Busy pictures, different in every frame, whose size depends on the quality asked for.
std::uintmax_t sizeAtQuality(const TempDir& dir, VideoFileContainer container, VideoFileCodec codec,
                             int quality) {
    VideoFileOptions o;
    o.container = container;
    o.codec = codec;
    o.quality = quality;
    o.speed = VideoFileSpeed::Fast;
    o.width = 96;
    o.height = 64;
    o.frameRate = 10;
    const std::string out = dir.file("q" + std::to_string(quality) + ".video");
    VideoFileWriter writer;
    EXPECT_TRUE(writer.open(out, o)) << writer.errorString();
    for (int f = 0; f < 5; ++f) {
        Frame frame(o.width, o.height);
        for (int y = 0; y < o.height; ++y)
            for (int x = 0; x < o.width; ++x)
                frame.setPixel(x, y,
                               makeColor(uint8_t(x * 7 + y * 13 + f * 31), uint8_t((x ^ y) * 5),
                                         uint8_t((x * y + f) % 251)));
        EXPECT_TRUE(writer.writeFrame(frame));
    }
    EXPECT_TRUE(writer.close()) << writer.errorString();
    return std::filesystem::file_size(out);
}

TEST(VideoFileWriter, HigherQualityMakesLargerFiles) {
    TempDir dir;
    EXPECT_GT(sizeAtQuality(dir, VideoFileContainer::Mp4, VideoFileCodec::H264, 90),
              2 * sizeAtQuality(dir, VideoFileContainer::Mp4, VideoFileCodec::H264, 10));
    EXPECT_GT(sizeAtQuality(dir, VideoFileContainer::WebM, VideoFileCodec::Vp9, 90),
              2 * sizeAtQuality(dir, VideoFileContainer::WebM, VideoFileCodec::Vp9, 10));
}

// The index of an MP4 file comes before its pictures, so that it plays while it downloads.
TEST(VideoFileWriter, PutsTheMp4IndexFirst) {
    TempDir dir;
    VideoFileOptions o;
    o.width = 64;
    o.height = 48;
    o.frameRate = 10;
    const std::string out = dir.file("out.mp4");
    VideoFileWriter writer;
    ASSERT_TRUE(writer.open(out, o)) << writer.errorString();
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(writer.writeFrame(blockFrame(64, 48)));
    ASSERT_TRUE(writer.close()) << writer.errorString();
    const std::vector<uint8_t> bytes = testkit::readBytes(out);
    std::vector<std::string> boxes;
    for (std::size_t at = 0; at + 8 <= bytes.size();) {
        const uint32_t size = uint32_t(bytes[at]) << 24 | uint32_t(bytes[at + 1]) << 16 |
                              uint32_t(bytes[at + 2]) << 8 | bytes[at + 3];
        boxes.emplace_back(reinterpret_cast<const char*>(&bytes[at + 4]), 4);
        if (size < 8)
            break;
        at += size;
    }
    const auto moov = std::find(boxes.begin(), boxes.end(), "moov");
    const auto mdat = std::find(boxes.begin(), boxes.end(), "mdat");
    ASSERT_NE(moov, boxes.end());
    ASSERT_NE(mdat, boxes.end());
    EXPECT_LT(moov, mdat);
}

TEST(VideoFileWriter, RefusesOddSizesAndWrongFrames) {
    TempDir dir;
    VideoFileOptions o;
    o.width = 63;
    o.height = 48;
    o.frameRate = 10;
    VideoFileWriter odd;
    EXPECT_FALSE(odd.open(dir.file("odd.mp4"), o));
    EXPECT_NE(odd.errorString().find("even"), std::string::npos) << odd.errorString();
    o.width = 64;
    VideoFileWriter writer;
    ASSERT_TRUE(writer.open(dir.file("out.mp4"), o)) << writer.errorString();
    EXPECT_FALSE(writer.writeFrame(blockFrame(32, 48)));
    EXPECT_FALSE(writer.close()); // the refused frame stays a failure
}

// An unreadable sound file leaves the video silent, and the result says so.
TEST(VideoFileWriter, UnreadableSoundGivesASilentVideoAndAWarning) {
    TempDir dir;
    const std::string junk = dir.file("junk.mp3");
    testkit::writeBytes(junk, {'n', 'o', 't', ' ', 's', 'o', 'u', 'n', 'd'});
    VideoFileOptions o;
    o.width = 32;
    o.height = 32;
    o.frameRate = 10;
    o.soundPath = junk;
    auto opened = openVideoFileOutput(dir.file("out.mp4"), o);
    ASSERT_TRUE(opened) << opened.message();
    ASSERT_EQ(opened.warnings().size(), 1u);
    EXPECT_NE(opened.warnings()[0].find("has no sound"), std::string::npos);
    EXPECT_TRUE((*opened)->writeFrame(blockFrame(32, 32), 0));
    ASSERT_TRUE((*opened)->finish()) << (*opened)->errorString();
    const ReadBack r = readBack(dir.file("out.mp4"));
    EXPECT_EQ(r.videoCodec, "h264");
    EXPECT_EQ(r.audioCodec, "");
}

// The file only reaches its name when complete: an abandoned output leaves what was there.
TEST(VideoFileWriter, OutputReplacesTheFileOnlyWhenFinished) {
    TempDir dir;
    const std::string out = dir.file("out.webm");
    testkit::writeBytes(out, {1, 2, 3});
    VideoFileOptions o;
    o.container = VideoFileContainer::WebM;
    o.codec = VideoFileCodec::Vp9;
    o.width = 32;
    o.height = 32;
    o.frameRate = 10;
    auto abandoned = openVideoFileOutput(out, o);
    ASSERT_TRUE(abandoned) << abandoned.message();
    EXPECT_TRUE((*abandoned)->writeFrame(blockFrame(32, 32), 0));
    (*abandoned)->abandon();
    EXPECT_EQ(testkit::readBytes(out), (std::vector<uint8_t>{1, 2, 3}));

    auto finished = openVideoFileOutput(out, o);
    ASSERT_TRUE(finished) << finished.message();
    EXPECT_TRUE((*finished)->writeFrame(blockFrame(32, 32), 0));
    ASSERT_TRUE((*finished)->finish()) << (*finished)->errorString();
    const ReadBack r = readBack(out);
    EXPECT_EQ(r.videoCodec, "vp9");
    EXPECT_EQ(r.decodedPictures, 1);
}

} // namespace
} // namespace swivio
