#include <algorithm>
#include <filesystem>
#include <set>

#include <gtest/gtest.h>

#include "encode/conversion_driver.h"
#include "encode/image/picture_image.h"
#include "tests/support/picture_files.h"
#include "tests/support/temp_dir.h"

namespace swivio {
namespace {

// Recorded frames in memory. Record k is a picture whose every pixel holds the colour k + 1
// in red, a repeat of the record before it, or a block that does not decode.
class MemoryFrames : public RecordedFrames {
public:
    enum class Kind { Picture, Repeat, Damaged };

    MemoryFrames(int width, int height, std::vector<Kind> records)
        : m_width(width), m_height(height), m_records(std::move(records)) {}
    static MemoryFrames pictures(int width, int height, int count) {
        return MemoryFrames(width, height, std::vector<Kind>(std::size_t(count), Kind::Picture));
    }

    bool advance() override {
        ++advanceCalls;
        if (m_next >= int(m_records.size()))
            return false;
        m_current = m_next++;
        if (m_records[std::size_t(m_current)] == Kind::Picture)
            m_picture = m_current;
        return true;
    }
    bool decodeInto(Frame& frame) override {
        ++decodeCalls;
        if (m_current < 0 || m_records[std::size_t(m_current)] == Kind::Damaged)
            return false;
        frame = Frame(m_width, m_height);
        frame.fill(makeColor(uint8_t(m_picture + 1), 0, 0));
        return true;
    }

    int advanceCalls = 0;
    int decodeCalls = 0;

private:
    int m_width, m_height;
    std::vector<Kind> m_records;
    int m_next = 0;
    int m_current = -1;
    int m_picture = -1;
};

// Keeps what it was given.
struct WriterLog {
    bool opened = false;
    int finishCalls = 0;
    std::vector<int> indexes;
    std::vector<Frame> frames;
};

class RecordingWriter : public FrameWriter {
public:
    RecordingWriter(WriterLog& log, int failAt) : m_log(log), m_failAt(failAt) {}
    bool writeFrame(const Frame& frame, int index) override {
        if (index == m_failAt)
            return false;
        m_log.indexes.push_back(index);
        m_log.frames.push_back(frame);
        return true;
    }
    bool finish() override {
        ++m_log.finishCalls;
        return true;
    }
    std::string errorString() const override { return m_failAt >= 0 ? "disk full" : ""; }

private:
    WriterLog& m_log;
    int m_failAt;
};

ConversionJob imageJob(float movieRate, float outputRate, int frameCount) {
    ConversionJob job;
    job.settings.convertType = OutputType::ImageSeries;
    job.settings.imageType = ImageType::Png;
    job.settings.movieFrameRate = movieRate;
    job.settings.imageFrameRate = outputRate;
    job.settings.audioSource = AudioSource::None;
    job.frameCount = frameCount;
    job.geometry.outputWidth = 8;
    job.geometry.outputHeight = 4;
    job.geometry.contentWidth = 8;
    job.geometry.contentHeight = 4;
    return job;
}

void attachRecorder(ConversionDriver& driver, WriterLog& log, int failAt = -1) {
    driver.setWriterFactory([&log, failAt](const ConversionJob&) {
        log.opened = true;
        return Result<std::unique_ptr<FrameWriter>>(std::make_unique<RecordingWriter>(log, failAt));
    });
}

// Which record each output frame showed (red channel - 1).
std::vector<int> recordsShown(const WriterLog& log) {
    std::vector<int> shown;
    for (const Frame& f : log.frames)
        shown.push_back(colorRed(f.pixel(0, 0)) - 1);
    return shown;
}

TEST(FrameRatePlan, TwelveToThirtyRepeatsThreeTwoThreeTwo) {
    ConversionJob job = imageJob(12, 30, 24);
    job.settings.convertType = OutputType::Avi;
    job.settings.aviFrameRate = 30;
    const FrameRatePlan plan = planFrameRate(job.settings, 24);
    EXPECT_EQ(plan.outputFrameCount, 60);
    EXPECT_DOUBLE_EQ(plan.step, 0.4);

    WriterLog log;
    ConversionDriver driver(imageJob(12, 30, 24));
    attachRecorder(driver, log);
    MemoryFrames frames = MemoryFrames::pictures(8, 4, 24);
    const ConversionResult result = driver.run(frames);
    EXPECT_EQ(result.outcome, ConversionResult::Outcome::Completed) << result.message;
    EXPECT_EQ(result.framesWritten, 60);
    EXPECT_EQ(result.recordsRead, 24);
    const std::vector<int> shown = recordsShown(log);
    ASSERT_EQ(shown.size(), 60u);
    std::vector<int> uses(24, 0);
    for (int r : shown)
        ++uses[std::size_t(r)];
    for (int r = 0; r < 24; ++r)
        EXPECT_EQ(uses[std::size_t(r)], r % 2 == 0 ? 3 : 2) << "record " << r;
    // In order, never going back.
    EXPECT_TRUE(std::is_sorted(shown.begin(), shown.end()));
    for (int i = 0; i < 60; ++i)
        EXPECT_EQ(log.indexes[std::size_t(i)], i);
}

struct RateCase {
    OutputType type;
    float movieRate;
    float outputRate;
    int frameCount;
    int expectedOutput;
};
class FrameRatePlans : public testing::TestWithParam<RateCase> {};

TEST_P(FrameRatePlans, OutputFrameCount) {
    const RateCase c = GetParam();
    ConversionSettings s;
    s.convertType = c.type;
    s.movieFrameRate = c.movieRate;
    s.aviFrameRate = s.mpegFrameRate = s.imageFrameRate = c.outputRate;
    const FrameRatePlan plan = planFrameRate(s, c.frameCount);
    EXPECT_EQ(plan.outputFrameCount, c.expectedOutput);
    if (outputFrameRate(s) == c.movieRate || c.movieRate <= 0) {
        EXPECT_EQ(plan.step, 1.0);
    } else {
        EXPECT_DOUBLE_EQ(plan.step, double(c.movieRate) / outputFrameRate(s));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rates, FrameRatePlans,
    testing::Values(RateCase{OutputType::Avi, 12, 30, 24, 60},
                    RateCase{OutputType::Avi, 30, 12, 24, 9},         // below: 9.6 truncated
                    RateCase{OutputType::Avi, 25, 25, 10, 10},        // equal
                    RateCase{OutputType::Mpeg, 30, 29.97f, 100, 99}, // 30000/1001 is just below 30
                    RateCase{OutputType::Mpeg, 25, 29.97f, 100, 119}, // 30000/1001: 119.88
                    RateCase{OutputType::Mpeg, 10, 29.97f, 36000, 107892},
                    RateCase{OutputType::ImageSeries, 24, 25, 7, 7}, // 7.29 truncated
                    RateCase{OutputType::ImageSeries, 0, 25, 7, 7},  // no movie rate
                    RateCase{OutputType::ImageSeries, 12, 30, 0, 0}));

// Output frames that a movie's records become at another rate, and the record each shows.
struct TimingCase {
    OutputType type;
    float movieRate;
    float outputRate;
    int records;
    std::vector<int> shown;
};

void PrintTo(const TimingCase& c, std::ostream* os) {
    *os << c.records << " records at " << c.movieRate << " fps into " << c.outputRate << " fps";
}

// 0 .. count - 1 without the records in `dropped`.
std::vector<int> recordsExcept(int count, std::vector<int> dropped) {
    std::vector<int> kept;
    for (int r = 0; r < count; ++r)
        if (std::find(dropped.begin(), dropped.end(), r) == dropped.end())
            kept.push_back(r);
    return kept;
}

class OutputKeepsTime : public testing::TestWithParam<TimingCase> {};

TEST_P(OutputKeepsTime, RecordsShownAndLength) {
    const TimingCase& c = GetParam();
    ConversionJob job = imageJob(c.movieRate, c.outputRate, c.records);
    job.settings.convertType = c.type;
    job.settings.aviFrameRate = job.settings.mpegFrameRate = c.outputRate;
    WriterLog log;
    ConversionDriver driver(job);
    attachRecorder(driver, log);
    MemoryFrames frames = MemoryFrames::pictures(8, 4, c.records);
    const ConversionResult result = driver.run(frames);
    ASSERT_EQ(result.outcome, ConversionResult::Outcome::Completed) << result.message;
    const std::vector<int> shown = recordsShown(log);
    EXPECT_EQ(shown, c.shown);
    EXPECT_EQ(driver.outputFrameCount(), int(shown.size()));
    // Each picture shown is decoded once; a dropped record is never decoded.
    EXPECT_EQ(frames.decodeCalls, int(std::set<int>(shown.begin(), shown.end()).size()));
    // The output lasts as long as the movie, within one output frame.
    const double rate = outputFrameRate(job.settings);
    EXPECT_NEAR(double(shown.size()) / rate, double(c.records) / double(c.movieRate), 1.0 / rate);
}

INSTANTIATE_TEST_SUITE_P(
    Rates, OutputKeepsTime,
    testing::Values(
        TimingCase{OutputType::ImageSeries, 24, 12, 8, {0, 2, 4, 6}},
        TimingCase{OutputType::ImageSeries, 24, 10, 24, {0, 2, 4, 7, 9, 12, 14, 16, 19, 21}},
        TimingCase{OutputType::Avi, 30, 12, 24, {0, 2, 5, 7, 10, 12, 15, 17, 20}},
        TimingCase{OutputType::Avi, 25, 24, 50, recordsExcept(50, {24, 49})},
        TimingCase{OutputType::Avi, 30, 29.97f, 30, recordsExcept(30, {29})},
        TimingCase{OutputType::Mpeg, 30, 29.97f, 4, {0, 1, 2}}, // NTSC discs: 30000/1001
        TimingCase{OutputType::ImageSeries, 25, 25, 5, {0, 1, 2, 3, 4}},
        TimingCase{OutputType::ImageSeries, 12, 30, 4, {0, 0, 0, 1, 1, 2, 2, 2, 3, 3}},
        TimingCase{OutputType::ImageSeries, 12, 24, 3, {0, 0, 1, 1, 2, 2}},
        // Shorter than one output frame: the first record rather than nothing.
        TimingCase{OutputType::ImageSeries, 24, 0.5f, 24, {0}}));

TEST(ConversionDriver, DroppedPictureStillShownThroughARepeatRecord) {
    using K = MemoryFrames::Kind;
    WriterLog log;
    ConversionDriver driver(imageJob(20, 10, 6));
    attachRecorder(driver, log);
    // Output frame 1 lands on record 2, a repeat of record 1, which was passed over.
    MemoryFrames frames(8, 4,
                        {K::Picture, K::Picture, K::Repeat, K::Picture, K::Picture, K::Picture});
    ASSERT_EQ(driver.run(frames).outcome, ConversionResult::Outcome::Completed);
    EXPECT_EQ(recordsShown(log), (std::vector<int>{0, 1, 4}));
}

TEST(ConversionDriver, EveryRecordOnceAtTheSameRate) {
    WriterLog log;
    ConversionDriver driver(imageJob(25, 25, 5));
    attachRecorder(driver, log);
    MemoryFrames frames = MemoryFrames::pictures(8, 4, 5);
    ASSERT_EQ(driver.run(frames).outcome, ConversionResult::Outcome::Completed);
    EXPECT_EQ(recordsShown(log), (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(log.finishCalls, 1);
}

TEST(ConversionDriver, RepeatAndDamagedRecordsKeepThePreviousPicture) {
    using K = MemoryFrames::Kind;
    WriterLog log;
    ConversionDriver driver(imageJob(10, 10, 5));
    attachRecorder(driver, log);
    MemoryFrames frames(8, 4, {K::Picture, K::Repeat, K::Damaged, K::Picture, K::Damaged});
    ASSERT_EQ(driver.run(frames).outcome, ConversionResult::Outcome::Completed);
    EXPECT_EQ(recordsShown(log), (std::vector<int>{0, 0, 0, 3, 3}));
}

TEST(ConversionDriver, CancelBeforeTheFirstFrame) {
    WriterLog log;
    ConversionDriver driver(imageJob(10, 10, 5));
    attachRecorder(driver, log);
    driver.requestCancel();
    MemoryFrames frames = MemoryFrames::pictures(8, 4, 5);
    const ConversionResult result = driver.run(frames);
    EXPECT_EQ(result.outcome, ConversionResult::Outcome::Cancelled);
    EXPECT_TRUE(log.opened);
    EXPECT_EQ(log.finishCalls, 1);
    EXPECT_TRUE(log.frames.empty());
    EXPECT_EQ(frames.advanceCalls, 0);
}

TEST(ConversionDriver, ProgressCanCancelOrGoOn) {
    for (bool cancelAtThird : {true, false}) {
        WriterLog log;
        ConversionDriver driver(imageJob(10, 10, 8));
        attachRecorder(driver, log);
        std::vector<ConversionProgress> reports;
        driver.setProgressCallback([&](const ConversionProgress& p) {
            reports.push_back(p);
            return !(cancelAtThird && p.frameIndex == 2); // "No" keeps going
        });
        MemoryFrames frames = MemoryFrames::pictures(8, 4, 8);
        const ConversionResult result = driver.run(frames);
        if (cancelAtThird) {
            EXPECT_EQ(result.outcome, ConversionResult::Outcome::Cancelled);
            EXPECT_EQ(log.frames.size(), 3u); // the frame in hand is finished first
        } else {
            EXPECT_EQ(result.outcome, ConversionResult::Outcome::Completed);
            EXPECT_EQ(recordsShown(log), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
        }
        EXPECT_EQ(log.finishCalls, 1);
        ASSERT_FALSE(reports.empty());
        EXPECT_EQ(reports[0].percent, 12); // 100 * 1 / 8
        EXPECT_EQ(reports[0].outputFrameCount, 8);
    }
}

TEST(ConversionDriver, PercentReportedOnlyWhenItChanges) {
    WriterLog log;
    ConversionDriver driver(imageJob(10, 10, 300));
    attachRecorder(driver, log);
    std::vector<int> shown;
    int calls = 0;
    driver.setProgressCallback([&](const ConversionProgress& p) {
        ++calls;
        if (p.percentChanged)
            shown.push_back(p.percent);
        return true;
    });
    MemoryFrames frames = MemoryFrames::pictures(8, 4, 300);
    ASSERT_EQ(driver.run(frames).outcome, ConversionResult::Outcome::Completed);
    EXPECT_EQ(calls, 300);
    ASSERT_EQ(shown.size(), 101u); // 100 * 1 / 300 = 0 is the first percentage
    EXPECT_EQ(shown.front(), 0);
    EXPECT_EQ(shown.back(), 100);
    for (std::size_t i = 1; i < shown.size(); ++i)
        EXPECT_EQ(shown[i], shown[i - 1] + 1);
}

TEST(ConversionDriver, ZeroFramesOpensAndFinishes) {
    WriterLog log;
    ConversionDriver driver(imageJob(12, 30, 0));
    attachRecorder(driver, log);
    MemoryFrames frames = MemoryFrames::pictures(8, 4, 0);
    const ConversionResult result = driver.run(frames);
    EXPECT_EQ(result.outcome, ConversionResult::Outcome::Completed);
    EXPECT_TRUE(log.opened);
    EXPECT_EQ(log.finishCalls, 1);
    EXPECT_EQ(frames.advanceCalls, 0);
}

TEST(ConversionDriver, FramesEndingEarlyFailTheRun) {
    WriterLog log;
    ConversionDriver driver(imageJob(10, 10, 6));
    attachRecorder(driver, log);
    MemoryFrames frames = MemoryFrames::pictures(8, 4, 4); // two records lost
    const ConversionResult result = driver.run(frames);
    EXPECT_EQ(result.outcome, ConversionResult::Outcome::Failed);
    EXPECT_NE(result.message.find("4 of 6"), std::string::npos) << result.message;
    EXPECT_EQ(log.frames.size(), 4u);
    EXPECT_EQ(log.finishCalls, 1);
}

TEST(ConversionDriver, WriterFailureStopsAndIsReported) {
    WriterLog log;
    ConversionDriver driver(imageJob(10, 10, 6));
    attachRecorder(driver, log, /*failAt=*/2);
    MemoryFrames frames = MemoryFrames::pictures(8, 4, 6);
    const ConversionResult result = driver.run(frames);
    EXPECT_EQ(result.outcome, ConversionResult::Outcome::Failed);
    EXPECT_EQ(result.message, "disk full");
    EXPECT_EQ(log.frames.size(), 2u);
    EXPECT_EQ(log.finishCalls, 1);
}

// The temporary files of a job in a folder: three frame files, a sound file.
struct TemporaryFiles {
    testkit::TempDir dir;
    std::vector<std::string> frameFiles;
    std::string sound;
    TemporaryFiles(const char* soundName) {
        for (int i = 0; i < 3; ++i) {
            frameFiles.push_back(dir.file("vid" + std::to_string(i) + ".tmp"));
            testkit::writeFileBytes(frameFiles.back(), {1, 2, 3});
        }
        sound = dir.file(soundName);
        testkit::writeFileBytes(sound, {4, 5, 6});
    }
    bool anyFrameFileLeft() const {
        for (const auto& f : frameFiles)
            if (std::filesystem::exists(f))
                return true;
        return false;
    }
};

TEST(ConversionDriver, RecordedSoundAndFrameFilesAreDeleted) {
    TemporaryFiles files("aud1.wav");
    ConversionJob job = imageJob(10, 10, 2);
    job.frameFiles = files.frameFiles;
    job.frameFiles.push_back(files.dir.file("already-gone.tmp"));
    job.settings.audioSource = AudioSource::RecordFromMovie;
    job.audioPath = files.sound;
    WriterLog log;
    ConversionDriver driver(job);
    attachRecorder(driver, log);
    MemoryFrames frames = MemoryFrames::pictures(8, 4, 2);
    EXPECT_EQ(driver.run(frames).outcome, ConversionResult::Outcome::Completed);
    EXPECT_FALSE(files.anyFrameFileLeft());
    EXPECT_FALSE(std::filesystem::exists(files.sound));
}

TEST(ConversionDriver, ImportedSoundIsKept) {
    for (bool cancel : {false, true}) {
        TemporaryFiles files("music.wav");
        ConversionJob job = imageJob(10, 10, 2);
        job.frameFiles = files.frameFiles;
        job.settings.audioSource = AudioSource::ImportFile;
        job.settings.audioFile = files.sound;
        job.audioPath = files.sound;
        WriterLog log;
        ConversionDriver driver(job);
        attachRecorder(driver, log);
        if (cancel)
            driver.requestCancel();
        MemoryFrames frames = MemoryFrames::pictures(8, 4, 2);
        driver.run(frames);
        EXPECT_FALSE(files.anyFrameFileLeft());
        EXPECT_TRUE(std::filesystem::exists(files.sound));
    }
}

TEST(ConversionDriver, WriterThatCannotOpenReadsNothingAndStillCleansUp) {
    TemporaryFiles files("aud2.wav");
    ConversionJob job = imageJob(10, 10, 3);
    job.frameFiles = files.frameFiles;
    job.settings.audioSource = AudioSource::RecordFromMovie;
    job.audioPath = files.sound;
    ConversionDriver driver(job);
    driver.setWriterFactory([](const ConversionJob&) {
        return Result<std::unique_ptr<FrameWriter>>::failure("Cannot open the output file.");
    });
    MemoryFrames frames = MemoryFrames::pictures(8, 4, 3);
    const ConversionResult result = driver.run(frames);
    EXPECT_EQ(result.outcome, ConversionResult::Outcome::Failed);
    EXPECT_EQ(result.message, "Cannot open the output file.");
    EXPECT_EQ(frames.advanceCalls, 0);
    EXPECT_FALSE(files.anyFrameFileLeft());
    EXPECT_FALSE(std::filesystem::exists(files.sound));
}

TEST(ConversionDriver, WatermarkDrawnOnceOnRepeatedAndDamagedFrames) {
    using K = MemoryFrames::Kind;
    ConversionJob job = imageJob(10, 20, 3);
    auto mark = std::make_shared<PictureImage>(2, 2, 24);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x) {
            uint8_t* p = mark->topRow(y) + x * 3;
            p[0] = 0;
            p[1] = 200; // green
            p[2] = 0;
        }
    job.settings.watermarkEnabled = true;
    job.settings.watermarkUseTransparency = true;
    job.settings.watermarkTransparency = 128;
    job.geometry.outputMarkWidth = 2;
    job.geometry.outputMarkHeight = 2;
    WriterLog log;
    ConversionDriver driver(job);
    driver.setWatermarkPicture(mark);
    attachRecorder(driver, log);
    MemoryFrames frames(8, 4, {K::Picture, K::Damaged, K::Repeat});
    ASSERT_EQ(driver.run(frames).outcome, ConversionResult::Outcome::Completed);
    ASSERT_EQ(log.frames.size(), 6u);
    // Green 200 at opacity 128 over green 0: (200 * 128 + 127) / 255 = 100, every frame.
    for (const Frame& f : log.frames) {
        EXPECT_EQ(colorGreen(f.pixel(0, 0)), 100);
        EXPECT_EQ(colorRed(f.pixel(0, 0)), (1 * 127 + 127) / 255);
        EXPECT_EQ(f.pixel(5, 3), makeColor(1, 0, 0)); // outside the mark
    }
}

// What a conversion leaves at a destination that held a file. A run that fails half-way
// (here: the recorded frames end early) leaves the old file as it was, never a half output
// under its name; a cancelled run completes the frames it wrote into the output. Neither
// leaves a temporary file beside it.
struct DestinationCase {
    const char* name;
    OutputType type;
    int width, height;
    const char* file;
    std::vector<uint8_t> signature; // how every file of the format begins
};

class ConversionDestinations : public testing::TestWithParam<DestinationCase> {};

ConversionJob jobWritingInto(const DestinationCase& c, const testkit::TempDir& dir) {
    ConversionJob job;
    ConversionSettings& s = job.settings;
    s.convertType = c.type;
    s.imageType = ImageType::AnimatedGif;
    s.mpegType = MpegType::VcdPal;
    s.videoContainer = VideoContainer::WebM;
    s.videoCodec = VideoCodec::Vp9;
    s.audioSource = AudioSource::None;
    s.movieFrameRate = s.aviFrameRate = s.imageFrameRate = s.mpegFrameRate = 25;
    s.sourcePath = dir.file("movie.swf");
    s.outputFile = dir.file(c.file);
    s.outputFolder = dir.path().string();
    job.frameCount = 6;
    job.geometry.outputWidth = job.geometry.contentWidth = c.width;
    job.geometry.outputHeight = job.geometry.contentHeight = c.height;
    return job;
}

std::vector<std::string> filesIn(const testkit::TempDir& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        names.push_back(entry.path().filename().string());
    return names;
}

TEST_P(ConversionDestinations, FailureKeepsTheOldFileAndCancelCompletesTheOutput) {
    const DestinationCase& c = GetParam();
    const std::vector<uint8_t> old = {'o', 'l', 'd', ' ', 'f', 'i', 'l', 'e'};
    for (const bool cancel : {false, true}) {
        SCOPED_TRACE(cancel ? "cancelled" : "failed");
        testkit::TempDir dir;
        const std::string destination = dir.file(c.file);
        testkit::writeFileBytes(destination, old);
        ConversionDriver driver(jobWritingInto(c, dir));
        // Cancelled after three frames, or three of six records lost.
        MemoryFrames frames = MemoryFrames::pictures(c.width, c.height, cancel ? 6 : 3);
        if (cancel)
            driver.setProgressCallback(
                [](const ConversionProgress& p) { return p.frameIndex < 2; });
        const ConversionResult result = driver.run(frames);
        const std::vector<uint8_t> now = testkit::readFileBytes(destination);
        if (cancel) {
            EXPECT_EQ(result.outcome, ConversionResult::Outcome::Cancelled) << result.message;
            EXPECT_EQ(result.framesWritten, 3);
            ASSERT_GE(now.size(), c.signature.size());
            EXPECT_TRUE(std::equal(c.signature.begin(), c.signature.end(), now.begin()));
        } else {
            EXPECT_EQ(result.outcome, ConversionResult::Outcome::Failed);
            EXPECT_EQ(result.framesWritten, 3);
            EXPECT_EQ(now, old);
        }
        EXPECT_EQ(filesIn(dir), std::vector<std::string>{c.file});
    }
}

INSTANTIATE_TEST_SUITE_P(
    Writers, ConversionDestinations,
    testing::Values(
        DestinationCase{"Avi", OutputType::Avi, 16, 8, "out.avi", {'R', 'I', 'F', 'F'}},
        DestinationCase{"Mpeg", OutputType::Mpeg, 352, 288, "out.mpg", {0, 0, 1, 0xBA}},
        DestinationCase{"AnimatedGif", OutputType::ImageSeries, 16, 8, "movie.gif",
                        {'G', 'I', 'F', '8'}},
        DestinationCase{"VideoFile", OutputType::VideoFile, 16, 8, "out.webm",
                        {0x1A, 0x45, 0xDF, 0xA3}}),
    [](const testing::TestParamInfo<DestinationCase>& p) { return std::string(p.param.name); });

TEST(ConversionDriver, EmptyFrameSizeFails) {
    ConversionJob job = imageJob(10, 10, 3);
    job.geometry.outputWidth = 0;
    WriterLog log;
    ConversionDriver driver(job);
    attachRecorder(driver, log);
    MemoryFrames frames = MemoryFrames::pictures(8, 4, 3);
    EXPECT_EQ(driver.run(frames).outcome, ConversionResult::Outcome::Failed);
    EXPECT_FALSE(log.opened);
}

} // namespace
} // namespace swivio
