#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "app/main_window_rules.h"
#include "app/record/playback_clock.h"
#include "app/record/view_fit.h"
#include "app/widgets/image_button.h"
#include "encode/audio/mp3_file_reader.h"
#include "settings/settings_rules.h"
#include "tests/support/temp_dir.h"

namespace swivio::app {
namespace {

ConversionSettings movieSettings() {
    ConversionSettings s;
    MovieProperties movie;
    movie.width = 550;
    movie.height = 400;
    movie.frameRate = 12;
    movie.length = 30;
    resetForMovie(s, "/tmp/m.swf", movie);
    applyMpegPreset(s);
    return s;
}

TEST(ExportSummaryTest, EachOutputTypeShowsItsOwnValues) {
    struct Case {
        const char* name;
        void (*change)(ConversionSettings&);
        ExportSummary expected;
    };
    const Case cases[] = {
        {"uncompressed AVI, recorded MP3",
         [](ConversionSettings& s) {
             s.aviFourCC = 0;
             s.audioSource = AudioSource::RecordFromMovie;
             s.aviAudioFormat = kAviAudioFormatMp3;
         },
         {"AVI", "Uncompressed", "MP3", "550 x 400", "12.00"}},
        {"AVI with recorded PCM",
         [](ConversionSettings& s) { s.aviAudioFormat = kAviAudioFormatPcm; },
         {"AVI", "Uncompressed", "PCM", "550 x 400", "12.00"}},
        {"AVI importing a WAV in capitals",
         [](ConversionSettings& s) {
             s.audioSource = AudioSource::ImportFile;
             s.audioFile = "/x/SOUND.WAV";
         },
         {"AVI", "Uncompressed", "PCM", "550 x 400", "12.00"}},
        {"AVI importing an MP3",
         [](ConversionSettings& s) {
             s.audioSource = AudioSource::ImportFile;
             s.audioFile = "/x/sound.mp3";
         },
         {"AVI", "Uncompressed", "MP3", "550 x 400", "12.00"}},
        {"AVI without sound", [](ConversionSettings& s) { s.audioSource = AudioSource::None; },
         {"AVI", "Uncompressed", "N/A", "550 x 400", "12.00"}},
        {"AVI with a compressor that is not installed",
         [](ConversionSettings& s) { s.aviFourCC = 0x5A5A5A5A; },
         {"AVI", "Not installed", "MP3", "550 x 400", "12.00"}},
        {"DVD MPEG",
         [](ConversionSettings& s) {
             s.convertType = OutputType::Mpeg;
             s.mpegType = MpegType::DvdPal;
             applyMpegPreset(s);
         },
         {"MPEG", "DVD-PAL", "Dolby AC3", "720 x 576", "25.00"}},
        {"VCD MPEG",
         [](ConversionSettings& s) {
             s.convertType = OutputType::Mpeg;
             s.mpegType = MpegType::VcdNtsc;
             applyMpegPreset(s);
         },
         {"MPEG", "VCD-NTSC", "MPEG Audio", "352 x 240", "29.97"}},
        {"MPEG without sound",
         [](ConversionSettings& s) {
             s.convertType = OutputType::Mpeg;
             s.audioSource = AudioSource::None;
         },
         {"MPEG", "DVD-NTSC", "N/A", "720 x 480", "29.97"}},
        {"animated GIF",
         [](ConversionSettings& s) {
             s.convertType = OutputType::ImageSeries;
             s.imageType = ImageType::AnimatedGif;
         },
         {"Image series", "Animated GIF", "N/A", "550 x 400", "12.00"}},
        {"MP4 video file at the movie's size",
         [](ConversionSettings& s) { s.convertType = OutputType::VideoFile; },
         {"Video file (MP4)", "H.264", "AAC", "550 x 400", "12.00"}},
        {"WebM video file at 720p",
         [](ConversionSettings& s) {
             s.convertType = OutputType::VideoFile;
             s.videoContainer = VideoContainer::WebM;
             s.videoCodec = VideoCodec::Av1;
             s.videoSound = VideoSound::Opus;
             s.videoFrameSize = VideoFrameSize::Hd720;
         },
         {"Video file (WebM)", "AV1", "Opus", "1280 x 720", "12.00"}},
        {"video file without sound",
         [](ConversionSettings& s) {
             s.convertType = OutputType::VideoFile;
             s.audioSource = AudioSource::None;
         },
         {"Video file (MP4)", "H.264", "N/A", "550 x 400", "12.00"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ConversionSettings s = movieSettings();
        c.change(s);
        const ExportSummary got = exportSummary(s);
        EXPECT_EQ(got.type, c.expected.type);
        EXPECT_EQ(got.videoCodec, c.expected.videoCodec);
        EXPECT_EQ(got.audioCodec, c.expected.audioCodec);
        EXPECT_EQ(got.movieSize, c.expected.movieSize);
        EXPECT_EQ(got.frameRate, c.expected.frameRate);
    }
}

TEST(MainWindowTextsTest, PropertiesAndPosition) {
    EXPECT_EQ(sizeText(550, 400), "550 x 400");
    EXPECT_EQ(rateText(29.97f), "29.97");
    EXPECT_EQ(lengthText(30), "30 ");
    EXPECT_EQ(lengthCaption(false), "Total frames:");
    EXPECT_EQ(lengthCaption(true), "Total seconds:");
    EXPECT_EQ(positionText(false, 10, 30), "10/30 frames");
    EXPECT_EQ(positionText(true, 4, 61), "4/61 seconds");
}

TEST(SeekSliderTest, SwfFramesCountFromOneAndTheyPlayerFromZero) {
    struct Case {
        bool flv;
        int length, value;
        SliderRange range;
        int seek;
    };
    const Case cases[] = {
        {false, 30, 1, {1, 30}, 0},
        {false, 30, 10, {1, 30}, 9},
        {false, 30, 30, {1, 30}, 29},
        {true, 61, 0, {0, 61}, 0},
        {true, 61, 10, {0, 61}, 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        const SliderRange range = sliderRange(c.flv, c.length);
        EXPECT_EQ(range.minimum, c.range.minimum);
        EXPECT_EQ(range.maximum, c.range.maximum);
        EXPECT_EQ(seekPositionForSlider(c.flv, c.value), c.seek);
    }
}

TEST(ControlStatesTest, FollowTheMovieAndThePlayState) {
    struct Case {
        bool open, playing;
        ControlStates expected;
    };
    const Case cases[] = {
        {false, false, {false, false, false, false, false, false}},
        {false, true, {false, false, false, false, false, false}},
        {true, false, {true, false, false, true, true, true}},
        {true, true, {false, true, true, true, true, true}},
    };
    for (const Case& c : cases) {
        const ControlStates got = controlStates(c.open, c.playing);
        EXPECT_EQ(got.play, c.expected.play);
        EXPECT_EQ(got.pause, c.expected.pause);
        EXPECT_EQ(got.stop, c.expected.stop);
        EXPECT_EQ(got.slider, c.expected.slider);
        EXPECT_EQ(got.convert, c.expected.convert);
    }
    EXPECT_FALSE(isUsableMovie(0, 400));
    EXPECT_FALSE(isUsableMovie(550, 0));
    EXPECT_TRUE(isUsableMovie(1, 1));
}

TEST(CheckBeforeRecordingTest, WhatWouldFailAfterTheRecordingFailsAtOnce) {
    testkit::TempDir dir;
    const std::string folder = dir.path().string();
    const std::string badMp3 = dir.file("bad.mp3");
    FILE* f = std::fopen(badMp3.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("not an mp3 at all", f);
    std::fclose(f);
    struct Case {
        const char* name;
        std::function<void(ConversionSettings&)> change;
        std::string message; // empty: passes
    };
    const Case cases[] = {
        {"all in place", [](ConversionSettings&) {}, ""},
        {"working folder gone",
         [&](ConversionSettings& s) {
             s.tempPathIndex = 1;
             s.tempPath = folder + "/gone";
         },
         "The specified temporary folder does not exist!"},
        {"output folder gone",
         [&](ConversionSettings& s) { s.outputFile = folder + "/gone/out.avi"; },
         "The output path does not exist!"},
        {"picture folder gone",
         [&](ConversionSettings& s) {
             s.convertType = OutputType::ImageSeries;
             s.outputFolder = folder + "/gone";
         },
         "The output path does not exist!"},
        {"compressor not installed",
         [](ConversionSettings& s) { s.aviFourCC = 0x5A5A5A5A; }, kCompressorMissingMessage},
        {"unreadable MP3 for AVI",
         [&](ConversionSettings& s) {
             s.audioSource = AudioSource::ImportFile;
             s.audioFile = badMp3;
         },
         kMp3OpenFailed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ConversionSettings s = movieSettings();
        s.outputFile = folder + "/out.avi";
        s.outputFolder = folder;
        c.change(s);
        const Status got = checkBeforeRecording(s);
        EXPECT_EQ(got.message(), c.message);
        EXPECT_EQ(bool(got), c.message.empty());
    }
}

TEST(PlaybackClockTest, FramesFollowElapsedTimeNotCalls) {
    using namespace std::chrono;
    const auto t0 = PlaybackClock::Clock::time_point{} + hours(1);
    struct Step {
        int atMs;
        int due;
    };
    // 12 frames a second: a frame every 83.3 ms.
    const Step steps[] = {{0, 0},   {50, 0},  {83, 0},   {84, 1},   {90, 0},  {167, 1},
                          {170, 0}, {420, 3}, {1500, 4}, {1583, 0}, {1584, 1}};
    PlaybackClock clock;
    clock.start(12.0, t0);
    for (const Step& s : steps) {
        SCOPED_TRACE(s.atMs);
        EXPECT_EQ(clock.framesDue(t0 + milliseconds(s.atMs)), s.due);
    }
}

TEST(ViewFitTest, KeepsTheAspectCentredAndMapsBack) {
    struct Case {
        int mw, mh, aw, ah;
        FitRect fit;
    };
    const Case cases[] = {
        {550, 400, 550, 400, {0, 0, 550, 400}},
        {550, 400, 1100, 400, {275, 0, 550, 400}},
        {400, 400, 640, 480, {80, 0, 480, 480}},
        {800, 200, 400, 300, {0, 100, 400, 100}},
        {550, 400, 0, 300, {0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        const FitRect f = fitMovie(c.mw, c.mh, c.aw, c.ah);
        EXPECT_EQ(f.x, c.fit.x);
        EXPECT_EQ(f.y, c.fit.y);
        EXPECT_EQ(f.width, c.fit.width);
        EXPECT_EQ(f.height, c.fit.height);
    }
    const FitRect f = fitMovie(550, 400, 1100, 400);
    double sx = 0, sy = 0;
    EXPECT_TRUE(areaToStage(f, 550, 400, 275 + 100, 50, sx, sy));
    EXPECT_DOUBLE_EQ(sx, 100);
    EXPECT_DOUBLE_EQ(sy, 50);
    EXPECT_FALSE(areaToStage(f, 550, 400, 100, 50, sx, sy));
}

TEST(ImageButtonTest, ImagePlacedByAlignmentAndSize) {
    const QRect content(4, 4, 20, 16); // l 4, t 4, r 24, b 20
    struct Case {
        QSize size;
        ImageAlign across, down;
        QPoint at;
    };
    const Case cases[] = {
        {{16, 16}, ImageAlign::Centre, ImageAlign::Centre, {6, 4}},
        {{8, 8}, ImageAlign::Centre, ImageAlign::Centre, {10, 8}},
        {{8, 8}, ImageAlign::End, ImageAlign::End, {16, 12}},
        {{8, 8}, ImageAlign::Start, ImageAlign::Start, {4, 4}},
        // Too big: at the left and top edges.
        {{32, 32}, ImageAlign::Centre, ImageAlign::Centre, {4, 4}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(imagePosition(content, c.size, c.across, c.down), c.at);
}

} // namespace
} // namespace swivio::app
