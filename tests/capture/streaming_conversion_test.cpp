#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>

#include <gtest/gtest.h>

#include "capture/conversion_task.h"
#include "settings/settings_rules.h"
#include "source/movie_source.h"
#include "tests/support/picture_files.h"
#include "tests/support/swf_sounds.h"
#include "tests/support/swf_samples.h"
#include "tests/support/temp_dir.h"

namespace swivio {
namespace {

using Outcome = ConversionResult::Outcome;

// A movie whose frame i is one solid colour of its own, at 10 frames per second.
class ColourSource final : public MovieSource {
public:
    explicit ColourSource(int frames) : m_frames(frames) {}
    static uint32_t colorOf(int frame) {
        return makeColor(uint8_t(frame), uint8_t(frame >> 8), 200);
    }

    bool isFlv() const override { return false; }
    int32_t movieWidth() const override { return 32; }
    int32_t movieHeight() const override { return 16; }
    int32_t movieLength() const override { return m_frames; }
    float movieFrameRate() const override { return 10; }
    const std::vector<std::string>& warnings() const override { return m_warnings; }
    void play() override {}
    void pause() override {}
    void stop() override { m_frame = 0; }
    void seek(int position) override { gotoFrame(position); }
    int position() const override { return m_frame + 1; }
    bool isPlaying() const override { return true; }
    void tick() override {}
    void gotoFrame(int frame) override { m_frame = std::clamp(frame, 0, m_frames - 1); }
    int currentFrame() const override { return m_frame; }
    bool atEnd() const override { return m_frame == m_frames - 1; }
    void restart() override { m_frame = 0; }
    void forceFrame(int frame) override { gotoFrame(frame); }
    uint64_t displaySignature() override { return uint64_t(m_frame); }
    uint32_t backgroundColor() const override { return 0; }
    void paint(Frame& frame, const SourceViewport& v) override {
        for (int y = v.clipY; y < v.clipY + v.clipHeight; ++y)
            for (int x = v.clipX; x < v.clipX + v.clipWidth; ++x)
                frame.setPixel(x, y, colorOf(m_frame));
    }
    std::unique_ptr<MovieSource> openAnother() const override {
        return std::make_unique<ColourSource>(m_frames);
    }

private:
    int m_frames;
    int m_frame = 0;
    std::vector<std::string> m_warnings;
};

// What a probe writer saw, and the gate that holds frames back from `permitted` on: the
// encoder then falls behind the recording until the test permits more.
struct ProbeLog {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<uint32_t> colours; // the centre pixel of every frame written
    int permitted = 1 << 30;
    // How long a held frame waits at most: a fault then shows as a failed test, not a hang.
    std::chrono::milliseconds gateLimit{10000};
    int failAt = -1;
    bool failed = false;
    bool finished = false;
    bool abandoned = false;

    void permit(int frames) {
        std::lock_guard lock(mutex);
        permitted = frames;
        changed.notify_all();
    }
    template <typename Predicate> bool waitUntil(Predicate what, std::chrono::milliseconds limit) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, limit, what);
    }
};

class ProbeWriter final : public FrameWriter {
public:
    explicit ProbeWriter(std::shared_ptr<ProbeLog> log) : m_log(std::move(log)) {}
    bool writeFrame(const Frame& frame, int index) override {
        m_log->waitUntil([&] { return index < m_log->permitted; }, m_log->gateLimit);
        std::lock_guard lock(m_log->mutex);
        if (index == m_log->failAt) {
            m_log->failed = true;
            m_log->changed.notify_all();
            return false;
        }
        m_log->colours.push_back(frame.pixel(frame.width() / 2, frame.height() / 2));
        return true;
    }
    bool finish() override {
        std::lock_guard lock(m_log->mutex);
        m_log->finished = true;
        return true;
    }
    void abandon() override {
        std::lock_guard lock(m_log->mutex);
        m_log->abandoned = true;
    }
    std::string errorString() const override { return m_log->failed ? "disk full" : ""; }

private:
    std::shared_ptr<ProbeLog> m_log;
};

ConversionSettings settingsFor(const MovieSource& source, const testkit::TempDir& dir,
                               OutputType type) {
    ConversionSettings s;
    resetForMovie(s, dir.file("movie.swf"), movieProperties(source));
    s.conversionMode = ConversionMode::FrameByFrame;
    s.audioSource = AudioSource::None;
    s.convertType = type;
    s.imageType = ImageType::Png;
    s.outputFolder = dir.file("frames");
    s.outputFile = dir.file("out.avi");
    s.aviFourCC = 0;
    s.tempPathIndex = 1;
    s.tempPath = dir.file("work");
    std::filesystem::create_directories(s.outputFolder);
    std::filesystem::create_directories(s.tempPath);
    applySettingsRules(s);
    return s;
}

int frameFilesIn(const std::string& folder) {
    int n = 0;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ignored))
        n += entry.path().filename().string().rfind("vid", 0) == 0;
    return n;
}

// Runs the colour movie of `frames` frames through a probe writer.
TaskResult convertWithProbe(ConversionTask& task, const std::shared_ptr<ProbeLog>& log) {
    task.setWriterFactory([log](const ConversionJob&) {
        return Result<std::unique_ptr<FrameWriter>>(std::make_unique<ProbeWriter>(log));
    });
    return task.run();
}

// Recording and encoding at once gives the output the two phases give, frame for frame,
// whether the encoder keeps up or falls behind (then frames spill and are read back), at
// rates that repeat records, drop them, or keep them.
struct RateCase {
    const char* name;
    double outputRate;
    bool encoderBehind;
};
class RecordWhileEncoding : public testing::TestWithParam<RateCase> {};

TEST_P(RecordWhileEncoding, WritesWhatTheTwoPhasesWrite) {
    const RateCase& c = GetParam();
    constexpr int kFrames = 30;
    testkit::TempDir dir;
    ColourSource movie(kFrames);
    ConversionSettings s = settingsFor(movie, dir, OutputType::Avi);
    s.aviFrameRate = c.outputRate;

    auto twoPhases = std::make_shared<ProbeLog>();
    ConversionTask reference(s, movie.openAnother());
    reference.setRecordWhileEncoding(false);
    ASSERT_EQ(convertWithProbe(reference, twoPhases).outcome, Outcome::Completed);

    auto atOnce = std::make_shared<ProbeLog>();
    if (c.encoderBehind)
        atOnce->permit(0);
    ConversionTask task(s, movie.openAnother());
    int spillFilesSeen = 0;
    task.setProgressCallback([&](const TaskProgress& p) {
        if (p.phase == ConversionPhase::Recording && p.index == kFrames - 1) {
            spillFilesSeen = frameFilesIn(s.tempPath);
            atOnce->permit(1 << 30);
        }
        return true;
    });
    const TaskResult result = convertWithProbe(task, atOnce);
    ASSERT_EQ(result.outcome, Outcome::Completed) << result.message;
    EXPECT_EQ(result.phase, ConversionPhase::Encoding);
    EXPECT_EQ(result.framesRecorded, kFrames);
    EXPECT_EQ(atOnce->colours, twoPhases->colours);
    EXPECT_EQ(result.framesWritten, int(twoPhases->colours.size()));
    EXPECT_TRUE(atOnce->finished);
    if (c.encoderBehind) {
        EXPECT_GT(spillFilesSeen, 0) << "an encoder held back makes the recording spill";
    }
    EXPECT_EQ(frameFilesIn(s.tempPath), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RecordWhileEncoding,
    testing::Values(RateCase{"SameRate", 10, false}, RateCase{"Repeats", 25, false},
                    RateCase{"Drops", 4, false}, RateCase{"SameRateBehind", 10, true},
                    RateCase{"RepeatsBehind", 25, true}, RateCase{"DropsBehind", 4, true}),
    [](const testing::TestParamInfo<RateCase>& p) { return std::string(p.param.name); });

// A movie with a sound stream, 12 frames a second: frame f's block is a level of its own.
std::string writeSoundMovie(const testkit::TempDir& dir) {
    testkit::SwfWriter w;
    w.xMax = 64 * 20;
    w.yMax = 48 * 20;
    w.frameCount = 30;
    w.tag(18, testkit::soundStreamHeadBody(3, 44100, true, false, 3675));
    for (int f = 0; f < 30; ++f) {
        const std::vector<int16_t> block(3675, int16_t((f % 7 - 3) * 4000));
        w.tag(19, testkit::littleEndianBytes(block)).showFrame();
    }
    w.end();
    const std::string path = dir.file("sound.swf");
    EXPECT_TRUE(w.writeFile(path));
    return path;
}

std::string writeCartoon(const testkit::TempDir& dir) {
    testkit::CartoonOptions cartoon;
    cartoon.shapes = 40;
    cartoon.frames = 6;
    const std::string path = dir.file("cartoon.swf");
    EXPECT_TRUE(testkit::writeBytes(path, testkit::cartoonMovie(cartoon)));
    return path;
}

// Movies of the engine into real outputs, both ways: a PNG series of a drawn movie (read
// back by libpng), and AVI (PCM or MP3 sound) and MPEG files of a movie with a sound
// stream, whose sound the encoder reads while the recording writes it: the same bytes.
// (H.264 files are left out: theirs can differ between two runs of one conversion.)
struct OutputCase {
    const char* name;
    OutputType type;
    int aviAudioFormat;
};
class RecordWhileEncodingOutputs : public testing::TestWithParam<OutputCase> {};

TEST_P(RecordWhileEncodingOutputs, MatchTheTwoPhases) {
    const OutputCase& c = GetParam();
    const bool pictures = c.type == OutputType::ImageSeries;
    testkit::TempDir dir;
    const std::string moviePath = pictures ? writeCartoon(dir) : writeSoundMovie(dir);
    auto opened = openMovieSource(moviePath);
    ASSERT_TRUE(opened) << opened.message();
    ConversionSettings base;
    resetForMovie(base, moviePath, movieProperties(**opened));
    base.conversionMode = ConversionMode::FrameByFrame;
    base.audioSource = pictures ? AudioSource::None : AudioSource::RecordFromMovie;
    base.convertType = c.type;
    base.imageType = ImageType::Png;
    base.aviFourCC = 0;
    base.aviAudioFormat = c.aviAudioFormat;
    base.tempPathIndex = 1;
    base.tempPath = dir.path().string();
    std::vector<std::string> outputs;
    std::vector<int> written;
    for (const bool atOnce : {false, true}) {
        ConversionSettings s = base;
        const std::string name = atOnce ? "at_once" : "two_phases";
        s.outputFile = dir.file(name + ".out");
        s.outputFolder = dir.file(name);
        std::filesystem::create_directories(s.outputFolder);
        applySettingsRules(s);
        ConversionTask task(s, (*opened)->openAnother());
        task.setRecordWhileEncoding(atOnce);
        const TaskResult result = task.run();
        ASSERT_EQ(result.outcome, Outcome::Completed) << result.message;
        EXPECT_TRUE(result.warnings().empty()) << result.warnings()[0];
        outputs.push_back(pictures ? s.outputFolder : s.outputFile);
        written.push_back(result.framesWritten);
    }
    EXPECT_GT(written[0], 0);
    EXPECT_EQ(written[1], written[0]);
    for (int i = 0; pictures && i < written[0]; ++i) {
        const std::string name = "/" + std::to_string(i) + ".png";
        const auto expected = testkit::readPngFile(outputs[0] + name);
        const auto actual = testkit::readPngFile(outputs[1] + name);
        ASSERT_TRUE(expected.ok && actual.ok) << expected.error << actual.error;
        EXPECT_EQ(actual.pixels, expected.pixels) << name;
    }
    if (!pictures) {
        EXPECT_TRUE(testkit::readFileBytes(outputs[1]) == testkit::readFileBytes(outputs[0]));
    }
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(name.rfind("vid", 0) != 0 && name.rfind("aud", 0) != 0) << name;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RecordWhileEncodingOutputs,
    testing::Values(OutputCase{"PngSeries", OutputType::ImageSeries, 0},
                    OutputCase{"AviPcm", OutputType::Avi, kAviAudioFormatPcm},
                    OutputCase{"AviMp3", OutputType::Avi, kAviAudioFormatPcm + 1},
                    OutputCase{"Mpeg", OutputType::Mpeg, 0}),
    [](const testing::TestParamInfo<OutputCase>& p) { return std::string(p.param.name); });

// An encoder that fails midway stops the recording; the task fails with the writer's
// message, abandons the output and leaves no frame file.
TEST(RecordWhileEncoding, EncoderFailureStopsTheRecording) {
    constexpr int kFrames = 200;
    testkit::TempDir dir;
    ColourSource movie(kFrames);
    const ConversionSettings s = settingsFor(movie, dir, OutputType::Avi);
    auto log = std::make_shared<ProbeLog>();
    log->failAt = 2;
    ConversionTask task(s, movie.openAnother());
    task.setProgressCallback([&](const TaskProgress& p) {
        // The recording waits here, once, until the encoder has failed.
        if (p.phase == ConversionPhase::Recording && p.index == 20) {
            EXPECT_TRUE(log->waitUntil([&] { return log->failed; }, std::chrono::seconds(10)));
        }
        return true;
    });
    const TaskResult result = convertWithProbe(task, log);
    EXPECT_EQ(result.outcome, Outcome::Failed);
    EXPECT_EQ(result.phase, ConversionPhase::Encoding);
    EXPECT_EQ(result.message, "disk full");
    EXPECT_LE(result.framesRecorded, 21);
    EXPECT_TRUE(log->abandoned);
    EXPECT_FALSE(log->finished);
    EXPECT_EQ(frameFilesIn(s.tempPath), 0);
}

// A recording that fails (its spill folder gone while the encoder is held back) or is
// cancelled while both run: the encoder abandons the output, the destination keeps what it
// had, no frame file is left.
struct StopCase {
    const char* name;
    bool removeSpillFolder;
    Outcome outcome;
};
class RecordWhileEncodingStops : public testing::TestWithParam<StopCase> {};

TEST_P(RecordWhileEncodingStops, LeaveTheDestinationAsItWas) {
    const StopCase& c = GetParam();
    testkit::TempDir dir;
    ColourSource movie(40);
    const ConversionSettings s = settingsFor(movie, dir, OutputType::Avi);
    const std::vector<uint8_t> old = {'o', 'l', 'd'};
    testkit::writeFileBytes(s.outputFile, old);
    auto log = std::make_shared<ProbeLog>();
    if (c.removeSpillFolder) {
        // Held back, the encoder leaves records to spill; the failed recording never lets
        // it go, so the hold is short.
        log->permit(0);
        log->gateLimit = std::chrono::milliseconds(300);
    }
    ConversionTask task(s, movie.openAnother());
    task.setOverwriteAllowed(true);
    task.setProgressCallback([&](const TaskProgress& p) {
        if (p.phase != ConversionPhase::Recording || p.index != 1)
            return true;
        if (c.removeSpillFolder) {
            std::filesystem::remove_all(s.tempPath);
            return true;
        }
        return false;
    });
    const TaskResult result = convertWithProbe(task, log);
    EXPECT_EQ(result.outcome, c.outcome);
    EXPECT_EQ(result.phase, ConversionPhase::Recording);
    if (c.outcome == Outcome::Failed) {
        EXPECT_EQ(result.message.rfind("Recording failed: ", 0), 0u) << result.message;
    }
    EXPECT_LT(result.framesRecorded, 40);
    EXPECT_TRUE(log->abandoned);
    EXPECT_FALSE(log->finished);
    EXPECT_EQ(testkit::readFileBytes(s.outputFile), old);
    EXPECT_EQ(frameFilesIn(s.tempPath), 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, RecordWhileEncodingStops,
                         testing::Values(StopCase{"RecordingFails", true, Outcome::Failed},
                                         StopCase{"CancelWhileBothRun", false, Outcome::Cancelled}),
                         [](const testing::TestParamInfo<StopCase>& p) {
                             return std::string(p.param.name);
                         });

// A cancel once the recording is complete is a cancelled encoding: the frames written so far
// are completed into the output.
TEST(RecordWhileEncoding, CancelAfterTheRecordingCompletesTheOutput) {
    constexpr int kFrames = 30;
    testkit::TempDir dir;
    ColourSource movie(kFrames);
    const ConversionSettings s = settingsFor(movie, dir, OutputType::Avi);
    auto log = std::make_shared<ProbeLog>();
    log->permit(0);
    ConversionTask task(s, movie.openAnother());
    std::vector<ConversionPhase> phases;
    task.setProgressCallback([&](const TaskProgress& p) {
        if (phases.empty() || phases.back() != p.phase)
            phases.push_back(p.phase);
        if (p.phase == ConversionPhase::Recording && p.index == kFrames - 1)
            log->permit(3);
        if (p.phase == ConversionPhase::Encoding && p.index >= 2) {
            // The frame the encoder may be holding when the cancel comes is the last.
            task.requestCancel();
            log->permit(1 << 30);
        }
        return true;
    });
    const TaskResult result = convertWithProbe(task, log);
    EXPECT_EQ(result.outcome, Outcome::Cancelled);
    EXPECT_EQ(result.phase, ConversionPhase::Encoding);
    EXPECT_EQ(result.framesRecorded, kFrames);
    EXPECT_GE(result.framesWritten, 3);
    EXPECT_LE(result.framesWritten, 4);
    EXPECT_EQ(int(log->colours.size()), result.framesWritten);
    EXPECT_TRUE(log->finished);
    EXPECT_EQ(phases, (std::vector{ConversionPhase::Recording, ConversionPhase::Encoding}));
    EXPECT_EQ(frameFilesIn(s.tempPath), 0);
}

} // namespace
} // namespace swivio
