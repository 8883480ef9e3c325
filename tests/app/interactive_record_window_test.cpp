#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>

#include <filesystem>
#include <functional>
#include <set>

#include "app/record/conversion_run.h"
#include "app/record/cursor_picture.h"
#include "app/record/interactive_conversion.h"
#include "app/record/interactive_record_rules.h"
#include "app/record/interactive_record_window.h"
#include "app/record/player_view.h"
#include "capture/conversion_task.h"
#include "capture/interactive_recording.h"
#include "settings/settings_persistence.h"
#include "settings/settings_rules.h"
#include "settings/settings_store.h"
#include "tests/app/app_test_support.h"
#include "tests/cli/media_probe.h"
#include "tests/support/flv_files.h"
#include "tests/support/temp_dir.h"

namespace swivio::app {
namespace {

// Runs the event loop until `done` holds or `ms` pass.
bool waitFor(const std::function<bool()>& done, int ms = 10000) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}

// A test movie of `frames` frames (12 a second; an FLV video 10 a second) to record
// interactively into an MJPEG AVI, with the movie's sound recorded, all in a folder of its
// own.
struct Movie {
    explicit Movie(int frames, bool flv = false) {
        testkit::testApplication();
        path = dir.file(flv ? "movie.flv" : "movie.swf");
        if (flv) {
            testkit::FlvRecipe recipe;
            recipe.frames = frames;
            EXPECT_TRUE(testkit::writeFlv(path, recipe));
        } else {
            EXPECT_TRUE(testkit::writeTestMovie(path, frames));
        }
        auto source = openMovieSource(path);
        EXPECT_TRUE(source);
        resetForMovie(settings, path, movieProperties(**source));
        settings.conversionMode = ConversionMode::Interactive;
        settings.aviFourCC = 0x47504A4D; // MJPG
        settings.audioSource = AudioSource::RecordFromMovie;
        applySettingsRules(settings);
    }
    // Every file in the folder but the movie.
    std::set<std::string> otherFiles() const {
        std::set<std::string> files;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
            if (entry.path().string() != path)
                files.insert(entry.path().filename().string());
        return files;
    }

    testkit::TempDir dir;
    std::string path;
    ConversionSettings settings;
    MemorySettingsStore store;
};

QPushButton* button(QDialog& window, const QString& text) {
    for (QPushButton* b : window.findChildren<QPushButton*>())
        if (b->text() == text)
            return b;
    return nullptr;
}

TEST(InteractiveRecordWindowTest, ButtonsFollowPreviewRecordPauseAndFinishHandsOverTheJob) {
    Movie movie(600);
    InteractiveRecording recording(movie.settings);
    ASSERT_TRUE(recording.open());
    InteractiveRecordWindow window(recording, movie.settings, movie.store);
    window.show();
    QPushButton* play = button(window, "&Play");
    QPushButton* record = button(window, "&Record");
    QPushButton* pause = window.findChild<QPushButton*>("pauseButton");
    QPushButton* finish = button(window, "&Finish");
    ASSERT_TRUE(play && record && pause && finish);
    EXPECT_EQ(play->toolTip(), "Start to play the movie without recording");
    EXPECT_EQ(record->toolTip(), "Start to play the movie and record it");
    EXPECT_EQ(finish->toolTip(), "Stop all and exit");

    struct Step {
        const char* name;
        std::function<void()> act;
        bool play, record, pause, finish;
        QString pauseText;
    };
    const Step steps[] = {
        {"opened", [] {}, true, true, false, true, "Pa&use"},
        {"previewing", [&] { window.play(); }, false, true, false, true, "Pa&use"},
        {"recording", [&] { window.startRecording(); }, false, false, true, true, "Pa&use"},
        {"paused", [&] { window.togglePause(); }, false, false, true, true, "Res&ume"},
        {"resumed", [&] { window.togglePause(); }, false, false, true, true, "Pa&use"},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        step.act();
        waitFor([] { return false; }, 300);
        EXPECT_EQ(play->isEnabled(), step.play);
        EXPECT_EQ(record->isEnabled(), step.record);
        EXPECT_EQ(pause->isEnabled(), step.pause);
        EXPECT_EQ(finish->isEnabled(), step.finish);
        EXPECT_EQ(pause->text(), step.pauseText);
    }
    EXPECT_TRUE(waitFor([&] { return recording.stats().pictures >= 5; }));
    // Paused, the recording takes no picture while the movie goes on; the status line says so.
    window.togglePause();
    waitFor([] { return false; }, 300);
    const int held = recording.stats().pictures;
    waitFor([] { return false; }, 400);
    EXPECT_EQ(recording.stats().pictures, held);
    auto* status = window.findChild<QLabel*>("recordStatus");
    ASSERT_NE(status, nullptr);
    EXPECT_TRUE(status->text().startsWith("Paused at")) << status->text().toStdString();
    window.togglePause();
    finish->click();
    EXPECT_EQ(window.result(), QDialog::Accepted);
    std::optional<ConversionJob> job = window.takeJob();
    ASSERT_TRUE(job);
    ASSERT_GT(job->frameCount, 0);
    EXPECT_FALSE(movie.otherFiles().empty());

    // The encoding takes what was recorded and leaves only the output behind.
    ConversionRun run(*job, false);
    bool finished = false;
    QObject::connect(&run, &ConversionRun::finished, [&] { finished = true; });
    run.start();
    ASSERT_TRUE(waitFor([&] { return finished; }));
    EXPECT_EQ(run.result().outcome, ConversionResult::Outcome::Completed) << run.result().message;
    const testkit::MediaInfo info = testkit::probeMedia(movie.settings.outputFile);
    EXPECT_EQ(info.decodedFrames, job->frameCount);
    EXPECT_EQ(info.audioCodec.empty(), false);
    EXPECT_EQ(movie.otherFiles(),
              std::set<std::string>{
                  std::filesystem::path(movie.settings.outputFile).filename().string()});
}

TEST(InteractiveRecordWindowTest, AutoFinishEndsTheRecordingWhenTheMovieArrivesAtItsEnd) {
    struct Case {
        int frames;
        bool flv;
        bool checked;
        bool finishes;
    };
    const Case cases[] = {
        {6, false, true, true},
        {6, false, false, false},
        // A movie resting on its only frame never arrives anywhere.
        {1, false, true, false},
        // A second and a half of video: its end comes within its second second.
        {15, true, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.frames << " frames, flv " << c.flv << ", box " << c.checked);
        Movie movie(c.frames, c.flv);
        writeAutofinish(movie.store, c.checked);
        InteractiveRecording recording(movie.settings);
        ASSERT_TRUE(recording.open());
        InteractiveRecordWindow window(recording, movie.settings, movie.store);
        window.show();
        window.startRecording();
        auto* position = window.findChild<QLabel*>("positionText");
        ASSERT_NE(position, nullptr);
        EXPECT_TRUE(position->text().endsWith(c.flv ? " seconds" : " frames"))
            << position->text().toStdString();
        // The movies last two seconds at most.
        const bool ended = waitFor([&] { return !window.isVisible(); }, c.finishes ? 5000 : 1500);
        EXPECT_EQ(ended, c.finishes);
        if (ended) {
            EXPECT_EQ(window.result(), QDialog::Accepted);
            std::optional<ConversionJob> job = window.takeJob();
            ASSERT_TRUE(job);
            EXPECT_GE(job->frameCount, c.frames);
            // Not encoded here: its files go with the folder.
        } else {
            window.finish();
        }
    }
}

TEST(InteractiveRecordWindowTest, ThePointerOverTheMovieIsRecordedWhenAskedFor) {
    for (const bool capture : {true, false}) {
        SCOPED_TRACE(capture);
        Movie movie(600);
        movie.settings.captureCursor = capture;
        movie.settings.audioSource = AudioSource::None;
        InteractiveRecording recording(movie.settings);
        ASSERT_TRUE(recording.open());
        InteractiveRecordWindow window(recording, movie.settings, movie.store);
        window.show();
        auto* view = window.findChild<PlayerView*>();
        ASSERT_NE(view, nullptr);
        // The pointer rests on the middle of the movie, far from its moving square.
        const QPointF middle(view->width() / 2.0, view->height() / 2.0);
        QMouseEvent move(QEvent::MouseMove, middle, view->mapToGlobal(middle), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(view, &move);
        window.startRecording();
        ASSERT_TRUE(waitFor([&] { return recording.stats().pictures >= 4; }));
        window.finish();
        std::optional<ConversionJob> job = window.takeJob();
        ASSERT_TRUE(job);
        const int last = job->frameCount - 1;
        ConversionRun run(*job, false);
        bool finished = false;
        QObject::connect(&run, &ConversionRun::finished, [&] { finished = true; });
        run.start();
        ASSERT_TRUE(waitFor([&] { return finished; }));
        const testkit::MediaInfo info = testkit::probeMedia(movie.settings.outputFile, {last});
        ASSERT_EQ(info.pictures.size(), 1u);
        // Inside the arrow, a little below its tip: white where drawn, the movie's dark blue
        // background otherwise.
        const int x = info.width / 2 + 2;
        const int y = info.height / 2 + 8;
        const uint32_t colour = testkit::pictureColor(info, 0, x, y);
        EXPECT_EQ((colour & 0xFF) > 0xC0, capture) << std::hex << colour;
    }
}

TEST(InteractiveRecordWindowTest, CancelBeforeRecordLeavesNoFileBehind) {
    struct Case {
        const char* name;
        std::function<void(InteractiveRecordWindow&)> act;
    };
    const Case cases[] = {
        {"escape", [](InteractiveRecordWindow& w) { QTest::keyClick(&w, Qt::Key_Escape); }},
        {"escape in the movie after play",
         [](InteractiveRecordWindow& w) {
             w.play();
             waitFor([] { return false; }, 200);
             QTest::keyClick(w.focusWidget() ? w.focusWidget() : &w, Qt::Key_Escape);
         }},
        {"finish after play",
         [](InteractiveRecordWindow& w) {
             w.play();
             waitFor([] { return false; }, 200);
             w.finish();
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Movie movie(60);
        {
            InteractiveRecording recording(movie.settings);
            ASSERT_TRUE(recording.open());
            InteractiveRecordWindow window(recording, movie.settings, movie.store);
            window.show();
            window.activateWindow();
            c.act(window);
            EXPECT_TRUE(waitFor([&] { return !window.isVisible(); }, 2000));
            EXPECT_EQ(window.result(), QDialog::Rejected);
            EXPECT_FALSE(window.takeJob());
            EXPECT_TRUE(movie.otherFiles().empty());
        }
        EXPECT_TRUE(movie.otherFiles().empty());
    }
}

TEST(InteractiveRecordWindowTest, AMovieThatCannotBeOpenedShowsWhyAndNoWindow) {
    Movie movie(10);
    movie.settings.sourcePath = movie.dir.file("missing.swf");
    QStringList told;
    const auto run = recordInteractively(movie.settings, movie.store, false, nullptr,
                                         [&](QWidget*, const QString& text) { told << text; });
    EXPECT_EQ(run, nullptr);
    ASSERT_EQ(told.size(), 1);
    EXPECT_TRUE(told.front().startsWith(kInvalidMovieMessage)) << told.front().toStdString();
    EXPECT_TRUE(movie.otherFiles().empty());
}

TEST(InteractiveRecordRulesTest, StatusLineAndPointerPlace) {
    InteractiveStats stats;
    stats.recordCount = 150;
    stats.pictures = 149;
    stats.soundSeconds = 5.96;
    EXPECT_EQ(recordingStatusText(stats, 25, false, true),
              "Recorded 0:06.0 (149 pictures, 6.0 s of sound)");
    stats.recordCount = 1501;
    stats.pictures = 1;
    stats.repeatedTicks = 3;
    EXPECT_EQ(recordingStatusText(stats, 12, true, false),
              "Paused at 2:05.0 (1 picture, 3 late)");

    // A 100 x 50 movie fitted into a 400 x 400 view shows at 400 x 200 from y = 100; the
    // player is 200 x 100.
    const FitRect fit = fitMovie(100, 50, 400, 400);
    struct Point {
        double x, y;
        bool inside;
        int px, py;
    };
    const Point points[] = {{0, 100, true, 0, 0},
                            {399, 299, true, 199, 99},
                            {200, 150, true, 100, 25},
                            {200, 99, false, 0, 0},
                            {200, 300, false, 0, 0}};
    for (const Point& p : points) {
        int px = -1;
        int py = -1;
        ASSERT_EQ(viewToPlayer(fit, 100, 50, 200, 100, p.x, p.y, px, py), p.inside)
            << p.x << "," << p.y;
        if (p.inside) {
            EXPECT_EQ(px, p.px);
            EXPECT_EQ(py, p.py);
        }
    }
}

TEST(CursorPictureTest, EachShapeHasAVisiblePointAtItsHotSpot) {
    testkit::testApplication();
    for (Qt::CursorShape shape : {Qt::ArrowCursor, Qt::PointingHandCursor, Qt::IBeamCursor}) {
        SCOPED_TRACE(shape);
        const std::optional<CursorPicture> picture = cursorPicture(QCursor(shape), 30, 40);
        ASSERT_TRUE(picture);
        EXPECT_EQ(picture->x, 30);
        EXPECT_EQ(picture->y, 40);
        ASSERT_EQ(picture->bgra.size(), std::size_t(picture->width) * picture->height * 4);
        ASSERT_LT(picture->hotX, picture->width);
        ASSERT_LT(picture->hotY, picture->height);
        // The hot spot lies on the drawing, so the point clicked is where it shows.
        const std::size_t hot = (std::size_t(picture->hotY) * picture->width + picture->hotX) * 4;
        EXPECT_GT(picture->bgra[hot + 3], 0);
    }
    EXPECT_FALSE(cursorPicture(QCursor(Qt::BlankCursor), 0, 0));
    // A cursor with a picture of its own keeps it and its hot spot.
    QPixmap own(5, 3);
    own.fill(QColor(10, 20, 30));
    const std::optional<CursorPicture> picture = cursorPicture(QCursor(own, 4, 2), 0, 0);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->width, 5);
    EXPECT_EQ(picture->hotX, 4);
    EXPECT_EQ(picture->hotY, 2);
    EXPECT_EQ(picture->bgra[0], 30);
    EXPECT_EQ(picture->bgra[2], 10);
}

} // namespace
} // namespace swivio::app
