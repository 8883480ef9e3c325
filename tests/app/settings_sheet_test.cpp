#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QLineEdit>
#include <QRadioButton>
#include <QTabWidget>
#include <QTextBrowser>
#include <QSlider>
#include <QTest>
#include <QTimer>

#include "app/help/help_window.h"
#include "app/settings/audio_page.h"
#include "app/settings/crop_dialog_call.h"
#include "app/settings/general_page.h"
#include "app/settings/settings_sheet.h"
#include "app/settings/video_page.h"
#include "settings/settings_rules.h"
#include "tests/app/app_test_support.h"
#include "tests/support/temp_dir.h"

namespace swivio::app {
namespace {

enum Page { General = 0, Video = 1, Audio = 2 };

// A sheet over the settings of a 400 x 300 movie at 12.5 frames per second in a folder of
// its own, with every message recorded instead of shown.
struct SheetFixture {
    explicit SheetFixture(OutputType type = OutputType::Avi) {
        testkit::testApplication();
        settings.convertType = type;
        MovieProperties movie;
        movie.width = 400;
        movie.height = 300;
        movie.frameRate = 12.5f;
        movie.length = 10;
        resetForMovie(settings, dir.file("movie.swf"), movie);
        open();
    }
    void open() {
        Prompter p;
        p.tell = [this](QWidget*, const QString& text) { messages.push_back(text); };
        sheet = std::make_unique<SettingsSheet>(settings, p);
        sheet->show();
        sheet->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(sheet.get()));
    }
    template <typename T = QLineEdit> T* find(const char* name) const {
        auto* w = sheet->findChild<T*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QString text(const char* name) const { return find(name)->text(); }
    // Types into an edit and leaves it, as a user does.
    void type(const char* name, const QString& value) {
        QLineEdit* edit = find(name);
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, value);
        find("cropXEdit")->setFocus();
    }

    testkit::TempDir dir;
    ConversionSettings settings;
    std::unique_ptr<SettingsSheet> sheet;
    QStringList messages;
};

TEST(SettingsSheetTest, SwitchingTheTypeRewritesTheOutputExtension) {
    SheetFixture f;
    f.find("outputFileEdit")->setText("/out/clip.avi");
    f.find<QComboBox>("typeList")->setCurrentIndex(1);
    EXPECT_EQ(f.text("outputFileEdit"), "/out/clip.mpg");
    f.find<QComboBox>("typeList")->setCurrentIndex(2);
    EXPECT_EQ(f.text("outputFileEdit"), "/out/clip.mpg");
    EXPECT_TRUE(f.find("outputFolderEdit")->isVisibleTo(f.sheet.get()));
    EXPECT_FALSE(f.find("outputFileEdit")->isVisibleTo(f.sheet.get()));
}

TEST(SettingsSheetTest, AnEmptyFileNameKeepsTheGeneralPage) {
    SheetFixture f;
    f.find("outputFileEdit")->clear();
    EXPECT_FALSE(f.sheet->showPage(Video));
    EXPECT_EQ(f.sheet->tabs()->currentIndex(), General);
    EXPECT_EQ(f.messages, QStringList{"Please input a file name!"});
    f.sheet->accept();
    EXPECT_TRUE(f.sheet->isVisible());
    EXPECT_FALSE(f.sheet->videoPage()->isMade());
}

TEST(SettingsSheetTest, OkCommitsWhatThePagesHold) {
    SheetFixture f;
    f.find<QRadioButton>("frameByFrameRadio")->setChecked(true);
    ASSERT_TRUE(f.sheet->showPage(Video));
    f.find<QCheckBox>("keepOriginalCheck")->click();
    f.type("widthEdit", "200");
    // Keep-aspect over a 400 x 300 crop.
    EXPECT_EQ(f.text("heightEdit"), "150");
    // Frame by frame locks the rate to the movie's, fraction kept.
    auto* rate = f.sheet->findChild<QWidget*>("AviPanel")->findChild<QComboBox*>("frameRateBox");
    EXPECT_EQ(rate->currentText(), "12.5");
    EXPECT_FALSE(rate->isEnabled());
    f.sheet->accept();
    EXPECT_FALSE(f.sheet->isVisible());
    const ConversionSettings& s = f.sheet->settings();
    EXPECT_EQ(s.conversionMode, ConversionMode::FrameByFrame);
    // The movie's sound is mixed frame by frame too, so the choice stands.
    EXPECT_EQ(s.audioSource, AudioSource::RecordFromMovie);
    EXPECT_EQ(s.aviWidth, 200);
    EXPECT_EQ(s.aviHeight, 150);
    EXPECT_FLOAT_EQ(s.aviFrameRate, 12.5f);
}

// Configure sets the compressor's quality; the sheet's OK keeps it.
TEST(SettingsSheetTest, ConfigureSetsTheCompressorsQuality) {
    SheetFixture f;
    ASSERT_TRUE(f.sheet->showPage(Video));
    auto* codecs = f.find<QComboBox>("codecList");
    auto* configure = f.find<QPushButton>("configureButton");
    codecs->setCurrentIndex(0);
    EXPECT_FALSE(configure->isEnabled()); // uncompressed
    codecs->setCurrentIndex(codecs->findText("mjpeg"));
    ASSERT_TRUE(configure->isEnabled());
    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->findChild<QCheckBox*>("usualQuality")->setChecked(false);
        dialog->findChild<QSlider*>("codecQualitySlider")->setValue(35);
        dialog->accept();
    });
    configure->click();
    f.sheet->accept();
    EXPECT_EQ(f.sheet->settings().aviQuality, 35);
}

TEST(SettingsSheetTest, VideoPageRangeChecksSizesAndCrop) {
    SheetFixture f;
    ASSERT_TRUE(f.sheet->showPage(Video));
    f.find<QCheckBox>("keepOriginalCheck")->click();
    f.find("widthEdit")->setText("3");
    EXPECT_FALSE(f.sheet->showPage(General));
    f.find("widthEdit")->setText("320");
    f.find("cropWidthEdit")->setText("0");
    EXPECT_FALSE(f.sheet->showPage(General));
    EXPECT_EQ(f.messages, (QStringList{"Please enter an integer between 4 and 8192.",
                                       "Please enter an integer between 1 and 400."}));
    EXPECT_EQ(f.sheet->tabs()->currentIndex(), Video);
}

TEST(SettingsSheetTest, MpegTypeFixesSizeRateAndSound) {
    SheetFixture f(OutputType::Mpeg);
    ASSERT_TRUE(f.sheet->showPage(Video));
    f.find<QComboBox>("mpegTypeList")->setCurrentIndex(5); // VCD-PAL
    EXPECT_EQ(f.text("widthEdit"), "352");
    EXPECT_EQ(f.text("heightEdit"), "288");
    EXPECT_FALSE(f.find<QCheckBox>("keepOriginalCheck")->isEnabled());
    auto* rates = f.find<QComboBox>("mpegRateList");
    EXPECT_EQ(rates->count(), 1);
    EXPECT_EQ(rates->currentText(), "25");
    ASSERT_TRUE(f.sheet->showPage(Audio));
    EXPECT_EQ(f.find<QComboBox>("sampleRateList")->currentText(), "44100");
    EXPECT_EQ(f.find<QComboBox>("formatList")->currentText(), "MPEG Audio");
}

// "Video file": the name takes the container's extension, WebM offers only its codecs and
// Opus, an HD size replaces the size edits, and OK keeps every choice.
TEST(SettingsSheetTest, VideoFilePanelFollowsItsContainer) {
    SheetFixture f;
    const QString clip = QString::fromStdString(f.dir.file("clip"));
    f.find("outputFileEdit")->setText(clip + ".avi");
    f.find<QComboBox>("typeList")->setCurrentIndex(3);
    EXPECT_EQ(f.find<QComboBox>("typeList")->currentText(), "Video file");
    EXPECT_EQ(f.text("outputFileEdit"), clip + ".mp4");
    ASSERT_TRUE(f.sheet->showPage(Video)) << f.messages.join("; ").toStdString();
    EXPECT_TRUE(f.find<QWidget>("VideoFilePanel")->isVisibleTo(f.sheet.get()));
    auto* codecs = f.find<QComboBox>("videoCodecList");
    EXPECT_EQ(codecs->count(), 2);
    EXPECT_EQ(codecs->currentText(), "H.264");
    f.find<QComboBox>("containerList")->setCurrentIndex(2); // WebM
    EXPECT_EQ(f.text("outputFileEdit"), clip + ".webm");
    ASSERT_EQ(codecs->count(), 2);
    EXPECT_EQ(codecs->itemText(0), "VP9");
    EXPECT_EQ(codecs->itemText(1), "AV1");
    codecs->setCurrentIndex(1);
    f.find<QSlider>("videoQualitySlider")->setValue(60);
    f.find<QComboBox>("videoFrameSizeList")->setCurrentIndex(2); // 1080p
    EXPECT_EQ(f.text("widthEdit"), "1920");
    EXPECT_EQ(f.text("heightEdit"), "1080");
    EXPECT_FALSE(f.find("widthEdit")->isEnabled());
    ASSERT_TRUE(f.sheet->showPage(Audio));
    auto* formats = f.find<QComboBox>("formatList");
    ASSERT_EQ(formats->count(), 1);
    EXPECT_EQ(formats->currentText(), "Opus");
    f.sheet->accept();
    const ConversionSettings& s = f.sheet->settings();
    EXPECT_EQ(s.convertType, OutputType::VideoFile);
    EXPECT_EQ(s.outputFile, f.dir.file("clip.webm"));
    EXPECT_EQ(s.videoContainer, VideoContainer::WebM);
    EXPECT_EQ(s.videoCodec, VideoCodec::Av1);
    EXPECT_EQ(s.videoQuality, 60);
    EXPECT_EQ(s.videoFrameSize, VideoFrameSize::Hd1080);
    EXPECT_EQ(s.videoSound, VideoSound::Opus);
    EXPECT_EQ(s.aviWidth, 400); // the movie-size choice stays as it was
}

TEST(SettingsSheetTest, AudioPageRefusesPicturesAndFollowsTheMode) {
    SheetFixture f;
    f.find<QComboBox>("typeList")->setCurrentIndex(2);
    f.find("outputFolderEdit")->setText(QString::fromStdString(f.dir.path().string()));
    EXPECT_FALSE(f.sheet->showPage(Audio));
    EXPECT_EQ(f.sheet->tabs()->currentIndex(), General);
    EXPECT_EQ(f.messages, QStringList{"There's no audio for image series!"});

    f.find<QComboBox>("typeList")->setCurrentIndex(0);
    f.find<QRadioButton>("frameByFrameRadio")->setChecked(true);
    ASSERT_TRUE(f.sheet->showPage(Audio));
    EXPECT_TRUE(f.find<QRadioButton>("recordRadio")->isEnabled());
    EXPECT_TRUE(f.find<QRadioButton>("recordRadio")->isChecked());
    f.find<QRadioButton>("importRadio")->click();
    EXPECT_FALSE(f.find<QComboBox>("formatList")->isEnabled());
    f.find("audioFileEdit")->setText(QString::fromStdString(f.dir.file("song.ogg")));
    EXPECT_FALSE(f.sheet->showPage(General));
    EXPECT_EQ(f.messages.last(), "The specified audio file does not exist!");
}

TEST(SettingsSheetTest, ACropFromTheDialogComesBackToTheEdits) {
    CropDialogRunner saved = cropDialogRunner();
    cropDialogRunner() = [](QWidget*, ConversionSettings& s) {
        EXPECT_EQ(s.cropWidth, 400);
        s.cropX = 10;
        s.cropY = 20;
        s.cropWidth = 200;
        s.cropHeight = 100;
        return true;
    };
    SheetFixture f;
    ASSERT_TRUE(f.sheet->showPage(Video));
    f.find<QPushButton>("cropSettingButton")->click();
    cropDialogRunner() = saved;
    EXPECT_EQ(f.text("cropXEdit"), "10");
    EXPECT_EQ(f.text("cropHeightEdit"), "100");
    EXPECT_EQ(f.text("widthEdit"), "200"); // keep original size follows the crop
    EXPECT_EQ(f.text("heightEdit"), "100");
    f.sheet->accept();
    EXPECT_EQ(f.sheet->settings().cropY, 20);
    EXPECT_EQ(f.sheet->settings().aviWidth, 200);
}

TEST(SettingsSheetTest, F1ShowsTheHelpOfThePageInFront) {
    SheetFixture f;
    HelpKeyFilter filter;
    QApplication::instance()->installEventFilter(&filter);
    const auto shownPage = [&] {
        auto* help = f.sheet->findChild<QWidget*>("HelpWindow");
        auto* browser = help ? help->findChild<QTextBrowser*>() : nullptr;
        return browser && help->isVisible() ? browser->source().fileName() : QString();
    };
    QTest::keyClick(f.find<QComboBox>("typeList"), Qt::Key_F1);
    EXPECT_EQ(shownPage(), "settings-general.html");
    ASSERT_TRUE(f.sheet->showPage(Video));
    f.sheet->activateWindow();
    QTest::keyClick(f.find("widthEdit"), Qt::Key_F1);
    EXPECT_EQ(shownPage(), "settings-video.html");
    QApplication::instance()->removeEventFilter(&filter);
}

TEST(SettingsSheetTest, MnemonicsReachTheirControls) {
    SheetFixture f;
    QTest::keyClick(f.sheet->windowHandle(), Qt::Key_B, Qt::AltModifier);
    // A mnemonic clicks its button the way a mouse does, after a short show of the press.
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return f.find<QRadioButton>("frameByFrameRadio")->isChecked(); }));
    QTest::keyClick(f.sheet->windowHandle(), Qt::Key_O, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return f.find("workFolderEdit")->isEnabled(); }));
}

TEST(SettingsSheetTest, PictureRateBoxTakesOriginalAndTidiesTypedRates) {
    SheetFixture f(OutputType::ImageSeries);
    f.settings.outputFolder = f.dir.path().string();
    f.open();
    ASSERT_TRUE(f.sheet->showPage(Video));
    auto* rate =
        f.sheet->findChild<QWidget*>("PicturePanel")->findChild<QComboBox*>("frameRateBox");
    ASSERT_NE(rate, nullptr);
    EXPECT_EQ(rate->currentText(), "12.5"); // the stored rate, not cut to 12
    rate->setFocus();
    rate->setEditText("12.5");
    f.find("cropXEdit")->setFocus();
    EXPECT_EQ(rate->currentText(), "12.50");
    rate->setEditText("abc");
    EXPECT_FALSE(f.sheet->showPage(General));
    EXPECT_EQ(f.messages.last(), "Invalid frame rate!");
    rate->setCurrentIndex(0);
    emit rate->activated(0); // "Original", as a choice from the list
    EXPECT_TRUE(QTest::qWaitFor([&] { return rate->currentText() == "12"; }));
    EXPECT_TRUE(f.sheet->showPage(General));
    EXPECT_FLOAT_EQ(f.sheet->settings().imageFrameRate, 12.0f);
}

TEST(SettingsSheetTest, TabRunsFromTheCropEditsIntoThePanel) {
    SheetFixture f;
    ASSERT_TRUE(f.sheet->showPage(Video));
    f.find("cropHeightEdit")->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    // "&Setting..." is disabled until the crop dialog is linked in, so the codec list follows.
    EXPECT_EQ(QApplication::focusWidget(), f.find<QComboBox>("codecList"));
}

} // namespace
} // namespace swivio::app
