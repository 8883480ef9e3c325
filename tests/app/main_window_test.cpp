#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QTest>

#include <filesystem>
#include <memory>
#include <set>

#include "app/main_window.h"
#include "app/record/interactive_record_window.h"
#include "app/record/record_window.h"
#include "app/settings/crop_dialog_call.h"
#include "app/settings/settings_sheet.h"
#include "settings/settings_store.h"
#include "source/player_host.h"
#include "tests/app/app_test_support.h"
#include "tests/cli/media_probe.h"
#include "tests/support/swf_movies.h"
#include "tests/support/temp_dir.h"

namespace swivio::app {
namespace {

// A main window on a settings store of its own, with a test movie beside it and every
// question and message recorded instead of shown.
struct Fixture {
    Fixture() {
        testkit::testApplication();
        movie = dir.file("movie.swf");
        EXPECT_TRUE(testkit::writeTestMovie(movie, 30));
        window = std::make_unique<MainWindow>(std::make_unique<MemorySettingsStore>());
        Prompter p;
        p.ask = [this](QWidget*, const QString& text) {
            questions.push_back(text);
            return answer;
        };
        p.tell = [this](QWidget*, const QString& text) { messages.push_back(text); };
        window->setPrompter(p);
        window->show();
    }
    QString text(const char* name) const {
        if (auto* label = window->findChild<QLabel*>(name))
            return label->text();
        if (auto* edit = window->findChild<QLineEdit*>(name))
            return edit->text();
        ADD_FAILURE() << "no control " << name;
        return {};
    }
    bool enabled(const char* name) const {
        auto* w = window->findChild<QWidget*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w && w->isEnabled();
    }

    testkit::TempDir dir;
    std::string movie;
    std::unique_ptr<MainWindow> window;
    QStringList questions;
    QStringList messages;
    bool answer = false;
};

const char* const kControls[] = {"fileEdit",    "browseButton",   "seekSlider",
                                 "playButton",  "pauseButton",    "stopButton",
                                 "positionLabel", "settingsButton", "convertButton",
                                 "helpButton"};

TEST(MainWindowTest, AFreshStartHasEveryControlAndOnlyOpeningWorks) {
    Fixture f;
    for (const char* name : kControls)
        EXPECT_NE(f.window->findChild<QWidget*>(name), nullptr) << name;
    for (const char* name : {"seekSlider", "playButton", "pauseButton", "stopButton",
                             "settingsButton", "convertButton"})
        EXPECT_FALSE(f.enabled(name)) << name;
    EXPECT_TRUE(f.enabled("browseButton"));
    EXPECT_TRUE(f.enabled("helpButton"));
    for (const char* name : {"movieSizeValue", "frameRateValue", "lengthValue", "summaryType",
                             "summaryVideoCodec", "summaryAudioCodec", "summaryMovieSize",
                             "summaryFrameRate"})
        EXPECT_EQ(f.text(name), "-") << name;
    // Escape does not close it.
    QTest::keyClick(f.window.get(), Qt::Key_Escape);
    EXPECT_TRUE(f.window->isVisible());
}

TEST(MainWindowTest, OpeningShowsThePropertiesAndTheSummary) {
    Fixture f;
    ASSERT_TRUE(f.window->openMovie(QString::fromStdString(f.movie)));
    EXPECT_EQ(f.text("fileEdit").toStdString(), f.movie);
    EXPECT_EQ(f.text("movieSizeValue"), "550 x 400");
    EXPECT_EQ(f.text("frameRateValue"), "12.00");
    EXPECT_EQ(f.text("lengthCaption"), "Total frames:");
    EXPECT_EQ(f.text("lengthValue"), "30 ");
    EXPECT_EQ(f.text("summaryType"), "AVI");
    EXPECT_EQ(f.text("summaryVideoCodec"), "Uncompressed");
    EXPECT_EQ(f.text("summaryMovieSize"), "550 x 400");
    EXPECT_EQ(f.text("summaryFrameRate"), "12.00");
    EXPECT_EQ(f.text("positionLabel"), "1/30 frames");
    for (const char* name : {"seekSlider", "playButton", "settingsButton", "convertButton"})
        EXPECT_TRUE(f.enabled(name)) << name;
    for (const char* name : {"pauseButton", "stopButton"})
        EXPECT_FALSE(f.enabled(name)) << name;
}

TEST(MainWindowTest, PlayAdvancesAndASeekStays) {
    Fixture f;
    ASSERT_TRUE(f.window->openMovie(QString::fromStdString(f.movie)));
    f.window->findChild<QAbstractButton*>("playButton")->click();
    EXPECT_TRUE(f.enabled("pauseButton"));
    EXPECT_FALSE(f.enabled("playButton"));
    // Twelve frames a second: well past frame 3 after half a second.
    QTest::qWait(500);
    const int played = f.window->player()->position();
    EXPECT_GE(played, 4);
    EXPECT_NE(f.text("positionLabel"), "1/30 frames");
    f.window->findChild<QAbstractButton*>("pauseButton")->click();

    auto* slider = f.window->findChild<QSlider*>("seekSlider");
    slider->setValue(10);
    EXPECT_EQ(f.text("positionLabel"), "10/30 frames");
    // Several position refreshes later the movie is still on the frame the slider names.
    QTest::qWait(350);
    EXPECT_EQ(f.text("positionLabel"), "10/30 frames");
    EXPECT_EQ(f.window->player()->position(), 10);
    EXPECT_EQ(slider->value(), 10);
}

TEST(MainWindowTest, AFailedOpenChangesNothing) {
    Fixture f;
    ASSERT_TRUE(f.window->openMovie(QString::fromStdString(f.movie)));
    const std::string output = f.window->settings().outputFile;
    const std::string bad = f.dir.file("bad.swf");
    FILE* file = std::fopen(bad.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fputs("FWS garbage", file);
    std::fclose(file);
    // A movie with an empty stage is refused the same way.
    testkit::SwfWriter empty;
    empty.xMax = 0;
    empty.end();
    const std::string flat = f.dir.file("flat.swf");
    ASSERT_TRUE(empty.writeFile(flat));

    for (const std::string& path : {bad, flat, f.dir.file("missing.swf")}) {
        SCOPED_TRACE(path);
        f.messages.clear();
        EXPECT_FALSE(f.window->openMovie(QString::fromStdString(path)));
        ASSERT_EQ(f.messages.size(), 1);
        EXPECT_EQ(f.messages.front(), "This is not a valid Adobe flash movie file!");
        EXPECT_EQ(f.text("fileEdit").toStdString(), f.movie);
        EXPECT_EQ(f.text("movieSizeValue"), "550 x 400");
        EXPECT_EQ(f.text("lengthValue"), "30 ");
        EXPECT_EQ(f.window->settings().sourcePath, f.movie);
        EXPECT_EQ(f.window->settings().outputFile, output);
        EXPECT_EQ(f.window->player()->movieLength(), 30);
    }
}

TEST(MainWindowTest, NoToTheUncompressedQuestionStartsNothing) {
    Fixture f;
    ASSERT_TRUE(f.window->openMovie(QString::fromStdString(f.movie)));
    f.window->settings().aviFourCC = 0;
    f.window->play();
    f.answer = false;
    f.window->convert();
    ASSERT_EQ(f.questions.size(), 1);
    EXPECT_TRUE(f.questions.front().startsWith("The AVI video is uncompressed"));
    EXPECT_EQ(f.window->findChild<RecordWindow*>(), nullptr);
    EXPECT_FALSE(std::filesystem::exists(f.window->settings().outputFile));
    // The preview goes on playing.
    EXPECT_TRUE(f.enabled("pauseButton"));
}

TEST(MainWindowTest, SettingsAreReadAtStartAndWrittenAtClose) {
    testkit::testApplication();
    testkit::TempDir dir;
    const std::string ini = dir.file("swivio.ini");
    const std::string movie = dir.file("movie.swf");
    ASSERT_TRUE(testkit::writeTestMovie(movie, 30));
    {
        QtSettingsStore before(ini);
        before.writeInt("General", "Convert Type", 1);
        ASSERT_TRUE(before.flush());
    }
    {
        MainWindow window(std::make_unique<QtSettingsStore>(ini));
        ASSERT_TRUE(window.openMovie(QString::fromStdString(movie)));
        EXPECT_EQ(window.findChild<QLabel*>("summaryType")->text(), "MPEG");
        window.settings().convertType = OutputType::ImageSeries;
    }
    QtSettingsStore after(ini);
    EXPECT_EQ(after.readInt("General", "Convert Type"), 2);
}

TEST(MainWindowTest, AWholeConversionThroughTheWindowsWritesEveryFrame) {
    Fixture f;
    ASSERT_TRUE(f.window->openMovie(QString::fromStdString(f.movie)));
    ConversionSettings& s = f.window->settings();
    s.aviFourCC = 0x47504A4D; // MJPG
    s.audioSource = AudioSource::None;
    s.openTargetFolder = false;
    s.conversionMode = ConversionMode::FrameByFrame;
    // Record is pressed as soon as the Record window shows.
    QTimer press;
    bool pressed = false;
    QObject::connect(&press, &QTimer::timeout, [&] {
        auto* record = f.window->findChild<RecordWindow*>();
        if (record && record->isVisible() && !pressed) {
            pressed = true;
            record->startRecording();
        }
    });
    press.start(20);
    QElapsedTimer took;
    took.start();
    f.window->convert();
    EXPECT_TRUE(pressed);
    EXPECT_TRUE(f.messages.isEmpty()) << f.messages.join("\n").toStdString();
    const testkit::MediaInfo info = testkit::probeMedia(s.outputFile);
    ASSERT_TRUE(info.opened) << s.outputFile;
    EXPECT_EQ(info.videoCodec, "mjpeg");
    EXPECT_EQ(info.decodedFrames, 30);
    EXPECT_EQ(info.height, 400);
    // The preview holds the movie again, on its first frame.
    EXPECT_EQ(f.window->player()->position(), 1);
    EXPECT_TRUE(f.enabled("playButton"));
}

TEST(MainWindowTest, AnInteractiveConversionRecordsUntilTheLastFrameAndLeavesOnlyTheOutput) {
    Fixture f;
    ASSERT_TRUE(f.window->openMovie(QString::fromStdString(f.movie)));
    ConversionSettings& s = f.window->settings();
    s.aviFourCC = 0x47504A4D; // MJPG
    s.audioSource = AudioSource::RecordFromMovie;
    s.openTargetFolder = false;
    s.conversionMode = ConversionMode::Interactive;
    // Record as soon as the Record window shows; finishing automatically is on by default.
    QTimer press;
    bool pressed = false;
    QObject::connect(&press, &QTimer::timeout, [&] {
        auto* record = f.window->findChild<InteractiveRecordWindow*>();
        if (record && record->isVisible() && !pressed) {
            pressed = true;
            record->startRecording();
        }
    });
    press.start(20);
    f.window->convert();
    EXPECT_TRUE(pressed);
    EXPECT_TRUE(f.messages.isEmpty()) << f.messages.join("\n").toStdString();
    const testkit::MediaInfo info = testkit::probeMedia(s.outputFile);
    ASSERT_TRUE(info.opened) << s.outputFile;
    // The 30 frames played once in real time at the movie's rate of 12 (a busy machine
    // may play them late, never twice), and the sound lasts as long as the pictures.
    EXPECT_GE(info.decodedFrames, 28);
    EXPECT_LE(info.decodedFrames, 45);
    EXPECT_NEAR(info.audioSeconds, info.decodedFrames / 12.0, 0.3);
    std::set<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(f.dir.path()))
        left.insert(entry.path().filename().string());
    EXPECT_EQ(left, (std::set<std::string>{"movie.swf", "movie.avi"}));
}

// Opens the settings sheet with the Settings button, changes something on every page, and
// ends it with OK or Cancel.
void editEveryPage(Fixture& f, bool ok) {
    QTimer::singleShot(50, [&f, ok] {
        auto* sheet = f.window->findChild<SettingsSheet*>();
        ASSERT_NE(sheet, nullptr);
        sheet->findChild<QAbstractButton*>("captureCursorCheck")->click();
        ASSERT_TRUE(sheet->showPage(1));
        sheet->findChild<QAbstractButton*>("keepOriginalCheck")->click();
        sheet->findChild<QLineEdit*>("cropXEdit")->setText("10");
        sheet->findChild<QLineEdit*>("cropWidthEdit")->setText("500");
        EXPECT_TRUE(sheet->showPage(2));
        sheet->findChild<QAbstractButton*>("noAudioRadio")->click();
        if (ok)
            sheet->accept();
        if (sheet->isVisible())
            sheet->reject();
    });
    f.window->findChild<QAbstractButton*>("settingsButton")->click();
}

TEST(MainWindowTest, TheSettingsSheetChangesTheSettingsOnlyOnOk) {
    Fixture f;
    ASSERT_TRUE(f.window->openMovie(QString::fromStdString(f.movie)));
    const ConversionSettings& s = f.window->settings();
    editEveryPage(f, false);
    EXPECT_FALSE(s.captureCursor);
    EXPECT_TRUE(s.aviKeepOriginalSize);
    EXPECT_EQ(s.cropX, 0);
    EXPECT_EQ(s.audioSource, AudioSource::RecordFromMovie);
    editEveryPage(f, true);
    EXPECT_TRUE(s.captureCursor);
    EXPECT_FALSE(s.aviKeepOriginalSize);
    EXPECT_EQ(s.cropX, 10);
    EXPECT_EQ(s.audioSource, AudioSource::None);
}

TEST(MainWindowTest, ACropChosenInTheSettingsSheetShapesTheOutput) {
    Fixture f;
    ASSERT_TRUE(f.window->openMovie(QString::fromStdString(f.movie)));
    ConversionSettings& s = f.window->settings();
    s.aviFourCC = 0x47504A4D; // MJPG
    s.audioSource = AudioSource::None;
    s.openTargetFolder = false;
    s.conversionMode = ConversionMode::FrameByFrame;
    CropDialogRunner saved = cropDialogRunner();
    cropDialogRunner() = [](QWidget*, ConversionSettings& edited) {
        edited.cropX = 100;
        edited.cropY = 50;
        edited.cropWidth = 200;
        edited.cropHeight = 100;
        return true;
    };
    // The sheet is modal: drive it from a timer once it shows.
    bool driven = false;
    QTimer::singleShot(50, [&] {
        auto* sheet = f.window->findChild<SettingsSheet*>();
        ASSERT_NE(sheet, nullptr);
        driven = sheet->showPage(1);
        sheet->findChild<QAbstractButton*>("cropSettingButton")->click();
        sheet->accept();
        if (sheet->isVisible())
            sheet->reject();
    });
    f.window->findChild<QAbstractButton*>("settingsButton")->click();
    cropDialogRunner() = saved;
    ASSERT_TRUE(driven);
    EXPECT_EQ(s.cropX, 100);
    EXPECT_EQ(s.aviWidth, 200);

    QTimer press;
    QObject::connect(&press, &QTimer::timeout, [&] {
        if (auto* record = f.window->findChild<RecordWindow*>(); record && record->isVisible())
            record->startRecording();
    });
    press.start(20);
    f.window->convert();
    EXPECT_TRUE(f.messages.isEmpty()) << f.messages.join("\n").toStdString();
    const testkit::MediaInfo info = testkit::probeMedia(s.outputFile);
    ASSERT_TRUE(info.opened) << s.outputFile;
    EXPECT_EQ(info.width, 200);
    EXPECT_EQ(info.height, 100);
}

} // namespace
} // namespace swivio::app
