// The interactive recording's life without a window: its rate, the files it makes and
// hands over or removes, and the cursor drawn into its pictures.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "capture/conversion_task.h"
#include "capture/interactive_recording.h"
#include "encode/conversion_driver.h"
#include "settings/settings_rules.h"
#include "tests/capture/capture_probes.h"
#include "tests/support/swf_movies.h"
#include "tests/support/swf_shapes.h"
#include "tests/support/swf_writer.h"
#include "tests/support/temp_dir.h"

namespace swivio::testkit {
namespace {

namespace fs = std::filesystem;

// A 40 x 40 red movie of three frames at 12 a second, recorded into AVI with its sound.
struct Fixture {
    TempDir dir;
    std::string movie = dir.file("red.swf");
    ConversionSettings settings;

    Fixture() {
        SwfWriter w;
        w.xMax = 40 * 20;
        w.yMax = 40 * 20;
        w.frameCount = 3;
        w.tag(TagCode::DefineShape3, rectangleShape(1, 0, 0, 800, 800, 0xFF, 0, 0));
        place(w, Place().at(1).of(1));
        w.showFrame().showFrame().showFrame().end();
        EXPECT_TRUE(w.writeFile(movie));
        MovieProperties props;
        props.width = 40;
        props.height = 40;
        props.frameRate = 12;
        props.length = 3;
        resetForMovie(settings, movie, props);
        settings.conversionMode = ConversionMode::Interactive;
        settings.convertType = OutputType::Avi;
        settings.audioSource = AudioSource::RecordFromMovie;
        settings.tempPathIndex = 1;
        settings.tempPath = work().string();
        settings.outputFile = dir.file("out.avi");
        fs::create_directory(work());
    }
    fs::path work() const { return dir.path() / "work"; }
    std::vector<std::string> workFiles() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(work()))
            names.push_back(e.path().filename().string());
        return names;
    }
};

// Waits (without sleeping) until the pacer's first picture is in.
void awaitFirstRecord(const InteractiveRecording& r) {
    while (r.stats().recordCount < 1)
        std::this_thread::yield();
}

struct RateCase {
    OutputType type;
    float outputRate;
    float movieRate;
    double captureRate;
};

class CaptureRate : public testing::TestWithParam<RateCase> {};

// The output's rate (29.97 MPEG counting as 30), lowered to the movie's when that is not
// greater.
TEST_P(CaptureRate, FollowsTheOutputNeverAboveTheMovie) {
    const RateCase c = GetParam();
    ConversionSettings s;
    s.convertType = c.type;
    s.aviFrameRate = s.mpegFrameRate = s.imageFrameRate = c.outputRate;
    s.movieFrameRate = c.movieRate;
    InteractiveRecording r(s);
    EXPECT_DOUBLE_EQ(r.captureRate(), c.captureRate);
}

INSTANTIATE_TEST_SUITE_P(Rates, CaptureRate,
                         testing::Values(RateCase{OutputType::Mpeg, 29.97f, 30, 30},
                                         RateCase{OutputType::Avi, 25, 12, 12},
                                         RateCase{OutputType::Avi, 10, 30, 10},
                                         RateCase{OutputType::ImageSeries, 24, 24, 24}));

TEST(InteractiveRecordingTest, AMissingMovieIsNotRecorded) {
    Fixture f;
    f.settings.sourcePath = f.dir.file("gone.swf");
    InteractiveRecording r(f.settings);
    const Status opened = r.open();
    ASSERT_FALSE(opened);
    EXPECT_EQ(opened.message().rfind(kInvalidMovieMessage, 0), 0u) << opened.message();
    EXPECT_FALSE(r.start());
}

// Finish hands the frame files and a complete WAV to the encoding; the output is untouched.
TEST(InteractiveRecordingTest, FinishHandsOverTheFiles) {
    Fixture f;
    { std::FILE* out = std::fopen(f.settings.outputFile.c_str(), "w"); std::fclose(out); }
    InteractiveRecording r(f.settings);
    ASSERT_TRUE(r.open());
    ASSERT_TRUE(r.start());
    EXPECT_TRUE(fs::exists(f.settings.outputFile));
    awaitFirstRecord(r);
    Result<ConversionJob> job = r.finish();
    ASSERT_TRUE(job) << job.message();
    EXPECT_GE(job->frameCount, 1);
    ASSERT_FALSE(job->frameFiles.empty());
    ASSERT_FALSE(job->audioPath.empty());
    EXPECT_EQ(fs::path(job->audioPath).parent_path(), f.work());
    EXPECT_EQ(fs::path(job->audioPath).filename().string().rfind("aud", 0), 0u);
    EXPECT_EQ(fs::path(job->audioPath).extension(), ".wav");
    const WaveContents wave = readWave(job->audioPath);
    EXPECT_TRUE(wave.valid && wave.sizesMatch);
    EXPECT_EQ(wave.rate, 44100);
    for (const std::string& file : job->frameFiles)
        EXPECT_TRUE(fs::exists(file)) << file;
    removeTemporaryFiles(*job);
    EXPECT_TRUE(f.workFiles().empty());
}

// A WAV that cannot be made (here: a rate no WAV of the recording takes) leaves the recording
// silent, said once at start and once in the job, which then asks for no sound.
TEST(InteractiveRecordingTest, WithoutAWaveTheJobHasNoSound) {
    Fixture f;
    f.settings.convertType = OutputType::Mpeg;
    f.settings.mpegSampleRate = 96000;
    InteractiveRecording r(f.settings);
    ASSERT_TRUE(r.open());
    ASSERT_TRUE(r.start());
    ASSERT_EQ(r.warnings().size(), 1u);
    EXPECT_EQ(r.warnings()[0].rfind("Failed to create the wave file!", 0), 0u);
    awaitFirstRecord(r);
    Result<ConversionJob> job = r.finish();
    ASSERT_TRUE(job) << job.message();
    EXPECT_TRUE(job->audioPath.empty());
    EXPECT_EQ(job->settings.audioSource, AudioSource::None);
    EXPECT_EQ(r.warnings().size(), 2u);
    for (const std::string& name : f.workFiles())
        EXPECT_EQ(name.rfind("aud", 0), std::string::npos) << name;
    removeTemporaryFiles(*job);
}

// An encoding that cannot begin (its output is a folder) still removes the recording's
// files.
TEST(InteractiveRecordingTest, AFailedEncodingRemovesTheRecording) {
    Fixture f;
    f.settings.outputFile = f.dir.path().string();
    InteractiveRecording r(f.settings);
    ASSERT_TRUE(r.open());
    ASSERT_TRUE(r.start());
    awaitFirstRecord(r);
    Result<ConversionJob> job = r.finish();
    ASSERT_TRUE(job) << job.message();
    EXPECT_FALSE(f.workFiles().empty());
    ConversionTask task(f.settings, nullptr);
    task.setRecordedJob(std::move(*job));
    const TaskResult result = task.run();
    EXPECT_EQ(result.outcome, ConversionResult::Outcome::Failed);
    EXPECT_TRUE(f.workFiles().empty());
}

// Cancel, or a recording dropped unfinished, leaves none of its files behind.
TEST(InteractiveRecordingTest, CancelRemovesEveryTemporaryFile) {
    for (const bool explicitCancel : {true, false}) {
        Fixture f;
        {
            InteractiveRecording r(f.settings);
            ASSERT_TRUE(r.open());
            ASSERT_TRUE(r.start());
            awaitFirstRecord(r);
            EXPECT_FALSE(f.workFiles().empty());
            if (explicitCancel)
                r.cancel();
        }
        EXPECT_TRUE(f.workFiles().empty()) << (explicitCancel ? "cancel" : "destroyed");
    }
}

// A working folder that takes no file fails the start, and nothing is left anywhere.
TEST(InteractiveRecordingTest, AFailedStartLeavesNoFile) {
    Fixture f;
    f.settings.tempPath = (f.dir.path() / "missing").string();
    InteractiveRecording r(f.settings);
    ASSERT_TRUE(r.open());
    EXPECT_FALSE(r.start());
    EXPECT_FALSE(r.isRecording());
    EXPECT_TRUE(f.workFiles().empty());
    EXPECT_FALSE(fs::exists(f.dir.path() / "missing"));
}

struct CursorCase {
    const char* name;
    int x, y;             // hot spot position, player pixels
    int originX, originY; // grab origin
    int left, top;        // where the cursor's top-left pixel lands in the frame
};

class CursorDrawing : public testing::TestWithParam<CursorCase> {};

// A 3 x 3 white cursor with its hot spot at (1, 1), its right column half transparent: drawn
// at its position less the hot spot and the grab origin, only inside the clip (4..35).
TEST_P(CursorDrawing, LandsAtItsHotSpotWithinTheClip) {
    const CursorCase c = GetParam();
    Frame frame(40, 40);
    frame.fill(makeColor(0, 0, 0));
    SourceViewport v;
    v.originX = c.originX;
    v.originY = c.originY;
    v.clipX = 4;
    v.clipY = 4;
    v.clipWidth = 32;
    v.clipHeight = 32;
    CursorPicture cursor;
    cursor.x = c.x;
    cursor.y = c.y;
    cursor.hotX = 1;
    cursor.hotY = 1;
    cursor.width = 3;
    cursor.height = 3;
    for (int i = 0; i < 9; ++i) {
        const bool right = i % 3 == 2;
        cursor.bgra.insert(cursor.bgra.end(), {255, 255, 255, uint8_t(right ? 128 : 255)});
    }
    drawCursor(frame, v, cursor);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x) {
            const int col = x - c.left, row = y - c.top;
            const bool covered = col >= 0 && col < 3 && row >= 0 && row < 3;
            const bool clipped = x < 4 || x >= 36 || y < 4 || y >= 36;
            const uint32_t expected = !covered || clipped ? makeColor(0, 0, 0)
                                      : col == 2          ? makeColor(128, 128, 128)
                                                          : makeColor(255, 255, 255);
            ASSERT_EQ(frame.pixel(x, y), expected) << c.name << " at " << x << "," << y;
        }
}

INSTANTIATE_TEST_SUITE_P(
    Places, CursorDrawing,
    testing::Values(CursorCase{"inside", 11, 11, 0, 0, 10, 10},
                    CursorCase{"offset by the grab origin", 21, 16, 10, 5, 10, 10},
                    CursorCase{"cut by the clip's corner", 4, 4, 0, 0, 3, 3},
                    CursorCase{"cut by the clip's far edge", 36, 20, 0, 0, 35, 19},
                    CursorCase{"outside the clip", 2, 2, 0, 0, 1, 1},
                    CursorCase{"far outside", -100000, 100000, 0, 0, -100001, 99999}),
    [](const testing::TestParamInfo<CursorCase>& param) {
        std::string n = param.param.name;
        for (char& ch : n)
            if (!std::isalnum(static_cast<unsigned char>(ch)))
                ch = '_';
        return n;
    });

} // namespace
} // namespace swivio::testkit
