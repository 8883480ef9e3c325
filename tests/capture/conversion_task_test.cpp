#include <algorithm>
#include <filesystem>

#include <gtest/gtest.h>

#include "capture/conversion_task.h"
#include "capture/recording_session.h"
#include "encode/avi/video_compressor_list.h"
#include "settings/settings_rules.h"
#include "tests/support/picture_files.h"
#include "tests/support/sound_files.h"
#include "tests/support/temp_dir.h"

namespace swivio {
namespace {

using Outcome = ConversionResult::Outcome;

// A movie that is not an SWF: frame i is one solid colour, so what was recorded shows
// that the recording and the task talk to the source contract alone.
class FakeSource final : public MovieSource {
public:
    explicit FakeSource(int frames) : m_frames(frames) {}
    static uint32_t colorOf(int frame) { return makeColor(uint8_t(40 * frame), 100, 200); }

    bool isFlv() const override { return false; }
    int32_t movieWidth() const override { return 32; }
    int32_t movieHeight() const override { return 16; }
    int32_t movieLength() const override { return m_frames; }
    float movieFrameRate() const override { return 10; }
    const std::vector<std::string>& warnings() const override { return m_warnings; }
    void play() override { m_playing = true; }
    void pause() override { m_playing = false; }
    void stop() override { m_playing = false, m_frame = 0; }
    void seek(int position) override { gotoFrame(position); }
    int position() const override { return m_frame + 1; }
    bool isPlaying() const override { return m_playing; }
    void tick() override {
        if (m_playing)
            m_frame = (m_frame + 1) % m_frames;
    }
    void gotoFrame(int frame) override { m_frame = std::clamp(frame, 0, m_frames - 1); }
    int currentFrame() const override { return m_frame; }
    bool atEnd() const override { return !m_playing && m_frame == m_frames - 1; }
    void restart() override { m_playing = true, m_frame = 0; }
    void forceFrame(int frame) override { gotoFrame(frame); }
    uint64_t displaySignature() override { return uint64_t(m_frame); }
    uint32_t backgroundColor() const override { return makeColor(0, 0, 0); }
    void paint(Frame& frame, const SourceViewport& v) override {
        for (int y = v.clipY; y < v.clipY + v.clipHeight; ++y)
            for (int x = v.clipX; x < v.clipX + v.clipWidth; ++x)
                frame.setPixel(x, y, colorOf(m_frame));
    }
    std::unique_ptr<MovieSource> openAnother() const override {
        return std::make_unique<FakeSource>(m_frames);
    }

private:
    int m_frames;
    int m_frame = 0;
    bool m_playing = false;
    std::vector<std::string> m_warnings;
};

// Settings for converting the fake movie into `type` output inside `dir`.
ConversionSettings settingsFor(const FakeSource& source, const testkit::TempDir& dir,
                               OutputType type) {
    ConversionSettings s;
    resetForMovie(s, dir.file("fake.swf"), movieProperties(source));
    s.conversionMode = ConversionMode::FrameByFrame;
    s.audioSource = AudioSource::None;
    s.convertType = type;
    s.imageType = ImageType::Png;
    s.outputFolder = dir.file("frames");
    s.outputFile = dir.file("out.avi");
    s.tempPathIndex = 1;
    s.tempPath = dir.path().string();
    std::filesystem::create_directories(s.outputFolder);
    applySettingsRules(s);
    return s;
}

// Temporary frame files left in the working folder.
int leftoverFrameFiles(const testkit::TempDir& dir) {
    int n = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        n += entry.path().filename().string().rfind("vid", 0) == 0;
    return n;
}

TEST(ConversionTask, RecordsWhatTheSourcePaintsAndEncodesIt) {
    testkit::TempDir dir;
    auto source = std::make_unique<FakeSource>(4);
    const ConversionSettings s = settingsFor(*source, dir, OutputType::ImageSeries);
    ConversionTask task(s, std::move(source));
    const TaskResult result = task.run();
    ASSERT_EQ(result.outcome, Outcome::Completed) << result.message;
    EXPECT_EQ(result.phase, ConversionPhase::Encoding);
    EXPECT_EQ(result.framesRecorded, 4);
    EXPECT_EQ(result.framesWritten, 4);
    for (int i = 0; i < 4; ++i) {
        const auto picture = testkit::readPngFile(dir.file("frames/" + std::to_string(i) + ".png"));
        ASSERT_TRUE(picture.ok) << picture.error;
        EXPECT_EQ(picture.at(16, 8), FakeSource::colorOf(i)) << i;
    }
    EXPECT_EQ(leftoverFrameFiles(dir), 0);
}

// Cancelling in either phase, or a writer that cannot open, ends the task with no frame
// file left behind; a cancelled recording writes nothing.
struct StopCase {
    const char* name;
    ConversionPhase stopIn;
    bool writerFails;
    Outcome outcome;
    int framesWritten;
};
class ConversionTaskStops : public testing::TestWithParam<StopCase> {};

TEST_P(ConversionTaskStops, LeaveNoTemporaryFiles) {
    const StopCase& c = GetParam();
    testkit::TempDir dir;
    auto source = std::make_unique<FakeSource>(5);
    const ConversionSettings s = settingsFor(*source, dir, OutputType::ImageSeries);
    ConversionTask task(s, std::move(source));
    // The phases one after the other (recording and encoding at once stop as
    // streaming_conversion_test shows).
    task.setRecordWhileEncoding(false);
    task.setProgressCallback([&](const TaskProgress& p) {
        return c.writerFails || !(p.phase == c.stopIn && p.index == 1);
    });
    if (c.writerFails)
        task.setWriterFactory([](const ConversionJob&) {
            return Result<std::unique_ptr<FrameWriter>>::failure("no room for the output");
        });
    const TaskResult result = task.run();
    EXPECT_EQ(result.outcome, c.outcome);
    EXPECT_EQ(result.phase, c.stopIn);
    EXPECT_EQ(result.framesWritten, c.framesWritten);
    if (c.writerFails) {
        EXPECT_EQ(result.message, "no room for the output");
    }
    EXPECT_EQ(leftoverFrameFiles(dir), 0);
    if (c.stopIn == ConversionPhase::Recording) {
        EXPECT_TRUE(std::filesystem::is_empty(dir.file("frames")));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ConversionTaskStops,
    testing::Values(StopCase{"CancelWhileRecording", ConversionPhase::Recording, false,
                             Outcome::Cancelled, 0},
                    StopCase{"CancelWhileEncoding", ConversionPhase::Encoding, false,
                             Outcome::Cancelled, 2},
                    StopCase{"WriterFails", ConversionPhase::Encoding, true, Outcome::Failed, 0}),
    [](const testing::TestParamInfo<StopCase>& p) { return std::string(p.param.name); });

TEST(ConversionTask, WhatCannotWorkIsRefusedBeforeRecording) {
    testkit::TempDir dir;
    auto source = std::make_unique<FakeSource>(3);
    ConversionSettings s = settingsFor(*source, dir, OutputType::Avi);
    s.audioSource = AudioSource::ImportFile;
    s.audioFile = dir.file("gone.wav");
    ConversionTask noSound(s, source->openAnother());
    const TaskResult sound = noSound.run();
    EXPECT_EQ(sound.outcome, Outcome::Failed);
    EXPECT_NE(sound.message.find("gone.wav"), std::string::npos) << sound.message;
    EXPECT_EQ(sound.framesRecorded, 0);

    s.audioSource = AudioSource::None;
    s.watermarkEnabled = true;
    s.watermarkFile = dir.file("logo.png");
    testkit::writeFileBytes(s.watermarkFile, {1, 2, 3});
    ConversionTask badMark(s, std::move(source));
    const TaskResult mark = badMark.run();
    EXPECT_EQ(mark.outcome, Outcome::Failed);
    EXPECT_NE(mark.message.find("The file format is not correct!"), std::string::npos);
    EXPECT_EQ(mark.framesRecorded, 0);
    EXPECT_FALSE(std::filesystem::exists(s.outputFile));
}

// A frame size the chosen compressor cannot take is refused before recording, with the rule,
// for every compressor that has a rule.
TEST(ConversionTask, SizeTheCompressorCannotTakeIsRefusedBeforeRecording) {
    int checked = 0;
    for (const VideoCompressorInfo& info : videoCompressors()) {
        if (info.widthMultiple <= 4 && info.heightMultiple <= 2)
            continue; // output frames are always a multiple of 4 wide and 2 high
        testkit::TempDir dir;
        auto source = std::make_unique<FakeSource>(3);
        ConversionSettings s = settingsFor(*source, dir, OutputType::Avi);
        s.aviFourCC = info.fourCC;
        s.aviKeepOriginalSize = false;
        // 4 more than a multiple of 64 wide, 2 more high: outside every rule above 4 x 2.
        s.aviWidth = 68;
        s.aviHeight = 66;
        ConversionTask task(s, std::move(source));
        const TaskResult result = task.run();
        EXPECT_EQ(result.outcome, Outcome::Failed) << info.name;
        EXPECT_EQ(result.framesRecorded, 0) << info.name;
        EXPECT_NE(result.message.find(info.name), std::string::npos) << result.message;
        EXPECT_NE(result.message.find("that is a multiple of"), std::string::npos)
            << result.message;
        EXPECT_FALSE(std::filesystem::exists(s.outputFile)) << info.name;
        EXPECT_EQ(leftoverFrameFiles(dir), 0) << info.name;
        ++checked;
    }
    EXPECT_GT(checked, 0) << "no compressor with a size rule is installed";
}

// A sound the AVI writer cannot add leaves the file without sound; the conversion must say
// so instead of reporting plain success.
TEST(ConversionTask, AviSoundThatCannotBeAddedIsReported) {
    testkit::TempDir dir;
    auto source = std::make_unique<FakeSource>(3);
    ConversionSettings s = settingsFor(*source, dir, OutputType::Avi);
    s.audioSource = AudioSource::ImportFile;
    s.audioFile = dir.file("broken.wav");
    testkit::WavSpec layout;
    layout.channels = 0; // no channels: not a sound the AVI can carry
    testkit::writeFileBytes(s.audioFile, testkit::makeWav(layout, std::vector<uint8_t>(400, 0)));
    ConversionTask task(s, std::move(source));
    const TaskResult result = task.run();
    ASSERT_EQ(result.outcome, Outcome::Completed) << result.message;
    EXPECT_EQ(result.framesWritten, 3);
    ASSERT_EQ(result.warnings().size(), 1u);
    EXPECT_NE(result.warnings()[0].find("has no sound"), std::string::npos)
        << result.warnings()[0];
    EXPECT_TRUE(std::filesystem::exists(s.outputFile));
}

// The output is checked before anything is recorded: a file that exists is replaced only
// when the front end allows it, and the movie itself never.
struct OutputCase {
    const char* name;
    bool outputIsTheMovie;
    bool overwriteAllowed;
    bool converts;
};
class ConversionTaskOutputs : public testing::TestWithParam<OutputCase> {};

TEST_P(ConversionTaskOutputs, ExistingFilesAreReplacedOnlyWhenAllowed) {
    const OutputCase& c = GetParam();
    testkit::TempDir dir;
    auto source = std::make_unique<FakeSource>(3);
    ConversionSettings s = settingsFor(*source, dir, OutputType::Avi);
    const std::vector<uint8_t> old = {'o', 'l', 'd'};
    testkit::writeFileBytes(s.sourcePath, old);
    if (c.outputIsTheMovie)
        s.outputFile = s.sourcePath;
    else
        testkit::writeFileBytes(s.outputFile, old);
    ConversionTask task(s, std::move(source));
    task.setOverwriteAllowed(c.overwriteAllowed);
    const TaskResult result = task.run();
    if (c.converts) {
        EXPECT_EQ(result.outcome, Outcome::Completed) << result.message;
        EXPECT_NE(testkit::readFileBytes(s.outputFile), old);
    } else {
        EXPECT_EQ(result.outcome, Outcome::Failed);
        EXPECT_EQ(result.framesRecorded, 0);
        EXPECT_NE(result.message.find(s.outputFile), std::string::npos) << result.message;
        EXPECT_EQ(testkit::readFileBytes(s.outputFile), old);
    }
    EXPECT_EQ(testkit::readFileBytes(s.sourcePath), old);
    EXPECT_EQ(leftoverFrameFiles(dir), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ConversionTaskOutputs,
    testing::Values(OutputCase{"ExistingNotAllowed", false, false, false},
                    OutputCase{"ExistingAllowed", false, true, true},
                    OutputCase{"TheMovieEvenWhenAllowed", true, true, false}),
    [](const testing::TestParamInfo<OutputCase>& p) { return std::string(p.param.name); });

} // namespace
} // namespace swivio
