// End-to-end conversions through the command line, checked with libavformat/libavcodec.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include <gtest/gtest.h>

#include "tests/cli/cli_runner.h"
#include "tests/cli/media_probe.h"
#include "tests/support/picture_files.h"
#include "tests/support/sound_files.h"
#include "tests/support/swf_movies.h"
#include "tests/support/swf_shapes.h"
#include "tests/support/swf_writer.h"
#include "tests/support/temp_dir.h"


namespace swivio::testkit {
namespace {

constexpr uint32_t kBlue = 0xA00000;  // background, 0x00BBGGRR
constexpr uint32_t kGreen = 0x00A000; // full-stage rectangle: the content area
constexpr uint32_t kRed = 0x0000FF;

// An 800 x 600 movie on a blue background, covered by a green rectangle, with a red
// 100 x 100 square at (200, 150) pixels; `frames` frames at `fps`.
std::string writeSquareMovie(const TempDir& dir, int frames = 4, int fps = 12,
                             const std::string& name = "square.swf") {
    SwfWriter w;
    w.xMax = 800 * 20;
    w.yMax = 600 * 20;
    w.frameRate88 = uint16_t(fps << 8);
    w.frameCount = uint16_t(frames);
    w.backgroundColor(0x00, 0x00, 0xA0);
    w.tag(TagCode::DefineShape3, rectangleShape(1, 0, 0, 800 * 20, 600 * 20, 0, 0xA0, 0));
    w.tag(TagCode::DefineShape3,
          rectangleShape(2, 200 * 20, 150 * 20, 300 * 20, 250 * 20, 0xFF, 0, 0));
    place(w, Place().at(1).of(1));
    place(w, Place().at(2).of(2));
    for (int i = 0; i < frames; ++i)
        w.showFrame();
    w.end();
    const std::string path = dir.file(name);
    EXPECT_TRUE(w.writeFile(path));
    return path;
}

std::vector<std::string> leftovers(const TempDir& dir, const std::string& prefix) {
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        if (e.path().filename().string().rfind(prefix, 0) == 0)
            out.push_back(e.path().filename().string());
    return out;
}

TEST(ConvertCommand, CropScaleAndLetterboxPutTheSquareWhereItBelongs) {
    TempDir dir;
    const std::string movie = writeSquareMovie(dir);
    // A 400 x 400 crop at (100, 50) into 640 x 480: a 480 x 480 content area with 80-pixel
    // bars, scale 1.2; the square lands at x 200..320, y 120..240.
    const CliRun run = runCli(dir, {"convert", movie, "-o", dir.file("out.avi"), "--crop",
                                    "100,50,400,400", "--size", "640x480"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const MediaInfo info = probeMedia(dir.file("out.avi"), {0, 3});
    ASSERT_TRUE(info.opened);
    EXPECT_EQ(info.videoCodec, "rawvideo");
    EXPECT_EQ(info.width, 640);
    EXPECT_EQ(info.height, 480);
    EXPECT_EQ(info.decodedFrames, 4);
    ASSERT_EQ(info.pictures.size(), 2u);
    for (int p = 0; p < 2; ++p) {
        EXPECT_EQ(pictureColor(info, p, 260, 180), kRed);
        EXPECT_EQ(pictureColor(info, p, 205, 125), kRed);
        EXPECT_EQ(pictureColor(info, p, 195, 180), kGreen);
        EXPECT_EQ(pictureColor(info, p, 260, 245), kGreen);
        for (int y : {0, 240, 479}) {
            EXPECT_EQ(pictureColor(info, p, 0, y), kBlue);
            EXPECT_EQ(pictureColor(info, p, 79, y), kBlue);
            EXPECT_EQ(pictureColor(info, p, 81, y), kGreen);
            EXPECT_EQ(pictureColor(info, p, 558, y), kGreen);
            EXPECT_EQ(pictureColor(info, p, 560, y), kBlue);
            EXPECT_EQ(pictureColor(info, p, 639, y), kBlue);
        }
    }
    EXPECT_TRUE(leftovers(dir, "vid").empty());
}

// The square movie letterboxed into a 720p frame: 960 x 720 of content between 160-pixel
// bars of the background's colour, scale 1.2, the square at x 400..520, y 180..300; the
// colours survive BT.709.
TEST(ConvertCommand, HdVideoFileLetterboxesTheMovie) {
    TempDir dir;
    const std::string movie = writeSquareMovie(dir);
    const CliRun run =
        runCli(dir, {"convert", movie, "-o", dir.file("hd.mp4"), "--hd", "720", "--quality", "90"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const MediaInfo info = probeMedia(dir.file("hd.mp4"), {0});
    ASSERT_TRUE(info.opened);
    EXPECT_EQ(info.videoCodec, "h264");
    EXPECT_EQ(info.width, 1280);
    EXPECT_EQ(info.height, 720);
    EXPECT_EQ(info.decodedFrames, 4);
    ASSERT_EQ(info.pictures.size(), 1u);
    struct Point {
        int x, y;
        uint32_t color;
    };
    const Point points[] = {{460, 240, kRed},   {405, 185, kRed},   {390, 240, kGreen},
                            {460, 310, kGreen}, {170, 700, kGreen}, {1110, 20, kGreen},
                            {80, 360, kBlue},   {1200, 360, kBlue}};
    for (const Point& p : points) {
        const uint32_t got = pictureColor(info, 0, p.x, p.y);
        for (int shift : {0, 8, 16})
            EXPECT_NEAR(int(got >> shift & 0xFF), int(p.color >> shift & 0xFF), 16)
                << p.x << ", " << p.y;
    }
}

TEST(ConvertCommand, OutputRateKeepsTheMovieLength) {
    // Two seconds of movie: repeated up to 30 frames a second, or dropped down to 12.
    struct Case {
        int frames, fps;
        const char* rate;
        int outputFrames;
        double outputRate;
    };
    for (const Case& c : {Case{24, 12, "30", 60, 30.0}, Case{48, 24, "12", 24, 12.0}}) {
        TempDir dir;
        const std::string movie = writeSquareMovie(dir, c.frames, c.fps);
        const CliRun run = runCli(dir, {"convert", movie, "--rate", c.rate, "--size", "160x120"});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        // The default output sits beside the movie with the extension replaced.
        const MediaInfo info = probeMedia(dir.file("square.avi"));
        ASSERT_TRUE(info.opened) << c.rate;
        EXPECT_EQ(info.decodedFrames, c.outputFrames) << c.rate;
        EXPECT_NEAR(info.frameRate, c.outputRate, 1e-6) << c.rate;
    }
}

// How many frames each recording choice writes from a four-frame movie at 12 frames a
// second that loops for ever.
TEST(ConvertCommand, RecordingModesWriteTheFramesAskedFor) {
    struct Case {
        std::vector<std::string> options;
        int outputFrames;
    };
    const Case cases[] = {
        {{}, 4},
        {{"--frames", "2-3"}, 2},
        {{"--frames=4-4"}, 1},
        {{"--play", "--frames", "9"}, 9},
        {{"--play", "--duration", "0.5"}, 6},
        {{"--play", "--duration", "2", "--frames", "5"}, 5},
    };
    TempDir dir;
    const std::string movie = writeSquareMovie(dir);
    for (const Case& c : cases) {
        std::vector<std::string> args = {"convert", movie, "--size", "80x60", "-y"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const CliRun run = runCli(dir, args);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const MediaInfo info = probeMedia(dir.file("square.avi"));
        ASSERT_TRUE(info.opened);
        EXPECT_EQ(info.decodedFrames, c.outputFrames) << args.back();
    }
    const CliRun help = runCli(dir, {"convert", "--help"});
    for (const char* option : {"--play", "--frames A-B", "--frames N", "--duration", "10 minutes"})
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
}

TEST(ConvertCommand, WatermarkLandsBesideTheBarsAtItsScaledPlace) {
    TempDir dir;
    const std::string movie = writeSquareMovie(dir, 2);
    const std::string mark = dir.file("mark.bmp");
    writeBytes(mark, makeBmp(24, 20, 10, false, [](int, int) { return 0x00FFFF; }));
    // Crop 400 x 400 into 640 x 480: player 960 x 720 for the 800 x 600 movie, so the mark
    // at (10, 20) of the crop, 50 x 25, is drawn at (80 + 12, 24), 60 x 30.
    const CliRun run = runCli(dir, {"convert", movie, "-o", dir.file("mark.avi"), "--crop",
                                    "100,50,400,400", "--size", "640x480", "--watermark", mark,
                                    "--watermark-rect", "10,20,50,25"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const MediaInfo info = probeMedia(dir.file("mark.avi"), {1});
    ASSERT_EQ(info.pictures.size(), 1u);
    EXPECT_EQ(pictureColor(info, 0, 92, 24), 0x00FFFFu);
    EXPECT_EQ(pictureColor(info, 0, 151, 53), 0x00FFFFu);
    EXPECT_EQ(pictureColor(info, 0, 91, 24), kGreen);
    EXPECT_EQ(pictureColor(info, 0, 152, 53), kGreen);
    EXPECT_EQ(pictureColor(info, 0, 92, 54), kGreen);
}

TEST(ConvertCommand, ImportedSoundGoesIntoAviAndMpegWithItsLength) {
    TempDir dir;
    const std::string movie = writeSquareMovie(dir, 24, 12); // two seconds
    const std::string wav = dir.file("tone.wav");
    writeBytes(wav, makeWav(WavSpec{}, sinePcm16(44100, 2, 44100 * 2)));
    const std::string mp3 = dir.file("tone.mp3");
    writeBytes(mp3, makeMp3(44100, 2, 128, 2.0));

    struct Case {
        std::vector<std::string> args;
        std::string file, audioCodec;
    };
    const Case cases[] = {
        {{"--audio", wav, "--size", "160x120"}, "wav.avi", "pcm_s16le"},
        {{"--audio", mp3, "--size", "160x120"}, "mp3.avi", "mp3"},
        {{"--type", "mpeg", "--mpeg-type", "vcd-pal", "--audio", wav}, "wav.mpg", "mp2"},
        {{"--type", "mpeg", "--mpeg-type", "dvd-ntsc", "--audio", mp3}, "mp3.mpg", "ac3"},
        {{"--audio", wav, "--size", "160x120"}, "wav.mp4", "aac"},
        {{"--audio", mp3, "--size", "160x120"}, "mp3.webm", "opus"},
        {{"--audio", mp3, "--size", "160x120", "--audio-codec", "opus"}, "mp3.mkv", "opus"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"convert", movie, "-o", dir.file(c.file)};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const CliRun run = runCli(dir, args);
        ASSERT_EQ(run.exitCode, 0) << c.file << ": " << run.err;
        const MediaInfo info = probeMedia(dir.file(c.file));
        ASSERT_TRUE(info.opened) << c.file;
        EXPECT_EQ(info.audioCodec, c.audioCodec) << c.file;
        EXPECT_NEAR(info.audioSeconds, 2.0, 0.15) << c.file;
        EXPECT_GT(info.decodedFrames, 0) << c.file;
    }
    // An imported sound file is never deleted.
    EXPECT_TRUE(std::filesystem::exists(wav));
    EXPECT_TRUE(std::filesystem::exists(mp3));
}

// The output's name chooses its type when --type is not given, and refuses a type it
// contradicts; options the output does not use are said, not silently dropped.
TEST(ConvertCommand, OutputNamesChooseTheTypeAndUnusedOptionsAreSaid) {
    TempDir dir;
    const std::string movie = writeSquareMovie(dir, 2);
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string file;   // made by the run, "" for none
        std::string codec;  // what libavcodec decodes its pictures with
        std::string said;   // on standard error
    };
    const Case cases[] = {
        {{"-o", dir.file("anim.gif"), "--size=80x60"}, 0, "anim.gif", "gif", ""},
        {{"-o", dir.file("a.GIF"), "--type", "images", "--image-type", "animated-gif"}, 0, "a.GIF",
         "gif", ""},
        {{"-o", dir.file("disc.mpg"), "--", movie}, 0, "disc.mpg", "mpeg2video", ""},
        {{"-o", dir.file("clip.avi"), "--jpeg-quality", "50", "--size", "80x60"}, 0, "clip.avi",
         "rawvideo", "--jpeg-quality applies to JPEG pictures only"},
        {{"-o", dir.file("x.avi"), "--type", "mpeg"}, 1, "", "", "does not fit"},
        {{"-o", dir.file("y.gif"), "--image-type", "png"}, 1, "", "", "does not fit"},
        {{"-o", dir.file("shots.png"), "--size", "80x60"}, 0, "shots/0.png", "png", ""},
        {{"-o", dir.file("s.JPG"), "--type", "images", "--size", "80x60"}, 0, "s/1.jpg", "mjpeg",
         ""},
        {{"-o", dir.file("g.gif"), "--image-type", "gif", "--size", "80x60"}, 0, "g/0.gif", "gif",
         ""},
        {{"-o", dir.file("one.JPG"), "--type", "avi"}, 1, "", "", "does not fit"},
        {{"-o", dir.file("one.bmp"), "--image-type", "png"}, 1, "", "", "does not fit"},
        {{"-o", dir.file(".png")}, 1, "", "", "no name before its extension"},
        {{"-o", dir.file("clip.mp4"), "--size", "80x60"}, 0, "clip.mp4", "h264", ""},
        {{"-o", dir.file("clip.MKV"), "--size", "80x60", "--video-codec", "h265"}, 0,
         "clip.MKV", "hevc", ""},
        {{"-o", dir.file("clip.webm"), "--size", "80x60", "--preset", "fast"}, 0, "clip.webm",
         "vp9", ""},
        {{"-o", dir.file("v.avi"), "--size", "80x60", "--video-codec", "h264"}, 0, "v.avi",
         "rawvideo", "--video-codec applies to MP4, MKV and WebM output only"},
        {{"-o", dir.file("x.mkv"), "--type", "mp4"}, 1, "", "", "does not fit"},
        {{"-o", dir.file("x.webm"), "--type", "avi"}, 1, "", "", "does not fit"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"convert"};
        if (std::find(c.args.begin(), c.args.end(), "--") == c.args.end())
            args.push_back(movie);
        args.insert(args.end(), c.args.begin(), c.args.end());
        const CliRun run = runCli(dir, args);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.args[1] << ": " << run.err;
        EXPECT_NE(run.err.find(c.said), std::string::npos) << c.args[1] << ": " << run.err;
        if (c.file.empty())
            continue;
        EXPECT_TRUE(std::filesystem::is_regular_file(dir.file(c.file))) << c.file;
        const MediaInfo media = probeMedia(dir.file(c.file));
        ASSERT_TRUE(media.opened) << c.file;
        EXPECT_EQ(media.videoCodec, c.codec) << c.file;
        EXPECT_GT(media.decodedFrames, 0) << c.file;
    }
}

TEST(ConvertCommand, GifPaletteChoosesTheColours) {
    // The green content area is no colour of the standard palette: the adaptive palette
    // (the default) keeps it exactly, the standard one cannot.
    struct Case {
        std::vector<std::string> palette;
        bool exactGreen;
    };
    const Case cases[] = {
        {{}, true}, {{"--gif-palette", "adaptive"}, true}, {{"--gif-palette", "standard"}, false}};
    for (const Case& c : cases) {
        TempDir dir;
        const std::string movie = writeSquareMovie(dir, 2);
        std::vector<std::string> args = {
            "convert",      movie,    "--type",  "images", "--image-type",
            "animated-gif", "--size", "160x120", "-o",     dir.path().string()};
        args.insert(args.end(), c.palette.begin(), c.palette.end());
        const CliRun run = runCli(dir, args);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const auto shown = composeGifFrames(readGifFile(dir.file("square.gif")));
        ASSERT_FALSE(shown.empty());
        // (10, 10) lies in the green area, away from the red square.
        for (const DecodedPicture& picture : shown)
            EXPECT_EQ(picture.at(10, 10) == kGreen, c.exactGreen)
                << std::hex << picture.at(10, 10) << " " << args.back();
    }
}

// Compressors chosen by the FourCC the list prints ("0" for uncompressed, "tga" for the
// Targa FourCC "tga "), with and without a quality, write files that decode in full.
TEST(ConvertCommand, CodecsListedAreAcceptedAndDecode) {
    TempDir dir;
    const std::string movie = writeSquareMovie(dir);
    const CliRun list = runCli(dir, {"convert", "--list-codecs"});
    ASSERT_EQ(list.exitCode, 0) << list.err;
    struct Case {
        std::vector<std::string> codec;
        std::string listed; // the start of its line in --list-codecs
        std::string decodedAs;
    };
    const Case cases[] = {
        {{"--codec", "0"}, "0      Uncompressed", "rawvideo"},
        {{"--codec", "tga"}, "tga    targa", "targa"},
        {{"--codec", "MJPG", "--quality", "20"}, "MJPG   mjpeg", "mjpeg"},
    };
    for (const Case& c : cases) {
        EXPECT_NE(("\n" + list.out).find("\n" + c.listed), std::string::npos) << c.listed;
        std::vector<std::string> args = {"convert", movie, "-o", dir.file("c.avi"), "-y"};
        args.insert(args.end(), c.codec.begin(), c.codec.end());
        const CliRun run = runCli(dir, args);
        ASSERT_EQ(run.exitCode, 0) << c.codec[1] << ": " << run.err;
        const MediaInfo info = probeMedia(dir.file("c.avi"));
        ASSERT_TRUE(info.opened) << c.codec[1];
        EXPECT_EQ(info.videoCodec, c.decodedAs);
        EXPECT_EQ(info.decodedFrames, 4) << c.codec[1];
    }
}

TEST(ConvertCommand, BadArgumentsAndMoviesFailWithAMessage) {
    TempDir dir;
    const std::string movie = writeSquareMovie(dir, 2);
    writeBytes(dir.file("junk.swf"), {'N', 'O', 'T', 'A', 'M', 'O', 'V', 'I', 'E'});
    const std::string wav8 = dir.file("eight.wav");
    WavSpec eight;
    eight.bitsPerSample = 8;
    eight.channels = 1;
    writeBytes(wav8, makeWav(eight, std::vector<uint8_t>(8000, 128)));
    const std::string vbr = dir.file("vbr.mp3");
    writeBytes(vbr, makeMp3(44100, 2, 128, 0.5, Mp3Tag::Xing));

    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const Case cases[] = {
        {{"convert"}, "No movie given"},
        {{"convert", dir.file("junk.swf")}, "This is not a valid Adobe flash movie file!"},
        {{"convert", dir.file("missing.swf")}, "This is not a valid Adobe flash movie file!"},
        {{"convert", movie, "--rate", "0"}, "Invalid frame rate!"},
        {{"convert", movie, "--rate", "abc"}, "Invalid frame rate!"},
        {{"convert", movie, "--jpeg-quality", "101"}, "--jpeg-quality"},
        {{"convert", movie, "--gif-palette", "websafe"}, "--gif-palette"},
        {{"convert", movie, "--crop", "700,0,200,100"}, "crop rectangle"},
        {{"convert", movie, "--size", "0x10"}, "--size"},
        {{"convert", movie, "--frobnicate"}, "Unknown option"},
        {{"convert", movie, "--type", "mpeg", "--audio", wav8},
         "Audio file with 8 bits per sample is not supported to be added to MPEG file!"},
        {{"convert", movie, "--audio", vbr}, "Mp3 with VBR is not supported for AVI!"},
        {{"convert", movie, "--type", "images", "--audio", vbr},
         "There's no audio for image series!"},
        {{"convert", movie, "--watermark", dir.file("junk.swf")}, "Unsupported file type!"},
        {{"convert", movie, "--codec", "no-such-codec"}, "No video compressor"},
        {{"convert", movie, "--quality", "0"}, "--quality"},
        {{"convert", movie, "--quality", "101"}, "--quality"},
        {{"convert", movie, "--codec", "0", "--quality", "50"}, "has no quality setting"},
        {{"convert", movie, "--frames", "2-1"}, "--frames"},
        {{"convert", movie, "--frames", "1-x"}, "--frames"},
        {{"convert", movie, "--frames", "1-3"}, "within the movie's frames (1 to 2)"},
        {{"convert", movie, "--frames", "2"}, "Without --play"},
        {{"convert", movie, "--play", "--frames", "1-2"}, "not a range"},
        {{"convert", movie, "--duration", "1"}, "--duration needs --play"},
        {{"convert", movie, "--play", "--duration", "-1"}, "--duration"},
        {{"convert", movie, "--type", "webm", "--video-codec", "h264"},
         "H.264 video does not go in a WebM file"},
        {{"convert", movie, "--type", "mkv", "--video-codec", "av1"},
         "AV1 video does not go in a MKV file"},
        {{"convert", movie, "-o", dir.file("s.webm"), "--audio-codec", "aac"},
         "AAC sound does not go in a WebM file"},
        {{"convert", movie, "--type", "mp4", "--hd", "720", "--size", "80x60"},
         "cannot be given together"},
        {{"convert", movie, "--type", "mp4", "--hd", "480"}, "--hd"},
        {{"convert", movie, "--type", "mov"}, "--type"},
    };
    for (const Case& c : cases) {
        const CliRun run = runCli(dir, c.args);
        EXPECT_EQ(run.exitCode, 1) << c.args.back();
        EXPECT_NE(run.err.find(c.message), std::string::npos)
            << c.args.back() << ": " << run.err;
    }
    EXPECT_TRUE(leftovers(dir, "vid").empty());
}

TEST(ConvertCommand, InterruptDuringRecordingLeavesNoTemporaryFile) {
    TempDir dir;
    // Long enough that the recording is still running when the signal comes.
    const std::string movie = writeSquareMovie(dir, 20000, 12, "long.swf");
    std::filesystem::create_directory(dir.path() / "work");
    std::filesystem::create_directory(dir.path() / "out");
    const std::string work = (dir.path() / "work").string();
    // Frames go to the working folder only when the encoder falls behind; the output,
    // written while the recording goes on, shows that it has begun.
    const InterruptedRun run = interruptWhileRecording(
        {"convert", movie, "-o", dir.file("out/long.avi"), "--work-dir", work}, dir.file("out"),
        SIGINT);
    EXPECT_TRUE(run.started);
    EXPECT_EQ(run.exitCode, 130);
    EXPECT_TRUE(std::filesystem::is_empty(work));
    EXPECT_TRUE(std::filesystem::is_empty(dir.file("out")));
}

} // namespace
} // namespace swivio::testkit
