// Sound and pictures line up in the output: a sound the movie starts on a frame begins in the
// AVI at that frame's time, to the sample, whatever the output's frame rate.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

extern "C" {
#include <libavformat/avformat.h>
}

#include "tests/cli/cli_runner.h"
#include "tests/support/swf_sounds.h"
#include "tests/support/swf_writer.h"
#include "tests/support/temp_dir.h"

namespace swivio::testkit {
namespace {

struct FormatCloser {
    void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};

// The first sample frame of a 16-bit stereo PCM AVI whose level passes 1000, read with
// libavformat's demuxer; -1 when there is none or the file cannot be read.
int64_t firstLoudSampleFrame(const std::string& path) {
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0)
        return -1;
    std::unique_ptr<AVFormatContext, FormatCloser> format(raw);
    if (avformat_find_stream_info(format.get(), nullptr) < 0)
        return -1;
    const int audio = av_find_best_stream(format.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (audio < 0 || format->streams[audio]->codecpar->codec_id != AV_CODEC_ID_PCM_S16LE ||
        format->streams[audio]->codecpar->ch_layout.nb_channels != 2)
        return -1;
    AVPacket* packet = av_packet_alloc();
    int64_t frames = 0;
    int64_t found = -1;
    while (found < 0 && av_read_frame(format.get(), packet) >= 0) {
        if (packet->stream_index == audio) {
            const auto* samples = reinterpret_cast<const int16_t*>(packet->data);
            const int64_t count = packet->size / 4;
            for (int64_t i = 0; i < count && found < 0; ++i)
                if (std::abs(samples[2 * i]) > 1000)
                    found = frames + i;
            frames += count;
        }
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    return found;
}

// 12 frames at 12 a second; a quarter second of a level starts on frame `startFrame` (0-based).
std::string writeMovie(const TempDir& dir, int startFrame) {
    SwfWriter w;
    w.xMax = 160 * 20;
    w.yMax = 120 * 20;
    w.frameCount = 12;
    const std::vector<int16_t> level(11025, 8000);
    w.tag(14, defineSoundBody(1, 3, 44100, true, false, uint32_t(level.size()),
                              littleEndianBytes(level)));
    for (int f = 0; f < 12; ++f) {
        if (f == startFrame)
            w.tag(15, startSoundBody(1));
        w.showFrame();
    }
    w.end();
    const std::string path = dir.file("start" + std::to_string(startFrame) + ".swf");
    EXPECT_TRUE(w.writeFile(path));
    return path;
}

TEST(SoundTiming, ASoundStartsInTheAviOnItsFramesFirstSample) {
    const struct {
        int startFrame;
        std::vector<std::string> args;
    } cases[] = {
        {0, {}},
        {4, {}},
        {9, {}},
        {4, {"--rate", "25"}},
    };
    TempDir dir;
    for (const auto& c : cases) {
        const std::string out = dir.file("out.avi");
        std::vector<std::string> args = {
            "convert", writeMovie(dir, c.startFrame), "-o", out, "--audio-format", "pcm"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const CliRun run = runCli(dir, args);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        // 44100 / 12 = 3675 sample frames a movie frame.
        EXPECT_EQ(firstLoudSampleFrame(out), int64_t(c.startFrame) * 3675)
            << "start frame " << c.startFrame << (c.args.empty() ? "" : " at 25 frames a second");
        std::remove(out.c_str());
    }
}

} // namespace
} // namespace swivio::testkit
