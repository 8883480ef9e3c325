// The movie's own sound in conversions: recorded frame by frame, as long as the pictures.
#include <gtest/gtest.h>

#include "tests/cli/cli_runner.h"
#include "tests/cli/media_probe.h"
#include "tests/support/swf_sounds.h"
#include "tests/support/swf_writer.h"
#include "tests/support/temp_dir.h"

namespace swivio::testkit {
namespace {

// `frames` frames at 12 a second; with a stream, each frame carries a block of a tone.
std::string writeMovie(const TempDir& dir, const std::string& name, int frames, bool withSound) {
    SwfWriter w;
    w.xMax = 160 * 20;
    w.yMax = 120 * 20;
    w.frameCount = uint16_t(frames);
    w.backgroundColor(0, 0, 255);
    if (withSound)
        w.tag(18, soundStreamHeadBody(3, 22050, true, true, 1837));
    const auto tone = sineSamples(22050, 2, uint32_t(frames) * 1838);
    for (int f = 0; f < frames; ++f) {
        if (withSound) {
            const std::span<const int16_t> block(tone.data() + std::size_t(f) * 1838 * 2, 1838 * 2);
            w.tag(19, littleEndianBytes(block));
        }
        w.showFrame();
    }
    w.end();
    const std::string path = dir.file(name);
    EXPECT_TRUE(w.writeFile(path));
    return path;
}

TEST(MovieSoundConversion, OutputsCarryTheMoviesSoundAsLongAsItsPictures) {
    TempDir dir;
    const std::string movie = writeMovie(dir, "tone.swf", 30, true); // 2.5 seconds
    struct Case {
        std::vector<std::string> args;
        std::string file, audioCodec;
        int rate, channels;
    };
    const Case cases[] = {
        {{"--audio-format", "pcm"}, "pcm.avi", "pcm_s16le", 44100, 2},
        {{"--audio-format", "pcm", "--audio-rate", "11025", "--audio-channels", "mono"}, "pcm11.avi",
         "pcm_s16le", 11025, 1},
        {{}, "default.avi", "mp3", 44100, 2},
        {{"--type", "mpeg", "--mpeg-type", "vcd-pal"}, "sound.mpg", "mp2", 44100, 2},
        {{"--size", "160x120"}, "sound.mp4", "aac", 48000, 2},
        {{"--size", "160x120"}, "sound.webm", "opus", 48000, 2},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"convert", movie, "-o", dir.file(c.file)};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const CliRun run = runCli(dir, args);
        ASSERT_EQ(run.exitCode, 0) << c.file << ": " << run.err;
        const MediaInfo info = probeMedia(dir.file(c.file));
        ASSERT_TRUE(info.opened) << c.file;
        EXPECT_EQ(info.audioCodec, c.audioCodec) << c.file;
        EXPECT_EQ(info.channels, c.channels) << c.file;
        if (!c.file.ends_with(".mpg")) {
            EXPECT_EQ(info.sampleRate, c.rate) << c.file;
            EXPECT_EQ(info.decodedFrames, 30) << c.file;
        }
        // Sound and pictures agree in length (MP3, MP2, AAC and Opus round up to whole frames
        // of theirs).
        const double slack = c.audioCodec.starts_with("pcm") ? 1.0 / c.rate : 0.08;
        EXPECT_NEAR(info.audioSeconds, 2.5, slack) << c.file;
    }
}

TEST(MovieSoundConversion, SilentMovieHasNoSoundUnlessAskedAndThenWarns) {
    TempDir dir;
    const std::string movie = writeMovie(dir, "quiet.swf", 12, false);
    CliRun run = runCli(dir, {"convert", movie, "-o", dir.file("quiet.avi")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(probeMedia(dir.file("quiet.avi")).audioCodec, "");
    run = runCli(dir, {"convert", movie, "-o", dir.file("asked.avi"), "--audio", "movie",
                       "--audio-format", "pcm"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("no sound of its own"), std::string::npos) << run.err;
    const MediaInfo info = probeMedia(dir.file("asked.avi"));
    EXPECT_EQ(info.audioCodec, "pcm_s16le");
    EXPECT_NEAR(info.audioSeconds, 1.0, 1.0 / 44100);
    // A movie with sound keeps none when told so.
    const std::string loud = writeMovie(dir, "loud.swf", 12, true);
    run = runCli(dir, {"convert", loud, "-o", dir.file("none.avi"), "--audio", "none"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(probeMedia(dir.file("none.avi")).audioCodec, "");
}

TEST(MovieSoundConversion, UnplayableSoundIsSkippedWithAWarning) {
    TempDir dir;
    SwfWriter w;
    w.frameCount = 3;
    w.tag(14, defineSoundBody(4, 9, 22050, true, false, 100, std::vector<uint8_t>(200, 7)));
    w.tag(15, startSoundBody(4)).showFrame().showFrame().showFrame().end();
    ASSERT_TRUE(w.writeFile(dir.file("odd.swf")));
    const CliRun run = runCli(dir, {"convert", dir.file("odd.swf"), "-o", dir.file("odd.avi"),
                                    "--audio-format", "pcm"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("warning: The movie's sound: sound 4 cannot be played"), std::string::npos)
        << run.err;
    EXPECT_NEAR(probeMedia(dir.file("odd.avi")).audioSeconds, 0.25, 1.0 / 44100);
}

TEST(MovieSoundInfo, ListsEverySoundWithItsFormatAndLength) {
    TempDir dir;
    SwfWriter w;
    w.frameCount = 24;
    w.tag(18, soundStreamHeadBody(1, 11025, true, false, 918));
    // An event sound of 5512 samples at 5.5 kHz is one second long.
    w.tag(14, defineSoundBody(4, 0, 5512, false, true, 5512, std::vector<uint8_t>(11024, 128)));
    for (int f = 0; f < 24; ++f)
        w.tag(19, {0x80, 0, 0, 0}).showFrame();
    w.end();
    ASSERT_TRUE(w.writeFile(dir.file("both.swf")));
    const CliRun run = runCli(dir, {"info", dir.file("both.swf")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("sounds: 2 (1 event, 1 stream), 3.00 s in all\n"
                           "  event sound 4: PCM, 5512 Hz, stereo, 1.00 s\n"
                           "  stream: ADPCM, 11025 Hz, mono, 2.00 s\n"),
              std::string::npos)
        << run.out;
    const CliRun json = runCli(dir, {"info", dir.file("both.swf"), "--json"});
    EXPECT_NE(json.out.find("{\"kind\": \"stream\", \"id\": 0, \"format\": \"ADPCM\", \"rate\": 11025, "
                            "\"channels\": 1, \"duration\": 2.000}"),
              std::string::npos)
        << json.out;
}

} // namespace
} // namespace swivio::testkit
