#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>

#include <filesystem>
#include <functional>

#include "app/record/conversion_run.h"
#include "app/record/converting_window.h"
#include "capture/conversion_task.h"
#include "settings/settings_rules.h"
#include "source/movie_source.h"
#include "tests/app/app_test_support.h"
#include "tests/cli/media_probe.h"
#include "tests/support/temp_dir.h"

namespace swivio::app {
namespace {

// A run of a long movie into an MJPEG AVI in `dir`, not yet started.
std::unique_ptr<ConversionRun> longRun(const testkit::TempDir& dir, std::string& output) {
    const std::string movie = dir.file("long.swf");
    EXPECT_TRUE(testkit::writeTestMovie(movie, 3000));
    auto source = openMovieSource(movie);
    EXPECT_TRUE(source);
    ConversionSettings s;
    resetForMovie(s, movie, movieProperties(**source));
    s.conversionMode = ConversionMode::FrameByFrame;
    s.aviFourCC = 0x47504A4D; // MJPG
    s.audioSource = AudioSource::None;
    applySettingsRules(s);
    output = s.outputFile;
    return std::make_unique<ConversionRun>(s, std::move(*source), false);
}

// Runs the event loop until `done` holds or ten seconds pass.
bool waitFor(const std::function<bool()>& done) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}

TEST(ConversionRunTest, FinishDuringTheRecordingEncodesWhatWasRecorded) {
    testkit::testApplication();
    testkit::TempDir dir;
    std::string output;
    auto run = longRun(dir, output);
    bool finished = false;
    QObject::connect(run.get(), &ConversionRun::finished, [&] { finished = true; });
    run->start();
    ASSERT_TRUE(waitFor([&] { return run->progress().index >= 5; }));
    run->finishRecording();
    ASSERT_TRUE(waitFor([&] { return finished; }));
    const TaskResult& r = run->result();
    EXPECT_EQ(r.outcome, ConversionResult::Outcome::Completed) << r.message;
    EXPECT_EQ(r.phase, ConversionPhase::Encoding);
    EXPECT_GE(r.framesRecorded, 5);
    EXPECT_LT(r.framesRecorded, 3000);
    EXPECT_EQ(testkit::probeMedia(output).decodedFrames, r.framesRecorded);
}

TEST(ConvertingWindowTest, CancelAsksAndYesKeepsTheFramesWritten) {
    testkit::testApplication();
    testkit::TempDir dir;
    std::string output;
    auto run = longRun(dir, output);
    // The phases one after the other, so the encoding cannot have kept up with the
    // recording (as it may in an instrumented build, where the recording is the slower side).
    run->setRecordWhileEncoding(false);
    run->start();
    // Enough recorded frames that the encoding outlasts the clicks below.
    ASSERT_TRUE(waitFor([&] { return run->progress().index >= 300; }));
    run->finishRecording();
    ASSERT_TRUE(waitFor([&] { return run->progress().phase == ConversionPhase::Encoding; }));

    ConvertingWindow window(*run);
    int asked = 0;
    bool answer = false;
    window.setCancelQuestion([&] {
        ++asked;
        return answer;
    });
    auto* cancel = window.findChild<QPushButton*>();
    ASSERT_NE(cancel, nullptr);
    bool endedFirst = false;
    QTimer::singleShot(0, &window, [&] {
        endedFirst = run->isDone();
        cancel->click(); // No: the encoding goes on
        answer = true;
        cancel->click();
    });
    const int result = window.exec();
    ASSERT_FALSE(endedFirst) << "the encoding ended before Cancel could be pressed";
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(result, QDialog::Rejected);
    ASSERT_TRUE(run->isDone());
    const TaskResult& r = run->result();
    EXPECT_EQ(r.outcome, ConversionResult::Outcome::Cancelled);
    EXPECT_LT(r.framesWritten, r.framesRecorded);
    // The frames written so far make a whole file that a reader takes.
    EXPECT_EQ(testkit::probeMedia(output).decodedFrames, r.framesWritten);
}

} // namespace
} // namespace swivio::app
