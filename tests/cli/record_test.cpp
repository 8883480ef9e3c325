// swivio-cli record: a real-time recording of a generated movie, end to end, read back with
// libavformat.
#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

extern "C" {
#include <libavformat/avformat.h>
}

#include "base/frame.h"
#include "tests/cli/cli_runner.h"
#include "tests/cli/media_probe.h"
#include "tests/support/action_assembler.h"
#include "tests/support/flv_files.h"
#include "tests/support/swf_movies.h"
#include "tests/support/swf_shapes.h"
#include "tests/support/swf_sounds.h"
#include "tests/support/swf_writer.h"
#include "tests/support/temp_dir.h"

namespace swivio::testkit {
namespace {

namespace fs = std::filesystem;

constexpr int kRate = 20;
constexpr int kStep = 2; // pixels the square moves a frame

// 160 x 120 at 20 frames a second for three seconds: a white stage, a 20-pixel blue square
// whose left edge is at 2 x f on frame f, and a tone from the first frame.
std::string writeMovingSquare(const TempDir& dir) {
    SwfWriter w;
    w.xMax = 160 * 20;
    w.yMax = 120 * 20;
    w.frameRate88 = kRate << 8;
    w.frameCount = 3 * kRate;
    const std::vector<int16_t> tone = sineSamples(44100, 2, 44100 * 3, 440);
    w.tag(14, defineSoundBody(1, 3, 44100, true, true, uint32_t(tone.size() / 2),
                              littleEndianBytes(tone)));
    w.tag(TagCode::DefineShape3, rectangleShape(2, 0, 0, 400, 400, 0, 0, 255));
    for (int f = 0; f < w.frameCount; ++f) {
        if (f == 0) {
            w.tag(15, startSoundBody(1));
            place(w, Place().at(1).of(2).translate(0, 50 * 20));
        } else {
            place(w, Place().at(1).moving().translate(f * kStep * 20, 50 * 20));
        }
        w.showFrame();
    }
    w.end();
    const std::string path = dir.file("square.swf");
    EXPECT_TRUE(w.writeFile(path));
    return path;
}

// A red stage that waits on its first frame; a click on the button covering it goes to
// the second frame, which is green.
std::string writeButtonMovie(const TempDir& dir) {
    SwfWriter w;
    w.version = 6;
    w.xMax = 160 * 20;
    w.yMax = 120 * 20;
    w.frameRate88 = kRate << 8;
    w.frameCount = 2;
    w.tag(TagCode::DefineShape3, rectangleShape(1, 0, 0, 3200, 2400, 255, 0, 0));
    w.tag(TagCode::DefineShape3, rectangleShape(3, 0, 0, 3200, 2400, 0, 255, 0));
    SwfBits button;
    button.u16(2).u8(0x0F).u16(1).u16(1).matrix().u8(0);
    button.bytes(ActionAssembler().gotoFrame(1).op(ActionCode::Stop).build());
    w.tag(TagCode::DefineButton, button.data());
    place(w, Place().at(1).of(2));
    w.tag(TagCode::DoAction, ActionAssembler().op(ActionCode::Stop).build());
    w.showFrame();
    place(w, Place().at(2).of(3));
    w.showFrame();
    w.end();
    const std::string path = dir.file("button.swf");
    EXPECT_TRUE(w.writeFile(path));
    return path;
}

// Where the first sample louder than 1000 lies in a 16-bit PCM AVI's sound, in seconds,
// read with libavformat's demuxer; -1 when there is none.
double firstLoudSecond(const std::string& path) {
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0)
        return -1;
    double found = -1;
    const int audio = avformat_find_stream_info(format, nullptr) < 0
                          ? -1
                          : av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (audio >= 0 && format->streams[audio]->codecpar->codec_id == AV_CODEC_ID_PCM_S16LE) {
        const AVCodecParameters* p = format->streams[audio]->codecpar;
        const int channels = p->ch_layout.nb_channels;
        AVPacket* packet = av_packet_alloc();
        int64_t frames = 0;
        while (found < 0 && av_read_frame(format, packet) >= 0) {
            if (packet->stream_index == audio) {
                const auto* samples = reinterpret_cast<const int16_t*>(packet->data);
                const int64_t count = packet->size / (2 * channels);
                for (int64_t i = 0; i < count && found < 0; ++i)
                    if (std::abs(samples[i * channels]) > 1000)
                        found = double(frames + i) / p->sample_rate;
                frames += count;
            }
            av_packet_unref(packet);
        }
        av_packet_free(&packet);
    }
    avformat_close_input(&format);
    return found;
}

// The left edge of the blue square on row 60 of a kept picture; -1 when there is none.
int squareLeft(const MediaInfo& info, int picture) {
    for (int x = 0; x < info.width; ++x) {
        const uint32_t c = pictureColor(info, picture, x, 60);
        if (colorBlue(c) > 160 && colorRed(c) < 100)
            return x;
    }
    return -1;
}

// The pictures and the sound cover the same time, and each picture shows the movie as it
// was at its own time.
TEST(RecordCommand, PicturesAndSoundKeepRealTime) {
    TempDir dir;
    const std::string out = dir.file("out.avi");
    const CliRun run = runCli(dir, {"record", writeMovingSquare(dir), "--seconds", "2.5", "-o", out,
                                    "--audio-format", "pcm", "--work-dir", dir.path().string()});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::vector<int> kept = {0, 10, 20, 30, 40, 49};
    const MediaInfo info = probeMedia(out, kept);
    ASSERT_TRUE(info.opened);
    EXPECT_DOUBLE_EQ(info.frameRate, kRate);
    EXPECT_NEAR(info.decodedFrames, 2.5 * kRate, 1.0);
    EXPECT_NEAR(info.audioSeconds, double(info.decodedFrames) / kRate, 1.0 / kRate + 1e-6);
    // The tone starts with the first picture, however long the audio output holds it back.
    const double tone = firstLoudSecond(out);
    EXPECT_GE(tone, 0);
    EXPECT_LT(tone, 1.0 / kRate);
    ASSERT_EQ(info.pictures.size(), kept.size());
    for (std::size_t i = 0; i < kept.size(); ++i)
        EXPECT_NEAR(squareLeft(info, int(i)), kept[i] * kStep, kStep) << "picture " << kept[i];
    // Only the output is left in the working folder.
    for (const auto& e : fs::directory_iterator(dir.path())) {
        const std::string name = e.path().filename().string();
        EXPECT_TRUE(name.rfind("vid", 0) != 0 && name.rfind("aud", 0) != 0) << name;
    }
}

constexpr int kSyncRate = 30;
// 566.7 ms: just before a picture at every rate tried, so that a late sound shows at once.
constexpr int kChangeFrame = 17;

// 160 x 120 at 30 frames a second: a white stage until frame 17, where a blue square covers
// the middle and a loud level starts, both at once.
std::string writePictureAndSoundChange(const TempDir& dir) {
    SwfWriter w;
    w.xMax = 160 * 20;
    w.yMax = 120 * 20;
    w.frameRate88 = kSyncRate << 8;
    w.frameCount = 2 * kSyncRate;
    const std::vector<int16_t> level(44100, 8000);
    w.tag(14, defineSoundBody(1, 3, 44100, true, false, uint32_t(level.size()),
                              littleEndianBytes(level)));
    w.tag(TagCode::DefineShape3, rectangleShape(2, 0, 0, 1200, 1200, 0, 0, 255));
    for (int f = 0; f < w.frameCount; ++f) {
        if (f == kChangeFrame) {
            w.tag(15, startSoundBody(1));
            place(w, Place().at(1).of(2).translate(60 * 20, 40 * 20));
        }
        w.showFrame();
    }
    w.end();
    const std::string path = dir.file("change.swf");
    EXPECT_TRUE(w.writeFile(path));
    return path;
}

class RecordedSync : public testing::TestWithParam<int> {};

// The square and the sound start on the same movie frame, so in the output the sound begins
// within the output frame before the first picture that shows the square: never after that
// picture, and never more than a frame before it (with a little slack for a late tick).
TEST_P(RecordedSync, TheSoundStartsWithItsPicture) {
    const int rate = GetParam();
    TempDir dir;
    const std::string out = dir.file("out.avi");
    const CliRun run = runCli(dir, {"record", writePictureAndSoundChange(dir), "--seconds", "1.2",
                                    "--rate", std::to_string(rate), "-o", out, "--audio-format",
                                    "pcm", "--work-dir", dir.path().string()});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::vector<int> all(2 * std::size_t(rate));
    for (std::size_t i = 0; i < all.size(); ++i)
        all[i] = int(i);
    const MediaInfo info = probeMedia(out, all);
    ASSERT_TRUE(info.opened);
    EXPECT_NEAR(info.decodedFrames, 1.2 * rate, 1.0);
    int shown = -1;
    for (int i = 0; i < int(info.pictures.size()) && shown < 0; ++i)
        if (colorBlue(pictureColor(info, i, 80, 60)) > 160 &&
            colorRed(pictureColor(info, i, 80, 60)) < 100)
            shown = i;
    ASSERT_GT(shown, 0) << "the square never showed, or showed from the start";
    const double heard = firstLoudSecond(out);
    const double picture = double(shown) / rate;
    EXPECT_LE(heard, picture + 0.01) << "picture " << shown << ", sound from " << heard;
    EXPECT_GE(heard, picture - 1.0 / rate - 0.02)
        << "picture " << shown << ", sound from " << heard;
}

INSTANTIATE_TEST_SUITE_P(Rates, RecordedSync, testing::Values(12, 30));

// A video plays through the same path: its pictures at their times, its sound alongside.
TEST(RecordCommand, AVideoRecordsInRealTimeToo) {
    TempDir dir;
    FlvRecipe recipe;
    recipe.rate = 10;
    recipe.frames = 20;
    recipe.sound = true;
    const std::string video = dir.file("grey.flv");
    ASSERT_TRUE(writeFlv(video, recipe));
    const std::string out = dir.file("out.avi");
    const CliRun run =
        runCli(dir, {"record", video, "--seconds", "1.5", "-o", out, "--audio-format", "pcm"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const MediaInfo info = probeMedia(out, {10});
    ASSERT_TRUE(info.opened);
    EXPECT_NEAR(info.decodedFrames, 15, 1);
    EXPECT_NEAR(info.audioSeconds, double(info.decodedFrames) / recipe.rate,
                1.0 / recipe.rate + 1e-6);
    ASSERT_EQ(info.pictures.size(), 1u);
    // Picture 10 (one second in) shows the video's picture 9, 10 or 11: the ten greys
    // repeat, decoded from the video's studio range.
    const int grey = colorGreen(pictureColor(info, 0, 32, 24));
    int shown = -1;
    for (int i = 0; i < 10; ++i)
        if (std::abs(grey - (flvGrey(i) - 16) * 255.0 / 219.0) < 12)
            shown = i;
    EXPECT_TRUE(shown == 9 || shown == 0 || shown == 1) << "grey " << grey;
}

TEST(RecordCommand, AScriptedClickPressesAButton) {
    TempDir dir;
    const std::string out = dir.file("out.avi");
    const CliRun run = runCli(dir, {"record", writeButtonMovie(dir), "--seconds", "2", "--click",
                                    "80,60@1", "-o", out, "--audio", "none"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const MediaInfo probe = probeMedia(out);
    ASSERT_GT(probe.decodedFrames, 30);
    const MediaInfo info = probeMedia(out, {0, probe.decodedFrames / 2 - 4,
                                            probe.decodedFrames / 2 + 4, probe.decodedFrames - 1});
    ASSERT_EQ(info.pictures.size(), 4u);
    const uint32_t red = makeColor(255, 0, 0), green = makeColor(0, 255, 0);
    EXPECT_EQ(pictureColor(info, 0, 80, 60), red);
    EXPECT_EQ(pictureColor(info, 1, 80, 60), red);
    EXPECT_EQ(pictureColor(info, 2, 80, 60), green);
    EXPECT_EQ(pictureColor(info, 3, 80, 60), green);
}

// An interrupted recording, or one that cannot start, leaves no temporary file and no output.
TEST(RecordCommand, CancelOrFailureLeavesNoFile) {
    TempDir dir;
    const std::string movie = writeMovingSquare(dir);
    const fs::path work = dir.path() / "work";
    fs::create_directory(work);
    const std::string out = dir.file("out.avi");
    const InterruptedRun interrupted = interruptWhileRecording(
        {"record", movie, "--seconds", "60", "-o", out, "--work-dir", work.string()}, work.string(),
        SIGINT);
    EXPECT_TRUE(interrupted.started);
    EXPECT_EQ(interrupted.exitCode, 130);
    EXPECT_TRUE(fs::is_empty(work));
    EXPECT_FALSE(fs::exists(out));

    const CliRun failed = runCli(dir, {"record", movie, "--seconds", "1", "-o", out, "--work-dir",
                                       (dir.path() / "missing").string()});
    EXPECT_NE(failed.exitCode, 0);
    EXPECT_FALSE(fs::exists(out));
    EXPECT_FALSE(fs::exists(dir.path() / "missing"));
}

struct BadArguments {
    std::vector<std::string> args;
    const char* says;
};

class RecordArgumentsRefused : public testing::TestWithParam<BadArguments> {};

TEST_P(RecordArgumentsRefused, SaysWhatIsWrong) {
    TempDir dir;
    std::vector<std::string> args = {"record", writeButtonMovie(dir)};
    args.insert(args.end(), GetParam().args.begin(), GetParam().args.end());
    const CliRun run = runCli(dir, args);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find(GetParam().says), std::string::npos) << run.err;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RecordArgumentsRefused,
    testing::Values(BadArguments{{}, "--seconds N"}, BadArguments{{"--seconds", "0"}, "--seconds"},
                    BadArguments{{"--seconds", "nan"}, "--seconds"},
                    BadArguments{{"--seconds", "1", "--click", "5@1"}, "--click takes"},
                    BadArguments{{"--seconds", "1", "--click", "5,5@-1"}, "--click takes"},
                    BadArguments{{"--seconds", "1", "--play"}, "real time"}));

} // namespace
} // namespace swivio::testkit
